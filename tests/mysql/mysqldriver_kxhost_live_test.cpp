// kxhost, the stand-in runtime's driver program, asks the library's driver
// whether tables exist (slot 26) on the fixture's server: a table its
// set-up creates answers "1 1", a missing one "1 0", and its own table is
// gone afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MariaDbClient.h"
#include "TestSupport.h"

namespace {

// The text in single quotes for the shell.
std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

TEST(mysqldriverKxHost, PrintsTableExistenceOfItsOwnAndOfAMissingTable) {
  kxtest::MariaDbConnection c;
  std::string failure;
  ASSERT_TRUE(kxtest::ReadMariaDbConnection(c, failure)) << failure;
  int nStatus = -1;
  const std::string out = kxtest::RunCommand(
      kxtest::HostPath() + " --host " + Quoted(c.host) + " --port " + std::to_string(c.port) +
          " --user " + Quoted(c.user) + " --password " + Quoted(c.password) + " --database " +
          Quoted(c.database) + " 2>&1",
      nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  size_t nPos = out.find("-> bOpenConnection: 1");
  ASSERT_NE(nPos, std::string::npos) << out;
  const size_t nSetUp = out.find("-> set-up: table kxhost_t", nPos);
  ASSERT_NE(nSetUp, std::string::npos) << out;
  const std::string sTable =
      out.substr(nSetUp + 17, out.find(' ', nSetUp + 17) - (nSetUp + 17));
  nPos = nSetUp;
  for (const char* psz : {"-> bTableExists (slot 26), the table kxhost created: 1 1\n",
                          "-> bTableExists (slot 26), a missing table: 1 0\n", "-> bCloseConnection: 1",
                          "kxhost: done"}) {
    const size_t nFound = out.find(psz, nPos);
    ASSERT_NE(nFound, std::string::npos) << psz << "\n" << out;
    nPos = nFound;
  }
  // kxhost drops what it made.
  std::unique_ptr<kxtest::MariaDbClient> client(new kxtest::MariaDbClient());
  ASSERT_TRUE(client->bLoaded()) << client->LoadError();
  void* pSession = client->Connect(c, failure);
  ASSERT_NE(pSession, nullptr) << failure;
  kxtest::MariaDbClient::Result result;
  EXPECT_TRUE(client->Query(pSession, "SHOW TABLES LIKE '" + sTable + "'", result, failure)) << failure;
  EXPECT_TRUE(result.rows.empty()) << sTable << " was left behind";
  client->Close(pSession);
}

}  // namespace
