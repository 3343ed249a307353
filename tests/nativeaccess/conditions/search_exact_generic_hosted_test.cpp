// Searches on one item: exact and generic searches by value, the search of
// a record (by its unique item, or a non-unique or nullable key continued
// by (key, unique key) in tuple order), the type bounds, the continuation trees after and before the
// searched value (bSetContinueParcours 0 and 1, and back), conditions added
// one by one, and the writing of the current tree: its text, and a search
// holding exactly the command's parameters afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CMoney.h"
#include "CNACommand.h"
#include "CNAExpression.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Ansi;
using kxtest::Int;
using kxtest::Wide;
using kxtest::Written;

class search : public kxtest::SearchTest<CNARecherche> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);                                       // ITEM0
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);                                 // ITEM1
    unicode = m_pSource->pclAdd(NA_IT_UNICODE, 42);                            // ITEM2
    uniq = m_pSource->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);  // ITEM3
    uniq->SetNullable(0);
    BuildSearch();
  }

  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* unicode = nullptr;
  CNAItemDescription* uniq = nullptr;
};

struct SearchCase {
  const char* pszName;
  INAItemDescription* pi;
  CAny value;
  int bExact;
  const wchar_t* pszEqual;
  const wchar_t* pszAfter;   // after bSetContinueParcours(0)
  const wchar_t* pszBefore;  // after a fresh search and bSetContinueParcours(1)
  int nParameters;           // of the equality and of the before tree
  int nAfterParameters;
};


// Every search writes its equality, then its after tree, then back to the
// equality; a fresh one its before tree. The parameter lists stay equal.
TEST_F(search, ExactAndGenericTable) {
  const std::vector<SearchCase> cases = {
      {"int exact", i4, Int(5), 1, L"`ITEM0`=5", L"`ITEM0`>5", L"(`ITEM0`<5 OR `ITEM0` IS NULL)", 1, 1},
      {"8-bit exact", text, Ansi("ab"), 1, L"`ITEM1`='ab'", L"`ITEM1`>'ab'", L"(`ITEM1`<'ab' OR `ITEM1` IS NULL)", 1,
       1},
      // After a prefix: past every value that starts with it.
      {"8-bit generic", text, Ansi("ab"), 0, L"`ITEM1` LIKE 'ab%'", L" NOT (`ITEM1` LIKE 'ab%' ) AND `ITEM1`>'ab'",
       L"(`ITEM1`<'ab' OR `ITEM1` IS NULL)", 1, 2},
      {"8-bit ending 0xFF is a prefix", text, Ansi("ab\xff"), 1, L"`ITEM1` LIKE 'ab%'",
       L" NOT (`ITEM1` LIKE 'ab%' ) AND `ITEM1`>'ab'", L"(`ITEM1`<'ab' OR `ITEM1` IS NULL)", 1, 2},
      // The NUL names the end of the value: no LIKE (the literal's NUL ends
      // the formatted text).
      {"8-bit generic ending NUL is exact", text, Ansi("ab\0", 3), 0, L"`ITEM1`='ab", L"`ITEM1`>'ab", L"(`ITEM1`<'ab",
       1, 1},
      {"wide exact", unicode, Wide(L"\u00e9t\u00e9"), 1, L"`ITEM2`='\u00e9t\u00e9'", L"`ITEM2`>'\u00e9t\u00e9'",
       L"(`ITEM2`<'\u00e9t\u00e9' OR `ITEM2` IS NULL)", 1, 1},
      {"wide ending U+FFFF is a prefix", unicode, Wide(L"ab\uffff"), 1, L"`ITEM2` LIKE 'ab%'",
       L" NOT (`ITEM2` LIKE 'ab%' ) AND `ITEM2`>'ab'", L"(`ITEM2`<'ab' OR `ITEM2` IS NULL)", 1, 2},
      // A real character is data, not the highest-character marker.
      {"wide ending U+1F600 stays", unicode, Wide(L"ab\U0001F600"), 1, L"`ITEM2`='ab\U0001F600'",
       L"`ITEM2`>'ab\U0001F600'", L"(`ITEM2`<'ab\U0001F600' OR `ITEM2` IS NULL)", 1, 1},
      // A unique not-NULL column has no NULL rows to take in.
      {"unique exact", uniq, Int(9), 1, L"`ITEM3`=9", L"`ITEM3`>9", L"`ITEM3`<9", 1, 1},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), c.pi, &c.value, NA_PARSE_CURRENT, c.bExact, 0));
    EXPECT_EQ(1, m_pclSearch->nGetState());
    const Written eq = Write(m_pclSearch);
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
    EXPECT_EQ(2, m_pclSearch->nGetState());
    const Written after = Write(m_pclSearch);
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
    EXPECT_EQ(1, m_pclSearch->nGetState());
    const Written back = Write(m_pclSearch);
    ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), c.pi, &c.value, NA_PARSE_CURRENT, c.bExact, 0));
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
    const Written before = Write(m_pclSearch);
    for (const Written* w : {&eq, &after, &back, &before}) {
      EXPECT_TRUE(w->bResult);
      EXPECT_TRUE(w->bListsEqual);
    }
    EXPECT_EQ(c.pszEqual, eq.sText);
    EXPECT_EQ(c.pszAfter, after.sText);
    EXPECT_EQ(c.pszBefore, before.sText);
    EXPECT_EQ(c.nParameters, eq.nParameters);
    EXPECT_EQ(c.nAfterParameters, after.nParameters);
    EXPECT_EQ(c.nParameters, before.nParameters);
    EXPECT_EQ(eq.sText, back.sText);
  }
}

}  // namespace

namespace {

// The states a browse moves through, and what "found" means in each.
TEST_F(search, StatesAndFoundFlag) {
  EXPECT_EQ(0, m_pclSearch->bIsActive());
  EXPECT_EQ(NA_PARSE_CURRENT, m_pclSearch->eGetDirection());
  const CAny v = Int(5);
  ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), i4, &v, NA_PARSE_NEXT, 1, 0));
  EXPECT_EQ(1, m_pclSearch->bIsActive());
  EXPECT_EQ(1, m_pclSearch->bHTrouve());
  EXPECT_EQ(1, m_pclSearch->bPeutContinuerParcours(NA_PARSE_FIRST));
  EXPECT_EQ(1, m_pclSearch->bPeutContinuerParcours(NA_PARSE_LAST));
  CNAExpression* pclEqual = m_pclSearch->pclGetExpression();
  ASSERT_NE(nullptr, pclEqual);
  EXPECT_EQ(pclEqual, m_pclSearch->pclGetCurrentNoRef());
  pclEqual->nRelease();  // the reference pclGetExpression gave

  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
  EXPECT_EQ(2, m_pclSearch->nGetState());
  EXPECT_EQ(m_pclSearch->pclGetAfterNoRef(), m_pclSearch->pclGetCurrentNoRef());
  EXPECT_EQ(0, m_pclSearch->bHTrouve());
  EXPECT_EQ(0, m_pclSearch->bPeutContinuerParcours(NA_PARSE_FIRST));
  EXPECT_EQ(1, m_pclSearch->bPeutContinuerParcours(NA_PARSE_LAST));
  m_pclSearch->Cancel();
  EXPECT_EQ(1, m_pclSearch->bHTrouve());

  ASSERT_TRUE(m_pclSearch->bReviensParcoursPrecedent(NA_PARSE_LAST));
  EXPECT_EQ(1, m_pclSearch->nGetState());
  EXPECT_EQ(NA_PARSE_LAST, m_pclSearch->eGetDirection());

  // A new search clears the found flag.
  ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), i4, &v, NA_PARSE_NEXT, 1, 0));
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
  EXPECT_EQ(m_pclSearch->pclGetBeforeNoRef(), m_pclSearch->pclGetCurrentNoRef());
  EXPECT_EQ(0, m_pclSearch->bHTrouve());

  m_pclSearch->Desactivate();
  EXPECT_EQ(0, m_pclSearch->bIsActive());
  EXPECT_EQ(nullptr, m_pclSearch->pclGetCurrentNoRef());
  const Written w = Write(m_pclSearch);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"", w.sText);
  EXPECT_EQ(0, w.nParameters);
  EXPECT_EQ(0, m_pclSearch->nGetNbParameter());
}

// A search with nothing to compare on stays inactive and writes nothing.
TEST_F(search, NoItemNoTree) {
  const CAny v = Int(5);
  ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), nullptr, &v, NA_PARSE_NEXT, 1, 0));
  EXPECT_EQ(0, m_pclSearch->bIsActive());
  const Written w = Write(m_pclSearch);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"", w.sText);
}

// Conditions added one by one: joined in order; the first one on an
// inactive search starts from nothing; a condition that holds for no row
// writes "0=1", one that holds for every row writes nothing.
TEST_F(search, AddedConditions) {
  CAny nul = Int(0);
  nul.SetNull(true);
  const CAny five = Int(5);
  const CAny ab = Ansi("ab");
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), i4, NA_OPERATOR_EQ, &five, 0, NA_OPERATOR_AND, 0));
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), text, NA_OPERATOR_EQ, &ab, 1, NA_OPERATOR_OR, 0));
  EXPECT_EQ(1, m_pclSearch->nGetState());
  Written w = Write(m_pclSearch);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"`ITEM0`=5 OR `ITEM1` LIKE 'ab%'", w.sText);
  EXPECT_EQ(2, w.nParameters);
  EXPECT_TRUE(w.bListsEqual);
  // Written again: the same text, the search's parameters renewed.
  w = Write(m_pclSearch);
  EXPECT_EQ(L"`ITEM0`=5 OR `ITEM1` LIKE 'ab%'", w.sText);
  EXPECT_EQ(2, m_pclSearch->nGetNbParameter());
  EXPECT_TRUE(w.bListsEqual);

  // Inactive again: the next condition starts a new tree.
  m_pclSearch->Desactivate();
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), i4, NA_OPERATOR_LT, &nul, 0, NA_OPERATOR_AND, 0));
  w = Write(m_pclSearch);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"0=1", w.sText);  // NULL sorts first: nothing lies below it
  EXPECT_EQ(0, w.nParameters);

  m_pclSearch->Desactivate();
  ASSERT_TRUE(m_pclSearch->bAddExpression(m_pLayout->get(), i4, NA_OPERATOR_GE, &nul, 0, NA_OPERATOR_AND, 0));
  w = Write(m_pclSearch);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"", w.sText);
  EXPECT_EQ(0, w.nParameters);
}

// The search of a record by a unique item takes the record's value; a key
// that is not unique (or nullable) is found by the unique key's equality but
// continued by the record path (key, pk) after or before (v, p): `pk > p`
// alone would leave the key's order.
TEST_F(search, RecordSearch) {
  const CAny v42 = Int(42);
  const CAny v7 = Int(7);
  ASSERT_TRUE(m_pLayout->col(uniq)->bSetValue(&v42, 0));
  ASSERT_TRUE(m_pLayout->col(i4)->bSetValue(&v7, 0));
  ASSERT_TRUE(m_pclSearch->bRechercheEnreg(m_pLayout->get(), uniq, NA_PARSE_NEXT, 0, nullptr));
  EXPECT_EQ(CNARecherche::knOptRecord | CNARecherche::knOptRecordSet, m_pclSearch->nGetOptions());
  EXPECT_EQ(L"`ITEM3`=42", Write(m_pclSearch).sText);
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
  EXPECT_EQ(L"`ITEM3`>42", Write(m_pclSearch).sText);

  // Without continuation trees, continuing has nothing to write.
  ASSERT_TRUE(m_pclSearch->bRechercheEnreg(m_pLayout->get(), uniq, NA_PARSE_NEXT, 1, nullptr));
  EXPECT_EQ(L"`ITEM3`=42", Write(m_pclSearch).sText);
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
  EXPECT_EQ(nullptr, m_pclSearch->pclGetCurrentNoRef());
  EXPECT_EQ(L"", Write(m_pclSearch).sText);

  CRefArray<CNAColumn> keys(4);
  keys.Ajoute(m_pLayout->col(uniq));
  CAny nul = Int(0);
  nul.SetNull(true);
  struct R {
    const char* pszName;
    INAItemDescription* pi;
    CAny value;  // the item's value in the record
    const CRefArray<CNAColumn>* pKeys;
    const wchar_t* pszAfter;
    const wchar_t* pszBefore;
    int nParameters;  // of either continuation
  };
  const std::vector<R> cases = {
      // SQL's AND binds before OR: x>v OR (x=v AND pk>p).
      {"given key list", i4, Int(7), &keys, L"`ITEM0`>7 OR `ITEM0`=7 AND `ITEM3`>42",
       L"(`ITEM0`<7 OR `ITEM0` IS NULL) OR `ITEM0`=7 AND `ITEM3`<42", 3},
      {"record's unique key", i4, Int(7), nullptr, L"`ITEM0`>7 OR `ITEM0`=7 AND `ITEM3`>42",
       L"(`ITEM0`<7 OR `ITEM0` IS NULL) OR `ITEM0`=7 AND `ITEM3`<42", 3},
      // NULL sorts first: after a NULL key every other key, and the NULL
      // keys past the row; before it only NULL keys.
      {"NULL key value", i4, nul, &keys, L"`ITEM0` IS NOT NULL OR `ITEM0` IS NULL AND `ITEM3`>42",
       L"`ITEM0` IS NULL AND `ITEM3`<42", 1},
      {"8-bit text", text, Ansi("ab"), &keys, L"`ITEM1`>'ab' OR `ITEM1`='ab' AND `ITEM3`>42",
       L"(`ITEM1`<'ab' OR `ITEM1` IS NULL) OR `ITEM1`='ab' AND `ITEM3`<42", 3},
  };
  for (const R& r : cases) {
    SCOPED_TRACE(r.pszName);
    ASSERT_TRUE(m_pLayout->col(r.pi)->bSetValue(&r.value, 0));
    ASSERT_TRUE(m_pclSearch->bRechercheEnreg(m_pLayout->get(), r.pi, NA_PARSE_NEXT, 0, r.pKeys));
    const Written eq = Write(m_pclSearch);
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
    const Written after = Write(m_pclSearch);
    ASSERT_TRUE(m_pclSearch->bRechercheEnreg(m_pLayout->get(), r.pi, NA_PARSE_NEXT, 0, r.pKeys));
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
    const Written before = Write(m_pclSearch);
    EXPECT_EQ(1, m_pclSearch->bIsActive());
    EXPECT_EQ(L"`ITEM3`=42", eq.sText);
    EXPECT_EQ(r.pszAfter, after.sText);
    EXPECT_EQ(r.pszBefore, before.sText);
    EXPECT_EQ(r.nParameters, after.nParameters);
    EXPECT_EQ(r.nParameters, before.nParameters);
    EXPECT_TRUE(after.bListsEqual);
    EXPECT_TRUE(before.bListsEqual);
    // Never the unique key's comparison alone.
    EXPECT_NE(L"`ITEM3`>42", after.sText);
    EXPECT_NE(L"`ITEM3`<42", before.sText);
  }
}

// A clone shares the trees, copies the rest; equality of searches.
TEST_F(search, CloneAndEquality) {
  const CAny ab = Ansi("ab");
  const CAny ac = Ansi("ac");
  ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), text, &ab, NA_PARSE_NEXT, 0, 0));
  ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
  CNARecherche* pclClone = m_pclSearch->pclClone();
  ASSERT_NE(nullptr, pclClone);
  pclClone->AddRef();
  EXPECT_EQ(m_pclSearch->pclGetCurrentNoRef(), pclClone->pclGetCurrentNoRef());
  EXPECT_EQ(m_pclSearch->pclGetAfterNoRef(), pclClone->pclGetAfterNoRef());
  EXPECT_EQ(2, pclClone->nGetState());
  EXPECT_EQ(NA_PARSE_LAST, pclClone->eGetDirection());
  EXPECT_EQ(CNARecherche::knOptGeneric, pclClone->nGetOptions());
  // The fetch item is not copied: the two differ there only.
  EXPECT_FALSE(m_pclSearch->bEqualsSearch(pclClone));
  EXPECT_EQ(Write(m_pclSearch).sText, Write(pclClone).sText);

  CNARecherche* pclOther = new CNARecherche(m_pLayout->error(), m_pclCnx);
  pclOther->AddRef();
  EXPECT_TRUE(CNARecherche::g_bEqualsSearch(nullptr, pclOther));  // inactive
  ASSERT_TRUE(pclOther->bSetRecherche(m_pLayout->get(), text, &ab, NA_PARSE_NEXT, 0, 0));
  ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), text, &ab, NA_PARSE_NEXT, 0, 0));
  // Parameters count too: one written search differs from one not written.
  Write(m_pclSearch);
  EXPECT_FALSE(m_pclSearch->bEqualsSearch(pclOther));
  Write(pclOther);
  EXPECT_TRUE(m_pclSearch->bEqualsSearch(pclOther));
  EXPECT_TRUE(CNARecherche::g_bEqualsSearch(m_pclSearch, pclOther));
  EXPECT_FALSE(CNARecherche::g_bEqualsSearch(nullptr, pclOther));
  ASSERT_TRUE(pclOther->bSetRecherche(m_pLayout->get(), text, &ac, NA_PARSE_NEXT, 0, 0));
  EXPECT_FALSE(m_pclSearch->bEqualsSearch(pclOther));
  ASSERT_TRUE(pclOther->bSetRecherche(m_pLayout->get(), text, &ab, NA_PARSE_NEXT, 1, 0));
  EXPECT_FALSE(m_pclSearch->bEqualsSearch(pclOther));  // exact vs generic
  pclOther->nRelease();
  pclClone->nRelease();
}

CAny Typed(unsigned short type) {
  CAny v;
  switch (type) {
    case ANY_DATEA: v.SetDATEA("20230101"); break;
    case ANY_TIMEA: v.SetTIMEA("1200"); break;
    case ANY_DATEW: v.SetDATEW(L"20230101"); break;
    case ANY_TIMEW: v.SetTIMEW(L"1200"); break;
    default: v.SetI4(1); v.__SetType(type, 0); break;
  }
  return v;
}

std::wstring AsText(const CAny& v) {
  CAny c = v;
  if (c.nGetTypeCode() != ANY_DSTRW) c.__nCastTo(ANY_DSTRW, nullptr, 0);
  const wchar_t* psz = nullptr;
  c.nGetPCWSTR(&psz);
  return psz != nullptr ? psz : L"<none>";
}

// The smallest and largest value of each type, as text.
TEST_F(search, TypeBounds) {
  struct B {
    unsigned short nType;
    const wchar_t* pszMin;
    const wchar_t* pszMax;
  };
  const std::vector<B> bounds = {
      {ANY_UI1, L"0", L"255"},
      {ANY_UI2, L"0", L"65535"},
      {ANY_UI4, L"0", L"4294967295"},
      {ANY_UI8, L"0", L"18446744073709551615"},
      {ANY_I1, L"-128", L"127"},
      {ANY_I2, L"-32768", L"32767"},
      {ANY_I4, L"-2147483648", L"2147483647"},
      {ANY_I8, L"-9223372036854775808", L"9223372036854775807"},
      {ANY_TIMEA, L"0000", L"235959999"},
      {ANY_TIMEW, L"0000", L"235959999"},
      {ANY_DATEA, L"", L"30001231"},
      {ANY_DATEW, L"", L"30001231"},
  };
  for (const B& b : bounds) {
    SCOPED_TRACE(b.nType);
    CAny lo = Typed(b.nType);
    CAny hi = Typed(b.nType);
    CNARecherche::s_SetAnyToMin(&lo);
    CNARecherche::s_SetAnyToMax(&hi);
    EXPECT_EQ(b.nType, lo.nGetTypeCode());
    EXPECT_EQ(b.pszMin, AsText(lo));
    EXPECT_EQ(b.pszMax, AsText(hi));
  }
}

// The currency minimum is the largest amount negated: neither zero (which
// would drop every negative amount from a bound) nor the raw minimum
// pattern (no amount).
TEST_F(search, CurrencyMinimumIsLargestAmountNegated) {
  CMoney expected{};
  ASSERT_NE(nullptr, pstChaineVersMonetaire(&expected, L"-604462909807314587.353087"));
  CMoney zero{};
  ASSERT_NE(nullptr, pstChaineVersMonetaire(&zero, L"0"));
  CMoney raw{};
  SetMonetaireToMin(&raw);
  CMoney max{};
  ASSERT_NE(nullptr, pstChaineVersMonetaire(&max, L"604462909807314587.353087"));

  CAny v;
  v.SetCY(zero);
  CNARecherche::s_SetAnyToMin(&v);
  ASSERT_EQ(ANY_CY, v.nGetTypeCode());
  CAny want;
  want.SetCY(expected);
  EXPECT_EQ(0, std::memcmp(want.pbyValue(), v.pbyValue(), sizeof(CMoney)));
  CAny notZero;
  notZero.SetCY(zero);
  EXPECT_NE(0, std::memcmp(notZero.pbyValue(), v.pbyValue(), sizeof(CMoney)));
  CAny notRaw;
  notRaw.SetCY(raw);
  EXPECT_NE(0, std::memcmp(notRaw.pbyValue(), v.pbyValue(), sizeof(CMoney)));

  CNARecherche::s_SetAnyToMax(&v);
  want.SetCY(max);
  EXPECT_EQ(0, std::memcmp(want.pbyValue(), v.pbyValue(), sizeof(CMoney)));
}

// The highest-character and NUL tests on edge values: nothing happens to an
// empty value, a non-text column, a long value, or a real character.
TEST_F(search, HighestCharacterAndNulGuards) {
  struct G {
    const char* pszName;
    INAItemDescription* pi;
    CAny value;
    int bResult;
    std::wstring sAfter;  // the value as wide text afterwards
  };
  const std::wstring s99(99, L'x');
  const std::vector<G> cases = {
      {"empty 8-bit", text, Ansi(""), 0, L""},
      {"empty wide", unicode, Wide(L""), 0, L""},
      {"8-bit 0xFF", text, Ansi("a\xff"), 1, L"a"},
      {"8-bit 0xFF alone", text, Ansi("\xff"), 1, L""},
      {"wide U+FFFF", unicode, Wide(L"a\uffff"), 1, L"a"},
      {"wide above U+10FFFF", unicode, Wide(std::wstring(L"a") + static_cast<wchar_t>(0xFFFFFFFFu)), 1, L"a"},
      {"wide U+1F600", unicode, Wide(L"a\U0001F600"), 0, L"a\U0001F600"},
      {"99 units then U+FFFF", unicode, Wide(s99 + L"\uffff"), 0, s99 + L"\uffff"},
      {"98 units then U+FFFF", unicode, Wide(s99.substr(1) + L"\uffff"), 1, s99.substr(1)},
      {"int column", i4, Wide(L"a\uffff"), 0, L"a\uffff"},
  };
  for (const G& g : cases) {
    SCOPED_TRACE(g.pszName);
    CAny v = g.value;
    EXPECT_EQ(g.bResult, CNARecherche::_bGenericSearchDueTohValMax(m_pLayout->col(g.pi), &v));
    if (g.value.nGetTypeCode() == ANY_DSTRW) {
      const wchar_t* psz = nullptr;
      std::size_t n = 0;
      v.nGetPCWSTR(&psz);
      v.nGetSTRLEN(&n);
      EXPECT_EQ(g.sAfter, std::wstring(psz != nullptr ? psz : L"", n));
    } else {
      EXPECT_EQ(g.sAfter, AsText(v));
    }
  }
  EXPECT_EQ(0, CNARecherche::_bTermineParCaract0(nullptr));
  const CAny e = Ansi("");
  EXPECT_EQ(0, CNARecherche::_bTermineParCaract0(&e));
  const CAny a0 = Ansi("a\0", 2);
  EXPECT_EQ(1, CNARecherche::_bTermineParCaract0(&a0));
  const CAny a = Ansi("a");
  EXPECT_EQ(0, CNARecherche::_bTermineParCaract0(&a));
  const CAny w0 = Wide(std::wstring(L"a\0", 2));
  EXPECT_EQ(1, CNARecherche::_bTermineParCaract0(&w0));
  const CAny i = Int(0);
  EXPECT_EQ(0, CNARecherche::_bTermineParCaract0(&i));
}

}  // namespace
