// Bounded copy and concatenation, and heap strings.

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

// A heap block of exactly `units` characters filled from `text` with no room
// for more: the sanitizer reports any read or write past it.
template <typename T>
T* Exact(const T* text, std::size_t units) {
  T* block = static_cast<T*>(XMALLOC_pNew_(units * sizeof(T)));
  std::memcpy(block, text, units * sizeof(T));
  return block;
}

TEST(StrCopy, CopyIsBoundedByTheDestinationAndTheCount) {
  struct {
    unsigned long size;
    const wchar_t* src;
    long n;
    const wchar_t* expected;
    long copied;
  } rows[] = {
      {3, L"abcdef", -1, L"ab", 2}, {10, L"abcdef", -1, L"abcdef", 6}, {10, L"abcdef", 3, L"abc", 3},
      {3, L"abcdef", 1, L"a", 1},   {1, L"abcdef", -1, L"", 0},       {10, L"", -1, L"", 0},
      {10, nullptr, -1, L"", 0},    {4, L"abcdef", 0, L"", 0},        {7, L"abcdef", -5, L"abcdef", 6},
  };
  for (const auto& row : rows) {
    wchar_t* dst = static_cast<wchar_t*>(XMALLOC_pNew_(row.size * sizeof(wchar_t)));
    EXPECT_EQ(STR_nCopyW(dst, row.size, row.src, row.n), row.copied) << row.size << "/" << row.n;
    EXPECT_STREQ(dst, row.expected);
    XMALLOC_Del_(dst);

    std::string narrowSrc;
    if (row.src != nullptr) {
      for (const wchar_t* p = row.src; *p != 0; ++p) narrowSrc += static_cast<char>(*p);
    }
    char* narrow = static_cast<char*>(XMALLOC_pNew_(row.size));
    EXPECT_EQ(STR_nCopyA(narrow, row.size, row.src != nullptr ? narrowSrc.c_str() : nullptr, row.n),
              row.copied);
    EXPECT_EQ(std::strlen(narrow), static_cast<std::size_t>(row.copied));
    XMALLOC_Del_(narrow);
  }
  // Size 0: nothing is written at all.
  wchar_t untouched = L'#';
  EXPECT_EQ(STR_nCopy(&untouched, 0, L"abc", -1), 0);
  EXPECT_EQ(untouched, L'#');
  // A source without a NUL is read no further than the count.
  wchar_t* unterminated = Exact(L"abcd", 4);
  wchar_t dst[10];
  EXPECT_EQ(STR_nCopyW(dst, 10, unterminated, 4), 4);
  EXPECT_STREQ(dst, L"abcd");
  XMALLOC_Del_(unterminated);
  char* unterminatedA = Exact("abcd", 4);
  char dstA[3];
  EXPECT_EQ(STR_nCopyA(dstA, 3, unterminatedA, 10), 2);  // nor past dstSize - 1
  XMALLOC_Del_(unterminatedA);
}

TEST(StrCopy, CatNeverStartsPastTheDestination) {
  wchar_t dst[8] = L"abc";
  EXPECT_EQ(STR_nCatW(dst, 8, L"defghij", -1), 4);
  EXPECT_STREQ(dst, L"abcdefg");
  // Full: length + 1 == size.
  EXPECT_EQ(STR_nCat(dst, 8, L"x", -1), 0);
  EXPECT_STREQ(dst, L"abcdefg");
  // A smaller size than the text already there: nothing, no wrap-around.
  EXPECT_EQ(STR_nCatW(dst, 4, L"x", -1), 0);
  EXPECT_STREQ(dst, L"abcdefg");
  // No NUL within the destination at all.
  wchar_t* unterminated = Exact(L"abcd", 4);
  EXPECT_EQ(STR_nCatW(unterminated, 4, L"x", -1), 0);
  EXPECT_EQ(std::wmemcmp(unterminated, L"abcd", 4), 0);
  XMALLOC_Del_(unterminated);
  EXPECT_EQ(STR_nCatW(dst, 0, L"x", -1), 0);

  wchar_t counted[8] = L"ab";
  EXPECT_EQ(STR_nCatW(counted, 8, L"cdef", 2), 2);
  EXPECT_STREQ(counted, L"abcd");
  EXPECT_EQ(STR_nCatCut(counted, 6, L"xyz"), 1);
  EXPECT_STREQ(counted, L"abcdx");

  char narrow[6] = "ab";
  EXPECT_EQ(STR_nCatA(narrow, 6, "cdefg", -1), 3);
  EXPECT_STREQ(narrow, "abcde");
  EXPECT_EQ(STR_nCatA(narrow, 6, "x", -1), 0);
  EXPECT_EQ(STR_nCatA(narrow, 3, "x", -1), 0);
  char* unterminatedA = Exact("abc", 3);
  EXPECT_EQ(STR_nCatA(unterminatedA, 3, "x", -1), 0);
  XMALLOC_Del_(unterminatedA);

  wchar_t cut[4];
  EXPECT_EQ(STR_nCut(cut, 4, L"abcdef"), 3);
  EXPECT_STREQ(cut, L"abc");
  char cutA[4];
  EXPECT_EQ(STR_nCut(cutA, 4, "ab"), 2);
  EXPECT_STREQ(cutA, "ab");
}

TEST(StrCopy, CreatedStrings) {
  wchar_t* p = STRG_pszCreate<wchar_t>(3);
  ASSERT_NE(p, nullptr);
  std::wmemcpy(p, L"abc", 4);  // n + 1 characters are usable
  STR_Delete(p);
  char* a = STRG_pszCreate<char>(3);
  ASSERT_NE(a, nullptr);
  std::memcpy(a, "abc", 4);
  STR_DeleteA(a);
  EXPECT_EQ(STR_pszCreateW(-1L), nullptr);
  EXPECT_EQ(STRG_pszCreate<wchar_t>(0x7fffffffffffffffL), nullptr);

  p = STR_pszCreateW(5, L"ab");
  EXPECT_EQ(std::wmemcmp(p, L"ab\0\0\0\0", 6), 0);
  STR_DeleteW(p);
  p = STR_pszCreate(2L, L"abcdef");
  EXPECT_STREQ(p, L"ab");
  STR_Delete(p);
  a = STR_pszCreateA(2, "abcdef");
  EXPECT_STREQ(a, "ab");
  STR_Delete(a);

  p = STR_pszCreateW(L"abc");
  EXPECT_STREQ(p, L"abc");
  STR_Delete(p);
  EXPECT_EQ(STR_pszCreate(static_cast<const wchar_t*>(nullptr)), nullptr);
  p = STR_pszCreateW(L"ab", static_cast<const wchar_t*>(nullptr));
  EXPECT_STREQ(p, L"ab");
  STR_Delete(p);
  a = STR_pszCreateA("ab", "cd");
  EXPECT_STREQ(a, "abcd");
  STR_Delete(a);
  p = STR_pszConcat(L"a", L"b", L"c");
  EXPECT_STREQ(p, L"abc");
  STR_Delete(p);
  p = STR_pszConcatPoint(L"table", L"item");
  EXPECT_STREQ(p, L"table.item");
  STR_Delete(p);
}

TEST(StrCopy, UnalignedSource) {
  alignas(4) char raw[8 * sizeof(wchar_t)];
  const wchar_t text[] = L"abcdef";
  std::memcpy(raw + 1, text, sizeof text);
  const wchar_t* misaligned = reinterpret_cast<const wchar_t*>(raw + 1);
  wchar_t* p = STR_pszCreateW_UNALIGNED(misaligned);
  EXPECT_STREQ(p, L"abcdef");
  STR_Delete(p);
  p = STR_pszCreateW_UNALIGNED(3, misaligned);
  EXPECT_STREQ(p, L"abc");
  STR_Delete(p);
  p = STR_pszCreateW_UNALIGNED(9, misaligned);
  EXPECT_EQ(std::wmemcmp(p, L"abcdef\0\0\0\0", 10), 0);
  STR_Delete(p);
  p = STR_pszCreateW_UNALIGNED(text);
  EXPECT_STREQ(p, L"abcdef");
  STR_Delete(p);
}

TEST(StrCopy, RedefineResizeReplace) {
  wchar_t* p = STR_pszCreateW(L"abcdef");
  ASSERT_TRUE(STR_bRedefine(&p, p + 2));  // the new text lies in the old block
  EXPECT_STREQ(p, L"cdef");
  ASSERT_TRUE(STR_bRedefine(&p, nullptr));
  EXPECT_EQ(p, nullptr);

  ASSERT_TRUE(STR_bResizeW(&p, 10));
  std::wmemcpy(p, L"123456789", 10);
  ASSERT_TRUE(STR_bResizeW(&p, 4));
  EXPECT_EQ(std::wmemcmp(p, L"1234", 4), 0);
  wchar_t* before = p;
  EXPECT_FALSE(STR_bResizeW(&p, -1));
  EXPECT_EQ(p, before);
  STR_Delete(p);
  char* a = nullptr;
  ASSERT_TRUE(STR_bResizeA(&a, 3));
  std::memcpy(a, "ab", 3);
  STR_DeleteA(a);
  STR_Delete(nullptr);

  struct {
    const wchar_t* text;
    const wchar_t* find;
    const wchar_t* repl;
    const wchar_t* expected;  // null: no string
  } rows[] = {
      {L"a.b.c", L".", L"::", L"a::b::c"}, {L"aaaa", L"aa", L"b", L"bb"},
      {L"aaa", L"aa", L"xyz", L"xyza"},     {L"abc", L"x", L"y", L"abc"},
      {L"abc", L"abc", L"", L""},           {L"abcabc", L"bc", nullptr, L"aa"},
      {L"", L"a", L"b", nullptr},           {L"abc", L"", L"b", nullptr},
      {nullptr, L"a", L"b", nullptr},       {L"xax", L"a", L"aaa", L"xaaax"},
  };
  for (const auto& row : rows) {
    wchar_t* out = STR_RemplaceW(row.text, row.find, row.repl);
    if (row.expected == nullptr) {
      EXPECT_EQ(out, nullptr);
    } else {
      ASSERT_NE(out, nullptr);
      EXPECT_STREQ(out, row.expected);
    }
    STR_Delete(out);
  }
}

}  // namespace
