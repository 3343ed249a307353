// The SQL face on the fixture's server, reached as the SQL runtime reaches
// it (the interface of the driver's piGetInterface(1), integer handles):
// connections of its own, statements and their rows, descriptions of a
// result, the column-type slot's frame, a connection killed under a
// result, transactions (nested under one name) and a close that keeps its
// statements.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLStatementSQL.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CXError.h"
#include "INADataSourceDescription.h"
#include "INADriverSQL.h"
#include "mysql/support/DescribingMySQLDriver.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/SlotCall.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

std::string Text(const CAny& value) {
  const wchar_t* psz = nullptr;
  if (value.nGetPCWSTR(&psz) != ANY_OK || psz == nullptr) return "<not a text>";
  return Narrow(psz);
}

class sqlfaceLive : public kxtest::DriverLiveTest {
 protected:
  sqlfaceLive() : DriverLiveTest("kxsqlface_") {}
  CNADriver* NewDriver() override { return new kxtest::DescribingMySQLDriver(); }

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    m_piFace = static_cast<INADriverSQL*>(m_pDriver->piGetInterface(1));
    ASSERT_NE(m_piFace, nullptr);
  }
  void TearDown() override {
    m_value = CAny();
    if (m_piFace != nullptr) m_piFace->nExternalRelease();
    m_piFace = nullptr;
    DriverLiveTest::TearDown();
  }

  std::string Error() { return Narrow(m_pDriver->pclGetError()->pszGetError()); }
  int Open() {
    int nCnx = 0;
    EXPECT_EQ(m_piFace->bOpenConnection(&nCnx, &m_host), 1) << Error();
    return nCnx;
  }
  // Runs `sql` on handle `cnx`: the answer; *statement the handle.
  int Exec(int cnx, const std::string& sql, int* statement = nullptr) {
    int nStmt = -1;
    const std::wstring s = WideFromUTF8(sql);
    const int nAnswer = m_piFace->bExecute(&nStmt, cnx, s.c_str(), nullptr, 0);
    if (statement != nullptr)
      *statement = nStmt;
    else if (nStmt > 0)
      m_piFace->bFreeStmt(cnx, nStmt, 0);
    return nAnswer;
  }
  // The first value of `sql`'s first row, read through the face ("" when
  // there is none).
  std::string FaceValue(int cnx, const std::string& sql) {
    int nStmt = 0;
    if (!Exec(cnx, sql, &nStmt) || nStmt == 0) return "";
    std::string s;
    if (m_piFace->bFetch(cnx, nStmt, 0) && m_piFace->bGetValue(&m_value, cnx, nStmt, 1, 0)) s = Text(m_value);
    m_piFace->bFreeStmt(cnx, nStmt, 0);
    return s;
  }
  // Whether the server still shows session `id`.
  bool SessionAlive(const std::string& id) {
    return Value("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + id) == "1";
  }
  bool NoError() { return m_pDriver->pclGetError()->eGetErrorType() == NA_ERRORTYPE_NONE; }

  INADriverSQL* m_piFace = nullptr;
  CAny m_value;
};

// Handles: two opens with one description are two server sessions; a
// refused open gives 0 and handle 0 and leaves nothing registered; an
// UPDATE gives (1, 0), a SELECT a handle; the fetch loop ends 0 with no
// error; column 1 is the first, column 0 is refused; a freed handle fails.
// A result is described through slot 46; the column-type slot runs in the
// entry frame (the error reset first).
TEST_F(sqlfaceLive, Handles) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB"));
  ASSERT_TRUE(Run("INSERT INTO " + m_sTable + " VALUES (1, 'one'), (2, 'two')"));
  const std::uint32_t nRegistered = m_pDriver->nGetConnectionCount();
  const int nFirst = Open();
  const int nSecond = Open();
  ASSERT_GT(nFirst, 0);
  ASSERT_NE(nFirst, nSecond);
  const std::string sFirstId = FaceValue(nFirst, "SELECT CONNECTION_ID()");
  const std::string sSecondId = FaceValue(nSecond, "SELECT CONNECTION_ID()");
  EXPECT_FALSE(sFirstId.empty());
  EXPECT_NE(sFirstId, sSecondId) << "each open is a session of its own";

  kxtest::TestHostDescription clWrong = m_host;
  const std::wstring sWrong = L"wrong-" + WideFromUTF8(m_c.password);
  clWrong.pszPassword = sWrong.c_str();
  int nRefused = -1;
  EXPECT_EQ(m_piFace->bOpenConnection(&nRefused, &clWrong), 0);
  EXPECT_EQ(nRefused, 0);
  EXPECT_FALSE(NoError());
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), nRegistered + 2) << "the refused connection left";

  int nStmt = -1;
  EXPECT_EQ(Exec(nFirst, "UPDATE " + m_sTable + " SET name = 'uno' WHERE id = 1", &nStmt), 1) << Error();
  EXPECT_EQ(nStmt, 0);
  ASSERT_EQ(Exec(nFirst, "SELECT id, name FROM " + m_sTable + " ORDER BY id", &nStmt), 1) << Error();
  ASSERT_GT(nStmt, 0);
  int nCount = 0;
  EXPECT_EQ(m_piFace->bGetColumnNbr(&nCount, nFirst, nStmt, 0), 1);
  EXPECT_EQ(nCount, 2);
  EXPECT_EQ(m_piFace->bGetColumnName(&m_value, nFirst, nStmt, 2, 0), 1);
  EXPECT_EQ(m_value.nGetTypeCode() == ANY_PSTRW || m_value.nGetTypeCode() == ANY_DSTRW, true);
  std::string sRows;
  while (m_piFace->bFetch(nFirst, nStmt, 0) == 1) {
    ASSERT_EQ(m_piFace->bGetRow(&m_value, nFirst, nStmt, L"\t", 0, 0), 1) << Error();
    sRows += Text(m_value) + ";";
  }
  EXPECT_EQ(sRows, "1\tuno;2\ttwo;");
  INAError* piError = nullptr;
  ASSERT_EQ(m_piFace->bGetStmtLastError(&piError, nFirst, nStmt), 1);
  EXPECT_EQ(piError->eGetErrorType(), NA_ERRORTYPE_NONE) << "the end of the rows is no error";
  EXPECT_EQ(m_piFace->bFreeStmt(nFirst, nStmt, 0), 1);

  // Column 0 through the face reaches the statement as no column.
  ASSERT_EQ(Exec(nFirst, "SELECT id, name FROM " + m_sTable + " ORDER BY id", &nStmt), 1);
  ASSERT_EQ(m_piFace->bFetch(nFirst, nStmt, 0), 1);
  EXPECT_EQ(m_piFace->bGetValue(&m_value, nFirst, nStmt, 1, 0), 1);
  EXPECT_EQ(Text(m_value), "1");
  EXPECT_EQ(m_piFace->bGetValue(&m_value, nFirst, nStmt, 0, 0), 0);
  EXPECT_EQ(m_pDriver->pclGetError()->nGetUserErrorCode(), 50u);
  EXPECT_EQ(m_piFace->bGetBLOBValue(&m_value, nFirst, nStmt, 0, 0), 0);
  EXPECT_EQ(m_pDriver->pclGetError()->nGetUserErrorCode(), 50u);
  EXPECT_EQ(m_piFace->bGetColumnName(&m_value, nFirst, nStmt, 0, 0), 0);
  EXPECT_EQ(m_pDriver->pclGetError()->nGetUserErrorCode(), 51u);

  // The result's description.
  INADataSourceDescription* piSource = m_piFace->piGetTableDesc(nFirst, nStmt, 0);
  ASSERT_NE(piSource, nullptr) << Error();
  EXPECT_EQ(piSource->nGetNumItems(), 2u);
  EXPECT_EQ(piSource->nExternalRelease(), 0u);
  // The table's description by name.
  const std::wstring wTable = WideFromUTF8(m_sTable);
  piSource = m_piFace->piGetTableDesc(nFirst, wTable.c_str(), 0);
  ASSERT_NE(piSource, nullptr) << Error();
  EXPECT_GE(piSource->nGetNumItems(), 2u);
  piSource->nExternalRelease();

  EXPECT_EQ(m_piFace->bFreeStmt(nFirst, nStmt, 0), 1);
  EXPECT_EQ(m_piFace->bFetch(nFirst, nStmt, 0), 0) << "a freed handle";
  EXPECT_TRUE(NoError());

  // Slot 24 of the MariaDB face: its type list, with the error reset first.
  EXPECT_EQ(m_piFace->bFetch(nFirst, nStmt, 0), 0);
  ASSERT_EQ(Exec(nFirst, "SELECT no_such_column FROM " + m_sTable), 0);
  ASSERT_FALSE(NoError());
  EXPECT_EQ(kxtest::Slot<int>(m_piFace, 24, &m_value, nFirst, 0u), 1);
  EXPECT_NE(Text(m_value).find("\t"), std::string::npos);
  EXPECT_TRUE(NoError()) << "the column-type slot resets the error like every slot";

  // Lists by handle: the tables of the current schema only.
  ASSERT_EQ(m_piFace->bGetTableList(&m_value, nFirst, nullptr, 0x23), 1) << Error();
  EXPECT_NE(Text(m_value).find(m_sTable + "\t" + m_c.database + "\t\tTABLE"), std::string::npos) << Text(m_value);
  ASSERT_EQ(m_piFace->bGetColumnList(&m_value, nFirst, wTable.c_str(), 0), 1) << Error();
  EXPECT_EQ(Text(m_value), "id\r\nname");

  EXPECT_EQ(m_piFace->bCloseConnection(nFirst), 1);
  EXPECT_EQ(m_piFace->bCloseConnection(nSecond), 1);
  EXPECT_EQ(m_pDriver->nGetConnectionCount(), nRegistered);
}

// A close keeps the live statement: its rows read on; after bFreeStmt the
// server no longer shows the session.
TEST_F(sqlfaceLive, CloseWithALiveStatement) {
  const int nCnx = Open();
  const std::string sId = FaceValue(nCnx, "SELECT CONNECTION_ID()");
  ASSERT_FALSE(sId.empty());
  int nStmt = 0;
  ASSERT_EQ(Exec(nCnx, "SELECT seq FROM seq_1_to_3", &nStmt), 1) << Error();
  ASSERT_GT(nStmt, 0);
  EXPECT_EQ(m_piFace->bCloseConnection(nCnx), 1);
  int nRows = 0;
  while (m_piFace->bFetch(nCnx, nStmt, 0) == 1) ++nRows;
  EXPECT_EQ(nRows, 3);
  EXPECT_TRUE(SessionAlive(sId)) << "the statement still holds its connection";
  EXPECT_EQ(m_piFace->bFreeStmt(nCnx, nStmt, 0), 1);
  bool bGone = false;
  // The server ends the session shortly after the client's quit.
  for (int i = 0; i < 50 && !bGone; ++i) {
    bGone = !SessionAlive(sId);
    if (!bGone) usleep(20000);
  }
  EXPECT_TRUE(bGone) << "the connection closed with its last statement";
}

// Reliability: a session killed under a stored result still reads its
// rows; the next text either fails with the server's loss (2006/2013) and
// handle 0 or works again after the reopen. Transactions of the SQL
// runtime, each case on a fresh connection: rollback drops the row, commit
// keeps it, a kill before the commit fails the commit and keeps nothing,
// and two begins nest under one name, each end closing the innermost.
TEST_F(sqlfaceLive, Reliability) {
  ASSERT_TRUE(Run("CREATE TABLE " + m_sTable + " (a INT) ENGINE=InnoDB"));
  const std::string sInsert = "INSERT INTO " + m_sTable + " VALUES ";

  {
    SCOPED_TRACE("kill under a large result");
    const int nCnx = Open();
    const std::string sId = FaceValue(nCnx, "SELECT CONNECTION_ID()");
    int nStmt = 0;
    ASSERT_EQ(Exec(nCnx, "SELECT seq, REPEAT('x', 100) FROM seq_1_to_20000", &nStmt), 1) << Error();
    ASSERT_TRUE(Run("KILL " + sId));
    int nRows = 0;
    while (m_piFace->bFetch(nCnx, nStmt, 0) == 1) ++nRows;
    EXPECT_EQ(nRows, 20000) << "the rows are on the client";
    INAError* piError = nullptr;
    ASSERT_EQ(m_piFace->bGetStmtLastError(&piError, nCnx, nStmt), 1);
    EXPECT_EQ(piError->eGetErrorType(), NA_ERRORTYPE_NONE);
    m_piFace->bFreeStmt(nCnx, nStmt, 0);
    int nNext = -1;
    const int nAnswer = Exec(nCnx, "SELECT 1", &nNext);
    if (nAnswer == 0) {
      EXPECT_EQ(nNext, 0);
      const std::uint32_t nCode = m_pDriver->pclGetError()->dwGetDataBaseErrorCode();
      EXPECT_TRUE(nCode == CMySQLStatementSQL::knErrServerGone || nCode == 2013u) << Error();
    } else {
      EXPECT_GT(nNext, 0) << "reopened outside a transaction";
      m_piFace->bFreeStmt(nCnx, nNext, 0);
    }
    EXPECT_EQ(m_piFace->bCloseConnection(nCnx), 1);
  }

  enum Step { Begin, Insert1, Insert2, Commit, Rollback, Kill, CommitFails };
  const struct {
    const char* pszWhat;
    std::vector<Step> steps;
    const char* pszRows;
  } cases[] = {
      {"begin insert rollback", {Begin, Insert1, Rollback}, ""},
      {"begin insert commit", {Begin, Insert1, Commit}, "1"},
      {"begin insert kill commit", {Begin, Insert1, Kill, CommitFails}, ""},
      {"nested: the rollback ends the inner one", {Begin, Insert1, Begin, Insert2, Rollback, Commit}, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszWhat);
    ASSERT_TRUE(Run("DELETE FROM " + m_sTable));
    const int nCnx = Open();
    const std::string sId = FaceValue(nCnx, "SELECT CONNECTION_ID()");
    for (const Step e : c.steps) {
      switch (e) {
        case Begin: EXPECT_EQ(m_piFace->bTrsBegin(nullptr, nCnx, 0), 1) << Error(); break;
        case Insert1: EXPECT_EQ(Exec(nCnx, sInsert + "(1)"), 1) << Error(); break;
        case Insert2: EXPECT_EQ(Exec(nCnx, sInsert + "(2)"), 1) << Error(); break;
        case Commit: EXPECT_EQ(m_piFace->bTrsCommit(nCnx, 0, 0), 1) << Error(); break;
        case Rollback: EXPECT_EQ(m_piFace->bTrsRollBack(nCnx, 0, 0), 1) << Error(); break;
        case Kill: ASSERT_TRUE(Run("KILL " + sId)); break;
        case CommitFails: EXPECT_EQ(m_piFace->bTrsCommit(nCnx, 0, 0), 0); break;
      }
    }
    EXPECT_EQ(Value("SELECT IFNULL(GROUP_CONCAT(a ORDER BY a), '') FROM " + m_sTable), c.pszRows);
    EXPECT_EQ(m_piFace->bCloseConnection(nCnx), 1);
  }
}

}  // namespace
