// CMySQLStatement: the MariaDB/MySQL answers of the table statement
// (engine clause and AUTO_INCREMENT key of a CREATE TABLE, the identifier
// of a record just inserted, the streamed count of a rewritten query).
#include "CMySQLStatement.h"

#include <cstdint>
#include <limits>
#include <new>
#include <string>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CNARecord.h"
#include "INAItemDescription.h"

namespace {

// The last major server version that spells the engine clause "Type=".
constexpr int knLastTypeClauseMajor = 4;

// The driver statement streams for one execution and stores again on every
// way out; the command's reference goes with it.
class StreamScope {
 public:
  StreamScope(CMySQLStatementSQL* statement, CNACommand* command) : m_pclStatement(statement), m_pclCommand(command) {
    if (m_pclStatement != nullptr) m_pclStatement->SetStoreResult(0);
  }
  ~StreamScope() {
    if (m_pclStatement != nullptr) m_pclStatement->SetStoreResult(1);
    m_pclCommand->nRelease();
  }
  StreamScope(const StreamScope&) = delete;
  StreamScope& operator=(const StreamScope&) = delete;

 private:
  CMySQLStatementSQL* m_pclStatement;
  CNACommand* m_pclCommand;
};

bool IsIdAuto(eNA_ITEMTYPE type) { return type == NA_IT_IDAUTO || type == NA_IT_IDAUTO4; }

}  // namespace

CMySQLStatement::CMySQLStatement(CNADataAccess* access, CNAError* error) : CNAStatement(access, error) {}

CMySQLStatement::~CMySQLStatement() = default;

const wchar_t* CMySQLStatement::pszEngineClause(int major) {
  return major <= knLastTypeClauseMajor ? L" Type=InnoDB" : L" ENGINE=InnoDB";
}

CMySQLConnection* CMySQLStatement::_pclMySQLConnection() const {
  return dynamic_cast<CMySQLConnection*>(pclGetConnectionNoRef());
}

CMySQLStatementSQL* CMySQLStatement::_pclMySQLStatementSQL() {
  if (m_pclStatementSQL == nullptr && !_bAllocStatementSQL()) return nullptr;
  return dynamic_cast<CMySQLStatementSQL*>(m_pclStatementSQL);
}

void CMySQLStatement::_NameError(bool first, const wchar_t* item) {
  if (!first || m_pclError == nullptr) return;
  const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
  m_pclError->SetInfoNames(pszTable, item);
}

void CMySQLStatement::_AddOwnError(eNA_ERRORTYPE type, int site, unsigned int code, const wchar_t* item) {
  if (m_pclError == nullptr) return;
  const bool bFirst = m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  m_pclError->AddError(type, knSource, site, pclGetConnectionNoRef(), code);
  _NameError(bFirst, item);
}

void CMySQLStatement::_ReportIdTooWide(CNAColumn* column, unsigned long long id) {
  if (m_pclError == nullptr) return;
  const bool bFirst = m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  const std::wstring sId = std::to_wstring(id);
  m_pclError->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosInsertIdTooWide, pclGetConnectionNoRef(),
                       knErrValueRefused, static_cast<int>(ANY_I8), static_cast<int>(column->eNAGetItemType()),
                       sId.c_str());
  _NameError(bFirst, column->pszGetName());
}

// ======================================================================
// CREATE TABLE
// ======================================================================

int CMySQLStatement::bBuildQueryCREATE(CNACommand* command) {
  if (!CNAStatement::bBuildQueryCREATE(command)) return 0;
  // InnoDB: the tables the library creates take part in transactions.
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  const int nMajor = pclCnx != nullptr ? pclCnx->nGetServerMajor() : -1;
  return command->bComplete(pszEngineClause(nMajor));
}

int CMySQLStatement::_bGetNativeConstraint(CNAColumn* column, CTString* constraint) {
  if (constraint == nullptr) return 0;
  constraint->Set(L"");
  INAItemDescription* piItem = column != nullptr ? column->piGetItemDescription() : nullptr;
  if (piItem != nullptr) {
    const bool bIdAuto = IsIdAuto(piItem->eNAGetItemType());
    if (bIdAuto || piItem->bPrimary(0)) {
      // The key is a table clause of its own after the column's type.
      std::wstring s = bIdAuto ? L" NOT NULL AUTO_INCREMENT" : L"";
      s += L", PRIMARY KEY (";
      s += column->pszGetFormatedName();
      s += L")";
      constraint->Set(s.c_str());
      return 1;
    }
  }
  return CNAStatement::_bGetNativeConstraint(column, constraint);
}

// ======================================================================
// After an INSERT
// ======================================================================

int CMySQLStatement::bUpdateRecordAfterInsert(eNAQUERYTYPE /*type*/, int /*flags*/) {
  CNAColumn* pclIdAuto = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
  if (pclIdAuto == nullptr) return 1;
  const bool bFirst = m_pclError == nullptr || m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  CMySQLConnection* pclCnx = _pclMySQLConnection();
  st_mysql* pHandle = pclCnx != nullptr ? pclCnx->pGetClientHandle() : nullptr;
  if (pHandle == nullptr) {
    // No open connection of this driver: there is no identifier to ask.
    _AddOwnError(NA_ERRORTYPE_UNAVAILABLE, knPosNoConnection, knErrNotAvailable, pclIdAuto->pszGetName());
    return 0;
  }
  my_ulonglong nId = 0;
  if (!pclCnx->_bGuard(m_pclError, knGuardInsertId, [&] { nId = __mysql_insert_id(pHandle); })) {
    _NameError(bFirst, pclIdAuto->pszGetName());
    return 0;
  }
  if (nId == 0) return 1;
  // A value the column cannot hold would be stored wrapped: the record
  // would name another row than the one inserted.
  const unsigned long long nMax = pclIdAuto->eNAGetItemType() == NA_IT_IDAUTO4
                                      ? static_cast<unsigned long long>(std::numeric_limits<std::int32_t>::max())
                                      : static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
  if (nId > nMax) {
    _ReportIdTooWide(pclIdAuto, nId);
    return 0;
  }
  CAny clValue;
  clValue.SetI8(static_cast<std::int64_t>(nId));
  clValue.SetNull(false);
  pclIdAuto->bSetValue(&clValue, 0);
  return 1;
}

// ======================================================================
// Record count
// ======================================================================

int CMySQLStatement::bGetNbEnr(long* count, unsigned int flags, int countAll) {
  // A table or a query as written: the server counts it.
  if (m_pclDataAccess == nullptr || !m_pclDataAccess->bIsQuery() || m_pclDataAccess->bRequeteSansCorrection())
    return CNAStatement::bGetNbEnr(count, flags, countAll);

  // A failure that left no reason of its own is reported as this one.
  const auto fail = [this](eNA_ERRORTYPE type, unsigned int code) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      _AddOwnError(type, knPosCount, code, m_csParseKey.pszGet());
    return 0;
  };
  ResetQuery();
  EnableCache(0);
  CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
  if (pclCommand == nullptr) return fail(NA_ERRORTYPE_GENERIC, knErrNoMemory);
  pclCommand->AddRef();
  CMySQLStatementSQL* pclSQL = _pclMySQLStatementSQL();
  StreamScope clScope(pclSQL, pclCommand);
  // Only the driver's own statement can stream a result.
  if (pclSQL == nullptr) return fail(NA_ERRORTYPE_UNAVAILABLE, knErrNotAvailable);
  const int bBuilt = m_pclDataAccess->bBuildSelect(pclCommand, this, nullptr, 1, 0, nullptr);
  // Every row is counted in one pass: no block may end the SELECT.
  pclCommand->SetRecordLimit(NO_LIMIT);
  // A data access that builds no SELECT of its query may not say why.
  if (!bBuilt) return fail(NA_ERRORTYPE_UNAVAILABLE, knErrNotAvailable);
  if (!bExecuteDirectNewCommand(pclCommand, NA_WRITEPARSE_NONE, NA_ST_PREPARE)) return 0;
  std::int64_t llRows = 0;
  // A stream that broke (a lost or killed connection) counted only the rows
  // that arrived: that is no count of the query.
  if (!pclSQL->bCountStreamedRows(&llRows)) {
    _CopyStatementSQLError();
    return fail(NA_ERRORTYPE_UNAVAILABLE, knErrNotAvailable);
  }
  if (count != nullptr) *count = static_cast<long>(llRows);
  return 1;
}
