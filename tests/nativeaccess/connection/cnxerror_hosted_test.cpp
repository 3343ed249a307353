// What a connection writes into the errors reported about it: the client
// library items, the caption lines in their order and conditions, never the
// password; the captions themselves; the refused diagnosis.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CXError.h"
#include "StandInConnectionDescription.h"
#include "support/TestConnection.h"

namespace {

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L"<null>"; }

std::vector<std::wstring> Lines(const wchar_t* psz) {
  std::vector<std::wstring> vec;
  std::wstring sLine;
  for (const wchar_t* p = psz != nullptr ? psz : L""; *p != L'\0'; ++p) {
    if (*p == L'\r' || *p == L'\n') {
      if (!sLine.empty()) vec.push_back(sLine);
      sLine.clear();
    } else {
      sLine += *p;
    }
  }
  if (!sLine.empty()) vec.push_back(sLine);
  return vec;
}

std::string Show(const std::vector<std::wstring>& vec) {
  std::string s;
  for (const auto& l : vec) {
    for (wchar_t c : l) s += c < 0x80 ? static_cast<char>(c) : '?';
    s += " | ";
  }
  return s;
}

void AddMisuseFailure(const char* pszWhat) { ADD_FAILURE() << pszWhat; }

class cnxerror : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pfnPrevious = CStandInConnectionDescription::s_SetMisuseReporter(AddMisuseFailure);
    m_csSavedLibrary.Set(CNAConnectionDescription::m_csClientLibrary.pszGet());
    m_csSavedVersion.Set(CNAConnectionDescription::m_csClientVersion.pszGet());
    CNAConnectionDescription::m_csClientLibrary.Vide();
    CNAConnectionDescription::m_csClientVersion.Vide();
  }
  void TearDown() override {
    CNAConnectionDescription::m_csClientLibrary.Set(m_csSavedLibrary.pszGet());
    CNAConnectionDescription::m_csClientVersion.Set(m_csSavedVersion.pszGet());
    CStandInConnectionDescription::s_SetMisuseReporter(m_pfnPrevious);
  }

  CStandInConnectionDescription m_clHost;
  CStandInConnectionDescription::PFN_MISUSE m_pfnPrevious = nullptr;
  CTString m_csSavedLibrary;
  CTString m_csSavedVersion;
};

TEST_F(cnxerror, CaptionsAreTheMessageTextsFollowedByOneSpace) {
  const std::pair<eNACONNECTIONCAPTION, const wchar_t*> aCaptions[] = {
      {NACAPTION_CLIENTLIBRARY, L"Client library: "},
      {NACAPTION_PROVIDER, L"Provider: "},
      {NACAPTION_USER, L"User: "},
      {NACAPTION_DATASOURCE, L"Data source: "},
      {NACAPTION_DEFAULTDATABASE, L"Default database: "},
      {NACAPTION_CONNECTIONTIMEOUT, L"Connection timeout: "},
      {NACAPTION_COMMANDTIMEOUT, L"Command timeout: "},
      {NACAPTION_LOCKTIMEOUT, L"Lock timeout: "},
      {NACAPTION_CURSORLOCATION, L"Cursor location: "},
      {NACAPTION_UNICODESUPPORT, L"Unicode support: "},
      {NACAPTION_APPLICATIONCODEPAGE, L"Application code page: "},
      {NACAPTION_DATABASECODEPAGE, L"Database code page: "},
      {NACAPTION_RECORDLOCK, L"Record lock: "},
      {NACAPTION_CHARSET, L"Charset: "},
  };
  for (const auto& [eCaption, pszText] : aCaptions)
    EXPECT_EQ(W(kxna_pszGetConnectionCaption(eCaption)), pszText);
  // Loaded once: the same text object every time.
  EXPECT_EQ(kxna_pszGetConnectionCaption(NACAPTION_USER), kxna_pszGetConnectionCaption(NACAPTION_USER));
  EXPECT_EQ(W(kxna_pszGetConnectionCaption(NACAPTION_COUNT)), L"");
}

TEST_F(cnxerror, EveryLineInOrderWhenEverythingIsKnown) {
  CNAConnectionDescription::m_csClientLibrary.Set(L"/lib/libmariadb.so");
  CNAConnectionDescription::m_csClientVersion.Set(L"3.3.8");
  m_clHost.m_osProvider = L"Prov";
  m_clHost.m_osUserName = L"bob";
  m_clHost.m_osDataSource = L"srv";
  m_clHost.m_osExtendedInfo = L"Initial Catalog=sales;KX Lock Timeout=7;KX RECORD LOCK=NOLOCK";
  m_clHost.m_nConnectionTimeout = 30;
  m_clHost.m_nCommandTimeout = -1;
  m_clHost.m_lCursorOptions = 1;
  kxtest::TestConnection clCnx(&m_clHost);
  clCnx.m_nApplicationCodePage = 1252;
  clCnx.m_nDataBaseCodePage = 65001;  // Unicode mode

  _CXErrorModule76 clErr;
  clCnx.AddInfoNativeXError(&clErr);
  void* pValue = nullptr;
  ASSERT_TRUE(clErr.bGetInfo(EIT_INFOCLIENT, &pValue));
  EXPECT_EQ(W(static_cast<const wchar_t*>(pValue)), L"3.3.8");
  ASSERT_TRUE(clErr.bGetInfo(EIT_INFOSERVEUR, &pValue));
  EXPECT_EQ(W(static_cast<const wchar_t*>(pValue)), L"/lib/libmariadb.so");
  const std::vector<std::wstring> vecExpected = {
      L"Client library: /lib/libmariadb.so",
      L"Provider: Prov",
      L"User: bob",
      L"Data source: srv",
      L"Default database: sales",
      L"Connection timeout: 30",
      L"Lock timeout: 7",
      L"Cursor location: Server",
      L"Unicode support: 1",
      L"Application code page: 1252",
      L"Database code page: UTF-8",
      L"Record lock: NOLOCK",
  };
  const std::vector<std::wstring> vecLines = Lines(clErr.pszGetDebugMessage());
  EXPECT_EQ(vecLines, vecExpected) << Show(vecLines);
}

TEST_F(cnxerror, NothingKnownGivesOnlyTheLinesWrittenAlways) {
  kxtest::TestConnection clCnx(&m_clHost);
  clCnx.m_nApplicationCodePage = -2;
  clCnx.m_nUnicodeSupport = 0;
  clCnx.m_eCursorLocation = static_cast<eCURSORLOCATION>(9);
  _CXErrorModule76 clErr;
  clCnx.AddInfoNativeXError(&clErr);
  // No client library loaded yet: neither item 22 nor 23, no library line.
  EXPECT_FALSE(clErr.bHasInfo(EIT_INFOCLIENT));
  EXPECT_FALSE(clErr.bHasInfo(EIT_INFOSERVEUR));
  const std::vector<std::wstring> vecExpected = {
      L"Cursor location: Unknown",
      L"Unicode support: 0",
      L"Application code page: UTF-16",
  };
  const std::vector<std::wstring> vecLines = Lines(clErr.pszGetDebugMessage());
  EXPECT_EQ(vecLines, vecExpected) << Show(vecLines);
}

TEST_F(cnxerror, EmptyTextsWriteNoLine) {
  m_clHost.m_osProvider = L"";
  m_clHost.m_osUserName = L"";
  m_clHost.m_osDataSource = L"";
  m_clHost.m_osDefaultDataBase = L"";
  kxtest::TestConnection clCnx(&m_clHost);
  clCnx.m_nApplicationCodePage = -1;
  _CXErrorModule76 clErr;
  clCnx.AddInfoNativeXError(&clErr);
  EXPECT_EQ(Lines(clErr.pszGetDebugMessage()).size(), 2u) << Show(Lines(clErr.pszGetDebugMessage()));
  clCnx.AddInfoNativeXError(nullptr);  // nothing, no crash
  clCnx.AddInfoNative(nullptr);
}

TEST_F(cnxerror, PasswordAppearsNowhereInTheDump) {
  constexpr wchar_t kszPassword[] = L"Zq9-distinctive-PW";
  CNAConnectionDescription::m_csClientLibrary.Set(L"/lib/libmariadb.so");
  m_clHost.m_osPassword = kszPassword;
  m_clHost.m_osUserName = L"bob";
  m_clHost.m_osDataSource = L"srv";
  m_clHost.m_osProvider = L"Prov";
  m_clHost.m_osExtendedInfo = L"KX Lock Timeout=7";
  kxtest::TestConnection clCnx(&m_clHost);
  // The connection string holds it (the client library needs it) ...
  EXPECT_NE(std::wstring(clCnx.pszGetConnectionString()).find(kszPassword), std::wstring::npos);
  // ... the error's dump never does.
  CNAError clErr;
  clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 1, &clCnx, 8);
  clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 2, &clCnx, 8);
  const std::wstring sDump = W(clErr.pszGetError());
  EXPECT_NE(sDump.find(L"User: bob"), std::wstring::npos) << Show(Lines(sDump.c_str()));
  EXPECT_EQ(sDump.find(kszPassword), std::wstring::npos);
}

TEST_F(cnxerror, DiagnoseIsRefusedWithUserError8) {
  kxtest::TestConnection clCnx(&m_clHost);
  CAny clResult;
  clResult.SetI4(42);
  CNAError clErr;
  EXPECT_EQ(clCnx.bDiagnose(&clErr, &clResult, L"CUSTOMER", 0), 0);
  EXPECT_EQ(clErr.dwGetErrorId(), 8u);
  EXPECT_EQ(clErr.eGetErrorType(), NA_ERRORTYPE_UNAVAILABLE);
  EXPECT_EQ(W(clErr.pszGetLogicalTableName()), L"CUSTOMER");
  const unsigned short wType = clResult.wGetType();
  int nValue = 0;
  std::memcpy(&nValue, clResult.pbyValue(), sizeof nValue);
  EXPECT_EQ(nValue, 42);
  EXPECT_EQ(clResult.wGetType(), wType);
  // Without an error object: refused all the same.
  EXPECT_EQ(clCnx.bDiagnose(nullptr, &clResult, L"CUSTOMER", 0), 0);
  EXPECT_EQ(clCnx.bDiagnose(nullptr, nullptr, nullptr, 0), 0);
}

}  // namespace
