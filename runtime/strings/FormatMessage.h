// Message formatting under the Windows names the code base calls.
//
// FormatMessageW and FormatMessageA format printf-style (the wide form with
// the Windows meaning of the conversions, see FormatWin.h); FormatMessageWin
// speaks the Windows insertion language (%1 .. %99, %n, %0 ...).
//
// Arguments: `args` points to a va_list that the function reads through a
// copy (the caller's list is not advanced); it may be null when the text has
// nothing to insert. With FORMAT_MESSAGE_ARGUMENT_ARRAY (FormatMessageWin
// only) it points to an array of 64-bit values instead, cast to va_list*.
//
// Output: without FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` holds `size`
// characters (bytes for the 8-bit form). With it, `buffer` is really the
// address of a pointer ((wchar_t*)&pointer): the function allocates the text
// with XMALLOC_pNew_, stores its address there (null on failure) and the
// caller frees it with XMALLOC_Del_.
#pragma once

#include <cstdarg>

constexpr unsigned FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100;
constexpr unsigned FORMAT_MESSAGE_IGNORE_INSERTS = 0x200;
constexpr unsigned FORMAT_MESSAGE_FROM_STRING = 0x400;
constexpr unsigned FORMAT_MESSAGE_FROM_HMODULE = 0x800;
constexpr unsigned FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;
constexpr unsigned FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x2000;
constexpr unsigned FORMAT_MESSAGE_MAX_WIDTH_MASK = 0xFF;

// errno value of an allocation failure in FormatMessageWin.
constexpr unsigned FORMAT_MESSAGE_NO_MEMORY = 0xC0000017;

// printf-style formatting of `source` (a wide format), or with
// FORMAT_MESSAGE_FROM_SYSTEM of the text of strerror(errno) read as UTF-8,
// with the arguments of *args. `id` and `language` are not used.
// - With FORMAT_MESSAGE_ALLOCATE_BUFFER: formatted by vaswprintf into a new
//   buffer of at least `size` characters; a failure stores null.
// - Otherwise: formatted by vsnwprintfWin into `buffer` with the bound
//   `size` characters.
// Returns the length of the text, 0 on failure.
unsigned FormatMessageW(unsigned flags, const void* source, unsigned id, unsigned language,
                        wchar_t* buffer, unsigned size, va_list* args);

// The same on 8-bit text with vsnprintf and the system's own format meaning;
// with FORMAT_MESSAGE_FROM_SYSTEM the format is strerror(errno) as it stands.
unsigned FormatMessageA(unsigned flags, const void* source, unsigned id, unsigned language,
                        char* buffer, unsigned size, va_list* args);

// The Windows insertion language. `size` counts characters.
// - FORMAT_MESSAGE_FROM_HMODULE, or neither FROM_STRING nor FROM_SYSTEM:
//   errno EINVAL, result 0.
// - FROM_SYSTEM: the text of strerror(id), or of strerror(errno) when id is
//   0, read as UTF-8: placed in `buffer` cut to size - 1 characters and a
//   NUL, or with ALLOCATE_BUFFER whole in a new buffer of
//   max(length, size) + 1 characters. Returns the length placed.
// - FROM_STRING: `source` is the wide message text. With ALLOCATE_BUFFER the
//   capacity is `size` rounded down to a multiple of 65536, plus 65536
//   characters; without it, `size`.
//   The low byte of `flags` is a line width: 0 keeps the text's line ends
//   (CR, LF and CR LF become CR LF); any other value turns them into
//   blanks, and a width from 1 to 254 also breaks each longer line at its
//   last blank or tab within the width (dropping the blanks and tabs around
//   the break), or at the width when there is none; 255 breaks nothing.
//   Inserts: %1 .. %99 insert argument n as a wide string, %n!fmt! formats it
//   with the printf format fmt (at most 31 characters, Windows meaning of the
//   conversions, integers, characters, strings and pointers only). Each `*`
//   of fmt (at most two) takes an argument as int, from n on: %1!*s! reads
//   its width from argument 1 and its string from argument 2. At most 200
//   arguments are read, each as one 64-bit word. %0 ends the text, %n writes
//   CR LF, %r CR, %t a tab, %b a blank, % before any other character writes
//   that character. FORMAT_MESSAGE_IGNORE_INSERTS copies %n and %n!fmt! as
//   they stand, and "%x" as "%x"; the other escapes still apply.
//   Errors: a third digit, a bad or unclosed !fmt!, a failing insert, a
//   missing argument list or a % at the end of the text: errno EINVAL,
//   result 0, nothing stored. A text longer than the capacity is cut to
//   capacity - 1 characters and a NUL: errno EOVERFLOW, result
//   capacity - 1 (the allocated buffer is kept and stored).
//   On success the allocated buffer is shrunk to the text and stored.
// - An allocation failure: errno FORMAT_MESSAGE_NO_MEMORY, result 0.
// Returns the characters written without the NUL.
unsigned FormatMessageWin(unsigned flags, const void* source, unsigned id, unsigned language,
                          wchar_t* buffer, unsigned size, va_list* args);
