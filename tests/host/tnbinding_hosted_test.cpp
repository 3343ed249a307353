// The stand-in runtime's value functions: its casts between value-area
// forms, its operators, its decimals and counted objects, and the modules
// that export them (the stand-in and its two variants that lack names).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CInformationDLL.h"
#include "CMoney.h"
#include "CTNBIN.h"
#include "CXYString.h"
#include "StandInControl.h"
#include "StandInStrMemAlloc.h"
#include "StandInValues.h"
#include "TestSupport.h"

namespace {

constexpr unsigned char kFill = 0xAB;

// A 40-byte target buffer, filled with a marker so that a test sees how
// many bytes a conversion wrote.
struct Buffer {
  unsigned char aby[knAnyValueSize];
  Buffer() { std::memset(aby, kFill, sizeof aby); }
  template <typename T>
  T Get() const {
    T t;
    std::memcpy(&t, aby, sizeof t);
    return t;
  }
  // Bytes written: the first marker byte from the end that is not kFill.
  std::size_t nWritten() const {
    std::size_t n = sizeof aby;
    while (n > 0 && aby[n - 1] == kFill) --n;
    return n;
  }
};

// Every test runs with its own counting string allocator as the process's;
// at the end nothing it or the stand-in made may be left.
class tnbindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_clAllocator;
    m_nDecimals = StandIn_nGetLiveDecimals();
    m_nPointerTexts = StandIn_nGetLivePointerTexts();
  }
  void TearDown() override {
    StandIn_SetDecimalSeparator(L'.');
    EXPECT_EQ(m_clAllocator.nGetLiveBlocks(), 0u);
    EXPECT_EQ(StandIn_nGetLiveDecimals(), m_nDecimals);
    EXPECT_EQ(StandIn_nGetLivePointerTexts(), m_nPointerTexts);
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }

  static int Convert(const void* pSource, unsigned int nSource, Buffer& target, unsigned int nTarget,
                     const STOCAW* pstOptions = nullptr) {
    return StandIn_nConversion(pSource, nSource, target.aby, nTarget, 0, pstOptions);
  }

  // The text a text result holds, released afterwards.
  static std::wstring TakeWide(Buffer& b, unsigned int nType) {
    std::wstring s;
    if (nType == ANY_DSTRW) {
      const auto* h = b.Get<const wchar_t*>();
      if (h != nullptr) s.assign(h, SharedBlock::nGetLength(h) / sizeof(wchar_t));
    } else {
      const auto* p = b.Get<const wchar_t*>();
      if (p != nullptr) s = p;
    }
    StandIn_FinConversion(b.aby, nType);
    return s;
  }
  static std::string TakeBytes(Buffer& b, unsigned int nType) {
    std::string s;
    const auto* h = b.Get<const char*>();
    if (nType == ANY_PSTRA) {
      if (h != nullptr) s = h;
    } else if (h != nullptr) {
      s.assign(h, SharedBlock::nGetLength(h));
    }
    StandIn_FinConversion(b.aby, nType);
    return s;
  }

  // Wide text of any value through a DSTRW cast.
  static std::wstring AsText(const void* pSource, unsigned int nSource) {
    Buffer b;
    EXPECT_EQ(Convert(pSource, nSource, b, ANY_DSTRW), 0);
    return TakeWide(b, ANY_DSTRW);
  }

  CStandInStrMemAlloc m_clAllocator;
  IStrMemAlloc* m_piSaved = nullptr;
  int m_nDecimals = 0;
  int m_nPointerTexts = 0;
};

// A wide text as the source of a cast: PSTRW, a pointer to the text pointer.
struct WideSource {
  explicit WideSource(const wchar_t* psz) : p(psz) {}
  const wchar_t* p;
};

using tnbindingCasts = tnbindingTest;

TEST_F(tnbindingCasts, NumbersToTextInBothWidths) {
  struct Case {
    unsigned int nType;
    std::uint64_t nBits;  // the value-area bytes, little-endian
    const wchar_t* pszText;
  };
  float f = 0.1f;
  double d = -1.5;
  std::uint32_t nFloatBits = 0;
  std::uint64_t nDoubleBits = 0;
  std::memcpy(&nFloatBits, &f, 4);
  std::memcpy(&nDoubleBits, &d, 8);
  const Case cases[] = {
      {ANY_I4, static_cast<std::uint32_t>(-42), L"-42"},
      {ANY_I1, 0x80, L"-128"},
      {ANY_UI8, ~0ull, L"18446744073709551615"},
      {ANY_I8, 0x8000000000000000ull, L"-9223372036854775808"},
      {ANY_BOOL, 1, L"1"},
      {ANY_R4, nFloatBits, L"0.1"},
      {ANY_R8, nDoubleBits, L"-1.5"},
      {ANY_DUREE, 90061001, L"90061001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszText);
    for (unsigned int nTarget : {ANY_DSTRW, ANY_PSTRW}) {
      Buffer b;
      ASSERT_EQ(Convert(&c.nBits, c.nType, b, nTarget), 0);
      EXPECT_EQ(b.nWritten(), 8u);
      EXPECT_EQ(TakeWide(b, nTarget), c.pszText);
    }
    const std::string sNarrow(c.pszText, c.pszText + std::wcslen(c.pszText));
    for (unsigned int nTarget : {ANY_DSTRA, ANY_PSTRA}) {
      Buffer b;
      ASSERT_EQ(Convert(&c.nBits, c.nType, b, nTarget), 0);
      EXPECT_EQ(TakeBytes(b, nTarget), sNarrow);
    }
  }
}

TEST_F(tnbindingCasts, TextToNumbersWithRangeChecks) {
  struct Case {
    const wchar_t* pszText;
    unsigned int nTarget;
    int nResult;
    std::int64_t nValue;  // read back at the target's width, sign-extended
  };
  const Case cases[] = {
      {L"  123 ", ANY_I4, 0, 123},
      {L"255", ANY_UI1, 0, 255},
      {L"256", ANY_UI1, 115, 0},
      {L"-1", ANY_UI4, 115, 0},
      {L"-2147483648", ANY_I4, 0, -2147483648LL},
      {L"2147483648", ANY_I4, 115, 0},
      {L"-129", ANY_I1, 115, 0},
      {L"1.9", ANY_I2, 0, 1},
      {L"-7,9", ANY_I8, 0, -7},
      {L"", ANY_I4, 0, 0},
      {L"12abc", ANY_I4, 105, 0},
      {L"99999999999999999999", ANY_UI8, 115, 0},
      {L"18446744073709551615", ANY_UIX, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszText);
    const wchar_t* p = c.pszText;
    Buffer b;
    ASSERT_EQ(Convert(&p, ANY_PSTRW, b, c.nTarget), c.nResult);
    if (c.nResult != 0) {
      EXPECT_EQ(b.nWritten(), 0u) << "a failed cast writes nothing";
      continue;
    }
    switch (c.nTarget) {
      case ANY_UI1: EXPECT_EQ(b.Get<std::uint8_t>(), c.nValue); EXPECT_EQ(b.nWritten(), 1u); break;
      case ANY_I2: EXPECT_EQ(b.Get<std::int16_t>(), c.nValue); EXPECT_EQ(b.nWritten(), 2u); break;
      case ANY_I4: EXPECT_EQ(b.Get<std::int32_t>(), c.nValue); EXPECT_EQ(b.nWritten(), 4u); break;
      default: EXPECT_EQ(b.Get<std::int64_t>(), c.nValue); break;
    }
  }
  // The same text as 8-bit shared text reads the same.
  CXYString<char> clText("  -300 ");
  char* h = clText.pGetData();
  Buffer b;
  EXPECT_EQ(Convert(&h, ANY_DSTRA, b, ANY_I2), 0);
  EXPECT_EQ(b.Get<std::int16_t>(), -300);
  EXPECT_EQ(Convert(&h, ANY_DSTRA, b, ANY_UI2), 115);
}

TEST_F(tnbindingCasts, NumbersAmongThemselvesAreRangeChecked) {
  struct Case {
    unsigned int nSource;
    std::uint64_t nBits;
    unsigned int nTarget;
    int nResult;
  };
  double dBig = 1e20;
  double dHalf = -2.75;
  std::uint64_t nBig = 0, nHalf = 0;
  std::memcpy(&nBig, &dBig, 8);
  std::memcpy(&nHalf, &dHalf, 8);
  const Case cases[] = {
      {ANY_I8, 300, ANY_I1, 115},          {ANY_I8, 127, ANY_I1, 0},
      {ANY_UI8, ~0ull, ANY_I8, 115},       {ANY_I4, static_cast<std::uint32_t>(-1), ANY_UI8, 115},
      {ANY_R8, nBig, ANY_I8, 115},         {ANY_R8, nBig, ANY_R4, 0},
      {ANY_R8, nHalf, ANY_I4, 0},          {ANY_UI4, 70000, ANY_UI2, 115},
      {ANY_UI4, 70000, ANY_BOOL, 0},       {ANY_I8, 5, ANY_CY, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.nSource << " -> " << c.nTarget);
    Buffer b;
    EXPECT_EQ(Convert(&c.nBits, c.nSource, b, c.nTarget), c.nResult);
  }
  Buffer b;
  ASSERT_EQ(Convert(&nHalf, ANY_R8, b, ANY_I4), 0);
  EXPECT_EQ(b.Get<std::int32_t>(), -2) << "truncated toward zero";
  ASSERT_EQ(Convert(&cases[8].nBits, ANY_UI4, b, ANY_BOOL), 0);
  EXPECT_EQ(b.Get<std::int32_t>(), 1);
  // Currency: five units are 5000000 raw, 10 bytes written.
  Buffer bMoney;
  const std::int64_t nFive = 5;
  ASSERT_EQ(Convert(&nFive, ANY_I8, bMoney, ANY_CY), 0);
  EXPECT_EQ(bMoney.nWritten(), 10u);
  CMoney stMoney;
  std::memcpy(&stMoney, bMoney.aby, sizeof stMoney);
  EXPECT_EQ(stMoney.m_awMot[0] | stMoney.m_awMot[1] << 16, 5000000);
}

TEST_F(tnbindingCasts, DecimalAndCurrencyThroughDecimalText) {
  const wchar_t* p = L"-123.450";
  Buffer b;
  ASSERT_EQ(Convert(&p, ANY_PSTRW, b, ANY_DECIMAL), 0);
  EXPECT_EQ(b.nWritten(), 8u);
  auto* piDecimal = b.Get<IDecimal*>();
  ASSERT_NE(piDecimal, nullptr);
  __int128 v = 0;
  int nPrecision = 0, nScale = 0;
  ASSERT_TRUE(StandIn_bReadDecimal(piDecimal, &v, &nPrecision, &nScale));
  EXPECT_TRUE(v == -123450);
  EXPECT_EQ(nScale, 3);
  EXPECT_EQ(AsText(b.aby, ANY_DECIMAL), L"-123.450");
  StandIn_SetDecimalSeparator(L',');
  EXPECT_EQ(AsText(b.aby, ANY_DECIMAL), L"-123,450");
  StandIn_SetDecimalSeparator(L'.');
  // Decimal to I4 truncates, to R8 reads the value.
  Buffer bInt;
  ASSERT_EQ(Convert(b.aby, ANY_DECIMAL, bInt, ANY_I4), 0);
  EXPECT_EQ(bInt.Get<std::int32_t>(), -123);
  StandIn_FinConversion(b.aby, ANY_DECIMAL);
  EXPECT_EQ(b.Get<void*>(), nullptr);

  // Currency keeps six decimals and prints without trailing zeros.
  const wchar_t* pMoney = L"12.5000004";
  Buffer bMoney;
  ASSERT_EQ(Convert(&pMoney, ANY_PSTRW, bMoney, ANY_CY), 0);
  EXPECT_EQ(AsText(bMoney.aby, ANY_CY), L"12.5");
  const wchar_t* pTooLarge = L"604462909807314588";
  EXPECT_EQ(Convert(&pTooLarge, ANY_PSTRW, bMoney, ANY_CY), 115);
  const wchar_t* pInvalid = L"1.2.3";
  EXPECT_EQ(Convert(&pInvalid, ANY_PSTRW, bMoney, ANY_DECIMAL), 105);
}

TEST_F(tnbindingCasts, DatesAndTimesThroughDigitTexts) {
  const wchar_t* pDate = L"20240229";
  Buffer bDateTime;
  ASSERT_EQ(Convert(&pDate, ANY_PSTRW, bDateTime, ANY_DATETIME), 0);
  EXPECT_EQ(bDateTime.nWritten(), 8u);
  const auto dt = bDateTime.Get<CDateTimeBase>();
  EXPECT_EQ(dt.m_dwHeure, 0u) << "a date alone is at midnight";
  EXPECT_EQ(dt.m_wAnnee, 2024);
  EXPECT_EQ(dt.m_byMois, 2);
  EXPECT_EQ(dt.m_byJour, 29);

  CDateTimeBase stFull{};
  stFull.m_wAnnee = 1999;
  stFull.m_byMois = 12;
  stFull.m_byJour = 31;
  stFull.m_dwHeure = 23 * 3600000 + 59 * 60000 + 58 * 1000 + 7;
  EXPECT_EQ(AsText(&stFull, ANY_DATETIME), L"19991231235958007");

  struct Case {
    unsigned int nTarget;
    std::size_t nWidth;
    const char* pszDigits;
  };
  const Case cases[] = {
      {ANY_DATEA, 9, "19991231"}, {ANY_DATEW, 36, "19991231"},
      {ANY_TIMEA, 10, "235958007"}, {ANY_TIMEW, 40, "235958007"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszDigits);
    Buffer b;
    ASSERT_EQ(Convert(&stFull, ANY_DATETIME, b, c.nTarget), 0);
    std::string s;
    const bool bWide = c.nTarget == ANY_DATEW || c.nTarget == ANY_TIMEW;
    for (std::size_t i = 0; i < c.nWidth / (bWide ? 4 : 1); ++i) {
      const unsigned int ch = bWide ? b.aby[4 * i] : b.aby[i];
      if (ch == 0) break;
      s += static_cast<char>(ch);
    }
    EXPECT_EQ(s, c.pszDigits);
    EXPECT_EQ(b.aby[c.nWidth - 1], 0) << "terminated within the form";
    if (c.nWidth < knAnyValueSize) {
      EXPECT_EQ(b.aby[c.nWidth], kFill) << "nothing past the form";
    }
    // And back to a date-time, from the digits.
    Buffer bBack;
    EXPECT_EQ(Convert(b.aby, c.nTarget, bBack, ANY_DATETIME),
              c.nTarget == ANY_DATEA || c.nTarget == ANY_DATEW ? 0 : 105);
  }
  // A short time is padded with zero digits; a date that is not 8 digits fails.
  const wchar_t* pTime = L"1230";
  Buffer bTime;
  ASSERT_EQ(Convert(&pTime, ANY_PSTRW, bTime, ANY_TIMEA), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(bTime.aby), "123000000");
  const wchar_t* pBadDate = L"2024";
  EXPECT_EQ(Convert(&pBadDate, ANY_PSTRW, bTime, ANY_DATEW), 105);
}

TEST_F(tnbindingCasts, BinaryAndEightBitTextByteForByte) {
  const char abyBytes[] = {'A', static_cast<char>(0xE9), 0, 0x7F, static_cast<char>(0xFF)};
  CTNBIN clBinary(abyBytes, sizeof abyBytes);
  unsigned char* hBinary = clBinary.pGetData();
  Buffer bText;
  ASSERT_EQ(Convert(&hBinary, ANY_BIN, bText, ANY_DSTRA), 0);
  const std::string sText = TakeBytes(bText, ANY_DSTRA);
  EXPECT_EQ(sText, std::string(abyBytes, sizeof abyBytes));

  CXYString<char> clNarrow;
  ASSERT_EQ(clNarrow.nAffecte(abyBytes, sizeof abyBytes), 0);
  char* hNarrow = clNarrow.pGetData();
  Buffer bBinary;
  ASSERT_EQ(Convert(&hNarrow, ANY_DSTRA, bBinary, ANY_BIN), 0);
  EXPECT_EQ(TakeBytes(bBinary, ANY_BIN), std::string(abyBytes, sizeof abyBytes));

  // 8-bit text reaches wide text through the code page (0xE9 is e acute in 1252).
  const char* pszLatin = "caf\xE9";
  Buffer bWide;
  STOCAW stOptions{};
  stOptions.nCodePage = 1252;
  ASSERT_EQ(Convert(&pszLatin, ANY_PSTRA, bWide, ANY_DSTRW, &stOptions), 0);
  EXPECT_EQ(TakeWide(bWide, ANY_DSTRW), L"caf\u00E9");
}

TEST_F(tnbindingCasts, PairsWithoutAConversionFailWith105) {
  struct Case {
    unsigned int nSource;
    unsigned int nTarget;
  };
  const Case cases[] = {
      {ANY_TABANY, ANY_DSTRW}, {ANY_DSTRW, ANY_TABANY}, {ANY_OBJET_BASE, ANY_I4}, {ANY_BUFFER, ANY_DSTRW},
      {ANY_I4, ANY_BIN},       {ANY_DATETIME, ANY_BIN}, {ANY_I4, ANY_OBJET_141}, {ANY_EMPTY, ANY_I4},
      {ANY_BIN, ANY_I4},       {ANY_I4, ANY_DINO},
  };
  const unsigned char abyZero[knAnyValueSize] = {};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.nSource << " -> " << c.nTarget);
    Buffer b;
    EXPECT_EQ(Convert(abyZero, c.nSource, b, c.nTarget), 105);
    EXPECT_EQ(b.nWritten(), 0u);
  }
}

TEST_F(tnbindingCasts, ResultsCarryOneReferenceThatFinConversionReleases) {
  const std::int32_t n = 7;
  Buffer aResults[5];
  const unsigned int anTypes[] = {ANY_DSTRW, ANY_DSTRA, ANY_PSTRA, ANY_PSTRW, ANY_DECIMAL};
  for (int i = 0; i < 5; ++i) ASSERT_EQ(Convert(&n, ANY_I4, aResults[i], anTypes[i]), 0);
  const wchar_t* pText = L"bytes";
  Buffer bBinary;
  ASSERT_EQ(Convert(&pText, ANY_PSTRW, bBinary, ANY_BIN), 0);
  EXPECT_EQ(m_clAllocator.nGetLiveBlocks(), 3u);
  EXPECT_EQ(StandIn_nGetLivePointerTexts(), m_nPointerTexts + 2);
  EXPECT_EQ(StandIn_nGetLiveDecimals(), m_nDecimals + 1);
  for (int i = 0; i < 5; ++i) StandIn_FinConversion(aResults[i].aby, anTypes[i]);
  StandIn_FinConversion(bBinary.aby, ANY_BIN);
  EXPECT_EQ(m_clAllocator.nGetLiveBlocks(), 0u);
  EXPECT_EQ(StandIn_nGetLivePointerTexts(), m_nPointerTexts);
  EXPECT_EQ(StandIn_nGetLiveDecimals(), m_nDecimals);
  // An empty text is a null handle: nothing to release.
  const wchar_t* pEmpty = L"";
  Buffer bEmpty;
  ASSERT_EQ(Convert(&pEmpty, ANY_PSTRW, bEmpty, ANY_DSTRW), 0);
  EXPECT_EQ(bEmpty.Get<void*>(), nullptr);
  StandIn_FinConversion(bEmpty.aby, ANY_DSTRW);
}

// ---- Operators ------------------------------------------------------------

using tnbindingOperators = tnbindingTest;

// A value in its value-area form, owning what it points to.
struct Value {
  unsigned int nType = 0;
  unsigned char aby[knAnyValueSize] = {};
  CXYString<wchar_t> clWide;
  CXYString<char> clNarrow;
  IDecimal* piDecimal = nullptr;

  static std::shared_ptr<Value> I(unsigned int nType, std::int64_t n) {
    auto p = std::make_shared<Value>();
    p->nType = nType;
    std::memcpy(p->aby, &n, sizeof n);
    return p;
  }
  static std::shared_ptr<Value> R8(double d) {
    auto p = std::make_shared<Value>();
    p->nType = ANY_R8;
    std::memcpy(p->aby, &d, sizeof d);
    return p;
  }
  static std::shared_ptr<Value> W(const wchar_t* psz) {
    auto p = std::make_shared<Value>();
    p->nType = ANY_DSTRW;
    p->clWide.nAffecte(psz);
    wchar_t* h = p->clWide.pGetData();
    std::memcpy(p->aby, &h, sizeof h);
    return p;
  }
  static std::shared_ptr<Value> A(const char* psz) {
    auto p = std::make_shared<Value>();
    p->nType = ANY_DSTRA;
    p->clNarrow.nAffecte(psz);
    char* h = p->clNarrow.pGetData();
    std::memcpy(p->aby, &h, sizeof h);
    return p;
  }
  static std::shared_ptr<Value> D(__int128 v, int nScale) {
    auto p = std::make_shared<Value>();
    p->nType = ANY_DECIMAL;
    p->piDecimal = StandIn_pGetDecimalFactory()->piCreateDecimal(0);
    StandIn_bWriteDecimal(p->piDecimal, v, 38, nScale);
    std::memcpy(p->aby, &p->piDecimal, sizeof p->piDecimal);
    return p;
  }
  ~Value() {
    if (piDecimal != nullptr) StandIn_pGetDecimalFactory()->ReleaseDecimal(piDecimal);
  }
};
using PValue = std::shared_ptr<Value>;

TEST_F(tnbindingOperators, OrderAndEqualityAgreeWithTheCasts) {
  struct Case {
    const char* pszName;
    PValue a, b;
    int nOrder;
  };
  const Case cases[] = {
      {"I4 2 = R8 2.0", Value::I(ANY_I4, 2), Value::R8(2.0), 0},
      {"I4 10 > text 9 (as numbers)", Value::I(ANY_I4, 10), Value::W(L"9"), 1},
      {"text 10 < text 9 (as texts)", Value::W(L"10"), Value::W(L"9"), -1},
      {"UI8 max > I8 -1", Value::I(ANY_UI8, -1), Value::I(ANY_I8, -1), 1},
      {"DECIMAL 1.50 = R8 1.5", Value::D(150, 2), Value::R8(1.5), 0},
      {"DECIMAL 1.50 = text 1.5", Value::D(150, 2), Value::W(L"1.5"), 0},
      {"DECIMAL 0.1 < I4 1", Value::D(1, 1), Value::I(ANY_I4, 1), -1},
      {"8-bit abc = wide abc", Value::A("abc"), Value::W(L"abc"), 0},
      {"abc < abd", Value::W(L"abc"), Value::A("abd"), -1},
      {"I4 5 vs text x5 (as texts)", Value::I(ANY_I4, 5), Value::W(L"x5"), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    int nOrder = 99, nEqual = 99, nAbove = 99, nBelow = 99;
    // The flag 0x400 of the type words is ignored.
    ASSERT_EQ(StandIn_nComparaisonEx(c.a->aby, c.a->nType | 0x400, c.b->aby, c.b->nType, &nOrder, 0, 0), 0);
    ASSERT_EQ(StandIn_nEgaliteEx(c.a->aby, c.a->nType, c.b->aby, c.b->nType | 0x400, &nEqual, 0, 0), 0);
    ASSERT_EQ(StandIn_nSuperieurEx(c.a->aby, c.a->nType, c.b->aby, c.b->nType, &nAbove, 0, 0), 0);
    ASSERT_EQ(StandIn_nInferieurEx(c.a->aby, c.a->nType, c.b->aby, c.b->nType, &nBelow, 0, 0), 0);
    EXPECT_EQ(nOrder, c.nOrder);
    EXPECT_EQ(nEqual, c.nOrder == 0 ? 1 : 0);
    EXPECT_EQ(nAbove, c.nOrder > 0 ? 1 : 0);
    EXPECT_EQ(nBelow, c.nOrder < 0 ? 1 : 0);
    // The other way round gives the opposite order.
    int nReverse = 99;
    ASSERT_EQ(StandIn_nComparaisonEx(c.b->aby, c.b->nType, c.a->aby, c.a->nType, &nReverse, 0, 0), 0);
    EXPECT_EQ(nReverse, -c.nOrder);
  }
  // A number equals the text it casts to.
  for (const PValue& v : {Value::I(ANY_I4, -17), Value::R8(0.25), Value::D(-5005, 3)}) {
    Buffer b;
    ASSERT_EQ(StandIn_nConversion(v->aby, v->nType, b.aby, ANY_DSTRW, 0, nullptr), 0);
    int nEqual = 0;
    EXPECT_EQ(StandIn_nEgaliteEx(v->aby, v->nType, b.aby, ANY_DSTRW, &nEqual, 0, 0), 0);
    EXPECT_EQ(nEqual, 1);
    StandIn_FinConversion(b.aby, ANY_DSTRW);
  }
  // Kinds without an order: 105, the answer untouched.
  int nAnswer = 42;
  const unsigned char abyZero[knAnyValueSize] = {};
  EXPECT_EQ(StandIn_nEgaliteEx(abyZero, ANY_TABANY, abyZero, ANY_I4, &nAnswer, 0, 0), 105);
  EXPECT_EQ(nAnswer, 42);
}

TEST_F(tnbindingOperators, MatchingAtThreeLevels) {
  using PFN = int (*)(const void*, unsigned int, const void*, unsigned int, int*, unsigned int, int);
  struct Case {
    PFN pfn;
    const wchar_t* pszA;
    const wchar_t* pszB;
    int nAnswer;
  };
  const Case cases[] = {
      {StandIn_nCommenceParEx, L"Bonjour", L"Bon", 1},
      {StandIn_nCommenceParEx, L"Bonjour", L"bon", 0},
      {StandIn_nCommenceParSoupleEx, L"Bonjour", L"bON", 1},
      {StandIn_nCommenceParSoupleEx, L"\u00C9t\u00E9", L"et", 0},
      {StandIn_nCommenceParTresSoupleEx, L"\u00C9t\u00E9", L"et", 1},
      {StandIn_nContientEx, L"un deux", L"n d", 1},
      {StandIn_nContientSoupleEx, L"un DEUX", L"deux", 1},
      {StandIn_nContientTresSoupleEx, L"\u00E9l\u00E8ve-mod\u00E8le", L"eleve mod", 1},
      {StandIn_nTermineParEx, L"fichier.txt", L".txt", 1},
      {StandIn_nTermineParEx, L"txt", L"fichier.txt", 0},
      {StandIn_nTermineParSoupleEx, L"FICHIER.TXT", L".txt", 1},
      {StandIn_nTermineParTresSoupleEx, L"Fin d'\u00E9t\u00E9 !", L"ete", 1},
      {StandIn_nSoupleEgalEx, L"Abc", L"aBC", 1},
      {StandIn_nSoupleEgalEx, L"a b", L"ab", 0},
      {StandIn_nPresqueEgalEx, L"A b-\u00C7", L"abc", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(&c - cases));
    const PValue a = Value::W(c.pszA);
    const PValue b = Value::W(c.pszB);
    int nAnswer = 99;
    ASSERT_EQ(c.pfn(a->aby, ANY_DSTRW | 0x400, b->aby, ANY_DSTRW, &nAnswer, 0, 0), 0);
    EXPECT_EQ(nAnswer, c.nAnswer);
  }
}

TEST_F(tnbindingOperators, Logic) {
  struct Case {
    PValue a, b;
    int nAnd, nOr, nNotA;
  };
  const Case cases[] = {
      {Value::I(ANY_I4, 0), Value::I(ANY_I4, 3), 0, 1, 1},
      {Value::I(ANY_BOOL, 1), Value::R8(0.5), 1, 1, 0},
      {Value::W(L"0"), Value::W(L"text"), 0, 1, 1},
      {Value::W(L""), Value::I(ANY_I4, 0), 0, 0, 1},
  };
  for (const Case& c : cases) {
    int nAnd = 99, nOr = 99, nNot = 99;
    ASSERT_EQ(StandIn_nETLogiqueEx(c.a->aby, c.a->nType, c.b->aby, c.b->nType | 0x400, &nAnd, 0, 0), 0);
    ASSERT_EQ(StandIn_nOULogiqueEx(c.a->aby, c.a->nType, c.b->aby, c.b->nType, &nOr, 0, 0), 0);
    ASSERT_EQ(StandIn_nNONLogiqueEx(c.a->aby, c.a->nType | 0x400, &nNot, 0, 0), 0);
    EXPECT_EQ(nAnd, c.nAnd);
    EXPECT_EQ(nOr, c.nOr);
    EXPECT_EQ(nNot, c.nNotA);
  }
}

TEST_F(tnbindingOperators, ArithmeticWritesTheResultForm) {
  using PFN = int (*)(const void*, unsigned int, const void*, unsigned int, void*, unsigned short*,
                      unsigned int, int);
  struct Case {
    const char* pszName;
    PFN pfn;
    PValue a, b;
    int nResult;
    unsigned short wType;
    const wchar_t* pszText;  // the result as text
  };
  const Case cases[] = {
      {"2 + 3", StandIn_nAdditionEx, Value::I(ANY_I4, 2), Value::I(ANY_I4, 3), 0, ANY_I8, L"5"},
      {"UI8 max + 0", StandIn_nAdditionEx, Value::I(ANY_UI8, -1), Value::I(ANY_I1, 0), 0, ANY_UI8,
       L"18446744073709551615"},
      {"7 / 2", StandIn_nDivisionEx, Value::I(ANY_I4, 7), Value::I(ANY_I4, 2), 0, ANY_R8, L"3.5"},
      {"-7 % 3", StandIn_nModuloEx, Value::I(ANY_I4, -7), Value::I(ANY_I4, 3), 0, ANY_I8, L"-1"},
      {"7 % 0", StandIn_nModuloEx, Value::I(ANY_I4, 7), Value::I(ANY_I4, 0), 120, 0, nullptr},
      {"7 / 0", StandIn_nDivisionEx, Value::I(ANY_I4, 7), Value::I(ANY_I4, 0), 120, 0, nullptr},
      {"1.5 * 2", StandIn_nMultiplicationEx, Value::R8(1.5), Value::I(ANY_I4, 2), 0, ANY_R8, L"3"},
      {"1.25 - 2", StandIn_nSoustractionEx, Value::D(125, 2), Value::I(ANY_I4, 2), 0, ANY_DECIMAL, L"-0.75"},
      {"1.5 * 1.5", StandIn_nMultiplicationEx, Value::D(15, 1), Value::D(15, 1), 0, ANY_DECIMAL, L"2.25"},
      {"1 / 3", StandIn_nDivisionEx, Value::D(1, 0), Value::I(ANY_I4, 3), 0, ANY_DECIMAL,
       L"0.3333333333"},
      {"text + text", StandIn_nAdditionEx, Value::W(L"ab"), Value::A("cd"), 0, ANY_DSTRW, L"abcd"},
      {"I4 + text", StandIn_nAdditionEx, Value::I(ANY_I4, 1), Value::W(L"x"), 0, ANY_DSTRW, L"1x"},
      {"text - text", StandIn_nSoustractionEx, Value::W(L"ab"), Value::W(L"b"), 105, 0, nullptr},
      {"I8 max * 4", StandIn_nMultiplicationEx, Value::I(ANY_I8, INT64_MAX), Value::I(ANY_I4, 4), 115, 0,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    Buffer b;
    unsigned short wType = 0xFFFF;
    ASSERT_EQ(c.pfn(c.a->aby, c.a->nType, c.b->aby, c.b->nType, b.aby, &wType, 0, 0), c.nResult);
    if (c.nResult != 0) {
      EXPECT_EQ(wType, 0xFFFF);
      EXPECT_EQ(b.nWritten(), 0u);
      continue;
    }
    EXPECT_EQ(wType, c.wType);
    EXPECT_EQ(AsText(b.aby, wType), c.pszText);
    StandIn_FinConversion(b.aby, wType);  // the result owns what it points to
  }
  // The type queries answer by the same rules.
  EXPECT_EQ(StandIn_wAjouteEx(ANY_DSTRW, ANY_I4), ANY_DSTRW);
  EXPECT_EQ(StandIn_wDiviseEx(ANY_I4, ANY_I4), ANY_R8);
  EXPECT_EQ(StandIn_wMultiplieEx(ANY_CY, ANY_I4), ANY_CY);
  EXPECT_EQ(StandIn_wSoustraitEx(ANY_DSTRW, ANY_I4), 0);
  EXPECT_EQ(StandIn_bCanCompareEx(ANY_I4, ANY_DSTRW), 1);
  EXPECT_EQ(StandIn_bCanCompareEx(ANY_TABANY, ANY_I4), 0);
}

TEST_F(tnbindingOperators, NegationOfADecimalHappensInsideTheResultsObject) {
  const PValue a = Value::D(12345, 2);
  // What the caller's __SetType(13, 0) put there: a new decimal of its own.
  const PValue result = Value::D(0, 0);
  IDecimal* piBefore = result->piDecimal;
  unsigned short wType = 0;
  ASSERT_EQ(StandIn_nNegationEx(a->aby, ANY_DECIMAL, result->aby, &wType, 0, 0), 0);
  EXPECT_EQ(wType, ANY_DECIMAL);
  IDecimal* piAfter = nullptr;
  std::memcpy(&piAfter, result->aby, sizeof piAfter);
  EXPECT_EQ(piAfter, piBefore) << "no new pointer";
  __int128 v = 0;
  int nPrecision = 0, nScale = 0;
  ASSERT_TRUE(StandIn_bReadDecimal(piBefore, &v, &nPrecision, &nScale));
  EXPECT_TRUE(v == -12345);
  EXPECT_EQ(nScale, 2);
  ASSERT_TRUE(StandIn_bReadDecimal(a->piDecimal, &v, &nPrecision, &nScale));
  EXPECT_TRUE(v == 12345) << "the operand is unchanged";

  struct Case {
    PValue a;
    int nResult;
    unsigned short wType;
    const wchar_t* pszText;
  };
  const Case cases[] = {
      {Value::I(ANY_I4, 5), 0, ANY_I4, L"-5"},
      {Value::I(ANY_UI4, 7), 0, ANY_I8, L"-7"},
      {Value::I(ANY_I1, -128), 115, 0, nullptr},
      {Value::R8(2.5), 0, ANY_R8, L"-2.5"},
      {Value::W(L"5"), 105, 0, nullptr},
      {Value::A("5"), 105, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a->nType);
    Buffer b;
    unsigned short w = 0;
    ASSERT_EQ(StandIn_nNegationEx(c.a->aby, c.a->nType, b.aby, &w, 0, 0), c.nResult);
    if (c.nResult != 0) continue;
    EXPECT_EQ(w, c.wType);
    EXPECT_EQ(AsText(b.aby, w), c.pszText);
  }
}

// ---- Decimals and counted objects ------------------------------------------

using tnbindingDecimal = tnbindingTest;

TEST_F(tnbindingDecimal, NativeFormRoundTripsAtEveryWidth) {
  IVMFactory* piFactory = static_cast<IVMFactory*>(StandIn_pQueryProxy(102));
  ASSERT_EQ(piFactory, StandIn_pGetDecimalFactory());
  EXPECT_EQ(StandIn_pQueryProxy(101), nullptr);
  struct Case {
    int nPrecision;
    int nScale;
    __int128 v;
    int nBytes;
  };
  const __int128 nMax38 = static_cast<__int128>(
      static_cast<unsigned __int128>(10000000000000000000ull) * 10000000000000000000ull - 1);
  const Case cases[] = {
      {1, 0, -9, 1},          {2, 1, 99, 1},        {3, 0, -999, 2},       {5, 2, -12345, 3},
      {9, 4, 999999999, 4},   {10, 0, -1, 5},       {18, 6, -123456789012345678LL, 8},
      {19, 0, -1000000000000000000LL, 9},           {38, 10, nMax38, 16},  {38, 0, -nMax38, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nPrecision);
    EXPECT_EQ(IDecimal::mg_PToN(c.nPrecision), c.nBytes);
    IDecimal* pi = piFactory->piCreateDecimal(0);
    ASSERT_NE(pi, nullptr);
    int nP = 0, nS = -1;
    pi->nGetPrecisionScale(&nP, &nS);
    EXPECT_EQ(nP, 38);
    EXPECT_EQ(nS, 0);
    // The native bytes: two's complement, least significant first.
    unsigned char abyNative[16];
    unsigned __int128 u = static_cast<unsigned __int128>(c.v);
    for (int i = 0; i < c.nBytes; ++i, u >>= 8) abyNative[i] = static_cast<unsigned char>(u);
    ASSERT_EQ(pi->nSetFromNative(abyNative, c.nPrecision, c.nScale), 0);
    EXPECT_EQ(pi->nGetDataSize(), static_cast<std::size_t>(c.nBytes));
    EXPECT_EQ(std::memcmp(pi->pGetData(), abyNative, static_cast<std::size_t>(c.nBytes)), 0);
    unsigned char abyOut[16] = {};
    ASSERT_EQ(pi->nGetNative(abyOut, c.nPrecision, c.nScale), 0);
    EXPECT_EQ(std::memcmp(abyOut, abyNative, static_cast<std::size_t>(c.nBytes)), 0);
    EXPECT_EQ(pi->nGetSign(), c.v < 0 ? 1 : 0);
    // Through the 18-byte data form into another decimal.
    IDecimal* piCopy = piFactory->piCreateDecimal(0);
    ASSERT_EQ(piCopy->nSetFromDecimal(pi), 0);
    __int128 vCopy = 0;
    ASSERT_TRUE(StandIn_bReadDecimal(piCopy, &vCopy, &nP, &nS));
    EXPECT_TRUE(vCopy == c.v);
    EXPECT_EQ(nP, c.nPrecision);
    EXPECT_EQ(nS, c.nScale);
    piFactory->ReleaseDecimal(piCopy);
    piFactory->ReleaseDecimal(pi);
  }
}

TEST_F(tnbindingDecimal, RescalingLimitsAndRefusals) {
  IVMFactory* piFactory = StandIn_pGetDecimalFactory();
  IDecimal* pi = piFactory->piCreateDecimal(0);
  ASSERT_TRUE(StandIn_bWriteDecimal(pi, -12345, 5, 2));  // -123.45
  unsigned char aby[16] = {};
  // Slot 4 at scale 1 rounds half away from zero: -123.5.
  ASSERT_EQ(pi->nGetNative(aby, 4, 1), 0);
  EXPECT_EQ(aby[0] | aby[1] << 8, static_cast<std::uint16_t>(-1235));
  // Not enough digits: refused.
  EXPECT_EQ(pi->nGetNative(aby, 3, 1), 115);
  EXPECT_EQ(pi->nSetPrecisionScale(4, 2), 115);
  EXPECT_EQ(pi->nSetPrecisionScale(39, 0), 105);
  EXPECT_EQ(pi->nSetFromNative(aby, 3, 4), 105);
  __int128 v = 0;
  int nP = 0, nS = 0;
  ASSERT_TRUE(StandIn_bReadDecimal(pi, &v, &nP, &nS));
  EXPECT_TRUE(v == -12345 && nP == 5 && nS == 2) << "unchanged by the refusals";
  ASSERT_EQ(pi->nSetPrecisionScale(10, 4), 0);
  ASSERT_TRUE(StandIn_bReadDecimal(pi, &v, &nP, &nS));
  EXPECT_TRUE(v == -1234500 && nP == 10 && nS == 4);
  // Slot 8: the limits of the precision.
  ASSERT_EQ(pi->nSetLimit(1), 0);
  ASSERT_TRUE(StandIn_bReadDecimal(pi, &v, &nP, &nS));
  EXPECT_TRUE(v == 9999999999);
  ASSERT_EQ(pi->nSetLimit(0), 0);
  ASSERT_TRUE(StandIn_bReadDecimal(pi, &v, &nP, &nS));
  EXPECT_TRUE(v == -9999999999);
  // A data form whose value exceeds its precision is refused.
  unsigned char abyData[18] = {};
  abyData[0] = 100;
  abyData[16] = 2;
  EXPECT_EQ(pi->nSetFromBytes(abyData, 18), 115);
  EXPECT_EQ(pi->nSetFromBytes(abyData, 17), 105);
  piFactory->ReleaseDecimal(pi);
  // A shortage: the factory answers null.
  StandIn_FailNextDecimals(1);
  EXPECT_EQ(piFactory->piCreateDecimal(0), nullptr);
  IDecimal* piNext = piFactory->piCreateDecimal(0);
  EXPECT_NE(piNext, nullptr);
  piFactory->ReleaseDecimal(piNext);
}

TEST_F(tnbindingDecimal, KeysCompareBytewiseInTheOrderOfTheValues) {
  struct Entry {
    __int128 v;
    int nPrecision;
    int nScale;
  };
  const __int128 nBig = static_cast<__int128>(
      static_cast<unsigned __int128>(10000000000000000000ull) * 10000000000000000000ull - 1);
  // Sorted by value, at mixed precisions and scales.
  const Entry entries[] = {
      {-nBig, 38, 0}, {-1000001, 10, 0},  {-10000005, 9, 1}, {-10000000, 9, 1}, {-15, 3, 1},
      {-1, 38, 38},   {0, 1, 0},          {1, 38, 38},       {5, 2, 1},         {51, 3, 2},
      {1, 1, 0},      {1000000001, 10, 9}, {12, 2, 0},       {123, 3, 0},       {nBig, 38, 0},
  };
  IVMFactory* piFactory = StandIn_pGetDecimalFactory();
  std::vector<std::string> keys;
  for (const Entry& e : entries) {
    IDecimal* pi = piFactory->piCreateDecimal(0);
    ASSERT_TRUE(StandIn_bWriteDecimal(pi, e.v, e.nPrecision, e.nScale));
    unsigned char aby[32];
    ASSERT_EQ(pi->nGetKey32(aby), 0);
    keys.emplace_back(reinterpret_cast<const char*>(aby), sizeof aby);
    piFactory->ReleaseDecimal(pi);
  }
  for (std::size_t i = 1; i < keys.size(); ++i) {
    SCOPED_TRACE(i);
    // std::string compares as unsigned bytes through char_traits<char>::compare (memcmp).
    EXPECT_LT(std::memcmp(keys[i - 1].data(), keys[i].data(), 32), 0);
  }
  // Equal values at different scales have equal keys.
  IDecimal* pa = piFactory->piCreateDecimal(0);
  IDecimal* pb = piFactory->piCreateDecimal(0);
  StandIn_bWriteDecimal(pa, 150, 5, 2);
  StandIn_bWriteDecimal(pb, 15, 2, 1);
  unsigned char ka[32], kb[32];
  pa->nGetKey32(ka);
  pb->nGetKey32(kb);
  EXPECT_EQ(std::memcmp(ka, kb, 32), 0);
  piFactory->ReleaseDecimal(pa);
  piFactory->ReleaseDecimal(pb);
}

TEST(tnbindingObjects, CountedObjectsCountWhatIsLive) {
  const int nCounted = CStandInCounted::s_nGetLive();
  auto* p = new CStandInCounted();
  EXPECT_EQ(CStandInCounted::s_nGetLive(), nCounted + 1);
  EXPECT_EQ(p->dwAddRef(), 2u);
  EXPECT_EQ(p->dwRelease(), 1u);
  EXPECT_EQ(CStandInCounted::s_nGetLive(), nCounted + 1);
  EXPECT_EQ(p->dwRelease(), 0u);
  EXPECT_EQ(CStandInCounted::s_nGetLive(), nCounted);

  const int nObjects = CStandInObject::s_nGetLive();
  auto* po = new CStandInObject();
  IRuntimeObject* pi = po;
  EXPECT_EQ(CStandInObject::s_nGetLive(), nObjects + 1);
  EXPECT_EQ(pi->AddRef(), 2u);
  EXPECT_NE(pi->piGetTraitement(), nullptr);
  EXPECT_EQ(pi->piGetTraitement(), pi->piGetTraitement());
  EXPECT_EQ(pi->Release(), 1u);
  EXPECT_EQ(po->nGetCount(), 1u);
  EXPECT_EQ(pi->Release(), 0u);
  EXPECT_EQ(CStandInObject::s_nGetLive(), nObjects);
}

// ---- The modules ---------------------------------------------------------------

const char* const kRuntimeNames[] = {
    "nConversionDepassementExt", "FinConversion", "pQueryProxy", "bCanCompareEx", "wAjouteEx",
    "wSoustraitEx", "wMultiplieEx", "wDiviseEx", "wModuloEx", "nComparaisonEx", "nEgaliteEx",
    "nSuperieurEx", "nInferieurEx", "nPresqueEgalEx", "nSoupleEgalEx", "nCommenceParEx",
    "nCommenceParSoupleEx", "nCommenceParTresSoupleEx", "nContientEx", "nContientSoupleEx",
    "nContientTresSoupleEx", "nTermineParEx", "nTermineParSoupleEx", "nTermineParTresSoupleEx",
    "nETLogiqueEx", "nOULogiqueEx", "nNONLogiqueEx", "nNegationEx", "nAdditionEx", "nSoustractionEx",
    "nMultiplicationEx", "nDivisionEx", "nModuloEx"};
static_assert(sizeof(kRuntimeNames) / sizeof(kRuntimeNames[0]) == 33, "the runtime's 33 names");

struct Module {
  explicit Module(const std::string& path) : h(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Module() {
    if (h != nullptr) dlclose(h);
  }
  bool bHas(const char* pszName) const { return dlsym(h, pszName) != nullptr; }
  void* h;
};

TEST(tnbindingModules, TheStandInExportsTheRuntimesNamesAndNothingUnlisted) {
  Module m(kxtest::StandInVmPath());
  ASSERT_NE(m.h, nullptr) << dlerror();
  for (const char* pszName : kRuntimeNames) EXPECT_TRUE(m.bHas(pszName)) << pszName;
  // Exactly what the version script lists is visible.
  int nStatus = -1;
  const std::string out = kxtest::RunCommand(kxtest::SourcePath("tests/host/check_exports.sh") + " " +
                                                 kxtest::StandInVmPath() + " " +
                                                 kxtest::SourcePath("host/kxstandinvm.map") + " 2>&1",
                                             nStatus);
  EXPECT_EQ(nStatus, 0) << out;
  for (const char* pszName : kRuntimeNames)
    EXPECT_NE(out.find(std::string("\n") + pszName + "\n"), std::string::npos) << pszName;
  // The library's foundation inside the module stays hidden.
  EXPECT_FALSE(m.bHas("_ZN18CInformationModule16ms_piStrMemAllocE"));
}

TEST(tnbindingModules, VariantsLackTheirNames) {
  struct Case {
    std::string path;
    std::vector<std::string> missing;
  };
  const Case cases[] = {
      {kxtest::StandInVmNoFinPath(), {"FinConversion", "nModuloEx"}},
      {kxtest::StandInVmNoProxyPath(), {"pQueryProxy"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Module m(c.path);
    ASSERT_NE(m.h, nullptr) << dlerror();
    EXPECT_TRUE(m.bHas("Execution"));
    for (const char* pszName : kRuntimeNames) {
      const bool bMissing = std::find(c.missing.begin(), c.missing.end(), pszName) != c.missing.end();
      EXPECT_EQ(m.bHas(pszName), !bMissing) << pszName;
    }
  }
}

TEST(tnbindingModules, TheModulesResultsComeFromItsItem13Allocator) {
  StandInVm vm(kxtest::StandInVmPath());
  vm.Reset();
  using PFN_CONV = int (*)(const void*, unsigned int, void*, unsigned int, unsigned int, const STOCAW*);
  using PFN_FIN = void (*)(void*, unsigned int);
  using PFN_PROXY = void* (*)(int);
  auto pfnConv = reinterpret_cast<PFN_CONV>(dlsym(vm.hModule(), "nConversionDepassementExt"));
  auto pfnFin = reinterpret_cast<PFN_FIN>(dlsym(vm.hModule(), "FinConversion"));
  auto pfnProxy = reinterpret_cast<PFN_PROXY>(dlsym(vm.hModule(), "pQueryProxy"));
  ASSERT_TRUE(pfnConv && pfnFin && pfnProxy);
  EXPECT_NE(pfnProxy(102), nullptr);
  EXPECT_NE(pfnProxy(102), static_cast<void*>(StandIn_pGetDecimalFactory())) << "the module's own factory";
  EXPECT_EQ(pfnProxy(7), nullptr);

  const int nBlocks = vm.GetLiveStrBlocks();
  const int nDecimals = vm.GetLiveDecimals();
  const double d = 2.5;
  Buffer bText, bDecimal;
  vm.SetNumberSeparator(L',');
  ASSERT_EQ(pfnConv(&d, ANY_R8, bText.aby, ANY_DSTRW, 0, nullptr), 0);
  ASSERT_EQ(pfnConv(&d, ANY_R8, bDecimal.aby, ANY_DECIMAL, 0, nullptr), 0);
  EXPECT_EQ(vm.GetLiveStrBlocks(), nBlocks + 1);
  EXPECT_EQ(vm.GetLiveDecimals(), nDecimals + 1);
  const auto* h = bText.Get<const wchar_t*>();
  EXPECT_EQ(std::wstring(h, SharedBlock::nGetLength(h) / sizeof(wchar_t)), L"2,5");
  pfnFin(bText.aby, ANY_DSTRW);
  pfnFin(bDecimal.aby, ANY_DECIMAL);
  EXPECT_EQ(vm.GetLiveStrBlocks(), nBlocks);
  EXPECT_EQ(vm.GetLiveDecimals(), nDecimals);
  vm.Reset();
}

}  // namespace
