// The test connection: the smallest concrete connection, for tests of the
// connection description and of everything built on it.
//
// It defines the four operations every concrete connection must define:
// bOpen, bIsOpen and bClose answer what the test sets (and count their
// calls); _InitXQ2NativeType enters nothing. Its data-source kind is
// settable; kind 5 uses the backquote as both name quotes, as the
// MariaDB/MySQL connection does, every other kind has no quotes. The
// nesting flag (1: nested transactions, 0: counted begins) is settable.
// Every field of the description is readable and writable by tests.
//
// TestHostDescription: a plain runtime description for programs that do not
// link the stand-in platform: every answer is a public field (texts null
// unless set), no counting and no checks.
//
// Neither needs the stand-in library.
#pragma once

#include <cstdint>

#include "CNAConnectionDescription.h"
#include "INAConnectionDescription.h"

namespace kxtest {

class TestHostDescription : public INAConnectionDescription {
 public:
  TestHostDescription() = default;
  virtual ~TestHostDescription() = default;

  std::uint32_t nGetVersion() override { return nVersion; }
  std::uint32_t nGetCompatSince() override { return 0; }
  std::uint32_t nGetNAVersion() override { return 0; }
  std::uint32_t nGetNACompatSince() override { return 0; }
  void NAVersion_EmptySlot_3() override {}
  void ExternalAddRef() override { ++nExternalCount; }
  std::uint32_t nExternalRelease() override { return nExternalCount > 0 ? --nExternalCount : 0; }
  const wchar_t* pszGetUserName() override { return pszUser; }
  const wchar_t* pszGetPassword() override { return pszPassword; }
  const wchar_t* pszGetDataSource() override { return pszDataSource; }
  const wchar_t* pszGetDescription() override { return pszDescription; }
  int nGetAccess() override { return nAccess; }
  int nGetNbParam() override { return 0; }
  INAConnectionParameter* piGetParam(int /*nIndex*/) override { return nullptr; }
  const wchar_t* pszGetProvider() override { return pszProvider; }
  int nGetConnectionTimeout() override { return nConnectionTimeout; }
  int nGetCommandTimeout() override { return nCommandTimeout; }
  const wchar_t* pszGetExtendedInfo() override { return pszExtendedInfo; }
  const stNAConnectionObject* pstGetConnectionObject() override { return nullptr; }
  std::int32_t lGetCursorOptions() override { return lCursorOptions; }
  void EmptySlot20() override {}
  const wchar_t* pszGetDefaultDataBase() override { return pszDefaultDataBase; }
  std::int64_t llGetCacheSize() override { return llCacheSize; }
  void EmptySlot23() override {}
  void EmptySlot24() override {}
  const wchar_t* pszGetLogicalConnectionName() override { return nullptr; }

  std::uint32_t nVersion = 4;
  std::uint32_t nExternalCount = 0;
  const wchar_t* pszUser = nullptr;
  const wchar_t* pszPassword = nullptr;
  const wchar_t* pszDataSource = nullptr;
  const wchar_t* pszDescription = nullptr;
  const wchar_t* pszProvider = nullptr;
  const wchar_t* pszExtendedInfo = nullptr;
  const wchar_t* pszDefaultDataBase = nullptr;
  int nAccess = 0;
  int nConnectionTimeout = -1;
  int nCommandTimeout = -1;
  std::int32_t lCursorOptions = 0;
  std::int64_t llCacheSize = -2;
};

class TestConnection : public CNAConnectionDescription {
 public:
  // A connection of `kind` on `host` (may be null; not owned, must outlive
  // the connection).
  explicit TestConnection(INAConnectionDescription* host = nullptr,
                          const wchar_t* identification = L"test connection",
                          eDATASOURCE kind = DATASOURCE_MARIADB);
  ~TestConnection() override;

  int bOpen(CNAError* error) override;
  int bIsOpen() override;
  int bClose(CNAError* error) override;
  void _InitXQ2NativeType() override;

  // The kind, and with it the name quotes (see above).
  void SetKind(eDATASOURCE kind);
  void SetKind(int kind) { SetKind(static_cast<eDATASOURCE>(kind)); }
  // 1: nested transactions (the default), 0: counted begins.
  void SetNesting(int nested) { m_bOneTransactionPerBegin = nested; }

  // Answers of the three operations, and how often each was called.
  int m_bOpenAnswer = 1;
  int m_bIsOpenAnswer = 1;
  int m_bCloseAnswer = 1;
  int m_nOpenCalls = 0;
  int m_nCloseCalls = 0;

  // Every field of the description, for reading and setting.
  using CNAConnectionDescription::_BuildConnexionString;
  using CNAConnectionDescription::m_bAutoCloseEnabled;
  using CNAConnectionDescription::m_bDateAsQuotedText;
  using CNAConnectionDescription::m_bOneTransactionPerBegin;
  using CNAConnectionDescription::m_bUnicodeTypesAllowed;
  using CNAConnectionDescription::m_csApplicationName;
  using CNAConnectionDescription::m_csBinaryPrefix;
  using CNAConnectionDescription::m_csBinarySuffix;
  using CNAConnectionDescription::m_csClientLibraryWanted;
  using CNAConnectionDescription::m_csClientVersionWanted;
  using CNAConnectionDescription::m_csClosingQuote;
  using CNAConnectionDescription::m_csDefaultDataBase;
  using CNAConnectionDescription::m_csExtendedInfo;
  using CNAConnectionDescription::m_csOpeningQuote;
  using CNAConnectionDescription::m_csRecordLock;
  using CNAConnectionDescription::m_csServerVersion;
  using CNAConnectionDescription::m_csSSLCA;
  using CNAConnectionDescription::m_csSSLCAPath;
  using CNAConnectionDescription::m_csSSLCert;
  using CNAConnectionDescription::m_csSSLCipher;
  using CNAConnectionDescription::m_csSSLKey;
  using CNAConnectionDescription::m_csSSLMode;
  using CNAConnectionDescription::m_eCursorLocation;
  using CNAConnectionDescription::m_eDataSource;
  using CNAConnectionDescription::m_llCacheSize;
  using CNAConnectionDescription::m_nApplicationCodePage;
  using CNAConnectionDescription::m_nClosingQuoteLength;
  using CNAConnectionDescription::m_nCommandTimeout;
  using CNAConnectionDescription::m_nConnectionStringCapacity;
  using CNAConnectionDescription::m_nConnectionStringLength;
  using CNAConnectionDescription::m_nConnectionTimeout;
  using CNAConnectionDescription::m_nDataBaseCodePage;
  using CNAConnectionDescription::m_nLockTimeout;
  using CNAConnectionDescription::m_nOpeningQuoteLength;
  using CNAConnectionDescription::m_nServerMajor;
  using CNAConnectionDescription::m_nServerMinor;
  using CNAConnectionDescription::m_nServerRelease;
  using CNAConnectionDescription::m_nSQLRuntime;
  using CNAConnectionDescription::m_nTransactionNesting;
  using CNAConnectionDescription::m_nUnicodeSupport;
  using CNAConnectionDescription::m_pclCurrentTransaction;
  using CNAConnectionDescription::m_pclMapConvertType;
};

// A MariaDB-kind connection in UTF-8 whose ordering and date answers a test
// picks (by default those of the MariaDB connection: NULL first, no zero
// date as NULL, no time items), for the condition and search writers.
class AnswerConnection : public TestConnection {
 public:
  AnswerConnection() {
    m_nDataBaseCodePage = 65001;
    m_nApplicationCodePage = 1252;
  }
  int bNULLBeforeNotNULL() override { return bNullFirst; }
  int bTreat0000DateAsNULL() override { return bZeroDateNull; }
  int bSupportItemTime() override { return bTime; }
  int bNullFirst = 1;
  int bZeroDateNull = 0;
  int bTime = 0;
};

}  // namespace kxtest
