// Upper bound of the length of printf-style output, used to size a buffer
// before formatting into it.
//
// The walk reads every argument the formatter reads, with the same type, so
// that the values seen stay in step with the format. The bounds per
// conversion:
// - integers (d i o u x X p): max(|width|, precision + 3, 32); the I32 and
//   I64 prefixes count as a width of 32 and 64 (the 8-bit formatter takes
//   "I64" as its flag I followed by the width 64);
// - floating point (e E f F g G a A): max(|width|, precision + 330), the
//   precision being 6 when absent; long double: precision + 4950 (the largest
//   values have 309 and 4933 integer digits);
// - strings: max(|width|, min(length, precision)), the length read no
//   further than the precision (the text need not be terminated then); null:
//   max(|width|, 6) for "(null)"; wide text written by the 8-bit formatter
//   counts MB_CUR_MAX bytes a character;
// - characters: max(|width|, 2) (MB_CUR_MAX for a wide one in 8-bit output);
// - '#' adds 2 (the "0x" of the alternate forms); 'n' writes nothing.
// Literal characters count 1, or 4 in the wide form, whose callers have always
// been sized this way.

#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "StrFunctions.h"

namespace {

enum eSize { SZ_NONE, SZ_H, SZ_HH, SZ_L, SZ_LL, SZ_BIGL, SZ_Q, SZ_J, SZ_Z, SZ_T, SZ_I32, SZ_I64 };

template <typename T>
long ReadNumber(const T*& p) {
  long value = 0;
  while (*p >= '0' && *p <= '9') {
    if (value < INT_MAX) value = value * 10 + (*p - '0');
    ++p;
  }
  return value > INT_MAX ? INT_MAX : value;
}

// Size prefixes after flags, width and precision; 'N' (a far/near marker of
// old formats) is skipped.
template <typename T>
eSize ReadSize(const T*& p) {
  eSize size = SZ_NONE;
  for (;;) {
    switch (*p) {
      case 'h':
        size = p[1] == 'h' ? SZ_HH : SZ_H;
        p += size == SZ_HH ? 2 : 1;
        break;
      case 'l':
        size = p[1] == 'l' ? SZ_LL : SZ_L;
        p += size == SZ_LL ? 2 : 1;
        break;
      case 'L': size = SZ_BIGL; ++p; break;
      case 'q': size = SZ_Q; ++p; break;
      case 'j': size = SZ_J; ++p; break;
      case 'z': size = SZ_Z; ++p; break;
      case 't': size = SZ_T; ++p; break;
      case 'N': ++p; break;
      case 'I':
        if (p[1] == '6' && p[2] == '4') {
          size = SZ_I64;
        } else if (p[1] == '3' && p[2] == '2') {
          size = SZ_I32;
        } else {
          return size;  // a lone 'I' is no prefix
        }
        p += 3;
        break;
      default: return size;
    }
  }
}

// Prefixes under which the system formatter takes a 64-bit integer, and a
// wide character or string.
bool IsLong(eSize size, bool wideForm) {
  switch (size) {
    case SZ_L:
    case SZ_LL:
    case SZ_BIGL:
    case SZ_Q:
    case SZ_J:
    case SZ_Z:
    case SZ_T: return true;
    case SZ_I64: return wideForm;  // the wide formatter rewrites it as "ll"
    default: return false;
  }
}

// Whether a character or string conversion takes wide text: the 8-bit
// formatter reads `S`, `C` and the long prefixes as wide; the wide formatter
// reads them the Windows way for no prefix, 'h' and 'l', and hands the others
// to the system formatter unchanged.
bool TakesWideText(bool wideForm, bool upper, eSize size) {
  if (!wideForm) return upper || IsLong(size, false);
  switch (size) {
    case SZ_NONE:
    case SZ_I32: return !upper;
    case SZ_H: return false;
    case SZ_L: return true;
    default: return upper || IsLong(size, true);
  }
}

long Max(long a, long b) { return a > b ? a : b; }

template <typename T>
long Estimate(const T* format, va_list args) {
  constexpr bool kWideForm = sizeof(T) != 1;
  const long literal = kWideForm ? 4 : 1;
  // Units one wide character becomes in the output.
  const long perWideChar = kWideForm ? 1 : static_cast<long>(MB_CUR_MAX);
  long total = 0;
  if (format == nullptr) return 0;

  va_list ap;
  va_copy(ap, args);
  const T* p = format;
  while (*p != 0) {
    if (*p != '%') {
      total += literal;
      ++p;
      continue;
    }
    ++p;
    if (*p == '%') {
      total += literal;
      ++p;
      continue;
    }
    long extra = 0;
    for (;; ++p) {
      if (*p == '-' || *p == '+' || *p == ' ' || *p == '0') continue;
      if (*p == '#') {
        extra = 2;
        continue;
      }
      break;
    }
    long width;
    if (*p == '*') {
      const int w = va_arg(ap, int);
      width = w < 0 ? -static_cast<long>(w) : w;
      ++p;
    } else {
      width = ReadNumber(p);
    }
    long precision = -1;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        const int pr = va_arg(ap, int);
        precision = pr < 0 ? -1 : pr;  // a negative precision is taken as none
        ++p;
      } else {
        precision = ReadNumber(p);
      }
    }
    const eSize size = ReadSize(p);
    if (size == SZ_I32) width = Max(width, 32);
    if (size == SZ_I64) width = Max(width, 64);
    const T conversion = *p;
    if (conversion == 0) break;
    ++p;

    long count = 0;
    switch (conversion) {
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        if (IsLong(size, kWideForm)) {
          (void)va_arg(ap, long long);
        } else {
          (void)va_arg(ap, int);
        }
        count = Max(Max(width, precision + 3), 32) + extra;
        break;
      case 'p':
        (void)va_arg(ap, void*);
        count = Max(Max(width, precision + 3), 32) + extra;
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A': {
        const bool longDouble = size == SZ_BIGL || size == SZ_LL || size == SZ_Q ||
                                (kWideForm && size == SZ_I64);
        if (longDouble) {
          (void)va_arg(ap, long double);
        } else {
          (void)va_arg(ap, double);
        }
        const long digits = precision < 0 ? 6 : precision;
        count = Max(width, digits + (longDouble ? 4950 : 330)) + extra;
        break;
      }
      case 'c':
      case 'C': {
        const bool wide = TakesWideText(kWideForm, conversion == 'C', size);
        (void)va_arg(ap, int);
        count = Max(width, Max(2, wide ? perWideChar : 1));
        break;
      }
      case 's':
      case 'S': {
        const bool wide = TakesWideText(kWideForm, conversion == 'S', size);
        const std::size_t limit =
            precision < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(precision);
        long length;
        if (wide) {
          const wchar_t* text = va_arg(ap, const wchar_t*);
          length = text == nullptr ? -1 : static_cast<long>(wcsnlen(text, limit)) * perWideChar;
        } else {
          const char* text = va_arg(ap, const char*);
          length = text == nullptr ? -1 : static_cast<long>(strnlen(text, limit));
        }
        if (length < 0) {
          count = Max(width, 6);
        } else {
          if (precision >= 0 && length > precision) length = precision;
          count = Max(width, length);
        }
        break;
      }
      case 'n': (void)va_arg(ap, void*); break;
      default:
        // Not a conversion this walk knows (a positional N$ ends here too):
        // it takes no argument, and the count is no bound any more.
        break;
    }
    total += count;
  }
  va_end(ap);
  return total;
}

}  // namespace

template <typename T>
long STRG_nCalculeLongueurPrintf(const T* format, va_list args) {
  return Estimate(format, args);
}

template long STRG_nCalculeLongueurPrintf<char>(const char* format, va_list args);
template long STRG_nCalculeLongueurPrintf<wchar_t>(const wchar_t* format, va_list args);
