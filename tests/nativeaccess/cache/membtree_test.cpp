// The in-memory B+ tree: the shapes its rules give, duplicate buckets across
// their classes, positioning, bulk loading, one seeded model run against a
// std::map with the structure checked after every step, and pool shortages
// during insertions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CMemBTree.h"
#include "CMemBucket.h"
#include "FailingChunk.h"
#include "TreeChecker.h"

namespace {

// ---------------------------------------------------------------------------
// Structure checker

struct SWalk {
  const CMemBTree* pTree;
  STreeStats* pStats;
  std::vector<TRecord>* pRecords;
  std::vector<const CMemDataNode*> leaves;
  int nLeafDepth = -1;
  std::uint64_t nInner = 0;
  std::uint64_t nBuckets = 0;
  std::uint64_t nKeys = 0;
  std::ostringstream err;
};

std::string Hex(const unsigned char* p, std::uint64_t n) {
  static const char* kDigits = "0123456789abcdef";
  std::string s;
  for (std::uint64_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

const unsigned char* FirstKeyBelow(const CMemBTree& t, const void* p) {
  while (CMemBTree::nNodeKind(p) != CMemBTree::NODE_LEAF) p = t.pNodeChild(static_cast<const CMemIndexNode*>(p), 0);
  return t.pLeafKey(static_cast<const CMemDataNode*>(p), 0);
}

void CheckBucket(SWalk& w, const CMemBucket* b, std::vector<std::string>& values) {
  const CMemBTree& t = *w.pTree;
  const std::uint64_t vs = t.nGetValueSize();
  const int c = b->nGetClass();
  if (c < 0 || c > 6) {
    w.err << "bucket class " << c << "; ";
    return;
  }
  const std::uint32_t n = b->nGetCount();
  if (c == CMemBucket::kTreeClass) {
    if (w.pStats != nullptr) ++w.pStats->nTreeBuckets;
    if (n < 56) w.err << "tree bucket of " << n << " values; ";
    std::vector<TRecord> inner;
    const std::string e = CheckTree(*b->pTree(), nullptr, &inner);
    if (!e.empty()) w.err << "embedded tree: " << e << "; ";
    for (const TRecord& r : inner) values.push_back(r.first);
    if (b->pTree()->nGetMaximum() != t.nGetMaximum()) w.err << "embedded tree maximum; ";
    return;
  }
  if (w.pStats != nullptr) ++w.pStats->nVectorBuckets[c];
  const auto& th = CMemBucket::mg_stTabSizeThreshold[c];
  if (n < 2 || n > th.nCapacity || n <= th.nShrinkBound)
    w.err << "class " << c << " bucket of " << n << " values; ";
  for (std::uint32_t i = 0; i < n; ++i) {
    values.emplace_back(reinterpret_cast<const char*>(b->pValue(vs, i)), vs);
    if (i > 0 && t.nCompareValue(b->pValue(vs, i - 1), b->pValue(vs, i)) >= 0) w.err << "bucket values out of order; ";
  }
}

std::uint64_t WalkNode(SWalk& w, const void* p, int nDepth, const unsigned char* pLow, const unsigned char* pHigh,
                       bool bRoot, bool bSoleChild) {
  const CMemBTree& t = *w.pTree;
  const std::uint64_t ks = t.nGetKeySize();
  const std::uint32_t nMax = static_cast<std::uint32_t>(t.nGetMaximum());
  const std::uint32_t nMin = static_cast<std::uint32_t>(t.nGetMinimum());
  const std::uint32_t nKind = CMemBTree::nNodeKind(p);
  auto bInBounds = [&](const unsigned char* k) {
    return (pLow == nullptr || t.nCompareKey(k, pLow) >= 0) && (pHigh == nullptr || t.nCompareKey(k, pHigh) < 0);
  };
  if (nKind == CMemBTree::NODE_LEAF) {
    auto* pLeaf = static_cast<const CMemDataNode*>(p);
    w.leaves.push_back(pLeaf);
    if (w.nLeafDepth < 0) w.nLeafDepth = nDepth;
    if (w.nLeafDepth != nDepth) w.err << "leaves at depths " << w.nLeafDepth << " and " << nDepth << "; ";
    const std::uint32_t n = pLeaf->m_nKeyCount;
    if (n > nMax || n == 0 || (!bSoleChild && n < nMin)) w.err << "leaf of " << n << " keys; ";
    std::uint64_t nRecords = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      const unsigned char* k = t.pLeafKey(pLeaf, i);
      if (!bInBounds(k)) w.err << "leaf key " << Hex(k, ks) << " out of its parent's bounds; ";
      if (i > 0 && t.nCompareKey(t.pLeafKey(pLeaf, i - 1), k) >= 0) w.err << "leaf keys out of order; ";
      std::vector<std::string> values;
      if (t.nGetValueSize() == 0) {
        values.emplace_back();
      } else if (const CMemBucket* b = t.pLeafBucket(pLeaf, i)) {
        ++w.nBuckets;
        CheckBucket(w, b, values);
      } else {
        values.emplace_back(reinterpret_cast<const char*>(t.pLeafValue(pLeaf, i)), t.nGetValueSize());
      }
      nRecords += values.size();
      if (w.pRecords != nullptr)
        for (auto& v : values) w.pRecords->emplace_back(std::string(reinterpret_cast<const char*>(k), ks), v);
    }
    ++w.nKeys;
    w.nKeys += n - 1;
    if (pLeaf->m_nRecordCount != nRecords)
      w.err << "leaf record count " << pLeaf->m_nRecordCount << " for " << nRecords << "; ";
    return nRecords;
  }
  const std::uint32_t nWanted = bRoot ? CMemBTree::NODE_ROOT : CMemBTree::NODE_INNER;
  if (nKind != nWanted) w.err << "inner node of kind " << nKind << " (" << nWanted << " wanted); ";
  ++w.nInner;
  auto* pNode = static_cast<const CMemIndexNode*>(p);
  const std::uint32_t n = pNode->m_nKeyCount;
  const std::uint32_t nInnerMin = nMin > 1 ? nMin - 1 : 1;
  if (n > nMax || (!bRoot && n < nInnerMin)) w.err << "inner node of " << n << " keys; ";
  if (bRoot && n == 0 && CMemBTree::nNodeKind(t.pNodeChild(pNode, 0)) != CMemBTree::NODE_LEAF)
    w.err << "root without keys over an inner node; ";
  std::uint64_t nRecords = 0;
  for (std::uint32_t i = 0; i <= n; ++i) {
    const unsigned char* pLo = i == 0 ? pLow : t.pNodeKey(pNode, i - 1);
    const unsigned char* pHi = i == n ? pHigh : t.pNodeKey(pNode, i);
    if (i > 0) {
      const unsigned char* k = t.pNodeKey(pNode, i - 1);
      if (!bInBounds(k)) w.err << "separator out of bounds; ";
      if (std::memcmp(k, FirstKeyBelow(t, t.pNodeChild(pNode, i)), ks) != 0)
        w.err << "separator " << Hex(k, ks) << " is not the first key to its right ("
              << Hex(FirstKeyBelow(t, t.pNodeChild(pNode, i)), ks) << "); ";
    }
    nRecords += WalkNode(w, t.pNodeChild(pNode, i), nDepth + 1, pLo, pHi, false, bRoot && n == 0);
  }
  if (pNode->m_nRecordCount != nRecords) w.err << "inner record count " << pNode->m_nRecordCount << " for " << nRecords << "; ";
  return nRecords;
}

}  // namespace

std::string CheckTree(const CMemBTree& t, STreeStats* pStats, std::vector<TRecord>* pRecords) {
  SWalk w;
  w.pTree = &t;
  w.pStats = pStats;
  w.pRecords = pRecords;
  const CMemIndexNode* pRoot = t.pGetRoot();
  if (pRoot == nullptr) {
    if (t.nGetNumRecord() != 0 || t.nGetNumKeys() != 0) w.err << "empty tree with counts; ";
    if (t.nGetLiveNodes() != 0 || t.nGetLiveBuckets() != 0) w.err << "empty tree with live objects; ";
    return w.err.str();
  }
  const std::uint64_t nRecords = WalkNode(w, pRoot, 0, nullptr, nullptr, true, false);
  if (t.nGetNumRecord() != nRecords) w.err << "root count " << t.nGetNumRecord() << " for " << nRecords << "; ";
  if (t.nGetNumKeys() != w.nKeys) w.err << "distinct keys " << t.nGetNumKeys() << " for " << w.nKeys << "; ";
  for (std::size_t i = 0; i < w.leaves.size(); ++i) {
    const CMemDataNode* pPrev = i > 0 ? w.leaves[i - 1] : nullptr;
    const CMemDataNode* pNext = i + 1 < w.leaves.size() ? w.leaves[i + 1] : nullptr;
    if (w.leaves[i]->m_pPrev != pPrev || w.leaves[i]->m_pNext != pNext) w.err << "leaf links broken at leaf " << i << "; ";
    if (pPrev != nullptr && t.nCompareKey(t.pLeafKey(pPrev, pPrev->m_nKeyCount - 1), t.pLeafKey(w.leaves[i], 0)) >= 0)
      w.err << "keys out of order across leaves " << i - 1 << " and " << i << "; ";
  }
  if (t.nGetLiveNodes() != w.nInner + w.leaves.size())
    w.err << "live nodes " << t.nGetLiveNodes() << " for " << w.nInner + w.leaves.size() << " in the tree; ";
  if (t.nGetLiveBuckets() != w.nBuckets) w.err << "live buckets " << t.nGetLiveBuckets() << " for " << w.nBuckets << "; ";
  if (pStats != nullptr) pStats->nDepth = std::max(pStats->nDepth, w.nLeafDepth);
  return w.err.str();
}

namespace {

// ---------------------------------------------------------------------------
// Keys and values

// Values are 32-bit numbers compared as numbers; slots are unaligned, so
// they are copied out.
int CompareU32(const void* a, const void* b, std::size_t) {
  std::uint32_t x, y;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// A key of `size` bytes whose memcmp order is the order of n: n big-endian,
// then filler bytes.
std::string MakeKey(std::uint32_t n, std::size_t size) {
  std::string k(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    k[i] = static_cast<char>(i < 4 ? (n >> (8 * (3 - i))) & 0xFF : (n * 31 + i) & 0xFF);
  return k;
}

std::uint32_t KeyNumber(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

std::string V(std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::uint32_t ReadU32(const void* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Keys of a keys-only tree with 4-byte keys, in order.
std::vector<std::uint32_t> LeafKeys(const CMemBTree& t, const CMemDataNode* pLeaf) {
  std::vector<std::uint32_t> keys;
  for (std::uint32_t i = 0; i < pLeaf->m_nKeyCount; ++i) keys.push_back(KeyNumber(t.pLeafKey(pLeaf, i)));
  return keys;
}

std::vector<std::vector<std::uint32_t>> AllLeaves(const CMemBTree& t) {
  std::vector<std::vector<std::uint32_t>> out;
  const void* p = t.pGetRoot();
  if (p == nullptr) return out;
  while (CMemBTree::nNodeKind(p) != CMemBTree::NODE_LEAF) p = t.pNodeChild(static_cast<const CMemIndexNode*>(p), 0);
  for (auto* pLeaf = static_cast<const CMemDataNode*>(p); pLeaf != nullptr; pLeaf = pLeaf->m_pNext)
    out.push_back(LeafKeys(t, pLeaf));
  return out;
}

std::vector<std::uint32_t> RootKeys(const CMemBTree& t) {
  std::vector<std::uint32_t> keys;
  for (std::uint32_t i = 0; i < t.pGetRoot()->m_nKeyCount; ++i) keys.push_back(KeyNumber(t.pNodeKey(t.pGetRoot(), i)));
  return keys;
}

using Leaves = std::vector<std::vector<std::uint32_t>>;

// ---------------------------------------------------------------------------
// Shapes

// Ascending 1..7 with a maximum of 4: 5 splits the leaf into {1,2} and
// {3,4,5}; 7 then moves 3 into the left brother rather than splitting, and
// the separator must become 4, the right leaf's new first key. Left at 3, a
// search for 3 would go right and miss it.
TEST(membtree_Shapes, AscendingInsertsRotateIntoTheLeftBrother) {
  CMemBTree t;
  ASSERT_TRUE(t.bInit(4, 0, nullptr, nullptr, 4));
  for (std::uint32_t n = 1; n <= 5; ++n) ASSERT_TRUE(t.bInsert(MakeKey(n, 4).data(), nullptr));
  EXPECT_EQ(AllLeaves(t), (Leaves{{1, 2}, {3, 4, 5}}));
  EXPECT_EQ(RootKeys(t), std::vector<std::uint32_t>{3});
  for (std::uint32_t n = 6; n <= 7; ++n) ASSERT_TRUE(t.bInsert(MakeKey(n, 4).data(), nullptr));
  EXPECT_EQ(AllLeaves(t), (Leaves{{1, 2, 3}, {4, 5, 6, 7}}));
  EXPECT_EQ(RootKeys(t), std::vector<std::uint32_t>{4});
  for (std::uint32_t n = 1; n <= 7; ++n) {
    EXPECT_TRUE(t.bFindRecord(MakeKey(n, 4).data(), nullptr)) << n;
    ASSERT_NE(t.pReadKey(), nullptr);
    EXPECT_EQ(KeyNumber(t.pReadKey()), n);
  }
  EXPECT_EQ(CheckTree(t, nullptr, nullptr), "");
}

// Deletions: a leaf below the minimum borrows from its right brother, and a
// removed first key is replaced in the separator; each separator is then the
// first key of the leaf to its right.
TEST(membtree_Shapes, BorrowAndFirstKeyRemovalKeepSeparatorsTrue) {
  CMemBTree t;
  ASSERT_TRUE(t.bInit(4, 0, nullptr, nullptr, 4));
  for (std::uint32_t n = 1; n <= 7; ++n) ASSERT_TRUE(t.bInsert(MakeKey(n, 4).data(), nullptr));
  ASSERT_TRUE(t.bDelete(MakeKey(1, 4).data(), nullptr));
  ASSERT_TRUE(t.bDelete(MakeKey(2, 4).data(), nullptr));
  EXPECT_EQ(AllLeaves(t), (Leaves{{3, 4}, {5, 6, 7}}));
  EXPECT_EQ(RootKeys(t), std::vector<std::uint32_t>{5});
  ASSERT_TRUE(t.bDelete(MakeKey(5, 4).data(), nullptr));
  EXPECT_EQ(AllLeaves(t), (Leaves{{3, 4}, {6, 7}}));
  EXPECT_EQ(RootKeys(t), std::vector<std::uint32_t>{6});
  // One more below the minimum: the two fit in one leaf; the root stays
  // over it.
  ASSERT_TRUE(t.bDelete(MakeKey(3, 4).data(), nullptr));
  EXPECT_EQ(AllLeaves(t), (Leaves{{4, 6, 7}}));
  EXPECT_EQ(t.pGetRoot()->m_nKeyCount, 0u);
  EXPECT_EQ(CheckTree(t, nullptr, nullptr), "");
  for (std::uint32_t n : {4u, 6u, 7u}) ASSERT_TRUE(t.bDelete(MakeKey(n, 4).data(), nullptr));
  EXPECT_EQ(t.pGetRoot(), nullptr);
  EXPECT_EQ(t.nGetLiveNodes(), 0u);
}

// One key with values 1, 2, 3: an inline value, then a class-0 bucket, then
// a class-1 bucket; the same value again is refused; the counts follow.
TEST(membtree_Shapes, DuplicatesGrowThroughBucketClasses) {
  CMemBTree t;
  ASSERT_TRUE(t.bInit(4, 4, nullptr, CompareU32, 4));
  const std::string k = MakeKey(10, 4);
  ASSERT_TRUE(t.bInsert(k.data(), V(1).data()));
  t.GotoFirstRecord();
  EXPECT_EQ(t.nNumDuplicates(), 1u);
  t.GotoEnd();
  EXPECT_EQ(t.nNumDuplicates(), 0u);
  ASSERT_TRUE(t.bInsert(k.data(), V(3).data()));
  auto bucket = [&]() { return t.pLeafBucket(static_cast<const CMemDataNode*>(t.pNodeChild(t.pGetRoot(), 0)), 0); };
  ASSERT_NE(bucket(), nullptr);
  EXPECT_EQ(bucket()->nGetClass(), 0);
  ASSERT_TRUE(t.bInsert(k.data(), V(2).data()));
  EXPECT_EQ(bucket()->nGetClass(), 1);
  EXPECT_FALSE(t.bInsert(k.data(), V(2).data()));
  EXPECT_EQ(t.nGetNumRecord(), 3u);
  EXPECT_EQ(t.nGetNumKeys(), 1u);
  ASSERT_NE(t.pSearch(k.data(), 0), nullptr);
  EXPECT_EQ(t.nNumDuplicates(), 3u);
  std::vector<std::uint32_t> seen;
  std::int64_t nMoved = 0;
  do seen.push_back(ReadU32(t.pReadValue()));
  while (t.bAdvance(1, nMoved, 0));
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 2, 3}));
  // Back down: class 1 keeps two values (its shrink bound is 1), one value
  // returns inline.
  ASSERT_TRUE(t.bDelete(k.data(), V(1).data()));
  ASSERT_NE(bucket(), nullptr);
  EXPECT_FALSE(t.bDelete(k.data(), V(1).data()));
  ASSERT_TRUE(t.bDelete(k.data(), V(3).data()));
  EXPECT_EQ(bucket(), nullptr);
  EXPECT_EQ(t.nGetLiveBuckets(), 0u);
  EXPECT_EQ(CheckTree(t, nullptr, nullptr), "");
}

// A key reaches a tree bucket at 65 values and returns to a class-5 vector
// when 55 remain; ranks and steps run through both.
TEST(membtree_Shapes, BucketBecomesATreeAt65AndAVectorAt55) {
  for (int nMax : {3, 32}) {
    CMemBTree t;
    ASSERT_TRUE(t.bInit(13, 4, nullptr, CompareU32, nMax));
    const std::string k = MakeKey(5, 13);
    ASSERT_TRUE(t.bInsert(MakeKey(1, 13).data(), V(0).data()));
    ASSERT_TRUE(t.bInsert(MakeKey(9, 13).data(), V(0).data()));
    auto bucket = [&]() {
      t.pSearch(k.data(), CMemBTree::SEARCH_EXACT);
      return t.nNumDuplicates() > 1 ? t.pLeafBucket(nullptr, 0) : nullptr;
    };
    (void)bucket;
    auto bucketClass = [&]() -> int {
      std::vector<TRecord> records;
      STreeStats stats;
      EXPECT_EQ(CheckTree(t, &stats, &records), "");
      if (stats.nTreeBuckets > 0) return 6;
      for (int c = 5; c >= 0; --c)
        if (stats.nVectorBuckets[c] > 0) return c;
      return -1;
    };
    // Values inserted from the top down and back, so that each lands mid-vector.
    for (std::uint32_t i = 0; i < 64; ++i) ASSERT_TRUE(t.bInsert(k.data(), V(i % 2 == 0 ? 1000 - i : i).data()));
    EXPECT_EQ(bucketClass(), 5);
    ASSERT_TRUE(t.bInsert(k.data(), V(500).data()));
    EXPECT_EQ(bucketClass(), 6);
    EXPECT_FALSE(t.bInsert(k.data(), V(500).data()));
    EXPECT_EQ(t.nGetNumRecord(), 67u);
    t.MoveTo(1 + 40);
    ASSERT_NE(t.pReadValue(), nullptr);
    EXPECT_EQ(KeyNumber(t.pReadKey()), 5u);
    std::uint32_t nPrev = ReadU32(t.pReadValue());
    std::int64_t nMoved;
    ASSERT_TRUE(t.bAdvance(1, nMoved, 0));
    EXPECT_GT(ReadU32(t.pReadValue()), nPrev);
    std::vector<std::uint32_t> values;
    for (const void* p = t.pSearch(k.data(), 0); p != nullptr && KeyNumber(t.pReadKey()) == 5; p = t.pReadValue()) {
      values.push_back(ReadU32(p));
      if (!t.bAdvance(1, nMoved, CMemBTree::ADVANCE_END_OK)) break;
    }
    ASSERT_EQ(values.size(), 65u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    for (std::uint32_t i = 0; i < 9; ++i) ASSERT_TRUE(t.bDelete(k.data(), V(values[i * 7]).data()));
    EXPECT_EQ(t.nGetNumRecord(), 58u);
    EXPECT_EQ(bucketClass(), 6) << "56 values: still a tree";
    ASSERT_TRUE(t.bDelete(k.data(), V(values[64]).data()));
    EXPECT_EQ(bucketClass(), 5) << "55 values: a vector again";
    EXPECT_EQ(t.nGetNumRecord(), 57u);
    ASSERT_TRUE(t.bDelete(k.data(), nullptr));
    EXPECT_EQ(t.nGetNumRecord(), 2u);
    EXPECT_EQ(t.nGetLiveBuckets(), 0u);
  }
}

// Positioning by rank and an exact search for an absent key.
TEST(membtree_Shapes, MoveToAndExactSearchBounds) {
  CMemBTree t;
  ASSERT_TRUE(t.bInit(4, 4, nullptr, CompareU32, 4));
  for (std::uint32_t n = 0; n < 20; ++n) ASSERT_TRUE(t.bInsert(MakeKey(n * 2, 4).data(), V(n).data()));
  t.MoveTo(0);
  ASSERT_NE(t.pReadKey(), nullptr);
  EXPECT_EQ(KeyNumber(t.pReadKey()), 0u);
  t.MoveTo(t.nGetNumRecord());
  EXPECT_EQ(t.pReadKey(), nullptr);
  std::int64_t nMoved;
  EXPECT_TRUE(t.bAdvance(0, nMoved, CMemBTree::ADVANCE_END_OK)) << "the end is a position";
  EXPECT_FALSE(t.bAdvance(0, nMoved, 0)) << "but not a record";
  t.MoveTo(7);
  EXPECT_EQ(t.pSearch(MakeKey(5, 4).data(), CMemBTree::SEARCH_EXACT), nullptr);
  ASSERT_NE(t.pReadKey(), nullptr);
  EXPECT_EQ(KeyNumber(t.pReadKey()), 14u) << "an exact search that fails does not move";
  t.MoveTo(-1);
  EXPECT_EQ(t.pReadKey(), nullptr) << "a negative rank gives the end";
  EXPECT_TRUE(t.bAdvance(-1, nMoved, 0));
  EXPECT_EQ(KeyNumber(t.pReadKey()), 38u);
}

// bInit refuses a maximum of 1 (a split would overfill a leaf) and negative
// ones; 0 gives 32 and 16; 2 works through growth and shrinkage.
TEST(membtree_Shapes, MaximumGuards) {
  CMemBTree t;
  EXPECT_FALSE(t.bInit(4, 0, nullptr, nullptr, 1));
  EXPECT_FALSE(t.bInsert(MakeKey(1, 4).data(), nullptr)) << "a refused tree takes nothing";
  EXPECT_FALSE(t.bInit(4, 0, nullptr, nullptr, -3));
  EXPECT_FALSE(t.bInit(0, 0, nullptr, nullptr, 4));
  EXPECT_EQ(CMemBTree::pclCreate(4, 0, nullptr, nullptr, 1), nullptr);
  ASSERT_TRUE(t.bInit(4, 0, nullptr, nullptr, 0));
  EXPECT_EQ(t.nGetMaximum(), 32);
  EXPECT_EQ(t.nGetMinimum(), 16);
  ASSERT_TRUE(t.bInit(4, 0, nullptr, nullptr, 2));
  std::mt19937 rng(7);
  std::vector<std::uint32_t> keys(300);
  for (std::uint32_t i = 0; i < keys.size(); ++i) keys[i] = i;
  std::shuffle(keys.begin(), keys.end(), rng);
  for (std::uint32_t k : keys) {
    ASSERT_TRUE(t.bInsert(MakeKey(k, 4).data(), nullptr));
    ASSERT_EQ(CheckTree(t, nullptr, nullptr), "") << "after inserting " << k;
  }
  std::shuffle(keys.begin(), keys.end(), rng);
  for (std::uint32_t k : keys) {
    ASSERT_TRUE(t.bDelete(MakeKey(k, 4).data(), nullptr));
    ASSERT_EQ(CheckTree(t, nullptr, nullptr), "") << "after deleting " << k;
  }
  EXPECT_EQ(t.pGetRoot(), nullptr);
}

// ---------------------------------------------------------------------------
// Bulk load

TEST(membtree_Bulk, HundredDistinctKeysMakeFourLeavesOf25) {
  CMemBTree t;
  ASSERT_TRUE(t.bInit(4, 4, nullptr, CompareU32, 32));
  std::string keys, values;
  for (std::uint32_t n = 100; n-- > 0;) {
    keys += MakeKey(n, 4);
    values += V(n);
  }
  ASSERT_TRUE(t.bLoadBulk(keys.data(), values.data(), 100));
  const Leaves leaves = AllLeaves(t);
  ASSERT_EQ(leaves.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(leaves[i].size(), 25u);
    EXPECT_EQ(leaves[i].front(), i * 25);
  }
  EXPECT_EQ(CheckTree(t, nullptr, nullptr), "");
  EXPECT_EQ(t.pReadKey(), nullptr) << "the iterator ends at the end";
  EXPECT_FALSE(t.bLoadBulk(keys.data(), values.data(), 100)) << "a tree that holds records";
  EXPECT_EQ(t.nGetNumRecord(), 100u);
}

// A bulk load gives the records the inserts give, duplicate buckets of every
// class included, for each maximum; a repeated pair refuses the load and
// leaves nothing behind.
TEST(membtree_Bulk, LoadEqualsInsertsAndRefusesRepeats) {
  for (int nMax : {2, 3, 4, 32}) {
    for (std::size_t ks : {std::size_t{4}, std::size_t{13}}) {
      std::mt19937 rng(static_cast<unsigned>(nMax * 100 + ks));
      std::set<std::pair<std::uint32_t, std::uint32_t>> pairs;
      // Key 3 gets 100 values (a tree bucket), keys 4 to 9 from 2 to 40.
      for (std::uint32_t v = 0; v < 100; ++v) pairs.insert({3, v * 3});
      for (std::uint32_t k = 4; k < 10; ++k)
        for (std::uint32_t v = 0; v < (k - 3) * 7; ++v) pairs.insert({k, v});
      while (pairs.size() < 1500) pairs.insert({rng() % 3000, rng() % 4});
      std::vector<std::pair<std::uint32_t, std::uint32_t>> order(pairs.begin(), pairs.end());
      std::shuffle(order.begin(), order.end(), rng);
      std::string keys, values;
      CMemBTree inserted;
      ASSERT_TRUE(inserted.bInit(ks, 4, nullptr, CompareU32, nMax));
      for (auto& [k, v] : order) {
        keys += MakeKey(k, ks);
        values += V(v);
        ASSERT_TRUE(inserted.bInsert(MakeKey(k, ks).data(), V(v).data()));
      }
      CMemBTree bulk;
      ASSERT_TRUE(bulk.bInit(ks, 4, nullptr, CompareU32, nMax));
      ASSERT_TRUE(bulk.bLoadBulk(keys.data(), values.data(), static_cast<std::uint32_t>(order.size())));
      std::vector<TRecord> a, b;
      STreeStats stats;
      ASSERT_EQ(CheckTree(bulk, &stats, &a), "") << "max " << nMax << " key size " << ks;
      ASSERT_EQ(CheckTree(inserted, nullptr, &b), "");
      EXPECT_EQ(a, b);
      EXPECT_EQ(stats.nTreeBuckets, 1);
      EXPECT_GT(stats.nVectorBuckets[0] + stats.nVectorBuckets[5], 0);
      EXPECT_EQ(bulk.nGetNumKeys(), inserted.nGetNumKeys());
      // The loaded tree goes on like any other.
      for (std::uint32_t v = 0; v < 60; ++v) ASSERT_TRUE(bulk.bDelete(MakeKey(3, ks).data(), V(v * 3).data()));
      ASSERT_TRUE(bulk.bInsert(MakeKey(3001, ks).data(), V(1).data()));
      ASSERT_EQ(CheckTree(bulk, nullptr, nullptr), "");

      // The same pair twice.
      keys += MakeKey(order[5].first, ks);
      values += V(order[5].second);
      CMemBTree refused;
      ASSERT_TRUE(refused.bInit(ks, 4, nullptr, CompareU32, nMax));
      EXPECT_FALSE(refused.bLoadBulk(keys.data(), values.data(), static_cast<std::uint32_t>(order.size() + 1)));
      EXPECT_EQ(refused.pGetRoot(), nullptr);
      EXPECT_EQ(refused.nGetLiveNodes() + refused.nGetLiveBuckets(), 0u);
    }
  }
  // Without values, a key twice.
  CMemBTree t;
  ASSERT_TRUE(t.bInit(4, 0, nullptr, nullptr, 4));
  const std::string keys = MakeKey(1, 4) + MakeKey(2, 4) + MakeKey(1, 4);
  EXPECT_FALSE(t.bLoadBulk(keys.data(), nullptr, 3));
  EXPECT_TRUE(t.bLoadBulk(keys.data(), nullptr, 2));
  EXPECT_EQ(t.nGetNumRecord(), 2u);
}

// ---------------------------------------------------------------------------
// Model run

using Model = std::map<std::string, std::set<std::uint32_t>>;

struct SPos {
  enum { UNDEFINED, END, RECORD } eState = UNDEFINED;
  std::string key;
  std::uint32_t value = 0;
  bool operator==(const SPos& o) const {
    return eState == o.eState && (eState != RECORD || (key == o.key && value == o.value));
  }
};

std::string Show(const SPos& p) {
  if (p.eState == SPos::UNDEFINED) return "undefined";
  if (p.eState == SPos::END) return "end";
  return "(" + std::to_string(KeyNumber(p.key.data())) + ", " + std::to_string(p.value) + ")";
}

SPos TreePos(CMemBTree& t) {
  SPos p;
  if (const void* k = t.pReadKey()) {
    p.eState = SPos::RECORD;
    p.key.assign(static_cast<const char*>(k), t.nGetKeySize());
    p.value = ReadU32(t.pReadValue());
    return p;
  }
  std::int64_t nMoved;
  p.eState = t.bAdvance(0, nMoved, CMemBTree::ADVANCE_END_OK) ? SPos::END : SPos::UNDEFINED;
  return p;
}

// The model's records in order.
struct SFlat {
  std::vector<std::pair<std::string, std::uint32_t>> records;
  std::vector<std::string> keys;
  std::vector<std::size_t> firstOfKey;  // record index of each key's first value

  explicit SFlat(const Model& m) { Rebuild(m); }
  // Refilled in place: the run rebuilds it after every step.
  void Rebuild(const Model& m) {
    records.clear();
    keys.clear();
    firstOfKey.clear();
    for (auto& [k, vs] : m) {
      keys.push_back(k);
      firstOfKey.push_back(records.size());
      for (std::uint32_t v : vs) records.emplace_back(k, v);
    }
  }
  std::size_t N() const { return records.size(); }
  // Index of the first record not less than (k, v).
  std::size_t LowerBound(const std::string& k, std::uint32_t v) const {
    return static_cast<std::size_t>(std::lower_bound(records.begin(), records.end(), std::make_pair(k, v)) - records.begin());
  }
  SPos At(std::size_t r) const {
    SPos p;
    if (r >= records.size()) {
      p.eState = records.empty() ? SPos::UNDEFINED : SPos::END;
      return p;
    }
    p.eState = SPos::RECORD;
    p.key = records[r].first;
    p.value = records[r].second;
    return p;
  }
  std::size_t Rank(const SPos& p) const { return p.eState == SPos::END ? N() : LowerBound(p.key, p.value); }
  std::size_t KeyRank(const SPos& p) const {
    if (p.eState == SPos::END) return keys.size();
    return static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), p.key) - keys.begin());
  }
};

struct SModelCase {
  int nMax;
  std::size_t nKeySize;
  std::uint32_t nKeyDomain;
  int nSteps;
  std::uint32_t nBulk;  // records bulk-loaded before the run
  int nMinDepth;        // leaf depth the run must reach
};

void PrintTo(const SModelCase& c, std::ostream* os) {
  *os << "maximum " << c.nMax << ", key size " << c.nKeySize << ", " << c.nSteps << " steps";
}

class membtree_Model : public ::testing::TestWithParam<SModelCase> {};

// One seeded run of inserts, deletes (pairs, keys, the current record),
// searches, finds, rank moves and steps against a std::map, alternating
// growth and shrinkage; after every step the structure is checked, its
// records equal the model's and the iterator stands where the model says.
TEST_P(membtree_Model, RandomOperationsMatchTheModel) {
  const SModelCase& tc = GetParam();
  std::mt19937 rng(static_cast<unsigned>(20261211 + tc.nMax * 1000 + tc.nKeySize));
  CMemBTree t;
  ASSERT_TRUE(t.bInit(tc.nKeySize, 4, nullptr, CompareU32, tc.nMax));
  Model model;
  SPos expected;  // undefined on an empty tree
  STreeStats stats;
  int nTreeToVector = 0;
  int nPrevTreeBuckets = 0;
  const std::uint32_t hot[3] = {tc.nKeyDomain / 3, tc.nKeyDomain / 2, tc.nKeyDomain / 2 + 1};
  auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); };
  std::uint32_t nHotShare = 35;  // percent of keys drawn among the hot ones
  auto randomKey = [&](bool& bHot) {
    bHot = pick(100) < nHotShare;
    return bHot ? hot[pick(3)] : pick(tc.nKeyDomain);
  };
  auto randomValue = [&](bool bHot) { return bHot ? pick(200) : pick(6); };
  // An existing record of the model, or a random pair when it is empty.
  auto existing = [&](std::string& k, std::uint32_t& v, bool bShrink) {
    bool bHot = bShrink && pick(100) < 60;
    const std::uint32_t n = bHot ? hot[pick(3)] : randomKey(bHot);
    k = MakeKey(n, tc.nKeySize);
    v = randomValue(bHot);
    auto it = model.lower_bound(k);
    if (it == model.end()) it = model.begin();
    if (it == model.end()) return;
    k = it->first;
    auto vit = it->second.begin();
    std::advance(vit, pick(static_cast<std::uint32_t>(it->second.size())));
    v = *vit;
  };
  // The model side of a successful deletion: where the iterator goes.
  SFlat after(model);
  auto afterDelete = [&]() {
    after.Rebuild(model);
    if (after.N() == 0)
      expected = SPos{};
    else if (expected.eState == SPos::RECORD)
      expected = after.At(after.LowerBound(expected.key, expected.value));
  };

  if (tc.nBulk > 0) {
    std::string keys, values;
    std::uint32_t n = 0;
    while (model.size() < tc.nBulk) {
      const std::string k = MakeKey(pick(tc.nKeyDomain), tc.nKeySize);
      const std::uint32_t v = randomValue(false);
      if (!model[k].insert(v).second) continue;
      keys += k;
      values += V(v);
      ++n;
    }
    ASSERT_TRUE(t.bLoadBulk(keys.data(), values.data(), n));
    expected.eState = SPos::END;
  }

  SFlat flat(model);
  std::vector<TRecord> records;
  for (int step = 0; step < tc.nSteps; ++step) {
    const bool bGrow = (step / 1500) % 2 == 0;
    nHotShare = bGrow ? 50 : 35;
    const std::uint32_t r = pick(100);
    std::ostringstream what;
    if (r < (bGrow ? 50u : 18u)) {
      bool bHot;
      const std::string k = MakeKey(randomKey(bHot), tc.nKeySize);
      const std::uint32_t v = randomValue(bHot);
      what << "insert " << KeyNumber(k.data()) << "," << v;
      const bool bNew = model[k].insert(v).second;
      ASSERT_EQ(t.bInsert(k.data(), V(v).data()), bNew) << what.str();
      if (bNew && flat.N() == 0) expected.eState = SPos::END;
    } else if (r < 55) {
      std::string k;
      std::uint32_t v;
      existing(k, v, !bGrow);
      if (pick(4) == 0) v = randomValue(true);  // sometimes absent
      what << "delete " << KeyNumber(k.data()) << "," << v;
      auto it = model.find(k);
      const bool bThere = it != model.end() && it->second.count(v) != 0;
      ASSERT_EQ(t.bDelete(k.data(), V(v).data()), bThere) << what.str();
      if (bThere) {
        it->second.erase(v);
        if (it->second.empty()) model.erase(it);
        afterDelete();
      }
    } else if (r < 60) {
      // Mostly ordinary keys: wiping a hot key often would keep its
      // bucket from ever growing into a tree.
      std::string k = MakeKey(pick(tc.nKeyDomain), tc.nKeySize);
      if (pick(100) == 0) k = MakeKey(hot[pick(3)], tc.nKeySize);
      auto it = model.lower_bound(k);
      if (it != model.end() && pick(3) != 0) k = it->first;
      what << "delete key " << KeyNumber(k.data());
      const bool bThere = model.erase(k) != 0;
      ASSERT_EQ(t.bDelete(k.data(), nullptr), bThere) << what.str();
      if (bThere) afterDelete();
    } else if (r < 64) {
      what << "delete current " << Show(expected);
      const bool bOn = expected.eState == SPos::RECORD;
      ASSERT_EQ(t.bDeleteCurrentRecord(), bOn) << what.str();
      if (bOn) {
        auto it = model.find(expected.key);
        it->second.erase(expected.value);
        if (it->second.empty()) model.erase(it);
        afterDelete();
      }
    } else if (r < 73) {
      bool bHot;
      const std::string k = MakeKey(randomKey(bHot), tc.nKeySize);
      const int nFlags = static_cast<int>(pick(4));
      what << "search " << KeyNumber(k.data()) << " flags " << nFlags;
      const void* pGot = t.pSearch(k.data(), nFlags);
      auto it = model.find(k);
      const bool bLast = (nFlags & CMemBTree::SEARCH_LAST) != 0;
      if (it != model.end()) {
        expected = flat.At(bLast ? flat.LowerBound(k, *it->second.rbegin()) : flat.LowerBound(k, 0));
      } else if ((nFlags & CMemBTree::SEARCH_EXACT) == 0) {
        const std::size_t i = flat.LowerBound(k, 0);  // first record of a greater key
        if (!bLast)
          expected = flat.At(i);
        else if (i > 0)
          expected = flat.At(i - 1);
        else
          expected = SPos{};
      }
      if (expected.eState == SPos::RECORD && (it != model.end() || (nFlags & CMemBTree::SEARCH_EXACT) == 0)) {
        ASSERT_NE(pGot, nullptr) << what.str();
        EXPECT_EQ(ReadU32(pGot), expected.value) << what.str();
      } else if (it == model.end()) {
        EXPECT_EQ(pGot, nullptr) << what.str();
      }
    } else if (r < 78) {
      std::string k;
      std::uint32_t v;
      existing(k, v, false);
      if (pick(2) == 0) v = randomValue(pick(2) == 0);
      if (pick(4) == 0) k = MakeKey(pick(tc.nKeyDomain), tc.nKeySize);
      what << "find " << KeyNumber(k.data()) << "," << v;
      auto it = model.find(k);
      const bool bThere = it != model.end() && it->second.count(v) != 0;
      ASSERT_EQ(t.bFindRecord(k.data(), V(v).data()), bThere) << what.str();
      expected = flat.At(flat.LowerBound(k, v));
    } else if (r < 83) {
      const std::int64_t nRank = static_cast<std::int64_t>(pick(static_cast<std::uint32_t>(flat.N()) + 5)) - 2;
      what << "move to " << nRank;
      t.MoveTo(nRank);
      expected = nRank < 0 ? flat.At(flat.N()) : flat.At(static_cast<std::size_t>(nRank));
    } else {
      const std::int64_t nCount = static_cast<std::int64_t>(pick(61)) - 30;
      const int nFlags = static_cast<int>(pick(8));
      what << "advance " << nCount << " flags " << nFlags << " from " << Show(expected);
      const bool bKeys = (nFlags & CMemBTree::ADVANCE_KEYS) != 0;
      const bool bPartial = (nFlags & CMemBTree::ADVANCE_PARTIAL) != 0;
      const bool bEndOk = (nFlags & CMemBTree::ADVANCE_END_OK) != 0;
      bool bOk = false;
      std::int64_t nSteps = 0;
      SPos target = expected;
      if (expected.eState == SPos::UNDEFINED) {
        bOk = false;
      } else if (nCount == 0) {
        bOk = expected.eState == SPos::RECORD || bEndOk;
      } else {
        const std::int64_t nAt = static_cast<std::int64_t>(bKeys ? flat.KeyRank(expected) : flat.Rank(expected));
        const std::int64_t nSize = static_cast<std::int64_t>(bKeys ? flat.keys.size() : flat.N());
        const std::int64_t nWant = nCount > 0 ? nCount : -nCount;
        if (nCount > 0)
          nSteps = std::min(nWant, std::max<std::int64_t>(0, (bEndOk ? nSize : nSize - 1) - nAt));
        else
          nSteps = std::min(nWant, nAt);
        bOk = nSteps == nWant || (bPartial && nSteps > 0);
        if (bOk) {
          const std::int64_t nTo = nCount > 0 ? nAt + nSteps : nAt - nSteps;
          target = bKeys ? flat.At(nTo >= nSize ? flat.N() : flat.firstOfKey[static_cast<std::size_t>(nTo)])
                         : flat.At(static_cast<std::size_t>(nTo));
        }
      }
      std::int64_t nMoved = -1;
      ASSERT_EQ(t.bAdvance(nCount, nMoved, nFlags), bOk) << what.str();
      if (nCount != 0) {
        EXPECT_EQ(nMoved, bOk ? nSteps : 0) << what.str();
      }
      if (bOk) expected = target;
    }
    ASSERT_EQ(Show(TreePos(t)), Show(expected)) << "step " << step << ": " << what.str();
    records.clear();
    STreeStats now;
    const std::string e = CheckTree(t, &now, &records);
    ASSERT_EQ(e, "") << "step " << step << ": " << what.str();
    flat.Rebuild(model);
    ASSERT_EQ(records.size(), flat.N()) << "step " << step << ": " << what.str();
    for (std::size_t i = 0; i < records.size(); ++i) {
      ASSERT_EQ(records[i].first, flat.records[i].first) << "step " << step << ": " << what.str();
      ASSERT_EQ(ReadU32(records[i].second.data()), flat.records[i].second) << "step " << step << ": " << what.str();
    }
    ASSERT_EQ(t.nGetNumKeys(), model.size());
    stats.nDepth = std::max(stats.nDepth, now.nDepth);
    stats.nTreeBuckets += now.nTreeBuckets;
    for (int c = 0; c < 6; ++c) stats.nVectorBuckets[c] += now.nVectorBuckets[c];
    // A tree bucket turning back into a vector: tree buckets fewer than
    // before while class 5 vectors are around.
    if (now.nTreeBuckets < nPrevTreeBuckets && now.nVectorBuckets[5] > 0) ++nTreeToVector;
    nPrevTreeBuckets = now.nTreeBuckets;
  }
  // The run reached what it is for: several levels, buckets of every class,
  // tree buckets and their way back.
  EXPECT_GE(stats.nDepth, tc.nMinDepth);
  EXPECT_GT(stats.nTreeBuckets, 0);
  for (int c = 0; c < 6; ++c) EXPECT_GT(stats.nVectorBuckets[c], 0) << "class " << c;
  EXPECT_GT(nTreeToVector, 0);
}

INSTANTIATE_TEST_SUITE_P(membtree, membtree_Model,
                         ::testing::Values(SModelCase{3, 4, 400, 9000, 0, 4}, SModelCase{3, 13, 400, 9000, 0, 4},
                                           SModelCase{4, 4, 500, 9000, 0, 3}, SModelCase{4, 13, 500, 9000, 200, 3},
                                           SModelCase{32, 4, 1300, 3000, 1100, 2},
                                           SModelCase{32, 13, 1300, 3000, 1100, 2}),
                         [](const ::testing::TestParamInfo<SModelCase>& info) {
                           return "max" + std::to_string(info.param.nMax) + "_key" + std::to_string(info.param.nKeySize);
                         });

// ---------------------------------------------------------------------------
// Pool shortages

// The same inserts (new keys, growing buckets, a bucket turning into a tree)
// run with the pools' chunk requests refused from the Nth on, for every N up
// to what the run needs: an insertion that cannot get its nodes or buckets
// answers false and changes nothing (records, structure, iterator); once
// memory is back everything goes in, and everything comes out again.
TEST(membtree_Failure, RefusedChunksLeaveTreeAndModelEqual) {
  for (int nMax : {3, 32}) {
    const std::size_t ks = 13;
    std::mt19937 rng(static_cast<unsigned>(99 + nMax));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> inserts;
    for (int i = 0; i < 700; ++i) {
      if (i % 5 == 0)
        inserts.push_back({7, static_cast<std::uint32_t>(i)});  // one key to 140 values
      else
        inserts.push_back({static_cast<std::uint32_t>(rng() % 500), static_cast<std::uint32_t>(rng() % 3)});
    }
    auto run = [&](long nFailFrom, long& nRefusals) {
      CMemBTree t;
      ASSERT_TRUE(t.bInit(ks, 4, nullptr, CompareU32, nMax));
      Model model;
      std::vector<std::pair<std::uint32_t, std::uint32_t>> refused;
      {
        std::unique_ptr<FailingChunks> failing;
        if (nFailFrom >= 0) failing = std::make_unique<FailingChunks>(nFailFrom);
        for (auto& [kn, v] : inserts) {
          const std::string k = MakeKey(kn, ks);
          const bool bNew = model.count(k) == 0 || model[k].count(v) == 0;
          if (model.empty())
            t.GotoEnd();
          else
            t.MoveTo(static_cast<std::int64_t>(rng() % t.nGetNumRecord()));
          const SPos before = TreePos(t);
          const long nBefore = failing ? failing->nRefused() : 0;
          const bool bGot = t.bInsert(k.data(), V(v).data());
          if (bGot) {
            ASSERT_TRUE(bNew);
            model[k].insert(v);
            continue;
          }
          if (!bNew) continue;
          ASSERT_TRUE(failing && failing->nRefused() > nBefore) << "refused without a shortage";
          refused.push_back({kn, v});
          ASSERT_EQ(Show(TreePos(t)), Show(before));
          std::vector<TRecord> records;
          ASSERT_EQ(CheckTree(t, nullptr, &records), "") << "after a refused insert of " << kn << "," << v;
          SFlat flat(model);
          ASSERT_EQ(records.size(), flat.N());
          for (std::size_t i = 0; i < records.size(); ++i) ASSERT_EQ(records[i].first, flat.records[i].first);
        }
        nRefusals = failing ? failing->nRefused() : 0;
      }
      for (auto& [kn, v] : refused) {
        // A pair refused twice goes in once.
        const bool bNew = model[MakeKey(kn, ks)].insert(v).second;
        ASSERT_EQ(t.bInsert(MakeKey(kn, ks).data(), V(v).data()), bNew);
      }
      std::vector<TRecord> records;
      ASSERT_EQ(CheckTree(t, nullptr, &records), "");
      ASSERT_EQ(records.size(), SFlat(model).N());
      for (auto& [k, vs] : model)
        for (std::uint32_t v : vs) ASSERT_TRUE(t.bDelete(k.data(), V(v).data()));
      EXPECT_EQ(t.pGetRoot(), nullptr);
      EXPECT_EQ(t.nGetLiveNodes() + t.nGetLiveBuckets(), 0u);
    };
    long nRefusals = 0;
    const long nStart = nChunkRequests();
    run(-1, nRefusals);
    const long nNeeded = nChunkRequests() - nStart;
    ASSERT_GT(nNeeded, 5);
    long nTotalRefusals = 0;
    for (long n = 0; n <= nNeeded; ++n) {
      run(n, nRefusals);
      if (HasFatalFailure()) return;
      nTotalRefusals += nRefusals;
    }
    EXPECT_GT(nTotalRefusals, 0);
  }
}

}  // namespace

namespace {

// A bulk load that runs short at any chunk request answers false and leaves
// an empty tree with nothing allocated; with memory back the same load
// succeeds.
TEST(membtree_Failure, RefusedChunksFailABulkLoadCleanly) {
  std::string keys, values;
  std::uint32_t n = 0;
  for (std::uint32_t k = 0; k < 400; ++k) {
    // Key 100 holds 90 values (a tree bucket), every tenth key a few.
    const std::uint32_t nValues = k == 100 ? 90 : (k % 10 == 0 ? 5 : 1);
    for (std::uint32_t v = 0; v < nValues; ++v, ++n) {
      keys += MakeKey(k, 13);
      values += V(v * 11 % 97);
    }
  }
  std::unique_ptr<CMemBTree> reference(CMemBTree::pclCreate(13, 4, nullptr, CompareU32, 4));
  ASSERT_NE(reference, nullptr);
  const long nStart = nChunkRequests();
  ASSERT_TRUE(reference->bLoadBulk(keys.data(), values.data(), n));
  const long nNeeded = nChunkRequests() - nStart;
  std::vector<TRecord> expected;
  ASSERT_EQ(CheckTree(*reference, nullptr, &expected), "");
  ASSERT_EQ(expected.size(), n);
  for (long nSkip = 0; nSkip < nNeeded; ++nSkip) {
    std::unique_ptr<CMemBTree> t(CMemBTree::pclCreate(13, 4, nullptr, CompareU32, 4));
    ASSERT_NE(t, nullptr);
    {
      FailingChunks failing(nSkip);
      EXPECT_FALSE(t->bLoadBulk(keys.data(), values.data(), n)) << "short from chunk " << nSkip;
      EXPECT_GT(failing.nRefused(), 0);
    }
    EXPECT_EQ(t->pGetRoot(), nullptr);
    EXPECT_EQ(t->nGetLiveNodes() + t->nGetLiveBuckets(), 0u);
    ASSERT_TRUE(t->bLoadBulk(keys.data(), values.data(), n));
    std::vector<TRecord> records;
    ASSERT_EQ(CheckTree(*t, nullptr, &records), "");
    EXPECT_EQ(records, expected);
  }
}

}  // namespace
