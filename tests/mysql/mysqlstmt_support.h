// Helpers of the driver-level statement tests: a statement's values as the
// tests compare them (raw bytes, text through a value holder, binary
// through a value holder) and the owner of the counted objects a test
// makes (connection, error objects, statements), released in the right
// order before the client library goes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "mysql/support/LiveText.h"
#include "mysql/support/MariaDbLiveTest.h"

namespace kxtest {

// The bytes of column `column` of the current row as the client gave them;
// nullopt for NULL or when there is no current row.
inline std::optional<std::string> Raw(CMySQLStatementSQL* st, unsigned column) {
  unsigned char* p = nullptr;
  unsigned n = 0;
  if (!st->bGetValue(&p, &n, column) || p == nullptr) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// What a value holder of CAny type `type` (16 text, 28 binary) receives
// for the column: nullopt for NULL; "<failed>" when the statement answers 0.
inline std::optional<std::wstring> Held(CMySQLStatementSQL* st, unsigned column,
                                        unsigned short type = 16) {
  CNAConvertVariant v(nullptr, st->pclGetConnectionNoRef());
  v.InitTypeVariantAny(type);
  if (!st->bGetValue(&v, column, 0)) return std::wstring(L"<failed>");
  if (v.bIsNull()) return std::nullopt;
  CAny any;
  if (!v.bGetValue(&any) || any.bIsNull()) return std::nullopt;
  if (type == 28) {
    void* p = nullptr;
    std::size_t n = 0;
    any.nGetDataAdr(&p);
    any.nGetUtilDataSize(&n);
    std::wstring s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<wchar_t>(static_cast<unsigned char*>(p)[i]);
    return s;
  }
  const wchar_t* psz = nullptr;
  if (any.nGetPCWSTR(&psz) > 99 || psz == nullptr) return std::wstring();
  return std::wstring(psz);
}

// Counted objects of one test: everything is released by Release(), last
// made first, and the connection closed.
class StatementObjects {
 public:
  ~StatementObjects() { Release(); }
  CNAError* NewError() {
    CNAError* p = new CNAError();
    p->AddRef();
    m_vecErrors.push_back(p);
    return p;
  }
  CMySQLConnection* Adopt(CMySQLConnection* cnx) {
    cnx->AddRef();
    m_vecConnections.push_back(cnx);
    return cnx;
  }
  CMySQLStatementSQL* NewStatement(CMySQLConnection* cnx, CNAError* error) {
    CMySQLStatementSQL* p = new CMySQLStatementSQL(cnx, error);
    p->AddRef();
    m_vecStatements.push_back(p);
    return p;
  }
  void Release() {
    for (auto it = m_vecStatements.rbegin(); it != m_vecStatements.rend(); ++it) (*it)->nRelease();
    m_vecStatements.clear();
    for (CMySQLConnection* p : m_vecConnections) {
      p->bClose(nullptr);
      p->nRelease();
    }
    m_vecConnections.clear();
    for (CNAError* p : m_vecErrors) p->nRelease();
    m_vecErrors.clear();
  }

 private:
  std::vector<CNAError*> m_vecErrors;
  std::vector<CMySQLConnection*> m_vecConnections;
  std::vector<CMySQLStatementSQL*> m_vecStatements;
};

// The error object's text for failure messages.
inline std::string ErrorText(CNAError* error) { return Narrow(error->pszGetError()); }

// A live test with one open connection of the library, its error object and
// one statement on them, all released before the client library goes.
class StatementLiveTest : public MariaDbLiveTest {
 protected:
  explicit StatementLiveTest(const char* tablePrefix) : MariaDbLiveTest(tablePrefix) {}
  void SetUp() override {
    MariaDbLiveTest::SetUp();
    if (HasFatalFailure()) return;
    Describe(m_host, m_c.user, m_c.password, L"");
    m_pCnx = m_objects.Adopt(new CMySQLConnection(L"live", &m_host));
    m_pError = m_objects.NewError();
    ASSERT_EQ(m_pCnx->bOpen(m_pError), 1) << ErrorText(m_pError);
    m_pSt = m_objects.NewStatement(m_pCnx, m_pError);
  }
  void TearDown() override {
    m_objects.Release();
    MariaDbLiveTest::TearDown();
  }

  StatementObjects m_objects;
  TestHostDescription m_host;
  CMySQLConnection* m_pCnx = nullptr;
  CNAError* m_pError = nullptr;
  CMySQLStatementSQL* m_pSt = nullptr;
};

}  // namespace kxtest
