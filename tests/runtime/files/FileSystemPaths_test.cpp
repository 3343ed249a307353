// Path strings, name patterns, full and relative paths.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "CDiskFile.h"
#include "CFindFile.h"
#include "CXError.h"
#include "support/DiskFileTestDirectory.h"

namespace {

class FileSystemPaths : public DiskFileTestDirectory {};

TEST(FileSystemPatterns, NameMatching) {
  struct Case {
    const wchar_t* name;
    const wchar_t* pattern;
    bool bMatch;
  };
  const Case cases[] = {
      {L"a.txt", L"*.txt", true}, {L"a.TXT", L"*.txt", false},
      {L".txt", L"*.txt", true},  {L"a.txt.bak", L"*.txt", false},
      {L"abc", L"a*b*c", true},   {L"aXbYc", L"a*b*c", true},
      {L"abbc", L"a*b*c", true},  {L"acb", L"a*b*c", false},
      {L"abcabc", L"a*c", true},  {L"ab", L"a?", true},
      {L"a", L"a?", false},       {L"abc", L"a?", false},
      {L"abc", L"*", true},       {L"", L"*", true},
      {L"abc", L"abc**", true},   {L"Abc", L"abc", false},
      {L"a*c", L"a?c", true},     {L"mississippi", L"*sip*", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CDiskFile::_bFiltreFileName(c.name, c.pattern), c.bMatch)
        << "name " << testing::PrintToString(std::wstring(c.name)) << " pattern "
        << testing::PrintToString(std::wstring(c.pattern));
  }
}

TEST_F(FileSystemPaths, SearchIsCaseSensitiveAndSkipsDotEntries) {
  WriteFile("a.txt", "1");
  WriteFile("a.TXT", "22");
  WriteFile(".hidden.txt", "");
  ASSERT_EQ(::mkdir("sub.txt", 0700), 0);
  struct Case {
    const wchar_t* pattern;
    int required;
    int excluded;
    std::set<std::wstring> names;
  };
  const Case cases[] = {
      {L"*.txt", 0, 0, {L"a.txt", L".hidden.txt", L"sub.txt"}},
      {L"*.txt", 0, XFILE_ATTRIBUTE_DIRECTORY, {L"a.txt", L".hidden.txt"}},
      {L"*", XFILE_ATTRIBUTE_DIRECTORY, 0, {L"sub.txt"}},
      {L"*", XFILE_ATTRIBUTE_HIDDEN, 0, {L".hidden.txt"}},
      {L"*.TXT", 0, 0, {L"a.TXT"}},
      {L"none*", 0, 0, {}},
  };
  for (const Case& c : cases) {
    for (const std::wstring& prefix : {std::wstring(), m_wsBase + L"/"}) {
      SCOPED_TRACE(testing::PrintToString(prefix + c.pattern));
      std::set<std::wstring> found;
      CFindFile search;
      for (bool b =
               search.bFindFirst((prefix + c.pattern).c_str(), c.required, c.excluded, nullptr);
           b; b = search.bFindNext(nullptr)) {
        found.insert(search.stGetData().szName);
      }
      EXPECT_EQ(found, c.names);
    }
  }

  CDiskFile::_stXFINDDATA st;
  std::memset(&st, 0, sizeof st);
  ASSERT_TRUE(CDiskFile::bFindFirst(L"a.TXT", &st, 0, 0, nullptr));
  EXPECT_EQ(st.llSize, 2);
  EXPECT_EQ(st.nAttributes & XFILE_ATTRIBUTE_TYPE, 0x8000);
  EXPECT_GE(st.stLastWrite.wYear, 2020);
  CFindFile first;
  CFindFile second;
  ASSERT_TRUE(first.bFindFirst(L"*", 0, 0, nullptr));
  first.TransfertTo(second);
  EXPECT_EQ(first.stGetData().hDir, nullptr);
  EXPECT_NE(second.stGetData().hDir, nullptr);
  EXPECT_TRUE(CDiskFile::bFindClose(&st, nullptr));

  // A missing directory is no entry and no error.
  CXError error(&gstMyModuleInfo76);
  CFindFile missing;
  EXPECT_FALSE(missing.bFindFirst(L"no-such-dir/*", 0, 0, &error));
  EXPECT_EQ(error.eGetErrorLevel(), ERRORLEVEL_NONE);
}

TEST_F(FileSystemPaths, FullPaths) {
  const struct passwd* pPassword = ::getpwuid(::getuid());
  ASSERT_NE(pPassword, nullptr);
  const std::wstring wsHome = Wide(pPassword->pw_dir);
  struct Case {
    std::wstring path;
    std::wstring full;
  };
  const Case cases[] = {
      {L"x/../y", m_wsBase + L"/y"},
      {L"/../x", L"/x"},
      {L"/../../x", L"/x"},
      {L"/a/./b/../c", L"/a/c"},
      {L"/a/./../b", L"/b"},
      {L"/a//b/", L"/a/b/"},
      {L"a\\b", m_wsBase + L"/a/b"},
      {L".", m_wsBase},
      {L"/", L"/"},
      {L"~/q", (wsHome == L"/" ? L"" : wsHome) + L"/q"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    wchar_t szOut[XMAX_PATH_BUFFER];
    wchar_t* pFilePart = nullptr;
    const unsigned n =
        CDiskFile::GetFullPathName(c.path.c_str(), XMAX_PATH_BUFFER, szOut, &pFilePart);
    EXPECT_EQ(n, c.full.size());
    EXPECT_EQ(std::wstring(szOut), c.full);
    EXPECT_EQ(std::wstring(pFilePart), c.full.substr(c.full.rfind(L'/') + 1));
  }

  // Too small an output: the size needed comes back.
  wchar_t szSmall[4];
  EXPECT_EQ(CDiskFile::GetFullPathName(L"/abcdef", 4, szSmall, nullptr), 8u);
  CXError error(&gstMyModuleInfo76);
  unsigned nLength = 0;
  EXPECT_FALSE(CDiskFile::bGetFullPath(szSmall, 4, L"/abcdef", &nLength, &error));
  EXPECT_EQ(error.dwGetSystemErrorCode(), static_cast<unsigned>(ENAMETOOLONG));
  EXPECT_EQ(error.nGetErrorId(0), 28131u);
  EXPECT_TRUE(CDiskFile::bSameFileName(L"x/../y", (m_wsBase + L"/y").c_str()));
  EXPECT_FALSE(CDiskFile::bSameFileName(L"y", L"Y"));
  EXPECT_TRUE(CDiskFile::bSameDirectoryName(L"d/", (m_wsBase + L"/d").c_str()));
}

TEST(FileSystemPathStrings, SimplifyPath) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"/a/../b", L"/b"},       {L"/../x", L"/../x"},     {L"a/../b", L"a/../b"},
      {L"/a/./b", L"/a/b"},      {L"/a/././b", L"/a/b"},   {L"/../../x", L"/../../x"},
      {L"/x/../../y", L"/../y"}, {L"/a/b/../../c", L"/c"}, {L"/a/../", L"/"},
  };
  for (const auto& c : cases) {
    wchar_t sz[64];
    std::wcscpy(sz, c.first);
    CDiskFile::SimplifyPath(sz);
    EXPECT_STREQ(sz, c.second) << testing::PrintToString(std::wstring(c.first));
  }
}

TEST(FileSystemPathStrings, NamesAndExtensions) {
  EXPECT_STREQ(CDiskFile::pszGetPtrToFileName(L"/a/b.c"), L"b.c");
  EXPECT_STREQ(CDiskFile::pszGetPtrToFileName(L"a\\b"), L"b");
  EXPECT_STREQ(CDiskFile::pszGetPtrToExtension(L"/a.d/b.c.e"), L".e");
  EXPECT_STREQ(CDiskFile::pszGetPtrToExtension(L"/a.d/b"), L"");

  wchar_t sz[XMAX_PATH_BUFFER];
  std::wcscpy(sz, L"a.d\\b.c");
  CDiskFile::DelExtension(sz);
  EXPECT_STREQ(sz, L"a.d/b");
  std::wcscpy(sz, L"a.d/b");
  CDiskFile::DelExtension(sz);
  EXPECT_STREQ(sz, L"a.d/b");

  std::wcscpy(sz, L"dir/file.old");
  EXPECT_TRUE(CDiskFile::ChangeExtension(sz, XMAX_PATH_BUFFER, L"new"));
  EXPECT_STREQ(sz, L"dir/file.new");
  EXPECT_TRUE(CDiskFile::ChangeExtension(sz, XMAX_PATH_BUFFER, L".x"));
  EXPECT_STREQ(sz, L"dir/file.x");
  EXPECT_FALSE(CDiskFile::ChangeExtension(sz, 12, L"long"));
  EXPECT_STREQ(sz, L"dir/file.x");

  struct MakeCase {
    const wchar_t* directory;
    const wchar_t* name;
    const wchar_t* extension;
    const wchar_t* path;
  };
  const MakeCase makeCases[] = {
      {L"/d", L"n", L"e", L"/d/n.e"}, {L"/d/", L"n", L".e", L"/d/n.e"}, {L"", L"n", L"e", L"n.e"},
      {nullptr, L"n", nullptr, L"n"}, {L"d\\e", L"n", L"", L"d/e/n"},
  };
  for (const MakeCase& c : makeCases) {
    EXPECT_TRUE(CDiskFile::MakePath(sz, c.directory, c.name, c.extension, XMAX_PATH_BUFFER));
    EXPECT_STREQ(sz, c.path);
  }

  wchar_t szDirectory[XMAX_PATH_BUFFER];
  wchar_t szName[XMAX_PATH_BUFFER];
  wchar_t szExtension[XMAX_PATH_BUFFER];
  ASSERT_TRUE(CDiskFile::__SplitPath(L"a\\b.c/d.e.f", szDirectory, szName, szExtension));
  EXPECT_STREQ(szDirectory, L"a/b.c/");
  EXPECT_STREQ(szName, L"d.e");
  EXPECT_STREQ(szExtension, L".f");
  ASSERT_TRUE(CDiskFile::__SplitPath(L"libx.so", szDirectory, szName));
  EXPECT_STREQ(szDirectory, L"");
  EXPECT_STREQ(szName, L"libx.so");

  EXPECT_TRUE(CDiskFile::bIsRelativePath(L"./x"));
  EXPECT_FALSE(CDiskFile::bIsRelativePath(L"x"));
  EXPECT_TRUE(CDiskFile::bIsRelativeFileName(L"x"));
  EXPECT_FALSE(CDiskFile::bIsRelativeFileName(L"\\x"));
  EXPECT_TRUE(CDiskFile::bIsRelativeFileName_WIN32(L""));
  EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32(L"c:x"));
  EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32(L"\\x"));
  EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32(L"lpt1:"));
  EXPECT_TRUE(CDiskFile::bIsRelativeFileName_WIN32(L"x/y"));
  EXPECT_TRUE(CDiskFile::bUNCName(L"\\\\server\\share"));
  EXPECT_FALSE(CDiskFile::bUNCName(L"\\\\server"));
  EXPECT_TRUE(CDiskFile::bUNCNameA("\\\\s\\t"));
  EXPECT_TRUE(CDiskFile::bValidName(L"name.txt"));
  for (const wchar_t* bad : {L"a\\b", L"a/b", L"a:b", L"a*", L"a?", L"a\"", L"a<", L"a>", L"a|"}) {
    EXPECT_FALSE(CDiskFile::bValidName(bad)) << testing::PrintToString(std::wstring(bad));
  }

  std::wcscpy(sz, L"a\\b\\");
  CDiskFile::DirectoryWithoutEndSlash(sz);
  EXPECT_STREQ(sz, L"a/b");
  EXPECT_TRUE(CDiskFile::DirectoryWithEndSlash(sz));
  EXPECT_STREQ(sz, L"a/b/");
  std::wcscpy(sz, L"x");
  EXPECT_TRUE(CDiskFile::PrefixeCurrentDirectory(sz));
  EXPECT_STREQ(sz, L"./x");
  EXPECT_TRUE(CDiskFile::StandardizeFileName(sz, L"a\\b  "));
  EXPECT_STREQ(sz, L"a/b");
}

TEST(FileSystemPathStrings, RelativePaths) {
  wchar_t sz[XMAX_PATH_BUFFER];
  struct ToCase {
    const wchar_t* path;
    const wchar_t* base;
    bool bStopAtRoot;
    bool bResult;
    const wchar_t* out;
  };
  const ToCase toCases[] = {
      {L"/a/b/c", L"/a/b", false, true, L"./c"},     {L"/a/x/c", L"/a/b/", false, true, L"../x/c"},
      {L"/z/c", L"/a/b", false, true, L"../../z/c"}, {L"a/c", L"", false, true, L"a/c"},
      {L"z/c", L"a/b", true, false, nullptr},
  };
  for (const ToCase& c : toCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
    EXPECT_EQ(CDiskFile::bPathRelativePathTo(sz, c.path, c.base, c.bStopAtRoot), c.bResult);
    if (c.out != nullptr) {
      EXPECT_STREQ(sz, c.out);
    }
  }

  struct FullCase {
    const wchar_t* base;
    const wchar_t* relative;
    int mode;
    const wchar_t* out;
  };
  const FullCase fullCases[] = {
      {L"/a/b/", L".", 0, L"/a/b/"},      {L"/a/b", L"x", 0, L"x"},
      {L"/a/b", L"x", 2, L"/a/b/x"},      {L"/a/b", L"/x", 1, L"/x"},
      {L"/a/b/", L"./x", 0, L"/a/b/x"},   {L"/a/b", L"../x", 0, L"/a/x"},
      {L"/a/b", L"../../../x", 0, L"/x"}, {L"/a/b", L"/x", 2, L"/a/b//x"},
  };
  for (const FullCase& c : fullCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.relative)));
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(sz, c.base, c.relative, c.mode));
    EXPECT_STREQ(sz, c.out);
  }
}

// Every fixed path field refuses a text that does not fit, leaving no cut
// path behind.
TEST_F(FileSystemPaths, TooLongForAPathField) {
  const std::wstring ws259(259, L'p');
  const std::wstring ws260(260, L'p');
  wchar_t sz[XMAX_PATH_BUFFER];
  wchar_t szOther[XMAX_PATH_BUFFER];

  std::wcscpy(sz, ws260.c_str());
  errno = 0;
  EXPECT_FALSE(CDiskFile::DirectoryWithEndSlash(sz));
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(std::wstring(sz), ws260);
  std::wcscpy(sz, ws259.c_str());
  EXPECT_TRUE(CDiskFile::DirectoryWithEndSlash(sz));
  EXPECT_FALSE(CDiskFile::PrefixeCurrentDirectory(sz));
  EXPECT_EQ(std::wstring(sz), ws259 + L"/");

  EXPECT_FALSE(CDiskFile::StandardizeFileName(sz, (ws260 + L"q").c_str()));
  EXPECT_FALSE(CDiskFile::__SplitPath((L"/" + ws260 + L"q").c_str(), sz, szOther));
  EXPECT_TRUE(CDiskFile::__SplitPath((L"/" + ws260 + L"q").c_str(), sz, nullptr));
  EXPECT_FALSE(CDiskFile::MakePath(sz, ws259.c_str(), L"n", L"e", XMAX_PATH_BUFFER));
  EXPECT_STREQ(sz, L"");
  EXPECT_FALSE(CDiskFile::MakePath(sz, L"/dir", L"name", L"ext", 12));
  EXPECT_TRUE(CDiskFile::MakePath(sz, L"/dir", L"name", L"ext", 14));
  EXPECT_FALSE(CDiskFile::bGetLongPathName(sz, 4, L"abcd"));
  EXPECT_FALSE(CDiskFile::bRelativeToFullPath(sz, ws259.c_str(), L"x", 2));
  EXPECT_FALSE(CDiskFile::bRelativeToFullPath(sz, ws259.c_str(), L"./x", 0));
  // "../a/" and 257 characters: 262.
  EXPECT_FALSE(
      CDiskFile::bPathRelativePathTo(sz, (L"/a/" + std::wstring(257, L'p')).c_str(), L"/b", false));

  // A search pattern whose directory does not fit is refused, not cut.
  CXError error(&gstMyModuleInfo76);
  CFindFile search;
  EXPECT_FALSE(search.bFindFirst((L"/" + ws260 + L"/*").c_str(), 0, 0, &error));
  EXPECT_EQ(error.dwGetSystemErrorCode(), static_cast<unsigned>(ENAMETOOLONG));
  EXPECT_EQ(error.nGetErrorId(0), 28135u);

  // A temporary name too long for its field.
  EXPECT_FALSE(CDiskFile::bGetTempName(sz, m_wsBase.c_str(), ws259.c_str(), &error));
  EXPECT_EQ(error.nGetErrorId(0), 28134u);
  EXPECT_TRUE(std::filesystem::is_empty(m_sBase));
}

}  // namespace
