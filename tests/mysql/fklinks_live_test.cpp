// The SQL face's generic catalogue on the fixture's server: table lists
// that stay in the current schema when a second schema has tables of the
// same kinds, a database list with kinds, the foreign keys of a real
// table, and the runtime's lock requests, which need a transaction.
#include <gtest/gtest.h>

#include <map>
#include <new>
#include <algorithm>
#include <string>
#include <unistd.h>
#include <vector>

#include "CAny.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CXError.h"
#include "CXYStringConcat.h"
#include "mysql/support/DescribingMySQLDriver.h"
#include "nativeaccess/support/DriverLiveTest.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

std::wstring Text(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return L"<not a text>";
  return psz;
}

// The records of a list text, each split into its fields.
std::vector<std::vector<std::wstring>> Records(const std::wstring& text) {
  std::vector<std::vector<std::wstring>> records;
  if (text.empty()) return records;
  std::size_t nStart = 0;
  for (;;) {
    const std::size_t nEnd = text.find(L"\r\n", nStart);
    const std::wstring sRecord = text.substr(nStart, nEnd == std::wstring::npos ? nEnd : nEnd - nStart);
    std::vector<std::wstring> fields;
    std::size_t nField = 0;
    for (;;) {
      const std::size_t nTab = sRecord.find(L'\t', nField);
      fields.push_back(sRecord.substr(nField, nTab == std::wstring::npos ? nTab : nTab - nField));
      if (nTab == std::wstring::npos) break;
      nField = nTab + 1;
    }
    records.push_back(fields);
    if (nEnd == std::wstring::npos) break;
    nStart = nEnd + 2;
  }
  return records;
}

class fklinksLive : public kxtest::DriverLiveTest {
 protected:
  fklinksLive() : DriverLiveTest("kxfk_") {}
  CNADriver* NewDriver() override { return new kxtest::DescribingMySQLDriver(); }

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_sOther = "kxtest_fk" + std::to_string(getpid());
    m_sEmpty = "kxtest_fe" + std::to_string(getpid());
    DropAll();
    ASSERT_TRUE(Run("CREATE DATABASE " + m_sOther));
    ASSERT_TRUE(Run("CREATE DATABASE " + m_sEmpty));
    m_pFace = m_pDriver->pclGetDriverSQL();
    ASSERT_NE(m_pFace, nullptr);
  }
  void TearDown() override {
    DropAll();
    DriverLiveTest::TearDown();
  }
  void DropAll() {
    if (m_pSession == nullptr) return;
    std::string failure;
    for (const std::string& s : {m_sTable + "_c", m_sTable + "_p", m_sTable + "_b"})
      m_client->Execute(m_pSession, "DROP TABLE IF EXISTS " + s, failure);
    m_client->Execute(m_pSession, "DROP VIEW IF EXISTS " + m_sTable + "_v", failure);
    for (const std::string& s : {m_sOther, m_sEmpty})
      if (!s.empty()) m_client->Execute(m_pSession, "DROP DATABASE IF EXISTS " + s, failure);
  }
  std::string Error() { return Narrow(m_pDriver->pclGetError()->pszGetError()); }

  std::string m_sOther, m_sEmpty;
  CNADriverSQL* m_pFace = nullptr;
};

// A second schema with a base table and a view of the same names' pattern:
// several kinds list only the current schema's tables, with and without a
// condition (the schema condition bound to the last kind only and let every
// schema's base tables through). Flag 4 asks for 'SYSTEM TABLE', a kind
// MariaDB never reports (its own tables are 'SYSTEM VIEW'): nothing. A
// database list with kinds gives each database its own tables only, and a
// database without tables its name and one tab.
TEST_F(fklinksLive, TwoSchemasListOnlyTheCurrentOne) {
  const std::string sT = m_sTable;
  ASSERT_TRUE(Run("CREATE TABLE " + sT + "_b (id INT)"));
  ASSERT_TRUE(Run("CREATE VIEW " + sT + "_v AS SELECT id FROM " + sT + "_b"));
  ASSERT_TRUE(Run("CREATE TABLE " + m_sOther + "." + sT + "_x (id INT)"));
  ASSERT_TRUE(Run("CREATE VIEW " + m_sOther + "." + sT + "_y AS SELECT id FROM " + m_sOther + "." + sT + "_x"));
  const std::wstring wT = WideFromUTF8(sT);
  const std::wstring wDb = WideFromUTF8(m_c.database);
  const std::wstring sLike = L"AND TABLE_NAME LIKE '" + wT + L"%'";

  const struct {
    unsigned nFlags;
    std::wstring sCondition;
    std::wstring sList;
  } rows[] = {
      {0x23, sLike, wT + L"_b\t" + wDb + L"\t\tTABLE\r\n" + wT + L"_v\t" + wDb + L"\t\tVIEW"},
      {0x13, sLike, wT + L"_b\r\n" + wT + L"_v"},
      {0x12, sLike, wT + L"_v"},
      {0x04, L"", L""},
  };
  CAny clList;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.nFlags);
    EXPECT_EQ(m_pFace->bGetTableList(&clList, m_pCnx, row.sCondition.c_str(), row.nFlags), 1) << Error();
    EXPECT_EQ(Narrow(Text(clList).c_str()), Narrow(row.sList.c_str()));
  }
  // Without a condition every record is of the current schema.
  EXPECT_EQ(m_pFace->bGetTableList(&clList, m_pCnx, nullptr, 0x23), 1) << Error();
  const auto records = Records(Text(clList));
  EXPECT_FALSE(records.empty());
  for (const auto& record : records) {
    ASSERT_EQ(record.size(), 4u);
    EXPECT_EQ(Narrow(record[1].c_str()), m_c.database) << Narrow(record[0].c_str());
  }

  CXYStringConcat<wchar_t> clDatabases(256);
  ASSERT_EQ(m_pFace->_bGetDatabaseList(&clDatabases, m_pCnx, 0x13), 1) << Error();
  std::map<std::wstring, std::vector<std::wstring>> mapDatabases;
  for (const auto& record : Records(clDatabases.pszGet()))
    mapDatabases[record[0]] = std::vector<std::wstring>(record.begin() + 1, record.end());
  EXPECT_EQ(mapDatabases[WideFromUTF8(m_sOther)], (std::vector<std::wstring>{wT + L"_x", wT + L"_y"}));
  EXPECT_EQ(mapDatabases[WideFromUTF8(m_sEmpty)], std::vector<std::wstring>{L""});
  const auto& vecCurrent = mapDatabases[wDb];
  EXPECT_EQ(std::count(vecCurrent.begin(), vecCurrent.end(), wT + L"_x"), 0);
  EXPECT_EQ(std::count(vecCurrent.begin(), vecCurrent.end(), wT + L"_b"), 1);
}

// The link records of a table with real keys: a simple key with its
// actions, a composite key resolved to the keys' names on both sides, a
// key into another database, a CHECK and a column named CONSTRAINT_ID that
// are no keys.
TEST_F(fklinksLive, LinkListOfARealTable) {
  const std::string sP = m_sTable + "_p";
  const std::string sC = m_sTable + "_c";
  ASSERT_TRUE(Run("CREATE TABLE " + m_sOther + ".o (id INT PRIMARY KEY) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("CREATE TABLE " + sP + " (id INT PRIMARY KEY, x INT, y INT, UNIQUE KEY k_xy (x, y)) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("CREATE TABLE " + sC +
                  " (id INT PRIMARY KEY, `CONSTRAINT_ID` INT COMMENT 'no CONSTRAINT here', pid INT, a INT, b INT,"
                  " oid INT, KEY k_ab (a, b),"
                  " CONSTRAINT `fk_p` FOREIGN KEY (pid) REFERENCES " + sP +
                  " (id) ON DELETE CASCADE ON UPDATE SET NULL,"
                  " CONSTRAINT `chk` CHECK (id >= 0),"
                  " CONSTRAINT `fk``xy` FOREIGN KEY (a, b) REFERENCES " + sP +
                  " (x, y) ON DELETE RESTRICT ON UPDATE CASCADE,"
                  " CONSTRAINT `fk_o` FOREIGN KEY (oid) REFERENCES " + m_sOther + ".o (id)) ENGINE=InnoDB"));
  const std::wstring wC = WideFromUTF8(sC);
  const std::wstring wP = WideFromUTF8(sP);
  CAny clList;
  ASSERT_EQ(m_pFace->bGetLinkList(&clList, m_pCnx, wC.c_str(), nullptr, 0x20), 1) << Error();
  // The server writes the constraints in the order of their names.
  const std::wstring sExpected =
      L"fk_o\t" + WideFromUTF8(m_sOther) + L".o\tid\t0,N\t" + wC + L"\toid\t0,1\t2021\t2021\r\n" +
      L"fk_p\t" + wP + L"\tid\t0,N\t" + wC + L"\tpid\t0,1\t2023\t2022\r\n" +
      L"fk`xy\t" + wP + L"\tk_xy\t0,N\t" + wC + L"\tk_ab\t0,1\t2022\t2021";
  EXPECT_EQ(Narrow(Text(clList).c_str()), Narrow(sExpected.c_str()));

  // A table without keys, and a view: nothing, the view's list untouched.
  ASSERT_EQ(m_pFace->bGetLinkList(&clList, m_pCnx, wP.c_str(), nullptr, 0x20), 1) << Error();
  EXPECT_EQ(Text(clList), L"");
  ASSERT_TRUE(Run("CREATE VIEW " + m_sTable + "_v AS SELECT id FROM " + sP));
  CNADriverSQL::s_SetListText(&clList, L"kept", 4);
  ASSERT_EQ(m_pFace->bGetLinkList(&clList, m_pCnx, (WideFromUTF8(m_sTable) + L"_v").c_str(), nullptr, 0x20), 1)
      << Error();
  EXPECT_EQ(Text(clList), L"kept");
}

// The runtime's lock requests: outside a transaction user error 29 at the
// face's table (51.3) or query (51.2) lock; inside one the lock is taken;
// an unknown handle fails with nothing reported.
TEST_F(fklinksLive, LockRequestsNeedATransaction) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + "_b (id INT PRIMARY KEY) ENGINE=InnoDB"));
  CNAConnectionDescription* pclCnx = m_pDriver->_pclGetConnection(&m_host);
  ASSERT_NE(pclCnx, nullptr);
  CNAError* pclError = m_pDriver->pclGetError();
  ASSERT_EQ(pclCnx->bOpen(pclError), 1) << Error();
  const int nHandle = static_cast<int>(pclCnx->nGetCnxNumber());
  const std::wstring sTable = WideFromUTF8(m_sTable) + L"_b";
  const std::wstring sQuery = L"SELECT * FROM " + sTable;

  for (int nSite : {3, 2}) {
    SCOPED_TRACE(nSite);
    pclError->Reset();
    const int bAnswer = nSite == 3 ? m_pFace->bSQLBloqueTable(nHandle, sTable.c_str(), 0)
                                   : m_pFace->bSQLBloqueRequete(nHandle, sQuery.c_str(), 0);
    EXPECT_EQ(bAnswer, 0);
    EXPECT_EQ(pclError->eGetErrorType(), NA_ERRORTYPE_GENERIC);
    EXPECT_EQ(pclError->nGetUserErrorCode(), 29u);
    const std::wstring sDebug = pclError->pclGetXError()->pszGetDebugMessage();
    EXPECT_NE(sDebug.find(L"IEKXMARIA=51." + std::to_wstring(nSite) + L"\r\n"), std::wstring::npos)
        << Narrow(sDebug.c_str());
  }

  ASSERT_EQ(pclCnx->bTransactionBegin(pclError, L"SQLTransaction"), 1) << Error();
  EXPECT_EQ(m_pFace->bSQLBloqueTable(nHandle, sTable.c_str(), 0), 1) << Error();
  EXPECT_EQ(m_pFace->bSQLBloqueRequete(nHandle, sQuery.c_str(), 0), 1) << Error();
  EXPECT_EQ(pclCnx->bTransactionRollBack(pclError, L"SQLTransaction"), 1) << Error();

  pclError->Reset();
  EXPECT_EQ(m_pFace->bSQLBloqueTable(nHandle + 1000, sTable.c_str(), 0), 0);
  EXPECT_EQ(pclError->eGetErrorType(), NA_ERRORTYPE_NONE);
  m_pDriver->nReleaseConnection(pclCnx);
}

}  // namespace
