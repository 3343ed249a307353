// The SQL type texts of the MariaDB/MySQL connection's item-type map, built
// for the version the fixture's server reports, sent to that server: each
// is accepted in a CREATE TABLE and makes the column it means.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "CMySQLConnection.h"
#include "CNAItemDescription.h"
#include "MariaDbClient.h"
#include "TestSupport.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

constexpr const char* kTable = "kx_typemap_live";

// A connection that believes it talks to a server of the given version.
class VersionedConnection : public CMySQLConnection {
 public:
  VersionedConnection(kxtest::TestHostDescription* host, const std::string& version)
      : CMySQLConnection(L"typemap", host) {
    m_csServerVersion.Set(std::wstring(version.begin(), version.end()).c_str());
    _bDecomposeServerVersion(nullptr);
  }
  int nMajor() const { return m_nServerMajor; }
};

// The SQL type a table creation writes for the item, in ASCII; empty when
// the connection refuses the item.
std::string SqlType(VersionedConnection& cnx, eNA_ITEMTYPE e, std::uint32_t nSize, int nInt,
                    int nDec) {
  auto* item = new CNAItemDescription;
  item->AddRef();
  item->bInit(L"v", L"", L"", 1, nSize, e, 0, 0, 0, 1, 0);
  if (e == NA_IT_DECIMAL) {
    item->SetIntegerPart(nInt);
    item->SetDecimalPart(nDec);
  }
  CTString out;
  const int bOk = cnx.bGetMatchingSQLType(nullptr, item, &out);
  item->nRelease();
  if (!bOk) return std::string();
  std::string s;
  for (const wchar_t* p = out.pszGet(); *p != 0; ++p) s += static_cast<char>(*p);
  return s;
}

class typemaplive : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_connection, failure)) << failure;
    ASSERT_TRUE(m_client.bLoaded()) << m_client.LoadError();
    m_pMysql = m_client.Connect(m_connection, failure);
    ASSERT_NE(m_pMysql, nullptr) << failure;
    Drop();
  }
  void TearDown() override {
    if (m_pMysql == nullptr) return;
    Drop();
    m_client.Close(m_pMysql);
  }
  void Drop() {
    std::string failure;
    EXPECT_TRUE(m_client.Execute(m_pMysql, std::string("DROP TABLE IF EXISTS ") + kTable, failure))
        << failure;
  }

  kxtest::MariaDbConnection m_connection;
  kxtest::MariaDbClient m_client;
  void* m_pMysql = nullptr;
};

TEST_F(typemaplive, EveryTypeTextMakesItsColumn) {
  std::string failure;
  const std::string version = m_client.QueryValue(m_pMysql, "SELECT VERSION()", failure);
  ASSERT_FALSE(version.empty()) << failure;
  kxtest::TestHostDescription host;
  VersionedConnection cnx(&host, version);
  ASSERT_GE(cnx.nMajor(), 10) << version;

  struct Case {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;  // element size in the record
    int nInt, nDec;
    const char* dataType;    // information_schema's DATA_TYPE
    const char* columnType;  // a part COLUMN_TYPE must hold
    const char* charset;     // CHARACTER_SET_NAME, "" for none asked
  } const cases[] = {
      {NA_IT_IDAUTO, 8, 0, 0, "bigint", "bigint", ""},
      {NA_IT_TEXTE, 41, 0, 0, "varchar", "varchar(40)", ""},
      {NA_IT_I2, 2, 0, 0, "smallint", "smallint", ""},
      {NA_IT_I1, 1, 0, 0, "tinyint", "tinyint", ""},
      {NA_IT_I4, 4, 0, 0, "int", "int", ""},
      {NA_IT_R4, 4, 0, 0, "float", "float", ""},
      {NA_IT_R8, 8, 0, 0, "double", "double", ""},
      {NA_IT_UI2, 2, 0, 0, "smallint", "unsigned", ""},
      {NA_IT_DATE6, 7, 0, 0, "date", "date", ""},
      {NA_IT_HEURE, 5, 0, 0, "time", "time", ""},
      {NA_IT_UI1, 1, 0, 0, "tinyint", "unsigned", ""},
      {NA_IT_REELTURBO, 8, 0, 0, "double", "double", ""},
      {NA_IT_DATE8, 9, 0, 0, "date", "date", ""},
      {NA_IT_MEMOTEXTE, 8, 0, 0, "longtext", "longtext", ""},
      {NA_IT_MEMOBINAIRE4, 8, 0, 0, "longblob", "longblob", ""},
      {NA_IT_MONETAIRE, 10, 0, 0, "decimal", "decimal(24,6)", ""},
      {NA_IT_MEMOBINAIRE, 8, 0, 0, "longblob", "longblob", ""},
      {NA_IT_I8, 8, 0, 0, "bigint", "bigint", ""},
      {NA_IT_UI8, 8, 0, 0, "bigint", "unsigned", ""},
      {NA_IT_IMAGE, 16, 0, 0, "char", "char(16)", ""},
      {NA_IT_UI4, 4, 0, 0, "int", "unsigned", ""},
      {NA_IT_BINAIRE, 12, 0, 0, "varbinary", "varbinary(10)", ""},
      {NA_IT_DATETIME, 8, 0, 0, "datetime", "datetime", ""},
      {NA_IT_TIMELENGHT, 8, 0, 0, "bigint", "bigint", ""},
      {NA_IT_CHAR, 1, 0, 0, "char", "char(1)", ""},
      {NA_IT_BOOLEEN, 1, 0, 0, "tinyint", "tinyint", ""},
      {NA_IT_IDAUTO4, 4, 0, 0, "int", "int", ""},
      {NA_IT_UNICODE, 102, 0, 0, "varchar", "varchar(50)", "utf8mb4"},
      {NA_IT_MEMOUNICODE, 8, 0, 0, "longtext", "longtext", "utf8mb4"},
      {NA_IT_DECIMAL, 8, 10, 2, "decimal", "decimal(12,2)", ""},
      // The server's largest decimal the connection writes.
      {NA_IT_DECIMAL, 18, 40, 35, "decimal", "decimal(64,30)", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << g_pszGetNAItemTypeName(c.e) << " on " << version);
    const std::string type = SqlType(cnx, c.e, c.nSize, c.nInt, c.nDec);
    ASSERT_FALSE(type.empty());
    ASSERT_TRUE(m_client.Execute(m_pMysql,
                                 std::string("CREATE TABLE ") + kTable + " (v " + type + ")",
                                 failure))
        << type << ": " << failure;
    kxtest::MariaDbClient::Result result;
    ASSERT_TRUE(m_client.Query(m_pMysql,
                               std::string("SELECT DATA_TYPE, COLUMN_TYPE, "
                                           "IFNULL(CHARACTER_SET_NAME, '') "
                                           "FROM information_schema.COLUMNS "
                                           "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '") +
                                   kTable + "' AND COLUMN_NAME = 'v'",
                               result, failure))
        << failure;
    ASSERT_EQ(result.rows.size(), 1u) << type;
    const auto& row = result.rows[0];
    ASSERT_EQ(row.size(), 3u);
    EXPECT_EQ(row[0].value_or("<null>"), c.dataType) << type;
    EXPECT_NE(row[1].value_or("").find(c.columnType), std::string::npos)
        << type << " -> " << row[1].value_or("<null>");
    if (*c.charset != 0) {
      EXPECT_EQ(row[2].value_or("<null>"), c.charset) << type;
    }
    Drop();
  }
}

}  // namespace
