// WriteLiveTest: the base of the live tests of the data access's writes.
// SetUp makes a table of the fixture's server with an automatic
// identifier, a unique NOT NULL code, a NOT NULL quantity and a nullable
// note, described by hand (BrowseTable); Open makes the data access over
// the test's connection with the server's description imported. Helpers
// fill a new record, add it, and read the rows as the server holds them
// over the test's own session.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/AccessBrowser.h"
#include "nativeaccess/support/BrowseTable.h"
#include "nativeaccess/support/DriverLiveTest.h"

namespace kxtest {

constexpr NA_WRITEPARSEFLAGS knNoFlags = static_cast<NA_WRITEPARSEFLAGS>(0);
constexpr NA_WRITEPARSEFLAGS knNoSave = static_cast<NA_WRITEPARSEFLAGS>(0x40);
constexpr eNA_LOCKTYPE knLock = NA_LOCKTYPE_NONE;

class WriteLiveTest : public DriverLiveTest {
 protected:
  explicit WriteLiveTest(const char* prefix) : DriverLiveTest(prefix) {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, code VARCHAR(20) NOT NULL UNIQUE,"
                    " qty INT NOT NULL, note VARCHAR(20) NULL) ENGINE=InnoDB"));
    m_table = std::make_unique<BrowseTable>(std::wstring(m_sTable.begin(), m_sTable.end()));
    m_pId = m_table->pclAdd(L"id", NA_IT_IDAUTO4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    m_pCode = m_table->pclAdd(L"code", NA_IT_UNICODE, 42, CNAItemDescription::KEY_UNIQUE);
    m_pQty = m_table->pclAdd(L"qty", NA_IT_I4, 4);
    m_pNote = m_table->pclAdd(L"note", NA_IT_UNICODE, 42);
    m_pNote->SetNullable(1);
    m_table->SetBestParseItem(m_pId);
  }

  void TearDown() override {
    m_access.Release();
    m_table.reset();
    DriverLiveTest::TearDown();
  }

  // The data access over the test's connection, with the server's
  // description imported (automatic increment, NOT NULL).
  CNADataAccess* Open() {
    EXPECT_TRUE(m_access.bOpen(m_pDriver, m_table.get(), m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(1, m_access.p->bCheckCompatibilityWithDatabase()) << Narrow(m_pError->pszGetError());
    return m_access.p;
  }

  CNAColumn* Column(INAItemDescription* item) { return m_access.p->pclGetCurrentRecord()->pclGetColumnNoRef(item); }
  void SetInt(INAItemDescription* item, int n) {
    CAny v;
    v.SetI4(n);
    ASSERT_TRUE(Column(item)->bSetValue(&v, 0));
  }
  void SetText(INAItemDescription* item, const std::wstring& s) {
    CAny v;
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
    ASSERT_TRUE(Column(item)->bSetValue(&v, 0));
  }
  // A new record in the current buffer: no identifier (the server's to
  // give), code, qty, no note.
  void NewRecord(const std::wstring& code, int qty) {
    Column(m_pId)->bSetValueNULL();
    ASSERT_NO_FATAL_FAILURE(SetText(m_pCode, code));
    ASSERT_NO_FATAL_FAILURE(SetInt(m_pQty, qty));
    Column(m_pNote)->bSetValueNULL();
  }
  int Add(const std::wstring& code, int qty, NA_WRITEPARSEFLAGS flags = knNoFlags) {
    NewRecord(code, qty);
    const int b = m_access.p->bHAjoute(flags, knLock);
    EXPECT_TRUE(b) << Narrow(m_pError->pszGetError());
    return b ? m_access.nCurrentInt(m_pId) : -1;
  }
  std::string Rows() { return Value("SELECT GROUP_CONCAT(CONCAT(id,':',code,':',qty) ORDER BY id) FROM " + m_sTable); }
  std::string ItemName() { return m_pError->pszGetItemName() != nullptr ? Narrow(m_pError->pszGetItemName()) : ""; }

  std::unique_ptr<BrowseTable> m_table;
  CNAItemDescription* m_pId = nullptr;
  CNAItemDescription* m_pCode = nullptr;
  CNAItemDescription* m_pQty = nullptr;
  CNAItemDescription* m_pNote = nullptr;
  AccessBrowser m_access;
};

}  // namespace kxtest
