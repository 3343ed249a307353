// The statement's read texts on the fixture's server, through the MariaDB
// driver-level statement (the MariaDB driver being the process's driver):
// browses in blocks continued by the statement's own SELECT and condition
// (a key described descending, a key that is not unique) in the server's
// order, the COUNT against the server's own count, a query rewritten with
// its own LIMIT and one sent as written, and bMove reading a record again
// after another session changed it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/QueryAccess.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

class stmttexts_live : public kxtest::DriverLiveTest {
 protected:
  stmttexts_live() : DriverLiveTest("kxstx_") {}

  void SetUp() override {
    CStandInParserLedger::Reset();
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (pk INT NOT NULL PRIMARY KEY, k INT NULL, d INT NOT NULL UNIQUE, name VARCHAR(20) NULL)"
                    " ENGINE=InnoDB DEFAULT CHARSET=utf8mb4"));
    std::string sInsert = "INSERT INTO " + m_sTable + " VALUES ";
    for (int i = 1; i <= 10; ++i)
      sInsert += std::string(i > 1 ? ", " : "") + "(" + std::to_string(i) + ", " + std::to_string(i % 3) + ", " +
                 std::to_string(100 - i * 7) + ", 'n" + std::to_string(i) + "')";
    ASSERT_TRUE(Run(sInsert));
    m_sT = WideFromUTF8(m_sTable);
  }

  void TearDown() override {
    Release();
    // The parser's balance is complete once the driver is gone.
    ReleaseDriver();
    m_pBuilder.reset();
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
    DriverLiveTest::TearDown();
  }

  // The layout of the table (pk primary, k not unique, d unique described
  // descending, name), or of a query over it (`query` not null), its data
  // access and a statement.
  void Make(CStandInParserBuilder* query = nullptr, int asWritten = 0) {
    m_pSource = std::make_unique<kxtest::QuerySource>();
    m_pSource->sDBTable = m_sT;
    m_pSource->sLogical = L"LIVE";
    const wchar_t* pszSource = query != nullptr ? m_sT.c_str() : L"SRC";
    m_pk = Item(L"pk", NA_IT_I4, 4, CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE, 0, pszSource);
    m_k = Item(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES, 1, pszSource);
    if (query == nullptr) {
      m_d = Item(L"d", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_DESCENDING, 0, pszSource);
      m_name = Item(L"name", NA_IT_TEXTE, 21, 0, 1, pszSource);
    }
    m_pAccess = new kxtest::QueryAccess(m_pSource.get(), m_pCnx, m_pError);
    m_pAccess->AddRef();
    if (query != nullptr) {
      m_pAccess->SetQuery(1);
      m_pAccess->bAsWritten = asWritten;
      m_pQuery = new CSQLParserInfo(m_pError, query->pi(), nullptr, 0);
      m_pQuery->AddRef();
      m_pAccess->SetSourceQuery(m_pQuery);
    }
    m_pRecord = new CNARecord(m_pError, m_pAccess);
    m_pRecord->AddRef();
    ASSERT_TRUE(m_pRecord->bInitRecord(m_pSource.get(), nullptr, m_pCnx)) << Narrow(m_pError->pszGetError());
    m_pAccess->SetCurrentRecord(m_pRecord);
    m_pSt = new CNAStatement(m_pAccess, m_pError);
    m_pSt->AddRef();
    ASSERT_NE(nullptr, m_pSt->pclGetStatementSQLNoRef()) << Narrow(m_pError->pszGetError());
  }
  void Release() {
    if (m_pSt != nullptr) m_pSt->nRelease();
    m_pSt = nullptr;
    if (m_pRecord != nullptr) m_pRecord->nRelease();
    m_pRecord = nullptr;
    if (m_pAccess != nullptr) {
      m_pAccess->SetSourceQuery(nullptr);
      m_pAccess->nRelease();
    }
    m_pAccess = nullptr;
    if (m_pQuery != nullptr) m_pQuery->nRelease();
    m_pQuery = nullptr;
    m_pSource.reset();
  }
  CNAItemDescription* Item(const wchar_t* n, eNA_ITEMTYPE type, std::uint32_t size, std::uint16_t keys, int nullable,
                           const wchar_t* source) {
    CNAItemDescription* p = m_pSource->pclAdd(type, size, 1, keys);
    const std::uint32_t nOffset = p->nGetOffset(0);
    p->bInit(n, source, n, 1, size, type, p->nGetPhysicalIndice(), -1, keys, 0, 0);
    p->SetOffset(nOffset);
    p->SetNullable(nullable);
    return p;
  }
  std::string Value(INAItemDescription* item) {
    CAny v;
    if (!m_pRecord->pclGetColumnNoRef(item)->bGetCurrentValue(&v, 0)) return "<unreadable>";
    if (v.bIsNull()) return "NULL";
    const char* psz = nullptr;
    if (v.nGetTypeCode() != ANY_I4 && v.nGetPCASTR(&psz) <= 99 && psz != nullptr) return psz;
    int n = 0;
    v.nGetINT(&n);
    return std::to_string(n);
  }
  // The values of `item` met reading the parse from one end to the other.
  std::string Walk(INAItemDescription* item, bool backward) {
    std::string s;
    eNA_PARSEDIRECTION e = backward ? NA_PARSE_LAST : NA_PARSE_FIRST;
    for (int guard = 0; guard < 40; ++guard) {
      if (!m_pSt->bFetch(e, 0, 1)) {
        ADD_FAILURE() << "fetch failed: " << Narrow(m_pError->pszGetError());
        break;
      }
      if (m_pSt->bOutOfRange()) break;
      s += (s.empty() ? "" : ",") + Value(item);
      e = backward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
    }
    return s;
  }
  std::string Server(const std::string& sql) {
    std::string s;
    for (char c : sql) s += c == '@' ? m_sTable : std::string(1, c);
    return MariaDbLiveTest::Value(s);
  }

  std::wstring m_sT;
  std::unique_ptr<CStandInParserBuilder> m_pBuilder;
  std::unique_ptr<kxtest::QuerySource> m_pSource;
  CNAItemDescription* m_pk = nullptr;
  CNAItemDescription* m_k = nullptr;
  CNAItemDescription* m_d = nullptr;
  CNAItemDescription* m_name = nullptr;
  kxtest::QueryAccess* m_pAccess = nullptr;
  CSQLParserInfo* m_pQuery = nullptr;
  CNARecord* m_pRecord = nullptr;
  CNAStatement* m_pSt = nullptr;
};

// Browses in blocks of 1, 3 and 4 rows: each key's order as the server
// gives it (a key described descending largest first; a key that is not
// unique by key, then primary key), both ways.
TEST_F(stmttexts_live, BrowsesFollowTheServersOrder) {
  Make();
  struct Case {
    const wchar_t* key;
    INAItemDescription* item;
    const char* order;
  } kCases[] = {{L"d", m_pk, "d DESC"}, {L"k", m_pk, "k, pk"}, {L"pk", m_pk, "pk"}};
  for (const Case& c : kCases) {
    for (long nBlock : {1L, 3L, 4L}) {
      for (bool bBackward : {false, true}) {
        SCOPED_TRACE(Narrow(c.key) + " block " + std::to_string(nBlock) + (bBackward ? " backward" : " forward"));
        m_pAccess->nBlock = nBlock;
        ASSERT_TRUE(m_pAccess->bOpen(m_pSt, c.key, bBackward ? 0 : 1)) << Narrow(m_pError->pszGetError());
        std::string sOrder = c.order;
        if (bBackward) {
          // The same order read from its end.
          sOrder = sOrder == "d DESC" ? "d" : sOrder == "k, pk" ? "k DESC, pk DESC" : "pk DESC";
        }
        EXPECT_EQ(Server("SELECT GROUP_CONCAT(pk ORDER BY " + sOrder + ") FROM @"), Walk(c.item, bBackward));
      }
    }
  }
}

// The COUNT of the table, alone and with the statement's search, is the
// server's own count.
TEST_F(stmttexts_live, CountIsTheServersCount) {
  Make();
  CNACommand* pclCount = m_pAccess->pclAllocCommand(m_pError);
  pclCount->AddRef();
  struct Release {
    CNACommand* p;
    ~Release() { p->nRelease(); }
  } clRelease{pclCount};
  for (int bSearch = 0; bSearch < 2; ++bSearch) {
    SCOPED_TRACE(bSearch ? "with a search" : "alone");
    if (bSearch) {
      CNARecherche* pclSearch = m_pSt->pclAllocRecherche();
      pclSearch->AddRef();
      CAny v;
      v.SetI4(1);
      ASSERT_TRUE(pclSearch->bSetRecherche(m_pRecord, m_k, &v, NA_PARSE_NEXT, 1, 0));
      m_pSt->_SetRecherche(pclSearch);
      pclSearch->nRelease();
    }
    ASSERT_TRUE(m_pSt->_bBuildQueryCOUNT(pclCount, NA_WRITEPARSE_NONE, 0)) << Narrow(m_pError->pszGetError());
    ASSERT_TRUE(m_pSt->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT)) << Narrow(m_pError->pszGetError());
    CAny v;
    ASSERT_TRUE(m_pSt->bGetResultValue(&v, 0)) << Narrow(m_pError->pszGetError());
    // The count arrives as text.
    CAny clText = v;
    const char* psz = nullptr;
    ASSERT_LE(clText.__nCastTo(ANY_DSTRA, nullptr, 0), 99) << "type " << v.nGetTypeCode();
    ASSERT_LE(clText.nGetPCASTR(&psz), 99);
    ASSERT_NE(nullptr, psz);
    EXPECT_EQ(Server(bSearch ? "SELECT COUNT(*) FROM @ WHERE k = 1" : "SELECT COUNT(*) FROM @"), std::string(psz));
    m_pSt->Close();
  }
}

// A query rewritten with the parse's ORDER BY keeps its condition and its
// LIMIT; one sent as written runs as it stands.
TEST_F(stmttexts_live, QueryTextsRun) {
  for (int bAsWritten = 0; bAsWritten < 2; ++bAsWritten) {
    SCOPED_TRACE(bAsWritten ? "as written" : "rewritten");
    const std::wstring sText = L"SELECT pk, k FROM " + m_sT + L" WHERE k = 1 LIMIT 2";
    m_pBuilder.reset(new CStandInParserBuilder(sText.c_str()));
    CStandInParserBuilder& b = *m_pBuilder;
    b.Column(L"pk", m_sT.c_str(), L"pk");
    b.Column(L"k", m_sT.c_str(), L"k");
    b.From(m_sT.c_str());
    CAny one;
    one.SetI4(1);
    b.Where(b.Op(9, {b.Item(L"k", L"", L"k"), b.Literal(L"1", one)}));
    Make(&b, bAsWritten);
    // The query limits its own rows.
    m_pAccess->nBlock = 0;
    // Wanted from the end: a query limited to its first rows is read
    // forward all the same (the LIMIT picks them in that order).
    ASSERT_TRUE(m_pAccess->bOpen(m_pSt, L"k", 0)) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(0, m_pSt->bInvertFetch());
    std::string sSeen;
    int nRows = 0;
    for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST; nRows < 10; e = NA_PARSE_NEXT) {
      ASSERT_TRUE(m_pSt->bFetch(e, 0, 1)) << Narrow(m_pError->pszGetError());
      if (m_pSt->bOutOfRange()) break;
      ++nRows;
      EXPECT_EQ("1", Value(m_k));
      sSeen += (sSeen.empty() ? "" : ",") + Value(m_pk);
    }
    EXPECT_EQ(2, nRows) << sSeen;
    if (!bAsWritten) {
      EXPECT_EQ(Server("SELECT GROUP_CONCAT(pk ORDER BY k, pk) FROM (SELECT pk, k FROM @ WHERE k = 1 ORDER BY k, pk "
                       "LIMIT 2) x"),
                sSeen);
    }
    Release();
  }
}

// bMove reads the record again by the values it was read with: a column
// another session changed comes with its new value.
TEST_F(stmttexts_live, MoveReadsTheChangedRecord) {
  Make();
  m_pSource->piBest = m_pk;
  ASSERT_TRUE(m_pAccess->bOpen(m_pSt, L"pk", 1)) << Narrow(m_pError->pszGetError());
  ASSERT_TRUE(m_pSt->bFetch(NA_PARSE_FIRST, 1, 1));
  ASSERT_TRUE(m_pSt->bFetch(NA_PARSE_NEXT, 1, 1));
  ASSERT_EQ("2", Value(m_pk));
  ASSERT_EQ("n2", Value(m_name));
  ASSERT_TRUE(Run("UPDATE " + m_sTable + " SET name = 'changed', k = 42 WHERE pk = 2"));
  ASSERT_TRUE(m_pSt->bMove(0, 0)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(0, m_pSt->bOutOfRange());
  EXPECT_EQ("2", Value(m_pk));
  EXPECT_EQ("changed", Value(m_name));
  EXPECT_EQ("42", Value(m_k));
}

// DROP TABLE built by the statement runs on the server and the table is
// gone after it, also for a name that needs quoting; a second DROP of the
// same table is refused by the server and reported as a failure.
TEST_F(stmttexts_live, DropTableRemovesTheTable) {
  Make();
  const std::string sSpaced = m_sTable + " drop me";
  ASSERT_TRUE(Run("CREATE TABLE `" + sSpaced + "` (a INT) ENGINE=InnoDB"));
  // Builds the DROP into a new command and runs it: the text, and whether
  // the server took it.
  auto Drop = [&](std::string* text) -> bool {
    CNACommand* pclDrop = m_pAccess->pclAllocCommand(m_pError);
    if (pclDrop == nullptr) {
      ADD_FAILURE() << "no command";
      return false;
    }
    pclDrop->AddRef();
    const bool bBuilt = m_pSt->bBuildQuery(NA_QUERY_DROPTABLE, pclDrop, NA_WRITEPARSE_NONE) != 0;
    EXPECT_TRUE(bBuilt) << Narrow(m_pError->pszGetError());
    *text = Narrow(pclDrop->pszGetOriginalSQL());
    const bool bRan = bBuilt && m_pSt->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT) != 0;
    m_pSt->Close();
    m_pSt->ResetQuery();
    pclDrop->nRelease();
    return bRan;
  };
  for (const std::string& sName : {m_sTable, sSpaced}) {
    SCOPED_TRACE(sName);
    const std::string sExists =
        "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '" + sName +
        "'";
    ASSERT_EQ("1", MariaDbLiveTest::Value(sExists));
    m_pSource->sDBTable = WideFromUTF8(sName);
    std::string sText;
    EXPECT_TRUE(Drop(&sText)) << sText << ": " << Narrow(m_pError->pszGetError());
    EXPECT_EQ("DROP TABLE `" + sName + "`", sText);
    EXPECT_EQ("0", MariaDbLiveTest::Value(sExists));
    // The table is gone: the same text again fails, with the server's
    // reason kept.
    m_pError->Reset();
    EXPECT_FALSE(Drop(&sText)) << sText;
    EXPECT_NE(NA_ERRORTYPE_NONE, m_pError->eGetErrorType());
    // The server's own reason: unknown table.
    EXPECT_NE(std::string::npos, Narrow(m_pError->pszGetError()).find("error 1051")) << Narrow(m_pError->pszGetError());
    m_pError->Reset();
  }
  Run("DROP TABLE IF EXISTS `" + sSpaced + "`");
}

}  // namespace
