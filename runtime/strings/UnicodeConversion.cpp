#include "UnicodeConversion.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "CodePage.h"
#include "StrFunctions.h"
#include "XMalloc.h"

static_assert(sizeof(wchar_t) == 4, "wide characters are 4-byte UTF-32");

const unsigned char TabUTF8len[64] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x00-0x3F
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x40-0x7F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x80-0xBF
    2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 5, 6,  // 0xC0-0xFF
};

namespace {

constexpr wchar_t kwReplacement = L'?';
constexpr std::uint64_t kqwOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kqwHighBits = 0x8080808080808080ULL;

inline bool bIsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

inline int nLeadLength(unsigned char lead) { return TabUTF8len[lead >> 2]; }

// Bytes of the UTF-8 form of one wide character ('?' for what has none).
inline int nEncodedLength(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(c);
  if (u < 0x80) return 1;
  if (u < 0x800) return 2;
  if (u < 0x10000) return 3;
  if (u <= 0x10FFFF) return 4;
  return 1;
}

// Writes the UTF-8 form of `c` (no terminator); returns its length.
int nEncode(std::uint32_t c, char* out) {
  auto* o = reinterpret_cast<unsigned char*>(out);
  if (c < 0x80) {
    o[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    o[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    o[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    o[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    o[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  if (c <= 0x10FFFF) {
    o[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
    o[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    o[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 4;
  }
  o[0] = '?';
  return 1;
}

// Counts the bytes of an 8-byte word that are not UTF-8 continuation bytes
// (10xxxxxx): bit 7 set and bit 6 clear, tested for all bytes at once.
inline int nLeadBytesInWord(std::uint64_t w) {
  const std::uint64_t qwContinuation = w & ~(w << 1) & kqwHighBits;
  return 8 - __builtin_popcountll(qwContinuation);
}

inline bool bWordHasZeroByte(std::uint64_t w) {
  return ((w - kqwOnes) & ~w & kqwHighBits) != 0;
}

// Byte length of an input given with the -1 convention (terminator
// included); -1 for any other negative value or a null text.
long nBytesWithTerminator(const char* p, long n) {
  if (p == nullptr) return -1;
  if (n == -1) return static_cast<long>(std::strlen(p)) + 1;
  return n < 0 ? -1 : n;
}

// Units of a 16-bit text given with the -1 convention.
long nUnitsWithTerminator(const unsigned short* p, long n) {
  if (p == nullptr) return -1;
  if (n == -1) return static_cast<long>(utf16len(p)) + 1;
  return n < 0 ? -1 : n;
}

// ---------------------------------------------------------------------------
// Wide intermediate of a code-page conversion: on the stack up to 1024
// bytes, else a heap block freed with the object. p() is null when the heap
// block could not be had.
class CWideScratch {
 public:
  explicit CWideScratch(std::size_t nChars) {
    if (nChars <= knStackChars) {
      m_p = m_aw;
    } else if (nChars <= SIZE_MAX / sizeof(wchar_t)) {
      m_p = static_cast<wchar_t*>(XMALLOC_pNew_(nChars * sizeof(wchar_t)));
    }
  }
  ~CWideScratch() {
    if (m_p != m_aw) XMALLOC_Del_(m_p);
  }
  CWideScratch(const CWideScratch&) = delete;
  CWideScratch& operator=(const CWideScratch&) = delete;

  wchar_t* p() const { return m_p; }

 private:
  static constexpr std::size_t knStackChars = 1024 / sizeof(wchar_t);
  wchar_t m_aw[knStackChars];
  wchar_t* m_p = nullptr;
};

// Result of converting one run: the bytes written, kNothing when the run
// converts to nothing, kNoRoom when its result does not fit.
constexpr long kNothing = 0;
constexpr long kNoRoom = -1;

// The double-byte code pages, whose trail bytes may lie below 0x80.
bool bIsDoubleByte(unsigned codePage) {
  switch (codePage) {
    case 932: case 936: case 949: case 950: case 1361: return true;
    default: return false;
  }
}

bool bIsLeadByte(unsigned codePage, unsigned char b) {
  switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936: case 949: case 950: return b >= 0x81 && b <= 0xFE;
    case 1361:
      return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9);
    default: return false;
  }
}

bool bIsTrailByte(unsigned codePage, unsigned char lead, unsigned char b) {
  switch (codePage) {
    case 932: return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
    case 936: return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
    case 949:
      return (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
    case 950: return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
    case 1361:
      if (lead <= 0xD3) return (b >= 0x41 && b <= 0x7E) || (b >= 0x81 && b <= 0xFE);
      return (b >= 0x31 && b <= 0x7E) || (b >= 0x91 && b <= 0xFE);
    default: return false;
  }
}

// End of the run of 8-bit text that starts at in[i] (a byte with the top bit
// set): the following bytes with the top bit set, and in a double-byte code
// page the trail byte of every lead, whatever its value.
long nRunEnd(unsigned codePage, const unsigned char* in, long i, long n) {
  const bool bDoubleByte = bIsDoubleByte(codePage);
  while (i < n && in[i] >= 0x80) {
    if (bDoubleByte && i + 1 < n && bIsLeadByte(codePage, in[i]) &&
        bIsTrailByte(codePage, in[i], in[i + 1]))
      i += 2;
    else
      i += 1;
  }
  return i;
}

// End of a run of UTF-8 bytes with the top bit set.
long nHighRunEnd(const unsigned char* in, long i, long n) {
  while (i < n && in[i] >= 0x80) ++i;
  return i;
}

// One run of 8-bit text of `codePage` to UTF-8 at `out`, within `room` bytes.
long nRunToUTF8(unsigned codePage, const char* run, long len, char* out, long room,
                unsigned flags) {
  if (len >= INT_MAX) return kNothing;
  CWideScratch wide(static_cast<std::size_t>(len) + 1);
  if (wide.p() == nullptr) return kNothing;
  const int nWide = MultiByteToWideChar(codePage, 0, run, static_cast<int>(len), wide.p(),
                                        static_cast<int>(len) + 1);
  if (nWide <= 0) return kNothing;
  const int nNeed =
      WideCharToMultiByte(CP_UTF8, flags, wide.p(), nWide, nullptr, 0, nullptr, nullptr);
  if (nNeed <= 0) return kNothing;
  if (nNeed > room) return kNoRoom;
  return WideCharToMultiByte(CP_UTF8, flags, wide.p(), nWide, out, nNeed, nullptr, nullptr);
}

// One run of UTF-8 to 8-bit text of `codePage` at `out`, within `room`
// bytes; sets *usedDefault to 1 when the default text was needed.
long nRunFromUTF8(unsigned codePage, const char* run, long len, char* out, long room,
                  unsigned flags, const char* defaultChar, int* usedDefault) {
  if (len >= INT_MAX) return kNothing;
  CWideScratch wide(static_cast<std::size_t>(len) + 1);
  if (wide.p() == nullptr) return kNothing;
  const int nWide = MultiByteToWideChar(CP_UTF8, 0, run, static_cast<int>(len), wide.p(),
                                        static_cast<int>(len) + 1);
  if (nWide <= 0) return kNothing;
  int bUsed = 0;
  const int nNeed =
      WideCharToMultiByte(codePage, flags, wide.p(), nWide, nullptr, 0, defaultChar, &bUsed);
  if (nNeed <= 0) return kNothing;
  if (nNeed > room) return kNoRoom;
  const int nWritten =
      WideCharToMultiByte(codePage, flags, wide.p(), nWide, out, nNeed, defaultChar, &bUsed);
  if (bUsed != 0) *usedDefault = 1;
  return nWritten;
}

// Run-by-run conversion shared by both directions. `convertRun(run, len,
// out, room)` converts one run; `runEnd(in, i, n)` finds where the run that
// starts at i ends. Zero-fills what is left of `out`.
template <typename ConvertRun, typename RunEnd>
long nConvertByRuns(const char* in, long n, char* out, long size, ConvertRun convertRun,
                    RunEnd runEnd) {
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  const long nRoom = size - 1;
  long nPos = 0;
  long i = 0;
  while (i < n && nPos < nRoom) {
    if (s[i] < 0x80) {
      out[nPos++] = in[i++];
      continue;
    }
    const long nEnd = runEnd(s, i, n);
    const long nWritten = convertRun(in + i, nEnd - i, out + nPos, nRoom - nPos);
    if (nWritten == kNoRoom) break;
    if (nWritten <= 0) {
      std::memset(out, 0, static_cast<std::size_t>(size));
      return 0;
    }
    nPos += nWritten;
    i = nEnd;
  }
  std::memset(out + nPos, 0, static_cast<std::size_t>(size - nPos));
  return nPos;
}

// Shared start of both directions: checks the buffers, resolves n < 0 and
// handles the trivial cases. Returns false when the result is already
// decided (in *result).
bool bPrepareRuns(const char* in, long& n, char* out, long size, long* result) {
  *result = 0;
  if (out == nullptr || size < 1) return false;
  if (in == nullptr) n = 0;
  else if (n < 0) n = static_cast<long>(std::strlen(in));
  if (n == 0) {
    std::memset(out, 0, static_cast<std::size_t>(size));
    return false;
  }
  return true;
}

// Code page 65001 on both sides: a bounded copy, zero-filled.
long nCopyUTF8(const char* in, long n, char* out, long size) {
  const long nCopy = n < size - 1 ? n : size - 1;
  std::memcpy(out, in, static_cast<std::size_t>(nCopy));
  std::memset(out + nCopy, 0, static_cast<std::size_t>(size - nCopy));
  return nCopy;
}

}  // namespace

// ---------------------------------------------------------------------------
// UTF-8 stepping and lengths

const char* UTF8next(const char* p) {
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  const int nLen = nLeadLength(s[0]);
  const int nMax = (nLen >= 2 && nLen <= 5) ? nLen - 1 : (nLen == 1 ? 0 : 5);
  int k = 0;
  while (k < nMax && bIsContinuation(s[1 + k])) ++k;
  return p + 1 + k;
}

int UTF8Len(const char* p) { return static_cast<int>(UTF8next(p) - p); }

long UTF8ToWideLen(const char* p) {
  long n = 0;
  if (p == nullptr) return 0;
  while (*p != '\0') {
    p = UTF8next(p);
    ++n;
  }
  return n;
}

// The word loop reads whole aligned words, which may hold bytes after the
// terminator: they lie in the same aligned word, hence on the same page, so
// the read is harmless, but the address checker would flag it.
__attribute__((no_sanitize("address"))) long StrLenUTF8(const char* p) {
  if (p == nullptr) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  long n = 0;
  while ((reinterpret_cast<std::uintptr_t>(s) & 7) != 0) {
    if (*s == 0) return n;
    if (!bIsContinuation(*s)) ++n;
    ++s;
  }
  for (;;) {
    std::uint64_t w;
    std::memcpy(&w, s, sizeof w);
    if (bWordHasZeroByte(w)) break;
    n += nLeadBytesInWord(w);
    s += 8;
  }
  for (; *s != 0; ++s)
    if (!bIsContinuation(*s)) ++n;
  return n;
}

__attribute__((no_sanitize("address"))) long StrNLenUTF8(const char* p, long nMax) {
  if (p == nullptr || nMax < 1) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  const auto* pEnd = s + nMax;
  long n = 0;
  while (s < pEnd && (reinterpret_cast<std::uintptr_t>(s) & 7) != 0) {
    if (*s == 0) return n;
    if (!bIsContinuation(*s)) ++n;
    ++s;
  }
  while (pEnd - s >= 8) {
    std::uint64_t w;
    std::memcpy(&w, s, sizeof w);
    if (bWordHasZeroByte(w)) break;
    n += nLeadBytesInWord(w);
    s += 8;
  }
  for (; s < pEnd && *s != 0; ++s)
    if (!bIsContinuation(*s)) ++n;
  return n;
}

long UTF8ByteLen(const wchar_t* wide) {
  if (wide == nullptr) return 0;
  long n = 0;
  for (; *wide != 0; ++wide) n += nEncodedLength(*wide);
  return n;
}

long UTF8ByteLenTotal(const wchar_t* wide, long nMax) {
  if (wide == nullptr || nMax < 1) return 0;
  long n = 0;
  for (long i = 0; i < nMax; ++i) {
    if (wide[i] == 0) return n + 1;
    n += nEncodedLength(wide[i]);
  }
  return n;
}

int UTF8FirstChar(const char* p, int* n) {
  if (n == nullptr) return -1;
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  if (s == nullptr || *n < 1) {
    *n = 0;
    return -1;
  }
  const unsigned char lead = s[0];
  if (lead < 0x80) {
    *n = 1;
    return lead;
  }
  int nLen;
  unsigned int c;
  if (lead < 0xE0) {
    nLen = 2;
    c = lead & 0x1F;
  } else if (lead < 0xF0) {
    nLen = 3;
    c = lead & 0x0F;
  } else if (lead < 0xF8) {
    nLen = 4;
    c = lead & 0x07;
  } else {
    *n = 0;
    return -1;
  }
  if (*n < nLen) {
    *n = 0;
    return -1;
  }
  for (int i = 1; i < nLen; ++i) {
    if (!bIsContinuation(s[i])) {
      *n = 0;
      return -1;
    }
    c = (c << 6) | (s[i] & 0x3F);
  }
  *n = nLen;
  return static_cast<int>(c);
}

bool UTF8Valide(const char* p, long n) {
  if (p == nullptr) return n == 0;
  if (n == -1) n = static_cast<long>(std::strlen(p));
  if (n < 1) return true;
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  long i = 0;
  while (i < n) {
    const unsigned char lead = s[i];
    if (lead == 0) return true;
    long nExtra;
    if (lead < 0x80) nExtra = 0;
    else if ((lead & 0xE0) == 0xC0) nExtra = 1;
    else if ((lead & 0xF0) == 0xE0) nExtra = 2;
    else if ((lead & 0xF8) == 0xF0) nExtra = 3;
    else return false;
    if (nExtra > n - i - 1) return false;
    for (long k = 1; k <= nExtra; ++k)
      if (!bIsContinuation(s[i + k])) return false;
    i += 1 + nExtra;
  }
  return true;
}

// ---------------------------------------------------------------------------
// UTF-8 decoding and encoding

wchar_t UTF8_GetNext(const char** pp) {
  const auto* s = reinterpret_cast<const unsigned char*>(*pp);
  const unsigned char lead = s[0];
  const int nLen = nLeadLength(lead);
  if (nLen == 1) {
    *pp += 1;
    return lead;
  }
  if (nLen == 0) {
    *pp += 1;
    return kwReplacement;
  }
  std::uint32_t c = lead & (0x7Fu >> nLen);
  for (int i = 1; i < nLen; ++i) {
    // A byte that is not a continuation ends the sequence early: it is not
    // part of this character (it may be the terminator).
    if (!bIsContinuation(s[i])) {
      *pp += i;
      return kwReplacement;
    }
    c = (c << 6) | (s[i] & 0x3F);
  }
  *pp += nLen;
  return static_cast<wchar_t>(c);
}

wchar_t UTF8_GetNext(const char** pp, long* remaining) {
  if (*remaining < 1) {  // *pp may already be past the bytes
    *remaining = 0;
    return kwReplacement;
  }
  const int nLen = nLeadLength(static_cast<unsigned char>(**pp));
  const long nNeed = nLen == 0 ? 1 : nLen;
  if (*remaining < nNeed) {
    *remaining = 0;
    return kwReplacement;
  }
  const char* pStart = *pp;
  const wchar_t c = UTF8_GetNext(pp);
  *remaining -= *pp - pStart;
  return c;
}

int UTF32ToUTF8(unsigned int c, char* out) {
  const int n = nEncode(c, out);
  out[n] = '\0';
  return n;
}

long WideToUTF8(char* out, const wchar_t* wide) {
  if (out == nullptr) return 0;
  long n = 0;
  if (wide != nullptr)
    for (; *wide != 0; ++wide) n += nEncode(static_cast<std::uint32_t>(*wide), out + n);
  out[n] = '\0';
  return n;
}

long WideToUTF8(char* out, long size, const wchar_t* wide) {
  if (out == nullptr || size < 1) return 0;
  long n = 0;
  if (wide != nullptr) {
    char ac[4];
    for (; *wide != 0; ++wide) {
      const int k = nEncode(static_cast<std::uint32_t>(*wide), ac);
      if (n + k + 1 > size) break;
      std::memcpy(out + n, ac, static_cast<std::size_t>(k));
      n += k;
    }
  }
  out[n] = '\0';
  return n;
}

long nWideToUTF8(char* out, long size, const wchar_t* wide, long nChars) {
  if (out == nullptr || wide == nullptr || size < 1) return 0;
  if (nChars == -1) nChars = static_cast<long>(std::wcslen(wide)) + 1;
  long n = 0;
  char ac[4];
  for (long i = 0; i < nChars; ++i) {
    const int k = nEncode(static_cast<std::uint32_t>(wide[i]), ac);
    if (n + k > size) break;
    std::memcpy(out + n, ac, static_cast<std::size_t>(k));
    n += k;
  }
  return n;
}

long UTF8ToWide(wchar_t* out, long size, const char* p) {
  if (out == nullptr || size < 1) return 0;
  long n = 0;
  if (p != nullptr)
    while (n < size - 1 && *p != '\0') out[n++] = UTF8_GetNext(&p);
  out[n] = 0;
  return n;
}

long nUTF8ToWide(wchar_t* out, long size, const char* p, long nBytes) {
  long nLeft = nBytesWithTerminator(p, nBytes);
  if (out == nullptr || size < 1 || nLeft < 1) return 0;
  long n = 0;
  while (nLeft > 0 && n < size) out[n++] = UTF8_GetNext(&p, &nLeft);
  return n;
}

long UTF8ToUTF16Len(const char* p, long nBytes) {
  long nLeft = nBytesWithTerminator(p, nBytes);
  long n = 0;
  while (nLeft > 0) {
    const auto c = static_cast<std::uint32_t>(UTF8_GetNext(&p, &nLeft));
    n += (c >= 0x10000 && c <= 0x10FFFF) ? 2 : 1;
  }
  return n;
}

long UTF8ToUTF16(unsigned short* out, long size, const char* p, long nBytes) {
  long nLeft = nBytesWithTerminator(p, nBytes);
  if (out == nullptr || size < 1) return 0;
  long n = 0;
  while (nLeft > 0 && n < size) {
    std::uint32_t c = static_cast<std::uint32_t>(UTF8_GetNext(&p, &nLeft));
    if (c >= 0x10000 && c <= 0x10FFFF) {
      if (size - n < 3) break;
      out[n++] = static_cast<unsigned short>(0xD800 + ((c - 0x10000) >> 10));
      out[n++] = static_cast<unsigned short>(0xDC00 + (c & 0x3FF));
      continue;
    }
    if (c > 0x10FFFF) c = '?';
    out[n++] = static_cast<unsigned short>(c);
  }
  return n;
}

// ---------------------------------------------------------------------------
// Unit-for-unit conversions
//
// Units are moved with memcpy: the input and output may share their storage
// (in-place widening and narrowing), so no access may be assumed not to
// alias another.

int UTF16ToWideChar(const unsigned short* in, int n, wchar_t* out, int size) {
  const long nUnits = nUnitsWithTerminator(in, n);
  if (nUnits < 0 || nUnits > INT_MAX) return 0;
  if (size == 0) return static_cast<int>(nUnits);
  if (out == nullptr || size < 0) return 0;
  const long nCount = nUnits < size ? nUnits : size;
  const auto* pIn = reinterpret_cast<const char*>(in);
  auto* pOut = reinterpret_cast<char*>(out);
  for (long i = nCount; i-- > 0;) {
    unsigned short u;
    std::memcpy(&u, pIn + i * sizeof u, sizeof u);
    const wchar_t w = u;
    std::memcpy(pOut + i * sizeof w, &w, sizeof w);
  }
  return static_cast<int>(nCount);
}

int WideCharToUTF16(const wchar_t* in, int n, unsigned short* out, int size) {
  long nUnits;
  if (in == nullptr) return 0;
  if (n == -1) nUnits = static_cast<long>(std::wcslen(in)) + 1;
  else if (n < 0) return 0;
  else nUnits = n;
  if (nUnits > INT_MAX) return 0;
  if (size == 0) return static_cast<int>(nUnits);
  if (out == nullptr || size < 0) return 0;
  const long nCount = nUnits < size ? nUnits : size;
  const auto* pIn = reinterpret_cast<const char*>(in);
  auto* pOut = reinterpret_cast<char*>(out);
  for (long i = 0; i < nCount; ++i) {
    wchar_t w;
    std::memcpy(&w, pIn + i * sizeof w, sizeof w);
    const auto u = static_cast<unsigned short>(static_cast<std::uint32_t>(w) & 0xFFFF);
    std::memcpy(pOut + i * sizeof u, &u, sizeof u);
  }
  return static_cast<int>(nCount);
}

namespace {

// Both UTF-32 copies: 4-byte units, -1 meaning up to and including the zero
// unit.
int nCopyUnits32(const void* in, int n, void* out, int size) {
  if (in == nullptr) return 0;
  long nUnits;
  if (n == -1) {
    const auto* p = static_cast<const char*>(in);
    nUnits = 0;
    for (std::uint32_t u = 1; u != 0; ++nUnits) std::memcpy(&u, p + nUnits * 4, 4);
  } else if (n < 0) {
    return 0;
  } else {
    nUnits = n;
  }
  if (nUnits > INT_MAX) return 0;
  if (size == 0) return static_cast<int>(nUnits);
  if (out == nullptr || size < 0) return 0;
  const long nCount = nUnits < size ? nUnits : size;
  std::memmove(out, in, static_cast<std::size_t>(nCount) * 4);
  return static_cast<int>(nCount);
}

}  // namespace

int UTF32ToWideChar(const unsigned int* in, int n, wchar_t* out, int size) {
  return nCopyUnits32(in, n, out, size);
}

int WideCharToUTF32(const wchar_t* in, int n, unsigned int* out, int size) {
  return nCopyUnits32(in, n, out, size);
}

long WideCharToANSI(char* out, long size, const wchar_t* wide) {
  if (out == nullptr || size < 1) return 0;
  long n = 0;
  if (wide != nullptr)
    for (; n < size - 1 && wide[n] != 0; ++n)
      out[n] = static_cast<char>(static_cast<std::uint32_t>(wide[n]) & 0xFF);
  out[n] = '\0';
  return n;
}

long ANSIToWideChar(wchar_t* out, long size, const char* text) {
  if (out == nullptr || size < 1) return 0;
  long n = 0;
  if (text != nullptr)
    for (; n < size - 1 && text[n] != '\0'; ++n)
      out[n] = static_cast<wchar_t>(static_cast<unsigned char>(text[n]));
  out[n] = 0;
  return n;
}

// ---------------------------------------------------------------------------
// Code pages and UTF-8

long MultiByteToUTF8(unsigned int codePage, const char* in, long n, char* out, long size,
                     unsigned int flags) {
  long nResult;
  if (!bPrepareRuns(in, n, out, size, &nResult)) return nResult;
  if (codePage == CP_UTF8) return nCopyUTF8(in, n, out, size);

  auto convertRun = [codePage, flags](const char* run, long len, char* o, long room) {
    return nRunToUTF8(codePage, run, len, o, room, flags);
  };
  if (codePage == 50220) {
    // 7-bit with shift sequences: a byte means nothing outside its context,
    // so the text converts as one run.
    const long nWritten = convertRun(in, n, out, size - 1);
    const long nPos = nWritten > 0 ? nWritten : 0;
    std::memset(out + nPos, 0, static_cast<std::size_t>(size - nPos));
    return nPos;
  }
  return nConvertByRuns(in, n, out, size, convertRun,
                        [codePage](const unsigned char* s, long i, long nIn) {
                          return nRunEnd(codePage, s, i, nIn);
                        });
}

long UTF8ToMultiByte(unsigned int codePage, const char* in, long n, char* out, long size,
                     unsigned int flags, const char* defaultChar, int* usedDefault) {
  int bUsed = 0;
  long nResult;
  if (bPrepareRuns(in, n, out, size, &nResult)) {
    if (codePage == CP_UTF8) {
      nResult = nCopyUTF8(in, n, out, size);
    } else {
      nResult = nConvertByRuns(
          in, n, out, size,
          [&](const char* run, long len, char* o, long room) {
            return nRunFromUTF8(codePage, run, len, o, room, flags, defaultChar, &bUsed);
          },
          nHighRunEnd);
    }
  }
  if (usedDefault != nullptr) *usedDefault = bUsed;
  return nResult;
}

long MultiByteToUTF8_CurrentCharset(const char* in, long n, char* out, long size,
                                    unsigned int flags) {
  return MultiByteToUTF8(static_cast<unsigned>(STR_nGetCurrentCodePage()), in, n, out, size,
                         flags);
}

long UTF8ToMultiByte_CurrentCharset(const char* in, long n, char* out, long size,
                                    unsigned int flags, const char* defaultChar,
                                    int* usedDefault) {
  return UTF8ToMultiByte(static_cast<unsigned>(STR_nGetCurrentCodePage()), in, n, out, size,
                         flags, defaultChar, usedDefault);
}

int MultiByteToUTF16(unsigned int codePage, int flags, const char* in, int n, unsigned short* out,
                     int size) {
  if (in == nullptr || n < -1 || n == 0 || size < 0) return 0;
  const auto uFlags = static_cast<unsigned>(flags);
  const int nWide = MultiByteToWideChar(codePage, uFlags, in, n, nullptr, 0);
  if (nWide <= 0) return 0;
  if (size == 0) return nWide;  // one 16-bit unit per character
  if (out == nullptr) return 0;
  CWideScratch wide(static_cast<std::size_t>(nWide));
  if (wide.p() == nullptr) return 0;
  const int nConverted = MultiByteToWideChar(codePage, uFlags, in, n, wide.p(), nWide);
  if (nConverted <= 0) return 0;
  return WideCharToUTF16(wide.p(), nConverted, out, size);
}

int MultiByteToUTF16_CurrentCharset(int flags, const char* in, int n, unsigned short* out,
                                    int size) {
  return MultiByteToUTF16(static_cast<unsigned>(STR_nGetCurrentCodePage()), flags, in, n, out,
                          size);
}

int UTF16ToMultiByte(unsigned int codePage, int flags, const unsigned short* in, int n, char* out,
                     int size, const char* defaultChar, int* usedDefault) {
  if (usedDefault != nullptr) *usedDefault = 0;
  const long nUnits = nUnitsWithTerminator(in, n);
  if (nUnits < 1 || nUnits > INT_MAX || size < 0) return 0;
  CWideScratch wide(static_cast<std::size_t>(nUnits));
  if (wide.p() == nullptr) return 0;
  const int nWide =
      UTF16ToWideChar(in, static_cast<int>(nUnits), wide.p(), static_cast<int>(nUnits));
  return WideCharToMultiByte(codePage, static_cast<unsigned>(flags), wide.p(), nWide,
                             size == 0 ? nullptr : out, size, defaultChar, usedDefault);
}

// ---------------------------------------------------------------------------
// 16-bit unit strings

std::size_t utf16len(const unsigned short* s) {
  std::size_t n = 0;
  if (s != nullptr)
    while (s[n] != 0) ++n;
  return n;
}

std::size_t utf16nlen(const unsigned short* s, long nMax) {
  if (s == nullptr || nMax < 1) return 0;
  std::size_t n = 0;
  while (static_cast<long>(n) < nMax && s[n] != 0) ++n;
  return n;
}

unsigned short* utf16ncpy(unsigned short* out, const unsigned short* in, long n) {
  for (long i = 0; i < n && in[i] != 0; ++i) out[i] = in[i];
  return out;
}

int utf16nicmp(const unsigned short* a, const unsigned short* b, long n) {
  for (long i = 0; i < n; ++i) {
    const auto ca = static_cast<int>(std::towlower(a[i]));
    const auto cb = static_cast<int>(std::towlower(b[i]));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

const unsigned short* utf16niutf16(const unsigned short* hay, const unsigned short* needle,
                                   long n) {
  if (hay == nullptr || needle == nullptr || n < 1) return nullptr;
  const long nNeedle = static_cast<long>(utf16len(needle));
  if (nNeedle == 0) return hay;
  if (hay[0] == 0 || nNeedle > n - 1) return nullptr;
  for (long i = 0; i + nNeedle <= n && hay[i] != 0; ++i)
    if (utf16nicmp(hay + i, needle, nNeedle) == 0) return hay + i;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Wide strings at any alignment

std::size_t __UNALIGNED__UNICODE__STRLEN__(const wchar_t* p) {
  if ((reinterpret_cast<std::uintptr_t>(p) & (sizeof(wchar_t) - 1)) == 0) return std::wcslen(p);
  const auto* s = reinterpret_cast<const char*>(p);
  std::size_t n = 0;
  for (;; ++n) {
    wchar_t w;
    std::memcpy(&w, s + n * sizeof w, sizeof w);
    if (w == 0) return n;
  }
}

wchar_t* __UNALIGNED__UNICODE__STRNCPY__(wchar_t* out, const wchar_t* in, std::size_t n) {
  const auto uMask = static_cast<std::uintptr_t>(sizeof(wchar_t) - 1);
  if (((reinterpret_cast<std::uintptr_t>(out) | reinterpret_cast<std::uintptr_t>(in)) & uMask) ==
      0)
    return std::wcsncpy(out, in, n);
  const auto* pIn = reinterpret_cast<const char*>(in);
  auto* pOut = reinterpret_cast<char*>(out);
  std::size_t i = 0;
  for (; i < n; ++i) {
    wchar_t w;
    std::memcpy(&w, pIn + i * sizeof w, sizeof w);
    if (w == 0) break;
    std::memcpy(pOut + i * sizeof w, &w, sizeof w);
  }
  if (i < n) std::memset(pOut + i * sizeof(wchar_t), 0, (n - i) * sizeof(wchar_t));
  return out;
}

// ---------------------------------------------------------------------------
// Heap strings

char* pszXSTR2CSTR(const wchar_t* wide, long n) {
  if (wide == nullptr) n = 0;
  else if (n < 0) n = static_cast<long>(std::wcslen(wide));
  if (n >= INT_MAX) return nullptr;
  auto* psz = static_cast<char*>(XMALLOC_pNew_(static_cast<std::size_t>(n) + 1));
  if (psz == nullptr) return nullptr;
  std::memset(psz, 0, static_cast<std::size_t>(n) + 1);
  if (n > 0)
    WideCharToMultiByte(1252, 0, wide, static_cast<int>(n), psz, static_cast<int>(n), nullptr,
                        nullptr);
  return psz;
}

wchar_t* pszCSTR2XSTR(const char* text, long n, unsigned int codePage) {
  if (text == nullptr) n = 0;
  else if (n < 0) n = static_cast<long>(std::strlen(text));
  const int nWide = (n > 0 && n < INT_MAX)
                        ? MultiByteToWideChar(codePage, 0, text, static_cast<int>(n), nullptr, 0)
                        : 0;
  wchar_t* psz = STR_pszCreate(nWide > 0 ? nWide : 0);
  if (psz == nullptr) return nullptr;
  const int nWritten =
      nWide > 0 ? MultiByteToWideChar(codePage, 0, text, static_cast<int>(n), psz, nWide) : 0;
  psz[nWritten > 0 ? nWritten : 0] = 0;
  return psz;
}

wchar_t* pszWSTR2XSTR(const wchar_t* wide, long n) {
  if (wide == nullptr) return STR_pszCreate(0L);
  return n < 1 ? STR_pszCreate(wide) : STR_pszCreate(n, wide);
}

wchar_t* pszXSTR2WSTR(const wchar_t* wide, long n) { return pszWSTR2XSTR(wide, n); }
