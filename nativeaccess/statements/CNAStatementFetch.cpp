// CNAStatement: fetching in the five directions, the moves in the stored
// result, the keyset continuation, the record fill and the original record.
#include <algorithm>
#include <new>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNATableCache.h"

namespace {

constexpr int knSiteOriginal = 31;

}  // namespace

// ======================================================================
// bFetch
// ======================================================================

int CNAStatement::bFetch(eNA_PARSEDIRECTION direction, int lock, long count, long* moved) {
  m_bFound = 0;
  m_bContinued = 0;
  if (moved != nullptr) *moved = 0;
  // A descending ORDER BY reads the key backwards: the wanted direction is
  // the other one in the result.
  if (m_bInverted && m_pclTableCacheIndex == nullptr) {
    switch (direction) {
      case NA_PARSE_FIRST:
        direction = NA_PARSE_LAST;
        m_nDuplicateCount = 0;
        break;
      case NA_PARSE_LAST:
        direction = NA_PARSE_FIRST;
        m_nDuplicateCount = 0;
        break;
      case NA_PARSE_NEXT:
        direction = NA_PARSE_PREVIOUS;
        break;
      case NA_PARSE_PREVIOUS:
        direction = NA_PARSE_NEXT;
        break;
      default:
        break;
    }
  }

  if (m_csCacheKey.nTaille() > 0 && (m_eParseNeedUpdate != NA_PARSEUPDATE_NONE || !m_bParseStarted)) {
    CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCache() : nullptr;
    if (direction == NA_PARSE_FIRST || direction == NA_PARSE_LAST) {
      bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, knNoSave);
      // A statement that does not fill the table cache reads through an
      // index of it.
      if (!m_bParseStarted && pclTableCache != nullptr && !pclTableCache->bIsStatementParse(this) &&
          !bOpenUsingTableCache())
        return 0;
    } else if (pclTableCache != nullptr) {
      if (!pclTableCache->bIsStatementParse(this)) {
        int nNotFound = 0;
        if (!bUpdateParsePositionInCacheIndex(&nNotFound)) return 0;
        // The record written is gone from the index, which stands on the
        // record after it: that one is the first step forward, and a step
        // back from it reaches the record before the vanished one.
        if (nNotFound && direction == NA_PARSE_NEXT) count = count - 1;
      } else if (!bUpdateParsePositionInRecordCache()) {
        return 0;
      }
    }
  }

  m_eLastDirection = direction;
  m_bRestoredFromCache = 0;
  m_bEndOfParseInCache = 0;
  m_bOutOfRange = 1;
  int nOutOfRange = 1;
  const int bOk = bCacheEnabled() ? _bFetchCacheEnabled(direction, lock, &nOutOfRange, count, moved)
                                  : _bFetchCacheDisabled(direction, lock, &nOutOfRange, count, moved);
  if (!bOk) {
    m_bOutOfRange = 1;
    m_bFound = 0;
    m_bFoundPlatform = 0;
    return 0;
  }
  m_bOutOfRange = nOutOfRange ? 1 : 0;
  const bool bRowRead = !m_bOutOfRange;
  m_bFound = bRowRead && bExistRechercheObject() ? m_pclRecherche->bHTrouve() : (bRowRead ? 1 : 0);
  // A continuation read its row through a nested fetch, which took the
  // original record and the read mark already: doing it again would count
  // the row as a duplicate of itself.
  if (bRowRead && !m_bContinued) {
    if (!bSetStmtOriginalRecord(direction)) return 0;
    if (lock && m_pclDataAccess != nullptr) m_pclDataAccess->bSetCurrentRecordRead(0);
  }
  m_bFoundPlatform =
      m_bInternalSearch || m_pclTableCacheIndex != nullptr ? m_clUserSearch.bGetHTrouve(m_pclRecord) : m_bFound;
  // The filter in force when the parse starts is the parse's.
  if (!m_bParseStarted) SetParseStarted();
  return 1;
}

// ======================================================================
// Moves in the stored result
// ======================================================================

int CNAStatement::_bFetch(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count, long* moved) {
  *outOfRange = 1;
  if (moved != nullptr) *moved = 0;
  const std::int64_t llRows = m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetRowCount() : 0;
  if (llRows <= 0) return 1;
  if (count == 0 || direction == NA_PARSE_CURRENT) return _bMove(m_llRowIndex, 0, lock, outOfRange, moved);
  const std::int64_t llStep = count;
  switch (direction) {
    case NA_PARSE_FIRST:
      return _bMove(-1, llStep, lock, outOfRange, moved);
    case NA_PARSE_LAST:
      return _bMove(llRows, -llStep, lock, outOfRange, moved);
    case NA_PARSE_NEXT:
      return _bMove(m_llRowIndex, llStep, lock, outOfRange, moved);
    case NA_PARSE_PREVIOUS:
      return _bMove(m_llRowIndex, -llStep, lock, outOfRange, moved);
    default:
      return 1;
  }
}

std::int64_t CNAStatement::_llUpdateStep(std::int64_t from, std::int64_t step, long* moved) const {
  const std::int64_t llRows = m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetRowCount() : 0;
  long nMoved = 0;
  std::int64_t llTarget;
  if (m_nDeletedRows <= 0 || m_pnRecordSaves == nullptr) {
    llTarget = from + step;
    if (llTarget < 0)
      nMoved = static_cast<long>(std::max<std::int64_t>(from, 0));
    else if (llTarget >= llRows)
      nMoved = static_cast<long>(std::max<std::int64_t>(llRows - from - 1, 0));
    else
      nMoved = static_cast<long>(step < 0 ? -step : step);
  } else {
    // One row at a time: rows deleted through this data access do not
    // count.
    const std::int64_t llDir = step < 0 ? -1 : 1;
    std::int64_t llLeft = step < 0 ? -step : step;
    llTarget = from;
    while (llLeft > 0) {
      llTarget += llDir;
      if (llTarget < 0 || llTarget >= llRows) break;
      const bool bDeleted = llTarget < m_llRecordSaveCount && m_pnRecordSaves[llTarget] == knRowDeleted;
      if (!bDeleted) {
        --llLeft;
        ++nMoved;
      }
    }
  }
  if (moved != nullptr) *moved = nMoved;
  return llTarget;
}

int CNAStatement::_bMove(std::int64_t from, std::int64_t step, int /*lock*/, int* outOfRange, long* moved) {
  *outOfRange = 1;
  const std::int64_t llRows = m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetRowCount() : 0;
  const std::int64_t llTarget = _llUpdateStep(from, step, moved);
  if (llTarget < 0 || llTarget >= llRows) {
    // The parse stands before the first row or after the last: the next
    // move the other way reaches the row at that end.
    m_llRowIndex = llTarget < 0 ? -1 : llRows;
    m_llCurrentRecord = -1;
    return 1;
  }
  const std::int64_t llDriverRow = m_pclStatementSQL->llGetCurrentRow();
  const bool bDriverOnRow = !m_pclStatementSQL->bNoCurrentRow();
  const bool bCurrent = bDriverOnRow && llDriverRow == llTarget;
  if (!bCurrent) {
    // Only the next row of the driver statement comes without a seek (a
    // fresh result stands before its first row).
    const bool bNextRow = bDriverOnRow ? llTarget == llDriverRow + 1 : (llDriverRow == -1 && llTarget == 0);
    if (!bNextRow && !m_pclStatementSQL->bDataSeek(static_cast<long>(llTarget))) {
      _CopyStatementSQLError();
      return 0;
    }
    if (!_bFetchSQL()) return 0;
    if (m_pclStatementSQL->bNoCurrentRow()) {
      // The result ended before the row (a stream gives no count).
      m_llRowIndex = llTarget;
      m_llCurrentRecord = -1;
      return 1;
    }
  }
  *outOfRange = 0;
  m_llRowIndex = llTarget;
  m_llCurrentRecord = m_nRowNumberBase + llTarget;
  return _bUpdateNARecord(m_eLastDirection);
}

// ======================================================================
// Without cache, and the keyset continuation
// ======================================================================

int CNAStatement::_bFetchCacheDisabled(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count,
                                       long* moved) {
  int bOk = _bFetch(direction, lock, outOfRange, count, moved);
  if (bOk && *outOfRange) {
    const bool bCacheIncomplete = m_pclRecordCache == nullptr || !m_pclRecordCache->bCachingActive() ||
                                  !m_pclRecordCache->bFetchComplete();
    if ((m_nBlockFull != -1 && bCacheIncomplete) || (!m_bBlockAtFirstRow && direction == NA_PARSE_PREVIOUS))
      bOk = _bFetchNextBloc(direction, lock, outOfRange, count, moved);
  }
  m_bEndOfParseInCache = bOk && *outOfRange ? 1 : 0;
  return bOk;
}

int CNAStatement::_bFetchNextBloc(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count,
                                  long* /*moved*/) {
  if (m_pclDataAccess == nullptr) return 1;
  m_bFetchingNextBlock = 1;
  // The next block may hold longer rows than any read so far.
  const std::uint64_t nRowMax = nGetRowMaxLen();
  if (nRowMax > m_pclDataAccess->nGetMaxRowLength()) m_pclDataAccess->SetMaxRowLength(nRowMax);
  // The data access thinks in the key's order: undo the swap of a
  // descending result.
  if (direction == NA_PARSE_FIRST) direction = NA_PARSE_NEXT;
  if (direction == NA_PARSE_LAST) direction = NA_PARSE_PREVIOUS;
  if (m_bInverted) direction = direction == NA_PARSE_NEXT ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;

  // With a record cache the parse may stand anywhere in it: the rows go
  // on after the last one the server gave, which is the cache's last entry
  // (with the run of equal entries before it as duplicate count). The
  // statement's own original record is put back when nothing follows.
  CNARecordValue* pclKept = nullptr;
  const std::int32_t nKeptDuplicates = m_nDuplicateCount;
  if (m_pclRecordCache != nullptr && m_pclRecordCache->nGetCount() > 0) {
    if (m_pclOriginalRecord != nullptr) {
      pclKept = m_pclOriginalRecord->pclGetClone(NA_COPY_ALL);
      if (pclKept == nullptr) return 0;
      pclKept->AddRef();
    } else {
      m_pclOriginalRecord = new (std::nothrow) CNARecordValue(m_pclError);
      if (m_pclOriginalRecord == nullptr) return 0;
      m_pclOriginalRecord->AddRef();
    }
    const int nLast = m_pclRecordCache->nGetCount() - 1;
    if (!m_pclRecordCache->bGetAt(m_pclOriginalRecord, nLast)) {
      if (pclKept != nullptr) {
        m_pclOriginalRecord->bCopyRecordValue(pclKept, NA_COPY_ALL);
        pclKept->nRelease();
      }
      return 0;
    }
    int nRun = 0;
    while (nLast - nRun - 1 >= 0 && m_pclRecordCache->bEquals(nLast - nRun - 1, nLast, 0)) ++nRun;
    m_nDuplicateCount = nRun;
    // The next block's rows are appended after the cache's end.
    m_llCurrentRecord = nLast;
  }
  const int bOk = m_pclDataAccess->bGoToStmtOriginalRecord(0, this, lock, direction, count);
  m_bFetchingNextBlock = 0;
  m_bBlockAtFirstRow = 0;
  *outOfRange = m_bOutOfRange;
  if (m_pclRecordCache != nullptr && (!bOk || *outOfRange)) {
    if (pclKept != nullptr) m_pclOriginalRecord->bCopyRecordValue(pclKept, NA_COPY_ALL);
    m_nDuplicateCount = nKeptDuplicates;
  }
  if (pclKept != nullptr) pclKept->nRelease();
  m_bContinued = bOk && !*outOfRange ? 1 : 0;
  return bOk;
}

// ======================================================================
// Record fill and original record
// ======================================================================

int CNAStatement::_bUpdateNARecord(eNA_PARSEDIRECTION /*direction*/) {
  const std::uint32_t nSave = nGetRecordSave(m_llRowIndex);
  if (nSave != knNoSave && nSave != knRowDeleted && m_pclDataAccess != nullptr) {
    // The row was modified through this data access since it was fetched:
    // it shows its new values. The original record follows with the
    // fetch's own update.
    if (!m_pclDataAccess->bRestoreOriginalRecordSave(nSave)) return 0;
    return m_pclDataAccess->bCopyOriginalRecordToCurrentRecord();
  }
  return _bUpdateNARecordFromDB();
}

int CNAStatement::_bUpdateNARecordFromDB() {
  if (m_pclRecord == nullptr) return 1;
  const int nColumns = m_pclRecord->nGetColumnCount();
  for (int i = 0; i < nColumns; ++i) {
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
    // Composed keys follow the plain columns and are no result columns.
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) break;
    if (!pclColumn->bSetValueFromDB(this, 0)) return 0;
  }
  return 1;
}

int CNAStatement::bSetStmtOriginalRecord(eNA_PARSEDIRECTION direction) {
  if (m_eParseNeedUpdate == NA_PARSEUPDATE_REPOSITION) m_eParseNeedUpdate = NA_PARSEUPDATE_NONE;
  if (direction == NA_PARSE_CURRENT && m_nRecordSaveId != knNoSave) {
    if (m_pclDataAccess == nullptr) return 1;
    const std::uint32_t nSave = m_pclDataAccess->nKeepCurrentRecordSave();
    if (nSave != knNoSave) {
      // The new save comes with the reference the statement now holds.
      const std::uint32_t nOld = m_nRecordSaveId;
      m_nRecordSaveId = nSave;
      m_pclDataAccess->nReleaseRecordSave(nOld);
    }
    return 1;
  }
  if (m_pclRecord == nullptr || m_pclRecord->pclGetCurrentRecordValue() == nullptr) return 1;
  // A step onto a record equal to the one before counts one duplicate
  // more (compared before the original record takes the new values).
  if (direction == NA_PARSE_FIRST || direction == NA_PARSE_LAST)
    m_nDuplicateCount = 0;
  else if (m_pclOriginalRecord != nullptr && (direction == NA_PARSE_NEXT || direction == NA_PARSE_PREVIOUS))
    m_nDuplicateCount = m_pclRecord->bEquals(m_pclOriginalRecord, 0) ? m_nDuplicateCount + 1 : 0;
  return _bOriginalFromCurrent(knSiteOriginal);
}

// ======================================================================
// Reading into values, and the platform's flags
// ======================================================================

int CNAStatement::bFetchData(eNA_PARSEDIRECTION direction, int* outOfRange, CAny* values, int count) {
  const int bOk = bFetch(direction, 1, 1);
  if (bOk && m_bFound && m_pclRecord != nullptr && values != nullptr) {
    const int n = std::min(count, m_pclRecord->nGetColumnCount());
    for (int i = 0; i < n; ++i) {
      CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
      if (pclColumn != nullptr) pclColumn->bGetCurrentValue(&values[i], 0);
    }
  }
  if (outOfRange != nullptr) *outOfRange = m_bOutOfRange;
  return bOk;
}

void CNAStatement::EvalHTrouve(int* found, int* inRange) const {
  if (found != nullptr) *found = m_bFoundPlatform;
  if (inRange != nullptr) *inRange = m_bOutOfRange ? 0 : 1;
}

void CNAStatement::HEndehors(int* out) const {
  if (out != nullptr) *out = m_bOutOfRange;
}
