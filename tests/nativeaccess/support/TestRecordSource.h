// TestRecordSource: a data-source description made of item descriptions, for
// tests of the native record and of what is built on it (columns, record
// layouts, caches).
//
// Items are laid out as they are added: each one's offset is the value area
// size so far, its physical index the number of items added so far (its
// NULL-flag bit); the value area grows by the item's total size, the count
// of items in the record by one. Tests may then move an item (SetOffset,
// SetPhysicalIndice) or set the sizes the description answers (fields).
//
// The source holds one internal reference on each item. piNAGetItem hands an
// item with one external reference for the caller and counts the items
// handed out and given back, so that a test can check every reference came
// back (nHandedOut; each item's nGetExternalCount()). Texts are empty.
//
// It needs neither the stand-in platform nor a connection.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "CNAItemDescription.h"
#include "CNAXQRecord.h"
#include "TestSource.h"

namespace kxtest {

class TestRecordSource : public TestSource {
 public:
  TestRecordSource() = default;
  ~TestRecordSource() override;

  // A new item laid out after the others; the source holds it. Returned for
  // further settings (digits, default value, key flags ...).
  CNAItemDescription* pclAdd(eNA_ITEMTYPE eType, std::uint32_t nItemSize, std::uint32_t nDimension = 1,
                             std::uint16_t wKeyFlags = 0, int nIntegerPart = 0, int nDecimalPart = 0);
  CNAItemDescription* pclItem(std::uint32_t n) const { return m_tabItems[n]; }

  // Answers of the description; pclAdd keeps the first two up to date.
  std::uint32_t nDiskRecordSize = 0;
  std::uint32_t nItemsInRecord = 0;
  // Items handed out by piNAGetItem less those given back (through the
  // items' nExternalRelease, seen as the items' external counts).
  int nHandedOut() const;
  int nGetItemCalls = 0;

  // ---- What the items make of the description ------------------------------
  std::uint32_t nGetVersion() override { return 1; }
  const wchar_t* pszGetLogicalName() override { return L""; }
  const wchar_t* pszGetPhysicalName() override { return L""; }
  const wchar_t* pszGetDBTableName() override { return L""; }
  std::uint32_t nGetDiskRecordSize() override { return nDiskRecordSize; }
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return nItemsInRecord; }
  INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
  INAItemDescription* piNAGetItem(std::uint32_t nIndex) override;

 private:
  std::vector<CNAItemDescription*> m_tabItems;
};

// A record sized for a source, released when the pointer goes.
struct RecordDeleter {
  void operator()(CNAXQRecord* p) const { p->nRelease(); }
};
using RecordPtr = std::unique_ptr<CNAXQRecord, RecordDeleter>;
// A new record initialised for `src` (one reference, held by the pointer);
// a failed initialisation fails the test.
RecordPtr NewRecord(TestRecordSource& src, eINITTYPE eInit = NA_INITTYPE_EMPTY);

}  // namespace kxtest
