#include "CDataCompressor.h"

#include <cstring>

#include "CResAnsi76.h"
#include "CodePage.h"
#include "UnicodeConversion.h"
#include "XMalloc.h"

namespace {

constexpr std::uint32_t kStackBytes = 255;

// Owns a heap block from XMALLOC_pNew_ for the scope.
struct CHeapBlock {
  explicit CHeapBlock(std::size_t nBytes) : p(XMALLOC_pNew_(nBytes)) {}
  ~CHeapBlock() { XMALLOC_Del_(p); }
  CHeapBlock(const CHeapBlock&) = delete;
  CHeapBlock& operator=(const CHeapBlock&) = delete;
  void* p;
};

// Places `nLength` wide characters of `pszText` into the caller's buffer as
// s_nDeCompress promises.
int PlaceText(const wchar_t* pszText, int nLength, wchar_t* pszOut, int* pnCapacity) {
  const int nCapacity = *pnCapacity;
  if (nLength < nCapacity) {
    if (nLength > 0) std::memcpy(pszOut, pszText, static_cast<std::size_t>(nLength) * sizeof(wchar_t));
    pszOut[nLength] = 0;
    *pnCapacity = nLength;
    return CDataCompressor::DC_OK;
  }
  if (nCapacity > 0) {
    std::memcpy(pszOut, pszText, static_cast<std::size_t>(nCapacity - 1) * sizeof(wchar_t));
    pszOut[nCapacity - 1] = 0;
  }
  *pnCapacity = nLength;
  return CDataCompressor::DC_CUT;
}

// UTF-8 bytes to wide text; -1 when they do not convert.
int PlaceUTF8(const unsigned char* pbyText, std::uint32_t nBytes, wchar_t* pszOut, int* pnCapacity) {
  if (nBytes == 0) return PlaceText(L"", 0, pszOut, pnCapacity);
  const char* psz = reinterpret_cast<const char*>(pbyText);
  const int nBytesIn = static_cast<int>(nBytes);
  const int nNeeded = MultiByteToWideChar(CP_UTF8, 0, psz, nBytesIn, nullptr, 0);
  if (nNeeded <= 0) return -1;
  if (nNeeded < *pnCapacity) {
    if (MultiByteToWideChar(CP_UTF8, 0, psz, nBytesIn, pszOut, nNeeded) != nNeeded) return -1;
    pszOut[nNeeded] = 0;
    *pnCapacity = nNeeded;
    return CDataCompressor::DC_OK;
  }
  // Too long for the caller: the conversion writes whole texts only.
  CHeapBlock clWide(static_cast<std::size_t>(nNeeded) * sizeof(wchar_t));
  if (clWide.p == nullptr) return -1;
  wchar_t* pszWide = static_cast<wchar_t*>(clWide.p);
  if (MultiByteToWideChar(CP_UTF8, 0, psz, nBytesIn, pszWide, nNeeded) != nNeeded) return -1;
  return PlaceText(pszWide, nNeeded, pszOut, pnCapacity);
}

int PlaceUTF16(const unsigned char* pbyText, std::uint32_t nBytes, wchar_t* pszOut, int* pnCapacity) {
  const int nUnits = static_cast<int>(nBytes / 2);
  const int nCapacity = *pnCapacity;
  // Units are copied out bytewise: the unpacked bytes need not be aligned.
  const int nCopied = nUnits < nCapacity ? nUnits : (nCapacity > 0 ? nCapacity - 1 : 0);
  for (int i = 0; i < nCopied; ++i) {
    unsigned short nUnit;
    std::memcpy(&nUnit, pbyText + 2 * i, sizeof(nUnit));
    UTF16ToWideChar(&nUnit, 1, pszOut + i, 1);
  }
  if (nCapacity > 0) pszOut[nCopied] = 0;
  *pnCapacity = nUnits;
  return nUnits < nCapacity ? CDataCompressor::DC_OK : CDataCompressor::DC_CUT;
}

}  // namespace

int CDataCompressor::nDeCompress(const unsigned char* pbyIn, std::uint32_t nIn,
                                 unsigned char* pbyOut, std::uint32_t nCapacity,
                                 std::uint32_t* pnLength) {
  m_pbyIn = pbyIn;
  m_nIn = pbyIn != nullptr ? nIn : 0;
  m_nPos = 0;
  m_pbyOut = pbyOut;
  m_nCapacity = pbyOut != nullptr ? nCapacity : 0;
  m_nCount = 0;
  m_nCurrent = 0;
  m_nShift = kNoShift;
  m_nResult = DC_OK;

  while (m_nResult == DC_OK && m_nPos < m_nIn) {
    if (m_nIn - m_nPos >= 2) {
      const unsigned b1 = m_pbyIn[m_nPos];
      const unsigned b2 = m_pbyIn[m_nPos + 1];
      m_nPos += 2;
      if (b1 == 0 || b2 == 0) {
        m_nResult = DC_BADDIGIT;
        break;
      }
      const unsigned v = (b1 - 1) * 255 + (b2 - 1);
      const int anDigits[3] = {static_cast<int>(v / 1600), static_cast<int>(v % 1600 / 40),
                               static_cast<int>(v % 40)};
      for (int d : anDigits) {
        if (!_bApplyDigit(d)) break;
      }
    } else {
      const int d = static_cast<int>(m_pbyIn[m_nPos]) - 1;
      ++m_nPos;
      _bApplyDigit(d);
    }
  }

  if (m_nCapacity > 0) m_pbyOut[m_nCount < m_nCapacity ? m_nCount : m_nCapacity - 1] = 0;
  if (pnLength != nullptr) *pnLength = m_nCount;
  if (m_nResult != DC_OK) return m_nResult;
  return m_nCount >= m_nCapacity ? DC_CUT : DC_OK;
}

bool CDataCompressor::_bApplyDigit(int d) {
  if (d < 0 || d >= kDigits) {
    m_nResult = DC_BADDIGIT;
    return false;
  }
  const bool bEscapeState = (m_nCurrent == 3 && m_nShift == kNoShift) ||
                            (m_nCurrent != 3 && m_nShift == 3);
  if (bEscapeState && (d == kEscapeByte || d == kEscapeRun)) {
    m_nShift = kNoShift;
    if (d == kEscapeByte) return _bCopyRaw(1);
    if (m_nPos >= m_nIn) {
      m_nResult = DC_BADESCAPE;
      return false;
    }
    const std::uint32_t n = m_pbyIn[m_nPos++];
    return _bCopyRaw(n);
  }
  if (d < kFirstLock) {
    m_nShift = d;
    return true;
  }
  if (d < kFirstChar) {
    m_nCurrent = d - kFirstLock;
    return true;
  }
  const int nTable = m_nShift != kNoShift ? m_nShift : m_nCurrent;
  m_nShift = kNoShift;
  const unsigned char by = s_abyTables[nTable][d - kFirstChar];
  if (by == 0) {
    // A hole of table 3: no text is packed that way.
    m_nResult = DC_BADDIGIT;
    return false;
  }
  _Emit(by);
  return true;
}

void CDataCompressor::_Emit(unsigned char by) {
  if (m_nCount + 1 < m_nCapacity) m_pbyOut[m_nCount] = by;
  ++m_nCount;
}

bool CDataCompressor::_bCopyRaw(std::uint32_t n) {
  if (m_nIn - m_nPos < n) {
    m_nResult = DC_BADESCAPE;
    return false;
  }
  for (std::uint32_t i = 0; i < n; ++i) _Emit(m_pbyIn[m_nPos + i]);
  m_nPos += n;
  return true;
}

int CDataCompressor::s_nDeCompress(wchar_t* pszOut, int* pnCapacity,
                                   const STRessourceModule* pstRecord) {
  if (pnCapacity == nullptr) return DC_BADDIGIT;
  if (pstRecord == nullptr || (pszOut == nullptr && *pnCapacity > 0) ||
      (pstRecord->nEncoding != ENCODING_UTF8 && pstRecord->nEncoding != ENCODING_UTF16)) {
    *pnCapacity = -1;
    return DC_BADDIGIT;
  }
  const std::uint32_t nBytes = s_nUnpackedCapacity(pstRecord->nPackedLength);
  unsigned char abyStack[kStackBytes];
  CHeapBlock clHeap(nBytes > kStackBytes ? nBytes : 0);
  unsigned char* pbyText = nBytes > kStackBytes ? static_cast<unsigned char*>(clHeap.p) : abyStack;
  if (pbyText == nullptr) {
    *pnCapacity = -1;
    return DC_BADDIGIT;
  }
  CDataCompressor clUnpacker;
  std::uint32_t nLength = 0;
  const int nResult =
      clUnpacker.nDeCompress(pstRecord->pbyData, pstRecord->nPackedLength, pbyText, nBytes, &nLength);
  if (nResult != DC_OK && nResult != DC_CUT) {
    *pnCapacity = -1;
    return nResult;
  }
  // A cut text converts as far as it was unpacked.
  const std::uint32_t nStored = nLength < nBytes ? nLength : nBytes - 1;
  const int nPlaced = pstRecord->nEncoding == ENCODING_UTF8
                          ? PlaceUTF8(pbyText, nStored, pszOut, pnCapacity)
                          : PlaceUTF16(pbyText, nStored, pszOut, pnCapacity);
  if (nPlaced < 0) {
    *pnCapacity = -1;
    return DC_BADDIGIT;
  }
  return nPlaced;
}

wchar_t* CDataCompressor::s_pszDeCompress(const STRessourceModule* pstRecord) {
  if (pstRecord == nullptr) return nullptr;
  const std::uint32_t nChars = s_nUnpackedCapacity(pstRecord->nPackedLength);
  wchar_t* pszText = static_cast<wchar_t*>(XMALLOC_pNew_(nChars * sizeof(wchar_t)));
  if (pszText == nullptr) return nullptr;
  int nCapacity = static_cast<int>(nChars);
  if (s_nDeCompress(pszText, &nCapacity, pstRecord) != DC_OK) {
    XMALLOC_Del_(pszText);
    return nullptr;
  }
  return pszText;
}
