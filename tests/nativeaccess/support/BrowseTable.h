// BrowseTable: a table of the server described by hand, as the platform
// declares it, for the tests and benchmarks that read a real table through
// the data access: named items laid out in the order they are added
// (offset = value bytes so far, physical index = items so far), the
// table's name on the server (also its logical name) and its best browse
// item.
//
// Ownership: it holds its items (one reference each). A data access takes
// external references on the description, which the test keeps alive
// longer than every data access over it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CNAItemDescription.h"
#include "TestSource.h"

namespace kxtest {

class BrowseTable : public TestSource {
 public:
  // `dbName`: the table's name on the server (also its logical name).
  explicit BrowseTable(const std::wstring& dbName);
  ~BrowseTable() override;

  // A new item `name` (also its name on the server) laid out after the
  // others; the table holds it. Returned for further settings (nullable,
  // sort direction ...).
  CNAItemDescription* pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size,
                             std::uint16_t keyFlags = 0);
  // The best browse item (one of the table's; null: none).
  void SetBestParseItem(CNAItemDescription* item) { m_pclBest = item; }

  std::uint32_t nGetVersion() override { return 1; }
  const wchar_t* pszGetLogicalName() override { return m_sName.c_str(); }
  const wchar_t* pszGetPhysicalName() override { return m_sName.c_str(); }
  const wchar_t* pszGetDBTableName() override { return m_sName.c_str(); }
  std::uint32_t nGetDiskRecordSize() override { return m_nSize; }
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  // By name, ignoring case; one external reference for the caller.
  INAItemDescription* piNAGetItem(const wchar_t* name) override;
  INAItemDescription* piNAGetItem(std::uint32_t index) override;
  INAItemDescription* piGetBestParseItemDesc() override;

 private:
  std::wstring m_sName;
  std::vector<CNAItemDescription*> m_tabItems;
  std::uint32_t m_nSize = 0;
  CNAItemDescription* m_pclBest = nullptr;
};

}  // namespace kxtest
