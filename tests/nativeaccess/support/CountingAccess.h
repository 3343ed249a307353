// CountingAccess: the generic data access whose statements are
// CountingStatements (no driver-level statement), for the tests of what the
// data access does with its own statements: the registry, the
// notifications after a write, the end of a transaction.
//
// - CountingStatement records every write notification it is told (type
//   and record number in the table cache), then does what a statement does
//   with it.
// - CountingAccess makes one per _pclAllocStatement call (none while
//   bNoStatement) and counts them.
//
// Needs no stand-in library.
#pragma once

#include <new>
#include <utility>
#include <vector>

#include "CNADataAccess.h"
#include "CNAStatement.h"

namespace kxtest {

class CountingStatement : public CNAStatement {
 public:
  explicit CountingStatement(CNADataAccess* access) : CNAStatement(access, nullptr) {}
  void OnNotifyOperation(eNAQUERYTYPE type, int n, CNAStatement* writer, NA_WRITEPARSEFLAGS flags,
                         const CNARecordValue* values) override {
    vecNotified.emplace_back(type, n);
    CNAStatement::OnNotifyOperation(type, n, writer, flags, values);
  }
  std::vector<std::pair<eNAQUERYTYPE, int>> vecNotified;
};

class CountingAccess : public CNADataAccess {
 public:
  using CNADataAccess::CNADataAccess;
  using CNADataAccess::_bNotAvailable;

  CNAStatement* _pclAllocStatement(CNADataAccess* owner, CNAError* /*error*/) override {
    if (bNoStatement) return nullptr;
    ++nStatementsMade;
    return new (std::nothrow) CountingStatement(owner);
  }
  bool bNoStatement = false;
  int nStatementsMade = 0;
};

}  // namespace kxtest
