#include "SafeInstall.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>

#include "CDescriptorStream.h"
#include "UnicodeConversion.h"

namespace {

bool bIsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

bool bIsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// Permission bits of a mode that may carry file-type bits.
mode_t PermissionBits(mode_t mode) { return mode & 07777; }

// Times, owner, then mode, through the descriptor (owner first: a change of
// owner clears the set-id bits that the mode then sets).
bool bStampDescriptor(int fd, const stENTRYSTAMP& stamp) {
  const struct timespec times[2] = {stamp.tsAccess, stamp.tsModification};
  if (::futimens(fd, times) != 0) return false;
  if (::fchown(fd, stamp.nOwner, stamp.nGroup) != 0) return false;
  if (::fchmod(fd, PermissionBits(stamp.nMode)) != 0) return false;
  return true;
}

bool bFail(stSAFEFAILURE* pstFailure, int nErrno, const std::wstring& path) {
  if (pstFailure != nullptr) {
    pstFailure->nArchiveResult = 0;
    pstFailure->nErrno = nErrno;
    pstFailure->sPath = path;
  }
  errno = nErrno;
  return false;
}

}  // namespace

eENTRYNAME eCheckEntryName(const wchar_t* target, const wchar_t* name, long nLength) {
  if (name == nullptr) return ENTRYNAME_EMPTY;
  const std::size_t nChars = std::wcslen(name);
  if (nLength >= 0 && nChars < static_cast<std::size_t>(nLength)) return ENTRYNAME_NUL;
  if (nChars == 0) return ENTRYNAME_EMPTY;
  if (bIsSeparator(name[0])) return ENTRYNAME_ABSOLUTE;
  if (bIsAsciiLetter(name[0]) && name[1] == L':') return ENTRYNAME_DRIVE;

  // Every component must be a real name: not empty (a doubled or final
  // separator), not "." and not "..".
  std::size_t nStart = 0;
  for (std::size_t i = 0; i <= nChars; ++i) {
    if (i < nChars && !bIsSeparator(name[i])) continue;
    const std::size_t nComponent = i - nStart;
    if (nComponent == 0) return ENTRYNAME_COMPONENT;
    if (name[nStart] == L'.' && (nComponent == 1 || (nComponent == 2 && name[nStart + 1] == L'.')))
      return ENTRYNAME_COMPONENT;
    nStart = i + 1;
  }

  const std::size_t nTarget = target != nullptr ? std::wcslen(target) : 0;
  if (nTarget + nChars > knSafeMaxPath) return ENTRYNAME_TOO_LONG;
  if (static_cast<std::size_t>(UTF8ByteLen(name)) > knSafeMaxNameBytes) return ENTRYNAME_TOO_LONG;
  return ENTRYNAME_OK;
}

std::string sToUTF8(const wchar_t* text) {
  if (text == nullptr) return std::string();
  std::string out(static_cast<std::size_t>(UTF8ByteLen(text)) + 1, '\0');
  out.resize(static_cast<std::size_t>(WideToUTF8(&out[0], text)));
  return out;
}

std::wstring sEntryPath(const wchar_t* name) {
  std::wstring out = name != nullptr ? name : L"";
  for (wchar_t& c : out)
    if (c == L'\\') c = L'/';
  return out;
}

CSafeTree::~CSafeTree() { Close(); }

void CSafeTree::Close() {
  Rollback();
  if (m_hParent >= 0) ::close(m_hParent);
  m_hParent = -1;
  m_sParent.clear();
  if (m_hTarget >= 0) ::close(m_hTarget);
  m_hTarget = -1;
}

bool CSafeTree::bOpen(const wchar_t* target, stSAFEFAILURE* pstFailure) {
  Close();
  const std::string sTarget = sToUTF8(target);
  m_hTarget = ::open(sTarget.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (m_hTarget < 0) return bFail(pstFailure, errno, std::wstring());
  return true;
}

void CSafeTree::_MakeTempName(char* pszOut, std::size_t nSize) {
  if (m_qwTempState == 0) {
    std::uint64_t qwSeed = 0;
    if (::getrandom(&qwSeed, sizeof qwSeed, 0) != static_cast<ssize_t>(sizeof qwSeed)) {
      struct timespec ts;
      ::clock_gettime(CLOCK_MONOTONIC, &ts);
      qwSeed = (static_cast<std::uint64_t>(ts.tv_nsec) << 20) ^ static_cast<std::uint64_t>(ts.tv_sec) ^
               (static_cast<std::uint64_t>(::getpid()) << 40) ^ reinterpret_cast<std::uintptr_t>(this);
    }
    m_qwTempState = qwSeed | 1;
  }
  // splitmix64: every name of the run differs, and none can be predicted
  // without the seed. O_EXCL makes a collision a retry, never a takeover.
  m_qwTempState += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = m_qwTempState;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  std::snprintf(pszOut, nSize, ".mdbdeploy-%016llx.tmp", static_cast<unsigned long long>(z));
}

int CSafeTree::_nOpenParent(const std::wstring& path, std::string* psLeaf,
                            stSAFEFAILURE* pstFailure, bool bCreate) {
  if (m_hTarget < 0) {
    bFail(pstFailure, EBADF, std::wstring());
    return -1;
  }
  const std::size_t nLast = path.rfind(L'/');
  if (nLast == std::wstring::npos) {
    *psLeaf = sToUTF8(path.c_str());
    return m_hTarget;
  }
  *psLeaf = sToUTF8(path.substr(nLast + 1).c_str());
  const std::wstring sParent = path.substr(0, nLast);
  if (m_hParent >= 0 && sParent == m_sParent) return m_hParent;

  // Walk from the target, one component at a time, never following a link.
  int hCurrent = m_hTarget;
  std::size_t nStart = 0;
  while (nStart <= sParent.size()) {
    std::size_t nEnd = sParent.find(L'/', nStart);
    if (nEnd == std::wstring::npos) nEnd = sParent.size();
    const std::string sComponent = sToUTF8(sParent.substr(nStart, nEnd - nStart).c_str());
    const int nFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int hNext = ::openat(hCurrent, sComponent.c_str(), nFlags);
    if (hNext < 0 && errno == ENOENT && bCreate) {
      // Missing parents get the system's default owner and mode.
      if (::mkdirat(hCurrent, sComponent.c_str(), 0777) == 0) {
        m_vMade.push_back(sParent.substr(0, nEnd));
        hNext = ::openat(hCurrent, sComponent.c_str(), nFlags);
      } else if (errno == EEXIST) {
        hNext = ::openat(hCurrent, sComponent.c_str(), nFlags);
      }
    }
    if (hNext < 0) {
      const int nErrno = errno;
      if (hCurrent != m_hTarget) ::close(hCurrent);
      bFail(pstFailure, nErrno, sParent.substr(0, nEnd));
      return -1;
    }
    if (hCurrent != m_hTarget) ::close(hCurrent);
    hCurrent = hNext;
    nStart = nEnd + 1;
  }
  if (m_hParent >= 0) ::close(m_hParent);
  m_hParent = hCurrent;
  m_sParent = sParent;
  return m_hParent;
}

bool CSafeTree::bInstallFile(const std::wstring& path, std::int64_t llDeclaredSize,
                             const stENTRYSTAMP& stamp, const FnWriteEntry& fnWrite,
                             stSAFEFAILURE* pstFailure) {
  std::string sLeaf;
  const int hDir = _nOpenParent(path, &sLeaf, pstFailure);
  if (hDir < 0) return false;

  char szTemp[64];
  int hFile = -1;
  for (int nTry = 0; nTry < knTempAttempts && hFile < 0; ++nTry) {
    _MakeTempName(szTemp, sizeof szTemp);
    hFile = ::openat(hDir, szTemp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (hFile < 0 && errno != EEXIST) break;
  }
  if (hFile < 0) return bFail(pstFailure, errno, path);

  int nArchiveResult = 0;
  int nErrno = 0;
  {
    CDescriptorStream stream(hFile);
    std::int64_t llWritten = 0;
    errno = 0;
    nArchiveResult = fnWrite ? fnWrite(&stream, &llWritten) : 1;
    // errno tells only about a failed write.
    if (nArchiveResult != 0) nErrno = errno;
    // The data must be whole: a result of 0 with another count is an
    // incoherent entry all the same.
    if (nArchiveResult == 0 && llWritten != llDeclaredSize) nArchiveResult = 3;
  }
  if (nArchiveResult == 0) {
    if (!bStampDescriptor(hFile, stamp)) nErrno = errno;
  }
  if (::close(hFile) != 0 && nArchiveResult == 0 && nErrno == 0) nErrno = errno;
  if (nArchiveResult == 0 && nErrno == 0) {
    m_vStaged.push_back(stSTAGED{path, szTemp});
    return true;
  }
  ::unlinkat(hDir, szTemp, 0);
  if (pstFailure != nullptr) {
    pstFailure->nArchiveResult = nArchiveResult;
    pstFailure->nErrno = nErrno;
    pstFailure->sPath = path;
  }
  errno = nErrno;
  return false;
}

bool CSafeTree::bInstallDirectory(const std::wstring& path, const stENTRYSTAMP& stamp,
                                  stSAFEFAILURE* pstFailure) {
  std::string sLeaf;
  const int hDir = _nOpenParent(path, &sLeaf, pstFailure);
  if (hDir < 0) return false;
  if (::mkdirat(hDir, sLeaf.c_str(), 0777) == 0) m_vMade.push_back(path);
  else if (errno != EEXIST) return bFail(pstFailure, errno, path);
  // An existing directory is accepted; a link or a file there is not.
  const int hSub = ::openat(hDir, sLeaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (hSub < 0) return bFail(pstFailure, errno, path);
  ::close(hSub);
  m_vDirectories.emplace_back(path, stamp);
  return true;
}

bool CSafeTree::bCommit(stSAFEFAILURE* pstFailure) {
  for (std::size_t i = 0; i < m_vStaged.size(); ++i) {
    std::string sLeaf;
    const int hDir = _nOpenParent(m_vStaged[i].sPath, &sLeaf, pstFailure, false);
    if (hDir < 0 || ::renameat(hDir, m_vStaged[i].sTemp.c_str(), hDir, sLeaf.c_str()) != 0) {
      const int nErrno = errno;
      const std::wstring sPath = m_vStaged[i].sPath;
      _DiscardStaged(i);
      m_vStaged.clear();
      m_vDirectories.clear();
      m_vMade.clear();
      return bFail(pstFailure, nErrno, sPath);
    }
  }
  m_vStaged.clear();
  m_vMade.clear();

  // Directories last: putting the files in place changed their times.
  std::vector<std::pair<std::wstring, stENTRYSTAMP>> vDirectories;
  vDirectories.swap(m_vDirectories);
  for (const auto& directory : vDirectories) {
    std::string sLeaf;
    const int hDir = _nOpenParent(directory.first, &sLeaf, pstFailure, false);
    if (hDir < 0) return false;
    const int hSub =
        ::openat(hDir, sLeaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (hSub < 0) return bFail(pstFailure, errno, directory.first);
    const bool bOk = bStampDescriptor(hSub, directory.second);
    const int nErrno = errno;
    ::close(hSub);
    if (!bOk) return bFail(pstFailure, nErrno, directory.first);
  }
  return true;
}

void CSafeTree::_DiscardStaged(std::size_t nFrom) {
  for (std::size_t i = nFrom; i < m_vStaged.size(); ++i) {
    std::string sLeaf;
    const int hDir = _nOpenParent(m_vStaged[i].sPath, &sLeaf, nullptr, false);
    if (hDir >= 0) ::unlinkat(hDir, m_vStaged[i].sTemp.c_str(), 0);
  }
}

void CSafeTree::Rollback() {
  if (m_hTarget < 0) return;
  const int nSavedErrno = errno;
  _DiscardStaged(0);
  m_vStaged.clear();
  m_vDirectories.clear();
  // Deepest first; a directory that is not empty any more (something else
  // wrote into it meanwhile) is left.
  for (auto it = m_vMade.rbegin(); it != m_vMade.rend(); ++it) {
    std::string sLeaf;
    const int hDir = _nOpenParent(*it, &sLeaf, nullptr, false);
    if (hDir >= 0) ::unlinkat(hDir, sLeaf.c_str(), AT_REMOVEDIR);
  }
  if (!m_vMade.empty() && m_hParent >= 0) {
    // The cached parent may be a directory just removed.
    ::close(m_hParent);
    m_hParent = -1;
    m_sParent.clear();
  }
  m_vMade.clear();
  errno = nSavedErrno;
}
