// The WHERE conditions of searches on one item and of conditions added one
// by one, run on the fixture's server: every condition a search writes
// (its equality, and the continuations after and before the searched value
// or the given row, by every key) selects exactly the rows a reference
// computes from the platform's meaning of that search, never from the
// trees: NULL sorts first, texts compare and match prefixes by the
// server's collation weights, dates by their digits, amounts as scaled
// integers. A mismatch prints the condition, its parameters and both sets
// of rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "condlive_support.h"

namespace {

using namespace kxcondlive;

class condlive : public CondLiveTest {};

// The reference orders as the server does: per key, the reference's tuple
// order (NULL first, then the value's bytes, then pk) is the server's
// ORDER BY <key>, pk. The texts' weights are the ground of every text case
// below, so a wrong reading of them would show here first.
TEST_F(condlive, ReferenceOrderIsTheServers) {
  struct K {
    const char* pszOrderBy;
    std::vector<int> columns;  // compared in order
    std::vector<bool> descending;
  };
  const std::vector<K> keys = {
      {"ITEM1, ITEM0", {N}, {false}},
      {"ITEM2, ITEM0", {L}, {false}},
      {"ITEM3, ITEM0", {U}, {false}},
      {"ITEM4, ITEM0", {D}, {false}},
      {"ITEM5, ITEM0", {DT}, {false}},
      {"ITEM6, ITEM0", {AMT}, {false}},
      {"ITEM2, ITEM6, ITEM4 DESC, ITEM0", {L, AMT, D}, {false, false, true}},
  };
  for (const K& k : keys) {
    std::vector<std::size_t> order(Rows().size());
    for (std::size_t r = 0; r < order.size(); ++r) order[r] = r;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      for (std::size_t i = 0; i < k.columns.size(); ++i) {
        const int c = Compare(CellOf(a, k.columns[i]), CellOf(b, k.columns[i]));
        if (c != 0) return k.descending[i] ? c > 0 : c < 0;
      }
      return Rows()[a].pk < Rows()[b].pk;
    });
    std::vector<int> mine;
    for (std::size_t r : order) mine.push_back(Rows()[r].pk);
    EXPECT_EQ(ServerOrder(k.pszOrderBy), mine) << k.pszOrderBy;
  }
}

// A command written again by a search answers the NULL selection of its
// new condition: after the equality (NULL rows out) the before tree of the
// same value takes the NULL rows in, and the command must say so.
TEST_F(condlive, NullSelectionOfACommandWrittenAgain) {
  CNACommand* cmd = m_pDriver->pclAllocCommand(m_pError, m_pCnx);
  ASSERT_NE(nullptr, cmd);
  cmd->AddRef();
  CNARecherche* s = NewSearch();
  const CAny five = Int(5);
  ASSERT_TRUE(s->bSetRecherche(m_pRecord, Item(N), &five, NA_PARSE_CURRENT, 1, 0));
  ASSERT_TRUE(s->bGetSQL(cmd, nullptr, m_pRecord));
  EXPECT_FALSE(cmd->bColumnValuesNullSelected(Column(N))) << "ITEM1 = 5 selects no NULL row";
  ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
  ASSERT_TRUE(s->bGetSQL(cmd, nullptr, m_pRecord));
  Outcome o;
  const char* psz = cmd->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
  o.sText = psz != nullptr ? psz : "";
  o.bOk = psz != nullptr && Select(o.sText, &o.ids);
  const std::set<int> want = Reference(N, false, SignFlipped(5), false).before;
  Expect("before 5 (rows)", o, want);
  // The rows hold NULLs of ITEM1: the command may not say they are out.
  Outcome selection = o;
  if (!cmd->bColumnValuesNullSelected(Column(N))) {
    for (std::size_t r = 0; r < Rows().size(); ++r)
      if (CellOf(r, N).null) selection.ids.erase(Rows()[r].pk);
    selection.sParameters = "(server: its rows less the NULL ones of ITEM1, which the command says are out)";
  }
  Expect("before 5, written again into the equality's command (NULL selection)", selection, want);
  cmd->nRelease();
}

// Exact and generic searches on one item of every kind: the equality, the
// rows after the searched value (past every value it is a prefix of) and
// the rows before it (NULL rows included: NULL sorts first, also below 0
// and '').
TEST_F(condlive, SearchesOnOneItem) {
  struct S {
    const char* pszName;
    int c;
    CAny value;
    int exact;
    bool bNull;         // the reference value is NULL
    std::string sBytes; // else its reference bytes (for a text: the UTF-8 text, weighed below)
    bool bGeneric;      // the reference is a prefix
  };
  const std::vector<S> cases = {
      // The INT with NULLs: duplicates, 0, extremes, a value no row has.
      {"int 5", N, Int(5), 1, false, SignFlipped(5), false},
      {"int 0", N, Int(0), 1, false, SignFlipped(0), false},
      {"int -3", N, Int(-3), 1, false, SignFlipped(-3), false},
      {"int 6 (absent)", N, Int(6), 1, false, SignFlipped(6), false},
      {"int max", N, Int(2147483647), 1, false, SignFlipped(2147483647), false},
      {"int min", N, Int(-2147483647 - 1), 1, false, SignFlipped(-2147483647LL - 1), false},
      {"int NULL", N, NullInt(), 1, true, "", false},
      // Amounts: negative, zero, the smallest step, NULL.
      {"amount -12.5", AMT, Money(L"-12.5"), 1, false, SignFlipped(-12500000), false},
      {"amount 0", AMT, Money(L"0"), 1, false, SignFlipped(0), false},
      {"amount -0.000001", AMT, Money(L"-0.000001"), 1, false, SignFlipped(-1), false},
      {"amount 12.5", AMT, Money(L"12.5"), 1, false, SignFlipped(12500000), false},
      // Dates: complete values exact, periods generic (a year, a month, a
      // day, an hour), the last year of the calendar.
      {"date 20230227", D, Wide(L"20230227"), 1, false, "20230227", false},
      {"date 20230227 generic (complete)", D, Wide(L"20230227"), 0, false, "20230227", true},
      {"date 2023", D, Wide(L"2023"), 0, false, "2023", true},
      {"date 202302", D, Wide(L"202302"), 0, false, "202302", true},
      {"date 9999", D, Wide(L"9999"), 0, false, "9999", true},
      {"date 999912", D, Wide(L"999912"), 0, false, "999912", true},
      {"datetime complete", DT, Wide(L"20230227150000000"), 1, false, "20230227150000000", false},
      {"datetime 2023", DT, Wide(L"2023"), 0, false, "2023", true},
      {"datetime 202302", DT, Wide(L"202302"), 0, false, "202302", true},
      {"datetime 2023022715", DT, Wide(L"2023022715"), 0, false, "2023022715", true},
      {"datetime 9999", DT, Wide(L"9999"), 0, false, "9999", true},
      {"datetime 99991231", DT, Wide(L"99991231"), 0, false, "99991231", true},
  };
  for (const S& k : cases) {
    SCOPED_TRACE(k.pszName);
    Check(k.pszName, k.c, k.value, k.exact, Reference(k.c, k.bNull, k.sBytes, k.bGeneric));
  }
}

// Text searches on both text columns: case and accents by the collation,
// '' and NULL, the LIKE specials %, _ and \ and the quotes ' and '' as
// data; generic values match by prefix, a value ending in the highest
// character is a prefix. Run again under NO_BACKSLASH_ESCAPES, where a
// backslash is no escape unless the LIKE names it.
TEST_F(condlive, TextSearches) {
  struct T {
    const char* pszUtf8;  // the value
    int exact;
  };
  const std::vector<T> values = {
      {"abc", 1}, {"ABC", 1}, {"", 1},     {"\xC3\xA9", 1}, {"O'Brien", 1}, {"''", 1}, {"a\\b", 1}, {"%a", 1},
      {"a%", 1},  {"a_c", 1}, {"x'y", 1},  {"a", 0},        {"ab", 0},      {"AB", 0}, {"%", 0},    {"_", 0},
      {"\\", 0},  {"a\\", 0}, {"a%", 0},   {"a_", 0},       {"'", 0},       {"''", 0}, {"", 0},     {"zz", 0},
      {"\xC3\xA0", 0}, {"e", 0}, {"x'", 0},
  };
  // Characters past U+FFFF (a surrogate pair in the record) at either end
  // of a value are data, on the Unicode column.
  const std::vector<T> wide = {
      {"a\xF0\x9F\x98\x80", 1}, {"a\xF0\x9F\x98\x80", 0}, {"\xF0\x9F\x98\x80", 0}, {"\xF0\x9F\x98\x80" "b", 1},
  };
  for (bool bNoBackslash : {false, true}) {
    SetNoBackslashEscapes(bNoBackslash);
    if (HasFatalFailure()) return;
    for (int c : {L, U}) {
      std::vector<T> all = values;
      if (c == U) all.insert(all.end(), wide.begin(), wide.end());
      for (const T& v : all) {
        const std::string name = std::string(c == L ? "latin1 " : "utf8mb4 ") + (v.exact ? "exact [" : "generic [") +
                                 v.pszUtf8 + "]" + (bNoBackslash ? " NO_BACKSLASH_ESCAPES" : "");
        SCOPED_TRACE(name);
        const CAny value = c == L ? Ansi(Latin1(v.pszUtf8)) : Wide(WideFromUTF8(v.pszUtf8));
        Check(name, c, value, v.exact, Reference(c, false, Weight(c, v.pszUtf8), v.exact == 0));
      }
      // NULL, and an exact value ending in the highest character: the
      // prefix before it.
      const CAny none = Null(c == L ? Ansi("") : Wide(L""));
      Check(std::string(c == L ? "latin1" : "utf8mb4") + " NULL", c, none, 1, Reference(c, true, "", false));
      const CAny highest = c == L ? Ansi("ab\xFF") : Wide(L"ab\uFFFF");
      Check(std::string(c == L ? "latin1" : "utf8mb4") + " ab+highest", c, highest, 1,
            Reference(c, false, Weight(c, "ab"), true));
    }
  }
  SetNoBackslashEscapes(false);
}

// The continuation of a browse from each row: a fresh search of the row by
// a key, continued after it, selects exactly the rows after it in the
// server's ORDER BY key, pk; continued before it, exactly those before.
// Its equality is the row alone.
TEST_F(condlive, ContinuationFromEveryRow) {
  struct K {
    const char* pszName;
    int c;
    const char* pszOrderBy;
  };
  const std::vector<K> keys = {
      {"int with NULLs", N, "ITEM1, ITEM0"},
      {"latin1 text", L, "ITEM2, ITEM0"},
      {"composite key", KEY, "ITEM2, ITEM6, ITEM4 DESC, ITEM0"},
      {"utf8mb4 text", U, "ITEM3, ITEM0"},
      {"descending date", D, "ITEM4 DESC, ITEM0"},
      {"date-time", DT, "ITEM5, ITEM0"},
      {"amount", AMT, "ITEM6, ITEM0"},
  };
  for (const K& k : keys) {
    const std::vector<int> order = ServerOrder(k.pszOrderBy);
    ASSERT_EQ(Rows().size(), order.size());
    for (std::size_t r = 0; r < Rows().size(); ++r) {
      const int pk = Rows()[r].pk;
      const std::string name = std::string(k.pszName) + " row " + std::to_string(pk);
      SCOPED_TRACE(name);
      const auto at = std::find(order.begin(), order.end(), pk) - order.begin();
      const std::set<int> wantBefore(order.begin(), order.begin() + at);
      const std::set<int> wantAfter(order.begin() + at + 1, order.end());
      LoadRow(r);
      CNARecherche* s = NewSearch();
      ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(k.c), NA_PARSE_CURRENT, 0, nullptr))
          << Narrow(m_pError->pszGetError());
      const Outcome eq = Run(s, nullptr);
      Expect(name + " (equality)", eq, {pk});
      ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_FIRST));
      const Outcome after = Run(s, nullptr);
      Expect(name + " (after)", after, wantAfter);
      ASSERT_TRUE(s->bRechercheEnreg(m_pRecord, Item(k.c), NA_PARSE_CURRENT, 0, nullptr));
      ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST));
      const Outcome before = Run(s, nullptr);
      Expect(name + " (before)", before, wantBefore);
    }
  }
}

// Conditions added one by one (bAddExpression), joined by AND and OR in
// order: each leaf compares in the item's order (a descending item turned),
// NULL first; a NULL value folds 7 and 8 to always true, 6 to always false,
// 5 to IS NOT NULL and 4 to IS NULL; outside a browse's continuation `<`
// against 0 or '' takes no NULL row in. Leaves that fold away while the
// text is written leave neither text nor parameter behind: the other
// operands' values stay theirs.
TEST_F(condlive, AddedConditions) {
  struct Leaf {
    int c;
    int op;          // 4 to 8
    CAny value;
    std::string ord;  // reference bytes (unused for NULL)
    bool bNullLike;
    int generic;
    int join;         // with what comes before (1 OR, 2 AND)
  };
  struct A {
    std::string name;
    std::vector<Leaf> leaves;
  };
  const std::string abc = Weight(L, "abc");
  const std::string empty = Weight(L, "");
  const std::vector<A> cases = {
      {"int < 0", {{N, 6, Int(0), SignFlipped(0), true, 0, 2}}},
      {"int <= 0", {{N, 8, Int(0), SignFlipped(0), true, 0, 2}}},
      {"int < 5", {{N, 6, Int(5), SignFlipped(5), false, 0, 2}}},
      {"int > -3", {{N, 5, Int(-3), SignFlipped(-3), false, 0, 2}}},
      {"int >= 5", {{N, 7, Int(5), SignFlipped(5), false, 0, 2}}},
      {"int < NULL", {{N, 6, NullInt(), "", false, 0, 2}}},
      {"int > NULL", {{N, 5, NullInt(), "", false, 0, 2}}},
      {"int = NULL", {{N, 4, NullInt(), "", false, 0, 2}}},
      {"latin1 < ''", {{L, 6, Ansi(""), empty, true, 0, 2}}},
      {"latin1 <= ''", {{L, 8, Ansi(""), empty, true, 0, 2}}},
      {"latin1 >= '' (always true)", {{L, 7, Ansi(""), empty, true, 0, 2}}},
      {"latin1 < abc", {{L, 6, Ansi("abc"), abc, false, 0, 2}}},
      {"latin1 >= abc", {{L, 7, Ansi("abc"), abc, false, 0, 2}}},
      {"utf8mb4 > ab", {{U, 5, Wide(L"ab"), Weight(U, "ab"), false, 0, 2}}},
      {"amount < 0", {{AMT, 6, Money(L"0"), SignFlipped(0), true, 0, 2}}},
      {"amount >= -12.5", {{AMT, 7, Money(L"-12.5"), SignFlipped(-12500000), false, 0, 2}}},
      {"descending date > 20230227", {{D, 5, Wide(L"20230227"), "20230227", false, 0, 2}}},
      {"descending date <= 20230227", {{D, 8, Wide(L"20230227"), "20230227", false, 0, 2}}},
      {"datetime >= 20230227150000000", {{DT, 7, Wide(L"20230227150000000"), "20230227150000000", false, 0, 2}}},
      // Folding: the left operand keeps its value when the right one goes.
      {"int = 5 OR amount < NULL",
       {{N, 4, Int(5), SignFlipped(5), false, 0, 2}, {AMT, 6, Null(Money(L"0")), "", false, 0, 1}}},
      {"int = 5 AND amount >= NULL",
       {{N, 4, Int(5), SignFlipped(5), false, 0, 2}, {AMT, 7, Null(Money(L"0")), "", false, 0, 2}}},
      {"amount < NULL OR int = 5",
       {{AMT, 6, Null(Money(L"0")), "", false, 0, 2}, {N, 4, Int(5), SignFlipped(5), false, 0, 1}}},
      {"latin1 LIKE ab% OR int < NULL AND amount > -1",
       {{L, 4, Ansi("ab"), Weight(L, "ab"), false, 1, 2},
        {N, 6, NullInt(), "", false, 0, 1},
        {AMT, 5, Money(L"-1"), SignFlipped(-1000000), false, 0, 2}}},
      {"int = 5 OR latin1 >= '' (always true)",
       {{N, 4, Int(5), SignFlipped(5), false, 0, 2}, {L, 7, Ansi(""), empty, true, 0, 1}}},
      {"int > 0 AND int < 7 OR latin1 = abc",
       {{N, 5, Int(0), SignFlipped(0), true, 0, 2},
        {N, 6, Int(7), SignFlipped(7), false, 0, 2},
        {L, 4, Ansi("abc"), abc, false, 0, 1}}},
  };
  auto leafHolds = [&](std::size_t r, const Leaf& f) {
    const Cell& x = CellOf(r, f.c);
    const bool bDesc = m_apItems[f.c]->bGetDescendant(0) != 0;
    int op = f.op;
    if (bDesc && op >= 5) op = op == 5 ? 6 : op == 6 ? 5 : op == 7 ? 8 : 7;
    if (f.value.bIsNull()) return op == 4 ? x.null : op == 5 ? !x.null : op != 6;
    // Every text, NULL (kept as '') included, is at least ''.
    if (f.op == 7 && (f.c == L || f.c == U) && f.ord.empty()) return true;
    if (x.null) return op == 8 || (op == 6 && !f.bNullLike);
    if (op == 4 && f.generic) return StartsWith(x, f.ord);
    const int c = Compare(x, Bytes(f.ord));
    return op == 4 ? c == 0 : op == 5 ? c > 0 : op == 6 ? c < 0 : op == 7 ? c >= 0 : c <= 0;
  };
  for (const A& a : cases) {
    SCOPED_TRACE(a.name);
    CNARecherche* s = NewSearch();
    for (const Leaf& f : a.leaves)
      ASSERT_TRUE(s->bAddExpression(m_pRecord, Item(f.c), static_cast<eNAOperator>(f.op), &f.value, f.generic,
                                    static_cast<eNAOperator>(f.join), 0));
    const std::set<int> want = Where([&](std::size_t r) {
      bool b = leafHolds(r, a.leaves[0]);
      for (std::size_t i = 1; i < a.leaves.size(); ++i)
        b = a.leaves[i].join == 1 ? (b || leafHolds(r, a.leaves[i])) : (b && leafHolds(r, a.leaves[i]));
      return b;
    });
    const Outcome o = Run(s, nullptr);
    for (const Leaf& f : a.leaves) CheckNullSelection("added " + a.name, f.c, o);
    Expect("added " + a.name, o, want);
    // The search holds exactly the command's parameters.
    EXPECT_EQ(m_pCommand->nGetParameterNbr(), s->nGetNbParameter()) << a.name;
    for (int i = 0; i < s->nGetNbParameter() && i < m_pCommand->nGetParameterNbr(); ++i)
      EXPECT_EQ(m_pCommand->pclGetParameterNoRef(static_cast<unsigned>(i)), s->pclGetParameter(i)) << a.name;
  }
}

}  // namespace
