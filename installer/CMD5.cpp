#include "CMD5.h"

#include "LittleEndian.h"

#include <cstring>

namespace {

inline std::uint32_t Rotl(std::uint32_t x, unsigned n) {
  n &= 31;
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}

// Additive constants: floor(abs(sin(i + 1)) * 2^32).
constexpr std::uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

// Shift amounts of each round, four per round.
constexpr unsigned kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

}  // namespace

CMD5::CMD5() { Reset(); }

void CMD5::Reset() {
  m_bHasData = false;
  m_adwState[0] = 0x67452301;
  m_adwState[1] = 0xEFCDAB89;
  m_adwState[2] = 0x98BADCFE;
  m_adwState[3] = 0x10325476;
  m_adwBits[0] = 0;
  m_adwBits[1] = 0;
  std::memset(m_abyBuffer, 0, sizeof m_abyBuffer);
}

void CMD5::Transform(const unsigned char* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = kx_le::Get32(block + 4 * i);
  std::uint32_t a = m_adwState[0], b = m_adwState[1], c = m_adwState[2], d = m_adwState[3];
  for (unsigned i = 0; i < 64; ++i) {
    std::uint32_t f;
    unsigned g;
    switch (i / 16) {
      case 0:
        f = (b & c) | (~b & d);
        g = i;
        break;
      case 1:
        f = (b & d) | (c & ~d);
        g = (5 * i + 1) % 16;
        break;
      case 2:
        f = b ^ c ^ d;
        g = (3 * i + 5) % 16;
        break;
      default:
        f = c ^ (b | ~d);
        g = (7 * i) % 16;
        break;
    }
    const std::uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kT[i] + x[g], kShift[i / 16][i % 4]);
    a = t;
  }
  m_adwState[0] += a;
  m_adwState[1] += b;
  m_adwState[2] += c;
  m_adwState[3] += d;
}

void CMD5::AddData(const void* data, unsigned length) {
  if (length == 0) return;
  m_bHasData = true;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  unsigned nUsed = (m_adwBits[0] >> 3) & 63;
  // 64-bit bit count in two halves: the carry goes into the high half.
  const std::uint64_t nBits = static_cast<std::uint64_t>(length) << 3;
  const std::uint32_t nOld = m_adwBits[0];
  m_adwBits[0] += static_cast<std::uint32_t>(nBits);
  if (m_adwBits[0] < nOld) ++m_adwBits[1];
  m_adwBits[1] += static_cast<std::uint32_t>(nBits >> 32);

  if (nUsed != 0) {
    const unsigned nFree = 64 - nUsed;
    if (length < nFree) {
      std::memcpy(m_abyBuffer + nUsed, p, length);
      return;
    }
    std::memcpy(m_abyBuffer + nUsed, p, nFree);
    Transform(m_abyBuffer);
    p += nFree;
    length -= nFree;
  }
  while (length >= 64) {
    Transform(p);
    p += 64;
    length -= 64;
  }
  if (length > 0) std::memcpy(m_abyBuffer, p, length);
}

void CMD5::FinalDigest(unsigned char* out) {
  unsigned char abyLength[8];
  kx_le::Put32(abyLength, m_adwBits[0]);
  kx_le::Put32(abyLength + 4, m_adwBits[1]);
  const unsigned nUsed = (m_adwBits[0] >> 3) & 63;
  const unsigned nPad = nUsed < 56 ? 56 - nUsed : 120 - nUsed;
  static const unsigned char kPadding[64] = {0x80};
  AddData(kPadding, nPad);
  AddData(abyLength, 8);
  for (int i = 0; i < 4; ++i) kx_le::Put32(out + 4 * i, m_adwState[i]);
  Reset();
}
