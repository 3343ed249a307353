// CNADataAccess: adding, modifying and deleting the current record, the
// automatic identifier's key and single values asked of the server.
//
// What a write promises: a write that answers true reached the server, and
// one that answers false left the current record, the saves and the caches
// as they were (except an INSERT whose identifier could not be taken back,
// which says so with its own error; see _bBuildAndExecuteQuery).
#include <cstdint>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAHeld.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"

namespace {
// Write flags: after an add, only mark the record read (no save); keep the
// automatic identifier the record holds.
constexpr std::uint32_t knFlagNoSave = 0x40u;
constexpr std::uint32_t knFlagKeepIdAuto = 0x100u;

// The lock a write hands to the record-lock hook: none and the default
// both ask a plain write lock.
eNA_LOCKTYPE WriteLock(eNA_LOCKTYPE lock) { return lock > 1 ? lock : static_cast<eNA_LOCKTYPE>(2); }

// Whether an UPDATE of the record would carry at least one column (the
// statement builds an empty command, sending nothing, otherwise).
bool bRecordHasChanges(CNARecord* record) {
  for (int i = 0; i < record->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = record->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) break;
    if (pclColumn->eGetTypeColonne() != 0 || !pclColumn->bValueModified()) continue;
    if (pclColumn->bUpdatable() || pclColumn->bIsIdAuto()) return true;
  }
  return false;
}
}  // namespace

// ======================================================================
// Adding
// ======================================================================

int CNADataAccess::bHAjoute(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) {
  if (!_bCheckAndCorrectXQRecordValues()) return 0;
  if (!_bHAjoute(flags, lock)) return 0;
  if ((static_cast<std::uint32_t>(flags) & knFlagNoSave) != 0) return bSetCurrentRecordRead(0);
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord != nullptr && !pclRecord->bOriginalRecordSet() && !bSetCurrentRecordRead(0)) return 0;
  if (m_nOriginalRecordSave != knNoRecordSave) {
    const std::uint32_t nOld = m_nOriginalRecordSave;
    m_nOriginalRecordSave = knNoRecordSave;
    nReleaseRecordSave(nOld);
  }
  const std::uint32_t nSave = nKeepCurrentRecordSave();
  if (nSave == knNoRecordSave) {
    // No room for the copy: the row is written all the same, and a later
    // modify must address it as added, not as the record read before.
    bSetCurrentRecordRead(0);
    return 1;
  }
  // The keep's reference is the one the data access holds.
  m_nOriginalRecordSave = nSave;
  return 1;
}

int CNADataAccess::_nGetMemoNumber(int index, CNAColumn* column) {
  if (m_piDataSource == nullptr || column == nullptr) return -1;
  INAItemDescription* piColumnItem = column->piGetItemDescription();
  if (piColumnItem == nullptr) return -1;
  const std::uint32_t nMemos = m_piDataSource->nGetNumMemos();
  if (index >= 0 && static_cast<std::uint32_t>(index) < nMemos) {
    CNAHeldItem clMemo(m_piDataSource->piNAGetMemo(static_cast<std::uint32_t>(index)));
    if (clMemo.p == piColumnItem) return index;
  }
  // The layout's memo columns out of the description's order: by item.
  for (std::uint32_t n = 0; n < nMemos; ++n) {
    CNAHeldItem clMemo(m_piDataSource->piNAGetMemo(n));
    if (clMemo.p == piColumnItem) return static_cast<int>(n);
  }
  return -1;
}

int CNADataAccess::_bReadUnreadMemos() {
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord == nullptr) return 1;
  const CRefArray<CNAColumn>* pclMemos = pclRecord->pclGetTabColumnMemo();
  for (int i = 0; i < pclMemos->nGetNbElements(); ++i) {
    CNAColumn* pclColumn = pclMemos->pGetAt(i);
    if (pclColumn == nullptr || !pclColumn->bValueIsUnreadYet()) continue;
    const int nMemo = _nGetMemoNumber(i, pclColumn);
    const bool bHadError = m_pclError != nullptr && m_pclError->eGetErrorType() != NA_ERRORTYPE_NONE;
    const std::uint32_t nCodeBefore = m_pclError != nullptr ? m_pclError->dwGetDataBaseErrorCode() : 0;
    CAny clValue;
    if (nMemo >= 0 && bGetBLOB(static_cast<unsigned int>(nMemo), &clValue)) continue;
    const std::uint32_t nCode = m_pclError != nullptr ? m_pclError->dwGetDataBaseErrorCode() : 0;
    // The server or the connection failed the read: the copy would be
    // written without its memo.
    if (nCode != 0 && (!bHadError || nCode != nCodeBefore)) return 0;
    // Nothing to read (no such memo, no column for it): the memo is empty.
    pclColumn->bSetValueNULL();
  }
  return 1;
}

int CNADataAccess::_bHAjoute(NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) {
  if (!_bReadUnreadMemos()) return 0;
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  const int bLockSet = pclStatement->bSetLockType(lock);
  const int bWritten = _bOperation(pclStatement, NA_QUERY_INSERT, flags, nullptr);
  int bOk = bLockSet && bWritten ? 1 : 0;
  if (bOk) bOk = bLockRecord(pclStatement, lock, 0, nullptr);
  if (pclStatement->eGetLockType() == NA_LOCKTYPE_DEFAULT) pclStatement->ResetQuery();
  return bOk;
}

// ======================================================================
// Modifying
// ======================================================================

int CNADataAccess::bHModifie(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) {
  if (!_bIsValidRecordNumber(record)) return 0;
  int bOk = _bCheckAndCorrectXQRecordValues();
  // The UPDATE addresses the row by the values it was read or added with,
  // whatever changed the original record since.
  if (bOk && record == 0 && m_nOriginalRecordSave != knNoRecordSave)
    bOk = bRestoreOriginalRecordSave(m_nOriginalRecordSave);
  CNARecord* pclRecord = pclGetCurrentRecord();
  CNARecordValue* pclOriginal = pclRecord != nullptr ? pclRecord->pclGetOriginalRecordValue() : nullptr;
  CNARecordValue* pclBefore = pclOriginal != nullptr ? pclOriginal->pclGetClone(NA_COPY_ALL) : nullptr;
  CNAHeld<CNARecordValue> clBefore(pclBefore);
  if (!bOk) return 0;
  return _bHModifie(record, flags, lock, pclBefore);
}

int CNADataAccess::_bHModifie(long /*record*/, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock, CNARecordValue* before) {
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  CNARecord* pclRecord = pclGetCurrentRecord();
  CNARecordValue* pclCurrent = pclRecord != nullptr ? pclRecord->pclGetCurrentRecordValue() : nullptr;
  const bool bDeleted = pclCurrent != nullptr && (static_cast<std::uint32_t>(pclCurrent->eGetRecordState()) &
                                                  static_cast<std::uint32_t>(NA_RECORDSTATE_DELETED)) != 0;
  // A deleted record written back unchanged: an UPDATE with nothing to set
  // sends nothing and "succeeds", which would leave the row deleted while
  // the record says read. It goes back in directly.
  const bool bSkipUpdate = bDeleted && !bRecordHasChanges(pclRecord);
  int bOk = bLockRecord(pclStatement, WriteLock(lock), 0, nullptr);
  if (bOk) bOk = bSkipUpdate ? 0 : _bOperation(pclStatement, NA_QUERY_UPDATE, flags, before);
  if (bOk) {
    bOk = bSetCurrentRecordRead(0);
  } else if (bDeleted) {
    const NA_WRITEPARSEFLAGS eKeep = static_cast<NA_WRITEPARSEFLAGS>(static_cast<std::uint32_t>(flags) | knFlagKeepIdAuto);
    bOk = _bOperation(pclStatement, NA_QUERY_INSERT, eKeep, before) ? bSetCurrentRecordRead(0) : 0;
  }
  const int bUnlocked = bUnlockRecord(pclStatement, lock, 0, nullptr);
  bOk = bOk && bUnlocked ? 1 : 0;
  if (pclStatement->eGetLockType() == NA_LOCKTYPE_DEFAULT) pclStatement->ResetQuery();
  return bOk;
}

// ======================================================================
// Deleting
// ======================================================================

int CNADataAccess::bHSupprime(long record, eNA_LOCKTYPE lock) {
  if (!_bIsValidRecordNumber(record)) return 0;
  if (record == 0 && m_nOriginalRecordSave != knNoRecordSave && !bRestoreOriginalRecordSave(m_nOriginalRecordSave))
    return 0;
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  eNA_LOCKTYPE eLockDone = NA_LOCKTYPE_NONE;
  int bOk = bLockRecord(pclStatement, WriteLock(lock), record, &eLockDone);
  if (bOk) bOk = _bOperation(pclStatement, NA_QUERY_DELETE, static_cast<NA_WRITEPARSEFLAGS>(0), nullptr);
  if (bOk) bOk = bUnlockRecord(pclStatement, NA_LOCKTYPE_DEFAULT, 0, nullptr);
  pclStatement->ResetQuery();
  if (!bOk) return 0;
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord != nullptr) pclRecord->SetDeleted();
  return 1;
}

// ======================================================================
// Automatic identifiers and single values
// ======================================================================

INAItemDescription* CNADataAccess::pclGetIdAutoItem() {
  if (m_piDataSource == nullptr) return nullptr;
  const std::uint32_t nKeys = m_piDataSource->nGetNumKeys();
  for (std::uint32_t n = 0; n < nKeys; ++n) {
    INAItemDescription* piKey = m_piDataSource->piNAGetKey(n);
    if (piKey == nullptr) continue;
    const eNA_ITEMTYPE eType = piKey->eNAGetItemType();
    if (eType == NA_IT_IDAUTO4 || eType == NA_IT_IDAUTO) return piKey;
    piKey->nExternalRelease();
  }
  return nullptr;
}

int CNADataAccess::_bGetRequestedValue(CAny* value, CNACommand* command) {
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  const int bOk = _bGetRequestedValue(pclStatement, value, command);
  pclStatement->ResetQuery();
  return bOk;
}

int CNADataAccess::_bGetRequestedValue(CNAStatement* statement, CAny* value, CNACommand* command) {
  if (statement == nullptr || command == nullptr) return 0;
  if (!statement->bExecuteDirectNewCommand(command, static_cast<NA_WRITEPARSEFLAGS>(0), NA_ST_PREPARE)) return 0;
  return statement->bGetResultValue(value, 0);
}
