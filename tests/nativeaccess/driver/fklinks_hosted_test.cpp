// The SQL face's generic catalogue without a server: the table-kind filter
// and the lists it builds, and the foreign keys read back from canned
// SHOW CREATE TABLE texts, through in-memory statements.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CInformationDLL.h"
#include "CNAColumnSQL.h"
#include "CNADataSourceDescription.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CXYString.h"
#include "CXYStringConcat.h"
#include "StandInStrMemAlloc.h"
#include "support/InMemoryStatementSQL.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

using kxtest::InMemoryServer;
using kxtest::InMemoryStatementSQL;
using kxtest::MemRows;
using kxtest::TestConnection;

// An in-memory statement whose result columns have names (those the
// server gives its text).
class NamedStatement : public InMemoryStatementSQL {
 public:
  using Names = std::function<std::vector<std::wstring>(const std::string&)>;
  NamedStatement(InMemoryServer* server, const Names* names, CNAConnectionDescription* cnx, CNAError* error)
      : InMemoryStatementSQL(server, cnx, error), m_pfnNames(names) {}
  int _bExecuteDirect(const char* text, CTabValParser* parameters, NA_WRITEPARSEFLAGS flags) override {
    m_sText = text != nullptr ? text : "";
    return InMemoryStatementSQL::_bExecuteDirect(text, parameters, flags);
  }
  int _bInitTabNAColumn() override {
    const std::vector<std::wstring> vecNames =
        *m_pfnNames ? (*m_pfnNames)(m_sText) : std::vector<std::wstring>();
    m_pclColumns = new CNAColumnSQL[m_nColumnCount];
    for (std::uint32_t i = 0; i < m_nColumnCount && i < vecNames.size(); ++i)
      m_pclColumns[i].m_csName.Set(vecNames[i].c_str());
    return 1;
  }

 private:
  const Names* m_pfnNames;
  std::string m_sText;
};

// The test driver with table descriptions of its own: each name in
// mapTables is described by its items ({name}) and composite keys
// ({key name, component names...}); asks are counted by name.
class DescribingDriver : public kxtest::TestDriver {
 public:
  struct Table {
    std::vector<std::wstring> vecColumns;
    std::vector<std::vector<std::wstring>> vecComposites;
  };
  std::map<std::wstring, Table> mapTables;
  std::map<std::wstring, int> mapAsked;

  CNADataSourceDescription* _pclGetTableDesc(const wchar_t* name, CNAConnectionDescription* cnx) override {
    const std::wstring sName = name != nullptr ? name : L"";
    ++mapAsked[sName];
    const auto it = mapTables.find(sName);
    if (it == mapTables.end()) return nullptr;
    auto* pclSource = new CNADataSourceDescription(cnx, nullptr);
    pclSource->AddRef();
    for (const std::wstring& sColumn : it->second.vecColumns)
      pclSource->bAddItem(sColumn.c_str(), L"", sColumn.c_str(), 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);
    for (const auto& vecKey : it->second.vecComposites) {
      const std::uint32_t nIndex = pclSource->nGetNumItems();
      pclSource->bAddItem(vecKey[0].c_str(), L"", vecKey[0].c_str(), 1, 0, NA_IT_BINAIRE, 0xFFFFFFFFu, -1,
                          CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_UNIQUE, 0, 0);
      CNAItemDescription* pclKey = pclSource->pclGetItemNoRef(nIndex);
      for (std::size_t i = 1; i < vecKey.size(); ++i) pclSource->_bAddItemComponent(pclKey, vecKey[i].c_str());
    }
    return pclSource;
  }
};

// The test driver's face with the driver and an error object of its own,
// its statements NamedStatements on the fixture's server.
class FkFace : public kxtest::TestDriverSQL {
 public:
  FkFace(CNADriver* driver, CNAError* error, const kxtest::TestStatementMaker* maker)
      : TestDriverSQL(nullptr, nullptr, maker) {
    m_pclDriver = driver;
    m_pclError = error;
    m_pclError->AddRef();
  }
};

std::wstring Text(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return L"<not a text>";
  return psz;
}

// A link record of table orders.
std::wstring Rec(const std::wstring& name, const std::wstring& referenced, const std::wstring& referencedKey,
                 const std::wstring& key, const std::wstring& update = L"2021",
                 const std::wstring& del = L"2021") {
  return name + L"\t" + referenced + L"\t" + referencedKey + L"\t0,N\torders\t" + key + L"\t0,1\t" + update +
         L"\t" + del;
}

// The server's CREATE TABLE text of orders with the given lines after its
// columns.
std::string Create(const std::string& lines) {
  return "CREATE TABLE `orders` (\n  `id` int(11) NOT NULL,\n  `a` int(11) DEFAULT NULL,\n"
         "  `b` int(11) DEFAULT NULL,\n  PRIMARY KEY (`id`)" +
         lines + "\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
}

class fklinks : public testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    {
      CNADriverLock clLock;
      m_pDriver = new DescribingDriver();
      m_pDriver->bInitDriver();
      m_pPrevious = CNADriver::s_pclDriver;
      CNADriver::s_pclDriver = m_pDriver;
    }
    m_maker = [this](CNAConnectionDescription* cnx, CNAError* error) -> CNAStatementSQL* {
      return new NamedStatement(&m_server, &m_names, cnx, error);
    };
    m_server.fnAnswer = [this](const std::string& text, MemRows* rows) {
      const auto it = m_answers.find(text);
      if (it == m_answers.end()) return m_bUnknownAnswers;
      *rows = it->second;
      return true;
    };
    m_cnx.AddRef();
    m_error.AddRef();
    m_pFace = new FkFace(m_pDriver, &m_error, &m_maker);
    m_pFace->AddRef();
  }
  void TearDown() override {
    m_pFace->nRelease();
    EXPECT_EQ(m_server.nAlive, 0) << "a statement was not freed";
    {
      CNADriverLock clLock;
      CNADriver::s_pclDriver = m_pPrevious;
      delete m_pDriver;
    }
    m_list = CAny();
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a string block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }

  // The link text of `create` read for table orders with `flags`.
  std::wstring Links(const std::string& create, int flags = 0x20, INADataSourceDescription* source = nullptr) {
    CXYStringConcat<wchar_t> clOut(64);
    CXYString<wchar_t> clText;
    clText.nAffecteUTF8(create.c_str(), static_cast<long>(create.size()));
    EXPECT_EQ(m_pFace->_bExtraitLink_FromShowCreateTable(&clOut, clText.pszGet(), L"orders", &m_cnx, source,
                                                         flags),
              1);
    return clOut.pszGet();
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
  DescribingDriver* m_pDriver = nullptr;
  CNADriver* m_pPrevious = nullptr;
  InMemoryServer m_server;
  std::map<std::string, MemRows> m_answers;
  bool m_bUnknownAnswers = false;
  NamedStatement::Names m_names;
  kxtest::TestStatementMaker m_maker;
  TestConnection m_cnx;
  CNAError m_error;
  FkFace* m_pFace = nullptr;
  CAny m_list;
};

// The kinds are one term: with several kinds and a condition, the schema
// condition still binds to all of them (it bound to the last kind only).
TEST_F(fklinks, KindFilterGroupsTheKinds) {
  const struct {
    unsigned nFlags;
    const wchar_t* pszCondition;
    const wchar_t* pszFilter;
  } rows[] = {
      {0x1, nullptr, L"TABLE_TYPE='BASE TABLE'"},
      {0x2, L"", L"TABLE_TYPE='VIEW'"},
      {0x3, nullptr, L"(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='VIEW')"},
      {0x37, L"AND TABLE_NAME LIKE 'c%'",
       L"(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW') AND TABLE_NAME LIKE 'c%'"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.nFlags);
    CXYStringConcat<wchar_t> clFilter(16);
    m_pFace->_GetTableList_GetFilter(&clFilter, row.pszCondition, row.nFlags);
    EXPECT_EQ(std::wstring(clFilter.pszGet()), row.pszFilter);
  }
  m_bUnknownAnswers = true;
  EXPECT_EQ(m_pFace->bGetTableList(&m_list, &m_cnx, L"OR TABLE_NAME = 'x'", 0x3), 1);
  ASSERT_EQ(m_server.vecTexts.size(), 1u);
  EXPECT_EQ(m_server.vecTexts[0],
            "SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE "
            "((TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='VIEW') OR TABLE_NAME = 'x') AND TABLE_SCHEMA = SCHEMA() "
            "ORDER BY TABLE_SCHEMA, TABLE_NAME");
}

// The table list's ends: the records of every row; a text without result
// set lists nothing (true); a failed fetch or value read is a failure with
// its error, never a partial list reported as success; the statement goes
// on every way out; no kind sends nothing.
TEST_F(fklinks, TableListEndsAndFreesItsStatement) {
  m_bUnknownAnswers = true;
  m_server.nColumns = 3;
  const std::string sQuery =
      "SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE ((TABLE_TYPE='BASE TABLE' "
      "OR TABLE_TYPE='VIEW')) AND TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME";
  m_answers[sQuery] = {{"orders", "shop", "BASE TABLE"}, {"v", "shop", "VIEW"}, {"z", "shop", "BASE TABLE"}};
  const struct {
    const char* pszCase;
    unsigned nFlags;
    std::int64_t nFailFetch;
    std::int64_t nFailValue;
    unsigned nColumns;
    int bAnswer;
    const wchar_t* pszList;
  } rows[] = {
      {"long form", 0x23, -1, -1, 3, 1, L"orders\tshop\t\tTABLE\r\nv\tshop\t\tVIEW\r\nz\tshop\t\tTABLE"},
      {"names, sorted", 0x13, -1, -1, 3, 1, L"orders\r\nv\r\nz"},
      {"no result set", 0x3, -1, -1, 0, 1, L""},
      {"fetch fails", 0x23, 2, -1, 3, 0, L"orders\tshop\t\tTABLE\r\nv\tshop\t\tVIEW"},
      {"value fails", 0x3, -1, 1, 3, 0, L"orders"},
      {"no kind", 0x30, -1, -1, 3, 1, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pszCase);
    m_error.Reset();
    m_server.vecTexts.clear();
    m_server.nColumns = row.nColumns;
    m_server.stFailFetch = {"", row.nFailFetch, -1};
    m_server.stFailValue = {"", row.nFailValue, -1};
    m_list.SetNull(true);
    EXPECT_EQ(m_pFace->bGetTableList(&m_list, &m_cnx, nullptr, row.nFlags), row.bAnswer);
    EXPECT_EQ(Text(m_list), row.pszList);
    EXPECT_EQ(m_error.eGetErrorType() != NA_ERRORTYPE_NONE, row.bAnswer == 0);
    EXPECT_EQ(m_server.nAlive, 0);
    EXPECT_EQ(m_server.vecTexts.size(), (row.nFlags & 0x7) != 0 ? 1u : 0u);
  }
  // A refused query leaves the list as it was.
  m_bUnknownAnswers = false;
  m_server.stFailFetch = {};
  m_server.stFailValue = {};
  m_list = CAny();
  EXPECT_EQ(m_pFace->bGetTableList(&m_list, &m_cnx, L"AND 1 = 1", 0x1), 0);
  EXPECT_EQ(m_list.nGetTypeCode(), 0);
}

// Databases: the names (sorted without regard to case with 0x10); with
// kinds one record per database with its tables, a database without tables
// giving its name and one tab; a failed table query stops with false and
// keeps the records before it.
TEST_F(fklinks, DatabaseListWithAndWithoutKinds) {
  m_server.nColumns = 1;
  m_answers["SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME"] = {
      {"b"}, {"A"}, {"empty"}, {"it's"}};
  const std::string sTables = "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE (TABLE_TYPE='BASE TABLE' "
                              "OR TABLE_TYPE='VIEW') AND TABLE_SCHEMA = ";
  m_answers[sTables + "'A' ORDER BY TABLE_NAME"] = {{"t1"}, {"t2"}};
  m_answers[sTables + "'b' ORDER BY TABLE_NAME"] = {{"u"}};
  m_answers[sTables + "'empty' ORDER BY TABLE_NAME"] = {};
  m_answers[sTables + "'it''s' ORDER BY TABLE_NAME"] = {{"q"}};
  const struct {
    unsigned nFlags;
    int bAnswer;
    const wchar_t* pszList;
  } rows[] = {
      {0x0, 1, L"b\tA\tempty\tit's"},
      {0x10, 1, L"A\tb\tempty\tit's"},
      {0x13, 1, L"A\tt1\tt2\r\nb\tu\r\nempty\t\r\nit's\tq"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.nFlags);
    CXYStringConcat<wchar_t> clOut(16);
    EXPECT_EQ(m_pFace->_bGetDatabaseList(&clOut, &m_cnx, row.nFlags), row.bAnswer);
    EXPECT_EQ(std::wstring(clOut.pszGet()), row.pszList);
  }
  m_answers.erase(sTables + "'empty' ORDER BY TABLE_NAME");
  CXYStringConcat<wchar_t> clOut(16);
  EXPECT_EQ(m_pFace->_bGetDatabaseList(&clOut, &m_cnx, 0x13), 0);
  EXPECT_EQ(std::wstring(clOut.pszGet()), L"A\tt1\tt2\r\nb\tu");
  EXPECT_NE(m_error.eGetErrorType(), NA_ERRORTYPE_NONE);
}

// The generic column list: the description's items before its composite
// keys; no description: NULL and false.
TEST_F(fklinks, ColumnListStopsAtTheCompositeKeys) {
  m_pDriver->mapTables[L"t"] = {{L"x", L"y", L"z"}, {{L"k_xy", L"x", L"y"}}};
  EXPECT_EQ(m_pFace->bGetColumnList(&m_list, &m_cnx, L"t", 0), 1);
  EXPECT_EQ(Text(m_list), L"x\r\ny\r\nz");
  EXPECT_EQ(m_pFace->bGetColumnList(&m_list, &m_cnx, L"none", 0), 0);
  EXPECT_TRUE(m_list.bIsNull());
  m_list.SetNull(true);
  EXPECT_EQ(m_pFace->bGetColumnTypeList(&m_list, 0, 0), 1);
  EXPECT_FALSE(m_list.bIsNull());
  EXPECT_EQ(Text(m_list), L"");
}

// The action words and the codes of a link record.
TEST_F(fklinks, ActionWordsAndCodes) {
  const struct {
    const wchar_t* pszWord;
    CNADriverSQL::eSQLForeignKeysRules eRule;
    const wchar_t* pszCode;
  } rows[] = {
      {L"cascade", CNADriverSQL::SQLFK_CASCADE, L"2022"},   {L"RESTRICT", CNADriverSQL::SQLFK_RESTRICT, L"2021"},
      {L"Set Null", CNADriverSQL::SQLFK_SET_NULL, L"2023"}, {L"NO ACTION", CNADriverSQL::SQLFK_NO_ACTION, L"2020"},
      {L"SET DEFAULT", CNADriverSQL::SQLFK_SET_DEFAULT, L"2023"},
      {L"SET", CNADriverSQL::SQLFK_UNKNOWN, L"2021"},
  };
  for (const auto& row : rows) {
    CNADriverSQL::eSQLForeignKeysRules eRule = CNADriverSQL::SQLFK_CASCADE;
    EXPECT_EQ(CNADriverSQL::_bTextToeSQLForeignKeysRules(&eRule, row.pszWord), 1);
    EXPECT_EQ(eRule, row.eRule) << row.pszWord;
    EXPECT_EQ(std::wstring(CNADriverSQL::s_pszForeignKeyRuleCode(eRule)), row.pszCode);
  }
}

// Foreign keys out of CREATE TABLE texts, one case a row.
TEST_F(fklinks, ExtractionCases) {
  const std::string sRef = " REFERENCES `customer` (`id`)";
  const struct {
    const char* pszCase;
    std::string sLines;
    std::wstring sLinks;
  } rows[] = {
      {"one key", ",\n  KEY `fk_c` (`a`),\n  CONSTRAINT `fk_c` FOREIGN KEY (`a`)" + sRef,
       Rec(L"fk_c", L"customer", L"id", L"a")},
      {"delete cascade, update set null",
       ",\n  CONSTRAINT `fk_c` FOREIGN KEY (`a`)" + sRef + " ON DELETE CASCADE ON UPDATE SET NULL",
       Rec(L"fk_c", L"customer", L"id", L"a", L"2023", L"2022")},
      {"restrict before on update",
       ",\n  CONSTRAINT `fk_c` FOREIGN KEY (`a`)" + sRef + " ON DELETE RESTRICT ON UPDATE CASCADE",
       Rec(L"fk_c", L"customer", L"id", L"a", L"2022", L"2021")},
      {"set default, no action",
       ",\n  CONSTRAINT `fk_c` FOREIGN KEY (`a`)" + sRef + " ON DELETE SET DEFAULT ON UPDATE NO ACTION",
       Rec(L"fk_c", L"customer", L"id", L"a", L"2020", L"2023")},
      {"a check between two keys",
       ",\n  CONSTRAINT `fk_a` FOREIGN KEY (`a`) REFERENCES `ta` (`id`),\n  CONSTRAINT `chk` CHECK (`a` > 0),\n"
       "  CONSTRAINT `fk_b` FOREIGN KEY (`b`) REFERENCES `tb` (`id`) ON DELETE NO ACTION",
       Rec(L"fk_a", L"ta", L"id", L"a") + L"\r\n" + Rec(L"fk_b", L"tb", L"id", L"b", L"2021", L"2020")},
      {"the word in a column name, a comment and a default",
       ",\n  `CONSTRAINT_ID` int(11) COMMENT 'see CONSTRAINT x',\n"
       "  `note` varchar(80) DEFAULT 'CONSTRAINT `q` FOREIGN KEY (`a`) REFERENCES `zz` (`id`)',\n"
       "  `said` varchar(9) DEFAULT 'it\\'s CONSTRAINT `r` FOREIGN KEY (`a`) REFERENCES `zz` (`id`)',\n"
       "  CONSTRAINT `fk_c` FOREIGN KEY (`a`)" +
           sRef,
       Rec(L"fk_c", L"customer", L"id", L"a")},
      {"a name without backquotes skips that constraint only",
       ",\n  CONSTRAINT fk_plain FOREIGN KEY (`a`) REFERENCES `ta` (`id`),\n"
       "  CONSTRAINT `fk_b` FOREIGN KEY (`b`) REFERENCES `tb` (`id`)",
       Rec(L"fk_b", L"tb", L"id", L"b")},
      {"escaped backquotes", ",\n  CONSTRAINT `fk``1` FOREIGN KEY (`a``b`) REFERENCES `t``x` (`i``d`)",
       Rec(L"fk`1", L"t`x", L"i`d", L"a`b")},
      {"another database", ",\n  CONSTRAINT `fk_o` FOREIGN KEY (`a`) REFERENCES `other db`.`customer` (`id`)",
       Rec(L"fk_o", L"other db.customer", L"id", L"a")},
      {"no constraint", "", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pszCase);
    EXPECT_EQ(Links(Create(row.sLines)), row.sLinks);
  }
  // Without the long form nothing is written.
  EXPECT_EQ(Links(Create(rows[0].sLines), 0x0), L"");
  EXPECT_TRUE(m_pDriver->mapAsked.empty());
}

// Keys of several columns: the composite key's name where the table's
// description has one over those columns, else the column list; the
// source description is asked for once (not at all when given); a
// constraint whose description cannot be had is skipped.
TEST_F(fklinks, CompositeKeysResolveToTheirNames) {
  m_pDriver->mapTables[L"orders"] = {{L"id", L"a", L"b"}, {{L"k_ab", L"a", L"b"}}};
  m_pDriver->mapTables[L"t"] = {{L"X", L"Y"}, {{L"k_x", L"X"}, {L"k_xy", L"X", L"Y"}}};
  m_pDriver->mapTables[L"plain"] = {{L"x", L"y"}, {{L"k_yx", L"y", L"x"}}};
  m_pDriver->mapTables[L"db2.t"] = {{L"x", L"y"}, {{L"k2", L"x", L"y"}}};
  const std::string sText = Create(
      ",\n  CONSTRAINT `fk_t` FOREIGN KEY (`a`, `b`) REFERENCES `t` (`x`, `y`) ON DELETE CASCADE,\n"
      "  CONSTRAINT `fk_plain` FOREIGN KEY (`b`, `a`) REFERENCES `plain` (`x`, `y`),\n"
      "  CONSTRAINT `fk_gone` FOREIGN KEY (`a`, `b`) REFERENCES `gone` (`x`, `y`),\n"
      "  CONSTRAINT `fk_db2` FOREIGN KEY (`a`, `b`) REFERENCES `db2`.`t` (`x`, `y`)");
  EXPECT_EQ(Links(sText), Rec(L"fk_t", L"t", L"k_xy", L"k_ab", L"2021", L"2022") + L"\r\n" +
                              Rec(L"fk_plain", L"plain", L"x,y", L"b,a") + L"\r\n" +
                              Rec(L"fk_db2", L"db2.t", L"k2", L"k_ab"));
  EXPECT_EQ(m_pDriver->mapAsked[L"orders"], 1);
  EXPECT_EQ(m_pDriver->mapAsked[L"gone"], 1);

  // A source description of the caller's is used as it is.
  m_pDriver->mapAsked.clear();
  CNADataSourceDescription* pclOrders = m_pDriver->_pclGetTableDesc(L"orders", &m_cnx);
  m_pDriver->mapAsked.clear();
  EXPECT_EQ(Links(sText, 0x20, pclOrders), Links(sText));
  EXPECT_EQ(m_pDriver->mapAsked[L"orders"], 1) << "only the reading without it asks";
  pclOrders->nRelease();

  // Without the source table's description its composite keys are skipped.
  m_pDriver->mapTables.erase(L"orders");
  EXPECT_EQ(Links(sText), L"");
}

// The link list through the face: SHOW CREATE TABLE of the formatted name,
// its "Create Table" column read; a view, another kind of connection or
// no row: true and the result untouched; a failed query, no result set or
// a failed fetch: false. The statement goes on every way out.
TEST_F(fklinks, LinkListReadsShowCreateTable) {
  m_names = [](const std::string& text) {
    if (text.find("`v`") != std::string::npos)
      return std::vector<std::wstring>{L"View", L"Create View", L"character_set_client"};
    return std::vector<std::wstring>{L"Table", L"Create Table"};
  };
  const std::string sCreate = Create(",\n  CONSTRAINT `fk_c` FOREIGN KEY (`a`) REFERENCES `customer` (`id`)");
  m_answers["SHOW CREATE TABLE `orders`"] = {{"orders", sCreate}};
  m_answers["SHOW CREATE TABLE `my db`.`orders`"] = {{"orders", sCreate}};
  m_answers["SHOW CREATE TABLE `v`"] = {{"v", "CREATE VIEW `v` AS select 1 AS `CONSTRAINT`", "utf8"}};
  m_answers["SHOW CREATE TABLE `empty`"] = {};
  m_answers["SHOW CREATE TABLE `nothing`"] = {};
  m_answers["SHOW CREATE TABLE `broken`"] = {{"broken", sCreate}};
  m_server.fnColumns = [](const std::string& text) -> unsigned {
    if (text.find("`nothing`") != std::string::npos) return 0;
    return text.find("`v`") != std::string::npos ? 3 : 2;
  };
  m_server.stFailFetch = {"SHOW CREATE TABLE `broken`", 0, -1};
  const struct {
    const wchar_t* pszTable;
    int nKind;
    int bAnswer;
    const wchar_t* pszList;  // "keep": untouched
    bool bError;
  } rows[] = {
      {L"orders", 5, 1, L"fk_c\tcustomer\tid\t0,N\torders\ta\t0,1\t2021\t2021", false},
      {L"my db.orders", 5, 1, L"fk_c\tcustomer\tid\t0,N\tmy db.orders\ta\t0,1\t2021\t2021", false},
      {L"v", 5, 1, L"keep", false},
      {L"orders", 0, 1, L"keep", false},
      {L"empty", 5, 1, L"keep", false},
      {L"nothing", 5, 0, L"keep", false},
      {L"refused", 5, 0, L"keep", true},
      {L"broken", 5, 0, L"keep", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.pszTable << " kind " << row.nKind);
    m_error.Reset();
    m_server.vecTexts.clear();
    m_cnx.SetKind(row.nKind);
    CNADriverSQL::s_SetListText(&m_list, L"keep", 4);
    EXPECT_EQ(m_pFace->bGetLinkList(&m_list, &m_cnx, row.pszTable, nullptr, 0x20), row.bAnswer);
    EXPECT_EQ(Text(m_list), row.pszList);
    EXPECT_EQ(m_error.eGetErrorType() != NA_ERRORTYPE_NONE, row.bError);
    EXPECT_EQ(m_server.nAlive, 0);
    EXPECT_EQ(m_server.vecTexts.size(), row.nKind == 5 ? 1u : 0u);
  }
  // Without the long form the list is read and holds nothing.
  m_cnx.SetKind(5);
  EXPECT_EQ(m_pFace->bGetLinkList(&m_list, &m_cnx, L"orders", nullptr, 0x0), 1);
  EXPECT_EQ(Text(m_list), L"");
}

}  // namespace
