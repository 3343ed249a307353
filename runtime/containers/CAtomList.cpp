#include "CAtomList.h"

#include <cwchar>

#include "StrFunctions.h"
#include "XMalloc.h"

unsigned int CAtom::gnId = 1;

namespace {

CAtomList g_clAtomList;

}  // namespace

CAtomList::~CAtomList() {
  while (m_pclFirst != nullptr) {
    CAtom* pclNext = m_pclFirst->pclNext;
    XMALLOC_Del_(m_pclFirst->pszName);
    XMALLOC_Del_(m_pclFirst);
    m_pclFirst = pclNext;
  }
}

CAtomList& CAtomList::gclGet() { return g_clAtomList; }

CAtom* CAtomList::pclFindName(const wchar_t* name) const {
  for (CAtom* pcl = m_pclFirst; pcl != nullptr; pcl = pcl->pclNext)
    if (STR_nCompareW(pcl->pszName, name, STR_FLAG_UPPER) == 0) return pcl;
  return nullptr;
}

ATOM CAtomList::nAdd(const wchar_t* name) {
  if (name == nullptr) return 0;
  if (CAtom* pcl = pclFindName(name)) {
    ++pcl->nRefCount;
    return pcl->nNumber;
  }
  if (CAtom::gnId > 0xFFFF) return 0;
  auto* pclNew = static_cast<CAtom*>(XMALLOC_pNew_(sizeof(CAtom)));
  if (pclNew == nullptr) return 0;
  pclNew->pszName = STR_pszCreateW(name);
  if (pclNew->pszName == nullptr) {
    XMALLOC_Del_(pclNew);
    return 0;
  }
  pclNew->pclNext = nullptr;
  pclNew->nRefCount = 1;
  pclNew->nNumber = static_cast<ATOM>(CAtom::gnId++);
  CAtom** ppclLast = &m_pclFirst;
  while (*ppclLast != nullptr) ppclLast = &(*ppclLast)->pclNext;
  *ppclLast = pclNew;
  return pclNew->nNumber;
}

ATOM CAtomList::nFind(const wchar_t* name) const {
  if (name == nullptr) return 0;
  const CAtom* pcl = pclFindName(name);
  return pcl != nullptr ? pcl->nNumber : 0;
}

unsigned int CAtomList::nGetName(ATOM number, wchar_t* buf, int size) const {
  if (buf == nullptr || size < 1 || number == 0) return 0;
  for (const CAtom* pcl = m_pclFirst; pcl != nullptr; pcl = pcl->pclNext) {
    if (pcl->nNumber != number) continue;
    std::size_t n = std::wcslen(pcl->pszName);
    if (n > static_cast<std::size_t>(size) - 1) n = static_cast<std::size_t>(size) - 1;
    std::wmemcpy(buf, pcl->pszName, n);
    buf[n] = 0;
    return static_cast<unsigned int>(n);
  }
  return 0;
}

ATOM CAtomList::nDelete(ATOM number) {
  if (number == 0) return number;
  for (CAtom** ppcl = &m_pclFirst; *ppcl != nullptr; ppcl = &(*ppcl)->pclNext) {
    CAtom* pcl = *ppcl;
    if (pcl->nNumber != number) continue;
    if (--pcl->nRefCount == 0) {
      *ppcl = pcl->pclNext;
      XMALLOC_Del_(pcl->pszName);
      XMALLOC_Del_(pcl);
    }
    return 0;
  }
  return number;
}

ATOM AddAtom(const wchar_t* name) { return CAtomList::gclGet().nAdd(name); }

ATOM FindAtom(const wchar_t* name) { return CAtomList::gclGet().nFind(name); }

unsigned int GetAtomName(ATOM number, wchar_t* buf, int size) {
  return CAtomList::gclGet().nGetName(number, buf, size);
}

ATOM DeleteAtom(ATOM number) { return CAtomList::gclGet().nDelete(number); }
