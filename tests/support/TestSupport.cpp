#include "TestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace kxtest {

std::string LibraryPath() { return KX_LIBRARY_PATH; }
std::string StandInVmPath() { return KX_STANDIN_VM_PATH; }
std::string StandInVmNoExecPath() { return KX_STANDIN_VM_NOEXEC_PATH; }

namespace {
// The directory the stand-in module was built in, with a final "/".
std::string StandInDirectory() {
  const std::string path = KX_STANDIN_VM_PATH;
  const size_t nSlash = path.rfind('/');
  return nSlash == std::string::npos ? std::string("./") : path.substr(0, nSlash + 1);
}
}  // namespace

std::string StandInVmNoFinPath() { return StandInDirectory() + "kxstandinvm_nofin.so"; }
std::string StandInVmNoProxyPath() { return StandInDirectory() + "kxstandinvm_noproxy.so"; }
std::string HostPath() { return KX_HOST_PATH; }

std::string FakeClientPath(const std::string& variant) {
  return std::string(KX_FAKE_CLIENT_DIR) + "/libkxfakeclient_" + variant + ".so";
}

std::string SourcePath(const std::string& relative) { return std::string(KX_SOURCE_DIR) + "/" + relative; }

std::string MdbdeployPath() {
#ifdef KX_MDBDEPLOY_PATH
  return KX_MDBDEPLOY_PATH;
#else
  return std::string();
#endif
}

bool ReadMariaDbConnection(MariaDbConnection& connection, std::string& error) {
  const char* pszPath = std::getenv("KX_MARIADB_CONF");
  if (pszPath == nullptr) {
    error = "KX_MARIADB_CONF is not set";
    return false;
  }
  std::ifstream in(pszPath);
  if (!in) {
    error = std::string("cannot read ") + pszPath;
    return false;
  }
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(in, line)) {
    const size_t nEq = line.find('=');
    if (nEq != std::string::npos) values[line.substr(0, nEq)] = line.substr(nEq + 1);
  }
  connection.host = values["host"];
  connection.port = static_cast<unsigned>(std::strtoul(values["port"].c_str(), nullptr, 10));
  connection.socket = values["socket"];
  connection.user = values["user"];
  connection.password = values["password"];
  connection.database = values["database"];
  connection.sslUser = values["ssl_user"];
  connection.sslPassword = values["ssl_password"];
  connection.sslCA = values["ssl_ca"];
  connection.sslCert = values["ssl_cert"];
  connection.sslKey = values["ssl_key"];
  connection.latin1User = values["latin1_user"];
  connection.latin1Password = values["latin1_password"];
  if (connection.port == 0 || connection.user.empty()) {
    error = std::string("incomplete connection parameters in ") + pszPath;
    return false;
  }
  return true;
}

std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* pf = popen(command.c_str(), "r");
  if (pf == nullptr) {
    status = -1;
    return out;
  }
  char sz[4096];
  size_t n;
  while ((n = std::fread(sz, 1, sizeof(sz), pf)) > 0) out.append(sz, n);
  const int rc = pclose(pf);
  status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

}  // namespace kxtest
