// CNAStatement: construction, execution, reset and close, errors and the
// small operations. Fetching is in CNAStatementFetch.cpp, the record cache,
// the record-save table and the parse update in CNAStatementCache.cpp;
// counts, positions, searches, filters and write notifications in
// CNAStatementPosition.cpp.
#include "CNAStatement.h"

#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CSQLParserInfo.h"
#include "CXYStringConcat.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

// Location of the reports of the statement.
constexpr int knLocationArea = 62;
constexpr int knSiteAlloc = 1;
constexpr int knSiteUpdateNoRow = 2;
constexpr int knSitePrepared = 3;
constexpr int knSiteNoText = 4;
constexpr int knSiteNoRow = 5;

// User errors.
constexpr unsigned int knErrPreparedNoType = 2;   // a prepared command of unknown type
constexpr unsigned int knErrNoCurrentRecord = 7;  // no row to read
constexpr unsigned int knErrMemory = 12;          // out of memory
constexpr unsigned int knErrNotChanged = 13;      // an UPDATE changed no row
constexpr unsigned int knErrNotAvailable = 38;    // not available for this data source
// Debug message: the record was not changed on the server.
constexpr unsigned int knDbgNotChanged = 28591;

// Flags of a preparation: 2 sets the command without preparing it.
constexpr std::uint32_t knPrepareCommandOnly = 2;

}  // namespace

// ======================================================================
// Construction
// ======================================================================

CNAStatement::CNAStatement(CNARecord* record) : m_pclRecord(record) {}

CNAStatement::CNAStatement(CNADataAccess* access, CNAError* error) : m_pclDataAccess(access) {
  if (access != nullptr) {
    // The description comes with the external reference the statement
    // keeps.
    m_piDataSource = access->piGetDataSourceDescription();
    m_pclRecord = access->pclGetCurrentRecord();
  }
  if (error != nullptr) {
    error->AddRef();
    m_pclError = error;
    _bAllocStatementSQL();
  }
}

CNAStatement::~CNAStatement() {
  // The saves first: their release goes through the data access, which
  // outlives its statements.
  _FreeRecordSaves();
  if (m_pclCommand != nullptr) m_pclCommand->nRelease();
  if (m_pclStatementSQL != nullptr) m_pclStatementSQL->nRelease();
  if (m_pclRecordCache != nullptr) m_pclRecordCache->nRelease();
  _SetTableCacheIndex(nullptr);
  if (m_pclFilter != nullptr) m_pclFilter->nRelease();
  if (m_pclRecherche != nullptr) m_pclRecherche->nRelease();
  m_tabPositions.DeleteAll();
  if (m_nRecordSaveId != knNoSave && m_pclDataAccess != nullptr) m_pclDataAccess->nReleaseRecordSave(m_nRecordSaveId);
  _ReleaseOriginalRecord();
  if (m_pclCacheReadValue != nullptr) m_pclCacheReadValue->nRelease();
  if (m_piDataSource != nullptr) m_piDataSource->nExternalRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

int CNAStatement::_bAllocStatementSQL() {
  if (m_pclStatementSQL != nullptr) return 1;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  CNADriverSQL* pclFace = pclDriver != nullptr ? pclDriver->pclGetDriverSQL() : nullptr;
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  CNAStatementSQL* pclStatement = pclFace != nullptr ? pclFace->pclAllocStatementSQL(pclCnx, m_pclError) : nullptr;
  if (pclStatement == nullptr) {
    // The face may have said why; otherwise the statement could not be
    // had for want of memory.
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteAlloc, pclCnx, knErrMemory);
    return 0;
  }
  pclStatement->AddRef();
  m_pclStatementSQL = pclStatement;
  return 1;
}

int CNAStatement::_bResetOrAllocStatementSQL() {
  if (m_pclStatementSQL != nullptr) return m_pclStatementSQL->bReset();
  return _bAllocStatementSQL();
}

// ======================================================================
// Errors
// ======================================================================

void CNAStatement::_AddUserError(eNA_ERRORTYPE type, int site, unsigned int code) {
  if (m_pclError == nullptr) return;
  const bool bFirst = m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  m_pclError->AddError(type, knLocationArea, site, pclGetConnectionNoRef(), code);
  // The names belong to the main error: only a first error takes them.
  if (bFirst) {
    const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
    m_pclError->SetInfoNames(pszTable, m_csParseKey.pszGet());
  }
}

int CNAStatement::_bNotAvailable(int site) {
  _AddUserError(NA_ERRORTYPE_UNAVAILABLE, site, knErrNotAvailable);
  return 0;
}

void CNAStatement::_CopyStatementSQLError() {
  if (m_pclError == nullptr || m_pclStatementSQL == nullptr) return;
  CNAError* pclSource = m_pclStatementSQL->pclGetErrorNoRef();
  // The driver statement usually reports into this very object.
  if (pclSource != nullptr && pclSource != m_pclError) m_pclError->Copy(pclSource);
}

void CNAStatement::_DumpQuery(CNACommand* command) {
  if (command == nullptr || m_pclError == nullptr) return;
  const wchar_t* pszDump = command->pszGetCommandDump();
  if (pszDump == nullptr || *pszDump == 0) return;
  const CTString csText = CTString(pszDump) + L"\r\n";
  m_pclError->AddDebugMessageNoFormatFirst(csText.pszGet());
}

// ======================================================================
// Execution
// ======================================================================

void CNAStatement::_SetQuery(CNACommand* command) {
  ResetQuery();
  if (command != nullptr) command->AddRef();
  CNACommand* pclOld = m_pclCommand;
  m_pclCommand = command;
  if (pclOld != nullptr) pclOld->nRelease();
  // A new command brings its own order and SELECT flags.
  m_bInverted = 0;
}

int CNAStatement::bExecuteDirectNewCommand(CNACommand* command, NA_WRITEPARSEFLAGS flags,
                                           eNA_ST_PREPARE prepare) {
  _SetQuery(command);
  return bExecute(flags, prepare);
}

int CNAStatement::bPrepare(CNACommand* command, NA_WRITEPARSEFLAGS flags) {
  _SetQuery(command);
  if ((static_cast<std::uint32_t>(flags) & knPrepareCommandOnly) != 0) return 1;
  return _bPrepare(command, flags);
}

int CNAStatement::_bPrepare(CNACommand* command, NA_WRITEPARSEFLAGS /*flags*/) {
  if (command == nullptr) return 0;
  if (!_bResetOrAllocStatementSQL()) return 0;
  CTStringConcatAW* pclText = command->pclGetFormatedSQL(PARAMTYPECONV_NONE);
  if (pclText == nullptr) return 0;
  if (!m_pclStatementSQL->bPrepareSQL(pclText)) {
    _CopyStatementSQLError();
    return 0;
  }
  return 1;
}

int CNAStatement::bExecute(NA_WRITEPARSEFLAGS flags, eNA_ST_PREPARE prepare) {
  if (m_bParseStarted) Close();
  if (!m_bFetchingNextBlock) {
    _ReleaseOriginalRecord();
    m_nDuplicateCount = 0;
  }
  if (m_pclCommand == nullptr || m_pclCommand->bIsEmpty()) return 1;
  if (!bExecuteDirect(flags, prepare)) return 0;

  const bool bSelect = m_pclCommand->nGetQueryType() == CNACommand::QUERY_SELECT;
  const bool bFromQuery = m_pclCommand->pclGetSQLParserInfo() != nullptr;
  if ((bSelect || bFromQuery) && m_pclDataAccess != nullptr && !m_pclDataAccess->bHasDataSourceDescription()) {
    // A query's result describes itself: the data access keeps the
    // description (a data access that makes none goes on without).
    CNADataSourceDescription* pclDescription =
        m_pclDataAccess->_pclAllocDataSource(pclGetConnectionNoRef(), m_pclError);
    if (pclDescription != nullptr) {
      pclDescription->AddRef();
      const wchar_t* pszName = m_pclDataAccess->pszGetLogicalName();
      pclDescription->SetLogicalName(pszName);
      pclDescription->SetDBName(pszName);
      const int bOk = bGetQueryStructure(pclDescription);
      if (bOk) m_pclDataAccess->_SetImportedDataSourceDesc(pclDescription);
      pclDescription->nRelease();
      if (!bOk) return 0;
    }
  }
  return 1;
}

int CNAStatement::_bGetQueryStructure(CNADataSourceDescription* description) {
  if (m_pclStatementSQL == nullptr || m_pclDataAccess == nullptr) return 0;
  if (m_pclCommand != nullptr && m_pclCommand->nGetQueryType() == CNACommand::QUERY_NONE)
    m_pclCommand->SetQueryType(m_pclStatementSQL->nGetColumnCount() > 0 ? TYPEREQUETE_SELECT : TYPEREQUETE_NONE);
  return m_pclDataAccess->bInitDataSourceFromResult(description, m_pclStatementSQL);
}

int CNAStatement::bExecuteDirect(NA_WRITEPARSEFLAGS /*flags*/, eNA_ST_PREPARE /*prepare*/) {
  if (m_pclCommand == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoText, knErrNotAvailable);
    return 0;
  }
  const char* pszText = m_pclCommand->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
  if (pszText == nullptr) return 0;  // the command said why
  if (*pszText == 0) return 1;
  if (!_bResetOrAllocStatementSQL()) return 0;
  // The statement's own flags are not handed on: whether the result is
  // stored or streamed is the driver statement's choice.
  if (!m_pclStatementSQL->bExecuteDirect(pszText, NA_WRITEPARSE_NONE)) {
    _CopyStatementSQLError();
    return 0;
  }
  if (m_pclCommand->nGetQueryType() == CNACommand::QUERY_UPDATE) {
    unsigned long nAffected = 0;
    if (!m_pclStatementSQL->bGetAffected_rows(&nAffected)) {
      _CopyStatementSQLError();
      return 0;
    }
    // The connection counts matched rows (identical values included): no
    // row means the record is no longer there as it was read.
    CNARecord* pclRecord = m_pclRecord;
    if (nAffected == 0 && pclRecord != nullptr && pclRecord->pclGetCurrentRecordValue() != nullptr) {
      _AddUserError(NA_ERRORTYPE_DIRECTQUERY, knSiteUpdateNoRow, knErrNotChanged);
      if (m_pclError != nullptr) {
        m_pclError->AddDebugMessage(knDbgNotChanged);
        CXYStringConcat<wchar_t> clRecord(256);
        pclRecord->CurrentRecordToString(&clRecord);
        if (clRecord.pszGet() != nullptr) m_pclError->AddDebugMessageNoFormat(clRecord.pszGet());
      }
      return 0;
    }
  }
  const std::int64_t llLimit = m_pclCommand->llGetRecordLimit();
  m_nBlockFull = llLimit > 0 && llLimit == m_pclStatementSQL->llGetRowCount() ? static_cast<std::int32_t>(llLimit) : -1;
  m_bBlockAtFirstRow = m_pclCommand->llGetLimitOffset() < 1 ? 1 : 0;
  return 1;
}

int CNAStatement::bExecutePreparedQuery(NA_WRITEPARSEFLAGS flags, int refresh) {
  if (refresh && m_pclCommand != nullptr && !m_pclCommand->bUpdateParametersValues()) return 0;
  if (m_pclTableCacheIndex == nullptr &&
      (m_pclCommand == nullptr || m_pclCommand->nGetQueryType() == CNACommand::QUERY_NONE)) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSitePrepared, knErrPreparedNoType);
    return 0;
  }
  Close();
  return _bExecutePreparedQuery(flags);
}

int CNAStatement::_bExecutePreparedQuery(NA_WRITEPARSEFLAGS flags) {
  if (m_pclStatementSQL == nullptr) return 0;
  if (!m_pclStatementSQL->bExecutePreparedQuery(flags)) {
    _CopyStatementSQLError();
    return 0;
  }
  return 1;
}

int CNAStatement::bExecuteAndFetch(CAny* values, int count, eNA_ST_PREPARE prepare) {
  int bOk = bExecute(NA_WRITEPARSE_NONE, prepare);
  if (bOk) bOk = bFetch(NA_PARSE_FIRST, 0, 1);
  // The values are those of the row the fetch reached: reading another row
  // here would hand out the second row, and fail on a one-row result.
  if (bOk) {
    if (m_bOutOfRange || m_pclStatementSQL == nullptr || m_pclStatementSQL->bNoCurrentRow()) {
      bOk = 0;
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoRow, knErrNoCurrentRecord);
    } else {
      for (int i = 0; i < count && bOk; ++i) bOk = bGetSQLColumnValue(&values[i], static_cast<unsigned int>(i));
    }
  }
  Close();
  return bOk;
}

int CNAStatement::bGetRequestedValue(CAny* value) {
  if (!bExecute(static_cast<NA_WRITEPARSEFLAGS>(0x10000), NA_ST_PREPARE)) return 0;
  if (!_bFetchSQL()) return 0;
  // No row is an answer too, as the driver statement gives it: NULL.
  if (m_pclStatementSQL->bNoCurrentRow()) {
    if (value != nullptr) value->SetNull(true);
    return 1;
  }
  return bGetSQLColumnValue(value, 0);
}

int CNAStatement::bGetResultValue(CAny* value, unsigned int column) {
  if (!_bFetchSQL()) return 0;
  if (m_pclStatementSQL->bNoCurrentRow()) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoRow, knErrNoCurrentRecord);
    return 0;
  }
  return bGetSQLColumnValue(value, column);
}

int CNAStatement::_vbGetQueryResult(CAny* values, int count) {
  if (!_bFetchSQL()) return 0;
  if (m_pclStatementSQL->bNoCurrentRow()) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoRow, knErrNoCurrentRecord);
    return 0;
  }
  for (int i = 0; i < count; ++i)
    if (!bGetSQLColumnValue(&values[i], static_cast<unsigned int>(i))) return 0;
  return 1;
}

int CNAStatement::bGetSQLColumnValue(CNAConvertVariant* value, unsigned int column) {
  if (m_pclStatementSQL == nullptr) return 0;
  if (!m_pclStatementSQL->bGetValue(value, column, 0)) {
    _CopyStatementSQLError();
    return 0;
  }
  return 1;
}

int CNAStatement::bGetSQLColumnValue(CAny* value, unsigned int column) {
  if (m_pclStatementSQL == nullptr) return 0;
  if (!m_pclStatementSQL->bGetValue(value, column, 0)) {
    _CopyStatementSQLError();
    return 0;
  }
  return 1;
}

int CNAStatement::_bFetchSQL() {
  if (m_pclStatementSQL == nullptr) return 0;
  if (!m_pclStatementSQL->bFetch(0)) {
    _CopyStatementSQLError();
    return 0;
  }
  return 1;
}

// ======================================================================
// Reset and close
// ======================================================================

void CNAStatement::ResetQuery() {
  Close();
  m_bEndOfParseInCache = 0;
  if (m_pclCommand != nullptr) {
    CNACommand* pclCommand = m_pclCommand;
    m_pclCommand = nullptr;
    pclCommand->nRelease();
  }
  m_bInverted = 0;
}

void CNAStatement::ResetStatement() { ResetQuery(); }

void CNAStatement::Close() {
  _FreeRecordSaves();
  if (!m_bFetchingNextBlock) {
    m_clFilterSave.SetFilter(nullptr);
    if (m_pclDataAccess != nullptr) m_pclDataAccess->ClosingStatement(this);
    m_bParseStarted = 0;
    m_llCurrentRecord = -1;
    m_bCurrentRecordDeleted = 0;
    m_nRowNumberBase = 0;
    const bool bCacheWasOn = bCacheEnabled() != 0;
    EnableCache(0);
    const bool bNoTableCache = m_pclDataAccess == nullptr || m_pclDataAccess->pclGetTableCache() == nullptr;
    if (bCacheWasOn || bNoTableCache) {
      // The rows the positions name are gone with the result.
      unsigned int nCursor = 0;
      CNAPosition* pclPosition = nullptr;
      int nKey = 0;
      while (m_tabPositions.bParseTable(&nCursor, 0, &pclPosition, &nKey))
        if (pclPosition != nullptr) pclPosition->InvalidateRowID();
    }
    bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, knNoSave);
  }
  m_bBlockAtFirstRow = 1;
  m_bCurrentRecordDeleted = 0;
  m_llRowIndex = -1;
  if (m_pclStatementSQL != nullptr) m_pclStatementSQL->bReset();
}

void CNAStatement::_ReleaseOriginalRecord() {
  if (m_pclOriginalRecord == nullptr) return;
  CNARecordValue* pclOld = m_pclOriginalRecord;
  m_pclOriginalRecord = nullptr;
  pclOld->nRelease();
}

// ======================================================================
// Operations this class leaves to others: the writes are built here
// (bBuildQuery) and run by the data access, which alone answers them.
// ======================================================================

int CNAStatement::bHAjoute(NA_WRITEPARSEFLAGS /*flags*/, eNA_LOCKTYPE /*lock*/) { return 0; }

int CNAStatement::bHModifie(NA_WRITEPARSEFLAGS /*flags*/, eNA_LOCKTYPE /*lock*/) { return 0; }

int CNAStatement::bHSupprime(eNA_LOCKTYPE /*lock*/) { return 0; }

int CNAStatement::bSetLockType(eNA_LOCKTYPE lock) {
  m_eLockType = lock;
  return 1;
}

int CNAStatement::bCanFetchBackward() { return 1; }

int CNAStatement::bGetBLOB(INAItemDescription* item, CAny* value) {
  CNAColumn* pclColumn = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnNoRef(item) : nullptr;
  return pclColumn != nullptr ? pclColumn->bGetBLOB(value) : 0;
}

int CNAStatement::bExtraitMemo(INAItemDescription* item, const wchar_t* path) {
  CNAColumn* pclColumn = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnNoRef(item) : nullptr;
  return pclColumn != nullptr ? pclColumn->bHExtraitMemo(path) : 0;
}

void CNAStatement::DesactivateRecherche() {
  if (m_pclRecherche == nullptr) return;
  CNARecherche* pclOld = m_pclRecherche;
  m_pclRecherche = nullptr;
  pclOld->nRelease();
}

CNARecherche* CNAStatement::pclAllocRecherche() {
  return new (std::nothrow) CNARecherche(m_pclError, pclGetConnectionNoRef());
}

CNAFilter* CNAStatement::pclAllocFilter() {
  return new (std::nothrow) CNAFilter(m_pclError, pclGetConnectionNoRef());
}

int CNAStatement::bDefaultParseNeedRecordCache() { return 0; }

int CNAStatement::_bSetPositionParametersEx(CNAPosition* /*position*/) { return 1; }

void CNAStatement::_SetBestCacheMethod() {}

// ======================================================================
// Other operations
// ======================================================================

int CNAStatement::eGetQueryType() const {
  if (m_pclTableCacheIndex != nullptr) return NA_QUERY_SELECT;
  if (m_pclCommand != nullptr && m_pclCommand->nGetQueryType() != CNACommand::QUERY_NONE)
    return m_pclCommand->nGetQueryType();
  return NA_QUERY_SELECT;
}

int CNAStatement::bInvertFetch() const { return m_pclTableCacheIndex == nullptr ? m_bInverted : 0; }

CNAConnectionDescription* CNAStatement::pclGetConnectionNoRef() const {
  return m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetConnection() : nullptr;
}

std::uint64_t CNAStatement::nGetRowMaxLen() const {
  return m_pclStatementSQL != nullptr ? m_pclStatementSQL->nGetColumnSizeTotal() : 0;
}

int CNAStatement::bFilterUnchanged() const { return m_clFilterSave.bFilterEquals(m_pclFilter); }

void CNAStatement::SetParseFlags(std::uint32_t flags) {
  m_abyParseFlags[0] = static_cast<std::uint8_t>(flags & 0xFF);
  m_abyParseFlags[1] = static_cast<std::uint8_t>((flags >> 8) & 0xFF);
  m_abyParseFlags[2] = static_cast<std::uint8_t>((flags >> 16) & 0xFF);
}

int CNAStatement::bIndexCache() const {
  if (m_pclDataAccess == nullptr || !m_pclDataAccess->bIsQuery()) return 0;
  return (m_abyParseFlags[1] & 0x40) != 0 || m_pclDataAccess->bRequeteSansCorrection() ? 1 : 0;
}

int CNAStatement::bCanUpdateParse() const {
  if (m_pclDataAccess == nullptr || !m_pclDataAccess->bIsQuery()) return 1;
  if (m_pclDataAccess->bRequeteSansCorrection()) return 0;
  // A query read in its own order (no parse key) can only be taken up again
  // when that order is its ORDER BY.
  if (m_csParseKey.nTaille() == 0) {
    CSQLParserInfo* pclQuery = m_pclDataAccess->pclGetParserInfoNoRef();
    return pclQuery != nullptr && pclQuery->piEnumRubriqueClauseOrder(1) != nullptr ? 1 : 0;
  }
  return 1;
}

int CNAStatement::bCopyOriginalRecordToCurrentRecord() {
  if (m_pclRecord == nullptr || m_pclOriginalRecord == nullptr) return 0;
  return m_pclRecord->bCopyToCurrentRecord(m_pclOriginalRecord);
}

int CNAStatement::_bRestaureOriginalRecord() { return bCopyOriginalRecordToCurrentRecord(); }

int CNAStatement::bEqualStmtOriginalRecordId(const CNARecordValue* value) const {
  if (m_pclOriginalRecord == nullptr || value == nullptr) return 0;
  return m_pclOriginalRecord->bEquals(value, 0) ? 1 : 0;
}

int CNAStatement::bUpdateChangedTypeInCurrentRecord() {
  if (m_pclRecord == nullptr) return 0;
  // The original record had the old layout: it is taken again at the next
  // read.
  _ReleaseOriginalRecord();
  return m_pclRecord->bUpdateChangedTypeInCurrentRecord(m_piDataSource);
}

void CNAStatement::SetDataSource(INADataSourceDescription* source) {
  if (source == m_piDataSource) return;
  if (source != nullptr) source->ExternalAddRef();
  INADataSourceDescription* piOld = m_piDataSource;
  m_piDataSource = source;
  if (piOld != nullptr) piOld->nExternalRelease();
}

int CNAStatement::bExistRechercheObject() const { return m_pclRecherche != nullptr && m_pclRecherche->bIsActive(); }

int CNAStatement::bExistFilter() const { return m_pclFilter != nullptr && m_pclFilter->bIsActive(); }
