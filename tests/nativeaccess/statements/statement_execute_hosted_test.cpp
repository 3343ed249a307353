// Statements: execution results (one-row reads, UPDATE without a changed
// row, prepared commands), the record-save table and the parse update.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CAny.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/StatementFixture.h"

namespace {

using kxtest::kSevenRows;
using kxtest::MemRows;
using Env = kxtest::StatementEnv;

// The values reach the record through the runtime's conversions.
class statement_execute : public BoundRuntimeTest {};
class statement_saves : public BoundRuntimeTest {};

std::wstring TextOf(const CAny& v) {
  const wchar_t* psz = nullptr;
  if (v.bIsNull() || v.nGetPCWSTR(&psz) != 0 || psz == nullptr) return L"<none>";
  return psz;
}

// ---------------------------------------------------------------------------
// Reading the values of a result
// ---------------------------------------------------------------------------

TEST_F(statement_execute, ExecuteAndFetchReadsTheRowItReached) {
  // A one-row result gives that row (reading one more row would find
  // none); a longer one its first row; no row is a failure with an error.
  struct Case {
    std::vector<std::pair<int, std::string>> rows;
    bool ok;
    std::wstring key;
    std::wstring text;
  };
  const Case cases[] = {
      {{{7, "seven"}}, true, L"7", L"seven"},
      {{{7, "seven"}, {8, "eight"}}, true, L"7", L"seven"},
      {{}, false, L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows.size());
    Env env(c.rows, 10);
    CNACommand* pclCommand = env.pclCommand(L"SELECT ASC", TYPEREQUETE_SELECT);
    env.st->_SetQuery(pclCommand);
    pclCommand->nRelease();
    CAny values[2];
    EXPECT_EQ(env.st->bExecuteAndFetch(values, 2, NA_ST_DIRECT), c.ok ? 1 : 0);
    if (c.ok) {
      EXPECT_EQ(TextOf(values[0]), c.key);
      EXPECT_EQ(TextOf(values[1]), c.text);
      EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
    } else {
      EXPECT_NE(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
    }
    // The statement closed its result in every case.
    EXPECT_FALSE(env.st->bParseStarted());
    EXPECT_EQ(env.st->pclGetStatementSQLNoRef()->llGetRowCount(), -1);
  }
}

TEST_F(statement_execute, RequestedValueIsTheFirstColumnOfTheFirstRow) {
  Env env({{42, "x"}, {43, "y"}}, 10);
  CNACommand* pclCommand = env.pclCommand(L"SELECT ASC", TYPEREQUETE_SELECT);
  env.st->_SetQuery(pclCommand);
  pclCommand->nRelease();
  CAny v;
  ASSERT_TRUE(env.st->bGetRequestedValue(&v));
  EXPECT_EQ(TextOf(v), L"42");
}

// ---------------------------------------------------------------------------
// UPDATE and prepared commands
// ---------------------------------------------------------------------------

TEST_F(statement_execute, UpdateChangingNoRowIsUserError13) {
  for (unsigned long nAffected : {0ul, 1ul}) {
    SCOPED_TRACE(nAffected);
    Env env;
    env.server.fnAnswer = [](const std::string& t, MemRows*) { return t.rfind("UPDATE", 0) == 0; };
    env.server.nAffectedRows = nAffected;
    CNACommand* pclCommand = env.pclCommand(L"UPDATE T SET A=1", TYPEREQUETE_UPDATE);
    const int bOk = env.st->bExecuteDirectNewCommand(pclCommand, NA_WRITEPARSE_NONE, NA_ST_DIRECT);
    pclCommand->nRelease();
    ASSERT_EQ(env.server.vecTexts.size(), 1u);
    if (nAffected == 0) {
      EXPECT_FALSE(bOk);
      EXPECT_EQ(env.error->dwGetErrorId(), 13u);
      EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_DIRECTQUERY);
    } else {
      EXPECT_TRUE(bOk);
      EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
    }
  }
}

TEST_F(statement_execute, PreparedCommandOfUnknownTypeIsUserError2) {
  Env env;
  CNACommand* pclCommand = env.pclCommand(L"SELECT ASC", TYPEREQUETE_SELECT);
  // Flag 2 only sets the command.
  ASSERT_TRUE(env.st->bPrepare(pclCommand, static_cast<NA_WRITEPARSEFLAGS>(2)));
  EXPECT_EQ(env.st->pclGetCommandNoRef(), pclCommand);
  pclCommand->nRelease();
  CNACommand* pclUnknown = env.access->pclAllocCommand(env.error);
  pclUnknown->AddRef();
  pclUnknown->bComplete(L"SELECT ASC");
  env.st->_SetQuery(pclUnknown);
  pclUnknown->nRelease();
  EXPECT_FALSE(env.st->bExecutePreparedQuery(NA_WRITEPARSE_NONE, 0));
  EXPECT_EQ(env.error->dwGetErrorId(), 2u);
  EXPECT_EQ(env.server.nExecutions, 0);
}

TEST_F(statement_execute, ResultDescribesADataAccessWithoutDescription) {
  struct Case {
    bool described;  // the access has a description already
    bool fillOk;     // filling the new one from the result works
    bool ok;
    int fills;
  };
  for (const Case& c : {Case{true, true, true, 0}, Case{false, true, true, 1}, Case{false, false, false, 1}}) {
    SCOPED_TRACE(std::to_string(c.described) + std::to_string(c.fillOk));
    Env env(kSevenRows, 3, c.described);
    env.access->bDescribeResults = true;
    env.access->bDescribeOk = c.fillOk;
    EXPECT_EQ(env.access->bOpen(env.st, false), c.ok);
    EXPECT_EQ(env.access->nDescribed, c.fills);
    if (c.fills > 0) {
      EXPECT_EQ(env.access->nDescribedColumns, 2u);
    }
    // Kept only when it could be filled.
    EXPECT_EQ(env.access->pclGetImportedDataSourceNoRef() != nullptr, !c.described && c.fillOk);
  }
}

TEST_F(statement_execute, BlockIsFullWhenTheLimitIsReached) {
  struct Case {
    int block;
    int full;
  };
  for (const Case& c : {Case{3, 3}, Case{7, 7}, Case{8, -1}}) {
    SCOPED_TRACE(c.block);
    Env env(kSevenRows, c.block);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    EXPECT_EQ(env.st->nGetBlockFull(), c.full);
    EXPECT_TRUE(env.st->bBlockStartsAtFirstRow());
  }
}

// ---------------------------------------------------------------------------
// Record-save table
// ---------------------------------------------------------------------------

TEST_F(statement_saves, TableOnlyForRowsItHolds) {
  struct Case {
    const char* name;
    bool stream;
    std::vector<std::pair<int, std::string>> rows;
    long long row;
    bool kept;
  };
  const Case cases[] = {
      {"stream", true, kSevenRows, 0, false},
      {"no row", false, {}, 0, false},
      {"row -1", false, kSevenRows, -1, false},
      {"row past the end", false, kSevenRows, 7, false},
      {"first row", false, kSevenRows, 0, true},
      {"last row", false, kSevenRows, 6, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Env env(c.rows, 10);
    env.server.bStream = c.stream;
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
    const std::uint32_t nSave = env.access->nKeepCurrentRecordSave();
    ASSERT_NE(nSave, CNADataAccess::knNoRecordSave);
    EXPECT_EQ(env.st->bKeepModifiedRecordSave(c.row, nSave), c.kept ? 1 : 0);
    // A save that was not stored keeps no reference of the statement's.
    EXPECT_EQ(env.access->nSaveRefs(nSave), c.kept ? 2 : 1);
    EXPECT_EQ(env.st->nGetRecordSave(c.row), c.kept ? nSave : CNAStatement::knNoSave);
    EXPECT_EQ(env.st->bMarkRowDeleted(c.row), c.kept ? 1 : 0);
    EXPECT_EQ(env.st->llGetRecordSaveCount(), c.stream || c.rows.empty() ? 0 : 7);
    // Marking the row deleted gave the save back.
    EXPECT_EQ(env.access->nSaveRefs(nSave), 1);
    env.access->nReleaseRecordSave(nSave);
    EXPECT_EQ(env.access->nSavesHeld(), 0);
  }
}

TEST_F(statement_saves, FreeingTheTableGivesEverySaveBack) {
  // Close, a parse to run again (cause 1) and the statement's end each free
  // the table.
  for (int how = 0; how < 3; ++how) {
    SCOPED_TRACE(how);
    Env env(kSevenRows, 10);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    for (int row = 0; row < 3; ++row) {
      ASSERT_TRUE(env.st->bFetch(row == 0 ? NA_PARSE_FIRST : NA_PARSE_NEXT, 0, 1));
      const std::uint32_t nSave = env.access->nKeepCurrentRecordSave();
      ASSERT_TRUE(env.st->bKeepModifiedRecordSave(row, nSave));
      env.access->nReleaseRecordSave(nSave);
    }
    ASSERT_TRUE(env.st->bMarkRowDeleted(4));
    EXPECT_EQ(env.access->nSavesHeld(), 3);
    if (how == 0) {
      env.st->Close();
    } else if (how == 1) {
      ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_RERUN, CNAStatement::knNoSave));
      EXPECT_EQ(env.st->pclGetStatementSQLNoRef()->llGetRowCount(), -1);
    } else {
      CNAStatement* pclOld = env.st;
      env.st = new CNAStatement(env.access, env.error);
      env.st->AddRef();
      pclOld->nRelease();
    }
    EXPECT_EQ(env.access->nSavesHeld(), 0);
    EXPECT_EQ(env.st->llGetRecordSaveCount(), 0);
    EXPECT_EQ(env.st->nGetDeletedRowCount(), 0);
  }
}

TEST_F(statement_saves, ParseUpdateCauseAndHeldSave) {
  Env env(kSevenRows, 10);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  // The one-argument form keeps the original record as the held save.
  ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_RERUN));
  const std::uint32_t nHeld = env.st->nGetRecordSaveID();
  ASSERT_NE(nHeld, CNAStatement::knNoSave);
  EXPECT_EQ(env.access->nSaveRefs(nHeld), 1);
  // A reposition does not replace a pending run; the same record keeps
  // its one save, held once.
  ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION));
  EXPECT_EQ(env.st->eParseNeedUpdate(), NA_PARSEUPDATE_RERUN);
  EXPECT_EQ(env.st->nGetRecordSaveID(), nHeld);
  EXPECT_EQ(env.access->nSaveRefs(nHeld), 1);
  EXPECT_EQ(env.access->nSavesHeld(), 1);
  ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, CNAStatement::knNoSave));
  EXPECT_EQ(env.access->nSavesHeld(), 0);
  EXPECT_EQ(env.st->eParseNeedUpdate(), NA_PARSEUPDATE_NONE);
}

// ---------------------------------------------------------------------------
// Execution and close
// ---------------------------------------------------------------------------

TEST_F(statement_execute, CloseEndsTheParseAndTellsTheDataAccess) {
  Env env(kSevenRows, 10);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 1, 1));
  EXPECT_EQ(env.access->nReadMarks, 1);
  EXPECT_TRUE(env.st->bParseStarted());
  EXPECT_EQ(env.st->llGetCurrentRecordNumber(), 0);
  const int nClosings = env.access->nClosings;
  env.st->Close();
  EXPECT_EQ(env.access->nClosings, nClosings + 1);
  EXPECT_FALSE(env.st->bParseStarted());
  EXPECT_EQ(env.st->llGetCurrentRecordNumber(), -1);
  // Executing again starts over from the first row.
  ASSERT_TRUE(env.st->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  EXPECT_EQ(env.nKey(), 10);
  EXPECT_EQ(env.st->nGetDuplicateCount(), 0);
}

TEST_F(statement_execute, LaterTextsFailCleanly) {
  Env env;
  CNACommand* pclCommand = env.pclCommand(L"", TYPEREQUETE_SELECT);
  struct Op {
    const char* name;
    std::function<int()> run;
  };
  const Op ops[] = {
      {"position", [&] { return env.st->bGetPosition(nullptr, 0); }},
  };
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    env.error->Reset();
    EXPECT_FALSE(op.run());
    EXPECT_EQ(env.error->dwGetErrorId(), 38u);
    EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_UNAVAILABLE);
  }
  pclCommand->nRelease();
  // The slots that answer without work.
  EXPECT_FALSE(env.st->bHAjoute(NA_WRITEPARSE_NONE, NA_LOCKTYPE_DEFAULT));
  EXPECT_FALSE(env.st->bHModifie(NA_WRITEPARSE_NONE, NA_LOCKTYPE_DEFAULT));
  EXPECT_FALSE(env.st->bHSupprime(NA_LOCKTYPE_DEFAULT));
  EXPECT_FALSE(env.st->bDefaultParseNeedRecordCache());
  EXPECT_TRUE(env.st->bCanFetchBackward());
  // A statement now makes its searches (inactive until set).
  CNARecherche* pclSearch = env.st->pclAllocRecherche();
  ASSERT_NE(pclSearch, nullptr);
  pclSearch->AddRef();
  EXPECT_FALSE(pclSearch->bIsActive());
  pclSearch->nRelease();
  CNAFilter* pclFilter = env.st->pclAllocFilter();
  ASSERT_NE(pclFilter, nullptr);
  pclFilter->AddRef();
  EXPECT_FALSE(pclFilter->bIsFilterActive());
  pclFilter->nRelease();
  EXPECT_TRUE(env.st->bSetLockType(NA_LOCKTYPE_NONE));
  EXPECT_EQ(env.st->eGetLockType(), NA_LOCKTYPE_NONE);
}

}  // namespace
