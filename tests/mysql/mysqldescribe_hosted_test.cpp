// A table described from the MariaDB/MySQL catalogue without a server: the
// catalogue texts by server version and table name, the column rows in both
// layouts, the grouping of index rows into keys, and the failures that end
// a reading (a fetch or a value read that fails part way, a composite index
// on an unknown column), answered by an in-memory server through the test
// driver's SQL face.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLDataSourceDescription.h"
#include "CNAError.h"
#include "CXError.h"
#include "mysql/support/DescriptionSummary.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/InMemoryStatementSQL.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestDriver.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

using kxtest::MemRow;
using kxtest::MemRows;
using kxtest::MemValue;
using kxtest::Narrow;

// A MariaDB/MySQL connection that is never opened, of the server version a
// test sets.
class VersionedConnection : public CMySQLConnection {
 public:
  explicit VersionedConnection(INAConnectionDescription* host) : CMySQLConnection(L"describe", host) {}
  void SetServer(int major, int minor) {
    m_nServerMajor = major;
    m_nServerMinor = minor;
  }
};

// One column of the catalogue, written in either layout.
struct Column {
  const char* field;
  const char* type;
  MemValue collation;
  const char* null;
  const char* key;
  MemValue def;
  const char* extra;
};

MemRow ColumnRow(const Column& c, bool full) {
  MemRow row{std::string(c.field), std::string(c.type)};
  if (full) row.push_back(c.collation);
  row.insert(row.end(), {std::string(c.null), std::string(c.key), c.def, std::string(c.extra)});
  if (full) row.insert(row.end(), {std::string("select,insert"), std::string("")});
  return row;
}

// One row of the index catalogue: Key_name, Non_unique, Column_name.
MemRow IndexRow(const char* keyName, const char* nonUnique, const char* column, int seq = 1) {
  return MemRow{std::string("t"), std::string(nonUnique), std::string(keyName), std::to_string(seq),
                std::string(column), std::string("A"), std::string("0"), std::nullopt,
                std::nullopt, std::string(""), std::string("BTREE"), std::string(""), std::string("")};
}

class mysql_describe : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    if (HasFatalFailure()) return;
    m_pScope = std::make_unique<kxtest::DriverScope>();
    m_pScope->pclGet()->fnStatementMaker = [this](CNAConnectionDescription* cnx, CNAError* error) {
      return new kxtest::InMemoryStatementSQL(&m_server, cnx, error);
    };
    m_server.fnAnswer = [this](const std::string& text, MemRows* rows) {
      const auto it = m_mapAnswers.find(text);
      if (it == m_mapAnswers.end()) return false;
      *rows = it->second;
      return true;
    };
    m_server.fnColumns = [this](const std::string& text) -> unsigned int {
      if (text.rfind("SHOW INDEX", 0) == 0) return m_nIndexColumns;
      return text.rfind("SHOW FULL", 0) == 0 ? 9 : 6;
    };
    m_pCnx = new VersionedConnection(&m_host);
    m_pCnx->AddRef();
    m_pCnx->SetServer(10, 6);
    m_error.AddRef();
  }
  void TearDown() override {
    if (m_pDesc != nullptr) m_pDesc->nRelease();
    m_pDesc = nullptr;
    if (m_pCnx != nullptr) {
      EXPECT_EQ(1u, m_pCnx->nGetInternalCount()) << "the description kept its connection";
      m_pCnx->nRelease();
    }
    EXPECT_EQ(0, m_server.nAlive) << "a statement was not freed";
    m_pScope.reset();
    m_error.Reset();
    BoundRuntimeTest::TearDown();
  }

  // Scripts the catalogues of table `t` and describes it: the answer.
  int Describe(const std::vector<Column>& columns, const MemRows& indexRows, const wchar_t* table = L"t",
               bool full = true) {
    std::string sTable = "`";
    for (char c : Narrow(table)) sTable += c == '`' ? std::string("``") : std::string(1, c);
    sTable += "`";
    MemRows tabColumns;
    for (const Column& c : columns) tabColumns.push_back(ColumnRow(c, full));
    m_mapAnswers[(full ? "SHOW FULL COLUMNS FROM " : "SHOW COLUMNS FROM ") + sTable] = tabColumns;
    m_mapAnswers["SHOW INDEX FROM " + sTable] = indexRows;
    m_pDesc = new CMySQLDataSourceDescription(m_pCnx, &m_error);
    m_pDesc->AddRef();
    return m_pDesc->bInitDataSourceDescriptionFromDB(table, 0);
  }

  std::string Error() { return Narrow(m_error.pszGetError()); }

  std::unique_ptr<kxtest::DriverScope> m_pScope;
  kxtest::InMemoryServer m_server;
  std::map<std::string, MemRows> m_mapAnswers;
  unsigned int m_nIndexColumns = 13;
  kxtest::TestHostDescription m_host;
  VersionedConnection* m_pCnx = nullptr;
  CNAError m_error;
  CMySQLDataSourceDescription* m_pDesc = nullptr;
};

// The columns of every layout test: an automatic identifier, a nullable
// text with a NULL default, a column whose empty Null text rejects NULL,
// a primary key without auto_increment, and an "AUTO_INCREMENT" that is
// not the server's lower-case word.
const std::vector<Column> kColumns = {
    {"id", "int(11)", std::nullopt, "NO", "PRI", std::nullopt, "auto_increment"},
    {"name", "varchar(50)", std::string("latin1_swedish_ci"), "YES", "", std::nullopt, ""},
    {"qty", "int(11)", std::nullopt, "", "MUL", std::string("7"), ""},
    {"code", "varchar(10)", std::string("latin1_swedish_ci"), "NO", "PRI", std::nullopt, ""},
    {"n", "bigint(20)", std::nullopt, "NO", "UNI", std::nullopt, "AUTO_INCREMENT"},
};

// A 4.0 server gets SHOW COLUMNS and its rows are read at positions 2 to
// 5; from 4.1 on SHOW FULL COLUMNS at 3 to 6: the same table either way.
// The table name is formatted (an embedded backquote doubled).
TEST_F(mysql_describe, ColumnLayoutsFollowTheServerVersion) {
  const struct {
    int nMajor, nMinor;
    bool bFull;
  } rows[] = {{4, 0, false}, {3, 23, false}, {4, 1, true}, {10, 6, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.nMajor << "." << row.nMinor);
    if (m_pDesc != nullptr) m_pDesc->nRelease();
    m_pDesc = nullptr;
    m_server.vecTexts.clear();
    m_mapAnswers.clear();
    m_pCnx->SetServer(row.nMajor, row.nMinor);
    ASSERT_EQ(1, Describe(kColumns, {IndexRow("PRIMARY", "0", "code")}, L"a`b", row.bFull)) << Error();
    ASSERT_EQ(2u, m_server.vecTexts.size());
    EXPECT_EQ(std::string(row.bFull ? "SHOW FULL COLUMNS FROM `a``b`" : "SHOW COLUMNS FROM `a``b`"),
              m_server.vecTexts[0]);
    EXPECT_EQ("SHOW INDEX FROM `a``b`", m_server.vecTexts[1]);
    EXPECT_EQ("id:IDAUTO4/4 k0=8800 nn; name:TEXTE/51; qty:I4/4 nn; code:TEXTE/11 k1=C800 nn; n:I8/8 nn; "
              "keys: id code",
              kxtest::DescriptionSummary(m_pDesc));
    // Defaults: NULL where the server says NULL, the converted text else.
    INAItemDescription* piName = m_pDesc->piNAGetItem(L"name");
    INAItemDescription* piQty = m_pDesc->piNAGetItem(L"qty");
    ASSERT_NE(nullptr, piName);
    ASSERT_NE(nullptr, piQty);
    EXPECT_TRUE(piName->pclGetDefaultValue(0)->bIsNull());
    const CAny* pclQty = piQty->pclGetDefaultValue(0);
    EXPECT_FALSE(pclQty->bIsNull());
    int nQty = -1;
    EXPECT_EQ(ANY_OK, pclQty->nGetINT(&nQty));
    EXPECT_EQ(7, nQty);
    piName->nExternalRelease();
    piQty->nExternalRelease();
  }
}

// A utf8 or ucs2 collation makes the text types Unicode.
TEST_F(mysql_describe, CollationMakesUnicodeTexts) {
  ASSERT_EQ(1, Describe({{"a", "varchar(50)", std::string("utf8mb4_general_ci"), "YES", "", std::nullopt, ""},
                         {"b", "varchar(50)", std::string("ucs2_general_ci"), "YES", "", std::nullopt, ""},
                         {"c", "enum('x','y')", std::string("utf8_bin"), "YES", "", std::nullopt, ""},
                         {"d", "enum('x','y')", std::string("latin1_bin"), "YES", "", std::nullopt, ""}},
                        {}))
      << Error();
  EXPECT_EQ("a:UNICODE/102; b:UNICODE/102; c:MEMOUNICODE/8; d:MEMOTEXTE/8; keys:", kxtest::DescriptionSummary(m_pDesc));
}

// Index rows are grouped by a change of Key_name: a multi-column index is a
// composite key appended after the columns, a column named by two indexes
// is one key (its index from the first, its flags from the last), an
// unknown single column leaves the lookup's error and the reading goes on,
// an empty catalogue or one without result set leaves the keys as the
// columns made them. A composite on an unknown column fails the reading;
// the row that failed is closed as the last index all the same.
TEST_F(mysql_describe, IndexRowsMakeKeysInCatalogueOrder) {
  const std::vector<Column> kABC = {
      {"a", "int(11)", std::nullopt, "NO", "PRI", std::nullopt, ""},
      {"b", "varchar(10)", std::string("latin1_bin"), "NO", "PRI", std::nullopt, ""},
      {"c", "int(11)", std::nullopt, "YES", "MUL", std::nullopt, ""},
  };
  const struct {
    const char* name;
    MemRows rows;
    unsigned int nIndexColumns;
    int nAnswer;
    const char* pszSummary;
    bool bLookupError;
  } cases[] = {
      {"composite primary, then an index",
       {IndexRow("PRIMARY", "0", "a"), IndexRow("PRIMARY", "0", "b", 2), IndexRow("ix", "1", "c")}, 13, 1,
       "a:I4/4 nn; b:TEXTE/11 nn; c:I4/4 k1=2800; PRIMARY:BINAIRE/14 k0=D800 (a+b); keys: PRIMARY c", false},
      {"one column in two indexes",
       {IndexRow("u1", "0", "a"), IndexRow("ix", "1", "a")}, 13, 1,
       "a:I4/4 k0=2800 nn; b:TEXTE/11 nn; c:I4/4; keys: a", false},
      {"unknown single column",
       {IndexRow("u1", "0", "zz"), IndexRow("ix", "1", "c")}, 13, 1,
       "a:I4/4 nn; b:TEXTE/11 nn; c:I4/4 k0=2800; keys: c", true},
      {"unknown column in a composite",
       {IndexRow("ix", "1", "a"), IndexRow("ix", "1", "zz", 2), IndexRow("iy", "1", "c")}, 13, 0,
       "a:I4/4 nn; b:TEXTE/11 nn; c:I4/4 k0=2800; keys: c", true},
      {"no index rows", {}, 13, 1, "a:I4/4 nn; b:TEXTE/11 nn; c:I4/4; keys:", false},
      {"no result set", {IndexRow("ix", "1", "c")}, 0, 1, "a:I4/4 nn; b:TEXTE/11 nn; c:I4/4; keys:", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (m_pDesc != nullptr) m_pDesc->nRelease();
    m_pDesc = nullptr;
    m_error.Reset();
    m_nIndexColumns = c.nIndexColumns;
    EXPECT_EQ(c.nAnswer, Describe(kABC, c.rows)) << Error();
    EXPECT_EQ(c.pszSummary, kxtest::DescriptionSummary(m_pDesc));
    EXPECT_EQ(c.bLookupError, m_error.eGetErrorType() != NA_ERRORTYPE_NONE) << Error();
  }
}

// A fetch that fails part way through either catalogue (a connection lost
// mid-result) ends the reading with 0 and keeps its error; what was read
// before stays, and a composite key being built is closed as for any other
// failure. A failing value read mid-row ends it the same way.
TEST_F(mysql_describe, FailureMidCatalogueEndsTheReadingWithItsError) {
  const std::vector<Column> kABC = {
      {"a", "int(11)", std::nullopt, "NO", "", std::nullopt, ""},
      {"b", "int(11)", std::nullopt, "NO", "", std::nullopt, ""},
      {"c", "int(11)", std::nullopt, "NO", "", std::nullopt, ""},
  };
  const MemRows kIndex = {IndexRow("PRIMARY", "0", "a"), IndexRow("PRIMARY", "0", "b", 2),
                          IndexRow("ix", "1", "c")};
  const struct {
    const char* name;
    kxtest::InMemoryFailure stFetch, stValue;
    const char* pszSummary;
  } cases[] = {
      {"fetch of column row 1", {"SHOW FULL", 1, -1}, {}, "a:I4/4 nn; keys:"},
      {"fetch of column row 0", {"SHOW FULL", 0, -1}, {}, "keys:"},
      {"fetch of index row 2", {"SHOW INDEX", 2, -1}, {},
       "a:I4/4 nn; b:I4/4 nn; c:I4/4 nn; PRIMARY:BINAIRE/8 k0=D800 (a+b); keys: PRIMARY"},
      {"fetch of index row 1", {"SHOW INDEX", 1, -1}, {}, "a:I4/4 k0=C800 nn; b:I4/4 nn; c:I4/4 nn; keys: a"},
      {"Default of column row 2", {}, {"SHOW FULL", 2, 5}, "a:I4/4 nn; b:I4/4 nn; keys:"},
      {"Column_name of index row 1", {}, {"SHOW INDEX", 1, 4},
       "a:I4/4 k0=C800 nn; b:I4/4 nn; c:I4/4 nn; keys: a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (m_pDesc != nullptr) m_pDesc->nRelease();
    m_pDesc = nullptr;
    m_error.Reset();
    m_server.stFailFetch = c.stFetch;
    m_server.stFailValue = c.stValue;
    EXPECT_EQ(0, Describe(kABC, kIndex));
    EXPECT_NE(NA_ERRORTYPE_NONE, m_error.eGetErrorType()) << "the failure's error is kept";
    EXPECT_EQ(c.pszSummary, kxtest::DescriptionSummary(m_pDesc));
  }
}

// Without a conversion variant nothing can be read: 0 with a reason.
TEST_F(mysql_describe, NoVariantNoReading) {
  m_pScope->pclGet()->bNoVariant = true;
  EXPECT_EQ(0, Describe(kColumns, {}));
  EXPECT_NE("", Error());
  EXPECT_EQ("keys:", kxtest::DescriptionSummary(m_pDesc));
}

// Key texts: "PRI" and "UNI" as case-insensitive prefixes, nothing else.
TEST_F(mysql_describe, KeyTextFlags) {
  const struct {
    const wchar_t* pszKey;
    unsigned nFlags;
  } rows[] = {{L"PRI", 0x8800}, {L"pri", 0x8800}, {L"PRIMARY", 0x8800}, {L"UNI", 0x4800}, {L"Uni", 0x4800},
              {L"MUL", 0},      {L"", 0},         {L"PR", 0},           {nullptr, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.pszKey != nullptr ? row.pszKey : L"(null)"));
    EXPECT_EQ(row.nFlags, CMySQLDataSourceDescription::_nKeyType(row.pszKey));
  }
}

}  // namespace
