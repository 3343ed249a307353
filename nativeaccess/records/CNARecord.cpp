#include "CNARecord.h"

#include <climits>
#include <new>

#include "CColumnNullValueExcluded.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "CNADriver.h"
#include "CNASQLColumn.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "CSQLParserInfo.h"
#include "CXYString.h"
#include "CXYStringConcat.h"
#include "IInfoRubrique.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"
#include "StrFunctions.h"

namespace {

// User error 1: a data source without items, reported at 13.1.
constexpr unsigned knErrNoItem = 1;
constexpr int knLocationArea = 13;
constexpr int knLocationInit = 1;
// Names are compared ignoring case and non-spacing marks.
constexpr unsigned knCompareOptions = 3;

bool SameText(const wchar_t* a, const wchar_t* b) {
  return STR_nCompareW(a != nullptr ? a : L"", b != nullptr ? b : L"", knCompareOptions) == 0;
}

bool NotEmpty(const wchar_t* p) { return p != nullptr && *p != 0; }

bool IsIdAutoType(eNA_ITEMTYPE e) { return e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4; }

void AppendWide(CXYStringConcat<wchar_t>* out, const wchar_t* psz) {
  long n = 0;
  while (psz[n] != 0) ++n;
  out->Add(psz, n);
}

}  // namespace

CNARecord::CNARecord(CNAError* error, CNADataAccess* access) : m_pclError(error), m_pclDataAccess(access) {
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNARecord::~CNARecord() {
  DeleteAllColumn();
  if (m_pclIdAuto != nullptr) m_pclIdAuto->nRelease();
  if (m_pclUniqueKey != nullptr) m_pclUniqueKey->nRelease();
  m_pclIdAuto = nullptr;
  m_pclUniqueKey = nullptr;
  // Every column (and with it its holder, which holds the connection too)
  // goes before the connection is given back, so that the driver sees the
  // layout's reference as the last one besides its registry's.
  m_tabComposedUnique.SupprimeTout();
  m_tabMemos.SupprimeTout();
  m_tabOrderBy.SupprimeTout();
  _FreeRecords();
  _ReleaseConnection();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

// ======================================================================
// Connection
// ======================================================================

void CNARecord::_SetConnection(CNAConnectionDescription* connection) {
  if (connection == m_pclConnection) return;
  if (connection != nullptr) connection->AddRef();
  CNAConnectionDescription* pclOld = m_pclConnection;
  m_pclConnection = connection;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNARecord::_ReleaseConnection() {
  CNAConnectionDescription* pclConnection = m_pclConnection;
  m_pclConnection = nullptr;
  CNADriver::s_ReleaseConnection(pclConnection);
}

const wchar_t* CNARecord::pszGetTableName() const {
  return m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
}

int CNARecord::bSourceIsQuery() const { return m_pclDataAccess != nullptr && m_pclDataAccess->bIsQuery() ? 1 : 0; }

CSQLParserInfo* CNARecord::pclGetSourceQueryNoRef() const {
  return m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetSourceQueryNoRef() : nullptr;
}

int CNARecord::bGetPosition(CNAPosition* /*position*/) const { return 1; }

// ======================================================================
// Building
// ======================================================================

int CNARecord::bInitRecord(INADataSourceDescription* analysis, CNADataSourceDescription* database,
                           CNAConnectionDescription* connection) {
  _SetConnection(connection);
  if (analysis == nullptr || analysis->nGetNumItems() == 0) {
    if (m_pclError != nullptr) {
      const wchar_t* pszName = analysis != nullptr ? analysis->pszGetLogicalName() : nullptr;
      if (pszName == nullptr || *pszName == 0) pszName = pszGetTableName();
      m_pclError->AddError(NA_ERRORTYPE_GENERIC, knLocationArea, knLocationInit, m_pclConnection, knErrNoItem,
                           pszName);
      m_pclError->SetInfoNames(pszName, nullptr);
    }
    return 0;
  }
  if (!_bAllocRecordsBuffer(analysis)) return 0;
  const std::uint32_t nItems = analysis->nGetNumItems();
  int bOk = 1;
  for (std::uint32_t i = 0; i < nItems && bOk; ++i) {
    INAItemDescription* piItem = analysis->piNAGetItem(i);
    if (piItem == nullptr) {
      bOk = 0;
      break;
    }
    CNAItemDescription* pclImported = nullptr;
    if (!piItem->bIsComposedKey(0) && database != nullptr) pclImported = database->pclNAGetItem(piItem->pszGetName(), 3);
    const int nBefore = nGetColumnCount();
    bOk = _bAddColumn(piItem, pclImported);
    if (pclImported != nullptr) pclImported->nExternalRelease();
    if (bOk && nGetColumnCount() > nBefore) {
      CNAColumn* pclColumn = m_tabColumns[nGetColumnCount() - 1];
      if (m_pclIdAuto == nullptr && IsIdAutoType(piItem->eNAGetItemType())) {
        pclColumn->AddRef();
        m_pclIdAuto = pclColumn;
      }
      if (m_pclUniqueKey == nullptr && piItem->bUnique(0)) {
        pclColumn->AddRef();
        m_pclUniqueKey = pclColumn;
      }
    }
    piItem->nExternalRelease();
  }
  if (!bOk) return 0;
  _InitComposedKeys();
  _InitOrderBy();
  return 1;
}

CNAColumn* CNARecord::_pclAllocColumn(CNAError* error, INAItemDescription* item) {
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  return pclDriver->pclAllocColumn(error, item);
}

int CNARecord::_bAddColumn(INAItemDescription* item, CNAItemDescription* imported) {
  CNAColumn* pclColumn = _pclAllocColumn(m_pclError, item);
  if (pclColumn == nullptr) return 0;
  pclColumn->AddRef();
  const int nAdded = m_tabColumns.Ajoute(pclColumn);
  if (nAdded >= 0) {
    if (pclColumn->bIsMemo()) m_tabMemos.Ajoute(pclColumn);
    if (pclColumn->bIsComposedKey() && pclColumn->bIsUnique()) m_tabComposedUnique.Ajoute(pclColumn);
  }
  const int bInit = nAdded >= 0 ? pclColumn->vbInit(this, imported) : 0;
  pclColumn->nRelease();
  return bInit;
}

int CNARecord::_bAllocRecordsBuffer(INADataSourceDescription* source) {
  CNAXQRecord* pclDefault = new (std::nothrow) CNAXQRecord;
  if (pclDefault == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  pclDefault->AddRef();
  if (!pclDefault->bInit(source, NA_INITTYPE_DEFAULTVALUES)) {
    pclDefault->nRelease();
    return 0;
  }
  CNARecordValue* pclOriginal = new (std::nothrow) CNARecordValue(m_pclError);
  if (pclOriginal == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    pclDefault->nRelease();
    return 0;
  }
  pclOriginal->AddRef();
  if (!pclOriginal->bCopyNAXQRecord(pclDefault)) {
    pclOriginal->nRelease();
    pclDefault->nRelease();
    return 0;
  }
  if (m_pclDataAccess != nullptr) {
    CNARecordId* pclId = m_pclDataAccess->pclAllocRecordID(pclOriginal);
    if (pclId != nullptr && !pclOriginal->bShareRecordID(pclId)) {
      pclId->dwAddRef();
      pclId->dwRelease();
    }
  }
  CNARecordValue* pclCurrent = pclOriginal->pclGetClone(NA_COPY_ALL);
  if (pclCurrent == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    pclOriginal->nRelease();
    pclDefault->nRelease();
    return 0;
  }
  pclCurrent->AddRef();
  m_pclDefaultRecord = pclDefault;
  m_pclOriginalRecord = pclOriginal;
  m_pclCurrentRecord = pclCurrent;
  return 1;
}

void CNARecord::_FreeRecords() {
  CNARecordValue* pclCurrent = m_pclCurrentRecord;
  CNARecordValue* pclOriginal = m_pclOriginalRecord;
  CNAXQRecord* pclDefault = m_pclDefaultRecord;
  m_pclCurrentRecord = nullptr;
  m_pclOriginalRecord = nullptr;
  m_pclDefaultRecord = nullptr;
  if (pclCurrent != nullptr) pclCurrent->nRelease();
  if (pclOriginal != nullptr) pclOriginal->nRelease();
  if (pclDefault != nullptr) pclDefault->nRelease();
}

void CNARecord::_InitComposedKeys() {
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumn* pclKey = m_tabColumns[i];
    if (pclKey == nullptr || !pclKey->bIsComposedKey() || pclKey->pclGetTabComponent() != nullptr) continue;
    INAItemDescription* piKey = pclKey->piGetItemDescription();
    const std::uint32_t nComponents = piKey->nGetNumComponents();
    for (std::uint32_t n = 1; n <= nComponents; ++n) {
      INAItemDescription* piComponent = piKey->piGetItemComponent(n);
      if (piComponent == nullptr) continue;
      CNAColumn* pclComponent = pclGetColumnNoRef(piComponent);
      piComponent->nExternalRelease();
      if (pclComponent != nullptr) pclKey->AddCompositeKey(pclComponent);
    }
  }
}

// ======================================================================
// Order-by columns
// ======================================================================

int CNARecord::_nOrderByMax() const {
  return m_pclConnection != nullptr ? m_pclConnection->nGetOrderByMaxExpressionNbr() : INT_MAX;
}

bool CNARecord::_bInOrderBy(const CNAColumn* column) const {
  for (int i = 0; i < m_tabOrderBy.nGetNbElements(); ++i)
    if (m_tabOrderBy[i] == column) return true;
  return false;
}

bool CNARecord::_AddColumnOrder(CNAColumn* column) {
  if (column == nullptr) return false;
  const int nMax = _nOrderByMax();
  if (m_tabOrderBy.nGetNbElements() >= nMax || _bInOrderBy(column)) return false;
  if (!column->bIsComposedKey()) return m_tabOrderBy.Ajoute(column) >= 0;
  const CNARefArray<CNAColumn>* pTab = column->pclGetTabComponent();
  if (pTab == nullptr || pTab->nGetNbElements() == 0) return false;
  for (int i = 0; i < pTab->nGetNbElements(); ++i)
    if (_bInOrderBy((*pTab)[i])) return false;
  bool bAdded = false;
  for (int i = 0; i < pTab->nGetNbElements() && m_tabOrderBy.nGetNbElements() < nMax; ++i) {
    if ((*pTab)[i] != nullptr && m_tabOrderBy.Ajoute((*pTab)[i]) >= 0) bAdded = true;
  }
  return bAdded;
}

void CNARecord::_InitOrderBy() {
  m_tabOrderBy.SupprimeTout();
  // 1. A query's own ORDER BY, up to the identifier column.
  CSQLParserInfo* pclParser = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetParserInfoNoRef() : nullptr;
  if (bSourceIsQuery() && pclParser != nullptr) {
    for (IInfoRubrique* pi = pclParser->piEnumRubriqueClauseOrder(1); pi != nullptr;
         pi = pclParser->piEnumRubriqueClauseOrder(0)) {
      CNAColumn* pclColumn = pclGetColumnNoRef(pi->pszGetNom());
      if (pclColumn != nullptr && pclColumn == m_pclIdAuto) break;
      _AddColumnOrder(pclColumn);
    }
  }
  // 2. The identifier alone.
  if (m_pclIdAuto != nullptr) {
    m_tabOrderBy.SupprimeTout();
    _AddColumnOrder(m_pclIdAuto);
    return;
  }
  // 3., 4. Unique keys, simple then composite; the first one that cannot
  // be NULL orders alone.
  for (int bComposite = 0; bComposite < 2; ++bComposite) {
    for (int i = 0; i < nGetColumnCount(); ++i) {
      CNAColumn* pclColumn = m_tabColumns[i];
      if ((pclColumn->bIsComposedKey() != 0) != (bComposite != 0) || !pclColumn->bIsUnique()) continue;
      if (!pclColumn->bIsNullableOnDataBase()) {
        m_tabOrderBy.SupprimeTout();
        _AddColumnOrder(pclColumn);
        return;
      }
      _AddColumnOrder(pclColumn);
    }
  }
  // 5. Keys with duplicates, simple then composite.
  for (int bComposite = 0; bComposite < 2; ++bComposite) {
    for (int i = 0; i < nGetColumnCount(); ++i) {
      CNAColumn* pclColumn = m_tabColumns[i];
      if ((pclColumn->bIsComposedKey() != 0) != (bComposite != 0)) continue;
      if (pclColumn->piGetItemDescription()->bDuplicates(0)) _AddColumnOrder(pclColumn);
    }
  }
  // 6. Every other simple column that is no memo.
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn->bIsComposedKey() || pclColumn->bIsUnique() || pclColumn->bIsMemo()) continue;
    if (pclColumn->piGetItemDescription()->bDuplicates(0)) continue;
    _AddColumnOrder(pclColumn);
  }
}

// ======================================================================
// Columns
// ======================================================================

CNAColumn* CNARecord::pclGetColumnNoRef(int n) const { return m_tabColumns.pGetAt(n); }

CNAColumn* CNARecord::pclGetColumnNoRef(const wchar_t* name) const {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn != nullptr && SameText(pclColumn->pszGetName(), name)) return pclColumn;
  }
  return nullptr;
}

CNAColumn* CNARecord::pclGetColumnNoRef(INAItemDescription* item) const {
  if (item == nullptr) return nullptr;
  if (!bSourceIsQuery()) {
    // A table's columns follow its items' physical indexes; an index that
    // lies outside the columns (all ones for an item without a place in
    // the record) or that leads to another item's column is searched for.
    const std::uint32_t nPhysical = item->nGetPhysicalIndice();
    if (nPhysical < static_cast<std::uint32_t>(nGetColumnCount())) {
      CNAColumn* pclColumn = m_tabColumns[static_cast<int>(nPhysical)];
      if (pclColumn != nullptr && (pclColumn->piGetItemDescription() == item ||
                                   SameText(pclColumn->pszGetName(), item->pszGetName())))
        return pclColumn;
    }
  }
  CNAColumn* pclCandidate = nullptr;
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    INAItemDescription* piColumn = pclColumn != nullptr ? pclColumn->piGetItemDescription() : nullptr;
    if (piColumn == nullptr) continue;
    if (piColumn == item) return pclColumn;
    const bool bSameName = SameText(item->pszGetName(), piColumn->pszGetName());
    const wchar_t* pszNameA = item->pszGetNameInSource();
    const wchar_t* pszSourceA = item->pszGetSourceName();
    const wchar_t* pszNameB = piColumn->pszGetNameInSource();
    const wchar_t* pszSourceB = piColumn->pszGetSourceName();
    if (NotEmpty(pszNameA) && NotEmpty(pszSourceA) && NotEmpty(pszNameB) && NotEmpty(pszSourceB)) {
      if (SameText(pszNameA, pszNameB) && SameText(pszSourceA, pszSourceB)) {
        pclCandidate = pclColumn;
        if (bSameName) return pclColumn;
      }
    } else if (bSameName) {
      return pclColumn;
    }
  }
  return pclCandidate;
}

CNAColumn* CNARecord::pclGetNAColumnIdentityNoRef() const {
  for (int i = 0; i < nGetColumnCount(); ++i)
    if (m_tabColumns[i] != nullptr && m_tabColumns[i]->bIsIdAuto()) return m_tabColumns[i];
  return nullptr;
}

CNAColumn* CNARecord::pclGetUniqueKeyNotNullNoRef() const {
  if (m_pclUniqueKey != nullptr && m_pclUniqueKey->bValueDefined()) return m_pclUniqueKey;
  CNAColumn* pclFirst = pclGetColumnOrderNoRef(0);
  if (pclFirst != nullptr && pclFirst->bIsUnique() && pclFirst->bValueDefined()) return pclFirst;
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn != nullptr && pclColumn->bIsUnique() && pclColumn->bValueDefined()) return pclColumn;
  }
  return nullptr;
}

void CNARecord::DeleteAllColumn() { m_tabColumns.SupprimeTout(); }

// ======================================================================
// Records
// ======================================================================

CNAXQRecord* CNARecord::pclGetNAXQRecord() const {
  return m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetNAXQRecord() : nullptr;
}

CNAXQRecord* CNARecord::pclGetOriginalNAXQRecord() const {
  return m_pclOriginalRecord != nullptr ? m_pclOriginalRecord->pclGetNAXQRecord() : nullptr;
}

void CNARecord::SetDeleted() {
  if (m_pclCurrentRecord != nullptr) m_pclCurrentRecord->SetRecordState(NA_RECORDSTATE_DELETED);
}

int CNARecord::bCopyToCurrentRecord(const CNARecordValue* value) {
  if (m_pclCurrentRecord == nullptr || value == nullptr) return 0;
  const int b = m_pclCurrentRecord->bCopyRecordValue(value, NA_COPY_ALL) ? 1 : 0;
  // The bound holders' NULL flags follow the new bytes.
  for (int i = 0; i < nGetColumnCount(); ++i) m_tabColumns[i]->OnNAXQRecordChanged();
  return b;
}

int CNARecord::bCopyOriginalRecordToCurrentRecord() { return bCopyToCurrentRecord(m_pclOriginalRecord); }

int CNARecord::bCopyCurrentRecordToOriginalRecord() {
  m_bOriginalRecordSet = 1;
  if (m_pclOriginalRecord == nullptr || m_pclCurrentRecord == nullptr) return 0;
  return m_pclOriginalRecord->bCopyRecordValue(m_pclCurrentRecord, NA_COPY_ALL) ? 1 : 0;
}

int CNARecord::bEquals(const CNARecordValue* value, int withMemos) const {
  return m_pclCurrentRecord != nullptr && m_pclCurrentRecord->bEquals(value, withMemos) ? 1 : 0;
}

int CNARecord::bSetNAXQRecord(const CNAXQRecord* record) {
  if (m_pclCurrentRecord == nullptr || !m_pclCurrentRecord->bCopyNAXQRecord(record)) return 0;
  for (int i = 0; i < nGetColumnCount(); ++i) m_tabColumns[i]->OnNAXQRecordChanged();
  return 1;
}

int CNARecord::bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* source) {
  // No holder may keep a pointer into the records about to go, whatever
  // happens next.
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAConvertVariant* pclValue = m_tabColumns[i]->pclGetNAValue();
    if (pclValue != nullptr) pclValue->ResetVariant();
  }
  _FreeRecords();
  if (!_bAllocRecordsBuffer(source)) return 0;
  int bResult = 1;
  for (int i = 0; i < nGetColumnCount() && bResult; ++i) {
    if (m_tabColumns[i]->bIsComposedKey()) continue;
    bResult = m_tabColumns[i]->bUpdateChangedTypeInCurrentRecord();
  }
  return bResult;
}

// ======================================================================
// Keys
// ======================================================================

int CNARecord::bComposedKeyUniqueNotNullAdded(const CRefArray<CNAColumn>* columns, int count,
                                              CColumnNullValueExcluded* nullSet) const {
  if (columns == nullptr || m_tabComposedUnique.nGetNbElements() == 0) return 0;
  const int n = count < columns->nGetNbElements() ? count : columns->nGetNbElements();
  if (n < 2) return 0;
  const CNAColumn* pclLast = (*columns)[n - 1];
  for (int k = 0; k < m_tabComposedUnique.nGetNbElements(); ++k) {
    CNAColumn* pclKey = m_tabComposedUnique[k];
    const CNARefArray<CNAColumn>* pComponents = pclKey->pclGetTabComponent();
    if (pComponents == nullptr || !pclKey->bIsComposedKeyComponent(pclLast)) continue;
    if (pComponents->nGetNbElements() > n) continue;
    bool bAll = true;
    for (int c = 0; c < pComponents->nGetNbElements() && bAll; ++c) {
      bool bFound = false;
      for (int j = 0; j < n && !bFound; ++j) bFound = (*columns)[j] == (*pComponents)[c];
      bAll = bFound;
    }
    if (!bAll) continue;
    if (!pclKey->bIsNullableOnDataBase()) return 1;
    // The server keeps a unique key unique only among rows with no NULL
    // component: (NULL, 'x') may stand in many rows. The key names one row
    // only when every component is kept from NULL, by the column itself or
    // by the condition (without a set: by a defined value).
    bool bEveryExcludes = true;
    for (int c = 0; c < pComponents->nGetNbElements() && bEveryExcludes; ++c) {
      CNAColumn* pclComponent = (*pComponents)[c];
      if (pclComponent == nullptr) {
        bEveryExcludes = false;
      } else if (pclComponent->bIsNullableOnDataBase()) {
        bEveryExcludes = nullSet != nullptr ? !nullSet->bColumnValuesNullSelected(pclComponent)
                                            : pclComponent->bValueDefined() != 0;
      }
    }
    if (bEveryExcludes) return 1;
  }
  return 0;
}

// ======================================================================
// Dumps
// ======================================================================

void CNARecord::CurrentRecordToString(CXYStringConcat<wchar_t>* out) const {
  if (out == nullptr) return;
  out->SetLength(0);
  CNARecordId* pclId = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetRecordId() : nullptr;
  if (pclId == nullptr) {
    AppendWide(out, L"<Record ID> : NULL");
  } else {
    CXYString<wchar_t> clText;
    pclId->RecordIdToString(&clText, L"<Record ID> : ", 0);
    out->Add(clText.pszGet(), clText.nGetLength());
  }
  AppendWide(out, L"\n<NullValuesFlags (0=NULL)> :");
  const CNAXQRecord* pclXQ = pclGetNAXQRecord();
  if (pclXQ != nullptr) {
    const unsigned char* pby = pclXQ->pbyGetNullValuesFlags();
    for (std::uint32_t i = 0; i < pclXQ->nGetFlagFieldSize(); ++i) {
      out->Add(L" ", 1);
      out->AddNumberBinary(pby[i], 1);
    }
  }
  for (int i = 0; i < nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = m_tabColumns[i];
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) continue;
    out->Add(L"\n", 1);
    pclColumn->bCurrentValueToString(out, 1);
  }
}
