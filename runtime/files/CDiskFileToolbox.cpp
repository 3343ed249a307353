// The static file-system toolbox of CDiskFile: existence and attributes,
// directories, delete, rename, copy and move, temporary names, times, whole
// files and disk space.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "CDiskFile.h"
#include "CTNBIN.h"
#include "CXError.h"
#include "CXYString.h"
#include "CodePage.h"
#include "PathStrings.h"
#include "UnicodeConversion.h"
#include "WinTime.h"
#include "XMalloc.h"

using kxfile::CSlashPath;
using kxfile::ReportError;
using kxfile::ResetError;

namespace {

constexpr unsigned knMsgSetOwner = 25852;
constexpr unsigned knMsgDelete = 28123;
constexpr unsigned knMsgRename = 28124;
constexpr unsigned knMsgCopy = 28125;
constexpr unsigned knMsgCreateDirectory = 28126;
constexpr unsigned knMsgDeleteDirectory = 28127;
constexpr unsigned knMsgStatus = 28128;
constexpr unsigned knMsgModificationTime = 28129;
constexpr unsigned knMsgAttributes = 28130;
constexpr unsigned knMsgTempDirectory = 28133;
constexpr unsigned knMsgTempName = 28134;
constexpr unsigned knMsgDiskSpace = 28138;

// Blocks of bCopy and bConcat.
constexpr unsigned knCopyBlock = 4096;
constexpr unsigned knConcatBlock = 0x10000;

unsigned nErrno() { return static_cast<unsigned>(errno); }

// The attribute word of a stat result for the file `name`.
int nAttributeWord(const struct stat& stInfo, const wchar_t* path) {
  int nAttributes = static_cast<int>(stInfo.st_mode & 0xE1FF);
  if (CDiskFile::pszGetPtrToFileName(path)[0] == L'.') nAttributes |= XFILE_ATTRIBUTE_HIDDEN;
  return nAttributes;
}

// The directory holding `path` (the text before its last component, "."
// when there is none, "/" for a component right under the root), and that
// last component, trailing slashes ignored. False when they do not fit.
bool bSplitLastComponent(const wchar_t* path, wchar_t* directory, wchar_t* component) {
  std::size_t n = std::wcslen(path);
  while (n > 1 && path[n - 1] == L'/') --n;
  std::size_t nStart = n;
  while (nStart > 0 && path[nStart - 1] != L'/') --nStart;
  if (!kxfile::bCopyBoundedN(component, PATH_MAX + 1, path + nStart, n - nStart)) return false;
  if (nStart == 0) return kxfile::bCopyBounded(directory, PATH_MAX + 1, L".");
  std::size_t nDirectory = nStart;
  while (nDirectory > 1 && path[nDirectory - 1] == L'/') --nDirectory;
  return kxfile::bCopyBoundedN(directory, PATH_MAX + 1, path, nDirectory);
}

// True when both names reach the same directory entry: the same directory
// (device and inode, links in it followed) and the same last component.
bool bSameDirectoryEntry(const wchar_t* a, const wchar_t* b) {
  wchar_t szDirectoryA[PATH_MAX + 1];
  wchar_t szDirectoryB[PATH_MAX + 1];
  wchar_t szComponentA[PATH_MAX + 1];
  wchar_t szComponentB[PATH_MAX + 1];
  if (!bSplitLastComponent(a, szDirectoryA, szComponentA) ||
      !bSplitLastComponent(b, szDirectoryB, szComponentB)) {
    return true;  // cannot tell: change nothing
  }
  if (std::wcscmp(szComponentA, szComponentB) != 0) return false;
  struct stat stA;
  struct stat stB;
  if (CDiskFile::Unix_stat(szDirectoryA, &stA) != 0 ||
      CDiskFile::Unix_stat(szDirectoryB, &stB) != 0) {
    return true;
  }
  return stA.st_dev == stB.st_dev && stA.st_ino == stB.st_ino;
}

// UTF8Valide stops at a zero byte: each run between zero bytes is checked.
bool bValidUTF8(const char* p, std::size_t n) {
  while (n > 0) {
    if (!UTF8Valide(p, static_cast<long>(n))) return false;
    const void* pZero = std::memchr(p, 0, n);
    if (pZero == nullptr) return true;
    const std::size_t nRun = static_cast<std::size_t>(static_cast<const char*>(pZero) - p) + 1;
    p += nRun;
    n -= nRun;
  }
  return true;
}

// mkdir with mode 0777; an existing directory is success. On failure errno
// is mkdir's.
bool bMakeDirectory(const wchar_t* path) {
  if (CDiskFile::__Unix_mkdir(path, 0777) == 0) return true;
  const int nErrno = errno;
  if (nErrno == EEXIST && CDiskFile::bIsADirectory(path)) return true;
  errno = nErrno;
  return false;
}

}  // namespace

// ---- Existence, status, attributes ---------------------------------------------

bool CDiskFile::bExist(const wchar_t* path, unsigned& systemError, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  return Unix_access(clPath.psz(), F_OK, &systemError) == 0;
}

bool CDiskFile::bExist(const wchar_t* path, CXError* error) {
  unsigned systemError = 0;
  return bExist(path, systemError, error);
}

bool CDiskFile::bIsAFile(const wchar_t* path) {
  const CSlashPath clPath(path);
  struct stat stInfo;
  return Unix_stat(clPath.psz(), &stInfo) == 0 && S_ISREG(stInfo.st_mode);
}

bool CDiskFile::bIsADirectory(const wchar_t* path) {
  const CSlashPath clPath(path);
  struct stat stInfo;
  return Unix_stat(clPath.psz(), &stInfo) == 0 && S_ISDIR(stInfo.st_mode);
}

bool CDiskFile::bGetFileStatus(const wchar_t* path, struct stat* info, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  struct stat stLocal;
  if (Unix_stat(clPath.psz(), info != nullptr ? info : &stLocal) == 0) return true;
  ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgStatus, clPath.psz());
  return false;
}

std::int64_t CDiskFile::s_oGetSize(const wchar_t* path) {
  const CSlashPath clPath(path);
  struct stat stInfo;
  if (Unix_stat(clPath.psz(), &stInfo) != 0 || !S_ISREG(stInfo.st_mode)) return -1;
  return static_cast<std::int64_t>(stInfo.st_size);
}

bool CDiskFile::bGetFileAttributes(const wchar_t* path, int& attributes, unsigned& systemError,
                                   CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  struct stat stInfo;
  if (Unix_stat(clPath.psz(), &stInfo, &systemError) == 0) {
    attributes = nAttributeWord(stInfo, clPath.psz());
    return true;
  }
  attributes = 0;
  ReportError(error, systemError, clPath.psz(), nullptr, knMsgAttributes, 0, clPath.psz());
  return false;
}

bool CDiskFile::bSetFileAttributes(const wchar_t* path, int attributes, CXError* error) {
  const bool bReadOnly = attributes == -1 || attributes == -2;
  return bSetFileAttributesUnix(path, bReadOnly ? 0444 : 0666, error);
}

bool CDiskFile::bSetFileAttributesUnix(const wchar_t* path, mode_t mode, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  if (Unix_chmod(clPath.psz(), mode) == 0) return true;
  ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgAttributes, static_cast<unsigned>(mode),
              clPath.psz());
  return false;
}

bool CDiskFile::bSetFileOwnerUnix(const wchar_t* path, uid_t uid, gid_t gid, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  if (__Unix_chown(clPath.psz(), uid, gid) == 0) return true;
  ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgSetOwner, clPath.psz(),
              static_cast<unsigned>(uid), static_cast<unsigned>(gid));
  return false;
}

bool CDiskFile::bSetFileOwnerAttributes(const wchar_t* path, uid_t uid, gid_t gid, mode_t mode,
                                        CXError* error) {
  return bSetFileOwnerUnix(path, uid, gid, error) && bSetFileAttributesUnix(path, mode, error);
}

// ---- Create and delete -----------------------------------------------------------

bool CDiskFile::bCreateDirectory(const wchar_t* path, CXError* error) {
  ResetError(error);
  if (path == nullptr || path[0] == 0) return false;
  const CSlashPath clPath(path);
  const wchar_t* psz = clPath.psz();
  std::size_t n = std::wcslen(psz);
  while (n > 1 && psz[n - 1] == L'/') --n;
  wchar_t szDirectory[XMAX_PATH_BUFFER];
  // A longer path would be cut and another directory made.
  if (!kxfile::bCopyBoundedN(szDirectory, XMAX_PATH_BUFFER, psz, n)) {
    ReportError(error, ENAMETOOLONG, psz, nullptr, knMsgCreateDirectory, psz);
    errno = ENAMETOOLONG;
    return false;
  }
  for (std::size_t i = 1; i < n; ++i) {
    if (szDirectory[i] != L'/') continue;
    szDirectory[i] = 0;
    if (!bExist(szDirectory) && !bMakeDirectory(szDirectory)) {
      ReportError(error, nErrno(), szDirectory, nullptr, knMsgCreateDirectory, szDirectory);
      return false;
    }
    szDirectory[i] = L'/';
  }
  if (bMakeDirectory(szDirectory)) return true;
  ReportError(error, nErrno(), szDirectory, nullptr, knMsgCreateDirectory, szDirectory);
  return false;
}

bool CDiskFile::bDeleteDirectory(const wchar_t* path, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  if (__Unix_rmdir(clPath.psz()) == 0) return true;
  ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgDeleteDirectory, clPath.psz());
  return false;
}

bool CDiskFile::bDelete(const wchar_t* path, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  if (Unix_unlink(clPath.psz()) == 0) return true;
  ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgDelete, clPath.psz());
  return false;
}

bool CDiskFile::bForceDelete(const wchar_t* path, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  return Unix_unlink(clPath.psz()) == 0;
}

// ---- Rename, copy, move -------------------------------------------------------------

bool CDiskFile::bRename(const wchar_t* newName, const wchar_t* oldName, CXError* error) {
  ResetError(error);
  const CSlashPath clNew(newName);
  const CSlashPath clOld(oldName);
  if (bExist(clNew.psz())) {
    errno = EEXIST;
  } else if (__Unix_rename(clOld.psz(), clNew.psz()) == 0) {
    return true;
  }
  ReportError(error, nErrno(), clOld.psz(), clNew.psz(), knMsgRename, clNew.psz(), clOld.psz());
  return false;
}

bool CDiskFile::bCopy(const wchar_t* destination, const wchar_t* source, CXError* error) {
  ResetError(error);
  const CSlashPath clDestination(destination);
  const CSlashPath clSource(source);
  const wchar_t* pszDestination = clDestination.psz();
  const wchar_t* pszSource = clSource.psz();
  struct stat stSource;
  struct stat stDestination;
  bool bDone = false;
  if (bSameFileName(pszDestination, pszSource) ||
      (Unix_stat(pszSource, &stSource) == 0 && Unix_stat(pszDestination, &stDestination) == 0 &&
       stSource.st_dev == stDestination.st_dev && stSource.st_ino == stDestination.st_ino)) {
    // Emptying the destination would empty the source.
    errno = EINVAL;
  } else {
    CDiskFile clFrom;
    CDiskFile clTo;
    if (clFrom.bOpen(pszSource, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr) &&
        clTo.bOpen(pszDestination, XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE,
                   nullptr)) {
      unsigned char aBlock[knCopyBlock];
      for (;;) {
        unsigned nRead = 0;
        if (!clFrom.bRead(aBlock, knCopyBlock, &nRead)) break;
        if (nRead > 0 && !clTo.bWrite(aBlock, nRead, nullptr)) break;
        if (nRead < knCopyBlock) {
          bDone = true;
          break;
        }
      }
    }
    const int nSaved = errno;
    clFrom.Close();
    clTo.Close();
    errno = nSaved;
  }
  if (bDone) return true;
  ReportError(error, nErrno(), pszSource, pszDestination, knMsgCopy, pszDestination, pszSource);
  return false;
}

bool CDiskFile::bMove(const wchar_t* destination, const wchar_t* source, CXError* error) {
  ResetError(error);
  const CSlashPath clDestination(destination);
  const CSlashPath clSource(source);
  const wchar_t* pszDestination = clDestination.psz();
  const wchar_t* pszSource = clSource.psz();
  if (bSameFileName(pszDestination, pszSource)) return true;
  struct stat stSource;
  struct stat stDestination;
  if (Unix_lstat(pszSource, &stSource) == 0 && Unix_lstat(pszDestination, &stDestination) == 0 &&
      stSource.st_dev == stDestination.st_dev && stSource.st_ino == stDestination.st_ino) {
    // rename(2) does nothing for two names of one file. Two directory
    // entries (hard links): the source name goes. One entry reached by two
    // names (through a linked directory): removing it would lose the file.
    if (S_ISDIR(stSource.st_mode) || bSameDirectoryEntry(pszSource, pszDestination)) return true;
    if (Unix_unlink(pszSource) == 0) return true;
  } else if (__Unix_rename(pszSource, pszDestination) == 0) {
    // Replaces an existing destination atomically.
    return true;
  }
  ReportError(error, nErrno(), pszSource, pszDestination, knMsgRename, pszDestination, pszSource);
  return false;
}

// ---- Temporary names ------------------------------------------------------------------

bool CDiskFile::bGetTempDirectory(wchar_t* out, CXError* error) {
  ResetError(error);
  // The directory tempnam(NULL, ...) would choose: TMPDIR when it is a
  // directory, else the system's temporary directory.
  const char* apszCandidates[] = {std::getenv("TMPDIR"), P_tmpdir, "/tmp"};
  for (const char* pszCandidate : apszCandidates) {
    struct stat stInfo;
    if (pszCandidate == nullptr || pszCandidate[0] == 0 || ::stat(pszCandidate, &stInfo) != 0 ||
        !S_ISDIR(stInfo.st_mode)) {
      continue;
    }
    wchar_t szDirectory[PATH_MAX + 2];
    if (out != nullptr &&
        MultiByteToWideChar(CP_UTF8, 0, pszCandidate, -1, szDirectory, PATH_MAX + 1) != 0 &&
        kxfile::bCopyBounded(out, XMAX_PATH_BUFFER, szDirectory) && DirectoryWithEndSlash(out)) {
      return true;
    }
    break;
  }
  if (errno == 0) errno = ENOENT;
  ReportError(error, nErrno(), L"", nullptr, knMsgTempDirectory);
  return false;
}

bool CDiskFile::bGetTempName(wchar_t* out, const wchar_t* directory, const wchar_t* prefix,
                             CXError* error) {
  ResetError(error);
  const CSlashPath clDirectory(directory);
  const CSlashPath clPrefix(prefix);
  wchar_t szName[XMAX_PATH_BUFFER];
  bool bDone = false;
  if (out != nullptr && kxfile::bCopyBounded(szName, XMAX_PATH_BUFFER, clDirectory.psz()) &&
      DirectoryWithEndSlash(szName) &&
      kxfile::bAppendBounded(szName, XMAX_PATH_BUFFER, clPrefix.psz()) &&
      kxfile::bAppendBounded(szName, XMAX_PATH_BUFFER, L"XXXXXX")) {
    const int nBytes = nGetUTF8Len(szName);
    char* pszTemplate = static_cast<char*>(XMALLOC_pNew_(static_cast<std::size_t>(nBytes)));
    if (pszTemplate == nullptr) {
      errno = ENOMEM;
    } else {
      WideCharToMultiByte(CP_UTF8, 0, szName, -1, pszTemplate, nBytes, nullptr, nullptr);
      const int hFile = ::mkostemp(pszTemplate, O_CLOEXEC);
      if (hFile >= 0) {
        ::close(hFile);
        // Only the six template characters changed: the name still fits.
        bDone = MultiByteToWideChar(CP_UTF8, 0, pszTemplate, -1, out,
                                    static_cast<int>(XMAX_PATH_BUFFER)) != 0;
        if (!bDone) {
          ::unlink(pszTemplate);
          errno = ENAMETOOLONG;
        }
      }
      const int nSaved = errno;
      XMALLOC_Del_(pszTemplate);
      errno = nSaved;
    }
  }
  if (bDone) return true;
  ReportError(error, nErrno(), clDirectory.psz(), nullptr, knMsgTempName, clDirectory.psz(),
              clPrefix.psz());
  return false;
}

bool CDiskFile::bGetTempName(wchar_t* out, const wchar_t* prefix, CXError* error) {
  wchar_t szDirectory[XMAX_PATH_BUFFER];
  if (!bGetTempDirectory(szDirectory, error)) return false;
  if (!bExist(szDirectory) && !bCreateDirectory(szDirectory, error)) return false;
  return bGetTempName(out, szDirectory, prefix, error);
}

// ---- Times -----------------------------------------------------------------------------

bool CDiskFile::bFileTimeToSystemTime(const FILETIME& fileTime, _stXFILETIME* out) {
  FILETIME ftLocal;
  SYSTEMTIME st;
  if (out == nullptr || !FileTimeToLocalFileTime(&fileTime, &ftLocal) ||
      !FileTimeToSystemTime(&ftLocal, &st)) {
    return false;
  }
  out->wYear = st.wYear;
  out->wMonth = st.wMonth;
  out->wDay = st.wDay;
  out->wHour = st.wHour;
  out->wMinute = st.wMinute;
  out->wSecond = st.wSecond;
  out->wMilliseconds = static_cast<std::uint16_t>((FileTimeToUInt64(ftLocal) / 10000) % 1000);
  return true;
}

bool CDiskFile::bSystemTimeToFileTime(const _stXFILETIME* in, FILETIME* fileTime) {
  if (in == nullptr || fileTime == nullptr) return false;
  SYSTEMTIME st;
  st.wYear = in->wYear;
  st.wMonth = in->wMonth;
  st.wDayOfWeek = 0;
  st.wDay = in->wDay;
  st.wHour = in->wHour;
  st.wMinute = in->wMinute;
  st.wSecond = in->wSecond;
  st.wMilliseconds = 0;
  FILETIME ftLocal;
  if (!SystemTimeToFileTime(&st, &ftLocal)) return false;
  ftLocal = UInt64ToFileTime(FileTimeToUInt64(ftLocal) +
                             static_cast<std::uint64_t>(in->wMilliseconds) * 10000);
  return LocalFileTimeToFileTime(&ftLocal, fileTime);
}

bool CDiskFile::bGetLastModificationTime(const wchar_t* path, _stXFILETIME* out, CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path);
  struct stat stInfo;
  if (Unix_stat(clPath.psz(), &stInfo) != 0) {
    ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgStatus, clPath.psz());
    return false;
  }
  FILETIME ft;
  TimeToFileTime(stInfo.st_mtim.tv_sec, &ft);
  ft = UInt64ToFileTime(FileTimeToUInt64(ft) +
                        static_cast<std::uint64_t>(stInfo.st_mtim.tv_nsec / 100));
  if (bFileTimeToSystemTime(ft, out)) return true;
  ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgModificationTime, clPath.psz());
  return false;
}

int CDiskFile::nCompareSystemTime(const _stXFILETIME* a, const _stXFILETIME* b) {
  const std::uint16_t _stXFILETIME::*apFields[] = {
      &_stXFILETIME::wYear,        &_stXFILETIME::wMonth,  &_stXFILETIME::wDay,
      &_stXFILETIME::wHour,        &_stXFILETIME::wMinute, &_stXFILETIME::wSecond,
      &_stXFILETIME::wMilliseconds};
  for (const auto pField : apFields) {
    const int nDifference = static_cast<int>(b->*pField) - static_cast<int>(a->*pField);
    if (nDifference != 0) return nDifference;
  }
  return 0;
}

bool CDiskFile::bSystemTimeToDosFileTime(const _stXFILETIME* time, unsigned* dos) {
  if (time == nullptr || dos == nullptr || time->wYear < 1980 || time->wYear > 1980 + 127) {
    return false;
  }
  const unsigned nDate =
      static_cast<unsigned>((time->wYear - 1980) << 9 | time->wMonth << 5 | time->wDay);
  const unsigned nTime =
      static_cast<unsigned>(time->wHour << 11 | time->wMinute << 5 | time->wSecond / 2);
  *dos = nDate << 16 | (nTime & 0xFFFF);
  return true;
}

bool CDiskFile::bDosFileTimeToSystemTime(unsigned dos, _stXFILETIME* time) {
  if (time == nullptr) return false;
  const unsigned nDate = dos >> 16;
  const unsigned nTime = dos & 0xFFFF;
  time->wYear = static_cast<std::uint16_t>((nDate >> 9) + 1980);
  time->wMonth = static_cast<std::uint16_t>((nDate >> 5) & 0xF);
  time->wDay = static_cast<std::uint16_t>(nDate & 0x1F);
  time->wHour = static_cast<std::uint16_t>(nTime >> 11);
  time->wMinute = static_cast<std::uint16_t>((nTime >> 5) & 0x3F);
  time->wSecond = static_cast<std::uint16_t>((nTime & 0x1F) * 2);
  time->wMilliseconds = 0;
  return true;
}

// ---- Whole files -----------------------------------------------------------------------

bool CDiskFile::bChargeFichier(CTNBIN& buffer, const wchar_t* path, CXError* error) {
  ResetError(error);
  CDiskFile clFile;
  bool bDone = false;
  if (clFile.bOpen(path, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    const std::int64_t oSize = clFile.oGetSize();
    if (oSize >= 0 && oSize < 0x7fffff00) {
      if (buffer.nSetSize(static_cast<long>(oSize)) == 0) {
        bDone =
            oSize == 0 || clFile.bRead(buffer.pGetData(), static_cast<unsigned>(oSize), nullptr);
      } else {
        clFile.pclGetXError()->SetErrorNoMemory();
      }
    } else if (oSize >= 0) {
      clFile.pclGetXError()->SetErrorNoMemory();
    }
  }
  if (!bDone && error != nullptr) error->Copy(clFile.pclGetXError());
  return bDone;
}

bool CDiskFile::bChargeTexteBOM(CXYString<wchar_t>& text, const wchar_t* path, unsigned codePage,
                                etxType* peType) {
  CDiskFile clFile;
  if (!clFile.bOpen(path, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    return false;
  }
  const std::int64_t oSize = clFile.oGetSize();
  if (oSize < 0 || oSize >= 0x7fffff00) return false;
  unsigned char* pBytes =
      static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<std::size_t>(oSize) + 1));
  if (pBytes == nullptr) return false;
  bool bResult = oSize == 0 || clFile.bRead(pBytes, static_cast<unsigned>(oSize), nullptr);
  if (bResult) {
    bResult =
        bChargeTexteBOMFromBuffer(text, pBytes, static_cast<std::size_t>(oSize), codePage, peType);
  }
  XMALLOC_Del_(pBytes);
  return bResult;
}

bool CDiskFile::bChargeTexteBOMFromBuffer(CXYString<wchar_t>& text, unsigned char* bytes,
                                          std::size_t size, unsigned codePage, etxType* peType) {
  if (bytes == nullptr) size = 0;
  if (size > 0x7fffff00) return false;
  const bool bLittle = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool bBig = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (bLittle || bBig) {
    if (peType != nullptr) *peType = TXT_UTF16;
    // A trailing odd byte is no character.
    const std::size_t nUnits = (size - 2) / 2;
    unsigned char* pUnits = bytes + 2;
    if (bBig) {
      for (std::size_t i = 0; i < nUnits; ++i) {
        const unsigned char c = pUnits[2 * i];
        pUnits[2 * i] = pUnits[2 * i + 1];
        pUnits[2 * i + 1] = c;
      }
    }
    if (nUnits == 0) {
      text.ReleaseDynStr();
      return true;
    }
    // The units are read through an aligned copy: the bytes may lie anywhere.
    unsigned short* pAligned =
        static_cast<unsigned short*>(XMALLOC_pNew_(nUnits * sizeof(unsigned short)));
    if (pAligned == nullptr) return false;
    std::memcpy(pAligned, pUnits, nUnits * sizeof(unsigned short));
    const int nResult = text.nAffecteUTF16(pAligned, static_cast<long>(nUnits));
    XMALLOC_Del_(pAligned);
    return nResult == 0;
  }
  const char* pText = reinterpret_cast<const char*>(bytes);
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    if (peType != nullptr) *peType = TXT_UTF8;
    if (size == 3) {
      text.ReleaseDynStr();
      return true;
    }
    return text.nAffecteUTF8(pText + 3, static_cast<long>(size - 3)) == 0;
  }
  if (size == 0) {
    if (peType != nullptr) *peType = TXT_UTF8;
    text.ReleaseDynStr();
    return true;
  }
  if (bValidUTF8(pText, size)) {
    if (peType != nullptr) *peType = TXT_UTF8;
    return text.nAffecteUTF8(pText, static_cast<long>(size)) == 0;
  }
  if (peType != nullptr) *peType = TXT_CODEPAGE;
  return text.__nConversion(pText, static_cast<long>(size), 0, codePage) == 0;
}

bool CDiskFile::bConcat(const wchar_t* destination, const wchar_t* source) {
  CDiskFile clFrom;
  CDiskFile clTo;
  if (!clFrom.bOpen(source, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr) ||
      !clTo.bOpen(destination, XACCESS_WRITE, XSHARE_NONE, XCREATE_OPENORCREATE, XFLAG_NONE,
                  nullptr)) {
    return false;
  }
  struct stat stFrom;
  struct stat stTo;
  if (::fstat(clFrom.m_hFile, &stFrom) != 0 || ::fstat(clTo.m_hFile, &stTo) != 0 ||
      (stFrom.st_dev == stTo.st_dev && stFrom.st_ino == stTo.st_ino)) {
    // Appending a file to itself would grow it until the disk is full.
    errno = EINVAL;
    return false;
  }
  const std::int64_t oSize = clTo.oGetSizeFast();
  if (oSize < 0) return false;
  unsigned char* pBlock = static_cast<unsigned char*>(XMALLOC_pNew_(knConcatBlock));
  if (pBlock == nullptr) return false;
  bool bResult = true;
  for (;;) {
    unsigned nRead = 0;
    if (!clFrom.bRead(pBlock, knConcatBlock, &nRead) ||
        (nRead > 0 && !clTo.bWrite(pBlock, nRead, nullptr))) {
      bResult = false;
      break;
    }
    if (nRead < knConcatBlock) break;
  }
  XMALLOC_Del_(pBlock);
  if (!bResult) {
    const int nSaved = errno;
    clTo.bSetSize(oSize, XGROW_ABSOLUTE);
    errno = nSaved;
  }
  return bResult;
}

bool CDiskFile::bExtract(const wchar_t* destination, const wchar_t* source, std::int64_t offset,
                         std::int64_t length) {
  CDiskFile clSource;
  return clSource.bOpen(source, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr) &&
         clSource.bExtract(destination, offset, length);
}

// ---- Disk space ---------------------------------------------------------------------------

bool CDiskFile::bGetDiskSpace(const wchar_t* path, std::uint64_t* total, std::uint64_t* free,
                              CXError* error) {
  ResetError(error);
  const CSlashPath clPath(path != nullptr ? path : L".");
  struct statfs64 stInfo;
  if (__Unix_statfs(clPath.psz(), &stInfo) != 0) {
    ReportError(error, nErrno(), clPath.psz(), nullptr, knMsgDiskSpace, clPath.psz());
    return false;
  }
  const std::uint64_t nBlockSize = static_cast<std::uint64_t>(stInfo.f_bsize);
  if (total != nullptr) *total = nBlockSize * static_cast<std::uint64_t>(stInfo.f_blocks);
  if (free != nullptr) *free = nBlockSize * static_cast<std::uint64_t>(stInfo.f_bavail);
  return true;
}

bool CDiskFile::bGetDiskFreeSpace(const wchar_t* path, std::uint64_t* free, CXError* error) {
  return bGetDiskSpace(path, nullptr, free, error);
}
