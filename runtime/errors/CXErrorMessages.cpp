// CXError: user and debug messages, user errors by code, system errors.
#include <netdb.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "CXError.h"
#include "DllResLoader.h"
#include "DllResources.h"
#include "XMalloc.h"

namespace {

// The row of `nCode` in the module's table (the first one), or null.
const _stErrorDef* pstFindDefinition(const _stMyModuleInfo* pstModule, unsigned int nCode) {
  if (pstModule == nullptr || pstModule->pstErrorDef == nullptr) return nullptr;
  for (std::size_t i = 0; i < pstModule->nErrorDef; ++i) {
    if (pstModule->pstErrorDef[i].nCode == nCode) return &pstModule->pstErrorDef[i];
  }
  return nullptr;
}

// The system's text of an error number, read as UTF-8.
void SystemErrorText(int nErrno, CTString* pclOut) {
  char szBuffer[256];
  szBuffer[0] = '\0';
  // GNU strerror_r answers a pointer to the text (perhaps a static one).
  const char* pszText = strerror_r(nErrno, szBuffer, sizeof(szBuffer));
  pclOut->SetANSIEx(pszText, -1, 65001);
}

}  // namespace

// ---- User and debug messages ----------------------------------------------

void CXError::_AppendLine(wchar_t** ppsz, const wchar_t* pszText) {
  if (pszText == nullptr) return;
  if (*ppsz == nullptr) {
    __vpszReallocString(ppsz, pszText);
    return;
  }
  // The text may be a piece of the field itself, which the concatenation
  // of the separator could move: it goes in one piece, separator first.
  const std::size_t n = std::wcslen(pszText);
  auto* pszLine = static_cast<wchar_t*>(XMALLOC_pNew_((n + 3) * sizeof(wchar_t)));
  if (pszLine == nullptr) return;
  pszLine[0] = L'\r';
  pszLine[1] = L'\n';
  std::wmemcpy(pszLine + 2, pszText, n + 1);
  __vpszConcatString(ppsz, pszLine);
  XMALLOC_Del_(pszLine);
}

void CXError::AddUserMessage(const wchar_t* pszText) { _AppendLine(&m_pszUserMessage, pszText); }

void CXError::AddUserMessageNoFormat(const wchar_t* pszText) {
  if (pszText == nullptr || pszText[0] == L'\0') return;
  _AppendLine(&m_pszUserMessage, pszText);
}

void CXError::AddDebugMessageNoFormat(const wchar_t* pszText) {
  if (pszText == nullptr || pszText[0] == L'\0') return;
  _AppendLine(&m_pszDebugMessage, pszText);
}

void CXError::AddUserMessageFirst(const wchar_t* pszText) { _PrependLine(&m_pszUserMessage, pszText); }

void CXError::AddDebugMessageFirst(const wchar_t* pszText) {
  if (pszText == nullptr || pszText[0] == L'\0') return;
  _PrependLine(&m_pszDebugMessage, pszText);
}

void CXError::_PrependLine(wchar_t** ppsz, const wchar_t* pszText) {
  if (pszText == nullptr) return;
  if (*ppsz == nullptr) {
    __vpszReallocString(ppsz, pszText);
    return;
  }
  // Built apart: the text may lie inside the message it goes in front of.
  const std::size_t nText = std::wcslen(pszText);
  const std::size_t nOld = std::wcslen(*ppsz);
  auto* pszNew = static_cast<wchar_t*>(XMALLOC_pNew_((nText + 2 + nOld + 1) * sizeof(wchar_t)));
  if (pszNew == nullptr) return;
  std::wmemcpy(pszNew, pszText, nText);
  pszNew[nText] = L'\r';
  pszNew[nText + 1] = L'\n';
  std::wmemcpy(pszNew + nText + 2, *ppsz, nOld + 1);
  __vpszReallocString(ppsz, pszNew);
  XMALLOC_Del_(pszNew);
}

bool CXError::_bFormatMessage(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args,
                              CTString* pclOut) {
  CTString clFormat;
  if (!DLLRES_bLoadString(pstModule, nId, &clFormat)) {
    pclOut->printf(L"##(CXError)-Ressource <%u> non chargée##", nId);
    return false;
  }
  const unsigned nErrno = static_cast<unsigned>(errno);
  if (clFormat.nTaille() > 0) {
    va_list copy;
    va_copy(copy, args);
    CTString clText;
    const unsigned nLength = DLLRES_dwFormatMessage(clFormat.pszGet(), &clText, copy);
    va_end(copy);
    if (nLength > 0) {
      pclOut->Transfert(clText);
      return true;
    }
  }
  pclOut->printf(L"##(CXError)-Ressource <%u> vide. LastError = <%u>##", nId, nErrno);
  return false;
}

void CXError::_AddMessageList(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args,
                              bool bFirst) {
  InitModInfo(pstModule, 0);
  if (bFirst)
    m_tabErrorId.Insere(nId, 0);
  else
    m_tabErrorId.Ajoute(nId);
  CTString clText;
  if (!_bFormatMessage(pstModule, nId, args, &clText)) {
    AddDebugMessageNoFormat(clText.pszGet());
    return;
  }
  if (bFirst)
    AddUserMessageFirst(clText.pszGet());
  else
    AddUserMessage(clText.pszGet());
}

void CXError::AddUserMessage(const _stMyModuleInfo* pstModule, unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  _AddMessageList(pstModule, nId, args, false);
  va_end(args);
}

void CXError::AddUserMessageList(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args) {
  _AddMessageList(pstModule, nId, args, false);
}

void CXError::AddUserMessageFirst(const _stMyModuleInfo* pstModule, unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  _AddMessageList(pstModule, nId, args, true);
  va_end(args);
}

void CXError::AddUserMessageListFirst(const _stMyModuleInfo* pstModule, unsigned int nId,
                                      va_list args) {
  _AddMessageList(pstModule, nId, args, true);
}

void CXError::AddDebugMessage(const _stMyModuleInfo* pstModule, unsigned int nId, ...) {
  if (nId == 0xFFFFFFFF) return;
  va_list args;
  va_start(args, nId);
  AddDebugMessageList(pstModule, nId, args);
  va_end(args);
}

void CXError::AddDebugMessageList(const _stMyModuleInfo* pstModule, unsigned int nId, va_list args) {
  CTString clText;
  _bFormatMessage(pstModule, nId, args, &clText);
  AddDebugMessageNoFormat(clText.pszGet());
}

void CXError::AddDebugMessagePrintf(const wchar_t* pszFormat, ...) {
  CTString clText;
  va_list args;
  va_start(args, pszFormat);
  const int nLength = clText.FormatV(pszFormat, args);
  va_end(args);
  if (nLength > 0) AddDebugMessageNoFormat(clText.pszGet());
}

void CXError::RAZUserMessage() { __vDeleteString(&m_pszUserMessage); }

const wchar_t* CXError::pszGetUserMessage() const {
  return m_pszUserMessage != nullptr ? m_pszUserMessage : L"";
}

const wchar_t* CXError::pszGetDebugMessage() const {
  return m_pszDebugMessage != nullptr ? m_pszDebugMessage : L"";
}

// ---- User errors ------------------------------------------------------------

void CXError::_ApplyDefinition(const _stMyModuleInfo* pstModule, unsigned int nCode,
                               const wchar_t* pszText, va_list* pArgs) {
  InitModInfo(pstModule, 1);
  const _stErrorDef* pstRow = pstFindDefinition(pstModule, nCode);
  if (pstRow == nullptr) {
    SetErrorLevel(ERRORLEVEL_ERROR);
    AddDebugMessagePrintf(L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <%u>##",
                          nCode);
    return;
  }
  m_nUserErrorCode = nCode;
  if (pArgs != nullptr)
    AddUserMessageListFirst(pstModule, pstRow->nMessageId, *pArgs);
  else
    AddUserMessageFirst(pszText);
  m_nDetailId = pstRow->nDetailId;
  SetErrorLevel(static_cast<eERRORLEVEL>(pstRow->nLevel));
}

void CXError::SetUserError(const _stMyModuleInfo* pstModule, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(pstModule, nCode, args);
  va_end(args);
}

void CXError::SetUserErrorList(const _stMyModuleInfo* pstModule, unsigned int nCode, va_list args) {
  RAZ();
  ChangeUserErrorList(pstModule, nCode, args);
}

void CXError::ChangeUserError(const _stMyModuleInfo* pstModule, unsigned int nCode, ...) {
  va_list args;
  va_start(args, nCode);
  ChangeUserErrorList(pstModule, nCode, args);
  va_end(args);
}

void CXError::ChangeUserErrorList(const _stMyModuleInfo* pstModule, unsigned int nCode,
                                  va_list args) {
  va_list copy;
  va_copy(copy, args);
  _ApplyDefinition(pstModule, nCode, nullptr, &copy);
  va_end(copy);
}

void CXError::SetUserErrorMessage(const _stMyModuleInfo* pstModule, unsigned int nCode,
                                  const wchar_t* pszText) {
  RAZ();
  _ApplyDefinition(pstModule, nCode, pszText, nullptr);
}

void CXError::ChangeUserErrorMessage(const _stMyModuleInfo* pstModule, unsigned int nCode,
                                     const wchar_t* pszText) {
  // Starts afresh like SetUserErrorMessage, so the caller's text is the
  // whole user message and no earlier code or items survive.
  RAZ();
  _ApplyDefinition(pstModule, nCode, pszText, nullptr);
}

std::uint32_t CXError::nGetRessourceIdFromUserErrorCode(const _stMyModuleInfo* pstModule,
                                                        unsigned int nCode) {
  const _stErrorDef* pstRow = pstFindDefinition(pstModule, nCode);
  return pstRow != nullptr ? pstRow->nMessageId : 0;
}

void CXError::SetAnyError(const _stMyModuleInfo* pstModule, int nKind, int p1, int p2) {
  unsigned int nCode = 0;
  switch (nKind) {
    case 0:
      RAZ();
      return;
    case 1: nCode = 65; break;
    case 100:
      SetErrorNoMemory();
      return;
    case 101: nCode = 61; break;
    case 104: nCode = 66; break;
    case 105: nCode = 60; break;
    case 106: nCode = 64; break;
    case 107: nCode = 63; break;
    default:
      return;
  }
  SetUserError(pstModule, nCode, p1, p2);
}

void CXError::SetErrorNoMemory() {
  RAZ();
  AddUserMessageFirst(&gstMyModuleInfo76, 25193);
  __SetSystemError(12);
  // Without a level the error would read as "no error" and the failure that
  // recorded it as a success.
  SetErrorLevel(ERRORLEVEL_ERROR);
}

// ---- System errors ----------------------------------------------------------

void CXError::SetSystemError(std::uint32_t dwCode, const wchar_t* pszText) {
  m_dwSystemErrorCode = dwCode;
  __vpszReallocString(&m_pszSystemErrorMessage, pszText);
}

void CXError::SetSystemErrorMessage(std::uint32_t dwCode, const wchar_t* pszText) {
  SetSystemError(dwCode, pszText);
}

void CXError::SetSystemErrorMessage(const wchar_t* pszText) { SetSystemError(0, pszText); }

void CXError::SetSystemErrorMessage(const _stMyModuleInfo* pstModule, unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  CTString clText;
  _bFormatMessage(pstModule, nId, args, &clText);
  va_end(args);
  SetSystemError(0, clText.pszGet());
}

void CXError::SetSystemErrorMessagePrintf(std::uint32_t dwCode, const wchar_t* pszFormat, ...) {
  CTString clText;
  va_list args;
  va_start(args, pszFormat);
  const int nLength = clText.FormatV(pszFormat, args);
  va_end(args);
  SetSystemError(dwCode, nLength >= 0 ? clText.pszGet() : nullptr);
}

void CXError::SetSystemErrorMessagePrintf(const wchar_t* pszFormat, ...) {
  CTString clText;
  va_list args;
  va_start(args, pszFormat);
  const int nLength = clText.FormatV(pszFormat, args);
  va_end(args);
  SetSystemError(0, nLength >= 0 ? clText.pszGet() : nullptr);
}

void CXError::SetSystemErrorMessageA(const char* pszText) {
  CTString clText;
  if (pszText != nullptr && pszText[0] != '\0') clText.SetANSIEx(pszText, -1, 65001);
  SetSystemError(0, clText.pszGet());
}

void CXError::SetSystemErrorParam(std::uint32_t dwCode, ...) { __SetSystemError(dwCode); }

void CXError::__SetSystemError(std::uint32_t dwCode) {
  m_dwSystemErrorCode = dwCode;
  if (dwCode == 0) {
    __vDeleteString(&m_pszSystemErrorMessage);
    return;
  }
  // The text describes the code given, not whatever errno holds by now:
  // loading a message or converting a text may have changed it since the
  // failure. The lock-conflict codes 0x80000000..0x80000002 read as 11
  // (EAGAIN).
  const int nErrno = dwCode >= 0x80000000u && dwCode <= 0x80000002u ? 11 : static_cast<int>(dwCode);
  CTString clText;
  SystemErrorText(nErrno, &clText);
  __vpszReallocString(&m_pszSystemErrorMessage, clText.pszGet());
}

void CXError::SetSystemErrorForGetHostBy(std::uint32_t dwCode) {
  m_dwSystemErrorCode = dwCode;
  CTString clText;
  clText.SetANSIEx(hstrerror(h_errno), -1, 65001);
  __vpszReallocString(&m_pszSystemErrorMessage, clText.pszGet());
}

const wchar_t* CXError::pszGetSystemErrorMessage() const {
  return m_pszSystemErrorMessage != nullptr ? m_pszSystemErrorMessage : L"";
}
