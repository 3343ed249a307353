// CNAStatement: the statement through which one data access (CNADataAccess)
// runs one table operation or one parse (a walk through the rows of a table
// or query in the order of a key).
//
// It holds the SQL command being run (CNACommand) and owns one driver-level
// statement (CNAStatementSQL) that sends the text and walks the stored
// result rows. It moves the current row into the data access's current
// record (CNARecord), keeps an optional record cache (CNARecordCache) or
// works on an index of the data access's table cache (CNATableCacheIndex),
// and answers whether a record was found and whether the parse is out of
// range. When the rows of one SELECT are used up and more may exist (the
// block was full), the parse continues with a new SELECT that the data
// access builds from the last record read (keyset continuation): records
// equal to it that were already read are skipped by the duplicate count.
//
// The record-save table: one 32-bit entry per result row, all ones for "no
// save", 0xFFFFFFFE for "deleted through this data access since it was
// fetched", any other value a record save of the data access holding the
// row as modified since (one reference held per entry). It is allocated at
// the first save or deletion mark, sized by the driver statement's row
// count, and never for a streamed result (row count 4294967295) or a count
// of 0 or less. A row outside it stores nothing. Freeing it releases every
// save it holds first.
//
// Failures: every operation that can fail answers false (or null) with the
// reason in the statement's error object; the statement is usable again
// after Close. User errors carry the data access's logical name as file
// name and, where there is one, the parse key as item name.
//
// Ownership: a CInterf (the creator takes the first reference). Held: one
// reference on the error object, the driver statement, the command, the
// original record, the value the record cache is read into, the filter,
// the search, each saved position, the record cache and the table-cache
// index; an external
// one on the data-source description. Not held: the data access (it owns
// its statements) and the record layout (the data access's).
//
// Threads: used under the driver's process-wide lock, on the caller's
// thread.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAStatementSQL.h"
#include "CNAStatementSeams.h"
#include "CRefHashTable.h"
#include "CTString.h"
#include "INAError.h"
#include "NARecordTypes.h"

class CAny;
class CColumnList;
class CNAColumn;
class CNACommand;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADataAccess;
class CNADataSourceDescription;
class CNAError;
class CNARecord;
class CNARecordCache;
class CNARecordValue;
class CNATableCacheIndex;
class CSQLParserInfo;
class INADataSourceDescription;
class INAItemDescription;
class ISQLParserInformation;

// How a read locks the record: 0 no lock, 1 the default of a statement.
enum eNA_LOCKTYPE : std::int32_t {
  NA_LOCKTYPE_NONE = 0,
  NA_LOCKTYPE_DEFAULT = 1,
};

// Whether an execution prepares its text first (handed on to the driver
// statement's choice; the statement itself runs every text directly).
enum eNA_ST_PREPARE : std::int32_t {
  NA_ST_DIRECT = 0,
  NA_ST_PREPARE = 1,
};

// Why a parse must be brought up to date before its next fetch.
enum ePARSENEEDUPDATECAUSE : std::int32_t {
  NA_PARSEUPDATE_NONE = 0,
  NA_PARSEUPDATE_RERUN = 1,       // the parse must be run again
  NA_PARSEUPDATE_REPOSITION = 2,  // the parse stays but must be repositioned
};

class CNAStatement : public CInterf {
 public:
  // The bind/define flag after a reset of the command.
  static constexpr int knDefaultBindDefineFlag = 3;
  // No row limit on the SELECT.
  static constexpr std::int64_t NO_LIMIT = -1;
  // Record-save table entries.
  static constexpr std::uint32_t knNoSave = 0xFFFFFFFFu;
  static constexpr std::uint32_t knRowDeleted = 0xFFFFFFFEu;
  // The row count a driver statement gives for a streamed result.
  static constexpr std::int64_t knStreamRowCount = 4294967295LL;

  // A statement of no data access, reading into `record` (the record layer
  // uses it on its own): no driver statement, no description.
  explicit CNAStatement(CNARecord* record = nullptr);
  // A statement of `access`: takes its description (an external
  // reference) and its current record. With an error object it references
  // it and creates the driver statement at once (_bAllocStatementSQL); a
  // failure there leaves the error object's no-memory error.
  CNAStatement(CNADataAccess* access, CNAError* error);
  // Releases command, driver statement, record-save table (its saves
  // first), caches, filter, search, positions, original record, best
  // parse column, description and error.
  ~CNAStatement() override;

  // ---- Virtual operations, in slot order after CInterf's ------------------
  // Close, clear the end-of-parse flag, release the command.
  virtual void ResetQuery();
  // Ends the parse: frees the record-save table; unless a next block is
  // being fetched, clears the saved filter, tells the data access
  // (ClosingStatement), clears the parse-started flag, the current record
  // number, the row-number base, switches the cache off and invalidates the
  // saved positions' rows when caching was switched off here or there is
  // no table cache; drops the held record save; resets the driver
  // statement.
  virtual void Close();
  // Runs the command: a started parse is closed first; when no next block
  // is being fetched the original record and duplicate count are dropped;
  // an empty command succeeds at once; else bExecuteDirect. After success
  // on a SELECT (or a command from a query) and while the data access has
  // no description, the data access describes the result.
  virtual int bExecute(NA_WRITEPARSEFLAGS flags, eNA_ST_PREPARE prepare);
  // Makes `command` the statement's command (ResetQuery first), then
  // bExecute.
  virtual int bExecuteDirectNewCommand(CNACommand* command, NA_WRITEPARSEFLAGS flags,
                                       eNA_ST_PREPARE prepare);
  // Sends the command's 8-bit formatted text; no text fails, an empty one
  // succeeds without a server call. After an UPDATE that changed no row
  // while a current record exists: user error 13 (type 9) with debug
  // message 28591 and the current record. Sets the block-full count and
  // the block-starts-at-first-row flag from the command's LIMIT.
  virtual int bExecuteDirect(NA_WRITEPARSEFLAGS flags, eNA_ST_PREPARE prepare);
  // Runs the command and reads the first `count` columns of the first row
  // into values[0 .. count - 1]; Close in every case.
  virtual int bExecuteAndFetch(CAny* values, int count, eNA_ST_PREPARE prepare);
  // Runs the command and reads column 0 of its first row.
  virtual int bGetRequestedValue(CAny* value);
  // Fetches one row of the driver statement, then reads the column.
  virtual int bGetResultValue(CAny* value, unsigned int column);
  // Column `column` of the driver statement's current row; on failure the
  // driver statement's error is copied into the statement's.
  virtual int bGetSQLColumnValue(CNAConvertVariant* value, unsigned int column);
  virtual int bGetSQLColumnValue(CAny* value, unsigned int column);
  // ---- texts of reads and writes ----
  // Appends the SELECT of a parse to `command` (CNAStatementQuery.cpp):
  // ordered by the item `key` (null or empty, or flag 0x20000: no ORDER
  // BY) in the wanted order (`ascending`), completed by further columns
  // until a row is identified; `where` (may be null; used up when not
  // empty) is the condition. The statement's inverted mark is set for
  // bFetch: descending exactly when `ascending` is 0 (an item described
  // descending is written DESC in an ascending parse). The caller makes
  // `command` the statement's command first (bPrepare with flag 2).
  // Unknown key: user error 6. False with the command partly built.
  virtual int bBuildQuerySELECT(CNACommand* command, NA_WRITEPARSEFLAGS flags, const wchar_t* key,
                                int ascending, CNACommand* where);
  // The filter's and the active search's condition into `command` (reset
  // first); nothing (true) when there is neither.
  virtual int bGetClauseWHERE(CNACommand* command);
  // Appends "CREATE TABLE ", the table, "( ", the definition of every
  // column that is not a composite key (", " between), " )" and makes the
  // command a CREATE. A failing definition stops the list; " )" is still
  // appended and the answer is false.
  virtual int bBuildQueryCREATE(CNACommand* command);
  // False; nothing done (the data access builds and runs the texts).
  virtual int bHAjoute(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock);
  // The command (reset, made the statement's) becomes the INSERT of the
  // current record: every column to write (_bBuildColumnList) with its
  // value as a parameter; with none, the table's defaults. False with the
  // command partly built (the caller resets it).
  virtual int bBuildQueryINSERT(CNACommand* command, NA_WRITEPARSEFLAGS flags);
  // False; nothing done.
  virtual int bHModifie(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock);
  // The command (reset, made the statement's) becomes the UPDATE of the
  // modified columns of the record last read, addressed by the values it
  // was read with. Nothing modified: the command is left empty (executing
  // it sends nothing) and the answer is true. No record read: user error 7.
  virtual int bBuildQueryUPDATE(CNACommand* command, NA_WRITEPARSEFLAGS flags);
  // False; nothing done.
  virtual int bHSupprime(eNA_LOCKTYPE lock);
  // The command (reset, made the statement's) becomes the DELETE of the
  // record last read (user error 7 without one).
  virtual int bBuildQueryDELETE(CNACommand* command, NA_WRITEPARSEFLAGS flags);
  // A write done by `writer` on the same table (type 2 update, 3 insert, 4
  // delete; `n` the record number in the table cache): another statement
  // with a table-cache index passes it to the index; the record cache
  // follows it (unless it is the table cache's full cache); a started
  // parse then keeps its place or must be run again (cause 1) or
  // repositioned (cause 2, with a cache). Flag 0x40 also takes the current
  // record as original record.
  virtual void OnNotifyOperation(eNAQUERYTYPE type, int n, CNAStatement* writer, NA_WRITEPARSEFLAGS flags,
                                 const CNARecordValue* values);
  // After an INSERT: unless the flags hold 0x100 or 0x400, the record's
  // automatic identifier takes the value the server gave it (the result's
  // column 0 with RETURNING, else the column's largest value read through
  // the data access's identifier object). True without such a column.
  virtual int bUpdateRecordAfterInsert(eNAQUERYTYPE type, int flags);
  // After an UPDATE: unless the flags hold 0x100 or 0x400, the automatic
  // identifier's value is copied back from the record as read (an UPDATE
  // never changes it). True.
  virtual int bUpdateRecordAfterUpdate(eNAQUERYTYPE type, int flags);
  // Stores the lock type; true.
  virtual int bSetLockType(eNA_LOCKTYPE lock);
  // True.
  virtual int bCanFetchBackward();
  // Counts the parse on the server (a COUNT, or reading every row of a
  // query when the server has no subqueries); the count is 64-bit; a
  // NULL count leaves *count alone; -1 on failure.
  virtual int bGetNbEnr(long* count, unsigned int flags, int countAll);
  // The count without the server when the record cache or the rows at
  // hand answer it (see the source); false when they cannot.
  virtual int bGetNbEnrCurrentParse(long* count, NA_WRITEPARSEFLAGS flags, int withoutFilter);
  // The memo value of the item's column; its content written to a file.
  virtual int bGetBLOB(INAItemDescription* item, CAny* value);
  virtual int bExtraitMemo(INAItemDescription* item, const wchar_t* path);
  // Keeps the parse's place in `position` (row, record save, user search,
  // filter; see the source). False for a null position.
  virtual int bGetPosition(CNAPosition* position, int kind);
  // Back to `position`: by row when its record is still there, else by a
  // search on its saved values; then its user search, and with kind bit 0
  // its filter. A position without record save repositions nothing.
  virtual int bSetPosition(CNAPosition* position, int kind);
  // Switches the search off.
  virtual void DesactivateRecherche();
  // The search and filter factories: a new CNARecherche / CNAFilter over
  // the statement's error object and connection (counts 0; null when memory
  // runs out).
  virtual CNARecherche* pclAllocRecherche();
  virtual CNAFilter* pclAllocFilter();
  // False.
  virtual int bDefaultParseNeedRecordCache();
  // Describes the result into `description` through the data access; a
  // command of type 0 becomes 1 (the result has columns) or 8.
  virtual int _bGetQueryStructure(CNADataSourceDescription* description);
  // The driver statement is created or reset and gets the command's
  // formatted text (bPrepareSQL).
  virtual int _bPrepare(CNACommand* command, NA_WRITEPARSEFLAGS flags);
  // Hands on to the driver statement's bExecutePreparedQuery.
  virtual int _bExecutePreparedQuery(NA_WRITEPARSEFLAGS flags);
  // Fetches one row, then reads columns 0 .. count - 1 into consecutive
  // values, stopping at the first failure.
  virtual int _vbGetQueryResult(CAny* values, int count);
  // The column's SQL type as the connection maps its item.
  virtual int _bGetNativeDataType(CNAColumn* column, CTString* type);
  // The column's constraint for a CREATE: " PRIMARY KEY " for a primary
  // key or an automatic identifier; else " UNIQUE " for a unique item, then
  // " NOT NULL " when the description and item know NULLs and the item
  // refuses them; else empty. True.
  virtual int _bGetNativeConstraint(CNAColumn* column, CTString* constraint);
  // The text of one ORDER BY item into *out (emptied first): the column's
  // position for a query column of kind 1 or 2 when the connection allows
  // it, else its select name (with `useFormattedName` its formatted name).
  // The direction is the list's (_nItemDirection).
  virtual void _FormatItemORDERBY(CNAColumn* column, CSQLParserInfo* parser, int useFormattedName,
                                  CTString* out, int ascending);
  // For an INSERT of a record with an automatic identifier: the command
  // returns that column. True.
  virtual int _bAddClauseReturning(eNAQUERYTYPE type, int n);
  // Adds the column's current value to `values` as an input parameter; an
  // automatic identifier the database does not fill (or flag 0x200) first
  // gets a new value from the data access, unless the flags hold 0x100 or
  // 0x400.
  virtual int _bAddColumnValue(CNACommand* values, CNAColumn* column, eNAQUERYTYPE type,
                               NA_WRITEPARSEFLAGS flags);
  // Moves in the stored result (see the source): *outOfRange set first; a
  // count of 0 means the current row; *moved (may be null) the rows moved.
  virtual int _bFetch(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count, long* moved);
  // The command (reset, made the statement's) becomes "SELECT
  // COUNT(*) AS KXACCESNATIF_NBENR" (its one value as text, type code 8)
  // over the table or the query as a subquery, with the filter's and the
  // search's condition unless `noWhere`. A query on a server without
  // subqueries: user error 41.
  virtual int _bBuildQueryCOUNT(CNACommand* command, NA_WRITEPARSEFLAGS flags, int noWhere);
  // Fills the current record for the row reached: from the row's record
  // save when it has one (and the original record follows), else from the
  // server.
  virtual int _bUpdateNARecord(eNA_PARSEDIRECTION direction);
  // Each column before the first composed key reads its value from the
  // driver statement's current row; the first failure fails.
  virtual int _bUpdateNARecordFromDB();
  // True.
  virtual int _bSetPositionParametersEx(CNAPosition* position);
  virtual int _bGoToRowId(int row, CNAPosition* position);
  // Row `row` of the record cache becomes the current record (restored
  // flag set, end-of-parse cleared); false when the cache cannot give it.
  virtual int _RestaureRecordFromCache(int row);
  // Nothing.
  virtual void _SetBestCacheMethod();
  virtual int _bCreateTableCacheIndex();

  // ---- Write texts (CNAStatementWrite.cpp) -----------------------------------
  // INSERT (type 3) or UPDATE (type 2) of the current record into `command`
  // (see bBuildQueryINSERT, bBuildQueryUPDATE).
  int _bBuildQueryInsertUpdate(CNACommand* command, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags);
  // Resets `command`, makes it the statement's command of `type` (3
  // INSERT, 2 UPDATE, 4 DELETE; any other fails) and writes the verb and
  // the table. A query over several tables: user error 8.
  int _bBuildQueryStart(CNACommand* command, eNAQUERYTYPE type);
  // The columns to write, in record order up to the first composite key:
  // each name into `list` and its value (for an UPDATE "name = " first)
  // into `values`, ", " between. Every column scanned stores its defined
  // state into the record buffer. An INSERT that lists nothing takes the
  // first updatable column that is no automatic identifier. The first
  // failing value stops the scan (false).
  int _bBuildColumnList(CColumnList* list, CNACommand* values, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags);
  // Whether the column goes into the INSERT or UPDATE: a plain column of
  // the table; an ordinary one when updatable and (for an UPDATE)
  // modified; an automatic identifier (for an INSERT, or modified) when
  // the flags hold any of 0x700 or the database does not fill it.
  int _bNeedToUpdate(CNAColumn* column, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags);
  // One column of a CREATE: formatted name, " ", type and, when not
  // empty, " " and the constraint into *text. False when the type or the
  // constraint cannot be had.
  int _bBuildSubQueryCREATEColumn(CNAColumn* column, CTString* text);
  // The table a write names, in the server's notation: the table's
  // database name, or on a query of one table the table of its first item.
  // False (the error says why) when there is none.
  int _bGetWriteTableName(CTString* out);
  // Rewrites a CREATE text whose `typeName(n)` columns exceed `maximum`:
  // each such occurrence (the name not preceded by a letter, digit or "_",
  // outside quotes, followed by "(", digits and ")") becomes `replacement`
  // (dropped when empty). *out receives the whole rewritten text; the
  // answer says whether anything was replaced (only then is *out
  // meaningful). A negative maximum replaces nothing.
  static int bQueryCREATE_AutoCorrectVarcharMax(CTString* out, const wchar_t* create, const wchar_t* typeName,
                                                long long maximum, const wchar_t* replacement);

  // ---- Read texts (CNAStatementQuery.cpp) ------------------------------------
  // ResetQuery, makes `command` the statement's command of `type` and
  // writes its text: 1 SELECT of the whole source (no key), 2 UPDATE, 3
  // INSERT, 4 DELETE, 5 delete of every row (a query: user error 8), 6
  // CREATE, 9 DROP TABLE (" CASCADE CONSTRAINT" on kind 1). Any other type:
  // false, nothing written.
  int bBuildQuery(eNAQUERYTYPE type, CNACommand* command, NA_WRITEPARSEFLAGS flags);
  // The condition equal to the current record on the best parse item (a
  // new search of the current record, written into a new command and
  // appended, after " WHERE " when `addKeyword`). `columns` (may be null)
  // narrows the search. A record no condition can address: user error 7.
  int _bAddWHERECurrentRecord(CNACommand* command, int addKeyword, const CRefArray<CNAColumn>* columns);
  // The condition addressing the record as last read: " ROWID=" and its
  // server row identifier as a parameter, or the condition equal to the
  // values it was read with. The current record buffer is the same after
  // as before, on every way out. No record read: user error 7.
  int _bAddWHERELatestRead(CNACommand* command, int addKeyword, const CRefArray<CNAColumn>* columns);
  // With flag 0x800: whether DISTINCT is needed, i.e. the best parse item
  // does not make rows unique (primary, or unique and not NULL).
  int _bAddDistinct(NA_WRITEPARSEFLAGS flags);
  // The SELECT of the data access's query into `command` (see the
  // source): rewritten with `where` merged into its condition and the
  // ORDER BY of `key`, or as written (with `where`: as a subquery, which
  // needs a server with subqueries, else user error 41).
  int _bBuildQuerySELECTFromQuery(CNACommand* command, CSQLParserInfo* parser, NA_WRITEPARSEFLAGS flags,
                                  const wchar_t* key, int ascending, CNACommand* where, int withOrderBy,
                                  int asSubquery);
  // The ORDER BY of a query: of `key` (absent: the parse key) or, with
  // flag 0x20000, the query's own completed to a total order.
  // Without parser information, the ORDER BY of a table's key. `where`
  // (may be null): the condition, whose NULL selection ends the list
  // early.
  int _bFormatOrderBy(CNACommand* command, CSQLParserInfo* parser, NA_WRITEPARSEFLAGS flags, const wchar_t* key,
                      int ascending, int useFormattedName, CNACommand* where);
  // Writes " ORDER BY " (see the source) and the key column (its
  // components for a composite key), completed by the record's ordering
  // columns until the collected ones identify a row. A query's own LIMIT
  // (at bracket depth 0) is moved after it with its parameters.
  int _FormatORDERBYList(CNACommand* command, CNAColumn* key, int ascending, CSQLParserInfo* parser,
                         int useFormattedName, NA_WRITEPARSEFLAGS flags, CNACommand* where);
  // The direction one ORDER BY item is written with: `ascending`, turned
  // when the query (rewritten) sorts the column descending in its own
  // ORDER BY.
  int _nItemDirection(CNAColumn* column, CSQLParserInfo* parser, int ascending);
  // The table's database name as the connection writes it; false (the
  // error says why) when there is none.
  int _bFormatSelectTableName(CTString* out);
  // `name` as the connection writes a table name (as it stands without a
  // connection) into *out; an empty or null name is user error 38 at
  // `site`, a name the connection refuses its error.
  int _bFormatTableName(const wchar_t* name, int site, CTString* out);
  // " FROM ", the table, the record-lock clause and, with a `where` that
  // is not empty, " WHERE " and its text; the command becomes a SELECT.
  int _bAddFromTable(CNACommand* command, CNACommand* where);
  // " (", the query, ")" (with " KX_SUBQUERY" on kinds 2, 4 and 7) and,
  // with a `where` that is not empty, " WHERE " and its text.
  int _bAddSubQuery(CNACommand* command, CSQLParserInfo* parser, CNACommand* where);

  // ---- Execution -----------------------------------------------------------
  // Sets the command; flag 2 answers true at once; else _bPrepare.
  int bPrepare(CNACommand* command, NA_WRITEPARSEFLAGS flags);
  // With refresh the command's parameter values are updated first. With
  // no table-cache index and a command of type 0: user error 2. Else
  // Close, then _bExecutePreparedQuery.
  int bExecutePreparedQuery(NA_WRITEPARSEFLAGS flags, int refresh);
  // ResetQuery.
  void ResetStatement();
  // The command's dump and CR LF before the debug text of the error
  // object's last error.
  void _DumpQuery(CNACommand* command);
  // Fills `description` from the result (see _bGetQueryStructure).
  int bGetQueryStructure(CNADataSourceDescription* description) { return _bGetQueryStructure(description); }
  // One row of the driver statement (bFetch(0)); its error copied on
  // failure.
  int _bFetchSQL();

  // ---- Fetching and moving ---------------------------------------------------
  // Reads in `direction` (0 first, 1 last, 2 next, 3 previous, 4 the
  // current row again) `count` rows away; with `lock` the data access marks
  // the current record read. Success with out of range when no row is
  // there. *moved (may be null): rows moved.
  int bFetch(eNA_PARSEDIRECTION direction, int lock, long count, long* moved = nullptr);
  // Re-reads the last-read record: a new SELECT (no key, ascending) whose
  // condition addresses the record by the values it was read with, run
  // with the cache off, then a first fetch. Without a record read: user
  // error 7. `count` is not used.
  int bMove(long count, int lock);
  // bFetch(direction, 1, 1); when found, the current values of the first
  // `count` columns (at most the record's) into values; *outOfRange.
  int bFetchData(eNA_PARSEDIRECTION direction, int* outOfRange, CAny* values, int count);
  // *found = the found flag given to the platform, *inRange = not out of
  // range (either may be null).
  void EvalHTrouve(int* found, int* inRange) const;
  void HEndehors(int* out) const;
  // Moves from the stored row `from` by `step` rows (negative backward):
  // the target row, or out of range (see the source).
  int _bMove(std::int64_t from, std::int64_t step, int lock, int* outOfRange, long* moved);
  // The target row of a move of `step` from `from`, counting only rows not
  // marked deleted; *moved the rows actually moved; -1 or the row count
  // when the move leaves the rows.
  std::int64_t _llUpdateStep(std::int64_t from, std::int64_t step, long* moved) const;
  int _bFetchCacheDisabled(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count, long* moved);
  int _bFetchCacheEnabled(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count, long* moved);
  // Reads `count` rows forward from the server into the record cache.
  int _bFetchAndCache(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count);
  // Keyset continuation: the data access runs a new SELECT from the
  // original record in the reading direction (the key's order: a
  // descending result's swap is undone) and fetches its first row through
  // bFetch, which then takes the original record itself. With a record
  // cache the continuation starts from the cache's last row (the last one
  // the server gave, wherever the parse stands in the cache), the run of
  // equal rows before it as duplicate count; when nothing follows, the
  // original record and the count are put back.
  int _bFetchNextBloc(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count, long* moved);

  // ---- Original record, saves and parse update --------------------------------
  // Updates the original record after a read in `direction` (see the
  // source); the duplicate count goes into the record.
  int bSetStmtOriginalRecord(eNA_PARSEDIRECTION direction);
  // Stores the cause (2 does not replace a pending 1) and replaces the held
  // record save; cause 1 frees the record-save table and resets the driver
  // statement.
  int bSetParseNeedUpdate(ePARSENEEDUPDATECAUSE cause, std::uint32_t save);
  // The same with a new save of the original record kept by the data
  // access; nothing changes when none is kept.
  int bSetParseNeedUpdate(ePARSENEEDUPDATECAUSE cause);
  // Stores `save` for `row` (releasing what was there; the save gets a
  // reference). A row outside the table stores nothing; false then.
  int bKeepModifiedRecordSave(std::int64_t row, std::uint32_t save);
  // Marks `row` deleted since it was fetched (releasing its save); false
  // for a row outside the table.
  int bMarkRowDeleted(std::int64_t row);
  // The entry of `row`: knNoSave for a row outside the table or without.
  std::uint32_t nGetRecordSave(std::int64_t row) const;
  // Releases every save of the record-save table, then frees it.
  void _FreeRecordSaves();
  ePARSENEEDUPDATECAUSE eParseNeedUpdate() const { return m_eParseNeedUpdate; }
  std::uint32_t nGetRecordSaveID() const { return m_nRecordSaveId; }

  // ---- Record cache ----------------------------------------------------------
  // On: creates the record cache when absent, turns caching on, and calls
  // _SetBestCacheMethod when it is empty. Off: a cache held only here is
  // emptied and its caching turned off; a shared one is released.
  void EnableCache(int on);
  void EmptyCache();
  CNARecordCache* pclGetRecordCacheNoRef() const { return m_pclRecordCache; }
  int bCacheEnabled() const;
  int bCacheCompleted() const;

  // ---- Other operations ------------------------------------------------------
  // 1 on a table-cache index, else the command's type, else 1.
  int eGetQueryType() const;
  // Whether next/previous and first/last are swapped (0 on a table-cache
  // index).
  int bInvertFetch() const;
  void SetInvertFetch(int inverted) { m_bInverted = inverted ? 1 : 0; }
  CNAConnectionDescription* pclGetConnectionNoRef() const;
  // The driver statement's largest row (summed column lengths).
  std::uint64_t nGetRowMaxLen() const;
  // On a query: the read asked for the index cache or the query is used
  // as written.
  int bIndexCache() const;
  int bCanUpdateParse() const;
  int bCopyOriginalRecordToCurrentRecord();
  int _bRestaureOriginalRecord();
  int bEqualStmtOriginalRecordId(const CNARecordValue* value) const;
  CNARecordValue* pclGetStmtOriginalRecord() const { return m_pclOriginalRecord; }
  void SetCurrentRecord(CNARecord* record) { m_pclRecord = record; }
  int bUpdateChangedTypeInCurrentRecord();
  void SetDataSource(INADataSourceDescription* source);
  void _SetQuery(CNACommand* command);
  CNACommand* pclGetCommandNoRef() const { return m_pclCommand; }
  CNAStatementSQL* pclGetStatementSQLNoRef() const { return m_pclStatementSQL; }
  CNADataAccess* pclGetDataAccess() const { return m_pclDataAccess; }
  CNAError* pclGetErrorNoRef() const { return m_pclError; }
  void SetParseKey(const wchar_t* key) { m_csParseKey = key != nullptr ? key : L""; }
  const wchar_t* pszGetParseKey() const { return m_csParseKey.pszGet(); }
  void SetCacheKey(const wchar_t* key) { m_csCacheKey = key != nullptr ? key : L""; }
  const wchar_t* pszGetCacheKey() const { return m_csCacheKey.pszGet(); }
  // The parse flags of the read (three bytes of the write/parse flags).
  void SetParseFlags(std::uint32_t flags);
  std::uint32_t nGetParseFlags() const {
    return static_cast<std::uint32_t>(m_abyParseFlags[0]) | (static_cast<std::uint32_t>(m_abyParseFlags[1]) << 8) |
           (static_cast<std::uint32_t>(m_abyParseFlags[2]) << 16);
  }
  // Whether the filter now equals the one in force when the parse started.
  int bFilterUnchanged() const;
  int bParseStarted() const { return m_bParseStarted; }
  // Marks the parse started; the current filter becomes the saved one
  // (with its active state).
  void SetParseStarted();
  std::int64_t llGetCurrentRecordNumber() const { return m_llCurrentRecord; }
  std::int32_t nGetDuplicateCount() const { return m_nDuplicateCount; }
  std::int32_t nGetBlockFull() const { return m_nBlockFull; }
  int bBlockStartsAtFirstRow() const { return m_bBlockAtFirstRow; }
  int bFetchingNextBlock() const { return m_bFetchingNextBlock; }
  int bRestoredFromCache() const { return m_bRestoredFromCache; }
  int bEndOfParse() const { return m_bEndOfParseInCache; }
  eNA_LOCKTYPE eGetLockType() const { return m_eLockType; }
  CNATableCacheIndex* pclGetTableCacheIndexNoRef() const { return m_pclTableCacheIndex; }
  // Takes a reference on `index` and gives the held one back (null: none).
  void _SetTableCacheIndex(CNATableCacheIndex* index);
  std::int64_t llGetRecordSaveCount() const { return m_llRecordSaveCount; }
  std::int32_t nGetDeletedRowCount() const { return m_nDeletedRows; }
  // Whether a search / a filter is held and active.
  int bExistRechercheObject() const;
  int bExistFilter() const;
  CNAUserSearch* pclGetUserSearch() { return &m_clUserSearch; }
  // table cache: the user search's value while the search is set, else
  // null (what the table cache's indexes search first and last from): set
  // by bSetUserSearch, cleared by AnnuleRechercheUser and
  // DesactivateRechercheUserAndInternal.
  const CAny* pclGetUserSearchValue() const { return m_clUserSearch.pclGetValue(); }
  // table cache: the filter (none before one is made; no reference).
  CNAFilter* pclGetFilterNoRef() const { return m_pclFilter; }
  // table cache: the record cache holding every row of the parse (no
  // reference for the caller): completed first (_bCompleteCache) when it
  // is not; none without a record cache or when a read fails on the way.
  CNARecordCache* pclGetFullRecordCache();

  // ---- Positions, counts, searches and write notifications ----------------
  // (CNAStatementPosition.cpp)
  // Per-mille positioning: the data access counts the parse, then skips
  // per mille x count / 1000 records (at least 1) from the start of the
  // parse key. False when the count or the skip fails.
  int bHPositionne(int perMille, int precision, unsigned int flags);
  // The per mille of the current record within the parse, 1 .. 1000 with
  // a positive count (rounded up; 1 with none). False when a count fails.
  int bHPositionCourante(int* perMille, int precision);
  // Counts a parse by reading every row of its SELECT (no row limit);
  // for servers that cannot count a query as a subquery. *count -1 on
  // failure.
  int _bGetNbEnr_NoSubQuery(long* count, unsigned int flags, int noWhere);
  // Back to the saved record of `position` by a search on its values;
  // through the record cache by row when the record is there.
  int _bSetPositionBySearch(CNAPosition* position);
  // The table of saved positions by number: get (a reference for the
  // caller; null when absent), add (a reference taken; a position held
  // under that number before is given back), remove (false when absent).
  CNAPosition* pclGetSavedPosition(int n);
  int bAddSavedPosition(int n, CNAPosition* position);
  int bRemoveSavedPosition(int n);
  // bSetPosition.
  int bSetPositionInitParcours(CNAPosition* position, int kind);
  // The filter on `item` of the description (an unknown item: user error
  // 6): min/max with their inclusion (either may be null), and a parser
  // condition (may be null). A filter shared with another holder is
  // replaced by a new one first. The filter's state is not changed.
  int bSetFilter(const wchar_t* item, const CAny* min, int minIncluded, const CAny* max, int maxIncluded,
                 ISQLParserInformation* parser);
  // The user's search of `value` on `item` (exact when `exact` is not 0,
  // else by prefix): kept as the user search, the internal-search flag
  // cleared, the statement's search set; on success the parse-update
  // cause is cleared and the held record save given back.
  int bSetUserSearch(const wchar_t* item, const CAny* value, eNA_PARSEDIRECTION direction, int exact);
  // Copies `search` into the statement's user search, sets the internal
  // search flag, clears out of range and takes the found flag from it.
  void _RestaureUserSearch(CNAUserSearch* search);
  // Cancel flag of the search.
  void AnnuleRecherche();
  // Cancels the user search and, unless an internal search is active, the
  // search.
  void AnnuleRechercheUser();
  // Cancels the user search, switches the search off, clears the
  // internal-search flag.
  void DesactivateRechercheUserAndInternal();
  // The search goes on in `direction`; false without a search.
  int bSetContinueParcours(eNA_PARSEDIRECTION direction);
  // The filter (no reference; null without one) and the search (made on
  // demand; no reference; null when memory runs out).
  CNAFilter* pclGetFilter() const { return m_pclFilter; }
  CNARecherche* pclGetRecherche();
  // Deactivates the filter (kept).
  void DesactivateFilter();
  // The filter, made when absent, activated (no reference; null when
  // memory runs out).
  CNAFilter* pclActivateFilter();
  void PrepareInternalSearch() { m_bInternalSearch = 1; }
  int bInternalSearch() const { return m_bInternalSearch; }
  // Replace the held filter / search / record cache (a reference taken on
  // the new one before the old one is given back; null: none).
  void _SetFilter(CNAFilter* filter);
  void _SetRecherche(CNARecherche* search);
  void _SetRecordCache(CNARecordCache* cache);
  // Drops the table-cache index and its record cache; a started parse
  // must then be repositioned (cause 2), or is out of range without a
  // current record; saved positions lose their rows.
  void DestroyCacheIndex();
  // Reads the remaining rows of the parse into the record cache through
  // the data access (see the source). On a read error the statement's
  // state is put back and the answer is false.
  int _bCompleteCache();
  // After a write: the held record save becomes the current record number
  // in the record cache (completing the cache when needed); not found in
  // a complete cache: user error 13, out of range, false.
  int bUpdateParsePositionInRecordCache();
  // The same through the table-cache index; *notFound (may be null) tells
  // the record was not found (the index stands on the next one).
  int bUpdateParsePositionInCacheIndex(int* notFound);
  // Opens the parse on the data access's table cache (when it gives a
  // full cache): an index on the cache key becomes the parse's cache.
  int bOpenUsingTableCache();
  // User error 13 (type 0) naming `key`; out of range and not found set;
  // the parse is broken (the record to resume from is gone) until the next
  // new parse clears it.
  void CurrentRecordNotFound(const wchar_t* key);
  int bParseBroken() const { return m_bParseBroken; }
  void ClearParseBroken() { m_bParseBroken = 0; }
  // The three kinds of a write notification (see OnNotifyOperation).
  // Delete answers whether the statement's own current row was marked
  // deleted.
  void OnNotifyInsertOperation(NA_WRITEPARSEFLAGS flags, const CNARecordValue* values);
  int OnNotifyDeleteOperation(NA_WRITEPARSEFLAGS flags, const CNARecordValue* values, int* inCache);
  void OnNotifyUpdateOperation(NA_WRITEPARSEFLAGS flags, const CNARecordValue* values);
  int bCurrentRecordDeleted() const { return m_bCurrentRecordDeleted; }
  int bOutOfRange() const { return m_bOutOfRange; }

  // The record layout the statement reads into and writes from.
  CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }
  void SetRecord(CNARecord* record) { m_pclRecord = record; }
  // The command's bind/define flag: bit 0 binds memos, bit 1 defines them.
  int nGetBindDefineFlag() const { return m_nBindDefineFlag; }
  void SetBindDefineFlag(int flag) { m_nBindDefineFlag = flag; }

 protected:
  // Creates the driver statement through the process driver's SQL face;
  // none: the no-memory error (unless the face said why).
  int _bAllocStatementSQL();
  // The driver statement, reset when it exists, else created.
  int _bResetOrAllocStatementSQL();
  // A user error of this statement (file name = logical name, item name =
  // the parse key) at place (area, site).
  void _AddUserError(eNA_ERRORTYPE type, int site, unsigned int code);
  // "Not available yet" for an operation of the later statement-text work.
  int _bNotAvailable(int site);
  // Copies the driver statement's error into the statement's.
  void _CopyStatementSQLError();
  // Allocates the record-save table when it is absent and the result
  // allows it; true when a table exists afterwards.
  bool _bEnsureRecordSaves();
  // Releases the original record.
  void _ReleaseOriginalRecord();
  // Positions, notifications and the table cache's index
  // (CNAStatementPosition.cpp):
  // whether `row` (a record number) was deleted since it was read: marked
  // in the record cache (or outside it), else marked in the record-save
  // table;
  bool _bRowDeleted(std::int64_t row) const;
  // the current record value copied into the original record (made when
  // absent; out of memory: error at `site`), the duplicate count stored
  // into the record;
  int _bOriginalFromCurrent(int site);
  // the item of the description by name (an external reference for the
  // caller); none: user error 6 naming it;
  INAItemDescription* _piGetItem(const wchar_t* item, int site);
  // saved positions on `row` (all for -1) lose their row;
  void _InvalidatePositionRows(int row);
  // the parse needs `cause`, with a save of the original record;
  int _bNeedUpdate(ePARSENEEDUPDATECAUSE cause);
  // whether the parse key is one plain column whose value in the current
  // record equals its value in `values`;
  bool _bParseKeyUnchanged(const CNARecordValue* values) const;
  // a fetch through the table-cache index: the index moves `count`
  // records in `direction` and the cache's record there becomes the
  // current one.
  int _bFetchFromCacheIndex(eNA_PARSEDIRECTION direction, int* outOfRange, long count, long* moved);

  CNAError* m_pclError = nullptr;
  CNAStatementSQL* m_pclStatementSQL = nullptr;
  std::uint32_t m_nOrderCompletionMask = 3;
  CNADataAccess* m_pclDataAccess = nullptr;
  INADataSourceDescription* m_piDataSource = nullptr;
  CTString m_csParseKey;
  CTString m_csCacheKey;
  std::int32_t m_bFoundPlatform = 0;
  CNACommand* m_pclCommand = nullptr;
  CNARecord* m_pclRecord = nullptr;
  CNARecordValue* m_pclOriginalRecord = nullptr;
  eNA_LOCKTYPE m_eLockType = NA_LOCKTYPE_DEFAULT;
  std::int32_t m_bOutOfRange = 1;
  std::int32_t m_bFound = 0;
  std::int32_t m_bParseStarted = 0;
  eNA_PARSEDIRECTION m_eLastDirection = NA_PARSE_FIRST;
  std::int64_t m_llCurrentRecord = -1;
  std::uint32_t m_nRecordSaveId = knNoSave;
  ePARSENEEDUPDATECAUSE m_eParseNeedUpdate = NA_PARSEUPDATE_NONE;
  std::int32_t m_nBlockFull = -1;
  std::int32_t m_bBlockAtFirstRow = 1;
  std::int32_t m_bFetchingNextBlock = 0;
  std::int32_t m_nRowNumberBase = 0;
  std::int32_t m_nDuplicateCount = 0;
  std::int32_t m_bRestoredFromCache = 0;
  std::int32_t m_bCurrentRecordDeleted = 0;
  std::int32_t m_bEndOfParseInCache = 0;
  std::uint8_t m_abyParseFlags[3] = {0, 0, 0};
  CNAFilter* m_pclFilter = nullptr;
  CNAFilterSave m_clFilterSave;
  CNAUserSearch m_clUserSearch;
  CNARecherche* m_pclRecherche = nullptr;
  std::int32_t m_bInternalSearch = 0;
  CRefHashTable<int, CNAPosition*> m_tabPositions{7};
  CNARecordCache* m_pclRecordCache = nullptr;
  // The value every row read from the record cache passes through, kept
  // from one read to the next (made again when the cache's layout changed).
  CNARecordValue* m_pclCacheReadValue = nullptr;
  CNATableCacheIndex* m_pclTableCacheIndex = nullptr;
  std::uint32_t* m_pnRecordSaves = nullptr;
  std::int64_t m_llRecordSaveCount = 0;
  std::int32_t m_nDeletedRows = 0;
  // Kept here for the command: the bind/define flag of its SELECT and
  // whether its ORDER BY runs against the wanted order.
  int m_nBindDefineFlag = knDefaultBindDefineFlag;
  std::int32_t m_bInverted = 0;
  // Where the parse stands in the driver statement's rows: the 0-based row
  // last reached, -1 before the first, the row count after the last.
  std::int64_t m_llRowIndex = -1;
  // Set when a keyset continuation read its row through a nested bFetch,
  // which already updated the original record and the read mark.
  std::int32_t m_bContinued = 0;
  // The record a resume looked for was not found (CurrentRecordNotFound).
  std::int32_t m_bParseBroken = 0;
};
KX_CINTERF_REF_TRAITS(CNAStatement)
