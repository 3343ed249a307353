#include "ProfileString.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// UTF-16 little-endian bytes of ASCII text, after the FF FE mark.
std::string Utf16(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// Every test works on files of its own fresh directory (an ASCII path).
class ProfileString : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        std::filesystem::canonical(std::filesystem::temp_directory_path()).string() +
        "/kxprofXXXXXX";
    ASSERT_NE(::mkdtemp(&pattern[0]), nullptr);
    m_dir = pattern;
    m_path = m_dir + "/test.ini";
    m_wpath = Widen(m_path);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  void Put(const std::string& bytes) const {
    std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string Content() const {
    std::ifstream in(m_path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::wstring Get(const wchar_t* section, const wchar_t* key, const wchar_t* def = L"<default>",
                   unsigned size = 256) const {
    wchar_t buf[256];
    const unsigned n = GetPrivateProfileStringW(section, key, def, buf, size, m_wpath.c_str());
    EXPECT_EQ(n, std::wcslen(buf));
    return buf;
  }
  int Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
    return WritePrivateProfileStringW(section, key, value, m_wpath.c_str());
  }

  std::string m_dir;
  std::string m_path;
  std::wstring m_wpath;
};

TEST_F(ProfileString, ReaderAndWriterFindTheSameKeyLine) {
  Put("[Db]\nPort = 3306\n");
  EXPECT_EQ(Get(L"db", L"PORT"), L"3306");
  EXPECT_EQ(Write(L"db", L"PORT", L"1"), 1);
  EXPECT_EQ(Content(), "[Db]\nPORT = 1\n");
  EXPECT_EQ(Get(L"DB", L"port"), L"1");
}

TEST_F(ProfileString, KeyBelowABlankLineIsReplacedThenDeleted) {
  const std::string rest = "[B]\nz = 3\n";
  Put("[A]\nx = 1\n\ny = 2\n" + rest);
  EXPECT_EQ(Get(L"A", L"y"), L"2");
  EXPECT_EQ(Write(L"A", L"y", L"5"), 1);
  EXPECT_EQ(Content(), "[A]\nx = 1\n\ny = 5\n" + rest);
  EXPECT_EQ(Write(L"A", L"y", nullptr), 1);
  EXPECT_EQ(Content(), "[A]\nx = 1\n\n" + rest);
  EXPECT_EQ(Get(L"A", L"y"), L"<default>");
  // A new key goes before the section's first empty line.
  EXPECT_EQ(Write(L"A", L"w", L"9"), 1);
  EXPECT_EQ(Content(), "[A]\nx = 1\nw = 9\n\n" + rest);
  EXPECT_EQ(Get(L"A", L"w"), L"9");
}

TEST_F(ProfileString, IndentedSectionsAndKeysAreFoundByBoth) {
  Put("  [Sec]\n\tkey = v\n  [Next]\nkey = n\n");
  EXPECT_EQ(Get(L"sec", L"KEY"), L"v");
  EXPECT_EQ(Write(L"Sec", L"key", L"w"), 1);
  EXPECT_EQ(Write(L"Sec", L"new", L"1"), 1);
  EXPECT_EQ(Content(), "  [Sec]\nkey = w\nnew = 1\n  [Next]\nkey = n\n");
  EXPECT_EQ(Write(L"SEC", nullptr, nullptr), 1);
  EXPECT_EQ(Content(), "  [Next]\nkey = n\n");
}

TEST_F(ProfileString, AppendingAfterALastLineWithoutLineEnd) {
  struct Case {
    const char* before;
    const wchar_t* section;
    const char* after;
  } const cases[] = {
      {"[A]\nPort = 3306", L"A", "[A]\nPort = 3306\nHost = db\n"},
      {"[A]\r\nPort = 3306\r", L"A", "[A]\r\nPort = 3306\rHost = db\n"},
      {"[A]\nPort = 3306", L"B", "[A]\nPort = 3306\n[B]\nHost = db\n"},
      {"[A]", L"A", "[A]\nHost = db\n"},
      {"", L"A", "[A]\nHost = db\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    Put(c.before);
    EXPECT_EQ(Write(c.section, L"Host", L"db"), 1);
    EXPECT_EQ(Content(), c.after);
    EXPECT_EQ(Get(c.section, L"host"), L"db");
  }
}

TEST_F(ProfileString, NullValueAndNullKeyRemove) {
  Put("[A]\na = 1\nb = 2\n[B]\nc = 3\n[C]\n");
  EXPECT_EQ(Write(L"A", L"a", nullptr), 1);
  EXPECT_EQ(Content(), "[A]\nb = 2\n[B]\nc = 3\n[C]\n");
  EXPECT_EQ(Write(L"B", nullptr, L"ignored"), 1);
  EXPECT_EQ(Content(), "[A]\nb = 2\n[C]\n");
  // Removing what is not there changes nothing.
  EXPECT_EQ(Write(L"A", L"missing", nullptr), 1);
  EXPECT_EQ(Write(L"Missing", nullptr, nullptr), 1);
  EXPECT_EQ(Write(L"Missing", L"k", nullptr), 1);
  EXPECT_EQ(Content(), "[A]\nb = 2\n[C]\n");
  // Without a section nothing can be written.
  EXPECT_EQ(Write(nullptr, L"k", L"v"), 0);
  EXPECT_EQ(Write(L"", L"k", L"v"), 0);
  EXPECT_EQ(Content(), "[A]\nb = 2\n[C]\n");
}

TEST_F(ProfileString, ListingsOfSectionsAndKeys) {
  Put("[A]\r\n  one = 1\r\n: remark = 1\r\ntwo \t= 2\r\nno equals\r\n[B]x\r\nthree=3\r\n[C\r\n");
  EXPECT_EQ(Get(nullptr, nullptr), L"A\r\nB\r\n");
  EXPECT_EQ(Get(L"", L"ignored"), L"A\r\nB\r\n");
  EXPECT_EQ(Get(L"a", nullptr), L"one\r\ntwo\r\n");
  // "[C" holds no "]": it neither ends section B nor is a section.
  EXPECT_EQ(Get(L"b", L""), L"three\r\n");
  EXPECT_EQ(Get(L"A", L": remark"), L"<default>");
  EXPECT_EQ(Get(L"A", L"remark"), L"<default>");
  // Items are added while there is room, the last one cut.
  EXPECT_EQ(Get(nullptr, nullptr, nullptr, 5), L"A\r\nB");
  EXPECT_EQ(Get(nullptr, nullptr, nullptr, 4), L"A\r\n");
  // An empty listing gives the default.
  Put("[Empty]\n");
  EXPECT_EQ(Get(L"Empty", nullptr), L"<default>");
}

TEST_F(ProfileString, ValuesAndKeyMatching) {
  Put("[S]\nPortable = 1\nPort x = 2\nPort\t=   value with blanks  \r\nEmpty =\nn = 42abc\n"
      "neg = -5\n");
  EXPECT_EQ(Get(L"S", L"port"), L"value with blanks  ");
  EXPECT_EQ(Get(L"S", L"Port x"), L"2");
  EXPECT_EQ(Get(L"S", L"Portabl"), L"<default>");
  EXPECT_EQ(Get(L"S", L"Empty"), L"");
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"Empty", 7, m_wpath.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"n", 7, m_wpath.c_str()), 42);
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"neg", 7, m_wpath.c_str()), -5);
  EXPECT_EQ(GetPrivateProfileInt(L"S", L"missing", -7, m_wpath.c_str()), -7);
  EXPECT_EQ(GetPrivateProfileInt(L"Missing", L"n", 8, (m_wpath + L"x").c_str()), 8);
  EXPECT_EQ(Get(L"S", L"missing", nullptr), L"");
  // Writing an empty value leaves the key found and empty.
  EXPECT_EQ(Write(L"S", L"n", L""), 1);
  EXPECT_EQ(Get(L"S", L"n"), L"");
}

TEST_F(ProfileString, SizesCountTheTerminator) {
  Put("[S]\nk = 3306\n");
  struct Case {
    const wchar_t* key;
    unsigned size;
    const wchar_t* expected;
  } const cases[] = {
      {L"k", 1, L""}, {L"k", 2, L"3"}, {L"k", 4, L"330"}, {L"k", 5, L"3306"},
      {L"missing", 1, L""}, {L"missing", 4, L"abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    wchar_t buf[8];
    std::wmemset(buf, L'#', 8);
    const unsigned n = GetPrivateProfileStringW(L"S", c.key, L"abcdef", buf, c.size,
                                                m_wpath.c_str());
    EXPECT_EQ(std::wstring(buf), c.expected);
    EXPECT_EQ(n, std::wcslen(c.expected));
    EXPECT_EQ(buf[c.size], L'#');
  }
  wchar_t buf[2] = {L'#', L'#'};
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", L"d", buf, 0, m_wpath.c_str()), 0u);
  EXPECT_EQ(buf[0], L'#');
  char abuf[2] = {'#', '#'};
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", abuf, 0, m_path.c_str()), 0u);
  EXPECT_EQ(abuf[0], '#');
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", abuf, 1, m_path.c_str()), 0u);
  EXPECT_EQ(abuf[0], '\0');
  EXPECT_EQ(abuf[1], '#');
}

TEST_F(ProfileString, Utf16FilesKeepCharactersAboveBmp) {
  Put(Utf16("[S]\r\nk = x\r\n"));
  EXPECT_EQ(Get(L"s", L"K"), L"x");
  EXPECT_EQ(Write(L"S", L"k", L"a\U0001F600b"), 1);
  EXPECT_EQ(Content(), Utf16("[S]\r\nk = a") + std::string("\x3D\xD8\x00\xDE" "b\0\n\0", 8));
  EXPECT_EQ(Get(L"S", L"k"), L"a\U0001F600b");
  EXPECT_EQ(Write(L"S", L"smile", L"\U0001F600"), 1);
  EXPECT_EQ(Get(L"S", L"smile"), L"\U0001F600");
  // A lone surrogate stays a character of its own.
  Put(Utf16("[S]\nk = ") + "\x3D\xD8" + std::string("z\0", 2));
  EXPECT_EQ(Get(L"S", L"k"), std::wstring(L"\xD83D") + L"z");
}

TEST_F(ProfileString, EightBitFilesUseCodePageZero) {
  // "é" is 0xE9; 0x81 has no character of its own but survives as a byte.
  Put("[S]\nk = \xE9t\xE9\nraw = \x81\n");
  EXPECT_EQ(Get(L"S", L"k"), L"\u00e9t\u00e9");
  char buf[16];
  EXPECT_EQ(GetPrivateProfileStringA("s", "K", "", buf, sizeof buf, m_path.c_str()), 3u);
  EXPECT_STREQ(buf, "\xE9t\xE9");
  EXPECT_EQ(WritePrivateProfileStringA("S", "k", "\xC9t\xC9", m_path.c_str()), 1);
  EXPECT_EQ(Write(L"S", L"new", L"\u20AC\u65E5"), 1);
  EXPECT_EQ(Content(), "[S]\nk = \xC9t\xC9\nraw = \x81\nnew = \x80?\n");
}

TEST_F(ProfileString, MissingFilesAndNames) {
  EXPECT_EQ(Get(L"S", L"k", L"dflt"), L"dflt");
  EXPECT_EQ(Get(L"S", L"k", nullptr), L"");
  EXPECT_EQ(Write(L"S", L"k", L"v"), 1);
  EXPECT_EQ(Content(), "[S]\nk = v\n");
  wchar_t buf[8];
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", L"d", buf, 8, nullptr), 1u);
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"k", L"v", nullptr), 0);
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"k", L"v", Widen(m_dir).c_str()), 0);
}

TEST_F(ProfileString, LongPathsAreRefusedNotCut) {
  // A path of 261 characters, and what cutting it to 260 would name.
  const std::string base = m_dir + "/";
  const std::string longPath = base + std::string(261 - base.size(), 'n');
  const std::string cutPath = longPath.substr(0, 260);
  ASSERT_LT(longPath.size() - base.size(), 256u);
  EXPECT_EQ(WritePrivateProfileStringW(L"S", L"k", L"v", Widen(longPath).c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(cutPath));
  std::ofstream(cutPath) << "[S]\nk = cut\n";
  wchar_t buf[16];
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", L"d", buf, 16, Widen(longPath).c_str()), 1u);
  EXPECT_STREQ(buf, L"d");
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", L"d", buf, 16, Widen(cutPath).c_str()), 3u);
  EXPECT_STREQ(buf, L"cut");
}

TEST_F(ProfileString, PathsOfBareAndQualifiedNames) {
  const std::wstring home239 = L"/" + std::wstring(238, L'h');
  const std::wstring name20(20, L'n');
  const std::wstring name21(21, L'n');
  const std::wstring path260 = home239 + L"/" + name20;
  struct Case {
    const wchar_t* file;
    const wchar_t* home;
    const wchar_t* expected;  // null: refused
  } const cases[] = {
      {L"x.ini", L"/home/u", L"/home/u/x.ini"},
      {L"dir\\x.ini", L"/home/u", L"dir/x.ini"},
      {L"C:\\conf\\x.ini", nullptr, L"C:/conf/x.ini"},
      {L"x.ini", nullptr, nullptr},
      {L"x.ini", L"", nullptr},
      {L"", L"/home/u", nullptr},
      {nullptr, L"/home/u", nullptr},
      {name20.c_str(), home239.c_str(), path260.c_str()},  // 260 characters
      {name21.c_str(), home239.c_str(), nullptr},          // 261
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file != nullptr ? c.file : L"(null)");
    wchar_t out[PROFILE_PATH_MAX + 8];
    out[0] = L'#';
    const bool ok = bMakeProfilePath(c.file, c.home, out, sizeof out / sizeof *out);
    EXPECT_EQ(ok, c.expected != nullptr);
    EXPECT_EQ(std::wstring(out), c.expected != nullptr ? c.expected : L"");
  }
  wchar_t small[9];
  EXPECT_FALSE(bMakeProfilePath(L"x.ini", L"/home/u", small, 9));
  EXPECT_STREQ(small, L"");
  EXPECT_TRUE(bMakeProfilePath(L"x.ini", L"/h", small, 9));
  EXPECT_STREQ(small, L"/h/x.ini");
}

// Bare names and the per-user profile follow the password entry, not HOME.
// Nothing in the real home directory is written; the only read there is of
// a name that does not exist.
TEST_F(ProfileString, HomeComesFromThePasswordEntry) {
  const struct passwd* entry = ::getpwuid(::getuid());
  if (entry == nullptr) GTEST_SKIP() << "no password entry for this user";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome != nullptr ? oldHome : "";
  ASSERT_EQ(::setenv("HOME", m_dir.c_str(), 1), 0);

  const std::string bareName = "kxprofile-" + m_dir.substr(m_dir.rfind('/') + 1) + ".ini";
  std::ofstream(m_dir + "/" + bareName) << "[S]\nk = from HOME\n";
  wchar_t buf[32];
  GetPrivateProfileStringW(L"S", L"k", L"d", buf, 32, Widen(bareName).c_str());
  const std::wstring read = buf;

  wchar_t path[PROFILE_PATH_MAX];
  const bool ok = bGetVLMCONFPath(path);
  wchar_t tiny[4];
  const bool tinyOk = bGetVLMCONFPath(tiny, 4);

  if (oldHome != nullptr) ::setenv("HOME", savedHome.c_str(), 1);
  else ::unsetenv("HOME");

  EXPECT_EQ(read, L"d");
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::wstring(path), Widen(std::string(entry->pw_dir) + "/.VLM.conf"));
  EXPECT_FALSE(tinyOk);
  EXPECT_STREQ(tiny, L"");
}

}  // namespace
