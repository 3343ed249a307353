// The installer's 437 and 1252 tables against the runtime's iconv-based
// conversions, and the Windows-style functions built on them.
#include "CodePageTables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "CodePage.h"
#include "StrFunctions.h"

namespace {

std::vector<char> AllBytes() {
  std::vector<char> bytes(256);
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
  return bytes;
}

struct TableCase {
  const cptable* (*table)();
  unsigned codePage;  // of the runtime's conversions: 1 is its iconv "CP437"
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << "code page " << c.codePage; }

class CodePageTableTest : public ::testing::TestWithParam<TableCase> {};

// Every byte decodes as iconv does, and encodes back to itself unless it is
// one of the bytes 1252 leaves undefined.
TEST_P(CodePageTableTest, EveryByteMatchesIconvAndRoundTrips) {
  const cptable* t = GetParam().table();
  const std::vector<char> bytes = AllBytes();
  std::vector<wchar_t> reference(256), ours(256);
  ASSERT_EQ(256, MultiByteToWideChar(GetParam().codePage, 0, bytes.data(), 256,
                                     reference.data(), 256));
  ASSERT_EQ(256, cp_mbstowcs(t, bytes.data(), 256, ours.data(), 256));
  std::vector<char> back(256);
  ASSERT_EQ(256, cp_wcstombs(t, ours.data(), 256, back.data(), 256));
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(reference[b], ours[b]);
    const bool undefined = ours[b] >= 0x80 && ours[b] <= 0x9F;
    if (GetParam().codePage == 1252) {
      EXPECT_EQ(STR_FromCP1252(static_cast<unsigned char>(b)), ours[b]);
    }
    EXPECT_EQ(undefined ? '?' : static_cast<char>(b), back[b]);
  }
}

// Every 16-bit character encodes as the runtime's WideCharToMultiByte does
// (iconv, with "?" for what the code page lacks, U+0080..U+009F included).
TEST_P(CodePageTableTest, EveryBmpCharacterMatchesIconv) {
  const cptable* t = GetParam().table();
  std::vector<wchar_t> chars;
  for (wchar_t c = 1; c <= 0xFFFF; ++c) chars.push_back(c);
  const int n = static_cast<int>(chars.size());
  std::vector<char> reference(n), ours(n);
  ASSERT_EQ(n, WideCharToMultiByte(GetParam().codePage, 0, chars.data(), n, reference.data(), n,
                                   nullptr, nullptr));
  ASSERT_EQ(n, cp_wcstombs(t, chars.data(), n, ours.data(), n));
  int mismatches = 0;
  for (int i = 0; i < n; ++i)
    if (reference[i] != ours[i] && ++mismatches < 10)
      ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(chars[i]) << " iconv "
                    << static_cast<unsigned>(static_cast<unsigned char>(reference[i])) << " table "
                    << static_cast<unsigned>(static_cast<unsigned char>(ours[i]));
  EXPECT_EQ(0, mismatches);
}

INSTANTIATE_TEST_SUITE_P(Tables, CodePageTableTest,
                         ::testing::Values(TableCase{CPTABLE_p437, 1},
                                           TableCase{CPTABLE_p1252, 1252}),
                         [](const ::testing::TestParamInfo<TableCase>& info) {
                           return info.param.codePage == 1 ? "cp437" : "cp1252";
                         });

// Characters beyond the 16-bit index must not reach the table.
TEST(CodePageTables, WideAndNegativeCharactersGiveQuestionMark) {
  const wchar_t chars[] = {static_cast<wchar_t>(0x1F600), static_cast<wchar_t>(0x100E9),
                           static_cast<wchar_t>(0x10041), static_cast<wchar_t>(-1),
                           static_cast<wchar_t>(-0x7FFFFF17), static_cast<wchar_t>(0x7FFFFFFF)};
  for (const cptable* t : {CPTABLE_p437(), CPTABLE_p1252()}) {
    char out[6] = {};
    ASSERT_EQ(6, cp_wcstombs(t, chars, 6, out, 6));
    for (char c : out) EXPECT_EQ('?', c);
  }
  char out = 0;
  int used = 0;
  EXPECT_EQ(1, WideCharToMultiByteWin(0, 0, chars, 1, &out, 1, nullptr, &used));
  EXPECT_EQ('?', out);
  EXPECT_EQ(1, used);
}

TEST(CodePageTables, ShortDestinationConvertsWhatFits) {
  const wchar_t text[] = L"abc\u00E9";
  char bytes[3] = {};
  EXPECT_EQ(-1, cp_wcstombs(CPTABLE_p1252(), text, 4, bytes, 3));
  EXPECT_EQ(0, std::memcmp(bytes, "abc", 3));
  wchar_t wide[2] = {};
  EXPECT_EQ(-1, cp_mbstowcs(CPTABLE_p437(), "\x82xy", 3, wide, 2));
  EXPECT_EQ(L'\u00E9', wide[0]);
  EXPECT_EQ(L'x', wide[1]);
}

TEST(CodePageTables, WinFunctionsChooseTableAndReportFailuresAsZero) {
  const wchar_t e[] = L"\u00E9";  // 0x82 in 437, 0xE9 in 1252
  struct Case {
    unsigned codePage;
    unsigned char byte;
  };
  for (const Case& c : {Case{1, 0x82}, Case{0, 0xE9}, Case{437, 0xE9}, Case{1252, 0xE9},
                        Case{65001, 0xE9}}) {
    SCOPED_TRACE(c.codePage);
    char out[2] = {'x', 'x'};
    EXPECT_EQ(2, WideCharToMultiByteWin(c.codePage, 0, e, -1, out, 2, nullptr, nullptr));
    EXPECT_EQ(c.byte, static_cast<unsigned char>(out[0]));
    EXPECT_EQ('\0', out[1]);
    const char in[] = {static_cast<char>(c.byte), 0};
    wchar_t wide[2] = {L'x', L'x'};
    EXPECT_EQ(2, MultiByteToWideCharWin(c.codePage, 0, in, -1, wide, 2));
    EXPECT_EQ(L'\u00E9', wide[0]);
    EXPECT_EQ(L'\0', wide[1]);
  }

  char small[1];
  wchar_t wsmall[1];
  EXPECT_EQ(0, WideCharToMultiByteWin(0, 0, L"ab", -1, small, 1, nullptr, nullptr));
  EXPECT_EQ(0, MultiByteToWideCharWin(0, 0, "ab", -1, wsmall, 1));
  EXPECT_EQ(3, WideCharToMultiByteWin(0, 0, L"ab", -1, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(3, MultiByteToWideCharWin(1, 0, "ab", -1, nullptr, 0));
  EXPECT_EQ(0, WideCharToMultiByteWin(0, 0, nullptr, 2, small, 1, nullptr, nullptr));
  EXPECT_EQ(0, MultiByteToWideCharWin(0, 0, nullptr, 2, wsmall, 1));
  EXPECT_EQ(0, WideCharToMultiByteWin(0, 0, L"a", 1, nullptr, 1, nullptr, nullptr));
  EXPECT_EQ(0, MultiByteToWideCharWin(0, 0, "a", 1, nullptr, 1));

  int used = 7;
  char out[3];
  EXPECT_EQ(3, WideCharToMultiByteWin(0, 0, L"a?b", 3, out, 3, nullptr, &used));
  EXPECT_EQ(0, used);  // a real "?" is not a substitution
  EXPECT_EQ(1, WideCharToMultiByteWin(0, 0, L"\u0081", 1, out, 3, nullptr, &used));
  EXPECT_EQ('?', out[0]);
  EXPECT_EQ(1, used);
}

TEST(CodePageTables, OemBufferConversions) {
  char out = 0;
  EXPECT_TRUE(OemToCharBuffA("\x82", &out, 1));
  EXPECT_EQ(0xE9, static_cast<unsigned char>(out));
  EXPECT_TRUE(CharToOemBuffA("\xE9", &out, 1));
  EXPECT_EQ(0x82, static_cast<unsigned char>(out));
  // In place, with characters the other side lacks: the euro sign has no 437
  // byte, the block shade no 1252 byte.
  char text[] = "A\x80\xE9";
  EXPECT_TRUE(CharToOemBuffA(text, text, 3));
  EXPECT_STREQ("A?\x82", text);
  char oem[] = "\xB0z";
  EXPECT_TRUE(OemToCharBuffA(oem, oem, 2));
  EXPECT_STREQ("?z", oem);
  EXPECT_TRUE(CharToOemBuffA(nullptr, nullptr, 5));
}

}  // namespace
