// A driver-level statement for tests: it records every text it is asked to
// run and answers from a script shared by all the statements a test's
// connection allocates.
//
// StatementScript: the log (the wide texts run through bExecuteDirect,
// one-value queries included, in the order received), the numbers (1-based,
// counted over every text of the log) of the texts that fail, the value of
// every column of the one row each successful text yields, and the column
// count each text leaves in the statement (what bGetColumnNbr then gives).
//
// The statement plays a driver's part under the base's real operations: a
// text that succeeds opens a result announcing nColumnCount columns with one
// row; bFetch makes that row current once; the converter form of bGetValue
// writes clValue into the converter (an empty or NULL clValue as NULL), so
// the base's bGetRequestedValue, bGetValue and bGetColumnNbr read the script
// as they would read a server's answer. Reading a value as text needs the
// runtime's string allocator (hosted tests).
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
  CAny clValue;                       // every column of the row
  bool bNoStatement = false;          // the factory gives none
  int nAllocated = 0;                 // statements handed out
  int nAlive = 0;                     // statements not yet deleted
  int nColumnCount = 0;               // columns of each result

  // Makes the n-th text from now on (1: the next one) fail.
  void FailNext(std::size_t n = 1) { setFailing.insert(vecTexts.size() + n); }
};

class RecordingStatement : public CNAStatementSQL {
 public:
  explicit RecordingStatement(StatementScript* script, CNAConnectionDescription* connection = nullptr,
                              CNAError* error = nullptr);
  ~RecordingStatement() override;

  int bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                     NA_WRITEPARSEFLAGS flags) override;
  int bFetch(unsigned int option) override;
  int bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int option) override;
  using CNAStatementSQL::bGetValue;

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
