// Searching, bounded lengths, padding and trimming.

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// A NUL-terminated copy in a heap block of exactly its size, so that the
// sanitizer sees any read past the NUL.
wchar_t* Heap(const wchar_t* text) { return STR_pszCreateW(text); }
char* Heap(const char* text) { return STR_pszCreateA(text); }

long Offset(const wchar_t* s, const wchar_t* found) { return found == nullptr ? -1 : found - s; }
long Offset(const char* s, const char* found) { return found == nullptr ? -1 : found - s; }

TEST(StrSearch, BoundedForwardSearches) {
  struct {
    const wchar_t* s;
    const wchar_t* t;
    long n;
    long expected;  // offset, -1 for none
  } rows[] = {
      {L"abcabc", L"ca", 6, 2},  {L"abcabc", L"ca", 3, -1}, {L"abcabc", L"ca", 4, 2},
      {L"abcabc", L"", 0, 0},    {L"abc", L"abcd", 3, -1},  {L"abc", L"x", 1000, -1},
      {L"abc", L"c", 1000, 2},   {L"ab", L"b", 2, 1},       {L"abc", L"bc", -1, -1},
  };
  for (const auto& row : rows) {
    wchar_t* s = Heap(row.s);
    EXPECT_EQ(Offset(s, STR_pszStrnstr(s, row.t, row.n)), row.expected);
    char narrowS[16];
    char narrowT[16];
    std::wcstombs(narrowS, row.s, sizeof narrowS);
    std::wcstombs(narrowT, row.t, sizeof narrowT);
    char* a = Heap(narrowS);
    EXPECT_EQ(Offset(a, STR_strnstrA(a, narrowT, row.n)), row.expected);
    EXPECT_EQ(Offset(a, STR_strnistrA(a, narrowT, row.n)), row.expected);
    STR_Delete(a);
    STR_Delete(s);
  }
  const wchar_t* abc = L"abc";
  EXPECT_EQ(STR_pszStrnstr(abc, nullptr, 2), abc);  // a null t gives s
  EXPECT_EQ(STR_pszStrnstr(nullptr, L"a", 2), nullptr);
  const char* text = "xxABcd";
  EXPECT_EQ(STR_strnistrA(text, "abC", 5), text + 2);
  EXPECT_EQ(STR_strnistrA(text, "abC", 4), nullptr);
  const wchar_t* wide = L"xxABcd";
  EXPECT_EQ(STR_StrIStr(wide, L"bCD"), wide + 3);
  EXPECT_EQ(STR_StrIStr(wide, L""), wide);
  EXPECT_EQ(STR_StrIStr(wide, L"bx"), nullptr);
  EXPECT_EQ(STR_pszUpStrstr(wide, L"abc"), wide + 2);
  EXPECT_EQ(STR_pszUpStrstr(wide, L"abd"), nullptr);
  EXPECT_EQ(STR_pszUpStrstr(wide, L""), wide);
}

TEST(StrSearch, BackwardSearchesClampTheStart) {
  struct {
    const wchar_t* s;
    long from;
    const wchar_t* t;
    long expected;
  } rows[] = {
      {L"abcabc", 5, L"bc", 4},    {L"abcabc", 3, L"bc", 1},   {L"abcabc", 1000, L"bc", 4},
      {L"abcabc", 0, L"bc", -1},   {L"abcabc", -1, L"bc", -1}, {L"abc", 1000, L"abcd", -1},
      {L"abcabc", 1000, L"", 6},   {L"abc", 1, L"", 1},        {L"abc", 0, L"abc", 0},
  };
  for (const auto& row : rows) {
    wchar_t* s = Heap(row.s);
    EXPECT_EQ(Offset(s, STRRSTRW(s, row.from, row.t)), row.expected) << row.from;
    EXPECT_EQ(Offset(s, STRRSTR(s, row.from, row.t)), row.expected);
    char narrowS[16];
    char narrowT[16];
    std::wcstombs(narrowS, row.s, sizeof narrowS);
    std::wcstombs(narrowT, row.t, sizeof narrowT);
    char* a = Heap(narrowS);
    EXPECT_EQ(Offset(a, STRRSTRA(a, row.from, narrowT)), row.expected);
    STR_Delete(a);
    STR_Delete(s);
  }
  wchar_t* s = Heap(L"a.b.c");
  EXPECT_EQ(Offset(s, wcsrchr(s, 2, L'.')), 1);
  EXPECT_EQ(Offset(s, wcsrchr(s, 1000, L'.')), 3);
  EXPECT_EQ(Offset(s, wcsrchr(s, 0, L'.')), -1);
  EXPECT_EQ(Offset(s, wcsrchr(s, -3, L'a')), -1);
  EXPECT_EQ(Offset(s, STRRPBRK(s, L".x")), 3);
  EXPECT_EQ(STRRPBRK(s, L""), nullptr);
  EXPECT_EQ(STRRPBRK(s, L"xyz"), nullptr);
  STR_Delete(s);
  char* a = Heap("a.b.c");
  EXPECT_EQ(Offset(a, strrchr(a, 2L, '.')), 1);
  EXPECT_EQ(Offset(a, strrchr(a, 99L, '.')), 3);
  EXPECT_EQ(Offset(a, strrchr(a, 99L, 0)), 5);
  STR_Delete(a);
}

TEST(StrSearch, LengthsAndPadding) {
  EXPECT_EQ(STR_nLenW(L"abcdef", 4), 4);
  EXPECT_EQ(STR_nLen(L"ab", 4), 2);
  EXPECT_EQ(STR_nLenA("abcdef", 0), 0);
  EXPECT_EQ(STR_nLenA("abcdef", -2), 0);
  EXPECT_EQ(STR_nLenA("abc", 10), 3);

  struct {
    const char* text;
    long size;
    const char* expected;
  } rows[] = {
      {"ab", 6, "ab..."}, {"abcdefgh", 4, "abc"}, {"", 2, "."}, {"abc", 1, ""}, {"abcd", 5, "abcd"},
  };
  for (const auto& row : rows) {
    char* s = static_cast<char*>(XMALLOC_pNew_(static_cast<std::size_t>(row.size)));
    std::strncpy(s, row.text, static_cast<std::size_t>(row.size));  // may stay unterminated
    STR_Complete(s, row.size, '.');
    EXPECT_STREQ(s, row.expected);
    XMALLOC_Del_(s);
  }
  wchar_t wide[6] = L"ab";
  STR_Complete(wide, 6, L'-');
  EXPECT_STREQ(wide, L"ab---");
  char untouched[2] = {'x', 'y'};
  STR_Complete(untouched, 0, '.');
  STR_Complete(untouched, -4, '.');
  EXPECT_EQ(untouched[0], 'x');
  EXPECT_EQ(untouched[1], 'y');
}

TEST(StrSearch, Trimming) {
  wchar_t w1[] = L"xx";
  EXPECT_STREQ(STR_SuppressRightCar(w1, L'x'), L"");
  wchar_t w2[] = L"xxabxx";
  EXPECT_STREQ(STR_SuppressLeftCar(w2, L'x'), L"abxx");
  wchar_t w3[] = L"xxabxx";
  EXPECT_STREQ(STR_SuppressSideCar(w3, L'x'), L"ab");
  char a1[] = "--a-b--";
  EXPECT_STREQ(STR_SuppressRightCar(a1, '-'), "--a-b");
  EXPECT_STREQ(STR_SuppressLeftCar(a1, '-'), "a-b");

  wchar_t w4[] = L" \t a b \r\n";
  EXPECT_STREQ(STR_SuppressRightSpaces(w4), L" \t a b");
  EXPECT_STREQ(STR_SuppressLeftSpaces(w4), L"a b");
  wchar_t w5[] = L"  a b  ";
  EXPECT_STREQ(STR_SuppressSideSpaces(w5), L"a b");
  wchar_t w6[] = L" a\tb\nc ";
  EXPECT_STREQ(STR_SuppressAllSpacesW(w6), L"abc");
  // Bytes above 0x7F are no white space (and must not reach isspace as
  // negative values).
  char a2[] = " \xe9t\xe9 \xa0";
  EXPECT_STREQ(STR_SuppressSideSpaces(a2), "\xe9t\xe9 \xa0");
  char a3[] = " a \xe9 b ";
  EXPECT_STREQ(STR_SuppressAllSpacesA(a3), "a\xe9" "b");
  char a4[] = "   ";
  EXPECT_STREQ(STR_SuppressLeftSpaces(a4), "");
  EXPECT_EQ(STR_SuppressRightSpaces(static_cast<char*>(nullptr)), nullptr);
}

}  // namespace
