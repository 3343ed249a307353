// The record layout without the runtime's conversions: the choice of the
// order-by columns under a connection's ORDER BY limit, finding the column
// of an item whatever its physical index says, re-allocating the records
// (also when that fails), giving the connection back, the column lists and
// the NULL-exclusion sets of the SQL builders, composite keys completed by
// a condition, the duplicate rank.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "CAny.h"
#include "CColumnList.h"
#include "CColumnNullValueExcluded.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNARecord.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "CNAXQRecord.h"
#include "CSQLParserInfo.h"
#include "support/LayoutFixture.h"

namespace {

using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TenItems;
using kxtest::TestOrderConnection;
using kxtest::TestRecordSource;

class recordlayout : public ::testing::Test {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

std::vector<std::wstring> OrderNames(const CNARecord* r) {
  std::vector<std::wstring> v;
  for (int i = 0; i < r->nGetColumnOrderCount(); ++i) v.push_back(r->pclGetColumnOrderNoRef(i)->pszGetName());
  return v;
}

// The order-by columns: the identifier alone; else the first unique key
// that cannot be NULL alone; else the unique keys, the keys with
// duplicates, the other non-memo columns; a composite key as its
// components; a query's own ORDER BY first; never more than the
// connection allows.
TEST_F(recordlayout, OrderByChoices) {
  constexpr std::uint16_t U = CNAItemDescription::KEY_UNIQUE;
  constexpr std::uint16_t D = CNAItemDescription::KEY_DUPLICATES;
  struct Item {
    eNA_ITEMTYPE type;
    std::uint16_t keys;
    int nullable;
    std::vector<int> components;  // a composite key over these items
  };
  struct Row {
    const char* pszName;
    std::vector<Item> items;
    int limit;
    std::vector<std::wstring> queryOrder;  // not empty: a query with that ORDER BY
    std::vector<std::wstring> expected;
  };
  const Row rows[] = {
      {"identifier alone", {{NA_IT_I4, U, 1, {}}, {NA_IT_IDAUTO, 0, 0, {}}, {NA_IT_TEXTE, D, 1, {}}}, INT_MAX, {},
       {L"ITEM1"}},
      {"unique not null alone",
       {{NA_IT_TEXTE, U, 1, {}}, {NA_IT_I4, U, 0, {}}, {NA_IT_DATE8, D, 1, {}}, {NA_IT_I2, 0, 1, {}}},
       INT_MAX,
       {},
       {L"ITEM1"}},
      {"nullable keys then others",
       {{NA_IT_TEXTE, U, 1, {}},
        {NA_IT_I4, U, 1, {}},
        {NA_IT_DATE8, D, 1, {}},
        {NA_IT_I2, 0, 1, {}},
        {NA_IT_MEMOTEXTE, 0, 1, {}}},
       INT_MAX,
       {},
       {L"ITEM0", L"ITEM1", L"ITEM2", L"ITEM3"}},
      {"capped at two",
       {{NA_IT_TEXTE, U, 1, {}},
        {NA_IT_I4, U, 1, {}},
        {NA_IT_DATE8, D, 1, {}},
        {NA_IT_I2, 0, 1, {}},
        {NA_IT_MEMOTEXTE, 0, 1, {}}},
       2,
       {},
       {L"ITEM0", L"ITEM1"}},
      {"nullable composite as components",
       {{NA_IT_TEXTE, 0, 1, {}}, {NA_IT_I4, 0, 1, {}}, {NA_IT_I2, 0, 1, {}}, {NA_IT_BINAIRE, U, 1, {0, 1}}},
       INT_MAX,
       {},
       {L"ITEM0", L"ITEM1", L"ITEM2"}},
      {"composite not null alone",
       {{NA_IT_TEXTE, U, 1, {}}, {NA_IT_I4, 0, 1, {}}, {NA_IT_I2, 0, 1, {}}, {NA_IT_BINAIRE, U, 0, {1, 2}}},
       INT_MAX,
       {},
       {L"ITEM1", L"ITEM2"}},
      {"composite capped",
       {{NA_IT_TEXTE, 0, 1, {}}, {NA_IT_I4, 0, 1, {}}, {NA_IT_I2, 0, 1, {}}, {NA_IT_BINAIRE, U, 0, {0, 1, 2}}},
       2,
       {},
       {L"ITEM0", L"ITEM1"}},
      {"query order first",
       {{NA_IT_TEXTE, 0, 1, {}}, {NA_IT_I4, 0, 1, {}}, {NA_IT_I2, 0, 1, {}}},
       INT_MAX,
       {L"ITEM2", L"ITEM0"},
       {L"ITEM2", L"ITEM0", L"ITEM1"}},
      {"query order capped",
       {{NA_IT_TEXTE, 0, 1, {}}, {NA_IT_I4, 0, 1, {}}, {NA_IT_I2, 0, 1, {}}},
       2,
       {L"ITEM2", L"ITEM0"},
       {L"ITEM2", L"ITEM0"}},
      {"query with identifier",
       {{NA_IT_TEXTE, 0, 1, {}}, {NA_IT_I4, 0, 1, {}}, {NA_IT_IDAUTO, 0, 0, {}}},
       INT_MAX,
       {L"ITEM1", L"ITEM2", L"ITEM0"},
       {L"ITEM2"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszName);
    TestRecordSource src;
    std::vector<CNAItemDescription*> items;
    for (const Item& it : row.items) {
      const bool bComposite = !it.components.empty();
      const std::uint16_t keys = static_cast<std::uint16_t>(it.keys | (bComposite ? CNAItemDescription::KEY_COMPOSED : 0));
      CNAItemDescription* pi = src.pclAdd(it.type, bComposite ? 0 : 8, 1, keys);
      pi->SetNullable(it.nullable);
      if (bComposite) {
        src.nItemsInRecord -= 1;
        pi->SetPhysicalIndice(0xFFFFFFFFu);
        for (int c : it.components) pi->bAddComponent(items[static_cast<std::size_t>(c)]);
      }
      items.push_back(pi);
    }
    Held<TestOrderConnection> cnx(row.limit);
    Layout layout(&src, cnx.get(), nullptr, false);
    Held<CSQLParserInfo> parser;
    std::vector<std::unique_ptr<kxtest::TestInfoRubrique>> entries;
    if (!row.queryOrder.empty()) {
      for (const std::wstring& s : row.queryOrder) {
        entries.push_back(std::make_unique<kxtest::TestInfoRubrique>(s.c_str()));
        parser->AddRubriqueClauseOrder(entries.back().get());
      }
      layout.access().SetQuery(1);
      layout.access().SetSourceQuery(parser.get());
    }
    ASSERT_TRUE(layout->bInitRecord(&src, nullptr, cnx.get()));
    EXPECT_EQ(row.expected, OrderNames(layout.get()));
    EXPECT_EQ(nullptr, layout->pclGetColumnOrderNoRef(-1));
    EXPECT_EQ(nullptr, layout->pclGetColumnOrderNoRef(layout->nGetColumnOrderCount()));
    layout.access().SetSourceQuery(nullptr);
  }
}

// The column of an item is found whatever its physical index says: all
// ones (no place in the record) or the index of another item's column.
TEST_F(recordlayout, ColumnOfAnItemWhateverItsPhysicalIndex) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  ASSERT_EQ(10, layout->nGetColumnCount());
  EXPECT_EQ(0xFFFFFFFFu, items.key->nGetPhysicalIndice());
  CNAColumn* key = layout->pclGetColumnNoRef(9);
  ASSERT_NE(nullptr, key);
  EXPECT_EQ(key, layout->pclGetColumnNoRef(static_cast<INAItemDescription*>(items.key)));
  // Its components are the layout's columns of its component items.
  ASSERT_NE(nullptr, key->pclGetTabComponent());
  ASSERT_EQ(4, key->pclGetTabComponent()->nGetNbElements());
  EXPECT_EQ(layout->pclGetColumnNoRef(0), (*key->pclGetTabComponent())[0]);
  EXPECT_EQ(layout->pclGetColumnNoRef(4), (*key->pclGetTabComponent())[3]);
  EXPECT_TRUE(key->bIsComposedKeyComponent(layout->pclGetColumnNoRef(2)));
  EXPECT_FALSE(key->bIsComposedKeyComponent(layout->pclGetColumnNoRef(3)));
  // An index that leads to another item's column.
  items.text->SetPhysicalIndice(3);
  EXPECT_EQ(layout->pclGetColumnNoRef(0), layout->pclGetColumnNoRef(static_cast<INAItemDescription*>(items.text)));
  items.text->SetPhysicalIndice(0);
  // Another description of the same name, without a place.
  auto* other = new CNAItemDescription;
  other->AddRef();
  other->bInit(L"item4", L"", L"", 1, 8, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);
  EXPECT_EQ(layout->pclGetColumnNoRef(4), layout->pclGetColumnNoRef(static_cast<INAItemDescription*>(other)));
  other->bSetName(L"NOSUCH");
  EXPECT_EQ(nullptr, layout->pclGetColumnNoRef(static_cast<INAItemDescription*>(other)));
  other->nRelease();
  // By index: nothing outside 0 .. count - 1.
  EXPECT_EQ(nullptr, layout->pclGetColumnNoRef(-1));
  EXPECT_EQ(nullptr, layout->pclGetColumnNoRef(10));
  EXPECT_EQ(nullptr, layout->pclGetColumnNoRef(INT_MAX));
  // By name, ignoring case.
  EXPECT_EQ(layout->pclGetColumnNoRef(2), layout->pclGetColumnNoRef(L"item2"));
  EXPECT_EQ(nullptr, layout->pclGetColumnNoRef(L"ITEM10"));
  // Identifier, unique key, memo list.
  EXPECT_EQ(layout->pclGetColumnNoRef(8), layout->pclGetColumnIDAutoNoRef());
  EXPECT_EQ(layout->pclGetColumnNoRef(8), layout->pclGetNAColumnIdentityNoRef());
  EXPECT_EQ(key, layout->pclGetUniqueKeyNoRef());
  ASSERT_EQ(1, layout->pclGetTabColumnMemo()->nGetNbElements());
  EXPECT_EQ(layout->pclGetColumnNoRef(7), (*layout->pclGetTabColumnMemo())[0]);
  ASSERT_EQ(1, layout->pclGetTabComposedKeyUnique()->nGetNbElements());
  // The identifier orders alone.
  EXPECT_EQ(std::vector<std::wstring>{L"ITEM8"}, OrderNames(layout.get()));
}

// Records re-made for a changed description: when the new records cannot
// be made, no holder keeps a pointer into the freed ones and every column
// answers false; a later successful change binds them again.
TEST_F(recordlayout, FailedReallocationLeavesNoBinding) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* i4 = layout.col(items.i4);
  CNAConvertVariant* h = i4->pclGetNAValue();
  ASSERT_EQ(NAVT_BOUND, h->eGetVarType());

  EXPECT_FALSE(layout->bUpdateChangedTypeInCurrentRecord(nullptr));
  EXPECT_EQ(nullptr, layout->pclGetNAXQRecord());
  for (int i = 0; i < layout->nGetColumnCount(); ++i) {
    SCOPED_TRACE(i);
    CNAColumn* c = layout->pclGetColumnNoRef(i);
    CNAConvertVariant* v = c->pclGetNAValue();
    if (v != nullptr) {
      EXPECT_EQ(NAVT_NONE, v->eGetVarType());
      EXPECT_EQ(nullptr, v->pbyGetBuffer());
    }
    CAny a;
    if (!c->bIsMemo()) {
      EXPECT_FALSE(c->bGetCurrentValue(&a, 0));
    }
    EXPECT_FALSE(c->bValueModified());
    EXPECT_FALSE(c->bOriginalValueDefined());
    EXPECT_EQ(nullptr, c->pGetValuePtr(static_cast<CNARecord*>(nullptr)));
  }
  CAny v;
  v.SetI4(9);
  EXPECT_FALSE(i4->bSetValue(&v, 0));
  // A write through the holder reaches no record.
  h->bSetValue(&v);
  EXPECT_EQ(nullptr, h->pbyGetBuffer());

  ASSERT_TRUE(layout->bUpdateChangedTypeInCurrentRecord(&items.src));
  ASSERT_NE(nullptr, layout->pclGetNAXQRecord());
  EXPECT_EQ(NAVT_BOUND, h->eGetVarType());
  EXPECT_EQ(layout->pclGetNAXQRecord()->pbyGetItemValue(items.i4, 0), h->pbyGetBuffer());
  ASSERT_TRUE(i4->bSetValue(&v, 0));
  std::int32_t n = 0;
  std::memcpy(&n, h->pbyGetBuffer(), 4);
  EXPECT_EQ(9, n);
  EXPECT_EQ(layout->pclGetColumnNoRef(7)->pclGetNAValue(),
            layout->pclGetCurrentRecordValue()->pclGetMemoValueNoRef(0));
}

// The layout gives its connection back through the driver: a registered
// connection nobody else holds leaves the registry.
TEST_F(recordlayout, ConnectionGivenBackThroughTheDriver) {
  kxtest::TestHostDescription host;
  host.pszDataSource = L"server";
  CNAConnectionDescription* pclCnx = m_clDriver->_pclGetConnection(&host);
  ASSERT_NE(nullptr, pclCnx);
  EXPECT_EQ(1u, m_clDriver->nGetConnectionCount());
  TenItems items;
  {
    Layout layout(&items.src, pclCnx);
    ASSERT_TRUE(layout.bInitResult);
    EXPECT_EQ(pclCnx, layout->pclGetConnectionNoRef());
    m_clDriver->nReleaseConnection(pclCnx);  // the test's reference
    EXPECT_EQ(1u, m_clDriver->nGetConnectionCount());
    // The layout's references go with it: the registry's and the
    // fixture's data access's are left.
    layout.Release();
    EXPECT_EQ(2u, pclCnx->nGetInternalCount());
  }
  EXPECT_EQ(0u, m_clDriver->nGetConnectionCount());
}

// Without a driver the connection gets a plain release.
TEST_F(recordlayout, ConnectionReleasedPlainlyWithoutDriver) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  {
    Layout layout(&items.src, cnx.get());
    ASSERT_TRUE(layout.bInitResult);
    // The test's, the layout's and one per value holder.
    EXPECT_LT(2u, cnx->nGetInternalCount());
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = nullptr;
    layout.Release();
    CNADriver::s_pclDriver = pclDriver;
  }
  EXPECT_EQ(1u, cnx->nGetInternalCount());
}

TEST_F(recordlayout, DescriptionWithoutItemsIsRefused) {
  TestRecordSource src;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&src, cnx.get());
  EXPECT_FALSE(layout.bInitResult);
  EXPECT_EQ(1u, layout.error()->nGetUserErrorCode());
  EXPECT_EQ(0, layout->nGetColumnCount());
  EXPECT_EQ(nullptr, layout->pclGetNAXQRecord());
}

TEST_F(recordlayout, ColumnListJoinsNames) {
  CColumnList list;
  list.AddColumn(L"A");
  list.AddColumn(L"B");
  list.AddColumn(L"C");
  EXPECT_STREQ(L"A,B,C", list.pszGet());
  EXPECT_EQ(3, list.nGetCount());
  list.AddColumn(nullptr);
  EXPECT_STREQ(L"A,B,C,", list.pszGet());
  EXPECT_EQ(4, list.nGetCount());
  list.Empty();
  EXPECT_STREQ(L"", list.pszGet());
  EXPECT_EQ(0, list.nGetCount());

  // From a statement's layout: every column that must be defined, the
  // identifier only when asked, memos only under bit 1.
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAStatement statement(layout.get());
  list.BuildColumnList(&statement, 1);
  // The connection's formatting (its kind quotes every name).
  EXPECT_STREQ(L"`ITEM0`,`ITEM1`,`ITEM2`,`ITEM3`,`ITEM4`,`ITEM5`,`ITEM6`,`ITEM7`,`ITEM8`", list.pszGet());
  list.Empty();
  statement.SetBindDefineFlag(1);
  list.BuildColumnList(&statement, 0);
  EXPECT_STREQ(L"`ITEM0`,`ITEM1`,`ITEM2`,`ITEM3`,`ITEM4`,`ITEM5`,`ITEM6`", list.pszGet());
  EXPECT_EQ(7, list.nGetCount());
}

TEST_F(recordlayout, NullExclusionCombines) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNAColumn* a = layout.col(items.text);
  CNAColumn* b = layout.col(items.i4);
  CColumnNullValueExcluded set;
  EXPECT_TRUE(set.bColumnValuesNullSelected(a));
  // OR with an absent column changes nothing; AND excluding NULL adds it.
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_OR, a, 0);
  EXPECT_EQ(0, set.nGetCount());
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, a, 0);
  EXPECT_FALSE(set.bColumnValuesNullSelected(a));
  EXPECT_FALSE(set.bColumnValuesNullSelected(L"item0"));
  EXPECT_TRUE(set.bColumnValuesNullSelected(b));
  // OR with NULL selected puts the flag back.
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_OR, a, 1);
  EXPECT_TRUE(set.bColumnValuesNullSelected(a));
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, a, 0);
  EXPECT_FALSE(set.bColumnValuesNullSelected(a));

  CColumnNullValueExcluded other;
  other.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, b, 0);
  CColumnNullValueExcluded copy;
  copy.bCopyColumnValuesNullSelected(&other, 1);
  EXPECT_TRUE(copy.bColumnValuesNullSelected(b));
  EXPECT_EQ(1, copy.nGetCount());
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_OR, &other);  // b absent here: OR adds nothing
  EXPECT_TRUE(set.bColumnValuesNullSelected(b));
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, &other);
  EXPECT_FALSE(set.bColumnValuesNullSelected(b));
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, nullptr);
  EXPECT_EQ(2, set.nGetCount());
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_OR, nullptr);
  EXPECT_EQ(0, set.nGetCount());
  set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, a, 0);
  set.Reset();
  EXPECT_TRUE(set.bColumnValuesNullSelected(a));
}

// A condition's columns complete a unique composite key that excludes
// NULL: all its components given, the last one among them, and the key
// not nullable or every component excluding NULL.
TEST_F(recordlayout, ComposedKeyCompletedByACondition) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CRefArray<CNAColumn> cols(4);
  for (CNAItemDescription* pi : {items.text, items.unicode, items.binary, items.decimal}) cols.Ajoute(layout.col(pi));
  CColumnNullValueExcluded set;
  EXPECT_FALSE(layout->bComposedKeyUniqueNotNullAdded(&cols, 4, &set));  // every component may be NULL
  for (CNAItemDescription* pi : {items.text, items.unicode, items.binary, items.decimal})
    set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, layout.col(pi), 0);
  EXPECT_TRUE(layout->bComposedKeyUniqueNotNullAdded(&cols, 4, &set));
  EXPECT_FALSE(layout->bComposedKeyUniqueNotNullAdded(&cols, 3, &set));  // a component missing
  EXPECT_FALSE(layout->bComposedKeyUniqueNotNullAdded(&cols, 1, &set));
  // A count beyond the array reads no further than the array.
  EXPECT_TRUE(layout->bComposedKeyUniqueNotNullAdded(&cols, 100, &set));
  cols.Ajoute(layout.col(items.i4));  // the last one is no component
  EXPECT_FALSE(layout->bComposedKeyUniqueNotNullAdded(&cols, 5, &set));
  // A key that cannot be NULL needs no excluding component.
  items.key->SetNullable(0);
  CColumnNullValueExcluded none;
  EXPECT_TRUE(layout->bComposedKeyUniqueNotNullAdded(&cols, 4, &none));
}

TEST_F(recordlayout, DuplicateRankAndDeletedState) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  EXPECT_EQ(0, layout->nGetDuplicateRank());
  layout->SetDuplicateRank(-3);
  EXPECT_EQ(-3, layout->nGetDuplicateRank());
  layout->SetDuplicateRank(INT32_MAX);
  EXPECT_EQ(INT32_MAX, layout->nGetDuplicateRank());
  EXPECT_EQ(NA_RECORDSTATE_READ, layout->pclGetCurrentRecordValue()->eGetRecordState());
  layout->SetDeleted();
  EXPECT_EQ(NA_RECORDSTATE_DELETED, layout->pclGetCurrentRecordValue()->eGetRecordState());
  // The current and original values own distinct buffers and identifiers
  // over their own bytes.
  EXPECT_NE(layout->pclGetNAXQRecord(), layout->pclGetOriginalNAXQRecord());
  ASSERT_NE(nullptr, layout->pclGetCurrentRecordValue()->pclGetRecordId());
  EXPECT_NE(layout->pclGetCurrentRecordValue()->pclGetRecordId(),
            layout->pclGetOriginalRecordValue()->pclGetRecordId());
}

// A data access on a server without row identifiers identifies records by
// their values; another kind makes a row-identifier one when the driver
// gives a holder for it (the generic driver gives none).
class RowIdAccess : public CNADataAccess {
 public:
  using CNADataAccess::CNADataAccess;
  eNA_RECORDIDTYPE eEvaluateRecordIdType() override { return eKind; }
  eNA_RECORDIDTYPE eKind = NA_RECORDID_ROWID;
};

TEST_F(recordlayout, DataAccessMakesRecordIdentifiers) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  EXPECT_EQ(NA_RECORDID_RECORDVALUES, layout.access().eEvaluateRecordIdType());
  CNARecordId* id = layout->pclGetCurrentRecordValue()->pclGetRecordId();
  ASSERT_NE(nullptr, id);
  ASSERT_EQ(NA_RECORDID_RECORDVALUES, id->eGetRecordIdType());
  EXPECT_EQ(layout->pclGetNAXQRecord()->pbyGetNullValuesFlags(),
            static_cast<CNARecordId_RecordValues*>(id)->pbyGetBuffer());
  EXPECT_STREQ(L"", layout.access().pszGetLogicalName());
  EXPECT_STREQ(L"", layout->pszGetTableName());
  RowIdAccess rowid(&items.src, cnx.get(), nullptr);
  EXPECT_EQ(nullptr, rowid.pclAllocRecordID(layout->pclGetCurrentRecordValue()));
  rowid.eKind = NA_RECORDID_NONE;
  EXPECT_EQ(nullptr, rowid.pclAllocRecordID(layout->pclGetCurrentRecordValue()));
}

}  // namespace
