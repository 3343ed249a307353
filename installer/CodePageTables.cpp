#include "CodePageTables.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "StrFunctions.h"

namespace {

// Bytes 0x80..0xFF of code page 437.
const unsigned short k437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Storage of one table; the reverse direction is derived from cp2uni.
struct TableData {
  wchar_t cp2uni[256];
  unsigned short hi[256];
  std::vector<unsigned char> lo;
  cptable table;

  TableData(unsigned codePage, wchar_t (*decode)(unsigned char)) : hi(), lo(256, '?') {
    for (int b = 0; b < 256; ++b) cp2uni[b] = decode(static_cast<unsigned char>(b));
    for (int b = 0; b < 256; ++b) {
      const wchar_t c = cp2uni[b];
      // The C1 controls are not characters of either code page: the five
      // undefined 1252 bytes decode to them, but nothing encodes to them.
      if (c >= 0x80 && c <= 0x9F) continue;
      const unsigned h = static_cast<unsigned>(c) >> 8;
      if (hi[h] == 0) {
        hi[h] = static_cast<unsigned short>(lo.size());
        lo.resize(lo.size() + 256, '?');
      }
      lo[hi[h] + (c & 0xFF)] = static_cast<unsigned char>(b);
    }
    table.codepage = codePage;
    table.cp2uni = cp2uni;
    table.uni2cp_hi = hi;
    table.uni2cp_lo = lo.data();
  }
};

wchar_t Decode437(unsigned char b) {
  return b < 0x80 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(k437High[b - 0x80]);
}

wchar_t Decode1252(unsigned char b) { return STR_FromCP1252(b); }

}  // namespace

const cptable* CPTABLE_p437() {
  static const TableData data(437, Decode437);
  return &data.table;
}

const cptable* CPTABLE_p1252() {
  static const TableData data(1252, Decode1252);
  return &data.table;
}

const cptable* CPTABLE_pForCodePage(unsigned codePage) {
  return codePage == 1 ? CPTABLE_p437() : CPTABLE_p1252();
}

unsigned char CPTABLE_cFromWide(const cptable* table, wchar_t c, bool* usedDefault) {
  // The index covers 16-bit characters only; anything wider (or negative)
  // must not reach it.
  unsigned char b = '?';
  if (c >= 0 && c <= 0xFFFF) {
    const unsigned u = static_cast<unsigned>(c);
    b = table->uni2cp_lo[(u & 0xFF) + table->uni2cp_hi[u >> 8]];
  }
  if (b == '?' && c != L'?' && usedDefault != nullptr) *usedDefault = true;
  return b;
}

namespace {

int Fit(int srcLen, int dstLen, int* n) {
  if (srcLen < 0) srcLen = 0;
  if (dstLen < 0) dstLen = 0;
  *n = srcLen < dstLen ? srcLen : dstLen;
  return dstLen < srcLen ? -1 : srcLen;
}

int WideToBytes(const cptable* table, const wchar_t* src, int srcLen, char* dst, int dstLen,
                bool* usedDefault) {
  int n = 0;
  const int result = Fit(srcLen, dstLen, &n);
  for (int i = 0; i < n; ++i)
    dst[i] = static_cast<char>(CPTABLE_cFromWide(table, src[i], usedDefault));
  return result;
}

}  // namespace

int cp_wcstombs(const cptable* table, const wchar_t* src, int srcLen, char* dst, int dstLen) {
  return WideToBytes(table, src, srcLen, dst, dstLen, nullptr);
}

int cp_mbstowcs(const cptable* table, const char* src, int srcLen, wchar_t* dst, int dstLen) {
  int n = 0;
  const int result = Fit(srcLen, dstLen, &n);
  for (int i = 0; i < n; ++i) dst[i] = table->cp2uni[static_cast<unsigned char>(src[i])];
  return result;
}

int WideCharToMultiByteWin(unsigned codePage, unsigned /*flags*/, const wchar_t* src,
                           int srcLen, char* dst, int dstLen, const char* /*defaultChar*/,
                           int* usedDefault) {
  if (usedDefault != nullptr) *usedDefault = 0;
  if (src == nullptr || (dst == nullptr && dstLen != 0) || dstLen < 0) return 0;
  if (srcLen < 0) srcLen = static_cast<int>(std::wcslen(src)) + 1;
  if (dstLen == 0) return srcLen;
  bool used = false;
  const int r = WideToBytes(CPTABLE_pForCodePage(codePage), src, srcLen, dst, dstLen, &used);
  if (usedDefault != nullptr) *usedDefault = used ? 1 : 0;
  return r < 0 ? 0 : r;
}

int MultiByteToWideCharWin(unsigned codePage, unsigned /*flags*/, const char* src, int srcLen,
                           wchar_t* dst, int dstLen) {
  if (src == nullptr || (dst == nullptr && dstLen != 0) || dstLen < 0) return 0;
  if (srcLen < 0) srcLen = static_cast<int>(std::strlen(src)) + 1;
  if (dstLen == 0) return srcLen;
  const int r = cp_mbstowcs(CPTABLE_pForCodePage(codePage), src, srcLen, dst, dstLen);
  return r < 0 ? 0 : r;
}

namespace {

void Recode(const cptable* from, const cptable* to, const char* source, char* destination,
            unsigned count) {
  if (source == nullptr || destination == nullptr) return;
  for (unsigned i = 0; i < count; ++i) {
    const wchar_t c = from->cp2uni[static_cast<unsigned char>(source[i])];
    destination[i] = static_cast<char>(CPTABLE_cFromWide(to, c, nullptr));
  }
}

}  // namespace

bool CharToOemBuffA(const char* source, char* destination, unsigned count) {
  Recode(CPTABLE_p1252(), CPTABLE_p437(), source, destination, count);
  return true;
}

bool OemToCharBuffA(const char* source, char* destination, unsigned count) {
  Recode(CPTABLE_p437(), CPTABLE_p1252(), source, destination, count);
  return true;
}
