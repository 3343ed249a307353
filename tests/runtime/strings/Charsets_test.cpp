#include "Charsets.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <map>

#include "support/CodePageLocale.h"

namespace {

struct CharsetRow {
  int charset;
  unsigned codePage;
  unsigned short langId;
};

const CharsetRow kCharsets[] = {
    {0, 1252, 0},        {128, 932, 0x11},    {129, 949, 0x12},   {130, 1361, 0x12},
    {134, 936, 0x804},   {136, 950, 0x404},   {161, 1253, 0x8},   {162, 1254, 0x1F},
    {163, 1258, 0x2A},   {177, 1255, 0xD},    {178, 1256, 0x1},   {186, 1257, 0x25},
    {204, 1251, 0x419},  {222, 874, 0x1E},    {238, 1250, 0x15},  {255, 1252, 0},
    {65001, 65001, 0},
};

TEST(Charsets, EveryRowBothWays) {
  for (const CharsetRow& row : kCharsets) {
    SCOPED_TRACE(row.charset);
    EXPECT_EQ(row.codePage, dwGetCodePageFromCharset(row.charset));
    EXPECT_EQ(row.langId, wGetLanguageID(row.charset));
    // 1252 belongs to charsets 0 and 255 and answers 0.
    EXPECT_EQ(row.charset == 255 ? 0 : row.charset, nGetCharsetFromCodePage(row.codePage));
  }
  EXPECT_EQ(127, nGetCharsetFromCodePage(0));
  EXPECT_EQ(-1, nGetCharsetFromCodePage(437));
  EXPECT_EQ(-1, nGetCharsetFromCodePage(1));
  EXPECT_EQ(-1, nGetCharsetFromCodePage(50220));
}

// Every other charset has neither a code page nor a language.
TEST(Charsets, UnlistedCharsetsGiveZero) {
  std::map<int, const CharsetRow*> listed;
  for (const CharsetRow& row : kCharsets) listed[row.charset] = &row;
  for (int charset = -2; charset < 300; ++charset) {
    if (listed.count(charset) != 0) continue;
    EXPECT_EQ(0u, dwGetCodePageFromCharset(charset)) << charset;
    EXPECT_EQ(0, wGetLanguageID(charset)) << charset;
  }
  EXPECT_EQ(0u, dwGetCodePageFromCharset(65000));
}

TEST(Charsets, CharsetOfLanguage) {
  struct Row {
    unsigned id;
    int charset;
  } rows[] = {
      {0x0401, 178}, {0x0402, 204}, {0x0419, 204}, {0x0422, 204}, {0x0423, 204},
      {0x0404, 136}, {0x0804, 134}, {0x0C04, 134}, {0x1004, 134}, {0x0405, 238},
      {0x040E, 238}, {0x0415, 238}, {0x0418, 238}, {0x041B, 238}, {0x041C, 238},
      {0x0424, 238}, {0x042F, 238}, {0x0408, 161}, {0x040D, 177}, {0x0411, 128},
      {0x0412, 129}, {0x041A, 238}, {0x081A, 238}, {0x0C1A, 204}, {0x041E, 222},
      {0x041F, 162}, {0x0425, 186}, {0x0426, 186}, {0x0427, 186}, {0x042A, 163},
      {0x042B, 65001}, {0x0437, 65001}, {0x0443, 238}, {0x0843, 204}, {0x0C43, 238},
      {0x0409, 0},   {0x040C, 0},   {0x0444, 0},   {0x0000, 0},   {0x0429, 0},
      // Only the low 16 bits count.
      {0x10419, 204}, {0xFFFF0412, 129},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.charset, GetCharSetFromLanguageID(row.id)) << std::hex << row.id;
    EXPECT_EQ(row.charset, nGetCharsetFromLanguage(static_cast<unsigned short>(row.id)))
        << std::hex << row.id;
  }
}

// The runtime's current code page is 932 throughout.
class CharsetConversionOptions : public testing::Test {
 private:
  CodePageLocaleScope m_locale{932};
};

constexpr unsigned kUntouched = 77777;

TEST_F(CharsetConversionOptions, AnsiToUnicode) {
  struct Row {
    int option, a, b;
    int result;
    unsigned codePage;
    unsigned flags;
  } rows[] = {
      {18, 0, 1, 18, kUntouched, 0},    {18, 1, 1, 19, kUntouched, 0},
      {110, 0, 1, 110, kUntouched, 0},  {110, 1, 1, 16, kUntouched, 0},
      {121, 0, 0, 16, 1252, 0},         {121, 0, 1, 16, 1252, 0x40},
      {122, 0, 1, 110, 1252, 0x40},     {122, 1, 0, 16, 1252, 0},
      {126, 0, 1, 16, 0, 0x40},         {127, 0, 0, 110, 0, 0},
      {127, 1, 1, 16, 0, 0x40},         {130, 0, 0, 16, 932, 0},
      {131, 0, 1, 110, 932, 0x40},      {131, 1, 0, 16, 932, 0},
      {19, 1, 1, 19, kUntouched, 0},    {0, 1, 1, 0, kUntouched, 0},
      {123, 1, 1, 123, kUntouched, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.option);
    STOCAW options{kUntouched};
    unsigned flags = 0x1;
    EXPECT_EQ(row.result, PrepareConversionAnsiUnicode(row.option, flags, options, row.a, row.b));
    EXPECT_EQ(row.codePage, options.nCodePage);
    EXPECT_EQ(0x1 | row.flags, flags);
  }
}

TEST_F(CharsetConversionOptions, UnicodeToAnsi) {
  struct Row {
    int option;
    bool result;
    unsigned codePage;
  } rows[] = {
      {121, true, 1252}, {122, true, 1252}, {126, true, 0},     {127, true, 0},
      {130, true, 932},  {131, true, 932},  {18, false, kUntouched}, {110, false, kUntouched},
      {125, false, kUntouched},
  };
  for (const Row& row : rows) {
    STOCAW options{kUntouched};
    EXPECT_EQ(row.result, PrepareConversionUnicodeAnsi(row.option, options)) << row.option;
    EXPECT_EQ(row.codePage, options.nCodePage) << row.option;
  }
}

TEST(Charsets, ChangeLocaleWithoutALocaleName) {
  EXPECT_EQ(932, ChangeLocale(128));
  EXPECT_EQ(65001, ChangeLocale(65001));
  EXPECT_EQ(0, ChangeLocale(1));
  EXPECT_EQ(0, ChangeLocale(127));
}

// The five charsets with a locale name change the locale of the whole
// process: they run in a child, which reports through its exit status.
TEST(Charsets, ChangeLocaleSetsTheProcessLocaleInAChild) {
  struct Row {
    int charset;
    const char* name;
  } rows[] = {
      {161, "greek_greece.1253"}, {162, "turkey_turkish.1254"}, {177, ".1255"},
      {178, ".1256"},             {204, "russian_russia.1251"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const pid_t pid = fork();
    ASSERT_NE(-1, pid);
    if (pid == 0) {
      char before[512];
      std::snprintf(before, sizeof before, "%s", std::setlocale(LC_ALL, nullptr));
      const std::intptr_t result = ChangeLocale(row.charset);
      int status;
      if (result == 0)  // the system does not know the name: nothing changed
        status = std::strcmp(std::setlocale(LC_ALL, nullptr), before) == 0 ? 0 : 1;
      else  // it does: the answer is the new locale's name
        status = std::strcmp(reinterpret_cast<const char*>(result), row.name) == 0 ? 0 : 2;
      _exit(status);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
  }
}

}  // namespace
