// Text conversions kxhost prints with: the library hands texts out as wide
// strings (error texts, names) and as UTF-16 inside record buffers; kxhost
// prints UTF-8.
//
// Utf8 and Utf8FromUtf16 never fail: a lone surrogate is written as its own
// code point (what a terminal shows for it does not matter to kxhost).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Appends code point `c` to `s` in UTF-8.
inline void AppendUtf8(std::string& s, std::uint32_t c) {
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A wide string (one code point per wchar_t) in UTF-8; null gives "".
inline std::string Utf8(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) AppendUtf8(s, static_cast<std::uint32_t>(*psz));
  return s;
}

// At most `nUnits` UTF-16 units (up to the first 0) in UTF-8, surrogate
// pairs joined.
inline std::string Utf8FromUtf16(const std::uint16_t* p, std::size_t nUnits) {
  std::string s;
  for (std::size_t i = 0; i < nUnits && p[i] != 0; ++i) {
    std::uint32_t c = p[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < nUnits && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(s, c);
  }
  return s;
}
