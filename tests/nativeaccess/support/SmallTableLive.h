// SmallTableLive: a live test over a small table of the fixture's server,
// read through the driver's own data access (AccessBrowser): twenty rows,
// id 1..20 (unique, the best browse item), k = (id - 1) / 4 (duplicates),
// d = id % 7 (duplicates, sorted descending), f a DOUBLE, and u unique
// except that rows 19 and 20 hold NULL.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CNAItemDescription.h"
#include "nativeaccess/support/AccessBrowser.h"
#include "nativeaccess/support/BrowseTable.h"
#include "nativeaccess/support/DriverLiveTest.h"

namespace kxtest {

class SmallTableLive : public DriverLiveTest {
 protected:
  explicit SmallTableLive(const char* prefix) : DriverLiveTest(prefix) {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id INT NOT NULL PRIMARY KEY, k INT NOT NULL, d INT NOT NULL, f DOUBLE NOT NULL, u INT NULL,"
                    " KEY(k), KEY(d), UNIQUE KEY(u)) ENGINE=InnoDB"));
    std::string insert = "INSERT INTO " + m_sTable + " VALUES ";
    for (int id = 1; id <= 20; ++id)
      insert += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", " + std::to_string((id - 1) / 4) +
                ", " + std::to_string(id % 7) + ", " + std::to_string(id) + ".5, " +
                (id > 18 ? std::string("NULL") : std::to_string(100 + id)) + ")";
    ASSERT_TRUE(Run(insert));
    m_table = std::make_unique<BrowseTable>(std::wstring(m_sTable.begin(), m_sTable.end()));
    m_pId = m_table->pclAdd(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    m_pId->SetNullable(0);
    m_pK = m_table->pclAdd(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    m_pK->SetNullable(0);
    m_pD = m_table->pclAdd(L"d", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_DESCENDING);
    m_pD->SetNullable(0);
    m_pF = m_table->pclAdd(L"f", NA_IT_R8, 8, CNAItemDescription::KEY_DUPLICATES);
    m_pF->SetNullable(0);
    m_pU = m_table->pclAdd(L"u", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE);
    m_pU->SetNullable(1);
    m_table->SetBestParseItem(m_pId);
    ASSERT_TRUE(m_access.bOpen(m_pDriver, m_table.get(), m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
  }

  void TearDown() override {
    m_access.Release();
    m_table.reset();
    DriverLiveTest::TearDown();
  }

  CNADataAccess* p() const { return m_access.p; }

  // The id read in `direction` on `key`: 0 out of file, -2 on failure.
  int Read(const wchar_t* key, eNA_PARSEDIRECTION direction) {
    if (!p()->bHLitxxx(key, direction, 1, 0, nullptr, 0)) return -2;
    int nOut = 1;
    if (p()->bHEndehors(key, &nOut) != 1) return -2;
    return nOut ? 0 : m_access.nCurrentInt(m_pId);
  }
  // Every id of the browse on `key` from the first record on.
  std::vector<int> Browse(const wchar_t* key) {
    std::vector<int> ids;
    for (int id = Read(key, NA_PARSE_FIRST); id > 0 && ids.size() < 100; id = Read(key, NA_PARSE_NEXT))
      ids.push_back(id);
    if (m_pError->eGetErrorType() != NA_ERRORTYPE_NONE) ids.push_back(-2);
    return ids;
  }

  std::unique_ptr<BrowseTable> m_table;
  CNAItemDescription* m_pId = nullptr;
  CNAItemDescription* m_pK = nullptr;
  CNAItemDescription* m_pD = nullptr;
  CNAItemDescription* m_pF = nullptr;
  CNAItemDescription* m_pU = nullptr;
  AccessBrowser m_access;
};

}  // namespace kxtest
