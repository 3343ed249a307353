// The select list a command takes from a record layout: every column the
// server can give, in the layout's order, through the connection's
// formatting; the composite key never (the client builds it from its
// components), the memo only while the selection mode defines memos; one
// define per selected column.
#include <gtest/gtest.h>

#include "CNACommand.h"
#include "CNAColumn.h"
#include "CNARecord.h"
#include "support/LayoutFixture.h"

namespace {

using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TenItems;

TEST(sqlselect, SelectColumnsOfALayout) {
  DriverScope<PlainDriver> driver;
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  ASSERT_EQ(10, layout->nGetColumnCount());

  CNACommand* command = pclAllocCommand(layout.error(), cnx.get());
  ASSERT_NE(command, nullptr);
  command->AddRef();
  ASSERT_TRUE(command->bComplete(L"SELECT ", -1));
  // A fresh command selects with mode 3: memos are defined.
  ASSERT_TRUE(command->bAddSelectColumns(layout.get(), 0));
  EXPECT_STREQ(L"SELECT `ITEM0`,`ITEM1`,`ITEM2`,`ITEM3`,`ITEM4`,`ITEM5`,`ITEM6`,`ITEM7`,`ITEM8`",
               command->pszGetOriginalSQL());
  ASSERT_EQ(9, command->nGetDefineNbr());
  EXPECT_EQ(layout.col(items.memo), command->pclGetDefineNoRef(7)->pclGetColumn());
  EXPECT_EQ(layout.col(items.idauto), command->pclGetDefineNoRef(8)->pclGetColumn());
  command->nRelease();

  // A record without columns selects nothing and succeeds.
  CNACommand* empty = pclAllocCommand(layout.error(), cnx.get());
  empty->AddRef();
  EXPECT_TRUE(empty->bAddSelectColumns(nullptr, 0));
  EXPECT_EQ(0, empty->nGetDefineNbr());
  empty->nRelease();
}

}  // namespace
