// CNAStatement: what a statement answers about its parse without running it
// again: counts, per-mille positions, saved positions and the return to
// them, the search and filter it holds, the completion of its record cache,
// the parse on the table cache's index, and how a write done through the
// table keeps the parse valid (write notifications).
#include <cstring>
#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNATableCache.h"
#include "CNATableCacheIndex.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

constexpr int knLocationArea = 62;
constexpr int knSiteCount = 50;
constexpr int knSitePerMille = 51;
constexpr int knSitePosition = 52;
constexpr int knSiteGoToRow = 53;
constexpr int knSiteFilter = 54;
constexpr int knSiteSearch = 55;
constexpr int knSiteCompleteCache = 56;
constexpr int knSiteTableCache = 57;
constexpr int knSiteNotFound = 58;

// User errors.
constexpr unsigned int knErrUnknownItem = 6;     // no such item in the description
constexpr unsigned int knErrRowNotInCache = 11;  // a saved row is not in the record cache
constexpr unsigned int knErrMemory = 12;         // out of memory
constexpr unsigned int knErrNotFound = 13;       // the current record is no longer there
constexpr unsigned int knErrNotAvailable = 38;   // not available for this data source

// Flags of the data access's counts and skips.
constexpr unsigned int knCountFlags = 16;
constexpr unsigned int knCountFlags2 = 16384;
constexpr unsigned int knSkipFlag = 0x2000;
// Direction of a count of the whole parse.
constexpr int knCountAll = -1;
// Parse flag (second byte): the read asked for the index cache.
constexpr std::uint8_t knParseIndexCache = 0x40;
// Write flags.
constexpr std::uint32_t knWriteIndexCache = 0x40;
constexpr std::uint32_t knCountFromCache = 0x4000;
// The item name buffer of a restored position, in characters.
constexpr int knItemNameSize = 256;
// Reads that bring no new row into the cache before its completion is
// given up (the first may re-read the last cached row).
constexpr int knMaxStalledReads = 2;

}  // namespace

// ======================================================================
// Counting
// ======================================================================

int CNAStatement::bGetNbEnr(long* count, unsigned int flags, int countAll) {
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  if (m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery() && pclCnx != nullptr && !pclCnx->bSupportSubQuery())
    return _bGetNbEnr_NoSubQuery(count, flags, countAll);

  if (m_pclDataAccess == nullptr) {
    if (count != nullptr) *count = -1;
    return _bNotAvailable(knSiteCount);
  }
  ResetQuery();
  EnableCache(0);
  CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
  if (pclCommand == nullptr) {
    if (count != nullptr) *count = -1;
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCount, knErrMemory);
    return 0;
  }
  pclCommand->AddRef();
  CAny clValue;
  int bOk = _bBuildQueryCOUNT(pclCommand, static_cast<NA_WRITEPARSEFLAGS>(flags), countAll);
  if (bOk) bOk = bGetRequestedValue(&clValue);
  ResetQuery();
  pclCommand->nRelease();
  // The count column comes as text: it is read as a 64-bit integer, so a
  // table of more than 2^31 rows is counted right.
  if (bOk && !clValue.bIsNull()) {
    long llCount = 0;
    if (clValue.__nCastTo(ANY_I8, nullptr, 1) > 99 || clValue.nGetINT_64(&llCount) != 0) {
      bOk = 0;
    } else if (count != nullptr) {
      *count = llCount;
    }
  }
  if (!bOk && count != nullptr) *count = -1;
  return bOk;
}

int CNAStatement::_bGetNbEnr_NoSubQuery(long* count, unsigned int /*flags*/, int /*noWhere*/) {
  if (count != nullptr) *count = -1;
  if (m_pclDataAccess == nullptr) return _bNotAvailable(knSiteCount);
  ResetQuery();
  EnableCache(0);
  CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
  if (pclCommand == nullptr) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCount, knErrMemory);
    return 0;
  }
  pclCommand->AddRef();
  int bOk = m_pclDataAccess->bBuildSelect(pclCommand, this, nullptr, 0, 1, nullptr);
  if (!bOk && m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteCount, knErrNotAvailable);
  std::int64_t llRows = 0;
  if (bOk) {
    // Every row is read: no block may stop the count.
    pclCommand->SetRecordLimit(NO_LIMIT);
    bOk = bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT);
    if (bOk) bOk = bFetch(NA_PARSE_FIRST, 0, 1);
    while (bOk && !m_bOutOfRange) {
      ++llRows;
      bOk = bFetch(NA_PARSE_NEXT, 0, 1);
    }
  }
  ResetQuery();
  pclCommand->nRelease();
  if (bOk && count != nullptr) *count = static_cast<long>(llRows);
  return bOk;
}

int CNAStatement::bGetNbEnrCurrentParse(long* count, NA_WRITEPARSEFLAGS flags, int withoutFilter) {
  // The filter in force must be the one the parse was run with (and,
  // counted without filter, no filter may be active).
  const bool bSameFilter = m_clFilterSave.bFilterEquals(m_pclFilter) != 0 && !(withoutFilter && bExistFilter());
  const bool bNoSearch = !bExistRechercheObject();
  if (bCacheEnabled() && bCacheCompleted() && bNoSearch && bSameFilter && (m_abyParseFlags[1] & knParseIndexCache) != 0 &&
      (static_cast<std::uint32_t>(flags) & knCountFromCache) != 0) {
    if (count != nullptr) *count = m_pclRecordCache->nGetCount() - m_pclRecordCache->nGetDeletedCount();
    return 1;
  }
  if (m_bParseStarted && m_nBlockFull == -1 && m_bBlockAtFirstRow && bNoSearch && bSameFilter &&
      m_eParseNeedUpdate == NA_PARSEUPDATE_NONE) {
    if (m_pclTableCacheIndex != nullptr) {
      if (count != nullptr) *count = m_pclTableCacheIndex->nGetRecordNbr();
      return 1;
    }
    if (m_pclStatementSQL == nullptr) return 0;
    const std::int64_t llRows = m_pclStatementSQL->llGetRowCount();
    // A stream does not know its count.
    if (llRows < 0 || llRows >= knStreamRowCount) return 0;
    if (count != nullptr) *count = static_cast<long>(llRows - m_nDeletedRows);
    return 1;
  }
  return 0;
}

// ======================================================================
// Per-mille positions
// ======================================================================

int CNAStatement::bHPositionne(int perMille, int /*precision*/, unsigned int flags) {
  if (m_pclDataAccess == nullptr) return _bNotAvailable(knSitePerMille);
  long llCount = 0;
  if (!m_pclDataAccess->bGetNbEnr(&llCount, knCountFlags, knCountFlags2, this, knCountAll)) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE) _bNotAvailable(knSitePerMille);
    return 0;
  }
  // 64 bits: per mille x count stays exact for any count.
  std::int64_t llSkip = static_cast<std::int64_t>(perMille) * static_cast<std::int64_t>(llCount) / 1000;
  if (llSkip < 1) llSkip = 1;
  int nLockResult = 0;
  if (!m_pclDataAccess->bSkipRecord(m_csParseKey.pszGet(), NA_PARSE_FIRST, static_cast<long>(llSkip), 1,
                                    NA_LOCKTYPE_NONE, &nLockResult, flags | knSkipFlag)) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE) _bNotAvailable(knSitePerMille);
    return 0;
  }
  return 1;
}

int CNAStatement::bHPositionCourante(int* perMille, int /*precision*/) {
  if (perMille != nullptr) *perMille = 1;
  if (m_pclDataAccess == nullptr) return _bNotAvailable(knSitePerMille);
  std::int64_t llPosition = 1;
  std::int64_t llCount = 0;
  if (m_pclDataAccess->pclGetTableCache() == nullptr) {
    long nCount = 0;
    if (!m_pclDataAccess->bGetNbEnr(&nCount, knCountFlags, knCountFlags2, this, knCountAll)) {
      if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE) _bNotAvailable(knSitePerMille);
      return 0;
    }
    llCount = nCount;
    if (llCount == 0 ||
        (!bExistRechercheObject() && m_eParseNeedUpdate == NA_PARSEUPDATE_NONE && m_bBlockAtFirstRow)) {
      // The rows at hand start at the first one: the record number is the
      // rank (counted from the other end on a descending result).
      llPosition = bInvertFetch() ? llCount - m_llCurrentRecord : m_llCurrentRecord + 1;
    } else {
      long nBefore = 0;
      if (!m_pclDataAccess->bGetNbEnr(&nBefore, knCountFlags, knCountFlags2, this, NA_PARSE_PREVIOUS)) {
        if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE) _bNotAvailable(knSitePerMille);
        return 0;
      }
      llPosition = static_cast<std::int64_t>(nBefore) + 1;
    }
  } else if (m_pclTableCacheIndex != nullptr) {
    llCount = m_pclTableCacheIndex->nGetRecordNbr();
    llPosition = static_cast<std::int64_t>(m_pclTableCacheIndex->nGetPreviousRecordNbr()) + 1;
  } else {
    if (!_bCompleteCache()) return 0;
    llCount = m_pclRecordCache->nGetCount() - m_pclRecordCache->nGetDeletedCount();
    llPosition = m_llCurrentRecord + 1;
  }
  if (llCount > 0 && perMille != nullptr) {
    // Rounded up, and within 1 .. 1000 whatever the record number says.
    std::int64_t llPerMille = (llPosition * 1000 + llCount - 1) / llCount;
    if (llPosition <= 0) llPerMille = 1;
    if (llPerMille < 1) llPerMille = 1;
    if (llPerMille > 1000) llPerMille = 1000;
    *perMille = static_cast<int>(llPerMille);
  }
  return 1;
}

// ======================================================================
// Saved positions
// ======================================================================

int CNAStatement::bGetPosition(CNAPosition* position, int /*kind*/) {
  if (position == nullptr || m_pclDataAccess == nullptr) return _bNotAvailable(knSitePosition);
  position->SetStatement(this);
  CNAFilter* pclFilter =
      m_clFilterSave.bFilterEquals(m_pclFilter) ? m_pclFilter : m_pclDataAccess->pclGetLatestFilterNoRef();
  position->bKeepFilter(pclFilter);
  if (m_bParseStarted && m_eParseNeedUpdate == NA_PARSEUPDATE_NONE && m_llCurrentRecord >= 0 &&
      m_llCurrentRecord <= 0x7FFFFFFF && !m_bCurrentRecordDeleted) {
    const std::uint32_t nSave = m_pclDataAccess->nKeepOriginalRecordSave(this);
    position->bSetParameters(static_cast<int>(m_llCurrentRecord), static_cast<int>(nSave), &m_clUserSearch,
                             m_nDuplicateCount);
    // The position took its own reference.
    if (nSave != knNoSave) m_pclDataAccess->nReleaseRecordSave(nSave);
    return _bSetPositionParametersEx(position);
  }
  // No row to go back to: only the record's values.
  if (m_nRecordSaveId != knNoSave) {
    position->bSetParameters(-1, static_cast<int>(m_nRecordSaveId), &m_clUserSearch, m_nDuplicateCount);
  } else {
    const std::uint32_t nSave = m_pclDataAccess->nKeepOriginalRecordSave(this);
    position->bSetParameters(-1, static_cast<int>(nSave), &m_clUserSearch, m_nDuplicateCount);
    if (nSave != knNoSave) m_pclDataAccess->nReleaseRecordSave(nSave);
  }
  return 1;
}

int CNAStatement::bSetPosition(CNAPosition* position, int kind) {
  if (position == nullptr || m_pclDataAccess == nullptr) return _bNotAvailable(knSitePosition);
  int bOk = 1;
  // A position without saved record repositions nothing: only its filter
  // may come back.
  if (position->nGetRecordSaveID() != CNAPosition::knNone) {
    const int nRow = position->nGetRowID();
    if (nRow >= 0 && !_bRowDeleted(nRow) && m_eParseNeedUpdate != NA_PARSEUPDATE_RERUN && m_bParseStarted)
      bOk = _bGoToRowId(nRow, position);
    else
      bOk = _bSetPositionBySearch(position);
    _RestaureUserSearch(position->pclGetUserSearch());
  }
  if ((kind & 1) != 0) {
    CNAFilter* pclFilter = position->clGetFilterSave().pclGetFilterNoRef();
    _SetFilter(pclFilter);
    m_pclDataAccess->SetLatestFilter(pclFilter);
  }
  return bOk;
}

int CNAStatement::bSetPositionInitParcours(CNAPosition* position, int kind) { return bSetPosition(position, kind); }

bool CNAStatement::_bRowDeleted(std::int64_t row) const {
  if (bCacheEnabled()) return m_pclRecordCache->bEndehors(static_cast<int>(row)) || m_pclRecordCache->_bRecordDeleted(static_cast<int>(row));
  return nGetRecordSave(row - m_nRowNumberBase) == knRowDeleted;
}

int CNAStatement::_bSetPositionBySearch(CNAPosition* position) {
  if (position == nullptr || m_pclDataAccess == nullptr) return 0;
  const std::int32_t nSave = position->nGetRecordSaveID();
  if (nSave == CNAPosition::knNone) return 1;
  // The parse goes on from the saved values once it is repositioned.
  bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, static_cast<std::uint32_t>(nSave));
  if (!m_pclDataAccess->bRestoreOriginalRecordSave(static_cast<std::uint32_t>(nSave)) ||
      !m_pclDataAccess->bCopyOriginalRecordToCurrentRecord()) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      _AddUserError(NA_ERRORTYPE_GENERIC, knSitePosition, knErrNotFound);
    return 0;
  }
  m_bRestoredFromCache = 1;
  m_bEndOfParseInCache = 0;
  m_nDuplicateCount = position->nGetExtra();
  if (m_eParseNeedUpdate != NA_PARSEUPDATE_RERUN && bCacheEnabled() && m_pclTableCacheIndex == nullptr &&
      m_clFilterSave.bFilterEquals(m_pclFilter) && m_pclRecord != nullptr) {
    const int nIndex = m_pclRecordCache->nGetRecordIndice(m_pclRecord->pclGetCurrentRecordValue());
    // A record deleted since stays in the cache, marked: it is no row to
    // go back to.
    if (nIndex >= 0 && !m_pclRecordCache->_bRecordDeleted(nIndex)) return _bGoToRowId(nIndex, position);
  }
  return 1;
}

int CNAStatement::_bGoToRowId(int row, CNAPosition* position) {
  const std::int32_t nDuplicates = position != nullptr ? position->nGetExtra() : 0;
  if (bCacheEnabled()) {
    if (row < 0 || !m_pclRecordCache->bRecordInCache(row) || !_RestaureRecordFromCache(row)) {
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteGoToRow, knErrRowNotInCache);
      return 0;
    }
    m_nDuplicateCount = nDuplicates;
    if (m_pclTableCacheIndex != nullptr) {
      const std::uint32_t nSave = position != nullptr && position->nGetRecordSaveID() != CNAPosition::knNone
                                      ? static_cast<std::uint32_t>(position->nGetRecordSaveID())
                                      : knNoSave;
      bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave);
    } else {
      bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, knNoSave);
      if (!_bOriginalFromCurrent(knSiteGoToRow)) return 0;
    }
    m_llCurrentRecord = row;
    m_bOutOfRange = 0;
    m_bFound = 1;
    m_bFoundPlatform = 1;
    return 1;
  }
  // Without a cache the row is one of the driver statement's rows; one it
  // does not hold (another block, a stream, a row past the end) is found
  // again by its values.
  const std::int64_t llRows = m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetRowCount() : 0;
  const std::int64_t llDriverRow = static_cast<std::int64_t>(row) - m_nRowNumberBase;
  if (llDriverRow < 0 || llDriverRow >= llRows || llRows >= knStreamRowCount) return _bSetPositionBySearch(position);
  m_eParseNeedUpdate = NA_PARSEUPDATE_NONE;
  int nOut = 1;
  m_llRowIndex = llDriverRow - 1;
  if (!_bFetch(NA_PARSE_NEXT, 1, &nOut, 1, nullptr)) return 0;
  if (nOut) return _bSetPositionBySearch(position);
  // The row numbers start again with every block: the row is the saved
  // record only when it holds the saved values (a later block's row of
  // that number is another record).
  const std::int32_t nSave = position != nullptr ? position->nGetRecordSaveID() : CNAPosition::knNone;
  if (nSave != CNAPosition::knNone && m_pclDataAccess != nullptr && m_pclRecord != nullptr) {
    if (!m_pclDataAccess->bRestoreOriginalRecordSave(static_cast<std::uint32_t>(nSave)) ||
        !m_pclRecord->bEquals(m_pclRecord->pclGetOriginalRecordValue(), 0))
      return _bSetPositionBySearch(position);
  }
  m_nDuplicateCount = nDuplicates;
  if (m_pclRecord != nullptr && !m_pclRecord->bCopyCurrentRecordToOriginalRecord()) return 0;
  if (!bSetStmtOriginalRecord(NA_PARSE_CURRENT)) return 0;
  m_bRestoredFromCache = 1;
  m_bOutOfRange = 0;
  m_bFound = 1;
  m_bFoundPlatform = 1;
  return 1;
}

int CNAStatement::_bOriginalFromCurrent(int site) {
  CNARecordValue* pclCurrent = m_pclRecord != nullptr ? m_pclRecord->pclGetCurrentRecordValue() : nullptr;
  if (pclCurrent == nullptr) return 1;
  if (m_pclOriginalRecord == nullptr) {
    m_pclOriginalRecord = pclCurrent->pclGetClone(NA_COPY_ALL);
    if (m_pclOriginalRecord == nullptr) {
      _AddUserError(NA_ERRORTYPE_GENERIC, site, knErrMemory);
      return 0;
    }
    m_pclOriginalRecord->AddRef();
  } else if (!m_pclOriginalRecord->bCopyRecordValue(pclCurrent, NA_COPY_ALL)) {
    return 0;
  }
  m_pclRecord->SetDuplicateRank(m_nDuplicateCount);
  return 1;
}

CNAPosition* CNAStatement::pclGetSavedPosition(int n) {
  CNAPosition* pclPosition = nullptr;
  // The table hands the position out with a reference for the caller.
  if (!m_tabPositions.bGetElement(n, &pclPosition)) return nullptr;
  return pclPosition;
}

int CNAStatement::bAddSavedPosition(int n, CNAPosition* position) {
  if (position == nullptr) return 0;
  // One position per number; replacing a position by itself keeps it.
  if (!m_tabPositions.bReplaceElement(n, position)) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSitePosition, knErrMemory);
    return 0;
  }
  return 1;
}

int CNAStatement::bRemoveSavedPosition(int n) { return m_tabPositions.bDeleteElement(n) ? 1 : 0; }

// ======================================================================
// Searches and filters
// ======================================================================

INAItemDescription* CNAStatement::_piGetItem(const wchar_t* item, int site) {
  INAItemDescription* piItem =
      m_piDataSource != nullptr && item != nullptr ? m_piDataSource->piNAGetItem(item) : nullptr;
  if (piItem == nullptr && m_pclError != nullptr) {
    const bool bFirst = m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
    m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, site, pclGetConnectionNoRef(), knErrUnknownItem);
    if (bFirst) {
      const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
      m_pclError->SetInfoNames(pszTable, item != nullptr ? item : L"");
    }
  }
  return piItem;
}

int CNAStatement::bSetFilter(const wchar_t* item, const CAny* min, int minIncluded, const CAny* max, int maxIncluded,
                             ISQLParserInformation* parser) {
  INAItemDescription* piItem = _piGetItem(item, knSiteFilter);
  if (piItem == nullptr) return 0;
  if (m_pclFilter == nullptr || m_pclFilter->nGetInternalCount() > 1) {
    // A filter another holder keeps (a saved position, the data access)
    // stays as it is: this statement takes a new one, in the same state.
    const int bActive = m_pclFilter != nullptr && m_pclFilter->bIsFilterActive();
    CNAFilter* pclNew = pclAllocFilter();
    if (pclNew == nullptr) {
      piItem->nExternalRelease();
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteFilter, knErrMemory);
      return 0;
    }
    pclNew->AddRef();
    pclNew->ActivateFilter(bActive);
    _SetFilter(pclNew);
    pclNew->nRelease();
  }
  const int bOk = m_pclFilter->bSetFilter(m_pclRecord, piItem, min, minIncluded, max, maxIncluded, parser, 0);
  piItem->nExternalRelease();
  return bOk;
}

int CNAStatement::bSetUserSearch(const wchar_t* item, const CAny* value, eNA_PARSEDIRECTION direction, int exact) {
  INAItemDescription* piItem = _piGetItem(item, knSiteSearch);
  if (piItem == nullptr) return 0;
  m_clUserSearch.SetUserSearch(piItem, value, exact ? 0u : CNAUserSearch::knFlagGeneric);
  m_bInternalSearch = 0;
  CNARecherche* pclSearch = pclGetRecherche();
  int bOk = 0;
  if (pclSearch != nullptr) {
    bOk = pclSearch->bSetRecherche(m_pclRecord, piItem, value, direction, exact, 0);
  } else {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteSearch, knErrMemory);
  }
  piItem->nExternalRelease();
  // The search starts a new walk: whatever a write left pending is moot.
  if (bOk) bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, knNoSave);
  return bOk;
}

void CNAStatement::SetParseStarted() {
  m_bParseStarted = 1;
  m_clFilterSave.SetFilter(m_pclFilter);
}

void CNAStatement::_RestaureUserSearch(CNAUserSearch* search) {
  m_clUserSearch.Copy(search);
  m_bInternalSearch = 1;
  m_bOutOfRange = 0;
  m_bFoundPlatform = m_clUserSearch.bGetHTrouve(m_pclRecord);
}

void CNAStatement::AnnuleRecherche() {
  if (m_pclRecherche != nullptr) m_pclRecherche->Cancel();
}

void CNAStatement::AnnuleRechercheUser() {
  m_clUserSearch.CancelUserSearch();
  if (!m_bInternalSearch) AnnuleRecherche();
}

void CNAStatement::DesactivateRechercheUserAndInternal() {
  m_clUserSearch.CancelUserSearch();
  DesactivateRecherche();
  m_bInternalSearch = 0;
}

int CNAStatement::bSetContinueParcours(eNA_PARSEDIRECTION direction) {
  return m_pclRecherche != nullptr ? m_pclRecherche->bSetContinueParcours(direction) : 0;
}

CNARecherche* CNAStatement::pclGetRecherche() {
  if (m_pclRecherche == nullptr) {
    CNARecherche* pclSearch = pclAllocRecherche();
    if (pclSearch == nullptr) return nullptr;
    pclSearch->AddRef();
    m_pclRecherche = pclSearch;
  }
  return m_pclRecherche;
}

void CNAStatement::DesactivateFilter() {
  if (m_pclFilter != nullptr) m_pclFilter->ActivateFilter(0);
}

CNAFilter* CNAStatement::pclActivateFilter() {
  if (m_pclFilter == nullptr) {
    CNAFilter* pclNew = pclAllocFilter();
    if (pclNew == nullptr) {
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteFilter, knErrMemory);
      return nullptr;
    }
    pclNew->AddRef();
    _SetFilter(pclNew);
    pclNew->nRelease();
  }
  m_pclFilter->ActivateFilter(1);
  return m_pclFilter;
}

void CNAStatement::_SetFilter(CNAFilter* filter) {
  if (filter == m_pclFilter) return;
  if (filter != nullptr) filter->AddRef();
  CNAFilter* pclOld = m_pclFilter;
  m_pclFilter = filter;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAStatement::_SetRecherche(CNARecherche* search) {
  if (search == m_pclRecherche) return;
  if (search != nullptr) search->AddRef();
  CNARecherche* pclOld = m_pclRecherche;
  m_pclRecherche = search;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAStatement::_SetRecordCache(CNARecordCache* cache) {
  if (cache == m_pclRecordCache) return;
  if (cache != nullptr) cache->AddRef();
  CNARecordCache* pclOld = m_pclRecordCache;
  m_pclRecordCache = cache;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAStatement::_InvalidatePositionRows(int row) {
  unsigned int nCursor = 0;
  CNAPosition* pclPosition = nullptr;
  int nKey = 0;
  while (m_tabPositions.bParseTable(&nCursor, 0, &pclPosition, &nKey))
    if (pclPosition != nullptr && (row < 0 || pclPosition->nGetRowID() == row)) pclPosition->InvalidateRowID();
}

// ======================================================================
// Completing the record cache
// ======================================================================

CNARecordCache* CNAStatement::pclGetFullRecordCache() {
  if (m_pclRecordCache == nullptr) return nullptr;
  if (!m_pclRecordCache->bFetchComplete() && !_bCompleteCache()) return nullptr;
  return m_pclRecordCache->bFetchComplete() ? m_pclRecordCache : nullptr;
}

int CNAStatement::_bCompleteCache() {
  if (m_pclRecordCache == nullptr || m_pclDataAccess == nullptr) return 0;
  if (m_pclRecordCache->bFetchComplete()) return 1;
  CNARecordCache* pclCache = m_pclRecordCache;
  // Held across the reads: the data access may switch this statement's
  // cache off meanwhile.
  pclCache->AddRef();
  // A parse not run yet is run first.
  if (!m_bParseStarted && m_pclCommand != nullptr && pclCache->nGetCount() == 0 &&
      !bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT)) {
    pclCache->nRelease();
    return 0;
  }
  const wchar_t* pszKey = m_csCacheKey.nTaille() > 0 ? m_csCacheKey.pszGet() : m_csParseKey.pszGet();
  wchar_t szItem[knItemNameSize];
  std::wcsncpy(szItem, pszKey != nullptr ? pszKey : L"", knItemNameSize - 1);
  szItem[knItemNameSize - 1] = 0;
  int nPosition = -1;
  const bool bSaved = m_pclDataAccess->bHSauvePosition(&nPosition, szItem, 0) != 0;

  // What the reads change and the end puts back.
  const std::int64_t llKeptCurrent = m_llCurrentRecord;
  const std::int32_t bKeptOut = m_bOutOfRange;
  const std::int32_t nKeptDuplicates = m_nDuplicateCount;
  const std::int32_t bKeptFound = m_bFound;
  const std::int32_t bKeptFoundPlatform = m_bFoundPlatform;
  const std::uint32_t nKeptSave = m_nRecordSaveId;
  const ePARSENEEDUPDATECAUSE eKeptCause = m_eParseNeedUpdate;
  m_nRecordSaveId = knNoSave;
  m_eParseNeedUpdate = NA_PARSEUPDATE_NONE;
  m_llCurrentRecord = static_cast<std::int64_t>(pclCache->nGetCount()) - 1 - (m_nBlockFull != -1 ? 1 : 0);
  if (m_llCurrentRecord < -1) m_llCurrentRecord = -1;

  const eNA_PARSEDIRECTION eDirection = bInvertFetch() ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
  int bOk = 1;
  int nOut = 0;
  int nStalled = 0;
  while (bOk && !pclCache->bFetchComplete()) {
    const int nBefore = pclCache->nGetCount();
    int nLockResult = 0;
    if (!m_pclDataAccess->bHLitxxx(szItem, eDirection, 0, 1, &nLockResult, 0) ||
        !m_pclDataAccess->bHEndehors(szItem, &nOut)) {
      bOk = 0;
      break;
    }
    if (nOut) break;
    if (pclCache->nGetCount() == nBefore && ++nStalled >= knMaxStalledReads) {
      // The reads do not go through this statement's cache: it cannot be
      // completed this way.
      bOk = 0;
      break;
    }
    if (pclCache->nGetCount() != nBefore) nStalled = 0;
  }
  if (!bOk && m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
    _bNotAvailable(knSiteCompleteCache);
  // Every row read: the cache holds the whole parse.
  if (bOk && nOut && pclCache->bCachingActive()) pclCache->SetFetchComplete();

  if (bSaved) {
    m_pclDataAccess->bHRetourPosition(nPosition, szItem, 0, 0);
  } else if (m_pclRecordCache == pclCache) {
    // Nobody puts the parse back: the statement does, on the row it stood.
    m_llCurrentRecord = llKeptCurrent;
    m_bOutOfRange = bKeptOut;
    m_bFound = bKeptFound;
    m_bFoundPlatform = bKeptFoundPlatform;
    m_nDuplicateCount = nKeptDuplicates;
    if (llKeptCurrent >= 0 && llKeptCurrent < pclCache->nGetCount()) {
      if (_RestaureRecordFromCache(static_cast<int>(llKeptCurrent))) _bOriginalFromCurrent(knSiteGoToRow);
    }
  }
  // The save and cause set aside come back (a save taken meanwhile goes).
  if (m_nRecordSaveId != knNoSave && m_nRecordSaveId != nKeptSave && m_pclDataAccess != nullptr)
    m_pclDataAccess->nReleaseRecordSave(m_nRecordSaveId);
  m_nRecordSaveId = nKeptSave;
  m_eParseNeedUpdate = eKeptCause;
  pclCache->nRelease();
  return bOk;
}

// ======================================================================
// Repositioning after a write, and the table cache's index
// ======================================================================

int CNAStatement::bUpdateParsePositionInRecordCache() {
  if (m_nRecordSaveId == knNoSave || m_pclRecordCache == nullptr || m_pclDataAccess == nullptr) return 1;
  if (m_pclRecord == nullptr) return 0;
  for (int nTry = 0; nTry < 2; ++nTry) {
    // The saved values, again after the reads of a completion.
    if (!m_pclDataAccess->bRestoreOriginalRecordSave(m_nRecordSaveId)) return 0;
    const int nIndex = m_pclRecordCache->nGetRecordIndice(m_pclRecord->pclGetOriginalRecordValue());
    if (nIndex >= 0) {
      m_llCurrentRecord = nIndex;
      bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, knNoSave);
      return 1;
    }
    if (m_pclRecordCache->bFetchComplete()) break;
    if (!_bCompleteCache()) return 0;
  }
  CurrentRecordNotFound(m_csParseKey.pszGet());
  return 0;
}

int CNAStatement::bUpdateParsePositionInCacheIndex(int* notFound) {
  if (notFound != nullptr) *notFound = 0;
  if (m_pclTableCacheIndex == nullptr || m_pclDataAccess == nullptr) return 1;
  if (m_nRecordSaveId != knNoSave && !m_pclDataAccess->bRestoreOriginalRecordSave(m_nRecordSaveId)) return 0;
  int nFound = 0;
  // The index looks the record up by the saved values of its column.
  if (!m_pclTableCacheIndex->bSetCurrentPos(-1, m_nDuplicateCount, &nFound)) return 0;
  int nRecord = m_pclTableCacheIndex->nGetCurrentRecordId();
  if (nRecord < 0) {
    // At the end of the index: its last record.
    int nDuplicate = 0;
    if (!m_pclTableCacheIndex->bGetRecordPosition(NA_PARSE_LAST, 1, &nRecord, &nDuplicate)) return 0;
  }
  if (notFound != nullptr) *notFound = nFound ? 0 : 1;
  m_llCurrentRecord = nRecord;
  if (nRecord >= 0 && m_pclRecordCache != nullptr) {
    if (m_pclOriginalRecord == nullptr) {
      m_pclOriginalRecord = new (std::nothrow) CNARecordValue(m_pclError);
      if (m_pclOriginalRecord == nullptr) return 0;
      m_pclOriginalRecord->AddRef();
    }
    if (!m_pclRecordCache->bGetAt(m_pclOriginalRecord, nRecord)) return 0;
  }
  bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, knNoSave);
  return 1;
}

int CNAStatement::bOpenUsingTableCache() {
  CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCache() : nullptr;
  if (pclTableCache == nullptr) return _bNotAvailable(knSiteTableCache);
  if (pclTableCache->pclGetFullCache() == nullptr) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE) _bNotAvailable(knSiteTableCache);
    return 0;
  }
  Close();
  if (!_bCreateTableCacheIndex()) return 0;
  SetParseStarted();
  return 1;
}

int CNAStatement::_bCreateTableCacheIndex() {
  CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCache() : nullptr;
  if (pclTableCache == nullptr) return _bNotAvailable(knSiteTableCache);
  m_csParseKey = m_csCacheKey;
  CNAColumn* pclColumn = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnNoRef(m_csCacheKey.pszGet()) : nullptr;
  if (pclColumn == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteTableCache, knErrUnknownItem);
    return 0;
  }
  CNATableCacheIndex* pclIndex = pclTableCache->pclGetCacheIndex(this, pclColumn);
  if (pclIndex == nullptr) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE) _bNotAvailable(knSiteTableCache);
    return 0;
  }
  _SetTableCacheIndex(pclIndex);
  pclIndex->dwRelease();
  _SetRecordCache(m_pclTableCacheIndex->pclGetRecordCache());
  // The rows come from the index now: no result of the server is kept.
  _FreeRecordSaves();
  if (m_pclStatementSQL != nullptr) {
    CNAStatementSQL* pclOld = m_pclStatementSQL;
    m_pclStatementSQL = nullptr;
    pclOld->nRelease();
  }
  m_llRowIndex = -1;
  return 1;
}

void CNAStatement::DestroyCacheIndex() {
  if (m_pclTableCacheIndex == nullptr) return;
  _SetTableCacheIndex(nullptr);
  _SetRecordCache(nullptr);
  if (m_bParseStarted) {
    if (m_llCurrentRecord >= 0) {
      _bNeedUpdate(NA_PARSEUPDATE_REPOSITION);
    } else {
      m_bOutOfRange = 1;
    }
  }
  _InvalidatePositionRows(-1);
}

int CNAStatement::_bFetchFromCacheIndex(eNA_PARSEDIRECTION direction, int* outOfRange, long count, long* moved) {
  *outOfRange = 1;
  if (moved != nullptr) *moved = 0;
  int nRecord = -1;
  const int nStep = count < 0 ? 0 : (count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(count));
  if (direction == NA_PARSE_CURRENT || nStep == 0) {
    nRecord = m_pclTableCacheIndex->nGetCurrentRecordId();
  } else if (!m_pclTableCacheIndex->bGetRecordPosition(direction, nStep, &nRecord, nullptr)) {
    return 0;
  }
  if (nRecord < 0) {
    m_llCurrentRecord = -1;
    return 1;
  }
  *outOfRange = 0;
  m_llCurrentRecord = nRecord;
  if (moved != nullptr) *moved = count;
  return _RestaureRecordFromCache(nRecord);
}

void CNAStatement::CurrentRecordNotFound(const wchar_t* key) {
  if (m_pclError != nullptr) {
    const bool bFirst = m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
    m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteNotFound, pclGetConnectionNoRef(), knErrNotFound);
    if (bFirst) {
      const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
      m_pclError->SetInfoNames(pszTable, key != nullptr ? key : L"");
    }
  }
  m_bOutOfRange = 1;
  m_bParseBroken = 1;
}

// ======================================================================
// Write notifications
// ======================================================================

int CNAStatement::_bNeedUpdate(ePARSENEEDUPDATECAUSE cause) {
  // The parse goes on from the record it stood on: a save of it goes with
  // the cause (none kept still sets the cause).
  const std::uint32_t nSave =
      m_pclDataAccess != nullptr ? m_pclDataAccess->nKeepOriginalRecordSave(this) : knNoSave;
  const int bOk = bSetParseNeedUpdate(cause, nSave != knNoSave ? nSave : m_nRecordSaveId);
  if (nSave != knNoSave) m_pclDataAccess->nReleaseRecordSave(nSave);
  return bOk;
}

bool CNAStatement::_bParseKeyUnchanged(const CNARecordValue* values) const {
  CNAColumn* pclColumn = m_pclRecord != nullptr && m_csParseKey.nTaille() > 0
                             ? m_pclRecord->pclGetColumnNoRef(m_csParseKey.pszGet())
                             : nullptr;
  if (pclColumn == nullptr || pclColumn->bIsComposedKey() || pclColumn->bIsMemo() || values == nullptr) return false;
  CAny clOld;
  if (!values->bGetItemValue(&clOld, pclColumn->piGetItemDescription())) return false;
  return pclColumn->bSameValue(&clOld, 0) != 0;
}

void CNAStatement::OnNotifyOperation(eNAQUERYTYPE type, int n, CNAStatement* writer, NA_WRITEPARSEFLAGS flags,
                                     const CNARecordValue* values) {
  int bOwnRowMarked = 0;
  int bInCache = 0;
  if (writer != this && m_pclTableCacheIndex != nullptr) {
    m_pclTableCacheIndex->OnNotifyOperation(type, n, flags);
  } else {
    CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCache() : nullptr;
    // The table cache's full cache (or, while it is still being filled,
    // the filling statement's cache) was brought up to date by the data
    // access already.
    const bool bFullCache = pclTableCache != nullptr && pclTableCache->bIsRecordCache(m_pclRecordCache);
    if (!bFullCache) {
      switch (type) {
        case NA_QUERY_INSERT:
          OnNotifyInsertOperation(flags, values);
          break;
        case NA_QUERY_DELETE:
          bOwnRowMarked = OnNotifyDeleteOperation(flags, values, &bInCache);
          break;
        case NA_QUERY_UPDATE:
          OnNotifyUpdateOperation(flags, values);
          break;
        default:
          break;
      }
    }
  }

  if (m_bParseStarted) {
    const bool bAnyCache = m_pclRecordCache != nullptr || m_pclTableCacheIndex != nullptr;
    if (type != NA_QUERY_INSERT && m_llCurrentRecord < 0) {
      // No current record: nothing to keep.
    } else if (type == NA_QUERY_UPDATE && bEqualStmtOriginalRecordId(values) && _bParseKeyUnchanged(values)) {
      // The record the parse stands on changed outside its key: the parse
      // keeps its place and shows the new values when it comes back here.
      if (m_pclDataAccess != nullptr) {
        const std::uint32_t nSave = m_pclDataAccess->nKeepCurrentRecordSave();
        if (nSave != knNoSave) {
          bKeepModifiedRecordSave(m_llCurrentRecord - m_nRowNumberBase, nSave);
          m_pclDataAccess->nReleaseRecordSave(nSave);
        }
      }
    } else if (type == NA_QUERY_DELETE && m_eParseNeedUpdate != NA_PARSEUPDATE_RERUN &&
               ((!bAnyCache && bOwnRowMarked) || (bAnyCache && bInCache))) {
      // The row is marked deleted already and is skipped from now on.
    } else {
      _bNeedUpdate(bAnyCache ? NA_PARSEUPDATE_REPOSITION : NA_PARSEUPDATE_RERUN);
    }
  }
  if ((static_cast<std::uint32_t>(flags) & knWriteIndexCache) != 0) bSetStmtOriginalRecord(NA_PARSE_CURRENT);
}

void CNAStatement::OnNotifyInsertOperation(NA_WRITEPARSEFLAGS flags, const CNARecordValue* values) {
  const bool bIndexCache = (m_abyParseFlags[1] & knParseIndexCache) != 0;
  const bool bFlag = (static_cast<std::uint32_t>(flags) & knWriteIndexCache) != 0;
  if (!(bIndexCache || bFlag) || m_pclRecordCache == nullptr || values == nullptr) return;
  m_pclRecordCache->nOnNotifyOperation(NA_QUERY_INSERT, values, nullptr, static_cast<unsigned int>(flags),
                                       bInvertFetch());
  if (m_pclRecordCache->bFetchComplete() || (bIndexCache && bFlag))
    m_llCurrentRecord = bInvertFetch() ? 0 : m_pclRecordCache->nGetCount() - 1;
}

int CNAStatement::OnNotifyDeleteOperation(NA_WRITEPARSEFLAGS flags, const CNARecordValue* values, int* inCache) {
  if (inCache != nullptr) *inCache = 0;
  if (m_pclRecordCache != nullptr && values != nullptr) {
    const int nIndex = m_pclRecordCache->nGetRecordIndice(values);
    // Positions on that row go back by search from now on.
    if (nIndex >= 0) _InvalidatePositionRows(nIndex);
    const int nDone =
        m_pclRecordCache->nOnNotifyOperation(NA_QUERY_DELETE, nullptr, values, static_cast<unsigned int>(flags), 0);
    if (inCache != nullptr) *inCache = nDone >= 0 ? 1 : 0;
  }
  if (values == nullptr || !bEqualStmtOriginalRecordId(values)) return 0;
  if (m_eParseNeedUpdate == NA_PARSEUPDATE_REPOSITION) {
    // The record to reposition on is gone: the parse is run again.
    bSetParseNeedUpdate(NA_PARSEUPDATE_RERUN, m_nRecordSaveId);
    return 0;
  }
  if (m_eParseNeedUpdate != NA_PARSEUPDATE_NONE || m_llCurrentRecord < 0) return 0;
  m_bCurrentRecordDeleted = 1;
  // Only a row the record-save table holds is marked (not a stream's, not
  // another block's): the caller then knows the row is not skipped.
  return bMarkRowDeleted(m_llCurrentRecord - m_nRowNumberBase);
}

void CNAStatement::OnNotifyUpdateOperation(NA_WRITEPARSEFLAGS flags, const CNARecordValue* /*values*/) {
  if (bCacheEnabled() && m_pclDataAccess != nullptr)
    m_pclDataAccess->nUpdateRecordInCache(static_cast<unsigned int>(flags), m_pclRecordCache);
}
