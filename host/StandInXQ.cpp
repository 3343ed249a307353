// The stand-in host interface and its case-folding converter.
#include "StandInXQ.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void ReservedSlot(const char* pszWhat, int n) {
  std::fprintf(stderr, "stand-in host: reserved slot %d of %s called\n", n, pszWhat);
  std::abort();
}

std::uint16_t Fold(std::uint16_t u) {
  if (u >= 'A' && u <= 'Z') return static_cast<std::uint16_t>(u + 0x20);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<std::uint16_t>(u + 0x20);
  return u;
}

}  // namespace

int CStandInXQConverter::nConvertUTF16(std::uint16_t* pDest, std::size_t nUnits, const void* pSource,
                                       std::size_t nBytes, int bNoPunctuation, int bNoAccent, int bIgnoreCase) {
  ++m_nCalls;
  m_stLast = {17, nUnits, nBytes, bNoPunctuation, bNoAccent, bIgnoreCase};
  const std::size_t nIn = nBytes / 2;
  std::size_t n = 0;
  for (; n < nIn && n < nUnits; ++n) {
    std::uint16_t u;
    std::memcpy(&u, static_cast<const unsigned char*>(pSource) + 2 * n, 2);
    pDest[n] = Fold(u);
  }
  return static_cast<int>(n);
}

int CStandInXQConverter::nConvertUCS4(std::uint16_t* pDest, std::size_t nUnits, const void* pSource,
                                      std::size_t nBytes, int bNoPunctuation, int bNoAccent, int bIgnoreCase) {
  ++m_nCalls;
  m_stLast = {18, nUnits, nBytes, bNoPunctuation, bNoAccent, bIgnoreCase};
  std::size_t n = 0;
  for (std::size_t i = 0; i < nBytes / 4 && n < nUnits; ++i) {
    std::uint32_t c;
    std::memcpy(&c, static_cast<const unsigned char*>(pSource) + 4 * i, 4);
    if (c < 0x10000) {
      pDest[n++] = Fold(static_cast<std::uint16_t>(c));
    } else if (c <= 0x10FFFF && n + 2 <= nUnits) {
      c -= 0x10000;
      pDest[n++] = static_cast<std::uint16_t>(0xD800 + (c >> 10));
      pDest[n++] = static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF));
    } else {
      break;
    }
  }
  return static_cast<int>(n);
}

IXQTextConverter* CStandInXQ::piGetTextConverter(int bIgnoreCase, int bNoAccent, std::size_t nBytes,
                                                 unsigned short nOptions, int bFourByteInput) {
  ++m_nRequests;
  m_stLast = {bIgnoreCase, bNoAccent, nBytes, nOptions, bFourByteInput};
  return m_bHasConverter ? &m_clConverter : nullptr;
}

#define KX_STANDIN_XQ_RESERVED(cls, n) \
  void cls::_Reserved##n() { ReservedSlot(#cls, n); }
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 0) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 1)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 2) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 3)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 4) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 5)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 6) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 7)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 8) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 9)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 10) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 11)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 12) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 13)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 14) KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 15)
KX_STANDIN_XQ_RESERVED(CStandInXQConverter, 16)
KX_STANDIN_XQ_RESERVED(CStandInXQ, 0) KX_STANDIN_XQ_RESERVED(CStandInXQ, 1) KX_STANDIN_XQ_RESERVED(CStandInXQ, 2)
KX_STANDIN_XQ_RESERVED(CStandInXQ, 3) KX_STANDIN_XQ_RESERVED(CStandInXQ, 4) KX_STANDIN_XQ_RESERVED(CStandInXQ, 5)
KX_STANDIN_XQ_RESERVED(CStandInXQ, 6)
#undef KX_STANDIN_XQ_RESERVED
