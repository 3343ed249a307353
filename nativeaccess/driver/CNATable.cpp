#include "CNATable.h"

#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNABoundary.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "INADataSourceDescription.h"
#include "INAQueryParametersValue.h"

namespace {
// The table's errors: user error 8 ("not supported") at location 6.b.
constexpr unsigned int knErrNotSupported = 8;
constexpr int knLocationTable = 6;
constexpr int knSiteSupprimeFichier = 9;
constexpr int knSiteExecuteQuery = 10;
}  // namespace

CNATable::CNATable(const wchar_t* identification, INADataSourceDescription* source,
                   CNAConnectionDescription* connection, CNAError* error, CNADriver* driver)
    : m_csIdentification(identification != nullptr ? identification : L""),
      m_piDataSource(source),
      m_pclConnection(connection),
      m_pclError(error),
      m_pclDriver(driver) {
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_piDataSource != nullptr) m_piDataSource->ExternalAddRef();
}

CNATable::~CNATable() {
  SetQueryBindVariable(nullptr);
  if (m_piDataSource != nullptr) m_piDataSource->nExternalRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
  if (m_pclConnection != nullptr) {
    if (m_pclDriver != nullptr)
      m_pclDriver->nReleaseConnection(m_pclConnection);
    else
      m_pclConnection->nRelease();
  }
}

void CNATable::ExternalAddRef() {
  NA_Boundary(m_pclError, NA_BOUNDARY_LOCK, [&] {
    ++m_nExternalCount;
  });
}

std::uint32_t CNATable::nExternalRelease() {
  return NA_tBoundary<std::uint32_t>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> std::uint32_t {
    if (m_nExternalCount == 0) return 0;
    const std::uint32_t nLeft = --m_nExternalCount;
    if (nLeft == 0) _DeleteIfUnreferenced();
    return nLeft;
  });
}

INAError* CNATable::piGetLastError(INAContext* /*context*/) {
  CNADriverLock clLock;
  return m_pclError;
}

const wchar_t* CNATable::pszGetLogicalName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetLogicalName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNATable::pszGetDBTableName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetDBTableName() : nullptr;
  return psz != nullptr ? psz : L"";
}

void CNATable::_SetErrorNotSupported(int site) {
  if (m_pclError != nullptr)
    m_pclError->AddError(NA_ERRORTYPE_UNAVAILABLE, knLocationTable, site, m_pclConnection, knErrNotSupported);
}

int CNATable::bSupprimeFichier(INAContext* /*context*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    _SetErrorNotSupported(knSiteSupprimeFichier);
    return 0;
  });
}

int CNATable::bExecuteQuery(int* keep, INAContext* /*context*/, const wchar_t* /*name*/,
                            ISQLParserInformation* /*parser*/, unsigned int /*flags*/,
                            const INAQueryExecution* /*execution*/) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_LOCK, 0, [&]() -> int {
    if (keep != nullptr) *keep = 0;
    _SetErrorNotSupported(knSiteExecuteQuery);
    return 0;
  });
}

int CNATable::bHFerme(INAContext* /*context*/) { return 1; }

int CNATable::bHMode(INAContext* /*context*/, _eNA_HMODE /*mode*/) { return 1; }

void CNATable::CancelRecordLock(INAConnectionDescription* /*cnx*/, CNATransaction* /*transaction*/) {}

void CNATable::SetTransactionTermined() {}

void CNATable::ForgetDataAccess(CNADataAccess* access) {
  CNADriverLock clLock;
  // The table keeps no data access of its own yet: only the lookup record
  // may still name it.
  CNADataAccess::s_ForgetLastDataAccess(access);
}

void CNATable::SetQueryBindVariable(INAQueryParametersValue* values) {
  CNADriverLock clLock;
  if (values == m_piBindVariables) return;
  if (m_piBindVariables != nullptr) m_piBindVariables->nExternalRelease();
  m_piBindVariables = values;
  if (m_piBindVariables != nullptr) m_piBindVariables->ExternalAddRef();
}
