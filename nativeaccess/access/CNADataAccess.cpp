#include "CNADataAccess.h"

#include <cwchar>
#include <new>

#include "CAny.h"
#include "CHashTableBounce.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNAContext.h"
#include "CNAConvertVariant.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAFilter.h"
#include "CNAIDAuto.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CNATable.h"
#include "CNATableCache.h"
#include "CNAXQRecord.h"
#include "CSQLParserInfo.h"
#include "IInfoFrom.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "ISQLParserInformation.h"
#include "StrFunctions.h"

CNADataAccess* gpclLastDataAccess = nullptr;
std::uint64_t gdwCtxID = 0;
std::uint64_t gdwDataID = 0;

namespace {
// Reports of the data access: source 3 of the debug line.
constexpr int knLocationArea = 3;
// Sites of this file's reports.
constexpr int knSiteInternalQuery = 2;
constexpr int knSiteDescribe = 3;
constexpr int knSiteReadOnly = 16;
constexpr int knSiteRecordNumber = 17;
constexpr int knSiteWrittenNotRead = 18;
// Sites of the operations of the later layers, one each (their numbers are
// fixed: the debug lines already shipped carry them).
enum eSITE : int {
  SITE_GETBLOB = 20,
  SITE_SETBLOB = 21,
  SITE_EXTRAITMEMO = 22,
  SITE_EXECUTEQUERY = 37,
  SITE_SETBLOBITEM = 43,
  SITE_ATTACHEMEMO = 44,
};
// User errors of this file.
constexpr unsigned int knErrNotAvailable = 38;
constexpr unsigned int knErrReadOnlyQuery = 35;
constexpr unsigned int knErrRecordNumber = 18;
constexpr unsigned int knErrWrittenNotRead = 86;
// Replaces a counted holding: the new object referenced before the old one
// is given back (which may reach back into the holder).
template <class T>
void ReplaceHeld(T** slot, T* value) {
  if (value == *slot) return;
  if (value != nullptr) value->AddRef();
  T* pclOld = *slot;
  *slot = value;
  if (pclOld != nullptr) pclOld->nRelease();
}
}  // namespace

// ======================================================================
// Construction and destruction
// ======================================================================

CNADataAccess::CNADataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection,
                             CNAError* error)
    : m_pclError(error), m_pclConnection(connection) {
  __Init();
  if (m_pclConnection != nullptr) m_pclConnection->AddRef();
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (source != nullptr) _SetDataSource(source);
}

void CNADataAccess::__Init() {
  m_pclCurrentRecord = nullptr;
  m_piDataSource = nullptr;
  m_piDataSourceForXQ = nullptr;
  m_pclImportedDataSource = nullptr;
  m_bOpened = 0;
  m_pszLastKey = nullptr;
  m_pclLastFound = nullptr;
  m_eNextOperation = 0;
  m_pclIDAuto = nullptr;
  m_pclLastStatement = nullptr;
  m_pclQueryParserInfo = nullptr;
  m_nQueryMode = 0;
  m_bQuery = 0;
  m_bCompatible = 0;
  m_nNotifyOptions = knNotifyAllStatements;
  m_nIndexOptions = 2;
  m_eHMode = static_cast<_eNA_HMODE>(1);
  m_pclTable = nullptr;
  m_pclContext = nullptr;
  m_dwContextID = ~std::uint64_t{0};
  m_pclLatestFilter = nullptr;
  m_nOriginalRecordSave = knNoRecordSave;
  m_pclTableCache = nullptr;
  m_bNotUpdatable = 0;
  m_bQueryBrowsePending = 0;
  m_pclExecutionStatement = nullptr;
  m_nMaxRowLength = 0;
  m_pclRecordSaves = new (std::nothrow) CNARecordCachePosition();
  if (m_pclRecordSaves != nullptr) {
    m_pclRecordSaves->AddRef();
    m_pclRecordSaves->SetGrowStep(knRecordSaveGrowStep, 0);
  }
}

void CNADataAccess::_SetDataSource(INADataSourceDescription* source) {
  if (source == m_piDataSource) return;
  if (source != nullptr) source->ExternalAddRef();
  INADataSourceDescription* piOld = m_piDataSource;
  m_piDataSource = source;
  if (piOld != nullptr) piOld->nExternalRelease();
  m_sDBTableName.Vide();
  const wchar_t* pszName = m_piDataSource != nullptr ? m_piDataSource->pszGetDBTableName() : nullptr;
  if (pszName == nullptr) return;
  if (m_pclConnection != nullptr)
    m_pclConnection->bFormatTableName(m_pclError, pszName, &m_sDBTableName);
  else
    m_sDBTableName = pszName;
}

CNADataAccess::~CNADataAccess() {
  s_ForgetLastDataAccess(this);
  // Everything that holds a save gives it back while the store still
  // exists: positions, statements (their record-save tables and held
  // saves) and the current-record save.
  _ResetDataAccess();
  _FreeSavedRecordCache();
  CNAConnectionDescription* pclConnection = m_pclConnection;
  m_pclConnection = nullptr;
  CNADriver::s_ReleaseConnection(pclConnection);
  if (m_pclError != nullptr) {
    CNAError* pclError = m_pclError;
    m_pclError = nullptr;
    pclError->nRelease();
  }
  m_htPositions.DeleteAll();
  m_htStatements.DeleteAll();
}

// ======================================================================
// Last data access found by a table
// ======================================================================

void CNADataAccess::s_SetLastDataAccess(CNADataAccess* access, std::uint64_t contextId, std::uint64_t dataId) {
  CNADriverLock clLock;
  gpclLastDataAccess = access;
  gdwCtxID = contextId;
  gdwDataID = dataId;
}

CNADataAccess* CNADataAccess::s_pclGetLastDataAccess(std::uint64_t contextId, std::uint64_t dataId) {
  CNADriverLock clLock;
  if (gpclLastDataAccess == nullptr || gdwCtxID != contextId || gdwDataID != dataId) return nullptr;
  return gpclLastDataAccess;
}

void CNADataAccess::s_ForgetLastDataAccess(CNADataAccess* access) {
  CNADriverLock clLock;
  if (access != nullptr && gpclLastDataAccess != access) return;
  gpclLastDataAccess = nullptr;
  gdwCtxID = 0;
  gdwDataID = 0;
}

// ======================================================================
// Errors
// ======================================================================

void CNADataAccess::_AddUserError(eNA_ERRORTYPE type, int site, unsigned int code, const wchar_t* item) {
  if (m_pclError == nullptr) return;
  const bool bFirst = m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  m_pclError->AddError(type, knLocationArea, site, m_pclConnection, code, pszGetLogicalName());
  // The names belong to the main error: only a first error takes them.
  if (bFirst) m_pclError->SetInfoNames(pszGetLogicalName(), item);
}

int CNADataAccess::_bNotAvailable(int site) {
  _AddUserError(NA_ERRORTYPE_UNAVAILABLE, site, knErrNotAvailable);
  return 0;
}

eNA_ERRORTYPE CNADataAccess::eGetNAErrorType() {
  if (m_pclError == nullptr) return NA_ERRORTYPE_NONE;
  const eNA_ERRORTYPE eType = m_pclError->eGetErrorType();
  if (eType != NA_ERRORTYPE_GENERIC) return eType;
  if (m_pclConnection == nullptr) return eType;
  return m_pclConnection->eGetNAErrorType(m_pclError->dwGetDataBaseErrorCode());
}

// ======================================================================
// Accessors
// ======================================================================

const wchar_t* CNADataAccess::pszGetLogicalName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetLogicalName() : nullptr;
  return psz != nullptr ? psz : L"";
}

const wchar_t* CNADataAccess::pszGetDBTableName() const {
  const wchar_t* psz = m_piDataSource != nullptr ? m_piDataSource->pszGetDBTableName() : nullptr;
  return psz != nullptr ? psz : L"";
}

INADataSourceDescription* CNADataAccess::piGetDeclaredDataSourceDescription() {
  if (m_piDataSource != nullptr) m_piDataSource->ExternalAddRef();
  return m_piDataSource;
}

INADataSourceDescription* CNADataAccess::piGetDataSourceDescriptionForXQ() {
  if (!bIsQuery()) return piGetDeclaredDataSourceDescription();
  if (m_piDataSourceForXQ == nullptr) {
    // The engine works on a copy of a query's description of its own, so
    // that what it changes never reaches the one the statements read.
    m_piDataSourceForXQ = _piCloneForXQ();
    if (m_piDataSourceForXQ == nullptr) return nullptr;
  }
  m_piDataSourceForXQ->ExternalAddRef();
  return m_piDataSourceForXQ;
}

INADataSourceDescription* CNADataAccess::_piCloneForXQ() {
  if (m_piDataSource == nullptr) return nullptr;
  // Every item a key, so that the engine may browse the result on any.
  auto* pclOwn = dynamic_cast<CNADataSourceDescription*>(m_piDataSource);
  INADataSourceDescription* piClone =
      pclOwn != nullptr ? pclOwn->pclGetCloneDataSourceDescription(NA_CLONEDESC_KEYALL) : nullptr;
  if (piClone == nullptr) {
    if (pclOwn != nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return nullptr;
    }
    // A description of the runtime's own: the engine reads it as it is.
    piClone = m_piDataSource;
  }
  piClone->ExternalAddRef();
  return piClone;
}

CNADataSourceDescription* CNADataAccess::pclGetImportedDataSourceDesc() {
  if (m_pclImportedDataSource != nullptr) m_pclImportedDataSource->AddRef();
  return m_pclImportedDataSource;
}

INADataSourceDescription* CNADataAccess::piGetDataSourceDescription() {
  INADataSourceDescription* pi = m_pclImportedDataSource != nullptr
                                     ? static_cast<INADataSourceDescription*>(m_pclImportedDataSource)
                                     : m_piDataSource;
  if (pi != nullptr) pi->ExternalAddRef();
  return pi;
}

CNARecord* CNADataAccess::pclGetCurrentRecord() { return m_pclCurrentRecord; }

CNARecord* CNADataAccess::pclGetCurrentRecordRef() {
  if (m_pclCurrentRecord != nullptr) m_pclCurrentRecord->AddRef();
  return m_pclCurrentRecord;
}

void CNADataAccess::_SetCurrentRecord(CNARecord* record) { ReplaceHeld(&m_pclCurrentRecord, record); }

void CNADataAccess::SetSourceQuery(CSQLParserInfo* query) { ReplaceHeld(&m_pclQueryParserInfo, query); }

int CNADataAccess::bGetRecord(CNAXQRecord** record) {
  if (!bIsOpened() || m_pclCurrentRecord == nullptr || record == nullptr) return 0;
  CNAXQRecord* pclBuffer = m_pclCurrentRecord->pclGetNAXQRecord();
  if (pclBuffer == nullptr) return 0;
  // The runtime reads the buffer in place: it is lent, not copied.
  pclBuffer->ExternalAddRef();
  *record = pclBuffer;
  return 1;
}

int CNADataAccess::bSetRecord(CNAXQRecord* record) {
  if (!bIsOpened() || m_pclCurrentRecord == nullptr || record == nullptr) return 0;
  const int bOk = m_pclCurrentRecord->bSetNAXQRecord(record);
  // The runtime hands its count on the buffer back, also for the current
  // buffer itself (lent by bGetRecord).
  record->nExternalRelease();
  return bOk;
}

int CNADataAccess::bHMode(_eNA_HMODE mode) {
  m_eHMode = mode;
  return 1;
}

void CNADataAccess::SetContext(CNAContext* context) {
  m_pclContext = context;
  if (context != nullptr) m_dwContextID = context->nGetNumber();
}

CNADataAccess* CNADataAccess::pclFindDataAccessByDBTableName(const wchar_t* name) {
  if (m_pclContext == nullptr) return nullptr;
  return m_pclContext->pclFindDataAccessByDBTableName(m_pclConnection, name);
}

INAItemDescription* CNADataAccess::piGetBestParseItemDesc() {
  return m_piDataSource != nullptr ? m_piDataSource->piGetBestParseItemDesc() : nullptr;
}

CTString CNADataAccess::csGetBestParseItemName() {
  CTString csName;
  INAItemDescription* piItem = piGetBestParseItemDesc();
  if (piItem != nullptr) {
    csName = piItem->pszGetName() != nullptr ? piItem->pszGetName() : L"";
    piItem->nExternalRelease();
  }
  return csName;
}

INAItemDescription* CNADataAccess::piGetItemDescription(const wchar_t* name) {
  return m_piDataSource != nullptr ? m_piDataSource->piNAGetItem(name) : nullptr;
}

int CNADataAccess::bSupportROWID() {
  CNARecordValue* pclValue = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValue() : nullptr;
  CNARecordId* pclId = pclValue != nullptr ? pclValue->pclGetRecordId() : nullptr;
  return pclId != nullptr && pclId->eGetRecordIdType() == NA_RECORDID_ROWID ? 1 : 0;
}

CNATableCache* CNADataAccess::pclGetTableCache() { return m_pclTableCache; }

int CNADataAccess::bRequeteSansCorrection() {
  return bIsQuery() && (m_nQueryMode & NA_QUERYMODE_ASWRITTEN) != 0 ? 1 : 0;
}

CNAStatement* CNADataAccess::pclGetCurrentStatement() { return m_pclLastStatement; }


// ======================================================================
// Factories
// ======================================================================

CNAStatement* CNADataAccess::_pclAllocStatement(CNADataAccess* owner, CNAError* error) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  return pclDriver != nullptr ? pclDriver->pclAllocStatement(owner, m_pclConnection, error) : nullptr;
}

CNADataSourceDescription* CNADataAccess::_pclAllocDataSource(CNAConnectionDescription* connection,
                                                             CNAError* error) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  return pclDriver != nullptr ? pclDriver->pclAllocDataSourceDescription(connection, error) : nullptr;
}

CNARecord* CNADataAccess::_pclAllocRecord(CNAError* error) { return new (std::nothrow) CNARecord(error, this); }

CNAIDAuto* CNADataAccess::_pclAllocIDAuto() {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  return pclDriver != nullptr ? pclDriver->pclAllocIDAuto() : new (std::nothrow) CNAIDAuto();
}

CNAPosition* CNADataAccess::pclAllocPosition() { return new (std::nothrow) CNAPosition(); }

void CNADataAccess::_AllocTableCache() {
  m_pclTableCache = new (std::nothrow) CNATableCache(m_pclError, this);
}

CNACommand* CNADataAccess::pclAllocCommand(CNAError* /*error*/) {
  // The command reports into this access's own error object, whatever the
  // caller hands in.
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver != nullptr) return pclDriver->pclAllocCommand(m_pclError, m_pclConnection);
  return ::pclAllocCommand(m_pclError, m_pclConnection);
}

eNA_RECORDIDTYPE CNADataAccess::eEvaluateRecordIdType() { return NA_RECORDID_RECORDVALUES; }

CNARecordId* CNADataAccess::pclAllocRecordID(const CNARecordValue* value) {
  switch (eEvaluateRecordIdType()) {
    case NA_RECORDID_RECORDVALUES:
      return new (std::nothrow) CNARecordId_RecordValues(value);
    case NA_RECORDID_ROWID: {
      CNADriver* pclDriver = CNADriver::s_pclDriver;
      if (pclDriver == nullptr) return nullptr;
      CNAConvertVariant* pclHolder = pclDriver->pclAllocVariantRowID(m_pclError, m_pclConnection);
      if (pclHolder == nullptr) return nullptr;
      CNARecordId* pclId = new (std::nothrow) CNARecordId_RowId(pclHolder);
      if (pclId == nullptr) {
        // The holder came with counts 0: a reference taken and given back
        // frees it.
        pclHolder->AddRef();
        pclHolder->nRelease();
      }
      return pclId;
    }
    default:
      return nullptr;
  }
}

CNAIDAuto* CNADataAccess::pclGetIDAuto() {
  if (m_pclIDAuto == nullptr) {
    CNAIDAuto* pclNew = _pclAllocIDAuto();
    if (pclNew == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return nullptr;
    }
    pclNew->AddRef();
    m_pclIDAuto = pclNew;
  }
  m_pclIDAuto->AddRef();
  return m_pclIDAuto;
}

int CNADataAccess::bSetNewAutoId() {
  CNARecord* pclRecord = pclGetCurrentRecord();
  CNAColumn* pclColumn = pclRecord != nullptr ? pclRecord->pclGetColumnIDAutoNoRef() : nullptr;
  if (pclColumn == nullptr) return 1;
  CNAIDAuto* pclIDAuto = pclGetIDAuto();
  if (pclIDAuto == nullptr) return 0;
  CAny clValue;
  int bOk = pclIDAuto->bGetNextValue(this, pclColumn, m_pclError, &clValue);
  if (bOk) bOk = pclColumn->bSetValue(&clValue, 0);
  pclIDAuto->nRelease();
  return bOk;
}

// ======================================================================
// Statement registry
// ======================================================================

CNAStatement* CNADataAccess::_pclFindStatement(const wchar_t* item) {
  const wchar_t* pszItem = item != nullptr ? item : L"";
  if (m_pszLastKey != nullptr && CHashTableBounce::nStringLogiqueCompare(pszItem, m_pszLastKey) == 0) {
    m_pclLastFound->AddRef();
    return m_pclLastFound;
  }
  CNAStatement* pclStatement = nullptr;
  const wchar_t* pszStored = nullptr;
  if (!m_htStatements.bGetElement(pszItem, &pclStatement, &pszStored)) return nullptr;
  m_pszLastKey = pszStored;
  m_pclLastFound = pclStatement;
  return pclStatement;
}

CNAStatement* CNADataAccess::_pclInitStatement(const wchar_t* item) {
  const wchar_t* pszItem = item != nullptr ? item : L"";
  CNAStatement* pclStatement = _pclAllocStatement(this, m_pclError);
  if (pclStatement == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclStatement->AddRef();  // the caller's
  if (!m_htStatements.bAddElement(pszItem, pclStatement)) {
    pclStatement->nRelease();
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  pclStatement->SetParseKey(pszItem);
  pclStatement->SetCacheKey(pszItem);
  return pclStatement;
}

CNAStatement* CNADataAccess::_pclGetNewItemStatement(const wchar_t* item, eNA_PARSEDIRECTION /*direction*/,
                                                     NA_WRITEPARSEFLAGS flags) {
  CNAStatement* pclStatement = _pclFindStatement(item);
  if (pclStatement == nullptr) pclStatement = _pclInitStatement(item);
  if (pclStatement == nullptr) return nullptr;
  // A read that switches keys with flag 0x8000 keeps the filter in force.
  if ((static_cast<unsigned int>(flags) & 0x8000u) != 0 && m_pclLastStatement != nullptr &&
      m_pclLastStatement != pclStatement)
    _bKeepFilter(m_pclLastStatement, pclStatement);
  m_pclLastStatement = pclStatement;
  return pclStatement;
}

CNAStatement* CNADataAccess::_pclGetLastStatement() {
  if (m_pclLastStatement != nullptr) {
    m_pclLastStatement->AddRef();
    return m_pclLastStatement;
  }
  const CTString csBest = csGetBestParseItemName();
  CNAStatement* pclStatement = _pclFindStatement(csBest.pszGet());
  if (pclStatement == nullptr) pclStatement = _pclInitStatement(csBest.pszGet());
  if (pclStatement != nullptr) m_pclLastStatement = pclStatement;
  return pclStatement;
}

CNAStatement* CNADataAccess::_pclGetQueryStatement() {
  CNAStatement* pclStatement = _pclFindStatement(L"");
  return pclStatement != nullptr ? pclStatement : _pclInitStatement(L"");
}

void CNADataAccess::_ForgetStatement(const CNAStatement* statement) {
  if (statement == nullptr) return;
  if (m_pclLastFound == statement) {
    m_pszLastKey = nullptr;
    m_pclLastFound = nullptr;
  }
  if (m_pclLastStatement == statement) m_pclLastStatement = nullptr;
}

int CNADataAccess::_bChangeStatementKey(const wchar_t* newItem, const wchar_t* oldItem, CNAStatement* statement) {
  const wchar_t* pszNew = newItem != nullptr ? newItem : L"";
  const wchar_t* pszOld = oldItem != nullptr ? oldItem : L"";
  // The entry under the old name must hold the statement: otherwise there
  // is nothing to move and nothing changes.
  CNAStatement* pclFound = nullptr;
  if (!m_htStatements.bGetElement(pszOld, &pclFound)) return 1;
  if (statement != nullptr && pclFound != statement) {
    pclFound->nRelease();
    return 1;
  }
  CNAStatement* pclStatement = pclFound;  // held for the call
  // The memo points at the old entry's key copy, which goes.
  if (m_pclLastFound == pclStatement) {
    m_pszLastKey = nullptr;
    m_pclLastFound = nullptr;
  }
  m_htStatements.bDeleteElement(pszOld);
  // Another statement under the new name gives way: it would otherwise
  // shadow or be shadowed by this one.
  CNAStatement* pclOther = nullptr;
  if (m_htStatements.bGetElement(pszNew, &pclOther)) {
    if (pclOther != pclStatement) {
      _ForgetStatement(pclOther);
      m_htStatements.bDeleteElement(pszNew);
    }
    pclOther->nRelease();
  }
  if (!m_htStatements.bAddElement(pszNew, pclStatement) && m_pclError != nullptr)
    m_pclError->pclGetXError()->SetErrorNoMemory();
  pclStatement->SetParseKey(pszNew);
  pclStatement->SetCacheKey(pszNew);
  pclStatement->nRelease();
  return 1;
}

void CNADataAccess::_CloseAllStatement() {
  m_pclLastStatement = nullptr;
  m_pszLastKey = nullptr;
  m_pclLastFound = nullptr;
  // Each statement leaves the registry before it is closed and released,
  // so that what its close reaches finds the registry consistent.
  while (m_htStatements.dwGetNumElement() > 0) {
    unsigned int nCursor = 0;
    CNAStatement* pclStatement = nullptr;
    while (m_htStatements.bParseTable(&nCursor, 1, &pclStatement)) {
      if (pclStatement == nullptr) continue;
      pclStatement->Close();
      pclStatement->nRelease();
      pclStatement = nullptr;
    }
  }
  if (m_pclIDAuto != nullptr) {
    CNAIDAuto* pclIDAuto = m_pclIDAuto;
    m_pclIDAuto = nullptr;
    pclIDAuto->nRelease();
  }
}

void CNADataAccess::_SetExecutionStatement(CNAStatement* statement) {
  ReplaceHeld(&m_pclExecutionStatement, statement);
}

// ======================================================================
// Current record
// ======================================================================

int CNADataAccess::_bInitCurrentRecord() {
  if (m_pclCurrentRecord == nullptr) {
    CNARecord* pclRecord = _pclAllocRecord(m_pclError);
    if (pclRecord == nullptr) {
      if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
      return 0;
    }
    pclRecord->AddRef();
    if (!pclRecord->bInitRecord(m_piDataSource, m_pclImportedDataSource, m_pclConnection)) {
      pclRecord->nRelease();
      return 0;
    }
    m_pclCurrentRecord = pclRecord;
  } else if (m_pclImportedDataSource != nullptr && m_pclCurrentRecord->nGetColumnCount() > 0 &&
             m_pclCurrentRecord->pclGetColumnNoRef(0)->piGetImportedItemDescNoRef() == nullptr) {
    // The database's description came after the layout: its items are
    // bound to the columns of the same names.
    for (int i = 0; i < m_pclCurrentRecord->nGetColumnCount(); ++i) {
      CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
      if (pclColumn == nullptr || pclColumn->bIsComposedKey()) continue;
      // The column takes its own reference: the lookup's goes back.
      CNAItemDescription* pclImported = m_pclImportedDataSource->pclNAGetItem(pclColumn->pszGetName(), 3);
      const int bBound = pclColumn->bSetImportedItemDesc(pclImported);
      if (pclImported != nullptr) pclImported->nExternalRelease();
      if (!bBound) break;
    }
  }
  if (bIsQuery() && m_pclQueryParserInfo != nullptr) {
    m_pclQueryParserInfo->SetRecord(m_pclCurrentRecord);
    if ((m_nQueryMode & NA_QUERYMODE_ASWRITTEN) == 0 && m_piDataSource != nullptr) {
      for (int i = 0; i < m_pclCurrentRecord->nGetColumnCount(); ++i) {
        CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
        INAItemDescription* piItem = m_piDataSource->piNAGetItem(static_cast<std::uint32_t>(i));
        if (piItem == nullptr) continue;
        const wchar_t* pszSource = piItem->pszGetSourceName();
        if (pclColumn != nullptr && pszSource != nullptr && *pszSource != 0) {
          const CTString csPhysical = m_pclQueryParserInfo->csGetPhysicalName(pszSource);
          const wchar_t* pszTable = csPhysical.nTaille() > 0 ? csPhysical.pszGet() : pszSource;
          CTString csFormatted;
          if (m_pclConnection != nullptr) m_pclConnection->bFormatTableName(m_pclError, pszTable, &csFormatted);
          pclColumn->SetAliasNomTable(pszTable);
          pclColumn->SetFormatedAliasNomTable(csFormatted.nTaille() > 0 ? csFormatted.pszGet() : pszTable);
        }
        piItem->nExternalRelease();
      }
    }
  }
  return 1;
}

int CNADataAccess::_bCheckAndCorrectXQRecordValues() {
  if (m_pclCurrentRecord == nullptr) return 1;
  for (int i = 0; i < m_pclCurrentRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) continue;
    if (!pclColumn->bCheckAndCorrectXQRecordValues()) return 0;
  }
  return 1;
}

int CNADataAccess::bCopyOriginalRecordToCurrentRecord() {
  CNARecord* pclRecord = pclGetCurrentRecord();
  return pclRecord != nullptr ? pclRecord->bCopyOriginalRecordToCurrentRecord() : 0;
}

int CNADataAccess::bSetCurrentRecordRead(int keepSave) {
  if (!keepSave && m_nOriginalRecordSave != knNoRecordSave) {
    const std::uint32_t nSave = m_nOriginalRecordSave;
    m_nOriginalRecordSave = knNoRecordSave;
    nReleaseRecordSave(nSave);
  }
  // The record as read becomes the one a browse resumes from and a write
  // addresses.
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord == nullptr) return 1;
  CNARecordValue* pclCurrent = pclRecord->pclGetCurrentRecordValue();
  if (pclCurrent != nullptr) pclCurrent->SetRecordState(NA_RECORDSTATE_READ);
  return pclRecord->bCopyCurrentRecordToOriginalRecord();
}

void CNADataAccess::_GetDBSourceName(INAItemDescription* item, CTString* out, int format) {
  if (out == nullptr) return;
  out->Vide();
  const wchar_t* pszSource = item != nullptr ? item->pszGetSourceName() : nullptr;
  if (pszSource == nullptr || *pszSource == 0) return;
  CTString csName(pszSource);
  if (m_pclQueryParserInfo != nullptr) {
    // A FROM table named (or aliased) so gives its server name.
    for (int n = 0; n < m_pclQueryParserInfo->nGetFichierFromNbr(); ++n) {
      IInfoFrom* piFrom = m_pclQueryParserInfo->piGetFichierFrom(n);
      if (piFrom == nullptr) continue;
      const wchar_t* pszTable = piFrom->pszGetNomTable();
      const wchar_t* pszAlias = piFrom->pszGetAlias();
      const bool bSame = (pszTable != nullptr && std::wcscmp(pszTable, pszSource) == 0) ||
                         (pszAlias != nullptr && std::wcscmp(pszAlias, pszSource) == 0);
      if (!bSame) continue;
      CTString csServer = m_pclQueryParserInfo->csGetFichierFrom_DBTableName(n);
      if (csServer.nTaille() > 0)
        csName = csServer;
      else if (pszTable != nullptr && *pszTable != 0)
        csName.Set(pszTable);
      break;
    }
  }
  if (format && m_pclConnection != nullptr) {
    m_pclConnection->bFormatTableName(m_pclError, csName.pszGet(), out);
    return;
  }
  *out = csName;
}

int CNADataAccess::bSourceIsQueryOnMultipleTables() {
  return bIsQuery() && m_pclQueryParserInfo != nullptr && m_pclQueryParserInfo->nGetFichierFromNbr() > 1 ? 1 : 0;
}

// ======================================================================
// Lifecycle
// ======================================================================

int CNADataAccess::bHFerme() {
  _Close();
  return 1;
}

void CNADataAccess::_Close() {
  if (m_pclTableCache != nullptr) {
    CNATableCache* pclCache = m_pclTableCache;
    m_pclTableCache = nullptr;
    pclCache->dwRelease();
  }
  // Saved positions first: they hold statements and saves, and their
  // statements hold them back.
  _bDeleteAllSavedPosition();
  _CloseAllStatement();
  _SetExecutionStatement(nullptr);
  m_bOpened = 0;
}

void CNADataAccess::_ResetDataAccess() {
  _Close();
  SetLatestFilter(nullptr);
  _ResetRecordCache();
  SetSourceQuery(nullptr);
  _FreeCurrentRecord();
  if (m_piDataSource != nullptr) {
    INADataSourceDescription* piSource = m_piDataSource;
    m_piDataSource = nullptr;
    piSource->nExternalRelease();
  }
  if (m_piDataSourceForXQ != nullptr) {
    INADataSourceDescription* piClone = m_piDataSourceForXQ;
    m_piDataSourceForXQ = nullptr;
    piClone->nExternalRelease();
  }
  _SetImportedDataSourceDesc(nullptr);
}

// ======================================================================
// The write path
// ======================================================================

int CNADataAccess::_bOperation(CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags,
                               CNARecordValue* before) {
  const bool bWrite = type == NA_QUERY_UPDATE || type == NA_QUERY_INSERT || type == NA_QUERY_DELETE;
  if (bWrite && bRequeteSansCorrection()) {
    // A query sent as written cannot tell which rows its result comes
    // from: nothing is sent.
    _AddUserError(NA_ERRORTYPE_GENERIC, knSiteReadOnly, knErrReadOnlyQuery);
    return 0;
  }
  if (!_bBuildAndExecuteQuery(statement, type, flags)) return 0;
  if (type != NA_QUERY_SELECT) _NotifyOperation(type, statement, flags, before);
  return 1;
}

int CNADataAccess::_bBuildAndExecuteQuery(CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags) {
  if (statement == nullptr) return 0;
  statement->ResetQuery();
  CNACommand* pclCommand = pclAllocCommand(m_pclError);
  if (pclCommand == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclCommand->AddRef();
  int bOk = statement->bBuildQuery(type, pclCommand, flags);
  if (bOk) {
    if (!statement->bExecute(flags, NA_ST_PREPARE)) {
      bOk = _bProcessError(pclCommand, statement, type, flags);
    } else if ((type == NA_QUERY_UPDATE || type == NA_QUERY_INSERT) &&
               !_bUpdateRecordAfterInsert(statement, type, flags)) {
      // The row is on the server but the record lacks what the server
      // gave it (its identifier): the write is not reported as done, and
      // the caller is told not to add it again.
      if (m_pclError != nullptr)
        m_pclError->AddErrorFirst(NA_ERRORTYPE_GENERIC, knLocationArea, knSiteWrittenNotRead, m_pclConnection,
                                  knErrWrittenNotRead, pszGetLogicalName());
      bOk = 0;
    }
  }
  pclCommand->nRelease();
  return bOk;
}

int CNADataAccess::_bUpdateRecordAfterInsert(CNAStatement* statement, eNAQUERYTYPE type, NA_WRITEPARSEFLAGS flags) {
  if (statement == nullptr) return 0;
  if (type == NA_QUERY_UPDATE) return statement->bUpdateRecordAfterUpdate(type, static_cast<int>(flags));
  return statement->bUpdateRecordAfterInsert(type, static_cast<int>(flags));
}

int CNADataAccess::_bIsValidRecordNumber(long record) {
  if (record == 0) return 1;
  _AddUserError(NA_ERRORTYPE_GENERIC, knSiteRecordNumber, knErrRecordNumber);
  return 0;
}

std::int64_t CNADataAccess::_nGetSequenceCurrentVal(CNAColumn* /*column*/) { return -1; }

int CNADataAccess::_bUpdateIdAutoAfterInsertFailure(CNAColumn* /*column*/) { return 0; }

// ======================================================================
// Operations that answer without effect here
// ======================================================================

int CNADataAccess::bHEcrit(long record, NA_WRITEPARSEFLAGS flags, eNA_LOCKTYPE lock) {
  return bHModifie(record, flags, lock);
}

int CNADataAccess::bHRecherche(const wchar_t* item, const CAny* value, int searchMode, int bRead,
                               eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, int fromFirst, NA_WRITEPARSEFLAGS flags) {
  return bHRecherche(item, item, value, searchMode, bRead, lock, lockDone, fromFirst, flags);
}

int CNADataAccess::bHVersion(int* version) {
  if (version != nullptr) *version = 0;
  return 1;
}

int CNADataAccess::bNbEnrNeedParse(int* needParse, const wchar_t* /*key*/) {
  if (needParse != nullptr) *needParse = 1;
  return 1;
}

std::int64_t CNADataAccess::llGetRecNum() { return 0; }

int CNADataAccess::bHReindexe(unsigned int /*kind*/, IGaugeControl* /*gauge*/) { return 1; }

void CNADataAccess::_vUpdateRecordInCacheLock(NA_WRITEPARSEFLAGS /*flags*/) {}

int CNADataAccess::_bRepriseErreurParcours(CNAStatement* /*statement*/, const wchar_t* /*item*/,
                                           eNA_PARSEDIRECTION /*direction*/, eNA_LOCKTYPE /*lock*/,
                                           eNA_LOCKTYPE* /*lockDone*/, NA_WRITEPARSEFLAGS /*flags*/) {
  // A failed read stays failed: this server offers nothing to retry on.
  return 0;
}

// ======================================================================
// Operations of the later layers: not available yet
// ======================================================================

int CNADataAccess::bGetBLOB(unsigned int, CAny*) { return _bNotAvailable(SITE_GETBLOB); }
int CNADataAccess::bSetBLOB(unsigned int, const CAny*) { return _bNotAvailable(SITE_SETBLOB); }
int CNADataAccess::bExtraitMemo(unsigned int, const wchar_t*) { return _bNotAvailable(SITE_EXTRAITMEMO); }
int CNADataAccess::bExecuteQuery(int* resultSet, const wchar_t*, ISQLParserInformation*, eNA_QUERYMODE,
                                 const INAQueryExecution*) {
  if (resultSet != nullptr) *resultSet = 0;
  return _bNotAvailable(SITE_EXECUTEQUERY);
}
int CNADataAccess::_bSetBLOB(INAItemDescription*, const CAny*) { return _bNotAvailable(SITE_SETBLOBITEM); }
int CNADataAccess::_bHAttacheMemo(INAItemDescription*, const wchar_t*) { return _bNotAvailable(SITE_ATTACHEMEMO); }


int CNADataAccess::bHAttacheMemo(unsigned int memo, const wchar_t* path) {
  INAItemDescription* piItem = m_piDataSource != nullptr ? m_piDataSource->piNAGetMemo(memo) : nullptr;
  if (piItem == nullptr) return _bNotAvailable(SITE_ATTACHEMEMO);
  const int bResult = _bHAttacheMemo(piItem, path);
  piItem->nExternalRelease();
  return bResult;
}

int CNADataAccess::bSameQuery(ISQLParserInformation* parser) {
  ISQLParserInformation* piOwn = m_pclQueryParserInfo != nullptr ? m_pclQueryParserInfo->piGetParserNoRef() : nullptr;
  const wchar_t* pszOwn = piOwn != nullptr ? piOwn->pszGetSQLText() : nullptr;
  const wchar_t* pszOther = parser != nullptr ? parser->pszGetSQLText() : nullptr;
  if (pszOwn == nullptr || pszOther == nullptr) return 0;
  // Case is ignored, nothing else.
  return STR_nCompareW(pszOwn, pszOther, 1) == 0 ? 1 : 0;
}

int CNADataAccess::bInitDataSourceFromResult(CNADataSourceDescription* description, CNAStatementSQL* statement) {
  // Without a description or an executed statement there is nothing to
  // describe: an empty description taken for the result's would lose every
  // column.
  if (description == nullptr || statement == nullptr) return _bNotAvailable(knSiteDescribe);
  return description->bInitDataSourceDescriptionFromStatement(statement);
}

int CNADataAccess::bExecuteQueryInternal(CNAStatement** statement, const wchar_t* /*name*/,
                                         const wchar_t* /*query*/) {
  if (statement != nullptr) *statement = nullptr;
  return _bNotAvailable(knSiteInternalQuery);
}
