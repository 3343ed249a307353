// The printf length estimate must be an upper bound of the real output.

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "CodePage.h"
#include "FormatWin.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

long EstimateA(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const long estimate = STRG_nCalculeLongueurPrintf<char>(format, args);
  va_end(args);
  return estimate;
}

long EstimateW(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const long estimate = STRG_nCalculeLongueurPrintf<wchar_t>(format, args);
  va_end(args);
  return estimate;
}

int RealA(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  return length;
}

// The wide output of the Windows-style formatter the runtime writes with.
int RealW(const wchar_t* format, ...) {
  static wchar_t buffer[20000];
  va_list args;
  va_start(args, format);
  const int length = vsnwprintfWin(buffer, sizeof buffer / sizeof buffer[0], format, args);
  va_end(args);
  return length;
}

// One row: the estimate is at least the real length (which must exist).
template <typename... A>
void BoundA(const char* format, A... args) {
  const int real = RealA(format, args...);
  ASSERT_GE(real, 0) << format;
  EXPECT_GE(EstimateA(format, args...), real) << format;
}

template <typename... A>
void BoundW(const wchar_t* format, A... args) {
  const int real = RealW(format, args...);
  char shown[128];
  std::wcstombs(shown, format, sizeof shown);
  ASSERT_GE(real, 0) << shown;
  EXPECT_GE(EstimateW(format, args...), real) << shown;
}

const char* const kNullA = nullptr;
const wchar_t* const kNullW = nullptr;

TEST(StrPrintfEstimate, EightBitOutputStaysWithinTheEstimate) {
  int anything = 0;
  char* unterminated = static_cast<char*>(XMALLOC_pNew_(3));
  std::memcpy(unterminated, "abc", 3);
  BoundA("ab%5.2s", "xyz");
  BoundA("%.300f", 1e308);
  BoundA("%f|%e|%g", -DBL_MAX, -DBL_MAX, -DBL_MAX);
  BoundA("%.400g", 1e308);
  BoundA("%020.10f", -1e100);
  BoundA("%+#.0e %#g", -1.5, 2.0);
  BoundA("%E %F %a %A", 1e300, 1e308, DBL_MAX, -DBL_MIN);
  BoundA("%Lf|%Le|%La", -LDBL_MAX, LDBL_MAX, LDBL_MAX);
  BoundA("%.20Lf%s", LDBL_MAX, "after");
  BoundA("%*d", -100, 5);
  BoundA("%*.*d|", 3, -7, 12345);
  BoundA("%.40d", -5);
  BoundA("%#x %#o %#X", UINT_MAX, UINT_MAX, 255u);
  BoundA("%lld %llu %#llo %llx", LLONG_MIN, ULLONG_MAX, ULLONG_MAX, ULLONG_MAX);
  BoundA("%ld %lu %zu %jd %td %hd %hhu", LONG_MIN, ULONG_MAX, SIZE_MAX, INTMAX_MIN,
         PTRDIFF_MIN, -32768, 255);
  BoundA("%p %20p", static_cast<void*>(&anything), static_cast<void*>(nullptr));
  BoundA("%.0c%c%5c%-3c", 'x', 'y', 'z', 'w');
  BoundA("%s %.3s", kNullA, kNullA);
  BoundA("%-20s|%s|%.3s", "abc", "", unterminated);
  BoundA("%%d %d %%", 3);
  BoundA("%S|%ls", L"wide", L"text");
  XMALLOC_Del_(unterminated);
}

TEST(StrPrintfEstimate, WideOutputStaysWithinTheEstimate) {
  int anything = 0;
  wchar_t* unterminated = static_cast<wchar_t*>(XMALLOC_pNew_(3 * sizeof(wchar_t)));
  std::wmemcpy(unterminated, L"abc", 3);
  BoundW(L"ab%5.2s", L"xyz");
  BoundW(L"%s|%S|%hs|%ls|%lS|%hS", L"wide", "narrow", "narrow", L"wide", L"wide", "narrow");
  BoundW(L"%s %hs %S %ls %.2s", kNullW, kNullA, kNullA, kNullW, kNullW);
  BoundW(L"%-12s|%.3s|%s", L"x", unterminated, L"");
  BoundW(L"%c%C%hc%lc%.0c%5C", L'a', 'b', 'c', L'd', L'e', 'f');
  BoundW(L"%I64d %I64u %I64x", LLONG_MIN, ULLONG_MAX, ULLONG_MAX);
  BoundW(L"%I32d %I32x", INT_MIN, UINT_MAX);
  BoundW(L"%d %i %u %o %x %X", INT_MIN, INT_MIN, UINT_MAX, UINT_MAX, UINT_MAX, UINT_MAX);
  BoundW(L"%.40d|%*d|%-*d", -5, -100, 5, 50, 7);
  BoundW(L"%#x %#o %p", UINT_MAX, UINT_MAX, static_cast<void*>(&anything));
  BoundW(L"%.300f|%e|%G", 1e308, -DBL_MAX, DBL_MIN);
  BoundW(L"%E %F %a %A %g", 1e300, 1e308, DBL_MAX, -DBL_MIN, 1e-300);
  BoundW(L"%Lf|%s", LDBL_MAX, L"after");
  BoundW(L"%*.*f", -30, -5, 1.5);
  BoundW(L"100%% %d%%", 42);
  XMALLOC_Del_(unterminated);
}

TEST(StrPrintfEstimate, KnownValues) {
  EXPECT_EQ(EstimateW(L"%d", 0), 32);
  EXPECT_EQ(EstimateW(L"ab%5.2s", L"xyz"), 8 + 5);
  EXPECT_EQ(EstimateA("ab%5.2s", "xyz"), 2 + 5);
  EXPECT_EQ(EstimateA("%s", "abcdef"), 6);
  EXPECT_EQ(EstimateA("%.2s", "abcdef"), 2);
  EXPECT_EQ(EstimateA("%-10s", "abc"), 10);
  EXPECT_EQ(EstimateA("%s", kNullA), 6);
  EXPECT_EQ(EstimateA("%hs", kNullA), 6);  // "(null)"
  EXPECT_EQ(EstimateW(L"%hs", kNullA), 6);
  EXPECT_EQ(EstimateA("%c", 'x'), 2);
  EXPECT_EQ(EstimateA("%.40d", 1), 43);
  EXPECT_EQ(EstimateA("%#x", 1u), 34);
  // The 8-bit formatter reads "I64" as its flag I and a width of 64, so it
  // writes 64 characters (not asked of it here: the sanitizer's printf
  // checks do not know the flag).
  EXPECT_EQ(EstimateA("%I64d", 1LL), 64);
  EXPECT_EQ(EstimateA("%I32d", 1), 32);
  EXPECT_EQ(EstimateA("%f", 1.0), 336);
  EXPECT_EQ(EstimateA("%Lf", 1.0L), 4956);
  EXPECT_EQ(EstimateA("%.*f", -3, 1.0), 336);  // a negative precision is none
  EXPECT_EQ(EstimateA("%%", 0), 1);
  EXPECT_EQ(EstimateW(L"%%", 0), 4);
  EXPECT_EQ(EstimateA("%n", static_cast<int*>(nullptr)), 0);
  EXPECT_EQ(EstimateA(nullptr, 0), 0);
}

// The estimate reads its own copy of the arguments: the caller can format
// with the same list afterwards.
long EstimateThenFormat(char* buffer, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const long estimate = STRG_nCalculeLongueurPrintf<char>(format, args);
  std::vsnprintf(buffer, size, format, args);
  va_end(args);
  return estimate;
}

TEST(StrPrintfEstimate, LeavesTheCallersArgumentsInPlace) {
  char buffer[64];
  EXPECT_EQ(EstimateThenFormat(buffer, sizeof buffer, "%s-%s", "ab", "cd"), 5);
  EXPECT_STREQ(buffer, "ab-cd");
}

// In the 8-bit form a wide character can take MB_CUR_MAX bytes.
TEST(StrPrintfEstimate, WideTextInEightBitOutput) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  if (!SetLocaleUTF8()) {
    std::setlocale(LC_CTYPE, saved.c_str());
    GTEST_SKIP() << "no UTF-8 locale";
  }
  const wchar_t* text = L"\u00e9\u20ac\U0001F600";
  BoundA("%ls", text);
  BoundA("%S|%.4ls|%5ls", text, text, L"\u20ac");
  BoundA("%lc%C%5lc", static_cast<wint_t>(L'\u20ac'), static_cast<wint_t>(0x1F600),
         static_cast<wint_t>(L'\u00e9'));
  EXPECT_EQ(RealA("%ls", text), 9);
  std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
