// Record identifiers and saved record values: the serialised forms (at
// unaligned addresses), the two orders and the hash word, the checks on
// lengths read back, memo sets, and the copies of a record value (a
// record-values identifier ends on the copy's own buffer). Holders here
// keep raw bytes or inline numbers, which need no runtime.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CHashTableBounce.h"
#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNARecordId.h"
#include "CNARecordMemo.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "support/TestDriver.h"

namespace {

using Bytes = std::vector<unsigned char>;

using kxtest::DriverScope;

// A record of the given buffer bytes (flag field of `bits` bits first),
// made through its serialised form; one internal reference for the test.
CNAXQRecord* NewRecord(const Bytes& buffer, std::uint32_t bits = 0) {
  const std::uint32_t nFlags = bits == 0 ? 0 : ((bits - 1) >> 3) + 1;
  const auto nTotal = static_cast<std::uint32_t>(buffer.size());
  Bytes form(12);
  std::memcpy(form.data(), &nTotal, 4);
  std::memcpy(form.data() + 4, &bits, 4);
  std::memcpy(form.data() + 8, &nFlags, 4);
  form.insert(form.end(), buffer.begin(), buffer.end());
  auto* p = new CNAXQRecord;
  p->AddRef();
  EXPECT_TRUE(p->Deserialize(form.data(), form.size()));
  return p;
}

// A holder of an inline integer.
template <class T>
CNAConvertVariant* NewNumber(T n) {
  auto* p = new CNAConvertVariant();
  p->AddRef();
  p->InitTypeVariantAny(sizeof(T) == 4 ? 8 : 9);
  p->bSetValue(n);
  return p;
}

// The holder's value read as an int (from wherever it lies).
int IntOf(const CNAConvertVariant* v) {
  int n = 0;
  if (v != nullptr && v->pGetData() != nullptr && v->nGetSize() >= sizeof n) std::memcpy(&n, v->pGetData(), sizeof n);
  return n;
}

Bytes Serialised(const CNARecordId& id, std::size_t offset = 3) {
  // At an odd offset inside a larger block: the forms are never aligned.
  Bytes block(offset + id.nGetSerializedSize(), 0xEE);
  EXPECT_TRUE(id.Serialize(block.data() + offset, id.nGetSerializedSize()));
  return Bytes(block.begin() + static_cast<long>(offset), block.end());
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
  std::uint32_t n;
  std::memcpy(&n, b.data() + at, 4);
  return n;
}

int Sign(int n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); }

}  // namespace

// A row id over the bytes 01 02 03: hash 6, length 3, the bytes; the hash
// word reads back through g_dwPtrHashVal at any address; a holder whose
// buffer is larger than its value gets an entry of its capacity, the rest
// zero-filled.
TEST(recordid, RowIdSerialisedForm) {
  unsigned char data[3] = {1, 2, 3};
  CNAConvertVariant* v = new CNAConvertVariant();
  v->AddRef();
  ASSERT_TRUE(v->bInitTypeVariant(NAVT_POINTER, data, 3, 28));
  {
    CNARecordId_RowId id(v);
    EXPECT_EQ(id.eGetRecordIdType(), NA_RECORDID_ROWID);
    EXPECT_EQ(id.dwGetHashVal(), 6u);
    ASSERT_EQ(id.nGetSerializedSize(), 11u);
    const Bytes form = Serialised(id);
    EXPECT_EQ(form, (Bytes{6, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3}));
    EXPECT_EQ(CNARecordId::g_dwPtrHashVal(form.data()), 6u);
  }
  v->nRelease();

  CNAConvertVariant* own = new CNAConvertVariant();
  own->AddRef();
  ASSERT_TRUE(own->bInitTypeVariantBuffer(28, 10));
  const unsigned char two[2] = {9, 8};
  own->bSetValue(two, 2);
  CNARecordId_RowId big(own);
  const unsigned long nSize = big.nGetSerializedSize();
  ASSERT_GE(nSize, 8u + own->nGetSize());
  ASSERT_GE(nSize, 8u + own->nGetCapacity());
  Bytes form(nSize, 0xEE);
  ASSERT_TRUE(big.Serialize(form.data(), nSize));
  const std::uint32_t nL = U32(form, 4);
  ASSERT_LE(nL, nSize - 8);
  for (std::size_t i = 8 + nL; i < nSize; ++i) EXPECT_EQ(form[i], 0) << i;
  // A destination shorter than the value is refused and left alone.
  Bytes court(8 + nL - 1, 0xEE);
  EXPECT_FALSE(big.Serialize(court.data(), court.size()));
  EXPECT_EQ(court, Bytes(court.size(), 0xEE));
  EXPECT_FALSE(big.Serialize(nullptr, nSize));
  own->nRelease();
}

// DeSerialize refuses a stated length beyond the bytes it is given (a
// reader that trusted it would read past the entry) and otherwise gives the
// holder the bytes.
TEST(recordid, RowIdDeSerializeChecksTheStatedLength) {
  CNAConvertVariant* v = NewNumber(static_cast<int>(0x01020304));
  CNARecordId_RowId id(v);
  v->nRelease();  // the id holds it
  struct Cas {
    Bytes form;
    bool bAccepted;
  };
  const std::vector<Cas> cas = {
      {{0, 0, 0, 0, 4, 0, 0, 0, 7, 0, 0, 0}, true},
      {{0, 0, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0}, false},        // 5 announced, 4 there
      {{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2}, false},  // all ones
      {{0, 0, 0, 0, 0, 0, 0}, false},                       // no header
  };
  for (const Cas& c : cas) {
    const int nAvant = IntOf(id.pclGetVariant());
    // Copied to a block of exactly its size, so that any read past it is seen.
    std::unique_ptr<unsigned char[]> exact(new unsigned char[c.form.size()]);
    std::memcpy(exact.get(), c.form.data(), c.form.size());
    EXPECT_EQ(id.DeSerialize(exact.get(), c.form.size()), c.bAccepted) << c.form.size();
    if (c.bAccepted)
      EXPECT_EQ(IntOf(id.pclGetVariant()), 7);
    else
      EXPECT_EQ(IntOf(id.pclGetVariant()), nAvant);
  }
}

// The row-id order: common bytes first, then the shorter form; the sign of
// the first differing byte as unsigned values. Forms sit at odd addresses.
TEST(recordid, RowIdCompareOrdersBytewiseShorterFirst) {
  struct Cas {
    Bytes a, b;
    int nSign;
  };
  const std::vector<Cas> cas = {
      {{7, 0, 0, 0}, {7, 0, 0, 0, 0, 0, 0, 0}, -1},  // the integer 7 in 4 and 8 bytes
      {{7, 0, 0, 0, 0, 0, 0, 0}, {7, 0, 0, 0}, 1},
      {{1, 2, 3}, {1, 2, 3}, 0},
      {{1, 0x80}, {1, 0x7F, 0xFF}, 1},  // unsigned bytes
      {{}, {0}, -1},
      {{}, {}, 0},
  };
  for (const Cas& c : cas) {
    auto Form = [](const Bytes& data) {
      Bytes f(1 + 8 + data.size());  // one byte in front: odd address
      const auto n = static_cast<std::uint32_t>(data.size());
      std::memcpy(f.data() + 5, &n, 4);
      if (!data.empty()) std::memcpy(f.data() + 9, data.data(), data.size());
      return f;
    };
    const Bytes fa = Form(c.a), fb = Form(c.b);
    EXPECT_EQ(Sign(CNARecordId_RowId::g_nCompare_CNARecordId_RowId(fa.data() + 1, fb.data() + 1)), c.nSign)
        << c.a.size() << " " << c.b.size();
  }
}

// Row ids of one value in holders of different widths serialise
// differently, and the table's callbacks are the row-id ones.
TEST(recordid, RowIdWidthsAndCallbacks) {
  CNAConvertVariant* a = NewNumber(7);
  CNAConvertVariant* b = NewNumber(7L);
  CNARecordId_RowId ia(a), ib(b);
  a->nRelease();
  b->nRelease();
  // Holders of a plain value have no buffer capacity: the entry is sized
  // by the value itself, or the 8 + L bytes would not fit.
  EXPECT_EQ(ia.nGetSerializedSize(), 12u);
  EXPECT_EQ(ib.nGetSerializedSize(), 16u);
  const Bytes fa = Serialised(ia), fb = Serialised(ib);
  EXPECT_EQ(U32(fa, 4), 4u);
  EXPECT_EQ(U32(fb, 4), 8u);
  EXPECT_EQ(U32(fa, 0), 7u);
  EXPECT_EQ(U32(fb, 0), 7u);
  EXPECT_LT(CNARecordId_RowId::g_nCompare_CNARecordId_RowId(fa.data(), fb.data()), 0);

  CHashTableBounce table(7);
  ia.SetHashTableFct_SerializedObject(&table);
  EXPECT_EQ(table.pfGetCmp(), &CNARecordId_RowId::g_nCompare_CNARecordId_RowId);
  EXPECT_EQ(table.pfGetHashVal(), &CNARecordId::g_dwPtrHashVal);
  CNARecordId_RecordValues rv(nullptr, 0, nullptr);
  rv.SetHashTableFct_SerializedObject(&table);
  EXPECT_EQ(table.pfGetCmp(), &CNARecordId_RecordValues::g_nCompare_CNARecordId_RecordValues);
}

// Record-values ids: the 28-byte form, the block hash (0 for 0 bytes),
// equality of contents (the text is in the hosted tests).
TEST(recordid, RecordValuesFormHashAndEquality) {
  const Bytes a = {1, 0, 0, 0, 2, 0, 0, 0, 5, 6};  // words 1 and 2, then 5 and 6
  const Bytes a2 = a;
  const Bytes b = {1, 0, 0, 0, 2, 0, 0, 0, 5, 7};
  CNARecordMemo* memo = new CNARecordMemo();
  memo->dwAddRef();
  CNARecordId_RecordValues ia(a.data(), a.size(), memo), ia2(a2.data(), a2.size(), nullptr), ib(b.data(), b.size(), nullptr);
  EXPECT_EQ(ia.eGetRecordIdType(), NA_RECORDID_RECORDVALUES);
  EXPECT_EQ(ia.dwGetHashVal(), 1u + 2u + 5u + 6u);
  const Bytes form = Serialised(ia);
  ASSERT_EQ(form.size(), 28u);
  EXPECT_EQ(U32(form, 0), 14u);
  std::uint64_t n, adr, adrMemo;
  std::memcpy(&n, form.data() + 4, 8);
  std::memcpy(&adr, form.data() + 12, 8);
  std::memcpy(&adrMemo, form.data() + 20, 8);
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(adr, reinterpret_cast<std::uintptr_t>(a.data()));
  EXPECT_EQ(adrMemo, reinterpret_cast<std::uintptr_t>(memo));
  Bytes court(27);
  EXPECT_FALSE(ia.Serialize(court.data(), court.size()));

  EXPECT_TRUE(ia.bEqualRecordId(&ia2));  // memos are not compared
  EXPECT_FALSE(ia.bEqualRecordId(&ib));
  CNARecordId_RecordValues z1(a.data(), 0, nullptr), z2(b.data(), 0, nullptr);
  EXPECT_EQ(z1.dwGetHashVal(), 0u);
  EXPECT_TRUE(z1.bEqualRecordId(&z2));
  EXPECT_FALSE(z1.bEqualRecordId(&ia));

  CNARecordId_RecordValues read(nullptr, 0, nullptr);
  ASSERT_TRUE(read.DeSerialize(form.data(), form.size()));
  EXPECT_EQ(read.pbyGetBuffer(), a.data());
  EXPECT_EQ(read.nGetSize(), 10u);
  EXPECT_FALSE(read.DeSerialize(form.data(), 27));

  memo->dwRelease();
}

// The record-values order: by size first, then the bytes; a shorter buffer
// is never read past its end (each buffer is a heap block of exactly its
// size, so the sanitizer sees any overrun).
TEST(recordid, RecordValuesCompareNeverReadsPastTheShorter) {
  struct Cas {
    Bytes a, b;
    int nSign;
  };
  const std::vector<Cas> cas = {
      {Bytes(16, 0x10), Bytes(4, 0x10), 1},
      {Bytes(4, 0x10), Bytes(16, 0x10), -1},
      {Bytes(4, 0xFF), Bytes(16, 0x00), -1},  // size before content
      {{1, 2, 3, 4}, {1, 2, 3, 5}, -1},
      {{1, 2, 0x90, 4}, {1, 2, 0x10, 4}, 1},
      {{9, 9}, {9, 9}, 0},
      {{}, {}, 0},
  };
  for (const Cas& c : cas) {
    std::unique_ptr<unsigned char[]> pa(new unsigned char[c.a.size() + 1]), pb(new unsigned char[c.b.size() + 1]);
    if (!c.a.empty()) std::memcpy(pa.get(), c.a.data(), c.a.size());
    if (!c.b.empty()) std::memcpy(pb.get(), c.b.data(), c.b.size());
    // The heap blocks are one byte longer only for the empty case; the
    // serialised size says how much may be read.
    CNARecordId_RecordValues ia(pa.get(), c.a.size(), nullptr), ib(pb.get(), c.b.size(), nullptr);
    const Bytes fa = Serialised(ia, 5), fb = Serialised(ib, 1);
    EXPECT_EQ(Sign(CNARecordId_RecordValues::g_nCompare_CNARecordId_RecordValues(fa.data(), fb.data())), c.nSign)
        << c.a.size() << " " << c.b.size();
  }
}

// Memo sets: equality over the larger count (missing counts as NULL), and a
// copy from a shorter set NULLs the elements beyond it.
TEST(recordid, MemoSetsCompareAndCopy) {
  DriverScope driver;
  auto Set = [](std::vector<int> values) {
    CNARecordMemo* m = new CNARecordMemo();
    m->dwAddRef();
    for (std::size_t i = 0; i < values.size(); ++i) {
      CNAConvertVariant* v = NewNumber(values[i] < 0 ? 0 : values[i]);
      if (values[i] < 0) v->SetNull();
      EXPECT_TRUE(m->bShareMemoValue(static_cast<int>(i), v));
      v->nRelease();
    }
    return m;
  };
  // Values that compare equal only by the runtime are in the hosted tests;
  // here NULL and missing elements and the counts.
  CNARecordMemo* deux = Set({-1, -1});
  CNARecordMemo* troisNull = Set({-1, -1, -1});
  CNARecordMemo* trois = Set({-1, -1, 3});
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(deux, troisNull));
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(troisNull, deux));
  EXPECT_FALSE(CNARecordMemo::g_bEqualsNARecordMemo(deux, trois));
  EXPECT_FALSE(CNARecordMemo::g_bEqualsNARecordMemo(trois, nullptr));
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(trois, trois));
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(nullptr, troisNull));
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(nullptr, nullptr));

  CNARecordMemo* un = Set({5});
  ASSERT_TRUE(trois->bCopyRecordMemo(un));
  ASSERT_EQ(trois->nGetNbElements(), 3);
  EXPECT_EQ(IntOf(trois->pGetAt(0)), 5);
  EXPECT_TRUE(trois->pGetAt(1)->bIsNull());
  EXPECT_TRUE(trois->pGetAt(2)->bIsNull());

  // Copying into a missing element clones (padding up to the index); a
  // missing value puts nothing there.
  CNARecordMemo* vide = new CNARecordMemo();
  vide->dwAddRef();
  EXPECT_TRUE(vide->bCopyMemoValue(2, un->pGetAt(0)));
  ASSERT_EQ(vide->nGetNbElements(), 3);
  EXPECT_EQ(vide->pGetAt(0), nullptr);
  EXPECT_NE(vide->pGetAt(2), un->pGetAt(0));
  EXPECT_EQ(IntOf(vide->pGetAt(2)), 5);
  EXPECT_TRUE(vide->bCopyMemoValue(5, nullptr));
  EXPECT_EQ(vide->nGetNbElements(), 3);
  EXPECT_FALSE(vide->bCopyMemoValue(-1, un->pGetAt(0)));
  for (CNARecordMemo* m : {deux, troisNull, trois, un, vide}) m->dwRelease();
}

// Record values: a full copy gives the copy its own record, and its
// record-values id then describes the copy's buffer, not the source's;
// bEquals compares records (and memos on demand); a record of another
// layout is refused by the copy; the accessors answer none past the memo
// set or for a negative index.
TEST(recordid, RecordValueCopiesAndAccessors) {
  DriverScope driver;
  CNARecordValue* src = new CNARecordValue();
  src->AddRef();
  CNAXQRecord* r = NewRecord({0xC0, 1, 2, 3, 4, 5}, 2);
  ASSERT_TRUE(src->bCopyNAXQRecord(r));
  r->nRelease();
  src->bShareRecordID(new CNARecordId_RecordValues(src));
  CNAConvertVariant* memo = NewNumber(42);
  ASSERT_TRUE(src->bShareMemoValue(1, memo));
  src->SetRecordState(NA_RECORDSTATE_DELETED);

  CNARecordValue* copy = src->pclGetClone(NA_COPY_ALL);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  EXPECT_NE(copy->pclGetNAXQRecord(), src->pclGetNAXQRecord());
  EXPECT_EQ(copy->eGetRecordState(), NA_RECORDSTATE_DELETED);
  auto* id = static_cast<CNARecordId_RecordValues*>(copy->pclGetRecordId());
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->pbyGetBuffer(), copy->pclGetNAXQRecord()->pbyGetNullValuesFlags());
  EXPECT_EQ(id->nGetSize(), 6u);
  EXPECT_TRUE(id->bEqualRecordId(src->pclGetRecordId()));
  EXPECT_TRUE(copy->bEquals(src, 0));
  EXPECT_NE(copy->pclGetMemoValueNoRef(1), memo);  // a clone
  EXPECT_EQ(IntOf(copy->pclGetMemoValueNoRef(1)), 42);

  // A copy onto a value that has its own id and record keeps both objects.
  CNAXQRecord* autre = NewRecord({0x40, 9, 9, 9, 9, 9}, 2);
  CNARecordValue* dest = new CNARecordValue();
  dest->AddRef();
  dest->bCopyNAXQRecord(autre);
  dest->bShareRecordID(new CNARecordId_RecordValues(dest));
  CNAXQRecord* pclDestRecord = dest->pclGetNAXQRecord();
  CNARecordId* pclDestId = dest->pclGetRecordId();
  EXPECT_FALSE(dest->bEquals(src, 0));
  ASSERT_TRUE(dest->bCopyRecordValue(src, NA_COPY_ALL));
  EXPECT_EQ(dest->pclGetNAXQRecord(), pclDestRecord);
  EXPECT_EQ(dest->pclGetRecordId(), pclDestId);
  EXPECT_EQ(static_cast<CNARecordId_RecordValues*>(pclDestId)->pbyGetBuffer(), pclDestRecord->pbyGetNullValuesFlags());
  EXPECT_TRUE(dest->bEquals(src, 0));
  EXPECT_EQ(IntOf(dest->pclGetMemoValueNoRef(1)), 42);

  // Another layout: refused, the held record unchanged.
  CNAXQRecord* longer = NewRecord({0x40, 1, 2, 3, 4, 5, 6, 7}, 2);
  EXPECT_FALSE(dest->bCopyNAXQRecord(longer));
  EXPECT_EQ(dest->pclGetNAXQRecord()->nGetTotalSize(), 6u);

  // Memo accessors.
  EXPECT_EQ(src->pclGetMemoValueNoRef(0), nullptr);
  EXPECT_EQ(src->pclGetMemoValueNoRef(2), nullptr);
  EXPECT_EQ(src->pclGetMemoValueNoRef(-1), nullptr);
  EXPECT_EQ(src->pclGetMemoValue(7), nullptr);
  CNAConvertVariant* held = src->pclGetMemoValue(1);
  ASSERT_EQ(held, memo);
  EXPECT_EQ(held->nGetInternalCount(), 3u);  // test, memo set, caller
  held->nRelease();
  CAny out;
  EXPECT_TRUE(src->bGetMemoValue(&out, 5));
  EXPECT_TRUE(out.bIsNull());

  // Sharing the same set or id again keeps them alive.
  CNARecordMemo* set = src->pclGetTabMemo();
  EXPECT_TRUE(src->bShareTabMemoValue(set));
  EXPECT_EQ(src->pclGetTabMemo(), set);
  CNARecordId* srcId = src->pclGetRecordId();
  EXPECT_TRUE(src->bShareRecordID(srcId));
  EXPECT_EQ(src->pclGetRecordId()->eGetRecordIdType(), NA_RECORDID_RECORDVALUES);
  // An empty set leaves none.
  CNARecordMemo* empty = new CNARecordMemo();
  empty->dwAddRef();
  EXPECT_TRUE(src->bShareTabMemoValue(empty));
  EXPECT_EQ(src->pclGetTabMemo(), nullptr);
  empty->dwRelease();

  memo->nRelease();
  longer->nRelease();
  autre->nRelease();
  dest->nRelease();
  copy->nRelease();
  src->nRelease();
}

// Row ids through record values: a copy clones the holder (the driver's
// factory), and copying onto a held row id copies the value.
TEST(recordid, RowIdCloneAndCopy) {
  DriverScope driver;
  CNAConvertVariant* v = NewNumber(1234);
  CNARecordId_RowId id(v);
  v->nRelease();
  CNARecordValue* a = new CNARecordValue();
  a->AddRef();
  ASSERT_TRUE(a->bCopyRecordID(&id));
  auto* clone = static_cast<CNARecordId_RowId*>(a->pclGetRecordId());
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone, &id);
  EXPECT_NE(clone->pclGetVariant(), id.pclGetVariant());
  EXPECT_EQ(IntOf(clone->pclGetVariant()), 1234);
  EXPECT_EQ(Serialised(*clone), Serialised(id));

  CNAConvertVariant* w = NewNumber(99);
  CNARecordId_RowId other(w);
  w->nRelease();
  ASSERT_TRUE(a->bCopyRecordID(&other));
  EXPECT_EQ(a->pclGetRecordId(), clone);
  EXPECT_EQ(IntOf(clone->pclGetVariant()), 99);
  // A record-values id is not a row id.
  CNARecordId_RecordValues rv(nullptr, 0, nullptr);
  EXPECT_FALSE(clone->bCopy(a, &rv));
  EXPECT_FALSE(clone->bEqualRecordId(&rv));
  a->nRelease();
}
