// Operators on typed values through the stand-in runtime's bound operators:
// the NULL policy, the negated comparisons, answers as values, arithmetic
// moving the runtime's result in (reused variables, text joined to text),
// negation, and the debugging text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "AnyOperators.h"
#include "CAny.h"
#include "support/BoundRuntimeFixture.h"

namespace {

using anyops = BoundRuntimeTest;

CAny I4(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

CAny Text(const wchar_t* psz) {
  CAny v;
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(psz, std::wcslen(psz) * sizeof(wchar_t));
  return v;
}

// An integer result, whatever width the runtime chose for it, NULL or not.
long nInteger(const CAny& v) {
  CAny c(v);
  c.SetNull(false);
  long n = -999;
  EXPECT_EQ(0, c.nGetINT_64(&n)) << "type " << v.wGetType();
  return n;
}

std::wstring sText(const CAny& v) {
  const wchar_t* psz = nullptr;
  return v.nGetPCWSTR(&psz) == 0 ? std::wstring(psz) : std::wstring(L"<no text>");
}

TEST_F(anyops, NullOperandsAnswer103AndLeaveTheAnswer) {
  CAny n = I4(1);
  n.SetNull();
  const CAny one = I4(1);
  int nAnswer = 7;
  EXPECT_EQ(103, nEgalite(n, one, &nAnswer, 0));
  EXPECT_EQ(103, nDifferent(one, n, &nAnswer, 0));
  EXPECT_EQ(103, nCompare(n, one, &nAnswer, 0));
  EXPECT_EQ(103, nNot(n, &nAnswer, 0));
  EXPECT_EQ(7, nAnswer);
  EXPECT_EQ(103, nEgalite(&one, nullptr, &nAnswer, 0));
  EXPECT_EQ(103, nCompare(nullptr, &one, &nAnswer, 0));
  EXPECT_EQ(7, nAnswer);
  CAny clAnswer = I4(99);
  EXPECT_EQ(103, nEgalite(n, one, &clAnswer, 0));
  EXPECT_EQ(ANY_I4, clAnswer.wGetType());
  EXPECT_EQ(99, clAnswer.m_clIntern.tGet<std::int32_t>());
  // The runtime mark is not NULL.
  CAny m = I4(1);
  m.m_clIntern.m_wType |= ANY_FLAG_RUNTIME;
  EXPECT_EQ(0, nEgalite(m, one, &nAnswer, 0));
  EXPECT_EQ(1, nAnswer);
}

TEST_F(anyops, NegatedComparisonsAreExactlyTheNegations) {
  for (int nLeft : {1, 2, 3}) {
    SCOPED_TRACE(nLeft);
    const CAny a = I4(nLeft);
    const CAny b = I4(2);
    int nEq = -1, nDiff = -1, nSup = -1, nInfEq = -1, nInf = -1, nSupEq = -1, nOrder = 0;
    ASSERT_EQ(0, nEgalite(a, b, &nEq, 0));
    ASSERT_EQ(0, nDifferent(a, b, &nDiff, 0));
    ASSERT_EQ(0, nSuperieur(a, b, &nSup, 0));
    ASSERT_EQ(0, nInfEgal(a, b, &nInfEq, 0));
    ASSERT_EQ(0, nInferieur(a, b, &nInf, 0));
    ASSERT_EQ(0, nSupEgal(a, b, &nSupEq, 0));
    ASSERT_EQ(0, nCompare(a, b, &nOrder, 0));
    EXPECT_EQ(nLeft == 2, nEq != 0);
    EXPECT_EQ(nEq == 0, nDiff != 0);
    EXPECT_EQ(nLeft > 2, nSup != 0);
    EXPECT_EQ(nSup == 0, nInfEq != 0);
    EXPECT_EQ(nLeft < 2, nInf != 0);
    EXPECT_EQ(nInf == 0, nSupEq != 0);
    EXPECT_EQ(nLeft < 2, nOrder < 0);
    EXPECT_EQ(nLeft > 2, nOrder > 0);
  }
}

TEST_F(anyops, AnswersAsValuesAreI4ForTheOrderAndBoolForTheRest) {
  const CAny a = I4(5);
  const CAny b = I4(9);
  CAny clOrder = Text(L"replaced");
  EXPECT_EQ(0, nCompare(a, b, &clOrder));
  EXPECT_EQ(ANY_I4, clOrder.wGetType());
  EXPECT_LT(clOrder.m_clIntern.tGet<std::int32_t>(), 0);
  CAny clTruth;
  EXPECT_EQ(0, nInferieur(a, b, &clTruth, 0));
  EXPECT_EQ(ANY_BOOL, clTruth.wGetType());
  EXPECT_EQ(1, clTruth.m_clIntern.tGet<std::int32_t>());
  EXPECT_EQ(0, nNot(clTruth, &clTruth, 0));
  EXPECT_EQ(ANY_BOOL, clTruth.wGetType());
  EXPECT_EQ(0, clTruth.m_clIntern.tGet<std::int32_t>());
  const CAny t = Text(L"prefix and more");
  EXPECT_EQ(0, nCommencePar(t, Text(L"prefix"), &clTruth, 0));
  EXPECT_EQ(1, clTruth.m_clIntern.tGet<std::int32_t>());
  EXPECT_EQ(0, nTerminePar(t, Text(L"prefix"), &clTruth, 0));
  EXPECT_EQ(0, clTruth.m_clIntern.tGet<std::int32_t>());
}

TEST_F(anyops, ArithmeticMovesTheResultInAndMarksNull) {
  CAny a = I4(2);
  a.SetNull();
  CAny r = Text(L"a text the sum replaces");
  EXPECT_EQ(0, nAjoute(a, I4(3), &r, 0));
  EXPECT_TRUE(r.bIsNull());
  EXPECT_EQ(5, nInteger(r));

  // A variable that held a decimal takes an I4 sum: the decimal goes once.
  CAny d;
  d.SetI4(4);
  ASSERT_LE(d.__nCastTo(ANY_DECIMAL, nullptr, 0), 99);
  EXPECT_EQ(0, nMultiplie(I4(6), I4(7), &d, 0));
  EXPECT_FALSE(d.bIsNull());
  EXPECT_EQ(42, nInteger(d));

  // A failure leaves the result as it was.
  CAny q = I4(11);
  EXPECT_GT(nDivise(I4(1), I4(0), &q, 0), 99);
  EXPECT_EQ(11, q.m_clIntern.tGet<std::int32_t>());
}

TEST_F(anyops, IncrementsMoveTheResultInLikeTheArithmetic) {
  // Text += text: the joined string is the value's, no reference left over
  // (the fixture counts the blocks) and no pointer read as text.
  CAny t = Text(L"ab");
  EXPECT_EQ(0, nIncrementeNumerique(&t, Text(L"cd")));
  EXPECT_EQ(ANY_DSTRW, t.wGetType());
  EXPECT_EQ(L"abcd", sText(t));

  CAny n = I4(10);
  CAny m = I4(4);
  m.SetNull();
  EXPECT_EQ(0, nDecrementeNumerique(&n, m));
  EXPECT_TRUE(n.bIsNull());
  EXPECT_EQ(6, nInteger(n));
}

TEST_F(anyops, NegationWritesIntoTheResult) {
  CAny r;
  EXPECT_EQ(0, nNegatif(I4(8), &r, 0));
  EXPECT_EQ(ANY_I4, r.wGetType());
  EXPECT_EQ(-8, r.m_clIntern.tGet<std::int32_t>());

  // A result of another type than the operand's: the handler changes
  // without releasing the runtime's output as the old type's.
  CAny u;
  u.SetUI4(7);
  u.SetNull();
  CAny ru = Text(L"replaced");
  EXPECT_EQ(0, nNegatif(u, &ru, 0));
  EXPECT_NE(ANY_UI4, ru.nGetTypeCode());
  EXPECT_TRUE(ru.bIsNull());
  EXPECT_EQ(-7, nInteger(ru));

  CAny d = I4(5);
  ASSERT_LE(d.__nCastTo(ANY_DECIMAL, nullptr, 0), 99);
  CAny nd;
  EXPECT_EQ(0, nNegatif(d, &nd, 0));
  EXPECT_EQ(ANY_DECIMAL, nd.wGetType());
  EXPECT_FALSE(nd.bIsPositive());
  EXPECT_TRUE(d.bIsPositive());
  // In place.
  EXPECT_EQ(0, nNegatif(d, &d, 0));
  EXPECT_FALSE(d.bIsPositive());

  CAny p;
  EXPECT_EQ(0, nPositif(d, &p, 0));
  EXPECT_EQ(ANY_DECIMAL, p.wGetType());
  EXPECT_NE(d.m_clIntern.tGet<void*>(), p.m_clIntern.tGet<void*>());
}

TEST_F(anyops, DebuggingTexts) {
  CXYString<wchar_t> s;
  CAny empty;
  EXPECT_EQ(0, nGetString(&s, empty, L"x=", 1));
  EXPECT_STREQ(L"x=<Empty>", s.pszGet());
  CAny n = I4(3);
  n.SetNull();
  EXPECT_EQ(0, nGetString(&s, n, nullptr, 0));
  EXPECT_STREQ(L"<NULL>", s.pszGet());
  EXPECT_EQ(0, nGetString(&s, static_cast<const CAny*>(nullptr), L"p ", 1));
  EXPECT_STREQ(L"p <NULL>", s.pszGet());
  EXPECT_EQ(0, nGetString(&s, I4(42), L"", 1));
  EXPECT_STREQ(L"Type=8, Len=4, Value=42, Value(binary)=2A000000", s.pszGet());

  std::string sBytes(600, '\0');
  for (std::size_t i = 0; i < sBytes.size(); ++i) sBytes[i] = static_cast<char>('A' + i % 26);
  CAny bin;
  bin.SetBIN(reinterpret_cast<const unsigned char*>(sBytes.data()), sBytes.size());
  EXPECT_EQ(0, nGetString(&s, bin, nullptr, 1));
  const std::wstring sShown = s.pszGet();
  const std::wstring sHeader = L"Type=28, Len=600, Value=";
  ASSERT_EQ(0u, sShown.find(sHeader));
  const std::wstring sMarker = L", Value(binary)=(first 500 bytes only) ";
  const std::size_t nMarker = sShown.find(sMarker);
  ASSERT_NE(std::wstring::npos, nMarker);
  EXPECT_EQ(1000u, sShown.size() - nMarker - sMarker.size());
  EXPECT_EQ(L"4142", sShown.substr(nMarker + sMarker.size(), 4));

  // A value the runtime cannot show as text.
  CAny tab;
  tab.__SetType(ANY_BUFFER, 0);
  const int nFailed = nGetString(&s, tab, L"t: ", 0);
  EXPECT_GT(nFailed, 99);
  EXPECT_STREQ(L"t: <ERROR>", s.pszGet());
}

}  // namespace
