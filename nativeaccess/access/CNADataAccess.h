// CNADataAccess: one context's access to one table or query (its
// statements, its record layout, its current record). Declared here with
// what the driver's factory makes and what the record layer reads of it:
// the logical name, whether it works on a query, the query's parser
// information (its source query) and the making of record identifiers; and
// what its statements (CNAStatement) ask of it: its current record, record
// saves, the continuation of a parse from a statement's original record,
// the description of a query's result, the largest row length and its
// table cache. The data-access layer completes it; every such call is
// virtual here with a safe default (nothing kept, continuation not
// available), so that the data-access layer and tests can supply theirs.
//
// Ownership: a CInterf; counts start at 0, the first holder takes the first
// reference. It keeps the description, connection and error pointers it is
// given without taking references: its owner (the context) keeps them
// alive. The source query is held with one internal reference.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "NARecordTypes.h"

class CNACommand;
class CNAConnectionDescription;
class CNADataSourceDescription;
class CNAError;
class CNAFilter;
class CNAIDAuto;
class CNARecord;
class CNARecordCache;
class CNARecordId;
class CNARecordValue;
class CNAStatement;
class CNAStatementSQL;
class CNATableCache;
class CSQLParserInfo;
class INADataSourceDescription;
class INAItemDescription;
class CTString;

class CNADataAccess : public CInterf {
 public:
  CNADataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection,
                CNAError* error)
      : m_piDataSource(source), m_pclConnection(connection), m_pclError(error) {}
  // Gives back the source query and the description imported from a
  // result.
  ~CNADataAccess() override;

  // The kind of record identifier this access makes: 1, identifiers built
  // from the record values.
  virtual eNA_RECORDIDTYPE eEvaluateRecordIdType();
  // A new identifier for `value` (count 0) by eEvaluateRecordIdType: 1 over
  // the value's record and memo set; 3 over a row-identifier holder from
  // the driver (slot 45; none: null); any other kind null.
  virtual CNARecordId* pclAllocRecordID(const CNARecordValue* value);

  // ---- What statements ask of their data access ---------------------------
  // Record saves: copies of record values kept under a 32-bit identifier
  // (all ones: none), reference-counted. Keeping gives the save with one
  // reference for the caller; here nothing is kept (all ones).
  static constexpr std::uint32_t knNoRecordSave = 0xFFFFFFFFu;
  // A save of the statement's original record.
  virtual std::uint32_t nKeepOriginalRecordSave(CNAStatement* statement);
  // A save of the current record.
  virtual std::uint32_t nKeepCurrentRecordSave();
  virtual void AddRefRecordSave(std::uint32_t save);
  // One reference less; answers the count left (0 here).
  virtual int nReleaseRecordSave(std::uint32_t save);
  // Makes the save the current record layout's original record; false
  // when there is no such save (always here).
  virtual int bRestoreOriginalRecordSave(std::uint32_t save);
  // Copies the layout's original record into its current record; false
  // without a current record layout.
  virtual int bCopyOriginalRecordToCurrentRecord();
  // Runs on `statement` a new SELECT of its parse that starts at the
  // statement's original record, in `direction` (2 next, 3 previous),
  // skipping `count` records equal to it, and fetches; true on success, the
  // statement's out-of-range flag telling whether a row was found. Not
  // available here: false with user error 38.
  virtual int bGoToStmtOriginalRecord(int unused, CNAStatement* statement, int lock,
                                      eNA_PARSEDIRECTION direction, long count);
  // The statement closes its parse; nothing here.
  virtual void ClosingStatement(CNAStatement* statement);
  // Marks the current record as read: its state becomes read and it is
  // copied into the layout's original record. True without a current
  // record layout; false when the copy failed.
  virtual int bSetCurrentRecordRead(int unused);
  // A new, empty description for a query's result (counts 0); null when
  // this data access does not describe results (here).
  virtual CNADataSourceDescription* _pclAllocDataSource(CNAConnectionDescription* connection,
                                                        CNAError* error);
  // Fills `description` from the columns of the executed `statement`.
  // The data-access layer does it; here user error 38 (not available) and
  // false.
  virtual int bInitDataSourceFromResult(CNADataSourceDescription* description, CNAStatementSQL* statement);
  // Keeps the description built from a result (one reference; the held
  // one given back).
  virtual void _SetImportedDataSourceDesc(CNADataSourceDescription* description);
  // The description in force (the imported one, else the one given at
  // construction) with an external reference for the caller; null when
  // none.
  virtual INADataSourceDescription* piGetDataSourceDescription();
  // The table cache shared by this access's statements; none here.
  virtual CNATableCache* pclGetTableCache();
  // Whether the query must be sent as written; false here.
  virtual int bRequeteSansCorrection();
  // A new command for this access's connection (counts 0), through the
  // process driver's factory when there is one; null when none can be
  // made.
  virtual CNACommand* pclAllocCommand(CNAError* error);
  // The current record layout every statement of the access fills (not
  // referenced: the access keeps it alive).
  virtual CNARecord* pclGetCurrentRecord();
  // Runs the SQL text `query` under the query name `name` on this access's
  // connection. On success *statement is the statement that holds the
  // result, with one reference for the caller (null for a text without
  // result), and this access's current record layout describes the
  // result's columns; on failure *statement is null and the reason is in
  // the access's error object. Here: not available (user error 38).
  virtual int bExecuteQueryInternal(CNAStatement** statement, const wchar_t* name, const wchar_t* query);
  // table cache: the statement the access reads through now; none here.
  virtual CNAStatement* pclGetCurrentStatement() { return nullptr; }
  // table cache: saved positions. Save: the position of the browse on
  // `item` under a new identifier in *position (`kind`: bit 0 keeps the
  // filter). Restore: back to it, its item name into `item` (256
  // characters), freed unless `keep`. Free: always succeeds. Here no
  // position is kept: saving and restoring fail, *position becomes -1.
  virtual int bHSauvePosition(int* position, const wchar_t* /*item*/, unsigned int /*kind*/) {
    if (position != nullptr) *position = -1;
    return 0;
  }
  virtual int bHRetourPosition(int /*position*/, wchar_t* /*item*/, int /*keep*/, unsigned int /*kind*/) {
    return 0;
  }
  virtual int bHLiberePosition(int /*position*/) { return 1; }
  // Positions and counts of a statement's parse. Here none is available:
  // each answers false (the statement reports user error 38 when no
  // reason was given), *count left alone, *out 1.
  // Counts the rows of `statement`'s parse (direction -1) or the rows
  // before its current one (direction 3) into *count.
  virtual int bGetNbEnr(long* /*count*/, unsigned int /*flags*/, unsigned int /*flags2*/,
                        CNAStatement* /*statement*/, int /*direction*/) {
    return 0;
  }
  // Moves `count` records from the start (`direction` first) of the
  // parse on `key`.
  virtual int bSkipRecord(const wchar_t* /*key*/, eNA_PARSEDIRECTION /*direction*/, long /*count*/, int /*one*/,
                          int /*lock*/, int* /*lockResult*/, unsigned int /*flags*/) {
    return 0;
  }
  // Reads the record in `direction` of the parse on `key`; bHEndehors
  // tells whether that parse is out of range.
  virtual int bHLitxxx(const wchar_t* /*key*/, eNA_PARSEDIRECTION /*direction*/, int /*zero*/, int /*one*/,
                       int* /*lockResult*/, unsigned int /*flags*/) {
    return 0;
  }
  virtual int bHEndehors(const wchar_t* /*key*/, int* out) {
    if (out != nullptr) *out = 1;
    return 1;
  }
  // Builds the SELECT of `statement`'s parse (ordered by `key`, none: the
  // source's order) into `command` and makes it the statement's command.
  virtual int bBuildSelect(CNACommand* /*command*/, CNAStatement* /*statement*/, const wchar_t* /*key*/,
                           int /*ascending*/, unsigned int /*flags*/, CNACommand* /*where*/) {
    return 0;
  }
  // The latest filter of the access (kept by the access's own layer;
  // nothing here).
  virtual void SetLatestFilter(CNAFilter* /*filter*/) {}
  virtual CNAFilter* pclGetLatestFilterNoRef() { return nullptr; }
  // Passes an update of the current record (new: the layout's current
  // record value, old: its original record value) to `cache`; the entry's
  // index, -1 when nothing was updated (always here).
  virtual int nUpdateRecordInCache(unsigned int /*flags*/, CNARecordCache* /*cache*/) { return -1; }
  // ---- What the write texts ask ---------------------------------------------
  // Whether the access works on a query that reads several tables (more
  // than one FROM table in its parser information).
  virtual int bSourceIsQueryOnMultipleTables();
  // The server's name of the table `item` comes from into *out (emptied
  // first): the item's source name, or the server's name of the query's
  // FROM table of that name or alias; formatted by the connection when
  // `format` is not 0.
  virtual void _GetDBSourceName(INAItemDescription* item, CTString* out, int format);
  // The automatic-identifier object, made on first use through the
  // process driver's factory (pclAllocIDAuto) and kept; one reference for
  // the caller. Null, with the no-memory error, when none can be made.
  virtual CNAIDAuto* pclGetIDAuto();
  // Gives the current record's automatic-identifier column its next value
  // (the identifier object's bGetNextValue); true without such a column.
  virtual int bSetNewAutoId();

  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  CNAError* pclGetError() const { return m_pclError; }
  INADataSourceDescription* piGetDataSourceNoRef() const { return m_piDataSource; }
  // The description's logical name; "" without a description.
  const wchar_t* pszGetLogicalName() const;

  // Whether the access works on a query rather than a table.
  int bIsQuery() const { return m_bQuery != 0; }
  void SetQuery(int query) { m_bQuery = query != 0 ? 1 : 0; }
  // The query's parser information (null on a table); no reference for the
  // caller. SetSourceQuery takes a reference on the new one before giving
  // the old one back.
  CSQLParserInfo* pclGetSourceQueryNoRef() const { return m_pclSourceQuery; }
  CSQLParserInfo* pclGetParserInfoNoRef() const { return m_pclSourceQuery; }
  void SetSourceQuery(CSQLParserInfo* query);

  void SetCurrentRecord(CNARecord* record) { m_pclCurrentRecord = record; }
  CNADataSourceDescription* pclGetImportedDataSourceNoRef() const { return m_pclImportedSource; }
  // Whether the access has a description (given or imported).
  int bHasDataSourceDescription() const { return m_piDataSource != nullptr || m_pclImportedSource != nullptr; }
  // The largest row length of the access's results (summed column
  // lengths), raised by statements before they read another block.
  std::uint64_t nGetMaxRowLength() const { return m_nMaxRowLength; }
  void SetMaxRowLength(std::uint64_t length) { m_nMaxRowLength = length; }

 private:
  // User error 38 (not available for this data source) at `location`, with
  // the logical name as file name; false.
  int _bNotAvailable(int location);

  INADataSourceDescription* m_piDataSource;
  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError;
  int m_bQuery = 0;
  CSQLParserInfo* m_pclSourceQuery = nullptr;
  CNARecord* m_pclCurrentRecord = nullptr;
  CNADataSourceDescription* m_pclImportedSource = nullptr;
  std::uint64_t m_nMaxRowLength = 0;
  CNAIDAuto* m_pclIDAuto = nullptr;
};
KX_CINTERF_REF_TRAITS(CNADataAccess)
