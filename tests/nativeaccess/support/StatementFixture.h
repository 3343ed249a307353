// StatementEnv: a statement (CNAStatement) of a data access over an
// in-memory table (MemTableAccess), with its record layout (an I4 key and a
// text of 10 characters), its connection, error object and the in-memory
// "server" its driver statements ask; a TestDriver is the process's driver
// for its lifetime, its SQL face handing out InMemoryStatementSQL objects.
//
// Header only; needs no stand-in library.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CNACommand.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNAXQRecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "InMemoryStatementSQL.h"
#include "MemTableAccess.h"
#include "TestConnection.h"
#include "TestDriver.h"
#include "TestRecordSource.h"

namespace kxtest {

// Seven rows; the 3rd to 5th are the same record (same key, same text).
inline const std::vector<std::pair<int, std::string>> kSevenRows = {
    {10, "a"}, {20, "b"}, {30, "c"}, {30, "c"}, {30, "c"}, {40, "d"}, {50, "e"}};

// A statement of a data access over an in-memory table, its record layout
// (an I4 key and a text of 10 characters) and the "server" its driver
// statements ask.
struct StatementEnv {
  InMemoryServer server;
  DriverScope scope;
  TestRecordSource src;
  CNAItemDescription* key = nullptr;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* memo = nullptr;
  TestConnection* cnx = nullptr;
  CNAError* error = nullptr;
  MemTableAccess* access = nullptr;
  CNARecord* record = nullptr;
  CNAStatement* st = nullptr;

  // `described`: the data access has the description of the table (else
  // it has none, as a query's data access before its first result).
  // `memo`: a text memo item follows the two.
  explicit StatementEnv(std::vector<std::pair<int, std::string>> rows = kSevenRows, int block = 3,
                        bool described = true, bool withMemo = false) {
    scope.pclGet()->fnStatementMaker = [this](CNAConnectionDescription* c, CNAError* e) -> CNAStatementSQL* {
      return new InMemoryStatementSQL(&server, c, e);
    };
    key = src.pclAdd(NA_IT_I4, 4);
    text = src.pclAdd(NA_IT_TEXTE, 11);
    if (withMemo) memo = src.pclAdd(NA_IT_MEMOTEXTE, 8);
    cnx = new TestConnection();
    cnx->AddRef();
    error = new CNAError();
    error->AddRef();
    access = new MemTableAccess(described ? &src : nullptr, cnx, error, key, text);
    access->AddRef();
    access->tabTable = std::move(rows);
    access->nBlock = block;
    server.fnAnswer = [this](const std::string& t, MemRows* r) { return access->bAnswer(t, r); };
    record = new CNARecord(error, access);
    record->AddRef();
    EXPECT_TRUE(record->bInitRecord(&src, nullptr, cnx));
    access->SetCurrentRecord(record);
    st = new CNAStatement(access, error);
    st->AddRef();
  }
  ~StatementEnv() {
    st->nRelease();
    record->nRelease();
    access->nRelease();
    error->nRelease();
    cnx->nRelease();
  }
  StatementEnv(const StatementEnv&) = delete;
  StatementEnv& operator=(const StatementEnv&) = delete;

  int nKey() const { return access->nKeyOf(record->pclGetCurrentRecordValue()); }
  std::string sText() const { return access->sTextOf(record->pclGetCurrentRecordValue()); }
  int bOut() const {
    int n = -1;
    st->HEndehors(&n);
    return n;
  }
  // A new command holding `sql` (one reference for the caller).
  CNACommand* pclCommand(const wchar_t* sql, eTYPEREQUETE type) {
    CNACommand* p = access->pclAllocCommand(error);
    p->AddRef();
    p->bComplete(sql);
    p->SetQueryType(type);
    return p;
  }
  // Reads the parse from one end to the other: the keys met, in order.
  std::vector<int> Walk(bool backward) {
    std::vector<int> keys;
    eNA_PARSEDIRECTION e = backward ? NA_PARSE_LAST : NA_PARSE_FIRST;
    for (int guard = 0; guard < 50; ++guard) {
      if (!st->bFetch(e, 0, 1)) {
        ADD_FAILURE() << "fetch failed: " << error->StringDump().pszGet();
        break;
      }
      if (bOut()) break;
      int nFound = 0;
      st->EvalHTrouve(&nFound, nullptr);
      EXPECT_EQ(nFound, 1);
      keys.push_back(nKey());
      e = backward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
    }
    return keys;
  }
};

}  // namespace kxtest
