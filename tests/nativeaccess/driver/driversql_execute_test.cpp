// The SQL face's internal execution: a statement with a result set is
// handed back holding one reference; any other ends with the call.
#include <gtest/gtest.h>

#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CXError.h"
#include "support/RecordingStatement.h"
#include "support/TestConnection.h"
#include "support/TestDriver.h"

namespace {

using kxtest::StatementScript;
using kxtest::TestDriverSQL;

TEST(driverSQLExecute, StatementKeptOnlyWithColumns) {
  StatementScript script;
  int nAlive = 0;
  TestDriverSQL* pclFace = new TestDriverSQL(&script, &nAlive);
  pclFace->AddRef();
  kxtest::TestConnection cnx;
  const struct {
    int columns;
    bool fails;
    int result;
    bool kept;
  } rows[] = {
      {0, false, 1, false},  // an update: true, no statement
      {2, false, 1, true},   // a result set: the statement comes back
      {2, true, 0, false},   // the text fails
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.columns * 100 + row.fails * 10);
    script.nColumnCount = row.columns;
    if (row.fails) script.FailNext();
    CNAError error;
    CNAStatementSQL* pclStatement = reinterpret_cast<CNAStatementSQL*>(1);
    EXPECT_EQ(pclFace->bExecute(&error, &pclStatement, &cnx, L"SELECT a FROM t", nullptr,
                                NA_WRITEPARSE_NONE),
              row.result);
    EXPECT_EQ(pclStatement != nullptr, row.kept);
    EXPECT_EQ(script.nAlive, row.kept ? 1 : 0);
    if (pclStatement != nullptr) {
      EXPECT_EQ(pclStatement->nGetInternalCount(), 1u);
      pclStatement->nRelease();
    }
    EXPECT_EQ(script.nAlive, 0);
  }
  // No statement from the face: false, never read as success.
  script.bNoStatement = true;
  CNAError error;
  CNAStatementSQL* pclStatement = nullptr;
  EXPECT_EQ(pclFace->bExecute(&error, &pclStatement, &cnx, L"SELECT 1", nullptr,
                              NA_WRITEPARSE_NONE),
            0);
  EXPECT_EQ(pclStatement, nullptr);
  EXPECT_EQ(error.pclGetXError()->dwGetSystemErrorCode(), 12u);
  pclFace->nRelease();
  EXPECT_EQ(nAlive, 0);
}

}  // namespace
