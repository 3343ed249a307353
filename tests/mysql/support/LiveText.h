// Texts of the live tests: the server's UTF-8 answers as wide text, and wide
// texts as ASCII for failure messages.
#pragma once

#include <cstddef>
#include <string>

namespace kxtest {

// UTF-8 to wide text; a malformed or cut sequence gives U+FFFD for its lead
// byte and decoding goes on after it.
inline std::wstring WideFromUTF8(const std::string& s) {
  std::wstring w;
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t nLength = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool bValid = nLength != 0 && i + nLength <= n;
    unsigned long cp = nLength == 1 ? c : nLength == 2 ? (c & 0x1Fu) : nLength == 3 ? (c & 0x0Fu) : (c & 0x07u);
    for (std::size_t k = 1; bValid && k < nLength; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) bValid = false;
      cp = (cp << 6) | (t & 0x3Fu);
    }
    if (!bValid) {
      w += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    w += static_cast<wchar_t>(cp);
    i += nLength;
  }
  return w;
}

// Wide text as ASCII ('?' for anything else); null gives "".
inline std::string Narrow(const wchar_t* psz) {
  std::string s;
  for (; psz != nullptr && *psz != 0; ++psz) s += *psz < 0x80 ? static_cast<char>(*psz) : '?';
  return s;
}

}  // namespace kxtest
