// Ellipsis, yield deadline, UTF-16 output of wide text and unaligned copy.
#include "InstallerText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

TEST(InstallerText, Ellipsis) {
  const wchar_t* twenty = L"ABCDEFGHIJKLMNOPQRST";
  struct Case {
    const wchar_t* source;
    int width;
    int position;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {twenty, 10, 0, L"ABCDEFG..."},
      {twenty, 10, 1, L"ABC...QRST"},
      {twenty, 10, 2, L"...NOPQRST"},
      {twenty, 11, 1, L"ABCD...QRST"},
      {twenty, 3, 0, L"..."},
      {twenty, 3, 1, L"..."},
      {twenty, 3, 2, L"..."},
      {L"short", 10, 1, L"short"},
      {L"abc", 3, 0, L"abc"},
      {twenty, 2, 0, L"untouched"},
      {twenty, 10, 3, L"untouched"},
      {twenty, 10, -1, L"untouched"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "/" << c.position);
    wchar_t out[32];
    std::wcscpy(out, L"untouched");
    STR_Ellipsis(out, c.source, c.width, c.position);
    EXPECT_STREQ(c.expected, out);
  }
}

TEST(InstallerText, ResetYieldStoresMicrosecondsPlus500) {
  long deadline = -1;
  vYield(1, "ignored");
  vResetYield(&deadline);
  EXPECT_GE(deadline, 500);
  EXPECT_LT(deadline, 1000000 + 500);
}

std::vector<unsigned char> WriteToMemory(const wchar_t* text, long count, bool* ok) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  *ok = __bWriteTextMemoire(f, text, count);
  std::fclose(f);
  std::vector<unsigned char> bytes(data, data + size);
  std::free(data);
  return bytes;
}

TEST(InstallerText, WriteTextUsesSurrogatePairs) {
  const wchar_t text[] = {L'A', 0xE9, 0x1F600, 0x10FFFF, 0x110000, -5};
  bool ok = false;
  const std::vector<unsigned char> bytes = WriteToMemory(text, 6, &ok);
  EXPECT_TRUE(ok);
  const std::vector<unsigned char> expected = {0x41, 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE,
                                               0xFF, 0xDB, 0xFF, 0xDF, '?', 0, '?', 0};
  EXPECT_EQ(expected, bytes);
  EXPECT_FALSE(__bWriteTextMemoire(stdout, text, 0));
}

TEST(InstallerText, WriteTextFailsWhenNotEverythingFits) {
  char buffer[5];
  FILE* f = fmemopen(buffer, sizeof buffer, "w");
  ASSERT_NE(nullptr, f);
  setvbuf(f, nullptr, _IONBF, 0);
  EXPECT_FALSE(__bWriteTextMemoire(f, L"abcdef", 6));  // 12 bytes into 5
  std::fclose(f);

  char room[16];
  f = fmemopen(room, sizeof room, "w");
  ASSERT_NE(nullptr, f);
  setvbuf(f, nullptr, _IONBF, 0);
  EXPECT_TRUE(__bWriteTextMemoire(f, L"ab", 2));
  std::fclose(f);
}

TEST(InstallerText, UnalignedCopyBetweenOddAddresses) {
  alignas(4) unsigned char src[64] = {};
  alignas(4) unsigned char dst[64];
  std::memset(dst, 0xAA, sizeof dst);
  const wchar_t text[] = L"x\u00E9\U0001F600";
  std::memcpy(src + 1, text, sizeof text);
  wchar_t* out = reinterpret_cast<wchar_t*>(dst + 3);
  EXPECT_EQ(out, __UNALIGNED__UNICODE__STRCPY__(out, reinterpret_cast<wchar_t*>(src + 1)));
  EXPECT_EQ(0, std::memcmp(dst + 3, text, sizeof text));
  EXPECT_EQ(0xAA, dst[3 + sizeof text]);  // nothing past the terminator
}

}  // namespace
