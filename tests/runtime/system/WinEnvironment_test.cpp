#include "WinEnvironment.h"

#include <limits.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kSentinel = L'#';

TEST(WinEnvironment, GetVariableWithinTheBuffer) {
  ASSERT_EQ(0, setenv("KX_WIN_ENV_TEST", "h\xc3\xa9llo", 1));  // 5 characters, 6 bytes
  struct Row {
    unsigned int size;
    unsigned int result;
    const wchar_t* text;  // null: nothing written
  } rows[] = {
      {16, 5, L"h\u00e9llo"}, {6, 5, L"h\u00e9llo"}, {5, 6, L"h\u00e9ll"},
      {1, 6, L""},            {0, 6, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    wchar_t buf[20];
    std::wmemset(buf, kSentinel, 20);
    EXPECT_EQ(row.result, GetEnvironmentVariableW(L"KX_WIN_ENV_TEST", buf, row.size));
    if (row.text != nullptr) {
      EXPECT_STREQ(row.text, buf);
    }
    for (unsigned int i = row.size; i < 20; ++i) EXPECT_EQ(kSentinel, buf[i]) << i;
  }

  struct RowA {
    unsigned int size;
    unsigned int result;
    const char* text;
  } rowsA[] = {{7, 6, "h\xc3\xa9llo"}, {6, 7, "h\xc3\xa9ll"}, {0, 7, nullptr}};
  for (const RowA& row : rowsA) {
    SCOPED_TRACE(row.size);
    char buf[20];
    std::memset(buf, '#', 20);
    EXPECT_EQ(row.result, GetEnvironmentVariableA("KX_WIN_ENV_TEST", buf, row.size));
    if (row.text != nullptr) {
      EXPECT_STREQ(row.text, buf);
    }
    for (unsigned int i = row.size; i < 20; ++i) EXPECT_EQ('#', buf[i]) << i;
  }

  wchar_t buf[8];
  EXPECT_EQ(0u, GetEnvironmentVariableW(L"KX_WIN_ENV_TEST_MISSING", buf, 8));
  EXPECT_EQ(0u, GetEnvironmentVariableA("KX_WIN_ENV_TEST_MISSING", nullptr, 0));
  unsetenv("KX_WIN_ENV_TEST");
}

TEST(WinEnvironment, SetVariable) {
  EXPECT_TRUE(SetEnvironmentVariable(L"KX_WIN_ENV_SET", L"caf\u00e9"));
  ASSERT_NE(nullptr, getenv("KX_WIN_ENV_SET"));
  EXPECT_STREQ("caf\xc3\xa9", getenv("KX_WIN_ENV_SET"));
  EXPECT_TRUE(SetEnvironmentVariable(L"KX_WIN_ENV_SET", L"again"));
  EXPECT_STREQ("again", getenv("KX_WIN_ENV_SET"));
  EXPECT_TRUE(SetEnvironmentVariable(L"KX_WIN_ENV_SET", nullptr));
  EXPECT_EQ(nullptr, getenv("KX_WIN_ENV_SET"));
  EXPECT_FALSE(SetEnvironmentVariable(L"A=B", L"x"));
  EXPECT_FALSE(SetEnvironmentVariable(nullptr, L"x"));
}

TEST(WinEnvironment, ModuleFileNameIsTheRunningExecutable) {
  char szExe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", szExe, sizeof(szExe) - 1);
  ASSERT_GT(n, 0);
  szExe[n] = 0;
  const std::wstring expected(szExe, szExe + n);  // the build path is ASCII

  wchar_t buf[PATH_MAX];
  EXPECT_TRUE(GetModuleFileNameW(nullptr, buf, PATH_MAX));
  EXPECT_EQ(expected, std::wstring(buf));
  char bufA[PATH_MAX];
  EXPECT_TRUE(GetModuleFileNameA(reinterpret_cast<void*>(0x1234), bufA, PATH_MAX));
  EXPECT_STREQ(szExe, bufA);

  // Too small: cut, terminated within the size, and reported as a failure.
  const auto nSize = static_cast<unsigned int>(n);  // one short for the NUL
  std::wmemset(buf, kSentinel, PATH_MAX);
  EXPECT_FALSE(GetModuleFileNameW(nullptr, buf, nSize));
  EXPECT_EQ(expected.substr(0, nSize - 1), std::wstring(buf));
  EXPECT_EQ(kSentinel, buf[nSize]);
  std::memset(bufA, '#', sizeof(bufA));
  EXPECT_FALSE(GetModuleFileNameA(nullptr, bufA, 4));
  EXPECT_EQ(std::string(szExe, 3), std::string(bufA));
  EXPECT_EQ('#', bufA[4]);
  EXPECT_FALSE(GetModuleFileNameW(nullptr, buf, 0));
}

TEST(WinEnvironment, SetCurrentDirectory) {
  char szFormer[PATH_MAX];
  ASSERT_NE(nullptr, getcwd(szFormer, sizeof(szFormer)));
  char szDir[] = "/tmp/winenv\xc3\xa9XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(szDir));
  // The directory's wide name: "é" is U+00E9.
  std::wstring wide;
  for (const char* p = szDir; *p != 0; ++p) {
    if (static_cast<unsigned char>(*p) == 0xC3) {
      wide += L'\u00e9';
      ++p;
    } else {
      wide += static_cast<wchar_t>(*p);
    }
  }
  EXPECT_TRUE(SetCurrentDirectoryW(wide.c_str()));
  char szNow[PATH_MAX];
  ASSERT_NE(nullptr, getcwd(szNow, sizeof(szNow)));
  EXPECT_STREQ(szDir, szNow);
  EXPECT_FALSE(SetCurrentDirectoryW(L"/nonexistent/directory"));
  EXPECT_TRUE(SetCurrentDirectoryA(szFormer));
  rmdir(szDir);
}

TEST(WinEnvironment, MakePath) {
  struct Row {
    const wchar_t* dir;
    const wchar_t* name;
    const wchar_t* ext;
    const wchar_t* expected;
  } rows[] = {
      {L"/a", L"b", L"txt", L"/a/b.txt"},
      {L"/a/", L"b", L".txt", L"/a/b.txt"},
      {L"", L"b", L"txt", L"b.txt"},  // no lone "/"
      {nullptr, L"b", nullptr, L"b"},
      {L"/a", L"b", L"", L"/a/b"},  // no lone "."
      {L"/a", nullptr, L"txt", L"/a/"},
      {L"/a", L"", L"txt", L"/a/"},
      {nullptr, nullptr, nullptr, L""},
  };
  for (const Row& row : rows) {
    wchar_t out[MAKEPATH_MAX];
    std::wmemset(out, kSentinel, MAKEPATH_MAX);
    EXPECT_TRUE(makepath(out, L"C:", row.dir, row.name, row.ext));
    EXPECT_STREQ(row.expected, out);
  }

  // 260 characters and the NUL fit; one more does not, and nothing is cut.
  const std::wstring dir(250, L'd');
  wchar_t out[MAKEPATH_MAX + 8];
  std::wmemset(out, kSentinel, MAKEPATH_MAX + 8);
  EXPECT_TRUE(makepath(out, nullptr, dir.c_str(), L"name", L"abcd"));  // 250+1+4+1+4
  EXPECT_EQ(260u, std::wcslen(out));
  std::wmemset(out, kSentinel, MAKEPATH_MAX + 8);
  EXPECT_FALSE(makepath(out, nullptr, dir.c_str(), L"name", L"abcde"));
  EXPECT_STREQ(L"", out);
  EXPECT_EQ(kSentinel, out[1]);
  // A larger capacity does not lift the bound; a smaller one lowers it.
  EXPECT_FALSE(makepath(out, nullptr, dir.c_str(), L"name", L"abcde", MAKEPATH_MAX + 8));
  EXPECT_FALSE(makepath(out, nullptr, L"/a", L"b", L"txt", 8));
  EXPECT_TRUE(makepath(out, nullptr, L"/a", L"b", L"txt", 9));
}

TEST(WinEnvironment, SystemIdentity) {
  OSVERSIONINFO info;
  std::memset(&info, 0x5A, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(info);
  EXPECT_TRUE(GetVersionEx(&info));
  EXPECT_EQ(sizeof(info), info.dwOSVersionInfoSize);
  EXPECT_EQ(1000u, info.dwPlatformId);
  EXPECT_EQ(0u, info.dwMajorVersion);
  EXPECT_EQ(0u, info.dwBuildNumber);
  EXPECT_EQ(0, info.szCSDVersion[0]);
  EXPECT_EQ(0, info.szCSDVersion[127]);

  EXPECT_EQ(2048, GetSystemDefaultLangID());
  EXPECT_EQ(2048, GetUserDefaultLangID());
  const int handles[][2] = {{-10, 0}, {-11, 1}, {-12, 2}, {-13, -1}, {0, -1}, {1, -1}};
  for (const auto& h : handles) EXPECT_EQ(h[1], GetStdHandle(h[0])) << h[0];
}

}  // namespace
