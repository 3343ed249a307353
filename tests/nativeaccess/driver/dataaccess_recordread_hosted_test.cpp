// The generic data access marking its current record as read: the record
// as read becomes the original one (what a browse resumes from and a write
// addresses), its modified state cleared; without a record layout there is
// nothing to mark.
#include <gtest/gtest.h>

#include <cstring>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/LayoutFixture.h"

namespace {

using kxtest::DriverScope;
using kxtest::Held;
using kxtest::Layout;
using kxtest::PlainDriver;
using kxtest::TenItems;

class dataaccess_hosted : public BoundRuntimeTest {
 protected:
  DriverScope<PlainDriver> m_clDriver;
};

TEST_F(dataaccess_hosted, RecordReadBecomesTheOriginalRecord) {
  TenItems items;
  Held<kxtest::TestConnection> cnx;
  Layout layout(&items.src, cnx.get());
  ASSERT_TRUE(layout.bInitResult);
  CNADataAccess& access = layout.access();
  access.SetCurrentRecord(layout.get());

  CAny v;
  v.__SetType(ANY_DSTRA, 0);
  v.SetValue("AB", std::strlen("AB"));
  CNAColumn* text = layout.col(items.text);
  ASSERT_TRUE(text->bSetValue(&v, 0));
  layout->pclGetCurrentRecordValue()->SetRecordState(NA_RECORDSTATE_DELETED);
  ASSERT_FALSE(layout->bOriginalRecordSet());

  ASSERT_TRUE(access.bSetCurrentRecordRead(0));
  EXPECT_TRUE(layout->bOriginalRecordSet());
  EXPECT_EQ(NA_RECORDSTATE_READ, layout->pclGetCurrentRecordValue()->eGetRecordState());
  EXPECT_FALSE(text->bValueModified());
  EXPECT_TRUE(layout->bEquals(layout->pclGetOriginalRecordValue(), 1));

  // Another value after the mark is a change against the record as read.
  v.SetValue("AC", std::strlen("AC"));
  ASSERT_TRUE(text->bSetValue(&v, 0));
  EXPECT_TRUE(text->bValueModified());
  access.SetCurrentRecord(nullptr);
}

TEST_F(dataaccess_hosted, RecordReadWithoutLayoutMarksNothing) {
  Held<kxtest::TestConnection> cnx;
  Held<CNADataAccess> access(nullptr, cnx.get(), nullptr);
  EXPECT_TRUE(access->bSetCurrentRecordRead(0));
}

// Without a description or an executed statement there is no result to
// describe: the access says so rather than hand back an empty description
// as the result's (a result with both is described from its columns, see
// the description's tests).
TEST_F(dataaccess_hosted, DescribingAResultIsNotAvailable) {
  Held<kxtest::TestConnection> cnx;
  Held<CNAError> error;
  Held<CNADataAccess> access(nullptr, cnx.get(), error.get());
  EXPECT_FALSE(access->bInitDataSourceFromResult(nullptr, nullptr));
  EXPECT_EQ(NA_ERRORTYPE_UNAVAILABLE, error->eGetErrorType());
  EXPECT_EQ(38u, error->dwGetErrorId());
}

}  // namespace
