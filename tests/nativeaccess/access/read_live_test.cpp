// The driver's data access reading a table of the fixture's server: the
// record limit of its SELECTs (the connection's "KX Cache Size", skips by a
// server offset, none for a float key), searches (found, not found, a
// search without value), a key change that keeps the current record, the
// state questions on an item never browsed, and counts, whole and relative
// (a relative count on an item the description does not know counts
// nothing and leaves the current record as it was).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CNAColumn.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/AccessBrowser.h"
#include "nativeaccess/support/BrowseTable.h"
#include "nativeaccess/support/DriverLiveTest.h"

namespace {

using kxtest::Narrow;

constexpr int knRows = 1200;
// k runs: every value of k is held by five consecutive ids.
constexpr int knRun = 5;

class read_live : public kxtest::DriverLiveTest {
 protected:
  read_live() : DriverLiveTest("kxread_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(OpenSizedConnection());
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id INT NOT NULL PRIMARY KEY, k INT NOT NULL, f DOUBLE NOT NULL, name VARCHAR(20) "
                    "CHARACTER SET utf8mb4 NULL, KEY(k)) ENGINE=InnoDB"));
    std::string insert = "INSERT INTO " + m_sTable + " VALUES ";
    for (int id = 1; id <= knRows; ++id) {
      const std::string name = id == 7 ? "O''Br\\\\ien%_" : id == 8 ? "\xF0\x9F\x98\x80 smile" : "n" + std::to_string(id);
      insert += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", " +
                std::to_string((id - 1) / knRun) + ", " + std::to_string(id % 13) + ".5, '" + name + "')";
    }
    ASSERT_TRUE(Run(insert));
    m_table = std::make_unique<kxtest::BrowseTable>(std::wstring(m_sTable.begin(), m_sTable.end()));
    m_pId = m_table->pclAdd(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    m_pId->SetNullable(0);
    m_pK = m_table->pclAdd(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    m_pK->SetNullable(0);
    m_pF = m_table->pclAdd(L"f", NA_IT_R8, 8, CNAItemDescription::KEY_DUPLICATES);
    m_pF->SetNullable(0);
    m_pName = m_table->pclAdd(L"name", NA_IT_UNICODE, 42, CNAItemDescription::KEY_DUPLICATES);
    m_pName->SetNullable(1);
    m_table->SetBestParseItem(m_pId);
  }

  void TearDown() override {
    m_access.Release();
    m_table.reset();
    DriverLiveTest::TearDown();
  }

  // The data access opened over a connection of cache size `size`.
  CNADataAccess* Open(std::int64_t size) {
    m_pSized->SetCacheSize(size);
    EXPECT_TRUE(m_access.bOpen(m_pDriver, m_table.get(), m_pSized, m_pError)) << Narrow(m_pError->pszGetError());
    return m_access.p;
  }

  int CurrentInt(CNAItemDescription* item) { return m_access.nCurrentInt(item); }

  // The id read in `direction` on `key`: 0 out of file, -2 on failure.
  int Read(const wchar_t* key, eNA_PARSEDIRECTION direction) {
    const int bOk = m_access.p->bHLitxxx(key, direction, 1, 0, nullptr, 0);
    m_access.Note(key);
    if (!bOk) return -2;
    int nOut = 1;
    EXPECT_EQ(1, m_access.p->bHEndehors(key, &nOut));
    return nOut ? 0 : CurrentInt(m_pId);
  }

  std::unique_ptr<kxtest::BrowseTable> m_table;
  CNAItemDescription* m_pId = nullptr;
  CNAItemDescription* m_pK = nullptr;
  CNAItemDescription* m_pF = nullptr;
  CNAItemDescription* m_pName = nullptr;
  kxtest::AccessBrowser m_access;
};

// The LIMIT clause a first read or a skip sends, by cache size, key and
// skip.
TEST_F(read_live, RecordLimitOfTheSelect) {
  struct Case {
    std::int64_t size;
    const wchar_t* key;
    long skip;  // 0: a first read
    const char* clause;  // expected at the end of the text; "" none
    int id;              // the record reached
  };
  const Case cases[] = {
      {-2, L"id", 0, " LIMIT 100", 1},          // the driver's default before any row length
      {0, L"id", 0, "", 1},                     // no limit, never LIMIT 0
      {-1, L"id", 0, "", 1},
      {7, L"id", 0, " LIMIT 7", 1},
      {100, L"id", 1000, " LIMIT 990, 100", 1000},  // the server skips, ten read
      {20, L"id", 1000, " LIMIT 993, 20", 1000},    // a third of the block and one
      {100, L"id", 99, " LIMIT 100", 99},           // less than a block: no offset
      {100, L"k", 0, " LIMIT 100", 1},              // the best browse item tells equal keys apart
      {100, L"f", 0, "", -1},                        // a float key: never limited
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.key) + " size " + std::to_string(c.size) + " skip " + std::to_string(c.skip));
    Open(c.size);
    m_access.bKeepTexts = true;
    m_access.vecSelects.clear();
    if (c.skip == 0) {
      const int id = Read(c.key, NA_PARSE_FIRST);
      ASSERT_GT(id, 0) << Narrow(m_pError->pszGetError());
      if (c.id > 0) {
        EXPECT_EQ(c.id, id);
      }
    } else {
      ASSERT_TRUE(m_access.p->bSkipRecord(c.key, NA_PARSE_FIRST, c.skip, 1, 0, nullptr, 0))
          << Narrow(m_pError->pszGetError());
      m_access.Note(c.key);
      EXPECT_EQ(c.id, CurrentInt(m_pId));
    }
    ASSERT_EQ(1u, m_access.vecSelects.size());
    const std::string& text = m_access.vecSelects[0];
    const std::string clause = c.clause;
    if (clause.empty()) {
      EXPECT_EQ(std::string::npos, text.find("LIMIT")) << text;
    } else {
      ASSERT_GE(text.size(), clause.size());
      EXPECT_EQ(clause, text.substr(text.size() - clause.size())) << text;
    }
  }
}

// Among five records equal on k, going back to the third and reading next
// lands on the fourth; next after the last of a run goes to the next run.
TEST_F(read_live, BrowseOnADuplicateKeyBothWays) {
  Open(7);
  std::vector<int> forward;
  for (int id = Read(L"k", NA_PARSE_FIRST); id > 0 && forward.size() <= knRows; id = Read(L"k", NA_PARSE_NEXT))
    forward.push_back(id);
  ASSERT_EQ(static_cast<std::size_t>(knRows), forward.size());
  for (int i = 0; i < knRows; ++i) ASSERT_EQ(i + 1, forward[static_cast<std::size_t>(i)]);
  std::vector<int> backward;
  for (int id = Read(L"k", NA_PARSE_LAST); id > 0 && backward.size() <= knRows; id = Read(L"k", NA_PARSE_PREVIOUS))
    backward.push_back(id);
  ASSERT_EQ(static_cast<std::size_t>(knRows), backward.size());
  for (int i = 0; i < knRows; ++i) ASSERT_EQ(knRows - i, backward[static_cast<std::size_t>(i)]);
}

// A search reads the first (or last) record of its value; one not found
// reads on past it; the found flag tells which. Without value or item it
// fails at once with user error 85.
TEST_F(read_live, SearchFoundNotFoundAndWithoutValue) {
  CNADataAccess* a = Open(100);
  CAny v;
  v.SetI4(40);
  ASSERT_TRUE(a->bHRecherche(L"k", &v, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE))
      << Narrow(m_pError->pszGetError());
  int nFound = 0, nIn = 0;
  ASSERT_TRUE(a->bEvalHTrouve(L"k", &nFound, &nIn));
  EXPECT_EQ(1, nFound);
  EXPECT_EQ(1, nIn);
  EXPECT_EQ(201, CurrentInt(m_pId));
  // From the last: the last record holding the value.
  ASSERT_TRUE(a->bHRecherche(L"k", &v, 1, 1, NA_LOCKTYPE_NONE, nullptr, 0, NA_WRITEPARSE_NONE));
  EXPECT_EQ(205, CurrentInt(m_pId));
  // A text with quote, backslash, percent and underscore, and four-byte
  // text.
  CAny text;
  text.__SetType(ANY_DSTRW, 0);
  const std::wstring sQuoted = L"O'Br\\ien%_";
  text.SetValue(sQuoted.c_str(), sQuoted.size() * sizeof(wchar_t));
  ASSERT_TRUE(a->bHRecherche(L"name", &text, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE))
      << Narrow(m_pError->pszGetError());
  EXPECT_EQ(7, CurrentInt(m_pId));
  const std::wstring sSmile = L"\U0001F600 smile";
  text.SetValue(sSmile.c_str(), sSmile.size() * sizeof(wchar_t));
  ASSERT_TRUE(a->bHRecherche(L"name", &text, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE));
  EXPECT_EQ(8, CurrentInt(m_pId));
  // Not found: the found flag is down.
  v.SetI4(100000);
  ASSERT_TRUE(a->bHRecherche(L"k", &v, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE));
  ASSERT_TRUE(a->bEvalHTrouve(L"k", &nFound, &nIn));
  EXPECT_EQ(0, nFound);
  // No value: nothing fetched, user error 85.
  m_pError->Reset();
  const int nStatements = static_cast<int>(a->nGetStatementCount());
  EXPECT_EQ(0, a->bHRecherche(L"id", nullptr, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE));
  EXPECT_EQ(85u, m_pError->nGetUserErrorCode()) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(nStatements, static_cast<int>(a->nGetStatementCount()));
  m_pError->Reset();
  EXPECT_EQ(0, a->bHRecherche(nullptr, &v, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE));
  EXPECT_EQ(85u, m_pError->nGetUserErrorCode());
  m_pError->Reset();
  // An item never browsed: user error 5 from both state questions; the
  // cancel answers 1 and makes no statement.
  int nOut = 0;
  EXPECT_EQ(0, a->bHEndehors(L"name2", &nOut));
  EXPECT_EQ(5u, m_pError->nGetUserErrorCode());
  m_pError->Reset();
  EXPECT_EQ(0, a->bEvalHTrouve(L"name2", &nFound, &nIn));
  EXPECT_EQ(5u, m_pError->nGetUserErrorCode());
  m_pError->Reset();
  EXPECT_EQ(1, a->bHAnnuleRecherche(L"name2"));
  EXPECT_EQ(nStatements, static_cast<int>(a->nGetStatementCount()));
}

// After reading R on f, a change to the key k and a next read give the
// record after R in k's order.
TEST_F(read_live, KeyChangeKeepsTheCurrentRecord) {
  CNADataAccess* a = Open(20);
  ASSERT_EQ(1, Read(L"id", NA_PARSE_FIRST));
  ASSERT_TRUE(a->bSkipRecord(L"id", NA_PARSE_FIRST, 503, 1, 0, nullptr, 0)) << Narrow(m_pError->pszGetError());
  ASSERT_EQ(503, CurrentInt(m_pId));
  ASSERT_TRUE(a->bHChangeCle(L"k", NA_WRITEPARSE_NONE)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(504, Read(L"k", NA_PARSE_NEXT)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(505, Read(L"k", NA_PARSE_NEXT));
  EXPECT_EQ(506, Read(L"k", NA_PARSE_NEXT));
  // The same key again, no saved copy: nothing changes.
  ASSERT_TRUE(a->bHChangeCle(L"k", NA_WRITEPARSE_NONE));
  EXPECT_EQ(507, Read(L"k", NA_PARSE_NEXT));
}

// Whole and relative counts; a relative count on an item unknown to the
// description counts nothing and leaves the current record as it was.
TEST_F(read_live, CountsWholeRelativeAndOnAMissingItem) {
  CNADataAccess* a = Open(100);
  long n = -5;
  ASSERT_TRUE(a->bHNbEnr(&n, 16, NA_WRITEPARSE_NONE)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(knRows, n);
  n = -5;
  ASSERT_TRUE(a->bHNbEnr(&n, 32, NA_WRITEPARSE_NONE));
  EXPECT_EQ(0, n);
  ASSERT_EQ(knRows, Read(L"id", NA_PARSE_LAST));
  CNAStatement* st = m_access.pclStatement(L"id");
  ASSERT_NE(nullptr, st);
  ASSERT_TRUE(a->bGetNbEnr(&n, 16, 0, st, NA_PARSE_NEXT)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(0, n);
  ASSERT_TRUE(a->bGetNbEnr(&n, 16, 0, st, NA_PARSE_PREVIOUS));
  EXPECT_EQ(knRows - 1, n);
  // The run of duplicates on k.
  ASSERT_EQ(1, Read(L"k", NA_PARSE_FIRST));
  CNAStatement* stK = m_access.pclStatement(L"k");
  ASSERT_TRUE(a->bGetNbEnr(&n, 16, 0, stK, NA_PARSE_CURRENT));
  EXPECT_EQ(knRun, n);
  // A browse item the description does not know.
  ASSERT_EQ(knRows, Read(L"id", NA_PARSE_LAST));
  CNAStatement* stBad = a->_pclInitStatement(L"nosuchitem");
  ASSERT_NE(nullptr, stBad);
  n = -5;
  EXPECT_EQ(0, a->bGetNbEnr(&n, 16, 0, stBad, NA_PARSE_NEXT));
  EXPECT_EQ(-5, n);
  EXPECT_EQ(knRows, CurrentInt(m_pId));
  stBad->nRelease();
}

}  // namespace
