// Character classes, code page 1252, 7-bit text and UTF-8 lead bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "StrFunctions.h"

namespace {

TEST(StrCharClass, ClassesReadCharactersAsUnsigned) {
  for (int c = 0; c < 256; ++c) {
    const char a = static_cast<char>(c);
    const wchar_t w = static_cast<wchar_t>(c);
    const bool digit = c >= '0' && c <= '9';
    const bool punct = (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 95);
    EXPECT_EQ(bEstUnChiffreA(a), digit) << c;
    EXPECT_EQ(bEstUnChiffreW(w), digit) << c;
    EXPECT_EQ(bPonctuation(a), punct) << c;
    EXPECT_EQ(bPonctuation(w), punct) << c;
    EXPECT_EQ(bExtendedASCII(a), c > 127) << c;
    EXPECT_EQ(bUnprintable(a), c < 32) << c;
    EXPECT_EQ(bUnprintable(w), c < 32) << c;
    EXPECT_EQ(bMajusculeA(a), c >= 'A' && c <= 'Z') << c;
    EXPECT_EQ(bMinusculeW(w), c >= 'a' && c <= 'z') << c;
    EXPECT_EQ(STR_bIsANSI7(a), c < 128) << c;
  }
  EXPECT_TRUE(bPonctuation('_'));
  EXPECT_FALSE(bPonctuation('`'));
  EXPECT_FALSE(bPonctuation(L'~'));
  EXPECT_FALSE(bUnprintable(static_cast<wchar_t>(-1)));  // the all-ones end marker
  EXPECT_TRUE(bExtendedASCII(L'\u20ac'));
  EXPECT_EQ(nGetChiffre('7'), 7);
  EXPECT_EQ(nGetChiffre(L'0'), 0);
  EXPECT_TRUE(bEstUnNombreEntierNaturel(""));
  EXPECT_TRUE(bEstUnNombreEntierNaturel(L"0123"));
  EXPECT_FALSE(bEstUnNombreEntierNaturel("12a"));
  EXPECT_FALSE(bEstUnNombreEntierNaturel(L"-1"));
  EXPECT_TRUE(STR_bContainSpace(L"a b"));
  EXPECT_FALSE(STR_bContainSpace("a\tb"));
  EXPECT_TRUE(STR_bNeContientRienDeLisibleA(" \t\r\n"));
  EXPECT_TRUE(STR_bNeContientRienDeLisibleW(L""));
  EXPECT_FALSE(STR_bNeContientRienDeLisibleW(L" \v"));
}

TEST(StrCharClass, RtfDetection) {
  EXPECT_TRUE(bEstDuTexteRTF("{\\rtf1\\ansi}"));
  EXPECT_TRUE(bEstDuTexteRTF("{\\RTF{x"));
  EXPECT_TRUE(bEstDuTexteRTF(L"{\\Rtf1"));
  EXPECT_TRUE(bEstDuTexteRTFW(L"{\\rtf{"));
  EXPECT_FALSE(bEstDuTexteRTF("{\\rtf2"));
  EXPECT_FALSE(bEstDuTexteRTF("{\\rt"));  // stops at the NUL
  EXPECT_FALSE(bEstDuTexteRTF(" {\\rtf1"));
  EXPECT_FALSE(bEstDuTexteRTF(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(bEstDuTexteRTFW(nullptr));
}

TEST(StrCharClass, CodePage1252) {
  // Every assigned byte makes the round trip through its character.
  const unsigned char unassigned[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
  int assigned = 0;
  for (int b = 0; b < 256; ++b) {
    const wchar_t c = STR_FromCP1252(static_cast<unsigned char>(b));
    unsigned char back = 0;
    const bool isUnassigned =
        std::find(std::begin(unassigned), std::end(unassigned), b) != std::end(unassigned);
    if (isUnassigned) {
      EXPECT_EQ(c, static_cast<wchar_t>(b));
      EXPECT_FALSE(STR_bIsCp1252(c, &back)) << b;
    } else {
      ASSERT_TRUE(STR_bIsCp1252(c, &back)) << b;
      EXPECT_EQ(back, b);
      if (b >= 0x80 && b <= 0x9F) ++assigned;
    }
  }
  EXPECT_EQ(assigned, 27);
  unsigned char byte = 0;
  EXPECT_TRUE(STR_bIsCp1252(L'\u20ac', &byte));
  EXPECT_EQ(byte, 0x80);
  EXPECT_FALSE(STR_bIsCp1252(L'\u0081'));
  EXPECT_EQ(STR_FromCP1252(0x81), L'\u0081');
  EXPECT_FALSE(STR_bIsCp1252(L'\u0100'));
  EXPECT_FALSE(STR_bIsCp1252(static_cast<wchar_t>(-1)));
  EXPECT_TRUE(STR_bIsCp1252(L"caf\u00e9 \u20ac \u0153"));
  EXPECT_FALSE(STR_bIsCp1252(L"\u0391"));
  EXPECT_TRUE(STR_bIsCp1252(L""));

  int flag = 0;
  EXPECT_EQ(STR_ToCP1252(L'\u0153', '?', &flag), '\x9c');
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(STR_ToCP1252(L'\u0391', '?', &flag), '?');
  EXPECT_EQ(flag, 1);

  const char src[] = "a\x80\x81\xe9";
  wchar_t dst[8] = {};
  EXPECT_EQ(STR_CP1252ToWideChar(src, -1, nullptr, 0), 5);
  EXPECT_EQ(STR_CP1252ToWideChar(src, 3, nullptr, 0), 3);
  EXPECT_EQ(STR_CP1252ToWideChar(src, -1, dst, 8), 5);
  EXPECT_STREQ(dst, L"a\u20ac\u0081\u00e9");
  wchar_t small[2] = {L'#', L'#'};
  EXPECT_EQ(STR_CP1252ToWideChar(src, -1, small, 2), 2);
  EXPECT_EQ(small[1], L'\u20ac');
}

TEST(StrCharClass, SevenBitAndUtf8Leads) {
  EXPECT_TRUE(STR_bIsANSI7("abc~"));
  EXPECT_FALSE(STR_bIsANSI7("ab\xe9"));
  EXPECT_TRUE(STR_bIsANSI7("ab\xe9", 2));
  EXPECT_FALSE(STR_bIsANSI7(L"ab\u00e9", 3));
  EXPECT_TRUE(STR_bIsANSI7(L"ab\0\u00e9", 4));  // stops at the NUL
  EXPECT_TRUE(STR_bIsANSI7(static_cast<const char*>(nullptr)));
  EXPECT_EQ(STR_ToAnsi7(L'a', '?'), 'a');
  EXPECT_EQ(STR_ToAnsi7(L'\u00e9', '?'), '?');
  EXPECT_EQ(STR_FromAnsi7('a', L'?'), L'a');
  EXPECT_EQ(STR_FromAnsi7('\xe9', L'?'), L'?');

  struct {
    unsigned char lead;
    int bytes;
  } rows[] = {{0x00, 1}, {0x41, 1}, {0x7F, 1}, {0x80, 2}, {0xC3, 2}, {0xDF, 2}, {0xE0, 3},
              {0xE2, 3}, {0xEF, 3}, {0xF0, 4}, {0xF7, 4}, {0xF8, 5}, {0xFB, 5}, {0xFC, 6},
              {0xFD, 6}, {0xFE, 1}, {0xFF, 1}};
  for (const auto& row : rows) EXPECT_EQ(STR_nGetNbByteUTF8(row.lead), row.bytes) << +row.lead;
}

}  // namespace
