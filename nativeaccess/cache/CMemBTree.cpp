#include "CMemBTree.h"

#include <cstring>
#include <new>

#include "CMemBucket.h"
#include "XMalloc.h"

static_assert(sizeof(CMemIndexNode) == 12, "inner node header: kind, key count, record count");
static_assert(sizeof(CMemDataNode) == 32, "leaf header: kind, neighbours, key count, record count");

namespace {

// Deeper than any tree of 2^32 records can grow: every inner node below the
// root has at least two children.
constexpr int kMaxDepth = 64;

int MemCompare(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n); }

void* pLoadPtr(const void* p) {
  void* v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void StorePtr(void* p, const void* v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

// The inner nodes met on the way down, with the child taken in each.
struct CMemBTree::SPath {
  CMemIndexNode* pNode[kMaxDepth];
  std::uint32_t nChild[kMaxDepth];
  int nDepth = 0;
};

// Where the iterator stood before a change: undefined, at the end, or on a
// record whose key and value are copied into the tree's save buffer.
struct CMemBTree::SSavedPosition {
  enum { UNDEFINED, END, RECORD } eState = UNDEFINED;
};

CMemBTree::CMemBTree() { m_clIterator.m_pclTree = this; }

CMemBTree::~CMemBTree() {
  _FreeAll();
  XMALLOC_Del_(m_pSaveBuffer);
}

CMemBTree* CMemBTree::pclCreate(std::uint64_t nKeySize, std::uint64_t nValueSize, PFNMEMCOMPARE pfnKeyCompare,
                                PFNMEMCOMPARE pfnValueCompare, std::int32_t nMaximum) {
  auto* pTree = new (std::nothrow) CMemBTree();
  if (pTree == nullptr) return nullptr;
  if (!pTree->bInit(nKeySize, nValueSize, pfnKeyCompare, pfnValueCompare, nMaximum)) {
    delete pTree;
    return nullptr;
  }
  return pTree;
}

bool CMemBTree::bInit(std::uint64_t nKeySize, std::uint64_t nValueSize, PFNMEMCOMPARE pfnKeyCompare,
                      PFNMEMCOMPARE pfnValueCompare, std::int32_t nMaximum) {
  _FreeAll();
  XMALLOC_Del_(m_pSaveBuffer);
  m_pSaveBuffer = nullptr;
  m_nKeySize = 0;  // unusable until every step below succeeded
  // With a maximum of 1 a split would leave a node holding two keys.
  if (nKeySize == 0 || nMaximum < 0 || nMaximum == 1) return false;
  const std::uint64_t nMax = nMaximum == 0 ? 32 : static_cast<std::uint64_t>(nMaximum);
  const std::uint64_t nSlot = nValueSize == 0 ? 0 : (nValueSize < 8 ? 8 : nValueSize);
  m_pSaveBuffer = static_cast<unsigned char*>(XMALLOC_pNew_(nKeySize + nValueSize));
  if (m_pSaveBuffer == nullptr) return false;
  m_nMaxKeys = static_cast<std::int32_t>(nMax);
  m_nMinKeys = m_nMaxKeys / 2;
  m_pfnKeyCompare = pfnKeyCompare != nullptr ? pfnKeyCompare : MemCompare;
  m_pfnValueCompare = pfnValueCompare != nullptr ? pfnValueCompare : MemCompare;
  m_nValueSize = nValueSize;
  m_nSlotSize = nSlot;
  m_nInnerChildOffset = sizeof(CMemIndexNode) + nMax * nKeySize;
  m_nLeafSlotOffset = sizeof(CMemDataNode) + nMax * nKeySize;
  m_nLeafBitsOffset = m_nLeafSlotOffset + nMax * nSlot;
  m_clIndexPool.Init(nKeySize * nMax + (nMax + 1) * 8 + 12);
  m_clDataPool.Init(nValueSize != 0 ? (nSlot + nKeySize) * nMax + ((nMax - 1) / 32 + 1) * 4 + 32 : nKeySize * nMax + 32);
  for (int c = 0; c < kBucketClasses; ++c)
    m_tabBucketPools[c].Init(nValueSize != 0 ? CMemBucket::nObjectSize(c, nValueSize) : 0);
  m_nKeySize = nKeySize;
  return true;
}

std::uint64_t CMemBTree::nGetLiveBuckets() const {
  std::uint64_t n = 0;
  for (const auto& pool : m_tabBucketPools) n += pool.nGetLiveCount();
  return n;
}

// ---------------------------------------------------------------------------
// Node access

void* CMemBTree::_IChild(const CMemIndexNode* p, std::uint32_t i) const {
  return pLoadPtr(reinterpret_cast<const unsigned char*>(p) + m_nInnerChildOffset + i * 8);
}

void CMemBTree::_SetIChild(CMemIndexNode* p, std::uint32_t i, const void* pChild) const {
  StorePtr(reinterpret_cast<unsigned char*>(p) + m_nInnerChildOffset + i * 8, pChild);
}

bool CMemBTree::_bIsBucket(const CMemDataNode* p, std::uint32_t i) const {
  if (m_nSlotSize == 0) return false;
  std::uint32_t w;
  std::memcpy(&w, reinterpret_cast<const unsigned char*>(p) + m_nLeafBitsOffset + (i / 32) * 4, 4);
  return ((w >> (i % 32)) & 1u) != 0;
}

void CMemBTree::_SetBucketBit(CMemDataNode* p, std::uint32_t i, bool bSet) const {
  if (m_nSlotSize == 0) return;
  unsigned char* pw = reinterpret_cast<unsigned char*>(p) + m_nLeafBitsOffset + (i / 32) * 4;
  std::uint32_t w;
  std::memcpy(&w, pw, 4);
  if (bSet)
    w |= 1u << (i % 32);
  else
    w &= ~(1u << (i % 32));
  std::memcpy(pw, &w, 4);
}

CMemBucket* CMemBTree::_pBucket(CMemDataNode* p, std::uint32_t i) const {
  return static_cast<CMemBucket*>(pLoadPtr(_LSlot(p, i)));
}

void CMemBTree::_SetBucket(CMemDataNode* p, std::uint32_t i, CMemBucket* pBucket) const {
  StorePtr(_LSlot(p, i), pBucket);
}

std::uint32_t CMemBTree::_nDup(CMemDataNode* p, std::uint32_t i) const {
  return _bIsBucket(p, i) ? _pBucket(p, i)->nGetCount() : 1;
}

std::uint32_t CMemBTree::_nRecords(const void* pNode) {
  if (nNodeKind(pNode) == NODE_LEAF) return static_cast<const CMemDataNode*>(pNode)->m_nRecordCount;
  return static_cast<const CMemIndexNode*>(pNode)->m_nRecordCount;
}

const unsigned char* CMemBTree::_pFirstKey(const void* pNode) const {
  while (nNodeKind(pNode) != NODE_LEAF) pNode = _IChild(static_cast<const CMemIndexNode*>(pNode), 0);
  return _LKey(static_cast<CMemDataNode*>(const_cast<void*>(pNode)), 0);
}

CMemDataNode* CMemBTree::_pFirstLeaf() const {
  if (m_pRoot == nullptr) return nullptr;
  const void* p = m_pRoot;
  while (nNodeKind(p) != NODE_LEAF) p = _IChild(static_cast<const CMemIndexNode*>(p), 0);
  return static_cast<CMemDataNode*>(const_cast<void*>(p));
}

CMemDataNode* CMemBTree::_pLastLeaf() const {
  if (m_pRoot == nullptr) return nullptr;
  const void* p = m_pRoot;
  while (nNodeKind(p) != NODE_LEAF) {
    auto* pNode = static_cast<const CMemIndexNode*>(p);
    p = _IChild(pNode, pNode->m_nKeyCount);
  }
  return static_cast<CMemDataNode*>(const_cast<void*>(p));
}

const unsigned char* CMemBTree::pNodeKey(const CMemIndexNode* pNode, std::uint32_t i) const {
  return _IKey(const_cast<CMemIndexNode*>(pNode), i);
}

const void* CMemBTree::pNodeChild(const CMemIndexNode* pNode, std::uint32_t i) const { return _IChild(pNode, i); }

const unsigned char* CMemBTree::pLeafKey(const CMemDataNode* pLeaf, std::uint32_t i) const {
  return _LKey(const_cast<CMemDataNode*>(pLeaf), i);
}

const unsigned char* CMemBTree::pLeafValue(const CMemDataNode* pLeaf, std::uint32_t i) const {
  if (m_nSlotSize == 0 || _bIsBucket(pLeaf, i)) return nullptr;
  return _LSlot(const_cast<CMemDataNode*>(pLeaf), i);
}

const CMemBucket* CMemBTree::pLeafBucket(const CMemDataNode* pLeaf, std::uint32_t i) const {
  if (!_bIsBucket(pLeaf, i)) return nullptr;
  return _pBucket(const_cast<CMemDataNode*>(pLeaf), i);
}

// ---------------------------------------------------------------------------
// Node changes

void CMemBTree::_LeafMove(CMemDataNode* pDst, std::uint32_t nDst, CMemDataNode* pSrc, std::uint32_t nSrc,
                          std::uint32_t n) const {
  if (n == 0) return;
  std::memmove(_LKey(pDst, nDst), _LKey(pSrc, nSrc), n * m_nKeySize);
  if (m_nSlotSize == 0) return;
  std::memmove(_LSlot(pDst, nDst), _LSlot(pSrc, nSrc), n * m_nSlotSize);
  if (pDst == pSrc && nDst > nSrc) {
    for (std::uint32_t k = n; k-- > 0;) _SetBucketBit(pDst, nDst + k, _bIsBucket(pSrc, nSrc + k));
  } else {
    for (std::uint32_t k = 0; k < n; ++k) _SetBucketBit(pDst, nDst + k, _bIsBucket(pSrc, nSrc + k));
  }
}

void CMemBTree::_LeafInsertAt(CMemDataNode* p, std::uint32_t i, const void* pKey, const void* pValue) const {
  _LeafMove(p, i + 1, p, i, p->m_nKeyCount - i);
  std::memcpy(_LKey(p, i), pKey, m_nKeySize);
  if (m_nSlotSize != 0) {
    std::memset(_LSlot(p, i), 0, m_nSlotSize);
    std::memcpy(_LSlot(p, i), pValue, m_nValueSize);
    _SetBucketBit(p, i, false);
  }
  ++p->m_nKeyCount;
}

void CMemBTree::_LeafRemoveAt(CMemDataNode* p, std::uint32_t i) const {
  _LeafMove(p, i, p, i + 1, p->m_nKeyCount - i - 1);
  --p->m_nKeyCount;
}

void CMemBTree::_InnerInsertAt(CMemIndexNode* p, std::uint32_t nChild, const void* pChild) const {
  const std::uint32_t n = p->m_nKeyCount;
  unsigned char* pChildren = reinterpret_cast<unsigned char*>(p) + m_nInnerChildOffset;
  std::memmove(pChildren + (nChild + 1) * 8, pChildren + nChild * 8, (n + 1 - nChild) * 8);
  _SetIChild(p, nChild, pChild);
  // The key before the new child; at the front, the key before the old first
  // child, which is now second.
  const std::uint32_t nKey = nChild == 0 ? 0 : nChild - 1;
  std::memmove(_IKey(p, nKey + 1), _IKey(p, nKey), (n - nKey) * m_nKeySize);
  ++p->m_nKeyCount;
  std::memcpy(_IKey(p, nKey), _pFirstKey(_IChild(p, nKey + 1)), m_nKeySize);
}

void CMemBTree::_InnerRemoveAt(CMemIndexNode* p, std::uint32_t nChild) const {
  const std::uint32_t n = p->m_nKeyCount;
  unsigned char* pChildren = reinterpret_cast<unsigned char*>(p) + m_nInnerChildOffset;
  std::memmove(pChildren + nChild * 8, pChildren + (nChild + 1) * 8, (n - nChild) * 8);
  const std::uint32_t nKey = nChild == 0 ? 0 : nChild - 1;
  std::memmove(_IKey(p, nKey), _IKey(p, nKey + 1), (n - nKey - 1) * m_nKeySize);
  --p->m_nKeyCount;
}

// A separator is the first key of the leftmost leaf below the child to its
// right, whatever moved: set the one before child c from that leaf.
void CMemBTree::_InnerFixKey(CMemIndexNode* p, std::uint32_t nChild) const {
  if (nChild == 0 || nChild > p->m_nKeyCount) return;
  std::memcpy(_IKey(p, nChild - 1), _pFirstKey(_IChild(p, nChild)), m_nKeySize);
}

void CMemBTree::_InnerRecount(CMemIndexNode* p) const {
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i <= p->m_nKeyCount; ++i) n += _nRecords(_IChild(p, i));
  p->m_nRecordCount = n;
}

void CMemBTree::_LeafRecount(CMemDataNode* p) const {
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < p->m_nKeyCount; ++i) n += _nDup(p, i);
  p->m_nRecordCount = n;
}

CMemDataNode* CMemBTree::_pNewLeaf() {
  CMemDataNode* p = m_clDataPool.pAlloc();
  if (p == nullptr) return nullptr;
  new (p) CMemDataNode{NODE_LEAF, nullptr, nullptr, 0, 0};
  if (m_nSlotSize != 0)
    std::memset(reinterpret_cast<unsigned char*>(p) + m_nLeafBitsOffset, 0, ((m_nMaxKeys - 1) / 32 + 1) * 4);
  return p;
}

CMemIndexNode* CMemBTree::_pNewInner(std::uint32_t nKind) {
  CMemIndexNode* p = m_clIndexPool.pAlloc();
  if (p == nullptr) return nullptr;
  return new (p) CMemIndexNode{nKind, 0, 0};
}

void CMemBTree::_FreeLeaf(CMemDataNode* p) {
  for (std::uint32_t i = 0; i < p->m_nKeyCount; ++i)
    if (_bIsBucket(p, i)) CMemBucket::Destroy(*this, _pBucket(p, i));
  m_clDataPool.Free(p);
}

void CMemBTree::_FreeSubtree(void* pNode) {
  if (nNodeKind(pNode) == NODE_LEAF) {
    _FreeLeaf(static_cast<CMemDataNode*>(pNode));
    return;
  }
  auto* p = static_cast<CMemIndexNode*>(pNode);
  for (std::uint32_t i = 0; i <= p->m_nKeyCount; ++i) _FreeSubtree(_IChild(p, i));
  m_clIndexPool.Free(p);
}

void CMemBTree::_FreeAll() {
  if (m_pRoot != nullptr) _FreeSubtree(m_pRoot);
  m_pRoot = nullptr;
  m_nDistinctKeys = 0;
  m_clIterator.m_pclLeaf = nullptr;
  m_clIterator.m_pclBucketLeaf = nullptr;
}

// ---------------------------------------------------------------------------
// Searches

std::uint32_t CMemBTree::_nSearchInner(CMemIndexNode* p, const void* pKey) const {
  std::int64_t lo = 0, hi = static_cast<std::int64_t>(p->m_nKeyCount) - 1;
  while (lo <= hi) {
    const std::int64_t mid = (lo + hi) / 2;
    const int c = m_pfnKeyCompare(pKey, _IKey(p, static_cast<std::uint32_t>(mid)), m_nKeySize);
    if (c == 0) return static_cast<std::uint32_t>(mid + 1);
    if (c < 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return static_cast<std::uint32_t>(lo);
}

std::uint32_t CMemBTree::_nSearchLeaf(CMemDataNode* p, const void* pKey, bool& bFound) const {
  std::int64_t lo = 0, hi = static_cast<std::int64_t>(p->m_nKeyCount) - 1;
  bFound = false;
  while (lo <= hi) {
    const std::int64_t mid = (lo + hi) / 2;
    const int c = m_pfnKeyCompare(pKey, _LKey(p, static_cast<std::uint32_t>(mid)), m_nKeySize);
    if (c == 0) {
      bFound = true;
      return static_cast<std::uint32_t>(mid);
    }
    if (c < 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return static_cast<std::uint32_t>(lo);
}

CMemDataNode* CMemBTree::_pDescend(const void* pKey, SPath* pPath) const {
  void* p = m_pRoot;
  if (pPath != nullptr) pPath->nDepth = 0;
  while (nNodeKind(p) != NODE_LEAF) {
    auto* pNode = static_cast<CMemIndexNode*>(p);
    const std::uint32_t c = _nSearchInner(pNode, pKey);
    if (pPath != nullptr && pPath->nDepth < kMaxDepth) {
      pPath->pNode[pPath->nDepth] = pNode;
      pPath->nChild[pPath->nDepth] = c;
      ++pPath->nDepth;
    }
    p = _IChild(pNode, c);
  }
  return static_cast<CMemDataNode*>(p);
}

// ---------------------------------------------------------------------------
// Insertion

bool CMemBTree::bInsert(const void* pKey, const void* pValue) {
  if (m_nKeySize == 0 || pKey == nullptr || (m_nValueSize != 0 && pValue == nullptr)) return false;
  if (m_pRoot == nullptr) {
    if (!m_clIndexPool.bReserve(1) || !m_clDataPool.bReserve(1)) return false;
    CMemIndexNode* pRoot = _pNewInner(NODE_ROOT);
    CMemDataNode* pLeaf = _pNewLeaf();
    _SetIChild(pRoot, 0, pLeaf);
    _LeafInsertAt(pLeaf, 0, pKey, pValue);
    pLeaf->m_nRecordCount = 1;
    pRoot->m_nRecordCount = 1;
    m_pRoot = pRoot;
    m_nDistinctKeys = 1;
    GotoEnd();
    return true;
  }
  SPath path;
  CMemDataNode* pLeaf = _pDescend(pKey, &path);
  bool bFound;
  const std::uint32_t nPos = _nSearchLeaf(pLeaf, pKey, bFound);
  if (!bFound) return _bInsertNewKey(path, pLeaf, nPos, pKey, pValue);
  if (m_nValueSize == 0) return false;
  SSavedPosition saved;
  _SavePosition(saved);
  if (_bIsBucket(pLeaf, nPos)) {
    CMemBucket* pBucket = _pBucket(pLeaf, nPos);
    if (!CMemBucket::bInsert(*this, pBucket, pValue)) return false;
    _SetBucket(pLeaf, nPos, pBucket);
  } else {
    const unsigned char* pInline = _LSlot(pLeaf, nPos);
    if (_nCompareValue(pValue, pInline) == 0) return false;
    CMemBucket* pBucket = CMemBucket::pclCreatePair(*this, pInline, pValue);
    if (pBucket == nullptr) return false;
    _SetBucket(pLeaf, nPos, pBucket);
    _SetBucketBit(pLeaf, nPos, true);
  }
  ++pLeaf->m_nRecordCount;
  for (int d = 0; d < path.nDepth; ++d) ++path.pNode[d]->m_nRecordCount;
  _RestorePosition(saved);
  return true;
}

bool CMemBTree::_bInsertNewKey(SPath& path, CMemDataNode* pLeaf, std::uint32_t nPos, const void* pKey,
                               const void* pValue) {
  // Every node the insertion may need is secured first: a new leaf, a new
  // inner node per level and a new root. Nothing below can then fail.
  if (!m_clIndexPool.bReserve(static_cast<std::uint32_t>(path.nDepth) + 1) || !m_clDataPool.bReserve(1)) return false;
  SSavedPosition saved;
  _SavePosition(saved);
  const std::uint32_t nMax = static_cast<std::uint32_t>(m_nMaxKeys);
  for (int d = 0; d < path.nDepth; ++d) ++path.pNode[d]->m_nRecordCount;
  ++m_nDistinctKeys;

  CMemIndexNode* pParent = path.pNode[path.nDepth - 1];
  const std::uint32_t c = path.nChild[path.nDepth - 1];
  void* pPending = nullptr;  // a new node waiting for its place in the level above
  if (pLeaf->m_nKeyCount < nMax) {
    _LeafInsertAt(pLeaf, nPos, pKey, pValue);
    ++pLeaf->m_nRecordCount;
  } else {
    auto* pRight = c < pParent->m_nKeyCount ? static_cast<CMemDataNode*>(_IChild(pParent, c + 1)) : nullptr;
    auto* pLeft = c > 0 ? static_cast<CMemDataNode*>(_IChild(pParent, c - 1)) : nullptr;
    if (pRight != nullptr && pRight->m_nKeyCount < nMax) {
      if (nPos == pLeaf->m_nKeyCount) {
        _LeafInsertAt(pRight, 0, pKey, pValue);
        ++pRight->m_nRecordCount;
      } else {
        const std::uint32_t nLast = pLeaf->m_nKeyCount - 1;
        const std::uint32_t nMoved = _nDup(pLeaf, nLast);
        _LeafMove(pRight, 1, pRight, 0, pRight->m_nKeyCount);
        _LeafMove(pRight, 0, pLeaf, nLast, 1);
        ++pRight->m_nKeyCount;
        --pLeaf->m_nKeyCount;
        pRight->m_nRecordCount += nMoved;
        pLeaf->m_nRecordCount -= nMoved;
        _LeafInsertAt(pLeaf, nPos, pKey, pValue);
        ++pLeaf->m_nRecordCount;
      }
      _InnerFixKey(pParent, c + 1);
    } else if (pLeft != nullptr && pLeft->m_nKeyCount < nMax && nPos > 0) {
      const std::uint32_t nMoved = _nDup(pLeaf, 0);
      _LeafMove(pLeft, pLeft->m_nKeyCount, pLeaf, 0, 1);
      ++pLeft->m_nKeyCount;
      pLeft->m_nRecordCount += nMoved;
      _LeafRemoveAt(pLeaf, 0);
      pLeaf->m_nRecordCount -= nMoved;
      _LeafInsertAt(pLeaf, nPos - 1, pKey, pValue);
      ++pLeaf->m_nRecordCount;
      // The leaf's first key changed whether or not the new key went first.
      _InnerFixKey(pParent, c);
    } else {
      CMemDataNode* pNew = _pNewLeaf();
      const std::uint32_t n = pLeaf->m_nKeyCount;
      const std::uint32_t nStay = (n + 1) / 2;
      _LeafMove(pNew, 0, pLeaf, nStay, n - nStay);
      pNew->m_nKeyCount = n - nStay;
      pLeaf->m_nKeyCount = nStay;
      pNew->m_pPrev = pLeaf;
      pNew->m_pNext = pLeaf->m_pNext;
      if (pLeaf->m_pNext != nullptr) pLeaf->m_pNext->m_pPrev = pNew;
      pLeaf->m_pNext = pNew;
      if (nPos <= nStay)
        _LeafInsertAt(pLeaf, nPos, pKey, pValue);
      else
        _LeafInsertAt(pNew, nPos - nStay, pKey, pValue);
      _LeafRecount(pLeaf);
      _LeafRecount(pNew);
      pPending = pNew;
    }
  }

  for (int d = path.nDepth - 1; d >= 0 && pPending != nullptr; --d) {
    CMemIndexNode* pNode = path.pNode[d];
    const std::uint32_t nChildPos = path.nChild[d] + 1;
    if (pNode->m_nKeyCount < nMax) {
      _InnerInsertAt(pNode, nChildPos, pPending);
      pPending = nullptr;
      break;
    }
    if (d > 0) {
      CMemIndexNode* pUp = path.pNode[d - 1];
      const std::uint32_t g = path.nChild[d - 1];
      auto* pRight = g < pUp->m_nKeyCount ? static_cast<CMemIndexNode*>(_IChild(pUp, g + 1)) : nullptr;
      auto* pLeft = g > 0 ? static_cast<CMemIndexNode*>(_IChild(pUp, g - 1)) : nullptr;
      if (pRight != nullptr && pRight->m_nKeyCount < nMax) {
        if (nChildPos == pNode->m_nKeyCount + 1) {
          const std::uint32_t nCount = _nRecords(pPending);
          _InnerInsertAt(pRight, 0, pPending);
          pNode->m_nRecordCount -= nCount;
          pRight->m_nRecordCount += nCount;
        } else {
          void* pLast = _IChild(pNode, pNode->m_nKeyCount);
          const std::uint32_t nCount = _nRecords(pLast);
          _InnerRemoveAt(pNode, pNode->m_nKeyCount);
          pNode->m_nRecordCount -= nCount;
          _InnerInsertAt(pRight, 0, pLast);
          pRight->m_nRecordCount += nCount;
          _InnerInsertAt(pNode, nChildPos, pPending);
        }
        _InnerFixKey(pUp, g + 1);
        pPending = nullptr;
        break;
      }
      if (pLeft != nullptr && pLeft->m_nKeyCount < nMax) {
        void* pFirst = _IChild(pNode, 0);
        const std::uint32_t nCount = _nRecords(pFirst);
        if (nChildPos == 1) {
          _InnerInsertAt(pLeft, pLeft->m_nKeyCount + 1, pFirst);
          _SetIChild(pNode, 0, pPending);
        } else {
          _InnerRemoveAt(pNode, 0);
          _InnerInsertAt(pLeft, pLeft->m_nKeyCount + 1, pFirst);
          _InnerInsertAt(pNode, nChildPos - 1, pPending);
        }
        pLeft->m_nRecordCount += nCount;
        pNode->m_nRecordCount -= nCount;
        _InnerFixKey(pUp, g);
        pPending = nullptr;
        break;
      }
    }
    CMemIndexNode* pNew = nullptr;
    _SplitInner(pNode, nChildPos, pPending, pNew);
    pPending = pNew;
    if (d == 0) {
      CMemIndexNode* pRoot = _pNewInner(NODE_ROOT);
      pNode->m_nKind = NODE_INNER;
      _SetIChild(pRoot, 0, pNode);
      _InnerInsertAt(pRoot, 1, pNew);
      pRoot->m_nRecordCount = pNode->m_nRecordCount + pNew->m_nRecordCount;
      m_pRoot = pRoot;
      pPending = nullptr;
    }
  }
  _RestorePosition(saved);
  return true;
}

// Splits a full inner node that must take pChild at child position nChildPos
// (its key at nChildPos - 1) around m = (count + 1) / 2: the key going up is
// the first key below the new right node, which the caller's level derives.
void CMemBTree::_SplitInner(CMemIndexNode* pNode, std::uint32_t nChildPos, const void* pChild,
                            CMemIndexNode*& pNew) {
  pNew = _pNewInner(NODE_INNER);
  const std::uint32_t n = pNode->m_nKeyCount;
  const std::uint32_t m = (n + 1) / 2;
  const std::uint32_t nKeyPos = nChildPos - 1;
  unsigned char* pSrcChildren = reinterpret_cast<unsigned char*>(pNode) + m_nInnerChildOffset;
  unsigned char* pDstChildren = reinterpret_cast<unsigned char*>(pNew) + m_nInnerChildOffset;
  if (nKeyPos == m) {
    // The new key itself goes up; the new child heads the right node.
    _SetIChild(pNew, 0, pChild);
    std::memcpy(pDstChildren + 8, pSrcChildren + (m + 1) * 8, (n - m) * 8);
    std::memcpy(_IKey(pNew, 0), _IKey(pNode, m), (n - m) * m_nKeySize);
    pNew->m_nKeyCount = n - m;
    pNode->m_nKeyCount = m;
  } else if (nKeyPos > m) {
    std::memcpy(pDstChildren, pSrcChildren + (m + 1) * 8, (n - m) * 8);
    std::memcpy(_IKey(pNew, 0), _IKey(pNode, m + 1), (n - m - 1) * m_nKeySize);
    pNew->m_nKeyCount = n - m - 1;
    pNode->m_nKeyCount = m;
    _InnerInsertAt(pNew, nChildPos - (m + 1), pChild);
  } else {
    std::memcpy(pDstChildren, pSrcChildren + m * 8, (n - m + 1) * 8);
    std::memcpy(_IKey(pNew, 0), _IKey(pNode, m), (n - m) * m_nKeySize);
    pNew->m_nKeyCount = n - m;
    pNode->m_nKeyCount = m - 1;
    _InnerInsertAt(pNode, nChildPos, pChild);
  }
  _InnerRecount(pNode);
  _InnerRecount(pNew);
}

// ---------------------------------------------------------------------------
// Deletion

bool CMemBTree::bDelete(const void* pKey, const void* pValue) {
  if (m_pRoot == nullptr || pKey == nullptr) return false;
  SPath path;
  CMemDataNode* pLeaf = _pDescend(pKey, &path);
  bool bFound;
  const std::uint32_t nPos = _nSearchLeaf(pLeaf, pKey, bFound);
  if (!bFound) return false;
  SSavedPosition saved;
  _SavePosition(saved);
  std::uint32_t nRemoved = 1;
  bool bRemoveKey = true;
  if (m_nValueSize != 0 && _bIsBucket(pLeaf, nPos)) {
    CMemBucket* pBucket = _pBucket(pLeaf, nPos);
    if (pValue == nullptr) {
      nRemoved = pBucket->nGetCount();
      CMemBucket::Destroy(*this, pBucket);
      _SetBucketBit(pLeaf, nPos, false);
    } else {
      if (!CMemBucket::bDelete(*this, pBucket, pValue)) return false;
      bRemoveKey = false;
      if (pBucket->nGetCount() == 1) {
        // The last value goes back inline.
        unsigned char* pSlot = _LSlot(pLeaf, nPos);
        std::memset(pSlot, 0, m_nSlotSize);
        if (pBucket->bIsTree()) {
          CMemBTree* pTree = pBucket->pTree();
          pTree->GotoFirstRecord();
          std::memcpy(pSlot, pTree->pReadKey(), m_nValueSize);
        } else {
          std::memcpy(pSlot, pBucket->pValue(m_nValueSize, 0), m_nValueSize);
        }
        CMemBucket::Destroy(*this, pBucket);
        _SetBucketBit(pLeaf, nPos, false);
      } else {
        _SetBucket(pLeaf, nPos, pBucket);
      }
    }
  } else if (m_nValueSize != 0 && pValue != nullptr && _nCompareValue(pValue, _LSlot(pLeaf, nPos)) != 0) {
    return false;
  }
  if (bRemoveKey) {
    _LeafRemoveAt(pLeaf, nPos);
    --m_nDistinctKeys;
  }
  pLeaf->m_nRecordCount -= nRemoved;
  for (int d = 0; d < path.nDepth; ++d) path.pNode[d]->m_nRecordCount -= nRemoved;
  if (m_pRoot->m_nRecordCount == 0) {
    _FreeAll();
    return true;
  }
  for (int d = path.nDepth - 1; d >= 0; --d) {
    CMemIndexNode* pNode = path.pNode[d];
    const std::uint32_t c = path.nChild[d];
    void* pChild = _IChild(pNode, c);
    if (pNode->m_nKeyCount == 0) continue;  // a root over one leaf stays
    if (nNodeKind(pChild) == NODE_LEAF) {
      if (static_cast<CMemDataNode*>(pChild)->m_nKeyCount < static_cast<std::uint32_t>(m_nMinKeys))
        _RebalanceLeaf(pNode, c);
      else
        _InnerFixKey(pNode, c);
    } else {
      if (static_cast<CMemIndexNode*>(pChild)->m_nKeyCount < static_cast<std::uint32_t>(m_nMinKeys))
        _RebalanceInner(pNode, c);
      else
        _InnerFixKey(pNode, c);
    }
  }
  while (m_pRoot->m_nKeyCount == 0 && nNodeKind(_IChild(m_pRoot, 0)) != NODE_LEAF) {
    auto* pNewRoot = static_cast<CMemIndexNode*>(_IChild(m_pRoot, 0));
    m_clIndexPool.Free(m_pRoot);
    pNewRoot->m_nKind = NODE_ROOT;
    m_pRoot = pNewRoot;
  }
  _RestorePosition(saved);
  return true;
}

bool CMemBTree::bDeleteCurrentRecord() {
  if (!_bOnRecord()) return false;
  // bDelete saves the position into the same buffer, from the same record.
  std::memcpy(m_pSaveBuffer, pReadKey(), m_nKeySize);
  if (m_nValueSize != 0) std::memcpy(m_pSaveBuffer + m_nKeySize, pReadValue(), m_nValueSize);
  return bDelete(m_pSaveBuffer, m_nValueSize != 0 ? m_pSaveBuffer + m_nKeySize : nullptr);
}

namespace {
void UnlinkLeaf(CMemDataNode* p) {
  if (p->m_pPrev != nullptr) p->m_pPrev->m_pNext = p->m_pNext;
  if (p->m_pNext != nullptr) p->m_pNext->m_pPrev = p->m_pPrev;
}
}  // namespace

// A leaf below the minimum, child c of pParent: merge with a brother when both
// fit in one leaf (into the left one when it is the smaller, else the right
// one into it), else borrow one key from the right brother, else from the
// left; the separators around it are then the first keys to their right.
void CMemBTree::_RebalanceLeaf(CMemIndexNode* pParent, std::uint32_t c) {
  const std::uint32_t nMax = static_cast<std::uint32_t>(m_nMaxKeys);
  const std::uint32_t nMin = static_cast<std::uint32_t>(m_nMinKeys);
  auto* pLeaf = static_cast<CMemDataNode*>(_IChild(pParent, c));
  auto* pLeft = c > 0 ? static_cast<CMemDataNode*>(_IChild(pParent, c - 1)) : nullptr;
  auto* pRight = c < pParent->m_nKeyCount ? static_cast<CMemDataNode*>(_IChild(pParent, c + 1)) : nullptr;
  CMemDataNode* pBrother;
  if (pLeft != nullptr && pRight != nullptr)
    pBrother = pLeft->m_nKeyCount < pRight->m_nKeyCount ? pLeft : pRight;
  else
    pBrother = pLeft != nullptr ? pLeft : pRight;
  if (pBrother == nullptr) return;
  if (pLeaf->m_nKeyCount + pBrother->m_nKeyCount <= nMax) {
    CMemDataNode* pInto = pBrother == pLeft ? pLeft : pLeaf;
    CMemDataNode* pGone = pBrother == pLeft ? pLeaf : pRight;
    const std::uint32_t nGone = pBrother == pLeft ? c : c + 1;
    _LeafMove(pInto, pInto->m_nKeyCount, pGone, 0, pGone->m_nKeyCount);
    pInto->m_nKeyCount += pGone->m_nKeyCount;
    pInto->m_nRecordCount += pGone->m_nRecordCount;
    UnlinkLeaf(pGone);
    m_clDataPool.Free(pGone);  // its buckets now belong to pInto
    _InnerRemoveAt(pParent, nGone);
    _InnerFixKey(pParent, nGone - 1);
    return;
  }
  if (pRight != nullptr && pRight->m_nKeyCount > nMin) {
    const std::uint32_t nMoved = _nDup(pRight, 0);
    _LeafMove(pLeaf, pLeaf->m_nKeyCount, pRight, 0, 1);
    ++pLeaf->m_nKeyCount;
    pLeaf->m_nRecordCount += nMoved;
    _LeafRemoveAt(pRight, 0);
    pRight->m_nRecordCount -= nMoved;
    _InnerFixKey(pParent, c + 1);
  } else if (pLeft != nullptr && pLeft->m_nKeyCount > nMin) {
    const std::uint32_t nLast = pLeft->m_nKeyCount - 1;
    const std::uint32_t nMoved = _nDup(pLeft, nLast);
    _LeafMove(pLeaf, 1, pLeaf, 0, pLeaf->m_nKeyCount);
    _LeafMove(pLeaf, 0, pLeft, nLast, 1);
    ++pLeaf->m_nKeyCount;
    --pLeft->m_nKeyCount;
    pLeaf->m_nRecordCount += nMoved;
    pLeft->m_nRecordCount -= nMoved;
  }
  _InnerFixKey(pParent, c);
}

// An inner node below the minimum, child c of pParent: merge with a brother
// when both key counts plus the separator between them fit, else rotate one
// child in from the right brother, else from the left one.
void CMemBTree::_RebalanceInner(CMemIndexNode* pParent, std::uint32_t c) {
  const std::uint32_t nMax = static_cast<std::uint32_t>(m_nMaxKeys);
  const std::uint32_t nMin = static_cast<std::uint32_t>(m_nMinKeys);
  auto* pNode = static_cast<CMemIndexNode*>(_IChild(pParent, c));
  auto* pLeft = c > 0 ? static_cast<CMemIndexNode*>(_IChild(pParent, c - 1)) : nullptr;
  auto* pRight = c < pParent->m_nKeyCount ? static_cast<CMemIndexNode*>(_IChild(pParent, c + 1)) : nullptr;
  CMemIndexNode* pBrother;
  if (pLeft != nullptr && pRight != nullptr)
    pBrother = pLeft->m_nKeyCount < pRight->m_nKeyCount ? pLeft : pRight;
  else
    pBrother = pLeft != nullptr ? pLeft : pRight;
  if (pBrother == nullptr) return;
  if (pNode->m_nKeyCount + pBrother->m_nKeyCount + 1 <= nMax) {
    CMemIndexNode* pInto = pBrother == pLeft ? pLeft : pNode;
    CMemIndexNode* pGone = pBrother == pLeft ? pNode : pRight;
    const std::uint32_t nGone = pBrother == pLeft ? c : c + 1;
    const std::uint32_t k = pInto->m_nKeyCount;
    std::memcpy(_IKey(pInto, k), _pFirstKey(pGone), m_nKeySize);
    std::memcpy(_IKey(pInto, k + 1), _IKey(pGone, 0), pGone->m_nKeyCount * m_nKeySize);
    std::memcpy(reinterpret_cast<unsigned char*>(pInto) + m_nInnerChildOffset + (k + 1) * 8,
                reinterpret_cast<unsigned char*>(pGone) + m_nInnerChildOffset, (pGone->m_nKeyCount + 1) * 8);
    pInto->m_nKeyCount += pGone->m_nKeyCount + 1;
    pInto->m_nRecordCount += pGone->m_nRecordCount;
    m_clIndexPool.Free(pGone);
    _InnerRemoveAt(pParent, nGone);
    _InnerFixKey(pParent, nGone - 1);
    return;
  }
  if (pRight != nullptr && pRight->m_nKeyCount > nMin) {
    void* pFirst = _IChild(pRight, 0);
    const std::uint32_t nCount = _nRecords(pFirst);
    _InnerInsertAt(pNode, pNode->m_nKeyCount + 1, pFirst);
    pNode->m_nRecordCount += nCount;
    _InnerRemoveAt(pRight, 0);
    pRight->m_nRecordCount -= nCount;
    _InnerFixKey(pParent, c + 1);
  } else if (pLeft != nullptr && pLeft->m_nKeyCount > nMin) {
    void* pLast = _IChild(pLeft, pLeft->m_nKeyCount);
    const std::uint32_t nCount = _nRecords(pLast);
    _InnerRemoveAt(pLeft, pLeft->m_nKeyCount);
    pLeft->m_nRecordCount -= nCount;
    _InnerInsertAt(pNode, 0, pLast);
    pNode->m_nRecordCount += nCount;
  }
  _InnerFixKey(pParent, c);
}

// ---------------------------------------------------------------------------
// Iterator

bool CMemBTree::_bOnRecord() const {
  return m_clIterator.m_pclLeaf != nullptr && m_clIterator.m_nIndex < m_clIterator.m_pclLeaf->m_nKeyCount;
}

void CMemBTree::_SubFirst() {
  CIterator& it = m_clIterator;
  it.m_pclBucketLeaf = nullptr;
  it.m_nBucketIndex = 0;
  if (!_bOnRecord() || !_bIsBucket(it.m_pclLeaf, it.m_nIndex)) return;
  CMemBucket* pBucket = _pBucket(it.m_pclLeaf, it.m_nIndex);
  if (pBucket->bIsTree()) it.m_pclBucketLeaf = pBucket->pTree()->_pFirstLeaf();
}

void CMemBTree::_SubLast() {
  CIterator& it = m_clIterator;
  it.m_pclBucketLeaf = nullptr;
  it.m_nBucketIndex = 0;
  if (!_bOnRecord() || !_bIsBucket(it.m_pclLeaf, it.m_nIndex)) return;
  CMemBucket* pBucket = _pBucket(it.m_pclLeaf, it.m_nIndex);
  if (pBucket->bIsTree()) {
    it.m_pclBucketLeaf = pBucket->pTree()->_pLastLeaf();
    it.m_nBucketIndex = it.m_pclBucketLeaf->m_nKeyCount - 1;
  } else {
    it.m_nBucketIndex = pBucket->nGetCount() - 1;
  }
}

bool CMemBTree::_bSubNext() {
  CIterator& it = m_clIterator;
  if (!_bIsBucket(it.m_pclLeaf, it.m_nIndex)) return false;
  CMemBucket* pBucket = _pBucket(it.m_pclLeaf, it.m_nIndex);
  if (!pBucket->bIsTree()) {
    if (it.m_nBucketIndex + 1 >= pBucket->nGetCount()) return false;
    ++it.m_nBucketIndex;
    return true;
  }
  if (it.m_nBucketIndex + 1 < it.m_pclBucketLeaf->m_nKeyCount) {
    ++it.m_nBucketIndex;
    return true;
  }
  if (it.m_pclBucketLeaf->m_pNext == nullptr) return false;
  it.m_pclBucketLeaf = it.m_pclBucketLeaf->m_pNext;
  it.m_nBucketIndex = 0;
  return true;
}

bool CMemBTree::_bSubPrev() {
  CIterator& it = m_clIterator;
  if (!_bIsBucket(it.m_pclLeaf, it.m_nIndex)) return false;
  CMemBucket* pBucket = _pBucket(it.m_pclLeaf, it.m_nIndex);
  if (it.m_nBucketIndex > 0) {
    --it.m_nBucketIndex;
    return true;
  }
  if (!pBucket->bIsTree() || it.m_pclBucketLeaf->m_pPrev == nullptr) return false;
  it.m_pclBucketLeaf = it.m_pclBucketLeaf->m_pPrev;
  it.m_nBucketIndex = it.m_pclBucketLeaf->m_nKeyCount - 1;
  return true;
}

// On key i of the leaf, at its first (or last) value; a key index past the
// leaf's keys means the next leaf's first key, or the end after the last.
void CMemBTree::_SetPosition(CMemDataNode* pLeaf, std::uint32_t i, bool bLast) {
  CIterator& it = m_clIterator;
  while (i >= pLeaf->m_nKeyCount && pLeaf->m_pNext != nullptr) {
    pLeaf = pLeaf->m_pNext;
    i = 0;
  }
  it.m_pclLeaf = pLeaf;
  it.m_nIndex = i < pLeaf->m_nKeyCount ? i : pLeaf->m_nKeyCount;
  if (bLast)
    _SubLast();
  else
    _SubFirst();
}

void CMemBTree::GotoFirstRecord() {
  if (m_pRoot == nullptr) {
    m_clIterator.m_pclLeaf = nullptr;
    return;
  }
  _SetPosition(_pFirstLeaf(), 0, false);
}

void CMemBTree::GotoEnd() {
  CIterator& it = m_clIterator;
  it.m_pclBucketLeaf = nullptr;
  it.m_nBucketIndex = 0;
  it.m_pclLeaf = _pLastLeaf();
  it.m_nIndex = it.m_pclLeaf != nullptr ? it.m_pclLeaf->m_nKeyCount : 0;
}

const void* CMemBTree::pReadKey() const {
  if (!_bOnRecord()) return nullptr;
  return _LKey(m_clIterator.m_pclLeaf, m_clIterator.m_nIndex);
}

const void* CMemBTree::pReadValue() const {
  if (m_nValueSize == 0 || !_bOnRecord()) return nullptr;
  const CIterator& it = m_clIterator;
  if (!_bIsBucket(it.m_pclLeaf, it.m_nIndex)) return _LSlot(it.m_pclLeaf, it.m_nIndex);
  CMemBucket* pBucket = _pBucket(it.m_pclLeaf, it.m_nIndex);
  if (!pBucket->bIsTree()) return pBucket->pValue(m_nValueSize, it.m_nBucketIndex);
  return pBucket->pTree()->_LKey(it.m_pclBucketLeaf, it.m_nBucketIndex);
}

std::uint32_t CMemBTree::nNumDuplicates() const {
  if (!_bOnRecord()) return 0;
  return _nDup(m_clIterator.m_pclLeaf, m_clIterator.m_nIndex);
}

std::uint32_t CMemBTree::nGetNumRecord() const { return m_pRoot != nullptr ? m_pRoot->m_nRecordCount : 0; }

void CMemBTree::_SavePosition(SSavedPosition& saved) const {
  if (m_clIterator.m_pclLeaf == nullptr) {
    saved.eState = SSavedPosition::UNDEFINED;
  } else if (!_bOnRecord()) {
    saved.eState = SSavedPosition::END;
  } else {
    saved.eState = SSavedPosition::RECORD;
    std::memcpy(m_pSaveBuffer, pReadKey(), m_nKeySize);
    if (m_nValueSize != 0) std::memcpy(m_pSaveBuffer + m_nKeySize, pReadValue(), m_nValueSize);
  }
}

// Back on the saved record, or on the record after it when it went.
void CMemBTree::_RestorePosition(const SSavedPosition& saved) {
  switch (saved.eState) {
    case SSavedPosition::UNDEFINED:
      m_clIterator.m_pclLeaf = nullptr;
      m_clIterator.m_pclBucketLeaf = nullptr;
      break;
    case SSavedPosition::END:
      GotoEnd();
      break;
    case SSavedPosition::RECORD:
      _bFindPosition(m_pSaveBuffer, m_nValueSize != 0 ? m_pSaveBuffer + m_nKeySize : nullptr);
      break;
  }
}

bool CMemBTree::_bFindPosition(const void* pKey, const void* pValue) {
  if (m_pRoot == nullptr) {
    m_clIterator.m_pclLeaf = nullptr;
    return false;
  }
  CMemDataNode* pLeaf = _pDescend(pKey, nullptr);
  bool bFound;
  const std::uint32_t nPos = _nSearchLeaf(pLeaf, pKey, bFound);
  if (!bFound || m_nValueSize == 0 || pValue == nullptr) {
    _SetPosition(pLeaf, nPos, false);
    return bFound;
  }
  if (!_bIsBucket(pLeaf, nPos)) {
    const int c = _nCompareValue(pValue, _LSlot(pLeaf, nPos));
    _SetPosition(pLeaf, c <= 0 ? nPos : nPos + 1, false);
    return c == 0;
  }
  CMemBucket* pBucket = _pBucket(pLeaf, nPos);
  if (!pBucket->bIsTree()) {
    bool bEqual;
    const std::uint32_t i = pBucket->nLowerBound(*this, pValue, bEqual);
    if (i >= pBucket->nGetCount()) {
      _SetPosition(pLeaf, nPos + 1, false);
      return false;
    }
    _SetPosition(pLeaf, nPos, false);
    m_clIterator.m_nBucketIndex = i;
    return bEqual;
  }
  CMemBTree* pTree = pBucket->pTree();
  const bool bEqual = pTree->_bFindPosition(pValue, nullptr);
  if (!pTree->_bOnRecord()) {
    _SetPosition(pLeaf, nPos + 1, false);
    return false;
  }
  _SetPosition(pLeaf, nPos, false);
  m_clIterator.m_pclBucketLeaf = pTree->m_clIterator.m_pclLeaf;
  m_clIterator.m_nBucketIndex = pTree->m_clIterator.m_nIndex;
  return bEqual;
}

bool CMemBTree::bFindRecord(const void* pKey, const void* pValue) {
  if (pKey == nullptr) return false;
  return _bFindPosition(pKey, pValue);
}

const void* CMemBTree::pSearch(const void* pKey, int nFlags) {
  if (pKey == nullptr) return nullptr;
  if (m_pRoot == nullptr) {
    if ((nFlags & SEARCH_EXACT) == 0) m_clIterator.m_pclLeaf = nullptr;
    return nullptr;
  }
  CMemDataNode* pLeaf = _pDescend(pKey, nullptr);
  bool bFound;
  const std::uint32_t nPos = _nSearchLeaf(pLeaf, pKey, bFound);
  const bool bLast = (nFlags & SEARCH_LAST) != 0;
  if (bFound) {
    _SetPosition(pLeaf, nPos, bLast);
    return pReadValue();
  }
  if ((nFlags & SEARCH_EXACT) != 0) return nullptr;
  if (!bLast) {
    _SetPosition(pLeaf, nPos, false);
    return pReadValue();
  }
  if (nPos > 0) {
    _SetPosition(pLeaf, nPos - 1, true);
  } else if (pLeaf->m_pPrev != nullptr) {
    _SetPosition(pLeaf->m_pPrev, pLeaf->m_pPrev->m_nKeyCount - 1, true);
  } else {
    m_clIterator.m_pclLeaf = nullptr;
    m_clIterator.m_pclBucketLeaf = nullptr;
    return nullptr;
  }
  return pReadValue();
}

void CMemBTree::_LocateRank(std::uint64_t nRank) {
  const void* p = m_pRoot;
  while (nNodeKind(p) != NODE_LEAF) {
    auto* pNode = static_cast<const CMemIndexNode*>(p);
    std::uint32_t i = 0;
    for (; i < pNode->m_nKeyCount; ++i) {
      const std::uint32_t n = _nRecords(_IChild(pNode, i));
      if (nRank < n) break;
      nRank -= n;
    }
    p = _IChild(pNode, i);
  }
  auto* pLeaf = static_cast<CMemDataNode*>(const_cast<void*>(p));
  std::uint32_t i = 0;
  for (; i + 1 < pLeaf->m_nKeyCount; ++i) {
    const std::uint32_t n = _nDup(pLeaf, i);
    if (nRank < n) break;
    nRank -= n;
  }
  _SetPosition(pLeaf, i, false);
  if (nRank == 0 || !_bIsBucket(pLeaf, i)) return;
  CMemBucket* pBucket = _pBucket(pLeaf, i);
  if (!pBucket->bIsTree()) {
    m_clIterator.m_nBucketIndex = static_cast<std::uint32_t>(nRank);
    return;
  }
  CMemBTree* pTree = pBucket->pTree();
  pTree->_LocateRank(nRank);
  m_clIterator.m_pclBucketLeaf = pTree->m_clIterator.m_pclLeaf;
  m_clIterator.m_nBucketIndex = pTree->m_clIterator.m_nIndex;
}

void CMemBTree::MoveTo(std::int64_t nRank) {
  if (nRank < 0 || static_cast<std::uint64_t>(nRank) >= nGetNumRecord()) {
    GotoEnd();
    return;
  }
  _LocateRank(static_cast<std::uint64_t>(nRank));
}

bool CMemBTree::_bStepForward(bool bKeys) {
  CIterator& it = m_clIterator;
  if (!_bOnRecord()) return false;
  if (!bKeys && _bSubNext()) return true;
  _SetPosition(it.m_pclLeaf, it.m_nIndex + 1, false);
  return true;
}

bool CMemBTree::_bStepBackward(bool bKeys) {
  CIterator& it = m_clIterator;
  if (it.m_pclLeaf == nullptr) return false;
  if (_bOnRecord() && !bKeys && _bSubPrev()) return true;
  if (it.m_nIndex > 0) {
    _SetPosition(it.m_pclLeaf, it.m_nIndex - 1, !bKeys);
    return true;
  }
  CMemDataNode* pPrev = it.m_pclLeaf->m_pPrev;
  if (pPrev == nullptr) return false;
  _SetPosition(pPrev, pPrev->m_nKeyCount - 1, !bKeys);
  return true;
}

bool CMemBTree::bAdvance(std::int64_t nCount, std::int64_t& nMoved, int nFlags) {
  nMoved = 0;
  const bool bEndOk = (nFlags & ADVANCE_END_OK) != 0;
  if (nCount == 0) return _bOnRecord() || (bEndOk && m_clIterator.m_pclLeaf != nullptr);
  if (m_clIterator.m_pclLeaf == nullptr) return false;
  const bool bKeys = (nFlags & ADVANCE_KEYS) != 0;
  const CIterator saved = m_clIterator;
  CIterator& it = m_clIterator;
  const std::uint64_t nTarget = nCount > 0 ? static_cast<std::uint64_t>(nCount) : 0 - static_cast<std::uint64_t>(nCount);
  std::uint64_t nSteps = 0;
  // At the start of a leaf a whole leaf is skipped at once when the move
  // goes past it (its record count, or its key count for key steps).
  auto bAtLeafStart = [&]() {
    if (it.m_nIndex != 0 || !_bOnRecord()) return false;
    if (it.m_nBucketIndex != 0) return false;
    if (it.m_pclBucketLeaf == nullptr) return true;
    return it.m_pclBucketLeaf->m_pPrev == nullptr;
  };
  if (nCount > 0) {
    while (nSteps < nTarget) {
      CMemDataNode* pNext = it.m_pclLeaf->m_pNext;
      if (pNext != nullptr && bAtLeafStart()) {
        const std::uint32_t nWidth = bKeys ? it.m_pclLeaf->m_nKeyCount : it.m_pclLeaf->m_nRecordCount;
        if (nTarget - nSteps >= nWidth) {
          _SetPosition(pNext, 0, false);
          nSteps += nWidth;
          continue;
        }
      }
      if (!_bStepForward(bKeys)) break;
      ++nSteps;
    }
    if (!bEndOk && nSteps > 0 && !_bOnRecord()) {
      _bStepBackward(bKeys);
      --nSteps;
    }
  } else {
    while (nSteps < nTarget) {
      CMemDataNode* pPrev = it.m_pclLeaf->m_pPrev;
      if (pPrev != nullptr && bAtLeafStart()) {
        const std::uint32_t nWidth = bKeys ? pPrev->m_nKeyCount : pPrev->m_nRecordCount;
        if (nTarget - nSteps >= nWidth) {
          _SetPosition(pPrev, 0, false);
          nSteps += nWidth;
          continue;
        }
      }
      if (!_bStepBackward(bKeys)) break;
      ++nSteps;
    }
  }
  const bool bOk = nSteps == nTarget || ((nFlags & ADVANCE_PARTIAL) != 0 && nSteps > 0);
  if (!bOk) {
    m_clIterator = saved;
    return false;
  }
  nMoved = static_cast<std::int64_t>(nSteps);
  return true;
}

// ---------------------------------------------------------------------------
// Bulk load

int CMemBTree::_nCompareEntry(const unsigned char* a, const unsigned char* b) const {
  const int c = m_pfnKeyCompare(a, b, m_nKeySize);
  if (c != 0 || m_nValueSize == 0) return c;
  return m_pfnValueCompare(a + m_nKeySize, b + m_nKeySize, m_nValueSize);
}

void CMemBTree::_SwapEntries(unsigned char* a, unsigned char* b, unsigned char* pSwap) const {
  if (a == b) return;
  const std::size_t es = m_nKeySize + m_nValueSize;
  std::memcpy(pSwap, a, es);
  std::memcpy(a, b, es);
  std::memcpy(b, pSwap, es);
}

void CMemBTree::_ShortSort(unsigned char* pBase, std::size_t nCount, unsigned char* pSwap) {
  const std::size_t es = m_nKeySize + m_nValueSize;
  for (std::size_t i = 0; i + 1 < nCount; ++i) {
    std::size_t nMin = i;
    for (std::size_t j = i + 1; j < nCount; ++j)
      if (_nCompareEntry(pBase + j * es, pBase + nMin * es) < 0) nMin = j;
    _SwapEntries(pBase + i * es, pBase + nMin * es, pSwap);
  }
}

// Quicksort over entries of key size + value size bytes; pSwap holds two
// entries (a swap area and the pivot). Partitions of at most 8 entries are
// left to a selection sort; the smaller side recurses, the larger loops.
void CMemBTree::_QSort(unsigned char* pBase, std::size_t nCount, unsigned char* pSwap) {
  const std::size_t es = m_nKeySize + m_nValueSize;
  unsigned char* pPivot = pSwap + es;
  while (nCount > 8) {
    unsigned char* pMid = pBase + (nCount / 2) * es;
    unsigned char* pLast = pBase + (nCount - 1) * es;
    if (_nCompareEntry(pBase, pMid) > 0) _SwapEntries(pBase, pMid, pSwap);
    if (_nCompareEntry(pMid, pLast) > 0) _SwapEntries(pMid, pLast, pSwap);
    if (_nCompareEntry(pBase, pMid) > 0) _SwapEntries(pBase, pMid, pSwap);
    std::memcpy(pPivot, pMid, es);
    std::int64_t i = -1, j = static_cast<std::int64_t>(nCount);
    for (;;) {
      do ++i;
      while (_nCompareEntry(pBase + i * es, pPivot) < 0);
      do --j;
      while (_nCompareEntry(pBase + j * es, pPivot) > 0);
      if (i >= j) break;
      _SwapEntries(pBase + i * es, pBase + j * es, pSwap);
    }
    const std::size_t nLeft = static_cast<std::size_t>(j + 1);
    const std::size_t nRight = nCount - nLeft;
    if (nLeft < nRight) {
      _QSort(pBase, nLeft, pSwap);
      pBase += nLeft * es;
      nCount = nRight;
    } else {
      _QSort(pBase + nLeft * es, nRight, pSwap);
      nCount = nLeft;
    }
  }
  _ShortSort(pBase, nCount, pSwap);
}

bool CMemBTree::bLoadBulk(const void* pKeys, const void* pValues, std::uint32_t nCount) {
  if (m_nKeySize == 0 || m_pRoot != nullptr) return false;
  if (nCount == 0) return true;
  if (pKeys == nullptr || (m_nValueSize != 0 && pValues == nullptr)) return false;
  const std::size_t ks = m_nKeySize, vs = m_nValueSize, es = ks + vs;
  auto* pSorted = static_cast<unsigned char*>(XMALLOC_pNew_((static_cast<std::size_t>(nCount) + 2) * es));
  if (pSorted == nullptr) return false;
  for (std::uint32_t i = 0; i < nCount; ++i) {
    std::memcpy(pSorted + i * es, static_cast<const unsigned char*>(pKeys) + i * ks, ks);
    if (vs != 0) std::memcpy(pSorted + i * es + ks, static_cast<const unsigned char*>(pValues) + i * vs, vs);
  }
  _QSort(pSorted, nCount, pSorted + static_cast<std::size_t>(nCount) * es);

  // Distinct keys, the largest group of equal keys, and no pair twice.
  std::uint32_t nDistinct = 1, nLargestGroup = 1, nGroup = 1;
  for (std::uint32_t i = 1; i < nCount; ++i) {
    if (_nCompareEntry(pSorted + (i - 1) * es, pSorted + i * es) == 0) {
      XMALLOC_Del_(pSorted);
      return false;
    }
    if (m_pfnKeyCompare(pSorted + (i - 1) * es, pSorted + i * es, ks) == 0) {
      if (++nGroup > nLargestGroup) nLargestGroup = nGroup;
    } else {
      ++nDistinct;
      nGroup = 1;
    }
  }
  const std::uint32_t nMax = static_cast<std::uint32_t>(m_nMaxKeys);
  const std::uint32_t nLeaves = (nDistinct - 1) / nMax + 1;
  const std::uint32_t nPerParent = nMax < 3 ? nMax + 1 : nMax;
  std::uint64_t nInner = 0;
  for (std::uint32_t c = nLeaves;;) {
    const std::uint32_t nParents = (c - 1) / nPerParent + 1;
    nInner += nParents;
    c = nParents;
    if (c == 1) break;
  }
  void** ppLevel = static_cast<void**>(XMALLOC_pNew_(nLeaves * sizeof(void*)));
  unsigned char* pGroupValues = vs != 0 && nLargestGroup > 1 ? static_cast<unsigned char*>(XMALLOC_pNew_(nLargestGroup * vs)) : nullptr;
  if (ppLevel == nullptr || (vs != 0 && nLargestGroup > 1 && pGroupValues == nullptr) ||
      !m_clDataPool.bReserve(nLeaves) || nInner > 0xFFFFFFFFu ||
      !m_clIndexPool.bReserve(static_cast<std::uint32_t>(nInner))) {
    XMALLOC_Del_(ppLevel);
    XMALLOC_Del_(pGroupValues);
    XMALLOC_Del_(pSorted);
    return false;
  }

  // Leaves: nDistinct / nLeaves keys each, the first nDistinct % nLeaves one more.
  std::uint32_t nEntry = 0;
  bool bOk = true;
  std::uint32_t nBuilt = 0;
  CMemDataNode* pPrevLeaf = nullptr;
  for (std::uint32_t l = 0; l < nLeaves && bOk; ++l) {
    CMemDataNode* pLeaf = _pNewLeaf();
    ppLevel[l] = pLeaf;
    nBuilt = l + 1;
    pLeaf->m_pPrev = pPrevLeaf;
    if (pPrevLeaf != nullptr) pPrevLeaf->m_pNext = pLeaf;
    pPrevLeaf = pLeaf;
    const std::uint32_t nKeys = nDistinct / nLeaves + (l < nDistinct % nLeaves ? 1 : 0);
    for (std::uint32_t k = 0; k < nKeys; ++k) {
      const unsigned char* pEntry = pSorted + static_cast<std::size_t>(nEntry) * es;
      std::uint32_t g = 1;
      while (nEntry + g < nCount && m_pfnKeyCompare(pEntry, pEntry + g * es, ks) == 0) ++g;
      const std::uint32_t i = pLeaf->m_nKeyCount;
      std::memcpy(_LKey(pLeaf, i), pEntry, ks);
      if (vs != 0) {
        unsigned char* pSlot = _LSlot(pLeaf, i);
        std::memset(pSlot, 0, m_nSlotSize);
        if (g == 1) {
          std::memcpy(pSlot, pEntry + ks, vs);
        } else {
          for (std::uint32_t v = 0; v < g; ++v) std::memcpy(pGroupValues + v * vs, pEntry + v * es + ks, vs);
          CMemBucket* pBucket = CMemBucket::pclCreateSorted(*this, pGroupValues, g);
          if (pBucket == nullptr) {
            bOk = false;
            break;
          }
          _SetBucket(pLeaf, i, pBucket);
          _SetBucketBit(pLeaf, i, true);
        }
      }
      ++pLeaf->m_nKeyCount;
      pLeaf->m_nRecordCount += g;
      nEntry += g;
    }
  }
  XMALLOC_Del_(pGroupValues);
  XMALLOC_Del_(pSorted);
  if (!bOk) {
    for (std::uint32_t l = 0; l < nBuilt; ++l) _FreeLeaf(static_cast<CMemDataNode*>(ppLevel[l]));
    XMALLOC_Del_(ppLevel);
    return false;
  }

  // Inner levels, built in place over the level below (a parent's children
  // all lie at or after its own index), until one node remains.
  for (std::uint32_t c = nLeaves;;) {
    const std::uint32_t nParents = (c - 1) / nPerParent + 1;
    std::uint32_t nChild = 0;
    for (std::uint32_t p = 0; p < nParents; ++p) {
      const std::uint32_t nChildren = c / nParents + (p < c % nParents ? 1 : 0);
      CMemIndexNode* pNode = _pNewInner(nParents == 1 ? NODE_ROOT : NODE_INNER);
      std::uint32_t nRecords = 0;
      for (std::uint32_t j = 0; j < nChildren; ++j) {
        void* pChild = ppLevel[nChild + j];
        _SetIChild(pNode, j, pChild);
        if (j > 0) std::memcpy(_IKey(pNode, j - 1), _pFirstKey(pChild), ks);
        nRecords += _nRecords(pChild);
      }
      pNode->m_nKeyCount = nChildren - 1;
      pNode->m_nRecordCount = nRecords;
      nChild += nChildren;
      ppLevel[p] = pNode;
    }
    c = nParents;
    if (c == 1) break;
  }
  m_pRoot = static_cast<CMemIndexNode*>(ppLevel[0]);
  XMALLOC_Del_(ppLevel);
  m_nDistinctKeys = nDistinct;
  GotoEnd();
  return true;
}
