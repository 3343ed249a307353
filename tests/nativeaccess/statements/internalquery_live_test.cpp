// Internal queries and automatic identifiers on the fixture's server: the
// next value and the largest value of an identifier column as the server
// computes them (empty table, after 41, names that need quotes, a query's
// column read from its source), what a text the server refuses gives, and
// rows read as one text.
//
// The MariaDB driver is the process's driver, except that its data
// accesses run an internal query as the data-access layer does: a
// statement of their own over the text, the result described in their
// record layout from the driver statement's column descriptions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CNAColumnSQL.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAIDAuto.h"
#include "CNAInternalParse.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CNAStatementSQL.h"
#include "CXYStringConcat.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/NamedSource.h"
#include "nativeaccess/support/TestConnection.h"
#include "nativeaccess/support/TestSource.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

using kxtest::NamedSource;

// The data access of an internal query: the result is described from the
// driver statement's columns into a description and record layout it
// holds.
class ResultAccess : public CNADataAccess {
 public:
  ResultAccess(CNAConnectionDescription* connection, CNAError* error) : CNADataAccess(nullptr, connection, error) {}
  ~ResultAccess() override {
    if (m_pclLayout != nullptr) m_pclLayout->nRelease();
  }
  int bExecuteQueryInternal(CNAStatement** statement, const wchar_t* /*name*/, const wchar_t* query) override {
    *statement = nullptr;
    CNACommand* pclCommand = pclAllocCommand(pclGetError());
    if (pclCommand == nullptr) return 0;
    pclCommand->AddRef();
    pclCommand->bComplete(query);
    pclCommand->SetQueryType(TYPEREQUETE_SELECT);
    CNAStatement* pclStatement = new CNAStatement(this, pclGetError());
    pclStatement->AddRef();
    int bOk = pclStatement->bExecuteDirectNewCommand(pclCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT);
    pclCommand->nRelease();
    CNAStatementSQL* pclSQL = pclStatement->pclGetStatementSQLNoRef();
    for (unsigned int c = 0; bOk && c < pclSQL->nGetColumnCount(); ++c) {
      CNAColumnSQL* p = pclSQL->pclGetNAColumnSQL(static_cast<int>(c));
      if (p == nullptr) {
        bOk = 0;
        break;
      }
      m_source.pclAdd(p->m_csName.pszGet(), p->m_eItemType, p->m_nItemSize, L"", nullptr, p->m_nIntegerPart,
                      p->m_nDecimalPart);
    }
    if (bOk) {
      m_pclLayout = new CNARecord(pclGetError(), this);
      m_pclLayout->AddRef();
      bOk = m_pclLayout->bInitRecord(&m_source, nullptr, pclGetConnection());
      SetCurrentRecord(m_pclLayout);
      pclStatement->SetRecord(m_pclLayout);
    }
    if (!bOk) {
      pclStatement->nRelease();
      return 0;
    }
    *statement = pclStatement;
    return 1;
  }

 private:
  NamedSource m_source;
  CNARecord* m_pclLayout = nullptr;
};

class LiveDriver : public CMySQLDriver {
 public:
  CNADataAccess* pclAllocDataAccess(INADataSourceDescription* /*source*/, CNAConnectionDescription* cnx,
                                    CNAError* error) override {
    return new ResultAccess(cnx, error);
  }
};

class internalquery_live : public kxtest::DriverLiveTest {
 protected:
  internalquery_live() : DriverLiveTest("kxiq_") {}

  // The process's driver; values become texts through the bound runtime's
  // conversions.
  CNADriver* NewDriver() override { return new LiveDriver(); }

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_sBlankTable = "my table " + std::to_string(getpid());
  }

  void TearDown() override {
    if (m_pSession != nullptr && !m_sBlankTable.empty()) Run("DROP TABLE IF EXISTS `" + m_sBlankTable + "`");
    DriverLiveTest::TearDown();
  }

  std::wstring Error() { return m_pError->pszGetError(); }

  std::string m_sBlankTable;
};

// A table's (or query's) data access with its record layout.
struct Table {
  NamedSource source;
  CNADataAccess* access = nullptr;
  CNARecord* layout = nullptr;
  Table(const std::wstring& name, CNAConnectionDescription* cnx, CNAError* error) {
    source.SetName(name.c_str());
    access = new CNADataAccess(&source, cnx, error);
    access->AddRef();
  }
  // Builds the layout once the items are added.
  bool bLayout(CNAConnectionDescription* cnx, CNAError* error) {
    layout = new CNARecord(error, access);
    layout->AddRef();
    access->SetCurrentRecord(layout);
    return layout->bInitRecord(&source, nullptr, cnx) != 0;
  }
  ~Table() {
    if (layout != nullptr) layout->nRelease();
    access->nRelease();
  }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  CNAColumn* Column(const wchar_t* name) const { return layout->pclGetColumnNoRef(name); }
};

TEST_F(internalquery_live, NextAndLargestValues) {
  const std::string sPlain = m_sTable;
  struct Case {
    const char* what;
    std::string table;
    const char* columns;
    const char* rows;     // values to insert, null: none
    const wchar_t* item;  // the identifier column
    long next;
    bool nextIsI8;        // the next value is the 64-bit 1 of an empty table
    const char* largest;  // null: NULL
  } const kCases[] = {
      {"empty table", sPlain, "(id INT AUTO_INCREMENT PRIMARY KEY, v INT)", nullptr, L"id", 1, true, nullptr},
      {"largest 41", sPlain, "(id INT AUTO_INCREMENT PRIMARY KEY, v INT)", "(3, 0), (41, 0), (7, 0)", L"id", 42,
       false, "41"},
      {"a table and a column that need quotes", m_sBlankTable, "(`GROUP` INT NOT NULL)", "(5), (7)", L"GROUP", 8,
       false, "7"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Run("DROP TABLE IF EXISTS `" + c.table + "`"));
    ASSERT_TRUE(Run("CREATE TABLE `" + c.table + "` " + c.columns));
    if (c.rows != nullptr) {
      ASSERT_TRUE(Run("INSERT INTO `" + c.table + "` VALUES " + c.rows));
    }
    Table t(WideFromUTF8(c.table), m_pCnx, m_pError);
    t.source.pclAdd(c.item, NA_IT_I4, 4);
    ASSERT_TRUE(t.bLayout(m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
    CNAIDAuto clAuto;

    CAny clNext;
    ASSERT_TRUE(clAuto.bGetNextValue(t.access, t.Column(c.item), m_pError, &clNext)) << Narrow(m_pError->pszGetError());
    EXPECT_FALSE(clNext.bIsNull());
    if (c.nextIsI8) {
      EXPECT_EQ(clNext.wGetType(), ANY_I8);
    }
    long n = 0;
    EXPECT_EQ(clNext.nGetINT_64(&n), 0);
    EXPECT_EQ(n, c.next);

    CAny clLargest;
    ASSERT_TRUE(clAuto.bGetMaxCurrentValue(t.access, t.Column(c.item), m_pError, &clLargest)) << Narrow(m_pError->pszGetError());
    if (c.largest == nullptr) {
      EXPECT_TRUE(clLargest.bIsNull());
    } else {
      ASSERT_FALSE(clLargest.bIsNull());
      EXPECT_EQ(clLargest.nGetINT_64(&n), 0);
      EXPECT_EQ(std::to_string(n), c.largest);
    }
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_NONE) << Narrow(m_pError->pszGetError());
  }
}

TEST_F(internalquery_live, AQueryColumnIsReadFromItsSource) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY)"));
  ASSERT_TRUE(Run("INSERT INTO " + m_sTable + " VALUES (40), (41)"));
  Table t(L"my query", m_pCnx, m_pError);
  t.source.pclAdd(L"alias", NA_IT_I4, 4, WideFromUTF8(m_sTable).c_str(), L"id");
  ASSERT_TRUE(t.bLayout(m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
  t.access->SetQuery(1);
  CNAIDAuto clAuto;
  CAny clValue;
  ASSERT_TRUE(clAuto.bGetNextValue(t.access, t.Column(L"alias"), m_pError, &clValue)) << Narrow(m_pError->pszGetError());
  long n = 0;
  EXPECT_EQ(clValue.nGetINT_64(&n), 0);
  EXPECT_EQ(n, 42);
}

TEST_F(internalquery_live, ARefusedTextFails) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY)"));
  Table t(WideFromUTF8(m_sTable), m_pCnx, m_pError);
  t.source.pclAdd(L"missing", NA_IT_I4, 4);
  ASSERT_TRUE(t.bLayout(m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
  CNAIDAuto clAuto;
  CAny clValue;
  const std::wstring sPrefix = L"The next value of " + WideFromUTF8(m_sTable) + L".missing cannot be computed.";

  EXPECT_FALSE(clAuto.bGetNextValue(t.access, t.Column(L"missing"), m_pError, &clValue));
  std::wstring sError = Error();
  EXPECT_NE(sError.find(sPrefix), std::wstring::npos) << Narrow(sError.c_str());
  // The server's own reason stays (unknown column).
  EXPECT_NE(sError.find(L"1054"), std::wstring::npos) << Narrow(sError.c_str());

  m_pError->Reset();
  EXPECT_FALSE(clAuto.bGetMaxCurrentValue(t.access, t.Column(L"missing"), m_pError, &clValue));
  sError = Error();
  EXPECT_NE(m_pError->eGetErrorType(), NA_ERRORTYPE_NONE);
  EXPECT_EQ(sError.find(sPrefix), std::wstring::npos) << Narrow(sError.c_str());

  m_pError->Reset();
  CXYStringConcat<wchar_t> clText(16);
  EXPECT_FALSE(CNAInternalParse::s_bDoInternalParse(L"SELECT missing FROM nowhere_at_all", m_pError, m_pCnx, &clText,
                                                    L"\r\n", L"\t"));
  EXPECT_NE(m_pError->eGetErrorType(), NA_ERRORTYPE_NONE);
  EXPECT_STREQ(clText.pszGet(), L"");
}

TEST_F(internalquery_live, RowsAsText) {
  struct Case {
    const wchar_t* query;
    const wchar_t* before;
    const wchar_t* expected;
  } const kCases[] = {
      {L"SELECT 1,'a' UNION ALL SELECT 2,NULL", L"", L"1\ta\r\n2\t"},
      {L"SELECT 1,'a' UNION ALL SELECT 2,NULL", L"x", L"x\r\n1\ta\r\n2\t"},
      {L"SELECT 1 FROM DUAL WHERE 1 = 0", L"x", L"x"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Narrow(c.query));
    CXYStringConcat<wchar_t> clText(16);
    clText.Add(c.before, static_cast<long>(std::wcslen(c.before)));
    EXPECT_TRUE(CNAInternalParse::s_bDoInternalParse(c.query, m_pError, m_pCnx, &clText, L"\r\n", L"\t"))
        << Narrow(m_pError->pszGetError());
    EXPECT_EQ(std::wstring(clText.pszGet()), c.expected);
  }
}

}  // namespace
