// Filters: the interval on one item with each end included or not, equal
// bounds, the bounds of an item sorted descending (and the NULL rows at
// the true lower end), the SQL condition alone and joined to an interval,
// the equality on the record's value, activation, copies and comparisons;
// and what a saved filter (CNAFilterSave) answers for the filter in force.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAExpression.h"
#include "CNAFilter.h"
#include "CNAFilterSave.h"
#include "CSQLParserInfo.h"
#include "StandInParserBuilder.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Int;
using kxtest::TestRecordSource;
using kxtest::Written;

class filterpos_filter : public kxtest::ConditionTest {
 protected:
  void SetUp() override {
    ConditionTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);  // ITEM0
    desc = m_pSource->pclAdd(NA_IT_I4, 4, 1,
                             CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_DESCENDING);  // ITEM1
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);  // ITEM2
    BuildLayout();
    if (HasFatalFailure()) return;
    m_pclFilter = NewFilter();
  }
  void TearDown() override {
    if (m_pclFilter != nullptr) m_pclFilter->nRelease();
    ConditionTest::TearDown();
  }

  // A new filter with one reference for the test.
  CNAFilter* NewFilter() { return pclNew<CNAFilter>(); }

  // Lets the command and the filter give back the parameters of a write.
  void Forget(CNARecherche* s) {
    m_pclCommand->ResetCommand(0);
    s->_ResetParameter();
  }

  CNAFilter* m_pclFilter = nullptr;
  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* desc = nullptr;
  CNAItemDescription* text = nullptr;
};

struct BoundsCase {
  const char* pszName;
  int nMin;
  int bMinIncluded;
  int nMax;
  int bMaxIncluded;
  const wchar_t* pszWhere;
  int nParameters;
};

// Each end keeps its own comparison; only a value included at both ends
// becomes the equality. (An equality for ]3,3[ would select the rows of 3,
// which the interval excludes.)
TEST_F(filterpos_filter, InclusionOfEachEnd) {
  const std::vector<BoundsCase> cases = {
      {"[3,5]", 3, 1, 5, 1, L"`ITEM0`>=3 AND `ITEM0`<=5", 2},
      {"]3,5[", 3, 0, 5, 0, L"`ITEM0`>3 AND `ITEM0`<5", 2},
      {"[3,5[", 3, 1, 5, 0, L"`ITEM0`>=3 AND `ITEM0`<5", 2},
      {"]3,5]", 3, 0, 5, 1, L"`ITEM0`>3 AND `ITEM0`<=5", 2},
      {"[3,3]", 3, 1, 3, 1, L"`ITEM0`=3", 1},
      {"]3,3[", 3, 0, 3, 0, L"`ITEM0`>3 AND `ITEM0`<3", 2},
      {"[3,3[", 3, 1, 3, 0, L"`ITEM0`>=3 AND `ITEM0`<3", 2},
      {"]3,3]", 3, 0, 3, 1, L"`ITEM0`>3 AND `ITEM0`<=3", 2},
  };
  for (const BoundsCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    const CAny min = Int(c.nMin);
    const CAny max = Int(c.nMax);
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &min, c.bMinIncluded, &max, c.bMaxIncluded, nullptr, 0));
    const Written w = Write(m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszWhere, w.sText);
    EXPECT_EQ(c.nParameters, w.nParameters);
    EXPECT_TRUE(w.bListsEqual);
    // Every leaf is a filter bound, the lower one marked as such.
    CNAExpression* pclTree = m_pclFilter->pclGetFilterTreeNoRef();
    ASSERT_NE(nullptr, pclTree);
    CNAExpression* pclLower = pclTree->eGetOperator() == NA_OPERATOR_AND ? pclTree->pclGetLeftNoRef() : pclTree;
    EXPECT_NE(0u, pclLower->nGetFlags() & CNAExpression::knFlagLowerBound);
    EXPECT_EQ(m_pclFilter->pclGetFilterTreeNoRef(), m_pclFilter->pclGetCurrentNoRef());
    Forget(m_pclFilter);
  }
}

// One end only; a NULL-like lower end that is included takes the NULL rows
// in (they sort first), an excluded one does not.
TEST_F(filterpos_filter, OneEndOnly) {
  const CAny three = Int(3);
  const CAny zero = Int(0);
  struct Case {
    const char* pszName;
    const CAny* pMin;
    int bMinIncluded;
    const CAny* pMax;
    const wchar_t* pszWhere;
  };
  const std::vector<Case> cases = {
      {"from 3", &three, 1, nullptr, L"`ITEM0`>=3"},
      {"after 3", &three, 0, nullptr, L"`ITEM0`>3"},
      {"up to 3", nullptr, 1, &three, L"`ITEM0`<=3"},
      {"from 0 with NULL", &zero, 1, nullptr, L"(`ITEM0`>=0 OR `ITEM0` IS NULL)"},
      {"after 0 without NULL", &zero, 0, nullptr, L"`ITEM0`>0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, c.pMin, c.bMinIncluded, c.pMax, 1, nullptr, 0));
    const Written w = Write(m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(c.pszWhere, w.sText);
    EXPECT_TRUE(w.bListsEqual);
    Forget(m_pclFilter);
  }
}

// On an item sorted descending the caller's minimum is the larger value:
// the bounds are swapped once, each keeping its inclusion, and the NULL rows
// stay with the included 0 end (through both comparisons). The same text
// whether the column is read as a table item or through a query that sorts
// it descending: the swapped bounds are not turned a second time by the
// column's descending order.
TEST_F(filterpos_filter, DescendingItemSwapsBoundsOnce) {
  struct Case {
    const char* pszName;
    int bMinIncluded;
    int bMaxIncluded;
    const wchar_t* pszWhere;
  };
  const std::vector<Case> cases = {
      {"5..0 both included", 1, 1, L"(`ITEM1`>=0 OR `ITEM1` IS NULL) AND (`ITEM1`<=5 OR `ITEM1` IS NULL)"},
      // 0 is the caller's maximum: excluded, it takes no NULL rows.
      {"5..0, 0 excluded", 1, 0, L"`ITEM1`>0 AND `ITEM1`<=5"},
      {"5..0, 5 excluded", 0, 1, L"(`ITEM1`>=0 OR `ITEM1` IS NULL) AND (`ITEM1`<5 OR `ITEM1` IS NULL)"},
  };
  const CAny five = Int(5);
  const CAny zero = Int(0);
  CStandInParserLedger::Reset();
  {
    CStandInParserBuilder query(L"SELECT ITEM1 FROM t ORDER BY ITEM1 DESC");
    query.Column(L"ITEM1", L"t", L"ITEM1");
    query.From(L"t");
    query.OrderBy(L"ITEM1", 0);
    CSQLParserInfo* pclQuery = new CSQLParserInfo(m_pLayout->error(), query.pi(), nullptr, 0);
    pclQuery->AddRef();
    for (int bQuery = 0; bQuery < 2; ++bQuery) {
      SCOPED_TRACE(bQuery ? "query ordered DESC" : "table");
      m_pLayout->access().SetSourceQuery(bQuery ? pclQuery : nullptr);
      if (bQuery) {
        ASSERT_EQ(1, CNAExpression::s_eGetSensTriColonne(m_pLayout->get(), m_pLayout->col(desc)));
      }
      for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(
            m_pclFilter->bSetFilter(m_pLayout->get(), desc, &five, c.bMinIncluded, &zero, c.bMaxIncluded, nullptr, 0));
        const Written w = Write(m_pclFilter);
        EXPECT_TRUE(w.bResult);
        EXPECT_EQ(c.pszWhere, w.sText);
        EXPECT_TRUE(w.bListsEqual);
        Forget(m_pclFilter);
      }
    }
    // The leaves of the query's column hold its analysis: let them go first.
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, nullptr, 1, nullptr, 1, nullptr, 0));
    m_pLayout->access().SetSourceQuery(nullptr);
    pclQuery->nRelease();
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// The SQL condition is one bracketed operand: alone it is the whole
// filter; joined to an interval its OR cannot let rows outside the interval
// through.
TEST_F(filterpos_filter, SqlConditionAloneAndWithInterval) {
  CStandInParserLedger::Reset();
  {
    std::unique_ptr<CStandInParserBuilder> cond(CStandInParserBuilder::pclCondition(L"c = 1 OR d = 2"));
    CAny one = Int(1);
    CAny two = Int(2);
    cond->Where(cond->Op(2, {cond->Op(9, {cond->Item(L"c", L"", L"c"), cond->Literal(L"1", one)}),
                             cond->Op(9, {cond->Item(L"d", L"", L"d"), cond->Literal(L"2", two)})}));

    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, nullptr, 1, nullptr, 1, cond->pi(), 0));
    CNAExpression* pclTree = m_pclFilter->pclGetFilterTreeNoRef();
    ASSERT_NE(nullptr, pclTree);
    EXPECT_EQ(NA_OPERATOR_SQL, pclTree->eGetOperator());
    Written w = Write(m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(L"(`c` = 1 OR `d` = 2 )", w.sText);
    EXPECT_TRUE(w.bListsEqual);
    Forget(m_pclFilter);

    const CAny three = Int(3);
    const CAny five = Int(5);
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 1, &five, 1, cond->pi(), 0));
    pclTree = m_pclFilter->pclGetFilterTreeNoRef();
    ASSERT_NE(nullptr, pclTree);
    EXPECT_EQ(NA_OPERATOR_AND, pclTree->eGetOperator());
    ASSERT_NE(nullptr, pclTree->pclGetRightNoRef());
    EXPECT_EQ(NA_OPERATOR_SQL, pclTree->pclGetRightNoRef()->eGetOperator());
    w = Write(m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(L"(`ITEM0`>=3 AND `ITEM0`<=5 ) AND (`c` = 1 OR `d` = 2 )", w.sText);
    EXPECT_TRUE(w.bListsEqual);
    Forget(m_pclFilter);

    // A new filter lets the condition go.
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 1, nullptr, 1, nullptr, 0));
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

// Flag 0x8: without an upper bound the lower leaf is the equality on the
// item's value in the current record, built even without a minimum.
TEST_F(filterpos_filter, EqualityOnTheRecordValue) {
  const CAny seven = Int(7);
  ASSERT_TRUE(m_pLayout->col(i4)->bSetValue(&seven, 0));
  ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, nullptr, 1, nullptr, 1, nullptr, 8));
  CNAExpression* pclTree = m_pclFilter->pclGetFilterTreeNoRef();
  ASSERT_NE(nullptr, pclTree);
  EXPECT_EQ(NA_OPERATOR_EQ, pclTree->eGetOperator());
  const Written w = Write(m_pclFilter);
  EXPECT_TRUE(w.bResult);
  EXPECT_EQ(L"`ITEM0`=7", w.sText);
  Forget(m_pclFilter);
}

// What builds no leaf leaves the filter without a condition: it writes
// nothing, and the state is the caller's business.
TEST_F(filterpos_filter, NothingToFilter) {
  TestRecordSource other;
  // An item of another description, placed beyond this record's columns.
  CNAItemDescription* stranger = nullptr;
  for (int i = 0; i < 5; ++i) stranger = other.pclAdd(NA_IT_I4, 4);
  ASSERT_TRUE(stranger->bSetName(L"ELSEWHERE"));
  ASSERT_EQ(nullptr, m_pLayout->col(stranger));
  const CAny three = Int(3);
  struct Case {
    const char* pszName;
    INAItemDescription* pi;
    const CAny* pMin;
    const CAny* pMax;
  };
  const std::vector<Case> cases = {
      {"no bounds", i4, nullptr, nullptr},
      {"item not in the record", stranger, &three, &three},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    const CAny five = Int(5);
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 1, &five, 1, nullptr, 0));
    ASSERT_NE(nullptr, m_pclFilter->pclGetFilterTreeNoRef());
    ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), c.pi, c.pMin, 1, c.pMax, 1, nullptr, 0));
    EXPECT_EQ(nullptr, m_pclFilter->pclGetFilterTreeNoRef());
    EXPECT_EQ(nullptr, m_pclFilter->pclGetCurrentNoRef());
    const Written w = Write(m_pclFilter);
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(L"", w.sText);
    EXPECT_EQ(0, w.nParameters);
  }
}

// bSetFilter leaves the state alone; ActivateFilter switches it, and the
// condition survives a deactivation.
TEST_F(filterpos_filter, ActivationIsSeparateFromTheCondition) {
  const CAny three = Int(3);
  const CAny five = Int(5);
  EXPECT_FALSE(m_pclFilter->bIsFilterActive());
  ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 1, &five, 1, nullptr, 0));
  EXPECT_FALSE(m_pclFilter->bIsFilterActive());
  m_pclFilter->ActivateFilter(1);
  EXPECT_TRUE(m_pclFilter->bIsFilterActive());
  ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 0, &five, 0, nullptr, 0));
  EXPECT_TRUE(m_pclFilter->bIsFilterActive());

  m_pclFilter->ActivateFilter(0);
  EXPECT_FALSE(m_pclFilter->bIsFilterActive());
  EXPECT_NE(nullptr, m_pclFilter->pclGetFilterTreeNoRef());
  m_pclFilter->ActivateFilter(1);
  const Written w = Write(m_pclFilter);
  EXPECT_EQ(L"`ITEM0`>3 AND `ITEM0`<5", w.sText);
  Forget(m_pclFilter);
  EXPECT_TRUE(m_pclFilter->_bResetFilter());
}

// A search writes the active filter's condition before its own; a filter
// switched off and on again comes back whole.
TEST_F(filterpos_filter, JoinedWithTheSearch) {
  const CAny three = Int(3);
  const CAny five = Int(5);
  CAny ab;
  ab.__SetType(ANY_DSTRA, 0);
  ab.SetValue("ab", 2);
  ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 1, &five, 1, nullptr, 0));
  CNARecherche* pclSearch = new CNARecherche(m_pLayout->error(), m_pclCnx);
  pclSearch->AddRef();
  ASSERT_TRUE(pclSearch->bSetRecherche(m_pLayout->get(), text, &ab, NA_PARSE_CURRENT, 1, 0));
  struct Step {
    const char* pszName;
    int bActive;
    const wchar_t* pszWhere;
    int nParameters;
  };
  const std::vector<Step> steps = {
      {"inactive", 0, L"`ITEM2`='ab'", 1},
      {"active", 1, L"(`ITEM0`>=3 AND `ITEM0`<=5 ) AND `ITEM2`='ab'", 3},
      {"off", 0, L"`ITEM2`='ab'", 1},
      {"on again", 1, L"(`ITEM0`>=3 AND `ITEM0`<=5 ) AND `ITEM2`='ab'", 3},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.pszName);
    m_pclFilter->ActivateFilter(st.bActive);
    Written w;
    w.bResult = pclSearch->bGetSQL(m_pclCommand, m_pclFilter, m_pLayout->get());
    const wchar_t* psz = m_pclCommand->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    w.sText = psz != nullptr ? psz : L"";
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(st.pszWhere, w.sText);
    EXPECT_EQ(st.nParameters, m_pclCommand->nGetParameterNbr());
    EXPECT_EQ(st.nParameters, pclSearch->nGetNbParameter());
    Forget(pclSearch);
  }
  pclSearch->nRelease();
}

// A clone is a filter sharing the condition; comparisons go by the search's
// fields, a missing filter matching only an inactive one.
TEST_F(filterpos_filter, CloneAndComparisons) {
  const CAny three = Int(3);
  const CAny five = Int(5);
  ASSERT_TRUE(m_pclFilter->bSetFilter(m_pLayout->get(), i4, &three, 1, &five, 1, nullptr, 0));
  m_pclFilter->ActivateFilter(1);

  CNARecherche* pclAsSearch = m_pclFilter->pclClone();
  ASSERT_NE(nullptr, pclAsSearch);
  pclAsSearch->AddRef();
  CNAFilter* pclClone = dynamic_cast<CNAFilter*>(pclAsSearch);
  ASSERT_NE(nullptr, pclClone);
  EXPECT_EQ(m_pclFilter->pclGetFilterTreeNoRef(), pclClone->pclGetFilterTreeNoRef());
  EXPECT_TRUE(pclClone->bIsFilterActive());
  EXPECT_EQ(m_pclFilter->pclGetCurrentNoRef(), pclClone->pclGetCurrentNoRef());
  EXPECT_TRUE(m_pclFilter->bEqualsFilter(m_pclFilter));

  // The same interval set on another filter: equal.
  CNAFilter* pclTwin = NewFilter();
  ASSERT_TRUE(pclTwin->bSetFilter(m_pLayout->get(), i4, &three, 1, &five, 1, nullptr, 0));
  pclTwin->ActivateFilter(1);
  EXPECT_TRUE(m_pclFilter->bEqualsFilter(pclTwin));

  // Another item: not the same filter.
  CNAFilter* pclOther = NewFilter();
  ASSERT_TRUE(pclOther->bSetFilter(m_pLayout->get(), text, nullptr, 1, nullptr, 1, nullptr, 0));
  pclOther->ActivateFilter(1);
  EXPECT_FALSE(m_pclFilter->bEqualsFilter(pclOther));

  struct Case {
    const char* pszName;
    const CNAFilter* pFirst;
    const CNAFilter* pSecond;
    int bEqual;
  };
  CNAFilter* pclInactive = NewFilter();
  const std::vector<Case> cases = {
      {"both missing", nullptr, nullptr, 1},
      {"missing and inactive", nullptr, pclInactive, 1},
      {"inactive and missing", pclInactive, nullptr, 1},
      {"missing and active", nullptr, m_pclFilter, 0},
      {"active and missing", m_pclFilter, nullptr, 0},
      {"active and its twin", m_pclFilter, pclTwin, 1},
      {"active and itself", m_pclFilter, m_pclFilter, 1},
      {"active and another", m_pclFilter, pclOther, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    EXPECT_EQ(c.bEqual, CNAFilter::g_bEqualsFilter(c.pFirst, c.pSecond));
  }
  pclInactive->nRelease();
  pclOther->nRelease();
  pclTwin->nRelease();
  pclAsSearch->nRelease();
}

// What a saved filter answers for the filter in force: a saved inactive or
// absent filter matches any inactive or absent one; an active one only an
// equal active one.
TEST_F(filterpos_filter, SavedFilterAgainstTheFilterInForce) {
  const CAny three = Int(3);
  CNAFilter* pclActive = m_pclFilter;
  ASSERT_TRUE(pclActive->bSetFilter(m_pLayout->get(), i4, &three, 1, nullptr, 1, nullptr, 0));
  pclActive->ActivateFilter(1);
  CNAFilter* pclInactive = NewFilter();
  ASSERT_TRUE(pclInactive->bSetFilter(m_pLayout->get(), i4, &three, 1, nullptr, 1, nullptr, 0));
  CNAFilter* pclOther = NewFilter();
  ASSERT_TRUE(pclOther->bSetFilter(m_pLayout->get(), text, nullptr, 1, nullptr, 1, nullptr, 0));
  pclOther->ActivateFilter(1);

  struct Case {
    const char* pszName;
    CNAFilter* pSaved;
    CNAFilter* pNow;
    int bEqual;
  };
  const std::vector<Case> cases = {
      {"absent, absent", nullptr, nullptr, 1},
      {"absent, inactive", nullptr, pclInactive, 1},
      {"absent, active", nullptr, pclActive, 0},
      {"inactive, absent", pclInactive, nullptr, 1},
      {"inactive, inactive", pclInactive, pclInactive, 1},
      {"inactive, active", pclInactive, pclActive, 0},
      {"active, absent", pclActive, nullptr, 0},
      {"active, inactive", pclActive, pclInactive, 0},
      {"active, itself", pclActive, pclActive, 1},
      {"active, another", pclActive, pclOther, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    const CNAFilterSave save(c.pSaved);
    EXPECT_EQ(c.pSaved, save.pclGetFilterNoRef());
    EXPECT_EQ(c.bEqual, save.bFilterEquals(c.pNow));
  }

  // The active flag is the one of the moment the filter was kept.
  CNAFilterSave kept(pclInactive);
  pclInactive->ActivateFilter(1);
  EXPECT_FALSE(kept.bIsActive());
  EXPECT_FALSE(kept.bFilterEquals(pclInactive));
  pclInactive->ActivateFilter(0);
  EXPECT_TRUE(kept.bFilterEquals(pclInactive));
  kept.SetFilter(nullptr);
  pclInactive->nRelease();
  pclOther->nRelease();
}

// A saved filter holds one reference of its own per copy; keeping the
// filter it already holds (its only holder) never frees it on the way.
TEST_F(filterpos_filter, SavedFilterReferences) {
  const std::uint32_t nBase = m_pclFilter->nGetInternalCount();
  {
    CNAFilterSave a(m_pclFilter);
    EXPECT_EQ(nBase + 1, m_pclFilter->nGetInternalCount());
    CNAFilterSave b(a);
    EXPECT_EQ(nBase + 2, m_pclFilter->nGetInternalCount());
    CNAFilterSave c;
    c = b;
    EXPECT_EQ(nBase + 3, m_pclFilter->nGetInternalCount());
    c = c;
    c.Copy(c);
    EXPECT_EQ(nBase + 3, m_pclFilter->nGetInternalCount());
    b.SetFilter(nullptr);
    EXPECT_EQ(nBase + 2, m_pclFilter->nGetInternalCount());
    EXPECT_EQ(nullptr, b.pclGetFilterNoRef());
    c.Copy(b);
    EXPECT_EQ(nBase + 1, m_pclFilter->nGetInternalCount());
  }
  EXPECT_EQ(nBase, m_pclFilter->nGetInternalCount());

  // The save alone holds this filter: keeping it again, or copying a save
  // of it over the only holder, must take the new reference first.
  CNAFilter* pclOnly = NewFilter();
  CNAFilterSave only(pclOnly);
  pclOnly->nRelease();
  ASSERT_EQ(1u, only.pclGetFilterNoRef()->nGetInternalCount());
  only.SetFilter(only.pclGetFilterNoRef());
  ASSERT_NE(nullptr, only.pclGetFilterNoRef());
  EXPECT_EQ(1u, only.pclGetFilterNoRef()->nGetInternalCount());
  CNAFilterSave same(only.pclGetFilterNoRef());
  only.SetFilter(nullptr);
  only.Copy(same);
  same.SetFilter(nullptr);
  ASSERT_NE(nullptr, only.pclGetFilterNoRef());
  EXPECT_EQ(1u, only.pclGetFilterNoRef()->nGetInternalCount());
}

}  // namespace
