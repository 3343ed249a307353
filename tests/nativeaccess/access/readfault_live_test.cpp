// The data access reading a table whose server connection is killed under
// it (KILL from a session of the test, the library's sessions found by
// their user in the server's process list): between two blocks of a
// browse, part way through a block already received, while the server is
// still sending a block, before and during a count, and inside a
// transaction the connection itself began and wrote in.
//
// What must hold: nothing crashes; a read that meets the lost connection
// fails with the client's code (2013 lost during a query, 2006 gone) and
// the table's name in the data access's error object, never an end of file
// with success; the rows delivered are the true order without gap or
// repeat; outside a transaction the connection is opened again and the
// browse goes on, and a new first read reads every row; a count fails or
// is right, never wrong; inside a transaction every read fails (nothing is
// reopened behind the transaction's back) and only the committed rows are
// left on the server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
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

constexpr int knRows = 300;
constexpr unsigned int knLostDuringQuery = 2013;
constexpr unsigned int knServerGone = 2006;

// The answer of one read: a record (its id), the end of the file, or a
// failure (the error object's database code and text).
struct ReadAnswer {
  enum Kind { Record, OutOfFile, Failed } kind = Failed;
  int id = 0;
  unsigned int code = 0;
  std::string text;
};

class readfault_live : public kxtest::DriverLiveTest {
 protected:
  readfault_live() : DriverLiveTest("kxrfault_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_sDelay = m_sTable + "_d";
    m_sView = m_sTable + "_v";
    std::string failure;
    m_pKiller = m_client->Connect(m_c, failure);
    ASSERT_NE(nullptr, m_pKiller) << failure;
    m_sOwnId = Value("SELECT CONNECTION_ID()");
    m_sKillerId = m_client->QueryValue(m_pKiller, "SELECT CONNECTION_ID()", failure);
    ASSERT_TRUE(failure.empty()) << failure;
    ASSERT_NO_FATAL_FAILURE(OpenSizedConnection());
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id INT NOT NULL PRIMARY KEY, k INT NOT NULL, name VARCHAR(20) NULL, KEY(k)) ENGINE=InnoDB"));
    // The view reads the table slowly from row `knSlowFrom` on, each row
    // taking the delay the delay table holds (0 unless a test sets it):
    // a SELECT of the view can be caught while the server sends its rows.
    ASSERT_TRUE(Run("CREATE TABLE " + m_sDelay + " (d DOUBLE NOT NULL) ENGINE=InnoDB"));
    ASSERT_TRUE(Run("INSERT INTO " + m_sDelay + " VALUES (0)"));
    ASSERT_TRUE(Run("CREATE VIEW " + m_sView + " AS SELECT id, k, name FROM " + m_sTable + " WHERE id < " +
                    std::to_string(knSlowFrom) + " OR SLEEP((SELECT d FROM " + m_sDelay + ")) = 0"));
  }

  void TearDown() override {
    m_access.Release();
    m_table.reset();
    if (m_pKiller != nullptr) {
      m_client->Close(m_pKiller);
      m_pKiller = nullptr;
    }
    if (m_pSession != nullptr) {
      std::string failure;
      m_client->Execute(m_pSession, "DROP VIEW IF EXISTS " + m_sView, failure);
      m_client->Execute(m_pSession, "DROP TABLE IF EXISTS " + m_sDelay, failure);
    }
    DriverLiveTest::TearDown();
  }

  // Rows 1 to knRows of the table, committed from the test's session.
  void Fill() {
    std::string insert = "INSERT INTO " + m_sTable + " VALUES ";
    for (int id = 1; id <= knRows; ++id)
      insert += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", " + std::to_string((id - 1) / 5) +
                ", 'n" + std::to_string(id) + "')";
    ASSERT_TRUE(Run(insert));
  }

  // The data access over `name` (the table or its view) on the sized
  // connection, whose cache size becomes `size`.
  CNADataAccess* Open(const std::string& name, std::int64_t size) {
    m_table = std::make_unique<kxtest::BrowseTable>(std::wstring(name.begin(), name.end()));
    m_pId = m_table->pclAdd(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    m_pId->SetNullable(0);
    CNAItemDescription* pK = m_table->pclAdd(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    pK->SetNullable(0);
    m_table->pclAdd(L"name", NA_IT_UNICODE, 42, 0)->SetNullable(1);
    m_table->SetBestParseItem(m_pId);
    m_pSized->SetCacheSize(size);
    EXPECT_TRUE(m_access.bOpen(m_pDriver, m_table.get(), m_pSized, m_pError)) << Narrow(m_pError->pszGetError());
    return m_access.p;
  }

  int CurrentId() { return m_access.nCurrentInt(m_pId); }

  ReadAnswer Read(const wchar_t* key, eNA_PARSEDIRECTION direction) {
    m_pError->Reset();
    ReadAnswer a;
    if (!m_access.p->bHLitxxx(key, direction, 1, 0, nullptr, 0)) {
      a.kind = ReadAnswer::Failed;
      a.code = m_pError->dwGetDataBaseErrorCode();
      a.text = Narrow(m_pError->pszGetError());
      return a;
    }
    int nOut = 1;
    EXPECT_EQ(1, m_access.p->bHEndehors(key, &nOut));
    a.kind = nOut ? ReadAnswer::OutOfFile : ReadAnswer::Record;
    a.id = nOut ? 0 : CurrentId();
    return a;
  }

  // A failed read is the lost connection's: the client's code and the
  // name of the table read.
  void ExpectLost(const ReadAnswer& a, const std::string& name) {
    EXPECT_TRUE(a.code == knLostDuringQuery || a.code == knServerGone) << a.code << ": " << a.text;
    EXPECT_NE(std::string::npos, a.text.find(name)) << a.text;
  }

  // Browses on id (backward: to the start) from where the access stands
  // to the end of the file, outside a transaction: the ids delivered go to `ids`; a failure must be
  // the lost connection's and is read past (the connection is opened again
  // by then); more than `maxFailures` in a row fails the test. The number
  // of failures met.
  int BrowseToTheEnd(const std::string& name, std::vector<int>& ids, bool backward = false, int maxFailures = 2) {
    int nFailures = 0;
    int nInARow = 0;
    while (ids.size() <= static_cast<std::size_t>(knRows)) {
      const ReadAnswer a = Read(L"id", backward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT);
      if (a.kind == ReadAnswer::OutOfFile) break;
      if (a.kind == ReadAnswer::Failed) {
        ExpectLost(a, name);
        ++nFailures;
        if (++nInARow > maxFailures) {
          ADD_FAILURE() << "the browse does not go on after the connection was lost: " << a.text;
          break;
        }
        continue;
      }
      nInARow = 0;
      ids.push_back(a.id);
    }
    return nFailures;
  }

  // The ids of a first read and the next reads (of a last read and the
  // previous reads when `backward`), `count` records in all (and no read
  // more).
  std::vector<int> ReadFirst(int count, bool backward = false) {
    std::vector<int> ids;
    for (int i = 0; i < count; ++i) {
      const eNA_PARSEDIRECTION e =
          i == 0 ? (backward ? NA_PARSE_LAST : NA_PARSE_FIRST) : (backward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT);
      const ReadAnswer a = Read(L"id", e);
      EXPECT_EQ(ReadAnswer::Record, a.kind) << a.text;
      if (a.kind != ReadAnswer::Record) break;
      ids.push_back(a.id);
    }
    return ids;
  }

  // The ids read from a new first read to the end, all in one go.
  std::vector<int> ReadAll() {
    std::vector<int> ids;
    for (ReadAnswer a = Read(L"id", NA_PARSE_FIRST); ids.size() <= static_cast<std::size_t>(knRows);
         a = Read(L"id", NA_PARSE_NEXT)) {
      if (a.kind != ReadAnswer::Record) {
        EXPECT_EQ(ReadAnswer::OutOfFile, a.kind) << a.text;
        break;
      }
      ids.push_back(a.id);
    }
    return ids;
  }

  // The ids of the library's sessions: every one of the test user's but
  // the test's own two.
  std::vector<std::string> LibrarySessions() {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    EXPECT_TRUE(m_client->Query(m_pKiller,
                                "SELECT ID FROM information_schema.PROCESSLIST WHERE USER = '" + m_c.user +
                                    "' AND ID NOT IN (" + m_sOwnId + ", " + m_sKillerId + ")",
                                result, failure))
        << failure;
    std::vector<std::string> ids;
    for (const auto& row : result.rows)
      if (!row.empty() && row[0]) ids.push_back(*row[0]);
    return ids;
  }

  // Kills every session of the library now.
  void KillLibrarySessions() {
    const std::vector<std::string> ids = LibrarySessions();
    ASSERT_FALSE(ids.empty());
    for (const std::string& id : ids) {
      std::string failure;
      EXPECT_TRUE(m_client->Execute(m_pKiller, "KILL " + id, failure)) << failure;
    }
  }

  // Runs `work` while a second thread watches the process list and kills
  // the library's session as soon as it runs a statement whose text
  // begins with `prefix`. True when it killed one.
  template <typename Work>
  bool KillWhileRunning(const std::string& prefix, Work work) {
    std::atomic<bool> bDone{false};
    std::atomic<bool> bKilled{false};
    std::thread watcher([&] {
      const std::string sql = "SELECT ID FROM information_schema.PROCESSLIST WHERE USER = '" + m_c.user +
                              "' AND ID NOT IN (" + m_sOwnId + ", " + m_sKillerId + ") AND INFO LIKE '" +
                              prefix + "%'";
      while (!bDone && !bKilled) {
        std::string failure;
        const std::string id = m_client->QueryValue(m_pKiller, sql, failure);
        if (!id.empty()) {
          bKilled = m_client->Execute(m_pKiller, "KILL " + id, failure);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
    work();
    bDone = true;
    watcher.join();
    return bKilled;
  }

  void SetDelay(double seconds) { ASSERT_TRUE(Run("UPDATE " + m_sDelay + " SET d = " + std::to_string(seconds))); }

  // from, from + 1 ... to; or downward when to < from.
  static std::vector<int> Ids(int from, int to) {
    std::vector<int> ids;
    for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1) ids.push_back(i);
    return ids;
  }

  static constexpr int knSlowFrom = 150;

  std::unique_ptr<kxtest::BrowseTable> m_table;
  CNAItemDescription* m_pId = nullptr;
  kxtest::AccessBrowser m_access;
  void* m_pKiller = nullptr;
  std::string m_sOwnId, m_sKillerId;
  std::string m_sDelay, m_sView;
};

// Killed right after the last row of a block, and part way through a block
// the client already holds: the rows of the block come as they are, the
// next block's SELECT meets the lost connection and fails; the browse then
// goes on where it stopped; a new first read reads every row.
TEST_F(readfault_live, KilledBetweenBlocksAndWithinABlockOutsideATransaction) {
  Fill();
  struct Case {
    const char* what;
    std::int64_t size;
    int readBeforeKill;
    bool backward;
  };
  const Case cases[] = {
      {"between blocks", 7, 14, false},
      {"within a block", 100, 40, false},
      {"between blocks, backward", 7, 21, true},
      {"within a block, backward", 100, 40, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open(m_sTable, c.size);
    const int nStart = c.backward ? knRows : 1;
    const int nEnd = c.backward ? 1 : knRows;
    std::vector<int> ids = ReadFirst(c.readBeforeKill, c.backward);
    ASSERT_EQ(Ids(nStart, nStart + (c.backward ? 1 - c.readBeforeKill : c.readBeforeKill - 1)), ids);
    KillLibrarySessions();
    const int nFailures = BrowseToTheEnd(m_sTable, ids, c.backward);
    // The kill was seen: a lost connection is not read past unnoticed.
    EXPECT_GE(nFailures, 1);
    EXPECT_EQ(Ids(nStart, nEnd), ids);
    EXPECT_EQ(Ids(1, knRows), ReadAll());
    m_access.Release();
  }
}

// Killed while the server sends the second block (the view slows its rows
// down from row knSlowFrom on): the read fails with the lost connection
// and the view's name; the rows delivered before are the first block
// exactly; the browse goes on after the connection is opened again.
TEST_F(readfault_live, KilledWhileTheServerSendsABlock) {
  Fill();
  Open(m_sView, 100);
  std::vector<int> ids = ReadFirst(100);
  ASSERT_EQ(Ids(1, 100), ids);
  SetDelay(0.02);
  ReadAnswer failed;
  const bool bKilled = KillWhileRunning("SELECT", [&] { failed = Read(L"id", NA_PARSE_NEXT); });
  ASSERT_TRUE(bKilled);
  ASSERT_EQ(ReadAnswer::Failed, failed.kind) << failed.id;
  ExpectLost(failed, m_sView);
  EXPECT_EQ(Ids(1, 100), ids);
  SetDelay(0);
  BrowseToTheEnd(m_sView, ids);
  EXPECT_EQ(Ids(1, knRows), ids);
  EXPECT_EQ(Ids(1, knRows), ReadAll());
}

// A search on a killed connection fails with the lost connection (not as
// a value not found); once the connection is opened again the search finds
// its record and the browse goes on from it.
TEST_F(readfault_live, SearchOnALostConnectionFailsThenFinds) {
  Fill();
  CNADataAccess* a = Open(m_sTable, 20);
  ASSERT_EQ(Ids(1, 5), ReadFirst(5));
  KillLibrarySessions();
  CAny v;
  v.SetI4(40);
  int nFailures = 0;
  bool bFound = false;
  for (int attempt = 0; attempt < 3 && !bFound; ++attempt) {
    m_pError->Reset();
    if (!a->bHRecherche(L"k", &v, 1, 1, NA_LOCKTYPE_NONE, nullptr, 1, NA_WRITEPARSE_NONE)) {
      ++nFailures;
      ExpectLost(ReadAnswer{ReadAnswer::Failed, 0, m_pError->dwGetDataBaseErrorCode(),
                            Narrow(m_pError->pszGetError())},
                 m_sTable);
      continue;
    }
    int nFound = 0, nIn = 0;
    ASSERT_TRUE(a->bEvalHTrouve(L"k", &nFound, &nIn));
    ASSERT_EQ(1, nFound);
    bFound = true;
  }
  EXPECT_GE(nFailures, 1);
  ASSERT_TRUE(bFound);
  EXPECT_EQ(201, CurrentId());
  for (int id = 202; id <= 205; ++id) {
    const ReadAnswer r = Read(L"k", NA_PARSE_NEXT);
    ASSERT_EQ(ReadAnswer::Record, r.kind) << r.text;
    EXPECT_EQ(id, r.id);
  }
}

// A count on a killed connection, and one killed while the server counts:
// false with -1 and the lost connection in the error object, or the right
// count once the connection is opened again; never another number. A
// relative count that fails leaves the current record as it was.
TEST_F(readfault_live, CountOnALostConnectionFailsOrIsRight) {
  Fill();
  CNADataAccess* a = Open(m_sView, 50);
  ASSERT_EQ(Ids(1, 10), ReadFirst(10));
  ASSERT_EQ(10, CurrentId());
  CNAStatement* st = m_access.pclStatement(L"id");
  ASSERT_NE(nullptr, st);

  // Before the count: the first attempts may fail, one succeeds.
  KillLibrarySessions();
  int nFailures = 0;
  bool bCounted = false;
  for (int attempt = 0; attempt < 3 && !bCounted; ++attempt) {
    m_pError->Reset();
    long n = -5;
    if (a->bHNbEnr(&n, 16, NA_WRITEPARSE_NONE)) {
      EXPECT_EQ(knRows, n);
      bCounted = true;
    } else {
      ++nFailures;
      EXPECT_EQ(-1, n);
      ExpectLost(ReadAnswer{ReadAnswer::Failed, 0, m_pError->dwGetDataBaseErrorCode(),
                            Narrow(m_pError->pszGetError())},
                 m_sView);
    }
  }
  EXPECT_TRUE(bCounted);
  EXPECT_GE(nFailures, 1);

  // The relative count after a kill: it fails or counts right, and the
  // current record stays the tenth.
  KillLibrarySessions();
  bCounted = false;
  for (int attempt = 0; attempt < 3 && !bCounted; ++attempt) {
    m_pError->Reset();
    long n = -5;
    bCounted = a->bGetNbEnr(&n, 16, 0, st, NA_PARSE_NEXT) != 0;
    EXPECT_EQ(10, CurrentId());
    if (bCounted) {
      EXPECT_EQ(knRows - 10, n);
    } else {
      const unsigned int code = m_pError->dwGetDataBaseErrorCode();
      EXPECT_TRUE(code == knLostDuringQuery || code == knServerGone) << Narrow(m_pError->pszGetError());
    }
  }
  EXPECT_TRUE(bCounted);

  // During the count: the server is killed while it counts the slow rows.
  SetDelay(0.01);
  long n = -5;
  int bOk = 1;
  m_pError->Reset();
  ASSERT_TRUE(KillWhileRunning("SELECT COUNT", [&] { bOk = a->bHNbEnr(&n, 16, NA_WRITEPARSE_NONE); }));
  EXPECT_EQ(0, bOk);
  EXPECT_EQ(-1, n);
  EXPECT_EQ(knLostDuringQuery, m_pError->dwGetDataBaseErrorCode()) << Narrow(m_pError->pszGetError());
  SetDelay(0);
  bCounted = false;
  for (int attempt = 0; attempt < 3 && !bCounted; ++attempt) {
    n = -5;
    m_pError->Reset();
    bCounted = a->bHNbEnr(&n, 16, NA_WRITEPARSE_NONE) != 0;
    EXPECT_EQ(bCounted ? knRows : -1, n);
  }
  EXPECT_TRUE(bCounted);
  EXPECT_EQ(10, CurrentId());
}

// Inside a transaction the connection began and wrote in: after the kill
// every read fails (the connection is not opened again behind the
// transaction), no row is delivered out of order, and the server keeps the
// committed rows only.
TEST_F(readfault_live, KilledInsideATransactionReadsFailAndOnlyCommittedRowsStay) {
  const auto insert = [&](int from, int to) {
    std::wstring sql = L"INSERT INTO " + std::wstring(m_sTable.begin(), m_sTable.end()) + L" VALUES ";
    for (int id = from; id <= to; ++id)
      sql += std::wstring(id > from ? L", " : L"") + L"(" + std::to_wstring(id) + L", " +
             std::to_wstring((id - 1) / 5) + L", 'n" + std::to_wstring(id) + L"')";
    return m_pSized->bExecuteQueryNoResult(m_pError, sql.c_str());
  };
  ASSERT_EQ(1, m_pSized->bTransactionBegin(m_pError, L"t1")) << Narrow(m_pError->pszGetError());
  ASSERT_EQ(1, insert(1, 100)) << Narrow(m_pError->pszGetError());
  ASSERT_EQ(1, m_pSized->bTransactionCommit(m_pError, L"t1")) << Narrow(m_pError->pszGetError());
  ASSERT_EQ(1, m_pSized->bTransactionBegin(m_pError, L"t2")) << Narrow(m_pError->pszGetError());
  ASSERT_EQ(1, insert(101, 160)) << Narrow(m_pError->pszGetError());

  Open(m_sTable, 20);
  std::vector<int> ids = ReadFirst(30);
  ASSERT_EQ(Ids(1, 30), ids);
  KillLibrarySessions();
  // The block in hand runs out at 40; every read after it fails.
  int nFailures = 0;
  for (int i = 0; i < 20 && nFailures < 4; ++i) {
    const ReadAnswer a = Read(L"id", NA_PARSE_NEXT);
    ASSERT_NE(ReadAnswer::OutOfFile, a.kind);
    if (a.kind == ReadAnswer::Record) {
      ASSERT_EQ(0, nFailures) << "a row after a failure inside the transaction: " << a.id;
      ids.push_back(a.id);
    } else {
      ExpectLost(a, m_sTable);
      ++nFailures;
    }
  }
  EXPECT_EQ(4, nFailures);
  EXPECT_EQ(Ids(1, static_cast<int>(ids.size())), ids);
  const ReadAnswer first = Read(L"id", NA_PARSE_FIRST);
  EXPECT_EQ(ReadAnswer::Failed, first.kind) << first.id;
  m_pError->Reset();
  EXPECT_EQ(0, m_pSized->bTransactionCommit(m_pError, L"t2"));
  EXPECT_EQ("100", Value("SELECT COUNT(*) FROM " + m_sTable));
  EXPECT_EQ("100", Value("SELECT MAX(id) FROM " + m_sTable));
}

}  // namespace
