// Bytes as hexadecimal text and back, for the live tests: literals the
// server reads as X'..' and the answers of its HEX() function.
//
// Needs nothing but the standard library; no state.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace kxtest {

// Every byte of `s` as two upper-case hexadecimal digits, in order; "" for "".
inline std::string Hex(const std::string& s) {
  std::string r;
  char sz[3];
  for (unsigned char c : s) {
    std::snprintf(sz, sizeof sz, "%02X", c);
    r += sz;
  }
  return r;
}

// The bytes written as pairs of hexadecimal digits in `s` (either case); an
// odd last digit is ignored. Before: `s` holds only hexadecimal digits
// (std::stoi throws on anything else).
inline std::string Unhex(const std::string& s) {
  std::string r;
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) r += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
  return r;
}

}  // namespace kxtest
