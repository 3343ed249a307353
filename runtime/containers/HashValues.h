// Hash values of NUL-terminated strings: the sum, modulo 2^32, of the codes
// of their characters. A null or empty string hashes to 0.
//
// The case-insensitive forms (Ti) fold each character to upper case first
// (towupper / toupper, under the C library's current locale), so two texts
// that differ only in case hash equally. The 8-bit forms take each byte as a
// signed char (-128 to 127): a byte 0xE9 adds -23. toupper is applied to the
// bytes 0 to 127 only; the others count as they stand.
#pragma once

unsigned int dwHashValT(const wchar_t* psz);
unsigned int dwHashValTi(const wchar_t* psz);
unsigned int dwHashValTA(const char* psz);
unsigned int dwHashValTiA(const char* psz);
