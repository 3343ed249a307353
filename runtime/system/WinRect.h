// Rectangle and point arithmetic under the Windows names and semantics.
//
// RECT (User32Emulation.h) has left and top inclusive, right and bottom
// exclusive; a rectangle is empty when right <= left or bottom <= top.
// Coordinates wrap in two's complement instead of overflowing. Functions
// that write a rectangle accept an output that is also an input. A null
// rectangle makes a function return false (IsRectEmpty: true) and write
// nothing.
#pragma once

#include <cstdint>

#include "User32Emulation.h"

struct POINT {
  std::int32_t x;
  std::int32_t y;
};

// *dst = *src.
bool CopyRect(RECT* dst, const RECT* src);
// The four coordinates as given.
bool SetRect(RECT* rect, int left, int top, int right, int bottom);
// All four coordinates 0.
bool SetRectEmpty(RECT* rect);
// True when the rectangle holds no point.
bool IsRectEmpty(const RECT* rect);
// True when left <= x < right and top <= y < bottom.
bool PtInRect(const RECT* rect, POINT pt);
// True when the four coordinates are equal.
bool EqualRect(const RECT* a, const RECT* b);
// Widens by dx on the left and on the right and by dy at the top and at the
// bottom (negative values shrink).
bool InflateRect(RECT* rect, int dx, int dy);
// Moves by dx and dy.
bool OffsetRect(RECT* rect, int dx, int dy);
// The smallest rectangle holding both; an empty one does not count. Both
// empty: *dst is all zeros and the result false; otherwise true.
bool UnionRect(RECT* dst, const RECT* a, const RECT* b);
// The common part; false (and *dst all zeros) when they do not overlap.
bool IntersectRect(RECT* dst, const RECT* a, const RECT* b);
// `a` less `b`, where that is again a rectangle: when their common part
// spans `a` fully in one direction and reaches one of its edges, `a` is cut
// back to the part outside `b`; when `b` covers `a` the result is empty;
// otherwise (no overlap, or a hole in the middle) the result is `a`. False
// when the result is empty (*dst then all zeros), else true.
bool SubtractRect(RECT* dst, const RECT* a, const RECT* b);
