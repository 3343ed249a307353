#include "Charsets.h"

#include <clocale>
#include <cstdio>

#include "StrFunctions.h"

namespace {

struct SCharsetCodePage {
  int nCharset;
  unsigned nCodePage;
};

// In the order of the inverse lookup: code page 1252 finds charset 0 before
// 255.
const SCharsetCodePage kastCharsets[] = {
    {0, 1252},     {128, 932},  {129, 949},  {130, 1361}, {134, 936},  {136, 950},
    {161, 1253},   {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
    {204, 1251},   {222, 874},  {238, 1250}, {255, 1252}, {65001, 65001},
};

constexpr int knFirstLanguageCharset = 128;
constexpr int knLastLanguageCharset = 238;

// Language identifier of charsets 128 to 238.
const unsigned short kawLanguageIDs[knLastLanguageCharset - knFirstLanguageCharset + 1] = {
    0x11, 0x12, 0x12, 0, 0, 0, 0x804, 0,  // 128-135
    0x404, 0, 0, 0, 0, 0, 0, 0,           // 136-143
    0, 0, 0, 0, 0, 0, 0, 0,               // 144-151
    0, 0, 0, 0, 0, 0, 0, 0,               // 152-159
    0, 0x8, 0x1F, 0x2A, 0, 0, 0, 0,       // 160-167
    0, 0, 0, 0, 0, 0, 0, 0,               // 168-175
    0, 0xD, 0x1, 0, 0, 0, 0, 0,           // 176-183
    0, 0, 0x25, 0, 0, 0, 0, 0,            // 184-191
    0, 0, 0, 0, 0, 0, 0, 0,               // 192-199
    0, 0, 0, 0, 0x419, 0, 0, 0,           // 200-207
    0, 0, 0, 0, 0, 0, 0, 0,               // 208-215
    0, 0, 0, 0, 0, 0, 0x1E, 0,            // 216-223
    0, 0, 0, 0, 0, 0, 0, 0,               // 224-231
    0, 0, 0, 0, 0, 0, 0x15,               // 232-238
};

// Charsets of the code pages used for 8-bit text.
constexpr int kCharsetAnsi = 0;
constexpr int kCharsetShiftJIS = 128;
constexpr int kCharsetHangul = 129;
constexpr int kCharsetGB2312 = 134;
constexpr int kCharsetBig5 = 136;
constexpr int kCharsetGreek = 161;
constexpr int kCharsetTurkish = 162;
constexpr int kCharsetVietnamese = 163;
constexpr int kCharsetHebrew = 177;
constexpr int kCharsetArabic = 178;
constexpr int kCharsetBaltic = 186;
constexpr int kCharsetCyrillic = 204;
constexpr int kCharsetThai = 222;
constexpr int kCharsetEastEurope = 238;
constexpr int kCharsetUTF8 = 65001;

constexpr unsigned kuFlagFromB = 0x40;

unsigned CurrentCodePage() { return static_cast<unsigned>(STR_nGetCurrentCodePage()); }

}  // namespace

unsigned int dwGetCodePageFromCharset(int charset) {
  for (const SCharsetCodePage& st : kastCharsets)
    if (st.nCharset == charset) return st.nCodePage;
  return 0;
}

int nGetCharsetFromCodePage(unsigned int codePage) {
  if (codePage == 0) return 127;
  for (const SCharsetCodePage& st : kastCharsets)
    if (st.nCodePage == codePage) return st.nCharset;
  return -1;
}

unsigned short wGetLanguageID(int charset) {
  if (charset < knFirstLanguageCharset || charset > knLastLanguageCharset) return 0;
  return kawLanguageIDs[charset - knFirstLanguageCharset];
}

int nGetCharsetFromLanguage(unsigned short langId) {
  const unsigned p = langId & 0x3FFu;
  const unsigned s = static_cast<unsigned>(langId) >> 10;
  switch (p) {
    case 1: return kCharsetArabic;
    case 2: case 25: case 34: case 35: return kCharsetCyrillic;
    case 4: return s == 1 ? kCharsetBig5 : kCharsetGB2312;
    case 5: case 14: case 21: case 24: case 27: case 28: case 36: case 47:
      return kCharsetEastEurope;
    case 8: return kCharsetGreek;
    case 13: return kCharsetHebrew;
    case 17: return kCharsetShiftJIS;
    case 18: return kCharsetHangul;
    case 26: return s == 3 ? kCharsetCyrillic : kCharsetEastEurope;
    case 30: return kCharsetThai;
    case 31: return kCharsetTurkish;
    case 37: case 38: case 39: return kCharsetBaltic;
    case 42: return kCharsetVietnamese;
    case 43: case 55: return kCharsetUTF8;
    case 67: return s == 2 ? kCharsetCyrillic : kCharsetEastEurope;
    default: return kCharsetAnsi;
  }
}

int GetCharSetFromLanguageID(unsigned int id) {
  return nGetCharsetFromLanguage(static_cast<unsigned short>(id & 0xFFFF));
}

int PrepareConversionAnsiUnicode(int option, unsigned int& flags, STOCAW& codePage, int a, int b) {
  switch (option) {
    case 18: return a != 0 ? 19 : 18;
    case 110: return a != 0 ? 16 : 110;
    case 121: case 122: codePage.nCodePage = 1252; break;
    case 126: case 127: codePage.nCodePage = 0; break;
    case 130: case 131: codePage.nCodePage = CurrentCodePage(); break;
    default: return option;
  }
  if (b != 0) flags |= kuFlagFromB;
  const bool bAlways = option == 121 || option == 126 || option == 130;
  return (bAlways || a != 0) ? 16 : 110;
}

bool PrepareConversionUnicodeAnsi(int option, STOCAW& codePage) {
  switch (option) {
    case 121: case 122: codePage.nCodePage = 1252; return true;
    case 126: case 127: codePage.nCodePage = 0; return true;
    case 130: case 131: codePage.nCodePage = CurrentCodePage(); return true;
    default: return false;
  }
}

std::intptr_t ChangeLocale(int charset) {
  const unsigned uCodePage = dwGetCodePageFromCharset(charset);
  if (uCodePage == 0) return 0;
  const char* pszName;
  switch (charset) {
    case kCharsetGreek: pszName = "greek_greece"; break;
    case kCharsetTurkish: pszName = "turkey_turkish"; break;
    case kCharsetHebrew: pszName = ""; break;
    case kCharsetArabic: pszName = ""; break;
    case kCharsetCyrillic: pszName = "russian_russia"; break;
    default: return static_cast<std::intptr_t>(uCodePage);
  }
  char szLocale[64];
  std::snprintf(szLocale, sizeof szLocale, "%s.%u", pszName, uCodePage);
  return reinterpret_cast<std::intptr_t>(std::setlocale(LC_ALL, szLocale));
}
