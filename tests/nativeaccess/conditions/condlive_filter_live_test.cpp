// The WHERE conditions of filters, run on the fixture's server: intervals
// on one item and on the composite key, a condition the SQL parser
// analysed joined to an interval, each alone and joined with the search
// of a row continued after and before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CNAFilter.h"
#include "StandInParserBuilder.h"
#include "condlive_support.h"

namespace {

using namespace kxcondlive;

class condliveFilter : public CondLiveTest {};

// Filters on one item: an interval whose bounds are each included or not,
// equal or not, either one alone, generic (prefix) bounds, and on the item
// sorted descending bounds given in its own order (the higher first). A
// row passes each bound in the item's order; NULL rows pass only through
// an included lower end that is 0 or '' (where the platform keeps NULL as
// that value). Alone, and joined with searches.
TEST_F(condliveFilter, IntervalsOnOneItem) {
  struct F {
    std::string name;
    int c;
    Bound lo, hi;
    int generic;
  };
  const std::vector<F> cases = {
      {"int [0,5]", N, I(0, 1), I(5, 1), 0},
      {"int ]0,5]", N, I(0, 0), I(5, 1), 0},
      {"int [-3,0[", N, I(-3, 1), I(0, 0), 0},
      {"int [5,5]", N, I(5, 1), I(5, 1), 0},
      {"int ]5,5[", N, I(5, 0), I(5, 0), 0},
      {"int [5,5[", N, I(5, 1), I(5, 0), 0},
      {"int ]5,5]", N, I(5, 0), I(5, 1), 0},
      {"int [0,", N, I(0, 1), None(), 0},
      {"int [-3,", N, I(-3, 1), None(), 0},
      {"int ,0]", N, None(), I(0, 1), 0},
      // The type's extremes are the platform's open-end markers: no bound.
      {"int ]-2147483648,2147483647[ (open ends)", N, I(-2147483647 - 1, 0), I(2147483647, 0), 0},
      {"latin1 [a,b]", L, T(L, "a", 1), T(L, "b", 1), 0},
      {"latin1 ['',b[", L, T(L, "", 1), T(L, "b", 0), 0},
      {"latin1 ]%,_]", L, T(L, "%", 0), T(L, "_", 1), 0},
      {"latin1 [abc,abc]", L, T(L, "abc", 1), T(L, "abc", 1), 0},
      {"latin1 generic [ab,ab]", L, T(L, "ab", 1), T(L, "ab", 1), 1},
      {"latin1 generic [a,ab]", L, T(L, "a", 1), T(L, "ab", 1), 1},
      {"latin1 generic ]ab,z[", L, T(L, "ab", 0), T(L, "z", 0), 1},
      {"utf8mb4 [a,b]", U, T(U, "a", 1), T(U, "b", 1), 0},
      {"utf8mb4 generic [A,A]", U, T(U, "A", 1), T(U, "A", 1), 1},
      {"utf8mb4 generic ]a_,x'[", U, T(U, "a_", 0), T(U, "x'", 0), 1},
      {"amount [-12.5,0]", AMT, A(L"-12.5", 1), A(L"0", 1), 0},
      {"amount [0,100]", AMT, A(L"0", 1), A(L"100", 1), 0},
      {"amount ]-12.5,12.5[", AMT, A(L"-12.5", 0), A(L"12.5", 0), 0},
      {"amount ,-0.000001]", AMT, None(), A(L"-0.000001", 1), 0},
      // The date sorts descending: bounds in its order, the later first.
      {"date desc [20231231,20230101]", D, Dt(L"20231231", 1), Dt(L"20230101", 1), 0},
      {"date desc ]20231231,20230101[", D, Dt(L"20231231", 0), Dt(L"20230101", 0), 0},
      {"date desc [20230227,", D, Dt(L"20230227", 1), None(), 0},
      {"date desc ,20230227]", D, None(), Dt(L"20230227", 1), 0},
      {"date desc generic [2024,2023]", D, Dt(L"2024", 1), Dt(L"2023", 1), 1},
      {"date desc generic [9999,9999]", D, Dt(L"9999", 1), Dt(L"9999", 1), 1},
      {"datetime generic [2023,2023]", DT, Dt(L"2023", 1), Dt(L"2023", 1), 1},
      {"datetime generic [202302,2023022715]", DT, Dt(L"202302", 1), Dt(L"2023022715", 1), 1},
      {"datetime generic ]2023,9999]", DT, Dt(L"2023", 0), Dt(L"9999", 1), 1},
      {"datetime [20230227150000000,20230227160000000[", DT, Dt(L"20230227150000000", 1),
       Dt(L"20230227160000000", 0), 0},
  };
  for (const F& f : cases) {
    SCOPED_TRACE(f.name);
    CNAFilter* filter = NewFilter(f.c, f.lo, f.hi, f.generic);
    const bool bOpen = f.name.find("(open ends)") != std::string::npos;
    const std::set<int> want = bOpen ? Where([](std::size_t) { return true; })
                                     : FilterReference(f.c, f.lo, f.hi, f.generic != 0);
    const Outcome alone = Run(NewSearch(), filter);
    CheckNullSelection("filter " + f.name, f.c, alone);
    Expect("filter " + f.name, alone, want);
    // The same filter joined with the searches of a row's INT: equality,
    // after and before; the row is 3 (INT 5).
    LoadRow(2);
    CNARecherche* s = NewSearch();
    ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(N), NA_PARSE_CURRENT, 0, nullptr));
    const std::vector<int> order = ServerOrder("ITEM1, ITEM0");
    const auto at = std::find(order.begin(), order.end(), 3) - order.begin();
    auto both = [&](std::set<int> a) {
      std::set<int> r;
      for (int id : a)
        if (want.count(id)) r.insert(id);
      return r;
    };
    Expect("filter " + f.name + " and row 3 (equality)", Run(s, filter), both({3}));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    Expect("filter " + f.name + " and row 3 (after)", Run(s, filter),
           both(std::set<int>(order.begin() + at + 1, order.end())));
    ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(N), NA_PARSE_CURRENT, 0, nullptr));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
    Expect("filter " + f.name + " and row 3 (before)", Run(s, filter),
           both(std::set<int>(order.begin(), order.begin() + at)));
  }
}

// A filter joined with a condition the SQL parser analysed: the condition
// is one operand of the AND, so its OR lets no row outside the interval
// through.
TEST_F(condliveFilter, IntervalWithParsedCondition) {
  CStandInParserLedger::Reset();
  {
    std::unique_ptr<CStandInParserBuilder> cond(
        CStandInParserBuilder::pclCondition(L"ITEM2 = 'e' OR ITEM3 = 'abd'"));
    cond->Where(cond->Op(2, {cond->Op(9, {cond->Item(L"ITEM2", L"", L"ITEM2"), cond->TextLiteral(L"'e'")}),
                             cond->Op(9, {cond->Item(L"ITEM3", L"", L"ITEM3"), cond->TextLiteral(L"'abd'")})}));
    const Bound lo = I(-1, 1);
    const Bound hi = I(2, 1);
    CNAFilter* f = new CNAFilter(m_pError, m_pCnx);
    f->AddRef();
    ASSERT_TRUE(f->bSetFilter(m_pRecord, Item(N), &lo.value, 1, &hi.value, 1, cond->pi(), 0));
    f->ActivateFilter(1);
    const std::set<int> interval = FilterReference(N, lo, hi, false);
    const std::string e = Weight(L, "e");
    const std::string abd = Weight(U, "abd");
    const std::set<int> want = Where([&](std::size_t r) {
      const bool bCondition = (!CellOf(r, L).null && CellOf(r, L).ord == e) || (!CellOf(r, U).null && CellOf(r, U).ord == abd);
      return bCondition && interval.count(Rows()[r].pk) != 0;
    });
    Expect("filter int [-1,2] and a parsed condition", Run(NewSearch(), f), want);
    // With the search of a row continued after it.
    LoadRow(0);
    CNARecherche* s = NewSearch();
    ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(L), NA_PARSE_CURRENT, 0, nullptr));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    const std::vector<int> order = ServerOrder("ITEM2, ITEM0");
    const auto at = std::find(order.begin(), order.end(), 1) - order.begin();
    std::set<int> after;
    for (auto it = order.begin() + at + 1; it != order.end(); ++it)
      if (want.count(*it)) after.insert(*it);
    Expect("filter int [-1,2] and a parsed condition, after row 1 by latin1", Run(s, f), after);
    f->nRelease();
    // The condition alone.
    CNAFilter* g = new CNAFilter(m_pError, m_pCnx);
    g->AddRef();
    ASSERT_TRUE(g->bSetFilter(m_pRecord, Item(N), nullptr, 1, nullptr, 1, cond->pi(), 0));
    g->ActivateFilter(1);
    const std::set<int> alone = Where([&](std::size_t r) {
      return (!CellOf(r, L).null && CellOf(r, L).ord == e) || (!CellOf(r, U).null && CellOf(r, U).ord == abd);
    });
    Expect("filter of a parsed condition alone", Run(NewSearch(), g), alone);
    g->nRelease();
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// Filters on the composite key: bounds are key buffers, compared as
// tuples over the components they give (the date reversed); a bound ending
// in the lowest or highest marker of a component leaves that component
// open; generic bounds end in a prefix. As on one item, NULL values pass
// no bound by their order. Alone, and with a search of a row
// by the composite key continued after and before it.
TEST_F(condliveFilter, CompositeKeyIntervals) {
  struct KB {
    KeyCase k;
    std::string tail;  // a marker byte, or nothing
    int included;
  };
  struct F {
    std::string name;
    KB lo, hi;
    int generic;
  };
  const std::string lowest(1, '\0');
  const std::string highest(1, '\xFF');
  const std::vector<F> cases = {
      {"whole [abc/-12.5/20230601, e/-1234567890.123456/20230227]",
       {{"", "abc", L"-12.5", L"20230601", -1}, "", 1},
       {{"", "e", L"-1234567890.123456", L"20230227", -1}, "", 1},
       0},
      {"whole ]abc/-12.5/20230601, abc/-12.5/20230101[",
       {{"", "abc", L"-12.5", L"20230601", -1}, "", 0},
       {{"", "abc", L"-12.5", L"20230101", -1}, "", 0},
       0},
      {"text and amount [abc/-12.5, abc/0]",
       {{"", "abc", L"-12.5", L"20230101", kTextWidth + kAmountWidth}, "", 1},
       {{"", "abc", L"0", L"20230101", kTextWidth + kAmountWidth}, "", 1},
       0},
      {"open amounts [abc/lowest, abc/highest]",
       {{"", "abc", L"0", L"20230101", kTextWidth}, lowest, 1},
       {{"", "abc", L"0", L"20230101", kTextWidth}, highest, 1},
       0},
      {"open amount [e/lowest,",
       {{"", "e", L"0", L"20230101", kTextWidth}, lowest, 1},
       {{"", "", L"0", L"20230101", 0}, "", 1},
       0},
      {"generic [ab, ab]",
       {{"", "ab", L"0", L"20230101", 2}, "", 1},
       {{"", "ab", L"0", L"20230101", 2}, "", 1},
       1},
      {"generic [a, abc/-12.5/2023]",
       {{"", "a", L"0", L"20230101", 1}, "", 1},
       {{"", "abc", L"-12.5", L"20230615", kTextWidth + kAmountWidth + 4}, "", 1},
       1},
  };
  for (const F& f : cases) {
    SCOPED_TRACE(f.name);
    // The reference: a marker's component is left out (an open end).
    const std::vector<Component> lo = KeyOf(f.lo.k);
    const std::vector<Component> hi = KeyOf(f.hi.k);
    const bool bHi = f.hi.k.bytes != 0;
    // A filter takes no NULL in by order: a row whose comparison with a
    // bound meets a NULL component before it is decided fails that bound
    // (none of these bounds ends in 0 or '').
    auto compare = [&](std::size_t r, const std::vector<Component>& key, int* result) {
      for (const Component& k : key) {
        if (CellOf(r, k.c).null) return false;
        const int c = CompareKey([&](int col) -> const Cell& { return CellOf(r, col); }, {k});
        if (c != 0) {
          *result = c;
          return true;
        }
      }
      *result = 0;
      return true;
    };
    const std::set<int> want = Where([&](std::size_t r) {
      int a = 0;
      if (!compare(r, lo, &a) || a < 0 || (a == 0 && !f.lo.included)) return false;
      if (!bHi) return true;
      int b = 0;
      return compare(r, hi, &b) && (b < 0 || (b == 0 && f.hi.included));
    });
    const CAny loBuffer = KeyBuffer(f.lo.k.text, f.lo.k.amount, f.lo.k.date, f.lo.k.bytes, f.lo.tail);
    const CAny hiBuffer = KeyBuffer(f.hi.k.text, f.hi.k.amount, f.hi.k.date, f.hi.k.bytes, f.hi.tail);
    CNAFilter* filter = new CNAFilter(m_pError, m_pCnx);
    filter->AddRef();
    m_apSearches.push_back(filter);
    ASSERT_TRUE(filter->bSetFilter(m_pRecord, Item(KEY), &loBuffer, f.lo.included, bHi ? &hiBuffer : nullptr,
                                   f.hi.included, nullptr, f.generic));
    filter->ActivateFilter(1);
    Expect("key filter " + f.name, Run(NewSearch(), filter), want);
    // With the search of row 19 by the composite key, continued.
    const std::vector<int> order = ServerOrder("ITEM2, ITEM6, ITEM4 DESC, ITEM0");
    const auto at = std::find(order.begin(), order.end(), 19) - order.begin();
    auto both = [&](std::vector<int>::const_iterator b, std::vector<int>::const_iterator e) {
      std::set<int> r;
      for (; b != e; ++b)
        if (want.count(*b)) r.insert(*b);
      return r;
    };
    LoadRow(18);
    CNARecherche* s = NewSearch();
    ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(KEY), NA_PARSE_CURRENT, 0, nullptr));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
    Expect("key filter " + f.name + " after row 19", Run(s, filter), both(order.begin() + at + 1, order.end()));
    ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(KEY), NA_PARSE_CURRENT, 0, nullptr));
    ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
    Expect("key filter " + f.name + " before row 19", Run(s, filter), both(order.begin(), order.begin() + at));
  }
}

// A filter on the item's current value (flag 0x8, no bound given): the
// rows whose value equals the record's; a NULL value gives the NULL rows,
// and 0, an included lower end that NULL stands for, takes them in too.
TEST_F(condliveFilter, EqualityOnTheCurrentValue) {
  for (std::size_t r : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{4}}) {
    const Row& row = Rows()[r];
    const std::string name = "filter on the current value of row " + std::to_string(row.pk);
    SCOPED_TRACE(name);
    LoadRow(r);
    CNAFilter* f = new CNAFilter(m_pError, m_pCnx);
    f->AddRef();
    m_apSearches.push_back(f);
    ASSERT_TRUE(f->bSetFilter(m_pRecord, Item(N), nullptr, 1, nullptr, 1, nullptr, CNAFilter::knFlagFromRecord));
    f->ActivateFilter(1);
    const std::set<int> want = Where([&](std::size_t k) {
      const Row& x = Rows()[k];
      if (!row.n) return !x.n.has_value();
      return x.n ? *x.n == *row.n : *row.n == 0;
    });
    const Outcome o = Run(NewSearch(), f);
    CheckNullSelection(name, N, o);
    Expect(name, o, want);
  }
}

}  // namespace
