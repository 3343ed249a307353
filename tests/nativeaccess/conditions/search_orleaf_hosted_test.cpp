// Conditions added one by one where one holds for every row (a text >= '',
// a NULL bound with >=): it is neutral under AND, but under OR it makes the
// whole OR hold for every row, so x OR (always true) selects every row and
// writes no condition, in the equality tree and in the continuation trees
// alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAExpression.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Ansi;
using kxtest::Int;
using kxtest::Wide;
using kxtest::Written;

class search_orleaf : public kxtest::SearchTest<CNARecherche> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);             // ITEM0
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);       // ITEM1
    unicode = m_pSource->pclAdd(NA_IT_UNICODE, 42);  // ITEM2
    BuildSearch();
  }

 public:  // the case tables name the items as members
  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* unicode = nullptr;
};

struct Added {
  CNAItemDescription* search_orleaf::*item;
  eNAOperator op;
  CAny value;
  eNAOperator join;  // with what was added before
};

struct OrLeafCase {
  const char* pszName;
  std::vector<Added> leaves;
  const wchar_t* pszWhere;  // the equality tree, then the after tree
  int nParameters;
  int bInt0NullSelected;  // the command's answer for ITEM0's column
};

TEST_F(search_orleaf, AlwaysTrueOperandUnderAndAndOr) {
  using S = search_orleaf;
  CAny nul = Int(0);
  nul.SetNull(true);
  const std::vector<OrLeafCase> cases = {
      {"int = 5 OR 8-bit >= ''",
       {{&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND}, {&S::text, NA_OPERATOR_GE, Ansi(""), NA_OPERATOR_OR}},
       L"", 0, 1},
      {"8-bit >= '' OR int = 5",
       {{&S::text, NA_OPERATOR_GE, Ansi(""), NA_OPERATOR_AND}, {&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_OR}},
       L"", 0, 1},
      {"int = 5 OR wide >= ''",
       {{&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND}, {&S::unicode, NA_OPERATOR_GE, Wide(L""), NA_OPERATOR_OR}},
       L"", 0, 1},
      // A NULL bound is no bound: >= NULL holds for every row.
      {"int = 5 OR int >= NULL",
       {{&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND}, {&S::i4, NA_OPERATOR_GE, nul, NA_OPERATOR_OR}}, L"", 0,
       1},
      // Under AND the operand is neutral: the other one alone.
      {"int = 5 AND 8-bit >= ''",
       {{&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND}, {&S::text, NA_OPERATOR_GE, Ansi(""), NA_OPERATOR_AND}},
       L"`ITEM0`=5", 1, 0},
      {"8-bit >= '' AND int = 5",
       {{&S::text, NA_OPERATOR_GE, Ansi(""), NA_OPERATOR_AND}, {&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND}},
       L"`ITEM0`=5", 1, 0},
      // (int = 5 OR always true) AND 8-bit = 'ab': the AND's right operand
      // alone.
      {"(int = 5 OR 8-bit >= '') AND 8-bit = 'ab'",
       {{&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND},
        {&S::text, NA_OPERATOR_GE, Ansi(""), NA_OPERATOR_OR},
        {&S::text, NA_OPERATOR_EQ, Ansi("ab"), NA_OPERATOR_AND}},
       L"`ITEM1`='ab'", 1, 1},
      // (int = 5 AND always true) OR 8-bit = 'ab': the AND is its left part.
      {"(int = 5 AND 8-bit >= '') OR 8-bit = 'ab'",
       {{&S::i4, NA_OPERATOR_EQ, Int(5), NA_OPERATOR_AND},
        {&S::text, NA_OPERATOR_GE, Ansi(""), NA_OPERATOR_AND},
        {&S::text, NA_OPERATOR_EQ, Ansi("ab"), NA_OPERATOR_OR}},
       L"`ITEM0`=5 OR `ITEM1`='ab'", 2, 1},
  };
  for (const OrLeafCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_pclSearch->Desactivate();
    for (const Added& a : c.leaves)
      ASSERT_TRUE(m_pclSearch->bAddExpression(rec(), this->*a.item, a.op, &a.value, 0, a.join, 0));
    // The equality tree, then the after tree: the same condition.
    for (int bAfter = 0; bAfter < 2; ++bAfter) {
      SCOPED_TRACE(bAfter ? "after tree" : "equality tree");
      if (bAfter) {
        ASSERT_TRUE(m_pclSearch->bSetContinueParcours(NA_PARSE_FIRST));
      }
      const Written w = Write();
      EXPECT_TRUE(w.bResult);
      EXPECT_EQ(c.pszWhere, w.sText);
      EXPECT_EQ(c.nParameters, w.nParameters);
      EXPECT_TRUE(w.bListsEqual);
      EXPECT_EQ(c.bInt0NullSelected, m_pclCommand->bColumnValuesNullSelected(col(i4)));
    }
  }
}

}  // namespace
