#include "NumberText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

TEST(NumberText, SignedAndUnsignedInEveryRadix) {
  struct Row {
    long long value;
    int radix;
    const char* expected;
  };
  const Row rows[] = {
      {-255, 16, "-ff"},
      {255, 2, "11111111"},
      {0, 10, "0"},
      {35, 36, "z"},
      {-36, 36, "-10"},
      {INT_MIN, 10, "-2147483648"},
      {INT_MAX, 8, "17777777777"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    char text[80];
    wchar_t wide[80];
    EXPECT_STREQ(itoa(static_cast<int>(row.value), text, row.radix), row.expected);
    EXPECT_STREQ(ltoa(static_cast<long>(row.value), text, row.radix), row.expected);
    EXPECT_STREQ(i64toa(row.value, text, row.radix), row.expected);
    EXPECT_EQ(std::wstring(itow(static_cast<int>(row.value), wide, row.radix)), Widen(row.expected));
    EXPECT_EQ(std::wstring(ltow(static_cast<long>(row.value), wide, row.radix)), Widen(row.expected));
    EXPECT_EQ(std::wstring(i64tow(row.value, wide, row.radix)), Widen(row.expected));
  }

  char text[80];
  wchar_t wide[80];
  EXPECT_STREQ(i64toa(LLONG_MIN, text, 10), "-9223372036854775808");
  EXPECT_EQ(std::wstring(i64tow(LLONG_MIN, wide, 2)), L"-1" + std::wstring(63, L'0'));
  EXPECT_STREQ(ui64toa(ULLONG_MAX, text, 16), "ffffffffffffffff");
  EXPECT_STREQ(ui64toa(ULLONG_MAX, text, 36), "3w5e11264sgsf");
  EXPECT_EQ(std::wstring(ui64tow(ULLONG_MAX, wide, 2)), std::wstring(64, L'1'));
  EXPECT_STREQ(ultoa(4096UL, text, 16), "1000");
  EXPECT_EQ(std::wstring(ultow(4095UL, wide, 16)), L"fff");
}

TEST(NumberText, CaseFillAndBoundedLength) {
  char narrow[] = "abC1z";
  wchar_t wide[] = L"abC1z";
  EXPECT_STREQ(my_struprA(narrow), "ABC1Z");
  EXPECT_STREQ(my_strlwrA(narrow), "abc1z");
  EXPECT_EQ(std::wstring(my_struprW(wide)), L"ABC1Z");
  EXPECT_EQ(std::wstring(my_strlwrW(wide)), L"abc1z");

  char fill[] = "abcdef";
  EXPECT_STREQ(_strnset(fill, 'x', 3), "xxxdef");
  EXPECT_STREQ(_strnset(fill, 'y', 100), "yyyyyy");  // stops at the NUL
  EXPECT_STREQ(_strset(fill, 'z'), "zzzzzz");
  wchar_t wfill[] = L"abcdef";
  EXPECT_EQ(std::wstring(wcsnset(wfill, L'x', 2)), L"xxcdef");
  EXPECT_EQ(std::wstring(wcsset(wfill, L'q')), L"qqqqqq");

  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  const wchar_t wunterminated[4] = {L'a', L'b', L'c', L'd'};
  EXPECT_EQ(xstrnlen(unterminated, 4), 4u);
  EXPECT_EQ(xstrnlen("abc", 2), 2u);
  EXPECT_EQ(xstrnlen("abc", 10), 3u);
  EXPECT_EQ(xwcsnlen(wunterminated, 4), 4u);
  EXPECT_EQ(xwcsnlen(L"abc", 10), 3u);
}

TEST(NumberText, HexReaders) {
  struct Row {
    const wchar_t* text;
    int expected;
  };
  const Row rows[] = {
      {L"1aF0", 0x1AF0}, {L"ffff", 0xFFFF}, {L"123456", 0x1234},
      {L"12g4", -1},     {L"", -1},         {L"12 4", -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
    EXPECT_EQ(nGetEntierHexa4(row.text), row.expected);
  }
  // A short text on the heap: reading past its NUL would be caught.
  std::unique_ptr<wchar_t[]> shortText(new wchar_t[3]{L'1', L'2', 0});
  EXPECT_EQ(nGetEntierHexa4(shortText.get()), -1);

  int count = -1;
  EXPECT_EQ(nGetEntierHexa(L"1fz", &count), 0x1f);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(nGetEntierHexa(L"xyz", &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(nGetEntierHexa(L"DEADbeef", &count), static_cast<int>(0xDEADBEEFu));
  EXPECT_EQ(count, 8);
}

TEST(NumberText, MemMem) {
  const char buffer[] = {'a', 'a', 'a', 'b', 'x', 'y', 'z'};
  const std::size_t size = sizeof(buffer);
  EXPECT_EQ(xmemmem(buffer, size, "xyz", 3), buffer + 4);  // at the very end
  EXPECT_EQ(xmemmem(buffer, size, "aab", 3), buffer + 1);  // after a false start
  EXPECT_EQ(xmemmem(buffer, size, "b", 1), buffer + 3);
  EXPECT_EQ(xmemmem(buffer, size, "q", 1), nullptr);
  EXPECT_EQ(xmemmem(buffer, size, "yza", 3), nullptr);
  EXPECT_EQ(xmemmem(buffer, size, "", 0), nullptr);
  EXPECT_EQ(xmemmem(buffer, 0, "a", 1), nullptr);
  const char longer[] = "aaabxyzz";
  EXPECT_EQ(xmemmem(buffer, size, longer, size + 1), nullptr);
  EXPECT_EQ(xmemmem(buffer, size, buffer, size), buffer);
}

TEST(NumberText, MulDiv) {
  struct Row {
    int a, b, c, expected;
  };
  const Row rows[] = {
      {5, 3, 2, 8},                  // 7.5 away from zero
      {-5, 3, 2, -8},
      {5, 3, -2, -8},
      {-5, -3, -2, -8},
      {4, 3, 2, 6},
      {7, 1, 3, 2},                  // 2.33 truncated after rounding
      {65536, 65536, 4, 1073741824}, // the product needs more than 32 bits
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
      {65536, 65536, 2, -1},         // the result does not fit
      {INT_MIN, 1, -1, -1},
      {1, 1, 0, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.a << "*" << row.b << "/" << row.c);
    EXPECT_EQ(MulDiv(row.a, row.b, row.c), row.expected);
  }
}

}  // namespace
