// Writes inside a transaction that meet a refusal: the add that failed (a
// duplicate code) leaves nothing, the add before it is committed with the
// transaction. The rows are read over the test's own session.
#include <gtest/gtest.h>

#include <string>

#include "CNAError.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/WriteLiveTest.h"

namespace {

using kxtest::Narrow;

class accesswritefault_live : public kxtest::WriteLiveTest {
 protected:
  accesswritefault_live() : WriteLiveTest("kxwritefault_") {}
};

TEST_F(accesswritefault_live, FailedAddInATransactionLeavesTheOtherCommitted) {
  Open();
  ASSERT_FALSE(HasFailure());
  ASSERT_TRUE(m_pCnx->bTransactionBegin(m_pError, L"")) << Narrow(m_pError->pszGetError());
  const int r1 = Add(L"r1", 1);
  ASSERT_GT(r1, 0);
  m_pError->Reset();
  NewRecord(L"r1", 2);
  EXPECT_EQ(0, m_access.p->bHAjoute(kxtest::knNoFlags, kxtest::knLock));
  EXPECT_EQ(NA_ERRORTYPE_DUPLICATE, m_pError->eGetErrorType()) << Narrow(m_pError->pszGetError());
  m_pError->Reset();
  ASSERT_TRUE(m_pCnx->bTransactionCommit(m_pError, L"")) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(std::to_string(r1) + ":r1:1", Rows());
}

}  // namespace
