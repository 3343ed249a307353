// The built-in locale: the locale interface the string functions fall back on
// when the runtime has handed none over, and the one the installer (which has
// no runtime) and the stand-in runtime use.
//
// It never consults the C library's locale (no towupper, iswpunct, strcoll),
// so its answers do not change when a program switches LC_CTYPE, and it gives
// the same answers for every language identifier.
//
// Characters (wide text is taken as code points; 8-bit text as code page
// 1252, each byte mapped through its wide character and back):
// - Case and accents are folded one character to one character over ASCII,
//   Latin-1 Supplement and Latin Extended-A; every other character is left
//   as it is. A map therefore never writes more characters than it reads, and
//   may work in place (destination == source).
// - Flag 0x1 upper case; 0x100 lower case (0x1 wins when both are given); 0x2
//   removes accents (letters with a diacritic, stroke or dot become their
//   base letter: 'é' -> 'e', 'Ø' -> 'O', 'Ł' -> 'L'; ligatures and letters
//   of their own such as 'Æ', 'Œ', 'ß', 'Ð', 'Þ', 'µ' stay). On code page
//   1252 text, flags 0x1 | 0x2 give exactly pToNoAccentUpper_Latin1.
// - Flag 0x4 drops white space (U+00A0 and the Unicode spaces included) and
//   the punctuation and symbols of ASCII and Latin-1, together with those
//   code page 1252 adds (General Punctuation, U+02C6, U+02DC, U+20AC,
//   U+2122). Letters, digits (also '²', '¼') and control characters stay.
// - Every other flag bit is ignored (among them 0x800, 0x10000000,
//   0x40000000 and bit 31).
//
// Comparisons map both texts with the given flags and compare the results:
// they answer 0 exactly when the two mapped texts are equal, 1 when the first
// sorts after the second and -1 when before. The order is ordinal (code point
// by code point, a text that ends first sorts first); with flag 0x20000000 it
// is a dictionary order instead: letters first (case and accents aside), then
// accents, then case (lower case first), then code points.
//
// Lengths are counts of characters; a negative length means up to the NUL
// (not included). A null text is the empty text. Maps and the sort key write
// no terminator; they write at most the destination size and answer the
// units written, or, with a null destination or a size of 0 or less, the
// units the whole result needs.
#pragma once

#include "IInfoLocale.h"

class CBuiltinLocale : public IInfoLocale {
 public:
  // What the locale reports as the current charset, code page and language;
  // nothing else depends on them.
  constexpr explicit CBuiltinLocale(int nCharset = 0, int nCodePage = 1252,
                                    unsigned int nLCID = 0x40C)
      : m_nCharset(nCharset), m_nCodePage(nCodePage), m_nLCID(nLCID) {}

  // Placeholders that keep the slot order; they do nothing.
  void vReserved0() override;
  void vReserved1() override;
  void vReserved10() override;

  int vnGetCurrentCharset() override;
  int vnGetCurrentCodePage() override;
  unsigned int vnGetCurrentLCID() override;
  unsigned int vnGetSafeCurrentLCID() override;

  int vnCompareA(unsigned int nLCID, unsigned int nFlags, const char* s1, int nLen1,
                 const char* s2, int nLen2) override;
  int vnCompareW(unsigned int nLCID, unsigned int nFlags, const wchar_t* s1, int nLen1,
                 const wchar_t* s2, int nLen2) override;
  int vnCompareCurrentA(unsigned int nFlags, const char* s1, int nLen1, const char* s2,
                        int nLen2) override;
  int vnCompareCurrentW(unsigned int nFlags, const wchar_t* s1, int nLen1, const wchar_t* s2,
                        int nLen2) override;

  // One key byte per source byte, so the key may be built in place. Each
  // byte becomes its rank among the 256 characters of code page 1252 in the
  // dictionary order of one character (letter, accent, case, code point);
  // the ranks are all distinct, so different texts give different keys, and
  // NUL stays 0.
  int vnSortKeyA(unsigned int nLCID, unsigned char* pDst, int nDstSize, const char* pSrc,
                 int nSrcLen) override;

  int vnMapA(unsigned int nLCID, unsigned int nFlags, char* pDst, int nDstSize, const char* pSrc,
             int nSrcLen) override;
  int vnMapW(unsigned int nLCID, unsigned int nFlags, wchar_t* pDst, int nDstSize,
             const wchar_t* pSrc, int nSrcLen) override;
  int vnMapCurrentA(unsigned int nFlags, char* pDst, int nDstSize, const char* pSrc,
                    int nSrcLen) override;
  int vnMapCurrentW(unsigned int nFlags, wchar_t* pDst, int nDstSize, const wchar_t* pSrc,
                    int nSrcLen) override;

 protected:
  int m_nCharset;
  int m_nCodePage;
  unsigned int m_nLCID;
};

// The process-wide built-in locale (charset 0, code page 1252, language
// 0x40C). It lives for the whole process and is never freed; it is usable
// before any static constructor has run.
IInfoLocale* STR_pGetBuiltinLocale();
