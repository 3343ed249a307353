// Continuing a browse by a composite key whose leading components form a
// unique key that may hold NULL. Rows such as (NULL, 'x') may repeat in
// such a key, so the comparison of the later components (and of the
// record's unique key) may be left out only when the browse has kept every
// component of the unique key from NULL; left out too early, the rows that
// share the NULL-holding prefix with the current row are lost.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNACommand.h"
#include "CNAParameter.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Ansi;
using kxtest::Int;

// pk (ITEM0, unique, not NULL), a (ITEM1, an integer that may be NULL),
// b (ITEM2, 8-bit text), c (ITEM3), the browse key k = (a, b, c) with
// duplicates and the unique key ab = (a, b), which may be NULL.
class search_uniquekeynull : public kxtest::SearchTest<CNARecherche> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    pk = m_pSource->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
    pk->SetNullable(0);
    a = m_pSource->pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_DUPLICATES);
    b = m_pSource->pclAdd(NA_IT_TEXTE, 11);
    c = m_pSource->pclAdd(NA_IT_I4, 4);
    k = kxtest::pclAddComposite(m_pSource.get(), {a, b, c}, CNAItemDescription::KEY_DUPLICATES);
    kxtest::pclAddComposite(m_pSource.get(), {a, b}, CNAItemDescription::KEY_UNIQUE);
    BuildSearch();
  }

  // The condition of the search continued from the current record in
  // `direction`.
  std::wstring Continued(eNA_PARSEDIRECTION direction) {
    EXPECT_TRUE(m_pclSearch->bRechercheEnreg(m_pLayout->get(), k, NA_PARSE_NEXT, 0, nullptr));
    EXPECT_TRUE(m_pclSearch->bSetContinueParcours(direction));
    EXPECT_TRUE(m_pclSearch->bGetSQL(m_pclCommand, nullptr, m_pLayout->get()));
    EXPECT_EQ(m_pclCommand->nGetParameterNbr(), m_pclSearch->nGetNbParameter());
    const wchar_t* psz = m_pclCommand->pszGetFormatedSQL(PARAMTYPECONV_ALL);
    return psz != nullptr ? psz : L"";
  }

  CNAItemDescription* pk = nullptr;
  CNAItemDescription* a = nullptr;
  CNAItemDescription* b = nullptr;
  CNAItemDescription* c = nullptr;
  CNAItemDescription* k = nullptr;
};

TEST_F(search_uniquekeynull, ContinuingPastARowWithANullComponent) {
  struct Row {
    const char* pszName;
    bool bNullA;  // a is NULL in the current row, else 1
    eNA_PARSEDIRECTION direction;
    const wchar_t* pszText;
  };
  const std::vector<Row> rows = {
      // (NULL, 'x') names no single row: after it come its other rows with
      // a later c, then by pk.
      {"after (NULL, 'x', 3)", true, NA_PARSE_FIRST,
       L"`ITEM1` IS NOT NULL OR `ITEM1` IS NULL AND (`ITEM2`>'x' OR `ITEM2`='x' AND (`ITEM3`>3 OR `ITEM3`=3 AND "
       L"`ITEM0`>42 ))"},
      // With a value in every component of the unique key, (1, 'x') is
      // the row: b > 'x' alone ends the comparison.
      {"after (1, 'x', 3)", false, NA_PARSE_FIRST, L"`ITEM1`>1 OR `ITEM1`=1 AND `ITEM2`>'x'"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pszName);
    CAny one = Int(1);
    if (r.bNullA) {
      col(a)->bSetValueNULL();
    } else {
      ASSERT_TRUE(col(a)->bSetValue(&one, 0));
    }
    CAny x = Ansi("x");
    CAny three = Int(3);
    CAny key = Int(42);
    ASSERT_TRUE(col(b)->bSetValue(&x, 0));
    ASSERT_TRUE(col(c)->bSetValue(&three, 0));
    ASSERT_TRUE(col(pk)->bSetValue(&key, 0));
    EXPECT_EQ(r.pszText, Continued(r.direction));
  }
}

}  // namespace
