#include "CCrypt.h"

#include "LittleEndian.h"

#include <cstring>
#include <new>
#include <vector>

#include "PasswordBytes.h"

namespace {

// Rotation amounts are masked: a shift by 32 would be undefined.
inline std::uint32_t Rotl(std::uint32_t x, std::uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}

inline std::uint32_t Rotr(std::uint32_t x, std::uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x >> n) | (x << (32 - n));
}

// Rotations of a 4-bit value by the low 2 bits of n.
inline unsigned Rotl4(unsigned x, unsigned n) {
  n &= 3;
  x &= 15;
  return n == 0 ? x : ((x << n) | (x >> (4 - n))) & 15;
}

inline unsigned Rotr4(unsigned x, unsigned n) {
  n &= 3;
  x &= 15;
  return n == 0 ? x : ((x >> n) | (x << (4 - n))) & 15;
}

constexpr std::uint32_t kRc5P = 0xB7E15163;
constexpr std::uint32_t kRc5Q = 0x9E3779B9;

}  // namespace

// ---- CCrypt ------------------------------------------------------------------

CCrypt::CCrypt() { std::memset(m_abyKey, 0, sizeof m_abyKey); }

bool CCrypt::bSetCryptKey(const void* bytes, unsigned length) {
  std::memset(m_abyKey, 0, sizeof m_abyKey);
  const unsigned n = length < knKeySize ? length : knKeySize;
  if (n > 0) std::memcpy(m_abyKey, bytes, n);
  return true;
}

bool CCrypt::bSetCryptKey(const unsigned char* key16) {
  std::memcpy(m_abyKey, key16, knKeySize);
  return true;
}

void CCrypt::BuildCryptKey(unsigned char* key16, const wchar_t* password) {
  const std::vector<unsigned char> bytes = PasswordToBytes(password);
  BuildCryptKeyBinary(key16, bytes.data(), static_cast<unsigned>(bytes.size()));
}

void CCrypt::BuildCryptKeyAnsi(unsigned char* key16, const char* password) {
  const unsigned n = password == nullptr ? 0 : static_cast<unsigned>(std::strlen(password));
  BuildCryptKeyBinary(key16, password, n);
}

// ---- CCryptRC5 ---------------------------------------------------------------

CCryptRC5::CCryptRC5(int nRounds) : m_nRounds(nRounds) {}

CCryptRC5::~CCryptRC5() { delete[] m_pdwS; }

bool CCryptRC5::bSetCryptKey(const void* bytes, unsigned length) {
  if (!bRoundsValid()) return false;
  unsigned char abyOld[knKeySize];
  std::memcpy(abyOld, m_abyKey, knKeySize);
  CCrypt::bSetCryptKey(bytes, length);
  if (__bInitTableCle()) return true;
  std::memcpy(m_abyKey, abyOld, knKeySize);
  return false;
}

bool CCryptRC5::bSetCryptKey(const unsigned char* key16) {
  return bSetCryptKey(static_cast<const void*>(key16), knKeySize);
}

bool CCryptRC5::bSetPassword(const wchar_t* password) {
  unsigned char abyKey[knKeySize];
  BuildCryptKey(abyKey, password);
  return bSetCryptKey(abyKey);
}

bool CCryptRC5::bSetPasswordAnsi(const char* password) {
  unsigned char abyKey[knKeySize];
  BuildCryptKeyAnsi(abyKey, password);
  return bSetCryptKey(abyKey);
}

bool CCryptRC5::__bInitTableCle() {
  const unsigned t = 2 * static_cast<unsigned>(m_nRounds) + 2;
  std::uint32_t* pdwS = new (std::nothrow) std::uint32_t[t];
  if (pdwS == nullptr) return false;
  std::uint32_t L[4];
  for (int j = 0; j < 4; ++j) L[j] = kx_le::Get32(m_abyKey + 4 * j);
  pdwS[0] = kRc5P;
  for (unsigned i = 1; i < t; ++i) pdwS[i] = pdwS[i - 1] + kRc5Q;
  std::uint32_t A = 0, B = 0;
  unsigned i = 0, j = 0;
  for (unsigned k = 0; k < 3 * t; ++k) {
    A = pdwS[i] = Rotl(pdwS[i] + A + B, 3);
    B = L[j] = Rotl(L[j] + A + B, A + B);
    i = (i + 1) % t;
    j = (j + 1) % 4;
  }
  delete[] m_pdwS;
  m_pdwS = pdwS;
  return true;
}

void CCryptRC5::Crypt(void* data, unsigned length, const unsigned char* key16) {
  if (key16 != nullptr) bSetCryptKey(key16);
  if (m_pdwS == nullptr || length == 0) return;
  const std::uint32_t* S = m_pdwS;
  const unsigned r = static_cast<unsigned>(m_nRounds);
  unsigned char* p = static_cast<unsigned char*>(data);
  std::uint32_t dwPrevLow = 0, dwPrevHigh = 0;
  unsigned nPrevByte = 0;
  unsigned nPos = 0;
  for (; length - nPos >= 8; nPos += 8) {
    unsigned char* block = p + nPos;
    std::uint32_t A = (kx_le::Get32(block + 4) ^ dwPrevHigh) + S[0];
    std::uint32_t B = (kx_le::Get32(block) ^ dwPrevLow) + S[1];
    for (unsigned i = 1; i <= r; ++i) {
      A = Rotl(A ^ B, B) + S[2 * i];
      B = Rotl(B ^ A, A) + S[2 * i + 1];
    }
    kx_le::Put32(block + 4, A);
    kx_le::Put32(block, B);
    dwPrevHigh = A;
    dwPrevLow = B;
    nPrevByte = block[7];
  }
  // The tail: each byte through the same rounds on its two nibbles.
  for (; nPos < length; ++nPos) {
    const unsigned x = p[nPos] ^ nPrevByte;
    unsigned A = ((x >> 4) + S[0]) & 15;
    unsigned B = ((x & 15) + S[1]) & 15;
    for (unsigned i = 1; i <= r; ++i) {
      A = (Rotl4(A ^ B, B) + S[2 * i]) & 15;
      B = (Rotl4(B ^ A, A) + S[2 * i + 1]) & 15;
    }
    p[nPos] = static_cast<unsigned char>(A << 4 | B);
    nPrevByte = p[nPos];
  }
}

void CCryptRC5::Uncrypt(void* data, unsigned length, const unsigned char* key16) {
  if (key16 != nullptr) bSetCryptKey(key16);
  if (m_pdwS == nullptr || length == 0) return;
  const std::uint32_t* S = m_pdwS;
  const unsigned r = static_cast<unsigned>(m_nRounds);
  unsigned char* p = static_cast<unsigned char*>(data);
  std::uint32_t dwPrevLow = 0, dwPrevHigh = 0;
  unsigned nPrevByte = 0;
  unsigned nPos = 0;
  for (; length - nPos >= 8; nPos += 8) {
    unsigned char* block = p + nPos;
    const std::uint32_t dwInHigh = kx_le::Get32(block + 4);
    const std::uint32_t dwInLow = kx_le::Get32(block);
    std::uint32_t A = dwInHigh;
    std::uint32_t B = dwInLow;
    for (unsigned i = r; i >= 1; --i) {
      B = Rotr(B - S[2 * i + 1], A) ^ A;
      A = Rotr(A - S[2 * i], B) ^ B;
    }
    B -= S[1];
    A -= S[0];
    kx_le::Put32(block + 4, A ^ dwPrevHigh);
    kx_le::Put32(block, B ^ dwPrevLow);
    dwPrevHigh = dwInHigh;
    dwPrevLow = dwInLow;
    nPrevByte = dwInHigh >> 24;
  }
  for (; nPos < length; ++nPos) {
    const unsigned nIn = p[nPos];
    unsigned A = nIn >> 4;
    unsigned B = nIn & 15;
    for (unsigned i = r; i >= 1; --i) {
      B = Rotr4((B - S[2 * i + 1]) & 15, A) ^ A;
      A = Rotr4((A - S[2 * i]) & 15, B) ^ B;
    }
    B = (B - S[1]) & 15;
    A = (A - S[0]) & 15;
    p[nPos] = static_cast<unsigned char>((A << 4 | B) ^ nPrevByte);
    nPrevByte = nIn;
  }
}

void CCryptRC5::BuildCryptKeyBinary(unsigned char* key16, const void* bytes, unsigned length) {
  // Message: the bytes, 0x01, zeros, and the byte count in the last 4 bytes
  // of the last 64-byte block (over the 0x01 when length mod 64 is 60).
  const std::size_t m = (static_cast<std::size_t>(length) + 4 + 63) / 64 * 64;
  std::vector<unsigned char> msg(m, 0);
  if (length > 0) std::memcpy(msg.data(), bytes, length);
  msg[length] = 0x01;
  kx_le::Put32(msg.data() + m - 4, length);

  std::uint32_t H[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::uint32_t W[80];
  for (std::size_t off = 0; off < m; off += 64) {
    for (int t = 0; t < 16; ++t) W[t] = kx_le::Get32(msg.data() + off + 4 * t);
    for (int t = 16; t < 80; ++t) W[t] = W[t - 3] ^ W[t - 8] ^ W[t - 14] ^ W[t - 16];
    std::uint32_t a = H[0], b = H[1], c = H[2], d = H[3], e = H[4];
    for (int t = 0; t < 80; ++t) {
      std::uint32_t f, k;
      if (t < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (t < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (t < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
      }
      const std::uint32_t T = Rotl(a, 5) + f + e + k + W[t];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = T;
    }
    H[0] += a;
    H[1] += b;
    H[2] += c;
    H[3] += d;
    H[4] += e;
  }
  for (int i = 0; i < 4; ++i) kx_le::Put32(key16 + 4 * i, H[i]);
}
