#include "CMemoryStream.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr std::uint64_t knMaxSize = 0xFFFFFFFFu;
}

CMemoryStream::~CMemoryStream() { __DeleteMemory(); }

void CMemoryStream::__DeleteMemory() {
  if ((m_dwFlags & kdwOwnsMemory) == 0) return;
  std::free(m_pbyAddress);
  m_pbyAddress = nullptr;
  m_pbyPosition = nullptr;
  m_nSize = 0;
  // The stream still owns its (now empty) memory: a write allocates anew.
}

bool CMemoryStream::bAssociate(void* pBlock, std::uint32_t nSize) {
  if (m_nState != STATE_CLOSED) return false;
  __DeleteMemory();
  m_pbyAddress = static_cast<unsigned char*>(pBlock);
  m_pbyPosition = m_pbyAddress;
  m_nSize = nSize;
  m_dwFlags = 0;
  m_nState = STATE_ASSOCIATED;
  return true;
}

void* CMemoryStream::pGetAddress() { return m_pbyAddress; }

bool CMemoryStream::bOpen(const wchar_t* name, eACCESS eAccess, eSHARE, eCREATE eCreate, eFLAG,
                          int* pbCreated) {
  m_sName = name;
  std::uint32_t dwAccess = 0;
  switch (eAccess) {
    case XACCESS_READ: dwAccess = kdwRead; break;
    case XACCESS_WRITE: dwAccess = kdwWrite; break;
    case XACCESS_READWRITE: dwAccess = kdwRead | kdwWrite; break;
    default: return false;
  }
  if (eCreate == XCREATE_TRUNCATE) {
    __DeleteMemory();
    m_pbyAddress = nullptr;
    m_pbyPosition = nullptr;
    m_nSize = 0;
    m_dwFlags = dwAccess | kdwOwnsMemory;
    m_nState = STATE_OWN;
    if (pbCreated != nullptr) *pbCreated = 1;
    return true;
  }
  if (eCreate == XCREATE_OPEN) {
    if (m_nState != STATE_ASSOCIATED && m_nState != STATE_OPEN_ASSOCIATED) return false;
    m_dwFlags = dwAccess | kdwOnAssociated;
    m_pbyPosition = m_pbyAddress;
    m_nState = STATE_OPEN_ASSOCIATED;
    if (pbCreated != nullptr) *pbCreated = 0;
    return true;
  }
  return false;
}

void CMemoryStream::Close() {
  m_nState = STATE_CLOSED;
  // Only the ownership survives: the destructor still frees owned memory.
  m_dwFlags &= kdwOwnsMemory;
}

std::uint32_t CMemoryStream::nRemaining() const {
  return m_nSize - static_cast<std::uint32_t>(m_pbyPosition - m_pbyAddress);
}

bool CMemoryStream::bGrow(std::uint64_t nNewSize, bool bZeroFill) {
  if (nNewSize > knMaxSize || nNewSize <= m_nSize) return false;
  const std::int64_t nOffset = oGetOffset();
  void* pMoved = std::realloc(m_pbyAddress, nNewSize);
  if (pMoved == nullptr) return false;
  m_pbyAddress = static_cast<unsigned char*>(pMoved);
  m_pbyPosition = m_pbyAddress + nOffset;  // realloc gave a block
  if (bZeroFill) std::memset(m_pbyAddress + m_nSize, 0, nNewSize - m_nSize);
  m_nSize = static_cast<std::uint32_t>(nNewSize);
  return true;
}

bool CMemoryStream::bRead(void* buffer, unsigned n, unsigned* pnRead) {
  if (pnRead != nullptr) *pnRead = 0;
  if ((m_nState != STATE_OWN && m_nState != STATE_OPEN_ASSOCIATED) || (m_dwFlags & kdwRead) == 0)
    return false;
  const std::uint32_t nLeft = nRemaining();
  if (n > nLeft) {
    if (pnRead == nullptr) return false;
    n = nLeft;
  }
  if (n != 0) {
    std::memcpy(buffer, m_pbyPosition, n);
    m_pbyPosition += n;
  }
  if (pnRead != nullptr) *pnRead = n;
  return true;
}

bool CMemoryStream::bWrite(const void* buffer, unsigned n, unsigned* pnWritten) {
  if (pnWritten != nullptr) *pnWritten = 0;
  if ((m_nState != STATE_OWN && m_nState != STATE_OPEN_ASSOCIATED) || (m_dwFlags & kdwWrite) == 0)
    return false;
  const std::uint32_t nLeft = nRemaining();
  if (n > nLeft) {
    if ((m_dwFlags & kdwOwnsMemory) != 0) {
      // Every written byte is overwritten, so the new bytes need no zeroing.
      if (!bGrow(static_cast<std::uint64_t>(oGetOffset()) + n, false)) return false;
    } else {
      if (pnWritten == nullptr) return false;
      n = nLeft;
    }
  }
  if (n != 0) {
    std::memcpy(m_pbyPosition, buffer, n);
    m_pbyPosition += n;
  }
  if (pnWritten != nullptr) *pnWritten = n;
  return true;
}

bool CMemoryStream::bSeek(std::int64_t offset, eSEEK eOrigin) {
  std::int64_t nTarget = 0;
  const std::int64_t nSize = m_nSize;
  switch (eOrigin) {
    case XSEEK_BEGIN: nTarget = offset; break;
    case XSEEK_CURRENT:
      if (__builtin_add_overflow(oGetOffset(), offset, &nTarget)) return false;
      break;
    case XSEEK_END: nTarget = offset <= 0 ? nSize + offset : nSize - offset; break;
    default:
      m_pbyPosition = m_pbyAddress;
      return true;
  }
  // Nothing lies before the block.
  if (nTarget < 0) return false;
  if (nTarget > nSize) {
    if ((m_dwFlags & kdwAutoExpand) == 0) return false;
    if (!bGrow(static_cast<std::uint64_t>(nTarget), true)) return false;
  }
  // No offset is applied to a stream without a block (target 0 then).
  if (m_pbyAddress != nullptr) m_pbyPosition = m_pbyAddress + nTarget;
  return true;
}

std::int64_t CMemoryStream::oGetSize() { return m_nSize; }

std::int64_t CMemoryStream::oGetSizeFast() { return m_nSize; }

const wchar_t* CMemoryStream::pszGetName() { return m_sName.pszGet(); }

std::int64_t CMemoryStream::oGetOffset() { return m_pbyPosition - m_pbyAddress; }

bool CMemoryStream::bIsOpen() { return m_nState == STATE_OWN || m_nState == STATE_OPEN_ASSOCIATED; }

eACCESS CMemoryStream::veGetAccess() {
  const std::uint32_t dw = m_dwFlags & (kdwRead | kdwWrite);
  if (dw == (kdwRead | kdwWrite)) return XACCESS_READWRITE;
  if (dw == kdwRead) return XACCESS_READ;
  if (dw == kdwWrite) return XACCESS_WRITE;
  return XACCESS_DEFAULT;
}

bool CMemoryStream::bSetAutoExpandMode(bool bOn) {
  if (m_nState == STATE_CLOSED || (m_dwFlags & kdwOwnsMemory) == 0) return false;
  if (bOn)
    m_dwFlags |= kdwAutoExpand;
  else
    m_dwFlags &= ~kdwAutoExpand;
  return true;
}
