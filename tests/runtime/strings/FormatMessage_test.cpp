#include "FormatMessage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include "XMalloc.h"

namespace {

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

unsigned CallW(unsigned flags, const wchar_t* source, wchar_t* buffer, unsigned size, ...) {
  va_list args;
  va_start(args, size);
  const unsigned result = FormatMessageW(flags, source, 0, 0, buffer, size, &args);
  va_end(args);
  return result;
}

unsigned CallWin(unsigned flags, const wchar_t* source, wchar_t* buffer, unsigned size, ...) {
  va_list args;
  va_start(args, size);
  const unsigned result = FormatMessageWin(flags, source, 0, 0, buffer, size, &args);
  va_end(args);
  return result;
}

// Runs a test body under the "C" locale (English system texts) and puts the
// former one back.
class CLocaleC {
 public:
  CLocaleC() : m_saved(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, "C"); }
  ~CLocaleC() { std::setlocale(LC_ALL, m_saved.c_str()); }

 private:
  std::string m_saved;
};

TEST(FormatMessage, PrintfStyleIntoNewOrGivenBuffer) {
  wchar_t* text = nullptr;
  ASSERT_EQ(CallW(0x500, L"%s=%d", reinterpret_cast<wchar_t*>(&text), 0, L"ab", 12), 5u);
  EXPECT_EQ(std::wstring(text), L"ab=12");
  XMALLOC_Del_(text);

  // At least `size` characters: the last one is writable.
  ASSERT_EQ(CallW(0x500, L"%S", reinterpret_cast<wchar_t*>(&text), 300, "x"), 1u);
  text[299] = 0;
  EXPECT_EQ(std::wstring(text), L"x");
  XMALLOC_Del_(text);

  wchar_t buffer[8];
  EXPECT_EQ(CallW(0x400, L"[%s]", buffer, 8, L"abc"), 5u);
  EXPECT_EQ(std::wstring(buffer), L"[abc]");
  EXPECT_EQ(CallW(0x400, L"%s", buffer, 8, L"too long text"), 0u);

  char narrow[16];
  va_list* none = nullptr;
  EXPECT_EQ(FormatMessageA(0x400, "plain", 0, 0, narrow, 16, none), 5u);
  EXPECT_STREQ(narrow, "plain");
}

TEST(FormatMessage, FailedFormattingStoresNull) {
  CLocaleC locale;
  wchar_t* text = reinterpret_cast<wchar_t*>(1);
  EXPECT_EQ(CallW(0x500, L"%C", reinterpret_cast<wchar_t*>(&text), 0, 0xE9), 0u);
  EXPECT_EQ(text, nullptr);
}

TEST(FormatMessage, SystemTexts) {
  CLocaleC locale;
  const std::wstring noEntry = Widen(std::strerror(ENOENT));
  const std::wstring noAccess = Widen(std::strerror(EACCES));

  wchar_t buffer[256];
  errno = ENOENT;
  ASSERT_EQ(FormatMessageW(0x1000, nullptr, 0, 0, buffer, 256, nullptr), noEntry.size());
  EXPECT_EQ(std::wstring(buffer), noEntry);

  errno = EACCES;
  ASSERT_EQ(FormatMessageWin(0x1000, nullptr, 0, 0, buffer, 256, nullptr), noAccess.size());
  EXPECT_EQ(std::wstring(buffer), noAccess);
  ASSERT_EQ(FormatMessageWin(0x1000, nullptr, ENOENT, 0, buffer, 5, nullptr), 4u);
  EXPECT_EQ(std::wstring(buffer), noEntry.substr(0, 4));

  wchar_t* text = nullptr;
  ASSERT_EQ(FormatMessageWin(0x1100, nullptr, ENOENT, 0, reinterpret_cast<wchar_t*>(&text), 400, nullptr),
            noEntry.size());
  text[400] = 0;  // max(length, size) + 1 characters
  EXPECT_EQ(std::wstring(text), noEntry.substr(0, 400));
  XMALLOC_Del_(text);
}

TEST(FormatMessage, InsertionLanguage) {
  const std::uint64_t array[] = {7, reinterpret_cast<std::uintptr_t>(L"w")};
  struct Row {
    const char* name;
    unsigned result;
    std::wstring text;
    const wchar_t* expected;
  };
  wchar_t b[20][64];
  const Row rows[] = {
      {"order", CallWin(0x400, L"%2 and %1", b[0], 64, L"a", L"b"), b[0], L"b and a"},
      {"printf format", CallWin(0x400, L"%2!d!-%1", b[1], 64, L"x", 42), b[1], L"42-x"},
      {"star width", CallWin(0x400, L"[%1!*s!]", b[2], 64, 5, L"ab"), b[2], L"[   ab]"},
      {"two stars", CallWin(0x400, L"[%1!-*.*s!]", b[3], 64, 6, 2, L"abcd"), b[3], L"[ab    ]"},
      {"64 bits", CallWin(0x400, L"%1!I64u!", b[4], 64, 1ULL << 40), b[4], L"1099511627776"},
      {"narrow", CallWin(0x400, L"%1!S!", b[5], 64, "narrow"), b[5], L"narrow"},
      {"%0", CallWin(0x400, L"a%0b", b[6], 64), b[6], L"a"},
      {"%n %r %t %b", CallWin(0x400, L"a%nb%rc%td%be", b[7], 64), b[7], L"a\r\nb\rc\td e"},
      {"escaped", CallWin(0x400, L"100%% %. %!", b[8], 64), b[8], L"100% . !"},
      {"line ends", CallWin(0x400, L"l1\nl2\r\nl3\rl4", b[9], 64), b[9], L"l1\r\nl2\r\nl3\r\nl4"},
      {"no width", CallWin(0x4FF, L"l1\nl2\r\nl3%nl4", b[10], 64), b[10], L"l1 l2 l3\r\nl4"},
      {"ignore", CallWin(0x600, L"%1 %2!d! %% %n", b[11], 64), b[11], L"%1 %2!d! %% \r\n"},
      {"array", FormatMessageWin(0x2400, L"%2-%1!d!", 0, 0, b[12], 64,
                                 reinterpret_cast<va_list*>(const_cast<std::uint64_t*>(array))),
       b[12], L"w-7"},
      {"wrap words", CallWin(0x40A, L"the quick brown fox jumps", b[13], 64), b[13],
       L"the quick\r\nbrown fox\r\njumps"},
      {"wrap blanks", CallWin(0x404, L"ab    cd", b[14], 64), b[14], L"ab\r\ncd"},
      {"wrap long word", CallWin(0x405, L"abcdefghijklmnop", b[15], 64), b[15],
       L"abcde\r\nfghij\r\nklmno\r\np"},
      {"wrap hard break", CallWin(0x405, L"abc%nabcdefg", b[16], 64), b[16], L"abc\r\nabcde\r\nfg"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.text, row.expected);
    EXPECT_EQ(row.result, std::wcslen(row.expected));
  }
}

TEST(FormatMessage, InsertionErrors) {
  struct Row {
    const char* name;
    unsigned flags;
    const wchar_t* source;
    int error;
  };
  const Row rows[] = {
      {"trailing %", 0x400, L"abc%", EINVAL},
      {"three digits", 0x400, L"%100", EINVAL},
      {"unclosed format", 0x400, L"%1!d", EINVAL},
      {"floating point", 0x400, L"%1!f!", EINVAL},
      {"three stars", 0x400, L"%1!*.*s*!", EINVAL},
      {"format too long", 0x400, L"%1!0000000000000000000000000000000d!", EINVAL},
      {"trailing % ignored inserts", 0x600, L"abc%", EINVAL},
      {"from module", 0xC00, L"x", EINVAL},
      {"no source kind", 0x100, L"x", EINVAL},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    wchar_t buffer[64];
    errno = 0;
    EXPECT_EQ(CallWin(row.flags, row.source, buffer, 64, L"arg", 0, 0, 0), 0u);
    EXPECT_EQ(errno, row.error);
  }

  wchar_t buffer[64];
  errno = 0;
  EXPECT_EQ(FormatMessageWin(0x400, L"%1", 0, 0, buffer, 64, nullptr), 0u);
  EXPECT_EQ(errno, EINVAL);

  wchar_t* text = reinterpret_cast<wchar_t*>(1);
  errno = 0;
  EXPECT_EQ(CallWin(0x500, L"%1!f!", reinterpret_cast<wchar_t*>(&text), 0, 1), 0u);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(text, reinterpret_cast<wchar_t*>(1));
}

TEST(FormatMessage, InsertionOverflowAndAllocation) {
  wchar_t buffer[8];
  std::wmemset(buffer, L'#', 8);
  errno = 0;
  EXPECT_EQ(CallWin(0x400, L"%1", buffer, 6, L"abcdefghij"), 5u);
  EXPECT_EQ(errno, EOVERFLOW);
  EXPECT_EQ(std::wstring(buffer), L"abcde");
  EXPECT_EQ(buffer[6], L'#');

  wchar_t* text = nullptr;
  ASSERT_EQ(CallWin(0x500, L"x%1y", reinterpret_cast<wchar_t*>(&text), 0, L"A"), 3u);
  EXPECT_EQ(std::wstring(text), L"xAy");
  XMALLOC_Del_(text);

  // The capacity of a new buffer: size rounded down to 65536, plus 65536.
  const std::wstring big(70000, L'z');
  ASSERT_EQ(CallWin(0x500, L"%1", reinterpret_cast<wchar_t*>(&text), 0, big.c_str()), 65535u);
  EXPECT_EQ(std::wstring(text), big.substr(0, 65535));
  XMALLOC_Del_(text);
  ASSERT_EQ(CallWin(0x500, L"%1", reinterpret_cast<wchar_t*>(&text), 65536, big.c_str()), 70000u);
  EXPECT_EQ(std::wstring(text), big);
  XMALLOC_Del_(text);
}

}  // namespace
