// The client-side indexes of the table cache over a record cache filled
// through the columns: the order they give and its moves, duplicates, the
// current position, the memo array, and how writes keep them in step.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "CIndexFixedSizeItem.h"
#include "CIndexMemo.h"
#include "CMemBTree.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "tablecache_rows.h"

namespace {

using tablecache::Backward;
using tablecache::Forward;
using tablecache::IndexPtr;
using tablecache::Row;
using tablecache::Rows;
using Order = std::vector<int>;

class tablecache_Index : public BoundRuntimeTest {
 protected:
  kxtest::DriverScope<kxtest::PlainDriver> m_clDriver;
};

Order Reversed(Order o) {
  std::reverse(o.begin(), o.end());
  return o;
}

// Values 5, 3, 5: first gives 1, then 0 and 2; last gives 2; backwards
// the reverse. Step counts move as many records.
TEST_F(tablecache_Index, MovesOverDuplicateKeys) {
  Rows rows;
  rows.Add({5, L"x"});
  rows.Add({3, L"y"});
  rows.Add({5, L"z"});
  IndexPtr index = rows.Index(rows.i4);
  EXPECT_EQ((Order{1, 0, 2}), Forward(index.get()));
  EXPECT_EQ((Order{2, 0, 1}), Backward(index.get()));

  struct Case {
    eNA_PARSEDIRECTION direction;
    int step;
    int expected;
  };
  // From first (record 1), in sequence.
  int n = -2;
  ASSERT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, nullptr));
  ASSERT_EQ(1, n);
  const Case cases[] = {
      {NA_PARSE_NEXT, 2, 2},      {NA_PARSE_NEXT, 1, -1},  // cannot move in full: -1
      {NA_PARSE_PREVIOUS, 2, 1},  {NA_PARSE_PREVIOUS, 1, -1}, {NA_PARSE_FIRST, 3, 2},
      {NA_PARSE_FIRST, 4, -1},    {NA_PARSE_LAST, 2, 0},   {NA_PARSE_LAST, 3, 1},
      {NA_PARSE_LAST, 4, -1},     {NA_PARSE_CURRENT, 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "direction " << c.direction << " step " << c.step);
    int nGot = -2;
    EXPECT_TRUE(index->bGetRecordPosition(c.direction, c.step, &nGot, nullptr));
    EXPECT_EQ(c.expected, nGot);
  }
  EXPECT_EQ(3, index->nGetRecordNbr());
}

// The records under one key follow in cache order past 255 of them (as
// little-endian bytes 256 would sort before 1).
TEST_F(tablecache_Index, ManyRecordsUnderOneKeyKeepCacheOrder) {
  Rows rows;
  const int nCount = 300;
  for (int i = 0; i < nCount; ++i) rows.Add({7, L"same"});
  IndexPtr index = rows.Index(rows.i4);
  Order expected(nCount);
  for (int i = 0; i < nCount; ++i) expected[i] = i;
  EXPECT_EQ(expected, Forward(index.get()));
  EXPECT_EQ(Reversed(expected), Backward(index.get()));
  // Kept in that order by the writes too: 256 removed and added back
  // returns between 255 and 257.
  rows.Update(index.get(), 256, {8, L"same"});
  rows.Update(index.get(), 256, {7, L"same"});
  EXPECT_EQ(expected, Forward(index.get()));
}

// A wide text keys all its characters: values equal over their first half
// are still ordered by the rest (and not by record number).
TEST_F(tablecache_Index, WideTextKeysEveryCharacter) {
  struct Case {
    std::wstring first;
    std::wstring second;
  };
  const Case cases[] = {
      {L"0123456789Z", L"0123456789A"},                    // the 11th character decides
      {L"0123456789abcdefghiZ", L"0123456789abcdefghiY"},  // the 20th (the last) decides
      {L"abcdefghij\u00e9", L"abcdefghij\u00e8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first.begin(), c.first.end()));
    Rows rows;
    rows.Add({0, c.first});
    rows.Add({0, c.second});
    IndexPtr index = rows.Index(rows.uni);
    EXPECT_EQ((Order{1, 0}), Forward(index.get()));
    const auto* item = dynamic_cast<CIndexFixedSizeItem*>(index->pclGetItem());
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(4u * 20 + 2, item->nGetKeySize());
  }
}

// Text orders by its bytes, NULL keyed as the empty text: first.
TEST_F(tablecache_Index, TextAndNullOrder) {
  Rows rows;
  rows.Add({0, L"", std::nullopt, std::string("b")});
  rows.Add({0, L"", std::nullopt, std::string("B")});
  rows.Add({0, L"", std::nullopt, std::nullopt});
  rows.Add({0, L"", std::nullopt, std::string("a")});
  rows.Add({0, L"", std::nullopt, std::string("")});
  IndexPtr index = rows.Index(rows.text);
  EXPECT_EQ((Order{2, 4, 1, 3, 0}), Forward(index.get()));
}

// The duplicate index: the equal entries of the same key before the record.
TEST_F(tablecache_Index, DuplicateIndexCountsEqualEntriesBefore) {
  Rows rows;
  rows.Add({1, L"a"});
  rows.Add({5, L"a"});
  rows.Add({5, L"b"});  // same key, another entry
  rows.Add({5, L"b"});  // identical to the one before
  rows.Add({5, L"b"});
  IndexPtr index = rows.Index(rows.i4);
  const int expected[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 2}};
  int n = -1;
  int nDup = -1;
  ASSERT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, &nDup));
  for (const auto& e : expected) {
    EXPECT_EQ(e[0], n);
    EXPECT_EQ(e[1], nDup);
    EXPECT_EQ(e[0], index->nGetPreviousRecordNbr());
    EXPECT_EQ(n, index->nGetCurrentRecordId());  // the count left the iterator there
    ASSERT_TRUE(index->bGetRecordPosition(NA_PARSE_NEXT, 1, &n, &nDup));
  }
  EXPECT_EQ(-1, n);
  ASSERT_TRUE(index->bGetRecordPosition(NA_PARSE_LAST, 1, &n, &nDup));
  EXPECT_EQ(4, n);
  EXPECT_EQ(2, nDup);
}

// The current position from the original record: by record number, or by
// key and then among duplicates by entry.
TEST_F(tablecache_Index, CurrentPositionFromTheOriginalRecord) {
  Rows rows;
  rows.Add({1, L"a"});
  rows.Add({5, L"p"});
  rows.Add({5, L"q"});
  rows.Add({5, L"q"});
  rows.Add({9, L"z"});
  IndexPtr index = rows.Index(rows.i4);
  struct Case {
    Row original;
    int recordNumber;
    int duplicateIndex;
    int found;
    int current;
  };
  const Case cases[] = {
      {{5, L"q"}, -1, 0, 1, 2},   // the first equal duplicate
      {{5, L"q"}, -1, 1, 1, 3},   // one step on, still equal
      {{5, L"q"}, -1, 2, 0, 2},   // no third equal one: back to where the steps began
      {{5, L"p"}, -1, 1, 0, 1},   // the next one is not equal
      {{5, L"r"}, -1, 0, 0, 1},   // none equal: the first duplicate
      {{4, L"q"}, -1, 0, 0, 1},   // absent key: the first greater key
      {{9, L"z"}, -1, 3, 1, 4},   // a single record: found
      {{5, L"q"}, 3, 0, 1, 3},    // by record number
      {{5, L"q"}, 0, 0, 0, 1},    // (5, 0) is absent: where it would stand
      {{10, L"q"}, -1, 0, 0, -1}, // past every key: the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.original.i4 << " rn " << c.recordNumber << " dup " << c.duplicateIndex);
    rows.Set(c.original);
    ASSERT_TRUE((*rows.layout)->bCopyCurrentRecordToOriginalRecord());
    int nFound = -1;
    EXPECT_TRUE(index->bSetCurrentPos(c.recordNumber, c.duplicateIndex, &nFound));
    EXPECT_EQ(c.found, nFound);
    EXPECT_EQ(c.current, index->nGetCurrentRecordId());
  }
}

// An empty cache, and a cache whose entries are all deleted, answer every
// position with -1 and true.
TEST_F(tablecache_Index, EmptyIndexAnswersMinusOne) {
  for (bool bDeleted : {false, true}) {
    Rows rows;
    if (bDeleted) {
      rows.Add({1, L"a", std::string("m")});
      rows.cache->SetRecordState(0, NA_RECORDSTATE_DELETED);
    }
    for (INAItemDescription* pi : {rows.i4, rows.memo}) {
      IndexPtr index = rows.Index(pi);
      EXPECT_EQ(0, index->nGetRecordNbr());
      for (int d = NA_PARSE_FIRST; d <= NA_PARSE_CURRENT; ++d) {
        int n = 5;
        int nDup = 5;
        EXPECT_TRUE(index->bGetRecordPosition(d, 1, &n, &nDup));
        EXPECT_EQ(-1, n);
        EXPECT_EQ(0, nDup);
      }
      EXPECT_EQ(-1, index->nGetCurrentRecordId());
    }
  }
}

// Deleted entries stay out of a build.
TEST_F(tablecache_Index, DeletedEntriesStayOut) {
  Rows rows;
  rows.Add({3, L"a", std::string("c")});
  rows.Add({1, L"a", std::string("a")});
  rows.Add({2, L"a", std::string("b")});
  rows.cache->SetRecordState(1, NA_RECORDSTATE_DELETED);
  EXPECT_EQ((Order{2, 0}), Forward(rows.Index(rows.i4).get()));
  EXPECT_EQ((Order{2, 0}), Forward(rows.Index(rows.memo).get()));
}

// The memo array: empty values in front in the order added, the others
// by their bytes; a delete keeps the front block right.
TEST_F(tablecache_Index, MemoArray) {
  Rows rows;
  rows.Add({0, L"", std::string("b")});
  rows.Add({0, L"", std::string("")});
  rows.Add({0, L"", std::string("a")});
  rows.Add({0, L"", std::nullopt});
  IndexPtr index = rows.Index(rows.memo);
  auto* memo = dynamic_cast<CIndexMemo*>(index->pclGetItem());
  ASSERT_NE(nullptr, memo);
  EXPECT_EQ((Order{1, 3, 2, 0}), Forward(index.get()));
  EXPECT_EQ(1, memo->nGetFrontEnd());

  rows.Delete(index.get(), 1);
  EXPECT_EQ((Order{3, 2, 0}), Forward(index.get()));
  EXPECT_EQ(0, memo->nGetFrontEnd());

  // Inserted: empty at the end of the front block, others after the last
  // equal value (shorter first on a common start). The current entry
  // stays current as entries come in before it.
  ASSERT_TRUE(index->bSetCurrentPos(2, 0, nullptr));
  ASSERT_EQ(0, index->nGetCurrentRecordId());
  rows.Insert(index.get(), {0, L"", std::string("a")});   // 4
  rows.Insert(index.get(), {0, L"", std::nullopt});       // 5
  rows.Insert(index.get(), {0, L"", std::string("ab")});  // 6
  EXPECT_EQ(0, index->nGetCurrentRecordId());
  EXPECT_EQ(5, index->nGetPreviousRecordNbr());
  EXPECT_EQ((Order{3, 5, 2, 4, 6, 0}), Forward(index.get()));
  EXPECT_EQ(1, memo->nGetFrontEnd());
}

// The memo's current position: an array position, or a search of the
// original value (last equal, else first greater, else the count).
TEST_F(tablecache_Index, MemoCurrentPosition) {
  Rows rows;
  rows.Add({0, L"", std::string("b")});
  rows.Add({0, L"", std::string("a")});
  rows.Add({0, L"", std::string("a")});
  rows.Add({0, L"", std::string("c")});
  IndexPtr index = rows.Index(rows.memo);  // 1, 2, 0, 3
  struct Case {
    std::optional<std::string> original;
    int recordNumber;
    bool result;
    int found;
    int current;
  };
  const Case cases[] = {
      {std::string("a"), -1, true, 1, 2},  {std::string("ab"), -1, true, 0, 0},
      {std::string("d"), -1, true, 0, -1}, {std::nullopt, -1, true, 0, 1},
      {std::string("a"), 3, true, 1, 3},   {std::string("a"), 4, false, 0, 3},
      {std::string("a"), -2, false, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.original.value_or("NULL") << " " << c.recordNumber);
    rows.Set({0, L"", c.original});
    ASSERT_TRUE((*rows.layout)->bCopyCurrentRecordToOriginalRecord());
    int nFound = -1;
    EXPECT_EQ(c.result, index->bSetCurrentPos(c.recordNumber, 0, &nFound));
    EXPECT_EQ(c.found, nFound);
    EXPECT_EQ(c.current, index->nGetCurrentRecordId());
  }
  // Deleting the current entry leaves no current record.
  ASSERT_TRUE(index->bSetCurrentPos(1, 0, nullptr));
  EXPECT_EQ(2, index->nGetCurrentRecordId());
  rows.Delete(index.get(), 2);
  EXPECT_EQ(-1, index->nGetCurrentRecordId());
  int n = 0;
  ASSERT_TRUE(index->bGetRecordPosition(NA_PARSE_CURRENT, 1, &n, nullptr));
  EXPECT_EQ(-1, n);
}

// An update whose key stays the same changes nothing: the position stays
// on its record (removing and adding it back would move it on).
TEST_F(tablecache_Index, UpdateKeepingTheKeyChangesNothing) {
  Rows rows;
  rows.Add({1, L"a", std::string("m1")});
  rows.Add({2, L"b", std::string("m2")});
  rows.Add({3, L"c", std::string("m3")});
  for (INAItemDescription* pi : {rows.i4, rows.memo}) {
    IndexPtr index = rows.Index(pi);
    int n = -1;
    ASSERT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 2, &n, nullptr));
    ASSERT_EQ(1, n);
    // Another column changes; this one keeps its value.
    rows.Update(index.get(), 1, {2, L"B", std::string("m2")});
    EXPECT_EQ(1, index->nGetCurrentRecordId());
    EXPECT_EQ((Order{0, 1, 2}), Forward(index.get()));
  }
}

// Notifications outside the cache change nothing; an update whose old key
// is not the one indexed still leaves the record once, under its new key.
TEST_F(tablecache_Index, NotificationGuards) {
  Rows rows;
  rows.Add({1, L"a", std::string("a")});
  rows.Add({2, L"b", std::string("b")});
  rows.Add({3, L"c", std::string("c")});
  for (INAItemDescription* pi : {rows.i4, rows.memo}) {
    IndexPtr index = rows.Index(pi);
    rows.ReadAsOriginal(0);
    rows.Set({9, L"z", std::string("z")});
    for (eNAQUERYTYPE kind : {NA_QUERY_UPDATE, NA_QUERY_INSERT, NA_QUERY_DELETE}) {
      for (int n : {-1, 3, 1000}) {
        index->OnNotifyOperation(kind, n, 0);
        EXPECT_EQ((Order{0, 1, 2}), Forward(index.get()));
      }
    }
  }
  // The original record is not what record 1 was indexed under (it was
  // read from record 0): record 1 must still be found and moved.
  IndexPtr index = rows.Index(rows.i4);
  rows.ReadAsOriginal(0);
  ASSERT_TRUE(rows.cache->bGetAt((*rows.layout)->pclGetCurrentRecordValue(), 1));
  rows.Set({0, L"b", std::string("b")});
  rows.cache->Update(1, (*rows.layout)->pclGetCurrentRecordValue());
  index->OnNotifyOperation(NA_QUERY_UPDATE, 1, 0);
  EXPECT_EQ((Order{1, 0, 2}), Forward(index.get()));
  EXPECT_EQ(3, index->nGetRecordNbr());
}

// A seeded run of updates, inserts and deletes told to live indexes,
// compared after each step with indexes built afresh over the same cache.
TEST_F(tablecache_Index, NotificationsMatchARebuiltIndex) {
  std::mt19937 rng(20261211);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const std::string memos[] = {"", "a", "ab", "b", "ba", "c"};
  const std::wstring texts[] = {L"", L"a", L"abcdefghijkl", L"abcdefghijkm", L"b"};
  auto randomRow = [&]() {
    Row r;
    r.i4 = pick(6) - 2;
    r.uni = texts[pick(5)];
    const int m = pick(7);
    if (m < 6) r.memo = memos[m];
    return r;
  };
  Rows rows;
  for (int i = 0; i < 40; ++i) rows.Add(randomRow());
  INAItemDescription* items[] = {rows.i4, rows.uni, rows.memo};
  std::vector<IndexPtr> live;
  for (INAItemDescription* pi : items) live.push_back(rows.Index(pi));
  std::vector<int> active(40);
  for (int i = 0; i < 40; ++i) active[i] = i;

  // The memo values in browse order (equal values keep the order they
  // were added in, so record numbers among equal ones may differ from a
  // fresh build).
  auto memoValues = [&](const Order& order) {
    std::vector<std::string> values;
    for (int n : order) {
      CAny v;
      EXPECT_TRUE(rows.cache->bGetAt((*rows.layout)->pclGetCurrentRecordValue(), n));
      EXPECT_TRUE(rows.col(rows.memo)->bGetCurrentValue(&v, 0));
      const char* psz = nullptr;
      values.push_back(v.bIsNull() || v.nGetPCASTR(&psz) > 99 || psz == nullptr ? "" : psz);
    }
    return values;
  };

  for (int step = 0; step < 150; ++step) {
    SCOPED_TRACE(step);
    const int op = active.empty() ? 1 : pick(3);
    if (op == 0) {
      const int n = active[pick(static_cast<int>(active.size()))];
      rows.Update(nullptr, n, randomRow());
      for (auto& index : live) index->OnNotifyOperation(NA_QUERY_UPDATE, n, 0);
    } else if (op == 1) {
      const int n = rows.Add(randomRow());
      for (auto& index : live) index->OnNotifyOperation(NA_QUERY_INSERT, n, 0);
      active.push_back(n);
    } else {
      const int k = pick(static_cast<int>(active.size()));
      const int n = active[k];
      active.erase(active.begin() + k);
      rows.ReadAsOriginal(n);
      rows.cache->SetRecordState(n, NA_RECORDSTATE_DELETED);
      for (auto& index : live) index->OnNotifyOperation(NA_QUERY_DELETE, n, 0);
    }
    for (std::size_t i = 0; i < live.size(); ++i) {
      IndexPtr fresh = rows.Index(items[i]);
      const Order got = Forward(live[i].get());
      const Order want = Forward(fresh.get());
      ASSERT_EQ(want.size(), active.size());
      if (items[i] == rows.memo) {
        EXPECT_EQ(memoValues(want), memoValues(got));
        Order a = got;
        Order b = want;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(b, a);
      } else {
        EXPECT_EQ(want, got);
      }
    }
  }
}

}  // namespace
