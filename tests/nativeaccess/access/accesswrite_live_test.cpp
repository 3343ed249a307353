// The data access's writes on a table of the fixture's server: adds with
// their automatic identifiers and saves, modifies and deletes (a deleted
// record written back comes back with its identifier, also when nothing
// was changed), the refusals typed for the runtime (duplicate 3 and
// mandatory 8 naming the item, lock 2), the user errors that send nothing
// (record number, read-only query), and a table without a unique key whose
// identical rows are written one at a time.
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
#include "nativeaccess/support/WriteLiveTest.h"

namespace {

using kxtest::Narrow;

using kxtest::knLock;
using kxtest::knNoFlags;
using kxtest::knNoSave;

class accesswrite_live : public kxtest::WriteLiveTest {
 protected:
  accesswrite_live() : WriteLiveTest("kxwrite_") {}
};

// Adds take the server's identifiers; one save is held after an add, none
// with 0x40; a modify and a delete reach the server; a deleted record
// written back, changed or not, returns with its identifier.
TEST_F(accesswrite_live, AddModifyDeleteAndWriteBack) {
  Open();
  ASSERT_FALSE(HasFailure());
  const int a = Add(L"a", 1);
  EXPECT_EQ(std::to_string(a), Value("SELECT MAX(id) FROM " + m_sTable));
  EXPECT_EQ(1, m_access.nSavesHeld());
  const int b = Add(L"b", 2, knNoSave);
  EXPECT_EQ(0, m_access.nSavesHeld());
  const int c = Add(L"c", 3);
  ASSERT_LT(a, b);
  ASSERT_LT(b, c);
  EXPECT_EQ(std::to_string(c), Value("SELECT MAX(id) FROM " + m_sTable));

  // c is the current record: modify it, then delete it.
  ASSERT_NO_FATAL_FAILURE(SetInt(m_pQty, 30));
  ASSERT_TRUE(m_access.p->bHModifie(0, knNoFlags, knLock)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ("30", Value("SELECT qty FROM " + m_sTable + " WHERE id = " + std::to_string(c)));
  ASSERT_TRUE(m_access.p->bHSupprime(0, knLock)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ("0", Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE id = " + std::to_string(c)));

  // Written back unchanged: an UPDATE would send nothing and leave it gone.
  ASSERT_TRUE(m_access.p->bHEcrit(0, knNoFlags, knLock)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(std::to_string(c) + ":c:30", Value("SELECT CONCAT(id,':',code,':',qty) FROM " + m_sTable +
                                                " WHERE id = " + std::to_string(c)));
  // Deleted again and written back changed: the UPDATE finds no row, the
  // record goes back in with its identifier.
  ASSERT_TRUE(m_access.p->bHSupprime(0, knLock)) << Narrow(m_pError->pszGetError());
  ASSERT_NO_FATAL_FAILURE(SetInt(m_pQty, 31));
  ASSERT_TRUE(m_access.p->bHModifie(0, knNoFlags, knLock)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(std::to_string(a) + ":a:1," + std::to_string(b) + ":b:2," + std::to_string(c) + ":c:31", Rows());
}

// After the program changed the record's key, the modify finds the row by
// the values it was added with.
TEST_F(accesswrite_live, ModifyAddressesTheRowAsAdded) {
  Open();
  ASSERT_FALSE(HasFailure());
  const int a = Add(L"a", 1);
  ASSERT_NO_FATAL_FAILURE(SetText(m_pCode, L"z"));
  ASSERT_TRUE(m_access.p->bHModifie(0, knNoFlags, knLock)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(std::to_string(a) + ":z:1", Rows());
}

// Refusals of the server, typed and named; the server's rows unchanged.
TEST_F(accesswrite_live, RefusalsAreTypedAndNamed) {
  Open();
  ASSERT_FALSE(HasFailure());
  const int a = Add(L"a", 1);
  const int b = Add(L"b", 2);
  const std::string before = Rows();

  // An INSERT of a code already there.
  m_pError->Reset();
  NewRecord(L"a", 5);
  EXPECT_FALSE(m_access.p->bHAjoute(knNoFlags, knLock));
  EXPECT_EQ(NA_ERRORTYPE_DUPLICATE, m_access.p->eGetNAErrorType());
  EXPECT_EQ(NA_ERRORTYPE_DUPLICATE, m_pError->eGetErrorType());
  EXPECT_EQ("code", ItemName());
  EXPECT_EQ(1062u, m_pError->dwGetDataBaseErrorCode());
  EXPECT_EQ(before, Rows());

  // An INSERT without its mandatory quantity: the identifier the server
  // fills is not what is missing.
  m_pError->Reset();
  NewRecord(L"n", 5);
  Column(m_pQty)->bSetValueNULL();
  EXPECT_FALSE(m_access.p->bHAjoute(knNoFlags, knLock));
  EXPECT_EQ(NA_ERRORTYPE_MANDATORY, m_pError->eGetErrorType());
  EXPECT_EQ("qty", ItemName());
  EXPECT_EQ(1048u, m_pError->dwGetDataBaseErrorCode());
  EXPECT_EQ(before, Rows());

  // An UPDATE of b giving it a's code (a modified column).
  m_pError->Reset();
  ASSERT_EQ(1, m_access.p->bHLitxxx(L"id", NA_PARSE_LAST, 1, 0, nullptr, 0)) << Narrow(m_pError->pszGetError());
  ASSERT_EQ(b, m_access.nCurrentInt(m_pId));
  ASSERT_NO_FATAL_FAILURE(SetText(m_pCode, L"a"));
  EXPECT_FALSE(m_access.p->bHModifie(0, knNoFlags, knLock));
  EXPECT_EQ(NA_ERRORTYPE_DUPLICATE, m_pError->eGetErrorType());
  EXPECT_EQ("code", ItemName());
  EXPECT_EQ(before, Rows());
  (void)a;
}

// A row locked by another session: the UPDATE and the DELETE time out as a
// lock conflict, without names.
TEST_F(accesswrite_live, LockTimeoutIsTypedTwo) {
  Open();
  ASSERT_FALSE(HasFailure());
  const int a = Add(L"a", 1);
  const std::string before = Rows();
  ASSERT_TRUE(m_pCnx->bExecuteQueryNoResult(m_pError, L"SET SESSION innodb_lock_wait_timeout = 1"));
  ASSERT_TRUE(Run("START TRANSACTION"));
  ASSERT_EQ("1", Value("SELECT qty FROM " + m_sTable + " WHERE id = " + std::to_string(a) + " FOR UPDATE"));
  m_pError->Reset();
  ASSERT_NO_FATAL_FAILURE(SetInt(m_pQty, 9));
  EXPECT_FALSE(m_access.p->bHModifie(0, knNoFlags, knLock));
  EXPECT_EQ(NA_ERRORTYPE_LOCK, m_pError->eGetErrorType());
  EXPECT_EQ(1205u, m_pError->dwGetDataBaseErrorCode());
  EXPECT_EQ("", ItemName());
  m_pError->Reset();
  EXPECT_FALSE(m_access.p->bHSupprime(0, knLock));
  EXPECT_EQ(NA_ERRORTYPE_LOCK, m_pError->eGetErrorType());
  ASSERT_TRUE(Run("ROLLBACK"));
  EXPECT_EQ(before, Rows());
}

// Record numbers other than 0 are refused before any SQL.
TEST_F(accesswrite_live, RecordNumberOtherThanCurrentIsRefused) {
  Open();
  ASSERT_FALSE(HasFailure());
  Add(L"a", 1);
  const std::string before = Rows();
  m_pError->Reset();
  EXPECT_FALSE(m_access.p->bHModifie(5, knNoFlags, knLock));
  EXPECT_EQ(18u, m_pError->nGetUserErrorCode());
  m_pError->Reset();
  EXPECT_FALSE(m_access.p->bHSupprime(5, knLock));
  EXPECT_EQ(18u, m_pError->nGetUserErrorCode());
  EXPECT_EQ(before, Rows());
}

class accesswrite_nokey_live : public kxtest::DriverLiveTest {
 protected:
  accesswrite_nokey_live() : DriverLiveTest("kxwritenk_") {}
};

// Two identical rows of a table without a unique key: a modify and a
// delete each change exactly one of them.
TEST_F(accesswrite_nokey_live, IdenticalRowsAreWrittenOneAtATime) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (k INT NOT NULL, v INT NOT NULL, KEY(k)) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("INSERT INTO " + m_sTable + " VALUES (1, 10), (1, 10), (2, 20)"));
  auto table = std::make_unique<kxtest::BrowseTable>(std::wstring(m_sTable.begin(), m_sTable.end()));
  CNAItemDescription* pK = table->pclAdd(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
  CNAItemDescription* pV = table->pclAdd(L"v", NA_IT_I4, 4);
  table->SetBestParseItem(pK);
  {
    kxtest::AccessBrowser access;
    ASSERT_TRUE(access.bOpen(m_pDriver, table.get(), m_pCnx, m_pError)) << Narrow(m_pError->pszGetError());
    ASSERT_EQ(1, access.p->bHLitxxx(L"k", NA_PARSE_FIRST, 1, 0, nullptr, 0)) << Narrow(m_pError->pszGetError());
    ASSERT_EQ(1, access.nCurrentInt(pK));
    CAny v;
    v.SetI4(11);
    ASSERT_TRUE(access.p->pclGetCurrentRecord()->pclGetColumnNoRef(pV)->bSetValue(&v, 0));
    ASSERT_TRUE(access.p->bHModifie(0, knNoFlags, knLock)) << Narrow(m_pError->pszGetError());
    EXPECT_EQ("1:10,1:11,2:20", Value("SELECT GROUP_CONCAT(CONCAT(k,':',v) ORDER BY k, v) FROM " + m_sTable));
    ASSERT_EQ(1, access.p->bHLitxxx(L"k", NA_PARSE_FIRST, 1, 0, nullptr, 0)) << Narrow(m_pError->pszGetError());
    ASSERT_TRUE(access.p->bHSupprime(0, knLock)) << Narrow(m_pError->pszGetError());
    EXPECT_EQ("1", Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE k = 1"));
    EXPECT_EQ("1", Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE k = 2"));
    access.Release();
  }
  table.reset();
}

}  // namespace
