// CNADriverSQL: the SQL face of the driver (INADriverSQL), through which
// the platform's SQL runtime opens connections of its own, runs SQL text,
// walks result rows by statement handle and asks for the catalogue lists
// (databases, tables, columns, links, column types) and SQL locks.
//
// The driver creates it on first need through its factory slot and keeps
// one internal reference; the runtime gets it from the driver's
// piGetInterface(1) with one external reference. The concrete driver's face
// supplies pclAllocStatementSQL. The generic catalogue lists and query
// builders read INFORMATION_SCHEMA; a concrete face replaces those it
// answers itself. Foreign keys are read back from the server's CREATE
// TABLE text of a table.
//
// Handles: a connection handle is the driver's connection number; a
// statement handle the driver-level statement's id. The statement registry
// holds one internal reference on every statement with a result set that
// bExecute handed out, until bFreeStmt or the face's end. A statement holds
// its connection, so closing the connection leaves its statements readable;
// the connection goes when the last of them is freed.
//
// Entry frame: every runtime slot (bOpenConnection to bSQLBloqueRequete)
// takes the driver's process-wide lock first and only then resets the
// shared error object, so that no other thread's error can land between the
// reset and the work; bGetStmtLastError does not reset. Handle 0 and
// handles not in the registry answer false (null), except bGetColumnNbr
// (count 0, true for 0) and bFreeStmt (always true).
//
// Ownership: a CInterf: deleted when the last of its internal and external
// references goes. It knows its driver (not counted: the driver owns the
// face) and holds one reference on its error object (the driver's own,
// shared), which receives the failures of its operations.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAStatementSQL.h"
#include "CRefHashTable.h"
#include "INADriverSQL.h"

class CAny;
class CNAConnectionDescription;
class CNADriver;
class CNAError;
class CNADataSourceDescription;
class CTabValParser;
class CTStringConcatAW;
class INADataSourceDescription;
template <typename T>
class CXYStringConcat;
template <typename T>
class CXYString;

class CNADriverSQL : public INADriverSQL, public CInterf {
 public:
  // Counts 0; one reference on `error` (either may be null).
  explicit CNADriverSQL(CNADriver* driver = nullptr, CNAError* error = nullptr);
  // Frees the statements still registered, then gives the error object's
  // reference back.
  ~CNADriverSQL() override;
  CNADriverSQL(const CNADriverSQL&) = delete;
  CNADriverSQL& operator=(const CNADriverSQL&) = delete;

  CNADriver* pclGetDriver() const { return m_pclDriver; }
  // The face's error object (no reference added; may be null).
  CNAError* pclGetErrorNoRef() const { return m_pclError; }

  // ---- INADriverSQL: the runtime's slots ---------------------------------
  std::uint32_t nGetVersion() override { return 4; }
  std::uint32_t nGetCompatSince() override { return 2; }
  std::uint32_t nGetNAVersion() override { return 0xFFFFFFFFu; }
  std::uint32_t nGetNACompatSince() override { return 0xFFFFFFFFu; }
  void NAVersion_EmptySlot_3() override {}
  // The runtime's references, under the driver's lock.
  void ExternalAddRef() override;
  // One external reference less (nothing at 0); deleted when both counts
  // are 0 then. Returns the new external count.
  std::uint32_t nExternalRelease() override;
  INAError* piGetLastError() const override;
  void* piGetInterface(int /*n*/) override { return nullptr; }
  void* pReservedFct1(unsigned char* /*p*/) override { return nullptr; }
  void* pReservedFct2(unsigned char* /*p*/) override { return nullptr; }
  void* pReservedFct3(unsigned char* /*p*/) override { return nullptr; }
  void* pReservedFct4(unsigned char* /*p*/) override { return nullptr; }
  void* pReservedFct5(unsigned char* /*p*/) override { return nullptr; }
  int bLoadNativeDll(unsigned char* /*name*/, unsigned int /*flags*/) override { return 1; }
  int bFreeNativeDll(unsigned char* /*name*/, unsigned int /*flags*/) override { return 1; }
  // *connection = 0; then a new connection registered under the driver's
  // key of `cnx` followed by ";SQLConnecte<n>" (n counts every open of the
  // process), marked as the SQL runtime's, and opened. On success
  // *connection = its number. A failed open leaves nothing registered.
  int bOpenConnection(int* connection, INAConnectionDescription* cnx) override;
  // The driver's close of the connection of that number; its answer.
  int bCloseConnection(int connection) override;
  void EmptySlot87() override {}
  int bGetTableList(CAny* result, int connection, const wchar_t* condition, unsigned int flags) override;
  int bGetColumnList(CAny* result, int connection, const wchar_t* table, unsigned int flags) override;
  // The statement's column names joined by "\r\n".
  int bGetColumnList(CAny* result, int connection, int statement, unsigned int flags) override;
  // The driver's description of `table` on the connection (one external
  // reference for the runtime), or null.
  INADataSourceDescription* piGetTableDesc(int connection, const wchar_t* table, unsigned int flags) override;
  // A new description of the statement's result columns (slot 46 of the
  // driver, filled from the statement) with one external reference; null
  // when it cannot be made or filled.
  INADataSourceDescription* piGetTableDesc(int connection, int statement, unsigned int flags) override;
  // The column types the server offers: none generically (the empty
  // text, 1). Looks no connection up.
  int bGetColumnTypeList(CAny* result, int connection, unsigned int flags) override;
  // Runs `text` on a new statement of the connection. With a result set
  // the statement is registered and *statement = its handle; without one
  // (an UPDATE) or on failure *statement = 0. An unknown connection: 0,
  // *statement untouched, nothing reported.
  int bExecute(int* statement, int connection, const wchar_t* text, CTabValParser* parameters,
               unsigned int flags) override;
  // Takes the statement out of the registry (freeing it when nothing else
  // holds it); 1 in every case.
  int bFreeStmt(int connection, int statement, unsigned int flags) override;
  // *error = the statement's error object (no reference); does not reset
  // the error.
  int bGetStmtLastError(INAError** error, int connection, int statement) override;
  int bGetColumnNbr(int* count, int connection, int statement, unsigned int flags) override;
  // Columns count from 1 here: column 0 reaches the statement as
  // 0xFFFFFFFF, which it refuses (user errors 51 and 50).
  int bGetColumnName(CAny* name, int connection, int statement, unsigned int column,
                     unsigned int flags) override;
  // 1 only when the statement moved to a row; 0 at the end of the rows (no
  // error) or on a fetch error (the statement's error).
  int bFetch(int connection, int statement, unsigned int flags) override;
  int bGetRow(CAny* row, int connection, int statement, const wchar_t* separator, int columns,
              unsigned int flags) override;
  int bGetValue(CAny* value, int connection, int statement, unsigned int column,
                unsigned int flags) override;
  int bGetBLOBValue(CAny* value, int connection, int statement, unsigned int column,
                    unsigned int flags) override;
  // The connection's transaction "SQLTransaction": begin (a second begin
  // nests), commit or roll back the innermost active one (the last begun).
  int bTrsBegin(int* reserved, int connection, unsigned int flags) override;
  int bTrsCommit(int connection, int reserved, unsigned int flags) override;
  int bTrsRollBack(int connection, int reserved, unsigned int flags) override;
  // Lock requests of the SQL runtime on the connection of that handle.
  // Outside a transaction of that connection: false, user error 29 in the
  // error object. Else the inner bSQLBloqueTable (with the face's error
  // object) or bSQLBloqueRequete; their answer. False for an unknown
  // handle, nothing reported.
  int bSQLBloqueTable(int connection, const wchar_t* table, unsigned int flags) override;
  int bSQLBloqueRequete(int connection, const wchar_t* query, unsigned int flags) override;
  // The driver's bSetVMAndLibShop; its answer (0 without a driver).
  int bSetVMAndLibShop(ILibShop* libShop, IVMData* vmData) override;
  void EmptySlot258() override {}
  void EmptySlot259() override {}
  void EmptySlot260() override {}
  void EmptySlot261() override {}
  void EmptySlot262() override {}
  void EmptySlot263() override {}
  void EmptySlot264() override {}
  void EmptySlot265() override {}
  void EmptySlot266() override {}
  void EmptySlot267() override {}
  void EmptySlot268() override {}
  void EmptySlot269() override {}
  void EmptySlot270() override {}
  void EmptySlot271() override {}
  void EmptySlot272() override {}
  void EmptySlot273() override {}
  void EmptySlot274() override {}
  void EmptySlot275() override {}
  void EmptySlot276() override {}
  void EmptySlot277() override {}
  void EmptySlot278() override {}
  void EmptySlot279() override {}
  void EmptySlot280() override {}
  void EmptySlot281() override {}
  void EmptySlot282() override {}
  void EmptySlot283() override {}
  void EmptySlot284() override {}
  void EmptySlot285() override {}
  void EmptySlot286() override {}
  void EmptySlot287() override {}
  void EmptySlot288() override {}
  void EmptySlot290() override {}
  void EmptySlot292() override {}
  void EmptySlot294() override {}
  void EmptySlot297() override {}
  void EmptySlot299() override {}
  void EmptySlot301() override {}

  // ---- Statements and connections of the face --------------------------
  // Statements in the registry.
  std::uint32_t nGetStatementCount();
  // The connection of that number, with one reference for the caller
  // (nRelease); null when there is none.
  CNAConnectionDescription* _pclGetConnection(int connection);
  // A new connection registered under the driver's key of `cnx` followed
  // by ";SQLConnecte<n>", with one reference for the caller; null when the
  // key cannot be built or the connection cannot be registered.
  CNAConnectionDescription* _pclGetNewConnection(INAConnectionDescription* cnx);
  // Process-wide count of the connections opened through a face (changed
  // under the driver's lock).
  static std::int32_t m_gnCnxNameGenerator;

  // A new driver-level statement for `connection` (counts 0: the caller
  // takes the first reference), or null, the reason in `error` (may be
  // null).
  virtual CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* connection,
                                                CNAError* error) = 0;

  // Runs `text` on a new driver-level statement of `connection`: the
  // statement's bExecuteDirect, then, when it worked, its bGetColumnNbr.
  // A statement with columns (a result set) is handed back in *statement
  // with one internal reference, which the caller gives back with
  // nRelease; otherwise the statement is gone and *statement is null. The
  // result is that of the last call made; false when no statement could be
  // had (the reason in `error`, out of memory when the face gave none
  // without saying why). `statement` may be null: the statement then goes
  // in every case.
  int bExecute(CNAError* error, CNAStatementSQL** statement, CNAConnectionDescription* connection,
               const wchar_t* text, CTabValParser* parameters, NA_WRITEPARSEFLAGS flags);

  // The catalogue lists; each answers true on success, false with the
  // reason in the face's error object. Flags: the kList constants below.
  // The server's database names into *out, joined by a tab (sorted
  // without regard to case with flag 0x10). With table kinds among the
  // flags, one record per database instead ("\r\n" between records): its
  // name, a tab, and the names of its tables of those kinds joined by a
  // tab. A failed table query stops with false, the records before kept.
  virtual int _bGetDatabaseList(CXYStringConcat<wchar_t>* out, CNAConnectionDescription* connection,
                                unsigned int flags);
  // The tables of the kinds in `flags` of the connection's current schema
  // that `filter` (a condition with its own connector, or null) keeps,
  // as _bGetTableList writes them; sorted without regard to case with
  // flag 0x10. Without a table kind: the empty text, true, no query.
  virtual int bGetTableList(CAny* result, CNAConnectionDescription* connection,
                            const wchar_t* filter, unsigned int flags);
  // The column names of table `table` (its description's items before the
  // first composite key) joined by "\r\n" into *result. No description:
  // false, *result marked NULL.
  virtual int bGetColumnList(CAny* result, CNAConnectionDescription* connection,
                             const wchar_t* table, unsigned int flags);
  // The foreign keys of table `table` (the server name of `source` when
  // given) read from "SHOW CREATE TABLE" (see
  // _bExtraitLink_FromShowCreateTable) into *result. A connection of
  // another kind than the MariaDB/MySQL one, or a view: true, *result
  // untouched. False when the name cannot be formatted, the query or its
  // first fetch fails, or it gives no result set. The statement is freed
  // on every way out.
  virtual int bGetLinkList(CAny* result, CNAConnectionDescription* connection,
                           const wchar_t* table, INADataSourceDescription* source,
                           unsigned int flags);

  // ---- Locks ------------------------------------------------------------
  // Opens `connection` when it is not open, then runs its lock of table
  // `table` (CNAConnectionDescription::bSQLBloque); failures go to
  // `error`. False when the opening or the lock fails.
  virtual int bSQLBloqueTable(CNAError* error, CNAConnectionDescription* connection,
                              const wchar_t* table, unsigned int flags);
  // The same with the connection's query lock of `query`
  // (CNAConnectionDescription::bSQLBloqueRequete); failures go to the
  // face's own error object.
  virtual int bSQLBloqueRequete(CNAConnectionDescription* connection, const wchar_t* query,
                                unsigned int flags);

  // ---- Query builders of the database listing ------------------------------
  // *text = the query listing the server's databases (first column: the
  // name): the INFORMATION_SCHEMA one generically. True.
  virtual int _bGetDatabaseListQuery(CTStringConcatAW* text, CNAConnectionDescription* connection,
                                     unsigned int flags);
  // *text = the query listing the tables of `database` of the kinds in
  // `flags` (first column: the name), the database given as an escaped
  // literal. False, *text untouched, when the name cannot be escaped.
  virtual int _bGetDatabaseTableListQuery(CTStringConcatAW* text, const wchar_t* database,
                                          CNAConnectionDescription* connection,
                                          unsigned int flags);

  // ---- Running a list query ------------------------------------------------
  // Empties *out, runs `query` (bExecute with the face's error object, no
  // parameters) and appends each row's first `columns` columns (all when 0)
  // joined by a tab, rows separated by `separator` (none when null or
  // empty). Rows are fetched with bFetch(flags) until the end of the rows.
  // A query that gives no result set gives the empty list. True when every
  // row was read; false when the query, a fetch or a row failed (the
  // reason in the face's error object; the rows read before stay in *out).
  // The statement is freed in every case.
  int _bGetList(CXYStringConcat<wchar_t>* out, CNAConnectionDescription* connection,
                const wchar_t* query, unsigned int columns, unsigned int flags,
                const wchar_t* separator);
  // The same with "\r\n" between rows; *list becomes the text (type 16, not
  // NULL) whatever the outcome, which is the answer.
  int _bGetList(CAny* list, CNAConnectionDescription* connection, const wchar_t* query,
                unsigned int columns, unsigned int flags);

  // *value = the text (type 16, not NULL).
  static void s_SetListText(CAny* value, const wchar_t* text, std::uint64_t length);

 protected:
  CNADriver* m_pclDriver = nullptr;
  CNAError* m_pclError = nullptr;

  // ---- Catalogue and foreign-key helpers; the runtime's lock requests ------
 public:
  // Referential actions of a foreign key.
  enum eSQLForeignKeysRules : std::uint32_t {
    SQLFK_CASCADE = 0,
    SQLFK_RESTRICT = 1,  // also when no action is written
    SQLFK_SET_NULL = 2,
    SQLFK_NO_ACTION = 3,
    SQLFK_SET_DEFAULT = 4,
    SQLFK_UNKNOWN = 0xFFFFFFFFu,
  };
  // List flags: the table kinds, the sort, the long form.
  static constexpr unsigned int kdwListBaseTables = 0x1;
  static constexpr unsigned int kdwListViews = 0x2;
  static constexpr unsigned int kdwListSystemTables = 0x4;
  static constexpr unsigned int kdwListKinds = 0x7;
  static constexpr unsigned int kdwListSorted = 0x10;
  static constexpr unsigned int kdwListLong = 0x20;

  // Appends the table-kind condition of `flags` to *out: the kinds asked
  // for (1 base tables, 4 system tables, 2 views) joined by " OR ", in
  // parentheses when there are several, so that a condition after them
  // applies to all of them; then,
  // when `condition` is not empty, a blank and the condition as given (it
  // brings its own connector, as in "AND TABLE_NAME LIKE 'c%'").
  virtual void _GetTableList_GetFilter(CXYStringConcat<wchar_t>* out, const wchar_t* condition,
                                       unsigned int flags);
  // The tables of the connection's current schema that `filter` keeps
  // (INFORMATION_SCHEMA), ordered by schema and name, into *result (type
  // 16, not NULL), records separated by "\r\n": the name, or with flag
  // 0x20 "<name>\t<schema>\t\t<type>" ("BASE TABLE" written "TABLE"). A
  // text without result set lists nothing (true). False, the reason in the
  // face's error object, when the query fails (result untouched), or a
  // fetch or a read fails (the records read before stay in *result). The
  // statement is freed on every way out.
  virtual int _bGetTableList(CAny* result, CNAConnectionDescription* connection,
                             const wchar_t* filter, unsigned int flags);
  // The foreign keys written in `createText` (the server's CREATE TABLE
  // text of table `table`) appended to *out, one record each ("\r\n"
  // between records), only with flag 0x20: constraint name, referenced
  // table ("db.t" when in another database), referenced key, "0,N",
  // `table`, source key, "0,1", update code, delete code, tab-separated.
  // A key of several columns is written as the name of the composite key
  // over them when the table's description has one, else as "a,b"; the
  // source description is `source` or, without one, fetched once; a
  // constraint whose description cannot be had is skipped, as is any
  // constraint that is not a well-formed foreign key. Only the keyword
  // CONSTRAINT as a word outside names and quoted strings starts a
  // constraint. Always true; descriptions fetched here are released.
  int _bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>* out, const wchar_t* createText,
                                        const wchar_t* table, CNAConnectionDescription* connection,
                                        INADataSourceDescription* source, int flags);
  // Replaces *key (column names joined by ",", `count` of them) by the name
  // of the first composite key of *description with exactly those
  // components (compared without regard to case); *key stays as it is when
  // none matches. When *description is null the driver's description of
  // `table` is fetched first and left in both *description and *fetched
  // with one internal reference, which the caller gives back (nRelease of
  // *fetched). False, nothing changed, when no description can be had.
  int _bGetNomCleComposee(INADataSourceDescription** description, CNADataSourceDescription** fetched,
                          CXYString<wchar_t>* key, int count, const wchar_t* table,
                          CNAConnectionDescription* connection);
  // *rule = the action named by `text` ("CASCADE", "RESTRICT", "SET NULL",
  // "NO ACTION", "SET DEFAULT", compared without regard to case), else
  // SQLFK_UNKNOWN. Always true.
  static int _bTextToeSQLForeignKeysRules(eSQLForeignKeysRules* rule, const wchar_t* text);
  // The runtime's code of an action in a link record: CASCADE "2022",
  // RESTRICT "2021", SET NULL and SET DEFAULT "2023", NO ACTION "2020"; an
  // unknown action reads as RESTRICT.
  static const wchar_t* s_pszForeignKeyRuleCode(eSQLForeignKeysRules rule);
  // Sorts the "\r\n"-separated records of *list's text ascending without
  // regard to case (nothing when it holds no text).
  static void s_SortListText(CAny* list);

 private:
  // The driver whose factories and descriptions the lists use: the face's
  // own, else the process's.
  CNADriver* _pclGetListDriver() const;
  // The frames of the runtime's slots (lock, then error reset; the answer
  // `failure` when the work does not run or throws): a connection slot
  // runs work(connection) with the connection of that number held for the
  // call; a statement slot runs work(statement) with the registered
  // statement held and its own error reset.
  template <typename R, typename F>
  R _tConnectionEntry(R failure, int connection, F work);
  template <typename R, typename F>
  R _tStatementEntry(R failure, int statement, F work);
  // The name a commit or rollback of the runtime passes on `connection`:
  // none while a transaction is open (the innermost active one ends),
  // else "SQLTransaction".
  static const wchar_t* s_pszEndName(CNAConnectionDescription* connection);

  CNARefHashTable<int, CNAStatementSQL*> m_clStatements;
};
KX_CINTERF_REF_TRAITS(CNADriverSQL)
