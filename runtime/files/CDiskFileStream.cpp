// The disk file stream: CDiskFile as an IXStream on a file descriptor.
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "CDiskFile.h"
#include "CTString.h"
#include "CXError.h"
#include "MyModuleInfo.h"
#include "PathStrings.h"
#include "WinTime.h"
#include "XMalloc.h"

namespace {

// User messages of the stream.
constexpr unsigned knMsgFlush = 28001;
constexpr unsigned knMsgOpenOrCreate = 28002;
constexpr unsigned knMsgRead = 28003;
constexpr unsigned knMsgSetSize = 28004;
constexpr unsigned knMsgSeek = 28005;
constexpr unsigned knMsgWrite = 28008;
constexpr unsigned knMsgOpen = 28139;
constexpr unsigned knMsgCreate = 28140;
constexpr unsigned knMsgLock = 28145;
constexpr unsigned knMsgUnlock = 28146;

// The copy buffer of bExtract.
constexpr std::size_t knCopyBlock = 0x10000;

// The line buffer of pszReadLine: characters, and bytes read at a time.
constexpr std::size_t knLineChars = 65536;
constexpr unsigned knLineReadBytes = 65536;

constexpr int kLockConflict = static_cast<int>(XERRNO_LOCK_CONFLICT);

// The open message of a create mode; 0 for a mode that has none.
unsigned nOpenMessage(eCREATE eCreate) {
  switch (eCreate) {
    case XCREATE_OPEN:
      return knMsgOpen;
    case XCREATE_OPENORCREATE:
      return knMsgOpenOrCreate;
    case XCREATE_TRUNCATE:
      return knMsgCreate;
    default:
      return 0;
  }
}

// fcntl record lock over a range from the start of the file.
bool bFcntlLock(int hFile, short type, std::int64_t offset, std::int64_t length, bool bWait) {
  struct flock64 stLock;
  std::memset(&stLock, 0, sizeof stLock);
  stLock.l_type = type;
  stLock.l_whence = SEEK_SET;
  stLock.l_start = offset;
  stLock.l_len = length;
  return ::fcntl(hFile, bWait ? F_SETLKW64 : F_SETLK64, &stLock) == 0;
}

}  // namespace

// ---- Construction ------------------------------------------------------------

CDiskFile::CDiskFile()
    : m_hFile(-1),
      m_oPosition(0),
      m_pLineBuffer(nullptr),
      m_pLineCursor(nullptr),
      m_nOpenFlags(-1),
      m_pszErrorName(m_szName) {
  m_szName[0] = 0;
}

CDiskFile::~CDiskFile() {
  if (m_hFile != -1) Close();
  if (m_hFile != -1) ::close(m_hFile);  // a refused close: the descriptor goes anyway
  XMALLOC_Del_(m_pLineBuffer);
  if (m_pszErrorName != m_szName) XMALLOC_Del_(m_pszErrorName);
}

// ---- Errors -------------------------------------------------------------------

void CDiskFile::_BeginReport(unsigned systemError) {
  m_pclError->SetErrorLevel(ERRORLEVEL_ERROR);
  m_pclError->InitModInfo(&gstMyModuleInfo76, 1);
  m_pclError->SetSystemErrorParam(systemError);
  m_pclError->AddDebugMessagePrintf(L"##(IXStream)-Handle=<%p>##",
                                    reinterpret_cast<void*>(static_cast<std::intptr_t>(m_hFile)));
}

void CDiskFile::_ReportError(unsigned nId, unsigned systemError) {
  const int nErrno = errno;
  _BeginReport(systemError);
  if (nId != 0) m_pclError->AddUserMessageFirst(&gstMyModuleInfo76, nId, m_pszErrorName);
  m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
  errno = nErrno;
}

void CDiskFile::_ReportLockError(unsigned nId, std::int64_t offset, std::int64_t length) {
  const int nErrno = errno;
  _BeginReport(static_cast<unsigned>(nErrno));
  m_pclError->AddUserMessageFirst(&gstMyModuleInfo76, nId, m_pszErrorName, offset, length);
  m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
  errno = nErrno;
}

// ---- Open and close -----------------------------------------------------------

bool CDiskFile::bOpen(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                      eFLAG eFlag, int* pbCreated) {
  const bool bOwnName = name == m_szName;
  const kxfile::CSlashPath clName(bOwnName ? nullptr : name);
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (pbCreated != nullptr) *pbCreated = 0;
  if (m_hFile != -1) Close();

  if (!bOwnName) {
    const unsigned nLength = GetFullPathName(clName.psz(), XMAX_PATH, m_szName, nullptr);
    if (nLength == 0 || nLength >= XMAX_PATH) {
      // The name field holds no cut path: the error quotes the given name.
      const int nErrno = nLength == 0 ? errno : ENAMETOOLONG;
      m_szName[0] = 0;
      wchar_t* pszErrorName = m_pszErrorName;
      if (pszErrorName == m_szName) m_pszErrorName = const_cast<wchar_t*>(clName.psz());
      errno = nErrno;
      _ReportError(nOpenMessage(eCreate), static_cast<unsigned>(nErrno));
      m_pszErrorName = pszErrorName;
      errno = nErrno;
      return false;
    }
  }

  int nFlags = eAccess == XACCESS_DEFAULT ? O_NONBLOCK : (static_cast<int>(eAccess) | O_NONBLOCK);
  bool bDirectory = false;
  if ((eFlag & XFLAG_DIRECTORY) != 0 && bIsADirectory(m_szName)) {
    nFlags = O_DIRECTORY;
    bDirectory = true;
  }

  int hFile;
  if (eCreate == XCREATE_OPENORCREATE) {
    hFile = Unix_open(m_szName, nFlags, 0666);
    if (hFile >= 0) {
      // Callers learn from this that the file was there already.
      errno = EEXIST;
    } else {
      nFlags |= O_CREAT;
      hFile = Unix_open(m_szName, nFlags, 0666);
      if (hFile >= 0 && pbCreated != nullptr) *pbCreated = 1;
    }
  } else if (eCreate == XCREATE_TRUNCATE) {
    // Emptied only once the lock is held: an open refused by another
    // process's lock must leave that process's file as it is.
    hFile = Unix_open(m_szName, nFlags | O_CREAT, 0666);
    nFlags |= XCREATE_TRUNCATE;
  } else {
    nFlags |= static_cast<int>(eCreate);
    hFile = Unix_open(m_szName, nFlags, 0666);
  }

  // XSHARE_NONE asks for no lock; it is also F_UNLCK, which would drop the
  // locks this process holds on the file through other streams.
  if (hFile >= 0 && !bDirectory && eShare != XSHARE_NONE &&
      !bFcntlLock(hFile, static_cast<short>(eShare), 0, 0, false)) {
    ::close(hFile);
    hFile = -1;
    errno = kLockConflict;
  }
  if (hFile >= 0 && eCreate == XCREATE_TRUNCATE && ::ftruncate64(hFile, 0) != 0) {
    const int nErrno = errno;
    ::close(hFile);
    hFile = -1;
    errno = nErrno;
  }

  if (hFile < 0) {
    const int nErrno = errno;
    _ReportError(nOpenMessage(eCreate), static_cast<unsigned>(nErrno));
    errno = nErrno;
    return false;
  }
  m_hFile = hFile;
  m_oPosition = 0;
  m_nOpenFlags = nFlags;
  if (eCreate == XCREATE_TRUNCATE && pbCreated != nullptr) *pbCreated = 1;
  return true;
}

void CDiskFile::Close() {
  if (m_hFile == -1) return;
  // Linux frees the descriptor even when close fails (EINTR, EIO): keeping
  // it would make a later read, write or close hit whatever file the number
  // is given to next. The failure is reported (written data may be lost)
  // and the stream is closed either way.
  if (::close(m_hFile) != 0) _ReportError(knMsgFlush, static_cast<unsigned>(errno));
  m_hFile = -1;
  m_oPosition = 0;
  m_nOpenFlags = -1;
  if (m_pszErrorName != m_szName) {
    XMALLOC_Del_(m_pszErrorName);
    m_pszErrorName = m_szName;
  }
}

bool CDiskFile::bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag) {
  Close();
  return bOpen(m_szName, eAccess, eShare, eCreate, eFlag, nullptr);
}

// ---- Read, write, seek, size ----------------------------------------------------

bool CDiskFile::bWrite(std::int64_t offset, const void* buffer, unsigned n, unsigned* pnWritten) {
  if (m_oPosition != offset && !bSeek(offset, XSEEK_BEGIN)) return false;
  return bWrite(buffer, n, pnWritten);
}

bool CDiskFile::bRead(std::int64_t offset, void* buffer, unsigned n, unsigned* pnRead) {
  if (m_oPosition != offset && !bSeek(offset, XSEEK_BEGIN)) return false;
  return bRead(buffer, n, pnRead);
}

bool CDiskFile::bRead(void* buffer, unsigned n, unsigned* pnRead) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (pnRead != nullptr) *pnRead = 0;
  const ssize_t nRead = ::read(m_hFile, buffer, n);
  unsigned nSystemError = 0;
  if (nRead < 0) {
    nSystemError = static_cast<unsigned>(errno);
  } else {
    m_oPosition += nRead;
    if (pnRead != nullptr) {
      *pnRead = static_cast<unsigned>(nRead);
      return true;
    }
    if (static_cast<unsigned>(nRead) == n) return true;
  }
  const int nErrno = errno;
  _BeginReport(nSystemError);
  m_pclError->AddDebugMessagePrintf(L"##(IXStream)-bExact=<%d>##", pnRead == nullptr ? 1 : 0);
  m_pclError->AddDebugMessagePrintf(L"##(IXStream)-A lire=<%u>, lu=<%u>##", n,
                                    nRead < 0 ? 0u : static_cast<unsigned>(nRead));
  m_pclError->AddUserMessageFirst(&gstMyModuleInfo76, knMsgRead, m_pszErrorName);
  m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
  errno = nErrno;
  return false;
}

bool CDiskFile::bWrite(const void* buffer, unsigned n, unsigned* pnWritten) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (pnWritten != nullptr) *pnWritten = 0;
  if (n == 0) return true;
  const ssize_t nWritten = ::write(m_hFile, buffer, n);
  if (nWritten > 0) {
    m_oPosition += nWritten;
    if (pnWritten != nullptr) *pnWritten = static_cast<unsigned>(nWritten);
  }
  if (nWritten >= 0 && static_cast<unsigned>(nWritten) == n) return true;
  const int nErrno = errno;
  _BeginReport(static_cast<unsigned>(nErrno));
  m_pclError->AddDebugMessagePrintf(L"##(IXStream)-Access=<%x>##", m_nOpenFlags);
  m_pclError->AddUserMessageFirst(&gstMyModuleInfo76, knMsgWrite, m_pszErrorName);
  m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
  errno = nErrno;
  return false;
}

bool CDiskFile::bSeek(std::int64_t offset, eSEEK eOrigin) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  const off64_t oResult = ::lseek64(m_hFile, offset, static_cast<int>(eOrigin));
  if (oResult < 0) {
    _ReportError(knMsgSeek, static_cast<unsigned>(errno));
    return false;
  }
  m_oPosition = oResult;
  return true;
}

std::int64_t CDiskFile::oGetSize() {
  const std::int64_t oSaved = m_oPosition;
  if (!bSeek(0, XSEEK_END)) return -1;
  const std::int64_t oSize = m_oPosition;
  if (!bSeek(oSaved, XSEEK_BEGIN)) return -1;
  return oSize;
}

std::int64_t CDiskFile::oGetSizeFast() { return bSeek(0, XSEEK_END) ? m_oPosition : -1; }

bool CDiskFile::bFlush() {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (::fsync(m_hFile) == 0) return true;
  _ReportError(knMsgFlush, static_cast<unsigned>(errno));
  return false;
}

bool CDiskFile::bSetSize(std::int64_t size, eGROW eGrow) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (eGrow != XGROW_ABSOLUTE && eGrow != XGROW_FROM_END) return false;
  if (!bSeek(size, eGrow == XGROW_ABSOLUTE ? XSEEK_BEGIN : XSEEK_END)) return false;
  if (::ftruncate64(m_hFile, m_oPosition) == 0) return true;
  _ReportError(knMsgSetSize, static_cast<unsigned>(errno));
  return false;
}

bool CDiskFile::bIncreaseSize(std::int64_t n) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (n == 0) return true;
  if (n < 0) {
    // A negative growth would overwrite a byte of the data.
    errno = EINVAL;
    _ReportError(knMsgSetSize, EINVAL);
    return false;
  }
  static const unsigned char kZero = 0;
  return bSeek(n - 1, XSEEK_END) && bWrite(&kZero, 1, nullptr);
}

bool CDiskFile::bExtendFile(std::int64_t size) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (size <= 0) {
    errno = EINVAL;
    _ReportError(knMsgSetSize, EINVAL);
    return false;
  }
  const std::int64_t oOldSize = oGetSize();
  if (oOldSize < 0 || !bSetSize(size, XGROW_ABSOLUTE)) return false;
  if (size <= oOldSize) return true;
  // Only a byte of the new space is written, so no data byte is touched.
  static const unsigned char kZero = 0;
  return bWrite(size - 1, &kZero, 1, nullptr);
}

// ---- Copy ---------------------------------------------------------------------------

bool CDiskFile::bExtract(IXStream* destination, std::int64_t n) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (n < 0) {
    const std::int64_t oSize = oGetSize();
    if (oSize < 0) return false;
    n = oSize - m_oPosition;
  }
  if (n <= 0) return true;
  unsigned char* pBuffer = static_cast<unsigned char*>(XMALLOC_pNew_(knCopyBlock));
  if (pBuffer == nullptr) {
    m_pclError->SetErrorNoMemory();
    return false;
  }
  bool bResult = true;
  while (n > 0) {
    const unsigned nWanted =
        static_cast<unsigned>(n < static_cast<std::int64_t>(knCopyBlock) ? n : knCopyBlock);
    unsigned nRead = 0;
    if (!bRead(pBuffer, nWanted, &nRead)) {
      bResult = false;
      break;
    }
    if (nRead > 0 && !destination->bWrite(pBuffer, nRead, nullptr)) {
      bResult = false;
      break;
    }
    n -= nRead;
    if (nRead < nWanted) break;  // end of file
  }
  XMALLOC_Del_(pBuffer);
  return bResult;
}

bool CDiskFile::bExtract(const wchar_t* name, std::int64_t offset, std::int64_t length) {
  if (!bSeek(offset, XSEEK_BEGIN)) return false;
  CDiskFile clDestination;
  if (!clDestination.bOpen(name, XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE,
                           nullptr)) {
    m_pclError->Copy(clDestination.pclGetXError());
    return false;
  }
  if (bExtract(&clDestination, length)) return true;
  if (m_pclError->eGetErrorLevel() == ERRORLEVEL_NONE) {
    m_pclError->Copy(clDestination.pclGetXError());
  }
  clDestination.Close();
  bForceDelete(clDestination.pszGetName());
  return false;
}

bool CDiskFile::bExtractFromFile(const wchar_t* name, std::int64_t offset, std::int64_t length) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  CDiskFile clSource;
  if (!clSource.bOpen(name, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr) ||
      !clSource.bSeek(offset, XSEEK_BEGIN)) {
    m_pclError->Copy(clSource.pclGetXError());
    return false;
  }
  if (clSource.bExtract(this, length)) return true;
  if (clSource.pclGetXError()->eGetErrorLevel() != ERRORLEVEL_NONE) {
    m_pclError->Copy(clSource.pclGetXError());
  }
  return false;
}

bool CDiskFile::bOpenW(const wchar_t*, eACCESS, eSHARE, eCREATE, eFLAG, int*) { return false; }
bool CDiskFile::bExtractW(const wchar_t*, std::int64_t, std::int64_t) { return false; }
const wchar_t* CDiskFile::pwszGetName() { return pszGetName(); }
bool CDiskFile::vbIsUNICODEFileName() { return true; }
bool CDiskFile::bExtractFromFileW(const wchar_t*, std::int64_t, std::int64_t) { return false; }
bool CDiskFile::vbSetNameForErrorW(const wchar_t*) { return false; }
void CDiskFile::vReservedDiskFile1() {}
void CDiskFile::vReservedDiskFile2() {}
void CDiskFile::vReservedDiskFile3() {}
void CDiskFile::vReservedDiskFile4() {}
void CDiskFile::vReservedDiskFile5() {}
void CDiskFile::vReservedDiskFile6() {}
void CDiskFile::vReservedDiskFile7() {}
void CDiskFile::vReservedDiskFile8() {}

// ---- Locks ---------------------------------------------------------------------------

bool CDiskFile::_bLockRange(short type, std::int64_t offset, std::int64_t length, bool bWait) {
  if (bFcntlLock(m_hFile, type, offset, length, bWait)) return true;
  if (type == F_UNLCK) {
    errno = kLockConflict;
  } else if (errno == EAGAIN || errno == EACCES || errno == EDEADLK) {
    errno = kLockConflict;
  }
  return false;
}

bool CDiskFile::bLock(std::int64_t offset, std::int64_t length) {
  const short type = (m_nOpenFlags & O_ACCMODE) != O_RDONLY ? F_WRLCK : F_RDLCK;
  return _bLockRange(type, offset, length, false);
}

bool CDiskFile::bLockShare(std::int64_t offset, std::int64_t length) {
  return _bLockRange(F_RDLCK, offset, length, false);
}

bool CDiskFile::bUnlock(std::int64_t offset, std::int64_t length) {
  return _bLockRange(F_UNLCK, offset, length, false);
}

bool CDiskFile::bLockFile(std::int64_t offset, std::int64_t length) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (bLock(offset, length)) return true;
  _ReportLockError(knMsgLock, offset, length);
  return false;
}

bool CDiskFile::bUnlockFile(std::int64_t offset, std::int64_t length) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (bUnlock(offset, length)) return true;
  _ReportLockError(knMsgUnlock, offset, length);
  return false;
}

bool CDiskFile::bLockFileEx(bool bLock, bool bExclusive) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  if (!bLock) {
    _bLockRange(F_UNLCK, 0, 2, false);
    return true;
  }
  if (_bLockRange(bExclusive ? F_WRLCK : F_RDLCK, 0, 2, true)) return true;
  _ReportLockError(knMsgLock, 0, 1);
  return false;
}

bool CDiskFile::bOpenExclusifReessais(IXStream* stream, const wchar_t* name, bool bByCount,
                                      unsigned limit, eACCESS eAccess, eCREATE eCreate, eFLAG eFlag,
                                      int* pbCreated) {
  if (stream == nullptr) return false;
  if (eAccess == XACCESS_READ) eAccess = XACCESS_READWRITE;
  const std::uint32_t dwStart = GetTickCount();
  std::uint32_t dwLast = dwStart;
  for (unsigned nTry = 1;; ++nTry) {
    if (stream->bOpen(name, eAccess, XSHARE_EXCLUSIVE, eCreate, eFlag, pbCreated)) return true;
    if (errno != kLockConflict) return false;
    if (bByCount) {
      if (nTry >= limit) return false;
      ::sched_yield();
    } else {
      const std::uint32_t dwNow = GetTickCount();
      if (dwNow < dwLast || dwNow - dwStart >= limit) return false;
      dwLast = dwNow;
      ::usleep(100000);
    }
    errno = kLockConflict;
  }
}

// ---- Names and state ---------------------------------------------------------------

const wchar_t* CDiskFile::pszGetName() { return m_szName; }

std::int64_t CDiskFile::oGetOffset() { return m_oPosition; }

bool CDiskFile::bIsOpen() { return m_hFile != -1; }

eACCESS CDiskFile::veGetAccess() { return static_cast<eACCESS>(m_nOpenFlags); }

bool CDiskFile::bGetVFSFileName(wchar_t*) { return false; }

bool CDiskFile::vbSetNameForError(const wchar_t* name) {
  if (m_pszErrorName != m_szName) XMALLOC_Del_(m_pszErrorName);
  m_pszErrorName = m_szName;
  if (name == nullptr) return true;
  const std::size_t n = std::wcslen(name);
  wchar_t* pCopy = static_cast<wchar_t*>(XMALLOC_pNew_((n + 1) * sizeof(wchar_t)));
  if (pCopy == nullptr) return false;
  std::wmemcpy(pCopy, name, n + 1);
  m_pszErrorName = pCopy;
  return true;
}

// ---- Times --------------------------------------------------------------------------

bool CDiskFile::bGetTime(_stXFILETIME* creation, _stXFILETIME* access, _stXFILETIME* write) {
  FILETIME ftCreation;
  FILETIME ftAccess;
  FILETIME ftWrite;
  if (!GetFileTime(m_hFile, &ftCreation, &ftAccess, &ftWrite)) return false;
  if (creation != nullptr && !bFileTimeToSystemTime(ftCreation, creation)) return false;
  if (access != nullptr && !bFileTimeToSystemTime(ftAccess, access)) return false;
  if (write != nullptr && !bFileTimeToSystemTime(ftWrite, write)) return false;
  return true;
}

bool CDiskFile::bSetTime(const _stXFILETIME*, const _stXFILETIME* access,
                         const _stXFILETIME* write) {
  FILETIME ftAccess;
  FILETIME ftWrite;
  if (access != nullptr && !bSystemTimeToFileTime(access, &ftAccess)) return false;
  if (write != nullptr && !bSystemTimeToFileTime(write, &ftWrite)) return false;
  return SetFileTime(m_szName, nullptr, access != nullptr ? &ftAccess : nullptr,
                     write != nullptr ? &ftWrite : nullptr);
}

// ---- Lines of wide text --------------------------------------------------------------

long CDiskFile::_nFillLineBuffer() {
  unsigned nRead = 0;
  if (!bRead(m_pLineBuffer, knLineReadBytes, &nRead)) return -1;
  const std::size_t nChars = nRead / sizeof(wchar_t);
  m_pLineBuffer[nChars] = 0;
  m_pLineCursor = m_pLineBuffer;
  return static_cast<long>(nChars);
}

const wchar_t* CDiskFile::pszReadLine(wchar_t* buffer, int size, CTString* overflow,
                                      const wchar_t* separator) {
  if (buffer == nullptr || size <= 0) return nullptr;
  buffer[0] = 0;
  if (m_pLineBuffer == nullptr) {
    m_pLineBuffer = static_cast<wchar_t*>(XMALLOC_pNew_((knLineChars + 1) * sizeof(wchar_t)));
    if (m_pLineBuffer == nullptr) return nullptr;
    if (_nFillLineBuffer() <= 0) {
      m_pLineBuffer[0] = 0;
      m_pLineCursor = m_pLineBuffer;
      return nullptr;
    }
  }
  if (*m_pLineCursor == 0 && oGetOffset() >= oGetSize()) return nullptr;

  const bool bSeparator = separator != nullptr && separator[0] != 0;
  const std::size_t nSeparator = bSeparator ? std::wcslen(separator) : 0;
  long nLength = 0;
  bool bOverflow = false;
  if (overflow != nullptr) overflow->Vide();
  for (;;) {
    const wchar_t* pEnd;
    std::size_t nEnd = 0;
    if (bSeparator) {
      pEnd = std::wcsstr(m_pLineCursor, separator);
      nEnd = nSeparator;
    } else {
      // The line ends at the first LF, CR LF or CR, whichever comes first.
      pEnd = std::wcspbrk(m_pLineCursor, L"\r\n");
      if (pEnd != nullptr) nEnd = pEnd[0] == L'\r' && pEnd[1] == L'\n' ? 2 : 1;
    }
    const long nPiece = pEnd != nullptr ? static_cast<long>(pEnd - m_pLineCursor)
                                        : static_cast<long>(std::wcslen(m_pLineCursor));
    if (!bOverflow && nLength + nPiece < size) {
      std::wmemcpy(buffer + nLength, m_pLineCursor, static_cast<std::size_t>(nPiece));
      nLength += nPiece;
      buffer[nLength] = 0;
    } else if (overflow != nullptr) {
      if (!bOverflow) {
        overflow->Set(buffer, static_cast<unsigned long>(nLength));
        bOverflow = true;
      }
      overflow->Add(m_pLineCursor, static_cast<int>(nPiece));
    } else if (nLength < size - 1) {
      // No overflow string: the line is cut to the buffer.
      const long nTake = size - 1 - nLength;
      std::wmemcpy(buffer + nLength, m_pLineCursor, static_cast<std::size_t>(nTake));
      nLength += nTake;
      buffer[nLength] = 0;
    }
    const wchar_t* pszResult = bOverflow ? overflow->pszGet() : buffer;
    if (pEnd != nullptr) {
      m_pLineCursor = const_cast<wchar_t*>(pEnd) + nEnd;
      // A CR that ends the buffer may be the first half of a CR LF pair the
      // refill split: its LF belongs to this line end, not to the next line.
      if (!bSeparator && nEnd == 1 && pEnd[0] == L'\r' && *m_pLineCursor == 0 &&
          _nFillLineBuffer() > 0 && *m_pLineCursor == L'\n') {
        ++m_pLineCursor;
      }
      return pszResult;
    }
    if (_nFillLineBuffer() <= 0) {
      m_pLineBuffer[0] = 0;
      m_pLineCursor = m_pLineBuffer;
      return pszResult;
    }
  }
}
