// Files on disk.
//
// Paths are wide strings everywhere inside the system. The static Unix_*
// members below are the only place where a file operation meets the system:
// each converts its wide path to UTF-8 (code page 65001; a character UTF-8
// cannot hold becomes "?"), calls the system function of its name and returns
// that function's result unchanged, errno included. A path whose UTF-8 form
// with its NUL needs at most 1023 bytes is converted on the stack; a longer
// one in a heap block freed before the wrapper returns. A null path is taken
// as the empty path (the system then answers ENOENT). When the heap block
// cannot be had, the wrapper fails as its system function fails (-1 or null)
// with errno ENOMEM, without calling it.
//
// Wrappers with an `unsigned* pErrno` out-parameter store there, when it is
// given, 0 on success and errno on failure.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <utime.h>

#include <cstdio>

class CDiskFile {
 public:
  // open(2) with the 64-bit file interface; Unix_ropen is the same call.
  static int Unix_open(const wchar_t* path, int flags, mode_t mode);
  static int Unix_ropen(const wchar_t* path, int flags, mode_t mode);
  // open(2) without a mode (flags without O_CREAT or O_TMPFILE).
  static int Unix_open(const wchar_t* path, int flags);
  // fopen(3). The mode is the C library's 8-bit mode text ("rb", "w+", ...):
  // it is plain ASCII and needs no conversion.
  static FILE* Unix_fopen(const wchar_t* path, const char* mode);

  static int Unix_stat(const wchar_t* path, struct stat* info, unsigned* pErrno = nullptr);
  static int Unix_lstat(const wchar_t* path, struct stat* info);
  static int Unix_access(const wchar_t* path, int mode, unsigned* pErrno = nullptr);
  static int Unix_chmod(const wchar_t* path, mode_t mode);
  // `times` null sets both times to now, as utime(2).
  static int Unix_utime(const wchar_t* path, const struct utimbuf* times);
  static int Unix_unlink(const wchar_t* path);
  static int Unix_mkfifo(const wchar_t* path, mode_t mode);
  static int Unix_chdir(const wchar_t* path);
  // system(3) of the UTF-8 command; a null command asks whether a shell is
  // available, as system(3) does.
  static int Unix_system(const wchar_t* command);

  static int __Unix_mkdir(const wchar_t* path, mode_t mode);
  static int __Unix_rmdir(const wchar_t* path);
  static int __Unix_chown(const wchar_t* path, uid_t owner, gid_t group);
  static int __Unix_statfs(const wchar_t* path, struct statfs64* info);
  // The caller closes the stream with closedir(3).
  static DIR* __Unix_opendir(const wchar_t* path);
  static int __Unix_rename(const wchar_t* oldPath, const wchar_t* newPath);

  // The current directory, as wide text with its NUL, into `buffer` of `size`
  // characters. The directory's UTF-8 form (with its NUL) must fit in `size`
  // bytes. False when getcwd fails (also for a directory too long) or `size`
  // is not positive; `buffer` is then unspecified.
  static bool Unix_getcwd(wchar_t* buffer, int size);

  // The user's home directory into `buffer` of `size` characters: HOME when
  // set and not empty, else the home directory of the user's password entry,
  // else ".". False when it does not fit (with its NUL) or `size` is not
  // positive.
  static bool Unix_gethomedir(wchar_t* buffer, int size);
};
