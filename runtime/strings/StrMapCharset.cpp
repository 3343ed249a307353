// Maps and sort keys under the language of a charset (index keys of text
// items in a given charset).

#include "Charsets.h"
#include "StrFunctions.h"

namespace {

template <typename T>
int MapCharset(int charset, unsigned flags, T* dst, int size, const T* src, int len) {
  const unsigned lcid = wGetLanguageID(charset);
  IInfoLocale* locale = STR_piGetInfoLocale();
  static const T empty[1] = {0};
  if (src == nullptr) {
    src = empty;
    len = 0;
  }
  int written;
  if constexpr (sizeof(T) == 1) {
    if (dst == nullptr || size <= 0) return locale->vnMapA(lcid, flags, nullptr, 0, src, len);
    written = locale->vnMapA(lcid, flags, dst, size, src, len);
  } else {
    if (dst == nullptr || size <= 0) return locale->vnMapW(lcid, flags, nullptr, 0, src, len);
    written = locale->vnMapW(lcid, flags, dst, size, src, len);
  }
  if (written < 0) written = 0;
  if (written > size - 1) written = size - 1;
  dst[written] = 0;
  return written;
}

}  // namespace

int STR_nMapStringEx_Charset(int charset, unsigned flags, char* dst, int size, const char* src,
                             int len) {
  return MapCharset(charset, flags, dst, size, src, len);
}

int STR_nMapStringEx_Charset(int charset, unsigned flags, wchar_t* dst, int size,
                             const wchar_t* src, int len) {
  return MapCharset(charset, flags, dst, size, src, len);
}

int STR_MapStringSortEx_Charset(int charset, unsigned char* dst, int size, const char* src,
                                int len) {
  if (src == nullptr) {
    src = "";
    len = 0;
  }
  return STR_piGetInfoLocale()->vnSortKeyA(wGetLanguageID(charset), dst, size, src, len);
}
