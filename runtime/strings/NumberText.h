// Small number and text helpers under the names the code base calls: numbers
// written in a radix, in-place case changes and fills, bounded lengths,
// hexadecimal readers, a byte-pattern search and MulDiv.
//
// Buffers belong to the caller. The number writers need room for the digits,
// a sign and the NUL: 66 characters cover every 64-bit value in radix 2.
// Their radix must lie between 2 and 36; callers guarantee it.
#pragma once

#include <cstddef>

// Unsigned value in `radix`, most significant digit first, digits above 9 as
// the lower-case letters a, b, ...; 0 gives "0". Each returns `buffer`.
char* ui64toa(unsigned long long value, char* buffer, int radix);
char* ultoa(unsigned long value, char* buffer, int radix);
wchar_t* ui64tow(unsigned long long value, wchar_t* buffer, int radix);
wchar_t* ultow(unsigned long value, wchar_t* buffer, int radix);

// Signed forms: a negative value gives "-" and then its magnitude, in every
// radix (itoa(-255, buffer, 16) is "-ff"). Each returns `buffer`.
char* i64toa(long long value, char* buffer, int radix);
char* ltoa(long value, char* buffer, int radix);
char* itoa(int value, char* buffer, int radix);
wchar_t* i64tow(long long value, wchar_t* buffer, int radix);
wchar_t* ltow(long value, wchar_t* buffer, int radix);
wchar_t* itow(int value, wchar_t* buffer, int radix);

// In place, character by character through towupper/toupper/towlower/tolower
// of the current locale; each returns its argument (null stays null).
wchar_t* my_struprW(wchar_t* text);
char* my_struprA(char* text);
wchar_t* my_strlwrW(wchar_t* text);
char* my_strlwrA(char* text);

// Fill the string with `c` up to its NUL (the `n` forms: at most `n`
// characters); the NUL stays. Each returns `text`.
char* _strset(char* text, int c);
char* _strnset(char* text, int c, std::size_t n);
wchar_t* wcsset(wchar_t* text, wchar_t c);
wchar_t* wcsnset(wchar_t* text, wchar_t c, std::size_t n);

// Characters before the first NUL, at most `max`; nothing is read past `max`.
std::size_t xwcsnlen(const wchar_t* text, std::size_t max);
std::size_t xstrnlen(const char* text, std::size_t max);

// Value of the first four characters as hexadecimal digits (either case);
// -1 when the text ends or holds a non-hex character among them. Nothing is
// read after a NUL.
int nGetEntierHexa4(const wchar_t* text);

// Reads hexadecimal characters while iswxdigit holds; returns their value
// (modulo 2^32 when there are more than eight) and stores in *count, when
// given, how many were read.
int nGetEntierHexa(const wchar_t* text, int* count);

// First occurrence of the `length` bytes of `pattern` inside the `size` bytes
// of `buffer`; null when the pattern is empty, longer than the buffer, the
// buffer is empty, or there is none.
void* xmemmem(const void* buffer, std::size_t size, const void* pattern, std::size_t length);

// a * b / c with the product in 64 bits, rounded half away from zero; -1 when
// c is 0 or when the result does not fit in 32 bits.
int MulDiv(int a, int b, int c);
