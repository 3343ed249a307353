#include "User32Emulation.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(User32Emulation, AlphaNumericBytesOfCodePage1252) {
  std::set<int> expected = {0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F, 0xB2, 0xB3, 0xB9};
  const int ranges[][2] = {{'0', '9'}, {'A', 'Z'}, {'a', 'z'},
                           {0xC0, 0xD6}, {0xD8, 0xF6}, {0xF8, 0xFF}};
  for (const auto& range : ranges)
    for (int b = range[0]; b <= range[1]; ++b) expected.insert(b);
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(expected.count(b) != 0, bEmule_IsCharAlphaNumericA(static_cast<char>(b))) << b;
}

TEST(User32Emulation, Rectangles) {
  struct EmptyRow {
    RECT rect;
    bool empty;
  } empties[] = {{{0, 0, 1, 1}, false}, {{0, 0, 0, 5}, true}, {{0, 0, 5, 0}, true},
                 {{3, 0, 2, 5}, true},  {{-5, -5, -4, -4}, false}};
  for (const EmptyRow& row : empties) EXPECT_EQ(row.empty, bEmule_IsRectEmpty(&row.rect));

  RECT moved{1, 2, 3, 4};
  EXPECT_TRUE(bEmule_OffsetRect(&moved, 10, -20));
  EXPECT_EQ(11, moved.left);
  EXPECT_EQ(-18, moved.top);
  EXPECT_EQ(13, moved.right);
  EXPECT_EQ(-16, moved.bottom);

  struct Row {
    RECT a, b;
    bool overlap;
    RECT result;
  } rows[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 20}, true, {5, 5, 10, 10}},
      {{5, -5, 20, 8}, {0, 0, 10, 10}, true, {5, 0, 10, 8}},
      {{0, 0, 10, 10}, {2, 2, 3, 3}, true, {2, 2, 3, 3}},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, false, {0, 0, 0, 0}},  // touching edges
      {{0, 0, 10, 10}, {0, 10, 10, 20}, false, {0, 0, 0, 0}},
      {{0, 0, 10, 10}, {20, 20, 30, 30}, false, {0, 0, 0, 0}},
      {{0, 0, 10, 10}, {4, 4, 4, 8}, false, {0, 0, 0, 0}},     // empty operand
  };
  for (const Row& row : rows) {
    RECT dst{7, 7, 7, 7};
    EXPECT_EQ(row.overlap, bEmule_IntersectRect(&dst, &row.a, &row.b));
    EXPECT_EQ(row.result.left, dst.left);
    EXPECT_EQ(row.result.top, dst.top);
    EXPECT_EQ(row.result.right, dst.right);
    EXPECT_EQ(row.result.bottom, dst.bottom);
  }
  // The destination may be an operand.
  RECT a{0, 0, 10, 10};
  const RECT b{5, 5, 20, 20};
  EXPECT_TRUE(bEmule_IntersectRect(&a, &a, &b));
  EXPECT_EQ(5, a.left);
  EXPECT_EQ(10, a.right);
}

TEST(User32Emulation, LoadStringFindsNothing) {
  wchar_t wide[4] = {L'x', 0};
  char narrow[4] = {'x', 0};
  EXPECT_EQ(0, nEmule_LoadStringW(nullptr, 1, wide, 4));
  EXPECT_EQ(0, nEmule_LoadStringA(nullptr, 1, narrow, 4));
  EXPECT_EQ(L'x', wide[0]);
  EXPECT_EQ('x', narrow[0]);
}

}  // namespace
