// The record layout with the runtime's conversions bound: the dump of the
// current record, and a layout made entirely by the library's own driver
// factories whose columns write the expected bytes into the record the
// runtime reads, read them back equal, and keep them through the record
// cache.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "AnyOperators.h"
#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "CXYStringConcat.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/LayoutFixture.h"

namespace {

using Bytes = std::vector<unsigned char>;
using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TenItems;

class recordlayout_hosted : public BoundRuntimeTest {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

void SetAnsi(CAny* v, const char* psz) {
  v->__SetType(ANY_DSTRA, 0);
  v->SetValue(psz, std::strlen(psz));
}

Bytes Element(CNAXQRecord* r, INAItemDescription* pi) {
  const unsigned char* p = r->pbyGetItemValue(pi, 0);
  return p == nullptr ? Bytes() : Bytes(p, p + pi->nGetItemSize());
}

Bytes Padded(Bytes b, std::size_t n) {
  b.resize(n, 0);
  return b;
}

bool Equal(const CAny& a, const CAny& b) {
  int n = 0;
  return nEgalite(&a, &b, &n, 0) <= 99 && n != 0;
}

// The identifier, the flag bytes most significant bit first, then every
// column that is no composite key.
TEST_F(recordlayout_hosted, CurrentRecordAsText) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CAny v;
  v.SetI4(42);
  ASSERT_TRUE(layout.col(items.i4)->bSetValue(&v, 0));  // physical index 3
  v.SetI8(7);
  ASSERT_TRUE(layout.col(items.idauto)->bSetValue(&v, 0));  // physical index 8
  CXYStringConcat<wchar_t> out(64);
  layout->CurrentRecordToString(&out);
  const std::wstring sSize = std::to_wstring(layout->pclGetNAXQRecord()->nGetTotalSize());
  const std::wstring expected = L"<Record ID> : record values (" + sSize +
                                L" bytes)\n"
                                L"<NullValuesFlags (0=NULL)> : 00010000 10000000\n"
                                L"<ITEM0> = <NULL>\n"
                                L"<ITEM1> = <NULL>\n"
                                L"<ITEM2> = <NULL>\n"
                                L"<ITEM3> = <42>\n"
                                L"<ITEM4> = <NULL>\n"
                                L"<ITEM5> = <NULL>\n"
                                L"<ITEM6> = <NULL>\n"
                                L"<ITEM7> = <NULL>\n"
                                L"<ITEM8> = <7>";
  EXPECT_EQ(expected, std::wstring(out.pszGet(), out.nGetLength()));
  // Without an identifier.
  layout->pclGetCurrentRecordValue()->bShareRecordID(nullptr);
  layout->CurrentRecordToString(&out);
  EXPECT_EQ(0, std::wstring(out.pszGet()).rfind(L"<Record ID> : NULL\n<NullValuesFlags (0=NULL)> :", 0));
}

// A layout over the ten items built by the library's own factories
// (variants, columns, errors): values written through its columns are the
// expected bytes of the record the runtime reads, read back equal, and
// come back unchanged from the record cache.
TEST_F(recordlayout_hosted, ValuesThroughColumnsRoundTrip) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  ASSERT_EQ(10, layout->nGetColumnCount());

  std::vector<std::pair<INAItemDescription*, CAny>> values;
  CAny v;
  SetAnsi(&v, "ABC");
  values.emplace_back(items.text, v);
  const std::wstring w = L"h\u00e9\u20ac";
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(w.c_str(), w.size() * sizeof(wchar_t));
  values.emplace_back(items.unicode, v);
  const unsigned char bin[] = {1, 2, 3};
  v.SetBIN(bin, 3);
  values.emplace_back(items.binary, v);
  v.SetI4(-2);
  values.emplace_back(items.i4, v);
  SetAnsi(&v, "12.5");
  ASSERT_LE(v.__nCastTo(ANY_DECIMAL, nullptr, 1), 99);
  values.emplace_back(items.decimal, v);
  v.SetDATEA("20240131");
  values.emplace_back(items.date8, v);
  v.SetTIMEA("123456000");
  values.emplace_back(items.heure, v);
  SetAnsi(&v, "a memo");
  values.emplace_back(items.memo, v);
  v.SetI8(7);
  values.emplace_back(items.idauto, v);
  for (auto& [pi, value] : values) {
    SCOPED_TRACE(pi->pszGetName());
    ASSERT_TRUE(layout.col(pi)->bSetValue(&value, 0));
  }

  CNAXQRecord* r = layout->pclGetNAXQRecord();
  const Bytes flags(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + r->nGetFlagFieldSize());
  EXPECT_EQ((Bytes{0xFF, 0x80}), flags);
  EXPECT_EQ(Padded({'A', 'B', 'C'}, 11), Element(r, items.text));
  EXPECT_EQ(Padded({'h', 0, 0xE9, 0, 0xAC, 0x20}, 12), Element(r, items.unicode));
  EXPECT_EQ(Padded({3, 0, 1, 2, 3}, 10), Element(r, items.binary));
  EXPECT_EQ((Bytes{0xFE, 0xFF, 0xFF, 0xFF}), Element(r, items.i4));
  EXPECT_EQ(Padded({'2', '0', '2', '4', '0', '1', '3', '1'}, 9), Element(r, items.date8));
  EXPECT_EQ(Padded({'1', '2', '3', '4', '5', '6', '0', '0', '0'}, 10), Element(r, items.heure));
  EXPECT_EQ(Bytes(8, 0), Element(r, items.memo));  // the defined memo's marker
  EXPECT_EQ(Padded({7}, 8), Element(r, items.idauto));
  EXPECT_NE(Bytes(items.decimal->nGetItemSize(), 0), Element(r, items.decimal));
  // The key: the components' stored bytes.
  CAny key;
  ASSERT_TRUE(layout.col(items.key)->bGetCurrentValue(&key, 0));
  Bytes expectedKey = Padded({'A', 'B', 'C'}, 10);
  const Bytes u = Padded({'h', 0, 0xE9, 0, 0xAC, 0x20}, 10);
  const Bytes b = Padded({3, 0, 1, 2, 3}, 10);
  const Bytes d = Element(r, items.decimal);
  expectedKey.insert(expectedKey.end(), u.begin(), u.end());
  expectedKey.insert(expectedKey.end(), b.begin(), b.end());
  expectedKey.insert(expectedKey.end(), d.begin(), d.end());
  void* pKey = nullptr;
  std::size_t nKey = 0;
  ASSERT_EQ(0, key.nGetDataAdr(&pKey));
  ASSERT_EQ(0, key.nGetUtilDataSize(&nKey));
  EXPECT_EQ(expectedKey, Bytes(static_cast<unsigned char*>(pKey), static_cast<unsigned char*>(pKey) + nKey));

  auto readBack = [&](const char* pszWhen) {
    SCOPED_TRACE(pszWhen);
    for (auto& [pi, value] : values) {
      SCOPED_TRACE(pi->pszGetName());
      CAny back;
      ASSERT_TRUE(layout.col(pi)->bGetCurrentValue(&back, 0));
      EXPECT_FALSE(back.bIsNull());
      EXPECT_TRUE(Equal(back, value));
    }
  };
  readBack("written");

  // Through the record cache: stored, the current record emptied, read
  // back into it.
  const Bytes saved(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + r->nGetTotalSize());
  Held<CNARecordCache> cache;
  ASSERT_EQ(0, cache->nAjoute(layout->pclGetCurrentRecordValue()));
  ASSERT_TRUE(layout->bSetNAXQRecord(layout->pclGetDefaultRecord()));
  for (auto& [pi, value] : values) layout.col(pi)->bSetValueNULL();
  EXPECT_NE(saved, Bytes(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + r->nGetTotalSize()));
  ASSERT_TRUE(cache->bGetAt(layout->pclGetCurrentRecordValue(), 0));
  EXPECT_EQ(r, layout->pclGetNAXQRecord());  // the bound buffer stays
  EXPECT_EQ(saved, Bytes(r->pbyGetNullValuesFlags(), r->pbyGetNullValuesFlags() + r->nGetTotalSize()));
  readBack("from the cache");
}

// The key that identifies the current record: the unique key column once
// any of its values is defined, else none.
TEST_F(recordlayout_hosted, UniqueKeyWithAValue) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  EXPECT_EQ(nullptr, layout->pclGetUniqueKeyNotNullNoRef());
  CAny v;
  v.SetI4(1);
  ASSERT_TRUE(layout.col(items.i4)->bSetValue(&v, 0));  // not a key
  EXPECT_EQ(nullptr, layout->pclGetUniqueKeyNotNullNoRef());
  SetAnsi(&v, "K");
  ASSERT_TRUE(layout.col(items.text)->bSetValue(&v, 0));
  EXPECT_EQ(layout.col(items.key), layout->pclGetUniqueKeyNotNullNoRef());
}

}  // namespace
