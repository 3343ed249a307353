#include "ValueTextConversion.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "CodePage.h"

namespace kxvalues {
namespace {

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t knIconvError = static_cast<std::size_t>(-1);
constexpr unsigned knUTF8 = 65001;
constexpr unsigned kn1252 = 1252;

// Bytes 0x80-0x9F of 1252; the five undefined ones stand for the C1
// controls of the same number.
const std::uint16_t kaw1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool bIs1252(unsigned cp) { return std::strcmp(CodePageToIConv(cp), "CP1252") == 0; }

inline wchar_t w1252(unsigned char c) {
  return c >= 0x80 && c < 0xA0 ? static_cast<wchar_t>(kaw1252High[c - 0x80]) : static_cast<wchar_t>(c);
}

// The 1252 byte of a code point, or -1. The C1 controls are not encodable.
int n1252Byte(unsigned c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  if (c < 0x100) return -1;
  for (int i = 0; i < 32; ++i)
    if (kaw1252High[i] == c && (c < 0x80 || c > 0x9F)) return 0x80 + i;
  return -1;
}

// Decodes one well-formed UTF-8 character at p (n > 0 bytes available).
// Returns its length and *pc, or 0 when the bytes at p start no
// well-formed character (the caller drops the first byte).
int nDecodeUTF8(const unsigned char* p, std::size_t n, unsigned* pc) {
  const unsigned b = p[0];
  if (b < 0x80) {
    *pc = b;
    return 1;
  }
  int nLen;
  unsigned c;
  unsigned lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    nLen = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    nLen = 3;
    c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    nLen = 4;
    c = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (n < static_cast<std::size_t>(nLen)) return 0;
  if (p[1] < lo || p[1] > hi) return 0;
  c = c << 6 | (p[1] & 0x3F);
  for (int i = 2; i < nLen; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = c << 6 | (p[i] & 0x3F);
  }
  *pc = c;
  return nLen;
}

int nEncodeUTF8(unsigned c, unsigned char* out) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | c >> 18);
  out[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

bool bScalar(unsigned c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

class CThreadConverters;

// Every thread's converters, so that the module's end can close those of
// threads that outlive it. The lock and the list are never destroyed (a
// thread may end after the module's static objects) and live in the
// module's own storage, not on the heap: a module that is unloaded leaves
// no block behind. The module's end empties the list.
alignas(std::mutex) unsigned char gabyRegistryLock[sizeof(std::mutex)];
alignas(std::set<CThreadConverters*>) unsigned char gabyRegistry[sizeof(std::set<CThreadConverters*>)];
std::mutex& RegistryLock() {
  static std::mutex* s_p = new (gabyRegistryLock) std::mutex;
  return *s_p;
}
std::set<CThreadConverters*>& Registry() {
  static auto* s_p = new (gabyRegistry) std::set<CThreadConverters*>;
  return *s_p;
}

// This thread's iconv descriptors, one per (code page, direction). They are
// reset before every use, so a conversion never starts in another's shift
// state.
class CThreadConverters {
 public:
  CThreadConverters() {
    std::lock_guard<std::mutex> clLock(RegistryLock());
    Registry().insert(this);
  }
  ~CThreadConverters() {
    std::lock_guard<std::mutex> clLock(RegistryLock());
    Registry().erase(this);
    Release();
  }
  CThreadConverters(const CThreadConverters&) = delete;
  CThreadConverters& operator=(const CThreadConverters&) = delete;
  // Descriptor from the code page to wide text (bToWide) or back; kInvalid
  // when iconv does not know the code page.
  iconv_t cd(unsigned cp, bool bToWide) {
    for (STEntry& st : m_ast)
      if (st.cd != kInvalid && st.nCodePage == cp && st.bToWide == bToWide) {
        iconv(st.cd, nullptr, nullptr, nullptr, nullptr);
        return st.cd;
      }
    const char* pszPage = CodePageToIConv(cp);
    iconv_t cdNew = bToWide ? iconv_open("UCS-4LE", pszPage) : iconv_open(pszPage, "UCS-4LE");
    if (cdNew == kInvalid) return kInvalid;
    STEntry& st = m_ast[m_nNext];
    m_nNext = (m_nNext + 1) % knEntries;
    if (st.cd != kInvalid) iconv_close(st.cd);
    st = STEntry{cp, bToWide, cdNew};
    return cdNew;
  }
  void Release() {
    for (STEntry& st : m_ast)
      if (st.cd != kInvalid) {
        iconv_close(st.cd);
        st.cd = kInvalid;
      }
  }

 private:
  static constexpr int knEntries = 4;
  struct STEntry {
    unsigned nCodePage = 0;
    bool bToWide = false;
    iconv_t cd = kInvalid;
  };
  STEntry m_ast[knEntries];
  int m_nNext = 0;
};

CThreadConverters& Converters() {
  static thread_local CThreadConverters s_cl;
  return s_cl;
}

// At the module's end the converters of the threads still running are
// closed (each thread's own end closes its converters otherwise).
struct CModuleEnd {
  ~CModuleEnd() {
    std::lock_guard<std::mutex> clLock(RegistryLock());
    for (CThreadConverters* p : Registry()) p->Release();
    Registry().clear();
  }
} gclModuleEnd;

// Sink of decoded characters: returns false when the character does not fit
// (the conversion stops there, the character left out whole).
template <typename SINK>
bool bDecodeText(unsigned cp, const char* in, std::size_t n, SINK& sink, bool* pbNoConverter) {
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  if (cp == knUTF8) {
    std::size_t i = 0;
    while (i < n) {
      unsigned c;
      const int nLen = nDecodeUTF8(p + i, n - i, &c);
      if (nLen == 0) {
        ++i;  // invalid UTF-8 is dropped
        continue;
      }
      if (!sink(c)) return true;
      i += static_cast<std::size_t>(nLen);
    }
    return true;
  }
  if (bIs1252(cp)) {
    for (std::size_t i = 0; i < n; ++i)
      if (!sink(static_cast<unsigned>(w1252(p[i])))) return true;
    return true;
  }
  // Other code pages: ASCII directly up to the first byte with the top bit
  // (double-byte pages may use bytes below 0x80 as trail bytes), the rest
  // through this thread's converter, in stack-sized pieces.
  std::size_t i = 0;
  while (i < n && p[i] < 0x80) {
    if (!sink(p[i])) return true;
    ++i;
  }
  if (i == n) return true;
  iconv_t cd = Converters().cd(cp, true);
  if (cd == kInvalid) {
    *pbNoConverter = true;
    return false;
  }
  char* pIn = const_cast<char*>(in + i);
  std::size_t nInLeft = n - i;
  wchar_t aw[128];
  while (nInLeft > 0) {
    char* pOut = reinterpret_cast<char*>(aw);
    std::size_t nOutLeft = sizeof aw;
    const std::size_t r = iconv(cd, &pIn, &nInLeft, &pOut, &nOutLeft);
    const int nError = r == knIconvError ? errno : 0;
    const std::size_t nChars = (sizeof aw - nOutLeft) / sizeof(wchar_t);
    for (std::size_t k = 0; k < nChars; ++k)
      if (!sink(static_cast<unsigned>(aw[k]))) return true;
    if (nError == EILSEQ) {
      ++pIn;  // invalid bytes of the code page are dropped
      --nInLeft;
    } else if (nError == EINVAL) {
      break;  // an incomplete character at the end is dropped
    } else if (nError != E2BIG && nError != 0) {
      return false;
    }
  }
  return true;
}

// Encodes code points into code page cp; each character written whole or
// not at all. Returns the bytes written.
class CEncoder {
 public:
  CEncoder(unsigned cp, char* out, std::size_t max) : m_cp(cp), m_pOut(out), m_nMax(max) {
    m_b1252 = bIs1252(cp);
  }
  bool bPut(unsigned c) {
    if (m_cp == knUTF8) {
      unsigned char aby[4];
      const int nLen = bScalar(c) ? nEncodeUTF8(c, aby) : (aby[0] = '?', 1);
      if (m_n + static_cast<std::size_t>(nLen) > m_nMax) return false;
      std::memcpy(m_pOut + m_n, aby, static_cast<std::size_t>(nLen));
      m_n += static_cast<std::size_t>(nLen);
      return true;
    }
    if (m_n >= m_nMax) return false;
    if (m_b1252 || c < 0x80) {
      const int b = m_b1252 ? n1252Byte(c) : static_cast<int>(c);
      m_pOut[m_n++] = static_cast<char>(b < 0 ? '?' : b);
      return true;
    }
    if (m_cd == nullptr) {
      m_cd = Converters().cd(m_cp, false);
      if (m_cd == kInvalid) {
        m_bNoConverter = true;
        return false;
      }
    }
    wchar_t w = static_cast<wchar_t>(c);
    char* pIn = reinterpret_cast<char*>(&w);
    std::size_t nIn = sizeof w;
    char* pOut = m_pOut + m_n;
    std::size_t nOutLeft = m_nMax - m_n;
    if (iconv(m_cd, &pIn, &nIn, &pOut, &nOutLeft) == knIconvError) {
      if (errno == E2BIG) return false;
      m_pOut[m_n++] = '?';  // a character the code page lacks
      return true;
    }
    m_n = static_cast<std::size_t>(pOut - m_pOut);
    return true;
  }
  std::size_t nWritten() const { return m_n; }
  bool bNoConverter() const { return m_bNoConverter; }

 private:
  unsigned m_cp;
  char* m_pOut;
  std::size_t m_nMax;
  std::size_t m_n = 0;
  bool m_b1252 = false;
  bool m_bNoConverter = false;
  iconv_t m_cd = nullptr;
};

void SetFailed(bool* pbFailed, bool b) {
  if (pbFailed != nullptr) *pbFailed = b;
}

}  // namespace

unsigned nNormaliseCodePage(int codePage) {
  return codePage <= 0 ? kn1252 : static_cast<unsigned>(codePage);
}

std::size_t nTextToUTF16(int codePage, const char* in, std::size_t n, std::uint16_t* out, std::size_t max,
                         bool* pbFailed) {
  SetFailed(pbFailed, false);
  if (in == nullptr || n == 0) return 0;
  std::size_t nOut = 0;
  bool bFirst = true;
  bool bNothingFits = false;
  auto sink = [&](unsigned c) {
    if (!bScalar(c)) c = '?';
    const std::size_t nNeed = c >= 0x10000 ? 2 : 1;
    if (nOut + nNeed > max) {
      bNothingFits = bFirst;
      return false;
    }
    bFirst = false;
    if (nNeed == 2) {
      out[nOut++] = static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10));
      out[nOut++] = static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out[nOut++] = static_cast<std::uint16_t>(c);
    }
    return true;
  };
  const unsigned cp = nNormaliseCodePage(codePage);
  // ASCII fast path: widened byte by byte while no top bit is seen.
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  std::size_t i = 0;
  const std::size_t nAscii = n < max ? n : max;
  while (i < nAscii && p[i] < 0x80) out[nOut++] = p[i++];
  if (i == n || nOut == max) return nOut;
  if (i > 0) bFirst = false;
  bool bNoConverter = false;
  if (!bDecodeText(cp, in + i, n - i, sink, &bNoConverter)) {
    SetFailed(pbFailed, true);
    return 0;
  }
  if (nOut == 0 && !bNothingFits) SetFailed(pbFailed, true);
  return nOut;
}

std::size_t nTextToWide(int codePage, const char* in, std::size_t n, wchar_t* out, std::size_t max,
                        bool* pbFailed) {
  SetFailed(pbFailed, false);
  if (in == nullptr || n == 0) return 0;
  std::size_t nOut = 0;
  auto sink = [&](unsigned c) {
    if (nOut >= max) return false;
    out[nOut++] = static_cast<wchar_t>(c);
    return true;
  };
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  std::size_t i = 0;
  while (i < n && nOut < max && p[i] < 0x80) out[nOut++] = p[i++];
  if (i == n || nOut == max) return nOut;
  bool bNoConverter = false;
  if (!bDecodeText(nNormaliseCodePage(codePage), in + i, n - i, sink, &bNoConverter)) {
    SetFailed(pbFailed, true);
    return 0;
  }
  if (nOut == 0 && max > 0) SetFailed(pbFailed, true);
  return nOut;
}

std::size_t nUTF8ToText(int codePage, const char* in, std::size_t n, char* out, std::size_t max,
                        bool* pbFailed) {
  SetFailed(pbFailed, false);
  if (in == nullptr || n == 0) return 0;
  const unsigned cp = nNormaliseCodePage(codePage);
  if (cp == knUTF8) {
    const std::size_t nCopy = nUTF8WholePrefix(in, n, max);
    std::memcpy(out, in, nCopy);
    return nCopy;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  std::size_t i = 0;
  const std::size_t nAscii = n < max ? n : max;
  while (i < nAscii && p[i] < 0x80) {
    out[i] = static_cast<char>(p[i]);
    ++i;
  }
  if (i == n || i == max) return i;
  const std::size_t nPrefix = i;  // ASCII already copied
  CEncoder clEnc(cp, out + i, max - i);
  bool bStopped = false;
  while (i < n) {
    unsigned c;
    const int nLen = nDecodeUTF8(p + i, n - i, &c);
    if (nLen == 0) {
      ++i;  // invalid UTF-8 is dropped
      continue;
    }
    if (!clEnc.bPut(c)) {
      bStopped = true;
      break;
    }
    i += static_cast<std::size_t>(nLen);
  }
  if (clEnc.bNoConverter()) {
    SetFailed(pbFailed, true);
    return 0;
  }
  const std::size_t nResult = nPrefix + clEnc.nWritten();
  if (nResult == 0 && !bStopped) SetFailed(pbFailed, true);
  return nResult;
}

std::size_t nWideToText(int codePage, const wchar_t* in, std::size_t n, char* out, std::size_t max,
                        bool* pbFailed) {
  SetFailed(pbFailed, false);
  if (in == nullptr || n == 0) return 0;
  CEncoder clEnc(nNormaliseCodePage(codePage), out, max);
  for (std::size_t i = 0; i < n; ++i)
    if (!clEnc.bPut(static_cast<unsigned>(in[i]))) break;
  if (clEnc.bNoConverter()) {
    SetFailed(pbFailed, true);
    return 0;
  }
  return clEnc.nWritten();
}

std::size_t nWideToUTF16(const wchar_t* in, std::size_t n, std::uint16_t* out, std::size_t max) {
  std::size_t nOut = 0;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned c = static_cast<unsigned>(in[i]);
    if (!bScalar(c)) c = '?';
    if (c >= 0x10000) {
      if (nOut + 2 > max) break;
      out[nOut++] = static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10));
      out[nOut++] = static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF));
    } else {
      if (nOut + 1 > max) break;
      out[nOut++] = static_cast<std::uint16_t>(c);
    }
  }
  return nOut;
}

std::size_t nUTF16ToWide(const std::uint16_t* in, std::size_t n, wchar_t* out, std::size_t max) {
  std::size_t nOut = 0;
  for (std::size_t i = 0; i < n && in[i] != 0 && nOut < max; ++i) {
    unsigned c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00u);
      ++i;
    }
    out[nOut++] = static_cast<wchar_t>(c);
  }
  return nOut;
}

std::size_t nUTF16Len(const std::uint16_t* in, std::size_t n) {
  std::size_t i = 0;
  while (i < n && in[i] != 0) ++i;
  return i;
}

std::size_t nUTF8WholePrefix(const char* in, std::size_t n, std::size_t max) {
  if (n <= max) return n;
  // Step back over the continuation bytes of a character cut at max.
  std::size_t k = max;
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  while (k > 0 && (p[k] & 0xC0) == 0x80 && max - k < 3) --k;
  if ((p[k] & 0xC0) == 0x80) return max;  // not UTF-8 at all: a plain cut
  return k;
}

}  // namespace kxvalues
