// MemTableAccess: a data access over an in-memory table of (key, text)
// rows, for the tests of statements (CNAStatement).
//
// - It answers the texts its statements send (bAnswer, to be plugged into
//   an InMemoryServer): "SELECT ASC" or "SELECT DESC", optionally followed
//   by " FROM <key> SKIP <n>" (the rows after the record of that key in
//   that order: every row of a greater key, or of a smaller one for DESC,
//   and of the rows of that very key all but the first n) and by a row
//   limit "LIMIT <n>" wherever the command's dialect writes it. Rows are
//   answered as the key's decimal text and the text.
// - bOpen starts a parse on a statement in key order (ascending or
//   descending) in blocks of nBlock rows.
// - bGoToStmtOriginalRecord continues a parse whose block was full: from
//   the statement's original record (its key read from the record bytes),
//   skipping the records equal to it that the statement has read (its
//   duplicate count, and the original itself), in the wanted direction;
//   then it fetches through the statement. Each continuation is logged as
//   "NEXT <key> SKIP <n>" or "PREVIOUS <key> SKIP <n>".
// - Record saves are the data access's own store; the access counts the
//   calls that add and give back references, so that tests see every
//   reference given back.
//
// The layout it serves is one I4 item (the key) and one text item; the
// test gives both items. Needs no stand-in library.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CNADataAccess.h"
#include "InMemoryStatementSQL.h"

class CNARecord;
class CNARecordValue;
class INAItemDescription;

namespace kxtest {

class MemTableAccess : public CNADataAccess {
 public:
  MemTableAccess(INADataSourceDescription* source, CNAConnectionDescription* connection, CNAError* error,
                 INAItemDescription* key, INAItemDescription* text);

  // ---- The table ---------------------------------------------------------
  std::vector<std::pair<int, std::string>> tabTable;  // in key order
  int nBlock = 3;
  // Continuations are refused (user error 38, type 7).
  bool bRefuseContinuation = false;
  bool bAnswer(const std::string& text, MemRows* rows) const;
  // Runs the first SELECT of a parse on `statement` (false when it fails).
  bool bOpen(CNAStatement* statement, bool descending);

  // ---- What statements ask ---------------------------------------------------
  int bGoToStmtOriginalRecord(int unused, CNAStatement* statement, int lock, eNA_PARSEDIRECTION direction,
                              long count) override;
  // Counted, then the data access's own.
  void AddRefRecordSave(std::uint32_t save) override;
  int nReleaseRecordSave(std::uint32_t save) override;
  void ClosingStatement(CNAStatement* statement) override;
  // Results are described only with bDescribeResults; the filling answers
  // bDescribeOk and counts its calls.
  CNADataSourceDescription* _pclAllocDataSource(CNAConnectionDescription* connection, CNAError* error) override;
  int bInitDataSourceFromResult(CNADataSourceDescription* description, CNAStatementSQL* statement) override;
  bool bDescribeResults = false;
  bool bDescribeOk = true;
  int nDescribed = 0;
  unsigned int nDescribedColumns = 0;
  // Counted, then the data access's own read mark.
  int bSetCurrentRecordRead(int keepSave) override;
  // Whether the query is sent as written (bRequeteSansCorrection).
  bool bSentAsWritten = false;
  int bRequeteSansCorrection() override { return bSentAsWritten ? 1 : 0; }

  // ---- What tests read ----------------------------------------------------------
  std::vector<std::string> vecContinuations;
  int nClosings = 0;
  int nReadMarks = 0;
  // The reference count of a save (0 when it is gone), and the saves
  // still referenced.
  int nSaveRefs(std::uint32_t save) const { return nGetRecordSaveCount(save); }
  int nSavesHeld() const;
  // Calls of AddRefRecordSave and nReleaseRecordSave (on any identifier).
  int nAddRefSaveCalls = 0;
  int nReleaseSaveCalls = 0;
  // A save of the current record whose text is replaced by `text` (one
  // reference for the caller).
  std::uint32_t nKeepModifiedSave(const char* text);

  // The key and text of a record value (raw record bytes), and whether the
  // text is NULL there.
  int nKeyOf(const CNARecordValue* value) const;
  std::string sTextOf(const CNARecordValue* value) const;
  bool bTextNull(const CNARecordValue* value) const;

 private:
  INAItemDescription* m_piKey;
  INAItemDescription* m_piText;
};

}  // namespace kxtest
