#include "User32Emulation.h"

#include <algorithm>
#include <cstdint>

namespace {

// One bit per byte value, bit (b & 31) of word b >> 5.
constexpr std::uint32_t kadwAlphaNumeric1252[8] = {
    0x00000000,  // 0x00-0x1F
    0x03FF0000,  // 0x20-0x3F: '0'..'9'
    0x07FFFFFE,  // 0x40-0x5F: 'A'..'Z'
    0x07FFFFFE,  // 0x60-0x7F: 'a'..'z'
    0xD4005408,  // 0x80-0x9F: 0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F
    0x020C0000,  // 0xA0-0xBF: 0xB2, 0xB3, 0xB9
    0xFF7FFFFF,  // 0xC0-0xDF: all but 0xD7
    0xFF7FFFFF,  // 0xE0-0xFF: all but 0xF7
};

}  // namespace

bool bEmule_IsCharAlphaNumericA(char c) {
  const auto b = static_cast<unsigned char>(c);
  return ((kadwAlphaNumeric1252[b >> 5] >> (b & 31)) & 1) != 0;
}

bool bEmule_IsRectEmpty(const RECT* rect) {
  return rect->left >= rect->right || rect->top >= rect->bottom;
}

namespace {

// Two's-complement wrap, as the window system does, instead of overflow.
std::int32_t nAddWrapping(std::int32_t a, int d) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(d));
}

}  // namespace

bool bEmule_OffsetRect(RECT* rect, int dx, int dy) {
  rect->left = nAddWrapping(rect->left, dx);
  rect->right = nAddWrapping(rect->right, dx);
  rect->top = nAddWrapping(rect->top, dy);
  rect->bottom = nAddWrapping(rect->bottom, dy);
  return true;
}

bool bEmule_IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  if (bEmule_IsRectEmpty(a) || bEmule_IsRectEmpty(b) || a->left >= b->right ||
      a->right <= b->left || a->top >= b->bottom || a->bottom <= b->top) {
    *dst = RECT{0, 0, 0, 0};
    return false;
  }
  const RECT st{std::max(a->left, b->left), std::max(a->top, b->top),
                std::min(a->right, b->right), std::min(a->bottom, b->bottom)};
  *dst = st;
  return true;
}

int nEmule_LoadStringW(void* /*module*/, unsigned int /*id*/, wchar_t* /*buffer*/, int /*size*/) {
  return 0;
}

int nEmule_LoadStringA(void* /*module*/, unsigned int /*id*/, char* /*buffer*/, int /*size*/) {
  return 0;
}
