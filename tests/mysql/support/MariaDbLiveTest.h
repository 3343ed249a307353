// MariaDbLiveTest: the base of the live tests that open connections of the
// library on the fixture's server. It installs a counting string memory
// (every block must come back), pins the client library so the leak checker
// still sees its one-time set-up after the module end unloads it, reads the
// fixture's parameters and keeps the test's own session, ended last (after
// the library's last client call). m_sTable is a table name of this process,
// dropped at the end.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "CInformationDLL.h"
#include "CNAFunctionLoader.h"
#include "MariaDbClient.h"
#include "StandInStrMemAlloc.h"
#include "TestSupport.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/TestConnection.h"

namespace kxtest {

class MariaDbLiveTest : public testing::Test {
 protected:
  // `tablePrefix` names this test's table ("<prefix><pid>").
  explicit MariaDbLiveTest(const char* tablePrefix) : m_pszTablePrefix(tablePrefix) {}

  void SetUp() override {
    m_piSavedAlloc = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
    ASSERT_NE(dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE), nullptr) << dlerror();
    std::string failure;
    ASSERT_TRUE(ReadMariaDbConnection(m_c, failure)) << failure;
    m_client.reset(new MariaDbClient());
    ASSERT_TRUE(m_client->bLoaded()) << m_client->LoadError();
    m_pSession = m_client->Connect(m_c, failure);
    ASSERT_NE(m_pSession, nullptr) << failure;
    m_sTable = m_pszTablePrefix + std::to_string(getpid());
  }
  void TearDown() override {
    CNAFunctionLoader::g_Term();
    if (m_pSession != nullptr) {
      std::string failure;
      m_client->Execute(m_pSession, "DROP TABLE IF EXISTS " + m_sTable, failure);
      m_client->Close(m_pSession);
    }
    m_client.reset();
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a string block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSavedAlloc;
  }

  // A description of the fixture's server over TCP as `user`, on the
  // fixture's database unless `keys` names one, then `keys`.
  void Describe(TestHostDescription& host, const std::string& user, const std::string& password,
                const std::wstring& keys) {
    m_sServer = WideFromUTF8(m_c.host);
    m_sUser = WideFromUTF8(user);
    m_sPassword = WideFromUTF8(password);
    m_sExtended = L"Server Port=" + std::to_wstring(m_c.port);
    if (keys.find(L"Initial Catalog") == std::wstring::npos)
      m_sExtended += L";Initial Catalog=" + WideFromUTF8(m_c.database);
    if (!keys.empty()) m_sExtended += L";" + keys;
    host.pszDataSource = m_sServer.c_str();
    host.pszUser = m_sUser.c_str();
    host.pszPassword = m_sPassword.c_str();
    host.pszExtendedInfo = m_sExtended.c_str();
  }
  // The first value of `sql` over the test's own session (a failure fails
  // the test).
  std::string Value(const std::string& sql) {
    std::string failure;
    const std::string v = m_client->QueryValue(m_pSession, sql, failure);
    EXPECT_TRUE(failure.empty()) << sql << ": " << failure;
    return v;
  }
  // The server's CREATE TABLE text of `table` ("" and a failed test when
  // it has none).
  std::string CreateText(const std::string& table) {
    MariaDbClient::Result result;
    std::string failure;
    const bool b = m_client->Query(m_pSession, "SHOW CREATE TABLE " + table, result, failure);
    EXPECT_TRUE(b) << failure;
    EXPECT_EQ(1u, result.rows.size());
    if (!b || result.rows.size() != 1 || result.rows[0].size() < 2) return "";
    return result.rows[0][1].value_or("");
  }
  // Whether the test's database holds a table named `table`.
  bool TableExists(const std::string& table) {
    return Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"
                 " AND TABLE_NAME = '" + table + "'") == "1";
  }
  // Runs `sql` over the test's own session; false (and a failed test) when
  // it fails.
  bool Run(const std::string& sql) {
    std::string failure;
    const bool b = m_client->Execute(m_pSession, sql, failure);
    EXPECT_TRUE(b) << sql << ": " << failure;
    return b;
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSavedAlloc = nullptr;
  MariaDbConnection m_c;
  std::unique_ptr<MariaDbClient> m_client;
  void* m_pSession = nullptr;
  std::string m_sTable;
  std::wstring m_sServer, m_sUser, m_sPassword, m_sExtended;

 private:
  const char* m_pszTablePrefix;
};

}  // namespace kxtest
