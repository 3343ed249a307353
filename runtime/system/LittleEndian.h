// Little-endian reading and writing of unsigned integers in byte buffers, for
// the file and archive formats of the runtime and the installer, which store
// every number least significant byte first whatever the machine.
//
// Each function touches exactly the N bytes at p (N = 2, 4 or 8) and nothing
// else; p needs no alignment. The caller owns the buffer and guarantees the N
// bytes are inside it.
#pragma once

#include <cstdint>

namespace kx_le {

inline std::uint16_t Get16(const void* p) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

inline std::uint32_t Get32(const void* p) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

inline std::uint64_t Get64(const void* p) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::uint64_t>(Get32(b)) | (static_cast<std::uint64_t>(Get32(b + 4)) << 32);
}

inline void Put16(void* p, std::uint16_t v) {
  auto* b = static_cast<std::uint8_t*>(p);
  b[0] = static_cast<std::uint8_t>(v);
  b[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Put32(void* p, std::uint32_t v) {
  auto* b = static_cast<std::uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void Put64(void* p, std::uint64_t v) {
  auto* b = static_cast<std::uint8_t*>(p);
  Put32(b, static_cast<std::uint32_t>(v));
  Put32(b + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace kx_le
