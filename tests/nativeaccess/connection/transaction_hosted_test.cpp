// Transactions of a connection as operation sequences, checked against the
// texts the connection sends; the dialect answers by data-source kind; the
// simple statements that run on a driver-level statement.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAError.h"
#include "CNATransaction.h"
#include "CXError.h"
#include "support/RecordingStatement.h"
#include "support/TestConnection.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

using kxtest::RecordingStatementScope;
using kxtest::StatementScript;
using kxtest::TestConnection;
using Texts = std::vector<std::wstring>;

const std::wstring kSp1 = L"`KXSAVEPOINT1`";
const std::wstring kSp2 = L"`KXSAVEPOINT2`";

std::uint32_t nNativeCode(CNAError& clError) {
  void* pValue = nullptr;
  if (!clError.pclGetXError()->bGetInfo(EIT_NATIVECODE, &pValue)) return 0;
  std::uint32_t n = 0;
  std::memcpy(&n, &pValue, sizeof n);
  return n;
}

// ---- Operation sequences ---------------------------------------------------

enum class Op { Begin, Commit, RollBack };

struct Step {
  Op eOp;
  const wchar_t* pszName;  // null: no name
  int bExpected;           // the operation's result
  int bOpenedAfter;        // _bTransactionOpened() after the step
};

struct Sequence {
  const char* pszLabel;
  int nKind;
  int bNesting;
  std::size_t nFailingText;  // 1-based number of the text that fails; 0: none
  std::vector<Step> vecSteps;
  Texts vecTexts;
  std::uint32_t nUserError;  // user error of the error object; 0: none
};

std::ostream& operator<<(std::ostream& os, const Sequence& s) { return os << s.pszLabel; }

class transactionSequence : public ::testing::TestWithParam<Sequence> {};

TEST_P(transactionSequence, SendsTheExpectedTexts) {
  const Sequence& s = GetParam();
  StatementScript script;
  if (s.nFailingText != 0) script.setFailing.insert(s.nFailingText);
  RecordingStatementScope scope(&script);
  CNAError error;
  {
    TestConnection cnx;
    cnx.AddRef();
    cnx.SetKind(s.nKind);
    cnx.SetNesting(s.bNesting);
    int nStep = 0;
    for (const Step& step : s.vecSteps) {
      ++nStep;
      int bResult = 0;
      switch (step.eOp) {
        case Op::Begin: bResult = cnx.bTransactionBegin(&error, step.pszName); break;
        case Op::Commit: bResult = cnx.bTransactionCommit(&error, step.pszName); break;
        case Op::RollBack: bResult = cnx.bTransactionRollBack(&error, step.pszName); break;
      }
      EXPECT_EQ(step.bExpected, bResult) << "step " << nStep;
      EXPECT_EQ(step.bOpenedAfter, cnx._bTransactionOpened()) << "step " << nStep;
    }
    cnx._CloseTransactions();
  }
  EXPECT_EQ(s.vecTexts, script.vecTexts);
  EXPECT_EQ(0, script.nAlive) << "every statement is given back";
  if (s.nUserError == 0) {
    EXPECT_EQ(NA_ERRORTYPE_NONE, error.eGetErrorType()) << error.pszGetError();
  } else {
    EXPECT_EQ(NA_ERRORTYPE_GENERIC, error.eGetErrorType());
    EXPECT_EQ(s.nUserError, error.pclGetXError()->nGetUserErrorCode());
  }
}

const Op B = Op::Begin;
const Op C = Op::Commit;
const Op R = Op::RollBack;

INSTANTIATE_TEST_SUITE_P(
    transaction, transactionSequence,
    ::testing::Values(
        // Nested commits without a name end the innermost first.
        Sequence{"commit_innermost_first", 5, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {C, nullptr, 1, 1}, {C, nullptr, 1, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"RELEASE SAVEPOINT " + kSp1, L"COMMIT"}, 0},
        // A nested begin must not send BEGIN: the server would commit A.
        Sequence{"nested_rollbacks_use_a_savepoint", 5, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {R, L"B", 1, 1}, {R, L"A", 1, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"ROLLBACK TO SAVEPOINT " + kSp1, L"ROLLBACK"},
                 0},
        Sequence{"commit_b_then_rollback_a", 5, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {C, L"B", 1, 1}, {R, L"A", 1, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"RELEASE SAVEPOINT " + kSp1, L"ROLLBACK"}, 0},
        Sequence{"named_commit_of_a_with_b_active", 5, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {C, L"a", 0, 1}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1}, 10},
        // Rolling A back rolls back B and A; literally A stayed active.
        Sequence{"named_rollback_of_a_with_b_active", 5, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {R, L"A", 1, 0}, {C, nullptr, 1, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"ROLLBACK TO SAVEPOINT " + kSp1, L"ROLLBACK",
                  L"COMMIT"},
                 0},
        Sequence{"rollback_of_an_unknown_name", 5, 1, 0,
                 {{B, L"A", 1, 1}, {R, L"X", 0, 1}}, {L"BEGIN"}, 9},
        Sequence{"commit_of_an_unknown_name_is_false_without_error", 5, 1, 0,
                 {{B, L"A", 1, 1}, {C, L"X", 0, 1}}, {L"BEGIN"}, 0},
        // Depth gives the savepoint; the inactive third object is reused.
        Sequence{"three_levels_and_reuse", 5, 1, 0,
                 {{B, L"A", 1, 1},
                  {B, L"B", 1, 1},
                  {B, L"C", 1, 1},
                  {C, nullptr, 1, 1},
                  {B, L"D", 1, 1},
                  {R, L"A", 1, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"SAVEPOINT " + kSp2,
                  L"RELEASE SAVEPOINT " + kSp2, L"SAVEPOINT " + kSp2,
                  L"ROLLBACK TO SAVEPOINT " + kSp2, L"ROLLBACK TO SAVEPOINT " + kSp1, L"ROLLBACK"},
                 0},
        // The caller's name never reaches the server.
        Sequence{"names_are_not_sent", 5, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"x`; DROP TABLE t; --", 1, 1}, {R, nullptr, 1, 1}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"ROLLBACK TO SAVEPOINT " + kSp1}, 0},
        // Other kinds keep the hooks.
        Sequence{"other_kinds_keep_the_hooks", 2, 1, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {R, L"B", 1, 1}, {C, L"A", 1, 0}},
                 {L"BEGIN", L"BEGIN", L"ROLLBACK", L"COMMIT"}, 0},
        // Counted begins reach the server once each way.
        Sequence{"counting_mode", 5, 0, 0,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {C, nullptr, 1, 1}, {C, nullptr, 1, 0}},
                 {L"BEGIN", L"COMMIT"}, 0},
        Sequence{"commit_without_transaction", 5, 1, 0, {{C, nullptr, 0, 0}}, {}, 9},
        Sequence{"rollback_without_transaction", 5, 1, 0, {{R, L"A", 0, 0}}, {}, 9},
        // A failed hook: begin leaves the object inactive, commit and
        // rollback clear the flag all the same.
        Sequence{"failing_begin", 5, 1, 1, {{B, L"A", 0, 0}, {B, L"A", 1, 1}},
                 {L"BEGIN", L"BEGIN"}, 0},
        Sequence{"failing_savepoint_keeps_the_outer", 5, 1, 2,
                 {{B, L"A", 1, 1}, {B, L"B", 0, 1}, {C, nullptr, 1, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"COMMIT"}, 0},
        Sequence{"failing_commit_clears_the_flag", 5, 1, 2,
                 {{B, L"A", 1, 1}, {C, nullptr, 0, 0}, {R, nullptr, 1, 0}},
                 {L"BEGIN", L"COMMIT"}, 0},
        // bRollBackAll: false when either part fails, both parts run.
        Sequence{"failing_part_of_a_named_rollback", 5, 1, 3,
                 {{B, L"A", 1, 1}, {B, L"B", 1, 1}, {R, L"A", 0, 0}},
                 {L"BEGIN", L"SAVEPOINT " + kSp1, L"ROLLBACK TO SAVEPOINT " + kSp1, L"ROLLBACK"},
                 0}),
    [](const ::testing::TestParamInfo<Sequence>& info) { return std::string(info.param.pszLabel); });

// ---- Errors ----------------------------------------------------------------

class transactionErrors : public ::testing::Test {
 protected:
  void SetUp() override { m_cnx.AddRef(); }
  void TearDown() override { m_cnx._CloseTransactions(); }
  StatementScript m_script;
  RecordingStatementScope m_scope{&m_script};
  TestConnection m_cnx;
};

TEST_F(transactionErrors, NamedCommitBlockedByNestedIsError10WithBothNames) {
  CNAError error;
  ASSERT_TRUE(m_cnx.bTransactionBegin(&error, L"Outer"));
  ASSERT_TRUE(m_cnx.bTransactionBegin(&error, L"Inner"));
  EXPECT_FALSE(m_cnx.bTransactionCommit(&error, L"OUTER"));
  EXPECT_EQ(10u, error.pclGetXError()->nGetUserErrorCode());
  EXPECT_EQ(10u, nNativeCode(error));
  const std::wstring sText = error.pszGetError();
  EXPECT_NE(std::wstring::npos, sText.find(L"OUTER")) << sText;
  EXPECT_NE(std::wstring::npos, sText.find(L"Inner")) << sText;
  EXPECT_NE(std::wstring::npos, sText.find(L"IEKXMARIA=2.1")) << sText;
  CNATransaction* pclOuter = m_cnx.m_pclCurrentTransaction;
  EXPECT_TRUE(pclOuter->bIsActive());
  EXPECT_TRUE(pclOuter->pclGetNested()->bIsActive());
}

TEST_F(transactionErrors, UnknownRollbackIsError9WithTheName) {
  CNAError error;
  ASSERT_TRUE(m_cnx.bTransactionBegin(&error, L"A"));
  EXPECT_FALSE(m_cnx.bTransactionRollBack(&error, L"Nowhere"));
  EXPECT_EQ(9u, error.pclGetXError()->nGetUserErrorCode());
  EXPECT_EQ(9u, nNativeCode(error));
  const std::wstring sText = error.pszGetError();
  EXPECT_NE(std::wstring::npos, sText.find(L"IEKXMARIA=2.2")) << sText;
  EXPECT_TRUE(m_cnx._bTransactionOpened());
}

TEST_F(transactionErrors, RefusalsWithoutErrorObjectAreStillFalse) {
  EXPECT_FALSE(m_cnx.bTransactionCommit(nullptr, L"A"));
  ASSERT_TRUE(m_cnx.bTransactionBegin(nullptr, L"A"));
  ASSERT_TRUE(m_cnx.bTransactionBegin(nullptr, L"B"));
  EXPECT_FALSE(m_cnx.bTransactionCommit(nullptr, L"A"));
  EXPECT_FALSE(m_cnx.bTransactionRollBack(nullptr, L"Z"));
  EXPECT_EQ((Texts{L"BEGIN", L"SAVEPOINT " + kSp1}), m_script.vecTexts);
}

TEST_F(transactionErrors, ClosedConnectionBeginsNothing) {
  CNAError error;
  m_cnx.m_bOpenAnswer = 0;
  EXPECT_FALSE(m_cnx.bTransactionBegin(&error, L"A"));
  EXPECT_EQ(nullptr, m_cnx.m_pclCurrentTransaction);
  EXPECT_TRUE(m_script.vecTexts.empty());
}

TEST_F(transactionErrors, NoStatementMeansFalse) {
  m_script.bNoStatement = true;
  EXPECT_FALSE(m_cnx.bTransactionBegin(nullptr, L"A"));
  EXPECT_FALSE(m_cnx._bTransactionOpened());
}

// A connection that runs out of memory for its n-th transaction object.
class ShortConnection : public TestConnection {
 public:
  CNATransaction* pclAllocTransaction() override {
    return ++m_nCalls == m_nFailingCall ? nullptr : TestConnection::pclAllocTransaction();
  }
  int m_nCalls = 0;
  int m_nFailingCall = 1;
};

TEST(transactionMemory, NoTransactionObjectIsAMemoryShortage) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  for (int nFailing : {1, 2}) {
    SCOPED_TRACE(nFailing);
    ShortConnection cnx;
    cnx.AddRef();
    cnx.m_nFailingCall = nFailing;
    CNAError error;
    if (nFailing == 2) {
      ASSERT_TRUE(cnx.bTransactionBegin(&error, L"A"));
    }
    EXPECT_FALSE(cnx.bTransactionBegin(&error, L"B"));
    EXPECT_EQ(12u, error.pclGetXError()->dwGetSystemErrorCode());
    EXPECT_EQ(nFailing == 2 ? 1 : 0, cnx._bTransactionOpened());
    // Without an error object the shortage is still a plain false.
    cnx._CloseTransactions();
    cnx.m_nCalls = 0;
    cnx.m_nFailingCall = 1;
    EXPECT_FALSE(cnx.bTransactionBegin(nullptr, L"C"));
  }
}

// ---- Connection state around transactions -----------------------------------

TEST(transactionState, AutoCloseIsOffWhileATransactionIsActive) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestConnection cnx;
  cnx.AddRef();
  EXPECT_TRUE(cnx.bAutoCloseEnabled());
  ASSERT_TRUE(cnx.bTransactionBegin(nullptr, L"A"));
  EXPECT_FALSE(cnx.bAutoCloseEnabled());
  ASSERT_TRUE(cnx.bTransactionCommit(nullptr, nullptr));
  EXPECT_TRUE(cnx.bAutoCloseEnabled()) << "an inactive object does not count";
  cnx.m_bAutoCloseEnabled = 0;
  EXPECT_FALSE(cnx.bAutoCloseEnabled());
  cnx._CloseTransactions();
}

TEST(transactionState, ResumeAndActivateAnswerTrue) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestConnection cnx;
  cnx.AddRef();
  EXPECT_TRUE(cnx.bResumeCurrentTransaction(nullptr));
  EXPECT_TRUE(cnx.bActiveCurrentTransaction(nullptr, 1));
  ASSERT_TRUE(cnx.bTransactionBegin(nullptr, L"A"));
  EXPECT_TRUE(cnx.bResumeCurrentTransaction(nullptr));
  EXPECT_TRUE(cnx.bActiveCurrentTransaction(nullptr, 0));
  EXPECT_EQ(Texts{L"BEGIN"}, script.vecTexts);
  cnx._CloseTransactions();
}

TEST(transactionState, DestroyingAnActiveChainSendsNothing) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  {
    TestConnection cnx;
    cnx.AddRef();
    ASSERT_TRUE(cnx.bTransactionBegin(nullptr, L"A"));
    ASSERT_TRUE(cnx.bTransactionBegin(nullptr, L"B"));
  }
  EXPECT_EQ((Texts{L"BEGIN", L"SAVEPOINT " + kSp1}), script.vecTexts);
}

TEST(transactionState, RollBackOfAnInactiveObjectSendsNothing) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestConnection cnx;
  cnx.AddRef();
  CNATransaction* pclTransaction = cnx.pclAllocTransaction();
  pclTransaction->AddRef();
  EXPECT_TRUE(pclTransaction->_bRollBack(nullptr));
  EXPECT_TRUE(pclTransaction->bRollBackAll(nullptr));
  EXPECT_TRUE(script.vecTexts.empty());
  pclTransaction->nRelease();
}

// ---- Dialect answers by kind -------------------------------------------------

struct KindRow {
  int nKind;
  int bSubQuery;
  int bLimitOrTop;
  int bTreat0000;
  int nVarCharMax;
  int nNVarCharMax;
  int nOrderByMax;
  const wchar_t* pszVarChar;
  const wchar_t* pszNVarChar;
  const wchar_t* pszCLOB;   // before the server version is known
  const wchar_t* pszNCLOB;  // before the server version is known
};

TEST(cnxdescKinds, AnswersForEveryKind) {
  const KindRow rows[] = {
      {0, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {1, 1, 1, 0, 4000, 2000, INT_MAX, L"VARCHAR2", L"NVARCHAR2", L"CLOB", L"NCLOB"},
      {2, 1, 1, 1, 8000, 4000, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {3, 0, 1, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {4, 1, 0, 0, -1, -1, 31, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {5, 0, 1, 0, 255, 255, INT_MAX, L"VARCHAR", L"NVARCHAR", L"LONGBLOB", L"LONGBLOB"},
      {6, 0, 1, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {7, 1, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {8, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {9, 1, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {10, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {11, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {12, 1, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {13, 1, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {14, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      // Outside the table: its default.
      {15, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
      {-1, 0, 0, 0, -1, -1, INT_MAX, L"VARCHAR", L"NVARCHAR", L"CLOB", L"NCLOB"},
  };
  TestConnection cnx;
  cnx.AddRef();
  ASSERT_EQ(-1, cnx.m_nServerMajor);
  for (const KindRow& r : rows) {
    SCOPED_TRACE(r.nKind);
    cnx.SetKind(r.nKind);
    EXPECT_EQ(r.bSubQuery, cnx.bSupportSubQuery());
    EXPECT_EQ(r.bLimitOrTop, cnx.bSupportLimitOrTop());
    EXPECT_EQ(r.bTreat0000, cnx.bTreat0000DateAsNULL());
    EXPECT_EQ(r.nVarCharMax, cnx.nGetVarCharMaxLen());
    EXPECT_EQ(r.nNVarCharMax, cnx.nGetNVarCharMaxLen());
    EXPECT_EQ(r.nOrderByMax, cnx.nGetOrderByMaxExpressionNbr());
    EXPECT_STREQ(r.pszVarChar, cnx.pszGetVarCharType());
    EXPECT_STREQ(r.pszNVarChar, cnx.pszGetNVarCharType());
    EXPECT_STREQ(r.pszCLOB, cnx.pszGetCLOBType());
    EXPECT_STREQ(r.pszNCLOB, cnx.pszGetNCLOBType());
  }
}

TEST(cnxdescKinds, LargeTextTypesFollowTheServerVersion) {
  struct {
    int nKind;
    int nMajor, nMinor, nRelease;
    const wchar_t* pszCLOB;
    const wchar_t* pszNCLOB;
  } const rows[] = {
      {5, 3, 23, 58, L"LONGBLOB", L"LONGBLOB"},
      {5, 4, 1, 22, L"LONGTEXT", L"LONGTEXT CHARACTER SET ucs2"},
      {5, 5, 5, 2, L"LONGTEXT", L"LONGTEXT CHARACTER SET ucs2"},
      // utf8mb4, the set of the Unicode sessions, from 5.5.3 on.
      {5, 5, 5, 3, L"LONGTEXT", L"LONGTEXT CHARACTER SET utf8mb4"},
      {5, 10, 0, 0, L"LONGTEXT", L"LONGTEXT CHARACTER SET utf8mb4"},
      {2, 10, 0, 0, L"CLOB", L"NCLOB"},
  };
  TestConnection cnx;
  cnx.AddRef();
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.nMajor) + "." + std::to_string(r.nMinor) + "." + std::to_string(r.nRelease));
    cnx.SetKind(r.nKind);
    cnx.m_nServerMajor = r.nMajor;
    cnx.m_nServerMinor = r.nMinor;
    cnx.m_nServerRelease = r.nRelease;
    EXPECT_STREQ(r.pszCLOB, cnx.pszGetCLOBType());
    EXPECT_STREQ(r.pszNCLOB, cnx.pszGetNCLOBType());
  }
}

TEST(cnxdescKinds, GenericAnswersOfTheVirtualOperations) {
  TestConnection cnx;
  cnx.AddRef();
  EXPECT_FALSE(cnx.bSupportOrderByMemo());
  EXPECT_TRUE(cnx.bOrderByIndiceAllowed());
  EXPECT_FALSE(cnx.bTransactionEndCloseParse());
  EXPECT_TRUE(cnx.bTreatEmptyDateAsNULL());
  EXPECT_FALSE(cnx.bSupportItemTime());
  EXPECT_FALSE(cnx.bSupportItemDate());
  EXPECT_TRUE(cnx.bNULLBeforeNotNULL());
  EXPECT_FALSE(cnx.bSupportInsertReturning());
  EXPECT_TRUE(cnx.bCanPrepareQuery());
  EXPECT_FALSE(cnx.bIndexNamesCommonOnDatabase());
  EXPECT_FALSE(cnx.bInitError(nullptr, 1, 0));
  EXPECT_EQ(NA_ERRORTYPE_GENERIC, cnx.eGetNAErrorType(1146));
  CTString clOut(L"kept");
  EXPECT_FALSE(cnx.bDBTypeToString(&clOut, 3));
  EXPECT_STREQ(L"kept", clOut.pszGet());
  EXPECT_FALSE(cnx.bDBTypeUnkwnownByDB(3));
  EXPECT_FALSE(cnx.bSQLBloque(nullptr, static_cast<ISQLParserInformation*>(nullptr)));
  cnx.m_csRecordLock.Set(L"WITH (NOLOCK)");
  EXPECT_STREQ(L"WITH (NOLOCK)", cnx.pszGetNoLockHint());
  cnx.m_bOpenAnswer = 0;
  EXPECT_FALSE(cnx.bOpenCreate(nullptr));
  EXPECT_EQ(1, cnx.m_nOpenCalls);
}

TEST(cnxdescKinds, CursorLocationNames) {
  const struct {
    int n;
    const wchar_t* psz;
  } rows[] = {{0, L"Default"}, {1, L"Client"}, {2, L"Server"}, {7, L"Unknown"}, {-1, L"Unknown"}};
  for (const auto& r : rows) EXPECT_STREQ(r.psz, CNAConnectionDescription::s_pszGetCursorLocation(r.n));
}

// ---- Simple statements ---------------------------------------------------------

TEST(cnxdescStatements, TextsGoThroughOneStatementEach) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestConnection cnx;
  cnx.AddRef();
  EXPECT_TRUE(cnx.bSQLBloque(nullptr, L"`t`"));
  EXPECT_TRUE(cnx.bSQLBloqueRequete(nullptr, L"SELECT * FROM t"));
  EXPECT_TRUE(cnx.bExecuteQueryIgnoreResult(nullptr, L"DO 1"));
  script.FailNext();
  EXPECT_FALSE(cnx.bExecuteQueryNoResult(nullptr, L"BROKEN"));
  EXPECT_EQ((Texts{L"LOCK TABLE `t`", L"SELECT * FROM t\n FOR UPDATE", L"DO 1", L"BROKEN"}),
            script.vecTexts);
  EXPECT_EQ(4, script.nAllocated);
  EXPECT_EQ(0, script.nAlive);
  script.bNoStatement = true;
  EXPECT_FALSE(cnx.bExecuteQueryNoResult(nullptr, L"LOST"));
  EXPECT_EQ(4u, script.vecTexts.size());
}

// The lock names its table only as an identifier: with quotes each piece is
// quoted (a well-formed quoted name stays); without quotes a name that is
// not plain identifiers is refused with user error 84 and nothing is sent.
TEST(cnxdescStatements, LockTextNamesTheTableOnlyAsAnIdentifier) {
  const struct {
    int nKind;
    const wchar_t* pszName;
    const wchar_t* pszSent;  // null: refused
  } rows[] = {
      {5, L"t", L"LOCK TABLE `t`"},
      {5, L"db.t", L"LOCK TABLE `db`.`t`"},
      {5, L"`db`.`t`", L"LOCK TABLE `db`.`t`"},
      {5, L"my table", L"LOCK TABLE `my table`"},
      {5, L"t; DROP TABLE u", L"LOCK TABLE `t; DROP TABLE u`"},
      {5, L"`t` ; DROP TABLE u; -- ", L"LOCK TABLE ```t`` ; DROP TABLE u; -- `"},
      {0, L"db.t", L"LOCK TABLE db.t"},
      {0, L"t; DROP TABLE u", nullptr},
      {0, L"my table", nullptr},
      {0, L"db.t u", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.pszName)) + " kind " + std::to_string(row.nKind));
    StatementScript script;
    RecordingStatementScope scope(&script);
    TestConnection cnx;
    cnx.AddRef();
    cnx.SetKind(row.nKind);
    CNAError clError;
    EXPECT_EQ(row.pszSent != nullptr ? 1 : 0, cnx.bSQLBloque(&clError, row.pszName));
    if (row.pszSent != nullptr) {
      EXPECT_EQ(Texts{row.pszSent}, script.vecTexts);
      EXPECT_EQ(NA_ERRORTYPE_NONE, clError.eGetErrorType());
    } else {
      EXPECT_TRUE(script.vecTexts.empty());
      EXPECT_EQ(84u, clError.nGetUserErrorCode());
      EXPECT_NE(std::wstring::npos, std::wstring(clError.pszGetError()).find(row.pszName));
    }
  }
}

// Texts and casts need the runtime's string allocator and conversions.
using cnxdescRequestedValue = BoundRuntimeTest;

TEST_F(cnxdescRequestedValue, ValueAsText) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestConnection cnx;
  cnx.AddRef();
  CTString clOut(L"old");
  script.clValue.SetI4(42);
  EXPECT_TRUE(cnx.bGetRequestedValueString(nullptr, &clOut, 0, L"SELECT 42"));
  EXPECT_STREQ(L"42", clOut.pszGet());
  script.clValue.__SetType(ANY_DSTRW, 0);
  script.clValue.SetValue(L"10.11.6", 7 * sizeof(wchar_t));
  EXPECT_TRUE(cnx.bGetRequestedValueString(nullptr, &clOut, 0, L"SELECT VERSION()"));
  EXPECT_STREQ(L"10.11.6", clOut.pszGet());
  script.clValue.SetNull();
  EXPECT_TRUE(cnx.bGetRequestedValueString(nullptr, &clOut, 0, L"SELECT NULL"));
  EXPECT_STREQ(L"", clOut.pszGet());
  clOut.Set(L"kept");
  script.FailNext();
  EXPECT_FALSE(cnx.bGetRequestedValueString(nullptr, &clOut, 0, L"SELECT broken"));
  EXPECT_STREQ(L"kept", clOut.pszGet());
  script.bNoStatement = true;
  CAny clValue;
  EXPECT_FALSE(cnx.bGetRequestedValue(nullptr, &clValue, 0, L"SELECT 1"));
  EXPECT_EQ((Texts{L"SELECT 42", L"SELECT VERSION()", L"SELECT NULL", L"SELECT broken"}),
            script.vecTexts);
  EXPECT_EQ(0, script.nAlive);
}

}  // namespace
