#include "WinRect.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

void ExpectRect(const RECT& expected, const RECT& actual) {
  EXPECT_EQ(expected.left, actual.left);
  EXPECT_EQ(expected.top, actual.top);
  EXPECT_EQ(expected.right, actual.right);
  EXPECT_EQ(expected.bottom, actual.bottom);
}

TEST(WinRect, SetCopyEqualEmpty) {
  RECT r;
  EXPECT_TRUE(SetRect(&r, 1, 2, 3, 4));
  ExpectRect({1, 2, 3, 4}, r);
  RECT copy{9, 9, 9, 9};
  EXPECT_TRUE(CopyRect(&copy, &r));
  EXPECT_TRUE(EqualRect(&copy, &r));
  copy.bottom = 5;
  EXPECT_FALSE(EqualRect(&copy, &r));
  EXPECT_FALSE(IsRectEmpty(&r));
  EXPECT_TRUE(SetRectEmpty(&r));
  ExpectRect({0, 0, 0, 0}, r);

  const RECT empties[] = {{0, 0, 0, 10}, {0, 0, 10, 0}, {5, 0, 4, 10}, {0, 5, 10, 4}};
  for (const RECT& e : empties) EXPECT_TRUE(IsRectEmpty(&e));
  EXPECT_TRUE(IsRectEmpty(nullptr));
  EXPECT_FALSE(CopyRect(nullptr, &r));
  EXPECT_FALSE(EqualRect(&r, nullptr));
}

TEST(WinRect, PointsOnTheEdges) {
  const RECT r{0, 0, 10, 5};
  struct Row {
    POINT pt;
    bool inside;
  } rows[] = {{{0, 0}, true},   {{9, 4}, true},  {{10, 0}, false}, {{0, 5}, false},
              {{-1, 2}, false}, {{5, -1}, false}, {{5, 2}, true}};
  for (const Row& row : rows)
    EXPECT_EQ(row.inside, PtInRect(&r, row.pt)) << row.pt.x << "," << row.pt.y;
  EXPECT_FALSE(PtInRect(nullptr, POINT{0, 0}));
}

TEST(WinRect, InflateAndOffset) {
  RECT r{10, 20, 30, 40};
  EXPECT_TRUE(InflateRect(&r, 5, -3));
  ExpectRect({5, 23, 35, 37}, r);
  EXPECT_TRUE(OffsetRect(&r, -5, 2));
  ExpectRect({0, 25, 30, 39}, r);
  RECT edge{INT_MIN, 0, INT_MAX, 1};
  EXPECT_TRUE(InflateRect(&edge, 1, 0));  // wraps, no overflow
  ExpectRect({INT_MAX, 0, INT_MIN, 1}, edge);
}

TEST(WinRect, Union) {
  struct Row {
    RECT a, b;
    bool result;
    RECT expected;
  } rows[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 15}, true, {0, 0, 20, 15}},
      {{0, 0, 10, 10}, {50, 60, 50, 90}, true, {0, 0, 10, 10}},  // empty b ignored
      {{-3, -3, -3, 7}, {1, 2, 3, 4}, true, {1, 2, 3, 4}},     // empty a ignored
      {{0, 0, 0, 0}, {5, 5, 5, 9}, false, {0, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    RECT dst{7, 7, 7, 7};
    EXPECT_EQ(row.result, UnionRect(&dst, &row.a, &row.b));
    ExpectRect(row.expected, dst);
  }
  RECT a{0, 0, 2, 2};
  const RECT b{1, 1, 5, 5};
  EXPECT_TRUE(UnionRect(&a, &a, &b));  // output aliasing an input
  ExpectRect({0, 0, 5, 5}, a);
}

TEST(WinRect, IntersectUsesTheSharedCode) {
  RECT dst;
  const RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, c{10, 0, 20, 10};
  EXPECT_TRUE(IntersectRect(&dst, &a, &b));
  ExpectRect({5, 5, 10, 10}, dst);
  EXPECT_FALSE(IntersectRect(&dst, &a, &c));
  ExpectRect({0, 0, 0, 0}, dst);
}

TEST(WinRect, Subtract) {
  const RECT a{0, 0, 10, 10};
  struct Row {
    RECT b;
    bool result;
    RECT expected;
  } rows[] = {
      {{-5, -5, 4, 15}, true, {4, 0, 10, 10}},    // covers the left part fully in height
      {{6, -1, 20, 10}, true, {0, 0, 6, 10}},     // the right part
      {{0, -5, 10, 3}, true, {0, 3, 10, 10}},     // the top part fully in width
      {{-1, 8, 11, 12}, true, {0, 0, 10, 8}},     // the bottom part
      {{3, -1, 6, 11}, true, {0, 0, 10, 10}},     // a band through the middle
      {{2, 2, 4, 4}, true, {0, 0, 10, 10}},       // a hole
      {{0, 0, 5, 5}, true, {0, 0, 10, 10}},       // a corner
      {{20, 20, 30, 30}, true, {0, 0, 10, 10}},   // apart
      {{-1, -1, 11, 11}, false, {0, 0, 0, 0}},    // covered
      {{0, 0, 10, 10}, false, {0, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    RECT dst{7, 7, 7, 7};
    EXPECT_EQ(row.result, SubtractRect(&dst, &a, &row.b));
    ExpectRect(row.expected, dst);
  }
  RECT dst;
  const RECT empty{0, 0, 0, 5};
  EXPECT_FALSE(SubtractRect(&dst, &empty, &a));
  ExpectRect({0, 0, 0, 0}, dst);
}

}  // namespace
