// PositionAccess: the in-memory table's data access (MemTableAccess) with
// what statements ask of it for counts, per-mille positions, the completion
// of a record cache and the table cache, for the tests of those operations.
//
// - Counts (bGetNbEnr): the whole parse gives llCount (the table's size
//   when -1), the rows before the current one give llBefore; bCountOk false
//   makes both fail. Skips (bSkipRecord) are logged and answer bSkipOk.
// - Reads (bHLitxxx) go through pclReader (the statement of the key), one
//   fetch each, and bHEndehors answers the reader's out-of-range flag; the
//   nFailAtRead-th read (counted from 1, 0 never) fails with an error.
//   Saved positions (bHSauvePosition / bHRetourPosition) are logged and
//   kept only with bKeepPositions (else none: -1, false, nothing reported).
// - bBuildSelect makes "SELECT ASC" the statement's command, limited to the
//   table's block size, as the data access does before a SELECT.
// - The table cache (pclGetTableCache) and the current statement are what
//   the test sets (not held).
// - With bNoCommand no command is made (pclAllocCommand gives none).
//
// Needs no stand-in library.
#pragma once

#include <string>
#include <vector>

#include "MemTableAccess.h"

namespace kxtest {

class PositionAccess : public MemTableAccess {
 public:
  using MemTableAccess::MemTableAccess;

  // ---- Counts and skips ----------------------------------------------------
  long llCount = -1;
  long llBefore = 0;
  bool bCountOk = true;
  bool bSkipOk = true;
  int bGetNbEnr(long* count, unsigned int flags, unsigned int flags2, CNAStatement* statement,
                int direction) override;
  int bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int one, int lock,
                  int* lockResult, unsigned int flags) override;

  // ---- Reads of the parse on a key, and saved positions -----------------------
  CNAStatement* pclReader = nullptr;
  int nReads = 0;
  int nFailAtRead = 0;
  bool bKeepPositions = false;
  int bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int zero, int one, int* lockResult,
               unsigned int flags) override;
  int bHEndehors(const wchar_t* key, int* out) override;
  int bHSauvePosition(int* position, const wchar_t* item, unsigned int kind) override;
  int bHRetourPosition(int position, wchar_t* item, int keep, unsigned int kind) override;

  // ---- SELECT, table cache, command ---------------------------------
  int bBuildSelect(CNACommand* command, CNAStatement* statement, const wchar_t* key, int ascending,
                   unsigned int flags, long* count) override;
  CNATableCache* pclTableCache = nullptr;
  CNATableCache* pclGetTableCache() override { return pclTableCache; }
  CNAStatement* pclCurrent = nullptr;
  CNAStatement* pclGetCurrentStatement() override { return pclCurrent; }
  bool bNoCommand = false;
  CNACommand* pclAllocCommand(CNAError* error) override;

  // Every call above, in order ("count -1", "skip KEY 5 0x2010", "read 2",
  // "save KEY", "restore 1 keep 0", "select").
  std::vector<std::string> vecCalls;

 private:
  int m_nLastPosition = 0;
};

}  // namespace kxtest
