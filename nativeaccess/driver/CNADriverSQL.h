// CNADriverSQL: the SQL face of the driver: the catalogue lists (databases,
// tables, columns, links, column types), SQL locks, and the driver-level
// statements through which connections run SQL of their own.
//
// The driver creates it on first need through its factory slot and keeps
// one internal reference; the runtime gets it from the driver's
// piGetInterface(1) with one external reference. The concrete driver's face
// supplies pclAllocStatementSQL. The generic catalogue lists and query
// builders answer false here until the catalogue layer provides them; a
// concrete face replaces those it answers itself.
//
// Ownership: a CInterf: deleted when the last of its internal and external
// references goes. It knows its driver (not counted: the driver owns the
// face) and holds one reference on its error object, which receives the
// failures of its own operations (lists, query locks). Used under the
// driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNAStatementSQL.h"

class CAny;
class CNAConnectionDescription;
class CNADriver;
class CNAError;
class CTabValParser;
class CTStringConcatAW;
class INADataSourceDescription;
template <typename T>
class CXYStringConcat;

class CNADriverSQL : public CInterf {
 public:
  // Counts 0; one reference on `error` (either may be null).
  explicit CNADriverSQL(CNADriver* driver = nullptr, CNAError* error = nullptr);
  // Gives the error object's reference back.
  ~CNADriverSQL() override;
  CNADriverSQL(const CNADriverSQL&) = delete;
  CNADriverSQL& operator=(const CNADriverSQL&) = delete;

  CNADriver* pclGetDriver() const { return m_pclDriver; }
  // The face's error object (no reference added; may be null).
  CNAError* pclGetErrorNoRef() const { return m_pclError; }

  // The runtime's references.
  void ExternalAddRef() { ++m_nExternalCount; }
  // One external reference less (nothing at 0); deleted when both counts
  // are 0 then. Returns the new external count.
  std::uint32_t nExternalRelease();

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

  // The catalogue lists; each answers true on success. Not provided yet:
  // false, the result untouched.
  // Database names of the connection's server into *out.
  virtual int _bGetDatabaseList(CXYStringConcat<wchar_t>* out, CNAConnectionDescription* connection,
                                unsigned int flags);
  // Tables of the connection (or of database `filter`) into *result.
  virtual int bGetTableList(CAny* result, CNAConnectionDescription* connection,
                            const wchar_t* filter, unsigned int flags);
  // Columns of a table into *result.
  virtual int bGetColumnList(CAny* result, CNAConnectionDescription* connection,
                             const wchar_t* table, unsigned int flags);
  // Links of a table into *result.
  virtual int bGetLinkList(CAny* result, CNAConnectionDescription* connection,
                           const wchar_t* table, INADataSourceDescription* source,
                           unsigned int flags);
  // The column types the server offers into *result.
  virtual int bGetColumnTypeList(CAny* result, int reserved1, int reserved2);

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
  // name). Not provided generically yet: false, *text untouched.
  virtual int _bGetDatabaseListQuery(CTStringConcatAW* text, CNAConnectionDescription* connection,
                                     unsigned int flags);
  // *text = the query listing the tables of `database` (first column: the
  // name). Not provided generically yet: false, *text untouched.
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
};
KX_CINTERF_REF_TRAITS(CNADriverSQL)
