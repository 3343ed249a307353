#include "TestRecordSource.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace kxtest {

TestRecordSource::~TestRecordSource() {
  for (CNAItemDescription* p : m_tabItems) p->nRelease();
}

CNAItemDescription* TestRecordSource::pclAdd(eNA_ITEMTYPE eType, std::uint32_t nItemSize, std::uint32_t nDimension,
                                             std::uint16_t wKeyFlags, int nIntegerPart, int nDecimalPart) {
  CNAItemDescription* p = new CNAItemDescription;
  p->AddRef();
  const std::wstring sName = L"ITEM" + std::to_wstring(m_tabItems.size());
  p->bInit(sName.c_str(), L"SRC", sName.c_str(), nDimension, nItemSize, eType, nItemsInRecord, -1, wKeyFlags,
           nIntegerPart, nDecimalPart);
  p->SetOffset(nDiskRecordSize);
  nDiskRecordSize += p->nGetTotalSize();
  ++nItemsInRecord;
  m_tabItems.push_back(p);
  return p;
}

int TestRecordSource::nHandedOut() const {
  int n = 0;
  for (const CNAItemDescription* p : m_tabItems) n += static_cast<int>(p->nGetExternalCount());
  return n;
}

INAItemDescription* TestRecordSource::piNAGetItem(const wchar_t* pszName) {
  ++nGetItemCalls;
  if (pszName == nullptr) return nullptr;
  for (CNAItemDescription* p : m_tabItems) {
    if (std::wcscmp(p->pszGetName(), pszName) == 0) {
      p->ExternalAddRef();
      return p;
    }
  }
  return nullptr;
}

INAItemDescription* TestRecordSource::piNAGetItem(std::uint32_t nIndex) {
  ++nGetItemCalls;
  if (nIndex >= m_tabItems.size()) return nullptr;
  m_tabItems[nIndex]->ExternalAddRef();
  return m_tabItems[nIndex];
}

RecordPtr NewRecord(TestRecordSource& src, eINITTYPE eInit) {
  CNAXQRecord* p = new CNAXQRecord;
  p->AddRef();
  EXPECT_TRUE(p->bInit(&src, eInit));
  return RecordPtr(p);
}

}  // namespace kxtest
