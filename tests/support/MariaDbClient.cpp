// The MariaDB client library bound by name for the `live` tests of every area.
#include "MariaDbClient.h"

#include <dlfcn.h>

namespace kxtest {

namespace {

template <typename F>
void Bind(void* handle, const char* name, F& f, std::string& missing) {
  f = reinterpret_cast<F>(dlsym(handle, name));
  if (f == nullptr) missing += std::string(missing.empty() ? "missing: " : ", ") + name;
}

}  // namespace

MariaDbClient::MariaDbClient() {
  m_pHandle = dlopen("libmariadb.so", RTLD_NOW | RTLD_LOCAL);
  if (m_pHandle == nullptr) m_pHandle = dlopen("libmariadb.so.3", RTLD_NOW | RTLD_LOCAL);
  if (m_pHandle == nullptr) {
    const char* why = dlerror();
    m_sLoadError = why != nullptr ? why : "libmariadb.so not found";
    return;
  }
  Bind(m_pHandle, "mysql_init", m_pInit, m_sLoadError);
  Bind(m_pHandle, "mysql_real_connect", m_pConnect, m_sLoadError);
  Bind(m_pHandle, "mysql_real_query", m_pQuery, m_sLoadError);
  Bind(m_pHandle, "mysql_store_result", m_pStore, m_sLoadError);
  Bind(m_pHandle, "mysql_num_fields", m_pNumFields, m_sLoadError);
  Bind(m_pHandle, "mysql_fetch_row", m_pFetchRow, m_sLoadError);
  Bind(m_pHandle, "mysql_fetch_lengths", m_pFetchLengths, m_sLoadError);
  Bind(m_pHandle, "mysql_free_result", m_pFreeResult, m_sLoadError);
  Bind(m_pHandle, "mysql_close", m_pClose, m_sLoadError);
  Bind(m_pHandle, "mysql_error", m_pError, m_sLoadError);
}

MariaDbClient::~MariaDbClient() {
  if (m_pHandle == nullptr) return;
  // The client library keeps process-wide state from its first use until
  // it is told to end.
  using End = void (*)();
  if (auto end = reinterpret_cast<End>(dlsym(m_pHandle, "mysql_server_end"))) end();
  dlclose(m_pHandle);
}

bool MariaDbClient::bLoaded() const { return m_pHandle != nullptr && m_sLoadError.empty(); }

void* MariaDbClient::Connect(const char* host, const char* user, const char* password,
                             const char* database, unsigned port, const char* socket,
                             std::string& failure) {
  if (!bLoaded()) {
    failure = m_sLoadError;
    return nullptr;
  }
  void* mysql = m_pInit(nullptr);
  if (mysql == nullptr) {
    failure = "mysql_init failed";
    return nullptr;
  }
  if (m_pConnect(mysql, host, user, password, database, port, socket, 0) == nullptr) {
    failure = m_pError(mysql);
    m_pClose(mysql);
    return nullptr;
  }
  return mysql;
}

void* MariaDbClient::Connect(const MariaDbConnection& c, std::string& failure) {
  return Connect(c.host.c_str(), c.user.c_str(), c.password.c_str(), c.database.c_str(), c.port,
                 nullptr, failure);
}

void MariaDbClient::Close(void* mysql) {
  if (mysql != nullptr && m_pClose != nullptr) m_pClose(mysql);
}

bool MariaDbClient::Query(void* mysql, const std::string& sql, Result& result,
                          std::string& failure) {
  result = Result();
  if (m_pQuery(mysql, sql.data(), sql.size()) != 0) {
    failure = m_pError(mysql);
    return false;
  }
  void* set = m_pStore(mysql);
  if (set == nullptr) {
    failure = m_pError(mysql);
    if (failure.empty()) failure = "the statement returned no result set";
    return false;
  }
  result.fields = m_pNumFields(set);
  while (char** row = m_pFetchRow(set)) {
    const unsigned long* lengths = m_pFetchLengths(set);
    std::vector<std::optional<std::string>> values;
    for (unsigned k = 0; k < result.fields; ++k) {
      if (row[k] == nullptr) {
        values.emplace_back(std::nullopt);
      } else {
        values.emplace_back(std::string(row[k], lengths[k]));
      }
    }
    result.rows.push_back(std::move(values));
  }
  m_pFreeResult(set);
  return true;
}

bool MariaDbClient::Execute(void* mysql, const std::string& sql, std::string& failure) {
  if (!bLoaded()) {
    failure = m_sLoadError;
    return false;
  }
  if (m_pQuery(mysql, sql.data(), sql.size()) != 0) {
    failure = m_pError(mysql);
    return false;
  }
  // A statement may still answer rows; they must be consumed before the
  // session takes the next statement.
  if (void* set = m_pStore(mysql)) m_pFreeResult(set);
  return true;
}

std::string MariaDbClient::QueryValue(void* mysql, const std::string& sql, std::string& failure) {
  Result result;
  if (!Query(mysql, sql, result, failure)) return {};
  if (result.rows.empty() || result.fields == 0 || !result.rows[0][0]) return {};
  return *result.rows[0][0];
}

}  // namespace kxtest
