// Line reading of the streams, 8-bit and wide, over every way a line ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CDiskFile.h"
#include "support/DiskFileTestDirectory.h"

namespace {

class DiskFileReadLine : public DiskFileTestDirectory {
 protected:
  // Every call of bReadLine until it answers false (at most 50), each as the
  // text read plus "+" when it came truncated.
  template <typename TChar>
  std::vector<std::basic_string<TChar>> ReadAll(const std::string& bytes, int size,
                                                unsigned flags) {
    WriteFile("lines", bytes);
    std::vector<std::basic_string<TChar>> lines;
    CDiskFile stream;
    EXPECT_TRUE(
        stream.bOpen(L"lines", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
    std::vector<TChar> buffer(static_cast<std::size_t>(size) + 1, static_cast<TChar>('#'));
    for (int i = 0; i < 50; ++i) {
      int bTruncated = -1;
      if (!stream.bReadLine(buffer.data(), size, &bTruncated, flags)) return lines;
      std::basic_string<TChar> line(buffer.data());
      if (bTruncated == 1) line += static_cast<TChar>('+');
      lines.push_back(line);
    }
    ADD_FAILURE() << "bReadLine never reached the end";
    return lines;
  }
};

std::string WideBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST_F(DiskFileReadLine, EightBitLines) {
  const std::string s78(78, 'x');
  const std::string s79(79, 'y');
  struct Case {
    const char* what;
    std::string bytes;
    int size;
    unsigned flags;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"CR LF", "ab\r\ncd", 20, 0, {"ab", "cd"}},
      {"LF alone", "ab\ncd\n", 20, 0, {"ab", "cd"}},
      {"lone CR", "ab\rcd\r\n", 20, 0, {"ab", "cd"}},
      {"empty lines", "\r\n\n", 20, 0, {"", ""}},
      {"file ending in CR", "ab\r", 20, 0, {"ab"}},
      {"file of a lone CR", "\r", 20, 0, {""}},
      {"CR at chunk position 79, LF next", s79 + "\r\nz", 200, 0, {s79, "z"}},
      {"CR at chunk position 79, end of file", s79 + "\r", 200, 0, {s79}},
      {"line of whole chunks, no line end", std::string(160, 'w'), 200, 0, {std::string(160, 'w')}},
      {"longer than the buffer", "abcdefgh\r\nij", 4, 0, {"abc+", "def+", "gh", "ij"}},
      {"exactly the buffer", "abc\r\nd", 4, 0, {"abc", "d"}},
      {"long line across chunks", s78 + "abc\n", 80, 0, {s78 + "a+", "bc"}},
      {"flag: lone CR is text", "a\rb\r\nc", 20, XREADLINE_CRLF_ONLY, {"a\rb", "c"}},
      {"flag: CR LF across chunks", s79 + "\r\nz", 200, XREADLINE_CRLF_ONLY, {s79, "z"}},
      {"flag: CR then CR LF across chunks",
       s79 + "\r\r\nz",
       200,
       XREADLINE_CRLF_ONLY,
       {s79 + "\r", "z"}},
      {"flag: final CR is text", "ab\r", 20, XREADLINE_CRLF_ONLY, {"ab\r"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadAll<char>(c.bytes, c.size, c.flags), c.lines);
  }
}

TEST_F(DiskFileReadLine, WideLines) {
  const std::wstring ws79(79, L'\u00e9');
  struct Case {
    const char* what;
    std::wstring text;
    int size;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {"CR LF and LF", L"\u65e5\u672c\r\nb\nc", 20, {L"\u65e5\u672c", L"b", L"c"}},
      {"file ending in CR", L"ab\r", 20, {L"ab"}},
      {"CR at chunk position 79", ws79 + L"\r\nz", 200, {ws79, L"z"}},
      {"longer than the buffer", L"abcde\r\n", 3, {L"ab+", L"cd+", L"e"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadAll<wchar_t>(WideBytes(c.text), c.size, 0), c.lines);
  }
}

TEST_F(DiskFileReadLine, BufferWithoutRoomForACharacterIsRefused) {
  WriteFile("lines", "abc\n");
  CDiskFile stream;
  ASSERT_TRUE(
      stream.bOpen(L"lines", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
  char ac[2] = {'#', '#'};
  int bTruncated = -1;
  EXPECT_FALSE(stream.bReadLine(ac, 1, &bTruncated, 0));
  EXPECT_EQ(ac[0], '\0');
  EXPECT_EQ(bTruncated, 0);
  EXPECT_EQ(stream.oGetOffset(), 0);
  EXPECT_TRUE(stream.bReadLine(ac, 2, &bTruncated, 0));
  EXPECT_STREQ(ac, "a");
}

}  // namespace
