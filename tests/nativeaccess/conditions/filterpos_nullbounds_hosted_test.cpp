// Filters whose interval opens at the NULL rows: NULL sorts before every
// value, so an included lower end at 0 or '' (values the platform keeps NULL
// as) starts the interval with them. The whole filter must then let them
// through (the upper comparison is unknown on NULL and would drop them) and
// the command it is written into must say its NULL rows are selected; every
// other interval keeps its text and keeps NULL rows out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CAny.h"
#include "CMoney.h"
#include "CNACommand.h"
#include "CNAFilter.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Ansi;
using kxtest::Int;
using kxtest::Wide;
using kxtest::Written;

CAny Money(const wchar_t* text) {
  CMoney m;
  CAny v;
  if (pstChaineVersMonetaire(&m, text) != nullptr) v.SetCY(m);
  return v;
}

class filterpos_nullbounds : public kxtest::ConditionTest {
 protected:
  void SetUp() override {
    ConditionTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);  // ITEM0
    desc = m_pSource->pclAdd(NA_IT_I4, 4, 1,
                             CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_DESCENDING);  // ITEM1
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);                                                      // ITEM2
    unicode = m_pSource->pclAdd(NA_IT_UNICODE, 42);                                                 // ITEM3
    amount = m_pSource->pclAdd(NA_IT_MONETAIRE, 10);                                                // ITEM4
    uniq = m_pSource->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);                       // ITEM5
    uniq->SetNullable(0);
    BuildLayout();
    if (HasFatalFailure()) return;
    m_pclFilter = pclNew<CNAFilter>();
    m_pclSearch = pclNew<CNARecherche>();
  }
  void TearDown() override {
    if (m_pclSearch != nullptr) m_pclSearch->nRelease();
    if (m_pclFilter != nullptr) m_pclFilter->nRelease();
    ConditionTest::TearDown();
  }

  CNAFilter* m_pclFilter = nullptr;
  CNARecherche* m_pclSearch = nullptr;

 public:  // the case tables name the items as members
  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* desc = nullptr;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* unicode = nullptr;
  CNAItemDescription* amount = nullptr;
  CNAItemDescription* uniq = nullptr;
};

struct NullBoundCase {
  const char* pszName;
  CNAItemDescription* filterpos_nullbounds::*item;
  CAny min;
  int bMinIncluded;
  bool bMax;  // an upper bound is given
  CAny max;
  int bMaxIncluded;
  const wchar_t* pszWhere;
  int bNullSelected;  // the command's answer for the item's column
};

// The filter alone, written into one command after another: the text, the
// parameters of both lists, and the NULL selection the command answers.
TEST_F(filterpos_nullbounds, IncludedNullLikeLowerEndSelectsNullRows) {
  using F = filterpos_nullbounds;
  const CAny none;
  const std::vector<NullBoundCase> cases = {
      {"int [0,5]", &F::i4, Int(0), 1, true, Int(5), 1,
       L"(`ITEM0`>=0 OR `ITEM0` IS NULL) AND (`ITEM0`<=5 OR `ITEM0` IS NULL)", 1},
      {"int [0,5[", &F::i4, Int(0), 1, true, Int(5), 0,
       L"(`ITEM0`>=0 OR `ITEM0` IS NULL) AND (`ITEM0`<5 OR `ITEM0` IS NULL)", 1},
      // 0 left out: the interval starts after the NULL rows.
      {"int ]0,5]", &F::i4, Int(0), 0, true, Int(5), 1, L"`ITEM0`>0 AND `ITEM0`<=5", 0},
      {"int [-3,5]", &F::i4, Int(-3), 1, true, Int(5), 1, L"`ITEM0`>=-3 AND `ITEM0`<=5", 0},
      {"int [3,5]", &F::i4, Int(3), 1, true, Int(5), 1, L"`ITEM0`>=3 AND `ITEM0`<=5", 0},
      {"int [0,0]", &F::i4, Int(0), 1, true, Int(0), 1, L"(`ITEM0`=0 OR `ITEM0` IS NULL)", 1},
      {"int [0,", &F::i4, Int(0), 1, false, none, 1, L"(`ITEM0`>=0 OR `ITEM0` IS NULL)", 1},
      {"int ,5]", &F::i4, none, 1, true, Int(5), 1, L"`ITEM0`<=5", 0},
      // Given in the item's descending order: swapped, 0 is the true lower
      // end, and it brings the NULL rows only when it is included.
      {"descending 5..0", &F::desc, Int(5), 1, true, Int(0), 1,
       L"(`ITEM1`>=0 OR `ITEM1` IS NULL) AND (`ITEM1`<=5 OR `ITEM1` IS NULL)", 1},
      {"descending 5..0, 5 excluded", &F::desc, Int(5), 0, true, Int(0), 1,
       L"(`ITEM1`>=0 OR `ITEM1` IS NULL) AND (`ITEM1`<5 OR `ITEM1` IS NULL)", 1},
      {"descending 5..0, 0 excluded", &F::desc, Int(5), 1, true, Int(0), 0, L"`ITEM1`>0 AND `ITEM1`<=5", 0},
      // '' holds for every text: its leaf goes, the NULL rows stay in.
      {"8-bit ['',b[", &F::text, Ansi(""), 1, true, Ansi("b"), 0, L"`ITEM2`<'b' OR `ITEM2` IS NULL", 1},
      {"8-bit ]'',b[", &F::text, Ansi(""), 0, true, Ansi("b"), 0, L"`ITEM2`>'' AND `ITEM2`<'b'", 0},
      {"8-bit [a,b]", &F::text, Ansi("a"), 1, true, Ansi("b"), 1, L"`ITEM2`>='a' AND `ITEM2`<='b'", 0},
      {"wide ['',b]", &F::unicode, Wide(L""), 1, true, Wide(L"b"), 1, L"`ITEM3`<='b' OR `ITEM3` IS NULL", 1},
      {"amount [0,100]", &F::amount, Money(L"0"), 1, true, Money(L"100"), 1,
       L"(`ITEM4`>=0 OR `ITEM4` IS NULL) AND (`ITEM4`<=100 OR `ITEM4` IS NULL)", 1},
      {"amount [-12.5,0]", &F::amount, Money(L"-12.5"), 1, true, Money(L"0"), 1,
       L"`ITEM4`>=-12.5 AND `ITEM4`<=0", 0},
      // A column that never holds NULL gains no NULL alternative.
      {"unique not NULL [0,5]", &F::uniq, Int(0), 1, true, Int(5), 1, L"`ITEM5`>=0 AND `ITEM5`<=5", 0},
  };
  for (const NullBoundCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    INAItemDescription* pi = this->*c.item;
    const CAny* pMin = c.min.bIsEmpty() ? nullptr : &c.min;
    ASSERT_TRUE(m_pclFilter->bSetFilter(rec(), pi, pMin, c.bMinIncluded, c.bMax ? &c.max : nullptr,
                                        c.bMaxIncluded, nullptr, 0));
    const Written w = Write(m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszWhere, w.sText);
    EXPECT_TRUE(w.bListsEqual);
    EXPECT_EQ(c.bNullSelected, m_pclCommand->bColumnValuesNullSelected(col(pi)));
  }
}

// Joined with a search (the filter's condition first, as one operand), the
// NULL alternatives stay inside the filter's part and the filter's column
// keeps its NULL rows selected.
TEST_F(filterpos_nullbounds, JoinedWithASearch) {
  struct Case {
    const char* pszName;
    INAItemDescription* pi;
    CAny min;
    CAny max;
    int bMaxIncluded;
    const wchar_t* pszWhere;
  };
  const std::vector<Case> cases = {
      {"int [0,5]", i4, Int(0), Int(5), 1,
       L"((`ITEM0`>=0 OR `ITEM0` IS NULL) AND (`ITEM0`<=5 OR `ITEM0` IS NULL)) AND `ITEM5`=7"},
      {"8-bit ['',b[", text, Ansi(""), Ansi("b"), 0, L"(`ITEM2`<'b' OR `ITEM2` IS NULL) AND `ITEM5`=7"},
  };
  const CAny seven = Int(7);
  ASSERT_TRUE(m_pclSearch->bSetRecherche(rec(), uniq, &seven, NA_PARSE_CURRENT, 1, 0));
  m_pclFilter->ActivateFilter(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    ASSERT_TRUE(m_pclFilter->bSetFilter(rec(), c.pi, &c.min, 1, &c.max, c.bMaxIncluded, nullptr, 0));
    m_pclFilter->ActivateFilter(1);
    const Written w = Write(m_pclSearch, m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszWhere, w.sText);
    EXPECT_TRUE(w.bListsEqual);
    EXPECT_TRUE(m_pclCommand->bColumnValuesNullSelected(col(c.pi)));
  }
}

}  // namespace
