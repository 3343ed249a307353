// CDiskFile: the disk file stream, the runtime's file-system toolbox and the
// system-call wrappers that carry a wide path to the system.
//
// The stream (an IXStream on a POSIX file descriptor) keeps the full path of
// its file, its descriptor, its own record of the position and the open(2)
// flags used; it reports every failure into its own error object, putting the
// operation's message in front of what the error already says. Locks are
// POSIX record locks (fcntl F_SETLK / F_SETLKW): they belong to the process
// and exclude other processes only; a lock conflict leaves errno 0x80000000,
// which the error object reads as EAGAIN. A stream belongs to one thread at a
// time.
//
// The static members form the file-system toolbox, written against Windows
// habits on top of POSIX. Paths may hold backslashes, which count as slashes
// (the operations work on a converted copy). Two-path operations take the
// destination first. A static operation given an error object resets it
// first and, on failure, sets level 3, the errno of the failing call and its
// own message appended after what is there, with the path as EIT_SRCFILE
// (and the destination as EIT_DSTFILE); without an error object nothing is
// reported. Path buffers hold 260 characters and the terminating zero
// (XMAX_PATH + 1) unless a capacity is given; a path that does not fit is
// refused with ENAMETOOLONG and a false result, never cut.
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

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "IXStream.h"
#include "WinTime.h"

class CTNBIN;
class CTString;
class CXError;
template <typename T>
class CXYString;

// Characters of a path field without its terminating zero (the Windows
// MAX_PATH); buffers hold XMAX_PATH + 1.
constexpr std::size_t XMAX_PATH = 260;
constexpr std::size_t XMAX_PATH_BUFFER = XMAX_PATH + 1;

// The lock-conflict marker left in errno by a refused lock.
constexpr unsigned XERRNO_LOCK_CONFLICT = 0x80000000u;

// Attribute-word bits (see bGetFileAttributes).
constexpr int XFILE_ATTRIBUTE_TYPE = 0xE000;
constexpr int XFILE_ATTRIBUTE_DIRECTORY = 0x4000;
constexpr int XFILE_ATTRIBUTE_HIDDEN = static_cast<int>(0x80000000u);

class CDiskFile : public IXStream {
 public:
  // A local calendar time.
  struct _stXFILETIME {
    std::uint16_t wYear;
    std::uint16_t wMonth;
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
  };

  // State of a directory search (bFindFirst / bFindNext / bFindClose). A
  // zero-filled record is "no search". The open directory belongs to the
  // record until bFindClose (or the end of the search) closes it.
  struct _stXFINDDATA {
    DIR* hDir;
    wchar_t szPattern[XMAX_PATH_BUFFER];    // the name pattern
    wchar_t szDirectory[XMAX_PATH_BUFFER];  // the directory searched, ending with "/"
    int nRequired;                          // attribute bits an entry must have
    int nExcluded;                          // attribute bits it must not have
    // The current entry.
    wchar_t szName[XMAX_PATH_BUFFER];
    int nAttributes;
    std::int64_t llSize;
    _stXFILETIME stLastWrite;
  };

  // Kind of text bChargeTexteBOM found.
  enum etxType : int {
    TXT_CODEPAGE = 0,
    TXT_UTF8 = 1,
    TXT_UTF16 = 2,
  };

  // Callback of the tree walks: a full path and the caller's parameter;
  // false stops the walk.
  using PFN_FILETREE = bool (*)(const wchar_t* path, long parameter);

  // ---- The stream ---------------------------------------------------------
  //
  // Closed (descriptor -1, open flags -1, position 0) -> bOpen -> open ->
  // Close -> closed. The line buffer of pszReadLine outlives Close.

  CDiskFile();
  // Closes an open stream, frees the line buffer and a heap error name.
  ~CDiskFile() override;

  // Opens `name` (an open stream is closed first; the full path becomes the
  // stream's name; a full path of 260 characters or more is refused with
  // ENAMETOOLONG and nothing is opened) with eAccess plus
  // O_NONBLOCK, then takes the eShare lock over the whole file (none for
  // XSHARE_NONE, nor for a directory opened with XFLAG_DIRECTORY).
  // XCREATE_OPENORCREATE: an existing file is opened and errno is left at
  // EEXIST; a new one is created and *pbCreated = 1. XCREATE_TRUNCATE: the
  // file is opened or created, locked, then emptied (so it needs write
  // access); *pbCreated = 1. A lock conflict closes the descriptor and
  // leaves errno 0x80000000. On failure errno keeps the cause after the
  // error is recorded, under message 28139 (XCREATE_OPEN), 28002
  // (XCREATE_OPENORCREATE) or 28140 (XCREATE_TRUNCATE).
  bool bOpen(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
             int* pbCreated) override;
  // Descriptor -1, position 0, open flags -1 and the error name back to the
  // stream's name, whatever close(2) answers: the kernel has freed the
  // number either way. A failing close is reported under 28001 with errno.
  void Close() override;
  // Close, then bOpen of the stored full path with the new modes.
  bool bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag) override;
  bool bWrite(std::int64_t offset, const void* buffer, unsigned n, unsigned* pnWritten) override;
  bool bRead(std::int64_t offset, void* buffer, unsigned n, unsigned* pnRead) override;
  // One write(2); n = 0 writes nothing. Anything short of n bytes fails.
  bool bWrite(const void* buffer, unsigned n, unsigned* pnWritten) override;
  // One read(2).
  bool bRead(void* buffer, unsigned n, unsigned* pnRead) override;
  bool bSeek(std::int64_t offset, eSEEK eOrigin) override;
  std::int64_t oGetSize() override;
  std::int64_t oGetSizeFast() override;
  // fsync(2).
  bool bFlush() override;
  // Any eGrow other than 0 or 1: false, nothing reported.
  bool bSetSize(std::int64_t size, eGROW eGrow) override;
  // n = 0: true, nothing done; n < 0: false, nothing done.
  bool bIncreaseSize(std::int64_t n) override;
  bool bExtract(IXStream* destination, std::int64_t n) override;
  bool bLockFile(std::int64_t offset, std::int64_t length) override;
  bool bUnlockFile(std::int64_t offset, std::int64_t length) override;
  // Exclusive when the stream was opened with write access, else shared.
  bool bLock(std::int64_t offset, std::int64_t length) override;
  // A failing unlock leaves errno 0x80000000.
  bool bUnlock(std::int64_t offset, std::int64_t length) override;
  // The full path (empty when never opened).
  const wchar_t* pszGetName() override;
  std::int64_t oGetOffset() override;
  bool bIsOpen() override;
  bool vbSetNameForError(const wchar_t* name) override;
  eACCESS veGetAccess() override;
  bool bGetVFSFileName(wchar_t* buffer) override;
  // Unlocking always answers true.
  bool bLockFileEx(bool bLock, bool bExclusive) override;
  const wchar_t* pszReadLine(wchar_t* buffer, int size, CTString* overflow,
                             const wchar_t* separator) override;
  // size <= 0: false, nothing done. Otherwise the file becomes size bytes
  // long (position at the new end); when it grew, a zero byte is written at
  // offset size - 1 so the space is really allocated.
  bool bExtendFile(std::int64_t size) override;

  using IXStream::bExtract;
  // Copies `length` bytes (negative: up to the end) from `offset` of this
  // stream into the file `name`, created or emptied; a failed copy deletes
  // that file.
  virtual bool bExtract(const wchar_t* name, std::int64_t offset, std::int64_t length);
  // Copies `length` bytes (negative: up to its end) from `offset` of the file
  // `name` into this stream at its current position.
  virtual bool bExtractFromFile(const wchar_t* name, std::int64_t offset, std::int64_t length);
  // These answer false: the names are wide already.
  virtual bool bOpenW(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                      eFLAG eFlag, int* pbCreated);
  virtual bool bExtractW(const wchar_t* name, std::int64_t offset, std::int64_t length);
  // pszGetName.
  virtual const wchar_t* pwszGetName();
  // True.
  virtual bool vbIsUNICODEFileName();
  virtual bool bExtractFromFileW(const wchar_t* name, std::int64_t offset, std::int64_t length);
  virtual bool vbSetNameForErrorW(const wchar_t* name);
  // Reserved slots: they do nothing.
  virtual void vReservedDiskFile1();
  virtual void vReservedDiskFile2();
  virtual void vReservedDiskFile3();
  virtual void vReservedDiskFile4();
  virtual void vReservedDiskFile5();
  virtual void vReservedDiskFile6();
  virtual void vReservedDiskFile7();
  virtual void vReservedDiskFile8();

  // A shared lock of the range, whatever the access; as bLock otherwise.
  bool bLockShare(std::int64_t offset, std::int64_t length);
  // The open file's creation (status change), access and last-write times
  // as local calendar times; null outputs are skipped.
  bool bGetTime(_stXFILETIME* creation, _stXFILETIME* access, _stXFILETIME* write);
  // Sets the access and last-write times of the file (utime); a null time
  // keeps that time; the creation time is not set.
  bool bSetTime(const _stXFILETIME* creation, const _stXFILETIME* access,
                const _stXFILETIME* write);

  // Opens `stream` on `name` with an exclusive lock (access 0 becomes read
  // and write). While the open fails on a lock conflict it is tried again:
  // by count (bByCount), at most `limit` tries, yielding the processor in
  // between; by time, for at most `limit` milliseconds, sleeping 100 ms in
  // between and stopping when the clock runs backwards. Any other failure
  // ends at once.
  static bool bOpenExclusifReessais(IXStream* stream, const wchar_t* name, bool bByCount,
                                    unsigned limit, eACCESS eAccess, eCREATE eCreate, eFLAG eFlag,
                                    int* pbCreated);

  // ---- Existence, status, attributes (static) ------------------------------

  // access(F_OK); `systemError` gets errno (0 when it exists). Nothing is
  // reported.
  static bool bExist(const wchar_t* path, unsigned& systemError, CXError* error);
  static bool bExist(const wchar_t* path, CXError* error = nullptr);
  // stat(2) succeeds and the path is a regular file, or a directory.
  static bool bIsAFile(const wchar_t* path);
  static bool bIsADirectory(const wchar_t* path);
  // stat(2) into `info`; failure: 28128.
  static bool bGetFileStatus(const wchar_t* path, struct stat* info, CXError* error);
  // Size of a regular file; -1 when missing or not a regular file.
  static std::int64_t s_oGetSize(const wchar_t* path);
  // Attribute word: st_mode & 0xE1FF, plus 0x80000000 when the file name
  // begins with a dot; `systemError` gets errno. Failure: 28130.
  static bool bGetFileAttributes(const wchar_t* path, int& attributes, unsigned& systemError,
                                 CXError* error);
  // Mode 0444 for -1 and -2, else 0666 (bSetFileAttributesUnix).
  static bool bSetFileAttributes(const wchar_t* path, int attributes, CXError* error);
  // chmod(2); failure: 28130 (mode, path).
  static bool bSetFileAttributesUnix(const wchar_t* path, mode_t mode, CXError* error);
  // chown(2); failure: 25852.
  static bool bSetFileOwnerUnix(const wchar_t* path, uid_t uid, gid_t gid, CXError* error);
  // Owner and group, then mode; false at the first failure.
  static bool bSetFileOwnerAttributes(const wchar_t* path, uid_t uid, gid_t gid, mode_t mode,
                                      CXError* error);

  // ---- Create and delete (static) -------------------------------------------

  // Creates every missing level (mode 0777 under the umask); an existing
  // directory is success. Empty path: false, nothing reported. A path of
  // more than 260 characters (trailing slashes removed) is refused with
  // ENAMETOOLONG before anything is made. Failure: 28126 with the path that
  // could not be made.
  static bool bCreateDirectory(const wchar_t* path, CXError* error);
  // rmdir(2); failure: 28127.
  static bool bDeleteDirectory(const wchar_t* path, CXError* error);
  // unlink(2); failure: 28123.
  static bool bDelete(const wchar_t* path, CXError* error);
  // unlink(2), nothing reported.
  static bool bForceDelete(const wchar_t* path, CXError* error = nullptr);

  // Tree walks. Entries are classified with lstat: a symbolic link is never
  // followed nor descended into. `directory` may end with a slash or not.
  // bDoOnFileTree calls `callback` with the full path of every entry of the
  // directory matching `pattern` (directories only with bWithDirectories),
  // then, with bRecursive, walks each subdirectory. A false callback stops
  // the walk with false; so does a path too long for 260 characters.
  static bool bDoOnFileTree(const wchar_t* directory, const wchar_t* pattern, PFN_FILETREE callback,
                            long parameter, bool bWithDirectories, bool bRecursive);
  // The same on directories only (none without bWithDirectories); the
  // callback gets each directory's path without an end slash.
  static bool bDoOnDirectoryTree(const wchar_t* directory, const wchar_t* pattern,
                                 PFN_FILETREE callback, long parameter, bool bWithDirectories,
                                 bool bRecursive);
  // Empties the directory: subdirectories are emptied and removed, files and
  // links removed (a link is removed itself, never what it points to). The
  // directory stays. The first failure ends with false.
  static bool _bDeltree(const wchar_t* directory, CXError* error);
  static bool bPurgeTree(const wchar_t* directory, CXError* error);
  static bool bForcePurgeTree(const wchar_t* directory, CXError* error);
  // Empties, then removes the directory.
  static bool bDeleteTree(const wchar_t* directory, CXError* error);
  static bool bForceDeleteTree(const wchar_t* directory, CXError* error);
  // Unlinks every file of the tree, then bDeleteTree.
  static bool bDeleteTreeEvenReadOnly(const wchar_t* directory, CXError* error);
  // bDoOnFileTree with bForceDelete as the callback.
  static bool bForceDeleteOnFileTree(const wchar_t* directory, const wchar_t* pattern,
                                     bool bRecursive, CXError* error);

  // ---- Rename, copy, move (static) ------------------------------------------

  // rename(old, new) unless `newName` exists (then EEXIST). Failure: 28124
  // (new, old), EIT_SRCFILE old, EIT_DSTFILE new.
  static bool bRename(const wchar_t* newName, const wchar_t* oldName, CXError* error);
  // Copies the content (not owner, mode nor times). The same name, or two
  // names of one file, are refused. Failure: 28125 (destination, source).
  static bool bCopy(const wchar_t* destination, const wchar_t* source, CXError* error);
  // rename(2), replacing an existing destination atomically; only within one
  // file system. Two names of one file: the source name is removed unless it
  // is the same directory entry (then nothing changes). Failure: 28124.
  static bool bMove(const wchar_t* destination, const wchar_t* source, CXError* error);

  // ---- Directory search (static) --------------------------------------------

  // Starts a search with `pattern` (directory part, then a name pattern of
  // "*" and "?", case-sensitive; no directory part: the current directory)
  // and finds the first entry having every `required` and no `excluded`
  // attribute bit; "." and ".." are never returned. A missing directory is
  // false without a report; other failures 28135. False when no entry is
  // found (the search is then closed).
  static bool bFindFirst(const wchar_t* pattern, _stXFINDDATA* data, int required, int excluded,
                         CXError* error);
  // The next entry; false at the end (the search is then closed). 28136.
  static bool bFindNext(_stXFINDDATA* data, CXError* error);
  // True when no search is open; else closedir. 28137.
  static bool bFindClose(_stXFINDDATA* data, CXError* error);
  // Name matching of the search: "*" any run, "?" one character,
  // case-sensitive.
  static bool _bFiltreFileName(const wchar_t* name, const wchar_t* pattern);

  // ---- Temporary names (static) ---------------------------------------------

  // The system's temporary directory, with its end slash, into `out` (261
  // characters). Failure: 28133.
  static bool bGetTempDirectory(wchar_t* out, CXError* error);
  // Creates an empty file named directory + "/" + prefix + six characters and
  // puts its name into `out` (261 characters). Failure: 28134.
  static bool bGetTempName(wchar_t* out, const wchar_t* directory, const wchar_t* prefix,
                           CXError* error);
  // The same in the temporary directory, created when missing.
  static bool bGetTempName(wchar_t* out, const wchar_t* prefix, CXError* error);

  // ---- Full and relative paths (static) -------------------------------------

  // The full path of `path` ("~" is the home directory of the user's
  // password entry; a relative path is taken from the current directory),
  // without "/./" and "/../" steps ("/.." of the root stays the root), into
  // `out` of `size` characters. Result: its length; when it does not fit,
  // the size needed (more than size - 1) and `out` is not complete; 0 on
  // failure. *ppFilePart, when given, points to the file name in `out`.
  static unsigned GetFullPathName(const wchar_t* path, unsigned size, wchar_t* out,
                                  wchar_t** ppFilePart);
  // GetFullPathName; *pLength (when given) gets the length. Failure (also
  // ENAMETOOLONG when it does not fit): 28131.
  static bool bGetFullPath(wchar_t* out, unsigned size, const wchar_t* path, unsigned* pLength,
                           CXError* error);
  // Relative path from the directory `base` to `path` into `out` (261
  // characters): "../" per level up, or "./", then the rest. An empty base
  // gives the path. With bStopAtRoot false when no common part is found.
  static bool bPathRelativePathTo(wchar_t* out, const wchar_t* path, const wchar_t* base,
                                  bool bStopAtRoot);
  // Full path of `relative` read from the directory `base`, into `out` (261
  // characters). Mode 0 leaves a path that does not begin with a dot as it
  // is; mode 1 one that begins with a slash; other modes always resolve.
  static bool bRelativeToFullPath(wchar_t* out, const wchar_t* base, const wchar_t* relative,
                                  int mode);
  // The home directory (as Unix_gethomedir).
  static void GetHomeDir(CTString* out);
  // The current directory into `out` (261 characters). Failure: 28307.
  static bool bGetCurrentDirectory(wchar_t* out, CXError* error);

  // ---- Times (static) --------------------------------------------------------

  // UTC FILETIME to local calendar time (the day of the week is dropped),
  // and back.
  static bool bFileTimeToSystemTime(const FILETIME& fileTime, _stXFILETIME* out);
  static bool bSystemTimeToFileTime(const _stXFILETIME* in, FILETIME* fileTime);
  // Last-write time from stat(2). Failures: 28128, 28129.
  static bool bGetLastModificationTime(const wchar_t* path, _stXFILETIME* out, CXError* error);
  // Field by field from the year: b's field minus a's at the first
  // difference; 0 when equal.
  static int nCompareSystemTime(const _stXFILETIME* a, const _stXFILETIME* b);
  // MS-DOS date (high 16 bits) and time (low 16 bits); seconds in steps of
  // two; milliseconds 0 on the way back.
  static bool bSystemTimeToDosFileTime(const _stXFILETIME* time, unsigned* dos);
  static bool bDosFileTimeToSystemTime(unsigned dos, _stXFILETIME* time);

  // ---- Whole files (static) --------------------------------------------------

  // The whole file into `buffer`. On failure the stream's error is copied
  // into `error`.
  static bool bChargeFichier(CTNBIN& buffer, const wchar_t* path, CXError* error);
  // The whole file as text: a byte-order mark chooses UTF-16 (either byte
  // order) or UTF-8; without one valid UTF-8 is read as UTF-8, anything else
  // with `codePage`. *peType (when given) gets the kind.
  static bool bChargeTexteBOM(CXYString<wchar_t>& text, const wchar_t* path, unsigned codePage,
                              etxType* peType);
  // The same on bytes in memory; big-endian UTF-16 is swapped in place. A
  // trailing odd byte of UTF-16 is ignored.
  static bool bChargeTexteBOMFromBuffer(CXYString<wchar_t>& text, unsigned char* bytes,
                                        std::size_t size, unsigned codePage, etxType* peType);
  // Appends the file `source` to the file `destination` (created when
  // missing). A missing source, or a source that is the destination, is
  // refused; a failed copy cuts the destination back to its former size.
  static bool bConcat(const wchar_t* destination, const wchar_t* source);
  // Copies `length` bytes from `offset` of the existing file `source` into
  // the file `destination` (created or emptied).
  static bool bExtract(const wchar_t* destination, const wchar_t* source, std::int64_t offset,
                       std::int64_t length);

  // ---- Disk space (static) ---------------------------------------------------

  // statfs of the path (the current directory when null): total bytes and
  // bytes free for unprivileged users; null outputs skipped. Failure: 28138.
  static bool bGetDiskSpace(const wchar_t* path, std::uint64_t* total, std::uint64_t* free,
                            CXError* error);
  static bool bGetDiskFreeSpace(const wchar_t* path, std::uint64_t* free, CXError* error);

  // ---- Path strings (static; PathStrings.cpp) -------------------------------
  // In place on wide buffers. Functions taking a capacity (characters, the
  // zero included) answer false and leave the buffer unchanged when the
  // result would not fit.

  static wchar_t* pszBackSlash2Slash(wchar_t* text);
  static wchar_t* pszSlash2BackSlash(wchar_t* text);
  static void BackSlash2Slash(CTString& text);
  // Backslashes to slashes, then a slash appended unless the text is empty or
  // ends with one.
  static bool DirectoryWithEndSlash(wchar_t* path, std::size_t capacity = XMAX_PATH_BUFFER);
  static void DirectoryWithEndSlash(CTString& path);
  // Backslashes to slashes, then every trailing slash removed.
  static void DirectoryWithoutEndSlash(wchar_t* path);
  static void DirectoryWithoutEndSlash(CTString& path);
  // The text after the last slash or backslash.
  static const wchar_t* pszGetPtrToFileName(const wchar_t* path);
  static wchar_t* pszGetPtrToFileName(wchar_t* path);
  // The last dot of the file name, or its terminating zero.
  static const wchar_t* pszGetPtrToExtension(const wchar_t* path);
  static wchar_t* pszGetPtrToExtension(wchar_t* path);
  // Backslashes to slashes, then the file name cut at its last dot.
  static void DelExtension(wchar_t* path);
  // The file name's extension replaced by `extension` (a dot put in front
  // when it has none).
  static bool ChangeExtension(wchar_t* path, std::size_t capacity, const wchar_t* extension);
  // directory + "/" (none for an empty directory) + name + "." (none for an
  // empty extension, or one beginning with a dot) + extension, backslashes
  // as slashes, into `out` of `capacity` characters. False (out empty) when
  // it does not fit.
  static bool MakePath(wchar_t* out, const wchar_t* directory, const wchar_t* name,
                       const wchar_t* extension, std::size_t capacity);
  // Splits a path: directory up to and including the last slash, name up to
  // its last dot, extension from it; null outputs skipped; each output holds
  // `capacity` characters. False (ENAMETOOLONG) when a part does not fit.
  static bool __SplitPath(const wchar_t* path, wchar_t* directory, wchar_t* name,
                          wchar_t* extension, std::size_t capacity = XMAX_PATH_BUFFER);
  // The same with the name and extension together in `file`.
  static bool __SplitPath(const wchar_t* path, wchar_t* directory, wchar_t* file,
                          std::size_t capacity = XMAX_PATH_BUFFER);
  // Begins with a dot.
  static bool bIsRelativePath(const wchar_t* path);
  // Does not begin with a slash.
  static bool bIsRelativeFileName(const wchar_t* path);
  // Windows rules: empty is relative; "\..." and "X:..." are not; anything
  // else is unless it ends with a colon.
  static bool bIsRelativeFileName_WIN32(const wchar_t* path);
  // Two backslashes, then another backslash further on.
  static bool bUNCName(const wchar_t* name);
  static bool bUNCNameA(const char* name);
  // GetFullPathName into `out` of `size` characters.
  static bool bGetUNCName(wchar_t* out, unsigned size, const wchar_t* path, CXError* error);
  static bool bStandardizeExistingFileName(wchar_t* out, unsigned size, const wchar_t* path);
  // Copies the path (false when it has size characters or more).
  static bool bGetLongPathName(wchar_t* out, unsigned size, const wchar_t* path);
  // Copies `in` (when given) to `out`, backslashes to slashes, trailing
  // spaces removed.
  static bool StandardizeFileName(wchar_t* out, const wchar_t* in,
                                  std::size_t capacity = XMAX_PATH_BUFFER);
  // Full paths compared, case-sensitive; the directory forms ignore end
  // slashes.
  static bool bSameFileName(const wchar_t* a, const wchar_t* b);
  static bool bSameDirectoryName(const wchar_t* a, const wchar_t* b);
  static bool bSameDirectoryNameEx(const wchar_t* a, const wchar_t* b);
  // "/./" becomes "/", "/x/../" becomes "/" (not for x = "..", nor for a
  // "/../" with no slash before it).
  static void SimplifyPath(wchar_t* path);
  // Inserts "./" in front.
  static bool PrefixeCurrentDirectory(wchar_t* name, std::size_t capacity = XMAX_PATH_BUFFER);
  // None of \ / : * ? " < > |.
  static bool bValidName(const wchar_t* name);
  static bool sbIsBadNetworkFile(const wchar_t* name);
  static bool bSystemSupportHugeFile();

  // ---- System-call wrappers -----------------------------------------------

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

 private:
  // A failure of the stream: level 3, this library's module, the system
  // error and the handle line.
  void _BeginReport(unsigned systemError);
  // _BeginReport, message nId (0: none) put first with the error name,
  // EIT_SRCFILE the error name. errno is kept.
  void _ReportError(unsigned nId, unsigned systemError);
  // The same for the lock messages (error name, offset, length) with errno.
  void _ReportLockError(unsigned nId, std::int64_t offset, std::int64_t length);
  // fcntl record lock of the range (F_SETLKW when bWait, else F_SETLK).
  bool _bLockRange(short type, std::int64_t offset, std::int64_t length, bool bWait);
  // One read of the line buffer from the file, terminated; its count of
  // characters, 0 at the end, -1 on failure.
  long _nFillLineBuffer();

  wchar_t m_szName[XMAX_PATH];
  int m_hFile;
  std::int64_t m_oPosition;
  wchar_t* m_pLineBuffer;
  wchar_t* m_pLineCursor;
  int m_nOpenFlags;
  wchar_t* m_pszErrorName;
};
