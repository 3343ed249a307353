// Saved positions of a data access: their registry and identifiers, the
// restore of the record, their comparison, and the record-number questions
// of a layer that has no record numbers.
#include <climits>
#include <cwchar>

#include "AnyOperators.h"
#include "CAny.h"
#include "CNADataAccess.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAPosition.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "INAItemDescription.h"

namespace {
// Debug sites of this file's reports.
constexpr int knSiteCurrentPosition = 1;
constexpr int knSiteRestoreUnknown = 2;
constexpr int knSiteSaveNoStatement = 3;
constexpr int knSiteCompareFirst = 19;
constexpr int knSiteCompareSecond = 20;
constexpr int knSiteNoIdentifierLeft = 30;
// User errors.
constexpr unsigned int knErrNoCurrentRecord = 7;
constexpr unsigned int knErrUnknownPosition = 11;
constexpr unsigned int knErrNoIdentifierLeft = 87;
// The restore's item buffer: 255 characters, the terminator included.
constexpr std::size_t knItemRoom = 255;
// The runtime's comparison answers above this code on failure.
constexpr int knLastSuccessCode = 99;
}  // namespace

int CNADataAccess::ms_nPositionID = 1;

// ======================================================================
// Save, restore, free
// ======================================================================

int CNADataAccess::bHSauvePosition(int* position, const wchar_t* item, unsigned int kind) {
  return _bGetPosition(position, item, kind);
}

int CNADataAccess::bHRetourPosition(int position, wchar_t* item, int keep, unsigned int kind) {
  return _bSetPosition(item, position, keep, kind);
}

int CNADataAccess::bHLiberePosition(int position) { return _bFreePosition(position); }

int CNADataAccess::_bGetPosition(int* position, const wchar_t* item, unsigned int /*kind*/) {
  if (position == nullptr || item == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteSaveNoStatement, knErrNoCurrentRecord, item);
    return 0;
  }
  // The identifier counter is shared by every data access of the process.
  CNADriverLock clLock;
  if (ms_nPositionID == INT_MAX) {
    // The next identifier would wrap onto ones already handed out.
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteNoIdentifierLeft, knErrNoIdentifierLeft, item);
    return 0;
  }
  CNAPosition* pclPosition = pclAllocPosition();
  if (pclPosition == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclPosition->AddRef();
  pclPosition->SetItem(item);
  CNAStatement* pclStatement = _pclFindStatement(item);
  if (pclStatement == nullptr) pclStatement = _pclInitStatement(item);
  if (pclStatement == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteSaveNoStatement, knErrNoCurrentRecord, item);
    pclPosition->nRelease();
    return 0;
  }
  // The statement's own rule: a position is taken whatever the save asked.
  int bOk = pclStatement->bGetPosition(pclPosition, 0);
  if (m_nOriginalRecordSave != knNoRecordSave)
    pclPosition->SetRecordSaveID_VerrueHAjouteHLit(this, static_cast<int>(m_nOriginalRecordSave));
  if (bOk) {
    const int nId = ms_nPositionID;
    if (!m_htPositions.bAddElement(nId, pclPosition)) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      bOk = 0;
    } else if (!pclStatement->bAddSavedPosition(nId, pclPosition)) {
      // A save the statement cannot keep leaves no trace and consumes no
      // identifier.
      m_htPositions.bDeleteElement(nId);
      bOk = 0;
    } else {
      *position = nId;
      ++ms_nPositionID;
    }
  }
  pclPosition->nRelease();
  pclStatement->nRelease();
  return bOk;
}

int CNADataAccess::_bSetPosition(wchar_t* item, int position, int keep, unsigned int kind) {
  CNAPosition* pclPosition = _pclFindPosition(position);
  if (pclPosition == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteRestoreUnknown, knErrUnknownPosition);
    return 0;
  }
  if (item != nullptr) {
    const wchar_t* pszItem = pclPosition->pszGetItem() != nullptr ? pclPosition->pszGetItem() : L"";
    std::size_t nLength = std::wcslen(pszItem);
    if (nLength > knItemRoom - 1) nLength = knItemRoom - 1;
    std::wmemcpy(item, pszItem, nLength);
    item[nLength] = 0;
  }
  int bOk = _bRestorePositionStatement(pclPosition, kind);
  if (bOk) {
    CNARecordValue* pclCurrent =
        m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValue() : nullptr;
    if (pclCurrent != nullptr) pclCurrent->SetRecordState(NA_RECORDSTATE_READ);
    // The write copy the position remembers comes back (the new one is
    // referenced before the old one is given back).
    const std::int32_t nSave = pclPosition->nGetRecordSaveIDAfterAdd();
    SetOriginalRecordSave(nSave == CNAPosition::knNone ? knNoRecordSave : static_cast<std::uint32_t>(nSave));
    if (nSave != CNAPosition::knNone) {
      bOk = bRestoreOriginalRecordSave(static_cast<std::uint32_t>(nSave));
      if (bOk) bOk = bCopyOriginalRecordToCurrentRecord();
    }
  }
  pclPosition->nRelease();
  if (!keep) bOk = _bFreePosition(position) && bOk ? 1 : 0;
  return bOk;
}

int CNADataAccess::_bRestorePositionStatement(CNAPosition* position, unsigned int kind) {
  if (position == nullptr) return 0;
  // The statement registered under the item lives across the restore.
  CNAStatement* pclRegistered = _pclFindStatement(position->pszGetItem());
  CNAStatement* pclOwn = position->pclGetStatementNoRef();
  int bOk = 0;
  if (pclOwn != nullptr) {
    // The last statement is a plain pointer the registry keeps alive: a
    // statement no longer registered under the item (renamed or replaced
    // since) restores its position without becoming the last one, which
    // would outlive it once the position is freed.
    if (pclOwn == pclRegistered) m_pclLastStatement = pclOwn;
    bOk = pclOwn->bSetPosition(position, static_cast<int>(kind));
  } else {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteRestoreUnknown, knErrUnknownPosition);
  }
  if (pclRegistered != nullptr) pclRegistered->nRelease();
  return bOk;
}

int CNADataAccess::_bFreePosition(int position) {
  CNAPosition* pclPosition = nullptr;
  // The registry's reference comes to this call.
  if (!m_htPositions.bDeleteElement(position, &pclPosition)) return 1;
  if (pclPosition == nullptr) return 1;
  CNAStatement* pclStatement = pclPosition->pclGetStatement();
  if (pclStatement != nullptr) {
    pclStatement->bRemoveSavedPosition(position);
    pclStatement->nRelease();
  }
  pclPosition->nRelease();
  return 1;
}

int CNADataAccess::_bDeleteAllSavedPosition() {
  while (m_htPositions.dwGetNumElement() > 0) {
    unsigned int nCursor = 0;
    CNAPosition* pclPosition = nullptr;
    int nId = 0;
    if (!m_htPositions.bParseTable(&nCursor, 0, &pclPosition, &nId)) break;
    m_htPositions.StopParsing();
    if (pclPosition != nullptr) pclPosition->AddRef();
    _bFreePosition(nId);
    if (pclPosition != nullptr) pclPosition->nRelease();
  }
  return 1;
}

CNAPosition* CNADataAccess::_pclFindPosition(int position) {
  CNAPosition* pclPosition = nullptr;
  if (!m_htPositions.bGetElement(position, &pclPosition)) return nullptr;
  return pclPosition;
}

// ======================================================================
// Comparison
// ======================================================================

int CNADataAccess::bCompareTablePosition(int first, int second, int* same) {
  if (first == second) {
    if (same != nullptr) *same = 1;
    return 1;
  }
  CNAPosition* pclFirst = _pclFindPosition(first);
  if (pclFirst == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCompareFirst, knErrUnknownPosition);
    return 0;
  }
  CNAPosition* pclSecond = _pclFindPosition(second);
  if (pclSecond == nullptr) {
    pclFirst->nRelease();
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCompareSecond, knErrUnknownPosition);
    return 0;
  }
  int nSame = 0;
  const int bOk = _bCompareTablePosition(pclFirst, pclSecond, &nSame);
  if (same != nullptr) *same = nSame;
  pclFirst->nRelease();
  pclSecond->nRelease();
  return bOk;
}

int CNADataAccess::_bCompareTablePosition(CNAPosition* first, CNAPosition* second, int* same) {
  int nSame = 0;
  if (first != nullptr && second != nullptr) {
    CNAStatement* pclStatement = first->pclGetStatementNoRef();
    if (pclStatement != nullptr && pclStatement == second->pclGetStatementNoRef()) {
      if (first->nGetRowID() != CNAPosition::knNone && second->nGetRowID() != CNAPosition::knNone)
        nSame = first->nGetRowID() == second->nGetRowID() ? 1 : 0;
      else if (!_bCheckRecordSaveID(first, second, &nSame))
        _bCheckReccordId(first, second, &nSame);
    } else {
      _bCheckRecordSaveID(first, second, &nSame);
    }
  }
  if (same != nullptr) *same = nSame;
  return 1;
}

int CNADataAccess::_bCheckRecordSaveID(CNAPosition* first, CNAPosition* second, int* same) {
  if (first == nullptr || second == nullptr || same == nullptr) return 0;
  auto nSaveOf = [](const CNAPosition* position) {
    const std::int32_t nAfterAdd = position->nGetRecordSaveIDAfterAdd();
    return nAfterAdd != CNAPosition::knNone ? nAfterAdd : position->nGetRecordSaveID();
  };
  const std::int32_t nFirst = nSaveOf(first);
  const std::int32_t nSecond = nSaveOf(second);
  if (nFirst == CNAPosition::knNone || nSecond == CNAPosition::knNone) return 0;
  if (nFirst == nSecond) {
    *same = 1;
    return 1;
  }
  INAItemDescription* piItem = piGetBestParseItemDesc();
  if (piItem == nullptr) return 0;
  int bDecided = 0;
  CAny clFirst;
  CAny clSecond;
  if (piItem->bUnique(0) && _bGetItemValueInRecordSave(&clFirst, static_cast<std::uint32_t>(nFirst), piItem) &&
      _bGetItemValueInRecordSave(&clSecond, static_cast<std::uint32_t>(nSecond), piItem)) {
    const bool bFirstNull = clFirst.bIsNull();
    const bool bSecondNull = clSecond.bIsNull();
    if (!bFirstNull && !bSecondNull) {
      int nEqual = -1;
      const int nCode = nEgalite(&clFirst, &clSecond, &nEqual, 0);
      // A failed comparison, or an answer that is neither yes nor no,
      // decides nothing.
      if (nCode <= knLastSuccessCode && (nEqual == 0 || nEqual == 1)) {
        *same = nEqual;
        bDecided = 1;
      }
    } else if (bFirstNull != bSecondNull) {
      *same = 0;
      bDecided = 1;
    }
  }
  piItem->nExternalRelease();
  return bDecided;
}

int CNADataAccess::_bCheckReccordId(CNAPosition* /*first*/, CNAPosition* /*second*/, int* /*same*/) { return 0; }

// ======================================================================
// Current position and record numbers
// ======================================================================

int CNADataAccess::bHPositionCourante(int* position, const wchar_t* item, int precision) {
  CNAStatement* pclStatement = item != nullptr ? _pclFindStatement(item) : nullptr;
  if (pclStatement == nullptr || !pclStatement->bParseStarted()) {
    if (pclStatement != nullptr) pclStatement->nRelease();
    if (position != nullptr) *position = -1;
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCurrentPosition, knErrNoCurrentRecord, item);
    return 0;
  }
  int nPerMille = -1;
  const int bOk = pclStatement->bHPositionCourante(&nPerMille, precision);
  if (position != nullptr) *position = nPerMille;
  pclStatement->nRelease();
  return bOk;
}

int CNADataAccess::bGetRecNumState(long record, unsigned int* state) {
  if (!_bIsValidRecordNumber(record)) return 0;
  CNARecordValue* pclCurrent = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValue() : nullptr;
  if (state != nullptr && pclCurrent != nullptr) *state = static_cast<unsigned int>(pclCurrent->eGetRecordState());
  return 1;
}
