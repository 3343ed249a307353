// Translations between the three ways the code base names an 8-bit text
// encoding: Windows charset numbers (as in a font's charset), code page
// numbers, and Windows language identifiers (primary language in the low 10
// bits, sublanguage above); the code page chosen for a conversion between
// 8-bit and wide text from the language's conversion option; and switching
// the process locale for a charset.
//
// Everything here is a pure function of its arguments, except where the
// current code page of the runtime's locale is read (options 130 and 131)
// and ChangeLocale, which changes the locale of the whole process.
#pragma once

#include <cstdint>

#include "SharedStringTypes.h"

// Code page of a charset: 0 → 1252, 128 → 932, 129 → 949, 130 → 1361,
// 134 → 936, 136 → 950, 161 → 1253, 162 → 1254, 163 → 1258, 177 → 1255,
// 178 → 1256, 186 → 1257, 204 → 1251, 222 → 874, 238 → 1250, 255 → 1252,
// 65001 → 65001; 0 for every other charset.
unsigned int dwGetCodePageFromCharset(int charset);

// The inverse over the code pages above (1252 gives charset 0); 127 for code
// page 0 and -1 for every other code page.
int nGetCharsetFromCodePage(unsigned int codePage);

// Language identifier of a charset, from a constant table indexed by
// charset - 128 (0 outside 128..238 and for charsets without a language).
unsigned short wGetLanguageID(int charset);

// Charset of a language identifier, from its primary language (low 10 bits)
// and sublanguage (bits 10 and up); 0 for languages without a charset of
// their own.
int nGetCharsetFromLanguage(unsigned short langId);

// The same on the low 16 bits of `id`.
int GetCharSetFromLanguageID(unsigned int id);

// Conversion from 8-bit to wide text: from the language's conversion option
// gives the option to use and sets the code page of the 8-bit side in
// `codePage` (1252 for 121/122, 0 for 126/127, the runtime's current code page
// for 130/131). For those six options `flags` gains 0x40 when `b` is
// non-zero. Options 18 and 110 become 19 and 16 when `a` is non-zero; 121,
// 126 and 130 give 16; 122, 127 and 131 give 16 when `a` is non-zero, else
// 110. Any other option comes back unchanged, with `codePage` and `flags`
// untouched.
int PrepareConversionAnsiUnicode(int option, unsigned int& flags, STOCAW& codePage, int a, int b);

// Conversion from wide to 8-bit text: for options 121 and 122 sets the code
// page to 1252, for 126 and 127 to 0, for 130 and 131 to the runtime's
// current code page, and returns true; false (code page untouched) for every
// other option.
bool PrepareConversionUnicodeAnsi(int option, STOCAW& codePage);

// The charset's code page. For charsets 161, 162, 177, 178 and 204 also sets
// the process locale, all categories, to "<name>.<code page>" (names
// "greek_greece", "turkey_turkish", "", "" and "russian_russia") and returns
// what setlocale returned (the locale name's address, or 0 when the system
// does not know the name); for a charset without a code page returns 0; for
// the other charsets returns the code page. Affects every thread.
std::intptr_t ChangeLocale(int charset);
