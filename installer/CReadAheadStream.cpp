#include "CReadAheadStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "CXError.h"

CReadAheadStream::CReadAheadStream(IXStream* pSource) : m_pSource(pSource) {}

CReadAheadStream::~CReadAheadStream() = default;

void CReadAheadStream::SetSource(IXStream* pSource) {
  m_pSource = pSource;
  Invalidate();
}

void CReadAheadStream::Invalidate() {
  m_llBlockStart = 0;
  m_nBlockLength = 0;
}

bool CReadAheadStream::_bFail(int nErrno) {
  if (m_pclError != nullptr) {
    m_pclError->SetErrorLevel(ERRORLEVEL_ERROR);
    m_pclError->SetSystemErrorParam(static_cast<std::uint32_t>(nErrno));
  }
  errno = nErrno;
  return false;
}

bool CReadAheadStream::_bSourceFailed() {
  const int nErrno = errno;
  CXError* pclSource = m_pSource != nullptr ? m_pSource->pclGetXError() : nullptr;
  if (m_pclError != nullptr && pclSource != nullptr && pclSource->eGetErrorLevel() != ERRORLEVEL_NONE) {
    m_pclError->Copy(pclSource);
    errno = nErrno;
    return false;
  }
  return _bFail(nErrno != 0 ? nErrno : EIO);
}

bool CReadAheadStream::bRead(void* buffer, unsigned n, unsigned* pnRead) {
  if (pnRead != nullptr) *pnRead = 0;
  if (m_pSource == nullptr) return _bFail(EBADF);
  if (n > 0 && buffer == nullptr) return _bFail(EFAULT);
  unsigned char* pOut = static_cast<unsigned char*>(buffer);
  unsigned nDone = 0;
  while (nDone < n) {
    // From the block in memory.
    if (m_llPosition >= m_llBlockStart && m_llPosition < m_llBlockStart + m_nBlockLength) {
      const auto nAt = static_cast<unsigned>(m_llPosition - m_llBlockStart);
      const unsigned nTake = std::min(n - nDone, m_nBlockLength - nAt);
      std::memcpy(pOut + nDone, m_pBlock.get() + nAt, nTake);
      nDone += nTake;
      m_llPosition += nTake;
      continue;
    }
    const unsigned nLeft = n - nDone;
    if (nLeft >= knBlockSize) {
      // Large reads need no copy through the block.
      unsigned nGot = 0;
      if (!m_pSource->bRead(m_llPosition, pOut + nDone, nLeft, &nGot)) return _bSourceFailed();
      nDone += nGot;
      m_llPosition += nGot;
      break;
    }
    if (!m_pBlock) {
      m_pBlock.reset(new (std::nothrow) unsigned char[knBlockSize]);
      if (!m_pBlock) return _bFail(ENOMEM);
    }
    unsigned nGot = 0;
    Invalidate();
    if (!m_pSource->bRead(m_llPosition, m_pBlock.get(), knBlockSize, &nGot)) {
      // A source that cannot even seek past its end has simply ended there.
      const std::int64_t llSize = m_pSource->oGetSize();
      if (llSize < 0 || m_llPosition < llSize) return _bSourceFailed();
      nGot = 0;
    }
    if (nGot == 0) break;  // the end of the source
    m_llBlockStart = m_llPosition;
    m_nBlockLength = nGot;
  }
  if (pnRead != nullptr) *pnRead = nDone;
  else if (nDone != n) return _bFail(EIO);
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(ERRORLEVEL_NONE);
  return true;
}

bool CReadAheadStream::bSeek(std::int64_t offset, eSEEK eOrigin) {
  std::int64_t llBase = 0;
  if (eOrigin == XSEEK_CURRENT) {
    llBase = m_llPosition;
  } else if (eOrigin == XSEEK_END) {
    llBase = oGetSize();
    if (llBase < 0) return false;
  } else if (eOrigin != XSEEK_BEGIN) {
    return _bFail(EINVAL);
  }
  if ((offset > 0 && llBase > INT64_MAX - offset) || llBase + offset < 0) return _bFail(EINVAL);
  m_llPosition = llBase + offset;
  return true;
}

std::int64_t CReadAheadStream::oGetSize() {
  if (m_pSource == nullptr) {
    _bFail(EBADF);
    return -1;
  }
  const std::int64_t llSize = m_pSource->oGetSize();
  if (llSize < 0) _bSourceFailed();
  return llSize;
}

bool CReadAheadStream::bWrite(const void*, unsigned, unsigned* pnWritten) {
  if (pnWritten != nullptr) *pnWritten = 0;
  return _bFail(EBADF);
}

bool CReadAheadStream::bSetSize(std::int64_t, eGROW) { return _bFail(EBADF); }

bool CReadAheadStream::bLock(std::int64_t, std::int64_t) { return _bFail(EBADF); }

void CReadAheadStream::Close() {
  Invalidate();
  m_llPosition = 0;
}

bool CReadAheadStream::bIsOpen() { return m_pSource != nullptr && m_pSource->bIsOpen(); }

eACCESS CReadAheadStream::veGetAccess() {
  return bIsOpen() ? XACCESS_READ : XACCESS_DEFAULT;
}
