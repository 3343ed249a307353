// The table interface over a real table of the fixture's server, as the
// runtime drives it: piGetTable, bHOuvre and reads in two contexts taking
// turns, the record buffer lent and given back, user error 19 for a context
// that never opened the table, a failed open that leaves nothing behind, and
// the table released while open, got again and read.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNATable.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/BrowseTable.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/TestRuntimeObjects.h"

namespace {

using kxtest::FakeContext;
using kxtest::Narrow;

constexpr int knRows = 30;
const auto keFirst = static_cast<eNA_PARSEDIRECTION>(0);
const auto keLast = static_cast<eNA_PARSEDIRECTION>(1);
const auto keNext = static_cast<eNA_PARSEDIRECTION>(2);
const auto kePrevious = static_cast<eNA_PARSEDIRECTION>(3);
const auto keNoLock = static_cast<eNA_LOCKTYPE>(1);
const auto keAccess = static_cast<eNA_ACCESS>(0);

class table_live : public kxtest::DriverLiveTest {
 protected:
  table_live() : DriverLiveTest("kxtbl_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id INT NOT NULL PRIMARY KEY, k INT NOT NULL, KEY(k)) ENGINE=InnoDB"));
    std::string insert = "INSERT INTO " + m_sTable + " VALUES ";
    for (int id = 1; id <= knRows; ++id)
      insert += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", " + std::to_string(id / 3) + ")";
    ASSERT_TRUE(Run(insert));
    m_table = MakeDescription(std::wstring(m_sTable.begin(), m_sTable.end()));
    for (unsigned int n = 10; n <= 13; ++n) {
      FakeContext(n)->SetNumber(0x7000 + n);
      FakeContext(n)->SetDataNumber(0x9000 + n);
    }
  }

  void TearDown() override {
    if (m_piTable != nullptr) {
      for (unsigned int n = 10; n <= 13; ++n) m_piTable->bHFerme(FakeContext(n));
      m_piTable->nExternalRelease();
      m_piTable = nullptr;
    }
    DriverLiveTest::TearDown();
    m_table.reset();
    m_missing.reset();
  }

  std::unique_ptr<kxtest::BrowseTable> MakeDescription(const std::wstring& name) {
    auto table = std::make_unique<kxtest::BrowseTable>(name);
    m_pId = table->pclAdd(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    m_pId->SetNullable(0);
    CNAItemDescription* pK = table->pclAdd(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    pK->SetNullable(0);
    table->SetBestParseItem(m_pId);
    return table;
  }

  INATable* GetTable(INADataSourceDescription* source) {
    INATable* piTable = m_pDriver->piGetTable(&m_host, source);
    EXPECT_NE(piTable, nullptr) << Narrow(m_pDriver->pclGetError()->pszGetError());
    return piTable;
  }

  CNATable* Table() { return static_cast<CNATable*>(m_piTable); }

  // The id read in `direction` on id in context n: 0 out of file, -2 on
  // failure. The record buffer is lent and given back on the way.
  int Read(unsigned int n, eNA_PARSEDIRECTION direction) {
    INAContext* piContext = FakeContext(n);
    if (!m_piTable->bHLitxxx(piContext, L"id", direction, 1, keNoLock, nullptr, 0)) return -2;
    int nOut = 1;
    EXPECT_EQ(1, m_piTable->bHEnDehors(piContext, L"id", &nOut));
    if (nOut) return 0;
    CNAXQRecord* pclBuffer = nullptr;
    EXPECT_EQ(1, m_piTable->bGetRecord(piContext, &pclBuffer));
    EXPECT_NE(pclBuffer, nullptr);
    if (pclBuffer != nullptr) {
      EXPECT_EQ(1, m_piTable->bSetRecord(piContext, pclBuffer));
    }
    return CurrentId(piContext);
  }

  int CurrentId(INAContext* piContext) {
    CNADataAccess* pclAccess = Table()->_pclFindDataAccess(piContext);
    if (pclAccess == nullptr) return -1;
    CNAColumn* col = pclAccess->pclGetCurrentRecord()->pclGetColumnNoRef(m_pId);
    CAny v;
    int n = -1;
    if (col == nullptr || !col->bGetCurrentValue(&v, 0) || v.bIsNull() || v.nGetINT(&n) != 0) n = -1;
    pclAccess->nRelease();
    return n;
  }

  std::unique_ptr<kxtest::BrowseTable> m_table;
  std::unique_ptr<kxtest::BrowseTable> m_missing;
  CNAItemDescription* m_pId = nullptr;
  INATable* m_piTable = nullptr;
};

// Two contexts opening one table share it but browse on their own data
// accesses, taking turns; a context that never opened it gets user error 19
// naming the table; closing one context leaves the other reading.
TEST_F(table_live, TwoContextsTakeTurnsOnOneTable) {
  m_piTable = GetTable(m_table.get());
  ASSERT_NE(m_piTable, nullptr);
  ASSERT_EQ(1, m_piTable->bHOuvre(FakeContext(10), keAccess, L""))
      << Narrow(static_cast<CNAError*>(m_piTable->piGetLastError(FakeContext(10)))->pszGetError());
  ASSERT_EQ(1, m_piTable->bHOuvre(FakeContext(11), keAccess, L""));
  EXPECT_EQ(1, m_piTable->bIsOpened(FakeContext(10)));
  EXPECT_EQ(2u, Table()->nGetDataAccessCount());
  EXPECT_EQ(1, Read(10, keFirst));
  EXPECT_EQ(knRows, Read(11, keLast));
  for (int i = 2; i <= 5; ++i) {
    EXPECT_EQ(i, Read(10, keNext));
    EXPECT_EQ(knRows + 1 - i, Read(11, kePrevious));
  }
  // A third context never opened it.
  EXPECT_EQ(-2, Read(12, keNext));
  auto* pclError = static_cast<CNAError*>(m_piTable->piGetLastError(FakeContext(12)));
  EXPECT_EQ(19u, pclError->nGetUserErrorCode());
  EXPECT_EQ(std::wstring(m_table->pszGetLogicalName()), std::wstring(pclError->pszGetLogicalTableName()));
  EXPECT_EQ(2u, Table()->nGetDataAccessCount()) << "the failing read made no data access";
  EXPECT_EQ(6, Read(10, keNext)) << "the other contexts are unaffected";
  EXPECT_EQ(1, m_piTable->bHFerme(FakeContext(10)));
  EXPECT_EQ(-2, Read(10, keNext));
  EXPECT_EQ(knRows - 5, Read(11, kePrevious));
  long nCount = -1;
  EXPECT_EQ(1, m_piTable->bHNbEnr(FakeContext(11), &nCount, 16, 0));
  EXPECT_EQ(knRows, nCount);
}

// An open the server refuses (no such table) leaves no data access and no
// context behind; the context's last error is then the table's, holding
// the failure. The same context then opens a table that exists.
TEST_F(table_live, FailedOpenLeavesNothingBehind) {
  m_missing = MakeDescription(L"kxtbl_no_such_table");
  INATable* piMissing = GetTable(m_missing.get());
  ASSERT_NE(piMissing, nullptr);
  const std::uint32_t nContexts = m_pDriver->nGetContextCount();
  EXPECT_EQ(0, piMissing->bHOuvre(FakeContext(13), keAccess, L""));
  EXPECT_EQ(0u, static_cast<CNATable*>(piMissing)->nGetDataAccessCount());
  EXPECT_EQ(nContexts, m_pDriver->nGetContextCount());
  INAError* piError = piMissing->piGetLastError(FakeContext(13));
  EXPECT_EQ(piError, static_cast<CNATable*>(piMissing)->pclGetLastError());
  EXPECT_NE(0u, static_cast<CNAError*>(piError)->nGetUserErrorCode());
  EXPECT_EQ(0u, piMissing->nExternalRelease());
  m_piTable = GetTable(m_table.get());
  ASSERT_NE(m_piTable, nullptr);
  ASSERT_EQ(1, m_piTable->bHOuvre(FakeContext(13), keAccess, L""));
  EXPECT_EQ(1, Read(13, keFirst));
}

// The runtime lets an open table go (the table ends), then gets it again:
// the context's old data access went with the table, so a read fails
// cleanly with user error 19 until the context opens it again.
TEST_F(table_live, ReleasedWhileOpenThenGotAgain) {
  m_piTable = GetTable(m_table.get());
  ASSERT_NE(m_piTable, nullptr);
  ASSERT_EQ(1, m_piTable->bHOuvre(FakeContext(10), keAccess, L""));
  EXPECT_EQ(1, Read(10, keFirst));
  EXPECT_EQ(2, Read(10, keNext));
  EXPECT_EQ(0u, m_piTable->nExternalRelease());
  m_piTable = GetTable(m_table.get());
  ASSERT_NE(m_piTable, nullptr);
  EXPECT_EQ(-2, Read(10, keNext));
  EXPECT_EQ(19u, static_cast<CNAError*>(m_piTable->piGetLastError(FakeContext(10)))->nGetUserErrorCode());
  ASSERT_EQ(1, m_piTable->bHOuvre(FakeContext(10), keAccess, L""));
  EXPECT_EQ(1, Read(10, keFirst));
  EXPECT_EQ(2, Read(10, keNext));
}

}  // namespace
