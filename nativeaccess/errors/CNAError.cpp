#include "CNAError.h"

#include <cstring>

#include "CNAConnectionDescription.h"
#include "CXErrorInternal.h"
#include "MyModuleInfo.h"

namespace {

// Every part of the dump, leaving out the "none" captions of absent parts.
constexpr std::uint32_t kdwDumpParts = 0x80000FFFu;

// The kinds the wrapped error's any-error form knows; any other leaves it
// untouched, which would record a failure as "no error".
bool bIsAnyErrorKind(int nKind) {
  switch (nKind) {
    case 0:
    case 1:
    case 100:
    case 101:
    case 104:
    case 105:
    case 106:
    case 107:
      return true;
    default:
      return false;
  }
}

// The kind a failed conversion the list does not name is recorded as: the
// plain conversion failure (user error 65).
constexpr int knAnyErrorConversion = 1;

const wchar_t* pszGetStringInfo(CXError* pclErr, eERRORINFOTYPE eType) {
  void* pValue = nullptr;
  if (pclErr == nullptr || !pclErr->bGetInfo(eType, &pValue)) return nullptr;
  return static_cast<const wchar_t*>(pValue);
}

}  // namespace

CNAError::CNAError() = default;

CNAError::~CNAError() {
  // The text first, then the wrapped error (a member, destroyed after).
  m_csText.Vide();
}

std::uint32_t CNAError::nRelease() {
  if (m_nHolderCount == 0) return 0;
  const std::uint32_t nLeft = --m_nHolderCount;
  if (nLeft == 0) delete this;
  return nLeft;
}

// ---- INAVersion ------------------------------------------------------------

std::uint32_t CNAError::nGetVersion() { return 1; }
std::uint32_t CNAError::nGetCompatSince() { return 1; }
std::uint32_t CNAError::nGetNAVersion() { return 0xFFFFFFFFu; }
std::uint32_t CNAError::nGetNACompatSince() { return 0xFFFFFFFFu; }
void CNAError::NAVersion_EmptySlot_3() {}

// ---- INAError --------------------------------------------------------------

const wchar_t* CNAError::pszGetError() {
  m_csText.Vide();
  m_clError.StringDump(m_csText, static_cast<CXError::eXERROR_INFO>(kdwDumpParts));
  return m_csText.pszGet();
}

std::uint32_t CNAError::dwGetErrorId() {
  if (m_clError.eGetErrorLevel() == ERRORLEVEL_NONE) return 0;
  return m_clError.nGetUserErrorCode();
}

const wchar_t* CNAError::pszGetLogicalTableName() {
  return pszGetStringInfo(&m_clError, EIT_LOGICALTABLENAME);
}

const wchar_t* CNAError::pszGetItemName() { return pszGetStringInfo(&m_clError, EIT_ITEMNAME); }

eNAERRORLEVEL CNAError::eGetErrorLevel() {
  return static_cast<eNAERRORLEVEL>(m_clError.eGetErrorLevel());
}

void CNAError::EmptySlot52() {}
void CNAError::EmptySlot53() {}
void CNAError::EmptySlot54() {}
void CNAError::EmptySlot55() {}
void CNAError::EmptySlot56() {}

void CNAError::Reset() {
  m_clError.RAZ();
  m_eType = NA_ERRORTYPE_NONE;
  m_csText.Vide();
}

// ---- Main error ------------------------------------------------------------

void CNAError::Copy(const INAError* piOther) {
  if (piOther == nullptr || piOther == this) return;
  // The interface's readers are not const (the runtime's table); reading
  // changes nothing in the other object.
  INAError* pi = const_cast<INAError*>(piOther);
  m_eType = pi->eGetErrorType();
  m_clError.Copy(pi->pclGetXError());
}

void CNAError::SetInfoNames(const wchar_t* pszTable, const wchar_t* pszItem) {
  g_SetInfoNames(&m_clError, pszTable, pszItem);
}

void CNAError::g_SetInfoNames(CXError* pclErr, const wchar_t* pszTable, const wchar_t* pszItem) {
  AddInfoNames(pclErr, pszTable, pszItem);
}

void CNAError::SetErrorLevel(eNAERRORLEVEL eLevel) {
  switch (eLevel) {
    case NAERRORLEVEL_NONE:
      // Clearing the wrapped error alone would keep the type, and the next
      // failure would become a sub-error of an empty main error.
      Reset();
      return;
    case NAERRORLEVEL_WARNING:
    case NAERRORLEVEL_ERROR:
      m_clError.SetErrorLevel(static_cast<eERRORLEVEL>(eLevel));
      return;
  }
}

CTString CNAError::StringDump() {
  return CTString(pszGetError());
}

// ---- (last) codes and messages ----------------------------------------------

CXError* CNAError::_pclGetLastXError() {
  const int nSub = m_clError.nGetNbSubError();
  if (nSub <= 0) return &m_clError;
  return m_clError.pclGetSubError(nSub - 1);
}

std::uint32_t CNAError::_dwGetLastInfo32(eERRORINFOTYPE eType) {
  CXError* pclLast = _pclGetLastXError();
  void* pValue = nullptr;
  if (pclLast == nullptr || !pclLast->bGetInfo(eType, &pValue)) return 0;
  // The 32-bit item is written into the first four bytes of the pointer.
  std::uint32_t dwValue = 0;
  std::memcpy(&dwValue, &pValue, sizeof dwValue);
  return dwValue;
}

void CNAError::SetDataBaseErrorMessage(const wchar_t* pszMessage) {
  if (CXError* pclLast = _pclGetLastXError()) pclLast->AddInfo(EIT_BASEMESSAGE, pszMessage);
}

void CNAError::SetDataBaseErrorCode(std::uint32_t dwCode) {
  if (CXError* pclLast = _pclGetLastXError()) pclLast->AddInfo(EIT_BASECODE, &dwCode);
}

std::uint32_t CNAError::dwGetDataBaseErrorCode() { return _dwGetLastInfo32(EIT_BASECODE); }

std::uint32_t CNAError::dwGetADOErrorCode() { return _dwGetLastInfo32(EIT_ADOCODE); }

void CNAError::SetSystemErrorCode(std::uint32_t dwCode) {
  CXError* pclLast = _pclGetLastXError();
  if (pclLast == nullptr) return;
  const wchar_t* pszMessage = pclLast->pszGetSystemErrorMessage();
  // The error's own message is kept as it is (same buffer: no change).
  pclLast->SetSystemError(dwCode, pszMessage[0] != 0 ? pszMessage : nullptr);
}

std::uint32_t CNAError::dwGetSystemErrorCode() {
  CXError* pclLast = _pclGetLastXError();
  return pclLast != nullptr ? pclLast->dwGetSystemErrorCode() : 0;
}

const wchar_t* CNAError::pszGetSystemErrorMessage() {
  CXError* pclLast = _pclGetLastXError();
  return pclLast != nullptr ? pclLast->pszGetSystemErrorMessage() : nullptr;
}

std::uint32_t CNAError::nGetUserErrorCode() {
  CXError* pclLast = _pclGetLastXError();
  return pclLast != nullptr ? pclLast->nGetUserErrorCode() : 0;
}

void CNAError::AddDebugMessageNoFormat(const wchar_t* pszText) {
  if (CXError* pclLast = _pclGetLastXError()) pclLast->AddDebugMessageNoFormat(pszText);
}

void CNAError::AddDebugMessageNoFormatFirst(const wchar_t* pszText) {
  if (pszText == nullptr || pszText[0] == 0) return;
  if (CXError* pclLast = _pclGetLastXError()) pclLast->AddDebugMessageFirst(pszText);
}

void CNAError::AddDebugMessage(unsigned int nId, ...) {
  CXError* pclLast = _pclGetLastXError();
  if (pclLast == nullptr) return;
  va_list args;
  va_start(args, nId);
  pclLast->AddDebugMessageList(&gstMyModuleInfo76, nId, args);
  va_end(args);
}

void CNAError::AddUserMessageNoFormat(const wchar_t* pszText) {
  if (CXError* pclLast = _pclGetLastXError()) pclLast->AddUserMessageNoFormat(pszText);
}

void CNAError::AddUserMessage(unsigned int nId, ...) {
  CXError* pclLast = _pclGetLastXError();
  if (pclLast == nullptr) return;
  va_list args;
  va_start(args, nId);
  pclLast->AddUserMessageList(&gstMyModuleInfo76, nId, args);
  va_end(args);
}

void CNAError::AddUserMessageFirst(unsigned int nId, ...) {
  CXError* pclLast = _pclGetLastXError();
  if (pclLast == nullptr) return;
  va_list args;
  va_start(args, nId);
  pclLast->AddUserMessageListFirst(&gstMyModuleInfo76, nId, args);
  va_end(args);
}

void CNAError::AddDebugInfo(int a, int b) { g_AddDebugInfo(_pclGetLastXError(), a, b); }

void CNAError::g_AddDebugInfo(CXError* pclErr, int a, int b) {
  AddInternalErrorLocation(pclErr, a, b);
}

void CNAError::g_AddInfoNative(CXError* pclErr, CNAConnectionDescription* pclCnx) {
  if (pclErr == nullptr || pclCnx == nullptr) return;
  if (auto* pclModule = dynamic_cast<_CXErrorModule76*>(pclErr)) {
    pclCnx->AddInfoNativeXError(pclModule);
    return;
  }
  // An error of another class (a sub-error, a caller's own): the connection
  // writes into an error of this library's module, whose content then goes
  // back to it.
  _CXErrorModule76 clModule;
  clModule.LightCopy(pclErr);
  pclCnx->AddInfoNativeXError(&clModule);
  pclErr->LightCopy(&clModule);
}

// ---- Adding operations -------------------------------------------------------

void CNAError::_AppendSubError(const CXError& clErr) {
  // The sub-error shows under its own heading; the main error's user
  // message stays the first failure's.
  m_clError.AddSubErrorNoUserMessage(&clErr);
}

void CNAError::AddSubError(const CXError* pclErr) {
  if (pclErr == nullptr || pclErr->eGetErrorLevel() == ERRORLEVEL_NONE) return;
  _AppendSubError(*pclErr);
}

void CNAError::AddError(eNA_ERRORTYPE eType, const CXError* pclErr,
                        CNAConnectionDescription* pclCnx) {
  // Nothing to record: a type set over an empty error would read as "no
  // error" while blocking the next failure's main place.
  if (pclErr == nullptr) return;
  if (_bHasType()) {
    _AppendSubError(*pclErr);
    return;
  }
  m_eType = eType;
  m_clError.Copy(pclErr);
  if (!m_bNoDetail) g_AddInfoNative(&m_clError, pclCnx);
}

void CNAError::_SetError(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                         unsigned int nId, va_list args) {
  m_eType = eType;
  m_clError.SetUserErrorList(&gstMyModuleInfo76, nId, args);
  if (m_bNoDetail) return;
  g_AddDebugInfo(&m_clError, a, b);
  g_AddInfoNative(&m_clError, pclCnx);
}

void CNAError::_AddErrorList(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                             unsigned int nId, va_list args) {
  if (!_bHasType()) {
    _SetError(eType, a, b, pclCnx, nId, args);
    return;
  }
  _CXErrorModule76 clSub;
  clSub.SetUserErrorList(&gstMyModuleInfo76, nId, args);
  if (!m_bNoDetail) g_AddDebugInfo(&clSub, a, b);
  _AppendSubError(clSub);
}

void CNAError::AddError(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                        unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  _AddErrorList(eType, a, b, pclCnx, nId, args);
  va_end(args);
}

void CNAError::AddError(eNA_ERRORTYPE eType, unsigned int nId, int a, int b,
                        CNAConnectionDescription* pclCnx) {
  AddError(eType, a, b, pclCnx, nId);
}

void CNAError::AddErrorFirst(eNA_ERRORTYPE eType, int a, int b, CNAConnectionDescription* pclCnx,
                             unsigned int nId, ...) {
  va_list args;
  va_start(args, nId);
  if (!_bHasType()) {
    _SetError(eType, a, b, pclCnx, nId, args);
    va_end(args);
    return;
  }
  m_eType = eType;
  // The former main error, with its sub-errors, moves out whole; the
  // wrapped error is left empty for the new one.
  _CXErrorModule76 clFormer;
  clFormer.LightCopy(&m_clError);
  m_clError.SetUserErrorList(&gstMyModuleInfo76, nId, args);
  va_end(args);
  if (!m_bNoDetail) g_AddDebugInfo(&m_clError, a, b);
  m_clError.AddSubErrorLightNoUserMessage(&clFormer);
}

void CNAError::_SetDataBaseErrorXError(CXError* pclErr, CNAConnectionDescription* pclCnx,
                                       unsigned int nId, unsigned int nCode,
                                       const wchar_t* pszMessage, const wchar_t* pszTable,
                                       const wchar_t* pszItem) {
  const wchar_t* pszDataBase = pclCnx != nullptr ? pclCnx->pszGetDataBase() : nullptr;
  pclErr->SetUserError(&gstMyModuleInfo76, nId, pszDataBase != nullptr ? pszDataBase : L"",
                       nCode);
  if (pszMessage != nullptr && pszMessage[0] != 0) {
    pclErr->AddUserMessageNoFormat(pszMessage);
    pclErr->SetSystemErrorMessage(pszMessage);
  }
  if (nCode != 0) {
    const std::uint32_t dwCode = nCode;
    pclErr->AddInfo(EIT_BASECODE, &dwCode);
  }
  g_SetInfoNames(pclErr, pszTable, pszItem);
}

void CNAError::_SetDataBaseError(eNA_ERRORTYPE eType, CNAConnectionDescription* pclCnx,
                                 unsigned int nId, unsigned int nCode, const wchar_t* pszMessage,
                                 const wchar_t* pszTable, const wchar_t* pszItem) {
  if (!_bHasType()) {
    m_eType = eType;
    _SetDataBaseErrorXError(&m_clError, pclCnx, nId, nCode, pszMessage, pszTable, pszItem);
    if (!m_bNoDetail) g_AddInfoNative(&m_clError, pclCnx);
    return;
  }
  _CXErrorModule76 clSub;
  _SetDataBaseErrorXError(&clSub, pclCnx, nId, nCode, pszMessage, pszTable, pszItem);
  _AppendSubError(clSub);
}

void CNAError::SetAnyError(int nKind, int p1, int p2, int a, int b,
                           CNAConnectionDescription* pclCnx, const wchar_t* pszTable,
                           const wchar_t* pszItem) {
  if (!bIsAnyErrorKind(nKind)) nKind = knAnyErrorConversion;
  if (!_bHasType()) {
    m_eType = NA_ERRORTYPE_GENERIC;
    m_clError.SetAnyError(&gstMyModuleInfo76, nKind, p1, p2);
    if (m_bNoDetail) return;
    g_SetInfoNames(&m_clError, pszTable, pszItem);
    g_AddDebugInfo(&m_clError, a, b);
    g_AddInfoNative(&m_clError, pclCnx);
    return;
  }
  _CXErrorModule76 clSub;
  clSub.SetAnyError(&gstMyModuleInfo76, nKind, p1, p2);
  g_SetInfoNames(&clSub, pszTable, pszItem);
  if (!m_bNoDetail) g_AddDebugInfo(&clSub, a, b);
  _AppendSubError(clSub);
}
