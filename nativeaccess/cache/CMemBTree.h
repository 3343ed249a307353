// CMemBTree: an ordered in-memory index of fixed-size keys, each with one or
// more fixed-size values, kept as a B+ tree whose inner nodes count the
// records below them, so that a record is reached by rank as fast as by key.
// The table cache's client-side indexes use it with the sortable image of a
// column value as key and the record number as value.
//
// Records: a record is a (key, value) pair; a key is stored once and its
// values are kept in ascending order of the value compare, inline when there
// is one, else in a duplicate bucket (CMemBucket) that grows from a sorted
// vector into a tree of its own. A tree without values (value size 0) holds
// keys only and refuses duplicates.
//
// Layout: nodes and buckets come from fixed-size pools (CTObjAlloc) owned by
// the tree. Keys and values are plain bytes at arbitrary offsets inside the
// nodes: the pointers returned by pReadKey and pReadValue need not be
// aligned, so callers copy them out (memcpy) rather than dereference them as
// wider types, and the compare functions must do the same.
//
// The tree's own iterator (one per tree) carries the position of every
// positioning operation; the tree's insertions and deletions keep it on the
// same record, or on the next one when that record goes. Positions: on a
// record, at the end (after the last record) or undefined (an empty tree,
// or a search that found nothing before the key).
//
// Failures are false or null results; nothing is reported elsewhere. A
// failed insertion (including a pool that cannot supply a node or a bucket)
// leaves the tree, its record counts and its iterator as they were.
//
// Not thread-safe: a tree is used by one index at a time under the library's
// process-wide lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CTObjAlloc.h"

class CMemBucket;

// Compare of two fixed-size byte images, with the meaning of memcmp.
using PFNMEMCOMPARE = int (*)(const void* pFirst, const void* pSecond, std::size_t nSize);

// Inner node: kind, key count, record count of the subtree, then the
// separator keys (maximum x key size bytes) and maximum + 1 child pointers
// (unaligned: read and written with memcpy).
struct CMemIndexNode {
  std::uint32_t m_nKind;
  std::uint32_t m_nKeyCount;
  std::uint32_t m_nRecordCount;
};

// Leaf: kind, the neighbours in key order, key count, record count (keys
// plus extra duplicates), then maximum keys, maximum value slots and one bit
// per slot telling that the slot holds a bucket pointer.
struct CMemDataNode {
  std::uint32_t m_nKind;
  CMemDataNode* m_pPrev;
  CMemDataNode* m_pNext;
  std::uint32_t m_nKeyCount;
  std::uint32_t m_nRecordCount;
};

class CMemBTree {
 public:
  // Node kinds, in the first 32 bits of every node.
  enum : std::uint32_t { NODE_INNER = 1, NODE_LEAF = 2, NODE_ROOT = 3 };
  // bAdvance flags.
  enum : int { ADVANCE_KEYS = 1, ADVANCE_PARTIAL = 2, ADVANCE_END_OK = 4 };
  // pSearch flags.
  enum : int { SEARCH_EXACT = 1, SEARCH_LAST = 2 };

  // A position in the tree: the leaf and key index, and inside a duplicate
  // bucket the value index (vector bucket) or the leaf and key index of the
  // bucket's own tree. Leaf null: undefined; key index equal to the last
  // leaf's key count: the end.
  class CIterator {
   public:
    CIterator() = default;

   private:
    friend class CMemBTree;
    CMemBTree* m_pclTree = nullptr;
    CMemDataNode* m_pclLeaf = nullptr;
    std::uint32_t m_nIndex = 0;
    CMemDataNode* m_pclBucketLeaf = nullptr;
    std::uint32_t m_nBucketIndex = 0;
  };

  CMemBTree();
  CMemBTree(const CMemBTree&) = delete;
  CMemBTree& operator=(const CMemBTree&) = delete;
  // Frees every node and bucket, then the pools.
  ~CMemBTree();

  // A new tree (delete it when done), or null when it cannot be made or the
  // parameters are refused (see bInit).
  static CMemBTree* pclCreate(std::uint64_t nKeySize, std::uint64_t nValueSize, PFNMEMCOMPARE pfnKeyCompare,
                              PFNMEMCOMPARE pfnValueCompare, std::int32_t nMaximum);

  // Empties the tree and sets its parameters: maximum keys per node (0 gives
  // 32; below 2 is refused, as a split would overfill a node), minimum =
  // maximum / 2; a null compare is memcmp; a value size of 0 means keys
  // only. False for a key size of 0, a refused maximum or a work buffer that
  // cannot be had; the tree is then empty and unusable.
  bool bInit(std::uint64_t nKeySize, std::uint64_t nValueSize, PFNMEMCOMPARE pfnKeyCompare,
             PFNMEMCOMPARE pfnValueCompare, std::int32_t nMaximum);

  // Adds the record (key, value); pValue is required with values and
  // ignored without. False, with nothing changed, when the pair is already
  // there, when the key exists in a tree without values, or when a pool
  // cannot supply a node or bucket: every node and bucket the insertion may
  // need is secured before anything changes.
  bool bInsert(const void* pKey, const void* pValue);
  // Removes (key, value), or with a null value (always, without values) the
  // key with all its values. False when the key or value is absent (an
  // inline value must compare equal). Never fails for want of memory: a
  // bucket that cannot move to a smaller class keeps its values where they
  // are. The iterator stays on its record or moves to the next one.
  bool bDelete(const void* pKey, const void* pValue);
  // bDelete of the record at the iterator; false when it is on none.
  bool bDeleteCurrentRecord();

  // Positions the iterator by key (flags SEARCH_EXACT, SEARCH_LAST) and
  // returns the value there (null without values or when nothing is there):
  // without SEARCH_LAST the first value of the key or of the first greater
  // key; with it the last value of the key or of the greatest smaller key
  // (undefined position when none is smaller). With SEARCH_EXACT an absent
  // key answers null and leaves the iterator where it was.
  const void* pSearch(const void* pKey, int nFlags);
  // Positions the iterator on (key, value) or where it would go, and tells
  // whether that pair is there (without values: whether the key is).
  bool bFindRecord(const void* pKey, const void* pValue);
  // The iterator to the record of that rank (0-based, duplicates counted);
  // a negative rank or one at or past the record count gives the end.
  void MoveTo(std::int64_t nRank);
  void GotoFirstRecord();
  void GotoEnd();
  // The key and value at the iterator; null at the end or undefined (and for
  // the value, without values).
  const void* pReadKey() const;
  const void* pReadValue() const;
  // The number of values of the key at the iterator; 0 off a record.
  std::uint32_t nNumDuplicates() const;
  // The number of records (every value counts); 0 when empty.
  std::uint32_t nGetNumRecord() const;
  // The number of distinct keys.
  std::uint32_t nGetNumKeys() const { return m_nDistinctKeys; }

  // Moves the iterator by nCount records (negative: backwards). Flags:
  // ADVANCE_KEYS steps over keys, a key with duplicates being one step, and
  // lands on a key's first value; ADVANCE_PARTIAL accepts a move that made at
  // least one step; ADVANCE_END_OK lets the move stop at the end, without it
  // a move that would stop there stops on the last record one step short.
  // nMoved receives the number of steps made, never negative (0 on
  // failure). A move that fails leaves the iterator where it was; so does
  // any move from an undefined position. With nCount 0: whether the
  // iterator is on a record (with ADVANCE_END_OK: on a record or at the end).
  bool bAdvance(std::int64_t nCount, std::int64_t& nMoved, int nFlags);

  // Builds an empty tree from nCount keys (contiguous, key size each) and
  // nCount values (value size each; ignored without values) in one pass;
  // the iterator ends at the end. False when the tree already holds records
  // (they stay as they are); false with the tree left empty when a pair
  // (without values: a key) repeats or when memory runs short.
  bool bLoadBulk(const void* pKeys, const void* pValues, std::uint32_t nCount);

  // The key compare over the key size.
  int nCompareKey(const void* pFirst, const void* pSecond) const { return m_pfnKeyCompare(pFirst, pSecond, m_nKeySize); }
  // The value compare over the value size.
  int nCompareValue(const void* pFirst, const void* pSecond) const { return _nCompareValue(pFirst, pSecond); }

  // Parameters.
  std::uint64_t nGetKeySize() const { return m_nKeySize; }
  std::uint64_t nGetValueSize() const { return m_nValueSize; }
  std::int32_t nGetMaximum() const { return m_nMaxKeys; }
  std::int32_t nGetMinimum() const { return m_nMinKeys; }

  // Read-only structure walk, for consistency checks: the root (an inner
  // node, null when empty) and the node accessors below.
  const CMemIndexNode* pGetRoot() const { return m_pRoot; }
  static std::uint32_t nNodeKind(const void* pNode) { return *static_cast<const std::uint32_t*>(pNode); }
  const unsigned char* pNodeKey(const CMemIndexNode* pNode, std::uint32_t i) const;
  const void* pNodeChild(const CMemIndexNode* pNode, std::uint32_t i) const;
  const unsigned char* pLeafKey(const CMemDataNode* pLeaf, std::uint32_t i) const;
  // The inline value of slot i, or null when the slot holds a bucket.
  const unsigned char* pLeafValue(const CMemDataNode* pLeaf, std::uint32_t i) const;
  // The bucket of slot i, or null when the value is inline.
  const CMemBucket* pLeafBucket(const CMemDataNode* pLeaf, std::uint32_t i) const;
  // Live objects in the pools (nodes; buckets over every size class).
  std::uint64_t nGetLiveNodes() const { return m_clIndexPool.nGetLiveCount() + m_clDataPool.nGetLiveCount(); }
  std::uint64_t nGetLiveBuckets() const;

 private:
  friend class CMemBucket;
  struct SPath;
  struct SSavedPosition;

  static constexpr int kBucketClasses = 7;

  // Raw node access (unaligned fields through memcpy).
  unsigned char* _IKey(CMemIndexNode* p, std::uint32_t i) const {
    return reinterpret_cast<unsigned char*>(p) + sizeof(CMemIndexNode) + i * m_nKeySize;
  }
  void* _IChild(const CMemIndexNode* p, std::uint32_t i) const;
  void _SetIChild(CMemIndexNode* p, std::uint32_t i, const void* pChild) const;
  unsigned char* _LKey(CMemDataNode* p, std::uint32_t i) const {
    return reinterpret_cast<unsigned char*>(p) + sizeof(CMemDataNode) + i * m_nKeySize;
  }
  unsigned char* _LSlot(CMemDataNode* p, std::uint32_t i) const {
    return reinterpret_cast<unsigned char*>(p) + m_nLeafSlotOffset + i * m_nSlotSize;
  }
  bool _bIsBucket(const CMemDataNode* p, std::uint32_t i) const;
  void _SetBucketBit(CMemDataNode* p, std::uint32_t i, bool bSet) const;
  CMemBucket* _pBucket(CMemDataNode* p, std::uint32_t i) const;
  void _SetBucket(CMemDataNode* p, std::uint32_t i, CMemBucket* pBucket) const;
  std::uint32_t _nDup(CMemDataNode* p, std::uint32_t i) const;
  static std::uint32_t _nRecords(const void* pNode);
  const unsigned char* _pFirstKey(const void* pNode) const;
  CMemDataNode* _pFirstLeaf() const;
  CMemDataNode* _pLastLeaf() const;

  // Searches.
  std::uint32_t _nSearchInner(CMemIndexNode* p, const void* pKey) const;
  std::uint32_t _nSearchLeaf(CMemDataNode* p, const void* pKey, bool& bFound) const;
  CMemDataNode* _pDescend(const void* pKey, SPath* pPath) const;
  int _nCompareValue(const void* a, const void* b) const { return m_pfnValueCompare(a, b, m_nValueSize); }

  // Leaf entries (key, slot, bit) moves.
  void _LeafMove(CMemDataNode* pDst, std::uint32_t nDst, CMemDataNode* pSrc, std::uint32_t nSrc, std::uint32_t n) const;
  void _LeafInsertAt(CMemDataNode* p, std::uint32_t i, const void* pKey, const void* pValue) const;
  void _LeafRemoveAt(CMemDataNode* p, std::uint32_t i) const;
  void _InnerInsertAt(CMemIndexNode* p, std::uint32_t nChild, const void* pChild) const;
  void _InnerRemoveAt(CMemIndexNode* p, std::uint32_t nChild) const;
  void _InnerFixKey(CMemIndexNode* p, std::uint32_t nChild) const;
  void _InnerRecount(CMemIndexNode* p) const;
  void _LeafRecount(CMemDataNode* p) const;

  // Nodes.
  CMemDataNode* _pNewLeaf();
  CMemIndexNode* _pNewInner(std::uint32_t nKind);
  void _FreeLeaf(CMemDataNode* p);
  void _FreeSubtree(void* pNode);
  void _FreeAll();

  // Insertion steps.
  bool _bInsertNewKey(SPath& path, CMemDataNode* pLeaf, std::uint32_t nPos, const void* pKey, const void* pValue);
  bool _bInsertInner(SPath& path, int nLevel, const void* pChild);
  void _SplitInner(CMemIndexNode* pNode, std::uint32_t nChildPos, const void* pChild, CMemIndexNode*& pNew);

  // Deletion steps.
  void _RebalanceLeaf(CMemIndexNode* pParent, std::uint32_t c);
  void _RebalanceInner(CMemIndexNode* pParent, std::uint32_t c);

  // Iterator helpers.
  void _SetPosition(CMemDataNode* pLeaf, std::uint32_t i, bool bLast);
  void _Normalize();
  bool _bOnRecord() const;
  bool _bSubNext();
  bool _bSubPrev();
  void _SubFirst();
  void _SubLast();
  bool _bStepForward(bool bKeys);
  bool _bStepBackward(bool bKeys);
  void _SavePosition(SSavedPosition& saved) const;
  void _RestorePosition(const SSavedPosition& saved);
  bool _bFindPosition(const void* pKey, const void* pValue);
  void _LocateRank(std::uint64_t nRank);

  // Bulk load.
  int _nCompareEntry(const unsigned char* a, const unsigned char* b) const;
  void _QSort(unsigned char* pBase, std::size_t nCount, unsigned char* pSwap);
  void _ShortSort(unsigned char* pBase, std::size_t nCount, unsigned char* pSwap);
  void _SwapEntries(unsigned char* a, unsigned char* b, unsigned char* pSwap) const;

  CTObjAlloc<CMemIndexNode> m_clIndexPool;
  CTObjAlloc<CMemDataNode> m_clDataPool;
  std::int32_t m_nMaxKeys = 0;
  std::int32_t m_nMinKeys = 0;
  PFNMEMCOMPARE m_pfnKeyCompare = nullptr;
  PFNMEMCOMPARE m_pfnValueCompare = nullptr;
  std::uint64_t m_nKeySize = 0;
  std::uint64_t m_nValueSize = 0;
  std::uint64_t m_nSlotSize = 0;
  CTObjAlloc<CMemBucket> m_tabBucketPools[kBucketClasses];
  CMemIndexNode* m_pRoot = nullptr;
  std::uint32_t m_nDistinctKeys = 0;
  CIterator m_clIterator;

  // Derived layout and work space.
  std::uint64_t m_nInnerChildOffset = 0;
  std::uint64_t m_nLeafSlotOffset = 0;
  std::uint64_t m_nLeafBitsOffset = 0;
  unsigned char* m_pSaveBuffer = nullptr;  // key + value of a saved position
};
