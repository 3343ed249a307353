#include "CMySQLConnection.h"

#include <dlfcn.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "CNACodePageCnv.h"
#include "CNADriver.h"
#include "CNADriverSQL.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CNAStatementSQL.h"
#include "CTNBIN.h"
#include "CTStringConcatAW.h"
#include "CXError.h"
#include "CXYString.h"
#include "CodePage.h"
#include "SharedStringBlock.h"
#include "StrFunctions.h"

std::int32_t CMySQLConnection::gbUseNextResult = 0;
std::int32_t CMySQLConnection::gbConnectorC = 0;

namespace {

// Location lines of the reporting places (source 101).
constexpr int knPosSSLMissing = 1;
constexpr int knPosCharsetMissing = 2;
constexpr int knPosEscapeMemory = 3;
constexpr int knPosOptions = 4;
constexpr int knPosConnect = 5;
constexpr int knPosInit = 6;
constexpr int knPosClientInfo = 7;
constexpr int knPosClose = 8;
constexpr int knPosEscape = 9;
constexpr int knPosQuery = 10;
constexpr int knPosResult = 11;
constexpr int knPosError = 12;
constexpr int knPosErrno = 13;
constexpr int knPosNoHandle = 14;
constexpr int knPosServerInfo = 15;
constexpr int knPosConnectRefused = 16;
constexpr int knPosQueryRefused = 17;
constexpr int knPosSSL = 18;
constexpr int knPosSSLRefused = 19;
constexpr int knPosCharsetRefused = 20;
constexpr int knPosInitFailed = 21;
constexpr int knPosSSLFailed = 22;
constexpr int knPosConnectFailed = 23;
constexpr int knPosConversion = 24;
constexpr int knPosConnectNoDatabase = 27;

constexpr unsigned int knCodePage1252 = 1252;
constexpr unsigned int knCodePageUTF8 = 65001;

// The client library's documented values.
constexpr int knOptionCharsetName = 7;  // MYSQL_SET_CHARSET_NAME
constexpr unsigned long knClientFoundRows = 2;
constexpr unsigned long knClientMultiStatements = 0x10000;
constexpr unsigned long knClientRememberOptions = 0x80000000ul;
// The server's "unknown database".
constexpr unsigned int knErrBadDatabase = 1049;

// Null for an empty text, so the client library takes its default.
const wchar_t* NullIfEmpty(const CTString& cs) { return cs.nTaille() > 0 ? cs.pszGet() : nullptr; }

// The leading decimal number of the text; 0 when it does not start with one
// (so "0x20" reads as 0).
int nLeadingDecimal(const CTString& cs) {
  int n = 0;
  return std::swscanf(cs.pszGet(), L"%d", &n) == 1 ? n : 0;
}

// Version scan: digits up to the first non-digit make the major number,
// those up to the second the minor one ("10.4.7": 10 and 4).
void ScanClientVersion(const char* psz, std::int32_t* major, std::int32_t* minor) {
  *major = 0;
  *minor = 0;
  std::int32_t* apn[2] = {major, minor};
  const char* p = psz != nullptr ? psz : "";
  for (std::int32_t* pn : apn) {
    for (; *p >= '0' && *p <= '9'; ++p) *pn = *pn * 10 + (*p - '0');
    if (*p == 0) break;
    ++p;
  }
}

bool bVersionAtLeast41(std::int32_t major, std::int32_t minor) {
  return major > 4 || (major == 4 && minor >= 1);
}

}  // namespace

CMySQLConnection::CMySQLConnection(const wchar_t* name, INAConnectionDescription* description)
    : CNAConnectionDescription(name, description) {
  m_eDataSource = DATASOURCE_MARIADB;
  m_csOpeningQuote.Set(L"`");
  m_nOpeningQuoteLength = 1;
  m_csClosingQuote.Set(L"`");
  m_nClosingQuoteLength = 1;
}

CMySQLConnection::~CMySQLConnection() {
  if (m_bOpen) bClose(nullptr);
}

void CMySQLConnection::g_TermNativeLibrary() {}

int CMySQLConnection::bIsOpen() { return m_bOpen; }

int CMySQLConnection::bSupportOrderByMemo() { return 1; }

// ---------------------------------------------------------------------------
// Keys and versions
// ---------------------------------------------------------------------------

int CMySQLConnection::nGetPort() {
  CTString cs;
  int bFound = 0;
  _bGetExtendedParameter(&cs, &bFound, L"Server Port", 0);
  return bFound ? nLeadingDecimal(cs) : 0;
}

int CMySQLConnection::nGetClientFlag() {
  CTString cs;
  int bFound = 0;
  _bGetExtendedParameter(&cs, &bFound, L"Client Flag", 0);
  return bFound ? nLeadingDecimal(cs) : 0;
}

int CMySQLConnection::bGetUnixSocket(CTString* out) {
  CTString cs;
  int bFound = 0;
  _bGetExtendedParameter(&cs, &bFound, L"Unix Socket", 0);
  if (out != nullptr) out->Set(cs.pszGet());
  return bFound;
}

int CMySQLConnection::bClientVersionGreaterThan4_1() {
  // Connector/C numbers its own releases (3.x): its version text says
  // nothing about the protocol, which is the newest.
  if (gbConnectorC) return 1;
  return bVersionAtLeast41(m_nClientVersionMajor, m_nClientVersionMinor) ? 1 : 0;
}

int CMySQLConnection::bServerVersionGreaterThan4_1() const {
  return bVersionAtLeast41(m_nServerMajor, m_nServerMinor) ? 1 : 0;
}

int CMySQLConnection::bServerVersionGreaterThan4_1_2() const {
  if (m_nServerMajor > 4) return 1;
  if (m_nServerMajor < 4) return 0;
  if (m_nServerMinor != 1) return m_nServerMinor > 1 ? 1 : 0;
  return m_nServerRelease > 1 ? 1 : 0;
}

int CMySQLConnection::bMultipleRecordsetEnabled() const {
  return gbUseNextResult && bClientVersionGreaterThan4_1() ? 1 : 0;
}

// ---------------------------------------------------------------------------
// The client-call guard and the server's errors
// ---------------------------------------------------------------------------

void CMySQLConnection::_AddGuardError(CNAError* error, unsigned int nCode,
                                      const wchar_t* pszArgument, int nPosition) {
  _CXErrorModule76 clErr(nCode, pszArgument);
  CNAError::g_SetInfoNames(&clErr, nullptr, nullptr);
  const std::int32_t nNativeCode = static_cast<std::int32_t>(nCode);
  clErr.AddInfo(EIT_NATIVECODE, &nNativeCode);
  CNAError::g_AddDebugInfo(&clErr, knSource, nPosition);
  const bool bFatal = nCode != knErrFunctionMissing;
  // A failure inside the client is worth reporting even to a caller that
  // passed no error object: the driver's own takes it.
  if (error == nullptr && bFatal && CNADriver::s_pclDriver != nullptr)
    error = CNADriver::s_pclDriver->pclGetError();
  if (error == nullptr) return;
  error->AddError(NA_ERRORTYPE_GENERIC, &clErr, this);
  if (bFatal && CNADriver::s_pclDriver != nullptr)
    CNADriver::s_pclDriver->OnFatalErrorAddDebugMessage(error, this);
}

bool CMySQLConnection::_bCheckHandle(CNAError* error, int nPosition) {
  if (m_pMySQL != nullptr) return true;
  if (error != nullptr)
    error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, nPosition, this, knErrConnect);
  return false;
}

int CMySQLConnection::bGetLastError(CNAError* error, unsigned* code) {
  if (code != nullptr) *code = 0;
  if (!_bCheckHandle(error, knPosNoHandle)) return 0;
  unsigned int nNumber = 0;
  if (!_bGuard(error, knPosErrno, [&] { nNumber = __mysql_errno(m_pMySQL); })) return 0;
  if (code != nullptr) *code = nNumber;
  return 1;
}

int CMySQLConnection::bInitError(CNAError* error, unsigned source, unsigned position) {
  unsigned int nNumber = 0;
  const int bRead = bGetLastError(error, &nNumber);
  if (nNumber == 0) return bRead;
  const char* pszMessage = nullptr;
  const bool bMessage = _bGuard(error, knPosError, [&] { pszMessage = __mysql_error(m_pMySQL); });
  const wchar_t* pszServer = pszGetDataBase();
  _CXErrorModule76 clErr(knErrServer, pszServer != nullptr ? pszServer : L"",
                         static_cast<int>(nNumber));
  const CNACodePageCnvOUTPtr clMessage(bMessage ? pszMessage : nullptr,
                                       static_cast<unsigned int>(m_nDataBaseCodePage));
  if (clMessage.pszGet() != nullptr && *clMessage.pszGet() != 0)
    clErr.AddUserMessageNoFormat(clMessage.pszGet());
  CNAError::g_AddDebugInfo(&clErr, static_cast<int>(source), static_cast<int>(position));
  const std::int32_t nCode = static_cast<std::int32_t>(nNumber);
  clErr.AddInfo(EIT_BASECODE, &nCode);
  if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, &clErr, this);
  return bMessage ? 1 : 0;
}

eNA_ERRORTYPE CMySQLConnection::eGetNAErrorType(unsigned number) {
  switch (number) {
    case 1062: return NA_ERRORTYPE_DUPLICATE;
    case 1205: return NA_ERRORTYPE_LOCK;
    case 1048: return NA_ERRORTYPE_MANDATORY;
    default: return NA_ERRORTYPE_GENERIC;
  }
}

// ---------------------------------------------------------------------------
// The client library
// ---------------------------------------------------------------------------

int CMySQLConnection::_bLoadClientLibrary(CNAError* error) {
  if (!CNAFunctionLoader::g_bInitNative(error, &m_csClientLibrary,
                                        m_csClientLibraryWanted.pszGet(), 0))
    return 0;
  // Follows each load: a library loaded after another may lack the call.
  gbUseNextResult = __mysql_next_result != &DefaultError_mysql_next_result ? 1 : 0;
  // Connector/C exports its information call; the old clients do not.
  void* hLibrary = CNAFunctionLoader::g_hGetNativeLibHandle();
  gbConnectorC = hLibrary != nullptr && dlsym(hLibrary, "mariadb_get_infov") != nullptr ? 1 : 0;
  return _bGetClientLibraryVersion(error);
}

int CMySQLConnection::_bGetClientLibraryVersion(CNAError* error) {
  const char* pszVersion = nullptr;
  if (!_bGuard(error, knPosClientInfo, [&] { pszVersion = __mysql_get_client_info(); }))
    return 0;
  const CNACodePageCnvOUTPtr clVersion(pszVersion, knCodePage1252);
  m_csClientVersion.Set(clVersion.pszGet() != nullptr ? clVersion.pszGet() : L"");
  ScanClientVersion(pszVersion, &m_nClientVersionMajor, &m_nClientVersionMinor);
  return 1;
}

// ---------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------

int CMySQLConnection::bOpen(CNAError* error) { return _bOpenCreate(error, 0); }

int CMySQLConnection::bOpenCreate(CNAError* error) { return _bOpenCreate(error, 1); }

int CMySQLConnection::_bFailOpen() {
  if (m_pMySQL != nullptr) {
    // The failure is recorded already: a failing close adds nothing to it.
    _bGuard(nullptr, knPosClose, [&] { __mysql_close(m_pMySQL); });
    m_pMySQL = nullptr;
  }
  m_bOpen = 0;
  return 0;
}

int CMySQLConnection::_bOpenCreate(CNAError* error, int bCreate) {
  if (m_bOpen) return 1;
  _InitCodePageFromTN();
  m_nDataBaseCodePage = static_cast<std::int32_t>(knCodePage1252);
  m_csSessionCharset.Vide();
  if (!CNAFunctionLoader::g_bLoaded() && !_bLoadClientLibrary(error)) return 0;

  // Every failed opening released its handle; a stale one is never reused.
  m_pMySQL = nullptr;
  st_mysql* pMySQL = nullptr;
  if (!_bGuard(error, knPosInit, [&] { pMySQL = __mysql_init(nullptr); })) {
    if (error != nullptr)
      error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosInitFailed, this, knErrInit);
    return 0;
  }
  if (pMySQL == nullptr) {
    if (error != nullptr) {
      error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosInitFailed, this, knErrInit);
      error->AddDebugMessageNoFormat(L"mysql_init returned NULL");
    }
    return 0;
  }
  m_pMySQL = pMySQL;

  const wchar_t* const apszSSL[5] = {NullIfEmpty(m_csSSLKey), NullIfEmpty(m_csSSLCert),
                                     NullIfEmpty(m_csSSLCA), NullIfEmpty(m_csSSLCAPath),
                                     NullIfEmpty(m_csSSLCipher)};
  bool bSSL = false;
  for (const wchar_t* psz : apszSSL) bSSL = bSSL || psz != nullptr;

  CTString csSocket;
  const int bSocket = bGetUnixSocket(&csSocket);
  const wchar_t* pszServer = pszGetDataBase();
  const wchar_t* pszUser = pszGetUserName();
  const wchar_t* pszPassword = pszGetPassword();
  const wchar_t* pszDatabase = pszGetDefaultDataBaseEx();
  const wchar_t* pszSocket = bSocket ? NullIfEmpty(csSocket) : nullptr;

  if (m_nUnicodeSupport &&
      !_bProcessUnicodeCnxParameters(error, bSSL ? 1 : 0, pszServer, pszUser, pszPassword,
                                     pszDatabase, pszSocket, apszSSL))
    return _bFailOpen();
  // A connection in code page 1252 names its character set, so that the
  // server reads its texts (the user name among them) as Latin-1.
  bool bSetNamesLatin1 = false;
  if (m_nDataBaseCodePage == static_cast<std::int32_t>(knCodePage1252)) {
    if (__mysql_options == &DefaultError_mysql_options)
      bSetNamesLatin1 = true;
    else if (!_bSetLatin1CharacterSet(error))
      return _bFailOpen();
  }
  if (bSSL && !_bSetSSLParameters(error, apszSSL)) return _bFailOpen();
  if (!_bOpenCreateDatabase(error, bCreate, pszServer, pszUser, pszPassword, pszDatabase,
                            pszSocket))
    return _bFailOpen();
  if (!_bGetServerVersion(error)) return _bFailOpen();

  if (m_nUnicodeSupport && bServerVersionGreaterThan4_1() && bClientVersionGreaterThan4_1()) {
    // The session must read what the library writes: UTF-8. 'utf8' is the
    // three-byte form on current servers, which sends every character
    // outside the basic plane (emoji, rare CJK) as '?' and refuses or
    // mangles it on writes; the four-byte form is asked first, the
    // three-byte one only from a server that does not know it. When both
    // are refused the server would read every text in its own default
    // character set: corrupted texts, escaping that no longer matches.
    CNAError clFirst;
    if (bExecuteQueryNoResult(&clFirst, L"SET NAMES 'utf8mb4'")) {
      m_csSessionCharset.Set(L"utf8mb4");
    } else if (bExecuteQueryNoResult(error, L"SET NAMES 'utf8'")) {
      m_csSessionCharset.Set(
          L"utf8 (the server refused utf8mb4: characters outside the basic plane are not kept)");
    } else {
      if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource,
                                                 knPosCharsetRefused, this, knErrConnect);
      bClose(nullptr);
      return _bFailOpen();
    }
    m_nDataBaseCodePage = static_cast<std::int32_t>(knCodePageUTF8);
    return m_bOpen;
  }
  m_nUnicodeSupport = 0;
  if (bSetNamesLatin1 && bServerVersionGreaterThan4_1() &&
      !bExecuteQueryNoResult(error, L"SET NAMES latin1")) {
    if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource,
                                               knPosCharsetRefused, this, knErrConnect);
    bClose(nullptr);
    return _bFailOpen();
  }
  return m_bOpen;
}

int CMySQLConnection::_bProcessUnicodeCnxParameters(CNAError* error, int bSSL,
                                                    const wchar_t* server, const wchar_t* user,
                                                    const wchar_t* password,
                                                    const wchar_t* database,
                                                    const wchar_t* socket,
                                                    const wchar_t* const ssl[5]) {
  bool bAllLatin1 = true;
  if (bSSL)
    for (int i = 0; i < 5; ++i) bAllLatin1 = bAllLatin1 && bLatin1(ssl[i]);
  const wchar_t* const apsz[5] = {server, user, password, database, socket};
  for (const wchar_t* psz : apsz) bAllLatin1 = bAllLatin1 && bLatin1(psz);
  if (bAllLatin1) return 1;

  if (__mysql_options == &DefaultError_mysql_options) {
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosCharsetMissing,
                                          this, knErrCharset, m_csClientVersion.pszGet());
    return 0;
  }
  // The four-byte form first (see the SET NAMES after connecting); a client
  // library that does not know it gets the three-byte one.
  int nResult = 1;
  const bool bCalled = _bGuard(error, knPosOptions, [&] {
    nResult = __mysql_options(m_pMySQL, static_cast<mysql_option>(knOptionCharsetName), "utf8mb4");
    if (nResult != 0)
      nResult = __mysql_options(m_pMySQL, static_cast<mysql_option>(knOptionCharsetName), "utf8");
  });
  if (bCalled && nResult == 0) {
    m_nDataBaseCodePage = static_cast<std::int32_t>(knCodePageUTF8);
    return 1;
  }
  if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosCharsetRefused,
                                             this, knErrCharset, m_csClientVersion.pszGet());
  return 0;
}

int CMySQLConnection::_bSetLatin1CharacterSet(CNAError* error) {
  int nResult = 1;
  const bool bCalled = _bGuard(error, knPosOptions, [&] {
    nResult = __mysql_options(m_pMySQL, static_cast<mysql_option>(knOptionCharsetName), "latin1");
  });
  if (bCalled && nResult == 0) return 1;
  if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosCharsetRefused,
                                             this, knErrCharset, m_csClientVersion.pszGet());
  return 0;
}

int CMySQLConnection::_bSetSSLParameters(CNAError* error, const wchar_t* const ssl[5]) {
  if (__mysql_ssl_set == &DefaultError_mysql_ssl_set) {
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosSSLMissing, this,
                                          knErrNoSSL, m_csClientVersion.pszGet());
    return 0;
  }
  // File paths cross the system boundary in UTF-8, whatever the
  // connection's code page.
  const CNACodePageCnvIN clKey(ssl[0], knCodePageUTF8), clCert(ssl[1], knCodePageUTF8),
      clCA(ssl[2], knCodePageUTF8), clCAPath(ssl[3], knCodePageUTF8),
      clCipher(ssl[4], knCodePageUTF8);
  for (const CNACodePageCnvIN* p : {&clKey, &clCert, &clCA, &clCAPath, &clCipher}) {
    if (p->bFailed()) {
      if (error != nullptr)
        error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosConversion, this, knErrNoMemory);
      return 0;
    }
  }
  my_bool nResult = 1;
  const bool bCalled = _bGuard(error, knPosSSL, [&] {
    nResult = __mysql_ssl_set(m_pMySQL, clKey.pszGet(), clCert.pszGet(), clCA.pszGet(),
                              clCAPath.pszGet(), clCipher.pszGet());
  });
  if (bCalled && nResult == 0) return 1;
  bInitError(error, knSource, knPosSSLRefused);
  if (error != nullptr)
    error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosSSLFailed, this, knErrConnect);
  return 0;
}

int CMySQLConnection::_bOpenCreateDatabase(CNAError* error, int bCreate, const wchar_t* server,
                                           const wchar_t* user, const wchar_t* password,
                                           const wchar_t* database, const wchar_t* socket) {
  const unsigned int nPort = static_cast<unsigned int>(nGetPort());
  unsigned long nFlags =
      static_cast<unsigned long>(static_cast<unsigned int>(nGetClientFlag())) | knClientFoundRows;
  if (gbUseNextResult && bClientVersionGreaterThan4_1()) nFlags |= knClientMultiStatements;
  // A refused first connection must not cost the character set and SSL
  // options when the connection is tried again without the database.
  if (bCreate) nFlags |= knClientRememberOptions;

  const unsigned int nCodePage = static_cast<unsigned int>(m_nDataBaseCodePage);
  const CNACodePageCnvIN clServer(server, nCodePage), clUser(user, nCodePage),
      clPassword(password, nCodePage), clDatabase(database, nCodePage),
      clSocket(socket, knCodePageUTF8);
  for (const CNACodePageCnvIN* p : {&clServer, &clUser, &clPassword, &clDatabase, &clSocket}) {
    if (p->bFailed()) {
      if (error != nullptr)
        error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosConversion, this, knErrNoMemory);
      return 0;
    }
  }
  st_mysql* pConnected = nullptr;
  if (!_bGuard(error, knPosConnect, [&] {
        pConnected = __mysql_real_connect(m_pMySQL, clServer.pszGet(), clUser.pszGet(),
                                          clPassword.pszGet(), clDatabase.pszGet(), nPort,
                                          clSocket.pszGet(), nFlags);
      }))
    return 0;
  if (pConnected != nullptr) {
    m_bOpen = 1;
    return 1;
  }

  const int bRecorded = bInitError(error, knSource, knPosConnectRefused);
  if (error != nullptr)
    error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosConnectFailed, this, knErrConnect);
  unsigned int nNumber = 0;
  if (!bRecorded || !bCreate || !bGetLastError(nullptr, &nNumber) || nNumber != knErrBadDatabase)
    return 0;

  // The database does not exist: create it. From here on the error object
  // holds only what goes wrong now.
  if (error != nullptr) error->Reset();
  if (!_bGuard(error, knPosConnectNoDatabase, [&] {
        pConnected = __mysql_real_connect(m_pMySQL, clServer.pszGet(), clUser.pszGet(),
                                          clPassword.pszGet(), nullptr, nPort, clSocket.pszGet(),
                                          nFlags);
      }))
    return 0;
  if (pConnected == nullptr) {
    bInitError(error, knSource, knPosConnectNoDatabase);
    if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource,
                                               knPosConnectFailed, this, knErrConnect);
    return 0;
  }
  m_bOpen = 1;
  CTString csName;
  if (!bFormatTableName(error, database, &csName)) {
    bClose(error);
    return 0;
  }
  const std::wstring sName = csName.pszGet();
  if (!bExecuteQueryNoResult(error, (L"CREATE DATABASE " + sName).c_str()) ||
      !bExecuteQueryNoResult(error, (L"USE " + sName).c_str())) {
    bClose(error);
    return 0;
  }
  return 1;
}

int CMySQLConnection::_bGetServerVersion(CNAError* error) {
  if (!_bCheckHandle(error, knPosNoHandle)) return 0;
  const char* pszVersion = nullptr;
  if (!_bGuard(error, knPosServerInfo, [&] { pszVersion = __mysql_get_server_info(m_pMySQL); }))
    return 0;
  const CNACodePageCnvOUTPtr clVersion(pszVersion, static_cast<unsigned int>(m_nDataBaseCodePage));
  m_csServerVersion.Set(clVersion.pszGet() != nullptr ? clVersion.pszGet() : L"");
  return _bDecomposeServerVersion(error);
}

int CMySQLConnection::bClose(CNAError* error) {
  if (!m_bOpen) return 1;
  const bool bOk = _bGuard(error, knPosClose, [&] { __mysql_close(m_pMySQL); });
  m_bOpen = 0;
  m_pMySQL = nullptr;
  return bOk ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Direct execution
// ---------------------------------------------------------------------------

int CMySQLConnection::bExecuteQueryNoResult(CNAError* error, const wchar_t* text) {
  if (!_bCheckHandle(error, knPosNoHandle)) return 0;
  const CNACodePageCnvIN clText(text, static_cast<unsigned int>(m_nDataBaseCodePage));
  if (clText.bFailed()) {
    if (error != nullptr)
      error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosConversion, this, knErrNoMemory);
    return 0;
  }
  int nResult = 1;
  if (!_bGuard(error, knPosQuery, [&] {
        nResult = __mysql_real_query(m_pMySQL, clText.pszGet() != nullptr ? clText.pszGet() : "",
                                     clText.nGetLength());
      }))
    return 0;
  if (nResult != 0) {
    bInitError(error, knSource, knPosQueryRefused);
    return 0;
  }
  // Whatever result the text made is dropped, so the connection is ready
  // for its next statement.
  const bool bMultiple = bMultipleRecordsetEnabled() != 0;
  for (;;) {
    st_mysql_res* pResult = nullptr;
    if (!_bGuard(error, knPosResult, [&] { pResult = __mysql_store_result(m_pMySQL); })) return 0;
    if (pResult != nullptr && !_bGuard(error, knPosResult, [&] { __mysql_free_result(pResult); }))
      return 0;
    if (!bMultiple) return 1;
    int nNext = -1;
    if (!_bGuard(error, knPosResult, [&] { nNext = __mysql_next_result(m_pMySQL); })) return 0;
    if (nNext < 0) return 1;
    if (nNext > 0) {
      bInitError(error, knSource, knPosQueryRefused);
      return 0;
    }
  }
}

int CMySQLConnection::bExecuteQueryIgnoreResult(CNAError* error, const wchar_t* text) {
  CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
  if (pclSQL == nullptr) {
    if (error != nullptr) error->pclGetXError()->SetErrorNoMemory();
    return 0;
  }
  CNAStatementSQL* pclStatement = nullptr;
  const int bResult = pclSQL->bExecute(error, &pclStatement, this, text, nullptr, NA_WRITEPARSE_NONE);
  // The rows are not wanted: the statement goes unread.
  if (pclStatement != nullptr) pclStatement->nRelease();
  return bResult;
}

int CMySQLConnection::bSQLBloque(CNAError* error, const wchar_t* table) {
  // The caller's name reaches the statement only as an identifier: several
  // statements a call are on, so a pasted name could run one of its own.
  CTString csName;
  if (!bFormatTableName(error, table, &csName)) return 0;
  const std::wstring sText = L"SELECT * FROM " + std::wstring(csName.pszGet()) + L" FOR UPDATE";
  return bExecuteQueryIgnoreResult(error, sText.c_str());
}

// ---------------------------------------------------------------------------
// Escaping
// ---------------------------------------------------------------------------

int CMySQLConnection::_bAddHexadecimalLiteral(CNAError* error, CTStringConcatAW* out,
                                              const char* bytes, unsigned long length) {
  out->AddStrCte(L"X'", 2);
  if (!s_bBinaryToStringHexa(error, reinterpret_cast<const unsigned char*>(bytes), length, out))
    return 0;
  out->AddStrCte(L"'", 1);
  return 1;
}

int CMySQLConnection::_bEscapeString(CNAError* error, CTStringConcatAW* out, unsigned short type,
                                     unsigned char* data, unsigned long size) {
  if (out == nullptr) return 0;
  if (size == 0 || data == nullptr) {
    out->AddStrCte(L"''", 2);
    return 1;
  }
  const unsigned int nCodePage = static_cast<unsigned int>(m_nDataBaseCodePage);
  const char* pText = reinterpret_cast<const char*>(data);
  unsigned long nLength = size;
  CXYString<char> clConverted;
  if (type == 18 || type == 19) {
    const void* pNul = std::memchr(data, 0, size);
    nLength = pNul != nullptr ? static_cast<unsigned long>(static_cast<const unsigned char*>(pNul) - data)
                              : size;
    if (nCodePage == knCodePageUTF8 && nLength > 0) {
      if (nLength >= SharedBlock::kMaxUnits / 4 ||
          clConverted.nAffecteToUTF8(pText, static_cast<long>(nLength),
                                     static_cast<unsigned int>(m_nApplicationCodePage)) != 0) {
        if (error != nullptr)
          error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosEscapeMemory, this, knErrNoMemory);
        return 0;
      }
      pText = clConverted.pszGet();
      nLength = static_cast<unsigned long>(clConverted.nGetLength());
    }
  } else if (type == 16 || type == 110) {
    const wchar_t* pszWide = reinterpret_cast<const wchar_t*>(data);
    const unsigned long nMax = size / sizeof(wchar_t);
    unsigned long nChars = 0;
    while (nChars < nMax && pszWide[nChars] != 0) ++nChars;
    if (nChars > 0) {
      if (nChars >= 0x3FFFFFFFu ||
          clConverted.__nConversion(pszWide, static_cast<long>(nChars), 0, nCodePage) != 0 ||
          clConverted.nGetLength() == 0) {
        if (error != nullptr)
          error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosEscapeMemory, this, knErrNoMemory);
        return 0;
      }
    }
    pText = clConverted.pszGet();
    nLength = static_cast<unsigned long>(clConverted.nGetLength());
  }

  // A byte value with bytes outside ASCII would pass through the statement
  // text's code page (UTF-8 drops invalid sequences, 1252 has holes): it is
  // written as a hexadecimal literal, which keeps every byte.
  const bool bText = type == 16 || type == 110 || type == 18 || type == 19;
  bool bHexadecimal = false;
  if (!bText)
    for (unsigned long i = 0; i < nLength && !bHexadecimal; ++i)
      bHexadecimal = static_cast<unsigned char>(pText[i]) >= 0x80;
  if (bHexadecimal) return _bAddHexadecimalLiteral(error, out, pText, nLength);

  // Worst case: every byte escaped, two quotes and a terminator; counted in
  // 64 bits and held to what a shared buffer can take.
  const std::uint64_t nNeeded = 2u * static_cast<std::uint64_t>(nLength) + 3u;
  CTNBIN clBuffer;
  if (nNeeded >= SharedBlock::kMaxUnits ||
      clBuffer.nSetMemorySize(static_cast<long>(nNeeded)) != 0 || clBuffer.pGetData() == nullptr) {
    if (error != nullptr)
      error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosEscapeMemory, this, knErrNoMemory);
    return 0;
  }
  char* pBuffer = reinterpret_cast<char*>(clBuffer.pGetData());
  pBuffer[0] = '\'';
  unsigned long nEscaped = 0;
  // The open connection escapes by the server's rules (under
  // NO_BACKSLASH_ESCAPES a quote is doubled, not backslashed).
  const bool bHandle = m_bOpen && m_pMySQL != nullptr;
  const bool bReal =
      bHandle && __mysql_real_escape_string != &DefaultError_mysql_real_escape_string;
  if (bReal) {
    if (!_bGuard(error, knPosEscape, [&] {
          nEscaped = __mysql_real_escape_string(m_pMySQL, pBuffer + 1, pText, nLength);
        }))
      return 0;
    if (nEscaped == static_cast<unsigned long>(-1) || nEscaped > 2 * nLength) {
      // The client refused the text (it cannot say why): never send it unescaped.
      if (error != nullptr)
        error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosEscape, this, knErrClientFailure,
                        L"MariaDB");
      return 0;
    }
  } else {
    // Without the server's rules only a form that reads the same with and
    // without NO_BACKSLASH_ESCAPES is written: quotes doubled, every other
    // byte as it is (the connection's character sets, latin1 and UTF-8,
    // never hold a quote inside a character). A backslash reads
    // differently in the two modes: a byte value holding one, like one
    // holding a NUL, is written in hexadecimal; a text is refused.
    const bool bBackslash = std::memchr(pText, '\\', nLength) != nullptr;
    if (std::memchr(pText, 0, nLength) != nullptr || (bBackslash && !bText))
      return _bAddHexadecimalLiteral(error, out, pText, nLength);
    if (bBackslash) {
      if (!bHandle) {
        if (error != nullptr)
          error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosEscape, this, knErrConnect);
      } else {
        _AddGuardError(error, knErrFunctionMissing, L"mysql_real_escape_string", knPosEscape);
      }
      return 0;
    }
    for (unsigned long i = 0; i < nLength; ++i) {
      if (pText[i] == '\'') pBuffer[1 + nEscaped++] = '\'';
      pBuffer[1 + nEscaped++] = pText[i];
    }
  }
  if (std::memchr(pBuffer + 1, 0, nEscaped) != nullptr) {
    // A raw NUL would end the statement's text early: write the bytes as a
    // hexadecimal literal instead.
    return _bAddHexadecimalLiteral(error, out, pText, nLength);
  }
  pBuffer[nEscaped + 1] = '\'';
  pBuffer[nEscaped + 2] = '\0';
  out->Add(pBuffer, static_cast<long>(nEscaped + 2), nCodePage);
  return 1;
}
