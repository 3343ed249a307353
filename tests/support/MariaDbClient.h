// The MariaDB client library as the `live` tests of every area use it: loaded with dlopen
// and bound by name, as the library itself binds it, so that the tests need
// no client headers at build time.
//
// One MariaDbClient loads libmariadb.so (or libmariadb.so.3) and binds the
// few functions below; its destructor ends the client library's process-wide
// state and unloads it, so every session must be closed before. Sessions are
// the client library's own MYSQL handles, seen as void*.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace kxtest {

class MariaDbClient {
 public:
  // A result set: the number of columns and the rows, each value as the
  // bytes the server sent (std::nullopt for NULL).
  struct Result {
    unsigned fields = 0;
    std::vector<std::vector<std::optional<std::string>>> rows;
  };

  MariaDbClient();
  ~MariaDbClient();
  MariaDbClient(const MariaDbClient&) = delete;
  MariaDbClient& operator=(const MariaDbClient&) = delete;

  // True when the library was loaded and every function bound; else
  // LoadError() says what is missing.
  bool bLoaded() const;
  const std::string& LoadError() const { return m_sLoadError; }

  // Opens a session; null (with `failure` set, the handle freed) when the
  // connection is refused. A null socket with a port connects over TCP.
  void* Connect(const char* host, const char* user, const char* password, const char* database,
                unsigned port, const char* socket, std::string& failure);
  // The fixture's server over TCP on loopback.
  void* Connect(const MariaDbConnection& c, std::string& failure);
  void Close(void* mysql);

  // Runs one statement that returns a result set and reads all of it; false
  // (with `failure` set) when the server refuses it or returns no result.
  bool Query(void* mysql, const std::string& sql, Result& result, std::string& failure);
  // Runs one statement that returns no result set (DDL, DML, transaction
  // control); false (with `failure` set) when the server refuses it. A
  // result set the statement returns after all is read and dropped.
  bool Execute(void* mysql, const std::string& sql, std::string& failure);
  // The first column of the first row (empty when there is none, or NULL);
  // empty with `failure` set when the query fails.
  std::string QueryValue(void* mysql, const std::string& sql, std::string& failure);

 private:
  using Init = void* (*)(void*);
  using RealConnect = void* (*)(void*, const char*, const char*, const char*, const char*, unsigned,
                                const char*, unsigned long);
  using RealQuery = int (*)(void*, const char*, unsigned long);
  using StoreResult = void* (*)(void*);
  using NumFields = unsigned (*)(void*);
  using FetchRow = char** (*)(void*);
  using FetchLengths = unsigned long* (*)(void*);
  using FreeResult = void (*)(void*);
  using CloseFn = void (*)(void*);
  using Error = const char* (*)(void*);

  void* m_pHandle = nullptr;
  std::string m_sLoadError;
  Init m_pInit = nullptr;
  RealConnect m_pConnect = nullptr;
  RealQuery m_pQuery = nullptr;
  StoreResult m_pStore = nullptr;
  NumFields m_pNumFields = nullptr;
  FetchRow m_pFetchRow = nullptr;
  FetchLengths m_pFetchLengths = nullptr;
  FreeResult m_pFreeResult = nullptr;
  CloseFn m_pClose = nullptr;
  Error m_pError = nullptr;
};

}  // namespace kxtest
