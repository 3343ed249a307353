// The MariaDB/MySQL driver without a server: the classes its factories
// give, the fatal-error debug line, the existence test's answers, and the
// two SQL locks (their error handling and the text they send).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CMySQLDriverSQL.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CXError.h"
#include "mysql/support/TextOnlyParser.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/RecordingStatement.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestDriver.h"

namespace {

using kxtest::RecordingStatement;
using kxtest::StatementScript;
using kxtest::TestConnection;
using kxtest::TestHostDescription;
using kxtest::TextOnlyParser;
using Texts = std::vector<std::wstring>;

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L""; }

// The MariaDB/MySQL face whose statements record their texts.
class RecordingFace : public CMySQLDriverSQL {
 public:
  RecordingFace(CNADriver* driver, CNAError* error, StatementScript* script)
      : CMySQLDriverSQL(driver, error), m_pScript(script) {}
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* cnx, CNAError* error) override {
    return new RecordingStatement(m_pScript, cnx, error);
  }

 private:
  StatementScript* m_pScript;
};

// Makes `driver` the process's driver for the scope (the connections' own
// texts run on its face) and puts the previous one back after.
class ProcessDriver {
 public:
  explicit ProcessDriver(CNADriver* driver) {
    CNADriverLock lock;
    m_pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = driver;
  }
  ~ProcessDriver() {
    CNADriverLock lock;
    CNADriver::s_pclDriver = m_pclPrevious;
  }
  ProcessDriver(const ProcessDriver&) = delete;
  ProcessDriver& operator=(const ProcessDriver&) = delete;

 private:
  CNADriver* m_pclPrevious = nullptr;
};

// The MariaDB/MySQL driver with test connections (their opening scripted)
// and a recording face; everything else is the driver's own.
class ScriptedMySQLDriver : public CMySQLDriver {
 public:
  ~ScriptedMySQLDriver() override { _Term(); }
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                           INAConnectionDescription* cnx) override {
    auto* pclCnx = new TestConnection(cnx, identification);
    pclCnx->m_bIsOpenAnswer = 0;
    pclLast = pclCnx;
    return pclCnx;
  }
  CNADriverSQL* _pclAllocDriverSQL(CNAError* error) override {
    return new RecordingFace(this, error, &stScript);
  }
  using CMySQLDriver::_ResetError;

  StatementScript stScript;
  TestConnection* pclLast = nullptr;
};

// The driver's own factories: the MariaDB/MySQL classes, each new with
// counts 0; the face knows the driver and holds its error object.
TEST(mysqldriverCore, FactoriesGiveTheDriversClasses) {
  CMySQLDriver driver;
  ASSERT_EQ(driver.bInitDriver(), 1);
  CNAError* pclError = driver.pclGetError();
  const std::uint32_t nHolders = pclError->nGetHolderCount();

  CNADriverSQL* pclFace = driver.pclGetDriverSQL();
  ASSERT_NE(pclFace, nullptr);
  EXPECT_NE(dynamic_cast<CMySQLDriverSQL*>(pclFace), nullptr);
  EXPECT_EQ(pclFace->pclGetDriver(), &driver);
  EXPECT_EQ(pclFace->pclGetErrorNoRef(), pclError);
  EXPECT_EQ(pclError->nGetHolderCount(), nHolders + 1);
  EXPECT_EQ(driver.pclGetDriverSQL(), pclFace) << "made once";

  TestHostDescription host;
  CNAConnectionDescription* pclCnx = driver._pclAllocConnectionDescription(L"id", &host);
  ASSERT_NE(pclCnx, nullptr);
  EXPECT_NE(dynamic_cast<CMySQLConnection*>(pclCnx), nullptr);
  EXPECT_EQ(pclCnx->eGetDataSource(), DATASOURCE_MARIADB);
  EXPECT_EQ(pclCnx->nGetInternalCount(), 0u);
  delete pclCnx;
  EXPECT_EQ(driver.llGetValue(), CMySQLDriver::knDriverValue);

  // A statement of the face needs the driver's own connection class.
  CNAStatementSQL* pclStatement = pclFace->pclAllocStatementSQL(nullptr, pclError);
  ASSERT_NE(pclStatement, nullptr);
  pclStatement->AddRef();
  pclStatement->nRelease();
  TestConnection foreign;
  foreign.AddRef();
  EXPECT_EQ(pclFace->pclAllocStatementSQL(&foreign, pclError), nullptr);

  driver._FreeDriverSQL();
  EXPECT_EQ(pclError->nGetHolderCount(), nHolders) << "the face gave its error reference back";
}

// Debug message 3355 names the client API the driver was written for and
// the loaded client's version; without a connection there is no loaded
// client to name. The client-call guard adds it after a crash inside the
// client.
TEST(mysqldriverCore, FatalErrorDebugLine) {
  CMySQLDriver driver;
  ASSERT_EQ(driver.bInitDriver(), 1);
  const CTString csSaved = CNAConnectionDescription::m_csClientVersion;
  CNAConnectionDescription::m_csClientVersion.Set(L"3.3.20");
  TestHostDescription host;
  CMySQLConnection cnx(L"id", &host);
  const struct {
    CNAConnectionDescription* pclCnx;
    const wchar_t* pszLine;
  } rows[] = {
      {&cnx, L"Crash inside the MariaDB client library (client API 3.23.52, loaded library version 3.3.20)."},
      {nullptr, L"Crash inside the MariaDB client library (client API 3.23.52, loaded library version )."},
  };
  for (const auto& row : rows) {
    CNAError error;
    error.AddError(NA_ERRORTYPE_GENERIC, 101, 9, nullptr, 23, L"MariaDB");
    driver.OnFatalErrorAddDebugMessage(&error, row.pclCnx);
    EXPECT_NE(W(error.pclGetXError()->pszGetDebugMessage()).find(row.pszLine), std::wstring::npos)
        << kxtest::Narrow(error.pclGetXError()->pszGetDebugMessage());
  }
  driver.OnFatalErrorAddDebugMessage(nullptr, &cnx);  // nothing to add to

  // Through the guard, with this driver as the process's driver.
  {
    CNADriverLock lock;
    CNADriver* pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &driver;
    CNAError error;
    EXPECT_FALSE(cnx._bGuard(&error, 7, [] { throw 42; }));
    EXPECT_EQ(error.nGetUserErrorCode(), 23u);
    EXPECT_NE(W(error.pclGetXError()->pszGetDebugMessage()).find(rows[0].pszLine), std::wstring::npos);
    CNADriver::s_pclDriver = pclPrevious;
  }
  CNAConnectionDescription::m_csClientVersion = csSaved;
}

// A failure left by an earlier entry (here a duplicate, type 3) must not
// stay the main error of a lock: the lock resets the driver's error, so
// its own refusal (14, unknown connection) is the main error.
TEST(mysqldriverCore, LocksResetTheDriversErrorFirst) {
  ScriptedMySQLDriver driver;
  ASSERT_EQ(driver.bInitDriver(), 1);
  CNAError* pclError = driver.pclGetError();
  TestHostDescription host;
  host.pszDataSource = L"server";
  TextOnlyParser parser(L"SELECT 1");
  const struct {
    const char* pszWhat;
    std::function<int()> fnLock;
    const wchar_t* pszLocation;
  } rows[] = {
      {"table lock", [&] { return driver.bSQLBloqueTable(&host, L"T"); }, L"=5.1"},
      {"query lock", [&] { return driver.bSQLBloqueRequete(&host, &parser); }, L"=5.2"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pszWhat);
    pclError->Reset();
    pclError->_SetDataBaseError(NA_ERRORTYPE_DUPLICATE, nullptr, 22, 1062, L"Duplicate entry", nullptr,
                                nullptr);
    ASSERT_EQ(pclError->eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(row.fnLock(), 0);
    EXPECT_EQ(pclError->eGetErrorType(), NA_ERRORTYPE_GENERIC);
    EXPECT_EQ(pclError->dwGetErrorId(), 14u) << "the lock's refusal is the main error";
    EXPECT_EQ(pclError->dwGetDataBaseErrorCode(), 0u) << "nothing of the duplicate is left";
    EXPECT_NE(W(pclError->pclGetXError()->pszGetDebugMessage()).find(row.pszLocation), std::wstring::npos);
  }
  EXPECT_EQ(driver.nGetConnectionCount(), 0u);
  EXPECT_EQ(parser.nTextAsked, 0);
}

// On a registered connection the locks open it when needed and run through
// the face: the table lock with the connection's lock text, the query lock
// with the parser's query text, made safe for the appended clause.
TEST(mysqldriverCore, LocksRunOnTheRegisteredConnection) {
  // The runtime's description outlives the driver, which holds it.
  TestHostDescription host;
  host.pszDataSource = L"server";
  ScriptedMySQLDriver driver;
  ASSERT_EQ(driver.bInitDriver(), 1);
  ProcessDriver scope(&driver);
  CNAConnectionDescription* pclCnx = driver._pclGetConnection(&host);
  ASSERT_NE(pclCnx, nullptr);
  pclCnx->nRelease();  // the registry's reference stays
  TestConnection* pclTest = driver.pclLast;

  EXPECT_EQ(driver.bSQLBloqueTable(&host, L"`T`"), 1);
  EXPECT_EQ(pclTest->m_nOpenCalls, 1) << "opened because it was not open";
  pclTest->m_bIsOpenAnswer = 1;
  TextOnlyParser parser(L"SELECT * FROM T -- the last rows ;; ");
  EXPECT_EQ(driver.bSQLBloqueRequete(&host, &parser), 1);
  EXPECT_EQ(pclTest->m_nOpenCalls, 1) << "an open connection is not opened again";
  EXPECT_EQ(parser.nTextAsked, 1);
  EXPECT_EQ(driver.stScript.vecTexts,
            (Texts{L"LOCK TABLE `T`", L"SELECT * FROM T -- the last rows\n FOR UPDATE"}));
  EXPECT_EQ(driver.stScript.nAlive, 0);
  EXPECT_EQ(driver.nGetConnectionCount(), 1u) << "the lock keeps the connection";

  // A connection that cannot open: no text, the answer 0.
  pclTest->m_bIsOpenAnswer = 0;
  pclTest->m_bOpenAnswer = 0;
  EXPECT_EQ(driver.bSQLBloqueRequete(&host, &parser), 0);
  EXPECT_EQ(driver.stScript.vecTexts.size(), 2u);
}

// The clause appended by a query lock starts its own line after the text
// without its trailing blanks and semicolons, so neither an end of
// statement nor a comment at the end of the text can cut it off.
TEST(mysqldriverCore, QueryLockTextKeepsTheClause) {
  StatementScript script;
  kxtest::RecordingStatementScope scope(&script);
  TestConnection cnx;
  cnx.AddRef();
  const struct {
    const wchar_t* pszQuery;
    const wchar_t* pszSent;
  } rows[] = {
      {L"SELECT * FROM T", L"SELECT * FROM T\n FOR UPDATE"},
      {L"SELECT * FROM T;", L"SELECT * FROM T\n FOR UPDATE"},
      {L"SELECT * FROM T ; ;\t\r\n ", L"SELECT * FROM T\n FOR UPDATE"},
      {L"SELECT * FROM T -- keep", L"SELECT * FROM T -- keep\n FOR UPDATE"},
      {L"SELECT a FROM T # note;", L"SELECT a FROM T # note\n FOR UPDATE"},
      {L"SELECT ';' FROM T WHERE a = ' ;'", L"SELECT ';' FROM T WHERE a = ' ;'\n FOR UPDATE"},
      {L" ;", L"\n FOR UPDATE"},
      {nullptr, L"\n FOR UPDATE"},
  };
  for (const auto& row : rows) {
    script.vecTexts.clear();
    EXPECT_EQ(cnx.bSQLBloqueRequete(nullptr, row.pszQuery), 1);
    EXPECT_EQ(script.vecTexts, Texts{row.pszSent});
  }
}

// The existence test as the driver's entry runs it: "SHOW COLUMNS FROM"
// the formatted name; a name the connection cannot format answers 0
// without asking.
TEST(mysqldriverCore, TableExistsAsksShowColumnsOfTheFormattedName) {
  ScriptedMySQLDriver driver;
  ASSERT_EQ(driver.bInitDriver(), 1);
  TestConnection cnx;
  cnx.AddRef();
  int nExists = -1;
  EXPECT_EQ(driver._bTableExists(&nExists, L"my db.T 1", &cnx), 1);
  EXPECT_EQ(nExists, 1);
  EXPECT_EQ(driver.stScript.vecTexts, Texts{L"SHOW COLUMNS FROM `my db`.`T 1`"});
  EXPECT_EQ(driver.stScript.nAlive, 0) << "the statement is released at once";
  // A refused SHOW without the server's 1146: not answered.
  driver.stScript.FailNext();
  nExists = -1;
  EXPECT_EQ(driver._bTableExists(&nExists, L"T", &cnx), 0);
  EXPECT_EQ(nExists, 0);
  EXPECT_EQ(driver._bTableExists(&nExists, L"T", nullptr), 0);
}

}  // namespace
