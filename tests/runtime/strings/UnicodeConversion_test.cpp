#include "UnicodeConversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/CodePageLocale.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// A heap block holding exactly `bytes` (plus the terminator when asked), so
// that the address checker reports any read past it.
std::unique_ptr<char[]> ExactBlock(const std::string& bytes, bool bTerminate) {
  std::unique_ptr<char[]> p(new char[bytes.size() + (bTerminate ? 1 : 0)]);
  std::memcpy(p.get(), bytes.data(), bytes.size());
  if (bTerminate) p[bytes.size()] = '\0';
  return p;
}

std::wstring Decoded(const std::string& bytes) {
  auto block = ExactBlock(bytes, true);
  std::vector<wchar_t> out(bytes.size() + 1, L'#');
  const long n = UTF8ToWide(out.data(), static_cast<long>(out.size()), block.get());
  EXPECT_EQ(0, out[n]);
  return std::wstring(out.data(), static_cast<std::size_t>(n));
}

std::wstring DecodedWithBudget(const std::string& bytes) {
  auto block = ExactBlock(bytes, false);  // no terminator: the budget alone bounds it
  std::vector<wchar_t> out(bytes.size() + 1, L'#');
  const long n = nUTF8ToWide(out.data(), static_cast<long>(out.size()), block.get(),
                             static_cast<long>(bytes.size()));
  return std::wstring(out.data(), static_cast<std::size_t>(n));
}

// ---------------------------------------------------------------------------
// Decoding

TEST(UnicodeConversion, DecodesAndNeverReadsPastAnEarlyEnd) {
  struct Row {
    std::string bytes;
    std::wstring terminated;   // UTF8ToWide up to the terminator
    std::wstring withBudget;   // nUTF8ToWide over exactly the bytes
  } rows[] = {
      {"\xF0\x90\x80\x80", L"\U00010000", L"\U00010000"},
      {"a\xC3\xA9" "b", L"a\u00E9b", L"a\u00E9b"},
      {"\xE2\x82\xAC", L"\u20AC", L"\u20AC"},
      // A lead whose continuation bytes stop early: '?' and the rest kept.
      {"a\xE2", L"a?", L"a?"},
      {"\xE2" "AB", L"?AB", L"?AB"},
      {"\xE2\x82" "A", L"?A", L"?A"},
      // A stray continuation byte: '?' for exactly one byte.
      {"\x80" "A", L"?A", L"?A"},
      {"\xBF\xBF", L"??", L"??"},
      // Leads of 5 and 6 bytes decode their payload bits.
      {"\xF8\x88\x80\x80\x80", std::wstring(1, static_cast<wchar_t>(0x200000)),
       std::wstring(1, static_cast<wchar_t>(0x200000))},
      {"\xFD\xBF\xBF\xBF\xBF\xBF", std::wstring(1, static_cast<wchar_t>(0x7FFFFFFF)),
       std::wstring(1, static_cast<wchar_t>(0x7FFFFFFF))},
      // The budget ends inside a sequence: one '?' and the rest dropped.
      {"ab\xF0\x9F\x98", L"ab?", L"ab?"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    EXPECT_EQ(row.terminated, Decoded(row.bytes));
    EXPECT_EQ(row.withBudget, DecodedWithBudget(row.bytes));
  }
}

TEST(UnicodeConversion, GetNextStepsAndBudget) {
  auto block = ExactBlock("\xE2" "A", true);
  const char* p = block.get();
  EXPECT_EQ(L'?', UTF8_GetNext(&p));
  EXPECT_EQ(block.get() + 1, p);

  // Under a budget a stray continuation byte costs one byte.
  auto stray = ExactBlock("\x80", false);
  p = stray.get();
  long nLeft = 1;
  EXPECT_EQ(L'?', UTF8_GetNext(&p, &nLeft));
  EXPECT_EQ(0, nLeft);
  EXPECT_EQ(stray.get() + 1, p);

  // Too few bytes for the lead: '?', budget emptied, no move.
  auto cut = ExactBlock("\xE2\x82", false);
  p = cut.get();
  nLeft = 2;
  EXPECT_EQ(L'?', UTF8_GetNext(&p, &nLeft));
  EXPECT_EQ(0, nLeft);
  EXPECT_EQ(cut.get(), p);

  // An exhausted budget reads nothing, even from a pointer past the block.
  p = cut.get() + 2;
  nLeft = 0;
  EXPECT_EQ(L'?', UTF8_GetNext(&p, &nLeft));
}

TEST(UnicodeConversion, StepsAndCountsCharacters) {
  struct Row {
    std::string bytes;
    int firstLen;       // UTF8Len
    long wideLen;       // UTF8ToWideLen
  } rows[] = {
      {"a", 1, 1},
      {"\xC3\xA9\xA9", 2, 2},                     // at most L - 1 continuations
      {"\xE2" "A", 1, 2},                         // stops at a non-continuation
      {"\x80\x80\x80\x80\x80\x80\x80", 6, 2},     // stray: at most 5 more
      {"\xFC\x80\x80\x80\x80\x80\x80", 6, 2},
      {"a\xC3\xA9\x80" "b", 1, 4},
      {"", 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    auto block = ExactBlock(row.bytes, true);
    EXPECT_EQ(row.firstLen, UTF8Len(block.get()));
    EXPECT_EQ(row.wideLen, UTF8ToWideLen(block.get()));
  }
}

// The word-at-a-time count against a byte-by-byte one, for every alignment
// of the text and every position of its terminator, with the block ending
// at the terminator.
TEST(UnicodeConversion, StrLenUTF8AtEveryAlignmentAndLength) {
  const std::string pattern = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\x80\xBF" "bc";
  for (std::size_t align = 0; align < 8; ++align) {
    for (std::size_t len = 0; len <= 40; ++len) {
      char* base = static_cast<char*>(std::malloc(align + len + 1));
      ASSERT_NE(nullptr, base);
      ASSERT_EQ(0u, reinterpret_cast<std::uintptr_t>(base) & 7);
      char* p = base + align;
      for (std::size_t i = 0; i < len; ++i) p[i] = pattern[i % pattern.size()];
      p[len] = '\0';
      long expected = 0;
      std::vector<long> prefix(1, 0);  // characters within the first k bytes
      for (std::size_t i = 0; i < len; ++i) {
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) ++expected;
        prefix.push_back(expected);
      }
      EXPECT_EQ(expected, StrLenUTF8(p)) << "alignment " << align << ", length " << len;
      for (std::size_t k = 0; k <= len + 1; ++k)
        EXPECT_EQ(prefix[k < len ? k : len], StrNLenUTF8(p, static_cast<long>(k)))
            << "alignment " << align << ", length " << len << ", limit " << k;
      // A limit beyond the block: the terminator still ends the count.
      EXPECT_EQ(expected, StrNLenUTF8(p, static_cast<long>(len) + 64));
      std::free(base);
    }
  }
  EXPECT_EQ(1, StrLenUTF8("\xC3\xA9"));
  EXPECT_EQ(0, StrNLenUTF8("abc", -1));
}

TEST(UnicodeConversion, ValidityIgnoresOverlongSurrogateAndRange) {
  struct Row {
    const char* bytes;
    long n;
    bool valid;
  } rows[] = {
      {"\xC0\x80", 2, true},              // overlong, not examined
      {"\xED\xA0\x80", 3, true},          // surrogate, not examined
      {"\xF4\x90\x80\x80", 4, true},      // above U+10FFFF, not examined
      {"\xF8\x88\x80\x80\x80", 5, false}, // no 5-byte leads
      {"\x80", 1, false},
      {"\xC3\xA9", 1, false},             // continuation beyond the length
      {"\xC3" "A", 2, false},
      {"a\xC3\xA9", -1, true},
      {"a\0\xFF", 3, true},               // a zero byte ends the check
      {"\xFF", -5, true},                 // n < 1
      {nullptr, 0, true},
      {nullptr, -1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes ? row.bytes : "(null)"));
    EXPECT_EQ(row.valid, UTF8Valide(row.bytes, row.n));
  }
}

TEST(UnicodeConversion, FirstCharacter) {
  struct Row {
    const char* bytes;
    int n;
    int code;
    int used;
  } rows[] = {
      {"A", 1, 0x41, 1},
      {"\xC3\xA9", 2, 0xE9, 2},
      {"\xC3\xA9", 1, -1, 0},            // too few bytes
      {"\xE2\x82\xAC" "x", 4, 0x20AC, 3},
      {"\xF0\x9F\x98\x80", 4, 0x1F600, 4},
      {"\xF8\x88\x80\x80\x80", 5, -1, 0},
      {"\xE2" "AB", 3, -1, 0},
      {"\x80\x80", 2, 0, 2},             // a lead below 0xE0 with a continuation
      {"A", 0, -1, 0},
      {nullptr, 3, -1, 0},
  };
  for (const Row& row : rows) {
    int n = row.n;
    EXPECT_EQ(row.code, UTF8FirstChar(row.bytes, &n)) << testing::PrintToString(row.bytes);
    EXPECT_EQ(row.used, n) << testing::PrintToString(row.bytes);
  }
}

// ---------------------------------------------------------------------------
// Encoding

TEST(UnicodeConversion, EncodesEveryRangeBoundary) {
  struct Row {
    std::uint32_t c;
    std::string bytes;
  } rows[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xD800, "\xED\xA0\x80"},  // surrogates encode like any other value
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0x110000, "?"},
      {0xFFFFFFFF, "?"},  // the end marker, or any negative value
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.c);
    char out[8];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(static_cast<int>(row.bytes.size()), UTF32ToUTF8(row.c, out));
    EXPECT_EQ(row.bytes, std::string(out));

    const wchar_t wide[] = {static_cast<wchar_t>(row.c), L'z', 0};
    EXPECT_EQ(static_cast<long>(row.bytes.size()) + 1, UTF8ByteLen(wide));
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(static_cast<long>(row.bytes.size()) + 1, WideToUTF8(out, wide));
    EXPECT_EQ(row.bytes + "z", std::string(out));

    if (row.c <= 0x10FFFF) {
      EXPECT_EQ(static_cast<wchar_t>(row.c), Decoded(row.bytes)[0]);
    }
  }
}

TEST(UnicodeConversion, BoundedEncoders) {
  char out[8];
  std::memset(out, 0x55, sizeof out);
  // The 3-byte character and the terminator fill 4 bytes: 'A' must wait.
  EXPECT_EQ(3, WideToUTF8(out, 4, L"\u20AC" L"A"));
  EXPECT_EQ("\xE2\x82\xAC", std::string(out));
  EXPECT_EQ(0x55, out[4]);
  std::memset(out, 0x55, sizeof out);
  EXPECT_EQ(0, WideToUTF8(out, 3, L"\u20AC"));
  EXPECT_EQ('\0', out[0]);
  EXPECT_EQ(0, WideToUTF8(out, 0, L"a"));

  // n = -1 takes the terminator; no terminator of its own.
  std::memset(out, 0x55, sizeof out);
  EXPECT_EQ(3, nWideToUTF8(out, 8, L"\u00E9", -1));
  EXPECT_EQ(std::string("\xC3\xA9\0", 3), std::string(out, 3));
  EXPECT_EQ(0x55, out[3]);
  std::memset(out, 0x55, sizeof out);
  EXPECT_EQ(1, nWideToUTF8(out, 2, L"a\u20AC", 2));
  EXPECT_EQ('a', out[0]);
  EXPECT_EQ(0x55, out[1]);

  struct Row {
    const wchar_t* text;
    long n;
    long total;
  } rows[] = {{L"ab", 5, 3}, {L"ab", 2, 2}, {L"", 3, 1}, {L"ab", 0, 0}, {L"\u20AC", 1, 3}};
  for (const Row& row : rows) EXPECT_EQ(row.total, UTF8ByteLenTotal(row.text, row.n)) << row.n;
}

TEST(UnicodeConversion, BoundedDecoders) {
  wchar_t out[4];
  std::fill(out, out + 4, L'#');
  EXPECT_EQ(2, UTF8ToWide(out, 3, "abc"));
  EXPECT_EQ(std::wstring(L"ab"), std::wstring(out));
  EXPECT_EQ(L'#', out[3]);
  EXPECT_EQ(0, UTF8ToWide(out, 0, "abc"));

  std::fill(out, out + 4, L'#');
  EXPECT_EQ(3, nUTF8ToWide(out, 4, "\xC3\xA9z", -1));  // the terminator too
  EXPECT_EQ(std::wstring(L"\u00E9z"), std::wstring(out));
  EXPECT_EQ(2, nUTF8ToWide(out, 2, "abc", 3));
  EXPECT_EQ(0, nUTF8ToWide(out, 4, "abc", 0));
}

TEST(UnicodeConversion, UTF8ToUTF16PairsOnlyWithRoom) {
  struct Row {
    std::string bytes;
    long size;
    std::vector<unsigned short> units;
  } rows[] = {
      {"\xF0\x90\x80\x80", 4, {0xD800, 0xDC00}},
      {"\xF4\x8F\xBF\xBF", 4, {0xDBFF, 0xDFFF}},
      {"\xEF\xBF\xBF", 4, {0xFFFF}},
      {"a\xF0\x90\x80\x80", 3, {'a'}},            // a pair needs 3 units of room
      {"\xF0\x90\x80\x80", 3, {0xD800, 0xDC00}},
      {"\xF4\x90\x80\x80", 4, {'?'}},             // beyond UTF-16
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    auto block = ExactBlock(row.bytes, false);
    std::vector<unsigned short> out(static_cast<std::size_t>(row.size), 0x5555);
    const long n =
        UTF8ToUTF16(out.data(), row.size, block.get(), static_cast<long>(row.bytes.size()));
    EXPECT_EQ(row.units, std::vector<unsigned short>(out.begin(), out.begin() + n));
  }
  EXPECT_EQ(1, UTF8ToUTF16Len("\xEF\xBF\xBF", 3));
  EXPECT_EQ(2, UTF8ToUTF16Len("\xF0\x90\x80\x80", 4));
  EXPECT_EQ(4, UTF8ToUTF16Len("a\xF0\x90\x80\x80", -1));  // with the terminator
}

// ---------------------------------------------------------------------------
// Unit-for-unit conversions

TEST(UnicodeConversion, UTF16WidensInPlaceWithoutPairing) {
  const unsigned short units[] = {'a', 0xE9, 0xD83D, 0xDE00, 0};
  wchar_t buffer[8];
  std::memcpy(buffer, units, sizeof units);
  auto* in = reinterpret_cast<unsigned short*>(buffer);  // output over its own input
  EXPECT_EQ(5, UTF16ToWideChar(in, -1, nullptr, 0));
  EXPECT_EQ(5, UTF16ToWideChar(in, -1, buffer, 8));
  const wchar_t expected[] = {L'a', 0xE9, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(0, std::memcmp(expected, buffer, sizeof expected));

  // Narrowing in place keeps the low 16 bits and forms no pairs.
  const wchar_t wide[] = {L'a', 0x1F600, 0x20AC, 0};
  std::memcpy(buffer, wide, sizeof wide);
  EXPECT_EQ(4, WideCharToUTF16(buffer, -1, nullptr, 0));
  EXPECT_EQ(3, WideCharToUTF16(buffer, -1, reinterpret_cast<unsigned short*>(buffer), 3));
  const unsigned short narrowed[] = {'a', 0xF600, 0x20AC};
  EXPECT_EQ(0, std::memcmp(narrowed, buffer, sizeof narrowed));
  EXPECT_EQ(0, WideCharToUTF16(wide, -2, reinterpret_cast<unsigned short*>(buffer), 3));

  const unsigned int utf32[] = {0x1F600, 'b', 0};
  wchar_t copy[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(3, UTF32ToWideChar(utf32, -1, nullptr, 0));
  EXPECT_EQ(2, UTF32ToWideChar(utf32, -1, copy, 2));
  EXPECT_EQ(static_cast<wchar_t>(0x1F600), copy[0]);
  EXPECT_EQ(L'#', copy[2]);
  unsigned int back[3] = {};
  EXPECT_EQ(3, WideCharToUTF32(copy, 3, back, 3));
  EXPECT_EQ(0x1F600u, back[0]);
}

TEST(UnicodeConversion, ANSIWideningIsZeroExtending) {
  wchar_t wide[5];
  EXPECT_EQ(3, ANSIToWideChar(wide, 5, "\xFF\x80" "a"));
  EXPECT_EQ(0xFF, wide[0]);  // never the end marker 0xFFFFFFFF
  EXPECT_EQ(0x80, wide[1]);
  EXPECT_EQ(L'a', wide[2]);
  EXPECT_EQ(0, wide[3]);
  EXPECT_EQ(1, ANSIToWideChar(wide, 2, "xyz"));
  EXPECT_EQ(0, wide[1]);

  char narrow[4];
  EXPECT_EQ(3, WideCharToANSI(narrow, 4, L"\u01E9\u20ACz!"));
  EXPECT_EQ("\xE9\xAC" "z", std::string(narrow));
}

// ---------------------------------------------------------------------------
// Code pages and UTF-8

std::string ToUTF8(unsigned cp, const std::string& in, long size, long* result = nullptr) {
  std::vector<char> out(static_cast<std::size_t>(size), '\x55');
  const long n = MultiByteToUTF8(cp, in.data(), static_cast<long>(in.size()), out.data(), size);
  for (long i = n; i < size; ++i) EXPECT_EQ('\0', out[static_cast<std::size_t>(i)]) << "byte " << i;
  if (result) *result = n;
  return std::string(out.data(), static_cast<std::size_t>(n));
}

TEST(UnicodeConversion, MultiByteToUTF8KeepsCharactersWhole) {
  struct Row {
    unsigned cp;
    std::string in;
    std::string out;
  } rows[] = {
      {1252, "A\xE9" "B", "A\xC3\xA9" "B"},
      {1252, "\x80\x81", "\xE2\x82\xAC\xC2\x81"},
      {65001, "a\xC3\xA9", "a\xC3\xA9"},
      {932, "\x83\x41", "\xE3\x82\xA2"},               // trail byte below 0x80
      {932, "x\x83\x41y", "x\xE3\x82\xA2y"},
      {932, "\x83\x83\x41", "\xE3\x83\xA3" "A"},       // lead + high trail, then ASCII
      {932, "\xB1\x41", "\xEF\xBD\xB1" "A"},           // single-byte katakana
      {936, "\x81\x40", "\xE4\xB8\x82"},
      {949, "\x81\x41", "\xEA\xB0\x82"},
      {950, "\xA4\x40", "\xE4\xB8\x80"},
      {1361, "a\\~b", "a\\~b"},                        // a lone backslash stays one
      {1361, "\x88\x61\\", "\xEA\xB0\x80\\"},
      {1361, "\xD9\x31", "\xE3\x80\x80"},
      {50220, "\x1B$B0!\x1B(B", "\xE4\xBA\x9C"},       // shift sequences in one pass
      // A run that converts to nothing makes the whole result empty.
      {932, "a\x83", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.in) + " in " + std::to_string(row.cp));
    EXPECT_EQ(row.out, ToUTF8(row.cp, row.in, 32));
  }
}

TEST(UnicodeConversion, MultiByteToUTF8Bounds) {
  long n = -1;
  EXPECT_EQ("abc", ToUTF8(1252, "abcdef", 4, &n));
  EXPECT_EQ(3, n);
  // A run that does not fit ends the conversion before it.
  EXPECT_EQ("a", ToUTF8(1252, "a\xE9\xE9", 4));
  EXPECT_EQ("ab", ToUTF8(65001, "abc", 3));
  EXPECT_EQ("", ToUTF8(1252, "", 4));

  char out[8];
  std::memset(out, 0x55, sizeof out);
  EXPECT_EQ(3, MultiByteToUTF8(1252, "a\xE9", -7, out, 8));  // negative: the whole text
  EXPECT_EQ("a\xC3\xA9", std::string(out));
  EXPECT_EQ(0, MultiByteToUTF8(1252, "a", 1, out, 0));
}

// Runs of 255 and 256 bytes straddle the stack and heap intermediates.
TEST(UnicodeConversion, LongRunsBothWays) {
  for (std::size_t nRun : {255u, 256u, 1000u}) {
    SCOPED_TRACE(nRun);
    const std::string in = "a" + std::string(nRun, '\xE9') + "b";
    std::string utf8 = "a";
    for (std::size_t i = 0; i < nRun; ++i) utf8 += "\xC3\xA9";
    utf8 += "b";
    EXPECT_EQ(utf8, ToUTF8(1252, in, static_cast<long>(utf8.size()) + 1));

    std::vector<char> back(in.size() + 1, '\x55');
    EXPECT_EQ(static_cast<long>(in.size()),
              UTF8ToMultiByte(1252, utf8.data(), static_cast<long>(utf8.size()), back.data(),
                              static_cast<long>(back.size())));
    EXPECT_EQ(in, std::string(back.data()));
  }
  // A 255-byte UTF-8 run: 85 euro signs.
  std::string euros;
  for (int i = 0; i < 85; ++i) euros += "\xE2\x82\xAC";
  std::vector<char> out(100);
  EXPECT_EQ(85, UTF8ToMultiByte(1252, euros.data(), -1, out.data(), 100));
  EXPECT_EQ(std::string(85, '\x80'), std::string(out.data()));
}

TEST(UnicodeConversion, UTF8ToMultiByteRuns) {
  struct Row {
    unsigned cp;
    std::string in;
    const char* defaultChar;
    std::string out;
    int usedDefault;
  } rows[] = {
      {1252, "A\xC3\xA9" "B", nullptr, "A\xE9" "B", 0},
      {1252, "\xE2\x82\xAC", nullptr, "\x80", 0},
      {1252, "x\xE4\xB8\x80y", nullptr, "x?y", 1},
      {1252, "x\xE4\xB8\x80y", "#", "x#y", 1},
      {932, "\xE3\x82\xA2" "A", nullptr, "\x83\x41" "A", 0},
      {65001, "\xE4\xB8\x80", nullptr, "\xE4\xB8\x80", 0},
      {1252, "a\xFF", nullptr, "", 0},  // a run that converts to nothing
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.in) + " to " + std::to_string(row.cp));
    char out[16];
    std::memset(out, 0x55, sizeof out);
    int used = -1;
    const long n = UTF8ToMultiByte(row.cp, row.in.data(), static_cast<long>(row.in.size()), out,
                                   sizeof out, 0, row.defaultChar, &used);
    EXPECT_EQ(row.out, std::string(out, static_cast<std::size_t>(n)));
    EXPECT_EQ(row.usedDefault, used);
    for (std::size_t i = static_cast<std::size_t>(n); i < sizeof out; ++i) EXPECT_EQ('\0', out[i]);
  }
  char out[4];
  EXPECT_EQ(3, UTF8ToMultiByte(65001, "abcdef", -1, out, 4));
  EXPECT_EQ("abc", std::string(out));
}

TEST(UnicodeConversion, UTF16AndCodePages) {
  unsigned short units[4] = {0x5555, 0x5555, 0x5555, 0x5555};
  EXPECT_EQ(3, MultiByteToUTF16(1252, 0, "\xE9\x80", -1, nullptr, 0));
  EXPECT_EQ(3, MultiByteToUTF16(1252, 0, "\xE9\x80", -1, units, 4));
  EXPECT_EQ(0xE9, units[0]);
  EXPECT_EQ(0x20AC, units[1]);
  EXPECT_EQ(0, units[2]);
  EXPECT_EQ(0x5555, units[3]);
  EXPECT_EQ(1, MultiByteToUTF16(932, 0, "\x83\x41", 2, units, 4));
  EXPECT_EQ(0x30A2, units[0]);

  const unsigned short text[] = {0xE9, 0x20AC, 0x4E00, 0};
  char out[8];
  int used = -1;
  EXPECT_EQ(4, UTF16ToMultiByte(1252, 0, text, -1, nullptr, 0));
  EXPECT_EQ(4, UTF16ToMultiByte(1252, 0, text, -1, out, 8, nullptr, &used));
  EXPECT_EQ("\xE9\x80?", std::string(out));
  EXPECT_EQ(1, used);
}

TEST(UnicodeConversion, CurrentCharsetFollowsTheLocale) {
  CodePageLocaleScope locale(932);
  char out[8];
  EXPECT_EQ(3, MultiByteToUTF8_CurrentCharset("\x83\x41", 2, out, 8));
  EXPECT_EQ("\xE3\x82\xA2", std::string(out));
  EXPECT_EQ(2, UTF8ToMultiByte_CurrentCharset("\xE3\x82\xA2", 3, out, 8));
  EXPECT_EQ("\x83\x41", std::string(out));
  unsigned short units[2];
  EXPECT_EQ(1, MultiByteToUTF16_CurrentCharset(0, "\x83\x41", 2, units, 2));
  EXPECT_EQ(0x30A2, units[0]);
}

// ---------------------------------------------------------------------------
// 16-bit strings, unaligned wide strings, heap strings

TEST(UnicodeConversion, UTF16Strings) {
  const unsigned short hello[] = {'H', 'e', 'l', 'l', 'o', ' ', 'W', 'o', 'r', 'l', 'd', 0};
  const unsigned short world[] = {'W', 'O', 'R', 'L', 'D', 0};
  const unsigned short abd[] = {'A', 'B', 'D', 0};
  const unsigned short abcabd[] = {'a', 'b', 'c', 'a', 'b', 'd', 0};
  const unsigned short empty[] = {0};
  EXPECT_EQ(11u, utf16len(hello));
  EXPECT_EQ(4u, utf16nlen(hello, 4));
  EXPECT_EQ(0u, utf16nlen(hello, -3));

  EXPECT_EQ(0, utf16nicmp(hello + 6, world, 5));
  EXPECT_LT(utf16nicmp(abcabd, abd, 3), 0);  // 'c' < 'd' once lowered
  EXPECT_EQ(0, utf16nicmp(empty, empty, 9));

  struct Row {
    const unsigned short* hay;
    const unsigned short* needle;
    long n;
    long at;  // -1: null
  } rows[] = {
      {hello, world, 12, 6}, {hello, world, 11, 6}, {hello, world, 10, -1},
      {abcabd, abd, 7, 3},   {hello, empty, 3, 0},  {hello, world, 0, -1},
      {empty, abd, 5, -1},   {abd, abd, 3, -1},     // longer than n - 1
  };
  for (const Row& row : rows) {
    const unsigned short* found = utf16niutf16(row.hay, row.needle, row.n);
    EXPECT_EQ(row.at < 0 ? nullptr : row.hay + row.at, found) << "n " << row.n;
  }

  unsigned short copy[6] = {9, 9, 9, 9, 9, 9};
  utf16ncpy(copy, abd, 6);
  EXPECT_EQ(0, std::memcmp(copy, abd, 3 * sizeof(unsigned short)));
  EXPECT_EQ(9, copy[3]);  // no terminator of its own
}

TEST(UnicodeConversion, UnalignedWideStrings) {
  const wchar_t text[] = L"ab\u20AC\U0001F600";
  for (std::size_t offset = 0; offset < 4; ++offset) {
    SCOPED_TRACE(offset);
    alignas(8) char source[64] = {};
    alignas(8) char target[64];
    std::memcpy(source + offset, text, sizeof text);
    auto* in = reinterpret_cast<const wchar_t*>(source + offset);
    EXPECT_EQ(4u, __UNALIGNED__UNICODE__STRLEN__(in));

    // Into an output at another alignment (both aligned for offset 0),
    // zero-filling the rest of n.
    std::memset(target, 0x55, sizeof target);
    auto* out = reinterpret_cast<wchar_t*>(target + (offset * 3) % 4);
    EXPECT_EQ(out, __UNALIGNED__UNICODE__STRNCPY__(out, in, 7));
    wchar_t result[8];
    std::memcpy(result, target + (offset * 3) % 4, sizeof result);
    EXPECT_EQ(0, std::memcmp(text, result, sizeof text));
    EXPECT_EQ(0, result[5]);
    EXPECT_EQ(0, result[6]);
    EXPECT_NE(0, result[7]);

    // n shorter than the text: no terminator.
    std::memset(target, 0x55, sizeof target);
    __UNALIGNED__UNICODE__STRNCPY__(out, in, 2);
    std::memcpy(result, target + (offset * 3) % 4, 3 * sizeof(wchar_t));
    EXPECT_EQ(L'a', result[0]);
    EXPECT_EQ(L'b', result[1]);
    EXPECT_NE(0, result[2]);
  }
}

TEST(UnicodeConversion, HeapStrings) {
  char* psz = pszXSTR2CSTR(L"\u00E9\u20ACx\u4E00", -1);
  ASSERT_NE(nullptr, psz);
  EXPECT_EQ("\xE9\x80x?", std::string(psz));
  XMALLOC_Del_(psz);
  psz = pszXSTR2CSTR(L"abc", 2);
  ASSERT_NE(nullptr, psz);
  EXPECT_EQ("ab", std::string(psz));
  XMALLOC_Del_(psz);

  struct Row {
    const char* text;
    long n;
    unsigned cp;
    const wchar_t* wide;
  } rows[] = {
      {"\x83\x41z", -1, 932, L"\u30A2z"},
      {"\xE9\xE9", 1, 1252, L"\u00E9"},
      {"", -1, 1252, L""},
      {nullptr, 5, 1252, L""},
      {"a\x83", -1, 932, L"a"},
  };
  for (const Row& row : rows) {
    wchar_t* w = pszCSTR2XSTR(row.text, row.n, row.cp);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(std::wstring(row.wide), std::wstring(w));
    STR_Delete(w);
  }

  wchar_t* w = pszWSTR2XSTR(L"abc", 2);
  EXPECT_EQ(std::wstring(L"ab"), std::wstring(w));
  STR_Delete(w);
  w = pszXSTR2WSTR(L"abc", 0);
  EXPECT_EQ(std::wstring(L"abc"), std::wstring(w));
  STR_Delete(w);
}

}  // namespace
