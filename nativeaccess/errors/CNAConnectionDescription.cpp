#include "CNAConnectionDescription.h"

CNAConnectionDescription::~CNAConnectionDescription() = default;

void CNAConnectionDescription::AddInfoNativeXError(_CXErrorModule76* /*pclErr*/) {}

int CNAConnectionDescription::bDBTypeUnkwnownByDB(int /*nType*/) const { return 0; }

const wchar_t* CNAConnectionDescription::pszGetDataBase() const {
  return m_bHasDataBase ? m_csDataBase.pszGet() : nullptr;
}

void CNAConnectionDescription::SetDataBase(const wchar_t* pszDataBase) {
  m_bHasDataBase = pszDataBase != nullptr;
  m_csDataBase.Set(m_bHasDataBase ? pszDataBase : L"");
}
