// Single-byte code-page tables of the installer and the conversions built on
// them: code page 437 (the OEM code page of archive names) and Windows-1252
// (every other code page).
//
// A table maps each of the 256 bytes to one wide character, and back through
// a high-byte index and a low table: character c (0..0xFFFF) maps to
// low[(c & 0xFF) + index[c >> 8]]. Characters the code page does not hold,
// U+0080..U+009F, values above U+FFFF and negative values all give "?".
// In 437 the bytes 0x00..0x7F are the characters 0x00..0x7F. The five bytes
// 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to U+0081,
// U+008D, U+008F, U+0090, U+009D, as the runtime's STR_FromCP1252 does, and
// do not encode back (those characters give "?").
//
// The tables are built once, on first use, and never freed; they serve only
// the functions below.
#pragma once

struct cptable {
  unsigned codepage;
  const wchar_t* cp2uni;           // 256 characters, by byte
  const unsigned short* uni2cp_hi; // 256 offsets into uni2cp_lo, by high byte
  const unsigned char* uni2cp_lo;  // blocks of 256 bytes; offset 0 is all "?"
};

// The 437 table (OEM) and the 1252 table. Never null.
const cptable* CPTABLE_p437();
const cptable* CPTABLE_p1252();
// The table the …Win functions use: 437 for code page 1, 1252 for any other.
const cptable* CPTABLE_pForCodePage(unsigned codePage);

// One character to its byte; "?" for anything the table does not hold.
// *usedDefault (when given) becomes true when "?" stood in for another
// character, and is left alone otherwise.
unsigned char CPTABLE_cFromWide(const cptable* table, wchar_t c, bool* usedDefault);

// Convert min(srcLen, dstLen) units through the table. Return srcLen, or -1
// when dstLen < srcLen (what fits has still been converted). Lengths below 0
// count as 0. No terminator is added beyond the source.
int cp_wcstombs(const cptable* table, const wchar_t* src, int srcLen, char* dst, int dstLen);
int cp_mbstowcs(const cptable* table, const char* src, int srcLen, wchar_t* dst, int dstLen);

// Windows-style conversions through the tables (code page 1: 437, any other:
// 1252). srcLen -1 means up to and including the terminator. With dstLen 0
// they return the units the conversion needs and write nothing. They return
// the units written, or 0 when the source is null, when the destination is
// null with a non-zero size, or when the destination is shorter than needed
// (the part that fits is written). `flags` and `defaultChar` are ignored:
// characters the code page lacks always become "?"; *usedDefault (when
// given) is set to 1 when that happened, else 0.
int WideCharToMultiByteWin(unsigned codePage, unsigned flags, const wchar_t* src, int srcLen,
                           char* dst, int dstLen, const char* defaultChar, int* usedDefault);
int MultiByteToWideCharWin(unsigned codePage, unsigned flags, const char* src, int srcLen,
                           wchar_t* dst, int dstLen);

// `count` bytes of 1252 text to 437 (CharToOemBuffA) or back (OemToCharBuffA)
// through the wide character; bytes with no counterpart become "?". Source
// and destination may be the same buffer. Always true (null buffers convert
// nothing).
bool CharToOemBuffA(const char* source, char* destination, unsigned count);
bool OemToCharBuffA(const char* source, char* destination, unsigned count);
