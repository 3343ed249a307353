// CNADataAccess: one context's cursor over one table or query. Every table
// operation the runtime calls for a context is carried out by the data
// access that context holds for the table: it owns the statements of the
// cursor (one per browse item, plus the query statement registered under
// the empty name), the current record the runtime reads and writes, the
// store of saved records from which a browse resumes, the saved positions,
// the optional client-side table cache, and the declared and imported
// descriptions of the table.
//
// The operations of the later layers (opening and creating, reading,
// searching, positions, queries, filters, counts, memos) have
// their slot here already; until their layer fills them, a success-flag
// operation fails with user error 38 (not available for this data source)
// and the operations the statements call keep the safe answers documented
// at each one. The record and table locks are refused (error type 7), the
// unlocks and the record-lock hooks succeed without effect.
//
// Ownership: a CInterf (counts 0; the creator takes the first reference).
// Held with one reference each: the error object, the current record
// layout, the connection, the declared description (an external
// reference), the engine's clone of a query's description (external), the
// imported description, the automatic-identifier object, the query's parser
// information, the latest filter, every registered statement (the registry
// also owns a copy of each key), every saved position, the save store, the
// table cache and the statement of the query being executed. Not held: the
// table and the context (back pointers, cleared when the data access is
// detached); the context's identifier is kept by value.
//
// Save numbers are indexes into the save store; all ones (knNoRecordSave,
// -1 as a signed index) means none. Keeping a save hands the caller one
// reference on it, which the caller gives back with nReleaseRecordSave.
// The save store lives from construction to destruction; emptying it also
// forgets the current-record save, and without a store every save
// operation answers none (or 0) and touches nothing.
//
// Threads: used only under the process-wide driver lock (CNADriverLock),
// which every public entry of the table and the context takes; the
// last-data-access record below is read and written only under it.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAPosition.h"
#include "CNAStatement.h"
#include "CRefHashTable.h"
#include "CTString.h"
#include "NARecordTypes.h"

class CAny;
class CNACommand;
class CNAColumn;
class CNAConnectionDescription;
class CNAContext;
class CNADataSourceDescription;
class CNAError;
class CNAFilter;
class CNAIDAuto;
class CNARecord;
class CNARecordCache;
class CNARecordCachePosition;
class CNARecordId;
class CNARecordValue;
class CNAStatementSQL;
class CNATable;
class CNATableCache;
class CNATransaction;
class CNAXQRecord;
class CSQLParserInfo;
class IGaugeControl;
class INAConnectionDescription;
class INADataSourceDescription;
class INAItemDescription;
class INAQueryExecution;
class ISQLParserInformation;

// Access mode of an opening (accepted, not interpreted here).
enum eNA_ACCESS : std::int32_t;
// Locking mode of the runtime's H-functions (stored, not interpreted).
enum _eNA_HMODE : int;

// Flags of a query given to the data access.
enum eNA_QUERYMODE : std::uint32_t {
  NA_QUERYMODE_NONE = 0,
  NA_QUERYMODE_ASWRITTEN = 4,        // sent as written; the source is read-only
  NA_QUERYMODE_MODIFIES = 8,         // may modify the table
  NA_QUERYMODE_PREPAREONLY = 16,     // prepared, not run
  NA_QUERYMODE_WRITEPARSE = 128,     // runs with the write-parse flags 0x110000
  NA_QUERYMODE_JOIN = 0x80000000u,   // the text holds " JOIN "
};

class CNADataAccess : public CInterf {
 public:
  // The save number of "no save".
  static constexpr std::uint32_t knNoRecordSave = 0xFFFFFFFFu;
  // Grow step of the save store.
  static constexpr int knRecordSaveGrowStep = 50;
  // Notification options: bit value 1 tells every statement even without a
  // table cache; bit value 2 suppresses the notification.
  static constexpr int knNotifyAllStatements = 1;
  static constexpr int knNotifyNone = 2;

  // Every member at its construction value (the save store made; none when
  // memory is short: saves then answer none). One reference each on the
  // connection and the error (either may be null); with a description, an
  // external reference on it and its server name formatted by the
  // connection into the SQL table name.
  CNADataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection, CNAError* error);
  // In this order: the last-data-access record forgets this object;
  // _ResetDataAccess (statements, positions and caches give their saves
  // back); the save store is released; the connection goes back through
  // the process driver (nReleaseConnection; a plain release without one);
  // the error's reference is dropped; then the registries go.
  ~CNADataAccess() override;

  // ==== Virtual operations, in slot order after CInterf's ===================
  // Memos (unavailable until the memo layer).
  virtual int bGetBLOB(unsigned int memo, CAny* value);
  virtual int bSetBLOB(unsigned int memo, const CAny* value);
  virtual int bExtraitMemo(unsigned int memo, const wchar_t* path);
  // Opening, creating and deleting the table (CNADataAccessTables.cpp).
  // Each first takes the alias name (the context's next logical name, else
  // the logical name); each failure sets the error level 2 and answers 0.
  // The password and the access mode are not used.
  // Creates the table (_bHCreation(dropFirst, 1)), then initialises the
  // current record; the table is open after success.
  virtual int bHCreation(const wchar_t* password, int dropFirst);
  // Drops the table (_bHCreation(1, 0)); the table is closed after success.
  // A table the server does not have is dropped already (success); any
  // other refusal of the server fails with its error kept.
  virtual int bSupprimeFichier();
  // Deletes every record (_bSupprimeTout); the table is left closed.
  virtual int bSupprimeTout();
  // Opens the table when the server has it (the compatibility memo set
  // from that check), else creates it, the missing-table report dropped.
  virtual int bHCreationSiInexistant(eNA_ACCESS access, const wchar_t* password);
  // Already open: 1 at once. Else the compatibility check (answered by the
  // memo once positive, without asking the server) and the current record;
  // then the table is open.
  virtual int bHOuvre(eNA_ACCESS access, const wchar_t* password);
  // _Close; always 1 (also on a data access never opened).
  virtual int bHFerme();
  // Writes of the current record (CNADataAccessWrite.cpp).
  // Add: values checked, _bHAjoute; then the record is marked read and,
  // unless flags hold 0x40, one save of it is held as the current-record
  // save (none when the store has no room: the add still answers true).
  // Modify (0 = current record; else user error 18): the original record
  // restored from the current-record save, _bHModifie; a record deleted
  // before goes back in with its identifier. Delete: the row of the record
  // as read; on success the current record is marked deleted. bHEcrit is
  // bHModifie through the virtual table. False with the reason in the
  // error object.
  virtual int bHAjoute(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock);
  virtual int bHEcrit(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock);
  virtual int bHSupprime(long record, eNA_LOCKTYPE lock);
  virtual int bHModifie(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock);
  // Refused: error type 7 (see the lock operations below).
  virtual int bHRaye(long record, eNA_LOCKTYPE lock);
  virtual int bHLibere();
  // Reads the record of a record number: the saved copy of the current
  // record (when one is held) stays alive across the read, then bMove.
  virtual int bHLit(long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone);
  // Reads the record in `direction` (0 first, 1 last, 2 next, 3 previous)
  // of the browse on `key`; `bRead` not 0 loads it into the current record
  // and marks it read. Success also when no record is there (bHEndehors
  // then answers out of file); false with the reason in the error object.
  // *lockResult (may be null) is what the record lock did.
  virtual int bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int bRead, int lock, int* lockResult,
                       unsigned int flags);
  // Moves `count` records in `direction` on `key` (first/last: from the
  // start/end); a skip of at least a block is served by a server offset.
  virtual int bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int bRead, int lock,
                          int* lockResult, unsigned int flags);
  // Searches: the one-item form is the two-item form with the item as both
  // browse and search item (through the virtual table). The two-item form
  // makes the browse item's statement the last one, gives it the search of
  // `value` on `searchItem` (`searchMode` handed to the statement's user
  // search) and reads one record first (`fromFirst` not 0) or last; a null
  // item or value fails at once (user error 85), nothing fetched. The
  // cancel always answers 1 (no statement for the item: nothing done).
  virtual int bHRecherche(const wchar_t* item, const CAny* value, int searchMode, int bRead, eNA_LOCKTYPE lock,
                          eNA_LOCKTYPE* lockDone, int fromFirst, NA_WRITEPARSEFLAGS flags);
  virtual int bHRecherche(const wchar_t* item, const wchar_t* searchItem, const CAny* value, int searchMode,
                          int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, int fromFirst,
                          NA_WRITEPARSEFLAGS flags);
  virtual int bHAnnuleRecherche(const wchar_t* item);
  // Locks of the table and of a record: refused (see below); unlocks: 1.
  virtual int bHBloqueFichier(eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone);
  virtual int bHDebloqueFichier();
  virtual int bHBloqueNumEnr(long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone);
  virtual int bHDebloqueNumEnr(long record);
  // A filter on a condition: the item is chosen (bFindBestItem), its name
  // written to `item` (room for 255 characters), then that item's browse
  // is filtered on the condition alone. False, nothing filtered, when no
  // item can be chosen or `item` is null (user error 17).
  virtual int bHFiltre(ISQLParserInformation* parser, wchar_t* item);
  // Saved positions (CNADataAccessPosition.cpp): the position of the
  // browse on `item` under a new identifier in *position (untouched on
  // failure; a failed save consumes no identifier); restore (its item name
  // into `item`, at most 254 characters and terminated; freed unless
  // `keep`); free (always 1, also for an unknown identifier).
  virtual int bHSauvePosition(int* position, const wchar_t* item, unsigned int kind);
  virtual int bHRetourPosition(int position, wchar_t* item, int keep, unsigned int kind);
  virtual int bHLiberePosition(int position);
  // *version = 0; 1.
  virtual int bHVersion(int* version);
  // The platform's count: bGetNbEnr over the last statement (may be none),
  // the whole source.
  virtual int bHNbEnr(long* count, unsigned int kind, NA_WRITEPARSEFLAGS flags);
  // Counts into *count (signed 64-bit; -1 when a count query fails): the
  // active records (`options` bit 16; without it 0 at once) of the whole
  // source (direction -1), or relative to the current record in the order
  // of `statement`'s item (none: the best browse item): 2 after it, 3
  // before it, 4 equal to it. Flag 0x4000 applies `statement`'s filter.
  // Answered from the table cache or the browse when they can, else by a
  // count query on the statement of the empty name. A relative count whose
  // item is unknown or whose search cannot be built is false, nothing
  // counted. The current record is what it was before, on every way out.
  virtual int bGetNbEnr(long* count, unsigned int options, unsigned int flags, CNAStatement* statement,
                        int direction);
  // *needParse = 1 (a count must read the rows); 1. Null: just 1.
  virtual int bNbEnrNeedParse(int* needParse, const wchar_t* key);
  // Always 0.
  virtual std::int64_t llGetRecNum();
  // The state of the current record into *state for record 0; any other
  // number: user error 18, *state untouched.
  virtual int bGetRecNumState(long record, unsigned int* state);
  // Refused (see below).
  virtual int bHConstruitValCle(CAny* key, const wchar_t* item, unsigned int kind, CAny** out);
  // Runs the runtime's query (unavailable until the query layer).
  virtual int bExecuteQuery(int* resultSet, const wchar_t* query, ISQLParserInformation* parser,
                            eNA_QUERYMODE mode, const INAQueryExecution* execution);
  // Builds the SELECT of `statement`'s browse (ordered by `key`; none: the
  // source's order) into `command`, which becomes the statement's: the
  // statement's condition (filter and search), then the record limit of
  // the connection ("KX Cache Size"; see _llGetRecordLimit). When *count
  // (may be null) asks to skip at least a block, the server skips all but
  // the last few records (an offset) and *count becomes what is left.
  virtual int bBuildSelect(CNACommand* command, CNAStatement* statement, const wchar_t* key, int ascending,
                           unsigned int flags, long* count);
  // Record-lock hooks of the read and write paths: 1, nothing written.
  virtual int bLockRecord(CNAStatement* statement, eNA_LOCKTYPE lock, long record, eNA_LOCKTYPE* lockDone);
  virtual int bUnlockRecord(CNAStatement* statement, eNA_LOCKTYPE lock, long record, eNA_LOCKTYPE* lockDone);
  virtual int bLockUnlockRecord(CNAStatement* statement, eNA_LOCKTYPE lock, long record,
                                eNA_LOCKTYPE* lockDone);
  // 1.
  virtual int bHReindexe(unsigned int kind, IGaugeControl* gauge);
  // The description of `table` read from the database (the connection
  // opened first; a description of the driver's class), with one reference
  // for the caller; null when it cannot be read (the reason in the error
  // object).
  virtual CNADataSourceDescription* pclGetDataSourceDescriptionFromDB(const wchar_t* table, int mode);
  // The kind of record identifier this access makes: 1, identifiers built
  // from the record values.
  virtual eNA_RECORDIDTYPE eEvaluateRecordIdType();
  // Makes `item`'s statement the current key without reading: the next
  // next or previous read on it resumes from the record that was current.
  // False when a statement cannot be made or a resume point not kept.
  virtual int bHChangeCle(const wchar_t* item, NA_WRITEPARSEFLAGS flags);
  // Marks the current record as read: the current value's state becomes
  // read and it is copied into the original value; unless `keepSave`, the
  // current-record save is given back and forgotten. True without a record
  // layout; false when the copy failed.
  virtual int bSetCurrentRecordRead(int keepSave);
  // Reads the server's description of the table. Found: it becomes the
  // imported description, *exists = 1, *compatible (may be null) = whether
  // the server has every declared item (user error 20 naming the first it
  // lacks); 1. Not found: both 0; user error 15 naming the table when no
  // error was recorded, else message 28541 put first; 0.
  virtual int bFichierExiste(int* exists, int* compatible);
  // A new saved position (counts 0); null when memory is short.
  virtual CNAPosition* pclAllocPosition();
  // The class of the last error: the error object's own type when one is
  // set; otherwise the connection's class of the database code held (0
  // without a connection).
  virtual eNA_ERRORTYPE eGetNAErrorType();
  // Binds the data access to its context (not referenced) and keeps the
  // context's identifier by value; null detaches (the identifier stays).
  virtual void SetContext(CNAContext* context);
  // Nothing: this driver holds no record lock.
  virtual void CancelRecordLock(INAConnectionDescription* cnx, CNATransaction* transaction);
  // Automatic filter: accepted, nothing happens (1).
  virtual int bSetFiltreAuto(int on, const wchar_t* table, const wchar_t* name, INADataSourceDescription* source);
  virtual void SetFiltreAuto(int on);
  // ---- Factories: new objects with counts 0, or null -----------------------
  // A statement of the process driver's class for `owner`.
  virtual CNAStatement* _pclAllocStatement(CNADataAccess* owner, CNAError* error);
  // A description from the process driver's factory.
  virtual CNADataSourceDescription* _pclAllocDataSource(CNAConnectionDescription* connection, CNAError* error);
  // A record layout of this data access.
  virtual CNARecord* _pclAllocRecord(CNAError* error);
  // An automatic-identifier object from the process driver (a plain one
  // without a driver).
  virtual CNAIDAuto* _pclAllocIDAuto();
  // ---- Inner operations of the later layers ----------------------------------
  // Moves the query statement to `record`: out of file there, the original
  // record becomes the current one, marked deleted. The statement is reset
  // in every case.
  virtual int _bMove(long record, int bRead);
  virtual int _bSetBLOB(INAItemDescription* item, const CAny* value);
  virtual int _bHAttacheMemo(INAItemDescription* item, const wchar_t* path);
  // End of a transaction for one statement: a started browse without a
  // recorded cause of update gets cause 1 (run again).
  virtual void _SetTransactionTermined(CNAStatement* statement);
  // Makes and initialises the current record layout when there is none
  // (false, none kept, when that fails); then binds the imported items to
  // the columns when not done yet, and, for a query with parser
  // information, tells the parser information the record and, unless the
  // query is sent as written, gives each column its source table's names.
  virtual int _bInitCurrentRecord();
  // Releases the table cache, deletes every saved position, closes every
  // statement (_CloseAllStatement), clears the execution statement and the
  // open flag. Descriptions, current record and saves stay.
  virtual void _Close();
  // The common path of every write and of the table's create, drop and
  // delete-all: a read-only query refuses an update, insert or delete
  // (user error 35, type 0, nothing sent); else _bBuildAndExecuteQuery and,
  // on success of anything but a SELECT, _NotifyOperation.
  virtual int _bOperation(CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags,
                          CNARecordValue* before);
  // Sequences: -1 (this server draws no identifier from a sequence).
  virtual std::int64_t _nGetSequenceCurrentVal(CNAColumn* column);
  // Runs `command` on `statement` and reads its first column into *value.
  virtual int _bGetRequestedValue(CNAStatement* statement, CAny* value, CNACommand* command);
  // True only for record number 0 (the current record); else user error
  // 18 naming the table, type 0.
  virtual int _bIsValidRecordNumber(long record);
  // The common fetch: decides between the statement's rows, the table
  // cache and a new SELECT (first and last, or `newParse`), resumes a
  // browse that lost its place (_bUpdateParse), locks as asked, and
  // continues a search past its values when the search allows it.
  virtual int _bFetch(CNAStatement* statement, const wchar_t* item, eNA_PARSEDIRECTION direction, long count,
                      int bRead, eNA_LOCKTYPE lock, int* lockResult, NA_WRITEPARSEFLAGS flags, int newParse);
  // Closes the access, opens the connection, initialises the current
  // record; with `dropFirst` drops the table, with `create` creates it with
  // its indexes and reads it back (bCheckCompatibilityWithDatabase). A
  // failed DROP before a CREATE is ignored (the CREATE tells); alone, it
  // fails unless the server has no such table. Only a drop: 1 on success.
  virtual int _bHCreation(int dropFirst, int create);
  // Closes the access, opens the connection; a table: one DELETE of every
  // row; a query: record by record (_bSupprimeTout_HSupprime).
  virtual int _bSupprimeTout();
  // Keeps the description read from the database or a result (one
  // reference; the one held before given back). Its items not updatable
  // set the not-updatable flag and mark the declared items of the same
  // names; for a query an unnamed declared item at the same place takes
  // the server's name, a calculated item takes the server's type when they
  // do not match, and a binary memo on the server reads as a text (or
  // Unicode) memo when so declared. Changed types rebuild the current
  // record and the statements' bindings and empty the save store; the
  // current record is then bound to the new items.
  virtual void _SetImportedDataSourceDesc(CNADataSourceDescription* description);
  // Hook of an update notification: nothing here.
  virtual void _vUpdateRecordInCacheLock(NA_WRITEPARSEFLAGS flags);
  // The name of the index of `column`: a composite key's own formatted
  // name (prefixed by the table's name when the connection's index names
  // are common to the whole database), any other column a generated name.
  virtual int _bGetUniqueIndexName(CNAColumn* column, CTString* name);
  // False (nothing to repair on this server).
  virtual int _bUpdateIdAutoAfterInsertFailure(CNAColumn* column);
  // The UPDATE of the current record on the query statement (skipped for a
  // deleted record with nothing modified); a deleted record whose UPDATE
  // did not happen is inserted again keeping its identifier (0x100). The
  // record is marked read on success.
  virtual int _bHModifie(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock, CNARecordValue* before);
  // The memos never fetched read first (a read the server failed ends the
  // add, nothing sent; a memo with nothing to read goes as NULL), then the
  // INSERT on the query statement with `lock` as its lock type.
  virtual int _bHAjoute(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock);
  // Recovery after a failed fetch: none here (0, no error).
  virtual int _bRepriseErreurParcours(CNAStatement* statement, const wchar_t* item, eNA_PARSEDIRECTION direction,
                                      eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, NA_WRITEPARSEFLAGS flags);
  // *same = 0, then by row on one statement, else through the saved
  // records; always 1 (*same stays 0 when nothing decides).
  virtual int _bCompareTablePosition(CNAPosition* first, CNAPosition* second, int* same);
  // Compares the saved records of two positions (the same save, or the
  // values of a unique best browse item); false, *same untouched, when it
  // cannot decide (no save, no such item, both NULL, the comparison fails).
  virtual int _bCheckRecordSaveID(CNAPosition* first, CNAPosition* second, int* same);
  // False, *same unchanged.
  virtual int _bCheckReccordId(CNAPosition* first, CNAPosition* second, int* same);
  // A new table cache into m_pclTableCache (counts 0; _bCreateNewTableCache
  // takes the reference).
  virtual void _AllocTableCache();

  // ---- What the statements and records ask (virtual, after the slots) --------
  // A new identifier for `value` (count 0) by eEvaluateRecordIdType: 1 over
  // the value's record and memo set; 3 over a row-identifier holder from
  // the driver (slot 45; none: null); any other kind null.
  virtual CNARecordId* pclAllocRecordID(const CNARecordValue* value);
  // A save of the statement's original record (none given: the layout's
  // original record), with one reference for the caller; none when there
  // is no record, no native buffer, no store or no room.
  virtual std::uint32_t nKeepOriginalRecordSave(CNAStatement* statement);
  // A save of the current record, with one reference for the caller.
  virtual std::uint32_t nKeepCurrentRecordSave();
  // One reference more or less on a save (nothing for none, outside the
  // store, or without a store); the release answers the count left.
  virtual void AddRefRecordSave(std::uint32_t save);
  virtual int nReleaseRecordSave(std::uint32_t save);
  // The saved record becomes the layout's original record value; false
  // without a layout or such a save.
  virtual int bRestoreOriginalRecordSave(std::uint32_t save);
  // Copies the layout's original record into its current record; false
  // without a current record layout.
  virtual int bCopyOriginalRecordToCurrentRecord();
  // Continues `statement`'s parse from its own original record (the next
  // block of a full one): the layout's original record takes it for the
  // call (put back when it fails, when `keep` is set or when nothing
  // follows), then bGoToOriginalRecord.
  virtual int bGoToStmtOriginalRecord(int keep, CNAStatement* statement, int lock, eNA_PARSEDIRECTION direction,
                                      long count);
  // A statement closes its parse: when the table cache is being filled by
  // it, the table cache is freed.
  virtual void ClosingStatement(CNAStatement* statement);
  // Fills `description` from the columns of the executed `statement`
  // (the description's own road); without a description user error 38.
  virtual int bInitDataSourceFromResult(CNADataSourceDescription* description, CNAStatementSQL* statement);
  // The description in force (the imported one, else the declared one)
  // with an external reference for the caller; null when none.
  virtual INADataSourceDescription* piGetDataSourceDescription();
  // The table cache shared by the statements (not referenced); null when
  // none.
  virtual CNATableCache* pclGetTableCache();
  // Whether the query is sent as written: a query source whose mode has
  // bit value 4.
  virtual int bRequeteSansCorrection();
  // A new command for this access's connection reporting into this
  // access's error object (the argument is not used), through the process
  // driver's factory; null when none can be made.
  virtual CNACommand* pclAllocCommand(CNAError* error);
  // The current record layout (not referenced: the access keeps it alive).
  virtual CNARecord* pclGetCurrentRecord();
  // Runs `query` on this access's connection (query layer). Here: not
  // available (user error 38), *statement null.
  virtual int bExecuteQueryInternal(CNAStatement** statement, const wchar_t* name, const wchar_t* query);
  // The statement of the last browse or search (not referenced).
  virtual CNAStatement* pclGetCurrentStatement();
  // *out = whether the browse on `key` is out of file; 1. No statement
  // for `key`: user error 5 naming it, false.
  virtual int bHEndehors(const wchar_t* key, int* out);
  // The latest filter (one reference held; null clears).
  virtual void SetLatestFilter(CNAFilter* filter);
  virtual CNAFilter* pclGetLatestFilterNoRef();
  // Replaces the original record's entry of `cache` by the current record;
  // its index, -1 when not found (or no layout or cache).
  virtual int nUpdateRecordInCache(unsigned int flags, CNARecordCache* cache);
  // Whether the access works on a query reading several tables.
  virtual int bSourceIsQueryOnMultipleTables();
  // The server's name of the table `item` comes from into *out (emptied
  // first): the item's source name, or the server's name of the query's
  // FROM table of that name or alias; formatted by the connection when
  // `format` is not 0.
  virtual void _GetDBSourceName(INAItemDescription* item, CTString* out, int format);
  // The automatic-identifier object, made on first use (_pclAllocIDAuto)
  // and kept; one reference for the caller. Null, with the no-memory
  // error, when none can be made.
  virtual CNAIDAuto* pclGetIDAuto();
  // Gives the current record's automatic-identifier column its next value;
  // true without such a column.
  virtual int bSetNewAutoId();

  // ==== Plain operations ========================================================
  // ---- Accessors -------------------------------------------------------------
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }
  INADataSourceDescription* piGetDataSourceNoRef() const { return m_piDataSource; }
  // The declared description's names; "" without a description.
  const wchar_t* pszGetLogicalName() const;
  const wchar_t* pszGetDBTableName() const;
  // The SQL table name (formatted by the connection at construction).
  const wchar_t* pszGetSQLTableName() const { return m_sDBTableName.pszGet(); }
  const wchar_t* pszGetAliasName() const { return m_sAliasName.pszGet(); }
  void SetAliasName(const wchar_t* name) { m_sAliasName = name != nullptr ? name : L""; }
  // The declared description with an external reference (null without).
  INADataSourceDescription* piGetDeclaredDataSourceDescription();
  // For a table the declared description; for a query the engine's clone
  // of it, made on first call and kept. An external reference for the
  // caller; null when there is none (or the clone cannot be made).
  INADataSourceDescription* piGetDataSourceDescriptionForXQ();
  // The imported description with a reference; null when none.
  CNADataSourceDescription* pclGetImportedDataSourceDesc();
  CNADataSourceDescription* pclGetImportedDataSourceNoRef() const { return m_pclImportedDataSource; }
  // Whether the access has a description (declared or imported).
  int bHasDataSourceDescription() const {
    return m_piDataSource != nullptr || m_pclImportedDataSource != nullptr;
  }
  // The current record with a reference for the caller; null when none.
  CNARecord* pclGetCurrentRecordRef();
  // Lends the current record's buffer to the runtime (its external count
  // raised by one). False, *record untouched, when the table is closed or
  // there is no current record.
  int bGetRecord(CNAXQRecord** record);
  // Copies the buffer's values into the current record (the current buffer
  // itself allowed) and drops one external count of the buffer. False,
  // nothing touched, on the same conditions as bGetRecord.
  int bSetRecord(CNAXQRecord* record);
  int bIsOpened() const { return m_bOpened != 0; }
  void SetOpened(int opened) { m_bOpened = opened != 0 ? 1 : 0; }
  // Stores the mode; 1.
  int bHMode(_eNA_HMODE mode);
  _eNA_HMODE eGetHMode() const { return m_eHMode; }
  // The table object (not referenced; null detaches).
  void SetTable(CNATable* table) { m_pclTable = table; }
  CNATable* pclGetTable() const { return m_pclTable; }
  CNAContext* pclGetContext() const { return m_pclContext; }
  // The identifier of the context the access belongs to (all ones before
  // it was bound to one).
  std::uint64_t dwGetContextID() const { return m_dwContextID; }
  // The data access of another table of the same context and connection
  // by its server name, with a reference; null without a context or match.
  CNADataAccess* pclFindDataAccessByDBTableName(const wchar_t* name);
  // The declared description's best browse item (a reference) and its
  // name ("" when none).
  INAItemDescription* piGetBestParseItemDesc();
  CTString csGetBestParseItemName();
  // An item of the declared description by name (a reference); null.
  INAItemDescription* piGetItemDescription(const wchar_t* name);
  // Whether the current record's identifiers are row identifiers.
  int bSupportROWID();

  // ---- The read path (see CNADataAccessRead.cpp) -----------------------------
  // The record of `record` on the query statement (valid record number,
  // lock as asked, then _bMove).
  int bMove(long record, int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone);
  // A new command, the SELECT built (bBuildSelect), then executed; after
  // success the record cache or the table cache is bound as the flags and
  // the source ask.
  int _bOpenStatement(CNAStatement* statement, const wchar_t* item, int ascending, unsigned int flags, long* count,
                      eNA_ST_PREPARE prepare);
  // The record limit of a SELECT browsing on `item` (CNAStatement::NO_LIMIT
  // or below 1: none): none for a query sent as written, with a join or
  // limiting itself, or when _bEnableRecordLimit refuses; else the
  // connection's cache size, -2 meaning the driver's default block until a
  // row length is known, then as many of the widest rows as fill 1 MiB (at
  // least 20).
  std::int64_t _llGetRecordLimit(const wchar_t* item);
  // Resumes the statement's browse from its saved original record (user
  // error 83 when it cannot resume and was opened with 0x100000).
  int _bUpdateParse(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction, long count);
  // The statement's item looked up (unknown: 1, nothing done), then
  // _bGoToOriginalRecord.
  int bGoToOriginalRecord(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction, long count);
  // The current record takes the original record's values and the browse
  // goes on from it; both buffers are put back on failure, with `keep`, or
  // out of file (the next read then resumes from a save of the original).
  int _bGoToOriginalRecord(int keep, CNAStatement* statement, INAItemDescription* item, int bRead,
                           eNA_PARSEDIRECTION direction, long count);
  // The rows after (first, next) or before (last, previous) the current
  // record on `item`, or the count-th equal to it (4), by an internal
  // search on its values; runs of duplicates counted when the best browse
  // item cannot tell records apart. The search is cancelled on every way
  // out.
  int _bGoToCurrentRecord(CNAStatement* statement, INAItemDescription* item, int bRead,
                          eNA_PARSEDIRECTION direction, long count);
  // Turns a step from the rank-th of a run of equal records into a
  // direction and count (see the source). Always 1.
  // The run is counted on `statement`'s item (none: the best browse item).
  int _bGotoCurrentRecord_DuplicateProcess(long rank, eNA_PARSEDIRECTION* direction, long* count,
                                           CNAStatement* statement = nullptr);
  // 0: this class never reads a direction by inverting a fetch.
  int _bInvertFetch(CNAStatement* statement, eNA_PARSEDIRECTION direction);
  // Whether a SELECT browsing on `item` may read in limited blocks: never
  // on a floating-point item; always on a unique one; otherwise only when
  // the best browse item is unique and no floating-point item comes before
  // it in the description.
  int _bEnableRecordLimit(const wchar_t* item);
  // The item a browse in the query's own order goes by: the query's first
  // ORDER BY item, else the best browse item.
  CTString _csGetDefaultParseItem();
  // A query whose parser information says the platform prepared it.
  int bHPrepareRequeteCalled();
  // A query (not sent as written) whose text limits its own result set.
  int bQueryResultsetLimited();

  // ---- Searches and states (see CNADataAccessSearch.cpp) ----------------------
  // Positions the browse on `item` at `position` per mille (no statement
  // for it: 1, nothing done); on success the current record is marked read.
  int bHPositionne(const wchar_t* item, unsigned int position, int precision, NA_WRITEPARSEFLAGS flags);
  // *found = the found flag of the statement's last fetch, *inFile = not
  // out of file; 1. No statement for `item`: user error 5, false.
  int bEvalHTrouve(const wchar_t* item, int* found, int* inFile);

  // ---- Operations the table forwards whose layers are still to come -------
  // Attaches the file `path` to the memo of number `memo` of the declared
  // description (_bHAttacheMemo); false when there is no such memo.
  int bHAttacheMemo(unsigned int memo, const wchar_t* path);
  // Switches the filter of `item`'s statement off when it is active; no
  // statement for it: nothing. Always 1.
  int bHDesactiveFiltre(const wchar_t* item);
  // Whether `parser`'s query text is this access's query text (ignoring
  // case); false when either text is missing.
  int bSameQuery(ISQLParserInformation* parser);

  // ---- Filters and the next operation (CNADataAccessFilter.cpp) -------------
  // Records `operation`, then checks that the table cache can serve it:
  // 2 needs a full cache, 1 and 3 a complete one (else user error 55, or
  // message 25667 put before an error already held); no table cache and
  // other values: 1.
  int bSetNextOperation(int operation);
  // Switches the latest filter back on and marks `item`'s started browse
  // to be repositioned; an unknown item: 1.
  int bHActiveFiltre(const wchar_t* item);
  // Filters the browse on `item` (its statement found or made) between the
  // bounds (either may be null) and on the condition (may be null); on
  // success it is the only active filter of the access and the latest one.
  // A null item: user error 17.
  int bHFiltre(const wchar_t* item, const CAny* lower, int lowerIncluded, const CAny* upper, int upperIncluded,
               ISQLParserInformation* parser);
  // The item a condition's browse runs on (a unique key named, else a key
  // with duplicates, else the first plain item, else the best browse item)
  // into `item` (room for 255 characters, terminated). False, nothing
  // written, with user error 17 when none can be chosen or its name is over
  // 254 characters. A null `parser` has no operands.
  int bFindBestItem(ISQLParserInformation* parser, wchar_t* item);
  // Switches off the filter of every statement of the access.
  void _DesactivateAllFilter();
  // `to` shares `from`'s filter when it is active; 1.
  int _bKeepFilter(CNAStatement* from, CNAStatement* to);

  // ---- Saved positions (CNADataAccessPosition.cpp) ---------------------------
  // The per mille of the current record within the browse on `item`; no
  // started browse on it: *position -1, user error 7.
  int bHPositionCourante(int* position, const wchar_t* item, int precision);
  // *same = 1 when both positions name the same record (at once for equal
  // identifiers); an unknown identifier: user error 11, false.
  int bCompareTablePosition(int first, int second, int* same);
  // The carrying-out of the save, restore and free above.
  int _bGetPosition(int* position, const wchar_t* item, unsigned int kind);
  int _bSetPosition(wchar_t* item, int position, int keep, unsigned int kind);
  int _bRestorePositionStatement(CNAPosition* position, unsigned int kind);
  int _bFreePosition(int position);
  // Frees every saved position (each also leaves its statement's table); 1.
  int _bDeleteAllSavedPosition();
  // The registered position with a reference for the caller; null.
  CNAPosition* _pclFindPosition(int position);
  // Registered positions (for the tests' balance).
  std::uint32_t nGetPositionCount() { return m_htPositions.dwGetNumElement(); }
  // The next position identifier, shared by every data access of the
  // process; changed only under the driver lock.
  static int ms_nPositionID;

  // ---- Counts (see CNADataAccessCount.cpp) -------------------------------------
  // True when the count could be answered without a count query (see the
  // source); *count set then.
  int _bGetNbEnrOptimized(long* count, unsigned int options, unsigned int flags, CNAStatement* statement,
                          int direction);
  // Counts on the count statement the records after (2), before (3) or
  // equal to (4) the current record's value of `item` (with `statement`'s
  // filter under flag 0x4000). False, nothing counted, without an item or
  // when the search cannot be built.
  int _bCountRelative(long* count, unsigned int options, unsigned int flags, CNAStatement* statement,
                      INAItemDescription* item, int direction);

  // ---- Query source ---------------------------------------------------------
  int bIsQuery() const { return m_bQuery != 0; }
  void SetQuery(int query) { m_bQuery = query != 0 ? 1 : 0; }
  std::uint32_t nGetQueryMode() const { return m_nQueryMode; }
  void SetQueryMode(std::uint32_t mode) { m_nQueryMode = mode; }
  const wchar_t* pszGetQueryParseItem() const { return m_sQueryParseItem.pszGet(); }
  void SetQueryParseItem(const wchar_t* item) { m_sQueryParseItem = item != nullptr ? item : L""; }
  int bQueryBrowsePending() const { return m_bQueryBrowsePending; }
  void SetQueryBrowsePending(int pending) { m_bQueryBrowsePending = pending != 0 ? 1 : 0; }
  // The query's parser information (null on a table); no reference for the
  // caller. SetSourceQuery takes a reference on the new one before giving
  // the old one back.
  CSQLParserInfo* pclGetSourceQueryNoRef() const { return m_pclQueryParserInfo; }
  CSQLParserInfo* pclGetParserInfoNoRef() const { return m_pclQueryParserInfo; }
  void SetSourceQuery(CSQLParserInfo* query);
  int bNotUpdatable() const { return m_bNotUpdatable; }
  void SetNotUpdatable(int notUpdatable) { m_bNotUpdatable = notUpdatable != 0 ? 1 : 0; }
  int bCompatible() const { return m_bCompatible; }
  void SetCompatible(int compatible) { m_bCompatible = compatible != 0 ? 1 : 0; }
  int nGetNotifyOptions() const { return m_nNotifyOptions; }
  void SetNotifyOptions(int options) { m_nNotifyOptions = options; }
  int nGetIndexOptions() const { return m_nIndexOptions; }
  int eGetNextOperation() const { return m_eNextOperation; }
  void SetNextOperationValue(int operation) { m_eNextOperation = operation; }
  // The largest row length of the access's results (summed column
  // lengths), raised by statements before they read another block.
  std::uint64_t nGetMaxRowLength() const { return m_nMaxRowLength; }
  void SetMaxRowLength(std::uint64_t length) { m_nMaxRowLength = length; }

  // ---- Current record -----------------------------------------------------------
  // Replaces the current record layout (one reference taken on the new,
  // the old one given back).
  void _SetCurrentRecord(CNARecord* record);
  void SetCurrentRecord(CNARecord* record) { _SetCurrentRecord(record); }
  void _FreeCurrentRecord() { _SetCurrentRecord(nullptr); }
  // Asks each column that is not a composite key to check and correct its
  // value in the current buffer, stopping at the first refusal; 1 when all
  // pass (or there is no column).
  int _bCheckAndCorrectXQRecordValues();

  // ---- Statement registry -------------------------------------------------------
  // The statement registered under `item` (keys compared without regard to
  // case), with a reference; null when none. A one-entry memo answers a
  // repeated name without a lookup.
  CNAStatement* _pclFindStatement(const wchar_t* item);
  // A new statement registered under a copy of `item` (the registry holds
  // a reference), both its item names set to `item`; with a reference for
  // the caller. Null when it cannot be made or registered.
  CNAStatement* _pclInitStatement(const wchar_t* item);
  // Finds or makes the statement of `item` and makes it the last
  // statement; with flags bit 0x8000 the previous last statement's filter
  // is carried over (filter layer). A reference for the caller.
  CNAStatement* _pclGetNewItemStatement(const wchar_t* item, eNA_PARSEDIRECTION direction,
                                        NA_WRITEPARSEFLAGS flags);
  // The last statement with a reference; without one, the statement of the
  // best browse item, which becomes the last statement.
  CNAStatement* _pclGetLastStatement();
  // The statement registered under the empty name (whole-table SQL), found
  // or made; with a reference.
  CNAStatement* _pclGetQueryStatement();
  // Re-registers a statement under `newItem` (the new name first). With a
  // null `statement` the one registered under `oldItem` is taken; when no
  // entry under `oldItem` holds the statement nothing changes. A statement
  // already registered under the new name is replaced (its entry and
  // reference go; the memo and the last statement forget it). Both item
  // names of the statement become the new name. Always 1.
  int _bChangeStatementKey(const wchar_t* newItem, const wchar_t* oldItem, CNAStatement* statement);
  // Forgets the last statement, releases every registered statement
  // (closed first) with its key copy, clears the memo, releases the
  // automatic-identifier object.
  void _CloseAllStatement();
  // Replaces the statement of the query being executed (counted).
  void _SetExecutionStatement(CNAStatement* statement);
  CNAStatement* pclGetExecutionStatementNoRef() const { return m_pclExecutionStatement; }
  std::uint32_t nGetStatementCount() { return m_htStatements.dwGetNumElement(); }

  // ---- Tables (CNADataAccessTables.cpp) -------------------------------------------
  // The compatibility memo when set; else bFichierExiste, the answer kept
  // when positive (a negative one is asked again next time).
  int bCheckCompatibilityWithDatabase();
  // Creates the indexes of the current record's keys on `statement`:
  // `options` bit 1 unique keys, bit 2 keys with duplicates and composite
  // keys (over their components). "CREATE [UNIQUE] INDEX <name> ON
  // <table> ( <columns> ) ". Every index is tried; 1 when all were made.
  int _bCreateIndex(CNAStatement* statement, unsigned int options);
  // "KXIDX<seconds since 1970><process-wide counter>" into *name; 1.
  int _bGetGeneratedIndexName(CNAColumn* column, CTString* name);
  // Deletes a query's records one by one on its best browse item (first
  // read, then delete and read next until out of range). 1 when the browse
  // ran out of range, 0 when a step failed.
  int _bSupprimeTout_HSupprime();

  // ---- Lifecycle ----------------------------------------------------------------
  // _Close, then the latest filter, the save store emptied, the parser
  // information, the current record and the three descriptions released.
  void _ResetDataAccess();

  // ---- The write path -------------------------------------------------------------
  // Resets the statement's query, builds the text of `type` into a new
  // command and runs it; a failed run goes to _bProcessError; a successful
  // update or insert brings the record in line (_bUpdateRecordAfterInsert).
  int _bBuildAndExecuteQuery(CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags);
  // After an update: the statement's bUpdateRecordAfterUpdate; else its
  // bUpdateRecordAfterInsert.
  int _bUpdateRecordAfterInsert(CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags);
  // A successful write whose record could not be brought in line answers
  // false with user error 86 first (the row is written: do not add it
  // again); _bOperation then tells no one.
  // A failed run of `type` on `statement` typed for the runtime
  // (CNADataAccessErrors.cpp): lock 2, duplicate 3 and mandatory 8 (the
  // latter two naming the table and the item when found); false, the
  // server's error kept. True only for a CREATE TABLE refused as too long
  // (server codes 1074, 1118), rewritten with the large text types and
  // run successfully; the error object is then reset.
  int _bProcessError(CNACommand* command, CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags);
  // Type 3 with the first unique item whose value the table already holds
  // (every unique item for an INSERT, the modified ones otherwise); false,
  // nothing set, when none is found.
  int _bInitErrorDuplicateItemName(eNAQUERYTYPE type);
  // Type 8 with the first NOT NULL item without a value; false, nothing
  // set, when none is found.
  int _bInitErrorNeedItemValueItemName(eNAQUERYTYPE type);
  // The first unique item (all: every one, else only those modified) whose
  // current value the server already holds, counted on a fresh statement;
  // an external reference for the caller; null when none (or the count
  // cannot be made).
  INAItemDescription* piGetDuplicateItem(int all);
  // Whether the server holds a row whose `item` equals the current value
  // (a filter installed on `statement`, counted there).
  int __bDuplicateItem(INAItemDescription* item, CNAStatement* statement);
  // The same for `column` when its item is unique and (always, or) its
  // value was modified.
  int bIsDuplicateItem(int always, CNAColumn* column);
  // The first column, before any composite key, the server declares NOT
  // NULL whose current value is not defined; an external reference for
  // the caller; null when none. The argument is not used.
  INAItemDescription* piGetNullItemDesc(int insert);
  // The key of the automatic identifier (item type 1 or 28) with an
  // external reference; null when the description has none.
  INAItemDescription* pclGetIdAutoItem();
  // _bGetRequestedValue on the query statement, reset afterwards.
  int _bGetRequestedValue(CAny* value, CNACommand* command);

  // ---- Saved records (see the class comment for numbers and references) --------
  std::uint32_t _nKeepRecordSave(const CNARecordValue* value);
  // The saved record copied into `value`; false without such a save.
  int bCopySaveToRecord(std::uint32_t save, CNARecordValue* value);
  // bRestoreOriginalRecordSave with the statement's save number.
  int bRestoreOriginalRecordSave(CNAStatement* statement);
  // One item of a saved record into `value`.
  int _bGetItemValueInRecordSave(CAny* value, std::uint32_t save, INAItemDescription* item);
  // Whether the saved record is marked deleted.
  int bRecordDeleted(std::uint32_t save);
  // Compares the rows two positions hold: false (*same untouched) when
  // either is unset; else *same = 1 when equal, 0 otherwise.
  int _bCheckRowId(CNAPosition* first, CNAPosition* second, int* same);
  // References held on a save (0 for none or outside the store).
  int nGetRecordSaveCount(std::uint32_t save) const;
  // The current-record save: the one held (none: knNoRecordSave), and its
  // replacement (a reference taken on the new one, the old one given back).
  std::uint32_t nGetOriginalRecordSave() const { return m_nOriginalRecordSave; }
  void SetOriginalRecordSave(std::uint32_t save);
  CNARecordCachePosition* pclGetRecordSavesNoRef() const { return m_pclRecordSaves; }
  // Empties the save store (no record, no reference left); the
  // current-record save is forgotten.
  void _ResetRecordCache();
  // Releases the save store (also forgetting the current-record save).
  void _FreeSavedRecordCache();

  // ---- Caches -------------------------------------------------------------------
  // Marks the original record deleted in `cache`; its index or -1.
  int nSetRecordDeletedInCache(CNARecordCache* cache);
  // Frees the table cache and makes a new one (one reference); false with
  // the no-memory error when none could be made. The statement is unused.
  int _bCreateNewTableCache(CNAStatement* statement);
  // Every statement's cache index destroyed, then the table cache released.
  void _FreeTableCache();
  // Releases the table cache if any; 1.
  int bFreeCache();

  // ---- Notifications --------------------------------------------------------------
  // After a successful write of this data access: the save store, the table
  // cache's full cache and every statement follow (nothing at all with
  // notification option 2).
  void _NotifyOperation(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags,
                        CNARecordValue* before);
  void NotifyOperation(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags);
  // End of a transaction: _SetTransactionTermined on every statement.
  void SetTransactionTermined();

  // ---- The record refused operations share ---------------------------------------
  // Adds the lock refusal `site` (user error 8, type 7, names) to the error
  // object.
  void _RefuseLockOperation(int site);

  // ---- The last data access a table found (process-wide, under the lock) -------
  // Records `access` as found for the two identifiers.
  static void s_SetLastDataAccess(CNADataAccess* access, std::uint64_t contextId, std::uint64_t dataId);
  // The recorded data access when both identifiers match (no reference).
  static CNADataAccess* s_pclGetLastDataAccess(std::uint64_t contextId, std::uint64_t dataId);
  // Clears the record when it names `access` (any access for null).
  static void s_ForgetLastDataAccess(CNADataAccess* access);

 protected:
  // User error 38 (not available for this data source) at `site`, with the
  // logical name as file name; false.
  int _bNotAvailable(int site);
  // A user error `code` of this access at `site`, typed `type`, with the
  // logical name (and `item`) as names when it is the first error.
  void _AddUserError(eNA_ERRORTYPE type, int site, unsigned int code, const wchar_t* item = nullptr);

 private:
  // The plain members back to their construction values and the save store
  // made.
  void __Init();
  // The alias name from the context's next logical name (the logical name
  // when the context has none).
  void _TakeAliasName();
  // A failed operation of the table: error level 2; 0.
  int _bFailTable();
  // Keeps `source` with an external reference and formats its table name.
  void _SetDataSource(INADataSourceDescription* source);
  // The index of the current record's entry in the table cache's full cache
  // for a notification (none: null): the full cache once obtained, else the
  // filling statement's record cache; never fetches.
  CNARecordCache* _pclGetNotifyCache();
  // The engine's own copy of a query's declared description, with the
  // external reference the data access keeps; null when none can be made.
  INADataSourceDescription* _piCloneForXQ();
  // Forgets the memo and the last statement when they name `statement`.
  void _ForgetStatement(const CNAStatement* statement);
  // The CREATE TABLE of `command` with its too long text columns given the
  // connection's large text types, run on `statement`; true when run.
  int _bRepairCreateTable(CNACommand* command, CNAStatement* statement);
  // The description's memo number of the layout's `index`-th memo column
  // (by item when the orders differ); -1 when none.
  int _nGetMemoNumber(int index, CNAColumn* column);
  // Reads every memo of the current record not fetched yet (see _bHAjoute).
  int _bReadUnreadMemos();

  CNAError* m_pclError = nullptr;
  CNARecord* m_pclCurrentRecord = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  INADataSourceDescription* m_piDataSource = nullptr;
  INADataSourceDescription* m_piDataSourceForXQ = nullptr;
  CNADataSourceDescription* m_pclImportedDataSource = nullptr;
  int m_bOpened = 0;
  CRefStringHashTable<CNAStatement*> m_htStatements;
  const wchar_t* m_pszLastKey = nullptr;  // the registry's copy
  CNAStatement* m_pclLastFound = nullptr;
  int m_eNextOperation = 0;
  CNAIDAuto* m_pclIDAuto = nullptr;
  CNAStatement* m_pclLastStatement = nullptr;
  CSQLParserInfo* m_pclQueryParserInfo = nullptr;
  std::uint32_t m_nQueryMode = 0;
  CTString m_sQueryParseItem;
  int m_bQuery = 0;
  int m_bCompatible = 0;
  int m_nNotifyOptions = knNotifyAllStatements;
  int m_nIndexOptions = 2;
  CTString m_sDBTableName;
  _eNA_HMODE m_eHMode = static_cast<_eNA_HMODE>(1);
  CNATable* m_pclTable = nullptr;
  CNAContext* m_pclContext = nullptr;
  std::uint64_t m_dwContextID = ~std::uint64_t{0};
  CNAFilter* m_pclLatestFilter = nullptr;
  CRefHashTable<int, CNAPosition*> m_htPositions;
  CNARecordCachePosition* m_pclRecordSaves = nullptr;
  std::uint32_t m_nOriginalRecordSave = knNoRecordSave;
  CNATableCache* m_pclTableCache = nullptr;
  int m_bNotUpdatable = 0;
  int m_bQueryBrowsePending = 0;
  CNAStatement* m_pclExecutionStatement = nullptr;
  CTString m_sAliasName;
  std::uint64_t m_nMaxRowLength = 0;
};
KX_CINTERF_REF_TRAITS(CNADataAccess)

// The last data access a table found, with the two identifiers of the host
// context it was found for. Read and written only under CNADriverLock.
extern CNADataAccess* gpclLastDataAccess;
extern std::uint64_t gdwCtxID;
extern std::uint64_t gdwDataID;
