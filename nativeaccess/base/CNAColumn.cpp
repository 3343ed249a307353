#include "CNAColumn.h"

#include "INAItemDescription.h"

CNAColumn::CNAColumn(CNAError* pclError, INAItemDescription* piDescription)
    : m_pclError(pclError), m_piDescription(piDescription) {}

CNAColumn::~CNAColumn() = default;

const wchar_t* CNAColumn::pszGetName() const {
  if (m_piDescription == nullptr) return L"";
  const wchar_t* pszName = m_piDescription->pszGetName();
  return pszName != nullptr ? pszName : L"";
}

CNAConvertVariant* CNAColumn::pclGetNAValue() { return nullptr; }
