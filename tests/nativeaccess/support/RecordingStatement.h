// A driver-level statement for tests: it records every text it is asked to
// run and answers from a script shared by all the statements a test's
// connection allocates.
//
// StatementScript: the log (texts of bExecuteDirect and queries of
// bGetRequestedValue, in the order received), the numbers (1-based, counted
// over every text of the log) of the texts that fail, the value
// bGetRequestedValue hands out and the column count bGetColumnNbr gives.
//
// RecordingStatementScope: installs, for its lifetime, a TestDriver as the
// process's driver whose SQL face gives every connection a new
// RecordingStatement on the script (or no statement at all while
// bNoStatement is set), and restores the previous process driver
// afterwards (the test driver is then deleted).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAStatementSQL.h"

class CNADriver;

namespace kxtest {

class TestDriver;

struct StatementScript {
  std::vector<std::wstring> vecTexts;
  std::set<std::size_t> setFailing;  // 1-based numbers of failing texts
  CAny clValue;                       // what bGetRequestedValue gives
  bool bNoStatement = false;          // the factory gives none
  int nAllocated = 0;                 // statements handed out
  int nAlive = 0;                     // statements not yet deleted
  int nColumnCount = 0;               // what bGetColumnNbr gives
  bool bColumnCountFails = false;     // bGetColumnNbr answers false

  // Makes the n-th text from now on (1: the next one) fail.
  void FailNext(std::size_t n = 1) { setFailing.insert(vecTexts.size() + n); }
};

class RecordingStatement : public CNAStatementSQL {
 public:
  explicit RecordingStatement(StatementScript* script);
  ~RecordingStatement() override;

  int bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                     NA_WRITEPARSEFLAGS flags) override;
  int bGetRequestedValue(CAny* out, int column, const wchar_t* query) override;
  int bGetColumnNbr(int* count, unsigned int flags) override;

 private:
  // Logs the text; true when it is scripted to fail.
  bool _bLogFails(const wchar_t* text);

  StatementScript* m_pstScript;
};

class RecordingStatementScope {
 public:
  explicit RecordingStatementScope(StatementScript* script);
  ~RecordingStatementScope();
  RecordingStatementScope(const RecordingStatementScope&) = delete;
  RecordingStatementScope& operator=(const RecordingStatementScope&) = delete;

  // The installed driver (for scripting its factories).
  TestDriver* pclGetDriver() const { return m_pclDriver; }

 private:
  TestDriver* m_pclDriver;
  CNADriver* m_pclPrevious;
};

}  // namespace kxtest
