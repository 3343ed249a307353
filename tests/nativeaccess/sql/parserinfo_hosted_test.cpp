// What the library keeps of a parsed query: the classification of its
// output items (identifier, unique, key, best parse item), the record
// operations a query allows, physical names, alias lookups, memo sources
// and the references taken on the parser's objects. Queries come from the
// stand-in parser, built from their text; after every test the stand-in's
// ledger shows every reference given back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAError.h"
#include "CSQLParserInfo.h"
#include "IInfoFrom.h"
#include "IInfoOrderBy.h"
#include "IInfoRubrique.h"
#include "StandInParserBuilder.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

using Builder = CStandInParserBuilder;

class parserinfo : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    CStandInParserLedger::Reset();
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
    BoundRuntimeTest::TearDown();
  }
  // A wrapper over the builder's query, held once.
  CSQLParserInfo* Wrap(Builder& b, INAQueryParametersValue* parameters = nullptr, int conditionMode = 0) {
    auto* p = new CSQLParserInfo(m_pclError, b.pi(), parameters, conditionMode);
    p->AddRef();
    return p;
  }
  CNAError* m_pclError = nullptr;
};

// Output-item classification on one table: which item identifies a row,
// which is the first unique and the first key, and the best parse item.
TEST_F(parserinfo, ClassifiesTheOutputItemsOfOneTable) {
  struct stItem {
    int nVersion;
    std::uint32_t nType;
    int bPrimary, bUnique, bDuplicates, bComposed, bNullAllowed;
    bool bDescribed;
  };
  const stItem kPlain{9, 2, 0, 0, 0, 0, 1, true};
  const stItem kNone{9, 2, 0, 0, 0, 0, 1, false};
  struct stCase {
    const char* name;
    std::vector<stItem> items;  // output items a, b, c in that order
    int orderBy;                // ORDER BY output index (-1: no ORDER BY)
    int identifier, unique, key, best;  // output indexes (-1: none)
  } kCases[] = {
      {"plain columns only", {kPlain, kPlain}, -1, -1, -1, -1, 0},
      {"primary key", {kPlain, {9, 2, 1, 1, 0, 0, 0, true}}, -1, 1, 1, 1, 1},
      {"unique not null, version 9", {kPlain, {9, 2, 0, 1, 0, 0, 0, true}}, -1, 1, 1, 1, 1},
      {"unique allowing NULL, version 9", {kPlain, {9, 2, 0, 1, 0, 0, 1, true}}, -1, -1, 1, 1, 1},
      {"unique automatic identifier, version 8", {kPlain, {8, 28, 0, 1, 0, 0, 1, true}}, -1, 1, 1, 1, 1},
      {"unique text, version 8", {kPlain, {8, 2, 0, 1, 0, 0, 0, true}}, -1, -1, 1, 1, 1},
      {"key with duplicates", {{9, 2, 0, 0, 1, 0, 1, true}, kPlain}, -1, -1, -1, 0, 0},
      {"composed key passed over", {{9, 2, 1, 1, 0, 1, 0, true}, {9, 2, 0, 0, 1, 0, 1, true}}, -1, -1, -1, 1, 1},
      {"no description", {kNone, {9, 2, 0, 0, 1, 0, 1, true}}, -1, -1, -1, 1, 1},
      {"first unique then primary", {{9, 2, 0, 1, 0, 0, 1, true}, {9, 2, 1, 1, 0, 0, 0, true}}, -1, 1, 1, 1, 1},
      {"ORDER BY item before any key", {kPlain, {9, 2, 1, 1, 0, 0, 0, true}}, 0, 1, 1, 1, 0},
      {"ORDER BY index out of range", {kPlain, {9, 2, 0, 1, 0, 0, 1, true}}, 7, -1, 1, 1, 1},
  };
  for (const stCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const wchar_t* pszText = c.orderBy >= 0 ? L"SELECT a, b FROM t ORDER BY x" : L"SELECT a, b FROM t";
    Builder b(pszText);
    std::vector<CStandInInfoRubrique*> items;
    const wchar_t* names[] = {L"a", L"b"};
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      items.push_back(b.Column(names[i], L"t", names[i]));
      if (!c.items[i].bDescribed) continue;
      CStandInItemDescription* d = b.Describe(items.back(), c.items[i].nType);
      d->m_nVersion = static_cast<std::uint32_t>(c.items[i].nVersion);
      d->m_bPrimary = c.items[i].bPrimary;
      d->m_bUnique = c.items[i].bUnique;
      d->m_bDuplicates = c.items[i].bDuplicates;
      d->m_bComposed = c.items[i].bComposed;
      d->m_bNullAllowed = c.items[i].bNullAllowed;
    }
    b.From(L"t");
    if (c.orderBy >= 0) b.OrderBy(L"x", c.orderBy);
    CSQLParserInfo* p = Wrap(b);
    auto at = [&](int n) -> IInfoRubrique* { return n < 0 ? nullptr : items[static_cast<std::size_t>(n)]; };
    EXPECT_EQ(at(c.identifier), p->piGetIdentifierItemNoRef());
    EXPECT_EQ(at(c.unique), p->piGetUniqueItemNoRef());
    EXPECT_EQ(at(c.key), p->piGetKeyItemNoRef());
    EXPECT_EQ(at(c.best), p->piGetBestParseItemNoRef());
    EXPECT_EQ(c.identifier >= 0, p->bRubriqueUniqueNotNull(at(c.identifier >= 0 ? c.identifier : 0)) != 0);
    EXPECT_EQ(at(c.orderBy >= 0 && c.orderBy < 2 ? c.orderBy : -1), p->piGetOrderByItemNoRef());
    p->nRelease();
  }
}

// Over two tables no item identifies a row: the best parse item is the
// ORDER BY's output item, else the first output item.
TEST_F(parserinfo, TwoTablesHaveNoIdentifier) {
  Builder b(L"SELECT a, b FROM t, u ORDER BY b");
  CStandInInfoRubrique* a = b.Column(L"a", L"t", L"a");
  b.Describe(a, 2)->m_bPrimary = 1;
  CStandInInfoRubrique* bb = b.Column(L"b", L"u", L"b");
  b.From(L"t");
  b.From(L"u");
  b.OrderBy(L"b", 1);
  CSQLParserInfo* p = Wrap(b);
  EXPECT_EQ(nullptr, p->piGetIdentifierItemNoRef());
  EXPECT_EQ(nullptr, p->piGetKeyItemNoRef());
  EXPECT_EQ(bb, p->piGetBestParseItemNoRef());
  EXPECT_STREQ(L"b", p->pszGetBestParseItem());
  EXPECT_STREQ(L"b", p->pszGetOrderByItem());
  // The record layer's list: the output items of the ORDER BY.
  EXPECT_EQ(bb, p->piEnumRubriqueClauseOrder(1));
  EXPECT_EQ(nullptr, p->piEnumRubriqueClauseOrder(0));
  p->nRelease();
}

// Record operations are refused for grouping functions, GROUP BY, items
// that cannot be modified and DISTINCT written any way as a word.
TEST_F(parserinfo, RecordOperationsAllowed) {
  struct stCase {
    const wchar_t* text;
    bool allowed;
  } kCases[] = {
      {L"SELECT a FROM t", true},
      {L"SELECT DISTINCT a FROM t", false},
      {L"SELECT distinct a FROM t", false},
      {L"SELECT Distinct a FROM t", false},
      {L"select\tDISTINCT\na from t", false},
      {L"SELECT DISTINCTROW a FROM t", false},
      {L"SELECT(distinct a) FROM t", false},
      {L"SELECT distinct_count FROM t", true},
      {L"SELECT a FROM t WHERE b='x distinct y'", false},  // the literal rule refuses it too
      {L"SELECT nondistinct FROM t", true},
  };
  for (const stCase& c : kCases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::wcslen(c.text)));
    Builder b(c.text);
    CSQLParserInfo* p = Wrap(b);
    EXPECT_EQ(c.allowed, p->bHOperationAllowed() != 0);
    p->nRelease();
  }
  {
    // COUNT(*): a grouping function at the root.
    Builder b(L"SELECT COUNT(*) FROM t");
    CAny star;
    b.Calculated(b.Func(27, L"COUNT", {b.Literal(L"*", star)}), nullptr);
    b.From(L"t");
    CSQLParserInfo* p = Wrap(b);
    EXPECT_TRUE(p->bGetGroupingFunction());
    EXPECT_FALSE(p->bHOperationAllowed());
    p->nRelease();
  }
  {
    // GROUP BY.
    Builder b(L"SELECT a FROM t GROUP BY a");
    b.Column(L"a", L"t", L"a");
    b.From(L"t");
    b.GroupBy(L"a", L"", L"a");
    CSQLParserInfo* p = Wrap(b);
    EXPECT_FALSE(p->bHOperationAllowed());
    ASSERT_NE(nullptr, p->piEnumRubriqueClauseGroupe(1));
    p->nRelease();
  }
  {
    // An item that cannot be modified (slot 23 zero).
    Builder b(L"SELECT a FROM t");
    b.Column(L"a", L"t", L"a")->m_bModifiable = 0;
    b.From(L"t");
    CSQLParserInfo* p = Wrap(b);
    EXPECT_FALSE(p->bHOperationAllowed());
    p->nRelease();
  }
  {
    // Only the root is tested for a grouping function: SUM(x)+1 passes
    // here and is refused through its slot 23.
    Builder b(L"SELECT SUM(x)+1 FROM t");
    CAny one;
    one.SetI4(1);
    CStandInExpression* sum = b.Func(28, L"SUM", {b.Item(L"x", L"", L"x")});
    b.Calculated(b.Op(1, {sum, b.Literal(L"1", one)}), nullptr);
    b.From(L"t");
    CSQLParserInfo* p = Wrap(b);
    EXPECT_FALSE(p->bGetGroupingFunction());
    EXPECT_TRUE(p->bGetNotModifiable());
    p->nRelease();
  }
}

// Physical names: a name the parser knows comes back whole whatever its
// length, each answer is the caller's own copy, and an empty name or a
// failing parser gives the empty string.
TEST_F(parserinfo, PhysicalNames) {
  const std::wstring sLong(300, L'p');
  Builder b(L"SELECT a FROM t");
  CStandInInfoRubrique* a = b.Column(L"a", L"t", L"a");
  b.From(L"t");
  b.PhysicalName(L"t", L"phys_t");
  b.PhysicalName(L"long", sLong.c_str());
  b.PhysicalName(L"other", L"phys_other");
  CSQLParserInfo* p = Wrap(b);
  std::vector<std::size_t>& calls = b.p()->m_tabPhysicalCalls;

  EXPECT_EQ(0, p->csGetPhysicalName(L"").nTaille());
  EXPECT_EQ(0, p->csGetPhysicalName(static_cast<const wchar_t*>(nullptr)).nTaille());
  EXPECT_TRUE(calls.empty()) << "an empty name is not asked";

  // 300 characters: asked once more with the room the parser asks for.
  CTString csLong = p->csGetPhysicalName(L"long");
  EXPECT_EQ(sLong, std::wstring(csLong.pszGet()));
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ(261u, calls[0]);
  EXPECT_EQ(301u, calls[1]);

  // A table and an item asked one after the other: both answers stay.
  CTString csTable = p->csGetPhysicalName(L"t");
  CTString csOther = p->csGetPhysicalName(L"other");
  EXPECT_STREQ(L"phys_t", csTable.pszGet());
  EXPECT_STREQ(L"phys_other", csOther.pszGet());
  // An output item: its logical table's physical name, else the logical
  // name itself.
  EXPECT_STREQ(L"phys_t", p->csGetPhysicalName(a).pszGet());
  a->m_sNomTableLogique = L"unknown";
  EXPECT_STREQ(L"unknown", p->csGetPhysicalName(a).pszGet());
  a->m_sNomTableLogique = L"";
  EXPECT_EQ(0, p->csGetPhysicalName(a).nTaille());
  EXPECT_EQ(0, p->csGetPhysicalName(L"unknown").nTaille());

  // A parser that ignores the room is served as before.
  b.p()->m_bPhysicalIgnoresCapacity = true;
  EXPECT_STREQ(L"phys_t", p->csGetPhysicalName(L"t").pszGet());
  // A throwing parser: empty, and no item description.
  b.Describe(a, 2);
  b.p()->m_bThrowItemDescription = true;
  EXPECT_EQ(nullptr, p->piGetItemDescription(a));
  b.p()->m_bThrowPhysicalName = true;
  EXPECT_EQ(0, p->csGetPhysicalName(L"t").nTaille());
  a->m_sNomTableLogique = L"t";
  EXPECT_STREQ(L"t", p->csGetPhysicalName(a).pszGet());
  p->nRelease();
}

// Output items by alias, table aliases and data-source descriptions: the
// first match, nothing found through a throwing parser, one reference per
// description handed on, the FROM cursor left alone.
TEST_F(parserinfo, AliasLookups) {
  Builder b(L"SELECT x.a AS aa, 1+2 AS calc, y.a FROM t AS x, u AS y, v");
  CStandInInfoRubrique* aa = b.Column(L"x.a", L"x", L"a", L"aa");
  CAny one, two;
  one.SetI4(1);
  two.SetI4(2);
  CStandInInfoRubrique* calc = b.Calculated(b.Op(1, {b.Literal(L"1", one), b.Literal(L"2", two)}), L"calc");
  CStandInInfoRubrique* ya = b.Column(L"y.a", L"y", L"a");
  CStandInInfoFrom* t = b.From(L"t", L"x");
  b.From(L"u", L"y");
  CStandInInfoFrom* v = b.From(L"v");
  CSQLParserInfo* p = Wrap(b);

  EXPECT_EQ(aa, p->piGetInfoRubriqueFromAlias(nullptr, L"AA"));
  EXPECT_EQ(calc, p->piGetInfoRubriqueFromAlias(L"", L"calc"));
  EXPECT_EQ(nullptr, p->piGetInfoRubriqueFromAlias(L"x", L"calc")) << "calculated items have no table";
  EXPECT_EQ(ya, p->piGetInfoRubriqueFromAlias(L"y", L"a"));
  EXPECT_EQ(nullptr, p->piGetInfoRubriqueFromAlias(L"x", L"a"));
  EXPECT_EQ(calc, p->piEnumRubriqueOUT(L"calc"));
  // The walk ends at a throw: what was found before stays, later items are
  // not reached.
  calc->m_bThrowNames = true;
  EXPECT_EQ(aa, p->piGetInfoRubriqueFromAlias(L"", L"aa"));
  EXPECT_EQ(nullptr, p->piGetInfoRubriqueFromAlias(L"", L"a"));
  EXPECT_EQ(ya, p->piGetInfoRubriqueFromAlias(L"y", L"a")) << "with a table the calculated item is not asked";
  calc->m_bThrowNames = false;
  EXPECT_EQ(ya, p->piGetInfoRubriqueFromAlias(L"", L"a"));

  // The FROM cursor stays where the caller left it.
  ASSERT_EQ(t, p->piEnumFichierFrom(1));
  INADataSourceDescription* d = reinterpret_cast<INADataSourceDescription*>(1);
  EXPECT_TRUE(p->bIsTableAlias(L"x", &d));
  EXPECT_EQ(nullptr, d);
  EXPECT_FALSE(p->bIsTableAlias(L"v", &d));
  ASSERT_EQ(v->m_pclSource, d) << "an unaliased table: its own description";
  EXPECT_EQ(1, v->m_pclSource->m_nExternal);
  d->nExternalRelease();
  EXPECT_FALSE(p->bIsTableAlias(L"t", &d)) << "a table name that is not an alias: by name";
  ASSERT_EQ(t->m_pclSource, d);
  d->nExternalRelease();
  EXPECT_FALSE(p->bIsTableAlias(L"nowhere", &d));
  EXPECT_EQ(nullptr, d);
  EXPECT_NE(t, p->piEnumFichierFrom(0)) << "the cursor moved on from the first table";
  EXPECT_EQ(v, p->piEnumFichierFrom(0));

  // The server names of the FROM tables; outside the list: empty.
  EXPECT_STREQ(L"u", p->csGetFichierFrom_DBTableName(1).pszGet());
  EXPECT_EQ(0, p->csGetFichierFrom_DBTableName(3).nTaille());
  EXPECT_EQ(0, p->csGetFichierFrom_DBTableName(-1).nTaille());
  p->nRelease();
}

// A memo deep in a calculated item is found, every operand given back.
TEST_F(parserinfo, MemoSourcesOfCalculatedItems) {
  Builder b(L"SELECT UPPER(CONCAT(a, note)) AS big, CONCAT(a, b) AS small, m FROM t");
  CStandInExpression* upper =
      b.Func(60, L"UPPER", {b.Func(61, L"CONCAT", {b.Item(L"a", L"", L"a", 2), b.Item(L"note", L"", L"note", 16)})});
  b.Calculated(upper, L"big");
  b.Calculated(b.Func(61, L"CONCAT", {b.Item(L"a", L"", L"a", 2), b.Item(L"b", L"", L"b", 2)}), L"small");
  CStandInInfoRubrique* m = b.Column(L"m", L"t", L"m");
  b.From(L"t");
  CSQLParserInfo* p = Wrap(b);
  CStandInItemDescription big(L"big"), small(L"small"), none(L"none");
  auto* colBig = new CNAColumn(nullptr, &big);
  auto* colSmall = new CNAColumn(nullptr, &small);
  auto* colNone = new CNAColumn(nullptr, &none);
  EXPECT_TRUE(p->bRubriqueSourceIsMemo(colBig));
  EXPECT_FALSE(p->bRubriqueSourceIsMemo(colSmall));
  EXPECT_FALSE(p->bRubriqueSourceIsMemo(colNone));
  EXPECT_GT(CStandInParserLedger::nGives(eParserCount::Operand), 3);
  EXPECT_EQ(0, CStandInParserLedger::nOutstanding(eParserCount::Operand));
  EXPECT_EQ(0, CStandInParserLedger::nOutstanding(eParserCount::Tree));
  (void)m;
  delete colBig;
  delete colSmall;
  delete colNone;
  p->nRelease();
}

// References: every list element, tree, bind value and description taken
// is given back by Set and the destructor; Set clears the borrowed items
// and the row-limit answer.
TEST_F(parserinfo, SetGivesEverythingBackAndClearsTheBorrowedItems) {
  Builder b(L"SELECT a, b FROM t WHERE a = 1 GROUP BY a, b HAVING b > 2 ORDER BY b DESC LIMIT 5");
  CStandInInfoRubrique* a = b.Column(L"a", L"t", L"a");
  b.Describe(a, 2)->m_bPrimary = 1;
  b.Column(L"b", L"t", L"b");
  b.From(L"t");
  CAny one, two;
  one.SetI4(1);
  two.SetI4(2);
  b.Where(b.Op(9, {b.Item(L"a", L"", L"a"), b.Literal(L"1", one)}));
  b.GroupBy(L"a", L"", L"a");
  b.GroupBy(L"b", L"", L"b");
  b.Having(b.Op(13, {b.Item(L"b", L"", L"b"), b.Literal(L"2", two)}));
  b.OrderBy(L"b", 1);
  CStandInQueryParameters params;
  params.m_bPrepared = 1;
  CSQLParserInfo* p = Wrap(b, &params);
  EXPECT_EQ(2, b.p()->nGetCount()) << "one reference on the parser information";
  EXPECT_EQ(1, params.m_nExternal);
  EXPECT_TRUE(p->bHPrepareRequeteCalled());
  INAQueryParametersValue* piParams = p->piGetUserBindVariable();
  EXPECT_EQ(2, params.m_nExternal);
  piParams->nExternalRelease();
  EXPECT_EQ(a, p->piGetIdentifierItemNoRef());
  EXPECT_NE(nullptr, p->piGetWhereNoRef());
  EXPECT_NE(nullptr, p->piGetHavingNoRef());
  EXPECT_EQ(1, CStandInParserLedger::nOutstanding(eParserCount::From));
  EXPECT_EQ(2, CStandInParserLedger::nOutstanding(eParserCount::Rubrique));
  EXPECT_EQ(1, CStandInParserLedger::nOutstanding(eParserCount::OrderBy));
  EXPECT_EQ(2, CStandInParserLedger::nOutstanding(eParserCount::Tree));
  EXPECT_TRUE(p->bQueryResultsetLimited(nullptr));
  EXPECT_STREQ(b.sText().c_str(), p->pszGetRequete());

  // A second analysis replaces the first: nothing of it is left behind.
  Builder b2(L"SELECT c FROM w");
  b2.Column(L"c", L"w", L"c");
  b2.From(L"w");
  p->Set(b2.pi(), nullptr, 0);
  EXPECT_EQ(1, b.p()->nGetCount());
  EXPECT_EQ(0, params.m_nExternal);
  EXPECT_EQ(nullptr, p->piGetIdentifierItemNoRef());
  EXPECT_EQ(nullptr, p->piGetOrderByItemNoRef());
  EXPECT_FALSE(p->bQueryResultsetLimited(nullptr)) << "the row-limit answer is about the new text";
  EXPECT_EQ(nullptr, p->piEnumRubriqueClauseGroupe(1));
  EXPECT_EQ(1, CStandInParserLedger::nOutstanding(eParserCount::From));
  EXPECT_EQ(0, CStandInParserLedger::nOutstanding(eParserCount::Tree));
  // Enumerations start at -1: nothing before a restart.
  EXPECT_EQ(nullptr, p->piEnumFichierFrom(0));
  EXPECT_EQ(nullptr, p->piEnumRubriqueOUT(0));
  p->nRelease();
  EXPECT_EQ(1, b2.p()->nGetCount());
}

// A condition-only analysis keeps the WHERE tree and asks for no HAVING,
// GROUP BY or ORDER BY.
TEST_F(parserinfo, ConditionModeTakesOnlyTheCondition) {
  std::unique_ptr<Builder> b(Builder::pclCondition(L"a = 1"));
  CAny one;
  one.SetI4(1);
  b->Where(b->Op(9, {b->Item(L"a", L"", L"a"), b->Literal(L"1", one)}));
  CSQLParserInfo* p = Wrap(*b, nullptr, 1);
  EXPECT_NE(nullptr, p->piGetWhereNoRef());
  EXPECT_EQ(nullptr, p->piGetSelectNoRef());
  EXPECT_EQ(nullptr, p->piGetBestParseItemNoRef());
  EXPECT_EQ(1, CStandInParserLedger::nOutstanding(eParserCount::Tree));
  p->nRelease();
}

// An automatic identifier in the select list of a one-table query.
TEST_F(parserinfo, QueryContainsAnAutomaticIdentifier) {
  struct stCase {
    int typeCode;
    int tables;
    bool expected;
  } kCases[] = {{24, 1, true}, {38, 1, true}, {2, 1, false}, {24, 2, false}};
  for (const stCase& c : kCases) {
    Builder b(c.tables == 1 ? L"SELECT id FROM t" : L"SELECT id FROM t, u");
    b.Column(L"id", L"t", L"id")->m_nTypeCode = c.typeCode;
    b.From(L"t");
    if (c.tables == 2) b.From(L"u");
    EXPECT_EQ(c.expected, CSQLParserInfo::bQueryContainIdAuto(b.pi()) != 0) << c.typeCode << " " << c.tables;
  }
  EXPECT_FALSE(CSQLParserInfo::bQueryContainIdAuto(nullptr));
}

// The ORDER BY and GROUP BY entry of a column: by its name, or by its
// unaliased name and table alias.
TEST_F(parserinfo, ClauseEntriesOfAColumn) {
  Builder b(L"SELECT a AS x, b FROM t GROUP BY a ORDER BY b, a");
  b.Column(L"a", L"t", L"a", L"x");
  b.Column(L"b", L"t", L"b");
  b.From(L"t", nullptr, L"phys_t");
  b.GroupBy(L"a", L"t", L"a", L"x");
  CStandInInfoOrderBy* ob = b.OrderBy(L"b", 1);
  CStandInInfoOrderBy* oa = b.OrderBy(L"a", 0);
  CSQLParserInfo* p = Wrap(b);
  CStandInItemDescription dx(L"x"), db(L"b");
  auto* cx = new CNAColumn(nullptr, &dx);
  auto* cb = new CNAColumn(nullptr, &db);
  EXPECT_EQ(oa, p->piGetRubriqueClauseOrder(cx));
  EXPECT_EQ(ob, p->piGetRubriqueClauseOrder(cb));
  ASSERT_NE(nullptr, p->piGetRubriqueClauseGroupe(cx));
  EXPECT_EQ(nullptr, p->piGetRubriqueClauseGroupe(cb));
  delete cx;
  delete cb;
  p->nRelease();
}

}  // namespace
