// Transactions of a connection against the fixture's server: the test
// connection's statements run on a real session, so what a sequence of
// begins, commits and rollbacks leaves in a table is what the server made of
// the texts sent.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CNAError.h"
#include "CNAStatementSQL.h"
#include "MariaDbClient.h"
#include "TestSupport.h"
#include "support/RecordingStatement.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

const char kTable[] = "kx_transaction_live";

// The texts of this test are plain ASCII.
std::string Narrow(const wchar_t* text) {
  std::string s;
  for (const wchar_t* p = text; p != nullptr && *p != 0; ++p) s += static_cast<char>(*p);
  return s;
}

// A driver-level statement on the test's session: every text runs there and
// is logged; a refused text is remembered with the server's message.
struct Session {
  kxtest::MariaDbClient* pclClient = nullptr;
  void* pMysql = nullptr;
  std::vector<std::string> vecTexts;
  std::vector<std::string> vecFailures;
};

class SessionStatement : public CNAStatementSQL {
 public:
  explicit SessionStatement(Session* session) : m_pstSession(session) {}
  int bExecuteDirect(const wchar_t* text, CTabValParser* /*parameters*/,
                     NA_WRITEPARSEFLAGS /*flags*/) override {
    const std::string sText = Narrow(text);
    m_pstSession->vecTexts.push_back(sText);
    std::string failure;
    if (m_pstSession->pclClient->Execute(m_pstSession->pMysql, sText, failure)) return 1;
    m_pstSession->vecFailures.push_back(sText + ": " + failure);
    return 0;
  }

 private:
  Session* m_pstSession;
};

enum class Op { Begin, Insert, Commit, RollBack };

struct Step {
  Op eOp;
  const wchar_t* pszName;  // the transaction's name
  int nValue;              // the row an insert adds
};

struct LiveCase {
  const char* pszLabel;
  std::vector<Step> vecSteps;
  std::vector<std::string> vecRowsLeft;
};

class transactionLive : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string failure;
    ASSERT_TRUE(kxtest::ReadMariaDbConnection(m_connection, failure)) << failure;
    ASSERT_TRUE(m_client.bLoaded()) << m_client.LoadError();
    m_session.pclClient = &m_client;
    m_session.pMysql = m_client.Connect(m_connection, failure);
    ASSERT_NE(nullptr, m_session.pMysql) << failure;
    ASSERT_TRUE(m_client.Execute(m_session.pMysql,
                                 std::string("CREATE OR REPLACE TABLE ") + kTable +
                                     " (n INT NOT NULL) ENGINE=InnoDB",
                                 failure))
        << failure;
    Session* pstSession = &m_session;
    m_pclScope = std::make_unique<kxtest::RecordingStatementScope>(&m_script);
    m_pclScope->pclGetDriver()->fnStatementMaker = [pstSession](CNAConnectionDescription*,
                                                                CNAError*) -> CNAStatementSQL* {
      return new SessionStatement(pstSession);
    };
  }

  void TearDown() override {
    m_pclScope.reset();
    if (m_session.pMysql != nullptr) {
      std::string failure;
      m_client.Execute(m_session.pMysql, std::string("DROP TABLE IF EXISTS ") + kTable, failure);
      m_client.Close(m_session.pMysql);
    }
  }

  // The table's rows, read at once on the same session.
  std::vector<std::string> RowsLeft() {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    std::vector<std::string> rows;
    EXPECT_TRUE(m_client.Query(m_session.pMysql,
                               std::string("SELECT n FROM ") + kTable + " ORDER BY n", result,
                               failure))
        << failure;
    for (const auto& row : result.rows) rows.push_back(row[0].value_or("NULL"));
    return rows;
  }

  // Runs the steps through the connection; every operation must succeed.
  void Run(kxtest::TestConnection& cnx, const std::vector<Step>& steps) {
    CNAError error;
    int nStep = 0;
    for (const Step& step : steps) {
      ++nStep;
      int bResult = 0;
      switch (step.eOp) {
        case Op::Begin: bResult = cnx.bTransactionBegin(&error, step.pszName); break;
        case Op::Commit: bResult = cnx.bTransactionCommit(&error, step.pszName); break;
        case Op::RollBack: bResult = cnx.bTransactionRollBack(&error, step.pszName); break;
        case Op::Insert: {
          const std::string sText =
              std::string("INSERT INTO ") + kTable + " VALUES (" + std::to_string(step.nValue) + ")";
          const std::wstring sWide(sText.begin(), sText.end());
          bResult = cnx.bExecuteQueryNoResult(&error, sWide.c_str());
          break;
        }
      }
      EXPECT_TRUE(bResult) << "step " << nStep << ": " << error.pszGetError();
    }
  }

  kxtest::MariaDbConnection m_connection;
  kxtest::MariaDbClient m_client;
  Session m_session;
  // The process driver whose SQL face runs statements on the session.
  kxtest::StatementScript m_script;
  std::unique_ptr<kxtest::RecordingStatementScope> m_pclScope;
};

const Op B = Op::Begin;
const Op I = Op::Insert;
const Op C = Op::Commit;
const Op R = Op::RollBack;

TEST_F(transactionLive, NestedSequencesLeaveWhatTheOuterDecides) {
  const LiveCase cases[] = {
      {"rollback B, rollback A",
       {{B, L"A", 0}, {I, nullptr, 1}, {B, L"B", 0}, {I, nullptr, 2}, {R, L"B", 0}, {R, L"A", 0}},
       {}},
      {"commit B, rollback A",
       {{B, L"A", 0}, {I, nullptr, 1}, {B, L"B", 0}, {I, nullptr, 2}, {C, L"B", 0}, {R, L"A", 0}},
       {}},
      {"rollback B, commit A",
       {{B, L"A", 0}, {I, nullptr, 1}, {B, L"B", 0}, {I, nullptr, 2}, {R, L"B", 0}, {C, L"A", 0}},
       {"1"}},
      {"commit B, commit A",
       {{B, L"A", 0}, {I, nullptr, 1}, {B, L"B", 0}, {I, nullptr, 2}, {C, L"B", 0}, {C, L"A", 0}},
       {"1", "2"}},
  };
  for (const LiveCase& c : cases) {
    SCOPED_TRACE(c.pszLabel);
    std::string failure;
    ASSERT_TRUE(m_client.Execute(m_session.pMysql, std::string("DELETE FROM ") + kTable, failure))
        << failure;
    {
      kxtest::TestConnection cnx;
      cnx.AddRef();
      Run(cnx, c.vecSteps);
      EXPECT_FALSE(cnx._bTransactionOpened());
    }
    EXPECT_EQ(c.vecRowsLeft, RowsLeft());
  }
  EXPECT_TRUE(m_session.vecFailures.empty()) << m_session.vecFailures.front();
}

TEST_F(transactionLive, NamedRollbackOfTheOuterUndoesEverything) {
  kxtest::TestConnection cnx;
  cnx.AddRef();
  Run(cnx, {{B, L"A", 0}, {I, nullptr, 1}, {B, L"B", 0}, {I, nullptr, 2}, {R, L"A", 0}});
  EXPECT_FALSE(cnx._bTransactionOpened());
  EXPECT_EQ(std::vector<std::string>{}, RowsLeft());
  // Nothing is pending any more: a rollback now finds no active transaction
  // to undo, and the session is back in autocommit.
  Run(cnx, {{I, nullptr, 3}, {R, nullptr, 0}});
  EXPECT_EQ(std::vector<std::string>{"3"}, RowsLeft());
  EXPECT_TRUE(m_session.vecFailures.empty()) << m_session.vecFailures.front();
}

// Why nested begins send savepoints: the server commits the open
// transaction at a second BEGIN, so the plain texts keep rows the caller
// rolled back.
TEST_F(transactionLive, PlainNestedBeginsWouldKeepRolledBackRows) {
  const std::string sInsert1 = std::string("INSERT INTO ") + kTable + " VALUES (1)";
  const std::string sInsert2 = std::string("INSERT INTO ") + kTable + " VALUES (2)";
  const struct {
    std::vector<std::string> vecTexts;
    std::vector<std::string> vecRowsLeft;
  } cases[] = {
      {{"BEGIN", sInsert1, "BEGIN", sInsert2, "ROLLBACK", "ROLLBACK"}, {"1"}},
      {{"BEGIN", sInsert1, "BEGIN", sInsert2, "COMMIT", "ROLLBACK"}, {"1", "2"}},
  };
  for (const auto& c : cases) {
    std::string failure;
    ASSERT_TRUE(m_client.Execute(m_session.pMysql, std::string("DELETE FROM ") + kTable, failure))
        << failure;
    for (const std::string& sText : c.vecTexts) {
      ASSERT_TRUE(m_client.Execute(m_session.pMysql, sText, failure)) << sText << ": " << failure;
    }
    EXPECT_EQ(c.vecRowsLeft, RowsLeft());
  }
}

}  // namespace
