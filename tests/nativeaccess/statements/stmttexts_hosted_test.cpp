// The texts a statement builds to read: the SELECT of a table parse and its
// ORDER BY (ending at the first column that identifies a row, an item
// described descending written DESC), the COUNT, the dispatch of the table
// operations, the conditions on the current and the last-read record, the
// SELECT over a query (rewritten, as written, as a subquery; its own LIMIT
// kept after the added ORDER BY), bMove, and a browse in blocks over a key
// described descending, continued through the statement's own texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADefine.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNAExpression.h"
#include "CNAItemDescription.h"
#include "CNARecherche.h"
#include "CNARecord.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
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

CAny I4(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// A table of rows by column name, answering the SELECTs a statement sends
// to a table: the listed columns, one condition `c` op integer, an ORDER BY
// of columns with their directions, a LIMIT.
struct MiniTable {
  std::vector<std::string> tabNames;
  std::vector<MemRow> tabRows;

  int Index(const std::string& name) const {
    for (std::size_t i = 0; i < tabNames.size(); ++i)
      if (tabNames[i] == name) return static_cast<int>(i);
    return -1;
  }
  // NULL first, numbers by value, other texts after them by their bytes.
  static bool Less(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    if (!a || !b) return !a && b;
    char* pa = nullptr;
    char* pb = nullptr;
    const long x = std::strtol(a->c_str(), &pa, 10), y = std::strtol(b->c_str(), &pb, 10);
    const bool bNumA = *pa == 0 && !a->empty(), bNumB = *pb == 0 && !b->empty();
    if (bNumA && bNumB) return x < y;
    if (bNumA != bNumB) return bNumA;
    return *a < *b;
  }
  static long Num(const std::optional<std::string>& v) { return v ? std::strtol(v->c_str(), nullptr, 10) : -2147483647L; }

  bool bAnswer(const std::string& text, MemRows* rows) const {
    static const std::regex re(
        "^SELECT (.+?) FROM `tbl`(?: WHERE `(\\w+)`(<=|>=|=|<|>)(-?\\d+))?(?: ORDER BY (.+?))?(?: LIMIT (\\d+))?$");
    std::smatch m;
    if (!std::regex_match(text, m, re)) return false;
    std::vector<int> tabColumns;
    static const std::regex reName("`(\\w+)`");
    const std::string sList = m[1];
    for (auto it = std::sregex_iterator(sList.begin(), sList.end(), reName); it != std::sregex_iterator(); ++it)
      tabColumns.push_back(Index((*it)[1]));
    std::vector<MemRow> tab;
    for (const MemRow& r : tabRows) {
      if (m[2].matched) {
        const long v = Num(r[static_cast<std::size_t>(Index(m[2]))]);
        const long c = std::stol(m[4]);
        const std::string op = m[3];
        const bool b = op == "=" ? v == c : op == "<" ? v < c : op == ">" ? v > c : op == "<=" ? v <= c : v >= c;
        if (!b) continue;
      }
      tab.push_back(r);
    }
    if (m[5].matched) {
      std::vector<std::pair<int, bool>> tabOrder;
      static const std::regex reItem("`(\\w+)`( DESC)?");
      const std::string sOrder = m[5];
      for (auto it = std::sregex_iterator(sOrder.begin(), sOrder.end(), reItem); it != std::sregex_iterator(); ++it)
        tabOrder.emplace_back(Index((*it)[1]), (*it)[2].matched);
      std::stable_sort(tab.begin(), tab.end(), [&](const MemRow& a, const MemRow& b) {
        for (const auto& o : tabOrder) {
          const auto& x = a[static_cast<std::size_t>(o.first)];
          const auto& y = b[static_cast<std::size_t>(o.first)];
          if (Less(x, y)) return !o.second;
          if (Less(y, x)) return o.second;
        }
        return false;
      });
    }
    const std::size_t nLimit = m[6].matched ? std::stoul(m[6]) : tab.size();
    for (std::size_t i = 0; i < tab.size() && i < nLimit; ++i) {
      MemRow out;
      for (int c : tabColumns) out.push_back(tab[i][static_cast<std::size_t>(c)]);
      rows->push_back(out);
    }
    return true;
  }
};

// The objects of a statement of a QueryAccess: its connection, error
// object, data access, record layout and statement, and the commands made
// for the test. OpenAccess makes the first three (the connection of `kind`
// when one is given, else of its own), OpenStatement the layout of the data
// access over `src` (made current) and the statement; CloseStatement gives
// back the commands, the statement and the layout, CloseAccess the rest.
struct QueryStatementParts {
  kxtest::AnswerConnection* cnx = nullptr;
  CNAError* error = nullptr;
  kxtest::QueryAccess* access = nullptr;
  CNARecord* record = nullptr;
  CNAStatement* st = nullptr;
  std::vector<CNACommand*> tabCommands;

  void OpenAccess(kxtest::QuerySource* src, int kind = -1) {
    cnx = new kxtest::AnswerConnection();
    cnx->AddRef();
    if (kind >= 0) cnx->SetKind(kind);
    error = new CNAError();
    error->AddRef();
    access = new kxtest::QueryAccess(src, cnx, error);
    access->AddRef();
  }
  void OpenStatement(kxtest::QuerySource* src) {
    record = new CNARecord(error, access);
    record->AddRef();
    EXPECT_TRUE(record->bInitRecord(src, nullptr, cnx));
    access->SetCurrentRecord(record);
    st = new CNAStatement(access, error);
    st->AddRef();
  }
  void CloseStatement() {
    for (CNACommand* p : tabCommands) p->nRelease();
    tabCommands.clear();
    st->nRelease();
    record->nRelease();
  }
  void CloseAccess() {
    access->nRelease();
    error->nRelease();
    cnx->nRelease();
  }

  // A new command holding `text` when given (released by CloseStatement).
  CNACommand* New(const wchar_t* text = nullptr) {
    CNACommand* p = access->pclAllocCommand(error);
    p->AddRef();
    tabCommands.push_back(p);
    if (text != nullptr) p->bComplete(text);
    return p;
  }
  static std::wstring Text(CNACommand* c) {
    const wchar_t* psz = c->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    return psz != nullptr ? psz : L"<null>";
  }
  // The SELECT of `key` as the statement builds it; "<failed>" and the
  // error's user code on failure.
  std::wstring Select(const wchar_t* key, int ascending, CNACommand* where = nullptr, std::uint32_t flags = 0) {
    CNACommand* c = New();
    st->bPrepare(c, static_cast<NA_WRITEPARSEFLAGS>(2));
    if (!st->bBuildQuerySELECT(c, static_cast<NA_WRITEPARSEFLAGS>(flags), key, ascending, where))
      return L"<failed " + std::to_wstring(error->nGetUserErrorCode()) + L">";
    return Text(c);
  }
};

// A statement of a data access over a hand-described table: pk (primary),
// k (not unique), u (unique, may be NULL), d (unique, not NULL, described
// descending), name (text). Kind 5 connection; the in-memory server
// answers from a MiniTable.
struct Env : QueryStatementParts {
  kxtest::InMemoryServer server;
  kxtest::DriverScope scope;
  kxtest::QuerySource src;
  MiniTable table;
  CNAItemDescription* pk = nullptr;
  CNAItemDescription* k = nullptr;
  CNAItemDescription* u = nullptr;
  CNAItemDescription* d = nullptr;
  CNAItemDescription* name = nullptr;
  CNAItemDescription* kn = nullptr;

  // `withKeys` false: only k and name, no unique item at all. `composite`:
  // a unique composite key kn over k and name (name described
  // descending), laid out last and taking no room in the record.
  // `pkDescending`: the primary key is described descending.
  explicit Env(bool withKeys = true, bool composite = false, bool pkDescending = false) {
    scope.pclGet()->fnStatementMaker = [this](CNAConnectionDescription* c, CNAError* e) -> CNAStatementSQL* {
      return new kxtest::InMemoryStatementSQL(&server, c, e);
    };
    server.fnAnswer = [this](const std::string& t, MemRows* r) { return table.bAnswer(t, r); };
    if (withKeys) {
      pk = Item(L"pk", NA_IT_I4, 4,
                CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE |
                    (pkDescending ? CNAItemDescription::KEY_DESCENDING : 0),
                0);
    }
    k = Item(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES, 1);
    if (withKeys) {
      u = Item(L"u", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE, 1);
      d = Item(L"d", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_DESCENDING, 0);
    }
    name = Item(L"name", NA_IT_TEXTE, 11, composite ? CNAItemDescription::KEY_DESCENDING : 0, 1);
    if (composite) {
      kn = src.pclAdd(NA_IT_BINAIRE, 2, 1, CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_UNIQUE);
      kn->bSetName(L"kn");
      src.nDiskRecordSize -= 2;
      src.nItemsInRecord -= 1;
      kn->SetPhysicalIndice(0xFFFFFFFFu);
      kn->bAddComponent(k);
      kn->bAddComponent(name);
    }
    table.tabNames = withKeys ? std::vector<std::string>{"pk", "k", "u", "d", "name"}
                              : std::vector<std::string>{"k", "name"};
    server.nColumns = static_cast<unsigned int>(table.tabNames.size());
    OpenAccess(&src);
    OpenStatement(&src);
  }
  ~Env() {
    CloseStatement();
    CloseAccess();
  }
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  CNAItemDescription* Item(const wchar_t* n, eNA_ITEMTYPE type, std::uint32_t size, std::uint16_t keys,
                           int nullable) {
    CNAItemDescription* p = src.pclAdd(type, size, 1, keys);
    // Named as the server knows it too.
    const std::uint32_t nOffset = p->nGetOffset(0);
    p->bInit(n, L"SRC", n, 1, size, type, p->nGetPhysicalIndice(), -1, keys, 0, 0);
    p->SetOffset(nOffset);
    p->SetNullable(nullable);
    return p;
  }
  int nKeyValue(INAItemDescription* item) const {
    CAny v;
    record->pclGetColumnNoRef(item)->bGetCurrentValue(&v, 0);
    int n = 0;
    v.nGetINT(&n);
    return n;
  }
  void SetValue(INAItemDescription* item, const CAny& v) { record->pclGetColumnNoRef(item)->bSetValue(&v, 0); }
};

class stmttexts_select : public BoundRuntimeTest {};
class stmttexts_count : public BoundRuntimeTest {};
class stmttexts_dispatch : public BoundRuntimeTest {};
class stmttexts_where : public BoundRuntimeTest {};
class stmttexts_query : public BoundRuntimeTest {};
class stmttexts_browse : public BoundRuntimeTest {};

// ---------------------------------------------------------------------------
// SELECT over a table
// ---------------------------------------------------------------------------

const wchar_t kColumns[] = L"SELECT `pk`,`k`,`u`,`d`,`name` FROM `tbl`";

// The ORDER BY of each key: a primary key alone, a key that is not unique
// completed by the primary key, a unique key that may be NULL too; an item
// described descending is written DESC when read ascending, and the parse
// reads backwards exactly when it is wanted descending.
TEST_F(stmttexts_select, OrderByOfEachKey) {
  struct Case {
    const wchar_t* key;
    int ascending;
    std::uint32_t flags;
    const wchar_t* order;
    int inverted;
  } kCases[] = {
      {nullptr, 1, 0, L"", 0},
      {L"", 0, 0, L"", 0},
      {L"pk", 1, 0, L" ORDER BY `pk`", 0},
      {L"pk", 0, 0, L" ORDER BY `pk` DESC", 1},
      {L"k", 1, 0, L" ORDER BY `k`,`pk`", 0},
      {L"k", 0, 0, L" ORDER BY `k` DESC,`pk` DESC", 1},
      {L"u", 1, 0, L" ORDER BY `u`,`pk`", 0},
      {L"d", 1, 0, L" ORDER BY `d` DESC", 0},
      {L"d", 0, 0, L" ORDER BY `d`", 1},
      {L"k", 1, 0x20000, L"", 0},
      {L"k", 1, 0x100000, L" ORDER BY `k`", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Narrow(c.key != nullptr ? c.key : L"(none)") + " ascending " + std::to_string(c.ascending));
    Env env;
    const int nHeld = env.src.nHandedOut();
    EXPECT_EQ(std::wstring(kColumns) + c.order, env.Select(c.key, c.ascending, nullptr, c.flags));
    EXPECT_EQ(c.inverted, env.st->bInvertFetch());
    EXPECT_EQ(2, env.st->nGetBindDefineFlag());
    EXPECT_EQ(nHeld, env.src.nHandedOut()) << "every item handed out came back";
  }
}

// A composite key writes its components, each turned when it is
// described descending; its NULL values being possible, the primary key
// completes it.
TEST_F(stmttexts_select, CompositeKeyWritesItsComponents) {
  for (int bAscending = 0; bAscending < 2; ++bAscending) {
    SCOPED_TRACE(bAscending);
    Env env(true, true);
    EXPECT_EQ(std::wstring(kColumns) + (bAscending ? L" ORDER BY `k`,`name` DESC,`pk`" : L" ORDER BY `k` DESC,`name`,`pk` DESC"),
              env.Select(L"kn", bAscending));
    EXPECT_EQ(bAscending ? 0 : 1, env.st->bInvertFetch());
  }
}

// A completing column described descending is written in its own order
// too, the order its continuation compares in.
TEST_F(stmttexts_select, DescendingPrimaryKeyCompletesInItsOrder) {
  Env env(true, false, true);
  EXPECT_EQ(std::wstring(kColumns) + L" ORDER BY `k`,`pk` DESC", env.Select(L"k", 1));
  EXPECT_EQ(std::wstring(kColumns) + L" ORDER BY `k` DESC,`pk`", env.Select(L"k", 0));
  EXPECT_EQ(1, CNAExpression::s_eGetSensTriColonne(env.record, env.record->pclGetColumnNoRef(env.pk)));
}

// A unique key that may be NULL ends the list only when the condition
// leaves its NULL values out; the condition follows " WHERE ".
TEST_F(stmttexts_select, NullableUniqueKeyEndsTheListOnlyWithoutNulls) {
  Env env;
  CNARecherche* pclSearch = env.st->pclAllocRecherche();
  pclSearch->AddRef();
  CAny v = I4(5);
  ASSERT_TRUE(pclSearch->bSetRecherche(env.record, env.u, &v, NA_PARSE_NEXT, 1, 0));
  CNACommand* where = env.New();
  ASSERT_TRUE(pclSearch->bGetSQL(where, nullptr, env.record));
  ASSERT_FALSE(where->bColumnValuesNullSelected(env.record->pclGetColumnNoRef(env.u)));
  EXPECT_EQ(std::wstring(kColumns) + L" WHERE `u`=5 ORDER BY `u`", env.Select(L"u", 1, where));
  pclSearch->nRelease();
}

// The lock clause, DISTINCT by the best parse item, and an unknown key.
TEST_F(stmttexts_select, LockDistinctAndUnknownKey) {
  {
    Env env;
    env.cnx->m_csRecordLock = L"LOCK IN SHARE MODE";
    EXPECT_EQ(std::wstring(kColumns) + L" LOCK IN SHARE MODE ORDER BY `pk`", env.Select(L"pk", 1));
    // Kind 8 from major version 10 takes no lock clause.
    env.cnx->SetKind(8);
    env.cnx->m_nServerMajor = 10;
    // (The column names were formatted for kind 5 when the record was
    // made.)
    EXPECT_EQ(L"SELECT `pk`,`k`,`u`,`d`,`name` FROM tbl", env.Select(nullptr, 1));
  }
  struct Case {
    int best;  // 0 none, 1 pk, 2 k, 3 u, 4 d
    const wchar_t* start;
  } kCases[] = {{0, L"SELECT `pk`"}, {1, L"SELECT `pk`"}, {2, L"SELECT DISTINCT `pk`"},
                {3, L"SELECT DISTINCT `pk`"}, {4, L"SELECT `pk`"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.best);
    Env env;
    CNAItemDescription* apBest[] = {nullptr, env.pk, env.k, env.u, env.d};
    env.src.piBest = apBest[c.best];
    const int nHeld = env.src.nHandedOut();
    EXPECT_EQ(0u, env.Select(nullptr, 1, nullptr, 0x800).find(c.start));
    EXPECT_EQ(0u, env.Select(nullptr, 1, nullptr, 0).find(L"SELECT `pk`")) << "DISTINCT only with flag 0x800";
    EXPECT_EQ(nHeld, env.src.nHandedOut());
  }
  {
    Env env;
    EXPECT_EQ(L"<failed 6>", env.Select(L"nokey", 1));
    EXPECT_NE(std::wstring::npos, std::wstring(env.error->pszGetError()).find(L"nokey"));
  }
}

// ---------------------------------------------------------------------------
// COUNT and the dispatch of table operations
// ---------------------------------------------------------------------------

TEST_F(stmttexts_count, CountOfTheTableWithTheSearch) {
  Env env;
  CNACommand* c = env.New();
  ASSERT_TRUE(env.st->_bBuildQueryCOUNT(c, NA_WRITEPARSE_NONE, 0));
  EXPECT_EQ(L"SELECT COUNT(*) AS KXACCESNATIF_NBENR FROM `tbl`", Env::Text(c));
  EXPECT_EQ(c, env.st->pclGetCommandNoRef());
  ASSERT_EQ(1, c->nGetDefineNbr());
  EXPECT_EQ(8, c->pclGetDefineNoRef(0)->pclGetValue()->wGetTypeCode()) << "the count arrives as text";

  // The statement's search becomes the condition, unless left out.
  CNARecherche* pclSearch = env.st->pclAllocRecherche();
  pclSearch->AddRef();
  CAny v = I4(7);
  ASSERT_TRUE(pclSearch->bSetRecherche(env.record, env.k, &v, NA_PARSE_NEXT, 1, 0));
  env.st->_SetRecherche(pclSearch);
  pclSearch->nRelease();
  ASSERT_TRUE(env.st->_bBuildQueryCOUNT(c, NA_WRITEPARSE_NONE, 0));
  EXPECT_EQ(L"SELECT COUNT(*) AS KXACCESNATIF_NBENR FROM `tbl` WHERE `k`=7", Env::Text(c));
  ASSERT_TRUE(env.st->_bBuildQueryCOUNT(c, NA_WRITEPARSE_NONE, 1));
  EXPECT_EQ(L"SELECT COUNT(*) AS KXACCESNATIF_NBENR FROM `tbl`", Env::Text(c));
}

TEST_F(stmttexts_dispatch, EachTableOperation) {
  struct Case {
    eNAQUERYTYPE type;
    int kind;
    int onQuery;
    int result;
    const wchar_t* text;
    unsigned int error;
  } kCases[] = {
      {NA_QUERY_DROPTABLE, 1, 0, 1, L"DROP TABLE tbl CASCADE CONSTRAINT", 0},
      {NA_QUERY_DROPTABLE, 5, 0, 1, L"DROP TABLE `tbl`", 0},
      {NA_QUERY_DELETEALL, 5, 0, 1, L"DELETE FROM `tbl`", 0},
      {NA_QUERY_DELETEALL, 5, 1, 0, L"", 8},
      {NA_QUERY_SELECT, 5, 0, 1, kColumns, 0},
      {NA_QUERY_NOCOLUMN, 5, 0, 0, L"", 0},
      {static_cast<eNAQUERYTYPE>(7), 5, 0, 0, L"", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.type) + " kind " + std::to_string(c.kind));
    Env env;
    env.cnx->SetKind(c.kind);
    env.access->SetQuery(c.onQuery);
    CNACommand* cmd = env.New();
    EXPECT_EQ(c.result, env.st->bBuildQuery(c.type, cmd, NA_WRITEPARSE_NONE));
    EXPECT_EQ(cmd, env.st->pclGetCommandNoRef());
    const wchar_t* psz = cmd->pszGetOriginalSQL();
    EXPECT_EQ(c.text, std::wstring(psz != nullptr ? psz : L""));
    if (c.error != 0)
      EXPECT_EQ(c.error, env.error->nGetUserErrorCode());
    else
      EXPECT_EQ(NA_ERRORTYPE_NONE, env.error->eGetErrorType()) << Narrow(env.error->pszGetError());
  }
}

// ---------------------------------------------------------------------------
// Conditions on the current and the last-read record
// ---------------------------------------------------------------------------

TEST_F(stmttexts_where, LatestReadAddressesTheValuesAsRead) {
  Env env;
  env.src.piBest = env.pk;
  env.table.tabRows = {{"10", "1", "100", "1000", "a"}};
  ASSERT_TRUE(env.access->bOpen(env.st, L"pk", 1));
  // Not read under lock: no values as read yet.
  CNACommand* c = env.New();
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 0, 1));
  EXPECT_FALSE(env.st->_bAddWHERELatestRead(c, 1, nullptr));
  EXPECT_EQ(7u, env.error->nGetUserErrorCode());
  EXPECT_TRUE(c->bIsEmpty());
  env.error->Reset();

  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 1, 1));
  ASSERT_EQ(1, env.access->nReadMarks);
  // The key being written is not the one the record was read with.
  env.SetValue(env.pk, I4(99));
  ASSERT_TRUE(env.st->_bAddWHERELatestRead(c, 1, nullptr));
  EXPECT_EQ(L" WHERE `pk`=10", Env::Text(c));
  EXPECT_EQ(1, c->nGetParameterNbr()) << "the value is a parameter";
  EXPECT_EQ(99, env.nKeyValue(env.pk)) << "the current record is as it was";
  CNACommand* w = env.New();
  ASSERT_TRUE(env.st->_bAddWHERECurrentRecord(w, 0, nullptr));
  EXPECT_EQ(L"`pk`=99", Env::Text(w));
}

// A record read with a server row identifier is addressed by it, as a
// parameter.
TEST_F(stmttexts_where, LatestReadByRowIdentifier) {
  Env env;
  CNAConvertVariant* pclValue = CNADriver::s_pclDriver->pclAllocVariant(env.error, env.cnx);
  ASSERT_NE(nullptr, pclValue);
  pclValue->AddRef();
  pclValue->InitTypeVariantAny(ANY_I4);
  const CAny v = I4(77);
  ASSERT_TRUE(pclValue->bSetValue(&v));
  CNARecordId* pclId = new CNARecordId_RowId(pclValue);
  pclValue->nRelease();
  ASSERT_TRUE(env.record->bCopyCurrentRecordToOriginalRecord());
  env.record->pclGetOriginalRecordValue()->bShareRecordID(pclId);
  CNACommand* c = env.New();
  ASSERT_TRUE(env.st->_bAddWHERELatestRead(c, 1, nullptr));
  EXPECT_EQ(L" WHERE  ROWID=77", Env::Text(c));
  EXPECT_EQ(1, c->nGetParameterNbr());
}

// A record that no condition can address (no unique item, no best parse
// item) is refused instead of giving a text without condition, and the
// current record is put back on that way out too.
TEST_F(stmttexts_where, NoAddressableRecordFailsAndRestores) {
  Env env(false);
  env.table.tabRows = {{"5", "a"}, {"5", "b"}};
  ASSERT_TRUE(env.access->bOpen(env.st, L"k", 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_FIRST, 1, 1));
  env.SetValue(env.k, I4(6));
  CNACommand* c = env.New();
  EXPECT_FALSE(env.st->_bAddWHERELatestRead(c, 1, nullptr));
  EXPECT_EQ(7u, env.error->nGetUserErrorCode());
  EXPECT_TRUE(c->bIsEmpty());
  EXPECT_EQ(6, env.nKeyValue(env.k));
}

// bMove reads the record again by the values it was read with: the
// server's new values replace what the record held.
TEST_F(stmttexts_where, MoveReadsTheRecordAgain) {
  Env env;
  env.src.piBest = env.pk;
  env.table.tabRows = {{"10", "1", "100", "1000", "a"}, {"20", "2", "200", "2000", "b"}};
  ASSERT_TRUE(env.access->bOpen(env.st, L"pk", 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 1, 1));
  ASSERT_TRUE(env.st->bFetch(NA_PARSE_NEXT, 1, 1));
  ASSERT_EQ(20, env.nKeyValue(env.pk));
  env.table.tabRows[1][1] = "22";
  env.SetValue(env.k, I4(-1));
  ASSERT_TRUE(env.st->bMove(0, 0)) << Narrow(env.error->pszGetError());
  EXPECT_EQ("SELECT `pk`,`k`,`u`,`d`,`name` FROM `tbl` WHERE `pk`=20", env.server.vecTexts.back());
  EXPECT_EQ(0, env.st->bOutOfRange());
  EXPECT_EQ(22, env.nKeyValue(env.k));
}

// ---------------------------------------------------------------------------
// SELECT over a query
// ---------------------------------------------------------------------------

// A statement of a data access over the query `text` of the stand-in
// parser (items a: primary key, b: not unique, both of table t); `build`
// describes the query's parts to the builder.
struct QEnv : QueryStatementParts {
  std::unique_ptr<CStandInParserBuilder> pBuilder;
  kxtest::InMemoryServer server;
  kxtest::DriverScope scope;
  kxtest::QuerySource src;
  CSQLParserInfo* query = nullptr;
  CStandInQueryParameters values;

  QEnv(const wchar_t* text, int kind, int asWritten, const std::function<void(CStandInParserBuilder&)>& build) {
    CStandInParserLedger::Reset();
    pBuilder.reset(new CStandInParserBuilder(text));
    build(*pBuilder);
    Item(L"a", NA_IT_I4, CNAItemDescription::KEY_PRIMARY | CNAItemDescription::KEY_UNIQUE, 0);
    Item(L"b", NA_IT_I4, CNAItemDescription::KEY_DUPLICATES, 1);
    OpenAccess(&src, kind);
    access->SetQuery(1);
    access->bAsWritten = asWritten;
    query = new CSQLParserInfo(error, pBuilder->pi(), &values, 0);
    query->AddRef();
    access->SetSourceQuery(query);
    OpenStatement(&src);
  }
  ~QEnv() {
    CloseStatement();
    access->SetSourceQuery(nullptr);
    query->nRelease();
    CloseAccess();
  }
  QEnv(const QEnv&) = delete;
  QEnv& operator=(const QEnv&) = delete;

  void Item(const wchar_t* n, eNA_ITEMTYPE type, std::uint16_t keys, int nullable) {
    CNAItemDescription* p = src.pclAdd(type, 4, 1, keys);
    const std::uint32_t nOffset = p->nGetOffset(0);
    p->bInit(n, L"t", n, 1, 4, type, p->nGetPhysicalIndice(), -1, keys, 0, 0);
    p->SetOffset(nOffset);
    p->SetNullable(nullable);
  }
};

// A query that may be rewritten takes the parse's ORDER BY; its own LIMIT
// (outside brackets and strings) stays after it, whatever stands before
// (a literal, a bracket, a bind value in the LIMIT).
TEST_F(stmttexts_query, RewrittenQueryKeepsItsLimitAfterTheOrderBy) {
  using B = CStandInParserBuilder;
  struct Case {
    const wchar_t* text;
    std::function<void(B&)> build;
    const wchar_t* expected;
    int parameters;
  } kCases[] = {
      {L"SELECT a, b FROM t", [](B&) {}, L"SELECT `t`.`a`, `t`.`b` FROM `t` ORDER BY `t`.`b`,`t`.`a`", 0},
      {L"SELECT a, b FROM t WHERE a = 5 LIMIT 10",
       [](B& b) { b.Where(b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"5", I4(5))})); },
       L"SELECT `t`.`a`, `t`.`b` FROM `t` WHERE `a` = 5 ORDER BY `t`.`b`,`t`.`a` LIMIT 10", 1},
      {L"SELECT a, b FROM t WHERE (a = 1 OR b = 2) LIMIT 10",
       [](B& b) {
         b.Where(b.Bracket(b.Op(2, {b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))}),
                                    b.Op(9, {b.Item(L"b", L"", L"b"), b.Literal(L"2", I4(2))})})));
       },
       L"SELECT `t`.`a`, `t`.`b` FROM `t` WHERE (`a` = 1 OR `b` = 2 ) ORDER BY `t`.`b`,`t`.`a` LIMIT 10", 2},
      {L"SELECT a, b FROM t LIMIT :n",
       [](B& b) {
         b.Rewind();
         b.Bind(L":n", L"n", I4(4));
       },
       L"SELECT `t`.`a`, `t`.`b` FROM `t` ORDER BY `t`.`b`,`t`.`a` LIMIT 4", 1},
      {L"SELECT a, b FROM t WHERE b = 'x LIMIT 3'",
       [](B& b) { b.Where(b.Op(9, {b.Item(L"b", L"", L"b"), b.TextLiteral(L"'x LIMIT 3'")})); },
       L"SELECT `t`.`a`, `t`.`b` FROM `t` WHERE `b` = 'x LIMIT 3' ORDER BY `t`.`b`,`t`.`a`", 1},
      {L"SELECT a, b FROM t WHERE a IN (SELECT a FROM u LIMIT 2)", [](B&) {},
       L"SELECT `t`.`a`, `t`.`b` FROM `t` WHERE a IN (SELECT a FROM u LIMIT 2) ORDER BY `t`.`b`,`t`.`a`", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Narrow(c.text));
    {
      QEnv env(c.text, 5, 0, [&](B& b) {
        b.Column(L"a", L"t", L"a");
        b.Column(L"b", L"t", L"b");
        b.From(L"t");
        c.build(b);
      });
      env.values.Set(L"n", I4(4));
      EXPECT_EQ(c.expected, env.Select(L"b", 1));
      EXPECT_EQ(c.parameters, env.st->pclGetCommandNoRef()->nGetParameterNbr());
      EXPECT_EQ(0, env.st->bInvertFetch());
    }
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
  }
}

// The query's own ORDER BY read with flag 0x20000, completed to a row
// ahead of its LIMIT; a query limited to its first rows is not read from
// the end.
TEST_F(stmttexts_query, OwnOrderCompletedAndLimitedQueryReadForward) {
  {
    QEnv env(L"SELECT a, b FROM t ORDER BY b LIMIT 5", 5, 0, [](CStandInParserBuilder& b) {
      b.Column(L"a", L"t", L"a");
      b.Column(L"b", L"t", L"b");
      b.From(L"t");
      b.OrderBy(L"b", 1);
    });
    // The own item as the query writes it, then the primary key.
    EXPECT_EQ(L"SELECT `t`.`a`, `t`.`b` FROM `t` ORDER BY b,`t`.`a` LIMIT 5", env.Select(nullptr, 1, nullptr, 0x20000));
    EXPECT_EQ(0, env.st->bInvertFetch());
    EXPECT_EQ(L"SELECT `t`.`a`, `t`.`b` FROM `t` ORDER BY `t`.`b`,`t`.`a` LIMIT 5", env.Select(L"b", 0));
    EXPECT_EQ(0, env.st->bInvertFetch());
    // A calculated column is ordered by its place in the select list.
    env.src.pclItem(1)->SetColumnKind(1);
    EXPECT_EQ(L"SELECT `t`.`a`, `t`.`b` FROM `t` ORDER BY 2,`t`.`a` LIMIT 5", env.Select(L"b", 1));
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// A query sent as written: alone as it stands (no ORDER BY added); with a
// condition, as a subquery where the server has them, else user error 41.
TEST_F(stmttexts_query, AsWrittenAloneOrAsSubquery) {
  const auto build = [](CStandInParserBuilder& b) {
    b.Column(L"a", L"t", L"a");
    b.Column(L"b", L"t", L"b");
    b.From(L"t");
  };
  {
    QEnv env(L"SELECT a, b FROM t LIMIT 10", 5, 1, build);
    EXPECT_EQ(L"SELECT a, b FROM t LIMIT 10", env.Select(L"b", 1));
    EXPECT_EQ(L"<failed 41>", env.Select(L"b", 1, env.New(L"b=2")));
    EXPECT_NE(std::wstring::npos, std::wstring(env.error->pszGetError()).find(L"LOGICAL"));
    // Counting it needs a subquery too.
    env.error->Reset();
    EXPECT_FALSE(env.st->_bBuildQueryCOUNT(env.New(), NA_WRITEPARSE_NONE, 1));
    EXPECT_EQ(41u, env.error->nGetUserErrorCode());
  }
  {
    QEnv env(L"SELECT a, b FROM t", 2, 1, build);
    EXPECT_EQ(L"SELECT * FROM (SELECT a, b FROM t) KX_SUBQUERY WHERE b=2", env.Select(L"b", 1, env.New(L"b=2")));
    CNACommand* c = env.New();
    ASSERT_TRUE(env.st->_bBuildQueryCOUNT(c, NA_WRITEPARSE_NONE, 1));
    EXPECT_EQ(L"SELECT COUNT(*) AS KXACCESNATIF_NBENR FROM (SELECT a, b FROM t) KX_SUBQUERY", Env::Text(c));
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// ---------------------------------------------------------------------------
// A browse in blocks over a key described descending
// ---------------------------------------------------------------------------

// Keys 1 to 10 on a unique key described descending, three rows a block:
// from the first record forward every key comes once, largest first, and
// from the last record backward the reverse.
TEST_F(stmttexts_browse, DescendingKeyInBlocks) {
  for (int bBackward = 0; bBackward < 2; ++bBackward) {
    SCOPED_TRACE(bBackward ? "backward" : "forward");
    Env env;
    for (int i = 1; i <= 10; ++i)
      env.table.tabRows.push_back({std::to_string(i), "0", std::to_string(i), std::to_string(i), "x"});
    ASSERT_TRUE(env.access->bOpen(env.st, L"d", bBackward ? 0 : 1));
    std::vector<int> tabKeys;
    eNA_PARSEDIRECTION e = bBackward ? NA_PARSE_LAST : NA_PARSE_FIRST;
    for (int guard = 0; guard < 20; ++guard) {
      ASSERT_TRUE(env.st->bFetch(e, 0, 1)) << Narrow(env.error->pszGetError());
      if (env.st->bOutOfRange()) break;
      tabKeys.push_back(env.nKeyValue(env.d));
      e = bBackward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT;
    }
    std::vector<int> tabExpected = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    if (bBackward) std::reverse(tabExpected.begin(), tabExpected.end());
    EXPECT_EQ(tabExpected, tabKeys);
    EXPECT_EQ(3, env.access->nContinuations);
    // The continuation goes on in the key's order: after 8 comes 7.
    const std::string sSecond = bBackward ? "SELECT `pk`,`k`,`u`,`d`,`name` FROM `tbl` WHERE `d`>3 ORDER BY `d` LIMIT 3"
                                          : "SELECT `pk`,`k`,`u`,`d`,`name` FROM `tbl` WHERE `d`<8 ORDER BY `d` DESC LIMIT 3";
    ASSERT_LE(2u, env.server.vecTexts.size());
    EXPECT_EQ(sSecond, env.server.vecTexts[1]);
  }
}

// The continuation of a column described descending turns: the search
// after a value on a table asks for smaller ones.
TEST_F(stmttexts_browse, DescendingTableColumnContinuesDownward) {
  Env env;
  EXPECT_EQ(1, CNAExpression::s_eGetSensTriColonne(env.record, env.record->pclGetColumnNoRef(env.d)));
  EXPECT_EQ(0, CNAExpression::s_eGetSensTriColonne(env.record, env.record->pclGetColumnNoRef(env.u)));
  EXPECT_EQ(0, CNAExpression::s_eGetSensTriColonne(nullptr, env.record->pclGetColumnNoRef(env.d)));
}

}  // namespace
