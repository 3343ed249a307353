// The reference hash tables: who holds which reference, the string table's
// key copies and its one-entry lookup memory.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CRefHashTable.h"
#include "support/RecordDoubles.h"

namespace {

// Objects with the native-access counts. The test holds each through the
// external count, so the internal count is the tables' (and borrowers')
// references; unless told otherwise, then the last release deletes it.
struct Objets {
  std::vector<int> journal;
  int nDetruits = 0;
  std::vector<CInterfDouble*> tab;

  CInterfDouble* pNouveau(bool bTenuParLeTest = true) {
    auto* p = new CInterfDouble(static_cast<int>(tab.size()), &journal, &nDetruits);
    p->m_nExterne = bTenuParLeTest ? 1 : 0;
    if (bTenuParLeTest) tab.push_back(p);
    return p;
  }
  ~Objets() {
    for (CInterfDouble* p : tab) {
      EXPECT_EQ(p->m_nInterne, 0u) << "object " << p->m_nNumero << " still referenced";
      delete p;
    }
  }
};

enum eGenre { GENRE_A = 1, GENRE_B = 2 };

TEST(HashTableRef, ReferencesGoBackToTheirStart) {
  Objets o;
  CInterfDouble* a = o.pNouveau();
  CInterfDouble* b = o.pNouveau();
  CInterfDouble* c = o.pNouveau();
  {
    CRefHashTable<int, CInterfDouble*> t;
    ASSERT_TRUE(t.bAddElement(1, a));
    ASSERT_TRUE(t.bAddElement(-2, b));
    ASSERT_TRUE(t.bAddElement(3, c));
    EXPECT_EQ(a->m_nInterne, 1u);

    // A find hands out a reference of the caller's own.
    CInterfDouble* v = nullptr;
    int k = 0;
    ASSERT_TRUE(t.bGetElement(-2, &v, &k));
    EXPECT_EQ(v, b);
    EXPECT_EQ(k, -2);
    EXPECT_EQ(b->m_nInterne, 2u);
    _Release(v);
    EXPECT_TRUE(t.bGetElement(1));  // nobody receives the value: nothing taken
    EXPECT_EQ(a->m_nInterne, 1u);

    // Replacing: the old value is released, the new one held once more.
    ASSERT_TRUE(t.bReplaceElement(1, b));
    EXPECT_EQ(a->m_nInterne, 0u);
    EXPECT_EQ(b->m_nInterne, 2u);
    EXPECT_EQ(t.dwGetNumElement(), 3u);
    ASSERT_TRUE(t.bReplaceElement(1, b));  // with itself: still alive, still held once for key 1
    EXPECT_EQ(b->m_nInterne, 2u);

    // Taking out: the table's reference goes to the caller.
    ASSERT_TRUE(t.bDeleteElement(-2, &v, &k));
    EXPECT_EQ(v, b);
    EXPECT_EQ(k, -2);
    EXPECT_EQ(b->m_nInterne, 2u);
    _Release(v);
    EXPECT_FALSE(t.bDeleteElement(-2));

    // A parse without removal lends.
    unsigned nCurseur = 0;
    int nVus = 0;
    while (t.bParseTable(&nCurseur, 0, &v, &k)) ++nVus;
    EXPECT_EQ(nVus, 2);
    EXPECT_EQ(b->m_nInterne, 1u);
    EXPECT_EQ(c->m_nInterne, 1u);

    ASSERT_TRUE(t.bAddElement(4, a));
    t.DeleteAll();
    EXPECT_EQ(t.dwGetNumElement(), 0u);
    EXPECT_EQ(a->m_nInterne, 0u);
    EXPECT_EQ(b->m_nInterne, 0u);
    EXPECT_EQ(c->m_nInterne, 0u);

    ASSERT_TRUE(t.bAddElement(5, c));
    ASSERT_TRUE(t.bAddElement(5, a));
  }  // destruction releases the rest
  EXPECT_EQ(o.nDetruits, 0);
}

TEST(HashTableRef, OtherKeyTypesAndTheLastReference) {
  Objets o;
  CInterfDouble* a = o.pNouveau();
  CNARefHashTable<CInterfDouble*, CInterfDouble*> parObjet;
  ASSERT_TRUE(parObjet.bAddElement(a, a));
  CInterfDouble* v = nullptr;
  CInterfDouble* k = nullptr;
  ASSERT_TRUE(parObjet.bGetElement(a, &v, &k));
  EXPECT_EQ(k, a);
  _Release(v);

  CRefHashTable<eGenre, CInterfDouble*> parGenre;
  ASSERT_TRUE(parGenre.bAddElement(GENRE_B, a));
  eGenre g = GENRE_A;
  ASSERT_TRUE(parGenre.bDeleteElement(GENRE_B, nullptr, &g));
  EXPECT_EQ(g, GENRE_B);
  EXPECT_EQ(a->m_nInterne, 1u);  // held by parObjet only
  ASSERT_TRUE(parObjet.bDeleteElement(a));
  EXPECT_EQ(a->m_nInterne, 0u);

  // An object nobody else holds goes with the table's last reference, and
  // only once it is out of the table.
  CRefHashTable<unsigned long, CInterfDouble*> t;
  ASSERT_TRUE(t.bAddElement(7ul, o.pNouveau(false)));
  ASSERT_TRUE(t.bAddElement(8ul, o.pNouveau(false)));
  ASSERT_TRUE(t.bAddElement(9ul, nullptr));  // nulls are stored and skipped by the hooks
  ASSERT_TRUE(t.bDeleteElement(7ul));
  EXPECT_EQ(o.nDetruits, 1);
  ASSERT_TRUE(t.bReplaceElement(8ul, nullptr));
  EXPECT_EQ(o.nDetruits, 2);
  EXPECT_TRUE(t.bGetElement(9ul, &v));
  EXPECT_EQ(v, nullptr);
}

TEST(HashTableRef, StringKeysIgnoreCaseAndAccentsAndAreCopied) {
  Objets o;
  CInterfDouble* a = o.pNouveau();
  CInterfDouble* b = o.pNouveau();
  CRefStringHashTable<CInterfDouble*> t;
  wchar_t cle[] = L"Connexion";
  ASSERT_TRUE(t.bAddElement(cle, a));
  cle[0] = L'X';  // the table keeps its own copy

  for (const wchar_t* s : {L"Connexion", L"CONNEXION", L"connéxion", L"CONNÉXION"}) {
    CInterfDouble* v = nullptr;
    const wchar_t* stocke = nullptr;
    ASSERT_TRUE(t.bGetElement(s, &v, &stocke));
    EXPECT_EQ(v, a);
    EXPECT_STREQ(stocke, L"Connexion");
    _Release(v);
  }
  ASSERT_TRUE(t.bReplaceElement(L"connéxion", b));
  EXPECT_EQ(t.dwGetNumElement(), 1u);
  EXPECT_EQ(a->m_nInterne, 0u);
  const wchar_t* stocke = nullptr;
  ASSERT_TRUE(t.bGetElement(L"CONNEXION", nullptr, &stocke));
  EXPECT_STREQ(stocke, L"connéxion");
  EXPECT_FALSE(t.bGetElement(L"Connexions"));
  EXPECT_FALSE(t.bGetElement(nullptr));
  ASSERT_TRUE(t.bAddElement(nullptr, a));  // a null key is the empty key
  EXPECT_TRUE(t.bGetElement(L""));
}

// After a find has put a key in the lookup memory, every way that element
// can leave (or be outranked) is seen by the next find.
TEST(HashTableRef, LookupMemoryFollowsTheElement) {
  struct Cas {
    const char* nom;
    // Acts on the table; answers what the next find of "Clé" must give
    // (null: nothing). a is the remembered value, b another object.
    std::function<CInterfDouble*(CRefStringHashTable<CInterfDouble*>&, CInterfDouble* a, CInterfDouble* b)> agit;
  };
  const Cas cas[] = {
      {"replace",
       [](auto& t, auto*, auto* b) {
         EXPECT_TRUE(t.bReplaceElement(L"CLÉ", b));
         return b;
       }},
      {"remove",
       [](auto& t, auto*, auto*) {
         EXPECT_TRUE(t.bDeleteElement(L"cle"));
         return static_cast<CInterfDouble*>(nullptr);
       }},
      {"second add",
       [](auto& t, auto*, auto* b) {
         EXPECT_TRUE(t.bAddElement(L"CLE", b));
         return b;
       }},
      {"take out",
       [](auto& t, auto* a, auto*) {
         CInterfDouble* v = nullptr;
         const wchar_t* k = L"x";
         EXPECT_TRUE(t.bDeleteElement(L"clé", &v, &k));
         EXPECT_EQ(v, a);
         EXPECT_EQ(k, nullptr);  // the key copy is gone
         _Release(v);
         return static_cast<CInterfDouble*>(nullptr);
       }},
      {"parse removal",
       [](auto& t, auto*, auto*) {
         unsigned n = 0;
         while (t.bParseTable(&n, 1)) {
         }
         return static_cast<CInterfDouble*>(nullptr);
       }},
      {"delete all",
       [](auto& t, auto*, auto*) {
         t.DeleteAll();
         return static_cast<CInterfDouble*>(nullptr);
       }},
      {"another key removed",
       [](auto& t, auto* a, auto*) {
         EXPECT_TRUE(t.bDeleteElement(L"autre"));
         return a;
       }},
  };
  for (const Cas& c : cas) {
    SCOPED_TRACE(c.nom);
    Objets o;
    CInterfDouble* b = o.pNouveau();
    CRefStringHashTable<CInterfDouble*> t;
    // The cached value is held by the table alone: a find that answered
    // from a stale memory would hand out a deleted object.
    CInterfDouble* a = o.pNouveau(false);
    ASSERT_TRUE(t.bAddElement(L"Clé", a));
    ASSERT_TRUE(t.bAddElement(L"autre", b));
    ASSERT_TRUE(t.bGetElement(L"CLE"));
    CInterfDouble* attendu = c.agit(t, a, b);
    CInterfDouble* v = nullptr;
    EXPECT_EQ(t.bGetElement(L"Clé", &v), attendu != nullptr);
    EXPECT_EQ(v, attendu);
    _Release(v);
    t.DeleteAll();
  }
}

TEST(HashTableRef, ParseWithRemovalHandsOverValuesAndFreesKeys) {
  Objets o;
  CRefStringHashTable<CInterfDouble*> t;
  const std::wstring noms[] = {L"un", L"deux", L"trois", L"quatre", L"cinq", L"six", L"sept", L"huit", L"neuf"};
  for (const auto& nom : noms) ASSERT_TRUE(t.bAddElement(nom.c_str(), o.pNouveau()));
  unsigned nCurseur = 0;
  CInterfDouble* v = nullptr;
  const wchar_t* k = L"x";
  std::vector<CInterfDouble*> recus;
  while (t.bParseTable(&nCurseur, 1, &v, &k)) {
    EXPECT_EQ(k, nullptr);
    EXPECT_EQ(v->m_nInterne, 1u);  // the table's reference, now the caller's
    recus.push_back(v);
  }
  EXPECT_EQ(recus.size(), 9u);
  EXPECT_EQ(t.dwGetNumElement(), 0u);
  EXPECT_FALSE(t.bGetElement(L"un"));
  for (CInterfDouble* p : recus) _Release(p);

  // A table destroyed with elements releases them and frees its copies.
  auto pt = std::make_unique<CRefStringHashTable<CInterfDouble*>>();
  for (const auto& nom : noms) ASSERT_TRUE(pt->bAddElement(nom.c_str(), o.tab[0]));
  EXPECT_EQ(o.tab[0]->m_nInterne, 9u);
  pt.reset();
  EXPECT_EQ(o.tab[0]->m_nInterne, 0u);
}

}  // namespace
