// Construction from the runtime's description and its extended keys, the
// connection string, the forwarding accessors, the default database, the
// application name and the check of the wanted client library.
#include "CNAConnectionDescription.h"

#include <cwchar>
#include <new>
#include <vector>

#include "CDiskFile.h"
#include "CNAError.h"
#include "CNAMapConvertType.h"
#include "CStringParameter.h"
#include "Charsets.h"
#include "INAConnectionDescription.h"
#include "MyModuleInfo.h"
#include "StrFunctions.h"
#include "WinEnvironment.h"

std::uint32_t CNAConnectionDescription::m_gnCnxGenerator = 0;
CTString CNAConnectionDescription::m_csClientVersion;
CTString CNAConnectionDescription::m_csClientLibrary;
std::int32_t CNAConnectionDescription::m_nClientVersionMajor = 0;
std::int32_t CNAConnectionDescription::m_nClientVersionMinor = 0;

namespace {

// The name a program gets when its own file name cannot be read.
constexpr wchar_t kszFallbackApplicationName[] = L"Velmora Korvex";
// The buffer the program's path is read into, terminator included.
constexpr unsigned kdwModuleFileNameBuffer = 261;
// What a null text of the host reads as in the connection string.
constexpr wchar_t kszNullText[] = L"NULL";
// User error 74: the loaded client library is not the one asked for.
constexpr unsigned knErrClientLibrary = 74;
// Every part of an error's dump, for an error that has no object to go to.
constexpr std::uint32_t kdwDumpParts = 0x80000FFFu;
constexpr long kDroppedTextMax = 1000;

bool bEmpty(const wchar_t* psz) { return psz == nullptr || *psz == L'\0'; }

// A decimal number as strtol reads it; a text that is no number gives 0.
std::int32_t nDecimal(const CTString& cs) {
  return static_cast<std::int32_t>(std::wcstol(cs.pszGet(), nullptr, 10));
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------

CNAConnectionDescription::CNAConnectionDescription(const wchar_t* identification,
                                                   INAConnectionDescription* host)
    : m_nCnxNumber(++m_gnCnxGenerator), m_piConnectionDescription(host) {
  if (m_piConnectionDescription != nullptr) m_piConnectionDescription->ExternalAddRef();
  _InitCodePageFromTN();
  m_csIdentification.Set(identification != nullptr ? identification : L"");
  // The string is built before the keys are cut out: it keeps them all.
  _BuildConnexionString();
  const wchar_t* pszExtended = host != nullptr ? host->pszGetExtendedInfo() : nullptr;
  m_csExtendedInfo.Set(pszExtended != nullptr ? pszExtended : L"");

  // Each key is cut out of the stored extended information as it is read,
  // in this order; a key counts as given when its value is not empty.
  CTString csValue;
  _bGetExtendedParameter(&csValue, L"KX Connection Timeout", 1);
  if (csValue.nTaille() > 0)
    m_nConnectionTimeout = nDecimal(csValue);
  else if (host != nullptr)
    m_nConnectionTimeout = host->nGetConnectionTimeout();

  _bGetExtendedParameter(&csValue, L"KX Command Timeout", 1);
  if (csValue.nTaille() > 0)
    m_nCommandTimeout = nDecimal(csValue);
  else if (host != nullptr)
    m_nCommandTimeout = host->nGetCommandTimeout();

  _bGetExtendedParameter(&csValue, L"KX Lock Timeout", 1);
  if (csValue.nTaille() > 0) m_nLockTimeout = nDecimal(csValue);

  _bGetExtendedParameter(&csValue, L"KX Cache Size", 1);
  if (csValue.nTaille() > 0)
    m_llCacheSize = static_cast<std::int64_t>(std::wcstoll(csValue.pszGet(), nullptr, 10));
  else if (host != nullptr && host->nGetVersion() > 3)
    // Older descriptions have no slot for the cache size.
    m_llCacheSize = host->llGetCacheSize();

  _bGetExtendedParameter(&csValue, L"KX Cursor Location", 1);
  if (csValue.nTaille() > 0) {
    if (csValue.bEstEgalI(L"SERVER"))
      m_eCursorLocation = CURSORLOCATION_SERVER;
    else if (csValue.bEstEgalI(L"CLIENT"))
      m_eCursorLocation = CURSORLOCATION_CLIENT;
    else
      m_eCursorLocation = CURSORLOCATION_DEFAULT;
  } else if (host != nullptr) {
    const std::int32_t lOptions = host->lGetCursorOptions();
    if ((lOptions & 1) != 0)
      m_eCursorLocation = CURSORLOCATION_SERVER;
    else if ((lOptions & 2) != 0)
      m_eCursorLocation = CURSORLOCATION_CLIENT;
  }

  // Without the key the connection stays in Unicode mode.
  _bGetExtendedParameter(&csValue, L"KX Unicode Support", 1);
  if (csValue.nTaille() > 0) m_nUnicodeSupport = nDecimal(csValue);

  _bGetExtendedParameter(&m_csRecordLock, L"KX RECORD LOCK", 1);
  _bGetExtendedParameter(&m_csClientVersionWanted, L"KX CLIENT VERSION", 1);
  _bGetExtendedParameter(&m_csClientLibraryWanted, L"KX CLIENT LIBRARY", 1);
  _bGetExtendedParameter(&m_csApplicationName, L"Application Name", 1);
  _bGetExtendedParameter(&m_csSSLMode, L"SSL Mode", 1);
  _bGetExtendedParameter(&m_csSSLKey, L"SSL Key", 1);
  _bGetExtendedParameter(&m_csSSLCert, L"SSL Cert", 1);
  _bGetExtendedParameter(&m_csSSLCA, L"SSL CA", 1);
  _bGetExtendedParameter(&m_csSSLCAPath, L"SSL CAPath", 1);
  _bGetExtendedParameter(&m_csSSLCipher, L"SSL Cipher", 1);
}

CNAConnectionDescription::~CNAConnectionDescription() {
  _CloseTransactions();
  delete m_pclMapConvertType;
  m_pclMapConvertType = nullptr;
  if (m_piConnectionDescription != nullptr) m_piConnectionDescription->nExternalRelease();
  m_piConnectionDescription = nullptr;
  delete[] m_pszConnectionString;
  m_pszConnectionString = nullptr;
}

// ---------------------------------------------------------------------------
// Connection string
// ---------------------------------------------------------------------------

void CNAConnectionDescription::_BuildConnexionString() {
  INAConnectionDescription* piHost = m_piConnectionDescription;
  const wchar_t* apszValues[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
  if (piHost != nullptr) {
    apszValues[0] = piHost->pszGetProvider();
    apszValues[1] = piHost->pszGetExtendedInfo();
    apszValues[2] = piHost->pszGetDataSource();
    apszValues[3] = piHost->pszGetUserName();
    apszValues[4] = piHost->pszGetPassword();
  }
  static const wchar_t* const s_apszLabels[5] = {L"Provider=", L";ExtendedInformation=",
                                                 L";Data source=", L";user id=", L";password="};
  CTString csText;
  for (int i = 0; i < 5; ++i) {
    csText.Add(s_apszLabels[i]);
    csText.Add(apszValues[i] != nullptr ? apszValues[i] : kszNullText);
  }

  const std::int64_t nNeeded = csText.nTaille();
  if (nNeeded > m_nConnectionStringCapacity || m_pszConnectionString == nullptr) {
    const std::int64_t nCapacity = (nNeeded / m_nConnectionStringStep + 1) * m_nConnectionStringStep;
    wchar_t* pszNew = new (std::nothrow) wchar_t[static_cast<std::size_t>(nCapacity) + 1];
    if (pszNew == nullptr) {
      // Without room the connection string reads empty; nothing else
      // depends on it.
      m_nConnectionStringLength = 0;
      return;
    }
    delete[] m_pszConnectionString;
    m_pszConnectionString = pszNew;
    m_nConnectionStringCapacity = nCapacity;
  }
  std::wmemcpy(m_pszConnectionString, csText.pszGet(), static_cast<std::size_t>(nNeeded));
  m_pszConnectionString[nNeeded] = L'\0';
  m_nConnectionStringLength = nNeeded;
}

const wchar_t* CNAConnectionDescription::pszGetConnectionString() const {
  if (m_nConnectionStringLength == 0 || m_pszConnectionString == nullptr) return L"";
  return m_pszConnectionString;
}

// ---------------------------------------------------------------------------
// Forwarded to the host
// ---------------------------------------------------------------------------

const wchar_t* CNAConnectionDescription::pszGetUserName() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetUserName() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetPassword() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetPassword() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetDataBase() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetDataSource()
                                              : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetDescription() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetDescription()
                                              : nullptr;
}

int CNAConnectionDescription::eGetAccess() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->nGetAccess() : 0;
}

int CNAConnectionDescription::nGetNbParam() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->nGetNbParam() : 0;
}

INAConnectionParameter* CNAConnectionDescription::pclGetParam(int nIndex) const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->piGetParam(nIndex)
                                              : nullptr;
}

std::int32_t CNAConnectionDescription::lGetCursorOptions() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->lGetCursorOptions() : 0;
}

const wchar_t* CNAConnectionDescription::pszGetDefaultDataBase() const {
  return m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetDefaultDataBase()
                                              : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetLogicalConnectionName() const {
  return m_piConnectionDescription != nullptr
             ? m_piConnectionDescription->pszGetLogicalConnectionName()
             : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetConnectionName() const {
  if (m_piConnectionDescription == nullptr) return nullptr;
  const stNAConnectionObject* pstObject = m_piConnectionDescription->pstGetConnectionObject();
  return pstObject != nullptr ? pstObject->pszName : nullptr;
}

// ---------------------------------------------------------------------------
// Extended keys and the default database
// ---------------------------------------------------------------------------

int CNAConnectionDescription::_bGetExtendedParameter(CTString* value, const wchar_t* key, int cut) {
  int bFound = 0;
  return _bGetExtendedParameter(value, &bFound, key, cut);
}

int CNAConnectionDescription::_bGetExtendedParameter(CTString* value, int* found,
                                                     const wchar_t* key, int cut) {
  if (value == nullptr) {
    if (found != nullptr) *found = 0;
    return 1;
  }
  return CStringParameter::s_bGetParameterValue(value, found, &m_csExtendedInfo, key, cut);
}

int CNAConnectionDescription::bGetDataBaseHiddenInProvider(CTString* out, const wchar_t* key) const {
  if (out == nullptr) return 1;
  out->Vide();
  const wchar_t* pszProvider =
      m_piConnectionDescription != nullptr ? m_piConnectionDescription->pszGetProvider() : nullptr;
  if (bEmpty(pszProvider)) return 1;
  CTString csProvider(pszProvider);
  CStringParameter::s_bGetParameterValue(out, nullptr, &csProvider, key, 0);
  return 1;
}

const wchar_t* CNAConnectionDescription::pszGetDefaultDataBaseEx() {
  if (m_csDefaultDataBase.nTaille() > 0) return m_csDefaultDataBase.pszGet();
  _bGetExtendedParameter(&m_csDefaultDataBase, L"Initial Catalog", 0);
  if (m_csDefaultDataBase.nTaille() > 0) return m_csDefaultDataBase.pszGet();
  bGetDataBaseHiddenInProvider(&m_csDefaultDataBase, L"Initial Catalog");
  if (m_csDefaultDataBase.nTaille() > 0) return m_csDefaultDataBase.pszGet();
  const wchar_t* pszHost = pszGetDefaultDataBase();
  m_csDefaultDataBase.Set(pszHost != nullptr ? pszHost : L"");
  return m_csDefaultDataBase.pszGet();
}

// ---------------------------------------------------------------------------
// Code page, application name, program path
// ---------------------------------------------------------------------------

void CNAConnectionDescription::_InitCodePageFromTN() {
  m_nApplicationCodePage =
      static_cast<std::int32_t>(dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset()));
}

const wchar_t* CNAConnectionDescription::pszGetApplicationName() {
  if (m_csApplicationName.nTaille() > 0) return m_csApplicationName.pszGet();
  CTString csName;
  if (g_bGetExeName(&csName) && csName.nTaille() > 0)
    m_csApplicationName.Set(csName.pszGet());
  else
    m_csApplicationName.Set(kszFallbackApplicationName);
  return m_csApplicationName.pszGet();
}

int CNAConnectionDescription::g_bGetExeName(CTString* out) {
  if (out == nullptr) return 0;
  CTString csPath;
  if (!g_bGetModuleFileName(nullptr, &csPath)) return 0;
  std::vector<wchar_t> vecDirectory(XMAX_PATH_BUFFER, L'\0');
  std::vector<wchar_t> vecName(XMAX_PATH_BUFFER, L'\0');
  std::vector<wchar_t> vecExtension(XMAX_PATH_BUFFER, L'\0');
  if (!CDiskFile::__SplitPath(csPath.pszGet(), vecDirectory.data(), vecName.data(),
                              vecExtension.data(), XMAX_PATH_BUFFER))
    return 0;
  out->Set(vecName.data());
  return 1;
}

int CNAConnectionDescription::g_bGetModuleFileName(void* module, CTString* out) {
  if (out == nullptr) return 0;
  wchar_t szPath[kdwModuleFileNameBuffer] = {};
  if (!GetModuleFileNameW(module, szPath, kdwModuleFileNameBuffer)) return 0;
  const std::size_t nLength = std::wcslen(szPath);
  // A path of 261 characters or more did not fit with its terminator.
  if (nLength == 0 || nLength >= kdwModuleFileNameBuffer) return 0;
  out->Set(szPath);
  return 1;
}

// ---------------------------------------------------------------------------
// Client library and server version
// ---------------------------------------------------------------------------

int CNAConnectionDescription::_bCheckClientLibraryWanted(CNAError* error) {
  if (m_csClientLibraryWanted.nTaille() == 0) return 1;
  if (m_csClientLibraryWanted.bEstEgalI(m_csClientLibrary)) return 1;
  const bool bHasDirectory =
      m_csClientLibraryWanted.nPos(L'/') >= 0 || m_csClientLibraryWanted.nPos(L'\\') >= 0;
  if (!bHasDirectory && m_csClientLibrary.nTaille() > 0) {
    std::vector<wchar_t> vecDirectory(XMAX_PATH_BUFFER, L'\0');
    std::vector<wchar_t> vecFile(XMAX_PATH_BUFFER, L'\0');
    if (CDiskFile::__SplitPath(m_csClientLibrary.pszGet(), vecDirectory.data(), vecFile.data(),
                               XMAX_PATH_BUFFER) &&
        m_csClientLibraryWanted.bEstEgalI(vecFile.data()))
      return 1;
  }
  const wchar_t* pszLoaded = m_csClientLibrary.pszGet();
  const wchar_t* pszWanted = m_csClientLibraryWanted.pszGet();
  if (error != nullptr) {
    error->AddError(NA_ERRORTYPE_GENERIC, 4, 120, this, knErrClientLibrary, L"MariaDB", pszLoaded,
                    pszWanted);
    return 0;
  }
  // No error object: the error is written out as its dump and dropped.
  _CXErrorModule76 clErr(knErrClientLibrary, L"MariaDB", pszLoaded, pszWanted);
  CTString csText;
  clErr.StringDump(csText, static_cast<CXError::eXERROR_INFO>(kdwDumpParts));
  csText.Tronque(kDroppedTextMax);
  return 0;
}

int CNAConnectionDescription::_bDecomposeServerVersion(CNAError* /*error*/) {
  std::int32_t* apnFields[3] = {&m_nServerMajor, &m_nServerMinor, &m_nServerRelease};
  const wchar_t* psz = m_csServerVersion.pszGet();
  for (int i = 0; i < 3 && psz != nullptr; ++i) {
    const wchar_t* pszDot = std::wcschr(psz, L'.');
    CTString csPiece = pszDot != nullptr ? CTString(psz, static_cast<long>(pszDot - psz))
                                         : CTString(psz);
    int nValue = 0;
    if (std::swscanf(csPiece.pszGet(), L"%d", &nValue) == 1) *apnFields[i] = nValue;
    psz = pszDot != nullptr ? pszDot + 1 : nullptr;
  }
  return 1;
}
