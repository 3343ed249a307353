// CNAStatement: the texts that write (INSERT of the current record, UPDATE
// and DELETE of the record last read, CREATE TABLE from the record layout,
// the correction of a CREATE whose character columns are too long) and
// what the record takes back after an INSERT or UPDATE.
//
// Every value goes into the command as a parameter, never as text, the
// condition that addresses the record last read included: the command
// writes each one as the connection's literal when the text is built.
#include <cwchar>
#include <string>

#include "CAny.h"
#include "CColumnList.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAIDAuto.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CNAXQRecord.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"

namespace {

// Sites of the reports of the write texts (area of the statement).
constexpr int knSiteInsert = 13;
constexpr int knSiteUpdate = 14;
constexpr int knSiteDelete = 15;
constexpr int knSiteAfterInsert = 16;
constexpr int knSiteNativeType = 19;
constexpr int knSiteColumnValue = 21;

// User errors.
constexpr unsigned int knErrSeveralTables = 8;     // a write on a query of several tables
constexpr unsigned int knErrNotAvailable = 38;     // what the write needs is missing

// Write flags: 0x100 and 0x400 keep the automatic identifier as the record
// holds it; 0x200 asks a new one even when the database would fill it;
// any of the three writes the column.
constexpr std::uint32_t knFlagKeepIdAuto = 0x100u | 0x400u;
constexpr std::uint32_t knFlagNewIdAuto = 0x200u;
constexpr std::uint32_t knFlagWriteIdAuto = 0x700u;

// No operator for a plain value parameter.
constexpr eOPEXPRESSION knNoOperator = -1;

bool bIdentifierChar(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
         c > 0x7F;
}

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Whether `name` stands at `text` (ASCII letters compared without case).
bool bNameAt(const wchar_t* text, const wchar_t* name, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (text[i] == 0 || UpperAscii(text[i]) != UpperAscii(name[i])) return false;
  return true;
}

// A row of a table without a unique key is addressed by values other rows
// may share: on a kind-5 server the write stops at the first row found,
// those rows being indistinguishable. Nothing otherwise.
int bAddLimitOneRow(CNACommand* command, CNARecord* record, CNAConnectionDescription* cnx) {
  if (record == nullptr || cnx == nullptr || cnx->eGetDataSource() != DATASOURCE_MARIADB) return 1;
  if (record->pclGetUniqueKeyNoRef() != nullptr) return 1;
  return command->bComplete(L" LIMIT 1");
}

// The item of a record column, for the record buffer's flags.
const INAItemDescription* ItemOf(CNAColumn* column) { return column->piGetItemDescription(); }

}  // namespace

// ======================================================================
// INSERT, UPDATE, DELETE
// ======================================================================

int CNAStatement::bBuildQueryINSERT(CNACommand* command, NA_WRITEPARSEFLAGS flags) {
  return _bBuildQueryInsertUpdate(command, NA_QUERY_INSERT, flags);
}

int CNAStatement::bBuildQueryUPDATE(CNACommand* command, NA_WRITEPARSEFLAGS flags) {
  return _bBuildQueryInsertUpdate(command, NA_QUERY_UPDATE, flags);
}

int CNAStatement::bBuildQueryDELETE(CNACommand* command, NA_WRITEPARSEFLAGS /*flags*/) {
  if (!_bBuildQueryStart(command, NA_QUERY_DELETE)) return 0;
  if (!_bAddWHERELatestRead(command, 1, nullptr)) return 0;
  return bAddLimitOneRow(command, m_pclRecord, pclGetConnectionNoRef());
}

int CNAStatement::_bGetWriteTableName(CTString* out) {
  CTString csName;
  if (m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery()) {
    // The table of the query's first item (a query of one table).
    CNAColumn* pclFirst = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnNoRef(0) : nullptr;
    INAItemDescription* piItem = pclFirst != nullptr ? pclFirst->piGetItemDescription() : nullptr;
    if (piItem != nullptr) m_pclDataAccess->_GetDBSourceName(piItem, &csName, 1);
    if (csName.nTaille() == 0) {
      _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteInsert, knErrNotAvailable);
      return 0;
    }
    *out = csName;
    return 1;
  }
  // A table without a database name is known on the server by its
  // logical name.
  const wchar_t* pszName = m_piDataSource != nullptr ? m_piDataSource->pszGetDBTableName() : nullptr;
  if ((pszName == nullptr || *pszName == 0) && m_pclDataAccess != nullptr)
    pszName = m_pclDataAccess->pszGetLogicalName();
  return _bFormatTableName(pszName, knSiteInsert, out);
}

int CNAStatement::_bBuildQueryStart(CNACommand* command, eNAQUERYTYPE type) {
  if (command == nullptr) return 0;
  const wchar_t* pszVerb = nullptr;
  eTYPEREQUETE eType = TYPEREQUETE_NONE;
  switch (type) {
    case NA_QUERY_INSERT: pszVerb = L"INSERT INTO "; eType = TYPEREQUETE_INSERT; break;
    case NA_QUERY_UPDATE: pszVerb = L"UPDATE "; eType = TYPEREQUETE_UPDATE; break;
    case NA_QUERY_DELETE: pszVerb = L"DELETE FROM "; eType = TYPEREQUETE_DELETE; break;
    default: return 0;
  }
  // The caller's reference keeps the command alive while the statement
  // lets go of its previous one (which may be this very command).
  command->AddRef();
  command->ResetCommand(0);
  _SetQuery(command);
  command->nRelease();
  command->bComplete(pszVerb);
  command->SetQueryType(eType);
  if (m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery() && m_pclDataAccess->bSourceIsQueryOnMultipleTables()) {
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, type == NA_QUERY_DELETE ? knSiteDelete : knSiteUpdate,
                  knErrSeveralTables);
    return 0;
  }
  CTString csTable;
  if (!_bGetWriteTableName(&csTable)) return 0;
  command->bComplete(csTable.pszGet());
  return 1;
}

int CNAStatement::_bNeedToUpdate(CNAColumn* column, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags) {
  if (column == nullptr || column->eGetTypeColonne() != 0) return 0;
  const bool bInsert = type == NA_QUERY_INSERT;
  if (column->bIsIdAuto()) {
    if (!bInsert && !column->bValueModified()) return 0;
    return (static_cast<std::uint32_t>(flags) & knFlagWriteIdAuto) != 0 || !column->bIsAutoIncrementOnDataBase();
  }
  if (!column->bUpdatable()) return 0;
  return bInsert || column->bValueModified() ? 1 : 0;
}

int CNAStatement::_bBuildColumnList(CColumnList* list, CNACommand* values, eNAQUERYTYPE type,
                                    NA_WRITEPARSEFLAGS flags) {
  CNARecord* pclRecord = m_pclRecord;
  if (list == nullptr || values == nullptr) return 0;
  if (pclRecord == nullptr) {
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, type == NA_QUERY_INSERT ? knSiteInsert : knSiteUpdate, knErrNotAvailable);
    return 0;
  }
  CNAXQRecord* pclBuffer = pclRecord->pclGetNAXQRecord();
  const bool bQuery = m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery();
  const int nCount = pclRecord->nGetColumnCount();
  for (int i = 0; i < nCount; ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) break;
    if (_bNeedToUpdate(pclColumn, type, flags)) {
      const wchar_t* pszName = bQuery ? pclColumn->pszGetFormatedOriginalName() : pclColumn->pszGetFormatedName();
      if (list->nGetCount() > 0) values->bComplete(L", ");
      list->AddColumn(pszName);
      if (type == NA_QUERY_UPDATE) {
        values->bComplete(pszName);
        values->bComplete(L" = ");
      }
      if (!_bAddColumnValue(values, pclColumn, type, flags)) return 0;
    }
    if (pclBuffer != nullptr) pclBuffer->SetItemValueDefined(ItemOf(pclColumn), pclColumn->bValueDefined(), 0);
  }
  if (type != NA_QUERY_INSERT || list->nGetCount() > 0) return 1;
  // Nothing to list: the first column the record may write, when there is
  // one, carries the INSERT.
  for (int i = 0; i < nCount; ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) break;
    if (pclColumn->bIsIdAuto() || !pclColumn->bUpdatable()) continue;
    list->AddColumn(bQuery ? pclColumn->pszGetFormatedOriginalName() : pclColumn->pszGetFormatedName());
    return _bAddColumnValue(values, pclColumn, type, flags);
  }
  return 1;
}

int CNAStatement::_bAddColumnValue(CNACommand* values, CNAColumn* column, eNAQUERYTYPE /*type*/,
                                   NA_WRITEPARSEFLAGS flags) {
  if (values == nullptr || column == nullptr) return 0;
  const std::uint32_t nFlags = static_cast<std::uint32_t>(flags);
  if (column->bIsIdAuto() && (nFlags & knFlagKeepIdAuto) == 0 &&
      ((nFlags & knFlagNewIdAuto) != 0 || !column->bIsAutoIncrementOnDataBase())) {
    if (m_pclDataAccess == nullptr || !m_pclDataAccess->bSetNewAutoId()) {
      if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
        _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteColumnValue, knErrNotAvailable);
      return 0;
    }
  }
  CAny clValue;
  if (!column->bGetCurrentValue(&clValue, 0)) {
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteColumnValue, knErrNotAvailable);
    return 0;
  }
  return values->bAddParameter(&clValue, knNoOperator, 0, column, 0, CNAParameter::NAPARAM_IN);
}

int CNAStatement::_bBuildQueryInsertUpdate(CNACommand* command, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags) {
  if (type != NA_QUERY_INSERT && type != NA_QUERY_UPDATE) return 0;
  if (!_bBuildQueryStart(command, type)) return 0;
  CNACommand* pclValues = m_pclDataAccess != nullptr ? m_pclDataAccess->pclAllocCommand(m_pclError) : nullptr;
  if (pclValues == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclValues->AddRef();
  CColumnList clList;
  int bOk = _bBuildColumnList(&clList, pclValues, type, flags);
  if (bOk && type == NA_QUERY_UPDATE) {
    if (clList.nGetCount() == 0) {
      // Nothing changed: an empty command, which executes as nothing.
      command->ResetCommand(0);
    } else {
      command->bComplete(L" SET ");
      bOk = command->bAdd(pclValues, ADDMODE_SHARE);
      if (bOk) bOk = _bAddWHERELatestRead(command, 1, nullptr);
      if (bOk) bOk = bAddLimitOneRow(command, m_pclRecord, pclGetConnectionNoRef());
      if (bOk) {
        CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
        if (pclCnx != nullptr && pclCnx->bSupportInsertReturning()) bOk = _bAddClauseReturning(type, 0);
      }
    }
  } else if (bOk) {
    if (clList.nGetCount() == 0) {
      // Every column is filled by the server. One column alone takes its
      // default; a kind-5 server refuses that form when more columns
      // follow (the count of values would not match) and takes the empty
      // lists instead.
      int nPlain = 0;
      for (int i = 0; m_pclRecord != nullptr && i < m_pclRecord->nGetColumnCount(); ++i) {
        CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
        if (pclColumn == nullptr || pclColumn->bIsComposedKey()) break;
        ++nPlain;
      }
      CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
      const bool bKind5 = pclCnx != nullptr && pclCnx->eGetDataSource() == DATASOURCE_MARIADB;
      command->bComplete(bKind5 && nPlain > 1 ? L" () VALUES ()" : L" VALUES ( DEFAULT )");
    } else {
      command->bComplete(L" (");
      command->bComplete(clList.pszGet());
      command->bComplete(L") VALUES ( ");
      bOk = command->bAdd(pclValues, ADDMODE_SHARE);
      if (bOk) command->bComplete(L" )");
      if (bOk) {
        CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
        if (pclCnx != nullptr && pclCnx->bSupportInsertReturning()) bOk = _bAddClauseReturning(type, 0);
      }
    }
  }
  pclValues->nRelease();
  return bOk;
}

int CNAStatement::_bAddClauseReturning(eNAQUERYTYPE type, int /*n*/) {
  if (type != NA_QUERY_INSERT || m_pclCommand == nullptr || m_pclRecord == nullptr) return 1;
  CNAColumn* pclIdAuto = m_pclRecord->pclGetColumnIDAutoNoRef();
  if (pclIdAuto == nullptr) return 1;
  return m_pclCommand->bAddReturning(pclIdAuto->pszGetFormatedName());
}

// ======================================================================
// After an INSERT or UPDATE
// ======================================================================

int CNAStatement::bUpdateRecordAfterInsert(eNAQUERYTYPE /*type*/, int flags) {
  if ((static_cast<std::uint32_t>(flags) & knFlagKeepIdAuto) != 0) return 1;
  CNAColumn* pclIdAuto = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
  if (pclIdAuto == nullptr) return 1;
  CAny clValue;
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  if (pclCnx != nullptr && pclCnx->bSupportInsertReturning()) {
    if (!bGetResultValue(&clValue, 0)) return 0;
  } else {
    CNAIDAuto* pclIDAuto = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetIDAuto() : nullptr;
    if (pclIDAuto == nullptr) {
      if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
        _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteAfterInsert, knErrNotAvailable);
      return 0;
    }
    const int bOk = pclIDAuto->bGetMaxCurrentValue(m_pclDataAccess, pclIdAuto, m_pclError, &clValue);
    pclIDAuto->nRelease();
    if (!bOk) return 0;
  }
  return pclIdAuto->bSetValue(&clValue, 0);
}

int CNAStatement::bUpdateRecordAfterUpdate(eNAQUERYTYPE /*type*/, int flags) {
  if ((static_cast<std::uint32_t>(flags) & knFlagKeepIdAuto) != 0) return 1;
  CNAColumn* pclIdAuto = m_pclRecord != nullptr ? m_pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
  if (pclIdAuto == nullptr) return 1;
  // An UPDATE never changes the identifier: the record keeps the one it
  // was read with.
  CAny clValue;
  if (pclIdAuto->bGetOriginalValue(&clValue, 0)) pclIdAuto->bSetValue(&clValue, 0);
  return 1;
}

// ======================================================================
// CREATE TABLE
// ======================================================================

int CNAStatement::bBuildQueryCREATE(CNACommand* command) {
  if (command == nullptr) return 0;
  CTString csTable;
  if (!_bGetWriteTableName(&csTable)) return 0;
  // A CREATE stands alone in its command.
  command->ResetCommand(0);
  command->SetQueryType(TYPEREQUETE_CREATE);
  command->bComplete(L"CREATE TABLE ");
  command->bComplete(csTable.pszGet());
  command->bComplete(L"( ");
  int bOk = 1;
  bool bFirst = true;
  for (int i = 0; m_pclRecord != nullptr && i < m_pclRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_pclRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) continue;
    CTString csColumn;
    if (!_bBuildSubQueryCREATEColumn(pclColumn, &csColumn)) {
      bOk = 0;
      break;
    }
    if (!bFirst) command->bComplete(L", ");
    command->bComplete(csColumn.pszGet());
    bFirst = false;
  }
  command->bComplete(L" )");
  return bOk;
}

int CNAStatement::_bBuildSubQueryCREATEColumn(CNAColumn* column, CTString* text) {
  if (column == nullptr || text == nullptr) return 0;
  CTString csType;
  CTString csConstraint;
  if (!_bGetNativeDataType(column, &csType)) return 0;
  if (!_bGetNativeConstraint(column, &csConstraint)) return 0;
  std::wstring s = column->pszGetFormatedName();
  s += L" ";
  s += csType.pszGet();
  if (csConstraint.nTaille() > 0) {
    s += L" ";
    s += csConstraint.pszGet();
  }
  text->Set(s.c_str());
  return 1;
}

int CNAStatement::_bGetNativeDataType(CNAColumn* column, CTString* type) {
  CNAConnectionDescription* pclCnx = pclGetConnectionNoRef();
  INAItemDescription* piItem = column != nullptr ? column->piGetItemDescription() : nullptr;
  if (pclCnx == nullptr || piItem == nullptr || type == nullptr) {
    _AddUserError(NA_ERRORTYPE_UNAVAILABLE, knSiteNativeType, knErrNotAvailable);
    return 0;
  }
  return pclCnx->bGetMatchingSQLType(m_pclError, piItem, type);
}

int CNAStatement::_bGetNativeConstraint(CNAColumn* column, CTString* constraint) {
  if (constraint == nullptr) return 0;
  constraint->Set(L"");
  INAItemDescription* piItem = column != nullptr ? column->piGetItemDescription() : nullptr;
  if (piItem == nullptr) return 1;
  const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
  if (piItem->bPrimary(0) || eType == NA_IT_IDAUTO || eType == NA_IT_IDAUTO4) {
    constraint->Set(L" PRIMARY KEY ");
    return 1;
  }
  std::wstring s;
  if (piItem->bUnique(0)) s = L" UNIQUE ";
  INADataSourceDescription* piSource = m_piDataSource;
  if (piSource != nullptr && piSource->nGetNAVersion() >= 6 && piSource->bGetNullSupported() &&
      piItem->nGetVersion() >= 9 && !piItem->vbConstraintNullAllowed())
    s += L" NOT NULL ";
  constraint->Set(s.c_str());
  return 1;
}

// ======================================================================
// Correction of a CREATE whose character columns are too long
// ======================================================================

int CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(CTString* out, const wchar_t* create, const wchar_t* typeName,
                                                     long long maximum, const wchar_t* replacement) {
  if (out == nullptr) return 0;
  out->Set(L"");
  if (create == nullptr || typeName == nullptr || *typeName == 0 || maximum < 0) return 0;
  const std::size_t nName = std::wcslen(typeName);
  const std::size_t nText = std::wcslen(create);
  constexpr long long knSaturated = 0x7FFFFFFFFFFFFFFFLL;
  std::wstring sOut;
  std::size_t nCopied = 0;  // the text before this is in csOut
  bool bReplaced = false;
  wchar_t cQuote = 0;
  for (std::size_t i = 0; i < nText; ++i) {
    const wchar_t c = create[i];
    if (cQuote != 0) {
      // A doubled quote stays inside the quoted piece.
      if (c == cQuote) {
        if (i + 1 < nText && create[i + 1] == cQuote)
          ++i;
        else
          cQuote = 0;
      }
      continue;
    }
    if (c == L'`' || c == L'"' || c == L'\'') {
      cQuote = c;
      continue;
    }
    if (i > 0 && bIdentifierChar(create[i - 1])) continue;
    if (nText - i < nName + 1 || !bNameAt(create + i, typeName, nName) || create[i + nName] != L'(') continue;
    // The length: digits right after "(", then ")".
    std::size_t j = i + nName + 1;
    long long nLength = 0;
    const std::size_t nDigits = j;
    while (j < nText && create[j] >= L'0' && create[j] <= L'9') {
      const int d = create[j] - L'0';
      nLength = nLength > (knSaturated - d) / 10 ? knSaturated : nLength * 10 + d;
      ++j;
    }
    if (j == nDigits || j >= nText || create[j] != L')' || nLength <= maximum) {
      i = j > i ? j - 1 : i;
      continue;
    }
    sOut.append(create + nCopied, i - nCopied);
    if (replacement != nullptr) sOut += replacement;
    nCopied = j + 1;
    i = j;
    bReplaced = true;
  }
  if (!bReplaced) return 0;
  if (nCopied < nText) sOut += create + nCopied;
  out->Set(sOut.c_str());
  return 1;
}
