#include <gtest/gtest.h>
#include <malloc.h>

#include <cfloat>
#include <clocale>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CTString.h"
#include "CodePage.h"
#include "FormatWin.h"

namespace {

std::wstring W(const CTString& s) { return s.pszGet(); }

// What the Windows-style formatter writes, into a buffer large enough.
std::wstring Reference(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(100000);
  va_list args;
  va_start(args, format);
  const int length = vsnwprintfWin(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return length < 0 ? L"<failed>" : std::wstring(buffer.data(), static_cast<std::size_t>(length));
}

// The formatter writes where the sanitizer does not look: check instead that
// the string's block really holds its text and terminator.
bool HoldsItsText(const CTString& s) {
  if (s.nTaille() == 0) return true;
  auto* block = const_cast<wchar_t*>(s.pszGet());
  return malloc_usable_size(block) >= (static_cast<std::size_t>(s.nTaille()) + 1) * sizeof(wchar_t);
}

// Each formatting entry point on one case: printf replaces, AddPrintf
// appends, CTStringFormat builds.
struct Results {
  bool blocksHoldTheirTexts;
  int printfResult;
  std::wstring printfText;
  int addResult;
  std::wstring addText;
  std::wstring built;
};

template <typename... Args>
Results FormatAll(const wchar_t* format, Args... args) {
  Results r;
  CTString s(L"former");
  r.printfResult = s.printf(format, args...);
  r.printfText = W(s);
  CTString a(L"head:");
  r.addResult = a.AddPrintf(format, args...);
  r.addText = W(a);
  const CTString built = CTStringFormat(format, args...);
  r.built = W(built);
  r.blocksHoldTheirTexts = HoldsItsText(s) && HoldsItsText(a) && HoldsItsText(built);
  return r;
}

template <typename... Args>
void ExpectFormatted(const wchar_t* format, Args... args) {
  const std::wstring expected = Reference(format, args...);
  ASSERT_NE(expected, L"<failed>") << format;
  const Results r = FormatAll(format, args...);
  EXPECT_TRUE(r.blocksHoldTheirTexts) << format;
  EXPECT_EQ(r.printfResult, static_cast<int>(expected.size())) << format;
  EXPECT_EQ(r.printfText, expected) << format;
  EXPECT_EQ(r.addResult, static_cast<int>(expected.size())) << format;
  EXPECT_EQ(r.addText, L"head:" + expected) << format;
  EXPECT_EQ(r.built, expected) << format;
}

// The estimate of the output length is only a first size: texts that come
// out longer than it still come out whole.
TEST(CTStringFormat, TextsLongerThanTheEstimate) {
  const wchar_t* forty = L"0123456789012345678901234567890123456789";
  // Counted short (or as nothing) by the estimate:
  ExpectFormatted(L"%1$s", forty);                    // positional argument
  ExpectFormatted(L"%2$s-%1$s", forty, L"two");
  ExpectFormatted(L"%1$*2$d", 5, 100);                // positional width
  ExpectFormatted(L"%y%y%y%y%y%y%y%y%y%y%y%y%y%y");   // unknown conversions
  ExpectFormatted(L"a%yb%d", 5);
  ExpectFormatted(L"%'d", 1234567890);
  // Widths, precisions and magnitudes the first size must cover:
  ExpectFormatted(L"%10.1s", L"abc");
  ExpectFormatted(L"[%.300f]", 1e308);
  ExpectFormatted(L"%.300f|%e|%G", DBL_MAX, -DBL_MAX, DBL_MIN);
  ExpectFormatted(L"<%*s>", -40, L"ab");
  ExpectFormatted(L"<%*d>", -300, 7);
  ExpectFormatted(L"%s and %S and %d", L"wide", "narrow", 42);
  ExpectFormatted(L"");
  EXPECT_EQ(Reference(L"%10.1s", L"abc"), L"         a");
}

TEST(CTStringFormat, LongTextsGrowTheBuffer) {
  const std::wstring big(70000, L'q');
  const Results r = FormatAll(L"%s%s", big.c_str(), L"!");
  EXPECT_EQ(r.printfText, big + L"!");
  EXPECT_EQ(r.addText, L"head:" + big + L"!");
  EXPECT_EQ(r.built, big + L"!");
  CTString s;
  EXPECT_EQ(s.printf(L"%*d", 200000, 1), 200000);
  EXPECT_EQ(s.nTaille(), 200000);
  EXPECT_EQ(s.cGetChar(199999), L'1');
}

TEST(CTStringFormat, FailuresKeepTheFormerText) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_TRUE(SetLocaleUTF8());
  // An 8-bit argument that is no UTF-8: the formatter fails with EILSEQ at
  // every size, so the result is -1 at once.
  const Results r = FormatAll(L"x%Sy", "\xff\xfe");
  std::setlocale(LC_CTYPE, saved.c_str());
  EXPECT_EQ(r.printfResult, -1);
  EXPECT_EQ(r.printfText, L"former");
  EXPECT_EQ(r.addResult, -1);
  EXPECT_EQ(r.addText, L"head:");
  EXPECT_EQ(r.built, L"");

  // A text of 10,000,000 characters or more is refused.
  CTString s(L"former");
  EXPECT_EQ(s.printf(L"%*d", 10000000, 1), -1);
  EXPECT_EQ(W(s), L"former");
  EXPECT_EQ(s.printf(nullptr), -1);
  EXPECT_EQ(W(s), L"former");
  EXPECT_EQ(s.printf(L"%*d", 9999999, 1), 9999999);
}

TEST(CTStringFormat, FormatVReadsTheCallersList) {
  struct Helper {
    static int Call(CTString* s, const wchar_t* format, ...) {
      va_list args;
      va_start(args, format);
      const int first = s->FormatV(format, args);
      va_end(args);
      return first;
    }
  };
  CTString s;
  EXPECT_EQ(Helper::Call(&s, L"%d-%s-%.1f", 12, L"ab", 2.25), 9);
  EXPECT_EQ(W(s), L"12-ab-2.2");
}

TEST(CTStringFormat, MessageStyle) {
  CTString s(L"former");
  EXPECT_EQ(s.FormatMessageW(L"%d-%s", 5, L"x"), 3u);
  EXPECT_EQ(W(s), L"5-x");
  EXPECT_EQ(s.FormatMessageWin(L"%2 %1!d!", 7, L"b"), 3u);
  EXPECT_EQ(W(s), L"b 7");
  // A % at the end of the text is an error: the string stays.
  EXPECT_EQ(s.FormatMessageWin(L"bad %"), 0u);
  EXPECT_EQ(W(s), L"b 7");
  EXPECT_EQ(s.FormatMessageW(nullptr), 0u);
  EXPECT_EQ(W(s), L"b 7");

  EXPECT_EQ(W(CTStringFormatMessage(L"%d-%s-%S", 3, L"ab", "cd")), L"3-ab-cd");
  EXPECT_EQ(CTStringFormatMessage(nullptr).nTaille(), 0);
}

}  // namespace
