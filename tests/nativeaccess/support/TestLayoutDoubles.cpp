#include "TestLayoutDoubles.h"

#include <cwctype>

namespace kxtest {

namespace {

std::wstring Folded(const wchar_t* psz, bool cutBlanks) {
  std::wstring s = psz != nullptr ? psz : L"";
  if (cutBlanks) {
    while (!s.empty() && s.back() == L' ') s.pop_back();
  }
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(c));
  return s;
}

}  // namespace

TestImportedSource::~TestImportedSource() {
  for (CNAItemDescription* p : m_tabItems) p->nRelease();
}

CNAItemDescription* TestImportedSource::pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size) {
  auto* p = new CNAItemDescription;
  p->AddRef();
  p->bInit(name, L"", name, 1, size, type, static_cast<std::uint32_t>(m_tabItems.size()), -1, 0, 0, 0);
  m_tabItems.push_back(p);
  return p;
}

CNAItemDescription* TestImportedSource::pclNAGetItem(const wchar_t* pszName, int nMode) {
  ++nLookups;
  if (pszName == nullptr) return nullptr;
  const bool bCut = (nMode & 1) != 0;
  const std::wstring sSought = Folded(pszName, bCut);
  for (CNAItemDescription* p : m_tabItems) {
    if (Folded(p->pszGetName(), bCut) == sSought) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}

}  // namespace kxtest
