// CNAStatement: the texts a statement builds to read. The dispatch of a
// table operation to its text builder, the SELECT over a table or over the
// platform's query, the COUNT, the conditions that address the current or
// the last-read record, the ORDER BY that makes a parse follow a key and end
// in a total order, and bMove, which re-reads the last-read record.
//
// Every value goes into a text as a command parameter, never inline.
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAHeld.h"
#include "CNAParameter.h"
#include "CNARecord.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CSQLParserInfo.h"
#include "IInfoOrderBy.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

// Location of the reports of the read texts.
constexpr int knLocationArea = 62;
constexpr int knSiteKey = 30;
constexpr int knSiteLatestRead = 31;
constexpr int knSiteSubQuery = 32;
constexpr int knSiteDeleteAll = 33;
constexpr int knSiteCurrentRecord = 34;
constexpr int knSiteMove = 35;
constexpr int knSiteCount = 36;
constexpr int knSiteTable = 37;

// User errors.
constexpr unsigned int knErrUnknownKey = 6;      // the ORDER BY key is no item of the source
constexpr unsigned int knErrNoRecord = 7;        // no record to address
constexpr unsigned int knErrNotSupported = 8;    // not on this kind of source
constexpr unsigned int knErrMemory = 12;         // out of memory
constexpr unsigned int knErrNotAvailable = 38;   // not available for this data source
constexpr unsigned int knErrNoSubQuery = 41;     // a query used as a subquery, not possible here

// Flags of a read.
constexpr std::uint32_t knFlagDistinct = 0x800;
constexpr std::uint32_t knFlagOwnOrder = 0x20000;
constexpr std::uint32_t knFlagNoCompletion = 0x100000;

// The query mode bit of a query sent as written.
constexpr int knModeAsWritten = 4;
// The parser's code of "=".
constexpr eOPEXPRESSION knOpEqual = 9;
// The value type the count column is read as (text).
constexpr unsigned short knCountType = 8;
// The ORDER BY list's starting room.
constexpr int knOrderListStep = 20;

// The command's query type of a table operation.
eTYPEREQUETE TypeOf(eNAQUERYTYPE type) {
  switch (type) {
    case NA_QUERY_SELECT: return TYPEREQUETE_SELECT;
    case NA_QUERY_UPDATE: return TYPEREQUETE_UPDATE;
    case NA_QUERY_INSERT: return TYPEREQUETE_INSERT;
    case NA_QUERY_DELETE:
    case NA_QUERY_DELETEALL: return TYPEREQUETE_DELETE;
    case NA_QUERY_CREATETABLE: return TYPEREQUETE_CREATE;
    case NA_QUERY_DROPTABLE: return TYPEREQUETE_DROP;
    default: return TYPEREQUETE_NONE;
  }
}

// A user error with one text argument, naming `file` and `item` when it is
// the first error of the object.
void AddUserError(CNAError* error, CNAConnectionDescription* cnx, eNA_ERRORTYPE type, int site, unsigned int code,
                  const wchar_t* argument, const wchar_t* file, const wchar_t* item) {
  if (error == nullptr) return;
  const bool bFirst = error->eGetErrorType() == NA_ERRORTYPE_NONE;
  error->AddError(type, knLocationArea, site, cnx, code, argument != nullptr ? argument : L"");
  if (bFirst) error->SetInfoNames(file, item);
}

// Whether the text opens a quoted piece at c (as the command's clause
// scanner reads it: brackets only off kind 5).
bool OpensQuoted(wchar_t c, bool brackets) { return c == L'\'' || c == L'`' || c == L'"' || (brackets && c == L'['); }

// The index of the delimiter that closes the quoted piece opening at
// text[i] (the text's end when none): a doubled delimiter stays inside, a
// backslash in a '...' string keeps the next character inside.
long SkipQuoted(const wchar_t* text, long length, long i) {
  const wchar_t cOpen = text[i];
  const wchar_t cClose = cOpen == L'[' ? L']' : cOpen;
  for (long k = i + 1; k < length; ++k) {
    if (cOpen == L'\'' && text[k] == L'\\') {
      ++k;
      continue;
    }
    if (text[k] != cClose) continue;
    if (cClose != L']' && k + 1 < length && text[k + 1] == cClose) {
      ++k;
      continue;
    }
    return k;
  }
  return length;
}

// The bracket depth at `at`, strings and quoted names passed over.
int DepthAt(const wchar_t* text, long at, bool brackets) {
  int nDepth = 0;
  const long nLength = static_cast<long>(std::wcslen(text));
  for (long i = 0; i < at && i < nLength; ++i) {
    if (OpensQuoted(text[i], brackets)) {
      i = SkipQuoted(text, nLength, i);
      continue;
    }
    if (text[i] == L'(') ++nDepth;
    if (text[i] == L')' && nDepth > 0) --nDepth;
  }
  return nDepth;
}

// The last LIMIT clause of the text that stands outside brackets (a LIMIT
// of a subquery belongs to it); -1 when none.
long FindOwnLimit(CNAConnectionDescription* cnx, const wchar_t* text) {
  if (text == nullptr) return -1;
  const bool bBrackets = cnx == nullptr || cnx->eGetDataSource() != DATASOURCE_MARIADB;
  long nStart = -1;
  for (;;) {
    const long nAt = CNACommand::s_nGetClauseStart(cnx, text, L"LIMIT", nStart);
    if (nAt <= 0) return -1;
    if (DepthAt(text, nAt, bBrackets) == 0) return nAt;
    nStart = nAt - 1;
  }
}

// The current record value as it is now, put back at the end of the scope
// whatever happened meanwhile.
class CurrentRecordGuard {
 public:
  explicit CurrentRecordGuard(CNARecord* record) : m_pclRecord(record) {
    CNARecordValue* pclCurrent = record != nullptr ? record->pclGetCurrentRecordValue() : nullptr;
    m_pclSaved = pclCurrent != nullptr ? pclCurrent->pclGetClone(NA_COPY_ALL) : nullptr;
    if (m_pclSaved != nullptr) m_pclSaved->AddRef();
  }
  ~CurrentRecordGuard() {
    if (m_pclSaved == nullptr) return;
    m_pclRecord->bCopyToCurrentRecord(m_pclSaved);
    m_pclSaved->nRelease();
  }
  CurrentRecordGuard(const CurrentRecordGuard&) = delete;
  CurrentRecordGuard& operator=(const CurrentRecordGuard&) = delete;
  bool bSaved() const { return m_pclSaved != nullptr; }

 private:
  CNARecord* m_pclRecord;
  CNARecordValue* m_pclSaved = nullptr;
};

}  // namespace

// ======================================================================
// Dispatch
// ======================================================================

int CNAStatement::bBuildQuery(eNAQUERYTYPE type, CNACommand* command, NA_WRITEPARSEFLAGS flags) {
  if (command == nullptr) return 0;
  CNAHeld<CNACommand> clKeep(command);  // the statement's own command may be the one given
  _SetQuery(command);
  // The flag follows the command: a SELECT sets its own.
  SetBindDefineFlag(knDefaultBindDefineFlag);
  const eTYPEREQUETE eType = TypeOf(type);
  if (eType == TYPEREQUETE_NONE) return 0;
  command->SetQueryType(eType);
  switch (type) {
    case NA_QUERY_SELECT:
      return bBuildQuerySELECT(command, flags, nullptr, 1, nullptr);
    case NA_QUERY_UPDATE:
      return bBuildQueryUPDATE(command, flags);
    case NA_QUERY_INSERT:
      return bBuildQueryINSERT(command, flags);
    case NA_QUERY_DELETE:
      return bBuildQueryDELETE(command, flags);
    case NA_QUERY_DELETEALL: {
      if (m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery()) {
        _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteDeleteAll, knErrNotSupported);
        return 0;
      }
      CTString csTable;
      if (!_bFormatSelectTableName(&csTable)) return 0;
      command->bComplete(L"DELETE FROM ");
      command->bComplete(csTable.pszGet());
      return 1;
    }
    case NA_QUERY_CREATETABLE:
      return bBuildQueryCREATE(command);
    case NA_QUERY_DROPTABLE: {
      CTString csTable;
      if (!_bFormatSelectTableName(&csTable)) return 0;
      command->bComplete(L"DROP TABLE ");
      command->bComplete(csTable.pszGet());
      CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
      if (pclCnx != nullptr && static_cast<int>(pclCnx->eGetDataSource()) == 1) command->bComplete(L" CASCADE CONSTRAINT");
      return 1;
    }
    default:
      return 0;
  }
}

int CNAStatement::_bFormatSelectTableName(CTString* out) {
  out->Vide();
  return _bFormatTableName(m_piDataSource != nullptr ? m_piDataSource->pszGetDBTableName() : nullptr, knSiteTable,
                           out);
}

int CNAStatement::_bFormatTableName(const wchar_t* name, int site, CTString* out) {
  if (name == nullptr || *name == 0) {
    // Nothing to name: the statement cannot address its table.
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, site, knErrNotAvailable);
    return 0;
  }
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  if (pclCnx == nullptr) {
    *out = name;
    return 1;
  }
  return pclCnx->bFormatTableName(m_pclError, name, out);
}

// ======================================================================
// SELECT
// ======================================================================

int CNAStatement::_bAddDistinct(NA_WRITEPARSEFLAGS flags) {
  if ((static_cast<std::uint32_t>(flags) & knFlagDistinct) == 0) return 0;
  CNAHeldItem clBest(m_piDataSource != nullptr ? m_piDataSource->piGetBestParseItemDesc() : nullptr);
  INAItemDescription* pi = clBest.p;
  if (pi == nullptr) return 0;
  if (pi->bPrimary(0)) return 0;
  if (!pi->bUnique(0)) return 1;
  // Unique and never NULL makes rows unique; older descriptions know that
  // only of automatic identifiers.
  const eNA_ITEMTYPE eType = pi->eNAGetItemType();
  const bool bNotNull = pi->nGetVersion() >= 9 ? !pi->vbConstraintNullAllowed()
                                               : (eType == NA_IT_IDAUTO || eType == NA_IT_IDAUTO4);
  return bNotNull ? 0 : 1;
}

int CNAStatement::bBuildQuerySELECT(CNACommand* command, NA_WRITEPARSEFLAGS flags, const wchar_t* key,
                                    int ascending, CNACommand* where) {
  if (command == nullptr) return 0;
  SetBindDefineFlag(2);
  m_bInverted = 0;
  if (m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery()) {
    if (m_pclRecord != nullptr)
      for (int i = 0; i < m_pclRecord->nGetColumnCount(); ++i) command->AddDefine(m_pclRecord->pclGetColumnNoRef(i));
    return _bBuildQuerySELECTFromQuery(command, m_pclDataAccess->pclGetParserInfoNoRef(), flags, key, ascending,
                                       where, 1, 0);
  }
  command->bComplete(L"SELECT ");
  if (_bAddDistinct(flags)) command->bComplete(L"DISTINCT ");
  if (!command->bAddSelectColumns(m_pclRecord, 0)) return 0;
  if (!_bAddFromTable(command, where)) return 0;
  return _bFormatOrderBy(command, nullptr, flags, key, ascending, 0, where);
}

int CNAStatement::_bAddFromTable(CNACommand* command, CNACommand* where) {
  command->SetQueryType(TYPEREQUETE_SELECT);
  CTString csTable;
  if (!_bFormatSelectTableName(&csTable)) return 0;
  command->bComplete(L" FROM ");
  command->bComplete(csTable.pszGet());
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  const bool bNoLockClause =
      pclCnx != nullptr && static_cast<int>(pclCnx->eGetDataSource()) == 8 && pclCnx->nGetServerMajor() >= 10;
  if (!bNoLockClause) command->bAddRecordLock();
  if (where != nullptr && !where->bIsEmpty()) {
    command->bComplete(L" WHERE ");
    if (!command->bAdd(where, ADDMODE_SHARE)) return 0;
  }
  return 1;
}

int CNAStatement::_bBuildQuerySELECTFromQuery(CNACommand* command, CSQLParserInfo* parser, NA_WRITEPARSEFLAGS flags,
                                              const wchar_t* key, int ascending, CNACommand* where, int withOrderBy,
                                              int asSubquery) {
  if (command == nullptr || m_pclDataAccess == nullptr) return 0;
  if (parser == nullptr) {
    // A query known only by its text is read through its own result.
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteSubQuery, knErrNotAvailable);
    return 0;
  }
  if (command->nGetQueryType() == CNACommand::QUERY_NONE) command->SetQueryType(TYPEREQUETE_SELECT);
  m_bInverted = 0;
  const int bAsWritten = m_pclDataAccess->bRequeteSansCorrection();
  const int nMode = bAsWritten ? knModeAsWritten : 0;
  const bool bWhere = where != nullptr && !where->bIsEmpty();
  if (!bAsWritten && !asSubquery) {
    // The query rewritten: the condition merged into its own, then the
    // parse's order ahead of its tail.
    if (!command->bFormatCondition(parser, bWhere ? where : nullptr, 0, nMode)) return 0;
    if (withOrderBy && !_bFormatOrderBy(command, parser, flags, key, ascending, 0, nullptr)) return 0;
    command->bFormatEndOfQuery();
    return 1;
  }
  if (!asSubquery && bWhere) {
    CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
    if (pclCnx == nullptr || !pclCnx->bSupportSubQuery() || command->nGetQueryType() != CNACommand::QUERY_SELECT) {
      const wchar_t* pszName = m_pclDataAccess->pszGetLogicalName();
      AddUserError(m_pclError, pclCnx, NA_ERRORTYPE_GENERIC, knSiteSubQuery, knErrNoSubQuery, pszName, pszName,
                   m_csParseKey.pszGet());
      return 0;
    }
    command->bComplete(_bAddDistinct(flags) ? L"SELECT DISTINCT * FROM" : L"SELECT * FROM");
    return _bAddSubQuery(command, parser, where);
  }
  if (!asSubquery) {
    // As written, nothing to merge: the text as it stands.
    if (!command->bFormatCondition(parser, nullptr, withOrderBy ? 1 : 0, nMode)) return 0;
    command->bFormatEndOfQuery();
    return 1;
  }
  return _bAddSubQuery(command, parser, where);
}

int CNAStatement::_bAddSubQuery(CNACommand* command, CSQLParserInfo* parser, CNACommand* where) {
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  const int nMode = m_pclDataAccess != nullptr && m_pclDataAccess->bRequeteSansCorrection() ? knModeAsWritten : 0;
  // A query that limits its own rows keeps the order they are limited by.
  const int bLimited = parser->bQueryResultsetLimited(pclCnx);
  command->bComplete(L" (");
  if (!command->bFormatCondition(parser, nullptr, bLimited ? 1 : 0, nMode)) return 0;
  command->bFormatEndOfQuery();
  command->bComplete(L")");
  const int nKind = pclCnx != nullptr ? static_cast<int>(pclCnx->eGetDataSource()) : 0;
  if (nKind == 2 || nKind == 4 || nKind == 7) command->bComplete(L" KX_SUBQUERY");
  if (where != nullptr && !where->bIsEmpty()) {
    command->bComplete(L" WHERE ");
    if (!command->bAdd(where, ADDMODE_SHARE)) return 0;
  }
  return 1;
}

// ======================================================================
// ORDER BY
// ======================================================================

int CNAStatement::_bFormatOrderBy(CNACommand* command, CSQLParserInfo* parser, NA_WRITEPARSEFLAGS flags,
                                  const wchar_t* key, int ascending, int useFormattedName, CNACommand* where) {
  const bool bOwnOrder = (static_cast<std::uint32_t>(flags) & knFlagOwnOrder) != 0;
  if (parser != nullptr && (key == nullptr || *key == 0) && !bOwnOrder) key = m_csParseKey.pszGet();
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  // The rows a query limits itself to are its first ones in its own order.
  if (parser != nullptr && !ascending && parser->bQueryResultsetLimited(pclCnx)) ascending = 1;
  const bool bNoKey = key == nullptr || *key == 0;
  if (bNoKey || bOwnOrder) {
    m_bInverted = 0;
    const int bRewritten = m_pclDataAccess != nullptr && !m_pclDataAccess->bRequeteSansCorrection();
    if (parser == nullptr || !bOwnOrder || !bRewritten) return 1;
    const int bOk = command->bFormatORDERBY(useFormattedName, ascending);
    const int bList = _FormatORDERBYList(command, nullptr, ascending, parser, useFormattedName, flags, where);
    m_bInverted = ascending ? 0 : 1;
    return bOk && bList;
  }
  CNAHeldItem clItem(m_piDataSource != nullptr ? m_piDataSource->piNAGetItem(key) : nullptr);
  if (clItem.p == nullptr) {
    AddUserError(m_pclError, pclCnx, NA_ERRORTYPE_GENERIC, knSiteKey, knErrUnknownKey, key,
                 m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"", key);
    return 0;
  }
  CNAColumn* pclKey = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnNoRef(clItem.p) : nullptr;
  if (clItem.p->bMemo() && (pclCnx == nullptr || !pclCnx->bSupportOrderByMemo())) pclKey = nullptr;
  const int bOk = _FormatORDERBYList(command, pclKey, ascending, parser, useFormattedName, flags, where);
  // The parse reads the result backwards exactly when it is wanted
  // descending; an item described descending is written DESC in its
  // ascending order instead.
  m_bInverted = ascending ? 0 : 1;
  return bOk;
}

int CNAStatement::_nItemDirection(CNAColumn* column, CSQLParserInfo* parser, int ascending) {
  if (parser == nullptr || column == nullptr || m_pclDataAccess == nullptr ||
      m_pclDataAccess->bRequeteSansCorrection())
    return ascending;
  IInfoOrderBy* piOrder = parser->piGetRubriqueClauseOrder(column);
  return piOrder != nullptr && piOrder->nGetDirection() == 1 ? (ascending ? 0 : 1) : ascending;
}

void CNAStatement::_FormatItemORDERBY(CNAColumn* column, CSQLParserInfo* /*parser*/, int useFormattedName,
                                      CTString* out, int /*ascending*/) {
  if (out == nullptr) return;
  out->Vide();
  if (column == nullptr) return;
  if (useFormattedName) {
    *out = column->pszGetFormatedName();
    return;
  }
  const int nKind = column->eGetTypeColonne();
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  if ((nKind == 1 || nKind == 2) && pclCnx != nullptr && pclCnx->bOrderByIndiceAllowed()) {
    *out = std::to_wstring(static_cast<unsigned long long>(column->nGetPhysicalIndice()) + 1).c_str();
    return;
  }
  *out = column->pszGetFormatedSelectName(0);
}

namespace {

// The columns of an ORDER BY being collected, each with its direction (1
// ascending), and whether they identify a row yet.
struct OrderList {
  OrderList() : tabColumns(knOrderListStep) {}
  CRefArray<CNAColumn> tabColumns;
  std::vector<int> tabAscending;
  bool bStopped = false;
};

// Whether the NULL values of the column are left out by the command or by
// the condition it takes.
bool NullExcluded(CNACommand* command, CNACommand* where, const CNAColumn* column) {
  if (command != nullptr && !command->bColumnValuesNullSelected(column)) return true;
  return where != nullptr && !where->bIsEmpty() && !where->bColumnValuesNullSelected(column);
}

// Whether the collected columns complete a composite unique key of the
// record whose every component is either never NULL or has its NULL
// values left out.
bool ComposedKeyComplete(CNARecord* record, const OrderList& list, CNACommand* command, CNACommand* where) {
  if (record == nullptr) return false;
  const CRefArray<CNAColumn>* pKeys = record->pclGetTabComposedKeyUnique();
  const int n = list.tabColumns.nGetNbElements();
  if (pKeys == nullptr || n == 0) return false;
  const CNAColumn* pclLast = list.tabColumns[n - 1];
  for (int k = 0; k < pKeys->nGetNbElements(); ++k) {
    CNAColumn* pclKey = (*pKeys)[k];
    const CNARefArray<CNAColumn>* pComponents = pclKey->pclGetTabComponent();
    if (pComponents == nullptr || pComponents->nGetNbElements() == 0 || !pclKey->bIsComposedKeyComponent(pclLast))
      continue;
    bool bComplete = true;
    for (int c = 0; c < pComponents->nGetNbElements() && bComplete; ++c) {
      bool bFound = false;
      for (int j = 0; j < n && !bFound; ++j) bFound = list.tabColumns[j] == (*pComponents)[c];
      bComplete = bFound;
    }
    if (!bComplete) continue;
    if (!pclKey->bIsNullableOnDataBase()) return true;
    bool bAllExcluded = true;
    for (int c = 0; c < pComponents->nGetNbElements() && bAllExcluded; ++c) {
      CNAColumn* pclComponent = (*pComponents)[c];
      bAllExcluded = !pclComponent->bIsNullableOnDataBase() || NullExcluded(command, where, pclComponent);
    }
    if (bAllExcluded) return true;
  }
  return false;
}

bool SameText(const wchar_t* a, const wchar_t* b) {
  return std::wcscmp(a != nullptr ? a : L"", b != nullptr ? b : L"") == 0;
}

// Adds a column to the list unless it is one already there (same source
// and original name) or a memo the server cannot order by; then tells
// whether the list identifies a row.
void AddItemInOrderList(OrderList* list, CNAColumn* column, int ascending, CNARecord* record,
                        CNAConnectionDescription* cnx, bool onQuery, CNACommand* command, CNACommand* where) {
  if (column == nullptr || list->bStopped) return;
  for (int i = 0; i < list->tabColumns.nGetNbElements(); ++i) {
    const CNAColumn* pclOther = list->tabColumns[i];
    if (SameText(pclOther->pszGetSourceName(), column->pszGetSourceName()) &&
        SameText(pclOther->pszGetOriginalName(), column->pszGetOriginalName()))
      return;
  }
  const bool bOrderable = !column->bIsMemoDB() || (cnx != nullptr && cnx->bSupportOrderByMemo()) ||
                          (onQuery && column->eGetTypeColonne() != 0);
  if (!bOrderable) return;
  if (list->tabColumns.Ajoute(column) < 0) return;
  list->tabAscending.push_back(ascending ? 1 : 0);
  if (column->bUniqueNotNull() || (column->bIsUnique() && NullExcluded(command, where, column)) ||
      ComposedKeyComplete(record, *list, command, where))
    list->bStopped = true;
}

}  // namespace

int CNAStatement::_FormatORDERBYList(CNACommand* command, CNAColumn* key, int ascending, CSQLParserInfo* parser,
                                     int useFormattedName, NA_WRITEPARSEFLAGS flags, CNACommand* where) {
  if (command == nullptr) return 0;
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  const bool bOnQuery = m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery();
  const bool bRewritten = bOnQuery && !m_pclDataAccess->bRequeteSansCorrection();
  const int nOwnItems = parser != nullptr ? parser->nGetOrderByNbr() : 0;
  OrderList clList;

  // 1. The key: a simple column, or the components of a composite key.
  // Without parser information an item described descending is written
  // the other way round.
  bool bWords = true;
  if (key != nullptr) {
    const CNARefArray<CNAColumn>* pComponents = key->bIsComposedKey() ? key->pclGetTabComponent() : nullptr;
    if (pComponents != nullptr) {
      for (int c = 0; c < pComponents->nGetNbElements() && !clList.bStopped; ++c) {
        const bool bTurn = parser == nullptr && key->bGetDescendantComponent(static_cast<std::uint32_t>(c + 1));
        AddItemInOrderList(&clList, (*pComponents)[c], bTurn ? !ascending : ascending, m_pclRecord, pclCnx, bOnQuery,
                           command, where);
      }
    } else {
      INAItemDescription* pi = key->piGetItemDescription();
      const bool bTurn = parser == nullptr && pi != nullptr && pi->bGetDescendant(0);
      AddItemInOrderList(&clList, key, bTurn ? !ascending : ascending, m_pclRecord, pclCnx, bOnQuery, command, where);
    }
  } else if (parser != nullptr) {
    // The query's own ORDER BY, written before, is continued.
    bWords = nOwnItems == 0;
  }

  // 2. The record's ordering columns complete the list.
  const std::uint32_t nMaskBit = ascending ? 1u : 2u;
  if ((static_cast<std::uint32_t>(flags) & knFlagNoCompletion) == 0 && (m_nOrderCompletionMask & nMaskBit) != 0 &&
      m_pclRecord != nullptr) {
    // A composite key of the sequence has no column of its own to write;
    // a composite parse key that does not identify a row is completed too.
    for (int i = 0; i < m_pclRecord->nGetColumnOrderCount() && !clList.bStopped; ++i) {
      CNAColumn* pclColumn = m_pclRecord->pclGetColumnOrderNoRef(i);
      if (pclColumn == nullptr || pclColumn == key || pclColumn->bIsComposedKey()) continue;
      const bool bMemoOk = (pclCnx != nullptr && pclCnx->bSupportOrderByMemo()) ||
                           (!pclColumn->bIsMemo() &&
                            (parser == nullptr || (bRewritten && !parser->bRubriqueSourceIsMemo(pclColumn))));
      if (!bMemoOk) continue;
      if (parser != nullptr && nOwnItems > 0 && parser->piGetRubriqueClauseOrder(pclColumn) != nullptr) continue;
      // On a table every column is written in its own item's order, as
      // the continuation compares it.
      INAItemDescription* pi = pclColumn->piGetItemDescription();
      const bool bTurn = parser == nullptr && pi != nullptr && pi->bGetDescendant(0);
      AddItemInOrderList(&clList, pclColumn, bTurn ? !ascending : ascending, m_pclRecord, pclCnx, bOnQuery, command,
                         where);
    }
  }

  const int nCount = clList.tabColumns.nGetNbElements();
  if (nCount == 0) return 1;

  // 3. A query's own LIMIT (outside brackets) is set aside with its
  // parameters, the text cut before it (over white space only, never
  // before a parameter that precedes it).
  std::wstring sLimit;
  std::vector<CNAParameter*> tabLimitParameters;
  if (bOnQuery) {
    const std::wstring sRaw = command->pszGetOriginalSQL() != nullptr ? command->pszGetOriginalSQL() : L"";
    const long nLimit = FindOwnLimit(pclCnx, sRaw.c_str());
    if (nLimit > 0) {
      long nCut = nLimit;
      while (nCut > 0 && CNACommand::s_bEspaceSQL(sRaw[static_cast<std::size_t>(nCut - 1)])) --nCut;
      for (int i = 0; i < command->nGetParameterNbr(); ++i) {
        CNAParameter* p = command->pclGetParameterNoRef(static_cast<unsigned int>(i));
        const long nPos = static_cast<long>(p->nGetPosition());
        if (nPos >= nLimit) {
          p->AddRef();
          tabLimitParameters.push_back(p);
        } else if (nPos > nCut) {
          nCut = nPos;
        }
      }
      sLimit = sRaw.substr(static_cast<std::size_t>(nLimit));
      command->CutToMark(command->stGetMarkAt(static_cast<unsigned long>(nCut)));
      for (CNAParameter* p : tabLimitParameters) p->SetPosition(p->nGetPosition() - static_cast<unsigned long>(nLimit));
    }
  }

  // 4. The list, within the server's count of ORDER BY expressions.
  if (bWords) command->bComplete(L" ORDER BY ");
  int nMax = pclCnx != nullptr ? pclCnx->nGetOrderByMaxExpressionNbr() : nCount;
  if (!bWords) nMax -= nOwnItems;
  CTString csItem;
  for (int i = 0; i < nCount && i < nMax; ++i) {
    CNAColumn* pclColumn = clList.tabColumns[i];
    const int bAscending = _nItemDirection(pclColumn, parser, clList.tabAscending[static_cast<std::size_t>(i)]);
    if (i > 0 || !bWords) command->bComplete(L",");
    _FormatItemORDERBY(pclColumn, parser, useFormattedName, &csItem, bAscending);
    command->bComplete(csItem.pszGet());
    if (!bAscending) command->bComplete(L" DESC");
  }

  int bResult = 1;
  if (!sLimit.empty()) {
    command->bComplete(L" ");
    const unsigned long nBase = static_cast<unsigned long>(command->nGetOriginalLength());
    command->bComplete(sLimit.c_str());
    for (CNAParameter* p : tabLimitParameters) {
      p->SetPosition(p->nGetPosition() + nBase);
      if (bResult && !command->bAddParameter(p)) bResult = 0;
    }
  }
  for (CNAParameter* p : tabLimitParameters) p->nRelease();
  return bResult;
}

// ======================================================================
// COUNT
// ======================================================================

int CNAStatement::_bBuildQueryCOUNT(CNACommand* command, NA_WRITEPARSEFLAGS /*flags*/, int noWhere) {
  if (command == nullptr) return 0;
  CNACommand* pclWhere = nullptr;
  if (!noWhere) {
    pclWhere = m_pclDataAccess != nullptr ? m_pclDataAccess->pclAllocCommand(m_pclError) : nullptr;
    if (pclWhere == nullptr) {
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCount, knErrMemory);
      return 0;
    }
  }
  CNAHeld<CNACommand> clWhere(pclWhere);
  if (pclWhere != nullptr && !bGetClauseWHERE(pclWhere)) return 0;
  CNAHeld<CNACommand> clKeep(command);
  command->ResetCommand(0);
  _SetQuery(command);
  SetBindDefineFlag(knDefaultBindDefineFlag);
  command->SetQueryType(TYPEREQUETE_SELECT);
  command->bComplete(L"SELECT ");
  if (!command->bAddSelectAdditionnalColumn(L"COUNT(*) AS KXACCESNATIF_NBENR", knCountType)) return 0;
  if (m_pclDataAccess == nullptr || !m_pclDataAccess->bIsQuery()) return _bAddFromTable(command, pclWhere);
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  CSQLParserInfo* pclParser = m_pclDataAccess->pclGetParserInfoNoRef();
  if (pclParser == nullptr) {
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteCount, knErrNotAvailable);
    return 0;
  }
  if (pclCnx == nullptr || !pclCnx->bSupportSubQuery()) {
    // The server would refuse the derived table: said here plainly.
    const wchar_t* pszName = m_pclDataAccess->pszGetLogicalName();
    AddUserError(m_pclError, pclCnx, NA_ERRORTYPE_GENERIC, knSiteSubQuery, knErrNoSubQuery, pszName, pszName,
                 m_csParseKey.pszGet());
    return 0;
  }
  command->bComplete(L" FROM");
  return _bAddSubQuery(command, pclParser, pclWhere);
}

// ======================================================================
// WHERE
// ======================================================================

int CNAStatement::bGetClauseWHERE(CNACommand* command) {
  if (command == nullptr) return 0;
  const bool bFilter = bExistFilter() != 0;
  if (!bFilter && !bExistRechercheObject()) return 1;
  if (m_pclRecherche == nullptr) {
    CNARecherche* pclSearch = pclAllocRecherche();
    if (pclSearch == nullptr) {
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCurrentRecord, knErrMemory);
      return 0;
    }
    pclSearch->AddRef();
    m_pclRecherche = pclSearch;
  }
  return m_pclRecherche->bGetSQL(command, bFilter ? m_pclFilter : nullptr, m_pclRecord);
}

int CNAStatement::_bAddWHERECurrentRecord(CNACommand* command, int addKeyword, const CRefArray<CNAColumn>* columns) {
  if (command == nullptr || m_pclRecord == nullptr || m_pclDataAccess == nullptr) return 0;
  CNAHeldItem clBest(m_piDataSource != nullptr ? m_piDataSource->piGetBestParseItemDesc() : nullptr);
  INAItemDescription* piItem = clBest.p;
  if (piItem == nullptr) {
    // Without a best parse item, the record's unique key addresses it.
    CNAColumn* pclUnique = m_pclRecord->pclGetUniqueKeyNotNullNoRef();
    if (pclUnique == nullptr) pclUnique = m_pclRecord->pclGetUniqueKeyNoRef();
    piItem = pclUnique != nullptr ? pclUnique->piGetItemDescription() : nullptr;
  }
  CNARecherche* pclNew = pclAllocRecherche();
  CNACommand* pclNewCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
  CNAHeld<CNARecherche> clSearch(pclNew);
  CNAHeld<CNACommand> clCondition(pclNewCommand);
  if (pclNew == nullptr || pclNewCommand == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteCurrentRecord, knErrMemory);
    return 0;
  }
  if (!pclNew->bRechercheEnreg(m_pclRecord, piItem, NA_PARSE_FIRST, 1, columns)) return 0;
  if (!pclNew->bGetSQL(pclNewCommand, nullptr, m_pclRecord)) return 0;
  if (pclNewCommand->bIsEmpty()) {
    // No condition addresses this record: a text without one would read
    // or write every row.
    const wchar_t* pszName = m_pclDataAccess->pszGetLogicalName();
    AddUserError(m_pclError, pclGetConnectionNoRef(), NA_ERRORTYPE_GENERIC, knSiteCurrentRecord, knErrNoRecord,
                 pszName, pszName, m_csParseKey.pszGet());
    return 0;
  }
  if (addKeyword) command->bComplete(L" WHERE ");
  return command->bAdd(pclNewCommand, ADDMODE_SHARE);
}

int CNAStatement::_bAddWHERELatestRead(CNACommand* command, int addKeyword, const CRefArray<CNAColumn>* columns) {
  if (command == nullptr) return 0;
  CNARecord* pclRecord = m_pclRecord;
  CNARecordValue* pclLast = pclRecord != nullptr && pclRecord->bOriginalRecordSet()
                                ? pclRecord->pclGetOriginalRecordValue()
                                : nullptr;
  if (pclLast == nullptr) {
    const wchar_t* pszName = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
    AddUserError(m_pclError, pclGetConnectionNoRef(), NA_ERRORTYPE_GENERIC, knSiteLatestRead, knErrNoRecord, pszName,
                 pszName, m_csParseKey.pszGet());
    return 0;
  }
  CNARecordId* pclId = pclLast->pclGetRecordId();
  if (pclId != nullptr && pclId->eGetRecordIdType() == NA_RECORDID_ROWID) {
    CNAConvertVariant* pclValue = static_cast<CNARecordId_RowId*>(pclId)->pclGetVariant();
    if (pclValue == nullptr) return 0;
    if (addKeyword) command->bComplete(L" WHERE ");
    command->bComplete(L" ROWID=");
    return command->bAddParameter(pclValue, knOpEqual, 0, nullptr, nullptr, 0, CNAParameter::NAPARAM_IN);
  }
  // The record is addressed by the values it was read with, not by those
  // being written: they stand in the current record meanwhile.
  CurrentRecordGuard clGuard(pclRecord);
  if (!clGuard.bSaved()) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteLatestRead, knErrMemory);
    return 0;
  }
  if (!pclRecord->bCopyToCurrentRecord(pclLast)) return 0;
  return _bAddWHERECurrentRecord(command, addKeyword, columns);
}

// ======================================================================
// Re-reading the last-read record
// ======================================================================

int CNAStatement::bMove(long /*count*/, int lock) {
  if (m_pclDataAccess == nullptr) return 0;
  CNACommand* pclSelect = m_pclDataAccess->pclAllocCommand(m_pclError);
  CNAHeld<CNACommand> clSelect(pclSelect);
  CNACommand* pclWhere = m_pclDataAccess->pclAllocCommand(m_pclError);
  CNAHeld<CNACommand> clWhere(pclWhere);
  if (pclSelect == nullptr || pclWhere == nullptr) {
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteMove, knErrMemory);
    return 0;
  }
  _SetQuery(pclSelect);
  EnableCache(0);
  if (!_bAddWHERELatestRead(pclWhere, 0, nullptr)) return 0;
  if (!bBuildQuerySELECT(pclSelect, NA_WRITEPARSE_NONE, nullptr, 1, pclWhere)) return 0;
  if (!bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT)) return 0;
  return bFetch(NA_PARSE_FIRST, lock, 1);
}
