#include "CodePage.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <cwchar>

#include "XMalloc.h"

static_assert(sizeof(wchar_t) == 4, "wide characters are 4-byte UTF-32");

namespace {

// One object, so that "converts as Windows-1252" is a pointer comparison.
const char kszCP1252[] = "CP1252";

// Units of the scratch area used to count without an output buffer.
constexpr std::size_t knScratchUnits = 8;

const iconv_t kInvalidIconv = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t knIconvError = static_cast<std::size_t>(-1);

// Wide-side names tried for 8-bit to wide, in order; with
// MB_ERR_INVALID_CHARS the search starts at the first name without
// "//IGNORE", so that invalid input stops the conversion.
const char* const kapszWideTargets[] = {
    "UCS4LE//IGNORE", "UTF32LE//IGNORE", "UCS-4LE//IGNORE", "UTF-32LE//IGNORE",
    "UCS4LE",         "UTF32LE",         "UCS-4LE",         "UTF-32LE",
};
constexpr std::size_t knFirstStrictTarget = 4;

// Windows-1252 bytes 0x80-0x9F; every other byte is its own code point. The
// system's CP1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined, and text
// in this code page may hold them: they stand for the C1 control of the same
// number, so that no byte is ever lost.
const wchar_t kawCP1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Owns one iconv descriptor for the length of a call.
class CIconv {
 public:
  explicit CIconv(iconv_t cd) : m_cd(cd) {}
  ~CIconv() {
    if (m_cd != kInvalidIconv) iconv_close(m_cd);
  }
  CIconv(const CIconv&) = delete;
  CIconv& operator=(const CIconv&) = delete;

  bool bOpen() const { return m_cd != kInvalidIconv; }
  iconv_t cd() const { return m_cd; }

 private:
  iconv_t m_cd;
};

// Where a conversion writes: the caller's buffer, or, when counting, a
// scratch area of eight units that is emptied into the count whenever iconv
// finds it full.
class COutput {
 public:
  // `buffer` null: counting, with a scratch area of eight units of `unit`
  // bytes. Otherwise `capacity` bytes of `buffer` may be written.
  COutput(char* buffer, std::size_t capacity, std::size_t unit)
      : m_bCounting(buffer == nullptr),
        m_pBase(m_bCounting ? m_acScratch : buffer),
        m_pOut(m_pBase),
        m_nLeft(m_bCounting ? knScratchUnits * unit : capacity),
        m_nCapacity(m_nLeft) {}

  char** ppOut() { return &m_pOut; }
  std::size_t* pnLeft() { return &m_nLeft; }

  // iconv found no room. When counting, the scratch area's content joins the
  // count and the area starts again; false when writing into the caller's
  // buffer (too small) or when the scratch area took nothing since it was
  // last emptied (no progress is possible).
  bool bDrain() {
    if (!m_bCounting || m_pOut == m_pBase) return false;
    m_nDrained += static_cast<std::size_t>(m_pOut - m_pBase);
    m_pOut = m_pBase;
    m_nLeft = m_nCapacity;
    return true;
  }

  // Writes `size` bytes of `text` as they stand (a default text); when
  // counting only their number counts. False when the buffer has no room.
  bool bPut(const char* text, std::size_t size) {
    if (m_bCounting) {
      m_nDrained += size;
      return true;
    }
    if (size > m_nLeft) return false;
    std::memcpy(m_pOut, text, size);
    m_pOut += size;
    m_nLeft -= size;
    return true;
  }

  // Bytes written, or counted, so far.
  std::size_t nProduced() const {
    return m_nDrained + static_cast<std::size_t>(m_pOut - m_pBase);
  }

 private:
  char m_acScratch[knScratchUnits * sizeof(wchar_t)];
  bool m_bCounting;
  char* m_pBase;
  char* m_pOut;
  std::size_t m_nLeft;
  std::size_t m_nCapacity;
  std::size_t m_nDrained = 0;
};

// What replaces a wide character the target cannot hold.
struct SDefaultText {
  const char* pszText;
  std::size_t nSize;
  int* pbUsed;
};

// Ends the conversion: emits what the converter still holds (the return to
// the initial shift state, or a character kept back in case a combining mark
// followed it).
bool bFlush(iconv_t cd, COutput& out) {
  for (;;) {
    if (iconv(cd, nullptr, nullptr, out.ppOut(), out.pnLeft()) != knIconvError) return true;
    if (errno != E2BIG || !out.bDrain()) return false;
  }
}

// With the output buffer full, iconv answers E2BIG before it looks at the
// next wide character, so a character it cannot encode at that point would
// fail the call although its default text may be empty. Converts that
// character alone into a spare area to tell: EILSEQ leaves the converter as it
// was; any other answer means the buffer really is too small and the call
// fails anyway.
bool bNextIsUnencodable(iconv_t cd, char* pIn, std::size_t nInLeft) {
  char acSpare[32];
  char* pSpare = acSpare;
  std::size_t nSpareLeft = sizeof(acSpare);
  std::size_t nOne = nInLeft < sizeof(wchar_t) ? nInLeft : sizeof(wchar_t);
  return iconv(cd, &pIn, &nOne, &pSpare, &nSpareLeft) == knIconvError && errno == EILSEQ;
}

// Converts `size` bytes of `src` into `out`.
// bIgnore: invalid input is skipped. glibc's "//IGNORE" skips it but then
//   reports EILSEQ, after consuming all the input; and an incomplete sequence
//   at the very end stops with EINVAL. Both keep what was produced.
// pDefault: wide source only; a character the target cannot hold is replaced
//   by the default text.
bool bConvert(iconv_t cd, const char* src, std::size_t size, COutput& out, bool bIgnore,
              const SDefaultText* pDefault) {
  char* pIn = const_cast<char*>(src);  // iconv's signature; it only reads
  std::size_t nInLeft = size;
  while (nInLeft > 0) {
    if (iconv(cd, &pIn, &nInLeft, out.ppOut(), out.pnLeft()) != knIconvError) break;
    int nError = errno;
    if (nError == E2BIG) {
      if (out.bDrain()) continue;
      if (pDefault == nullptr || !bNextIsUnencodable(cd, pIn, nInLeft)) return false;
      nError = EILSEQ;  // the buffer is full, but the next character is replaced anyway
    }
    if (bIgnore && ((nError == EILSEQ && nInLeft == 0) || nError == EINVAL)) break;
    if (nError == EILSEQ && pDefault != nullptr && nInLeft >= sizeof(wchar_t)) {
      // The default text is plain bytes: put the converter back into its
      // initial shift state first, so that they read as themselves.
      if (!bFlush(cd, out) || !out.bPut(pDefault->pszText, pDefault->nSize)) return false;
      if (pDefault->pbUsed != nullptr) *pDefault->pbUsed = 1;
      pIn += sizeof(wchar_t);
      nInLeft -= sizeof(wchar_t);
      continue;
    }
    return false;
  }
  return bFlush(cd, out);
}

// Units produced by `out` as the int result; 0 when it does not fit.
int nResult(const COutput& out, std::size_t unit) {
  const std::size_t n = out.nProduced() / unit;
  return n > static_cast<std::size_t>(INT_MAX) ? 0 : static_cast<int>(n);
}

// Windows-1252 to wide, byte by byte.
int nFromCP1252(const char* src, std::size_t size, wchar_t* dst, int dstLen) {
  if (size > static_cast<std::size_t>(INT_MAX)) return 0;
  if (dst == nullptr || dstLen == 0) return static_cast<int>(size);
  if (size > static_cast<std::size_t>(dstLen)) return 0;
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(src[i]);
    dst[i] = (c >= 0x80 && c < 0xA0) ? kawCP1252High[c - 0x80] : static_cast<wchar_t>(c);
  }
  return static_cast<int>(size);
}

}  // namespace

const char* CodePageToIConv(unsigned codePage) {
  switch (codePage) {
    case 1: return "CP437";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 1361: return "CP1361";
    case 50220: return "ISO-2022-JP";
    case 65001: return "UTF-8";
    default: return kszCP1252;  // 0, 1252 and every number not listed
  }
}

int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* src, int srcLen,
                        wchar_t* dst, int dstLen) {
  if (src == nullptr || srcLen < -1 || dstLen < 0) return 0;
  const std::size_t nSize =
      srcLen == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLen);
  const char* pszFrom = CodePageToIConv(codePage);
  if (pszFrom == kszCP1252) return nFromCP1252(src, nSize, dst, dstLen);

  const bool bStrict = (flags & MB_ERR_INVALID_CHARS) != 0;
  iconv_t cd = kInvalidIconv;
  for (std::size_t i = bStrict ? knFirstStrictTarget : 0;
       i < sizeof(kapszWideTargets) / sizeof(kapszWideTargets[0]) && cd == kInvalidIconv; ++i)
    cd = iconv_open(kapszWideTargets[i], pszFrom);
  CIconv conv(cd);
  if (!conv.bOpen()) return 0;

  const bool bCount = dst == nullptr || dstLen == 0;
  COutput out(bCount ? nullptr : reinterpret_cast<char*>(dst),
              bCount ? 0 : static_cast<std::size_t>(dstLen) * sizeof(wchar_t), sizeof(wchar_t));
  if (!bConvert(conv.cd(), src, nSize, out, !bStrict, nullptr)) return 0;
  return nResult(out, sizeof(wchar_t));
}

int WideCharToMultiByte(unsigned codePage, unsigned /*flags*/, const wchar_t* src, int srcLen,
                        char* dst, int dstLen, const char* defaultChar, int* usedDefault) {
  if (usedDefault != nullptr) *usedDefault = 0;
  if (src == nullptr || srcLen < -1 || dstLen < 0) return 0;
  const std::size_t nChars =
      srcLen == -1 ? std::wcslen(src) + 1 : static_cast<std::size_t>(srcLen);

  const char* pszTo = CodePageToIConv(codePage);
  iconv_t cd = iconv_open(pszTo, "UCS4LE");
  if (cd == kInvalidIconv) cd = iconv_open(pszTo, "UTF32LE");
  CIconv conv(cd);
  if (!conv.bOpen()) return 0;

  const char* pszDefault = defaultChar != nullptr ? defaultChar : "?";
  const SDefaultText def{pszDefault, std::strlen(pszDefault), usedDefault};
  const bool bCount = dst == nullptr || dstLen == 0;
  COutput out(bCount ? nullptr : dst, bCount ? 0 : static_cast<std::size_t>(dstLen), 1);
  if (!bConvert(conv.cd(), reinterpret_cast<const char*>(src), nChars * sizeof(wchar_t), out,
                false, &def))
    return 0;
  return nResult(out, 1);
}

int MultiByteToMultiByte(unsigned fromPage, const char* src, int srcLen, unsigned toPage,
                         char* dst, int dstLen) {
  if (src == nullptr || srcLen < -1 || dstLen < 0) return 0;
  const int nWide = MultiByteToWideChar(fromPage, 0, src, srcLen, nullptr, 0);
  if (nWide <= 0) return 0;
  wchar_t* pWide =
      static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(nWide) * sizeof(wchar_t)));
  if (pWide == nullptr) return 0;
  int nResultBytes = 0;
  if (MultiByteToWideChar(fromPage, 0, src, srcLen, pWide, nWide) == nWide)
    nResultBytes = WideCharToMultiByte(toPage, 0, pWide, nWide, dst, dstLen, nullptr, nullptr);
  XMALLOC_Del_(pWide);
  return nResultBytes;
}

int nGetUTF8Len(const wchar_t* text) {
  return WideCharToMultiByte(CP_UTF8, 0, text != nullptr ? text : L"", -1, nullptr, 0, nullptr,
                             nullptr);
}

bool SetLocaleUTF8() {
  static const char* const apszLocales[] = {
      "", "fr_FR.UTF-8", "fr_FR.utf8", "en_US.UTF-8", "en_US.utf8", "C.UTF-8", "C.utf8",
  };
  constexpr std::size_t nLocales = sizeof(apszLocales) / sizeof(apszLocales[0]);
  for (std::size_t i = 0; i < nLocales; ++i) {
    const char* pszName = std::setlocale(LC_CTYPE, apszLocales[i]);
    if (pszName == nullptr) continue;
    if (i + 1 == nLocales) return true;
    char szLower[100];
    std::size_t n = 0;
    for (; n < sizeof(szLower) - 1 && pszName[n] != '\0'; ++n)
      szLower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(pszName[n])));
    szLower[n] = '\0';
    if (std::strstr(szLower, "utf8") != nullptr || std::strstr(szLower, "utf-8") != nullptr)
      return true;
  }
  return false;
}

const char* UnsetLocale(int category) { return std::setlocale(category, "C"); }
