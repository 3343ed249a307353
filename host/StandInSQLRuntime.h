// CStandInSQLRuntime: the stand-in for the platform's SQL runtime, which
// reaches the driver only through its SQL face (INADriverSQL, the driver's
// piGetInterface(1)) and only by integer handles: it opens a connection of
// its own, runs texts, walks the rows of a result, reads values, asks for
// the table list and drives transactions.
//
// Ownership: it takes over the external reference the face was handed out
// with and gives it back (nExternalRelease) at its end, after closing the
// connection it opened. Values come back in CAny objects of this process,
// whose texts live in the runtime's string memory (the caller sets
// CInformationModule::ms_piStrMemAlloc to the allocator the library uses).
// One thread at a time.
#pragma once

#include <string>
#include <vector>

class CTabValParser;
class INAConnectionDescription;
class INADriverSQL;

class CStandInSQLRuntime {
 public:
  // What one text gave: the execution's answer and statement handle, the
  // rows (fields joined by a tab), the answer of the fetch that ended the
  // loop and the statement's error text then (empty: no error).
  struct STRun {
    int nAnswer = 0;
    int nStatement = 0;
    std::vector<std::wstring> vecRows;
    int nLastFetch = 0;
    std::wstring sFetchError;
  };

  // `face` may be null (every operation then fails).
  explicit CStandInSQLRuntime(INADriverSQL* face);
  ~CStandInSQLRuntime();
  CStandInSQLRuntime(const CStandInSQLRuntime&) = delete;
  CStandInSQLRuntime& operator=(const CStandInSQLRuntime&) = delete;

  // Opens the runtime's connection for `cnx`; its handle is then
  // nGetConnection() (0 when refused). The answer of bOpenConnection.
  int bOpen(INAConnectionDescription* cnx);
  int nGetConnection() const { return m_nConnection; }
  // Closes the connection (nothing without one); the face's answer.
  int bClose();

  // Runs `text` (parameters may be null) and, with a result set, fetches
  // every row (bGetRow with a tab), then frees the statement.
  STRun Run(const wchar_t* text, CTabValParser* parameters);
  // The single steps by handle.
  int bExecute(int* statement, const wchar_t* text, CTabValParser* parameters);
  int bFetch(int statement);
  // *out = column `column` (from 1) of the current row as text.
  int bGetValue(int statement, unsigned int column, std::wstring* out);
  int bGetRow(int statement, std::wstring* out);
  int bFree(int statement);
  // *out = the statement's error text (empty when it reports none).
  int bGetStatementError(int statement, std::wstring* out);

  // *out = the table list of the connection for `flags` and `condition`
  // (may be null).
  int bGetTableList(unsigned int flags, const wchar_t* condition, std::wstring* out);
  int bBegin();
  int bCommit();
  int bRollBack();

  // The text of the face's last error (empty when none).
  std::wstring LastError() const;

 private:
  INADriverSQL* m_piFace;
  int m_nConnection = 0;
};
