// The few window-system functions the code base calls, for a process that
// has no window system: the letter-or-digit class of a code page 1252 byte,
// rectangle arithmetic, and string loading from a module (which finds
// nothing: message strings come from the module's message block instead).
#pragma once

#include <cstdint>

// A rectangle: left and top inclusive, right and bottom exclusive.
struct RECT {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// True for the letters and digits of code page 1252: '0'..'9', 'A'..'Z',
// 'a'..'z', 0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F, 0xB2, 0xB3, 0xB9,
// 0xC0..0xD6, 0xD8..0xF6 and 0xF8..0xFF.
bool bEmule_IsCharAlphaNumericA(char c);

// True when the rectangle holds no point: left >= right or top >= bottom.
bool bEmule_IsRectEmpty(const RECT* rect);

// Moves the rectangle by dx horizontally and dy vertically; true.
bool bEmule_OffsetRect(RECT* rect, int dx, int dy);

// When both rectangles are non-empty and overlap, *dst becomes their common
// part and the result is true; otherwise *dst is all zeros and the result is
// false. Rectangles that only touch at an edge do not overlap. `dst` may be
// one of the sources.
bool bEmule_IntersectRect(RECT* dst, const RECT* a, const RECT* b);

// Load nothing and return 0 (no string of that identifier).
int nEmule_LoadStringW(void* module, unsigned int id, wchar_t* buffer, int size);
int nEmule_LoadStringA(void* module, unsigned int id, char* buffer, int size);
