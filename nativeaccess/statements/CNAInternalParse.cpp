#include "CNAInternalParse.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CXYStringConcat.h"

namespace {

// Location of the reports of internal queries.
constexpr int knLocationArea = 63;
constexpr int knSiteAllocate = 1;
constexpr int knSiteValue = 2;

// User errors.
constexpr unsigned int knErrMemory = 12;        // out of memory
constexpr unsigned int knErrInvalidValue = 81;  // the value of the item is not valid

// Flags of a new run of the prepared query (bits 16 and 20).
constexpr std::uint32_t knReExecuteFlags = 0x110000;

// Appends a terminated text unless it is null or empty.
void AddText(CXYStringConcat<wchar_t>* text, const wchar_t* psz) {
  if (psz == nullptr || *psz == 0) return;
  text->Add(psz, static_cast<long>(std::wcslen(psz)));
}

}  // namespace

// ======================================================================
// Creation and destruction
// ======================================================================

CNAInternalParse::CNAInternalParse(CNAError* error, CNAConnectionDescription* connection)
    : m_pclError(error), m_pclConnection(connection) {}

CNAInternalParse::~CNAInternalParse() {
  // The statement first: giving it back may still ask its data access.
  if (m_pclStatement != nullptr) m_pclStatement->nRelease();
  m_pclStatement = nullptr;
  if (m_pclDataAccess != nullptr) m_pclDataAccess->nRelease();
  m_pclDataAccess = nullptr;
}

CNAInternalParse* CNAInternalParse::s_pclGetNAInternalParse(const wchar_t* query, CNAError* error,
                                                            CNAConnectionDescription* connection) {
  CNAInternalParse* pclParse = new (std::nothrow) CNAInternalParse(error, connection);
  if (pclParse == nullptr) {
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteAllocate, connection, knErrMemory);
    return nullptr;
  }
  if (!pclParse->_bAllocate() || !pclParse->_bExecute(query)) {
    // Count 0: nobody holds it yet.
    delete pclParse;
    return nullptr;
  }
  return pclParse;
}

int CNAInternalParse::s_bDoInternalParse(const wchar_t* query, CNAError* error, CNAConnectionDescription* connection,
                                         CXYStringConcat<wchar_t>* text, const wchar_t* rowSeparator,
                                         const wchar_t* columnSeparator) {
  CNAInternalParse* pclParse = s_pclGetNAInternalParse(query, error, connection);
  if (pclParse == nullptr) return 0;
  pclParse->dwAddRef();
  const int bOk = pclParse->bFetchAll(text, rowSeparator, columnSeparator);
  pclParse->dwRelease();
  return bOk;
}

int CNAInternalParse::_bAllocate() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNADataAccess* pclAccess =
      pclDriver != nullptr ? pclDriver->pclAllocDataAccess(nullptr, m_pclConnection, m_pclError) : nullptr;
  if (pclAccess == nullptr) {
    // The driver may have said why; otherwise none could be had for want
    // of memory.
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteAllocate, m_pclConnection, knErrMemory);
    return 0;
  }
  pclAccess->AddRef();
  m_pclDataAccess = pclAccess;
  return 1;
}

int CNAInternalParse::_bExecute(const wchar_t* query) {
  if (m_pclDataAccess == nullptr) return 0;
  CNAStatement* pclStatement = nullptr;
  if (!m_pclDataAccess->bExecuteQueryInternal(&pclStatement, kpszQueryName, query)) {
    // A failing access hands nothing back; should one come anyway, its
    // reference is not lost.
    if (pclStatement != nullptr) pclStatement->nRelease();
    return 0;
  }
  // The statement came with the reference this object keeps.
  m_pclStatement = pclStatement;
  if (m_pclStatement != nullptr) m_pclStatement->EnableCache(0);
  return 1;
}

// ======================================================================
// The query and its columns
// ======================================================================

int CNAInternalParse::bReExecute() {
  if (m_pclStatement == nullptr) return 0;
  return m_pclStatement->bExecutePreparedQuery(static_cast<NA_WRITEPARSEFLAGS>(knReExecuteFlags), 0);
}

int CNAInternalParse::nGetColumnNbr() const {
  CNARecord* pclRecord = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetCurrentRecord() : nullptr;
  return pclRecord != nullptr ? pclRecord->nGetColumnCount() : 0;
}

CNAColumn* CNAInternalParse::pclGetColumnNoRef(const wchar_t* name) const {
  CNARecord* pclRecord = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetCurrentRecord() : nullptr;
  return pclRecord != nullptr && name != nullptr ? pclRecord->pclGetColumnNoRef(name) : nullptr;
}

CNAColumn* CNAInternalParse::pclGetColumnNoRef(int index) const {
  CNARecord* pclRecord = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetCurrentRecord() : nullptr;
  return pclRecord != nullptr ? pclRecord->pclGetColumnNoRef(index) : nullptr;
}

// ======================================================================
// Reading
// ======================================================================

int CNAInternalParse::bFetch(eNA_PARSEDIRECTION direction, int* outOfRange) {
  if (m_pclStatement == nullptr) {
    if (outOfRange != nullptr) *outOfRange = 1;
    return 1;
  }
  const int bOk = m_pclStatement->bFetch(direction, 1, 1);
  if (bOk && outOfRange != nullptr) m_pclStatement->HEndehors(outOfRange);
  return bOk;
}

void CNAInternalParse::_ReportUnreadableValue(CNAColumn* column) {
  if (m_pclError == nullptr || m_pclError->eGetErrorType() != NA_ERRORTYPE_NONE) return;
  m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteValue, m_pclConnection, knErrInvalidValue);
  const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
  m_pclError->SetInfoNames(*pszTable != 0 ? pszTable : kpszQueryName, column != nullptr ? column->pszGetName() : nullptr);
}

int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION direction, int* outOfRange, CAny* values, int count) {
  if (m_pclStatement == nullptr) return 0;
  int nOut = 1;
  const int bOk = bFetch(direction, &nOut);
  if (outOfRange != nullptr) *outOfRange = bOk ? nOut : 1;
  if (!bOk) return 0;
  if (nOut || values == nullptr) return 1;
  const int n = std::min(count, nGetColumnNbr());
  for (int i = 0; i < n; ++i) {
    CNAColumn* pclColumn = pclGetColumnNoRef(i);
    if (pclColumn == nullptr || !pclColumn->bGetCurrentValue(&values[i], 0)) {
      _ReportUnreadableValue(pclColumn);
      return 0;
    }
  }
  return 1;
}

int CNAInternalParse::_bAppendCurrentRow(CXYStringConcat<wchar_t>* text, const wchar_t* columnSeparator) {
  const int nColumns = nGetColumnNbr();
  for (int i = 0; i < nColumns; ++i) {
    CNAColumn* pclColumn = pclGetColumnNoRef(i);
    CAny clValue;
    if (pclColumn == nullptr || !pclColumn->bGetCurrentValue(&clValue, 0)) {
      _ReportUnreadableValue(pclColumn);
      return 0;
    }
    // NULL, and a value without a text form, give an empty field.
    const wchar_t* pszField = nullptr;
    if (!clValue.bIsNull() && clValue.__nCastTo(ANY_PSTRW, nullptr, 0) <= 99 && !clValue.bIsNull()) {
      const wchar_t* psz = nullptr;
      if (clValue.nGetPCWSTR(&psz) == ANY_OK) pszField = psz;
    }
    if (i > 0) AddText(text, columnSeparator);
    AddText(text, pszField);
  }
  return 1;
}

int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION direction, int* outOfRange, CXYStringConcat<wchar_t>* text,
                                 const wchar_t* rowSeparator, const wchar_t* columnSeparator) {
  if (m_pclStatement == nullptr) return 0;
  int nOut = 1;
  const int bOk = bFetch(direction, &nOut);
  if (outOfRange != nullptr) *outOfRange = bOk ? nOut : 1;
  if (!bOk || nOut || text == nullptr) return bOk;
  // A row that cannot be read whole leaves nothing of itself behind.
  const std::uint64_t nBefore = text->nGetLength();
  if (nBefore > 0) AddText(text, rowSeparator);
  if (!_bAppendCurrentRow(text, columnSeparator)) {
    text->SetLength(nBefore);
    return 0;
  }
  return 1;
}

int CNAInternalParse::bFetchAll(CXYStringConcat<wchar_t>* text, const wchar_t* rowSeparator,
                                const wchar_t* columnSeparator) {
  if (m_pclStatement == nullptr) return 0;
  int nOut = 1;
  if (!bFetchData(NA_PARSE_FIRST, &nOut, text, rowSeparator, columnSeparator)) return 0;
  while (!nOut) {
    if (!bFetchData(NA_PARSE_NEXT, &nOut, text, rowSeparator, columnSeparator)) return 0;
  }
  return 1;
}
