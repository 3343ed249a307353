// What a connection writes into the errors reported about it (the lines of
// the error dump that say which client library, server, user and settings
// were in use), the captions of those lines, and the refused diagnosis.
#include <cwchar>

#include "CNAConnectionDescription.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CXError.h"
#include "INAConnectionDescription.h"
#include "MyModuleInfo.h"

namespace {

// The driver's caption of each connection line, in the order of
// eNACONNECTIONCAPTION.
constexpr int kanDriverCaption[NACAPTION_COUNT] = {
    CNADriver::DUMPCAPTION_NATIVELIBRARY,    CNADriver::DUMPCAPTION_PROVIDER,
    CNADriver::DUMPCAPTION_USER,             CNADriver::DUMPCAPTION_DATASOURCE,
    CNADriver::DUMPCAPTION_DATABASE,         CNADriver::DUMPCAPTION_CONNECTIONTIMEOUT,
    CNADriver::DUMPCAPTION_COMMANDTIMEOUT,   CNADriver::DUMPCAPTION_LOCKTIMEOUT,
    CNADriver::DUMPCAPTION_CURSORPOSITION,   CNADriver::DUMPCAPTION_UNICODE,
    CNADriver::DUMPCAPTION_TNPAGECODE,       CNADriver::DUMPCAPTION_CONNECTIONPAGECODE,
    CNADriver::DUMPCAPTION_LOCKTAG,          CNADriver::DUMPCAPTION_CHARSET,
};

// User error 8: the operation is not supported.
constexpr unsigned knErrNotSupported = 8;
constexpr std::uint32_t kdwDumpParts = 0x80000FFFu;
constexpr long kDroppedTextMax = 1000;

// *out = the caption of a connection line: the process driver's (loaded
// once and kept there), or, with no driver, loaded alike for this use only.
void GetCaption(eNACONNECTIONCAPTION eCaption, CTString* out) {
  const int nCaption = kanDriverCaption[eCaption];
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) {
    CNADriver::s_bLoadCaption(nCaption, out);
    return;
  }
  pclDriver->InitQueryDumpRessources();
  out->Set(pclDriver->csGetCaption(nCaption).pszGet());
}

// A code page as the dump shows it.
void AddCodePage(CTString* pcsLine, std::int32_t nCodePage) {
  if (nCodePage == -2)
    pcsLine->Add(L"UTF-16");
  else if (nCodePage == 65001)
    pcsLine->Add(L"UTF-8");
  else
    pcsLine->AddI4(nCodePage);
}

void AddLine(_CXErrorModule76* pclErr, eNACONNECTIONCAPTION eCaption, const wchar_t* pszValue) {
  CTString csLine;
  GetCaption(eCaption, &csLine);
  csLine.Add(pszValue);
  pclErr->AddDebugMessageNoFormat(csLine.pszGet());
}

void AddNumberLine(_CXErrorModule76* pclErr, eNACONNECTIONCAPTION eCaption, std::int32_t nValue) {
  CTString csLine;
  GetCaption(eCaption, &csLine);
  csLine.AddI4(nValue);
  pclErr->AddDebugMessageNoFormat(csLine.pszGet());
}

bool bFilled(const wchar_t* psz) { return psz != nullptr && *psz != L'\0'; }

}  // namespace

const wchar_t* kxna_pszGetConnectionCaption(eNACONNECTIONCAPTION caption) {
  // The texts, loaded once for the callers that keep the pointer.
  struct CCaptions {
    CCaptions() {
      for (int i = 0; i < NACAPTION_COUNT; ++i) CNADriver::s_bLoadCaption(kanDriverCaption[i], &acsText[i]);
    }
    CTString acsText[NACAPTION_COUNT];
  };
  static const CCaptions s_clCaptions;
  if (caption < 0 || caption >= NACAPTION_COUNT) return L"";
  return s_clCaptions.acsText[caption].pszGet();
}

void CNAConnectionDescription::AddInfoNativeXError(_CXErrorModule76* pclErr) {
  if (pclErr == nullptr) return;
  if (m_csClientVersion.nTaille() > 0) pclErr->AddInfo(EIT_INFOCLIENT, m_csClientVersion.pszGet());
  if (m_csClientLibrary.nTaille() > 0) pclErr->AddInfo(EIT_INFOSERVEUR, m_csClientLibrary.pszGet());

  if (m_csClientLibrary.nTaille() > 0)
    AddLine(pclErr, NACAPTION_CLIENTLIBRARY, m_csClientLibrary.pszGet());
  const wchar_t* pszProvider =
      m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetProvider() : nullptr;
  if (bFilled(pszProvider)) AddLine(pclErr, NACAPTION_PROVIDER, pszProvider);
  const wchar_t* pszUser = pszGetUserName();
  if (bFilled(pszUser)) AddLine(pclErr, NACAPTION_USER, pszUser);
  const wchar_t* pszDataSource = pszGetDataBase();
  if (bFilled(pszDataSource)) AddLine(pclErr, NACAPTION_DATASOURCE, pszDataSource);
  const wchar_t* pszDefault = pszGetDefaultDataBaseEx();
  if (bFilled(pszDefault)) AddLine(pclErr, NACAPTION_DEFAULTDATABASE, pszDefault);
  if (m_nConnectionTimeout != -1)
    AddNumberLine(pclErr, NACAPTION_CONNECTIONTIMEOUT, m_nConnectionTimeout);
  if (m_nCommandTimeout != -1) AddNumberLine(pclErr, NACAPTION_COMMANDTIMEOUT, m_nCommandTimeout);
  if (m_nLockTimeout != -1) AddNumberLine(pclErr, NACAPTION_LOCKTIMEOUT, m_nLockTimeout);
  AddLine(pclErr, NACAPTION_CURSORLOCATION, s_pszGetCursorLocation(m_eCursorLocation));
  AddNumberLine(pclErr, NACAPTION_UNICODESUPPORT, m_nUnicodeSupport);
  if (m_nApplicationCodePage != -1) {
    CTString csLine;
    GetCaption(NACAPTION_APPLICATIONCODEPAGE, &csLine);
    AddCodePage(&csLine, m_nApplicationCodePage);
    pclErr->AddDebugMessageNoFormat(csLine.pszGet());
  }
  if (m_nDataBaseCodePage != -1) {
    CTString csLine;
    GetCaption(NACAPTION_DATABASECODEPAGE, &csLine);
    AddCodePage(&csLine, m_nDataBaseCodePage);
    pclErr->AddDebugMessageNoFormat(csLine.pszGet());
  }
  if (m_csRecordLock.nTaille() > 0) AddLine(pclErr, NACAPTION_RECORDLOCK, m_csRecordLock.pszGet());
  if (m_csSessionCharset.nTaille() > 0) AddLine(pclErr, NACAPTION_CHARSET, m_csSessionCharset.pszGet());
  // The password is never written.
}

int CNAConnectionDescription::bDiagnose(CNAError* error, CAny* /*result*/, const wchar_t* name,
                                        unsigned /*flags*/) {
  _CXErrorModule76 clErr(knErrNotSupported);
  CNAError::g_SetInfoNames(&clErr, name, nullptr);
  if (error != nullptr) {
    error->AddError(NA_ERRORTYPE_UNAVAILABLE, &clErr, this);
    return 0;
  }
  // No error object: the error is written out as its dump and dropped.
  CTString csText;
  clErr.StringDump(csText, static_cast<CXError::eXERROR_INFO>(kdwDumpParts));
  csText.Tronque(kDroppedTextMax);
  return 0;
}
