#include "BuiltinLocale.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {

using UChar = std::uint32_t;

constexpr unsigned int FLAG_UPPER = 0x1;
constexpr unsigned int FLAG_NO_ACCENT = 0x2;
constexpr unsigned int FLAG_NO_PUNCT = 0x4;
constexpr unsigned int FLAG_LOWER = 0x100;
constexpr unsigned int FLAG_DICTIONARY = 0x20000000;

// Code page 1252 at 0x80..0x9F; the five bytes it leaves undefined stand for
// the control characters of the same value, so every byte has a character.
constexpr UChar kaCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr UChar FromCp1252(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? kaCp1252High[b - 0x80] : b;
}

// False when the character has no byte in code page 1252.
constexpr bool bToCp1252(UChar c, unsigned char& b) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    b = static_cast<unsigned char>(c);
    return true;
  }
  for (unsigned i = 0; i < 32; ++i) {
    if (kaCp1252High[i] == c) {
      b = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

// Base letters of U+00C0..U+00FF and U+0100..U+017F; '.' keeps the character.
constexpr char kszBaseLatin1[] =
    "AAAAAA.CEEEEIIII.NOOOOO.OUUUUY.."
    "aaaaaa.ceeeeiiii.nooooo.ouuuuy.y";
constexpr char kszBaseExtendedA[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiI...JjKk.LlLlLlLlLl"
    "NnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz.";
static_assert(sizeof(kszBaseLatin1) == 64 + 1, "one entry per character of U+00C0..U+00FF");
static_assert(sizeof(kszBaseExtendedA) == 128 + 1, "one entry per character of U+0100..U+017F");

constexpr UChar Base(UChar c) {
  char b = '.';
  if (c >= 0xC0 && c <= 0xFF) b = kszBaseLatin1[c - 0xC0];
  else if (c >= 0x100 && c <= 0x17F) b = kszBaseExtendedA[c - 0x100];
  return b == '.' ? c : static_cast<UChar>(b);
}

// Latin Extended-A pairs its capitals and small letters either as (even, odd)
// or as (odd, even), by range.
constexpr bool bExtendedACapitalIsEven(UChar c) {
  return (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
}
constexpr bool bExtendedACapitalIsOdd(UChar c) {
  return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
}

// 'µ', 'ß', 'ĸ' and 'ŉ' have no one-character capital and stay.
constexpr UChar Upper(UChar c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c == 0x131) return 'I';
  if (c == 0x17F) return 'S';
  if (c == 0x130) return c;
  if (bExtendedACapitalIsEven(c)) return c & ~UChar{1};
  if (bExtendedACapitalIsOdd(c)) return (c & 1) != 0 ? c : c - 1;
  return c;
}

constexpr UChar Lower(UChar c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c == 0x130) return 'i';
  if (c == 0x131) return c;
  if (bExtendedACapitalIsEven(c)) return c | 1;
  if (bExtendedACapitalIsOdd(c)) return (c & 1) != 0 ? c + 1 : c;
  return c;
}

constexpr bool bWhiteSpace(UChar c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

constexpr bool bPunctuationOrSymbol(UChar c) {
  if (c < 0x80)
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
  if (c >= 0xA1 && c <= 0xBF)
    // Not the letters 'ª', 'µ', 'º' nor the digits '²', '³', '¹', '¼'..'¾'.
    return c != 0xAA && c != 0xB2 && c != 0xB3 && c != 0xB5 && c != 0xB9 && c != 0xBA &&
           !(c >= 0xBC && c <= 0xBE);
  return c == 0xD7 || c == 0xF7 || c == 0x02C6 || c == 0x02DC || (c >= 0x2010 && c <= 0x2027) ||
         (c >= 0x2030 && c <= 0x205E) || c == 0x20AC || c == 0x2122;
}

// One character under the map flags; false when flag 0x4 drops it.
constexpr bool bMapChar(UChar c, unsigned int nFlags, UChar& out) {
  if ((nFlags & FLAG_NO_PUNCT) != 0 && (bWhiteSpace(c) || bPunctuationOrSymbol(c))) return false;
  if ((nFlags & FLAG_NO_ACCENT) != 0) c = Base(c);
  if ((nFlags & FLAG_UPPER) != 0) c = Upper(c);
  else if ((nFlags & FLAG_LOWER) != 0) c = Lower(c);
  out = c;
  return true;
}

// The levels of the dictionary order of one character.
constexpr UChar LetterKey(UChar c) { return Upper(Base(c)); }
constexpr UChar AccentKey(UChar c) { return Upper(c); }
constexpr UChar CaseKey(UChar c) { return Lower(c) != c ? 1 : 0; }
constexpr UChar CodeKey(UChar c) { return c; }

constexpr bool bDictionaryBefore(UChar a, UChar b) {
  if (LetterKey(a) != LetterKey(b)) return LetterKey(a) < LetterKey(b);
  if (AccentKey(a) != AccentKey(b)) return AccentKey(a) < AccentKey(b);
  if (CaseKey(a) != CaseKey(b)) return CaseKey(a) < CaseKey(b);
  return a < b;
}

// Sort key weight of each code page 1252 byte: its rank in the dictionary
// order of the 256 characters. Computed at compile time.
struct STSortWeights {
  unsigned char ab[256];
  constexpr STSortWeights() : ab() {
    for (unsigned i = 0; i < 256; ++i) {
      unsigned nRank = 0;
      const UChar c = FromCp1252(static_cast<unsigned char>(i));
      for (unsigned j = 0; j < 256; ++j)
        if (bDictionaryBefore(FromCp1252(static_cast<unsigned char>(j)), c)) ++nRank;
      ab[i] = static_cast<unsigned char>(nRank);
    }
  }
};
constexpr STSortWeights kstSortWeights;
static_assert(kstSortWeights.ab[0] == 0, "NUL keeps the lowest weight");

// Code points of either width.
UChar Widen(char c) { return FromCp1252(static_cast<unsigned char>(c)); }
UChar Widen(wchar_t c) { return static_cast<UChar>(c); }

// A mapped character back to the source's width. Code page 1252 is closed
// under every map above, so an 8-bit character always finds its byte; the
// source byte stands in should that ever not hold.
char Narrow(UChar c, char cSource) {
  unsigned char b = 0;
  return bToCp1252(c, b) ? static_cast<char>(b) : cSource;
}
wchar_t Narrow(UChar c, wchar_t) { return static_cast<wchar_t>(c); }

std::size_t Length(const char* p, int nLen) {
  if (p == nullptr) return 0;
  return nLen >= 0 ? static_cast<std::size_t>(nLen) : std::strlen(p);
}
std::size_t Length(const wchar_t* p, int nLen) {
  if (p == nullptr) return 0;
  return nLen >= 0 ? static_cast<std::size_t>(nLen) : std::wcslen(p);
}

int ClampToInt(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

// A text read character by character through the map flags.
template <typename T>
class CMappedText {
 public:
  CMappedText(const T* p, int nLen, unsigned int nFlags)
      : m_p(p), m_n(Length(p, nLen)), m_nFlags(nFlags) {}

  void Rewind() { m_i = 0; }

  bool bNext(UChar& c) {
    while (m_i < m_n)
      if (bMapChar(Widen(m_p[m_i++]), m_nFlags, c)) return true;
    return false;
  }

 private:
  const T* m_p;
  std::size_t m_n;
  unsigned int m_nFlags;
  std::size_t m_i = 0;
};

// Compares the two mapped texts by one key of their characters: -1, 0, 1.
template <typename T>
int nCompareLevel(CMappedText<T>& a, CMappedText<T>& b, UChar (*pfnKey)(UChar)) {
  a.Rewind();
  b.Rewind();
  for (;;) {
    UChar ca = 0;
    UChar cb = 0;
    const bool bA = a.bNext(ca);
    const bool bB = b.bNext(cb);
    if (!bA || !bB) return bA ? 1 : (bB ? -1 : 0);
    const UChar ka = pfnKey(ca);
    const UChar kb = pfnKey(cb);
    if (ka != kb) return ka < kb ? -1 : 1;
  }
}

template <typename T>
int nCompare(unsigned int nFlags, const T* s1, int nLen1, const T* s2, int nLen2) {
  CMappedText<T> a(s1, nLen1, nFlags);
  CMappedText<T> b(s2, nLen2, nFlags);
  int n = 0;
  if ((nFlags & FLAG_DICTIONARY) != 0) {
    n = nCompareLevel(a, b, LetterKey);
    if (n == 0) n = nCompareLevel(a, b, AccentKey);
    if (n == 0) n = nCompareLevel(a, b, CaseKey);
  }
  // Last, every text compares by its code points, so 0 means equal maps.
  if (n == 0) n = nCompareLevel(a, b, CodeKey);
  return n;
}

// Each source character is read before its mapped form is written, and the
// write position never passes the read position: destination == source works.
template <typename T>
int nMap(unsigned int nFlags, T* pDst, int nDstSize, const T* pSrc, int nSrcLen) {
  const std::size_t n = Length(pSrc, nSrcLen);
  const bool bCountOnly = pDst == nullptr || nDstSize <= 0;
  std::size_t nOut = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const T cSource = pSrc[i];
    UChar c = 0;
    if (!bMapChar(Widen(cSource), nFlags, c)) continue;
    if (!bCountOnly) {
      if (nOut >= static_cast<std::size_t>(nDstSize)) break;
      pDst[nOut] = Narrow(c, cSource);
    }
    ++nOut;
  }
  return ClampToInt(nOut);
}

// Built at compile time, so it is usable from any static constructor.
CBuiltinLocale gclBuiltinLocale;

}  // namespace

void CBuiltinLocale::vReserved0() {}
void CBuiltinLocale::vReserved1() {}
void CBuiltinLocale::vReserved10() {}

int CBuiltinLocale::vnGetCurrentCharset() { return m_nCharset; }
int CBuiltinLocale::vnGetCurrentCodePage() { return m_nCodePage; }
unsigned int CBuiltinLocale::vnGetCurrentLCID() { return m_nLCID; }
unsigned int CBuiltinLocale::vnGetSafeCurrentLCID() { return m_nLCID; }

int CBuiltinLocale::vnCompareA(unsigned int, unsigned int nFlags, const char* s1, int nLen1,
                               const char* s2, int nLen2) {
  return nCompare(nFlags, s1, nLen1, s2, nLen2);
}

int CBuiltinLocale::vnCompareW(unsigned int, unsigned int nFlags, const wchar_t* s1, int nLen1,
                               const wchar_t* s2, int nLen2) {
  return nCompare(nFlags, s1, nLen1, s2, nLen2);
}

int CBuiltinLocale::vnCompareCurrentA(unsigned int nFlags, const char* s1, int nLen1,
                                      const char* s2, int nLen2) {
  return nCompare(nFlags, s1, nLen1, s2, nLen2);
}

int CBuiltinLocale::vnCompareCurrentW(unsigned int nFlags, const wchar_t* s1, int nLen1,
                                      const wchar_t* s2, int nLen2) {
  return nCompare(nFlags, s1, nLen1, s2, nLen2);
}

int CBuiltinLocale::vnSortKeyA(unsigned int, unsigned char* pDst, int nDstSize, const char* pSrc,
                               int nSrcLen) {
  const std::size_t n = Length(pSrc, nSrcLen);
  if (pDst == nullptr || nDstSize <= 0) return ClampToInt(n);
  const std::size_t nOut = n < static_cast<std::size_t>(nDstSize) ? n : static_cast<std::size_t>(nDstSize);
  for (std::size_t i = 0; i < nOut; ++i)
    pDst[i] = kstSortWeights.ab[static_cast<unsigned char>(pSrc[i])];
  return ClampToInt(nOut);
}

int CBuiltinLocale::vnMapA(unsigned int, unsigned int nFlags, char* pDst, int nDstSize,
                           const char* pSrc, int nSrcLen) {
  return nMap(nFlags, pDst, nDstSize, pSrc, nSrcLen);
}

int CBuiltinLocale::vnMapW(unsigned int, unsigned int nFlags, wchar_t* pDst, int nDstSize,
                           const wchar_t* pSrc, int nSrcLen) {
  return nMap(nFlags, pDst, nDstSize, pSrc, nSrcLen);
}

int CBuiltinLocale::vnMapCurrentA(unsigned int nFlags, char* pDst, int nDstSize, const char* pSrc,
                                  int nSrcLen) {
  return nMap(nFlags, pDst, nDstSize, pSrc, nSrcLen);
}

int CBuiltinLocale::vnMapCurrentW(unsigned int nFlags, wchar_t* pDst, int nDstSize,
                                  const wchar_t* pSrc, int nSrcLen) {
  return nMap(nFlags, pDst, nDstSize, pSrc, nSrcLen);
}

IInfoLocale* STR_pGetBuiltinLocale() { return &gclBuiltinLocale; }
