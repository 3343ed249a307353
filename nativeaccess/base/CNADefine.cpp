#include "CNADefine.h"

#include "CNAColumn.h"
#include "CNAConvertVariant.h"

CNADefine::CNADefine() = default;

CNADefine::CNADefine(CNAColumn* pclColumn) {
  if (pclColumn == nullptr) return;
  m_pclColumn = pclColumn;
  m_pclColumn->AddRef();
  m_pclValue = pclColumn->pclGetNAValue();
  if (m_pclValue != nullptr) m_pclValue->AddRef();
}

CNADefine::CNADefine(const wchar_t* pszName, CNAConvertVariant* pclValue)
    : m_sName(pszName != nullptr ? pszName : L""), m_pclValue(pclValue) {
  if (m_pclValue != nullptr) m_pclValue->AddRef();
}

CNADefine::~CNADefine() {
  if (m_pclValue != nullptr) m_pclValue->nRelease();
  if (m_pclColumn != nullptr) m_pclColumn->nRelease();
}

int CNADefine::bIsCursor() { return 0; }

const wchar_t* CNADefine::pszGetName() const {
  if (m_pclColumn != nullptr) return m_pclColumn->pszGetName();
  return m_sName.pszGet() != nullptr ? m_sName.pszGet() : L"";
}

CNAConnectionDescription* CNADefine::pclGetCnx() const {
  return m_pclValue != nullptr ? m_pclValue->pclGetCnx() : nullptr;
}
