// Filter bounds built by the leaf builder (the platform's minimum and
// maximum markers: no bound, or "every value beginning with the rest";
// periods of a date ended by the marker), the bounds of each value type
// (decimals, date-times, durations), generic dates and their continuation,
// real characters that look like markers, and the parameters a clone
// shares with its original.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "CNACommand.h"
#include "CNAExpression.h"
#include "CNAMapConvertType.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "IDecimal.h"
#include "SharedStringBlock.h"
#include "StandInValues.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Int;
using kxtest::Written;

class Probe : public CNARecherche {
 public:
  using CNARecherche::CNARecherche;
  using CNARecherche::_GetValue;
  using CNARecherche::_pclAddExpression;
  using CNARecherche::_pclAddKeyExpressionInfSupRecord;
  void Use(CNAExpression* tree) {
    _ReleaseTrees();
    m_pclCurrent = tree;
    if (tree != nullptr) tree->AddRef();
    m_nState = 1;
  }
};

// A dynamic text; `marked`: it ends with the platform's highest-value
// marker (its last unit all ones, flagged as such).
CAny Text(unsigned short type, const void* p, std::size_t bytes, bool marked = false) {
  CAny v;
  v.__SetType(type, 0);
  v.SetValue(p, bytes);
  void* pvHandle = v.m_clIntern.tGet<void*>();
  if (pvHandle != nullptr && marked) SharedBlock::pHeader(pvHandle)->dwFlags |= SharedBlock::kEndMarkerFlag;
  return v;
}
CAny Ansi(const std::string& s, bool marked = false) { return Text(ANY_DSTRA, s.data(), s.size(), marked); }
CAny Wide(const std::wstring& s, bool marked = false) {
  return Text(ANY_DSTRW, s.data(), s.size() * sizeof(wchar_t), marked);
}
const wchar_t kwMarker = static_cast<wchar_t>(0xFFFFFFFFu);

struct B;

class searchBounds : public kxtest::SearchTest<Probe> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);             // ITEM0
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);       // ITEM1
    unicode = m_pSource->pclAdd(NA_IT_UNICODE, 42);  // ITEM2
    date8 = m_pSource->pclAdd(NA_IT_DATE8, 9);       // ITEM3
    datetime = m_pSource->pclAdd(NA_IT_DATETIME, 8); // ITEM4
    BuildSearch();
  }
  // The leaf the filter builder makes for `c`: an upper bound under < and
  // <=, else a lower one (counts 0; null when it bounds nothing).
  CNAExpression* BoundLeaf(const B& c);
  // Writes `tree` (counts 0) as the probe's current tree.
  Written WriteTree(CNAExpression* tree) {
    m_pclSearch->Use(tree);
    return Write(m_pclSearch);
  }

 public:
  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* unicode = nullptr;
  CNAItemDescription* date8 = nullptr;
  CNAItemDescription* datetime = nullptr;
};

// ---- Filter bounds ---------------------------------------------------------------

struct B {
  const char* pszName;
  CNAItemDescription* searchBounds::*item;
  CAny value;
  eNAOperator op;
  const wchar_t* pszText;  // null: no bound, no tree
};

CNAExpression* searchBounds::BoundLeaf(const B& c) {
  const unsigned bound = c.op == NA_OPERATOR_LE || c.op == NA_OPERATOR_LT ? CNARecherche::knOptUpperBound
                                                                         : CNARecherche::knOptLowerBound;
  return m_pclSearch->_pclAddExpression(m_pLayout->get(), this->*c.item, c.op, &c.value,
                                        CNARecherche::knOptValueCount | bound, nullptr);
}

// One bound of a filter (lower for 4, 5 and 7, upper for 6 and 8). A text
// ending in the marker stands for the last value beginning with the rest:
// "up to" and "below" it reach every such value, "above" and "from" it
// pass them all. A marker alone, or an extreme of a number, is no bound.
TEST_F(searchBounds, FilterBoundTable) {
  const std::vector<B> cases = {
      {"text up to marker", &searchBounds::text, Ansi("ab\xff", true), NA_OPERATOR_LE,
       L"`ITEM1`<'ab' OR `ITEM1` LIKE 'ab%'"},
      {"text below marker", &searchBounds::text, Ansi("ab\xff", true), NA_OPERATOR_LT,
       L"`ITEM1`<'ab' OR `ITEM1` LIKE 'ab%'"},
      {"text above marker", &searchBounds::text, Ansi("ab\xff", true), NA_OPERATOR_GT,
       L"`ITEM1`>'ab' AND `ITEM1` NOT LIKE 'ab%'"},
      {"text from marker", &searchBounds::text, Ansi("ab\xff", true), NA_OPERATOR_GE,
       L"`ITEM1`>'ab' AND `ITEM1` NOT LIKE 'ab%'"},
      {"text equal to marker", &searchBounds::text, Ansi("ab\xff", true), NA_OPERATOR_EQ, L"`ITEM1` LIKE 'ab%'"},
      {"text marker alone", &searchBounds::text, Ansi("\xff", true), NA_OPERATOR_LE, nullptr},
      {"text ordinary", &searchBounds::text, Ansi("ab"), NA_OPERATOR_LE, L"`ITEM1`<='ab'"},
      {"wide up to marker", &searchBounds::unicode, Wide(std::wstring(L"ab") + kwMarker, true), NA_OPERATOR_LE,
       L"`ITEM2`<'ab' OR `ITEM2` LIKE 'ab%'"},
      // A real character is data, wherever it stands.
      {"wide ending U+1F600", &searchBounds::unicode, Wide(L"ab\U0001F600"), NA_OPERATOR_LE,
       L"`ITEM2`<='ab\U0001F600'"},
      {"wide starting U+1F600", &searchBounds::unicode, Wide(L"\U0001F600ab"), NA_OPERATOR_GE,
       L"`ITEM2`>='\U0001F600ab'"},
      {"int minimum under >=", &searchBounds::i4, Int(INT32_MIN), NA_OPERATOR_GE, nullptr},
      {"int maximum under <=", &searchBounds::i4, Int(INT32_MAX), NA_OPERATOR_LE, nullptr},
      {"int minimum under =", &searchBounds::i4, Int(INT32_MIN), NA_OPERATOR_EQ, L"`ITEM0`=-2147483648"},
      {"int ordinary", &searchBounds::i4, Int(3), NA_OPERATOR_LE, L"`ITEM0`<=3"},
  };
  for (const B& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNAExpression* t = BoundLeaf(c);
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

// A condition added as a filter condition is a bound: a marker alone adds
// nothing, a text ending in it reaches every text beginning with the rest;
// the leaves carry the filter flag.
TEST_F(searchBounds, AddedFilterConditionIsABound) {
  const CAny marked = Ansi("ab\xff", true);
  const CAny max = Int(INT32_MAX);
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), i4, NA_OPERATOR_LE, &max, 0, NA_OPERATOR_AND, 1));
  EXPECT_EQ(nullptr, m_pclSearch->pclGetCurrentNoRef());
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), text, NA_OPERATOR_LE, &marked, 0, NA_OPERATOR_AND, 1));
  ASSERT_NE(nullptr, m_pclSearch->pclGetCurrentNoRef());
  EXPECT_NE(0u, m_pclSearch->pclGetCurrentNoRef()->nGetFlags() & CNAExpression::knFlagFilter);
  // (No interval bound of a filter: NULL, first, lies below.)
  const Written w = Write(m_pclSearch);
  EXPECT_EQ(L"(`ITEM1`<'ab' OR `ITEM1` IS NULL) OR `ITEM1` LIKE 'ab%'", w.sText);
  EXPECT_TRUE(w.bListsEqual);
  // Not a filter condition: the same value is an ordinary text.
  m_pclSearch->Desactivate();
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), text, NA_OPERATOR_LE, &marked, 0, NA_OPERATOR_AND, 0));
  EXPECT_EQ(0u, m_pclSearch->pclGetCurrentNoRef()->nGetFlags() & CNAExpression::knFlagFilter);
  EXPECT_EQ(1, Write(m_pclSearch).nParameters);
}

// A date bound ending in the marker: through the period is before the first
// instant after it, past the period from that instant on; a period that
// ends with year 9999 has no instant after it, and its prefix bound stands.
TEST_F(searchBounds, DatePeriodBoundTable) {
  const std::vector<B> cases = {
      {"date up to 2023", &searchBounds::date8, Ansi("2023\xff", true), NA_OPERATOR_LE, L"`ITEM3`<'2024-01-01'"},
      {"date below 2023", &searchBounds::date8, Ansi("2023\xff", true), NA_OPERATOR_LT, L"`ITEM3`<'2024-01-01'"},
      {"date from 2023", &searchBounds::date8, Ansi("2023\xff", true), NA_OPERATOR_GE, L"`ITEM3`>='2024-01-01'"},
      {"date up to 202302", &searchBounds::date8, Ansi("202302\xff", true), NA_OPERATOR_LE, L"`ITEM3`<'2023-03-01'"},
      {"date up to 9999", &searchBounds::date8, Ansi("9999\xff", true), NA_OPERATOR_LE,
       L"`ITEM3`<'9999-01-01' OR `ITEM3`>='9999-01-01'"},
      {"date after 9999", &searchBounds::date8, Ansi("9999\xff", true), NA_OPERATOR_GT,
       L"`ITEM3`>'9999-01-01' AND `ITEM3`<'9999-01-01'"},
  };
  for (const B& c : cases) {
    SCOPED_TRACE(c.pszName);
    CNAExpression* t = BoundLeaf(c);
    ASSERT_NE(nullptr, t);
    const Written w = WriteTree(t);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszText, w.sText);
    EXPECT_TRUE(w.bListsEqual);
  }
}

// The classification itself: markers, the cut of the highest character,
// and a real character left alone.
TEST_F(searchBounds, GetValueTable) {
  struct G {
    const char* pszName;
    CNAItemDescription* searchBounds::*item;
    CAny value;
    int bValid, bMin, bMax;
    std::wstring sAfter;  // the value as wide text afterwards
  };
  const std::vector<G> cases = {
      {"ordinary", &searchBounds::text, Ansi("ab"), 1, 0, 0, L"ab"},
      {"8-bit marker", &searchBounds::text, Ansi("ab\xff", true), 1, 0, 1, L"ab"},
      {"8-bit marker alone", &searchBounds::text, Ansi("\xff", true), 0, 0, 1, L""},
      {"wide marker", &searchBounds::unicode, Wide(std::wstring(L"x") + kwMarker, true), 1, 0, 1, L"x"},
      {"int minimum", &searchBounds::i4, Int(INT32_MIN), 0, 1, 0, L""},
      {"int maximum", &searchBounds::i4, Int(INT32_MAX), 0, 0, 1, L""},
      {"int ordinary", &searchBounds::i4, Int(0), 1, 0, 0, L""},
  };
  for (const G& g : cases) {
    SCOPED_TRACE(g.pszName);
    CAny v = g.value;
    int bValid = -1, bMin = -1, bMax = -1;
    Probe::_GetValue(m_pLayout->col(this->*g.item), &v, &bValid, &bMin, &bMax);
    EXPECT_EQ(g.bValid, bValid);
    EXPECT_EQ(g.bMin, bMin);
    EXPECT_EQ(g.bMax, bMax);
    if (bValid && bMax) {
      // The cut value is no marker any more.
      EXPECT_EQ(NA_CHECKVALUE_ORDINARY, eCheckValue(&v));
      CAny w = v;
      w.__nCastTo(ANY_DSTRW, nullptr, 0);
      const wchar_t* psz = nullptr;
      w.nGetPCWSTR(&psz);
      EXPECT_EQ(g.sAfter, std::wstring(psz != nullptr ? psz : L""));
    }
  }
}

// ---- Generic dates ---------------------------------------------------------------

// A generic date or time keeps its text (the period it names), not a date
// read from it; its after tree starts after the whole period, its before
// tree before it.
TEST_F(searchBounds, GenericDateSearchAndContinuation) {
  struct D {
    const char* pszName;
    CNAItemDescription* searchBounds::*item;
    CAny value;
    const wchar_t* pszEqual;
    const wchar_t* pszAfter;
    const wchar_t* pszBefore;
  };
  const std::vector<D> cases = {
      {"8-bit date, year", &searchBounds::date8, Ansi("2023"), L"`ITEM3`>='2023-01-01' AND `ITEM3`<'2024-01-01'",
       L" NOT (`ITEM3`>='2023-01-01' AND `ITEM3`<'2024-01-01' ) AND `ITEM3`>'2023-01-01'", L"(`ITEM3`<'2023-01-01' OR `ITEM3` IS NULL)"},
      {"8-bit date, month", &searchBounds::date8, Ansi("202302"), L"`ITEM3`>='2023-02-01' AND `ITEM3`<'2023-03-01'",
       L" NOT (`ITEM3`>='2023-02-01' AND `ITEM3`<'2023-03-01' ) AND `ITEM3`>'2023-02-01'",
       L"(`ITEM3`<'2023-02-01' OR `ITEM3` IS NULL)"},
      {"date-time, whole day", &searchBounds::datetime, Wide(L"20230215"),
       L"`ITEM4`>='2023-02-15 00:00:00.000' AND `ITEM4`<'2023-02-16 00:00:00.000'",
       L" NOT (`ITEM4`>='2023-02-15 00:00:00.000' AND `ITEM4`<'2023-02-16 00:00:00.000' ) AND "
       L"`ITEM4`>'2023-02-15 00:00:00.000'",
       L"(`ITEM4`<'2023-02-15 00:00:00.000' OR `ITEM4` IS NULL)"},
  };
  for (const D& c : cases) {
    SCOPED_TRACE(c.pszName);
    ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), this->*c.item, &c.value, NA_PARSE_NEXT, 0, 0));
    const Written eq = Write(m_pclSearch);
    EXPECT_EQ(c.pszEqual, eq.sText);
    EXPECT_EQ(2, eq.nParameters);
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
    EXPECT_EQ(c.pszAfter, Write(m_pclSearch).sText);
    ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), this->*c.item, &c.value, NA_PARSE_NEXT, 0, 0));
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
    EXPECT_EQ(c.pszBefore, Write(m_pclSearch).sText);
  }
}

// A date prefix in tuple comparisons: the ordered comparisons take the
// first instant of the period (a partial text is no date), the period
// itself goes by its two bounds.
TEST_F(searchBounds, DatePrefixComparesByThePeriod) {
  struct P {
    eNAOperator op;
    const wchar_t* pszText;
  };
  const std::vector<P> cases = {
      {NA_OPERATOR_GT,
       L"`ITEM4`>'2023-02-01 00:00:00.000' AND (`ITEM4`<'2023-02-01 00:00:00.000' OR "
       L"`ITEM4`>='2023-03-01 00:00:00.000' )"},
      {NA_OPERATOR_LT, L"(`ITEM4`<'2023-02-01 00:00:00.000' OR `ITEM4` IS NULL)"},
      {NA_OPERATOR_GE, L"`ITEM4`>='2023-02-01 00:00:00.000'"},
      {NA_OPERATOR_LE,
       L"(`ITEM4`<'2023-02-01 00:00:00.000' OR `ITEM4` IS NULL) OR `ITEM4`>='2023-02-01 00:00:00.000' AND "
       L"`ITEM4`<'2023-03-01 00:00:00.000'"},
  };
  CRefArray<CNAColumn> columns(1);
  columns.Ajoute(m_pLayout->col(datetime));
  const std::vector<CAny> values = {Ansi("202302")};
  for (const P& c : cases) {
    SCOPED_TRACE(c.op);
    CNAExpression* t = m_pclSearch->_pclAddKeyExpressionInfSupRecord(m_pLayout->get(), &columns, &values, nullptr,
                                                                     c.op, CNARecherche::knOptGeneric,
                                                                     CNAExpression::knFlagGeneric);
    ASSERT_NE(nullptr, t);
    const Written w = WriteTree(t);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszText, w.sText);
    EXPECT_TRUE(w.bListsEqual);
  }
}

// ---- Type bounds -------------------------------------------------------------------

TEST_F(searchBounds, DecimalBoundsAreThoseOfItsPrecision) {
  struct P {
    int p, s;
    __int128 lowest;
  };
  const std::vector<P> cases = {{5, 2, -99999}, {12, 0, -999999999999LL}, {1, 1, -9}};
  for (const P& c : cases) {
    SCOPED_TRACE(c.p);
    CAny v;
    v.__SetType(ANY_DECIMAL, 0);
    IDecimal* pi = v.m_clIntern.tGet<IDecimal*>();
    ASSERT_NE(nullptr, pi);
    ASSERT_TRUE(StandIn_bWriteDecimal(pi, 1, c.p, c.s));
    CNARecherche::s_SetAnyToMin(&v);
    ASSERT_EQ(ANY_DECIMAL, v.nGetTypeCode());
    __int128 n = 0;
    int p = 0, s = 0;
    ASSERT_TRUE(StandIn_bReadDecimal(v.m_clIntern.tGet<IDecimal*>(), &n, &p, &s));
    EXPECT_TRUE(n == c.lowest && p == c.p && s == c.s);
    EXPECT_EQ(NA_CHECKVALUE_LOWEST, eCheckValue(&v));
    CNARecherche::s_SetAnyToMax(&v);
    ASSERT_TRUE(StandIn_bReadDecimal(v.m_clIntern.tGet<IDecimal*>(), &n, &p, &s));
    EXPECT_TRUE(n == -c.lowest && p == c.p && s == c.s);
    EXPECT_EQ(NA_CHECKVALUE_HIGHEST, eCheckValue(&v));
  }
}

TEST_F(searchBounds, DateTimeAndDurationBounds) {
  CDateTimeBase dt{};
  dt.m_byJour = 15;
  dt.m_byMois = 6;
  dt.m_wAnnee = 2023;
  dt.m_dwHeure = 1000;
  CAny v;
  v.SetDATETIME(dt);
  CNARecherche::s_SetAnyToMin(&v);
  ASSERT_EQ(ANY_DATETIME, v.nGetTypeCode());
  CDateTimeBase got{};
  std::memcpy(&got, v.pbyValue(), sizeof got);
  EXPECT_TRUE(got.m_byJour == 0 && got.m_byMois == 0 && got.m_wAnnee == 0 && got.m_dwHeure == 0);
  CNARecherche::s_SetAnyToMax(&v);
  std::memcpy(&got, v.pbyValue(), sizeof got);
  EXPECT_TRUE(got.m_byJour == 31 && got.m_byMois == 12 && got.m_wAnnee == 3000 && got.m_dwHeure == 0);

  CDureeBase d{};
  d.m_llDuree = 5;
  CAny w;
  w.SetDUREE(d);
  CNARecherche::s_SetAnyToMin(&w);
  ASSERT_EQ(ANY_DUREE, w.nGetTypeCode());
  std::int64_t n = 0;
  std::memcpy(&n, w.pbyValue(), sizeof n);
  EXPECT_EQ(INT64_MIN, n);
  CNARecherche::s_SetAnyToMax(&w);
  std::memcpy(&n, w.pbyValue(), sizeof n);
  EXPECT_EQ(INT64_MAX, n);
}

// ---- Clones --------------------------------------------------------------------------

// A clone holds the very parameters of its original, each with a reference
// of its own: they outlive the original.
TEST_F(searchBounds, CloneSharesParameters) {
  const CAny v = Ansi("ab");
  ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), text, &v, NA_PARSE_NEXT, 0, 0));
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
  ASSERT_EQ(2, Write(m_pclSearch).nParameters);
  std::vector<std::uint32_t> counts;
  for (int i = 0; i < m_pclSearch->nGetNbParameter(); ++i)
    counts.push_back(m_pclSearch->pclGetParameter(i)->nGetInternalCount());
  CNARecherche* pclClone = m_pclSearch->pclClone();
  ASSERT_NE(nullptr, pclClone);
  pclClone->AddRef();
  ASSERT_EQ(2, pclClone->nGetNbParameter());
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(m_pclSearch->pclGetParameter(i), pclClone->pclGetParameter(i));
    EXPECT_EQ(counts[static_cast<std::size_t>(i)] + 1, pclClone->pclGetParameter(i)->nGetInternalCount());
  }
  // Alike but for the fetch item, which a clone does not take.
  CNAParameter* pclFirst = pclClone->pclGetParameter(0);
  m_pclSearch->nRelease();
  m_pclSearch = nullptr;
  m_pclCommand->ResetCommand(0);
  EXPECT_EQ(pclFirst, pclClone->pclGetParameter(0));
  EXPECT_EQ(1u, pclFirst->nGetInternalCount());
  pclClone->nRelease();
}

}  // namespace
