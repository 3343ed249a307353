// Contexts: one data access per data identifier of the runtime context,
// made once and shared error object; removal takes out only the data
// access given; closing all detaches every data access from its table, the
// last-data-access record and the context; the mode reaches the data
// accesses of a name; finders by server and alias name; 64-bit identifiers.
// And the registry from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "CNAContext.h"
#include "CNADataAccess.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNATable.h"
#include "support/TestDriver.h"
#include "support/TestRuntimeObjects.h"
#include "support/TestSource.h"

namespace {

using kxtest::DriverScope;
using kxtest::TestContext;
using kxtest::TestSource;

TestContext Ctx(std::uint64_t contextId, std::uint64_t dataId) {
  TestContext c;
  c.nNumber = contextId;
  c.nDataNumber = dataId;
  return c;
}

class context : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pclContext = new CNAContext();
    m_pclContext->AddRef();
    m_pclContext->SetNumber(0x700000007ull);
    m_clSource.SetName(L"T1");
  }
  void TearDown() override {
    if (m_pclContext != nullptr) m_pclContext->nRelease();
  }
  // The data access of `c`, made when missing; *created tells which.
  CNADataAccess* Get(TestContext* c, int* created = nullptr, INADataSourceDescription* source = nullptr) {
    CNADataAccess* p = m_pclContext->pclGetDataAccess(c, nullptr, source != nullptr ? source : &m_clSource, created);
    if (p != nullptr) p->nRelease();  // the context holds it
    return p;
  }

  DriverScope m_clDriver;
  TestSource m_clSource;
  TestSource m_clOther;
  CNAContext* m_pclContext = nullptr;
};

TEST_F(context, OneDataAccessPerDataIdentifierMadeOnce) {
  EXPECT_EQ(2u, m_pclContext->nGetVersion());
  EXPECT_EQ(2u, m_pclContext->nGetCompatSince());
  ASSERT_NE(nullptr, m_pclContext->pclGetError());
  TestContext c1 = Ctx(0x700000007ull, 1);
  TestContext c2 = Ctx(0x700000007ull, 2);
  int nCreated = -1;
  CNADataAccess* pclFirst = Get(&c1, &nCreated);
  ASSERT_NE(nullptr, pclFirst);
  EXPECT_EQ(1, nCreated);
  EXPECT_EQ(pclFirst, Get(&c1, &nCreated));
  EXPECT_EQ(0, nCreated);
  CNADataAccess* pclSecond = Get(&c2, &nCreated);
  EXPECT_EQ(1, nCreated);
  EXPECT_NE(pclFirst, pclSecond);
  EXPECT_EQ(2u, m_pclContext->nGetDataAccessCount());
  // Bound to the context, reporting into its one error object.
  EXPECT_EQ(m_pclContext, pclFirst->pclGetContext());
  EXPECT_EQ(0x700000007ull, pclFirst->dwGetContextID());
  EXPECT_EQ(m_pclContext->pclGetError(), pclFirst->pclGetError());
  EXPECT_EQ(m_pclContext->pclGetError(), pclSecond->pclGetError());
  CNADataAccess* pclFound = m_pclContext->pclFindDataAccess(&c2);
  EXPECT_EQ(pclSecond, pclFound);
  pclFound->nRelease();

  // Data identifiers that differ only above 32 bits are two entries.
  TestContext cHigh = Ctx(0x700000007ull, 0x100000001ull);
  CNADataAccess* pclHigh = Get(&cHigh, &nCreated);
  EXPECT_EQ(1, nCreated);
  EXPECT_NE(pclFirst, pclHigh);
}

TEST_F(context, NoDataAccessMadeGivesOutOfMemory) {
  TestContext c1 = Ctx(1, 1);
  CNADriver* pclPrevious = CNADriver::s_pclDriver;
  CNADriver::s_pclDriver = nullptr;  // no factory at all
  int nCreated = -1;
  EXPECT_EQ(nullptr, m_pclContext->pclGetDataAccess(&c1, nullptr, &m_clSource, &nCreated));
  CNADriver::s_pclDriver = pclPrevious;
  EXPECT_EQ(0, nCreated);
  EXPECT_EQ(0u, m_pclContext->nGetDataAccessCount());
  EXPECT_NE(NAERRORLEVEL_NONE, m_pclContext->pclGetError()->eGetErrorLevel());
}

// The data access given is the one that goes, whatever data identifier the
// caller runs under; nothing goes when no entry holds it.
TEST_F(context, RemoveTakesOutOnlyTheDataAccessGiven) {
  TestContext c1 = Ctx(0x700000007ull, 1);
  TestContext c2 = Ctx(0x700000007ull, 2);
  TestContext cOther = Ctx(0x700000007ull, 9);
  CNADataAccess* pclFirst = Get(&c1);
  CNADataAccess* pclSecond = Get(&c2);
  pclSecond->AddRef();  // held as a table holds it

  m_pclContext->RemoveDataAccess(&c1, pclSecond);
  EXPECT_EQ(1u, m_pclContext->nGetDataAccessCount());
  CNADataAccess* pclFound = m_pclContext->pclFindDataAccess(&c1);
  EXPECT_EQ(pclFirst, pclFound);
  if (pclFound != nullptr) pclFound->nRelease();
  EXPECT_EQ(nullptr, m_pclContext->pclFindDataAccess(&c2));
  EXPECT_EQ(nullptr, pclSecond->pclGetContext());
  EXPECT_EQ(1u, pclSecond->nGetInternalCount());

  // Not kept (any more): nothing changes.
  m_pclContext->RemoveDataAccess(&c2, pclSecond);
  m_pclContext->RemoveDataAccess(&cOther, nullptr);
  EXPECT_EQ(1u, m_pclContext->nGetDataAccessCount());
  pclSecond->nRelease();

  // Its own entry, under the identifier it was kept under.
  m_pclContext->RemoveDataAccess(&c1, pclFirst);
  EXPECT_EQ(0u, m_pclContext->nGetDataAccessCount());
}

// Closing every data access of a context leaves no pointer to it: not in
// the data accesses (which a table may still hold), not in the table's
// lookup record.
TEST_F(context, CloseAllDetachesEveryDataAccess) {
  TestContext c1 = Ctx(0x700000007ull, 1);
  CNADataAccess* pclAccess = Get(&c1);
  ASSERT_NE(nullptr, pclAccess);
  CNATable* pclTable = new CNATable(L"Table=T1", &m_clSource, nullptr, nullptr, nullptr);
  pclTable->AddRef();
  pclAccess->SetTable(pclTable);
  pclAccess->AddRef();  // the table's reference
  pclAccess->SetOpened(1);
  CNADataAccess::s_SetLastDataAccess(pclAccess, c1.nNumber, c1.nDataNumber);

  m_pclContext->CloseAllDataAccess();
  EXPECT_EQ(0u, m_pclContext->nGetDataAccessCount());
  EXPECT_FALSE(pclAccess->bIsOpened());
  EXPECT_EQ(nullptr, gpclLastDataAccess);
  EXPECT_EQ(nullptr, pclAccess->pclGetTable());
  EXPECT_EQ(nullptr, pclAccess->pclGetContext());
  EXPECT_EQ(0x700000007ull, pclAccess->dwGetContextID());
  // The context goes, as the driver lets it go after closing it.
  m_pclContext->nRelease();
  m_pclContext = nullptr;
  EXPECT_EQ(nullptr, pclAccess->pclFindDataAccessByDBTableName(L"T1"));
  EXPECT_EQ(0x700000007ull, pclAccess->dwGetContextID());

  // A new context with the same identifiers makes a data access of its own.
  m_pclContext = new CNAContext();
  m_pclContext->AddRef();
  m_pclContext->SetNumber(0x700000007ull);
  int nCreated = 0;
  CNADataAccess* pclNew = Get(&c1, &nCreated);
  EXPECT_EQ(1, nCreated);
  EXPECT_NE(nullptr, pclNew);
  pclAccess->nRelease();
  pclTable->nRelease();
}

TEST_F(context, ModeReachesTheDataAccessesOfTheNameAndBecomesTheDefault) {
  m_clOther.SetName(L"T2");
  TestContext c1 = Ctx(1, 1);
  TestContext c2 = Ctx(1, 2);
  CNADataAccess* pclFirst = Get(&c1, nullptr, &m_clSource);
  CNADataAccess* pclSecond = Get(&c2, nullptr, &m_clOther);
  const _eNA_HMODE eMode = static_cast<_eNA_HMODE>(5);
  EXPECT_EQ(1, m_pclContext->bHMode(L"t1", eMode));
  EXPECT_EQ(eMode, pclFirst->eGetHMode());
  EXPECT_EQ(1, static_cast<int>(pclSecond->eGetHMode()));
  EXPECT_EQ(eMode, m_pclContext->eGetDefaultMode());
  // A name no data access has: true, still the default.
  const _eNA_HMODE eOther = static_cast<_eNA_HMODE>(3);
  EXPECT_EQ(1, m_pclContext->bHMode(L"NONE", eOther));
  EXPECT_EQ(eOther, m_pclContext->eGetDefaultMode());
  EXPECT_EQ(eMode, pclFirst->eGetHMode());
}

TEST_F(context, FindersByServerAndAliasNameOnTheSameConnection) {
  TestContext c1 = Ctx(1, 1);
  CNADataAccess* pclAccess = Get(&c1);
  pclAccess->SetAliasName(L"ALIAS");
  CNADataAccess* pclFound = m_pclContext->pclFindDataAccessByDBTableName(nullptr, L"t1");
  EXPECT_EQ(pclAccess, pclFound);
  if (pclFound != nullptr) pclFound->nRelease();
  pclFound = m_pclContext->pclFindDataAccessByAliasName(nullptr, L"alias");
  EXPECT_EQ(pclAccess, pclFound);
  if (pclFound != nullptr) pclFound->nRelease();
  // Through the data access itself.
  pclFound = pclAccess->pclFindDataAccessByDBTableName(L"T1");
  EXPECT_EQ(pclAccess, pclFound);
  if (pclFound != nullptr) pclFound->nRelease();
  // Another connection, another name: none.
  EXPECT_EQ(nullptr, m_pclContext->pclFindDataAccessByDBTableName(reinterpret_cast<CNAConnectionDescription*>(
                                                                      &c1),
                                                                  L"T1"));
  EXPECT_EQ(nullptr, m_pclContext->pclFindDataAccessByAliasName(nullptr, L"T1"));
}

// A context's data accesses got, found, given a mode, removed and closed
// from several threads, every call under the process-wide lock.
TEST(driver_threads, contextDataAccessesFromManyThreads) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  DriverScope clDriver;
  TestSource clSource;
  clSource.SetName(L"T");
  CNAContext* pclContext = new CNAContext();
  pclContext->AddRef();
  pclContext->SetNumber(42);
  constexpr int knThreads = 6;
  constexpr int knRounds = 200;
  std::atomic<int> nFailures{0};
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < knThreads; ++t) {
    vecThreads.emplace_back([&, t] {
      TestContext c = Ctx(42, static_cast<std::uint64_t>(t) + 1);
      for (int r = 0; r < knRounds; ++r) {
        int nCreated = 0;
        CNADataAccess* pclAccess = pclContext->pclGetDataAccess(&c, nullptr, &clSource, &nCreated);
        if (pclAccess == nullptr) {
          ++nFailures;
          continue;
        }
        CNADataAccess* pclFound = pclContext->pclFindDataAccess(&c);
        if (pclFound != pclAccess) ++nFailures;
        if (pclFound != nullptr) pclFound->nRelease();
        pclContext->bHMode(L"T", static_cast<_eNA_HMODE>(1 + r % 3));
        {
          CNADriverLock clLock;
          if (pclAccess->dwGetContextID() != 42) ++nFailures;
        }
        // Removed now and then, kept after the last round.
        if (r % 4 == 1) pclContext->RemoveDataAccess(&c, pclAccess);
        CNADriverLock clLock;
        pclAccess->nRelease();
      }
    });
  }
  for (std::thread& clThread : vecThreads) clThread.join();
  EXPECT_EQ(0, nFailures.load());
  EXPECT_EQ(static_cast<std::uint32_t>(knThreads), pclContext->nGetDataAccessCount());
  pclContext->CloseAllDataAccess();
  EXPECT_EQ(0u, pclContext->nGetDataAccessCount());
  pclContext->nRelease();
}

}  // namespace
