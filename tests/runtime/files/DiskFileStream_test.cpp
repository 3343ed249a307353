// The disk file stream: opening, reading and writing, sizes, formatted
// writes, copies and wide lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <string>

#include "CDiskFile.h"
#include "CTString.h"
#include "CXError.h"
#include "support/DiskFileTestDirectory.h"
#include "support/FailingNew.h"
#include "WinProcess.h"

namespace {

class DiskFileStream : public DiskFileTestDirectory {};

// A stream held through its reference count, as callers hold it.
struct HeldStream {
  HeldStream() : p(new CDiskFile) { p->dwAddRef(); }
  ~HeldStream() { p->dwRelease(); }
  CDiskFile* operator->() const { return p; }
  CDiskFile* p;
};

TEST_F(DiskFileStream, CreateModesTellWhetherTheFileWasThere) {
  HeldStream stream;
  int bCreated = -1;
  ASSERT_TRUE(stream->bOpen(L"new.txt", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPENORCREATE,
                            XFLAG_NONE, &bCreated));
  EXPECT_EQ(bCreated, 1);
  EXPECT_EQ(std::wstring(stream->pszGetName()), m_wsBase + L"/new.txt");
  EXPECT_EQ(stream->veGetAccess() & O_ACCMODE, O_RDWR);
  stream->Close();
  EXPECT_EQ(stream->veGetAccess(), -1);

  // An existing file: not created, and errno tells the caller it existed.
  errno = 0;
  ASSERT_TRUE(stream->bOpen(L"new.txt", XACCESS_READ, XSHARE_SHARED, XCREATE_OPENORCREATE,
                            XFLAG_NONE, &bCreated));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(bCreated, 0);
  stream->Close();

  // Create-or-truncate reports a creation even for an existing file, and
  // empties it.
  WriteFile("full.txt", "content");
  ASSERT_TRUE(stream->bOpen(L"full.txt", XACCESS_WRITE, XSHARE_EXCLUSIVE, XCREATE_TRUNCATE,
                            XFLAG_NONE, &bCreated));
  EXPECT_EQ(bCreated, 1);
  EXPECT_EQ(ReadFile("full.txt"), "");
}

TEST_F(DiskFileStream, FailedOpenKeepsErrnoAndNamesTheCreateMode) {
  struct Case {
    eCREATE eCreate;
    const wchar_t* name;
    unsigned nMessage;
    int nErrno;
  };
  const Case cases[] = {
      {XCREATE_OPEN, L"missing.txt", 28139, ENOENT},
      {XCREATE_OPENORCREATE, L"no-dir/x.txt", 28002, ENOENT},
      {XCREATE_TRUNCATE, L"no-dir/x.txt", 28140, ENOENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nMessage);
    HeldStream stream;
    errno = 0;
    EXPECT_FALSE(
        stream->bOpen(c.name, XACCESS_READWRITE, XSHARE_NONE, c.eCreate, XFLAG_NONE, nullptr));
    EXPECT_EQ(errno, c.nErrno);
    EXPECT_FALSE(stream->bIsOpen());
    CXError* pclError = stream->pclGetXError();
    EXPECT_EQ(pclError->eGetErrorLevel(), ERRORLEVEL_ERROR);
    EXPECT_EQ(pclError->dwGetSystemErrorCode(), static_cast<unsigned>(c.nErrno));
    ASSERT_GE(pclError->nNumErrorId(), 1);
    EXPECT_EQ(pclError->nGetErrorId(0), c.nMessage);
    EXPECT_TRUE(pclError->bHasInfo(EIT_SRCFILE));
  }
}

TEST_F(DiskFileStream, FullPathLongerThanTheNameFieldIsRefused) {
  // 250 characters here plus the directory's own path pass 260.
  const std::wstring name(250, L'n');
  HeldStream stream;
  int bCreated = -1;
  errno = 0;
  EXPECT_FALSE(stream->bOpen(name.c_str(), XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPENORCREATE,
                             XFLAG_NONE, &bCreated));
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(bCreated, 0);
  CXError* pclError = stream->pclGetXError();
  ASSERT_GE(pclError->nNumErrorId(), 1);
  EXPECT_EQ(pclError->nGetErrorId(0), 28002u);
  // Nothing was made under a cut name.
  EXPECT_TRUE(std::filesystem::is_empty(m_sBase));
}

TEST_F(DiskFileStream, ReadWriteSeekAndSizes) {
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"data.bin", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_TRUNCATE,
                            XFLAG_NONE, nullptr));
  unsigned n = 99;
  EXPECT_TRUE(stream->bWrite("", 0, &n));
  EXPECT_EQ(n, 0u);
  ASSERT_TRUE(stream->bWrite("abcdef", 6, &n));
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(stream->oGetOffset(), 6);

  // Positioned forms seek first.
  char ac[8] = {};
  ASSERT_TRUE(stream->bRead(2, ac, 3, nullptr));
  EXPECT_STREQ(ac, "cde");
  EXPECT_EQ(stream->oGetOffset(), 5);

  // oGetSize keeps the position, oGetSizeFast leaves it at the end.
  EXPECT_EQ(stream->oGetSize(), 6);
  EXPECT_EQ(stream->oGetOffset(), 5);
  EXPECT_EQ(stream->oGetSizeFast(), 6);
  EXPECT_EQ(stream->oGetOffset(), 6);

  // At the end: a read with a count succeeds with 0, an exact read fails.
  EXPECT_TRUE(stream->bRead(ac, 4, &n));
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(stream->bRead(ac, 4, nullptr));
  EXPECT_EQ(stream->pclGetXError()->nGetErrorId(0), 28003u);
  EXPECT_EQ(stream->pclGetXError()->dwGetSystemErrorCode(), 0u);

  // bSetSize: grow from the end, absolute, and an unknown mode.
  EXPECT_TRUE(stream->bSetSize(4, XGROW_FROM_END));
  EXPECT_EQ(stream->oGetSize(), 10);
  EXPECT_EQ(stream->oGetOffset(), 10);
  EXPECT_TRUE(stream->bSetSize(3, XGROW_ABSOLUTE));
  EXPECT_EQ(stream->oGetSize(), 3);
  EXPECT_FALSE(stream->bSetSize(3, static_cast<eGROW>(2)));
  EXPECT_EQ(stream->pclGetXError()->eGetErrorLevel(), ERRORLEVEL_NONE);
  EXPECT_TRUE(stream->bFlush());
  stream->Close();
  EXPECT_EQ(ReadFile("data.bin"), "abc");
}

TEST_F(DiskFileStream, IncreaseSizeNeverTouchesTheData) {
  WriteFile("f", "abc");
  HeldStream stream;
  ASSERT_TRUE(
      stream->bOpen(L"f", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_TRUE(stream->bIncreaseSize(0));
  EXPECT_FALSE(stream->bIncreaseSize(-1));
  EXPECT_FALSE(stream->bIncreaseSize(-2));
  EXPECT_EQ(ReadFile("f"), "abc");
  EXPECT_TRUE(stream->bIncreaseSize(2));
  EXPECT_EQ(ReadFile("f"), std::string("abc\0\0", 5));
}

TEST_F(DiskFileStream, ExtendFileWritesOnlyWhereTheFileGrew) {
  WriteFile("f", "abc");
  HeldStream stream;
  ASSERT_TRUE(
      stream->bOpen(L"f", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_FALSE(stream->bExtendFile(0));
  EXPECT_FALSE(stream->bExtendFile(-5));
  EXPECT_EQ(ReadFile("f"), "abc");
  // Same size: the last byte stays.
  EXPECT_TRUE(stream->bExtendFile(3));
  EXPECT_EQ(ReadFile("f"), "abc");
  EXPECT_TRUE(stream->bExtendFile(5));
  EXPECT_EQ(ReadFile("f"), std::string("abc\0\0", 5));
  EXPECT_EQ(stream->oGetOffset(), 5);
}

TEST_F(DiskFileStream, FormattedWritesWriteTheWholeText) {
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"out", XACCESS_WRITE, XSHARE_EXCLUSIVE, XCREATE_TRUNCATE, XFLAG_NONE,
                            nullptr));
  const std::string sLong(3000, 'x');
  const std::wstring wsLong(3000, L'y');
  ASSERT_TRUE(stream->bWriteString("<%s>%d", sLong.c_str(), 7));
  // Wide text is written as its 4-byte characters; %s is wide here.
  ASSERT_TRUE(stream->bWriteString(L"%s|%S", wsLong.c_str(), "z"));
  EXPECT_TRUE(stream->bWriteString(""));
  stream->Close();

  std::string sWide;
  for (wchar_t c : wsLong + L"|z") sWide.append(reinterpret_cast<const char*>(&c), sizeof c);
  EXPECT_EQ(ReadFile("out"), "<" + sLong + ">7" + sWide);
}

TEST_F(DiskFileStream, FormattingErrorWritesNothing) {
  const std::string sLocale = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"out", XACCESS_WRITE, XSHARE_EXCLUSIVE, XCREATE_TRUNCATE, XFLAG_NONE,
                            nullptr));
  const wchar_t awcBad[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_FALSE(stream->bWriteString("head %ls", awcBad));
  EXPECT_EQ(stream->pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned>(EILSEQ));
  EXPECT_FALSE(stream->bWriteString(L"head %S", "\xff\xfe"));
  EXPECT_EQ(stream->oGetSize(), 0);
  std::setlocale(LC_ALL, sLocale.c_str());
}

TEST_F(DiskFileStream, ExtractCopiesUpToTheWantedEnd) {
  std::string sContent;
  for (int i = 0; i < 70000; ++i) sContent += static_cast<char>('a' + i % 26);
  WriteFile("src", sContent);
  HeldStream source;
  HeldStream destination;
  ASSERT_TRUE(
      source->bOpen(L"src", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
  ASSERT_TRUE(destination->bOpen(L"dst", XACCESS_WRITE, XSHARE_EXCLUSIVE, XCREATE_TRUNCATE,
                                 XFLAG_NONE, nullptr));
  ASSERT_TRUE(source->bSeek(10, XSEEK_BEGIN));
  ASSERT_TRUE(source->bExtract(destination.p, 66000));
  EXPECT_EQ(source->oGetOffset(), 66010);
  // Negative: up to the end; larger than the rest: to the end as well.
  ASSERT_TRUE(source->bExtract(destination.p, -1));
  ASSERT_TRUE(source->bSeek(0, XSEEK_BEGIN));
  ASSERT_TRUE(source->bExtract(destination.p, 1 << 20));
  destination->Close();
  EXPECT_EQ(ReadFile("dst"), sContent.substr(10) + sContent);

  // Named forms.
  ASSERT_TRUE(source->bExtract(L"part", 5, 3));
  EXPECT_EQ(ReadFile("part"), sContent.substr(5, 3));
  HeldStream target;
  ASSERT_TRUE(target->bOpen(L"part", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN, XFLAG_NONE,
                            nullptr));
  ASSERT_TRUE(target->bSeek(0, XSEEK_END));
  ASSERT_TRUE(target->bExtractFromFile(L"src", 0, 2));
  target->Close();
  EXPECT_EQ(ReadFile("part"), sContent.substr(5, 3) + sContent.substr(0, 2));
  EXPECT_TRUE(CDiskFile::bExtract(L"whole", L"src", 69998, -1));
  EXPECT_EQ(ReadFile("whole"), sContent.substr(69998));
  // A missing source is not created.
  EXPECT_FALSE(CDiskFile::bExtract(L"none", L"missing", 0, -1));
  EXPECT_FALSE(Exists("missing"));
}

TEST_F(DiskFileStream, ExtractToTheEndFailsWithoutASize) {
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  HeldStream pipe;
  HeldStream destination;
  ASSERT_TRUE(pipe->bOpen(L"fifo", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  ASSERT_TRUE(destination->bOpen(L"dst", XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE,
                                 nullptr));
  EXPECT_FALSE(pipe->bExtract(destination.p, -1));
  EXPECT_EQ(pipe->pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned>(ESPIPE));
}

TEST_F(DiskFileStream, ReopenAndNameForError) {
  WriteFile("f", "abc");
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"f", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
  ASSERT_TRUE(stream->vbSetNameForError(L"shown name"));
  EXPECT_FALSE(stream->bWrite("x", 1, nullptr));  // opened for reading only
  void* pValue = nullptr;
  ASSERT_TRUE(stream->pclGetXError()->bGetInfo(EIT_SRCFILE, &pValue));
  EXPECT_STREQ(static_cast<const wchar_t*>(pValue), L"shown name");
  EXPECT_EQ(stream->pclGetXError()->nGetErrorId(0), 28008u);

  ASSERT_TRUE(stream->bReopen(XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN, XFLAG_NONE));
  EXPECT_TRUE(stream->bWrite("x", 1, nullptr));
  EXPECT_TRUE(stream->bSetSize(0, XGROW_ABSOLUTE));
  // The error name went back to the file's own name with the close.
  EXPECT_FALSE(stream->bSeek(-1, XSEEK_BEGIN));
  ASSERT_TRUE(stream->pclGetXError()->bGetInfo(EIT_SRCFILE, &pValue));
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(pValue)), m_wsBase + L"/f");
}

TEST_F(DiskFileStream, DirectoryOpensOnlyWithTheDirectoryFlag) {
  ASSERT_EQ(::mkdir("d", 0700), 0);
  HeldStream stream;
  EXPECT_FALSE(
      stream->bOpen(L"d", XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_TRUE(stream->bOpen(L"d", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN,
                            XFLAG_DIRECTORY, nullptr));
  EXPECT_EQ(stream->veGetAccess(), O_DIRECTORY);
}

TEST_F(DiskFileStream, WideLinesWithSeparatorAndOverflow) {
  const std::wstring wsText = L"one\r\ntwo;three\nfour";
  std::string sBytes(reinterpret_cast<const char*>(wsText.data()), wsText.size() * sizeof(wchar_t));
  WriteFile("w", sBytes);
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"w", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE, nullptr));
  wchar_t awc[8];
  CTString overflow;
  EXPECT_STREQ(stream->pszReadLine(awc, 8, &overflow, nullptr), L"one");
  EXPECT_STREQ(stream->pszReadLine(awc, 8, &overflow, L";"), L"two");
  EXPECT_STREQ(stream->pszReadLine(awc, 8, &overflow, nullptr), L"three");
  // Longer than the buffer: the whole line comes in the overflow string.
  EXPECT_STREQ(stream->pszReadLine(awc, 4, &overflow, nullptr), L"four");
  EXPECT_STREQ(overflow.pszGet(), L"four");
  EXPECT_EQ(stream->pszReadLine(awc, 8, &overflow, nullptr), nullptr);
}

// The descriptor a stream holds for `path`, found through /proc.
int DescriptorOf(const std::string& path) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(entry.path(), ec).string() == path)
      return std::stoi(entry.path().filename().string());
  }
  return -1;
}

TEST_F(DiskFileStream, FailedCloseReportsAndForgetsTheDescriptor) {
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"closing.txt", XACCESS_READWRITE, XSHARE_EXCLUSIVE,
                            XCREATE_OPENORCREATE, XFLAG_NONE, nullptr));
  const std::string path = std::filesystem::canonical(m_sBase + "/closing.txt").string();
  const int fd = DescriptorOf(path);
  ASSERT_GE(fd, 0);
  // The number is freed behind the stream's back and given to another file,
  // as another thread could do between a failed close and the next use.
  ASSERT_EQ(::close(fd), 0);
  const int other = ::open((m_sBase + "/other.txt").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(other, fd);
  ::close(other);  // stream now holds a number that is closed: close(2) fails
  stream->Close();
  EXPECT_EQ(stream->veGetAccess(), -1);
  EXPECT_EQ(stream->pclGetXError()->nGetErrorId(0), 28001u);
  // A second Close and the destructor must not close the number again.
  const int reused = ::open((m_sBase + "/other.txt").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(reused, fd);
  stream->Close();
  EXPECT_EQ(::fcntl(reused, F_GETFD), FD_CLOEXEC);
  ::close(reused);
}

// A stream made during a shortage still has an error object to report into.
TEST_F(DiskFileStream, StreamMadeDuringAShortageStillReports) {
  CDiskFile* stream;
  {
    FailingNothrowNew shortage;
    stream = new CDiskFile;
    EXPECT_EQ(shortage.nRefused(), 1);
  }
  stream->dwAddRef();
  EXPECT_FALSE(stream->bOpen(L"/nonexistent-dir/x", XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN,
                             XFLAG_NONE, nullptr));
  EXPECT_EQ(stream->pclGetXError()->nGetErrorId(0), 28139u);
  stream->dwRelease();
}

// A process started through CreateProcess inherits none of the runtime's
// open files: streams, wrapper descriptors and C streams are close-on-exec.
TEST_F(DiskFileStream, ChildProcessesInheritNoOpenFile) {
  HeldStream stream;
  ASSERT_TRUE(stream->bOpen(L"inherited-stream.txt", XACCESS_READWRITE, XSHARE_EXCLUSIVE,
                            XCREATE_OPENORCREATE, XFLAG_NONE, nullptr));
  const int fd = CDiskFile::Unix_open(L"inherited-raw.txt", O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  FILE* file = CDiskFile::Unix_fopen(L"inherited-c.txt", "w");
  ASSERT_NE(file, nullptr);
  pid_t pid = 0;
  int nExitCode = -1;
  EXPECT_TRUE(CreateProcess(L"/bin/sh", L"-c \"ls -l /proc/$$/fd | grep -q inherited && exit 9; exit 0\"",
                            &pid, true, nullptr, &nExitCode));
  EXPECT_EQ(nExitCode, 0);
  std::fclose(file);
  ::close(fd);
}

}  // namespace
