// The MariaDB/MySQL SQL face without a server: its lists read through
// scripted driver-level statements, the query builders by server version,
// and the generic list runner they share.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CAny.h"
#include "CInformationDLL.h"
#include "CMySQLDriverSQL.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CTStringConcatAW.h"
#include "CXYStringConcat.h"
#include "StandInStrMemAlloc.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestDriver.h"

namespace {

using kxtest::Narrow;
using kxtest::TestConnection;
using Rows = std::vector<std::vector<std::wstring>>;

// How the "server" answers one text.
struct Answer {
  Rows rows;
  bool bNoResultSet = false;   // a statement without columns
  unsigned nServerError = 0;   // the text fails with this number
  int nFailingFetch = -1;      // the fetch of this 0-based row fails
};

// The texts sent and the answers by text (a text not listed answers an
// empty result set).
struct Server {
  std::map<std::wstring, Answer> mapAnswers;
  std::vector<std::wstring> vecTexts;
  int nAlive = 0;
};

// A driver-level statement answering from the Server: one column of text
// per value, rows fetched one by one.
class ScriptedStatement : public CNAStatementSQL {
 public:
  ScriptedStatement(Server* server, CNAConnectionDescription* cnx, CNAError* error)
      : CNAStatementSQL(cnx, error), m_pServer(server) {
    ++m_pServer->nAlive;
  }
  ~ScriptedStatement() override { --m_pServer->nAlive; }

  int bExecuteDirect(const wchar_t* text, CTabValParser* /*parameters*/,
                     NA_WRITEPARSEFLAGS /*flags*/) override {
    bReset();
    m_pServer->vecTexts.push_back(text != nullptr ? text : L"");
    const auto it = m_pServer->mapAnswers.find(m_pServer->vecTexts.back());
    m_stAnswer = it != m_pServer->mapAnswers.end() ? it->second : Answer();
    if (m_stAnswer.nServerError != 0) {
      if (m_pclError != nullptr)
        m_pclError->_SetDataBaseError(NA_ERRORTYPE_GENERIC, nullptr, 22, m_stAnswer.nServerError,
                                      L"refused", nullptr, nullptr);
      return 0;
    }
    m_bResultOpen = 1;
    m_nColumnCount = m_stAnswer.bNoResultSet ? 0 : 2;
    m_llRowCount = static_cast<std::int64_t>(m_stAnswer.rows.size());
    m_nNext = 0;
    return 1;
  }
  int bFetch(unsigned int option) override {
    m_vecOptions.push_back(option);
    if (m_nNext == m_stAnswer.nFailingFetch) {
      m_bNoCurrentRow = 1;
      if (m_pclError != nullptr)
        m_pclError->_SetDataBaseError(NA_ERRORTYPE_GENERIC, nullptr, 22, 2013, L"lost", nullptr, nullptr);
      return 0;
    }
    if (static_cast<std::size_t>(m_nNext) >= m_stAnswer.rows.size()) {
      m_bNoCurrentRow = 1;
      return 1;
    }
    m_llCurrentRow = m_nNext++;
    m_bNoCurrentRow = 0;
    return 1;
  }
  int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int /*option*/) override {
    const auto& row = m_stAnswer.rows[static_cast<std::size_t>(m_llCurrentRow)];
    const std::wstring s = column < row.size() ? row[column] : L"";
    return value->bSetValue(s.c_str(), static_cast<unsigned long>(s.size()));
  }

  static std::vector<unsigned int> m_vecOptions;

 private:
  Server* m_pServer;
  Answer m_stAnswer;
  int m_nNext = 0;
};
std::vector<unsigned int> ScriptedStatement::m_vecOptions;

// The MariaDB/MySQL face with its statements from the Server.
class ScriptedFace : public CMySQLDriverSQL {
 public:
  ScriptedFace(Server* server, CNAError* error) : CMySQLDriverSQL(nullptr, error), m_pServer(server) {}
  CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* cnx, CNAError* error) override {
    return new ScriptedStatement(m_pServer, cnx, error);
  }
  using CNADriverSQL::bGetTableList;

 private:
  Server* m_pServer;
};

std::wstring Text(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return L"<not a text>";
  return psz;
}

// Values and statements take their texts from the runtime's string memory
// and their converters from the process's driver.
class mysqldriverSQL : public testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    m_pDriver.reset(new kxtest::DriverScope());
    m_cnx.AddRef();
    m_cnx.m_nServerMajor = 10;
    m_cnx.m_csDefaultDataBase.Set(L"SALES");
    m_error.AddRef();
    m_pFace = new ScriptedFace(&m_server, &m_error);
    m_pFace->AddRef();
    ScriptedStatement::m_vecOptions.clear();
  }
  void TearDown() override {
    m_pFace->nRelease();
    EXPECT_EQ(m_server.nAlive, 0) << "a statement was not freed";
    EXPECT_EQ(m_error.nGetHolderCount(), 1u) << "the face kept its error reference";
    m_pDriver.reset();
    m_list = CAny();
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a string block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
  std::unique_ptr<kxtest::DriverScope> m_pDriver;
  Server m_server;
  TestConnection m_cnx;
  CNAError m_error;
  ScriptedFace* m_pFace = nullptr;
  CAny m_list;
};

// The whole list, as the SQL runtime's column-type choice shows it.
TEST_F(mysqldriverSQL, ColumnTypeListIsTheFixedText) {
  m_list.SetNull(true);
  ASSERT_EQ(m_pFace->bGetColumnTypeList(&m_list, 7, 0), 1);
  EXPECT_EQ(m_list.nGetTypeCode(), ANY_DSTRW);
  EXPECT_FALSE(m_list.bIsNull());
  EXPECT_EQ(Text(m_list),
            L"bit\t1\r\ntinyint\t2\r\ntinyint unsigned\t2\r\nsmallint\t13\r\nsmallint unsigned\t13\r\n"
            L"mediumint\t12\r\nmediumint unsigned\t12\r\ninteger\t12\r\ninteger unsigned\t12\r\n"
            L"int\t12\r\nint unsigned\t12\r\nbigint\t3\r\nbigint unsigned\t3\r\nnumeric\t10\r\n"
            L"decimal\t11\r\nreal\t15\r\nfloat\t15\r\ndouble\t16\r\nchar\t9\r\nvarchar\t20\r\n"
            L"long varchar\t7\r\ntext\t7\r\nmediumtext\t7\r\ntinyblob\t4\r\nmediumblob\t4\r\n"
            L"blob\t4\r\nlongblob\t4\r\nlong varbinary\t4\r\nenum\t20\r\nset\t20\r\nyear\t13\r\n"
            L"date\t17\r\ntime\t18\r\ndatetime\t19\r\ntimestamp\t19");
  EXPECT_TRUE(m_server.vecTexts.empty()) << "the type list asks the server nothing";
}

// Before version 5 the builders write SHOW texts; from 5 on the generic
// INFORMATION_SCHEMA ones, the database as a literal and several kinds
// grouped so that the schema condition binds to each.
TEST_F(mysqldriverSQL, QueryBuildersFollowTheServerVersion) {
  const std::wstring sDatabases = L"SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME";
  const std::wstring sTables = L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE ";
  const struct {
    int nMajor;
    unsigned nFlags;
    std::wstring sDatabases;
    std::wstring sTables;
  } rows[] = {
      {3, 0x3, L"SHOW DATABASES", L"SHOW TABLES FROM `my base`"},
      {4, 0x1, L"SHOW DATABASES", L"SHOW TABLES FROM `my base`"},
      {5, 0x0, sDatabases, sTables + L"TABLE_SCHEMA = 'my base' ORDER BY TABLE_NAME"},
      {10, 0x2, sDatabases, sTables + L"TABLE_TYPE='VIEW' AND TABLE_SCHEMA = 'my base' ORDER BY TABLE_NAME"},
      {10, 0x7, sDatabases,
       sTables + L"(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW') AND "
                 L"TABLE_SCHEMA = 'my base' ORDER BY TABLE_NAME"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "version " << row.nMajor << " flags " << row.nFlags);
    m_cnx.m_nServerMajor = row.nMajor;
    CTStringConcatAW clText(CONCAT_CP_WIDE, 1252, 64);
    clText.AddStrCte(L"old text", 8);
    EXPECT_EQ(m_pFace->_bGetDatabaseListQuery(&clText, &m_cnx, row.nFlags), 1);
    EXPECT_EQ(std::wstring(clText.pszGetW()), row.sDatabases);
    clText.SetStrCte(L"old text", 8);
    EXPECT_EQ(m_pFace->_bGetDatabaseTableListQuery(&clText, L"my base", &m_cnx, row.nFlags), 1);
    EXPECT_EQ(std::wstring(clText.pszGetW()), row.sTables);
  }
  EXPECT_TRUE(m_server.vecTexts.empty());
}

// Below version 5: SHOW TABLES with the filter as given; flag 0x20 splits
// owner.name and adds the default database. From 5 on: the generic
// listing, whose records carry the schema and the type. 0x10 sorts without
// regard to case; without flag 1 nothing is asked below 5, without any
// kind nothing from 5 on.
TEST_F(mysqldriverSQL, TableListFlags) {
  const std::wstring sSelect =
      L"SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE ";
  const std::wstring sSchema = L" AND TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME";
  const std::wstring sBase = sSelect + L"(TABLE_TYPE='BASE TABLE')" + sSchema;
  const std::wstring sLike = sSelect + L"(TABLE_TYPE='BASE TABLE' AND TABLE_NAME LIKE 'c%')" + sSchema;
  const std::wstring sViews = sSelect + L"(TABLE_TYPE='VIEW')" + sSchema;
  m_server.mapAnswers[L"SHOW TABLES"].rows = {{L"CLIENTS"}, {L"OWNER1.T1"}, {L"b"}};
  m_server.mapAnswers[L"SHOW TABLES LIKE 'c%' -- as is"].rows = {{L"b"}, {L"A"}, {L"c"}};
  m_server.mapAnswers[sBase].rows = {{L"CLIENTS", L"SALES", L"BASE TABLE"}, {L"b", L"SALES", L"base table"}};
  m_server.mapAnswers[sLike].rows = {{L"c", L"S", L"BASE TABLE"}, {L"B", L"S", L"BASE TABLE"}};
  m_server.mapAnswers[sViews].rows = {{L"V", L"SALES", L"VIEW"}};
  const struct {
    int nMajor;
    unsigned nFlags;
    const wchar_t* pszFilter;
    std::wstring sSent;  // empty: nothing sent
    const wchar_t* pszList;
  } rows[] = {
      {4, 0x1, L"", L"SHOW TABLES", L"CLIENTS\r\nOWNER1.T1\r\nb"},
      {4, 0x31, nullptr, L"SHOW TABLES",
       L"b\tSALES\t\tTABLE\r\nCLIENTS\tSALES\t\tTABLE\r\nT1\tSALES\tOWNER1\tTABLE"},
      {4, 0x11, L"LIKE 'c%' -- as is", L"SHOW TABLES LIKE 'c%' -- as is", L"A\r\nb\r\nc"},
      {4, 0x30, nullptr, L"", L""},
      {10, 0x1, nullptr, sBase, L"CLIENTS\r\nb"},
      {10, 0x21, nullptr, sBase, L"CLIENTS\tSALES\t\tTABLE\r\nb\tSALES\t\tTABLE"},
      {10, 0x22, nullptr, sViews, L"V\tSALES\t\tVIEW"},
      {10, 0x11, L"AND TABLE_NAME LIKE 'c%'", sLike, L"B\r\nc"},
      {10, 0x30, nullptr, L"", L""},
      {10, 0x0, L"AND TABLE_NAME LIKE 'x'", L"", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "version " << row.nMajor << " flags 0x" << std::hex << row.nFlags);
    m_cnx.m_nServerMajor = row.nMajor;
    m_server.vecTexts.clear();
    m_list.SetNull(true);
    EXPECT_EQ(m_pFace->bGetTableList(&m_list, &m_cnx, row.pszFilter, row.nFlags), 1);
    EXPECT_FALSE(m_list.bIsNull());
    EXPECT_EQ(Text(m_list), row.pszList);
    if (row.sSent.empty())
      EXPECT_TRUE(m_server.vecTexts.empty());
    else
      EXPECT_EQ(m_server.vecTexts, std::vector<std::wstring>{row.sSent});
  }
  // The SHOW rows are fetched with the list's flags.
  EXPECT_EQ(ScriptedStatement::m_vecOptions.front(), 0x1u);
}

// From version 5 a refused generic listing falls back to SHOW TABLES,
// whose answer stands.
TEST_F(mysqldriverSQL, RefusedGenericListingFallsBackToShowTables) {
  m_server.mapAnswers[L"SHOW TABLES"].rows = {{L"t"}};
  m_server.mapAnswers[L"SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE "
                      L"(TABLE_TYPE='BASE TABLE') AND TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, "
                      L"TABLE_NAME"]
      .nServerError = 1044;
  EXPECT_EQ(m_pFace->bGetTableList(&m_list, &m_cnx, nullptr, 0x1), 1);
  EXPECT_EQ(Text(m_list), L"t");
  EXPECT_EQ(m_server.vecTexts.size(), 2u);
}

// A refused SHOW fails with the server's error in the face's error object;
// the list is still a text, sorted when asked.
TEST_F(mysqldriverSQL, RefusedTableListFailsWithTheServersError) {
  m_cnx.m_nServerMajor = 4;
  m_server.mapAnswers[L"SHOW TABLES"].nServerError = 1044;
  m_list.SetNull(true);
  EXPECT_EQ(m_pFace->bGetTableList(&m_list, &m_cnx, nullptr, 0x31), 0);
  EXPECT_EQ(m_error.dwGetDataBaseErrorCode(), 1044u);
  EXPECT_FALSE(m_list.bIsNull());
  EXPECT_EQ(Text(m_list), L"");
}

// The column list: SHOW COLUMNS of the formatted name, first column of
// every row; a name the connection cannot format sends nothing.
TEST_F(mysqldriverSQL, ColumnListReadsTheFirstColumnOfShowColumns) {
  m_server.mapAnswers[L"SHOW COLUMNS FROM `my db`.`T 1`"].rows = {{L"id", L"int(11)"},
                                                                  {L"name", L"varchar(20)"}};
  EXPECT_EQ(m_pFace->bGetColumnList(&m_list, &m_cnx, L"my db.T 1", 0), 1);
  EXPECT_EQ(Text(m_list), L"id\r\nname");
  EXPECT_EQ(m_server.vecTexts, std::vector<std::wstring>{L"SHOW COLUMNS FROM `my db`.`T 1`"});
  EXPECT_EQ(m_pFace->bGetColumnList(&m_list, nullptr, L"T", 0), 0);
  EXPECT_EQ(m_server.vecTexts.size(), 1u);
}

// The list runner: rows joined by the separator, first `columns` columns
// joined by a tab; a text without result set is the empty list and true;
// a failing fetch ends with false and keeps the rows read before it.
TEST_F(mysqldriverSQL, GetListRowsSeparatorsAndEnds) {
  m_server.mapAnswers[L"Q"].rows = {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}};
  m_server.mapAnswers[L"DO 1"].bNoResultSet = true;
  m_server.mapAnswers[L"BROKEN"].rows = {{L"a", L"1"}, {L"b", L"2"}};
  m_server.mapAnswers[L"BROKEN"].nFailingFetch = 1;
  m_server.mapAnswers[L"REFUSED"].nServerError = 1064;
  const struct {
    const wchar_t* pszQuery;
    unsigned nColumns;
    const wchar_t* pszSeparator;
    int bAnswer;
    const wchar_t* pszOut;
  } rows[] = {
      {L"Q", 1, L"\t", 1, L"a\tb\tc"},
      {L"Q", 0, L";", 1, L"a\t1;b\t2;c\t3"},
      {L"Q", 2, nullptr, 1, L"a\t1b\t2c\t3"},
      {L"EMPTY", 1, L"\t", 1, L""},
      {L"DO 1", 1, L"\t", 1, L""},
      {L"BROKEN", 1, L"\r\n", 0, L"a"},
      {L"REFUSED", 1, L"\t", 0, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.pszQuery));
    m_error.Reset();
    CXYStringConcat<wchar_t> clOut(16);
    clOut.Add(L"stale", 5);
    EXPECT_EQ(m_pFace->_bGetList(&clOut, &m_cnx, row.pszQuery, row.nColumns, 0, row.pszSeparator),
              row.bAnswer);
    EXPECT_EQ(std::wstring(clOut.pszGet()), row.pszOut);
    EXPECT_EQ(m_error.eGetErrorType() != NA_ERRORTYPE_NONE, row.bAnswer == 0);
  }
  // The value form: CR LF between rows, the text set whatever the outcome.
  m_list.SetNull(true);
  EXPECT_EQ(m_pFace->_bGetList(&m_list, &m_cnx, L"BROKEN", 1, 0), 0);
  EXPECT_EQ(Text(m_list), L"a");
  EXPECT_FALSE(m_list.bIsNull());
  EXPECT_EQ(m_pFace->_bGetList(&m_list, &m_cnx, L"DO 1", 1, 0), 1);
  EXPECT_EQ(m_list.nGetTypeCode(), ANY_DSTRW);
  EXPECT_EQ(Text(m_list), L"");
}

}  // namespace
