// Internal helpers of the disk file and its toolbox: path copies with
// slashes, bounded copies into fixed path buffers, full paths, and the
// error reporting shared by the static file operations. Not for use outside
// the CDiskFile sources; the public path-string functions are static members
// of CDiskFile (PathStrings.cpp).
#pragma once

#include <cstddef>

#include "CDiskFile.h"

class CTString;
class CXError;

namespace kxfile {

// A path as the file operations read it: the caller's text itself when it
// holds no backslash, else a copy (on the heap, freed with the object) in
// which every backslash is a slash. A null path reads as the empty path;
// when the copy cannot be had, the empty path too (the system calls then
// fail with ENOENT).
class CSlashPath {
 public:
  explicit CSlashPath(const wchar_t* path);
  ~CSlashPath();
  CSlashPath(const CSlashPath&) = delete;
  CSlashPath& operator=(const CSlashPath&) = delete;

  const wchar_t* psz() const { return m_psz; }

 private:
  const wchar_t* m_psz;
  wchar_t* m_pCopy = nullptr;
};

// Copies `text` (null: empty) into `out` of `capacity` characters, zero
// included. When it does not fit: false, errno ENAMETOOLONG, `out`
// unchanged.
bool bCopyBounded(wchar_t* out, std::size_t capacity, const wchar_t* text);
// The same for n characters of `text`.
bool bCopyBoundedN(wchar_t* out, std::size_t capacity, const wchar_t* text, std::size_t n);
// Appends `text` to the text in `out` under the same rule.
bool bAppendBounded(wchar_t* out, std::size_t capacity, const wchar_t* text);

// The full path of `path` into `out`: backslashes as slashes, a leading "~"
// as the home directory of the user's password entry, a relative path after
// the current directory; then "." components dropped, each ".." dropped with
// the component before it (at the root it stays the root) and repeated
// slashes made one. False (errno set) when the current directory or the
// home directory cannot be had, or memory runs out.
bool bFullPath(const wchar_t* path, CTString& out);

// Resets the caller's error of a static operation (nothing for null).
void ResetError(CXError* pclError);

// Reports the failure of a static operation into `pclError` (nothing for
// null): level 3, system error `nSystemError`, message nId of this library
// with the arguments that follow appended to the user message, EIT_SRCFILE
// `pszSource` and, when given, EIT_DSTFILE `pszDestination`. errno is kept.
void ReportError(CXError* pclError, unsigned nSystemError, const wchar_t* pszSource,
                 const wchar_t* pszDestination, unsigned nId, ...);

// The directory search behind bFindFirst and bFindNext. Results: 1 an entry
// was found, 0 no (more) entries (the search is closed; a missing directory
// is no entry, nothing reported), -1 a failure (reported, errno set; the
// search is closed). bTree classifies entries for the tree walks: with
// lstat (a symbolic link is a link, never what it points to) and with the
// directory bit 0x4000 of `required` and `excluded` read as "the entry is a
// directory", (attributes & 0xE000) == 0x4000.
int nFindFirst(const wchar_t* pattern, CDiskFile::_stXFINDDATA* data, int required, int excluded,
               CXError* error, bool bTree);
int nFindNext(CDiskFile::_stXFINDDATA* data, CXError* error, bool bTree);

}  // namespace kxfile
