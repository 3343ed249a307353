// CNAInternalParse: one query the library sends on its own behalf (never
// asked for by the platform), such as the largest value of an
// automatic-identifier column, and the reading of its rows, as values or as
// one text.
//
// The query runs through a private data access that the process's driver
// makes for the connection (no data-source description), under the query
// name "$KXInternal"; the data access describes the result in its record
// layout and hands back the statement that holds the rows. Record caching
// is off on that statement: the rows are read once, forward.
//
// Failures: every operation that can fail answers false (or null) with the
// reason in the error object given at creation. Reading never reports the
// end of the rows as a failure, and never reports a failed fetch or value
// read as success.
//
// Ownership: a counted CKXUnknown. s_pclGetNAInternalParse gives the object
// with count 0: the caller takes the first reference (dwAddRef) and the
// last dwRelease destroys it, giving back the statement's reference and the
// data access's internal reference (each deleted when its counts reach 0).
// The error object and the connection are borrowed: they must outlive the
// object.
//
// Threads: used under the driver's process-wide lock, on the caller's
// thread; only the count is changed atomically.
#pragma once

#include "CKXUnknown.h"
#include "NARecordTypes.h"

class CAny;
class CNAColumn;
class CNAConnectionDescription;
class CNADataAccess;
class CNAError;
class CNAStatement;
template <typename T>
class CXYStringConcat;

class CNAInternalParse : public CKXUnknown {
 public:
  // The name internal queries run under.
  static constexpr const wchar_t* kpszQueryName = L"$KXInternal";

  // Runs `query` on `connection` (errors into `error`): creates the object
  // (count 0), allocates its data access (_bAllocate) and runs the query
  // (_bExecute). Returns the object, or null after destroying it when
  // either step failed.
  static CNAInternalParse* s_pclGetNAInternalParse(const wchar_t* query, CNAError* error,
                                                   CNAConnectionDescription* connection);
  // Runs `query` and appends all its rows to *text (see bFetchAll). True
  // when the query ran and every row was read (none included); false when
  // the query could not run or a fetch or value read failed (the rows read
  // before stay in *text, the failing row's text does not).
  static int s_bDoInternalParse(const wchar_t* query, CNAError* error, CNAConnectionDescription* connection,
                                CXYStringConcat<wchar_t>* text, const wchar_t* rowSeparator,
                                const wchar_t* columnSeparator);

  // Gives back the statement's reference, then the data access's.
  ~CNAInternalParse() override;
  CNAInternalParse(const CNAInternalParse&) = delete;
  CNAInternalParse& operator=(const CNAInternalParse&) = delete;

  // Runs the statement's prepared query again (flags 0x110000, no
  // parameter refresh); false without a statement.
  int bReExecute();

  // The column count of the data access's record layout; 0 before the
  // query ran or without a layout.
  int nGetColumnNbr() const;
  // The layout's column by item name, or by index; null when none. No
  // reference for the caller.
  CNAColumn* pclGetColumnNoRef(const wchar_t* name) const;
  CNAColumn* pclGetColumnNoRef(int index) const;

  // Reads one row in `direction` (0 first, 2 next). Without a statement:
  // *outOfRange 1 and true. Else the statement's fetch; when it succeeds
  // *outOfRange tells whether no row was there.
  int bFetch(eNA_PARSEDIRECTION direction, int* outOfRange);
  // bFetch, then, when a row was read, the current values of the first
  // `count` columns (at most the layout's) into values[0 ..]. False
  // without a statement, when the fetch fails or when a value cannot be
  // read (the error says which). Out of range leaves the values as they
  // were.
  int bFetchData(eNA_PARSEDIRECTION direction, int* outOfRange, CAny* values, int count);
  // bFetch, then, when a row was read, appends it to *text: the row
  // separator first when *text is not empty, then each column's value as
  // text (nothing for NULL or a value that has no text), the column
  // separator between columns. Empty or null separators add nothing.
  // False without a statement, when the fetch fails or a value cannot be
  // read; *text is then as it was before the call.
  int bFetchData(eNA_PARSEDIRECTION direction, int* outOfRange, CXYStringConcat<wchar_t>* text,
                 const wchar_t* rowSeparator, const wchar_t* columnSeparator);
  // Every row from the first, as bFetchData appends them. True when the
  // rows ran out (also when there was none); false without a statement or
  // when a row could not be read (the rows before it stay appended).
  int bFetchAll(CXYStringConcat<wchar_t>* text, const wchar_t* rowSeparator, const wchar_t* columnSeparator);

  CNAStatement* pclGetStatementNoRef() const { return m_pclStatement; }
  CNADataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }
  CNAError* pclGetErrorNoRef() const { return m_pclError; }

 protected:
  CNAInternalParse(CNAError* error, CNAConnectionDescription* connection);

  // The process driver's data access for the connection (no description),
  // with one internal reference; false (user error 12 unless the driver
  // said why) when there is no driver or it gives none.
  int _bAllocate();
  // The data access runs `query` as an internal query; the statement it
  // hands back is kept (its reference) with record caching off.
  int _bExecute(const wchar_t* query);

 private:
  // Reads the current value of every column of the current row into
  // *text (see bFetchData); false on the first value that cannot be read.
  int _bAppendCurrentRow(CXYStringConcat<wchar_t>* text, const wchar_t* columnSeparator);
  // Reports a value of `column` that could not be read, unless the error
  // object holds a reason already.
  void _ReportUnreadableValue(CNAColumn* column);

  CNAError* m_pclError;
  CNAConnectionDescription* m_pclConnection;
  CNADataAccess* m_pclDataAccess = nullptr;
  CNAStatement* m_pclStatement = nullptr;
};
