#include "PasswordBytes.h"

#include <cwchar>

#include "StrFunctions.h"

namespace {

void AddUnit(std::vector<unsigned char>& bytes, unsigned unit) {
  bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
  bytes.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
}

}  // namespace

std::vector<unsigned char> PasswordToBytes(const wchar_t* password) {
  std::vector<unsigned char> bytes;
  if (password == nullptr) return bytes;
  const std::size_t n = std::wcslen(password);
  if (bLatin1(password)) {
    bytes.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
      bytes.push_back(static_cast<unsigned char>(STR_ToCP1252(password[i], '?', nullptr)));
    return bytes;
  }
  bytes.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    // wchar_t holds 32 bits here: a character beyond the 16-bit plane takes
    // two units.
    const long c = static_cast<long>(password[i]);
    if (c < 0 || c > 0x10FFFF) {
      AddUnit(bytes, 0xFFFD);
    } else if (c > 0xFFFF) {
      const unsigned v = static_cast<unsigned>(c - 0x10000);
      AddUnit(bytes, 0xD800 | (v >> 10));
      AddUnit(bytes, 0xDC00 | (v & 0x3FF));
    } else {
      AddUnit(bytes, static_cast<unsigned>(c));
    }
  }
  return bytes;
}
