// Saved record values, the table cache and notifications of the data
// access: keeping and restoring saves, the current-record save forgotten
// whenever the store empties, a data access destroyed while saves are
// held, the table cache kept in step after a write, notification options
// and the end of a transaction.
#include <gtest/gtest.h>

#include <cstring>

#include "CAny.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNATableCache.h"
#include "CNAXQRecord.h"
#include "support/CountingAccess.h"
#include "support/LayoutFixture.h"
#include "support/SaveCount.h"

namespace {

using kxtest::CountingAccess;
using kxtest::CountingStatement;
using kxtest::Held;
using kxtest::TestConnection;

class saves : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pclError = new CNAError();
    m_pclError->AddRef();
    m_pclAccess = NewAccess();
  }
  void TearDown() override {
    if (m_pclAccess != nullptr) m_pclAccess->nRelease();
    m_pclError->nRelease();
  }
  // A data access over the ten items with its current record made.
  CountingAccess* NewAccess() {
    auto* p = new CountingAccess(&m_clItems.src, m_clCnx.get(), m_pclError);
    p->AddRef();
    EXPECT_TRUE(p->_bInitCurrentRecord());
    return p;
  }
  CNARecord* Record() const { return m_pclAccess->pclGetCurrentRecord(); }
  // Writes `n` as the I4 item of the current record.
  void SetCurrentI4(std::int32_t n) {
    CNAXQRecord* pcl = Record()->pclGetNAXQRecord();
    std::memcpy(pcl->pbyGetItemValue(m_clItems.i4, 0), &n, sizeof n);
    pcl->SetItemValueDefined(m_clItems.i4, 1, 0);
  }
  std::int32_t I4Of(const CNARecordValue* value) const {
    std::int32_t n = -1;
    std::memcpy(&n, value->pclGetNAXQRecord()->pbyGetItemValue(m_clItems.i4, 0), sizeof n);
    return n;
  }
  CountingStatement* Statement(const wchar_t* item) {
    CNAStatement* p = m_pclAccess->_pclGetNewItemStatement(item, NA_PARSE_FIRST, NA_WRITEPARSE_NONE);
    if (p != nullptr) p->nRelease();  // the registry holds it
    return static_cast<CountingStatement*>(p);
  }

  kxtest::DriverScope<kxtest::PlainDriver> m_clDriver;
  kxtest::TenItems m_clItems;
  Held<TestConnection> m_clCnx;
  CNAError* m_pclError = nullptr;
  CountingAccess* m_pclAccess = nullptr;
};

TEST_F(saves, KeptRecordsShareASlotPerIdentifierAndComeBack) {
  SetCurrentI4(7);
  const std::uint32_t nFirst = m_pclAccess->nKeepCurrentRecordSave();
  ASSERT_NE(CNADataAccess::knNoRecordSave, nFirst);
  const std::uint32_t nAgain = m_pclAccess->nKeepCurrentRecordSave();
  EXPECT_EQ(nFirst, nAgain);
  EXPECT_EQ(2, m_pclAccess->nGetRecordSaveCount(nFirst));
  EXPECT_FALSE(m_pclAccess->bRecordDeleted(nFirst));

  SetCurrentI4(8);
  const std::uint32_t nOther = m_pclAccess->nKeepCurrentRecordSave();
  EXPECT_NE(nFirst, nOther);
  // The saved record comes back as the original one, and item by item.
  ASSERT_TRUE(m_pclAccess->bRestoreOriginalRecordSave(nFirst));
  EXPECT_EQ(7, I4Of(Record()->pclGetOriginalRecordValue()));
  CAny clValue;
  ASSERT_TRUE(m_pclAccess->_bGetItemValueInRecordSave(&clValue, nOther, m_clItems.i4));
  int nValue = 0;
  EXPECT_EQ(0, clValue.nGetINT(&nValue));
  EXPECT_EQ(8, nValue);

  EXPECT_EQ(1, m_pclAccess->nReleaseRecordSave(nFirst));
  EXPECT_EQ(0, m_pclAccess->nReleaseRecordSave(nFirst));
  EXPECT_EQ(0, m_pclAccess->nReleaseRecordSave(nOther));
  EXPECT_EQ(0, kxtest::nSavesHeld(m_pclAccess));
  // None: nothing kept, nothing counted.
  m_pclAccess->AddRefRecordSave(CNADataAccess::knNoRecordSave);
  EXPECT_EQ(0, m_pclAccess->nReleaseRecordSave(CNADataAccess::knNoRecordSave));
  EXPECT_FALSE(m_pclAccess->bRestoreOriginalRecordSave(CNADataAccess::knNoRecordSave));
}

// Emptying the store voids every save number: the current-record save must
// not be given back later on a slot someone else holds by then.
TEST_F(saves, CurrentRecordSaveForgottenWhenTheStoreEmpties) {
  SetCurrentI4(1);
  const std::uint32_t nSave = m_pclAccess->nKeepCurrentRecordSave();
  m_pclAccess->SetOriginalRecordSave(nSave);
  m_pclAccess->nReleaseRecordSave(nSave);
  ASSERT_EQ(nSave, m_pclAccess->nGetOriginalRecordSave());

  m_pclAccess->_ResetDataAccess();
  EXPECT_EQ(CNADataAccess::knNoRecordSave, m_pclAccess->nGetOriginalRecordSave());
  // A layout again, and a save that lands in the same slot.
  CNARecord* pclRecord = new CNARecord(m_pclError, m_pclAccess);
  pclRecord->AddRef();
  ASSERT_TRUE(pclRecord->bInitRecord(&m_clItems.src, nullptr, m_clCnx.get()));
  m_pclAccess->SetCurrentRecord(pclRecord);
  pclRecord->nRelease();
  SetCurrentI4(2);
  const std::uint32_t nNew = m_pclAccess->nKeepCurrentRecordSave();
  ASSERT_EQ(nSave, nNew);
  EXPECT_TRUE(m_pclAccess->bSetCurrentRecordRead(0));
  EXPECT_EQ(1, m_pclAccess->nGetRecordSaveCount(nNew));
  m_pclAccess->nReleaseRecordSave(nNew);
}

// The store outlives everything that gives saves back to it.
TEST_F(saves, DestroyedWhileItsStatementsAndCurrentRecordHoldSaves) {
  SetCurrentI4(3);
  const std::uint32_t nSave = m_pclAccess->nKeepCurrentRecordSave();
  m_pclAccess->SetOriginalRecordSave(nSave);
  CountingStatement* pclStatement = Statement(L"k");
  ASSERT_NE(nullptr, pclStatement);
  pclStatement->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave);
  m_pclAccess->nReleaseRecordSave(nSave);
  EXPECT_EQ(2, m_pclAccess->nGetRecordSaveCount(nSave));
  m_pclAccess->nRelease();
  m_pclAccess = nullptr;
}

// ---- Notifications ------------------------------------------------------------------

TEST_F(saves, InsertIntoATableCacheStillBeingFilledIsAppendedOnce) {
  CountingStatement* pclFiller = Statement(L"k");
  CountingStatement* pclOther = Statement(L"j");
  ASSERT_TRUE(m_pclAccess->_bCreateNewTableCache(nullptr));
  CNATableCache* pclTableCache = m_pclAccess->pclGetTableCache();
  ASSERT_TRUE(pclTableCache->bSetStatementParse(pclFiller));
  CNARecordCache* pclCache = pclFiller->pclGetRecordCacheNoRef();
  ASSERT_NE(nullptr, pclCache);
  SetCurrentI4(10);
  ASSERT_EQ(0, pclCache->nAjoute(Record()->pclGetCurrentRecordValue()));
  ASSERT_FALSE(pclTableCache->bCacheCompleted());

  SetCurrentI4(11);
  m_pclAccess->_NotifyOperation(NA_QUERY_INSERT, pclFiller, NA_WRITEPARSE_NONE, nullptr);
  EXPECT_EQ(2, pclCache->nGetCount());
  ASSERT_EQ(1u, pclOther->vecNotified.size());
  EXPECT_EQ(NA_QUERY_INSERT, pclOther->vecNotified[0].first);
  EXPECT_EQ(1, pclOther->vecNotified[0].second);
  EXPECT_EQ(1u, pclFiller->vecNotified.size());
}

TEST_F(saves, DeleteAndUpdateReachACompleteTableCacheOnly) {
  CountingStatement* pclFiller = Statement(L"k");
  ASSERT_TRUE(m_pclAccess->_bCreateNewTableCache(nullptr));
  ASSERT_TRUE(m_pclAccess->pclGetTableCache()->bSetStatementParse(pclFiller));
  CNARecordCache* pclCache = pclFiller->pclGetRecordCacheNoRef();
  SetCurrentI4(20);
  ASSERT_TRUE(m_pclAccess->bSetCurrentRecordRead(0));  // the original record is row 20
  ASSERT_EQ(0, pclCache->nAjoute(Record()->pclGetCurrentRecordValue()));

  // Still being filled: the row is not marked, the statements hear -1.
  m_pclAccess->_NotifyOperation(NA_QUERY_DELETE, pclFiller, NA_WRITEPARSE_NONE, nullptr);
  EXPECT_EQ(0, pclCache->nGetDeletedCount());
  ASSERT_EQ(1u, pclFiller->vecNotified.size());
  EXPECT_EQ(-1, pclFiller->vecNotified.back().second);

  pclCache->SetFetchComplete();
  ASSERT_TRUE(m_pclAccess->pclGetTableCache()->bCacheCompleted());
  // Complete: a row it does not hold gives -1 ...
  SetCurrentI4(21);
  ASSERT_TRUE(m_pclAccess->bSetCurrentRecordRead(0));
  m_pclAccess->_NotifyOperation(NA_QUERY_DELETE, pclFiller, NA_WRITEPARSE_NONE, nullptr);
  EXPECT_EQ(0, pclCache->nGetDeletedCount());
  EXPECT_EQ(-1, pclFiller->vecNotified.back().second);
  // ... an update of a row it holds rewrites it ...
  SetCurrentI4(20);
  ASSERT_TRUE(m_pclAccess->bSetCurrentRecordRead(0));
  SetCurrentI4(22);
  m_pclAccess->_NotifyOperation(NA_QUERY_UPDATE, pclFiller, NA_WRITEPARSE_NONE, nullptr);
  EXPECT_EQ(0, pclFiller->vecNotified.back().second);
  EXPECT_EQ(1, pclCache->nGetCount());
  // ... and a delete marks it.
  ASSERT_TRUE(m_pclAccess->bSetCurrentRecordRead(0));
  m_pclAccess->_NotifyOperation(NA_QUERY_DELETE, pclFiller, NA_WRITEPARSE_NONE, nullptr);
  EXPECT_EQ(1, pclCache->nGetDeletedCount());
  EXPECT_EQ(0, pclFiller->vecNotified.back().second);
}

TEST_F(saves, NotificationOptionsChooseWhoIsTold) {
  CountingStatement* pclStatement = Statement(L"k");
  struct {
    int nOptions;
    bool bTableCache;
    size_t nTold;
  } const tCases[] = {
      {1, false, 1},  // every statement, even without a table cache
      {0, false, 0},  // without a table cache nobody
      {0, true, 1},   // with one, everybody
      {2, true, 0},   // suppressed
      {3, false, 0},
  };
  for (const auto& c : tCases) {
    SCOPED_TRACE(c.nOptions * 10 + c.bTableCache);
    pclStatement->vecNotified.clear();
    m_pclAccess->bFreeCache();
    if (c.bTableCache) {
      ASSERT_TRUE(m_pclAccess->_bCreateNewTableCache(nullptr));
    }
    m_pclAccess->SetNotifyOptions(c.nOptions);
    m_pclAccess->_NotifyOperation(NA_QUERY_UPDATE, pclStatement, NA_WRITEPARSE_NONE, nullptr);
    EXPECT_EQ(c.nTold, pclStatement->vecNotified.size());
  }
  EXPECT_EQ(1, m_pclAccess->bFreeCache());
  EXPECT_EQ(nullptr, m_pclAccess->pclGetTableCache());
}

TEST_F(saves, EndOfTransactionMarksStartedBrowsesOnceKeepingOtherCauses) {
  CountingStatement* pclStarted = Statement(L"a");
  CountingStatement* pclRepositioned = Statement(L"b");
  CountingStatement* pclIdle = Statement(L"c");
  pclStarted->SetParseStarted();
  pclRepositioned->SetParseStarted();
  pclRepositioned->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, CNAStatement::knNoSave);
  for (int i = 0; i < 2; ++i) {
    m_pclAccess->SetTransactionTermined();
    EXPECT_EQ(NA_PARSEUPDATE_RERUN, pclStarted->eParseNeedUpdate());
    EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, pclRepositioned->eParseNeedUpdate());
    EXPECT_EQ(NA_PARSEUPDATE_NONE, pclIdle->eParseNeedUpdate());
  }
}

}  // namespace
