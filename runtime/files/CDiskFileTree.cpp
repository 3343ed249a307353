// Walks over directory trees: callbacks on files and directories, and the
// removal of whole trees. Entries are classified with lstat, so a symbolic
// link is handled as the link itself: never followed, never descended into.
#include <cerrno>
#include <cstring>
#include <cwchar>

#include "CDiskFile.h"
#include "CXError.h"
#include "PathStrings.h"

namespace {

constexpr unsigned knMsgDeleteDirectory = 28127;

// The search of a tree walk; closed with the object.
class CTreeSearch {
 public:
  CTreeSearch() { std::memset(&m_stData, 0, sizeof m_stData); }
  ~CTreeSearch() { CDiskFile::bFindClose(&m_stData, nullptr); }
  CTreeSearch(const CTreeSearch&) = delete;
  CTreeSearch& operator=(const CTreeSearch&) = delete;

  int nFirst(const wchar_t* directory, const wchar_t* pattern, int required, int excluded,
             CXError* error) {
    wchar_t szPattern[XMAX_PATH_BUFFER];
    if (!kxfile::bCopyBounded(szPattern, XMAX_PATH_BUFFER, directory) ||
        !kxfile::bAppendBounded(szPattern, XMAX_PATH_BUFFER, pattern)) {
      return -1;
    }
    return kxfile::nFindFirst(szPattern, &m_stData, required, excluded, error, true);
  }
  int nNext(CXError* error) { return kxfile::nFindNext(&m_stData, error, true); }

  const CDiskFile::_stXFINDDATA& stData() const { return m_stData; }

 private:
  CDiskFile::_stXFINDDATA m_stData;
};

// `directory` with slashes and an end slash into `out` (261 characters).
bool bDirectoryWithSlash(wchar_t* out, const wchar_t* directory) {
  const kxfile::CSlashPath clDirectory(directory);
  return kxfile::bCopyBounded(out, XMAX_PATH_BUFFER, clDirectory.psz()) &&
         CDiskFile::DirectoryWithEndSlash(out);
}

// directory (ending with a slash) + name [+ "/"] into `out`.
bool bJoin(wchar_t* out, const wchar_t* directory, const wchar_t* name, bool bEndSlash) {
  return kxfile::bCopyBounded(out, XMAX_PATH_BUFFER, directory) &&
         kxfile::bAppendBounded(out, XMAX_PATH_BUFFER, name) &&
         (!bEndSlash || kxfile::bAppendBounded(out, XMAX_PATH_BUFFER, L"/"));
}

bool bIsDirectory(int attributes) {
  return (attributes & XFILE_ATTRIBUTE_TYPE) == XFILE_ATTRIBUTE_DIRECTORY;
}

// The walk of bDoOnFileTree (bDirectories false) and bDoOnDirectoryTree
// (true) on a directory that ends with a slash.
bool bWalk(const wchar_t* directory, const wchar_t* pattern, CDiskFile::PFN_FILETREE callback,
           long parameter, bool bWithDirectories, bool bRecursive, bool bDirectories) {
  {
    int required = 0;
    int excluded = 0;
    if (bDirectories) {
      required = XFILE_ATTRIBUTE_DIRECTORY;
      if (!bWithDirectories) excluded = XFILE_ATTRIBUTE_DIRECTORY;
    } else if (!bWithDirectories) {
      excluded = XFILE_ATTRIBUTE_DIRECTORY;
    }
    CTreeSearch clSearch;
    int nFound = clSearch.nFirst(directory, pattern, required, excluded, nullptr);
    for (; nFound == 1; nFound = clSearch.nNext(nullptr)) {
      wchar_t szPath[XMAX_PATH_BUFFER];
      if (!bJoin(szPath, directory, clSearch.stData().szName, false)) return false;
      if (callback != nullptr && !callback(szPath, parameter)) return false;
    }
    if (nFound < 0) return false;
  }
  if (!bRecursive) return true;
  CTreeSearch clSearch;
  int nFound = clSearch.nFirst(directory, L"*", XFILE_ATTRIBUTE_DIRECTORY, 0, nullptr);
  for (; nFound == 1; nFound = clSearch.nNext(nullptr)) {
    wchar_t szSub[XMAX_PATH_BUFFER];
    if (!bJoin(szSub, directory, clSearch.stData().szName, true)) return false;
    if (!bWalk(szSub, pattern, callback, parameter, bWithDirectories, bRecursive, bDirectories)) {
      return false;
    }
  }
  return nFound == 0;
}

bool bForceDeleteCallback(const wchar_t* path, long parameter) {
  return CDiskFile::bForceDelete(path, reinterpret_cast<CXError*>(parameter));
}

}  // namespace

bool CDiskFile::bDoOnFileTree(const wchar_t* directory, const wchar_t* pattern,
                              PFN_FILETREE callback, long parameter, bool bWithDirectories,
                              bool bRecursive) {
  wchar_t szDirectory[XMAX_PATH_BUFFER];
  if (!bDirectoryWithSlash(szDirectory, directory)) return false;
  const kxfile::CSlashPath clPattern(pattern);
  return bWalk(szDirectory, clPattern.psz(), callback, parameter, bWithDirectories, bRecursive,
               false);
}

bool CDiskFile::bDoOnDirectoryTree(const wchar_t* directory, const wchar_t* pattern,
                                   PFN_FILETREE callback, long parameter, bool bWithDirectories,
                                   bool bRecursive) {
  wchar_t szDirectory[XMAX_PATH_BUFFER];
  if (!bDirectoryWithSlash(szDirectory, directory)) return false;
  const kxfile::CSlashPath clPattern(pattern);
  return bWalk(szDirectory, clPattern.psz(), callback, parameter, bWithDirectories, bRecursive,
               true);
}

bool CDiskFile::_bDeltree(const wchar_t* directory, CXError* error) {
  kxfile::ResetError(error);
  wchar_t szDirectory[XMAX_PATH_BUFFER];
  if (!bDirectoryWithSlash(szDirectory, directory)) {
    const kxfile::CSlashPath clDirectory(directory);
    kxfile::ReportError(error, static_cast<unsigned>(errno), clDirectory.psz(), nullptr,
                        knMsgDeleteDirectory, clDirectory.psz());
    return false;
  }
  CTreeSearch clSearch;
  int nFound = clSearch.nFirst(szDirectory, L"*", 0, 0, error);
  for (; nFound == 1; nFound = clSearch.nNext(error)) {
    const CDiskFile::_stXFINDDATA& st = clSearch.stData();
    wchar_t szPath[XMAX_PATH_BUFFER];
    if (!bJoin(szPath, szDirectory, st.szName, false)) {
      // A cut path could name another entry: nothing is removed.
      kxfile::ReportError(error, ENAMETOOLONG, szDirectory, nullptr, knMsgDeleteDirectory,
                          szDirectory);
      return false;
    }
    if (bIsDirectory(st.nAttributes)) {
      if (!_bDeltree(szPath, error) || !bDeleteDirectory(szPath, error)) return false;
    } else if (!bDelete(szPath, error)) {
      return false;
    }
  }
  if (nFound < 0 && error != nullptr && error->eGetErrorLevel() == ERRORLEVEL_NONE) {
    kxfile::ReportError(error, static_cast<unsigned>(errno), szDirectory, nullptr,
                        knMsgDeleteDirectory, szDirectory);
  }
  return nFound == 0;
}

bool CDiskFile::bPurgeTree(const wchar_t* directory, CXError* error) {
  return _bDeltree(directory, error);
}

bool CDiskFile::bForcePurgeTree(const wchar_t* directory, CXError* error) {
  return _bDeltree(directory, error);
}

bool CDiskFile::bDeleteTree(const wchar_t* directory, CXError* error) {
  return _bDeltree(directory, error) && bDeleteDirectory(directory, error);
}

bool CDiskFile::bForceDeleteTree(const wchar_t* directory, CXError* error) {
  return bDeleteTree(directory, error);
}

bool CDiskFile::bDeleteTreeEvenReadOnly(const wchar_t* directory, CXError* error) {
  bForceDeleteOnFileTree(directory, L"*", true, error);
  return bDeleteTree(directory, error);
}

bool CDiskFile::bForceDeleteOnFileTree(const wchar_t* directory, const wchar_t* pattern,
                                       bool bRecursive, CXError* error) {
  kxfile::ResetError(error);
  return bDoOnFileTree(directory, pattern, bForceDeleteCallback, reinterpret_cast<long>(error),
                       false, bRecursive);
}
