// What the string functions hand to the locale (slot, LCID, flags) and how
// they use its answers.

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "support/RecordingLocale.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

constexpr unsigned kCurrent = 0x409;  // the recording locale's current LCID

class StrLocale : public ::testing::Test {
 protected:
  CRecordingLocale m_clLocale;
  CInstalledLocale m_clInstalled{&m_clLocale};
};

struct stCompareRow {
  const char* pszName;
  std::function<int()> fnCall;
  int nSlot;
  unsigned nLCID;
  unsigned nFlags;
};

// Every comparison: one locale call on the expected slot with the expected
// LCID and flags, and the answers 0 / 1 / anything else read as 0 / 1 / -1.
TEST_F(StrLocale, ComparisonsCallTheExpectedSlotAndMapTheAnswer) {
  const std::vector<stCompareRow> rows = {
      {"CompareW", [] { return STR_nCompareW(L"a", L"b", 0); }, 6, 0x400, 0},
      {"CompareW current", [] { return STR_nCompareW(L"a", L"b", 0x10000001); }, 8, 0, 1},
      {"CompareA", [] { return STR_nCompareA("a", "b", 0); }, 5, 0x400, 0x40000000},
      {"CompareA current", [] { return STR_nCompareA("a", "b", 0x10000002); }, 7, 0, 0x40000002},
      {"UpCompareW", [] { return STR_nUpCompareW(L"a", L"b", 2); }, 6, 0x400, 3},
      {"UpCompareW keeps 1", [] { return STR_nUpCompareW(L"a", L"b", 1); }, 6, 0x400, 1},
      {"UpCompareA", [] { return STR_nUpCompareA("a", "b", 0); }, 5, 0x400, 0x40000001},
      {"AcCompare", [] { return STR_nAcCompare(L"a", L"b", 1); }, 6, 0x400, 3},
      {"NullCompare", [] { return STR_nNullCompare(L"a", L"b", 0); }, 6, 0x400, 0},
      {"EmptyNullCompare", [] { return STR_nEmptyNullCompare(L"a", L"b", 0); }, 6, 0x400, 0},
      {"NCompareW", [] { return STR_nNCompare(L"ab", L"ac", 5, 0); }, 6, 0x40C, 0},
      {"NCompareW current", [] { return STR_nNCompare(L"ab", L"ac", 5, 0x10000001); }, 6,
       kCurrent, 1},
      {"NCompareA", [] { return STR_nNCompare("ab", "ac", 5, 2); }, 5, 0x40C, 2},
      {"NCompareA current", [] { return STR_nNCompare("ab", "ac", 5, 0x10000000); }, 5,
       kCurrent, 0},
      {"NullNCompare", [] { return STR_nNullNCompare(L"a", L"b", 1, 0); }, 6, 0x40C, 0},
      {"CharLexicoA", [] { return STR_nCompareCharLexicoA('a', 'b', 1); }, 5, 0x40C, 0x20000001},
      {"CharLexicoA current", [] { return STR_nCompareCharLexicoA('a', 'b', 0x10000000); }, 5,
       kCurrent, 0x20000000},
      {"CharLexicoW", [] { return STR_nCompareCharLexicoW(L'a', L'b', 0); }, 6, 0x400,
       0x20000000},
      {"CharLexicoW current", [] { return STR_nCompareCharLexicoW(L'a', L'b', 0x10000000); }, 6,
       kCurrent, 0x20000000},
      {"StringLexicoW", [] { return STR_nCompareStringLexicoW(L"ab", 2, L"ac", 2, 2); }, 6,
       0x400, 0x20000002},
      {"StringLexicoW current",
       [] { return STR_nCompareStringLexicoW(L"ab", -1, L"ac", -1, 0x10000000); }, 6, kCurrent,
       0x20000000},
      {"CharSoupleA", [] { return STR_nCompareCharSoupleA('a', 'b'); }, 5, 0x40C, 3},
      {"CharSoupleW", [] { return STR_nCompareCharSoupleW(L'a', L'b'); }, 6, 0x400, 3},
      {"Numeric lexical run",
       [] { return STR_nCompareRespecteNumeriqueW(L"ab", -1, L"ac", -1, 0x20000000); }, 6, 0x400,
       0x20000000},
      {"Numeric lexical char", [] { return STR_nCompareRespecteNumeriqueA("a", -1, "b", -1, 0x20000000); },
       6, 0x400, 0x20000000},
      {"ChaineCompareW lexical", [] { return STR_ChaineCompareW(L"ab", -1, L"ac", -1, 0x8); }, 6,
       kCurrent, 0x20000000},
      {"ChaineCompareW lexical bit 31",
       [] { return STR_ChaineCompareW(L"ab", -1, L"ac", -1, 0x80000008u); }, 6, kCurrent,
       0xA0000000u},
      {"ChaineCompareW lexical numeric",
       [] { return STR_ChaineCompareW(L"ab", -1, L"ac", -1, 0x88); }, 6, kCurrent, 0x20000000},
      {"ChaineCompareA lexical", [] { return STR_ChaineCompareA("a", -1, "b", -1, 0x8); }, 5,
       kCurrent, 0x20000000},
  };
  const int answers[] = {0, 1, 2, -1, 7};
  const int expected[] = {0, 1, -1, -1, -1};
  for (const stCompareRow& row : rows) {
    for (int i = 0; i < 5; ++i) {
      m_clLocale.m_tabCalls.clear();
      m_clLocale.m_nForcedCompare = answers[i];
      EXPECT_EQ(row.fnCall(), expected[i]) << row.pszName << ", answer " << answers[i];
      const std::vector<stLocaleCall> calls = m_clLocale.TextCalls();
      ASSERT_EQ(calls.size(), 1u) << row.pszName;
      EXPECT_EQ(calls[0].nSlot, row.nSlot) << row.pszName;
      EXPECT_EQ(calls[0].nLCID, row.nLCID) << row.pszName;
      EXPECT_EQ(calls[0].nFlags, row.nFlags) << row.pszName;
    }
  }
}

struct stMapRow {
  const char* pszName;
  std::function<void()> fnCall;
  int nSlot;
  unsigned nLCID;
  unsigned nFlags;
};

// Every map, sort key and case conversion: each locale call carries the
// expected slot, LCID and flags.
TEST_F(StrLocale, MapsCallTheExpectedSlot) {
  const std::vector<stMapRow> rows = {
      {"MapStringEx W",
       [] {
         wchar_t out[8];
         STR_nMapStringEx(1, out, 8, L"abc", -1);
       },
       12, 0x40C, 1},
      {"MapStringEx A current",
       [] {
         char out[8];
         STR_nMapStringEx(0x10000004, out, 8, "abc", -1);
       },
       11, kCurrent, 4},
      {"GetMapStringLenEx", [] { STR_nGetMapStringLenEx(0x100, L"abc", -1); }, 12, 0x40C, 0x100},
      {"MapCharEx", [] {
         wchar_t c;
         STR_nMapCharEx(2, &c, L'a');
       }, 12, 0x40C, 2},
      {"MapCharExANSI", [] {
         char c;
         STR_nMapCharExANSI(1, &c, 'a');
       }, 11, 0x40C, 1},
      {"MapCharIgnoreCaseAccent", [] {
         wchar_t c;
         STR_nMapCharIgnoreCaseAccent(&c, L'a');
       }, 12, 0x40C, 3},
      {"WhiteCharOrPunctW", [] { STR_bWhiteCharOrPunctW(L'a'); }, 12, 0x40C, 4},
      {"WhiteCharOrPunctA", [] { STR_bWhiteCharOrPunctA('a'); }, 11, 0x40C, 4},
      {"ToUpper A", [] {
         char text[] = "ab";
         STR_ToUpper(text);
       }, 11, 0x400, 1},
      {"ToLower A", [] {
         char text[] = "AB";
         STR_ToLowerBuff(text, 2);
       }, 11, 0x400, 0x100},
      {"ToUpper W", [] {
         wchar_t text[] = L"ab";
         STR_ToUpper(text);
       }, 14, 0, 1},
      {"ToLower W", [] {
         wchar_t text[] = L"AB";
         STR_ToLower(text);
       }, 14, 0, 0x100},
      {"CreateStandard", [] { STR_Delete(STR_pszCreateStandard(L"abc")); }, 12, 0x40C, 3},
      {"UpStrstr", [] { STR_pszUpStrstr(L"abc", L"B"); }, 12, 0x40C, 1},
      {"SortEx", [] {
         unsigned char key[8];
         STR_MapStringSortEx(key, 8, "abc", 3, 0);
       }, 9, 0x40C, 0},
      {"SortEx current", [] {
         unsigned char key[8];
         STR_MapStringSortEx(key, 8, "abc", 3, 1);
       }, 9, kCurrent, 0},
      {"MapStringEx_Charset W", [] {
         wchar_t out[8];
         STR_nMapStringEx_Charset(204, 3, out, 8, L"abc", 3);
       }, 12, 0x419, 3},
      {"MapStringEx_Charset A", [] {
         char out[8];
         STR_nMapStringEx_Charset(128, 1, out, 8, "abc", 3);
       }, 11, 0x11, 1},
      {"MapStringSortEx_Charset", [] {
         unsigned char key[8];
         STR_MapStringSortEx_Charset(134, key, 8, "abc", 3);
       }, 9, 0x804, 0},
      {"PrepareChaineW", [] {
         wchar_t out[8];
         STR_PrepareChaineW(0x16, L"a b", -1, out, 8);
       }, 14, 0, 0x7},
      {"PrepareChaineA", [] {
         char out[8];
         STR_PrepareChaineA(0x140, "a b", -1, out, 8);
       }, 13, 0, 0x900},
  };
  for (const stMapRow& row : rows) {
    m_clLocale.m_tabCalls.clear();
    row.fnCall();
    const std::vector<stLocaleCall> calls = m_clLocale.TextCalls();
    ASSERT_FALSE(calls.empty()) << row.pszName;
    for (const stLocaleCall& call : calls) {
      EXPECT_EQ(call.nSlot, row.nSlot) << row.pszName;
      EXPECT_EQ(call.nLCID, row.nLCID) << row.pszName;
      EXPECT_EQ(call.nFlags, row.nFlags) << row.pszName;
    }
  }
}

TEST_F(StrLocale, CaseConversionsGoOneCharacterAtATime) {
  wchar_t wide[] = L"aB1";
  STR_ToUpper(wide);
  EXPECT_STREQ(wide, L"AB1");
  EXPECT_EQ(m_clLocale.TextCalls().size(), 3u);
  char narrow[] = "Ab\0c";
  STR_ToLowerBuff(narrow, 4);  // the length given covers the NUL inside
  EXPECT_EQ(std::memcmp(narrow, "ab\0c", 4), 0);
  // A character the locale maps to nothing (flag 4 is not asked here, so use
  // a filling locale answering 0) stays as it was.
  m_clLocale.m_bFillDestination = true;
  m_clLocale.m_nFillAnswer = -1;
  wchar_t kept[] = L"xy";
  STR_ToUpper(kept);
  EXPECT_STREQ(kept, L"xy");
}

// Comparison texts and lengths as the locale sees them.
TEST_F(StrLocale, ComparisonsHandOverBoundedTextsAndNullsAsEmpty) {
  // Only the first n units, found without reading past n: neither side ends.
  wchar_t* a = static_cast<wchar_t*>(XMALLOC_pNew_(3 * sizeof(wchar_t)));
  wchar_t* b = static_cast<wchar_t*>(XMALLOC_pNew_(3 * sizeof(wchar_t)));
  std::wmemcpy(a, L"abc", 3);
  std::wmemcpy(b, L"abd", 3);
  EXPECT_EQ(STR_nNCompare(a, b, 2, 0), 0);
  EXPECT_EQ(STR_nNCompare(a, b, 3, 0), -1);
  ASSERT_EQ(m_clLocale.TextCalls().size(), 2u);
  EXPECT_EQ(m_clLocale.TextCalls()[0].nLen1, 2);
  EXPECT_EQ(m_clLocale.TextCalls()[0].sText2, L"ab");
  XMALLOC_Del_(a);
  XMALLOC_Del_(b);

  m_clLocale.m_tabCalls.clear();
  EXPECT_EQ(STR_nNCompare(L"ab", static_cast<const wchar_t*>(nullptr), 5, 0), 1);
  EXPECT_EQ(m_clLocale.TextCalls()[0].nLen2, 0);

  // STR_nEmptyNullCompare: a null first text is empty, also for the locale.
  struct {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
    bool asksLocale;
  } rows[] = {
      {nullptr, nullptr, 0, false}, {nullptr, L"", 0, false}, {L"x", nullptr, 1, false},
      {L"", nullptr, 0, false},     {nullptr, L"x", -1, true}, {L"x", L"x", 0, true},
  };
  for (const auto& row : rows) {
    m_clLocale.m_tabCalls.clear();
    EXPECT_EQ(STR_nEmptyNullCompare(row.a, row.b, 0), row.expected);
    ASSERT_EQ(m_clLocale.TextCalls().size(), row.asksLocale ? 1u : 0u);
    if (row.asksLocale) {
      EXPECT_NE(m_clLocale.TextCalls()[0].sText1, L"<null>");
    }
  }
  EXPECT_EQ(STR_nNullCompare(nullptr, L"", 0), -1);
  EXPECT_EQ(STR_nNullCompare(L"", nullptr, 0), 1);
  EXPECT_EQ(STR_nNullCompare(nullptr, nullptr, 0), 0);

  EXPECT_TRUE(STR_bDebut(L"ab", L"ABC"));
  EXPECT_FALSE(STR_bDebut(L"abcd", L"abc"));
  EXPECT_FALSE(STR_bDebut(L"ax", L"abc"));
}

// Whatever the locale writes, the text ends inside the destination, and a
// size of 0 writes nothing.
TEST_F(StrLocale, MappedOutputIsTerminatedInsideTheDestination) {
  m_clLocale.m_bFillDestination = true;
  for (int answer : {0, 1, 1000}) {  // 0: the size itself
    m_clLocale.m_nFillAnswer = answer;
    wchar_t* wide = static_cast<wchar_t*>(XMALLOC_pNew_(4 * sizeof(wchar_t)));
    const int n = STR_nMapStringEx(1, wide, 4, L"abcdef", -1);
    const int expected = answer == 1 ? 1 : 3;
    EXPECT_EQ(n, expected) << answer;
    EXPECT_EQ(wide[expected], L'\0') << answer;
    XMALLOC_Del_(wide);

    char* narrow = static_cast<char*>(XMALLOC_pNew_(4));
    EXPECT_EQ(STR_nMapStringEx(1, narrow, 4, "abcdef", -1), expected);
    EXPECT_EQ(narrow[expected], '\0');
    XMALLOC_Del_(narrow);

    wchar_t* prepared = static_cast<wchar_t*>(XMALLOC_pNew_(3 * sizeof(wchar_t)));
    EXPECT_EQ(STR_PrepareChaineW(0x10, L"abcdef", -1, prepared, 3), answer == 1 ? 1 : 2);
    EXPECT_EQ(prepared[answer == 1 ? 1 : 2], L'\0');
    XMALLOC_Del_(prepared);

    wchar_t c = 0;
    STR_nMapCharEx(1, &c, L'a');
    EXPECT_EQ(c, L'Z');
  }

  // Length query: dstSize 0 writes nothing and answers the units needed.
  m_clLocale.m_bFillDestination = false;
  wchar_t untouched[2] = {L'#', L'#'};
  EXPECT_EQ(STR_nMapStringEx(1, untouched, 0, L"a,b c", -1), 5);
  EXPECT_EQ(untouched[0], L'#');
  EXPECT_EQ(STR_nGetMapStringLenEx(4, L"a,b c", -1), 4);  // "abc" and the NUL

  wchar_t* created = nullptr;
  EXPECT_EQ(STR_nCreateMapString(5, &created, L"a, b-c"), 3);
  ASSERT_NE(created, nullptr);
  EXPECT_STREQ(created, L"ABC");
  STR_Delete(created);
}

// Sizing and mapping of a new mapped string use one LCID, even when the
// current one changes between two questions.
TEST_F(StrLocale, CreateMapStringSizesAndMapsWithOneLCID) {
  m_clLocale.m_nLCIDStep = 1;
  wchar_t* wide = nullptr;
  EXPECT_EQ(STR_nCreateMapString(0x10000001, &wide, L"abc"), 3);
  EXPECT_STREQ(wide, L"ABC");
  STR_Delete(wide);
  char* narrow = nullptr;
  EXPECT_EQ(STR_nCreateMapString(0x10000100, &narrow, "ABC"), 3);
  EXPECT_STREQ(narrow, "abc");
  STR_Delete(narrow);
  const std::vector<stLocaleCall> calls = m_clLocale.TextCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_TRUE(calls[0].bNullDestination);
  EXPECT_EQ(calls[0].nLCID, calls[1].nLCID);
  EXPECT_EQ(calls[2].nLCID, calls[3].nLCID);
  EXPECT_EQ(calls[0].nFlags, 1u);
}

TEST_F(StrLocale, CurrentInformation) {
  m_clLocale.m_nCharset = 127;
  m_clLocale.m_nCodePage = 1251;
  EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
  EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 127);
  m_clLocale.m_nCharset = 204;
  EXPECT_EQ(STR_nGetCurrentChangeCharset(), 204);
  EXPECT_EQ(STR_nGetCurrentCodePage(), 1251);
  EXPECT_EQ(STR_nGetCurrentLCID(), kCurrent);
  EXPECT_EQ(STR_nGetSafeCurrentLCID(), 0x40Cu);
  EXPECT_EQ(STR_piGetInfoLocale(), &m_clLocale);
}

// Without a locale from the runtime the built-in one answers, but the current
// code page stays 0.
TEST(StrLocaleBuiltin, FallsBackWithoutARuntimeLocale) {
  CInstalledLocale none(nullptr);
  ASSERT_NE(STR_piGetInfoLocale(), nullptr);
  EXPECT_EQ(STR_nGetCurrentCodePage(), 0);
  EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
  EXPECT_EQ(STR_nCompareW(L"Connexion", L"CONNEXION", 3), 0);
  EXPECT_EQ(STR_nCompareW(L"abc", L"abd", 0), -1);
  wchar_t text[] = L"\u00e9t\u00e9";
  STR_ToUpper(text);
  EXPECT_STREQ(text, L"\u00c9T\u00c9");
}

}  // namespace
