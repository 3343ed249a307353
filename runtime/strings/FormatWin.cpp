#include "FormatWin.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "XMalloc.h"

namespace {

constexpr std::size_t kStackFormatBytes = 511;
constexpr std::size_t kStackFormatChars = kStackFormatBytes / sizeof(wchar_t);
constexpr std::size_t kUnsizedBound = 10000000;
constexpr std::size_t kMaxTextChars = 0x7fffff00;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

const wchar_t* SkipDigits(const wchar_t* p) {
  while (IsDigit(*p)) ++p;
  return p;
}

// A width or precision given by `*`, possibly `*N$`.
const wchar_t* SkipStar(const wchar_t* p, int& stars) {
  ++stars;
  ++p;
  const wchar_t* digits = SkipDigits(p);
  if (digits != p && *digits == L'$') return digits + 1;
  return p;
}

const wchar_t* SizePrefixText(stWinFormatSpec::eSizePrefix size) {
  switch (size) {
    case stWinFormatSpec::SP_H: return L"h";
    case stWinFormatSpec::SP_HH: return L"hh";
    case stWinFormatSpec::SP_L: return L"l";
    case stWinFormatSpec::SP_LL: return L"ll";
    case stWinFormatSpec::SP_BIGL: return L"L";
    case stWinFormatSpec::SP_J: return L"j";
    case stWinFormatSpec::SP_Z: return L"z";
    case stWinFormatSpec::SP_T: return L"t";
    case stWinFormatSpec::SP_Q: return L"q";
    case stWinFormatSpec::SP_I64: return L"ll";
    case stWinFormatSpec::SP_NONE:
    case stWinFormatSpec::SP_I32: break;
  }
  return L"";
}

// Bounded writer: counts everything, stores what fits before the NUL.
class CBoundedOut {
 public:
  CBoundedOut(wchar_t* out, std::size_t size) : m_pOut(out), m_nSize(size) {}
  void Put(wchar_t c) {
    if (m_pOut != nullptr && m_nPos + 1 < m_nSize) m_pOut[m_nPos] = c;
    ++m_nPos;
  }
  void Put(const wchar_t* from, const wchar_t* to) {
    while (from < to) Put(*from++);
  }
  void Put(const wchar_t* text) {
    while (*text != 0) Put(*text++);
  }
  // Ends the text; returns the characters needed with the NUL.
  std::size_t Finish() {
    if (m_pOut != nullptr && m_nSize > 0) m_pOut[m_nPos < m_nSize ? m_nPos : m_nSize - 1] = 0;
    return m_nPos + 1;
  }

 private:
  wchar_t* m_pOut;
  std::size_t m_nSize;
  std::size_t m_nPos = 0;
};

// The one conversion pass behind both the size and the converted text.
std::size_t Convert(const wchar_t* format, wchar_t* out, std::size_t size) {
  CBoundedOut writer(out, size);
  const wchar_t* p = format;
  while (*p != 0) {
    if (*p != L'%') {
      writer.Put(*p++);
      continue;
    }
    writer.Put(*p++);
    if (*p == L'%') {
      writer.Put(*p++);
      continue;
    }
    stWinFormatSpec directive;
    const wchar_t* next = _pszParseFormatSpecWindows(p, directive);
    writer.Put(p, directive.pszKeptEnd);
    const wchar_t c = directive.cConversion;
    const bool isString = c == L's' || c == L'S';
    const bool isChar = c == L'c' || c == L'C';
    if (isString || isChar) {
      const bool upper = c == L'S' || c == L'C';
      bool wide;
      bool known = true;
      switch (directive.eSize) {
        case stWinFormatSpec::SP_NONE:
        case stWinFormatSpec::SP_I32: wide = !upper; break;
        case stWinFormatSpec::SP_H: wide = false; break;
        case stWinFormatSpec::SP_L: wide = true; break;
        default: wide = false; known = false; break;
      }
      if (known) {
        if (wide) writer.Put(L'l');
        writer.Put(isString ? L's' : L'c');
      } else {
        writer.Put(SizePrefixText(directive.eSize));
        writer.Put(c);
      }
    } else {
      writer.Put(SizePrefixText(directive.eSize));
      if (c != 0) writer.Put(c);
    }
    p = next;
  }
  return writer.Finish();
}

// The converted format of one call: on the stack while it needs at most 511
// bytes, on the heap beyond.
class CUnixFormat {
 public:
  explicit CUnixFormat(const wchar_t* format) {
    if (format == nullptr) return;
    const std::size_t need = Convert(format, m_aStack, kStackFormatChars);
    if (need <= kStackFormatChars) {
      m_pFormat = m_aStack;
      return;
    }
    m_pHeap = static_cast<wchar_t*>(XMALLOC_pNew_(need * sizeof(wchar_t)));
    if (m_pHeap == nullptr) return;
    Convert(format, m_pHeap, need);
    m_pFormat = m_pHeap;
  }
  ~CUnixFormat() { XMALLOC_Del_(m_pHeap); }
  CUnixFormat(const CUnixFormat&) = delete;
  CUnixFormat& operator=(const CUnixFormat&) = delete;

  // Null when the format was null or its buffer could not be allocated.
  const wchar_t* Get() const { return m_pFormat; }

 private:
  wchar_t m_aStack[kStackFormatChars];
  wchar_t* m_pHeap = nullptr;
  const wchar_t* m_pFormat = nullptr;
};

int FormatConverted(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args) {
  if (format == nullptr) {
    errno = EINVAL;
    return -1;
  }
  CUnixFormat converted(format);
  if (converted.Get() == nullptr) {
    errno = ENOMEM;
    return -1;
  }
  return std::vswprintf(buffer, n, converted.Get(), args);
}

int FormatCut(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args) {
  const int result = FormatConverted(buffer, n + 1, format, args);
  buffer[n] = 0;
  return result;
}

// Length of the text, or -1 when the formatting itself fails; the text is
// left in a stream buffer that the caller frees with free().
long FormatToStream(const wchar_t* format, va_list args, wchar_t** text) {
  *text = nullptr;
  std::size_t length = 0;
  std::FILE* stream = open_wmemstream(text, &length);
  if (stream == nullptr) return -1;
  const int written = std::vfwprintf(stream, format, args);
  const int savedErrno = errno;
  const bool closed = std::fclose(stream) == 0;
  errno = savedErrno;
  if (written < 0 || !closed) {
    std::free(*text);
    *text = nullptr;
    return -1;
  }
  return static_cast<long>(length);
}

}  // namespace

const wchar_t* _pszParseFormatSpecWindows(const wchar_t* directive, stWinFormatSpec& out) {
  const wchar_t* p = directive;
  out.eSize = stWinFormatSpec::SP_NONE;
  out.cConversion = 0;
  out.nStars = 0;
  out.bPositional = false;

  const wchar_t* digits = SkipDigits(p);
  if (digits != p && *digits == L'$') {
    out.bPositional = true;
    p = digits + 1;
  }
  while (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'#' || *p == L'0' || *p == L'\'') ++p;
  if (*p == L'*') {
    p = SkipStar(p, out.nStars);
  } else {
    p = SkipDigits(p);
  }
  if (*p == L'.') {
    ++p;
    if (*p == L'*') {
      p = SkipStar(p, out.nStars);
    } else {
      p = SkipDigits(p);
    }
  }
  out.pszKeptEnd = p;

  switch (*p) {
    case L'h':
      if (p[1] == L'h') {
        out.eSize = stWinFormatSpec::SP_HH;
        p += 2;
      } else {
        out.eSize = stWinFormatSpec::SP_H;
        ++p;
      }
      break;
    case L'l':
      if (p[1] == L'l') {
        out.eSize = stWinFormatSpec::SP_LL;
        p += 2;
      } else {
        out.eSize = stWinFormatSpec::SP_L;
        ++p;
      }
      break;
    case L'L': out.eSize = stWinFormatSpec::SP_BIGL; ++p; break;
    case L'j': out.eSize = stWinFormatSpec::SP_J; ++p; break;
    case L'z': out.eSize = stWinFormatSpec::SP_Z; ++p; break;
    case L't': out.eSize = stWinFormatSpec::SP_T; ++p; break;
    case L'q': out.eSize = stWinFormatSpec::SP_Q; ++p; break;
    case L'I':
      if (p[1] == L'6' && p[2] == L'4') {
        out.eSize = stWinFormatSpec::SP_I64;
        p += 3;
      } else if (p[1] == L'3' && p[2] == L'2') {
        out.eSize = stWinFormatSpec::SP_I32;
        p += 3;
      }
      break;
    default: break;
  }
  if (*p != 0) out.cConversion = *p++;
  return p;
}

void _ConvertFormatWindowsToUnix(const wchar_t* format, wchar_t* out, std::size_t size) {
  if (format == nullptr) return;
  Convert(format, out, size);
}

std::size_t _nCalculeTailleChaineFormattageUnix(const wchar_t* format) {
  if (format == nullptr) return 0;
  return Convert(format, nullptr, 0);
}

int vsnwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args) {
  return FormatConverted(buffer, n, format, args);
}

int snwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatConverted(buffer, n, format, args);
  va_end(args);
  return result;
}

int vswprintfWin(wchar_t* buffer, const wchar_t* format, va_list args) {
  return FormatConverted(buffer, kUnsizedBound, format, args);
}

int swprintfWin(wchar_t* buffer, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatConverted(buffer, kUnsizedBound, format, args);
  va_end(args);
  return result;
}

int vsznwprintf(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args) {
  return FormatCut(buffer, n, format, args);
}

int sznwprintf(wchar_t* buffer, std::size_t n, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatCut(buffer, n, format, args);
  va_end(args);
  return result;
}

int vsznwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args) {
  return FormatCut(buffer, n, format, args);
}

int sznwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatCut(buffer, n, format, args);
  va_end(args);
  return result;
}

int vsznprintf(char* buffer, std::size_t n, const char* format, va_list args) {
  const int result = std::vsnprintf(buffer, n + 1, format, args);
  buffer[n] = 0;
  if (result < 0) return -1;
  return static_cast<std::size_t>(result) > n ? -1 : result;
}

int sznprintf(char* buffer, std::size_t n, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = vsznprintf(buffer, n, format, args);
  va_end(args);
  return result;
}

int vaswprintf(wchar_t** buffer, const wchar_t* format, va_list args) {
  *buffer = nullptr;
  if (format == nullptr) {
    errno = EINVAL;
    return -1;
  }
  CUnixFormat converted(format);
  if (converted.Get() == nullptr) {
    errno = ENOMEM;
    return -1;
  }
  const std::size_t formatLength = std::wcslen(format);
  const std::size_t capacity = (formatLength & ~static_cast<std::size_t>(7)) + 8;
  wchar_t* text = static_cast<wchar_t*>(XMALLOC_pNew_(capacity * sizeof(wchar_t)));
  if (text == nullptr) {
    errno = ENOMEM;
    return -1;
  }

  va_list attempt;
  va_copy(attempt, args);
  const int first = std::vswprintf(text, capacity, converted.Get(), attempt);
  va_end(attempt);
  if (first >= 0) {
    *buffer = text;
    return first;
  }

  // vswprintf answers -1 alike for a full buffer and for a failed
  // conversion, often without touching errno; a growing stream only fails
  // for the latter, and tells the true length otherwise.
  wchar_t* streamText = nullptr;
  errno = 0;
  va_copy(attempt, args);
  const long length = FormatToStream(converted.Get(), attempt, &streamText);
  va_end(attempt);

  if (length < 0) {
    if (errno == EILSEQ) {
      // The text cannot be formatted; the format itself stands in for it.
      wchar_t* copy = static_cast<wchar_t*>(XMALLOC_pResize_(text, (formatLength + 1) * sizeof(wchar_t)));
      if (copy == nullptr) {
        XMALLOC_Del_(text);
        errno = ENOMEM;
        return -1;
      }
      std::wmemcpy(copy, format, formatLength + 1);
      *buffer = copy;
      return static_cast<int>(formatLength);
    }
    XMALLOC_Del_(text);
    return -1;
  }
  if (static_cast<std::size_t>(length) > kMaxTextChars) {
    std::free(streamText);
    XMALLOC_Del_(text);
    errno = EOVERFLOW;
    return -1;
  }
  wchar_t* grown = static_cast<wchar_t*>(XMALLOC_pResize_(text, (static_cast<std::size_t>(length) + 1) * sizeof(wchar_t)));
  if (grown == nullptr) {
    std::free(streamText);
    XMALLOC_Del_(text);
    errno = ENOMEM;
    return -1;
  }
  std::wmemcpy(grown, streamText, static_cast<std::size_t>(length) + 1);
  std::free(streamText);
  *buffer = grown;
  return static_cast<int>(length);
}
