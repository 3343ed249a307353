#include "CRefArray.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/RecordDoubles.h"

namespace {

// Three memo sets and three objects with two counts, each held once by the
// test itself so that the arrays' references can be counted.
class CRefArrayObjets : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      memos.push_back(new CNARecordMemo(i, &journal, &nMemosDetruits));
      memos.back()->dwAddRef();
      interfs.push_back(new CInterfDouble(i, &journal, &nInterfsDetruits));
      interfs.back()->m_nExterne = 1;  // the runtime's hold keeps it alive
    }
  }
  void TearDown() override {
    for (CNARecordMemo* m : memos) m->dwRelease();
    for (CInterfDouble* o : interfs) delete o;
  }

  std::vector<int> journal;
  int nMemosDetruits = 0;
  int nInterfsDetruits = 0;
  std::vector<CNARecordMemo*> memos;
  std::vector<CInterfDouble*> interfs;
};

TEST_F(CRefArrayObjets, ChaqueOperationRendSesReferences) {
  {
    CRefArray<CNARecordMemo> tabMemos(2);
    CRefArray<CInterfDouble> tabInterfs(1);
    for (int i = 0; i < 3; ++i) {
      tabMemos.Ajoute(memos[i]);
      tabInterfs.Insere(interfs[i], 0);
    }
    tabMemos.Ajoute(memos[0]);  // twice in the array: two references
    tabMemos.Ajoute(nullptr);
    tabInterfs.Insere(nullptr, 1);
    EXPECT_EQ(memos[0]->nGetCount(), 3u);
    EXPECT_EQ(memos[1]->nGetCount(), 2u);
    EXPECT_EQ(interfs[2]->m_nInterne, 1u);
    EXPECT_EQ(tabMemos.nGetNbElements(), 5);
    EXPECT_EQ(tabMemos[4], nullptr);
    EXPECT_EQ(tabInterfs[0], interfs[2]);
    EXPECT_EQ(tabInterfs[1], nullptr);

    tabMemos.Supprime(1);  // memos[1]
    EXPECT_EQ(memos[1]->nGetCount(), 1u);
    tabInterfs.Supprime(1, 2);  // null and interfs[1]
    EXPECT_EQ(interfs[1]->m_nInterne, 0u);
    EXPECT_EQ(tabInterfs.nGetNbElements(), 2);
    tabMemos.Supprime(3, 2);  // beyond the count: nothing
    EXPECT_EQ(tabMemos.nGetNbElements(), 4);
    tabInterfs.SupprimeTout();
    EXPECT_EQ(interfs[0]->m_nInterne, 0u);
    EXPECT_EQ(tabInterfs.nGetNbElements(), 0);

    // A plain pointer array takes and gives back nothing.
    CTTableauPtr<CNARecordMemo> plain(4);
    plain.Ajoute(memos[2]);
  }
  for (CNARecordMemo* m : memos) EXPECT_EQ(m->nGetCount(), 1u);
  for (CInterfDouble* o : interfs) EXPECT_EQ(o->m_nInterne, 0u);
  EXPECT_EQ(nMemosDetruits, 0);
  EXPECT_EQ(nInterfsDetruits, 0);
}

TEST_F(CRefArrayObjets, LaDestructionRelacheDuDernierAuPremier) {
  {
    CRefArray<CNARecordMemo> tab(4);
    tab.Ajoute(memos[0]);
    tab.Ajoute(nullptr);
    tab.Ajoute(memos[2]);
    tab.Ajoute(memos[1]);
  }
  EXPECT_EQ(journal, (std::vector<int>{1, 2, 0}));
  journal.clear();
  {
    CRefArray<CInterfDouble> tab(4);
    for (CInterfDouble* o : interfs) tab.Ajoute(o);
    tab.SupprimeTout();
  }
  EXPECT_EQ(journal, (std::vector<int>{2, 1, 0}));
}

// The array may hold the only reference: giving it back destroys the
// object, by each type's own rule.
TEST_F(CRefArrayObjets, LaDerniereReferenceDetruit) {
  CRefArray<CNARecordMemo> tabMemos(4);
  tabMemos.Ajoute(new CNARecordMemo(7, &journal, &nMemosDetruits));
  tabMemos.Supprime(0);
  EXPECT_EQ(nMemosDetruits, 1);

  CRefArray<CInterfDouble> tabInterfs(4);
  tabInterfs.Ajoute(new CInterfDouble(8, &journal, &nInterfsDetruits));
  tabInterfs.Ajoute(interfs[0]);  // external count 1: survives
  tabInterfs.SupprimeTout();
  EXPECT_EQ(nInterfsDetruits, 1);
}

// The reference-counted array: the last dwRelease, through either base,
// destroys it and releases its elements.
TEST_F(CRefArrayObjets, CNARefArrayCompteLuiMeme) {
  auto* tab = new CNARefArray<CNARecordMemo>(8);
  tab->dwAddRef();
  tab->Ajoute(memos[0]);
  tab->Ajoute(memos[1]);
  tab->dwAddRef();
  CKXUnknown* commeUnknown = tab;
  EXPECT_EQ(commeUnknown->dwRelease(), 1u);
  EXPECT_EQ(memos[0]->nGetCount(), 2u);
  EXPECT_EQ(commeUnknown->dwRelease(), 0u);
  EXPECT_EQ(memos[0]->nGetCount(), 1u);
  EXPECT_EQ(memos[1]->nGetCount(), 1u);
  EXPECT_EQ(journal, (std::vector<int>{1, 0}));
}

namespace {

// A reference array whose growths fail, as when memory is short.
class CRefArraySansMemoire : public CRefArray<CNARecordMemo> {
 public:
  CRefArraySansMemoire() : CRefArray<CNARecordMemo>(2) {}
  void Agrandir() override {
    if (m_bAccepte) CRefArray<CNARecordMemo>::Agrandir();
  }
  bool m_bAccepte = true;
};

}  // namespace

// An element that cannot be stored leaves no reference behind.
TEST_F(CRefArrayObjets, CroissanceRefuseeNePrendRien) {
  CRefArraySansMemoire tab;
  tab.Ajoute(memos[0]);
  tab.Ajoute(memos[1]);
  tab.m_bAccepte = false;
  EXPECT_EQ(tab.Ajoute(memos[2]), -1);
  EXPECT_EQ(tab.Insere(memos[2], 0), -1);
  EXPECT_EQ(tab.Insere(memos[2], 5), -1);
  EXPECT_EQ(memos[2]->nGetCount(), 1u);
  EXPECT_EQ(tab.nGetNbElements(), 2);
  tab.m_bAccepte = true;
  EXPECT_EQ(tab.Insere(memos[2], 1), 1);
  EXPECT_EQ(memos[2]->nGetCount(), 2u);
  EXPECT_EQ(tab.pGetAt(1), memos[2]);
  EXPECT_EQ(tab.pGetAt(3), nullptr);
}

}  // namespace
