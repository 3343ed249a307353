#include "CTNBIN.h"

#include <cstring>
#include <functional>
#include <string>

#include "CodePage.h"
#include "support/SharedStringFixture.h"

namespace {

std::string Text(const CTNBIN& b) {
  return b.pGetData() ? std::string(reinterpret_cast<const char*>(b.pGetData()), b.nGetTailleUtile())
                      : std::string();
}

CTNBIN Bin(const std::string& s) { return CTNBIN(s.data(), static_cast<long>(s.size())); }

// The 4 bytes after the data are zero, so the bytes read as a text.
void ExpectTerminated(const CTNBIN& b) {
  if (b.pGetData() == nullptr) return;
  std::uint32_t after = 1;
  std::memcpy(&after, b.pGetData() + b.nGetTailleUtile(), 4);
  EXPECT_EQ(after, 0u);
}

using CTNBINTest = SharedStringTest;

TEST_F(CTNBINTest, ChangeThroughACopySparesTheOtherHolder) {
  struct Case {
    const char* name;
    std::function<int(CTNBIN&)> change;
    std::string expected;
  };
  const Case cases[] = {
      {"nConcat", [](CTNBIN& b) { return b.nConcat("++", 2); }, "abcdef++"},
      {"nAssign", [](CTNBIN& b) { return b.nAssign("xy", 2); }, "xy"},
      {"nSetSize", [](CTNBIN& b) { return b.nSetSize(2); }, "ab"},
      {"nSetMemorySize", [](CTNBIN& b) { return b.nSetMemorySize(64); }, "abcdef"},
      {"__FillDynBin", [](CTNBIN& b) { return b.__FillDynBin("XY", 2, 1); }, "aXY"},
      {"Tronque", [](CTNBIN& b) { b.Tronque(3); return 0; }, "abc"},
      {"Remplace", [](CTNBIN& b) { b.Remplace(1, 2, Bin("-")); return 0; }, "a-def"},
      {"nConcatSeparateur", [](CTNBIN& b) { return b.nConcatSeparateur(Bin(";"), Bin("g"), 0); },
       "abcdef;g"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CTNBIN original = Bin("abcdef");
    CTNBIN copy(original);
    ASSERT_EQ(Count(original.pGetData()), 2u);
    EXPECT_EQ(c.change(copy), 0);
    EXPECT_EQ(Text(copy), c.expected);
    ExpectTerminated(copy);
    EXPECT_NE(copy.pGetData(), original.pGetData());
    EXPECT_EQ(Text(original), "abcdef");
    EXPECT_EQ(Count(original.pGetData()), 1u);
  }
}

TEST_F(CTNBINTest, RefusedAllocationKeepsTheValue) {
  // Made before the failures are armed.
  const CTNBIN x = Bin("x");
  const CTNBIN separator = Bin(";");
  const CTNBIN tail = Bin("long enough to grow");
  struct Case {
    const char* name;
    bool bShared;
    std::function<int(CTNBIN&)> change;
  };
  const Case cases[] = {
      {"shared nConcat", true, [](CTNBIN& b) { return b.nConcat("x", 1); }},
      {"grown nConcat", false, [](CTNBIN& b) { return b.nConcat("more bytes", 10); }},
      {"shared Tronque", true, [](CTNBIN& b) { b.Tronque(1); return 123; }},
      {"shared Remplace", true, [&](CTNBIN& b) { b.Remplace(0, 1, x); return 123; }},
      {"grown nAssign", false, [](CTNBIN& b) { return b.nAssign("a much longer value", 19); }},
      {"shared nSetSize", true, [](CTNBIN& b) { return b.nSetSize(2); }},
      {"grown separator", false,
       [&](CTNBIN& b) { return b.nConcatSeparateur(separator, tail, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTNBIN b = Bin("value");
    CTNBIN other;
    if (c.bShared) other = b;
    unsigned char* before = b.pGetData();
    m_alloc.FailNextCalls(1, 123);
    EXPECT_EQ(c.change(b), 123);
    EXPECT_EQ(b.pGetData(), before);
    EXPECT_EQ(Text(b), "value");
    EXPECT_EQ(Count(before), c.bShared ? 2u : 1u);
    m_alloc.FailNextCalls(0);
  }

  // A take-over concatenation that fails gives a its block back.
  CTNBIN a = Bin("a");
  unsigned char* block = a.pGetData();
  CTNBIN out;
  m_alloc.FailNextCalls(1, 123);
  EXPECT_EQ(out.nConcatInit(a, tail, 1), 123);
  EXPECT_EQ(a.pGetData(), block);
  EXPECT_EQ(out.pGetData(), nullptr);
}

TEST_F(CTNBINTest, SourceInsideTheOwnBlock) {
  for (const bool bShared : {false, true}) {
    SCOPED_TRACE(bShared ? "shared" : "exclusive");
    CTNBIN b = Bin("abcdef");
    CTNBIN keep;
    if (bShared) keep = b;
    EXPECT_EQ(b.nConcat(b.pGetData(), 6), 0);  // grows: the block moves
    EXPECT_EQ(Text(b), "abcdefabcdef");
    if (bShared) keep = b;
    EXPECT_EQ(b.nAssign(b.pGetData() + 3, 6), 0);
    EXPECT_EQ(Text(b), "defabc");
    if (bShared) keep = b;
    b.Remplace(1, 1, b);
    EXPECT_EQ(Text(b), "ddefabcfabc");
    if (bShared) keep = b;
    EXPECT_EQ(b.__FillDynBin(b.pGetData() + 2, 9, 4), 0);
    EXPECT_EQ(Text(b), "ddefefabcfabc");
    ExpectTerminated(b);
  }
  CTNBIN a = Bin("xy");
  EXPECT_EQ(a.nConcatInit(a, a, 1), 0);
  EXPECT_EQ(Text(a), "xyxy");
  EXPECT_EQ(a.nConcatInit(a, a, 0), 0);
  EXPECT_EQ(Text(a), "xyxyxyxy");
  EXPECT_EQ(a.nConcatSeparateur(Bin("-"), a, 0), 0);
  EXPECT_EQ(Text(a), "xyxyxyxy-xyxyxyxy");
  EXPECT_EQ(a.nRepete(a, 2), 0);
  EXPECT_EQ(Text(a), "xyxyxyxy-xyxyxyxyxyxyxyxy-xyxyxyxy");
}

TEST_F(CTNBINTest, EndMarkerBitThroughChanges) {
  // Tronque clears bit 0 of an exclusive block; a shared one is replaced by a
  // block with flags 0 and the other holder keeps its flags.
  CTNBIN b = Bin("ab\xFF");
  SetFlags(b.pGetData(), 0x80000001);
  CTNBIN other(b);
  b.Tronque(2);
  EXPECT_EQ(b.dwGetFlags(), 0u);
  EXPECT_EQ(other.dwGetFlags(), 0x80000001u);
  other.Tronque(3);
  EXPECT_EQ(other.dwGetFlags(), 0x80000000u);
  EXPECT_EQ(Text(other), "ab\xFF");

  // Unsharing copies the whole flags word; nConcat keeps its own flags.
  SetFlags(other.pGetData(), 0x80000001);
  CTNBIN shared(other);
  EXPECT_EQ(shared.nConcat("z", 1), 0);
  EXPECT_NE(shared.pGetData(), other.pGetData());
  EXPECT_EQ(shared.dwGetFlags(), 0x80000001u);

  // A concatenation into a new block takes bit 0 of its second operand.
  CTNBIN first = Bin("a");
  SetFlags(first.pGetData(), 1);
  CTNBIN second = Bin("b\xFF");
  SetFlags(second.pGetData(), 0x40000001);
  struct Case {
    const CTNBIN* a;
    const CTNBIN* b;
    std::uint32_t flags;
  };
  for (const Case& c : {Case{&first, &b, 0u}, Case{&b, &second, 1u}}) {
    CTNBIN out;
    CTNBIN a(*c.a);
    EXPECT_EQ(out.nConcatInit(a, *c.b, 0), 0);
    EXPECT_EQ(Text(out), Text(*c.a) + Text(*c.b));
    EXPECT_EQ(out.dwGetFlags(), c.flags);
  }
}

TEST_F(CTNBINTest, ConcatInitSharesOrTakesOver) {
  CTNBIN b = Bin("b");
  CTNBIN empty;
  CTNBIN out;
  EXPECT_EQ(out.nConcatInit(empty, b, 0), 0);  // a null: b shared
  EXPECT_EQ(out.pGetData(), b.pGetData());

  CTNBIN a = Bin("a");
  EXPECT_EQ(out.nConcatInit(a, empty, 0), 0);  // b null: a shared
  EXPECT_EQ(out.pGetData(), a.pGetData());

  out.ReleaseDynStr();
  EXPECT_EQ(out.nConcatInit(a, b, 1), 0);  // exclusive a is taken over
  EXPECT_EQ(a.pGetData(), nullptr);
  EXPECT_EQ(Text(out), "ab");

  CTNBIN c = Bin("c");
  CTNBIN holder(c);
  EXPECT_EQ(out.nConcatInit(c, b, 1), 0);  // shared c is only shared
  EXPECT_EQ(Text(out), "cb");
  EXPECT_EQ(Text(c), "c");
  EXPECT_EQ(c.pGetData(), holder.pGetData());
}

TEST_F(CTNBINTest, Milieu) {
  struct Case {
    long start, count;
    const char* expected;
  };
  const Case cases[] = {{0, 3, "abc"},  {2, -1, "cdef"}, {2, 10, "cdef"}, {6, 1, ""},
                        {7, 1, ""},     {-1, 2, ""},     {1, 0, ""},      {1, -2, ""},
                        {5, 1, "f"}};
  const CTNBIN b = Bin("abcdef");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.count);
    CTNBIN out = Bin("old");
    EXPECT_EQ(b.nMilieu(out, c.start, c.count), 0);
    EXPECT_EQ(Text(out), c.expected);
    EXPECT_EQ(Text(b.clMilieu(c.start, c.count)), c.expected);
  }
  CTNBIN self = Bin("abcdef");
  EXPECT_EQ(self.nMilieu(self, 1, 2), 0);
  EXPECT_EQ(Text(self), "bc");
}

TEST_F(CTNBINTest, PosAndMatching) {
  const CTNBIN b = Bin("abcabc");
  struct Case {
    const char* bytes;
    long n, from, expected;
  };
  const Case cases[] = {{"bc", 2, 0, 1},  {"bc", 2, 2, 4},  {"abc", 3, 3, 3}, {"c", 1, 6, -1},
                        {"a", 1, -1, -1}, {"a", 0, 0, -1},  {"x", 1, 0, -1},  {"abca", 4, 3, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes << "@" << c.from);
    EXPECT_EQ(b.nPos(c.bytes, c.n, c.from), c.expected);
  }
  EXPECT_EQ(CTNBIN().nPos("a", 1, 0), -1);

  const CTNBIN empty;
  EXPECT_TRUE(b.bCommencePar(Bin("ab")));
  EXPECT_FALSE(b.bCommencePar(Bin("bc")));
  EXPECT_TRUE(b.bTerminePar(Bin("bc")));
  EXPECT_FALSE(b.bTerminePar(Bin("ab")));
  EXPECT_TRUE(b.bContient(Bin("ca")));
  EXPECT_FALSE(b.bContient(Bin("abcabcx")));
  EXPECT_TRUE(b.bCommencePar(empty) && b.bTerminePar(empty) && b.bContient(empty));
  EXPECT_TRUE(empty.bContient(empty));
}

TEST_F(CTNBINTest, Compare) {
  struct Case {
    std::string a, b;
    long n;  // -1: the whole form
    int expected;
  };
  const Case cases[] = {{"abc", "abd", -1, -1}, {"abc", "ab", -1, 1},  {"", "", -1, 0},
                        {"\x80", "\x7f", -1, 1}, {"ab", "ab", -1, 0},  {"abc", "abd", 2, 0},
                        {"ab", "abc", 5, -1},   {"abc", "abd", 0, 0}, {"", "a", -1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " vs " + c.b);
    const int r = c.n < 0 ? CTNBIN::nCompare(Bin(c.a), Bin(c.b))
                          : CTNBIN::nCompare(Bin(c.a), Bin(c.b), c.n);
    EXPECT_EQ(r, c.expected);
  }
}

TEST_F(CTNBINTest, ConcatSeparateur) {
  struct Case {
    const char* own;
    const char* b;
    int skip;
    const char* expected;
  };
  const Case cases[] = {{"a", "b", 0, "a;b"},   {"a;", "b", 0, "a;b"}, {"a", ";b", 0, "a;b"},
                        {"", "b", 1, "b"},      {"", "b", 0, ";b"},    {"a", "", 0, "a"},
                        {"a", "b", 1, "a;b"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.own << "|" << c.b << "|" << c.skip);
    CTNBIN own = Bin(c.own);
    EXPECT_EQ(own.nConcatSeparateur(Bin(";"), Bin(c.b), c.skip), 0);
    EXPECT_EQ(Text(own), c.expected);
    ExpectTerminated(own);
  }
}

TEST_F(CTNBINTest, RemplaceAndRepete) {
  struct Case {
    long at, count;
    const char* with;
    const char* expected;
  };
  const Case cases[] = {{1, 2, "XYZ", "aXYZdef"}, {4, 10, "Z", "abcdZ"}, {6, 1, "Z", "abcdef"},
                        {-1, 1, "Z", "abcdef"},   {1, -1, "Z", "abcdef"}, {0, 6, "", ""},
                        {2, 0, "--", "ab--cdef"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.at << "," << c.count);
    CTNBIN b = Bin("abcdef");
    b.Remplace(c.at, c.count, Bin(c.with));
    EXPECT_EQ(Text(b), c.expected);
    ExpectTerminated(b);
  }

  CTNBIN r = Bin("old");
  for (const auto& c : {std::make_pair(3L, "ababab"), std::make_pair(0L, ""),
                        std::make_pair(-1L, ""), std::make_pair(1L, "ab")}) {
    EXPECT_EQ(r.nRepete(Bin("ab"), c.first), 0);
    EXPECT_EQ(Text(r), c.second);
  }
  EXPECT_EQ(r.nRepete(CTNBIN(), 5), 0);
  EXPECT_EQ(r.pGetData(), nullptr);
}

TEST_F(CTNBINTest, SizesAndAssignments) {
  CTNBIN b;
  EXPECT_EQ(b.nSetMemorySize(10), 0);
  EXPECT_EQ(b.nGetTailleUtile(), 0u);
  EXPECT_GE(b.nGetCapacity(), 10u);
  std::memcpy(b.pGetData(), "0123456789", 10);
  b.SetUtilSize(10);
  EXPECT_EQ(Text(b), "0123456789");
  ExpectTerminated(b);
  b.SetUtilSize(1000);  // past the capacity: ignored
  EXPECT_EQ(b.nGetTailleUtile(), 10u);

  m_alloc.ResetCalls();
  EXPECT_EQ(b.nSetMemorySize(5), 0);  // within the capacity
  EXPECT_EQ(b.nAssign("xyz", 3), 0);  // exclusive, fits: reused
  EXPECT_EQ(m_alloc.nGetAllocationCalls(), 0);
  EXPECT_EQ(Text(b), "xyz");

  CTNBIN c;
  c.Assign(b, 2);
  EXPECT_EQ(Text(c), "xy");
  EXPECT_EQ(Text(b), "xyz");
  c.Assign(b);
  EXPECT_EQ(c.pGetData(), b.pGetData());
  c.Take(b);
  EXPECT_EQ(b.pGetData(), nullptr);
  EXPECT_EQ(Count(c.pGetData()), 1u);
  c.Take(c);
  EXPECT_EQ(Text(c), "xyz");

  EXPECT_EQ(c.nAssign("q", 0), 0);
  EXPECT_EQ(c.pGetData(), nullptr);
  EXPECT_EQ(c.nAssignInit(nullptr, 4), 0);
  EXPECT_EQ(c.pGetData(), nullptr);
  EXPECT_EQ(c.nSetSize(4), 0);
  EXPECT_EQ(c.nGetTailleUtile(), 4u);
  ExpectTerminated(c);
}

TEST_F(CTNBINTest, CodePageConversions) {
  CTNBIN b = Bin("old");
  EXPECT_EQ(b.nAffecteToANSI(L"\u00e9\u20ac", -1, 1252, 0, nullptr, nullptr, 8), 0);
  EXPECT_EQ(Text(b), "\xE9\x80");
  EXPECT_GE(b.nGetCapacity(), 2u + 8u);
  EXPECT_EQ(b.nAffecteToANSI(L"", -1, 1252), 0);
  EXPECT_EQ(b.pGetData(), nullptr);

  EXPECT_EQ(b.nAffecteToUNICODE("\xE9t", -1, 1252), 0);
  ASSERT_EQ(b.nGetTailleUtile(), 2 * sizeof(wchar_t));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(b.pGetData()), 2), L"\u00e9t");
  EXPECT_EQ(b.nAffecteToUNICODE("\xFF\xFE", 2, 65001, MB_ERR_INVALID_CHARS), 105);
  EXPECT_EQ(b.pGetData(), nullptr);
}

}  // namespace
