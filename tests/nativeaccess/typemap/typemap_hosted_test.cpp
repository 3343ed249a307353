// The item-type to SQL type map: its default rows, the formats filled from
// item descriptions, the replacement of rows; SQL white space; and the
// extreme-value check of search bounds for every platform type, decimals
// through the stand-in runtime's decimals and equality.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "AnyRuntime.h"
#include "CAny.h"
#include "CNAItemDescription.h"
#include "CNAMapConvertType.h"
#include "IDecimal.h"
#include "SharedStringBlock.h"
#include "StandInValues.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

// A description held by the test (one internal reference), given back at
// the end of the scope.
class Item {
 public:
  Item(eNA_ITEMTYPE e, std::uint32_t nSize, int nInt = 0, int nDec = 0) : m_p(new CNAItemDescription) {
    m_p->AddRef();
    m_p->bInit(L"I", L"", L"", 1, nSize, e, 0, 0, 0, nInt, nDec);
  }
  ~Item() { m_p->nRelease(); }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  CNAItemDescription* operator->() const { return m_p; }
  operator const INAItemDescription*() const { return m_p; }

 private:
  CNAItemDescription* m_p;
};

std::wstring Row(CNAMapConvertType& map, eNA_ITEMTYPE e, int* pbPlaceholders) {
  CNATypeInfo* p = nullptr;
  if (!map.bGetElement(e, &p)) return L"<none>";
  std::wstring s = p->pszGetType();
  *pbPlaceholders = p->bHasPlaceholders();
  p->nRelease();
  return s;
}

TEST(typemap, DefaultRows) {
  CNAMapConvertType map;
  EXPECT_EQ(0u, map.dwGetNumElement());
  map._Init();
  struct Expected {
    eNA_ITEMTYPE e;
    const wchar_t* psz;
    int bPlaceholders;
  };
  const Expected rows[] = {
      {NA_IT_IDAUTO, L"NUMERIC(19,0)", 0}, {NA_IT_IDAUTO4, L"INTEGER", 0},   {NA_IT_I1, L"SMALLINT", 0},
      {NA_IT_I2, L"SMALLINT", 0},          {NA_IT_I4, L"INTEGER", 0},       {NA_IT_I8, L"NUMERIC(19,0)", 0},
      {NA_IT_UI1, L"SMALLINT", 0},         {NA_IT_UI2, L"SMALLINT", 0},     {NA_IT_UI4, L"INTEGER", 0},
      {NA_IT_UI8, L"NUMERIC(20,0)", 0},    {NA_IT_BOOLEEN, L"SMALLINT", 0}, {NA_IT_MONETAIRE, L"NUMERIC(24,6)", 0},
      {NA_IT_DECIMAL, L"NUMERIC(%d,%d)", 1}, {NA_IT_R4, L"REAL", 0},        {NA_IT_R8, L"FLOAT", 0},
      {NA_IT_REELTURBO, L"FLOAT", 0},      {NA_IT_CHAR, L"CHARACTER", 0},   {NA_IT_IMAGE, L"CHARACTER(%d)", 1},
      {NA_IT_TEXTE, L"VARCHAR(%d)", 1},    {NA_IT_MEMOTEXTE, L"TEXT", 0},   {NA_IT_UNICODE, L"NVARCHAR(%d)", 1},
      {NA_IT_MEMOUNICODE, L"NTEXT", 0},    {NA_IT_BINAIRE, L"VARBINARY(%d)", 1}, {NA_IT_DATE6, L"DATE", 0},
      {NA_IT_DATE8, L"DATE", 0},           {NA_IT_HEURE, L"TIME", 0},       {NA_IT_DATETIME, L"TIMESTAMP", 0},
      {NA_IT_TIMELENGHT, L"NUMERIC(19,0)", 0}};
  EXPECT_EQ(std::size(rows), map.dwGetNumElement());
  for (const Expected& r : rows) {
    int b = -1;
    EXPECT_EQ(r.psz, Row(map, r.e, &b)) << r.e;
    EXPECT_EQ(r.bPlaceholders, b) << r.e;
  }
  for (eNA_ITEMTYPE e : {NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE4, NA_IT_EMPTY}) {
    int b = -1;
    EXPECT_EQ(L"<none>", Row(map, e, &b)) << e;
  }
  // The ANSI NUMERIC(19,0) reads back as a 64-bit integer.
  std::uint32_t n = 0;
  EXPECT_EQ(NA_IT_I8, CNAItemDescription::s_GetTypeFromFormat(19, 0, &n));
}

TEST(typemap, FormatsFilledFromTheItem) {
  CNAMapConvertType map;
  map._Init();
  map.Add(NA_IT_HEURE, L"TIME(%d)", 1);
  struct Case {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    int nInt, nDec;
    const wchar_t* pszExpected;
  };
  const Case cases[] = {
      {NA_IT_TEXTE, 51, 0, 0, L"VARCHAR(50)"},
      {NA_IT_UNICODE, 42, 0, 0, L"NVARCHAR(20)"},
      {NA_IT_BINAIRE, 258, 0, 0, L"VARBINARY(256)"},
      {NA_IT_DECIMAL, 16, 15, 4, L"NUMERIC(19,4)"},
      {NA_IT_IMAGE, 12, 0, 0, L"CHARACTER(12)"},
      {NA_IT_I4, 4, 0, 0, L"INTEGER"},
      {NA_IT_MEMOTEXTE, 8, 0, 0, L"TEXT"},
      {NA_IT_HEURE, 10, 0, 0, L"TIME(3)"},
      {NA_IT_HEURE, 5, 0, 0, L"TIME(0)"},
      // Elements too small for their terminator or prefix give 0, not a
      // wrapped size.
      {NA_IT_TEXTE, 0, 0, 0, L"VARCHAR(0)"},
      {NA_IT_UNICODE, 1, 0, 0, L"NVARCHAR(0)"},
      {NA_IT_BINAIRE, 1, 0, 0, L"VARBINARY(0)"},
  };
  for (const Case& c : cases) {
    Item item(c.e, c.nSize, c.nInt, c.nDec);
    CTString s;
    ASSERT_TRUE(map.bFormat(item, &s)) << c.e;
    EXPECT_STREQ(c.pszExpected, s.pszGet()) << c.e << "/" << c.nSize;
  }

  Item blob(NA_IT_MEMOBINAIRE, 8);
  CTString s(L"untouched");
  EXPECT_FALSE(map.bFormat(blob, &s));
  EXPECT_STREQ(L"untouched", s.pszGet());
  EXPECT_FALSE(map.bFormat(nullptr, &s));
  EXPECT_FALSE(map.bFormat(blob, nullptr));
  ASSERT_TRUE(map.Add(NA_IT_MEMOBINAIRE, L"LONGBLOB", 0));
  EXPECT_TRUE(map.bFormat(blob, &s));
  EXPECT_STREQ(L"LONGBLOB", s.pszGet());
}

TEST(typemap, AddReleasesTheReplacedRowOnce) {
  CNAMapConvertType map;
  map._Init();
  CNATypeInfo* pOld = nullptr;
  ASSERT_TRUE(map.bGetElement(NA_IT_TEXTE, &pOld));
  ASSERT_EQ(2u, pOld->nGetInternalCount());  // the map's and ours
  const unsigned int nRows = map.dwGetNumElement();

  ASSERT_TRUE(map.Add(NA_IT_TEXTE, L"VARCHAR(%d) CHARACTER SET utf8", 1));
  EXPECT_EQ(1u, pOld->nGetInternalCount());  // the map's went, ours stays
  EXPECT_EQ(nRows, map.dwGetNumElement());
  EXPECT_STREQ(L"VARCHAR(%d)", pOld->pszGetType());
  pOld->nRelease();

  Item item(NA_IT_TEXTE, 11);
  CTString s;
  ASSERT_TRUE(map.bFormat(item, &s));
  EXPECT_STREQ(L"VARCHAR(10) CHARACTER SET utf8", s.pszGet());

  // Replacing again and again keeps one row per type.
  for (int i = 0; i < 3; ++i) map.Add(NA_IT_TEXTE, L"TEXT", 0);
  EXPECT_EQ(nRows, map.dwGetNumElement());
  ASSERT_TRUE(map.bFormat(item, &s));
  EXPECT_STREQ(L"TEXT", s.pszGet());
}

TEST(typemap, SqlWhiteSpaceIsTabLineFeedReturnAndSpaceOnly) {
  for (unsigned c = 0; c < 0x3000; ++c) {
    const bool bExpected = c == 9 || c == 10 || c == 13 || c == 32;
    EXPECT_EQ(bExpected, CNAMapConvertType::s_bEspaceSQL(static_cast<wchar_t>(c))) << c;
  }
}

// ---- eCheckValue ----------------------------------------------------------------

template <typename T>
CAny Raw(unsigned short wType, T t) {
  CAny v;
  v.__SetType(wType, 0);
  v.m_clIntern.Put<T>(t);
  return v;
}

CAny Marked(CAny v) {
  v.m_clIntern.m_wType |= ANY_FLAG_RUNTIME;
  return v;
}

CAny Null(CAny v) {
  v.SetNull(true);
  return v;
}

constexpr std::int64_t knHighest = 0x05265BFF270F0C1DLL;

TEST(typemap, CheckValueOfInlineTypes) {
  struct Case {
    const char* pszName;
    CAny v;
    int nExpected;
  };
  const Case cases[] = {
      {"UI1 0", Raw<std::uint8_t>(ANY_UI1, 0), 1},
      {"UI1 255", Raw<std::uint8_t>(ANY_UI1, 255), 2},
      {"UI1 7", Raw<std::uint8_t>(ANY_UI1, 7), 0},
      {"UI2 0", Raw<std::uint16_t>(ANY_UI2, 0), 1},
      {"UI2 max", Raw<std::uint16_t>(ANY_UI2, 65535), 2},
      {"UI4 0", Raw<std::uint32_t>(ANY_UI4, 0), 1},
      {"UI4 max", Raw<std::uint32_t>(ANY_UI4, 0xFFFFFFFFu), 2},
      {"UI4 mid", Raw<std::uint32_t>(ANY_UI4, 0x7FFFFFFFu), 0},
      {"UI8 0", Raw<std::uint64_t>(ANY_UI8, 0), 1},
      {"UI8 max", Raw<std::uint64_t>(ANY_UI8, ~0ull), 2},
      {"I1 min", Raw<std::int8_t>(ANY_I1, -128), 1},
      {"I1 max", Raw<std::int8_t>(ANY_I1, 127), 2},
      {"I1 0", Raw<std::int8_t>(ANY_I1, 0), 0},
      {"I2 min", Raw<std::int16_t>(ANY_I2, -32768), 1},
      {"I2 max", Raw<std::int16_t>(ANY_I2, 32767), 2},
      {"I2 0", Raw<std::int16_t>(ANY_I2, 0), 0},
      {"I4 min", Raw<std::int32_t>(ANY_I4, INT32_MIN), 1},
      {"I4 max", Raw<std::int32_t>(ANY_I4, INT32_MAX), 2},
      {"I8 min", Raw<std::int64_t>(ANY_I8, INT64_MIN), 1},
      {"I8 max", Raw<std::int64_t>(ANY_I8, INT64_MAX), 2},
      {"I8 1", Raw<std::int64_t>(ANY_I8, 1), 0},
      {"R4 min", Raw<float>(ANY_R4, -3.4028235e38f), 1},
      {"R4 max", Raw<float>(ANY_R4, 3.4028235e38f), 2},
      {"R4 NaN", Raw<float>(ANY_R4, NAN), 0},
      {"R4 inf", Raw<float>(ANY_R4, INFINITY), 0},
      {"R8 min", Raw<double>(ANY_R8, -1.7976931348623157e308), 1},
      {"R8 max", Raw<double>(ANY_R8, 1.7976931348623157e308), 2},
      {"R8 0", Raw<double>(ANY_R8, 0.0), 0},
      // Open cases: a marked integer or real, and the platform-width
      // unsigned type, are never taken as bounds.
      {"marked I2 min", Marked(Raw<std::int16_t>(ANY_I2, -32768)), 0},
      {"marked I4 max", Marked(Raw<std::int32_t>(ANY_I4, INT32_MAX)), 0},
      {"marked R8 max", Marked(Raw<double>(ANY_R8, DBL_MAX)), 0},
      {"UIX 0", Raw<std::uint64_t>(ANY_UIX, 0), 0},
      {"UIX max", Raw<std::uint64_t>(ANY_UIX, ~0ull), 0},
      {"NULL I2 min", Null(Raw<std::int16_t>(ANY_I2, -32768)), 0},
      {"CARA 255", Raw<unsigned char>(ANY_CARA, 255), 2},
      {"CARA 0", Raw<unsigned char>(ANY_CARA, 0), 0},
      {"CARW max", Raw<std::uint32_t>(ANY_CARW, 0xFFFFFFFFu), 2},
      {"CARW a", Raw<std::uint32_t>(ANY_CARW, 'a'), 0},
      {"DATETIME 0", Raw<std::int64_t>(ANY_DATETIME, 0), 1},
      {"DATETIME highest", Raw<std::int64_t>(ANY_DATETIME, knHighest), 0},
      {"DATETIME above", Raw<std::int64_t>(ANY_DATETIME, knHighest + 1), 2},
      {"DATETIME negative", Raw<std::int64_t>(ANY_DATETIME, -1), 0},
      {"marked DATETIME above", Marked(Raw<std::int64_t>(ANY_DATETIME, knHighest + 1)), 1},
      {"DUREE 0", Raw<std::int64_t>(ANY_DUREE, 0), 1},
      {"DUREE above", Raw<std::int64_t>(ANY_DUREE, INT64_MAX), 2},
      {"DUREE 5", Raw<std::int64_t>(ANY_DUREE, 5), 0},
      {"marked DUREE 5", Marked(Raw<std::int64_t>(ANY_DUREE, 5)), 1},
      {"NULL DUREE 0", Null(Raw<std::int64_t>(ANY_DUREE, 0)), 0},
      {"BOOL 1", Raw<std::int32_t>(ANY_BOOL, 1), 0},
      {"CY 0", Raw<std::int64_t>(ANY_CY, 0), 0},
      {"empty", CAny(), 0},
      // Dynamic strings without a buffer have no mark to read.
      {"DSTRW none", Raw<void*>(ANY_DSTRW, nullptr), 0},
      {"DSTRA none", Raw<void*>(ANY_DSTRA, nullptr), 0},
      {"PSTRA none", Raw<void*>(ANY_PSTRA, nullptr), 0},
      {"PSTRW none", Raw<void*>(ANY_PSTRW, nullptr), 0},
      {"object 141", Raw<void*>(ANY_OBJET_141, nullptr), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.nExpected, eCheckValue(&c.v)) << c.pszName;
  EXPECT_EQ(0, eCheckValue(nullptr));
}

// Texts need the runtime's string allocator; decimals its factory and
// equality.
using typemap_bound = BoundRuntimeTest;

CAny DynamicText(unsigned short wType, const void* p, std::size_t nBytes, bool bHighest) {
  CAny v;
  v.__SetType(wType, 0);
  v.SetValue(p, nBytes);
  void* pvHandle = v.m_clIntern.tGet<void*>();
  EXPECT_NE(nullptr, pvHandle);
  if (pvHandle != nullptr && bHighest) SharedBlock::pHeader(pvHandle)->dwFlags |= SharedBlock::kEndMarkerFlag;
  return v;
}

TEST_F(typemap_bound, CheckValueOfTexts) {
  const wchar_t awMax[] = {L'a', static_cast<wchar_t>(-1), 0};
  const wchar_t awMaxFirst[] = {static_cast<wchar_t>(-1), L'a', 0};
  struct Case {
    const char* pszName;
    CAny v;
    int nExpected;
  };
  Case cases[] = {
      {"DSTRW marked", DynamicText(ANY_DSTRW, L"abc", 3 * sizeof(wchar_t), true), 2},
      {"DSTRW plain", DynamicText(ANY_DSTRW, L"abc", 3 * sizeof(wchar_t), false), 0},
      {"DSTRA marked", DynamicText(ANY_DSTRA, "abc", 3, true), 2},
      {"DSTRA plain", DynamicText(ANY_DSTRA, "abc", 3, false), 0},
      {"PSTRA 255", CAny(), 2},
      {"PSTRA 255 first", CAny(), 0},
      {"DATEA 255", CAny(), 2},
      {"TIMEA plain", CAny(), 0},
      {"PSTRW max", CAny(), 2},
      {"PSTRW max first", CAny(), 0},
      {"DATEW max", CAny(), 2},
      {"TIMEW empty", CAny(), 0},
  };
  cases[4].v.__SetType(ANY_PSTRA, 0);
  cases[4].v.SetValue("ab\xff", 3);
  cases[5].v.__SetType(ANY_PSTRA, 0);
  cases[5].v.SetValue("\xff" "ab", 3);
  cases[6].v.SetDATEA("2024123\xff");
  cases[7].v.SetTIMEA("235959999");
  cases[8].v.__SetType(ANY_PSTRW, 0);
  cases[8].v.SetValue(awMax, 2 * sizeof(wchar_t));
  cases[9].v.__SetType(ANY_PSTRW, 0);
  cases[9].v.SetValue(awMaxFirst, 2 * sizeof(wchar_t));
  cases[10].v.SetDATEW(awMax);
  cases[11].v.SetTIMEW(L"");
  for (const Case& c : cases) EXPECT_EQ(c.nExpected, eCheckValue(&c.v)) << c.pszName;
}

// A decimal value of p digits and s decimals holding the unscaled value.
void SetDecimal(CAny* pValue, __int128 value, int p, int s) {
  pValue->__SetType(ANY_DECIMAL, 0);
  IDecimal* pi = pValue->m_clIntern.tGet<IDecimal*>();
  ASSERT_NE(nullptr, pi);
  unsigned char aby[16];
  std::memcpy(aby, &value, sizeof aby);  // little-endian two's complement
  ASSERT_EQ(0, pi->nSetFromNative(aby, p, s));
}

__int128 Pow10(int n) {
  __int128 v = 1;
  for (int i = 0; i < n; ++i) v *= 10;
  return v;
}

TEST_F(typemap_bound, CheckValueOfDecimalsAtTheirOwnPrecision) {
  struct Case {
    __int128 value;
    int p, s;
    int nExpected;
  };
  const Case cases[] = {
      {-99999, 5, 2, 1},         {99999, 5, 2, 2},           {0, 5, 2, 0},
      {99998, 5, 2, 0},          {-9, 1, 0, 1},              {9, 1, 0, 2},
      {Pow10(38) - 1, 38, 10, 2}, {1 - Pow10(38), 38, 0, 1},  {Pow10(37), 38, 0, 0},
      // The maximum of a narrower type is not the maximum of this one.
      {99999, 7, 2, 0},
  };
  for (const Case& c : cases) {
    CAny v;
    SetDecimal(&v, c.value, c.p, c.s);
    EXPECT_EQ(c.nExpected, eCheckValue(&v)) << static_cast<long long>(c.value) << " (" << c.p << "," << c.s << ")";
    // The value itself is not changed by the check.
    int p = 0, s = 0;
    v.m_clIntern.tGet<IDecimal*>()->nGetPrecisionScale(&p, &s);
    EXPECT_EQ(c.p, p);
    EXPECT_EQ(c.s, s);
  }
  CAny v;
  SetDecimal(&v, 99999, 5, 2);
  v.SetNull(true);
  EXPECT_EQ(0, eCheckValue(&v));
}

// Decimals are made, but no equality is bound: a comparison that cannot be
// made never answers a bound.
class typemap_unbound : public BoundRuntimeTest {
 protected:
  typemap_unbound() { m_bBind = false; }
};

TEST_F(typemap_unbound, FailedDecimalComparisonAnswersOrdinary) {
  gpiVMFactory = StandIn_pGetDecimalFactory();
  {
    CAny lowest;
    SetDecimal(&lowest, -99999, 5, 2);
    CAny highest;
    SetDecimal(&highest, 99999, 5, 2);
    EXPECT_EQ(0, eCheckValue(&lowest));
    EXPECT_EQ(0, eCheckValue(&highest));
  }
  gpiVMFactory = nullptr;
  // Without a factory a decimal holds no object at all.
  CAny none;
  none.__SetType(ANY_DECIMAL, 0);
  EXPECT_EQ(0, eCheckValue(&none));
}

}  // namespace
