// CMD5: the MD5 message digest (RFC 1321) behind IMessageDigest.
//
// Bytes fed with AddData are gathered into 64-byte blocks; whole blocks of
// the input are transformed straight from the caller's memory. FinalDigest
// pads the message (0x80, zeros, the bit length as 64-bit little-endian),
// writes the 16-byte digest and resets the object. The bit length is kept as
// two 32-bit halves, so messages of 512 MiB and more keep a correct count.
#pragma once

#include <cstdint>

#include "IMessageDigest.h"

class CMD5 : public CMessageDigestBase {
 public:
  // A new object is reset.
  CMD5();
  ~CMD5() override = default;

  void AddData(const void* data, unsigned length) override;
  // Writes 16 bytes to `out`, then resets.
  void FinalDigest(unsigned char* out) override;
  void Reset() override;
  std::uint32_t dwGetDigestSize() override { return 16; }

 private:
  // One 64-byte block into the state.
  void Transform(const unsigned char* block);

  bool m_bHasData = false;
  std::uint32_t m_adwState[4];
  // Message length in bits: low and high halves.
  std::uint32_t m_adwBits[2];
  unsigned char m_abyBuffer[64];
};
