// Comparisons of strings and characters through the locale, the fast 8-bit
// comparison, the numeric-aware comparison and the language's comparison.

#include <climits>
#include <cstring>
#include <cwchar>

#include "Latin1Tables.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// Locale compares answer 0 equal, 1 after and anything else before.
int Tri(int answer) { return answer == 0 ? 0 : (answer == 1 ? 1 : -1); }

int Sign(long value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

const char* Text(const char* s) { return s != nullptr ? s : ""; }
const wchar_t* Text(const wchar_t* s) { return s != nullptr ? s : L""; }

long Length(const char* s) { return s != nullptr ? static_cast<long>(std::strlen(s)) : 0; }
long Length(const wchar_t* s) { return s != nullptr ? static_cast<long>(std::wcslen(s)) : 0; }

// A length given by the caller, -1 (or any negative) meaning up to the NUL.
template <typename T>
long GivenLength(const T* s, long length) {
  if (s == nullptr) return 0;
  return length < 0 ? Length(s) : length;
}

int ClampInt(long value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

unsigned ResolveLCID(unsigned& flags, unsigned defaultLCID) {
  if ((flags & STR_FLAG_CURRENTLOCALE) == 0) return defaultLCID;
  flags &= ~STR_FLAG_CURRENTLOCALE;
  return STR_nGetCurrentLCID();
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Wide characters compare by their bytes in memory order (not by value).
int CompareUnits(const wchar_t* a, const wchar_t* b, long n) {
  return Sign(std::memcmp(a, b, static_cast<std::size_t>(n) * sizeof(wchar_t)));
}
int CompareUnits(const char* a, const char* b, long n) {
  return Sign(std::memcmp(a, b, static_cast<std::size_t>(n)));
}

// Two runs of digits compared by value. A decision is returned; when the
// values are equal, 0, and the run with more leading zeros becomes the
// smaller one in `tie` unless an earlier run already set it.
template <typename T>
int CompareDigitRuns(const T* a, long na, const T* b, long nb, int& tie) {
  for (long i = 0; i < na - nb; ++i) {
    if (a[i] != '0') return 1;
  }
  for (long i = 0; i < nb - na; ++i) {
    if (b[i] != '0') return -1;
  }
  if (tie == 0 && na != nb) tie = na > nb ? -1 : 1;
  const long common = na < nb ? na : nb;
  const T* ra = a + (na - common);
  const T* rb = b + (nb - common);
  for (long i = 0; i < common; ++i) {
    if (ra[i] != rb[i]) return ra[i] < rb[i] ? -1 : 1;
  }
  return 0;
}

template <typename T>
long DigitRun(const T* s, long from, long length) {
  long end = from;
  while (end < length && IsDigit(s[end])) ++end;
  return end - from;
}

int CompareCharW(wchar_t c1, wchar_t c2, unsigned flags) {
  if ((flags & STR_FLAG_LEXICO) != 0) return STR_nCompareCharLexicoW(c1, c2, flags);
  return CompareUnits(&c1, &c2, 1);
}

// Code page 1252 is the 8-bit text of this runtime: its characters take
// their wide form for the lexical compare.
int CompareCharA(char c1, char c2, unsigned flags) {
  if ((flags & STR_FLAG_LEXICO) != 0) {
    return STR_nCompareCharLexicoW(STR_FromCP1252(static_cast<unsigned char>(c1)),
                                   STR_FromCP1252(static_cast<unsigned char>(c2)), flags);
  }
  return Sign(static_cast<long>(static_cast<unsigned char>(c1)) -
              static_cast<long>(static_cast<unsigned char>(c2)));
}

template <typename T>
bool IsTrimmed(T c) {
  return (c >= 9 && c <= 13) || c == 32;
}

template <typename T>
int PrepareChaine(unsigned option, const T* src, long len, T* dst, int dstSize) {
  if (dstSize <= 0) return 0;
  len = GivenLength(src, len);
  src = Text(src);
  if ((option & 0x1) != 0) {
    while (len > 0 && IsTrimmed(*src)) {
      ++src;
      --len;
    }
    while (len > 0 && IsTrimmed(src[len - 1])) --len;
  }
  const unsigned flags = OptionTN2FlagSTR(option);
  long written;
  if (flags == 0) {
    written = len < dstSize - 1 ? len : dstSize - 1;
    std::memcpy(dst, src, static_cast<std::size_t>(written) * sizeof(T));
  } else {
    IInfoLocale* locale = STR_piGetInfoLocale();
    if constexpr (sizeof(T) == 1) {
      written = locale->vnMapCurrentA(flags, dst, dstSize, src, ClampInt(len));
    } else {
      written = locale->vnMapCurrentW(flags, dst, dstSize, src, ClampInt(len));
    }
    if (written < 0) written = 0;
    if (written > dstSize - 1) written = dstSize - 1;
  }
  dst[written] = 0;
  return static_cast<int>(written);
}

// One side of a language comparison, prepared on the stack for short texts.
template <typename T>
class CPreparedSide {
 public:
  // Copies below 16384 bytes stay on the stack.
  static constexpr long kStackUnits = 16384 / sizeof(T);

  CPreparedSide(unsigned option, const T* src, long len) {
    len = GivenLength(src, len);
    const long size = len + 1;
    T* buffer = m_stack;
    if (size * static_cast<long>(sizeof(T)) >= 16384) {
      m_heap = static_cast<T*>(XMALLOC_pNew_(static_cast<std::size_t>(size) * sizeof(T)));
      buffer = m_heap;
    }
    if (buffer == nullptr || size > INT_MAX) {
      // No memory for the copy: compare the text as it stands.
      m_text = src != nullptr ? src : m_stack;
      m_stack[0] = 0;
      m_length = len;
      return;
    }
    m_length = PrepareChaine(option, src, len, buffer, static_cast<int>(size));
    m_text = buffer;
  }
  ~CPreparedSide() { XMALLOC_Del_(m_heap); }
  CPreparedSide(const CPreparedSide&) = delete;
  CPreparedSide& operator=(const CPreparedSide&) = delete;

  const T* Text() const { return m_text; }
  long Length() const { return m_length; }

 private:
  T m_stack[kStackUnits];
  T* m_heap = nullptr;
  const T* m_text = nullptr;
  long m_length = 0;
};

template <typename T>
int CompareShorterFirst(const T* a, long na, const T* b, long nb) {
  const int r = CompareUnits(a, b, na < nb ? na : nb);
  if (r != 0) return r;
  return Sign(na - nb);
}

}  // namespace

int STR_nCompareW(const wchar_t* a, const wchar_t* b, unsigned flags) {
  IInfoLocale* locale = STR_piGetInfoLocale();
  if ((flags & STR_FLAG_CURRENTLOCALE) != 0) {
    return Tri(locale->vnCompareCurrentW(flags & ~STR_FLAG_CURRENTLOCALE, Text(a), -1, Text(b), -1));
  }
  return Tri(locale->vnCompareW(STR_LCID_DEFAULT, flags, Text(a), -1, Text(b), -1));
}

int STR_nCompareA(const char* a, const char* b, unsigned flags) {
  IInfoLocale* locale = STR_piGetInfoLocale();
  flags |= STR_FLAG_ANSI;
  if ((flags & STR_FLAG_CURRENTLOCALE) != 0) {
    return Tri(locale->vnCompareCurrentA(flags & ~STR_FLAG_CURRENTLOCALE, Text(a), -1, Text(b), -1));
  }
  return Tri(locale->vnCompareA(STR_LCID_DEFAULT, flags, Text(a), -1, Text(b), -1));
}

int STR_nUpCompareA(const char* a, const char* b, unsigned flags) {
  return STR_nCompareA(a, b, flags | STR_FLAG_UPPER);
}

int STR_nUpCompareW(const wchar_t* a, const wchar_t* b, unsigned flags) {
  return STR_nCompareW(a, b, flags | STR_FLAG_UPPER);
}

int STR_nAcCompare(const wchar_t* a, const wchar_t* b, unsigned flags) {
  return STR_nCompareW(a, b, flags | STR_FLAG_NOACCENT);
}

int STR_nNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags) {
  if (a == nullptr) return b == nullptr ? 0 : -1;
  if (b == nullptr) return 1;
  return STR_nCompareW(a, b, flags);
}

int STR_nEmptyNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags) {
  if (a == nullptr && (b == nullptr || *b == 0)) return 0;
  if (b == nullptr) return *a != 0 ? 1 : 0;
  return STR_nCompareW(Text(a), b, flags);
}

int STR_nNCompare(const char* a, const char* b, long n, unsigned flags) {
  if (n < 0) n = 0;
  const unsigned lcid = ResolveLCID(flags, STR_LCID_MAP);
  const int la = a != nullptr ? ClampInt(static_cast<long>(strnlen(a, static_cast<std::size_t>(n)))) : 0;
  const int lb = b != nullptr ? ClampInt(static_cast<long>(strnlen(b, static_cast<std::size_t>(n)))) : 0;
  return Tri(STR_piGetInfoLocale()->vnCompareA(lcid, flags, Text(a), la, Text(b), lb));
}

int STR_nNCompare(const wchar_t* a, const wchar_t* b, long n, unsigned flags) {
  if (n < 0) n = 0;
  const unsigned lcid = ResolveLCID(flags, STR_LCID_MAP);
  const int la = a != nullptr ? ClampInt(static_cast<long>(wcsnlen(a, static_cast<std::size_t>(n)))) : 0;
  const int lb = b != nullptr ? ClampInt(static_cast<long>(wcsnlen(b, static_cast<std::size_t>(n)))) : 0;
  return Tri(STR_piGetInfoLocale()->vnCompareW(lcid, flags, Text(a), la, Text(b), lb));
}

int STR_nNullNCompare(const wchar_t* a, const wchar_t* b, long n, unsigned flags) {
  if (a == nullptr) return b == nullptr ? 0 : -1;
  if (b == nullptr) return 1;
  return STR_nNCompare(a, b, n, flags);
}

bool STR_bDebut(const wchar_t* prefix, const wchar_t* s) {
  const long lp = Length(prefix);
  if (lp > Length(s)) return false;
  return STR_nNCompare(s, prefix, lp, STR_FLAG_UPPER | STR_FLAG_NOACCENT) == 0;
}

int STR_nCompareCharLexicoA(char c1, char c2, unsigned flags) {
  flags |= STR_FLAG_LEXICO;
  const unsigned lcid = ResolveLCID(flags, STR_LCID_MAP);
  return Tri(STR_piGetInfoLocale()->vnCompareA(lcid, flags, &c1, 1, &c2, 1));
}

int STR_nCompareCharLexicoW(wchar_t c1, wchar_t c2, unsigned flags) {
  flags |= STR_FLAG_LEXICO;
  const unsigned lcid = ResolveLCID(flags, STR_LCID_DEFAULT);
  return Tri(STR_piGetInfoLocale()->vnCompareW(lcid, flags, &c1, 1, &c2, 1));
}

int STR_nCompareStringLexicoW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned flags) {
  flags |= STR_FLAG_LEXICO;
  const unsigned lcid = ResolveLCID(flags, STR_LCID_DEFAULT);
  const int na = ClampInt(GivenLength(a, la));
  const int nb = ClampInt(GivenLength(b, lb));
  return Tri(STR_piGetInfoLocale()->vnCompareW(lcid, flags, Text(a), na, Text(b), nb));
}

int STR_nCompareCharSoupleA(char c1, char c2) {
  return Tri(STR_piGetInfoLocale()->vnCompareA(STR_LCID_MAP, STR_FLAG_UPPER | STR_FLAG_NOACCENT,
                                               &c1, 1, &c2, 1));
}

int STR_nCompareCharSoupleW(wchar_t c1, wchar_t c2) {
  return Tri(STR_piGetInfoLocale()->vnCompareW(STR_LCID_DEFAULT,
                                               STR_FLAG_UPPER | STR_FLAG_NOACCENT, &c1, 1, &c2, 1));
}

int STR_nCmpLogiqueAnsiFast(const char* a, const char* b) {
  const unsigned char* pa = reinterpret_cast<const unsigned char*>(Text(a));
  const unsigned char* pb = reinterpret_cast<const unsigned char*>(Text(b));
  for (;; ++pa, ++pb) {
    const unsigned char ca = pToNoAccentUpper_Latin1[*pa];
    const unsigned char cb = pToNoAccentUpper_Latin1[*pb];
    if (ca != cb) return ca < cb ? -1 : 1;
    if (*pa == 0) return 0;
  }
}

int STR_nCompareRespecteNumeriqueW(const wchar_t* a, int la, const wchar_t* b, int lb,
                                   unsigned flags) {
  const long na = GivenLength(a, la);
  const long nb = GivenLength(b, lb);
  a = Text(a);
  b = Text(b);
  int tie = 0;
  long i = 0;
  long j = 0;
  for (;;) {
    if (j >= nb) return i < na ? 1 : tie;
    if (i >= na) return -1;
    const long da = DigitRun(a, i, na);
    const long db = DigitRun(b, j, nb);
    if (da > 0 && db > 0) {
      const int r = CompareDigitRuns(a + i, da, b + j, db, tie);
      if (r != 0) return r;
      i += da;
      j += db;
    } else if (da > 0 || db > 0) {
      const int r = CompareCharW(a[i], b[j], flags);
      if (r != 0) return r;
      ++i;
      ++j;
    } else {
      long ra = 0;
      long rb = 0;
      while (i + ra < na && !IsDigit(a[i + ra])) ++ra;
      while (j + rb < nb && !IsDigit(b[j + rb])) ++rb;
      int r;
      if ((flags & STR_FLAG_LEXICO) != 0) {
        r = STR_nCompareStringLexicoW(a + i, ClampInt(ra), b + j, ClampInt(rb), flags);
      } else {
        r = CompareShorterFirst(a + i, ra, b + j, rb);
      }
      if (r != 0) return r;
      i += ra;
      j += rb;
    }
  }
}

int STR_nCompareRespecteNumeriqueA(const char* a, int la, const char* b, int lb, unsigned flags) {
  const long na = GivenLength(a, la);
  const long nb = GivenLength(b, lb);
  a = Text(a);
  b = Text(b);
  int tie = 0;
  long i = 0;
  long j = 0;
  for (;;) {
    if (j >= nb) return i < na ? 1 : tie;
    if (i >= na) return -1;
    const long da = DigitRun(a, i, na);
    const long db = DigitRun(b, j, nb);
    if (da > 0 && db > 0) {
      const int r = CompareDigitRuns(a + i, da, b + j, db, tie);
      if (r != 0) return r;
      i += da;
      j += db;
    } else {
      const int r = CompareCharA(a[i], b[j], flags);
      if (r != 0) return r;
      ++i;
      ++j;
    }
  }
}

unsigned OptionTN2FlagSTR(unsigned option) {
  unsigned flags = 0;
  if ((option & 0x2) != 0) flags |= STR_FLAG_NOPUNCT;
  if ((option & 0x4) != 0) flags |= STR_FLAG_NOACCENT;
  if ((option & 0x30) != 0 && (option & 0x40) == 0) flags |= STR_FLAG_UPPER;
  if ((option & 0x40) != 0) flags |= STR_FLAG_LOWER;
  if ((option & 0x100) != 0) flags |= 0x800;
  return flags;
}

int STR_PrepareChaineW(unsigned option, const wchar_t* src, int len, wchar_t* dst, int dstSize) {
  return PrepareChaine(option, src, len, dst, dstSize);
}

int STR_PrepareChaineA(unsigned option, const char* src, int len, char* dst, int dstSize) {
  return PrepareChaine(option, src, len, dst, dstSize);
}

int STR_ChaineCompareW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned option) {
  const CPreparedSide<wchar_t> sa(option, a, la);
  const CPreparedSide<wchar_t> sb(option, b, lb);
  const bool lexical = (option & 0x8) != 0;
  const bool numeric = (option & 0x80) != 0;
  if (lexical && !numeric) {
    return STR_nCompareStringLexicoW(sa.Text(), ClampInt(sa.Length()), sb.Text(),
                                     ClampInt(sb.Length()),
                                     STR_FLAG_CURRENTLOCALE | (option & 0x80000000u));
  }
  if (numeric) {
    return STR_nCompareRespecteNumeriqueW(sa.Text(), ClampInt(sa.Length()), sb.Text(),
                                          ClampInt(sb.Length()),
                                          lexical ? STR_FLAG_CURRENTLOCALE | STR_FLAG_LEXICO : 0);
  }
  return CompareShorterFirst(sa.Text(), sa.Length(), sb.Text(), sb.Length());
}

int STR_ChaineCompareA(const char* a, int la, const char* b, int lb, unsigned option) {
  const CPreparedSide<char> sa(option, a, la);
  const CPreparedSide<char> sb(option, b, lb);
  const bool lexical = (option & 0x8) != 0;
  const bool numeric = (option & 0x80) != 0;
  if (lexical && !numeric) {
    const long common = sa.Length() < sb.Length() ? sa.Length() : sb.Length();
    for (long i = 0; i < common; ++i) {
      const int r = STR_nCompareCharLexicoA(sa.Text()[i], sb.Text()[i], STR_FLAG_CURRENTLOCALE);
      if (r != 0) return r;
    }
    return Sign(sa.Length() - sb.Length());
  }
  if (numeric) {
    return STR_nCompareRespecteNumeriqueA(sa.Text(), ClampInt(sa.Length()), sb.Text(),
                                          ClampInt(sb.Length()),
                                          lexical ? STR_FLAG_CURRENTLOCALE | STR_FLAG_LEXICO : 0);
  }
  return CompareShorterFirst(sa.Text(), sa.Length(), sb.Text(), sb.Length());
}
