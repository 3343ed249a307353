// A driver-level statement over an in-memory "server", for the tests of
// what reads through a driver statement (CNAStatement and its callers).
//
// InMemoryServer: what answers the texts the statements send, shared by
// every statement a test's SQL face hands out: fnAnswer gives the rows of
// a text (each value an 8-bit text, or none for NULL) or refuses it; the
// texts received, the affected-row count an UPDATE reports, whether
// results come as a stream (row count 4294967295, no seek), and call
// counts of executions, fetches and seeks. It can also fail on purpose: the
// fetch that would read a given row of a text, or the read of a given
// column of a given row (as a connection lost mid-result does), and it can
// give a text a column count of its own (0: a statement without result
// set).
//
// InMemoryStatementSQL: runs a text by asking the server, then walks the
// rows as a stored result does: bFetch moves to the next row (at the end no
// row is current and the call still succeeds), bDataSeek places the cursor
// so that the next bFetch reads row n, bGetValue hands the row's text to
// the value holder as the server's driver does (bSetValueDB in the
// connection's server code page), NULL as SetNull.
//
// Needs no stand-in library.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CNAStatementSQL.h"

namespace kxtest {

using MemValue = std::optional<std::string>;
using MemRow = std::vector<MemValue>;
using MemRows = std::vector<MemRow>;

// A failure to script: on the results of texts beginning with sText (every
// text when empty), at 0-based row nRow (-1: none) and, for a value read,
// column nColumn (-1: any column of that row).
struct InMemoryFailure {
  std::string sText;
  std::int64_t nRow = -1;
  int nColumn = -1;
};

struct InMemoryServer {
  // The rows of `text` into *rows (left empty for a text without result);
  // false makes the execution fail. Unset: every text fails.
  std::function<bool(const std::string& text, MemRows* rows)> fnAnswer;
  std::vector<std::string> vecTexts;
  unsigned long nAffectedRows = 1;
  bool bStream = false;
  unsigned int nColumns = 2;
  // When set, the column count of each text (instead of nColumns).
  std::function<unsigned int(const std::string& text)> fnColumns;
  // The fetch that would read this row fails (false, no current row, the
  // error in the statement's error object).
  InMemoryFailure stFailFetch;
  // The read of this value fails (false, the error reported).
  InMemoryFailure stFailValue;
  int nExecutions = 0;
  int nFetches = 0;
  int nSeeks = 0;
  int nAlive = 0;  // statements not yet deleted
};

class InMemoryStatementSQL : public CNAStatementSQL {
 public:
  // The row count of a streamed result.
  static constexpr std::int64_t knStreamRows = 4294967295LL;

  InMemoryStatementSQL(InMemoryServer* server, CNAConnectionDescription* connection, CNAError* error);
  ~InMemoryStatementSQL() override;

  using CNAStatementSQL::_bExecuteDirect;
  using CNAStatementSQL::bGetValue;

  int bGetAffected_rows(unsigned long* count) override;
  int bFetch(unsigned int option) override;
  int bDataSeek(long n) override;
  int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int option) override;
  int _bCloseParse() override;
  int _bExecuteDirect(const char* text, CTabValParser* parameters, NA_WRITEPARSEFLAGS flags) override;

 private:
  InMemoryServer* m_pstServer;
  // Whether `failure` names the current text and `row` (and `column`).
  bool _bFails(const InMemoryFailure& failure, std::int64_t row, int column) const;

  MemRows m_tabRows;
  std::string m_sText;
  std::int64_t m_llNext = 0;  // the row the next bFetch reads
};

}  // namespace kxtest
