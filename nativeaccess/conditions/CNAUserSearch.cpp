#include "CNAUserSearch.h"

#include "CNAColumn.h"
#include "CNARecord.h"
#include "INAItemDescription.h"

CNAUserSearch::~CNAUserSearch() {
  _ForgetColumn();
  if (m_piItem != nullptr) m_piItem->nExternalRelease();
}

void CNAUserSearch::_ForgetColumn() {
  CNAColumn* pclOld = m_pclColumn;
  m_pclColumn = nullptr;
  m_nColumnIndex = -1;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAUserSearch::SetUserSearch(INAItemDescription* item, const CAny* value, unsigned int flags) {
  if (value == &m_clValue) {
    // Keep the value: cancelling first would empty the very value given.
    if (item != nullptr) item->ExternalAddRef();
    INAItemDescription* piOld = m_piItem;
    m_piItem = item;
    _ForgetColumn();
    if (piOld != nullptr) piOld->nExternalRelease();
    m_nFlags = item != nullptr ? flags : 0;
    if (item == nullptr) m_clValue = CAny();
    return;
  }
  // The new item's reference comes first: it may be the item held now.
  if (item != nullptr) item->ExternalAddRef();
  CancelUserSearch();
  if (item == nullptr) return;
  m_piItem = item;
  if (value != nullptr) m_clValue = *value;
  m_nFlags = flags;
}

void CNAUserSearch::CancelUserSearch() {
  INAItemDescription* piOld = m_piItem;
  m_piItem = nullptr;
  _ForgetColumn();
  m_clValue = CAny();
  m_nFlags = 0;
  if (piOld != nullptr) piOld->nExternalRelease();
}

void CNAUserSearch::Copy(const CNAUserSearch* other) {
  if (other == this) return;
  if (other != nullptr && other->m_piItem != nullptr) {
    SetUserSearch(other->m_piItem, &other->m_clValue, other->m_nFlags);
  } else {
    CancelUserSearch();
  }
}

CNAColumn* CNAUserSearch::_pclGetColumn(CNARecord* record) {
  if (m_pclColumn != nullptr && m_nColumnIndex < record->nGetColumnCount() &&
      record->pclGetColumnNoRef(m_nColumnIndex) == m_pclColumn)
    return m_pclColumn;
  _ForgetColumn();
  CNAColumn* pclColumn = record->pclGetColumnNoRef(m_piItem);
  if (pclColumn == nullptr) return nullptr;
  for (int i = 0; i < record->nGetColumnCount(); ++i) {
    if (record->pclGetColumnNoRef(i) == pclColumn) {
      // Held: while it is, no other column can take its address, so the
      // check above never mistakes another layout's column for it.
      pclColumn->AddRef();
      m_pclColumn = pclColumn;
      m_nColumnIndex = i;
      break;
    }
  }
  return pclColumn;
}

int CNAUserSearch::bGetHTrouve(CNARecord* record) {
  if (m_piItem == nullptr) return 1;
  if (record == nullptr) return 0;
  CNAColumn* pclColumn = _pclGetColumn(record);
  if (pclColumn == nullptr) return 0;
  return pclColumn->bSameValue(&m_clValue, (m_nFlags & knFlagGeneric) != 0 ? CNAColumn::knSameValuePrefix : 0u);
}
