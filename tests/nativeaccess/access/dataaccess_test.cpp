// The data access object: its statement registry (names without regard to
// case, a one-entry memo, renaming), closing, the current record lent to
// the runtime and handed back, the answers of the slots the later layers
// fill, the read-only refusal of the write path and the last-data-access
// record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNAXQRecord.h"
#include "support/CountingAccess.h"
#include "support/LayoutFixture.h"
#include "support/TestLayoutDoubles.h"

namespace {

using kxtest::CountingAccess;
using kxtest::CountingStatement;
using kxtest::Held;
using kxtest::TestConnection;

// A counted data access without a description, reporting into its own
// error object.
struct Access {
  CNAError* error = new CNAError();
  CountingAccess* p = nullptr;
  explicit Access(INADataSourceDescription* source = nullptr, CNAConnectionDescription* cnx = nullptr) {
    error->AddRef();
    p = new CountingAccess(source, cnx, error);
    p->AddRef();
  }
  ~Access() {
    if (p != nullptr) p->nRelease();
    error->nRelease();
  }
  CountingAccess* operator->() const { return p; }
};

// ---- Registry -----------------------------------------------------------

TEST(dataaccess_registry, NamesIgnoreCaseAndTheRegistryHoldsOneReference) {
  Access a;
  EXPECT_EQ(nullptr, a->_pclFindStatement(L"Nom"));
  CNAStatement* pclFirst = a->_pclInitStatement(L"Nom");
  ASSERT_NE(nullptr, pclFirst);
  EXPECT_STREQ(L"Nom", pclFirst->pszGetParseKey());
  EXPECT_STREQ(L"Nom", pclFirst->pszGetCacheKey());
  CNAStatement* pclSecond = a->_pclFindStatement(L"NOM");
  EXPECT_EQ(pclFirst, pclSecond);
  // The registry's reference and one for each caller.
  EXPECT_EQ(3u, pclFirst->nGetInternalCount());
  pclSecond->nRelease();
  // Answered again (from the memo) with the caller's reference.
  CNAStatement* pclThird = a->_pclFindStatement(L"nom");
  EXPECT_EQ(pclFirst, pclThird);
  EXPECT_EQ(3u, pclFirst->nGetInternalCount());
  pclThird->nRelease();
  pclFirst->nRelease();
  EXPECT_EQ(1u, a->nGetStatementCount());

  // The query statement is the one of the empty name, made once.
  CNAStatement* pclQuery = a->_pclGetQueryStatement();
  CNAStatement* pclQuery2 = a->_pclGetQueryStatement();
  EXPECT_EQ(pclQuery, pclQuery2);
  EXPECT_NE(pclFirst, pclQuery);
  pclQuery->nRelease();
  pclQuery2->nRelease();
  EXPECT_EQ(2, a->nStatementsMade);

  // The statement of an item becomes the cursor's current one.
  CNAStatement* pclItem = a->_pclGetNewItemStatement(L"NOM", NA_PARSE_FIRST, NA_WRITEPARSE_NONE);
  EXPECT_EQ(pclFirst, pclItem);
  EXPECT_EQ(pclFirst, a->pclGetCurrentStatement());
  pclItem->nRelease();
  EXPECT_EQ(2, a->nStatementsMade);
}

TEST(dataaccess_registry, NoStatementMadeGivesNoneAndRegistersNothing) {
  Access a;
  a->bNoStatement = true;
  EXPECT_EQ(nullptr, a->_pclGetQueryStatement());
  EXPECT_EQ(0u, a->nGetStatementCount());
}

// Renaming: the new name first, the old one second.
TEST(dataaccess_registry, ChangeKeyKeepsOneStatementPerNameAndNoStaleMemo) {
  Access a;
  CNAStatement* pclA = a->_pclInitStatement(L"A");
  CNAStatement* pclB = a->_pclInitStatement(L"B");
  // B is remembered by the memo and as the current statement.
  a->_pclGetNewItemStatement(L"B", NA_PARSE_FIRST, NA_WRITEPARSE_NONE)->nRelease();
  ASSERT_EQ(pclB, a->pclGetCurrentStatement());

  // Onto a registered name: B's entry and reference go, nothing names it.
  EXPECT_EQ(1, a->_bChangeStatementKey(L"B", L"A", nullptr));
  EXPECT_EQ(1u, a->nGetStatementCount());
  EXPECT_EQ(1u, pclB->nGetInternalCount());  // the test's own
  EXPECT_EQ(nullptr, a->pclGetCurrentStatement());
  CNAStatement* pclFound = a->_pclFindStatement(L"b");
  EXPECT_EQ(pclA, pclFound);
  pclFound->nRelease();
  EXPECT_EQ(nullptr, a->_pclFindStatement(L"A"));
  EXPECT_STREQ(L"B", pclA->pszGetParseKey());
  EXPECT_STREQ(L"B", pclA->pszGetCacheKey());

  // Names equal but for case: only the key text changes.
  EXPECT_EQ(1, a->_bChangeStatementKey(L"b", L"B", pclA));
  EXPECT_EQ(1u, a->nGetStatementCount());
  EXPECT_STREQ(L"b", pclA->pszGetParseKey());

  // No entry under the old name, or one holding another statement:
  // nothing changes.
  EXPECT_EQ(1, a->_bChangeStatementKey(L"X", L"Missing", nullptr));
  EXPECT_EQ(1, a->_bChangeStatementKey(L"X", L"b", pclB));
  EXPECT_EQ(nullptr, a->_pclFindStatement(L"X"));
  EXPECT_EQ(1u, a->nGetStatementCount());
  EXPECT_EQ(2u, pclA->nGetInternalCount());
  pclA->nRelease();
  pclB->nRelease();
}

TEST(dataaccess_registry, CloseReleasesEveryStatementAndForgetsTheCurrentOne) {
  Access a;
  // Never opened: closing succeeds.
  EXPECT_EQ(1, a->bHFerme());
  CNAStatement* pclHeld = a->_pclGetNewItemStatement(L"K", NA_PARSE_FIRST, NA_WRITEPARSE_NONE);
  a->_pclGetQueryStatement()->nRelease();
  a->SetOpened(1);
  EXPECT_EQ(1, a->bHFerme());
  EXPECT_FALSE(a->bIsOpened());
  EXPECT_EQ(0u, a->nGetStatementCount());
  EXPECT_EQ(nullptr, a->pclGetCurrentStatement());
  EXPECT_EQ(1u, pclHeld->nGetInternalCount());
  pclHeld->nRelease();
}

// ---- Current record lent to the runtime ---------------------------------------

TEST(dataaccess_record, RecordLentAndHandedBackOnlyWhenOpenWithARecord) {
  kxtest::DriverScope<kxtest::PlainDriver> clDriver;
  kxtest::TenItems items;
  Held<TestConnection> cnx;
  Access a(&items.src, cnx.get());
  CNAXQRecord* pclOut = reinterpret_cast<CNAXQRecord*>(0x1);
  // No record, closed or open.
  EXPECT_FALSE(a->bGetRecord(&pclOut));
  a->SetOpened(1);
  EXPECT_FALSE(a->bGetRecord(&pclOut));
  EXPECT_EQ(reinterpret_cast<CNAXQRecord*>(0x1), pclOut);

  ASSERT_TRUE(a->_bInitCurrentRecord());
  CNARecord* pclRecord = a->pclGetCurrentRecord();
  ASSERT_NE(nullptr, pclRecord);
  CNAXQRecord* pclBuffer = pclRecord->pclGetNAXQRecord();
  const std::uint32_t nExternal = pclBuffer->nGetExternalCount();
  a->SetOpened(0);
  EXPECT_FALSE(a->bGetRecord(&pclOut));
  EXPECT_FALSE(a->bSetRecord(pclBuffer));
  EXPECT_EQ(nExternal, pclBuffer->nGetExternalCount());
  a->SetOpened(1);
  ASSERT_TRUE(a->bGetRecord(&pclOut));
  EXPECT_EQ(pclBuffer, pclOut);
  EXPECT_EQ(nExternal + 1, pclBuffer->nGetExternalCount());
  // The runtime hands the current buffer itself back.
  EXPECT_TRUE(a->bSetRecord(pclOut));
  EXPECT_EQ(nExternal, pclBuffer->nGetExternalCount());

  // Another buffer: its values are copied in, the runtime's count on it
  // goes (the buffer with it).
  CNAXQRecord* pclOther = pclBuffer->pclGetClone();
  ASSERT_NE(nullptr, pclOther);
  pclOther->ExternalAddRef();
  const std::int32_t n = 4711;
  std::memcpy(pclOther->pbyGetItemValue(items.i4, 0), &n, sizeof n);
  pclOther->SetItemValueDefined(items.i4, 1, 0);
  EXPECT_TRUE(a->bSetRecord(pclOther));
  std::int32_t nRead = 0;
  std::memcpy(&nRead, pclBuffer->pbyGetItemValue(items.i4, 0), sizeof nRead);
  EXPECT_EQ(4711, nRead);
}

// ---- Slots of the later layers --------------------------------------------------

TEST(dataaccess_defaults, ValueSlotsAnswerAndOtherSlotsAreNotAvailable) {
  Access a;
  EXPECT_STREQ(L"", a->pszGetLogicalName());
  EXPECT_STREQ(L"", a->pszGetDBTableName());
  int nVersion = 5;
  EXPECT_EQ(1, a->bHVersion(&nVersion));
  EXPECT_EQ(0, nVersion);
  EXPECT_EQ(1, a->bHReindexe(0, nullptr));
  EXPECT_EQ(1, a->bHDebloqueFichier());
  EXPECT_EQ(1, a->bHDebloqueNumEnr(3));
  EXPECT_EQ(0, a->llGetRecNum());
  EXPECT_EQ(NA_RECORDID_RECORDVALUES, a->eEvaluateRecordIdType());
  int nNeed = 0;
  EXPECT_EQ(1, a->bNbEnrNeedParse(&nNeed, L"k"));
  EXPECT_EQ(1, nNeed);
  EXPECT_EQ(1, a->_bIsValidRecordNumber(0));
  EXPECT_EQ(-1, a->_nGetSequenceCurrentVal(nullptr));
  EXPECT_EQ(NA_ERRORTYPE_NONE, a.error->eGetErrorType());  // nothing reported so far

  EXPECT_EQ(0, a->bGetBLOB(0, nullptr));
  EXPECT_EQ(NA_ERRORTYPE_UNAVAILABLE, a.error->eGetErrorType());
  EXPECT_EQ(38u, a.error->nGetUserErrorCode());
  a.error->Reset();
  EXPECT_EQ(0, a->_bIsValidRecordNumber(2));
  EXPECT_EQ(NA_ERRORTYPE_GENERIC, a.error->eGetErrorType());
  EXPECT_EQ(18u, a.error->nGetUserErrorCode());
}

// ---- Write path -----------------------------------------------------------------

TEST(dataaccess_write, QuerySentAsWrittenRefusesWritesBeforeAnyText) {
  Access a;
  a->SetQuery(1);
  a->SetQueryMode(NA_QUERYMODE_ASWRITTEN);
  EXPECT_EQ(1, a->bRequeteSansCorrection());
  CNAStatement* pclStatement = a->_pclGetQueryStatement();
  ASSERT_NE(nullptr, pclStatement);
  for (eNAQUERYTYPE e : {NA_QUERY_UPDATE, NA_QUERY_INSERT, NA_QUERY_DELETE}) {
    SCOPED_TRACE(static_cast<int>(e));
    a.error->Reset();
    EXPECT_EQ(0, a->_bOperation(pclStatement, e, NA_WRITEPARSE_NONE, nullptr));
    EXPECT_EQ(NA_ERRORTYPE_GENERIC, a.error->eGetErrorType());
    EXPECT_EQ(35u, a.error->nGetUserErrorCode());
    EXPECT_EQ(nullptr, pclStatement->pclGetCommandNoRef());
  }
  EXPECT_TRUE(static_cast<CountingStatement*>(pclStatement)->vecNotified.empty());
  // A query the library rewrites, or a table, is not read-only.
  a->SetQueryMode(0);
  EXPECT_EQ(0, a->bRequeteSansCorrection());
  a->SetQueryMode(NA_QUERYMODE_ASWRITTEN);
  a->SetQuery(0);
  EXPECT_EQ(0, a->bRequeteSansCorrection());
  pclStatement->nRelease();
}

// ---- The last data access a table found ---------------------------------------------

TEST(dataaccess_last, DestroyingTheRecordedDataAccessClearsTheRecord) {
  Access a;
  Access b;
  CNADataAccess::s_SetLastDataAccess(a.p, 0x100000005ull, 6);
  // Both identifiers compared on all 64 bits.
  EXPECT_EQ(nullptr, CNADataAccess::s_pclGetLastDataAccess(5, 6));
  EXPECT_EQ(a.p, CNADataAccess::s_pclGetLastDataAccess(0x100000005ull, 6));
  // Another data access going leaves the record alone.
  b.p->nRelease();
  b.p = nullptr;
  EXPECT_EQ(a.p, gpclLastDataAccess);
  a.p->nRelease();
  a.p = nullptr;
  EXPECT_EQ(nullptr, gpclLastDataAccess);
  EXPECT_EQ(nullptr, CNADataAccess::s_pclGetLastDataAccess(0x100000005ull, 6));
}

}  // namespace

// ---- A description that comes after the layout ------------------------------

TEST(dataaccess_record, LateDescriptionIsBoundByNameKeepingOnlyTheColumnsReferences) {
  kxtest::DriverScope<kxtest::PlainDriver> clDriver;
  kxtest::TenItems items;
  Held<TestConnection> cnx;
  Access a(&items.src, cnx.get());
  ASSERT_TRUE(a->_bInitCurrentRecord());
  CNARecord* pclRecord = a->pclGetCurrentRecord();
  ASSERT_NE(nullptr, pclRecord);
  ASSERT_GT(pclRecord->nGetColumnCount(), 0);
  ASSERT_EQ(nullptr, pclRecord->pclGetColumnNoRef(0)->piGetImportedItemDescNoRef());

  auto* pclImported = new kxtest::TestImportedSource();
  pclImported->AddRef();
  std::vector<CNAItemDescription*> tabItems;
  std::vector<std::uint32_t> tabBefore;
  for (int i = 0; i < pclRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn->bIsComposedKey()) continue;
    tabItems.push_back(pclImported->pclAdd(pclColumn->pszGetName(), NA_IT_TEXTE, 10));
    tabBefore.push_back(tabItems.back()->nGetExternalCount());
  }
  a->_SetImportedDataSourceDesc(pclImported);
  ASSERT_TRUE(a->_bInitCurrentRecord());
  // Every column is bound to its item, which gained exactly the column's
  // reference (a lookup reference kept would outlive the layout).
  size_t k = 0;
  for (int i = 0; i < pclRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn->bIsComposedKey()) continue;
    EXPECT_EQ(tabItems[k], pclColumn->piGetImportedItemDescNoRef()) << i;
    EXPECT_EQ(tabBefore[k] + 1, tabItems[k]->nGetExternalCount()) << i;
    ++k;
  }
  a->_SetImportedDataSourceDesc(nullptr);
  pclImported->nRelease();
}
