#include "NumberText.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <cwctype>

namespace {

// Digits of `value` in `radix` into `out`, most significant first, NUL
// ended; returns the end (the NUL).
template <typename Char>
Char* WriteUnsigned(unsigned long long value, Char* out, int radix) {
  Char digits[64];
  int count = 0;
  const unsigned long long base = static_cast<unsigned long long>(radix);
  do {
    const unsigned digit = static_cast<unsigned>(value % base);
    digits[count++] = static_cast<Char>(digit < 10 ? '0' + digit : 'a' + (digit - 10));
    value /= base;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  *out = 0;
  return out;
}

template <typename Char>
Char* WriteSigned(long long value, Char* buffer, int radix) {
  Char* out = buffer;
  unsigned long long magnitude = static_cast<unsigned long long>(value);
  if (value < 0) {
    *out++ = '-';
    // Two's-complement negation in unsigned arithmetic also holds for the
    // most negative value.
    magnitude = 0ULL - magnitude;
  }
  WriteUnsigned(magnitude, out, radix);
  return buffer;
}

template <typename Char>
Char* Fill(Char* text, Char c, std::size_t n) {
  if (text == nullptr) return text;
  for (std::size_t i = 0; i < n && text[i] != 0; ++i) text[i] = c;
  return text;
}

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

char* ui64toa(unsigned long long value, char* buffer, int radix) {
  WriteUnsigned(value, buffer, radix);
  return buffer;
}
char* ultoa(unsigned long value, char* buffer, int radix) { return ui64toa(value, buffer, radix); }
wchar_t* ui64tow(unsigned long long value, wchar_t* buffer, int radix) {
  WriteUnsigned(value, buffer, radix);
  return buffer;
}
wchar_t* ultow(unsigned long value, wchar_t* buffer, int radix) { return ui64tow(value, buffer, radix); }

char* i64toa(long long value, char* buffer, int radix) { return WriteSigned(value, buffer, radix); }
char* ltoa(long value, char* buffer, int radix) { return WriteSigned<char>(value, buffer, radix); }
char* itoa(int value, char* buffer, int radix) { return WriteSigned<char>(value, buffer, radix); }
wchar_t* i64tow(long long value, wchar_t* buffer, int radix) { return WriteSigned(value, buffer, radix); }
wchar_t* ltow(long value, wchar_t* buffer, int radix) { return WriteSigned<wchar_t>(value, buffer, radix); }
wchar_t* itow(int value, wchar_t* buffer, int radix) { return WriteSigned<wchar_t>(value, buffer, radix); }

wchar_t* my_struprW(wchar_t* text) {
  if (text == nullptr) return text;
  for (wchar_t* p = text; *p != 0; ++p) *p = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(*p)));
  return text;
}
char* my_struprA(char* text) {
  if (text == nullptr) return text;
  for (char* p = text; *p != 0; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return text;
}
wchar_t* my_strlwrW(wchar_t* text) {
  if (text == nullptr) return text;
  for (wchar_t* p = text; *p != 0; ++p) *p = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*p)));
  return text;
}
char* my_strlwrA(char* text) {
  if (text == nullptr) return text;
  for (char* p = text; *p != 0; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  return text;
}

char* _strset(char* text, int c) { return Fill(text, static_cast<char>(c), SIZE_MAX); }
char* _strnset(char* text, int c, std::size_t n) { return Fill(text, static_cast<char>(c), n); }
wchar_t* wcsset(wchar_t* text, wchar_t c) { return Fill(text, c, SIZE_MAX); }
wchar_t* wcsnset(wchar_t* text, wchar_t c, std::size_t n) { return Fill(text, c, n); }

std::size_t xwcsnlen(const wchar_t* text, std::size_t max) {
  std::size_t n = 0;
  while (n < max && text[n] != 0) ++n;
  return n;
}
std::size_t xstrnlen(const char* text, std::size_t max) {
  std::size_t n = 0;
  while (n < max && text[n] != 0) ++n;
  return n;
}

int nGetEntierHexa4(const wchar_t* text) {
  int value = 0;
  for (int i = 0; i < 4; ++i) {
    // A NUL is not a hex digit, so a short text stops here before any read
    // past its end.
    const int digit = HexValue(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

int nGetEntierHexa(const wchar_t* text, int* count) {
  std::uint32_t value = 0;
  int read = 0;
  while (text[read] != 0 && std::iswxdigit(static_cast<wint_t>(text[read]))) {
    const int digit = HexValue(text[read]);
    // iswxdigit may accept more than the ASCII digits in some locale; such a
    // character ends the number like any other.
    if (digit < 0) break;
    value = value * 16u + static_cast<std::uint32_t>(digit);
    ++read;
  }
  if (count != nullptr) *count = read;
  return static_cast<int>(value);
}

void* xmemmem(const void* buffer, std::size_t size, const void* pattern, std::size_t length) {
  if (length == 0 || size == 0 || length > size) return nullptr;
  const unsigned char* hay = static_cast<const unsigned char*>(buffer);
  const unsigned char* needle = static_cast<const unsigned char*>(pattern);
  if (length == 1) return const_cast<void*>(std::memchr(hay, needle[0], size));
  const std::size_t lastStart = size - length;
  for (std::size_t i = 0; i <= lastStart;) {
    const void* found = std::memchr(hay + i, needle[0], lastStart - i + 1);
    if (found == nullptr) return nullptr;
    const std::size_t at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - hay);
    if (std::memcmp(hay + at + 1, needle + 1, length - 1) == 0) return const_cast<unsigned char*>(hay + at);
    i = at + 1;
  }
  return nullptr;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  // Half of |c| moves the product away from zero before the truncating
  // division, so halves round away from zero whatever the signs.
  const std::int64_t divisor = c;
  const std::int64_t half = (divisor < 0 ? -divisor : divisor) / 2;
  const std::int64_t result = (product < 0 ? product - half : product + half) / divisor;
  if (result < INT32_MIN || result > INT32_MAX) return -1;
  return static_cast<int>(result);
}
