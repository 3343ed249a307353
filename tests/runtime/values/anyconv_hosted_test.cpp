// Conversions of typed values through the stand-in runtime's bound
// conversion: in-place casts, text views and fills, the 8-bit text setter,
// the record-item cast; and what happens without a binding, or after a
// refused one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "AnyOperators.h"
#include "CAny.h"
#include "CTString.h"
#include "IDecimal.h"
#include "support/BoundRuntimeFixture.h"

namespace {

using anyconv = BoundRuntimeTest;

std::wstring sText(const CAny& v) {
  const wchar_t* psz = nullptr;
  return v.nGetPCWSTR(&psz) == 0 ? std::wstring(psz) : std::wstring(L"<no text>");
}

TEST_F(anyconv, CastsChangeTheTypeAndKeepNullAndTheRuntimeMark) {
  CAny v;
  v.SetI4(42);
  EXPECT_EQ(0, v.__nCastTo(ANY_I4, nullptr, 0));
  EXPECT_EQ(42, v.m_clIntern.tGet<std::int32_t>());

  EXPECT_LE(v.__nCastTo(ANY_DSTRW, nullptr, 1), 99);
  EXPECT_EQ(ANY_DSTRW, v.wGetType());
  EXPECT_EQ(L"42", sText(v));

  CAny n;
  n.SetI4(7);
  n.m_clIntern.m_wType |= ANY_FLAG_NULL | ANY_FLAG_RUNTIME;
  EXPECT_LE(n.__nCastTo(ANY_DSTRW, nullptr, 1), 99);
  EXPECT_EQ(ANY_DSTRW | ANY_FLAG_NULL | ANY_FLAG_RUNTIME, n.wGetType());

  // A failure hands the runtime's code back and leaves the value.
  CAny t;
  t.__SetType(ANY_DSTRW, 0);
  t.SetValue(L"not a number", 12 * sizeof(wchar_t));
  const int nFailed = t.__nCastTo(ANY_I4, nullptr, 0);
  EXPECT_GT(nFailed, 99);
  EXPECT_EQ(ANY_DSTRW, t.wGetType());
  EXPECT_EQ(L"not a number", sText(t));

  // Text to a number and back; an owned wide string made by the runtime is
  // copied and given back.
  CAny p;
  p.__SetType(ANY_DSTRW, 0);
  p.SetValue(L"-15", 3 * sizeof(wchar_t));
  EXPECT_LE(p.__nCastTo(ANY_I8, nullptr, 0), 99);
  EXPECT_EQ(ANY_I8, p.wGetType());
  EXPECT_EQ(-15, p.m_clIntern.tGet<std::int64_t>());
  EXPECT_LE(p.__nCastTo(ANY_PSTRW, nullptr, 1), 99);
  EXPECT_EQ(ANY_PSTRW, p.wGetType());
  EXPECT_EQ(L"-15", sText(p));
}

TEST_F(anyconv, TextViewsAndFillsLeaveTheValueOrRetypeItAsDocumented) {
  CAny w;
  w.__SetType(ANY_DSTRW, 0);
  w.SetValue(L"wide", 4 * sizeof(wchar_t));
  const wchar_t* pszOwn = nullptr;
  w.nGetPCWSTR(&pszOwn);
  const wchar_t* psz = nullptr;
  EXPECT_EQ(0, w.__nCastToString(&psz, nullptr));
  EXPECT_EQ(pszOwn, psz);  // no conversion: its own text

  CAny i;
  i.SetI4(-3);
  EXPECT_EQ(0, i.__nCastToString(&psz, nullptr));
  EXPECT_EQ(ANY_DSTRW, i.wGetType());
  EXPECT_STREQ(L"-3", psz);

  CAny k;
  k.SetI4(1234);
  CXYString<wchar_t> clWide;
  CXYString<char> clNarrow;
  EXPECT_LE(k.__nFillString(clWide, nullptr), 99);
  EXPECT_LE(k.__nFillString(clNarrow, nullptr), 99);
  EXPECT_EQ(ANY_I4, k.wGetType());
  EXPECT_STREQ(L"1234", clWide.pszGet());
  EXPECT_STREQ("1234", clNarrow.pszGet());

  // A DSTRW fill shares the string.
  EXPECT_EQ(0, w.__nFillString(clWide, nullptr));
  EXPECT_EQ(pszOwn, clWide.pszGet());
}

TEST_F(anyconv, WideTextSetAsEightBitTextInTheOptionsCodePage) {
  CAny v;
  v.SetI4(1);
  STOCAW stOptions = {};
  stOptions.nCodePage = 1252;
  EXPECT_EQ(0, v.__nSetString(L"caf\u00e9", -1, &stOptions));
  EXPECT_EQ(ANY_DSTRA, v.wGetType());
  const char* psz = nullptr;
  ASSERT_EQ(0, v.nGetPCASTR(&psz));
  EXPECT_STREQ("caf\xE9", psz);
}

TEST_F(anyconv, RecordItemCastWritesTheTargetForm) {
  unsigned char abyItem[8];
  std::memset(abyItem, 0xAB, sizeof abyItem);
  EXPECT_LE(CAny::__s_nCastTo(abyItem, L"123", ANY_I4, nullptr), 99);
  std::int32_t n;
  std::memcpy(&n, abyItem, sizeof n);
  EXPECT_EQ(123, n);
  EXPECT_EQ(0xAB, abyItem[4]);  // only the target form's width
}

TEST_F(anyconv, DecimalsComeFromTheBoundFactory) {
  ASSERT_NE(nullptr, gpiVMFactory);
  CAny v;
  v.SetI4(-42);
  EXPECT_LE(v.__nCastTo(ANY_DECIMAL, nullptr, 0), 99);
  EXPECT_EQ(ANY_DECIMAL, v.wGetType());
  EXPECT_NE(nullptr, v.m_clIntern.tGet<IDecimal*>());
  EXPECT_FALSE(v.bIsPositive());
  EXPECT_LE(v.__nCastTo(ANY_DSTRW, nullptr, 1), 99);
  EXPECT_EQ(L"-42", sText(v));
}

// Without a binding, or after a refused one, nothing calls through null.
class anyconvUnbound : public BoundRuntimeTest {
 protected:
  anyconvUnbound() { m_bBind = false; }

  void ExpectEverythingAnswers105() {
    CAny a;
    a.SetI4(5);
    EXPECT_EQ(105, a.__nCastTo(ANY_DSTRW, nullptr, 1));
    EXPECT_EQ(ANY_I4, a.wGetType());
    EXPECT_EQ(5, a.m_clIntern.tGet<std::int32_t>());
    unsigned char aby[8] = {};
    EXPECT_EQ(105, CAny::__s_nCastTo(aby, L"1", ANY_I4, nullptr));
    int n = 9;
    EXPECT_EQ(105, nEgalite(a, a, &n, 0));
    EXPECT_EQ(9, n);
    CAny r;
    EXPECT_EQ(105, nAjoute(a, a, &r, 0));
    EXPECT_EQ(0, r.wGetType());
    CXYString<wchar_t> clText;
    EXPECT_EQ(105, nGetString(&clText, a, L"v: ", 0));
    EXPECT_STREQ(L"v: <ERROR>", clText.pszGet());
    // Without a factory a DECIMAL holds no object, and a cast to it is refused.
    CAny d;
    d.__SetType(ANY_DECIMAL, 0);
    EXPECT_EQ(nullptr, d.m_clIntern.tGet<void*>());
    EXPECT_EQ(105, a.__nCastTo(ANY_DECIMAL, nullptr, 0));
    EXPECT_EQ(ANY_I4, a.wGetType());
  }
};

TEST_F(anyconvUnbound, BeforeAnyBinding) { ExpectEverythingAnswers105(); }

TEST_F(anyconvUnbound, AfterARefusedFirstBinding) {
  void* hNoNames = dlopen(kxtest::StandInVmNoExecPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, hNoNames);
  EXPECT_EQ(0, bInitTNConvFromVM(hNoNames, 2, 2));
  EXPECT_EQ(0, bInitTNCalcFromVM(hNoNames, 2, 2));
  EXPECT_EQ(0, bInitTNConvFromVM(nullptr, 2, 2));
  EXPECT_EQ(0, bInitTNCalcFromVM(nullptr, 2, 2));
  ExpectEverythingAnswers105();
  dlclose(hNoNames);
}

TEST_F(anyconvUnbound, VersionsAreCheckedAndARefusedRebindingKeepsTheEarlierOne) {
  EXPECT_EQ(0, bInitTNConvFromVM(m_vm->hModule(), 1, 2));
  EXPECT_EQ(0, bInitTNConvFromVM(m_vm->hModule(), 2, 3));
  EXPECT_EQ(0, bInitTNCalcFromVM(m_vm->hModule(), 1, 0));
  EXPECT_EQ(nullptr, gpfnConvDepExt);
  ASSERT_EQ(1, bInitTNConvFromVM(m_vm->hModule(), 2, 2));
  ASSERT_EQ(1, bInitTNCalcFromVM(m_vm->hModule(), 2, 2));

  void* hNoNames = dlopen(kxtest::StandInVmNoExecPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, hNoNames);
  EXPECT_EQ(0, bInitTNConvFromVM(hNoNames, 2, 2));
  EXPECT_EQ(0, bInitTNCalcFromVM(hNoNames, 2, 2));
  EXPECT_EQ(m_vm->hModule(), ghConvVM);
  EXPECT_EQ(m_vm->hModule(), ghCalcVM);
  dlclose(hNoNames);

  CAny a;
  a.SetI4(5);
  CAny b;
  b.SetI4(5);
  int n = 0;
  EXPECT_EQ(0, nEgalite(a, b, &n, 0));
  EXPECT_EQ(1, n);
  EXPECT_LE(a.__nCastTo(ANY_DSTRW, nullptr, 1), 99);
  EXPECT_EQ(L"5", sText(a));
}

}  // namespace
