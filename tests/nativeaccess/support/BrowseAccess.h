// BrowseAccess: a data access that browses one real table of the server in
// the order of a key, as the data-access layer does on a table, for the
// end-to-end tests of the statement core and for the benchmarks.
//
// - BrowseTable describes the table by hand: named items laid out in the
//   order they are added (offset = value bytes so far, physical index =
//   items so far), the table's name on the server, and its best browse item
//   (the item that orders rows uniquely, the primary key).
// - BrowseAccess owns the record layout over that description; its
//   statements (one per browsed item) are the data access's own, in its
//   registry. A read (bHLitxxx) of first
//   or last runs a new SELECT of the key in the wanted order (last reads
//   the reverse order forward); next and previous go on in the statement's
//   rows, and when a full block is used up the statement asks for the next
//   one (bGoToStmtOriginalRecord): the statement's search is set to the
//   last record read on the browsed item (bRechercheEnreg), turned to the
//   rows after or before it (bSetContinueParcours), and a new SELECT in the
//   direction's order runs with that condition and the record limit, then
//   its first row is fetched. Records equal on the key are told apart by
//   the rest of the order (the best browse item), so no duplicate counting
//   is needed; a browse whose best item is not unique, or has no value in
//   the record, is refused (user error 38).
// - Every SELECT of a browse carries the record limit llLimit (see there).
// - Record saves are the data access's own store, so that the statements'
//   resumption after a write works and tests see every save given back.
// - It counts the SELECTs it sends, the continuations and the time spent
//   building SELECT texts (the statement's builders and the formatting of
//   the text with its parameters).
//
// Ownership: a CInterf as its base (the creator takes the first reference).
// It holds its record layout (the data access holds its statements, saves,
// description, connection and error). Statements are closed and released
// first when it goes, then the layout.
//
// Needs the process's driver to be one whose SQL face makes driver-level
// statements for the connection (the MariaDB driver in live tests), and the
// runtime's conversions bound (values go through them).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CNADataAccess.h"
#include "CNAItemDescription.h"
#include "CNAStatement.h"
#include "TestSource.h"

class CNARecord;
class CNARecordValue;

namespace kxtest {

class BrowseTable : public TestSource {
 public:
  // `dbName`: the table's name on the server (also its logical name).
  explicit BrowseTable(const std::wstring& dbName);
  ~BrowseTable() override;

  // A new item `name` (also its name on the server) laid out after the
  // others; the table holds it. Returned for further settings (nullable,
  // sort direction ...).
  CNAItemDescription* pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size,
                             std::uint16_t keyFlags = 0);
  // The best browse item (one of the table's; null: none).
  void SetBestParseItem(CNAItemDescription* item) { m_pclBest = item; }

  std::uint32_t nGetVersion() override { return 1; }
  const wchar_t* pszGetLogicalName() override { return m_sName.c_str(); }
  const wchar_t* pszGetPhysicalName() override { return m_sName.c_str(); }
  const wchar_t* pszGetDBTableName() override { return m_sName.c_str(); }
  std::uint32_t nGetDiskRecordSize() override { return m_nSize; }
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  // By name, ignoring case; one external reference for the caller.
  INAItemDescription* piNAGetItem(const wchar_t* name) override;
  INAItemDescription* piNAGetItem(std::uint32_t index) override;
  INAItemDescription* piGetBestParseItemDesc() override;

 private:
  std::wstring m_sName;
  std::vector<CNAItemDescription*> m_tabItems;
  std::uint32_t m_nSize = 0;
  CNAItemDescription* m_pclBest = nullptr;
};

class BrowseAccess : public CNADataAccess {
 public:
  // The record limit chosen from the widest row met (see llLimit).
  static constexpr std::int64_t knAutomaticLimit = -2;
  // Flags of a read that matter here: the continuation of a resumed
  // browse never continues a search past its values.
  static constexpr unsigned int knFlagNoSearchContinuation = 0x40000;

  BrowseAccess(BrowseTable* table, CNAConnectionDescription* connection, CNAError* error);
  // Releases the statements (closed), the record layout and the saves.
  ~BrowseAccess() override;

  // Makes the record layout over the table. False (the error object says
  // why) when it cannot be made; reads fail until it is.
  bool bInit();

  // The record limit of every SELECT of a browse. Positive: that many rows
  // per block. knAutomaticLimit (the default): the driver's default block
  // (llGetValue of the process's driver) until a block has reported its
  // widest row, then as many of the widest rows met as fill 1 MiB, at least
  // 20. Anything else: no limit. A browse on a floating-point item or
  // without a unique order never gets a limit (its continuation could not
  // tell rows apart).
  std::int64_t llLimit = knAutomaticLimit;

  // ---- Browsing ----------------------------------------------------------------
  // Reads the record in `direction` (0 first, 1 last, 2 next, 3 previous)
  // of the browse on `key`, into the current record when `bRead` is not 0.
  // True on success, also when no record is there (bHEndehors then tells
  // out of range). False with the reason in the error object. `lock`:
  // the statement's lock type; *lockResult (may be null) is set to 0.
  int bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int bRead, int lock, int* lockResult,
               unsigned int flags) override;
  // Moves `count` records in `direction` on `key` (first/last: from the
  // start/end).
  int bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int bRead, int lock,
                  int* lockResult, unsigned int flags) override;
  // Whether the browse on `key` is out of range (1 without a browse).
  int bHEndehors(const wchar_t* key, int* out) override;
  // The statement of `key`'s browse (no reference; null before its first
  // read).
  CNAStatement* pclGetItemStatement(const wchar_t* key);

  // ---- The read path (as the data-access layer) --------------------------------
  // The common fetch: a new parse (first and last, or `newParse`) opens the
  // statement in the direction's order (ascending for first and next);
  // next and previous go on from where the statement stands, resumed first
  // (_bUpdateParse) when the statement needs it or has not started.
  int _bFetch(CNAStatement* statement, const wchar_t* item, eNA_PARSEDIRECTION direction, long count, int bRead,
              eNA_LOCKTYPE lock, int* lockResult, NA_WRITEPARSEFLAGS flags, int newParse) override;
  // Builds the SELECT of the statement's browse into `command` (query type
  // SELECT; the statement's previous query reset), its condition the
  // statement's filter and search (`where`, when given, instead), then sets
  // the record limit. The command becomes the statement's.
  int bBuildSelect(CNACommand* command, CNAStatement* statement, const wchar_t* key, int ascending,
                   unsigned int flags, CNACommand* where) override;
  // The same with a skip: when *count (may be null) asks for at least a
  // block's worth of records, the server skips all but the last few (an
  // offset) and *count becomes what is left to read.
  int _bBuildSelectCount(CNACommand* command, CNAStatement* statement, const wchar_t* key, int ascending,
                         unsigned int flags, CNACommand* where, long* count);
  // A new command, the SELECT built, sent (a SELECT counted even when it
  // fails).
  int _bOpenStatement(CNAStatement* statement, const wchar_t* item, int ascending, unsigned int flags,
                      long* count, eNA_ST_PREPARE prepare);
  // The record limit for a SELECT ordered by `key` (none: -1).
  std::int64_t llRecordLimitFor(const wchar_t* key);

  // ---- Resuming a browse -------------------------------------------------------
  // The statement's held save becomes the layout's original record, then
  // bGoToOriginalRecord.
  int _bUpdateParse(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction, long count);
  // The statement's browse item looked up; none: true (nothing to resume
  // on); else _bGoToOriginalRecord.
  int bGoToOriginalRecord(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction, long count);
  // The next block of a browse: the layout's original record takes the
  // statement's own original record (put back when this fails, when `keep`
  // is set or when no row follows), then bGoToOriginalRecord. `bRead` is
  // what the statement passes as its lock.
  int bGoToStmtOriginalRecord(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction,
                              long count) override;
  // The current record takes the original record's values and the browse
  // goes on from it (_bGoToCurrentRecord). Kept on success unless `keep`
  // or out of range; else both buffers are put back and, on failure or out
  // of range, the statement is marked for repositioning on a save of that
  // original record.
  int _bGoToOriginalRecord(int keep, CNAStatement* statement, INAItemDescription* item, int bRead,
                           eNA_PARSEDIRECTION direction, long count);
  // The rows after (next, first) or before (last, previous) the current
  // record in `item`'s order, by a search on the current record: a new
  // SELECT in the direction's order, then `count` rows fetched. The
  // statement's search is cancelled on every way out.
  int _bGoToCurrentRecord(CNAStatement* statement, INAItemDescription* item, int bRead,
                          eNA_PARSEDIRECTION direction, long count);


  // ---- Record saves --------------------------------------------------------------
  // The saves of the data access's store still referenced.
  int nSavesHeld() const;

  // ---- Writes ------------------------------------------------------------------
  // Writes through `statement` (one of this access's): NA_QUERY_INSERT adds
  // the current record, NA_QUERY_UPDATE writes the current record's
  // modified columns over the record last read (the layout's original
  // record, which addresses the row), NA_QUERY_DELETE removes the record
  // last read. The text comes from the statement's write builders and runs
  // on the statement (its own browse closes). After success, unless
  // nothing was sent (an UPDATE that changes nothing), every statement of
  // this access is told (the data access's _NotifyOperation) and, after an insert or an
  // update, the original record becomes the record as now stored. Any
  // other type, or no statement: false, nothing sent. False with the
  // reason in the error object; nobody is told when nothing was written
  // (an INSERT whose new identifier cannot be read back is written: told,
  // and false).
  int bWrite(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags);
  long nWrites = 0;         // writes sent
  long nNotifications = 0;  // statements told of them

  // ---- What tests and benchmarks read -------------------------------------------
  long nSelects = 0;        // SELECTs sent
  long nContinuations = 0;  // of them, continuations of a browse
  // Seconds spent building SELECT texts: from the statement's command made
  // ready (its previous result given back) to the text formatted with its
  // parameters.
  double dTextSeconds = 0;
  // The text of the last SELECT sent (8-bit, as formatted).
  std::string sLastSelect;
  // Whether each text sent is kept in vecSelects too.
  bool bKeepTexts = false;
  std::vector<std::string> vecSelects;

 protected:
  // A new statement of `owner` (counts 0), null when none can be made.
  CNAStatement* _pclAllocStatement(CNADataAccess* owner, CNAError* error) override;
  // The statement of `item` (no reference), made and registered on first
  // use; it becomes the last statement. Null when it has no driver-level
  // statement.
  CNAStatement* _pclGetBrowseStatement(const wchar_t* item, unsigned int flags);
  // A browse starts (first or last) on `statement`: its search is switched
  // off, the read's flags and `key` become its own.
  void _StartBrowse(CNAStatement* statement, const wchar_t* key, unsigned int flags);
  // A user error of this access naming the table and `item`.
  void _AddUserError(int site, unsigned int code, const wchar_t* item);

 private:
  static std::wstring _sKey(const wchar_t* item);
  // The flags of the read that opened the browse of the statement's item.
  unsigned int _nBrowseFlags(CNAStatement* statement) const;

  BrowseTable* m_pclTable;
  CNARecord* m_pclRecord = nullptr;
  // The flags of the read that opened each item's browse, by item (lower
  // case).
  std::map<std::wstring, unsigned int> m_mapFlags;
};

}  // namespace kxtest
