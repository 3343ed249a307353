// What the tests of the write texts (INSERT, UPDATE, DELETE, CREATE) build
// on:
//
// - WriteSource: a description of items added by the test (ITEM0,
//   ITEM1, ...) with a table name, a logical name and a best parse item
//   the test sets.
// - FixedIDAuto: an automatic-identifier object whose largest current value
//   the test gives (or whose reading fails), counting its calls.
// - WriteAccess: a data access whose answers to the write texts the test
//   scripts: several tables or not, the source table of a query's items,
//   new identifiers (counted; they set the record's identifier column),
//   the identifier object and, on demand, statements of its own.
// - WriteEnv: a statement of a WriteAccess with its record layout (built
//   by Init once the test has added its items and, optionally, the
//   server's items), a kind-5 connection writing UTF-8 literals
//   (WriteConnection: RETURNING when the test says so), an error
//   object, a command, and the in-memory "server" that records every text
//   sent (and answers the rows the test gives). A TestDriver is the
//   process's driver meanwhile.
//
// Header only. Literals need the runtime's conversions: use it inside a
// BoundRuntimeTest.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAIDAuto.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CTString.h"
#include "InMemoryStatementSQL.h"
#include "TestConnection.h"
#include "TestDriver.h"
#include "TestLayoutDoubles.h"
#include "TestRecordSource.h"

namespace kxtest {

class WriteSource : public TestRecordSource {
 public:
  std::wstring sTable = L"t";
  std::wstring sLogical = L"T";
  CNAItemDescription* pclBest = nullptr;  // none: the record's unique key
  const wchar_t* pszGetLogicalName() override { return sLogical.c_str(); }
  const wchar_t* pszGetDBTableName() override { return sTable.c_str(); }
  INAItemDescription* piGetBestParseItemDesc() override {
    if (pclBest != nullptr) pclBest->ExternalAddRef();
    return pclBest;
  }
};

class FixedIDAuto : public CNAIDAuto {
 public:
  std::int64_t llMax = 0;
  bool bMaxOk = true;
  int nMaxCalls = 0;
  int bGetMaxCurrentValue(CNADataAccess* /*access*/, CNAColumn* /*column*/, CNAError* error, CAny* value) override {
    ++nMaxCalls;
    if (!bMaxOk) {
      // A reason the statement must keep.
      if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, 99, 1, nullptr, 38u);
      return 0;
    }
    value->SetI8(llMax);
    return 1;
  }
};

class WriteAccess : public CNADataAccess {
 public:
  WriteAccess(INADataSourceDescription* source, CNAConnectionDescription* connection, CNAError* error)
      : CNADataAccess(source, connection, error) {
    m_pclIDAuto = new FixedIDAuto();
    m_pclIDAuto->AddRef();
  }
  ~WriteAccess() override { m_pclIDAuto->nRelease(); }

  bool bSeveralTables = false;
  int bSourceIsQueryOnMultipleTables() override { return bSeveralTables ? 1 : 0; }
  // The table of a query's items, as the server names it.
  std::wstring sSourceTable;
  void _GetDBSourceName(INAItemDescription* /*item*/, CTString* out, int /*format*/) override {
    out->Set(sSourceTable.c_str());
  }
  // New identifiers: the record's identifier column takes llNextId.
  std::int64_t llNextId = 100;
  bool bNewIdOk = true;
  int nNewIds = 0;
  int bSetNewAutoId() override {
    ++nNewIds;
    if (!bNewIdOk) return 0;
    CNARecord* pclRecord = pclGetCurrentRecord();
    CNAColumn* pclColumn = pclRecord != nullptr ? pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
    if (pclColumn == nullptr) return 1;
    CAny v;
    v.SetI8(llNextId);
    return pclColumn->bSetValue(&v, 0);
  }
  bool bNoIDAuto = false;
  CNAIDAuto* pclGetIDAuto() override {
    if (bNoIDAuto) return nullptr;
    m_pclIDAuto->AddRef();
    return m_pclIDAuto;
  }
  FixedIDAuto* pclIDAuto() const { return m_pclIDAuto; }
  // Statements of the data access's own (the writes' query statement,
  // the duplicate lookup): generic ones when set, else the driver's.
  bool bOwnStatements = false;
  CNAStatement* _pclAllocStatement(CNADataAccess* owner, CNAError* error) override {
    if (bOwnStatements) return new CNAStatement(owner, error);
    return CNADataAccess::_pclAllocStatement(owner, error);
  }

 private:
  FixedIDAuto* m_pclIDAuto;
};

// The kind-5 test connection in UTF-8, with or without RETURNING.
class WriteConnection : public AnswerConnection {
 public:
  int bSupportInsertReturning() override { return bReturning ? 1 : 0; }
  bool bReturning = false;
};

struct WriteEnv {
  InMemoryServer server;
  DriverScope scope;
  WriteSource src;
  TestImportedSource* imported = nullptr;  // the server's items (may stay empty)
  WriteConnection* cnx = nullptr;
  CNAError* error = nullptr;
  WriteAccess* access = nullptr;
  CNARecord* record = nullptr;
  CNAStatement* st = nullptr;
  CNACommand* command = nullptr;
  // Rows answered to every text (RETURNING).
  MemRows rows;

  WriteEnv() {
    scope.pclGet()->fnStatementMaker = [this](CNAConnectionDescription* c, CNAError* e) -> CNAStatementSQL* {
      return new InMemoryStatementSQL(&server, c, e);
    };
    server.fnAnswer = [this](const std::string&, MemRows* r) {
      *r = rows;
      return true;
    };
    server.nColumns = 1;
    cnx = new WriteConnection();
    cnx->AddRef();
    error = new CNAError();
    error->AddRef();
    imported = new TestImportedSource();
    imported->AddRef();
  }
  ~WriteEnv() {
    if (command != nullptr) command->nRelease();
    if (st != nullptr) st->nRelease();
    if (record != nullptr) record->nRelease();
    if (access != nullptr) access->nRelease();
    imported->nRelease();
    error->nRelease();
    cnx->nRelease();
  }
  WriteEnv(const WriteEnv&) = delete;
  WriteEnv& operator=(const WriteEnv&) = delete;

  // The layout over the items added so far (and the server's items when
  // `withImported`); the statement and a command.
  bool Init(bool withImported = true) {
    access = new WriteAccess(&src, cnx, error);
    access->AddRef();
    record = new CNARecord(error, access);
    record->AddRef();
    if (!record->bInitRecord(&src, withImported ? imported : nullptr, cnx)) return false;
    access->SetCurrentRecord(record);
    st = new CNAStatement(access, error);
    st->AddRef();
    command = access->pclAllocCommand(error);
    if (command == nullptr) return false;
    command->AddRef();
    return true;
  }

  CNAColumn* col(INAItemDescription* item) const { return record->pclGetColumnNoRef(item); }
  bool SetI4(INAItemDescription* item, int n) {
    CAny v;
    v.SetI4(n);
    return col(item)->bSetValue(&v, 0) != 0;
  }
  bool SetI8(INAItemDescription* item, std::int64_t n) {
    CAny v;
    v.SetI8(n);
    return col(item)->bSetValue(&v, 0) != 0;
  }
  bool SetText(INAItemDescription* item, const wchar_t* text) {
    CAny v;
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(text, std::wcslen(text) * sizeof(wchar_t));
    return col(item)->bSetValue(&v, 0) != 0;
  }
  // The stored bytes of an I4 / I8 item of the current record.
  int nI4(INAItemDescription* item) const {
    int n = 0;
    std::memcpy(&n, col(item)->pGetValuePtr(record), sizeof n);
    return n;
  }
  std::int64_t llI8(INAItemDescription* item) const {
    std::int64_t n = 0;
    std::memcpy(&n, col(item)->pGetValuePtr(record), sizeof n);
    return n;
  }
  // The current record becomes the record as last read.
  bool MarkRead() { return record->bCopyCurrentRecordToOriginalRecord() != 0; }
  // The text the server would get ("<null>" when it cannot be built).
  std::string Sql() const {
    const char* psz = command->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
    return psz != nullptr ? psz : "<null>";
  }
  std::wstring Raw() const { return command->pszGetOriginalSQL(); }
  unsigned int nUserError() const { return error->nGetUserErrorCode(); }
};

}  // namespace kxtest
