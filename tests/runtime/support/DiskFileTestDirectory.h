// Fixture of the disk file and file-system tests: a fresh directory of its
// own (mkdtemp, ASCII, no symbolic link in its path) that the test works in
// as its current directory; the former current directory is put back and the
// directory removed with all it holds after each test.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class DiskFileTestDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    char szCwd[PATH_MAX];
    ASSERT_NE(::getcwd(szCwd, sizeof szCwd), nullptr);
    m_sFormerCwd = szCwd;
    std::string sPattern =
        std::filesystem::canonical(std::filesystem::temp_directory_path()).string() +
        "/kxfileXXXXXX";
    ASSERT_NE(::mkdtemp(&sPattern[0]), nullptr);
    m_sBase = sPattern;
    m_wsBase = Wide(m_sBase);
    ASSERT_EQ(::chdir(m_sBase.c_str()), 0);
  }

  void TearDown() override {
    EXPECT_EQ(::chdir(m_sFormerCwd.c_str()), 0);
    std::error_code ignored;
    std::filesystem::remove_all(m_sBase, ignored);
  }

  static std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
  }

  static void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }

  static bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
  }

  std::string m_sBase;
  std::wstring m_wsBase;
  std::string m_sFormerCwd;
};
