#include "CListeDeBuffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The values of a list (or list state) from head to tail, checking the
// backward links and the count on the way.
std::vector<int> Valeurs(const CEtatListe& liste) {
  std::vector<int> valeurs;
  const CLinkedElement* precedent = nullptr;
  for (CLinkedElement* node = liste.pclGetTete(); node != nullptr; node = node->pSuivant) {
    EXPECT_EQ(node->pPrecedent, precedent);
    valeurs.push_back(*static_cast<int*>(CEtatListe::pGetElem(node)));
    precedent = node;
  }
  EXPECT_EQ(liste.pclGetQueue(), precedent);
  EXPECT_EQ(static_cast<int>(valeurs.size()), liste.nGetNbElements());
  return valeurs;
}

int Courant(const CEtatListe& liste) {
  const void* p = liste.pCourant();
  return p != nullptr ? *static_cast<const int*>(p) : -999;
}

// A list holding 0..n-1 with its cursor on the last one.
void Remplit(CListeDeBuffer& liste, int n) {
  for (int i = 0; i < n; ++i) liste.Ajoute(&i, 0);
}

}  // namespace

TEST(CListeDeBuffer, AjouteAvantEtApres) {
  CListeDeBuffer liste(sizeof(int));
  EXPECT_EQ(liste.nGetIndiceCourant(), -1);
  EXPECT_EQ(liste.pCourant(), nullptr);
  for (int v : {1, 2, 3}) liste.Ajoute(&v, 0);
  EXPECT_EQ(liste.nGetIndiceCourant(), 2);
  const int quatre = 4;
  liste.Ajoute(&quatre, 1);
  EXPECT_EQ(Valeurs(liste), (std::vector<int>{1, 2, 4, 3}));
  EXPECT_EQ(liste.nGetIndiceCourant(), 2);
  EXPECT_EQ(Courant(liste), 4);

  liste.pVaSurNumero(0);
  const int cinq = 5;
  liste.Ajoute(&cinq, 1);  // before the head: new head
  liste.pVaSurNumero(4);
  const int six = 6;
  liste.Ajoute(&six, 0);  // after the tail: new tail
  EXPECT_EQ(Valeurs(liste), (std::vector<int>{5, 1, 2, 4, 3, 6}));
  EXPECT_EQ(liste.nGetIndiceCourant(), 5);

  // Cursor off either end: the node goes to that end.
  liste.VaSuivant();
  EXPECT_EQ(liste.pCourant(), nullptr);
  const int sept = 7;
  liste.Ajoute(&sept, 1);
  EXPECT_EQ(liste.nGetIndiceCourant(), 6);
  liste.pVaSurNumero(0);
  liste.VaPrecedent();
  const int huit = 8;
  liste.Ajoute(&huit, 0);
  EXPECT_EQ(liste.nGetIndiceCourant(), 0);
  EXPECT_EQ(Valeurs(liste), (std::vector<int>{8, 5, 1, 2, 4, 3, 6, 7}));
}

TEST(CListeDeBuffer, SupprimeCourant) {
  struct Cas {
    int n;
    int position;
    std::vector<int> reste;
    int indice;
    int courant;
  };
  const Cas cas[] = {
      {3, 0, {1, 2}, 0, 1},  // the head: the new head is current
      {3, 1, {0, 2}, 0, 0},  // the previous node becomes current
      {3, 2, {0, 1}, 1, 1},
      {1, 0, {}, -1, -999},  // the only node: empty list
  };
  for (const Cas& c : cas) {
    CListeDeBuffer liste(sizeof(int));
    Remplit(liste, c.n);
    liste.pVaSurNumero(c.position);
    liste.SupprimeCourant();
    EXPECT_EQ(Valeurs(liste), c.reste) << c.position;
    EXPECT_EQ(liste.nGetIndiceCourant(), c.indice) << c.position;
    EXPECT_EQ(Courant(liste), c.courant) << c.position;
  }
  CListeDeBuffer liste(sizeof(int));
  liste.SupprimeCourant();  // empty: nothing
  Remplit(liste, 2);
  liste.VaSuivant();  // off the end
  liste.SupprimeCourant();
  EXPECT_EQ(Valeurs(liste), (std::vector<int>{0, 1}));
}

TEST(CListeDeBuffer, DeplacementsAuxBouts) {
  CListeDeBuffer liste(sizeof(int));
  EXPECT_EQ(liste.pVaSuivant(), nullptr);
  liste.VaSuivant();
  liste.VaPrecedent();
  EXPECT_EQ(liste.nGetIndiceCourant(), -1);
  Remplit(liste, 3);
  EXPECT_EQ(liste.pVaSuivant(), nullptr);  // on the tail: stays
  EXPECT_EQ(liste.nGetIndiceCourant(), 2);
  EXPECT_EQ(*static_cast<int*>(liste.pVaPrecedent()), 1);
  EXPECT_EQ(*static_cast<int*>(liste.pVaPrecedent()), 0);
  EXPECT_EQ(liste.pVaPrecedent(), nullptr);
  EXPECT_EQ(liste.nGetIndiceCourant(), 0);
  liste.VaPrecedent();  // off the head
  EXPECT_EQ(liste.pCourant(), nullptr);
  EXPECT_EQ(liste.nGetIndiceCourant(), -1);
  EXPECT_EQ(liste.pVaSuivant(), nullptr);
  EXPECT_EQ(liste.pVaPrecedent(), nullptr);
  liste.VaSuivant();  // no current node: no move
  EXPECT_EQ(liste.nGetIndiceCourant(), -1);
  EXPECT_EQ(CEtatListe::pGetElem(nullptr), nullptr);
}

// Every target from every cursor position, the cursor off either end
// included, on lists of several lengths: the walk lands on the right node
// whichever way it takes; targets outside the list give null and leave the
// cursor alone.
TEST(CListeDeBuffer, VaSurNumeroDepuisChaquePosition) {
  for (int n = 1; n <= 7; ++n) {
    for (int depart = -1; depart <= n; ++depart) {
      for (int cible = -1; cible <= n; ++cible) {
        CListeDeBuffer liste(sizeof(int));
        Remplit(liste, n);
        if (depart == -1) {
          liste.pVaSurNumero(0);
          liste.VaPrecedent();
        } else if (depart == n) {
          liste.VaSuivant();
        } else {
          liste.pVaSurNumero(depart);
        }
        const void* p = liste.pVaSurNumero(cible);
        if (cible < 0 || cible >= n) {
          EXPECT_EQ(p, nullptr);
          EXPECT_EQ(liste.nGetIndiceCourant(), depart);
          continue;
        }
        ASSERT_NE(p, nullptr) << n << " " << depart << " " << cible;
        EXPECT_EQ(*static_cast<const int*>(p), cible) << n << " " << depart << " " << cible;
        EXPECT_EQ(liste.nGetIndiceCourant(), cible);
        EXPECT_EQ(liste.pCourant(), p);
      }
    }
  }
  CListeDeBuffer vide(sizeof(int));
  EXPECT_EQ(vide.pVaSurNumero(0), nullptr);
}

// A state copy is a second cursor: moving it leaves the list alone, and
// destroying it frees nothing.
TEST(CListeDeBuffer, EtatCopieNePossedeRien) {
  CListeDeBuffer liste(sizeof(int));
  Remplit(liste, 4);
  {
    CEtatListe etat(liste);
    EXPECT_EQ(*static_cast<int*>(etat.pVaSurNumero(1)), 1);
  }
  EXPECT_EQ(liste.nGetIndiceCourant(), 3);
  EXPECT_EQ(Valeurs(liste), (std::vector<int>{0, 1, 2, 3}));
}

TEST(CListeDeBuffer, ExtraitListe) {
  struct Cas {
    const char* nom;
    int from, to;     // to = 6: null cursor (to the end)
    int curseur;      // the source's cursor
    std::vector<int> extrait, reste;
    int courantSource, indiceSource;  // -999: null
    int courantEtats, indiceEtats;
  };
  const Cas cas[] = {
      {"tete", 0, 2, 4, {0, 1}, {2, 3, 4, 5}, 4, 2, 2, 0},
      {"milieu", 2, 4, 1, {2, 3}, {0, 1, 4, 5}, 1, 1, 4, 2},
      {"milieu, curseur dedans", 1, 4, 2, {1, 2, 3}, {0, 4, 5}, 4, 1, 4, 1},
      {"milieu, curseur sur to", 1, 3, 3, {1, 2}, {0, 3, 4, 5}, 3, 1, 3, 1},
      {"queue", 4, 6, 5, {4, 5}, {0, 1, 2, 3}, -999, 4, -999, 4},
      {"tout", 0, 6, 0, {0, 1, 2, 3, 4, 5}, {}, -999, -1, -999, -1},
  };
  for (const Cas& c : cas) {
    CListeDeBuffer source(sizeof(int));
    Remplit(source, 6);
    CEtatListe from(source), to(source);
    from.pVaSurNumero(c.from);
    if (c.to < 6)
      to.pVaSurNumero(c.to);
    else
      to.VaSuivant();
    source.pVaSurNumero(c.curseur);

    CListeDeBuffer recu(sizeof(int));
    const int dix = 10;
    recu.Ajoute(&dix, 0);  // replaced, and freed
    recu.ExtraitListe(source, from, to);

    EXPECT_EQ(Valeurs(recu), c.extrait) << c.nom;
    EXPECT_EQ(recu.nGetIndiceCourant(), 0) << c.nom;
    EXPECT_EQ(Courant(recu), c.extrait.front()) << c.nom;
    EXPECT_EQ(Valeurs(source), c.reste) << c.nom;
    EXPECT_EQ(Courant(source), c.courantSource) << c.nom;
    EXPECT_EQ(source.nGetIndiceCourant(), c.indiceSource) << c.nom;
    for (const CEtatListe* etat : {&from, &to}) {
      EXPECT_EQ(Valeurs(*etat), c.reste) << c.nom;
      EXPECT_EQ(Courant(*etat), c.courantEtats) << c.nom;
      EXPECT_EQ(etat->nGetIndiceCourant(), c.indiceEtats) << c.nom;
    }
  }
}

TEST(CListeDeBuffer, ExtraitListeSansEffet) {
  CListeDeBuffer source(sizeof(int));
  Remplit(source, 4);
  CEtatListe from(source), to(source);
  CListeDeBuffer recu(sizeof(int));
  from.pVaSurNumero(2);
  to.pVaSurNumero(2);
  recu.ExtraitListe(source, from, to);  // equal cursors
  to.pVaSurNumero(1);
  recu.ExtraitListe(source, from, to);  // to before from
  from.pVaSurNumero(0);
  from.VaPrecedent();
  recu.ExtraitListe(source, from, to);  // from's cursor null
  CListeDeBuffer autreTaille(sizeof(long));
  from.pVaSurNumero(0);
  autreTaille.ExtraitListe(source, from, to);
  EXPECT_EQ(recu.nGetNbElements(), 0);
  EXPECT_EQ(autreTaille.nGetNbElements(), 0);
  EXPECT_EQ(Valeurs(source), (std::vector<int>{0, 1, 2, 3}));
}
