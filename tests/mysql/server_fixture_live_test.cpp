// The `live` fixture's server answers the real client library, over TCP on
// loopback and over its Unix socket, as the test user in the test database.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace {

// The few client functions this check needs, bound by name as the library
// binds them.
struct ClientLibrary {
  using Init = void* (*)(void*);
  using Connect = void* (*)(void*, const char*, const char*, const char*, const char*, unsigned,
                            const char*, unsigned long);
  using Query = int (*)(void*, const char*, unsigned long);
  using Store = void* (*)(void*);
  using FetchRow = char** (*)(void*);
  using FreeResult = void (*)(void*);
  using Close = void (*)(void*);
  using Error = const char* (*)(void*);

  ClientLibrary() {
    handle = dlopen("libmariadb.so", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) handle = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    init = reinterpret_cast<Init>(dlsym(handle, "mysql_init"));
    connect = reinterpret_cast<Connect>(dlsym(handle, "mysql_real_connect"));
    query = reinterpret_cast<Query>(dlsym(handle, "mysql_real_query"));
    store = reinterpret_cast<Store>(dlsym(handle, "mysql_store_result"));
    fetchRow = reinterpret_cast<FetchRow>(dlsym(handle, "mysql_fetch_row"));
    freeResult = reinterpret_cast<FreeResult>(dlsym(handle, "mysql_free_result"));
    close = reinterpret_cast<Close>(dlsym(handle, "mysql_close"));
    error = reinterpret_cast<Error>(dlsym(handle, "mysql_error"));
  }
  ~ClientLibrary() {
    if (handle == nullptr) return;
    // The client library keeps process-wide state from its first use until
    // it is told to end.
    using End = void (*)();
    if (auto end = reinterpret_cast<End>(dlsym(handle, "mysql_server_end"))) end();
    dlclose(handle);
  }
  bool Complete() const {
    return init && connect && query && store && fetchRow && freeResult && close && error;
  }

  // Runs a one-value query; empty text and `failure` set when it fails.
  std::string QueryValue(void* mysql, const std::string& sql, std::string& failure) {
    if (query(mysql, sql.c_str(), sql.size()) != 0) {
      failure = error(mysql);
      return {};
    }
    void* result = store(mysql);
    if (result == nullptr) {
      failure = error(mysql);
      return {};
    }
    char** row = fetchRow(result);
    std::string value = row != nullptr && row[0] != nullptr ? row[0] : "";
    freeResult(result);
    return value;
  }

  void* handle = nullptr;
  Init init = nullptr;
  Connect connect = nullptr;
  Query query = nullptr;
  Store store = nullptr;
  FetchRow fetchRow = nullptr;
  FreeResult freeResult = nullptr;
  Close close = nullptr;
  Error error = nullptr;
};

TEST(MariaDbFixture, ServerAnswersOverTcpAndSocket) {
  kxtest::MariaDbConnection c;
  std::string failure;
  ASSERT_TRUE(kxtest::ReadMariaDbConnection(c, failure)) << failure;
  ClientLibrary client;
  ASSERT_NE(client.handle, nullptr) << dlerror();
  ASSERT_TRUE(client.Complete());

  struct Road {
    const char* name;
    const char* host;
    unsigned port;
    const char* socket;
  } const roads[] = {{"tcp", c.host.c_str(), c.port, nullptr},
                     {"socket", "localhost", 0, c.socket.c_str()}};
  for (const Road& road : roads) {
    void* mysql = client.init(nullptr);
    ASSERT_NE(mysql, nullptr);
    void* connected = client.connect(mysql, road.host, c.user.c_str(), c.password.c_str(),
                                     c.database.c_str(), road.port, road.socket, 0);
    ASSERT_NE(connected, nullptr) << road.name << ": " << client.error(mysql);
    const std::string version = client.QueryValue(mysql, "SELECT VERSION()", failure);
    EXPECT_NE(version.find("MariaDB"), std::string::npos) << road.name << ": " << version << failure;
    EXPECT_EQ(client.QueryValue(mysql, "SELECT DATABASE()", failure), c.database) << failure;
    client.close(mysql);
  }
}

}  // namespace
