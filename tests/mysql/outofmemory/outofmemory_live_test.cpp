// Shortages of memory at the library's boundary: for every N up to the
// number of allocations a path makes, the global operator new fails from the
// Nth allocation on (ThrowingNew.h) while the runtime calls the library
// through its exported entry, a driver entry, a connection opening on the
// fixture's server and a statement execution. The process must survive, the
// answer must be the slot's failure with the out-of-memory error as the
// error object's main error, and nothing may leak (the leak checker of the
// test build reads the whole program at its end).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CAny.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CXError.h"
#include "INADriver.h"
#include "INAError.h"
#include "INATable.h"
#include "LibraryEntry.h"
#include "mysql/outofmemory/ThrowingNew.h"
#include "mysql/support/MariaDbLiveTest.h"
#include "nativeaccess/support/TestRuntimeObjects.h"

namespace {

using kxtest::Narrow;
using kxtest::TestHostDescription;
using kxtest::WideFromUTF8;

// The stand-in platform's string memory, with the shortage suspended while
// it serves the library: the platform's own containers are not the
// library's to guard.
class PausedStrMemAlloc final : public IStrMemAlloc {
 public:
  explicit PausedStrMemAlloc(IStrMemAlloc* inner) : m_pInner(inner) {}
  int vnGetVersionIStrMemAlloc() override {
    ThrowingNewPause pause;
    return m_pInner->vnGetVersionIStrMemAlloc();
  }
  int vnAllocStrMem(void** pp, std::uint32_t n) override {
    ThrowingNewPause pause;
    return m_pInner->vnAllocStrMem(pp, n);
  }
  int vnReallocStrMem(void** pp, std::uint32_t n) override {
    ThrowingNewPause pause;
    return m_pInner->vnReallocStrMem(pp, n);
  }
  void vReleaseStrMem(void* p) override {
    ThrowingNewPause pause;
    m_pInner->vReleaseStrMem(p);
  }
  int vnAllocStrMemEx(void** pp, std::uint32_t n, std::uint32_t f) override {
    ThrowingNewPause pause;
    return m_pInner->vnAllocStrMemEx(pp, n, f);
  }
  int vnReallocStrMemEx(void** pp, std::uint32_t n, std::uint32_t f) override {
    ThrowingNewPause pause;
    return m_pInner->vnReallocStrMemEx(pp, n, f);
  }

 private:
  IStrMemAlloc* m_pInner;
};

// Whether the error's main error is the out-of-memory error: the system's
// mark (CXError::SetErrorNoMemory) or the library's user error 12.
bool bOutOfMemory(INAError* error) {
  constexpr std::uint32_t knNoMemory = 12;
  return error != nullptr && error->eGetErrorLevel() != NAERRORLEVEL_NONE &&
         (error->pclGetXError()->dwGetSystemErrorCode() == knNoMemory ||
          error->dwGetErrorId() == knNoMemory);
}

std::string ErrorText(INAError* error) {
  return error != nullptr ? Narrow(error->pszGetError()) : std::string("<no error object>");
}

// One path through the boundary: `run` makes the call (true: success),
// `error` gives the error object its failure must fill (null: the slot has
// none, the failure value alone answers), `after` puts things back outside
// the shortage (with the call's outcome).
struct stPath {
  const char* pszWhat;
  std::function<bool()> run;
  std::function<INAError*()> error;
  std::function<void(bool)> after;
};

class outofmemoryLive : public kxtest::MariaDbLiveTest {
 protected:
  outofmemoryLive() : MariaDbLiveTest("kxoom"), m_paused(&m_alloc) {}
  void SetUp() override {
    MariaDbLiveTest::SetUp();
    if (HasFatalFailure()) return;
    CInformationModule::ms_piStrMemAlloc = &m_paused;
    CNADriverLock::s_bCreate();
    m_pclPrevious = CNADriver::s_pclDriver;
    Describe(m_host, m_c.user, m_c.password, L"");
  }
  void TearDown() override {
    ReleaseDriver();
    CNADriver::s_pclDriver = m_pclPrevious;
    MariaDbLiveTest::TearDown();
  }
  void MakeDriver() {
    m_piDriver = piQueryInterface(0);
    ASSERT_NE(m_piDriver, nullptr);
  }
  void ReleaseDriver() {
    if (m_piDriver != nullptr) m_piDriver->nExternalRelease();
    m_piDriver = nullptr;
  }
  INAError* DriverError() { return m_piDriver != nullptr ? m_piDriver->piGetLastError() : nullptr; }

  // Runs the path with the first n allocations granted, n = 0, 1, ..., until
  // a run is granted all it asks. Every run short of memory must fail with
  // the out-of-memory error; the full run must succeed. Answers the number
  // of allocations of the full run.
  long nEveryShortage(const stPath& path) {
    SCOPED_TRACE(path.pszWhat);
    for (long n = 0;; ++n) {
      bool bOk = false;
      long nRefused = 0;
      long nAsked = 0;
      {
        ThrowingNew shortage(n);
        bOk = path.run();
        nRefused = shortage.nRefused();
        nAsked = shortage.nAsked();
      }
      if (nRefused == 0) {
        EXPECT_TRUE(bOk) << "with all " << nAsked << " allocations granted: "
                         << ErrorText(path.error());
        path.after(bOk);
        return nAsked;
      }
      INAError* piError = path.error();
      const bool bAnswered = !bOk && (piError == nullptr || bOutOfMemory(piError));
      path.after(bOk);
      if (!bAnswered) {
        ADD_FAILURE() << "allocation " << n << " of " << nAsked << " refused: answer " << bOk
                      << ", error " << ErrorText(piError);
        return -1;
      }
    }
  }

  PausedStrMemAlloc m_paused;
  CNADriver* m_pclPrevious = nullptr;
  INADriver* m_piDriver = nullptr;
  TestHostDescription m_host;
};

// The library's entry: no driver (null) rather than an exception.
TEST_F(outofmemoryLive, LibraryEntryAnswersNullWithoutMemory) {
  INADriver* piDriver = nullptr;
  const long n = nEveryShortage({"piQueryInterface",
                                 [&] { return (piDriver = piQueryInterface(0)) != nullptr; },
                                 [] { return nullptr; },
                                 [&](bool) {
                                   if (piDriver != nullptr) piDriver->nExternalRelease();
                                   piDriver = nullptr;
                                 }});
  EXPECT_GT(n, 0);
}

// Driver entries that register connections, tables and contexts without a
// server.
TEST_F(outofmemoryLive, DriverEntriesFailWithOutOfMemory) {
  MakeDriver();
  ASSERT_FALSE(HasFatalFailure());
  kxtest::TestSource source;
  source.SetName(L"kxoom_entry");
  kxtest::TestContext context;
  context.SetNumber(0x5150);
  INATable* piTable = nullptr;
  const stPath paths[] = {
      {"piGetTable",
       [&] { return (piTable = m_piDriver->piGetTable(&m_host, &source)) != nullptr; },
       [&] { return DriverError(); },
       [&](bool) {
         if (piTable != nullptr) piTable->nExternalRelease();
         piTable = nullptr;
         // The next run registers again from nothing.
         ReleaseDriver();
         MakeDriver();
       }},
      {"SetNextLogicalName",
       [&] { return m_piDriver->SetNextLogicalName(&context, L"kxoom_query") == 1; },
       [&] { return DriverError(); },
       [&](bool) { m_piDriver->bCloseContext(&context); }},
  };
  for (const stPath& path : paths) EXPECT_GT(nEveryShortage(path), 0);
}

// Opening a connection on the server.
TEST_F(outofmemoryLive, ConnectionOpeningFailsWithOutOfMemory) {
  MakeDriver();
  ASSERT_FALSE(HasFatalFailure());
  const long n = nEveryShortage({"bOpenConnection", [&] { return m_piDriver->bOpenConnection(&m_host) == 1; },
                                 [&] { return DriverError(); },
                                 [&](bool bOpen) {
                                   if (bOpen) m_piDriver->bCloseConnection(&m_host);
                                 }});
  EXPECT_GT(n, 0);
}

// Statements on an open connection: the existence of a table ("SHOW COLUMNS
// FROM") and the table list read row by row.
TEST_F(outofmemoryLive, StatementExecutionFailsWithOutOfMemory) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY)"));
  MakeDriver();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(m_piDriver->bOpenConnection(&m_host), 1) << ErrorText(DriverError());
  const std::wstring sTable = WideFromUTF8(m_sTable);
  CAny list;
  const stPath paths[] = {
      {"bTableExists",
       [&] {
         int nExists = 0;
         return m_piDriver->bTableExists(&nExists, sTable.c_str(), &m_host) == 1 && nExists == 1;
       },
       [&] { return DriverError(); }, [](bool) {}},
      {"bGetTableList", [&] { return m_piDriver->bGetTableList(&list, &m_host, 1) == 1; },
       [&] { return DriverError(); }, [&](bool) { list = CAny(); }},
  };
  for (const stPath& path : paths) EXPECT_GT(nEveryShortage(path), 0);
  // The connection still answers after all those shortages.
  int nExists = 0;
  EXPECT_EQ(m_piDriver->bTableExists(&nExists, sTable.c_str(), &m_host), 1) << ErrorText(DriverError());
  EXPECT_EQ(nExists, 1);
  m_piDriver->bCloseConnection(&m_host);
}

}  // namespace
