#include "CDescriptorStream.h"

#include <unistd.h>

#include <cerrno>

#include "CXError.h"

CDescriptorStream::CDescriptorStream(int fd) : m_hFile(fd) {}

CDescriptorStream::~CDescriptorStream() { m_hFile = -1; }

bool CDescriptorStream::_bFail(int nErrno) {
  if (m_pclError != nullptr) {
    m_pclError->SetErrorLevel(ERRORLEVEL_ERROR);
    m_pclError->SetSystemErrorParam(static_cast<std::uint32_t>(nErrno));
  }
  errno = nErrno;
  return false;
}

bool CDescriptorStream::bWrite(const void* buffer, unsigned n, unsigned* pnWritten) {
  if (pnWritten != nullptr) *pnWritten = 0;
  if (m_hFile < 0) return _bFail(EBADF);
  if (n > 0 && buffer == nullptr) return _bFail(EFAULT);
  const char* p = static_cast<const char*>(buffer);
  unsigned nDone = 0;
  while (nDone < n) {
    const ssize_t nStep = ::write(m_hFile, p + nDone, n - nDone);
    if (nStep < 0) {
      if (errno == EINTR) continue;
      const int nErrno = errno;
      if (pnWritten != nullptr) *pnWritten = nDone;
      m_llWritten += nDone;
      return _bFail(nErrno);
    }
    if (nStep == 0) {
      // A regular file that accepts nothing is full.
      if (pnWritten != nullptr) *pnWritten = nDone;
      m_llWritten += nDone;
      return _bFail(ENOSPC);
    }
    nDone += static_cast<unsigned>(nStep);
  }
  m_llWritten += n;
  if (pnWritten != nullptr) *pnWritten = n;
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  return true;
}

bool CDescriptorStream::bRead(void*, unsigned, unsigned* pnRead) {
  if (pnRead != nullptr) *pnRead = 0;
  return _bFail(EBADF);
}

bool CDescriptorStream::bSeek(std::int64_t, eSEEK) { return _bFail(EBADF); }

bool CDescriptorStream::bSetSize(std::int64_t, eGROW) { return _bFail(EBADF); }

bool CDescriptorStream::bLock(std::int64_t, std::int64_t) { return _bFail(EBADF); }

void CDescriptorStream::Close() { m_hFile = -1; }

eACCESS CDescriptorStream::veGetAccess() {
  return m_hFile >= 0 ? XACCESS_WRITE : XACCESS_DEFAULT;
}

bool CDescriptorStream::bIsOpen() { return m_hFile >= 0; }

std::int64_t CDescriptorStream::oGetOffset() { return m_llWritten; }
