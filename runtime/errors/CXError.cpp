// CXError: construction, the string slots, sub-errors, copy, move, reset,
// level, module and context fields. Messages, user and system errors are in
// CXErrorMessages.cpp, information items in CXErrorInfo.cpp, the dump in
// CXErrorDump.cpp.
#include "CXError.h"

#include <cstdarg>

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <cwchar>
#include <new>

#include "XMalloc.h"

namespace {

// True when `p` points into the text `psz` (its NUL included).
bool bInside(const wchar_t* p, const wchar_t* psz) {
  if (p == nullptr || psz == nullptr) return false;
  const auto n = reinterpret_cast<std::uintptr_t>(p);
  const auto nStart = reinterpret_cast<std::uintptr_t>(psz);
  const auto nEnd = reinterpret_cast<std::uintptr_t>(psz + std::wcslen(psz));
  return n >= nStart && n <= nEnd;
}

// A private copy of a text, from XMALLOC_pNew_; null when short of memory.
wchar_t* pszDuplicate(const wchar_t* psz) {
  const std::size_t n = std::wcslen(psz) + 1;
  auto* pszCopy = static_cast<wchar_t*>(XMALLOC_pNew_(n * sizeof(wchar_t)));
  if (pszCopy != nullptr) std::copy_n(psz, n, pszCopy);
  return pszCopy;
}

}  // namespace

// ---- Construction ---------------------------------------------------------

CXError::CXError(const _stMyModuleInfo* pstModule)
    : m_nModuleId(pstModule != nullptr ? pstModule->nModuleId : 0) {}

CXError::CXError(const _stMyModuleInfo* pstModule, unsigned int nCode, ...) : CXError(pstModule) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(pstModule, nCode, args);
  va_end(args);
}

CXError::CXError(const _stMyModuleInfo* pstModule, unsigned int nCode, va_list args)
    : CXError(pstModule) {
  SetUserErrorList(pstModule, nCode, args);
}

CXError::CXError(const _stMyModuleInfo* pstModule, const wchar_t* pszDebug, unsigned int nCode, ...)
    : CXError(pstModule) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(pstModule, nCode, args);
  va_end(args);
  AddDebugMessageNoFormat(pszDebug);
}

CXError::CXError(const _stMyModuleInfo* pstModule, const wchar_t* pszDebug, unsigned int nCode,
                 va_list args)
    : CXError(pstModule) {
  SetUserErrorList(pstModule, nCode, args);
  AddDebugMessageNoFormat(pszDebug);
}

CXError::CXError(const _stMyModuleInfo* pstModule, CXError* pclSrc, int bLight) : CXError(pstModule) {
  if (bLight)
    LightCopy(pclSrc);
  else
    Copy(pclSrc);
}

CXError::CXError(const _stMyModuleInfo* pstModule, CXError& clSrc, int bLight)
    : CXError(pstModule, &clSrc, bLight) {}

CXError::CXError(std::uint32_t nModuleId, CXError* pclSrc, int bLight) : m_nModuleId(nModuleId) {
  if (bLight)
    LightCopy(pclSrc);
  else
    Copy(pclSrc);
}

CXError::CXError(const _stMyModuleInfo* pstModule, const CXError& clSrc) : CXError(pstModule) {
  Copy(&clSrc);
}

CXError::CXError(const CXError& clSrc) : CKXUnknown(), m_nModuleId(0) { Copy(&clSrc); }

CXError& CXError::operator=(const CXError& clSrc) {
  Copy(&clSrc);
  return *this;
}

CXError::~CXError() { __RAZALL(); }

_CXErrorModule76::_CXErrorModule76(unsigned int nCode, ...) : CXError(&gstMyModuleInfo76) {
  va_list args;
  va_start(args, nCode);
  SetUserErrorList(&gstMyModuleInfo76, nCode, args);
  va_end(args);
}

_CXErrorModule76::~_CXErrorModule76() = default;

// ---- String slots ---------------------------------------------------------

wchar_t* CXError::__vpszAllocString(wchar_t** ppsz, const wchar_t* pszText) {
  *ppsz = pszText != nullptr ? pszDuplicate(pszText) : nullptr;
  return *ppsz;
}

wchar_t* CXError::__vpszReallocString(wchar_t** ppsz, const wchar_t* pszText) {
  if (*ppsz == pszText) return *ppsz;
  if (pszText == nullptr) {
    __vDeleteString(ppsz);
    return nullptr;
  }
  // A text taken from the field itself would move or be overwritten.
  wchar_t* pszOwnCopy = nullptr;
  if (bInside(pszText, *ppsz)) {
    pszOwnCopy = pszDuplicate(pszText);
    if (pszOwnCopy == nullptr) return *ppsz;
    pszText = pszOwnCopy;
  }
  const std::size_t n = std::wcslen(pszText) + 1;
  auto* pszNew = static_cast<wchar_t*>(XMALLOC_pResize_(*ppsz, n * sizeof(wchar_t)));
  if (pszNew != nullptr) {
    std::copy_n(pszText, n, pszNew);
    *ppsz = pszNew;
  }
  XMALLOC_Del_(pszOwnCopy);
  return *ppsz;
}

wchar_t* CXError::__vpszReallocString(wchar_t** ppsz, unsigned long n) {
  const bool bNew = *ppsz == nullptr;
  auto* pszNew = static_cast<wchar_t*>(XMALLOC_pResize_(*ppsz, (n + 1) * sizeof(wchar_t)));
  if (pszNew == nullptr) return *ppsz;
  if (bNew) pszNew[0] = L'\0';
  pszNew[n] = L'\0';
  *ppsz = pszNew;
  return *ppsz;
}

wchar_t* CXError::__vpszConcatString(wchar_t** ppsz, const wchar_t* pszText) {
  if (pszText == nullptr) return *ppsz;
  if (*ppsz == nullptr) return __vpszAllocString(ppsz, pszText);
  wchar_t* pszOwnCopy = nullptr;
  if (bInside(pszText, *ppsz)) {
    pszOwnCopy = pszDuplicate(pszText);
    if (pszOwnCopy == nullptr) return *ppsz;
    pszText = pszOwnCopy;
  }
  const std::size_t nOld = std::wcslen(*ppsz);
  const std::size_t nAdd = std::wcslen(pszText);
  auto* pszNew =
      static_cast<wchar_t*>(XMALLOC_pResize_(*ppsz, (nOld + nAdd + 1) * sizeof(wchar_t)));
  if (pszNew != nullptr) {
    std::copy_n(pszText, nAdd + 1, pszNew + nOld);
    *ppsz = pszNew;
  }
  XMALLOC_Del_(pszOwnCopy);
  return *ppsz;
}

void CXError::__vDeleteString(wchar_t** ppsz) {
  XMALLOC_Del_(*ppsz);
  *ppsz = nullptr;
}

// ---- Sub-errors -----------------------------------------------------------

void CXError::__AddSubError(CXError* pclErr, int bLight, int bNoUserMessage) {
  if (pclErr == nullptr) return;
  if (m_ptabSubError == nullptr) {
    m_ptabSubError = new (std::nothrow) CTTableau<CXError*>(4);
    if (m_ptabSubError == nullptr) return;
  }
  // Moving the error into itself would hand its own sub-error array away
  // while appending to it: it is always copied as it stands.
  const int bMove = bLight && pclErr != this;
  CXError* pclSub = new (std::nothrow) CXError(m_nModuleId, pclErr, bMove);
  if (pclSub == nullptr) return;
  if (m_ptabSubError->Ajoute(pclSub) < 0) {
    delete pclSub;
    return;
  }
  if (!bNoUserMessage && m_ptabSubError->nGetNbElements() == 1)
    AddUserMessage(pclSub->m_pszUserMessage);
}

void CXError::__DeleteAllSubError() {
  if (m_ptabSubError == nullptr) return;
  CTTableau<CXError*>* ptab = m_ptabSubError;
  m_ptabSubError = nullptr;
  for (int i = 0; i < ptab->nGetNbElements(); ++i) delete (*ptab)[i];
  delete ptab;
}

int CXError::nGetNbSubError() const {
  return m_ptabSubError != nullptr ? m_ptabSubError->nGetNbElements() : 0;
}

CXError* CXError::pclGetSubError(int i) const {
  if (i < 0 || i >= nGetNbSubError()) return nullptr;
  return (*m_ptabSubError)[i];
}

// ---- Copy, move, reset, level ---------------------------------------------

void CXError::vCopy(const CXError* pclSrc) { Copy(pclSrc); }

void CXError::Copy(const CXError& clSrc) { Copy(&clSrc); }

void CXError::Copy(const CXError* pclSrc) {
  if (pclSrc == this) return;
  if (pclSrc == nullptr) {
    RAZ();
    return;
  }
  __Copy(pclSrc);
}

void CXError::__Copy(const CXError* pclSrc) {
  m_eLevel = pclSrc->m_eLevel;
  m_nUserErrorCode = pclSrc->m_nUserErrorCode;
  m_nUserErrorCode55 = pclSrc->m_nUserErrorCode55;

  __vpszReallocString(&m_pszUserMessage, pclSrc->m_pszUserMessage);
  __vpszReallocString(&m_pszModName, pclSrc->m_pszModName);
  __vpszReallocString(&m_pszModVersion, pclSrc->m_pszModVersion);
  __vpszReallocString(&m_pszDebugMessage, pclSrc->m_pszDebugMessage);
  __vpszReallocString(&m_pszFunctionName, pclSrc->m_pszFunctionName);
  m_dwSystemErrorCode = pclSrc->m_dwSystemErrorCode;
  __vpszReallocString(&m_pszSystemErrorMessage, pclSrc->m_pszSystemErrorMessage);
  __vpszReallocString(&m_pszTraitmentCaption, pclSrc->m_pszTraitmentCaption);
  __vpszReallocString(&m_pszObjectName, pclSrc->m_pszObjectName);

  m_nDetailId = pclSrc->m_nDetailId;
  m_byFunctionSyntax = pclSrc->m_byFunctionSyntax;
  m_wTraitmentLine = pclSrc->m_wTraitmentLine;
  m_wTraitmentThread = pclSrc->m_wTraitmentThread;

  m_tabErrorId.SupprimeToutEtLibere();
  for (int i = 0; i < pclSrc->m_tabErrorId.nGetNbElements(); ++i)
    m_tabErrorId.Ajoute(pclSrc->m_tabErrorId[i]);

  _FreeInfos();
  for (int i = 0; i < pclSrc->m_tabInfo.nGetNbElements(); ++i) {
    const _stERRORINFO& st = pclSrc->m_tabInfo[i];
    const auto eType = static_cast<eERRORINFOTYPE>(st.nType);
    switch (eType) {
      case EIT_BASECODE:
      case EIT_NATIVECODE:
      case EIT_ADOCODE:
      case EIT_XINFO:
      case EIT_HCNXID:
        AddInfo(eType, &st.nValue);
        break;
      case EIT_RECNUM:
      case EIT_HLOCKTIME:
        AddInfo(eType, &st.llValue);
        break;
      case EIT_DATAACCESS:
        if (pclSrc->m_nModuleId == m_nModuleId) AddInfo(eType, st.pValue);
        break;
      default:
        AddInfo(eType, st.pValue);
        break;
    }
  }

  // The source may be one of this error's own sub-errors: the new list is
  // complete before the old one (and with it perhaps the source) goes.
  CTTableau<CXError*>* ptabOld = m_ptabSubError;
  m_ptabSubError = nullptr;
  if (pclSrc->m_ptabSubError != nullptr) {
    for (int i = 0; i < pclSrc->m_ptabSubError->nGetNbElements(); ++i)
      __AddSubError((*pclSrc->m_ptabSubError)[i], 0, 1);
  }
  if (ptabOld != nullptr) {
    CTTableau<CXError*>* ptabNew = m_ptabSubError;
    m_ptabSubError = ptabOld;
    __DeleteAllSubError();
    m_ptabSubError = ptabNew;
  }
}

void CXError::LightCopy(CXError* pclSrc) {
  if (pclSrc == this) return;
  if (pclSrc == nullptr) {
    RAZ();
    return;
  }
  // The own sub-errors go last: the source may be one of them.
  CTTableau<CXError*>* ptabOld = m_ptabSubError;
  m_ptabSubError = pclSrc->m_ptabSubError;
  pclSrc->m_ptabSubError = nullptr;

  m_eLevel = pclSrc->m_eLevel;
  m_nUserErrorCode = pclSrc->m_nUserErrorCode;
  m_nUserErrorCode55 = pclSrc->m_nUserErrorCode55;
  pclSrc->m_eLevel = ERRORLEVEL_NONE;
  pclSrc->m_nUserErrorCode = 0;
  pclSrc->m_nUserErrorCode55 = 0;

  wchar_t* CXError::*const apszFields[] = {
      &CXError::m_pszUserMessage,   &CXError::m_pszModName,
      &CXError::m_pszModVersion,    &CXError::m_pszDebugMessage,
      &CXError::m_pszFunctionName,  &CXError::m_pszSystemErrorMessage,
      &CXError::m_pszTraitmentCaption, &CXError::m_pszObjectName,
  };
  for (wchar_t* CXError::*pField : apszFields) {
    __vDeleteString(&(this->*pField));
    this->*pField = pclSrc->*pField;
    pclSrc->*pField = nullptr;
  }

  m_dwSystemErrorCode = pclSrc->m_dwSystemErrorCode;
  m_nDetailId = pclSrc->m_nDetailId;
  m_byFunctionSyntax = pclSrc->m_byFunctionSyntax;
  m_wTraitmentLine = pclSrc->m_wTraitmentLine;
  m_wTraitmentThread = pclSrc->m_wTraitmentThread;
  pclSrc->m_dwSystemErrorCode = 0;
  pclSrc->m_nDetailId = 0;
  pclSrc->m_byFunctionSyntax = 0;
  pclSrc->m_wTraitmentLine = 0;
  pclSrc->m_wTraitmentThread = 0;

  m_tabErrorId.Recupere(pclSrc->m_tabErrorId);

  _FreeInfos();
  m_tabInfo.Recupere(pclSrc->m_tabInfo);
  if (pclSrc->m_nModuleId != m_nModuleId) {
    const int i = _nFindInfo(EIT_DATAACCESS);
    if (i >= 0) {
      _stERRORINFO st = m_tabInfo[i];
      m_tabInfo.Supprime(i, 1);
      _ReleaseValue(st);
    }
  }

  if (ptabOld != nullptr) {
    CTTableau<CXError*>* ptabNew = m_ptabSubError;
    m_ptabSubError = ptabOld;
    __DeleteAllSubError();
    m_ptabSubError = ptabNew;
  }
}

void CXError::RAZ() {
  __vDeleteString(&m_pszUserMessage);
  __vDeleteString(&m_pszDebugMessage);
  __vDeleteString(&m_pszFunctionName);
  __vDeleteString(&m_pszTraitmentCaption);
  __vDeleteString(&m_pszObjectName);
  __vDeleteString(&m_pszSystemErrorMessage);
  __vDeleteString(&m_pszModName);
  __vDeleteString(&m_pszModVersion);
  m_tabErrorId.SupprimeToutEtLibere();
  _FreeInfos();
  __DeleteAllSubError();
  m_eLevel = ERRORLEVEL_NONE;
  m_nUserErrorCode = 0;
  m_byFunctionSyntax = 0;
  m_nDetailId = 0;
  m_dwSystemErrorCode = 0;
  m_wTraitmentLine = 0;
  m_wTraitmentThread = 0;
  m_nUserErrorCode55 = 0;
}

void CXError::__RAZALL() {
  RAZ();
  m_nModuleId = 0;
}

void CXError::SetErrorLevel(eERRORLEVEL eLevel) {
  if (eLevel == m_eLevel) return;
  if (eLevel == ERRORLEVEL_NONE)
    RAZ();
  else
    m_eLevel = eLevel;
}

// ---- Module and context -----------------------------------------------------

void CXError::InitModInfo(const _stMyModuleInfo* pstModule, int bForce) {
  if (pstModule == nullptr) return;
  if (!bForce && m_pszModName != nullptr) return;
  __vpszReallocString(&m_pszModName, pstModule->pszModuleName);
  __vpszReallocString(&m_pszModVersion, pstModule->pszModuleVersion);
}

void CXError::InitModName(const wchar_t* pszName) { __vpszReallocString(&m_pszModName, pszName); }

void CXError::InitModVersion(const wchar_t* pszVersion) {
  __vpszReallocString(&m_pszModVersion, pszVersion);
}

const wchar_t* CXError::pszGetModName() const { return m_pszModName != nullptr ? m_pszModName : L""; }

const wchar_t* CXError::pszGetModVersion() const {
  return m_pszModVersion != nullptr ? m_pszModVersion : L"";
}

void CXError::SetVMContext(const wchar_t* pszCaption, const wchar_t* pszObjectName,
                           std::uint16_t wLine, std::uint16_t wThread) {
  __vpszReallocString(&m_pszTraitmentCaption, pszCaption);
  __vpszReallocString(&m_pszObjectName, pszObjectName);
  if ((pszCaption == nullptr || m_pszTraitmentCaption != nullptr) &&
      (pszObjectName == nullptr || m_pszObjectName != nullptr)) {
    m_wTraitmentLine = wLine;
    m_wTraitmentThread = wThread;
  }
}

void CXError::SetVMContext(const wchar_t* pszCaption, std::uint16_t wLine, std::uint16_t wThread) {
  __vpszReallocString(&m_pszTraitmentCaption, pszCaption);
  if (pszCaption == nullptr || m_pszTraitmentCaption != nullptr) {
    m_wTraitmentLine = wLine;
    m_wTraitmentThread = wThread;
  }
}

void CXError::SetVMContext(const wchar_t* pszObjectName) {
  __vpszReallocString(&m_pszObjectName, pszObjectName);
}

const wchar_t* CXError::pszGetTraitmentCaption() const {
  return m_pszTraitmentCaption != nullptr ? m_pszTraitmentCaption : L"";
}

const wchar_t* CXError::pszGetObjectName() const {
  return m_pszObjectName != nullptr ? m_pszObjectName : L"";
}

void CXError::SetFunctionName(const wchar_t* pszName, int nSyntax) {
  __vpszReallocString(&m_pszFunctionName, pszName);
  if (pszName == nullptr || m_pszFunctionName != nullptr)
    m_byFunctionSyntax = static_cast<std::uint8_t>(nSyntax);
}

const wchar_t* CXError::pszGetFunctionName() const {
  return m_pszFunctionName != nullptr ? m_pszFunctionName : L"";
}

int CXError::nNumErrorId() const { return m_tabErrorId.nGetNbElements(); }

std::uint32_t CXError::nGetErrorId(int i) const {
  if (i < 0 || i >= m_tabErrorId.nGetNbElements()) return 0;
  return m_tabErrorId[i];
}
