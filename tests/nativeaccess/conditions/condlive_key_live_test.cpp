// The WHERE conditions of searches on the composite key (its buffer split
// into components, the last one a prefix when the buffer holds it in part)
// and of intervals on its components (operators 5 to 8, with the lowest
// and highest markers), run on the fixture's server against the tuple
// order of the components.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "condlive_support.h"

namespace {

using namespace kxcondlive;

class condliveKey : public CondLiveTest {};

// Searches on the composite key by its buffer: whole buffers exact; a
// buffer cut within the text, or within the descending date after whole
// text and amount, generic (the part held is a prefix). Each search's
// equality, and its continuations after and before, against the tuple
// order of the components (the date reversed, its NULLs last).
TEST_F(condliveKey, CompositeKeySearches) {
  const std::vector<KeyCase> exact = {
      {"abc/-12.5/20230101", "abc", L"-12.5", L"20230101", -1},
      {"abc/-12.5/20230601", "abc", L"-12.5", L"20230601", -1},
      {"abc/-12.5/20230301 (absent)", "abc", L"-12.5", L"20230301", -1},
      {"e/-1234567890.123456/20230227", "e", L"-1234567890.123456", L"20230227", -1},
      {"empty text", "", L"-0.000001", L"20221231", -1},
      {"a\\b/0.000001/20000101", "a\\b", L"0.000001", L"20000101", -1},
      {"%a/3/20230227", "%a", L"3", L"20230227", -1},
      {"x'y/-0.5/20230201", "x'y", L"-0.5", L"20230201", -1},
  };
  const std::vector<KeyCase> generic = {
      {"text prefix ab", "ab", L"0", L"20230101", 2},
      {"text prefix a", "a", L"0", L"20230101", 1},
      {"text and amount", "abc", L"-12.5", L"20230101", kTextWidth + kAmountWidth},
      {"text, amount, year 2023", "abc", L"-12.5", L"20230615", kTextWidth + kAmountWidth + 4},
      {"text, amount, month 202301", "abc", L"-12.5", L"20230101", kTextWidth + kAmountWidth + 6},
      // The LIKE specials and a backslash as data in the prefix.
      {"text prefix a\\", "a\\", L"0", L"20230101", 2},
      {"text prefix %", "%", L"0", L"20230101", 1},
      {"text prefix _", "_", L"0", L"20230101", 1},
      {"text prefix a_", "a_", L"0", L"20230101", 2},
  };
  for (bool bNoBackslash : {false, true}) {
    SetNoBackslashEscapes(bNoBackslash);
    if (HasFatalFailure()) return;
    for (int bGeneric : {0, 1}) {
      for (const KeyCase& k : bGeneric ? generic : exact) {
        const std::string name = std::string("composite ") + (bGeneric ? "generic " : "exact ") + k.pszName +
                                 (bNoBackslash ? " NO_BACKSLASH_ESCAPES" : "");
        SCOPED_TRACE(name);
        const CAny buffer = KeyBuffer(k.text, k.amount, k.date, k.bytes);
        const std::vector<Component> key = KeyOf(k);
        Expected want;
        want.equal = WhereKey(key, 4);
        want.after = WhereKey(key, 5);
        want.before = WhereKey(key, 6);
        Check(name, KEY, buffer, bGeneric ? 0 : 1, want);
      }
    }
  }
  SetNoBackslashEscapes(false);
}

// Intervals on several columns: a condition `key op buffer` (operators 5
// to 8) over the components the buffer gives, compared as a tuple; a
// trailing minimum or maximum marker stands for the lowest or highest
// value of its component (the lowest amount is the largest one negated,
// so every negative amount lies above it).
TEST_F(condliveKey, IntervalsOnSeveralColumns) {
  struct I {
    KeyCase k;
    std::string tail;              // appended to the buffer
    int generic;
    std::vector<Component> extra;  // the marker's component, when there is one
  };
  const Cell lowestAmount = Bytes("");  // below every amount
  const std::vector<I> cases = {
      {{"whole abc/-12.5/20230101", "abc", L"-12.5", L"20230101", -1}, "", 0, {}},
      {{"whole e/-1234567890.123456/20230227", "e", L"-1234567890.123456", L"20230227", -1}, "", 0, {}},
      {{"text and amount abc/-12.5", "abc", L"-12.5", L"20230101", kTextWidth + kAmountWidth}, "", 0, {}},
      {{"text abc", "abc", L"0", L"20230101", kTextWidth}, "", 0, {}},
      {{"prefix ab", "ab", L"0", L"20230101", 2}, "", 1, {}},
      {{"abc/-12.5/year 2023", "abc", L"-12.5", L"20230615", kTextWidth + kAmountWidth + 4}, "", 1, {}},
      {{"e then the lowest amount", "e", L"0", L"20230101", kTextWidth}, std::string(1, '\0'), 1,
       {{AMT, lowestAmount}}},
      {{"abc then the highest amount", "abc", L"0", L"20230101", kTextWidth}, std::string(1, '\xFF'), 1,
       {{AMT, Bytes(std::string(9, '\xFF'))}}},
  };
  for (const I& i : cases) {
    for (int op : {5, 6, 7, 8}) {
      const std::string name = std::string("interval ") + i.k.pszName + " op " + std::to_string(op);
      SCOPED_TRACE(name);
      const CAny buffer = KeyBuffer(i.k.text, i.k.amount, i.k.date, i.k.bytes, i.tail);
      std::vector<Component> key = KeyOf(i.k);
      for (const Component& c : i.extra) key.push_back(c);
      const std::set<int> want = WhereKey(key, op);
      CNARecherche* s = NewSearch();
      ASSERT_TRUE(s->bAddExpression(m_pRecord, Item(KEY), static_cast<eNAOperator>(op), &buffer, i.generic,
                                    NA_OPERATOR_AND, 0));
      const Outcome o = Run(s, nullptr);
      Expect(name, o, want);
    }
  }
}

}  // namespace
