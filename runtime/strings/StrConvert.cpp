// Conversions between 8-bit text of a code page and wide text into new heap
// strings, and the round-trip test of a code page.

#include <cstring>
#include <cwchar>

#include "CodePage.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

template <typename T>
void Clear(T** out, int* outLen) {
  *out = nullptr;
  if (outLen != nullptr) *outLen = 0;
}

// A source length of -1 converts the NUL too; it is not part of the text.
template <typename T>
int TextLength(const T* buffer, int converted, int sourceLength) {
  if (sourceLength < 0 && converted > 0 && buffer[converted - 1] == 0) return converted - 1;
  return converted;
}

unsigned CurrentCodePage() {
  return static_cast<unsigned>(STR_piGetInfoLocale()->vnGetCurrentCodePage());
}

}  // namespace

bool STR_CharToWChar_AnyCodepage(const char* src, int len, unsigned codePage, wchar_t** out,
                                 int* outLen, unsigned flags) {
  Clear(out, outLen);
  if (src == nullptr) return false;
  if (codePage != CP_UTF8) flags |= 1;
  const int needed = MultiByteToWideChar(codePage, flags, src, len, nullptr, 0);
  if (needed <= 0) return false;
  wchar_t* buffer = static_cast<wchar_t*>(
      XMALLOC_pNew_((static_cast<std::size_t>(needed) + 1) * sizeof(wchar_t)));
  if (buffer == nullptr) return false;
  const int converted = MultiByteToWideChar(codePage, flags, src, len, buffer, needed);
  if (converted <= 0) {
    XMALLOC_Del_(buffer);
    return false;
  }
  buffer[converted] = 0;
  *out = buffer;
  if (outLen != nullptr) *outLen = TextLength(buffer, converted, len);
  return true;
}

bool STR_CharToWChar(wchar_t** out, const char* src) {
  return STR_CharToWChar_AnyCodepage(src, -1, 1252, out, nullptr, MB_ERR_INVALID_CHARS | 1);
}

bool STR_CharToWChar_CurrentCharset(wchar_t** out, const char* src, unsigned flags, int len) {
  if (src == nullptr) {
    *out = nullptr;
    return true;
  }
  return STR_CharToWChar_AnyCodepage(src, len, CurrentCodePage(), out, nullptr, flags);
}

wchar_t STR_CharToWChar(char c, unsigned flags, unsigned codePage) {
  wchar_t w = 0;
  return MultiByteToWideChar(codePage, flags, &c, 1, &w, 1) == 1 ? w : 0;
}

wchar_t STR_CharToWChar_CurrentCharset(char c, unsigned flags) {
  return STR_CharToWChar(c, flags, CurrentCodePage());
}

bool STR_WCharToChar_AnyCodepage(const wchar_t* src, int len, char** out, int* outLen,
                                 unsigned codePage) {
  Clear(out, outLen);
  if (src == nullptr) return false;
  const int needed = WideCharToMultiByte(codePage, 0, src, len, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  char* buffer = static_cast<char*>(XMALLOC_pNew_(static_cast<std::size_t>(needed) + 1));
  if (buffer == nullptr) return false;
  const int converted =
      WideCharToMultiByte(codePage, 0, src, len, buffer, needed, nullptr, nullptr);
  if (converted <= 0) {
    XMALLOC_Del_(buffer);
    return false;
  }
  buffer[converted] = 0;
  *out = buffer;
  if (outLen != nullptr) *outLen = TextLength(buffer, converted, len);
  return true;
}

bool STR_WCharToChar_CurrentCharset(char** out, const wchar_t* src, int len) {
  if (src == nullptr) {
    *out = nullptr;
    return true;
  }
  return STR_WCharToChar_AnyCodepage(src, len, out, nullptr, CurrentCodePage());
}

char STR_WCharToAChar(wchar_t c, unsigned flags, unsigned codePage) {
  char bytes[8] = {0};
  return WideCharToMultiByte(codePage, flags, &c, 1, bytes, sizeof bytes, nullptr, nullptr) > 0
             ? bytes[0]
             : 0;
}

bool STR_CharToChar_AnyCodepage(const char* src, int len, unsigned fromCodePage, char** out,
                                int* outLen, unsigned toCodePage) {
  Clear(out, outLen);
  if (src == nullptr) return false;
  if (fromCodePage == toCodePage) {
    const std::size_t n = len < 0 ? std::strlen(src) : static_cast<std::size_t>(len);
    char* copy = static_cast<char*>(XMALLOC_pNew_(n + 1));
    if (copy == nullptr) return false;
    std::memcpy(copy, src, n);
    copy[n] = 0;
    *out = copy;
    if (outLen != nullptr) *outLen = static_cast<int>(n);
    return true;
  }
  wchar_t* wide = nullptr;
  int wideLength = 0;
  if (!STR_CharToWChar_AnyCodepage(src, len, fromCodePage, &wide, &wideLength, 0)) return false;
  bool done;
  if (wideLength == 0) {
    // Nothing to convert back: the empty text.
    *out = static_cast<char*>(XMALLOC_pNew_(1));
    done = *out != nullptr;
    if (done) **out = 0;
  } else {
    done = STR_WCharToChar_AnyCodepage(wide, wideLength, out, outLen, toCodePage);
  }
  STR_Delete(wide);
  return done;
}

bool bAnsiCompatible(const wchar_t* text, unsigned codePage) {
  if (text == nullptr || *text == 0) return true;
  char* bytes = nullptr;
  int byteLength = 0;
  if (!STR_WCharToChar_AnyCodepage(text, -1, &bytes, &byteLength, codePage)) return false;
  const int needed =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS | 1, bytes, byteLength, nullptr, 0);
  bool same = false;
  if (needed > 0) {
    wchar_t* back = static_cast<wchar_t*>(
        XMALLOC_pNew_((static_cast<std::size_t>(needed) + 1) * sizeof(wchar_t)));
    if (back != nullptr) {
      const int converted = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS | 1, bytes,
                                                byteLength, back, needed);
      if (converted > 0) {
        back[converted] = 0;
        same = std::wcscmp(back, text) == 0;
      }
      XMALLOC_Del_(back);
    }
  }
  XMALLOC_Del_(bytes);
  return same;
}

bool bLatin1(const wchar_t* text) { return bAnsiCompatible(text, 1252); }
