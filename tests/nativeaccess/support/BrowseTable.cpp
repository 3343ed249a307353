#include "BrowseTable.h"

#include <cwctype>

namespace kxtest {

namespace {

bool SameName(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  return *a == *b;
}

}  // namespace

BrowseTable::BrowseTable(const std::wstring& dbName) : m_sName(dbName) {}

BrowseTable::~BrowseTable() {
  for (CNAItemDescription* p : m_tabItems) p->nRelease();
}

CNAItemDescription* BrowseTable::pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size,
                                        std::uint16_t keyFlags) {
  CNAItemDescription* p = new CNAItemDescription;
  p->AddRef();
  p->bInit(name, m_sName.c_str(), name, 1, size, type, static_cast<std::uint32_t>(m_tabItems.size()), -1, keyFlags,
           0, 0);
  p->SetOffset(m_nSize);
  m_nSize += p->nGetTotalSize();
  m_tabItems.push_back(p);
  return p;
}

INAItemDescription* BrowseTable::piNAGetItem(const wchar_t* name) {
  for (CNAItemDescription* p : m_tabItems) {
    if (SameName(p->pszGetName(), name)) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}

INAItemDescription* BrowseTable::piNAGetItem(std::uint32_t index) {
  if (index >= m_tabItems.size()) return nullptr;
  m_tabItems[index]->ExternalAddRef();
  return m_tabItems[index];
}

INAItemDescription* BrowseTable::piGetBestParseItemDesc() {
  if (m_pclBest != nullptr) m_pclBest->ExternalAddRef();
  return m_pclBest;
}

}  // namespace kxtest
