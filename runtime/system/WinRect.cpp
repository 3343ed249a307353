#include "WinRect.h"

#include <algorithm>

namespace {

std::int32_t nAddWrapping(std::int32_t a, int d) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(d));
}

std::int32_t nSubWrapping(std::int32_t a, int d) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(d));
}

bool bSame(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

bool CopyRect(RECT* dst, const RECT* src) {
  if (dst == nullptr || src == nullptr) return false;
  *dst = *src;
  return true;
}

bool SetRect(RECT* rect, int left, int top, int right, int bottom) {
  if (rect == nullptr) return false;
  *rect = RECT{left, top, right, bottom};
  return true;
}

bool SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

bool IsRectEmpty(const RECT* rect) { return rect == nullptr || bEmule_IsRectEmpty(rect); }

bool PtInRect(const RECT* rect, POINT pt) {
  return rect != nullptr && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top &&
         pt.y < rect->bottom;
}

bool EqualRect(const RECT* a, const RECT* b) {
  return a != nullptr && b != nullptr && bSame(*a, *b);
}

bool InflateRect(RECT* rect, int dx, int dy) {
  if (rect == nullptr) return false;
  rect->left = nSubWrapping(rect->left, dx);
  rect->right = nAddWrapping(rect->right, dx);
  rect->top = nSubWrapping(rect->top, dy);
  rect->bottom = nAddWrapping(rect->bottom, dy);
  return true;
}

bool OffsetRect(RECT* rect, int dx, int dy) {
  return rect != nullptr && bEmule_OffsetRect(rect, dx, dy);
}

bool UnionRect(RECT* dst, const RECT* a, const RECT* b) {
  if (dst == nullptr || a == nullptr || b == nullptr) return false;
  const bool bEmptyA = bEmule_IsRectEmpty(a);
  const bool bEmptyB = bEmule_IsRectEmpty(b);
  if (bEmptyA && bEmptyB) {
    *dst = RECT{0, 0, 0, 0};
    return false;
  }
  if (bEmptyA) {
    *dst = *b;
  } else if (bEmptyB) {
    *dst = *a;
  } else {
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
  }
  return true;
}

bool IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  if (dst == nullptr || a == nullptr || b == nullptr) return false;
  return bEmule_IntersectRect(dst, a, b);
}

bool SubtractRect(RECT* dst, const RECT* a, const RECT* b) {
  if (dst == nullptr || a == nullptr || b == nullptr) return false;
  if (bEmule_IsRectEmpty(a)) {
    *dst = RECT{0, 0, 0, 0};
    return false;
  }
  RECT result = *a;
  RECT common;
  if (bEmule_IntersectRect(&common, a, b)) {
    if (bSame(common, *a)) {
      *dst = RECT{0, 0, 0, 0};
      return false;
    }
    if (common.top == a->top && common.bottom == a->bottom) {
      if (common.left == a->left) {
        result.left = common.right;
      } else if (common.right == a->right) {
        result.right = common.left;
      }
    } else if (common.left == a->left && common.right == a->right) {
      if (common.top == a->top) {
        result.top = common.bottom;
      } else if (common.bottom == a->bottom) {
        result.bottom = common.top;
      }
    }
  }
  *dst = result;
  return true;
}
