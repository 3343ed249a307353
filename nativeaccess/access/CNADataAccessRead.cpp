// CNADataAccess: reading and browsing. Reads on a key (first, last, next,
// previous), skips, reads by record number, the common fetch that chooses
// between the statement's rows, the table cache and a new SELECT, the
// SELECT with its record limit, and the resumption of a browse from the
// record where it stopped, duplicates of the key included.
#include <new>

#include "CHashTableBounce.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNADataAccessReport.h"
#include "CNADriver.h"
#include "CNAColumn.h"
#include "CNAError.h"
#include "CNAHeld.h"
#include "CNAItemDescription.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNATableCache.h"
#include "CSQLParserInfo.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

using kxaccess::AddAccessError;

// Sites of this file's reports.
constexpr int knSiteCannotTurn = 40;
constexpr int knSiteCannotResume = 41;
constexpr int knSiteFilterOnCache = 42;
constexpr int knSiteNoCommand = 43;

// User errors.
constexpr unsigned int knErrReadOnlyQuery = 35;  // a filter on rows of the table cache
constexpr unsigned int knErrCannotTurn = 82;
constexpr unsigned int knErrCannotResume = 83;

// Flags of a read (NA_WRITEPARSEFLAGS) that the read path tests.
constexpr unsigned int knFlagTableCache = 0x2000;     // browse through the table cache
constexpr unsigned int knFlagCachedRows = 0x4000;     // a query's rows are in the table cache
constexpr unsigned int knFlagsNoCache = 0x110000;     // no record cache, always the server
constexpr unsigned int knFlagSQLFace = 0x10000;
constexpr unsigned int knFlagDefaultOrder = 0x20000;  // the query's own order
constexpr unsigned int knFlagNoContinuation = 0x40000;
constexpr unsigned int knFlagNoResume = 0x100000;

// Automatic record limit: the cache size that asks for it, the bytes a
// block should hold, and the fewest rows it asks for.
constexpr std::int64_t knAutomaticCacheSize = -2;
constexpr std::uint64_t knAutomaticBlockBytes = 1048576;
constexpr std::int64_t knMinAutomaticLimit = 20;

// The prepare mode of a fetch that decided its own new parse on a query
// the platform prepared.
constexpr eNA_ST_PREPARE knPrepareRequested = static_cast<eNA_ST_PREPARE>(3);

bool bFirstOrLast(eNA_PARSEDIRECTION direction) { return direction == NA_PARSE_FIRST || direction == NA_PARSE_LAST; }

// The record limit of the statement's SELECT (NO_LIMIT without a command).
std::int64_t llStatementLimit(const CNAStatement* statement) {
  const CNACommand* pclCommand = statement->pclGetCommandNoRef();
  const std::int64_t llLimit = pclCommand != nullptr ? pclCommand->llGetRecordLimit() : CNAStatement::NO_LIMIT;
  return llLimit > 0 ? llLimit : CNAStatement::NO_LIMIT;
}

}  // namespace

// ======================================================================
// Reads on a key
// ======================================================================

int CNADataAccess::bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int bRead, int lock, int* lockResult,
                            unsigned int flags) {
  const wchar_t* pszItem = key != nullptr ? key : L"";
  // 1. The statement of the key.
  CNAStatement* pclStatement = nullptr;
  if (!m_bQueryBrowsePending) {
    pclStatement = _pclGetNewItemStatement(pszItem, direction, static_cast<NA_WRITEPARSEFLAGS>(flags));
  } else {
    // The first browse of a query just set up.
    CNAStatement* pclLast = m_pclLastStatement;
    if (m_pclLatestFilter == nullptr && pclLast != nullptr && !pclLast->bExistRechercheObject()) {
      const bool bSameItem = CHashTableBounce::nStringLogiqueCompare(pszItem, pclLast->pszGetParseKey()) == 0;
      const bool bLastDefaultOrder = (pclLast->nGetParseFlags() & knFlagDefaultOrder) != 0;
      if ((m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0 || (flags & knFlagDefaultOrder) != 0 ||
          (bSameItem && !bLastDefaultOrder))
        flags |= knFlagTableCache;
      if ((flags & knFlagNoResume) != 0) {
        pclLast->EnableCache(0);
        _FreeTableCache();
      }
    }
    if ((flags & knFlagCachedRows) != 0 && pclLast != nullptr &&
        CHashTableBounce::nStringLogiqueCompare(pclLast->pszGetCacheKey(), pszItem) == 0) {
      pclLast->AddRef();
      pclStatement = pclLast;
      pclStatement->SetParseStarted();
    } else {
      pclStatement = _pclGetNewItemStatement(pszItem, direction, static_cast<NA_WRITEPARSEFLAGS>(flags));
    }
  }
  m_bQueryBrowsePending = 0;
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);

  int bNewParse = 0;
  if (!bFirstOrLast(direction)) {
    // 2. A filter changed since the browse began: resume from the record.
    if (pclStatement->bParseStarted() && !pclStatement->bFilterUnchanged())
      pclStatement->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION);
  } else {
    // 3. A new query or the caches.
    if ((flags & knFlagTableCache) != 0 && pclStatement->bParseStarted()) {
      const bool bSameSetting =
          ((pclStatement->nGetParseFlags() ^ flags) & knFlagDefaultOrder) == 0 || m_pclTableCache != nullptr;
      if (!bSameSetting) flags &= ~knFlagTableCache;
    }
    bNewParse = !pclStatement->bFilterUnchanged() ? 1 : 0;
    if (!bIsQuery() && (flags & knFlagTableCache) != 0 && (flags & knFlagCachedRows) != 0) {
      const bool bReverse = (direction == NA_PARSE_LAST) != (pclStatement->bInvertFetch() != 0);
      const bool bRowsHeld = !pclStatement->bExistRechercheObject() &&
                             llStatementLimit(pclStatement) == CNAStatement::NO_LIMIT &&
                             pclStatement->bBlockStartsAtFirstRow() && pclStatement->bCacheCompleted();
      if (bReverse && !bRowsHeld) bNewParse = 1;
    }
    if (pclStatement->bExistRechercheObject() &&
        (m_pclTableCache == nullptr || bNewParse || (flags & knFlagTableCache) == 0)) {
      pclStatement->DesactivateRechercheUserAndInternal();
      bNewParse = 1;
    }
    pclStatement->AnnuleRechercheUser();
    pclStatement->SetParseFlags(flags);
    if ((flags & knFlagDefaultOrder) != 0) {
      const CTString csDefault = _csGetDefaultParseItem();
      pclStatement->SetParseKey(csDefault.pszGet());
    } else {
      pclStatement->SetParseKey(pszItem);
    }
    if (bNewParse || (flags & knFlagTableCache) == 0) _FreeTableCache();
  }

  // 4. The table cache or the server.
  int bOk = 1;
  const bool bServer = !bIsQuery() || (flags & knFlagsNoCache) != 0 ||
                       ((m_nQueryMode & NA_QUERYMODE_ASWRITTEN) == 0 && (flags & knFlagCachedRows) == 0 &&
                        !bQueryResultsetLimited());
  if (bServer) {
    if (m_pclConnection != nullptr && m_pclConnection->bOpenedBySQLRuntime() && (flags & knFlagSQLFace) != 0 &&
        (flags & knFlagTableCache) == 0)
      pclStatement->EnableCache(0);
  } else if (bNewParse || (flags & knFlagTableCache) == 0) {
    bOk = _bCreateNewTableCache(pclStatement);
    bNewParse = 1;
  } else if (m_pclTableCache == nullptr) {
    bOk = _bCreateNewTableCache(pclStatement);
    if (bOk && pclStatement->bCacheEnabled() && pclStatement->bFilterUnchanged() &&
        !pclStatement->bExistRechercheObject() && pclStatement->eParseNeedUpdate() == NA_PARSEUPDATE_NONE &&
        llStatementLimit(pclStatement) == CNAStatement::NO_LIMIT && pclStatement->bBlockStartsAtFirstRow()) {
      bOk = m_pclTableCache->bSetStatementParse(pclStatement) ? 1 : 0;
    } else {
      bNewParse = 1;
    }
  } else {
    const bool bComplete = m_pclTableCache->bCacheCompleted();
    const bool bParseItem = m_sQueryParseItem.nTaille() > 0 &&
                            CHashTableBounce::nStringLogiqueCompare(m_sQueryParseItem.pszGet(), pszItem) == 0;
    const bool bToServer =
        ((flags & knFlagDefaultOrder) != 0 && (m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0) ||
        (!bComplete && bParseItem) || (!bComplete && (flags & knFlagDefaultOrder) != 0) ||
        (m_pclConnection != nullptr && m_pclConnection->bOpenedBySQLRuntime());
    if (!bToServer) bOk = pclStatement->bOpenUsingTableCache();
  }

  // 5. The fetch.
  if (bOk)
    bOk = _bFetch(pclStatement, pszItem, direction, 1, bRead, static_cast<eNA_LOCKTYPE>(lock), lockResult,
                  static_cast<NA_WRITEPARSEFLAGS>(flags), bNewParse);
  // 6. A failed read.
  if (!bOk) {
    bOk = _bRepriseErreurParcours(pclStatement, pszItem, direction, static_cast<eNA_LOCKTYPE>(lock),
                                  reinterpret_cast<eNA_LOCKTYPE*>(lockResult), static_cast<NA_WRITEPARSEFLAGS>(flags));
    if (!bOk && m_pclTableCache != nullptr &&
        (m_pclTableCache->bInitDone() || m_pclTableCache->bIsStatementParse(pclStatement)))
      _FreeTableCache();
    return bOk;
  }
  // 7. A query read as written is read again from the table cache its
  // first pass filled.
  if (bFirstOrLast(direction) && bIsQuery() && (m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0 &&
      (flags & (knFlagDefaultOrder | knFlagTableCache)) == 0)
    return bHLitxxx(key, direction, bRead, lock, lockResult, flags | knFlagTableCache);
  return 1;
}

CTString CNADataAccess::_csGetDefaultParseItem() {
  if (m_pclQueryParserInfo != nullptr) {
    const wchar_t* pszOrder = m_pclQueryParserInfo->pszGetOrderByItem();
    if (pszOrder != nullptr && *pszOrder != 0) return CTString(pszOrder);
  }
  return csGetBestParseItemName();
}

int CNADataAccess::bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int bRead, int lock,
                               int* lockResult, unsigned int flags) {
  const wchar_t* pszItem = key != nullptr ? key : L"";
  CNAStatement* pclStatement = _pclGetNewItemStatement(pszItem, direction, static_cast<NA_WRITEPARSEFLAGS>(flags));
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  if (bFirstOrLast(direction) && pclStatement->bExistRechercheObject()) {
    // A skip from an end is a new browse: the condition the statement's
    // last continuation or search left must not narrow it.
    pclStatement->DesactivateRechercheUserAndInternal();
  }
  int bOk = _bFetch(pclStatement, pszItem, direction, count, bRead, static_cast<eNA_LOCKTYPE>(lock), lockResult,
                    static_cast<NA_WRITEPARSEFLAGS>(flags), 0);
  if (!bOk)
    bOk = _bRepriseErreurParcours(pclStatement, pszItem, direction, static_cast<eNA_LOCKTYPE>(lock),
                                  reinterpret_cast<eNA_LOCKTYPE*>(lockResult), static_cast<NA_WRITEPARSEFLAGS>(flags));
  return bOk;
}

// ======================================================================
// Reads by record number
// ======================================================================

int CNADataAccess::bHLit(long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) {
  if (m_nOriginalRecordSave == knNoRecordSave) return bMove(record, 1, lock, lockDone);
  // The saved copy of the current record outlives the read, which marks
  // the record read keeping it, and is the current one again afterwards.
  const std::uint32_t nSave = m_nOriginalRecordSave;
  AddRefRecordSave(nSave);
  int bOk = bSetCurrentRecordRead(1);
  if (bOk) bOk = bMove(record, 1, lock, lockDone);
  SetOriginalRecordSave(nSave);
  nReleaseRecordSave(nSave);
  return bOk;
}

int CNADataAccess::bMove(long record, int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) {
  if (!_bIsValidRecordNumber(record)) return 0;
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  const int bLocked = bLockRecord(pclStatement, lock, record, lockDone);
  const int bMoved = _bMove(record, bRead);
  if (pclStatement->eGetLockType() == NA_LOCKTYPE_DEFAULT) pclStatement->ResetStatement();
  return bLocked && bMoved ? 1 : 0;
}

int CNADataAccess::_bMove(long record, int bRead) {
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  CNAAdopted<CNAStatement> clStatement(pclStatement);
  const int bOk = pclStatement->bMove(record, bRead);
  if (bOk && pclStatement->bOutOfRange() && m_pclCurrentRecord != nullptr) {
    // The record is gone from the server: the runtime sees it as it was,
    // deleted.
    m_pclCurrentRecord->bCopyOriginalRecordToCurrentRecord();
    m_pclCurrentRecord->SetDeleted();
  }
  pclStatement->ResetStatement();
  return bOk;
}

// ======================================================================
// The common fetch
// ======================================================================

int CNADataAccess::_bFetch(CNAStatement* statement, const wchar_t* item, eNA_PARSEDIRECTION direction, long count,
                           int bRead, eNA_LOCKTYPE lock, int* lockResult, NA_WRITEPARSEFLAGS flags, int newParse) {
  if (statement == nullptr) return 0;
  const wchar_t* pszItem = item != nullptr ? item : L"";
  // 1. The lock type.
  if (!statement->bSetLockType(lock)) return 0;
  bool bNewParse = newParse != 0;
  eNA_ST_PREPARE ePrepare = NA_ST_PREPARE;
  if (!bNewParse) {
    ePrepare = bHPrepareRequeteCalled() ? knPrepareRequested : NA_ST_PREPARE;
    if (!bFirstOrLast(direction)) {
      // 2. Next and previous.
      if (statement->bParseBroken()) return 1;  // out of file until a new first or last
      const bool bAgainst = (direction == NA_PARSE_PREVIOUS) != (statement->bInvertFetch() != 0);
      if (statement->eParseNeedUpdate() == NA_PARSEUPDATE_NONE && statement->bParseStarted() &&
          !statement->bCanFetchBackward() && statement->pclGetRecordCacheNoRef() == nullptr &&
          m_pclTableCache == nullptr && bAgainst) {
        if (!statement->bCanUpdateParse()) {
          AddAccessError(this, knSiteCannotTurn, knErrCannotTurn, pszItem, pszGetLogicalName(), pszItem);
          return 0;
        }
        statement->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION);
      }
      if ((statement->eParseNeedUpdate() != NA_PARSEUPDATE_NONE || !statement->bParseStarted()) &&
          m_pclTableCache == nullptr)
        return _bUpdateParse(0, statement, bRead, direction, count);
    } else if ((flags & knFlagTableCache) == 0) {
      // 3. First and last read anew.
      bNewParse = true;
    } else if (m_pclTableCache != nullptr) {
      if (!m_pclTableCache->bIsStatementParse(statement) && m_pclTableCache->pclGetFullCache() == nullptr) return 0;
    } else {
      const std::int64_t llLimit = llStatementLimit(statement);
      const bool bNoLimit = llLimit == CNAStatement::NO_LIMIT;
      const bool bFirstBlock = statement->bBlockStartsAtFirstRow() != 0;
      const bool bInverted = statement->bInvertFetch() != 0;
      const bool bServed = (direction == NA_PARSE_FIRST) != bInverted ? bFirstBlock : bNoLimit;
      const bool bReuse = statement->eParseNeedUpdate() == NA_PARSEUPDATE_NONE && statement->bParseStarted() &&
                          (bNoLimit || count <= llLimit) && bServed;
      if (!bReuse) bNewParse = true;
    }
  }
  if (bNewParse) {
    // 4. A new SELECT.
    statement->ClearParseBroken();
    statement->bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, CNAStatement::knNoSave);
    const bool bAsWritten = bIsQuery() && (m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0;
    if (bAsWritten && statement->bExistFilter()) {
      AddAccessError(this, knSiteFilterOnCache, knErrReadOnlyQuery, pszItem, pszGetLogicalName(), pszItem);
      return 0;
    }
    // Last and previous read the reverse order forward.
    const int bAscending = bAsWritten || direction == NA_PARSE_FIRST || direction == NA_PARSE_NEXT ? 1 : 0;
    if (!_bOpenStatement(statement, pszItem, bAscending, flags, &count, ePrepare)) return 0;
  }
  // 5. Only positioned.
  if (!bRead && count == 0) return 1;
  // 6. The place to go back to when the lock fails.
  CNAPosition* pclPosition = nullptr;
  if (lock == static_cast<eNA_LOCKTYPE>(2) || lock == static_cast<eNA_LOCKTYPE>(3)) {
    pclPosition = pclAllocPosition();
    if (pclPosition != nullptr) {
      pclPosition->AddRef();
      statement->bGetPosition(pclPosition, 0);
    }
  }
  CNAAdopted<CNAPosition> clPosition(pclPosition);
  // 7. The fetch and its lock.
  long nFetched = 0;
  int bOk = statement->bFetch(direction, bRead, count, &nFetched);
  if (bOk && !statement->bOutOfRange() &&
      !bLockUnlockRecord(statement, lock, 0, reinterpret_cast<eNA_LOCKTYPE*>(lockResult))) {
    if (pclPosition != nullptr) statement->bSetPosition(pclPosition, 0);
    bOk = 0;
  }
  // 8. A search that ran out of its values goes on past them when it may.
  if (bOk && statement->bOutOfRange() && (m_pclTableCache == nullptr || !m_pclTableCache->bCacheCompleted()) &&
      statement->bExistRechercheObject() && (flags & knFlagNoContinuation) == 0 &&
      (statement->nGetParseFlags() & knFlagNoContinuation) == 0) {
    const eNA_PARSEDIRECTION eOn =
        direction == NA_PARSE_FIRST || direction == NA_PARSE_NEXT ? NA_PARSE_FIRST : NA_PARSE_LAST;
    CNARecherche* pclSearch = statement->pclGetRecherche();
    if (pclSearch != nullptr && pclSearch->bPeutContinuerParcours(eOn)) {
      statement->bSetContinueParcours(eOn);
      const long nLeft = count > nFetched ? count - nFetched : 1;
      bOk = _bFetch(statement, pszItem, eOn, nLeft, bRead, NA_LOCKTYPE_DEFAULT, nullptr, flags, 1);
      if (bOk && statement->bOutOfRange()) pclSearch->bReviensParcoursPrecedent(eOn);
    }
  }
  return bOk;
}

// ======================================================================
// The SELECT and its record limit
// ======================================================================

int CNADataAccess::_bOpenStatement(CNAStatement* statement, const wchar_t* item, int ascending, unsigned int flags,
                                   long* count, eNA_ST_PREPARE prepare) {
  CNACommand* pclCommand = pclAllocCommand(m_pclError);
  if (pclCommand == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CNAHeld<CNACommand> clCommand(pclCommand);
  if (!bBuildSelect(pclCommand, statement, item, ascending, flags, count)) return 0;
  if (!statement->bExecute(static_cast<NA_WRITEPARSEFLAGS>(flags), prepare)) return 0;
  // The widest row met decides the automatic size of the next SELECTs.
  const std::uint64_t nRow = statement->nGetRowMaxLen();
  if (nRow > m_nMaxRowLength) m_nMaxRowLength = nRow;
  if ((flags & knFlagsNoCache) != 0) {
    statement->EnableCache(0);
    return 1;
  }
  const bool bRowsInTableCache = bIsQuery() && ((m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0 ||
                                                (flags & knFlagCachedRows) != 0 || bQueryResultsetLimited());
  if (bRowsInTableCache && m_pclTableCache != nullptr) return m_pclTableCache->bSetStatementParse(statement) ? 1 : 0;
  if (statement->bDefaultParseNeedRecordCache()) statement->EnableCache(1);
  return 1;
}

int CNADataAccess::bBuildSelect(CNACommand* command, CNAStatement* statement, const wchar_t* key, int ascending,
                                unsigned int flags, long* count) {
  if (command == nullptr || statement == nullptr) return 0;
  command->SetQueryType(TYPEREQUETE_SELECT);
  statement->ResetQuery();
  // The statement builds into its own command.
  statement->_SetQuery(command);
  CNACommand* pclWhere = pclAllocCommand(m_pclError);
  if (pclWhere == nullptr) {
    AddAccessError(this, knSiteNoCommand, 12, key);
    return 0;
  }
  CNAHeld<CNACommand> clWhere(pclWhere);
  if (!statement->bGetClauseWHERE(pclWhere)) return 0;
  if (!statement->bBuildQuerySELECT(command, static_cast<NA_WRITEPARSEFLAGS>(flags), key, ascending, pclWhere))
    return 0;
  const std::int64_t llLimit = _llGetRecordLimit(key);
  if (llLimit < 1) {
    // None: never "LIMIT 0".
    command->SetRecordLimit(CNAStatement::NO_LIMIT);
    return 1;
  }
  if (count != nullptr && *count > 0 && llLimit <= *count) {
    // A long skip: the server passes over all but the last few records.
    const long nTail = llLimit < 21 ? static_cast<long>(llLimit / 3 + 1) : 10;
    command->SetLimitOffset(*count - nTail);
    *count = nTail;
  }
  command->SetRecordLimit(llLimit);
  return 1;
}

std::int64_t CNADataAccess::_llGetRecordLimit(const wchar_t* item) {
  if (bIsQuery() && m_pclQueryParserInfo != nullptr &&
      ((m_nQueryMode & (NA_QUERYMODE_ASWRITTEN | NA_QUERYMODE_JOIN)) != 0 || bQueryResultsetLimited()))
    return CNAStatement::NO_LIMIT;
  if (!_bEnableRecordLimit(item)) return CNAStatement::NO_LIMIT;
  const std::int64_t llSize = m_pclConnection != nullptr ? m_pclConnection->llGetCacheSize() : knAutomaticCacheSize;
  if (llSize != knAutomaticCacheSize) return llSize;
  if (m_nMaxRowLength == 0) {
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    return pclDriver != nullptr ? pclDriver->llGetValue() : CNAStatement::NO_LIMIT;
  }
  const std::int64_t llRows = static_cast<std::int64_t>(knAutomaticBlockBytes / m_nMaxRowLength);
  return llRows < knMinAutomaticLimit ? knMinAutomaticLimit : llRows;
}

int CNADataAccess::bHPrepareRequeteCalled() {
  return bIsQuery() && m_pclQueryParserInfo != nullptr && m_pclQueryParserInfo->bHPrepareRequeteCalled() ? 1 : 0;
}

int CNADataAccess::bQueryResultsetLimited() {
  if (!bIsQuery() || bRequeteSansCorrection() || m_pclQueryParserInfo == nullptr) return 0;
  return m_pclQueryParserInfo->bQueryResultsetLimited(m_pclConnection) ? 1 : 0;
}

int CNADataAccess::_bInvertFetch(CNAStatement* /*statement*/, eNA_PARSEDIRECTION /*direction*/) { return 0; }

// ======================================================================
// Resuming a browse
// ======================================================================

int CNADataAccess::_bUpdateParse(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction,
                                 long count) {
  if (!statement->bCanUpdateParse() && (statement->nGetParseFlags() & knFlagNoResume) != 0) {
    const wchar_t* pszItem = statement->pszGetParseKey();
    AddAccessError(this, knSiteCannotResume, knErrCannotResume, pszItem, pszGetLogicalName(), pszItem);
    return 0;
  }
  // Without a save the browse goes on from the original record as it
  // stands (the record read last through this access).
  const std::uint32_t nSave = statement->nGetRecordSaveID();
  if (nSave != CNAStatement::knNoSave && !bRestoreOriginalRecordSave(nSave)) return 0;
  return bGoToOriginalRecord(keep, statement, bRead, direction, count);
}

int CNADataAccess::bGoToOriginalRecord(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction,
                                       long count) {
  CNAHeldItem clItem(piGetItemDescription(statement->pszGetParseKey()));
  if (clItem.p == nullptr) return 1;
  return _bGoToOriginalRecord(keep, statement, clItem.p, bRead, direction, count);
}

int CNADataAccess::bGoToStmtOriginalRecord(int keep, CNAStatement* statement, int bRead,
                                           eNA_PARSEDIRECTION direction, long count) {
  if (statement == nullptr || m_pclCurrentRecord == nullptr) return 0;
  CNARecordValue* pclOriginal = m_pclCurrentRecord->pclGetOriginalRecordValue();
  const CNARecordValue* pclFrom = statement->pclGetStmtOriginalRecord();
  if (pclOriginal == nullptr || pclFrom == nullptr) return _bNotAvailable(knSiteCannotResume);
  CNARecordValue* pclKept = pclOriginal->pclGetClone(NA_COPY_ALL);
  if (pclKept == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CNAHeld<CNARecordValue> clKept(pclKept);
  if (!pclOriginal->bCopyRecordValue(pclFrom, NA_COPY_ALL)) return 0;
  int bOk = 0;
  int nOut = 1;
  try {
    bOk = bGoToOriginalRecord(keep, statement, bRead, direction, count);
    statement->HEndehors(&nOut);
  } catch (...) {
    pclOriginal->bCopyRecordValue(pclKept, NA_COPY_ALL);
    throw;
  }
  if (!bOk || keep || nOut) pclOriginal->bCopyRecordValue(pclKept, NA_COPY_ALL);
  return bOk;
}

int CNADataAccess::_bGoToOriginalRecord(int keep, CNAStatement* statement, INAItemDescription* item, int bRead,
                                        eNA_PARSEDIRECTION direction, long count) {
  if (m_pclCurrentRecord == nullptr) return 0;
  int bOk = 0;
  int nOut = 1;
  {
    kxaccess::RecordBuffersKept clKept(m_pclCurrentRecord);
    if (!clKept.bValid()) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    if (!m_pclCurrentRecord->bCopyOriginalRecordToCurrentRecord()) return 0;
    bOk = _bGoToCurrentRecord(statement, item, bRead, direction, count);
    statement->HEndehors(&nOut);
    if (bOk && !keep && !nOut) {
      clKept.Keep();
      return 1;
    }
  }
  if (!bOk || nOut) {
    // The next read resumes from the record this one went on from.
    const std::uint32_t nSave = nKeepOriginalRecordSave(nullptr);
    if (nSave != knNoRecordSave) {
      statement->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave);
      // The statement took its own reference.
      nReleaseRecordSave(nSave);
    }
  }
  return bOk;
}

int CNADataAccess::_bGoToCurrentRecord(CNAStatement* statement, INAItemDescription* item, int bRead,
                                       eNA_PARSEDIRECTION direction, long count) {
  const wchar_t* pszItem = item->pszGetName();
  const long nRank = m_pclCurrentRecord->nGetDuplicateRank();
  // Records equal on the item are told apart by a unique best browse item
  // with a value; otherwise the run of duplicates is counted.
  bool bDuplicates = true;
  {
    CNAHeldItem clBest(piGetBestParseItemDesc());
    CNAColumn* pclBest = clBest.p != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(clBest.p) : nullptr;
    if (pclBest != nullptr && clBest.p->bUnique(0) && pclBest->bValueDefined()) bDuplicates = false;
  }
  CNARecherche* pclSearch = statement->pclGetRecherche();
  if (pclSearch == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  statement->PrepareInternalSearch();
  int bOk = 0;
  try {
    bOk = pclSearch->bRechercheEnreg(m_pclCurrentRecord, item, NA_PARSE_FIRST, 0, nullptr);
    if (bOk && bDuplicates) bOk = _bGotoCurrentRecord_DuplicateProcess(nRank, &direction, &count, statement);
    if (bOk) {
      const NA_WRITEPARSEFLAGS eFlags =
          static_cast<NA_WRITEPARSEFLAGS>(statement->nGetParseFlags() | knFlagNoContinuation);
      if (direction == NA_PARSE_CURRENT) {
        bOk = _bFetch(statement, pszItem, NA_PARSE_FIRST, count > 0 ? count : 1, bRead, NA_LOCKTYPE_NONE, nullptr,
                      eFlags, 1);
        if (bOk && statement->bOutOfRange()) {
          statement->CurrentRecordNotFound(pszItem);
          bOk = 0;
        }
      } else {
        const bool bForward = direction == NA_PARSE_FIRST || direction == NA_PARSE_NEXT;
        statement->bSetContinueParcours(bForward ? NA_PARSE_FIRST : NA_PARSE_LAST);
        bOk = _bFetch(statement, pszItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, count, bRead,
                      NA_LOCKTYPE_NONE, nullptr, eFlags, 1);
      }
    }
  } catch (...) {
    statement->AnnuleRecherche();
    throw;
  }
  statement->AnnuleRecherche();
  return bOk;
}

int CNADataAccess::_bGotoCurrentRecord_DuplicateProcess(long rank, eNA_PARSEDIRECTION* direction, long* count,
                                                        CNAStatement* statement) {
  // The run of the record being resumed from, on the key being browsed
  // (the best browse item's run would be another one), counted on the
  // current record as it stands.
  long nRun = 0;
  int bCounted = 0;
  if (statement != nullptr) {
    CNAHeldItem clItem(piGetItemDescription(statement->pszGetParseKey()));
    bCounted = _bCountRelative(&nRun, 16, 0, nullptr, clItem.p, NA_PARSE_CURRENT);
  } else {
    bCounted = bGetNbEnr(&nRun, 16, 0, nullptr, NA_PARSE_CURRENT);
  }
  if (!bCounted) nRun = 0;
  const long r = rank + 1;
  const long c = *count;
  switch (*direction) {
    case NA_PARSE_PREVIOUS:
      if (c < r && c < nRun) {
        *direction = NA_PARSE_CURRENT;
        *count = r - c;
      } else {
        *count = c - r + 1;
      }
      break;
    case NA_PARSE_NEXT:
      if (c + r <= nRun) {
        *direction = NA_PARSE_CURRENT;
        *count = c + r;
      } else if (r <= nRun) {
        *count = c + r - nRun;
      }
      break;
    case NA_PARSE_CURRENT:
      if (r <= nRun)
        *count = r;
      else if (nRun >= 1)
        *count = nRun;
      break;
    default:
      break;
  }
  return 1;
}
