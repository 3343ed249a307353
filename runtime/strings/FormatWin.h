// Wide formatting with the Windows meaning of the conversions.
//
// The code base writes its wide formats the Windows way: `%s` and `%c` take a
// wide argument, `%S`, `%hs`, `%C` and `%hc` an 8-bit one, `%I64d` a 64-bit
// integer. The system library reads `%s` and `%c` of a wide format as 8-bit.
// These functions convert such a format, conversion by conversion, into the
// system library's form and then format with it:
//
//   s (no size prefix), ls     -> ls        c (no size prefix), lc -> lc
//   S, hs, hS                  -> s         C, hc, hC             -> c
//   lS                         -> ls        lC                    -> lc
//   I64 size prefix            -> ll        I32 size prefix       -> (none)
//   %%                         -> %% (a literal percent, not a conversion)
//
// Flags, width, precision, `*`, `*N$` and positional `N$` are kept as they
// stand; every other conversion and size prefix is copied unchanged.
//
// Counts of characters (`n`, `size`) are in wchar_t for the wide functions
// and in bytes for the 8-bit ones. The caller owns every buffer it hands in.
#pragma once

#include <cstdarg>
#include <cstddef>

// One conversion directive of a Windows format, as read after its '%'.
struct stWinFormatSpec {
  enum eSizePrefix { SP_NONE, SP_H, SP_HH, SP_L, SP_LL, SP_BIGL, SP_J, SP_Z, SP_T, SP_Q, SP_I64, SP_I32 };
  const wchar_t* pszKeptEnd;  // end of the kept part (positional, flags, width, precision)
  eSizePrefix eSize;          // size prefix read
  wchar_t cConversion;        // conversion character; 0 when the format ended first
  int nStars;                 // `*` read for width and precision
  bool bPositional;           // the directive began with N$
};

// Reads the directive that starts right after a '%' (which must not be
// the second '%' of "%%"); returns the position after its conversion
// character (or at the NUL when the format ends inside it).
const wchar_t* _pszParseFormatSpecWindows(const wchar_t* directive, stWinFormatSpec& out);

// Writes the converted `format` into `out`, which holds `size` characters:
// at most size - 1 characters and always a NUL when size > 0, so a short
// `out` gets a cut text and is never overrun. Nothing for a null format.
void _ConvertFormatWindowsToUnix(const wchar_t* format, wchar_t* out, std::size_t size);

// Characters the converted format needs, its NUL included (every conversion
// that gains an `l` counts one more); 0 for a null format.
std::size_t _nCalculeTailleChaineFormattageUnix(const wchar_t* format);

// Converts the format (on the stack when it needs at most 511 bytes), then
// formats with vswprintf into `buffer` with at most `n` characters, NUL
// included. Returns vswprintf's result: the length, or -1 when the text did
// not fit (then `buffer` holds the first n - 1 characters, not necessarily
// NUL-ended) or a conversion failed; errno is the formatter's. A null format
// or a failed allocation of the converted format gives -1 (EINVAL, ENOMEM).
int vsnwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args);
int snwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, ...);

// vsnwprintfWin with the bound 10,000,000: the caller must have sized
// `buffer` for the whole output.
int vswprintfWin(wchar_t* buffer, const wchar_t* format, va_list args);
int swprintfWin(wchar_t* buffer, const wchar_t* format, ...);

// `buffer` holds n + 1 characters. Formats with the bound n + 1, then sets
// buffer[n] to NUL in every case. Returns the length, or -1 when the full
// text is longer than n (the buffer then holds its first n characters) or the
// formatting failed.
int vsznwprintf(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args);
int sznwprintf(wchar_t* buffer, std::size_t n, const wchar_t* format, ...);
int vsznwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, va_list args);
int sznwprintfWin(wchar_t* buffer, std::size_t n, const wchar_t* format, ...);

// The same on 8-bit text with vsnprintf and the system's own format meaning
// (no conversion). `buffer` holds n + 1 bytes.
int vsznprintf(char* buffer, std::size_t n, const char* format, va_list args);
int sznprintf(char* buffer, std::size_t n, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Formats into a buffer that it allocates with XMALLOC_pNew_ and stores in
// *buffer (its former value is ignored, not freed); the caller frees it with
// XMALLOC_Del_. Returns the length of the text.
// - A first attempt uses a capacity of the format's length rounded up to the
//   next multiple of 8 (a multiple of 8 gets 8 more); when the text is
//   longer, its exact length is learned from one pass into a growing wide
//   memory stream and the buffer takes that text.
// - When the formatting fails with EILSEQ, the buffer receives a copy of the
//   format itself and the format's length is returned.
// - On any other failure, a failed allocation, a null format, or a text past
//   0x7fffff00 characters: nothing stays allocated, *buffer is null, -1.
int vaswprintf(wchar_t** buffer, const wchar_t* format, va_list args);
