// Statements over an in-memory table: executing, fetching in every
// direction, the keyset continuation of full blocks, the record cache, and
// the rows deleted or modified through the data access.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "runtime/support/BoundRuntimeFixture.h"
#include "CAny.h"
#include "CNAConvertVariant.h"
#include "support/StatementFixture.h"

namespace {

using kxtest::kSevenRows;
using kxtest::MemRows;
using Env = kxtest::StatementEnv;

// The values reach the record through the runtime's conversions.
class statement_continuation : public BoundRuntimeTest {};
class statement_fetch : public BoundRuntimeTest {};
class statement_cache : public BoundRuntimeTest {};

std::vector<int> Keys(const std::vector<std::pair<int, std::string>>& rows, bool backward) {
  std::vector<int> v;
  for (const auto& r : rows) v.push_back(r.first);
  if (backward) std::reverse(v.begin(), v.end());
  return v;
}

// ---------------------------------------------------------------------------
// Keyset continuation
// ---------------------------------------------------------------------------

TEST_F(statement_continuation, EveryRowOnceInOrderBothWays) {
  // Block sizes that end a block before, inside and after the run of equal
  // records, that fill the whole result exactly (7) and that hold it all.
  for (int block : {1, 2, 3, 4, 5, 7, 8}) {
    for (bool backward : {false, true}) {
      SCOPED_TRACE("block " + std::to_string(block) + (backward ? " backward" : " forward"));
      Env env(kSevenRows, block);
      ASSERT_TRUE(env.access->bOpen(env.st, backward));
      EXPECT_EQ(env.Walk(backward), Keys(kSevenRows, backward));
      EXPECT_EQ(env.bOut(), 1);
      // A block at the end is full only when the rows fill it exactly.
      const std::size_t nFullBlocks = kSevenRows.size() / static_cast<std::size_t>(block);
      EXPECT_EQ(env.access->vecContinuations.size(), nFullBlocks);
    }
  }
}

TEST_F(statement_continuation, SkipsTheEqualRecordsAlreadyRead) {
  // Blocks of two end inside the run of equal records: the continuation
  // must skip exactly the ones read (the original and its duplicates).
  struct Case {
    bool backward;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {false, {"NEXT 20 SKIP 1", "NEXT 30 SKIP 2", "NEXT 40 SKIP 1"}},
      {true, {"PREVIOUS 40 SKIP 1", "PREVIOUS 30 SKIP 2", "PREVIOUS 20 SKIP 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.backward ? "backward" : "forward");
    Env env(kSevenRows, 2);
    ASSERT_TRUE(env.access->bOpen(env.st, c.backward));
    EXPECT_EQ(env.Walk(c.backward), Keys(kSevenRows, c.backward));
    EXPECT_EQ(env.access->vecContinuations, c.log);
    // The record carries its rank in the run: the third equal record read
    // last before 40 had rank 2, 40 itself has 0.
    EXPECT_EQ(env.record->nGetDuplicateRank(), 0);
  }
}

TEST_F(statement_continuation, WithoutContinuationAFullBlockFailsCleanly) {
  Env env(kSevenRows, 3);
  env.access->bRefuseContinuation = true;
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 3));
  EXPECT_EQ(env.nKey(), 30);
  EXPECT_FALSE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  EXPECT_EQ(env.error->dwGetErrorId(), 38u);
  EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_UNAVAILABLE);
  EXPECT_EQ(env.bOut(), 1);
  int nFound = -1;
  env.st->EvalHTrouve(&nFound, nullptr);
  EXPECT_EQ(nFound, 0);
}

TEST_F(statement_continuation, ForwardReadingNeverSeeks) {
  Env env(kSevenRows, 3);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.Walk(false);
  EXPECT_EQ(env.server.nSeeks, 0);
  // One fetch per row: the end of a stored block is known from its count.
  EXPECT_EQ(env.server.nFetches, 7);
}

// ---------------------------------------------------------------------------
// Fetching in one result
// ---------------------------------------------------------------------------

TEST_F(statement_fetch, EmptyCommandAndEmptyResult) {
  Env env({}, 3);
  // No text: success without a word to the server, and nothing to read.
  CNACommand* pclEmpty = env.pclCommand(L"", TYPEREQUETE_SELECT);
  EXPECT_TRUE(env.st->bExecuteDirectNewCommand(pclEmpty, NA_WRITEPARSE_NONE, NA_ST_DIRECT));
  pclEmpty->nRelease();
  EXPECT_EQ(env.server.nExecutions, 0);
  // A result without rows: every direction succeeds out of range.
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  EXPECT_EQ(env.server.nExecutions, 1);
  for (eNA_PARSEDIRECTION e : {NA_PARSE_FIRST, NA_PARSE_LAST, NA_PARSE_NEXT, NA_PARSE_PREVIOUS, NA_PARSE_CURRENT}) {
    SCOPED_TRACE(static_cast<int>(e));
    EXPECT_TRUE(env.st->bFetch(e, 0, 1));
    int nFound = -1;
    int nInRange = -1;
    env.st->EvalHTrouve(&nFound, &nInRange);
    EXPECT_EQ(nFound, 0);
    EXPECT_EQ(nInRange, 0);
    EXPECT_EQ(env.st->llGetCurrentRecordNumber(), -1);
  }
  EXPECT_EQ(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
}

TEST_F(statement_fetch, DeletedRowSkippedModifiedRowReadFromItsSave) {
  Env env(kSevenRows, 10);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  ASSERT_EQ(env.nKey(), 20);
  // Row 1 modified through the data access, row 3 deleted through it.
  const std::uint32_t nSave = env.access->nKeepModifiedSave("zz");
  ASSERT_TRUE(env.st->bKeepModifiedRecordSave(1, nSave));
  env.access->nReleaseRecordSave(nSave);
  ASSERT_TRUE(env.st->bMarkRowDeleted(3));
  EXPECT_EQ(env.st->nGetDeletedRowCount(), 1);

  struct Step {
    eNA_PARSEDIRECTION dir;
    long count;
    int key;  // -1: out of range
    const char* text;
  };
  const Step steps[] = {
      {NA_PARSE_FIRST, 1, 10, "a"},   {NA_PARSE_NEXT, 1, 20, "zz"},    {NA_PARSE_NEXT, 1, 30, "c"},
      {NA_PARSE_NEXT, 1, 30, "c"},    {NA_PARSE_NEXT, 1, 40, "d"},     {NA_PARSE_PREVIOUS, 2, 30, "c"},
      {NA_PARSE_PREVIOUS, 1, 20, "zz"}, {NA_PARSE_NEXT, 3, 40, "d"},   {NA_PARSE_NEXT, 2, -1, ""},
      {NA_PARSE_PREVIOUS, 1, 50, "e"}, {NA_PARSE_LAST, 2, 40, "d"},    {NA_PARSE_CURRENT, 1, 40, "d"},
      {NA_PARSE_FIRST, 7, -1, ""},    {NA_PARSE_LAST, 6, 10, "a"},     {NA_PARSE_PREVIOUS, 1, -1, ""},
      {NA_PARSE_NEXT, 1, 10, "a"},
  };
  int i = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE("step " + std::to_string(i++));
    ASSERT_TRUE(env.st->bFetch(s.dir, 0, s.count));
    if (s.key < 0) {
      EXPECT_EQ(env.bOut(), 1);
      continue;
    }
    EXPECT_EQ(env.bOut(), 0);
    EXPECT_EQ(env.nKey(), s.key);
    EXPECT_EQ(env.sText(), s.text);
  }
  // The statement holds the save once; closing gives it back.
  EXPECT_EQ(env.access->nSaveRefs(nSave), 1);
  env.st->Close();
  EXPECT_EQ(env.access->nSavesHeld(), 0);
}

TEST_F(statement_fetch, StreamIsReadForwardOnly) {
  Env env(kSevenRows, 10);
  env.server.bStream = true;
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  EXPECT_EQ(env.Walk(false), Keys(kSevenRows, false));
  EXPECT_EQ(env.server.nSeeks, 0);
  // Going back needs a seek, which a stream refuses: a failure with its
  // reason, not a wrong row.
  env.error->Reset();
  EXPECT_FALSE(env.st->bFetch(NA_PARSE_PREVIOUS, 0, 1));
  EXPECT_NE(env.error->eGetErrorType(), NA_ERRORTYPE_NONE);
  EXPECT_EQ(env.bOut(), 1);
}

TEST_F(statement_fetch, FetchDataGivesTheColumnsOfTheRowFound) {
  Env env(kSevenRows, 10);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  CAny values[5];
  int nOut = -1;
  ASSERT_TRUE(env.st->bFetchData(NA_PARSE_LAST, &nOut, values, 5));
  EXPECT_EQ(nOut, 0);
  int nKey = 0;
  ASSERT_EQ(values[0].nGetINT(&nKey), 0);
  EXPECT_EQ(nKey, 50);
  const char* psz = nullptr;
  ASSERT_EQ(values[1].nGetPCASTR(&psz), 0);
  EXPECT_STREQ(psz, "e");
  // Only the record's columns are written.
  EXPECT_TRUE(values[2].bIsEmpty());
  ASSERT_TRUE(env.st->bFetchData(NA_PARSE_NEXT, &nOut, values, 5));
  EXPECT_EQ(nOut, 1);
  // The fetch asked for the read mark of each row found.
  EXPECT_EQ(env.access->nReadMarks, 1);
}

TEST_F(statement_fetch, NullAfterAValueLeavesTheItemUndefined) {
  Env env({}, 10);
  env.server.fnAnswer = [](const std::string&, MemRows* r) {
    r->push_back({std::string("1"), std::string("x")});
    r->push_back({std::string("2"), std::nullopt});
    r->push_back({std::nullopt, std::string("")});
    return true;
  };
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  EXPECT_FALSE(env.access->bTextNull(env.record->pclGetCurrentRecordValue()));
  EXPECT_EQ(env.sText(), "x");
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  EXPECT_EQ(env.nKey(), 2);
  EXPECT_TRUE(env.access->bTextNull(env.record->pclGetCurrentRecordValue()));
  EXPECT_EQ(env.sText(), "");
  // An empty text is a value, not NULL; a NULL key is no value.
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  EXPECT_FALSE(env.access->bTextNull(env.record->pclGetCurrentRecordValue()));
  CNAXQRecord* pclXQ = env.record->pclGetNAXQRecord();
  EXPECT_FALSE(pclXQ->bItemValueDefined(env.key, 0));
}

TEST_F(statement_fetch, MemoReadsItsValueAndAFailedReadLeavesItNull) {
  Env env({}, 10, true, true);
  env.server.nColumns = 3;
  env.server.fnAnswer = [](const std::string&, MemRows* r) {
    r->push_back({std::string("1"), std::string("x"), std::string("a long memo")});
    // The second row lacks its memo: the server's result has fewer
    // columns than the layout reads.
    r->push_back({std::string("2"), std::string("y")});
    return true;
  };
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  CNAConvertVariant* pclMemo = env.record->pclGetCurrentRecordValue()->pclGetMemoValueNoRef(0);
  ASSERT_NE(pclMemo, nullptr);
  CAny v;
  ASSERT_TRUE(pclMemo->vbGetValue(&v));
  // A text memo holds 8-bit text.
  const char* psz = nullptr;
  ASSERT_EQ(v.nGetPCASTR(&psz), 0);
  EXPECT_STREQ(psz, "a long memo");
  // The failed read is the fetch's failure, with the reason; the memo
  // keeps nothing of the row before.
  EXPECT_FALSE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  EXPECT_EQ(env.error->dwGetErrorId(), 50u);
  EXPECT_TRUE(pclMemo->bIsNull());
  EXPECT_EQ(env.bOut(), 1);
}

// ---------------------------------------------------------------------------
// Record cache
// ---------------------------------------------------------------------------

TEST_F(statement_cache, ReadRowsComeBackFromTheCache) {
  // Read once in key order (ascending, or descending from a SELECT that
  // runs backwards), then both ways from memory.
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    Env env(kSevenRows, 3);
    ASSERT_TRUE(env.access->bOpen(env.st, descending));
    env.st->EnableCache(1);
    ASSERT_TRUE(env.st->bCacheEnabled());
    EXPECT_EQ(env.Walk(descending), Keys(kSevenRows, descending));
    EXPECT_TRUE(env.st->bCacheCompleted());
    EXPECT_EQ(env.access->vecContinuations.size(), 2u);
    // Every row is in memory now: back and forth without the server.
    const int nExecutions = env.server.nExecutions;
    const int nFetches = env.server.nFetches;
    EXPECT_EQ(env.Walk(!descending), Keys(kSevenRows, !descending));
    EXPECT_EQ(env.Walk(descending), Keys(kSevenRows, descending));
    ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
    EXPECT_EQ(env.nKey(), 10);
    EXPECT_TRUE(env.st->bRestoredFromCache());
    EXPECT_EQ(env.server.nExecutions, nExecutions);
    EXPECT_EQ(env.server.nFetches, nFetches);
    // Closing switches the cache off and empties it.
    env.st->Close();
    EXPECT_FALSE(env.st->bCacheEnabled());
    EXPECT_EQ(env.st->pclGetRecordCacheNoRef()->nGetCount(), 0);
  }
}

TEST_F(statement_cache, NextBlockStartsAfterTheLastRowCached) {
  // Back in the cache, then forward past its end: the rows go on after the
  // last row the server gave, not after the row shown.
  Env env(kSevenRows, 3);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.st->EnableCache(1);
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_PREVIOUS, 0, 1));
  EXPECT_EQ(env.nKey(), 20);
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 2));
  EXPECT_EQ(env.nKey(), 30);
  EXPECT_EQ(env.st->llGetCurrentRecordNumber(), 3);
  EXPECT_EQ(env.access->vecContinuations, std::vector<std::string>{"NEXT 30 SKIP 1"});
  std::vector<int> keys;
  while (env.st->bFetch(NA_PARSE_NEXT, 0, 1) && !env.bOut()) keys.push_back(env.nKey());
  EXPECT_EQ(keys, (std::vector<int>{30, 40, 50}));
  EXPECT_EQ(env.st->pclGetRecordCacheNoRef()->nGetCount(), 7);
}

TEST_F(statement_cache, LastReadsTheWholeResultFirst) {
  Env env(kSevenRows, 4);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.st->EnableCache(1);
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_LAST, 0, 1));
  EXPECT_EQ(env.nKey(), 50);
  EXPECT_TRUE(env.st->bCacheCompleted());
  EXPECT_EQ(env.Walk(true), Keys(kSevenRows, true));
}

}  // namespace
