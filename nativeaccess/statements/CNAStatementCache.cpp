// CNAStatement: the record cache (switch and fetch through it), the
// record-save table, the parse update and the table-cache index link.
#include <new>

#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"

#if __has_include("CNATableCacheIndex.h")
#include "CNATableCacheIndex.h"
#define KX_HAS_TABLE_CACHE_INDEX 1
#else
#define KX_HAS_TABLE_CACHE_INDEX 0
#endif

namespace {

constexpr int knLocationArea = 62;
constexpr int knSiteCache = 40;
constexpr unsigned int knErrMemory = 12;

}  // namespace

// ======================================================================
// Cache switch
// ======================================================================

void CNAStatement::EnableCache(int on) {
  if (on) {
    if (m_pclRecordCache == nullptr) {
      CNARecordCache* pclCache = new (std::nothrow) CNARecordCache();
      if (pclCache == nullptr) {
        if (m_pclError != nullptr)
          m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteCache, pclGetConnectionNoRef(),
                               knErrMemory);
        return;
      }
      pclCache->AddRef();
      m_pclRecordCache = pclCache;
    }
    m_pclRecordCache->SetCachingActive(1);
    if (m_pclRecordCache->nGetCount() == 0) _SetBestCacheMethod();
    return;
  }
  if (m_pclRecordCache == nullptr) return;
  if (m_pclRecordCache->nGetInternalCount() <= 1) {
    m_pclRecordCache->SupprimeTout();
    m_pclRecordCache->SetCachingActive(0);
  } else {
    // Someone else reads it still: only this statement lets go.
    CNARecordCache* pclCache = m_pclRecordCache;
    m_pclRecordCache = nullptr;
    pclCache->nRelease();
  }
}

void CNAStatement::EmptyCache() {
  if (m_pclRecordCache != nullptr) m_pclRecordCache->SupprimeTout();
}

int CNAStatement::bCacheEnabled() const { return m_pclRecordCache != nullptr && m_pclRecordCache->bCachingActive(); }

int CNAStatement::bCacheCompleted() const { return m_pclRecordCache != nullptr && m_pclRecordCache->bFetchComplete(); }

// ======================================================================
// Fetch through the record cache
// ======================================================================

int CNAStatement::_RestaureRecordFromCache(int row) {
  if (m_pclRecordCache == nullptr || m_pclRecord == nullptr) return 0;
  // The value of the previous read takes the next row as it is; one the
  // cache cannot read into (none yet, or made for another layout) is made
  // again from the cache's own layout.
  bool bRead = m_pclCacheReadValue != nullptr && m_pclRecordCache->bGetAt(m_pclCacheReadValue, row);
  if (!bRead) {
    if (m_pclCacheReadValue != nullptr) m_pclCacheReadValue->nRelease();
    m_pclCacheReadValue = new (std::nothrow) CNARecordValue(m_pclError);
    if (m_pclCacheReadValue == nullptr) return 0;
    m_pclCacheReadValue->AddRef();
    bRead = m_pclRecordCache->bGetAt(m_pclCacheReadValue, row);
  }
  const int bOk = bRead && m_pclRecord->bCopyToCurrentRecord(m_pclCacheReadValue) ? 1 : 0;
  if (bOk) {
    m_bRestoredFromCache = 1;
    m_bEndOfParseInCache = 0;
  }
  return bOk;
}

int CNAStatement::_bFetchAndCache(eNA_PARSEDIRECTION /*direction*/, int lock, int* outOfRange, long /*count*/) {
  *outOfRange = 1;
  m_bContinued = 0;
  int nOut = 1;
  // The server's rows come in the result's order: the cache grows at its
  // end.
  if (!_bFetch(NA_PARSE_NEXT, lock, &nOut, 1, nullptr)) return 0;
  if (!nOut) {
    CNARecordValue* pclCurrent = m_pclRecord != nullptr ? m_pclRecord->pclGetCurrentRecordValue() : nullptr;
    const int nIndex = pclCurrent != nullptr ? m_pclRecordCache->Insere(pclCurrent, m_pclRecordCache->nGetCount()) : -1;
    if (nIndex < 0) {
      if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteCache, pclGetConnectionNoRef(), knErrMemory);
      return 0;
    }
    m_llCurrentRecord = nIndex;
    *outOfRange = 0;
    return 1;
  }
  if (m_nBlockFull != -1) {
    // A full block: the rows go on after the last record read; the nested
    // fetch caches the first of them.
    return _bFetchNextBloc(NA_PARSE_NEXT, lock, outOfRange, 1, nullptr);
  }
  m_pclRecordCache->SetFetchComplete();
  return 1;
}

int CNAStatement::_bFetchCacheEnabled(eNA_PARSEDIRECTION direction, int lock, int* outOfRange, long count,
                                      long* moved) {
  *outOfRange = 1;
  if (moved != nullptr) *moved = 0;
  CNARecordCache* pclCache = m_pclRecordCache;
  if (m_bFetchingNextBlock) {
    if (direction == NA_PARSE_FIRST) direction = NA_PARSE_NEXT;
    if (direction == NA_PARSE_LAST) direction = NA_PARSE_PREVIOUS;
    m_nRowNumberBase = pclCache->nGetCount();
  }
  if (m_pclTableCacheIndex != nullptr) return _bFetchFromCacheIndex(direction, outOfRange, count, moved);

  if (direction == NA_PARSE_LAST && !pclCache->bFetchComplete()) {
    // The last row is known only once every row is here.
    for (;;) {
      int nOut = 1;
      if (!_bFetchAndCache(NA_PARSE_NEXT, lock, &nOut, 1)) return 0;
      if (nOut) break;
    }
    if (!pclCache->bFetchComplete()) pclCache->SetFetchComplete();
  }
  const int nCurrent = m_llCurrentRecord >= 0 && m_llCurrentRecord <= 0x7FFFFFFF ? static_cast<int>(m_llCurrentRecord) : -1;
  const int nRow = direction == NA_PARSE_CURRENT || count == 0 ? nCurrent
                                                              : pclCache->nGetPosition(nCurrent, direction, static_cast<int>(count));
  if (!pclCache->bMustFetch(nRow)) {
    *outOfRange = pclCache->bEndehors(nRow) ? 1 : 0;
    m_llCurrentRecord = *outOfRange ? -1 : nRow;
    if (*outOfRange) return 1;
    if (moved != nullptr) *moved = count;
    // The row comes from memory: the fetch takes it as original record.
    m_bContinued = 0;
    return _RestaureRecordFromCache(nRow);
  }
  // Past the cache's end: read from the server up to the wanted row.
  const int nBefore = pclCache->nGetCount();
  while (pclCache->nGetCount() <= nRow) {
    int nOut = 1;
    if (!_bFetchAndCache(NA_PARSE_NEXT, lock, &nOut, 1)) return 0;
    if (nOut) break;
  }
  if (pclCache->nGetCount() > nRow) {
    *outOfRange = 0;
    if (moved != nullptr) *moved = count;
    // The row read last is the wanted one unless a nested continuation
    // went further; the cache holds it either way.
    if (m_llCurrentRecord != nRow) {
      m_bContinued = 0;
      return _RestaureRecordFromCache(nRow);
    }
    return 1;
  }
  if (pclCache->nGetCount() == nBefore) m_llCurrentRecord = -1;
  return 1;
}

// ======================================================================
// Record-save table
// ======================================================================

bool CNAStatement::_bEnsureRecordSaves() {
  if (m_pnRecordSaves != nullptr) return true;
  if (m_pclStatementSQL == nullptr) return false;
  const std::int64_t llRows = m_pclStatementSQL->llGetRowCount();
  // A stream has no count (its 4294967295 rows would take 16 GiB), and a
  // result without rows has nothing to save.
  if (llRows <= 0 || llRows >= knStreamRowCount) return false;
  std::uint32_t* pn = new (std::nothrow) std::uint32_t[static_cast<std::size_t>(llRows)];
  if (pn == nullptr) {
    if (m_pclError != nullptr)
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteCache, pclGetConnectionNoRef(), knErrMemory);
    return false;
  }
  for (std::int64_t i = 0; i < llRows; ++i) pn[i] = knNoSave;
  m_pnRecordSaves = pn;
  m_llRecordSaveCount = llRows;
  m_nDeletedRows = 0;
  return true;
}

void CNAStatement::_FreeRecordSaves() {
  if (m_pnRecordSaves == nullptr) return;
  std::uint32_t* pn = m_pnRecordSaves;
  const std::int64_t llCount = m_llRecordSaveCount;
  m_pnRecordSaves = nullptr;
  m_llRecordSaveCount = 0;
  m_nDeletedRows = 0;
  if (m_pclDataAccess != nullptr) {
    for (std::int64_t i = 0; i < llCount; ++i)
      if (pn[i] != knNoSave && pn[i] != knRowDeleted) m_pclDataAccess->nReleaseRecordSave(pn[i]);
  }
  delete[] pn;
}

std::uint32_t CNAStatement::nGetRecordSave(std::int64_t row) const {
  if (m_pnRecordSaves == nullptr || row < 0 || row >= m_llRecordSaveCount) return knNoSave;
  return m_pnRecordSaves[row];
}

int CNAStatement::bKeepModifiedRecordSave(std::int64_t row, std::uint32_t save) {
  if (!_bEnsureRecordSaves()) return 0;
  // A row the table does not hold (-1 included) keeps nothing: the save is
  // the caller's still.
  if (row < 0 || row >= m_llRecordSaveCount) return 0;
  const std::uint32_t nOld = m_pnRecordSaves[row];
  if (nOld == save) return 1;
  if (save != knNoSave && save != knRowDeleted && m_pclDataAccess != nullptr) m_pclDataAccess->AddRefRecordSave(save);
  m_pnRecordSaves[row] = save;
  if (nOld == knRowDeleted) --m_nDeletedRows;
  if (save == knRowDeleted) ++m_nDeletedRows;
  if (nOld != knNoSave && nOld != knRowDeleted && m_pclDataAccess != nullptr) m_pclDataAccess->nReleaseRecordSave(nOld);
  return 1;
}

int CNAStatement::bMarkRowDeleted(std::int64_t row) { return bKeepModifiedRecordSave(row, knRowDeleted); }

// ======================================================================
// Parse update
// ======================================================================

int CNAStatement::bSetParseNeedUpdate(ePARSENEEDUPDATECAUSE cause, std::uint32_t save) {
  if (!(cause == NA_PARSEUPDATE_REPOSITION && m_eParseNeedUpdate == NA_PARSEUPDATE_RERUN)) m_eParseNeedUpdate = cause;
  if (save != m_nRecordSaveId) {
    if (save != knNoSave && m_pclDataAccess != nullptr) m_pclDataAccess->AddRefRecordSave(save);
    const std::uint32_t nOld = m_nRecordSaveId;
    m_nRecordSaveId = save;
    if (nOld != knNoSave && m_pclDataAccess != nullptr) m_pclDataAccess->nReleaseRecordSave(nOld);
  }
  if (cause == NA_PARSEUPDATE_RERUN && m_pclStatementSQL != nullptr) {
    _FreeRecordSaves();
    m_pclStatementSQL->bReset();
    m_llRowIndex = -1;
  }
  return 1;
}

int CNAStatement::bSetParseNeedUpdate(ePARSENEEDUPDATECAUSE cause) {
  if (m_pclDataAccess == nullptr) return 1;
  const std::uint32_t nSave = m_pclDataAccess->nKeepOriginalRecordSave(this);
  if (nSave == knNoSave) return 1;
  const int bOk = bSetParseNeedUpdate(cause, nSave);
  // The statement took its own reference: the one kept for this call goes.
  m_pclDataAccess->nReleaseRecordSave(nSave);
  return bOk;
}

// ======================================================================
// Table-cache index
// ======================================================================

void CNAStatement::_SetTableCacheIndex(CNATableCacheIndex* index) {
#if KX_HAS_TABLE_CACHE_INDEX
  if (index == m_pclTableCacheIndex) return;
  if (index != nullptr) index->dwAddRef();  // a locked increment
  CNATableCacheIndex* pclOld = m_pclTableCacheIndex;
  m_pclTableCacheIndex = index;
  if (pclOld != nullptr) pclOld->dwRelease();
#else
  // No index can be made before the table cache exists.
  (void)index;
  m_pclTableCacheIndex = nullptr;
#endif
}
