// The open hash under the ZIP engine's name index: sizes taken from the
// prime ladder, growth when no element is free, and the newest of equal keys
// found first, before and after growth.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwctype>
#include <string>

#include "CTemplateHashTable.h"

namespace {

// Case-insensitive keys; every key hashes alike when bCollide is set, so
// that all of them share one chain.
struct CompNoCase {
  static bool bCollide;
  static std::uint32_t dwHash(const std::wstring& k) {
    if (bCollide) return 7;
    std::uint32_t h = 5381;
    for (wchar_t c : k) h = h * 33 + static_cast<std::uint32_t>(std::towupper(static_cast<wint_t>(c)));
    return h;
  }
  static bool bEqual(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
    return true;
  }
};
bool CompNoCase::bCollide = false;

using Table = CTemplateHashTable<std::wstring, int, CompNoCase>;

TEST(CTemplateHashTable, GrowsAlongThePrimeLadder) {
  for (bool bCollide : {false, true}) {
    CompNoCase::bCollide = bCollide;
    Table t;
    EXPECT_EQ(t.nGetBucketCount(), 17u) << "first prime above 13";
    EXPECT_EQ(t.nGetCapacity(), 8u);
    struct Step {
      int nAdded;
      std::uint32_t nBuckets;
    };
    // 8 fit in 17 buckets, 26 in 53, 48 in 97, 96 in 193.
    const Step steps[] = {{8, 17}, {9, 53}, {26, 53}, {27, 97}, {48, 97}, {49, 193}, {300, 769}};
    int nAdded = 0;
    for (const Step& s : steps) {
      for (; nAdded < s.nAdded; ++nAdded) ASSERT_TRUE(t.bAdd(L"k" + std::to_wstring(nAdded), nAdded));
      EXPECT_EQ(t.nGetBucketCount(), s.nBuckets) << nAdded << " elements";
      EXPECT_EQ(t.nGetCount(), static_cast<std::uint32_t>(nAdded));
    }
    for (int i = 0; i < nAdded; ++i) {
      int v = -1;
      ASSERT_TRUE(t.bLookup(L"K" + std::to_wstring(i), &v)) << i;
      EXPECT_EQ(v, i);
    }
    EXPECT_FALSE(t.bLookup(L"k300", nullptr));
    t.RemoveAll();
    EXPECT_EQ(t.nGetCount(), 0u);
    EXPECT_EQ(t.nGetBucketCount(), 17u);
    EXPECT_FALSE(t.bLookup(L"k1", nullptr));
  }
  CompNoCase::bCollide = false;
}

TEST(CTemplateHashTable, NewestOfEqualKeysFoundFirst) {
  for (bool bCollide : {false, true}) {
    CompNoCase::bCollide = bCollide;
    Table t;
    ASSERT_TRUE(t.bAdd(L"Lib.so", 1));
    ASSERT_TRUE(t.bAdd(L"lib.so", 2));
    int v = 0;
    ASSERT_TRUE(t.bLookup(L"LIB.SO", &v));
    EXPECT_EQ(v, 2);
    // Growth rehashes every element and keeps their order.
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(t.bAdd(L"f" + std::to_wstring(i), 10 + i));
    ASSERT_TRUE(t.bAdd(L"LIB.so", 3));
    ASSERT_TRUE(t.bLookup(L"lib.SO", &v));
    EXPECT_EQ(v, 3);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(t.bAdd(L"g" + std::to_wstring(i), i));
    ASSERT_TRUE(t.bLookup(L"lib.so", &v));
    EXPECT_EQ(v, 3);
  }
  CompNoCase::bCollide = false;
}

}  // namespace
