#include "CTString.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

std::wstring W(const CTString& s) { return s.pszGet(); }

// A heap copy without terminator, so that reading one unit past `n` is a
// heap overflow the sanitizer reports.
template <typename T>
std::unique_ptr<T[]> Unterminated(const T* text, std::size_t n) {
  std::unique_ptr<T[]> copy(new T[n]);
  std::memcpy(copy.get(), text, n * sizeof(T));
  return copy;
}

TEST(CTString, EmptyFormsAreAlike) {
  const CTString none;
  const CTString fromEmpty(L"");
  const CTString fromNull(static_cast<const wchar_t*>(nullptr));
  CTString allocatedEmpty;
  allocatedEmpty.Set(L"abc", 0UL);
  const CTString* forms[] = {&none, &fromEmpty, &fromNull, &allocatedEmpty};
  for (const CTString* s : forms) {
    ASSERT_NE(s->pszGet(), nullptr);
    EXPECT_STREQ(s->pszGet(), L"");
    EXPECT_EQ(s->nTaille(), 0);
    EXPECT_TRUE(*s == none);
    EXPECT_TRUE(s->bEstEgal(L""));
    EXPECT_FALSE(s->bEstEgal(nullptr));
    EXPECT_EQ(s->nPos(L"a"), -1);
    EXPECT_EQ(s->nRPos(L'a'), -1);
    EXPECT_EQ(s->nNbOcc(L"a"), 0);
    EXPECT_EQ(s->cGetChar(0), 0);
  }
}

TEST(CTString, SetWithCountReadsNoFurtherThanTheCount) {
  struct Case {
    const wchar_t* text;
    unsigned long n;
    const wchar_t* expected;
  } cases[] = {{L"abc", 0, L""}, {L"abc", 10, L"abc"}, {L"abc", 2, L"ab"}, {L"abc", 3, L"abc"}};
  for (const Case& c : cases) {
    CTString s(L"previous");
    s.Set(c.text, c.n);
    EXPECT_EQ(W(s), c.expected) << c.text << " " << c.n;
  }
  // A loader that fills its whole buffer leaves no terminator.
  const auto full = Unterminated(L"xyz", 3);
  CTString s;
  s.Set(full.get(), 3UL);
  EXPECT_EQ(W(s), L"xyz");
  const CTString constructed(full.get(), 3L);
  EXPECT_EQ(W(constructed), L"xyz");
}

TEST(CTString, SetFromBinaryKeepsEmbeddedNuls) {
  CTString s;
  s.SetFromBinary(L"a\0b", 3);
  EXPECT_EQ(s.pszGet()[2], L'b');
  EXPECT_EQ(s.pszGet()[3], 0);
  EXPECT_EQ(s.nTaille(), 1);
  s.SetFromBinary(nullptr, 3);
  EXPECT_EQ(s.nTaille(), 0);
}

TEST(CTString, SetANSIExReadsOnlyTheGivenBytes) {
  struct Case {
    const char* bytes;
    std::size_t size;  // bytes in the heap copy (no terminator)
    int len;
    unsigned codePage;
    const wchar_t* expected;
  } cases[] = {
      {"\xe9t\xe9", 3, 3, 1252, L"\u00e9t\u00e9"},      // unterminated 1252
      {"\xe9t\xe9", 3, 3, 0, L"\u00e9t\u00e9"},         // code page 0 is 1252
      {"h\xc3\xa9", 3, 3, 65001, L"h\u00e9"},           // unterminated UTF-8
      {"h\xc3\xa9", 3, 2, 65001, L"h"},                 // len cuts the sequence
      {"abcdef", 6, 2, 65001, L"ab"},                   // bytes beyond len stay out
      {"ab\0cd", 5, 5, 1252, L"ab"},                    // NUL before len
      {"\xc3\xa9", 2, 1, 65001, L""},                   // nothing whole to decode
  };
  for (const Case& c : cases) {
    const auto copy = Unterminated(c.bytes, c.size);
    CTString s(L"previous");
    s.SetANSIEx(copy.get(), c.len, c.codePage);
    EXPECT_EQ(W(s), c.expected) << c.bytes << " len " << c.len;
  }
  CTString s;
  s.SetANSIEx("caf\xe9", -1, 1252);
  EXPECT_EQ(W(s), L"caf\u00e9");
  EXPECT_EQ(W(CTString("\x80")), L"\u20ac");
  s.SetANSIEx(nullptr, 3, 1252);
  EXPECT_EQ(s.nTaille(), 0);
}

// Temporary names come back as UTF-8 text, with the prefix cut to whole
// characters within the 5 bytes the system keeps.
TEST(CTString, TemporaryNamesDecodeAsUtf8) {
  const char* previous = std::getenv("TMPDIR");
  const std::string saved = previous != nullptr ? previous : "";
  char pattern[] = "/tmp/kx\xc3\xa9XXXXXX";  // a directory with a non-ASCII name
  ASSERT_NE(mkdtemp(pattern), nullptr);
  ASSERT_EQ(setenv("TMPDIR", pattern, 1), 0);
  CTString dir;
  dir.SetANSIEx(pattern, -1, 65001);
  struct Case {
    const wchar_t* prefix;
    const wchar_t* kept;
  } cases[] = {{L"\u00e9", L"\u00e9"}, {L"\u00e9\u00e9\u00e9", L"\u00e9\u00e9"},
               {L"abcdefgh", L"abcde"}, {L"a\u20ac\u00e9", L"a\u20ac"}, {L"", L"file"}};
  for (const Case& c : cases) {
    CTString name;
    name.FichierTemporaire(c.prefix);
    const std::wstring expectedStart = std::wstring(dir.pszGet()) + L"/" + c.kept;
    EXPECT_EQ(W(name).compare(0, expectedStart.size(), expectedStart), 0) << W(name);
    EXPECT_EQ(name.nTaille(), static_cast<long>(expectedStart.size() + 6)) << W(name);
  }
  if (previous != nullptr) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  rmdir(pattern);
}

TEST(CTString, SourcesInsideTheOwnBufferAreCopiedFirst) {
  using Edit = void (*)(CTString&);
  struct Case {
    const char* name;
    Edit edit;
    const wchar_t* expected;
  } cases[] = {
      {"Add self", [](CTString& s) { s.Add(s.pszGet()); }, L"abcdefabcdef"},
      {"Add tail", [](CTString& s) { s.Add(s.pszGet() + 4, 2); }, L"abcdefef"},
      {"Add three", [](CTString& s) { s.Add(s.pszGet(), s.pszGet() + 5, s.pszGet()); },
       L"abcdefabcdeffabcdef"},
      {"Set tail", [](CTString& s) { s.Set(s.pszGet() + 2); }, L"cdef"},
      {"Set count", [](CTString& s) { s.Set(s.pszGet() + 1, 2UL); }, L"bc"},
      {"Set three", [](CTString& s) { s.Set(s.pszGet() + 3, s.pszGet(), s.pszGet()); },
       L"defabcdefabcdef"},
      {"Insert", [](CTString& s) { s.Insert(s.pszGet() + 2, 3, 1); }, L"acdebcdef"},
      {"Insert front", [](CTString& s) { s.Insert(s.pszGet(), -1, 0); }, L"abcdefabcdef"},
      {"Remplace range", [](CTString& s) { s.Remplace(1, 1, s.pszGet()); }, L"aabcdefcdef"},
      {"Remplace all", [](CTString& s) { s.Remplace(L"c", s.pszGet()); }, L"ababcdefdef"},
      {"Ellipse", [](CTString& s) { s.Ellipse(s.pszGet(), 5, ELLIPSIS_FIN); }, L"ab..."},
      {"operator+", [](CTString& s) { s = s + s.pszGet(); }, L"abcdefabcdef"},
  };
  for (const Case& c : cases) {
    CTString s(L"abcdef");
    c.edit(s);
    EXPECT_EQ(W(s), c.expected) << c.name;
  }
  CTString s(L"abc");
  const CTString& same = s;
  s = same;
  EXPECT_EQ(W(s), L"abc");
}

TEST(CTString, PositionsOutsideTheTextDoNothing) {
  CTString s(L"abc");
  EXPECT_EQ(s.cGetChar(-1), 0);
  EXPECT_EQ(s.cGetChar(3), 0);
  EXPECT_EQ(s.cGetChar(100), 0);
  EXPECT_EQ(s.cGetChar(2), L'c');
  s.SetChar(3, L'x');
  s.SetChar(-1, L'x');
  s.SetChar(1, L'B');
  EXPECT_EQ(W(s), L"aBc");
  EXPECT_EQ(s.nPos(L"c", 4), -1);
  EXPECT_EQ(s.nPos(L"c", -1), -1);
  EXPECT_EQ(s.nPos(L'c', 9), -1);
  EXPECT_EQ(s.nPos(L"", 3), 3);
  EXPECT_EQ(s.nUpPos(L"C", -2), -1);

  using Edit = void (*)(CTString&);
  const Edit untouched[] = {
      [](CTString& t) { t.Remplace(4L, 1L, L"x"); },
      [](CTString& t) { t.Remplace(-1L, 1L, L"x"); },
      [](CTString& t) { t.Remplace(0L, -1L, L"x"); },
      [](CTString& t) { t.Remplace(L"a", L"x", 4); },
      [](CTString& t) { t.Remplace(L"a", L"x", -1); },
      [](CTString& t) { t.RemplaceI(L"a", L"x", 99); },
      [](CTString& t) { t.Remplace(L'a', L'x', 4); },
      [](CTString& t) { t.TronqueDebut(4); },
      [](CTString& t) { t.TronqueDebut(-1); },
      [](CTString& t) { t.Tronque(4); },
      [](CTString& t) { t.Tronque(-1); },
      [](CTString& t) { t.Coupe(4, 1); },
      [](CTString& t) { t.Coupe(-1, 1); },
      [](CTString& t) { t.Coupe(1, -1); },
      [](CTString& t) { t.Complete(-1, L'*'); },
      [](CTString& t) { t.Insert(L"x", 1, -1); },
      [](CTString& t) { t.Insert(L"x", -2, 1); },
  };
  for (std::size_t i = 0; i < sizeof untouched / sizeof untouched[0]; ++i) {
    CTString t(L"abc");
    untouched[i](t);
    EXPECT_EQ(W(t), L"abc") << "case " << i;
  }
  EXPECT_EQ(W(s.clMilieu(-1, 2)), L"");
  EXPECT_EQ(W(s.clMilieu(1, -1)), L"");
  EXPECT_EQ(W(s.clMilieu(-1)), L"");
  EXPECT_EQ(W(s.clGauche(-1)), L"");
  EXPECT_EQ(s.nVal(10, -1, 2), 0);
}

TEST(CTString, SearchesAndPieces) {
  const CTString aaa(L"aaa");
  EXPECT_EQ(aaa.nRPos(L"aa"), 1);  // overlapping hits count
  EXPECT_EQ(CTString(L"aaaa").nNbOcc(L"aa"), 2);  // not overlapping
  EXPECT_EQ(aaa.nNbOcc(L""), 0);
  EXPECT_EQ(aaa.nNbOcc(nullptr), 0);
  EXPECT_EQ(aaa.nRPos(L""), -1);

  const CTString s(L"Hello World");
  EXPECT_EQ(s.nPos(L"o"), 4);
  EXPECT_EQ(s.nPos(L"o", 5), 7);
  EXPECT_EQ(s.nPos(L'o', 5), 7);
  EXPECT_EQ(s.nRPos(L'o'), 7);
  EXPECT_EQ(s.nRPos(L"l"), 9);
  EXPECT_EQ(s.nUpPos(L"WORLD"), 6);
  EXPECT_EQ(s.nUpPos(L"hello", 1), -1);
  EXPECT_EQ(s.nUpPos(L"d", 10), 10);
  EXPECT_EQ(s.nUpPos(L"dx", 10), -1);
  EXPECT_EQ(s.nPosParmi(L"xWr"), 6);
  EXPECT_EQ(s.nPosParmi(L"xyz"), -1);

  const CTString abc(L"abc");
  EXPECT_EQ(W(abc.clDroite(5)), L"abc");
  EXPECT_EQ(W(abc.clDroite(2)), L"bc");
  EXPECT_EQ(W(abc.clDroite(0)), L"");
  EXPECT_EQ(W(abc.clMilieu(4, 1)), L"");
  EXPECT_EQ(W(abc.clMilieu(3)), L"");
  EXPECT_EQ(W(abc.clMilieu(1)), L"bc");
  EXPECT_EQ(W(abc.clMilieu(1, 5)), L"bc");
  EXPECT_EQ(W(abc.clGauche(2)), L"ab");
  EXPECT_EQ(W(s.clExclu(L" ")), L"Hello");
  EXPECT_EQ(W(s.clContientUniquement(L"leH")), L"Hell");
  EXPECT_EQ(W(abc + L"de"), L"abcde");

  EXPECT_TRUE(s.bCommencePar(L"Hell"));
  EXPECT_TRUE(s.bCommencePar(L""));
  EXPECT_FALSE(s.bCommencePar(L"Hello World!"));
  EXPECT_TRUE(s.bTerminePar(L"World"));
  EXPECT_FALSE(s.bTerminePar(L"world"));
  EXPECT_TRUE(s.bTermineParI(L"WORLD"));
  EXPECT_TRUE(s.bCommenceParI(L"h\u00c9llo"));
  EXPECT_TRUE(s.bTerminePar(L'd'));
  EXPECT_FALSE(CTString().bTerminePar(L'd'));
}

TEST(CTString, EqualityIgnoringCaseAlsoIgnoresAccents) {
  const CTString s(L"\u00c9t\u00e9");
  EXPECT_TRUE(s.bEstEgalI(L"ete"));
  EXPECT_TRUE(s.bEstEgalI(CTString(L"ETE")));
  EXPECT_FALSE(s.bEstEgal(L"ete"));
  EXPECT_FALSE(s.bEstEgalI(L"etes"));
  EXPECT_FALSE(s.bEstEgalI(L""));
  EXPECT_TRUE(CTString().bEstEgalI(L""));
  EXPECT_FALSE(CTString().bEstEgalI(L"a"));
}

TEST(CTString, ValueOfDigitsWrapsWithoutOverflow) {
  EXPECT_EQ(CTString(L"1fz").nVal(16, 0, -1), 31);
  EXPECT_EQ(CTString(L"G1").nVal(16, 0, -1), 0);
  EXPECT_EQ(CTString(L"x1234y").nVal(10, 1, 3), 123);
  EXPECT_EQ(CTString(L"777").nVal(8), 511);
  EXPECT_EQ(CTString(L"-5").nVal(), 0);
  // 2^64 + 1 in hexadecimal: wraps to 1 (no signed overflow on the way).
  EXPECT_EQ(CTString(L"10000000000000001").nVal(16), 1);
  EXPECT_EQ(CTString(L"FFFFFFFFFFFFFFFF").nVal(16), -1);
}

TEST(CTString, NumbersAndCharacters) {
  CTString s;
  s.SetI4(-2147483647 - 1);
  EXPECT_EQ(W(s), L"-2147483648");
  s.SetI8(-9223372036854775807L - 1);
  EXPECT_EQ(W(s), L"-9223372036854775808");
  s.Set(L'x');
  s.AddI4(-12);
  s.AddI8(34);
  EXPECT_EQ(W(s), L"x-1234");
  s.Set(L'\0');
  EXPECT_EQ(s.nTaille(), 0);
  s.Add(L'b');
  s.Insert(L'a');
  s.Add(L'c');
  EXPECT_EQ(W(s), L"abc");
  const wchar_t withNul[] = {L'd', L'e', 0};
  s.Add(withNul, 3);
  EXPECT_EQ(W(s), L"abcde");
  s.Add(L"fgh", 1);
  s.Add(L"xyz", 0);
  s.Add(nullptr, 2);
  EXPECT_EQ(W(s), L"abcdef");
  s.Insert(L"123", 2, 3);
  s.Insert(L"9", -1, 100);
  EXPECT_EQ(W(s), L"abc12def9");
  CTString empty;
  empty.Insert(L"xyz", 2, 5);
  EXPECT_EQ(W(empty), L"xy");
}

TEST(CTString, InPlaceEdits) {
  struct Case {
    const wchar_t* start;
    void (*edit)(CTString&);
    const wchar_t* expected;
  } cases[] = {
      {L"ab", [](CTString& s) { s.Complete(5, L'*'); }, L"ab***"},
      {L"ab", [](CTString& s) { s.Complete(1, L'*'); }, L"a"},
      {L"ab", [](CTString& s) { s.Complete(0, L'*'); }, L""},
      {L"abcdef", [](CTString& s) { s.Coupe(2, 2); }, L"abef"},
      {L"abcdef", [](CTString& s) { s.Coupe(4, 10); }, L"abcd"},
      {L"abcdef", [](CTString& s) { s.Tronque(2); }, L"ab"},
      {L"abcdef", [](CTString& s) { s.TronqueDebut(2); }, L"cdef"},
      {L"abcdef", [](CTString& s) { s.TronqueDebut(6); }, L""},
      {L"abcdef", [](CTString& s) { s.Remplace(1L, 2L, L"XYZ"); }, L"aXYZdef"},
      {L"abcdef", [](CTString& s) { s.Remplace(4L, 10L, L"!"); }, L"abcd!"},
      {L"abcdef", [](CTString& s) { s.Remplace(0L, 6L, nullptr); }, L""},
      {L"abcdef", [](CTString& s) { s.Renverse(); }, L"fedcba"},
      {L"a b c", [](CTString& s) { s.Insecable(); }, L"a\u00a0b\u00a0c"},
      {L"  a b  ", [](CTString& s) { s.SansEspace(); }, L"  a b"},
      {L" \ta b\n ", [](CTString& s) { s.Trim(); }, L"a b"},
      {L"xxaxx", [](CTString& s) { s.Trim(L'x'); }, L"a"},
      {L"xxaxx", [](CTString& s) { s.RTrim(L'x'); }, L"xxa"},
      {L"xxaxx", [](CTString& s) { s.LTrim(L'x'); }, L"axx"},
      {L"abca", [](CTString& s) { s.Remplace(L'a', L'z', 1); }, L"abcz"},
      {L"\u00e9t\u00e9 Ab", [](CTString& s) { s.Majuscule(); }, L"\u00c9T\u00c9 AB"},
      {L"\u00c9T\u00c9 Ab", [](CTString& s) { s.Minuscule(); }, L"\u00e9t\u00e9 ab"},
      {L"\u00c9t\u00e9", [](CTString& s) { s.SansAccent(); }, L"Ete"},
      {L"\u00e9t\u00e9 a", [](CTString& s) { s.MapStringEx(0x3); }, L"ETE A"},
      {L"x", [](CTString& s) { s.SetStandard(L"\u00e9t\u00e9"); }, L"ETE"},
      {L"\u00e9t\u00e9", [](CTString& s) { s.SetStandard(s.pszGet()); }, L"ETE"},
      {L"x", [](CTString& s) { s.SetStandard(L""); }, L""},
  };
  for (const Case& c : cases) {
    CTString s(c.start);
    c.edit(s);
    EXPECT_EQ(W(s), c.expected) << c.start;
  }
}

TEST(CTString, BuffersMoveBetweenStrings) {
  CTString a(L"abc");
  CTString b(L"xyz");
  b.Transfert(a);
  EXPECT_EQ(W(b), L"abc");
  EXPECT_EQ(a.nTaille(), 0);
  b.Transfert(b);
  EXPECT_EQ(W(b), L"abc");
  auto* own = static_cast<wchar_t*>(std::malloc(3 * sizeof(wchar_t)));
  own[0] = L'h';
  own[1] = L'i';
  own[2] = 0;
  b.SetBuffer(own);
  EXPECT_EQ(b.pszGet(), own);
  const CTString copy(b);
  EXPECT_EQ(W(copy), L"hi");
  EXPECT_NE(copy.pszGet(), own);
  b.Vide();
  EXPECT_EQ(b.nTaille(), 0);
}

TEST(CTString, ReplaceAllNeverSearchesInsertedText) {
  struct Case {
    const wchar_t* text;
    const wchar_t* find;
    const wchar_t* repl;
    long from;
    bool ignoreCase;
    const wchar_t* expected;
  } cases[] = {
      {L"abab", L"ab", L"x", 0, false, L"xx"},
      {L"aa", L"a", L"aa", 0, false, L"aaaa"},
      {L"aaa", L"aa", L"b", 0, false, L"ba"},
      {L"abab", L"ab", L"x", 1, false, L"abx"},
      {L"abab", L"ab", L"x", 4, false, L"abab"},
      {L"abab", L"ab", nullptr, 0, false, L""},
      {L"abab", L"", L"x", 0, false, L"abab"},
      {L"abab", L"zz", L"x", 0, false, L"abab"},
      {L"aBAb", L"ab", L"-", 0, true, L"--"},
      {L"aBAb", L"ab", L"-", 0, false, L"aBAb"},
      {L"x\u00c9x", L"\u00e9", L"e", 0, true, L"xex"},
  };
  for (const Case& c : cases) {
    CTString s(c.text);
    if (c.ignoreCase) {
      s.RemplaceI(c.find, c.repl, c.from);
    } else {
      s.Remplace(c.find, c.repl, c.from);
    }
    EXPECT_EQ(W(s), c.expected) << c.text << " " << c.find;
  }
  CTString empty;
  empty.Remplace(L"a", L"b");
  EXPECT_EQ(empty.nTaille(), 0);
}

TEST(CTString, ReplaceAllAcrossTheStackBufferLimit) {
  // Final lengths on both sides of the 1024-character work buffer limit,
  // reached by growing and by shrinking.
  for (std::size_t final : {1023u, 1024u, 1025u, 1026u}) {
    const std::wstring head(1000, L'x');
    const std::wstring grown = head + std::wstring(final - head.size(), L'y');
    CTString up((head + L"#").c_str());
    up.Remplace(L"#", std::wstring(final - head.size(), L'y').c_str());
    EXPECT_EQ(W(up), grown) << final;

    const std::wstring longText = std::wstring(final, L'z') + L"####";
    CTString down(longText.c_str());
    down.Remplace(L"####", L"");
    EXPECT_EQ(W(down), std::wstring(final, L'z')) << final;

    std::wstring many;
    for (std::size_t i = 0; i < final / 2; ++i) many += L"ab";
    if (final % 2 != 0) many += L"a";
    CTString each(many.c_str());
    each.Remplace(L"b", L"c");
    std::wstring expected = many;
    for (wchar_t& c : expected) {
      if (c == L'b') c = L'c';
    }
    EXPECT_EQ(W(each), expected) << final;
  }
}

TEST(CTString, EllipseKeepsAtMostMaxCharacters) {
  const wchar_t* text = L"abcdefghij";
  struct Case {
    unsigned long max;
    int where;
    const wchar_t* expected;
  } cases[] = {
      {7, ELLIPSIS_FIN, L"abcd..."},   {7, ELLIPSIS_MILIEU, L"ab...ij"},
      {7, ELLIPSIS_DEBUT, L"...ghij"}, {8, ELLIPSIS_MILIEU, L"ab...hij"},
      {3, ELLIPSIS_FIN, L"..."},       {3, ELLIPSIS_MILIEU, L"..."},
      {3, ELLIPSIS_DEBUT, L"..."},     {2, ELLIPSIS_FIN, L""},
      {1, ELLIPSIS_MILIEU, L""},       {0, ELLIPSIS_DEBUT, L""},
      {10, ELLIPSIS_FIN, text},        {11, ELLIPSIS_MILIEU, text},
      {10, 7, text},                   {7, 7, L""},
  };
  for (const Case& c : cases) {
    CTString s(L"previous");
    s.Ellipse(text, c.max, static_cast<eELLIPSISPOSITION>(c.where));
    EXPECT_EQ(W(s), c.expected) << c.max << " at " << c.where;
    EXPECT_LE(s.nTaille(), static_cast<long>(std::max(c.max, 10UL)));
  }
  // A short text stays whole even when max is below 3.
  CTString s;
  s.Ellipse(L"ab", 2, ELLIPSIS_FIN);
  EXPECT_EQ(W(s), L"ab");
  s.Ellipse(L"", 5, ELLIPSIS_FIN);
  EXPECT_EQ(s.nTaille(), 0);
}

TEST(CTString, Fields) {
  const CTString ab(L"a;b");
  CTString out(L"unchanged");
  EXPECT_FALSE(ab.bExtraitChaine(2UL, L';', &out));
  EXPECT_EQ(W(out), L"unchanged");
  EXPECT_TRUE(ab.bExtraitChaine(1UL, L';', &out));
  EXPECT_EQ(W(out), L"b");
  EXPECT_TRUE(CTString(L"abc").bExtraitChaine(0UL, L';', &out));
  EXPECT_EQ(W(out), L"abc");
  EXPECT_FALSE(CTString().bExtraitChaine(0UL, L';', &out));

  const CTString multi(L"one<>two<><>four");
  struct Case {
    long i;
    bool found;
    const wchar_t* field;
    int pos;
  } cases[] = {{-3, true, L"one", 0}, {0, true, L"one", 0}, {1, true, L"two", 5},
               {2, true, L"", 10},    {3, true, L"four", 12}, {4, false, nullptr, 0}};
  for (const Case& c : cases) {
    CTString field(L"unchanged");
    EXPECT_EQ(multi.bExtraitChaine(c.i, L"<>", &field), c.found) << c.i;
    int pos = -1;
    long len = -1;
    EXPECT_EQ(multi.bExtraitPosTailleChaine(c.i, L"<>", &pos, &len), c.found) << c.i;
    if (c.found) {
      EXPECT_EQ(W(field), c.field) << c.i;
      EXPECT_EQ(pos, c.pos) << c.i;
      EXPECT_EQ(len, static_cast<long>(std::wcslen(c.field))) << c.i;
    } else {
      EXPECT_EQ(W(field), L"unchanged");
    }
  }
  // The string itself may receive one of its fields.
  CTString self(L"x,yy,z");
  EXPECT_TRUE(self.bExtraitChaine(1UL, L',', &self));
  EXPECT_EQ(W(self), L"yy");

  CTString edit(L"a;b;");
  EXPECT_TRUE(edit.bExtraitEtRemplaceChaine(1, L";", L"BB"));
  EXPECT_TRUE(edit.bExtraitEtRemplaceChaine(2, L";", L"end"));
  EXPECT_FALSE(edit.bExtraitEtRemplaceChaine(5, L";", L"x"));
  EXPECT_EQ(W(edit), L"a;BB;end");
  EXPECT_FALSE(CTString().bExtraitEtRemplaceChaine(0, L";", L"x"));
}

TEST(CTString, Tokens) {
  const CTString s(L";;a;;b");
  CTString out(L"unchanged");
  EXPECT_TRUE(s.bExtraitChaineTok(1, L";", &out));
  EXPECT_EQ(W(out), L"b");
  EXPECT_TRUE(s.bExtraitChaineTok(0, L";", &out));
  EXPECT_EQ(W(out), L"a");
  out = L"unchanged";
  EXPECT_FALSE(s.bExtraitChaineTok(2, L";", &out));
  EXPECT_EQ(W(out), L"unchanged");
  EXPECT_TRUE(s.bExtraitChaineTok(-1, L";", &out));
  EXPECT_EQ(out.nTaille(), 0);
  EXPECT_FALSE(CTString(L";;;").bExtraitChaineTok(0, L";", &out));
}

TEST(CTString, VisitsEveryFieldUntilTold) {
  struct Collect : IVisiteurPourTouteChaine {
    std::vector<std::pair<long, std::wstring>> seen;
    long stopAt = -1;
    bool bVisite(long index, const wchar_t* start, long length) override {
      seen.emplace_back(index, std::wstring(start, static_cast<std::size_t>(length)));
      return index != stopAt;
    }
  };
  using Seen = std::vector<std::pair<long, std::wstring>>;
  Collect all;
  CTString(L"a, b, , c, ").PourTouteChaineSepareePar(L", ", &all);
  EXPECT_EQ(all.seen, (Seen{{0, L"a"}, {1, L"b"}, {2, L""}, {3, L"c"}, {4, L""}}));
  Collect stop;
  stop.stopAt = 1;
  CTString(L"a;b;c").PourTouteChaineSepareePar(L";", &stop);
  EXPECT_EQ(stop.seen, (Seen{{0, L"a"}, {1, L"b"}}));
  Collect whole;
  CTString(L"abc").PourTouteChaineSepareePar(L";", &whole);
  EXPECT_EQ(whole.seen, (Seen{{0, L"abc"}}));
  Collect none;
  CTString().PourTouteChaineSepareePar(L";", &none);
  EXPECT_TRUE(none.seen.empty());
}

TEST(CTString, SplitAtACharacter) {
  const wchar_t* text = L"dir/sub/file";
  struct Case {
    const wchar_t* (CTString::*op)(const wchar_t*, wchar_t);
    wchar_t c;
    const wchar_t* string;
    const wchar_t* result;  // expected text at the result, null for none
  } cases[] = {
      {&CTString::pszSetDebutPremier, L'/', L"dir", L"sub/file"},
      {&CTString::pszSetDebutDernier, L'/', L"dir/sub", L"file"},
      {&CTString::pszSetFinPremier, L'/', L"sub/file", L"sub/file"},
      {&CTString::pszSetFinDernier, L'/', L"file", L"file"},
      {&CTString::pszSetDebutPremier, L'#', text, nullptr},
      {&CTString::pszSetFinDernier, L'#', text, nullptr},
      {&CTString::pszSetDebutPremierExistant, L'#', L"", text},
      {&CTString::pszSetDebutDernierExistant, L'#', L"", text},
      {&CTString::pszSetFinPremierExistant, L'#', L"", text},
      {&CTString::pszSetFinDernierExistant, L'#', L"", text},
      {&CTString::pszSetFinDernierExistant, L'/', L"file", L"file"},
  };
  for (const Case& c : cases) {
    CTString s(L"previous");
    const wchar_t* result = (s.*c.op)(text, c.c);
    EXPECT_EQ(W(s), c.string);
    if (c.result == nullptr) {
      EXPECT_EQ(result, nullptr);
    } else {
      ASSERT_NE(result, nullptr);
      EXPECT_STREQ(result, c.result);
      EXPECT_TRUE(result >= text && result <= text + std::wcslen(text));
    }
  }
}

}  // namespace
