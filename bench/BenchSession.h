// The sessions a benchmark opens on its MariaDB server (see BenchServer.h):
//
// - BenchDriver: the MariaDB/MySQL driver made the process's driver for its
//   scope, as the library's entry installs it; at its end the previous
//   driver is put back, the driver deleted and the client library unloaded.
// - BenchHost: the platform's description of a connection to the server of
//   a connection file (host, user, password, port, database).
// - bOpenRawSession: the client library's own session on the same server.
// - BenchConnection: a connection of the process's driver to the server,
//   its error object, a driver statement and the client's own session,
//   all given back at its end.
// - nRunBench: a benchmark program's run around its measures (server,
//   passes, the stand-in runtime bound).
//
// Header only, for programs that link the native-access layer, the
// MariaDB/MySQL driver library and the stand-in host, see the tests'
// support headers and define KX_STANDIN_VM_PATH and KX_SOURCE_DIR.
#pragma once

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "AnyRuntime.h"
#include "BenchServer.h"
#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CMySQLDriver.h"
#include "CMySQLStatementSQL.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"
#include "TestConnection.h"

namespace kxbench {

class BenchDriver {
 public:
  // After: bReady() and the driver is the process's, or a message has been
  // printed and nothing was installed.
  BenchDriver() {
    m_pclDriver = new CMySQLDriver();
    if (m_pclDriver->bInitDriver() != 1) {
      std::fprintf(stderr, "the driver could not be initialised\n");
      delete m_pclDriver;
      m_pclDriver = nullptr;
      return;
    }
    CNADriverLock clLock;
    m_pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = m_pclDriver;
  }
  // Everything made on the driver (connections, statements) is given back
  // by now.
  ~BenchDriver() {
    if (m_pclDriver == nullptr) return;
    {
      CNADriverLock clLock;
      CNADriver::s_pclDriver = m_pclPrevious;
    }
    delete m_pclDriver;
    CNAFunctionLoader::g_Term();
  }
  BenchDriver(const BenchDriver&) = delete;
  BenchDriver& operator=(const BenchDriver&) = delete;
  bool bReady() const { return m_pclDriver != nullptr; }

 private:
  CMySQLDriver* m_pclDriver = nullptr;
  CNADriver* m_pclPrevious = nullptr;
};

// Its texts live as long as it does; `host` points into them.
struct BenchHost {
  kxtest::TestHostDescription host;
  std::wstring sServer, sUser, sPassword, sExtended;

  explicit BenchHost(std::map<std::string, std::string> conf) {
    sServer = Wide(conf["host"]);
    sUser = Wide(conf["user"]);
    sPassword = Wide(conf["password"]);
    sExtended = L"Server Port=" + Wide(conf["port"]) + L";Initial Catalog=" + Wide(conf["database"]);
    host.pszDataSource = sServer.c_str();
    host.pszUser = sUser.c_str();
    host.pszPassword = sPassword.c_str();
    host.pszExtendedInfo = sExtended.c_str();
  }
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;

  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
};

// Opens the client's own session on the server of `conf` into *raw (names
// in utf8). False, with a message, when it is refused; *raw is then the
// handle to close, or null. The client library must be loaded (a driver
// initialised).
inline bool bOpenRawSession(std::map<std::string, std::string> conf, MYSQL** raw) {
  *raw = __mysql_init(nullptr);
  if (*raw == nullptr ||
      __mysql_real_connect(*raw, conf["host"].c_str(), conf["user"].c_str(), conf["password"].c_str(),
                           conf["database"].c_str(), static_cast<unsigned>(std::atoi(conf["port"].c_str())),
                           nullptr, 0) == nullptr) {
    std::fprintf(stderr, "raw session refused\n");
    return false;
  }
  __mysql_real_query(*raw, "SET NAMES utf8", 14);
  return true;
}

// The objects are the connection's; the caller uses them, never releases
// them. Made before the driver's end, and ended before it.
struct BenchConnection {
  BenchHost host;
  CMySQLConnection* pCnx = nullptr;
  CNAError* pError = nullptr;
  CMySQLStatementSQL* st = nullptr;  // after bOpen
  MYSQL* pRaw = nullptr;             // set by the caller (bOpenRawSession)
  std::string sDrop;

  // A connection to the server of `conf`, not open yet; its end drops
  // `table` through the statement.
  BenchConnection(const std::map<std::string, std::string>& conf, const char* table)
      : host(conf), sDrop(std::string("DROP TABLE IF EXISTS ") + table) {
    pCnx = new CMySQLConnection(L"bench", &host.host);
    pCnx->AddRef();
    pError = new CNAError();
    pError->AddRef();
  }
  // Closes the raw session, drops the table, closes the connection and
  // releases everything.
  ~BenchConnection() {
    if (pRaw != nullptr) __mysql_close(pRaw);
    if (st != nullptr) {
      st->bExecuteDirect(sDrop.c_str(), NA_WRITEPARSE_NONE);
      st->nRelease();
    }
    pCnx->bClose(nullptr);
    pCnx->nRelease();
    pError->nRelease();
  }
  BenchConnection(const BenchConnection&) = delete;
  BenchConnection& operator=(const BenchConnection&) = delete;

  // Opens the connection and makes the statement. False, with a message,
  // when the server refuses it.
  bool bOpen() {
    if (!pCnx->bOpen(pError)) {
      std::fprintf(stderr, "cannot connect: %ls\n", pError->pszGetError());
      return false;
    }
    st = new CMySQLStatementSQL(pCnx, pError);
    st->AddRef();
    return true;
  }
};

// The run of a benchmark program: the client library kept mapped after
// the module's end unloads it (so that its one-time set-up is not reported
// as lost); the server of the connection file argv[1] (else of
// KX_MARIADB_CONF, else a throwaway one in a directory made from
// `pszDirTemplate`); argv[2] passes, at least `nMinPasses`
// (`nDefaultPasses` without it); the stand-in runtime loaded and its
// conversions bound, its operators too when `bOperators`; then
// bench(server, passes), whose result is the exit status. A throwaway
// server is stopped at the end.
template <class F>
int nRunBench(int argc, char** argv, const char* pszDirTemplate, int nMinPasses, int nDefaultPasses, bool bOperators,
              F bench) {
  dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE);
  stServer server;
  const char* pszConf = argc > 1 ? argv[1] : std::getenv("KX_MARIADB_CONF");
  const int nPasses = argc > 2 ? std::max(nMinPasses, std::atoi(argv[2])) : nDefaultPasses;
  if (const int nStatus = nOpenServer(pszConf, pszDirTemplate, &server)) return nStatus;
  StandInVm vm(KX_STANDIN_VM_PATH);
  CInformationModule::ms_piStrMemAlloc = reinterpret_cast<IStrMemAlloc*>(vm.GetItem(13));
  int nStatus = 1;
  if (bInitTNConvFromVM(vm.hModule(), 2, 2) != 1 || (bOperators && bInitTNCalcFromVM(vm.hModule(), 2, 2) != 1)) {
    std::fprintf(stderr, "the stand-in runtime could not be bound\n");
  } else {
    nStatus = bench(server, nPasses);
  }
  StopServer(server);
  return nStatus;
}

}  // namespace kxbench
