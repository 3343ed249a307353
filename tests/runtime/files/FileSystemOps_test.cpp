// The static file-system toolbox: directories, delete, rename, copy, move,
// tree walks, attributes, temporary names, times and concatenation.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "CDiskFile.h"
#include "CXError.h"
#include "support/DiskFileTestDirectory.h"

namespace {

class FileSystemOps : public DiskFileTestDirectory {
 protected:
  CXError m_error{&gstMyModuleInfo76};

  ino_t Inode(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  }
};

TEST_F(FileSystemOps, CreateDirectory) {
  EXPECT_TRUE(CDiskFile::bCreateDirectory(L"a/b/c/", &m_error));
  EXPECT_TRUE(std::filesystem::is_directory("a/b/c"));
  EXPECT_TRUE(CDiskFile::bCreateDirectory(L"a\\b", &m_error));
  EXPECT_TRUE(CDiskFile::bCreateDirectory((m_wsBase + L"/a/b/c").c_str(), &m_error));
  EXPECT_FALSE(CDiskFile::bCreateDirectory(L"", &m_error));
  EXPECT_EQ(m_error.eGetErrorLevel(), ERRORLEVEL_NONE);

  WriteFile("file", "");
  EXPECT_FALSE(CDiskFile::bCreateDirectory(L"file", &m_error));
  EXPECT_EQ(m_error.nGetErrorId(0), 28126u);
  EXPECT_EQ(m_error.dwGetSystemErrorCode(), static_cast<unsigned>(EEXIST));
  EXPECT_FALSE(CDiskFile::bCreateDirectory(L"file/sub", &m_error));
  EXPECT_EQ(m_error.dwGetSystemErrorCode(), static_cast<unsigned>(ENOTDIR));
}

TEST_F(FileSystemOps, CreateDirectoryRefusesAPathLongerThanTheField) {
  // 200 + 1 + 100 characters, end slashes not counted.
  const std::wstring wsPath = std::wstring(200, L'd') + L"/" + std::wstring(100, L'e') + L"///";
  errno = 0;
  EXPECT_FALSE(CDiskFile::bCreateDirectory(wsPath.c_str(), &m_error));
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(m_error.eGetErrorLevel(), ERRORLEVEL_ERROR);
  EXPECT_EQ(m_error.dwGetSystemErrorCode(), static_cast<unsigned>(ENAMETOOLONG));
  EXPECT_EQ(m_error.nGetErrorId(0), 28126u);
  // Nothing was made, not even the levels that would have fitted.
  EXPECT_TRUE(std::filesystem::is_empty(m_sBase));
  // 260 characters exactly is made.
  const std::wstring ws260 = std::wstring(200, L'd') + L"/" + std::wstring(59, L'e');
  EXPECT_TRUE(CDiskFile::bCreateDirectory((ws260 + L"/").c_str(), &m_error));
}

TEST_F(FileSystemOps, RenameRefusesAnExistingName) {
  WriteFile("old", "1");
  WriteFile("new", "2");
  EXPECT_FALSE(CDiskFile::bRename(L"new", L"old", &m_error));
  EXPECT_EQ(m_error.dwGetSystemErrorCode(), static_cast<unsigned>(EEXIST));
  EXPECT_EQ(m_error.nGetErrorId(0), 28124u);
  void* pValue = nullptr;
  ASSERT_TRUE(m_error.bGetInfo(EIT_SRCFILE, &pValue));
  EXPECT_STREQ(static_cast<const wchar_t*>(pValue), L"old");
  ASSERT_TRUE(m_error.bGetInfo(EIT_DSTFILE, &pValue));
  EXPECT_STREQ(static_cast<const wchar_t*>(pValue), L"new");
  EXPECT_EQ(ReadFile("new"), "2");
  EXPECT_TRUE(CDiskFile::bRename(L"other", L"old", &m_error));
  EXPECT_EQ(ReadFile("other"), "1");
}

TEST_F(FileSystemOps, MoveReplacesAtomicallyAndKeepsTheDestinationOnFailure) {
  WriteFile("src", "new");
  WriteFile("dst", "old");
  EXPECT_TRUE(CDiskFile::bMove(L"dst", L"src", &m_error));
  EXPECT_EQ(ReadFile("dst"), "new");
  EXPECT_FALSE(Exists("src"));

  // A move that cannot happen leaves the destination as it was.
  EXPECT_FALSE(CDiskFile::bMove(L"dst", L"missing", &m_error));
  EXPECT_EQ(m_error.nGetErrorId(0), 28124u);
  EXPECT_EQ(m_error.dwGetSystemErrorCode(), static_cast<unsigned>(ENOENT));
  EXPECT_TRUE(m_error.bHasInfo(EIT_DSTFILE));
  EXPECT_EQ(ReadFile("dst"), "new");
  EXPECT_TRUE(CDiskFile::bMove(L"dst", L"./dst", &m_error));
  EXPECT_EQ(ReadFile("dst"), "new");
}

TEST_F(FileSystemOps, MoveBetweenTwoNamesOfOneFile) {
  // Hard links: two entries; the source entry goes.
  WriteFile("x", "data");
  ASSERT_EQ(::link("x", "y"), 0);
  EXPECT_TRUE(CDiskFile::bMove(L"y", L"x", &m_error));
  EXPECT_FALSE(Exists("x"));
  EXPECT_EQ(ReadFile("y"), "data");

  // One entry reached through a linked directory: nothing changes.
  ASSERT_EQ(::mkdir("d", 0700), 0);
  WriteFile("d/x", "kept");
  ASSERT_EQ(::symlink("d", "l"), 0);
  EXPECT_TRUE(CDiskFile::bMove(L"l/x", L"d/x", &m_error));
  EXPECT_EQ(ReadFile("d/x"), "kept");
  EXPECT_TRUE(CDiskFile::bMove(L"d/x", L"l/x", &m_error));
  EXPECT_EQ(ReadFile("d/x"), "kept");
}

TEST_F(FileSystemOps, CopyRefusesTheSameFile) {
  WriteFile("a", "content");
  ASSERT_EQ(::link("a", "b"), 0);
  for (const wchar_t* destination : {L"a", L"./a", L"b"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(destination)));
    EXPECT_FALSE(CDiskFile::bCopy(destination, L"a", &m_error));
    EXPECT_EQ(m_error.nGetErrorId(0), 28125u);
    EXPECT_EQ(ReadFile("a"), "content");
  }
  std::string sBig(10000, 'z');
  WriteFile("big", sBig);
  ASSERT_EQ(::chmod("big", 0600), 0);
  WriteFile("c", "longer old content of c that is cut");
  EXPECT_TRUE(CDiskFile::bCopy(L"c", L"big", &m_error));
  EXPECT_EQ(ReadFile("c"), sBig);
  EXPECT_FALSE(CDiskFile::bCopy(L"d", L"missing", &m_error));
  EXPECT_FALSE(Exists("d"));
}

TEST_F(FileSystemOps, DeleteAndAttributes) {
  WriteFile(".hidden", "abc");
  int attributes = 0;
  unsigned systemError = 99;
  ASSERT_TRUE(CDiskFile::bGetFileAttributes(L".hidden", attributes, systemError, &m_error));
  EXPECT_EQ(systemError, 0u);
  EXPECT_EQ(attributes & XFILE_ATTRIBUTE_HIDDEN, XFILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(attributes & XFILE_ATTRIBUTE_TYPE, 0x8000);
  EXPECT_FALSE(CDiskFile::bGetFileAttributes(L"missing", attributes, systemError, &m_error));
  EXPECT_EQ(systemError, static_cast<unsigned>(ENOENT));
  EXPECT_EQ(m_error.nGetErrorId(0), 28130u);

  EXPECT_TRUE(CDiskFile::bSetFileAttributes(L".hidden", -1, &m_error));
  struct stat st;
  ASSERT_EQ(::stat(".hidden", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_EQ(CDiskFile::s_oGetSize(L".hidden"), 3);
  EXPECT_EQ(CDiskFile::s_oGetSize(L"."), -1);
  EXPECT_TRUE(CDiskFile::bIsAFile(L".hidden"));
  EXPECT_TRUE(CDiskFile::bIsADirectory(L"."));
  EXPECT_TRUE(CDiskFile::bExist(L".hidden"));

  EXPECT_TRUE(CDiskFile::bDelete(L".hidden", &m_error));
  EXPECT_FALSE(CDiskFile::bDelete(L".hidden", &m_error));
  EXPECT_EQ(m_error.nGetErrorId(0), 28123u);
  EXPECT_FALSE(CDiskFile::bDeleteDirectory(L"missing", &m_error));
  EXPECT_EQ(m_error.nGetErrorId(0), 28127u);
}

class TreeWalk : public FileSystemOps {
 protected:
  // A socket carries the directory bit 0x4000 in its type (0xC000).
  static bool MakeSocket(const char* path) {
    const int hSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (hSocket < 0) return false;
    struct sockaddr_un stAddress;
    std::memset(&stAddress, 0, sizeof stAddress);
    stAddress.sun_family = AF_UNIX;
    std::strcpy(stAddress.sun_path, path);
    const bool bBound =
        ::bind(hSocket, reinterpret_cast<sockaddr*>(&stAddress), sizeof stAddress) == 0;
    ::close(hSocket);
    return bBound;
  }

  static bool Record(const wchar_t* path, long parameter) {
    reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(path);
    return true;
  }
};

TEST_F(TreeWalk, DeltreeRemovesLinksNotWhatTheyReach) {
  ASSERT_EQ(::mkdir("outside", 0700), 0);
  WriteFile("outside/keep", "k");
  ASSERT_TRUE(CDiskFile::bCreateDirectory(L"tree/sub", &m_error));
  WriteFile("tree/sub/f", "f");
  ASSERT_EQ(::symlink("../outside", "tree/link"), 0);
  ASSERT_EQ(::symlink("../../outside/keep", "tree/sub/filelink"), 0);
  ASSERT_TRUE(MakeSocket("tree/socket"));

  EXPECT_TRUE(CDiskFile::bDeleteTree(L"tree", &m_error))
      << testing::PrintToString(std::wstring(m_error.pszGetUserMessage()));
  EXPECT_FALSE(Exists("tree"));
  EXPECT_EQ(ReadFile("outside/keep"), "k");
}

TEST_F(TreeWalk, WalksNeverFollowLinks) {
  ASSERT_TRUE(CDiskFile::bCreateDirectory(L"t/a", &m_error));
  WriteFile("t/a/x.txt", "");
  WriteFile("t/y.txt", "");
  WriteFile("t/z.dat", "");
  ASSERT_EQ(::symlink("..", "t/a/up"), 0);  // a cycle if it were followed
  ASSERT_TRUE(MakeSocket("t/s.txt"));
  std::vector<std::wstring> paths;
  ASSERT_TRUE(CDiskFile::bDoOnFileTree(L"t", L"*.txt", Record, reinterpret_cast<long>(&paths),
                                       false, true));
  EXPECT_EQ(std::set<std::wstring>(paths.begin(), paths.end()),
            (std::set<std::wstring>{L"t/y.txt", L"t/s.txt", L"t/a/x.txt"}));

  paths.clear();
  ASSERT_TRUE(
      CDiskFile::bDoOnFileTree(L"t/", L"*", Record, reinterpret_cast<long>(&paths), true, true));
  EXPECT_EQ(std::set<std::wstring>(paths.begin(), paths.end()),
            (std::set<std::wstring>{L"t/a", L"t/y.txt", L"t/z.dat", L"t/s.txt", L"t/a/x.txt",
                                    L"t/a/up"}));

  paths.clear();
  ASSERT_TRUE(CDiskFile::bDoOnDirectoryTree(L"t", L"*", Record, reinterpret_cast<long>(&paths),
                                            true, true));
  EXPECT_EQ(paths, std::vector<std::wstring>{L"t/a"});
  paths.clear();
  ASSERT_TRUE(CDiskFile::bDoOnDirectoryTree(L"t", L"*", Record, reinterpret_cast<long>(&paths),
                                            false, true));
  EXPECT_TRUE(paths.empty());

  // Every file of the tree goes, the directories and the link's target stay.
  EXPECT_TRUE(CDiskFile::bForceDeleteOnFileTree(L"t", L"*", true, &m_error));
  EXPECT_FALSE(Exists("t/a/x.txt"));
  EXPECT_FALSE(Exists("t/a/up"));
  EXPECT_TRUE(std::filesystem::is_directory("t/a"));
  EXPECT_TRUE(CDiskFile::bDeleteTreeEvenReadOnly(L"t", &m_error));
  EXPECT_FALSE(Exists("t"));
}

TEST_F(TreeWalk, PathsTooLongForTheFieldStopTheWalk) {
  // The directory's path plus a long entry name pass 260 characters; a cut
  // path would name the short entry instead.
  const std::string sDirectory = m_sBase + "/" + std::string(255 - m_sBase.size() - 1 - 10, 'd');
  ASSERT_EQ(::mkdir(sDirectory.c_str(), 0700), 0);
  const std::string sShort(4, 'a');
  WriteFile(sDirectory + "/" + sShort, "short");
  WriteFile(sDirectory + "/" + sShort + std::string(40, 'b'), "long");
  const std::wstring wsDirectory = Wide(sDirectory);

  std::vector<std::wstring> paths;
  EXPECT_FALSE(CDiskFile::bDoOnFileTree(wsDirectory.c_str(), L"*", Record,
                                        reinterpret_cast<long>(&paths), false, false));
  for (const std::wstring& path : paths) {
    EXPECT_EQ(path, wsDirectory + L"/" + Wide(sShort));
  }
  EXPECT_FALSE(CDiskFile::_bDeltree(wsDirectory.c_str(), &m_error));
  EXPECT_EQ(m_error.dwGetSystemErrorCode(), static_cast<unsigned>(ENAMETOOLONG));
  EXPECT_TRUE(Exists(sDirectory + "/" + sShort + std::string(40, 'b')));
}

TEST_F(FileSystemOps, TemporaryNames) {
  wchar_t szName[XMAX_PATH_BUFFER];
  ASSERT_TRUE(CDiskFile::bGetTempName(szName, m_wsBase.c_str(), L"pre", &m_error));
  const std::wstring wsName = szName;
  EXPECT_EQ(wsName.substr(0, m_wsBase.size() + 4), m_wsBase + L"/pre");
  EXPECT_EQ(wsName.size(), m_wsBase.size() + 10);
  EXPECT_EQ(CDiskFile::s_oGetSize(szName), 0);

  wchar_t szDirectory[XMAX_PATH_BUFFER];
  ASSERT_TRUE(CDiskFile::bGetTempDirectory(szDirectory, &m_error));
  EXPECT_EQ(szDirectory[std::wcslen(szDirectory) - 1], L'/');
  EXPECT_TRUE(CDiskFile::bIsADirectory(szDirectory));
}

TEST_F(FileSystemOps, Times) {
  const CDiskFile::_stXFILETIME stDos = {2020, 5, 17, 13, 45, 30, 0};
  unsigned dos = 0;
  ASSERT_TRUE(CDiskFile::bSystemTimeToDosFileTime(&stDos, &dos));
  EXPECT_EQ(dos, 0x50B16DAFu);
  CDiskFile::_stXFILETIME stBack;
  ASSERT_TRUE(CDiskFile::bDosFileTimeToSystemTime(dos, &stBack));
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stDos, &stBack), 0);

  CDiskFile::_stXFILETIME stLater = stDos;
  stLater.wMinute = 47;
  stLater.wSecond = 1;
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stDos, &stLater), 2);
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stLater, &stDos), -2);

  const CDiskFile::_stXFILETIME stLocal = {2021, 2, 3, 4, 5, 6, 789};
  FILETIME ft;
  ASSERT_TRUE(CDiskFile::bSystemTimeToFileTime(&stLocal, &ft));
  ASSERT_TRUE(CDiskFile::bFileTimeToSystemTime(ft, &stBack));
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stLocal, &stBack), 0);

  // A file's modification time set through the stream, read back by name.
  WriteFile("f", "");
  CDiskFile stream;
  ASSERT_TRUE(stream.bOpen(L"f", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
  CDiskFile::_stXFILETIME stWhole = stLocal;
  stWhole.wMilliseconds = 0;
  ASSERT_TRUE(stream.bSetTime(nullptr, nullptr, &stWhole));
  CDiskFile::_stXFILETIME stRead;
  ASSERT_TRUE(CDiskFile::bGetLastModificationTime(L"f", &stRead, &m_error));
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stWhole, &stRead), 0);
  ASSERT_TRUE(stream.bGetTime(nullptr, nullptr, &stRead));
  EXPECT_EQ(CDiskFile::nCompareSystemTime(&stWhole, &stRead), 0);
  EXPECT_FALSE(CDiskFile::bGetLastModificationTime(L"missing", &stRead, &m_error));
  EXPECT_EQ(m_error.nGetErrorId(0), 28128u);
}

TEST_F(FileSystemOps, ConcatAppendsAnotherExistingFile) {
  WriteFile("a", "head-");
  WriteFile("b", "tail");
  EXPECT_TRUE(CDiskFile::bConcat(L"a", L"b"));
  EXPECT_EQ(ReadFile("a"), "head-tail");
  EXPECT_TRUE(CDiskFile::bConcat(L"new", L"b"));
  EXPECT_EQ(ReadFile("new"), "tail");
  // A missing source is not created; a file is not appended to itself.
  EXPECT_FALSE(CDiskFile::bConcat(L"a", L"missing"));
  EXPECT_FALSE(Exists("missing"));
  EXPECT_FALSE(CDiskFile::bConcat(L"a", L"./a"));
  EXPECT_EQ(ReadFile("a"), "head-tail");
}

TEST_F(FileSystemOps, DiskSpaceAndCurrentDirectory) {
  std::uint64_t total = 0;
  std::uint64_t free = 0;
  ASSERT_TRUE(CDiskFile::bGetDiskSpace(nullptr, &total, &free, &m_error));
  EXPECT_GT(total, 0u);
  EXPECT_LE(free, total);
  EXPECT_FALSE(CDiskFile::bGetDiskFreeSpace(L"missing", &free, &m_error));
  EXPECT_EQ(m_error.nGetErrorId(0), 28138u);
  wchar_t szDirectory[XMAX_PATH_BUFFER];
  ASSERT_TRUE(CDiskFile::bGetCurrentDirectory(szDirectory, &m_error));
  EXPECT_EQ(std::wstring(szDirectory), m_wsBase);
}

}  // namespace
