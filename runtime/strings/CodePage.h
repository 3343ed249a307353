// Conversions between wide text (4-byte characters) and 8-bit text of a
// Windows code page, on top of iconv, under the Windows function names the
// code base calls. UTF-8 is code page 65001 and is the form of every text
// exchanged with the operating system.
//
// Common contract of the three conversions:
// - A source length of -1 means the whole NUL-terminated text, its NUL
//   included (so the NUL is converted and counted). A null source, a source
//   length below -1 or a negative destination length fails.
// - A null destination or a destination length of 0 asks for the count only:
//   the result is the number of units (wide characters or bytes) the
//   conversion would write. Otherwise the result is the number of units
//   written; nothing past the destination length is ever written.
// - Every function answers 0 on failure, including an output buffer too small
//   for the whole text (never a truncated text) and a code page iconv does not
//   know. Counting and converting the same text always agree.
// - The caller owns every buffer; nothing here allocates on its behalf.
#pragma once

#include <clocale>

// Code-page flag: invalid characters are errors instead of being skipped.
constexpr unsigned MB_ERR_INVALID_CHARS = 8;
constexpr unsigned CP_ACP = 0;
constexpr unsigned CP_OEMCP = 1;
constexpr unsigned CP_UTF8 = 65001;

// iconv name of a code page; 0, 1252 and unknown numbers give "CP1252".
const char* CodePageToIConv(unsigned codePage);

// 8-bit text of `codePage` to wide text; characters written or needed.
// Without MB_ERR_INVALID_CHARS in `flags` (every other flag is ignored) bytes
// that are invalid in the code page are skipped, and an incomplete sequence at
// the very end of the source is dropped; with it, either makes the call fail.
// Windows-1252 (every code page that converts as "CP1252") maps all 256 bytes:
// the five bytes it leaves undefined, 0x81, 0x8D, 0x8F, 0x90 and 0x9D, become
// U+0081, U+008D, U+008F, U+0090 and U+009D, with or without the flag.
int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* src, int srcLen,
                        wchar_t* dst, int dstLen);

// Wide text to 8-bit text of `codePage`; bytes written or needed. `flags` are
// ignored. A character the code page cannot hold (and any value that is not a
// Unicode scalar value) is skipped and `defaultChar` (a NUL-terminated 8-bit
// text, "?" when null) is written in its place, within the destination, and
// counted in its place when counting; it sets *usedDefault (when given) to 1.
// *usedDefault is set to 0 first. For Windows-1252, U+0080..U+009F are such
// characters.
int WideCharToMultiByte(unsigned codePage, unsigned flags, const wchar_t* src, int srcLen,
                        char* dst, int dstLen, const char* defaultChar, int* usedDefault);

// 8-bit text from one code page to another; bytes written or needed. The text
// passes through wide text: invalid source bytes are skipped as by
// MultiByteToWideChar without flags, and characters the target cannot hold
// become "?" as by WideCharToMultiByte without a default text. The wide
// intermediate is a heap block of its own, freed before returning.
int MultiByteToMultiByte(unsigned fromPage, const char* src, int srcLen, unsigned toPage,
                         char* dst, int dstLen);

// Bytes of the UTF-8 form of a wide string, its NUL included (characters that
// cannot be encoded count as the one byte of "?"). A null text counts as the
// empty text, 1.
int nGetUTF8Len(const wchar_t* text);

// Sets a UTF-8 locale for LC_CTYPE: the environment's locale, then
// "fr_FR.UTF-8", "fr_FR.utf8", "en_US.UTF-8", "en_US.utf8", "C.UTF-8" and
// "C.utf8", the first one setlocale accepts whose name says UTF-8 (the last
// one whenever it is accepted). True when one was set; when none was, LC_CTYPE
// is left as the last accepted attempt made it.
bool SetLocaleUTF8();

// setlocale(category, "C"); the locale name (static storage of the C library).
const char* UnsetLocale(int category);
