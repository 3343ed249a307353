#include "CNAStatementSQL.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "CAny.h"
#include "CNAColumnSQL.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAVariant.h"
#include "CTStringConcatAW.h"

std::uint32_t CNAStatementSQL::m_gnStmtGenerator = 0;

namespace {

// Reporting place of the statement's own errors (2, the row, is not
// reported from here).
constexpr int knLocationArea = 62;
constexpr int knLocationColumn = 1;
constexpr int knLocationParameter = 3;
constexpr int knLocationConversion = 4;

constexpr unsigned int knErrNoCurrentRecord = 7;
constexpr unsigned int knErrNoMemory = 12;
constexpr unsigned int knErrColumnPastEnd = 50;
constexpr unsigned int knErrColumnNegative = 51;
constexpr unsigned int knErrParameterMarker = 760103;

constexpr unsigned int knMsgQueryDump = 28588;

constexpr std::uint64_t knStep = 1024;

// The host's parameter table: a 32-bit count at byte 20 and, at byte 40, a
// pointer to an array of pointers to entries. An entry holds its value at
// byte 8, the marker's position and length (characters) at 64 and 68 and
// its flags at 72.
constexpr std::size_t knParamCountOffset = 20;
constexpr std::size_t knParamArrayOffset = 40;
constexpr std::size_t knEntryValueOffset = 8;
constexpr std::size_t knEntryMarkerOffset = 64;
constexpr std::size_t knEntryLengthOffset = 68;
constexpr std::size_t knEntryFlagsOffset = 72;
// Flag bit 0: the value names a file whose content is the parameter; with
// bit 4 as well the file is read as text.
constexpr std::uint32_t knFlagFile = 0x01;
constexpr std::uint32_t knFlagFileText = 0x10;

template <typename T>
T ReadAt(const void* base, std::size_t offset) {
  T t{};
  std::memcpy(&t, static_cast<const unsigned char*>(base) + offset, sizeof t);
  return t;
}

std::uint32_t ParameterCount(const CTabValParser* parameters) {
  return ReadAt<std::uint32_t>(parameters, knParamCountOffset);
}

// The index-th entry; null when the table has no array or no such entry.
const unsigned char* ParameterEntry(const CTabValParser* parameters, int index) {
  if (index < 0 || static_cast<std::uint32_t>(index) >= ParameterCount(parameters)) return nullptr;
  const auto* const* ppEntries = ReadAt<const unsigned char* const*>(parameters, knParamArrayOffset);
  if (ppEntries == nullptr) return nullptr;
  return ppEntries[index];
}

// A connection's code page as the text buffers take it: unset (-1 or 0)
// reads as 1252, as the value holders read it; -2 stays the wide mode.
unsigned CodePage(int n) { return n == -1 || n == 0 ? 1252u : static_cast<unsigned>(n); }
unsigned TextCodePage(const CNAConnectionDescription* cnx) {
  return CodePage(cnx != nullptr ? cnx->nGetDataBaseCodePage() : -1);
}
unsigned CharsetCodePage(const CNAConnectionDescription* cnx) {
  return CodePage(cnx != nullptr ? cnx->nGetApplicationCodePage() : -1);
}

const wchar_t* OrEmpty(const wchar_t* text) { return text != nullptr ? text : L""; }

// The wide text of a value: its own pointer for the wide text types, else
// a text copy in *holder. Null when the value has no text form.
const wchar_t* WideText(const CAny* value, CAny* holder, std::size_t* length) {
  const CAny* pclText = value;
  const unsigned char nCode = value->nGetTypeCode();
  if (nCode != ANY_DSTRW && nCode != ANY_PSTRW) {
    *holder = *value;
    holder->ClearFlags();
    if (holder->__nCastTo(ANY_PSTRW, nullptr, 0) > 99) return nullptr;
    pclText = holder;
  }
  const wchar_t* psz = nullptr;
  if (pclText->nGetPCWSTR(&psz) != 0) return nullptr;
  if (psz == nullptr) psz = L"";
  std::size_t n = 0;
  if (pclText->nGetSTRLEN(&n) != 0) n = std::wcslen(psz);
  *length = n;
  return psz;
}

void SetWideText(CAny* value, unsigned short type, const wchar_t* text, std::size_t length) {
  value->__SetType(type, 0);
  value->SetValue(text, length * sizeof(wchar_t));
  value->ClearFlags();
}

}  // namespace

// ======================================================================
// Life
// ======================================================================

CNAStatementSQL::CNAStatementSQL(CNAConnectionDescription* connection, CNAError* error)
    : m_pclError(error), m_pclConnection(connection) {
  // The id is the handle the SQL runtime sees: 0 would read as "no
  // statement", so a wrapped counter skips it.
  if (++m_gnStmtGenerator == 0) ++m_gnStmtGenerator;
  m_nStatementId = m_gnStmtGenerator;
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
}

CNAStatementSQL::~CNAStatementSQL() {
  if (m_pclVariant != nullptr) {
    CNAConvertVariant* pclVariant = m_pclVariant;
    m_pclVariant = nullptr;
    pclVariant->nRelease();
  }
  _DestroyColumns();
  if (m_pclConnection != nullptr) {
    CNAConnectionDescription* pclCnx = m_pclConnection;
    m_pclConnection = nullptr;
    // Through the driver: a connection closed while this statement kept it
    // (the SQL runtime's bCloseConnection) leaves the registry, closed,
    // when this was its last holder.
    CNADriver::s_ReleaseConnection(pclCnx);
  }
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
}

void CNAStatementSQL::_DestroyColumns() {
  // delete[] runs the element destructors last first.
  delete[] m_pclColumns;
  m_pclColumns = nullptr;
}

void CNAStatementSQL::_AddUserError(int code, const wchar_t* const* args, int argCount) {
  if (m_pclError == nullptr) return;
  const unsigned int nCode = static_cast<unsigned int>(code);
  auto arg = [&](int i) { return i < argCount && args != nullptr ? OrEmpty(args[i]) : L""; };
  switch (argCount) {
    case 0:
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, m_pclConnection, nCode);
      break;
    case 1:
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, m_pclConnection, nCode, arg(0));
      break;
    case 2:
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, m_pclConnection, nCode, arg(0),
                           arg(1));
      break;
    default:
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, 0, m_pclConnection, nCode, arg(0),
                           arg(1), arg(2));
      break;
  }
}

// ======================================================================
// Driver slots the base answers itself
// ======================================================================

int CNAStatementSQL::bPrepareSQL(CTStringConcatAW* /*text*/) { return 0; }
int CNAStatementSQL::bExecutePreparedQuery(NA_WRITEPARSEFLAGS /*flags*/) { return 0; }
int CNAStatementSQL::bGetAffected_rows(unsigned long* /*count*/) { return 0; }
int CNAStatementSQL::bFetch(unsigned int /*option*/) { return 0; }
int CNAStatementSQL::bDataSeek(long /*n*/) { return 0; }
int CNAStatementSQL::bGetValue(CNAConvertVariant* /*value*/, unsigned int /*column*/,
                               unsigned int /*option*/) {
  return 0;
}
int CNAStatementSQL::_bInitTabNAColumn() { return 0; }
int CNAStatementSQL::_bExecuteDirect(const char* /*text*/, CTabValParser* /*parameters*/,
                                     NA_WRITEPARSEFLAGS /*flags*/) {
  return 0;
}

int CNAStatementSQL::_bCloseParse() {
  m_bResultOpen = 0;
  return 1;
}

int CNAStatementSQL::bReset() {
  _bCloseParse();
  m_llRowCount = -1;
  m_llCurrentRow = -1;
  m_nColumnCount = 0;
  _DestroyColumns();
  m_bNoCurrentRow = 1;
  m_nColumnSizeTotal = 0;
  return 1;
}

// ======================================================================
// Execution
// ======================================================================

int CNAStatementSQL::bExecuteDirect(const char* text, NA_WRITEPARSEFLAGS flags) {
  if (!bReset()) return 0;
  return _bExecuteDirect(text, static_cast<CTabValParser*>(nullptr), flags);
}

int CNAStatementSQL::bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                                    NA_WRITEPARSEFLAGS flags) {
  if (!bReset()) return 0;
  if (parameters == nullptr) return _bExecuteDirect(text, static_cast<CTabValParser*>(nullptr), flags);

  const int nTextCP = m_pclConnection != nullptr ? m_pclConnection->nGetDataBaseCodePage() : -1;
  const unsigned nMaster = nTextCP == -2 ? CONCAT_CP_WIDE : CodePage(nTextCP);
  CTStringConcatAW clText(nMaster, CharsetCodePage(m_pclConnection), knStep);
  const wchar_t* pszText = OrEmpty(text);
  const std::int64_t llTextLength = static_cast<std::int64_t>(std::wcslen(pszText));
  std::int64_t llRead = 0;
  const std::uint32_t nCount = ParameterCount(parameters);
  for (std::uint32_t i = 0; i < nCount; ++i) {
    CAny clValue;
    int nPosition = 0;
    int nLength = 0;
    if (!_bGetParameter(&clValue, &nPosition, &nLength, parameters, static_cast<int>(i))) return 0;
    // The runtime's positions are checked, not trusted: a marker before the
    // text already copied, with a negative length or running past the end
    // would make the copy read outside the text. The query is refused whole
    // before anything reaches the server.
    const std::int64_t llMarker = nPosition;
    const std::int64_t llMarkerLength = nLength;
    if (llMarker < llRead || llMarkerLength < 0 || llMarker + llMarkerLength > llTextLength) {
      if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationParameter,
                             m_pclConnection, knErrParameterMarker, static_cast<int>(i),
                             nPosition, nLength, static_cast<int>(llTextLength));
      return 0;
    }
    clText.Add(pszText + llRead, static_cast<long>(llMarker - llRead));
    llRead = llMarker + llMarkerLength;
    if (!_bAddParameter(&clText, i, &clValue)) return 0;
  }
  clText.Add(pszText + llRead, static_cast<long>(llTextLength - llRead));
  return _bExecuteDirect(&clText, parameters, flags);
}

int CNAStatementSQL::_bExecuteDirect(CTStringConcatAW* text, CTabValParser* parameters,
                                     NA_WRITEPARSEFLAGS flags) {
  if (text == nullptr) return 0;
  if (text->nGetCodePage() == CONCAT_CP_WIDE) return _bExecuteDirect(text->pszGetW(), parameters, flags);
  return _bExecuteDirect(text->pszGetA(), parameters, flags);
}

int CNAStatementSQL::_bExecuteDirect(const wchar_t* text, CTabValParser* parameters,
                                     NA_WRITEPARSEFLAGS flags) {
  const int nTextCP = m_pclConnection != nullptr ? m_pclConnection->nGetDataBaseCodePage() : -1;
  // A wide server text is not something the 8-bit sender can take.
  if (nTextCP == -2) return 0;
  const wchar_t* pszText = OrEmpty(text);
  const long nLength = static_cast<long>(std::wcslen(pszText));
  // An 8-bit master in the server's code page converts the text as it is
  // appended; its memory is the process heap, so no host string allocator
  // is needed on this path.
  CTStringConcatAW clText(CodePage(nTextCP), CharsetCodePage(m_pclConnection),
                          static_cast<std::uint64_t>(nLength) + 1);
  clText.Add(pszText, nLength);
  if (nLength > 0 && clText.nGetLengthA() == 0) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationConversion,
                           m_pclConnection, knErrNoMemory);
    return 0;
  }
  return _bExecuteDirect(clText.pszGetA(), parameters, flags);
}

int CNAStatementSQL::_bAddParameter(CTStringConcatAW* text, unsigned int /*index*/, const CAny* value) {
  if (text == nullptr || m_pclConnection == nullptr) return 0;
  const unsigned nTextCP = TextCodePage(m_pclConnection);
  CTStringConcatAW clLiteral(nTextCP == 0xFFFFFFFEu ? CONCAT_CP_WIDE : nTextCP,
                             CharsetCodePage(m_pclConnection), knStep);
  const int bResult = m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, value,
                                                             static_cast<eNA_ITEMTYPE>(0),
                                                             static_cast<eNA_ITEMTYPE>(0));
  if (!bResult) return bResult;
  if (text->nGetCodePage() == CONCAT_CP_WIDE || text->nGetCodePage() != nTextCP)
    text->Add(clLiteral.pszGetW(), clLiteral.nGetLengthW());
  else
    text->Add(clLiteral.pszGetA(), clLiteral.nGetLengthA(), text->nGetCodePage());
  return bResult;
}

int CNAStatementSQL::_bGetParameter(CAny* value, int* position, int* length,
                                    CTabValParser* parameters, int index) {
  const unsigned char* pbyEntry = parameters != nullptr ? ParameterEntry(parameters, index) : nullptr;
  if (pbyEntry == nullptr) {
    // A count that promises more entries than the table holds.
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationParameter, m_pclConnection,
                           knErrParameterMarker, index, -1, -1, -1);
    return 0;
  }
  const CAny* pclEntryValue = reinterpret_cast<const CAny*>(pbyEntry + knEntryValueOffset);
  if (position != nullptr) *position = ReadAt<std::int32_t>(pbyEntry, knEntryMarkerOffset);
  if (length != nullptr) *length = ReadAt<std::int32_t>(pbyEntry, knEntryLengthOffset);
  const std::uint32_t nFlags = ReadAt<std::uint32_t>(pbyEntry, knEntryFlagsOffset);
  if ((nFlags & knFlagFile) == 0) {
    if (value != nullptr) *value = *pclEntryValue;
    return 1;
  }
  CAny clName;
  std::size_t nNameLength = 0;
  const wchar_t* pszName = WideText(pclEntryValue, &clName, &nNameLength);
  const int bBinary = (nFlags & (knFlagFile | knFlagFileText)) == (knFlagFile | knFlagFileText) ? 0 : 1;
  return CNAVariant::gbLoadFile(value, OrEmpty(pszName), m_pclError, bBinary);
}

// ======================================================================
// Values and rows
// ======================================================================

CNAConvertVariant* CNAStatementSQL::_pclGetVariant() {
  if (m_pclVariant == nullptr && CNADriver::s_pclDriver != nullptr) {
    m_pclVariant = CNADriver::s_pclDriver->pclAllocVariant(m_pclError, m_pclConnection);
    if (m_pclVariant != nullptr) m_pclVariant->AddRef();
  }
  return m_pclVariant;
}

int CNAStatementSQL::bGetValue(CAny* value, unsigned int column, unsigned int option) {
  CNAConvertVariant* pclVariant = _pclGetVariant();
  if (pclVariant == nullptr) return 0;
  pclVariant->InitTypeVariantAny(ANY_DSTRW, 0);
  int bResult = bGetValue(pclVariant, column, option);
  if (bResult && value != nullptr) bResult = pclVariant->bGetValue(value);
  return bResult;
}

int CNAStatementSQL::bGetBLOBValue(CAny* value, unsigned int column, unsigned int option) {
  CNAConvertVariant* pclVariant = _pclGetVariant();
  if (pclVariant == nullptr) return 0;
  pclVariant->InitTypeVariantAny(ANY_BIN, 0);
  int bResult = bGetValue(pclVariant, column, option);
  if (bResult && value != nullptr) bResult = pclVariant->bGetValue(value);
  return bResult;
}

int CNAStatementSQL::bGetRequestedValue(CAny* value, int column, const wchar_t* text) {
  int bResult = bExecuteDirect(text, static_cast<CTabValParser*>(nullptr), NA_WRITEPARSE_NONE);
  if (bResult) bResult = bFetch(0);
  if (bResult) {
    if (m_bNoCurrentRow == 0) {
      bResult = bGetValue(value, static_cast<unsigned int>(column), 0);
    } else if (value != nullptr) {
      // No row is an answer too (no such setting, no such object): the
      // value must not keep whatever the caller had in it.
      *value = CAny();
      value->SetNull();
    }
  }
  bReset();
  return bResult;
}

int CNAStatementSQL::bGetRow(CXYStringConcat<wchar_t>* out, const wchar_t* separator, int maxColumns,
                             unsigned int option) {
  if (m_bNoCurrentRow != 0) {
    const wchar_t* apszArgs[] = {L""};
    _AddUserError(static_cast<int>(knErrNoCurrentRecord), apszArgs, 1);
    return 0;
  }
  if (out == nullptr) return 0;
  out->SetLength(0);
  std::uint32_t nColumns = m_nColumnCount;
  if (maxColumns > 0 && static_cast<std::uint32_t>(maxColumns) < nColumns)
    nColumns = static_cast<std::uint32_t>(maxColumns);
  CNAConvertVariant* pclVariant = _pclGetVariant();
  if (pclVariant == nullptr) return 0;
  pclVariant->InitTypeVariantAny(ANY_DSTRW, 0);
  if (nColumns == 0) return 1;
  const long nSeparator = separator != nullptr ? static_cast<long>(std::wcslen(separator)) : 0;
  int bRead = bGetValue(pclVariant, 0, option);
  for (std::uint32_t i = 0;;) {
    if (!bRead) return 0;
    if (!pclVariant->bIsNull()) {
      CAny clHolder;
      std::size_t nLength = 0;
      const wchar_t* psz = WideText(pclVariant->pclGetValue(), &clHolder, &nLength);
      if (psz != nullptr && nLength > 0) out->Add(psz, static_cast<long>(nLength));
    }
    if (++i >= nColumns) return 1;
    bRead = bGetValue(pclVariant, i, option);
    if (nSeparator > 0) out->Add(separator, nSeparator);
  }
}

int CNAStatementSQL::bGetRow(CAny* value, const wchar_t* separator, int maxColumns, unsigned int option) {
  CXYStringConcat<wchar_t> clRow(knStep);
  const int bResult = bGetRow(&clRow, separator, maxColumns, option);
  if (value != nullptr) SetWideText(value, ANY_PSTRW, clRow.pszGet(), clRow.nGetLength());
  return bResult;
}

// ======================================================================
// Columns
// ======================================================================

int CNAStatementSQL::bGetColumnNbr(int* count, unsigned int /*flags*/) {
  if (count != nullptr) *count = static_cast<int>(m_nColumnCount);
  return 1;
}

CNAColumnSQL* CNAStatementSQL::pclGetNAColumnSQL(int n) {
  if (n < 0) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationColumn, m_pclConnection,
                           knErrColumnNegative, n);
    return nullptr;
  }
  if (static_cast<std::uint32_t>(n) >= m_nColumnCount) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationColumn, m_pclConnection,
                           knErrColumnPastEnd, n, static_cast<int>(m_nColumnCount));
    return nullptr;
  }
  if (m_pclColumns == nullptr && !_bInitTabNAColumn()) return nullptr;
  if (m_pclColumns == nullptr) return nullptr;
  return &m_pclColumns[n];
}

int CNAStatementSQL::_eGetColumnType(unsigned int column) {
  CNAColumnSQL* pclColumn = pclGetNAColumnSQL(static_cast<int>(column));
  return pclColumn != nullptr ? static_cast<int>(pclColumn->m_eItemType) : 0;
}

const wchar_t* CNAStatementSQL::_pszGetColumnName(unsigned int column) {
  CNAColumnSQL* pclColumn = pclGetNAColumnSQL(static_cast<int>(column));
  return pclColumn != nullptr ? pclColumn->m_csName.pszGet() : nullptr;
}

int CNAStatementSQL::bGetColumnName(CAny* name, unsigned int column, unsigned int /*flags*/) {
  const wchar_t* pszName = _pszGetColumnName(column);
  if (pszName == nullptr) return 0;
  if (name != nullptr) SetWideText(name, ANY_PSTRW, pszName, std::wcslen(pszName));
  return 1;
}

int CNAStatementSQL::bGetColumnList(CAny* list, unsigned int /*flags*/) {
  if (m_nColumnCount == 0) return 1;
  CXYStringConcat<wchar_t> clList(knStep);
  int bResult = 1;
  for (std::uint32_t i = 0; i < m_nColumnCount; ++i) {
    const wchar_t* pszName = _pszGetColumnName(i);
    if (pszName == nullptr) {
      bResult = 0;
      break;
    }
    if (i > 0) clList.Add(L"\r\n", 2);
    clList.Add(pszName, static_cast<long>(std::wcslen(pszName)));
  }
  if (list != nullptr) SetWideText(list, ANY_DSTRW, clList.pszGet(), clList.nGetLength());
  return bResult;
}

// ======================================================================
// Errors
// ======================================================================

int CNAStatementSQL::bGetStmtLastError(INAError** error) {
  if (error != nullptr) *error = m_pclError;
  return 1;
}

void CNAStatementSQL::ResetLastError() {
  if (m_pclError != nullptr) m_pclError->Reset();
}

int CNAStatementSQL::_bInitLastError(unsigned int source, unsigned int position) {
  if (m_pclConnection == nullptr) return 0;
  return m_pclConnection->bInitError(m_pclError, source, position);
}

void CNAStatementSQL::_InitExecuteError(unsigned int source, unsigned int position, const wchar_t* text,
                                        long length, unsigned int flags) {
  _bInitLastError(source, position);
  _DumpQueryInError(text, length, flags);
}

void CNAStatementSQL::_DumpQueryInError(CTStringConcatAW* text, unsigned int /*flags*/) {
  if (m_pclError == nullptr) return;
  const wchar_t* pszDataBase = L"";
  const wchar_t* pszDefault = L"";
  const wchar_t* pszUser = L"";
  if (m_pclConnection != nullptr) {
    pszDataBase = OrEmpty(m_pclConnection->pszGetDataBase());
    pszDefault = OrEmpty(m_pclConnection->pszGetDefaultDataBase());
    pszUser = OrEmpty(m_pclConnection->pszGetUserName());
  }
  m_pclError->AddDebugMessage(knMsgQueryDump, pszDataBase, pszDefault, pszUser);
  if (text != nullptr) m_pclError->AddDebugMessageNoFormat(text->pszGetW());
}

void CNAStatementSQL::_DumpQueryInError(const wchar_t* text, long length, unsigned int flags) {
  const unsigned nTextCP = TextCodePage(m_pclConnection);
  CTStringConcatAW clDump(nTextCP == 0xFFFFFFFEu ? CONCAT_CP_WIDE : nTextCP,
                          CharsetCodePage(m_pclConnection), knStep);
  if (text != nullptr && length > 0) clDump.Add(text, length < knDumpMaxChars ? length : knDumpMaxChars);
  _DumpQueryInError(&clDump, flags);
}

void CNAStatementSQL::_DumpQueryInError(const char* text, long length, unsigned int flags) {
  const unsigned nTextCP = TextCodePage(m_pclConnection);
  CTStringConcatAW clDump(nTextCP == 0xFFFFFFFEu ? CONCAT_CP_WIDE : nTextCP,
                          CharsetCodePage(m_pclConnection), knStep);
  if (text != nullptr && length > 0) {
    long nKeep = length < knDumpMaxChars ? length : knDumpMaxChars;
    // A UTF-8 text cut inside a character would end in bytes that convert
    // to nothing readable: cut before that character instead.
    if (nTextCP == 65001u && nKeep < length) {
      while (nKeep > 0 && (static_cast<unsigned char>(text[nKeep]) & 0xC0) == 0x80) --nKeep;
    }
    const unsigned nSourceCP = nTextCP == 0xFFFFFFFEu ? CharsetCodePage(m_pclConnection) : nTextCP;
    clDump.Add(text, nKeep, nSourceCP);
  }
  _DumpQueryInError(&clDump, flags);
}
