// Text conversions of the value holders' read path, into caller buffers.
//
// Every fetched text value passes through here, so none of these functions
// allocates or opens a converter per call: ASCII is copied or widened byte by
// byte, UTF-8 and code page 1252 are decoded and encoded directly, and every
// other code page goes through an iconv descriptor kept per thread and per
// code page (reset before each use; closed at thread exit and, for the
// thread that ends the process, at module end).
//
// They give the same characters as the runtime's code-page functions: '?' for
// a character the target code page lacks, invalid UTF-8 and invalid bytes
// of a code page dropped, the five bytes 1252 leaves undefined read as the
// C1 controls of the same number, code pages 0 and -1 read as 1252. Unlike
// those, characters above U+FFFF become surrogate pairs in UTF-16, and the
// output always ends on a whole character: a character that does not fit is
// left out whole (never half a surrogate pair or half a multi-byte
// sequence).
//
// Common contract: `in` holds n bytes (or wide characters / units); `out` has
// room for `max` units; nothing is written at or past out + max; no
// terminator is written. *pbFailed (when given) is set when a non-empty
// input could not be converted at all (no converter for the code page, or
// nothing convertible in it); the result is then 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kxvalues {

// 0 and -1 (and every negative) read as 1252.
unsigned nNormaliseCodePage(int codePage);

// 8-bit text of codePage to UTF-16 units.
std::size_t nTextToUTF16(int codePage, const char* in, std::size_t n, std::uint16_t* out, std::size_t max,
                         bool* pbFailed = nullptr);
// 8-bit text of codePage to wide characters.
std::size_t nTextToWide(int codePage, const char* in, std::size_t n, wchar_t* out, std::size_t max,
                        bool* pbFailed = nullptr);
// UTF-8 text to 8-bit text of codePage (65001: copied, cut on a character).
std::size_t nUTF8ToText(int codePage, const char* in, std::size_t n, char* out, std::size_t max,
                        bool* pbFailed = nullptr);
// Wide characters to 8-bit text of codePage.
std::size_t nWideToText(int codePage, const wchar_t* in, std::size_t n, char* out, std::size_t max,
                        bool* pbFailed = nullptr);
// Wide characters to UTF-16 units (pairs above U+FFFF; values that are no
// Unicode scalar value become '?').
std::size_t nWideToUTF16(const wchar_t* in, std::size_t n, std::uint16_t* out, std::size_t max);
// UTF-16 units to wide characters, up to the first zero unit or n units;
// pairs combine, a lone surrogate stays a character of its own.
std::size_t nUTF16ToWide(const std::uint16_t* in, std::size_t n, wchar_t* out, std::size_t max);
// Units before the first zero unit, at most n.
std::size_t nUTF16Len(const std::uint16_t* in, std::size_t n);
// Bytes of the longest prefix of at most `max` bytes of UTF-8 text that ends
// on a whole character.
std::size_t nUTF8WholePrefix(const char* in, std::size_t n, std::size_t max);

}  // namespace kxvalues
