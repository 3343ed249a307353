// The comparisons that decide by themselves: numeric-aware, language options,
// the fast 8-bit one.

#include <gtest/gtest.h>

#include <string>

#include "CInformationDLL.h"
#include "Latin1Tables.h"
#include "StrFunctions.h"

namespace {

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) out += static_cast<char>(*text);
  return out;
}

TEST(StrCompare, NumericAwareComparison) {
  struct {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
  } rows[] = {
      {L"file10", L"file9", 1},  {L"file9", L"file10", -1}, {L"a01", L"a1", -1},
      {L"a1", L"a01", 1},        {L"a1", L"a1", 0},         {L"007", L"7", -1},
      {L"x2y", L"x10y", -1},     {L"a01b", L"a1c", -1},     {L"a01c", L"a1b", 1},
      {L"a", L"a1", -1},         {L"a1", L"a", 1},          {L"", L"", 0},
      {L"abc", L"abd", -1},      {L"ab", L"abc", -1},       {L"1a", L"a1", -1},
      {L"0010", L"09", 1},       {L"10", L"010", 1},        {L"a0", L"a00", 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(row.a, -1, row.b, -1, 0), row.expected)
        << Narrow(row.a) << " / " << Narrow(row.b);
    const std::string a = Narrow(row.a);
    const std::string b = Narrow(row.b);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueA(a.c_str(), -1, b.c_str(), -1, 0), row.expected)
        << a << " / " << b;
    EXPECT_EQ(STR_ChaineCompareW(row.a, -1, row.b, -1, 0x80), row.expected) << a << " / " << b;
    EXPECT_EQ(STR_ChaineCompareA(a.c_str(), -1, b.c_str(), -1, 0x80), row.expected) << a;
  }
  // Given lengths bound both sides.
  EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"file10", 5, L"file9", 5, 0), -1);
  EXPECT_EQ(STR_nCompareRespecteNumeriqueA("a10x", 3, "a10y", 3, 0), 0);
}

TEST(StrCompare, OptionsToFlags) {
  struct {
    unsigned option;
    unsigned flags;
  } rows[] = {
      {0x0, 0x0},   {0x2, 0x4},    {0x4, 0x2},     {0x10, 0x1},  {0x20, 0x1},
      {0x50, 0x100}, {0x40, 0x100}, {0x100, 0x800}, {0x1, 0x0},   {0x8, 0x0},
      {0x80, 0x0},  {0x80000000u, 0}, {0x136, 0x807},
  };
  for (const auto& row : rows) EXPECT_EQ(OptionTN2FlagSTR(row.option), row.flags) << row.option;
}

// Without 0x8 and 0x80 the prepared texts compare by their bytes in memory
// order (so U+0100 sorts before U+00FF on this little-endian machine), a
// shorter text first.
TEST(StrCompare, LanguageComparisonWithoutCollation) {
  struct {
    const wchar_t* a;
    const wchar_t* b;
    unsigned option;
    int expected;
  } rows[] = {
      {L"ab", L"abc", 0, -1},
      {L"abc", L"abc", 0, 0},
      {L"b", L"abc", 0, 1},
      {L"\u0100", L"\u00ff", 0, -1},
      {L" \tabc \r\n", L"abc", 0x1, 0},
      {L" abc", L"abc", 0, -1},
      {L"ABC", L"abc", 0x10, 0},
      {L"ABC", L"abc", 0, -1},
      {L"\u00e9l\u00e8ve", L"ELEVE", 0x14, 0},
      {L"a-b c", L"abc", 0x2, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(STR_ChaineCompareW(row.a, -1, row.b, -1, row.option), row.expected)
        << Narrow(row.a) << " / " << Narrow(row.b) << " option " << row.option;
  }
  EXPECT_EQ(STR_ChaineCompareA(" abc ", -1, "abc", -1, 0x1), 0);
  EXPECT_EQ(STR_ChaineCompareA("Abc", -1, "aBC", -1, 0x20), 0);
  EXPECT_EQ(STR_ChaineCompareA("ab", -1, "abc", -1, 0), -1);
  EXPECT_EQ(STR_ChaineCompareA("ab", 1, "ac", 1, 0), 0);
}

// Texts on both sides of the size where the prepared copy leaves the stack
// for the heap: 16384 bytes for wide text, 16384 characters for 8-bit text.
TEST(StrCompare, LanguageComparisonAtTheStackBoundary) {
  for (std::size_t length : {4093u, 4094u, 4095u, 4096u, 16382u, 16383u, 16384u, 16385u}) {
    const std::wstring lower(length, L'a');
    std::wstring upper(length, L'A');
    EXPECT_EQ(STR_ChaineCompareW(lower.c_str(), -1, upper.c_str(), -1, 0x10), 0) << length;
    upper.back() = L'B';
    EXPECT_EQ(STR_ChaineCompareW(lower.c_str(), -1, upper.c_str(), -1, 0x10), -1) << length;
    EXPECT_EQ(STR_ChaineCompareW(upper.c_str(), -1, lower.c_str(), -1, 0x11), 1) << length;

    const std::string a(length, 'a');
    std::string b(length, 'A');
    EXPECT_EQ(STR_ChaineCompareA(a.c_str(), -1, b.c_str(), -1, 0x10), 0) << length;
    b.back() = 'B';
    EXPECT_EQ(STR_ChaineCompareA(a.c_str(), static_cast<int>(length), b.c_str(),
                                 static_cast<int>(length), 0x10),
              -1)
        << length;
    EXPECT_EQ(STR_ChaineCompareA(a.c_str(), -1, b.c_str(), -1, 0x80), 1) << length;
  }
}

TEST(StrCompare, FastLatin1Comparison) {
  struct {
    const char* a;
    const char* b;
    int expected;
  } rows[] = {
      {"abc", "ABC", 0},           {"\xe9l\xe8ve", "ELEVE", 0}, {"abc", "abd", -1},
      {"ab", "abc", -1},           {"abc", "ab", 1},            {"", "", 0},
      {"\x9c", "\x8c", 0},         {"\xff", "y", 0},            {"a", "\xe0", 0},
      {"\xe6", "\xc6", 0},         {"z", "\xc0", 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast(row.a, row.b), row.expected) << row.a << " / " << row.b;
  }
  // Every byte compares equal to its folded form.
  for (int c = 1; c < 256; ++c) {
    const char a[2] = {static_cast<char>(c), 0};
    const char b[2] = {static_cast<char>(pToNoAccentUpper_Latin1[c]), 0};
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast(a, b), 0) << c;
  }
}

}  // namespace
