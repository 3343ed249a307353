// Searches over several columns: the equality of a composite key (stopping
// at a component that alone names the row, a generic last component),
// intervals in tuple order on two and three components under operators 5
// to 8 (a descending component turned, open ends at the platform's
// markers, a unique key prefix that ends the comparison), searches of a
// record by a key that is not unique (continued over the key's components
// and the record's unique key), composite key searches by key buffer, and
// the statement's filter joined with the search when the WHERE text is
// written.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAExpression.h"
#include "CNAFilter.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Ansi;
using kxtest::Int;
using kxtest::Null;
using kxtest::TestRecordSource;
using kxtest::Written;

// The tree builders of a search, and a way to write one of their trees as
// the search's current tree.
class Probe : public CNARecherche {
 public:
  using CNARecherche::CNARecherche;
  using CNARecherche::_pclAddExpression;
  using CNARecherche::_pclAddKeyExpressionEq;
  using CNARecherche::_pclAddKeyExpressionInfSupCompositeKey;
  using CNARecherche::_pclAddKeyExpressionInfSupRecord;
  // `tree` (counts 0; may be null) becomes the current tree in `state`.
  void Use(CNAExpression* tree, int state) {
    _ReleaseTrees();
    m_pclCurrent = tree;
    if (tree != nullptr) tree->AddRef();
    m_nState = state;
  }
};

// The layout: pk (ITEM0, unique, not NULL), a (ITEM1), b (ITEM2, 8-bit
// text), c (ITEM3, a descending key component), u (ITEM4, unique, not
// NULL), nu (ITEM5, unique, nullable), d (ITEM6, 8-bit text, a descending
// key component), then the composite keys k = (a, b, c), ku = (a, u),
// kn = (a, nu, b), kd = (a, d), all with duplicates, and, when asked,
// ab = (a, b) unique and not NULL.
struct Items {
  TestRecordSource src;
  CNAItemDescription* pk = nullptr;
  CNAItemDescription* a = nullptr;
  CNAItemDescription* b = nullptr;
  CNAItemDescription* c = nullptr;
  CNAItemDescription* u = nullptr;
  CNAItemDescription* nu = nullptr;
  CNAItemDescription* d = nullptr;
  CNAItemDescription* k = nullptr;
  CNAItemDescription* kd = nullptr;
  CNAItemDescription* ku = nullptr;
  CNAItemDescription* kn = nullptr;
  CNAItemDescription* ab = nullptr;

  Items(bool withUniquePair, bool pairNullable) {
    pk = src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
    pk->SetNullable(0);
    a = src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_DUPLICATES);
    b = src.pclAdd(NA_IT_TEXTE, 11);
    c = src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_DESCENDING);
    u = src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
    u->SetNullable(0);
    nu = src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
    d = src.pclAdd(NA_IT_TEXTE, 11, 1, CNAItemDescription::KEY_DESCENDING);
    k = kxtest::pclAddComposite(&src, {a, b, c}, CNAItemDescription::KEY_DUPLICATES);
    ku = kxtest::pclAddComposite(&src, {a, u}, CNAItemDescription::KEY_DUPLICATES);
    kn = kxtest::pclAddComposite(&src, {a, nu, b}, CNAItemDescription::KEY_DUPLICATES);
    kd = kxtest::pclAddComposite(&src, {a, d}, CNAItemDescription::KEY_DUPLICATES);
    if (withUniquePair) {
      ab = kxtest::pclAddComposite(&src, {a, b}, CNAItemDescription::KEY_UNIQUE);
      ab->SetNullable(pairNullable ? 1 : 0);
    }
  }
};

class searchComposite : public kxtest::SearchTest<Probe> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    Build(false);
  }
  void TearDown() override {
    DropSearch();
    m_pItems.reset();
    SearchTest::TearDown();
  }
  // A new layout (with the unique pair ab or not), command and search.
  void Build(bool withUniquePair, bool pairNullable = false) {
    DropSearch();
    m_pItems.reset(new Items(withUniquePair, pairNullable));
    BuildSearch(&m_pItems->src);
  }

  void Set(INAItemDescription* pi, const CAny& v) { ASSERT_TRUE(col(pi)->bSetValue(&v, 0)); }

  // Writes `tree` (counts 0) as the probe's current tree in `state`.
  Written WriteTree(CNAExpression* tree, int state = 1) {
    m_pclSearch->Use(tree, state);
    return Write(m_pclSearch);
  }

  std::unique_ptr<Items> m_pItems;
};

// ---- Equality --------------------------------------------------------------------

// The equality of a composite key: every component in order, the last one
// a prefix in a generic search; a component that alone names the row (unique
// and not NULL, or unique with a value) is the whole condition, except as
// the last component of a generic search or in a record search.
TEST_F(searchComposite, KeyEqualityTable) {
  struct E {
    const char* pszName;
    CNAItemDescription* Items::*key;
    std::vector<CAny> values;
    unsigned options;
    const wchar_t* pszText;
    int nParameters;
  };
  const std::vector<E> cases = {
      {"all components", &Items::k, {Int(1), Ansi("x"), Int(3)}, 0, L"`ITEM1`=1 AND (`ITEM2`='x' AND `ITEM3`=3 )", 3},
      // Fewer values than components: the missing ones are NULL.
      {"exact, values missing", &Items::k, {Int(1)}, 0, L"`ITEM1`=1 AND (`ITEM2` IS NULL AND `ITEM3` IS NULL)", 1},
      {"generic: as many as values, the last a prefix", &Items::k, {Int(1), Ansi("x")}, CNARecherche::knOptGeneric,
       L"`ITEM1`=1 AND `ITEM2` LIKE 'x%'", 2},
      {"value count option", &Items::k, {Int(1), Ansi("x")}, CNARecherche::knOptValueCount,
       L"`ITEM1`=1 AND `ITEM2`='x'", 2},
      {"unique not-NULL component alone", &Items::ku, {Int(1), Int(7)}, 0, L"`ITEM4`=7", 1},
      {"record search compares every component", &Items::ku, {Int(1), Int(7)}, CNARecherche::knOptRecord,
       L"`ITEM1`=1 AND `ITEM4`=7", 2},
      {"unique nullable component with a value alone", &Items::kn, {Int(1), Int(5), Ansi("x")}, 0, L"`ITEM5`=5", 1},
      {"unique nullable component NULL", &Items::kn, {Int(1), Null(), Ansi("x")}, 0,
       L"`ITEM1`=1 AND (`ITEM5` IS NULL AND `ITEM2`='x' )", 2},
      {"generic ending on the unique component", &Items::ku, {Int(1), Int(7)}, CNARecherche::knOptGeneric,
       L"`ITEM1`=1 AND `ITEM4`=7", 2},
  };
  for (const E& e : cases) {
    SCOPED_TRACE(e.pszName);
    CNAColumn* pclKey = col(m_pItems.get()->*e.key);
    ASSERT_NE(nullptr, pclKey);
    const unsigned flags = (e.options & CNARecherche::knOptGeneric) | CNAExpression::knFlagComposite;
    CNAExpression* t = m_pclSearch->_pclAddKeyExpressionEq(rec(), pclKey->pclGetTabComponent(), &e.values, pclKey,
                                                           e.options, flags);
    ASSERT_NE(nullptr, t);
    const Written w = WriteTree(t);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(e.pszText, w.sText);
    EXPECT_EQ(e.nParameters, w.nParameters);
    EXPECT_TRUE(w.bListsEqual);
  }
}

// ---- Intervals ------------------------------------------------------------------

struct I {
  const char* pszName;
  std::vector<CAny> values;
  eNAOperator op;
  unsigned options;
  int bMin;
  int bMax;
  const wchar_t* pszText;
};

// Tuple order over k = (a, b, c), c descending (its comparison turned;
// NULL, first in ascending order, is last in descending order). With NULL
// sorting first, "less than" takes NULL in and "greater" does not.
TEST_F(searchComposite, IntervalTable) {
  const std::vector<CAny> v3 = {Int(1), Ansi("x"), Int(3)};
  const std::vector<CAny> v2 = {Int(1), Ansi("x")};
  const std::vector<I> cases = {
      {"after, three", v3, NA_OPERATOR_GT, 0, 0, 0,
       L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' OR `ITEM2`='x' AND (`ITEM3`<3 OR `ITEM3` IS NULL))"},
      {"before, three", v3, NA_OPERATOR_LT, 0, 0, 0,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND ((`ITEM2`<'x' OR `ITEM2` IS NULL) OR `ITEM2`='x' AND "
       L"`ITEM3`>3 )"},
      {"from, three", v3, NA_OPERATOR_GE, 0, 0, 0,
       L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' OR `ITEM2`='x' AND (`ITEM3`<=3 OR `ITEM3` IS NULL))"},
      {"up to, three", v3, NA_OPERATOR_LE, 0, 0, 0,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND ((`ITEM2`<'x' OR `ITEM2` IS NULL) OR `ITEM2`='x' AND "
       L"`ITEM3`>=3 )"},
      {"after, two", v2, NA_OPERATOR_GT, 0, 0, 0, L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM2`>'x'"},
      {"up to, two", v2, NA_OPERATOR_LE, 0, 0, 0,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM2`<='x' OR `ITEM2` IS NULL)"},
      // A generic last component: past every text beginning with it, or up
      // to the last of them.
      {"after a prefix", v2, NA_OPERATOR_GT, CNARecherche::knOptGeneric, 0, 0,
       L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' AND `ITEM2` NOT LIKE 'x%' )"},
      {"up to a prefix", v2, NA_OPERATOR_LE, CNARecherche::knOptGeneric, 0, 0,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND ((`ITEM2`<'x' OR `ITEM2` IS NULL) OR `ITEM2` LIKE 'x%' )"},
      {"before a prefix", v2, NA_OPERATOR_LT, CNARecherche::knOptGeneric, 0, 0,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM2`<'x' OR `ITEM2` IS NULL)"},
      // A bound ending at the maximum under <=, or at the minimum under >=,
      // leaves that component open.
      {"up to a maximum marker", v3, NA_OPERATOR_LE, CNARecherche::knOptValueCount, 0, 1,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM2`<='x' OR `ITEM2` IS NULL)"},
      {"from a minimum marker", v3, NA_OPERATOR_GE, CNARecherche::knOptValueCount, 1, 0,
       L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM2`>='x'"},
      // A marker under a strict operator is a value like any other.
      {"after a maximum marker", v3, NA_OPERATOR_GT, CNARecherche::knOptValueCount, 0, 1,
       L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' OR `ITEM2`='x' AND (`ITEM3`<3 OR `ITEM3` IS NULL))"},
      {"marker without the bound option", v3, NA_OPERATOR_LE, 0, 0, 1,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND ((`ITEM2`<'x' OR `ITEM2` IS NULL) OR `ITEM2`='x' AND "
       L"`ITEM3`>=3 )"},
      {"one marker alone: no bound", {Int(1)}, NA_OPERATOR_LE, CNARecherche::knOptValueCount, 0, 1, nullptr},
      // Up to a last text ending in the highest character: every text
      // beginning with the rest.
      {"up to a text ending in 0xFF", {Int(1), Ansi("x\xff")}, NA_OPERATOR_LE, 0, 0, 0,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND ((`ITEM2`<'x' OR `ITEM2` IS NULL) OR `ITEM2` LIKE 'x%' )"},
  };
  CNAColumn* pclKey = col(m_pItems->k);
  for (const I& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNAExpression* t = m_pclSearch->_pclAddKeyExpressionInfSupCompositeKey(
        rec(), pclKey, &c.values, c.op, c.options, c.options & CNARecherche::knOptGeneric, c.bMin, c.bMax);
    if (c.pszText == nullptr) {
      EXPECT_EQ(nullptr, t);
      continue;
    }
    ASSERT_NE(nullptr, t);
    const Written w = WriteTree(t);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszText, w.sText);
    EXPECT_TRUE(w.bListsEqual);
  }
}

// A prefix as the last component, descending: its comparison is taken in
// the value order once. Before the values beginning with "x" (in the key's
// order) are the greater texts that do not begin with it; from the first
// of them on, the smaller ones (NULL last) and those beginning with it.
TEST_F(searchComposite, DescendingPrefixComponentTable) {
  const std::vector<CAny> v2 = {Int(1), Ansi("x")};
  struct P {
    eNAOperator op;
    const wchar_t* pszText;
  };
  const std::vector<P> cases = {
      {NA_OPERATOR_LT,
       L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM6`>'x' AND `ITEM6` NOT LIKE 'x%' )"},
      {NA_OPERATOR_GE, L"`ITEM1`>1 OR `ITEM1`=1 AND ((`ITEM6`<'x' OR `ITEM6` IS NULL) OR `ITEM6` LIKE 'x%' )"},
      {NA_OPERATOR_GT, L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM6`<'x' OR `ITEM6` IS NULL)"},
      {NA_OPERATOR_LE, L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND `ITEM6`>='x'"},
  };
  CNAColumn* pclKey = col(m_pItems->kd);
  for (const P& c : cases) {
    SCOPED_TRACE(c.op);
    CNAExpression* t = m_pclSearch->_pclAddKeyExpressionInfSupCompositeKey(
        rec(), pclKey, &v2, c.op, CNARecherche::knOptGeneric, CNAExpression::knFlagGeneric, 0, 0);
    ASSERT_NE(nullptr, t);
    const Written w = WriteTree(t);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszText, w.sText);
  }
  // Operators already in the value order (bounds a filter swapped) are
  // not turned again.
  CNAExpression* t = m_pclSearch->_pclAddKeyExpressionInfSupCompositeKey(
      rec(), pclKey, &v2, NA_OPERATOR_LT, CNARecherche::knOptGeneric,
      CNAExpression::knFlagGeneric | CNARecherche::knOptNoTurn, 0, 0);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM6`<'x' OR `ITEM6` IS NULL)", WriteTree(t).sText);
}

// When the columns compared so far complete a unique key that excludes
// NULL, rows equal on them are the row itself: a strict comparison stops
// there, one that takes the row in goes on.
TEST_F(searchComposite, UniquePrefixEndsStrictComparison) {
  Build(true);
  const std::vector<CAny> v3 = {Int(1), Ansi("x"), Int(3)};
  struct U {
    eNAOperator op;
    const wchar_t* pszText;
  };
  const std::vector<U> cases = {
      {NA_OPERATOR_GT, L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM2`>'x'"},
      {NA_OPERATOR_LT, L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM2`<'x' OR `ITEM2` IS NULL)"},
      {NA_OPERATOR_GE, L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' OR `ITEM2`='x' AND (`ITEM3`<=3 OR `ITEM3` IS NULL))"},
  };
  CNAColumn* pclKey = col(m_pItems->k);
  for (const U& c : cases) {
    SCOPED_TRACE(c.op);
    CNAExpression* t =
        m_pclSearch->_pclAddKeyExpressionInfSupCompositeKey(rec(), pclKey, &v3, c.op, 0, 0, 0, 0);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(c.pszText, WriteTree(t).sText);
  }
}

// A unique key that may hold NULL names one row only when the comparison
// excludes NULL from it: equal to NULL on all of its components does not.
TEST_F(searchComposite, NullableUniquePrefixNeedsAnExcludedNull) {
  Build(true, true);
  struct N {
    const char* pszName;
    std::vector<CAny> values;
    const wchar_t* pszText;
  };
  const std::vector<N> cases = {
      {"values", {Int(1), Ansi("x"), Int(3)}, L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM2`>'x'"},
      {"both NULL", {Null(), Null(), Int(3)},
       L"`ITEM1` IS NOT NULL OR `ITEM1` IS NULL AND (`ITEM2` IS NOT NULL OR `ITEM2` IS NULL AND (`ITEM3`<3 OR "
       L"`ITEM3` IS NULL))"},
  };
  CNAColumn* pclKey = col(m_pItems->k);
  for (const N& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNAExpression* t =
        m_pclSearch->_pclAddKeyExpressionInfSupCompositeKey(rec(), pclKey, &c.values, NA_OPERATOR_GT, 0, 0, 0, 0);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(c.pszText, WriteTree(t).sText);
  }
}

// ---- Record searches ----------------------------------------------------------------

// A record searched by a composite key that is not unique: found by the
// record's unique key, continued in tuple order over the key's components
// and then that unique key, the descending component turned (the order
// the statement writes as ORDER BY a, b, c DESC, pk).
TEST_F(searchComposite, RecordByCompositeKeyContinuesInKeyOrder) {
  Set(m_pItems->pk, Int(42));
  Set(m_pItems->a, Int(1));
  Set(m_pItems->b, Ansi("x"));
  Set(m_pItems->c, Int(3));
  ASSERT_TRUE(m_pclSearch->bRechercheEnreg(rec(), m_pItems->k, NA_PARSE_NEXT, 0, nullptr));
  EXPECT_EQ(1, m_pclSearch->bIsActive());
  EXPECT_EQ(L"`ITEM0`=42", Write(m_pclSearch).sText);
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
  const Written after = Write(m_pclSearch);
  EXPECT_EQ(
      L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' OR `ITEM2`='x' AND ((`ITEM3`<3 OR `ITEM3` IS NULL) OR `ITEM3`=3 AND "
      L"`ITEM0`>42 ))",
      after.sText);
  EXPECT_EQ(7, after.nParameters);
  EXPECT_TRUE(after.bListsEqual);

  ASSERT_TRUE(m_pclSearch->bRechercheEnreg(rec(), m_pItems->k, NA_PARSE_NEXT, 0, nullptr));
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
  const Written before = Write(m_pclSearch);
  EXPECT_EQ(
      L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND ((`ITEM2`<'x' OR `ITEM2` IS NULL) OR `ITEM2`='x' AND "
      L"(`ITEM3`>3 OR `ITEM3`=3 AND `ITEM0`<42 ))",
      before.sText);
  EXPECT_TRUE(before.bListsEqual);
}

// A record searched by a unique composite key: found by the record's unique
// key while it has a value, else by the key's components; continued over
// the components alone (they name the row).
TEST_F(searchComposite, RecordByUniqueCompositeKey) {
  Build(true);
  Set(m_pItems->a, Int(1));
  Set(m_pItems->b, Ansi("x"));
  ASSERT_TRUE(m_pclSearch->bRechercheEnreg(rec(), m_pItems->ab, NA_PARSE_NEXT, 0, nullptr));
  ASSERT_EQ(1, m_pclSearch->bIsActive());
  EXPECT_EQ(0, m_pclSearch->bIsComposedKeySearch());
  EXPECT_EQ(L"`ITEM1`=1 AND `ITEM2`='x'", Write(m_pclSearch).sText);
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
  EXPECT_EQ(L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM2`>'x'", Write(m_pclSearch).sText);

  Set(m_pItems->pk, Int(42));
  ASSERT_TRUE(m_pclSearch->bRechercheEnreg(rec(), m_pItems->ab, NA_PARSE_NEXT, 0, nullptr));
  EXPECT_EQ(L"`ITEM0`=42", Write(m_pclSearch).sText);
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
  EXPECT_EQ(L"(`ITEM1`<1 OR `ITEM1` IS NULL) OR `ITEM1`=1 AND (`ITEM2`<'x' OR `ITEM2` IS NULL)",
            Write(m_pclSearch).sText);
}

// A record search on a simple key that is not unique, over the given key
// columns: a composite one among them brings its components.
TEST_F(searchComposite, RecordSearchOverGivenCompositeKey) {
  Set(m_pItems->pk, Int(42));
  Set(m_pItems->a, Int(1));
  Set(m_pItems->u, Int(7));
  CRefArray<CNAColumn> keys(2);
  keys.Ajoute(col(m_pItems->ku));
  // The columns: a, then ku's components (a already there, then u, which
  // is unique with a value and ends the list).
  CNAExpression* t = m_pclSearch->_pclAddExpression(rec(), m_pItems->a, NA_OPERATOR_GT, nullptr,
                                                    CNARecherche::knOptRecord | CNARecherche::knOptRecordSet, &keys);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM4`>7", WriteTree(t, 2).sText);
}

// ---- Composite keys searched by their buffer ---------------------------------------

// The key buffer: each component at its key width, 8-bit text as its
// characters (S - 1 bytes), integers as their 4 native bytes.
std::vector<unsigned char> Buffer(int a, const char* b, int c, std::size_t cut = ~std::size_t{0}) {
  std::vector<unsigned char> v(4 + 10 + 4, 0);
  std::memcpy(&v[0], &a, 4);
  std::memcpy(&v[4], b, std::strlen(b));
  std::memcpy(&v[14], &c, 4);
  if (cut < v.size()) v.resize(cut);
  return v;
}
CAny Bin(const std::vector<unsigned char>& v) {
  CAny any;
  any.SetBIN(v.data(), v.size());
  return any;
}

TEST_F(searchComposite, SearchByKeyBuffer) {
  struct K {
    const char* pszName;
    std::vector<unsigned char> buffer;
    int bExact;
    const wchar_t* pszEqual;
    const wchar_t* pszAfter;
  };
  const std::vector<K> cases = {
      {"exact", Buffer(1, "x", 3), 1, L"`ITEM1`=1 AND (`ITEM2`='x' AND `ITEM3`=3 )",
       L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'x' OR `ITEM2`='x' AND (`ITEM3`<3 OR `ITEM3` IS NULL))"},
      // A buffer ending inside the text: a prefix of it.
      {"generic, partial text", Buffer(1, "xy", 3, 6), 0, L"`ITEM1`=1 AND `ITEM2` LIKE 'xy%'",
       L"`ITEM1`>1 OR `ITEM1`=1 AND (`ITEM2`>'xy' AND `ITEM2` NOT LIKE 'xy%' )"},
  };
  for (const K& c : cases) {
    SCOPED_TRACE(c.pszName);
    const CAny key = Bin(c.buffer);
    ASSERT_TRUE(m_pclSearch->bSetRecherche(rec(), m_pItems->k, &key, NA_PARSE_NEXT, c.bExact, 0));
    ASSERT_EQ(1, m_pclSearch->bIsActive());
    EXPECT_EQ(1, m_pclSearch->bIsComposedKeySearch());
    const Written eq = Write(m_pclSearch);
    EXPECT_TRUE(eq.bResult);
    EXPECT_EQ(c.pszEqual, eq.sText);
    EXPECT_TRUE(eq.bListsEqual);
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
    const Written after = Write(m_pclSearch);
    EXPECT_EQ(c.pszAfter, after.sText);
    EXPECT_TRUE(after.bListsEqual);
  }
}

// ---- The filter joined with the search -------------------------------------------------

TEST_F(searchComposite, FilterJoinedWithSearch) {
  CNAFilter* pclFilter = new CNAFilter(m_pLayout->error(), m_pclCnx);
  pclFilter->AddRef();
  const CAny lo = Int(1);
  const CAny hi = Int(5);
  ASSERT_TRUE(pclFilter->bSetFilter(rec(), m_pItems->a, &lo, 1, &hi, 0, nullptr, 0));
  const CAny x = Ansi("x");

  // Neither: nothing.
  pclFilter->ActivateFilter(0);
  Written w = Write(m_pclSearch, pclFilter);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"", w.sText);
  // The active filter alone.
  pclFilter->ActivateFilter(1);
  w = Write(m_pclSearch, pclFilter);
  EXPECT_EQ(L"`ITEM1`>=1 AND `ITEM1`<5", w.sText);
  EXPECT_EQ(2, w.nParameters);
  EXPECT_TRUE(w.bListsEqual);
  // Both: the filter first.
  ASSERT_TRUE(m_pclSearch->bSetRecherche(rec(), m_pItems->b, &x, NA_PARSE_NEXT, 1, 0));
  w = Write(m_pclSearch, pclFilter);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"(`ITEM1`>=1 AND `ITEM1`<5 ) AND `ITEM2`='x'", w.sText);
  EXPECT_EQ(3, w.nParameters);
  EXPECT_TRUE(w.bListsEqual);
  // An inactive filter is left out; the search alone.
  pclFilter->ActivateFilter(0);
  w = Write(m_pclSearch, pclFilter);
  EXPECT_EQ(L"`ITEM2`='x'", w.sText);
  EXPECT_TRUE(w.bListsEqual);
  // Both folding: a search for no row under the filter writes "0=1".
  pclFilter->ActivateFilter(1);
  m_pclSearch->Desactivate();
  const CAny nul = Null();
  ASSERT_TRUE(m_pclSearch->bAddExpression(rec(), m_pItems->a, NA_OPERATOR_LT, &nul, 0, NA_OPERATOR_AND, 0));
  w = Write(m_pclSearch, pclFilter);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"0=1", w.sText);
  EXPECT_EQ(0, w.nParameters);
  EXPECT_EQ(0, m_pclSearch->nGetNbParameter());
  pclFilter->nRelease();
}

}  // namespace
