// The MariaDB driver-level statement when the server drops its connection
// (killed from the test's own session, after which the client answers
// 2006): inside a transaction the connection is not reopened behind the
// transaction's back; outside one it is, to tell whether the text was
// longer than the server's max_allowed_packet.
#include <gtest/gtest.h>

#include <string>

#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAError.h"
#include "CXError.h"
#include "mysql/mysqlstmt_support.h"
#include "mysql/support/MariaDbLiveTest.h"

namespace {

using kxtest::ErrorText;
using kxtest::Raw;

class mysqlstmtLost : public kxtest::StatementLiveTest {
 protected:
  mysqlstmtLost() : StatementLiveTest("kxstmtlost_") {}
  bool Exec(const std::string& sql) {
    return m_pSt->bExecuteDirect(sql.c_str(), NA_WRITEPARSE_NONE) == 1;
  }
  // Runs `sql` on the killed session until the client answers "gone away"
  // (the first text after the kill may be refused as lost during the
  // query, 2013; the next one finds the connection gone, 2006). True when
  // 2006 came; the error object then holds that failure only.
  bool FailUntilGone(const std::string& sql) {
    for (int i = 0; i < 2; ++i) {
      m_pError->Reset();
      if (Exec(sql)) return false;
      if (m_pError->dwGetDataBaseErrorCode() == CMySQLStatementSQL::knErrServerGone) return true;
    }
    return false;
  }
  // Kills the library's session from the test's own.
  void KillSession() {
    ASSERT_TRUE(Exec("SELECT CONNECTION_ID()")) << ErrorText(m_pError);
    ASSERT_EQ(m_pSt->bFetch(0), 1);
    const std::string sId = Raw(m_pSt, 0).value_or("");
    m_pSt->bReset();
    ASSERT_FALSE(sId.empty());
    Run("KILL " + sId);
  }
};

// Begin, insert 1, the connection killed, a statement fails (2006), insert
// 2, commit. The server rolled row 1 back with the connection; reopening
// quietly would let row 2 autocommit and the commit succeed. The connection
// stays broken instead: insert 2 and the commit fail, and no row is there.
TEST_F(mysqlstmtLost, LostConnectionInsideATransactionIsNotReopened) {
  Run("CREATE TABLE " + m_sTable + " (a INT) ENGINE=InnoDB");
  ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, L"t"), 1) << ErrorText(m_pError);
  ASSERT_TRUE(Exec("INSERT INTO " + m_sTable + " VALUES (1)")) << ErrorText(m_pError);
  KillSession();
  ASSERT_TRUE(FailUntilGone("SELECT 1")) << ErrorText(m_pError);
  EXPECT_NE(m_pError->pclGetXError()->nGetUserErrorCode(), CMySQLStatementSQL::knErrQueryTooLong);
  m_pError->Reset();
  EXPECT_FALSE(Exec("INSERT INTO " + m_sTable + " VALUES (2)"));
  EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), CMySQLStatementSQL::knErrServerGone)
      << ErrorText(m_pError);
  m_pError->Reset();
  EXPECT_EQ(m_pCnx->bTransactionCommit(m_pError, L"t"), 0);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable), "0");
}

// Outside a transaction the lost connection is reopened to ask the server
// for max_allowed_packet: a text longer than it is reported first as user
// error 760101 (with the server's code kept), a shorter one only as the
// server's error. The connection works again afterwards.
TEST_F(mysqlstmtLost, LostConnectionTellsATextLongerThanThePacket) {
  const long nPacket = std::stol(Value("SELECT @@global.max_allowed_packet"));
  ASSERT_GT(nPacket, 0);
  KillSession();
  ASSERT_TRUE(FailUntilGone("SELECT 1")) << ErrorText(m_pError);
  EXPECT_NE(m_pError->pclGetXError()->nGetUserErrorCode(), CMySQLStatementSQL::knErrQueryTooLong)
      << ErrorText(m_pError);
  m_pError->Reset();
  ASSERT_TRUE(Exec("SELECT 2")) << ErrorText(m_pError);

  KillSession();
  const std::string sLong = "SELECT '" + std::string(static_cast<std::size_t>(nPacket) + 1024, 'x') + "'";
  ASSERT_TRUE(FailUntilGone(sLong)) << ErrorText(m_pError).substr(0, 400);
  EXPECT_EQ(m_pError->pclGetXError()->nGetUserErrorCode(), CMySQLStatementSQL::knErrQueryTooLong)
      << ErrorText(m_pError);
  EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), CMySQLStatementSQL::knErrServerGone);
  EXPECT_NE(ErrorText(m_pError).find(std::to_string(nPacket)), std::string::npos)
      << ErrorText(m_pError).substr(0, 400);
  m_pError->Reset();
  ASSERT_TRUE(Exec("SELECT 3")) << ErrorText(m_pError);
  ASSERT_EQ(m_pSt->bFetch(0), 1);
  EXPECT_EQ(Raw(m_pSt, 0), std::string("3"));
}

}  // namespace
