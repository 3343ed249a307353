// CMySQLStatementSQL: fetching rows, handing values to the record layer,
// seeking in a stored result, counting a stream, affected rows and closing
// a result. This is the read path of every browse: per row one
// mysql_fetch_row and one mysql_fetch_lengths, and nothing allocated,
// looked up or converted beyond what the value itself needs.
#include <cstring>
#include <new>

#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumnSQL.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"

namespace {

// The client library's types whose values need more than a pass-through.
constexpr std::uint32_t knTypeDate = 10;
constexpr std::uint32_t knTypeDateTime = 12;
constexpr std::uint32_t knTypeTinyBlob = 249;
constexpr std::uint32_t knTypeBlob = 252;
// The character-set number of binary strings.
constexpr std::uint32_t knCharsetBinary = 63;
// Room on the stack for a DATE or DATETIME text (the longest, with six
// fraction digits, is 26 bytes).
constexpr unsigned long knDateBuffer = 64;

bool bRowPositionsBound() {
  return __mysql_row_tell != &DefaultError_mysql_row_tell &&
         __mysql_row_seek != &DefaultError_mysql_row_seek;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fetching
// ---------------------------------------------------------------------------

char** CMySQLStatementSQL::__pFetchRow(int* raised) {
  MYSQL_ROW pRow = nullptr;
  MYSQL_RES* pResult = m_pResult;
  const bool bCalled = _bClientCall(knGuardFetch, [&] { pRow = __mysql_fetch_row(pResult); });
  if (raised != nullptr) *raised = bCalled ? 0 : 1;
  return bCalled ? pRow : nullptr;
}

int CMySQLStatementSQL::bFetch(unsigned int /*option*/) {
  // A statement without rows, or an empty stored result: nothing to read.
  if (m_llRowCount < 1) return 1;
  return _bFetch();
}

int CMySQLStatementSQL::_bFetch() {
  if (m_pResult == nullptr) {
    _ClearRow();
    return 1;
  }
  int bRaised = 0;
  char** ppRow = __pFetchRow(&bRaised);
  if (ppRow != nullptr) {
    unsigned long* pnLengths = nullptr;
    MYSQL_RES* pResult = m_pResult;
    if (!_bClientCall(knGuardLengths, [&] { pnLengths = __mysql_fetch_lengths(pResult); }) ||
        pnLengths == nullptr) {
      _ClearRow();
      return 0;
    }
    ++m_llCurrentRow;
    m_ppRow = ppRow;
    m_pnLengths = pnLengths;
    m_bNoCurrentRow = 0;
    return 1;
  }
  _ClearRow();
  const bool bStream = m_bStreaming != 0;
  m_bStreaming = 0;
  if (bRaised) return 0;
  // A stored result's end is the end of data: the handle's error number
  // belongs to whatever statement ran last on the connection, not to this
  // result. A stream's end may be a broken connection.
  if (!bStream) return 1;
  unsigned int nCode = 0;
  if (!m_pclMySQL->bGetLastError(m_pclError, &nCode)) return 0;
  if (nCode == 0) return 1;
  _bInitLastError(knSource, knPosFetch);
  return 0;
}

int CMySQLStatementSQL::bCountStreamedRows(std::int64_t* count) {
  if (count == nullptr || m_pResult == nullptr || !m_bStreaming) return 0;
  std::int64_t llRows = 0;
  MYSQL_RES* pResult = m_pResult;
  // Rows are only counted: no lengths, no values.
  const bool bCalled = _bClientCall(knGuardFetch, [&] {
    while (__mysql_fetch_row(pResult) != nullptr) ++llRows;
  });
  m_bStreaming = 0;
  _ClearRow();
  *count = 0;
  if (!bCalled) return 0;
  unsigned int nCode = 0;
  if (!m_pclMySQL->bGetLastError(m_pclError, &nCode)) return 0;
  if (nCode != 0) {
    // The stream broke: the rows counted are not the result's.
    _bInitLastError(knSource, knPosFetch);
    return 0;
  }
  *count = llRows;
  return 1;
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

int CMySQLStatementSQL::_bColumnInRow(unsigned int column) {
  if (column < m_nColumnCount) return 1;
  // The row holds m_nColumnCount values: nothing past them is read.
  if (m_pclError != nullptr)
    m_pclError->AddError(NA_ERRORTYPE_GENERIC, static_cast<int>(knSource), knPosColumnPastCount,
                         m_pclConnection, knErrColumnPastCount, static_cast<int>(column),
                         static_cast<int>(m_nColumnCount));
  return 0;
}

int CMySQLStatementSQL::bGetValue(unsigned char** value, unsigned int* length,
                                  unsigned int column) {
  if (m_ppRow == nullptr || !_bColumnInRow(column)) return 0;
  if (value != nullptr) *value = reinterpret_cast<unsigned char*>(m_ppRow[column]);
  if (length != nullptr) *length = static_cast<unsigned int>(m_pnLengths[column]);
  return 1;
}

int CMySQLStatementSQL::bGetValue(CNAConvertVariant* value, unsigned int column,
                                  unsigned int /*option*/) {
  if (m_ppRow == nullptr || value == nullptr) return 0;
  // Each value is read by its column's description, made at execution.
  if (!_bColumnInRow(column) || m_pclColumns == nullptr) return 0;
  const char* pData = m_ppRow[column];
  if (pData == nullptr) {
    value->SetNull();
    return 1;
  }
  const unsigned long nLength = m_pnLengths[column];
  const CNAColumnSQL& clColumn = m_pclColumns[column];
  const unsigned int nCodePage = static_cast<unsigned int>(m_pclMySQL->nGetDataBaseCodePage());
  const std::uint32_t nType = clColumn.m_nMySQLType;
  if (nType == knTypeDate || nType == knTypeDateTime) {
    // The record layer reads dates as digits: 2024-01-31 becomes 20240131.
    char szStack[knDateBuffer];
    char* pszDigits = szStack;
    if (nLength > knDateBuffer) {
      try {
        m_vecDate.resize(nLength);
      } catch (const std::bad_alloc&) {
        if (m_pclError != nullptr)
          m_pclError->AddError(NA_ERRORTYPE_GENERIC, static_cast<int>(knSource), knPosMemory,
                               m_pclConnection, knErrNoMemory);
        return 0;
      }
      pszDigits = m_vecDate.data();
    }
    unsigned long n = 0;
    for (unsigned long i = 0; i < nLength; ++i)
      if (pData[i] != '-') pszDigits[n++] = pData[i];
    return value->bSetValueDB(pszDigits, n, nCodePage);
  }
  if (nType >= knTypeTinyBlob && nType <= knTypeBlob)
    return _bSetBlobValue(value, pData, nLength, clColumn);
  return value->bSetValueDB(pData, nLength, nCodePage);
}

int CMySQLStatementSQL::_bSetBlobValue(CNAConvertVariant* value, const char* data,
                                       unsigned long length, const CNAColumnSQL& column) {
  const eNA_ITEMTYPE eAnalysis = value->eNAGetItemTypeAnalyse();
  // A binary item keeps its bytes; the binary form takes them with the
  // length the record reads back.
  if (eAnalysis == NA_IT_BINAIRE)
    return value->bSetValueDB(data, length,
                              static_cast<unsigned int>(m_pclMySQL->nGetDataBaseCodePage()));
  if (eAnalysis == NA_IT_MEMOBINAIRE)
    return value->bSetValue(reinterpret_cast<const unsigned char*>(data), length);
  const eNA_ITEMTYPE eDatabase = value->eNAGetItemTypeDatabase();
  const bool bBinary = eDatabase == NA_IT_MEMOBINAIRE || eDatabase == NA_IT_BINAIRE ||
                       (eDatabase == NA_IT_EMPTY && column.m_nCharsetNumber == knCharsetBinary);
  if (!bBinary)
    return value->bSetValueDB(data, length,
                              static_cast<unsigned int>(m_pclMySQL->nGetDataBaseCodePage()));
  if (eAnalysis == NA_IT_UNICODE || eAnalysis == NA_IT_MEMOUNICODE) {
    // The bytes are 4-byte characters; the client's buffer has no
    // alignment for them, so they are copied into the statement's room.
    const unsigned long nChars = length / sizeof(wchar_t);
    try {
      if (m_vecWide.size() < nChars + 1) m_vecWide.resize(nChars + 1);
    } catch (const std::bad_alloc&) {
      if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERIC, static_cast<int>(knSource), knPosMemory,
                             m_pclConnection, knErrNoMemory);
      return 0;
    }
    if (nChars > 0) std::memcpy(m_vecWide.data(), data, nChars * sizeof(wchar_t));
    m_vecWide[nChars] = L'\0';
    return value->bSetValueDB(m_vecWide.data(), nChars);
  }
  return value->bSetValueDB(data, length,
                            static_cast<unsigned int>(m_pclMySQL->nGetApplicationCodePage()));
}

// ---------------------------------------------------------------------------
// Seeking
// ---------------------------------------------------------------------------

int CMySQLStatementSQL::_bRecordRowPositions() {
  const std::int64_t llRows = m_llRowCount;
  if (m_pResult == nullptr || llRows < 0) return 0;
  try {
    m_vecRowPositions.assign(static_cast<std::size_t>(llRows) + 1, nullptr);
  } catch (const std::bad_alloc&) {
    m_vecRowPositions.clear();
    return 0;
  }
  MYSQL_RES* pResult = m_pResult;
  st_mysql_rows** ppPositions = m_vecRowPositions.data();
  // One walk from the first row: the position of each row is taken before
  // the row is read.
  const bool bCalled = _bClientCall(knGuardSeek, [&] {
    __mysql_data_seek(pResult, 0);
    for (std::int64_t i = 0; i < llRows; ++i) {
      ppPositions[i] = __mysql_row_tell(pResult);
      if (__mysql_fetch_row(pResult) == nullptr) {
        // Fewer rows than counted: the rest are the end.
        for (std::int64_t k = i + 1; k <= llRows; ++k) ppPositions[k] = ppPositions[i];
        return;
      }
    }
    ppPositions[llRows] = __mysql_row_tell(pResult);
  });
  if (!bCalled) {
    m_vecRowPositions.clear();
    return 0;
  }
  m_bPositionsRecorded = 1;
  return 1;
}

int CMySQLStatementSQL::bDataSeek(long n) {
  m_llCurrentRow = static_cast<std::int64_t>(n) - 1;
  m_ppRow = nullptr;
  m_pnLengths = nullptr;
  // A stream is read in order only, also once it reached its end.
  if (m_pResult == nullptr || m_bStreamedResult) return 0;
  MYSQL_RES* pResult = m_pResult;
  if (bRowPositionsBound() && (m_bPositionsRecorded || _bRecordRowPositions())) {
    const std::size_t nRows = m_vecRowPositions.size() - 1;
    const std::size_t nIndex =
        n < 0 || static_cast<unsigned long>(n) > nRows ? nRows : static_cast<std::size_t>(n);
    st_mysql_rows* pPosition = m_vecRowPositions[nIndex];
    return _bClientCall(knGuardSeek, [&] { __mysql_row_seek(pResult, pPosition); }) ? 1 : 0;
  }
  return _bClientCall(knGuardSeek,
                      [&] { __mysql_data_seek(pResult, static_cast<my_ulonglong>(n)); })
             ? 1
             : 0;
}

// ---------------------------------------------------------------------------
// Affected rows and closing
// ---------------------------------------------------------------------------

int CMySQLStatementSQL::bGetAffected_rows(unsigned long* count) {
  // A result still held would keep the connection busy (a stream) and be
  // lost with its handle.
  if (m_pResult != nullptr) _bCloseParse();
  m_pResult = nullptr;
  MYSQL* pHandle = m_pclMySQL != nullptr ? m_pclMySQL->pGetClientHandle() : nullptr;
  if (pHandle == nullptr) {
    if (m_pclError != nullptr)
      m_pclError->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosQuery, m_pclConnection,
                                CMySQLConnection::knErrConnect);
    return 0;
  }
  my_ulonglong nRows = 0;
  if (m_bAffectedSaved)
    nRows = static_cast<my_ulonglong>(m_nAffectedRows);
  else if (!_bClientCall(knGuardAffected, [&] { nRows = __mysql_affected_rows(pHandle); }))
    return 0;
  if (count != nullptr) *count = static_cast<unsigned long>(nRows);
  return 1;
}

int CMySQLStatementSQL::_bDrainStream() {
  MYSQL_RES* pResult = m_pResult;
  bool bOk = true;
  if (m_bStreaming)
    bOk = _bClientCall(knGuardFetch, [&] {
      while (__mysql_fetch_row(pResult) != nullptr) {
      }
    });
  m_bStreaming = 0;
  return bOk ? 1 : 0;
}

int CMySQLStatementSQL::_bCloseParse() {
  int bOk = 1;
  if (m_pResult != nullptr) {
    // The server sends a stream to its end whatever the client wants: the
    // rest is read before the result goes.
    if (m_bStreaming && !_bDrainStream()) bOk = 0;
    MYSQL_RES* pResult = m_pResult;
    if (!_bClientCall(knGuardFree, [&] { __mysql_free_result(pResult); })) bOk = 0;
    m_pResult = nullptr;
    // A streamed text's further results were not taken at execution.
    MYSQL* pHandle = m_pclMySQL != nullptr ? m_pclMySQL->pGetClientHandle() : nullptr;
    if (bOk && m_bStreamedResult && pHandle != nullptr && m_pclMySQL->bMultipleRecordsetEnabled()) {
      for (;;) {
        int nNext = -1;
        MYSQL_RES* pFurther = nullptr;
        if (!_bClientCall(knGuardNext, [&] {
              nNext = __mysql_next_result(pHandle);
              if (nNext == 0) pFurther = __mysql_store_result(pHandle);
              if (pFurther != nullptr) __mysql_free_result(pFurther);
            })) {
          bOk = 0;
          break;
        }
        if (nNext != 0) break;
      }
    }
  }
  _ClearRow();
  m_bStreaming = 0;
  m_bStreamedResult = 0;
  m_bPositionsRecorded = 0;
  // A large position table, or room for a large BLOB, is not kept past its
  // result.
  if (m_vecRowPositions.capacity() > 65536)
    std::vector<st_mysql_rows*>().swap(m_vecRowPositions);
  else
    m_vecRowPositions.clear();
  if (m_vecWide.capacity() > 65536) std::vector<wchar_t>().swap(m_vecWide);
  _DestroyColumns();
  m_llRowCount = 0;
  m_nColumnCount = 0;
  m_llCurrentRow = -1;
  m_nColumnSizeTotal = 0;
  CNAStatementSQL::_bCloseParse();
  return bOk;
}
