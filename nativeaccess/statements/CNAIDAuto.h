// CNAIDAuto: the server's answers about an automatic-identifier column of a
// data access: the next free value (the largest one plus 1) and the largest
// current value, each read by an internal query (CNAInternalParse) built
// here: SELECT MAX(item)+1 FROM table, SELECT MAX(item) FROM table, with
// the item and table written in the server's notation.
//
// For a data access on a platform query the item and table are the source
// column and source table of the column's item description (the table as
// the data access names it on the server, so that a FROM alias becomes its
// table); for a table
// they are the column's formatted unaliased name and the table's name on
// the server (the description's server name, else its logical name),
// written by the connection.
//
// Each call builds, runs and closes its own query: nothing stays between
// calls. Answers:
// - bGetNextValue: on an empty table the value is the 64-bit integer 1
//   (whatever the column's type); otherwise what the server answers for
//   MAX(item)+1, in the server's type. On failure message 28576 (logical
//   name, column) is put in front of the error's user message.
// - bGetMaxCurrentValue: the largest value, NULL (and true) on an empty
//   table; a result without a row is user error 59 (logical name, column).
// Both fail, with the reason in the error object, when the text cannot be
// built (a name that cannot be formatted, a query item without a source),
// the query cannot run or its value cannot be read. A null error object is
// allowed: the reasons are then built and dropped.
//
// Ownership: a CInterf; the data access that holds it keeps it alive. The
// data access, column, error object and value are borrowed for a call. An
// internal query is held (one reference) only while a call runs; the
// destructor closes any still held.
//
// Threads: used under the driver's process-wide lock, on the caller's
// thread.
#pragma once

#include "CInterf.h"

class CAny;
class CNAColumn;
class CNADataAccess;
class CNAError;
class CNAInternalParse;
template <typename T>
class CXYStringConcat;

class CNAIDAuto : public CInterf {
 public:
  CNAIDAuto() = default;
  // Closes both queries.
  ~CNAIDAuto() override;

  // ---- Virtual operations, in slot order after CInterf's -----------------
  // The next value for `column` of `access` into *value (see the class
  // text). True on success.
  virtual int bGetNextValue(CNADataAccess* access, CNAColumn* column, CNAError* error, CAny* value);
  // The largest current value for `column` of `access` into *value (NULL on
  // an empty table). True on success.
  virtual int bGetMaxCurrentValue(CNADataAccess* access, CNAColumn* column, CNAError* error, CAny* value);
  // Appends SELECT MAX(item)+1 FROM table to *text (_bBuildQueryGetMax).
  virtual int _bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* text, CNADataAccess* access, CNAColumn* column);
  // Appends SELECT MAX(item) FROM table to *text (_bBuildQueryGetMax).
  virtual int _bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* text, CNADataAccess* access,
                                             CNAColumn* column);
  // Puts message 28576 with the access's logical name and the column's name
  // in front of the error's user message; when the error object holds no
  // error yet, that message is added as user error 21. Nothing without an
  // error object.
  virtual void _PrefixMessageErreur(CNAError* error, CNADataAccess* access, CNAColumn* column);

  // ---- Building ------------------------------------------------------------
  // Appends "SELECT MAX(" item ")" ["+1"] " FROM " table to *text. False,
  // *text unchanged and the reason in the access's error object, when an
  // argument is missing, a query item has no source column or table, a
  // table has no name, or a name cannot be formatted.
  int _bBuildQueryGetMax(CXYStringConcat<wchar_t>* text, CNADataAccess* access, CNAColumn* column, int plusOne);

  // The queries held while a call runs (null otherwise); no reference for
  // the caller.
  CNAInternalParse* pclGetNextValueQueryNoRef() const { return m_pclNextValue; }
  CNAInternalParse* pclGetMaxCurrentValueQueryNoRef() const { return m_pclMaxCurrentValue; }

 private:
  // Gives back the held reference (destroying the query and its statement
  // and data access) and clears the field.
  static void _Close(CNAInternalParse** query);
  // Runs `text` as an internal query on the access's connection into
  // *query (one reference held); false when it cannot run.
  static int _bRun(CNAInternalParse** query, const CXYStringConcat<wchar_t>& text, CNADataAccess* access,
                   CNAError* error);

  CNAInternalParse* m_pclNextValue = nullptr;
  CNAInternalParse* m_pclMaxCurrentValue = nullptr;
};
KX_CINTERF_REF_TRAITS(CNAIDAuto)
