// The SQL face's statement slots from two threads at once: each runs its
// own texts on its own connection handle through the shared registry and
// error object, under the driver's lock (the thread checker's build runs
// it).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "CAny.h"
#include "CNADriverLock.h"
#include "INADriverSQL.h"
#include "support/InMemoryStatementSQL.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

TEST(driver_threads, sqlfaceStatementsFromTwoThreads) {
  ASSERT_TRUE(CNADriverLock::s_bCreate());
  kxtest::InMemoryServer stServer;
  stServer.fnAnswer = [](const std::string&, kxtest::MemRows* rows) {
    *rows = {{"1", "a"}, {"2", "b"}, {"3", "c"}};
    return true;
  };
  std::atomic<int> nFailures{0};
  std::atomic<int> nRows{0};
  {
    kxtest::DriverScope clScope;
    kxtest::TestDriver* pclDriver = clScope.pclGet();
    pclDriver->fnStatementMaker = [&stServer](CNAConnectionDescription* cnx, CNAError* error) -> CNAStatementSQL* {
      return new kxtest::InMemoryStatementSQL(&stServer, cnx, error);
    };
    auto* piFace = static_cast<INADriverSQL*>(pclDriver->piGetInterface(1));
    ASSERT_NE(piFace, nullptr);
    constexpr int knThreads = 2;
    constexpr int knRounds = 150;
    kxtest::TestHostDescription tHosts[knThreads];
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < knThreads; ++t) {
      vecThreads.emplace_back([&, t] {
        int nCnx = 0;
        if (!piFace->bOpenConnection(&nCnx, &tHosts[t]) || nCnx == 0) {
          ++nFailures;
          return;
        }
        for (int r = 0; r < knRounds; ++r) {
          int nStmt = 0;
          if (!piFace->bExecute(&nStmt, nCnx, L"SELECT a, b FROM t", nullptr, 0) || nStmt == 0) {
            ++nFailures;
            continue;
          }
          int nCount = 0;
          if (!piFace->bGetColumnNbr(&nCount, nCnx, nStmt, 0) || nCount != 2) ++nFailures;
          CAny clValue;
          while (piFace->bFetch(nCnx, nStmt, 0)) {
            piFace->bGetValue(&clValue, nCnx, nStmt, 1, 0);
            ++nRows;
          }
          piFace->bFreeStmt(nCnx, nStmt, 0);
        }
        if (!piFace->bCloseConnection(nCnx)) ++nFailures;
      });
    }
    for (auto& clThread : vecThreads) clThread.join();
    EXPECT_EQ(static_cast<CNADriverSQL*>(piFace)->nGetStatementCount(), 0u);
    EXPECT_EQ(pclDriver->nGetConnectionCount(), 0u);
    piFace->nExternalRelease();
  }
  EXPECT_EQ(nFailures.load(), 0);
  EXPECT_EQ(nRows.load(), 2 * 150 * 3);
  EXPECT_EQ(stServer.nAlive, 0);
}

}  // namespace
