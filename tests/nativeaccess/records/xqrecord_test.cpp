// The native record buffer: flag-field sizes and bits, storage per item type
// (raw stores), memo markers, item bounds, whole-record copies, the
// serialised form and the raw image the caches keep, the two counts and the
// table slots. Typed values here are the inline kinds only (numbers,
// date-times, date and time texts), which need no runtime; text, binary,
// decimal values and casts are in the hosted tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CNAXQRecord.h"
#include "CTSimpleTable.h"
#include "support/TestRecordSource.h"

namespace {

using Bytes = std::vector<unsigned char>;
using kxtest::TestRecordSource;

using kxtest::NewRecord;
using kxtest::RecordPtr;

Bytes Buffer(const CNAXQRecord& r) {
  const unsigned char* p = r.pbyGetNullValuesFlags();
  return p == nullptr ? Bytes() : Bytes(p, p + r.nGetTotalSize());
}

Bytes Element(const CNAXQRecord& r, const INAItemDescription* pi, int nIndex = 0) {
  const unsigned char* p = r.pbyGetItemValue(pi, nIndex);
  return p == nullptr ? Bytes() : Bytes(p, p + pi->nGetItemSize());
}

Bytes B(const char* psz, std::size_t n) { return Bytes(psz, psz + n); }

// ---- Flag field ------------------------------------------------------------

TEST(xqrecord_flags, FlagFieldSizeFollowsTheItemsInTheRecord) {
  struct Row {
    std::uint32_t nBits, nValues, nFlags;
  };
  const Row rows[] = {{0, 4, 0}, {1, 4, 1}, {8, 4, 1}, {9, 4, 2}, {16, 0, 2}, {17, 3, 3}, {64, 1, 8}};
  for (const Row& row : rows) {
    TestRecordSource src;
    src.nItemsInRecord = row.nBits;
    src.nDiskRecordSize = row.nValues;
    RecordPtr r = NewRecord(src);
    SCOPED_TRACE(row.nBits);
    EXPECT_EQ(row.nFlags, r->nGetFlagFieldSize());
    EXPECT_EQ(row.nFlags + row.nValues, r->nGetTotalSize());
    EXPECT_EQ(row.nBits, r->nGetFlagBitCount());
    EXPECT_EQ(row.nFlags + row.nValues + 12, r->nGetSerializeSize());
    EXPECT_EQ(row.nFlags + 12, r->nGetSerializeValuesOffset());
    EXPECT_EQ(r->pbyGetNullValuesFlags() + row.nFlags, r->pbyGetValues());
    EXPECT_EQ(Bytes(row.nFlags + row.nValues, 0), Buffer(*r));
  }
}

TEST(xqrecord_flags, BitOfEachPhysicalIndexMostSignificantFirst) {
  TestRecordSource src;
  for (int i = 0; i < 10; ++i) src.pclAdd(NA_IT_I1, 1);
  RecordPtr r = NewRecord(src);
  struct Row {
    int nItem;
    Bytes flags;
  };
  const Row rows[] = {{0, {0x80, 0x00}}, {7, {0x01, 0x00}}, {8, {0x00, 0x80}}, {9, {0x00, 0x40}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.nItem);
    std::memset(r->pbyGetNullValuesFlags(), 0, 2);
    r->SetItemValueDefined(src.pclItem(row.nItem), 1, 0);
    EXPECT_EQ(row.flags, Bytes(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + 2));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(i == row.nItem ? 1 : 0, r->bItemValueDefined(src.pclItem(i), 0));
    r->SetItemValueDefined(src.pclItem(row.nItem), 0, 0);
    EXPECT_EQ(Bytes(2, 0), Bytes(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + 2));
  }
}

// An item whose flag bit lies at or past the record's count has none: its
// flag is never written (the neighbouring bits, or the value area when the
// record has no flag field, stay as they are) and it reads as defined.
TEST(xqrecord_flags, BitsPastTheCountAreNeverWritten) {
  {
    TestRecordSource src;
    CNAItemDescription* a = src.pclAdd(NA_IT_UI1, 1);
    CNAItemDescription* b = src.pclAdd(NA_IT_UI1, 1);
    b->SetPhysicalIndice(0xFFFFFFFFu);  // all ones: bit 0
    CNAItemDescription* c = src.pclAdd(NA_IT_UI1, 1);
    c->SetPhysicalIndice(5);  // 3 bits in the record
    RecordPtr r = NewRecord(src);
    r->SetItemValueDefined(b, 1, 0);
    EXPECT_EQ(0x80, r->pbyGetNullValuesFlags()[0]);
    EXPECT_EQ(1, r->bItemValueDefined(a, 0));
    r->SetItemValueDefined(a, 0, 0);
    r->SetItemValueDefined(c, 1, 0);
    EXPECT_EQ(0x00, r->pbyGetNullValuesFlags()[0]);
    EXPECT_EQ(1, r->bItemValueDefined(c, 0));
    const INAItemDescription* items[] = {a, c};
    const unsigned int bits[] = {6, 2};
    const int defined[] = {1, 1};
    r->SetTabItemValueDefined(items, 2, bits, defined);
    EXPECT_EQ(0x20, r->pbyGetNullValuesFlags()[0]);  // bit 2 only; 6 is past the count
  }
  {
    // No item in the record: no flag field, the first value byte stays.
    TestRecordSource src;
    CNAItemDescription* a = src.pclAdd(NA_IT_UI1, 1);
    a->SetPhysicalIndice(0xFFFFFFFFu);
    src.nItemsInRecord = 0;
    RecordPtr r = NewRecord(src);
    ASSERT_EQ(0u, r->nGetFlagFieldSize());
    r->pbyGetValues()[0] = 0x12;
    r->SetItemValueDefined(a, 1, 0);
    EXPECT_EQ(0x12, r->pbyGetValues()[0]);
    EXPECT_EQ(1, r->bItemValueDefined(a, 0));
  }
}

TEST(xqrecord_flags, SetValuesCopiesAtMostTheValueAreaAndDefinesEverything) {
  TestRecordSource src;
  for (int i = 0; i < 9; ++i) src.pclAdd(NA_IT_UI1, 1);
  RecordPtr r = NewRecord(src);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(0, r->bItemValueDefined(src.pclItem(i), 0));
  // More bytes than the value area holds: the surplus is not copied.
  const Bytes values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  r->SetValues(values.data(), values.size());
  EXPECT_EQ((Bytes{0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9}), Buffer(*r));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(1, r->bItemValueDefined(src.pclItem(i), 0));
  // Fewer: only those.
  const Bytes few = {42, 43};
  r->SetValues(few.data(), few.size());
  EXPECT_EQ((Bytes{0xFF, 0xFF, 42, 43, 3, 4, 5, 6, 7, 8, 9}), Buffer(*r));
}

// ---- Storage per item type -------------------------------------------------

TEST(xqrecord_storage, RawStoresByItemType) {
  struct Row {
    const char* pszCase;
    eNA_ITEMTYPE eType;
    std::uint32_t nSize;
    Bytes source;  // exactly what the store may read
    unsigned long nLength;
    bool bNullSource;
    Bytes expected;
  };
  const std::wstring sAbc = L"abc";
  const std::wstring sAbcd = L"abcd";
  const std::wstring sNonBmpLast = L"ab\U0001F600";
  const std::wstring sNonBmp = L"a\U0001F600";
  const std::wstring sBadChar(1, static_cast<wchar_t>(0x110000));
  auto W = [](const std::wstring& s) {
    return Bytes(reinterpret_cast<const unsigned char*>(s.c_str()),
                 reinterpret_cast<const unsigned char*>(s.c_str() + s.size() + 1));
  };
  const Row rows[] = {
      {"text cut to S-1", NA_IT_TEXTE, 5, B("ABCDEFGH", 9), 0, false, B("ABCD\0", 5)},
      {"text shorter", NA_IT_TEXTE, 5, B("AB", 3), 0, false, B("AB\0\0\0", 5)},
      {"text bound by its length", NA_IT_TEXTE, 6, B("ABCDEFGH", 9), 3, false, B("ABC\0\0\0", 6)},
      {"text without NUL read to S", NA_IT_TEXTE, 4, B("WXYZ", 4), 0, false, B("WXY\0", 4)},
      {"text null", NA_IT_TEXTE, 3, {}, 0, true, B("\0\0\0", 3)},
      {"date8", NA_IT_DATE8, 9, B("20240229", 9), 0, false, B("20240229\0", 9)},
      {"date6", NA_IT_DATE6, 7, B("240229", 7), 0, false, B("240229\0", 7)},
      {"heure", NA_IT_HEURE, 10, B("134507500", 10), 0, false, B("134507500\0", 10)},
      {"binary cut to S-2", NA_IT_BINAIRE, 8, B("0123456789", 10), 10, false, B("\x06\x00" "012345", 8)},
      {"binary shorter", NA_IT_BINAIRE, 8, B("xyz", 3), 3, false, B("\x03\x00xyz\0\0\0", 8)},
      {"binary length 0", NA_IT_BINAIRE, 4, B("xyz", 3), 0, false, B("\0\0\0\0", 4)},
      {"binary without room", NA_IT_BINAIRE, 1, B("xyz", 3), 3, false, B("\0", 1)},
      {"raw shorter source", NA_IT_I4, 4, B("\x01\x02", 2), 2, false, B("\x01\x02\0\0", 4)},
      {"raw exact", NA_IT_I4, 4, B("\x01\x02\x03\x04", 4), 4, false, B("\x01\x02\x03\x04", 4)},
      {"raw longer source", NA_IT_UI2, 2, B("\x01\x02\x03\x04", 4), 4, false, B("\x01\x02", 2)},
      {"raw length 0", NA_IT_I8, 8, B("\x01\x02\x03\x04\x05\x06\x07\x08", 8), 0, false, Bytes(8, 0)},
      {"raw null", NA_IT_R8, 8, {}, 8, true, Bytes(8, 0)},
      {"char raw", NA_IT_CHAR, 1, B("Q", 1), 1, false, B("Q", 1)},
      {"unicode padded", NA_IT_UNICODE, 10, W(sAbc), 16, false, B("a\0b\0c\0\0\0\0\0", 10)},
      {"unicode full, no terminator", NA_IT_UNICODE, 6, W(sAbcd), 16, false, B("a\0b\0c\0", 6)},
      {"unicode pair", NA_IT_UNICODE, 8, W(sNonBmp), 12, false, B("a\0\x3D\xD8\x00\xDE\0\0", 8)},
      {"unicode pair without room", NA_IT_UNICODE, 6, W(sNonBmpLast), 12, false, B("a\0b\0\0\0", 6)},
      {"unicode no character", NA_IT_UNICODE, 4, W(sBadChar), 4, false, B("?\0\0\0", 4)},
      {"unicode length below 4", NA_IT_UNICODE, 6, W(sAbc), 3, false, Bytes(6, 0)},
      {"unicode odd size", NA_IT_UNICODE, 5, W(sAbc), 16, false, B("a\0b\0\0", 5)},
      {"memo text marker", NA_IT_MEMOTEXTE, 8, B("abc", 4), 4, false, Bytes(8, 0)},
      {"memo unicode marker", NA_IT_MEMOUNICODE, 8, W(sAbc), 16, false, Bytes(8, 0)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszCase);
    TestRecordSource src;
    src.pclAdd(NA_IT_UI1, 1);  // a neighbour before
    CNAItemDescription* pi = src.pclAdd(row.eType, row.nSize);
    ASSERT_EQ(row.nSize, pi->nGetItemSize());
    src.pclAdd(NA_IT_UI1, 1);  // and after
    RecordPtr r = NewRecord(src);
    std::memset(r->pbyGetValues(), 0xEE, src.nDiskRecordSize);
    // The source on the heap, exactly as long as given: reading past it is
    // caught.
    std::unique_ptr<unsigned char[]> source;
    if (!row.bNullSource) {
      source.reset(new unsigned char[row.source.size()]);
      std::memcpy(source.get(), row.source.data(), row.source.size());
    }
    EXPECT_TRUE(r->SetItemValue(pi, source.get(), row.nLength, 0));
    EXPECT_EQ(row.expected, Element(*r, pi));
    EXPECT_EQ(1, r->bItemValueDefined(pi, 0));
    EXPECT_EQ(0xEE, r->pbyGetValues()[0]);
    EXPECT_EQ(0xEE, r->pbyGetValues()[src.nDiskRecordSize - 1]);
  }
}

// The length word has 16 bits: a larger element still takes at most 65,535
// bytes.
TEST(xqrecord_storage, BinaryLengthStaysWithinSixteenBits) {
  TestRecordSource src;
  CNAItemDescription* pi = src.pclAdd(NA_IT_BINAIRE, 70000);
  RecordPtr r = NewRecord(src);
  const Bytes source(70000, 0x5C);
  std::memset(r->pbyGetValues(), 0xEE, src.nDiskRecordSize);
  ASSERT_TRUE(r->SetItemValue(pi, source.data(), source.size(), 0));
  const Bytes e = Element(*r, pi);
  EXPECT_EQ(0xFF, e[0]);
  EXPECT_EQ(0xFF, e[1]);
  EXPECT_EQ(Bytes(65535, 0x5C), Bytes(e.begin() + 2, e.begin() + 2 + 65535));
  EXPECT_EQ(Bytes(70000 - 2 - 65535, 0), Bytes(e.begin() + 2 + 65535, e.end()));
}

TEST(xqrecord_storage, ArrayElementsAndWholeItem) {
  TestRecordSource src;
  src.pclAdd(NA_IT_UI1, 1);
  CNAItemDescription* pi = src.pclAdd(NA_IT_UI2, 2, 3);
  RecordPtr r = NewRecord(src);
  const unsigned short w = 0x0102;
  EXPECT_TRUE(r->SetItemValue(pi, &w, 2, 2));
  EXPECT_EQ(r->pbyGetValues() + 1 + 4, r->pbyGetItemValue(pi, 2));
  EXPECT_EQ(r->pbyGetValues() + 1, r->pbyGetItemValue(pi, -1));
  unsigned char whole[6];
  EXPECT_TRUE(r->GetItemValue(static_cast<void*>(whole), pi, -1));
  EXPECT_EQ(B("\0\0\0\0\x02\x01", 6), Bytes(whole, whole + 6));
  unsigned short back = 0;
  EXPECT_TRUE(r->GetItemValue(static_cast<void*>(&back), pi, 2));
  EXPECT_EQ(0x0102, back);
}

// An element that does not lie inside the value area is neither read nor
// written, whatever the description says.
TEST(xqrecord_storage, ItemsPastTheValueAreaAreNotTouched) {
  TestRecordSource src;
  CNAItemDescription* pi = src.pclAdd(NA_IT_I4, 4, 2);
  CNAItemDescription* inside = src.pclAdd(NA_IT_I8, 8);
  inside->SetOffset(4);  // overlaps the first item, inside the 24-byte area
  CNAItemDescription* past = src.pclAdd(NA_IT_I8, 8);
  past->SetOffset(src.nDiskRecordSize - 4);  // its last 4 bytes lie past the area
  RecordPtr r = NewRecord(src);
  std::memset(r->pbyGetValues(), 0x5A, src.nDiskRecordSize);
  const Bytes before = Buffer(*r);
  const std::int64_t n = 7;
  EXPECT_FALSE(r->SetItemValue(past, &n, 8, 0));
  EXPECT_FALSE(r->SetItemValue(pi, &n, 4, 6));  // element 6 of a 2-element item: bytes 24 to 27
  EXPECT_EQ(nullptr, r->pbyGetItemValue(past, 0));
  EXPECT_EQ(nullptr, r->pbyGetItemValue(pi, 9));
  r->SetItemValueDefined(past, 0, 0);
  r->SetItemValueDefined(pi, 0, 9);
  // Their flags exist and may change; no value byte does.
  const Bytes after = Buffer(*r);
  EXPECT_EQ(Bytes(before.begin() + 1, before.end()), Bytes(after.begin() + 1, after.end()));
  unsigned char out[8] = {};
  EXPECT_FALSE(r->GetItemValue(static_cast<void*>(out), past, 0));
  CAny v;
  EXPECT_FALSE(r->GetItemValue(&v, past, 0));
  EXPECT_EQ(0, v.nGetTypeCode());
  EXPECT_TRUE(r->SetItemValue(inside, &n, 8, 0));
  EXPECT_TRUE(r->SetItemValue(pi, &n, 4, 5));  // no dimension check: element 5 lies inside
}

// ---- Memo markers ----------------------------------------------------------

TEST(xqrecord_memo, MarkersAndNullElements) {
  TestRecordSource src;
  CNAItemDescription* memo = src.pclAdd(NA_IT_MEMOBINAIRE, 8);
  CNAItemDescription* num = src.pclAdd(NA_IT_I4, 4);
  RecordPtr r = NewRecord(src);
  r->SetItemValueDefined(memo, 0, 0);
  EXPECT_EQ(Bytes(8, 0xFF), Element(*r, memo));
  EXPECT_EQ(0, r->bItemValueDefined(memo, 0));
  r->SetItemValueDefined(memo, 1, 0);
  EXPECT_EQ(Bytes(8, 0x00), Element(*r, memo));
  EXPECT_EQ(1, r->bItemValueDefined(memo, 0));
  r->SetItemValueDefined(memo, 0, 0);
  const char data[] = "content";
  EXPECT_TRUE(r->SetItemValue(memo, data, sizeof data, 0));
  EXPECT_EQ(Bytes(8, 0x00), Element(*r, memo));
  EXPECT_EQ(1, r->bItemValueDefined(memo, 0));

  const std::int32_t n = -1;
  EXPECT_TRUE(r->SetItemValue(num, &n, 4, 0));
  r->SetItemValueDefined(num, 1, 0);
  EXPECT_EQ(Bytes(4, 0xFF), Element(*r, num));  // defined leaves the bytes
  r->SetItemValueDefined(num, 0, 0);
  EXPECT_EQ(Bytes(4, 0x00), Element(*r, num));  // NULL zero-fills
  EXPECT_EQ(0, r->bItemValueDefined(num, 0));
}

// Init type 1 gives each element its default or NULL, memos the NULL
// marker, and gives back every item it took.
TEST(xqrecord_memo, InitWithDefaultsGivesBackEveryItem) {
  TestRecordSource src;
  CNAItemDescription* memo = src.pclAdd(NA_IT_MEMOTEXTE, 8);
  CNAItemDescription* num = src.pclAdd(NA_IT_I4, 4, 2);
  CNAItemDescription* date = src.pclAdd(NA_IT_DATETIME, 8);
  CNAItemDescription* key = src.pclAdd(NA_IT_TEXTE, 4, 1, CNAItemDescription::KEY_COMPOSED);
  CAny clNumber;
  clNumber.SetI4(0x01020304);
  num->SetDefaultValue(&clNumber, 0);
  CDateTime dt;
  dt.Set(2024, 2, 29, 13, 45, 7, 500);
  CAny clDate;
  clDate.SetDATETIME(dt);
  date->SetDefaultValue(&clDate, 0);
  RecordPtr r = NewRecord(src, NA_INITTYPE_DEFAULTVALUES);
  EXPECT_EQ(4, src.nGetItemCalls);
  EXPECT_EQ(0, src.nHandedOut());
  EXPECT_EQ(Bytes(8, 0xFF), Element(*r, memo));
  EXPECT_EQ(B("\x04\x03\x02\x01", 4), Element(*r, num, 0));
  EXPECT_EQ(B("\x04\x03\x02\x01", 4), Element(*r, num, 1));
  EXPECT_EQ(Bytes(reinterpret_cast<unsigned char*>(&dt), reinterpret_cast<unsigned char*>(&dt) + 8),
            Element(*r, date));
  EXPECT_EQ(Bytes(4, 0), Element(*r, key));
  EXPECT_EQ(0, r->bItemValueDefined(memo, 0));
  EXPECT_EQ(1, r->bItemValueDefined(num, 0));
  EXPECT_EQ(1, r->bItemValueDefined(date, 0));
  EXPECT_EQ(0, r->bItemValueDefined(key, 0));

  RecordPtr empty = NewRecord(src, NA_INITTYPE_EMPTY);
  EXPECT_EQ(Bytes(empty->nGetTotalSize(), 0), Buffer(*empty));
  EXPECT_EQ(0, src.nHandedOut());
  EXPECT_FALSE(CNAXQRecord().bInit(nullptr, NA_INITTYPE_EMPTY));
}

// ---- Typed values that need no runtime --------------------------------------

TEST(xqrecord_values, InlineValuesOfTheItemsType) {
  TestRecordSource src;
  CNAItemDescription* i4 = src.pclAdd(NA_IT_I4, 4);
  CNAItemDescription* r8 = src.pclAdd(NA_IT_R8, 8);
  CNAItemDescription* dtm = src.pclAdd(NA_IT_DATETIME, 8);
  CNAItemDescription* ch = src.pclAdd(NA_IT_CHAR, 1);
  RecordPtr r = NewRecord(src);
  CAny v;
  v.SetI4(-5);
  EXPECT_TRUE(r->SetItemValue(i4, &v, 0));
  v.SetR8(2.5);
  EXPECT_TRUE(r->SetItemValue(r8, &v, 0));
  CDateTime dt;
  dt.Set(1999, 12, 31, 23, 59, 59, 999);
  v.SetDATETIME(dt);
  EXPECT_TRUE(r->SetItemValue(dtm, &v, 0));
  CAny out;
  ASSERT_TRUE(r->GetItemValue(&out, i4, 0));
  int n = 0;
  EXPECT_EQ(ANY_I4, out.nGetTypeCode());
  EXPECT_EQ(0, out.nGetINT(&n));
  EXPECT_EQ(-5, n);
  ASSERT_TRUE(r->GetItemValue(&out, r8, 0));
  double d = 0;
  EXPECT_EQ(0, out.nGetREAL(&d));
  EXPECT_EQ(2.5, d);
  ASSERT_TRUE(r->GetItemValue(&out, dtm, 0));
  EXPECT_EQ(ANY_DATETIME, out.nGetTypeCode());
  CDateTimeBase back{};
  out.nFillBuffer(&back);
  EXPECT_EQ(0, CDateTimeBase::nCompare(dt, back));
  // Reading ignores the record's NULL flag and clears the value's flags.
  r->SetItemValueDefined(ch, 0, 0);
  out.SetNull(true);
  ASSERT_TRUE(r->GetItemValue(&out, ch, 0));
  EXPECT_EQ(ANY_CARA, out.wGetType());
  // A NULL value (or one of type 0) sets the item NULL.
  v.SetI4(9);
  v.SetNull(true);
  EXPECT_TRUE(r->SetItemValue(i4, &v, 0));
  EXPECT_EQ(0, r->bItemValueDefined(i4, 0));
  EXPECT_EQ(Bytes(4, 0), Element(*r, i4));
  CAny empty;
  EXPECT_TRUE(r->SetItemValue(r8, &empty, 0));
  EXPECT_EQ(0, r->bItemValueDefined(r8, 0));
}

// A date-time given to an 8-bit digit item is written as its digits,
// 8-bit, cut to the item's room and terminated.
TEST(xqrecord_values, DateTimeIntoDigitItems) {
  struct Row {
    eNA_ITEMTYPE eType;
    std::uint32_t nSize;
    Bytes expected;
  };
  const Row rows[] = {
      {NA_IT_HEURE, 10, B("134507500\0", 10)},
      {NA_IT_HEURE, 8, B("1345075\0", 8)},
      {NA_IT_HEURE, 5, B("1345\0", 5)},
      {NA_IT_DATE8, 9, B("20240229\0", 9)},
      {NA_IT_DATE8, 6, B("20240\0", 6)},
  };
  CDateTime dt;
  dt.Set(2024, 2, 29, 13, 45, 7, 500);
  CAny v;
  v.SetDATETIME(dt);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.nSize);
    TestRecordSource src;
    CNAItemDescription* pi = src.pclAdd(row.eType, row.nSize);
    RecordPtr r = NewRecord(src);
    std::memset(r->pbyGetValues(), 0xEE, row.nSize);
    EXPECT_TRUE(r->SetItemValue(pi, &v, 0));
    EXPECT_EQ(row.expected, Element(*r, pi));
    EXPECT_EQ(1, r->bItemValueDefined(pi, 0));
  }
}

// A value that cannot be converted (no runtime bound here: every cast
// fails) is not stored: false, bytes and flag as they were.
TEST(xqrecord_values, FailedCastStoresNothing) {
  TestRecordSource src;
  CNAItemDescription* i4 = src.pclAdd(NA_IT_I4, 4);
  CNAItemDescription* ui2 = src.pclAdd(NA_IT_UI2, 2);
  RecordPtr r = NewRecord(src);
  const std::int32_t n = 0x11223344;
  ASSERT_TRUE(r->SetItemValue(i4, &n, 4, 0));
  const Bytes before = Buffer(*r);
  CAny v;
  v.SetR8(1e300);
  EXPECT_FALSE(r->SetItemValue(i4, &v, 0));
  EXPECT_FALSE(r->SetItemValue(ui2, &v, 0));
  EXPECT_EQ(before, Buffer(*r));
  EXPECT_EQ(1, r->bItemValueDefined(i4, 0));
  EXPECT_EQ(0, r->bItemValueDefined(ui2, 0));
}

// An 8-bit text read stops at the element's end when the element holds no
// NUL (date and time texts are inline values).
TEST(xqrecord_values, EightBitTextReadStopsAtTheElementEnd) {
  TestRecordSource src;
  CNAItemDescription* date = src.pclAdd(NA_IT_DATE8, 9);
  src.pclAdd(NA_IT_TEXTE, 4);
  RecordPtr r = NewRecord(src);
  std::memset(r->pbyGetValues(), '7', src.nDiskRecordSize);
  CAny out;
  ASSERT_TRUE(r->GetItemValue(&out, date, 0));
  const char* psz = nullptr;
  ASSERT_EQ(0, out.nGetPCASTR(&psz));
  EXPECT_STREQ("77777777", psz);
}

// ---- Whole records -----------------------------------------------------------

TEST(xqrecord_whole, CopyNeedsTheSameLayout) {
  TestRecordSource a;
  for (int i = 0; i < 8; ++i) a.pclAdd(NA_IT_UI1, 1);
  a.nDiskRecordSize = 10;  // 1 + 10
  TestRecordSource b;
  for (int i = 0; i < 9; ++i) b.pclAdd(NA_IT_UI1, 1);  // 2 + 9
  TestRecordSource c;
  for (int i = 0; i < 8; ++i) c.pclAdd(NA_IT_UI1, 1);  // 1 + 8
  RecordPtr ra = NewRecord(a), ra2 = NewRecord(a), rb = NewRecord(b), rc = NewRecord(c);
  std::memset(ra->pbyGetNullValuesFlags(), 0x33, ra->nGetTotalSize());
  ASSERT_EQ(ra->nGetTotalSize(), rb->nGetTotalSize());
  EXPECT_FALSE(rb->Copy(ra.get()));
  EXPECT_FALSE(rc->Copy(ra.get()));
  EXPECT_FALSE(ra2->Copy(nullptr));
  EXPECT_EQ(Bytes(11, 0), Buffer(*rb));
  EXPECT_EQ(Bytes(9, 0), Buffer(*rc));
  EXPECT_TRUE(ra2->Copy(ra.get()));
  EXPECT_TRUE(ra2->bEquals(ra.get()));
  // Same bytes, other flag field size: not equal.
  std::memset(rb->pbyGetNullValuesFlags(), 0x33, rb->nGetTotalSize());
  EXPECT_EQ(Buffer(*ra), Buffer(*rb));
  EXPECT_FALSE(ra->bEquals(rb.get()));
  EXPECT_FALSE(ra->bEquals(nullptr));
  ra2->pbyGetValues()[3] ^= 1;
  EXPECT_FALSE(ra2->bEquals(ra.get()));
}

// Counts the records that go, to see the counting rule act.
class CountedRecord : public CNAXQRecord {
 public:
  explicit CountedRecord(int* pnGone) : m_pnGone(pnGone) {}
  ~CountedRecord() override { ++*m_pnGone; }

 private:
  int* m_pnGone;
};

TEST(xqrecord_whole, CloneAndCounts) {
  TestRecordSource src;
  src.pclAdd(NA_IT_I4, 4);
  src.pclAdd(NA_IT_TEXTE, 5);
  int nGone = 0;
  CountedRecord* r = new CountedRecord(&nGone);
  ASSERT_TRUE(r->bInit(&src, NA_INITTYPE_EMPTY));
  r->AddRef();
  r->AddRef();
  r->ExternalAddRef();
  std::memset(r->pbyGetNullValuesFlags(), 0x42, r->nGetTotalSize());
  CNAXQRecord* clone = r->pclGetClone();
  ASSERT_NE(nullptr, clone);
  EXPECT_EQ(0u, clone->nGetInternalCount());
  EXPECT_EQ(0u, clone->nGetExternalCount());
  EXPECT_TRUE(clone->bEquals(r));
  EXPECT_NE(clone->pbyGetValues(), r->pbyGetValues());
  EXPECT_EQ(r->nGetFlagBitCount(), clone->nGetFlagBitCount());
  clone->pbyGetValues()[0] = 0;
  EXPECT_EQ(0x42, r->pbyGetValues()[0]);
  clone->AddRef();
  EXPECT_EQ(0u, clone->nRelease());

  EXPECT_EQ(1u, r->nRelease());
  EXPECT_EQ(0u, r->nRelease());
  EXPECT_EQ(0, nGone);  // the runtime still holds it
  EXPECT_EQ(0u, r->nRelease());  // nothing to give back: nothing happens
  EXPECT_EQ(0u, r->nExternalRelease());
  EXPECT_EQ(1, nGone);
}

// ---- Serialised form ---------------------------------------------------------

TEST(xqrecord_serial, ThreeFlagBitsAndTenValueBytes) {
  TestRecordSource src;
  for (int i = 0; i < 3; ++i) src.pclAdd(NA_IT_UI1, 1);
  src.nDiskRecordSize = 10;
  RecordPtr r = NewRecord(src);
  r->SetItemValueDefined(src.pclItem(0), 1, 0);
  r->SetItemValueDefined(src.pclItem(2), 1, 0);
  for (int i = 0; i < 10; ++i) r->pbyGetValues()[i] = static_cast<unsigned char>(0xA0 + i);
  ASSERT_EQ(23u, r->nGetSerializeSize());
  EXPECT_EQ(13u, r->nGetSerializeValuesOffset());
  Bytes out(23, 0xCC);
  ASSERT_TRUE(r->Serialize(out.data(), out.size()));
  const Bytes expected = {11, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0xA0,
                          0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9};
  EXPECT_EQ(expected, out);

  // Too small a destination: nothing written.
  Bytes small(22, 0xCC);
  EXPECT_FALSE(r->Serialize(small.data(), small.size()));
  EXPECT_EQ(Bytes(22, 0xCC), small);
  EXPECT_FALSE(r->Serialize(nullptr, 100));

  // Back into an empty record, and into one of another layout.
  CNAXQRecord fresh;
  EXPECT_TRUE(fresh.Deserialize(out.data(), out.size()));
  EXPECT_TRUE(fresh.bEquals(r.get()));
  EXPECT_EQ(3u, fresh.nGetFlagBitCount());
  EXPECT_EQ(fresh.pbyGetNullValuesFlags() + 1, fresh.pbyGetValues());
  EXPECT_EQ(1, fresh.bItemValueDefined(src.pclItem(2), 0));
  TestRecordSource other;
  for (int i = 0; i < 12; ++i) other.pclAdd(NA_IT_UI1, 1);
  RecordPtr r2 = NewRecord(other);
  EXPECT_TRUE(r2->Deserialize(out.data(), out.size()));
  EXPECT_TRUE(r2->bEquals(r.get()));
}

// A form that does not hold together is refused and the record stays as it
// was; a form of the same total size keeps the buffer.
TEST(xqrecord_serial, DeserializeRefusesWhatDoesNotHoldTogether) {
  TestRecordSource src;
  for (int i = 0; i < 3; ++i) src.pclAdd(NA_IT_UI1, 1);
  src.nDiskRecordSize = 10;
  RecordPtr r = NewRecord(src);
  std::memset(r->pbyGetNullValuesFlags(), 0x77, r->nGetTotalSize());
  Bytes good(23);
  ASSERT_TRUE(r->Serialize(good.data(), good.size()));
  for (std::size_t i = 12; i < good.size(); ++i) good[i] = static_cast<unsigned char>(i);

  auto With = [&](std::uint32_t nTotal, std::uint32_t nBits, std::uint32_t nFlags) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) {
      b[i] = static_cast<unsigned char>(nTotal >> (8 * i));
      b[4 + i] = static_cast<unsigned char>(nBits >> (8 * i));
      b[8 + i] = static_cast<unsigned char>(nFlags >> (8 * i));
    }
    return b;
  };
  struct Row {
    const char* pszCase;
    Bytes form;
    unsigned long nSize;
  };
  const Row rows[] = {
      {"below the header", good, 11},
      {"below header and buffer", good, 22},
      {"total beyond the input", With(0xFFFFFFF0u, 3, 1), 23},
      {"flag size the bits do not give", With(11, 3, 2), 23},
      {"flag size without bits", With(11, 0, 1), 23},
      {"total below the flag field", With(0, 9, 2), 23},
  };
  const Bytes before = Buffer(*r);
  const unsigned char* pBuffer = r->pbyGetNullValuesFlags();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszCase);
    EXPECT_FALSE(r->Deserialize(row.form.data(), row.nSize));
    EXPECT_EQ(before, Buffer(*r));
    EXPECT_EQ(3u, r->nGetFlagBitCount());
    EXPECT_EQ(1u, r->nGetFlagFieldSize());
  }
  EXPECT_FALSE(r->Deserialize(nullptr, 23));

  // Same total size, other flag layout: the buffer stays where it is.
  const Bytes regrouped = With(11, 9, 2);
  EXPECT_TRUE(r->Deserialize(regrouped.data(), regrouped.size()));
  EXPECT_EQ(pBuffer, r->pbyGetNullValuesFlags());
  EXPECT_EQ(2u, r->nGetFlagFieldSize());
  EXPECT_EQ(pBuffer + 2, r->pbyGetValues());
  EXPECT_EQ(Bytes(good.begin() + 12, good.end()), Buffer(*r));
  // A larger input is fine: only the form is read.
  Bytes longer = good;
  longer.resize(40, 0xEE);
  EXPECT_TRUE(r->Deserialize(longer.data(), longer.size()));
  EXPECT_EQ(Bytes(good.begin() + 12, good.end()), Buffer(*r));
  // An empty record.
  const Bytes none = With(0, 0, 0);
  EXPECT_TRUE(r->Deserialize(none.data(), 12));
  EXPECT_EQ(0u, r->nGetTotalSize());
  EXPECT_EQ(nullptr, r->pbyGetValues());
}

// The record caches keep the raw image and read it back only into a record
// of the same size.
TEST(xqrecord_serial, RawImageInTheBufferTable) {
  TestRecordSource src;
  src.pclAdd(NA_IT_I4, 4);
  src.pclAdd(NA_IT_TEXTE, 6);
  RecordPtr r = NewRecord(src);
  for (std::uint32_t i = 0; i < r->nGetTotalSize(); ++i) r->pbyGetNullValuesFlags()[i] = static_cast<unsigned char>(i + 1);
  CTSimpleTable<CNAXQRecord> table(4, 4096);
  ASSERT_EQ(0, table.nAjoute(r.get()));
  std::uint64_t nStored = 0;
  ASSERT_NE(nullptr, table.pGetDonnees(0, &nStored));
  EXPECT_EQ(r->nGetTotalSize(), nStored);
  RecordPtr same = NewRecord(src);
  const unsigned char* pBuffer = same->pbyGetNullValuesFlags();
  EXPECT_TRUE(table.bLit(0, same.get()));
  EXPECT_TRUE(same->bEquals(r.get()));
  EXPECT_EQ(pBuffer, same->pbyGetNullValuesFlags());
  TestRecordSource bigger;
  bigger.pclAdd(NA_IT_I8, 8);
  bigger.pclAdd(NA_IT_TEXTE, 6);
  RecordPtr other = NewRecord(bigger);
  EXPECT_FALSE(table.bLit(0, other.get()));
  EXPECT_EQ(Bytes(other->nGetTotalSize(), 0), Buffer(*other));
}

// ---- Table slots -------------------------------------------------------------

template <typename R, typename... A>
R CallSlot(CNAXQRecord* p, int nSlot, A... args) {
  using Fn = R (*)(CNAXQRecord*, A...);
  void** pVtbl = *reinterpret_cast<void***>(p);
  return reinterpret_cast<Fn>(pVtbl[nSlot])(p, args...);
}

TEST(xqrecord_slots, EveryOperationAnswersFromItsSlot) {
  TestRecordSource src;
  CNAItemDescription* i4 = src.pclAdd(NA_IT_I4, 4);
  CNAXQRecord* r = new CNAXQRecord;
  ASSERT_TRUE(r->bInit(&src, NA_INITTYPE_EMPTY));
  const INAItemDescription* pi = i4;

  const unsigned char values[4] = {1, 2, 3, 4};
  CallSlot<void>(r, 3, static_cast<const unsigned char*>(values), 4UL);
  EXPECT_EQ(1, r->bItemValueDefined(pi, 0));
  EXPECT_EQ(r->pbyGetValues(), (CallSlot<unsigned char*>(r, 4, pi, 0)));
  EXPECT_EQ(r->pbyGetValues(), (CallSlot<const unsigned char*>(r, 5, pi, 0)));
  const std::int32_t n = 77;
  EXPECT_TRUE((CallSlot<bool>(r, 6, pi, static_cast<const void*>(&n), 4UL, 0U)));
  CAny v;
  v.SetI4(78);
  EXPECT_TRUE((CallSlot<bool>(r, 7, pi, static_cast<const CAny*>(&v), 0U)));
  CAny out;
  EXPECT_TRUE((CallSlot<bool>(r, 8, &out, pi, 0)));
  int nOut = 0;
  out.nGetINT(&nOut);
  EXPECT_EQ(78, nOut);
  std::int32_t raw = 0;
  EXPECT_TRUE((CallSlot<bool>(r, 9, static_cast<void*>(&raw), pi, 0)));
  EXPECT_EQ(78, raw);
  CallSlot<void>(r, 10, pi, 0, 0U);
  EXPECT_EQ(0, (CallSlot<int>(r, 11, pi, 0U)));
  CNAXQRecord* clone = CallSlot<CNAXQRecord*>(r, 2);
  ASSERT_NE(nullptr, clone);
  EXPECT_TRUE(clone->bEquals(r));
  CallSlot<void>(clone, 1);  // deleting destructor
  CallSlot<void>(r, 1);
}

}  // namespace
