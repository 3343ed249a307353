// The index a statement browses the table cache by.
#include "CNATableCacheIndex.h"

#include <new>

#include "CAny.h"
#include "CIndexFixedSizeItem.h"
#include "CIndexMemo.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CXError.h"

CNATableCacheIndex::CNATableCacheIndex(CNAError* error, CNARecordCache* cache, CNAColumn* column,
                                       CNAStatement* statement)
    : m_pclError(error), m_pclCache(cache), m_pclColumn(column), m_pclStatement(statement) {
  if (m_pclError != nullptr) m_pclError->AddRef();
  if (m_pclCache != nullptr) m_pclCache->AddRef();
  if (m_pclColumn != nullptr) m_pclColumn->AddRef();
}

CNATableCacheIndex::~CNATableCacheIndex() {
  delete m_pclItem;
  if (m_pclColumn != nullptr) m_pclColumn->nRelease();
  if (m_pclCache != nullptr) m_pclCache->nRelease();
  if (m_pclError != nullptr) m_pclError->nRelease();
}

bool CNATableCacheIndex::bInit() {
  if (m_pclCache == nullptr || m_pclColumn == nullptr) return false;
  delete m_pclItem;
  if (m_pclColumn->bIsMemo()) {
    m_pclItem = new (std::nothrow) CIndexMemo(m_pclError, m_pclCache, m_pclColumn, m_pclStatement);
  } else {
    m_pclItem = new (std::nothrow) CIndexFixedSizeItem(m_pclError, m_pclCache, m_pclColumn, m_pclStatement);
  }
  if (m_pclItem == nullptr) {
    if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
    return false;
  }
  return m_pclItem->bInit();
}

bool CNATableCacheIndex::bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex) {
  if (m_pclItem == nullptr) return false;
  return m_pclItem->bGetRecordPosition(direction, step, recordNumber, duplicateIndex);
}

int CNATableCacheIndex::nGetCurrentRecordId() {
  return m_pclItem == nullptr ? -1 : m_pclItem->nGetCurrentRecordId();
}

int CNATableCacheIndex::nGetRecordNbr() { return m_pclItem == nullptr ? 0 : m_pclItem->nGetRecordNbr(); }

int CNATableCacheIndex::nGetPreviousRecordNbr() {
  return m_pclItem == nullptr ? 0 : m_pclItem->nGetPreviousRecordNbr();
}

bool CNATableCacheIndex::bSetCurrentPos(int recordNumber, int duplicateIndex, int* found) {
  if (m_pclItem == nullptr) {
    if (found != nullptr) *found = 0;
    return false;
  }
  return m_pclItem->bSetCurrentPos(recordNumber, duplicateIndex, found);
}

void CNATableCacheIndex::OnNotifyOperation(eNAQUERYTYPE kind, int recordNumber, unsigned int) {
  if (m_pclItem == nullptr || m_pclCache == nullptr || m_pclColumn == nullptr) return;
  if (kind != NA_QUERY_UPDATE && kind != NA_QUERY_INSERT && kind != NA_QUERY_DELETE) return;
  if (recordNumber < 0 || recordNumber >= m_pclCache->nGetCount()) return;

  CAny clOld;
  if (kind != NA_QUERY_INSERT) {
    const CNARecord* pclLayout = m_pclColumn->pclGetRecord();
    const CNARecordValue* pclOriginal = pclLayout != nullptr ? pclLayout->pclGetOriginalRecordValue() : nullptr;
    if (pclOriginal == nullptr) return;
    if (m_pclColumn->bIsMemo()) {
      const CNAConvertVariant* pclMemo = pclOriginal->pclGetMemoValueNoRef(m_pclColumn->nGetMemoIndice());
      if (pclMemo != nullptr) pclMemo->bGetValue(&clOld);
    } else if (!pclOriginal->bGetItemValue(&clOld, m_pclColumn->piGetItemDescription())) {
      return;
    }
  }
  CAny clNew;
  if (kind != NA_QUERY_DELETE) {
    if (!m_pclColumn->bGetCurrentValue(&clNew, 0)) return;
  }
  // Not the runtime's equality: two values it calls equal may still key
  // apart (and the reverse), and only the key decides where a record
  // stands.
  if (kind == NA_QUERY_UPDATE && m_pclItem->bSameValue(&clOld, &clNew)) return;

  if (kind != NA_QUERY_INSERT) m_pclItem->bDeleteRecord(recordNumber, &clOld);
  if (kind != NA_QUERY_DELETE) m_pclItem->bInsertRecord(recordNumber, &clNew);
}
