// The NULL selection a command answers for its columns (which the reader
// relies on to skip its NULL test): it is the selection of the condition
// the command holds now. A command emptied (ResetCommand, with or without
// its parameters) holds none, and a condition handed over replaces what an
// earlier one said, so a command written again by a search answers for its
// new condition, never for its first one.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CAny.h"
#include "CColumnNullValueExcluded.h"
#include "CNACommand.h"
#include "CNAExpression.h"
#include "CNARecherche.h"
#include "support/AnyValues.h"
#include "support/ConditionFixture.h"

namespace {

using kxtest::Ansi;
using kxtest::Int;
using kxtest::Written;

class sqlcommand_nullselection : public kxtest::SearchTest<CNARecherche> {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    i4 = m_pSource->pclAdd(NA_IT_I4, 4);        // ITEM0
    text = m_pSource->pclAdd(NA_IT_TEXTE, 21);  // ITEM1
    BuildSearch();
  }

  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* text = nullptr;
};

struct WriteStep {
  const char* pszName;
  std::function<void(CNARecherche*)> set;  // what the search becomes before it writes
  const wchar_t* pszWhere;
  int bIntNullSelected;   // ITEM0
  int bTextNullSelected;  // ITEM1
};

// One search writes into one command, step after step; each answer is that
// of the text written last.
TEST_F(sqlcommand_nullselection, CommandWrittenAgainAnswersForItsNewCondition) {
  const CAny five = Int(5);
  const CAny ab = Ansi("ab");
  CAny nul = Int(0);
  nul.SetNull(true);
  CNARecord* r = rec();
  INAItemDescription* piInt = i4;
  INAItemDescription* piText = text;
  const std::vector<WriteStep> steps = {
      {"int = 5", [&](CNARecherche* s) { ASSERT_TRUE(s->bSetRecherche(r, piInt, &five, NA_PARSE_CURRENT, 1, 0)); },
       L"`ITEM0`=5", 0, 1},
      // Before 5 takes the NULL rows in (NULL sorts first).
      {"before 5", [&](CNARecherche* s) { ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST)); },
       L"(`ITEM0`<5 OR `ITEM0` IS NULL)", 1, 1},
      {"back to int = 5", [&](CNARecherche* s) { ASSERT_TRUE(s->bSetContinueParcours(NA_PARSE_LAST)); },
       L"`ITEM0`=5", 0, 1},
      // Another column: ITEM0 no longer constrained at all.
      {"8-bit = 'ab'", [&](CNARecherche* s) { ASSERT_TRUE(s->bSetRecherche(r, piText, &ab, NA_PARSE_CURRENT, 1, 0)); },
       L"`ITEM1`='ab'", 1, 0},
      // Nothing written (a condition that holds for every row): nothing
      // left out.
      {"int >= NULL",
       [&](CNARecherche* s) {
         s->Desactivate();
         ASSERT_TRUE(s->bAddExpression(r, piInt, NA_OPERATOR_GE, &nul, 0, NA_OPERATOR_AND, 0));
       },
       L"", 1, 1},
      {"int = 5 again", [&](CNARecherche* s) { ASSERT_TRUE(s->bSetRecherche(r, piInt, &five, NA_PARSE_CURRENT, 1, 0)); },
       L"`ITEM0`=5", 0, 1},
      // A condition that holds for no row folds away and hands nothing
      // over: the earlier equality's answer does not stay.
      {"int < NULL",
       [&](CNARecherche* s) {
         s->Desactivate();
         ASSERT_TRUE(s->bAddExpression(r, piInt, NA_OPERATOR_LT, &nul, 0, NA_OPERATOR_AND, 0));
       },
       L"0=1", 1, 1},
  };
  for (const WriteStep& st : steps) {
    SCOPED_TRACE(st.pszName);
    st.set(m_pclSearch);
    if (HasFatalFailure()) return;
    const Written w = Write();
    EXPECT_TRUE(w.bResult);
    EXPECT_EQ(st.pszWhere, w.sText);
    EXPECT_TRUE(w.bListsEqual);
    EXPECT_EQ(st.bIntNullSelected, m_pclCommand->bColumnValuesNullSelected(col(i4)));
    EXPECT_EQ(st.bTextNullSelected, m_pclCommand->bColumnValuesNullSelected(col(text)));
  }
}

// The command's own operations: a set handed over replaces the one held, no
// set selects every column, and emptying the command forgets the selection
// whether it keeps its parameters or not.
TEST_F(sqlcommand_nullselection, HandOverReplacesAndResetForgets) {
  CColumnNullValueExcluded intOut;
  ASSERT_TRUE(intOut.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, col(i4), 0));
  CColumnNullValueExcluded textOut;
  ASSERT_TRUE(textOut.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, col(text), 0));
  ASSERT_TRUE(textOut.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, col(i4), 1));

  struct Step {
    const char* pszName;
    std::function<int()> act;
    int bInt;
    int bText;
  };
  const std::vector<Step> steps = {
      {"nothing handed over", [] { return 1; }, 1, 1},
      {"ITEM0 out", [&] { return m_pclCommand->bCopyColumnValuesNullSelected(&intOut); }, 0, 1},
      // The new set answers for ITEM0 too: selected there.
      {"replaced by ITEM1 out", [&] { return m_pclCommand->bCopyColumnValuesNullSelected(&textOut); }, 1, 0},
      {"no set", [&] { return m_pclCommand->bCopyColumnValuesNullSelected(nullptr); }, 1, 1},
      {"ITEM0 out again", [&] { return m_pclCommand->bCopyColumnValuesNullSelected(&intOut); }, 0, 1},
      {"emptied, parameters kept",
       [&] {
         m_pclCommand->ResetCommand(1);
         return 1;
       },
       1, 1},
      {"ITEM1 out", [&] { return m_pclCommand->bCopyColumnValuesNullSelected(&textOut); }, 1, 0},
      {"emptied",
       [&] {
         m_pclCommand->ResetCommand(0);
         return 1;
       },
       1, 1},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.pszName);
    EXPECT_TRUE(st.act());
    EXPECT_EQ(st.bInt, m_pclCommand->bColumnValuesNullSelected(col(i4)));
    EXPECT_EQ(st.bText, m_pclCommand->bColumnValuesNullSelected(col(text)));
  }
}

}  // namespace
