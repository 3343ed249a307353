#include "StrGetLine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "XMalloc.h"

namespace {

// A read-only stream over a copy of the bytes.
class MemoryFile {
 public:
  explicit MemoryFile(const std::string& bytes) : m_bytes(bytes) {
    m_file = fmemopen(m_bytes.empty() ? nullptr : &m_bytes[0], m_bytes.size(), "r");
    if (m_bytes.empty()) m_file = fmemopen(nullptr, 1, "r");
  }
  ~MemoryFile() { fclose(m_file); }
  FILE* get() const { return m_file; }

 private:
  std::string m_bytes;
  FILE* m_file = nullptr;
};

template <typename TUnit>
std::string Units(std::initializer_list<std::uint32_t> units) {
  std::string s;
  for (std::uint32_t u : units) {
    const TUnit v = static_cast<TUnit>(u);
    s.append(reinterpret_cast<const char*>(&v), sizeof(v));
  }
  return s;
}

TEST(StrGetLine, EightBitLinesKeepTheirLineEnds) {
  MemoryFile f("ab\r\ncd\n\nx\ry\nlast");
  char* line = nullptr;
  std::size_t capacity = 0;
  const char* expected[] = {"ab\r\n", "cd\n", "\n", "x\ry\n", "last"};
  for (const char* e : expected) {
    EXPECT_EQ(static_cast<long>(std::strlen(e)), STRG_nGetLine<char>(&line, &capacity, f.get()));
    EXPECT_STREQ(e, line);
  }
  EXPECT_EQ(256u, capacity);
  EXPECT_EQ(-1, STRG_nGetLine<char>(&line, &capacity, f.get()));
  EXPECT_EQ(-1, STRG_nGetLine<char>(&line, &capacity, f.get()));
  XMALLOC_Del_(line);
}

// The buffer grows by 256 units, also when the caller brought a small one.
TEST(StrGetLine, LongLinesGrowTheBuffer) {
  const std::string text = std::string(600, 'q') + "\n" + std::string(255, 'r') + "\n";
  MemoryFile f(text);
  std::size_t capacity = 10;
  auto* line = static_cast<char*>(XMALLOC_pNew_(capacity));
  ASSERT_NE(nullptr, line);
  EXPECT_EQ(601, STRG_nGetLine<char>(&line, &capacity, f.get()));
  EXPECT_EQ(text.substr(0, 601), std::string(line));
  EXPECT_EQ(778u, capacity);  // 10 + 3 * 256
  EXPECT_EQ(256, STRG_nGetLine<char>(&line, &capacity, f.get()));
  EXPECT_EQ(text.substr(601), std::string(line));
  XMALLOC_Del_(line);

  MemoryFile g(std::string(255, 's') + "\n");
  line = nullptr;
  capacity = 0;
  EXPECT_EQ(256, STRG_nGetLine<char>(&line, &capacity, g.get()));
  EXPECT_EQ(512u, capacity);  // 256 units and the terminator
  EXPECT_EQ(256u, std::strlen(line));
  XMALLOC_Del_(line);
}

TEST(StrGetLine, SixteenBitUnitsAreWidenedOneByOne) {
  // "a\n", then "é" and a surrogate pair without a line end, then an odd byte.
  MemoryFile f(Units<std::uint16_t>({'a', '\n', 0xE9, 0xD83D, 0xDE00}) + "Z");
  wchar_t* line = nullptr;
  std::size_t capacity = 0;
  EXPECT_EQ(2, STRG_nGetLine<char16_t>(&line, &capacity, f.get()));
  EXPECT_STREQ(L"a\n", line);
  EXPECT_EQ(3, STRG_nGetLine<char16_t>(&line, &capacity, f.get()));
  const wchar_t expected[] = {0xE9, 0xD83D, 0xDE00, 0};
  EXPECT_STREQ(expected, line);
  EXPECT_EQ(-1, STRG_nGetLine<char16_t>(&line, &capacity, f.get()));
  XMALLOC_Del_(line);
}

TEST(StrGetLine, ThirtyTwoBitCharacters) {
  MemoryFile f(Units<std::uint32_t>({0x1F600, '\r', '\n', 'b'}));
  wchar_t* line = nullptr;
  std::size_t capacity = 0;
  EXPECT_EQ(3, STRG_nGetLine<wchar_t>(&line, &capacity, f.get()));
  EXPECT_STREQ(L"\U0001F600\r\n", line);
  EXPECT_EQ(1, STRG_nGetLine<wchar_t>(&line, &capacity, f.get()));
  EXPECT_STREQ(L"b", line);
  EXPECT_EQ(-1, STRG_nGetLine<wchar_t>(&line, &capacity, f.get()));
  XMALLOC_Del_(line);
}

TEST(StrGetLine, SingleCharacters) {
  MemoryFile f8("\xE9z");
  EXPECT_EQ(0xE9, STRG_nGetChar<char>(f8.get()));
  EXPECT_EQ('z', STRG_nGetChar<char>(f8.get()));
  EXPECT_EQ(-1, STRG_nGetChar<char>(f8.get()));

  MemoryFile f16(Units<std::uint16_t>({0xFFFF}) + "x");
  EXPECT_EQ(0xFFFF, STRG_nGetChar<char16_t>(f16.get()));
  EXPECT_EQ(-1, STRG_nGetChar<char16_t>(f16.get()));  // half a unit

  MemoryFile f32(Units<std::uint32_t>({0xFFFFFFFF, 0x10FFFF}));
  EXPECT_EQ(0xFFFFFFFFL, STRG_nGetChar<wchar_t>(f32.get()));  // not confused with the end
  EXPECT_EQ(0x10FFFF, STRG_nGetChar<wchar_t>(f32.get()));
  EXPECT_EQ(-1, STRG_nGetChar<wchar_t>(f32.get()));
}

}  // namespace
