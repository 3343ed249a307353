// kxhost's server arguments and its own session on that server, through
// the client library the driver uses, for the set-up the driver's answers
// are checked against (tables kxhost creates and drops).
//
// CKxHostSession loads the client library with dlopen and keeps it mapped to
// the end of the process (RTLD_NODELETE): the module end of the library
// unloads it, and its one-time set-up must stay visible to the leak
// checker. The session is closed at its end.
#pragma once

#include <dlfcn.h>

#include <string>

// The text with every occurrence of the password masked: server errors may
// echo what they were given, and nothing kxhost prints may show it.
inline std::string Masked(std::string s, const std::string& sPassword) {
  if (sPassword.empty()) return s;
  for (size_t n = s.find(sPassword); n != std::string::npos; n = s.find(sPassword, n + 3))
    s.replace(n, sPassword.size(), "***");
  return s;
}

// The server to open, from the command line.
struct STServer {
  std::string sHost, sSocket, sUser, sPassword, sDatabase;
  unsigned int nPort = 0;
  bool bGiven() const { return !sHost.empty() || !sSocket.empty(); }
};

class CKxHostSession {
 public:
  CKxHostSession() = default;
  CKxHostSession(const CKxHostSession&) = delete;
  CKxHostSession& operator=(const CKxHostSession&) = delete;
  ~CKxHostSession() {
    if (m_pMySQL != nullptr && m_pfnClose != nullptr) m_pfnClose(m_pMySQL);
  }

  // Connects as the server's arguments say; false with *failure set.
  bool bConnect(const STServer& stServer, std::string* failure) {
    void* h = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_NODELETE);
    if (h == nullptr) h = dlopen("libmariadb.so", RTLD_NOW | RTLD_NODELETE);
    if (h == nullptr) {
      *failure = "the client library cannot be loaded";
      return false;
    }
    auto pfnInit = reinterpret_cast<void* (*)(void*)>(dlsym(h, "mysql_init"));
    auto pfnConnect = reinterpret_cast<void* (*)(void*, const char*, const char*, const char*,
                                                 const char*, unsigned, const char*, unsigned long)>(
        dlsym(h, "mysql_real_connect"));
    m_pfnQuery = reinterpret_cast<int (*)(void*, const char*, unsigned long)>(dlsym(h, "mysql_real_query"));
    m_pfnStore = reinterpret_cast<void* (*)(void*)>(dlsym(h, "mysql_store_result"));
    m_pfnFree = reinterpret_cast<void (*)(void*)>(dlsym(h, "mysql_free_result"));
    m_pfnError = reinterpret_cast<const char* (*)(void*)>(dlsym(h, "mysql_error"));
    m_pfnClose = reinterpret_cast<void (*)(void*)>(dlsym(h, "mysql_close"));
    dlclose(h);
    if (pfnInit == nullptr || pfnConnect == nullptr || m_pfnQuery == nullptr || m_pfnStore == nullptr ||
        m_pfnFree == nullptr || m_pfnError == nullptr || m_pfnClose == nullptr) {
      *failure = "the client library lacks a function";
      return false;
    }
    m_pMySQL = pfnInit(nullptr);
    if (m_pMySQL == nullptr) {
      *failure = "mysql_init failed";
      return false;
    }
    auto psz = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    if (pfnConnect(m_pMySQL, psz(stServer.sHost), psz(stServer.sUser), psz(stServer.sPassword),
                   psz(stServer.sDatabase), stServer.nPort, psz(stServer.sSocket), 0) == nullptr) {
      *failure = m_pfnError(m_pMySQL);
      m_pfnClose(m_pMySQL);
      m_pMySQL = nullptr;
      return false;
    }
    return true;
  }
  // Runs one statement and drops any rows; false with *failure set.
  bool bExecute(const std::string& sql, std::string* failure) {
    if (m_pMySQL == nullptr) return false;
    if (m_pfnQuery(m_pMySQL, sql.data(), sql.size()) != 0) {
      *failure = m_pfnError(m_pMySQL);
      return false;
    }
    if (void* pResult = m_pfnStore(m_pMySQL)) m_pfnFree(pResult);
    return true;
  }

 private:
  void* m_pMySQL = nullptr;
  int (*m_pfnQuery)(void*, const char*, unsigned long) = nullptr;
  void* (*m_pfnStore)(void*) = nullptr;
  void (*m_pfnFree)(void*) = nullptr;
  const char* (*m_pfnError)(void*) = nullptr;
  void (*m_pfnClose)(void*) = nullptr;
};

