// Line and character readers over a C stream, in the manner of getline, for
// text files of three unit widths (exported from the library):
//
//   unit (template argument)  file holds                  buffer holds
//   char                      8-bit bytes                 char
//   char16_t                  16-bit units, native order  wchar_t, each unit
//                             (little-endian here)        widened on its own
//                                                         (surrogates are not
//                                                         combined)
//   wchar_t                   32-bit characters, native   wchar_t
//
// STRG_nGetLine<TUnit>(&buffer, &capacity, file) reads one line, its "\n"
// included (a lone "\r" does not end a line), into *buffer and terminates
// it. The buffer is the caller's, from XMALLOC_pNew_ or null, with
// *capacity units; when null (or *capacity is 0) a block of 256 units is
// made, and a full buffer grows by 256 units through XMALLOC_pResize_; the
// caller frees it with XMALLOC_Del_ whatever the result. The result is the
// number of units stored (units consumed from the file; bytes for the 8-bit
// form), terminator excluded; -1 at end of file with nothing read, on a read
// error, or when the buffer cannot grow (the units of the line read so far
// are then lost; errno is ENOMEM). A trailing part of a unit (an odd byte
// at the end of a 16-bit file) is dropped.
//
// STRG_nGetChar<TUnit>(file) reads one unit and returns its value (0 to
// 255, 0 to 65535, or the 32-bit character as unsigned), -1 at end of file.
//
// The buffer type is the second template argument, deduced from the call:
// STRG_nGetLine<char16_t>(&pszWide, &n, file). Only the three combinations
// above exist.
#pragma once

#include <cstddef>
#include <cstdio>

template <typename TUnit, typename TChar>
long STRG_nGetLine(TChar** ppBuffer, std::size_t* pnCapacity, FILE* file);

template <typename TUnit>
long STRG_nGetChar(FILE* file);
