// The `live` fixture's server answers the real client library, over TCP on
// loopback and over its Unix socket, as the test user in the test database.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "MariaDbClient.h"

namespace {

TEST(MariaDbFixture, ServerAnswersOverTcpAndSocket) {
  kxtest::MariaDbConnection c;
  std::string failure;
  ASSERT_TRUE(kxtest::ReadMariaDbConnection(c, failure)) << failure;
  kxtest::MariaDbClient client;
  ASSERT_TRUE(client.bLoaded()) << client.LoadError();

  struct Road {
    const char* name;
    const char* host;
    unsigned port;
    const char* socket;
  } const roads[] = {{"tcp", c.host.c_str(), c.port, nullptr},
                     {"socket", "localhost", 0, c.socket.c_str()}};
  for (const Road& road : roads) {
    void* mysql = client.Connect(road.host, c.user.c_str(), c.password.c_str(), c.database.c_str(),
                                 road.port, road.socket, failure);
    ASSERT_NE(mysql, nullptr) << road.name << ": " << failure;
    const std::string version = client.QueryValue(mysql, "SELECT VERSION()", failure);
    EXPECT_NE(version.find("MariaDB"), std::string::npos) << road.name << ": " << version << failure;
    EXPECT_EQ(client.QueryValue(mysql, "SELECT DATABASE()", failure), c.database) << failure;
    client.Close(mysql);
  }
}

}  // namespace
