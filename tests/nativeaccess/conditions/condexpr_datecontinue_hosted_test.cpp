// Continuing a browse from a generic search on a partial date: the after
// tree selects the rows past the whole period the text names (not in the
// period, and later than its first instant), the before tree the rows
// before its first instant (with the NULL rows, which sort first). The
// partial text is never sent as it stands: read as a date-time by the
// server it is a zero date, so "after" would take the earlier rows back
// and "before" would lose every row.
//
// Each case searches through a real search, continues it after (a fresh
// search) and before, and checks the formatted texts, the parameter count
// and that the command and the search hold the same parameters.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Wide;
using kxtest::Written;

class condexpr_datecontinue : public kxtest::SearchTest<CNARecherche> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    m_pSource->pclAdd(NA_IT_I4, 4);                // ITEM0
    date8 = m_pSource->pclAdd(NA_IT_DATE8, 9);     // ITEM1
    datetime = m_pSource->pclAdd(NA_IT_DATETIME, 8);  // ITEM2
    // A date-time key described descending: its browse runs from the
    // latest instant down.
    datetimeDesc = m_pSource->pclAdd(NA_IT_DATETIME, 8, 1,
                                     CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_DESCENDING);  // ITEM3
    heure = m_pSource->pclAdd(NA_IT_HEURE, 10);  // ITEM4
    BuildSearch();
  }

  // A fresh generic search on `pi` for `prefix`, continued in `direction`
  // (first: after the value, last: before it), written.
  Written Continue(INAItemDescription* pi, const wchar_t* prefix, eNA_PARSEDIRECTION direction) {
    const CAny value = Wide(prefix);
    EXPECT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), pi, &value, NA_PARSE_CURRENT, 0, 0));
    EXPECT_TRUE(m_pclSearch->bSetContinueParcours(direction));
    return Write();
  }

  CNAItemDescription* date8 = nullptr;
  CNAItemDescription* datetime = nullptr;
  CNAItemDescription* datetimeDesc = nullptr;
  CNAItemDescription* heure = nullptr;
};

// One row: the item (1 the 8-bit date, 2 the date-time, 3 the descending
// date-time, 4 the time on a server with a time type, 5 the time on one
// that keeps times as text), the prefix, and the texts of both
// continuations.
struct Row {
  const char* pszName;
  int nItem;
  const wchar_t* pszPrefix;
  const wchar_t* pszAfter;
  int nAfterParameters;
  const wchar_t* pszBefore;
  int nBeforeParameters;
};

TEST_F(condexpr_datecontinue, AfterAndBeforeAPartialDate) {
  const std::vector<Row> rows = {
      // 8-bit dates.
      {"date 2023", 1, L"2023",
       L" NOT (`ITEM1`>='2023-01-01' AND `ITEM1`<'2024-01-01' ) AND `ITEM1`>'2023-01-01'", 3,
       L"(`ITEM1`<'2023-01-01' OR `ITEM1` IS NULL)", 1},
      {"date 202302", 1, L"202302",
       L" NOT (`ITEM1`>='2023-02-01' AND `ITEM1`<'2023-03-01' ) AND `ITEM1`>'2023-02-01'", 3,
       L"(`ITEM1`<'2023-02-01' OR `ITEM1` IS NULL)", 1},
      // No day follows year 9999: nothing lies past the period.
      {"date 9999", 1, L"9999", L" NOT (`ITEM1`>='9999-01-01' ) AND `ITEM1`>'9999-01-01'", 2,
       L"(`ITEM1`<'9999-01-01' OR `ITEM1` IS NULL)", 1},
      // Date-times: a year, a month, an hour, the last year.
      {"datetime 2023", 2, L"2023",
       L" NOT (`ITEM2`>='2023-01-01 00:00:00.000' AND `ITEM2`<'2024-01-01 00:00:00.000' ) AND "
       L"`ITEM2`>'2023-01-01 00:00:00.000'",
       3, L"(`ITEM2`<'2023-01-01 00:00:00.000' OR `ITEM2` IS NULL)", 1},
      {"datetime 202302", 2, L"202302",
       L" NOT (`ITEM2`>='2023-02-01 00:00:00.000' AND `ITEM2`<'2023-03-01 00:00:00.000' ) AND "
       L"`ITEM2`>'2023-02-01 00:00:00.000'",
       3, L"(`ITEM2`<'2023-02-01 00:00:00.000' OR `ITEM2` IS NULL)", 1},
      {"datetime 2023022715", 2, L"2023022715",
       L" NOT (`ITEM2`>='2023-02-27 15:00:00.000' AND `ITEM2`<'2023-02-27 16:00:00.000' ) AND "
       L"`ITEM2`>'2023-02-27 15:00:00.000'",
       3, L"(`ITEM2`<'2023-02-27 15:00:00.000' OR `ITEM2` IS NULL)", 1},
      {"datetime 9999", 2, L"9999",
       L" NOT (`ITEM2`>='9999-01-01 00:00:00.000' ) AND `ITEM2`>'9999-01-01 00:00:00.000'", 2,
       L"(`ITEM2`<'9999-01-01 00:00:00.000' OR `ITEM2` IS NULL)", 1},
      // Descending: after the period is earlier (the NULL rows, last in
      // that order, with it), before it is later.
      {"descending datetime 202302", 3, L"202302",
       L"(`ITEM3`<'2023-02-01 00:00:00.000' OR `ITEM3` IS NULL)", 1,
       L" NOT (`ITEM3`>='2023-02-01 00:00:00.000' AND `ITEM3`<'2023-03-01 00:00:00.000' ) AND "
       L"`ITEM3`>'2023-02-01 00:00:00.000'",
       3},
      // Times name periods too (an hour, a minute) where the server has a
      // time type; kept as text they are prefixes of texts.
      {"time 15", 4, L"15", L" NOT (`ITEM4`>='15:00:00.000' AND `ITEM4`<'16:00:00.000' ) AND `ITEM4`>'15:00:00.000'",
       3, L"(`ITEM4`<'15:00:00.000' OR `ITEM4` IS NULL)", 1},
      {"time 1530", 4, L"1530",
       L" NOT (`ITEM4`>='15:30:00.000' AND `ITEM4`<'15:31:00.000' ) AND `ITEM4`>'15:30:00.000'", 3,
       L"(`ITEM4`<'15:30:00.000' OR `ITEM4` IS NULL)", 1},
      {"time as text 15", 5, L"15", L" NOT (`ITEM4` LIKE '15%' ) AND `ITEM4`>'15'", 2,
       L"(`ITEM4`<'15' OR `ITEM4` IS NULL)", 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pszName);
    INAItemDescription* pi = r.nItem == 1   ? date8
                             : r.nItem == 2 ? datetime
                             : r.nItem == 3 ? datetimeDesc
                                            : heure;
    m_pclCnx->bTime = r.nItem == 4 ? 1 : 0;
    const Written after = Continue(pi, r.pszPrefix, NA_PARSE_FIRST);
    const Written before = Continue(pi, r.pszPrefix, NA_PARSE_LAST);
    for (const Written* w : {&after, &before}) {
      EXPECT_TRUE(w->bResult);
      EXPECT_TRUE(w->bListsEqual);
      // The partial text itself never reaches a server that reads it as
      // an instant.
      EXPECT_EQ(std::wstring::npos, w->sText.find(L"0000-00-00"));
      if (r.nItem != 5) {
        EXPECT_EQ(std::wstring::npos, w->sText.find(std::wstring(L"'") + r.pszPrefix + L"'"));
      }
    }
    EXPECT_EQ(r.pszAfter, after.sText);
    EXPECT_EQ(r.nAfterParameters, after.nParameters);
    EXPECT_EQ(r.pszBefore, before.sText);
    EXPECT_EQ(r.nBeforeParameters, before.nParameters);
  }
}

// Complete values name one instant: the continuation compares with it as
// it stands, on both kinds of date.
TEST_F(condexpr_datecontinue, CompleteValuesCompareAsTheyStand) {
  struct Complete {
    const char* pszName;
    int nItem;
    const wchar_t* pszValue;
    const wchar_t* pszAfter;
    const wchar_t* pszBefore;
  };
  const std::vector<Complete> rows = {
      {"date", 1, L"20230227", L"`ITEM1`>'2023-02-27'", L"(`ITEM1`<'2023-02-27' OR `ITEM1` IS NULL)"},
      {"datetime", 2, L"20230227150405123", L"`ITEM2`>'2023-02-27 15:04:05.123'",
       L"(`ITEM2`<'2023-02-27 15:04:05.123' OR `ITEM2` IS NULL)"},
  };
  for (const Complete& r : rows) {
    SCOPED_TRACE(r.pszName);
    INAItemDescription* pi = r.nItem == 1 ? date8 : datetime;
    const CAny value = Wide(r.pszValue);
    ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), pi, &value, NA_PARSE_CURRENT, 1, 0));
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
    const Written after = Write();
    ASSERT_TRUE(m_pclSearch->bSetRecherche(m_pLayout->get(), pi, &value, NA_PARSE_CURRENT, 1, 0));
    ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_LAST));
    const Written before = Write();
    EXPECT_EQ(r.pszAfter, after.sText);
    EXPECT_EQ(r.pszBefore, before.sText);
    EXPECT_EQ(1, after.nParameters);
    EXPECT_EQ(1, before.nParameters);
    EXPECT_TRUE(after.bListsEqual);
    EXPECT_TRUE(before.bListsEqual);
  }
}

}  // namespace
