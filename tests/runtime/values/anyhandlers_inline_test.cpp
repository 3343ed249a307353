// The inline handler families of CAny: numbers, characters, date-time and
// duration, date and time texts, borrowed buffers.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "AnyHandlers.h"
#include "CAny.h"
#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "CMoney.h"

namespace {

using Bytes = std::vector<unsigned char>;

template <typename T>
Bytes BytesOf(const T& v) {
  Bytes b(sizeof v);
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

CMoney Money(double d) {
  CMoney m{};
  EXPECT_NE(pstDoubleVersMonetaire(&m, d), nullptr);
  return m;
}

// The first n bytes of the value area.
Bytes Area(const CAny& a, std::size_t n) { return Bytes(a.pbyValue(), a.pbyValue() + n); }

std::string TextA(const CAny& a) {
  const char* psz = nullptr;
  EXPECT_EQ(a.nGetPCASTR(&psz), ANY_OK);
  return psz != nullptr ? psz : "<null>";
}

std::wstring TextW(const CAny& a) {
  const wchar_t* psz = nullptr;
  EXPECT_EQ(a.nGetPCWSTR(&psz), ANY_OK);
  return psz != nullptr ? psz : L"<null>";
}

// Sets the runtime's default date and time texts for one test and puts the
// former ones back.
class DefaultTexts {
 public:
  DefaultTexts(const wchar_t* pszDate, const wchar_t* pszTime)
      : m_pszDate(CDateTimeBase::ms_pcszValeurInitDate), m_pszTime(CDateTimeBase::ms_pcszValeurInitTime) {
    CDateTimeBase::ms_pcszValeurInitDate = pszDate;
    CDateTimeBase::ms_pcszValeurInitTime = pszTime;
  }
  ~DefaultTexts() {
    CDateTimeBase::ms_pcszValeurInitDate = m_pszDate;
    CDateTimeBase::ms_pcszValeurInitTime = m_pszTime;
  }

 private:
  const wchar_t* m_pszDate;
  const wchar_t* m_pszTime;
};

// A value of the code whose area held garbage before the type was set.
void SetTypeOverGarbage(CAny& a, unsigned short wCode) {
  std::memset(a.pbyValue(), 0xAB, knAnyValueSize);
  a.__SetType(wCode, 0);
}

// ---- Type table: stored code, sizes, initial value ------------------------

struct TypeCase {
  unsigned short wCode;
  unsigned short wStored;
  std::size_t nSize, nDataSize, nUtilSize;
  std::size_t nZeroBytes;   // initial value: this many zero bytes
  const char* pszA;         // or this 8-bit text
  const wchar_t* pszW;      // or this wide text
};

TEST(anyhandlersInline, TypeTableGivesStoredCodeSizesAndInitialValue) {
  DefaultTexts defaults(L"2024011512", L"1230");  // a 10-character date, a 4-character time
  const TypeCase cases[] = {
      {ANY_BOOL, 1, 4, 4, 4, 4, nullptr, nullptr},
      {ANY_UI1, 2, 1, 1, 1, 1, nullptr, nullptr},
      {ANY_UI2, 3, 2, 2, 2, 2, nullptr, nullptr},
      {ANY_UI4, 4, 4, 4, 4, 4, nullptr, nullptr},
      {ANY_UI8, 5, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_I1, 6, 1, 1, 1, 1, nullptr, nullptr},
      {ANY_I2, 7, 2, 2, 2, 2, nullptr, nullptr},
      {ANY_I4, 8, 4, 4, 4, 4, nullptr, nullptr},
      {ANY_I8, 9, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_I8_ALIAS, 9, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_CY, 10, 10, 10, 10, 10, nullptr, nullptr},
      {ANY_R4, 11, 4, 4, 4, 4, nullptr, nullptr},
      {ANY_R8, 12, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_UIX, 14, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_CARA, 17, 1, 1, 1, 2, nullptr, nullptr},
      {ANY_DATETIME, 26, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_DUREE, 27, 8, 8, 8, 8, nullptr, nullptr},
      {ANY_BUFFER, 29, 8, 0, 0, 16, nullptr, nullptr},
      {ANY_CARW, 81, 4, 4, 4, 8, nullptr, nullptr},
      {ANY_DATEA, 128, 8, 9, 8, 0, "20240115", nullptr},
      {ANY_TIMEA, 129, 9, 10, 9, 0, "123000000", nullptr},
      {ANY_DATEW, 24, 32, 36, 32, 0, nullptr, L"20240115"},
      {ANY_TIMEW, 25, 36, 40, 36, 0, nullptr, L"123000000"},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.wCode);
    CAny a;
    SetTypeOverGarbage(a, c.wCode);
    EXPECT_EQ(a.wGetType(), c.wStored);
    std::size_t n = 99;
    EXPECT_EQ(a.nGetSize(&n), ANY_OK);
    EXPECT_EQ(n, c.nSize);
    EXPECT_EQ(a.nGetDataSize(&n), ANY_OK);
    EXPECT_EQ(n, c.nDataSize);
    EXPECT_EQ(a.nGetUtilDataSize(&n), ANY_OK);
    EXPECT_EQ(n, c.nUtilSize);
    if (c.nZeroBytes > 0) {
      EXPECT_EQ(Area(a, c.nZeroBytes), Bytes(c.nZeroBytes, 0));
    }
    if (c.pszA != nullptr) {
      EXPECT_EQ(TextA(a), c.pszA);
    }
    if (c.pszW != nullptr) {
      EXPECT_EQ(TextW(a), c.pszW);
    }
  }
}

TEST(anyhandlersInline, AbsentOrEmptyDefaultsGiveEmptyDateAndZeroTime) {
  for (const wchar_t* pszDefault : {static_cast<const wchar_t*>(nullptr), L""}) {
    DefaultTexts defaults(pszDefault, pszDefault);
    CAny a;
    SetTypeOverGarbage(a, ANY_DATEA);
    EXPECT_EQ(TextA(a), "");
    SetTypeOverGarbage(a, ANY_TIMEA);
    EXPECT_EQ(TextA(a), "000000000");
    SetTypeOverGarbage(a, ANY_DATEW);
    EXPECT_EQ(TextW(a), L"");
    SetTypeOverGarbage(a, ANY_TIMEW);
    EXPECT_EQ(TextW(a), L"000000000");
    std::size_t n = 99;
    EXPECT_EQ(a.nGetUtilDataSize(&n), ANY_OK);
    EXPECT_EQ(n, 36u);
  }
}

TEST(anyhandlersInline, LongTimeDefaultKeepsNineCharacters) {
  DefaultTexts defaults(L"20240115", L"12345678901");
  CAny a;
  SetTypeOverGarbage(a, ANY_TIMEA);
  EXPECT_EQ(TextA(a), "123456789");
  SetTypeOverGarbage(a, ANY_TIMEW);
  EXPECT_EQ(TextW(a), L"123456789");
}

// ---- Steps of one ----------------------------------------------------------

struct StepCase {
  const char* pszName;
  unsigned short wCode;
  Bytes before;
  int nStep;
  Bytes after;
  int nResult;
};

TEST(anyhandlersInline, IncrementAndDecrementWrapAndReport) {
  const float fInf = std::numeric_limits<float>::infinity();
  const StepCase cases[] = {
      {"I1 max+1", ANY_I1, BytesOf<std::int8_t>(127), 1, BytesOf<std::int8_t>(-128), 1},
      {"I1 min-1", ANY_I1, BytesOf<std::int8_t>(-128), -1, BytesOf<std::int8_t>(127), 1},
      {"I1 5+1", ANY_I1, BytesOf<std::int8_t>(5), 1, BytesOf<std::int8_t>(6), 0},
      {"I2 max+1", ANY_I2, BytesOf<std::int16_t>(32767), 1, BytesOf<std::int16_t>(-32768), 1},
      {"I2 -1+1", ANY_I2, BytesOf<std::int16_t>(-1), 1, BytesOf<std::int16_t>(0), 0},
      {"I4 min-1", ANY_I4, BytesOf<std::int32_t>(INT32_MIN), -1, BytesOf<std::int32_t>(INT32_MAX), 1},
      {"I4 0-1", ANY_I4, BytesOf<std::int32_t>(0), -1, BytesOf<std::int32_t>(-1), 0},
      {"I8 max+1", ANY_I8, BytesOf<std::int64_t>(INT64_MAX), 1, BytesOf<std::int64_t>(INT64_MIN), 0},
      {"I8 min-1", ANY_I8, BytesOf<std::int64_t>(INT64_MIN), -1, BytesOf<std::int64_t>(INT64_MAX), 0},
      {"UI1 255+1", ANY_UI1, BytesOf<std::uint8_t>(255), 1, BytesOf<std::uint8_t>(0), 1},
      {"UI1 0-1", ANY_UI1, BytesOf<std::uint8_t>(0), -1, BytesOf<std::uint8_t>(255), 1},
      {"UI1 9-1", ANY_UI1, BytesOf<std::uint8_t>(9), -1, BytesOf<std::uint8_t>(8), 0},
      {"UI2 max+1", ANY_UI2, BytesOf<std::uint16_t>(65535), 1, BytesOf<std::uint16_t>(0), 1},
      {"UI4 0-1", ANY_UI4, BytesOf<std::uint32_t>(0), -1, BytesOf<std::uint32_t>(UINT32_MAX), 1},
      {"UI4 7+1", ANY_UI4, BytesOf<std::uint32_t>(7), 1, BytesOf<std::uint32_t>(8), 0},
      {"UI8 0-1", ANY_UI8, BytesOf<std::uint64_t>(0), -1, BytesOf<std::uint64_t>(UINT64_MAX), 1},
      {"UI8 2^63-1 +1", ANY_UI8, BytesOf<std::uint64_t>(INT64_MAX), 1, BytesOf(std::uint64_t{1} << 63), 1},
      {"UI8 max+1", ANY_UI8, BytesOf<std::uint64_t>(UINT64_MAX), 1, BytesOf<std::uint64_t>(0), 0},
      {"UI8 5+1", ANY_UI8, BytesOf<std::uint64_t>(5), 1, BytesOf<std::uint64_t>(6), 0},
      {"UIX max+1", ANY_UIX, BytesOf<std::uint64_t>(UINT64_MAX), 1, BytesOf<std::uint64_t>(0), 0},
      {"UIX 0-1", ANY_UIX, BytesOf<std::uint64_t>(0), -1, BytesOf<std::uint64_t>(UINT64_MAX), 0},
      {"R4 inf+1", ANY_R4, BytesOf(fInf), 1, BytesOf(fInf), 1},
      {"R4 -inf-1", ANY_R4, BytesOf(-fInf), -1, BytesOf(-fInf), 1},
      {"R4 FLT_MAX+1", ANY_R4, BytesOf(FLT_MAX), 1, BytesOf(FLT_MAX), 0},
      {"R4 1.5-1", ANY_R4, BytesOf(1.5f), -1, BytesOf(0.5f), 0},
      {"R8 -0.5+1", ANY_R8, BytesOf(-0.5), 1, BytesOf(0.5), 0},
      {"R8 inf+1", ANY_R8, BytesOf(std::numeric_limits<double>::infinity()), 1,
       BytesOf(std::numeric_limits<double>::infinity()), 0},
      {"CY 1.5+1", ANY_CY, BytesOf(Money(1.5)), 1, BytesOf(Money(2.5)), 0},
      {"CY 0-1", ANY_CY, BytesOf(Money(0)), -1, BytesOf(Money(-1)), 0},
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    CAny a;
    a.__SetType(c.wCode, 0);
    a.SetValue(c.before.data());
    EXPECT_EQ(c.nStep > 0 ? a.nIncremente() : a.nDecremente(), c.nResult);
    EXPECT_EQ(Area(a, c.after.size()), c.after);
    EXPECT_EQ(a.wGetType(), c.wCode);
  }
}

TEST(anyhandlersInline, KindsWithoutStepAnswer105AndKeepTheValue) {
  const unsigned short codes[] = {ANY_BOOL, ANY_DATETIME, ANY_DUREE, ANY_CARA, ANY_CARW,
                                  ANY_BUFFER, ANY_DATEA, ANY_TIMEW};
  for (unsigned short wCode : codes) {
    SCOPED_TRACE(wCode);
    CAny a;
    a.__SetType(wCode, 0);
    const std::uint64_t qw = 0x0102030405060708u;
    a.SetValue(&qw, sizeof qw);
    const Bytes before = Area(a, knAnyValueSize);
    EXPECT_EQ(a.nIncremente(), ANY_ERR_IMPOSSIBLE);
    EXPECT_EQ(a.nDecremente(), ANY_ERR_IMPOSSIBLE);
    EXPECT_EQ(Area(a, knAnyValueSize), before);
  }
}

TEST(anyhandlersInline, SignTestPerKind) {
  struct Case {
    const char* pszName;
    unsigned short wCode;
    Bytes value;
    bool bPositive;
  };
  const Case cases[] = {
      {"I1 -1", ANY_I1, BytesOf<std::int8_t>(-1), false},
      {"I1 0", ANY_I1, BytesOf<std::int8_t>(0), true},
      {"I2 -2", ANY_I2, BytesOf<std::int16_t>(-2), false},
      {"I4 -5", ANY_I4, BytesOf<std::int32_t>(-5), false},
      {"I8 min", ANY_I8, BytesOf<std::int64_t>(INT64_MIN), false},
      {"I8 7", ANY_I8, BytesOf<std::int64_t>(7), true},
      {"R4 -0.5", ANY_R4, BytesOf(-0.5f), false},
      {"R8 -1e-300", ANY_R8, BytesOf(-1e-300), false},
      {"R8 2", ANY_R8, BytesOf(2.0), true},
      {"CY -1", ANY_CY, BytesOf(Money(-1)), false},
      {"CY 0.000001", ANY_CY, BytesOf(Money(0.000001)), true},
      {"UI8 max", ANY_UI8, BytesOf<std::uint64_t>(UINT64_MAX), true},
      {"UI1 255", ANY_UI1, BytesOf<std::uint8_t>(255), true},
      {"BOOL -1", ANY_BOOL, BytesOf<std::int32_t>(-1), true},
      {"DUREE -1", ANY_DUREE, BytesOf<std::int64_t>(-1), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CAny a;
    a.__SetType(c.wCode, 0);
    a.SetValue(c.value.data());
    EXPECT_EQ(a.bIsPositive(), c.bPositive);
  }
}

// ---- Setting with a length -------------------------------------------------

TEST(anyhandlersInline, SetValueWithLengthCopiesAtMostTheWidthAndZeroesTheRest) {
  struct Case {
    unsigned short wCode;
    std::size_t nLen;
    std::size_t nWidth;
  };
  const Case cases[] = {
      {ANY_BOOL, 2, 4}, {ANY_I4, 0, 4},  {ANY_I4, 3, 4},      {ANY_I4, 100, 4},   {ANY_UI1, 5, 1},
      {ANY_I2, 1, 2},   {ANY_UI8, 6, 8}, {ANY_CY, 3, 10},     {ANY_CY, 64, 10},   {ANY_R8, 8, 8},
      {ANY_UIX, 9, 8},  {ANY_DUREE, 7, 8}, {ANY_DATETIME, 4, 8}, {ANY_CARW, 2, 4},  {ANY_CARA, 9, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.wCode << " len " << c.nLen);
    const std::size_t nRead = c.nLen < c.nWidth ? c.nLen : c.nWidth;
    // Exactly the bytes that may be read: reading further is caught.
    std::unique_ptr<unsigned char[]> src(new unsigned char[nRead > 0 ? nRead : 1]);
    for (std::size_t i = 0; i < nRead; ++i) src[i] = static_cast<unsigned char>(0x11 * (i + 1));
    CAny a;
    a.__SetType(c.wCode, 0);
    const Bytes ones(c.nWidth, 0xFF);
    a.SetValue(ones.data());
    a.SetValue(src.get(), c.nLen);
    Bytes expected(c.nWidth, 0);
    std::memcpy(expected.data(), src.get(), nRead);
    EXPECT_EQ(Area(a, c.nWidth), expected);
  }
}

TEST(anyhandlersInline, DateAndTimeTextsKeepEightOrNineCharacters) {
  CAny a;
  a.SetDATEA("202401151230");
  EXPECT_EQ(TextA(a), "20240115");
  a.SetDATEA("12");
  EXPECT_EQ(TextA(a), "12");
  // Nothing of the former text stays behind the terminator.
  EXPECT_EQ(Area(a, 9), Bytes({'1', '2', 0, 0, 0, 0, 0, 0, 0}));
  std::size_t n = 0;
  EXPECT_EQ(a.nGetSTRLEN(&n), ANY_OK);
  EXPECT_EQ(n, 2u);

  a.SetTIMEA("1234567890123");
  EXPECT_EQ(TextA(a), "123456789");
  a.SetDATEW(L"2024011512");
  EXPECT_EQ(TextW(a), L"20240115");
  a.SetTIMEW(L"12345678901");
  EXPECT_EQ(TextW(a), L"123456789");
  EXPECT_EQ(a.nGetSTRLEN(&n), ANY_OK);
  EXPECT_EQ(n, 9u);

  // With a length: at most that many bytes (wide: a quarter as many
  // characters), never past the terminator of a shorter text.
  a.__SetType(ANY_DATEA, 0);
  a.SetValue("2024011599", 4);
  EXPECT_EQ(TextA(a), "2024");
  std::unique_ptr<char[]> shortText(new char[3]{'2', '0', 0});
  a.SetValue(shortText.get(), 40);
  EXPECT_EQ(TextA(a), "20");
  a.__SetType(ANY_TIMEW, 0);
  a.SetValue(L"1234567890", 12);
  EXPECT_EQ(TextW(a), L"123");
  a.SetValue(L"1234567890", 400);
  EXPECT_EQ(TextW(a), L"123456789");
}

// ---- Text setters ------------------------------------------------------------

TEST(anyhandlersInline, WideDateAndTimeConvertEightBitText) {
  CAny a;
  a.SetDATEW(L"20240115");
  a.SetValueFromANSI("19991231", 4);
  EXPECT_EQ(TextW(a), L"1999");
  a.SetValueFromANSI("202401151230");
  EXPECT_EQ(TextW(a), L"20240115");
  a.SetTIMEW(L"000000000");
  a.SetValueFromANSI("12\x80");  // the euro sign of code page 1252
  EXPECT_EQ(TextW(a), L"12\u20AC");
  a.SetValueFromANSI("1234567890123", 11);
  EXPECT_EQ(TextW(a), L"123456789");
  // The code-page forms reach the same conversion.
  a.SetValueFromANSI_CP(1252, "0815");
  EXPECT_EQ(TextW(a), L"0815");
}

TEST(anyhandlersInline, EightBitDateAndTimeConvertWideText) {
  CAny a;
  a.SetDATEA("20240115");
  a.SetValueFromUNICODE(L"2024011512");
  EXPECT_EQ(TextA(a), "20240115");
  a.SetValueFromUNICODE(L"20\u20AC");
  EXPECT_EQ(TextA(a), "20\x80");
  // A length in bytes of wide text: converted, not copied as bytes.
  a.SetTIMEA("000000000");
  a.SetValueFromUNICODE(L"123456", 8);
  EXPECT_EQ(TextA(a), "12");
  a.SetValueFromUNICODE_CP(1252, L"0102030405");
  EXPECT_EQ(TextA(a), "010203040");
}

TEST(anyhandlersInline, CharactersConvertOneCharacter) {
  CAny w;
  w.__SetType(ANY_CARW, 0);
  w.SetValueFromANSI("\x80xyz");
  EXPECT_EQ(TextW(w), L"\u20AC");
  w.SetValueFromANSI_CP(65001, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(TextW(w), L"\u00E9");
  w.SetValueFromANSI("", 5);
  EXPECT_EQ(TextW(w), L"");
  w.SetValueFromUNICODE(L"xy");  // already wide: taken as it is
  EXPECT_EQ(TextW(w), L"x");
  std::size_t n = 0;
  EXPECT_EQ(w.nGetSTRLEN(&n), ANY_OK);
  EXPECT_EQ(n, 1u);

  CAny c;
  c.__SetType(ANY_CARA, 0);
  c.SetValueFromUNICODE(L"\u20AC");
  EXPECT_EQ(TextA(c), "\x80");
  c.SetValueFromUNICODE_CP(1252, L"\u00E9");
  EXPECT_EQ(TextA(c), "\xE9");
  c.SetValueFromUNICODE_CP(65001, L"\u00E9");  // two bytes: no room
  EXPECT_EQ(TextA(c), "?");
  c.SetValueFromUNICODE(L"\u4E2D");  // not in code page 1252
  EXPECT_EQ(TextA(c), "?");
  c.SetValueFromUNICODE(L"AB", 8);
  EXPECT_EQ(TextA(c), "A");
  c.SetValueFromANSI("Qr");
  EXPECT_EQ(TextA(c), "Q");
}

TEST(anyhandlersInline, CharacterFromUtf16ReadsOnlyItsCount) {
  // Exact-size arrays: a unit read past the count is caught.
  std::unique_ptr<unsigned short[]> pair(new unsigned short[2]{0xD83D, 0xDE00});
  std::unique_ptr<unsigned short[]> lone(new unsigned short[1]{0xD83D});
  std::unique_ptr<unsigned short[]> plain(new unsigned short[1]{0x00E9});

  CAny a;
  CAny_TNCARW::s_SetFromUTF16(&a, pair.get(), 0);
  EXPECT_TRUE(a.bIsEmpty());

  CAny_TNCARW::s_SetFromUTF16(&a, pair.get(), 2);
  EXPECT_EQ(a.wGetType(), ANY_CARW);
  EXPECT_EQ(TextW(a), std::wstring(1, static_cast<wchar_t>(0x1F600)));

  CAny_TNCARW::s_SetFromUTF16(&a, lone.get(), 1);
  EXPECT_EQ(TextW(a), std::wstring(1, static_cast<wchar_t>(0xD83D)));

  a.SetNull();
  CAny_TNCARW::s_SetFromUTF16(&a, plain.get(), 1);
  EXPECT_EQ(a.wGetType(), ANY_CARW);
  EXPECT_EQ(TextW(a), L"\u00E9");

  CAny_TNCARW::s_SetFromUTF16(&a, plain.get(), -3);
  EXPECT_EQ(TextW(a), L"\u00E9");
}

// ---- Fills -------------------------------------------------------------------

TEST(anyhandlersInline, TextFillsWriteTheTextAndOneTerminator) {
  CAny a;
  a.SetTIMEA("12");
  std::size_t n = 0;
  EXPECT_EQ(a.nGetUtilDataSize(&n), ANY_OK);
  EXPECT_EQ(n, 2u);
  // Useful size plus a terminator is room enough.
  std::unique_ptr<char[]> util(new char[n + 1]);
  EXPECT_EQ(a.nFillUtilDataBuffer(util.get()), ANY_OK);
  EXPECT_STREQ(util.get(), "12");

  a.SetDATEA("20240115");
  char data[9];
  EXPECT_EQ(a.nFillDataBuffer(data), ANY_OK);
  EXPECT_STREQ(data, "20240115");
  char value[8];
  EXPECT_EQ(a.nFillBuffer(value), ANY_OK);
  EXPECT_EQ(std::string(value, 8), "20240115");

  a.SetTIMEW(L"123");
  EXPECT_EQ(a.nGetUtilDataSize(&n), ANY_OK);
  EXPECT_EQ(n, 12u);
  wchar_t wide[10];
  EXPECT_EQ(a.nFillDataBuffer(wide), ANY_OK);
  EXPECT_STREQ(wide, L"123");

  // A character fills exactly its size.
  CAny c;
  c.__SetType(ANY_CARA, 0);
  c.SetValue("Z");
  std::unique_ptr<char[]> one(new char[1]);
  EXPECT_EQ(c.nFillDataBuffer(one.get()), ANY_OK);
  EXPECT_EQ(one[0], 'Z');
}

TEST(anyhandlersInline, NumberFillsAndAddressesGiveTheInlineBytes) {
  CAny a;
  const CMoney m = Money(-12.5);
  a.SetCY(m);
  unsigned char ab[10];
  EXPECT_EQ(a.nFillDataBuffer(ab), ANY_OK);
  EXPECT_EQ(std::memcmp(ab, &m, 10), 0);
  void* p = nullptr;
  EXPECT_EQ(a.nGetAdr(&p), ANY_OK);
  EXPECT_EQ(p, a.pbyValue());
  EXPECT_EQ(a.nGetDataAdr(&p), ANY_OK);
  EXPECT_EQ(p, a.pbyValue());

  CDateTimeBase dt;
  dt.Set(2024, 1, 15, 12, 30, 0, 5);
  a.SetDATETIME(dt);
  CDateTimeBase out{};
  EXPECT_EQ(a.nFillUtilDataBuffer(&out), ANY_OK);
  EXPECT_EQ(CDateTimeBase::nCompare(out, dt), 0);
}

TEST(anyhandlersInline, BufferBorrowsPointerAndLength) {
  unsigned char memory[5] = {1, 2, 3, 4, 5};
  CAny a;
  a.__SetType(ANY_BUFFER, 0);
  a.SetValue(memory);
  std::size_t n = 99;
  EXPECT_EQ(a.nGetDataSize(&n), ANY_OK);
  EXPECT_EQ(n, 0u);

  a.SetValue(memory, sizeof memory);
  EXPECT_EQ(a.nGetDataSize(&n), ANY_OK);
  EXPECT_EQ(n, 5u);
  void* p = nullptr;
  EXPECT_EQ(a.nGetDataAdr(&p), ANY_OK);
  EXPECT_EQ(p, memory);
  void* pFilled = nullptr;
  EXPECT_EQ(a.nFillBuffer(&pFilled), ANY_OK);
  EXPECT_EQ(pFilled, memory);
  std::unique_ptr<unsigned char[]> copy(new unsigned char[5]);
  EXPECT_EQ(a.nFillDataBuffer(copy.get()), ANY_OK);
  EXPECT_EQ(std::memcmp(copy.get(), memory, 5), 0);

  {
    // A copy borrows the same memory; releasing both frees nothing.
    CAny b(a);
    EXPECT_EQ(b.wGetType(), ANY_BUFFER);
    EXPECT_EQ(b.nGetDataAdr(&p), ANY_OK);
    EXPECT_EQ(p, memory);
    EXPECT_EQ(b.nGetUtilDataSize(&n), ANY_OK);
    EXPECT_EQ(n, 5u);
  }
  EXPECT_EQ(memory[4], 5);
}

// ---- Copies ------------------------------------------------------------------

TEST(anyhandlersInline, CopyCarriesValueAndBothFlags) {
  struct Case {
    unsigned short wCode;
    Bytes value;
    std::size_t nCompared;
  };
  const Case cases[] = {
      {ANY_I4, BytesOf<std::int32_t>(-7), 4},
      {ANY_UI8, BytesOf<std::uint64_t>(UINT64_MAX), 8},
      {ANY_CY, BytesOf(Money(3.25)), 10},
      {ANY_R4, BytesOf(2.5f), 4},
      {ANY_DUREE, BytesOf<std::int64_t>(-86400000), 8},
      {ANY_CARW, BytesOf<wchar_t>(L'\u20AC'), 8},
      {ANY_DATEA, Bytes({'2', '0', '2', '4', '0', '1', '1', '5', 0}), 9},
      {ANY_TIMEW, BytesOf(L"123456789"), 40},
  };
  for (const Case& c : cases) {
    const unsigned short flagSets[] = {0, ANY_FLAG_NULL | ANY_FLAG_RUNTIME, ANY_FLAG_RUNTIME};
    for (unsigned short wFlags : flagSets) {
      SCOPED_TRACE(testing::Message() << c.wCode << " flags " << wFlags);
      CAny a;
      a.__SetType(c.wCode, 0);
      a.SetValue(c.value.data());
      a.m_clIntern.m_wType = static_cast<unsigned short>(a.m_clIntern.m_wType | wFlags);
      CAny b;
      b.SetDATEW(L"19991231");  // a target of another kind
      b = a;
      EXPECT_EQ(b.wGetType(), a.wGetType());
      EXPECT_EQ(Area(b, c.nCompared), Area(a, c.nCompared));
      EXPECT_EQ(b.pstTable(), a.pstTable());
    }
  }
}

TEST(anyhandlersInline, DupliqueReplacesTheTargetsFlags) {
  CAny a;
  a.SetI2(-3);
  CAny b;
  b.SetI2(9);
  b.SetNull();
  a.Duplique(&b);
  EXPECT_EQ(b.wGetType(), ANY_I2);
  EXPECT_EQ(b.m_clIntern.tGet<std::int16_t>(), -3);
}

}  // namespace
