// Parsed queries rebuilt for the server: the stand-in parser's analysis of
// a query text, rebuilt by the command builder, compared as formatted text
// (literals written by the test connection) and as parameter positions.
// After every test the stand-in's ledger shows every reference given back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAParameter.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNARecord.h"
#include "support/TestConnection.h"
#include "support/TestRecordSource.h"
#include "support/TestDriver.h"

namespace {

using Builder = CStandInParserBuilder;
using kxtest::TestConnection;
using kxtest::TestDriver;

// A connection of the generic kind (its literal writer needs no server)
// whose NULL ordering a test chooses.
class ParsedConnection : public TestConnection {
 public:
  ParsedConnection() {
    m_eDataSource = DATASOURCE_DEFAULT;
    m_nDataBaseCodePage = 65001;
    m_nApplicationCodePage = 1252;
  }
  int bNULLBeforeNotNULL() override { return bNullFirst ? 1 : 0; }
  const wchar_t* pszGetNoLockHint() override { return pszHint; }
  // Another database kind of the generic layer; the name quotes stay.
  void SetDialect(int kind, int serverMajor = -1) {
    m_eDataSource = static_cast<eDATASOURCE>(kind);
    m_nServerMajor = serverMajor;
  }
  bool bNullFirst = true;
  const wchar_t* pszHint = nullptr;
};

// A command that notes each call of the function-argument hook: the
// argument, before or after, and the raw text's end at that moment.
class HookedCommand : public CNACommand {
 public:
  using CNACommand::CNACommand;
  void _vConvertirFonction(CSQLParserInfo*, IExpOpExpression* function, int argument, int before) override {
    const std::wstring sRaw = pszGetOriginalSQL();
    sCalls += std::to_wstring(function->eGetOperateur()) + L":" + std::to_wstring(argument) +
              (before ? L"+" : L"-") + L"[" + sRaw.substr(sRaw.size() >= 3 ? sRaw.size() - 3 : 0) + L"] ";
  }
  std::wstring sCalls;
};

CAny I4(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

CAny Text(const wchar_t* s) {
  CAny v;
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(s, std::wcslen(s) * sizeof(wchar_t));
  return v;
}

class parsedquery : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    CStandInParserLedger::Reset();
    ASSERT_TRUE(CNADriverLock::s_bCreate());
    m_pclDriver = new TestDriver();
    ASSERT_EQ(1, m_pclDriver->bInitDriver());
    m_pclCnx = new ParsedConnection();
    m_pclCnx->AddRef();
    m_pclError = new CNAError();
    m_pclError->AddRef();
  }
  void TearDown() override {
    for (CNACommand* p : m_apCommands) p->nRelease();
    m_apCommands.clear();
    for (CSQLParserInfo* p : m_apQueries) p->nRelease();
    m_apQueries.clear();
    m_apBuilders.clear();
    m_pValues.reset();
    m_pclError->nRelease();
    m_pclCnx->nRelease();
    delete m_pclDriver;
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
    BoundRuntimeTest::TearDown();
  }
  CNACommand* New() {
    CNACommand* p = m_pclDriver->pclAllocCommand(m_pclError, m_pclCnx);
    p->AddRef();
    m_apCommands.push_back(p);
    return p;
  }
  // Builders live until every command and wrapper has let them go.
  Builder& B(const wchar_t* text, int kind = 1) {
    m_apBuilders.emplace_back(new Builder(text, kind));
    return *m_apBuilders.back();
  }
  Builder* Cond(const wchar_t* text) {
    m_apBuilders.emplace_back(Builder::pclCondition(text));
    return m_apBuilders.back().get();
  }
  CSQLParserInfo* Query(Builder& b, INAQueryParametersValue* values = nullptr, int conditionMode = 0) {
    auto* p = new CSQLParserInfo(m_pclError, b.pi(), values, conditionMode);
    p->AddRef();
    m_apQueries.push_back(p);
    return p;
  }
  // A filter command holding `text`.
  CNACommand* Filter(const wchar_t* text) {
    CNACommand* p = New();
    p->bComplete(text);
    return p;
  }
  // Rebuilds b's query; the formatted text, or "<failed>".
  std::wstring Rebuild(Builder& b, CNACommand** out = nullptr, CNACommand* filter = nullptr, int orderBy = 1,
                       int mode = 0, INAQueryParametersValue* values = nullptr) {
    CNACommand* p = New();
    if (out != nullptr) *out = p;
    if (!p->bFormatCondition(Query(b, values), filter, orderBy, mode))
      return L"<failed>" + std::wstring(m_pclError->pszGetError());
    return F(p);
  }
  static std::wstring F(CNACommand* c) {
    const wchar_t* psz = c->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    return psz != nullptr ? psz : L"<null>" + std::wstring(c->pclGetError()->pszGetError());
  }
  static std::vector<std::uint64_t> Positions(CNACommand* c) {
    std::vector<std::uint64_t> tab;
    for (int i = 0; i < c->nGetParameterNbr(); ++i)
      tab.push_back(c->pclGetParameterNoRef(static_cast<unsigned>(i))->nGetPosition());
    return tab;
  }

  TestDriver* m_pclDriver = nullptr;
  ParsedConnection* m_pclCnx = nullptr;
  CNAError* m_pclError = nullptr;
  std::vector<CNACommand*> m_apCommands;
  std::vector<CSQLParserInfo*> m_apQueries;
  std::vector<std::unique_ptr<Builder>> m_apBuilders;
  // Bind values outlive the queries that hold them.
  std::unique_ptr<CStandInQueryParameters> m_pValues{new CStandInQueryParameters};
};

// A filter joins the WHERE: a new WHERE where there was none (before a
// GROUP BY or an ORDER BY), the own condition bracketed and ANDed with it
// otherwise.
TEST_F(parsedquery, FilterMergesIntoTheWhere) {
  {
    Builder& b = B(L"SELECT a FROM t ORDER BY a");
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    b.OrderBy(L"a", 0);
    EXPECT_EQ(L"SELECT `t`.`a` FROM `t` WHERE b=2 ORDER BY `t`.`a`", Rebuild(b, nullptr, Filter(L"b=2")));
  }
  {
    Builder& b = B(L"SELECT a FROM t WHERE a = 1 OR b = 2");
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    b.Where(b.Op(2, {b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))}),
                     b.Op(9, {b.Item(L"b", L"", L"b"), b.Literal(L"2", I4(2))})}));
    CNACommand* c = nullptr;
    EXPECT_EQ(L"SELECT `t`.`a` FROM `t` WHERE (`a` = 1 OR `b` = 2 ) AND (c=3)", Rebuild(b, &c, Filter(L"c=3")));
    EXPECT_EQ((std::vector<std::uint64_t>{37, 47}), Positions(c)) << "the literals became parameters";
  }
  {
    Builder& b = B(L"SELECT a, COUNT(*) AS n FROM t GROUP BY a HAVING COUNT(*) > 1");
    b.Column(L"a", L"t", L"a");
    b.Calculated(b.Func(27, L"COUNT", {b.Leaf(L"*")}), L"n");
    b.From(L"t");
    b.GroupBy(L"a", L"", L"a");
    b.Having(b.Op(13, {b.Func(27, L"COUNT", {b.Leaf(L"*")}), b.Literal(L"1", I4(1))}));
    EXPECT_EQ(L"SELECT `t`.`a`, COUNT(*) AS `n` FROM `t` WHERE b=2 GROUP BY `a` HAVING COUNT(*) > 1",
              Rebuild(b, nullptr, Filter(L"b=2")));
  }
}

// A filter query's condition goes into the caller's brackets alone: a
// condition-only parse whole, a full query only to its WHERE's end (no
// ORDER BY or LIMIT of the filter query).
TEST_F(parsedquery, FilterExpressionCopiesOnlyTheCondition) {
  Builder* cond = Cond(L"(a = 1 OR b = 'x')");
  cond->Where(cond->Bracket(cond->Op(2, {cond->Op(9, {cond->Item(L"a", L"", L"a"), cond->Literal(L"1", I4(1))}),
                                         cond->Op(9, {cond->Item(L"b", L"", L"b"), cond->TextLiteral(L"'x'")})})));
  CNACommand* c = New();
  c->bComplete(L"SELECT * FROM u WHERE (");
  ASSERT_TRUE(c->bAddFilterExpression(Query(*cond, nullptr, 1)));
  c->bComplete(L")");
  EXPECT_EQ(L"SELECT * FROM u WHERE ((`a` = 1 OR `b` = 'x' ))", F(c));

  Builder& b = B(L"SELECT a FROM t WHERE a = 1 ORDER BY a LIMIT 3");
  b.Column(L"a", L"t", L"a");
  b.From(L"t");
  b.Where(b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))}));
  b.OrderBy(L"a", 0);
  CNACommand* d = New();
  d->bComplete(L"SELECT * FROM u WHERE (");
  ASSERT_TRUE(d->bAddFilterExpression(Query(b)));
  d->bComplete(L")");
  EXPECT_EQ(L"SELECT * FROM u WHERE (`a` = 1 )", F(d));
}

// Bind values become named parameters wherever they stand (select list,
// WHERE, LIMIT), with a filter merged too, and refreshed from the query's
// values.
TEST_F(parsedquery, BindValuesBecomeNamedParameters) {
  Builder& b = B(L"SELECT :v FROM t WHERE a = :w LIMIT :n");
  b.Calculated(b.Leaf(L":v"), nullptr);
  b.From(L"t");
  b.Where(b.Op(9, {b.Item(L"a", L"", L"a"), b.Leaf(L":w")}));
  b.Rewind();
  b.Bind(L":v", L"v", I4(7));
  b.Bind(L":w", L"w", Text(L"O'Brien"));
  b.Bind(L":n", L"n", I4(2));
  CStandInQueryParameters& values = *m_pValues;
  values.Set(L"v", I4(7));
  values.Set(L"w", Text(L"O'Brien"));
  values.Set(L"n", I4(2));
  CNACommand* c = nullptr;
  EXPECT_EQ(L"SELECT 7 FROM `t` WHERE (`a` = 'O''Brien' ) AND (z=0) LIMIT 2",
            Rebuild(b, &c, Filter(L"z=0"), 1, 0, &values));
  ASSERT_EQ(3, c->nGetParameterNbr());
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(c->pclGetParameterNoRef(static_cast<unsigned>(i))->nGetOptions() & CNAParameter::knOptionBindVariable);
  EXPECT_STREQ(L"w", c->pclGetParameterNoRef(1)->pszGetName());
  // New values: the same command sends them.
  values.Set(L"w", Text(L"Smith"));
  values.Set(L"n", I4(5));
  c->bUpdateParametersValues();
  EXPECT_EQ(L"SELECT 7 FROM `t` WHERE (`a` = 'Smith' ) AND (z=0) LIMIT 5", F(c));

  // A bind value at the very start: parameter 0 at position 0; the
  // parser's item references formatted as WHERE items (an alias keeps its
  // name, a logical table takes its physical one).
  Builder& s = B(L":x + 1 = x.a OR lt.b = 2");
  s.Bind(L":x", L"x", I4(3));
  s.ItemRef(L"x.a", L"x", L"a");
  s.ItemRef(L"lt.b", L"lt", L"b");
  s.PhysicalName(L"lt", L"phys");
  CNACommand* d = New();
  ASSERT_TRUE(d->bComplete(s.pi()));
  EXPECT_EQ((std::vector<std::uint64_t>{0}), Positions(d));
  EXPECT_EQ(L"3 + 1 = `x`.`a` OR `phys`.`b` = 2", F(d));
}

// The query's end: with ORDER BY flag 0 only the own ORDER BY items are
// left out, the LIMIT stays once; bFormatORDERBY puts the ORDER BY back
// ahead of it (kept or inverted); bFormatEndOfQuery adds nothing more.
TEST_F(parsedquery, OrderByAndTheQueryEnd) {
  struct stCase {
    const wchar_t* text;
    int keep;
    const wchar_t* expected;
  } kCases[] = {
      {L"SELECT a FROM t ORDER BY b DESC LIMIT :n", 1, L"SELECT `t`.`a` FROM `t` ORDER BY b DESC LIMIT 4"},
      {L"SELECT a FROM t ORDER BY a, b desc LIMIT :n", 0, L"SELECT `t`.`a` FROM `t` ORDER BY `t`.`a` DESC, b ASC LIMIT 4"},
      {L"SELECT a FROM t ORDER BY a DESC, b LIMIT :n", 0, L"SELECT `t`.`a` FROM `t` ORDER BY `t`.`a` ASC, b DESC LIMIT 4"},
  };
  for (const stCase& k : kCases) {
    SCOPED_TRACE(std::string(k.text, k.text + std::wcslen(k.text)));
    Builder& b = B(k.text);
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    if (std::wstring(k.text).find(L"BY b") != std::wstring::npos) {
      b.OrderBy(L"b", -1, 0);
    } else {
      b.OrderBy(L"a", 0);
      b.OrderBy(L"b", -1, 0);
    }
    b.Bind(L":n", L"n", I4(4));
    CNACommand* c = nullptr;
    EXPECT_EQ(L"SELECT `t`.`a` FROM `t` LIMIT 4", Rebuild(b, &c, nullptr, 0));
    ASSERT_TRUE(c->bFormatORDERBY(1, k.keep));
    EXPECT_EQ(k.expected, F(c));
    EXPECT_FALSE(c->bFormatEndOfQuery());
    EXPECT_EQ(k.expected, F(c));
  }
}

// Pass-through with ORDER BY flag 0 leaves out the query's own ORDER BY
// from the parser's start: not at a text search (a string literal holding
// "ORDER BY", any spelling); a query that limits its own rows keeps it.
TEST_F(parsedquery, PassThroughLeavesOutOnlyTheParsersOrderBy) {
  struct stCase {
    const wchar_t* text;
    const wchar_t* orderFragment;
    const wchar_t* expected;
  } kCases[] = {
      {L"SELECT a FROM t WHERE b = 'ORDER BY x' ORDER BY a", L"ORDER BY a", L"SELECT a FROM t WHERE b = 'ORDER BY x' "},
      {L"SELECT a FROM t Order By a", L"Order By a", L"SELECT a FROM t "},
      {L"SELECT a FROM t order by a LIMIT 2", L"order by a", L"SELECT a FROM t order by a LIMIT 2"},
      {L"SELECT a FROM t", nullptr, L"SELECT a FROM t"},
  };
  for (const stCase& k : kCases) {
    SCOPED_TRACE(std::string(k.text, k.text + std::wcslen(k.text)));
    Builder& b = B(k.text);
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    if (k.orderFragment != nullptr) {
      b.Seek(k.orderFragment);
      b.OrderBy(L"a", 0);
    }
    EXPECT_EQ(k.expected, Rebuild(b, nullptr, nullptr, 0, 1));
  }
}

// "SELECT *" lists the output items; an unaliased table takes its physical
// name everywhere, a real alias stays (the server refuses the table's name
// once it is aliased); a calculated alias is written as its expression
// with its literal's parameter moved along.
TEST_F(parsedquery, NamesTablesAndAliases) {
  {
    Builder& b = B(L"SELECT * FROM t");
    b.StarColumn(L"t", L"a");
    b.StarColumn(L"t", L"b");
    b.From(L"t", nullptr, L"t_phys");
    EXPECT_EQ(L"SELECT `t_phys`.`a`, `t_phys`.`b` FROM `t_phys`", Rebuild(b));
  }
  {
    Builder& b = B(L"SELECT x.a AS xa, y.a FROM t AS x, t AS y WHERE x.a = y.b GROUP BY x.a ORDER BY xa");
    b.Column(L"x.a", L"x", L"a", L"xa");
    b.Column(L"y.a", L"y", L"a");
    b.From(L"t", L"x", L"t_phys");
    b.From(L"t", L"y");
    b.Where(b.Op(9, {b.Item(L"x.a", L"x", L"a"), b.Item(L"y.b", L"y", L"b")}));
    b.GroupBy(L"x.a", L"x", L"a");
    b.OrderBy(L"xa", 0);
    EXPECT_EQ(L"SELECT `x`.`a` AS `xa`, `y`.`a` FROM `t_phys` AS `x`, `t_phys` AS `y` WHERE `x`.`a` = `y`.`b` GROUP BY "
              L"`x`.`a` ORDER BY `xa`",
              Rebuild(b));
  }
  {
    Builder& b = B(L"SELECT a+1 AS c FROM t WHERE c > 2 GROUP BY c");
    b.Calculated(b.Op(20, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))}), L"c");
    b.From(L"t");
    b.Where(b.Op(13, {b.Item(L"c", L"", L"c"), b.Literal(L"2", I4(2))}));
    b.GroupBy(L"c", L"", L"c");
    CNACommand* c = nullptr;
    EXPECT_EQ(L"SELECT `a`+1 AS `c` FROM `t` WHERE `a`+1 > 2 GROUP BY `a`+1", Rebuild(b, &c));
    // Raw positions: the select list's literal, the alias's copy in the
    // WHERE (moved by where it was written), the WHERE's own literal, the
    // GROUP BY copy.
    EXPECT_EQ((std::vector<std::uint64_t>{11, 38, 41, 55}), Positions(c));
  }
}

// A comparison with an empty date is written by the NULL ordering: the
// whole comparison, never an item before a constant truth.
TEST_F(parsedquery, EmptyDateComparisons) {
  struct stCase {
    int op;
    const wchar_t* sign;
    const wchar_t* nullFirst;
    const wchar_t* nullLast;
  } kCases[] = {
      {9, L"=", L"`t`.`d` IS NULL ", L"`t`.`d` IS NULL "},
      {10, L"<>", L"`t`.`d` IS NOT NULL ", L"`t`.`d` IS NOT NULL "},
      {11, L"<", L" 0=1 ", L"`t`.`d` IS NOT NULL "},
      {12, L"<=", L"`t`.`d` IS NULL ", L" 1=1 "},
      {13, L">", L"`t`.`d` IS NOT NULL ", L" 0=1 "},
      {14, L">=", L" 1=1 ", L"`t`.`d` IS NULL "},
  };
  for (std::uint32_t type : {14u, 24u}) {
    for (const stCase& k : kCases) {
      for (bool bFirst : {true, false}) {
        SCOPED_TRACE(std::to_string(k.op) + (bFirst ? " first " : " last ") + std::to_string(type));
        const std::wstring sText = std::wstring(L"SELECT a FROM t WHERE d ") + k.sign + L" '' AND a = 1";
        Builder& b = B(sText.c_str());
        b.Column(L"a", L"t", L"a");
        CStandInInfoFrom* t = b.From(L"t");
        b.TableItem(t, L"d", type);
        b.Where(b.Op(1, {b.Op(k.op, {b.Item(L"d", L"t", L"d"), b.TextLiteral(L"''")}),
                         b.Op(9, {b.Item(L"a", L"t", L"a"), b.Literal(L"1", I4(1))})}));
        m_pclCnx->bNullFirst = bFirst;
        EXPECT_EQ(L"SELECT `t`.`a` FROM `t` WHERE " + std::wstring(bFirst ? k.nullFirst : k.nullLast) +
                      L" AND `t`.`a` = 1",
                  Rebuild(b));
      }
    }
  }
}

// A JOIN's condition is written like a WHERE, each table by its physical
// name.
TEST_F(parsedquery, JoinConditions) {
  Builder& b = B(L"SELECT a FROM t JOIN u ON t.id = u.id WHERE a = 1");
  b.Column(L"a", L"t", L"a");
  b.From(L"t", nullptr, L"pt");
  b.From(L"u", nullptr, L"pu");
  b.Join(b.Op(9, {b.Item(L"t.id", L"t", L"id"), b.Item(L"u.id", L"u", L"id")}));
  b.Where(b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))}));
  EXPECT_EQ(L"SELECT `pt`.`a` FROM `pt` JOIN `pu` ON `pt`.`id` = `pu`.`id` WHERE `a` = 1", Rebuild(b));
}

// A date compared with a text that is not empty stays a comparison.
TEST_F(parsedquery, DatesWithAValueStayComparisons) {
  Builder& b = B(L"SELECT a FROM t WHERE d < '20240101'");
  b.Column(L"a", L"t", L"a");
  CStandInInfoFrom* t = b.From(L"t");
  b.TableItem(t, L"d", 14);
  b.Where(b.Op(11, {b.Item(L"d", L"t", L"d"), b.TextLiteral(L"'20240101'")}));
  CNACommand* c = nullptr;
  const std::wstring s = Rebuild(b, &c);
  EXPECT_EQ(0u, s.find(L"SELECT `t`.`a` FROM `t` WHERE `t`.`d` < ")) << std::string(s.begin(), s.end());
  EXPECT_EQ(1, c->nGetParameterNbr());
}

// Calculated aliases that name each other (a through b through a) are
// refused wherever the item stands on the chain; positions past the text
// refuse the query.
TEST_F(parsedquery, RefusedQueries) {
  {
    Builder& b = B(L"SELECT b+1 AS a, a+1 AS b FROM t WHERE a > 0");
    CStandInExpression* ea = b.Op(20, {b.Item(L"b", L"", L"b"), b.Literal(L"1", I4(1))});
    b.Calculated(ea, L"a");
    CStandInExpression* eb = b.Op(20, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))});
    b.Calculated(eb, L"b");
    b.From(L"t");
    b.Where(b.Op(13, {b.Item(L"a", L"", L"a"), b.Literal(L"0", I4(0))}));
    const std::wstring s = Rebuild(b);
    EXPECT_EQ(0u, s.find(L"<failed>")) << std::string(s.begin(), s.end());
    EXPECT_NE(std::wstring::npos, s.find(L"cannot be used here")) << std::string(s.begin(), s.end());
  }
  {
    Builder& b = B(L"SELECT a FROM t WHERE a = 1");
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    b.Where(b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"1", I4(1))}));
    b.p()->m_stWhere.nStop = 99;
    EXPECT_EQ(0u, Rebuild(b).find(L"<failed>")) << "a range past the text's end";
  }
}

// A LIKE literal becomes a LIKE parameter (flags 0xC0000, the node's
// escape) whose text comes out as written; operator 73 is refused.
TEST_F(parsedquery, LikeLiteralsAndRefusedOperators) {
  Builder& b = B(L"SELECT a FROM t WHERE n LIKE 'O''Br%'");
  b.Column(L"a", L"t", L"a");
  b.From(L"t");
  CStandInExpression* like = b.Op(32, {b.Item(L"n", L"", L"n"), b.TextLiteral(L"'O''Br%'")});
  b.Where(like);
  CNACommand* c = nullptr;
  const std::wstring s = Rebuild(b, &c);
  ASSERT_EQ(1, c->nGetParameterNbr());
  EXPECT_EQ(0xC0000u, c->pclGetParameterNoRef(0)->nGetOptions() & 0xC0000u);
  EXPECT_EQ(L"SELECT `t`.`a` FROM `t` WHERE `n` LIKE 'O''Br%'", s);

  Builder& r = B(L"SELECT a FROM t WHERE a = 1");
  r.Column(L"a", L"t", L"a");
  r.From(L"t");
  r.Where(r.Op(73, {r.Item(L"a", L"", L"a"), r.Literal(L"1", I4(1))}));
  CNACommand* d = New();
  EXPECT_FALSE(d->bFormatCondition(Query(r), nullptr, 1, 0));
  const std::wstring sError = m_pclError->pszGetError();
  EXPECT_NE(std::wstring::npos, sError.find(L"MariaDB"));
}

// INSERT and UPDATE: column lists written as names, values walked as
// parameters typed by their column.
TEST_F(parsedquery, InsertAndUpdate) {
  {
    Builder& b = B(L"INSERT INTO t (a, n) VALUES ('x', NULL)", TYPEREQUETE_INSERT);
    CStandInInfoFrom* t = b.From(L"t");
    b.TableItem(t, L"a", 2);
    CStandInInsertion* ca = b.InsertColumn(L"a", L"t", L"a");
    CStandInInsertion* cn = b.InsertColumn(L"n", L"t", L"n");
    b.InsertValue(ca, b.TextLiteral(L"'x'"));
    CAny null;
    null.SetNull();
    b.InsertValue(cn, b.Literal(L"NULL", null));
    CNACommand* c = nullptr;
    EXPECT_EQ(L"INSERT INTO `t` (`a`, `n`) VALUES ('x' , NULL )", Rebuild(b, &c));
    EXPECT_EQ(2, c->nGetParameterNbr());
  }
  {
    Builder& b = B(L"UPDATE t SET a = 'y' WHERE n = 1", TYPEREQUETE_UPDATE);
    b.From(L"t");
    CStandInExpression* column = b.Item(L"a", L"", L"a");
    b.Set(column, b.TextLiteral(L"'y'"));
    b.Where(b.Op(9, {b.Item(L"n", L"", L"n"), b.Literal(L"1", I4(1))}));
    CNACommand* c = nullptr;
    EXPECT_EQ(L"UPDATE `t` SET `a` = 'y' WHERE `n` = 1", Rebuild(b, &c));
    EXPECT_EQ(2, c->nGetParameterNbr());
  }
}

// Function arguments by database kind: the separators (and the text before
// the first argument and the closing bracket) as each dialect writes them,
// the function renamed with them; MariaDB keeps them all; a character-set
// introducer stays with its argument.
TEST_F(parsedquery, FunctionArgumentsByDialect) {
  struct Case {
    int nKind;
    const wchar_t* pszText;
    int nOp;
    const wchar_t* pszFunction;
    int nArgs;  // items n, m, o, p in that order, or n then literals 2 and 3
    bool bLiterals;
    const wchar_t* pszExpected;
  };
  const Case aCases[] = {
      {11, L"SELECT a FROM t WHERE LTRIM(n) = 'x'", 52, L"LTRIM", 1, false,
       L"SELECT `t`.`a` FROM `t` WHERE TRIM(LEADING FROM `n`) = 'x'"},
      {11, L"SELECT a FROM t WHERE RTRIM( n ) = 'x'", 53, L"RTRIM", 1, false,
       L"SELECT `t`.`a` FROM `t` WHERE TRIM( TRAILING FROM `n` ) = 'x'"},
      {1, L"SELECT a FROM t WHERE CONCAT(n, m, o, p) = 'x'", 88, L"CONCAT", 4, false,
       L"SELECT t.a FROM t WHERE CONCAT(n, m)||(o||p) = N'x'"},
      {1, L"SELECT a FROM t WHERE CONCAT(n, m) = 'x'", 88, L"CONCAT", 2, false,
       L"SELECT t.a FROM t WHERE CONCAT(n, m) = N'x'"},
      {1, L"SELECT a FROM t WHERE HEX(n) = 'x'", 92, L"HEX", 1, false,
       L"SELECT t.a FROM t WHERE TO_CHAR(n,'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX') = N'x'"},
      {11, L"SELECT a FROM t WHERE HEX(n) = 'x'", 92, L"HEX", 1, false,
       L"SELECT `t`.`a` FROM `t` WHERE SUBSTR(HEX(`n`),3) = 'x'"},
      {1, L"SELECT a FROM t WHERE LEFT(n, 2) = 'x'", 42, L"LEFT", 2, true,
       L"SELECT t.a FROM t WHERE SUBSTR(n,1, 2 ) = N'x'"},
      {6, L"SELECT a FROM t WHERE LEFT(n, 2) = 'x'", 42, L"LEFT", 2, true,
       L"SELECT `t`.`a` FROM `t` WHERE SUBSTRING(`n`,1, 2 ) = 'x'"},
      {1, L"SELECT a FROM t WHERE SUBSTRING(n FROM 2 FOR 3) = 'x'", 75, L"SUBSTRING", 3, true,
       L"SELECT t.a FROM t WHERE SUBSTR(n,2 ,3 ) = N'x'"},
      {5, L"SELECT a FROM t WHERE LEFT(n, 2) = 'x'", 42, L"LEFT", 2, true,
       L"SELECT `t`.`a` FROM `t` WHERE LEFT(`n`, 2 ) = 'x'"},
      {5, L"SELECT a FROM t WHERE SUBSTRING(n FROM 2 FOR 3) = 'x'", 75, L"SUBSTRING", 3, true,
       L"SELECT `t`.`a` FROM `t` WHERE SUBSTRING(`n` FROM 2 FOR 3 ) = 'x'"},
  };
  for (const Case& k : aCases) {
    SCOPED_TRACE(std::string(k.pszText, k.pszText + std::wcslen(k.pszText)) + " kind " + std::to_string(k.nKind));
    m_pclCnx->SetDialect(k.nKind);
    Builder& b = B(k.pszText);
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    std::vector<CStandInExpression*> args;
    static const wchar_t* const kaItems[] = {L"n", L"m", L"o", L"p"};
    static const wchar_t* const kaLiterals[] = {L"2", L"3"};
    for (int i = 0; i < k.nArgs; ++i) {
      if (k.bLiterals && i > 0)
        args.push_back(b.Literal(kaLiterals[i - 1], I4(i + 1)));
      else
        args.push_back(b.Item(kaItems[i], L"", kaItems[i]));
    }
    CStandInExpression* fn = nullptr;
    switch (k.nArgs) {
      case 1: fn = b.Func(k.nOp, k.pszFunction, {args[0]}); break;
      case 2: fn = b.Func(k.nOp, k.pszFunction, {args[0], args[1]}); break;
      case 3: fn = b.Func(k.nOp, k.pszFunction, {args[0], args[1], args[2]}); break;
      default: fn = b.Func(k.nOp, k.pszFunction, {args[0], args[1], args[2], args[3]}); break;
    }
    b.Where(b.Op(9, {fn, b.TextLiteral(L"'x'")}));
    EXPECT_EQ(k.pszExpected, Rebuild(b));
  }
}

// The argument hook runs before and after each argument, once the text
// before the argument is written and once the argument is; an introducer
// is kept as written while the bracket before it is rewritten.
TEST_F(parsedquery, FunctionArgumentHookAndIntroducer) {
  m_pclCnx->SetDialect(11);
  Builder& b = B(L"SELECT a FROM t WHERE LTRIM(_utf8'ab') = n AND LEFT(n, m) = 'x'");
  b.Column(L"a", L"t", L"a");
  b.From(L"t");
  CStandInExpression* trim = b.Func(52, L"LTRIM", {b.TextLiteral(L"'ab'")});
  CStandInExpression* left1 = b.Op(9, {trim, b.Item(L"n", L"", L"n")});
  CStandInExpression* left = b.Func(42, L"LEFT", {b.Item(L"n", L"", L"n"), b.Item(L"m", L"", L"m")});
  b.Where(b.Op(1, {left1, b.Op(9, {left, b.TextLiteral(L"'x'")})}));
  auto* c = new HookedCommand(m_pclError, m_pclCnx);
  c->AddRef();
  m_apCommands.push_back(c);
  c->SetDriver(m_pclDriver);
  ASSERT_TRUE(c->bFormatCondition(Query(b), nullptr, 1, 0));
  EXPECT_EQ(L"SELECT `t`.`a` FROM `t` WHERE TRIM(LEADING FROM _utf8'ab' ) = `n` AND SUBSTR(`n`,1, `m`) = 'x'",
            F(c));
  EXPECT_EQ(L"52:0+[tf8] 52:0-[tf8] 42:0+[TR(] 42:0-[`n`] 42:1+[1, ] 42:1-[`m`] ", c->sCalls);
}

// _bExpressionColonneToSQL writes the items of a tree and nothing else:
// literals stay text (no parameter), functions keep their names.
TEST_F(parsedquery, ItemsOnlyWalk) {
  m_pclCnx->SetDialect(5);
  Builder& b = B(L"SELECT a FROM t WHERE LEFT(n, 2) = 'x' AND t.m > 3");
  b.Column(L"a", L"t", L"a");
  b.From(L"t", nullptr, L"tphys");
  CStandInExpression* tree =
      b.Op(1, {b.Op(9, {b.Func(42, L"LEFT", {b.Item(L"n", L"", L"n"), b.Literal(L"2", I4(2))}),
                        b.TextLiteral(L"'x'")}),
               b.Op(13, {b.Item(L"t.m", L"t", L"m"), b.Literal(L"3", I4(3))})});
  b.Where(tree);
  CSQLParserInfo* q = Query(b);
  CNACommand* c = New();
  const std::wstring sText = b.sText();
  unsigned long nCursor = static_cast<unsigned long>(sText.find(L"LEFT"));
  ASSERT_TRUE(c->_bExpressionColonneToSQL(q, sText.c_str(), tree, CNASqlElt::SQLELT_WHERE, &nCursor));
  EXPECT_EQ(std::wstring(L"LEFT(`n`, 2) = 'x' AND `tphys`.`m`"), c->pszGetOriginalSQL());
  EXPECT_EQ(sText.size() - 4, nCursor) << "the cursor stands after the last item";
  EXPECT_EQ(0, c->nGetParameterNbr());
}

// Dialect rules of names: kinds 6, 8 and 13 write an UPDATE's items alone
// (others qualify them); the record-lock hint follows each SELECT table
// except on kind 8 servers after version 9.
TEST_F(parsedquery, UpdateItemsAndLockHintByKind) {
  struct Update {
    int nKind;
    const wchar_t* pszExpected;
  };
  for (const Update& k : {Update{6, L"UPDATE `t` SET `a` = 'y' WHERE `n` = 1"},
                          Update{8, L"UPDATE `t` SET `a` = 'y' WHERE `n` = 1"},
                          Update{13, L"UPDATE `t` SET `a` = 'y' WHERE `n` = 1"},
                          Update{1, L"UPDATE t SET t.a = N'y' WHERE t.n = 1"}}) {
    SCOPED_TRACE(k.nKind);
    m_pclCnx->SetDialect(k.nKind);
    Builder& b = B(L"UPDATE t SET t.a = 'y' WHERE t.n = 1", TYPEREQUETE_UPDATE);
    b.From(L"t");
    CStandInExpression* column = b.Item(L"t.a", L"t", L"a");
    b.Set(column, b.TextLiteral(L"'y'"));
    b.Where(b.Op(9, {b.Item(L"t.n", L"t", L"n"), b.Literal(L"1", I4(1))}));
    EXPECT_EQ(k.pszExpected, Rebuild(b));
  }
  struct Lock {
    int nKind, nMajor;
    const wchar_t* pszExpected;
  };
  m_pclCnx->pszHint = L"NO_LOCK";
  for (const Lock& k : {Lock{8, 9, L"SELECT `t`.`a` FROM `t` NO_LOCK, `u` NO_LOCK"},
                        Lock{8, 10, L"SELECT `t`.`a` FROM `t`, `u`"},
                        Lock{2, 10, L"SELECT `t`.`a` FROM `t` NO_LOCK, `u` NO_LOCK"}}) {
    SCOPED_TRACE(std::to_string(k.nKind) + " version " + std::to_string(k.nMajor));
    m_pclCnx->SetDialect(k.nKind, k.nMajor);
    Builder& b = B(L"SELECT a FROM t, u");
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    b.From(L"u");
    EXPECT_EQ(k.pszExpected, Rebuild(b));
  }
}

// A number compared with a time item where the server has no time type
// becomes text of the item's size less one: cut, or padded with zeros
// unless it ends with "%"; a size of 0 or 1 leaves the value alone.
TEST_F(parsedquery, TimeLiteralTextBySize) {
  struct Case {
    std::uint32_t nSize;
    int nValue;
    const wchar_t* pszExpected;  // null: still a number
  };
  const Case aCases[] = {{5, 1230, L"1230"}, {7, 1230, L"123000"}, {3, 1230, L"12"}, {0, 1230, nullptr},
                         {1, 1230, nullptr}};
  CNACommand* c = New();
  for (const Case& k : aCases) {
    SCOPED_TRACE(k.nSize);
    CStandInItemDescription item(L"h", NA_IT_HEURE);
    item.m_nSize = k.nSize;
    CAny v = I4(k.nValue);
    c->FormatExpressionLiteral(CNASqlElt::SQLELT_WHERE, 9, nullptr, &item, NA_IT_HEURE, &v);
    if (k.pszExpected == nullptr) {
      EXPECT_EQ(static_cast<unsigned>(ANY_I4), v.nGetTypeCode());
      continue;
    }
    const wchar_t* psz = nullptr;
    ASSERT_EQ(ANY_OK, v.nGetPCWSTR(&psz));
    EXPECT_STREQ(k.pszExpected, psz);
  }
}

// A literal compared with an item takes the item's description and, when
// the statement's record has a column for the item, that column; an item
// the record lacks leaves the parameter without one.
TEST_F(parsedquery, LiteralParametersTakeTheRecordsColumn) {
  kxtest::DriverScope clDriver;  // the record's columns come from the process's driver
  kxtest::TestRecordSource clSource;
  CNAItemDescription* pclCount = clSource.pclAdd(NA_IT_I4, 4);  // ITEM0
  clSource.pclAdd(NA_IT_TEXTE, 11);                             // ITEM1
  CNADataAccess clAccess(&clSource, m_pclCnx, nullptr);
  clAccess.AddRef();  // held by the test: no release may delete it
  CNARecord* pclRecord = new CNARecord(m_pclError, &clAccess);
  pclRecord->AddRef();
  ASSERT_TRUE(pclRecord->bInitRecord(&clSource, nullptr, m_pclCnx));
  CNAColumn* pclColumn = pclRecord->pclGetColumnNoRef(pclCount);
  ASSERT_NE(nullptr, pclColumn);

  Builder& b = B(L"SELECT a FROM t WHERE ITEM0 = 5 OR x = 6");
  b.Column(L"a", L"t", L"a");
  CStandInInfoFrom* t = b.From(L"t");
  b.TableItem(t, L"ITEM0", NA_IT_I4);
  b.TableItem(t, L"x", NA_IT_I4);
  b.Where(b.Op(2, {b.Op(9, {b.Item(L"ITEM0", L"", L"ITEM0"), b.Literal(L"5", I4(5))}),
                   b.Op(9, {b.Item(L"x", L"", L"x"), b.Literal(L"6", I4(6))})}));
  CNACommand* c = m_pclDriver->pclAllocCommand(m_pclError, m_pclCnx);
  c->AddRef();
  c->SetRecord(pclRecord);
  EXPECT_TRUE(c->bFormatCondition(Query(b), nullptr, 1, 0));
  ASSERT_EQ(2, c->nGetParameterNbr());
  CNAParameter* pclFirst = c->pclGetParameterNoRef(0);
  CNAParameter* pclSecond = c->pclGetParameterNoRef(1);
  EXPECT_EQ(pclColumn, pclFirst->pclGetColumn());
  EXPECT_EQ(pclColumn->piGetItemDescription(), pclFirst->piGetItem()) << "the column's item replaces the parser's";
  EXPECT_EQ(nullptr, pclSecond->pclGetColumn());
  ASSERT_NE(nullptr, pclSecond->piGetItem());
  EXPECT_STREQ(L"x", pclSecond->piGetItem()->pszGetName());
  // The parameters (and the column references they hold) go before the
  // record and its driver.
  c->nRelease();
  pclRecord->nRelease();
}

}  // namespace
