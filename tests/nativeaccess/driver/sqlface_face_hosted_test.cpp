// The SQL face as the SQL runtime reaches it: through the interface the
// driver hands out, by slot number and by integer handles, over the test
// driver's connections and in-memory statements.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "CAny.h"
#include "CInformationDLL.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CXError.h"
#include "INADriverSQL.h"
#include "MyModuleInfo.h"
#include "StandInStrMemAlloc.h"
#include "support/InMemoryStatementSQL.h"
#include "support/SlotCall.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

using kxtest::InMemoryServer;
using kxtest::InMemoryStatementSQL;
using kxtest::MemRows;
using kxtest::Slot;

std::wstring Text(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return L"<not a text>";
  return psz;
}

class sqlface : public testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    m_scope = std::make_unique<kxtest::DriverScope>();
    m_pDriver = m_scope->pclGet();
    m_pDriver->fnStatementMaker = [this](CNAConnectionDescription* cnx, CNAError* error) -> CNAStatementSQL* {
      return new InMemoryStatementSQL(&m_server, cnx, error);
    };
    m_server.fnAnswer = [](const std::string& text, MemRows* rows) {
      if (text.rfind("SELECT", 0) == 0) *rows = {{"1", "a"}, {"2", "b"}, {"3", std::nullopt}};
      return text.rfind("BAD", 0) != 0;
    };
    m_server.fnColumns = [](const std::string& text) { return text.rfind("SELECT", 0) == 0 ? 2u : 0u; };
    m_host.pszDataSource = L"server";
    m_piFace = static_cast<INADriverSQL*>(m_pDriver->piGetInterface(1));
    ASSERT_NE(m_piFace, nullptr);
  }
  void TearDown() override {
    if (m_piFace != nullptr) m_piFace->nExternalRelease();
    m_scope.reset();
    EXPECT_EQ(m_server.nAlive, 0) << "a statement was not freed";
    m_value = CAny();
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a string block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }

  CNAError* Error() { return m_pDriver->pclGetError(); }
  std::uint32_t UserError() { return Error()->nGetUserErrorCode(); }
  bool NoError() { return Error()->eGetErrorType() == NA_ERRORTYPE_NONE; }
  // An error in the shared object, as a failed slot leaves it.
  void PutError() {
    _CXErrorModule76 clErr(1u);
    Error()->AddError(NA_ERRORTYPE_GENERIC, &clErr, nullptr);
    ASSERT_FALSE(NoError());
  }
  int Open() {
    int nCnx = -1;
    EXPECT_EQ(m_piFace->bOpenConnection(&nCnx, &m_host), 1);
    return nCnx;
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
  std::unique_ptr<kxtest::DriverScope> m_scope;
  kxtest::TestDriver* m_pDriver = nullptr;
  InMemoryServer m_server;
  kxtest::TestHostDescription m_host;
  INADriverSQL* m_piFace = nullptr;
  CAny m_value;
};

// The runtime's road, slot by slot: versions, open, execute, the fetch
// loop with values and rows, the column count, free, the external
// release. Each slot sits at its place in the table.
TEST_F(sqlface, SlotsByNumber) {
  void* p = m_piFace;
  EXPECT_EQ(Slot<std::uint32_t>(p, 0), 4u);
  EXPECT_EQ(Slot<std::uint32_t>(p, 1), 2u);
  EXPECT_EQ(Slot<std::uint32_t>(p, 2), 0xFFFFFFFFu);
  EXPECT_EQ(Slot<std::uint32_t>(p, 3), 0xFFFFFFFFu);
  EXPECT_EQ(Slot<INAError*>(p, 7), static_cast<INAError*>(Error()));
  EXPECT_EQ(Slot<void*>(p, 8, 1), nullptr);
  EXPECT_EQ(Slot<void*>(p, 9, static_cast<unsigned char*>(nullptr)), nullptr);
  EXPECT_EQ(Slot<int>(p, 14, static_cast<unsigned char*>(nullptr), 0u), 1);
  EXPECT_EQ(Slot<int>(p, 15, static_cast<unsigned char*>(nullptr), 0u), 1);
  // Slot 39 hands the runtime's interfaces to the driver.
  auto* piShop = reinterpret_cast<ILibShop*>(&m_host);
  EXPECT_EQ(Slot<int>(p, 39, piShop, static_cast<IVMData*>(nullptr)), 1);
  EXPECT_EQ(m_pDriver->piGetLibShop(), piShop);

  int nCnx = 0;
  ASSERT_EQ(Slot<int>(p, 16, &nCnx, static_cast<INAConnectionDescription*>(&m_host)), 1);
  ASSERT_GT(nCnx, 0);
  int nStmt = -1;
  ASSERT_EQ(Slot<int>(p, 25, &nStmt, nCnx, L"SELECT a, b FROM t", static_cast<CTabValParser*>(nullptr), 0u), 1);
  ASSERT_GT(nStmt, 0);
  int nCount = 0;
  EXPECT_EQ(Slot<int>(p, 28, &nCount, nCnx, nStmt, 0u), 1);
  EXPECT_EQ(nCount, 2);
  std::wstring sRows;
  while (Slot<int>(p, 30, nCnx, nStmt, 0u) == 1) {
    ASSERT_EQ(Slot<int>(p, 32, &m_value, nCnx, nStmt, 1u, 0u), 1);
    sRows += Text(m_value) + L"=";
    ASSERT_EQ(Slot<int>(p, 31, &m_value, nCnx, nStmt, L"|", 0, 0u), 1);
    sRows += Text(m_value) + L";";
  }
  EXPECT_EQ(sRows, L"1=1|a;2=2|b;3=3|;");
  INAError* piError = nullptr;
  EXPECT_EQ(Slot<int>(p, 27, &piError, nCnx, nStmt), 1);
  ASSERT_NE(piError, nullptr);
  EXPECT_EQ(piError->eGetErrorType(), NA_ERRORTYPE_NONE) << "the end of the rows is no error";
  EXPECT_EQ(Slot<int>(p, 26, nCnx, nStmt, 0u), 1);
  EXPECT_EQ(m_server.nAlive, 0);
  EXPECT_EQ(Slot<int>(p, 17, nCnx), 1);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 0u);
  // Slot 6: the runtime's release (the driver's own reference stays).
  EXPECT_EQ(Slot<std::uint32_t>(p, 6), 0u);
  m_piFace = nullptr;
  EXPECT_EQ(m_pDriver->nDriverSQLAlive, 1);
}

// Statement handles: 0, a handle never issued and a freed one answer as
// "no statement" (false, null; count 0 and true for 0; bFreeStmt always
// true), with the error reset and nothing reported. Column 0 is refused by
// the statement (user errors 50 and 51); column 1 is the first.
TEST_F(sqlface, StatementHandles) {
  const int nCnx = Open();
  int nUpdate = -1;
  EXPECT_EQ(m_piFace->bExecute(&nUpdate, nCnx, L"UPDATE t SET a = 1", nullptr, 0), 1);
  EXPECT_EQ(nUpdate, 0) << "no result set, no statement";
  int nFreed = 0;
  ASSERT_EQ(m_piFace->bExecute(&nFreed, nCnx, L"SELECT a, b FROM t", nullptr, 0), 1);
  ASSERT_EQ(m_piFace->bFreeStmt(nCnx, nFreed, 0), 1);
  int nStmt = 0;
  ASSERT_EQ(m_piFace->bExecute(&nStmt, nCnx, L"SELECT a, b FROM t", nullptr, 0), 1);
  ASSERT_NE(nStmt, nFreed);

  for (const int nHandle : {0, nStmt + 1000, nFreed}) {
    SCOPED_TRACE(nHandle);
    ASSERT_NO_FATAL_FAILURE(PutError());
    int nCount = -1;
    EXPECT_EQ(m_piFace->bGetColumnNbr(&nCount, nCnx, nHandle, 0), nHandle == 0 ? 1 : 0);
    if (nHandle == 0) {
      EXPECT_EQ(nCount, 0);
    }
    EXPECT_TRUE(NoError()) << "the error is reset";
    EXPECT_EQ(m_piFace->bFetch(nCnx, nHandle, 0), 0);
    EXPECT_EQ(m_piFace->bGetValue(&m_value, nCnx, nHandle, 1, 0), 0);
    EXPECT_EQ(m_piFace->bGetRow(&m_value, nCnx, nHandle, L"\t", 0, 0), 0);
    EXPECT_EQ(m_piFace->bGetColumnName(&m_value, nCnx, nHandle, 1, 0), 0);
    EXPECT_EQ(m_piFace->bGetColumnList(&m_value, nCnx, nHandle, 0), 0);
    EXPECT_EQ(m_piFace->piGetTableDesc(nCnx, nHandle, 0), nullptr);
    INAError* piError = nullptr;
    EXPECT_EQ(m_piFace->bGetStmtLastError(&piError, nCnx, nHandle), 0);
    EXPECT_TRUE(NoError());
    EXPECT_EQ(m_piFace->bFreeStmt(nCnx, nHandle, 0), 1);
  }

  ASSERT_EQ(m_piFace->bFetch(nCnx, nStmt, 0), 1);
  EXPECT_EQ(m_piFace->bGetValue(&m_value, nCnx, nStmt, 2, 0), 1);
  EXPECT_EQ(Text(m_value), L"a") << "column 1 is the statement's first";
  const struct {
    const char* pszWhat;
    std::uint32_t nUserError;
  } refusals[] = {{"value", 50}, {"BLOB value", 50}, {"name", 51}};
  for (const auto& row : refusals) {
    SCOPED_TRACE(row.pszWhat);
    const std::string sWhat = row.pszWhat;
    const int nAnswer = sWhat == "value"       ? m_piFace->bGetValue(&m_value, nCnx, nStmt, 0, 0)
                        : sWhat == "BLOB value" ? m_piFace->bGetBLOBValue(&m_value, nCnx, nStmt, 0, 0)
                                                : m_piFace->bGetColumnName(&m_value, nCnx, nStmt, 0, 0);
    EXPECT_EQ(nAnswer, 0) << "column 0 is no column";
    EXPECT_EQ(UserError(), row.nUserError);
  }
  EXPECT_EQ(m_piFace->bGetColumnName(&m_value, nCnx, nStmt, 3, 0), 0) << "past the last column";
  EXPECT_EQ(UserError(), 50u);
  EXPECT_EQ(m_piFace->bFreeStmt(nCnx, nStmt, 0), 1);
  EXPECT_EQ(m_piFace->bCloseConnection(nCnx), 1);
}

// A failed fetch is told apart from the end of the rows by the
// statement's error; an execution the server refuses gives handle 0.
TEST_F(sqlface, FetchFailureAndRefusedText) {
  const int nCnx = Open();
  int nStmt = -1;
  EXPECT_EQ(m_piFace->bExecute(&nStmt, nCnx, L"BAD text", nullptr, 0), 0);
  EXPECT_EQ(nStmt, 0);
  m_server.stFailFetch.nRow = 1;
  ASSERT_EQ(m_piFace->bExecute(&nStmt, nCnx, L"SELECT a, b FROM t", nullptr, 0), 1);
  EXPECT_EQ(m_piFace->bFetch(nCnx, nStmt, 0), 1);
  EXPECT_EQ(m_piFace->bFetch(nCnx, nStmt, 0), 0);
  INAError* piError = nullptr;
  ASSERT_EQ(m_piFace->bGetStmtLastError(&piError, nCnx, nStmt), 1);
  EXPECT_NE(piError->eGetErrorType(), NA_ERRORTYPE_NONE) << "a fetch error is reported";
  EXPECT_EQ(m_piFace->bFreeStmt(nCnx, nStmt, 0), 1);
}

// Connections: each open is a connection of its own (own key, own
// number), marked as the SQL runtime's; a refused open answers 0 and
// handle 0 and leaves nothing registered; an unknown handle fails with
// nothing reported and leaves bExecute's handle untouched.
TEST_F(sqlface, ConnectionHandles) {
  const int nFirst = Open();
  const int nSecond = Open();
  EXPECT_GT(nFirst, 0);
  EXPECT_NE(nFirst, nSecond);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 2u);
  CNAConnectionDescription* pclCnx = m_pDriver->pclGetConnectionByID(nSecond);
  ASSERT_NE(pclCnx, nullptr);
  EXPECT_EQ(pclCnx->bOpenedBySQLRuntime(), 1);
  const std::wstring sKey = pclCnx->pszGetIdentification();
  EXPECT_NE(sKey.find(L";SQLConnecte"), std::wstring::npos) << std::string(sKey.begin(), sKey.end());
  m_pDriver->nReleaseConnection(pclCnx);

  m_pDriver->nOpenAnswer = 0;
  int nRefused = -1;
  EXPECT_EQ(m_piFace->bOpenConnection(&nRefused, &m_host), 0);
  EXPECT_EQ(nRefused, 0);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 2u) << "the refused connection left the registry";

  const int nUnknown = nFirst + nSecond + 100;
  int nStmt = 77;
  EXPECT_EQ(m_piFace->bExecute(&nStmt, nUnknown, L"SELECT a FROM t", nullptr, 0), 0);
  EXPECT_EQ(nStmt, 77);
  EXPECT_TRUE(NoError());
  EXPECT_EQ(m_piFace->bTrsBegin(nullptr, nUnknown, 0), 0);
  EXPECT_EQ(m_piFace->bTrsCommit(nUnknown, 0, 0), 0);
  EXPECT_EQ(m_piFace->bTrsRollBack(nUnknown, 0, 0), 0);
  EXPECT_EQ(m_piFace->bGetTableList(&m_value, nUnknown, nullptr, 1), 0);
  EXPECT_EQ(m_piFace->bGetColumnList(&m_value, nUnknown, L"t", 0), 0);
  EXPECT_EQ(m_piFace->piGetTableDesc(nUnknown, L"t", 0), nullptr);
  EXPECT_TRUE(NoError());
  EXPECT_EQ(m_piFace->bCloseConnection(nFirst), 1);
  EXPECT_EQ(m_piFace->bCloseConnection(nSecond), 1);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 0u);
}

// Closing a connection keeps its statements: their rows read on, and the
// connection (held by them) closes and leaves the registry when the last
// is freed, not at the driver's end.
TEST_F(sqlface, CloseKeepsStatementsUntilFreed) {
  const int nCnx = Open();
  int nStmt = 0;
  ASSERT_EQ(m_piFace->bExecute(&nStmt, nCnx, L"SELECT a, b FROM t", nullptr, 0), 1);
  EXPECT_EQ(m_piFace->bCloseConnection(nCnx), 1);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 1u) << "the statement still holds it";
  EXPECT_EQ(m_piFace->bFetch(nCnx, nStmt, 0), 1);
  EXPECT_EQ(m_piFace->bGetValue(&m_value, nCnx, nStmt, 2, 0), 1);
  EXPECT_EQ(Text(m_value), L"a");
  EXPECT_EQ(m_piFace->bFreeStmt(nCnx, nStmt, 0), 1);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), 0u) << "gone with its last statement";
  EXPECT_EQ(m_pDriver->nConnectionsMade, 1);
}

// The face's end frees what the runtime left registered.
TEST_F(sqlface, EndFreesRegisteredStatements) {
  const int nCnx = Open();
  int nStmt = 0;
  ASSERT_EQ(m_piFace->bExecute(&nStmt, nCnx, L"SELECT a, b FROM t", nullptr, 0), 1);
  ASSERT_EQ(m_piFace->bExecute(&nStmt, nCnx, L"SELECT a, b FROM t", nullptr, 0), 1);
  EXPECT_EQ(m_server.nAlive, 2);
  EXPECT_EQ(static_cast<CNADriverSQL*>(m_piFace)->nGetStatementCount(), 2u);
  m_piFace->nExternalRelease();
  m_piFace = nullptr;
  m_scope.reset();
  EXPECT_EQ(m_server.nAlive, 0);
}

// The entry frame takes the lock before it resets the shared error: while
// another thread holds the lock (and is reporting an error), a slot's reset
// waits for it instead of wiping that thread's error mid-work.
TEST_F(sqlface, ResetWaitsForTheLock) {
  std::atomic<bool> bHeld{false};
  std::atomic<bool> bRelease{false};
  std::thread clOwner([&] {
    CNADriverLock clLock;
    PutError();
    bHeld = true;
    while (!bRelease) std::this_thread::yield();
  });
  while (!bHeld) std::this_thread::yield();
  std::atomic<bool> bDone{false};
  std::thread clCaller([&] {
    m_piFace->bFetch(1, 0, 0);
    bDone = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  {
    // Read without the lock: the owner is parked and changes nothing.
    EXPECT_FALSE(bDone.load());
    EXPECT_FALSE(NoError()) << "the error was reset while another thread held the lock";
  }
  bRelease = true;
  clOwner.join();
  clCaller.join();
  EXPECT_TRUE(NoError());
}

}  // namespace
