// What every test program may need: where the built modules are, and the
// connection parameters of the throwaway MariaDB server the `live` fixture
// started.
#pragma once

#include <string>

namespace kxtest {

std::string LibraryPath();          // kx200maria64.so
std::string StandInVmPath();        // stand-in runtime module
std::string StandInVmNoExecPath();  // runtime module without "Execution"
// Variants of the stand-in runtime module, built beside it: one without
// "FinConversion" and "nModuloEx", one without "pQueryProxy".
std::string StandInVmNoFinPath();
std::string StandInVmNoProxyPath();
std::string HostPath();             // kxhost
std::string MdbdeployPath();        // the installer program; empty when not built
// The fake MariaDB client library of the mysql tests, by variant: "full",
// "noopt" (no mysql_options), "nossl" (no mysql_ssl_set), "nonext" (no
// mysql_next_result nor mysql_real_escape_string). An absolute path.
std::string FakeClientPath(const std::string& variant);
// A file of the source tree, from its path relative to the tree's root.
std::string SourcePath(const std::string& relative);

// Connection parameters written by the fixture.
struct MariaDbConnection {
  std::string host;
  unsigned port = 0;
  std::string socket;
  std::string user;
  std::string password;
  std::string database;
  // A user that must connect over TLS, and the client's certificate files.
  std::string sslUser;
  std::string sslPassword;
  std::string sslCA;
  std::string sslCert;
  std::string sslKey;
  // A user whose name holds a Latin-1 letter (UTF-8 here).
  std::string latin1User;
  std::string latin1Password;
};

// Reads the file named by KX_MARIADB_CONF; false (with `error` set) when the
// fixture did not run or wrote nothing usable.
bool ReadMariaDbConnection(MariaDbConnection& connection, std::string& error);

// Runs a shell command and returns its standard output; `status` receives
// the exit status.
std::string RunCommand(const std::string& command, int& status);

}  // namespace kxtest
