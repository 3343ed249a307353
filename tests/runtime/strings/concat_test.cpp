#include "CTStringConcatAW.h"
#include "CXYStringConcat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <string>

#include "CTString.h"

namespace {

constexpr unsigned kCp1252 = 1252;
constexpr unsigned kUtf8 = 65001;

std::string A(const char* s) { return s; }
std::wstring Wd(const wchar_t* s) { return s; }
std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// ---------------------------------------------------------------------------
// CXYStringConcat

TEST(concatBuffer, GrowsByStepsAndStaysTerminated) {
  CXYStringConcat<wchar_t> buf(4);
  EXPECT_STREQ(buf.pszGet(), L"");
  EXPECT_EQ(buf.nGetCapacity(), 0u);

  buf.Add(L"abc", 3);
  EXPECT_EQ(buf.nGetCapacity(), 4u);  // (3 / 4 + 1) * 4
  buf.Add(L"defgh", 5);
  EXPECT_EQ(buf.nGetCapacity(), 12u);  // (8 / 4 + 1) * 4
  EXPECT_STREQ(buf.pszGet(), L"abcdefgh");
  EXPECT_EQ(buf.nGetLength(), 8u);

  // Nothing for a null text or a length below 1.
  buf.Add(nullptr, 3);
  buf.Add(L"x", 0);
  buf.Add(L"x", -1);
  EXPECT_STREQ(buf.pszGet(), L"abcdefgh");

  buf.SetLength(2);
  EXPECT_STREQ(buf.pszGet(), L"ab");
  buf.SetLength(10);  // never lengthens
  EXPECT_STREQ(buf.pszGet(), L"ab");
  buf.SetLength(0);
  EXPECT_STREQ(buf.pszGet(), L"");
  EXPECT_EQ(buf.nGetCapacity(), 12u);  // never shrinks
}

TEST(concatBuffer, StepZeroActsAsOne) {
  CXYStringConcat<char> buf(0);
  EXPECT_EQ(buf.nGetStep(), 1u);
  for (int i = 0; i < 5; ++i) buf.Add("xy", 2);
  EXPECT_STREQ(buf.pszGet(), "xyxyxyxyxy");
  EXPECT_EQ(buf.nGetCapacity(), 11u);

  CTStringConcatAW aw(CONCAT_CP_WIDE, kCp1252, 0);
  aw.AddStrCte(L"abc", 3);
  aw.AddNumber(42);
  EXPECT_STREQ(aw.pszGetW(), L"abc42");
  EXPECT_STREQ(aw.pszGetA(), "abc42");
}

TEST(concatBuffer, SourceInsideTheBufferSurvivesGrowth) {
  CXYStringConcat<wchar_t> buf(1);
  buf.Add(L"ab", 2);
  for (int i = 0; i < 6; ++i) buf.Add(buf.pszGet(), static_cast<long>(buf.nGetLength()));
  EXPECT_EQ(buf.nGetLength(), 128u);
  EXPECT_EQ(buf.nPos(L"ba"), 1);

  CXYStringConcat<char> r(1);
  r.Add("0123456789", 10);
  r._Remplace(2, 3, r.pszGet() + 5, 5);  // the source is moved by the change
  EXPECT_STREQ(r.pszGet(), "015678956789");
}

// AddNumber for both widths: a positive value shorter than the width is
// padded, a longer one is appended whole (never cut to the width), 0 and
// negative values are never padded.
TEST(concatBuffer, AddNumberTable) {
  struct Case {
    long value;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {0, 3, "0"},          {0, -1, "0"},
      {7, 3, "007"},        {7, -1, "7"},
      {-7, 3, "-7"},        {-7, -1, "-7"},
      {12345, 3, "12345"},  {12345, -1, "12345"},
      {INT64_MIN, 3, "-9223372036854775808"},
      {INT64_MIN, -1, "-9223372036854775808"},
      {42, 0, "42"},        {5, 1, "5"},
      {123, 3, "123"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " width " << c.width);
    CXYStringConcat<char> a(2);
    a.Add("[", 1);
    a.AddNumber(c.value, c.width);
    EXPECT_EQ(A(a.pszGet()), "[" + std::string(c.expected));

    CXYStringConcat<wchar_t> w(2);
    w.AddNumber(c.value, c.width);
    EXPECT_EQ(Wd(w.pszGet()), Widen(c.expected));

    CTStringConcatAW aw(CONCAT_CP_WIDE, kCp1252, 16);
    aw.AddNumber(c.value, c.width);
    EXPECT_EQ(A(aw.pszGetA()), c.expected);
  }
  CXYStringConcat<char> i(8);
  i.AddNumber(INT_MIN, 3);
  i.AddNumber(99, 4);
  EXPECT_STREQ(i.pszGet(), "-21474836480099");
}

TEST(concatBuffer, HexaAndBinaryDigits) {
  CXYStringConcat<wchar_t> w(8);
  w.AddNumberHexa(static_cast<unsigned char>(0xA));
  w.AddNumberHexa(static_cast<unsigned short>(0xBEEF));
  w.AddNumberHexa(static_cast<unsigned int>(0x1F));
  w.AddNumberHexa(static_cast<unsigned long>(0xABCDEF0123456789UL));
  EXPECT_STREQ(w.pszGet(), L"0ABEEF0000001FABCDEF0123456789");

  CXYStringConcat<char> b(8);
  b.AddNumberBinary(0x01, 1);
  b.Add(" ", 1);
  b.AddNumberBinary(0x01, 0);
  b.Add(" ", 1);
  b.AddNumberBinary(0xC4, 1);
  EXPECT_STREQ(b.pszGet(), "00000001 10000000 11000100");
}

TEST(concatBuffer, SearchAndEquality) {
  CXYStringConcat<char> empty(4);
  EXPECT_EQ(empty.nPos("a"), -1);
  EXPECT_EQ(empty.nPos('a'), -1);
  EXPECT_TRUE(empty.bEstEgal(""));
  EXPECT_FALSE(empty.bEstEgal("a"));
  EXPECT_FALSE(empty.bEstEgal(nullptr));
  EXPECT_EQ(empty.cGetChar(0), 0);

  CXYStringConcat<wchar_t> w(4);
  w.Add(L"abcabc", 6);
  EXPECT_EQ(w.nPos(L"bc"), 1);
  EXPECT_EQ(w.nPos(L"bc", 2), 4);
  EXPECT_EQ(w.nPos(L"bc", -5), 1);  // a negative start counts as 0
  EXPECT_EQ(w.nPos(L"bc", 5), -1);
  EXPECT_EQ(w.nPos(L"c", 6), -1);  // at the end
  EXPECT_EQ(w.nPos(L"c", 600), -1);
  EXPECT_EQ(w.nPos(L"", 3), 3);
  EXPECT_EQ(w.nPos(L'c', 3), 5);
  EXPECT_EQ(w.nPos(L'c', -1), 2);
  EXPECT_EQ(w.nPos(L'\0'), -1);
  EXPECT_EQ(w.nPos(L"abcabcx"), -1);
  EXPECT_TRUE(w.bEstEgal(L"abcabc"));
  EXPECT_FALSE(w.bEstEgal(L"abcab"));
  EXPECT_FALSE(w.bEstEgal(L"abcabcd"));
  EXPECT_EQ(w.cGetChar(5), L'c');
  EXPECT_EQ(w.cGetChar(6), 0);
  EXPECT_EQ(w.cGetChar(-1), 0);
}

TEST(concatBuffer, PrefixZeros) {
  char digits[8] = "42";
  CXYStringConcat<char>::_AddPrefix0(digits, 5);
  EXPECT_STREQ(digits, "00042");
  CXYStringConcat<char>::_AddPrefix0(digits, 3);  // not shorter: unchanged
  EXPECT_STREQ(digits, "00042");
}

TEST(concatBuffer, ConversionsBetweenWidthsAndCodePages) {
  CXYStringConcat<wchar_t> w(4);
  w.AddAnsi("d\xE9j\xE0", 4, kCp1252);
  EXPECT_STREQ(w.pszGet(), L"d\u00E9j\u00E0");
  w.AddAnsiToUTF8("\xC3\xA9", 2, kCp1252);  // the wide buffer reads UTF-8
  EXPECT_STREQ(w.pszGet(), L"d\u00E9j\u00E0\u00E9");

  CXYStringConcat<char> a(4);
  a.AddWide(L"\u00E9\u20AC", 2, kCp1252);
  EXPECT_EQ(A(a.pszGet()), "\xE9\x80");
  a.AddWide(L"\u4E2D", 1, kCp1252);  // no such character in the code page
  EXPECT_EQ(A(a.pszGet()), "\xE9\x80?");

  CXYStringConcat<char> u(1);
  u.AddWide(L"\u00E9\u4E2D", 2, kUtf8);
  EXPECT_EQ(A(u.pszGet()), "\xC3\xA9\xE4\xB8\xAD");
  u.AddAnsiToUTF8("\xE9", 1, kCp1252);
  EXPECT_EQ(A(u.pszGet()), "\xC3\xA9\xE4\xB8\xAD\xC3\xA9");

  CXYStringConcat<char> back(1);
  back._AddFromUTF8("a\xC3\xA9", 3, kCp1252);
  EXPECT_EQ(A(back.pszGet()), "a\xE9");
}

TEST(concatBuffer, UpperCaseKeepsLength) {
  CXYStringConcat<wchar_t> w(4);
  w.Add(L"abc\u00E9", 4);
  w.Majuscule();
  EXPECT_STREQ(w.pszGet(), L"ABC\u00C9");
}

// ---------------------------------------------------------------------------
// CTStringConcatAW

// Each change to a wide master, and what both forms show afterwards.
TEST(concatAW, ChangesOnAWideMasterShowInTheEightBitForm) {
  CTStringConcatAW buf(CONCAT_CP_WIDE, kCp1252, 4);
  EXPECT_EQ(buf.nGetCodePage(), CONCAT_CP_WIDE);
  EXPECT_STREQ(buf.pszGetA(), "");

  struct Step {
    const char* what;
    std::function<void()> change;
    const wchar_t* wide;
    const char* ansi;
  };
  const Step steps[] = {
      {"Add", [&] { buf.Add(L"abc", 3); }, L"abc", "abc"},
      {"Add again", [&] { buf.Add(L"d\u00E9f", 3); }, L"abcd\u00E9f", "abcd\xE9" "f"},
      {"Majuscule", [&] { buf.Majuscule(); }, L"ABCD\u00C9F", "ABCD\xC9" "F"},
      {"Tronque", [&] { buf.Tronque(5); }, L"ABCD\u00C9", "ABCD\xC9"},
      {"Coupe", [&] { buf.Coupe(1, 2); }, L"AD\u00C9", "AD\xC9"},
      {"Insert", [&] { buf.Insert(L"xy", 2, 1); }, L"AxyD\u00C9", "AxyD\xC9"},
      {"Remplace range", [&] { buf.Remplace(0, 1, L"zz", 2); }, L"zzxyD\u00C9", "zzxyD\xC9"},
      {"Remplace all", [&] { buf.Remplace(L"z", 1, L"", 0); }, L"xyD\u00C9", "xyD\xC9"},
      {"AddUTF8", [&] { buf.AddUTF8("\xC3\xA0", 2); }, L"xyD\u00C9\u00E0", "xyD\xC9\xE0"},
      {"AddNumber", [&] { buf.AddNumber(5, 2); }, L"xyD\u00C9\u00E005", "xyD\xC9\xE0" "05"},
      {"Tronque 0", [&] { buf.Tronque(0); }, L"", ""},
      {"SetStrCte", [&] { buf.SetStrCte(L"k", 1); }, L"k", "k"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    buf.pszGetA();  // fill the cache before the change
    s.change();
    EXPECT_EQ(A(buf.pszGetA()), s.ansi);
    EXPECT_EQ(Wd(buf.pszGetW()), s.wide);
    EXPECT_EQ(buf.nGetLengthA(), static_cast<long>(std::string(s.ansi).size()));
    EXPECT_EQ(buf.nGetLengthW(), static_cast<long>(std::wstring(s.wide).size()));
  }
}

TEST(concatAW, ChangesOnAnEightBitMasterShowInTheWideForm) {
  CTStringConcatAW buf(kCp1252, kCp1252, 4);
  buf.Add("caf\xE9", 4, kCp1252);
  EXPECT_STREQ(buf.pszGetW(), L"caf\u00E9");
  buf.Add(L" cr\u00E8me", 6);
  EXPECT_STREQ(buf.pszGetW(), L"caf\u00E9 cr\u00E8me");
  EXPECT_EQ(A(buf.pszGetA()), "caf\xE9 cr\xE8me");
  buf.Majuscule();
  EXPECT_STREQ(buf.pszGetW(), L"CAF\u00C9 CR\u00C8ME");
  buf.Coupe(4, 100);
  EXPECT_STREQ(buf.pszGetW(), L"CAF\u00C9");
  EXPECT_EQ(buf.cGetCharW(3), L'\u00C9');
  EXPECT_EQ(buf.cGetCharA(3), '\xC9');
}

// A UTF-8 master keeps whole sequences: the lead byte E3 of U+3042 is not
// taken for the cp1252 letter a-tilde and upper-cased to C3.
TEST(concatAW, UpperCaseOfAUtf8MasterKeepsItsSequences) {
  CTStringConcatAW buf(kUtf8, kCp1252, 4);
  buf.AddUTF8("a\xC3\xA9\xE3\x81\x82\xFF" "b", 8);
  buf.Majuscule();
  EXPECT_EQ(A(buf.pszGetA()), "A\xC3\x89\xE3\x81\x82\xFF" "B");
  EXPECT_EQ(buf.cGetCharA(1), '\xC3');
}

TEST(concatAW, EightBitTextReachesEachMasterInItsForm) {
  // cp1252 "é" into a UTF-8 master.
  CTStringConcatAW utf8(kUtf8, kCp1252, 8);
  utf8.Add("\xE9", 1, kCp1252);
  EXPECT_EQ(A(utf8.pszGetA()), "\xC3\xA9");
  EXPECT_EQ(utf8.nGetLengthA(), 2);
  EXPECT_STREQ(utf8.pszGetW(), L"\u00E9");
  EXPECT_EQ(utf8.nGetLengthW(), 1);
  utf8.Add("\xC3\xA8", 2, kUtf8);  // same code page: as it is
  utf8.AddUTF8("!", 1);
  EXPECT_EQ(A(utf8.pszGetA()), "\xC3\xA9\xC3\xA8!");
  utf8.Add("\xE0", 1);  // no code page: the conversion code page
  EXPECT_EQ(A(utf8.pszGetA()), "\xC3\xA9\xC3\xA8!\xC3\xA0");

  // UTF-8 text into a cp1252 master, and the other way through wide text.
  CTStringConcatAW ansi(kCp1252, kUtf8, 8);
  ansi.AddUTF8("\xC3\xA9", 2);
  ansi.Add("\xC3\xA8", 2, kUtf8);
  EXPECT_EQ(A(ansi.pszGetA()), "\xE9\xE8");
  ansi.Add("x", 1);
  EXPECT_EQ(A(ansi.pszGetA()), "\xE9\xE8x");

  // A wide master takes 8-bit text in its code page.
  CTStringConcatAW wide(CONCAT_CP_WIDE, kUtf8, 8);
  wide.Add("\xE9", 1, kCp1252);
  wide.Add("\xC3\xA8", 2);
  EXPECT_STREQ(wide.pszGetW(), L"\u00E9\u00E8");
  EXPECT_EQ(A(wide.pszGetA()), "\xC3\xA9\xC3\xA8");

  // The master code page -1 is the conversion code page.
  CTStringConcatAW own(CONCAT_CP_CONVERSION, kCp1252, 8);
  EXPECT_EQ(own.nGetCodePage(), kCp1252);
}

TEST(concatAW, AppendFormsAndConstants) {
  CTStringConcatAW buf(CONCAT_CP_WIDE, kCp1252, 8);
  buf.Add(CTString(L"one"));
  buf.AddStrCte(L",two", 4);
  buf.Add(L"xyz", 0);
  buf.Add(L"xyz", -1);  // a length below 1 appends nothing
  buf.Add("xyz", -1, kCp1252);
  EXPECT_STREQ(buf.pszGetW(), L"one,two");
  buf.SetStrCte(L"new", 3);
  EXPECT_STREQ(buf.pszGetW(), L"new");
  buf.SetStrCte(L"", 0);
  EXPECT_STREQ(buf.pszGetW(), L"");
  EXPECT_EQ(buf.nGetLengthA(), 0);
  buf.AddNumberHexa(static_cast<unsigned short>(0x1A2));
  EXPECT_STREQ(buf.pszGetA(), "01A2");
}

TEST(concatAW, ReplaceEveryOccurrence) {
  struct Case {
    unsigned codePage;
    const wchar_t* text;
    const wchar_t* search;
    const wchar_t* replacement;
    long from;
    const wchar_t* result;
  };
  const Case cases[] = {
      {CONCAT_CP_WIDE, L"aaa", L"a", L"aa", 0, L"aaaaaa"},
      {kCp1252, L"aaa", L"a", L"aa", 0, L"aaaaaa"},
      {CONCAT_CP_WIDE, L"abcabc", L"bc", L"XY", 0, L"aXYaXY"},
      {kUtf8, L"abcabc", L"bc", L"XY", 0, L"aXYaXY"},
      {CONCAT_CP_WIDE, L"abcabc", L"bc", L"", 0, L"aa"},
      {CONCAT_CP_WIDE, L"abcabc", L"bc", L"Q", 2, L"abcaQ"},
      {CONCAT_CP_WIDE, L"aaaa", L"aa", L"b", 0, L"bb"},
      {CONCAT_CP_WIDE, L"abc", L"B", L"x", 0, L"abc"},  // case-sensitive
      {CONCAT_CP_WIDE, L"abc", L"c", L"x", 3, L"abc"},
      {CONCAT_CP_WIDE, L"abc", L"a", L"x", 4, L"abc"},  // from past the end
      {CONCAT_CP_WIDE, L"abc", L"a", L"x", -2, L"xbc"},
      {kUtf8, L"\u00E9t\u00E9", L"\u00E9", L"e", 0, L"ete"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.text << "' '" << c.search << "' -> '"
                                    << c.replacement << "' from " << c.from);
    CTStringConcatAW buf(c.codePage, kCp1252, 2);
    buf.Add(c.text, static_cast<long>(std::wcslen(c.text)));
    buf.pszGetA();
    buf.pszGetW();
    buf.Remplace(c.search, static_cast<long>(std::wcslen(c.search)), c.replacement,
                 static_cast<long>(std::wcslen(c.replacement)), c.from);
    EXPECT_EQ(Wd(buf.pszGetW()), c.result);
  }

  // 8-bit search texts on a wide master, and a search text that lies in the
  // buffer itself.
  CTStringConcatAW wide(CONCAT_CP_WIDE, kCp1252, 2);
  wide.Add(L"x\u00E9x\u00E9", 4);
  wide.Remplace("\xE9", 1, "ee", 2);
  EXPECT_STREQ(wide.pszGetW(), L"xeexee");
  wide.Remplace(wide.pszGetW() + 1, 2, wide.pszGetW(), 1);
  EXPECT_STREQ(wide.pszGetW(), L"xxxx");
}

TEST(concatAW, InsertAndReplaceRange) {
  CTStringConcatAW buf(CONCAT_CP_WIDE, kCp1252, 4);
  buf.Insert(L"mid", 3, 5);  // an empty text becomes the text
  EXPECT_STREQ(buf.pszGetW(), L"mid");
  buf.Insert(L"<", 1, 0);
  buf.Insert(L">", 1, 99);  // past the end: appended
  buf.Insert(L"[", 1, -3);  // a negative position counts as 0
  EXPECT_STREQ(buf.pszGetW(), L"[<mid>");
  buf.Insert("\xE9", 1, 2);  // 8-bit text in the conversion code page
  EXPECT_STREQ(buf.pszGetW(), L"[<\u00E9mid>");

  buf.Remplace(2, 1, L"e", 1);
  EXPECT_STREQ(buf.pszGetW(), L"[<emid>");
  buf.Remplace(-4, 2, L"(", 1);  // negative: from 0
  EXPECT_STREQ(buf.pszGetW(), L"(emid>");
  buf.Remplace(5, 10, L")", 1);  // a count past the end runs to the end
  EXPECT_STREQ(buf.pszGetW(), L"(emid)");
  buf.Remplace(4, -1, "!", 1);  // count < 0: to the end
  EXPECT_STREQ(buf.pszGetW(), L"(emi!");
  buf.Remplace(50, 2, L"?", 1);  // past the end: appended
  EXPECT_STREQ(buf.pszGetW(), L"(emi!?");
  buf.Remplace(1, 3, L"", 0);  // no text: the range goes
  EXPECT_STREQ(buf.pszGetW(), L"(!?");
  EXPECT_EQ(A(buf.pszGetA()), "(!?");

  CTStringConcatAW empty(CONCAT_CP_WIDE, kCp1252, 4);
  empty.Remplace(0, 1, L"x", 1);  // nothing on an empty text
  EXPECT_STREQ(empty.pszGetW(), L"");

  // On a cp1252 master, wide text is converted and the cache follows.
  CTStringConcatAW ansi(kCp1252, kCp1252, 4);
  ansi.Add("abc", 3);
  EXPECT_STREQ(ansi.pszGetW(), L"abc");
  ansi.Insert(L"\u00E9", 1, 1);
  ansi.Remplace(3, 1, L"\u00E8", 1);
  EXPECT_EQ(A(ansi.pszGetA()), "a\xE9" "b\xE8");
  EXPECT_STREQ(ansi.pszGetW(), L"a\u00E9b\u00E8");

  // The inserted text may lie in the buffer.
  CTStringConcatAW self(CONCAT_CP_WIDE, kCp1252, 1);
  self.Add(L"abcd", 4);
  self.Insert(self.pszGetW() + 1, 2, 0);
  EXPECT_STREQ(self.pszGetW(), L"bcabcd");
}

TEST(concatAW, TruncateAndCutGuards) {
  CTStringConcatAW buf(CONCAT_CP_WIDE, kCp1252, 4);
  buf.Add(L"abcdef", 6);
  buf.Tronque(10);  // longer: nothing
  EXPECT_STREQ(buf.pszGetW(), L"abcdef");
  buf.Coupe(6, 1);  // at the end: nothing
  buf.Coupe(60, 1);
  buf.Coupe(1, 0);
  buf.Coupe(1, -3);
  EXPECT_STREQ(buf.pszGetW(), L"abcdef");
  buf.Coupe(-2, 1);  // a negative start counts as 0
  EXPECT_STREQ(buf.pszGetW(), L"bcdef");
  buf.Coupe(3, 50);  // past the end: cut at start
  EXPECT_STREQ(buf.pszGetW(), L"bcd");
  EXPECT_EQ(A(buf.pszGetA()), "bcd");
  buf.Coupe(0, 50);
  EXPECT_STREQ(buf.pszGetW(), L"");
  buf.Add(L"xy", 2);
  buf.Tronque(-1);
  EXPECT_STREQ(buf.pszGetA(), "");
}

TEST(concatAW, ReadingOutsideTheText) {
  for (unsigned cp : {CONCAT_CP_WIDE, kCp1252}) {
    SCOPED_TRACE(cp);
    CTStringConcatAW buf(cp, kCp1252, 4);
    EXPECT_EQ(buf.cGetCharW(0), 0);
    EXPECT_EQ(buf.cGetCharA(0), 0);
    EXPECT_FALSE(buf.bIsCharSpace(0));
    EXPECT_EQ(buf.nPos(L'a'), -1);
    EXPECT_EQ(buf.nPos("a"), -1);

    buf.Add(L"a b\u00E9", 4);
    EXPECT_TRUE(buf.bIsCharSpace(1));
    EXPECT_FALSE(buf.bIsCharSpace(0));
    EXPECT_FALSE(buf.bIsCharSpace(-1));
    EXPECT_FALSE(buf.bIsCharSpace(4));
    EXPECT_EQ(buf.cGetCharW(3), L'\u00E9');
    EXPECT_EQ(buf.cGetCharA(3), '\xE9');
    EXPECT_EQ(buf.cGetCharW(4), 0);
    EXPECT_EQ(buf.cGetCharA(-1), 0);
    EXPECT_EQ(buf.cGetCharW(LONG_MAX), 0);

    // Characters and texts of either width, converted for the master.
    EXPECT_EQ(buf.nPos(L'\u00E9'), 3);
    EXPECT_EQ(buf.nPos('\xE9'), 3);
    EXPECT_EQ(buf.nPos(L"b\u00E9"), 2);
    EXPECT_EQ(buf.nPos("b\xE9"), 2);
    EXPECT_EQ(buf.nPos(L'a', -7), 0);  // a negative start counts as 0
    EXPECT_EQ(buf.nPos("a", -7), 0);
    EXPECT_EQ(buf.nPos(L'b', 4), -1);
    EXPECT_EQ(buf.nPos(L"b", 40), -1);
    EXPECT_EQ(buf.nPos("b", 3), -1);
  }
}

}  // namespace
