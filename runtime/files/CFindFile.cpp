// Directory search: CDiskFile::bFindFirst / bFindNext / bFindClose, the name
// matching of the search, and CFindFile.
#include "CFindFile.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "CXError.h"
#include "CodePage.h"
#include "PathStrings.h"
#include "WinTime.h"

namespace {

constexpr unsigned knMsgFindFirst = 28135;
constexpr unsigned knMsgFindNext = 28136;
constexpr unsigned knMsgFindClose = 28137;

bool bAttributesMatch(int attributes, int required, int excluded, bool bTree) {
  if (bTree) {
    const bool bDirectory = (attributes & XFILE_ATTRIBUTE_TYPE) == XFILE_ATTRIBUTE_DIRECTORY;
    if ((required & XFILE_ATTRIBUTE_DIRECTORY) != 0 && !bDirectory) return false;
    if ((excluded & XFILE_ATTRIBUTE_DIRECTORY) != 0 && bDirectory) return false;
    required &= ~XFILE_ATTRIBUTE_DIRECTORY;
    excluded &= ~XFILE_ATTRIBUTE_DIRECTORY;
  }
  return (attributes & required) == required && (attributes & excluded) == 0;
}

void CloseSearch(CDiskFile::_stXFINDDATA* data) {
  if (data->hDir != nullptr) {
    const int nErrno = errno;
    ::closedir(data->hDir);
    data->hDir = nullptr;
    errno = nErrno;
  }
}

}  // namespace

namespace kxfile {

int nFindFirst(const wchar_t* pattern, CDiskFile::_stXFINDDATA* data, int required, int excluded,
               CXError* error, bool bTree) {
  ResetError(error);
  if (data == nullptr) return -1;
  const CSlashPath clPattern(pattern);
  const wchar_t* psz = clPattern.psz();
  data->hDir = nullptr;
  data->nRequired = required;
  data->nExcluded = excluded;
  data->szName[0] = 0;
  const wchar_t* pName = CDiskFile::pszGetPtrToFileName(psz);
  bool bFits;
  if (pName == psz) {
    bFits = CDiskFile::Unix_getcwd(data->szDirectory, static_cast<int>(XMAX_PATH_BUFFER)) &&
            bAppendBounded(data->szDirectory, XMAX_PATH_BUFFER, L"/");
    if (!bFits && errno == ERANGE) errno = ENAMETOOLONG;
  } else {
    bFits = bCopyBoundedN(data->szDirectory, XMAX_PATH_BUFFER, psz,
                          static_cast<std::size_t>(pName - psz));
  }
  if (bFits) bFits = bCopyBounded(data->szPattern, XMAX_PATH_BUFFER, pName);
  if (!bFits) {
    ReportError(error, static_cast<unsigned>(errno), psz, nullptr, knMsgFindFirst, psz);
    return -1;
  }
  data->hDir = CDiskFile::__Unix_opendir(data->szDirectory);
  if (data->hDir == nullptr) {
    if (errno == ENOENT) return 0;
    ReportError(error, static_cast<unsigned>(errno), psz, nullptr, knMsgFindFirst, psz);
    return -1;
  }
  return nFindNext(data, error, bTree);
}

int nFindNext(CDiskFile::_stXFINDDATA* data, CXError* error, bool bTree) {
  ResetError(error);
  if (data == nullptr || data->hDir == nullptr) {
    errno = EBADF;
    ReportError(error, EBADF, data != nullptr ? data->szDirectory : L"", nullptr, knMsgFindNext,
                data != nullptr ? data->szDirectory : L"");
    return -1;
  }
  for (;;) {
    errno = 0;
    const struct dirent64* pEntry = ::readdir64(data->hDir);
    if (pEntry == nullptr) {
      const int nErrno = errno;
      CloseSearch(data);
      if (nErrno == 0) return 0;
      errno = nErrno;
      ReportError(error, static_cast<unsigned>(nErrno), data->szDirectory, nullptr, knMsgFindNext,
                  data->szDirectory);
      return -1;
    }
    if (std::strcmp(pEntry->d_name, ".") == 0 || std::strcmp(pEntry->d_name, "..") == 0) continue;
    wchar_t szName[XMAX_PATH_BUFFER];
    if (MultiByteToWideChar(CP_UTF8, 0, pEntry->d_name, -1, szName,
                            static_cast<int>(XMAX_PATH_BUFFER)) == 0) {
      continue;  // a name this search cannot carry
    }
    if (!CDiskFile::_bFiltreFileName(szName, data->szPattern)) continue;
    wchar_t szPath[XMAX_PATH_BUFFER];
    if (!bCopyBounded(szPath, XMAX_PATH_BUFFER, data->szDirectory) ||
        !bAppendBounded(szPath, XMAX_PATH_BUFFER, szName)) {
      // The entry cannot be named within a path field: the search stops
      // rather than skip it silently.
      CloseSearch(data);
      errno = ENAMETOOLONG;
      ReportError(error, ENAMETOOLONG, data->szDirectory, nullptr, knMsgFindNext,
                  data->szDirectory);
      return -1;
    }
    struct stat stInfo;
    const int nStat =
        bTree ? CDiskFile::Unix_lstat(szPath, &stInfo) : CDiskFile::Unix_stat(szPath, &stInfo);
    if (nStat != 0) continue;
    int nAttributes = static_cast<int>(stInfo.st_mode & 0xE1FF);
    if (szName[0] == L'.') nAttributes |= XFILE_ATTRIBUTE_HIDDEN;
    if (!bAttributesMatch(nAttributes, data->nRequired, data->nExcluded, bTree)) continue;
    std::wmemcpy(data->szName, szName, std::wcslen(szName) + 1);
    data->nAttributes = nAttributes;
    data->llSize = static_cast<std::int64_t>(stInfo.st_size);
    FILETIME ft;
    TimeToFileTime(stInfo.st_mtim.tv_sec, &ft);
    ft = UInt64ToFileTime(FileTimeToUInt64(ft) +
                          static_cast<std::uint64_t>(stInfo.st_mtim.tv_nsec / 100));
    if (!CDiskFile::bFileTimeToSystemTime(ft, &data->stLastWrite)) {
      std::memset(&data->stLastWrite, 0, sizeof data->stLastWrite);
    }
    return 1;
  }
}

}  // namespace kxfile

bool CDiskFile::bFindFirst(const wchar_t* pattern, _stXFINDDATA* data, int required, int excluded,
                           CXError* error) {
  return kxfile::nFindFirst(pattern, data, required, excluded, error, false) == 1;
}

bool CDiskFile::bFindNext(_stXFINDDATA* data, CXError* error) {
  return kxfile::nFindNext(data, error, false) == 1;
}

bool CDiskFile::bFindClose(_stXFINDDATA* data, CXError* error) {
  kxfile::ResetError(error);
  if (data == nullptr || data->hDir == nullptr) return true;
  const int nResult = ::closedir(data->hDir);
  data->hDir = nullptr;
  if (nResult == 0) return true;
  kxfile::ReportError(error, static_cast<unsigned>(errno), data->szDirectory, nullptr,
                      knMsgFindClose, data->szDirectory);
  return false;
}

bool CDiskFile::_bFiltreFileName(const wchar_t* name, const wchar_t* pattern) {
  if (name == nullptr || pattern == nullptr) return false;
  // The last star seen and where the name stood then: on a mismatch the
  // star takes one more character and the match resumes from there.
  const wchar_t* pStar = nullptr;
  const wchar_t* pStarName = nullptr;
  while (*name != 0) {
    if (*pattern == L'*') {
      pStar = pattern++;
      pStarName = name;
    } else if (*pattern == L'?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (pStar != nullptr) {
      pattern = pStar + 1;
      name = ++pStarName;
    } else {
      return false;
    }
  }
  while (*pattern == L'*') ++pattern;
  return *pattern == 0;
}

// ---- CFindFile ----------------------------------------------------------------

CFindFile::CFindFile() { std::memset(&m_stData, 0, sizeof m_stData); }

CFindFile::~CFindFile() { CDiskFile::bFindClose(&m_stData, nullptr); }

bool CFindFile::bFindFirst(const wchar_t* pattern, int required, int excluded, CXError* error) {
  return CDiskFile::bFindFirst(pattern, &m_stData, required, excluded, error);
}

bool CFindFile::bFindNext(CXError* error) { return CDiskFile::bFindNext(&m_stData, error); }

bool CFindFile::bFindClose(CXError* error) { return CDiskFile::bFindClose(&m_stData, error); }

void CFindFile::TransfertTo(CFindFile& other) {
  if (&other == this) return;
  other.bFindClose(nullptr);
  std::memcpy(&other.m_stData, &m_stData, sizeof m_stData);
  std::memset(&m_stData, 0, sizeof m_stData);
}
