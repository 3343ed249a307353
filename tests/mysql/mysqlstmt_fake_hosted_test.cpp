// The MariaDB driver-level statement on the fake client library with result
// sets: field descriptions of old clients in their own element layouts,
// the calls the read path makes per row, going back with and without the
// client's row positions, and a stream that breaks.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CMySQLStatementSQL.h"
#include "CNAColumnSQL.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "StandInStrMemAlloc.h"
#include "TestSupport.h"
#include "mysql/fakeclient/FakeResultScript.h"
#include "mysql/mysqlstmt_support.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

using kxtest::ErrorText;
using kxtest::Raw;

class mysqlstmtFake : public testing::Test {
 protected:
  void SetUp() override {
    m_piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = &m_alloc;
  }
  void TearDown() override {
    m_objects.Release();
    CNAFunctionLoader::g_Term();
    if (m_pScript != nullptr) {
      EXPECT_EQ(m_pScript->nResultsAlive, 0) << "a result was not freed";
      EXPECT_EQ(m_pScript->nHandlesAlive, 0) << "a handle was not closed";
    }
    EXPECT_EQ(m_alloc.nGetLiveBlocks(), 0u) << "a string block was not given back";
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
  }
  // Maps the variant for the rest of the process and resets its script.
  FakeResultScript* Load(const std::string& variant) {
    m_sPath = kxtest::FakeClientPath(variant);
    void* h = dlopen(m_sPath.c_str(), RTLD_NOW | RTLD_NODELETE);
    EXPECT_NE(h, nullptr) << m_sPath << ": " << dlerror();
    if (h == nullptr) return nullptr;
    auto pfn = reinterpret_cast<PFN_kxfake_result_script>(dlsym(h, "kxfake_result_script"));
    EXPECT_NE(pfn, nullptr);
    if (pfn == nullptr) return nullptr;
    m_pScript = pfn();
    *m_pScript = FakeResultScript();
    return m_pScript;
  }
  // An open connection on the fake (the client library loads now, reading
  // the scripted version) and a statement on it.
  CMySQLStatementSQL* Open() {
    m_sExtended = L"KX CLIENT LIBRARY=" + std::wstring(m_sPath.begin(), m_sPath.end());
    m_host.pszDataSource = L"db.example";
    m_host.pszUser = L"kx";
    m_host.pszPassword = L"pw";
    m_host.pszDefaultDataBase = L"kxtest";
    m_host.pszExtendedInfo = m_sExtended.c_str();
    m_pCnx = m_objects.Adopt(new CMySQLConnection(L"fake", &m_host));
    m_pError = m_objects.NewError();
    EXPECT_EQ(m_pCnx->bOpen(m_pError), 1) << ErrorText(m_pError);
    return m_objects.NewStatement(m_pCnx, m_pError);
  }
  void SetRows(int nRows) {
    m_pScript->vecColumns = {{"n", 3, 11, 6, 0, 0, 63}};
    m_pScript->vecRows.clear();
    for (int i = 1; i <= nRows; ++i) m_pScript->vecRows.push_back({std::to_string(i)});
  }

  CStandInStrMemAlloc m_alloc;
  IStrMemAlloc* m_piSaved = nullptr;
  std::string m_sPath;
  std::wstring m_sExtended;
  FakeResultScript* m_pScript = nullptr;
  kxtest::TestHostDescription m_host;
  kxtest::StatementObjects m_objects;
  CMySQLConnection* m_pCnx = nullptr;
  CNAError* m_pError = nullptr;
};

// Clients of every age hand their field descriptions in their own layout;
// each is read where it lies. The old layouts (no flags read) keep counting
// a sign and a point in a decimal's length; from 4.1 on the flags decide.
// A column without declared length takes the longest values so far.
TEST_F(mysqlstmtFake, FieldLayoutsOfEveryClientAge) {
  FakeResultScript* s = Load("results");
  ASSERT_NE(s, nullptr);
  struct stClient {
    const char* pszVersion;
    unsigned nFieldSize;
    bool bCharset;
    std::int32_t nSignedDigits;    // DECIMAL(10,0), declared 11
    std::int32_t nUnsignedDigits;  // DECIMAL(10,0) UNSIGNED, declared 10
  } const astClients[] = {
      {"3.23.58", 48, false, 9, 8},   {"4.0.30", 72, false, 9, 8},
      {"4.1.22", 120, true, 10, 10},  {"5.0.96", 120, true, 10, 10},
      {"5.1.73", 128, true, 10, 10},  {"8.0.36", 128, true, 10, 10},
  };
  for (const stClient& c : astClients) {
    SCOPED_TRACE(c.pszVersion);
    *s = FakeResultScript();
    s->sClientVersion = c.pszVersion;
    s->nFieldSize = c.nFieldSize;
    s->vecColumns = {
        {"id", 3, 11, 2, 0, 0, 63},
        {"signed_dec", 246, 11, 10, 0, 0, 63},
        {"unsigned_dec", 246, 10, 10, 0, 32, 63},
        {"label", 253, 30, 5, 0, 0, 33},
        {"computed", 253, 0, 7, 0, 0, 33},
    };
    s->vecRows = {{std::string("12"), std::string("-9999999999"), std::string("9999999999"),
                   std::string("hello"), std::nullopt}};
    CMySQLStatementSQL* st = Open();
    ASSERT_TRUE(st->bExecuteDirect("SELECT * FROM t", NA_WRITEPARSE_NONE)) << ErrorText(m_pError);
    ASSERT_EQ(st->nGetColumnCount(), 5u);
    const wchar_t* const apszNames[] = {L"id", L"signed_dec", L"unsigned_dec", L"label",
                                        L"computed"};
    const std::uint32_t anTypes[] = {3, 246, 246, 253, 253};
    const std::int64_t anLengths[] = {11, 11, 10, 30, 2 + 10 + 10 + 5 + 7};
    for (int i = 0; i < 5; ++i) {
      CNAColumnSQL* p = st->pclGetNAColumnSQL(i);
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(std::wstring(p->m_csName.pszGet()), apszNames[i]);
      EXPECT_EQ(p->m_nMySQLType, anTypes[i]);
      EXPECT_EQ(p->m_nLength, anLengths[i]) << i;
      EXPECT_EQ(p->m_nCharsetNumber, c.bCharset ? (i < 3 ? 63u : 33u) : 0u) << i;
    }
    EXPECT_EQ(st->pclGetNAColumnSQL(1)->m_nIntegerPart, c.nSignedDigits);
    EXPECT_EQ(st->pclGetNAColumnSQL(2)->m_nIntegerPart, c.nUnsignedDigits);
    EXPECT_EQ(st->nGetColumnSizeTotal(), 34u);
    ASSERT_EQ(st->bFetch(0), 1);
    EXPECT_EQ(Raw(st, 1), std::string("-9999999999"));
    EXPECT_EQ(Raw(st, 3), std::string("hello"));
    EXPECT_EQ(Raw(st, 4), std::nullopt);
    m_objects.Release();
    CNAFunctionLoader::g_Term();
  }
}

// The read path asks the client for one row and its lengths per row, the
// field descriptions once per execution, and never for the handle's error
// at the end of a stored result. Going back records every row's position
// in one walk (one position per row and the end), then seeks directly.
TEST_F(mysqlstmtFake, ReadPathAndBackwardWalkWithRowPositions) {
  ASSERT_NE(Load("results"), nullptr);
  SetRows(50);
  CMySQLStatementSQL* st = Open();
  EXPECT_TRUE(__mysql_row_tell != &DefaultError_mysql_row_tell);
  ASSERT_TRUE(st->bExecuteDirect("SELECT n FROM t", NA_WRITEPARSE_NONE)) << ErrorText(m_pError);
  m_pScript->ResetCounters();
  int nRows = 0;
  while (st->bFetch(0) == 1 && !st->bNoCurrentRow()) ++nRows;
  EXPECT_EQ(nRows, 50);
  EXPECT_EQ(m_pScript->nFetchRow, 51);
  EXPECT_EQ(m_pScript->nFetchLengths, 50);
  EXPECT_EQ(m_pScript->nFetchFields, 0);
  EXPECT_EQ(m_pScript->nErrno, 0);

  m_pScript->ResetCounters();
  for (long n = 49; n >= 0; --n) {
    ASSERT_EQ(st->bDataSeek(n), 1);
    ASSERT_EQ(st->bFetch(0), 1);
    ASSERT_EQ(Raw(st, 0), std::to_string(n + 1));
  }
  EXPECT_EQ(m_pScript->nRowTell, 51);
  EXPECT_EQ(m_pScript->nRowSeek, 50);
  EXPECT_EQ(m_pScript->nDataSeek, 1);
  // The positions belong to their result: the next one walks again.
  ASSERT_TRUE(st->bExecuteDirect("SELECT n FROM t", NA_WRITEPARSE_NONE));
  EXPECT_EQ(m_pScript->nFetchFields, 1);
  EXPECT_EQ(st->bRowPositionsRecorded(), 0);
  ASSERT_EQ(st->bDataSeek(10), 1);
  ASSERT_EQ(st->bFetch(0), 1);
  EXPECT_EQ(Raw(st, 0), std::string("11"));
  // The module end puts both back on their stubs with the others.
  m_objects.Release();
  CNAFunctionLoader::g_Term();
  EXPECT_TRUE(__mysql_row_tell == &DefaultError_mysql_row_tell);
  EXPECT_TRUE(__mysql_row_seek == &DefaultError_mysql_row_seek);
}

// A client without row positions: both stay on their stubs (also after
// the module end) and every seek is a mysql_data_seek.
TEST_F(mysqlstmtFake, SeekWithoutRowPositionsUsesDataSeek) {
  ASSERT_NE(Load("resultsnoseek"), nullptr);
  SetRows(20);
  CMySQLStatementSQL* st = Open();
  EXPECT_TRUE(__mysql_row_tell == &DefaultError_mysql_row_tell);
  EXPECT_TRUE(__mysql_row_seek == &DefaultError_mysql_row_seek);
  ASSERT_TRUE(st->bExecuteDirect("SELECT n FROM t", NA_WRITEPARSE_NONE)) << ErrorText(m_pError);
  m_pScript->ResetCounters();
  for (long n = 19; n >= 0; --n) {
    ASSERT_EQ(st->bDataSeek(n), 1);
    ASSERT_EQ(st->bFetch(0), 1);
    ASSERT_EQ(Raw(st, 0), std::to_string(n + 1));
  }
  EXPECT_EQ(m_pScript->nDataSeek, 20);
  EXPECT_EQ(st->bRowPositionsRecorded(), 0);
  EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_NONE) << ErrorText(m_pError);
}

// A stream that breaks after two rows: the count answers 0 (not 2) with the
// error at the fetch position, and a fetch loop ends in 0 with the error.
TEST_F(mysqlstmtFake, BrokenStreamFailsCountAndFetch) {
  ASSERT_NE(Load("results"), nullptr);
  SetRows(10);
  m_pScript->nStreamBreakAfter = 2;
  m_pScript->nStreamBreakError = 2013;
  CMySQLStatementSQL* st = Open();
  st->SetStoreResult(0);
  ASSERT_TRUE(st->bExecuteDirect("SELECT n FROM t", NA_WRITEPARSE_NONE)) << ErrorText(m_pError);
  std::int64_t llCount = -1;
  EXPECT_EQ(st->bCountStreamedRows(&llCount), 0);
  EXPECT_EQ(llCount, 0);
  EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 2013u) << ErrorText(m_pError);
  EXPECT_NE(ErrorText(m_pError).find("IEKXMARIA=100.25"), std::string::npos) << ErrorText(m_pError);

  m_pError->Reset();
  ASSERT_TRUE(st->bExecuteDirect("SELECT n FROM t", NA_WRITEPARSE_NONE)) << ErrorText(m_pError);
  EXPECT_EQ(st->bFetch(0), 1);
  EXPECT_EQ(st->bFetch(0), 1);
  EXPECT_EQ(st->bFetch(0), 0);
  EXPECT_TRUE(st->bNoCurrentRow());
  EXPECT_EQ(st->bIsStreaming(), 0);
  EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 2013u) << ErrorText(m_pError);

  // Unbroken, the count is every row.
  m_pError->Reset();
  m_pScript->nStreamBreakAfter = 0;
  ASSERT_TRUE(st->bExecuteDirect("SELECT n FROM t", NA_WRITEPARSE_NONE)) << ErrorText(m_pError);
  EXPECT_EQ(st->bCountStreamedRows(&llCount), 1);
  EXPECT_EQ(llCount, 10);
}

}  // namespace
