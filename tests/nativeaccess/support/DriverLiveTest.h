// DriverLiveTest: the base of the live tests that run the native-access
// layer over a library connection on the fixture's server.
//
// SetUp (after MariaDbLiveTest's): the stand-in runtime is bound, its
// string memory the process's meanwhile (values, keys and texts go through
// the runtime's conversions); the driver lock exists; a driver made by
// NewDriver (the MariaDB driver unless the test says otherwise) is
// initialised and, for DriverUse::Process, installed as the process's
// driver, so statements get its driver-level statements, commands and
// columns; a connection (m_pCnx, one reference held) to the fixture's
// database as its plain user, in Unicode mode (no code page key: the
// session speaks UTF-8), is open with its error object (m_pError, one
// reference held). A derived SetUp calls this one first and returns when
// HasFatalFailure() says it failed.
//
// TearDown: ReleaseDriver, ReleaseRuntime, then MariaDbLiveTest's. A test
// whose objects hold driver-level objects or runtime values releases them
// before calling it; one that must check something between the two steps
// (a balance only complete once the driver is gone) calls ReleaseDriver
// itself first. Both steps may run twice and after a SetUp that stopped
// part way.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "mysql/support/LiveText.h"
#include "mysql/support/MariaDbLiveTest.h"
#include "nativeaccess/support/TestConnection.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace kxtest {

// A library connection whose cache size ("KX Cache Size", from which a
// read's automatic record limit follows) the test sets.
class SizedConnection : public CMySQLConnection {
 public:
  using CMySQLConnection::CMySQLConnection;
  void SetCacheSize(std::int64_t size) { m_llCacheSize = size; }
};

class DriverLiveTest : public MariaDbLiveTest {
 protected:
  // Whether the driver becomes the process's driver for the test's
  // lifetime (the previous one put back at the end) or stays the test's
  // own, reached only through m_pDriver.
  enum class DriverUse { Process, Private };

  explicit DriverLiveTest(const char* tablePrefix, DriverUse use = DriverUse::Process)
      : MariaDbLiveTest(tablePrefix), m_eDriverUse(use) {}

  // The driver the test runs on; the fixture owns it (deleted by
  // ReleaseDriver).
  virtual CNADriver* NewDriver() { return new CMySQLDriver(); }

  void SetUp() override {
    MariaDbLiveTest::SetUp();
    if (HasFatalFailure()) return;
    UnbindRuntimeForTests();
    m_vm = std::make_unique<StandInVm>(StandInVmPath());
    CInformationModule::ms_piStrMemAlloc = reinterpret_cast<IStrMemAlloc*>(m_vm->GetItem(13));
    ASSERT_EQ(1, bInitTNConvFromVM(m_vm->hModule(), 2, 2));
    ASSERT_EQ(1, bInitTNCalcFromVM(m_vm->hModule(), 2, 2));
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    m_pDriver = NewDriver();
    ASSERT_EQ(m_pDriver->bInitDriver(), 1);
    if (m_eDriverUse == DriverUse::Process) {
      CNADriverLock lock;
      m_pPrevious = CNADriver::s_pclDriver;
      CNADriver::s_pclDriver = m_pDriver;
      m_bDriverInstalled = true;
    }
    Describe(m_host, m_c.user, m_c.password, L"");
    m_pCnx = new CMySQLConnection(L"live", &m_host);
    m_pCnx->AddRef();
    m_pError = new CNAError();
    m_pError->AddRef();
    ASSERT_EQ(1, m_pCnx->bOpen(m_pError)) << Narrow(m_pError->pszGetError());
  }

  void TearDown() override {
    ReleaseDriver();
    ReleaseRuntime();
    MariaDbLiveTest::TearDown();
  }

  // Opens m_pSized, a second connection to the fixture's database like
  // m_pCnx (one reference held; ReleaseDriver closes and releases it). A
  // caller checks HasFatalFailure() afterwards.
  void OpenSizedConnection() {
    m_pSized = new SizedConnection(L"sized", &m_host);
    m_pSized->AddRef();
    ASSERT_EQ(1, m_pSized->bOpen(m_pError)) << Narrow(m_pError->pszGetError());
  }

  // Closes and releases the connections, releases the error object, puts
  // the previous process driver back and deletes the driver.
  void ReleaseDriver() {
    if (m_pSized != nullptr) {
      m_pSized->bClose(m_pError);
      m_pSized->nRelease();
      m_pSized = nullptr;
    }
    if (m_pCnx != nullptr) {
      m_pCnx->bClose(m_pError);
      m_pCnx->nRelease();
      m_pCnx = nullptr;
    }
    if (m_pError != nullptr) {
      m_pError->nRelease();
      m_pError = nullptr;
    }
    if (m_bDriverInstalled) {
      CNADriverLock lock;
      CNADriver::s_pclDriver = m_pPrevious;
      m_bDriverInstalled = false;
    }
    delete m_pDriver;
    m_pDriver = nullptr;
  }

  // Unbinds the runtime, gives the test's counting string memory back to
  // the process and unloads the stand-in runtime.
  void ReleaseRuntime() {
    UnbindRuntimeForTests();
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    m_vm.reset();
  }

  std::unique_ptr<StandInVm> m_vm;
  CNADriver* m_pDriver = nullptr;
  TestHostDescription m_host;
  CMySQLConnection* m_pCnx = nullptr;
  SizedConnection* m_pSized = nullptr;
  CNAError* m_pError = nullptr;

 private:
  DriverUse m_eDriverUse;
  CNADriver* m_pPrevious = nullptr;
  bool m_bDriverInstalled = false;
};

}  // namespace kxtest
