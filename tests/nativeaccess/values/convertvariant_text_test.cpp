// The holders' text conversions against the runtime's code-page functions:
// the same characters for ASCII, accented and invalid text in code pages
// 1252, 932, 65001, 0 and -1; characters above U+FFFF as surrogate pairs;
// outputs that end on a whole character; converters kept per thread.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CodePage.h"
#include "UnicodeConversion.h"
#include "ValueTextConversion.h"

// Every iconv descriptor the code under test opens or closes passes through
// these wrappers (the native-access unit test program is linked with
// --wrap=iconv_open and --wrap=iconv_close): they note which thread opened
// each descriptor still open, and how many each thread opened.
namespace {
std::mutex& IConvLock() {
  static auto* s_p = new std::mutex;  // never destroyed: closes may come at exit
  return *s_p;
}
std::map<iconv_t, std::thread::id>& IConvOpen() {
  static auto* s_p = new std::map<iconv_t, std::thread::id>;
  return *s_p;
}
thread_local long t_nIConvOpened = 0;

// Descriptors opened on thread `id` and not closed yet.
int nIConvOpenOn(std::thread::id id) {
  std::lock_guard<std::mutex> clLock(IConvLock());
  int n = 0;
  for (const auto& e : IConvOpen()) n += e.second == id ? 1 : 0;
  return n;
}
}  // namespace

extern "C" iconv_t __real_iconv_open(const char* pszTo, const char* pszFrom);
extern "C" int __real_iconv_close(iconv_t cd);

extern "C" iconv_t __wrap_iconv_open(const char* pszTo, const char* pszFrom) {
  iconv_t cd = __real_iconv_open(pszTo, pszFrom);
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    ++t_nIConvOpened;
    std::lock_guard<std::mutex> clLock(IConvLock());
    IConvOpen()[cd] = std::this_thread::get_id();
  }
  return cd;
}

extern "C" int __wrap_iconv_close(iconv_t cd) {
  {
    std::lock_guard<std::mutex> clLock(IConvLock());
    IConvOpen().erase(cd);
  }
  return __real_iconv_close(cd);
}

namespace {

struct TextCase {
  const char* pszName;
  int nCodePage;
  std::string sBytes;
};

// Texts in the code page they are given in.
const TextCase kaCases[] = {
    {"ascii-1252", 1252, "Hello, world 0123"},
    {"ascii-932", 932, "Hello, world 0123"},
    {"ascii-utf8", 65001, "Hello, world 0123"},
    {"ascii-cp0", 0, "Hello"},
    {"ascii-cp-1", -1, "Hello"},
    {"accented-1252", 1252, "caf\xE9 \xC0 la \x80 \x9C"},
    {"undefined-1252", 1252, "a\x81" "b\x8D" "c\x8F\x90\x9D"},
    {"accented-cp0", 0, "d\xE9j\xE0 vu \x80"},
    {"accented-cp-1", -1, "\xFC" "ber \xDF"},
    {"kana-932", 932, "ab\x82\xA0\x83\x4A\x83\x74\x83\x46" "c"},
    {"kanji-932", 932, "\x93\xFA\x96\x7B\x8C\xEA"},
    {"accented-utf8", 65001, "caf\xC3\xA9 \xE2\x82\xAC \xE3\x81\x82"},
    {"invalid-utf8", 65001, "a\xFF" "b\xC3(c\x80" "d"},
    {"truncated-utf8", 65001, "ab\xE2\x82"},
};

std::u16string ToUTF16(const TextCase& c, std::size_t nMax, bool* pbFailed = nullptr) {
  std::vector<std::uint16_t> a(nMax + 1, 0xFFFF);
  const std::size_t n = kxvalues::nTextToUTF16(c.nCodePage, c.sBytes.data(), c.sBytes.size(), a.data(), nMax, pbFailed);
  EXPECT_EQ(0xFFFF, a[nMax]) << c.pszName << ": wrote past the end";
  return std::u16string(a.begin(), a.begin() + static_cast<long>(n));
}

std::u16string Reference16(const TextCase& c) {
  std::vector<unsigned short> a(c.sBytes.size() * 2 + 4);
  const unsigned cp = c.nCodePage <= 0 ? 1252u : static_cast<unsigned>(c.nCodePage);
  const int n = MultiByteToUTF16(cp, 0, c.sBytes.data(), static_cast<int>(c.sBytes.size()), a.data(),
                                 static_cast<int>(a.size()));
  return std::u16string(a.begin(), a.begin() + n);
}

TEST(convertvariant_text, TextToUTF16MatchesTheRuntimesConversion) {
  for (const TextCase& c : kaCases) {
    EXPECT_EQ(Reference16(c), ToUTF16(c, 200)) << c.pszName;
  }
}

TEST(convertvariant_text, TextToWideMatchesTheRuntimesConversion) {
  for (const TextCase& c : kaCases) {
    std::vector<wchar_t> aMine(200);
    std::vector<wchar_t> aRef(200);
    const std::size_t n =
        kxvalues::nTextToWide(c.nCodePage, c.sBytes.data(), c.sBytes.size(), aMine.data(), aMine.size());
    const unsigned cp = c.nCodePage <= 0 ? 1252u : static_cast<unsigned>(c.nCodePage);
    const int nRef = MultiByteToWideChar(cp, 0, c.sBytes.data(), static_cast<int>(c.sBytes.size()), aRef.data(),
                                         static_cast<int>(aRef.size()));
    EXPECT_EQ(std::wstring(aRef.data(), static_cast<std::size_t>(nRef)), std::wstring(aMine.data(), n)) << c.pszName;
  }
}

// UTF-8 text into every runtime code page, against UTF8ToMultiByte.
TEST(convertvariant_text, UTF8ToCodePageMatchesTheRuntimesConversion) {
  const char* apsz[] = {"Hello", "caf\xC3\xA9 \xE2\x82\xAC", "\xE3\x81\x82\xE3\x82\xAB\xE6\x97\xA5",
                        "x\xC2\x81y",  // U+0081: not in 1252
                        "a\xF0\x9F\x98\x80" "b", "a\xC3\xA9\xFF" "b"};
  const int acp[] = {1252, 932, 0, -1, 65001};
  for (int cp : acp) {
    for (const char* psz : apsz) {
      const std::string s(psz);
      char acMine[64];
      char acRef[64];
      const std::size_t n = kxvalues::nUTF8ToText(cp, s.data(), s.size(), acMine, sizeof acMine - 1);
      const long nRef = UTF8ToMultiByte(static_cast<unsigned>(cp), s.data(), static_cast<long>(s.size()), acRef,
                                        sizeof acRef);
      EXPECT_EQ(std::string(acRef, static_cast<std::size_t>(nRef)), std::string(acMine, n)) << cp << " " << psz;
    }
  }
}

// A run of bytes that is all invalid UTF-8 makes the runtime's whole result
// 0 (the text lost); the holders drop only the invalid bytes.
TEST(convertvariant_text, InvalidUTF8IsDroppedNotTheWholeText) {
  const std::string s("a\xFF" "b\xC3(c");
  char ac[16];
  EXPECT_EQ(0, UTF8ToMultiByte(1252, s.data(), static_cast<long>(s.size()), ac, sizeof ac));
  for (int cp : {1252, 932, 0, -1}) {
    const std::size_t n = kxvalues::nUTF8ToText(cp, s.data(), s.size(), ac, sizeof ac);
    EXPECT_EQ("ab(c", std::string(ac, n)) << cp;
  }
}

TEST(convertvariant_text, WideToCodePageMatchesTheRuntimesConversion) {
  const wchar_t* apsz[] = {L"Hello", L"caf\u00E9 \u20AC \u0081", L"\u3042\u30AB\u65E5", L"a\U0001F600b"};
  const int acp[] = {1252, 932, 0, -1, 65001};
  for (int cp : acp) {
    for (const wchar_t* psz : apsz) {
      const std::wstring s(psz);
      char acMine[64];
      char acRef[64];
      const std::size_t n = kxvalues::nWideToText(cp, s.data(), s.size(), acMine, sizeof acMine);
      const unsigned cpRef = cp <= 0 ? 1252u : static_cast<unsigned>(cp);
      const int nRef = WideCharToMultiByte(cpRef, 0, s.data(), static_cast<int>(s.size()), acRef, sizeof acRef,
                                           nullptr, nullptr);
      EXPECT_EQ(std::string(acRef, static_cast<std::size_t>(nRef)), std::string(acMine, n)) << cp;
    }
  }
}

// Above U+FFFF the runtime's MultiByteToUTF16 narrows the character; the
// holders form the pair, as UTF8ToUTF16 does, and never write half of one.
TEST(convertvariant_text, NonBmpBecomesASurrogatePairAndIsNeverCut) {
  const TextCase c{"nonbmp", 65001, "ab\xF0\x9F\x98\x80" "c"};
  std::vector<unsigned short> aRef(16);
  const long nRef = UTF8ToUTF16(aRef.data(), 16, c.sBytes.data(), static_cast<long>(c.sBytes.size()));
  EXPECT_EQ(std::u16string(aRef.begin(), aRef.begin() + nRef), ToUTF16(c, 16));
  EXPECT_EQ(u"ab\U0001F600c", ToUTF16(c, 16));
  // Room for a, b and one unit: the pair is left out whole.
  EXPECT_EQ(u"ab", ToUTF16(c, 3));
  EXPECT_EQ(u"ab\U0001F600", ToUTF16(c, 4));

  const std::wstring w(L"x\U0001F600");
  std::uint16_t au[4] = {};
  EXPECT_EQ(1u, kxvalues::nWideToUTF16(w.data(), w.size(), au, 2));
  EXPECT_EQ(3u, kxvalues::nWideToUTF16(w.data(), w.size(), au, 3));
  wchar_t aw[4] = {};
  EXPECT_EQ(2u, kxvalues::nUTF16ToWide(au, 3, aw, 4));
  EXPECT_EQ(std::wstring(L"x\U0001F600"), std::wstring(aw, 2));
}

// A character that does not fit is left out whole: a two-byte character of
// 932, a two-byte UTF-8 sequence kept as is in 65001.
TEST(convertvariant_text, CutsFallOnWholeCharacters) {
  const std::string sUtf8("ab\xE3\x81\x82\xE3\x81\x84");  // ab + two kana
  char ac[8];
  EXPECT_EQ(4u, kxvalues::nUTF8ToText(932, sUtf8.data(), sUtf8.size(), ac, 5));
  EXPECT_EQ(std::string("ab\x82\xA0"), std::string(ac, 4));
  EXPECT_EQ(5u, kxvalues::nUTF8ToText(65001, sUtf8.data(), sUtf8.size(), ac, 6));
  EXPECT_EQ(2u, kxvalues::nUTF8ToText(65001, sUtf8.data(), sUtf8.size(), ac, 4));
  const std::string sKana("\x82\xA0\x82\xA2");
  std::uint16_t au[4];
  EXPECT_EQ(1u, kxvalues::nTextToUTF16(932, sKana.data(), sKana.size(), au, 1));
  EXPECT_EQ(0x3042, au[0]);
}

// Nothing convertible in a non-empty text is a failure, not an empty text.
TEST(convertvariant_text, TextWithNothingConvertibleFails) {
  bool bFailed = false;
  const TextCase c{"invalid", 65001, "\xFF\xFE"};
  EXPECT_EQ(u"", ToUTF16(c, 8, &bFailed));
  EXPECT_TRUE(bFailed);
  char ac[4];
  EXPECT_EQ(0u, kxvalues::nUTF8ToText(1252, "\xFF\xFE", 2, ac, 4, &bFailed));
  EXPECT_TRUE(bFailed);
  EXPECT_EQ(0u, kxvalues::nUTF8ToText(1252, "", 0, ac, 4, &bFailed));
  EXPECT_FALSE(bFailed);
}

// One converter per code page and direction on a thread, reused by every
// conversion, freed when the thread ends. Each case runs on a thread of its
// own, which starts with no converter.
TEST(convertvariant_text, ConvertersAreKeptPerThreadAndReused) {
  const std::string sKana("\x82\xA0\x83\x4A");
  std::uint16_t au[8];
  char ac[8];
  std::thread::id idFirst;
  long nOpened = -1;
  int nOpen = -1;
  long nOpenedByPlainText = -1;
  std::thread([&] {
    idFirst = std::this_thread::get_id();
    for (int i = 0; i < 1000; ++i) {
      ASSERT_EQ(2u, kxvalues::nTextToUTF16(932, sKana.data(), sKana.size(), au, 8));
      ASSERT_EQ(2u, kxvalues::nUTF8ToText(932, "\xE3\x81\x82", 3, ac, 8));
    }
    nOpened = t_nIConvOpened;
    nOpen = nIConvOpenOn(idFirst);
    // ASCII, UTF-8 and 1252 need none.
    ASSERT_EQ(3u, kxvalues::nTextToUTF16(1252, "a\xE9" "b", 3, au, 8));
    ASSERT_EQ(1u, kxvalues::nTextToUTF16(65001, "\xC3\xA9", 2, au, 8));
    ASSERT_EQ(2u, kxvalues::nTextToUTF16(932, "ab", 2, au, 8));
    ASSERT_EQ(1u, kxvalues::nTextToUTF16(1250, "a", 1, au, 8));
    nOpenedByPlainText = t_nIConvOpened - nOpened;
  }).join();
  EXPECT_EQ(2, nOpened);
  EXPECT_EQ(2, nOpen);
  EXPECT_EQ(0, nIConvOpenOn(idFirst));
  EXPECT_EQ(0, nOpenedByPlainText);

  // Another thread opens its own and closes only its own.
  ASSERT_EQ(2u, kxvalues::nTextToUTF16(932, sKana.data(), sKana.size(), au, 8));
  const int nMain = nIConvOpenOn(std::this_thread::get_id());
  ASSERT_GE(nMain, 1);
  std::thread::id idOther;
  int nOther = -1;
  std::thread([&] {
    idOther = std::this_thread::get_id();
    kxvalues::nTextToUTF16(932, sKana.data(), sKana.size(), au, 8);
    nOther = nIConvOpenOn(idOther);
  }).join();
  EXPECT_EQ(1, nOther);
  EXPECT_EQ(0, nIConvOpenOn(idOther));
  EXPECT_EQ(nMain, nIConvOpenOn(std::this_thread::get_id()));
}

}  // namespace
