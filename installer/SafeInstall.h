// Safe installation of archive entries under one target directory.
//
// The installer runs as root and unpacks an archive it does not control into
// the runtime directory. Everything here exists so that an entry can never
// write outside that directory, never write through a link planted in it,
// and never destroy an installed file when its own extraction fails:
//
// - eCheckEntryName refuses, before anything is installed, every name that
//   could leave the target or that the target cannot hold.
// - CSafeTree walks an entry's parent directories from a descriptor of the
//   target with openat(O_DIRECTORY | O_NOFOLLOW), creating missing ones with
//   mkdirat (the system's default owner and mode), so that a symbolic link
//   anywhere below the target fails the step instead of being followed.
// - A file is written into a new temporary file of its destination's
//   directory (O_EXCL | O_NOFOLLOW, mode 0600), checked, and given its
//   times, owner and mode through the descriptor. Nothing is renamed until
//   every entry of the run is written and checked: bCommit then renames
//   them all over their destinations (a link or hard link at a destination
//   is replaced, never written through) and stamps the directories. A run
//   that fails before that is rolled back: every temporary file and every
//   directory the run made are removed, and the installed files stay as
//   they were, so the runtime's directory never mixes two versions.
//
// Entry names use "\" or "/" as separator; both are read as "/".
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

class IXStream;

// Outcome of eCheckEntryName.
enum eENTRYNAME : int {
  ENTRYNAME_OK = 0,
  ENTRYNAME_EMPTY = 1,      // no name at all
  ENTRYNAME_ABSOLUTE = 2,   // begins with "/" (or "\")
  ENTRYNAME_DRIVE = 3,      // begins with a drive prefix ("C:")
  ENTRYNAME_COMPONENT = 4,  // an empty, "." or ".." component
  ENTRYNAME_TOO_LONG = 5,   // target + name over 260 characters, or over 1023 bytes as UTF-8
  ENTRYNAME_NUL = 6,        // a NUL character inside the given length
};

// Longest target + name, in characters.
constexpr std::size_t knSafeMaxPath = 260;
// Longest name, in bytes of its UTF-8 form.
constexpr std::size_t knSafeMaxNameBytes = 1023;

// Checks an entry name for installation under `target` (a directory ending
// with "/"; null counts as empty). `nLength` is the number of characters
// the holder of the name says it has (-1: up to the terminator); a NUL
// before that is refused. Pure: touches nothing.
eENTRYNAME eCheckEntryName(const wchar_t* target, const wchar_t* name, long nLength = -1);

// The entry name with every "\" turned into "/".
std::wstring sEntryPath(const wchar_t* name);

// The UTF-8 form of a wide text, as the system calls and standard error
// take it (null gives an empty text).
std::string sToUTF8(const wchar_t* text);

// What an installed file or directory is given, through its descriptor.
struct stENTRYSTAMP {
  struct timespec tsAccess;        // tv_nsec UTIME_OMIT: left as created
  struct timespec tsModification;  // the same
  uid_t nOwner;
  gid_t nGroup;
  mode_t nMode;  // permission bits are used (file-type bits ignored)
};

// Writes the entry's data into the stream and puts the number of bytes
// written in *pllWritten; returns 0 on success (data complete, CRC-32
// matched), else the archive's result code.
using FnWriteEntry = std::function<int(IXStream* pStream, std::int64_t* pllWritten)>;

// How a step failed.
struct stSAFEFAILURE {
  int nArchiveResult = 0;  // non-zero: the archive's result for the entry's data
  int nErrno = 0;          // otherwise: the system error
  // The path (relative to the target, "/" separated) the failing call was
  // made on: a parent, the destination, or empty for the target itself.
  std::wstring sPath;
};

// One installation run over the target directory. Holds a descriptor of the
// target and of the last parent directory reached, and the run's staged
// files and made directories. Close (and the destructor) roll back what was
// not committed. Not copyable; one thread at a time.
class CSafeTree {
 public:
  CSafeTree() = default;
  CSafeTree(const CSafeTree&) = delete;
  CSafeTree& operator=(const CSafeTree&) = delete;
  ~CSafeTree();

  // Opens the target directory (O_DIRECTORY; the target itself is the
  // configured directory and may be reached through links). False with
  // *pstFailure filled on failure. An open tree is closed first.
  bool bOpen(const wchar_t* target, stSAFEFAILURE* pstFailure);
  void Close();
  bool bIsOpen() const { return m_hTarget >= 0; }

  // Stages the file `path` (a checked name, "/" separated): parents walked
  // and created, data written by `fnWrite` into a temporary file of the
  // parent directory, the size checked against llDeclaredSize, times, owner
  // and mode set. The destination is untouched until bCommit. False with
  // *pstFailure filled; this entry's temporary file is then gone (the run's
  // others stay staged until bCommit or Rollback).
  bool bInstallFile(const std::wstring& path, std::int64_t llDeclaredSize, const stENTRYSTAMP& stamp,
                    const FnWriteEntry& fnWrite, stSAFEFAILURE* pstFailure);

  // Stages the directory `path`: parents walked and created, the directory
  // made (an existing real directory is accepted) and checked with
  // O_DIRECTORY | O_NOFOLLOW (a link there fails). Its times, owner and
  // mode are set by bCommit, after the files inside it are in place. False
  // with *pstFailure filled.
  bool bInstallDirectory(const std::wstring& path, const stENTRYSTAMP& stamp,
                         stSAFEFAILURE* pstFailure);

  // Renames every staged file over its destination, in staging order, then
  // stamps the staged directories. False with *pstFailure filled when a
  // rename or a stamp fails; the files not yet renamed are then removed.
  bool bCommit(stSAFEFAILURE* pstFailure);
  // Removes every staged temporary file, then every directory the run made
  // (deepest first): the target is as it was before the run, bar directory
  // times. Nothing to do after bCommit.
  void Rollback();

  // Number of temporary names tried before giving up on EEXIST.
  static constexpr int knTempAttempts = 64;

 private:
  // Descriptor of the directory holding `path`'s last component (owned by
  // the tree; the target's or the cached parent's), the last component in
  // *psLeaf (UTF-8). Missing parents are made (and remembered as made by
  // the run) when bCreate is set. -1 with *pstFailure filled.
  int _nOpenParent(const std::wstring& path, std::string* psLeaf, stSAFEFAILURE* pstFailure,
                   bool bCreate = true);
  // Removes the staged temporary files from index nFrom on.
  void _DiscardStaged(std::size_t nFrom);
  // A fresh temporary name (not guessable from outside the process).
  void _MakeTempName(char* pszOut, std::size_t nSize);

  // A file written and checked, waiting for bCommit.
  struct stSTAGED {
    std::wstring sPath;  // the destination, relative to the target
    std::string sTemp;   // its temporary file, in the same directory
  };

  int m_hTarget = -1;
  std::vector<stSTAGED> m_vStaged;
  std::vector<std::pair<std::wstring, stENTRYSTAMP>> m_vDirectories;
  // Directories this run created, in creation order.
  std::vector<std::wstring> m_vMade;
  // Cached parent: its relative path and descriptor (-1: none).
  std::wstring m_sParent;
  int m_hParent = -1;
  std::uint64_t m_qwTempState = 0;
};
