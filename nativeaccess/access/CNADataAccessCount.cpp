// CNADataAccess: record counts. A count is answered from what the data
// access already holds (the table cache, the rows of the browse) when it
// can, else by a count query on the statement of the empty name; counts
// relative to the current record search its value on the browse's item.
#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNADataAccessReport.h"
#include "CNAFilter.h"
#include "CNAHeld.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNATableCache.h"
#include "INAItemDescription.h"

namespace {

// Records a count asks for: the active ones.
constexpr unsigned int knCountActive = 16;
// Count the records that pass the browse's filter.
constexpr unsigned int knFlagFiltered = 0x4000;
// The whole source.
constexpr int knWhole = -1;

}  // namespace

int CNADataAccess::bHNbEnr(long* count, unsigned int kind, NA_WRITEPARSEFLAGS flags) {
  return bGetNbEnr(count, kind, flags, m_pclLastStatement, knWhole);
}

int CNADataAccess::bGetNbEnr(long* count, unsigned int options, unsigned int flags, CNAStatement* statement,
                             int direction) {
  if (_bGetNbEnrOptimized(count, options, flags, statement, direction)) return 1;
  if (direction == knWhole) {
    CNAStatement* pclCount = _pclGetQueryStatement();
    if (pclCount == nullptr) return 0;
    CNAAdopted<CNAStatement> clCount(pclCount);
    // A count never inherits an earlier count's conditions.
    pclCount->DesactivateRechercheUserAndInternal();
    pclCount->DesactivateFilter();
    const bool bConditions = statement != nullptr && (flags & knFlagFiltered) != 0;
    if (bConditions && statement->bExistFilter()) {
      CNAFilter* pclClone = statement->pclGetFilter()->pclCloneFilter();
      if (pclClone != nullptr) pclCount->_SetFilter(pclClone);
    }
    return pclCount->bGetNbEnr(count, options, bConditions ? 0 : 1);
  }
  // Relative to the current record: on the browse's item, the browse's own
  // copy of the record lent to the current record for the count.
  INAItemDescription* piItem =
      statement != nullptr ? piGetItemDescription(statement->pszGetParseKey()) : piGetBestParseItemDesc();
  CNAHeldItem clItem(piItem);
  CNARecord* pclRecord = pclGetCurrentRecord();
  const CNARecordValue* pclStmtRecord = statement != nullptr ? statement->pclGetStmtOriginalRecord() : nullptr;
  if (pclRecord == nullptr || pclStmtRecord == nullptr || clItem.p == nullptr)
    return _bCountRelative(count, options, flags, statement, clItem.p, direction);
  kxaccess::RecordBuffersKept clKept(pclRecord, false);
  if (!clKept.bValid() || !pclRecord->bCopyToCurrentRecord(pclStmtRecord)) return 0;
  return _bCountRelative(count, options, flags, statement, clItem.p, direction);
}

int CNADataAccess::_bCountRelative(long* count, unsigned int options, unsigned int flags, CNAStatement* statement,
                                   INAItemDescription* item, int direction) {
  // No item to count on (unknown to the description, or no best browse
  // item): nothing is counted.
  if (item == nullptr || m_pclCurrentRecord == nullptr) return 0;
  CNAStatement* pclCount = _pclGetQueryStatement();
  if (pclCount == nullptr) return 0;
  CNAAdopted<CNAStatement> clCount(pclCount);
  pclCount->DesactivateRechercheUserAndInternal();
  pclCount->DesactivateFilter();
  if (statement != nullptr && (flags & knFlagFiltered) != 0 && statement->bExistFilter()) {
    CNAFilter* pclClone = statement->pclGetFilter()->pclCloneFilter();
    if (pclClone != nullptr) pclCount->_SetFilter(pclClone);
  }
  CNARecherche* pclSearch = pclCount->pclGetRecherche();
  if (pclSearch == nullptr) return 0;
  pclCount->PrepareInternalSearch();
  int bBuilt = 0;
  if (direction == NA_PARSE_CURRENT) {
    // The run of equal values: an exact search of the item's value (a
    // search of the record itself would find the one record its unique key
    // names).
    CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(item);
    CAny clValue;
    bBuilt = pclColumn != nullptr && pclColumn->bGetCurrentValue(&clValue, 0) &&
             pclSearch->bSetRecherche(m_pclCurrentRecord, item, &clValue, NA_PARSE_FIRST, 1, 0);
  } else {
    bBuilt = pclSearch->bRechercheEnreg(m_pclCurrentRecord, item, NA_PARSE_FIRST, 0, nullptr);
  }
  if (!bBuilt || !pclSearch->bIsActive()) return 0;
  if (direction == NA_PARSE_NEXT)
    pclSearch->bSetContinueParcours(NA_PARSE_FIRST);
  else if (direction == NA_PARSE_PREVIOUS)
    pclSearch->bSetContinueParcours(NA_PARSE_LAST);
  return pclCount->bGetNbEnr(count, options, 0);
}

int CNADataAccess::_bGetNbEnrOptimized(long* count, unsigned int options, unsigned int flags, CNAStatement* statement,
                                       int direction) {
  // 1. Nothing asked.
  if ((options & knCountActive) == 0) {
    if (count != nullptr) *count = 0;
    return 1;
  }
  // 2. A query sent as written is counted only from a complete table cache.
  if (bRequeteSansCorrection() && (m_pclTableCache == nullptr || !m_pclTableCache->bCacheCompleted())) return 0;
  // 3. Relative counts need the server.
  if (direction != knWhole) return 0;
  // 4. The table cache holds the rows.
  const bool bNoSubQuery = bIsQuery() && m_pclConnection != nullptr && !m_pclConnection->bSupportSubQuery();
  if (m_pclTableCache != nullptr && (m_pclTableCache->bCacheCompleted() || bNoSubQuery)) {
    if (statement == nullptr) return 0;
    if (statement->bFilterUnchanged() && (!statement->bExistFilter() || (flags & knFlagFiltered) != 0)) {
      if (count != nullptr) *count = static_cast<long>(m_pclTableCache->llGetRecordNbrActive());
      return 1;
    }
  }
  // 5. The browse knows.
  if (statement == nullptr) return 0;
  return statement->bGetNbEnrCurrentParse(count, static_cast<NA_WRITEPARSEFLAGS>(flags),
                                          (flags & knFlagFiltered) == 0 ? 1 : 0);
}
