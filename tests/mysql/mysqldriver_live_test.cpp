// The MariaDB/MySQL driver and its SQL face on the fixture's server, with
// the real client library: the existence of tables, the locks against a
// session that holds the rows, the catalogue lists, and a list read to its
// end after another statement failed on the same connection.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CMySQLDriverSQL.h"
#include "CMySQLStatementSQL.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "mysql/support/MariaDbLiveTest.h"
#include "mysql/support/TextOnlyParser.h"

namespace {

using kxtest::Narrow;
using kxtest::TestHostDescription;
using kxtest::TextOnlyParser;
using kxtest::WideFromUTF8;

std::wstring Text(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return L"<not a text>";
  return psz;
}

// A CMySQLDriver made as the library's entry makes it, the process's driver
// for the test's lifetime (the connections' own texts run on its face).
class mysqldriverLive : public kxtest::MariaDbLiveTest {
 protected:
  mysqldriverLive() : MariaDbLiveTest("kxdrv") {}
  void SetUp() override {
    MariaDbLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_pDriver = new CMySQLDriver();
    ASSERT_EQ(m_pDriver->bInitDriver(), 1);
    CNADriverLock lock;
    m_pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = m_pDriver;
    Describe(m_host, m_c.user, m_c.password, L"");
  }
  void TearDown() override {
    if (m_pDriver != nullptr) {
      {
        CNADriverLock lock;
        CNADriver::s_pclDriver = m_pclPrevious;
      }
      delete m_pDriver;
      m_pDriver = nullptr;
    }
    MariaDbLiveTest::TearDown();
  }
  std::wstring WTable() const { return WideFromUTF8(m_sTable); }
  std::string LastError() { return Narrow(m_pDriver->pclGetError()->pszGetError()); }

  CMySQLDriver* m_pDriver = nullptr;
  CNADriver* m_pclPrevious = nullptr;
  TestHostDescription m_host;
};

// Slot 26 answers (1, 1) for a table, (1, 0) for a missing one (the
// server's 1146 left to read), and 0 when the server refuses the question
// (no privilege on the table).
TEST_F(mysqldriverLive, TableExistence) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY)"));
  const struct {
    std::wstring sName;
    int nAnswer;
    int nExists;
    unsigned nServerError;  // left in the driver's error object
  } rows[] = {
      {WTable(), 1, 1, 0},
      {WideFromUTF8(m_c.database) + L"." + WTable(), 1, 1, 0},
      {WTable() + L"_missing", 1, 0, 1146},
      {L"mysql.user", 0, 0, 1142},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.sName.c_str()));
    int nExists = -1;
    EXPECT_EQ(m_pDriver->bTableExists(&nExists, row.sName.c_str(), &m_host), row.nAnswer) << LastError();
    EXPECT_EQ(nExists, row.nExists);
    EXPECT_EQ(m_pDriver->pclGetError()->dwGetDataBaseErrorCode(), row.nServerError) << LastError();
  }
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 0u) << "each question gave its connection back";
}

// While the test's own session holds the rows of a table (SELECT ... FOR
// UPDATE in a transaction), both locks of the driver's connection wait and
// fail with 1205 as the driver's main error; a query ending in a comment
// still asks for the lock. Once the session lets go both succeed.
TEST_F(mysqldriverLive, LocksMeetTheRowsAnotherSessionHolds) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("INSERT INTO " + m_sTable + " VALUES (1), (2)"));
  ASSERT_EQ(m_pDriver->bOpenConnection(&m_host), 1) << LastError();
  {
    CNAConnectionDescription* pclCnx = m_pDriver->_pclFindConnection(&m_host);
    ASSERT_NE(pclCnx, nullptr);
    CNAError error;
    EXPECT_EQ(pclCnx->bExecuteQueryNoResult(&error, L"SET SESSION innodb_lock_wait_timeout = 1"), 1)
        << Narrow(error.pszGetError());
    pclCnx->nRelease();
  }
  ASSERT_TRUE(Run("START TRANSACTION"));
  ASSERT_TRUE(Run("SELECT * FROM " + m_sTable + " FOR UPDATE"));

  const std::wstring sQuery = L"SELECT * FROM " + WTable() + L" WHERE id = 2 -- the second row;";
  TextOnlyParser parser(sQuery.c_str());
  const struct {
    const char* pszWhat;
    std::function<int()> fnLock;
  } rows[] = {
      {"table lock", [&] { return m_pDriver->bSQLBloqueTable(&m_host, WTable().c_str()); }},
      {"query lock", [&] { return m_pDriver->bSQLBloqueRequete(&m_host, &parser); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pszWhat);
    // An earlier entry's failure must not stay in front of the lock's.
    m_pDriver->pclGetError()->_SetDataBaseError(NA_ERRORTYPE_DUPLICATE, nullptr, 22, 1062, L"dup",
                                                nullptr, nullptr);
    EXPECT_EQ(row.fnLock(), 0);
    EXPECT_EQ(m_pDriver->pclGetError()->dwGetDataBaseErrorCode(), 1205u) << LastError();
    EXPECT_NE(m_pDriver->pclGetError()->eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
  }
  ASSERT_TRUE(Run("ROLLBACK"));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pszWhat);
    EXPECT_EQ(row.fnLock(), 1) << LastError();
  }
  EXPECT_EQ(parser.nTextAsked, 2);
  EXPECT_EQ(m_pDriver->bCloseConnection(&m_host), 1);
}

// The table lock names its table only as an identifier: plain, dotted and
// quoted names lock the table; a name carrying a second statement is one
// unknown (or invalid) table name to the server, the lock fails with its
// error and the other table is still there.
TEST_F(mysqldriverLive, TableLockSendsTheNameOnlyAsAnIdentifier) {
  const std::string sOther = m_sTable + "_u";
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("CREATE TABLE " + sOther + " (id INT PRIMARY KEY) ENGINE=InnoDB"));
  ASSERT_EQ(m_pDriver->bOpenConnection(&m_host), 1) << LastError();
  const std::wstring sT = WTable();
  const std::wstring sU = WideFromUTF8(sOther);
  const std::wstring sDb = WideFromUTF8(m_c.database);
  const struct {
    std::wstring sName;
    int nAnswer;
  } rows[] = {
      {sT, 1},
      {sDb + L"." + sT, 1},
      {L"`" + sDb + L"`.`" + sT + L"`", 1},
      {sT + L"; DROP TABLE " + sU + L"; -- ", 0},
      {L"`" + sT + L"` ; DROP TABLE " + sU + L"; -- ", 0},
      {sT + L"; DROP TABLE " + sU, 0},
      {sT + L" " + sU, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.sName.c_str()));
    ASSERT_TRUE(Run("CREATE TABLE IF NOT EXISTS " + sOther + " (id INT PRIMARY KEY) ENGINE=InnoDB"));
    EXPECT_EQ(m_pDriver->bSQLBloqueTable(&m_host, row.sName.c_str()), row.nAnswer) << LastError();
    if (row.nAnswer == 0) {
      // No such table, or (a name ending in a blank) no valid table name.
      const unsigned nServerError = m_pDriver->pclGetError()->dwGetDataBaseErrorCode();
      EXPECT_TRUE(nServerError == 1146u || nServerError == 1103u) << LastError();
    }
    EXPECT_EQ(Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                    "TABLE_NAME = '" + sOther + "'"),
              "1");
  }
  EXPECT_EQ(m_pDriver->bCloseConnection(&m_host), 1);
  Run("DROP TABLE IF EXISTS " + sOther);
}

// The catalogue lists of the face on an open connection: the driver's
// column types, the generic table listing with the runtime's condition as
// given (it brings its own connector), long (0x20: name, schema, an empty
// field, the type) and sorted without regard to case (0x10), SHOW COLUMNS,
// and a list text that gives no result set.
TEST_F(mysqldriverLive, CatalogueLists) {
  for (const char* pszSuffix : {"_b", "_A", "_c", "_o.t"})
    ASSERT_TRUE(Run("CREATE TABLE `" + m_sTable + pszSuffix + "` (id INT, name VARCHAR(10))"));
  CNAConnectionDescription* pclCnx = m_pDriver->_pclGetConnection(&m_host);
  ASSERT_NE(pclCnx, nullptr);
  CNAError* pclError = m_pDriver->pclGetError();
  ASSERT_EQ(pclCnx->bOpen(pclError), 1) << LastError();
  CNADriverSQL* pclFace = m_pDriver->pclGetDriverSQL();
  ASSERT_NE(pclFace, nullptr);
  const std::wstring sT = WTable();
  const std::wstring sDb = WideFromUTF8(m_c.database);
  const std::wstring sFilter = L"AND TABLE_NAME LIKE '" + sT + L"%'";

  CAny clList;
  EXPECT_EQ(m_pDriver->bSQLFormatColonne(&m_host, &clList), 1);
  EXPECT_EQ(Text(clList), CMySQLDriverSQL::s_pszColumnTypeList());

  const std::wstring sLong = sT + L"_A\t" + sDb + L"\t\tTABLE\r\n" + sT + L"_b\t" + sDb + L"\t\tTABLE\r\n" + sT +
                             L"_c\t" + sDb + L"\t\tTABLE\r\n" + sT + L"_o.t\t" + sDb + L"\t\tTABLE";
  const struct {
    unsigned nFlags;
    std::wstring sList;
  } rows[] = {
      {0x11, sT + L"_A\r\n" + sT + L"_b\r\n" + sT + L"_c\r\n" + sT + L"_o.t"},
      {0x31, sLong},
      {0x21, sLong},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.nFlags);
    EXPECT_EQ(pclFace->bGetTableList(&clList, pclCnx, sFilter.c_str(), row.nFlags), 1) << LastError();
    EXPECT_EQ(Narrow(Text(clList).c_str()), Narrow(row.sList.c_str()));
  }
  EXPECT_EQ(pclFace->bGetTableList(&clList, pclCnx, L"AND TABLE_NAME LIKE 'no such table%'", 0x31), 1);
  EXPECT_EQ(Text(clList), L"");
  // The SHOW form of a condition still parses there, but as no name filter
  // (the server reads TABLE_TYPE = ('BASE TABLE' LIKE ...)); the listing
  // stays in the current schema.
  EXPECT_EQ(pclFace->bGetTableList(&clList, pclCnx, (L"LIKE '" + sT + L"%'").c_str(), 0x31), 1) << LastError();
  const std::wstring sShowForm = Text(clList);
  EXPECT_NE(sShowForm.find(sT + L"_b\t" + sDb + L"\t"), std::wstring::npos);
  EXPECT_EQ(sShowForm.find(L"\tinformation_schema\t"), std::wstring::npos);

  EXPECT_EQ(pclFace->bGetColumnList(&clList, pclCnx, (sT + L"_b").c_str(), 0), 1) << LastError();
  EXPECT_EQ(Text(clList), L"id\r\nname");
  EXPECT_EQ(pclFace->bGetColumnList(&clList, pclCnx, (sT + L"_none").c_str(), 0), 0);
  EXPECT_EQ(pclError->dwGetDataBaseErrorCode(), 1146u);

  pclError->Reset();
  clList.SetNull(true);
  EXPECT_EQ(pclFace->_bGetList(&clList, pclCnx, L"SET @kx = 1", 1, 0), 1) << LastError();
  EXPECT_FALSE(clList.bIsNull());
  EXPECT_EQ(Text(clList), L"");
  EXPECT_EQ(pclError->eGetErrorType(), NA_ERRORTYPE_NONE);

  m_pDriver->nReleaseConnection(pclCnx);
  for (const char* pszSuffix : {"_b", "_A", "_c", "_o.t"})
    Run("DROP TABLE `" + m_sTable + pszSuffix + "`");
}

// A statement whose first value read lets another statement fail on the
// same connection: the client handle then holds that failure (1146) while
// the stored rows are read on to their end.
class InterleavingStatement : public CMySQLStatementSQL {
 public:
  InterleavingStatement(CMySQLConnection* cnx, CNAError* error, const std::wstring& failing)
      : CMySQLStatementSQL(cnx, error), m_sFailing(failing) {}
  using CMySQLStatementSQL::bGetValue;
  int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int option) override {
    if (!m_bFailed) {
      m_bFailed = true;
      CNAError scratch;
      nOtherAnswer = pclGetMySQLConnectionNoRef()->bExecuteQueryNoResult(&scratch, m_sFailing.c_str());
    }
    return CMySQLStatementSQL::bGetValue(value, column, option);
  }
  static int nOtherAnswer;

 private:
  std::wstring m_sFailing;
  bool m_bFailed = false;
};
int InterleavingStatement::nOtherAnswer = -1;

class InterleavingFace : public CMySQLDriverSQL {
 public:
  InterleavingFace(CNAError* error, const std::wstring& failing)
      : CMySQLDriverSQL(nullptr, error), m_sFailing(failing) {}
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* cnx, CNAError* error) override {
    return new InterleavingStatement(dynamic_cast<CMySQLConnection*>(cnx), error, m_sFailing);
  }

 private:
  std::wstring m_sFailing;
};

// The end of a stored result is the end of the rows, whatever error an
// earlier statement left on the handle: the list reads every row and
// succeeds with no error reported.
TEST_F(mysqldriverLive, ListEndIgnoresAnotherStatementsFailure) {
  CMySQLConnection cnx(L"live", &m_host);
  cnx.AddRef();
  CNAError error;
  error.AddRef();
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  InterleavingFace* pclFace = new InterleavingFace(&error, L"SELECT * FROM " + WTable() + L"_missing");
  pclFace->AddRef();
  CAny clList;
  EXPECT_EQ(pclFace->_bGetList(&clList, &cnx, L"SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3", 1, 0), 1)
      << Narrow(error.pszGetError());
  EXPECT_EQ(Text(clList), L"1\r\n2\r\n3");
  EXPECT_EQ(error.eGetErrorType(), NA_ERRORTYPE_NONE) << Narrow(error.pszGetError());
  // The handle did hold the other statement's failure meanwhile.
  EXPECT_EQ(InterleavingStatement::nOtherAnswer, 0);
  unsigned nCode = 0;
  EXPECT_EQ(cnx.bGetLastError(&error, &nCode), 1);
  EXPECT_EQ(nCode, 1146u);
  pclFace->nRelease();
  EXPECT_EQ(cnx.bClose(&error), 1);
}

}  // namespace
