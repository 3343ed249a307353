// The driver's table statement on the fixture's server, through the MariaDB
// driver and the driver's own data access over a described table:
//
// - a CREATE TABLE it builds is an InnoDB table whose identifier is the
//   AUTO_INCREMENT primary key; an identifier beside a primary-key item is
//   refused by the server (1068) and reported;
// - after an INSERT the identifier the server chose lands in the record;
//   one too wide for a 4-byte identifier is refused, the record keeping
//   its value; a table without identifier reads nothing;
// - a rewritten query of 250,000 rows is counted in one streamed pass,
//   without the browse's record limit and without holding its rows; a
//   table is counted by a COUNT query; a query whose SELECT cannot be built
//   is not counted;
// - a count whose connection is killed while the rows stream fails with
//   the server's error, the count unchanged, the statement storing results
//   again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "CAny.h"
#include "CMySQLDataAccess.h"
#include "CMySQLStatement.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "StandInSQLParser.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/AccessBrowser.h"
#include "nativeaccess/support/BrowseTable.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/TestLayoutDoubles.h"

#if defined(__SANITIZE_ADDRESS__)
#define KX_HEAP_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_HEAP_HOOKS 1
#endif
#endif
#ifdef KX_HEAP_HOOKS
// The sanitizer's allocator interface (its header is not installed with
// every compiler).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace {

using kxtest::BrowseTable;
using kxtest::Narrow;
using kxtest::WideFromUTF8;

constexpr int knRows = 250000;

#ifdef KX_HEAP_HOOKS
// The heap's growth over a stretch of the test: every allocation and free
// of the process is counted while armed (the hooks stay installed once
// made; the sanitizer has no way to remove them).
struct HeapPeak {
  static std::atomic<bool> armed;
  static std::atomic<long long> current;
  static std::atomic<long long> peak;
  static void OnMalloc(const volatile void* /*p*/, std::size_t size) {
    if (!armed.load()) return;
    const long long n = current.fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
    long long p = peak.load();
    while (n > p && !peak.compare_exchange_weak(p, n)) {
    }
  }
  static void OnFree(const volatile void* p) {
    if (!armed.load()) return;
    current.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(p)));
  }
  static void Arm() {
    static const bool bInstalled = __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
    (void)bInstalled;
    current = 0;
    peak = 0;
    armed = true;
  }
  static long long Disarm() {
    armed = false;
    return peak.load();
  }
};
std::atomic<bool> HeapPeak::armed{false};
std::atomic<long long> HeapPeak::current{0};
std::atomic<long long> HeapPeak::peak{0};
#endif

class mysqlstmtTableLive : public kxtest::DriverLiveTest {
 protected:
  mysqlstmtTableLive() : DriverLiveTest("kxmst_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_sT = WideFromUTF8(m_sTable);
    m_sView = m_sTable + "_v";
    Run("DROP TABLE IF EXISTS " + m_sTable);
  }
  void TearDown() override {
    ReleaseAccess();
    m_pQuery.reset();
    m_pTable.reset();
    Run("DROP VIEW IF EXISTS " + m_sView);
    DriverLiveTest::TearDown();
  }

  void ReleaseAccess() {
    if (m_pSt != nullptr) m_pSt->nRelease();
    m_pSt = nullptr;
    m_browser.Release();
    m_pAccess = nullptr;
    if (m_pImported != nullptr) m_pImported->nRelease();
    m_pImported = nullptr;
  }

  // The server's description of the table as the data access imports it:
  // `id` its AUTO_INCREMENT identifier, `name` a text; the statement is
  // made again over it.
  void ImportIdentifier() {
    m_pImported = new kxtest::TestImportedSource();
    m_pImported->AddRef();
    m_pImported->pclAdd(L"id", NA_IT_IDAUTO, 8);
    m_pImported->pclAdd(L"name", NA_IT_TEXTE, 21);
    m_pAccess->_SetImportedDataSourceDesc(m_pImported);
    // The items bound to the columns of the same names, as the data access
    // binds a description that came after its layout.
    CNARecord* record = m_pAccess->pclGetCurrentRecord();
    for (int i = 0; i < record->nGetColumnCount(); ++i) {
      CNAColumn* column = record->pclGetColumnNoRef(i);
      CNAItemDescription* item = m_pImported->pclNAGetItem(column->pszGetName(), 3);
      ASSERT_NE(nullptr, item) << Narrow(column->pszGetName());
      EXPECT_TRUE(column->bSetImportedItemDesc(item));
      item->nExternalRelease();
    }
    ASSERT_NE(nullptr, m_pAccess->pclGetCurrentRecord()->pclGetColumnNoRef(m_pId)->piGetImportedItemDescNoRef());
    m_pSt->nRelease();
    m_pSt = new CMySQLStatement(m_pAccess, m_pError);
    m_pSt->AddRef();
  }

  // A data access over `table` described by `describe` (which adds the
  // items), with one statement of the driver on it.
  template <typename F>
  void MakeAccess(const std::string& table, F describe) {
    m_pTable = std::make_unique<BrowseTable>(WideFromUTF8(table));
    describe(*m_pTable);
    ASSERT_TRUE(m_browser.bOpen(m_pDriver, m_pTable.get(), m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
    m_pAccess = m_browser.p;
    m_pSt = new CMySQLStatement(m_pAccess, m_pError);
    m_pSt->AddRef();
    ASSERT_NE(nullptr, m_pSt->pclGetStatementSQLNoRef()) << Narrow(m_pError->pszGetError());
  }

  // The table (id INT primary key, name) as the platform describes it, the
  // identifier of type `idType` when given.
  void DescribeIdName(BrowseTable& t, eNA_ITEMTYPE idType, std::uint32_t idSize) {
    CNAItemDescription* id = t.pclAdd(L"id", idType, idSize, CNAItemDescription::KEY_UNIQUE);
    id->SetNullable(0);
    m_pId = id;
    m_pName = t.pclAdd(L"name", NA_IT_TEXTE, 21);
    t.SetBestParseItem(id);
  }

  // The query `text` (naming one table, `from`) as the data access's
  // source, rewritten by the library.
  void MakeQuery(const std::wstring& text, const std::wstring& from) {
    m_pQuery = std::make_unique<Query>(text);
    CStandInParserBuilder& b = m_pQuery->builder;
    b.Column(L"id", L"", L"id");
    b.Column(L"name", L"", L"name");
    b.From(from.c_str());
    auto* info = new CSQLParserInfo(m_pError, b.pi(), &m_pQuery->values, 0);
    info->AddRef();
    m_pAccess->SetQuery(1);
    m_pAccess->SetSourceQuery(info);
    info->nRelease();
  }

  // Sends the CREATE TABLE the statement builds.
  bool Create() {
    CNACommand* command = m_pAccess->pclAllocCommand(m_pError);
    if (command == nullptr) return false;
    command->AddRef();
    bool b = m_pSt->bBuildQueryCREATE(command) != 0;
    if (b) b = m_pSt->bExecuteDirectNewCommand(command, NA_WRITEPARSE_NONE, NA_ST_DIRECT) != 0;
    m_pSt->ResetQuery();
    command->nRelease();
    return b;
  }

  void SetName(const wchar_t* text) {
    CAny v;
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(text, std::wcslen(text) * sizeof(wchar_t));
    ASSERT_TRUE(m_pAccess->pclGetCurrentRecord()->pclGetColumnNoRef(m_pName)->bSetValue(&v, 0));
  }
  void SetId(std::int64_t n) {
    CAny v;
    v.SetI8(n);
    ASSERT_TRUE(m_pAccess->pclGetCurrentRecord()->pclGetColumnNoRef(m_pId)->bSetValue(&v, 0));
  }
  // The record's identifier (-1 when it cannot be read).
  std::int64_t Id() {
    CAny v;
    long n = -1;
    CNAColumn* col = m_pAccess->pclGetCurrentRecord()->pclGetColumnNoRef(m_pId);
    if (col == nullptr || !col->bGetCurrentValue(&v, 0) || v.bIsNull() || v.nGetINT_64(&n) != 0) return -1;
    return n;
  }
  bool Insert() { return m_browser.bWrite(NA_QUERY_INSERT, m_pSt, NA_WRITEPARSE_NONE) != 0; }

  // `rows` rows (ids 1 .. rows) into the test's table, by the server.
  void Fill(int rows) {
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT NOT NULL PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB"));
    ASSERT_TRUE(Run("SET SESSION max_recursive_iterations = " + std::to_string(rows + 1)));
    ASSERT_TRUE(Run("INSERT INTO " + m_sTable +
                    " (id, name) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    std::to_string(rows) + ") SELECT i, CONCAT('row ', i) FROM n"));
  }

  // The driver statement of the statement under test.
  CMySQLStatementSQL* SQL() { return dynamic_cast<CMySQLStatementSQL*>(m_pSt->pclGetStatementSQLNoRef()); }

  // The text of the statement's command, as sent.
  std::string LastText() {
    CNACommand* c = m_pSt->pclGetCommandNoRef();
    const char* psz = c != nullptr ? c->pszGetFormatedSQLA(PARAMTYPECONV_ALL) : nullptr;
    return psz != nullptr ? psz : "<none>";
  }

  struct Query {
    explicit Query(const std::wstring& text) : builder(text.c_str()) {}
    CStandInQueryParameters values;
    CStandInParserBuilder builder;
  };

  std::wstring m_sT;
  std::string m_sView;
  std::unique_ptr<BrowseTable> m_pTable;
  std::unique_ptr<Query> m_pQuery;
  kxtest::AccessBrowser m_browser;
  CNADataAccess* m_pAccess = nullptr;
  kxtest::TestImportedSource* m_pImported = nullptr;
  CMySQLStatement* m_pSt = nullptr;
  CNAItemDescription* m_pId = nullptr;
  CNAItemDescription* m_pName = nullptr;
};

// The CREATE of an identifier and a text: the server holds an InnoDB table
// whose identifier is the AUTO_INCREMENT primary key, and each INSERT
// hands the identifier the server chose back into the record.
TEST_F(mysqlstmtTableLive, CreatedTableGivesItsIdentifiers) {
  MakeAccess(m_sTable, [this](BrowseTable& t) { DescribeIdName(t, NA_IT_IDAUTO, 8); });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(Create()) << Narrow(m_pError->pszGetError());
  const std::string sCreate = CreateText(m_sTable);
  EXPECT_NE(std::string::npos, sCreate.find("ENGINE=InnoDB")) << sCreate;
  EXPECT_NE(std::string::npos, sCreate.find("NOT NULL AUTO_INCREMENT")) << sCreate;
  EXPECT_NE(std::string::npos, sCreate.find("PRIMARY KEY (`id`)")) << sCreate;

  Run("ALTER TABLE " + m_sTable + " AUTO_INCREMENT = 41");
  ImportIdentifier();
  ASSERT_FALSE(HasFatalFailure());
  for (std::int64_t n : {41, 42}) {
    SetId(0);
    SetName(L"row");
    ASSERT_TRUE(Insert()) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(n, Id());
  }
  EXPECT_EQ("41,42", Value("SELECT GROUP_CONCAT(id ORDER BY id) FROM " + m_sTable));
}

// An identifier beside a primary-key item: both want the primary key; the
// server refuses the CREATE (1068) and the refusal is reported.
TEST_F(mysqlstmtTableLive, IdentifierBesideAPrimaryKeyIsRefused) {
  MakeAccess(m_sTable, [this](BrowseTable& t) {
    DescribeIdName(t, NA_IT_IDAUTO, 8);
    t.pclAdd(L"code", NA_IT_I4, 4, CNAItemDescription::KEY_PRIMARY)->SetNullable(0);
  });
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_FALSE(Create());
  EXPECT_EQ(1068u, m_pError->dwGetDataBaseErrorCode()) << Narrow(m_pError->pszGetError());
  EXPECT_FALSE(TableExists(m_sTable));
}

// A 4-byte identifier takes the server's identifier up to 2^31 - 1; one
// past it is not written (it would be stored wrapped, naming another row):
// the record keeps its value and the INSERT's aftermath fails with user
// error 53 naming the column. The row itself is on the server.
TEST_F(mysqlstmtTableLive, IdentifierTooWideForTheColumnIsRefused) {
  struct Case {
    const char* next;
    bool fits;
    std::int64_t id;  // the record's identifier after the INSERT
  } const aCases[] = {{"2147483647", true, 2147483647}, {"2147483648", false, 7}, {"3000000000", false, 7}};
  for (const Case& c : aCases) {
    SCOPED_TRACE(c.next);
    ReleaseAccess();
    ASSERT_TRUE(Run("DROP TABLE IF EXISTS " + m_sTable));
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20)) AUTO_INCREMENT = " + c.next));
    MakeAccess(m_sTable, [this](BrowseTable& t) { DescribeIdName(t, NA_IT_IDAUTO4, 4); });
    ASSERT_FALSE(HasFatalFailure());
    ImportIdentifier();
    ASSERT_FALSE(HasFatalFailure());
    SetId(7);
    SetName(L"wide");
    m_pError->Reset();
    EXPECT_EQ(c.fits, Insert());
    EXPECT_EQ(c.id, Id());
    if (!c.fits) {
      EXPECT_EQ(53u, m_pError->nGetUserErrorCode()) << Narrow(m_pError->pszGetError());
      EXPECT_EQ(std::wstring(L"id"), m_pError->pszGetItemName());
      EXPECT_NE(std::string::npos, Narrow(m_pError->pszGetError()).find(c.next)) << Narrow(m_pError->pszGetError());
    } else {
      EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Narrow(m_pError->pszGetError());
    }
    EXPECT_EQ(c.next, Value("SELECT MAX(id) FROM " + m_sTable));
  }
}

// A table without identifier: the INSERT's aftermath reads nothing and
// answers true.
TEST_F(mysqlstmtTableLive, InsertWithoutIdentifierReadsNothing) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT NOT NULL PRIMARY KEY, name VARCHAR(20))"));
  MakeAccess(m_sTable, [this](BrowseTable& t) { DescribeIdName(t, NA_IT_I4, 4); });
  ASSERT_FALSE(HasFatalFailure());
  SetId(5);
  SetName(L"plain");
  ASSERT_TRUE(Insert()) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(1, m_pSt->bUpdateRecordAfterInsert(NA_QUERY_INSERT, 0));
  EXPECT_EQ(5, Id());
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << Narrow(m_pError->pszGetError());
}

// 250,000 rows: the rewritten query is counted in one streamed pass (no
// LIMIT of the browse, no row held: the heap grows by far less than the
// rows would take stored), the statement stores results again and the
// connection runs the next text. As a table, the same rows are counted by
// the server (the COUNT text itself is checked without a server).
TEST_F(mysqlstmtTableLive, CountStreamsARewrittenQuery) {
  Fill(knRows);
  ASSERT_FALSE(HasFatalFailure());
  MakeAccess(m_sTable, [this](BrowseTable& t) { DescribeIdName(t, NA_IT_I4, 4); });
  ASSERT_FALSE(HasFatalFailure());

  long nCount = -7;
  ASSERT_TRUE(m_pSt->bGetNbEnr(&nCount, 0, 0)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(knRows, nCount);

  MakeQuery(L"SELECT id, name FROM " + m_sT, m_sT);
  nCount = -7;
#ifdef KX_HEAP_HOOKS
  HeapPeak::Arm();
#endif
  const int bCounted = m_pSt->bGetNbEnr(&nCount, 0, 0);
#ifdef KX_HEAP_HOOKS
  const long long llPeak = HeapPeak::Disarm();
  // Stored, the rows would take several megabytes.
  EXPECT_LT(llPeak, 1LL << 20) << "the count held " << llPeak << " bytes";
#endif
  ASSERT_TRUE(bCounted) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(knRows, nCount);
  EXPECT_EQ("SELECT `id`, `name` FROM `" + m_sTable + "`", LastText());
  ASSERT_NE(nullptr, SQL());
  EXPECT_EQ(1, SQL()->bGetStoreResult());
  EXPECT_EQ(0, SQL()->bIsStreaming());

  // The connection goes on: a second count, stored this time.
  m_pAccess->SetQuery(0);
  nCount = -7;
  ASSERT_TRUE(m_pSt->bGetNbEnr(&nCount, 0, 0)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(knRows, nCount);
}

// A data access that builds no SELECT of its query (the generic one, until
// it reads): the count fails with user error 38, the count unchanged and
// the statement storing results again.
TEST_F(mysqlstmtTableLive, CountWithoutASelectFails) {
  auto* access = new CMySQLDataAccess(nullptr, m_pCnx, m_pError);
  access->AddRef();
  access->SetQuery(1);
  auto* st = new CMySQLStatement(access, m_pError);
  st->AddRef();
  long nCount = -7;
  EXPECT_EQ(0, st->bGetNbEnr(&nCount, 0, 0));
  EXPECT_EQ(-7, nCount);
  EXPECT_EQ(38u, m_pError->nGetUserErrorCode()) << Narrow(m_pError->pszGetError());
  auto* sql = dynamic_cast<CMySQLStatementSQL*>(st->pclGetStatementSQLNoRef());
  ASSERT_NE(nullptr, sql);
  EXPECT_EQ(1, sql->bGetStoreResult());
  st->nRelease();
  access->nRelease();
}

// The connection killed while the rows stream: the rows that came are no
// count of the query. The count fails with the server's error, leaves the
// count as it was, and the statement stores results again.
TEST_F(mysqlstmtTableLive, CountOfAKilledStreamFails) {
  Fill(knRows);
  ASSERT_FALSE(HasFatalFailure());
  // The server stops in the middle of the rows until the kill.
  ASSERT_TRUE(Run("CREATE VIEW " + m_sView + " AS SELECT id, IF(id = 150000, SLEEP(60), name) AS name FROM " +
                  m_sTable));
  MakeAccess(m_sView, [this](BrowseTable& t) { DescribeIdName(t, NA_IT_I4, 4); });
  ASSERT_FALSE(HasFatalFailure());
  const std::wstring sView = WideFromUTF8(m_sView);
  MakeQuery(L"SELECT id, name FROM " + sView, sView);

  std::atomic<bool> bKilled{false};
  std::string sKillFailure;
  std::thread killer([&] {
    std::string failure;
    void* session = m_client->Connect(m_c, failure);
    if (session == nullptr) {
      sKillFailure = "no session: " + failure;
      return;
    }
    const std::string sFind = "SELECT ID FROM information_schema.PROCESSLIST WHERE STATE = 'User sleep' AND INFO LIKE '%" +
                              m_sView + "%'";
    for (int i = 0; i < 400 && !bKilled; ++i) {
      const std::string sId = m_client->QueryValue(session, sFind, failure);
      if (!sId.empty()) {
        bKilled = m_client->Execute(session, "KILL " + sId, failure);
        if (!bKilled) sKillFailure = failure;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_client->Close(session);
  });
  long nCount = -7;
  const int bCounted = m_pSt->bGetNbEnr(&nCount, 0, 0);
  killer.join();
  ASSERT_TRUE(bKilled) << sKillFailure;
  EXPECT_EQ(0, bCounted);
  EXPECT_EQ(-7, nCount);
  EXPECT_NE(0u, m_pError->dwGetDataBaseErrorCode()) << Narrow(m_pError->pszGetError());
  ASSERT_NE(nullptr, SQL());
  EXPECT_EQ(1, SQL()->bGetStoreResult());
}

}  // namespace
