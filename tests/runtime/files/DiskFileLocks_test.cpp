// Record locks of the disk file stream against another process.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "CDiskFile.h"
#include "CXError.h"
#include "support/DiskFileTestDirectory.h"

namespace {

constexpr int kLockConflict = static_cast<int>(0x80000000u);

int CountOpenDescriptors() {
  DIR* pDir = ::opendir("/proc/self/fd");
  if (pDir == nullptr) return -1;
  int n = 0;
  while (::readdir(pDir) != nullptr) ++n;
  ::closedir(pDir);
  return n;
}

bool LockRange(int fd, short type, off_t start, off_t length) {
  struct flock st;
  std::memset(&st, 0, sizeof st);
  st.l_type = type;
  st.l_whence = SEEK_SET;
  st.l_start = start;
  st.l_len = length;
  return ::fcntl(fd, F_SETLK, &st) == 0;
}

// A child process that holds a write lock on a range of a file until it is
// let go.
class LockingChild {
 public:
  LockingChild(const char* path, off_t start, off_t length) {
    int aReady[2];
    if (::pipe(aReady) != 0 || ::pipe(m_aRelease) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      const int fd = ::open(path, O_RDWR);
      const char c = fd >= 0 && LockRange(fd, F_WRLCK, start, length) ? 'y' : 'n';
      (void)!::write(aReady[1], &c, 1);
      char cWait;
      (void)!::read(m_aRelease[0], &cWait, 1);
      ::_exit(0);
    }
    char c = 'n';
    m_bLocked = m_pid > 0 && ::read(aReady[0], &c, 1) == 1 && c == 'y';
    ::close(aReady[0]);
    ::close(aReady[1]);
  }
  ~LockingChild() {
    if (m_pid > 0) {
      (void)!::write(m_aRelease[1], "x", 1);
      int status = 0;
      ::waitpid(m_pid, &status, 0);
    }
    ::close(m_aRelease[0]);
    ::close(m_aRelease[1]);
  }
  bool bLocked() const { return m_bLocked; }

 private:
  pid_t m_pid = -1;
  int m_aRelease[2] = {-1, -1};
  bool m_bLocked = false;
};

// Whether another process could take a write lock on the whole file now.
bool OtherProcessCanLock(const char* path) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(path, O_RDWR);
    ::_exit(fd >= 0 && LockRange(fd, F_WRLCK, 0, 0) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class DiskFileLocks : public DiskFileTestDirectory {};

TEST_F(DiskFileLocks, OpenRefusedByAnotherProcessLeavesNothingBehind) {
  WriteFile("shared", "precious content");
  LockingChild child("shared", 0, 0);
  ASSERT_TRUE(child.bLocked());
  const int nDescriptors = CountOpenDescriptors();

  CDiskFile stream;
  errno = 0;
  EXPECT_FALSE(stream.bOpen(L"shared", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN,
                            XFLAG_NONE, nullptr));
  EXPECT_EQ(errno, kLockConflict);
  EXPECT_FALSE(stream.bIsOpen());
  EXPECT_EQ(stream.pclGetXError()->dwGetSystemErrorCode(), 0x80000000u);
  EXPECT_EQ(stream.pclGetXError()->nGetErrorId(0), 28139u);
  EXPECT_EQ(CountOpenDescriptors(), nDescriptors);

  // Create-or-truncate refused by the lock must not have emptied the file.
  int bCreated = -1;
  EXPECT_FALSE(stream.bOpen(L"shared", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_TRUNCATE,
                            XFLAG_NONE, &bCreated));
  EXPECT_EQ(errno, kLockConflict);
  EXPECT_EQ(stream.pclGetXError()->nGetErrorId(0), 28140u);
  EXPECT_EQ(ReadFile("shared"), "precious content");
  EXPECT_EQ(CountOpenDescriptors(), nDescriptors);

  // Retries give up on the conflict after the count.
  EXPECT_FALSE(CDiskFile::bOpenExclusifReessais(&stream, L"shared", true, 3, XACCESS_READ,
                                                XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_EQ(errno, kLockConflict);
}

TEST_F(DiskFileLocks, RetriesSucceedOnceTheLockIsGone) {
  WriteFile("shared", "x");
  CDiskFile stream;
  {
    LockingChild child("shared", 0, 0);
    ASSERT_TRUE(child.bLocked());
    EXPECT_FALSE(CDiskFile::bOpenExclusifReessais(&stream, L"shared", false, 250, XACCESS_READ,
                                                  XCREATE_OPEN, XFLAG_NONE, nullptr));
    EXPECT_EQ(errno, kLockConflict);
  }
  ASSERT_TRUE(CDiskFile::bOpenExclusifReessais(&stream, L"shared", true, 1, XACCESS_READ,
                                               XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_EQ(stream.veGetAccess() & O_ACCMODE, O_RDWR);
  EXPECT_FALSE(OtherProcessCanLock("shared"));
}

TEST_F(DiskFileLocks, RangeLocksAgainstAnotherProcess) {
  WriteFile("f", "0123456789");
  LockingChild child("f", 2, 3);
  ASSERT_TRUE(child.bLocked());
  CDiskFile stream;
  ASSERT_TRUE(
      stream.bOpen(L"f", XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  errno = 0;
  EXPECT_FALSE(stream.bLock(4, 2));
  EXPECT_EQ(errno, kLockConflict);
  EXPECT_EQ(stream.pclGetXError()->eGetErrorLevel(), ERRORLEVEL_NONE);
  EXPECT_FALSE(stream.bLockShare(0, 3));
  EXPECT_EQ(errno, kLockConflict);
  EXPECT_FALSE(stream.bLockFile(2, 1));
  EXPECT_EQ(stream.pclGetXError()->nGetErrorId(0), 28145u);
  EXPECT_EQ(stream.pclGetXError()->dwGetSystemErrorCode(), 0x80000000u);
  EXPECT_TRUE(stream.bLockFile(5, 5));
  EXPECT_TRUE(stream.bUnlockFile(5, 5));
  // Bytes 0 and 1 are free: the blocking form takes them at once.
  EXPECT_TRUE(stream.bLockFileEx(true, true));
  EXPECT_TRUE(stream.bLockFileEx(false, true));
}

TEST_F(DiskFileLocks, StreamWithoutLockKeepsTheProcessLocks) {
  WriteFile("f", "x");
  CDiskFile locked;
  ASSERT_TRUE(
      locked.bOpen(L"f", XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  ASSERT_FALSE(OtherProcessCanLock("f"));
  {
    CDiskFile unlocked;
    ASSERT_TRUE(unlocked.bOpen(L"f", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
    // An unlock request here would have dropped the first stream's lock.
    EXPECT_FALSE(OtherProcessCanLock("f"));
  }
}

}  // namespace
