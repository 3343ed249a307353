// The recorded command line: quoting, trailing spaces, capacity and UTF-8.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Record(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  SetCommandLine(static_cast<int>(argv.size()), argv.data());
  return GetCommandLine();
}

TEST(CommandLine, QuotesArgumentsWithSpaces) {
  struct Case {
    std::vector<std::string> args;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {{"prog", "a b", "key=x y"}, L"prog \"a b\" key=\"x y\" "},
      {{"a=b"}, L"a=b "},
      {{"x y=z"}, L"\"x y=z\" "},             // "=" after the first space
      {{"k=\"q\" r"}, L"k=\"\"q\" r\" "},     // embedded quotes kept as they are
      {{"", "z"}, L" z "},
      {{}, L""},
      {{"caf\xC3\xA9", "\xF0\x9F\x98\x80"}, L"caf\u00E9 \U0001F600 "},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Record(c.args));
}

TEST(CommandLine, InvalidUtf8BecomesQuestionMarks) {
  const std::wstring line = Record({"a\xFF" "b", "\xC3"});
  EXPECT_EQ(L"a?b ? ", line);
}

TEST(CommandLine, StopsAtCapacityAndStaysTerminated) {
  const std::wstring line = Record({std::string(2000, 'a'), "tail"});
  EXPECT_EQ(std::wstring(1024, L'a'), line);
  EXPECT_EQ(1024u, std::wcslen(GetCommandLine()));
  // A new record replaces the old one entirely.
  EXPECT_EQ(L"x ", Record({"x"}));
  SetCommandLine(3, nullptr);
  EXPECT_STREQ(L"", GetCommandLine());
}

}  // namespace
