#include "FormatWin.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <string>

#include "XMalloc.h"

namespace {

std::wstring Convert(const wchar_t* format) {
  wchar_t out[256];
  _ConvertFormatWindowsToUnix(format, out, 256);
  return out;
}

std::wstring Format(const wchar_t* format, ...) {
  wchar_t buffer[256];
  va_list args;
  va_start(args, format);
  const int length = vsnwprintfWin(buffer, 256, format, args);
  va_end(args);
  if (length < 0) return L"<failed>";
  return std::wstring(buffer, static_cast<std::size_t>(length));
}

int AsWprintf(wchar_t** buffer, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = vaswprintf(buffer, format, args);
  va_end(args);
  return length;
}

// Runs a test body under the "C" locale and puts the former one back.
class CLocaleC {
 public:
  CLocaleC() : m_saved(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, "C"); }
  ~CLocaleC() { std::setlocale(LC_ALL, m_saved.c_str()); }

 private:
  std::string m_saved;
};

TEST(FormatWin, ConvertsEveryConversionToTheSystemMeaning) {
  struct Row {
    const wchar_t* windows;
    const wchar_t* unix;
  };
  const Row rows[] = {
      {L"%s", L"%ls"},          {L"%S", L"%s"},           {L"%hs", L"%s"},
      {L"%ls", L"%ls"},         {L"%lS", L"%ls"},         {L"%hS", L"%s"},
      {L"%c", L"%lc"},          {L"%C", L"%c"},           {L"%hc", L"%c"},
      {L"%hd", L"%hd"},         {L"%2$s", L"%2$ls"},      {L"%5s", L"%5ls"},
      {L"%-5s", L"%-5ls"},      {L"%.3s", L"%.3ls"},      {L"%*s", L"%*ls"},
      {L"%-*.*s", L"%-*.*ls"},  {L"%1$*2$.*3$s", L"%1$*2$.*3$ls"},
      {L"%%s", L"%%s"},         {L"%%%s", L"%%%ls"},      {L"100%%", L"100%%"},
      {L"%I64d", L"%lld"},      {L"%08I64x", L"%08llx"},  {L"%I32d", L"%d"},
      {L"%lld %zu %p", L"%lld %zu %p"},
      {L"a%s=%d;b%S", L"a%ls=%d;b%s"},
      {L"end%", L"end%"},       {L"end%-5", L"end%-5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.windows)));
    EXPECT_EQ(Convert(row.windows), row.unix);
    EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(row.windows), std::wcslen(row.unix) + 1);
  }
  EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(nullptr), 0u);
}

TEST(FormatWin, ConverterNeverWritesPastItsSize) {
  wchar_t out[8];
  std::wmemset(out, L'#', 8);
  _ConvertFormatWindowsToUnix(L"%s%s%s%s", out, 5);
  EXPECT_EQ(std::wstring(out), L"%ls%");
  EXPECT_EQ(std::wstring(out + 5, 3), L"###");
  _ConvertFormatWindowsToUnix(nullptr, out, 5);
  EXPECT_EQ(std::wstring(out), L"%ls%");
}

TEST(FormatWin, FormatsWithTheWindowsMeaning) {
  struct Row {
    std::wstring got;
    const wchar_t* expected;
  };
  const Row rows[] = {
      {Format(L"%s", L"wide"), L"wide"},
      {Format(L"[%-5s]", L"ab"), L"[ab   ]"},
      {Format(L"[%.3s]", L"abcdef"), L"[abc]"},
      {Format(L"[%*s]", 4, L"ab"), L"[  ab]"},
      {Format(L"%2$s %1$s", L"one", L"two"), L"two one"},
      {Format(L"%%s"), L"%s"},
      {Format(L"%S|%hs", "narrow", "text"), L"narrow|text"},
      {Format(L"%c%C", static_cast<wint_t>(0x20AC), 'A'), L"\u20ACA"},
      {Format(L"%I64d %s", -5000000000LL, L"x"), L"-5000000000 x"},
      {Format(L"%I64u", 1ULL << 40), L"1099511627776"},
      {Format(L"%I32d|%hd", 42, 65537), L"42|1"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.got, row.expected);
}

TEST(FormatWin, ConvertedFormatsAroundTheStackLimit) {
  // 511 bytes hold 127 characters: these formats need 126 to 131 with their
  // NUL, so both the stack and the heap buffer are used.
  for (std::size_t pad = 122; pad <= 127; ++pad) {
    const std::wstring format = std::wstring(pad, L'.') + L"%s";
    wchar_t out[300];
    const int length = swprintfWin(out, format.c_str(), L"ok");
    EXPECT_EQ(length, static_cast<int>(pad + 2));
    EXPECT_EQ(std::wstring(out), std::wstring(pad, L'.') + L"ok");
  }
}

TEST(FormatWin, CutFormattingKeepsExactlyNCharacters) {
  wchar_t buffer[8];
  std::wmemset(buffer, L'#', 8);
  EXPECT_EQ(sznwprintf(buffer, 5, L"%s", L"abcdefgh"), -1);
  EXPECT_EQ(std::wstring(buffer), L"abcde");
  EXPECT_EQ(buffer[6], L'#');
  EXPECT_EQ(sznwprintfWin(buffer, 5, L"%s", L"abcde"), 5);
  EXPECT_EQ(std::wstring(buffer), L"abcde");
  EXPECT_EQ(sznwprintf(buffer, 5, L"%d", 12), 2);
  EXPECT_EQ(std::wstring(buffer), L"12");

  char narrow[8];
  std::memset(narrow, '#', 8);
  EXPECT_EQ(sznprintf(narrow, 5, "%s", "abcdefgh"), -1);
  EXPECT_STREQ(narrow, "abcde");
  EXPECT_EQ(narrow[6], '#');
  EXPECT_EQ(sznprintf(narrow, 5, "%d", 123), 3);
  EXPECT_STREQ(narrow, "123");
}

TEST(FormatWin, AllocatedFormattingGrowsToAnyLength) {
  wchar_t* text = nullptr;
  ASSERT_EQ(AsWprintf(&text, L"%d-%s", 5, L"x"), 3);
  EXPECT_EQ(std::wstring(text), L"5-x");
  XMALLOC_Del_(text);

  // Longer than the first capacity (8 characters for "%s").
  ASSERT_EQ(AsWprintf(&text, L"%s", L"0123456789abcdef"), 16);
  EXPECT_EQ(std::wstring(text), L"0123456789abcdef");
  XMALLOC_Del_(text);

  const std::wstring big(1u << 20, L'x');
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(AsWprintf(&text, L"[%s]", big.c_str()), static_cast<int>(big.size() + 2));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(std::wstring(text), L"[" + big + L"]");
  XMALLOC_Del_(text);
  // A growth by the format's length would take hundreds of thousands of
  // passes over the argument.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 5);
}

TEST(FormatWin, AllocatedFormattingFailures) {
  CLocaleC locale;
  wchar_t* text = reinterpret_cast<wchar_t*>(1);
  // A byte above 0x7F has no wide form in the C locale: the conversion
  // fails with errno untouched, which must not be taken for lack of space.
  EXPECT_EQ(AsWprintf(&text, L"ab%C", 0xE9), -1);
  EXPECT_EQ(text, nullptr);

  // An invalid multibyte string fails with EILSEQ: the format stands in.
  ASSERT_EQ(AsWprintf(&text, L"ab%S", "\xE9"), 4);
  EXPECT_EQ(std::wstring(text), L"ab%S");
  XMALLOC_Del_(text);

  text = reinterpret_cast<wchar_t*>(1);
  EXPECT_EQ(AsWprintf(&text, nullptr), -1);
  EXPECT_EQ(text, nullptr);
}

}  // namespace
