// kxhost's SQL-runtime mode against the fixture's server: a SELECT prints
// its handle, its rows and a fetch end without error; an UPDATE prints
// handle 0; the table list with kinds and the long form prints only the
// current schema's records, while a second schema has tables too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "MariaDbClient.h"
#include "TestSupport.h"

namespace {

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The lines of `out` that begin with `prefix`, the prefix taken off.
std::vector<std::string> Lines(const std::string& out, const std::string& prefix) {
  std::vector<std::string> vec;
  for (size_t nPos = out.find(prefix); nPos != std::string::npos; nPos = out.find(prefix, nPos + 1)) {
    if (nPos != 0 && out[nPos - 1] != '\n') continue;
    const size_t nStart = nPos + prefix.size();
    vec.push_back(out.substr(nStart, out.find('\n', nStart) - nStart));
  }
  return vec;
}

class sqlfaceKxhost : public testing::Test {
 protected:
  void SetUp() override {
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_c, failure)) << failure;
    ASSERT_TRUE(m_client.bLoaded()) << m_client.LoadError();
    m_pSession = m_client.Connect(m_c, failure);
    ASSERT_NE(m_pSession, nullptr) << failure;
    m_sTable = "kxsqlhost_" + std::to_string(getpid());
    m_sOther = "kxtest_sh" + std::to_string(getpid());
    Drop();
  }
  void TearDown() override {
    if (m_pSession == nullptr) return;
    Drop();
    m_client.Close(m_pSession);
  }
  void Drop() {
    std::string failure;
    m_client.Execute(m_pSession, "DROP VIEW IF EXISTS " + m_sTable + "_v", failure);
    m_client.Execute(m_pSession, "DROP TABLE IF EXISTS " + m_sTable, failure);
    m_client.Execute(m_pSession, "DROP DATABASE IF EXISTS " + m_sOther, failure);
  }
  bool Run(const std::string& sql) {
    std::string failure;
    const bool b = m_client.Execute(m_pSession, sql, failure);
    EXPECT_TRUE(b) << sql << ": " << failure;
    return b;
  }
  std::string Host(const std::string& extra, int& status) {
    const std::string sCommand = kxtest::HostPath() + " --host " + Quoted(m_c.host) + " --port " +
                                 std::to_string(m_c.port) + " --user " + Quoted(m_c.user) + " --password " +
                                 Quoted(m_c.password) + " --database " + Quoted(m_c.database) + " " + extra +
                                 " 2>&1";
    return kxtest::RunCommand(sCommand, status);
  }

  kxtest::MariaDbConnection m_c;
  kxtest::MariaDbClient m_client;
  void* m_pSession = nullptr;
  std::string m_sTable, m_sOther;
};

TEST_F(sqlfaceKxhost, RunsTextsAndListsTables) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (a INT) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("INSERT INTO " + m_sTable + " VALUES (1)"));
  ASSERT_TRUE(Run("CREATE VIEW " + m_sTable + "_v AS SELECT a FROM " + m_sTable));
  ASSERT_TRUE(Run("CREATE DATABASE " + m_sOther));
  ASSERT_TRUE(Run("CREATE TABLE " + m_sOther + "." + m_sTable + "_x (a INT)"));
  ASSERT_TRUE(Run("CREATE VIEW " + m_sOther + "." + m_sTable + "_y AS SELECT a FROM " + m_sOther + "." +
                  m_sTable + "_x"));

  int nStatus = -1;
  const std::string out = Host("--sql \"SELECT 1, 'a'\" --sql " + Quoted("UPDATE " + m_sTable + " SET a = 2") +
                                   " --table-list 0x23",
                               nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  const std::vector<std::string> vecExecute = Lines(out, "-> sql bExecute ");
  ASSERT_EQ(vecExecute.size(), 2u) << out;
  const std::string sSelect = "\"SELECT 1, 'a'\": 1, statement ";
  ASSERT_EQ(vecExecute[0].compare(0, sSelect.size(), sSelect), 0) << vecExecute[0];
  EXPECT_GT(std::stoi(vecExecute[0].substr(sSelect.size())), 0) << "a result set has a handle";
  EXPECT_EQ(Lines(out, "   row: "), std::vector<std::string>{"1\ta"});
  EXPECT_EQ(Lines(out, "-> sql bFetch: "), std::vector<std::string>{"0, error: none"});
  EXPECT_EQ(vecExecute[1], "\"UPDATE " + m_sTable + " SET a = 2\": 1, statement 0");

  EXPECT_EQ(Lines(out, "-> sql bGetTableList(0x23): "), std::vector<std::string>{"1"}) << out;
  const std::vector<std::string> vecRecords = Lines(out, "   record: ");
  bool bTable = false, bView = false;
  for (const std::string& sRecord : vecRecords) {
    // name, schema, empty, type
    const size_t nTab = sRecord.find('\t');
    ASSERT_NE(nTab, std::string::npos) << sRecord;
    EXPECT_EQ(sRecord.substr(nTab + 1, sRecord.find('\t', nTab + 1) - nTab - 1), m_c.database)
        << "a record of another schema: " << sRecord;
    bTable = bTable || sRecord == m_sTable + "\t" + m_c.database + "\t\tTABLE";
    bView = bView || sRecord == m_sTable + "_v\t" + m_c.database + "\t\tVIEW";
  }
  EXPECT_TRUE(bTable && bView) << out;
  EXPECT_NE(out.find("-> sql bCloseConnection: 1\n-> sql nExternalRelease"), std::string::npos) << out;
  EXPECT_EQ(out.find(m_c.password), std::string::npos) << "the password was printed";
  std::string failure;
  EXPECT_EQ(m_client.QueryValue(m_pSession, "SELECT a FROM " + m_sTable, failure), "2") << failure;
}

// A text the server refuses is a failed step with the server's error.
TEST_F(sqlfaceKxhost, RefusedTextFails) {
  int nStatus = -1;
  const std::string out = Host("--sql " + Quoted("SELECT * FROM " + m_sTable + "_missing"), nStatus);
  EXPECT_EQ(nStatus, 1) << out;
  const size_t nExecute = out.find("-> sql bExecute ");
  ASSERT_NE(nExecute, std::string::npos) << out;
  EXPECT_NE(out.find(": 0, statement 0\n   error: ", nExecute), std::string::npos) << out;
  EXPECT_NE(out.find("doesn't exist", nExecute), std::string::npos) << out;
}

}  // namespace
