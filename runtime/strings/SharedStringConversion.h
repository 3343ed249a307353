// Conversions between 8-bit and wide text into a new shared block: the one
// place that sizes, allocates and fills them, and that keeps the end marker.
// Used by CXYString and CTNBIN.
//
// Each function converts `count` units of `source` (count >= 0; 0 or a null
// source converts nothing) and stores a new block in *ppOut, which the caller
// owns; *ppOut is null when nothing was made. The target is sized first and
// allocated once, with room for the converted units, `extra` more (negative
// counts as 0) and one. Results: 0; 105 when a non-empty source converted to
// nothing (*ppOut null); 108 when the size is refused; or the allocator's
// code.
//
// End marker: when `sourceFlags` has bit 0, the last source unit is all ones
// and the target is not UTF-8 (code page 65001 for wide to 8-bit), every
// unit but the last is converted, the marker is appended in the target width
// and the block's flags become 1 (the marker alone when nothing else
// converted). Otherwise every unit is converted and the flags are 0.
#pragma once

#include <cstdint>

namespace SharedBlock {

// Wide text to 8-bit text of `codePage` (WideCharToMultiByte with the flags,
// default text and used-default flag).
int nWideToBytes(void** ppOut, const wchar_t* source, long count, std::uint32_t sourceFlags,
                 unsigned int codePage, unsigned int flags, const char* defaultChar,
                 int* usedDefault, long extra);

// 8-bit text of `codePage` to wide text: code page 1252 with flags 0 through
// the library's own 1252 table, anything else through MultiByteToWideChar.
int nBytesToWide(void** ppOut, const char* source, long count, std::uint32_t sourceFlags,
                 unsigned int codePage, unsigned int flags, long extra);

// The same into a plain NUL-terminated copy from XMALLOC_pNew_ (the caller
// frees it with XMALLOC_Del_), with flags 0 and no extra room; 100 when that
// allocation fails.
int nWideToBytesPlain(char** ppOut, const wchar_t* source, long count, std::uint32_t sourceFlags,
                      unsigned int codePage);
int nBytesToWidePlain(wchar_t** ppOut, const char* source, long count, std::uint32_t sourceFlags,
                      unsigned int codePage);

}  // namespace SharedBlock
