// A fake MariaDB client library for the connection's tests without a
// server: the client functions the library binds, answering from a script
// the test sets (FakeClientScript.h). Built in variants that lack some
// optional functions (KXFAKE_NO_OPTIONS, KXFAKE_NO_SSL, KXFAKE_NO_NEXT).
// It never exports mariadb_get_infov: it plays an older client whose
// version text is the scripted one.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FakeClientScript.h"

#define KXFAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

FakeClientScript gstScript;

constexpr unsigned long knMultiStatements = 0x10000;
constexpr unsigned long knRememberOptions = 0x80000000ul;

struct FakeMysql {
  bool bConnected = false;
  unsigned nErrno = 0;
  std::string sError;
  std::string sCharset;
  bool bSSL = false;
  unsigned long nFlags = 0;
  std::string sDatabase;
  std::vector<std::string> vecPending;  // statements after the current one
  bool bResultReady = false;
};

struct FakeResult {
  std::vector<char*> vecRow;
};

std::string Text(const char* psz) { return psz != nullptr ? psz : "(null)"; }

void SetError(FakeMysql* p, unsigned n, const std::string& text) {
  p->nErrno = n;
  p->sError = text;
}

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  const std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// The name of "CREATE DATABASE `x`" or "USE `x`" without its backquotes.
std::string NameAfter(const std::string& statement, const std::string& keyword) {
  std::string s = Trim(statement.substr(keyword.size()));
  if (s.size() >= 2 && s.front() == '`' && s.back() == '`') s = s.substr(1, s.size() - 2);
  return s;
}

// Runs one statement: false with the handle's error set when it fails.
bool Run(FakeMysql* p, const std::string& statement) {
  const auto it = gstScript.mapFailingStatements.find(statement);
  if (it != gstScript.mapFailingStatements.end()) {
    SetError(p, it->second, "scripted failure of " + statement);
    return false;
  }
  if (statement.rfind("CREATE DATABASE ", 0) == 0) {
    gstScript.setDatabases.insert(NameAfter(statement, "CREATE DATABASE "));
  } else if (statement.rfind("USE ", 0) == 0) {
    const std::string sName = NameAfter(statement, "USE ");
    if (gstScript.setDatabases.count(sName) == 0) {
      SetError(p, 1049, "Unknown database '" + sName + "'");
      return false;
    }
    p->sDatabase = sName;
  }
  p->bResultReady = statement.rfind("SELECT", 0) == 0;
  return true;
}

unsigned long Escape(char* to, const char* from, unsigned long length, bool bDoubleQuote) {
  char* q = to;
  for (unsigned long i = 0; i < length; ++i) {
    const char c = from[i];
    if (bDoubleQuote) {
      if (c == '\'') *q++ = '\'';
      *q++ = c;
      continue;
    }
    switch (c) {
      case '\0': *q++ = '\\'; *q++ = '0'; break;
      case '\n': *q++ = '\\'; *q++ = 'n'; break;
      case '\r': *q++ = '\\'; *q++ = 'r'; break;
      case '\\': *q++ = '\\'; *q++ = '\\'; break;
      case '\'': *q++ = '\\'; *q++ = '\''; break;
      case '"': *q++ = '\\'; *q++ = '"'; break;
      case '\032': *q++ = '\\'; *q++ = 'Z'; break;
      default: *q++ = c; break;
    }
  }
  *q = 0;
  return static_cast<unsigned long>(q - to);
}

}  // namespace

KXFAKE_EXPORT FakeClientScript* kxfake_script() { return &gstScript; }

KXFAKE_EXPORT const char* mysql_get_client_info(void) { return gstScript.sClientVersion.c_str(); }

KXFAKE_EXPORT const char* mysql_get_server_info(void* h) {
  return h != nullptr ? gstScript.sServerVersion.c_str() : nullptr;
}

KXFAKE_EXPORT void* mysql_init(void* /*h*/) {
  gstScript.vecLog.push_back("init");
  if (gstScript.bInitReturnsNull) return nullptr;
  ++gstScript.nHandlesAlive;
  return new FakeMysql();
}

KXFAKE_EXPORT void* mysql_real_connect(void* h, const char* host, const char* user,
                                       const char* password, const char* db, unsigned int port,
                                       const char* socket, unsigned long flags) {
  (void)password;
  FakeMysql* p = static_cast<FakeMysql*>(h);
  char szFlags[32];
  std::snprintf(szFlags, sizeof(szFlags), "0x%lx", flags);
  gstScript.vecLog.push_back("connect host=" + Text(host) + " user=" + Text(user) +
                             " db=" + Text(db) + " port=" + std::to_string(port) +
                             " socket=" + Text(socket) + " flags=" + szFlags +
                             " charset=" + p->sCharset + (p->bSSL ? " ssl" : ""));
  if (p->bConnected) {
    SetError(p, 2058, "This handle is already connected");
    return nullptr;
  }
  unsigned nError = 0;
  if (!gstScript.vecConnectErrors.empty()) {
    nError = gstScript.vecConnectErrors.front();
    gstScript.vecConnectErrors.erase(gstScript.vecConnectErrors.begin());
  }
  if (nError == 0 && db != nullptr && *db != 0 && gstScript.setDatabases.count(db) == 0)
    nError = 1049;
  if (nError != 0) {
    SetError(p, nError, nError == 1049 ? "Unknown database '" + Text(db) + "'"
                                       : "scripted connect failure " + std::to_string(nError));
    if ((flags & knRememberOptions) == 0) {
      // A refused connect frees the options unless told to keep them.
      p->sCharset.clear();
      p->bSSL = false;
    }
    return nullptr;
  }
  SetError(p, 0, "");
  p->bConnected = true;
  p->nFlags = flags;
  p->sDatabase = db != nullptr ? db : "";
  return p;
}

KXFAKE_EXPORT void mysql_close(void* h) {
  gstScript.vecLog.push_back("close");
  if (h == nullptr) return;
  --gstScript.nHandlesAlive;
  delete static_cast<FakeMysql*>(h);
}

KXFAKE_EXPORT unsigned long mysql_escape_string(char* to, const char* from, unsigned long length) {
  gstScript.vecLog.push_back("escape " + std::string(from, length));
  return Escape(to, from, length, false);
}

KXFAKE_EXPORT int mysql_real_query(void* h, const char* text, unsigned long length) {
  FakeMysql* p = static_cast<FakeMysql*>(h);
  const std::string sText(text, length);
  gstScript.vecLog.push_back("query " + sText);
  std::vector<std::string> vecStatements;
  std::size_t nStart = 0;
  for (;;) {
    const std::size_t nSemi = sText.find(';', nStart);
    const std::string s = Trim(sText.substr(nStart, nSemi == std::string::npos ? std::string::npos
                                                                               : nSemi - nStart));
    if (!s.empty()) vecStatements.push_back(s);
    if (nSemi == std::string::npos) break;
    nStart = nSemi + 1;
  }
  p->vecPending.clear();
  p->bResultReady = false;
  if (vecStatements.size() > 1 && (p->nFlags & knMultiStatements) == 0) {
    SetError(p, 1064, "You have an error in your SQL syntax");
    return 1;
  }
  if (vecStatements.empty()) {
    SetError(p, 1065, "Query was empty");
    return 1;
  }
  SetError(p, 0, "");
  if (!Run(p, vecStatements[0])) return 1;
  p->vecPending.assign(vecStatements.begin() + 1, vecStatements.end());
  return 0;
}

KXFAKE_EXPORT void* mysql_store_result(void* h) {
  FakeMysql* p = static_cast<FakeMysql*>(h);
  if (!p->bResultReady) return nullptr;
  p->bResultReady = false;
  ++gstScript.nResultsAlive;
  return new FakeResult();
}

KXFAKE_EXPORT void* mysql_use_result(void* h) { return mysql_store_result(h); }

KXFAKE_EXPORT void mysql_free_result(void* r) {
  if (r == nullptr) return;
  --gstScript.nResultsAlive;
  delete static_cast<FakeResult*>(r);
}

KXFAKE_EXPORT void* mysql_fetch_fields(void* /*r*/) { return nullptr; }
KXFAKE_EXPORT unsigned int mysql_num_fields(void* /*r*/) { return 0; }
KXFAKE_EXPORT unsigned long* mysql_fetch_lengths(void* /*r*/) { return nullptr; }
KXFAKE_EXPORT void mysql_data_seek(void* /*r*/, unsigned long long /*n*/) {}
KXFAKE_EXPORT char** mysql_fetch_row(void* /*r*/) { return nullptr; }
KXFAKE_EXPORT unsigned long long mysql_num_rows(void* /*r*/) { return 0; }
KXFAKE_EXPORT unsigned long long mysql_insert_id(void* /*h*/) { return 0; }
KXFAKE_EXPORT unsigned int mysql_errno(void* h) {
  return h != nullptr ? static_cast<FakeMysql*>(h)->nErrno : 0;
}
KXFAKE_EXPORT const char* mysql_error(void* h) {
  return h != nullptr ? static_cast<FakeMysql*>(h)->sError.c_str() : "";
}
KXFAKE_EXPORT unsigned long long mysql_affected_rows(void* /*h*/) { return 0; }

#ifndef KXFAKE_NO_NEXT
KXFAKE_EXPORT int mysql_next_result(void* h) {
  FakeMysql* p = static_cast<FakeMysql*>(h);
  if (p->vecPending.empty()) return -1;
  const std::string s = p->vecPending.front();
  p->vecPending.erase(p->vecPending.begin());
  if (!Run(p, s)) {
    p->vecPending.clear();
    return 1;
  }
  return 0;
}

KXFAKE_EXPORT unsigned long mysql_real_escape_string(void* h, char* to, const char* from,
                                                     unsigned long length) {
  (void)h;
  gstScript.vecLog.push_back("real_escape " + std::string(from, length));
  return Escape(to, from, length, gstScript.bNoBackslashEscapes);
}
#endif

KXFAKE_EXPORT int mysql_set_character_set(void* /*h*/, const char* name) {
  gstScript.vecLog.push_back("set_character_set " + Text(name));
  return 0;
}

#ifndef KXFAKE_NO_SSL
KXFAKE_EXPORT char mysql_ssl_set(void* h, const char* key, const char* cert, const char* ca,
                                 const char* capath, const char* cipher) {
  gstScript.vecLog.push_back("ssl_set " + Text(key) + "|" + Text(cert) + "|" + Text(ca) + "|" +
                             Text(capath) + "|" + Text(cipher));
  if (gstScript.nSslSetResult == 0) static_cast<FakeMysql*>(h)->bSSL = true;
  return static_cast<char>(gstScript.nSslSetResult);
}
#endif

#ifndef KXFAKE_NO_OPTIONS
KXFAKE_EXPORT int mysql_options(void* h, int option, const void* value) {
  gstScript.vecLog.push_back("options " + std::to_string(option) + " " +
                             Text(static_cast<const char*>(value)));
  if (option == 7 && !gstScript.sRefusedCharset.empty() &&
      gstScript.sRefusedCharset == Text(static_cast<const char*>(value)))
    return 1;
  if (gstScript.nOptionsResult == 0 && option == 7)
    static_cast<FakeMysql*>(h)->sCharset = static_cast<const char*>(value);
  return gstScript.nOptionsResult;
}
#endif
