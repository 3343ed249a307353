// The driver object: keys, registries and their counts, the process-wide
// lock, the error object, teardown, and registry use from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "support/VirtualSlot.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"
#include "support/TestRuntimeObjects.h"
#include "XQForNA.h"

using kxtest::TestConnection;
using kxtest::FakeContext;
using kxtest::FakeSource;
using kxtest::TestDriver;
using kxtest::TestHostDescription;

namespace {

// Runtime objects the driver only passes around: distinct fake addresses,
// never dereferenced.

class driver_registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    pclDriver = new TestDriver();
    ASSERT_EQ(pclDriver->bInitDriver(), 1);
    FakeSource(1)->SetName(L"Customer");
    FakeSource(2)->SetName(L"Orders");
    clHost.pszDataSource = L"db.example";
    clHost.pszUser = L"alice";
    clHost.pszPassword = L"Secret";
  }
  void TearDown() override {
    delete pclDriver;
    EXPECT_EQ(clHost.nExternalCount + clOther.nExternalCount, 0u) << "a connection outlived the driver";
  }

  // The registered connection for clHost, with the caller's reference.
  TestConnection* GetConnection(INAConnectionDescription* host = nullptr) {
    return static_cast<TestConnection*>(pclDriver->_pclGetConnection(host != nullptr ? host : &clHost));
  }

  TestDriver* pclDriver = nullptr;
  TestHostDescription clHost;
  TestHostDescription clOther;
};

// ---- Keys --------------------------------------------------------------

struct KeyCase {
  const char* pszWhat;
  const wchar_t* pszSource2;
  const wchar_t* pszUser1;
  const wchar_t* pszUser2;
  const wchar_t* pszPassword1;
  const wchar_t* pszPassword2;
  int nAccess2;
  bool bShared;
};

TEST_F(driver_registry, driverKeysShareOnlyWhereCredentialsMatch) {
  const KeyCase tCases[] = {
      {"identical", L"db.example", L"alice", L"alice", L"Secret", L"Secret", 0, true},
      {"data source differs in case", L"DB.EXAMPLE", L"alice", L"alice", L"Secret", L"Secret", 0, true},
      {"user differs in case", L"db.example", L"alice", L"Alice", L"Secret", L"Secret", 0, false},
      {"password differs in case", L"db.example", L"alice", L"alice", L"Secret", L"secret", 0, false},
      {"password differs in accent", L"db.example", L"alice", L"alice", L"Secret", L"S\u00e9cret", 0, false},
      {"null password and text NULL", L"db.example", L"alice", L"alice", nullptr, L"NULL", 0, true},
      {"null user and text NULL", L"db.example", nullptr, L"NULL", L"Secret", L"Secret", 0, true},
      {"null password and text null", L"db.example", L"alice", L"alice", nullptr, L"null", 0, false},
      {"read-only access", L"db.example", L"alice", L"alice", L"Secret", L"Secret", 1, false},
  };
  for (const KeyCase& c : tCases) {
    SCOPED_TRACE(c.pszWhat);
    TestHostDescription clA;
    TestHostDescription clB;
    clA.pszDataSource = L"db.example";
    clA.pszUser = c.pszUser1;
    clA.pszPassword = c.pszPassword1;
    clB.pszDataSource = c.pszSource2;
    clB.pszUser = c.pszUser2;
    clB.pszPassword = c.pszPassword2;
    clB.nAccess = c.nAccess2;
    CNAConnectionDescription* pclA = pclDriver->_pclGetConnection(&clA);
    CNAConnectionDescription* pclB = pclDriver->_pclGetConnection(&clB);
    ASSERT_NE(pclA, nullptr);
    ASSERT_NE(pclB, nullptr);
    EXPECT_EQ(pclA == pclB, c.bShared);
    EXPECT_EQ(pclDriver->nGetConnectionCount(), c.bShared ? 1u : 2u);
    pclDriver->nReleaseConnection(pclA);
    pclDriver->nReleaseConnection(pclB);
    EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
    EXPECT_EQ(clA.nExternalCount + clB.nExternalCount, 0u);
  }
}

TEST_F(driver_registry, driverKeyEncodesCredentialsAndWritesNull) {
  TestHostDescription clA;
  clA.pszProvider = L"P";
  clA.pszUser = L"aB";
  clA.nAccess = 1;
  CTString clKey;
  ASSERT_EQ(pclDriver->bBuildCnxIdentification(&clKey, &clA), 1);
  EXPECT_STREQ(clKey.pszGet(),
               L"Connection=NULL;Provider=P;ExtendedInformation=NULL;Data source=NULL;"
               L"user id=0000006100000042;password=0000004E000000550000004C0000004C;access=R");
}

TEST_F(driver_registry, driverQueryKeyKeepsAllSixtyFourBits) {
  FakeContext(1)->SetNumber(0x100000005ull);
  FakeContext(2)->SetNumber(0x200000005ull);
  TestConnection* pclCnx = GetConnection();
  CTString clKey1;
  CTString clKey2;
  pclDriver->_BuildQueryKey(&clKey1, FakeContext(1), L"Q", pclCnx);
  pclDriver->_BuildQueryKey(&clKey2, FakeContext(2), L"Q", pclCnx);
  EXPECT_EQ(std::wstring(clKey1.pszGet()).rfind(L"CTX=4294967301;Table=Q;Connection=", 0), 0u) << clKey1.pszGet();
  EXPECT_NE(clKey1, clKey2);
  CTString clTableKey;
  pclDriver->_BuildTableKey(&clTableKey, FakeSource(1), pclCnx);
  EXPECT_EQ(std::wstring(clTableKey.pszGet()), std::wstring(L"Table=Customer;") + pclCnx->pszGetIdentification());
  pclDriver->nReleaseConnection(pclCnx);
}

// ---- Slot table -----------------------------------------------------------

using kxtest::SlotOf;

TEST(driver_slots, driverOperationsSitAtTheirSlots) {
  EXPECT_EQ(SlotOf(&INADriver::ExternalAddRef), 5u);
  EXPECT_EQ(SlotOf(&INADriver::nExternalRelease), 6u);
  EXPECT_EQ(SlotOf(&INADriver::piGetLastError), 11u);
  EXPECT_EQ(SlotOf(&INADriver::bSetVMAndLibShop), 30u);
  EXPECT_EQ(SlotOf(&INADriver::bSetXQ), 36u);
  EXPECT_EQ(SlotOf(&INADriver::bGetDatabaseList), 38u);
  // 39 and 40 are the destructor pair.
  EXPECT_EQ(SlotOf(&CNADriver::bSetCharset), 41u);
  EXPECT_EQ(SlotOf(&CNADriver::bBuildCnxIdentification), 42u);
  EXPECT_EQ(SlotOf(&CNADriver::pclAllocContext), 47u);
  EXPECT_EQ(SlotOf(&CNADriver::pclAllocError), 52u);
  EXPECT_EQ(SlotOf(&CNADriver::pclAllocItemDescription), 57u);
  EXPECT_EQ(SlotOf(&CNADriver::_pclAllocConnectionDescription), 59u);
  EXPECT_EQ(SlotOf(&CNADriver::_pclAllocTable), 60u);
  EXPECT_EQ(SlotOf(&CNADriver::_pclAllocDriverSQL), 61u);
  EXPECT_EQ(SlotOf(&CNADriver::_BeforeDeath), 66u);
}

// ---- Connections and their counts ---------------------------------------

TEST_F(driver_registry, driverConnectionLookupCountsAndCaches) {
  TestConnection* pclCnx = GetConnection();
  ASSERT_NE(pclCnx, nullptr);
  EXPECT_EQ(pclCnx->nGetInternalCount(), 2u);  // registry + caller
  CNAConnectionDescription* pclAgain = pclDriver->_pclFindConnection(&clHost);
  EXPECT_EQ(pclAgain, pclCnx);
  EXPECT_EQ(pclCnx->nGetInternalCount(), 3u);
  EXPECT_EQ(pclDriver->nConnectionsMade, 1);
  EXPECT_EQ(pclDriver->pclGetConnectionByID(static_cast<int>(pclCnx->nGetCnxNumber())), pclCnx);
  EXPECT_EQ(pclCnx->nGetInternalCount(), 4u);
  EXPECT_EQ(pclDriver->pclGetConnectionByID(-7), nullptr);
  EXPECT_EQ(pclDriver->nReleaseConnection(pclCnx), 3);
  EXPECT_EQ(pclDriver->nReleaseConnection(pclCnx), 2);
  // The last caller's reference: only the registry's would remain, so the
  // connection is closed and leaves.
  EXPECT_EQ(pclDriver->nReleaseConnection(pclCnx), 0);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(clHost.nExternalCount, 0u);
  EXPECT_EQ(pclDriver->_pclFindConnection(&clHost), nullptr);
}

TEST_F(driver_registry, driverRemovalTakesOutOnlyThisVeryObject) {
  // A connection taken out of the registry (a failed open) while a holder
  // keeps it; a retry registers a new object under the same key.
  TestConnection* pclOld = GetConnection();
  ASSERT_TRUE(pclDriver->_bRemoveConnection(pclOld));
  EXPECT_EQ(pclOld->nGetInternalCount(), 1u);  // the caller's only
  TestConnection* pclNew = GetConnection();
  ASSERT_NE(pclNew, pclOld);
  pclOld->AddRef();  // a second holder of the old object
  // Neither the stale removal nor the release at count 2 may touch the new
  // entry.
  EXPECT_FALSE(pclDriver->_bRemoveConnection(pclOld));
  EXPECT_EQ(pclDriver->nReleaseConnection(pclOld), 1);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 1u);
  EXPECT_EQ(pclNew->nGetInternalCount(), 2u);
  EXPECT_EQ(pclDriver->nReleaseConnection(pclOld), 0);  // deleted, never double-released
  EXPECT_EQ(pclDriver->nReleaseConnection(pclNew), 0);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
}

TEST_F(driver_registry, driverCloseDropsOnlyOpenReferences) {
  TestConnection* pclCnx = GetConnection();
  // A close with no open reference drops nothing (the caller's and the
  // registry's stay).
  EXPECT_FALSE(pclDriver->_bCloseConnection(pclCnx));
  EXPECT_FALSE(pclDriver->_bCloseConnection(pclCnx));
  EXPECT_EQ(pclCnx->nGetInternalCount(), 2u);
  pclDriver->_AddOpenReference(pclCnx);
  EXPECT_EQ(pclDriver->nGetOpenReferences(pclCnx), 1u);
  EXPECT_EQ(pclDriver->nReleaseConnection(pclCnx), 2);  // open + registry
  // A table on the connection keeps it registered past the close.
  CNATable* pclTable = pclDriver->_pclGetTable(FakeSource(1), pclCnx);
  ASSERT_NE(pclTable, nullptr);
  EXPECT_TRUE(pclDriver->_bCloseConnection(pclCnx));
  EXPECT_FALSE(pclDriver->_bCloseConnection(pclCnx));
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 1u);
  EXPECT_EQ(pclCnx->m_nCloseCalls, 0);
  // The table's release lets the connection go: closed and unregistered.
  EXPECT_EQ(pclDriver->nReleaseTable(pclTable), 0);
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(clHost.nExternalCount, 0u);
}

// ---- Tables -------------------------------------------------------------

TEST_F(driver_registry, driverTablesShareAndReleaseByIdentity) {
  TestConnection* pclCnx = GetConnection();
  CNATable* pclA = pclDriver->_pclGetTable(FakeSource(1), pclCnx);
  CNATable* pclB = pclDriver->_pclGetTable(FakeSource(1), pclCnx);
  CNATable* pclOther = pclDriver->_pclGetTable(FakeSource(2), pclCnx);
  ASSERT_NE(pclA, nullptr);
  EXPECT_EQ(pclA, pclB);
  EXPECT_NE(pclA, pclOther);
  EXPECT_EQ(pclDriver->nTablesMade, 2);
  EXPECT_EQ(pclA->nGetInternalCount(), 3u);

  // A table with a registered table's key that never was registered (an
  // unkept query table): _AddTable refuses it, releasing it removes nothing.
  CNATable* pclStray = pclDriver->_pclAllocTable(pclA->pszGetIdentification(), nullptr, pclCnx, nullptr);
  pclStray->AddRef();
  EXPECT_FALSE(pclDriver->_AddTable(pclStray));
  EXPECT_FALSE(pclDriver->_bReleaseTable(pclStray));
  EXPECT_EQ(pclDriver->nReleaseTable(pclStray), 0);
  EXPECT_EQ(pclDriver->nGetTableCount(), 2u);

  unsigned int nPosition = 0;
  int nOnConnection = 0;
  while (CNATable* pclT = pclDriver->pclEnumTableByConnection(&nPosition, pclCnx)) {
    ++nOnConnection;
    pclDriver->nReleaseTable(pclT);
  }
  EXPECT_EQ(nOnConnection, 2);

  EXPECT_EQ(pclDriver->nReleaseTable(pclA), 2);
  EXPECT_EQ(pclDriver->nReleaseTable(pclA), 0);  // only the registry held it
  EXPECT_EQ(pclDriver->_pclFindTable(FakeSource(1), pclCnx, nullptr), nullptr);
  EXPECT_TRUE(pclDriver->_bReleaseTable(FakeContext(1), pclOther));
  EXPECT_FALSE(pclDriver->_bReleaseTable(pclOther));
  pclOther->nRelease();
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u);
  pclDriver->nReleaseConnection(pclCnx);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
}

// ---- Contexts -----------------------------------------------------------

TEST_F(driver_registry, driverContextsCreatedOnceAndLeaveWithoutDataAccess) {
  int nCreated = -1;
  CNAContext* pclFirst = pclDriver->pclGetContext(FakeContext(1), &nCreated);
  ASSERT_NE(pclFirst, nullptr);
  EXPECT_EQ(nCreated, 1);
  CNAContext* pclSecond = pclDriver->pclGetContext(FakeContext(1), &nCreated);
  EXPECT_EQ(nCreated, 0);
  EXPECT_EQ(pclSecond, pclFirst);
  EXPECT_EQ(pclFirst->nGetInternalCount(), 3u);

  // With a data access the context stays registered.
  CNADataAccess* pclAccess = pclDriver->pclAllocDataAccess(nullptr, nullptr, nullptr);
  ASSERT_TRUE(pclFirst->_AddDataAccess(FakeContext(1), pclAccess));
  EXPECT_EQ(pclDriver->nReleaseContext(FakeContext(1), pclSecond), 2);
  EXPECT_EQ(pclDriver->nGetContextCount(), 1u);
  pclFirst->CloseAllDataAccess();
  EXPECT_EQ(pclDriver->nReleaseContext(FakeContext(1), pclFirst), 0);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(pclDriver->pclFindContext(FakeContext(1)), nullptr);
}

TEST_F(driver_registry, driverContextKeysKeepAllSixtyFourBits) {
  FakeContext(1)->SetNumber(0x100000007ull);
  FakeContext(2)->SetNumber(0x200000007ull);
  CNAContext* pclA = pclDriver->pclGetContext(FakeContext(1), nullptr);
  CNAContext* pclB = pclDriver->pclGetContext(FakeContext(2), nullptr);
  ASSERT_NE(pclA, nullptr);
  EXPECT_NE(pclA, pclB);
  EXPECT_EQ(pclA->nGetNumber(), 0x100000007ull);
  pclDriver->nReleaseContext(FakeContext(1), pclA);
  pclDriver->nReleaseContext(FakeContext(2), pclB);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
}

// ---- Factories failing ----------------------------------------------------

TEST_F(driver_registry, driverMissingObjectsGiveOutOfMemory) {
  struct {
    const char* pszWhat;
    bool TestDriver::*pbFlag;
  } const tCases[] = {{"connection", &TestDriver::bNoConnection},
                      {"table", &TestDriver::bNoTable},
                      {"context", &TestDriver::bNoContext}};
  for (const auto& c : tCases) {
    SCOPED_TRACE(c.pszWhat);
    pclDriver->pclGetError()->Reset();
    pclDriver->*c.pbFlag = true;
    bool bNull = false;
    if (c.pbFlag == &TestDriver::bNoConnection) {
      bNull = GetConnection() == nullptr;
    } else if (c.pbFlag == &TestDriver::bNoTable) {
      pclDriver->bNoConnection = false;
      TestConnection* pclCnx = GetConnection();
      bNull = pclDriver->_pclGetTable(FakeSource(1), pclCnx) == nullptr;
      pclDriver->nReleaseConnection(pclCnx);
    } else {
      bNull = pclDriver->pclGetContext(FakeContext(3), nullptr) == nullptr;
    }
    pclDriver->*c.pbFlag = false;
    EXPECT_TRUE(bNull);
    EXPECT_EQ(pclDriver->pclGetError()->dwGetSystemErrorCode(), 12u);
  }
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
}

// ---- Error object, SQL face, runtime interfaces ---------------------------

TEST_F(driver_registry, driverAllocErrorMakesTheNewOneFirst) {
  CNAError* pclFirst = pclDriver->pclGetError();
  ASSERT_NE(pclFirst, nullptr);
  EXPECT_EQ(static_cast<INAError*>(pclFirst), pclDriver->piGetLastError());
  EXPECT_TRUE(pclDriver->AllocError());
  // While slot 52 ran, the old object was still held.
  EXPECT_EQ(pclDriver->pclErrorHeldAtAlloc, pclFirst);
  EXPECT_EQ(pclDriver->nErrorHoldersAtAlloc, 1u);
  CNAError* pclSecond = pclDriver->pclGetError();
  EXPECT_EQ(pclSecond->nGetHolderCount(), 1u);
  // No new object: the old one stays.
  pclDriver->bNoError = true;
  EXPECT_FALSE(pclDriver->AllocError());
  EXPECT_EQ(pclDriver->pclGetError(), pclSecond);
  EXPECT_EQ(pclSecond->nGetHolderCount(), 1u);
}

TEST_F(driver_registry, driverSQLFaceMadeOnceAndReleased) {
  CNADriverSQL* pclSQL = pclDriver->pclGetDriverSQL();
  ASSERT_NE(pclSQL, nullptr);
  EXPECT_EQ(pclDriver->pclGetDriverSQL(), pclSQL);
  EXPECT_EQ(pclDriver->nDriverSQLAlive, 1);
  EXPECT_EQ(pclSQL->nGetInternalCount(), 1u);
  CNADriver::s_pclDriver = pclDriver;
  EXPECT_EQ(CNADriver::s_pclGetDriverSQL(), pclSQL);
  pclDriver->_FreeDriverSQL();
  EXPECT_EQ(pclDriver->nDriverSQLAlive, 0);
  pclDriver->bNoDriverSQL = true;
  EXPECT_EQ(CNADriver::s_pclGetDriverSQL(), nullptr);
  CNADriver::s_pclDriver = nullptr;
  EXPECT_EQ(CNADriver::s_pclGetDriverSQL(), nullptr);
}

TEST_F(driver_registry, driverSetXQReachesTheIndexKeys) {
  auto* piXQ = reinterpret_cast<IXQForNA*>(0x4242);
  EXPECT_EQ(pclDriver->bSetXQ(piXQ), 1);
  EXPECT_EQ(pclDriver->piGetXQ(), piXQ);
  EXPECT_EQ(XQForNA_piGet(), piXQ);
  EXPECT_EQ(pclDriver->bSetXQ(nullptr), 1);
  EXPECT_EQ(XQForNA_piGet(), nullptr);
}

TEST_F(driver_registry, driverCloneHookUsesTheProcessDriver) {
  auto* pclItem = new CNAItemDescription();
  pclItem->AddRef();
  CNADriver::s_pclDriver = pclDriver;
  CNAItemDescription* pclClone = pclItem->pclGetCloneItemDescription(nullptr, eCLONEDESC{});
  EXPECT_EQ(pclDriver->nItemsMade, 1);
  ASSERT_NE(pclClone, nullptr);
  pclClone->AddRef();
  pclClone->nRelease();
  CNADriver::s_pclDriver = nullptr;
  pclClone = pclItem->pclGetCloneItemDescription(nullptr, eCLONEDESC{});
  EXPECT_EQ(pclDriver->nItemsMade, 1);
  ASSERT_NE(pclClone, nullptr);
  pclClone->AddRef();
  pclClone->nRelease();
  pclItem->nRelease();
}

TEST_F(driver_registry, driverExternalReleaseDeletesAndForgetsTheProcessDriver) {
  pclDriver->ExternalAddRef();
  pclDriver->ExternalAddRef();
  CNADriver::s_pclDriver = pclDriver;
  EXPECT_EQ(pclDriver->nExternalRelease(), 1u);
  EXPECT_EQ(CNADriver::s_pclDriver, pclDriver);
  EXPECT_EQ(pclDriver->nExternalRelease(), 0u);
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
  pclDriver = nullptr;  // gone
}

// ---- Teardown -------------------------------------------------------------

TEST_F(driver_registry, driverTeardownOfFullRegistriesLeaksNothing) {
  clOther.pszDataSource = L"other";
  TestConnection* pclCnx = GetConnection();
  TestConnection* pclCnx2 = GetConnection(&clOther);
  pclDriver->_AddOpenReference(pclCnx2);
  CNATable* pclTable = pclDriver->_pclGetTable(FakeSource(1), pclCnx);
  CNATable* pclTable2 = pclDriver->_pclGetTable(FakeSource(2), pclCnx2);
  CNAContext* pclContext = pclDriver->pclGetContext(FakeContext(1), nullptr);
  pclContext->_AddDataAccess(FakeContext(1), pclDriver->pclAllocDataAccess(nullptr, pclCnx, nullptr));
  ASSERT_NE(pclDriver->pclGetDriverSQL(), nullptr);
  // Hand the callers' references over, so that only the registries (and
  // the open reference) hold the objects, as when the runtime keeps them.
  pclTable->nRelease();
  pclTable2->nRelease();
  pclContext->nRelease();
  pclCnx->nRelease();
  pclCnx2->nRelease();
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 2u);
  EXPECT_EQ(pclDriver->nGetTableCount(), 2u);
  EXPECT_EQ(pclDriver->nGetContextCount(), 1u);
  EXPECT_EQ(pclDriver->nDriverSQLAlive, 1);
  delete pclDriver;
  pclDriver = nullptr;
  EXPECT_EQ(clHost.nExternalCount, 0u);
  EXPECT_EQ(clOther.nExternalCount, 0u);
}

// ---- The lock -------------------------------------------------------------

bool OtherThreadCanLock() {
  std::atomic<bool> bLocked{false};
  std::thread clThread([&bLocked] {
    if (CNADriverLock::s_bTryLock()) {
      bLocked = true;
      CNADriverLock::s_Unlock();
    }
  });
  clThread.join();
  return bLocked;
}

TEST(driver_lock, driverLockIsFreeAfterAnException) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  EXPECT_THROW(
      {
        CNADriverLock clOuter;
        CNADriverLock clInner;  // recursive
        EXPECT_FALSE(OtherThreadCanLock());
        throw std::runtime_error("passes unchanged");
      },
      std::runtime_error);
  EXPECT_TRUE(OtherThreadCanLock());
}

TEST(driver_lock, driverLockDoesNothingWithoutAMutex) {
  CNADriverLock::s_Destroy();
  EXPECT_FALSE(CNADriverLock::s_bExists());
  EXPECT_FALSE(CNADriverLock::s_bLock());
  CNADriverLock::s_Unlock();
  CNADriverLock::s_Destroy();
  {
    CNADriverLock clGuard;
    // Created while the guard holds nothing: its end must not unlock.
    ASSERT_TRUE(CNADriverLock::s_bCreate());
  }
  EXPECT_TRUE(OtherThreadCanLock());
}

// ---- Threads --------------------------------------------------------------

TEST(driver_threads, driverRegistriesUnderTheLockFromManyThreads) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  auto* pclDriver = new TestDriver();
  ASSERT_EQ(pclDriver->bInitDriver(), 1);
  constexpr int knHosts = 3;
  TestHostDescription tHosts[knHosts];
  const wchar_t* tSources[knHosts] = {L"a", L"b", L"c"};
  for (int i = 0; i < knHosts; ++i) {
    tHosts[i].pszDataSource = tSources[i];
    FakeSource(i)->SetName(tSources[i]);
  }
  constexpr int knThreads = 6;
  constexpr int knRounds = 300;
  std::atomic<int> nFailures{0};
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < knThreads; ++t) {
    vecThreads.emplace_back([&, t] {
      for (int r = 0; r < knRounds; ++r) {
        const int h = (t + r) % knHosts;
        CNAConnectionDescription* pclCnx = pclDriver->_pclGetConnection(&tHosts[h]);
        if (pclCnx == nullptr) {
          ++nFailures;
          continue;
        }
        if (r % 5 == 0) pclDriver->_AddOpenReference(pclCnx);
        CNATable* pclTable = pclDriver->_pclGetTable(FakeSource(h), pclCnx);
        CNAContext* pclContext = pclDriver->pclGetContext(FakeContext(t), nullptr);
        if (pclTable == nullptr || pclContext == nullptr) ++nFailures;
        pclDriver->piGetLastError();
        pclDriver->nReleaseContext(FakeContext(t), pclContext);
        pclDriver->nReleaseTable(pclTable);
        if (r % 5 == 0) pclDriver->_bCloseConnection(pclCnx);
        pclDriver->nReleaseConnection(pclCnx);
      }
    });
  }
  for (std::thread& clThread : vecThreads) clThread.join();
  EXPECT_EQ(nFailures.load(), 0);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
  delete pclDriver;
  for (const TestHostDescription& clHost : tHosts) EXPECT_EQ(clHost.nExternalCount, 0u);
}

}  // namespace
