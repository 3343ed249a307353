// The MariaDB/MySQL connection against the fixture's server, through the
// real client library the connection loads itself.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "StandInStrMemAlloc.h"
#include "TestSupport.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += static_cast<char>(*psz);
  return s;
}

// The fixture's parameters as the runtime's description gives them.
class LiveConnection : public testing::Test {
 protected:
  void SetUp() override {
    // The connection's texts live in the runtime's string memory.
    m_piSavedAlloc = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_c, failure)) << failure;
    m_sServer = Wide(m_c.host);
    m_sUser = Wide(m_c.user);
    m_sPassword = Wide(m_c.password);
    m_sDatabase = Wide(m_c.database);
    m_sExtended = L"Server Port=" + std::to_wstring(m_c.port) + L";Initial Catalog=" + m_sDatabase;
    m_host.pszDataSource = m_sServer.c_str();
    m_host.pszUser = m_sUser.c_str();
    m_host.pszPassword = m_sPassword.c_str();
    m_host.pszExtendedInfo = m_sExtended.c_str();
  }
  // Keeps the client library mapped for the rest of the process, so that
  // its one-time set-up stays visible to the leak checker after the module
  // end unloads it.
  static void PinClientLibrary() {
    const std::string path = Narrow(CNAConnectionDescription::m_csClientLibrary.pszGet());
    ASSERT_FALSE(path.empty());
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    ASSERT_NE(h, nullptr) << path;
    dlclose(h);
  }
  void TearDown() override {
    CNAFunctionLoader::g_Term();
    CInformationModule::ms_piStrMemAlloc = m_piSavedAlloc;
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSavedAlloc = nullptr;
  kxtest::MariaDbConnection m_c;
  std::wstring m_sServer, m_sUser, m_sPassword, m_sDatabase, m_sExtended;
  kxtest::TestHostDescription m_host;
};

TEST_F(LiveConnection, OpensOverTcpAndCloses) {
  CMySQLConnection cnx(L"live", &m_host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  PinClientLibrary();
  EXPECT_EQ(cnx.bIsOpen(), 1);
  // Opening again asks nothing more.
  EXPECT_EQ(cnx.bOpen(&error), 1);
  EXPECT_GT(CNAConnectionDescription::m_nClientVersionMajor, 0);
  EXPECT_EQ(cnx.bClose(&error), 1);
  EXPECT_EQ(cnx.bIsOpen(), 0);
  EXPECT_EQ(cnx.bClose(&error), 1);
}

TEST_F(LiveConnection, OpensOverUnixSocket) {
  m_sServer = L"localhost";
  m_host.pszDataSource = m_sServer.c_str();
  m_sExtended = L"Unix Socket=" + Wide(m_c.socket);
  m_host.pszExtendedInfo = m_sExtended.c_str();
  m_host.pszDefaultDataBase = m_sDatabase.c_str();
  CMySQLConnection cnx(L"live", &m_host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  PinClientLibrary();
  // Left open: the destructor closes it.
  EXPECT_EQ(cnx.bIsOpen(), 1);
}

TEST_F(LiveConnection, WrongPasswordGivesServerError) {
  const std::wstring wrong = m_sPassword + L"-wrong";
  m_host.pszPassword = wrong.c_str();
  CMySQLConnection cnx(L"live", &m_host);
  CNAError error;
  EXPECT_EQ(cnx.bOpen(&error), 0);
  PinClientLibrary();
  EXPECT_EQ(cnx.bIsOpen(), 0);
  // The opening's failure first; the server's error (access denied) under it.
  EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
  EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1045u);
  EXPECT_NE(std::wstring(error.pszGetError()).find(L"Access denied"), std::wstring::npos)
      << Narrow(error.pszGetError());
  // The password never shows in the error.
  EXPECT_EQ(std::wstring(error.pszGetError()).find(wrong), std::wstring::npos);
  // A later opening with the right password works on a fresh handle.
  m_host.pszPassword = m_sPassword.c_str();
  CNAError again;
  EXPECT_EQ(cnx.bOpen(&again), 1) << Narrow(again.pszGetError());
}

}  // namespace
