#include "FormatMessage.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "CodePage.h"
#include "FormatWin.h"
#include "XMalloc.h"

namespace {

constexpr std::size_t kMaxTextChars = 0x7fffff00;
constexpr unsigned kMaxArguments = 200;
constexpr std::size_t kMaxInsertFormat = 31;
constexpr int kMaxStars = 2;
constexpr unsigned kNoWrap = 0xFF;
constexpr unsigned kAllocationStep = 0x10000;

void SetNoMemory() { errno = static_cast<int>(FORMAT_MESSAGE_NO_MEMORY); }

// Wide copy of a UTF-8 text in a block of at least `minChars` characters
// (from XMALLOC_pNew_); null on failure. *length receives its length.
wchar_t* NewWideFromUtf8(const char* text, std::size_t minChars, std::size_t* length) {
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (needed <= 0) return nullptr;
  std::size_t chars = static_cast<std::size_t>(needed);
  if (chars < minChars) chars = minChars;
  wchar_t* wide = static_cast<wchar_t*>(XMALLOC_pNew_(chars * sizeof(wchar_t)));
  if (wide == nullptr) return nullptr;
  if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, needed) != needed) {
    XMALLOC_Del_(wide);
    return nullptr;
  }
  *length = static_cast<std::size_t>(needed) - 1;
  return wide;
}

// ---------------------------------------------------------------------------
// printf-style messages

unsigned FormatWideList(unsigned flags, const wchar_t* format, wchar_t* buffer, unsigned size,
                        va_list list) {
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    wchar_t** out = reinterpret_cast<wchar_t**>(buffer);
    wchar_t* text = nullptr;
    const int length = vaswprintf(&text, format, list);
    if (length < 0) {
      *out = nullptr;
      return 0;
    }
    if (size > static_cast<unsigned>(length) + 1) {
      wchar_t* larger = static_cast<wchar_t*>(XMALLOC_pResize_(text, size * sizeof(wchar_t)));
      if (larger == nullptr) {
        XMALLOC_Del_(text);
        *out = nullptr;
        return 0;
      }
      text = larger;
    }
    *out = text;
    return static_cast<unsigned>(length);
  }
  const int length = vsnwprintfWin(buffer, size, format, list);
  return length < 0 ? 0 : static_cast<unsigned>(length);
}

// A list with no argument, for a caller that handed none.
unsigned FormatWideNoArgs(unsigned flags, const wchar_t* format, wchar_t* buffer, unsigned size, ...) {
  va_list list;
  va_start(list, size);
  const unsigned result = FormatWideList(flags, format, buffer, size, list);
  va_end(list);
  return result;
}

unsigned FormatNarrowList(unsigned flags, const char* format, char* buffer, unsigned size, va_list list) {
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    char** out = reinterpret_cast<char**>(buffer);
    *out = nullptr;
    va_list count;
    va_copy(count, list);
    const int length = std::vsnprintf(nullptr, 0, format, count);
    va_end(count);
    if (length < 0) return 0;
    std::size_t chars = static_cast<std::size_t>(length) + 1;
    if (chars < size) chars = size;
    char* text = static_cast<char*>(XMALLOC_pNew_(chars));
    if (text == nullptr) return 0;
    if (std::vsnprintf(text, chars, format, list) != length) {
      XMALLOC_Del_(text);
      return 0;
    }
    *out = text;
    return static_cast<unsigned>(length);
  }
  const int length = std::vsnprintf(buffer, size, format, list);
  // vsnprintf answers the full length even when it cut the text.
  if (length < 0 || static_cast<unsigned>(length) >= size) return 0;
  return static_cast<unsigned>(length);
}

unsigned FormatNarrowNoArgs(unsigned flags, const char* format, char* buffer, unsigned size, ...) {
  va_list list;
  va_start(list, size);
  const unsigned result = FormatNarrowList(flags, format, buffer, size, list);
  va_end(list);
  return result;
}

// ---------------------------------------------------------------------------
// Insertion language

// Growing wide text from XMALLOC_pNew_; stops growing past kMaxTextChars.
class CWideBuilder {
 public:
  CWideBuilder() = default;
  ~CWideBuilder() { XMALLOC_Del_(m_pText); }
  CWideBuilder(const CWideBuilder&) = delete;
  CWideBuilder& operator=(const CWideBuilder&) = delete;

  bool bAppend(const wchar_t* text, std::size_t count) {
    if (!bReserve(count)) return false;
    std::wmemcpy(m_pText + m_nLength, text, count);
    m_nLength += count;
    return true;
  }
  bool bAppend(wchar_t c) { return bAppend(&c, 1); }

  const wchar_t* pText() const { return m_pText; }
  std::size_t nLength() const { return m_nLength; }
  // True when the last failure was the length limit, not memory.
  bool bTooLong() const { return m_bTooLong; }

 private:
  bool bReserve(std::size_t more) {
    if (more > kMaxTextChars - m_nLength) {
      m_bTooLong = true;
      return false;
    }
    const std::size_t needed = m_nLength + more;
    if (needed <= m_nCapacity) return true;
    std::size_t capacity = m_nCapacity < 64 ? 64 : m_nCapacity * 2;
    if (capacity < needed) capacity = needed;
    wchar_t* grown = static_cast<wchar_t*>(XMALLOC_pResize_(m_pText, capacity * sizeof(wchar_t)));
    if (grown == nullptr) return false;
    m_pText = grown;
    m_nCapacity = capacity;
    return true;
  }

  wchar_t* m_pText = nullptr;
  std::size_t m_nLength = 0;
  std::size_t m_nCapacity = 0;
  bool m_bTooLong = false;
};

// The arguments of a message, read as 64-bit words by number (from 1).
class CInsertArguments {
 public:
  CInsertArguments(va_list* args, bool isArray) {
    if (args == nullptr) return;
    if (isArray) {
      m_pArray = reinterpret_cast<const std::uint64_t*>(args);
    } else {
      va_copy(m_list, *args);
      m_bList = true;
    }
  }
  ~CInsertArguments() {
    if (m_bList) va_end(m_list);
  }
  CInsertArguments(const CInsertArguments&) = delete;
  CInsertArguments& operator=(const CInsertArguments&) = delete;

  bool bGet(unsigned number, std::uint64_t& value) {
    if (number == 0 || number > kMaxArguments) return false;
    if (m_pArray != nullptr) {
      value = m_pArray[number - 1];
      return true;
    }
    if (!m_bList) return false;
    // A list is read in order only, so every word up to `number` is kept.
    while (m_nRead < number) m_aRead[m_nRead++] = va_arg(m_list, std::uint64_t);
    value = m_aRead[number - 1];
    return true;
  }

 private:
  const std::uint64_t* m_pArray = nullptr;
  va_list m_list;
  bool m_bList = false;
  std::uint64_t m_aRead[kMaxArguments] = {};
  unsigned m_nRead = 0;
};

enum eInsertKind { IK_INT, IK_INT64, IK_WIDE_STRING, IK_NARROW_STRING, IK_POINTER };

// The kind of argument a conversion takes; false for one that an insert may
// not use (floating point, %n, unknown).
bool bInsertKind(const stWinFormatSpec& directive, eInsertKind& kind) {
  switch (directive.cConversion) {
    case L'd': case L'i': case L'o': case L'u': case L'x': case L'X':
      switch (directive.eSize) {
        case stWinFormatSpec::SP_L: case stWinFormatSpec::SP_LL: case stWinFormatSpec::SP_BIGL:
        case stWinFormatSpec::SP_J: case stWinFormatSpec::SP_Z: case stWinFormatSpec::SP_T:
        case stWinFormatSpec::SP_Q: case stWinFormatSpec::SP_I64:
          kind = IK_INT64;
          return true;
        default:
          kind = IK_INT;
          return true;
      }
    case L'c': case L'C':
      kind = IK_INT;
      return true;
    case L'p':
      kind = IK_POINTER;
      return true;
    case L's': case L'S': {
      const bool upper = directive.cConversion == L'S';
      bool wide;
      switch (directive.eSize) {
        case stWinFormatSpec::SP_NONE: case stWinFormatSpec::SP_I32: wide = !upper; break;
        case stWinFormatSpec::SP_H: wide = false; break;
        case stWinFormatSpec::SP_L: wide = true; break;
        default: return false;
      }
      kind = wide ? IK_WIDE_STRING : IK_NARROW_STRING;
      return true;
    }
    default:
      return false;
  }
}

template <typename T>
int PrintInsert(std::FILE* stream, const wchar_t* format, int stars, const int* starValues, T value) {
  switch (stars) {
    case 0: return std::fwprintf(stream, format, value);
    case 1: return std::fwprintf(stream, format, starValues[0], value);
    default: return std::fwprintf(stream, format, starValues[0], starValues[1], value);
  }
}

// Formats argument `number` with the Windows printf format `format` (the
// text between the two '!', or "s") and appends it; false with errno set.
bool bAppendInsert(CWideBuilder& out, const wchar_t* format, std::size_t formatLength, unsigned number,
                   CInsertArguments& args) {
  wchar_t windowsFormat[kMaxInsertFormat + 2];
  windowsFormat[0] = L'%';
  std::wmemcpy(windowsFormat + 1, format, formatLength);
  windowsFormat[formatLength + 1] = 0;

  stWinFormatSpec directive;
  const wchar_t* end = _pszParseFormatSpecWindows(windowsFormat + 1, directive);
  eInsertKind kind;
  if (*end != 0 || directive.bPositional || directive.nStars > kMaxStars || !bInsertKind(directive, kind)) {
    errno = EINVAL;
    return false;
  }
  wchar_t unixFormat[2 * kMaxInsertFormat + 4];
  _ConvertFormatWindowsToUnix(windowsFormat, unixFormat, sizeof(unixFormat) / sizeof(unixFormat[0]));

  int starValues[kMaxStars] = {0, 0};
  std::uint64_t word = 0;
  for (int i = 0; i < directive.nStars; ++i) {
    if (!args.bGet(number + static_cast<unsigned>(i), word)) {
      errno = EINVAL;
      return false;
    }
    starValues[i] = static_cast<int>(static_cast<std::uint32_t>(word));
  }
  if (!args.bGet(number + static_cast<unsigned>(directive.nStars), word)) {
    errno = EINVAL;
    return false;
  }

  wchar_t* text = nullptr;
  std::size_t length = 0;
  std::FILE* stream = open_wmemstream(&text, &length);
  if (stream == nullptr) {
    SetNoMemory();
    return false;
  }
  const std::uintptr_t address = static_cast<std::uintptr_t>(word);
  int written = -1;
  switch (kind) {
    case IK_INT:
      written = PrintInsert(stream, unixFormat, directive.nStars, starValues,
                            static_cast<int>(static_cast<std::uint32_t>(word)));
      break;
    case IK_INT64:
      written = PrintInsert(stream, unixFormat, directive.nStars, starValues, static_cast<long long>(word));
      break;
    case IK_WIDE_STRING:
      written = PrintInsert(stream, unixFormat, directive.nStars, starValues,
                            reinterpret_cast<const wchar_t*>(address));
      break;
    case IK_NARROW_STRING:
      written = PrintInsert(stream, unixFormat, directive.nStars, starValues, reinterpret_cast<const char*>(address));
      break;
    case IK_POINTER:
      written = PrintInsert(stream, unixFormat, directive.nStars, starValues, reinterpret_cast<const void*>(address));
      break;
  }
  const bool closed = std::fclose(stream) == 0;
  bool ok = written >= 0 && closed;
  if (ok && !out.bAppend(text, length)) {
    if (out.bTooLong()) {
      errno = EOVERFLOW;
    } else {
      SetNoMemory();
    }
    std::free(text);
    return false;
  }
  std::free(text);
  if (!ok) errno = EINVAL;
  return ok;
}

bool bIsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Breaks every line of `text` longer than `width` (lines end at CR or LF).
bool bWrap(const wchar_t* text, std::size_t length, std::size_t width, CWideBuilder& out) {
  static const wchar_t kLineEnd[] = {L'\r', L'\n'};
  std::size_t pos = 0;
  while (pos < length) {
    std::size_t lineEnd = pos;
    while (lineEnd < length && text[lineEnd] != L'\r' && text[lineEnd] != L'\n') ++lineEnd;
    const wchar_t* line = text + pos;
    std::size_t lineLength = lineEnd - pos;
    while (lineLength > width) {
      // The last blank at most `width` characters in: the part before it
      // fits; a blank right after the width still lets the full width stay.
      std::size_t breakAt = width;
      std::size_t keep = width;
      for (std::size_t i = width; i > 0; --i) {
        if (!bIsBlank(line[i])) continue;
        std::size_t end = i;
        while (end > 0 && bIsBlank(line[end - 1])) --end;
        if (end > 0) {
          breakAt = i;
          keep = end;
        }
        break;
      }
      if (!out.bAppend(line, keep)) return false;
      while (breakAt < lineLength && bIsBlank(line[breakAt])) ++breakAt;
      line += breakAt;
      lineLength -= breakAt;
      if (lineLength == 0) break;
      if (!out.bAppend(kLineEnd, 2)) return false;
    }
    if (!out.bAppend(line, lineLength)) return false;
    if (lineEnd < length && !out.bAppend(text[lineEnd])) return false;
    pos = lineEnd + 1;
  }
  return true;
}

// Expands the insertion language of `source` into `out`; false with errno.
bool bExpand(const wchar_t* source, unsigned flags, va_list* args, CWideBuilder& out) {
  static const wchar_t kLineEnd[] = {L'\r', L'\n'};
  const bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  const unsigned width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
  CInsertArguments arguments(args, (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0);
  bool ok = true;
  const wchar_t* p = source;
  while (ok && *p != 0) {
    if (*p == L'\r' || *p == L'\n') {
      if (p[0] == L'\r' && p[1] == L'\n') ++p;
      ++p;
      ok = width == 0 ? out.bAppend(kLineEnd, 2) : out.bAppend(L' ');
      continue;
    }
    if (*p != L'%') {
      ok = out.bAppend(*p++);
      continue;
    }
    const wchar_t* start = p++;
    if (*p == 0) {
      errno = EINVAL;
      return false;
    }
    if (*p >= L'1' && *p <= L'9') {
      unsigned number = static_cast<unsigned>(*p++ - L'0');
      if (*p >= L'0' && *p <= L'9') number = number * 10 + static_cast<unsigned>(*p++ - L'0');
      if (*p >= L'0' && *p <= L'9') {
        errno = EINVAL;
        return false;
      }
      const wchar_t* format = L"s";
      std::size_t formatLength = 1;
      if (*p == L'!') {
        const wchar_t* close = std::wcschr(p + 1, L'!');
        if (close == nullptr || static_cast<std::size_t>(close - (p + 1)) > kMaxInsertFormat) {
          errno = EINVAL;
          return false;
        }
        format = p + 1;
        formatLength = static_cast<std::size_t>(close - format);
        p = close + 1;
      }
      if (ignoreInserts) {
        ok = out.bAppend(start, static_cast<std::size_t>(p - start));
      } else if (!bAppendInsert(out, format, formatLength, number, arguments)) {
        return false;
      }
      continue;
    }
    const wchar_t c = *p++;
    switch (c) {
      case L'0': return true;
      case L'n': ok = out.bAppend(kLineEnd, 2); break;
      case L'r': ok = out.bAppend(L'\r'); break;
      case L't': ok = out.bAppend(L'\t'); break;
      case L'b': ok = out.bAppend(L' '); break;
      default:
        if (ignoreInserts) ok = out.bAppend(L'%');
        if (ok) ok = out.bAppend(c);
        break;
    }
  }
  if (!ok) {
    if (out.bTooLong()) {
      errno = EOVERFLOW;
    } else {
      SetNoMemory();
    }
  }
  return ok;
}

unsigned FromSystem(unsigned flags, unsigned id, wchar_t* buffer, unsigned size, int callerErrno) {
  const char* text = std::strerror(id != 0 ? static_cast<int>(id) : callerErrno);
  const bool allocate = (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  std::size_t length = 0;
  // With a new buffer: max(length, size) + 1 characters.
  wchar_t* wide = NewWideFromUtf8(text, allocate ? static_cast<std::size_t>(size) + 1 : 0, &length);
  if (wide == nullptr) {
    SetNoMemory();
    if (allocate) *reinterpret_cast<wchar_t**>(buffer) = nullptr;
    return 0;
  }
  if (allocate) {
    *reinterpret_cast<wchar_t**>(buffer) = wide;
    return static_cast<unsigned>(length);
  }
  if (size == 0) {
    XMALLOC_Del_(wide);
    return 0;
  }
  const std::size_t placed = length < size ? length : size - 1;
  std::wmemcpy(buffer, wide, placed);
  buffer[placed] = 0;
  XMALLOC_Del_(wide);
  return static_cast<unsigned>(placed);
}

unsigned FromString(unsigned flags, const wchar_t* source, wchar_t* buffer, unsigned size, va_list* args) {
  if (source == nullptr) {
    errno = EINVAL;
    return 0;
  }
  const bool allocate = (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  std::size_t capacity = size;
  wchar_t* target = buffer;
  if (allocate) {
    capacity = (size & ~(kAllocationStep - 1)) + static_cast<std::size_t>(kAllocationStep);
    target = static_cast<wchar_t*>(XMALLOC_pNew_(capacity * sizeof(wchar_t)));
    if (target == nullptr) {
      SetNoMemory();
      return 0;
    }
  }

  CWideBuilder expanded;
  bool ok = bExpand(source, flags, args, expanded);
  const unsigned width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
  const wchar_t* text = expanded.pText();
  std::size_t length = expanded.nLength();
  CWideBuilder wrapped;
  if (ok && width != 0 && width != kNoWrap) {
    ok = bWrap(text, length, width, wrapped);
    if (!ok) {
      if (wrapped.bTooLong()) {
        errno = EOVERFLOW;
      } else {
        SetNoMemory();
      }
    }
    text = wrapped.pText();
    length = wrapped.nLength();
  }
  if (!ok) {
    if (allocate) XMALLOC_Del_(target);
    return 0;
  }
  if (capacity == 0) {
    errno = EOVERFLOW;
    return 0;
  }

  std::size_t placed = length;
  if (length >= capacity) {
    // Too long: the text is cut to the capacity and still handed over.
    placed = capacity - 1;
    errno = EOVERFLOW;
  }
  if (placed > 0) std::wmemcpy(target, text, placed);
  target[placed] = 0;
  if (allocate) {
    wchar_t* shrunk = static_cast<wchar_t*>(XMALLOC_pResize_(target, (placed + 1) * sizeof(wchar_t)));
    if (shrunk != nullptr) target = shrunk;
    *reinterpret_cast<wchar_t**>(buffer) = target;
  }
  return static_cast<unsigned>(placed);
}

}  // namespace

unsigned FormatMessageW(unsigned flags, const void* source, unsigned /*id*/, unsigned /*language*/,
                        wchar_t* buffer, unsigned size, va_list* args) {
  const int callerErrno = errno;
  const wchar_t* format = static_cast<const wchar_t*>(source);
  wchar_t* systemText = nullptr;
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) {
    std::size_t length = 0;
    systemText = NewWideFromUtf8(std::strerror(callerErrno), 0, &length);
    format = systemText;
  }
  if (format == nullptr) {
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) *reinterpret_cast<wchar_t**>(buffer) = nullptr;
    errno = systemText == nullptr && (flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0 ? ENOMEM : EINVAL;
    return 0;
  }
  unsigned result;
  if (args == nullptr) {
    result = FormatWideNoArgs(flags, format, buffer, size);
  } else {
    va_list list;
    va_copy(list, *args);
    result = FormatWideList(flags, format, buffer, size, list);
    va_end(list);
  }
  XMALLOC_Del_(systemText);
  return result;
}

unsigned FormatMessageA(unsigned flags, const void* source, unsigned /*id*/, unsigned /*language*/,
                        char* buffer, unsigned size, va_list* args) {
  const char* format = static_cast<const char*>(source);
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) format = std::strerror(errno);
  if (format == nullptr) {
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) *reinterpret_cast<char**>(buffer) = nullptr;
    errno = EINVAL;
    return 0;
  }
  if (args == nullptr) return FormatNarrowNoArgs(flags, format, buffer, size);
  va_list list;
  va_copy(list, *args);
  const unsigned result = FormatNarrowList(flags, format, buffer, size, list);
  va_end(list);
  return result;
}

unsigned FormatMessageWin(unsigned flags, const void* source, unsigned id, unsigned /*language*/,
                          wchar_t* buffer, unsigned size, va_list* args) {
  const int callerErrno = errno;
  if ((flags & FORMAT_MESSAGE_FROM_HMODULE) != 0 ||
      (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_SYSTEM)) == 0) {
    errno = EINVAL;
    return 0;
  }
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) return FromSystem(flags, id, buffer, size, callerErrno);
  return FromString(flags, static_cast<const wchar_t*>(source), buffer, size, args);
}
