// The MariaDB/MySQL connection's services that need no client library: the
// client-call guard, the error types of server numbers, and the SQL run
// through the driver's SQL face (lock of a table, result ignored).
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "CMySQLConnection.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CXError.h"
#include "nativeaccess/support/RecordingStatement.h"
#include "nativeaccess/support/TestDriver.h"

namespace {

using kxtest::RecordingStatementScope;
using kxtest::StatementScript;
using kxtest::TestHostDescription;

std::int32_t NativeCode(CXError* pclErr) {
  void* pValue = nullptr;
  if (!pclErr->bGetInfo(EIT_NATIVECODE, &pValue)) return -1;
  std::int32_t n = 0;
  std::memcpy(&n, &pValue, sizeof(n));
  return n;
}

std::wstring Text(CNAError& error) { return error.pszGetError(); }

// A thrown text names the function (37); anything else is a client failure
// (23 "MariaDB"), which reaches the driver's error object when the caller
// gave none.
TEST(mysqlGuard, ThrownTextGives37OtherExceptionsGive23) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestHostDescription host;
  CMySQLConnection cnx(L"id", &host);

  CNAError error;
  EXPECT_FALSE(cnx._bGuard(&error, 9, [] { throw CTString(L"mysql_frobnicate"); }));
  EXPECT_EQ(error.nGetUserErrorCode(), 37u);
  EXPECT_EQ(NativeCode(error.pclGetXError()), 37);
  EXPECT_NE(Text(error).find(L"mysql_frobnicate"), std::wstring::npos);
  EXPECT_NE(Text(error).find(L"101.9"), std::wstring::npos);

  CNAError other;
  EXPECT_FALSE(cnx._bGuard(&other, 10, [] { throw std::bad_alloc(); }));
  EXPECT_EQ(other.nGetUserErrorCode(), 23u);
  EXPECT_EQ(NativeCode(other.pclGetXError()), 23);
  EXPECT_NE(Text(other).find(L"MariaDB"), std::wstring::npos);

  CNAError* pclDriverError = scope.pclGetDriver()->pclGetError();
  ASSERT_NE(pclDriverError, nullptr);
  pclDriverError->Reset();
  EXPECT_FALSE(cnx._bGuard(nullptr, 11, [] { throw 42; }));
  EXPECT_EQ(pclDriverError->nGetUserErrorCode(), 23u);
  // A thrown text without an error object is dropped.
  pclDriverError->Reset();
  EXPECT_FALSE(cnx._bGuard(nullptr, 12, [] { throw CTString(L"mysql_x"); }));
  EXPECT_EQ(pclDriverError->eGetErrorType(), NA_ERRORTYPE_NONE);
  // A call that returns passes.
  int n = 0;
  EXPECT_TRUE(cnx._bGuard(&error, 13, [&] { n = 7; }));
  EXPECT_EQ(n, 7);
}

TEST(mysqlErrors, ServerNumbersToErrorTypes) {
  TestHostDescription host;
  CMySQLConnection cnx(L"id", &host);
  const struct {
    unsigned number;
    eNA_ERRORTYPE type;
  } rows[] = {{1062, NA_ERRORTYPE_DUPLICATE}, {1205, NA_ERRORTYPE_LOCK},
              {1048, NA_ERRORTYPE_MANDATORY}, {1045, NA_ERRORTYPE_GENERIC},
              {0, NA_ERRORTYPE_GENERIC},      {1213, NA_ERRORTYPE_GENERIC}};
  for (const auto& row : rows) EXPECT_EQ(cnx.eGetNAErrorType(row.number), row.type) << row.number;
  // Not open: nothing to read, reported, never a call into the client.
  CNAError error;
  unsigned code = 99;
  EXPECT_EQ(cnx.bGetLastError(&error, &code), 0);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(error.nGetUserErrorCode(), 79u);
}

// The lock statement goes to a statement of the SQL face with the table
// name formatted piece by piece (a quoted piece kept); the statement is
// dropped unread, with or without columns.
TEST(mysqlDirect, LockAndIgnoredResultRunOnTheSqlFace) {
  StatementScript script;
  RecordingStatementScope scope(&script);
  TestHostDescription host;
  CMySQLConnection cnx(L"id", &host);
  for (int nColumns : {0, 3}) {
    SCOPED_TRACE(nColumns);
    script.vecTexts.clear();
    script.nColumnCount = nColumns;
    CNAError error;
    EXPECT_EQ(cnx.bSQLBloque(&error, L"`my db`.T1"), 1);
    EXPECT_EQ(cnx.bExecuteQueryIgnoreResult(&error, L"SELECT 1"), 1);
    EXPECT_EQ(script.vecTexts,
              (std::vector<std::wstring>{L"SELECT * FROM `my db`.`T1` FOR UPDATE", L"SELECT 1"}));
    EXPECT_EQ(script.nAlive, 0);
  }
  // A failing lock text, a failing ignored query (the column count of a
  // driver statement cannot fail).
  script.FailNext();
  CNAError error;
  EXPECT_EQ(cnx.bSQLBloque(&error, L"T"), 0);
  script.FailNext();
  EXPECT_EQ(cnx.bExecuteQueryIgnoreResult(&error, L"SELECT 2"), 0);
  EXPECT_EQ(script.nAlive, 0);
  // No statement from the face.
  script.bNoStatement = true;
  CNAError none;
  EXPECT_EQ(cnx.bSQLBloque(&none, L"T"), 0);
  EXPECT_EQ(none.pclGetXError()->dwGetSystemErrorCode(), 12u);
}

// Without a driver, or a driver without SQL face, nothing runs: the
// out-of-memory error.
TEST(mysqlDirect, NoDriverOrFaceFailsOutOfMemory) {
  TestHostDescription host;
  CMySQLConnection cnx(L"id", &host);
  {
    CNADriverLock lock;
    ASSERT_EQ(CNADriver::s_pclDriver, nullptr);
  }
  CNAError error;
  EXPECT_EQ(cnx.bSQLBloque(&error, L"T"), 0);
  EXPECT_EQ(error.pclGetXError()->dwGetSystemErrorCode(), 12u);
  StatementScript script;
  RecordingStatementScope scope(&script);
  scope.pclGetDriver()->bNoDriverSQL = true;
  CNAError error2;
  EXPECT_EQ(cnx.bExecuteQueryIgnoreResult(&error2, L"SELECT 1"), 0);
  EXPECT_EQ(error2.pclGetXError()->dwGetSystemErrorCode(), 12u);
  EXPECT_TRUE(script.vecTexts.empty());
}

}  // namespace
