// Columns of a record layout with the runtime's conversions bound: keys
// read as binary values, the modified state across a copy to the original
// record, memos, the NULL-equivalence rule over item type, database type,
// nullability, the connection's empty-as-NULL mode and the value, the
// states of a memo written by a table operation, a value the record
// refuses, comparisons and dump texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNAError.h"
#include "CNARecord.h"
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

class nacolumn_hosted : public BoundRuntimeTest {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

Bytes DataOf(const CAny& v) {
  void* p = nullptr;
  std::size_t n = 0;
  if (v.nGetUtilDataSize(&n) != 0 || n == 0 || v.nGetDataAdr(&p) != 0) return {};
  return Bytes(static_cast<unsigned char*>(p), static_cast<unsigned char*>(p) + n);
}

void SetAnsi(CAny* v, const char* psz) {
  v->__SetType(ANY_DSTRA, 0);
  v->SetValue(psz, std::strlen(psz));
}

std::wstring Text(const CXYStringConcat<wchar_t>& s) { return std::wstring(s.pszGet(), s.nGetLength()); }

// The smallest case in plain values: "ABC" in a text of element size 11,
// then an I4.
TEST_F(nacolumn_hosted, CompositeKeyOfTextAndInteger) {
  kxtest::TestRecordSource src;
  CNAItemDescription* a = src.pclAdd(NA_IT_TEXTE, 11);
  CNAItemDescription* b = src.pclAdd(NA_IT_I4, 4);
  CNAItemDescription* key = src.pclAdd(NA_IT_BINAIRE, 0, 1, CNAItemDescription::KEY_COMPOSED);
  key->bAddComponent(a);
  key->bAddComponent(b);
  kxtest::Held<kxtest::TestConnection> cnx;
  Layout layout(&src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CAny v;
  SetAnsi(&v, "ABC");
  ASSERT_TRUE(layout.col(a)->bSetValue(&v, 0));
  v.SetI4(0x01020304);
  ASSERT_TRUE(layout.col(b)->bSetValue(&v, 0));
  ASSERT_TRUE(layout.col(key)->bGetCurrentValue(&v, 0));
  EXPECT_EQ((Bytes{'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1}), DataOf(v));
}

// The modified state compares the current record with the original one:
// flags and bytes; a copy to the original clears it.
TEST_F(nacolumn_hosted, ValueModifiedAcrossACopyToTheOriginal) {
  TenItems items;
  kxtest::Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* text = layout.col(items.text);
  CNAColumn* i4 = layout.col(items.i4);
  EXPECT_FALSE(text->bValueModified());
  CAny v;
  SetAnsi(&v, "AB");
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_TRUE(text->bValueModified());
  EXPECT_FALSE(i4->bValueModified());
  ASSERT_TRUE(layout->bCopyCurrentRecordToOriginalRecord());
  EXPECT_TRUE(layout->bOriginalRecordSet());
  EXPECT_FALSE(text->bValueModified());
  EXPECT_TRUE(text->bOriginalValueDefined());
  // The same bytes again: not modified.
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_FALSE(text->bValueModified());
  // Another value, then NULL: modified (bytes, then flag).
  SetAnsi(&v, "AC");
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_TRUE(text->bValueModified());
  ASSERT_TRUE(text->bSetValueNULL());
  EXPECT_TRUE(text->bValueModified());
  EXPECT_TRUE(text->bNull());
  EXPECT_FALSE(text->bValueDefined());
  // Back to the original's content.
  ASSERT_TRUE(layout->bCopyOriginalRecordToCurrentRecord());
  EXPECT_FALSE(text->bValueModified());
  EXPECT_FALSE(text->bNull());
  // The key follows its components.
  CNAColumn* key = layout.col(items.key);
  EXPECT_FALSE(key->bValueModified());
  SetAnsi(&v, "Z");
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_TRUE(key->bValueModified());
}

// A memo's holder is shared with the current record value's memo set; an
// attached file makes it modified and defined before any read.
TEST_F(nacolumn_hosted, MemoSharedAndAttached) {
  TenItems items;
  kxtest::Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* memo = layout.col(items.memo);
  ASSERT_EQ(0, memo->nGetMemoIndice());
  EXPECT_EQ(memo->pclGetNAValue(), layout->pclGetCurrentRecordValue()->pclGetMemoValueNoRef(0));
  EXPECT_FALSE(memo->bValueModified());
  EXPECT_FALSE(memo->bValueDefined());
  ASSERT_TRUE(memo->bHAttacheMemo(L"/nonexistent/file.txt"));
  EXPECT_TRUE(memo->bValueModified());
  EXPECT_TRUE(memo->bValueDefined());
  memo->SetNotModified();
  EXPECT_FALSE(memo->bValueModified());
  EXPECT_FALSE(memo->bValueDefined());
  // Not read yet: the holder says so, the record's memo marker is defined.
  memo->SetValueIsUnreadYet();
  EXPECT_TRUE(memo->bValueIsUnreadYet());
  EXPECT_TRUE(layout->pclGetNAXQRecord()->bItemValueDefined(items.memo, 0));
  CAny v;
  SetAnsi(&v, "text");
  ASSERT_TRUE(memo->bSetValue(&v, 0));
  EXPECT_FALSE(memo->bValueIsUnreadYet());
  EXPECT_TRUE(memo->bValueDefined());
  // Memos are defined and bound only under the flags' bits.
  EXPECT_FALSE(memo->bMustDefine(1));
  EXPECT_TRUE(memo->bMustDefine(2));
  EXPECT_TRUE(memo->bMustBind(1));
  EXPECT_FALSE(memo->bMustBind(2));
  EXPECT_FALSE(layout.col(items.key)->bMustDefine(3));
  EXPECT_TRUE(layout.col(items.i4)->bMustDefine(0));
}

// Keys read as binary values of the stored bytes: the UNICODE component in
// UTF-16 as stored (not the runtime's 4-byte characters), the binary with
// its 16-bit length, a NULL decimal as zeros.
TEST_F(nacolumn_hosted, KeyReadsTheStoredBytes) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CAny v;
  SetAnsi(&v, "ABC");
  ASSERT_TRUE(layout.col(items.text)->bSetValue(&v, 0));
  const std::wstring w = L"h\u00e9";
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(w.c_str(), w.size() * sizeof(wchar_t));
  ASSERT_TRUE(layout.col(items.unicode)->bSetValue(&v, 0));
  const unsigned char bin[] = {1, 2, 3};
  v.SetBIN(bin, 3);
  ASSERT_TRUE(layout.col(items.binary)->bSetValue(&v, 0));
  ASSERT_TRUE(layout.col(items.key)->bGetCurrentValue(&v, 0));
  EXPECT_EQ(ANY_BIN, v.nGetTypeCode());
  EXPECT_FALSE(v.bIsNull());
  Bytes expected = {'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0};
  const Bytes unicode = {'h', 0, 0xE9, 0, 0, 0, 0, 0, 0, 0};
  const Bytes binary = {3, 0, 1, 2, 3, 0, 0, 0, 0, 0};
  expected.insert(expected.end(), unicode.begin(), unicode.end());
  expected.insert(expected.end(), binary.begin(), binary.end());
  expected.insert(expected.end(), CNAItemDescription::s_nGetDecimalSize(12), 0);
  EXPECT_EQ(expected, DataOf(v));
}

// Whether a value is stored as NULL: over item type T, database type D,
// nullability on the database, the connection's empty-as-NULL mode and the
// value.
TEST_F(nacolumn_hosted, NullOrEquivalentTable) {
  enum Kind { Null, Empty, Text, I4Zero, DateZero, DateSet, BinEmpty, Bin };
  struct Row {
    eNA_ITEMTYPE t;
    eNA_ITEMTYPE d;  // NA_IT_EMPTY: no imported item
    int nullable;
    int mode;
    Kind kind;
    int expected;
  };
  const Row rows[] = {
      {NA_IT_TEXTE, NA_IT_EMPTY, 1, 0, Null, 1},
      {NA_IT_DATE8, NA_IT_EMPTY, 1, 0, Empty, 1},
      {NA_IT_DATE8, NA_IT_EMPTY, 0, 0, Empty, 1},
      {NA_IT_DATE8, NA_IT_EMPTY, 1, 0, Text, 0},
      {NA_IT_HEURE, NA_IT_DATE8, 0, 0, Empty, 0},
      {NA_IT_HEURE, NA_IT_DATE8, 1, 0, Empty, 1},
      {NA_IT_HEURE, NA_IT_DATETIME, 1, 0, Empty, 0},
      {NA_IT_I4, NA_IT_DATETIME, 0, 0, Empty, 1},
      {NA_IT_I4, NA_IT_DATE8, 1, 0, I4Zero, 0},
      {NA_IT_DATETIME, NA_IT_EMPTY, 1, 0, DateZero, 1},
      {NA_IT_DATETIME, NA_IT_EMPTY, 1, 0, DateSet, 0},
      {NA_IT_TEXTE, NA_IT_EMPTY, 1, 0, Empty, 0},
      {NA_IT_TEXTE, NA_IT_EMPTY, 1, 1, Empty, 1},
      {NA_IT_TEXTE, NA_IT_EMPTY, 0, 1, Empty, 0},
      {NA_IT_TEXTE, NA_IT_EMPTY, 1, 1, Text, 0},
      {NA_IT_I4, NA_IT_TEXTE, 1, 1, Empty, 1},
      {NA_IT_BINAIRE, NA_IT_EMPTY, 1, 0, BinEmpty, 0},
      {NA_IT_BINAIRE, NA_IT_EMPTY, 1, 1, BinEmpty, 1},
      {NA_IT_BINAIRE, NA_IT_EMPTY, 0, 1, BinEmpty, 1},
      {NA_IT_BINAIRE, NA_IT_EMPTY, 1, 1, Bin, 0},
      {NA_IT_I4, NA_IT_EMPTY, 1, 1, I4Zero, 0},
  };
  auto size = [](eNA_ITEMTYPE e) -> std::uint32_t {
    switch (e) {
      case NA_IT_TEXTE:
        return 11;
      case NA_IT_DATE8:
        return 9;
      case NA_IT_HEURE:
        return 10;
      case NA_IT_BINAIRE:
        return 10;
      case NA_IT_I4:
        return 4;
      default:
        return 8;
    }
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << n++);
    kxtest::TestRecordSource src;
    CNAItemDescription* item = src.pclAdd(row.t, size(row.t));
    Held<kxtest::TestImportedSource> imported;
    if (row.d != NA_IT_EMPTY) {
      CNAItemDescription* pi = imported->pclAdd(item->pszGetName(), row.d, size(row.d));
      pi->SetDBType(L"db", 1);
      pi->SetNullable(row.nullable);
    } else {
      item->SetNullable(row.nullable);
    }
    Held<kxtest::TestConnection> cnx;
    cnx->SetEmptyAsNullMode(row.mode);
    Layout layout(&src, cnx.get(), row.d != NA_IT_EMPTY ? imported.get() : nullptr);
    ASSERT_TRUE(layout.bInitResult);
    CNAColumn* c = layout.col(item);
    ASSERT_EQ(row.d, c->eNAGetItemTypeOnDatabase());
    CAny v;
    switch (row.kind) {
      case Null:
        SetAnsi(&v, "x");
        v.SetNull(true);
        break;
      case Empty:
        SetAnsi(&v, "");
        break;
      case Text:
        SetAnsi(&v, "20240131");
        break;
      case I4Zero:
        v.SetI4(0);
        break;
      case DateZero:
      case DateSet: {
        CDateTimeBase dt{};
        if (row.kind == DateSet) {
          dt.m_byJour = 31;
          dt.m_byMois = 1;
          dt.m_wAnnee = 2024;
        }
        v.SetDATETIME(dt);
        break;
      }
      case BinEmpty:
        v.SetBIN(nullptr, 0);
        break;
      case Bin: {
        const unsigned char b[] = {0};
        v.SetBIN(b, 1);
        break;
      }
    }
    EXPECT_EQ(row.expected, c->bNullOrEquivalent(&v));
  }
}

// A memo written by a table operation: the modified flag and the holder
// follow the holder's state, the original record and the value.
TEST_F(nacolumn_hosted, MemoWrittenByATableOperation) {
  enum Holder { Unread, HolderNull, HolderA, Attached };
  enum Value { VNull, VEmpty, VA, VB };
  struct Row {
    Holder holder;
    bool bOriginalNull;
    Value value;
    int flag;
    const char* pszHolder;  // null: the holder NULL
  };
  const Row rows[] = {
      {Unread, false, VA, 1, "A"},        {Unread, true, VNull, 1, nullptr},
      {HolderNull, true, VNull, 0, nullptr}, {HolderNull, true, VA, 1, "A"},
      {HolderNull, false, VNull, 0, nullptr}, {HolderNull, false, VEmpty, 0, nullptr},
      {HolderA, false, VA, 0, "A"},        {HolderA, false, VB, 1, "B"},
      {HolderA, true, VNull, 0, nullptr},  {Attached, false, VB, 1, "B"},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << n++);
    TenItems items;
    Held<kxtest::TestConnection> cnx;
    Layout layout(&items.src, cnx.get());
    ASSERT_TRUE(layout.bInitResult);
    CNAColumn* m = layout.col(items.memo);
    CAny v;
    switch (row.holder) {
      case Unread:
        m->SetValueIsUnreadYet();
        break;
      case HolderNull:
        m->bSetValueNULL();
        break;
      case HolderA:
        SetAnsi(&v, "A");
        m->bSetValue(&v, 0);
        break;
      case Attached:
        m->bHAttacheMemo(L"/tmp/none");
        break;
    }
    layout->pclGetOriginalNAXQRecord()->SetItemValueDefined(items.memo, row.bOriginalNull ? 0 : 1, 0);
    switch (row.value) {
      case VNull:
        v = CAny();
        v.SetNull(true);
        break;
      case VEmpty:
        SetAnsi(&v, "");
        break;
      case VA:
        SetAnsi(&v, "A");
        break;
      case VB:
        SetAnsi(&v, "B");
        break;
    }
    EXPECT_TRUE(m->_bSetValueMemoToDB(&v, 0));
    EXPECT_EQ(row.flag, m->bGetMemoModified());
    EXPECT_STREQ(L"", m->pszGetAttachedMemoPath());
    CNAConvertVariant* h = m->pclGetNAValue();
    if (row.pszHolder == nullptr) {
      EXPECT_TRUE(h->bIsNull());
    } else {
      CAny held;
      ASSERT_TRUE(h->bGetValue(&held));
      EXPECT_FALSE(held.bIsNull());
      EXPECT_EQ(Bytes(row.pszHolder, row.pszHolder + std::strlen(row.pszHolder)), DataOf(held));
    }
    // A value that does not count as NULL marks the memo defined.
    if (row.value == VA || row.value == VB) {
      EXPECT_TRUE(layout->pclGetNAXQRecord()->bItemValueDefined(items.memo, 0));
    }
  }
}

// A value the record cannot take: false, user error 53, the item and the
// holder as they were.
TEST_F(nacolumn_hosted, RefusedValueIsReportedAndChangesNothing) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* i4 = layout.col(items.i4);
  CAny v;
  v.SetI4(5);
  ASSERT_TRUE(i4->bSetValue(&v, 0));
  const unsigned char* p = layout->pclGetNAXQRecord()->pbyGetItemValue(items.i4, 0);
  const Bytes before(p, p + 4);
  SetAnsi(&v, "abc");
  EXPECT_FALSE(i4->bSetValue(&v, 0));
  EXPECT_EQ(53u, layout.error()->nGetUserErrorCode());
  EXPECT_EQ(before, Bytes(p, p + 4));
  EXPECT_TRUE(layout->pclGetNAXQRecord()->bItemValueDefined(items.i4, 0));
  EXPECT_FALSE(i4->pclGetNAValue()->bIsNull());
  CAny back;
  ASSERT_TRUE(i4->pclGetNAValue()->bGetValue(&back));
  int n = 0;
  ASSERT_EQ(0, back.nGetINT(&n));
  EXPECT_EQ(5, n);
}

TEST_F(nacolumn_hosted, SameValueComparesBytes) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* text = layout.col(items.text);
  CAny v;
  v.SetNull(true);
  EXPECT_TRUE(text->bSameValue(&v, 0));  // undefined against NULL
  SetAnsi(&v, "AB");
  EXPECT_FALSE(text->bSameValue(&v, 0));
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_TRUE(text->bSameValue(&v, 0));
  SetAnsi(&v, "ABC");
  EXPECT_FALSE(text->bSameValue(&v, 0));
  SetAnsi(&v, "A");
  EXPECT_FALSE(text->bSameValue(&v, 0));
  EXPECT_TRUE(text->bSameValue(&v, CNAColumn::knSameValuePrefix));
  // Another type goes through the runtime's equality.
  CNAColumn* i4 = layout.col(items.i4);
  v.SetI4(12);
  ASSERT_TRUE(i4->bSetValue(&v, 0));
  v.SetR8(12.0);
  EXPECT_TRUE(i4->bSameValue(&v, 0));
  v.SetR8(12.5);
  EXPECT_FALSE(i4->bSameValue(&v, 0));
}

TEST_F(nacolumn_hosted, ValueAsText) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* i4 = layout.col(items.i4);
  CXYStringConcat<wchar_t> out(16);
  EXPECT_TRUE(i4->bCurrentValueToString(&out, 1));
  EXPECT_EQ(L"<ITEM3> = <NULL>", Text(out));
  CAny v;
  v.SetI4(42);
  ASSERT_TRUE(i4->bSetValue(&v, 0));
  EXPECT_TRUE(i4->bCurrentValueToString(&out, 0));
  EXPECT_EQ(L"42", Text(out));
  out.SetLength(0);
  layout.col(items.memo)->SetValueIsUnreadYet();
  EXPECT_TRUE(layout.col(items.memo)->bCurrentValueToString(&out, 1));
  EXPECT_EQ(L"<ITEM7> = <UNREAD YET>", Text(out));
}

// Before a write the record is made consistent: a value that is to be
// stored as NULL becomes NULL (an empty text under the empty-as-NULL
// mode), a NULL memo goes through the memo rule, a defined one keeps its
// marker; restoring a saved value clears the memo state.
TEST_F(nacolumn_hosted, RecordMadeConsistentBeforeAWrite) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  cnx->SetEmptyAsNullMode(1);
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAXQRecord* r = layout->pclGetNAXQRecord();
  CNAColumn* text = layout.col(items.text);
  CNAColumn* i4 = layout.col(items.i4);
  CAny v;
  SetAnsi(&v, "");
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_TRUE(r->bItemValueDefined(items.text, 0));
  EXPECT_FALSE(text->bValueDefined());
  v.SetI4(3);
  ASSERT_TRUE(i4->bSetValue(&v, 0));
  for (int i = 0; i < layout->nGetColumnCount(); ++i)
    EXPECT_TRUE(layout->pclGetColumnNoRef(i)->bCheckAndCorrectXQRecordValues());
  EXPECT_FALSE(r->bItemValueDefined(items.text, 0));
  EXPECT_TRUE(text->bNull());
  EXPECT_TRUE(r->bItemValueDefined(items.i4, 0));
  EXPECT_FALSE(i4->bNull());
  // The memo was NULL in both records: it stays NULL, unmodified.
  CNAColumn* memo = layout.col(items.memo);
  EXPECT_FALSE(memo->bGetMemoModified());
  EXPECT_TRUE(memo->bNull());
  // Restoring a saved value.
  memo->bHAttacheMemo(L"/tmp/none");
  CNAConvertVariant* saved = memo->pclGetVariantClone();
  ASSERT_NE(nullptr, saved);
  saved->AddRef();
  SetAnsi(&v, "kept");
  saved->bSetValue(&v);
  EXPECT_TRUE(memo->bRestaureOriginalValue(saved));
  saved->nRelease();
  EXPECT_FALSE(memo->bGetMemoModified());
  EXPECT_STREQ(L"", memo->pszGetAttachedMemoPath());
  CAny back;
  ASSERT_TRUE(memo->bGetCurrentValue(&back, 0));
  EXPECT_EQ(Bytes({'k', 'e', 'p', 't'}), DataOf(back));
}

}  // namespace
