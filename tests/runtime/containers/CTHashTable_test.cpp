// The typed hash tables: text keys with and without regard to case, values
// kept in the base's words, first match from the head of a bucket.

#include <gtest/gtest.h>

#include "CTHashTable.h"

namespace {

TEST(CTHashTableTest, TextKeysWithAndWithoutCase) {
  const wchar_t* const keys[] = {L"Lib.so", L"lib\\x.so", L"", L"a"};
  CTHashTableTi<int> ti(43);
  CTHashTableT<int> t(43);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(ti.Ajoute(keys[i], i));
    ASSERT_TRUE(t.Ajoute(keys[i], i));
  }
  struct Case {
    const wchar_t* key;
    int ti;  // -1: not found
    int t;
  };
  const Case cases[] = {
      {L"Lib.so", 0, 0}, {L"LIB.SO", 0, -1}, {L"LIB\\X.SO", 1, -1}, {L"lib/x.so", -1, -1},
      {L"", 2, 2},       {nullptr, 2, 2},    {L"A", 3, -1},          {L"Lib.so ", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key != nullptr ? c.key : L"(null)");
    int v = -7;
    EXPECT_EQ(ti.bRecherche(c.key, &v), c.ti >= 0);
    EXPECT_EQ(v, c.ti >= 0 ? c.ti : -7);
    v = -7;
    EXPECT_EQ(t.bRecherche(c.key, &v), c.t >= 0);
    EXPECT_EQ(v, c.t >= 0 ? c.t : -7);
  }

  // An add never replaces: the newest pair of a key is found first, and
  // removing it uncovers the older one.
  ASSERT_TRUE(ti.Ajoute(L"lib.SO", 9));
  int v = 0;
  ASSERT_TRUE(ti.bRecherche(L"lib.so", &v));
  EXPECT_EQ(v, 9);
  EXPECT_EQ(ti.nGetNbElements(), 5);
  EXPECT_TRUE(ti.bSupprime(L"LIB.so"));
  ASSERT_TRUE(ti.bRecherche(L"lib.so", &v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(ti.bSupprime(L"lib.so"));
  EXPECT_FALSE(ti.bSupprime(L"lib.so"));
  EXPECT_FALSE(ti.bRecherche(L"lib.so", nullptr));

  ti.SupprimeTout();
  EXPECT_EQ(ti.nGetNbElements(), 0);
  EXPECT_FALSE(ti.bRecherche(L"a", nullptr));
  EXPECT_EQ(ti.nGetNbBuckets(), 43);
}

TEST(CTHashTableTest, IntegerAndPointerWords) {
  CTHashTable<long, int> byInt(7);
  ASSERT_TRUE(byInt.Ajoute(-5, -123456789012L));
  ASSERT_TRUE(byInt.Ajoute(12, 3));
  long v = 0;
  ASSERT_TRUE(byInt.bRecherche(-5, &v));
  EXPECT_EQ(v, -123456789012L);
  EXPECT_FALSE(byInt.bRecherche(5, &v));

  // Pointer keys compare by address, not by text.
  wchar_t a[] = L"x";
  wchar_t b[] = L"x";
  CTHashTable<int, const wchar_t*> byAddress(3);
  ASSERT_TRUE(byAddress.Ajoute(a, 1));
  int n = 0;
  EXPECT_TRUE(byAddress.bRecherche(a, &n));
  EXPECT_EQ(n, 1);
  EXPECT_FALSE(byAddress.bRecherche(b, &n));

  CTHashTableTi<int> none(0);
  EXPECT_FALSE(none.Ajoute(L"a", 1));
  EXPECT_FALSE(none.bRecherche(L"a", nullptr));
}

}  // namespace
