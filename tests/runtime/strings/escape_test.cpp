#include "Escape.h"

#include <gtest/gtest.h>

#include <string>

#include "XMalloc.h"

namespace {

// ASCII test texts in the width under test.
template <typename C>
std::basic_string<C> S(const char* text) {
  std::basic_string<C> out;
  for (const char* p = text; *p != 0; ++p) out += static_cast<C>(static_cast<unsigned char>(*p));
  return out;
}

// Takes a new string of the psz* functions and frees it.
template <typename C>
std::basic_string<C> Prend(C* text) {
  EXPECT_NE(text, nullptr);
  if (text == nullptr) return {};
  std::basic_string<C> out(text);
  XMALLOC_Del_(text);
  return out;
}

// Runs an in-place function on a copy of text.
template <typename C, typename F>
std::basic_string<C> EnPlace(const char* text, F f) {
  std::basic_string<C> buffer = S<C>(text);
  f(&buffer[0]);
  return std::basic_string<C>(buffer.c_str());
}

// The server reads the text between quotes as one literal: every quote is
// escaped by an odd run of backslashes, and no odd run escapes the closing
// quote.
template <typename C>
::testing::AssertionResult UnSeulLitteral(const std::basic_string<C>& text) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == static_cast<C>('\\')) {
      ++run;
      continue;
    }
    if (text[i] == static_cast<C>('\'') && run % 2 == 0) {
      return ::testing::AssertionFailure() << "quote at " << i << " ends the literal";
    }
    run = 0;
  }
  if (run % 2 != 0) return ::testing::AssertionFailure() << "the end escapes the closing quote";
  return ::testing::AssertionSuccess();
}

template <typename C>
class escapeWidth : public ::testing::Test {};
using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(escapeWidth, Widths);

TYPED_TEST(escapeWidth, EscapeOptions) {
  using C = TypeParam;
  struct Row {
    int options[8];  // quote, backslash, escapeEscape, percent, underscore,
                     // escapedPercent, escapedUnderscore, escapedEscape
    char q;
    const char* src;
    const char* expected;
  } const rows[] = {
      {{1, 0, 0, 0, 0, 0, 0, 0}, '\\', "it''s", "it\\'\\'s"},
      {{1, 1, 1, 1, 1, 1, 1, 1}, '\'', "a'b\\c%d_e!%f!_g!!h!i", "a''b\\\\c!%d!_e!!!%f!!!_g!!!!h!!i"},
      {{0, 0, 1, 0, 0, 0, 0, 0}, '\'', "a'b\\c%d_e!%f!_g!!h!i", "a'b\\c%d_e!%f!_g!!h!!i"},
      {{0, 0, 0, 0, 0, 0, 0, 0}, '\'', "a'b\\c%d_e!%f!_g!!h!i", "a'b\\c%d_e!%f!_g!!h!i"},
      {{0, 0, 0, 1, 0, 1, 0, 0}, '\'', "!%%", "!!%!%"},
      {{0, 0, 1, 0, 1, 0, 1, 0}, '\'', "!__", "!!!_!_"},
      {{0, 0, 0, 0, 0, 0, 0, 1}, '\'', "!!!", "!!!"},
      {{0, 0, 1, 0, 0, 0, 0, 1}, '\'', "!!!", "!!!!!!"},
      {{0, 0, 0, 0, 0, 0, 0, 0}, '\'', "", ""},
  };
  for (const Row& r : rows) {
    const int* o = r.options;
    const std::basic_string<C> src = S<C>(r.src);
    std::basic_string<C> dst(2 * src.size() + 1, static_cast<C>('#'));
    Escape(src.c_str(), &dst[0], o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7], static_cast<C>(r.q),
           static_cast<C>('!'));
    EXPECT_EQ(std::basic_string<C>(dst.c_str()), S<C>(r.expected)) << r.src;
    EXPECT_EQ(Prend(pszEscape(src.c_str(), o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7],
                              static_cast<C>(r.q), static_cast<C>('!'))),
              S<C>(r.expected))
        << r.src;
  }
}

TYPED_TEST(escapeWidth, PszEscapeOfALongTextUsesTheHeap) {
  using C = TypeParam;
  // 2000 quotes need more than the stack block in either width.
  const std::basic_string<C> src(2000, static_cast<C>('\''));
  std::basic_string<C> expected;
  for (int k = 0; k < 2000; ++k) expected += S<C>("\\'");
  EXPECT_EQ(Prend(pszEscape(src.c_str(), 1, 0, 0, 0, 0, 0, 0, 0, static_cast<C>('\\'),
                            static_cast<C>('\\'))),
            expected);
}

TYPED_TEST(escapeWidth, Purges) {
  using C = TypeParam;
  const C bang = static_cast<C>('!');
  EXPECT_EQ(EnPlace<C>("!%a!!", [&](C* t) { PurgeEscape(t, bang); }), S<C>("%a!"));
  EXPECT_EQ(EnPlace<C>("!x", [&](C* t) { PurgeEscape(t, bang); }), S<C>("!x"));
  // The character after an undone escape is not examined again.
  EXPECT_EQ(EnPlace<C>("!!!%!_!", [&](C* t) { PurgeEscape(t, bang); }), S<C>("!%_!"));
  EXPECT_EQ(EnPlace<C>("!!!x!%", [&](C* t) { PurgeEscapeEscape(t, bang); }), S<C>("!!x!%"));
  EXPECT_EQ(EnPlace<C>("a\\\\\\\\b\\'c\\\\\\", [](C* t) { PurgeEscapeBackSlash(t); }),
            S<C>("a\\\\b'c\\\\"));

  struct Row {
    const char* text;
    int backslash;
    const char* expected;
  } const quotes[] = {
      {"''", 1, "''"},          {"''''", 0, "''"},     {"'''", 0, "''"},
      {"it''s", 0, "it's"},     {"it\\'s", 0, "it\\'s"}, {"it\\'s", 1, "it's"},
      {"a''''b", 1, "a''b"},    {"\\''", 1, "\\'"},     {"'", 1, "'"},
      {"", 1, ""},              {"x\\\\'", 1, "x\\'"},
  };
  for (const Row& r : quotes) {
    EXPECT_EQ(EnPlace<C>(r.text, [&](C* t) { PurgeQuote(t, r.backslash); }), S<C>(r.expected))
        << r.text << " backslash " << r.backslash;
  }
}

TYPED_TEST(escapeWidth, ChangeEscape) {
  using C = TypeParam;
  const std::basic_string<C> pt = S<C>("%"), pp = S<C>("["), ps = S<C>("]");
  const std::basic_string<C> ut = S<C>("_"), up = S<C>("{"), us = S<C>("}");
  struct Row {
    const char* src;
    const char* expected;
  } const rows[] = {
      {"!%", "[%]"}, {"a!_b", "a{_}b"}, {"!!%", "!%"}, {"!a!%", "!a[%]"}, {"x!", "x!"}, {"", ""},
  };
  for (const Row& r : rows) {
    const std::basic_string<C> src = S<C>(r.src);
    std::basic_string<C> dst(16, static_cast<C>('#'));
    ChangeEscape(src.c_str(), &dst[0], pt.c_str(), pp.c_str(), ps.c_str(), ut.c_str(), up.c_str(),
                 us.c_str(), static_cast<C>('!'));
    EXPECT_EQ(std::basic_string<C>(dst.c_str()), S<C>(r.expected)) << r.src;
    EXPECT_EQ(Prend(pszChangeEscape(src.c_str(), pt.c_str(), pp.c_str(), ps.c_str(), ut.c_str(),
                                    up.c_str(), us.c_str(), static_cast<C>('!'))),
              S<C>(r.expected))
        << r.src;
  }
}

// A work buffer sized by the sum of the six texts times the source length
// has no room for a text without escapes or for the NUL; these run under
// the address sanitizer.
TYPED_TEST(escapeWidth, PszChangeEscapeFitsEveryResult) {
  using C = TypeParam;
  const std::basic_string<C> percent = S<C>("%");
  const std::basic_string<C> plain(3000, static_cast<C>('a'));  // past the stack block
  EXPECT_EQ(Prend(pszChangeEscape(plain.c_str(), percent.c_str(), nullptr, nullptr, nullptr, nullptr,
                                  nullptr, static_cast<C>('!'))),
            plain);
  const std::basic_string<C> none;
  const std::basic_string<C> bangs = S<C>("!x!y!");
  EXPECT_EQ(Prend(pszChangeEscape(bangs.c_str(), none.c_str(), none.c_str(), none.c_str(),
                                  none.c_str(), none.c_str(), none.c_str(), static_cast<C>('!'))),
            bangs);

  // Every character escaped, rewrites far longer than their escapes.
  const std::basic_string<C> pp(40, static_cast<C>('<')), pt = S<C>("%"), ps(50, static_cast<C>('>'));
  const std::basic_string<C> up(70, static_cast<C>('{')), ut = S<C>("_"), us(3, static_cast<C>('}'));
  std::basic_string<C> src, expected;
  for (int k = 0; k < 300; ++k) {
    src += S<C>("!%!_!!");
    expected += pp + pt + ps + up + ut + us + S<C>("!");
  }
  EXPECT_EQ(Prend(pszChangeEscape(src.c_str(), pt.c_str(), pp.c_str(), ps.c_str(), ut.c_str(),
                                  up.c_str(), us.c_str(), static_cast<C>('!'))),
            expected);
}

TYPED_TEST(escapeWidth, VerrueEscapeMySQLKeepsItsExamples) {
  using C = TypeParam;
  struct Row {
    const char* src;
    const char* expected;
  } const rows[] = {
      {"it''s", "it\\'s"}, {"a\\b", "a\\\\b"}, {"a\\%", "a\\%"}, {"ab\\", "ab\\\\"},
      {"a\\_b\\\\c", "a\\_b\\\\c"}, {"", ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Prend(pszVerrueEscapeMySQL(S<C>(r.src).c_str(), L'\\')), S<C>(r.expected)) << r.src;
  }
  // Another escape character is doubled where it escapes nothing.
  EXPECT_EQ(Prend(pszVerrueEscapeMySQL(S<C>("a!b!%c!!").c_str(), L'!')), S<C>("a!!b!%c!!"));
}

// Texts built to close the literal early; each must come out as one literal
// whatever the escape character.
TYPED_TEST(escapeWidth, VerrueEscapeMySQLAlwaysGivesOneLiteral) {
  using C = TypeParam;
  struct Row {
    const char* src;
    const char* withBackslash;  // the result for E = backslash
  } const rows[] = {
      {"x\\\\' OR 1=1 -- ", "x\\\\\\' OR 1=1 -- "},
      {"\\\\'", "\\\\\\'"},
      {"a\\\\\\\\'", "a\\\\\\\\\\'"},
      {"''", "\\'\\'"},
      {"\\'", "\\'"},
      {"ab\\", "ab\\\\"},
      {"\\\\\\", "\\\\\\\\"},
  };
  for (const Row& r : rows) {
    const std::basic_string<C> withBackslash = Prend(pszVerrueEscapeMySQL(S<C>(r.src).c_str(), L'\\'));
    EXPECT_EQ(withBackslash, S<C>(r.withBackslash)) << r.src;
    EXPECT_TRUE(UnSeulLitteral(withBackslash)) << r.src;
    for (wchar_t e : {L'!', L'\'', L'%'}) {
      EXPECT_TRUE(UnSeulLitteral(Prend(pszVerrueEscapeMySQL(S<C>(r.src).c_str(), e))))
          << r.src << " E=" << static_cast<char>(e);
    }
  }
}

TEST(escapeNarrow, VerrueEscapeMySQLTakesTheEscapeInCodePage1252) {
  // U+20AC is byte 0x80 in code page 1252: it escapes nothing before 'b'.
  EXPECT_EQ(Prend(pszVerrueEscapeMySQL("a\x80" "b", L'\u20AC')), std::string("a\x80\x80" "b"));
  EXPECT_EQ(Prend(pszVerrueEscapeMySQL(L"a\u20ACb", L'\u20AC')), std::wstring(L"a\u20AC\u20ACb"));
}

TEST(escapeNarrow, NullSourcesReadAsEmpty) {
  EXPECT_EQ(Prend(pszVerrueEscapeMySQL(static_cast<const char*>(nullptr), L'\\')), std::string());
  EXPECT_EQ(Prend(pszEscape(static_cast<const wchar_t*>(nullptr), 1, 1, 1, 1, 1, 1, 1, 1, L'\'', L'!')),
            std::wstring());
  EXPECT_EQ(Prend(pszChangeEscape(static_cast<const char*>(nullptr), "%", nullptr, nullptr, "_",
                                  nullptr, nullptr, '!')),
            std::string());
  PurgeQuote(static_cast<char*>(nullptr), 1);  // nothing to do, nothing read
}

}  // namespace
