// The locale behind the string functions, and case/accent mapping through it.

#include <climits>
#include <cwchar>

#include "BuiltinLocale.h"
#include "CInformationDLL.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// The LCID a call uses: the current one under 0x10000000 (the flag itself is
// not passed on), else the function's default.
unsigned ResolveLCID(unsigned& flags, unsigned defaultLCID) {
  if ((flags & STR_FLAG_CURRENTLOCALE) == 0) return defaultLCID;
  flags &= ~STR_FLAG_CURRENTLOCALE;
  return STR_nGetCurrentLCID();
}

// The locale may fill the whole destination (or answer nonsense): the text
// ends where it can, inside the buffer.
template <typename T>
int Terminate(T* dst, int dstSize, int written) {
  if (written < 0) written = 0;
  if (written > dstSize - 1) written = dstSize - 1;
  dst[written] = 0;
  return written;
}

int MapWithLCID(unsigned lcid, unsigned flags, char* dst, int dstSize, const char* src,
                int srcLen) {
  if (src == nullptr) {
    src = "";
    srcLen = 0;
  }
  IInfoLocale* locale = STR_piGetInfoLocale();
  if (dst == nullptr || dstSize <= 0) return locale->vnMapA(lcid, flags, nullptr, 0, src, srcLen);
  return Terminate(dst, dstSize, locale->vnMapA(lcid, flags, dst, dstSize, src, srcLen));
}

int MapWithLCID(unsigned lcid, unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src,
                int srcLen) {
  if (src == nullptr) {
    src = L"";
    srcLen = 0;
  }
  IInfoLocale* locale = STR_piGetInfoLocale();
  if (dst == nullptr || dstSize <= 0) return locale->vnMapW(lcid, flags, nullptr, 0, src, srcLen);
  return Terminate(dst, dstSize, locale->vnMapW(lcid, flags, dst, dstSize, src, srcLen));
}

template <typename T>
int CreateMapString(unsigned flags, T** out, const T* src) {
  const unsigned lcid = ResolveLCID(flags, STR_LCID_MAP);
  const int needed = MapWithLCID(lcid, flags, static_cast<T*>(nullptr), 0, src, -1);
  const long size = (needed < 0 ? 0L : static_cast<long>(needed)) + 1;
  *out = static_cast<T*>(XMALLOC_pNew_(static_cast<std::size_t>(size) * sizeof(T)));
  if (*out == nullptr) return -1;
  return MapWithLCID(lcid, flags, *out, static_cast<int>(size), src, -1);
}

// One character mapped by itself, for the case conversions. A character the
// locale maps to nothing is kept: a case change must not cut the text.
char CaseA(unsigned flags, char c) {
  char buffer[2] = {0, 0};
  const int written =
      STR_piGetInfoLocale()->vnMapA(STR_LCID_DEFAULT, flags, buffer, 2, &c, 1);
  return written > 0 && buffer[0] != 0 ? buffer[0] : c;
}

wchar_t CaseW(unsigned flags, wchar_t c) {
  wchar_t buffer[2] = {0, 0};
  const int written = STR_piGetInfoLocale()->vnMapCurrentW(flags, buffer, 2, &c, 1);
  return written > 0 && buffer[0] != 0 ? buffer[0] : c;
}

template <typename T, typename F>
T* CaseBuffer(T* text, long length, F convert) {
  if (text == nullptr) return text;
  for (long i = 0; length < 0 ? text[i] != 0 : i < length; ++i) text[i] = convert(text[i]);
  return text;
}

}  // namespace

IInfoLocale* STR_piGetInfoLocale() {
  IInfoLocale* locale = CInformationDLL::ms_piInfoLocale;
  return locale != nullptr ? locale : STR_pGetBuiltinLocale();
}

int STR_nGetCurrentChangeCharsetInterne() { return STR_piGetInfoLocale()->vnGetCurrentCharset(); }

int STR_nGetCurrentChangeCharset() {
  const int charset = STR_nGetCurrentChangeCharsetInterne();
  return charset == 127 ? 0 : charset;
}

int STR_nGetCurrentCodePage() {
  IInfoLocale* locale = CInformationDLL::ms_piInfoLocale;
  return locale != nullptr ? locale->vnGetCurrentCodePage() : 0;
}

unsigned STR_nGetCurrentLCID() { return STR_piGetInfoLocale()->vnGetCurrentLCID(); }

unsigned STR_nGetSafeCurrentLCID() { return STR_piGetInfoLocale()->vnGetSafeCurrentLCID(); }

int STR_nMapStringEx(unsigned flags, char* dst, int dstSize, const char* src, int srcLen) {
  const unsigned lcid = ResolveLCID(flags, STR_LCID_MAP);
  return MapWithLCID(lcid, flags, dst, dstSize, src, srcLen);
}

int STR_nMapStringEx(unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src, int srcLen) {
  const unsigned lcid = ResolveLCID(flags, STR_LCID_MAP);
  return MapWithLCID(lcid, flags, dst, dstSize, src, srcLen);
}

int STR_nGetMapStringLenEx(unsigned flags, const char* src, int srcLen) {
  const int needed = STR_nMapStringEx(flags, static_cast<char*>(nullptr), 0, src, srcLen);
  return (needed < 0 ? 0 : needed) + 1;
}

int STR_nGetMapStringLenEx(unsigned flags, const wchar_t* src, int srcLen) {
  const int needed = STR_nMapStringEx(flags, static_cast<wchar_t*>(nullptr), 0, src, srcLen);
  return (needed < 0 ? 0 : needed) + 1;
}

int STR_nCreateMapString(unsigned flags, char** out, const char* src) {
  return CreateMapString(flags, out, src);
}

int STR_nCreateMapString(unsigned flags, wchar_t** out, const wchar_t* src) {
  return CreateMapString(flags, out, src);
}

wchar_t* STR_pszCreateStandard(const wchar_t* src) {
  if (src == nullptr) return nullptr;
  const std::size_t length = std::wcslen(src);
  if (length >= INT_MAX) return nullptr;
  wchar_t* out = STR_pszCreateW(static_cast<long>(length));
  if (out == nullptr) return nullptr;
  STR_nMapStringEx(STR_FLAG_UPPER | STR_FLAG_NOACCENT, out, static_cast<int>(length) + 1, src,
                   static_cast<int>(length));
  return out;
}

int STR_MapStringSortEx(unsigned char* dst, int size, const char* src, int len, int current) {
  const unsigned lcid = current != 0 ? STR_nGetCurrentLCID() : STR_LCID_MAP;
  if (src == nullptr) {
    src = "";
    len = 0;
  }
  return STR_piGetInfoLocale()->vnSortKeyA(lcid, dst, size, src, len);
}

int STR_nMapCharEx(unsigned flags, wchar_t* out, wchar_t c) {
  wchar_t buffer[2] = {0, 0};
  const int written = STR_nMapStringEx(flags, buffer, 2, &c, 1);
  *out = buffer[0];
  return written;
}

int STR_nMapCharExANSI(unsigned flags, char* out, char c) {
  char buffer[2] = {0, 0};
  const int written = STR_nMapStringEx(flags, buffer, 2, &c, 1);
  *out = buffer[0];
  return written;
}

int STR_nMapCharIgnoreCaseAccent(wchar_t* out, wchar_t c) {
  return STR_nMapCharEx(STR_FLAG_UPPER | STR_FLAG_NOACCENT, out, c);
}

char* STR_ToUpperBuff(char* text, long length) {
  return CaseBuffer(text, length, [](char c) { return CaseA(STR_FLAG_UPPER, c); });
}

wchar_t* STR_ToUpperBuff(wchar_t* text, long length) {
  return CaseBuffer(text, length, [](wchar_t c) { return CaseW(STR_FLAG_UPPER, c); });
}

char* STR_ToLowerBuff(char* text, long length) {
  return CaseBuffer(text, length, [](char c) { return CaseA(STR_FLAG_LOWER, c); });
}

wchar_t* STR_ToLowerBuff(wchar_t* text, long length) {
  return CaseBuffer(text, length, [](wchar_t c) { return CaseW(STR_FLAG_LOWER, c); });
}

char* STR_ToUpper(char* text) { return STR_ToUpperBuff(text, -1); }
wchar_t* STR_ToUpper(wchar_t* text) { return STR_ToUpperBuff(text, -1); }
char* STR_ToLower(char* text) { return STR_ToLowerBuff(text, -1); }
wchar_t* STR_ToLower(wchar_t* text) { return STR_ToLowerBuff(text, -1); }

bool STR_bWhiteCharOrPunctA(char c) {
  char out = 0;
  return STR_nMapCharExANSI(STR_FLAG_NOPUNCT, &out, c) <= 0 || out == 0;
}

bool STR_bWhiteCharOrPunctW(wchar_t c) {
  wchar_t out = 0;
  return STR_nMapCharEx(STR_FLAG_NOPUNCT, &out, c) <= 0 || out == 0;
}
