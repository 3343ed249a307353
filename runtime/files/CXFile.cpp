#include "CXFile.h"

#include <climits>
#include <cwchar>
#include <new>

#include "CDiskFile.h"
#include "XMalloc.h"

namespace {

// Size of the copy buffer of bExtract.
constexpr unsigned knExtractBuffer = 0x10000;

}  // namespace

CXFile::CXFile() : m_piStream(nullptr), m_bStreamCreated(0) {}

CXFile::CXFile(IXStream* piStream) : m_piStream(piStream), m_bStreamCreated(0) {
  if (m_piStream != nullptr) m_piStream->dwAddRef();
}

CXFile::~CXFile() { _FreeStream(); }

bool CXFile::bOpen(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                   eFLAG eFlag, int* pbCreated) {
  if (m_piStream == nullptr && !bCreateStream()) return false;
  return m_piStream->bOpen(name, eAccess, eShare, eCreate, eFlag, pbCreated);
}

void CXFile::Close() {
  if (m_piStream != nullptr) m_piStream->Close();
}

bool CXFile::bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag) {
  return m_piStream != nullptr && m_piStream->bReopen(eAccess, eShare, eCreate, eFlag);
}

bool CXFile::bWrite(std::int64_t offset, const void* buffer, unsigned n, unsigned* pnWritten) {
  return m_piStream != nullptr && m_piStream->bWrite(offset, buffer, n, pnWritten);
}

bool CXFile::bRead(std::int64_t offset, void* buffer, unsigned n, unsigned* pnRead) {
  return m_piStream != nullptr && m_piStream->bRead(offset, buffer, n, pnRead);
}

bool CXFile::bWrite(const void* buffer, unsigned n, unsigned* pnWritten) {
  return m_piStream != nullptr && m_piStream->bWrite(buffer, n, pnWritten);
}

bool CXFile::bRead(void* buffer, unsigned n, unsigned* pnRead) {
  return m_piStream != nullptr && m_piStream->bRead(buffer, n, pnRead);
}

bool CXFile::bSeek(std::int64_t offset, eSEEK eOrigin) {
  return m_piStream != nullptr && m_piStream->bSeek(offset, eOrigin);
}

std::int64_t CXFile::oGetSize() { return m_piStream != nullptr ? m_piStream->oGetSize() : -1; }

std::int64_t CXFile::oGetSizeFast() {
  return m_piStream != nullptr ? m_piStream->oGetSizeFast() : -1;
}

bool CXFile::bFlush() { return m_piStream != nullptr && m_piStream->bFlush(); }

bool CXFile::bSetSize(std::int64_t size, eGROW eGrow) {
  return m_piStream != nullptr && m_piStream->bSetSize(size, eGrow);
}

bool CXFile::bIncreaseSize(std::int64_t n) {
  return m_piStream != nullptr && m_piStream->bIncreaseSize(n);
}

bool CXFile::bWriteString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool bOk = bWriteStringList(format, args);
  va_end(args);
  return bOk;
}

bool CXFile::bWriteStringList(const char* format, va_list args) {
  return m_piStream != nullptr && m_piStream->bWriteStringList(format, args);
}

bool CXFile::bWriteString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool bOk = bWriteStringList(format, args);
  va_end(args);
  return bOk;
}

bool CXFile::bWriteStringList(const wchar_t* format, va_list args) {
  return m_piStream != nullptr && m_piStream->bWriteStringList(format, args);
}

bool CXFile::bReadLine(char* buffer, int size, int* pbTruncated, unsigned flags) {
  return m_piStream != nullptr && m_piStream->bReadLine(buffer, size, pbTruncated, flags);
}

bool CXFile::bReadLine(wchar_t* buffer, int size, int* pbTruncated, unsigned flags) {
  return m_piStream != nullptr && m_piStream->bReadLine(buffer, size, pbTruncated, flags);
}

bool CXFile::bExtract(CXFile* destination, std::int64_t n) {
  if (destination == nullptr) return false;
  if (n < 0) {
    const std::int64_t size = oGetSize();
    const std::int64_t position = oGetOffset();
    // Without a size there is no "up to the end" to copy.
    if (size < 0 || position < 0) return false;
    n = size > position ? size - position : 0;
  }
  if (n == 0) return true;
  auto* buffer = static_cast<unsigned char*>(XMALLOC_pNew_(knExtractBuffer));
  if (buffer == nullptr) return false;
  bool bOk = true;
  while (n > 0) {
    // Asking no more than is still wanted leaves the stream just after the
    // copied bytes without seeking back over a surplus.
    const unsigned nAsked =
        n < static_cast<std::int64_t>(knExtractBuffer) ? static_cast<unsigned>(n) : knExtractBuffer;
    unsigned nRead = 0;
    if (!bRead(buffer, nAsked, &nRead)) {
      bOk = false;
      break;
    }
    if (nRead > 0 && !destination->bWrite(buffer, nRead, nullptr)) {
      bOk = false;
      break;
    }
    n -= nRead;
    if (nRead < nAsked) break;  // end of the file
  }
  XMALLOC_Del_(buffer);
  return bOk;
}

bool CXFile::bLockFile(std::int64_t offset, std::int64_t length) {
  return m_piStream != nullptr && m_piStream->bLockFile(offset, length);
}

bool CXFile::bUnlockFile(std::int64_t offset, std::int64_t length) {
  return m_piStream != nullptr && m_piStream->bUnlockFile(offset, length);
}

bool CXFile::bLock(std::int64_t offset, std::int64_t length) {
  return m_piStream != nullptr && m_piStream->bLock(offset, length);
}

bool CXFile::bUnlock(std::int64_t offset, std::int64_t length) {
  return m_piStream != nullptr && m_piStream->bUnlock(offset, length);
}

const wchar_t* CXFile::pszGetName() {
  return m_piStream != nullptr ? m_piStream->pszGetName() : nullptr;
}

std::int64_t CXFile::oGetOffset() { return m_piStream != nullptr ? m_piStream->oGetOffset() : -1; }

bool CXFile::bIsOpen() { return m_piStream != nullptr && m_piStream->bIsOpen(); }

CXError* CXFile::pclGetXError() {
  return m_piStream != nullptr ? m_piStream->pclGetXError() : nullptr;
}

void CXFile::_FreeStream() {
  IXStream* piStream = m_piStream;
  m_piStream = nullptr;
  m_bStreamCreated = 0;
  if (piStream != nullptr) piStream->dwRelease();
}

IXStream* CXFile::__xpclAllocDiskFile() { return new (std::nothrow) CDiskFile(); }

CXError* CXFile::_pclGetXError() {
  return m_piStream != nullptr ? m_piStream->_pclGetXError() : nullptr;
}

bool CXFile::bReadLineUNICODE(wchar_t* buffer, int size, int* pbTruncated) {
  return m_piStream != nullptr && m_piStream->bReadLine(buffer, size, pbTruncated, 0);
}

eACCESS CXFile::veGetAccess() {
  return m_piStream != nullptr ? m_piStream->veGetAccess() : XACCESS_DEFAULT;
}

void CXFile::vReserved36() {}
void CXFile::vReserved37() {}
void CXFile::vReserved38() {}
void CXFile::vReserved39() {}
void CXFile::vReserved40() {}
void CXFile::vReserved41() {}
void CXFile::vReserved42() {}
void CXFile::vReserved43() {}
void CXFile::vReserved44() {}
void CXFile::vReserved45() {}
void CXFile::vReserved46() {}
void CXFile::vReserved47() {}

IXStream* CXFile::piGetStream() const { return m_bStreamCreated ? nullptr : m_piStream; }

void CXFile::SetStream(IXStream* piStream) {
  // The new reference first: when piStream is the stream held now, releasing
  // the old one first could destroy it before it is taken again.
  if (piStream != nullptr) piStream->dwAddRef();
  _FreeStream();
  m_piStream = piStream;
}

bool CXFile::bCreateStream() {
  if (m_piStream != nullptr) return true;
  IXStream* piStream = __xpclAllocDiskFile();
  if (piStream == nullptr) return false;
  SetStream(piStream);
  m_bStreamCreated = 1;
  return true;
}

bool CXFile::bSetNameForError(const wchar_t* name) {
  return bCreateStream() && m_piStream->vbSetNameForError(name);
}

bool CXFile::bWriteLine(const wchar_t* text) {
  static const wchar_t kszLineEnd[] = L"\r\n";
  if (text != nullptr && *text != L'\0') {
    const std::size_t nBytes = std::wcslen(text) * sizeof(wchar_t);
    if (nBytes > UINT_MAX) return false;
    if (!bWrite(text, static_cast<unsigned>(nBytes), nullptr)) return false;
  }
  return bWrite(kszLineEnd, 2 * sizeof(wchar_t), nullptr);
}
