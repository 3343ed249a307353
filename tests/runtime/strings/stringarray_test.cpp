#include "CTStringArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FailingNew.h"

namespace {

std::vector<std::wstring> Elements(CTStringArray& a) {
  std::vector<std::wstring> out;
  for (int k = 0; k < a.nGetNbElements(); ++k) out.emplace_back(a[k]->pszGet());
  return out;
}

using V = std::vector<std::wstring>;

TEST(stringarray, SplitAndJoin) {
  struct Row {
    const wchar_t* text;
    const wchar_t* sep;
    V expected;
  } const rows[] = {
      {L"a;b;;c", L";", {L"a", L"b", L"", L"c"}},
      {L"abc", L";", {L"abc"}},
      {L"abc;", L";", {L"abc", L""}},
      {L";", L";", {L"", L""}},
      {L"a::b:c", L"::", {L"a", L"b:c"}},
      {L"", L";", {}},
      {nullptr, L";", {}},
      {L"a;b", nullptr, {L"a;b"}},
      {L"a;b", L"", {L"a;b"}},
      {L"", nullptr, {}},
  };
  for (const Row& r : rows) {
    CTStringArray a;
    a.Ajoute(L"former");
    a.Decoupe(r.text, r.sep);
    EXPECT_EQ(Elements(a), r.expected) << (r.text ? r.text : L"(null)");
    if (r.text != nullptr && *r.text != 0 && r.sep != nullptr) {
      CTString joined;
      EXPECT_TRUE(a.bFusion(&joined, r.sep));
      EXPECT_STREQ(joined.pszGet(), r.text);
    }
  }
}

TEST(stringarray, SplitsItsOwnElement) {
  CTStringArray a;
  a.Ajoute(L"x,y,z");
  a.Decoupe(*a[0], L",");
  EXPECT_EQ(Elements(a), (V{L"x", L"y", L"z"}));
}

TEST(stringarray, Join) {
  CTStringArray a;
  CTString out(L"kept");
  EXPECT_TRUE(a.bFusion(&out, L","));
  EXPECT_STREQ(out.pszGet(), L"kept");  // an empty array leaves out alone
  a.Ajoute(L"one");
  EXPECT_TRUE(a.bFusion(&out, L", "));
  EXPECT_STREQ(out.pszGet(), L"one");
  a.Ajoute(L"two");
  a.Ajoute(L"");
  EXPECT_TRUE(a.bFusion(&out, nullptr));
  EXPECT_STREQ(out.pszGet(), L"onetwo");
  EXPECT_TRUE(a.bFusion(&out, L"<>"));
  EXPECT_STREQ(out.pszGet(), L"one<>two<>");
  // The output may be one of the elements.
  EXPECT_TRUE(a.bFusion(a[1], L"+"));
  EXPECT_EQ(Elements(a), (V{L"one", L"one+two+", L""}));
}

TEST(stringarray, SortAndSortedJoin) {
  CTStringArray a;
  for (const wchar_t* t : {L"b", L"A", L"c", L"", L"a"}) a.Ajoute(t);
  a.TrieCroisssant();
  EXPECT_EQ(Elements(a), (V{L"", L"A", L"a", L"b", L"c"}));
  a.TrieDecroisssant();
  EXPECT_EQ(Elements(a), (V{L"c", L"b", L"a", L"A", L""}));
  a.Supprime(2);
  a.TrieCroisssantI();
  EXPECT_EQ(Elements(a), (V{L"", L"A", L"b", L"c"}));

  CTString out;
  EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&out, L"b,A,c", L","));
  EXPECT_STREQ(out.pszGet(), L"A,b,c");
  EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&out, L"zeta\r\nAlpha\r\nbeta", L"\r\n"));
  EXPECT_STREQ(out.pszGet(), L"Alpha\r\nbeta\r\nzeta");
  out.Set(L"kept");
  EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&out, L"", L","));
  EXPECT_STREQ(out.pszGet(), L"kept");
}

TEST(stringarray, Search) {
  CTStringArray a;
  for (const wchar_t* t : {L"abc", L"", L"ABC", L"\u00e9t\u00e9"}) a.Ajoute(t);
  EXPECT_EQ(a.nRecherche(L"ABC", 0, 0), 0);
  EXPECT_EQ(a.nRecherche(L"ABC", 1, 0), 2);
  EXPECT_EQ(a.nRecherche(L"abc", 1, 1), -1);
  EXPECT_EQ(a.nRecherche(L"abc", 0, 1), 2);
  EXPECT_EQ(a.nRecherche(L"ETE", 0, 0), 3);
  EXPECT_EQ(a.nRecherche(L"ETE", 1, 0), -1);
  EXPECT_EQ(a.nRecherche(nullptr, 1, 0), 1);
  EXPECT_EQ(a.nRecherche(L"abc", 1, a.nGetNbElements()), -1);
  EXPECT_EQ(a.nRecherche(L"abc", 1, 99), -1);
  EXPECT_EQ(a.nRecherche(L"abc", 1, -5), 0);
  CTStringArray empty;
  EXPECT_EQ(empty.nRecherche(L"", 1, 0), -1);
}

// The base array's SetAt and insertion take any index; the string array's
// must not leave an unset pointer behind or free a stranger.
TEST(stringarray, IndicesOutOfRangeDoNothing) {
  CTStringArray a;
  a.Ajoute(L"a");
  a.Ajoute(L"b");
  a.SetAt(L"x", -1);
  a.SetAt(L"x", 2);
  a.Supprime(-1);
  a.Supprime(2);
  EXPECT_EQ(a.Insere(L"x", -1), -1);
  EXPECT_EQ(a.Insere(L"x", 3), -1);
  EXPECT_EQ(Elements(a), (V{L"a", L"b"}));

  EXPECT_EQ(a.Insere(L"end", 2), 2);
  EXPECT_EQ(a.Insere(L"start", 0), 0);
  const CTString mid(L"mid");
  EXPECT_EQ(a.Insere(&mid, 2), 2);
  a.SetAt(L"B", 3);
  a.Supprime(1);
  EXPECT_EQ(Elements(a), (V{L"start", L"mid", L"B", L"end"}));
}

TEST(stringarray, OwnElementsAsSources) {
  CTStringArray a;
  a.Ajoute(L"first");
  a.Ajoute(L"second");
  a.SetAt(a[0], 0);  // replaced by a copy of itself
  a.SetAt(a[1]->pszGet(), 0);
  a.Insere(a[1], 0);
  a.Ajoute(a);  // appends each element once
  EXPECT_EQ(Elements(a), (V{L"second", L"second", L"second", L"second", L"second", L"second"}));
  a.Initialise(a[0]->pszGet(), 2);
  EXPECT_EQ(a.nGetNbElements(), 8);

  CTTableau<CTString*> plain(4);
  CTString held(L"held");
  plain.Ajoute(&held);
  plain.Ajoute(static_cast<CTString*>(nullptr));
  CTStringArray b;
  b.Ajoute(plain);
  EXPECT_EQ(Elements(b), (V{L"held", L""}));
  EXPECT_NE(b[0], &held);  // a copy, owned by b
}

TEST(stringarray, AppendForms) {
  CTStringArray a(1);
  a.Ajoute(static_cast<const wchar_t*>(nullptr));
  a.vAjoute(L"abcdef", 3);
  CTString moved(L"moved");
  EXPECT_EQ(a.AjouteRecupere(&moved), 2);
  EXPECT_STREQ(moved.pszGet(), L"");
  EXPECT_EQ(a.AjoutePrintf(L"%d-%s", 7, L"x"), 3);
  EXPECT_EQ(a.AjouteFormatMessageWin(L"%s=%d", L"n", 42), 4u);
  a.Initialise(L"z", 2);
  a.Initialise(L"never", 0);
  EXPECT_EQ(Elements(a), (V{L"", L"abc", L"moved", L"7-x", L"n=42", L"z", L"z"}));
  a.SupprimeTout();
  EXPECT_EQ(a.nGetNbElements(), 0);
  EXPECT_GT(a.nGetNbAlloues(), 0);  // the storage stays
  a.Ajoute(L"again");
  EXPECT_EQ(Elements(a), (V{L"again"}));
}

// A shortage while adding or replacing answers -1 (or keeps the element)
// instead of throwing into the runtime's code.
TEST(stringarray, ShortageAnswersInsteadOfThrowing) {
  CTStringArray array;
  ASSERT_EQ(array.Ajoute(L"kept"), 0);
  {
    FailingNothrowNew shortage;
    EXPECT_EQ(array.Ajoute(L"lost"), -1);
    EXPECT_EQ(array.Insere(L"lost", 0), -1);
    array.SetAt(L"lost", 0);
    EXPECT_EQ(array.AjoutePrintf(L"%d", 1), -1);
    EXPECT_GE(shortage.nRefused(), 4);
  }
  ASSERT_EQ(array.nGetNbElements(), 1);
  EXPECT_STREQ(array[0]->pszGet(), L"kept");
}


}  // namespace
