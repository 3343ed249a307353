// The chained hash base: growth by load factor, the 43-bucket floor, the
// empty-bucket table, the list cursor and the walks that empty it.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "CHashBase.h"

namespace {

void* Mot(std::uintptr_t n) { return reinterpret_cast<void*>(n); }
std::uintptr_t Nombre(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Integer keys; the hash is the key itself.
class CTable : public CHashBase {
 public:
  using CHashBase::CHashBase;
  std::uintptr_t nTrouve(std::uintptr_t k) {
    void* v = nullptr;
    return bRecherche(Mot(k), &v, nullptr) ? Nombre(v) : 0;
  }
  // Cursor index of the list of bucket b.
  int nCurseur(int b) const { return m_pclBuckets[b].nGetIndiceCourant(); }

 protected:
  unsigned int vdwHashVal(const void* pKey) const override { return static_cast<unsigned>(Nombre(pKey)); }
  int vbEgal(const void* pStoredKey, const void* pKey) const override { return pStoredKey == pKey; }
};

TEST(HashTableBase, GrowsByLoadAndNeverShrinksBelow43) {
  CTable t(43);
  for (std::uintptr_t k = 1; k <= 129; ++k) ASSERT_TRUE(t.AjouteDYN(Mot(k), Mot(k + 500)));
  EXPECT_EQ(t.nGetNbBuckets(), 43);
  ASSERT_TRUE(t.AjouteDYN(Mot(130), Mot(630)));  // 129 >= 3 x 43
  EXPECT_EQ(t.nGetNbBuckets(), 89);
  EXPECT_EQ(t.nGetNbElements(), 130);
  for (std::uintptr_t k = 1; k <= 130; ++k) ASSERT_EQ(t.nTrouve(k), k + 500) << k;

  // Below 1 x 89 entries: the first prime from 44 (47); below 47: 43.
  std::uintptr_t k = 1;
  for (; t.nGetNbElements() > 89; ++k) ASSERT_TRUE(t.bSupprimeDYN(Mot(k)));
  EXPECT_EQ(t.nGetNbBuckets(), 89);
  ASSERT_TRUE(t.bSupprimeDYN(Mot(k++)));
  EXPECT_EQ(t.nGetNbBuckets(), 47);
  for (; t.nGetNbElements() > 0; ++k) ASSERT_TRUE(t.bSupprimeDYN(Mot(k)));
  EXPECT_EQ(t.nGetNbBuckets(), 43);
  EXPECT_FALSE(t.bSupprimeDYN(Mot(1)));

  t.SetNiveau(1, 0);
  for (std::uintptr_t n = 1; n <= 44; ++n) ASSERT_TRUE(t.AjouteDYN(Mot(n), Mot(n)));
  EXPECT_EQ(t.nGetNbBuckets(), 89);  // grows at 43 entries with factor 1
  for (std::uintptr_t n = 1; n <= 44; ++n) EXPECT_EQ(t.nTrouve(n), n);
}

TEST(HashTableBase, WithoutBucketsNothingIsFoundUntilAjouteDYN) {
  CTable t(0);
  EXPECT_FALSE(t.Ajoute(Mot(1), Mot(1)));
  EXPECT_FALSE(t.bRecherche(Mot(1), nullptr, nullptr));
  EXPECT_FALSE(t.bRechercheConst(Mot(1), nullptr, nullptr));
  EXPECT_FALSE(t.bSupprime(Mot(1)));
  int b = 0;
  void* v = Mot(9);
  t.SupprimeCourant(&b, &v, nullptr);
  EXPECT_EQ(v, nullptr);
  ASSERT_TRUE(t.AjouteDYN(Mot(5), Mot(50)));
  EXPECT_EQ(t.nGetNbBuckets(), 1);
  EXPECT_EQ(t.nTrouve(5), 50u);
}

TEST(HashTableBase, LookupsLeaveTheCursorOrNot) {
  CTable t(1);
  t.SetNiveau(100, 0);
  for (std::uintptr_t k = 1; k <= 3; ++k) ASSERT_TRUE(t.AjouteDYN(Mot(k), Mot(k * 10)));
  // Each add went in before the previous one: the list reads 3, 2, 1.
  ASSERT_EQ(t.nTrouve(1), 10u);
  EXPECT_EQ(t.nCurseur(0), 2);
  void* v = nullptr;
  void* k = nullptr;
  ASSERT_TRUE(t.bRechercheConst(Mot(3), &v, &k));
  EXPECT_EQ(Nombre(v), 30u);
  EXPECT_EQ(Nombre(k), 3u);
  EXPECT_EQ(t.nCurseur(0), 2);
  ASSERT_EQ(t.nTrouve(3), 30u);
  EXPECT_EQ(t.nCurseur(0), 0);

  // Equal keys: the one added before the cursor's entry is met first.
  ASSERT_TRUE(t.AjouteDYN(Mot(3), Mot(31)));
  EXPECT_EQ(t.nTrouve(3), 31u);
  ASSERT_TRUE(t.bSupprime(Mot(3)));
  EXPECT_EQ(t.nTrouve(3), 30u);
  EXPECT_EQ(t.nGetNbElements(), 3);
}

TEST(HashTableBase, ResizeKeepsEveryEntryAndSupprimeCourantEmptiesTheTable) {
  CTable t(43);
  for (std::uintptr_t k = 1; k <= 100; ++k) ASSERT_TRUE(t.Ajoute(Mot(k), Mot(k + 1)));
  for (int n : {0, 43}) {
    t.RedimensionneTable(n);
    EXPECT_EQ(t.nGetNbBuckets(), 43);
  }
  t.RedimensionneTable(7);
  EXPECT_EQ(t.nGetNbBuckets(), 7);
  EXPECT_EQ(t.nGetNbElements(), 100);
  for (std::uintptr_t k = 1; k <= 100; ++k) ASSERT_EQ(t.nTrouve(k), k + 1) << k;

  std::set<std::uintptr_t> vus;
  int b = 0;
  for (;;) {
    void* v = nullptr;
    void* k = nullptr;
    t.SupprimeCourant(&b, &v, &k);
    if (v == nullptr) break;
    EXPECT_EQ(Nombre(v), Nombre(k) + 1);
    EXPECT_EQ(static_cast<int>(Nombre(k) % 7), b);
    vus.insert(Nombre(k));
  }
  EXPECT_EQ(vus.size(), 100u);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(t.nGetNbElements(), 0);

  for (std::uintptr_t k = 1; k <= 10; ++k) ASSERT_TRUE(t.Ajoute(Mot(k), Mot(k)));
  t.SupprimeTout();
  EXPECT_EQ(t.nGetNbElements(), 0);
  EXPECT_FALSE(t.bRecherche(Mot(1), nullptr, nullptr));
}

}  // namespace
