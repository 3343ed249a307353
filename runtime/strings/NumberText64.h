// 64-bit integers written as text in a radix and read back, and doubles
// written and read through code page 1252 text.
//
// Buffers belong to the caller. A number writer needs room for 64 digits, a
// sign and the terminator (66 units) in radix 2; a radix outside 2 to 36
// writes the empty text. Each writer returns its output buffer.
#pragma once

// Digits of `value` in `radix`, most significant first, digits above 9 as the
// lower-case letters a, b, ...; 0 gives "0".
wchar_t* _ui64towVlm(unsigned long long value, wchar_t* out, int radix);
char* _ui64toaVlm(unsigned long long value, char* out, int radix);

// '-' followed by the magnitude for a negative value (the most negative
// value included), in every radix.
wchar_t* _i64towVlm(long long value, wchar_t* out, int radix);
char* _i64toaVlm(long long value, char* out, int radix);

// The text converted to code page 1252 (its first 100 characters) and read
// by strtoll in base 10 (0 for a null text or one without digits).
long long _wtoi64Vlm(const wchar_t* wide);

// The same read by strtod (the C library's current numeric locale decides
// the decimal point).
double wtof(const wchar_t* wide);

// gcvt(value, digits) (at most 17 significant digits: those a double holds)
// widened from code page 1252 into `out`, which needs room for 32
// characters.
wchar_t* _wgcvt(double value, int digits, wchar_t* out);
