#include "ProfileStringFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "CDiskFile.h"
#include "CodePage.h"
#include "XMalloc.h"

namespace {

constexpr unsigned kCR = 0x0D;
constexpr unsigned kLF = 0x0A;

// Grows a block owned through XMALLOC to hold at least `needed` elements;
// the block keeps its content and stays owned by the caller on failure.
template <typename T>
bool bReserve(T** block, std::size_t* capacity, std::size_t needed) {
  if (needed <= *capacity) return true;
  std::size_t nNew = *capacity < 64 ? 64 : *capacity;
  while (nNew < needed) {
    if (nNew > SIZE_MAX / 2 / sizeof(T)) return false;
    nNew *= 2;
  }
  void* pNew = XMALLOC_pResize_(*block, nNew * sizeof(T));
  if (pNew == nullptr) return false;
  *block = static_cast<T*>(pNew);
  *capacity = nNew;
  return true;
}

// The 16-bit little-endian unit at `p`.
unsigned Unit16(const unsigned char* p) { return p[0] | (static_cast<unsigned>(p[1]) << 8); }

void PutUnit16(unsigned char* p, unsigned unit) {
  p[0] = static_cast<unsigned char>(unit & 0xFF);
  p[1] = static_cast<unsigned char>((unit >> 8) & 0xFF);
}

}  // namespace

CProfileFile::~CProfileFile() {
  if (m_nFd >= 0) ::close(m_nFd);
  XMALLOC_Del_(m_pBytes);
  XMALLOC_Del_(m_pLines);
  XMALLOC_Del_(m_pText);
}

bool CProfileFile::bLoad(const wchar_t* path, bool bWrite) {
  if (m_nFd >= 0) return false;
  m_nFd = bWrite ? CDiskFile::Unix_open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666)
                 : CDiskFile::Unix_open(path, O_RDONLY | O_CLOEXEC);
  if (m_nFd < 0) return false;
  return bReadAll() && bSplitLines();
}

bool CProfileFile::bReadAll() {
  std::size_t nCapacity = 0;
  for (;;) {
    if (!bReserve(&m_pBytes, &nCapacity, m_nSize + 4096)) return false;
    const ssize_t nRead = ::read(m_nFd, m_pBytes + m_nSize, nCapacity - m_nSize);
    if (nRead < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (nRead == 0) return true;
    m_nSize += static_cast<std::size_t>(nRead);
  }
}

bool CProfileFile::bSplitLines() {
  if (m_nSize >= 2 && m_pBytes[0] == 0xFF && m_pBytes[1] == 0xFE) {
    m_bUTF16 = true;
    m_nStart = 2;
    m_nEnd = m_nStart + ((m_nSize - m_nStart) & ~static_cast<std::size_t>(1));
  } else {
    m_nStart = 0;
    m_nEnd = m_nSize;
  }
  const std::size_t nStep = m_bUTF16 ? 2 : 1;
  auto unit = [&](std::size_t offset) {
    return m_bUTF16 ? Unit16(m_pBytes + offset) : static_cast<unsigned>(m_pBytes[offset]);
  };
  std::size_t nPos = m_nStart;
  while (nPos < m_nEnd) {
    const std::size_t nLineStart = nPos;
    while (nPos < m_nEnd) {
      const unsigned u = unit(nPos);
      nPos += nStep;
      if (u == kLF) break;
      if (u == kCR) {
        if (nPos < m_nEnd && unit(nPos) == kLF) nPos += nStep;
        break;
      }
    }
    if (!bDecodeLine(nLineStart, nPos)) return false;
  }
  return true;
}

bool CProfileFile::bDecodeLine(std::size_t from, std::size_t to) {
  if (!bReserve(&m_pLines, &m_nLineCapacity, m_nLines + 1)) return false;
  // A line never decodes to more characters than it has units.
  const std::size_t nUnits = m_bUTF16 ? (to - from) / 2 : to - from;
  if (!bReserve(&m_pText, &m_nTextCapacity, m_nText + nUnits + 1)) return false;
  m_pLines[m_nLines++] = stLine{from, m_nText};
  wchar_t* pOut = m_pText + m_nText;
  std::size_t nOut = 0;
  if (m_bUTF16) {
    for (std::size_t nPos = from; nPos < to; nPos += 2) {
      unsigned u = Unit16(m_pBytes + nPos);
      if (u >= 0xD800 && u <= 0xDBFF && nPos + 2 < to) {
        const unsigned low = Unit16(m_pBytes + nPos + 2);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
          nPos += 2;
        }
      }
      pOut[nOut++] = static_cast<wchar_t>(u);
    }
  } else if (nUnits > 0) {
    if (nUnits > static_cast<std::size_t>(INT_MAX)) return false;
    const int n = static_cast<int>(nUnits);
    nOut = static_cast<std::size_t>(MultiByteToWideChar(
        CP_ACP, 0, reinterpret_cast<const char*>(m_pBytes + from), n, pOut, n));
    if (nOut == 0) return false;
  }
  pOut[nOut] = L'\0';
  m_nText += nOut + 1;
  return true;
}

const wchar_t* CProfileFile::pszGetLine(std::size_t i) const {
  return i < m_nLines ? m_pText + m_pLines[i].nText : L"";
}

std::size_t CProfileFile::nGetLineOffset(std::size_t i) const {
  return i < m_nLines ? m_pLines[i].nOffset : m_nEnd;
}

bool CProfileFile::bEndsWithLineEnd() const {
  if (m_nEnd <= m_nStart) return true;
  const unsigned u = m_bUTF16 ? Unit16(m_pBytes + m_nEnd - 2) : m_pBytes[m_nEnd - 1];
  return u == kCR || u == kLF;
}

bool CProfileFile::bEncode(const wchar_t* text, std::size_t length, unsigned char** out,
                           std::size_t* outLength) const {
  *out = nullptr;
  *outLength = 0;
  if (length == 0) return true;
  if (m_bUTF16) {
    if (length > SIZE_MAX / 4) return false;
    auto* pOut = static_cast<unsigned char*>(XMALLOC_pNew_(length * 4));
    if (pOut == nullptr) return false;
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
      unsigned c = static_cast<unsigned>(text[i]);
      if (c > 0x10FFFF) c = '?';
      if (c >= 0x10000) {
        c -= 0x10000;
        PutUnit16(pOut + n, 0xD800 + (c >> 10));
        PutUnit16(pOut + n + 2, 0xDC00 + (c & 0x3FF));
        n += 4;
      } else {
        PutUnit16(pOut + n, c);
        n += 2;
      }
    }
    *out = pOut;
    *outLength = n;
    return true;
  }
  if (length > static_cast<std::size_t>(INT_MAX)) return false;
  const int nChars = static_cast<int>(length);
  const int nBytes = WideCharToMultiByte(CP_ACP, 0, text, nChars, nullptr, 0, nullptr, nullptr);
  if (nBytes <= 0) return false;
  auto* pOut = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<std::size_t>(nBytes)));
  if (pOut == nullptr) return false;
  if (WideCharToMultiByte(CP_ACP, 0, text, nChars, reinterpret_cast<char*>(pOut), nBytes, nullptr,
                          nullptr) != nBytes) {
    XMALLOC_Del_(pOut);
    return false;
  }
  *out = pOut;
  *outLength = static_cast<std::size_t>(nBytes);
  return true;
}

bool CProfileFile::bReplace(std::size_t from, std::size_t to, const wchar_t* text,
                            std::size_t length) {
  if (m_nFd < 0 || from > to || to > m_nEnd) return false;
  unsigned char* pNew = nullptr;
  std::size_t nNew = 0;
  if (!bEncode(text, length, &pNew, &nNew)) return false;
  const std::size_t nRest = m_nEnd - to;
  std::size_t nTotal = nNew + nRest;
  unsigned char* pAll = nullptr;
  if (nTotal > 0) {
    pAll = static_cast<unsigned char*>(XMALLOC_pNew_(nTotal));
    if (pAll == nullptr) {
      XMALLOC_Del_(pNew);
      return false;
    }
    if (nNew > 0) std::memcpy(pAll, pNew, nNew);
    if (nRest > 0) std::memcpy(pAll + nNew, m_pBytes + to, nRest);
  }
  XMALLOC_Del_(pNew);
  bool bOk = true;
  std::size_t nDone = 0;
  while (bOk && nDone < nTotal) {
    const ssize_t nWritten = ::pwrite(m_nFd, pAll + nDone, nTotal - nDone,
                                      static_cast<off_t>(from + nDone));
    if (nWritten < 0 && errno == EINTR) continue;
    if (nWritten <= 0) bOk = false;
    else nDone += static_cast<std::size_t>(nWritten);
  }
  XMALLOC_Del_(pAll);
  if (bOk && ::ftruncate(m_nFd, static_cast<off_t>(from + nTotal)) != 0) bOk = false;
  return bOk;
}
