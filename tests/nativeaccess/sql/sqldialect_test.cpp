// The dialect's text rules that need no value: the clause scanner (strings
// and quoted names passed over, "." and the text's ends around quoted
// names), the self-limiting SELECT, the end-of-text test, the name reader,
// the SET recogniser and the function renaming table.
#include <gtest/gtest.h>

#include "CNACommand.h"
#include "CTString.h"
#include "support/TestConnection.h"

namespace {

using kxtest::TestConnection;

struct ClauseCase {
  const wchar_t* pszText;
  const wchar_t* pszKeyword;
  long nStart;
  long nExpected;
};

TEST(sqldialect, ClauseScannerFindsOnlyRealClauses) {
  TestConnection clCnx;  // kind 5: backquoted names
  const ClauseCase aCases[] = {
      {L"SELECT a FROM t LIMIT 5", L"LIMIT", -1, 16},
      {L"select a from t limit 5", L"LIMIT", -1, 16},
      {L"SELECT a FROM t WHERE t.`a` = 1", L"FROM", -1, 9},
      {L"SELECT a FROM t WHERE `t`.`a` = 1 LIMIT 2", L"LIMIT", -1, 34},
      {L"SELECT 'x LIMIT 1' FROM t", L"LIMIT", -1, -1},
      {L"SELECT 'it''s LIMIT 1' FROM t", L"LIMIT", -1, -1},
      {L"SELECT 'it\\'s LIMIT 1' FROM t", L"LIMIT", -1, -1},
      {L"SELECT a FROM `x LIMIT 1`", L"LIMIT", -1, -1},
      {L"SELECT a FROM \"x LIMIT 1\"", L"LIMIT", -1, -1},
      {L"SELECT a FROM `x LIMIT 1`.b", L"LIMIT", -1, -1},
      {L"SELECT a FROM `a``b LIMIT 1` LIMIT 3", L"LIMIT", -1, 29},
      {L"LIMIT 1 FROM t", L"LIMIT", -1, -1},  // position 0 is never a clause
      {L"SELECT XLIMIT 1", L"LIMIT", -1, -1},
      {L"SELECT LIMITS 1", L"LIMIT", -1, -1},
      {L"SELECT a FROM t LIMIT 5", L"LIMIT", 10, -1},  // before the start position
      {L"", L"LIMIT", -1, -1},
  };
  for (const ClauseCase& c : aCases)
    EXPECT_EQ(c.nExpected, CNACommand::s_nGetClauseStart(&clCnx, c.pszText, c.pszKeyword, c.nStart)) << c.pszText;
}

TEST(sqldialect, SelfLimitingSelect) {
  TestConnection clCnx;
  const struct {
    const wchar_t* psz;
    int bLimited;
  } aCases[] = {
      {L"SELECT a FROM t LIMIT 10", 1},
      {L"select top 10 a from t", 1},
      {L"SELECT   TOP\t5 a", 1},
      {L"SELECT TOPx a FROM t", 0},
      {L" SELECT a FROM t LIMIT 1", 0},
      {L"SELECT a FROM t WHERE b='LIMIT 1'", 0},
      {L"SELECT a FROM `x LIMIT 1`", 0},
      {L"UPDATE t SET a=1 LIMIT 1", 0},
  };
  for (const auto& c : aCases) EXPECT_EQ(c.bLimited, CNACommand::s_bQueryResultsetLimited(&clCnx, c.psz)) << c.psz;
}

TEST(sqldialect, EndsWithWord) {
  EXPECT_TRUE(CNACommand::s_bRequeteTerminePar(L"SELECT a LIMIT 0", L"LIMIT 0"));
  EXPECT_TRUE(CNACommand::s_bRequeteTerminePar(L"SELECT a limit 0  \n", L"LIMIT 0"));
  EXPECT_FALSE(CNACommand::s_bRequeteTerminePar(L"SELECT a XLIMIT 0", L"LIMIT 0"));
  EXPECT_FALSE(CNACommand::s_bRequeteTerminePar(L"LIMIT 0", L"LIMIT 0"));
  EXPECT_FALSE(CNACommand::s_bRequeteTerminePar(L"SELECT a LIMIT 10", L"LIMIT 0"));
}

TEST(sqldialect, NameReaderStopsAtTheEnd) {
  CTString cs;
  unsigned long nStart = 0;
  unsigned long nStop = 0;
  ASSERT_TRUE(CNACommand::s_bGetItemNameAndPos(&cs, &nStart, &nStop, L"AS  name, b", 2));
  EXPECT_STREQ(L"name", cs.pszGet());
  EXPECT_EQ(4u, nStart);
  EXPECT_EQ(7u, nStop);
  ASSERT_TRUE(CNACommand::s_bGetItemNameAndPos(&cs, &nStart, &nStop, L" [my name] x", 0));
  EXPECT_STREQ(L"my name", cs.pszGet());
  // A missing closing delimiter: the name runs to the end of the text.
  ASSERT_TRUE(CNACommand::s_bGetItemNameAndPos(&cs, &nStart, &nStop, L" \"open", 0));
  EXPECT_STREQ(L"open", cs.pszGet());
  EXPECT_EQ(5u, nStop);
  EXPECT_FALSE(CNACommand::s_bGetItemNameAndPos(&cs, &nStart, &nStop, L"  ,  ", 0));
  EXPECT_FALSE(CNACommand::s_bGetItemNameAndPos(&cs, &nStart, &nStop, L"ab", 9));
}

TEST(sqldialect, SetStatementRecogniser) {
  const struct {
    const wchar_t* psz;
    int bSet;
  } aCases[] = {
      {L"SET NAMES utf8mb4", 1},      {L"  set @a = 5 ;", 1}, {L"SET @a=5", 1},
      {L"SET a = 5, b = 6", 0},       {L"SETTING a 5", 0},    {L"SELECT 1", 0},
      {L"SET a", 0},                  {L"", 0},
  };
  for (const auto& c : aCases) EXPECT_EQ(c.bSet, CNACommand::s_bIsQuerySet(c.psz)) << c.psz;
}

TEST(sqldialect, FollowingTextBeginsWith) {
  EXPECT_EQ(2, CNACommand::s_nGetPosSuiteRequete(L" \tescape '!'", L"ESCAPE"));
  EXPECT_TRUE(CNACommand::s_bSuiteRequeteCommenceParMot(L" ESCAPE '!'", L"ESCAPE"));
  EXPECT_FALSE(CNACommand::s_bSuiteRequeteCommenceParMot(L" ESCAPED", L"ESCAPE"));
  EXPECT_EQ(-1, CNACommand::s_nGetPosSuiteRequete(L"x ESCAPE", L"ESCAPE"));
}

TEST(sqldialect, FunctionRenamingTable) {
  const struct {
    int nOp;
    int nKind;
    const wchar_t* pszName;
  } aCases[] = {
      {7, 11, L"NVL"},        {44, 7, L"SYSIBM.SUBSTR"}, {54, 2, L"LEN"},     {54, 4, L"CHAR_LENGTH"},
      {92, 11, L"SUBSTR(HEX"}, {72, 1, L"CEIL"},          {55, 13, L"LENGTH"}, {44, 5, nullptr},
      {54, 5, nullptr},       {7, 1, nullptr},           {999, 1, nullptr},
  };
  for (const auto& c : aCases) {
    const wchar_t* psz = CNACommand::s_pszRenameFunction(c.nOp, c.nKind);
    if (c.pszName == nullptr)
      EXPECT_EQ(nullptr, psz) << c.nOp << "/" << c.nKind;
    else
      EXPECT_STREQ(c.pszName, psz) << c.nOp << "/" << c.nKind;
  }
  // Kind 5 renames nothing.
  for (int nOp = 0; nOp < 120; ++nOp) EXPECT_EQ(nullptr, CNACommand::s_pszRenameFunction(nOp, 5)) << nOp;
}

}  // namespace
