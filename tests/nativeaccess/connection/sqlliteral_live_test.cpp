// What the connection writes, sent to the real server: every date, time and
// date-time literal is accepted under the server's default (strict) mode
// and reads back whole; each column expression gives the runtime's compact
// form of the stored value; a table whose name holds a backquote is named
// correctly by its formatted name.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CTString.h"
#include "CTStringConcatAW.h"
#include "MariaDbClient.h"
#include "TestSupport.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/TestConnection.h"

namespace {

using kxtest::TestConnection;

// The texts of this file are ASCII.
std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

class sqlliterallive : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_connection, failure)) << failure;
    ASSERT_TRUE(m_client.bLoaded()) << m_client.LoadError();
    m_mysql = m_client.Connect(m_connection, failure);
    ASSERT_NE(nullptr, m_mysql) << failure;
    Run("SET SESSION sql_mode = DEFAULT");
  }
  void TearDown() override {
    if (m_mysql != nullptr) m_client.Close(m_mysql);
    BoundRuntimeTest::TearDown();
  }

  void Run(const std::string& sql) {
    std::string failure;
    ASSERT_TRUE(m_client.Execute(m_mysql, sql, failure)) << sql << ": " << failure;
  }
  std::string Value(const std::string& sql) {
    std::string failure;
    const std::string s = m_client.QueryValue(m_mysql, sql, failure);
    EXPECT_EQ("", failure) << sql;
    return s;
  }

  // The literal the connection writes for a value.
  std::string Literal(const CAny& v) {
    CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
    CNAError err;
    EXPECT_TRUE(m_cnx.bConvertValueToString(&err, &out, &v, NA_IT_EMPTY, NA_IT_EMPTY));
    return Narrow(out.pszGetW());
  }

  kxtest::MariaDbConnection m_connection;
  kxtest::MariaDbClient m_client;
  void* m_mysql = nullptr;
  TestConnection m_cnx{nullptr, L"live literals", DATASOURCE_MARIADB};
};

TEST_F(sqlliterallive, DateAndTimeLiteralsAreAcceptedAndReadBackWhole) {
  Run("CREATE TEMPORARY TABLE kx_literals (d DATE, t TIME(3), dt DATETIME(3))");
  struct Case {
    const char* pszColumn;
    unsigned short wType;  // DATEW, TIMEW or DATETIME
    const wchar_t* pszRuntime;
    const char* pszStored;
  };
  const Case cases[] = {
      {"d", ANY_DATEW, L"20240229", "2024-02-29"},
      {"d", ANY_DATEW, L"00000000", "0000-00-00"},
      {"d", ANY_DATEW, L"99991231", "9999-12-31"},
      {"t", ANY_TIMEW, L"123456789", "12:34:56.789"},
      {"t", ANY_TIMEW, L"000000000", "00:00:00.000"},
      {"t", ANY_TIMEW, L"235959999", "23:59:59.999"},
      {"dt", ANY_DATETIME, L"20240229123456789", "2024-02-29 12:34:56.789"},
      {"dt", ANY_DATETIME, L"00000000123456789", "0000-00-00 12:34:56.789"},
      {"dt", ANY_DATETIME, L"00000000000000000", "0000-00-00 00:00:00.000"},
  };
  for (const Case& c : cases) {
    CAny v;
    v.__SetType(ANY_PSTRW, 0);
    v.SetValue(c.pszRuntime);
    ASSERT_LE(v.__nCastTo(c.wType, nullptr, 0), 99) << c.pszStored;
    const std::string sLiteral = Literal(v);
    Run("DELETE FROM kx_literals");
    Run(std::string("INSERT INTO kx_literals (") + c.pszColumn + ") VALUES (" + sLiteral + ")");
    EXPECT_EQ("0", Value("SELECT @@warning_count")) << sLiteral;
    EXPECT_EQ(c.pszStored, Value(std::string("SELECT ") + c.pszColumn + " FROM kx_literals")) << sLiteral;
  }
}

TEST_F(sqlliterallive, ColumnExpressionsGiveTheRuntimeForms) {
  Run("CREATE TEMPORARY TABLE kx_forms (t TIME(3), d DATE, dt DATETIME(3))");
  Run("INSERT INTO kx_forms VALUES ('12:34:56.789', '2024-02-29', '2024-02-29 12:34:56.789')");
  struct Case {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    const wchar_t* pszColumn;
    const char* pszExpected;
  };
  const Case cases[] = {
      {NA_IT_HEURE, 5, L"t", "1234"},
      {NA_IT_HEURE, 6, L"t", "12345"},
      {NA_IT_HEURE, 7, L"t", "123456"},
      {NA_IT_HEURE, 8, L"t", "1234567"},
      {NA_IT_HEURE, 9, L"t", "12345678"},
      {NA_IT_HEURE, 10, L"t", "123456789"},
      {NA_IT_DATE8, 9, L"d", "20240229"},
      {NA_IT_DATETIME, 8, L"dt", "20240229123456789"},
  };
  for (const Case& c : cases) {
    CNAItemDescription* pItem = new CNAItemDescription;
    pItem->AddRef();
    pItem->bInit(L"I", L"T", L"I", 1, c.nSize, c.e, 0, 0, 0, 0, 0);
    CTStringConcatAW out(CONCAT_CP_WIDE, 1252, 16);
    EXPECT_TRUE(m_cnx.bConvertExpressionToString(nullptr, &out, c.pszColumn, pItem, nullptr));
    pItem->nRelease();
    const std::string sExpression = Narrow(out.pszGetW());
    EXPECT_EQ(c.pszExpected, Value("SELECT " + sExpression + " FROM kx_forms")) << sExpression;
  }
}

TEST_F(sqlliterallive, TableNameWithBackquoteIsNamedByItsFormattedName) {
  const std::wstring sDataBase(m_connection.database.begin(), m_connection.database.end());
  CTString name;
  ASSERT_TRUE(m_cnx.bFormatTableName(nullptr, L"a`b", &name));
  const std::string sName = Narrow(name.pszGet());
  EXPECT_EQ("`a``b`", sName);
  CTString qualified;
  ASSERT_TRUE(m_cnx.bFormatTableName(nullptr, (sDataBase + L".a`b").c_str(), &qualified));
  const std::string sQualified = Narrow(qualified.pszGet());

  Run("DROP TABLE IF EXISTS " + sName);
  Run("CREATE TABLE " + sName + " (kx_id INT)");
  for (const std::string& s : {sName, sQualified}) {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    EXPECT_TRUE(m_client.Query(m_mysql, "SHOW COLUMNS FROM " + s, result, failure)) << s << ": " << failure;
    ASSERT_EQ(1u, result.rows.size()) << s;
    ASSERT_FALSE(result.rows[0].empty());
    EXPECT_EQ("kx_id", result.rows[0][0].value_or("")) << s;
  }
  Run("DROP TABLE " + sName);
}

}  // namespace
