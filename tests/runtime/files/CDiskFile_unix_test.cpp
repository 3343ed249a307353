#include "CDiskFile.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>

namespace {

// Wide and UTF-8 spellings of the same names, written out so that the test
// does not lean on the conversion it checks.
const wchar_t kwName[] = L"\u00e9t\u00e9-\u65e5\u672c-\u03a9.txt";
const char kName[] = "\xc3\xa9t\xc3\xa9-\xe6\x97\xa5\xe6\x9c\xac-\xce\xa9.txt";
const wchar_t kwDir[] = L"r\u00e9pertoire-\u65e5";
const char kDir[] = "r\xc3\xa9pertoire-\xe6\x97\xa5";

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool Exists(const std::string& utf8Path) {
  struct stat info;
  return ::lstat(utf8Path.c_str(), &info) == 0;
}

// A fresh directory with an ASCII, symlink-free path; removed with all it
// holds. The current directory is put back after each test.
class CDiskFileUnix : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        std::filesystem::canonical(std::filesystem::temp_directory_path()).string() +
        "/kxdiskXXXXXX";
    ASSERT_NE(::mkdtemp(&pattern[0]), nullptr);
    m_base = pattern;
    m_wbase = Widen(m_base);
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    m_cwd = cwd;
  }
  void TearDown() override {
    EXPECT_EQ(::chdir(m_cwd.c_str()), 0);
    std::error_code ignored;
    std::filesystem::remove_all(m_base, ignored);
  }

  std::string m_base;
  std::wstring m_wbase;
  std::string m_cwd;
};

TEST_F(CDiskFileUnix, FileOperationsReachTheUtf8Name) {
  const std::wstring wpath = m_wbase + L"/" + kwName;
  const std::string path = m_base + "/" + kName;

  const int fd = CDiskFile::Unix_open(wpath.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0640);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "xyz", 3), 3);
  ::close(fd);
  ASSERT_TRUE(Exists(path));

  FILE* file = CDiskFile::Unix_fopen(wpath.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char content[4] = {};
  EXPECT_EQ(std::fread(content, 1, 3, file), 3u);
  std::fclose(file);
  EXPECT_STREQ(content, "xyz");

  const int rfd = CDiskFile::Unix_ropen(wpath.c_str(), O_RDONLY, 0);
  EXPECT_GE(rfd, 0);
  if (rfd >= 0) ::close(rfd);
  const int ofd = CDiskFile::Unix_open(wpath.c_str(), O_RDONLY);
  EXPECT_GE(ofd, 0);
  if (ofd >= 0) ::close(ofd);

  EXPECT_EQ(CDiskFile::Unix_chmod(wpath.c_str(), 0600), 0);
  const struct utimbuf times = {1000, 2000};
  EXPECT_EQ(CDiskFile::Unix_utime(wpath.c_str(), &times), 0);
  EXPECT_EQ(CDiskFile::__Unix_chown(wpath.c_str(), ::getuid(), ::getgid()), 0);
  struct stat info;
  unsigned err = 99;
  ASSERT_EQ(CDiskFile::Unix_stat(wpath.c_str(), &info, &err), 0);
  EXPECT_EQ(err, 0u);
  EXPECT_EQ(info.st_size, 3);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(info.st_mtime, 2000);
  EXPECT_EQ(CDiskFile::Unix_access(wpath.c_str(), R_OK, &err), 0);
  EXPECT_EQ(err, 0u);

  const std::wstring wrenamed = m_wbase + L"/\u00fc-" + kwName;
  const std::string renamed = m_base + "/\xc3\xbc-" + kName;
  ASSERT_EQ(CDiskFile::__Unix_rename(wpath.c_str(), wrenamed.c_str()), 0);
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(Exists(renamed));

  // lstat sees the link itself, stat what it points to.
  const std::string link = m_base + "/" + kDir;
  ASSERT_EQ(::symlink(renamed.c_str(), link.c_str()), 0);
  ASSERT_EQ(CDiskFile::Unix_lstat((m_wbase + L"/" + kwDir).c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(CDiskFile::Unix_stat((m_wbase + L"/" + kwDir).c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));

  EXPECT_EQ(CDiskFile::Unix_unlink(wrenamed.c_str()), 0);
  EXPECT_FALSE(Exists(renamed));
  EXPECT_EQ(CDiskFile::Unix_stat(wrenamed.c_str(), &info, &err), -1);
  EXPECT_EQ(err, static_cast<unsigned>(ENOENT));
  EXPECT_EQ(CDiskFile::Unix_access(wrenamed.c_str(), F_OK, &err), -1);
  EXPECT_EQ(err, static_cast<unsigned>(ENOENT));

  ASSERT_EQ(CDiskFile::Unix_mkfifo(wpath.c_str(), 0600), 0);
  ASSERT_EQ(::lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(CDiskFileUnix, DirectoriesAndTheCurrentDirectory) {
  const std::wstring wdir = m_wbase + L"/" + kwDir;
  const std::string dir = m_base + "/" + kDir;
  ASSERT_EQ(CDiskFile::__Unix_mkdir(wdir.c_str(), 0700), 0);
  const int fd = CDiskFile::Unix_open((wdir + L"/" + kwName).c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);

  DIR* listing = CDiskFile::__Unix_opendir(wdir.c_str());
  ASSERT_NE(listing, nullptr);
  std::string names;
  while (const struct dirent* entry = ::readdir(listing))
    if (entry->d_name[0] != '.') names += entry->d_name;
  ::closedir(listing);
  EXPECT_EQ(names, kName);

  struct statfs64 fs;
  ASSERT_EQ(CDiskFile::__Unix_statfs(wdir.c_str(), &fs), 0);
  EXPECT_GT(fs.f_bsize, 0);

  ASSERT_EQ(CDiskFile::Unix_chdir(wdir.c_str()), 0);
  wchar_t cwd[PATH_MAX];
  ASSERT_TRUE(CDiskFile::Unix_getcwd(cwd, PATH_MAX));
  EXPECT_EQ(std::wstring(cwd), wdir);
  // The UTF-8 form with its NUL must fit in the size given.
  const int utf8Size = static_cast<int>(dir.size()) + 1;
  EXPECT_TRUE(CDiskFile::Unix_getcwd(cwd, utf8Size));
  EXPECT_EQ(std::wstring(cwd), wdir);
  EXPECT_FALSE(CDiskFile::Unix_getcwd(cwd, utf8Size - 1));
  EXPECT_EQ(errno, ERANGE);
  EXPECT_FALSE(CDiskFile::Unix_getcwd(cwd, 0));

  // Relative paths now resolve against the new current directory.
  EXPECT_EQ(CDiskFile::Unix_unlink(kwName), 0);
  ASSERT_EQ(CDiskFile::Unix_chdir(m_wbase.c_str()), 0);
  EXPECT_EQ(CDiskFile::__Unix_rmdir(kwDir), 0);
  EXPECT_FALSE(Exists(dir));
  EXPECT_EQ(CDiskFile::__Unix_rmdir(kwDir), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(CDiskFileUnix, SystemRunsTheUtf8Command) {
  ASSERT_EQ(CDiskFile::__Unix_mkdir((m_wbase + L"/" + kwDir).c_str(), 0700), 0);
  const std::wstring test = L"test -d '" + m_wbase + L"/" + kwDir + L"'";
  int status = CDiskFile::Unix_system(test.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  status = CDiskFile::Unix_system(L"exit 3");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_NE(CDiskFile::Unix_system(nullptr), 0);  // a shell is there
}

// Builds, under `base`, directories named with two-byte letters and a file
// name padded so that the UTF-8 path with its NUL needs exactly `bytes`
// bytes; its wide form has far fewer characters. Returns both forms of the
// file's path; the directories exist.
void MakeLongPath(const std::string& base, std::size_t bytes, std::string& path,
                  std::wstring& wpath) {
  path = base;
  wpath = Widen(base);
  std::string dirUtf8;
  std::wstring dirWide;
  for (int i = 0; i < 100; ++i) {
    dirUtf8 += "\xc3\xa9";
    dirWide += L'\u00e9';
  }
  // Each directory adds a slash and 200 bytes; the name gets what is left.
  while (bytes - 1 - path.size() - 1 > 255) {
    path += "/" + dirUtf8;
    wpath += L"/" + dirWide;
    ASSERT_TRUE(::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) << path;
  }
  const std::size_t nameSize = bytes - 1 - path.size() - 1;
  path += "/" + std::string(nameSize, 'n');
  wpath += L"/" + std::wstring(nameSize, L'n');
  ASSERT_EQ(path.size() + 1, bytes);
}

// Paths whose UTF-8 form with its NUL needs 1023 bytes (the most converted on
// the stack) and 1024 bytes (the least converted on the heap) reach the
// system whole: the file is created under the exact name, renamed from one
// length to the other, and removed.
TEST_F(CDiskFileUnix, PathsAroundTheStackLimit) {
  std::string path1023, path1024;
  std::wstring wpath1023, wpath1024;
  ASSERT_NO_FATAL_FAILURE(MakeLongPath(m_base, 1023, path1023, wpath1023));
  ASSERT_NO_FATAL_FAILURE(MakeLongPath(m_base, 1024, path1024, wpath1024));
  ASSERT_LT(wpath1024.size(), 1023u);  // the wide form alone would fit the stack

  const int fd = CDiskFile::Unix_open(wpath1023.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(Exists(path1023));
  struct stat info;
  unsigned err = 99;
  EXPECT_EQ(CDiskFile::Unix_stat(wpath1023.c_str(), &info, &err), 0);
  EXPECT_EQ(err, 0u);
  EXPECT_EQ(CDiskFile::Unix_stat(wpath1024.c_str(), &info, &err), -1);
  EXPECT_EQ(err, static_cast<unsigned>(ENOENT));

  ASSERT_EQ(CDiskFile::__Unix_rename(wpath1023.c_str(), wpath1024.c_str()), 0);
  EXPECT_FALSE(Exists(path1023));
  EXPECT_TRUE(Exists(path1024));
  EXPECT_EQ(CDiskFile::Unix_stat(wpath1024.c_str(), &info, &err), 0);
  EXPECT_EQ(CDiskFile::Unix_access(wpath1024.c_str(), W_OK, &err), 0);
  FILE* file = CDiskFile::Unix_fopen(wpath1024.c_str(), "r");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) std::fclose(file);
  ASSERT_EQ(CDiskFile::__Unix_rename(wpath1024.c_str(), wpath1023.c_str()), 0);
  EXPECT_TRUE(Exists(path1023));
  EXPECT_EQ(CDiskFile::Unix_unlink(wpath1023.c_str()), 0);
  EXPECT_FALSE(Exists(path1023));

  // Far beyond what the system takes: converted on the heap and refused by
  // the system, not by the conversion.
  const std::wstring tooLong = m_wbase + L"/" + std::wstring(3000, L'\u00e9');
  EXPECT_EQ(CDiskFile::Unix_stat(tooLong.c_str(), &info, &err), -1);
  EXPECT_EQ(err, static_cast<unsigned>(ENAMETOOLONG));
}

TEST(CDiskFileUnixHome, HomeDirectoryFromHomeThenPasswordEntry) {
  const char* saved = std::getenv("HOME");
  const std::string savedHome = saved != nullptr ? saved : "";
  wchar_t home[PATH_MAX];

  ASSERT_EQ(::setenv("HOME", "/home/\xc3\xa9t\xc3\xa9", 1), 0);
  ASSERT_TRUE(CDiskFile::Unix_gethomedir(home, PATH_MAX));
  EXPECT_EQ(std::wstring(home), L"/home/\u00e9t\u00e9");
  EXPECT_TRUE(CDiskFile::Unix_gethomedir(home, 10));  // 9 characters and the NUL
  EXPECT_FALSE(CDiskFile::Unix_gethomedir(home, 9));

  const struct passwd* entry = ::getpwuid(::getuid());
  const std::string fromPassword =
      entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] != '\0' ? entry->pw_dir
                                                                                : ".";
  for (bool unset : {true, false}) {
    if (unset)
      ASSERT_EQ(::unsetenv("HOME"), 0);
    else
      ASSERT_EQ(::setenv("HOME", "", 1), 0);
    ASSERT_TRUE(CDiskFile::Unix_gethomedir(home, PATH_MAX));
    EXPECT_EQ(std::wstring(home), Widen(fromPassword)) << "HOME unset: " << unset;
  }

  if (saved != nullptr)
    ::setenv("HOME", savedHome.c_str(), 1);
  else
    ::unsetenv("HOME");
}

}  // namespace
