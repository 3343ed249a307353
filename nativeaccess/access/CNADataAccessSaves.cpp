// Saved record values, the table cache and the notifications of a data
// access: the copies of records it may need again (the record as read or
// added, the records behind saved positions), kept up to date after every
// successful write together with the table cache and every statement, and
// the marking of browses at the end of a transaction.
#include "CNADataAccess.h"

#include <new>

#include "CAny.h"
#include "CNAError.h"
#include "CNAPosition.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNATableCache.h"

namespace {
// The store's index for a save number (-1 for none).
int nSlot(std::uint32_t save) { return static_cast<int>(save); }
}  // namespace

// ======================================================================
// Saved records
// ======================================================================

std::uint32_t CNADataAccess::_nKeepRecordSave(const CNARecordValue* value) {
  if (m_pclRecordSaves == nullptr || value == nullptr || value->pclGetNAXQRecord() == nullptr) return knNoRecordSave;
  const int nKept = m_pclRecordSaves->nKeepRecordSave(value);
  if (nKept < 0) return knNoRecordSave;
  // The caller's reference.
  m_pclRecordSaves->AddRefRecordSave(nKept);
  return static_cast<std::uint32_t>(nKept);
}

std::uint32_t CNADataAccess::nKeepCurrentRecordSave() {
  if (m_pclCurrentRecord == nullptr) return knNoRecordSave;
  return _nKeepRecordSave(m_pclCurrentRecord->pclGetCurrentRecordValue());
}

std::uint32_t CNADataAccess::nKeepOriginalRecordSave(CNAStatement* statement) {
  if (m_pclCurrentRecord == nullptr) return knNoRecordSave;
  const CNARecordValue* pclValue = statement != nullptr ? statement->pclGetStmtOriginalRecord()
                                                        : m_pclCurrentRecord->pclGetOriginalRecordValue();
  return _nKeepRecordSave(pclValue);
}

void CNADataAccess::AddRefRecordSave(std::uint32_t save) {
  if (m_pclRecordSaves == nullptr || save == knNoRecordSave) return;
  m_pclRecordSaves->AddRefRecordSave(nSlot(save));
}

int CNADataAccess::nReleaseRecordSave(std::uint32_t save) {
  if (m_pclRecordSaves == nullptr || save == knNoRecordSave) return 0;
  return m_pclRecordSaves->nReleaseRecordSave(nSlot(save));
}

int CNADataAccess::nGetRecordSaveCount(std::uint32_t save) const {
  if (m_pclRecordSaves == nullptr || save == knNoRecordSave) return 0;
  return m_pclRecordSaves->nGetRecordSaveCount(nSlot(save));
}

void CNADataAccess::SetOriginalRecordSave(std::uint32_t save) {
  if (save == m_nOriginalRecordSave) return;
  AddRefRecordSave(save);
  const std::uint32_t nOld = m_nOriginalRecordSave;
  m_nOriginalRecordSave = m_pclRecordSaves != nullptr ? save : knNoRecordSave;
  if (nOld != knNoRecordSave) nReleaseRecordSave(nOld);
}

int CNADataAccess::bCopySaveToRecord(std::uint32_t save, CNARecordValue* value) {
  if (m_pclRecordSaves == nullptr || value == nullptr || save == knNoRecordSave) return 0;
  return m_pclRecordSaves->bGetAt(value, nSlot(save)) ? 1 : 0;
}

int CNADataAccess::bRestoreOriginalRecordSave(std::uint32_t save) {
  if (m_pclCurrentRecord == nullptr) return 0;
  return bCopySaveToRecord(save, m_pclCurrentRecord->pclGetOriginalRecordValue());
}

int CNADataAccess::bRestoreOriginalRecordSave(CNAStatement* statement) {
  if (statement == nullptr) return 0;
  return bRestoreOriginalRecordSave(statement->nGetRecordSaveID());
}

int CNADataAccess::_bGetItemValueInRecordSave(CAny* value, std::uint32_t save, INAItemDescription* item) {
  CNARecordValue* pclTemp = new (std::nothrow) CNARecordValue(m_pclError);
  if (pclTemp == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclTemp->AddRef();
  int bOk = bCopySaveToRecord(save, pclTemp);
  if (bOk) bOk = pclTemp->bGetItemValue(value, item) ? 1 : 0;
  pclTemp->nRelease();
  return bOk;
}

int CNADataAccess::bRecordDeleted(std::uint32_t save) {
  if (m_pclRecordSaves == nullptr || save == knNoRecordSave) return 0;
  return (m_pclRecordSaves->eGetRecordState(nSlot(save)) & NA_RECORDSTATE_DELETED) != 0 ? 1 : 0;
}

int CNADataAccess::_bCheckRowId(CNAPosition* first, CNAPosition* second, int* same) {
  if (first == nullptr || second == nullptr) return 0;
  const std::int32_t nFirst = first->nGetRowID();
  const std::int32_t nSecond = second->nGetRowID();
  if (nFirst == CNAPosition::knNone || nSecond == CNAPosition::knNone) return 0;
  if (same != nullptr) *same = nFirst == nSecond ? 1 : 0;
  return 1;
}

void CNADataAccess::_ResetRecordCache() {
  // Every number handed out so far is void: the current-record save goes
  // with the rest, so that nothing releases a slot of the emptied store.
  m_nOriginalRecordSave = knNoRecordSave;
  if (m_pclRecordSaves != nullptr) m_pclRecordSaves->SupprimeTout();
}

void CNADataAccess::_FreeSavedRecordCache() {
  m_nOriginalRecordSave = knNoRecordSave;
  if (m_pclRecordSaves == nullptr) return;
  CNARecordCachePosition* pclStore = m_pclRecordSaves;
  m_pclRecordSaves = nullptr;
  pclStore->nRelease();
}

// ======================================================================
// Caches
// ======================================================================

int CNADataAccess::nSetRecordDeletedInCache(CNARecordCache* cache) {
  if (cache == nullptr || m_pclCurrentRecord == nullptr) return -1;
  const CNARecordValue* pclOriginal = m_pclCurrentRecord->pclGetOriginalRecordValue();
  if (pclOriginal == nullptr) return -1;
  const int nIndex = cache->nGetRecordIndice(pclOriginal);
  if (nIndex < 0) return -1;
  cache->SetRecordState(nIndex, NA_RECORDSTATE_DELETED);
  return nIndex;
}

int CNADataAccess::nUpdateRecordInCache(unsigned int flags, CNARecordCache* cache) {
  if (cache == nullptr || m_pclCurrentRecord == nullptr) return -1;
  return cache->nOnNotifyOperation(NA_QUERY_UPDATE, m_pclCurrentRecord->pclGetCurrentRecordValue(),
                                   m_pclCurrentRecord->pclGetOriginalRecordValue(), flags, 0);
}

int CNADataAccess::_bCreateNewTableCache(CNAStatement* /*statement*/) {
  if (m_pclTableCache != nullptr) _FreeTableCache();
  _AllocTableCache();
  if (m_pclTableCache == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  m_pclTableCache->dwAddRef();
  return 1;
}

void CNADataAccess::_FreeTableCache() {
  unsigned int nCursor = 0;
  CNAStatement* pclStatement = nullptr;
  while (m_htStatements.bParseTable(&nCursor, 0, &pclStatement)) {
    if (pclStatement == nullptr) continue;
    pclStatement->AddRef();
    pclStatement->DestroyCacheIndex();
    pclStatement->nRelease();
  }
  if (m_pclTableCache == nullptr) return;
  CNATableCache* pclCache = m_pclTableCache;
  m_pclTableCache = nullptr;
  pclCache->dwRelease();
}

int CNADataAccess::bFreeCache() {
  if (m_pclTableCache != nullptr) _FreeTableCache();
  return 1;
}

void CNADataAccess::ClosingStatement(CNAStatement* statement) {
  if (m_pclTableCache != nullptr && m_pclTableCache->bIsStatementParse(statement)) _FreeTableCache();
}

CNARecordCache* CNADataAccess::_pclGetNotifyCache() {
  if (m_pclTableCache == nullptr) return nullptr;
  CNARecordCache* pclCache = m_pclTableCache->pclGetFullCacheNoRef();
  if (pclCache != nullptr) return pclCache;
  // Still being filled: the filling statement's cache becomes the full
  // cache; reading the rest of the result is not a notification's job.
  CNAStatement* pclFilling = m_pclTableCache->pclGetStatementParseNoRef();
  return pclFilling != nullptr ? pclFilling->pclGetRecordCacheNoRef() : nullptr;
}

// ======================================================================
// Notifications and transactions
// ======================================================================

void CNADataAccess::_NotifyOperation(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags,
                                     CNARecordValue* before) {
  if ((m_nNotifyOptions & knNotifyNone) != 0) return;
  int nIndex = -1;
  CNARecordCache* pclFull = _pclGetNotifyCache();
  const bool bComplete = m_pclTableCache != nullptr && pclFull != nullptr && m_pclTableCache->bCacheCompleted();
  switch (type) {
    case NA_QUERY_INSERT:
      if (pclFull != nullptr && m_pclCurrentRecord != nullptr)
        nIndex = pclFull->nAjoute(m_pclCurrentRecord->pclGetCurrentRecordValue());
      break;
    case NA_QUERY_DELETE:
      if (m_pclRecordSaves != nullptr) nSetRecordDeletedInCache(m_pclRecordSaves);
      if (bComplete) nIndex = nSetRecordDeletedInCache(pclFull);
      break;
    case NA_QUERY_UPDATE:
      if (m_pclRecordSaves != nullptr) nUpdateRecordInCache(flags, m_pclRecordSaves);
      _vUpdateRecordInCacheLock(flags);
      if (bComplete) nIndex = nUpdateRecordInCache(flags, pclFull);
      break;
    default:
      break;
  }
  if (m_pclTableCache == nullptr && (m_nNotifyOptions & knNotifyAllStatements) == 0) return;
  // Every statement follows the write, each held while it is told.
  unsigned int nCursor = 0;
  CNAStatement* pclStatement = nullptr;
  while (m_htStatements.bParseTable(&nCursor, 0, &pclStatement)) {
    if (pclStatement == nullptr) continue;
    pclStatement->AddRef();
    pclStatement->OnNotifyOperation(type, nIndex, statement, flags, before);
    pclStatement->nRelease();
  }
}

void CNADataAccess::NotifyOperation(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags) {
  _NotifyOperation(type, statement, flags, nullptr);
}

void CNADataAccess::SetTransactionTermined() {
  unsigned int nCursor = 0;
  CNAStatement* pclStatement = nullptr;
  while (m_htStatements.bParseTable(&nCursor, 0, &pclStatement)) {
    if (pclStatement == nullptr) continue;
    pclStatement->AddRef();
    _SetTransactionTermined(pclStatement);
    pclStatement->nRelease();
  }
}

void CNADataAccess::_SetTransactionTermined(CNAStatement* statement) {
  if (statement == nullptr || !statement->bParseStarted()) return;
  if (statement->eParseNeedUpdate() != NA_PARSEUPDATE_NONE) return;
  // The browse resumes from the record it stood on: a save of it goes with
  // the cause; the cause is recorded also when none can be kept.
  const std::uint32_t nSave = nKeepOriginalRecordSave(statement);
  statement->bSetParseNeedUpdate(NA_PARSEUPDATE_RERUN,
                                 nSave != knNoRecordSave ? nSave : statement->nGetRecordSaveID());
  if (nSave != knNoRecordSave) nReleaseRecordSave(nSave);
}
