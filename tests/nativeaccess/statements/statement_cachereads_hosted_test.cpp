// Rows read back from the record cache: each shows its own values, memo
// included, whatever row was read from the cache before it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/support/BoundRuntimeFixture.h"
#include "CAny.h"
#include "CNAConvertVariant.h"
#include "support/StatementFixture.h"

namespace {

using kxtest::MemRows;
using Env = kxtest::StatementEnv;

class statement_cache_reads : public BoundRuntimeTest {};

// The current record's key and memo text ("<null>" for no value).
std::string Shown(Env& env) {
  std::string s = std::to_string(env.nKey()) + ":";
  CNAConvertVariant* pclMemo = env.record->pclGetCurrentRecordValue()->pclGetMemoValueNoRef(0);
  if (pclMemo == nullptr || pclMemo->bIsNull()) return s + "<null>";
  CAny v;
  const char* psz = nullptr;
  if (!pclMemo->vbGetValue(&v) || v.nGetPCASTR(&psz) != 0 || psz == nullptr) return s + "<unreadable>";
  return s + psz;
}

TEST_F(statement_cache_reads, EveryRowShowsItsOwnMemoBothWays) {
  Env env({}, 10, true, true);
  env.server.nColumns = 3;
  env.server.fnAnswer = [](const std::string&, MemRows* r) {
    r->push_back({std::string("1"), std::string("x"), std::string("first memo")});
    r->push_back({std::string("2"), std::string("y"), std::nullopt});
    r->push_back({std::string("3"), std::string("z"), std::string("third memo")});
    return true;
  };
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.st->EnableCache(1);
  ASSERT_TRUE(env.st->bCacheEnabled());
  const std::vector<std::string> kRows = {"1:first memo", "2:<null>", "3:third memo"};

  std::vector<std::string> vecRead;
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  while (!env.st->bOutOfRange()) {
    vecRead.push_back(Shown(env));
    ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
  }
  EXPECT_EQ(vecRead, kRows);
  const int nFetches = env.server.nFetches;

  // From memory, backwards then forwards: a row without memo after one
  // with, and the other way round.
  const std::vector<std::pair<eNA_PARSEDIRECTION, int>> kSteps = {
      {NA_PARSE_LAST, 2}, {NA_PARSE_PREVIOUS, 1}, {NA_PARSE_PREVIOUS, 0},
      {NA_PARSE_NEXT, 1}, {NA_PARSE_NEXT, 2},     {NA_PARSE_FIRST, 0}};
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.second);
    ASSERT_TRUE(env.st->bFetch(step.first, 0, 1));
    ASSERT_FALSE(env.st->bOutOfRange());
    EXPECT_TRUE(env.st->bRestoredFromCache());
    EXPECT_EQ(Shown(env), kRows[static_cast<std::size_t>(step.second)]);
  }
  EXPECT_EQ(env.server.nFetches, nFetches);
}

}  // namespace
