// The MariaDB server a benchmark reads from, and the median of its passes.
//
// A benchmark runs either on the server of a connection file it is given
// (the key=value file tests/fixtures/mariadb_start.sh writes) or on a
// throwaway server it starts with that script in a fresh temporary
// directory and stops at its end. Header only, standard library and POSIX
// alone; the program defines KX_SOURCE_DIR (the source tree, where the
// fixture scripts are).
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace kxbench {

struct stServer {
  std::map<std::string, std::string> mapConf;
  std::string sStartedDir;  // non-empty when this program started it
};

// Reads the connection file at `path` into server->mapConf. True when it
// names a port.
inline bool bReadConf(const std::string& path, stServer* server) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t n = line.find('=');
    if (n != std::string::npos) server->mapConf[line.substr(0, n)] = line.substr(n + 1);
  }
  return !server->mapConf["port"].empty();
}

// Starts a throwaway server in a new directory made from `pszDirTemplate`
// (a mkdtemp template, "/tmp/nameXXXXXX"). False when it could not be made,
// started or read; StopServer cleans up what was started either way.
inline bool bStartServer(stServer* server, const char* pszDirTemplate) {
  std::vector<char> dir(pszDirTemplate, pszDirTemplate + std::char_traits<char>::length(pszDirTemplate) + 1);
  if (mkdtemp(dir.data()) == nullptr) return false;
  server->sStartedDir = std::string(dir.data()) + "/server";
  const std::string sCommand = std::string(KX_SOURCE_DIR) + "/tests/fixtures/mariadb_start.sh '" +
                               server->sStartedDir + "' >/dev/null";
  if (std::system(sCommand.c_str()) != 0) return false;
  return bReadConf(server->sStartedDir + "/connection.conf", server);
}

// Stops the server this program started (nothing for a given one) and
// removes its directory.
inline void StopServer(const stServer& server) {
  if (server.sStartedDir.empty()) return;
  const std::string sDir = server.sStartedDir.substr(0, server.sStartedDir.rfind('/'));
  const std::string sCommand = std::string(KX_SOURCE_DIR) + "/tests/fixtures/mariadb_stop.sh '" +
                               server.sStartedDir + "' >/dev/null 2>&1; rm -rf '" + sDir + "'";
  if (std::system(sCommand.c_str()) != 0) std::fprintf(stderr, "the server did not stop cleanly\n");
}

// The server of `pszConf` (null or empty: a throwaway one in a directory
// made from `pszDirTemplate`). 0 when there is one; else a message has been
// printed and the program's exit status is returned (2: the file is
// unreadable, 1: no server could be started, whatever was started is
// stopped).
inline int nOpenServer(const char* pszConf, const char* pszDirTemplate, stServer* server) {
  if (pszConf != nullptr && *pszConf != 0) {
    if (bReadConf(pszConf, server)) return 0;
    std::fprintf(stderr, "cannot read the connection file %s\n", pszConf);
    return 2;
  }
  if (bStartServer(server, pszDirTemplate)) return 0;
  std::fprintf(stderr, "the server could not be started\n");
  StopServer(*server);
  return 1;
}

// The median of the passes' figures (0 for none).
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace kxbench
