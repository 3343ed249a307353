#include "BrowseAccess.h"

#include <chrono>
#include <cwctype>
#include <new>

#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAHeld.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "INAItemDescription.h"
#include "SaveCount.h"

namespace kxtest {

namespace {

// Location of this access's reports.
constexpr int knLocationArea = 72;
constexpr int knSiteOpen = 1;
constexpr int knSiteDirection = 2;
constexpr int knSiteResume = 3;
constexpr int knSiteDuplicates = 4;
constexpr int knSiteStatement = 5;
constexpr int knSiteWrite = 6;

// User errors.
constexpr unsigned int knErrMemory = 12;
constexpr unsigned int knErrNotAvailable = 38;   // not for this browse
constexpr unsigned int knErrCannotTurn = 82;     // no way back, no way to resume
constexpr unsigned int knErrCannotResume = 83;   // a resume needed, not possible

// A read's flag: the browse must not be resumed by a new SELECT.
constexpr unsigned int knFlagNoResume = 0x100000;

// Without a row length yet, the driver's default block; then blocks of
// about this many bytes, at least knMinAutomaticLimit rows.
constexpr std::uint64_t knAutomaticBlockBytes = 1048576;
constexpr std::int64_t knMinAutomaticLimit = 20;

// A skip of at least a block: what is left to read after the server's
// offset.
long SkipTail(std::int64_t limit) { return limit < 21 ? static_cast<long>(limit / 3 + 1) : 10; }

// Adds the time from its making to its end to *total.
class TextTimer {
 public:
  explicit TextTimer(double* total) : m_pdTotal(total), m_tStart(std::chrono::steady_clock::now()) {}
  ~TextTimer() { *m_pdTotal += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_tStart).count(); }
  TextTimer(const TextTimer&) = delete;
  TextTimer& operator=(const TextTimer&) = delete;

 private:
  double* m_pdTotal;
  std::chrono::steady_clock::time_point m_tStart;
};

bool SameName(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  return *a == *b;
}

}  // namespace

// ======================================================================
// The table
// ======================================================================

BrowseTable::BrowseTable(const std::wstring& dbName) : m_sName(dbName) {}

BrowseTable::~BrowseTable() {
  for (CNAItemDescription* p : m_tabItems) p->nRelease();
}

CNAItemDescription* BrowseTable::pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size,
                                        std::uint16_t keyFlags) {
  CNAItemDescription* p = new CNAItemDescription;
  p->AddRef();
  p->bInit(name, m_sName.c_str(), name, 1, size, type, static_cast<std::uint32_t>(m_tabItems.size()), -1, keyFlags,
           0, 0);
  p->SetOffset(m_nSize);
  m_nSize += p->nGetTotalSize();
  m_tabItems.push_back(p);
  return p;
}

INAItemDescription* BrowseTable::piNAGetItem(const wchar_t* name) {
  for (CNAItemDescription* p : m_tabItems) {
    if (SameName(p->pszGetName(), name)) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}

INAItemDescription* BrowseTable::piNAGetItem(std::uint32_t index) {
  if (index >= m_tabItems.size()) return nullptr;
  m_tabItems[index]->ExternalAddRef();
  return m_tabItems[index];
}

INAItemDescription* BrowseTable::piGetBestParseItemDesc() {
  if (m_pclBest != nullptr) m_pclBest->ExternalAddRef();
  return m_pclBest;
}

// ======================================================================
// The access
// ======================================================================

BrowseAccess::BrowseAccess(BrowseTable* table, CNAConnectionDescription* connection, CNAError* error)
    : CNADataAccess(table, connection, error), m_pclTable(table) {}

BrowseAccess::~BrowseAccess() {
  // Statements first: closing tells this access, and they give their saves
  // back through it.
  _CloseAllStatement();
  SetCurrentRecord(nullptr);
  if (m_pclRecord != nullptr) m_pclRecord->nRelease();
}

bool BrowseAccess::bInit() {
  if (m_pclRecord != nullptr) return true;
  CNARecord* pclRecord = new CNARecord(pclGetError(), this);
  pclRecord->AddRef();
  if (!pclRecord->bInitRecord(m_pclTable, nullptr, pclGetConnection())) {
    pclRecord->nRelease();
    return false;
  }
  m_pclRecord = pclRecord;
  SetCurrentRecord(pclRecord);
  return true;
}

std::wstring BrowseAccess::_sKey(const wchar_t* item) {
  std::wstring s;
  for (const wchar_t* p = item; p != nullptr && *p != 0; ++p) s += static_cast<wchar_t>(std::towlower(*p));
  return s;
}

CNAStatement* BrowseAccess::_pclAllocStatement(CNADataAccess* owner, CNAError* error) {
  return new (std::nothrow) CNAStatement(owner, error);
}

CNAStatement* BrowseAccess::_pclGetBrowseStatement(const wchar_t* item, unsigned int flags) {
  CNAStatement* pclStatement = _pclGetNewItemStatement(item, NA_PARSE_FIRST, static_cast<NA_WRITEPARSEFLAGS>(flags));
  if (pclStatement == nullptr) {
    _AddUserError(knSiteStatement, knErrMemory, item);
    return nullptr;
  }
  // The registry holds it.
  pclStatement->nRelease();
  m_mapFlags.emplace(_sKey(item), flags);
  // Without a driver-level statement the driver's error says why.
  return pclStatement->pclGetStatementSQLNoRef() != nullptr ? pclStatement : nullptr;
}

CNAStatement* BrowseAccess::pclGetItemStatement(const wchar_t* key) {
  CNAStatement* pclStatement = _pclFindStatement(key);
  if (pclStatement != nullptr) pclStatement->nRelease();  // the registry holds it
  return pclStatement;
}

unsigned int BrowseAccess::_nBrowseFlags(CNAStatement* statement) const {
  auto it = m_mapFlags.find(_sKey(statement->pszGetParseKey()));
  return it != m_mapFlags.end() ? it->second : 0;
}

int BrowseAccess::nSavesHeld() const { return kxtest::nSavesHeld(this); }

void BrowseAccess::_AddUserError(int site, unsigned int code, const wchar_t* item) {
  CNAError* pclError = pclGetError();
  if (pclError == nullptr) return;
  const bool bFirst = pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, site, pclGetConnection(), code, pszGetLogicalName(),
                     item != nullptr ? item : L"");
  if (bFirst) pclError->SetInfoNames(pszGetLogicalName(), item);
}

// ======================================================================
// Reads
// ======================================================================

void BrowseAccess::_StartBrowse(CNAStatement* statement, const wchar_t* key, unsigned int flags) {
  // Whatever search the statement held (the one its last continuation
  // went on with) does not narrow the new browse.
  if (statement->bExistRechercheObject()) statement->DesactivateRechercheUserAndInternal();
  statement->AnnuleRechercheUser();
  statement->SetParseFlags(flags);
  statement->SetParseKey(key);
  m_mapFlags[_sKey(key)] = flags;
}

int BrowseAccess::bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int bRead, int lock, int* lockResult,
                           unsigned int flags) {
  if (lockResult != nullptr) *lockResult = 0;
  if (m_pclRecord == nullptr && !bInit()) return 0;
  CNAStatement* pclStatement = _pclGetBrowseStatement(key, flags);
  if (pclStatement == nullptr) return 0;
  if (direction == NA_PARSE_FIRST || direction == NA_PARSE_LAST) _StartBrowse(pclStatement, key, flags);
  return _bFetch(pclStatement, key, direction, 1, bRead, static_cast<eNA_LOCKTYPE>(lock), lockResult,
                 static_cast<NA_WRITEPARSEFLAGS>(flags), 0);
}

int BrowseAccess::bSkipRecord(const wchar_t* key, eNA_PARSEDIRECTION direction, long count, int bRead, int lock,
                              int* lockResult, unsigned int flags) {
  if (lockResult != nullptr) *lockResult = 0;
  if (m_pclRecord == nullptr && !bInit()) return 0;
  CNAStatement* pclStatement = _pclGetBrowseStatement(key, flags);
  if (pclStatement == nullptr) return 0;
  if (direction == NA_PARSE_FIRST || direction == NA_PARSE_LAST) _StartBrowse(pclStatement, key, flags);
  return _bFetch(pclStatement, key, direction, count, bRead, static_cast<eNA_LOCKTYPE>(lock), lockResult,
                 static_cast<NA_WRITEPARSEFLAGS>(flags), 0);
}

int BrowseAccess::bHEndehors(const wchar_t* key, int* out) {
  CNAStatement* pclStatement = pclGetItemStatement(key);
  if (pclStatement == nullptr) {
    if (out != nullptr) *out = 1;
    return 1;
  }
  pclStatement->HEndehors(out);
  return 1;
}

int BrowseAccess::_bFetch(CNAStatement* statement, const wchar_t* item, eNA_PARSEDIRECTION direction, long count,
                          int bRead, eNA_LOCKTYPE lock, int* /*lockResult*/, NA_WRITEPARSEFLAGS flags,
                          int newParse) {
  if (!statement->bSetLockType(lock)) return 0;
  const bool bFirstOrLast = direction == NA_PARSE_FIRST || direction == NA_PARSE_LAST;
  bool bNewParse = newParse != 0 || bFirstOrLast;
  if (!bNewParse) {
    // Going against the statement's order on a statement that cannot read
    // back means a new SELECT from the current record.
    const bool bAgainst = (direction == NA_PARSE_PREVIOUS) != (statement->bInvertFetch() != 0);
    if (statement->eParseNeedUpdate() == NA_PARSEUPDATE_NONE && statement->bParseStarted() &&
        !statement->bCanFetchBackward() && statement->pclGetRecordCacheNoRef() == nullptr && bAgainst) {
      if (!statement->bCanUpdateParse()) {
        _AddUserError(knSiteDirection, knErrCannotTurn, item);
        return 0;
      }
      statement->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION);
    }
    if (statement->eParseNeedUpdate() != NA_PARSEUPDATE_NONE || !statement->bParseStarted())
      return _bUpdateParse(0, statement, bRead, direction, count);
  } else {
    statement->bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, CNAStatement::knNoSave);
    // First and next read the key's order, last and previous its reverse
    // forward.
    const int bAscending = direction == NA_PARSE_FIRST || direction == NA_PARSE_NEXT ? 1 : 0;
    if (!_bOpenStatement(statement, item, bAscending, flags, &count, NA_ST_PREPARE)) return 0;
  }
  if (!bRead && count == 0) return 1;
  long nFetched = 0;
  return statement->bFetch(direction, bRead, count, &nFetched);
}

// ======================================================================
// The SELECT of a browse
// ======================================================================

std::int64_t BrowseAccess::llRecordLimitFor(const wchar_t* key) {
  if (key == nullptr || *key == 0) return CNAStatement::NO_LIMIT;
  // A limit needs an order the continuation can tell rows apart by, and
  // one no rounding blurs.
  CNAHeldItem clItem(m_pclTable->piNAGetItem(key));
  if (clItem.p == nullptr) return CNAStatement::NO_LIMIT;
  const eNA_ITEMTYPE eType = clItem.p->eNAGetItemType();
  if (eType == NA_IT_R4 || eType == NA_IT_R8) return CNAStatement::NO_LIMIT;
  CNAHeldItem clBest(m_pclTable->piGetBestParseItemDesc());
  if (clBest.p == nullptr || (!clBest.p->bUnique(0) && !clBest.p->bPrimary(0))) return CNAStatement::NO_LIMIT;
  if (llLimit > 0) return llLimit;
  if (llLimit != knAutomaticLimit) return CNAStatement::NO_LIMIT;
  const std::uint64_t nRow = nGetMaxRowLength();
  if (nRow == 0) {
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    return pclDriver != nullptr ? pclDriver->llGetValue() : CNAStatement::NO_LIMIT;
  }
  const std::int64_t llRows = static_cast<std::int64_t>(knAutomaticBlockBytes / nRow);
  return llRows < knMinAutomaticLimit ? knMinAutomaticLimit : llRows;
}

int BrowseAccess::bBuildSelect(CNACommand* command, CNAStatement* statement, const wchar_t* key, int ascending,
                               unsigned int flags, CNACommand* where) {
  return _bBuildSelectCount(command, statement, key, ascending, flags, where, nullptr);
}

int BrowseAccess::_bBuildSelectCount(CNACommand* command, CNAStatement* statement, const wchar_t* key,
                                     int ascending, unsigned int flags, CNACommand* where, long* count) {
  if (command == nullptr || statement == nullptr) return 0;
  CNAHeld<CNACommand> clKeep(command);
  command->SetQueryType(TYPEREQUETE_SELECT);
  statement->ResetQuery();
  // The statement builds into its own command.
  statement->_SetQuery(command);
  // From here on the text is built (the previous result is gone).
  TextTimer clTimer(&dTextSeconds);
  CNACommand* pclWhere = where;
  if (pclWhere == nullptr) {
    pclWhere = pclAllocCommand(pclGetError());
    if (pclWhere == nullptr) {
      _AddUserError(knSiteOpen, knErrMemory, key);
      return 0;
    }
  }
  CNAHeld<CNACommand> clWhere(pclWhere);
  if (where == nullptr && !statement->bGetClauseWHERE(pclWhere)) return 0;
  if (!statement->bBuildQuerySELECT(command, static_cast<NA_WRITEPARSEFLAGS>(flags), key, ascending, pclWhere))
    return 0;
  const std::int64_t llBlock = llRecordLimitFor(key);
  if (llBlock < 1) {
    command->SetRecordLimit(llBlock);
    return 1;
  }
  if (count != nullptr && *count > 0 && llBlock <= *count) {
    // A long skip: the server passes over all but the last few records.
    const long nTail = SkipTail(llBlock);
    command->SetLimitOffset(*count - nTail);
    *count = nTail;
  }
  command->SetRecordLimit(llBlock);
  return 1;
}

int BrowseAccess::_bOpenStatement(CNAStatement* statement, const wchar_t* item, int ascending, unsigned int flags,
                                  long* count, eNA_ST_PREPARE prepare) {
  CNACommand* pclCommand = pclAllocCommand(pclGetError());
  if (pclCommand == nullptr) {
    _AddUserError(knSiteOpen, knErrMemory, item);
    return 0;
  }
  CNAHeld<CNACommand> clCommand(pclCommand);
  if (!_bBuildSelectCount(pclCommand, statement, item, ascending, flags, nullptr, count)) return 0;
  const char* pszText = nullptr;
  {
    // The text with its parameters is made here, once: the execution
    // sends it as it stands.
    TextTimer clTimer(&dTextSeconds);
    pszText = pclCommand->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
  }
  if (pszText == nullptr) return 0;
  sLastSelect = pszText;
  if (bKeepTexts) vecSelects.push_back(sLastSelect);
  ++nSelects;
  if (statement->bFetchingNextBlock()) ++nContinuations;
  return statement->bExecute(static_cast<NA_WRITEPARSEFLAGS>(flags), prepare);
}

// ======================================================================
// Resuming a browse
// ======================================================================

int BrowseAccess::_bUpdateParse(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction,
                                long count) {
  const unsigned int nFlags = _nBrowseFlags(statement);
  if (!statement->bCanUpdateParse() && (nFlags & knFlagNoResume) != 0) {
    _AddUserError(knSiteResume, knErrCannotResume, statement->pszGetParseKey());
    return 0;
  }
  // Without a save the browse goes on from the original record as it
  // stands (the record read last through this access).
  const std::uint32_t nSave = statement->nGetRecordSaveID();
  if (nSave != CNAStatement::knNoSave && !bRestoreOriginalRecordSave(nSave)) return 0;
  return bGoToOriginalRecord(keep, statement, bRead, direction, count);
}

int BrowseAccess::bGoToOriginalRecord(int keep, CNAStatement* statement, int bRead, eNA_PARSEDIRECTION direction,
                                      long count) {
  CNAHeldItem clItem(m_pclTable->piNAGetItem(statement->pszGetParseKey()));
  if (clItem.p == nullptr) return 1;
  return _bGoToOriginalRecord(keep, statement, clItem.p, bRead, direction, count);
}

int BrowseAccess::bGoToStmtOriginalRecord(int keep, CNAStatement* statement, int bRead,
                                          eNA_PARSEDIRECTION direction, long count) {
  if (statement == nullptr || m_pclRecord == nullptr) return 0;
  CNARecordValue* pclOriginal = m_pclRecord->pclGetOriginalRecordValue();
  const CNARecordValue* pclFrom = statement->pclGetStmtOriginalRecord();
  if (pclOriginal == nullptr || pclFrom == nullptr) {
    // Nothing was read: there is no record to go on from.
    _AddUserError(knSiteResume, knErrNotAvailable, statement->pszGetParseKey());
    return 0;
  }
  CNARecordValue* pclKept = pclOriginal->pclGetClone(NA_COPY_ALL);
  if (pclKept == nullptr) {
    _AddUserError(knSiteResume, knErrMemory, statement->pszGetParseKey());
    return 0;
  }
  CNAHeld<CNARecordValue> clKept(pclKept);
  if (!pclOriginal->bCopyRecordValue(pclFrom, NA_COPY_ALL)) return 0;
  const int bOk = bGoToOriginalRecord(keep, statement, bRead, direction, count);
  int nOut = 1;
  statement->HEndehors(&nOut);
  if (!bOk || keep || nOut) pclOriginal->bCopyRecordValue(pclKept, NA_COPY_ALL);
  return bOk;
}

int BrowseAccess::_bGoToOriginalRecord(int keep, CNAStatement* statement, INAItemDescription* item, int bRead,
                                       eNA_PARSEDIRECTION direction, long count) {
  CNARecordValue* pclCurrent = m_pclRecord->pclGetCurrentRecordValue();
  CNARecordValue* pclOriginal = m_pclRecord->pclGetOriginalRecordValue();
  if (pclCurrent == nullptr || pclOriginal == nullptr) return 0;
  CNARecordValue* pclCurrentCopy = pclCurrent->pclGetClone(NA_COPY_ALL);
  CNAHeld<CNARecordValue> clCurrentCopy(pclCurrentCopy);
  CNARecordValue* pclOriginalCopy = pclOriginal->pclGetClone(NA_COPY_ALL);
  CNAHeld<CNARecordValue> clOriginalCopy(pclOriginalCopy);
  if (pclCurrentCopy == nullptr || pclOriginalCopy == nullptr) {
    _AddUserError(knSiteResume, knErrMemory, item->pszGetName());
    return 0;
  }
  if (!m_pclRecord->bCopyOriginalRecordToCurrentRecord()) return 0;
  const int bOk = _bGoToCurrentRecord(statement, item, bRead, direction, count);
  int nOut = 1;
  statement->HEndehors(&nOut);
  if (bOk && !keep && !nOut) return 1;
  // The record the browse stands on is the one it stood on before.
  m_pclRecord->bCopyToCurrentRecord(pclCurrentCopy);
  pclOriginal->bCopyRecordValue(pclOriginalCopy, NA_COPY_ALL);
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

int BrowseAccess::_bGoToCurrentRecord(CNAStatement* statement, INAItemDescription* item, int bRead,
                                      eNA_PARSEDIRECTION direction, long count) {
  const wchar_t* pszItem = item->pszGetName();
  // Records equal on the item are told apart by the best browse item: it
  // must be unique and hold a value here, or the rows to skip would have
  // to be counted.
  CNAHeldItem clBest(m_pclTable->piGetBestParseItemDesc());
  CNAColumn* pclBest = clBest.p != nullptr ? m_pclRecord->pclGetColumnNoRef(clBest.p) : nullptr;
  const bool bUniqueBest = pclBest != nullptr && (clBest.p->bUnique(0) || clBest.p->bPrimary(0)) &&
                           pclBest->bValueDefined();
  if (!bUniqueBest) {
    _AddUserError(knSiteDuplicates, knErrNotAvailable, pszItem);
    return 0;
  }
  CNARecherche* pclSearch = statement->pclGetRecherche();
  if (pclSearch == nullptr) {
    _AddUserError(knSiteResume, knErrMemory, pszItem);
    return 0;
  }
  statement->PrepareInternalSearch();
  int bOk = pclSearch->bRechercheEnreg(m_pclRecord, item, NA_PARSE_FIRST, 0, nullptr);
  if (bOk) {
    const unsigned int nFlags = _nBrowseFlags(statement) | knFlagNoSearchContinuation;
    const bool bForward = direction == NA_PARSE_FIRST || direction == NA_PARSE_NEXT;
    statement->bSetContinueParcours(bForward ? NA_PARSE_FIRST : NA_PARSE_LAST);
    bOk = _bFetch(statement, pszItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, count, bRead, NA_LOCKTYPE_NONE,
                  nullptr, static_cast<NA_WRITEPARSEFLAGS>(nFlags), 1);
  }
  statement->AnnuleRecherche();
  return bOk;
}

// ======================================================================
// Writes
// ======================================================================

int BrowseAccess::bWrite(eNAQUERYTYPE type, CNAStatement* statement, NA_WRITEPARSEFLAGS flags) {
  if (statement == nullptr || m_pclRecord == nullptr) return 0;
  if (type != NA_QUERY_INSERT && type != NA_QUERY_UPDATE && type != NA_QUERY_DELETE) return 0;
  CNAHeld<CNAStatement> clWriter(statement);
  CNARecordValue* pclOriginal = m_pclRecord->pclGetOriginalRecordValue();
  CNARecordValue* pclCurrent = m_pclRecord->pclGetCurrentRecordValue();
  if (pclOriginal == nullptr || pclCurrent == nullptr) return 0;
  // The record as it was: what the other statements know the row by.
  CNARecordValue* pclBefore = type == NA_QUERY_INSERT ? nullptr : pclOriginal->pclGetClone(NA_COPY_ALL);
  CNAHeld<CNARecordValue> clBefore(pclBefore);
  if (type != NA_QUERY_INSERT && pclBefore == nullptr) {
    _AddUserError(knSiteWrite, knErrMemory, statement->pszGetParseKey());
    return 0;
  }
  CNACommand* pclCommand = pclAllocCommand(pclGetError());
  if (pclCommand == nullptr) {
    _AddUserError(knSiteWrite, knErrMemory, statement->pszGetParseKey());
    return 0;
  }
  CNAHeld<CNACommand> clCommand(pclCommand);
  int bOk = 0;
  switch (type) {
    case NA_QUERY_INSERT: bOk = statement->bBuildQueryINSERT(pclCommand, flags); break;
    case NA_QUERY_UPDATE: bOk = statement->bBuildQueryUPDATE(pclCommand, flags); break;
    default: bOk = statement->bBuildQueryDELETE(pclCommand, flags); break;
  }
  if (!bOk) {
    statement->ResetQuery();
    return 0;
  }
  const wchar_t* pszText = pclCommand->pszGetOriginalSQL();
  const bool bSends = pszText != nullptr && *pszText != 0;
  if (!statement->bExecute(flags, NA_ST_DIRECT)) return 0;
  if (!bSends) return 1;
  ++nWrites;
  // The new record with the identifier the server gave it; the row is
  // there even when that cannot be read back, so the statements are told
  // all the same.
  const int bAfter =
      type == NA_QUERY_INSERT ? statement->bUpdateRecordAfterInsert(type, static_cast<int>(flags)) : 1;
  nNotifications += static_cast<long>(nGetStatementCount());
  _NotifyOperation(type, statement, flags, type == NA_QUERY_INSERT ? pclCurrent : pclBefore);
  // A further write of this record addresses it as it is now stored.
  if (type != NA_QUERY_DELETE) m_pclRecord->bCopyCurrentRecordToOriginalRecord();
  return bAfter;
}

}  // namespace kxtest
