// The library's entry points: the version handshake, the counted start, the
// drivers handed out and the module end. The start and the end change
// process-wide state once per process, so each scenario runs in a child
// process of its own; its checks are ordinary assertions, reported by the
// child and summed up by its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "LibraryEntry.h"
#include "CMySQLDriver.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

// Runs `scenario` in a child process; the child's failures are printed
// there and make its exit status non-zero. A crash shows as a signal.
void RunInChild(const std::function<void()>& scenario) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    scenario();
    std::fflush(nullptr);
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's checks failed (see its output above)";
}

CNADriver* Query() { return static_cast<CNADriver*>(piQueryInterface(0)); }

TEST(entryHandshake, DLLCompatibleTable) {
  struct Row {
    int kind;
    std::uint32_t version;
    int result;
    bool announced;           // 32 written to the out-value
    std::uint32_t* recorded;  // where the version lands; null: nowhere
  } const rows[] = {
      {7, 32, 1, true, &CNADriver::s_nID_KXXQ},
      {7, 0xFFFFFFFFu, 1, true, &CNADriver::s_nID_KXXQ},  // unsigned comparison
      {7, 31, 0, true, &CNADriver::s_nID_KXXQ},
      {28, 31, 0, true, &CNADriver::s_nID_KXSQL},
      {28, 40, 1, true, &CNADriver::s_nID_KXSQL},
      {28, 0, 0, true, &CNADriver::s_nID_KXSQL},
      {5, 40, 0, false, nullptr},
      {0, 40, 0, false, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "kind " << row.kind << " version " << row.version);
    CNADriver::s_nID_KXXQ = 1234;
    CNADriver::s_nID_KXSQL = 5678;
    std::uint32_t out = 99;
    EXPECT_EQ(bDLLCompatible(row.kind, row.version, &out), row.result);
    EXPECT_EQ(out, row.announced ? 32u : 99u);
    EXPECT_EQ(CNADriver::s_nID_KXXQ, row.recorded == &CNADriver::s_nID_KXXQ ? row.version : 1234u);
    EXPECT_EQ(CNADriver::s_nID_KXSQL,
              row.recorded == &CNADriver::s_nID_KXSQL ? row.version : 5678u);
    // Without an out-value the answer and the record are the same.
    EXPECT_EQ(bDLLCompatible(row.kind, row.version, nullptr), row.result);
  }
  CNADriver::s_nID_KXXQ = 0;
  CNADriver::s_nID_KXSQL = 0;
}

TEST(entryInit, FirstStartForgetsHandshakeSecondOnlyCounts) {
  RunInChild([] {
    int first = 0;
    int second = 0;
    std::uint32_t out = 0;
    EXPECT_EQ(bDLLCompatible(7, 40, &out), 1);
    EXPECT_EQ(bDLLCompatible(28, 41, &out), 1);
    EXPECT_FALSE(CNADriverLock::s_bExists());

    EXPECT_EQ(bInitLibrary(&first), 1);
    EXPECT_EQ(gnNbInitialisation, 1);
    EXPECT_EQ(CNADriver::s_hDllHandle, &first);
    EXPECT_EQ(CNADriver::s_nID_KXXQ, 0u);
    EXPECT_EQ(CNADriver::s_nID_KXSQL, 0u);
    EXPECT_TRUE(CNADriverLock::s_bExists());
    EXPECT_TRUE(CMainCommun::ms_bInitCommunFait);

    EXPECT_EQ(bDLLCompatible(7, 50, &out), 1);
    EXPECT_EQ(bInitLibrary(&second), 1);
    EXPECT_EQ(gnNbInitialisation, 2);
    EXPECT_EQ(CNADriver::s_hDllHandle, &first);
    EXPECT_EQ(CNADriver::s_nID_KXXQ, 50u);
    EXPECT_TRUE(CNADriverLock::s_bExists());
    EXPECT_EQ(TermLibrary(), 1);
  });
}

TEST(entryQuery, DriverAnswersItsVersionsAndValue) {
  RunInChild([] {
    int module = 0;
    bInitLibrary(&module);
    CNADriver* driver = Query();
    ASSERT_NE(driver, nullptr);
    EXPECT_NE(dynamic_cast<CMySQLDriver*>(driver), nullptr);
    EXPECT_EQ(driver->nGetVersion(), 18u);
    EXPECT_EQ(driver->nGetCompatSince(), 17u);
    EXPECT_EQ(driver->nGetNAVersion(), 0xFFFFFFFFu);
    EXPECT_EQ(driver->nGetNACompatSince(), 0xFFFFFFFFu);
    driver->NAVersion_EmptySlot_3();
    EXPECT_EQ(driver->llGetValue(), 100);
    EXPECT_EQ(driver->nExternalRelease(), 0u);
    EXPECT_EQ(TermLibrary(), 1);
  });
}

TEST(entryQuery, TwoDriversEachCountedOnlyTheRecordedOneClearsTheRecord) {
  // Either release order: the record follows only the newest driver.
  for (const bool newestFirst : {false, true}) {
    SCOPED_TRACE(newestFirst ? "newest released first" : "oldest released first");
    RunInChild([newestFirst] {
      int module = 0;
      bInitLibrary(&module);
      CNADriver* first = Query();
      ASSERT_NE(first, nullptr);
      EXPECT_EQ(CNADriver::s_pclDriver, first);
      CNADriver* second = Query();
      ASSERT_NE(second, nullptr);
      EXPECT_NE(first, second);
      EXPECT_EQ(CNADriver::s_pclDriver, second);
      EXPECT_EQ(first->nGetExternalCount(), 1u);
      EXPECT_EQ(second->nGetExternalCount(), 1u);
      ASSERT_NE(first->pclGetError(), nullptr);
      ASSERT_NE(second->pclGetError(), nullptr);
      EXPECT_NE(first->pclGetError(), second->pclGetError());
      EXPECT_EQ(first->piGetLastError(), static_cast<INAError*>(first->pclGetError()));

      if (newestFirst) {
        EXPECT_EQ(second->nExternalRelease(), 0u);
        EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
        EXPECT_EQ(first->nExternalRelease(), 0u);
        EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
      } else {
        EXPECT_EQ(first->nExternalRelease(), 0u);
        EXPECT_EQ(CNADriver::s_pclDriver, second);
        EXPECT_EQ(second->nExternalRelease(), 0u);
        EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
      }
      EXPECT_EQ(TermLibrary(), 1);
    });
  }
}

TEST(entryTerm, BeforeAnyDriverEndsModuleAndLaterStartOnlyCounts) {
  RunInChild([] {
    int module = 0;
    EXPECT_EQ(bInitLibrary(&module), 1);
    EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
    EXPECT_EQ(TermLibrary(), 1);
    EXPECT_FALSE(CNADriverLock::s_bExists());
    EXPECT_FALSE(CMainCommun::ms_bInitCommunFait);
    EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
    // The end neither reads nor resets the count.
    EXPECT_EQ(gnNbInitialisation, 1);

    EXPECT_EQ(bInitLibrary(&module), 1);
    EXPECT_EQ(gnNbInitialisation, 2);
    EXPECT_FALSE(CNADriverLock::s_bExists());
    // A second end finds nothing left to end.
    EXPECT_EQ(TermLibrary(), 1);
  });
}

TEST(entryTerm, DriverReleasedAfterEndIsFreedQuietly) {
  RunInChild([] {
    int module = 0;
    bInitLibrary(&module);
    CNADriver* driver = Query();
    ASSERT_NE(driver, nullptr);
    // A registered (never opened) connection: the driver's release gives
    // back the registry's reference, the test its own afterwards.
    kxtest::TestHostDescription host;
    host.pszDataSource = L"127.0.0.1";
    host.pszUser = L"someone";
    CNAConnectionDescription* cnx = driver->_pclGetConnection(&host);
    ASSERT_NE(cnx, nullptr);
    EXPECT_EQ(cnx->eGetDataSource(), DATASOURCE_MARIADB);

    EXPECT_EQ(TermLibrary(), 1);
    // The driver outlives the module: its release must touch neither the
    // destroyed lock nor the unloaded client library.
    EXPECT_FALSE(CNADriverLock::s_bExists());
    EXPECT_EQ(__mysql_close, &DefaultError_mysql_close);
    EXPECT_EQ(CNADriver::s_pclDriver, driver);
    EXPECT_EQ(driver->nExternalRelease(), 0u);
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
    EXPECT_EQ(cnx->nRelease(), 0u);
    EXPECT_EQ(host.nExternalCount, 0u);
  });
}

}  // namespace
