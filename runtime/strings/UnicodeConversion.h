// Conversions between the text forms of the runtime, on raw character
// buffers: UTF-8 (lengths, stepping, validity, decoding and encoding), the
// 4-byte wide characters of the system (UTF-32), 16-bit units, 8-bit code
// pages combined with UTF-8, and wide strings that may lie at addresses not
// aligned to 4 bytes.
//
// Common contract:
// - Every buffer belongs to the caller; nothing here allocates except where a
//   function says so (its result is then owned by the caller), and nothing
//   keeps state between calls.
// - Sizes count units of the output (bytes, wide characters or 16-bit units);
//   nothing is written at or beyond the size given.
// - A length of -1 means "up to the terminator"; each function says whether
//   the terminator itself is then included.
// - Anything that cannot be encoded or decoded becomes '?' (0x3F); nothing
//   here reports an error object: a conversion that fails gives 0 units.
// - The UTF-8 decoders never read past a byte that ends a sequence early: a
//   lead whose continuation bytes are missing yields '?' and is stepped over
//   together with the continuation bytes actually present.
#pragma once

#include <cstddef>

// ---------------------------------------------------------------------------
// UTF-8 stepping and lengths

// Length of a UTF-8 sequence from its lead byte, indexed by lead >> 2: 1 for
// ASCII, 0 for a continuation byte in lead position, 2 to 6 for the leads of
// longer sequences.
extern const unsigned char TabUTF8len[64];

// Start of the character after the one at `p`: p + 1 + k where k counts the
// continuation bytes directly following the lead, at most L - 1 for a table
// length L of 2 to 5, none for ASCII, at most 5 for a stray continuation byte
// or a 6-byte lead. Never steps over a byte that is not a continuation (so
// never over the terminator when `p` is not at it).
const char* UTF8next(const char* p);

// UTF8next(p) - p.
int UTF8Len(const char* p);

// Number of UTF8next steps from `p` to the terminator (0 for an empty text).
long UTF8ToWideLen(const char* p);

// Characters of a terminated UTF-8 text: the bytes before the terminator
// that are not continuation bytes. Works 8 bytes at a time once `p` is
// 8-byte aligned; such a word may extend past the terminator, but never past
// the aligned word holding it.
long StrLenUTF8(const char* p);

// The same within at most `n` bytes (0 for n < 1).
long StrNLenUTF8(const char* p, long n);

// Bytes of the UTF-8 form of a terminated wide text, terminator excluded: 1
// below 0x80, 2 below 0x800, 3 below 0x10000, 4 up to 0x10FFFF and 1 (the
// '?' written instead) for any other value. 0 for a null text.
long UTF8ByteLen(const wchar_t* wide);

// The same over at most `n` characters, plus 1 for the terminator when the
// text ends within them; 0 for n < 1, 1 for an empty text.
long UTF8ByteLenTotal(const wchar_t* wide, long n);

// Decodes the first character of at most *n bytes: returns the code point
// and sets *n to the bytes used; or returns -1 and sets *n to 0 (null `p`,
// *n < 1, a missing or wrong continuation byte, a lead of 0xF8 or more, or
// too few bytes). ASCII takes 1 byte; other leads below 0xE0 take 2, below
// 0xF0 3, 0xF0-0xF7 4.
int UTF8FirstChar(const char* p, int* n);

// True when the bytes are well-formed: each character is ASCII, or a lead
// 110xxxxx, 1110xxxx or 11110xxx followed within the length by 1, 2 or 3
// continuation bytes; any other lead is invalid. Overlong forms, surrogate
// code points and values above 0x10FFFF are not examined. A zero byte ends
// the check. n = -1: up to the terminator; any other n < 1: valid. A null
// `p` is valid only with n = 0.
bool UTF8Valide(const char* p, long n);

// ---------------------------------------------------------------------------
// UTF-8 decoding and encoding

// Decodes one character at *pp and advances *pp past it. ASCII: the byte. A
// stray continuation byte: '?' and one byte. A lead of length L (2 to 6): its
// payload bits followed by 6 bits of each of the next L - 1 bytes; when one of
// them is not a continuation byte, '?' and *pp moves over the lead and the
// continuation bytes present only. The terminator decodes as 0 and is
// stepped over like any ASCII byte.
wchar_t UTF8_GetNext(const char** pp);

// The same within a budget of *remaining bytes: when fewer remain than the
// lead announces, *remaining becomes 0 and '?' is returned without moving;
// otherwise *remaining loses the bytes consumed.
wchar_t UTF8_GetNext(const char** pp, long* remaining);

// Writes the 1 to 4 byte encoding of `c` and a terminator into `out` (room
// for 5 bytes); values above 0x10FFFF give '?'. Surrogate code points encode
// in 3 bytes like any other value. Returns the bytes written, terminator
// excluded.
int UTF32ToUTF8(unsigned int c, char* out);

// Encodes a terminated wide text and terminates `out`, which must have room
// for UTF8ByteLen(wide) + 1 bytes. Returns the bytes written, terminator
// excluded. Negative and over-range values give '?'.
long WideToUTF8(char* out, const wchar_t* wide);

// Bounded: a character is written only when its whole encoding fits with one
// byte left for the terminator; stops at the first that does not. Always
// terminates when size > 0. Returns the bytes written, terminator excluded.
long WideToUTF8(char* out, long size, const wchar_t* wide);

// Encodes `n` characters (n = -1: up to and including the terminator) into
// at most `size` bytes; stops before a sequence that does not fit. Writes no
// terminator of its own; returns the bytes written.
long nWideToUTF8(char* out, long size, const wchar_t* wide, long n);

// Decodes a terminated UTF-8 text until one slot of `out` is left or the text
// ends, and terminates `out`; size < 1 writes nothing. Returns the
// characters written, terminator excluded.
long UTF8ToWide(wchar_t* out, long size, const char* p);

// Decodes `n` bytes (n = -1: up to and including the terminator) into at
// most `size` characters; writes no terminator of its own. Returns the
// characters written; 0 for size < 1 or an empty range.
long nUTF8ToWide(wchar_t* out, long size, const char* p, long n);

// UTF-16 units needed for `n` bytes of UTF-8 (n = -1: up to and including
// the terminator): 1 per code point below 0x10000, 2 per code point up to
// 0x10FFFF, 1 (the '?' written instead) above.
long UTF8ToUTF16Len(const char* p, long n);

// Decodes `n` bytes (n = -1 as above) into at most `size` 16-bit units; a
// code point from 0x10000 to 0x10FFFF becomes a surrogate pair, written only
// while at least 3 units of room remain; values above 0x10FFFF become '?'.
// Stops at the first character that does not fit. Writes no terminator of
// its own; returns the units written.
long UTF8ToUTF16(unsigned short* out, long size, const char* p, long n);

// ---------------------------------------------------------------------------
// Unit-for-unit conversions
//
// n = -1 counts the input up to and including its terminator; any other
// negative n, or a null input, gives 0. With size 0 the count of units
// needed is returned and nothing is written; otherwise min(n, size) units
// are converted and their number returned.

// Widens each 16-bit unit to one wide character; surrogate pairs are not
// combined (each surrogate stays a character of its own). Works from the
// last unit to the first, so `out` may start at the address of `in`.
int UTF16ToWideChar(const unsigned short* in, int n, wchar_t* out, int size);

// Narrows each wide character to its low 16 bits; no surrogate pairs are
// formed. Works from the first unit, so `out` may start at the address of
// `in`.
int WideCharToUTF16(const wchar_t* in, int n, unsigned short* out, int size);

// Copies 4-byte units (both forms are UTF-32); the buffers may overlap.
int UTF32ToWideChar(const unsigned int* in, int n, wchar_t* out, int size);
int WideCharToUTF32(const wchar_t* in, int n, unsigned int* out, int size);

// Keeps the low byte of each character, at most size - 1 of them, and
// terminates; size < 1 writes nothing. Returns the bytes written.
long WideCharToANSI(char* out, long size, const wchar_t* wide);

// Widens each byte (0x00-0xFF, never a negative value) to a wide character,
// at most size - 1 of them, and terminates; size < 1 writes nothing. Returns
// the characters written.
long ANSIToWideChar(wchar_t* out, long size, const char* text);

// ---------------------------------------------------------------------------
// Code pages and UTF-8 (code page 65001 is UTF-8; the code-page side goes
// through MultiByteToWideChar / WideCharToMultiByte)
//
// Both directions copy bytes below 0x80 as they are and convert each run of
// bytes with the top bit set as a whole, through a wide intermediate that
// lies on the stack up to 256 characters and on the heap beyond (a run whose
// intermediate cannot be allocated converts to nothing). In the double-byte
// code pages 932, 936, 949, 950 and 1361 a run ends only on a character
// boundary: the byte after a lead byte belongs to the run even below 0x80.
// Code page 50220 (7-bit, with shift sequences) converts in one pass.
//
// The output always keeps its last byte for a terminator: at most size - 1
// bytes are written and the rest of the `size` bytes is zero-filled. A run
// whose result does not fit ends the conversion there. A run that converts
// to nothing makes the whole result 0 (and the output all zeros). n < 0 means
// the whole terminated text; size < 1 or n = 0 gives 0.

// 8-bit text of `codePage` to UTF-8; `flags` go to the wide-to-UTF-8 step.
// Returns the bytes written.
long MultiByteToUTF8(unsigned int codePage, const char* in, long n, char* out, long size,
                     unsigned int flags = 0);

// UTF-8 to 8-bit text of `codePage`; `flags`, `defaultChar` (text written
// for a character the code page lacks, "?" when null) and `usedDefault` go to
// WideCharToMultiByte. *usedDefault, when given, is 1 when any run needed the
// default text, else 0. Returns the bytes written.
long UTF8ToMultiByte(unsigned int codePage, const char* in, long n, char* out, long size,
                     unsigned int flags = 0, const char* defaultChar = nullptr,
                     int* usedDefault = nullptr);

// The same with the current ANSI code page of the runtime's locale.
long MultiByteToUTF8_CurrentCharset(const char* in, long n, char* out, long size,
                                    unsigned int flags = 0);
long UTF8ToMultiByte_CurrentCharset(const char* in, long n, char* out, long size,
                                    unsigned int flags = 0, const char* defaultChar = nullptr,
                                    int* usedDefault = nullptr);

// 8-bit text of `codePage` to 16-bit units: MultiByteToWideChar (n = -1: up to
// and including the terminator), then WideCharToUTF16. Returns the units
// written, or with size 0 the units needed; 0 on failure.
int MultiByteToUTF16(unsigned int codePage, int flags, const char* in, int n, unsigned short* out,
                     int size);
int MultiByteToUTF16_CurrentCharset(int flags, const char* in, int n, unsigned short* out,
                                    int size);

// 16-bit units to 8-bit text of `codePage`: UTF16ToWideChar (n = -1: up to
// and including the terminator), then WideCharToMultiByte with the flags,
// default text and used-default flag. Returns the bytes written, or with
// size 0 the bytes needed; 0 on failure.
int UTF16ToMultiByte(unsigned int codePage, int flags, const unsigned short* in, int n, char* out,
                     int size, const char* defaultChar = nullptr, int* usedDefault = nullptr);

// ---------------------------------------------------------------------------
// 16-bit unit strings

// Units before the zero unit.
std::size_t utf16len(const unsigned short* s);

// The same, at most n; 0 for n < 1.
std::size_t utf16nlen(const unsigned short* s, long n);

// Copies units until a zero unit (not copied) or n units; writes no
// terminator. Returns `out`.
unsigned short* utf16ncpy(unsigned short* out, const unsigned short* in, long n);

// Compares at most n units after towlower: the difference of the first
// lowered units that differ, 0 when equal or when both reach a zero unit.
int utf16nicmp(const unsigned short* a, const unsigned short* b, long n);

// First place in the first n units of `hay` where `needle` matches under
// towlower. An empty needle gives `hay`; null when n < 1, `hay` is empty, the
// needle is longer than n - 1 units, or it does not occur.
const unsigned short* utf16niutf16(const unsigned short* hay, const unsigned short* needle,
                                   long n);

// ---------------------------------------------------------------------------
// Wide strings at any alignment (the addresses need not be multiples of 4;
// units are read and written by byte copies)

// Characters before the terminator.
std::size_t __UNALIGNED__UNICODE__STRLEN__(const wchar_t* p);

// Copies units until the terminator or n, then zero-fills the rest of the n
// units (wcsncpy semantics). Returns `out`.
wchar_t* __UNALIGNED__UNICODE__STRNCPY__(wchar_t* out, const wchar_t* in, std::size_t n);

// ---------------------------------------------------------------------------
// Heap strings (the result belongs to the caller)

// New 8-bit string of n + 1 zeroed bytes from XMALLOC_pNew_ (free it with
// XMALLOC_Del_) holding `n` characters of `wide` converted to code page 1252
// (n < 0: the whole text). Null when the allocation fails.
char* pszXSTR2CSTR(const wchar_t* wide, long n);

// New wide string from STR_pszCreate (free it with STR_Delete) holding `n`
// bytes of `text` (n = -1: up to the terminator) converted from `codePage`;
// an empty or null text, or one that does not convert, gives an empty
// string. Null when the allocation fails.
wchar_t* pszCSTR2XSTR(const char* text, long n, unsigned int codePage);

// Copy through STR_pszCreate of the first n characters of `wide` (n < 1: the
// whole text); a null text gives an empty string. Null when the allocation
// fails.
wchar_t* pszWSTR2XSTR(const wchar_t* wide, long n);
wchar_t* pszXSTR2WSTR(const wchar_t* wide, long n);
