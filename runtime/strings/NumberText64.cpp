#include "NumberText64.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "CodePage.h"

namespace {

// Writes the digits of `value` into `out` (terminated); empty text for a
// radix outside 2 to 36.
template <typename Char>
Char* pWriteDigits(unsigned long long value, bool bNegative, Char* out, int radix) {
  if (radix < 2 || radix > 36) {
    out[0] = 0;
    return out;
  }
  Char acWork[64];  // 64 digits: the whole range in radix 2
  int n = 0;
  const auto uRadix = static_cast<unsigned long long>(radix);
  do {
    const auto nDigit = static_cast<int>(value % uRadix);
    acWork[n++] = static_cast<Char>(nDigit < 10 ? '0' + nDigit : 'a' + nDigit - 10);
    value /= uRadix;
  } while (value != 0);
  Char* p = out;
  if (bNegative) *p++ = '-';
  while (n > 0) *p++ = acWork[--n];
  *p = 0;
  return out;
}

// Magnitude of a signed value, exact also for the most negative one.
unsigned long long uMagnitude(long long value) {
  const auto u = static_cast<unsigned long long>(value);
  return value < 0 ? 0ULL - u : u;
}

// The first 100 characters of `wide` as code page 1252 text into `out`
// (101 bytes), terminated.
void ToCP1252(const wchar_t* wide, char (&out)[101]) {
  std::memset(out, 0, sizeof out);
  if (wide == nullptr) return;
  const std::size_t n = std::wcslen(wide);
  const int nChars = static_cast<int>(n < 100 ? n : 100);
  if (nChars > 0) WideCharToMultiByte(1252, 0, wide, nChars, out, 100, nullptr, nullptr);
}

}  // namespace

wchar_t* _ui64towVlm(unsigned long long value, wchar_t* out, int radix) {
  return pWriteDigits(value, false, out, radix);
}

char* _ui64toaVlm(unsigned long long value, char* out, int radix) {
  return pWriteDigits(value, false, out, radix);
}

wchar_t* _i64towVlm(long long value, wchar_t* out, int radix) {
  return pWriteDigits(uMagnitude(value), value < 0, out, radix);
}

char* _i64toaVlm(long long value, char* out, int radix) {
  return pWriteDigits(uMagnitude(value), value < 0, out, radix);
}

long long _wtoi64Vlm(const wchar_t* wide) {
  char ac[101];
  ToCP1252(wide, ac);
  return std::strtoll(ac, nullptr, 10);
}

double wtof(const wchar_t* wide) {
  char ac[101];
  ToCP1252(wide, ac);
  return std::strtod(ac, nullptr);
}

wchar_t* _wgcvt(double value, int digits, wchar_t* out) {
  char ac[64];
  gcvt(value, digits > 17 ? 17 : digits, ac);
  const int nLen = static_cast<int>(std::strlen(ac));
  const int nWide = MultiByteToWideChar(1252, 0, ac, nLen, out, nLen);
  out[nWide > 0 ? nWide : 0] = 0;
  return out;
}
