// CXError: the typed information items.
#include <cstring>

#include "CXError.h"

namespace {

// How the value of each item type is kept.
enum eINFOKIND { IK_NONE, IK_STRING, IK_INT32, IK_INT64, IK_OBJECT, IK_EXCEPTION, IK_PLAIN };

eINFOKIND eKindOf(std::uint32_t nType) {
  switch (nType) {
    case EIT_RECNUM:
    case EIT_HLOCKTIME:
      return IK_INT64;
    case EIT_BASECODE:
    case EIT_NATIVECODE:
    case EIT_ADOCODE:
    case EIT_XINFO:
    case EIT_HCNXID:
      return IK_INT32;
    case EIT_DATAACCESS:
      return IK_OBJECT;
    case EIT_EXCEPTIONDOTNET:
      return IK_EXCEPTION;
    case EIT_PLAINPOINTER:
      return IK_PLAIN;
    default:
      break;
  }
  if (nType >= 1 && nType <= 39 && nType != 34 && nType != 35) return IK_STRING;
  return IK_NONE;
}

}  // namespace

int CXError::_nFindInfo(std::uint32_t nType) const {
  for (int i = 0; i < m_tabInfo.nGetNbElements(); ++i) {
    if (m_tabInfo[i].nType == nType) return i;
  }
  return -1;
}

void CXError::_ReleaseValue(_stERRORINFO& st) {
  switch (eKindOf(st.nType)) {
    case IK_STRING:
      __vDeleteString(&st.pszValue);
      break;
    case IK_OBJECT:
      if (st.pclObject != nullptr) st.pclObject->dwRelease();
      break;
    case IK_EXCEPTION:
      if (st.piException != nullptr) st.piException->vnRelease();
      break;
    default:
      break;
  }
  st.llValue = 0;
}

void CXError::_FreeInfos() {
  // The array is emptied first: a released object must not find it half
  // freed.
  CTTableau<_stERRORINFO> tabOld(4);
  tabOld.Recupere(m_tabInfo);
  for (int i = 0; i < tabOld.nGetNbElements(); ++i) _ReleaseValue(tabOld[i]);
}

void CXError::AddInfo(eERRORINFOTYPE eType, const void* pValue) {
  const eINFOKIND eKind = eKindOf(eType);
  if (pValue == nullptr || eKind == IK_NONE) return;
  const int i = _nFindInfo(eType);
  if (eKind == IK_OBJECT && i >= 0 && m_tabInfo[i].pValue == pValue) return;

  // The new value is taken before the old one is released: they may be the
  // same string or object.
  _stERRORINFO st;
  st.nType = eType;
  st.llValue = 0;
  switch (eKind) {
    case IK_STRING:
      if (__vpszAllocString(&st.pszValue, static_cast<const wchar_t*>(pValue)) == nullptr) return;
      break;
    case IK_INT32:
      std::memcpy(&st.nValue, pValue, sizeof(st.nValue));
      break;
    case IK_INT64:
      std::memcpy(&st.llValue, pValue, sizeof(st.llValue));
      break;
    case IK_OBJECT:
      st.pclObject = static_cast<CKXUnknown*>(const_cast<void*>(pValue));
      st.pclObject->dwAddRef();
      break;
    case IK_EXCEPTION:
      st.piException = static_cast<IExceptionDotNet*>(const_cast<void*>(pValue));
      st.piException->vnAddRef();
      break;
    default:
      st.pValue = const_cast<void*>(pValue);
      break;
  }

  if (i >= 0) {
    _stERRORINFO stOld = m_tabInfo[i];
    m_tabInfo.SetAt(st, i);
    _ReleaseValue(stOld);
  } else if (m_tabInfo.Ajoute(st) < 0) {
    _ReleaseValue(st);
  }
}

void CXError::DeleteInfo(eERRORINFOTYPE eType) {
  const int i = _nFindInfo(eType);
  if (i < 0) return;
  _stERRORINFO st = m_tabInfo[i];
  m_tabInfo.Supprime(i, 1);
  _ReleaseValue(st);
}

bool CXError::bHasInfo(eERRORINFOTYPE eType) const { return _nFindInfo(eType) >= 0; }

int CXError::nNumInfo() const { return m_tabInfo.nGetNbElements(); }

namespace {

// Writes a stored value the way bGetInfo and GetInfo hand it out.
void GiveValue(const CXError::_stERRORINFO& st, void** ppValue) {
  if (ppValue == nullptr) return;
  switch (eKindOf(st.nType)) {
    case IK_INT32:
      std::memcpy(ppValue, &st.nValue, sizeof(st.nValue));
      break;
    case IK_INT64:
      if (*ppValue != nullptr) std::memcpy(*ppValue, &st.llValue, sizeof(st.llValue));
      break;
    default:
      *ppValue = st.pValue;
      break;
  }
}

}  // namespace

bool CXError::bGetInfo(eERRORINFOTYPE eType, void** ppValue) const {
  const int i = _nFindInfo(eType);
  if (i < 0) return false;
  GiveValue(m_tabInfo[i], ppValue);
  return true;
}

void CXError::GetInfo(int i, eERRORINFOTYPE* peType, void** ppValue) const {
  eERRORINFOTYPE eType = EIT_NONE;
  if (i >= 0 && i < m_tabInfo.nGetNbElements() && eKindOf(m_tabInfo[i].nType) != IK_NONE) {
    eType = static_cast<eERRORINFOTYPE>(m_tabInfo[i].nType);
    GiveValue(m_tabInfo[i], ppValue);
  }
  if (peType != nullptr) *peType = eType;
}

void CXError::__SetXInfo(std::uint32_t dwFlag, int bOn) {
  std::uint32_t dwFlags = 0;
  void* pValue = nullptr;
  if (bGetInfo(EIT_XINFO, &pValue)) std::memcpy(&dwFlags, &pValue, sizeof(dwFlags));
  dwFlags = bOn ? dwFlags | dwFlag : dwFlags & ~dwFlag;
  AddInfo(EIT_XINFO, &dwFlags);
}

bool CXError::__bGetXInfo(std::uint32_t dwFlag) const {
  void* pValue = nullptr;
  if (!bGetInfo(EIT_XINFO, &pValue)) return false;
  std::uint32_t dwFlags = 0;
  std::memcpy(&dwFlags, &pValue, sizeof(dwFlags));
  return (dwFlags & dwFlag) != 0;
}
