// The table cache: its parsing statement, obtaining the full cache (saved
// positions around it, failures, the table cache freed while it works),
// counts, indexes made over it and the search value they start from.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CNADataAccess.h"
#include "CNAStatement.h"
#include "CNATableCache.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "tablecache_rows.h"

namespace {

using tablecache::Forward;
using tablecache::IndexPtr;
using tablecache::Row;
using tablecache::Rows;
using Order = std::vector<int>;

std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += static_cast<char>(*psz);
  return s;
}

// A data access that keeps saved positions as a set of identifiers and
// records every call with its arguments; hooks run inside a save or a
// restore (to free the table cache there).
class RecordingAccess : public CNADataAccess {
 public:
  RecordingAccess() : CNADataAccess(nullptr, nullptr, nullptr) { AddRef(); }
  CNAStatement* pclGetCurrentStatement() override { return current; }
  int bHSauvePosition(int* position, const wchar_t* item, unsigned int kind) override {
    *position = ++m_nLast;
    registered.insert(*position);
    calls.push_back("save " + Narrow(item) + " " + std::to_string(kind) + " -> " + std::to_string(*position));
    if (onSave) onSave();
    return 1;
  }
  int bHRetourPosition(int position, wchar_t* item, int keep, unsigned int kind) override {
    calls.push_back("restore " + std::to_string(position) + " keep " + std::to_string(keep) + " " +
                    std::to_string(kind));
    const bool bKnown = registered.count(position) != 0;
    // The item name comes back in the caller's 256 characters.
    for (int i = 0; i < 255; ++i) item[i] = L'k';
    item[255] = 0;
    if (keep == 0) registered.erase(position);
    if (onRestore) onRestore();
    return bKnown ? 1 : 0;
  }
  int bHLiberePosition(int position) override {
    calls.push_back("free " + std::to_string(position));
    registered.erase(position);
    return 1;
  }

  CNAStatement* current = nullptr;
  std::vector<std::string> calls;
  std::set<int> registered;
  std::function<void()> onSave;
  std::function<void()> onRestore;

 private:
  int m_nLast = 0;
};

class tablecache_Cache : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    m_pRows = std::make_unique<Rows>();
    m_pclStatement = new CNAStatement((*rows().layout).get());
    m_pclStatement->AddRef();
    m_pclStatement->SetCacheKey(L"ITEM0");
  }
  void TearDown() override {
    if (m_pclStatement != nullptr) m_pclStatement->nRelease();
    m_pRows.reset();
    BoundRuntimeTest::TearDown();
  }
  // Made once the runtime is bound, gone before it is unbound.
  Rows& rows() { return *m_pRows; }
  // A table cache held once (as its data access holds it).
  CNATableCache* NewTableCache() {
    auto* p = new CNATableCache(rows().layout->error(), &access);
    p->dwAddRef();
    return p;
  }
  // Rows into the parsing statement's record cache, as its fetch puts them.
  void Fill(const std::vector<Row>& values) {
    CNARecordCache* pclCache = m_pclStatement->pclGetRecordCacheNoRef();
    ASSERT_NE(nullptr, pclCache);
    for (const Row& r : values) {
      rows().Set(r);
      ASSERT_GE(pclCache->nAjoute((*rows().layout)->pclGetCurrentRecordValue()), 0);
    }
  }

  kxtest::DriverScope<kxtest::PlainDriver> m_clDriver;
  std::unique_ptr<Rows> m_pRows;
  RecordingAccess access;
  CNAStatement* m_pclStatement = nullptr;
};

TEST_F(tablecache_Cache, ParsingStatement) {
  Rows& rows = this->rows();
  CNATableCache* tc = NewTableCache();
  EXPECT_TRUE(tc->bInitDone());
  EXPECT_TRUE(tc->bCacheCompleted());
  EXPECT_TRUE(tc->bIsEmpty());
  const auto nRefs = m_pclStatement->nGetInternalCount();
  EXPECT_TRUE(tc->bSetStatementParse(m_pclStatement));
  EXPECT_EQ(nRefs + 1, m_pclStatement->nGetInternalCount());
  EXPECT_TRUE(m_pclStatement->bCacheEnabled());
  EXPECT_TRUE(tc->bIsStatementParse(m_pclStatement));
  EXPECT_FALSE(tc->bInitDone());
  EXPECT_FALSE(tc->bCacheCompleted());
  EXPECT_TRUE(tc->bIsRecordCache(m_pclStatement->pclGetRecordCacheNoRef()));
  EXPECT_TRUE(tc->bFilterEquals(nullptr));

  // A second statement does not replace the first, but caches too.
  kxtest::Held<CNAStatement> other((*rows.layout).get());
  EXPECT_TRUE(tc->bSetStatementParse(other.get()));
  EXPECT_TRUE(tc->bIsStatementParse(m_pclStatement));
  EXPECT_FALSE(tc->bIsStatementParse(other.get()));
  EXPECT_TRUE(other->bCacheEnabled());
  EXPECT_FALSE(tc->bIsRecordCache(other->pclGetRecordCacheNoRef()));
  tc->dwRelease();
  EXPECT_EQ(nRefs, m_pclStatement->nGetInternalCount());
}

// A completion that fails keeps the parsing statement and leaves no saved
// position registered; the next call tries again and succeeds.
TEST_F(tablecache_Cache, CompletionFailsThenSucceeds) {
  Rows& rows = this->rows();
  CNATableCache* tc = NewTableCache();
  ASSERT_TRUE(tc->bSetStatementParse(m_pclStatement));
  Fill({{3, L"c"}, {1, L"a"}, {2, L"b"}});
  CNARecordCache* pclCache = m_pclStatement->pclGetRecordCacheNoRef();

  EXPECT_EQ(nullptr, tc->pclGetFullCache());
  EXPECT_EQ((std::vector<std::string>{"save ITEM0 0 -> 1", "free 1"}), access.calls);
  EXPECT_TRUE(access.registered.empty());
  EXPECT_TRUE(tc->bIsStatementParse(m_pclStatement));
  EXPECT_EQ(0, tc->llGetRecordNbr());
  EXPECT_EQ(nullptr, tc->pclGetCacheIndex(m_pclStatement, rows.col(rows.i4)));
  EXPECT_TRUE(access.registered.empty());

  access.calls.clear();
  pclCache->SetFetchComplete();
  const auto nRefs = m_pclStatement->nGetInternalCount();
  EXPECT_EQ(pclCache, tc->pclGetFullCache());
  EXPECT_EQ((std::vector<std::string>{"save ITEM0 0 -> 4", "restore 4 keep 0 0"}), access.calls);
  EXPECT_TRUE(access.registered.empty());
  EXPECT_FALSE(tc->bIsStatementParse(m_pclStatement));
  EXPECT_EQ(nRefs - 1, m_pclStatement->nGetInternalCount());
  EXPECT_FALSE(tc->bInitDone());
  EXPECT_TRUE(tc->bCacheCompleted());
  EXPECT_TRUE(tc->bIsRecordCache(pclCache));
  EXPECT_FALSE(tc->bIsEmpty());

  // Obtained once: no further save.
  access.calls.clear();
  pclCache->SetRecordState(1, NA_RECORDSTATE_DELETED);
  EXPECT_EQ(3, tc->llGetRecordNbr());
  EXPECT_EQ(2, tc->llGetRecordNbrActive());
  EXPECT_TRUE(access.calls.empty());

  // An index over it, for another statement.
  CNATableCacheIndex* pclIndex = tc->pclGetCacheIndex(m_pclStatement, rows.col(rows.i4));
  ASSERT_NE(nullptr, pclIndex);
  IndexPtr index(pclIndex);
  EXPECT_EQ((Order{2, 0}), Forward(index.get()));
  // An index that cannot be built is not handed out (a memo column
  // outside any layout has no memo position).
  kxtest::Held<CNAColumn> loose(rows.layout->error(), rows.memo);
  EXPECT_EQ(nullptr, tc->pclGetCacheIndex(m_pclStatement, loose.get()));
  tc->dwRelease();  // the index keeps the cache
  EXPECT_EQ((Order{2, 0}), Forward(index.get()));
}

// The parsing statement being the data access's current statement, its
// position is not saved.
TEST_F(tablecache_Cache, CurrentStatementSavesNothing) {
  CNATableCache* tc = NewTableCache();
  ASSERT_TRUE(tc->bSetStatementParse(m_pclStatement));
  Fill({{1, L"a"}});
  access.current = m_pclStatement;
  EXPECT_EQ(nullptr, tc->pclGetFullCache());
  m_pclStatement->pclGetRecordCacheNoRef()->SetFetchComplete();
  EXPECT_NE(nullptr, tc->pclGetFullCache());
  EXPECT_TRUE(access.calls.empty());
  tc->dwRelease();
}

// The data access frees the table cache (and the test its statement)
// while the full cache is obtained: nothing touches freed memory.
TEST_F(tablecache_Cache, FreedWhileObtainingTheFullCache) {
  Rows& rows = this->rows();
  for (int nWhere : {0, 1, 2}) {
    SCOPED_TRACE(nWhere);
    CNATableCache* tc = NewTableCache();
    CNAStatement* pclStatement = new CNAStatement((*rows.layout).get());
    pclStatement->AddRef();
    ASSERT_TRUE(tc->bSetStatementParse(pclStatement));
    if (nWhere != 2) pclStatement->pclGetRecordCacheNoRef()->SetFetchComplete();
    auto freeBoth = [&]() {
      tc->dwRelease();
      pclStatement->nRelease();
    };
    access.onSave = nWhere == 0 || nWhere == 2 ? std::function<void()>(freeBoth) : nullptr;
    access.onRestore = nWhere == 1 ? std::function<void()>(freeBoth) : nullptr;
    EXPECT_EQ(nullptr, tc->pclGetFullCache());
    EXPECT_TRUE(access.registered.empty());
    access.onSave = nullptr;
    access.onRestore = nullptr;
  }
}

// The index starts first and last from the statement's search value while
// its user search is set.
TEST_F(tablecache_Cache, FirstAndLastFromTheSearchValue) {
  Rows& rows = this->rows();
  rows.Add({1, L"", std::string("a")});
  rows.Add({3, L"", std::string("c")});
  rows.Add({3, L"", std::string("c")});
  rows.Add({5, L"", std::string("e")});
  IndexPtr byI4 = rows.Index(rows.i4, m_pclStatement);
  IndexPtr byMemo = rows.Index(rows.memo, m_pclStatement);
  struct Case {
    int i4;
    const char* memo;
    int first;
    int last;
  };
  const Case cases[] = {
      {3, "c", 1, 2}, {4, "d", 3, 2}, {0, "", 0, -1}, {9, "z", -1, 3}, {1, "a", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.i4);
    for (CNATableCacheIndex* index : {byI4.get(), byMemo.get()}) {
      CAny v;
      if (index == byI4.get()) {
        v.SetI4(c.i4);
      } else {
        tablecache::SetAnsi(&v, c.memo);
      }
      m_pclStatement->pclGetUserSearch()->SetUserSearch(rows.i4, &v, 1);
      int n = -2;
      EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, nullptr));
      EXPECT_EQ(c.first, n);
      EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_LAST, 1, &n, nullptr));
      EXPECT_EQ(c.last, n);
    }
  }
  // Cancelled: the whole index again.
  m_pclStatement->pclGetUserSearch()->CancelUserSearch();
  int n = -2;
  EXPECT_TRUE(byI4->bGetRecordPosition(NA_PARSE_LAST, 1, &n, nullptr));
  EXPECT_EQ(3, n);
  EXPECT_TRUE(byMemo->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, nullptr));
  EXPECT_EQ(0, n);
}

}  // namespace
