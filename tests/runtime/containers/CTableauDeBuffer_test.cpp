#include "CTableauDeBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CTTableau.h"
#include "support/HugeAllocation.h"

namespace {

std::vector<int> Contenu(const CTTableau<int>& tab) {
  return std::vector<int>(tab.pGetTab(), tab.pGetTab() + tab.nGetNbElements());
}

}  // namespace

namespace {

struct CasCroissance {
  int nTailleElement;
  int nAjouts;
  int nCapacite;
};

class CroissancePasUn : public testing::TestWithParam<CasCroissance> {};

}  // namespace

// With step 1 the array grows one element at a time up to 101, then by 20
// for elements under 257 bytes and still by 1 for larger ones; the content
// survives every move of the block.
TEST_P(CroissancePasUn, CapaciteApresAjouts) {
  const CasCroissance cas = GetParam();
  CTableauDeBuffer tab(cas.nTailleElement, 1, 0);
  std::vector<unsigned char> element(static_cast<std::size_t>(cas.nTailleElement));
  for (int i = 0; i < cas.nAjouts; ++i) {
    element[0] = static_cast<unsigned char>(i);
    element.back() = static_cast<unsigned char>(i + 1);
    ASSERT_EQ(tab.Ajoute(element.data()), i);
  }
  EXPECT_EQ(tab.nGetNbAlloues(), cas.nCapacite);
  for (int i = 0; i < cas.nAjouts; ++i) {
    const unsigned char* p = static_cast<const unsigned char*>(tab.pGetElement(i));
    ASSERT_EQ(p[0], static_cast<unsigned char>(i));
    ASSERT_EQ(p[cas.nTailleElement - 1], static_cast<unsigned char>(i + 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Tailles, CroissancePasUn,
                         testing::Values(CasCroissance{4, 100, 100}, CasCroissance{4, 101, 101},
                                         CasCroissance{4, 102, 121}, CasCroissance{4, 121, 121},
                                         CasCroissance{4, 122, 141}, CasCroissance{256, 102, 121},
                                         CasCroissance{257, 102, 102}, CasCroissance{257, 140, 140}));

TEST(CTableauDeBuffer, ConstructeurNAlloueRien) {
  CTableauDeBuffer tab(8, 16, 4);
  EXPECT_EQ(tab.nGetNbElements(), 0);
  EXPECT_EQ(tab.nGetNbAlloues(), 0);
  EXPECT_EQ(tab.pGetBuffer(), nullptr);
  const int x = 1;
  CTTableau<int> t(7);
  t.Ajoute(x);
  EXPECT_EQ(t.nGetNbAlloues(), 7);  // the first growth is one step
}

// Growths of a chosen size: AlloueMemoire to exactly n, AgranditMemoire by
// the shortfall rounded up to the step, Etend to i + step.
TEST(CTableauDeBuffer, CroissancesDeTailleChoisie) {
  CTTableau<int> tab(8);
  ASSERT_TRUE(tab.AlloueMemoire(4));
  EXPECT_EQ(tab.nGetNbAlloues(), 4);
  ASSERT_TRUE(tab.AlloueMemoire(2));
  EXPECT_EQ(tab.nGetNbAlloues(), 4);
  for (int i = 0; i < 3; ++i) tab.Ajoute(i);
  ASSERT_TRUE(tab.AgranditMemoire(5));  // shortfall 4, rounded up to 8
  EXPECT_EQ(tab.nGetNbAlloues(), 12);
  EXPECT_EQ(tab.nGetPas(), 8);  // the temporary step is restored
  ASSERT_TRUE(tab.AgranditMemoire(9));  // room already
  EXPECT_EQ(tab.nGetNbAlloues(), 12);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{0, 1, 2}));
}

TEST(CTableauDeBuffer, EtendRemplitJusquALIndice) {
  CTTableau<int> tab(4);
  EXPECT_EQ(tab.Etend(10, 7, -1), 10);
  EXPECT_EQ(tab.nGetNbAlloues(), 14);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7}));
  EXPECT_EQ(tab.Etend(12, 8, 0), 12);  // inside the capacity: no growth
  EXPECT_EQ(tab.nGetNbAlloues(), 14);
  EXPECT_EQ(tab.Etend(13, 9, 0), 13);  // appended
  EXPECT_EQ(tab.Etend(0, 5, 0), 0);    // overwritten
  EXPECT_EQ(tab.Etend(-1, 5, 0), -1);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{5, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, 0, 8, 9}));
}

TEST(CTableauDeBuffer, Compacter) {
  CTTableau<int> tab(10);
  tab.Compacter();  // nothing to free
  EXPECT_EQ(tab.pGetBuffer(), nullptr);
  for (int i = 0; i < 3; ++i) tab.Ajoute(i);
  tab.Compacter();
  EXPECT_EQ(tab.nGetNbAlloues(), 3);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{0, 1, 2}));
  tab.SupprimeDernier(3);
  tab.Compacter();
  EXPECT_EQ(tab.nGetNbAlloues(), 0);
  EXPECT_EQ(tab.pGetBuffer(), nullptr);
}

TEST(CTableauDeBuffer, SupprimeCompacteSelonLaMarge) {
  struct Cas {
    int nMarge;
    int nCapacite;
  };
  for (const Cas cas : {Cas{16, 9}, Cas{40, 9}, Cas{41, 50}}) {
    CTTableau<int> tab(50, cas.nMarge);
    for (int i = 0; i < 10; ++i) tab.Ajoute(i);
    ASSERT_EQ(tab.nGetNbAlloues(), 50);
    tab.SupprimeCompacte(4);
    EXPECT_EQ(tab.nGetNbAlloues(), cas.nCapacite) << "slack " << cas.nMarge;
    EXPECT_EQ(Contenu(tab), (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 9}));
  }
}

// Insertion and removal move the right runs; out-of-range positions and
// counts change nothing.
TEST(CTableauDeBuffer, InsereSupprimeEtBornes) {
  CTTableau<int> tab(3);
  for (int i = 0; i < 5; ++i) tab.Ajoute(i);
  EXPECT_EQ(tab.Insere(9, 0), 0);
  EXPECT_EQ(tab.Insere(8, 6), 6);
  EXPECT_EQ(tab.Insere(7, 3), 3);
  tab.SetAt(6, 1);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{9, 6, 1, 7, 2, 3, 4, 8}));
  tab.Supprime(2, 3);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{9, 6, 3, 4, 8}));
  tab.Supprime(3, 2);  // a run reaching the end
  EXPECT_EQ(Contenu(tab), (std::vector<int>{9, 6, 3}));

  const std::vector<int> avant = Contenu(tab);
  EXPECT_EQ(tab.Insere(1, 4), -1);
  EXPECT_EQ(tab.Insere(1, -1), -1);
  tab.SetAt(1, 3);
  tab.SetAt(1, -1);
  tab.Supprime(2, 2);
  tab.Supprime(-1, 1);
  tab.Supprime(0, -1);
  tab.Supprime(0, 0);
  tab.SupprimeDernier(4);
  tab.SupprimeDernier(-1);
  tab.SupprimeCompacte(3);
  EXPECT_EQ(Contenu(tab), avant);
  EXPECT_EQ(tab.pGetElement(3), nullptr);
  EXPECT_EQ(tab.pGetElement(-1), nullptr);
  tab.SupprimeDernier(2);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{9}));
}

// A source element taken from the array's own block is read before the
// block moves (the sanitizer reports a read of freed memory otherwise).
TEST(CTableauDeBuffer, SourceDansLePropreBloc) {
  CTTableau<long> tab(2);
  tab.Ajoute(10L);
  tab.Ajoute(11L);
  tab.Ajoute(tab[0]);  // full: grows
  tab.Ajoute(tab[1]);
  ASSERT_EQ(tab.nGetNbElements(), tab.nGetNbAlloues());
  tab.Insere(tab[1], 0);  // full: grows
  tab.Ajoute(tab[2]);
  ASSERT_EQ(tab.nGetNbElements(), tab.nGetNbAlloues());
  tab.Etend(8, tab[1], tab[0]);  // element and fill inside, block moves
  tab.SetAt(tab[0], 0);
  const std::vector<long> attendu{11, 10, 11, 10, 11, 11, 11, 11, 10};
  EXPECT_EQ(std::vector<long>(tab.pGetTab(), tab.pGetTab() + tab.nGetNbElements()), attendu);
}

TEST(CTableauDeBuffer, InitialiseSeulementSansStockage) {
  CTTableau<int> tab(4);
  tab.Initialise(5, 3);
  EXPECT_EQ(tab.nGetNbAlloues(), 3);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{5, 5, 5}));
  tab.Initialise(6, 2);  // has storage: no change, no leak
  EXPECT_EQ(Contenu(tab), (std::vector<int>{5, 5, 5}));
}

namespace {
int nAppels = 0;
int CritereEgal(long key, const void* element) {
  ++nAppels;
  return *static_cast<const long*>(element) == key ? 0 : 1;
}
}  // namespace

TEST(CTableauDeBuffer, RechercheLineaire) {
  CTTableauPtr<long> tab(4);
  nAppels = 0;
  EXPECT_EQ(tab.nRechercheLineaireCriterePointeur(3, CritereEgal), -1);
  EXPECT_EQ(tab.pRechercheLineaireCriterePointeur(3, CritereEgal), nullptr);
  EXPECT_EQ(nAppels, 0);
  long valeurs[] = {1, 3, 3, 5};
  for (long& v : valeurs) tab.Ajoute(&v);
  EXPECT_EQ(tab.nRechercheLineaireCriterePointeur(3, CritereEgal), 1);
  EXPECT_EQ(tab.pRechercheLineaireCriterePointeur(5, CritereEgal), &valeurs[3]);
  EXPECT_EQ(tab.nRechercheLineaireCriterePointeur(4, CritereEgal), -1);
}

TEST(CTableauDeBuffer, SwapEtDeplace) {
  CTableauDeBuffer grand(100, 4, 0);  // wider than the swap's piece
  unsigned char a[100], b[100];
  std::memset(a, 'a', sizeof a);
  std::memset(b, 'b', sizeof b);
  grand.Ajoute(a);
  grand.Ajoute(b);
  grand.Swap(0, 1);
  EXPECT_EQ(std::memcmp(grand.pGetElement(0), b, 100), 0);
  EXPECT_EQ(std::memcmp(grand.pGetElement(1), a, 100), 0);

  CTTableau<int> tab(8);
  for (int i = 0; i < 6; ++i) tab.Ajoute(i);
  tab.Deplace(1, 4);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{0, 2, 3, 4, 1, 5}));
  tab.Deplace(5, 0);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{5, 0, 2, 3, 4, 1}));
  tab.Deplace(2, 6);
  tab.Swap(0, 6);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{5, 0, 2, 3, 4, 1}));
}

TEST(CTableauDeBuffer, PermuteMultiple) {
  struct Cas {
    int n;
    std::vector<_STBlocATrier> blocs;
    std::vector<int> attendu;
  };
  const Cas cas[] = {
      {2, {{6, 4}, {2, 4}}, {0, 1, 6, 7, 8, 9, 2, 3, 4, 5}},
      {0, {{5, 1}, {6, 2}, {0, 5}}, {5, 6, 7, 0, 1, 2, 3, 4, 8, 9}},  // runs that follow on
      {1, {{3, 1}, {1, 2}}, {0, 3, 1, 2, 4, 5, 6, 7, 8, 9}},          // tail keeps its indices
      {0, {{8, 3}}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},                  // beyond the count: nothing
      {11, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const Cas& c : cas) {
    CTTableau<int> tab(16);
    for (int i = 0; i < 10; ++i) tab.Ajoute(i);
    tab.PermuteMultiple(c.n, c.blocs.data(), c.blocs.size());
    EXPECT_EQ(Contenu(tab), c.attendu);
    EXPECT_EQ(tab.nGetNbAlloues(), 16);
  }
}

TEST(CTableauDeBuffer, DupliqueRecupereEchange) {
  CTTableau<int> a(4), b(2), c(8);
  for (int i = 0; i < 5; ++i) a.Ajoute(i);
  ASSERT_TRUE(b._Duplique(a));
  EXPECT_EQ(b.nGetNbAlloues(), 5);
  EXPECT_EQ(Contenu(b), Contenu(a));
  c.Ajoute(42);
  c.Recupere(b);
  EXPECT_EQ(Contenu(c), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(b.pGetBuffer(), nullptr);
  EXPECT_EQ(b.nGetNbElements(), 0);
  b.Ajoute(7);
  EchangeTableau(&b, &c);
  EXPECT_EQ(Contenu(b), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Contenu(c), (std::vector<int>{7}));
  EXPECT_EQ(b.nGetPas(), 8);
  CTableauDeBuffer autre(2, 4, 0);
  EXPECT_FALSE(autre._Duplique(a));  // element sizes differ
}

namespace {

// An array whose growths fail, as when memory is short; it notes the step
// each growth was asked for.
class CTableauSansMemoire : public CTTableau<int> {
 public:
  CTableauSansMemoire() : CTTableau<int>(4) {}
  void Agrandir() override {
    m_pasVus.push_back(m_nPas);
    if (m_bAccepte) CTTableau<int>::Agrandir();
  }
  bool m_bAccepte = true;
  std::vector<int> m_pasVus;
};

}  // namespace

// Operations that need a growth change nothing when it fails; a derived
// class sees the temporary step of a growth of chosen size.
TEST(CTableauDeBuffer, CroissanceRefusee) {
  CTableauSansMemoire tab;
  for (int i = 0; i < 4; ++i) tab.Ajoute(i);
  tab.m_bAccepte = false;
  EXPECT_EQ(tab.Ajoute(9), -1);
  EXPECT_EQ(tab.Insere(9, 0), -1);
  EXPECT_EQ(tab.Etend(9, 9, 9), -1);
  EXPECT_FALSE(tab.AlloueMemoire(10));
  EXPECT_FALSE(tab.AgranditMemoire(1));
  EXPECT_EQ(tab.m_pasVus, (std::vector<int>{4, 4, 4, 9, 6, 4}));
  EXPECT_EQ(tab.nGetPas(), 4);
  EXPECT_EQ(tab.nGetNbAlloues(), 4);
  EXPECT_EQ(Contenu(tab), (std::vector<int>{0, 1, 2, 3}));
}

// The real allocation failing: a block far beyond the address space.
TEST(CTableauDeBuffer, AllocationImpossible) {
  RunWhereHugeAllocationsFail([] {
    const int nTaille = 1 << 20;
    CTableauDeBuffer tab(nTaille, 2, 0);
    std::vector<unsigned char> element(nTaille, 0x5a);
    ASSERT_EQ(tab.Ajoute(element.data()), 0);
    ASSERT_EQ(tab.Ajoute(element.data()), 1);
    tab.SetPas(1 << 30);  // next growth: 2^50 bytes
    EXPECT_EQ(tab.Ajoute(element.data()), -1);
    EXPECT_EQ(tab.Insere(element.data(), 0), -1);
    EXPECT_EQ(tab.Etend(5, element.data(), element.data()), -1);
    EXPECT_FALSE(tab.AlloueMemoire(1 << 30));
    EXPECT_EQ(tab.nGetNbElements(), 2);
    EXPECT_EQ(tab.nGetNbAlloues(), 2);
    EXPECT_EQ(static_cast<const unsigned char*>(tab.pGetElement(1))[nTaille - 1], 0x5a);
    CTableauDeBuffer vide(1 << 30, 1, 0);
    vide.Initialise(element.data(), 1 << 22);
    EXPECT_EQ(vide.pGetBuffer(), nullptr);
    EXPECT_EQ(vide.nGetNbElements(), 0);
  });
}
