#include "IXStream.h"

#include <new>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "CXError.h"
#include "FormatWin.h"
#include "MyModuleInfo.h"
#include "XMalloc.h"

namespace {

// Characters a formatted write tries first, on the stack.
constexpr std::size_t knFormatBuffer = 1025;
// No formatted text grows beyond this many bytes.
constexpr std::size_t knFormatMaxBytes = 0x7fffff00;

constexpr unsigned knMsgWrite = 28008;

// A formatted write that produced no text to write: the stream's error says
// why (the formatter's errno) under the write message.
void ReportFormatFailure(IXStream* pStream, int nErrno) {
  CXError* pclError = pStream->pclGetXError();
  if (pclError == nullptr) return;
  const wchar_t* pszName = pStream->pszGetName();
  if (pszName == nullptr) pszName = L"";
  pclError->SetErrorLevel(ERRORLEVEL_ERROR);
  pclError->InitModInfo(&gstMyModuleInfo76, 1);
  pclError->SetSystemErrorParam(static_cast<std::uint32_t>(nErrno));
  pclError->AddUserMessageFirst(&gstMyModuleInfo76, knMsgWrite, pszName);
  pclError->AddInfo(EIT_SRCFILE, pszName);
  errno = nErrno;
}

// Line ends.
template <typename TChar>
constexpr TChar kCR = static_cast<TChar>('\r');
template <typename TChar>
constexpr TChar kLF = static_cast<TChar>('\n');

// Seeks back over `nBytes` just read; nothing to do for 0.
bool bSeekBack(IXStream* pStream, std::int64_t nBytes) {
  return nBytes == 0 || pStream->bSeek(-nBytes, XSEEK_CURRENT);
}

// Line reading on top of the stream's own bRead and bSeek (see
// IXStream::bReadLine).
template <typename TChar>
bool ReadLine(IXStream* pStream, TChar* buffer, int size, int* pbTruncated, unsigned flags) {
  if (buffer != nullptr && size > 0) buffer[0] = 0;
  if (pbTruncated != nullptr) *pbTruncated = 0;
  // A buffer without room for one character would hand back empty pieces
  // forever without advancing.
  if (buffer == nullptr || size < 2) return false;

  constexpr unsigned knUnit = sizeof(TChar);
  constexpr unsigned knChunkBytes = XREADLINE_CHUNK * knUnit;
  TChar aChunk[XREADLINE_CHUNK + 1];
  int nLength = 0;
  bool bReadSomething = false;

  for (;;) {
    unsigned nBytes = 0;
    if (!pStream->bRead(aChunk, knChunkBytes, &nBytes)) return false;
    const int nRead = static_cast<int>(nBytes / knUnit);
    if (nRead == 0) {
      // End of file: a last line without a line end that filled whole
      // chunks is still a line.
      return bReadSomething;
    }
    bReadSomething = true;
    const bool bShort = nBytes < knChunkBytes;
    // Bytes of this chunk still taken from the stream (a seek back returns
    // some), and the characters among them.
    std::int64_t nConsumedBytes = nBytes;
    int nAvailable = nRead;
    int nEnd = -1;  // where the line ends in the chunk
    int nTerminator = 0;

    if ((flags & XREADLINE_CRLF_ONLY) == 0) {
      // The line ends at the first LF, CR LF or CR, whichever comes first.
      int nCR = -1;
      for (int i = 0; i < nRead; ++i) {
        if (aChunk[i] == kCR<TChar>) {
          nCR = i;
          break;
        }
        if (aChunk[i] == kLF<TChar>) {
          nEnd = i;
          nTerminator = 1;
          break;
        }
      }
      if (nEnd >= 0) {
        // An LF came before any CR.
      } else if (nCR >= 0) {
        if (nCR + 1 < nRead) {
          nEnd = nCR;
          nTerminator = aChunk[nCR + 1] == kLF<TChar> ? 2 : 1;
        } else if (bShort) {
          // The file ends with this CR: it ends the line and is consumed.
          nEnd = nCR;
          nTerminator = 1;
        } else {
          // An LF may follow in the next chunk: that chunk starts at the CR.
          const std::int64_t nBack = nConsumedBytes - static_cast<std::int64_t>(nCR) * knUnit;
          if (!bSeekBack(pStream, nBack)) return false;
          nConsumedBytes -= nBack;
          nAvailable = nCR;
        }
      }
    } else {
      for (int i = 0; i + 1 < nRead; ++i) {
        if (aChunk[i] == kCR<TChar> && aChunk[i + 1] == kLF<TChar>) {
          nEnd = i;
          nTerminator = 2;
          break;
        }
      }
      if (nEnd < 0 && !bShort && aChunk[nRead - 1] == kCR<TChar>) {
        // One more character tells whether this CR starts a CR LF.
        unsigned nMore = 0;
        if (!pStream->bRead(&aChunk[nRead], knUnit, &nMore)) return false;
        if (nMore == knUnit && aChunk[nRead] == kLF<TChar>) {
          nConsumedBytes += nMore;
          nAvailable = nRead + 1;
          nEnd = nRead - 1;
          nTerminator = 2;
        } else if (!bSeekBack(pStream, nMore)) {
          return false;
        }
      }
    }

    const int nText = nEnd >= 0 ? nEnd : nAvailable;
    if (nLength + nText < size) {
      std::memcpy(buffer + nLength, aChunk, static_cast<std::size_t>(nText) * knUnit);
      nLength += nText;
      buffer[nLength] = 0;
      if (nEnd >= 0) {
        const std::int64_t nUsed = static_cast<std::int64_t>(nEnd + nTerminator) * knUnit;
        return bSeekBack(pStream, nConsumedBytes - nUsed);
      }
      if (bShort) return true;
      continue;
    }
    // The line does not fit: this piece fills the buffer, the rest comes
    // with the next call.
    const int nTake = size - 1 - nLength;
    std::memcpy(buffer + nLength, aChunk, static_cast<std::size_t>(nTake) * knUnit);
    nLength += nTake;
    buffer[nLength] = 0;
    if (pbTruncated != nullptr) *pbTruncated = 1;
    return bSeekBack(pStream, nConsumedBytes - static_cast<std::int64_t>(nTake) * knUnit);
  }
}

}  // namespace

namespace {

// The error object of streams made while memory ran out: shared, and held
// once more here so that the streams' releases never free it. A stream must
// exist with an error object, and a constructor must not throw into the
// runtime's code.
CXError* pclSharedShortageError() {
  static CXError* const pcl = [] {
    static CXError clError(&gstMyModuleInfo76);
    clError.dwAddRef();
    return &clError;
  }();
  return pcl;
}

}  // namespace

IXStream::IXStream() : m_pclError(new (std::nothrow) CXError(&gstMyModuleInfo76)) {
  if (m_pclError == nullptr) m_pclError = pclSharedShortageError();
  m_pclError->dwAddRef();
}

IXStream::~IXStream() {
  if (m_pclError != nullptr) m_pclError->dwRelease();
}

bool IXStream::bOpen(const wchar_t*, eACCESS, eSHARE, eCREATE, eFLAG, int*) { return true; }

bool IXStream::bReopen(eACCESS, eSHARE, eCREATE, eFLAG) { return true; }

bool IXStream::bWrite(std::int64_t offset, const void* buffer, unsigned n, unsigned* pnWritten) {
  if (oGetOffset() != offset && !bSeek(offset, XSEEK_BEGIN)) return false;
  return bWrite(buffer, n, pnWritten);
}

bool IXStream::bRead(std::int64_t offset, void* buffer, unsigned n, unsigned* pnRead) {
  if (oGetOffset() != offset && !bSeek(offset, XSEEK_BEGIN)) return false;
  return bRead(buffer, n, pnRead);
}

bool IXStream::bWrite(const void*, unsigned, unsigned*) { return true; }
bool IXStream::bRead(void*, unsigned, unsigned*) { return true; }
bool IXStream::bSeek(std::int64_t, eSEEK) { return true; }
std::int64_t IXStream::oGetSize() { return 0; }
std::int64_t IXStream::oGetSizeFast() { return 0; }
bool IXStream::bFlush() { return true; }
bool IXStream::bSetSize(std::int64_t, eGROW) { return true; }
bool IXStream::bIncreaseSize(std::int64_t) { return true; }

bool IXStream::bWriteString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool bResult = bWriteStringList(format, args);
  va_end(args);
  return bResult;
}

bool IXStream::bWriteStringList(const char* format, va_list args) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  char acLocal[knFormatBuffer];
  va_list argsCopy;
  va_copy(argsCopy, args);
  errno = 0;
  const int nLength = std::vsnprintf(acLocal, sizeof acLocal, format, argsCopy);
  va_end(argsCopy);
  if (nLength < 0) {
    // Nothing is written for a text that cannot be formatted (EILSEQ).
    ReportFormatFailure(this, errno != 0 ? errno : EILSEQ);
    return false;
  }
  if (nLength == 0) return true;
  const std::size_t nBytes = static_cast<std::size_t>(nLength);
  if (nBytes < sizeof acLocal) return bWrite(acLocal, static_cast<unsigned>(nBytes), nullptr);

  // Measured: the whole text is formatted again in a block of its size.
  char* pBuffer = static_cast<char*>(XMALLOC_pNew_(nBytes + 1));
  if (pBuffer == nullptr) {
    ReportFormatFailure(this, ENOMEM);
    return false;
  }
  va_copy(argsCopy, args);
  const int nAgain = std::vsnprintf(pBuffer, nBytes + 1, format, argsCopy);
  va_end(argsCopy);
  bool bResult;
  if (nAgain != nLength) {
    ReportFormatFailure(this, errno != 0 ? errno : EILSEQ);
    bResult = false;
  } else {
    bResult = bWrite(pBuffer, static_cast<unsigned>(nBytes), nullptr);
  }
  XMALLOC_Del_(pBuffer);
  return bResult;
}

bool IXStream::bWriteString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool bResult = bWriteStringList(format, args);
  va_end(args);
  return bResult;
}

bool IXStream::bWriteStringList(const wchar_t* format, va_list args) {
  m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  wchar_t awcLocal[knFormatBuffer];
  wchar_t* pBuffer = awcLocal;
  std::size_t nCapacity = knFormatBuffer;
  int nLength;
  for (;;) {
    va_list argsCopy;
    va_copy(argsCopy, args);
    errno = 0;
    nLength = vsnwprintfWin(pBuffer, nCapacity, format, argsCopy);
    va_end(argsCopy);
    if (nLength >= 0) break;
    // The formatter answers -1 both for a text longer than the buffer
    // (errno untouched) and for a real failure (errno set).
    const int nErrno = errno;
    if (nErrno == 0 && nCapacity * 2 * sizeof(wchar_t) <= knFormatMaxBytes) {
      wchar_t* pBigger = static_cast<wchar_t*>(XMALLOC_pNew_(nCapacity * 2 * sizeof(wchar_t)));
      if (pBigger != nullptr) {
        if (pBuffer != awcLocal) XMALLOC_Del_(pBuffer);
        pBuffer = pBigger;
        nCapacity *= 2;
        continue;
      }
    }
    if (pBuffer != awcLocal) XMALLOC_Del_(pBuffer);
    ReportFormatFailure(this, nErrno != 0 ? nErrno : ENOMEM);
    return false;
  }
  bool bResult = true;
  if (nLength > 0) {
    bResult = bWrite(pBuffer, static_cast<unsigned>(nLength) * sizeof(wchar_t), nullptr);
  }
  if (pBuffer != awcLocal) XMALLOC_Del_(pBuffer);
  return bResult;
}

bool IXStream::bReadLine(char* buffer, int size, int* pbTruncated, unsigned flags) {
  return ReadLine(this, buffer, size, pbTruncated, flags);
}

bool IXStream::bReadLine(wchar_t* buffer, int size, int* pbTruncated, unsigned flags) {
  return ReadLine(this, buffer, size, pbTruncated, flags);
}

bool IXStream::bExtract(IXStream*, std::int64_t) { return true; }
bool IXStream::bLockFile(std::int64_t, std::int64_t) { return true; }
bool IXStream::bUnlockFile(std::int64_t, std::int64_t) { return true; }
bool IXStream::bLock(std::int64_t, std::int64_t) { return true; }
bool IXStream::bUnlock(std::int64_t, std::int64_t) { return true; }
const wchar_t* IXStream::pszGetName() { return nullptr; }
std::int64_t IXStream::oGetOffset() { return -1; }
bool IXStream::bIsOpen() { return true; }
CXError* IXStream::pclGetXError() { return m_pclError; }
CXError* IXStream::_pclGetXError() { return m_pclError; }
bool IXStream::vbSetNameForError(const wchar_t*) { return true; }
bool IXStream::bGetVFSFileName(wchar_t*) { return false; }
bool IXStream::bLockFileEx(bool, bool) { return true; }
const wchar_t* IXStream::pszReadLine(wchar_t*, int, CTString*, const wchar_t*) { return nullptr; }
bool IXStream::bExtendFile(std::int64_t) { return true; }

void IXStream::vReserved38() {}
void IXStream::vReserved39() {}
void IXStream::vReserved40() {}
void IXStream::vReserved41() {}
void IXStream::vReserved42() {}
void IXStream::vReserved43() {}
void IXStream::vReserved44() {}
void IXStream::vReserved45() {}
void IXStream::vReserved46() {}
void IXStream::vReserved47() {}
void IXStream::vReserved48() {}
void IXStream::vReserved49() {}
void IXStream::vReserved50() {}
void IXStream::vReserved51() {}
