#include "CNAIDAuto.h"

#include <cwchar>
#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAInternalParse.h"
#include "CTString.h"
#include "CXYStringConcat.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

// Location of the reports of the automatic identifiers.
constexpr int knLocationArea = 64;
constexpr int knSiteNoSource = 1;
constexpr int knSiteNoRow = 2;
constexpr int knSiteNextValue = 3;

// User errors and messages.
constexpr unsigned int knErrNotAvailable = 38;  // not available for this data source
constexpr unsigned int knErrNoValue = 59;       // no value found for table.column
constexpr unsigned int knErrNextValue = 21;     // the next value cannot be computed
constexpr unsigned int knMsgNextValue = 28576;  // user error 21's text: table, column

// Text buffers grow by this many characters.
constexpr std::uint64_t knTextStep = 128;

const wchar_t* NonNull(const wchar_t* psz) { return psz != nullptr ? psz : L""; }

void Append(CXYStringConcat<wchar_t>* text, const wchar_t* psz) {
  if (psz != nullptr && *psz != 0) text->Add(psz, static_cast<long>(std::wcslen(psz)));
}

// The error object of a call: the one given, or a private one whose reasons
// are dropped at the end of the call.
class CallError {
 public:
  explicit CallError(CNAError* given) : m_pclError(given) {
    if (m_pclError == nullptr) {
      m_pclError = new (std::nothrow) CNAError();
      m_bOwned = m_pclError != nullptr;
    }
    if (m_bOwned) m_pclError->AddRef();
  }
  ~CallError() {
    if (m_bOwned) m_pclError->nRelease();
  }
  CallError(const CallError&) = delete;
  CallError& operator=(const CallError&) = delete;
  CNAError* pcl() const { return m_pclError; }

 private:
  CNAError* m_pclError;
  bool m_bOwned = false;
};

// A failure of the building, reported into the access's error object with
// the access's logical name and the column's name.
int FailBuild(CNADataAccess* access, CNAColumn* column, unsigned int code) {
  CNAError* pclError = access->pclGetError();
  if (pclError != nullptr) {
    const bool bFirst = pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
    pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteNoSource, access->pclGetConnection(), code);
    if (bFirst) pclError->SetInfoNames(access->pszGetLogicalName(), NonNull(column->pszGetName()));
  }
  return 0;
}

}  // namespace

CNAIDAuto::~CNAIDAuto() {
  _Close(&m_pclNextValue);
  _Close(&m_pclMaxCurrentValue);
}

void CNAIDAuto::_Close(CNAInternalParse** query) {
  CNAInternalParse* pclQuery = *query;
  *query = nullptr;
  if (pclQuery != nullptr) pclQuery->dwRelease();
}

int CNAIDAuto::_bRun(CNAInternalParse** query, const CXYStringConcat<wchar_t>& text, CNADataAccess* access,
                     CNAError* error) {
  _Close(query);
  CNAInternalParse* pclQuery = CNAInternalParse::s_pclGetNAInternalParse(text.pszGet(), error, access->pclGetConnection());
  if (pclQuery == nullptr) return 0;
  pclQuery->dwAddRef();
  *query = pclQuery;
  return 1;
}

// ======================================================================
// The MAX texts
// ======================================================================

int CNAIDAuto::_bBuildQueryGetMax(CXYStringConcat<wchar_t>* text, CNADataAccess* access, CNAColumn* column,
                                  int plusOne) {
  if (text == nullptr || access == nullptr || column == nullptr) return 0;
  CNAConnectionDescription* pclCnx = access->pclGetConnection();
  CNAError* pclError = access->pclGetError();
  CTString csItem;
  CTString csTable;
  if (access->bIsQuery()) {
    // A query's column: its source column in its source table.
    INAItemDescription* piItem = column->piGetItemDescription();
    const wchar_t* pszName = piItem != nullptr ? piItem->pszGetNameInSource() : nullptr;
    const wchar_t* pszSource = piItem != nullptr ? piItem->pszGetSourceName() : nullptr;
    if (pszName == nullptr || *pszName == 0 || pszSource == nullptr || *pszSource == 0 || pclCnx == nullptr)
      return FailBuild(access, column, knErrNotAvailable);
    if (!pclCnx->bFormatItemName(pclError, pszName, &csItem)) return 0;
    // A FROM table's alias is no table on the server: the access gives
    // the server's name of the source, formatted.
    access->_GetDBSourceName(piItem, &csTable, 1);
  } else {
    csItem = NonNull(column->pszGetFormatedOriginalName());
    // The table's name on the server, else its logical name.
    INADataSourceDescription* piSource = access->piGetDataSourceNoRef();
    const wchar_t* pszTable = piSource != nullptr ? piSource->pszGetDBTableName() : nullptr;
    if (pszTable == nullptr || *pszTable == 0) pszTable = access->pszGetLogicalName();
    if (*pszTable == 0 || csItem.nTaille() == 0 || pclCnx == nullptr)
      return FailBuild(access, column, knErrNotAvailable);
    if (!pclCnx->bFormatTableName(pclError, pszTable, &csTable)) return 0;
  }
  if (csItem.nTaille() == 0 || csTable.nTaille() == 0) return FailBuild(access, column, knErrNotAvailable);
  Append(text, L"SELECT MAX(");
  Append(text, csItem.pszGet());
  Append(text, L")");
  if (plusOne) Append(text, L"+1");
  Append(text, L" FROM ");
  Append(text, csTable.pszGet());
  return 1;
}

int CNAIDAuto::_bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* text, CNADataAccess* access, CNAColumn* column) {
  return _bBuildQueryGetMax(text, access, column, 1);
}

int CNAIDAuto::_bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* text, CNADataAccess* access,
                                              CNAColumn* column) {
  return _bBuildQueryGetMax(text, access, column, 0);
}

void CNAIDAuto::_PrefixMessageErreur(CNAError* error, CNADataAccess* access, CNAColumn* column) {
  if (error == nullptr) return;
  const wchar_t* pszTable = access != nullptr ? access->pszGetLogicalName() : L"";
  const wchar_t* pszColumn = column != nullptr ? NonNull(column->pszGetName()) : L"";
  if (error->eGetErrorType() == NA_ERRORTYPE_NONE) {
    // Nothing said why: the failure must not read as "no error".
    error->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteNextValue,
                    access != nullptr ? access->pclGetConnection() : nullptr, knErrNextValue, pszTable, pszColumn);
    error->SetInfoNames(pszTable, pszColumn);
    return;
  }
  error->AddUserMessageFirst(knMsgNextValue, pszTable, pszColumn);
}

// ======================================================================
// The values
// ======================================================================

int CNAIDAuto::bGetNextValue(CNADataAccess* access, CNAColumn* column, CNAError* error, CAny* value) {
  if (access == nullptr || column == nullptr || value == nullptr) {
    _PrefixMessageErreur(error, access, column);
    return 0;
  }
  CallError clError(error);
  if (clError.pcl() == nullptr) return 0;
  CXYStringConcat<wchar_t> clText(knTextStep);
  if (!_bBuildQueryGetNextValue(&clText, access, column) || !_bRun(&m_pclNextValue, clText, access, clError.pcl())) {
    _Close(&m_pclNextValue);
    _PrefixMessageErreur(error, access, column);
    return 0;
  }
  // MAX always gives one row; should none come, the table counts as empty.
  CAny clValue;
  clValue.SetNull(true);
  int nOut = 1;
  if (!m_pclNextValue->bFetchData(NA_PARSE_FIRST, &nOut, &clValue, 1)) {
    _Close(&m_pclNextValue);
    _PrefixMessageErreur(error, access, column);
    return 0;
  }
  // MAX of no row is NULL: the first identifier of an empty table.
  if (clValue.bIsNull()) clValue.SetI8(1);
  *value = clValue;
  _Close(&m_pclNextValue);
  return 1;
}

int CNAIDAuto::bGetMaxCurrentValue(CNADataAccess* access, CNAColumn* column, CNAError* error, CAny* value) {
  if (access == nullptr || column == nullptr || value == nullptr) return 0;
  CallError clError(error);
  if (clError.pcl() == nullptr) return 0;
  CXYStringConcat<wchar_t> clText(knTextStep);
  if (!_bBuildQueryGetMaxCurrentValue(&clText, access, column) ||
      !_bRun(&m_pclMaxCurrentValue, clText, access, clError.pcl())) {
    _Close(&m_pclMaxCurrentValue);
    return 0;
  }
  CAny clValue;
  int nOut = 1;
  int bOk = m_pclMaxCurrentValue->bFetchData(NA_PARSE_FIRST, &nOut, &clValue, 1);
  if (bOk && !nOut) *value = clValue;
  if (bOk && nOut) {
    const wchar_t* pszTable = access->pszGetLogicalName();
    const wchar_t* pszColumn = NonNull(column->pszGetName());
    CNAError* pclError = clError.pcl();
    const bool bFirst = pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
    pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteNoRow, access->pclGetConnection(), knErrNoValue,
                       pszTable, pszColumn);
    if (bFirst) pclError->SetInfoNames(pszTable, pszColumn);
    bOk = 0;
  }
  _Close(&m_pclMaxCurrentValue);
  return bOk;
}
