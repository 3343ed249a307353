#include "CMySQLDriver.h"

#include <new>
#include <string>

#include "CMySQLConnection.h"
#include "CMySQLDataAccess.h"
#include "CMySQLDataSourceDescription.h"
#include "CMySQLDriverSQL.h"
#include "CMySQLStatement.h"
#include "CNABoundary.h"
#include "CNADriverLock.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAStatementSQL.h"
#include "CTString.h"
#include "ISQLParserInformation.h"
#include "LibraryEntry.h"

namespace {

CNADriver* NewMySQLDriver() { return new (std::nothrow) CMySQLDriver(); }

// The entry points make and end this driver; the registration runs while
// the library (or a program linking the driver) loads, before any entry can
// be called.
[[maybe_unused]] const bool gbRegistered =
    NA_bRegisterConcreteDriver(&NewMySQLDriver, &CMySQLDriver::g_NATermModule);

}  // namespace

CMySQLDriver::CMySQLDriver() { m_llValue = knDriverValue; }

CMySQLDriver::~CMySQLDriver() = default;

// ---------------------------------------------------------------------------
// Locks
// ---------------------------------------------------------------------------

int CMySQLDriver::bSQLBloqueTable(INAConnectionDescription* cnx, const wchar_t* table) {
  // The lock first, then the reset: no other thread's entry may see or
  // leave a half-reset error, and an earlier entry's failure must not
  // stay as the main error with this one's below it.
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclRegisteredConnection(cnx, knLocationTableLock);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclCnx->nRelease(); });
    int nResult = 0;
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr)
      _SetErrorNoMemory();
    else
      nResult = pclSQL->bSQLBloqueTable(m_pclError, pclCnx, table, 0) ? 1 : 0;
    // Plainly: a connection the lock opened stays registered (and open) so
    // that the lock lasts.
    return nResult;
  });
}

int CMySQLDriver::bSQLBloqueRequete(INAConnectionDescription* cnx, ISQLParserInformation* parser) {
  return NA_tBoundary<int>(m_pclError, NA_BOUNDARY_ENTRY, 0, [&]() -> int {
    CNAConnectionDescription* pclCnx = _pclRegisteredConnection(cnx, knLocationQueryLock);
    if (pclCnx == nullptr) return 0;
    const CNAOnExit clGiveBack([&] { pclCnx->nRelease(); });
    int nResult = 0;
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr) {
      _SetErrorNoMemory();
    } else {
      const wchar_t* pszQuery = parser != nullptr ? parser->pszGetSQLText() : nullptr;
      nResult = pclSQL->bSQLBloqueRequete(pclCnx, pszQuery, 0) ? 1 : 0;
      // The runtime reads the driver's error object: a face that reports
      // elsewhere has its failure copied there.
      CNAError* pclFaceError = pclSQL->pclGetErrorNoRef();
      if (!nResult && m_pclError != nullptr && pclFaceError != nullptr && pclFaceError != m_pclError)
        m_pclError->Copy(pclFaceError);
    }
    return nResult;
  });
}

// ---------------------------------------------------------------------------
// Factories
// ---------------------------------------------------------------------------

CNAStatement* CMySQLDriver::pclAllocStatement(CNADataAccess* access,
                                              CNAConnectionDescription* /*cnx*/,
                                              CNAError* error) {
  // The statement reaches its connection through its data access.
  return new (std::nothrow) CMySQLStatement(access, error);
}

CNADataSourceDescription* CMySQLDriver::pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                                     CNAError* error) {
  return new (std::nothrow) CMySQLDataSourceDescription(cnx, error);
}

CNADataAccess* CMySQLDriver::pclAllocDataAccess(INADataSourceDescription* source,
                                                CNAConnectionDescription* cnx, CNAError* error) {
  return new (std::nothrow) CMySQLDataAccess(source, cnx, error);
}

void CMySQLDriver::OnFatalErrorAddDebugMessage(CNAError* error, CNAConnectionDescription* cnx) {
  if (error == nullptr) return;
  // The version text belongs to the loaded client library, which only a
  // connection's opening loads.
  const wchar_t* pszClient = cnx != nullptr ? CNAConnectionDescription::m_csClientVersion.pszGet() : L"";
  error->AddDebugMessage(knMsgClientCrash, kszClientAPIVersion, pszClient);
}

CNAConnectionDescription* CMySQLDriver::_pclAllocConnectionDescription(
    const wchar_t* identification, INAConnectionDescription* cnx) {
  return new (std::nothrow) CMySQLConnection(identification, cnx);
}

CNADriverSQL* CMySQLDriver::_pclAllocDriverSQL(CNAError* error) {
  return new (std::nothrow) CMySQLDriverSQL(this, error);
}

// ---------------------------------------------------------------------------
// Existence of a table
// ---------------------------------------------------------------------------

int CMySQLDriver::_bTableExists(int* exists, const wchar_t* name, CNAConnectionDescription* cnx) {
  CNADriverLock clLock;
  if (exists != nullptr) *exists = 0;
  CNADriverSQL* pclSQL = pclGetDriverSQL();
  if (pclSQL == nullptr) {
    _SetErrorNoMemory();
    return 0;
  }
  if (cnx == nullptr) return 0;
  CTString csName;
  if (!cnx->bFormatTableName(m_pclError, name, &csName)) return 0;
  std::wstring sQuery = L"SHOW COLUMNS FROM ";
  sQuery += csName.pszGet();
  CNAStatementSQL* pclStatement = nullptr;
  const int bAnswered =
      pclSQL->bExecute(m_pclError, &pclStatement, cnx, sQuery.c_str(), nullptr, NA_WRITEPARSE_NONE);
  // Only the answer matters, not the columns.
  if (pclStatement != nullptr) pclStatement->nRelease();
  if (bAnswered) {
    if (exists != nullptr) *exists = 1;
    return 1;
  }
  // "No such table" answers the question; the server's error stays for a
  // caller that wants its text.
  return m_pclError != nullptr && m_pclError->dwGetDataBaseErrorCode() == knErrNoSuchTable ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Module end
// ---------------------------------------------------------------------------

void CMySQLDriver::g_NATermModule() {
  CMySQLConnection::g_TermNativeLibrary();
  CNADriver::g_NATermModule();
}
