#include "CMemBucket.h"

#include <cstring>
#include <new>

#include "CMemBTree.h"

const CMemBucket::SSizeThreshold CMemBucket::mg_stTabSizeThreshold[7] = {
    {0, 2}, {1, 4}, {2, 8}, {6, 16}, {9, 32}, {18, 64}, {56, 0}};

namespace {
// The largest vector class; one value more makes a tree.
constexpr int kLastVectorClass = 5;
}  // namespace

std::uint64_t CMemBucket::nObjectSize(int nClass, std::uint64_t nValueSize) {
  if (nClass == kTreeClass) return kTreeOffset + sizeof(CMemBTree);
  return mg_stTabSizeThreshold[nClass].nCapacity * nValueSize + kValuesOffset;
}

std::uint32_t CMemBucket::nGetCount() const {
  return bIsTree() ? pTree()->nGetNumRecord() : static_cast<std::uint32_t>(m_nCount);
}

const CMemBTree* CMemBucket::pTree() const {
  return reinterpret_cast<const CMemBTree*>(reinterpret_cast<const unsigned char*>(this) + kTreeOffset);
}

CMemBTree* CMemBucket::pTree() {
  return reinterpret_cast<CMemBTree*>(reinterpret_cast<unsigned char*>(this) + kTreeOffset);
}

CMemBucket* CMemBucket::_pclAlloc(CMemBTree& owner, int nClass) {
  CMemBucket* p = owner.m_tabBucketPools[nClass].pAlloc();
  if (p == nullptr) return nullptr;
  p->m_nClass = static_cast<std::int16_t>(nClass);
  p->m_nCount = 0;
  return p;
}

void CMemBucket::Destroy(CMemBTree& owner, CMemBucket* pBucket) {
  if (pBucket == nullptr) return;
  const int nClass = pBucket->m_nClass;
  if (nClass == kTreeClass) pBucket->pTree()->~CMemBTree();
  owner.m_tabBucketPools[nClass].Free(pBucket);
}

CMemBucket* CMemBucket::pclCreatePair(CMemBTree& owner, const void* pFirst, const void* pSecond) {
  CMemBucket* p = _pclAlloc(owner, 0);
  if (p == nullptr) return nullptr;
  const std::uint64_t vs = owner.m_nValueSize;
  const bool bSwap = owner._nCompareValue(pFirst, pSecond) > 0;
  std::memcpy(p->pValue(vs, 0), bSwap ? pSecond : pFirst, vs);
  std::memcpy(p->pValue(vs, 1), bSwap ? pFirst : pSecond, vs);
  p->m_nCount = 2;
  return p;
}

CMemBucket* CMemBucket::_pclCreateTree(CMemBTree& owner, const unsigned char* pValues, std::uint32_t nCount,
                                       const void* pExtra) {
  CMemBucket* p = _pclAlloc(owner, kTreeClass);
  if (p == nullptr) return nullptr;
  CMemBTree* pTree = new (p->pTree()) CMemBTree();
  bool bOk = pTree->bInit(owner.m_nValueSize, 0, owner.m_pfnValueCompare, nullptr, owner.m_nMaxKeys) &&
             pTree->bLoadBulk(pValues, nullptr, nCount) && (pExtra == nullptr || pTree->bInsert(pExtra, nullptr));
  if (!bOk) {
    pTree->~CMemBTree();
    owner.m_tabBucketPools[kTreeClass].Free(p);
    return nullptr;
  }
  p->m_nCount = -1;  // 0xFFFF: the count is the tree's
  return p;
}

CMemBucket* CMemBucket::pclCreateSorted(CMemBTree& owner, const unsigned char* pValues, std::uint32_t nCount) {
  for (int c = 0; c <= kLastVectorClass; ++c) {
    if (nCount > mg_stTabSizeThreshold[c].nCapacity) continue;
    CMemBucket* p = _pclAlloc(owner, c);
    if (p == nullptr) return nullptr;
    std::memcpy(p->pValue(owner.m_nValueSize, 0), pValues, nCount * owner.m_nValueSize);
    p->m_nCount = static_cast<std::int16_t>(nCount);
    return p;
  }
  return _pclCreateTree(owner, pValues, nCount, nullptr);
}

std::uint32_t CMemBucket::nLowerBound(const CMemBTree& owner, const void* pValue, bool& bEqual) const {
  const std::uint64_t vs = owner.m_nValueSize;
  std::int32_t lo = 0, hi = m_nCount - 1;
  bEqual = false;
  while (lo <= hi) {
    const std::int32_t mid = (lo + hi) / 2;
    const int c = owner._nCompareValue(pValue, this->pValue(vs, static_cast<std::uint32_t>(mid)));
    if (c == 0) {
      bEqual = true;
      return static_cast<std::uint32_t>(mid);
    }
    if (c < 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return static_cast<std::uint32_t>(lo);
}

bool CMemBucket::bInsert(CMemBTree& owner, CMemBucket*& rpBucket, const void* pValue) {
  CMemBucket* p = rpBucket;
  if (p->bIsTree()) return p->pTree()->bInsert(pValue, nullptr);
  const std::uint64_t vs = owner.m_nValueSize;
  bool bEqual;
  const std::uint32_t nPos = p->nLowerBound(owner, pValue, bEqual);
  if (bEqual) return false;
  const std::uint32_t n = static_cast<std::uint32_t>(p->m_nCount);
  const int nClass = p->m_nClass;
  if (n < mg_stTabSizeThreshold[nClass].nCapacity) {
    std::memmove(p->pValue(vs, nPos + 1), p->pValue(vs, nPos), (n - nPos) * vs);
    std::memcpy(p->pValue(vs, nPos), pValue, vs);
    ++p->m_nCount;
    return true;
  }
  CMemBucket* pNew;
  if (nClass == kLastVectorClass) {
    pNew = _pclCreateTree(owner, p->pValue(vs, 0), n, pValue);
    if (pNew == nullptr) return false;
  } else {
    pNew = _pclAlloc(owner, nClass + 1);
    if (pNew == nullptr) return false;
    std::memcpy(pNew->pValue(vs, 0), p->pValue(vs, 0), nPos * vs);
    std::memcpy(pNew->pValue(vs, nPos), pValue, vs);
    std::memcpy(pNew->pValue(vs, nPos + 1), p->pValue(vs, nPos), (n - nPos) * vs);
    pNew->m_nCount = static_cast<std::int16_t>(n + 1);
  }
  Destroy(owner, p);
  rpBucket = pNew;
  return true;
}

bool CMemBucket::bDelete(CMemBTree& owner, CMemBucket*& rpBucket, const void* pValue) {
  CMemBucket* p = rpBucket;
  const std::uint64_t vs = owner.m_nValueSize;
  if (p->bIsTree()) {
    CMemBTree* pTree = p->pTree();
    if (!pTree->bDelete(pValue, nullptr)) return false;
    const std::uint32_t r = pTree->nGetNumRecord();
    if (r >= mg_stTabSizeThreshold[kTreeClass].nShrinkBound) return true;
    int c = 0;
    // The highest class that holds r and whose shrink bound is below it.
    for (int k = kLastVectorClass; k >= 0; --k) {
      if (mg_stTabSizeThreshold[k].nCapacity >= r && mg_stTabSizeThreshold[k].nShrinkBound < r) {
        c = k;
        break;
      }
    }
    CMemBucket* pNew = _pclAlloc(owner, c);
    if (pNew == nullptr) return true;  // stays a tree, still sound
    std::uint32_t i = 0;
    pTree->GotoFirstRecord();
    for (const void* pKey = pTree->pReadKey(); pKey != nullptr && i < r; pKey = pTree->pReadKey()) {
      std::memcpy(pNew->pValue(vs, i++), pKey, vs);
      std::int64_t nMoved;
      if (!pTree->bAdvance(1, nMoved, CMemBTree::ADVANCE_END_OK)) break;
    }
    pNew->m_nCount = static_cast<std::int16_t>(i);
    Destroy(owner, p);
    rpBucket = pNew;
    return true;
  }
  bool bEqual;
  const std::uint32_t nPos = p->nLowerBound(owner, pValue, bEqual);
  if (!bEqual) return false;
  const std::uint32_t n = static_cast<std::uint32_t>(p->m_nCount);
  const std::uint32_t r = n - 1;
  const int nClass = p->m_nClass;
  // One value left goes back inline (the tree's part); the bucket only closes up.
  if (r >= 2 && nClass > 0 && r <= mg_stTabSizeThreshold[nClass].nShrinkBound) {
    CMemBucket* pNew = _pclAlloc(owner, nClass - 1);
    if (pNew != nullptr) {
      std::memcpy(pNew->pValue(vs, 0), p->pValue(vs, 0), nPos * vs);
      std::memcpy(pNew->pValue(vs, nPos), p->pValue(vs, nPos + 1), (n - nPos - 1) * vs);
      pNew->m_nCount = static_cast<std::int16_t>(r);
      Destroy(owner, p);
      rpBucket = pNew;
      return true;
    }
  }
  std::memmove(p->pValue(vs, nPos), p->pValue(vs, nPos + 1), (n - nPos - 1) * vs);
  p->m_nCount = static_cast<std::int16_t>(r);
  return true;
}
