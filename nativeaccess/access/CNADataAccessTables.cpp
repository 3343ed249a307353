// Opening, creating and deleting the table of a data access: the check that
// the server's table matches the declared description (and the adoption of
// the server's description), CREATE TABLE with the indexes of the keys,
// DROP TABLE, and the deletion of every record.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <new>

#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNAContext.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CRefArray.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {
// Where the missing table is reported (the data access's debug line).
constexpr int knSiteFichierExiste = 40;
// User error 15: the table cannot be opened (its logical name).
constexpr unsigned int knErrCannotOpen = 15;
// The same text, put before an error already recorded.
constexpr unsigned int knMsgCannotOpen = 28541;
// The server's answer to a DROP of a table it does not have.
constexpr std::uint32_t knServerUnknownTable = 1051;
// Options of the indexes made after a CREATE TABLE.
constexpr unsigned int knIndexUnique = 1;
constexpr unsigned int knIndexDuplicatesAndComposite = 2;
// The counter of generated index names, for the whole process.
std::atomic<unsigned int> gnIndexNameCounter{0};
}  // namespace

void CNADataAccess::_TakeAliasName() {
  const wchar_t* pszNext = m_pclContext != nullptr ? m_pclContext->pszGetNextLogicalName() : nullptr;
  m_sAliasName = pszNext != nullptr && *pszNext != 0 ? pszNext : pszGetLogicalName();
}

int CNADataAccess::_bFailTable() {
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(NAERRORLEVEL_WARNING);
  return 0;
}

// ======================================================================
// The server's description
// ======================================================================

CNADataSourceDescription* CNADataAccess::pclGetDataSourceDescriptionFromDB(const wchar_t* table, int mode) {
  if (m_pclConnection == nullptr || !m_pclConnection->bOpen(m_pclError)) return nullptr;
  CNADataSourceDescription* pclSource = _pclAllocDataSource(m_pclConnection, m_pclError);
  if (pclSource == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclSource->AddRef();
  if (!pclSource->bInitDataSourceDescriptionFromDB(table, mode)) {
    pclSource->nRelease();
    return nullptr;
  }
  return pclSource;
}

int CNADataAccess::bFichierExiste(int* exists, int* compatible) {
  _TakeAliasName();
  CNADataSourceDescription* pclSource = pclGetDataSourceDescriptionFromDB(pszGetDBTableName(), 1);
  if (pclSource != nullptr) {
    _SetImportedDataSourceDesc(pclSource);
    if (exists != nullptr) *exists = 1;
    if (compatible != nullptr) *compatible = pclSource->bAreDescriptionCompatible(m_piDataSource) ? 1 : 0;
    pclSource->nRelease();
    return 1;
  }
  if (exists != nullptr) *exists = 0;
  if (compatible != nullptr) *compatible = 0;
  if (m_pclError != nullptr) {
    if (m_pclError->eGetErrorLevel() == NAERRORLEVEL_NONE)
      _AddUserError(NA_ERRORTYPE_GENERIC, knSiteFichierExiste, knErrCannotOpen);
    else
      // The server's reason stays the main error; the user reads first
      // which table could not be opened.
      m_pclError->AddUserMessageFirst(knMsgCannotOpen, pszGetLogicalName());
  }
  return 0;
}

int CNADataAccess::bCheckCompatibilityWithDatabase() {
  if (m_bCompatible) return 1;
  int bExists = 0;
  int bCompatible = 0;
  if (!bFichierExiste(&bExists, &bCompatible) || !bExists) return 0;
  m_bCompatible = bCompatible ? 1 : 0;
  return m_bCompatible;
}

void CNADataAccess::_SetImportedDataSourceDesc(CNADataSourceDescription* description) {
  if (description != m_pclImportedDataSource) {
    if (description != nullptr) description->AddRef();
    CNADataSourceDescription* pclOld = m_pclImportedDataSource;
    m_pclImportedDataSource = description;
    if (pclOld != nullptr) pclOld->nRelease();
  }
  if (description == nullptr) return;

  const bool bNoDeclared =
      m_piDataSource == nullptr || m_piDataSource == static_cast<INADataSourceDescription*>(description);
  bool bTypesChanged = false;
  const std::uint32_t nItems = description->nGetNumItems();
  for (std::uint32_t i = 0; i < nItems; ++i) {
    CNAItemDescription* pclServer = description->pclGetItemNoRef(i);
    if (pclServer == nullptr) continue;
    if (!pclServer->bUpdatable()) {
      m_bNotUpdatable = 1;
      // Without a declared description of its own there is nothing to
      // mark: one such item tells all.
      if (bNoDeclared) break;
    } else if (bNoDeclared) {
      continue;
    }
    INAItemDescription* piDeclared = m_piDataSource->piNAGetItem(pclServer->pszGetName());
    if (piDeclared == nullptr && bIsQuery() && m_piDataSource->nGetNumItems() >= i + 1) {
      // A query's item the runtime could not name takes the server's name
      // at the same place, and its column is named again.
      piDeclared = m_piDataSource->piNAGetItem(i);
      auto* pclDeclared = dynamic_cast<CNAItemDescription*>(piDeclared);
      if (pclDeclared != nullptr) pclDeclared->bSetName(pclServer->pszGetName());
      CNAColumn* pclColumn =
          m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(static_cast<int>(i)) : nullptr;
      if (pclColumn != nullptr) pclColumn->bFormatName();
    }
    if (piDeclared == nullptr) continue;
    if (!pclServer->bUpdatable()) piDeclared->SetUpdatable(0);
    if (bIsQuery()) {
      auto* pclDeclared = dynamic_cast<CNAItemDescription*>(piDeclared);
      const eNA_ITEMTYPE eDeclared = piDeclared->eNAGetItemType();
      // An expression of the query is typed by what the server computes.
      if (pclDeclared != nullptr && pclDeclared->nGetColumnKind() == 1 &&
          CNAItemDescription::g_bIsMemo(eDeclared) == CNAItemDescription::g_bIsMemo(pclServer->eNAGetItemType())) {
        if (!pclDeclared->bTypeMatch(pclServer, 1, 1)) {
          pclDeclared->bChangeType(pclServer, 1);
          bTypesChanged = true;
        } else if (!pclDeclared->bTypeMatch(pclServer, 0, 1)) {
          bTypesChanged = true;
        }
      }
      // The server gives a text memo of a query as binary: it is read as
      // the text the runtime declared.
      if (pclServer->eNAGetItemType() == NA_IT_MEMOBINAIRE) {
        if (eDeclared == NA_IT_TEXTE || eDeclared == NA_IT_MEMOTEXTE)
          pclServer->bChangeTypeMemo(NA_IT_MEMOTEXTE);
        else if (eDeclared == NA_IT_UNICODE || eDeclared == NA_IT_MEMOUNICODE)
          pclServer->bChangeTypeMemo(NA_IT_MEMOUNICODE);
      }
    }
    piDeclared->nExternalRelease();
  }

  if (m_pclCurrentRecord == nullptr) return;
  if (bTypesChanged) {
    auto* pclDeclared = dynamic_cast<CNADataSourceDescription*>(m_piDataSource);
    if (pclDeclared != nullptr) pclDeclared->UpdateRecordSize();
    int bOk = m_pclCurrentRecord->bUpdateChangedTypeInCurrentRecord(m_piDataSource);
    unsigned int nCursor = 0;
    CNAStatement* pclStatement = nullptr;
    while (bOk && m_htStatements.bParseTable(&nCursor, 0, &pclStatement)) {
      if (pclStatement != nullptr) bOk = pclStatement->bUpdateChangedTypeInCurrentRecord();
    }
    // The saved records have the former layout.
    _ResetRecordCache();
  }
  _bInitCurrentRecord();
}

// ======================================================================
// Opening
// ======================================================================

int CNADataAccess::bHOuvre(eNA_ACCESS /*access*/, const wchar_t* /*password*/) {
  _TakeAliasName();
  if (m_bOpened) return 1;
  if (!bCheckCompatibilityWithDatabase()) return _bFailTable();
  if (!_bInitCurrentRecord()) return _bFailTable();
  m_bOpened = 1;
  return 1;
}

// ======================================================================
// Creating and dropping
// ======================================================================

int CNADataAccess::_bHCreation(int dropFirst, int create) {
  _Close();
  if (m_pclConnection == nullptr || !m_pclConnection->bOpen(m_pclError)) return 0;
  if (!_bInitCurrentRecord()) return 0;
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  int bOk = 1;
  if (dropFirst) {
    const bool bErrorBefore = m_pclError != nullptr && m_pclError->eGetErrorLevel() != NAERRORLEVEL_NONE;
    if (!_bOperation(pclStatement, NA_QUERY_DROPTABLE, NA_WRITEPARSE_NONE, nullptr)) {
      // Before a CREATE any refusal is left to the CREATE to tell; alone,
      // only a table the server does not have is dropped already: a
      // refused DROP (no privilege, a table other tables refer to) leaves
      // the table in place and fails.
      const bool bNoSuchTable =
          m_pclError != nullptr && m_pclError->dwGetDataBaseErrorCode() == knServerUnknownTable;
      if (!create && !bNoSuchTable) {
        bOk = 0;
      } else if (!bErrorBefore && m_pclError != nullptr) {
        // The ignored refusal would otherwise stand before the CREATE's
        // own error, or behind a success.
        m_pclError->Reset();
      }
    }
  }
  if (bOk && create) {
    bOk = _bOperation(pclStatement, NA_QUERY_CREATETABLE, NA_WRITEPARSE_NONE, nullptr);
    if (bOk) {
      if (m_pclError != nullptr) m_pclError->Reset();
      // A missing index costs speed, not data: the table stands.
      _bCreateIndex(pclStatement, static_cast<unsigned int>(m_nIndexOptions));
      bOk = bCheckCompatibilityWithDatabase();
    }
  }
  pclStatement->ResetQuery();
  pclStatement->nRelease();
  return bOk;
}

int CNADataAccess::bHCreation(const wchar_t* /*password*/, int dropFirst) {
  _TakeAliasName();
  if (!_bHCreation(dropFirst, 1) || !_bInitCurrentRecord()) return _bFailTable();
  m_bOpened = 1;
  return 1;
}

int CNADataAccess::bHCreationSiInexistant(eNA_ACCESS access, const wchar_t* password) {
  _TakeAliasName();
  int bExists = 0;
  int bCompatible = 0;
  if (bFichierExiste(&bExists, &bCompatible)) {
    m_bCompatible = bExists && bCompatible ? 1 : 0;
    if (!bHOuvre(access, password)) return _bFailTable();
    return 1;
  }
  m_bCompatible = 0;
  // The table is made now: the report of its absence is no longer true.
  if (m_pclError != nullptr) m_pclError->Reset();
  if (!bHCreation(password, 0)) return _bFailTable();
  return 1;
}

int CNADataAccess::bSupprimeFichier() {
  _TakeAliasName();
  if (!_bHCreation(1, 0)) return _bFailTable();
  m_bOpened = 0;
  return 1;
}

// ======================================================================
// Indexes
// ======================================================================

int CNADataAccess::_bCreateIndex(CNAStatement* statement, unsigned int options) {
  if (statement == nullptr || m_pclCurrentRecord == nullptr) return 0;
  int bResult = 1;
  for (int i = 0; i < m_pclCurrentRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
    INAItemDescription* piItem = pclColumn != nullptr ? pclColumn->piGetItemDescription() : nullptr;
    if (piItem == nullptr) continue;
    CTString csColumns;
    if (pclColumn->bIsComposedKey() && (options & knIndexDuplicatesAndComposite) != 0) {
      const CNARefArray<CNAColumn>* pComponents = pclColumn->pclGetTabComponent();
      for (int c = 0; pComponents != nullptr && c < pComponents->nGetNbElements(); ++c) {
        if (c > 0) csColumns.Add(L",");
        csColumns.Add((*pComponents)[c]->pszGetFormatedName());
      }
    } else if ((piItem->bDuplicates(0) && (options & knIndexDuplicatesAndComposite) != 0) ||
               (piItem->bUnique(0) && (options & knIndexUnique) != 0)) {
      csColumns = pclColumn->pszGetFormatedName();
    } else {
      continue;
    }
    CTString csName;
    if (!_bGetUniqueIndexName(pclColumn, &csName)) {
      bResult = 0;
      continue;
    }
    CNACommand* pclCommand = pclAllocCommand(m_pclError);
    if (pclCommand == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      bResult = 0;
      continue;
    }
    pclCommand->AddRef();
    pclCommand->SetQueryType(TYPEREQUETE_CREATE);
    pclCommand->bComplete(L"CREATE ");
    if (piItem->bUnique(0)) pclCommand->bComplete(L"UNIQUE");
    pclCommand->bComplete(L" INDEX ");
    pclCommand->bComplete(csName.pszGet());
    pclCommand->bComplete(L" ON ");
    pclCommand->bComplete(m_sDBTableName.pszGet());
    pclCommand->bComplete(L" ( ");
    pclCommand->bComplete(csColumns.pszGet());
    pclCommand->bComplete(L" ) ");
    if (!statement->bExecuteDirectNewCommand(pclCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT)) bResult = 0;
    pclCommand->nRelease();
  }
  return bResult;
}

int CNADataAccess::_bGetUniqueIndexName(CNAColumn* column, CTString* name) {
  if (column == nullptr || name == nullptr) return 0;
  if (!column->bIsComposedKey()) return _bGetGeneratedIndexName(column, name);
  if (m_pclConnection != nullptr && m_pclConnection->bIndexNamesCommonOnDatabase()) {
    // Index names shared by every table of the database: the table's name
    // keeps them apart.
    CTString csRaw;
    csRaw.Add(pszGetDBTableName(), L"_", column->pszGetName());
    return m_pclConnection->bFormatItemName(m_pclError, csRaw.pszGet(), name);
  }
  *name = column->pszGetFormatedName();
  return 1;
}

int CNADataAccess::_bGetGeneratedIndexName(CNAColumn* /*column*/, CTString* name) {
  if (name == nullptr) return 0;
  // The time tells runs apart, the counter the indexes of one second.
  const auto nSeconds = static_cast<std::uint32_t>(std::time(nullptr));
  const unsigned int nCounter = gnIndexNameCounter.fetch_add(1);
  name->Vide();
  name->AddPrintf(L"KXIDX%u%d", static_cast<unsigned int>(nSeconds), static_cast<int>(nCounter));
  return 1;
}

// ======================================================================
// Deleting every record
// ======================================================================

int CNADataAccess::bSupprimeTout() {
  _TakeAliasName();
  if (!_bSupprimeTout()) return _bFailTable();
  m_bOpened = 0;
  return 1;
}

int CNADataAccess::_bSupprimeTout() {
  _Close();
  if (m_pclConnection == nullptr || !m_pclConnection->bOpen(m_pclError)) return 0;
  if (bIsQuery()) return _bSupprimeTout_HSupprime();
  if (!_bInitCurrentRecord()) return 0;
  CNAStatement* pclStatement = _pclGetQueryStatement();
  if (pclStatement == nullptr) return 0;
  const int bOk = _bOperation(pclStatement, NA_QUERY_DELETEALL, NA_WRITEPARSE_NONE, nullptr);
  pclStatement->ResetQuery();
  pclStatement->nRelease();
  return bOk;
}

int CNADataAccess::_bSupprimeTout_HSupprime() {
  // A query has no single table to empty: its rows go one by one.
  const CTString csItem = csGetBestParseItemName();
  int nLock = 0;
  int bOut = 0;
  int bOk = bHLitxxx(csItem.pszGet(), NA_PARSE_FIRST, 1, 1, &nLock, 0);
  if (bOk) bOk = bHEndehors(csItem.pszGet(), &bOut);
  while (bOk && !bOut) {
    bOk = bHSupprime(0, NA_LOCKTYPE_DEFAULT);
    if (bOk) bOk = bHLitxxx(csItem.pszGet(), NA_PARSE_NEXT, 1, 1, &nLock, 0);
    if (bOk) bOk = bHEndehors(csItem.pszGet(), &bOut);
  }
  return bOk && bOut ? 1 : 0;
}
