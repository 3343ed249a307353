#include "RecordingStatement.h"

#include "CNADriverLock.h"
#include "TestDriver.h"

namespace kxtest {

RecordingStatement::RecordingStatement(StatementScript* script) : m_pstScript(script) {
  ++m_pstScript->nAllocated;
  ++m_pstScript->nAlive;
}

RecordingStatement::~RecordingStatement() { --m_pstScript->nAlive; }

bool RecordingStatement::_bLogFails(const wchar_t* text) {
  m_pstScript->vecTexts.emplace_back(text != nullptr ? text : L"<null>");
  return m_pstScript->setFailing.count(m_pstScript->vecTexts.size()) != 0;
}

int RecordingStatement::bExecuteDirect(const wchar_t* text, CTabValParser* /*parameters*/,
                                       NA_WRITEPARSEFLAGS /*flags*/) {
  return _bLogFails(text) ? 0 : 1;
}

int RecordingStatement::bGetRequestedValue(CAny* out, int /*column*/, const wchar_t* query) {
  if (_bLogFails(query)) return 0;
  if (out != nullptr) *out = m_pstScript->clValue;
  return 1;
}

int RecordingStatement::bGetColumnNbr(int* count, unsigned int /*flags*/) {
  if (count != nullptr) *count = m_pstScript->bColumnCountFails ? 0 : m_pstScript->nColumnCount;
  return m_pstScript->bColumnCountFails ? 0 : 1;
}

RecordingStatementScope::RecordingStatementScope(StatementScript* script) {
  CNADriverLock clLock;
  m_pclDriver = new TestDriver();
  m_pclDriver->bInitDriver();
  m_pclDriver->pstScript = script;
  m_pclPrevious = CNADriver::s_pclDriver;
  CNADriver::s_pclDriver = m_pclDriver;
}

RecordingStatementScope::~RecordingStatementScope() {
  CNADriverLock clLock;
  delete m_pclDriver;
  CNADriver::s_pclDriver = m_pclPrevious;
}

}  // namespace kxtest
