// Character classes, code page 1252, 7-bit text and UTF-8 lead bytes.

#include <cstring>
#include <cwchar>

#include "StrFunctions.h"

namespace {

unsigned U(char c) { return static_cast<unsigned char>(c); }
unsigned U(wchar_t c) { return static_cast<unsigned>(c); }

// The characters code page 1252 places at 0x80..0x9F; 0 marks the five
// positions it leaves unassigned.
constexpr wchar_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98
};

bool IsPunctuation(unsigned c) {
  return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 95);
}

template <typename T>
bool IsRTF(const T* text) {
  if (text == nullptr) return false;
  static const char kPrefix[] = "{\\rtf";
  for (int i = 0; i < 5; ++i) {
    unsigned c = U(text[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c != static_cast<unsigned char>(kPrefix[i])) return false;  // also stops at the NUL
  }
  return text[5] == '1' || text[5] == '{';
}

template <typename T>
bool AllDigits(const T* text) {
  if (text == nullptr) return true;
  for (; *text != 0; ++text) {
    if (U(*text) < '0' || U(*text) > '9') return false;
  }
  return true;
}

template <typename T>
bool ContainsSpace(const T* text) {
  if (text == nullptr) return false;
  for (; *text != 0; ++text) {
    if (*text == ' ') return true;
  }
  return false;
}

template <typename T>
bool NothingReadable(const T* text) {
  if (text == nullptr) return true;
  for (; *text != 0; ++text) {
    if (*text != '\t' && *text != '\n' && *text != '\r' && *text != ' ') return false;
  }
  return true;
}

template <typename T>
bool AllAnsi7(const T* text, long n) {
  if (text == nullptr) return true;
  for (long i = 0; n < 0 || i < n; ++i) {
    if (text[i] == 0) break;
    if (U(text[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool bEstUnChiffreA(char c) { return c >= '0' && c <= '9'; }
bool bEstUnChiffreW(wchar_t c) { return c >= L'0' && c <= L'9'; }
int nGetChiffre(char c) { return c - '0'; }
int nGetChiffre(wchar_t c) { return static_cast<int>(c - L'0'); }
bool bEstUnNombreEntierNaturel(const char* text) { return AllDigits(text); }
bool bEstUnNombreEntierNaturel(const wchar_t* text) { return AllDigits(text); }
bool bExtendedASCII(char c) { return U(c) > 127; }
bool bExtendedASCII(wchar_t c) { return U(c) > 127; }
bool bMajusculeA(char c) { return c >= 'A' && c <= 'Z'; }
bool bMajusculeW(wchar_t c) { return c >= L'A' && c <= L'Z'; }
bool bMinusculeA(char c) { return c >= 'a' && c <= 'z'; }
bool bMinusculeW(wchar_t c) { return c >= L'a' && c <= L'z'; }
bool bUnprintable(char c) { return U(c) < 32; }
bool bUnprintable(wchar_t c) { return U(c) < 32; }
bool bPonctuation(char c) { return IsPunctuation(U(c)); }
bool bPonctuation(wchar_t c) { return IsPunctuation(U(c)); }
bool STR_bContainSpace(const char* text) { return ContainsSpace(text); }
bool STR_bContainSpace(const wchar_t* text) { return ContainsSpace(text); }
bool STR_bNeContientRienDeLisibleA(const char* text) { return NothingReadable(text); }
bool STR_bNeContientRienDeLisibleW(const wchar_t* text) { return NothingReadable(text); }
bool bEstDuTexteRTF(const char* text) { return IsRTF(text); }
bool bEstDuTexteRTF(const wchar_t* text) { return IsRTF(text); }
bool bEstDuTexteRTFW(const wchar_t* text) { return IsRTF(text); }

bool STR_bIsCp1252(wchar_t c, unsigned char* byte) {
  const unsigned u = U(c);
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
    *byte = static_cast<unsigned char>(u);
    return true;
  }
  if (u < 0x100) return false;  // U+0080..U+009F have no place in the code page
  for (unsigned i = 0; i < 32; ++i) {
    if (kCp1252High[i] != 0 && U(kCp1252High[i]) == u) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

bool STR_bIsCp1252(wchar_t c) {
  unsigned char byte = 0;
  return STR_bIsCp1252(c, &byte);
}

bool STR_bIsCp1252(const wchar_t* text) {
  if (text == nullptr) return true;
  for (; *text != 0; ++text) {
    if (!STR_bIsCp1252(*text)) return false;
  }
  return true;
}

char STR_ToCP1252(wchar_t c, char replacement, int* flag) {
  unsigned char byte = 0;
  if (STR_bIsCp1252(c, &byte)) return static_cast<char>(byte);
  if (flag != nullptr) *flag = 1;
  return replacement;
}

wchar_t STR_FromCP1252(unsigned char byte) {
  if (byte < 0x80 || byte > 0x9F) return static_cast<wchar_t>(byte);
  const wchar_t c = kCp1252High[byte - 0x80];
  return c != 0 ? c : static_cast<wchar_t>(byte);
}

long STR_CP1252ToWideChar(const char* src, long srcLen, wchar_t* dst, long dstSize) {
  if (src == nullptr) return 0;
  const long count = srcLen < 0 ? static_cast<long>(std::strlen(src)) + 1 : srcLen;
  if (dst == nullptr) return count;
  const long n = count < dstSize ? count : dstSize;
  for (long i = 0; i < n; ++i) dst[i] = STR_FromCP1252(static_cast<unsigned char>(src[i]));
  return n < 0 ? 0 : n;
}

bool STR_bIsANSI7(const char* text) { return AllAnsi7(text, -1); }
bool STR_bIsANSI7(const wchar_t* text) { return AllAnsi7(text, -1); }
bool STR_bIsANSI7(const char* text, long n) { return n <= 0 || AllAnsi7(text, n); }
bool STR_bIsANSI7(const wchar_t* text, long n) { return n <= 0 || AllAnsi7(text, n); }
bool STR_bIsANSI7(char c) { return U(c) < 0x80; }

char STR_ToAnsi7(wchar_t c, char replacement) {
  return U(c) < 0x80 ? static_cast<char>(c) : replacement;
}

wchar_t STR_FromAnsi7(char byte, wchar_t replacement) {
  return U(byte) < 0x80 ? static_cast<wchar_t>(byte) : replacement;
}

int STR_nGetNbByteUTF8(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  if (lead < 0xFC) return 5;
  if (lead < 0xFE) return 6;
  return 1;
}
