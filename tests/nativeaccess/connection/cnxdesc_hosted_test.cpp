// The connection description built from the runtime's description: the
// extended keys and their defaults, the connection string, the default
// database, the forwarding accessors, the wanted client library, the server
// version and the program's name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "StandInConnectionDescription.h"
#include "CNADriver.h"
#include "StatementSeam.h"
#include "support/RecordingStatement.h"
#include "support/TestDriver.h"
#include "CNAStatementSQL.h"
#include "support/TestConnection.h"

namespace {

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L"<null>"; }

// Misuses of the stand-in fail the test instead of ending the program.
void AddMisuseFailure(const char* pszWhat) { ADD_FAILURE() << pszWhat; }

class cnxdesc : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pfnPrevious = CStandInConnectionDescription::s_SetMisuseReporter(AddMisuseFailure);
    m_csSavedLibrary.Set(CNAConnectionDescription::m_csClientLibrary.pszGet());
  }
  void TearDown() override {
    CNAConnectionDescription::m_csClientLibrary.Set(m_csSavedLibrary.pszGet());
    CStandInConnectionDescription::s_SetMisuseReporter(m_pfnPrevious);
  }

  CStandInConnectionDescription m_clHost;
  CStandInConnectionDescription::PFN_MISUSE m_pfnPrevious = nullptr;
  CTString m_csSavedLibrary;
};

// ---------------------------------------------------------------------------
// Extended keys
// ---------------------------------------------------------------------------

struct KeyCase {
  const char* pszName;
  const wchar_t* pszExtended;
  std::uint32_t nHostVersion;
  std::int32_t lHostCursorOptions;
  // Expected
  const wchar_t* pszLeft;  // the stored extended information
  int nConnectionTimeout;
  int nCommandTimeout;
  int nLockTimeout;
  std::int64_t llCacheSize;
  int nCursorLocation;
  int nUnicodeSupport;
};

// The host answers 30 and 60 for the timeouts and 77 for the cache size.
const KeyCase kaKeyCases[] = {
    {"nothing given: the host's values", L"", 4, 0, L"", 30, 60, -1, 77, 0, 1},
    {"null extended information", nullptr, 4, 0, L"", 30, 60, -1, 77, 0, 1},
    {"server cursor, catalogue kept", L"KX Cursor Location=server;Initial Catalog=db1", 4, 0,
     L"Initial Catalog=db1", 30, 60, -1, 77, 2, 1},
    {"client cursor in another case", L"kx cursor location=Client", 4, 1, L"", 30, 60, -1, 77, 1, 1},
    {"unknown cursor beats the host's server bit", L"KX Cursor Location=other", 4, 1, L"", 30, 60,
     -1, 77, 0, 1},
    {"host's server bit", L"", 4, 3, L"", 30, 60, -1, 77, 2, 1},
    {"host's client bit", L"", 4, 2, L"", 30, 60, -1, 77, 1, 1},
    {"empty lock timeout is cut and stays -1", L"KX Lock Timeout=", 4, 0, L"", 30, 60, -1, 77, 0, 1},
    {"keys in any case", L"kx connection timeout=12;KX COMMAND TIMEOUT=34;Kx Lock Timeout=5", 4, 0,
     L"", 12, 34, 5, 77, 0, 1},
    {"text that is no number gives 0", L"KX Connection Timeout=abc", 4, 0, L"", 0, 60, -1, 77, 0, 1},
    {"version 3 host: no cache size asked", L"", 3, 0, L"", 30, 60, -1, -2, 0, 1},
    {"version 3 host with the key", L"KX Cache Size=5000000000", 3, 0, L"", 30, 60, -1, 5000000000,
     0, 1},
    {"Unicode support off", L"KX Unicode Support=0;Server Port=3307", 4, 0, L"Server Port=3307", 30,
     60, -1, 77, 0, 0},
    {"text keys cut, foreign keys kept",
     L"Unix Socket=/tmp/s;KX RECORD LOCK=NOLOCK;KX CLIENT VERSION=3.3;"
     L"KX CLIENT LIBRARY=libx.so;Application Name=app;SSL Mode=REQUIRED;SSL Key=k.pem;"
     L"SSL Cert=c.pem;SSL CA=ca.pem;SSL CAPath=/ca;SSL Cipher=AES",
     4, 0, L"Unix Socket=/tmp/s;", 30, 60, -1, 77, 0, 1},
};

TEST_F(cnxdesc, ExtendedKeysAndTheirDefaults) {
  for (const KeyCase& c : kaKeyCases) {
    SCOPED_TRACE(c.pszName);
    CStandInConnectionDescription clHost;
    clHost.m_nVersion = c.nHostVersion;
    if (c.pszExtended != nullptr) clHost.m_osExtendedInfo = c.pszExtended;
    clHost.m_nConnectionTimeout = 30;
    clHost.m_nCommandTimeout = 60;
    clHost.m_llCacheSize = 77;
    clHost.m_lCursorOptions = c.lHostCursorOptions;
    kxtest::TestConnection clCnx(&clHost);
    EXPECT_EQ(W(clCnx.pszGetExtendedInfo()), c.pszLeft);
    EXPECT_EQ(clCnx.m_nConnectionTimeout, c.nConnectionTimeout);
    EXPECT_EQ(clCnx.m_nCommandTimeout, c.nCommandTimeout);
    EXPECT_EQ(clCnx.m_nLockTimeout, c.nLockTimeout);
    EXPECT_EQ(clCnx.m_llCacheSize, c.llCacheSize);
    EXPECT_EQ(clCnx.m_eCursorLocation, c.nCursorLocation);
    EXPECT_EQ(clCnx.m_nUnicodeSupport, c.nUnicodeSupport);
    EXPECT_EQ(clHost.m_nMisuses, 0);
    if (c.nHostVersion <= 3) {
      EXPECT_EQ(clHost.m_nCacheSizeQueries, 0);
    }
    // The connection string keeps every key as the host gave it.
    if (c.pszExtended != nullptr) {
      EXPECT_NE(std::wstring(clCnx.pszGetConnectionString()).find(c.pszExtended), std::wstring::npos);
    }
  }
}

TEST_F(cnxdesc, TextKeysFillTheirFields) {
  m_clHost.m_osExtendedInfo =
      L"KX RECORD LOCK=NOLOCK;KX CLIENT VERSION=3.3;KX CLIENT LIBRARY=libx.so;"
      L"Application Name=app;SSL Mode=REQUIRED;SSL Key=k.pem;SSL Cert=c.pem;"
      L"SSL CAPath=/ca;SSL CA=ca.pem;SSL Cipher=AES";
  kxtest::TestConnection clCnx(&m_clHost);
  const std::vector<std::pair<const CTString*, const wchar_t*>> vecFields = {
      {&clCnx.m_csRecordLock, L"NOLOCK"},        {&clCnx.m_csClientVersionWanted, L"3.3"},
      {&clCnx.m_csClientLibraryWanted, L"libx.so"}, {&clCnx.m_csApplicationName, L"app"},
      {&clCnx.m_csSSLMode, L"REQUIRED"},         {&clCnx.m_csSSLKey, L"k.pem"},
      {&clCnx.m_csSSLCert, L"c.pem"},            {&clCnx.m_csSSLCA, L"ca.pem"},
      {&clCnx.m_csSSLCAPath, L"/ca"},            {&clCnx.m_csSSLCipher, L"AES"},
  };
  for (const auto& [pcsField, pszExpected] : vecFields) EXPECT_EQ(W(pcsField->pszGet()), pszExpected);
  EXPECT_EQ(W(clCnx.pszGetExtendedInfo()), L"");
  EXPECT_EQ(W(clCnx.pszGetNoLockHint()), L"NOLOCK");
}

TEST_F(cnxdesc, ExtendedParameterAnswersOneWhetherGivenOrNot) {
  m_clHost.m_osExtendedInfo = L"Unix Socket=/tmp/s;Client Flag=";
  kxtest::TestConnection clCnx(&m_clHost);
  CTString csValue(L"old");
  int bFound = -1;
  EXPECT_EQ(clCnx._bGetExtendedParameter(&csValue, L"Server Port", 0), 1);
  EXPECT_EQ(W(csValue.pszGet()), L"");
  EXPECT_EQ(clCnx._bGetExtendedParameter(&csValue, &bFound, L"Client Flag", 0), 1);
  EXPECT_EQ(bFound, 1);
  EXPECT_EQ(W(csValue.pszGet()), L"");
  EXPECT_EQ(clCnx._bGetExtendedParameter(&csValue, &bFound, L"Server Port", 0), 1);
  EXPECT_EQ(bFound, 0);
  EXPECT_EQ(clCnx._bGetExtendedParameter(&csValue, L"unix socket", 1), 1);
  EXPECT_EQ(W(csValue.pszGet()), L"/tmp/s");
  EXPECT_EQ(W(clCnx.pszGetExtendedInfo()), L"Client Flag=");
}

// ---------------------------------------------------------------------------
// Connection string
// ---------------------------------------------------------------------------

TEST_F(cnxdesc, ConnectionStringTellsNullFromEmptyAndKeepsThePassword) {
  {
    kxtest::TestConnection clCnx(&m_clHost);
    EXPECT_EQ(W(clCnx.pszGetConnectionString()),
              L"Provider=NULL;ExtendedInformation=NULL;Data source=NULL;user id=NULL;password=NULL");
  }
  m_clHost.m_osProvider = L"";
  m_clHost.m_osExtendedInfo = L"";
  m_clHost.m_osDataSource = L"";
  m_clHost.m_osUserName = L"";
  m_clHost.m_osPassword = L"";
  {
    kxtest::TestConnection clCnx(&m_clHost);
    EXPECT_EQ(W(clCnx.pszGetConnectionString()),
              L"Provider=;ExtendedInformation=;Data source=;user id=;password=");
  }
  m_clHost.m_osProvider = L"P";
  m_clHost.m_osExtendedInfo = L"KX Lock Timeout=3;SSL Key=k";
  m_clHost.m_osDataSource = L"S";
  m_clHost.m_osUserName = L"U";
  m_clHost.m_osPassword = L"pw;x";
  kxtest::TestConnection clCnx(&m_clHost);
  EXPECT_EQ(W(clCnx.pszGetConnectionString()),
            L"Provider=P;ExtendedInformation=KX Lock Timeout=3;SSL Key=k;Data source=S;user "
            L"id=U;password=pw;x");
  EXPECT_EQ(clCnx.m_nConnectionStringCapacity, 1024);
}

TEST_F(cnxdesc, ConnectionStringGrowsByWholeSteps) {
  struct {
    std::size_t nUserLength;
    std::int64_t nCapacity;
  } const aCases[] = {{0, 1024}, {1023 - 78, 1024}, {1024 - 78, 2048}, {3000, 4096}};
  for (const auto& c : aCases) {
    m_clHost.m_osUserName = std::wstring(c.nUserLength, L'u');
    kxtest::TestConnection clCnx(&m_clHost);
    const std::int64_t nLength = static_cast<std::int64_t>(std::wcslen(clCnx.pszGetConnectionString()));
    EXPECT_EQ(clCnx.m_nConnectionStringLength, nLength);
    EXPECT_EQ(clCnx.m_nConnectionStringCapacity, c.nCapacity) << nLength;
  }
}

// ---------------------------------------------------------------------------
// Default database, accessors, numbers, references
// ---------------------------------------------------------------------------

TEST_F(cnxdesc, DefaultDataBaseChain) {
  struct {
    const char* pszName;
    const wchar_t* pszExtended;
    const wchar_t* pszProvider;
    const wchar_t* pszHostDefault;
    const wchar_t* pszExpected;
  } const aCases[] = {
      {"extended information first", L"Initial Catalog=a", L"Initial Catalog=b", L"c", L"a"},
      {"then the provider", L"Server Port=1", L"X=1;initial catalog=b", L"c", L"b"},
      {"then the host", nullptr, L"Data Source=x", L"c", L"c"},
      {"nothing anywhere", nullptr, nullptr, nullptr, L""},
      {"empty catalogue falls through", L"Initial Catalog=", L"", L"c", L"c"},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(c.pszName);
    CStandInConnectionDescription clHost;
    if (c.pszExtended) clHost.m_osExtendedInfo = c.pszExtended;
    if (c.pszProvider) clHost.m_osProvider = c.pszProvider;
    if (c.pszHostDefault) clHost.m_osDefaultDataBase = c.pszHostDefault;
    kxtest::TestConnection clCnx(&clHost);
    EXPECT_EQ(W(clCnx.pszGetDefaultDataBaseEx()), c.pszExpected);
    // Found once, kept: a later change of the host is not seen.
    clHost.m_osDefaultDataBase = L"changed";
    if (*c.pszExpected != L'\0') {
      EXPECT_EQ(W(clCnx.pszGetDefaultDataBaseEx()), c.pszExpected);
    }
  }
}

TEST_F(cnxdesc, ForwardsTheHostsAnswersAndCountsItsReference) {
  m_clHost.m_osUserName = L"user";
  m_clHost.m_osPassword = L"";
  m_clHost.m_osDataSource = L"srv";
  m_clHost.m_osDescription = L"desc";
  m_clHost.m_nAccess = 3;
  m_clHost.m_nNbParam = 2;
  m_clHost.m_lCursorOptions = 8;
  m_clHost.m_osDefaultDataBase = L"db";
  m_clHost.m_osLogicalConnectionName = L"MyCnx";
  m_clHost.m_osConnectionName = L"cnx object";
  {
    kxtest::TestConnection clCnx(&m_clHost, L"id-1");
    EXPECT_EQ(m_clHost.m_nExternalCount, 1u);
    EXPECT_EQ(W(clCnx.pszGetUserName()), L"user");
    EXPECT_EQ(W(clCnx.pszGetPassword()), L"");
    EXPECT_EQ(W(clCnx.pszGetDataBase()), L"srv");
    EXPECT_EQ(W(clCnx.pszGetDescription()), L"desc");
    EXPECT_EQ(clCnx.eGetAccess(), 3);
    EXPECT_EQ(clCnx.nGetNbParam(), 2);
    EXPECT_EQ(clCnx.lGetCursorOptions(), 8);
    EXPECT_EQ(W(clCnx.pszGetDefaultDataBase()), L"db");
    EXPECT_EQ(W(clCnx.pszGetLogicalConnectionName()), L"MyCnx");
    EXPECT_EQ(W(clCnx.pszGetConnectionName()), L"cnx object");
    EXPECT_EQ(W(clCnx.pszGetIdentification()), L"id-1");
  }
  EXPECT_EQ(m_clHost.m_nExternalCount, 0u);
  EXPECT_EQ(m_clHost.m_nMisuses, 0);

  m_clHost.m_osDescription.reset();
  m_clHost.m_osConnectionName.reset();
  kxtest::TestConnection clCnx(&m_clHost);
  EXPECT_EQ(clCnx.pszGetDescription(), nullptr);
  EXPECT_EQ(clCnx.pszGetConnectionName(), nullptr);
}

TEST_F(cnxdesc, WithoutHostEveryForwardAnswersNothing) {
  kxtest::TestConnection clCnx(nullptr, nullptr);
  EXPECT_EQ(clCnx.pszGetUserName(), nullptr);
  EXPECT_EQ(clCnx.pszGetDataBase(), nullptr);
  EXPECT_EQ(clCnx.pszGetConnectionName(), nullptr);
  EXPECT_EQ(W(clCnx.pszGetIdentification()), L"");
  EXPECT_EQ(W(clCnx.pszGetDefaultDataBaseEx()), L"");
  EXPECT_EQ(clCnx.m_llCacheSize, -2);
  EXPECT_EQ(clCnx.m_nConnectionTimeout, -1);
}

TEST_F(cnxdesc, InitialValuesAndConsecutiveNumbers) {
  kxtest::TestConnection clFirst(&m_clHost);
  kxtest::TestConnection clSecond(&m_clHost);
  EXPECT_EQ(clSecond.nGetCnxNumber(), clFirst.nGetCnxNumber() + 1);
  EXPECT_EQ(clSecond.nGetCnxNumber(), CNAConnectionDescription::m_gnCnxGenerator);
  EXPECT_EQ(m_clHost.m_nExternalCount, 2u);
  EXPECT_EQ(clFirst.m_bAutoCloseEnabled, 1);
  EXPECT_EQ(clFirst.m_pclCurrentTransaction, nullptr);
  EXPECT_EQ(clFirst.m_nSQLRuntime, 0u);
  EXPECT_EQ(clFirst.m_bOneTransactionPerBegin, 1);
  EXPECT_EQ(clFirst.m_nTransactionNesting, 0);
  EXPECT_EQ(clFirst.m_bUnicodeTypesAllowed, 1);
  EXPECT_EQ(clFirst.m_nDataBaseCodePage, -1);
  EXPECT_NE(clFirst.m_nApplicationCodePage, -1);
  EXPECT_EQ(clFirst.m_pclMapConvertType, nullptr);
  EXPECT_EQ(clFirst.m_nServerMajor, -1);
}

// ---------------------------------------------------------------------------
// Wanted client library (user error 74)
// ---------------------------------------------------------------------------

TEST_F(cnxdesc, WantedClientLibrary) {
  struct {
    const wchar_t* pszWanted;
    int bExpected;
  } const aCases[] = {
      {L"", 1},
      {L"/usr/lib/libmariadb.so", 1},
      {L"/USR/LIB/LIBMARIADB.SO", 1},
      {L"libmariadb.so", 1},
      {L"LibMariaDB.so", 1},
      {L"/opt/libmariadb.so", 0},
      {L"libmariadb", 0},
      {L"libmysqlclient.so", 0},
  };
  CNAConnectionDescription::m_csClientLibrary.Set(L"/usr/lib/libmariadb.so");
  for (const auto& c : aCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.pszWanted)));
    kxtest::TestConnection clCnx(&m_clHost);
    clCnx.m_csClientLibraryWanted.Set(c.pszWanted);
    CNAError clErr;
    EXPECT_EQ(clCnx._bCheckClientLibraryWanted(&clErr), c.bExpected);
    EXPECT_EQ(clErr.dwGetErrorId(), c.bExpected ? 0u : 74u);
    if (!c.bExpected) {
      const std::wstring sText = W(clErr.pszGetError());
      EXPECT_NE(sText.find(L"/usr/lib/libmariadb.so"), std::wstring::npos);
      EXPECT_NE(sText.find(c.pszWanted), std::wstring::npos);
      EXPECT_NE(sText.find(L"MariaDB"), std::wstring::npos);
    }
    // Without an error object: the same answer, nothing kept.
    EXPECT_EQ(clCnx._bCheckClientLibraryWanted(nullptr), c.bExpected);
  }
}

TEST_F(cnxdesc, WantedLibraryBeforeAnyIsLoaded) {
  CNAConnectionDescription::m_csClientLibrary.Vide();
  kxtest::TestConnection clCnx(&m_clHost);
  clCnx.m_csClientLibraryWanted.Set(L"libmariadb.so");
  CNAError clErr;
  EXPECT_EQ(clCnx._bCheckClientLibraryWanted(&clErr), 0);
  EXPECT_EQ(clErr.dwGetErrorId(), 74u);
}

// ---------------------------------------------------------------------------
// Server version, program name
// ---------------------------------------------------------------------------

TEST_F(cnxdesc, ServerVersionPieces) {
  struct {
    const wchar_t* pszVersion;
    int nMajor, nMinor, nRelease;
  } const aCases[] = {
      {L"10.11.6-MariaDB-log", 10, 11, 6},
      {L"8.0", 8, 0, 0},
      {L"5", 5, 0, 0},
      {L"", -1, 0, 0},
      {L"x.7.y", -1, 7, 0},
      {L"11.4.2.9", 11, 4, 2},
  };
  for (const auto& c : aCases) {
    kxtest::TestConnection clCnx(&m_clHost);
    clCnx.m_csServerVersion.Set(c.pszVersion);
    EXPECT_EQ(clCnx._bDecomposeServerVersion(nullptr), 1);
    EXPECT_EQ(clCnx.m_nServerMajor, c.nMajor) << testing::PrintToString(std::wstring(c.pszVersion));
    EXPECT_EQ(clCnx.m_nServerMinor, c.nMinor);
    EXPECT_EQ(clCnx.m_nServerRelease, c.nRelease);
  }
}

TEST_F(cnxdesc, ApplicationNameFromTheKeyElseTheProgram) {
  CTString csPath;
  ASSERT_TRUE(CNAConnectionDescription::g_bGetModuleFileName(nullptr, &csPath));
  const std::wstring sPath = csPath.pszGet();
  EXPECT_EQ(sPath.front(), L'/');
  CTString csExe(L"unchanged");
  ASSERT_TRUE(CNAConnectionDescription::g_bGetExeName(&csExe));
  EXPECT_EQ(W(csExe.pszGet()), sPath.substr(sPath.rfind(L'/') + 1));
  {
    kxtest::TestConnection clCnx(&m_clHost);
    EXPECT_EQ(W(clCnx.pszGetApplicationName()), W(csExe.pszGet()));
    EXPECT_EQ(W(clCnx.m_csApplicationName.pszGet()), W(csExe.pszGet()));
  }
  m_clHost.m_osExtendedInfo = L"Application Name=Billing";
  kxtest::TestConnection clCnx(&m_clHost);
  EXPECT_EQ(W(clCnx.pszGetApplicationName()), L"Billing");
  EXPECT_FALSE(CNAConnectionDescription::g_bGetModuleFileName(nullptr, nullptr));
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// The stand-in description and the statement seam
// ---------------------------------------------------------------------------

std::vector<std::string>& Reported() {
  static std::vector<std::string> s_vec;
  return s_vec;
}
void RecordMisuse(const char* pszWhat) { Reported().emplace_back(pszWhat); }

TEST(cnxdescStandIn, ReportsMisusesAndTellsNullFromEmpty) {
  CStandInConnectionDescription clHost;
  const auto pfnPrevious = CStandInConnectionDescription::s_SetMisuseReporter(RecordMisuse);
  Reported().clear();
  clHost.m_nVersion = 4;
  clHost.m_llCacheSize = 12;
  EXPECT_EQ(clHost.llGetCacheSize(), 12);
  EXPECT_TRUE(Reported().empty());
  clHost.m_nVersion = 3;
  clHost.llGetCacheSize();
  EXPECT_EQ(clHost.nExternalRelease(), 0u);
  EXPECT_EQ(Reported().size(), 2u);
  EXPECT_EQ(clHost.m_nMisuses, 2);
  EXPECT_EQ(clHost.m_nCacheSizeQueries, 2);
  CStandInConnectionDescription::s_SetMisuseReporter(pfnPrevious);

  EXPECT_EQ(clHost.pszGetUserName(), nullptr);
  clHost.m_osUserName = L"";
  ASSERT_NE(clHost.pszGetUserName(), nullptr);
  EXPECT_EQ(W(clHost.pszGetUserName()), L"");
  clHost.ExternalAddRef();
  clHost.ExternalAddRef();
  EXPECT_EQ(clHost.nExternalRelease(), 1u);
}

TEST(cnxdescStatementSeam, StatementsComeFromTheProcessDriversSQLFace) {
  kxtest::TestConnection clCnx;
  CNADriver* const pclBefore = CNADriver::s_pclDriver;
  CNADriver::s_pclDriver = nullptr;
  CNAError clError;
  EXPECT_EQ(kxna_pclAllocStatementSQL(&clCnx, &clError), nullptr) << "no driver";
  EXPECT_EQ(clError.nGetUserErrorCode(), 0u) << "no driver is not a failure to report";
  {
    kxtest::StatementScript script;
    kxtest::RecordingStatementScope scope(&script);
    CNAStatementSQL* pclStatement = kxna_pclAllocStatementSQL(&clCnx, &clError);
    ASSERT_NE(pclStatement, nullptr);
    EXPECT_EQ(script.nAllocated, 1);
    EXPECT_EQ(pclStatement->nGetInternalCount(), 0u);
    pclStatement->AddRef();
    EXPECT_EQ(pclStatement->bExecuteDirect(L"SELECT 1", nullptr, NA_WRITEPARSE_NONE), 1);
    pclStatement->nRelease();  // deleted here (the leak check sees it)
    EXPECT_EQ(script.nAlive, 0);
    ASSERT_EQ(script.vecTexts.size(), 1u);
    EXPECT_EQ(script.vecTexts[0], L"SELECT 1");
  }
  {
    // A driver without an SQL face: no statement, the out-of-memory error.
    kxtest::StatementScript script;
    kxtest::RecordingStatementScope scope(&script);
    scope.pclGetDriver()->bNoDriverSQL = true;
    EXPECT_EQ(kxna_pclAllocStatementSQL(&clCnx, &clError), nullptr);
    EXPECT_EQ(script.nAllocated, 0);
    EXPECT_EQ(clError.dwGetSystemErrorCode(), 12u);
  }
  EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
  CNADriver::s_pclDriver = pclBefore;
}

}  // namespace
