#include "StandInSQLRuntime.h"

#include "CAny.h"
#include "INADriverSQL.h"
#include "INAError.h"

namespace {

// The text a value holds; empty for NULL or a value without text.
std::wstring TextOf(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.bIsNull() || value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return std::wstring();
  return psz;
}

std::wstring ErrorText(INAError* error) {
  if (error == nullptr || error->eGetErrorType() == NA_ERRORTYPE_NONE) return std::wstring();
  const wchar_t* psz = error->pszGetError();
  return psz != nullptr ? psz : L"";
}

}  // namespace

CStandInSQLRuntime::CStandInSQLRuntime(INADriverSQL* face) : m_piFace(face) {}

CStandInSQLRuntime::~CStandInSQLRuntime() {
  bClose();
  if (m_piFace != nullptr) m_piFace->nExternalRelease();
}

int CStandInSQLRuntime::bOpen(INAConnectionDescription* cnx) {
  if (m_piFace == nullptr) return 0;
  bClose();
  return m_piFace->bOpenConnection(&m_nConnection, cnx);
}

int CStandInSQLRuntime::bClose() {
  if (m_piFace == nullptr || m_nConnection == 0) return 0;
  const int nAnswer = m_piFace->bCloseConnection(m_nConnection);
  m_nConnection = 0;
  return nAnswer;
}

CStandInSQLRuntime::STRun CStandInSQLRuntime::Run(const wchar_t* text, CTabValParser* parameters) {
  STRun stRun;
  stRun.nAnswer = bExecute(&stRun.nStatement, text, parameters);
  if (stRun.nStatement == 0) return stRun;
  while ((stRun.nLastFetch = bFetch(stRun.nStatement)) == 1) {
    std::wstring sRow;
    bGetRow(stRun.nStatement, &sRow);
    stRun.vecRows.push_back(sRow);
  }
  bGetStatementError(stRun.nStatement, &stRun.sFetchError);
  bFree(stRun.nStatement);
  return stRun;
}

int CStandInSQLRuntime::bExecute(int* statement, const wchar_t* text, CTabValParser* parameters) {
  if (statement != nullptr) *statement = 0;
  if (m_piFace == nullptr) return 0;
  return m_piFace->bExecute(statement, m_nConnection, text, parameters, 0);
}

int CStandInSQLRuntime::bFetch(int statement) {
  return m_piFace != nullptr ? m_piFace->bFetch(m_nConnection, statement, 0) : 0;
}

int CStandInSQLRuntime::bGetValue(int statement, unsigned int column, std::wstring* out) {
  if (m_piFace == nullptr) return 0;
  CAny clValue;
  const int nAnswer = m_piFace->bGetValue(&clValue, m_nConnection, statement, column, 0);
  if (out != nullptr) *out = nAnswer ? TextOf(clValue) : std::wstring();
  return nAnswer;
}

int CStandInSQLRuntime::bGetRow(int statement, std::wstring* out) {
  if (m_piFace == nullptr) return 0;
  CAny clRow;
  const int nAnswer = m_piFace->bGetRow(&clRow, m_nConnection, statement, L"\t", 0, 0);
  if (out != nullptr) *out = nAnswer ? TextOf(clRow) : std::wstring();
  return nAnswer;
}

int CStandInSQLRuntime::bFree(int statement) {
  return m_piFace != nullptr ? m_piFace->bFreeStmt(m_nConnection, statement, 0) : 0;
}

int CStandInSQLRuntime::bGetStatementError(int statement, std::wstring* out) {
  if (out != nullptr) out->clear();
  if (m_piFace == nullptr) return 0;
  INAError* piError = nullptr;
  const int nAnswer = m_piFace->bGetStmtLastError(&piError, m_nConnection, statement);
  if (nAnswer && out != nullptr) *out = ErrorText(piError);
  return nAnswer;
}

int CStandInSQLRuntime::bGetTableList(unsigned int flags, const wchar_t* condition, std::wstring* out) {
  if (m_piFace == nullptr) return 0;
  CAny clList;
  const int nAnswer = m_piFace->bGetTableList(&clList, m_nConnection, condition, flags);
  if (out != nullptr) *out = nAnswer ? TextOf(clList) : std::wstring();
  return nAnswer;
}

int CStandInSQLRuntime::bBegin() {
  return m_piFace != nullptr ? m_piFace->bTrsBegin(nullptr, m_nConnection, 0) : 0;
}

int CStandInSQLRuntime::bCommit() {
  return m_piFace != nullptr ? m_piFace->bTrsCommit(m_nConnection, 0, 0) : 0;
}

int CStandInSQLRuntime::bRollBack() {
  return m_piFace != nullptr ? m_piFace->bTrsRollBack(m_nConnection, 0, 0) : 0;
}

std::wstring CStandInSQLRuntime::LastError() const {
  return m_piFace != nullptr ? ErrorText(m_piFace->piGetLastError()) : std::wstring();
}
