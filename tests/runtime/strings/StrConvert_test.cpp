// Conversions between 8-bit and wide text into new heap strings.

#include <gtest/gtest.h>

#include <cstring>

#include "support/RecordingLocale.h"
#include "StrFunctions.h"

namespace {

TEST(StrConvert, ToWide) {
  wchar_t* out = nullptr;
  ASSERT_TRUE(STR_CharToWChar(&out, "caf\xe9 \x80"));
  EXPECT_STREQ(out, L"caf\u00e9 \u20ac");
  STR_Delete(out);

  int length = -1;
  ASSERT_TRUE(STR_CharToWChar_AnyCodepage("\xc3\xa9t\xc3\xa9", -1, 65001, &out, &length, 0));
  EXPECT_STREQ(out, L"\u00e9t\u00e9");
  EXPECT_EQ(length, 3);  // the terminator is not counted
  STR_Delete(out);
  ASSERT_TRUE(STR_CharToWChar_AnyCodepage("abcdef", 2, 1252, &out, &length, 0));
  EXPECT_STREQ(out, L"ab");
  EXPECT_EQ(length, 2);
  STR_Delete(out);
  // Nothing to convert, or a failed conversion: false and no block.
  out = reinterpret_cast<wchar_t*>(1);
  EXPECT_FALSE(STR_CharToWChar_AnyCodepage("abc", 0, 1252, &out, &length, 0));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_FALSE(STR_CharToWChar_AnyCodepage("\xff", 1, 65001, &out, &length, 8));
  EXPECT_EQ(out, nullptr);

  EXPECT_EQ(STR_CharToWChar('\x80', 0, 1252), L'\u20ac');
  EXPECT_EQ(STR_CharToWChar('\xe9', 0, 1251), L'\u0439');
}

TEST(StrConvert, CurrentCharsetComesFromTheLocale) {
  CRecordingLocale locale;
  CInstalledLocale installed(&locale);
  locale.m_nCodePage = 1251;
  wchar_t* out = nullptr;
  ASSERT_TRUE(STR_CharToWChar_CurrentCharset(&out, "\xe9"));
  EXPECT_STREQ(out, L"\u0439");
  STR_Delete(out);
  out = reinterpret_cast<wchar_t*>(1);
  EXPECT_TRUE(STR_CharToWChar_CurrentCharset(&out, nullptr));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(STR_CharToWChar_CurrentCharset('\xe9', 0), L'\u0439');

  char* bytes = nullptr;
  ASSERT_TRUE(STR_WCharToChar_CurrentCharset(&bytes, L"\u0439a"));
  EXPECT_STREQ(bytes, "\xe9" "a");
  STR_Delete(bytes);
  bytes = reinterpret_cast<char*>(1);
  EXPECT_TRUE(STR_WCharToChar_CurrentCharset(&bytes, nullptr));
  EXPECT_EQ(bytes, nullptr);
}

TEST(StrConvert, ToBytes) {
  char* out = nullptr;
  int length = -1;
  ASSERT_TRUE(STR_WCharToChar_AnyCodepage(L"\u00e9\u20ac", -1, &out, &length, 65001));
  EXPECT_STREQ(out, "\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(length, 5);
  STR_Delete(out);
  ASSERT_TRUE(STR_WCharToChar_AnyCodepage(L"a\u0391b", 3, &out, &length, 1252));
  EXPECT_STREQ(out, "a?b");
  EXPECT_EQ(length, 3);
  STR_Delete(out);
  EXPECT_FALSE(STR_WCharToChar_AnyCodepage(L"abc", 0, &out, &length, 1252));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(length, 0);

  EXPECT_EQ(STR_WCharToAChar(L'\u20ac', 0, 1252), '\x80');
  EXPECT_EQ(STR_WCharToAChar(L'\u00e9', 0, 65001), '\xc3');

  ASSERT_TRUE(STR_CharToChar_AnyCodepage("caf\xe9", -1, 1252, &out, &length, 65001));
  EXPECT_STREQ(out, "caf\xc3\xa9");
  EXPECT_EQ(length, 5);
  STR_Delete(out);
  ASSERT_TRUE(STR_CharToChar_AnyCodepage("abcdef", 3, 1252, &out, &length, 1252));
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(length, 3);
  STR_Delete(out);
  ASSERT_TRUE(STR_CharToChar_AnyCodepage("", -1, 1252, &out, &length, 65001));
  EXPECT_STREQ(out, "");
  STR_Delete(out);
}

TEST(StrConvert, RoundTripCompatibility) {
  struct {
    const wchar_t* text;
    unsigned codePage;
    bool expected;
  } rows[] = {
      {L"caf\u00e9 \u20ac \u0153", 1252, true}, {L"\u0100", 1252, false},
      {L"\u0081", 1252, false},                  {L"a?b", 1252, true},
      {L"\u0391\u03b2", 1253, true},             {L"\u0391\u03b2", 1252, false},
      {L"", 1252, true},                         {nullptr, 1252, true},
      {L"\u4e2d", 65001, true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(bAnsiCompatible(row.text, row.codePage), row.expected) << row.codePage;
    if (row.codePage == 1252) {
      EXPECT_EQ(bLatin1(row.text), row.expected);
    }
  }
}

}  // namespace
