// The native-access error object: main error and sub-errors, the adding
// operations and their detail, the guards, the composed text and the
// interface's slot table as the runtime calls it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CNAConnectionDescription.h"
#include "CNAError.h"
#include "CXErrorInternal.h"
#include "INAError.h"
#include "support/TestConnection.h"

namespace {

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L"<null>"; }

bool bContains(const std::wstring& s, const wchar_t* pszPart) {
  return s.find(pszPart) != std::wstring::npos;
}

std::size_t nCount(const std::wstring& s, const wchar_t* pszPart) {
  std::size_t n = 0;
  for (std::size_t i = s.find(pszPart); i != std::wstring::npos; i = s.find(pszPart, i + 1)) ++n;
  return n;
}

// Readable failures: the text with its line ends shown.
std::string Show(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) out += c == L'\r' ? '|' : static_cast<char>(c < 0x80 ? c : '?');
  return out;
}

constexpr wchar_t kszNoItem[] = L"The data source has no item.";           // user error 1
constexpr wchar_t kszNotOpen[] = L"The data source is not open.";          // user error 4
constexpr wchar_t kszNotSupported[] = L"This operation is not supported";  // user error 8
constexpr wchar_t kszNativeLine[] = L"EIT_INFOSERVEUR : <server 10.11>";

// A connection that records the calls for its native information and adds
// one recognisable item.
struct CTestHostHolder {
  kxtest::TestHostDescription m_clHost;
};
class CRecordingConnection : private CTestHostHolder, public kxtest::TestConnection {
 public:
  CRecordingConnection() : kxtest::TestConnection(&m_clHost) {}
  // The data source the host answers (a text that outlives the connection).
  void SetDataBase(const wchar_t* pszDataBase) { m_clHost.pszDataSource = pszDataBase; }
  void AddInfoNativeXError(_CXErrorModule76* pclErr) override {
    ++m_nNativeCalls;
    pclErr->AddInfo(EIT_INFOSERVEUR, L"server 10.11");
  }
  int m_nNativeCalls = 0;
};

class naerror : public ::testing::Test {
 protected:
  std::wstring Text() { return W(m_clErr.pszGetError()); }
  CXError* pclSub(int i) { return m_clErr.pclGetXError()->pclGetSubError(i); }
  int nSubs() { return m_clErr.pclGetXError()->nGetNbSubError(); }

  void ExpectEmpty() {
    EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_NONE);
    EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_NONE);
    EXPECT_EQ(m_clErr.dwGetErrorId(), 0u);
    EXPECT_EQ(m_clErr.pszGetLogicalTableName(), nullptr);
    EXPECT_EQ(m_clErr.pszGetItemName(), nullptr);
    EXPECT_EQ(nSubs(), 0);
  }

  CNAError m_clErr;
  CRecordingConnection m_clCnx;
};

// ---------------------------------------------------------------------------
// The object's life: empty, one error, sub-errors, Reset
// ---------------------------------------------------------------------------

TEST_F(naerror, EmptyAfterConstructionAndAfterReset) {
  ExpectEmpty();
  EXPECT_EQ(m_clErr.nGetHolderCount(), 0u);
  m_clErr.AddError(NA_ERRORTYPE_DUPLICATE, 1, 2, &m_clCnx, 1);
  m_clErr.SetInfoNames(L"T", L"I");
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 3, &m_clCnx, 4);
  ASSERT_TRUE(bContains(Text(), kszNoItem));
  m_clErr.Reset();
  ExpectEmpty();
  EXPECT_FALSE(bContains(Text(), kszNoItem));
  EXPECT_FALSE(bContains(Text(), kszNotOpen));
}

TEST_F(naerror, SecondAddErrorShowsOnlyAsSubError) {
  m_clErr.AddError(NA_ERRORTYPE_DUPLICATE, 1, 2, &m_clCnx, 1);
  m_clErr.SetInfoNames(L"CUSTOMER", L"NAME");
  m_clErr.AddError(NA_ERRORTYPE_LOCK, 1, 3, &m_clCnx, 4);

  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 1u);
  EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_ERROR);
  EXPECT_EQ(W(m_clErr.pszGetLogicalTableName()), L"CUSTOMER");
  EXPECT_EQ(W(m_clErr.pszGetItemName()), L"NAME");
  EXPECT_EQ(W(m_clErr.pclGetXError()->pszGetUserMessage()), kszNoItem);
  ASSERT_EQ(nSubs(), 1);
  EXPECT_EQ(pclSub(0)->nGetUserErrorCode(), 4u);
  // Native information goes to the main error only.
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 1);

  const std::wstring s = Text();
  const std::size_t nHeading = s.find(L"Sub-error");
  ASSERT_NE(nHeading, std::wstring::npos) << Show(s);
  EXPECT_EQ(nCount(s, kszNotOpen), 1u) << Show(s);
  EXPECT_GT(s.find(kszNotOpen), nHeading) << Show(s);
  EXPECT_LT(s.find(kszNoItem), nHeading) << Show(s);
  EXPECT_TRUE(bContains(s, L"IEKXMARIA=1.3")) << Show(s);
}

TEST_F(naerror, AddErrorFirstOverAChainTakesTheMainPlace) {
  m_clErr.AddError(NA_ERRORTYPE_DUPLICATE, 1, 1, &m_clCnx, 1);
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 2, &m_clCnx, 4);
  m_clErr.AddErrorFirst(NA_ERRORTYPE_UNAVAILABLE, 5, 6, &m_clCnx, 8);

  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_UNAVAILABLE);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 8u);
  EXPECT_TRUE(bContains(W(m_clErr.pclGetXError()->pszGetDebugMessage()), L"IEKXMARIA=5.6"));
  EXPECT_FALSE(bContains(W(m_clErr.pclGetXError()->pszGetUserMessage()), kszNoItem));
  // The former main error, with its own sub-error, is the one sub-error.
  ASSERT_EQ(nSubs(), 1);
  CXError* pclFormer = pclSub(0);
  EXPECT_EQ(pclFormer->nGetUserErrorCode(), 1u);
  ASSERT_EQ(pclFormer->nGetNbSubError(), 1);
  EXPECT_EQ(pclFormer->pclGetSubError(0)->nGetUserErrorCode(), 4u);
  EXPECT_TRUE(bContains(W(pclFormer->pszGetDebugMessage()), L"IEKXMARIA=1.1"));
  EXPECT_TRUE(pclFormer->bHasInfo(EIT_INFOSERVEUR));

  const std::wstring s = Text();
  const std::size_t n8 = s.find(kszNotSupported);
  const std::size_t n1 = s.find(kszNoItem);
  const std::size_t n4 = s.find(kszNotOpen);
  ASSERT_NE(n8, std::wstring::npos) << Show(s);
  ASSERT_NE(n1, std::wstring::npos) << Show(s);
  ASSERT_NE(n4, std::wstring::npos) << Show(s);
  EXPECT_LT(n8, n1);
  EXPECT_LT(n1, n4);
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 1);
}

TEST_F(naerror, AddErrorFirstOnAnEmptyObjectIsAFirstError) {
  m_clErr.AddErrorFirst(NA_ERRORTYPE_LOCK, 51, 2, &m_clCnx, 8);
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_LOCK);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 8u);
  EXPECT_EQ(nSubs(), 0);
  EXPECT_TRUE(bContains(Text(), L"IEKXMARIA=51.2"));
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 1);
}

TEST_F(naerror, ItemNameWithoutTableNameIsNotRecorded) {
  struct Case {
    const wchar_t* pszTable;
    const wchar_t* pszItem;
    const wchar_t* pszWantTable;
    const wchar_t* pszWantItem;
  };
  const Case cases[] = {
      {nullptr, L"I", nullptr, nullptr}, {L"", L"I", nullptr, nullptr},
      {L"T", nullptr, L"T", nullptr},    {L"T", L"", L"T", nullptr},
      {L"T", L"I", L"T", L"I"},
  };
  for (const Case& c : cases) {
    m_clErr.Reset();
    m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 1, nullptr, 1);
    m_clErr.SetInfoNames(c.pszTable, c.pszItem);
    EXPECT_EQ(W(m_clErr.pszGetLogicalTableName()), W(c.pszWantTable)) << W(c.pszTable);
    EXPECT_EQ(W(m_clErr.pszGetItemName()), W(c.pszWantItem)) << W(c.pszItem);
  }
}

// ---------------------------------------------------------------------------
// The composed text and the detail of the adding operations
// ---------------------------------------------------------------------------

TEST_F(naerror, TextHoldsTheLocationLineAndTheLibraryModule) {
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 2, 1, &m_clCnx, 1);
  const std::wstring s = Text();
  EXPECT_TRUE(bContains(s, L"IEKXMARIA=2.1\r\nModule=<KXMARIA>\r\nVersion=<20.0.10.0>")) << Show(s);
  EXPECT_TRUE(bContains(s, L"Module: kx200maria64.so, version 20.0.10.0")) << Show(s);
  // The module word appears only in the location line.
  EXPECT_EQ(nCount(s, L"KXMARIA"), 2u) << Show(s);
  EXPECT_TRUE(bContains(s, kszNativeLine)) << Show(s);
  EXPECT_EQ(W(m_clErr.StringDump().pszGet()), s);
}

TEST_F(naerror, NoDetailFlagLeavesOutLocationAndConnectionLines) {
  m_clCnx.SetDataBase(L"sales");
  struct Case {
    const char* pszName;
    std::function<void(CNAError&, CNAConnectionDescription*)> fnAdd;
    bool bWritesLocation;
  };
  const std::vector<Case> cases = {
      {"AddError with arguments",
       [](CNAError& e, CNAConnectionDescription* c) { e.AddError(NA_ERRORTYPE_GENERIC, 2, 1, c, 1); },
       true},
      {"AddError without arguments",
       [](CNAError& e, CNAConnectionDescription* c) { e.AddError(NA_ERRORTYPE_GENERIC, 1u, 2, 1, c); },
       true},
      {"AddErrorFirst",
       [](CNAError& e, CNAConnectionDescription* c) {
         e.AddErrorFirst(NA_ERRORTYPE_GENERIC, 2, 1, c, 4);
       },
       true},
      {"SetAnyError",
       [](CNAError& e, CNAConnectionDescription* c) {
         e.SetAnyError(1, 19, 5, 2, 1, c, L"T", L"I");
       },
       true},
      {"_SetDataBaseError",
       [](CNAError& e, CNAConnectionDescription* c) {
         e._SetDataBaseError(NA_ERRORTYPE_GENERIC, c, 22, 1205, L"lock wait", L"T", L"I");
       },
       false},
      {"AddError of an error",
       [](CNAError& e, CNAConnectionDescription* c) {
         _CXErrorModule76 clErr(1u);
         e.AddError(NA_ERRORTYPE_GENERIC, &clErr, c);
       },
       false},
  };
  for (const Case& c : cases) {
    for (int bNoDetail = 0; bNoDetail <= 1; ++bNoDetail) {
      CNAError clErr;
      CRecordingConnection clCnx;
      clCnx.SetDataBase(L"sales");
      clErr.SetNoDetail(bNoDetail);
      // Twice: the main error, then a sub-error.
      c.fnAdd(clErr, &clCnx);
      c.fnAdd(clErr, &clCnx);
      ASSERT_EQ(clErr.pclGetXError()->nGetNbSubError(), 1) << c.pszName;
      const std::wstring s = W(clErr.pszGetError());
      if (bNoDetail) {
        EXPECT_FALSE(bContains(s, L"IEKXMARIA")) << c.pszName << "\n" << Show(s);
        EXPECT_FALSE(bContains(s, kszNativeLine)) << c.pszName << "\n" << Show(s);
        EXPECT_EQ(clCnx.m_nNativeCalls, 0) << c.pszName;
      } else {
        EXPECT_EQ(nCount(s, L"IEKXMARIA=2.1"), c.bWritesLocation ? 2u : 0u)
            << c.pszName << "\n" << Show(s);
        EXPECT_EQ(nCount(s, kszNativeLine), 1u) << c.pszName << "\n" << Show(s);
        EXPECT_EQ(clCnx.m_nNativeCalls, 1) << c.pszName;
      }
    }
  }
}

TEST_F(naerror, InternalReportGoesInAsTheMainError) {
  const _CXErrorModule76 clReport = clInternalError(12, 3, L"ORDERS", L"TOTAL", 53, 19, 5, L"x");
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, &clReport, &m_clCnx);
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_GENERIC);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 53u);
  EXPECT_EQ(W(m_clErr.pszGetLogicalTableName()), L"ORDERS");
  EXPECT_EQ(W(m_clErr.pszGetItemName()), L"TOTAL");
  const std::wstring s = Text();
  EXPECT_TRUE(bContains(s, L"IEKXMARIA=12.3")) << Show(s);
  EXPECT_TRUE(bContains(s, L"EIT_NATIVECODE : <53>")) << Show(s);
  EXPECT_TRUE(bContains(s, kszNativeLine)) << Show(s);

  // The static forms write what the report writes.
  _CXErrorModule76 clOwn(53u, 19, 5, L"x");
  CNAError::g_SetInfoNames(&clOwn, L"ORDERS", L"TOTAL");
  CNAError::g_AddDebugInfo(&clOwn, 12, 3);
  EXPECT_EQ(W(clOwn.pszGetDebugMessage()), W(clReport.pszGetDebugMessage()));
  void* pValue = nullptr;
  ASSERT_TRUE(clOwn.bGetInfo(EIT_ITEMNAME, &pValue));
  EXPECT_EQ(W(static_cast<const wchar_t*>(pValue)), L"TOTAL");
}

TEST_F(naerror, DataBaseErrorCarriesNameCodeMessageAndNames) {
  m_clCnx.SetDataBase(L"sales");
  m_clErr._SetDataBaseError(NA_ERRORTYPE_LOCK, &m_clCnx, 22, 1205, L"Lock wait timeout", L"T",
                            L"I");
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_LOCK);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 22u);
  EXPECT_EQ(m_clErr.dwGetDataBaseErrorCode(), 1205u);
  EXPECT_EQ(W(m_clErr.pszGetSystemErrorMessage()), L"Lock wait timeout");
  EXPECT_EQ(W(m_clErr.pclGetXError()->pszGetUserMessage()),
            L"The server sales returned error 1205.\r\nLock wait timeout");
  EXPECT_EQ(W(m_clErr.pszGetItemName()), L"I");
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 1);

  // A second one, without connection, message or code, is a sub-error.
  m_clErr._SetDataBaseError(NA_ERRORTYPE_GENERIC, nullptr, 22, 0, L"", nullptr, L"I");
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_LOCK);
  ASSERT_EQ(nSubs(), 1);
  EXPECT_EQ(W(pclSub(0)->pszGetUserMessage()), L"The server  returned error 0.");
  EXPECT_FALSE(pclSub(0)->bHasInfo(EIT_BASECODE));
  EXPECT_FALSE(pclSub(0)->bHasInfo(EIT_ITEMNAME));
  EXPECT_EQ(m_clErr.dwGetDataBaseErrorCode(), 0u);  // the last error's
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 1);
}

// ---------------------------------------------------------------------------
// Guards
// ---------------------------------------------------------------------------

TEST_F(naerror, SetErrorLevelOneIsAFullReset) {
  m_clErr.AddError(NA_ERRORTYPE_DUPLICATE, 1, 1, &m_clCnx, 1);
  m_clErr.SetErrorLevel(NAERRORLEVEL_NONE);
  ExpectEmpty();
  // The next failure is a main error again, not a sub-error of an empty one.
  m_clErr.AddError(NA_ERRORTYPE_LOCK, 1, 2, &m_clCnx, 4);
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_LOCK);
  EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_ERROR);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 4u);
  EXPECT_EQ(nSubs(), 0);
}

TEST_F(naerror, SetErrorLevelPassesTwoAndThreeAndIgnoresOthers) {
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 1, nullptr, 1);
  m_clErr.SetErrorLevel(NAERRORLEVEL_WARNING);
  EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_WARNING);
  m_clErr.SetErrorLevel(static_cast<eNAERRORLEVEL>(4));
  m_clErr.SetErrorLevel(static_cast<eNAERRORLEVEL>(0));
  EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_WARNING);
  m_clErr.SetErrorLevel(NAERRORLEVEL_ERROR);
  EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_ERROR);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 1u);
}

TEST_F(naerror, SetAnyErrorKinds) {
  struct Case {
    int nKind;
    std::uint32_t dwWantCode;
  };
  // Unlisted kinds (a failed cast's 108 and others) read as the plain
  // conversion failure, never as "no error".
  const Case cases[] = {{1, 65},   {101, 61}, {104, 66}, {105, 60}, {106, 64}, {107, 63},
                        {108, 65}, {2, 65},   {99, 65},  {-1, 65}};
  for (const Case& c : cases) {
    m_clErr.Reset();
    m_clErr.SetAnyError(c.nKind, 19, 5, 7, 8, &m_clCnx, L"T", L"I");
    EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_GENERIC) << c.nKind;
    EXPECT_EQ(m_clErr.eGetErrorLevel(), NAERRORLEVEL_ERROR) << c.nKind;
    EXPECT_EQ(m_clErr.dwGetErrorId(), c.dwWantCode) << c.nKind;
    EXPECT_EQ(W(m_clErr.pszGetItemName()), L"I") << c.nKind;
    EXPECT_TRUE(bContains(Text(), L"IEKXMARIA=7.8")) << c.nKind;
  }
  m_clErr.Reset();
  m_clErr.SetAnyError(108, 19, 5, 7, 8, nullptr, nullptr, nullptr);
  EXPECT_EQ(W(m_clErr.pclGetXError()->pszGetUserMessage()),
            L"Conversion of a value of type 19 to type 5 failed.");

  // Out of memory: the system error 12.
  m_clErr.Reset();
  m_clErr.SetAnyError(100, 0, 0, 7, 8, nullptr, nullptr, nullptr);
  EXPECT_EQ(m_clErr.dwGetSystemErrorCode(), 12u);
  EXPECT_NE(m_clErr.eGetErrorLevel(), NAERRORLEVEL_NONE);

  // With an error held, an unlisted kind is a sub-error of level 3.
  m_clErr.Reset();
  m_clErr.AddError(NA_ERRORTYPE_LOCK, 1, 1, nullptr, 1);
  m_clErr.SetAnyError(108, 19, 5, 7, 8, &m_clCnx, L"T", L"I");
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_LOCK);
  ASSERT_EQ(nSubs(), 1);
  EXPECT_EQ(pclSub(0)->nGetUserErrorCode(), 65u);
  EXPECT_EQ(pclSub(0)->eGetErrorLevel(), ERRORLEVEL_ERROR);
  EXPECT_TRUE(pclSub(0)->bHasInfo(EIT_ITEMNAME));
}

TEST_F(naerror, NullErrorArgumentsAreIgnored) {
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, static_cast<const CXError*>(nullptr), &m_clCnx);
  m_clErr.Copy(nullptr);
  m_clErr.AddSubError(nullptr);
  CNAError::g_SetInfoNames(nullptr, L"T", L"I");
  CNAError::g_AddDebugInfo(nullptr, 1, 2);
  CNAError::g_AddInfoNative(nullptr, &m_clCnx);
  ExpectEmpty();
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 0);
  // A null connection adds nothing either.
  CNAError::g_AddInfoNative(m_clErr.pclGetXError(), nullptr);
  EXPECT_FALSE(m_clErr.pclGetXError()->bHasInfo(EIT_INFOSERVEUR));
}

TEST_F(naerror, AddSubErrorSkipsAnErrorWithoutError) {
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 1, nullptr, 1);
  const _CXErrorModule76 clNone;
  m_clErr.AddSubError(&clNone);
  EXPECT_EQ(nSubs(), 0);
  const _CXErrorModule76 clOne(4u);
  m_clErr.AddSubError(&clOne);
  ASSERT_EQ(nSubs(), 1);
  EXPECT_EQ(pclSub(0)->nGetUserErrorCode(), 4u);
  // The type is untouched by AddSubError.
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_GENERIC);
}

// ---------------------------------------------------------------------------
// Last-error operations, copy, native information, holder count
// ---------------------------------------------------------------------------

TEST_F(naerror, LastErrorOperationsActOnTheLastSubError) {
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 1, nullptr, 1);
  m_clErr.SetDataBaseErrorCode(1062);
  EXPECT_EQ(m_clErr.dwGetDataBaseErrorCode(), 1062u);
  m_clErr.AddError(NA_ERRORTYPE_GENERIC, 1, 2, nullptr, 4);
  CXError* pclLast = pclSub(0);
  EXPECT_EQ(m_clErr.dwGetDataBaseErrorCode(), 0u);
  EXPECT_EQ(m_clErr.nGetUserErrorCode(), 4u);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 1u);

  m_clErr.SetDataBaseErrorCode(1205);
  m_clErr.SetDataBaseErrorMessage(L"deadlock");
  const std::int32_t nAdo = 17;
  pclLast->AddInfo(EIT_ADOCODE, &nAdo);
  EXPECT_EQ(m_clErr.dwGetDataBaseErrorCode(), 1205u);
  EXPECT_EQ(m_clErr.dwGetADOErrorCode(), 17u);
  EXPECT_TRUE(pclLast->bHasInfo(EIT_BASEMESSAGE));
  EXPECT_FALSE(m_clErr.pclGetXError()->bHasInfo(EIT_BASEMESSAGE));

  pclLast->SetSystemErrorMessage(L"refused");
  m_clErr.SetSystemErrorCode(111);
  EXPECT_EQ(m_clErr.dwGetSystemErrorCode(), 111u);
  EXPECT_EQ(W(m_clErr.pszGetSystemErrorMessage()), L"refused");

  pclLast->RAZUserMessage();
  m_clErr.AddUserMessage(25624);
  m_clErr.AddUserMessageNoFormat(L"tail");
  m_clErr.AddUserMessageFirst(25625);
  EXPECT_EQ(W(pclLast->pszGetUserMessage()),
            std::wstring(kszNotOpen) + L"\r\n" + kszNoItem + L"\r\ntail");

  const std::wstring sDebug = W(pclLast->pszGetDebugMessage());
  m_clErr.AddDebugMessageNoFormatFirst(L"");
  m_clErr.AddDebugMessageNoFormatFirst(nullptr);
  EXPECT_EQ(W(pclLast->pszGetDebugMessage()), sDebug);
  m_clErr.AddDebugMessageNoFormatFirst(L"first");
  m_clErr.AddDebugMessageNoFormat(L"last");
  m_clErr.AddDebugMessage(28437);
  m_clErr.AddDebugInfo(9, 9);
  EXPECT_EQ(W(pclLast->pszGetDebugMessage()),
            L"first\r\n" + sDebug + L"\r\nlast\r\nThis operation is not supported by the "
            L"MariaDB/MySQL access.\r\nIEKXMARIA=9.9\r\nModule=<KXMARIA>\r\nVersion=<20.0.10.0>");
  EXPECT_FALSE(bContains(W(m_clErr.pclGetXError()->pszGetDebugMessage()), L"first"));
}

TEST_F(naerror, CopyTakesTheOthersTypeAndError) {
  CNAError clOther;
  clOther.AddError(NA_ERRORTYPE_DIRECTQUERY, 3, 4, nullptr, 1);
  clOther.SetInfoNames(L"T", L"I");
  clOther.AddError(NA_ERRORTYPE_GENERIC, 3, 5, nullptr, 4);
  m_clErr.AddError(NA_ERRORTYPE_LOCK, 1, 1, nullptr, 8);
  m_clErr.Copy(&clOther);
  EXPECT_EQ(m_clErr.eGetErrorType(), NA_ERRORTYPE_DIRECTQUERY);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 1u);
  EXPECT_EQ(W(m_clErr.pszGetItemName()), L"I");
  EXPECT_EQ(nSubs(), 1);
  EXPECT_EQ(W(m_clErr.pszGetError()), W(clOther.pszGetError()));
  m_clErr.Copy(&m_clErr);
  EXPECT_EQ(m_clErr.dwGetErrorId(), 1u);
}

TEST_F(naerror, NativeInformationReachesAnErrorOfAnyClass) {
  CXError clPlain(&gstMyModuleInfo76);
  clPlain.SetUserError(&gstMyModuleInfo76, 4);
  CNAError::g_AddInfoNative(&clPlain, &m_clCnx);
  EXPECT_EQ(m_clCnx.m_nNativeCalls, 1);
  EXPECT_TRUE(clPlain.bHasInfo(EIT_INFOSERVEUR));
  EXPECT_EQ(clPlain.nGetUserErrorCode(), 4u);
  EXPECT_EQ(W(clPlain.pszGetUserMessage()), kszNotOpen);
}

TEST_F(naerror, ConnectionDataBaseNameIsTheTextSet) {
  EXPECT_EQ(m_clCnx.pszGetDataBase(), nullptr);
  m_clCnx.SetDataBase(L"sales");
  EXPECT_EQ(W(m_clCnx.pszGetDataBase()), L"sales");
  m_clCnx.SetDataBase(nullptr);
  EXPECT_EQ(m_clCnx.pszGetDataBase(), nullptr);
  const kxtest::TestConnection clBase;
  EXPECT_EQ(clBase.bDBTypeUnkwnownByDB(12), 0);
}

TEST(naerror_holders, LastHolderDeletesAndReleaseAtZeroDoesNothing) {
  CNAError* pclErr = new CNAError;
  pclErr->AddRef();
  pclErr->AddRef();
  EXPECT_EQ(pclErr->nGetHolderCount(), 2u);
  EXPECT_EQ(pclErr->nRelease(), 1u);
  pclErr->AddError(NA_ERRORTYPE_GENERIC, 1, 1, nullptr, 1);
  EXPECT_EQ(pclErr->nRelease(), 0u);  // deleted here (the leak check sees it)

  CNAError clLocal;
  EXPECT_EQ(clLocal.nRelease(), 0u);
  EXPECT_EQ(clLocal.nGetHolderCount(), 0u);
}

// ---------------------------------------------------------------------------
// The runtime's view: operations called by slot number
// ---------------------------------------------------------------------------

template <typename R>
R CallSlot(INAError* pi, int nSlot) {
  using Fn = R (*)(INAError*);
  void** pVtbl = *reinterpret_cast<void***>(pi);
  return reinterpret_cast<Fn>(pVtbl[nSlot])(pi);
}

TEST(naerror_slots, EveryOperationAnswersFromItsSlot) {
  CNAError* pclErr = new CNAError;
  INAError* pi = pclErr;
  pclErr->AddError(NA_ERRORTYPE_DUPLICATE, 2, 1, nullptr, 4);
  pclErr->SetInfoNames(L"T", L"I");

  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 0), 1u);
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 1), 1u);
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 2), 0xFFFFFFFFu);
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 3), 0xFFFFFFFFu);
  CallSlot<void>(pi, 4);
  const std::wstring s = W(CallSlot<const wchar_t*>(pi, 5));
  EXPECT_TRUE(bContains(s, kszNotOpen));
  EXPECT_TRUE(bContains(s, L"IEKXMARIA=2.1"));
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 6), 4u);
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 7), static_cast<std::uint32_t>(NA_ERRORTYPE_DUPLICATE));
  EXPECT_EQ(W(CallSlot<const wchar_t*>(pi, 8)), L"T");
  EXPECT_EQ(W(CallSlot<const wchar_t*>(pi, 9)), L"I");
  EXPECT_EQ(CallSlot<CXError*>(pi, 10), pclErr->pclGetXError());
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 11), 3u);
  for (int nSlot = 12; nSlot <= 16; ++nSlot) CallSlot<void>(pi, nSlot);
  EXPECT_EQ(pclErr->dwGetErrorId(), 4u);  // the empty slots changed nothing

  CallSlot<void>(pi, 19);  // Reset
  EXPECT_EQ(pclErr->eGetErrorType(), NA_ERRORTYPE_NONE);
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 11), 1u);
  EXPECT_EQ(CallSlot<std::uint32_t>(pi, 6), 0u);
  EXPECT_EQ(CallSlot<const wchar_t*>(pi, 8), nullptr);

  pclErr->AddError(NA_ERRORTYPE_GENERIC, 1, 1, nullptr, 1);
  CallSlot<void>(pi, 18);  // deleting destructor: the leak check sees a miss
}

}  // namespace
