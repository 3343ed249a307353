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

// What reading lines must give, whatever the chunking: a line ends at the
// first LF, CR LF or CR; a last line without a line end still counts.
template <typename TString>
std::vector<TString> ReferenceLines(const TString& text) {
  std::vector<TString> lines;
  TString line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Texts whose line ends mix LF, CR LF and CR, each after every padding that
// moves its line ends across the 80-character chunk boundary.
const char* const kMixedTexts[] = {"ab\ncd\r\nef\n", "a\rb\nc\r\n\nd", "\n\r\n\r\r\nx",
                                   "ab\r\n\r\ncd\r"};

TEST_F(DiskFileReadLine, LineEndsAreFoundWhereverTheChunkEnds) {
  for (const char* text : kMixedTexts) {
    for (int pad = 0; pad <= 84; ++pad) {
      const std::string bytes = std::string(static_cast<std::size_t>(pad), 'p') + text;
      SCOPED_TRACE(::testing::Message() << "text " << ::testing::PrintToString(std::string(text))
                                        << " after " << pad << " characters");
      EXPECT_EQ(ReadAll<char>(bytes, 200, 0), ReferenceLines(bytes));
      std::wstring wide(bytes.begin(), bytes.end());
      EXPECT_EQ(ReadAll<wchar_t>(WideBytes(wide), 200, 0), ReferenceLines(wide));
    }
  }
}

// pszReadLine refills a 16,384-character buffer: the same texts across that
// boundary, CR LF split by the refill included.
TEST_F(DiskFileReadLine, WideLineBufferRefillKeepsLineEndsWhole) {
  constexpr int kBufferChars = 16384;
  for (const char* text : kMixedTexts) {
    for (int pad = kBufferChars - 12; pad <= kBufferChars + 2; ++pad) {
      std::string narrow = std::string(static_cast<std::size_t>(pad), 'p') + text;
      const std::wstring wide(narrow.begin(), narrow.end());
      SCOPED_TRACE(::testing::Message() << "text " << ::testing::PrintToString(std::string(text))
                                        << " after " << pad << " characters");
      WriteFile("wide", WideBytes(wide));
      CDiskFile stream;
      ASSERT_TRUE(
          stream.bOpen(L"wide", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
      std::vector<std::wstring> lines;
      std::vector<wchar_t> buffer(kBufferChars * 2);
      for (int i = 0; i < 50; ++i) {
        const wchar_t* line =
            stream.pszReadLine(buffer.data(), static_cast<int>(buffer.size()), nullptr, nullptr);
        if (line == nullptr) break;
        lines.emplace_back(line);
      }
      EXPECT_EQ(lines, ReferenceLines(wide));
    }
  }
}

}  // namespace
