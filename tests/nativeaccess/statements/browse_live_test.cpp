// A browse end to end on the fixture's server: a table of 1,000 rows read in
// the order of a text key through the library's own data access (the MariaDB
// driver's, as the driver's factory hands it out), in blocks of a small
// record limit ("KX Cache Size" of the connection), so that every block ends
// in a continuation SELECT that starts after (or before) the last record
// read.
//
// The key `k` is a nullable VARCHAR under utf8mb4_general_ci with about 40
// values scattered over the ids: NULL, and 'abc', 'ABC', 'àbc' and 'abc '
// (all equal under that collation, PAD SPACE) among them, so runs of equal
// keys are long and cross the edges of blocks. The ids a browse gives are
// compared with the server's own order of the same rows (ORDER BY k, id;
// the key described as descending: ORDER BY k DESC, id), never the keys:
// what counts as equal or greater is the server's business.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMySQLConnection.h"
#include "CNAColumn.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/DriverLiveTest.h"
#include "nativeaccess/support/HexBytes.h"
#include "CMySQLDataAccess.h"
#include "nativeaccess/support/AccessBrowser.h"
#include "nativeaccess/support/BrowseTable.h"

namespace {

using BrowseAccess = kxtest::AccessBrowser;
using kxtest::BrowseTable;

// The cache size that asks for the automatic record limit.
constexpr std::int64_t knAutomaticLimit = -2;

using kxtest::Hex;
using kxtest::Narrow;

constexpr int knRows = 1000;

// The key values, UTF-8; nullptr is NULL. The first four are one value
// under the column's collation.
const char* const kKeys[] = {
    "abc",  "ABC",  "\xC3\xA0" "bc", "abc ", nullptr, "",     "a",    "A",      "ab",  "abd",
    "b",    "B",    "\xC3\xA9",      "e",    "E",     "z",    "Z",    "zz",     "\xC3\x9F", "ss",
    "0",    "1",    "10",            "9",    " ",     "x y",  "xy",   "\xC3\xB1", "n",  "O'Brien",
    "a\\b", "%",    "_",             "y",    "\xC3\xBF", "\xC3\x85" "ngstr\xC3\xB6m", "angstrom", "Q", "q", "~",
};
constexpr int knKeys = static_cast<int>(sizeof kKeys / sizeof kKeys[0]);

std::string Ids(const std::vector<int>& ids, std::size_t from, std::size_t n) {
  std::ostringstream s;
  for (std::size_t k = from; k < ids.size() && k < from + n; ++k) s << (k > from ? " " : "") << ids[k];
  return s.str();
}

// The first place two id lists differ, with some context; "" when equal.
std::string FirstDifference(const std::vector<int>& got, const std::vector<int>& want) {
  if (got == want) return "";
  std::size_t k = 0;
  while (k < got.size() && k < want.size() && got[k] == want[k]) ++k;
  const std::size_t from = k >= 3 ? k - 3 : 0;
  std::ostringstream s;
  s << "first difference at position " << k << " (got " << got.size() << " ids, want " << want.size() << ")\n"
    << "  got  " << Ids(got, from, 10) << "\n  want " << Ids(want, from, 10);
  return s.str();
}

class browse_live : public kxtest::DriverLiveTest {
 protected:
  // The MariaDB driver is the process's (statements get its driver-level
  // statements and commands), the connection in Unicode mode (no code page
  // key: the session speaks UTF-8), values through the bound runtime's
  // conversions.
  browse_live() : DriverLiveTest("kxbrowse_") {}

  void SetUp() override {
    DriverLiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(OpenSizedConnection());
    ASSERT_TRUE(Run("CREATE TABLE " + m_sTable +
                    " (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
                    " k VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci NULL,"
                    " payload VARCHAR(40) CHARACTER SET utf8mb4 NULL) ENGINE=InnoDB"));
    // The keys scattered over the ids (a fixed permutation walk), each row's
    // payload naming it.
    std::string insert = "INSERT INTO " + m_sTable + " (k, payload) VALUES ";
    unsigned int x = 12345;
    for (int r = 0; r < knRows; ++r) {
      x = x * 1103515245u + 12345u;
      const char* key = kKeys[(x >> 16) % knKeys];
      insert += std::string(r ? ", " : "") + "(" + (key == nullptr ? "NULL" : "_utf8mb4 X'" + Hex(key) + "'") +
                ", 'row " + std::to_string(r + 1) + "')";
    }
    ASSERT_TRUE(Run(insert));
    ASSERT_EQ(std::to_string(knRows), Value("SELECT COUNT(*) FROM " + m_sTable));
  }

  void TearDown() override {
    m_accesses.clear();
    m_tables.clear();
    DriverLiveTest::TearDown();
  }

  using AccessPtr = std::unique_ptr<BrowseAccess>;

  // A data access over the table as the platform describes it (`k`
  // described descending when asked), its SELECTs limited to `limit` rows.
  BrowseAccess* NewAccess(std::int64_t limit, bool descending) {
    auto table = std::make_unique<BrowseTable>(std::wstring(m_sTable.begin(), m_sTable.end()));
    CNAItemDescription* id = table->pclAdd(L"id", NA_IT_I4, 4,
                                           CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    id->SetNullable(0);
    m_pId = id;
    CNAItemDescription* k = table->pclAdd(L"k", NA_IT_UNICODE, 42, CNAItemDescription::KEY_DUPLICATES);
    k->SetNullable(1);
    if (descending) k->SetSensTri(1);
    m_pK = k;
    m_pPayload = table->pclAdd(L"payload", NA_IT_UNICODE, 82);
    table->SetBestParseItem(id);
    m_pSized->SetCacheSize(limit);
    auto p = std::make_unique<BrowseAccess>();
    EXPECT_TRUE(p->bOpen(m_pDriver, table.get(), m_pSized, m_pError)) << Narrow(m_pError->pszGetError());
    EXPECT_NE(nullptr, dynamic_cast<CMySQLDataAccess*>(p->p)) << "the driver's own data access";
    p->bKeepTexts = true;
    m_tables.push_back(std::move(table));
    m_accesses.push_back(std::move(p));
    return m_accesses.back().get();
  }

  // The id of the current record (-1 when it cannot be read).
  int CurrentId(BrowseAccess* access) { return access->nCurrentInt(m_pId); }

  // The id of the layout's original record (the record as last read; -1
  // when it cannot be read).
  int OriginalId(BrowseAccess* access) {
    CNARecordValue* original = access->p->pclGetCurrentRecord()->pclGetOriginalRecordValue();
    CAny v;
    int n = -1;
    if (original == nullptr || !original->bGetItemValue(&v, m_pId) || v.bIsNull() || v.nGetINT(&n) != 0) return -1;
    return n;
  }

  // Reads `direction` on k; the id read, or 0 out of range, or -2 when the
  // read failed (the test has failed then).
  int Read(BrowseAccess* access, eNA_PARSEDIRECTION direction, const wchar_t* key = L"k") {
    const int bRead = access->p->bHLitxxx(key, direction, 1, 0, nullptr, 0);
    access->Note(key);
    if (!bRead) {
      ADD_FAILURE() << "read " << static_cast<int>(direction) << " failed: " << Narrow(m_pError->pszGetError())
                    << "\n  last SELECT: " << access->sLastSelect;
      m_pError->Reset();
      return -2;
    }
    int nOut = 1;
    access->p->bHEndehors(key, &nOut);
    return nOut ? 0 : CurrentId(access);
  }

  // Every id from `start` on in `step` direction until out of range (at
  // most one more read than there are rows).
  std::vector<int> Walk(BrowseAccess* access, eNA_PARSEDIRECTION start, eNA_PARSEDIRECTION step) {
    std::vector<int> ids;
    int n = Read(access, start);
    while (n > 0 && static_cast<int>(ids.size()) <= knRows) {
      ids.push_back(n);
      n = Read(access, step);
    }
    return ids;
  }

  // The ids in the server's order `orderBy`.
  std::vector<int> ServerIds(const std::string& orderBy) {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    const std::string sql = "SELECT id FROM " + m_sTable + " ORDER BY " + orderBy;
    EXPECT_TRUE(m_client->Query(m_pSession, sql, result, failure)) << sql << ": " << failure;
    std::vector<int> ids;
    for (const auto& row : result.rows) ids.push_back(row.empty() || !row[0] ? -1 : std::stoi(*row[0]));
    return ids;
  }

  // Each row's id and payload in the server's order `orderBy`.
  std::vector<std::pair<int, std::string>> ServerRows(const std::string& orderBy) {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    const std::string sql = "SELECT id, IFNULL(payload, 'NULL') FROM " + m_sTable + " ORDER BY " + orderBy;
    EXPECT_TRUE(m_client->Query(m_pSession, sql, result, failure)) << sql << ": " << failure;
    std::vector<std::pair<int, std::string>> rows;
    for (const auto& row : result.rows) {
      if (row.size() < 2 || !row[0] || !row[1]) {
        ADD_FAILURE() << "a row without id or payload";
        continue;
      }
      rows.emplace_back(std::stoi(*row[0]), *row[1]);
    }
    return rows;
  }

  // `item` of the current record as 8-bit text ("NULL"; "<unreadable>"
  // when it cannot be read).
  std::string CurrentText(BrowseAccess* access, INAItemDescription* item) {
    CNAColumn* col = access->p->pclGetCurrentRecord()->pclGetColumnNoRef(item);
    CAny v;
    if (col == nullptr || !col->bGetCurrentValue(&v, 0)) return "<unreadable>";
    if (v.bIsNull()) return "NULL";
    CAny text = v;
    const char* psz = nullptr;
    if (text.__nCastTo(ANY_DSTRA, nullptr, 0) > 99 || text.nGetPCASTR(&psz) > 99 || psz == nullptr)
      return "<unreadable>";
    return psz;
  }

  // Sets `item` of the current record.
  bool SetCurrent(BrowseAccess* access, INAItemDescription* item, const CAny& value) {
    CNAColumn* col = access->p->pclGetCurrentRecord()->pclGetColumnNoRef(item);
    const bool b = col != nullptr && col->bSetValue(&value, 0) != 0;
    EXPECT_TRUE(b) << Narrow(m_pError->pszGetError());
    return b;
  }
  static CAny Wide(const std::wstring& s) {
    CAny v;
    v.__SetType(ANY_DSTRW, 0);
    v.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
    return v;
  }

  // The browse on `id` of `access` reads the row `id` (a skip from the
  // first row by its place in the server's order of ids): it becomes the
  // current record and the record a write addresses.
  bool ReadById(BrowseAccess* access, int id) {
    const std::vector<int> byId = ServerIds("id");
    const auto it = std::find(byId.begin(), byId.end(), id);
    if (it == byId.end()) {
      ADD_FAILURE() << "no row " << id << " on the server";
      return false;
    }
    const long nCount = static_cast<long>(it - byId.begin()) + 1;
    const int bSkipped = access->p->bSkipRecord(L"id", NA_PARSE_FIRST, nCount, 1, 0, nullptr, 0);
    access->Note(L"id");
    if (!bSkipped) {
      ADD_FAILURE() << "skip to " << id << ": " << Narrow(m_pError->pszGetError());
      return false;
    }
    EXPECT_EQ(id, CurrentId(access));
    EXPECT_EQ(id, OriginalId(access));
    return CurrentId(access) == id;
  }

  // Writes through the statement of the browse on `id`.
  bool WriteById(BrowseAccess* access, eNAQUERYTYPE type) {
    CNAStatement* writer = access->pclStatement(L"id");
    if (writer == nullptr) {
      ADD_FAILURE() << "no statement on id";
      return false;
    }
    if (!access->bWrite(type, writer, NA_WRITEPARSE_NONE)) {
      ADD_FAILURE() << "write " << static_cast<int>(type) << ": " << Narrow(m_pError->pszGetError());
      m_pError->Reset();
      return false;
    }
    return true;
  }

  // The key's collation weight of each row in the server's order `orderBy`
  // ("NULL" for NULL).
  std::vector<std::string> ServerWeights(const std::string& orderBy) {
    kxtest::MariaDbClient::Result result;
    std::string failure;
    const std::string sql =
        "SELECT IFNULL(HEX(WEIGHT_STRING(k)), 'NULL') FROM " + m_sTable + " ORDER BY " + orderBy;
    EXPECT_TRUE(m_client->Query(m_pSession, sql, result, failure)) << sql << ": " << failure;
    std::vector<std::string> weights;
    for (const auto& row : result.rows) weights.push_back(row.empty() || !row[0] ? "" : *row[0]);
    return weights;
  }

  // Next from first and previous from last at each limit, against the
  // server's `orderBy`.
  void BrowseBothWays(bool descending, const std::string& orderBy) {
    const std::vector<int> server = ServerIds(orderBy);
    ASSERT_EQ(static_cast<std::size_t>(knRows), server.size());
    std::vector<int> reversed(server.rbegin(), server.rend());
    const std::vector<std::string> weights = ServerWeights(orderBy);
    ASSERT_EQ(server.size(), weights.size());
    for (std::int64_t limit : {1, 7, 100}) {
      SCOPED_TRACE("limit " + std::to_string(limit) + ", ORDER BY " + orderBy);
      // The table is such that equal keys straddle edges of the blocks
      // both ways (a block from either end holds `limit` rows).
      int nStraddling = 0;
      for (std::size_t edge = static_cast<std::size_t>(limit); edge < weights.size();
           edge += static_cast<std::size_t>(limit)) {
        if (weights[edge - 1] == weights[edge]) ++nStraddling;
      }
      for (std::size_t edge = weights.size() - static_cast<std::size_t>(limit); edge > 0;
           edge -= std::min(edge, static_cast<std::size_t>(limit))) {
        if (weights[edge - 1] == weights[edge]) ++nStraddling;
      }
      ASSERT_GT(nStraddling, 1);
      BrowseAccess* access = NewAccess(limit, descending);
      const long nLeast = knRows / static_cast<long>(limit) - 1;

      const std::vector<int> forward = Walk(access, NA_PARSE_FIRST, NA_PARSE_NEXT);
      EXPECT_EQ("", FirstDifference(forward, server));
      EXPECT_GE(access->nContinuations, nLeast);
      EXPECT_EQ(access->nSelects, access->nContinuations + 1);
      const long nForwardSelects = access->nSelects;

      const std::vector<int> backward = Walk(access, NA_PARSE_LAST, NA_PARSE_PREVIOUS);
      EXPECT_EQ("", FirstDifference(backward, reversed));
      EXPECT_GE(access->nContinuations - (nForwardSelects - 1), nLeast);

      // Every SELECT asked for one block, never more.
      const std::string sLimit = " LIMIT " + std::to_string(limit);
      for (const std::string& text : access->vecSelects) {
        const bool bEndsWithLimit =
            text.size() > sLimit.size() && text.compare(text.size() - sLimit.size(), sLimit.size(), sLimit) == 0;
        EXPECT_TRUE(bEndsWithLimit) << text;
      }
      // A finished browse keeps at most the save it would resume from.
      EXPECT_LE(access->nSavesHeld(), 1);
      std::cout << "[ browse ] limit " << limit << ", ORDER BY " << orderBy << ": " << forward.size() << " and "
                << backward.size() << " rows, " << access->nSelects << " SELECTs ("
                << access->nContinuations << " continuations)\n";
      if (limit == 7 && access->vecSelects.size() > static_cast<std::size_t>(nForwardSelects + 1)) {
        std::cout << "  first     " << access->vecSelects[0] << "\n  next      " << access->vecSelects[1]
                  << "\n  last      " << access->vecSelects[static_cast<std::size_t>(nForwardSelects)]
                  << "\n  previous  " << access->vecSelects[static_cast<std::size_t>(nForwardSelects + 1)] << "\n";
      }
    }
  }

  std::vector<std::unique_ptr<BrowseTable>> m_tables;
  std::vector<AccessPtr> m_accesses;
  CNAItemDescription* m_pId = nullptr;
  CNAItemDescription* m_pK = nullptr;
  CNAItemDescription* m_pPayload = nullptr;
};

TEST_F(browse_live, AscendingKeyBothWaysAtEveryLimit) { BrowseBothWays(false, "k, id"); }

TEST_F(browse_live, DescendingKeyBothWaysAtEveryLimit) { BrowseBothWays(true, "k DESC, id"); }

// Turning back and forth across block edges: each read lands where the
// server's order says, whichever block the statement holds.
TEST_F(browse_live, DirectionChangesAcrossBlockEdges) {
  const std::vector<int> server = ServerIds("k, id");
  ASSERT_EQ(static_cast<std::size_t>(knRows), server.size());
  struct Leg {
    eNA_PARSEDIRECTION direction;
    int reads;
  };
  // From the first record: forward over two edges, back over one, and so
  // on; every leg ends away from an edge and inside the table.
  const Leg legs[] = {{NA_PARSE_NEXT, 16}, {NA_PARSE_PREVIOUS, 9}, {NA_PARSE_NEXT, 30}, {NA_PARSE_PREVIOUS, 1},
                      {NA_PARSE_NEXT, 1},  {NA_PARSE_PREVIOUS, 20}, {NA_PARSE_NEXT, 3}};
  BrowseAccess* access = NewAccess(7, false);
  int pos = 0;
  ASSERT_EQ(server[0], Read(access, NA_PARSE_FIRST));
  for (const Leg& leg : legs) {
    for (int r = 0; r < leg.reads; ++r) {
      pos += leg.direction == NA_PARSE_NEXT ? 1 : -1;
      ASSERT_GE(pos, 0);
      const int id = Read(access, leg.direction);
      ASSERT_EQ(server[static_cast<std::size_t>(pos)], id)
          << "position " << pos << " after a " << (leg.direction == NA_PARSE_NEXT ? "next" : "previous")
          << "\n  last SELECT: " << access->sLastSelect;
      // A write now would address the record just read.
      ASSERT_EQ(id, OriginalId(access)) << "position " << pos;
    }
  }
  // The same from the last record, reading backwards first.
  const std::size_t nLast = server.size() - 1;
  ASSERT_EQ(server[nLast], Read(access, NA_PARSE_LAST));
  pos = static_cast<int>(nLast);
  for (const Leg& leg : legs) {
    for (int r = 0; r < leg.reads; ++r) {
      const eNA_PARSEDIRECTION e = leg.direction == NA_PARSE_NEXT ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
      pos += e == NA_PARSE_NEXT ? 1 : -1;
      const int id = Read(access, e);
      ASSERT_EQ(server[static_cast<std::size_t>(pos)], id)
          << "position " << pos << " after a " << (e == NA_PARSE_NEXT ? "next" : "previous")
          << "\n  last SELECT: " << access->sLastSelect;
    }
  }
}

// A browse marked for repositioning (as after a write through another
// statement) resumes from a save of the record it stood on, whatever was
// read meanwhile on another key: the next read runs a new SELECT from the
// saved values and lands on the record after (or before) it, and the browse
// goes on from there across further blocks. The save is given back once the
// browse has started again.
TEST_F(browse_live, ResumesFromTheSavedRecord) {
  const std::vector<int> server = ServerIds("k, id");
  ASSERT_EQ(static_cast<std::size_t>(knRows), server.size());
  struct Case {
    int stop;  // the position the browse stands on when it is marked
    eNA_PARSEDIRECTION direction;
  };
  const Case cases[] = {{50, NA_PARSE_NEXT}, {50, NA_PARSE_PREVIOUS}, {99, NA_PARSE_NEXT}, {0, NA_PARSE_NEXT}};
  const std::vector<int> byId = ServerIds("id");
  for (const Case& c : cases) {
    const bool bNext = c.direction == NA_PARSE_NEXT;
    SCOPED_TRACE("stop at " + std::to_string(c.stop) + ", then " + (bNext ? "next" : "previous"));
    BrowseAccess* access = NewAccess(100, false);
    int pos = 0;
    ASSERT_EQ(server[0], Read(access, NA_PARSE_FIRST));
    for (; pos < c.stop; ++pos) ASSERT_EQ(server[static_cast<std::size_t>(pos + 1)], Read(access, NA_PARSE_NEXT));
    CNAStatement* st = access->pclStatement(L"k");
    ASSERT_NE(nullptr, st);
    ASSERT_TRUE(st->bSetParseNeedUpdate(NA_PARSEUPDATE_REPOSITION));
    ASSERT_EQ(NA_PARSEUPDATE_REPOSITION, st->eParseNeedUpdate());
    EXPECT_EQ(1, access->nSavesHeld());
    // Another key's browse reads a record of its own meanwhile.
    ASSERT_EQ(byId[0], Read(access, NA_PARSE_FIRST, L"id"));
    ASSERT_EQ(byId[1], Read(access, NA_PARSE_NEXT, L"id"));
    const long nSelects = access->nSelects;

    for (int r = 0; r < 150; ++r) {
      pos += bNext ? 1 : -1;
      const int id = Read(access, c.direction);
      if (pos < 0) {
        EXPECT_EQ(0, id);
        break;
      }
      ASSERT_EQ(server[static_cast<std::size_t>(pos)], id)
          << "position " << pos << "\n  last SELECT: " << access->sLastSelect;
      if (r == 0) {
        // The resumption itself was one new SELECT from the saved record.
        EXPECT_EQ(nSelects + 1, access->nSelects);
        EXPECT_NE(std::string::npos, access->sLastSelect.find("ORDER BY `k`")) << access->sLastSelect;
        EXPECT_NE(std::string::npos, access->sLastSelect.find("WHERE")) << access->sLastSelect;
        EXPECT_EQ(NA_PARSEUPDATE_NONE, st->eParseNeedUpdate());
      }
    }
    // A new browse drops whatever the old one kept.
    ASSERT_EQ(server[0], Read(access, NA_PARSE_FIRST));
    EXPECT_EQ(0, access->nSavesHeld());
  }
}

// The record limit a browse asks for: automatic, the driver's default block
// until a block has reported its widest row, then as many such rows as
// fill 1 MiB (at least 20); 0 or a negative setting other than automatic,
// no limit at all (one SELECT reads every row).
TEST_F(browse_live, RecordLimitSettings) {
  const std::vector<int> server = ServerIds("k, id");
  for (std::int64_t setting : {knAutomaticLimit, std::int64_t{0}, std::int64_t{-1}}) {
    SCOPED_TRACE("limit setting " + std::to_string(setting));
    BrowseAccess* access = NewAccess(setting, false);
    const std::vector<int> forward = Walk(access, NA_PARSE_FIRST, NA_PARSE_NEXT);
    EXPECT_EQ("", FirstDifference(forward, server));
    ASSERT_FALSE(access->vecSelects.empty());
    if (setting != knAutomaticLimit) {
      EXPECT_EQ(1, access->nSelects);
      EXPECT_EQ(std::string::npos, access->vecSelects[0].find("LIMIT")) << access->vecSelects[0];
      continue;
    }
    // The MariaDB driver's default block first.
    EXPECT_NE(std::string::npos, access->vecSelects[0].find("LIMIT 100")) << access->vecSelects[0];
    ASSERT_GE(access->vecSelects.size(), 2u);
    // Then as many rows of the widest row met so far as fill 1 MiB: the
    // second SELECT knows the first block's widest row, no wider than the
    // widest of all.
    const std::uint64_t nRow = access->p->nGetMaxRowLength();
    ASSERT_GT(nRow, 0u);
    const std::string& second = access->vecSelects[1];
    const std::size_t at = second.rfind(" LIMIT ");
    ASSERT_NE(std::string::npos, at) << second;
    const std::uint64_t nLimit = std::stoull(second.substr(at + 7));
    EXPECT_GE(nLimit, std::max<std::uint64_t>(20, 1048576 / nRow)) << second << " (widest row " << nRow << " bytes)";
    EXPECT_NE(100u, nLimit) << second;
    for (const std::string& text : access->vecSelects) {
      const std::size_t p = text.rfind(" LIMIT ");
      ASSERT_NE(std::string::npos, p) << text;
      EXPECT_GE(std::stoull(text.substr(p + 7)), 20u) << text;
    }
  }
}

// A skip of at least a block from either end: the server passes over all
// but the last few records of the skip (LIMIT offset, count), the read
// lands on the record the skip names, and the browse goes on both ways from
// there, back across the start of that block too. Each skip follows a
// browse of a few blocks on the same statement, whose continuation must not
// narrow it.
TEST_F(browse_live, SkipFromEitherEndUsesAnOffset) {
  const std::vector<int> server = ServerIds("k, id");
  ASSERT_EQ(static_cast<std::size_t>(knRows), server.size());
  struct Case {
    std::int64_t limit;
    eNA_PARSEDIRECTION from;
    long count;
    const char* clause;  // the LIMIT clause of the skip's SELECT
  };
  const Case cases[] = {
      {100, NA_PARSE_FIRST, 500, "LIMIT 490, 100"},  // ten records read past the offset
      {20, NA_PARSE_FIRST, 333, "LIMIT 326, 20"},    // a small block: a third of it and one
      {7, NA_PARSE_LAST, 50, "LIMIT 47, 7"},
      {100, NA_PARSE_FIRST, 99, "LIMIT 100"},        // less than a block: no offset
      {100, NA_PARSE_FIRST, 1000, "LIMIT 990, 100"},  // the last record
      {100, NA_PARSE_LAST, 1000, "LIMIT 990, 100"},   // the first record
  };
  for (const Case& c : cases) {
    const bool bFromFirst = c.from == NA_PARSE_FIRST;
    SCOPED_TRACE("limit " + std::to_string(c.limit) + ", skip " + std::to_string(c.count) + " from " +
                 (bFromFirst ? "first" : "last"));
    BrowseAccess* access = NewAccess(c.limit, false);
    // A browse over a few blocks first.
    int n = Read(access, NA_PARSE_FIRST);
    for (int r = 0; r < 2 * c.limit + 3 && n > 0; ++r) n = Read(access, NA_PARSE_NEXT);
    ASSERT_GT(n, 0);
    ASSERT_GT(access->nContinuations, 0);

    ASSERT_TRUE(access->p->bSkipRecord(L"k", c.from, c.count, 1, 0, nullptr, 0)) << Narrow(m_pError->pszGetError());
    access->Note(L"k");
    EXPECT_NE(std::string::npos, access->sLastSelect.find(c.clause)) << access->sLastSelect;
    EXPECT_EQ(std::string::npos, access->sLastSelect.find("WHERE")) << access->sLastSelect;
    int pos = bFromFirst ? static_cast<int>(c.count) - 1 : knRows - static_cast<int>(c.count);
    int nOut = 1;
    access->p->bHEndehors(L"k", &nOut);
    ASSERT_EQ(0, nOut);
    ASSERT_EQ(server[static_cast<std::size_t>(pos)], CurrentId(access));
    // Back toward the end skipped from, then on the other way past where
    // the skip landed; out of range only beyond the table's ends.
    const eNA_PARSEDIRECTION back = bFromFirst ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
    const eNA_PARSEDIRECTION on = bFromFirst ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS;
    for (const auto& leg : {std::make_pair(back, 15), std::make_pair(on, 30)}) {
      for (int r = 0; r < leg.second; ++r) {
        const int step = leg.first == NA_PARSE_NEXT ? 1 : -1;
        const int id = Read(access, leg.first);
        if (pos + step < 0 || pos + step >= knRows) {
          EXPECT_EQ(0, id) << "a read beyond the table's end";
          break;
        }
        pos += step;
        ASSERT_EQ(server[static_cast<std::size_t>(pos)], id)
            << "position " << pos << "\n  last SELECT: " << access->sLastSelect;
      }
    }
  }
}

// Writes through another statement of the same access while a browse on k
// stands in the middle of a block whose next rows the driver already holds:
// the next row deleted, a row ahead changed outside the key, a row ahead
// and a row behind moved by a change of their key, a row added beside the
// current one. Every statement is told of each write; the browse then goes
// on from where it stood and gives what the server now holds after that
// record, in the server's order and with the rows' new values: the deleted
// row never, the changed rows as changed, the added row and the row moved
// ahead once each.
TEST_F(browse_live, WritesThroughAnotherStatementReachTheBrowse) {
  struct Case {
    bool descending;
    const char* orderBy;
    const wchar_t* movedKey;  // a key far ahead of the stop in that order
  };
  const Case cases[] = {{false, "k, id", L"zz"}, {true, "k DESC, id", L"0"}};
  constexpr std::size_t knStop = 10;  // in the second block of 7 (rows 7 ... 13)
  int nNewId = 5000;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("ORDER BY ") + c.orderBy);
    const std::vector<int> before = ServerIds(c.orderBy);
    ASSERT_GT(before.size(), knStop + 3);
    BrowseAccess* access = NewAccess(7, c.descending);
    ASSERT_EQ(before[0], Read(access, NA_PARSE_FIRST));
    for (std::size_t pos = 1; pos <= knStop; ++pos) ASSERT_EQ(before[pos], Read(access, NA_PARSE_NEXT));
    const int idStop = before[knStop];
    CNAStatement* browse = access->pclStatement(L"k");
    ASSERT_NE(nullptr, browse);

    const int idDeleted = before[knStop + 1];
    const int idChanged = before[knStop + 2];
    const int idMovedAhead = before[knStop + 3];
    const int idMovedBehind = before[knStop - 2];
    const int idAdded = nNewId++;
    const std::string sChanged = "changed " + std::to_string(idChanged);
    const long nNotifiedBefore = access->nNotifications;

    ASSERT_TRUE(ReadById(access, idDeleted));
    ASSERT_TRUE(WriteById(access, NA_QUERY_DELETE));
    ASSERT_TRUE(ReadById(access, idChanged));
    ASSERT_TRUE(SetCurrent(access, m_pPayload, Wide(std::wstring(sChanged.begin(), sChanged.end()))));
    ASSERT_TRUE(WriteById(access, NA_QUERY_UPDATE));
    for (int id : {idMovedAhead, idMovedBehind}) {
      ASSERT_TRUE(ReadById(access, id));
      ASSERT_TRUE(SetCurrent(access, m_pK, Wide(c.movedKey)));
      ASSERT_TRUE(WriteById(access, NA_QUERY_UPDATE));
    }
    // The added row takes the current row's key and a larger id: it sorts
    // right after the run of the current row's key.
    ASSERT_TRUE(ReadById(access, idStop));
    CAny clId;
    clId.SetI4(idAdded);
    ASSERT_TRUE(SetCurrent(access, m_pId, clId));
    ASSERT_TRUE(SetCurrent(access, m_pPayload, Wide(L"added")));
    ASSERT_TRUE(WriteById(access, NA_QUERY_INSERT));
    EXPECT_EQ(5, access->nWrites);
    // Five writes, each told to both statements (the browse and the writer).
    EXPECT_EQ(nNotifiedBefore + 10, access->nNotifications);
    EXPECT_NE(NA_PARSEUPDATE_NONE, browse->eParseNeedUpdate());

    // What the server holds after the stop, in its order.
    const std::vector<std::pair<int, std::string>> after = ServerRows(c.orderBy);
    const auto stop = std::find_if(after.begin(), after.end(), [&](const auto& r) { return r.first == idStop; });
    ASSERT_NE(after.end(), stop);
    std::vector<int> wantIds;
    std::vector<std::string> wantPayloads;
    for (auto it = stop + 1; it != after.end(); ++it) {
      wantIds.push_back(it->first);
      wantPayloads.push_back(it->second);
    }
    // The writes are of the kind this test means: the added row and both
    // moved rows lie ahead, the deleted row nowhere.
    for (int id : {idAdded, idMovedAhead, idMovedBehind, idChanged})
      ASSERT_NE(wantIds.end(), std::find(wantIds.begin(), wantIds.end(), id)) << id;
    ASSERT_EQ(after.end(), std::find_if(after.begin(), after.end(), [&](const auto& r) { return r.first == idDeleted; }));

    std::vector<int> gotIds;
    std::vector<std::string> gotPayloads;
    for (int n = Read(access, NA_PARSE_NEXT); n > 0 && gotIds.size() <= after.size(); n = Read(access, NA_PARSE_NEXT)) {
      gotIds.push_back(n);
      gotPayloads.push_back(CurrentText(access, m_pPayload));
    }
    EXPECT_EQ("", FirstDifference(gotIds, wantIds));
    EXPECT_EQ(wantPayloads, gotPayloads);
    const auto changed = std::find(gotIds.begin(), gotIds.end(), idChanged);
    ASSERT_NE(gotIds.end(), changed);
    EXPECT_EQ(sChanged, gotPayloads[static_cast<std::size_t>(changed - gotIds.begin())]);
  }
}

// A write that sends nothing (an UPDATE that changes no column) or that the
// server refuses (an INSERT of an id already there) tells no statement:
// the browse keeps its block and goes on in the server's order.
TEST_F(browse_live, WritesThatChangeNothingTellNoStatement) {
  struct Case {
    const char* name;
    eNAQUERYTYPE type;
    bool succeeds;
  };
  const Case cases[] = {{"update of nothing", NA_QUERY_UPDATE, true}, {"duplicate insert", NA_QUERY_INSERT, false}};
  const std::vector<int> server = ServerIds("k, id");
  ASSERT_EQ(static_cast<std::size_t>(knRows), server.size());
  constexpr std::size_t knStop = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BrowseAccess* access = NewAccess(7, false);
    ASSERT_EQ(server[0], Read(access, NA_PARSE_FIRST));
    for (std::size_t pos = 1; pos <= knStop; ++pos) ASSERT_EQ(server[pos], Read(access, NA_PARSE_NEXT));
    CNAStatement* browse = access->pclStatement(L"k");
    ASSERT_NE(nullptr, browse);
    ASSERT_TRUE(ReadById(access, server[knStop + 1]));
    CNAStatement* writer = access->pclStatement(L"id");
    ASSERT_NE(nullptr, writer);
    m_pError->Reset();
    EXPECT_EQ(c.succeeds ? 1 : 0, access->bWrite(c.type, writer, NA_WRITEPARSE_NONE));
    EXPECT_EQ(c.succeeds, m_pError->eGetErrorType() == NA_ERRORTYPE_NONE) << Narrow(m_pError->pszGetError());
    m_pError->Reset();
    EXPECT_EQ(0, access->nWrites);
    EXPECT_EQ(0, access->nNotifications);
    EXPECT_EQ(NA_PARSEUPDATE_NONE, browse->eParseNeedUpdate());
    const long nSelects = access->nSelects;
    // The rest of the block comes from the rows the browse holds.
    ASSERT_EQ(server[knStop + 1], Read(access, NA_PARSE_NEXT));
    EXPECT_EQ(nSelects, access->nSelects);
    std::vector<int> got;
    for (int n = Read(access, NA_PARSE_NEXT); n > 0 && got.size() <= server.size(); n = Read(access, NA_PARSE_NEXT))
      got.push_back(n);
    EXPECT_EQ("", FirstDifference(got, std::vector<int>(server.begin() + knStop + 2, server.end())));
  }
  EXPECT_EQ(std::to_string(knRows), Value("SELECT COUNT(*) FROM " + m_sTable));
}

}  // namespace
