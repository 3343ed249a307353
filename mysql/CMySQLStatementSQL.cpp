// CMySQLStatementSQL: sending a text, taking its results, describing the
// columns, and the errors of a sent text. Fetching, values, seeking and
// closing are in CMySQLStatementSQLFetch.cpp.
#include "CMySQLStatementSQL.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "CMySQLConnection.h"
#include "CMySQLStatementSQLFields.h"
#include "CNACodePageCnv.h"
#include "CNAColumnSQL.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"

namespace {

// The client library's decimal types.
constexpr std::uint32_t knTypeDecimal = 0;
constexpr std::uint32_t knTypeNewDecimal = 246;

// The integer digits of a decimal column. The server's declared length
// counts the point only when there are decimals and the sign only for a
// signed column: DECIMAL(10,0) is 11 long, DECIMAL(10,0) UNSIGNED 10 and
// DECIMAL(10,2) 12, all of them 10 digits before the decimals. A field
// description without flags (the old client layouts) keeps counting both.
std::int32_t nDecimalIntegerDigits(std::int64_t llLength, std::uint32_t nDecimals,
                                   const stMySQLField& st) {
  std::int64_t ll = llLength - static_cast<std::int64_t>(nDecimals);
  if (st.bHasFlags) {
    if (nDecimals > 0) --ll;
    if ((st.nFlags & knMySQLFieldUnsigned) == 0) --ll;
  } else {
    ll -= 2;
  }
  if (ll < 0) ll = 0;
  return ll > INT_MAX ? INT_MAX : static_cast<std::int32_t>(ll);
}

constexpr unsigned int knCodePageUTF8 = 65001;
// Bytes of a refused text converted back for its error: enough for the
// 5000 characters the query dump keeps, in any encoding.
constexpr unsigned long knErrorTextBytes = 4 * 5000 + 4;

// The length in characters of an 8-bit text of the code page: UTF-8 counts
// the bytes that begin a character, the single-byte code pages every byte.
long nCharacters(const char* text, unsigned long length, unsigned int codePage) {
  if (codePage != knCodePageUTF8) return static_cast<long>(length);
  long n = 0;
  for (unsigned long i = 0; i < length; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

CMySQLStatementSQL::CMySQLStatementSQL(CMySQLConnection* connection, CNAError* error)
    : CNAStatementSQL(connection, error), m_pclMySQL(connection) {}

CMySQLStatementSQL::~CMySQLStatementSQL() {
  if (m_bResultOpen || m_pResult != nullptr) _bCloseParse();
}

// ---------------------------------------------------------------------------
// Sending a text
// ---------------------------------------------------------------------------

int CMySQLStatementSQL::_bExecuteDirect(const char* text, CTabValParser* /*parameters*/,
                                        NA_WRITEPARSEFLAGS flags) {
  MYSQL* pHandle = m_pclMySQL != nullptr ? m_pclMySQL->pGetClientHandle() : nullptr;
  if (pHandle == nullptr) {
    // A closed connection: the text never reaches the client library.
    if (m_pclError != nullptr)
      m_pclError->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosQuery, m_pclConnection,
                                CMySQLConnection::knErrConnect);
    return 0;
  }
  m_bAffectedSaved = 0;
  const char* pszText = text != nullptr ? text : "";
  const unsigned long nLength = static_cast<unsigned long>(std::strlen(pszText));
  int nAnswer = 1;
  if (!_bClientCall(knGuardQuery, [&] { nAnswer = __mysql_real_query(pHandle, pszText, nLength); }))
    return 0;
  if (nAnswer != 0) {
    // The error keeps at most the text's first characters: only those are
    // converted back (a refused text may be many megabytes), while the
    // length passed on is the whole text's, in characters.
    const unsigned int nCodePage = static_cast<unsigned int>(m_pclMySQL->nGetDataBaseCodePage());
    unsigned long nPrefix = nLength;
    if (nPrefix > knErrorTextBytes) {
      nPrefix = knErrorTextBytes;
      if (nCodePage == knCodePageUTF8)
        while (nPrefix > 0 && (static_cast<unsigned char>(pszText[nPrefix]) & 0xC0) == 0x80) --nPrefix;
    }
    const CNACodePageCnvOUT clWide(pszText, nPrefix, nCodePage);
    const wchar_t* pszWide = clWide.pszGet() != nullptr ? clWide.pszGet() : L"";
    _InitExecuteError(knSource, knPosQuery, pszWide, nCharacters(pszText, nLength, nCodePage),
                      static_cast<unsigned int>(flags));
    return 0;
  }
  const int bResult = m_bStoreResult ? _bGetStoreResult() : _bGetUseResult();
  if (bResult && m_nColumnCount != 0) return _bInitTabNAColumn();
  return bResult;
}

int CMySQLStatementSQL::_bGetStoreResult() {
  MYSQL* pHandle = m_pclMySQL->pGetClientHandle();
  const bool bMultiple = m_pclMySQL->bMultipleRecordsetEnabled() != 0;
  for (;;) {
    m_pResult = nullptr;
    MYSQL_RES* pResult = nullptr;
    if (!_bClientCall(knGuardStore, [&] { pResult = __mysql_store_result(pHandle); }))
      return 0;
    m_bResultOpen = 1;
    if (pResult != nullptr) {
      m_pResult = pResult;
      my_ulonglong nRows = 0;
      unsigned int nFields = 0;
      if (!_bClientCall(knGuardCounts, [&] {
            nRows = __mysql_num_rows(pResult);
            nFields = __mysql_num_fields(pResult);
          }))
        return 0;
      m_llRowCount = static_cast<std::int64_t>(nRows);
      m_nColumnCount = nFields;
      // Only the first result set stays; the later ones are read and
      // dropped, and any of them that failed fails the execution.
      if (bMultiple && !_bDrainFurtherResults()) return 0;
      return 1;
    }
    unsigned int nCode = 0;
    if (!m_pclMySQL->bGetLastError(m_pclError, &nCode)) return 0;
    if (nCode != 0) {
      _bInitLastError(knSource, knPosStoreResult);
      return 0;
    }
    // A statement without result set: a later one may have one. Asking
    // for it resets the handle's count of changed rows, so the count is
    // kept first.
    if (bMultiple) {
      my_ulonglong nAffected = 0;
      if (!_bClientCall(knGuardAffected, [&] { nAffected = __mysql_affected_rows(pHandle); }))
        return 0;
      m_nAffectedRows = static_cast<std::uint64_t>(nAffected);
      m_bAffectedSaved = 1;
      int nNext = -1;
      if (!_bClientCall(knGuardNext, [&] { nNext = __mysql_next_result(pHandle); }))
        return 0;
      if (nNext == 0) continue;
      if (nNext > 0) {
        _bInitLastError(knSource, knPosStoreResult);
        return 0;
      }
    }
    m_llRowCount = 0;
    m_nColumnCount = 0;
    return 1;
  }
}

int CMySQLStatementSQL::_bDrainFurtherResults() {
  MYSQL* pHandle = m_pclMySQL->pGetClientHandle();
  for (;;) {
    int nNext = -1;
    if (!_bClientCall(knGuardNext, [&] { nNext = __mysql_next_result(pHandle); })) {
      _bCloseParse();
      return 0;
    }
    if (nNext < 0) return 1;
    if (nNext > 0) return _bFailExecution();
    MYSQL_RES* pResult = nullptr;
    if (!_bClientCall(knGuardStore, [&] { pResult = __mysql_store_result(pHandle); })) {
      _bCloseParse();
      return 0;
    }
    if (pResult != nullptr) {
      if (!_bClientCall(knGuardFree, [&] { __mysql_free_result(pResult); })) {
        _bCloseParse();
        return 0;
      }
      continue;
    }
    unsigned int nCode = 0;
    if (!m_pclMySQL->bGetLastError(m_pclError, &nCode)) {
      _bCloseParse();
      return 0;
    }
    if (nCode != 0) return _bFailExecution();
  }
}

int CMySQLStatementSQL::_bFailExecution() {
  _bInitLastError(knSource, knPosStoreResult);
  _bCloseParse();
  return 0;
}

int CMySQLStatementSQL::_bGetUseResult() {
  MYSQL* pHandle = m_pclMySQL->pGetClientHandle();
  MYSQL_RES* pResult = nullptr;
  if (!_bClientCall(knGuardUse, [&] { pResult = __mysql_use_result(pHandle); }))
    return 0;
  m_bResultOpen = 1;
  m_pResult = pResult;
  if (pResult != nullptr) {
    unsigned int nFields = 0;
    if (!_bClientCall(knGuardCounts, [&] { nFields = __mysql_num_fields(pResult); }))
      return 0;
    m_bStreaming = 1;
    m_bStreamedResult = 1;
    // The count of a stream is unknown until its end.
    m_llRowCount = 4294967295LL;
    m_nColumnCount = nFields;
    return 1;
  }
  unsigned int nCode = 0;
  if (!m_pclMySQL->bGetLastError(m_pclError, &nCode)) return 0;
  if (nCode != 0) {
    _bInitLastError(knSource, knPosUseResult);
    return 0;
  }
  m_llRowCount = 0;
  m_nColumnCount = 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Column description
// ---------------------------------------------------------------------------

int CMySQLStatementSQL::_bInitTabNAColumn() {
  // Described anew for each result: a former description (and its share of
  // the summed lengths) goes first.
  if (m_pclColumns != nullptr) {
    _DestroyColumns();
    m_nColumnSizeTotal = 0;
  }
  if (m_pResult == nullptr || m_nColumnCount == 0) return 0;
  CNAColumnSQL* pclColumns = new (std::nothrow) CNAColumnSQL[m_nColumnCount];
  if (pclColumns == nullptr) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, static_cast<int>(knSource), knPosColumns,
                           m_pclConnection, knErrNoMemory);
    return 0;
  }
  MYSQL_FIELD* pFields = nullptr;
  MYSQL_RES* pResult = m_pResult;
  if (!_bClientCall(knGuardFields, [&] { pFields = __mysql_fetch_fields(pResult); }) ||
      pFields == nullptr) {
    delete[] pclColumns;
    return 0;
  }
  const eMYSQLFIELDLAYOUT eLayout =
      eChooseMySQLFieldLayout(CMySQLConnection::gbConnectorC != 0,
                              CNAConnectionDescription::m_nClientVersionMajor,
                              CNAConnectionDescription::m_nClientVersionMinor);
  const unsigned int nCodePage = static_cast<unsigned int>(m_pclMySQL->nGetDataBaseCodePage());
  for (std::uint32_t i = 0; i < m_nColumnCount; ++i) {
    stMySQLField st;
    DecodeMySQLField(pFields, i, eLayout, &st);
    CNAColumnSQL& cl = pclColumns[i];
    const CNACodePageCnvOUTPtr clName(st.pszName, nCodePage);
    cl.m_csName.Set(clName.pszGet() != nullptr ? clName.pszGet() : L"");
    cl.m_nMySQLType = static_cast<std::uint32_t>(st.nType);
    cl.m_nFlags = st.nFlags;
    cl.m_nCharsetNumber = st.nCharset;
    cl.m_nDecimalPart = static_cast<std::int32_t>(st.nDecimals);
    cl.m_nLength = st.nLength > static_cast<std::uint64_t>(INT64_MAX)
                       ? INT64_MAX
                       : static_cast<std::int64_t>(st.nLength);
    m_nColumnSizeTotal += st.nMaxLength;
    // A column without declared length takes the longest values seen so
    // far (its own and those of the columns before it).
    if (cl.m_nLength < 1 && m_nColumnSizeTotal != 0)
      cl.m_nLength = m_nColumnSizeTotal > static_cast<std::uint64_t>(INT64_MAX)
                         ? INT64_MAX
                         : static_cast<std::int64_t>(m_nColumnSizeTotal);
    if (cl.m_nMySQLType == knTypeDecimal || cl.m_nMySQLType == knTypeNewDecimal)
      cl.m_nIntegerPart = nDecimalIntegerDigits(cl.m_nLength, st.nDecimals, st);
    // Lengths past an int reach the type map negative: a memo.
    const int nLength = cl.m_nLength > INT_MAX ? -1 : static_cast<int>(cl.m_nLength);
    unsigned int nSize = 0;
    CMySQLConnection::ConvertItemType(&cl.m_eItemType, &nSize, st.nType, nLength,
                                      cl.m_nIntegerPart, cl.m_nDecimalPart, st.nCharset);
    cl.m_nItemSize = nSize;
  }
  m_pclColumns = pclColumns;
  return 1;
}

// ---------------------------------------------------------------------------
// Errors of a sent text and the lost connection
// ---------------------------------------------------------------------------

void CMySQLStatementSQL::_InitExecuteError(unsigned int source, unsigned int position,
                                           const wchar_t* text, long length,
                                           unsigned int flags) {
  // The text may be the first part of a longer one (whose length is
  // `length`): the dump reads no further than the text given.
  const long nGiven = text != nullptr ? static_cast<long>(std::wcslen(text)) : 0;
  CNAStatementSQL::_InitExecuteError(source, position, text, length < nGiven ? length : nGiven,
                                     flags);
  if (m_pclError == nullptr || m_pclMySQL == nullptr) return;
  const std::uint32_t nCode = m_pclError->dwGetDataBaseErrorCode();
  if (nCode != knErrServerGone || m_pclError->bGetNoDetail()) return;

  CNAError* pclProbe =
      CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocError() : nullptr;
  if (pclProbe == nullptr) pclProbe = new (std::nothrow) CNAError();
  if (pclProbe == nullptr) return;
  pclProbe->AddRef();
  pclProbe->SetNoDetail(1);
  std::int64_t llPacket = 0;
  int bAnswered = _bAskMaxAllowedPacket(pclProbe, &llPacket);
  // The server rolled back an open transaction when it dropped the
  // connection: a fresh connection would let the transaction's later
  // writes autocommit and its commit succeed, the first part lost. So it
  // is reopened only outside a transaction; inside one the connection stays
  // broken and the transaction's end fails.
  if (!bAnswered && !m_pclMySQL->_bTransactionOpened()) {
    m_pclMySQL->bClose(pclProbe);
    if (m_pclMySQL->bOpen(pclProbe)) bAnswered = _bAskMaxAllowedPacket(pclProbe, &llPacket);
  }
  pclProbe->nRelease();
  if (!bAnswered || llPacket <= 0 || llPacket >= length) return;

  const std::wstring sStart(text != nullptr ? text : L"",
                            static_cast<std::size_t>(nGiven < 20 ? nGiven : 20));
  const wchar_t* pszDataBase = m_pclMySQL->pszGetDataBase();
  m_pclError->AddErrorFirst(NA_ERRORTYPE_GENERIC, static_cast<int>(knSource), knPosPacket,
                            m_pclConnection, knErrQueryTooLong,
                            pszDataBase != nullptr ? pszDataBase : L"", static_cast<int>(nCode),
                            static_cast<int>(llPacket > INT_MAX ? INT_MAX : llPacket),
                            static_cast<int>(length > INT_MAX ? INT_MAX : length),
                            sStart.c_str());
  m_pclError->SetDataBaseErrorCode(nCode);
}

int CMySQLStatementSQL::_bAskMaxAllowedPacket(CNAError* error, std::int64_t* value) {
  *value = 0;
  if (m_pclMySQL->pGetClientHandle() == nullptr) return 0;
  CMySQLStatementSQL* pclProbe = new (std::nothrow) CMySQLStatementSQL(m_pclMySQL, error);
  if (pclProbe == nullptr) return 0;
  pclProbe->AddRef();
  int bAnswered = 0;
  if (pclProbe->bExecuteDirect("show variables like 'max_allowed_packet'", NA_WRITEPARSE_NONE) &&
      pclProbe->bFetch(0)) {
    unsigned char* pValue = nullptr;
    unsigned int nLength = 0;
    if (pclProbe->bGetValue(&pValue, &nLength, 1) && pValue != nullptr) {
      std::int64_t ll = 0;
      unsigned int i = 0;
      for (; i < nLength && pValue[i] >= '0' && pValue[i] <= '9' && ll < INT64_MAX / 10; ++i)
        ll = ll * 10 + (pValue[i] - '0');
      if (i > 0 && i == nLength) {
        *value = ll;
        bAnswered = 1;
      }
    }
  }
  pclProbe->bReset();
  pclProbe->nRelease();
  return bAnswered;
}
