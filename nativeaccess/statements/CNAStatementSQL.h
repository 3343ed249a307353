// CNAStatementSQL: the driver-level statement: one SQL text sent to the
// server on one connection, its result set, its current row and its
// columns.
//
// The base does everything that does not talk to the client library: it
// merges the SQL runtime's parameter values into the text, converts the
// text to the connection's code page, reads values, column names and whole
// rows as text through the driver's value reader, creates the column
// descriptions on demand and fills the error object with the failing
// query. A concrete driver's statement supplies the sending of 8-bit text,
// fetching, seeking, affected rows, the value reader and the column
// descriptions; in the base those answer 0.
//
// What a driver's statement must do:
//  - _bExecuteDirect(const char*, ...): send the text, take the result, set
//    m_bResultOpen, m_llRowCount (0 without rows; positive while rows may
//    follow) and m_nColumnCount; on failure call _InitExecuteError.
//  - bFetch: advance (m_llCurrentRow + 1, m_bNoCurrentRow 0); at the end of
//    the rows m_bNoCurrentRow 1; on a fetch error m_bNoCurrentRow 1 and
//    _bInitLastError.
//  - bGetValue(CNAConvertVariant*, ...): read a value of the current row into
//    the converter (SetNull for NULL).
//  - _bInitTabNAColumn: create m_pclColumns (m_nColumnCount elements) with
//    names and item types.
//  - _bCloseParse: free the result; row count 0, column count 0, current row
//    -1, size total 0, then the base's _bCloseParse (result-open flag 0).
//
// Ownership: a CInterf (internal and external counts; deleted when the
// internal count drops to 0 while the external one is 0). Made by the SQL
// face's pclAllocStatementSQL with counts 0; owned by a CNAStatement, by the
// SQL face's registry, or by the caller for one call. It holds one
// reference on its error object, one on its connection and one on its
// value converter; the column array is its own.
//
// Threads: used under the driver's process-wide lock; the id counter is a
// plain increment under that lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CXYStringConcat.h"

class CAny;
class CNAColumnSQL;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CTabValParser;
class CTStringConcatAW;
class INAError;

// Flags of an execution (the write/parse flags of a read or write).
enum NA_WRITEPARSEFLAGS : std::uint32_t {
  NA_WRITEPARSE_NONE = 0,
};

class CNAStatementSQL : public CInterf {
 public:
  // Counts 0, no result, row count 0, current row -1, no columns, no current
  // row, next statement id; one reference on `error` and on `connection`
  // (either may be null: a statement without one answers as documented per
  // operation).
  explicit CNAStatementSQL(CNAConnectionDescription* connection = nullptr,
                           CNAError* error = nullptr);
  // Releases the converter, destroys the columns, releases the connection
  // and the error object.
  ~CNAStatementSQL() override;

  // ---- virtual operations, in slot order ----
  // Preparing is not supported by the base: 0.
  virtual int bPrepareSQL(CTStringConcatAW* text);
  virtual int bExecutePreparedQuery(NA_WRITEPARSEFLAGS flags);
  // Resets, merges the parameters (may be null) into the text and runs it.
  // False when the reset, a parameter or the execution fails (the error in
  // the error object), or when a parameter's marker lies outside the text
  // or before the previous one (nothing is sent then).
  virtual int bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                             NA_WRITEPARSEFLAGS flags);
  // *count = rows changed by the last statement without result. Driver.
  virtual int bGetAffected_rows(unsigned long* count);
  // Moves to the next row. Driver.
  virtual int bFetch(unsigned int option);
  // Places the cursor so that the next bFetch reads the row of 0-based
  // index n. Driver.
  virtual int bDataSeek(long n);
  // Reads column `column` of the current row into `value`. Driver.
  virtual int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int option);
  // The value of column `column` of the current row as text (type 16)
  // into *value.
  virtual int bGetValue(CAny* value, unsigned int column, unsigned int option);
  // The same as binary (type 28).
  virtual int bGetBLOBValue(CAny* value, unsigned int column, unsigned int option);
  // Closes the result and forgets rows and columns; 1.
  virtual int bReset();
  // Clears the result-open flag; 1. The driver frees its result first.
  virtual int _bCloseParse();
  // Creates the column array. Driver; 0 here.
  virtual int _bInitTabNAColumn();
  // Fills the error object from the connection's last error; (source,
  // position) name the reporting place.
  virtual int _bInitLastError(unsigned int source, unsigned int position);
  // _bInitLastError, then the query dump of at most 5000 characters.
  virtual void _InitExecuteError(unsigned int source, unsigned int position, const wchar_t* text,
                                 long length, unsigned int flags);
  // Writes `value` as the connection's SQL literal at the end of `text`.
  virtual int _bAddParameter(CTStringConcatAW* text, unsigned int index, const CAny* value);
  // Runs the buffer: a wide one through the wide form, else the 8-bit one.
  virtual int _bExecuteDirect(CTStringConcatAW* text, CTabValParser* parameters,
                              NA_WRITEPARSEFLAGS flags);
  // Converts to the connection's text code page and runs the 8-bit form;
  // 0 without running anything when that code page is wide.
  virtual int _bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                              NA_WRITEPARSEFLAGS flags);
  // Sends the 8-bit text. Driver; 0 here.
  virtual int _bExecuteDirect(const char* text, CTabValParser* parameters,
                              NA_WRITEPARSEFLAGS flags);

  // ---- non-virtual operations ----
  // bReset, then the 8-bit text without parameters.
  int bExecuteDirect(const char* text, NA_WRITEPARSEFLAGS flags);
  // Runs a one-value query and puts column `column` of its first row into
  // *value; always resets afterwards. The result of the last step run.
  int bGetRequestedValue(CAny* value, int column, const wchar_t* text);
  // *count = the column count; 1.
  int bGetColumnNbr(int* count, unsigned int flags);
  // The column's name (type 110, own copy); 0 without the column.
  int bGetColumnName(CAny* name, unsigned int column, unsigned int flags);
  // Every column's name joined by "\r\n" (type 16).
  int bGetColumnList(CAny* list, unsigned int flags);
  // The current row as text, fields joined by `separator`, at most
  // `maxColumns` when positive. 0 and user error 7 without a current row.
  int bGetRow(CXYStringConcat<wchar_t>* out, const wchar_t* separator, int maxColumns,
              unsigned int option);
  // The same into *value (type 110; empty text when nothing was built).
  int bGetRow(CAny* value, const wchar_t* separator, int maxColumns, unsigned int option);
  // Column n's description: created on first demand; null with user error
  // 51 (n negative) or 50 (n at or past the count), or when the driver
  // could not describe the columns.
  CNAColumnSQL* pclGetNAColumnSQL(int n);
  // The column's item type (0 without it) and name (null without it).
  int _eGetColumnType(unsigned int column);
  const wchar_t* _pszGetColumnName(unsigned int column);
  // Hands out the error object (no reference added); 1.
  int bGetStmtLastError(INAError** error);
  // Resets the error object when there is one.
  void ResetLastError();
  // The value converter, created on first use through the process driver;
  // null when none can be had. Not referenced for the caller.
  CNAConvertVariant* _pclGetVariant();
  // The index-th parameter's marker position and length (characters) and
  // its value (a file parameter's content). 1, or the file load's result.
  int _bGetParameter(CAny* value, int* position, int* length, CTabValParser* parameters,
                     int index);
  // Debug message 28588 (database name, default database, user), then the
  // query text as a debug text.
  void _DumpQueryInError(CTStringConcatAW* text, unsigned int flags);
  // The same with at most the first 5000 characters (none when length <= 0).
  void _DumpQueryInError(const wchar_t* text, long length, unsigned int flags);
  void _DumpQueryInError(const char* text, long length, unsigned int flags);

  // Read access for callers and the record layer.
  CNAError* pclGetErrorNoRef() const { return m_pclError; }
  CNAConnectionDescription* pclGetConnectionNoRef() const { return m_pclConnection; }
  std::int64_t llGetRowCount() const { return m_llRowCount; }
  std::int64_t llGetCurrentRow() const { return m_llCurrentRow; }
  unsigned int nGetColumnCount() const { return m_nColumnCount; }
  bool bNoCurrentRow() const { return m_bNoCurrentRow != 0; }
  std::uint64_t nGetColumnSizeTotal() const { return m_nColumnSizeTotal; }
  std::uint32_t nGetStatementId() const { return m_nStatementId; }

  // The process-wide id counter: incremented before each construction takes
  // it, so the first statement has id 1. Id 0 is skipped on wrap.
  static std::uint32_t m_gnStmtGenerator;

  // The number of characters a query dump keeps.
  static constexpr long knDumpMaxChars = 5000;

 protected:
  // Destroys the column array (last element first).
  void _DestroyColumns();
  // Adds a user error with error type 0 and the connection to the error
  // object (dropped without one).
  void _AddUserError(int code, const wchar_t* const* args, int argCount);

  CNAError* m_pclError = nullptr;
  CNAConnectionDescription* m_pclConnection = nullptr;
  std::int32_t m_bResultOpen = 0;
  std::int64_t m_llRowCount = 0;
  std::int64_t m_llCurrentRow = -1;
  std::uint32_t m_nColumnCount = 0;
  CNAColumnSQL* m_pclColumns = nullptr;  // new[] of m_nColumnCount elements
  std::int32_t m_bNoCurrentRow = 1;
  std::uint64_t m_nColumnSizeTotal = 0;
  std::uint32_t m_nStatementId = 0;
  CNAConvertVariant* m_pclVariant = nullptr;
};
KX_CINTERF_REF_TRAITS(CNAStatementSQL)
