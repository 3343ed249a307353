#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CTNBIN.h"
#include "CXYString.h"
#include "CodePage.h"
#include "STManipAUB.h"
#include "support/SharedStringFixture.h"
#include "XMalloc.h"

namespace {

using WStr = CXYString<wchar_t>;
using AStr = CXYString<char>;
using Slot = CStandInStrMemAlloc::eSLOT;

constexpr wchar_t kWideMarker = static_cast<wchar_t>(0xFFFFFFFFu);

std::string Text(const AStr& s) { return std::string(s.pszGet(), s.nGetLength()); }
std::wstring Text(const WStr& s) { return std::wstring(s.pszGet(), s.nGetLength()); }
std::string Text(const CTNBIN& b) {
  return b.pGetData() ? std::string(reinterpret_cast<const char*>(b.pGetData()), b.nGetTailleUtile())
                      : std::string();
}

TEST_F(SharedStringTest, ChangeThroughACopySparesTheOtherHolder) {
  struct Case {
    const char* name;
    std::function<int(WStr&)> change;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"nAffecte", [](WStr& s) { return s.nAffecte(L"other"); }, L"other"},
      {"append", [](WStr& s) { return s.__FillDynStr(L"XY", 2, s.nGetLength()); }, L"shared textXY"},
      {"overwrite", [](WStr& s) { return s.__FillDynStr(L"Z", 1, 0); }, L"Z"},
      {"nSetLength", [](WStr& s) { return s.nSetLength(3); }, L"sha"},
      {"nUnshare", [](WStr& s) { return s.nUnshare(); }, L"shared text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WStr original(L"shared text");
    WStr copy(original);
    ASSERT_EQ(copy.pGetData(), original.pGetData());
    ASSERT_EQ(Count(original.pGetData()), 2u);
    EXPECT_EQ(c.change(copy), 0);
    EXPECT_EQ(Text(copy), c.expected);
    EXPECT_EQ(copy.pszGet()[copy.nGetLength()], L'\0');
    EXPECT_NE(copy.pGetData(), original.pGetData());
    EXPECT_EQ(Text(original), L"shared text");
    EXPECT_EQ(Count(original.pGetData()), 1u);
  }
}

TEST_F(SharedStringTest, OversizedRequestsFailWith108BeforeAnyAllocatorCall) {
  const std::pair<const char*, std::function<int()>> cases[] = {
      {"wide 0x7fffff00", [] { return WStr().__nNew(0x7fffff00, nullptr, 0); }},
      // 0x40000000 characters are 2^32 bytes: the header could not count them.
      {"wide 0x40000000", [] { return WStr().__nNew(0x40000000, nullptr, 0); }},
      {"wide nSetLength", [] { return WStr().nSetLength(0x40000000); }},
      {"wide nAffecte", [] { return WStr().nAffecte(L"x", 0x40000000); }},
      {"wide prepare", [] { return WStr().__nPrepareModification(0x40000000); }},
      {"wide negative", [] { return WStr().__nNew(-1, nullptr, 0); }},
      {"count above n", [] { return WStr().__nNew(2, L"abc", 3); }},
      {"8-bit 0x7fffff00", [] { return AStr().__nNew(0x7fffff00, nullptr, 0); }},
      {"8-bit nSetLength", [] { return AStr().nSetLength(-1); }},
      {"fill past the length", [] { return AStr().__FillDynStr("x", 1, 1); }},
      {"binary 0x7fffff00", [] { return CTNBIN()._nNew(0x7fffff00, nullptr, 0); }},
      {"binary negative", [] { return CTNBIN().nAssign("x", -1); }},
      {"nSetSize negative", [] { return CTNBIN().nSetSize(-1); }},
      {"nSetMemorySize", [] { return CTNBIN().nSetMemorySize(0x7fffff00); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    m_alloc.ResetCalls();
    EXPECT_EQ(c.second(), 108);
    EXPECT_EQ(m_alloc.nGetAllocationCalls(), 0);
  }
  CTNBIN ab("ab", 2);
  m_alloc.ResetCalls();
  EXPECT_EQ(ab.nRepete(ab, 0x40000000), 108);  // 2^31 bytes
  EXPECT_EQ(CTNBIN("x", -1).pGetData(), nullptr);
  EXPECT_EQ(m_alloc.nGetAllocationCalls(), 0);
  EXPECT_EQ(Text(ab), "ab");
}

TEST_F(SharedStringTest, LargestSizesReachTheAllocator) {
  // The allocator refuses them here; what counts is that it was asked.
  m_alloc.FailNextCalls(3, 123);
  EXPECT_EQ(AStr().__nNew(0x7ffffeff, nullptr, 0), 123);
  EXPECT_EQ(CTNBIN()._nNew(0x7ffffeff, nullptr, 0), 123);
  EXPECT_EQ(WStr().__nNew(0x3FFFFFFF, nullptr, 0), 123);
  EXPECT_EQ(m_alloc.nGetAllocationCalls(), 3);
}

TEST(SharedStringNoAllocator, AllocationsFailWith100) {
  IStrMemAlloc* saved = CInformationModule::ms_piStrMemAlloc;
  CInformationModule::ms_piStrMemAlloc = nullptr;
  AStr a;
  EXPECT_EQ(a.nAffecte("abc"), 100);
  EXPECT_EQ(a.pGetData(), nullptr);
  EXPECT_EQ(AStr("abc").pGetData(), nullptr);
  WStr w;
  EXPECT_EQ(w.__nConversion("abc", -1, 0, 1252), 100);
  EXPECT_EQ(w.nSetLength(4), 100);
  CTNBIN b;
  EXPECT_EQ(b.nAssign("abc", 3), 100);
  EXPECT_EQ(b.nConcat("abc", 3), 100);
  EXPECT_EQ(b.nSetSize(3), 100);
  EXPECT_EQ(b.nAffecteToUNICODE("abc", -1, 1252), 100);
  EXPECT_EQ(b.pGetData(), nullptr);
  CInformationModule::ms_piStrMemAlloc = saved;
}

// A refused unshare or growth keeps the value, its block and its reference.
TEST_F(SharedStringTest, RefusedAllocationKeepsTheValue) {
  struct Case {
    const char* name;
    bool bShared;
    std::function<int(WStr&)> change;
  };
  const Case cases[] = {
      {"shared nAffecte", true, [](WStr& s) { return s.nAffecte(L"x"); }},
      {"shared nUnshare", true, [](WStr& s) { return s.nUnshare(); }},
      {"shared fill", true, [](WStr& s) { return s.__FillDynStr(L"x", 1, 0); }},
      {"shared nSetLength", true, [](WStr& s) { return s.nSetLength(2); }},
      {"grown nAffecte", false, [](WStr& s) { return s.nAffecte(L"a much longer text"); }},
      {"grown fill", false, [](WStr& s) { return s.__FillDynStr(L"more", 4, 5); }},
      {"grown nSetLength", false, [](WStr& s) { return s.nSetLength(50); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WStr s(L"value");
    WStr other;
    if (c.bShared) other = s;
    wchar_t* before = s.pGetData();
    m_alloc.FailNextCalls(1, 123);
    EXPECT_EQ(c.change(s), 123);
    EXPECT_EQ(s.pGetData(), before);
    EXPECT_EQ(Text(s), L"value");
    EXPECT_EQ(Count(before), c.bShared ? 2u : 1u);
  }
}

TEST_F(SharedStringTest, EmptyTextLeavesNoBlock) {
  const std::pair<const char*, std::function<int(AStr&)>> cases[] = {
      {"empty", [](AStr& s) { return s.nAffecte(""); }},
      {"null", [](AStr& s) { return s.nAffecte(nullptr); }},
      {"length 0", [](AStr& s) { return s.nAffecte("abc", 0); }},
      {"length -2", [](AStr& s) { return s.nAffecte("abc", -2); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    AStr s("abc");
    AStr other(s);
    m_alloc.ResetCalls();
    EXPECT_EQ(c.second(s), 0);
    EXPECT_EQ(s.pGetData(), nullptr);
    EXPECT_EQ(s.pszGet(), AStr::ChaineVide);
    EXPECT_EQ(m_alloc.nGetAllocationCalls(), 0);
    EXPECT_EQ(Text(other), "abc");
  }
  EXPECT_EQ(AStr("").pGetData(), nullptr);
  EXPECT_EQ(m_alloc.nGetAllocationCalls(), 0);
}

TEST_F(SharedStringTest, SourceInsideTheOwnBlock) {
  // The allocator always moves a block it grows, so a source that was not
  // found again in the new block would be read after it was freed.
  for (const bool bShared : {false, true}) {
    SCOPED_TRACE(bShared ? "shared" : "exclusive");
    WStr s(L"abcdef");
    WStr keep;
    if (bShared) keep = s;
    EXPECT_EQ(s.__FillDynStr(s.pGetData(), 6, 6), 0);
    EXPECT_EQ(Text(s), L"abcdefabcdef");
    if (bShared) keep = s;
    EXPECT_EQ(s.nAffecte(s.pGetData() + 2, 4), 0);
    EXPECT_EQ(Text(s), L"cdef");
    if (bShared) keep = s;
    EXPECT_EQ(s.__FillDynStr(s.pGetData() + 1, 3, 0), 0);
    EXPECT_EQ(Text(s), L"def");
  }
  AStr a("hello");
  EXPECT_EQ(a.nAffecte(a.pGetData() + 1), 0);
  EXPECT_EQ(Text(a), "ello");
}

// Two letters and the all-ones marker, in both widths, with and without
// flags bit 0.
TEST_F(SharedStringTest, EndMarkerAcrossConversions) {
  const wchar_t wideText[] = {L'a', L'b', kWideMarker};
  auto wide = [&](std::uint32_t flags) {
    WStr w;
    w.__nNew(3, wideText, 3);
    SetFlags(w.pGetData(), flags);
    return w;
  };
  auto narrow = [&](std::uint32_t flags) {
    AStr a;
    a.__nNew(3, "ab\xFF", 3);
    SetFlags(a.pGetData(), flags);
    return a;
  };
  auto plainBytes = [](const WStr& w, unsigned cp) {
    char* p = nullptr;
    EXPECT_TRUE(w.bCreateY(&p, cp));
    std::string s = p ? p : "(null)";
    XMALLOC_Del_(p);
    return s;
  };
  auto toAnsi = [&](std::uint32_t flags, unsigned cp, std::uint32_t* outFlags) {
    const WStr w = wide(flags);
    const CTNBIN source(w.pGetData(), 12);
    SetFlags(source.pGetData(), flags);
    CTNBIN out;
    EXPECT_EQ(out.nAffecteToANSI(&source, cp), 0);
    *outFlags = out.dwGetFlags();
    return Text(out);
  };

  struct Case {
    const char* name;
    std::function<std::string(std::uint32_t*)> convert;
    std::string expected;
    std::uint32_t expectedFlags;
  };
  const Case cases[] = {
      {"wide buffer to 1252 keeps the marker", [&](std::uint32_t* f) { return toAnsi(1, 1252, f); },
       "ab\xFF", 1},
      {"without bit 0 it is a character", [&](std::uint32_t* f) { return toAnsi(0, 1252, f); },
       "ab?", 0},
      {"to UTF-8 it is a character", [&](std::uint32_t* f) { return toAnsi(1, 65001, f); }, "ab?", 0},
      {"plain copy keeps it", [&](std::uint32_t* f) { *f = 0; return plainBytes(wide(1), 1252); },
       "ab\xFF", 0},
      {"wide string to UTF-8", [&](std::uint32_t* f) {
         const AStr s = CWString_To_UTF8(wide(1));
         *f = s.dwGetFlags();
         return Text(s);
       }, "ab?", 0},
      // Code page to wide keeps the marker, which then encodes as '?'.
      {"8-bit with marker to UTF-8", [&](std::uint32_t* f) {
         const AStr s = CAString_To_UTF8(narrow(1), 1252);
         *f = s.dwGetFlags();
         return Text(s);
       }, "ab?", 0},
      {"8-bit without marker to UTF-8", [&](std::uint32_t* f) {
         const AStr s = CAString_To_UTF8(narrow(0), 1252);
         *f = s.dwGetFlags();
         return Text(s);
       }, "ab\xC3\xBF", 0},
      {"8-bit text straight to UTF-8", [&](std::uint32_t* f) {
         AStr s;
         EXPECT_EQ(s.nAffecteToUTF8("ab\xFF", 3, 1252), 0);
         *f = s.dwGetFlags();
         return Text(s);
       }, "ab\xC3\xBF", 0},
      {"the marker alone", [&](std::uint32_t* f) {
         WStr w;
         w.__nNew(1, &kWideMarker, 1);
         SetFlags(w.pGetData(), 1);
         const CTNBIN source(w.pGetData(), 4);
         SetFlags(source.pGetData(), 1);
         CTNBIN out;
         EXPECT_EQ(out.nAffecteToANSI(&source, 1252), 0);
         *f = out.dwGetFlags();
         return Text(out);
       }, "\xFF", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint32_t flags = 99;
    EXPECT_EQ(c.convert(&flags), c.expected);
    EXPECT_EQ(flags, c.expectedFlags);
  }

  wchar_t* p = nullptr;
  ASSERT_TRUE(narrow(1).bCreateY(&p, 1252));
  EXPECT_EQ(std::wstring(p), std::wstring(wideText, 3));
  XMALLOC_Del_(p);
}

TEST_F(SharedStringTest, ConversionsBetweenForms) {
  WStr w;
  EXPECT_EQ(w.__nConversion("caf\xE9", -1, 5, 1252), 0);  // the library's 1252 table
  EXPECT_EQ(Text(w), L"caf\u00e9");
  EXPECT_GE(SharedBlock::nGetCapacity(w.pGetData()), (4u + 5u + 1u) * sizeof(wchar_t));
  EXPECT_EQ(w.__nConversion("\x80", 1, 0, 1252, MB_ERR_INVALID_CHARS), 0);  // through iconv
  EXPECT_EQ(Text(w), L"\u20ac");
  EXPECT_EQ(w.__nConversion("\xC3\xA9t\xC3\xA9", -1, 0, 65001), 0);
  EXPECT_EQ(Text(w), L"\u00e9t\u00e9");
  EXPECT_EQ(w.__nConversion(nullptr, 3, 0, 1252), 0);
  EXPECT_EQ(w.pGetData(), nullptr);

  // UTF-8 that yields nothing: empty, never 105, for the wide string; 105
  // for the 8-bit target.
  EXPECT_EQ(w.nAffecteUTF8("\xFF"), 0);
  EXPECT_EQ(w.pGetData(), nullptr);
  AStr a;
  EXPECT_EQ(a.nAffecteUTF8("\xFF", -1, 1252), 105);
  EXPECT_EQ(a.nAffecteUTF8("\xC3\xA9", -1, 1252), 0);
  EXPECT_EQ(Text(a), "\xE9");
  EXPECT_EQ(a.nAffecteToUTF8(L"\u00e9\u20ac"), 0);
  EXPECT_EQ(Text(a), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(a.__nConversion(L"\u00e9\u4e2d", -1, 0, 1252), 0);
  EXPECT_EQ(Text(a), "\xE9?");

  // UTF-16 units are widened one by one: a surrogate stays a character.
  const unsigned short utf16[] = {0x61, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(w.nAffecteUTF16(utf16, -1), 0);
  EXPECT_EQ(Text(w), std::wstring({L'a', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}));
  const unsigned int utf32[] = {0x1F600, 0x41, 0};
  EXPECT_EQ(w.nAffecteUTF32(utf32, -1), 0);
  EXPECT_EQ(Text(w), L"\U0001F600A");
  EXPECT_EQ(a.nAffecteUTF32(utf32, 2, 65001), 0);
  EXPECT_EQ(Text(a), "\xF0\x9F\x98\x80" "A");
  EXPECT_EQ(a.nAffecteUTF16(utf16, 1, 1252), 0);
  EXPECT_EQ(Text(a), "a");

  // Free forms; code page -1 is the locale's, 0 (as 1252) without a locale.
  EXPECT_EQ(Text(PCASTR_To_CWString("\xE9", static_cast<unsigned>(-1))), L"\u00e9");
  EXPECT_EQ(Text(PCWSTR_To_CAString(L"\u00e9", 1252)), "\xE9");
  EXPECT_EQ(Text(UTF8_To_CWString("\xC3\xA9x", 2)), L"\u00e9");
  EXPECT_EQ(Text(PCWSTR_N_To_UTF8(L"\u00e9x", 1)), "\xC3\xA9");
  EXPECT_EQ(Text(PCASTR_To_UTF8("\xE9", 1252)), "\xC3\xA9");
  EXPECT_EQ(Text(UTF8_To_CAString("\xC3\xA9", 1252)), "\xE9");
  const AStr utf8("\xC3\xA9");
  const AStr same = CAString_To_UTF8(utf8, 65001);
  EXPECT_EQ(same.pGetData(), utf8.pGetData());  // shared, not converted
}

TEST_F(SharedStringTest, ThreadsShareAndReleaseAtOnce) {
  constexpr int kThreads = 8;
  WStr s(L"shared between threads");
  void* data = s.pGetData();
  std::atomic<int> ready{0};
  auto startTogether = [&] {
    ready.fetch_add(1);
    while (ready.load() < kThreads) std::this_thread::yield();
  };

  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&] {
      startTogether();
      for (int r = 0; r < 20000; ++r) {
        WStr c(s);
        WStr d;
        d = c;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(Count(data), 1u);
  EXPECT_EQ(m_alloc.nGetCalls(Slot::SLOT_RELEASE), 0);

  // The last references go at once: exactly one holder gives the block back.
  std::vector<WStr> copies(kThreads, s);
  s.ReleaseDynStr();
  ASSERT_EQ(Count(data), static_cast<std::uint32_t>(kThreads));
  ready = 0;
  threads.clear();
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      startTogether();
      copies[i].ReleaseDynStr();
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(m_alloc.nGetCalls(Slot::SLOT_RELEASE), 1);
  EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u);
}

TEST_F(SharedStringTest, AllocatorVersionChoosesTheSlots) {
  struct Row {
    int version;
    Slot alloc, realloc, absentAlloc, absentRealloc;
  };
  const Row rows[] = {
      {1, Slot::SLOT_ALLOC, Slot::SLOT_REALLOC, Slot::SLOT_ALLOC_EX, Slot::SLOT_REALLOC_EX},
      {2, Slot::SLOT_ALLOC_EX, Slot::SLOT_REALLOC_EX, Slot::SLOT_ALLOC, Slot::SLOT_REALLOC},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.version);
    m_alloc.SetVersion(r.version);
    m_alloc.ResetCalls();
    CTNBIN b;
    EXPECT_EQ(b.nAssign("abc", 3), 0);
    EXPECT_EQ(b.nSetMemorySize(100, 0x20), 0);  // exclusive: grown in place
    EXPECT_EQ(Text(b), "abc");
    EXPECT_EQ(m_alloc.nGetCalls(r.alloc), 1);
    EXPECT_EQ(m_alloc.nGetCalls(r.realloc), 1);
    EXPECT_EQ(m_alloc.nGetCalls(r.absentAlloc), 0);
    EXPECT_EQ(m_alloc.nGetCalls(r.absentRealloc), 0);
    EXPECT_EQ(m_alloc.dwGetLastFlags(), r.version >= 2 ? 0x20u : 0u);
  }
}

TEST_F(SharedStringTest, ManipViewOfEachType) {
  const WStr w(L"abc");
  const AStr a("abcd");
  const CTNBIN b("\x01\x02\x03\x04\x05", 5);
  struct Case {
    void* handle;
    std::uint16_t type;
    long length;
    std::uint32_t useful, content;
  };
  const Case cases[] = {
      {w.pGetData(), 16, 3, 12, 16}, {a.pGetData(), 19, 4, 4, 5}, {b.pGetData(), 28, 5, 5, 5},
      {nullptr, 16, 0, 0, 4},        {nullptr, 19, 0, 0, 1},      {nullptr, 28, 0, 0, 0},
      {a.pGetData(), 8, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << (c.handle ? "" : " null"));
    const STManipAUB m{c.handle, c.type, 0};
    EXPECT_EQ(m.nGetLongueur(), c.length);
    EXPECT_EQ(m.nGetTailleUtile(), c.useful);
    std::uint32_t size = 99;
    const unsigned char* p = m.pbyGetContenu(&size);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(size, c.content);
    EXPECT_EQ(m.pbyGetContenuUtile(&size), p);
    EXPECT_EQ(size, c.useful);
    for (std::uint32_t i = c.useful; i < c.content; ++i) EXPECT_EQ(p[i], 0) << i;
  }
  EXPECT_STREQ((STManipAUB{nullptr, 19, 0}.pszGetStringA()), "");
  EXPECT_STREQ((STManipAUB{nullptr, 16, 0}.pszGetStringW()), L"");
  EXPECT_STREQ((STManipAUB{w.pGetData(), 16, 0}.pszGetStringW()), L"abc");
}

}  // namespace
