// Statements over an in-memory table: counts (COUNT read as a 64-bit
// number, counting by reading, counts from the rows at hand), per-mille
// positions, the completion of the record cache, saved positions and the
// return to them, the user search and the filter a statement holds, the
// parse on an index of the table cache, and write notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CAny.h"
#include "CNAPosition.h"
#include "CNATableCache.h"
#include "CNATableCacheIndex.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/PositionAccess.h"
#include "support/StatementFixture.h"

namespace {

using kxtest::InMemoryServer;
using kxtest::MemRow;
using kxtest::MemRows;
using kxtest::PositionAccess;
using Rows = std::vector<std::pair<int, std::string>>;

// A statement whose COUNT is a text the in-memory server answers ("COUNT"),
// so that the counting itself is tested whatever text the server gets.
class CountStatement : public CNAStatement {
 public:
  using CNAStatement::CNAStatement;
  int nCountTexts = 0;
  int _bBuildQueryCOUNT(CNACommand* command, NA_WRITEPARSEFLAGS /*flags*/, int /*noWhere*/) override {
    ++nCountTexts;
    _SetQuery(command);
    command->bComplete(L"COUNT");
    command->SetQueryType(TYPEREQUETE_SELECT);
    return 1;
  }
};

Rows Numbered(int n) {
  Rows rows;
  for (int i = 1; i <= n; ++i) rows.push_back({i, "t" + std::to_string(i)});
  return rows;
}

// The statement environment of StatementFixture.h over a PositionAccess,
// with the server answering "COUNT" with countAnswer (none: NULL).
struct PosEnv {
  InMemoryServer server;
  kxtest::DriverScope scope;
  kxtest::TestRecordSource src;
  CNAItemDescription* key = nullptr;
  CNAItemDescription* text = nullptr;
  kxtest::TestConnection* cnx = nullptr;
  CNAError* error = nullptr;
  PositionAccess* access = nullptr;
  CNARecord* record = nullptr;
  CountStatement* st = nullptr;
  std::optional<std::string> countAnswer = std::string("0");
  bool bCountRefused = false;

  explicit PosEnv(Rows rows = kxtest::kSevenRows, int block = 3) {
    scope.pclGet()->fnStatementMaker = [this](CNAConnectionDescription* c, CNAError* e) -> CNAStatementSQL* {
      return new kxtest::InMemoryStatementSQL(&server, c, e);
    };
    key = src.pclAdd(NA_IT_I4, 4);
    text = src.pclAdd(NA_IT_TEXTE, 11);
    cnx = new kxtest::TestConnection();
    cnx->AddRef();
    error = new CNAError();
    error->AddRef();
    access = new PositionAccess(&src, cnx, error, key, text);
    access->AddRef();
    access->tabTable = std::move(rows);
    access->nBlock = block;
    server.fnAnswer = [this](const std::string& t, MemRows* r) {
      if (t == "COUNT") {
        if (bCountRefused) return false;
        r->push_back(MemRow{countAnswer, std::string("x")});
        return true;
      }
      return access->bAnswer(t, r);
    };
    record = new CNARecord(error, access);
    record->AddRef();
    EXPECT_TRUE(record->bInitRecord(&src, nullptr, cnx));
    access->SetCurrentRecord(record);
    st = NewStatement();
    access->pclReader = st;
  }
  ~PosEnv() {
    st->nRelease();
    record->nRelease();
    access->nRelease();
    error->nRelease();
    cnx->nRelease();
  }
  PosEnv(const PosEnv&) = delete;
  PosEnv& operator=(const PosEnv&) = delete;

  // Another statement of the data access (one reference for the caller).
  CountStatement* NewStatement() {
    auto* p = new CountStatement(access, error);
    p->AddRef();
    return p;
  }
  int nKey() const { return access->nKeyOf(record->pclGetCurrentRecordValue()); }
  std::string sText() const { return access->sTextOf(record->pclGetCurrentRecordValue()); }
  // Fetches on `s` (the statement by default); the key read, or -1 out of
  // range.
  int Fetch(eNA_PARSEDIRECTION direction, CNAStatement* s = nullptr) {
    if (s == nullptr) s = st;
    if (!s->bFetch(direction, 0, 1)) {
      ADD_FAILURE() << "fetch failed: " << error->StringDump().pszGet();
      return -2;
    }
    int nOut = 1;
    s->HEndehors(&nOut);
    return nOut ? -1 : nKey();
  }
  // The keys of the record cache of `s`, in entry order.
  std::vector<int> CacheKeys(CNAStatement* s) {
    std::vector<int> keys;
    CNARecordCache* pclCache = s->pclGetRecordCacheNoRef();
    if (pclCache == nullptr) return keys;
    CNARecordValue* pclValue = new CNARecordValue(error);
    pclValue->AddRef();
    for (int i = 0; i < pclCache->nGetCount(); ++i)
      keys.push_back(pclCache->bGetAt(pclValue, i) ? access->nKeyOf(pclValue) : -1);
    pclValue->nRelease();
    return keys;
  }
  // The item bytes of a record value.
  void SetKey(CNARecordValue* value, int k) {
    unsigned char* pby = value->pclGetNAXQRecord()->pbyGetItemValue(key, 0);
    std::memcpy(pby, &k, sizeof k);
    value->pclGetNAXQRecord()->SetItemValueDefined(key, 1, 0);
  }
  void SetText(CNARecordValue* value, const char* t) {
    unsigned char* pby = value->pclGetNAXQRecord()->pbyGetItemValue(text, 0);
    std::memset(pby, 0, text->nGetItemSize());
    std::strncpy(reinterpret_cast<char*>(pby), t, text->nGetItemSize() - 1);
    value->pclGetNAXQRecord()->SetItemValueDefined(text, 1, 0);
  }
};

// A record value held for a test.
struct Value {
  CNARecordValue* p = nullptr;
  explicit Value(const CNARecordValue* source) : p(source->pclGetClone(NA_COPY_ALL)) {
    if (p != nullptr) p->AddRef();
  }
  ~Value() {
    if (p != nullptr) p->nRelease();
  }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
};

// A position held for a test.
struct Position {
  CNAPosition* p = new CNAPosition();
  Position() { p->AddRef(); }
  ~Position() { p->nRelease(); }
  Position(const Position&) = delete;
  Position& operator=(const Position&) = delete;
};

CAny I4(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

// A table cache of the data access for one test, filled by the parse of
// env.st on ITEM0 (the data access opened for it): bOpened and bParsed say
// how far that went. Attach gives it to the data access; its end takes it
// back from there and releases it. `env` outlives it.
struct ParsedTableCache {
  PosEnv& env;
  CNATableCache* tc = nullptr;
  bool bOpened = false;
  bool bParsed = false;
  explicit ParsedTableCache(PosEnv& e) : env(e) {
    env.st->SetCacheKey(L"ITEM0");
    tc = new CNATableCache(env.error, env.access);
    tc->dwAddRef();
    bOpened = env.access->bOpen(env.st, false);
    bParsed = bOpened && tc->bSetStatementParse(env.st);
  }
  ~ParsedTableCache() {
    if (env.access->pclTableCache == tc) env.access->pclTableCache = nullptr;
    tc->dwRelease();
  }
  ParsedTableCache(const ParsedTableCache&) = delete;
  ParsedTableCache& operator=(const ParsedTableCache&) = delete;
  void Attach() { env.access->pclTableCache = tc; }
};

class stmtpositions_count : public BoundRuntimeTest {};
class stmtpositions_permille : public BoundRuntimeTest {};
class stmtpositions_cache : public BoundRuntimeTest {};
class stmtpositions_positions : public BoundRuntimeTest {};
class stmtpositions_search : public BoundRuntimeTest {};
class stmtpositions_notify : public BoundRuntimeTest {};
class stmtpositions_tablecache : public BoundRuntimeTest {};

// ---------------------------------------------------------------------------
// Counting
// ---------------------------------------------------------------------------

// The COUNT column comes back as text: it is read as a 64-bit number. A
// NULL count leaves the caller's value, a failure gives -1.
TEST_F(stmtpositions_count, CountIsReadAsA64BitNumber) {
  struct Case {
    const char* name;
    std::optional<std::string> answer;
    bool refused;
    int ok;
    long count;
  };
  const Case cases[] = {
      {"beyond 32 bits", std::string("3000000000"), false, 1, 3000000000L},
      {"beyond 32 bits unsigned", std::string("5000000000"), false, 1, 5000000000L},
      {"zero", std::string("0"), false, 1, 0},
      {"small", std::string("42"), false, 1, 42},
      {"NULL", std::nullopt, false, 1, 1234},
      {"refused", std::string("1"), true, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PosEnv env;
    env.countAnswer = c.answer;
    env.bCountRefused = c.refused;
    long n = 1234;
    EXPECT_EQ(c.ok, env.st->bGetNbEnr(&n, 0, 0));
    EXPECT_EQ(c.count, n);
    EXPECT_EQ(1, env.st->nCountTexts);
    ASSERT_EQ(1u, env.server.vecTexts.size());
    EXPECT_EQ("COUNT", env.server.vecTexts[0]);
    // The statement is left without command or parse.
    EXPECT_EQ(nullptr, env.st->pclGetCommandNoRef());
    EXPECT_FALSE(env.st->bCacheEnabled());
  }
}

// Without a command from the data access nothing is counted: false, -1,
// and a reason; on a table and on a query counted by reading.
TEST_F(stmtpositions_count, MissingCommandFailsWithMinusOne) {
  for (bool query : {false, true}) {
    SCOPED_TRACE(query ? "query" : "table");
    PosEnv env;
    env.access->SetQuery(query ? 1 : 0);
    env.access->bNoCommand = true;
    long n = 7;
    EXPECT_FALSE(env.st->bGetNbEnr(&n, 0, 0));
    EXPECT_EQ(-1, n);
    EXPECT_NE(NA_ERRORTYPE_NONE, env.error->eGetErrorType());
    EXPECT_EQ(0, env.st->nCountTexts);
    EXPECT_TRUE(env.server.vecTexts.empty());
  }
}

// A query on a server without subqueries is counted by reading every row
// of its SELECT, without row limit (no block, no continuation); with
// subqueries it is a COUNT.
TEST_F(stmtpositions_count, QueryWithoutSubqueriesIsCountedByReading) {
  struct Case {
    int kind;
    bool byReading;
  };
  for (const Case c : {Case{0, true}, Case{5, true}, Case{1, false}, Case{2, false}}) {
    SCOPED_TRACE("kind " + std::to_string(c.kind));
    PosEnv env;
    env.cnx->SetKind(c.kind);
    env.access->SetQuery(1);
    env.countAnswer = std::string("99");
    long n = 0;
    ASSERT_TRUE(env.st->bGetNbEnr(&n, 0, 0)) << env.error->StringDump().pszGet();
    if (c.byReading) {
      EXPECT_EQ(static_cast<long>(kxtest::kSevenRows.size()), n);
      EXPECT_EQ(0, env.st->nCountTexts);
      ASSERT_EQ(1u, env.server.vecTexts.size());
      EXPECT_EQ("SELECT ASC", env.server.vecTexts[0]);
      EXPECT_TRUE(env.access->vecContinuations.empty());
    } else {
      EXPECT_EQ(99, n);
      EXPECT_EQ(1, env.st->nCountTexts);
    }
  }
}

// The count of the current parse without the server: the driver
// statement's rows less those deleted, the complete cache's entries less
// deleted ones, or no answer when the rows at hand are not the parse.
TEST_F(stmtpositions_count, CurrentParseCountsTheRowsAtHand) {
  {
    SCOPED_TRACE("whole result at hand");
    PosEnv env(Numbered(5), 10);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    EXPECT_EQ(1, env.Fetch(NA_PARSE_FIRST));
    long n = 0;
    ASSERT_TRUE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
    EXPECT_EQ(5, n);
    // The current record deleted through the data access no longer counts.
    Value old(env.st->pclGetStmtOriginalRecord());
    env.st->OnNotifyOperation(NA_QUERY_DELETE, 0, env.st, NA_WRITEPARSE_NONE, old.p);
    ASSERT_TRUE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
    EXPECT_EQ(4, n);
    EXPECT_TRUE(env.server.vecTexts.size() == 1u);
  }
  {
    SCOPED_TRACE("a full block is not the whole parse");
    PosEnv env(kxtest::kSevenRows, 3);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST));
    long n = -5;
    EXPECT_FALSE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
  }
  {
    SCOPED_TRACE("a search selects part of the rows");
    PosEnv env(Numbered(5), 10);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    EXPECT_EQ(1, env.Fetch(NA_PARSE_FIRST));
    const CAny v = I4(3);
    ASSERT_TRUE(env.st->bSetUserSearch(L"ITEM0", &v, NA_PARSE_FIRST, 1));
    long n = -5;
    EXPECT_FALSE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
  }
  {
    SCOPED_TRACE("a filter activated after the parse started");
    PosEnv env(Numbered(5), 10);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    EXPECT_EQ(1, env.Fetch(NA_PARSE_FIRST));
    env.st->SetParseStarted();
    ASSERT_NE(nullptr, env.st->pclActivateFilter());
    long n = -5;
    EXPECT_FALSE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
    // Kept with the parse, the same filter is the parse's.
    env.st->SetParseStarted();
    EXPECT_TRUE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
    // Counted without filter, an active filter cannot be left out.
    EXPECT_FALSE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 1));
  }
  {
    SCOPED_TRACE("a filter active when the parse started is the parse's");
    PosEnv env(Numbered(5), 10);
    ASSERT_NE(nullptr, env.st->pclActivateFilter());
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    EXPECT_EQ(1, env.Fetch(NA_PARSE_FIRST));
    long n = -5;
    EXPECT_TRUE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
    EXPECT_EQ(5, n);
    env.st->DesactivateFilter();
    EXPECT_FALSE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
  }
  {
    SCOPED_TRACE("complete record cache of an index-cache read");
    PosEnv env(kxtest::kSevenRows, 3);
    env.st->SetParseFlags(0x4000);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    env.st->EnableCache(1);
    EXPECT_EQ(50, env.Fetch(NA_PARSE_LAST));
    ASSERT_TRUE(env.st->bCacheCompleted());
    env.st->pclGetRecordCacheNoRef()->SetRecordState(1, NA_RECORDSTATE_DELETED);
    long n = 0;
    ASSERT_TRUE(env.st->bGetNbEnrCurrentParse(&n, static_cast<NA_WRITEPARSEFLAGS>(0x4000), 0));
    EXPECT_EQ(6, n);
    // Without the flag the cache does not answer (and the block was full).
    EXPECT_FALSE(env.st->bGetNbEnrCurrentParse(&n, NA_WRITEPARSE_NONE, 0));
  }
}

// ---------------------------------------------------------------------------
// Per-mille positions
// ---------------------------------------------------------------------------

// The per mille of the current record: rank x 1000 / count rounded up, the
// rank counted from the other end on a descending result; 1 .. 1000.
TEST_F(stmtpositions_permille, CurrentPositionOfTheRowsAtHand) {
  struct Case {
    const char* name;
    int rows;
    bool descending;
    std::vector<eNA_PARSEDIRECTION> moves;
    int perMille;
  };
  const Case cases[] = {
      {"first of 3", 3, false, {NA_PARSE_FIRST}, 334},
      {"second of 3", 3, false, {NA_PARSE_FIRST, NA_PARSE_NEXT}, 667},
      {"last of 3", 3, false, {NA_PARSE_LAST}, 1000},
      {"first of 3 descending", 3, true, {NA_PARSE_FIRST}, 334},
      {"second of 3 descending", 3, true, {NA_PARSE_FIRST, NA_PARSE_NEXT}, 667},
      {"last of 3 descending", 3, true, {NA_PARSE_LAST}, 1000},
      {"first of 1000", 1000, false, {NA_PARSE_FIRST}, 1},
      {"empty", 0, false, {NA_PARSE_FIRST}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PosEnv env(Numbered(c.rows), 2000);
    ASSERT_TRUE(env.access->bOpen(env.st, c.descending));
    for (eNA_PARSEDIRECTION d : c.moves) env.Fetch(d);
    int n = -1;
    ASSERT_TRUE(env.st->bHPositionCourante(&n, 0));
    EXPECT_EQ(c.perMille, n);
    EXPECT_EQ(std::vector<std::string>{"count -1"}, env.access->vecCalls);
  }
}

// With a search the rows at hand are not the parse: the data access counts
// the records before the current one. Counts beyond 32 bits stay exact.
TEST_F(stmtpositions_permille, CurrentPositionFromTheRecordsBefore) {
  struct Case {
    long count;
    long before;
    int perMille;
  };
  const Case cases[] = {
      {3000000000L, 2999999999L, 1000}, {3000000000L, 0, 1},   {3000000000L, 1499999999L, 500},
      {3000000000L, 1500000000L, 501},  {10, 0, 100},          {10, 9, 1000},
      {7, 3, 572},                      {5, 12, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " " + std::to_string(c.before));
    PosEnv env(Numbered(5), 10);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    env.Fetch(NA_PARSE_FIRST);
    const CAny v = I4(1);
    ASSERT_TRUE(env.st->bSetUserSearch(L"ITEM0", &v, NA_PARSE_FIRST, 1));
    env.access->llCount = c.count;
    env.access->llBefore = c.before;
    int n = -1;
    ASSERT_TRUE(env.st->bHPositionCourante(&n, 0));
    EXPECT_EQ(c.perMille, n);
    EXPECT_EQ((std::vector<std::string>{"count -1", "count 3"}), env.access->vecCalls);
  }
  // A count that fails fails.
  PosEnv env(Numbered(5), 10);
  env.access->bCountOk = false;
  int n = -1;
  EXPECT_FALSE(env.st->bHPositionCourante(&n, 0));
  EXPECT_NE(NA_ERRORTYPE_NONE, env.error->eGetErrorType());
}

// Positioning at a per mille skips that share of the count from the start
// of the parse key, at least one record, with flag 0x2000 added.
TEST_F(stmtpositions_permille, PositionneSkipsFromTheStartOfTheKey) {
  struct Case {
    int perMille;
    long count;
    long skip;
  };
  const Case cases[] = {{0, 10, 1},    {1, 10, 1},        {500, 10, 5},          {1000, 10, 10},
                        {250, 0, 1},   {1000, 3000000000L, 3000000000L},   {999, 3000000000L, 2997000000L}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.perMille) + " of " + std::to_string(c.count));
    PosEnv env;
    env.st->SetParseKey(L"ITEM0");
    env.access->llCount = c.count;
    ASSERT_TRUE(env.st->bHPositionne(c.perMille, 0, 0x10));
    EXPECT_EQ((std::vector<std::string>{"count -1", "skip ITEM0 0 " + std::to_string(c.skip) + " 0x2010"}),
              env.access->vecCalls);
  }
  for (int failing : {0, 1}) {
    SCOPED_TRACE(failing ? "skip fails" : "count fails");
    PosEnv env;
    env.access->bCountOk = failing == 1;
    env.access->bSkipOk = false;
    EXPECT_FALSE(env.st->bHPositionne(500, 0, 0));
    EXPECT_EQ(failing ? 2u : 1u, env.access->vecCalls.size());
    EXPECT_NE(NA_ERRORTYPE_NONE, env.error->eGetErrorType());
  }
}

// ---------------------------------------------------------------------------
// Completing the record cache
// ---------------------------------------------------------------------------

// The rest of the parse is read through the data access; the statement's
// place, record save and pending cause come back afterwards.
TEST_F(stmtpositions_cache, CompletionReadsEveryRemainingRow) {
  for (bool keepPositions : {false, true}) {
    SCOPED_TRACE(keepPositions ? "the data access restores its position" : "the statement restores itself");
    PosEnv env(kxtest::kSevenRows, 3);
    env.access->bKeepPositions = keepPositions;
    env.st->SetCacheKey(L"ITEM0");
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    env.st->EnableCache(1);
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST));
    EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT));
    EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
    EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
    ASSERT_EQ(1, env.st->nGetDuplicateCount());
    const std::uint32_t nSave = env.access->nKeepCurrentRecordSave();
    ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave));
    env.access->nReleaseRecordSave(nSave);

    CNARecordCache* pclCache = env.st->pclGetFullRecordCache();
    ASSERT_NE(nullptr, pclCache) << env.error->StringDump().pszGet();
    EXPECT_TRUE(pclCache->bFetchComplete());
    EXPECT_EQ((std::vector<int>{10, 20, 30, 30, 30, 40, 50}), env.CacheKeys(env.st));
    EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, env.st->eParseNeedUpdate());
    EXPECT_EQ(nSave, env.st->nGetRecordSaveID());
    EXPECT_EQ(1, env.access->nSaveRefs(nSave));
    EXPECT_EQ("save ITEM0", env.access->vecCalls.front());
    if (keepPositions) {
      EXPECT_EQ("restore 1 keep 0 ITEM0", env.access->vecCalls.back());
    } else {
      EXPECT_EQ("read 2", env.access->vecCalls.back());
      EXPECT_EQ(3, env.st->llGetCurrentRecordNumber());
      EXPECT_EQ(30, env.nKey());
      EXPECT_EQ(1, env.st->nGetDuplicateCount());
      EXPECT_EQ(0, env.st->bOutOfRange());
    }
    // Complete: asked again, nothing is read.
    const int nReads = env.access->nReads;
    EXPECT_EQ(pclCache, env.st->pclGetFullRecordCache());
    EXPECT_EQ(nReads, env.access->nReads);
  }
}

// A read that fails on the way leaves the cache incomplete: no full cache
// is given (the table cache keeps asking), the statement is back where it
// stood, and a later completion reads the rest once.
TEST_F(stmtpositions_cache, ReadErrorGivesNoFullCache) {
  for (int failAt : {1, 2, 4, 7}) {
    SCOPED_TRACE("read " + std::to_string(failAt) + " fails");
    PosEnv env(kxtest::kSevenRows, 3);
    ParsedTableCache cache(env);
    CNATableCache* tc = cache.tc;
    ASSERT_TRUE(cache.bOpened);
    ASSERT_TRUE(cache.bParsed);
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST));
    env.access->nFailAtRead = failAt;

    EXPECT_EQ(nullptr, tc->pclGetFullCache());
    EXPECT_FALSE(env.st->pclGetRecordCacheNoRef()->bFetchComplete());
    EXPECT_TRUE(tc->bIsStatementParse(env.st));
    EXPECT_EQ(NA_ERRORTYPE_GENERIC, env.error->eGetErrorType());
    EXPECT_EQ(0, env.st->llGetCurrentRecordNumber());
    EXPECT_EQ(10, env.nKey());
    EXPECT_EQ(NA_PARSEUPDATE_NONE, env.st->eParseNeedUpdate());

    env.error->Reset();
    env.access->nFailAtRead = 0;
    CNARecordCache* pclFull = tc->pclGetFullCache();
    ASSERT_NE(nullptr, pclFull) << env.error->StringDump().pszGet();
    EXPECT_EQ((std::vector<int>{10, 20, 30, 30, 30, 40, 50}), env.CacheKeys(env.st));
    EXPECT_EQ(7, tc->llGetRecordNbr());
  }
}

// A statement without data access cannot read further: no full cache.
TEST_F(stmtpositions_cache, WithoutDataAccessNoFullCache) {
  PosEnv env;
  CNAStatement* pclLoose = new CNAStatement(env.record);
  pclLoose->AddRef();
  pclLoose->EnableCache(1);
  EXPECT_EQ(nullptr, pclLoose->pclGetFullRecordCache());
  pclLoose->pclGetRecordCacheNoRef()->SetFetchComplete();
  EXPECT_EQ(pclLoose->pclGetRecordCacheNoRef(), pclLoose->pclGetFullRecordCache());
  pclLoose->nRelease();
}

// ---------------------------------------------------------------------------
// Saved positions
// ---------------------------------------------------------------------------

// With a record cache the return goes by row, from memory.
TEST_F(stmtpositions_positions, BackByRowFromTheCache) {
  PosEnv env(kxtest::kSevenRows, 3);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.st->EnableCache(1);
  env.Fetch(NA_PARSE_FIRST);
  EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT));
  Position pos;
  ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
  EXPECT_EQ(1, pos.p->nGetRowID());
  ASSERT_NE(CNAPosition::knNone, pos.p->nGetRecordSaveID());
  EXPECT_EQ(1, env.access->nSaveRefs(static_cast<std::uint32_t>(pos.p->nGetRecordSaveID())));
  EXPECT_EQ(env.st, pos.p->pclGetStatementNoRef());
  EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
  EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
  const int nExecutions = env.server.nExecutions;

  ASSERT_TRUE(env.st->bSetPosition(pos.p, 0)) << env.error->StringDump().pszGet();
  EXPECT_EQ(20, env.nKey());
  EXPECT_EQ(1, env.st->llGetCurrentRecordNumber());
  EXPECT_EQ(NA_PARSEUPDATE_NONE, env.st->eParseNeedUpdate());
  EXPECT_EQ(nExecutions, env.server.nExecutions);
  int nFound = 0;
  int nIn = 0;
  env.st->EvalHTrouve(&nFound, &nIn);
  EXPECT_EQ(1, nFound);
  EXPECT_EQ(1, nIn);
  // The parse goes on from there.
  EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
  EXPECT_EQ(10, (env.Fetch(NA_PARSE_PREVIOUS), env.Fetch(NA_PARSE_PREVIOUS)));
}

// A row gone from the cache is user error 11.
TEST_F(stmtpositions_positions, RowMissingFromTheCacheIsError11) {
  PosEnv env(kxtest::kSevenRows, 3);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.st->EnableCache(1);
  env.Fetch(NA_PARSE_FIRST);
  Position pos;
  ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
  EXPECT_FALSE(env.st->_bGoToRowId(5, pos.p));
  EXPECT_EQ(11u, env.error->dwGetErrorId());
}

// After its record was deleted a position goes back by a search on its
// saved values (the cause tells the parse to reposition), with a record
// cache or without.
TEST_F(stmtpositions_positions, BackBySearchAfterTheRowWasDeleted) {
  for (bool cache : {false, true}) {
    SCOPED_TRACE(cache ? "record cache" : "no cache");
    PosEnv env(kxtest::kSevenRows, 10);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    if (cache) env.st->EnableCache(1);
    env.Fetch(NA_PARSE_FIRST);
    EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT));
    Position pos;
    ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
    // The record is deleted through the data access while the parse
    // stands on it.
    Value deleted(env.st->pclGetStmtOriginalRecord());
    env.st->OnNotifyOperation(NA_QUERY_DELETE, 1, env.st, NA_WRITEPARSE_NONE, deleted.p);
    EXPECT_EQ(NA_PARSEUPDATE_NONE, env.st->eParseNeedUpdate());
    EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
    const int nSeeks = env.server.nSeeks;

    ASSERT_TRUE(env.st->bSetPosition(pos.p, 0)) << env.error->StringDump().pszGet();
    EXPECT_EQ(20, env.nKey());
    EXPECT_EQ("b", env.sText());
    EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, env.st->eParseNeedUpdate());
    EXPECT_EQ(static_cast<std::uint32_t>(pos.p->nGetRecordSaveID()), env.st->nGetRecordSaveID());
    // Not by row: the parse did not move to the deleted row.
    EXPECT_EQ(2, env.st->llGetCurrentRecordNumber());
    EXPECT_EQ(nSeeks, env.server.nSeeks);
  }
}

// Without a cache a row of another block, or past the rows at hand, is
// found again by its values: the row number of the block at hand would
// name another record.
TEST_F(stmtpositions_positions, RowOfAnotherBlockGoesBySearch) {
  const std::vector<std::pair<int, int>> saved = {{0, 10}, {1, 20}, {2, 30}};
  for (const auto& s : saved) {
    SCOPED_TRACE("row " + std::to_string(s.first));
    PosEnv env(Rows{{10, "a"}, {20, "b"}, {30, "c"}, {40, "d"}}, 3);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    env.Fetch(NA_PARSE_FIRST);
    for (int i = 0; i < s.first; ++i) env.Fetch(NA_PARSE_NEXT);
    ASSERT_EQ(s.second, env.nKey());
    Position pos;
    ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
    EXPECT_EQ(s.first, pos.p->nGetRowID());
    // On to the next block: one row, 40.
    while (env.nKey() != 40) ASSERT_GT(env.Fetch(NA_PARSE_NEXT), 0);
    ASSERT_EQ(1u, env.access->vecContinuations.size());

    ASSERT_TRUE(env.st->bSetPosition(pos.p, 0)) << env.error->StringDump().pszGet();
    EXPECT_EQ(s.second, env.nKey());
    EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, env.st->eParseNeedUpdate());
  }
}

// Without a cache a row of the block at hand is read again by row.
TEST_F(stmtpositions_positions, BackByRowWithoutCache) {
  PosEnv env(kxtest::kSevenRows, 10);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.Fetch(NA_PARSE_FIRST);
  EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT));
  Position pos;
  ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
  env.Fetch(NA_PARSE_NEXT);
  env.Fetch(NA_PARSE_NEXT);
  const int nExecutions = env.server.nExecutions;
  ASSERT_TRUE(env.st->bSetPosition(pos.p, 0));
  EXPECT_EQ(20, env.nKey());
  EXPECT_EQ(1, env.st->llGetCurrentRecordNumber());
  EXPECT_EQ(NA_PARSEUPDATE_NONE, env.st->eParseNeedUpdate());
  EXPECT_EQ(nExecutions, env.server.nExecutions);
  EXPECT_EQ(30, env.Fetch(NA_PARSE_NEXT));
}

// Without a current row the position keeps only the record values; a
// position without saved record repositions nothing; its user search and
// (with kind bit 0) its filter come back.
TEST_F(stmtpositions_positions, PositionWithoutRowAndRestoredSearchAndFilter) {
  PosEnv env(kxtest::kSevenRows, 10);
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.Fetch(NA_PARSE_FIRST);
  const CAny v = I4(20);
  ASSERT_TRUE(env.st->bSetUserSearch(L"ITEM0", &v, NA_PARSE_FIRST, 1));
  CNAFilter* pclFilter = env.st->pclActivateFilter();
  ASSERT_NE(nullptr, pclFilter);
  env.st->SetParseStarted();
  // A write made the parse stale: no row is saved.
  ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_RERUN));
  Position pos;
  ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
  EXPECT_EQ(-1, pos.p->nGetRowID());
  EXPECT_EQ(static_cast<std::int32_t>(env.st->nGetRecordSaveID()), pos.p->nGetRecordSaveID());
  EXPECT_EQ(pclFilter, pos.p->clGetFilterSave().pclGetFilterNoRef());
  EXPECT_TRUE(pos.p->pclGetUserSearch()->bIsSet());

  // The statement loses search and filter; the position brings them back.
  env.st->DesactivateRechercheUserAndInternal();
  env.st->_SetFilter(nullptr);
  ASSERT_TRUE(env.st->bSetPosition(pos.p, 1));
  EXPECT_EQ(pclFilter, env.st->pclGetFilter());
  EXPECT_EQ(pclFilter, env.access->pclGetLatestFilterNoRef());
  ASSERT_NE(nullptr, env.st->pclGetUserSearchValue());
  EXPECT_TRUE(env.st->bInternalSearch());

  // Nothing saved: nothing changes but the filter (kind bit 0).
  Position empty;
  const int nKey = env.nKey();
  ASSERT_TRUE(env.st->bSetPosition(empty.p, 0));
  EXPECT_NE(nullptr, env.st->pclGetUserSearchValue());
  EXPECT_EQ(pclFilter, env.st->pclGetFilter());
  EXPECT_EQ(nKey, env.nKey());
  ASSERT_TRUE(env.st->bSetPosition(empty.p, 1));
  EXPECT_EQ(nullptr, env.st->pclGetFilter());
  EXPECT_NE(nullptr, env.st->pclGetUserSearchValue());
  EXPECT_FALSE(env.st->bSetPosition(nullptr, 0));
}

// The table of saved positions: one position per number, references kept
// right.
TEST_F(stmtpositions_positions, SavedPositionTable) {
  PosEnv env;
  Position a;
  Position b;
  const auto nA = a.p->nGetInternalCount();
  ASSERT_TRUE(env.st->bAddSavedPosition(3, a.p));
  EXPECT_EQ(nA + 1, a.p->nGetInternalCount());
  ASSERT_TRUE(env.st->bAddSavedPosition(3, a.p));
  EXPECT_EQ(nA + 1, a.p->nGetInternalCount());
  CNAPosition* pclGot = env.st->pclGetSavedPosition(3);
  EXPECT_EQ(a.p, pclGot);
  EXPECT_EQ(nA + 2, a.p->nGetInternalCount());
  pclGot->nRelease();
  ASSERT_TRUE(env.st->bAddSavedPosition(3, b.p));
  EXPECT_EQ(nA, a.p->nGetInternalCount());
  EXPECT_EQ(nullptr, env.st->pclGetSavedPosition(4));
  EXPECT_TRUE(env.st->bRemoveSavedPosition(3));
  EXPECT_FALSE(env.st->bRemoveSavedPosition(3));
  EXPECT_EQ(nullptr, env.st->pclGetSavedPosition(3));
}

// ---------------------------------------------------------------------------
// Searches and filters
// ---------------------------------------------------------------------------

// The user search is what the table cache's indexes search from: set by
// bSetUserSearch (which also drops a pending update), cleared by both
// cancellations.
TEST_F(stmtpositions_search, UserSearchSetAndCleared) {
  PosEnv env;
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.Fetch(NA_PARSE_FIRST);
  const std::uint32_t nSave = env.access->nKeepCurrentRecordSave();
  ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave));
  env.access->nReleaseRecordSave(nSave);
  ASSERT_EQ(1, env.access->nSaveRefs(nSave));
  const int nHeld = env.src.nHandedOut();

  const CAny v = I4(30);
  ASSERT_TRUE(env.st->bSetUserSearch(L"ITEM0", &v, NA_PARSE_FIRST, 1));
  EXPECT_EQ(NA_PARSEUPDATE_NONE, env.st->eParseNeedUpdate());
  EXPECT_EQ(CNAStatement::knNoSave, env.st->nGetRecordSaveID());
  EXPECT_EQ(0, env.access->nSaveRefs(nSave));
  const CAny* pclValue = env.st->pclGetUserSearchValue();
  ASSERT_NE(nullptr, pclValue);
  int n = 0;
  EXPECT_EQ(0, pclValue->nGetINT(&n));
  EXPECT_EQ(30, n);
  EXPECT_EQ(0u, env.st->pclGetUserSearch()->nGetFlags());
  EXPECT_TRUE(env.st->bExistRechercheObject());
  EXPECT_FALSE(env.st->bInternalSearch());

  env.st->AnnuleRechercheUser();
  EXPECT_EQ(nullptr, env.st->pclGetUserSearchValue());

  // A generic search; then everything off.
  ASSERT_TRUE(env.st->bSetUserSearch(L"ITEM0", &v, NA_PARSE_FIRST, 0));
  EXPECT_EQ(CNAUserSearch::knFlagGeneric, env.st->pclGetUserSearch()->nGetFlags());
  env.st->PrepareInternalSearch();
  env.st->DesactivateRechercheUserAndInternal();
  EXPECT_EQ(nullptr, env.st->pclGetUserSearchValue());
  EXPECT_FALSE(env.st->bExistRechercheObject());
  EXPECT_FALSE(env.st->bInternalSearch());

  // The items taken for the search are given back with it.
  EXPECT_EQ(nHeld, env.src.nHandedOut());
  // An item the description does not have.
  env.error->Reset();
  EXPECT_FALSE(env.st->bSetUserSearch(L"NOPE", &v, NA_PARSE_FIRST, 1));
  EXPECT_EQ(6u, env.error->dwGetErrorId());
  EXPECT_EQ(nullptr, env.st->pclGetUserSearchValue());
  EXPECT_EQ(nHeld, env.src.nHandedOut());
}

// A filter another holder keeps is not changed under it: the statement
// takes a new one, in the same state.
TEST_F(stmtpositions_search, FilterSharedWithAPositionIsReplaced) {
  PosEnv env;
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.Fetch(NA_PARSE_FIRST);
  const CAny lo = I4(20);
  const CAny hi = I4(40);
  ASSERT_TRUE(env.st->bSetFilter(L"ITEM0", &lo, 1, &hi, 1, nullptr));
  CNAFilter* pclFirst = env.st->pclGetFilter();
  ASSERT_NE(nullptr, pclFirst);
  EXPECT_FALSE(pclFirst->bIsFilterActive());
  ASSERT_EQ(pclFirst, env.st->pclActivateFilter());
  // Not shared: set again in place.
  ASSERT_TRUE(env.st->bSetFilter(L"ITEM0", &lo, 1, nullptr, 0, nullptr));
  EXPECT_EQ(pclFirst, env.st->pclGetFilter());

  Position pos;
  env.st->SetParseStarted();
  ASSERT_TRUE(env.st->bGetPosition(pos.p, 0));
  ASSERT_EQ(pclFirst, pos.p->clGetFilterSave().pclGetFilterNoRef());
  CNAExpression* pclKeptTree = pclFirst->pclGetFilterTreeNoRef();
  ASSERT_TRUE(env.st->bSetFilter(L"ITEM0", &hi, 1, nullptr, 0, nullptr));
  CNAFilter* pclSecond = env.st->pclGetFilter();
  EXPECT_NE(pclFirst, pclSecond);
  EXPECT_TRUE(pclSecond->bIsFilterActive());
  EXPECT_EQ(pclKeptTree, pclFirst->pclGetFilterTreeNoRef());

  env.st->DesactivateFilter();
  EXPECT_FALSE(env.st->bExistFilter());
  env.error->Reset();
  const int nHeld = env.src.nHandedOut();
  EXPECT_FALSE(env.st->bSetFilter(L"NOPE", &lo, 1, nullptr, 0, nullptr));
  EXPECT_EQ(6u, env.error->dwGetErrorId());
  EXPECT_EQ(nHeld, env.src.nHandedOut());
}

// ---------------------------------------------------------------------------
// Write notifications
// ---------------------------------------------------------------------------

// Over ten rows read up to the third, each kind of write by the statement
// itself or by another one, with a record cache or without: whether the
// parse is kept (cause), and what the next reads show.
TEST_F(stmtpositions_notify, WritesKeepOrInvalidateTheParse) {
  enum Write { kDeleteCurrent, kUpdateText, kUpdateKey, kUpdateOther, kInsert };
  struct Case {
    const char* name;
    Write write;
    bool cache;
    ePARSENEEDUPDATECAUSE cause;
    int next;            // key after a next (0: not read)
    int backAgain;       // key after next then previous (0: not read)
    const char* textAt3; // text shown when row 3 is read again (null: not read)
  };
  const Case cases[] = {
      {"delete, no cache", kDeleteCurrent, false, NA_PARSEUPDATE_NONE, 4, 2, nullptr},
      {"delete, cache", kDeleteCurrent, true, NA_PARSEUPDATE_NONE, 4, 2, nullptr},
      {"update text, no cache", kUpdateText, false, NA_PARSEUPDATE_NONE, 4, 3, "new"},
      {"update text, cache", kUpdateText, true, NA_PARSEUPDATE_NONE, 4, 3, "new"},
      {"update key, no cache", kUpdateKey, false, NA_PARSEUPDATE_RERUN, 0, 0, nullptr},
      {"update key, cache", kUpdateKey, true, NA_PARSEUPDATE_REPOSITION, 0, 0, nullptr},
      {"update of another record, no cache", kUpdateOther, false, NA_PARSEUPDATE_RERUN, 0, 0, nullptr},
      {"update of another record, cache", kUpdateOther, true, NA_PARSEUPDATE_REPOSITION, 0, 0, nullptr},
      {"insert, no cache", kInsert, false, NA_PARSEUPDATE_RERUN, 0, 0, nullptr},
      {"insert, cache", kInsert, true, NA_PARSEUPDATE_REPOSITION, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    for (bool byOther : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (byOther ? ", other writer" : ", this writer"));
      PosEnv env(Numbered(10), 20);
      env.st->SetParseKey(L"ITEM0");
      ASSERT_TRUE(env.access->bOpen(env.st, false));
      if (c.cache) env.st->EnableCache(1);
      env.Fetch(NA_PARSE_FIRST);
      env.Fetch(NA_PARSE_NEXT);
      ASSERT_EQ(3, env.Fetch(NA_PARSE_NEXT));
      CountStatement* pclOther = env.NewStatement();
      CNAStatement* pclWriter = byOther ? pclOther : env.st;

      Value old(env.st->pclGetStmtOriginalRecord());
      CNARecordValue* pclCurrent = env.record->pclGetCurrentRecordValue();
      CNARecordValue* pclOriginal = env.record->pclGetOriginalRecordValue();
      // The layout holds the record as read (original) and as written
      // (current), as the data access leaves it after a write.
      ASSERT_TRUE(pclOriginal->bCopyRecordValue(old.p, NA_COPY_ALL));
      eNAQUERYTYPE type = NA_QUERY_UPDATE;
      switch (c.write) {
        case kDeleteCurrent:
          type = NA_QUERY_DELETE;
          break;
        case kUpdateText:
          env.SetText(pclCurrent, "new");
          break;
        case kUpdateKey:
          env.SetKey(pclCurrent, 35);
          break;
        case kUpdateOther:
          env.SetKey(old.p, 7);
          env.SetText(old.p, "t7");
          ASSERT_TRUE(pclOriginal->bCopyRecordValue(old.p, NA_COPY_ALL));
          break;
        case kInsert:
          type = NA_QUERY_INSERT;
          env.SetKey(pclCurrent, 11);
          break;
      }
      Value written(pclCurrent);
      env.st->OnNotifyOperation(type, -1, pclWriter, NA_WRITEPARSE_NONE,
                                type == NA_QUERY_INSERT ? written.p : old.p);
      EXPECT_EQ(c.cause, env.st->eParseNeedUpdate());
      if (c.cause != NA_PARSEUPDATE_NONE) {
        // The parse is taken up again from the record it stood on.
        ASSERT_NE(CNAStatement::knNoSave, env.st->nGetRecordSaveID());
        EXPECT_GE(env.access->nSaveRefs(env.st->nGetRecordSaveID()), 1);
      }
      if (c.next != 0) {
        EXPECT_EQ(c.next, env.Fetch(NA_PARSE_NEXT));
      }
      if (c.backAgain != 0) {
        EXPECT_EQ(c.backAgain, env.Fetch(NA_PARSE_PREVIOUS));
        if (c.textAt3 != nullptr) {
          EXPECT_EQ(c.textAt3, env.sText());
        }
        if (c.write == kDeleteCurrent) {
          EXPECT_EQ(4, env.Fetch(NA_PARSE_NEXT));
        }
      }
      pclOther->nRelease();
    }
  }
}

// Deleting the record a repositioning waits for makes the parse run
// again; an insert read by the index cache goes into the record cache.
TEST_F(stmtpositions_notify, PendingRepositionAndInsertIntoTheCache) {
  {
    PosEnv env(Numbered(10), 20);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    env.st->EnableCache(1);
    env.Fetch(NA_PARSE_FIRST);
    Value old(env.st->pclGetStmtOriginalRecord());
    ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION));
    env.st->OnNotifyOperation(NA_QUERY_DELETE, -1, env.st, NA_WRITEPARSE_NONE, old.p);
    EXPECT_EQ(NA_PARSEUPDATE_RERUN, env.st->eParseNeedUpdate());
  }
  {
    PosEnv env(Numbered(10), 20);
    env.st->SetParseFlags(0x4000);
    ASSERT_TRUE(env.access->bOpen(env.st, false));
    env.st->EnableCache(1);
    EXPECT_EQ(10, env.Fetch(NA_PARSE_LAST));
    ASSERT_TRUE(env.st->bCacheCompleted());
    CNARecordValue* pclCurrent = env.record->pclGetCurrentRecordValue();
    env.SetKey(pclCurrent, 11);
    Value added(pclCurrent);
    env.st->OnNotifyOperation(NA_QUERY_INSERT, -1, nullptr, NA_WRITEPARSE_NONE, added.p);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), env.CacheKeys(env.st));
    EXPECT_EQ(10, env.st->llGetCurrentRecordNumber());
  }
}

// A deletion on a stream marks nothing (the stream has no rows to mark):
// the parse must be run again rather than show the deleted row.
TEST_F(stmtpositions_notify, DeleteOnAStreamMarksNothing) {
  PosEnv env(Numbered(10), 20);
  env.server.bStream = true;
  ASSERT_TRUE(env.access->bOpen(env.st, false));
  env.Fetch(NA_PARSE_FIRST);
  Value old(env.st->pclGetStmtOriginalRecord());
  env.st->OnNotifyOperation(NA_QUERY_DELETE, -1, env.st, NA_WRITEPARSE_NONE, old.p);
  EXPECT_EQ(0, env.st->nGetDeletedRowCount());
  EXPECT_EQ(NA_PARSEUPDATE_RERUN, env.st->eParseNeedUpdate());
  EXPECT_TRUE(env.st->bCurrentRecordDeleted());
}

// ---------------------------------------------------------------------------
// The table cache's index
// ---------------------------------------------------------------------------

// A statement reading through the table cache gets an index on its key:
// its user search makes first and last land on the first and the last
// record of the searched value; writes by other statements reach the
// index, its own do not.
TEST_F(stmtpositions_tablecache, SearchThroughAnIndexLandsOnFirstAndLastEqual) {
  for (bool byOther : {false, true}) {
    SCOPED_TRACE(byOther ? "deleted by another statement" : "deleted by itself");
    PosEnv env(kxtest::kSevenRows, 3);
    // The parsing statement fills the table cache.
    ParsedTableCache cache(env);
    CNATableCache* tc = cache.tc;
    ASSERT_TRUE(cache.bOpened);
    ASSERT_TRUE(cache.bParsed);
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST));
    cache.Attach();

    CountStatement* s = env.NewStatement();
    s->SetCacheKey(L"ITEM0");
    const CAny v = I4(30);
    ASSERT_TRUE(s->bSetUserSearch(L"ITEM0", &v, NA_PARSE_FIRST, 1));
    EXPECT_EQ(30, env.Fetch(NA_PARSE_FIRST, s)) << env.error->StringDump().pszGet();
    ASSERT_NE(nullptr, s->pclGetTableCacheIndexNoRef());
    EXPECT_EQ(tc->pclGetFullCacheNoRef(), s->pclGetRecordCacheNoRef());
    EXPECT_EQ(2, s->llGetCurrentRecordNumber());
    int nFound = 0;
    s->EvalHTrouve(&nFound, nullptr);
    EXPECT_EQ(1, nFound);
    EXPECT_EQ(30, env.Fetch(NA_PARSE_LAST, s));
    EXPECT_EQ(4, s->llGetCurrentRecordNumber());
    EXPECT_EQ(40, env.Fetch(NA_PARSE_NEXT, s));
    s->EvalHTrouve(&nFound, nullptr);
    EXPECT_EQ(0, nFound);
    EXPECT_EQ(1, s->eGetQueryType());

    // Record 2 (the first 30) deleted: the layout's original record is that
    // record as it was read.
    CNARecordValue* pclOriginal = env.record->pclGetOriginalRecordValue();
    ASSERT_TRUE(tc->pclGetFullCacheNoRef()->bGetAt(pclOriginal, 2));
    s->OnNotifyOperation(NA_QUERY_DELETE, 2, byOther ? static_cast<CNAStatement*>(env.st) : s, NA_WRITEPARSE_NONE,
                         pclOriginal);
    s->bSetParseNeedUpdate(NA_PARSEUPDATE_NONE, CNAStatement::knNoSave);
    EXPECT_EQ(30, env.Fetch(NA_PARSE_FIRST, s));
    EXPECT_EQ(byOther ? 3 : 2, s->llGetCurrentRecordNumber());

    // Without search the index walks every record; the per mille comes
    // from the index (6 or 7 records left).
    s->DesactivateRechercheUserAndInternal();
    int nPerMille = 0;
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST, s));
    ASSERT_TRUE(s->bHPositionCourante(&nPerMille, 0));
    EXPECT_EQ(byOther ? 167 : 143, nPerMille);
    EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT, s));
    ASSERT_TRUE(s->bHPositionCourante(&nPerMille, 0));
    EXPECT_EQ(byOther ? 334 : 286, nPerMille);
    EXPECT_EQ(50, env.Fetch(NA_PARSE_LAST, s));
    ASSERT_TRUE(s->bHPositionCourante(&nPerMille, 0));
    EXPECT_EQ(1000, nPerMille);
    // The index counts without the server.
    long nCount = 0;
    ASSERT_TRUE(s->bGetNbEnrCurrentParse(&nCount, NA_WRITEPARSE_NONE, 0));
    EXPECT_EQ(byOther ? 6 : 7, nCount);
    EXPECT_TRUE(std::find(env.access->vecCalls.begin(), env.access->vecCalls.end(), "count -1") ==
                env.access->vecCalls.end());

    // The index goes: the parse stands on a record and must reposition.
    s->DestroyCacheIndex();
    EXPECT_EQ(nullptr, s->pclGetTableCacheIndexNoRef());
    EXPECT_EQ(nullptr, s->pclGetRecordCacheNoRef());
    EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, s->eParseNeedUpdate());
    s->nRelease();
  }
}

// After a write the parse goes on from the record it stood on: in the
// table cache's index (its record deleted by another statement, next
// reads the record after it and previous the one before), and in the
// parsing statement's own cache (completed when the record lies beyond
// it; a record no longer there is user error 13).
TEST_F(stmtpositions_tablecache, RepositionedAfterAWrite) {
  for (eNA_PARSEDIRECTION d : {NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
    SCOPED_TRACE(d == NA_PARSE_NEXT ? "next" : "previous");
    PosEnv env(kxtest::kSevenRows, 3);
    ParsedTableCache cache(env);
    CNATableCache* tc = cache.tc;
    ASSERT_TRUE(cache.bOpened);
    ASSERT_TRUE(cache.bParsed);
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST));
    cache.Attach();
    CountStatement* s = env.NewStatement();
    s->SetCacheKey(L"ITEM0");
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST, s));
    EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT, s));
    CNARecordValue* pclOriginal = env.record->pclGetOriginalRecordValue();
    ASSERT_TRUE(tc->pclGetFullCacheNoRef()->bGetAt(pclOriginal, 1));
    s->OnNotifyOperation(NA_QUERY_DELETE, 1, env.st, NA_WRITEPARSE_NONE, pclOriginal);
    EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, s->eParseNeedUpdate());
    EXPECT_EQ(d == NA_PARSE_NEXT ? 30 : 10, env.Fetch(d, s));
    EXPECT_EQ(NA_PARSEUPDATE_NONE, s->eParseNeedUpdate());
    EXPECT_EQ(CNAStatement::knNoSave, s->nGetRecordSaveID());
    s->nRelease();
  }
  struct Case {
    int savedKey;
    int next;  // -1: fails, user error 13
  };
  for (const Case c : {Case{20, 30}, Case{40, 50}, Case{99, -1}}) {
    SCOPED_TRACE("saved " + std::to_string(c.savedKey));
    PosEnv env(kxtest::kSevenRows, 3);
    ParsedTableCache cache(env);
    ASSERT_TRUE(cache.bOpened);
    ASSERT_TRUE(cache.bParsed);
    cache.Attach();
    EXPECT_EQ(10, env.Fetch(NA_PARSE_FIRST));
    EXPECT_EQ(20, env.Fetch(NA_PARSE_NEXT));
    // The record to go on from, as a write left it.
    Value saved(env.record->pclGetCurrentRecordValue());
    env.SetKey(saved.p, c.savedKey);
    env.SetText(saved.p, c.savedKey == 40 ? "d" : (c.savedKey == 20 ? "b" : "z"));
    ASSERT_TRUE(env.record->pclGetCurrentRecordValue()->bCopyRecordValue(saved.p, NA_COPY_ALL));
    const std::uint32_t nSave = env.access->nKeepCurrentRecordSave();
    ASSERT_TRUE(env.st->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION, nSave));
    env.access->nReleaseRecordSave(nSave);
    if (c.next < 0) {
      EXPECT_FALSE(env.st->bFetch(NA_PARSE_NEXT, 0, 1));
      EXPECT_EQ(13u, env.error->dwGetErrorId());
      EXPECT_EQ(1, env.st->bOutOfRange());
      EXPECT_TRUE(env.st->bCacheCompleted());
    } else {
      EXPECT_EQ(c.next, env.Fetch(NA_PARSE_NEXT)) << env.error->StringDump().pszGet();
      EXPECT_EQ(NA_PARSEUPDATE_NONE, env.st->eParseNeedUpdate());
    }
  }
}

}  // namespace
