// Tables of the fixture's server described from its catalogue through the
// MariaDB driver: types and sizes by declaration and character set,
// automatic identifiers, single, unique, multi-column and prefix indexes,
// NULL constraints and defaults, a name with a backquote; then a clone of
// each description checked against the runtime's own declaration of the
// table. A missing table, and a connection killed between the two
// catalogues, fail with the server's error.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLDataSourceDescription.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNAStatementSQL.h"
#include "CMySQLStatementSQL.h"
#include "StandInSQLParser.h"
#include "mysql/mysqlstmt_support.h"
#include "mysql/support/DescriptionSummary.h"
#include "nativeaccess/support/DriverLiveTest.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

// A description that runs a test's step between the two catalogues.
class SteppedDescription : public CMySQLDataSourceDescription {
 public:
  SteppedDescription(CNAConnectionDescription* cnx, CNAError* error, std::function<void()> step)
      : CMySQLDataSourceDescription(cnx, error), m_fnStep(std::move(step)) {}

 protected:
  int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pText) override {
    m_fnStep();
    return CMySQLDataSourceDescription::_bGetQueryShowIndex(pText);
  }

 private:
  std::function<void()> m_fnStep;
};

class mysql_describe_live : public kxtest::DriverLiveTest {
 protected:
  mysql_describe_live() : DriverLiveTest("kxdesc_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    CStandInParserLedger::Reset();
    m_sA = m_sTable + "_a";
    m_sB = m_sTable + "_b";
    m_sC = m_sTable + "_c";
    m_sQ = m_sTable + "_q`x";
    for (const std::string* p : {&m_sA, &m_sB, &m_sC}) Run("DROP TABLE IF EXISTS " + *p);
    Run("DROP TABLE IF EXISTS `" + m_sTable + "_q``x`");
    ASSERT_TRUE(Run("CREATE TABLE " + m_sA +
                    " (id INT NOT NULL AUTO_INCREMENT,"
                    " code VARCHAR(50) CHARACTER SET latin1 NOT NULL,"
                    " label VARCHAR(50) NULL DEFAULT NULL,"
                    " qty INT NOT NULL DEFAULT '0',"
                    " price DECIMAL(10,2) NULL,"
                    " total DECIMAL(30,4) NULL,"
                    " kind ENUM('x','y') NULL,"
                    " created DATETIME NOT NULL DEFAULT current_timestamp(),"
                    " body TEXT NULL,"
                    " PRIMARY KEY (id), UNIQUE KEY u_code (code), KEY ix_multi (qty, price),"
                    " KEY ix_body (body(10))) ENGINE=InnoDB"));
    ASSERT_TRUE(Run("CREATE TABLE " + m_sB +
                    " (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
                    " note VARCHAR(20) CHARACTER SET latin1 NULL DEFAULT '0') ENGINE=InnoDB"));
    ASSERT_TRUE(Run("CREATE TABLE " + m_sC +
                    " (a INT NOT NULL, b VARCHAR(10) CHARACTER SET latin1 NOT NULL, c INT NULL,"
                    " PRIMARY KEY (a, b), UNIQUE KEY u_c (c)) ENGINE=InnoDB"));
    ASSERT_TRUE(Run("CREATE TABLE `" + m_sTable + "_q``x` (v INT NULL) ENGINE=InnoDB"));
  }

  void TearDown() override {
    if (m_pDesc != nullptr) m_pDesc->nRelease();
    m_pDesc = nullptr;
    if (m_pSession != nullptr) {
      std::string failure;
      for (const std::string* p : {&m_sA, &m_sB, &m_sC})
        m_client->Execute(m_pSession, "DROP TABLE IF EXISTS " + *p, failure);
      m_client->Execute(m_pSession, "DROP TABLE IF EXISTS `" + m_sTable + "_q``x`", failure);
    }
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
    DriverLiveTest::TearDown();
  }

  // Describes `table` on a new description (kept in m_pDesc): the answer.
  int Describe(const std::string& table, CMySQLDataSourceDescription* desc = nullptr) {
    if (m_pDesc != nullptr) m_pDesc->nRelease();
    m_pDesc = desc != nullptr ? desc : new CMySQLDataSourceDescription(m_pCnx, m_pError);
    m_pDesc->AddRef();
    const std::wstring sTable = WideFromUTF8(table);
    return m_pDesc->bInitDataSourceDescriptionFromDB(sTable.c_str(), 0);
  }

  // Whether a clone of the description, mode 0, holds every item of the
  // runtime's declaration `rows` of that table.
  int CloneIsCompatible(const std::string& table, const std::vector<stStandInItemRow>& rows) {
    CStandInDataSource clDeclared(WideFromUTF8(table).c_str(), WideFromUTF8(table).c_str());
    EXPECT_TRUE(clDeclared.Declare(rows));
    CNADataSourceDescription* pclClone = m_pDesc->pclGetCloneDataSourceDescription(NA_CLONEDESC_NONE);
    if (pclClone == nullptr) return -1;
    pclClone->AddRef();
    const int bAnswer = pclClone->bAreDescriptionCompatible(&clDeclared);
    pclClone->nRelease();
    return bAnswer;
  }

  std::string Error() { return Narrow(m_pError->pszGetError()); }

  std::string m_sA, m_sB, m_sC, m_sQ;
  CMySQLDataSourceDescription* m_pDesc = nullptr;
};

// Every fixture table with its types, item sizes, NULL constraints, key
// flags, key indexes and key order; the clone of each fits the runtime's
// declaration of the table (names compared with case and trailing blanks
// ignored, composite keys skipped).
TEST_F(mysql_describe_live, FixtureTablesAreDescribedWithTheirKeys) {
  ASSERT_EQ(1, Describe(m_sA)) << Error();
  EXPECT_EQ("id:IDAUTO4/4 k0=8800 nn; code:TEXTE/51 k1=4800 nn; label:UNICODE/102; qty:I4/4 nn; "
            "price:MONETAIRE/10; total:DECIMAL/13; kind:MEMOUNICODE/8; created:DATETIME/8 nn; "
            "body:MEMOUNICODE/8 k3=2800; ix_multi:BINAIRE/14 k2=3800 (qty+price); "
            "keys: id code ix_multi body",
            kxtest::DescriptionSummary(m_pDesc));
  INAItemDescription* piTotal = m_pDesc->piNAGetItem(L"total");
  ASSERT_NE(nullptr, piTotal);
  EXPECT_EQ(26, piTotal->nGetIntegerPart());
  EXPECT_EQ(4, piTotal->nGetDecimalPart());
  piTotal->nExternalRelease();
  // Defaults: NULL as the server says, '0' converted, and what the
  // conversion makes of the server's current_timestamp() text.
  INAItemDescription* piLabel = m_pDesc->piNAGetItem(L"label");
  INAItemDescription* piQty = m_pDesc->piNAGetItem(L"qty");
  INAItemDescription* piCreated = m_pDesc->piNAGetItem(L"created");
  ASSERT_NE(nullptr, piLabel);
  ASSERT_NE(nullptr, piQty);
  ASSERT_NE(nullptr, piCreated);
  EXPECT_TRUE(piLabel->pclGetDefaultValue(0)->bIsNull());
  EXPECT_FALSE(piQty->pclGetDefaultValue(0)->bIsNull());
  int nQty = -1;
  EXPECT_EQ(ANY_OK, piQty->pclGetDefaultValue(0)->nGetINT(&nQty));
  EXPECT_EQ(0, nQty);
  EXPECT_FALSE(piCreated->pclGetDefaultValue(0)->bIsNull());
  // The server's text is no date: the conversion gives the empty
  // date-time (every byte 0), not NULL.
  const CAny* pclCreated = piCreated->pclGetDefaultValue(0);
  EXPECT_EQ(ANY_DATETIME, pclCreated->nGetTypeCode());
  void* pvCreated = nullptr;
  std::size_t nCreated = 0;
  pclCreated->nGetDataAdr(&pvCreated);
  pclCreated->nGetUtilDataSize(&nCreated);
  const std::string sCreated =
      pvCreated != nullptr ? std::string(static_cast<const char*>(pvCreated), nCreated) : std::string("null");
  EXPECT_EQ(std::string(8, '\0'), sCreated);
  piLabel->nExternalRelease();
  piQty->nExternalRelease();
  piCreated->nExternalRelease();
  EXPECT_EQ(1, CloneIsCompatible(m_sA, {{L"ID", 28, 4, 1, 0x8800},
                                        {L"CODE ", 2, 51, 1, 0x4800},
                                        {L"Label", 29, 102},
                                        {L"qty", 5, 4},
                                        {L"price", 17, 10},
                                        {L"total", 31, 13},
                                        {L"kind", 30, 8},
                                        {L"created", 24, 8},
                                        {L"body", 30, 8, 1, 0x2800},
                                        {L"K_SEARCH", 23, 14, 1, 0x3800, {L"qty", L"price"}}}))
      << Error();

  ASSERT_EQ(1, Describe(m_sB)) << Error();
  EXPECT_EQ("id:IDAUTO/8 k0=8800 nn; note:TEXTE/21; keys: id", kxtest::DescriptionSummary(m_pDesc));
  EXPECT_EQ(1, CloneIsCompatible(m_sB, {{L"id", 1, 8, 1, 0x8800}, {L"note", 2, 21}})) << Error();

  ASSERT_EQ(1, Describe(m_sC)) << Error();
  EXPECT_EQ("a:I4/4 nn; b:TEXTE/11 nn; c:I4/4 k1=4800; PRIMARY:BINAIRE/14 k0=D800 (a+b); keys: PRIMARY c",
            kxtest::DescriptionSummary(m_pDesc));
  EXPECT_EQ(1, CloneIsCompatible(m_sC, {{L"a", 5, 4}, {L"b", 2, 11}, {L"c", 5, 4, 1, 0x4800},
                                        {L"AB", 23, 14, 1, 0xD800, {L"a", L"b"}}}))
      << Error();
  // An item the table lacks is not compatible, and the error names it.
  m_pError->Reset();
  EXPECT_EQ(0, CloneIsCompatible(m_sC, {{L"a", 5, 4}, {L"d", 5, 4}}));
  EXPECT_NE(std::string::npos, Error().find('d')) << Error();
  m_pError->Reset();

  ASSERT_EQ(1, Describe(m_sQ)) << Error();
  EXPECT_EQ("v:I4/4; keys:", kxtest::DescriptionSummary(m_pDesc));
  EXPECT_EQ(1, CloneIsCompatible(m_sQ, {{L"V", 5, 4}})) << Error();
}

// A table the server does not have: 0 with the server's error.
TEST_F(mysql_describe_live, MissingTableFailsWithTheServersError) {
  EXPECT_EQ(0, Describe(m_sTable + "_missing"));
  EXPECT_EQ(1146u, m_pError->dwGetDataBaseErrorCode()) << Error();
  EXPECT_EQ("keys:", kxtest::DescriptionSummary(m_pDesc));
}

// The describing connection killed from the test's own session once the
// columns are read: the index catalogue fails, the answer is 0 with an
// error, and nothing crashes.
TEST_F(mysql_describe_live, ConnectionKilledBetweenTheCataloguesFails) {
  CNAStatementSQL* pclStatement = nullptr;
  CNADriverSQL* pclFace = m_pDriver->pclGetDriverSQL();
  ASSERT_NE(nullptr, pclFace);
  ASSERT_EQ(1, pclFace->bExecute(m_pError, &pclStatement, m_pCnx, L"SELECT CONNECTION_ID()", nullptr,
                                 NA_WRITEPARSE_NONE))
      << Error();
  ASSERT_NE(nullptr, pclStatement);
  ASSERT_EQ(1, pclStatement->bFetch(0));
  const std::string sId = kxtest::Raw(static_cast<CMySQLStatementSQL*>(pclStatement), 0).value_or("");
  pclStatement->nRelease();
  ASSERT_FALSE(sId.empty());

  int nSteps = 0;
  auto* pclDesc = new SteppedDescription(m_pCnx, m_pError, [&] {
    ++nSteps;
    Run("KILL " + sId);
  });
  EXPECT_EQ(0, Describe(m_sA, pclDesc));
  EXPECT_EQ(1, nSteps);
  EXPECT_NE(NA_ERRORTYPE_NONE, m_pError->eGetErrorType()) << "a failure without a reason";
  // The columns read before the kill stay; no key came from the indexes.
  EXPECT_EQ(9u, m_pDesc->nGetNumItems());
  EXPECT_EQ(1u, m_pDesc->nGetNumKeys());
}

}  // namespace
