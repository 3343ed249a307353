// CNADataAccess: whether a browse of a data access may read its records in
// limited blocks (asked by the SELECT of the read path), and the first
// column a refused write left without its mandatory value.
#include "CNADataAccess.h"
#include "CNAColumn.h"
#include "CNARecord.h"
#include "CNAHeld.h"
#include "INADataSourceDescription.h"
#include "INAItemDescription.h"

namespace {

bool bFloatItem(INAItemDescription* item) {
  const eNA_ITEMTYPE eType = item->eNAGetItemType();
  return eType == NA_IT_R4 || eType == NA_IT_R8;
}

}  // namespace

int CNADataAccess::_bEnableRecordLimit(const wchar_t* item) {
  if (item != nullptr && *item != 0) {
    CNAHeldItem clItem(piGetItemDescription(item));
    if (clItem.p != nullptr) {
      // Rounding blurs a float's order: the continuation could not find
      // its place again.
      if (bFloatItem(clItem.p)) return 0;
      if (clItem.p->bUnique(0)) return 1;
    }
  }
  // Records equal on the item are told apart by the best browse item: it
  // must be unique and order before any float.
  CNAHeldItem clBest(piGetBestParseItemDesc());
  if (clBest.p == nullptr || !clBest.p->bUnique(0) || m_piDataSource == nullptr) return 0;
  const std::uint32_t nItems = m_piDataSource->nGetNumItems();
  for (std::uint32_t i = 0; i < nItems; ++i) {
    CNAHeldItem clItem(m_piDataSource->piNAGetItem(i));
    if (clItem.p == nullptr) continue;
    if (clItem.p == clBest.p) return 1;
    if (bFloatItem(clItem.p)) return 0;
  }
  return 0;
}

INAItemDescription* CNADataAccess::piGetNullItemDesc(int /*insert*/) {
  CNARecord* pclRecord = pclGetCurrentRecord();
  if (pclRecord == nullptr) return nullptr;
  for (int i = 0; i < pclRecord->nGetColumnCount(); ++i) {
    CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(i);
    // The composite keys come after the plain columns: the scan ends there.
    if (pclColumn == nullptr || pclColumn->bIsComposedKey()) break;
    if (pclColumn->bIsNullableOnDataBase() || pclColumn->bValueDefined()) continue;
    // An automatic identifier without a value is the server's to fill: it
    // is never the value missing.
    if (pclColumn->bIsIdAuto()) continue;
    INAItemDescription* piItem = pclColumn->piGetItemDescription();
    if (piItem == nullptr) continue;
    piItem->ExternalAddRef();
    return piItem;
  }
  return nullptr;
}
