// The owning handler families of the typed value: shared texts and
// binaries, owned texts, tables of values, decimals, counted objects and
// runtime interfaces. Every test runs under the counting fixture, which
// fails a test that leaves a shared block, a decimal or an object alive.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "AnyHandlers.h"
#include "CAny.h"
#include "CTNBIN.h"
#include "CTNMemoImage.h"
#include "CXYString.h"
#include "XMalloc.h"
#include "support/AnyCountingFixture.h"

namespace {

using anyhandlers = AnyCountingTest;

// ---- Reading values -----------------------------------------------------

std::wstring Wide(const CAny& v) {
  const wchar_t* p = nullptr;
  EXPECT_EQ(ANY_OK, v.nGetPCWSTR(&p));
  std::size_t n = 0;
  EXPECT_EQ(ANY_OK, v.nGetSTRLEN(&n));
  return std::wstring(p, n);
}

std::string Narrow(const CAny& v) {
  const char* p = nullptr;
  EXPECT_EQ(ANY_OK, v.nGetPCASTR(&p));
  return std::string(p);
}

void* Handle(const CAny& v) {
  void* p = nullptr;
  std::memcpy(&p, v.pbyValue(), sizeof p);
  return p;
}

// The data form's bytes.
std::string DataBytes(const CAny& v) {
  std::size_t n = 0;
  EXPECT_EQ(ANY_OK, v.nGetDataSize(&n));
  std::string s(n, '\0');
  EXPECT_EQ(ANY_OK, v.nFillDataBuffer(s.data()));
  return s;
}

IDecimal* Decimal(const CAny& v) { return static_cast<IDecimal*>(Handle(v)); }

__int128 DecimalValue(const CAny& v) {
  __int128 value = 0;
  int p = 0, s = 0;
  EXPECT_TRUE(StandIn_bReadDecimal(Decimal(v), &value, &p, &s));
  return value;
}

// What a value holds, for comparing a copy with its source: the data form
// for texts, binaries and decimals; the object's address for objects; the
// elements for tables.
std::string Content(const CAny& v) {
  switch (v.nGetTypeCode()) {
    case ANY_TABANY: {
      void* p = nullptr;
      std::size_t n = 0;
      EXPECT_EQ(ANY_OK, v.nGetDataAdr(&p));
      EXPECT_EQ(ANY_OK, v.nGetDataSize(&n));
      std::string s = std::to_string(n) + ":";
      for (std::size_t i = 0; i < n; ++i) s += Content(static_cast<const CAny*>(p)[i]) + "|";
      return s;
    }
    case ANY_I4: return std::to_string(v.m_clIntern.tGet<std::int32_t>());
    case ANY_MEMOIMG:
    case ANY_CONVOYEUR:
    case ANY_POLICE:
    case ANY_OBJET_BASE:
    case ANY_DINO:
    case ANY_OBJET_141:
      return std::to_string(reinterpret_cast<std::uintptr_t>(Handle(v)));
    default: return DataBytes(v);
  }
}

// ---- Making values of each owning kind ----------------------------------

void FillDSTRW(CAny& v, int k) {
  v.__SetType(ANY_DSTRW, 0);
  const std::wstring s = L"wide text " + std::to_wstring(k);
  v.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
}
void FillDSTRA(CAny& v, int k) {
  v.__SetType(ANY_DSTRA, 0);
  const std::string s = "narrow text " + std::to_string(k);
  v.SetValue(s.c_str(), s.size());
}
void FillPSTRA(CAny& v, int k) {
  v.__SetType(ANY_PSTRA, 0);
  v.SetValue(("owned " + std::to_string(k)).c_str());
}
void FillPSTRW(CAny& v, int k) {
  v.__SetType(ANY_PSTRW, 0);
  v.SetValue((L"owned wide " + std::to_wstring(k)).c_str());
}
void FillBIN(CAny& v, int k) {
  const unsigned char ab[] = {1, 2, 0, static_cast<unsigned char>(k)};
  v.SetBIN(ab, sizeof ab);
}
void FillDECIMAL(CAny& v, int k) {
  v.__SetType(ANY_DECIMAL, 0);
  ASSERT_NE(nullptr, Decimal(v));
  ASSERT_TRUE(StandIn_bWriteDecimal(Decimal(v), 12345 + k, 10, 2));
}
void FillTABANY(CAny& v, int k) {
  CAny a[3];
  a[0].SetI4(k);
  FillDSTRA(a[1], k);
  FillDECIMAL(a[2], k);
  v.__SetType(ANY_TABANY, 0);
  v.SetValue(a, 3);
}
// The value keeps the only reference of a new object.
void FillCounted(CAny& v, unsigned short wCode) {
  CStandInCounted* p = new CStandInCounted;  // the maker's reference
  v.__SetType(wCode, 0);
  v.SetValue(p);
  p->dwRelease();
}
void FillMEMOIMG(CAny& v, int k) {
  // The holder's binary data is a shared block: the fixture sees it when
  // the holder is not destroyed.
  CTNMemoImage* p = new CTNMemoImage;
  p->dwAddRef();
  const unsigned char ab[] = {static_cast<unsigned char>(k)};
  p->SetBinData(CTNBIN(ab, 1));
  v.__SetType(ANY_MEMOIMG, 0);
  v.SetValue(p);
  p->dwRelease();
}
void FillCONVOYEUR(CAny& v, int) { FillCounted(v, ANY_CONVOYEUR); }
void FillPOLICE(CAny& v, int) { FillCounted(v, ANY_POLICE); }
void FillObject(CAny& v, unsigned short wCode) {
  CStandInObject* p = new CStandInObject;  // the maker's reference
  v.__SetType(wCode, 0);
  v.SetValue(p);
  p->Release();
}
void FillOBJET_BASE(CAny& v, int) { FillObject(v, ANY_OBJET_BASE); }
void FillOBJET_141(CAny& v, int) { FillObject(v, ANY_OBJET_141); }
void FillDINO(CAny& v, int) { FillObject(v, ANY_DINO); }

struct stKind {
  const char* pszName;
  unsigned short wCode;
  unsigned short wCopyCode;
  void (*pfnFill)(CAny&, int);
};

const stKind kaKinds[] = {
    {"DSTRW", ANY_DSTRW, ANY_DSTRW, FillDSTRW},
    {"DSTRA", ANY_DSTRA, ANY_DSTRA, FillDSTRA},
    {"PSTRA", ANY_PSTRA, ANY_PSTRA, FillPSTRA},
    {"PSTRW", ANY_PSTRW, ANY_PSTRW, FillPSTRW},
    {"BIN", ANY_BIN, ANY_BIN, FillBIN},
    {"DECIMAL", ANY_DECIMAL, ANY_DECIMAL, FillDECIMAL},
    {"TABANY", ANY_TABANY, ANY_TABANY, FillTABANY},
    {"MEMOIMG", ANY_MEMOIMG, ANY_MEMOIMG, FillMEMOIMG},
    {"CONVOYEUR", ANY_CONVOYEUR, ANY_CONVOYEUR, FillCONVOYEUR},
    {"POLICE", ANY_POLICE, ANY_POLICE, FillPOLICE},
    {"OBJET_BASE", ANY_OBJET_BASE, ANY_OBJET_BASE, FillOBJET_BASE},
    {"OBJET_141", ANY_OBJET_141, ANY_OBJET_BASE, FillOBJET_141},
    {"DINO", ANY_DINO, ANY_DINO, FillDINO},
};

// ---- Ownership of every kind --------------------------------------------

TEST_F(anyhandlers, EveryOwningKindCopiesResetsCastsAwayAndLeavesNothing) {
  for (const stKind& k : kaKinds) {
    SCOPED_TRACE(k.pszName);
    CAny a;
    k.pfnFill(a, 1);
    ASSERT_EQ(k.wCode, a.wGetType());
    const std::string sFirst = Content(a);
    {
      CAny b(a);
      EXPECT_EQ(k.wCopyCode, b.wGetType());
      EXPECT_EQ(sFirst, Content(b));

      // Re-set the copy: the source keeps its content.
      k.pfnFill(b, 2);
      EXPECT_NE(sFirst, Content(b));
      EXPECT_EQ(sFirst, Content(a));

      // A copy cast away releases what it held, not the source's.
      CAny c;
      c = a;
      c.__SetType(ANY_I4, 0);
      EXPECT_EQ(ANY_I4, c.wGetType());
      EXPECT_EQ(0, c.m_clIntern.tGet<std::int32_t>());
      EXPECT_EQ(sFirst, Content(a));

      // Copying over a value of the same kind replaces what it held.
      b = a;
      EXPECT_EQ(sFirst, Content(b));
    }
    EXPECT_EQ(sFirst, Content(a));
    k.pfnFill(a, 3);
    EXPECT_NE(sFirst, Content(a));
    a.__SetType(ANY_I4, 0);
  }
  EXPECT_EQ(0, nNewDecimals());
  EXPECT_EQ(0, nNewCounted());
  EXPECT_EQ(0, nNewObjects());
}

TEST_F(anyhandlers, SharedKindsCopyByReferenceAndOwnedKindsByCopy) {
  CAny a, b;
  FillDSTRW(a, 1);
  b = a;
  EXPECT_EQ(Handle(a), Handle(b));
  EXPECT_EQ(2u, Count(Handle(a)));

  FillPSTRA(a, 1);
  b = a;
  EXPECT_NE(Handle(a), Handle(b));
  EXPECT_EQ(Narrow(a), Narrow(b));

  FillDECIMAL(a, 1);
  b = a;
  EXPECT_NE(Decimal(a), Decimal(b));
  EXPECT_EQ(DecimalValue(a), DecimalValue(b));
  EXPECT_EQ(2, nNewDecimals());
}

TEST_F(anyhandlers, ACopyOfANullSharedTextSharesAndStaysNull) {
  CAny a;
  FillDSTRW(a, 1);
  a.SetNull();
  CAny b(a);
  EXPECT_EQ(ANY_DSTRW | ANY_FLAG_NULL, b.wGetType());
  EXPECT_EQ(Handle(a), Handle(b));
  EXPECT_EQ(2u, Count(Handle(a)));
}

TEST_F(anyhandlers, ObjectCopiesArePlainAndCarryNoFlags) {
  struct stCase {
    unsigned short wCode, wCopy;
  };
  for (const stCase& c : {stCase{ANY_OBJET_141, ANY_OBJET_BASE}, stCase{ANY_OBJET_142, ANY_OBJET_BASE},
                          stCase{ANY_OBJET_BASE, ANY_OBJET_BASE}, stCase{ANY_DINO, ANY_DINO}}) {
    SCOPED_TRACE(c.wCode);
    CStandInObject* p = new CStandInObject;
    CAny a;
    a.__SetType(c.wCode, 0);
    a.SetValue(p);
    a.m_clIntern.m_wType |= ANY_FLAG_NULL | ANY_FLAG_RUNTIME;
    CAny b(a);
    EXPECT_EQ(c.wCopy, b.wGetType());
    EXPECT_EQ(p, Handle(b));
    EXPECT_EQ(3u, p->nGetCount());
    p->Release();
  }
}

// ---- Setting objects ----------------------------------------------------

TEST_F(anyhandlers, TheHeldObjectSetAgainWithItsLastReferenceSurvives) {
  for (unsigned short wCode : {ANY_OBJET_BASE, ANY_OBJET_141, ANY_DINO}) {
    SCOPED_TRACE(wCode);
    CAny v;
    FillObject(v, wCode);
    CStandInObject* p = static_cast<CStandInObject*>(Handle(v));
    ASSERT_EQ(1u, p->nGetCount());
    v.SetValue(p);
    ASSERT_EQ(1, nNewObjects());
    EXPECT_EQ(1u, p->nGetCount());
    EXPECT_EQ(p, Handle(v));
  }
  for (unsigned short wCode : {ANY_CONVOYEUR, ANY_POLICE}) {
    SCOPED_TRACE(wCode);
    CAny v;
    FillCounted(v, wCode);
    v.SetValue(Handle(v));
    EXPECT_EQ(1, nNewCounted());
  }
}

TEST_F(anyhandlers, SettingAnotherObjectReleasesTheOldOneAndReferencesTheNew) {
  CAny v;
  FillObject(v, ANY_OBJET_BASE);
  CStandInObject* pNew = new CStandInObject;
  ASSERT_EQ(2, nNewObjects());
  v.SetValue(pNew);
  EXPECT_EQ(1, nNewObjects());  // the old one had only the value's reference
  EXPECT_EQ(2u, pNew->nGetCount());
  pNew->Release();
  void* pOut = nullptr;
  EXPECT_EQ(ANY_OK, v.nFillBuffer(&pOut));
  EXPECT_EQ(pNew, pOut);
}

TEST_F(anyhandlers, MemoImageAndFontGivenNullHoldNothing) {
  for (unsigned short wCode : {ANY_MEMOIMG, ANY_POLICE, ANY_CONVOYEUR}) {
    SCOPED_TRACE(wCode);
    CAny v;
    if (wCode == ANY_MEMOIMG)
      FillMEMOIMG(v, 1);
    else
      FillCounted(v, wCode);
    v.SetValue(nullptr);
    EXPECT_EQ(nullptr, Handle(v));
    EXPECT_EQ(0, nNewCounted());
    EXPECT_EQ(0u, m_alloc.nGetLiveBlocks());  // the memo holder is gone with its data
    CAny b(v);
    EXPECT_EQ(nullptr, Handle(b));
  }
}

// ---- Tables of values ---------------------------------------------------

TEST_F(anyhandlers, ATableOfThreeCopiedAndReleasedFreesBothArrays) {
  CAny a;
  FillTABANY(a, 7);
  const std::string sContent = Content(a);
  void* pArrayA = nullptr;
  ASSERT_EQ(ANY_OK, a.nGetDataAdr(&pArrayA));
  CAny b(a);
  void* pArrayB = nullptr;
  ASSERT_EQ(ANY_OK, b.nGetDataAdr(&pArrayB));
  EXPECT_NE(pArrayA, pArrayB);
  EXPECT_EQ(2, nNewDecimals());
  a.__SetType(ANY_I4, 0);
  EXPECT_EQ(1, nNewDecimals());
  EXPECT_EQ(sContent, Content(b));  // ASan: b's array is its own
  std::size_t n = 0;
  EXPECT_EQ(ANY_ERR_IMPOSSIBLE, b.nFillDataBuffer(&n));
}

TEST_F(anyhandlers, ATableSetFromItsOwnElementOrTakingAnArrayDirectly) {
  CAny v;
  FillTABANY(v, 4);
  void* p = nullptr;
  ASSERT_EQ(ANY_OK, v.nGetDataAdr(&p));
  v.SetValue(static_cast<CAny*>(p) + 1);  // the DSTRA element, about to be freed
  std::size_t n = 0;
  ASSERT_EQ(ANY_OK, v.nGetDataSize(&n));
  ASSERT_EQ(1u, n);
  ASSERT_EQ(ANY_OK, v.nGetDataAdr(&p));
  EXPECT_EQ("narrow text 4", Narrow(*static_cast<CAny*>(p)));

  // s_SetDirect: the value owns the caller's array from now on.
  CAny* pTab = static_cast<CAny*>(XMALLOC_pNew_(2 * sizeof(CAny)));
  ASSERT_NE(nullptr, pTab);
  new (&pTab[0]) CAny();
  new (&pTab[1]) CAny();
  FillDSTRW(pTab[0], 9);
  FillDECIMAL(pTab[1], 9);
  v.SetNull();
  CAny_TNTABANY::s_SetDirect(&v, STTabAny{pTab, 2});
  EXPECT_EQ(ANY_TABANY, v.wGetType());
  ASSERT_EQ(ANY_OK, v.nGetDataAdr(&p));
  EXPECT_EQ(pTab, p);
  EXPECT_EQ(1, nNewDecimals());
}

TEST_F(anyhandlers, BufferCopiesBorrowAndFreeNothing) {
  unsigned char ab[4] = {1, 2, 3, 4};
  {
    CAny a;
    a.__SetType(ANY_BUFFER, 0);
    a.SetValue(ab, sizeof ab);
    CAny b(a);
    void* p = nullptr;
    ASSERT_EQ(ANY_OK, b.nGetDataAdr(&p));
    EXPECT_EQ(ab, p);
  }
  // Freeing a stack array would have stopped the run under ASan.
  EXPECT_EQ(4, ab[3]);
}

// ---- Shared texts: SetValue(p, len) -------------------------------------

TEST_F(anyhandlers, WideTextSetByLengthReusesGrowsOrReplacesItsBuffer) {
  CAny v;
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(L"abcdef", 6 * sizeof(wchar_t));
  void* pFirst = Handle(v);
  ASSERT_NE(nullptr, pFirst);

  // Unshared and large enough: the same buffer.
  m_alloc.ResetCalls();
  v.SetValue(L"xy", 2 * sizeof(wchar_t));
  EXPECT_EQ(pFirst, Handle(v));
  EXPECT_EQ(L"xy", Wide(v));
  EXPECT_EQ(0, m_alloc.nGetAllocationCalls());

  // Unshared and too small: grown through the allocator.
  v.SetValue(L"a longer text than before", static_cast<std::size_t>(-1));
  EXPECT_EQ(L"a longer text than before", Wide(v));
  EXPECT_EQ(1, m_alloc.nGetAllocationCalls());

  // A refused growth keeps the text.
  m_alloc.FailNextCalls(1);
  const std::wstring sLong(100, L'z');
  v.SetValue(sLong.c_str(), sLong.size() * sizeof(wchar_t));
  EXPECT_EQ(L"a longer text than before", Wide(v));

  // Shared: a new buffer; the other holder keeps the text.
  CAny b(v);
  void* pShared = Handle(v);
  v.SetValue(L"new", 3 * sizeof(wchar_t));
  EXPECT_NE(pShared, Handle(v));
  EXPECT_EQ(pShared, Handle(b));
  EXPECT_EQ(1u, Count(pShared));
  EXPECT_EQ(L"a longer text than before", Wide(b));
  EXPECT_EQ(L"new", Wide(v));

  // Too long: refused without reading.
  v.SetValue(L"", std::size_t{0x7FFFFF00} * sizeof(wchar_t));
  EXPECT_EQ(L"new", Wide(v));

  // Empty or null: no buffer.
  v.SetValue(L"", 0);
  EXPECT_EQ(nullptr, Handle(v));
  EXPECT_EQ(L"", Wide(v));
}

TEST_F(anyhandlers, EightBitTextSetByLengthAndItsSourceInsideItsOwnBuffer) {
  CAny v;
  v.__SetType(ANY_DSTRA, 0);
  v.SetValue("hello world", static_cast<std::size_t>(-1));
  EXPECT_EQ("hello world", Narrow(v));
  const char* p = nullptr;
  ASSERT_EQ(ANY_OK, v.nGetPCASTR(&p));
  v.SetValue(p + 6, 5);
  EXPECT_EQ("world", Narrow(v));
  v.SetValue(nullptr, 5);
  EXPECT_EQ(nullptr, Handle(v));
  std::size_t n = 0;
  EXPECT_EQ(ANY_OK, v.nGetDataSize(&n));
  EXPECT_EQ(1u, n);
}

const unsigned short kaUnits[] = {u'u', u'v'};

TEST_F(anyhandlers, ARefusedAllocationKeepsTheOldValue) {
  struct stCase {
    const char* pszName;
    void (*pfnFill)(CAny&, int);
    void (*pfnChange)(CAny&);
  };
  const stCase kaCases[] = {
      {"DSTRW by length", FillDSTRW, [](CAny& v) { v.SetValue(L"other", 5 * sizeof(wchar_t)); }},
      {"DSTRA by length", FillDSTRA, [](CAny& v) { v.SetValue("other", 5); }},
      {"DSTRW from ANSI", FillDSTRW, [](CAny& v) { v.SetValueFromANSI("other"); }},
      {"BIN by length", FillBIN, [](CAny& v) { v.SetValue("other", 5); }},
      {"DSTRW from UTF-16", FillDSTRW,
       [](CAny& v) { CAny_TNDSTRW::s_SetFromUTF16(&v, kaUnits, 2); }},
  };
  for (const stCase& c : kaCases) {
    SCOPED_TRACE(c.pszName);
    CAny v;
    c.pfnFill(v, 1);
    CAny shared(v);  // the change cannot reuse a shared buffer
    const std::string sBefore = Content(v);
    void* pBefore = Handle(v);
    m_alloc.FailNextCalls(1);
    c.pfnChange(v);
    EXPECT_EQ(pBefore, Handle(v));
    EXPECT_EQ(sBefore, Content(v));
    EXPECT_EQ(2u, Count(pBefore));
    m_alloc.FailNextCalls(0);
  }
}

TEST_F(anyhandlers, FillBufferSharesIntoTheTargetAndReleasesWhatItHeld) {
  CAny v;
  FillBIN(v, 5);
  const unsigned char ab[] = {9, 9};
  CTNBIN out(ab, 2);
  ASSERT_EQ(2u, m_alloc.nGetLiveBlocks());
  EXPECT_EQ(ANY_OK, v.nFillBuffer(&out));
  EXPECT_EQ(1u, m_alloc.nGetLiveBlocks());
  EXPECT_EQ(Handle(v), out.pGetData());
  EXPECT_EQ(2u, Count(out.pGetData()));

  CAny w;
  FillDSTRW(w, 5);
  CXYString<wchar_t> s(L"old");
  EXPECT_EQ(ANY_OK, w.nFillBuffer(&s));
  EXPECT_EQ(Handle(w), s.pGetData());
  EXPECT_EQ(2u, m_alloc.nGetLiveBlocks());  // "old" went back
}

// ---- Text setters of the wide kinds ---------------------------------------

TEST_F(anyhandlers, AnsiSettersConvertInTheirCodePage) {
  CAny v;
  v.__SetType(ANY_DSTRW, 0);
  // Without a locale the current code page is 1252; the terminator becomes
  // a character of the value.
  v.SetValueFromANSI("\x80" "a");
  EXPECT_EQ(std::wstring(L"\x20AC" L"a") + L'\0', Wide(v));
  v.SetValueFromANSI_CP(1252, "\x80" "bc", 2);
  EXPECT_EQ(L"\x20AC" L"b", Wide(v));

  v.__SetType(ANY_PSTRW, 0);
  v.SetValueFromANSI("\x80xyz", 2);
  EXPECT_EQ(L"\x20AC" L"x", Wide(v));
  v.SetValueFromANSI("\x80xyz");
  EXPECT_EQ(L"\x20AC" L"xyz", Wide(v));
  v.SetValueFromANSI(nullptr);
  EXPECT_EQ(nullptr, Handle(v));
}

// ---- 16-bit units -------------------------------------------------------

TEST_F(anyhandlers, Utf16ReadsExactlyTheCountGiven) {
  // Exact-size heap arrays: a read past the count stops the run under ASan.
  unsigned short* pUnits = new unsigned short[3]{u'a', 0xD83D, 0xDE00};
  const std::wstring sPair = std::wstring(L"a") + static_cast<wchar_t>(0x1F600);

  CAny w;
  w.__SetType(ANY_DSTRW, 0);
  CAny_TNDSTRW::s_SetFromUTF16(&w, pUnits, 3);
  EXPECT_EQ(sPair, Wide(w));
  CAny_TNDSTRW::s_SetFromUTF16(&w, pUnits, 2);  // a high surrogate alone stays
  EXPECT_EQ(std::wstring(L"a") + static_cast<wchar_t>(0xD83D), Wide(w));

  CAny p;
  p.__SetType(ANY_PSTRW, 0);
  CAny_TNPSTRW::s_SetFromUTF16(&p, pUnits, 3);
  EXPECT_EQ(sPair, Wide(p));
  CAny_TNPSTRW::s_SetFromUTF16(&p, pUnits, 0);  // nothing changes
  EXPECT_EQ(sPair, Wide(p));
  delete[] pUnits;

  unsigned short* pOne = new unsigned short[1]{u'q'};
  CAny_TNPSTRW::s_SetFromUTF16(&p, pOne, 1);
  EXPECT_EQ(L"q", Wide(p));
  CAny_TNDSTRW::s_SetFromUTF16(&w, pOne, 1);
  EXPECT_EQ(L"q", Wide(w));
  delete[] pOne;
  CAny_TNDSTRW::s_SetFromUTF16(&w, nullptr, 0);  // empties
  EXPECT_EQ(nullptr, Handle(w));
}

// ---- Owned texts --------------------------------------------------------

TEST_F(anyhandlers, OwnedTextsCopyTheirSourceAndFillNoMoreThanTheyReport) {
  CAny v;
  v.__SetType(ANY_PSTRA, 0);
  v.SetValue("abcdef", 3);
  EXPECT_EQ("abc", Narrow(v));
  const char* p = nullptr;
  ASSERT_EQ(ANY_OK, v.nGetPCASTR(&p));
  v.SetValue(p + 1);  // the own string, freed after the copy
  EXPECT_EQ("bc", Narrow(v));

  // The useful form is exactly the reported size: an exact heap buffer.
  std::size_t n = 0;
  ASSERT_EQ(ANY_OK, v.nGetUtilDataSize(&n));
  ASSERT_EQ(2u, n);
  char* pOut = new char[n];
  EXPECT_EQ(ANY_OK, v.nFillUtilDataBuffer(pOut));
  EXPECT_EQ(0, std::memcmp(pOut, "bc", 2));
  delete[] pOut;

  // Option bit 0: a zeroed string of that many characters.
  v.SetValueOption("xyz", 5, 1);
  ASSERT_EQ(ANY_OK, v.nGetDataSize(&n));
  EXPECT_EQ(4u, n);  // "xyz" and its terminator
  v.SetValueOption(nullptr, 2, 1);
  EXPECT_EQ("", Narrow(v));
  v.SetValue("");
  EXPECT_EQ(nullptr, Handle(v));

  v.__SetType(ANY_PSTRW, 0);
  v.SetValue(L"wide", 2 * sizeof(wchar_t));
  EXPECT_EQ(L"wi", Wide(v));
  v.pstTable()->pfnDeleteStr(&v.m_clIntern);
  EXPECT_EQ(nullptr, Handle(v));
  v.pstTable()->pfnCreateStrLen(&v.m_clIntern, L"abc", 2);
  EXPECT_EQ(L"ab", Wide(v));
}

// ---- Decimals -----------------------------------------------------------

TEST_F(anyhandlers, DecimalsLoadFromObjectsAndBytesAndTellTheirSign) {
  CAny a, b;
  FillDECIMAL(a, 0);
  b.__SetType(ANY_DECIMAL, 0);
  b.SetValue(Decimal(a));
  EXPECT_EQ(12345, DecimalValue(b));

  unsigned char abData[18] = {};
  EXPECT_EQ(ANY_OK, a.nFillDataBuffer(abData));
  ASSERT_TRUE(StandIn_bWriteDecimal(Decimal(b), 1, 10, 2));
  b.SetValue(abData, sizeof abData);
  EXPECT_EQ(12345, DecimalValue(b));

  void* p = &abData;
  EXPECT_EQ(ANY_ERR_IMPOSSIBLE, a.nGetDataAdr(&p));
  EXPECT_EQ(nullptr, p);
  EXPECT_EQ(ANY_OK, a.nFillBuffer(&p));
  EXPECT_EQ(Decimal(a), p);

  EXPECT_TRUE(a.bIsPositive());
  ASSERT_TRUE(StandIn_bWriteDecimal(Decimal(a), -5, 10, 2));
  EXPECT_FALSE(a.bIsPositive());
}

TEST_F(anyhandlers, WithoutAFactoryADecimalHoldsNothing) {
  gpiVMFactory = nullptr;
  CAny v;
  v.__SetType(ANY_DECIMAL, 0);
  EXPECT_EQ(nullptr, Decimal(v));
  unsigned char ab[18] = {};
  EXPECT_EQ(ANY_ERR_IMPOSSIBLE, v.nFillDataBuffer(ab));
  v.SetValue(ab, sizeof ab);
  EXPECT_EQ(nullptr, Decimal(v));
  CAny b(v);
  EXPECT_EQ(ANY_DECIMAL, b.wGetType());
  EXPECT_EQ(0, nNewDecimals());
}

}  // namespace
