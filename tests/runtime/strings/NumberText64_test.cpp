#include "NumberText64.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(NumberText64, UnsignedAndSignedInEveryWidth) {
  struct Row {
    long long value;
    bool bSigned;
    int radix;
    std::string text;
  } rows[] = {
      {255, false, 16, "ff"},
      {0, false, 10, "0"},
      {0, true, 2, "0"},
      {35, false, 36, "z"},
      {-1, false, 2, std::string(64, '1')},  // as unsigned: all 64 bits
      {-1, false, 36, "3w5e11264sgsf"},
      {-255, true, 16, "-ff"},
      {LLONG_MAX, true, 10, "9223372036854775807"},
      {LLONG_MIN, true, 10, "-9223372036854775808"},
      {LLONG_MIN, true, 2, "-1" + std::string(63, '0')},
      {LLONG_MIN, true, 16, "-8000000000000000"},
      {123, true, 1, ""},  // radix out of range
      {123, false, 37, ""},
      {-5, true, 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    char narrow[80];
    wchar_t wide[80];
    std::fill(narrow, narrow + 80, '#');
    if (row.bSigned) {
      EXPECT_EQ(narrow, _i64toaVlm(row.value, narrow, row.radix));
      EXPECT_EQ(wide, _i64towVlm(row.value, wide, row.radix));
    } else {
      const auto u = static_cast<unsigned long long>(row.value);
      EXPECT_EQ(narrow, _ui64toaVlm(u, narrow, row.radix));
      EXPECT_EQ(wide, _ui64towVlm(u, wide, row.radix));
    }
    EXPECT_EQ(row.text, std::string(narrow));
    EXPECT_EQ(Widen(row.text), std::wstring(wide));
  }
}

TEST(NumberText64, ReadsBack) {
  EXPECT_EQ(-42, _wtoi64Vlm(L"  -42xyz"));
  EXPECT_EQ(LLONG_MAX, _wtoi64Vlm(L"9223372036854775807"));
  EXPECT_EQ(LLONG_MIN, _wtoi64Vlm(L"-9223372036854775808"));
  EXPECT_EQ(0, _wtoi64Vlm(L"\u20AC5"));
  EXPECT_EQ(0, _wtoi64Vlm(nullptr));
  // Only the first 100 characters are read.
  EXPECT_EQ(0, _wtoi64Vlm(Widen(std::string(100, '0') + "7").c_str()));
  EXPECT_EQ(7, _wtoi64Vlm(Widen(std::string(99, '0') + "7").c_str()));

  EXPECT_DOUBLE_EQ(2.5, wtof(L"2.5"));
  EXPECT_DOUBLE_EQ(-1e-3, wtof(L" -1e-3z"));
  EXPECT_DOUBLE_EQ(0.0, wtof(L"x"));

  wchar_t out[40];
  EXPECT_EQ(std::wstring(L"1234.5"), std::wstring(_wgcvt(1234.5, 6, out)));
  EXPECT_EQ(std::wstring(L"1.23e-05"), std::wstring(_wgcvt(0.000012345, 3, out)));
  EXPECT_EQ(std::wstring(L"-1.7976931348623157e+308"),
            std::wstring(_wgcvt(-1.7976931348623157e308, 40, out)));
}

}  // namespace
