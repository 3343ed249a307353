// The typed value's core: the type table and __SetType, the typed readers,
// the copy pattern, the move of a runtime's result into a value, the shared
// buffer record, and the two casts from an 8-byte binary. Run under the
// counting string allocator: every shared block a value took goes back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "AnyHandlers.h"
#include "CAny.h"
#include "CTNBIN.h"
#include "SharedStringBlock.h"
#include "support/SharedStringFixture.h"

namespace {

using cany = SharedStringTest;

struct stCode {
  unsigned short wCode;
  unsigned short wStored;  // 0: the empty value
};

TEST_F(cany, EveryCodeTakesItsFamilyOrGivesTheEmptyValue) {
  const stCode kaCodes[] = {
      {1, 1},     {2, 2},     {3, 3},     {4, 4},     {5, 5},     {6, 6},     {7, 7},     {8, 8},
      {9, 9},     {10, 10},   {11, 11},   {12, 12},   {14, 14},   {15, 9},    {16, 16},   {17, 17},
      {18, 18},   {19, 19},   {20, 0},    {21, 0},    {22, 0},    {23, 0},    {24, 24},   {25, 25},
      {26, 26},   {27, 27},   {28, 28},   {29, 29},   {30, 30},   {50, 50},   {65, 65},   {81, 81},
      {83, 83},   {108, 108}, {110, 110}, {111, 111}, {128, 128}, {129, 129}, {134, 0},   {141, 141},
      {142, 142}, {143, 143}, {144, 0},   {200, 0},   {0, 0}};
  for (const stCode& c : kaCodes) {
    SCOPED_TRACE(c.wCode);
    CAny v;
    v.__SetType(c.wCode, 0);
    EXPECT_EQ(c.wStored, v.wGetType());
    std::size_t n = 99;
    if (c.wStored == 0) {
      EXPECT_EQ(&CAny_Intern::ms_stTable, v.pstTable());
      EXPECT_EQ(ANY_ERR_NO_FORM, v.nGetSize(&n));
      EXPECT_EQ(0u, n);
    } else {
      EXPECT_EQ(pstAnyFamily(static_cast<unsigned char>(c.wStored))->pstTable, v.pstTable());
      EXPECT_EQ(ANY_OK, v.nGetSize(&n));
    }
  }
}

TEST_F(cany, SameTypeWordKeepsTheValueAndANullValueIsInitialisedAgain) {
  CAny v;
  v.SetI4(41);
  v.__SetType(ANY_I4, 0);
  EXPECT_EQ(41, v.m_clIntern.tGet<std::int32_t>());

  v.SetNull();
  EXPECT_EQ(ANY_I4 | ANY_FLAG_NULL, v.wGetType());
  EXPECT_EQ(41, v.m_clIntern.tGet<std::int32_t>());  // NULL keeps the content
  v.__SetType(ANY_I4, 0);
  EXPECT_EQ(ANY_I4, v.wGetType());
  EXPECT_EQ(0, v.m_clIntern.tGet<std::int32_t>());

  // Setters clear both flags.
  v.m_clIntern.m_wType |= ANY_FLAG_NULL | ANY_FLAG_RUNTIME;
  v.SetI4(7);
  EXPECT_EQ(ANY_I4, v.wGetType());
}

// One reader row: how the value is made, what each reader gives.
struct stReader {
  const char* pszLabel;
  void (*pfnMake)(CAny*);
  int nByteResult;
  unsigned char byByte;  // the byte, or what stays in it (0xEE)
  int nIntResult;
  int nInt;
  int nInt64Result;
  long nInt64;
  int nBitsResult;
  unsigned long nBits;
};

TEST_F(cany, ReadersAcceptTheirTypesAndRefuseTheOthers) {
  const stReader kaRows[] = {
      {"I2 -1", [](CAny* v) { v->SetI2(-1); }, 115, 0xEE, 0, -1, 0, -1, 0, ~0ul},
      {"UI4 255", [](CAny* v) { v->SetUI4(255); }, 0, 255, 105, 0, 0, 255, 0, 255},
      {"UI4 4000000000", [](CAny* v) { v->SetUI4(4000000000u); }, 115, 0xEE, 105, 0, 0, 4000000000l, 0,
       4000000000ul},
      {"UI2 65535", [](CAny* v) { v->SetUI2(65535); }, 115, 0xEE, 0, 65535, 0, 65535, 0, 65535},
      {"I1 -2", [](CAny* v) { v->SetI1(-2); }, 0, 0xFE, 0, -2, 0, -2, 0, ~1ul},
      {"BOOL 1", [](CAny* v) { v->SetBOOL(1); }, 115, 0xEE, 0, 1, 0, 1, 105, 0},
      {"I8 -3", [](CAny* v) { v->SetI8(-3); }, 115, 0xEE, 105, 0, 0, -3, 0, ~2ul},
      {"UI8 200", [](CAny* v) { v->SetUI8(200); }, 0, 200, 105, 0, 105, 0, 0, 200},
      {"NULL UI1", [](CAny* v) { v->SetUI1(5); v->SetNull(); }, 115, 0xEE, 105, 0, 105, 0, 105, 0},
      {"R8", [](CAny* v) { v->SetR8(2.5); }, 115, 0xEE, 105, 0, 105, 0, 105, 0},
      {"empty", [](CAny*) {}, 115, 0xEE, 105, 0, 105, 0, 105, 0},
  };
  for (const stReader& r : kaRows) {
    SCOPED_TRACE(r.pszLabel);
    CAny v;
    r.pfnMake(&v);
    unsigned char by = 0xEE;
    EXPECT_EQ(r.nByteResult, v.nGetBYTE(by));
    EXPECT_EQ(r.byByte, by);
    int n = 77;
    EXPECT_EQ(r.nIntResult, v.nGetINT(&n));
    EXPECT_EQ(r.nInt, n);
    long l = 77;
    EXPECT_EQ(r.nInt64Result, v.nGetINT_64(&l));
    EXPECT_EQ(r.nInt64, l);
    unsigned long ul = 77;
    EXPECT_EQ(r.nBitsResult, v.nGetBitField_64(ul));
    EXPECT_EQ(r.nBits, ul);
  }
  CAny v;
  double d = -1;
  v.SetR4(1.5f);
  EXPECT_EQ(0, v.nGetREAL(&d));
  EXPECT_EQ(1.5, d);
  v.SetI4(3);
  EXPECT_EQ(105, v.nGetREAL(&d));
  EXPECT_EQ(1.5, d);  // left alone
}

TEST_F(cany, CopiesFollowTheSourcesFamilyAndSelfAssignmentKeepsTheValue) {
  CAny a;
  a.SetI4(12);
  a.SetNull();
  CAny b(a);
  EXPECT_EQ(ANY_I4 | ANY_FLAG_NULL, b.wGetType());
  EXPECT_EQ(12, b.m_clIntern.tGet<std::int32_t>());

  CAny s;
  const wchar_t kszText[] = L"shared text";
  s.__SetType(ANY_DSTRW, 0);
  s.SetValue(kszText, sizeof kszText - sizeof(wchar_t));
  const wchar_t* pszBefore = nullptr;
  ASSERT_EQ(0, s.nGetPCWSTR(&pszBefore));
  CAny& rs = s;
  s = rs;
  const wchar_t* pszAfter = nullptr;
  ASSERT_EQ(0, s.nGetPCWSTR(&pszAfter));
  EXPECT_EQ(pszBefore, pszAfter);
  EXPECT_STREQ(L"shared text", pszAfter);

  // A copy shares the buffer; the I4 that replaces it releases its share.
  b = s;
  EXPECT_EQ(2u, Count(s.m_clIntern.tGet<void*>()));
  b.SetI4(1);
  EXPECT_EQ(1u, Count(s.m_clIntern.tGet<void*>()));
}

TEST_F(cany, ARuntimeResultMovesInAndWhatTheValueOwnedIsReleasedOnce) {
  CAny v;
  const wchar_t kszText[] = L"owned";
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(kszText, sizeof kszText - sizeof(wchar_t));
  ASSERT_EQ(1u, m_alloc.nGetLiveBlocks());

  // An I4 sum moved over the DSTRW: the string goes, exactly once (the
  // allocator would report a second release of the same block).
  unsigned char abyResult[knAnyValueSize] = {};
  const std::int32_t nSum = 5;
  std::memcpy(abyResult, &nSum, sizeof nSum);
  v.__TransfertValeurInterne(ANY_I4, abyResult);
  EXPECT_EQ(ANY_I4, v.wGetType());
  EXPECT_EQ(5, v.m_clIntern.tGet<std::int32_t>());
  EXPECT_EQ(0u, m_alloc.nGetLiveBlocks());

  // A string result is adopted, not copied: its one reference is the value's.
  CAny clSource;
  clSource.__SetType(ANY_DSTRW, 0);
  clSource.SetValue(kszText, sizeof kszText - sizeof(wchar_t));
  void* handle = clSource.m_clIntern.tGet<void*>();
  clSource.m_clIntern.Put<void*>(nullptr);  // the runtime hands its reference over
  std::memcpy(abyResult, &handle, sizeof handle);
  v.__TransfertValeurInterne(ANY_DSTRW, abyResult);
  EXPECT_EQ(1u, Count(handle));
  const wchar_t* psz = nullptr;
  ASSERT_EQ(0, v.nGetPCWSTR(&psz));
  EXPECT_STREQ(L"owned", psz);
}

TEST_F(cany, SharedBufferRecordOnlyForTheThreeBufferTypes) {
  CAny v;
  v.SetBIN(reinterpret_cast<const unsigned char*>("abc"), 3);
  STManipAUB st = {};
  ASSERT_EQ(0, v.nGetManipAUB(&st));
  EXPECT_EQ(v.m_clIntern.tGet<void*>(), st.pBuffer);
  EXPECT_EQ(ANY_BIN, st.wType);
  EXPECT_EQ(0, st.wZero);
  v.SetNull();
  EXPECT_EQ(105, v.nGetManipAUB(&st));
  v.SetI4(3);
  EXPECT_EQ(105, v.nGetManipAUB(&st));
}

TEST_F(cany, EightByteBinaryBecomesADurationOrADateTime) {
  const unsigned char kabyEight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  CAny v;
  v.SetBIN(kabyEight, 7);
  EXPECT_EQ(104, v.nCastFrom_BIN_DUREE_To_DUREE());
  EXPECT_EQ(ANY_BIN, v.wGetType());
  v.SetBIN(kabyEight, 8);
  v.SetNull();
  EXPECT_EQ(0, v.nCastFrom_BIN_DUREE_To_DUREE());
  EXPECT_EQ(ANY_DUREE, v.wGetType());
  EXPECT_EQ(0, std::memcmp(v.pbyValue(), kabyEight, 8));
  EXPECT_EQ(104, v.nCastFrom_BIN_DATEHEURE_To_DATEHEURE());
  v.SetBIN(kabyEight, 8);
  EXPECT_EQ(0, v.nCastFrom_BIN_DATEHEURE_To_DATEHEURE());
  EXPECT_EQ(ANY_DATETIME, v.wGetType());
  EXPECT_EQ(0, std::memcmp(v.pbyValue(), kabyEight, 8));
}

TEST_F(cany, UnsharingGivesTheValueItsOwnBuffer) {
  CAny a;
  a.__SetType(ANY_DSTRA, 0);
  a.SetValue("text", 4);
  CAny b(a);
  ASSERT_EQ(a.m_clIntern.tGet<void*>(), b.m_clIntern.tGet<void*>());
  EXPECT_EQ(0, b.nUnshare());
  EXPECT_NE(a.m_clIntern.tGet<void*>(), b.m_clIntern.tGet<void*>());
  EXPECT_EQ(1u, Count(a.m_clIntern.tGet<void*>()));
  const char* psz = nullptr;
  ASSERT_EQ(0, b.nGetPCASTR(&psz));
  EXPECT_STREQ("text", psz);
  CAny n;
  n.SetI4(1);
  EXPECT_EQ(0, n.nUnshare());
}

TEST_F(cany, BinaryFromAnArrayOfValuesTakesOneBytePerValueOrNothing) {
  CAny aValues[3];
  aValues[0].SetUI1(7);
  aValues[1].SetI4(255);
  aValues[2].SetUI8(0);
  CTNBIN clBin;
  ASSERT_EQ(0, clBin.nAssignInit(STTabAny{aValues, 3}));
  ASSERT_EQ(3u, clBin.nGetTailleUtile());
  EXPECT_EQ(7, clBin.pGetData()[0]);
  EXPECT_EQ(255, clBin.pGetData()[1]);
  EXPECT_EQ(0, clBin.pGetData()[2]);

  aValues[2].SetI2(256);
  CTNBIN clRefused;
  EXPECT_EQ(115, clRefused.nAssignInit(STTabAny{aValues, 3}));
  EXPECT_EQ(nullptr, clRefused.pGetData());
  EXPECT_EQ(1u, m_alloc.nGetLiveBlocks());  // the first buffer only
}

}  // namespace
