// The native record with the runtime's values bound (stand-in runtime):
// texts, wide texts, binaries and decimals in and out of items, the casts
// of typed values to the items' types and what a failed one leaves, and
// the time-of-day reading of nCastTo.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CNAXQRecord.h"
#include "IDecimal.h"
#include "StandInValues.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/TestRecordSource.h"

namespace {

using Bytes = std::vector<unsigned char>;
using kxtest::TestRecordSource;

using kxtest::NewRecord;
using kxtest::RecordPtr;

Bytes Buffer(const CNAXQRecord& r) {
  const unsigned char* p = r.pbyGetNullValuesFlags();
  return Bytes(p, p + r.nGetTotalSize());
}

Bytes Element(const CNAXQRecord& r, const INAItemDescription* pi) {
  const unsigned char* p = r.pbyGetItemValue(pi, 0);
  return p == nullptr ? Bytes() : Bytes(p, p + pi->nGetItemSize());
}

Bytes B(const char* psz, std::size_t n) { return Bytes(psz, psz + n); }

void SetAnsi(CAny* v, const char* psz) {
  v->__SetType(ANY_DSTRA, 0);
  v->SetValue(psz, std::strlen(psz));
}

void SetWide(CAny* v, const std::wstring& s) {
  v->__SetType(ANY_DSTRW, 0);
  v->SetValue(s.c_str(), s.size() * sizeof(wchar_t));
}

std::string Ansi(const CAny& v) {
  const char* psz = nullptr;
  if (v.nGetPCASTR(&psz) != 0 || psz == nullptr) return "<none>";
  return psz;
}

std::wstring Wide(const CAny& v) {
  const wchar_t* psz = nullptr;
  std::size_t n = 0;
  if (v.nGetPCWSTR(&psz) != 0 || psz == nullptr || v.nGetSTRLEN(&n) != 0) return L"<none>";
  return std::wstring(psz, n);
}

Bytes Binary(const CAny& v) {
  void* p = nullptr;
  std::size_t n = 0;
  if (v.nGetDataAdr(&p) != 0 || v.nGetDataSize(&n) != 0) return {};
  return n == 0 ? Bytes() : Bytes(static_cast<unsigned char*>(p), static_cast<unsigned char*>(p) + n);
}

using xqrecord_hosted = BoundRuntimeTest;

// ---- Texts -------------------------------------------------------------------

TEST_F(xqrecord_hosted, EightBitTextsInAndOut) {
  TestRecordSource src;
  CNAItemDescription* text = src.pclAdd(NA_IT_TEXTE, 5);
  CNAItemDescription* date = src.pclAdd(NA_IT_DATE8, 9);
  CNAItemDescription* time = src.pclAdd(NA_IT_HEURE, 10);
  CNAItemDescription* ch = src.pclAdd(NA_IT_CHAR, 1);
  RecordPtr r = NewRecord(src);
  CAny v;
  SetAnsi(&v, "ABCDEFGH");
  EXPECT_TRUE(r->SetItemValue(text, &v, 0));
  EXPECT_EQ(B("ABCD\0", 5), Element(*r, text));
  CAny out;
  ASSERT_TRUE(r->GetItemValue(&out, text, 0));
  EXPECT_EQ(ANY_DSTRA, out.wGetType());
  EXPECT_EQ("ABCD", Ansi(out));

  // 8-bit text goes into date and time items as it is.
  SetAnsi(&v, "20240229");
  EXPECT_TRUE(r->SetItemValue(date, &v, 0));
  EXPECT_EQ(B("20240229\0", 9), Element(*r, date));
  SetAnsi(&v, "1345");
  EXPECT_TRUE(r->SetItemValue(time, &v, 0));
  EXPECT_EQ(B("1345\0\0\0\0\0\0", 10), Element(*r, time));
  // A wide text goes through the runtime's cast to the item's type.
  SetWide(&v, L"19991231");
  EXPECT_TRUE(r->SetItemValue(date, &v, 0));
  EXPECT_EQ(B("19991231\0", 9), Element(*r, date));
  // ... and to a one-character item through 8-bit text first.
  SetWide(&v, L"Zebra");
  EXPECT_TRUE(r->SetItemValue(ch, &v, 0));
  EXPECT_EQ(B("Z", 1), Element(*r, ch));
}

// A text element filled to its end (no NUL) reads as its S bytes, never
// beyond: the bytes after it belong to the next item.
TEST_F(xqrecord_hosted, TextWithoutTerminatorReadsToTheElementEnd) {
  TestRecordSource src;
  CNAItemDescription* text = src.pclAdd(NA_IT_TEXTE, 4);
  CNAItemDescription* image = src.pclAdd(NA_IT_IMAGE, 3);
  src.pclAdd(NA_IT_I4, 4);
  RecordPtr r = NewRecord(src);
  std::memset(r->pbyGetValues(), 'x', src.nDiskRecordSize);
  CAny out;
  ASSERT_TRUE(r->GetItemValue(&out, text, 0));
  EXPECT_EQ("xxxx", Ansi(out));
  ASSERT_TRUE(r->GetItemValue(&out, image, 0));
  EXPECT_EQ("xxx", Ansi(out));
}

TEST_F(xqrecord_hosted, UnicodeItemsHoldUtf16) {
  struct Row {
    const char* pszCase;
    std::uint32_t nSize;
    std::wstring sIn;
    Bytes element;
    std::wstring sOut;
  };
  const Row rows[] = {
      {"padding is no part of the text", 20, L"abc", B("a\0b\0c\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20), L"abc"},
      {"full, no terminator", 6, L"abcdef", B("a\0b\0c\0", 6), L"abc"},
      {"pair", 8, L"\u00e9\U0001F600", B("\xE9\0\x3D\xD8\x00\xDE\0\0", 8), L"\u00e9\U0001F600"},
      {"pair at the last unit left out", 6, L"ab\U0001F600", B("a\0b\0\0\0", 6), L"ab"},
      {"pair filling the element", 4, L"\U0001F600", B("\x3D\xD8\x00\xDE", 4), L"\U0001F600"},
      {"empty", 6, L"", Bytes(6, 0), L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszCase);
    TestRecordSource src;
    CNAItemDescription* pi = src.pclAdd(NA_IT_UNICODE, row.nSize);
    src.pclAdd(NA_IT_TEXTE, 4);
    RecordPtr r = NewRecord(src);
    std::memset(r->pbyGetValues(), 0x41, src.nDiskRecordSize);
    CAny v;
    SetWide(&v, row.sIn);
    EXPECT_TRUE(r->SetItemValue(pi, &v, 0));
    EXPECT_EQ(row.element, Element(*r, pi));
    CAny out;
    ASSERT_TRUE(r->GetItemValue(&out, pi, 0));
    EXPECT_EQ(ANY_DSTRW, out.wGetType());
    EXPECT_EQ(row.sOut, Wide(out));
  }
}

// The decoder reads bytes outside any record (a key's components) and never
// past the width it is given.
TEST_F(xqrecord_hosted, DecoderReadsNothingPastTheWidth) {
  std::unique_ptr<unsigned char[]> p(new unsigned char[3]{'a', 'b', 'c'});
  CAny out;
  ASSERT_TRUE(CNAXQRecord::s_bDecodeValue(&out, p.get(), 3, NA_IT_TEXTE, 0, 0));
  EXPECT_EQ("abc", Ansi(out));
  p[1] = 0;
  ASSERT_TRUE(CNAXQRecord::s_bDecodeValue(&out, p.get(), 3, NA_IT_TEXTE, 0, 0));
  EXPECT_EQ("a", Ansi(out));
  std::unique_ptr<unsigned char[]> u(new unsigned char[4]{'x', 0, 'y', 0});
  ASSERT_TRUE(CNAXQRecord::s_bDecodeValue(&out, u.get(), 4, NA_IT_UNICODE, 0, 0));
  EXPECT_EQ(L"xy", Wide(out));
  std::unique_ptr<unsigned char[]> d(new unsigned char[3]{0x39, 0x30, 0x00});  // 12345
  ASSERT_TRUE(CNAXQRecord::s_bDecodeValue(&out, d.get(), 3, NA_IT_DECIMAL, 6, 2));
  IDecimal* pi = nullptr;
  out.nFillBuffer(&pi);
  __int128 v = 0;
  int nPrecision = 0, nScale = 0;
  ASSERT_TRUE(StandIn_bReadDecimal(pi, &v, &nPrecision, &nScale));
  EXPECT_TRUE(v == 12345 && nPrecision == 6 && nScale == 2);
  EXPECT_FALSE(CNAXQRecord::s_bDecodeValue(&out, d.get(), 3, NA_IT_DECIMAL, 8, 2));  // needs 4 bytes
}

// ---- Binaries ----------------------------------------------------------------

TEST_F(xqrecord_hosted, BinaryLengthPrefix) {
  TestRecordSource src;
  CNAItemDescription* bin = src.pclAdd(NA_IT_BINAIRE, 8);
  src.pclAdd(NA_IT_TEXTE, 8);
  RecordPtr r = NewRecord(src);
  CAny v;
  const unsigned char ten[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  v.SetBIN(ten, sizeof ten);
  EXPECT_TRUE(r->SetItemValue(bin, &v, 0));
  EXPECT_EQ((Bytes{6, 0, 0, 1, 2, 3, 4, 5}), Element(*r, bin));
  CAny out;
  ASSERT_TRUE(r->GetItemValue(&out, bin, 0));
  EXPECT_EQ(ANY_BIN, out.wGetType());
  EXPECT_EQ((Bytes{0, 1, 2, 3, 4, 5}), Binary(out));

  // A length word beyond the element is cut to what the element holds.
  std::memset(r->pbyGetValues(), 0x61, src.nDiskRecordSize);
  r->pbyGetItemValue(bin, 0)[0] = 0xFF;
  r->pbyGetItemValue(bin, 0)[1] = 0xFF;
  ASSERT_TRUE(r->GetItemValue(&out, bin, 0));
  EXPECT_EQ(Bytes(6, 0x61), Binary(out));
}

// ---- Casts -------------------------------------------------------------------

// A value the runtime cannot convert is not stored: false, the element and
// its flag as they were.
TEST_F(xqrecord_hosted, FailedCastStoresNothing) {
  TestRecordSource src;
  CNAItemDescription* i4 = src.pclAdd(NA_IT_I4, 4);
  CNAItemDescription* date = src.pclAdd(NA_IT_DATETIME, 8);
  RecordPtr r = NewRecord(src);
  const std::int32_t n = 0x01020304;
  ASSERT_TRUE(r->SetItemValue(i4, &n, 4, 0));
  const Bytes before = Buffer(*r);
  CAny v;
  SetAnsi(&v, "abc");
  EXPECT_FALSE(r->SetItemValue(i4, &v, 0));
  EXPECT_FALSE(r->SetItemValue(date, &v, 0));
  EXPECT_EQ(before, Buffer(*r));
  EXPECT_EQ(1, r->bItemValueDefined(i4, 0));
  EXPECT_EQ(0, r->bItemValueDefined(date, 0));
  // A text that converts is stored.
  SetAnsi(&v, "1234");
  EXPECT_TRUE(r->SetItemValue(i4, &v, 0));
  EXPECT_EQ((Bytes{0xD2, 0x04, 0, 0}), Element(*r, i4));
}

TEST_F(xqrecord_hosted, CastForAnItem) {
  TestRecordSource src;
  CNAItemDescription* time = src.pclAdd(NA_IT_HEURE, 10);
  CNAItemDescription* i4 = src.pclAdd(NA_IT_I4, 4);
  struct Row {
    const char* pszText;
    std::uint32_t nMs;
  };
  const Row rows[] = {{"134507", 49507000u}, {"1345075", 49507500u}, {"134507123", 49507123u}, {"12", 43200000u}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszText);
    CAny v;
    SetAnsi(&v, row.pszText);
    v.SetNull(true);
    EXPECT_EQ(0, nCastTo(&v, ANY_DATETIME, time));
    EXPECT_EQ(ANY_DATETIME, v.wGetType());
    CDateTimeBase dt{};
    v.nFillBuffer(&dt);
    EXPECT_TRUE(dt.bDateVide());
    EXPECT_EQ(row.nMs, dt.m_dwHeure);
  }
  // Any other case is the runtime's cast.
  CAny v;
  SetAnsi(&v, "42");
  EXPECT_EQ(0, nCastTo(&v, ANY_I4, i4));
  int n = 0;
  EXPECT_EQ(0, v.nGetINT(&n));
  EXPECT_EQ(42, n);
  SetAnsi(&v, "nope");
  EXPECT_GT(nCastTo(&v, ANY_I4, time), 99);
  EXPECT_GT(nCastTo(nullptr, ANY_I4, time), 99);
}

// ---- Decimals ----------------------------------------------------------------

TEST_F(xqrecord_hosted, DecimalRoundTrip) {
  TestRecordSource src;
  const int nBytes = IDecimal::mg_PToN(14);
  ASSERT_EQ(6, nBytes);
  CNAItemDescription* dec = src.pclAdd(NA_IT_DECIMAL, static_cast<std::uint32_t>(nBytes), 1, 0, 12, 2);
  ASSERT_EQ(NA_IT_DECIMAL, dec->eNAGetItemType());
  CNAItemDescription* small = src.pclAdd(NA_IT_DECIMAL, 4, 1, 0, 12, 2);
  CNAItemDescription* i4 = src.pclAdd(NA_IT_I4, 4);
  RecordPtr r = NewRecord(src);

  struct Row {
    __int128 value;
    int nPrecision, nScale;
    __int128 stored;  // unscaled at scale 2
  };
  const Row rows[] = {
      {-12345678901234, 14, 2, -12345678901234},
      {99999999999999, 14, 2, 99999999999999},
      {15, 3, 1, 150},        // 1.5 at the item's scale
      {10005, 10, 4, 100},    // 1.0005 rounds to 1.00
      {0, 38, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<long long>(row.value));
    CAny v;
    v.__SetType(ANY_DECIMAL, 0);
    IDecimal* pi = nullptr;
    v.nFillBuffer(&pi);
    ASSERT_TRUE(StandIn_bWriteDecimal(pi, row.value, row.nPrecision, row.nScale));
    ASSERT_TRUE(r->SetItemValue(dec, &v, 0));
    // The native form: the unscaled value, two's complement, 6 bytes.
    Bytes expected(6);
    for (int i = 0; i < 6; ++i) expected[i] = static_cast<unsigned char>(row.stored >> (8 * i));
    EXPECT_EQ(expected, Element(*r, dec));
    // The caller's value keeps its own digits.
    int nPrecision = 0, nScale = 0;
    __int128 kept = 0;
    ASSERT_TRUE(StandIn_bReadDecimal(pi, &kept, &nPrecision, &nScale));
    EXPECT_TRUE(kept == row.value && nPrecision == row.nPrecision && nScale == row.nScale);

    CAny out;
    ASSERT_TRUE(r->GetItemValue(&out, dec, 0));
    EXPECT_EQ(ANY_DECIMAL, out.wGetType());
    IDecimal* piOut = nullptr;
    out.nFillBuffer(&piOut);
    __int128 back = 0;
    ASSERT_TRUE(StandIn_bReadDecimal(piOut, &back, &nPrecision, &nScale));
    EXPECT_TRUE(back == row.stored);
    EXPECT_EQ(14, nPrecision);
    EXPECT_EQ(2, nScale);
  }

  // A value beyond the item's digits, an element too small for them: not
  // stored, not read.
  const Bytes before = Buffer(*r);
  CAny v;
  v.__SetType(ANY_DECIMAL, 0);
  IDecimal* pi = nullptr;
  v.nFillBuffer(&pi);
  ASSERT_TRUE(StandIn_bWriteDecimal(pi, static_cast<__int128>(10000000000000) * 100, 16, 0));
  EXPECT_FALSE(r->SetItemValue(dec, &v, 0));
  ASSERT_TRUE(StandIn_bWriteDecimal(pi, 1, 1, 0));
  EXPECT_FALSE(r->SetItemValue(small, &v, 0));
  EXPECT_EQ(before, Buffer(*r));
  CAny out;
  out.SetI4(3);
  EXPECT_FALSE(r->GetItemValue(&out, small, 0));
  EXPECT_EQ(ANY_I4, out.wGetType());

  // Another type is cast to a decimal first.
  CAny n;
  n.SetI4(-7);
  ASSERT_TRUE(r->SetItemValue(dec, &n, 0));
  EXPECT_EQ((Bytes{0x44, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF}), Element(*r, dec));  // -700
  (void)i4;
}

}  // namespace
