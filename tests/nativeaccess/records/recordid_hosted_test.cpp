// Record identifiers and record values where the runtime's comparison and
// strings are needed: row ids equal by value across integer widths, memo
// sets compared by value, record values compared with their memos, and the
// texts of identifiers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "CNAConvertVariant.h"
#include "CNADriverLock.h"
#include "CNARecordId.h"
#include "CNARecordMemo.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/TestDriver.h"

namespace {

class recordidRuntime : public BoundRuntimeTest {
 protected:
  void SetUp() override {
    BoundRuntimeTest::SetUp();
    CNADriverLock clLock;
    m_pclDriver = new kxtest::TestDriver();
    m_pclDriver->bInitDriver();
    m_pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = m_pclDriver;
  }
  void TearDown() override {
    {
      CNADriverLock clLock;
      delete m_pclDriver;
      CNADriver::s_pclDriver = m_pclPrevious;
    }
    BoundRuntimeTest::TearDown();
  }

  kxtest::TestDriver* m_pclDriver = nullptr;
  CNADriver* m_pclPrevious = nullptr;
};

template <class T>
CNAConvertVariant* NewNumber(T n) {
  auto* p = new CNAConvertVariant();
  p->AddRef();
  p->InitTypeVariantAny(sizeof(T) == 4 ? 8 : 9);
  p->bSetValue(n);
  return p;
}

CNARecordMemo* NewSet(const std::vector<int>& values) {
  auto* m = new CNARecordMemo();
  m->dwAddRef();
  for (std::size_t i = 0; i < values.size(); ++i) {
    CNAConvertVariant* v = NewNumber(values[i] < 0 ? 0 : values[i]);
    if (values[i] < 0) v->SetNull();
    m->bShareMemoValue(static_cast<int>(i), v);
    v->nRelease();
  }
  return m;
}

}  // namespace

// The integer 7 in a 4-byte and an 8-byte holder: the same row by value,
// two different serialised forms, the shorter ordered first.
TEST_F(recordidRuntime, RowIdsEqualByValueAcrossWidths) {
  CNAConvertVariant* a = NewNumber(7);
  CNAConvertVariant* b = NewNumber(7L);
  CNAConvertVariant* c = NewNumber(8L);
  {
    CNARecordId_RowId ia(a), ib(b), ic(c);
    EXPECT_TRUE(ia.bEqualRecordId(&ib));
    EXPECT_TRUE(ib.bEqualRecordId(&ia));
    EXPECT_FALSE(ia.bEqualRecordId(&ic));
    std::vector<unsigned char> fa(ia.nGetSerializedSize()), fb(ib.nGetSerializedSize());
    ASSERT_TRUE(ia.Serialize(fa.data(), fa.size()));
    ASSERT_TRUE(ib.Serialize(fb.data(), fb.size()));
    EXPECT_NE(fa.size(), fb.size());
    EXPECT_EQ(CNARecordId_RowId::g_nCompare_CNARecordId_RowId(fa.data(), fb.data()), -1);

    CXYString<wchar_t> out;
    ia.RecordIdToString(&out, L"", 0);
    EXPECT_EQ(std::wstring(out.pszGet()), L"7");
  }
  for (CNAConvertVariant* v : {a, b, c}) v->nRelease();
}

// Memo sets of counts 2 and 3 with equal first values: equal exactly when
// the third value of the longer one is NULL; record values compared with
// their memos follow.
TEST_F(recordidRuntime, MemoSetsByValue) {
  CNARecordMemo* deux = NewSet({1, 2});
  CNARecordMemo* troisNull = NewSet({1, 2, -1});
  CNARecordMemo* trois = NewSet({1, 2, 3});
  CNARecordMemo* autre = NewSet({1, 5});
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(deux, troisNull));
  EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(troisNull, deux));
  EXPECT_FALSE(CNARecordMemo::g_bEqualsNARecordMemo(deux, trois));
  EXPECT_FALSE(CNARecordMemo::g_bEqualsNARecordMemo(deux, autre));

  const unsigned char buffer[4] = {0x80, 1, 2, 3};
  unsigned char form[16] = {4, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  std::memcpy(form + 12, buffer, 4);
  CNAXQRecord* r = new CNAXQRecord;
  r->AddRef();
  ASSERT_TRUE(r->Deserialize(form, sizeof form));
  CNARecordValue* x = new CNARecordValue();
  CNARecordValue* y = new CNARecordValue();
  x->AddRef();
  y->AddRef();
  x->bCopyNAXQRecord(r);
  y->bCopyNAXQRecord(r);
  x->bShareTabMemoValue(deux);
  y->bShareTabMemoValue(troisNull);
  EXPECT_TRUE(x->bEquals(y, 1));
  y->bShareTabMemoValue(trois);
  EXPECT_FALSE(x->bEquals(y, 1));
  EXPECT_TRUE(x->bEquals(y, 0));
  CNARecordValue* z = y->pclGetClone(NA_COPY_ALL);
  ASSERT_NE(z, nullptr);
  z->AddRef();
  EXPECT_TRUE(z->bEquals(y, 1));
  EXPECT_NE(z->pclGetTabMemo(), y->pclGetTabMemo());
  z->nRelease();
  x->nRelease();
  y->nRelease();
  r->nRelease();
  for (CNARecordMemo* m : {deux, troisNull, trois, autre}) m->dwRelease();
}

// The text of a record-values id: the given text first, then the size.
TEST_F(recordidRuntime, RecordValuesText) {
  const std::vector<unsigned char> cent20(120, 0);
  CNARecordId_RecordValues big(cent20.data(), cent20.size(), nullptr);
  struct Cas {
    const wchar_t* pszText;
    std::wstring sAttendu;
  };
  for (const Cas& c : {Cas{nullptr, L"record values (120 bytes)"}, Cas{L"", L"record values (120 bytes)"},
                       Cas{L"Id: ", L"Id: record values (120 bytes)"}}) {
    CXYString<wchar_t> out;
    out.nAffecte(L"previous");
    big.RecordIdToString(&out, c.pszText, 99);
    EXPECT_EQ(std::wstring(out.pszGet()), c.sAttendu);
  }
}
