// NamedSource: a data-source description of named items laid out one after
// the other in the order they are added; its logical, physical and server
// name is the one given to SetName ("" until then).
//
// pclAdd makes a new item description (the source holds one reference on
// it, released with the source) at the end of the record, and returns it
// without a reference for the caller. piNAGetItem (by name or by number)
// answers an item with one external reference taken, or null when there is
// none; the source is never deleted through those references.
//
// Needs no stand-in library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "CNAItemDescription.h"
#include "TestSource.h"

namespace kxtest {

class NamedSource : public TestSource {
 public:
  NamedSource() { SetName(L""); }
  ~NamedSource() override {
    for (CNAItemDescription* p : m_tabItems) p->nRelease();
  }

  // Adds item `name` of `type` and `size` bytes; `source` and
  // `nameInSource` say where it comes from (`name` itself when null);
  // `integerPart` and `decimalPart` are a numeric item's digits.
  CNAItemDescription* pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size,
                             const wchar_t* source = L"", const wchar_t* nameInSource = nullptr,
                             int integerPart = 0, int decimalPart = 0) {
    CNAItemDescription* p = new CNAItemDescription;
    p->AddRef();
    p->bInit(name, source, nameInSource != nullptr ? nameInSource : name, 1, size, type,
             static_cast<std::uint32_t>(m_tabItems.size()), -1, 0, integerPart, decimalPart);
    p->SetOffset(m_nSize);
    m_nSize += p->nGetTotalSize();
    m_tabItems.push_back(p);
    return p;
  }
  // Item number `n` (before: n < the number of items), no reference taken.
  CNAItemDescription* pclItem(std::size_t n) const { return m_tabItems[n]; }

  std::uint32_t nGetDiskRecordSize() override { return m_nSize; }
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  INAItemDescription* piNAGetItem(const wchar_t* name) override {
    for (CNAItemDescription* p : m_tabItems) {
      if (name != nullptr && std::wcscmp(p->pszGetName(), name) == 0) {
        p->ExternalAddRef();
        return p;
      }
    }
    return nullptr;
  }
  INAItemDescription* piNAGetItem(std::uint32_t n) override {
    if (n >= m_tabItems.size()) return nullptr;
    m_tabItems[n]->ExternalAddRef();
    return m_tabItems[n];
  }

 private:
  std::vector<CNAItemDescription*> m_tabItems;
  std::uint32_t m_nSize = 0;
};

}  // namespace kxtest
