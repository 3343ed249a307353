#include "CodePage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cctype>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Converts with a counting pass first, then into a buffer of exactly the
// counted size; both passes must agree. `ok` is false when either failed.
std::wstring ToWide(unsigned cp, unsigned flags, const std::string& bytes, bool& ok) {
  const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'#');
  const int written = n > 0 ? MultiByteToWideChar(cp, flags, bytes.data(),
                                                  static_cast<int>(bytes.size()), &out[0], n)
                            : 0;
  ok = n > 0 && written == n;
  EXPECT_EQ(n, written) << "count and conversion disagree, code page " << cp;
  return out;
}

std::string ToBytes(unsigned cp, const std::wstring& text, bool& ok, int* usedDefault = nullptr,
                    const char* defaultChar = nullptr) {
  const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, defaultChar, usedDefault);
  std::string out(n > 0 ? n : 0, '#');
  const int written = n > 0 ? WideCharToMultiByte(cp, 0, text.data(),
                                                  static_cast<int>(text.size()), &out[0], n,
                                                  defaultChar, usedDefault)
                            : 0;
  ok = n > 0 && written == n;
  EXPECT_EQ(n, written) << "count and conversion disagree, code page " << cp;
  return out;
}

struct RoundTrip {
  unsigned cp;
  std::wstring text;
  std::string bytes;  // the expected 8-bit form
};

TEST(CodePage, RoundTripsThroughCodePages) {
  const RoundTrip cases[] = {
      {1252, L"Caf\u00e9 \u20ac \u0152uvre \u2122", "Caf\xe9 \x80 \x8cuvre \x99"},
      // Code page 1 is the OEM page: C-cedilla is 0x80 there, 0xC7 in 1252.
      {1, L"\u00c7a \u2554\u2550\u2557 \u2591", "\x80" "a \xc9\xcd\xbb \xb0"},
      {65001, L"\u00e9\u65e5\U0001F600\uFEFFz", "\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80\xef\xbb\xbfz"},
      {932, L"\u65e5\u672c\u8a9e\u30ab\u30ca", "\x93\xfa\x96\x7b\x8c\xea\x83\x4a\x83\x69"},
      {936, L"\u4e2d\u6587a", "\xd6\xd0\xce\xc4" "a"},
      // Stateful: the text must end back in ASCII mode.
      {50220, L"a\u65e5\u672c", "a\x1b$BF|K\\\x1b(B"},
      // The last letter is only released by the converter at the end of the
      // text (it waits for a possible combining mark).
      {1258, L"Vi\u1ec7t", ""},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.cp);
    bool ok = false;
    int usedDefault = -1;
    const std::string bytes = ToBytes(c.cp, c.text, ok, &usedDefault);
    ASSERT_TRUE(ok);
    EXPECT_EQ(usedDefault, 0);
    if (!c.bytes.empty()) {
      EXPECT_EQ(bytes, c.bytes);
    }
    EXPECT_EQ(ToWide(c.cp, 0, bytes, ok), c.text);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ToWide(c.cp, MB_ERR_INVALID_CHARS, bytes, ok), c.text);
    EXPECT_TRUE(ok);
  }
}

TEST(CodePage, UnlistedCodePagesConvertAsWindows1252) {
  EXPECT_STREQ(CodePageToIConv(1), "CP437");
  EXPECT_STREQ(CodePageToIConv(65001), "UTF-8");
  EXPECT_STREQ(CodePageToIConv(50220), "ISO-2022-JP");
  for (unsigned cp : {0u, 1252u, 437u, 12345u}) {
    SCOPED_TRACE(cp);
    EXPECT_STREQ(CodePageToIConv(cp), "CP1252");
    bool ok = false;
    EXPECT_EQ(ToWide(cp, 0, "\x80\xc7\xe9", ok), L"\u20ac\u00c7\u00e9");
    EXPECT_EQ(ToBytes(cp, L"\u20ac\u00c7", ok), "\x80\xc7");
  }
}

// The built-in Windows-1252 table agrees with the system's converter on every
// byte the converter defines, and keeps the five it leaves undefined.
TEST(CodePage, Windows1252TableMatchesTheSystemConverter) {
  iconv_t cd = iconv_open("UTF-32LE", "CP1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 1; b < 256; ++b) {
    char in = static_cast<char>(b);
    char* pIn = &in;
    std::size_t inLeft = 1;
    char32_t expected = 0;
    char* pOut = reinterpret_cast<char*>(&expected);
    std::size_t outLeft = sizeof(expected);
    const bool defined = iconv(cd, &pIn, &inLeft, &pOut, &outLeft) != static_cast<std::size_t>(-1);
    wchar_t got = 0;
    ASSERT_EQ(MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, &in, 1, &got, 1), 1) << b;
    EXPECT_EQ(static_cast<char32_t>(got), defined ? expected : static_cast<char32_t>(b)) << b;
    const bool undefinedByte = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    EXPECT_EQ(defined, !undefinedByte) << b;
  }
  iconv_close(cd);
}

TEST(CodePage, NulTerminatedLengthIncludesTheNul) {
  EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\u00e9", -1, nullptr, 0, nullptr, nullptr), 3);
  char out[3];
  ASSERT_EQ(WideCharToMultiByte(65001, 0, L"\u00e9", -1, out, 3, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(out, 3), std::string("\xc3\xa9\0", 3));

  EXPECT_EQ(MultiByteToWideChar(65001, 0, "\xc3\xa9", -1, nullptr, 0), 2);
  wchar_t wide[2] = {L'#', L'#'};
  ASSERT_EQ(MultiByteToWideChar(65001, 0, "\xc3\xa9", -1, wide, 2), 2);
  EXPECT_EQ(wide[0], L'\u00e9');
  EXPECT_EQ(wide[1], L'\0');

  EXPECT_EQ(nGetUTF8Len(L""), 1);
  EXPECT_EQ(nGetUTF8Len(nullptr), 1);
  EXPECT_EQ(nGetUTF8Len(L"a\u00e9\u65e5\U0001F600"), 1 + 2 + 3 + 4 + 1);
}

TEST(CodePage, UnencodableCharactersBecomeTheDefaultText) {
  struct Case {
    unsigned cp;
    std::wstring text;
    const char* defaultChar;
    std::string expected;
  };
  const Case cases[] = {
      {1252, L"a\u4e2db", nullptr, "a?b"},
      {1252, L"\u4e2d\u4e2d", "<none>", "<none><none>"},
      {1252, L"x\u4e2d", "", "x"},
      // C1 controls have no place in Windows-1252 on the way out.
      {1252, L"\u0080\u0081\u009f", nullptr, "???"},
      // Not Unicode scalar values.
      {65001, L"a\xd800" L"b", nullptr, "a?b"},
      {65001, std::wstring(1, static_cast<wchar_t>(0x110000)), nullptr, "?"},
      // The default text is written in ASCII mode between two JIS runs.
      {50220, L"\u65e5\u00e9\u672c", nullptr, "\x1b$BF|\x1b(B?\x1b$BK\\\x1b(B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    bool ok = false;
    int usedDefault = 0;
    EXPECT_EQ(ToBytes(c.cp, c.text, ok, &usedDefault, c.defaultChar), c.expected);
    EXPECT_EQ(usedDefault, 1);
  }
  // A clean conversion clears the flag; without a flag pointer nothing breaks.
  int usedDefault = 1;
  char out[4];
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"abc", 3, out, 4, nullptr, &usedDefault), 3);
  EXPECT_EQ(usedDefault, 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"\u4e2d", 1, out, 4, nullptr, nullptr), 1);
  EXPECT_EQ(out[0], '?');
}

TEST(CodePage, BufferTooSmallGivesZero) {
  wchar_t wide[8];
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcd", 4, wide, 3), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "ab\xc3\xa9", 4, wide, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "ab\xc3\xa9", 4, wide, 3), 3);
  char bytes[8];
  EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\u00e9", -1, bytes, 2, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"abcd", 4, bytes, 3, nullptr, nullptr), 0);
  // The default text must fit too.
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a\u4e2d", 2, bytes, 2, "<>", nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a\u4e2d", 2, bytes, 3, "<>", nullptr), 3);
  EXPECT_EQ(MultiByteToMultiByte(1252, "\xe9", 1, 65001, bytes, 1), 0);
}

TEST(CodePage, InvalidArgumentsGiveZero) {
  wchar_t wide[4];
  char bytes[4];
  EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, 1, wide, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", -2, wide, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "a", 1, wide, -1), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, nullptr, 1, bytes, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a", -2, bytes, 4, nullptr, nullptr), 0);
  EXPECT_EQ(MultiByteToMultiByte(1252, nullptr, 1, 65001, bytes, 4), 0);
}

// Invalid input: without the flag it is skipped and the rest is kept, the
// count agreeing with the conversion wherever the bad byte lies; with the flag
// it fails. Windows-1252 defines every byte.
TEST(CodePage, InvalidBytesAreSkippedOrRefused) {
  const std::string letters = "abcdefghijklmnopqrst";  // longer than a counting piece
  const std::wstring wletters = L"abcdefghijklmnopqrst";
  struct Case {
    unsigned cp;
    std::string bytes;
    std::wstring lenient;  // result without the flag
    bool strictFails;
  };
  const Case cases[] = {
      {1252, "a\x81" "b\x8d\x8f\x90\x9d", L"a\u0081b\u008d\u008f\u0090\u009d", false},
      {1252, letters + "\x9d", wletters + L"\u009d", false},
      {0, "\x90" + letters, L"\u0090" + wletters, false},
      {65001, "ab\xff" "cd", L"abcd", true},
      {65001, "\xff" + letters, wletters, true},
      {65001, letters.substr(0, 9) + "\x80" + letters.substr(9), wletters, true},
      {65001, letters + "\xfe", wletters, true},
      // A lead byte followed by no continuation, then more text.
      {65001, "a\xc3" "bc", L"abc", true},
      // An incomplete sequence at the very end is dropped.
      {65001, letters + "\xe6\x97", wletters, true},
      {65001, "\xc3", L"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.cp << " " << testing::PrintToString(c.bytes));
    bool ok = false;
    EXPECT_EQ(ToWide(c.cp, 0, c.bytes, ok), c.lenient);
    EXPECT_EQ(ok, !c.lenient.empty());
    const int strictCount = MultiByteToWideChar(c.cp, MB_ERR_INVALID_CHARS, c.bytes.data(),
                                                static_cast<int>(c.bytes.size()), nullptr, 0);
    std::vector<wchar_t> buffer(c.bytes.size() + 1);
    const int strictWritten =
        MultiByteToWideChar(c.cp, MB_ERR_INVALID_CHARS, c.bytes.data(),
                            static_cast<int>(c.bytes.size()), buffer.data(),
                            static_cast<int>(buffer.size()));
    if (c.strictFails) {
      EXPECT_EQ(strictCount, 0);
      EXPECT_EQ(strictWritten, 0);
    } else {
      EXPECT_EQ(strictCount, static_cast<int>(c.lenient.size()));
      EXPECT_EQ(std::wstring(buffer.data(), strictWritten), c.lenient);
    }
  }
  // Many bad bytes spread over a long text: every counting piece sees some.
  std::string bytes;
  std::wstring expected;
  for (int i = 0; i < 200; ++i) {
    bytes += "\xc3\xa9\xe6\x97\xa5" "a\xff";
    expected += L"\u00e9\u65e5a";
  }
  bool ok = false;
  EXPECT_EQ(ToWide(65001, 0, bytes, ok), expected);
  EXPECT_TRUE(ok);
}

// Whatever the text, the count is exactly the room the conversion needs:
// a buffer of that size takes the whole text, one unit less gives 0.
TEST(CodePage, CountIsExactlyTheRoomNeeded) {
  const unsigned pages[] = {1252, 1, 874, 932, 936, 949, 950, 1250, 1251, 1253, 1254,
                            1255, 1256, 1257, 1258, 1361, 50220, 65001};
  const wchar_t wideAlphabet[] = {L'a', L' ', 0xe9, 0x20ac, 0x65e5, 0x4e2d, 0x30ab, 0x0414,
                                  0x05d0, 0x0e01, 0x1ec7, 0x0301, 0x0081, 0xd800, 0x1F600};
  unsigned seed = 12345;
  auto next = [&seed](unsigned range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  for (unsigned cp : pages) {
    SCOPED_TRACE(cp);
    for (int round = 0; round < 150; ++round) {
      std::string bytes;
      std::wstring text;
      const unsigned length = 1 + next(40);
      for (unsigned i = 0; i < length; ++i) {
        bytes += next(3) == 0 ? static_cast<char>(next(256)) : static_cast<char>('a' + next(26));
        text += wideAlphabet[next(sizeof(wideAlphabet) / sizeof(wideAlphabet[0]))];
      }
      for (unsigned flags : {0u, MB_ERR_INVALID_CHARS}) {
        const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
        if (n == 0) continue;  // a text with nothing valid in it
        std::vector<wchar_t> out(n);
        ASSERT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                                      out.data(), n),
                  n)
            << testing::PrintToString(bytes);
        if (n > 1) {  // a length of 0 would ask for the count
          ASSERT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                                        out.data(), n - 1),
                    0);
        }
      }
      for (const char* defaultChar : {static_cast<const char*>(nullptr), "", "[?]"}) {
        const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, defaultChar, nullptr);
        if (n == 0) continue;
        std::vector<char> out(n);
        ASSERT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), n, defaultChar, nullptr),
                  n);
        if (n > 1) {
          ASSERT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()),
                                        out.data(), n - 1, defaultChar, nullptr),
                    0);
        }
      }
    }
  }
}

TEST(CodePage, MultiByteToMultiByte) {
  struct Case {
    unsigned from;
    std::string src;
    unsigned to;
    std::string expected;
  };
  const Case cases[] = {
      {1252, "Caf\xe9 \x80", 65001, "Caf\xc3\xa9 \xe2\x82\xac"},
      {65001, "Caf\xc3\xa9 \xe2\x82\xac", 1252, "Caf\xe9 \x80"},
      {65001, "\xe4\xb8\xad!", 1252, "?!"},
      {1252, "\x81", 65001, "\xc2\x81"},
      {65001, "a\xff" "b", 1, "ab"},
      {932, "\x93\xfa", 936, "\xc8\xd5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.src));
    const int n =
        MultiByteToMultiByte(c.from, c.src.data(), static_cast<int>(c.src.size()), c.to, nullptr, 0);
    ASSERT_EQ(n, static_cast<int>(c.expected.size()));
    std::string out(n, '#');
    ASSERT_EQ(MultiByteToMultiByte(c.from, c.src.data(), static_cast<int>(c.src.size()), c.to,
                                   &out[0], n),
              n);
    EXPECT_EQ(out, c.expected);
  }
  char out[8];
  ASSERT_EQ(MultiByteToMultiByte(1252, "\xe9", -1, 65001, out, 8), 3);
  EXPECT_STREQ(out, "\xc3\xa9");
}

TEST(CodePage, SetsAndUnsetsTheUtf8Locale) {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(current, nullptr);
  const std::string saved = current;

  ASSERT_TRUE(SetLocaleUTF8());
  std::string name = std::setlocale(LC_CTYPE, nullptr);
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_TRUE(name.find("utf8") != std::string::npos || name.find("utf-8") != std::string::npos)
      << name;

  const char* unset = UnsetLocale(LC_CTYPE);
  ASSERT_NE(unset, nullptr);
  EXPECT_STREQ(unset, "C");
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");

  ASSERT_NE(std::setlocale(LC_CTYPE, saved.c_str()), nullptr);
}

}  // namespace
