// Internal queries (CNAInternalParse) and the automatic-identifier answers
// (CNAIDAuto) over an in-memory "server": the rows as one text with their
// separators, reading values, what a failing fetch gives, the lifetime of
// the private data access and its statement, the MAX texts and the next and
// largest values with their errors.
//
// The process's driver hands out a data access that runs an internal query
// as the data-access layer does: a statement of its own over the query's
// text, the result described in its record layout by the items the test
// gives (the in-memory statement has no column descriptions).
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAIDAuto.h"
#include "CNAInternalParse.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CSQLParserInfo.h"
#include "CXYStringConcat.h"
#include "StandInParserBuilder.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/InMemoryStatementSQL.h"
#include "support/NamedSource.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"
#include "support/TestSource.h"

namespace {

using kxtest::InMemoryServer;
using kxtest::InMemoryStatementSQL;
using kxtest::MemRows;

// ---------------------------------------------------------------------------
// Test doubles
// ---------------------------------------------------------------------------

using kxtest::NamedSource;

// What the driver statements of a test do besides answering: the fetch of
// a run that fails (1 = the first; 0 none), and what was seen.
struct FetchScript {
  int nFailingFetch = 0;
  unsigned int nPreparedFlags = 0;
  int nPreparedRuns = 0;
};

// User error 24 ("the server did not answer") is how the fake reports a
// fetch that failed.
constexpr unsigned int knErrFetchFailed = 24;

// An in-memory statement whose n-th fetch of a run fails, and whose
// prepared query is its last text run again.
class FlakyStatement : public InMemoryStatementSQL {
 public:
  FlakyStatement(InMemoryServer* server, CNAConnectionDescription* connection, CNAError* error,
                 FetchScript* script)
      : InMemoryStatementSQL(server, connection, error), m_pstScript(script) {}
  int _bExecuteDirect(const char* text, CTabValParser* parameters, NA_WRITEPARSEFLAGS flags) override {
    m_nFetches = 0;
    m_sLast = text != nullptr ? text : "";
    return InMemoryStatementSQL::_bExecuteDirect(text, parameters, flags);
  }
  int bFetch(unsigned int option) override {
    if (++m_nFetches == m_pstScript->nFailingFetch) {
      if (m_pclError != nullptr) m_pclError->AddError(NA_ERRORTYPE_GENERIC, 99, 9, m_pclConnection, knErrFetchFailed);
      return 0;
    }
    return InMemoryStatementSQL::bFetch(option);
  }
  int bExecutePreparedQuery(NA_WRITEPARSEFLAGS flags) override {
    m_pstScript->nPreparedFlags = static_cast<unsigned int>(flags);
    ++m_pstScript->nPreparedRuns;
    const std::string sText = m_sLast;
    return bReset() && _bExecuteDirect(sText.c_str(), nullptr, flags);
  }

 private:
  FetchScript* m_pstScript;
  std::string m_sLast;
  int m_nFetches = 0;
};

// What the internal queries' data accesses saw and how they answer.
struct QueryLog {
  std::vector<std::wstring> vecNames;
  std::vector<std::wstring> vecQueries;
  int nAlive = 0;              // data accesses not yet deleted
  NamedSource* pclResult = nullptr;  // the items of every result
  bool bNoResult = false;      // the text has no result: no statement
  bool bCachedStatements = true;  // statements come with caching on
};

// The data access of an internal query, as the data-access layer makes
// it: the statement runs the text and the record layout describes the
// result by the test's items. The access holds the layout.
class QueryAccess : public CNADataAccess {
 public:
  QueryAccess(CNAConnectionDescription* connection, CNAError* error, QueryLog* log)
      : CNADataAccess(nullptr, connection, error), m_pstLog(log) {
    ++m_pstLog->nAlive;
  }
  ~QueryAccess() override {
    if (m_pclLayout != nullptr) m_pclLayout->nRelease();
    --m_pstLog->nAlive;
  }
  // The result is described by the test's items, not from its columns.
  CNADataSourceDescription* _pclAllocDataSource(CNAConnectionDescription*, CNAError*) override { return nullptr; }
  int bExecuteQueryInternal(CNAStatement** statement, const wchar_t* name, const wchar_t* query) override {
    *statement = nullptr;
    m_pstLog->vecNames.push_back(name != nullptr ? name : L"(null)");
    m_pstLog->vecQueries.push_back(query != nullptr ? query : L"(null)");
    if (m_pstLog->bNoResult) return 1;
    CNACommand* pclCommand = pclAllocCommand(pclGetError());
    if (pclCommand == nullptr) return 0;
    pclCommand->AddRef();
    pclCommand->bComplete(query);
    pclCommand->SetQueryType(TYPEREQUETE_SELECT);
    CNAStatement* pclStatement = new CNAStatement(this, pclGetError());
    pclStatement->AddRef();
    int bOk = pclStatement->bExecuteDirectNewCommand(pclCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT);
    pclCommand->nRelease();
    if (bOk) {
      m_pclLayout = new CNARecord(pclGetError(), this);
      m_pclLayout->AddRef();
      bOk = m_pclLayout->bInitRecord(m_pstLog->pclResult, nullptr, pclGetConnection());
      SetCurrentRecord(m_pclLayout);
      pclStatement->SetRecord(m_pclLayout);
    }
    if (!bOk) {
      pclStatement->nRelease();
      return 0;
    }
    if (m_pstLog->bCachedStatements) pclStatement->EnableCache(1);
    *statement = pclStatement;
    return 1;
  }

 private:
  QueryLog* m_pstLog;
  CNARecord* m_pclLayout = nullptr;
};

// The test driver whose data accesses are QueryAccess objects (none while
// bNoAccess, the generic one while bGenericAccess).
class QueryDriver : public kxtest::TestDriver {
 public:
  QueryLog* pstLog = nullptr;
  bool bNoAccess = false;
  bool bGenericAccess = false;  // the library's own data access
  CNADataAccess* pclAllocDataAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                    CNAError* error) override {
    if (bNoAccess) return nullptr;
    if (bGenericAccess) return CNADriver::pclAllocDataAccess(source, cnx, error);
    return new QueryAccess(cnx, error, pstLog);
  }
};

// The in-memory server, the driver as the process's driver, a connection
// (backquoted names, as MariaDB's) and an error object.
struct Env {
  InMemoryServer server;
  FetchScript script;
  QueryLog log;
  NamedSource result;
  QueryDriver* driver = nullptr;
  CNADriver* previous = nullptr;
  kxtest::TestConnection* cnx = nullptr;
  CNAError* error = nullptr;
  MemRows rows;

  Env() {
    {
      CNADriverLock lock;
      driver = new QueryDriver();
      driver->bInitDriver();
      previous = CNADriver::s_pclDriver;
      CNADriver::s_pclDriver = driver;
    }
    driver->pstLog = &log;
    driver->fnStatementMaker = [this](CNAConnectionDescription* c, CNAError* e) -> CNAStatementSQL* {
      return new FlakyStatement(&server, c, e, &script);
    };
    server.fnAnswer = [this](const std::string&, MemRows* out) {
      *out = rows;
      return true;
    };
    log.pclResult = &result;
    cnx = new kxtest::TestConnection();
    cnx->AddRef();
    error = new CNAError();
    error->AddRef();
  }
  ~Env() {
    error->nRelease();
    cnx->nRelease();
    CNADriverLock lock;
    delete driver;
    CNADriver::s_pclDriver = previous;
  }
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  // Result columns: an I4 and a text, the rows given.
  void TwoColumns(MemRows r) {
    result.pclAdd(L"n", NA_IT_I4, 4);
    result.pclAdd(L"s", NA_IT_TEXTE, 11);
    server.nColumns = 2;
    rows = std::move(r);
  }
  // Result column: one I4, the rows given.
  void OneColumn(MemRows r = {}) {
    result.pclAdd(L"m", NA_IT_I4, 4);
    server.nColumns = 1;
    rows = std::move(r);
  }
  std::wstring Error() { return error->pszGetError(); }
  // Every query and driver statement the test made has been given back.
  void ExpectAllGivenBack() const {
    EXPECT_EQ(log.nAlive, 0);
    EXPECT_EQ(server.nAlive, 0);
  }
};

const MemRows kTwoRows = {{"1", "a"}, {"2", std::nullopt}};

std::wstring Text(const CXYStringConcat<wchar_t>& text) { return text.pszGet(); }

// ---------------------------------------------------------------------------
// Rows as text
// ---------------------------------------------------------------------------

class internalquery_text : public BoundRuntimeTest {};

TEST_F(internalquery_text, RowsWithTheirSeparators) {
  struct Case {
    const char* what;
    MemRows rows;
    const wchar_t* before;  // what the text holds already
    const wchar_t* rowSeparator;
    const wchar_t* columnSeparator;
    const wchar_t* expected;
  } const kCases[] = {
      {"two rows, NULL empty", kTwoRows, L"", L"\r\n", L"\t", L"1\ta\r\n2\t"},
      {"separator before the first row of a text not empty", kTwoRows, L"x", L"\r\n", L"\t", L"x\r\n1\ta\r\n2\t"},
      {"empty separators", kTwoRows, L"", L"", L"", L"1a2"},
      {"null separators", kTwoRows, L"", nullptr, nullptr, L"1a2"},
      {"a row of NULLs keeps its separators", {{std::nullopt, std::nullopt}, {"3", "c"}}, L"", L";", L",", L",;3,c"},
      {"no row", {}, L"", L"\r\n", L"\t", L""},
      {"no row, text kept", {}, L"x", L"\r\n", L"\t", L"x"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Env env;
    env.TwoColumns(c.rows);
    CXYStringConcat<wchar_t> clText(16);
    clText.Add(c.before, static_cast<long>(std::wcslen(c.before)));
    EXPECT_EQ(1, CNAInternalParse::s_bDoInternalParse(L"SELECT n, s FROM t", env.error, env.cnx, &clText,
                                                      c.rowSeparator, c.columnSeparator))
        << testing::PrintToString(env.Error());
    EXPECT_EQ(Text(clText), c.expected);
    // The query ran once under the internal name, and everything it took
    // was given back.
    EXPECT_EQ(env.log.vecNames, std::vector<std::wstring>{L"$KXInternal"});
    EXPECT_EQ(env.log.vecQueries, std::vector<std::wstring>{L"SELECT n, s FROM t"});
    EXPECT_EQ(env.server.vecTexts, std::vector<std::string>{"SELECT n, s FROM t"});
    env.ExpectAllGivenBack();
  }
}

TEST_F(internalquery_text, AFailedReadIsReportedAndLeavesNoPartialRow) {
  struct Case {
    const char* what;
    MemRows rows;
    int failingFetch;
    const wchar_t* expected;  // the text after the call
    unsigned int error;       // the user error kept
  } const kCases[] = {
      {"the fetch of row 2 fails", kTwoRows, 2, L"x\r\n1\ta", knErrFetchFailed},
      {"the first fetch fails", kTwoRows, 1, L"x", knErrFetchFailed},
      // The server gives row 2 without its second value (user error 50).
      {"a value of row 2 cannot be read", {{"1", "a"}, {"2"}}, 0, L"x\r\n1\ta", 50},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Env env;
    env.TwoColumns(c.rows);
    env.script.nFailingFetch = c.failingFetch;
    CXYStringConcat<wchar_t> clText(16);
    clText.Add(L"x", 1);
    EXPECT_EQ(0, CNAInternalParse::s_bDoInternalParse(L"SELECT n, s FROM t", env.error, env.cnx, &clText, L"\r\n",
                                                      L"\t"));
    EXPECT_EQ(Text(clText), c.expected);
    EXPECT_NE(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
    if (c.error != 0) {
      EXPECT_EQ(env.error->dwGetErrorId(), c.error) << testing::PrintToString(env.Error());
    }
    env.ExpectAllGivenBack();
  }
}

TEST_F(internalquery_text, AQueryThatCannotRunGivesNothing) {
  struct Case {
    const char* what;
    bool noAccess;
    bool generic;
    bool refused;
    unsigned int error;
  } const kCases[] = {
      {"the driver gives no data access", true, false, false, 12},
      {"the generic data access runs no query", false, true, false, 38},
      {"the server refuses the text", false, false, true, 38},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Env env;
    env.TwoColumns(kTwoRows);
    env.driver->bNoAccess = c.noAccess;
    env.driver->bGenericAccess = c.generic;
    if (c.refused) env.server.fnAnswer = [](const std::string&, MemRows*) { return false; };
    EXPECT_EQ(nullptr, CNAInternalParse::s_pclGetNAInternalParse(L"SELECT 1", env.error, env.cnx));
    EXPECT_EQ(env.error->dwGetErrorId(), c.error) << testing::PrintToString(env.Error());
    env.error->Reset();
    CXYStringConcat<wchar_t> clText(16);
    EXPECT_EQ(0, CNAInternalParse::s_bDoInternalParse(L"SELECT 1", env.error, env.cnx, &clText, L"\r\n", L"\t"));
    EXPECT_EQ(Text(clText), L"");
    EXPECT_EQ(env.error->dwGetErrorId(), c.error);
    env.ExpectAllGivenBack();
  }
}

// ---------------------------------------------------------------------------
// Reading one query
// ---------------------------------------------------------------------------

class internalquery_read : public BoundRuntimeTest {};

// Holds one internal query for a test.
struct Held {
  CNAInternalParse* p;
  explicit Held(CNAInternalParse* parse) : p(parse) {
    if (p != nullptr) p->dwAddRef();
  }
  ~Held() {
    if (p != nullptr) p->dwRelease();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
};

TEST_F(internalquery_read, ValuesRowByRowThenOutOfRange) {
  Env env;
  env.TwoColumns(kTwoRows);
  Held q(CNAInternalParse::s_pclGetNAInternalParse(L"SELECT n, s FROM t", env.error, env.cnx));
  ASSERT_NE(q.p, nullptr) << testing::PrintToString(env.Error());
  // The statement reads the rows once, forward: no record cache.
  ASSERT_NE(q.p->pclGetStatementNoRef(), nullptr);
  EXPECT_EQ(q.p->pclGetStatementNoRef()->bCacheEnabled(), 0);
  EXPECT_EQ(q.p->nGetColumnNbr(), 2);
  EXPECT_EQ(q.p->pclGetColumnNoRef(L"s"), q.p->pclGetColumnNoRef(1));
  EXPECT_EQ(q.p->pclGetColumnNoRef(2), nullptr);
  EXPECT_EQ(q.p->pclGetColumnNoRef(L"nope"), nullptr);

  // More values asked than columns: only the columns are read.
  CAny aValues[3];
  aValues[2].SetI4(77);
  int nOut = -1;
  ASSERT_TRUE(q.p->bFetchData(NA_PARSE_FIRST, &nOut, aValues, 3));
  EXPECT_EQ(nOut, 0);
  int n = 0;
  EXPECT_EQ(aValues[0].nGetINT(&n), 0);
  EXPECT_EQ(n, 1);
  const wchar_t* psz = nullptr;
  EXPECT_EQ(aValues[1].__nCastToString(&psz, nullptr), 0);
  EXPECT_STREQ(psz, L"a");
  EXPECT_EQ(aValues[2].nGetINT(&n), 0);
  EXPECT_EQ(n, 77);

  ASSERT_TRUE(q.p->bFetchData(NA_PARSE_NEXT, &nOut, aValues, 2));
  EXPECT_EQ(nOut, 0);
  EXPECT_EQ(aValues[0].nGetINT(&n), 0);
  EXPECT_EQ(n, 2);
  EXPECT_TRUE(aValues[1].bIsNull());

  // Past the last row: success, out of range, values untouched.
  ASSERT_TRUE(q.p->bFetchData(NA_PARSE_NEXT, &nOut, aValues, 2));
  EXPECT_EQ(nOut, 1);
  EXPECT_EQ(aValues[0].nGetINT(&n), 0);
  EXPECT_EQ(n, 2);
}

TEST_F(internalquery_read, AFailedFetchOfValuesIsNoSuccess) {
  Env env;
  env.TwoColumns(kTwoRows);
  env.script.nFailingFetch = 2;
  Held q(CNAInternalParse::s_pclGetNAInternalParse(L"SELECT n, s FROM t", env.error, env.cnx));
  ASSERT_NE(q.p, nullptr);
  CAny aValues[2];
  int nOut = -1;
  ASSERT_TRUE(q.p->bFetchData(NA_PARSE_FIRST, &nOut, aValues, 2));
  EXPECT_EQ(nOut, 0);
  EXPECT_FALSE(q.p->bFetchData(NA_PARSE_NEXT, &nOut, aValues, 2));
  EXPECT_EQ(nOut, 1);
  EXPECT_EQ(env.error->dwGetErrorId(), knErrFetchFailed);
}

TEST_F(internalquery_read, RunAgainReadsFromTheStart) {
  Env env;
  env.TwoColumns(kTwoRows);
  Held q(CNAInternalParse::s_pclGetNAInternalParse(L"SELECT n, s FROM t", env.error, env.cnx));
  ASSERT_NE(q.p, nullptr);
  CXYStringConcat<wchar_t> clText(16);
  ASSERT_TRUE(q.p->bFetchAll(&clText, L"|", L","));
  env.rows = {{"5", "e"}};
  ASSERT_TRUE(q.p->bReExecute()) << testing::PrintToString(env.Error());
  EXPECT_EQ(env.script.nPreparedRuns, 1);
  EXPECT_EQ(env.script.nPreparedFlags, 0x110000u);
  ASSERT_TRUE(q.p->bFetchAll(&clText, L"|", L","));
  EXPECT_EQ(Text(clText), L"1,a|2,|5,e");
}

TEST_F(internalquery_read, WithoutResultNothingIsRead) {
  Env env;
  env.TwoColumns(kTwoRows);
  env.log.bNoResult = true;
  Held q(CNAInternalParse::s_pclGetNAInternalParse(L"DO 1", env.error, env.cnx));
  ASSERT_NE(q.p, nullptr);
  EXPECT_EQ(q.p->pclGetStatementNoRef(), nullptr);
  EXPECT_EQ(q.p->nGetColumnNbr(), 0);
  EXPECT_EQ(q.p->pclGetColumnNoRef(0), nullptr);
  // A plain fetch finds no row; reading values or text fails.
  int nOut = 0;
  EXPECT_TRUE(q.p->bFetch(NA_PARSE_FIRST, &nOut));
  EXPECT_EQ(nOut, 1);
  CAny clValue;
  EXPECT_FALSE(q.p->bFetchData(NA_PARSE_FIRST, &nOut, &clValue, 1));
  CXYStringConcat<wchar_t> clText(16);
  EXPECT_FALSE(q.p->bFetchData(NA_PARSE_FIRST, &nOut, &clText, L"\r\n", L"\t"));
  EXPECT_FALSE(q.p->bFetchAll(&clText, L"\r\n", L"\t"));
  EXPECT_FALSE(q.p->bReExecute());
  EXPECT_EQ(Text(clText), L"");
}

// ---------------------------------------------------------------------------
// Automatic identifiers
// ---------------------------------------------------------------------------

class internalquery_idauto : public BoundRuntimeTest {};

// Describes `source` as table t with one I4 item, id.
void DescribeIdTable(NamedSource* source) {
  source->SetName(L"t");
  source->pclAdd(L"id", NA_IT_I4, 4);
}

// A table (or query) data access with its record layout over `source`.
struct Table {
  CNADataAccess* access;
  CNARecord* layout;
  Table(NamedSource* source, Env& env, bool query = false) {
    access = new CNADataAccess(source, env.cnx, env.error);
    access->AddRef();
    access->SetQuery(query ? 1 : 0);
    layout = new CNARecord(env.error, access);
    layout->AddRef();
    EXPECT_TRUE(layout->bInitRecord(source, nullptr, env.cnx)) << testing::PrintToString(env.Error());
    access->SetCurrentRecord(layout);
  }
  ~Table() {
    layout->nRelease();
    access->nRelease();
  }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  CNAColumn* Column(const wchar_t* name) const { return layout->pclGetColumnNoRef(name); }
};

TEST_F(internalquery_idauto, MaxTexts) {
  struct Case {
    const char* what;
    const wchar_t* table;
    bool query;
    const wchar_t* item;
    const wchar_t* source;        // a query item's source table
    const wchar_t* nameInSource;  // a query item's source column
    int plusOne;
    const wchar_t* expected;      // null: the building fails
  } const kCases[] = {
      {"next value", L"t", false, L"id", L"", nullptr, 1, L"> SELECT MAX(`id`)+1 FROM `t`"},
      {"current maximum", L"t", false, L"id", L"", nullptr, 0, L"> SELECT MAX(`id`) FROM `t`"},
      {"a blank and a reserved word", L"my table", false, L"GROUP", L"", nullptr, 1,
       L"> SELECT MAX(`GROUP`)+1 FROM `my table`"},
      {"a quote inside a name is doubled", L"odd`name", false, L"i`d", L"", nullptr, 0,
       L"> SELECT MAX(`i``d`) FROM `odd``name`"},
      {"a table in a database", L"db.my table", false, L"id", L"", nullptr, 0,
       L"> SELECT MAX(`id`) FROM `db`.`my table`"},
      {"a query's item from its source", L"q", true, L"alias", L"orders", L"order id", 1,
       L"> SELECT MAX(`order id`)+1 FROM `orders`"},
      {"a query's item without source table", L"q", true, L"alias", L"", L"id", 1, nullptr},
      {"a query's item without source column", L"q", true, L"alias", L"orders", L"", 0, nullptr},
      {"a table without name", L"", false, L"id", L"", nullptr, 1, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Env env;
    NamedSource source;
    source.SetName(c.table);
    source.pclAdd(c.item, NA_IT_I4, 4, c.source, c.nameInSource);
    Table t(&source, env, c.query);
    CNAIDAuto clAuto;
    CXYStringConcat<wchar_t> clText(16);
    clText.Add(L"> ", 2);
    EXPECT_EQ(clAuto._bBuildQueryGetMax(&clText, t.access, t.Column(c.item), c.plusOne), c.expected != nullptr ? 1 : 0);
    if (c.expected != nullptr) {
      EXPECT_EQ(Text(clText), c.expected);
      EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
    } else {
      EXPECT_EQ(Text(clText), L"> ");
      EXPECT_EQ(env.error->dwGetErrorId(), 38u);
      EXPECT_STREQ(env.error->pszGetLogicalTableName(), c.table[0] != 0 ? c.table : nullptr);
    }
  }
}

// The message a failed next value puts first, for table t and column id.
constexpr wchar_t kszNextValueFailed[] = L"The next value of t.id cannot be computed.";

TEST_F(internalquery_idauto, NextValue) {
  struct Case {
    const char* what;
    MemRows rows;
    bool refused;
    int failingFetch;
    bool ok;
    unsigned short type;  // of the value
    long value;
  } const kCases[] = {
      // MAX of no row is NULL: 1, a 64-bit integer whatever the column.
      {"empty table", {{std::nullopt}}, false, 0, true, ANY_I8, 1},
      {"largest 41", {{"42"}}, false, 0, true, ANY_I4, 42},
      {"no row at all counts as empty", {}, false, 0, true, ANY_I8, 1},
      {"the server refuses the text", {}, true, 0, false, 0, 0},
      {"the fetch fails", {{"42"}}, false, 1, false, 0, 0},
      {"the value cannot be read", {{}}, false, 0, false, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Env env;
    env.OneColumn(c.rows);
    env.script.nFailingFetch = c.failingFetch;
    if (c.refused) env.server.fnAnswer = [](const std::string&, MemRows*) { return false; };
    NamedSource source;
    DescribeIdTable(&source);
    Table t(&source, env);
    CNAIDAuto clAuto;
    CAny clValue;
    clValue.SetI4(-5);
    EXPECT_EQ(clAuto.bGetNextValue(t.access, t.Column(L"id"), env.error, &clValue), c.ok ? 1 : 0);
    EXPECT_EQ(env.server.vecTexts, std::vector<std::string>{"SELECT MAX(`id`)+1 FROM `t`"});
    const std::wstring sError = env.Error();
    if (c.ok) {
      EXPECT_EQ(clValue.wGetType(), c.type);
      long n = 0;
      EXPECT_EQ(clValue.nGetINT_64(&n), 0);
      EXPECT_EQ(n, c.value);
      EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_NONE) << testing::PrintToString(sError);
    } else {
      // The value stays; the reason comes after the message put first.
      int n = 0;
      EXPECT_EQ(clValue.nGetINT(&n), 0);
      EXPECT_EQ(n, -5);
      EXPECT_NE(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
      const std::size_t nPrefix = sError.find(kszNextValueFailed);
      EXPECT_NE(nPrefix, std::wstring::npos) << testing::PrintToString(sError);
      EXPECT_EQ(sError.find(kszNextValueFailed, nPrefix + 1), std::wstring::npos) << testing::PrintToString(sError);
    }
    // Nothing stays between calls.
    EXPECT_EQ(clAuto.pclGetNextValueQueryNoRef(), nullptr);
    env.ExpectAllGivenBack();
  }
}

TEST_F(internalquery_idauto, AQueryAliasNamesItsTable) {
  // SELECT o.id AS alias FROM orders AS o: the item's source is the alias,
  // the server knows the table.
  Env env;
  CStandInParserLedger::Reset();
  {
    CStandInParserBuilder b(L"SELECT o.id AS alias FROM orders AS o", 1);
    b.From(L"orders", L"o");
    CSQLParserInfo* pclQuery = new CSQLParserInfo(env.error, b.pi(), nullptr, 0);
    pclQuery->AddRef();
    NamedSource source;
    source.SetName(L"q");
    source.pclAdd(L"alias", NA_IT_I4, 4, L"o", L"id");
    Table t(&source, env, true);
    t.access->SetSourceQuery(pclQuery);
    pclQuery->nRelease();
    CNAIDAuto clAuto;
    CXYStringConcat<wchar_t> clText(16);
    EXPECT_TRUE(clAuto._bBuildQueryGetMax(&clText, t.access, t.Column(L"alias"), 1));
    EXPECT_EQ(Text(clText), L"SELECT MAX(`id`)+1 FROM `orders`");
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

TEST_F(internalquery_idauto, NextValueTextThatCannotBeBuilt) {
  Env env;
  NamedSource source;
  source.SetName(L"t");
  source.pclAdd(L"id", NA_IT_I4, 4, L"", L"");
  Table t(&source, env, true);
  CNAIDAuto clAuto;
  CAny clValue;
  EXPECT_FALSE(clAuto.bGetNextValue(t.access, t.Column(L"id"), env.error, &clValue));
  // Nothing was sent; the reason and the message put first.
  EXPECT_TRUE(env.server.vecTexts.empty());
  EXPECT_EQ(env.error->dwGetErrorId(), 38u);
  EXPECT_NE(env.Error().find(kszNextValueFailed), std::wstring::npos) << testing::PrintToString(env.Error());
}

TEST_F(internalquery_idauto, CurrentMaximum) {
  struct Case {
    const char* what;
    MemRows rows;
    bool refused;
    bool ok;
    bool null;
    int value;
    unsigned int error;
  } const kCases[] = {
      {"empty table: NULL", {{std::nullopt}}, false, true, true, 0, 0},
      {"largest 41", {{"41"}}, false, true, false, 41, 0},
      {"no row", {}, false, false, false, 0, 59},
      {"the server refuses the text", {}, true, false, false, 0, 38},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Env env;
    env.OneColumn(c.rows);
    if (c.refused) env.server.fnAnswer = [](const std::string&, MemRows*) { return false; };
    NamedSource source;
    DescribeIdTable(&source);
    Table t(&source, env);
    CNAIDAuto clAuto;
    CAny clValue;
    EXPECT_EQ(clAuto.bGetMaxCurrentValue(t.access, t.Column(L"id"), env.error, &clValue), c.ok ? 1 : 0);
    EXPECT_EQ(env.server.vecTexts, std::vector<std::string>{"SELECT MAX(`id`) FROM `t`"});
    if (c.ok) {
      EXPECT_EQ(clValue.bIsNull(), c.null);
      if (!c.null) {
        int n = 0;
        EXPECT_EQ(clValue.nGetINT(&n), 0);
        EXPECT_EQ(n, c.value);
      }
    } else {
      EXPECT_EQ(env.error->dwGetErrorId(), c.error);
      // Only the next value puts its message first.
      EXPECT_EQ(env.Error().find(kszNextValueFailed), std::wstring::npos);
    }
    if (c.error == 59) {
      EXPECT_NE(env.Error().find(L"No value was found for t.id."), std::wstring::npos)
          << testing::PrintToString(env.Error());
      EXPECT_STREQ(env.error->pszGetLogicalTableName(), L"t");
      EXPECT_STREQ(env.error->pszGetItemName(), L"id");
    }
    EXPECT_EQ(clAuto.pclGetMaxCurrentValueQueryNoRef(), nullptr);
    env.ExpectAllGivenBack();
  }
}

TEST_F(internalquery_idauto, WithoutErrorObjectFailuresStayFailures) {
  Env env;
  env.OneColumn();
  NamedSource source;
  DescribeIdTable(&source);
  Table t(&source, env);
  CNAIDAuto clAuto;
  CAny clValue;
  env.rows = {};
  EXPECT_FALSE(clAuto.bGetMaxCurrentValue(t.access, t.Column(L"id"), nullptr, &clValue));
  env.server.fnAnswer = [](const std::string&, MemRows*) { return false; };
  EXPECT_FALSE(clAuto.bGetNextValue(t.access, t.Column(L"id"), nullptr, &clValue));
  // The reasons went nowhere: the caller's error object is untouched.
  EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
  env.ExpectAllGivenBack();
}

TEST_F(internalquery_idauto, TheDriverMakesTheObject) {
  Env env;
  CNAIDAuto* pclAuto = env.driver->pclAllocIDAuto();
  ASSERT_NE(pclAuto, nullptr);
  EXPECT_EQ(pclAuto->nGetInternalCount(), 0u);
  pclAuto->AddRef();
  EXPECT_EQ(pclAuto->nRelease(), 0u);
}

}  // namespace
