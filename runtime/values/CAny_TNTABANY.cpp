// Handler family of the tables of values: TABANY (83).
//
// The value area holds the array pointer (offset 0) and the element count
// (offset 8), read and written with memcpy. The value owns the array (a
// block of XMALLOC_pNew_, freed with XMALLOC_Del_) and every element in it;
// elements are constructed in place and copied with the copy pattern of
// CAny (copy assignment), so each owns what its own type says. No array
// means count 0.
#include <cstring>
#include <new>

#include "AnyHandlers.h"
#include "XMalloc.h"

namespace {

constexpr std::size_t knCountOffset = sizeof(CAny*);

CAny* Array(const CAny_Intern* h) { return h->tGet<CAny*>(); }
std::size_t nCount(const CAny_Intern* h) { return h->tGet<std::size_t>(knCountOffset); }
void Put(CAny_Intern* h, CAny* pTab, std::size_t n) {
  h->Put<CAny*>(pTab);
  h->Put<std::size_t>(n, knCountOffset);
}

// Releases every element, then frees the array.
void FreeArray(CAny* pTab, std::size_t n) {
  if (pTab == nullptr) return;
  for (std::size_t i = 0; i < n; ++i) pTab[i].~CAny();
  XMALLOC_Del_(pTab);
}

// A new array of n elements copied from pSource; null when n is 0 or the
// memory is refused (*pbRefused then tells which).
CAny* pCopyArray(const CAny* pSource, std::size_t n, bool* pbRefused) {
  *pbRefused = false;
  if (pSource == nullptr || n == 0) return nullptr;
  if (n > static_cast<std::size_t>(-1) / sizeof(CAny)) {
    *pbRefused = true;
    return nullptr;
  }
  void* pBlock = XMALLOC_pNew_(n * sizeof(CAny));
  if (pBlock == nullptr) {
    *pbRefused = true;
    return nullptr;
  }
  CAny* pTab = static_cast<CAny*>(pBlock);
  for (std::size_t i = 0; i < n; ++i) new (&pTab[i]) CAny();
  for (std::size_t i = 0; i < n; ++i) pTab[i] = pSource[i];
  return pTab;
}

// The new array is complete before the old one goes: the source may be an
// element of it. A refused allocation keeps the former table.
void SetCopy(CAny_Intern* h, const CAny* pSource, std::size_t n) {
  bool bRefused;
  CAny* pNew = pCopyArray(pSource, n, &bRefused);
  if (bRefused) return;
  CAny* pOld = Array(h);
  const std::size_t nOld = nCount(h);
  Put(h, pNew, pNew != nullptr ? n : 0);
  FreeArray(pOld, nOld);
}

void Release(CAny_Intern* h) {
  CAny* pTab = Array(h);
  const std::size_t n = nCount(h);
  Put(h, nullptr, 0);
  FreeArray(pTab, n);
  AnyBase::Release(h);
}

void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  // The copy is made before the target changes type, in case the target
  // holds this value in its own table.
  bool bRefused;
  CAny* pCopy = pCopyArray(Array(h), nCount(h), &bRefused);
  if (bRefused) return;
  pTarget->__SetType(ANY_TABANY, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  CAny* pOld = Array(t);
  const std::size_t nOld = nCount(t);
  Put(t, pCopy, pCopy != nullptr ? nCount(h) : 0);
  FreeArray(pOld, nOld);
  AnyBase::CopyFlags(h, pTarget);
}

// The array pointer (the array stays the value's).
int nFillBuffer(CAny_Intern* h, void* out) {
  CAny* p = Array(h);
  std::memcpy(out, &p, sizeof p);
  return ANY_OK;
}

int nGetDataSize(CAny_Intern* h, std::size_t* pn) {
  *pn = nCount(h);
  return ANY_OK;
}

int nGetDataAdr(CAny_Intern* h, void** pp) {
  *pp = Array(h);
  return ANY_OK;
}

int nFillDataBuffer(CAny_Intern*, void*) { return ANY_ERR_IMPOSSIBLE; }

// p is one value: a table of one copy of it.
void SetValue(CAny_Intern* h, const void* p) {
  if (p == nullptr) return;
  SetCopy(h, static_cast<const CAny*>(p), 1);
}

// p is an array of n values: a table of copies of them.
void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  SetCopy(h, static_cast<const CAny*>(p), n);
}

const STAnyTable kstTABANY = {
    Release,          Release,           Duplique,             AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, nFillBuffer,       nGetDataSize,         nGetDataAdr,
    nFillDataBuffer,  SetValue,          SetValueLen,          AnyBase::nGetPCASTR,
    AnyBase::nGetPCWSTR, AnyBase::nGetSTRLEN, AnyBase::bIsPositive, nGetDataSize,
    nFillDataBuffer,  AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,
    AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,
    AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,
    AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,
    nullptr,          nullptr,           nullptr,
};

void Init(CAny_Intern* h, unsigned short) { Put(h, nullptr, 0); }

}  // namespace

const STAnyFamily CAny_TNTABANY::ms_stFamily = {&kstTABANY, &Init};

void CAny_TNTABANY::s_SetDirect(CAny* pAny, const STTabAny& st) {
  if (pAny == nullptr) return;
  CAny_Intern* h = &pAny->m_clIntern;
  // The value's own array given back (a NULL table among others) must not
  // be freed by the change of type.
  const bool bOwnArray = pAny->nGetTypeCode() == ANY_TABANY && Array(h) == st.pclFirst;
  if (!bOwnArray) pAny->__SetType(ANY_TABANY, 0);
  CAny* pOld = Array(h);
  const std::size_t nOld = nCount(h);
  Put(h, st.pclFirst, st.pclFirst != nullptr ? st.nCount : 0);
  if (pOld != st.pclFirst) FreeArray(pOld, nOld);
  pAny->ClearFlags();
}
