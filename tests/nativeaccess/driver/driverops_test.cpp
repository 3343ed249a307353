// The driver's operations for the runtime: what each entry keeps registered
// or lets go, the errors of refused entries, the lock on every way out, and
// the query dump.
#include <gtest/gtest.h>

#include <cstdint>
#include <atomic>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "CAny.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAConvertVariant.h"
#include "CNADataSourceDescription.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CXError.h"
#include "CNATable.h"
#include "INAQueryParametersValue.h"
#include "StandInTabValParser.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"
#include "support/TestRuntimeObjects.h"

using kxtest::TestConnection;
using kxtest::FakeContext;
using kxtest::FakeSource;
using kxtest::QueryScript;
using kxtest::TestDriver;
using kxtest::TestHostDescription;

namespace {

CNATable* AsTable(INATable* pi) { return static_cast<CNATable*>(pi); }

bool OtherThreadCanLock() {
  bool bLocked = false;
  std::thread clThread([&bLocked] {
    if (CNADriverLock::s_bTryLock()) {
      bLocked = true;
      CNADriverLock::s_Unlock();
    }
  });
  clThread.join();
  return bLocked;
}

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L"<null>"; }

class driverops : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    pclDriver = new TestDriver();
    ASSERT_EQ(pclDriver->bInitDriver(), 1);
    pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = pclDriver;  // connections reach statements through it
    FakeSource(1)->SetName(L"Customer");
    clHost.pszDataSource = L"db.example";
    clHost.pszUser = L"alice";
    clHost.pszPassword = L"Secret";
  }
  void TearDown() override {
    delete pclDriver;
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr) << "the dying driver forgets itself";
    CNADriver::s_pclDriver = pclPrevious;
  }

  // The registered connection (no reference kept), or null.
  TestConnection* Registered() {
    CNAConnectionDescription* pclCnx = pclDriver->_pclFindConnection(&clHost);
    if (pclCnx != nullptr) pclCnx->nRelease();
    return static_cast<TestConnection*>(pclCnx);
  }
  CNAError* Error() { return pclDriver->pclGetError(); }
  // piGetTable for clHost's table 1; the runtime keeps its reference in
  // pclHeld until LetTheRuntimeGo.
  void GetTableHeldByTheRuntime() {
    pclHeld = AsTable(pclDriver->piGetTable(&clHost, FakeSource(1)));
    ASSERT_NE(pclHeld, nullptr);
    EXPECT_EQ(pclHeld->nGetExternalCount(), 1u);
  }
  // The runtime's last reference goes: a table only the registry holds
  // leaves it (destroyed).
  void LetTheRuntimeGo() {
    if (pclHeld == nullptr) return;
    EXPECT_EQ(pclHeld->nExternalRelease(), 0u);
    pclHeld = nullptr;
    EXPECT_EQ(pclDriver->nGetTableCount(), 0u) << "the runtime's last reference let the table go";
  }

  TestDriver* pclDriver = nullptr;
  CNADriver* pclPrevious = nullptr;
  TestHostDescription clHost;
  CNATable* pclHeld = nullptr;
};

// ---- What each entry keeps (every row runs under ASan: an object released
// ---- once too often is a use after free at the latest at teardown) --------

struct KeepCase {
  const char* pszWhat;
  std::function<void(driverops&)> fnSteps;
  std::uint32_t nConnections;  // registered afterwards
  std::uint32_t nInternal;     // the registered connection's count (when one)
  std::uint32_t nTables;       // registered afterwards
};

TEST_F(driverops, driverEntriesKeepWhatIsStillInUse) {
  const KeepCase tCases[] = {
      {"open then close, no table: unregistered at once",
       [](driverops& t) {
         EXPECT_EQ(t.pclDriver->bOpenConnection(&t.clHost), 1);
         EXPECT_EQ(t.pclDriver->bCloseConnection(&t.clHost), 1);
       },
       0, 0, 0},
      {"close after piGetTable without open: the table keeps its connection",
       [](driverops& t) {
         t.GetTableHeldByTheRuntime();
         EXPECT_EQ(t.pclDriver->bHMode(FakeContext(1), static_cast<_eNA_HMODE>(0)), 1);
         EXPECT_EQ(t.pclDriver->bCloseConnection(&t.clHost), 1);
       },
       1, 2, 1},
      {"a second close while a table holds the open connection",
       [](driverops& t) {
         EXPECT_EQ(t.pclDriver->bOpenConnection(&t.clHost), 1);
         t.GetTableHeldByTheRuntime();
         EXPECT_EQ(t.pclDriver->bCloseConnection(&t.clHost), 1);
         EXPECT_EQ(t.pclDriver->bCloseConnection(&t.clHost), 1);
         EXPECT_EQ(t.Registered()->m_nCloseCalls, 0) << "still used by the table";
       },
       1, 2, 1},
      {"a close while a transaction holds a never-opened connection",
       [](driverops& t) {
         EXPECT_EQ(t.pclDriver->bTransactionBegin(&t.clHost, L"t1"), 1);
         EXPECT_EQ(t.pclDriver->bCloseConnection(&t.clHost), 1);
         EXPECT_EQ(t.pclDriver->bCloseConnection(&t.clHost), 1);
       },
       1, 1, 0},
      {"a query that is not kept leaves nothing registered",
       [](driverops& t) {
         INATable* piTable = reinterpret_cast<INATable*>(0x1);
         EXPECT_EQ(t.pclDriver->bHExecuteRequeteSQLEx(&piTable, FakeContext(1), L"q", &t.clHost, nullptr, 0,
                                                      nullptr),
                   0);
         EXPECT_EQ(piTable, reinterpret_cast<INATable*>(0x1)) << "a failure writes no table";
         EXPECT_EQ(t.pclDriver->bHExecuteRequeteSQL(nullptr, FakeContext(1), L"q", &t.clHost, nullptr, 0x10), 0);
         EXPECT_EQ(t.pclDriver->nTablesMade, 2) << "each run made its own table and let it go";
       },
       0, 0, 0},
  };
  for (const KeepCase& c : tCases) {
    SCOPED_TRACE(c.pszWhat);
    TearDown();
    SetUp();
    c.fnSteps(*this);
    EXPECT_EQ(pclDriver->nGetConnectionCount(), c.nConnections);
    EXPECT_EQ(pclDriver->nGetTableCount(), c.nTables);
    if (c.nConnections != 0) {
      EXPECT_EQ(Registered()->nGetInternalCount(), c.nInternal);
    }
    LetTheRuntimeGo();
  }
}

// Bind values a query table may hold, counting the table's references.
class TestBindValues : public INAQueryParametersValue {
 public:
  std::uint32_t nGetVersion() override { return 1; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++nRefs; }
  std::uint32_t nExternalRelease() override { return --nRefs; }
  void Reserved7() override {}
  int bPreparedByProgram() override { return nPrepared; }
  int nPrepared = 0;
  std::uint32_t nRefs = 0;
};

// A query run that is kept registers its table; a later run of the same
// query in the same context reuses it, and lets it go unless the run asks
// to keep it (0x10) or the program prepared the query itself (its bind
// values say so). Failures
// leave the table's error in the driver's and write no table.
TEST_F(driverops, driverQueryRunKeepsOrLetsGoItsTable) {
  struct Run {
    int nAnswer;
    int nKeep;
    unsigned int dwFlags;
  };
  struct QueryCase {
    const char* pszWhat;
    Run stSecond;
    int nBindValues;  // -1: none attached; else what bPreparedByProgram answers
    std::uint32_t nTablesAfter;
    bool bTableWritten;  // by the second run
  };
  const QueryCase tCases[] = {
      {"kept again", {1, 1, 0}, -1, 1, true},
      {"not kept", {1, 0, 0}, -1, 0, false},
      {"not kept but asked to stay", {1, 0, 0x10}, -1, 1, false},
      {"not kept, query prepared by the program", {1, 0, 0}, 1, 1, false},
      {"not kept, query not prepared by the program", {1, 0, 0}, 0, 0, false},
      {"failed", {0, 0, 0}, -1, 0, false},
      {"failed but asked to stay", {0, 0, 0x10}, -1, 1, false},
  };
  for (const QueryCase& c : tCases) {
    SCOPED_TRACE(c.pszWhat);
    TearDown();
    SetUp();
    TestBindValues clValues;
    clValues.nPrepared = c.nBindValues;
    // First run: kept.
    pclDriver->stQuery.nAnswer = 1;
    pclDriver->stQuery.nKeep = 1;
    INATable* piFirst = nullptr;
    ASSERT_EQ(pclDriver->bHExecuteRequeteSQLEx(&piFirst, FakeContext(1), L"q", &clHost, nullptr, 0, nullptr), 1);
    ASSERT_NE(piFirst, nullptr);
    EXPECT_EQ(pclDriver->nGetTableCount(), 1u);
    EXPECT_EQ(piFirst->nGetVersion(), 11u);
    // Second run.
    pclDriver->stQuery = QueryScript{c.stSecond.nAnswer, c.stSecond.nKeep,
                                     c.nBindValues >= 0 ? &clValues : nullptr, 0};
    INATable* piSecond = reinterpret_cast<INATable*>(0x1);
    const int nResult = pclDriver->bHExecuteRequeteSQLEx(&piSecond, FakeContext(1), L"q", &clHost, nullptr,
                                                         c.stSecond.dwFlags, nullptr);
    EXPECT_EQ(nResult, c.stSecond.nAnswer);
    EXPECT_EQ(pclDriver->stQuery.nRuns, 1);
    EXPECT_EQ(pclDriver->nTablesMade, 1) << "the registered table is reused";
    EXPECT_EQ(pclDriver->nGetTableCount(), c.nTablesAfter);
    if (c.bTableWritten) {
      EXPECT_EQ(piSecond, piFirst);
      EXPECT_EQ(piSecond->nExternalRelease(), 1u);
    } else if (nResult) {
      EXPECT_EQ(piSecond, nullptr);
    } else {
      EXPECT_EQ(piSecond, reinterpret_cast<INATable*>(0x1)) << "a failure writes no table";
      EXPECT_EQ(Error()->nGetUserErrorCode(), 38u) << "the data access's failure reaches the driver's";
    }
    // The runtime holds the first run's table until here: its last
    // reference lets it go, bind values and all.
    EXPECT_EQ(piFirst->nExternalRelease(), 0u);
    if (c.nBindValues >= 0) {
      EXPECT_EQ(clValues.nRefs, 0u);
    }
    TearDown();
    EXPECT_EQ(clValues.nRefs, 0u) << "every table gave its bind values back";
    SetUp();
  }
}

// The query run through the real table: the data access's result-set flag
// decides whether the driver keeps the table (and hands it out); without a
// result set, 0x10 keeps it registered all the same.
class ResultSetAccess : public CNADataAccess {
 public:
  ResultSetAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx, CNAError* error,
                  const int* resultSet)
      : CNADataAccess(source, cnx, error), m_pnResultSet(resultSet) {}
  int bExecuteQuery(int* resultSet, const wchar_t*, ISQLParserInformation*, eNA_QUERYMODE,
                    const INAQueryExecution*) override {
    *resultSet = *m_pnResultSet;
    return 1;
  }

 private:
  const int* m_pnResultSet;
};

TEST_F(driverops, driverQueryRunThroughTheTableKeepsByResultSet) {
  struct Case {
    const char* pszWhat;
    int nResultSet;
    unsigned int dwFlags;
    std::uint32_t nTablesAfter;
    bool bTableWritten;
  };
  const Case tCases[] = {
      {"a result set again: kept and handed out", 1, 0, 1, true},
      {"no result set: let go", 0, 0, 0, false},
      {"no result set, asked to stay", 0, 0x10, 1, false},
  };
  for (const Case& c : tCases) {
    SCOPED_TRACE(c.pszWhat);
    TearDown();
    SetUp();
    int nResultSet = 1;
    pclDriver->fnDataAccessMaker = [&nResultSet](INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                                 CNAError* error) -> CNADataAccess* {
      return new ResultSetAccess(source, cnx, error, &nResultSet);
    };
    // First run: a result set, so the table is registered and handed out.
    INATable* piFirst = nullptr;
    ASSERT_EQ(pclDriver->bHExecuteRequeteSQLEx(&piFirst, FakeContext(1), L"q", &clHost, nullptr, 0, nullptr), 1);
    ASSERT_NE(piFirst, nullptr);
    EXPECT_EQ(pclDriver->nGetTableCount(), 1u);
    EXPECT_EQ(AsTable(piFirst)->nGetDataAccessCount(), 1u) << "the context's data access stays with it";
    nResultSet = c.nResultSet;
    INATable* piSecond = reinterpret_cast<INATable*>(0x1);
    EXPECT_EQ(pclDriver->bHExecuteRequeteSQLEx(&piSecond, FakeContext(1), L"q", &clHost, nullptr, c.dwFlags,
                                               nullptr),
              1);
    EXPECT_EQ(pclDriver->nTablesMade, 1) << "the registered table ran it";
    EXPECT_EQ(pclDriver->nGetTableCount(), c.nTablesAfter);
    if (c.bTableWritten) {
      EXPECT_EQ(piSecond, piFirst);
      EXPECT_EQ(piSecond->nExternalRelease(), 1u);
    } else {
      EXPECT_EQ(piSecond, nullptr);
    }
    EXPECT_EQ(piFirst->nExternalRelease(), 0u);
  }
}

// A described table reaches the runtime with the runtime's reference only;
// a missing one answers "does not exist" without failing the question.
TEST_F(driverops, driverTableDescriptionsAndExistence) {
  pclDriver->setKnownTables = {L"Customer"};
  pclDriver->stScript.nColumnCount = 1;  // the catalogues answer one row
  INADataSourceDescription* piSource = pclDriver->piGetTableDesc(L"Customer", &clHost);
  ASSERT_NE(piSource, nullptr);
  EXPECT_EQ(piSource->nGetNumItems(), 1u);
  ASSERT_GE(pclDriver->stScript.vecTexts.size(), 2u);
  EXPECT_EQ(pclDriver->stScript.vecTexts[0], L"SHOW COLUMNS FROM Customer");
  EXPECT_EQ(pclDriver->stScript.vecTexts[1], L"SHOW INDEX FROM Customer");
  auto* pclSource = static_cast<CNADataSourceDescription*>(piSource);
  EXPECT_EQ(W(piSource->pszGetDBTableName()), L"Customer");
  EXPECT_EQ(W(piSource->pszGetLogicalName()), L"Customer");
  EXPECT_EQ(pclSource->nGetExternalRef(), 1u);
  EXPECT_EQ(pclSource->nGetRef(), 0u);
  EXPECT_EQ(piSource->nExternalRelease(), 0u) << "the runtime's release frees it (ASan checks)";

  EXPECT_EQ(pclDriver->piGetTableDesc(L"Nowhere", &clHost), nullptr);
  EXPECT_EQ(Error()->nGetUserErrorCode(), 30u);

  int nExists = -1;
  EXPECT_EQ(pclDriver->bTableExists(&nExists, L"Customer", &clHost), 1);
  EXPECT_EQ(nExists, 1);
  EXPECT_EQ(pclDriver->bTableExists(&nExists, L"Nowhere", &clHost), 1) << "answered: no such table";
  EXPECT_EQ(nExists, 0);
  pclDriver->bNoDataSource = true;
  EXPECT_EQ(pclDriver->bTableExists(&nExists, L"Customer", &clHost), 0) << "the question itself failed";
  EXPECT_EQ(nExists, 0);
}

TEST_F(driverops, driverFailedOpenUnderATableUnregistersOnlyThatObject) {
  CNATable* pclTable = AsTable(pclDriver->piGetTable(&clHost, FakeSource(1)));
  ASSERT_NE(pclTable, nullptr);
  TestConnection* pclFirst = Registered();
  ASSERT_NE(pclFirst, nullptr);
  pclFirst->m_bOpenAnswer = 0;
  EXPECT_EQ(pclDriver->bOpenConnection(&clHost), 0);
  EXPECT_EQ(Error()->eGetErrorLevel(), NAERRORLEVEL_WARNING);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
  EXPECT_EQ(pclTable->pclGetConnection(), pclFirst);
  EXPECT_EQ(pclFirst->nGetInternalCount(), 1u) << "only the table's reference is left";
  // A retry builds a new object; the table keeps the old one.
  EXPECT_EQ(pclDriver->bOpenConnection(&clHost), 1);
  EXPECT_EQ(pclDriver->nConnectionsMade, 2);
  EXPECT_NE(Registered(), pclFirst);
  // The table goes: it gives its unregistered connection back (deleted).
  EXPECT_TRUE(pclDriver->_bReleaseTable(pclTable));
  EXPECT_EQ(pclTable->nExternalRelease(), 0u);
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u);
}

// ---- Refused entries -------------------------------------------------------

TEST_F(driverops, driverUnregisteredConnectionGivesError14AtItsLocation) {
  CAny clResult;
  const struct {
    const char* pszWhat;
    std::function<int(CNADriver*, INAConnectionDescription*)> fnCall;
    const wchar_t* pszLocation;
  } tCases[] = {
      {"table lock", [](CNADriver* d, INAConnectionDescription* c) { return d->bSQLBloqueTable(c, L"T"); },
       L"=5.1"},
      {"query lock",
       [](CNADriver* d, INAConnectionDescription* c) { return d->bSQLBloqueRequete(c, nullptr); }, L"=5.2"},
      {"diagnose",
       [&clResult](CNADriver* d, INAConnectionDescription* c) {
         return d->bHConnexionDiagnose(&clResult, c, L"x", 0);
       },
       L"=5.3"},
      {"commit", [](CNADriver* d, INAConnectionDescription* c) { return d->bTransactionCommit(c, L"t"); },
       L"=5.4"},
      {"roll-back", [](CNADriver* d, INAConnectionDescription* c) { return d->bTransactionRollBack(c, L"t"); },
       L"=5.5"},
  };
  for (const auto& c : tCases) {
    SCOPED_TRACE(c.pszWhat);
    EXPECT_EQ(c.fnCall(pclDriver, &clHost), 0);
    EXPECT_EQ(Error()->nGetUserErrorCode(), 14u);
    EXPECT_NE(W(Error()->pclGetXError()->pszGetDebugMessage()).find(c.pszLocation), std::wstring::npos)
        << W(Error()->pclGetXError()->pszGetDebugMessage());
    EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u) << "a refused entry registers nothing";
  }
}

TEST_F(driverops, driverUnsupportedEntriesGiveError8) {
  CAny clResult;
  EXPECT_EQ(pclDriver->bGetProviderList(&clResult), 0);
  EXPECT_EQ(Error()->nGetUserErrorCode(), 8u);
  EXPECT_EQ(Error()->eGetErrorType(), NA_ERRORTYPE_UNAVAILABLE);
  EXPECT_NE(W(Error()->pclGetXError()->pszGetDebugMessage()).find(L"=5.6"), std::wstring::npos);
  EXPECT_EQ(pclDriver->bFiltreAuto(nullptr, &clHost, 0, L"Orders", nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(Error()->nGetUserErrorCode(), 8u) << "the earlier error was reset first";
  EXPECT_NE(W(Error()->pclGetXError()->pszGetDebugMessage()).find(L"=5.7"), std::wstring::npos);
  EXPECT_EQ(W(Error()->pszGetLogicalTableName()), L"Orders");
}

TEST_F(driverops, driverDeleteFileReportsFailure) {
  // Open fails: nothing deleted, failure.
  pclDriver->nOpenAnswer = 0;
  EXPECT_EQ(pclDriver->bSupprimeFichier(FakeContext(1), &clHost, L"Customer", FakeSource(1)), 0);
  EXPECT_EQ(pclDriver->nTablesMade, 0);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
  pclDriver->nOpenAnswer = 1;
  // Open succeeds, without a description: only the name is checked.
  EXPECT_EQ(pclDriver->bSupprimeFichier(FakeContext(1), &clHost, L"Customer", nullptr), 1);
  EXPECT_EQ(pclDriver->nTablesMade, 0);
  // With a description: the table's data access answers (this description
  // has no item, so no record can be made: user error 1), and its failure
  // reaches the driver's error.
  EXPECT_EQ(pclDriver->bSupprimeFichier(FakeContext(1), &clHost, L"Customer", FakeSource(1)), 0);
  EXPECT_EQ(Error()->nGetUserErrorCode(), 1u);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u) << "the data access was taken out, and its empty context";
  EXPECT_EQ(pclDriver->nTablesMade, 1);
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u) << "the table was let go";
}

// ---- Missing SQL face, plain answers ---------------------------------------

TEST_F(driverops, driverMissingSQLFaceGivesOutOfMemoryWhereItFails) {
  pclDriver->bNoDriverSQL = true;
  CXYString<wchar_t> clList;
  CAny clResult;
  EXPECT_EQ(pclDriver->bGetDatabaseList(&clList, &clHost, 0), 0);
  EXPECT_EQ(Error()->dwGetSystemErrorCode(), 12u);
  EXPECT_EQ(pclDriver->bGetTableList(&clResult, &clHost, 0), 0);
  EXPECT_EQ(Error()->dwGetSystemErrorCode(), 12u);
  EXPECT_EQ(pclDriver->piGetInterface(1), nullptr);
  EXPECT_EQ(pclDriver->bSQLFormatColonne(&clHost, &clResult), 1);
  EXPECT_EQ(clResult.nGetTypeCode(), ANY_PSTRW);
  EXPECT_FALSE(clResult.bIsNull());
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u) << "the catalogue's lookups were given back";
}

TEST_F(driverops, driverPlainAnswers) {
  EXPECT_EQ(pclDriver->bHMode(FakeContext(1), static_cast<_eNA_HMODE>(0)), 1) << "no table";
  EXPECT_EQ(pclDriver->piGetInterface(2), nullptr);
  // The face is handed out as its interface.
  auto* pclSQL = static_cast<CNADriverSQL*>(static_cast<INADriverSQL*>(pclDriver->piGetInterface(1)));
  ASSERT_NE(pclSQL, nullptr);
  EXPECT_EQ(pclSQL->nGetExternalCount(), 1u);
  EXPECT_EQ(pclSQL->nExternalRelease(), 0u);
  EXPECT_EQ(pclDriver->nDriverSQLAlive, 1) << "the driver's own reference keeps it";
  CAny clResult;
  EXPECT_EQ(pclDriver->bGetListeSource(&clResult, 0), 1);
  EXPECT_EQ(clResult.nGetTypeCode(), ANY_PSTRW);
  EXPECT_EQ(pclDriver->SetNextLogicalName(FakeContext(2), L"next"), 1);
  CNAContext* pclContext = pclDriver->pclFindContext(FakeContext(2));
  ASSERT_NE(pclContext, nullptr);
  EXPECT_EQ(W(pclContext->pszGetNextLogicalName()), L"next");
  pclContext->nRelease();
  EXPECT_EQ(pclDriver->bCloseContext(FakeContext(2)), 1);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(pclDriver->bCloseContext(FakeContext(2)), 0) << "no such context";
  EXPECT_EQ(pclDriver->bFreeDataSource(FakeContext(2), L"q", &clHost), 1) << "no such query";
}

// New variants: typed as asked without a column; from the value's type
// (and holding a copy) when a value is given; the caller holds one
// reference; a failed factory is the out-of-memory error.
TEST_F(driverops, driverNewVariants) {
  CNAConvertVariant* pclVariant =
      pclDriver->pclGetNewVariant_NV_Any(nullptr, nullptr, nullptr, static_cast<unsigned short>(ANY_I4));
  ASSERT_NE(pclVariant, nullptr);
  EXPECT_EQ(pclVariant->nGetInternalCount(), 1u);
  EXPECT_EQ(pclVariant->wGetTypeCode(), ANY_I4);
  EXPECT_EQ(pclVariant->eGetVarType(), NAVT_ANY);
  EXPECT_EQ(pclVariant->nRelease(), 0u);

  CAny clValue;
  clValue.SetI4(42);
  pclVariant = pclDriver->pclGetNewVariant_NV_Any(nullptr, nullptr, nullptr, &clValue);
  ASSERT_NE(pclVariant, nullptr);
  EXPECT_EQ(pclVariant->wGetTypeCode(), clValue.nGetTypeCode());
  CAny clBack;
  EXPECT_TRUE(pclVariant->bGetValue(&clBack));
  EXPECT_EQ(clBack.nGetTypeCode(), clValue.nGetTypeCode());
  EXPECT_EQ(std::memcmp(clBack.pbyValue(), clValue.pbyValue(), 4), 0);
  pclVariant->nRelease();

  pclDriver->bNoVariant = true;
  EXPECT_EQ(pclDriver->pclGetNewVariant_NV_Any(nullptr, nullptr, nullptr, static_cast<unsigned short>(ANY_I4)),
            nullptr);
  EXPECT_EQ(Error()->dwGetSystemErrorCode(), 12u) << "out of memory";
}

TEST_F(driverops, driverCloseByNumberClosesTheOpenConnection) {
  EXPECT_EQ(pclDriver->bOpenConnection(&clHost), 1);
  TestConnection* pclCnx = Registered();
  ASSERT_NE(pclCnx, nullptr);
  EXPECT_EQ(pclDriver->_bCloseConnectionById(static_cast<int>(pclCnx->nGetCnxNumber()) + 1000), 1);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 1u) << "another number";
  EXPECT_EQ(pclDriver->_bCloseConnectionById(static_cast<int>(pclCnx->nGetCnxNumber())), 1);
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
}

// ---- The lock on every way out ---------------------------------------------

class ThrowingDriver : public TestDriver {
 public:
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* /*identification*/,
                                                           INAConnectionDescription* /*cnx*/) override {
    throw std::runtime_error("no connection");
  }
};

// An exception inside an entry stops at the entry: the answer is the
// entry's failure with the out-of-memory error, and the lock is free.
TEST(driverops_lock, driverExceptionInsideAnEntryFreesTheLock) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  ThrowingDriver clDriver;
  ASSERT_EQ(clDriver.bInitDriver(), 1);
  TestHostDescription clHost;
  int nAnswer = -1;
  EXPECT_NO_THROW(nAnswer = clDriver.bOpenConnection(&clHost));
  EXPECT_EQ(nAnswer, 0);
  EXPECT_EQ(clDriver.pclGetError()->pclGetXError()->dwGetSystemErrorCode(), 12u);
  EXPECT_TRUE(OtherThreadCanLock());
  INATable* piTable = nullptr;
  EXPECT_NO_THROW(piTable = clDriver.piGetTable(&clHost, nullptr));
  EXPECT_EQ(piTable, nullptr);
  EXPECT_EQ(clDriver.pclGetError()->pclGetXError()->dwGetSystemErrorCode(), 12u);
  EXPECT_TRUE(OtherThreadCanLock());
}

// ---- Query dump --------------------------------------------------------------

TEST_F(driverops, driverQueryDumpWritesCaptionsAndParameters) {
  CTString csCaption;
  ASSERT_TRUE(CNADriver::s_bLoadCaption(CNADriver::DUMPCAPTION_QUERYTEXT, &csCaption));
  EXPECT_EQ(csCaption.pszGet()[csCaption.nTaille() - 1], L' ') << "one space appended";
  EXPECT_FALSE(CNADriver::s_bLoadCaption(CNADriver::DUMPCAPTION_COUNT, &csCaption));

  CTString csOut;
  EXPECT_EQ(pclDriver->bGetQueryDump(&csOut, L"SELECT 1", nullptr, 1000), 1);
  const std::wstring sQueryLine = std::wstring(pclDriver->csGetCaption(CNADriver::DUMPCAPTION_QUERYTEXT).pszGet()) +
                                  L"SELECT 1\r\n";
  EXPECT_EQ(W(csOut.pszGet()), sQueryLine);
  for (int n = 0; n < CNADriver::DUMPCAPTION_COUNT; ++n) EXPECT_GT(pclDriver->csGetCaption(n).nTaille(), 1) << n;
  EXPECT_EQ(pclDriver->csGetCaption(CNADriver::DUMPCAPTION_COUNT).nTaille(), 0) << "the three spare fields";

  CTabValParser clList(3);
  clList.pclGetValue(0)->SetI4(42);
  clList.pclGetValue(1)->SetI4(7);
  clList.pclGetValue(2)->SetI4(9);
  const std::wstring sCountLine =
      std::wstring(pclDriver->csGetCaption(CNADriver::DUMPCAPTION_PARAMETERCOUNT).pszGet()) + L"=3\r\n";
  // A maximum below the text after the count line: no parameter line.
  EXPECT_EQ(pclDriver->bGetQueryDump(&csOut, L"SELECT 1", &clList, 5), 1);
  EXPECT_EQ(W(csOut.pszGet()), sQueryLine + sCountLine);
  // The maximum is checked before each line only: reached after the first.
  const unsigned long nAfterCount = static_cast<unsigned long>((sQueryLine + sCountLine).size());
  EXPECT_EQ(pclDriver->bGetQueryDump(&csOut, L"SELECT 1", &clList, nAfterCount + 1), 1);
  const std::wstring sDump = W(csOut.pszGet());
  const std::wstring sParameter = pclDriver->csGetCaption(CNADriver::DUMPCAPTION_PARAMETER).pszGet();
  ASSERT_EQ(sDump.compare(0, nAfterCount, sQueryLine + sCountLine), 0) << sDump;
  const std::wstring sLine = sDump.substr(nAfterCount);
  EXPECT_EQ(sLine.find(sParameter + L" 0 :\t" + pclDriver->csGetCaption(CNADriver::DUMPCAPTION_TYPE).pszGet() +
                       L" = <" + std::to_wstring(clList.pclGetValue(0)->nGetTypeCode()) + L">\t" +
                       pclDriver->csGetCaption(CNADriver::DUMPCAPTION_VALUE).pszGet() + L" = <"),
            0u)
      << sLine;
  EXPECT_EQ(sLine.find(sParameter + L" 1"), std::wstring::npos) << "one line only";
  // This program binds no conversion of the runtime: the value cannot be
  // made text, and the line says so.
  const std::wstring sFailed = pclDriver->csGetCaption(CNADriver::DUMPCAPTION_CONVERSIONFAILED).pszGet();
  EXPECT_EQ(sLine.substr(sLine.size() - sFailed.size() - 3), sFailed + L">\r\n") << "the line ends the dump";
}

// ---- Threads -----------------------------------------------------------------

TEST(driver_threads, driverEntriesFromManyThreads) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  auto* pclDriver = new TestDriver();
  ASSERT_EQ(pclDriver->bInitDriver(), 1);
  CNADriver* const pclPrevious = CNADriver::s_pclDriver;
  CNADriver::s_pclDriver = pclDriver;
  constexpr int knHosts = 3;
  TestHostDescription tHosts[knHosts];
  const wchar_t* tSources[knHosts] = {L"a", L"b", L"c"};
  for (int i = 0; i < knHosts; ++i) {
    tHosts[i].pszDataSource = tSources[i];
    FakeSource(i)->SetName(tSources[i]);
  }
  constexpr int knThreads = 6;
  constexpr int knRounds = 100;
  std::atomic<int> nFailures{0};
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < knThreads; ++t) {
    vecThreads.emplace_back([&, t] {
      CAny clResult;
      CXYString<wchar_t> clList;
      for (int r = 0; r < knRounds; ++r) {
        INAConnectionDescription* piHost = &tHosts[(t + r) % knHosts];
        if (pclDriver->bOpenConnection(piHost) != 1) ++nFailures;
        CNATable* pclTable = AsTable(pclDriver->piGetTable(piHost, FakeSource((t + r) % knHosts)));
        if (pclTable == nullptr) {
          ++nFailures;
        } else {
          // The table's own entries lock as the driver's do.
          CNADriverLock clLock;
          pclTable->nExternalRelease();
        }
        pclDriver->bSQLBloqueTable(piHost, L"a");
        pclDriver->bSQLBloqueRequete(piHost, nullptr);
        pclDriver->bHConnexionDiagnose(&clResult, piHost, L"x", 0);
        pclDriver->bGetDatabaseList(&clList, piHost, 0);
        pclDriver->bGetTableList(&clResult, piHost, 0);
        pclDriver->bGetLinkList(&clResult, L"a", nullptr, piHost, 0);
        pclDriver->bHExecuteRequeteSQL(nullptr, FakeContext(t), L"q", piHost, nullptr, 0);
        pclDriver->SetNextLogicalName(FakeContext(t), L"n");
        // The mode makes the context when a table is alive: closed after.
        pclDriver->bHMode(FakeContext(t), static_cast<_eNA_HMODE>(0));
        pclDriver->bCloseContext(FakeContext(t));
        pclDriver->piGetLastError();
        if (pclDriver->bCloseConnection(piHost) != 1) ++nFailures;
      }
    });
  }
  for (std::thread& clThread : vecThreads) clThread.join();
  EXPECT_EQ(nFailures.load(), 0);
  EXPECT_EQ(pclDriver->nGetContextCount(), 0u);
  EXPECT_EQ(pclDriver->nGetTableCount(), 0u) << "each table went with the runtime's last reference";
  EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u) << "and its connection with it";
  delete pclDriver;
  CNADriver::s_pclDriver = pclPrevious;
  for (const TestHostDescription& clHost : tHosts) EXPECT_EQ(clHost.nExternalCount, 0u);
}

}  // namespace
