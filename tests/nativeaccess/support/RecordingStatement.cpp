#include "RecordingStatement.h"

#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "TestDriver.h"

namespace kxtest {

RecordingStatement::RecordingStatement(StatementScript* script, CNAConnectionDescription* connection,
                                       CNAError* error)
    : CNAStatementSQL(connection, error), m_pstScript(script) {
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
  if (!bReset()) return 0;
  if (_bLogFails(text)) return 0;
  // The scripted result: nColumnCount columns announced and one row whose
  // every column reads as clValue (also with no column announced, so that a
  // one-value query needs no column count scripted).
  m_nColumnCount = m_pstScript->nColumnCount > 0 ? static_cast<std::uint32_t>(m_pstScript->nColumnCount) : 0;
  m_llRowCount = 1;
  m_bResultOpen = 1;
  return 1;
}

int RecordingStatement::bFetch(unsigned int /*option*/) {
  if (m_llCurrentRow + 1 < m_llRowCount) {
    ++m_llCurrentRow;
    m_bNoCurrentRow = 0;
  } else {
    m_bNoCurrentRow = 1;
  }
  return 1;
}

int RecordingStatement::bGetValue(CNAConvertVariant* value, unsigned int /*column*/, unsigned int /*option*/) {
  if (value == nullptr || m_bNoCurrentRow != 0) return 0;
  if (m_pstScript->clValue.bIsNull() || m_pstScript->clValue.bIsEmpty()) {
    value->SetNull();
    return 1;
  }
  return value->bSetValue(&m_pstScript->clValue);
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
