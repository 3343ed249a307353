// CMySQLStatementSQL: the driver-level statement of the MariaDB/MySQL
// driver. It puts one SQL text on the wire with the client library, takes
// the result, describes its columns, fetches its rows one at a time and
// hands each value to the record layer as text or bytes.
//
// Every SQL text of the system reaches the server through it: the table
// statements, the SQL face of the driver, the driver's existence test and
// the connection's own queries. It is made for one connection and one error
// object, both referenced for its lifetime (see CNAStatementSQL).
//
// Results are stored whole on the client (mysql_store_result), so that
// bDataSeek can go back; only a record count streams (store flag 0 for one
// execution, mysql_use_result), and a streamed result must be read to its
// end before the connection runs anything else, which closing does.
//
// Several statements in one text: the statement keeps the first result
// that has a result set and consumes every later one at execution; a later
// statement's failure fails the execution (its error recorded, every
// result freed), as it does for the connection's direct execution.
//
// Reading: bFetch makes one mysql_fetch_row and one mysql_fetch_lengths per
// row; a stored result's end is the end of data (the handle's error number
// may be left over from an earlier statement and is not asked), a stream's
// end asks mysql_errno, since a broken stream also ends in no row. Values
// reach the converter by pointer and length; only DATE and DATETIME texts
// (which lose their dashes, on the stack) and BLOBs read as 4-byte
// characters (through an aligned buffer of the statement) are copied.
// Going back (bDataSeek) uses the row positions of the client library when
// it offers them: the first seek records every row's position in one walk,
// each later one is a single call; else mysql_data_seek, which walks from
// the first row.
//
// Every client call runs inside the connection's client-call guard: a call
// that throws becomes an error in the statement's error object and the
// operation fails.
//
// Ownership: a CInterf with counts 0 at construction. Owns its result
// handle (freed by _bCloseParse, also at destruction), its column array
// and its row-position table.
//
// Threads: none of its own; used under the driver's process-wide lock.
#pragma once

#include <cstdint>
#include <vector>

#include "CMySQLConnection.h"
#include "CNAStatementSQL.h"

struct st_mysql_res;
struct st_mysql_rows;

class CMySQLStatementSQL : public CNAStatementSQL {
 public:
  // The generic construction (references on both), then store flag 1, no
  // result, no current row.
  CMySQLStatementSQL(CMySQLConnection* connection, CNAError* error);
  // Closes an open result first.
  ~CMySQLStatementSQL() override;

  // ---- overridden slots ----
  // *count = the rows the statement's last text changed; a result still
  // held is freed first. With several result sets enabled, the count taken
  // before the execution asked for further results (asking resets the
  // handle's count to "none").
  int bGetAffected_rows(unsigned long* count) override;
  // The next row: 1 with a row (current row index + 1) or at the end of the
  // rows (no current row, end-of-data flag 1); 1 at once for a result
  // without rows. 0 when a stream broke (error 100.25) or the client call
  // failed.
  int bFetch(unsigned int option) override;
  // Places a stored result so that the next bFetch reads the row of 0-based
  // index n (the end for n past the rows); the current row is cleared.
  int bDataSeek(long n) override;
  using CNAStatementSQL::bGetValue;
  // Column `column` of the current row into the converter (see the header's
  // reading rules). 0 without a current row; 0 and user error 50 for a
  // column at or past the column count.
  int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int option) override;
  // Frees the result (a stream is read to its end first, with any further
  // results of its text); then the base's closing. 0 when a client call
  // failed (the fields are reset all the same).
  int _bCloseParse() override;
  // Describes the columns of the current result from the client's field
  // descriptions, in the layout of the loaded client: name, type, declared
  // length (a length below 1 takes the summed longest values of this and
  // the earlier columns), decimals, flags, character set, and the item type
  // and size of the type map. A decimal's integer digits are its declared
  // length less its decimals, less one for the point when it has decimals
  // and one for the sign when it is signed (old layouts, read without
  // flags: less 2). Runs at each execution that gives columns; a former
  // description goes first. 0 with user error 12 without memory, or when
  // mysql_fetch_fields failed (no column described).
  int _bInitTabNAColumn() override;
  // `text` may be the first part of the sent text (at least the characters
  // the dump keeps) and `length` the whole text's length in characters.
  // The base's error and query dump; then, for a lost server (2006), the
  // max_allowed_packet test (user error 760101 first when the text was
  // longer). The connection is reopened for that test only when no
  // transaction is open on it: a reopened connection would let later
  // writes of the transaction autocommit after the server rolled its start
  // back.
  void _InitExecuteError(unsigned int source, unsigned int position, const wchar_t* text,
                         long length, unsigned int flags) override;
  using CNAStatementSQL::_bExecuteDirect;
  // Sends the 8-bit text; takes the result (stored or streamed by the store
  // flag) and describes its columns.
  int _bExecuteDirect(const char* text, CTabValParser* parameters,
                      NA_WRITEPARSEFLAGS flags) override;

  // ---- own operations ----
  // The column's bytes in the current row (null for NULL) and their length,
  // without copy. 0 without a current row; 0 and user error 50 past the
  // column count.
  int bGetValue(unsigned char** value, unsigned int* length, unsigned int column);
  // mysql_fetch_row of the result; null at the end and when the call
  // failed (then *raised, when given, is set).
  char** __pFetchRow(int* raised = nullptr);
  // One row (see bFetch), for any row count.
  int _bFetch();
  int _bGetStoreResult();
  int _bGetUseResult();

  // The store flag: 1 (default) stores results on the client; 0 streams the
  // next execution's result. A record count sets 0 for one execution and
  // puts 1 back.
  void SetStoreResult(int store) { m_bStoreResult = store ? 1 : 0; }
  int bGetStoreResult() const { return m_bStoreResult; }
  // 1 while a streamed result may still hold unread rows.
  int bIsStreaming() const { return m_bStreaming; }
  // Counts the rows a streamed result still gives, without building any
  // value, into *count; the stream is then at its end. Then the handle's
  // error: a stream that broke records it (100.25), *count = 0 and the
  // answer is 0. 0 also for a stored result or none (nothing counted).
  int bCountStreamedRows(std::int64_t* count);

  // The connection as the driver's class.
  CMySQLConnection* pclGetMySQLConnectionNoRef() const { return m_pclMySQL; }
  // Whether the row-position walk has run for the current result (1 after
  // the first seek when the client offers row positions).
  int bRowPositionsRecorded() const { return m_bPositionsRecorded; }

  // Places of this class in the location lines of its errors (source 100)
  // and in the guard's lines.
  static constexpr unsigned int knSource = 100;
  static constexpr unsigned int knPosStoreResult = 22;
  static constexpr unsigned int knPosQuery = 23;
  static constexpr unsigned int knPosUseResult = 24;
  static constexpr unsigned int knPosFetch = 25;
  static constexpr unsigned int knPosPacket = 26;
  static constexpr unsigned int knPosColumns = 27;
  static constexpr unsigned int knPosColumnPastCount = 28;
  static constexpr unsigned int knPosMemory = 29;
  // Positions of the client calls in the guard's lines (source 101, after
  // the connection's own).
  static constexpr int knGuardQuery = 40;
  static constexpr int knGuardStore = 41;
  static constexpr int knGuardUse = 42;
  static constexpr int knGuardNext = 43;
  static constexpr int knGuardFree = 44;
  static constexpr int knGuardFields = 45;
  static constexpr int knGuardFetch = 46;
  static constexpr int knGuardLengths = 47;
  static constexpr int knGuardSeek = 48;
  static constexpr int knGuardAffected = 49;
  static constexpr int knGuardCounts = 50;
  // User errors.
  static constexpr unsigned int knErrNoMemory = 12;
  static constexpr unsigned int knErrColumnPastCount = 50;
  static constexpr unsigned int knErrQueryTooLong = 760101;
  // The server's "gone away".
  static constexpr unsigned int knErrServerGone = 2006;

 protected:
  // One client call inside the connection's guard, its failure recorded in
  // the statement's error object; false when it threw or there is no
  // connection.
  template <typename F>
  bool _bClientCall(int nPosition, F&& call) {
    return m_pclMySQL != nullptr && m_pclMySQL->_bGuard(m_pclError, nPosition, call);
  }
  // Frees every result still pending on the connection after the current
  // one (multi-statement texts). False when a later statement failed (its
  // error recorded at 100.22) or a client call failed.
  int _bDrainFurtherResults();
  // Records the error of the last statement and frees the held result:
  // the failure path of a multi-statement execution.
  int _bFailExecution();
  // No current row: its values and lengths forgotten, end-of-data flag 1.
  void _ClearRow() {
    m_ppRow = nullptr;
    m_pnLengths = nullptr;
    m_bNoCurrentRow = 1;
  }
  // Reads the rest of a stream and drops it.
  int _bDrainStream();
  // The row-position walk of a stored result (see the header); false when
  // it could not run (the caller seeks without it).
  int _bRecordRowPositions();
  // 1 when the current row has column `column`; else 0 and user error 50
  // (column, column count).
  int _bColumnInRow(unsigned int column);
  // The converter's share of bGetValue for a BLOB column.
  int _bSetBlobValue(CNAConvertVariant* value, const char* data, unsigned long length,
                     const CNAColumnSQL& column);
  // The server's max_allowed_packet as a positive number into *value over
  // a fresh statement with `error`; false when the question failed.
  int _bAskMaxAllowedPacket(CNAError* error, std::int64_t* value);

  CMySQLConnection* m_pclMySQL = nullptr;  // = m_pclConnection, typed
  st_mysql_res* m_pResult = nullptr;
  char** m_ppRow = nullptr;
  std::int32_t m_bStreaming = 0;
  unsigned long* m_pnLengths = nullptr;
  std::int32_t m_bStoreResult = 1;
  // The current result was streamed: closing also drains the further
  // results of its text.
  std::int32_t m_bStreamedResult = 0;
  // The rows the last text without result set changed, kept before
  // mysql_next_result (which resets the handle's count) was asked.
  std::uint64_t m_nAffectedRows = 0;
  std::int32_t m_bAffectedSaved = 0;
  // Row positions of the current stored result (row count + 1 entries: the
  // last one is the end), once recorded.
  std::vector<st_mysql_rows*> m_vecRowPositions;
  std::int32_t m_bPositionsRecorded = 0;
  // Aligned room for a BLOB read as 4-byte characters (grows, kept).
  std::vector<wchar_t> m_vecWide;
  // Room for a DATE or DATETIME text too long for the stack buffer.
  std::vector<char> m_vecDate;
};
KX_CINTERF_REF_TRAITS(CMySQLStatementSQL)
