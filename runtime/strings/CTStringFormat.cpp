// CTString formatting: printf-style (printf, FormatV, AddPrintf,
// CTStringFormat) and FormatMessage-style (FormatMessageW, FormatMessageWin).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwchar>

#include "CTString.h"
#include "FormatMessage.h"
#include "FormatWin.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// No formatted text reaches this many characters (terminator included).
constexpr std::size_t kMaxFormat = 10000000;

// Formats into a new malloc'd buffer of exactly length + 1 characters stored
// in *out. The estimate is only a first size: the text is formatted with a
// bound and the buffer doubled while it does not fit, up to kMaxFormat.
// Returns the length, or -1 (nothing allocated) when a character does not
// convert (EILSEQ), the text reaches kMaxFormat or memory is refused.
long FormatNew(wchar_t** out, const wchar_t* format, va_list args) {
  *out = nullptr;
  if (format == nullptr) return -1;
  const long estimate = STRG_nCalculeLongueurPrintf(format, args);
  std::size_t size = estimate > 0 ? static_cast<std::size_t>(estimate) + 1 : 1;
  size = std::min(size, kMaxFormat);
  for (;;) {
    auto* buffer = static_cast<wchar_t*>(std::malloc(size * sizeof(wchar_t)));
    if (buffer == nullptr) return -1;
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    const int length = vsnwprintfWin(buffer, size, format, copy);
    const int error = errno;
    va_end(copy);
    if (length >= 0 && static_cast<std::size_t>(length) < size) {
      if (static_cast<std::size_t>(length) + 1 < size) {
        void* exact =
            std::realloc(buffer, (static_cast<std::size_t>(length) + 1) * sizeof(wchar_t));
        if (exact != nullptr) buffer = static_cast<wchar_t*>(exact);
      }
      *out = buffer;
      return length;
    }
    std::free(buffer);
    // A character that does not convert fails at every size.
    if (error == EILSEQ || size >= kMaxFormat) return -1;
    size = std::min(size * 2, kMaxFormat);
  }
}

}  // namespace

int CTString::FormatV(const wchar_t* format, va_list args) {
  wchar_t* buffer = nullptr;
  const long length = FormatNew(&buffer, format, args);
  if (length < 0) return -1;
  __Adopte(buffer);
  return static_cast<int>(length);
}

int CTString::printf(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = FormatV(format, args);
  va_end(args);
  return length;
}

int CTString::AddPrintf(const wchar_t* format, ...) {
  CTString text;
  va_list args;
  va_start(args, format);
  const int length = text.FormatV(format, args);
  va_end(args);
  if (length > 0) Add(text.pszGet());
  return length;
}

CTString CTStringFormat(const wchar_t* format, ...) {
  CTString text;
  va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  return text;
}

namespace {

using FormatMessageFn = unsigned (*)(unsigned, const void*, unsigned, unsigned, wchar_t*,
                                     unsigned, va_list*);

// Formats through `fn` into a buffer it allocates; on success *out holds
// the text (freed with XMALLOC_Del_ by the caller).
unsigned FormatMessageAlloue(FormatMessageFn fn, const wchar_t* format, wchar_t** out,
                             va_list* args) {
  *out = nullptr;
  if (format == nullptr) return 0;
  return fn(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, format, 0, 0,
            reinterpret_cast<wchar_t*>(out), 0, args);
}

}  // namespace

unsigned CTString::FormatMessageW(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  wchar_t* text = nullptr;
  const unsigned length = FormatMessageAlloue(&::FormatMessageW, format, &text, &args);
  va_end(args);
  if (text == nullptr) return 0;
  Set(text, length);
  XMALLOC_Del_(text);
  return length;
}

unsigned CTString::FormatMessageWin(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  wchar_t* text = nullptr;
  const unsigned length = FormatMessageAlloue(&::FormatMessageWin, format, &text, &args);
  va_end(args);
  if (text == nullptr) return 0;
  Set(text, length);
  XMALLOC_Del_(text);
  return length;
}
