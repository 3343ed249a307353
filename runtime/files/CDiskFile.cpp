#include "CDiskFile.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>

#include "CodePage.h"
#include "XMalloc.h"

namespace {

// Text handed to or taken from a system call of up to this many bytes, its
// NUL included, stays on the stack.
constexpr std::size_t knStackTextBytes = 1023;

// A byte buffer for such text: on the stack up to knStackTextBytes, on the
// heap beyond, freed with the object.
class CSystemText {
 public:
  explicit CSystemText(std::size_t size)
      : m_psz(size <= knStackTextBytes ? m_acStack : static_cast<char*>(XMALLOC_pNew_(size))) {}
  ~CSystemText() {
    if (m_psz != m_acStack) {
      const int nErrno = errno;  // the caller reads the system call's errno after us
      XMALLOC_Del_(m_psz);
      errno = nErrno;
    }
  }
  CSystemText(const CSystemText&) = delete;
  CSystemText& operator=(const CSystemText&) = delete;

  // Null when the heap block could not be had.
  char* psz() const { return m_psz; }

 private:
  char m_acStack[knStackTextBytes];
  char* m_psz;
};

// A wide path in the UTF-8 form the system calls take.
class CUtf8Path {
 public:
  explicit CUtf8Path(const wchar_t* path)
      : m_pwszPath(path != nullptr ? path : L""),
        m_nSize(nGetUTF8Len(m_pwszPath)),
        m_text(static_cast<std::size_t>(m_nSize)) {
    if (m_text.psz() == nullptr) {
      errno = ENOMEM;
    } else if (m_nSize <= 0 || WideCharToMultiByte(CP_UTF8, 0, m_pwszPath, -1, m_text.psz(),
                                                    m_nSize, nullptr, nullptr) != m_nSize) {
      errno = EINVAL;  // no UTF-8 converter: nothing sensible to pass on
    } else {
      m_psz = m_text.psz();
    }
  }

  // Null when the path could not be converted; errno tells why.
  const char* psz() const { return m_psz; }

 private:
  const wchar_t* m_pwszPath;
  int m_nSize;
  CSystemText m_text;
  const char* m_psz = nullptr;
};

// Calls `call` with the UTF-8 form of `path`; `failure` when there is none.
template <typename TResult, typename TCall>
TResult WithPath(const wchar_t* path, TResult failure, TCall call) {
  const CUtf8Path utf8(path);
  return utf8.psz() != nullptr ? call(utf8.psz()) : failure;
}

// The errno out-parameter of a wrapper.
void StoreErrno(int nResult, unsigned* pErrno) {
  if (pErrno != nullptr) *pErrno = nResult == 0 ? 0u : static_cast<unsigned>(errno);
}

}  // namespace

// Every descriptor is opened close-on-exec: a process started through
// CreateProcess must not inherit the runtime's files.
int CDiskFile::Unix_open(const wchar_t* path, int flags, mode_t mode) {
  return WithPath(path, -1, [&](const char* p) { return ::open64(p, flags | O_CLOEXEC, mode); });
}

int CDiskFile::Unix_ropen(const wchar_t* path, int flags, mode_t mode) {
  return Unix_open(path, flags, mode);
}

int CDiskFile::Unix_open(const wchar_t* path, int flags) {
  return WithPath(path, -1, [&](const char* p) { return ::open(p, flags | O_CLOEXEC); });
}

FILE* CDiskFile::Unix_fopen(const wchar_t* path, const char* mode) {
  // The mode gains "e" (close-on-exec) when the caller did not ask for it.
  char szMode[16];
  if (mode == nullptr || std::strlen(mode) + 2 > sizeof(szMode)) {
    errno = EINVAL;
    return nullptr;
  }
  std::strcpy(szMode, mode);
  if (std::strchr(szMode, 'e') == nullptr) std::strcat(szMode, "e");
  return WithPath(path, static_cast<FILE*>(nullptr),
                  [&](const char* p) { return std::fopen(p, szMode); });
}

int CDiskFile::Unix_stat(const wchar_t* path, struct stat* info, unsigned* pErrno) {
  const int nResult = WithPath(path, -1, [&](const char* p) { return ::stat(p, info); });
  StoreErrno(nResult, pErrno);
  return nResult;
}

int CDiskFile::Unix_lstat(const wchar_t* path, struct stat* info) {
  return WithPath(path, -1, [&](const char* p) { return ::lstat(p, info); });
}

int CDiskFile::Unix_access(const wchar_t* path, int mode, unsigned* pErrno) {
  const int nResult = WithPath(path, -1, [&](const char* p) { return ::access(p, mode); });
  StoreErrno(nResult, pErrno);
  return nResult;
}

int CDiskFile::Unix_chmod(const wchar_t* path, mode_t mode) {
  return WithPath(path, -1, [&](const char* p) { return ::chmod(p, mode); });
}

int CDiskFile::Unix_utime(const wchar_t* path, const struct utimbuf* times) {
  return WithPath(path, -1, [&](const char* p) { return ::utime(p, times); });
}

int CDiskFile::Unix_unlink(const wchar_t* path) {
  return WithPath(path, -1, [](const char* p) { return ::unlink(p); });
}

int CDiskFile::Unix_mkfifo(const wchar_t* path, mode_t mode) {
  return WithPath(path, -1, [&](const char* p) { return ::mkfifo(p, mode); });
}

int CDiskFile::Unix_chdir(const wchar_t* path) {
  return WithPath(path, -1, [](const char* p) { return ::chdir(p); });
}

int CDiskFile::Unix_system(const wchar_t* command) {
  if (command == nullptr) return std::system(nullptr);
  return WithPath(command, -1, [](const char* p) { return std::system(p); });
}

int CDiskFile::__Unix_mkdir(const wchar_t* path, mode_t mode) {
  return WithPath(path, -1, [&](const char* p) { return ::mkdir(p, mode); });
}

int CDiskFile::__Unix_rmdir(const wchar_t* path) {
  return WithPath(path, -1, [](const char* p) { return ::rmdir(p); });
}

int CDiskFile::__Unix_chown(const wchar_t* path, uid_t owner, gid_t group) {
  return WithPath(path, -1, [&](const char* p) { return ::chown(p, owner, group); });
}

int CDiskFile::__Unix_statfs(const wchar_t* path, struct statfs64* info) {
  return WithPath(path, -1, [&](const char* p) { return ::statfs64(p, info); });
}

DIR* CDiskFile::__Unix_opendir(const wchar_t* path) {
  return WithPath(path, static_cast<DIR*>(nullptr), [](const char* p) { return ::opendir(p); });
}

int CDiskFile::__Unix_rename(const wchar_t* oldPath, const wchar_t* newPath) {
  return WithPath(oldPath, -1, [&](const char* pOld) {
    return WithPath(newPath, -1, [&](const char* pNew) { return std::rename(pOld, pNew); });
  });
}

bool CDiskFile::Unix_getcwd(wchar_t* buffer, int size) {
  if (buffer == nullptr || size <= 0) return false;
  const CSystemText text(static_cast<std::size_t>(size));
  if (text.psz() == nullptr) {
    errno = ENOMEM;
    return false;
  }
  if (::getcwd(text.psz(), static_cast<std::size_t>(size)) == nullptr) return false;
  // A wide form never has more characters than its UTF-8 form has bytes.
  return MultiByteToWideChar(CP_UTF8, 0, text.psz(), -1, buffer, size) != 0;
}

bool CDiskFile::Unix_gethomedir(wchar_t* buffer, int size) {
  if (buffer == nullptr || size <= 0) return false;
  const char* pszHome = std::getenv("HOME");
  if (pszHome == nullptr || *pszHome == '\0') {
    const struct passwd* pPassword = ::getpwuid(::getuid());
    pszHome = pPassword != nullptr ? pPassword->pw_dir : nullptr;
  }
  if (pszHome == nullptr || *pszHome == '\0') pszHome = ".";
  return MultiByteToWideChar(CP_UTF8, 0, pszHome, -1, buffer, size) != 0;
}
