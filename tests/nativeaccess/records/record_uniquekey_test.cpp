// Whether the columns a condition has fixed so far complete a composite
// unique key that names one row. The server keeps such a key unique only
// among rows with no NULL component: rows (NULL, 'x') may repeat. So the
// key names one row only when every one of its components is kept from
// NULL, by the column itself (NOT NULL on the database) or by the
// condition (its NULL-selection set excludes the column); one component
// kept from NULL is not enough. A key that cannot be NULL as a whole
// needs nothing more.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CColumnNullValueExcluded.h"
#include "CNAColumn.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "support/LayoutFixture.h"

namespace {

using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TenItems;

class recorduniquekey : public ::testing::Test {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

// The key's components in the fixture: text, unicode, binary, decimal.
enum Component { TEXT = 0, UNICODE = 1, BINARY = 2, DECIMAL = 3 };

TEST_F(recorduniquekey, EveryComponentMustExcludeNull) {
  struct Row {
    const char* pszName;
    std::vector<int> excluded;  // components the condition keeps from NULL
    std::vector<int> notNull;   // components NOT NULL on the database
    bool bKeyNotNull;           // the key itself cannot be NULL
    int expected;
  };
  const std::vector<Row> rows = {
      {"nothing excluded", {}, {}, false, 0},
      // One component kept from NULL: (NULL, NULL, 'x', NULL) may repeat.
      {"one component excluded", {BINARY}, {}, false, 0},
      {"the first component excluded", {TEXT}, {}, false, 0},
      {"three of four excluded", {TEXT, UNICODE, BINARY}, {}, false, 0},
      {"the last one left out", {UNICODE, BINARY, DECIMAL}, {}, false, 0},
      {"every component excluded", {TEXT, UNICODE, BINARY, DECIMAL}, {}, false, 1},
      // A NOT NULL column needs no exclusion from the condition.
      {"NOT NULL columns and excluded ones", {BINARY, DECIMAL}, {TEXT, UNICODE}, false, 1},
      {"NOT NULL columns, one nullable not excluded", {BINARY}, {TEXT, UNICODE}, false, 0},
      {"every component NOT NULL", {}, {TEXT, UNICODE, BINARY, DECIMAL}, false, 1},
      {"key not nullable", {}, {}, true, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.pszName);
    TenItems items;
    CNAItemDescription* apComponents[] = {items.text, items.unicode, items.binary, items.decimal};
    for (int c : r.notNull) apComponents[c]->SetNullable(0);
    if (r.bKeyNotNull) items.key->SetNullable(0);
    Held<kxtest::TestConnection> cnx;
    Layout layout(&items.src, cnx.get());
    ASSERT_TRUE(layout.bInitResult);
    CRefArray<CNAColumn> cols(4);
    for (CNAItemDescription* pi : apComponents) cols.Ajoute(layout.col(pi));
    CColumnNullValueExcluded set;
    for (int c : r.excluded) set.bCombineColumnValuesNullSelected(NA_OPERATOR_AND, layout.col(apComponents[c]), 0);
    EXPECT_EQ(r.expected, layout->bComposedKeyUniqueNotNullAdded(&cols, 4, &set));
    // Fewer columns than the key has never complete it, whatever the set.
    EXPECT_EQ(0, layout->bComposedKeyUniqueNotNullAdded(&cols, 3, &set));
  }
}

// Without a set the columns' values decide: no value in any component (the
// layout's start) names no row, unless the columns cannot be NULL.
TEST_F(recorduniquekey, WithoutASetNoValueNamesNoRow) {
  for (bool bNotNull : {false, true}) {
    SCOPED_TRACE(bNotNull ? "components NOT NULL" : "nullable components");
    TenItems items;
    CNAItemDescription* apComponents[] = {items.text, items.unicode, items.binary, items.decimal};
    if (bNotNull)
      for (CNAItemDescription* pi : apComponents) pi->SetNullable(0);
    Held<kxtest::TestConnection> cnx;
    Layout layout(&items.src, cnx.get());
    ASSERT_TRUE(layout.bInitResult);
    CRefArray<CNAColumn> cols(4);
    for (CNAItemDescription* pi : apComponents) cols.Ajoute(layout.col(pi));
    EXPECT_EQ(bNotNull ? 1 : 0, layout->bComposedKeyUniqueNotNullAdded(&cols, 4, nullptr));
  }
}

}  // namespace
