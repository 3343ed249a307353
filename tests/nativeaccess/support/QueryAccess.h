// QueryAccess: a data access over a hand-described table (or query) for the
// tests of what a statement reads with its own texts (SELECT, COUNT, the
// conditions on the current and last-read record, ORDER BY, bMove).
//
// - QuerySource: items laid out as TestRecordSource lays them out, with the
//   names the test gives (SetName), a database table name and a logical
//   name, and a best parse item the test picks (handed out with an external
//   reference, as the runtime does).
// - QueryAccess: answers whether its query is sent as written (bAsWritten,
//   on a query only); marks the record read by copying the current record
//   into the original one (as the data access does after a locked read);
//   opens a parse on a statement with the statement's own SELECT of a key
//   (bOpen), in blocks of nBlock rows; and continues a full block as the
//   data access does for a unique key: a search of the statement's original
//   record on the key, continued after it (next) or before it (previous),
//   written as the condition of a new SELECT of the key in that direction,
//   then fetched through the statement.
//
// Needs no stand-in library.
#pragma once

#include <cstdint>
#include <string>

#include "CNADataAccess.h"
#include "TestRecordSource.h"

class CNAStatement;
class INAItemDescription;

namespace kxtest {

class QuerySource : public TestRecordSource {
 public:
  std::wstring sDBTable = L"tbl";
  std::wstring sLogical = L"LOGICAL";
  // Not referenced here (the source holds its items).
  INAItemDescription* piBest = nullptr;

  const wchar_t* pszGetLogicalName() override { return sLogical.c_str(); }
  const wchar_t* pszGetDBTableName() override { return sDBTable.c_str(); }
  INAItemDescription* piGetBestParseItemDesc() override;
};

class QueryAccess : public CNADataAccess {
 public:
  QueryAccess(INADataSourceDescription* source, CNAConnectionDescription* connection, CNAError* error)
      : CNADataAccess(source, connection, error) {}

  int bAsWritten = 0;
  int bRequeteSansCorrection() override { return bIsQuery() && bAsWritten ? 1 : 0; }
  // The current record becomes the record as read.
  int bSetCurrentRecordRead(int unused) override;
  int nReadMarks = 0;

  // ---- Parses ---------------------------------------------------------------
  std::wstring sKey;
  long nBlock = 3;  // 0 or less: no row limit
  int nContinuations = 0;
  // The statement's SELECT of `key` (ascending, or from the end), as its
  // command, with the block's row limit, executed. False when any step
  // fails.
  bool bOpen(CNAStatement* statement, const wchar_t* key, int ascending);
  int bGoToStmtOriginalRecord(int unused, CNAStatement* statement, int lock, eNA_PARSEDIRECTION direction,
                              long count) override;
};

}  // namespace kxtest
