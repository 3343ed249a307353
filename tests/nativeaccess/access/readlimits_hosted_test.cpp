// The record limit a read puts on its SELECT, seen in the text the server
// receives: the automatic size from the widest row met (a block of about a
// megabyte, never fewer than 20 rows), the driver's own default before any
// row was met, the rows a long skip leaves the server to pass over, and the
// browse orders that take no limit (a float in the order, no unique item
// to tell equal keys apart, a query sent as written or holding a join).
// The fixed cache sizes and the MariaDB driver's default are checked on the
// real server (read_live).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/InMemoryStatementSQL.h"
#include "support/QueryAccess.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

using kxtest::MemRow;
using kxtest::MemRows;

constexpr int knRows = 2000;

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The test driver with a default record limit of its own, whose data
// accesses get the generic statement.
class LimitDriver : public kxtest::TestDriver {
 public:
  explicit LimitDriver(std::int64_t defaultLimit) { m_llValue = defaultLimit; }
  CNAStatement* pclAllocStatement(CNADataAccess* access, CNAConnectionDescription* /*cnx*/,
                                  CNAError* error) override {
    return new CNAStatement(access, error);
  }
};

class SizedConnection : public kxtest::AnswerConnection {
 public:
  void SetCacheSize(std::int64_t size) { m_llCacheSize = size; }
};

// A table of knRows rows over items laid out in this order: id (primary
// key), k (not unique, five rows a value), f (unique, 8-byte float), g (not
// unique, 4-byte float), u (unique, after the floats). Every one of them
// orders the rows as id does, so the in-memory server answers any SELECT
// of the table with the rows in id order, from the LIMIT's offset on, as
// many as it asks for. LimitDriver is the process's driver meanwhile.
struct LimitEnv {
  kxtest::InMemoryServer server;
  LimitDriver* driver = nullptr;
  CNADriver* previous = nullptr;
  kxtest::QuerySource src;
  SizedConnection* cnx = nullptr;
  CNAError* error = nullptr;
  kxtest::QueryAccess* access = nullptr;
  CNAItemDescription* id = nullptr;
  CNAItemDescription* k = nullptr;
  CNAItemDescription* f = nullptr;
  CNAItemDescription* g = nullptr;
  CNAItemDescription* u = nullptr;

  explicit LimitEnv(std::int64_t driverDefault) {
    {
      CNADriverLock lock;
      driver = new LimitDriver(driverDefault);
      driver->bInitDriver();
      previous = CNADriver::s_pclDriver;
      CNADriver::s_pclDriver = driver;
    }
    driver->fnStatementMaker = [this](CNAConnectionDescription* c, CNAError* e) -> CNAStatementSQL* {
      return new kxtest::InMemoryStatementSQL(&server, c, e);
    };
    server.nColumns = 5;
    server.fnAnswer = [](const std::string& text, MemRows* rows) {
      static const std::regex re("^SELECT `id`,`k`,`f`,`g`,`u` FROM `tbl`(?: ORDER BY [^L]+?)?(?: LIMIT (?:(\\d+), )?(\\d+))?$");
      std::smatch m;
      if (!std::regex_match(text, m, re)) return false;
      const long nOffset = m[1].matched ? std::stol(m[1]) : 0;
      const long nLimit = m[2].matched ? std::stol(m[2]) : knRows;
      for (long i = nOffset; i < knRows && i < nOffset + nLimit; ++i) {
        const std::string sId = std::to_string(i + 1);
        rows->push_back(MemRow{sId, std::to_string(i / 5), sId + ".5", std::to_string(i / 5) + ".25", sId});
      }
      return true;
    };
    id = Item(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE);
    k = Item(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    f = Item(L"f", NA_IT_R8, 8, CNAItemDescription::KEY_UNIQUE);
    g = Item(L"g", NA_IT_R4, 4, CNAItemDescription::KEY_DUPLICATES);
    u = Item(L"u", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE);
    src.piBest = id;
    cnx = new SizedConnection();
    cnx->AddRef();
    error = new CNAError();
    error->AddRef();
    access = new kxtest::QueryAccess(&src, cnx, error);
    access->AddRef();
    EXPECT_TRUE(access->_bInitCurrentRecord());
    access->SetOpened(1);
  }
  ~LimitEnv() {
    access->bHFerme();
    access->nRelease();
    error->nRelease();
    cnx->nRelease();
    CNADriverLock lock;
    delete driver;
    CNADriver::s_pclDriver = previous;
  }
  LimitEnv(const LimitEnv&) = delete;
  LimitEnv& operator=(const LimitEnv&) = delete;

  CNAItemDescription* Item(const wchar_t* n, eNA_ITEMTYPE type, std::uint32_t size, std::uint16_t keys) {
    CNAItemDescription* p = src.pclAdd(type, size, 1, keys);
    const std::uint32_t nOffset = p->nGetOffset(0);
    p->bInit(n, L"SRC", n, 1, size, type, p->nGetPhysicalIndice(), -1, keys, 0, 0);
    p->SetOffset(nOffset);
    p->SetNullable(0);
    return p;
  }
  int nCurrentId() const {
    CAny v;
    int n = -1;
    CNAColumn* pclColumn = access->pclGetCurrentRecord()->pclGetColumnNoRef(id);
    if (pclColumn == nullptr || !pclColumn->bGetCurrentValue(&v, 0) || v.nGetINT(&n) != 0) return -1;
    return n;
  }
};

class readlimits : public BoundRuntimeTest {};

// What ends the SELECT of a first read (skip 0) or a skip from the first
// record, and the record the read reaches.
TEST_F(readlimits, LimitOfTheSelectByRowLengthSkipAndKey) {
  struct Case {
    const char* what;
    std::int64_t driverDefault;
    std::int64_t cacheSize;
    std::uint64_t rowLength;  // the widest row met so far
    const wchar_t* key;
    long skip;
    const char* clause;  // what ends the text; "" no LIMIT at all
  };
  const Case cases[] = {
      // The automatic size (-2).
      {"no row met: the driver's default", 100, -2, 0, L"id", 0, " LIMIT 100"},
      {"no row met, a driver without default", -1, -2, 0, L"id", 0, ""},
      {"rows of 4096 bytes", 100, -2, 4096, L"id", 0, " LIMIT 256"},
      {"rows of 52428 bytes: 20 exactly", 100, -2, 52428, L"id", 0, " LIMIT 20"},
      {"rows of 100000 bytes: raised to 20", 100, -2, 100000, L"id", 0, " LIMIT 20"},
      {"rows wider than a block", 100, -2, 4u << 20, L"id", 0, " LIMIT 20"},
      {"one-byte rows", 100, -2, 1, L"id", 0, " LIMIT 1048576"},
      // Long skips: the server passes over all but the last rows.
      {"skip 1000 at 256 rows", 100, -2, 4096, L"id", 1000, " LIMIT 990, 256"},
      {"skip 1000 at 20 rows: a third and one", 100, -2, 100000, L"id", 1000, " LIMIT 993, 20"},
      {"skip 1000 at 21 rows", 100, 21, 0, L"id", 1000, " LIMIT 990, 21"},
      {"skip 5 at 2 rows", 100, 2, 0, L"id", 5, " LIMIT 4, 2"},
      {"skip 1 at 1 row", 100, 1, 0, L"id", 1, " LIMIT 1"},
      {"skip 3 at 1 row", 100, 1, 0, L"id", 3, " LIMIT 2, 1"},
      {"skip of exactly one block", 100, 100, 0, L"id", 100, " LIMIT 90, 100"},
      {"skip 1000 unlimited (0)", 100, 0, 4096, L"id", 1000, ""},
      {"skip 1000 unlimited (-1)", 100, -1, 4096, L"id", 1000, ""},
      // The browse order.
      {"not unique, told apart by id", 100, 100, 0, L"k", 0, " LIMIT 100"},
      {"a unique float", 100, 100, 0, L"f", 0, ""},
      {"a 4-byte float", 100, -2, 4096, L"g", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LimitEnv env(c.driverDefault);
    env.cnx->SetCacheSize(c.cacheSize);
    env.access->SetMaxRowLength(c.rowLength);
    if (c.skip == 0) {
      ASSERT_TRUE(env.access->bHLitxxx(c.key, NA_PARSE_FIRST, 1, 0, nullptr, 0)) << Narrow(env.error->pszGetError());
    } else {
      ASSERT_TRUE(env.access->bSkipRecord(c.key, NA_PARSE_FIRST, c.skip, 1, 0, nullptr, 0))
          << Narrow(env.error->pszGetError());
    }
    ASSERT_EQ(1u, env.server.vecTexts.size());
    const std::string& text = env.server.vecTexts[0];
    const std::string clause = c.clause;
    if (clause.empty()) {
      EXPECT_EQ(std::string::npos, text.find("LIMIT")) << text;
    } else {
      ASSERT_GE(text.size(), clause.size()) << text;
      EXPECT_EQ(clause, text.substr(text.size() - clause.size())) << text;
    }
    // The skip reached its record, whatever the server passed over.
    EXPECT_EQ(c.skip == 0 ? 1 : c.skip, env.nCurrentId());
  }
}

// On a key that is not unique, equal keys are told apart by the best browse
// item: without one, with one that is not unique, or with one laid out
// after a float item, the SELECT takes no limit.
TEST_F(readlimits, NonUniqueKeyNeedsAUniqueBestItemBeforeAnyFloat) {
  struct Case {
    const char* what;
    int best;  // 0 none, 1 id, 2 k, 3 u
    bool limited;
  };
  const Case cases[] = {
      {"best id", 1, true},
      {"no best item", 0, false},
      {"best item not unique", 2, false},
      {"best item after a float", 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LimitEnv env(100);
    env.cnx->SetCacheSize(50);
    CNAItemDescription* const tabBest[] = {nullptr, env.id, env.k, env.u};
    env.src.piBest = tabBest[c.best];
    ASSERT_TRUE(env.access->bHLitxxx(L"k", NA_PARSE_FIRST, 1, 0, nullptr, 0)) << Narrow(env.error->pszGetError());
    ASSERT_EQ(1u, env.server.vecTexts.size());
    const std::string& text = env.server.vecTexts[0];
    if (c.limited) {
      EXPECT_EQ(" LIMIT 50", text.substr(text.size() - 9)) << text;
    } else {
      EXPECT_EQ(std::string::npos, text.find("LIMIT")) << text;
    }
  }
}

// A query: rewritten it is limited like a table; sent as written (mode
// bit value 4) or holding a join (bit 31) it is not, skip or no skip.
TEST_F(readlimits, QueryAsWrittenOrJoinedTakesNoLimit) {
  struct Case {
    const char* what;
    std::uint32_t mode;
    long skip;
    const wchar_t* ending;  // "" no LIMIT
  };
  const Case cases[] = {
      {"rewritten", 0, 0, L" LIMIT 30"},
      {"rewritten, skip 100", 0, 100, L" LIMIT 90, 30"},
      {"as written", NA_QUERYMODE_ASWRITTEN, 0, L""},
      {"as written, skip 100", NA_QUERYMODE_ASWRITTEN, 100, L""},
      {"joined", NA_QUERYMODE_JOIN, 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      CStandInParserLedger::Reset();
      CStandInParserBuilder builder(L"SELECT id, k FROM tbl");
      builder.Column(L"id", L"tbl", L"id");
      builder.Column(L"k", L"tbl", L"k");
      builder.From(L"tbl");
      // Outlives the data access, which reads the query through it.
      CStandInQueryParameters values;
      LimitEnv env(100);
      env.cnx->SetCacheSize(30);
      CSQLParserInfo* query = new CSQLParserInfo(env.error, builder.pi(), &values, 0);
      query->AddRef();
      env.access->SetQuery(1);
      env.access->bAsWritten = (c.mode & NA_QUERYMODE_ASWRITTEN) != 0 ? 1 : 0;
      env.access->SetQueryMode(c.mode);
      env.access->SetSourceQuery(query);
      CNAStatement* st = env.access->_pclInitStatement(L"id");
      ASSERT_NE(nullptr, st);
      CNACommand* command = env.access->pclAllocCommand(env.error);
      ASSERT_NE(nullptr, command);
      command->AddRef();
      long count = c.skip;
      EXPECT_TRUE(env.access->bBuildSelect(command, st, L"id", 1, 0, c.skip > 0 ? &count : nullptr))
          << Narrow(env.error->pszGetError());
      const wchar_t* psz = command->pszGetFormatedSQL(PARAMTYPECONV_ALL);
      const std::wstring text = psz != nullptr ? psz : L"";
      const std::wstring ending = c.ending;
      if (ending.empty()) {
        EXPECT_EQ(std::wstring::npos, text.find(L"LIMIT")) << Narrow(text);
        // Nothing left for the fetch to skip over but the whole count.
        EXPECT_EQ(c.skip, count);
      } else {
        ASSERT_GE(text.size(), ending.size()) << Narrow(text);
        EXPECT_EQ(ending, text.substr(text.size() - ending.size())) << Narrow(text);
        EXPECT_EQ(c.skip > 0 ? 10 : 0, count);
      }
      command->nRelease();
      st->nRelease();
      env.access->SetSourceQuery(nullptr);
      query->nRelease();
    }
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
  }
}

}  // namespace
