// Small text and output helpers of the installer's runtime.
#pragma once

#include <cstdio>

// Shortens `source` to `width` characters with "..." into `destination`
// (room for width + 1 characters). Width 2 or less: nothing is written. A
// source no longer than `width` is copied whole. Otherwise, with
// n = width - 3: position 0 keeps the first n characters and adds "...";
// position 1 keeps the first n / 2, then "...", then the last
// (width - 2) / 2; position 2 writes "..." and the last n characters. Any
// other position leaves the destination untouched. The result is terminated.
void STR_Ellipsis(wchar_t* destination, const wchar_t* source, int width, int position);

// The installer has no message loop to yield to: does nothing.
void vYield(...);
// Stores the microseconds part of the current time plus 500 in *deadline.
void vResetYield(long* deadline);

// Writes `count` characters of `text` to `file` as UTF-16LE: two bytes for
// each character up to U+FFFF, a surrogate pair for each above (values
// beyond U+10FFFF, surrogates and negative values are written as "?").
// True only when the stream accepted every byte (a buffered stream may
// still fail on its flush later); false for a null file or text or a
// count of 0 or less (nothing written).
bool __bWriteTextMemoire(FILE* file, const wchar_t* text, long count);

// Copies the terminated wide string `source` (terminator included) to
// `destination`; either address may have any alignment, the areas may
// overlap. Returns `destination`.
wchar_t* __UNALIGNED__UNICODE__STRCPY__(wchar_t* destination, const wchar_t* source);
