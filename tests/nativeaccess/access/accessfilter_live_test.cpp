// Filters of the driver's data access on a table of the fixture's server:
// bounds in and out on an ascending and on a descending item, one active
// filter at a time and the latest filter switched back on, a condition
// filter on the item chosen from its operands, and the next-operation check
// of a browse without table cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AnyHandlers.h"
#include "CAny.h"
#include "CNAFilter.h"
#include "CNAStatement.h"
#include "StandInParserBuilder.h"
#include "nativeaccess/support/AnyValues.h"
#include "nativeaccess/support/SmallTableLive.h"

namespace {

using kxtest::Int;
using kxtest::Narrow;
using Ids = std::vector<int>;

class accessfilter_live : public kxtest::SmallTableLive {
 protected:
  accessfilter_live() : SmallTableLive("kxfilt_") {}
};

TEST_F(accessfilter_live, BoundsOnAscendingAndDescendingItems) {
  struct Case {
    const char* what;
    const wchar_t* item;
    int min;
    int minIn;
    int max;
    int maxIn;
    Ids ids;
  };
  const Case cases[] = {
      {"both included", L"k", 1, 1, 2, 1, {5, 6, 7, 8, 9, 10, 11, 12}},
      {"both excluded", L"k", 1, 0, 3, 0, {9, 10, 11, 12}},
      {"equal bounds", L"k", 4, 1, 4, 1, {17, 18, 19, 20}},
      {"empty interval", L"id", 9, 0, 10, 0, {}},
      // A descending browse runs from its greater values: the first bound
      // is the greater one.
      {"descending, included", L"d", 5, 1, 4, 1, {5, 12, 19, 4, 11, 18}},
      {"descending, excluded", L"d", 6, 0, 3, 0, {5, 12, 19, 4, 11, 18}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CAny min = Int(c.min);
    const CAny max = Int(c.max);
    ASSERT_EQ(1, p()->bHFiltre(c.item, &min, c.minIn, &max, c.maxIn, nullptr)) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(c.ids, Browse(c.item)) << Narrow(m_pError->pszGetError());
    m_pError->Reset();
  }
}

TEST_F(accessfilter_live, OneActiveFilterAndTheLatestOneSwitchedBackOn) {
  const CAny one = Int(1);
  const CAny three = Int(3);
  ASSERT_EQ(1, p()->bHFiltre(L"k", &one, 1, &one, 1, nullptr));
  EXPECT_EQ((Ids{5, 6, 7, 8}), Browse(L"k"));
  ASSERT_EQ(1, p()->bHFiltre(L"id", nullptr, 0, &three, 1, nullptr));
  CNAStatement* pclK = m_access.pclStatement(L"k");
  CNAStatement* pclId = m_access.pclStatement(L"id");
  ASSERT_NE(nullptr, pclK);
  ASSERT_NE(nullptr, pclId);
  EXPECT_FALSE(pclK->bExistFilter());
  EXPECT_TRUE(pclId->bExistFilter());
  EXPECT_EQ(pclId->pclGetFilterNoRef(), p()->pclGetLatestFilterNoRef());
  EXPECT_EQ((Ids{1, 2, 3}), Browse(L"id"));
  EXPECT_EQ(20u, Browse(L"k").size());

  // Off: the latest filter stays recorded; on again for k: the latest
  // filter (id's) comes back, k's does not.
  EXPECT_EQ(1, p()->bHDesactiveFiltre(L"id"));
  EXPECT_EQ(20u, Browse(L"id").size());
  EXPECT_EQ(pclId->pclGetFilterNoRef(), p()->pclGetLatestFilterNoRef());
  EXPECT_EQ(1, p()->bHActiveFiltre(L"k"));
  EXPECT_FALSE(pclK->bExistFilter());
  EXPECT_TRUE(pclId->bExistFilter());
  EXPECT_EQ((Ids{1, 2, 3}), Browse(L"id"));

  // Switched on while its browse runs: the browse goes on under the
  // filter from where it stood.
  EXPECT_EQ(1, p()->bHDesactiveFiltre(L"id"));
  EXPECT_EQ(1, Read(L"id", NA_PARSE_FIRST));
  EXPECT_EQ(2, Read(L"id", NA_PARSE_NEXT));
  EXPECT_EQ(1, p()->bHActiveFiltre(L"id"));
  EXPECT_EQ(NA_PARSEUPDATE_REPOSITION, pclId->eParseNeedUpdate());
  EXPECT_EQ(3, Read(L"id", NA_PARSE_NEXT));
  EXPECT_EQ(0, Read(L"id", NA_PARSE_NEXT));

  // A read that changes keys with 0x8000 carries the filter over.
  ASSERT_EQ(1, p()->bHFiltre(L"k", &one, 1, &one, 1, nullptr));
  EXPECT_EQ(5, Read(L"k", NA_PARSE_FIRST));
  ASSERT_EQ(1, p()->bHLitxxx(L"d", NA_PARSE_FIRST, 1, 0, nullptr, 0x8000));
  EXPECT_EQ(6, m_access.nCurrentInt(m_pId));  // d = 6 is the greatest among ids 5..8
}

// An operand naming an item (type code 110).
CAny ItemRef(const std::wstring& text) {
  std::vector<unsigned short> units(text.begin(), text.end());
  CAny v;
  CAny_TNPSTRW::s_SetFromUTF16(&v, units.data(), static_cast<int>(units.size()));
  return v;
}

TEST_F(accessfilter_live, ConditionFilterRunsOnTheChosenItem) {
  CStandInParserLedger::Reset();
  {
    std::unique_ptr<CStandInParserBuilder> cond(CStandInParserBuilder::pclCondition(L"d = 1 OR k = 2"));
    const CAny one = Int(1);
    const CAny two = Int(2);
    cond->Where(cond->Op(2, {cond->Op(9, {cond->Item(L"d", L"", L"d"), cond->Literal(L"1", one)}),
                             cond->Op(9, {cond->Item(L"k", L"", L"k"), cond->Literal(L"2", two)})}));
    struct Case {
      const char* what;
      std::vector<CAny> operands;
      const wchar_t* item;
      Ids ids;
    };
    const Case cases[] = {
        // d is the first plain item; k, a key with duplicates, wins.
        {"key with duplicates", {ItemRef(L"T.d"), ItemRef(L"T.k")}, L"k", {1, 8, 9, 10, 11, 12, 15}},
        {"none known: the best browse item", {ItemRef(L"T.zz")}, L"id", {1, 8, 9, 10, 11, 12, 15}},
        {"a unique key after the first plain item", {ItemRef(L"k"), ItemRef(L"u")}, L"u", {1, 8, 9, 10, 11, 12, 15}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      cond->p()->m_tabConditionOperands = c.operands;
      wchar_t szItem[255] = L"";
      ASSERT_EQ(1, p()->bHFiltre(cond->pi(), szItem)) << Narrow(m_pError->pszGetError());
      EXPECT_STREQ(c.item, szItem);
      Ids ids = Browse(szItem);
      std::sort(ids.begin(), ids.end());
      EXPECT_EQ(c.ids, ids) << Narrow(m_pError->pszGetError());
      m_pError->Reset();
    }
    m_access.Release();
  }
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

TEST_F(accessfilter_live, NextOperationWithoutTableCacheIsServed) {
  EXPECT_EQ(1, Read(L"id", NA_PARSE_FIRST));
  for (int op : {1, 2, 3, 9}) EXPECT_EQ(1, p()->bSetNextOperation(op)) << op;
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType());
}

}  // namespace
