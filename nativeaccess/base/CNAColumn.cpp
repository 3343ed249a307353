#include "CNAColumn.h"

#include "CNAConvertVariant.h"
#include "INAItemDescription.h"
#include "ItemTypes.h"

CNAColumn::CNAColumn(CNAError* pclError, INAItemDescription* piDescription)
    : m_pclError(pclError), m_piDescription(piDescription) {}

CNAColumn::~CNAColumn() = default;

const wchar_t* CNAColumn::pszGetName() const {
  if (m_piDescription == nullptr) return L"";
  const wchar_t* pszName = m_piDescription->pszGetName();
  return pszName != nullptr ? pszName : L"";
}

CNAConvertVariant* CNAColumn::pclGetNAValue() { return nullptr; }

int CNAColumn::bInitVariant_NV_Any(CNAError* /*error*/, CNAConvertVariant* variant, unsigned short type) {
  if (variant == nullptr) return 0;
  unsigned short wType = type;
  unsigned long nSize = 0;
  if (m_piDescription != nullptr) {
    if (wType == 0) wType = ConverteItemToTNType(m_piDescription);
    if (!m_piDescription->bMemo()) nSize = m_piDescription->nGetItemSize();
  }
  variant->InitTypeVariantAny(wType, nSize);
  variant->SetItemDesc(m_piDescription, m_piDescription);
  return 1;
}
