// Columns of a record layout without the runtime's conversions: the bytes
// of composite keys, the modified state across a copy to the original
// record, memo attachment, the driver's default column per item type, and
// the result-column record of the MariaDB/MySQL statement.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNASQLColumn.h"
#include "CNAColumnSQL.h"
#include "CNAConvertVariant.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "support/LayoutFixture.h"

namespace {

using Bytes = std::vector<unsigned char>;
using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TenItems;

class nacolumn : public ::testing::Test {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

// Fills element 0 of the item with the bytes base, base + 1, ... over its
// whole element size and marks it defined (no conversion: the bytes as the
// record holds them).
Bytes Fill(CNAXQRecord* r, INAItemDescription* pi, unsigned char base) {
  unsigned char* p = r->pbyGetItemValue(pi, 0);
  Bytes b(pi->nGetItemSize());
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>(base + i);
  std::memcpy(p, b.data(), b.size());
  r->SetItemValueDefined(pi, 1, 0);
  return b;
}

// A composite key is the stored bytes of each component's element 0: a
// text its first S - 1, a UNICODE its first S - 2 (UTF-16 as stored), a
// binary string all S (its length first), a decimal all S (native form);
// a NULL component zeros; a key sized 2 bytes short per binary component
// is cut at its end.
TEST_F(nacolumn, CompositeKeyIsTheComponentsStoredBytes) {
  struct Row {
    bool bRuntimeSized;
    unsigned nNullMask;  // bit i: component i NULL
  };
  const Row rows[] = {{true, 0}, {true, 1}, {true, 2}, {true, 4}, {true, 8}, {true, 15}, {false, 0}, {false, 8}};
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "runtime sized " << row.bRuntimeSized << " null mask " << row.nNullMask);
    TenItems items(row.bRuntimeSized);
    kxtest::Held<kxtest::TestConnection> cnx;
    Layout layout(&items.src, cnx.get());
    ASSERT_TRUE(layout.bInitResult);
    CNAXQRecord* r = layout->pclGetNAXQRecord();
    INAItemDescription* comps[] = {items.text, items.unicode, items.binary, items.decimal};
    const std::uint32_t widths[] = {10, 10, 10, CNAItemDescription::s_nGetDecimalSize(12)};
    Bytes expected;
    for (int i = 0; i < 4; ++i) {
      const Bytes b = Fill(r, comps[i], static_cast<unsigned char>(0x10 * (i + 1)));
      if ((row.nNullMask >> i) & 1u) {
        r->SetItemValueDefined(comps[i], 0, 0);
        expected.insert(expected.end(), widths[i], 0);
      } else {
        expected.insert(expected.end(), b.begin(), b.begin() + widths[i]);
      }
    }
    const std::uint32_t nKeySize = items.key->nGetItemSize();
    EXPECT_EQ(row.bRuntimeSized ? items.nRuntimeKeySize() : items.nRuntimeKeySize() - 2, nKeySize);
    expected.resize(nKeySize);

    CNAColumn* key = layout.col(items.key);
    ASSERT_NE(nullptr, key);
    ASSERT_NE(nullptr, key->pclGetTabComponent());
    EXPECT_EQ(4, key->pclGetTabComponent()->nGetNbElements());
    // Built into a buffer of exactly the key's size: nothing past it.
    std::vector<unsigned char> exact(nKeySize);
    ASSERT_TRUE(key->bBuildCompositeKey(exact.data(), nKeySize));
    EXPECT_EQ(expected, exact);
    // The key is defined while any component is.
    EXPECT_EQ(row.nNullMask != 15, key->bValueDefined() != 0);
  }
}



// A bound holder is the record's bytes: writing through the column writes
// the record, and a record copied in refreshes the holder's NULL flag.
TEST_F(nacolumn, HolderIsBoundToTheCurrentRecord) {
  TenItems items;
  kxtest::Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* i4 = layout.col(items.i4);
  CNAConvertVariant* h = i4->pclGetNAValue();
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(NAVT_BOUND, h->eGetVarType());
  EXPECT_EQ(layout->pclGetNAXQRecord()->pbyGetItemValue(items.i4, 0), h->pbyGetBuffer());
  EXPECT_EQ(i4->pGetValuePtr(static_cast<CNARecord*>(nullptr)), h->pbyGetBuffer());
  CAny v;
  v.SetI4(77);
  ASSERT_TRUE(i4->bSetValue(&v, 0));
  EXPECT_FALSE(h->bIsNull());
  std::int32_t n = 0;
  std::memcpy(&n, h->pbyGetBuffer(), 4);
  EXPECT_EQ(77, n);
  // A record with the item NULL copied in: the holder follows.
  CNAXQRecord* other = layout->pclGetNAXQRecord()->pclGetClone();
  other->AddRef();
  other->SetItemValueDefined(items.i4, 0, 0);
  ASSERT_TRUE(layout->bSetNAXQRecord(other));
  other->nRelease();
  EXPECT_TRUE(h->bIsNull());
  EXPECT_EQ(layout->pclGetNAXQRecord()->pbyGetItemValue(items.i4, 0), h->pbyGetBuffer());
  // An index past the item's dimension is refused.
  EXPECT_FALSE(i4->bSetValue(&v, 1));
  EXPECT_FALSE(i4->bGetCurrentValue(&v, 1));
}


// The driver's default column: a plain column for every item type that
// holds values, none for type 0, 8 and above 31.
TEST_F(nacolumn, DriverGivesPlainColumnsByItemType) {
  for (std::uint32_t t = 0; t <= 33; ++t) {
    SCOPED_TRACE(t);
    auto* pi = new CNAItemDescription;
    pi->AddRef();
    pi->bInit(L"X", L"", L"X", 1, 4, static_cast<eNA_ITEMTYPE>(t), 0, -1, 0, 0, 0);
    // bInit turns type 0 into a text: ask with the type as given.
    CNASQLColumn* p = m_clDriver->pclAllocColumn(nullptr, pi);
    const bool bNone = pi->eNAGetItemType() == NA_IT_EMPTY || pi->eNAGetItemType() == NA_IT_UNKNOWN_8 ||
                       pi->eNAGetItemType() > NA_IT_DECIMAL;
    EXPECT_EQ(bNone, p == nullptr);
    if (p != nullptr) {
      CNAColumn* c = p;
      c->AddRef();
      EXPECT_STREQ(L"X", c->pszGetName());
      EXPECT_EQ(pi, c->piGetItemDescription());
      EXPECT_LT(0u, pi->nGetExternalCount());  // the column's and its holder's
      c->nRelease();
    }
    EXPECT_EQ(0u, pi->nGetExternalCount());
    pi->nRelease();
  }
  EXPECT_EQ(nullptr, m_clDriver->pclAllocColumn(nullptr, nullptr));
  // An item of type 0 (a description never initialised).
  auto* pe = new CNAItemDescription;
  pe->AddRef();
  EXPECT_EQ(nullptr, m_clDriver->pclAllocColumn(nullptr, pe));
  pe->nRelease();
}

TEST_F(nacolumn, ColumnSQLStartsEmpty) {
  CNAColumnSQL c;
  EXPECT_STREQ(L"", c.m_csName.pszGet());
  EXPECT_EQ(0, c.m_nLength);
  EXPECT_EQ(0u, c.m_nItemSize + c.m_nMySQLType + c.m_nFlags + c.m_nCharsetNumber);
  EXPECT_EQ(0, c.m_nIntegerPart + c.m_nDecimalPart);
  EXPECT_EQ(NA_IT_EMPTY, c.m_eItemType);
  c.m_csName = L"price";
  EXPECT_STREQ(L"price", c.m_csName.pszGet());
}

// The names SQL generation reads: formatted by the connection, qualified
// by the table alias or the source for a query, plain on request.
TEST_F(nacolumn, SelectNames) {
  TenItems items;
  items.text->bSetName(L"Price");
  Held<kxtest::TestConnection> cnx;
  {
    Layout table(&items.src, cnx.get());
    ASSERT_TRUE(table.bInitResult);
    CNAColumn* c = table.col(items.text);
    EXPECT_STREQ(L"`Price`", c->pszGetFormatedName());
    EXPECT_STREQ(L"`ITEM0`", c->pszGetFormatedOriginalName());  // the name in source
    EXPECT_STREQ(L"`ITEM0`", c->pszGetFormatedSelectName(0));
    EXPECT_STREQ(L"`Price`", c->pszGetFormatedSelectName(1));
  }
  Layout query(&items.src, cnx.get(), nullptr, false);
  query.access().SetQuery(1);
  ASSERT_TRUE(query->bInitRecord(&items.src, nullptr, cnx.get()));
  CNAColumn* c = query.col(items.text);
  EXPECT_STREQ(L"`SRC`.`ITEM0`", c->pszGetFormatedSelectName(0));
  CNAColumn* d = query.col(items.i4);
  d->SetFormatedAliasNomTable(L"`t`");
  EXPECT_STREQ(L"`t`.`ITEM3`", d->pszGetFormatedSelectName(0));
  EXPECT_STREQ(L"`ITEM3`", d->pszGetFormatedSelectName(1));
}

// What a column answers from its analysis item and, when there is one, the
// server's item of the same name.
TEST_F(nacolumn, PropertiesFromTheImportedItem) {
  TenItems items;
  items.i4->SetNullable(0);
  Held<kxtest::TestImportedSource> server;
  CNAItemDescription* pi = server->pclAdd(L"item3", NA_IT_IDAUTO4, 4);  // found ignoring case
  pi->SetDBType(L"INT", 3);
  pi->SetNotUpdatable();
  CNAItemDescription* pt = server->pclAdd(L"ITEM0", NA_IT_TEXTE, 21);
  pt->SetNullable(0);
  pt->bSetKey(0, CNAItemDescription::KEY_UNIQUE);
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get(), server.get());
  ASSERT_TRUE(layout.bInitResult);
  EXPECT_EQ(9, server->nLookups);  // every item but the composite key
  CNAColumn* i4 = layout.col(items.i4);
  EXPECT_EQ(pi, i4->piGetImportedItemDescNoRef());
  EXPECT_TRUE(i4->bIsAutoIncrementOnDataBase());
  EXPECT_FALSE(i4->bIsIdAuto());
  EXPECT_EQ(3u, i4->nGetDBType());
  EXPECT_EQ(NA_IT_IDAUTO4, i4->eNAGetItemTypeOnDatabase());
  EXPECT_EQ(NA_IT_IDAUTO4, i4->eNAGetItemTypeOnDatabaseEx());
  EXPECT_FALSE(i4->bUpdatable());
  EXPECT_FALSE(i4->bIsNullable());
  EXPECT_FALSE(i4->bIsNullableOnDataBase());  // identifiers are NOT NULL
  CNAColumn* text = layout.col(items.text);
  EXPECT_EQ(20, text->nGetLogicalSizeOnDatabase());
  EXPECT_TRUE(text->bIsUnique());
  EXPECT_TRUE(text->bUniqueNotNull());
  EXPECT_TRUE(text->bIsNullable());
  EXPECT_FALSE(text->bIsNullableOnDataBase());
  CNAColumn* date = layout.col(items.date8);
  EXPECT_EQ(nullptr, date->piGetImportedItemDescNoRef());
  EXPECT_EQ(-1, date->nGetLogicalSizeOnDatabase());
  EXPECT_EQ(NA_IT_EMPTY, date->eNAGetItemTypeOnDatabase());
  EXPECT_EQ(NA_IT_DATE8, date->eNAGetItemTypeOnDatabaseEx());
  EXPECT_TRUE(date->bUpdatable());
  CNAColumn* id = layout.col(items.idauto);
  EXPECT_TRUE(id->bIsIdAuto());
  EXPECT_TRUE(id->bPrimary());
  EXPECT_FALSE(id->bIsNullable());
  // The references taken on the server's items are given back with the
  // layout.
  EXPECT_LT(0u, pi->nGetExternalCount());  // the column's and its holder's
  layout.Release();
  EXPECT_EQ(0u, pi->nGetExternalCount());
  EXPECT_EQ(0, items.src.nHandedOut());
}

}  // namespace
