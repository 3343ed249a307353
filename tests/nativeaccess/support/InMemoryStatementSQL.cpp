#include "InMemoryStatementSQL.h"

#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"

namespace kxtest {

namespace {
// Place of the fake's reports, and the user errors it raises: 38 (the
// server refused the text), 50 (no such column).
constexpr int knLocationFake = 99;
constexpr unsigned int knErrRefused = 38;
constexpr unsigned int knErrNoColumn = 50;
}  // namespace

InMemoryStatementSQL::InMemoryStatementSQL(InMemoryServer* server, CNAConnectionDescription* connection,
                                           CNAError* error)
    : CNAStatementSQL(connection, error), m_pstServer(server) {
  ++m_pstServer->nAlive;
}

InMemoryStatementSQL::~InMemoryStatementSQL() { --m_pstServer->nAlive; }

int InMemoryStatementSQL::_bExecuteDirect(const char* text, CTabValParser* /*parameters*/,
                                          NA_WRITEPARSEFLAGS /*flags*/) {
  ++m_pstServer->nExecutions;
  const std::string sText = text != nullptr ? text : "";
  m_pstServer->vecTexts.push_back(sText);
  MemRows tabRows;
  if (!m_pstServer->fnAnswer || !m_pstServer->fnAnswer(sText, &tabRows)) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationFake, 1, m_pclConnection, knErrRefused);
    return 0;
  }
  m_tabRows = std::move(tabRows);
  m_sText = sText;
  m_bResultOpen = 1;
  m_nColumnCount = m_pstServer->fnColumns ? m_pstServer->fnColumns(sText) : m_pstServer->nColumns;
  m_llRowCount = m_pstServer->bStream ? knStreamRows : static_cast<std::int64_t>(m_tabRows.size());
  m_llCurrentRow = -1;
  m_bNoCurrentRow = 1;
  m_llNext = 0;
  // The widest row, as a driver sums its declared column lengths.
  std::uint64_t nWidest = 0;
  for (const MemRow& row : m_tabRows) {
    std::uint64_t n = 0;
    for (const MemValue& v : row) n += v ? v->size() : 0;
    if (n > nWidest) nWidest = n;
  }
  m_nColumnSizeTotal = nWidest;
  return 1;
}

int InMemoryStatementSQL::bGetAffected_rows(unsigned long* count) {
  if (count != nullptr) *count = m_pstServer->nAffectedRows;
  return 1;
}

bool InMemoryStatementSQL::_bFails(const InMemoryFailure& failure, std::int64_t row, int column) const {
  return failure.nRow >= 0 && failure.nRow == row && (failure.nColumn < 0 || failure.nColumn == column) &&
         m_sText.compare(0, failure.sText.size(), failure.sText) == 0;
}

int InMemoryStatementSQL::bFetch(unsigned int /*option*/) {
  ++m_pstServer->nFetches;
  if (_bFails(m_pstServer->stFailFetch, m_llNext, -1)) {
    m_bNoCurrentRow = 1;
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationFake, 4, m_pclConnection, knErrRefused);
    return 0;
  }
  if (m_llNext < static_cast<std::int64_t>(m_tabRows.size())) {
    m_llCurrentRow = m_llNext++;
    m_bNoCurrentRow = 0;
  } else {
    // The end of the rows is no error.
    m_bNoCurrentRow = 1;
  }
  return 1;
}

int InMemoryStatementSQL::bDataSeek(long n) {
  ++m_pstServer->nSeeks;
  if (m_pstServer->bStream || n < 0 || n > static_cast<long>(m_tabRows.size())) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationFake, 2, m_pclConnection, knErrRefused);
    return 0;
  }
  m_llNext = n;
  m_llCurrentRow = n - 1;
  m_bNoCurrentRow = 1;
  return 1;
}

int InMemoryStatementSQL::bGetValue(CNAConvertVariant* value, unsigned int column, unsigned int /*option*/) {
  if (value == nullptr || m_bNoCurrentRow || m_llCurrentRow < 0 ||
      m_llCurrentRow >= static_cast<std::int64_t>(m_tabRows.size()))
    return 0;
  const MemRow& row = m_tabRows[static_cast<std::size_t>(m_llCurrentRow)];
  if (column >= m_nColumnCount || column >= row.size()) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationFake, 3, m_pclConnection, knErrNoColumn,
                           static_cast<int>(column), static_cast<int>(m_nColumnCount));
    return 0;
  }
  if (_bFails(m_pstServer->stFailValue, m_llCurrentRow, static_cast<int>(column))) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationFake, 5, m_pclConnection, knErrRefused);
    return 0;
  }
  const MemValue& v = row[column];
  if (!v) {
    value->SetNull();
    return 1;
  }
  const int nCodePage = m_pclConnection != nullptr ? m_pclConnection->nGetDataBaseCodePage() : 1252;
  return value->bSetValueDB(v->c_str(), static_cast<unsigned long>(v->size()),
                            static_cast<unsigned int>(nCodePage > 0 ? nCodePage : 1252));
}

int InMemoryStatementSQL::_bCloseParse() {
  m_tabRows.clear();
  m_llNext = 0;
  m_llRowCount = 0;
  m_nColumnCount = 0;
  m_llCurrentRow = -1;
  m_nColumnSizeTotal = 0;
  return CNAStatementSQL::_bCloseParse();
}

}  // namespace kxtest
