// Path strings of the disk file toolbox, full and relative paths, and the
// internal helpers of PathStrings.h.
#include "PathStrings.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <cwchar>

#include "CDiskFile.h"
#include "CTString.h"
#include "CXError.h"
#include "CodePage.h"
#include "MyModuleInfo.h"
#include "WinEnvironment.h"
#include "XMalloc.h"

namespace kxfile {

CSlashPath::CSlashPath(const wchar_t* path) : m_psz(path != nullptr ? path : L"") {
  if (std::wcschr(m_psz, L'\\') == nullptr) return;
  const std::size_t n = std::wcslen(m_psz);
  m_pCopy = static_cast<wchar_t*>(XMALLOC_pNew_((n + 1) * sizeof(wchar_t)));
  if (m_pCopy == nullptr) {
    m_psz = L"";
    return;
  }
  std::wmemcpy(m_pCopy, m_psz, n + 1);
  CDiskFile::pszBackSlash2Slash(m_pCopy);
  m_psz = m_pCopy;
}

CSlashPath::~CSlashPath() {
  if (m_pCopy != nullptr) {
    const int nErrno = errno;
    XMALLOC_Del_(m_pCopy);
    errno = nErrno;
  }
}

bool bCopyBoundedN(wchar_t* out, std::size_t capacity, const wchar_t* text, std::size_t n) {
  if (out == nullptr || n >= capacity) {
    errno = ENAMETOOLONG;
    return false;
  }
  if (n > 0) std::wmemmove(out, text, n);
  out[n] = 0;
  return true;
}

bool bCopyBounded(wchar_t* out, std::size_t capacity, const wchar_t* text) {
  if (text == nullptr) text = L"";
  return bCopyBoundedN(out, capacity, text, std::wcslen(text));
}

bool bAppendBounded(wchar_t* out, std::size_t capacity, const wchar_t* text) {
  if (text == nullptr) text = L"";
  const std::size_t nHave = std::wcslen(out);
  const std::size_t nAdd = std::wcslen(text);
  if (nHave + nAdd >= capacity) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::wmemcpy(out + nHave, text, nAdd);
  out[nHave + nAdd] = 0;
  return true;
}

namespace {

// UTF-8 text of the system into a CTString.
bool bSetFromUTF8(CTString& out, const char* psz) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, psz, -1, nullptr, 0);
  if (n <= 0) {
    errno = EINVAL;
    return false;
  }
  wchar_t* p = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(n) * sizeof(wchar_t)));
  if (p == nullptr) {
    errno = ENOMEM;
    return false;
  }
  MultiByteToWideChar(CP_UTF8, 0, psz, -1, p, n);
  out.Set(p);
  XMALLOC_Del_(p);
  return true;
}

// Drops "." components and each ".." with the component before it (never
// above the first component: "/.." is "/"), makes repeated slashes one.
// Works in place on a path that begins with a slash.
void NormalizeAbsolute(wchar_t* path) {
  wchar_t* pOut = path;  // end of the result, always after a slash
  const wchar_t* p = path;
  *pOut++ = L'/';
  while (*p == L'/') ++p;
  while (*p != 0) {
    const wchar_t* pEnd = p;
    while (*pEnd != 0 && *pEnd != L'/') ++pEnd;
    const std::size_t n = static_cast<std::size_t>(pEnd - p);
    if (n == 1 && p[0] == L'.') {
      // dropped
    } else if (n == 2 && p[0] == L'.' && p[1] == L'.') {
      if (pOut - path > 1) {
        --pOut;  // the slash after the last component
        while (pOut > path + 1 && pOut[-1] != L'/') --pOut;
      }
    } else {
      std::wmemmove(pOut, p, n);
      pOut += n;
      if (*pEnd == L'/') *pOut++ = L'/';
    }
    p = pEnd;
    while (*p == L'/') ++p;
  }
  // A dropped last component leaves its slash; a path that named a
  // directory with an end slash keeps it.
  const bool bEndSlash = p > path && p[-1] == L'/';
  if (pOut - path > 1 && pOut[-1] == L'/' && !bEndSlash) --pOut;
  *pOut = 0;
}

}  // namespace

bool bFullPath(const wchar_t* path, CTString& out) {
  const CSlashPath clPath(path);
  const wchar_t* psz = clPath.psz();
  CTString clWork;
  if (psz[0] == L'~') {
    const struct passwd* pPassword = ::getpwuid(::getuid());
    if (pPassword == nullptr || pPassword->pw_dir == nullptr) {
      if (errno == 0) errno = ENOENT;
      return false;
    }
    if (!bSetFromUTF8(clWork, pPassword->pw_dir)) return false;
    clWork.Add(psz + 1);
  } else if (psz[0] != L'/') {
    char acDirectory[PATH_MAX + 1];
    if (::getcwd(acDirectory, sizeof acDirectory) == nullptr) return false;
    if (!bSetFromUTF8(clWork, acDirectory)) return false;
    clWork.Add(L"/");
    clWork.Add(psz);
  } else {
    clWork.Set(psz);
  }
  if (clWork.nTaille() == 0 || clWork.pszGet()[0] != L'/') {
    // A home directory that is not absolute: read it from the root.
    clWork.Insert(L'/');
  }
  const long n = clWork.nTaille();
  wchar_t* p =
      static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(n + 1) * sizeof(wchar_t)));
  if (p == nullptr) {
    errno = ENOMEM;
    return false;
  }
  std::wmemcpy(p, clWork.pszGet(), static_cast<std::size_t>(n + 1));
  NormalizeAbsolute(p);
  out.Set(p);
  XMALLOC_Del_(p);
  return true;
}

void ResetError(CXError* pclError) {
  if (pclError != nullptr) pclError->RAZ();
}

void ReportError(CXError* pclError, unsigned nSystemError, const wchar_t* pszSource,
                 const wchar_t* pszDestination, unsigned nId, ...) {
  if (pclError == nullptr) return;
  const int nErrno = errno;
  pclError->SetErrorLevel(ERRORLEVEL_ERROR);
  pclError->InitModInfo(&gstMyModuleInfo76, 1);
  pclError->SetSystemErrorParam(nSystemError);
  va_list args;
  va_start(args, nId);
  pclError->AddUserMessageList(&gstMyModuleInfo76, nId, args);
  va_end(args);
  pclError->AddInfo(EIT_SRCFILE, pszSource != nullptr ? pszSource : L"");
  if (pszDestination != nullptr) pclError->AddInfo(EIT_DSTFILE, pszDestination);
  errno = nErrno;
}

}  // namespace kxfile

using kxfile::bAppendBounded;
using kxfile::bCopyBounded;
using kxfile::CSlashPath;

namespace {

bool bIsSlash(wchar_t c) { return c == L'/' || c == L'\\'; }

// Length of the text without its trailing slashes (never below 0).
std::size_t nLengthWithoutEndSlashes(const wchar_t* p) {
  std::size_t n = std::wcslen(p);
  while (n > 0 && bIsSlash(p[n - 1])) --n;
  return n;
}

// The parent directory of a directory that ends with a slash ("a/b/" ->
// "a/", "a/" -> "", "/" -> "/"), in place.
void ParentDirectory(wchar_t* pszDir) {
  std::size_t n = std::wcslen(pszDir);
  if (n == 0) return;
  if (n == 1 && pszDir[0] == L'/') return;
  --n;  // its end slash
  while (n > 0 && pszDir[n - 1] != L'/') --n;
  pszDir[n] = 0;
}

}  // namespace

// ---- Slashes --------------------------------------------------------------

wchar_t* CDiskFile::pszBackSlash2Slash(wchar_t* text) {
  if (text == nullptr) return nullptr;
  for (wchar_t* p = text; *p != 0; ++p) {
    if (*p == L'\\') *p = L'/';
  }
  return text;
}

wchar_t* CDiskFile::pszSlash2BackSlash(wchar_t* text) {
  if (text == nullptr) return nullptr;
  for (wchar_t* p = text; *p != 0; ++p) {
    if (*p == L'/') *p = L'\\';
  }
  return text;
}

void CDiskFile::BackSlash2Slash(CTString& text) { text.Remplace(L'\\', L'/'); }

bool CDiskFile::DirectoryWithEndSlash(wchar_t* path, std::size_t capacity) {
  if (path == nullptr) return false;
  const std::size_t n = std::wcslen(path);
  if (n > 0 && !bIsSlash(path[n - 1]) && n + 2 > capacity) {
    errno = ENAMETOOLONG;
    return false;
  }
  pszBackSlash2Slash(path);
  if (n > 0 && path[n - 1] != L'/') {
    path[n] = L'/';
    path[n + 1] = 0;
  }
  return true;
}

void CDiskFile::DirectoryWithEndSlash(CTString& path) {
  BackSlash2Slash(path);
  if (path.nTaille() > 0 && !path.bTerminePar(L'/')) path.Add(L'/');
}

void CDiskFile::DirectoryWithoutEndSlash(wchar_t* path) {
  if (path == nullptr) return;
  pszBackSlash2Slash(path);
  path[nLengthWithoutEndSlashes(path)] = 0;
}

void CDiskFile::DirectoryWithoutEndSlash(CTString& path) {
  BackSlash2Slash(path);
  path.Tronque(static_cast<long>(nLengthWithoutEndSlashes(path.pszGet())));
}

// ---- File name and extension ----------------------------------------------

const wchar_t* CDiskFile::pszGetPtrToFileName(const wchar_t* path) {
  if (path == nullptr) return nullptr;
  const wchar_t* pName = path;
  for (const wchar_t* p = path; *p != 0; ++p) {
    if (bIsSlash(*p)) pName = p + 1;
  }
  return pName;
}

wchar_t* CDiskFile::pszGetPtrToFileName(wchar_t* path) {
  return const_cast<wchar_t*>(pszGetPtrToFileName(static_cast<const wchar_t*>(path)));
}

const wchar_t* CDiskFile::pszGetPtrToExtension(const wchar_t* path) {
  if (path == nullptr) return nullptr;
  const wchar_t* pEnd = path + std::wcslen(path);
  for (const wchar_t* p = pEnd; p > path;) {
    --p;
    if (bIsSlash(*p)) break;
    if (*p == L'.') return p;
  }
  return pEnd;
}

wchar_t* CDiskFile::pszGetPtrToExtension(wchar_t* path) {
  return const_cast<wchar_t*>(pszGetPtrToExtension(static_cast<const wchar_t*>(path)));
}

void CDiskFile::DelExtension(wchar_t* path) {
  if (path == nullptr) return;
  pszBackSlash2Slash(path);
  *pszGetPtrToExtension(path) = 0;
}

bool CDiskFile::ChangeExtension(wchar_t* path, std::size_t capacity, const wchar_t* extension) {
  if (path == nullptr) return false;
  const CSlashPath clExtension(extension);
  const wchar_t* pszExtension = clExtension.psz();
  const std::size_t nKeep = static_cast<std::size_t>(pszGetPtrToExtension(path) - path);
  const std::size_t nExtension = std::wcslen(pszExtension);
  const bool bDot = nExtension > 0 && pszExtension[0] != L'.';
  if (nKeep + (bDot ? 1 : 0) + nExtension >= capacity) {
    errno = ENAMETOOLONG;
    return false;
  }
  pszBackSlash2Slash(path);
  wchar_t* p = path + nKeep;
  if (bDot) *p++ = L'.';
  std::wmemcpy(p, pszExtension, nExtension);
  p[nExtension] = 0;
  return true;
}

bool CDiskFile::MakePath(wchar_t* out, const wchar_t* directory, const wchar_t* name,
                         const wchar_t* extension, std::size_t capacity) {
  if (out == nullptr || capacity == 0) {
    errno = ENAMETOOLONG;
    return false;
  }
  const CSlashPath clDirectory(directory);
  const CSlashPath clName(name);
  const CSlashPath clExtension(extension);
  if (!makepath(out, nullptr, clDirectory.psz(), clName.psz(), clExtension.psz(), capacity)) {
    errno = ENAMETOOLONG;
    return false;
  }
  return true;
}

bool CDiskFile::__SplitPath(const wchar_t* path, wchar_t* directory, wchar_t* name,
                            wchar_t* extension, std::size_t capacity) {
  const CSlashPath clPath(path);
  const wchar_t* psz = clPath.psz();
  const wchar_t* pName = pszGetPtrToFileName(psz);
  const wchar_t* pExtension = pszGetPtrToExtension(psz);
  const std::size_t nDirectory = static_cast<std::size_t>(pName - psz);
  const std::size_t nName = static_cast<std::size_t>(pExtension - pName);
  const std::size_t nExtension = std::wcslen(pExtension);
  if ((directory != nullptr && nDirectory >= capacity) || (name != nullptr && nName >= capacity) ||
      (extension != nullptr && nExtension >= capacity)) {
    errno = ENAMETOOLONG;
    if (directory != nullptr && capacity > 0) directory[0] = 0;
    if (name != nullptr && capacity > 0) name[0] = 0;
    if (extension != nullptr && capacity > 0) extension[0] = 0;
    return false;
  }
  if (directory != nullptr) kxfile::bCopyBoundedN(directory, capacity, psz, nDirectory);
  if (name != nullptr) kxfile::bCopyBoundedN(name, capacity, pName, nName);
  if (extension != nullptr) kxfile::bCopyBoundedN(extension, capacity, pExtension, nExtension);
  return true;
}

bool CDiskFile::__SplitPath(const wchar_t* path, wchar_t* directory, wchar_t* file,
                            std::size_t capacity) {
  const CSlashPath clPath(path);
  const wchar_t* psz = clPath.psz();
  const wchar_t* pName = pszGetPtrToFileName(psz);
  const std::size_t nDirectory = static_cast<std::size_t>(pName - psz);
  const std::size_t nFile = std::wcslen(pName);
  if ((directory != nullptr && nDirectory >= capacity) || (file != nullptr && nFile >= capacity)) {
    errno = ENAMETOOLONG;
    if (directory != nullptr && capacity > 0) directory[0] = 0;
    if (file != nullptr && capacity > 0) file[0] = 0;
    return false;
  }
  if (directory != nullptr) kxfile::bCopyBoundedN(directory, capacity, psz, nDirectory);
  if (file != nullptr) kxfile::bCopyBoundedN(file, capacity, pName, nFile);
  return true;
}

// ---- Kinds of names --------------------------------------------------------

bool CDiskFile::bIsRelativePath(const wchar_t* path) { return path != nullptr && path[0] == L'.'; }

bool CDiskFile::bIsRelativeFileName(const wchar_t* path) {
  return path == nullptr || !bIsSlash(path[0]);
}

bool CDiskFile::bIsRelativeFileName_WIN32(const wchar_t* path) {
  if (path == nullptr || path[0] == 0) return true;
  if (path[0] == L'\\') return false;
  const bool bLetter = (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
  if (bLetter && path[1] == L':') return false;
  return path[std::wcslen(path) - 1] != L':';
}

bool CDiskFile::bUNCName(const wchar_t* name) {
  return name != nullptr && name[0] == L'\\' && name[1] == L'\\' &&
         std::wcschr(name + 2, L'\\') != nullptr;
}

bool CDiskFile::bUNCNameA(const char* name) {
  return name != nullptr && name[0] == '\\' && name[1] == '\\' &&
         std::strchr(name + 2, '\\') != nullptr;
}

bool CDiskFile::bValidName(const wchar_t* name) {
  return name != nullptr && std::wcspbrk(name, L"\\/:*?\"<>|") == nullptr;
}

bool CDiskFile::sbIsBadNetworkFile(const wchar_t*) { return false; }

bool CDiskFile::bSystemSupportHugeFile() { return true; }

// ---- Standard forms ---------------------------------------------------------

bool CDiskFile::bGetUNCName(wchar_t* out, unsigned size, const wchar_t* path, CXError* error) {
  return bGetFullPath(out, size, path, nullptr, error);
}

bool CDiskFile::bStandardizeExistingFileName(wchar_t* out, unsigned size, const wchar_t* path) {
  const unsigned n = GetFullPathName(path, size, out, nullptr);
  if (n == 0) return false;
  if (n >= size) {
    errno = ENAMETOOLONG;
    return false;
  }
  return true;
}

bool CDiskFile::bGetLongPathName(wchar_t* out, unsigned size, const wchar_t* path) {
  return bCopyBounded(out, size, path);
}

bool CDiskFile::StandardizeFileName(wchar_t* out, const wchar_t* in, std::size_t capacity) {
  if (out == nullptr) return false;
  if (in != nullptr && in != out && !bCopyBounded(out, capacity, in)) return false;
  pszBackSlash2Slash(out);
  std::size_t n = std::wcslen(out);
  while (n > 0 && out[n - 1] == L' ') --n;
  out[n] = 0;
  return true;
}

bool CDiskFile::bSameFileName(const wchar_t* a, const wchar_t* b) {
  CTString clA;
  CTString clB;
  if (!kxfile::bFullPath(a, clA) || !kxfile::bFullPath(b, clB)) return false;
  return std::wcscmp(clA.pszGet(), clB.pszGet()) == 0;
}

bool CDiskFile::bSameDirectoryName(const wchar_t* a, const wchar_t* b) {
  CTString clA;
  CTString clB;
  if (!kxfile::bFullPath(a, clA) || !kxfile::bFullPath(b, clB)) return false;
  DirectoryWithoutEndSlash(clA);
  DirectoryWithoutEndSlash(clB);
  return std::wcscmp(clA.pszGet(), clB.pszGet()) == 0;
}

bool CDiskFile::bSameDirectoryNameEx(const wchar_t* a, const wchar_t* b) {
  return bSameDirectoryName(a, b);
}

void CDiskFile::SimplifyPath(wchar_t* path) {
  if (path == nullptr) return;
  // "/./" -> "/"
  for (wchar_t* p = std::wcsstr(path, L"/./"); p != nullptr; p = std::wcsstr(p, L"/./")) {
    std::wmemmove(p, p + 2, std::wcslen(p + 2) + 1);
  }
  // "/x/../" -> "/"; kept when x is ".." or no slash comes before it.
  wchar_t* pFrom = path;
  for (wchar_t* p = std::wcsstr(pFrom, L"/../"); p != nullptr; p = std::wcsstr(pFrom, L"/../")) {
    wchar_t* pSlash = p;
    while (pSlash > path && pSlash[-1] != L'/') --pSlash;
    if (pSlash == path) {
      // No slash before this step: nothing to remove it with.
      pFrom = p + 1;
      continue;
    }
    --pSlash;  // the slash before the component
    const std::size_t nComponent = static_cast<std::size_t>(p - pSlash - 1);
    if (nComponent == 2 && pSlash[1] == L'.' && pSlash[2] == L'.') {
      pFrom = p + 1;
      continue;
    }
    std::wmemmove(pSlash, p + 3, std::wcslen(p + 3) + 1);
    pFrom = path;
  }
}

bool CDiskFile::PrefixeCurrentDirectory(wchar_t* name, std::size_t capacity) {
  if (name == nullptr) return false;
  const std::size_t n = std::wcslen(name);
  if (n + 3 > capacity) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::wmemmove(name + 2, name, n + 1);
  name[0] = L'.';
  name[1] = L'/';
  return true;
}

// ---- Full and relative paths ------------------------------------------------

unsigned CDiskFile::GetFullPathName(const wchar_t* path, unsigned size, wchar_t* out,
                                    wchar_t** ppFilePart) {
  CTString clFull;
  if (!kxfile::bFullPath(path, clFull)) return 0;
  const unsigned n = static_cast<unsigned>(clFull.nTaille());
  if (out == nullptr || n >= size) return n + 1;
  std::wmemcpy(out, clFull.pszGet(), n + 1);
  if (ppFilePart != nullptr) *ppFilePart = pszGetPtrToFileName(out);
  return n;
}

bool CDiskFile::bGetFullPath(wchar_t* out, unsigned size, const wchar_t* path, unsigned* pLength,
                             CXError* error) {
  kxfile::ResetError(error);
  const unsigned n = GetFullPathName(path, size, out, nullptr);
  if (pLength != nullptr) *pLength = n;
  if (n == 0 || n >= size) {
    if (n != 0) errno = ENAMETOOLONG;
    const CSlashPath clPath(path);
    kxfile::ReportError(error, static_cast<unsigned>(errno), clPath.psz(), nullptr, 28131,
                        clPath.psz());
    return false;
  }
  return true;
}

bool CDiskFile::bPathRelativePathTo(wchar_t* out, const wchar_t* path, const wchar_t* base,
                                    bool bStopAtRoot) {
  wchar_t szPath[XMAX_PATH_BUFFER];
  wchar_t szBase[XMAX_PATH_BUFFER];
  if (out == nullptr || !StandardizeFileName(szPath, path != nullptr ? path : L"") ||
      !StandardizeFileName(szBase, base != nullptr ? base : L"")) {
    return false;
  }
  if (szBase[0] == 0) return bCopyBounded(out, XMAX_PATH_BUFFER, szPath);
  if (!DirectoryWithEndSlash(szBase)) return false;
  int nLevels = 0;
  while (std::wcsncmp(szPath, szBase, std::wcslen(szBase)) != 0) {
    const std::size_t nBefore = std::wcslen(szBase);
    ParentDirectory(szBase);
    ++nLevels;
    if (bStopAtRoot && szBase[0] == 0) return false;
    if (std::wcslen(szBase) == nBefore) return false;  // the root has no parent
  }
  wchar_t szResult[XMAX_PATH_BUFFER] = L"";
  if (nLevels == 0) {
    if (!bAppendBounded(szResult, XMAX_PATH_BUFFER, L"./")) return false;
  }
  for (int i = 0; i < nLevels; ++i) {
    if (!bAppendBounded(szResult, XMAX_PATH_BUFFER, L"../")) return false;
  }
  if (!bAppendBounded(szResult, XMAX_PATH_BUFFER, szPath + std::wcslen(szBase))) return false;
  return bCopyBounded(out, XMAX_PATH_BUFFER, szResult);
}

bool CDiskFile::bRelativeToFullPath(wchar_t* out, const wchar_t* base, const wchar_t* relative,
                                    int mode) {
  if (out == nullptr) return false;
  const CSlashPath clBase(base);
  const CSlashPath clRelative(relative);
  const wchar_t* pszRelative = clRelative.psz();
  if (std::wcscmp(pszRelative, L".") == 0) return bCopyBounded(out, XMAX_PATH_BUFFER, clBase.psz());
  if ((mode == 0 && pszRelative[0] != L'.') || (mode == 1 && pszRelative[0] == L'/')) {
    return bCopyBounded(out, XMAX_PATH_BUFFER, pszRelative);
  }
  wchar_t szResult[XMAX_PATH_BUFFER];
  if (!bCopyBounded(szResult, XMAX_PATH_BUFFER, clBase.psz())) return false;
  if (pszRelative[0] == L'.' && pszRelative[1] == L'/') {
    DirectoryWithoutEndSlash(szResult);
    if (!bAppendBounded(szResult, XMAX_PATH_BUFFER, pszRelative + 1)) return false;
    return bCopyBounded(out, XMAX_PATH_BUFFER, szResult);
  }
  if (!DirectoryWithEndSlash(szResult)) return false;
  while (std::wcsncmp(pszRelative, L"../", 3) == 0) {
    ParentDirectory(szResult);
    pszRelative += 3;
  }
  if (!bAppendBounded(szResult, XMAX_PATH_BUFFER, pszRelative)) return false;
  return bCopyBounded(out, XMAX_PATH_BUFFER, szResult);
}

void CDiskFile::GetHomeDir(CTString* out) {
  if (out == nullptr) return;
  wchar_t szHome[PATH_MAX + 1];
  if (Unix_gethomedir(szHome, PATH_MAX + 1)) {
    out->Set(szHome);
  } else {
    out->Vide();
  }
}

bool CDiskFile::bGetCurrentDirectory(wchar_t* out, CXError* error) {
  kxfile::ResetError(error);
  if (out != nullptr && Unix_getcwd(out, static_cast<int>(XMAX_PATH_BUFFER))) return true;
  kxfile::ReportError(error, static_cast<unsigned>(errno), L".", nullptr, 28307);
  return false;
}
