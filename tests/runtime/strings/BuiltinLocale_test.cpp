// The built-in locale, in a program that links only the runtime foundation and
// has no locale handed over: folding, punctuation removal, comparisons, order
// and sort keys.
#include "BuiltinLocale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "CInformationDLL.h"
#include "Latin1Tables.h"

namespace {

constexpr unsigned int kDictionary = 0x20000000;
// Flags and language identifiers the locale must not react to.
constexpr unsigned int kIgnoredFlags = 0x800 | 0x10000000 | 0x40000000 | 0x80000000;
constexpr unsigned int kaLCIDs[] = {0x40C, 0x400, 0x409, 0x41F, 0};

class BuiltinLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationDLL::ms_piInfoLocale;
    CInformationDLL::ms_piInfoLocale = nullptr;
    m_pi = STR_pGetBuiltinLocale();
    ASSERT_NE(m_pi, nullptr);
  }
  void TearDown() override { CInformationDLL::ms_piInfoLocale = m_piSaved; }

  std::wstring MapW(unsigned int nFlags, const std::wstring& s, unsigned int nLCID = 0x40C) {
    const int n = m_pi->vnMapW(nLCID, nFlags, nullptr, 0, s.data(), static_cast<int>(s.size()));
    std::wstring out(static_cast<size_t>(n), L'#');
    EXPECT_EQ(m_pi->vnMapW(nLCID, nFlags, out.data(), n, s.data(), static_cast<int>(s.size())), n);
    return out;
  }
  std::string MapA(unsigned int nFlags, const std::string& s, unsigned int nLCID = 0x40C) {
    const int n = m_pi->vnMapA(nLCID, nFlags, nullptr, 0, s.data(), static_cast<int>(s.size()));
    std::string out(static_cast<size_t>(n), '#');
    EXPECT_EQ(m_pi->vnMapA(nLCID, nFlags, out.data(), n, s.data(), static_cast<int>(s.size())), n);
    return out;
  }
  int CompareW(unsigned int nFlags, const std::wstring& a, const std::wstring& b) {
    return m_pi->vnCompareW(0x400, nFlags, a.data(), static_cast<int>(a.size()), b.data(),
                            static_cast<int>(b.size()));
  }
  int CompareA(unsigned int nFlags, const std::string& a, const std::string& b) {
    return m_pi->vnCompareA(0x40C, nFlags, a.data(), static_cast<int>(a.size()), b.data(),
                            static_cast<int>(b.size()));
  }

  IInfoLocale* m_pi = nullptr;
  IInfoLocale* m_piSaved = nullptr;
};

// Code page 1252 back to wide text, written out here so that the test does
// not lean on the conversions under test elsewhere.
std::wstring FromCp1252(const std::string& s) {
  static const wchar_t awHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::wstring w;
  for (char c : s) {
    const unsigned char b = static_cast<unsigned char>(c);
    w.push_back(b >= 0x80 && b < 0xA0 ? awHigh[b - 0x80] : static_cast<wchar_t>(b));
  }
  return w;
}

std::string AllBytes() {
  std::string s(256, '\0');
  for (int i = 0; i < 256; ++i) s[static_cast<size_t>(i)] = static_cast<char>(i);
  return s;
}

TEST_F(BuiltinLocaleTest, Flags3OnEveryCp1252ByteIsTheNoAccentUpperTable) {
  const std::string all = AllBytes();
  for (unsigned int nLCID : kaLCIDs) {
    for (unsigned int nExtra : {0u, kIgnoredFlags}) {
      SCOPED_TRACE(testing::Message() << "LCID " << nLCID << " extra flags " << nExtra);
      const std::string mapped = MapA(3 | nExtra, all, nLCID);
      ASSERT_EQ(mapped.size(), 256u);
      for (int b = 0; b < 256; ++b)
        EXPECT_EQ(static_cast<unsigned char>(mapped[static_cast<size_t>(b)]),
                  pToNoAccentUpper_Latin1[b])
            << "byte " << b;
      // The wide form of the same characters agrees with the 8-bit form.
      EXPECT_EQ(MapW(3 | nExtra, FromCp1252(all), nLCID), FromCp1252(mapped));
    }
  }
}

TEST_F(BuiltinLocaleTest, ConnexionIsOneWordUnderCaseAndAccentFolding) {
  const std::wstring aw[] = {L"Connexion", L"CONNEXION", L"connéxion"};
  const std::string aa[] = {"Connexion", "CONNEXION", "conn\xE9xion"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(MapW(3, aw[i]), L"CONNEXION");
    EXPECT_EQ(MapA(3, aa[i]), "CONNEXION");
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(CompareW(3, aw[i], aw[j]), 0) << i << "," << j;
      EXPECT_EQ(CompareA(3, aa[i], aa[j]), 0) << i << "," << j;
    }
  }
  // Each flag does only its own part.
  EXPECT_NE(CompareW(1, L"connéxion", L"CONNEXION"), 0);
  EXPECT_NE(CompareW(2, L"connéxion", L"CONNEXION"), 0);
  EXPECT_EQ(CompareW(2, L"connéxion", L"connexion"), 0);
  EXPECT_NE(CompareW(0, L"Connexion", L"CONNEXION"), 0);
}

// Latin Extended-A, written out by hand from the characters themselves.
TEST_F(BuiltinLocaleTest, FoldsLatinExtendedAOneCharacterToOne) {
  const std::wstring ext =
      L"ĀāĂăĄąĆćĈĉĊċČčĎďĐđĒēĔĕĖėĘęĚěĜĝĞğĠġĢģĤĥĦħĨĩĪīĬĭĮįİıĲĳĴĵĶķĸĹĺĻļĽľĿŀŁłŃńŅņŇňŉŊŋ"
      L"ŌōŎŏŐőŒœŔŕŖŗŘřŚśŜŝŞşŠšŢţŤťŦŧŨũŪūŬŭŮůŰűŲųŴŵŶŷŸŹźŻżŽžſ";
  ASSERT_EQ(ext.size(), 128u);
  EXPECT_EQ(MapW(2, ext),
            L"AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIıĲĳJjKkĸLlLlLlLlLlNnNnNnŉŊŋ"
            L"OoOoOoŒœRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzſ");
  EXPECT_EQ(MapW(3, ext),
            L"AAAAAACCCCCCCCDDDDEEEEEEEEEEGGGGGGGGHHHHIIIIIIIIIIĲĲJJKKĸLLLLLLLLLLNNNNNNŉŊŊ"
            L"OOOOOOŒŒRRRRRRSSSSSSSSTTTTTTUUUUUUUUUUUUWWYYYZZZZZZS");
  EXPECT_EQ(MapW(1, L"àéîõüÿœšžæðþßµıſ"), L"ÀÉÎÕÜŸŒŠŽÆÐÞßµIS");
  EXPECT_EQ(MapW(0x100, L"ÀÉÎÕÜŸŒŠŽÆÐÞİ×"), L"àéîõüÿœšžæðþi×");
  EXPECT_EQ(MapW(0x102, L"ÀÉØŁĐ"), L"aeold");
  EXPECT_EQ(MapW(0x101, L"abc"), L"ABC");  // upper case wins over lower case
}

// Every character up to U+017F (and beyond, untouched) maps to exactly one;
// case pairs go back and forth, except where a small letter's capital is
// shared ('ı' and 'ſ') or a capital's small letter is ('İ').
TEST_F(BuiltinLocaleTest, CaseFoldingIsOneToOneAndPairsRoundTrip) {
  for (wchar_t c = 0; c < 0x400; ++c) {
    for (unsigned int nFlags : {1u, 2u, 3u, 0x100u, 0x102u}) {
      wchar_t out[2] = {L'#', L'#'};
      ASSERT_EQ(m_pi->vnMapW(0x40C, nFlags, out, 2, &c, 1), 1) << std::hex << c;
      if (c > 0x17F) {
        EXPECT_EQ(out[0], c) << std::hex << c << " flags " << nFlags;
      }
      EXPECT_EQ(out[1], L'#');
    }
    const std::wstring s(1, c);
    const std::wstring up = MapW(1, s);
    const std::wstring low = MapW(0x100, s);
    if (up != s && c != L'ı' && c != L'ſ') {
      EXPECT_EQ(MapW(0x100, up), s) << std::hex << c;
    }
    if (low != s && c != L'İ') {
      EXPECT_EQ(MapW(1, low), s) << std::hex << c;
    }
  }
}

// What the C library's locale says about case and punctuation must not
// matter: the installer switches LC_CTYPE.
TEST_F(BuiltinLocaleTest, AnswersDoNotDependOnTheCLocale) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  std::vector<std::wstring> aResults;
  for (const char* pszLocale : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_CTYPE, pszLocale) == nullptr) {
      ADD_FAILURE() << "no locale " << pszLocale;
      continue;
    }
    aResults.push_back(MapW(1, L"éœı") + L"|" + MapW(4, L"a¿b«c»d") + L"|" +
                       MapW(0x100, L"ÉŒ"));
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  ASSERT_FALSE(aResults.empty());
  for (const std::wstring& s : aResults) EXPECT_EQ(s, L"ÉŒI|abcd|éœ");
}

TEST_F(BuiltinLocaleTest, Flag4DropsWhiteSpacePunctuationAndSymbols) {
  EXPECT_EQ(MapW(4, L" a\tb\u00A0c-d.e!f'g\u20ACh\u2019i\u2003j_k~l¿m×n÷o\u00ADp"),
            L"abcdefghijklmnop");
  // Letters, digits and control characters stay.
  EXPECT_EQ(MapW(4, L"0²¼ªµº\x01Zß"), L"0²¼ªµº\x01Zß");
  EXPECT_EQ(MapW(5, L"l’été, déjà!"), L"LÉTÉDÉJÀ");
  EXPECT_EQ(MapW(7, L"l’été, déjà!"), L"LETEDEJA");
  // 8-bit: no-break space, right quote, euro, trademark, en dash, bullet.
  EXPECT_EQ(MapA(4, "a\xA0" "b\x92" "c\x80" "d\x99" "e\x96" "f\x95" "g h"), "abcdefgh");
  EXPECT_EQ(MapA(4, "\x8A\x9C\x83\xDF"), "\x8A\x9C\x83\xDF");  // letters of 0x80..0xFF
  // A text made only of punctuation maps to nothing and equals the empty text.
  EXPECT_EQ(MapW(4, L" ,.;!? "), L"");
  EXPECT_EQ(CompareW(4, L" ,.;!? ", L""), 0);
  EXPECT_EQ(CompareA(4, "a b", "ab"), 0);
}

// Destination sizes, length queries, NUL handling, and maps in place.
TEST_F(BuiltinLocaleTest, MapWritesWithinTheDestinationAndWorksInPlace) {
  const wchar_t* psz = L"a-b-c";
  EXPECT_EQ(m_pi->vnMapW(0x40C, 4, nullptr, 0, psz, -1), 3);
  wchar_t aw[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
  EXPECT_EQ(m_pi->vnMapW(0x40C, 4, aw, 0, psz, -1), 3);  // size 0: a query, nothing written
  EXPECT_EQ(aw[0], L'#');
  EXPECT_EQ(m_pi->vnMapW(0x40C, 5, aw, 2, psz, -1), 2);
  EXPECT_EQ(std::wstring(aw, 3), L"AB#");
  EXPECT_EQ(m_pi->vnMapW(0x40C, 1, aw, 6, psz, -1), 5);  // no terminator written
  EXPECT_EQ(std::wstring(aw, 6), L"A-B-C#");
  const wchar_t awNul[] = {L'x', 0, L'y'};  // an explicit length passes a NUL
  EXPECT_EQ(m_pi->vnMapW(0x40C, 1, aw, 6, awNul, 3), 3);
  EXPECT_EQ(std::wstring(aw, 3), std::wstring(L"X\0Y", 3));
  EXPECT_EQ(m_pi->vnMapW(0x40C, 1, aw, 6, nullptr, 4), 0);  // null text: empty
  char ac[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(m_pi->vnMapA(0x40C, 3, ac, 3, "\xE9t\xE9!", -1), 3);
  EXPECT_EQ(std::string(ac, 4), "ETE#");

  // In place, for every flag combination, equals the mapping into another
  // buffer; with flag 4 the text shrinks under its own reading position.
  const std::string all = AllBytes();
  const std::wstring wide = FromCp1252(all) + L"ĀĳŁŉŸž  l’île!";
  for (unsigned int nFlags = 0; nFlags < 8; ++nFlags) {
    for (unsigned int nCase : {0u, 0x100u}) {
      const unsigned int f = nFlags | nCase;
      std::string a = all;
      const int nA = m_pi->vnMapA(0x40C, f, a.data(), 256, a.data(), 256);
      EXPECT_EQ(a.substr(0, static_cast<size_t>(nA)), MapA(f, all)) << f;
      std::wstring w = wide;
      const int nW = m_pi->vnMapW(0x40C, f, w.data(), static_cast<int>(w.size()), w.data(),
                                  static_cast<int>(w.size()));
      EXPECT_EQ(w.substr(0, static_cast<size_t>(nW)), MapW(f, wide)) << f;
      // 8-bit maps stay within code page 1252 and agree with the wide form.
      EXPECT_EQ(FromCp1252(a.substr(0, static_cast<size_t>(nA))), MapW(f, FromCp1252(all))) << f;
    }
  }
}

// Texts that differ by case, accents, white space, punctuation, length,
// ligatures, and characters outside code page 1252.
const std::vector<std::wstring>& Texts() {
  static const std::vector<std::wstring> a = {
      L"",      L"a",      L"A",       L"à",     L"À",      L"b",      L"ab",    L"a b",
      L"a\u00A0b", L"a-b", L"a.b!",    L"côte",  L"cote",   L"Côté",   L"coté",  L"cotes",
      L"cotf",  L"Œuvre",  L"œuvre",   L"oeuvre", L"straße", L"STRASSE", L"ÿ",    L"Ÿ",
      L"y",     L"ı",      L"i",       L"I",     L"İ",      L"€5",     L"5",     L"‘a’",
      L"Zèbre", L"zebre",  L"\u4E2D",  L"z",     L"ŁÓDŹ",   L"lodz"};
  return a;
}

const unsigned int kaCompareFlags[] = {0,     1,     2,     3,     4,          5,
                                       7,     0x100, 0x102, 0x106, kDictionary, kDictionary | 3,
                                       kDictionary | 7, kDictionary | 0x100, 3 | kIgnoredFlags};

TEST_F(BuiltinLocaleTest, CompareIsZeroExactlyWhenTheMapsAreEqual) {
  for (unsigned int f : kaCompareFlags) {
    for (const std::wstring& a : Texts()) {
      for (const std::wstring& b : Texts()) {
        const int n = CompareW(f, a, b);
        ASSERT_TRUE(n == -1 || n == 0 || n == 1) << n;
        EXPECT_EQ(n == 0, MapW(f, a) == MapW(f, b))
            << "flags " << std::hex << f << " texts " << a.size() << "," << b.size();
        EXPECT_EQ(CompareW(f, b, a), -n);
        // The current-locale slot and every language identifier agree.
        EXPECT_EQ(m_pi->vnCompareCurrentW(f, a.c_str(), -1, b.c_str(), -1), n);
        EXPECT_EQ(m_pi->vnCompareW(0x41F, f, a.c_str(), -1, b.c_str(), -1), n);
      }
    }
  }
}

// Both orders are total orders: consistent over every triple of texts.
TEST_F(BuiltinLocaleTest, OrdersAreTransitive) {
  const auto& a = Texts();
  for (unsigned int f : {0u, 3u, kDictionary, kDictionary | 3u}) {
    for (const auto& x : a)
      for (const auto& y : a)
        for (const auto& z : a)
          if (CompareW(f, x, y) <= 0 && CompareW(f, y, z) <= 0) {
            ASSERT_LE(CompareW(f, x, z), 0) << "flags " << f;
          }
  }
}

TEST_F(BuiltinLocaleTest, OrdinalAndDictionaryOrders) {
  struct Row {
    const wchar_t* a;
    const wchar_t* b;
    int nOrdinal;
    int nDictionary;
  };
  const Row aRows[] = {
      {L"B", L"a", -1, 1},         // capitals first by code point; letters first in a dictionary
      {L"a", L"A", 1, -1},         // lower case first in a dictionary
      {L"é", L"f", 1, -1},         // an accented letter sorts with its letter
      {L"côte", L"cotf", 1, -1},   // letters decide before accents
      {L"cote", L"côte", -1, -1},  // then accents
      {L"côte", L"coté", 1, 1},
      {L"Zèbre", L"zebre", -1, 1},  // accents decide before case
      {L"ab", L"abc", -1, -1},      // a text that ends first sorts first
      {L"€", L"ÿ", 1, 1},           // code points, not code page 1252 positions
      {L"\u4E2D", L"z", 1, 1},
  };
  for (const Row& r : aRows) {
    SCOPED_TRACE(testing::Message() << r.a << " / " << r.b);
    EXPECT_EQ(CompareW(0, r.a, r.b), r.nOrdinal);
    EXPECT_EQ(CompareW(kDictionary, r.a, r.b), r.nDictionary);
  }
  // 8-bit text orders as its wide characters do.
  EXPECT_EQ(CompareA(0, "\x80", "\xFF"), 1);
  EXPECT_EQ(CompareA(kDictionary, "c\xF4te", "cotf"), -1);
  EXPECT_EQ(CompareA(0, "c\xF4te", "cotf"), 1);
  EXPECT_EQ(CompareA(kDictionary, "a", "A"), -1);
  // Lengths of -1 read up to the NUL; a null text is empty.
  EXPECT_EQ(m_pi->vnCompareA(0x40C, 0, "abc", -1, "abcd", 3), 0);
  EXPECT_EQ(m_pi->vnCompareW(0x40C, 0, nullptr, -1, L"", -1), 0);
  EXPECT_EQ(m_pi->vnCompareW(0x40C, 0, nullptr, 3, L"a", -1), -1);
}

// The 8-bit comparison is the wide comparison of the same characters.
TEST_F(BuiltinLocaleTest, EightBitComparisonAgreesWithWide) {
  const std::vector<std::string> a = {"",        "a",       "A",          "\xE0",   "\xC0",
                                      "a b",     "a\xA0" "b", "c\xF4te",  "cote",   "\x8C" "uvre",
                                      "\x9C" "uvre", "\xFF", "\x9F",      "\x80" "5", "\x81"};
  for (unsigned int f : kaCompareFlags)
    for (const auto& x : a)
      for (const auto& y : a)
        EXPECT_EQ(CompareA(f, x, y), CompareW(f, FromCp1252(x), FromCp1252(y)))
            << "flags " << std::hex << f;
}

TEST_F(BuiltinLocaleTest, SortKeyIsOneDistinctByteEachAndWorksInPlace) {
  const std::string all = AllBytes();
  unsigned char ab[257];
  ab[256] = 0xEE;
  EXPECT_EQ(m_pi->vnSortKeyA(0x40C, nullptr, 0, all.data(), 256), 256);
  ASSERT_EQ(m_pi->vnSortKeyA(0x40C, ab, 256, all.data(), 256), 256);
  EXPECT_EQ(ab[256], 0xEE);
  EXPECT_EQ(ab[0], 0);  // NUL keeps the lowest weight
  std::vector<bool> aSeen(256, false);
  for (int i = 0; i < 256; ++i) {
    EXPECT_FALSE(aSeen[ab[i]]) << "weight " << int(ab[i]) << " given twice";
    aSeen[ab[i]] = true;
  }
  // In place gives the same key; every language identifier too.
  for (unsigned int nLCID : kaLCIDs) {
    std::string s = all;
    ASSERT_EQ(m_pi->vnSortKeyA(nLCID, reinterpret_cast<unsigned char*>(s.data()), 256, s.data(),
                               256),
              256);
    EXPECT_EQ(std::memcmp(s.data(), ab, 256), 0) << nLCID;
  }
  // Byte order of keys is the dictionary order of single characters.
  const auto Key = [&](const std::string& s) {
    std::string k(s.size(), '\0');
    m_pi->vnSortKeyA(0x40C, reinterpret_cast<unsigned char*>(k.data()), static_cast<int>(k.size()),
                     s.data(), -1);
    return std::vector<unsigned char>(k.begin(), k.end());
  };
  const char* apszOrdered[] = {"0", "9", "a", "A", "\xE1", "\xC1", "b", "B", "e", "\xE9",
                               "\xC9", "f", "s", "\x9A", "y", "\xFF", "\x9F", "z"};
  for (size_t i = 1; i < sizeof(apszOrdered) / sizeof(apszOrdered[0]); ++i)
    EXPECT_LT(Key(apszOrdered[i - 1]), Key(apszOrdered[i])) << i;
  for (size_t i = 1; i < sizeof(apszOrdered) / sizeof(apszOrdered[0]); ++i)
    EXPECT_EQ(CompareA(kDictionary, apszOrdered[i - 1], apszOrdered[i]), -1) << i;
  // A short destination takes what fits; -1 reads up to the NUL.
  unsigned char ac[3] = {0xEE, 0xEE, 0xEE};
  EXPECT_EQ(m_pi->vnSortKeyA(0x40C, ac, 2, "abc", -1), 2);
  EXPECT_EQ(ac[2], 0xEE);
  EXPECT_EQ(m_pi->vnSortKeyA(0x40C, ac, 0, "abc", -1), 3);
  EXPECT_EQ(ac[2], 0xEE);
}

TEST_F(BuiltinLocaleTest, ReportsCharset0CodePage1252AndLanguage0x40C) {
  EXPECT_EQ(m_pi->vnGetCurrentCharset(), 0);
  EXPECT_EQ(m_pi->vnGetCurrentCodePage(), 1252);
  EXPECT_EQ(m_pi->vnGetCurrentLCID(), 0x40Cu);
  EXPECT_EQ(m_pi->vnGetSafeCurrentLCID(), 0x40Cu);
  EXPECT_EQ(STR_pGetBuiltinLocale(), m_pi);  // one object for the process
  // Placeholders do nothing, harmlessly.
  m_pi->vReserved0();
  m_pi->vReserved1();
  m_pi->vReserved10();

  // A locale built with other reported values behaves the same otherwise.
  CBuiltinLocale cl(161, 1253, 0x408);
  EXPECT_EQ(cl.vnGetCurrentCharset(), 161);
  EXPECT_EQ(cl.vnGetCurrentCodePage(), 1253);
  EXPECT_EQ(cl.vnGetCurrentLCID(), 0x408u);
  EXPECT_EQ(cl.vnGetSafeCurrentLCID(), 0x408u);
  char ac[10] = {};
  EXPECT_EQ(cl.vnMapCurrentA(3, ac, 9, "conn\xE9xion", -1), 9);
  EXPECT_STREQ(ac, "CONNEXION");
  wchar_t aw[4] = {};
  EXPECT_EQ(cl.vnMapCurrentW(0x100, aw, 3, L"ÀÉÎ", -1), 3);
  EXPECT_EQ(std::wstring(aw), L"àéî");
  EXPECT_EQ(cl.vnCompareCurrentA(3, "\xE9t\xE9", -1, "ETE", -1), 0);
  EXPECT_EQ(CInformationDLL::ms_piInfoLocale, nullptr);
}

}  // namespace
