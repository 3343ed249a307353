#include "CMySQLConnection.h"

#include <cwchar>
#include <string>
#include <vector>

#include "CNADriver.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CXError.h"
#include "CodePage.h"

std::int32_t CMySQLConnection::gbUseNextResult = 0;

namespace {

// The source number of this class in the location lines of its errors.
constexpr int knSource = 101;
// Location lines of the reporting places.
constexpr int knPosConnect = 5;
constexpr int knPosInit = 6;
constexpr int knPosClientInfo = 7;
constexpr int knPosClose = 8;
constexpr int knPosError = 12;
constexpr int knPosErrno = 13;
constexpr int knPosServerInfo = 15;
constexpr int knPosConnectRefused = 16;
constexpr int knPosSSL = 18;
constexpr int knPosSSLRefused = 19;
constexpr int knPosSSLMissing = 1;
constexpr int knPosInitFailed = 21;
constexpr int knPosSSLFailed = 22;
constexpr int knPosConnectFailed = 23;

// User errors of the module.
constexpr unsigned int knErrServer = 22;
constexpr unsigned int knErrClientCrash = 23;
constexpr unsigned int knErrFunctionMissing = 37;
constexpr unsigned int knErrNoSSL = 75;
constexpr unsigned int knErrInit = 78;
constexpr unsigned int knErrConnect = 79;

// Code page of the texts exchanged with the client library.
constexpr unsigned int knCodePage1252 = 1252;
// Client flags: report matched rows as affected; several statements a call.
constexpr unsigned long knClientFoundRows = 2;
constexpr unsigned long knClientMultiStatements = 0x10000;

// An 8-bit copy of a wide text for the client library: null stays null,
// empty stays "".
class CText8 {
 public:
  CText8(const wchar_t* psz, unsigned int nCodePage) : m_bNull(psz == nullptr) {
    if (m_bNull || *psz == 0) return;
    const int nLength = static_cast<int>(std::wcslen(psz));
    const int nNeeded =
        WideCharToMultiByte(nCodePage, 0, psz, nLength, nullptr, 0, nullptr, nullptr);
    if (nNeeded <= 0) return;
    std::vector<char> vec(static_cast<std::size_t>(nNeeded) + 1, 0);
    const int nWritten =
        WideCharToMultiByte(nCodePage, 0, psz, nLength, vec.data(), nNeeded, nullptr, nullptr);
    if (nWritten > 0) m_s.assign(vec.data(), static_cast<std::size_t>(nWritten));
  }
  const char* psz() const { return m_bNull ? nullptr : m_s.c_str(); }

 private:
  bool m_bNull;
  std::string m_s;
};

// Null for an empty text, so the client library takes its default.
const wchar_t* NullIfEmpty(const CTString& cs) { return cs.nTaille() > 0 ? cs.pszGet() : nullptr; }

// The leading decimal number of the text; 0 when it does not start with one.
int nLeadingDecimal(const CTString& cs) {
  int n = 0;
  return std::swscanf(cs.pszGet(), L"%d", &n) == 1 ? n : 0;
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

void CMySQLConnection::_InitXQ2NativeType() {}

int CMySQLConnection::bIsOpen() { return m_bOpen; }

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

void CMySQLConnection::_AddGuardError(CNAError* error, unsigned int nCode,
                                      const wchar_t* pszArgument, int nPosition) {
  _CXErrorModule76 clErr(nCode, pszArgument);
  CNAError::g_SetInfoNames(&clErr, nullptr, nullptr);
  const std::int32_t nNativeCode = static_cast<std::int32_t>(nCode);
  clErr.AddInfo(EIT_NATIVECODE, &nNativeCode);
  CNAError::g_AddDebugInfo(&clErr, knSource, nPosition);
  const bool bFatal = nCode == knErrClientCrash;
  // A crash inside the client is worth reporting even to a caller that
  // passed no error object: the driver's own takes it.
  if (error == nullptr && bFatal && CNADriver::s_pclDriver != nullptr)
    error = CNADriver::s_pclDriver->pclGetError();
  if (error == nullptr) return;
  error->AddError(NA_ERRORTYPE_GENERIC, &clErr, this);
  if (bFatal && CNADriver::s_pclDriver != nullptr)
    CNADriver::s_pclDriver->OnFatalErrorAddDebugMessage(error, this);
}

template <typename F>
bool CMySQLConnection::_bGuard(CNAError* error, int nPosition, F&& call) {
  try {
    call();
    return true;
  } catch (const CTString& csFunction) {
    _AddGuardError(error, knErrFunctionMissing, csFunction.pszGet(), nPosition);
  } catch (...) {
    _AddGuardError(error, knErrClientCrash, L"MariaDB", nPosition);
  }
  return false;
}

int CMySQLConnection::_bRecordServerError(CNAError* error, int nPosition) {
  unsigned int nNumber = 0;
  if (!_bGuard(error, knPosErrno, [&] { nNumber = __mysql_errno(m_pMySQL); })) return 0;
  if (nNumber == 0) return 1;
  const char* pszMessage = nullptr;
  const bool bMessage = _bGuard(error, knPosError, [&] { pszMessage = __mysql_error(m_pMySQL); });
  const wchar_t* pszServer = pszGetDataBase();
  _CXErrorModule76 clErr(knErrServer, pszServer != nullptr ? pszServer : L"",
                         static_cast<int>(nNumber));
  if (pszMessage != nullptr && *pszMessage != 0) {
    CTString csMessage;
    csMessage.SetANSIEx(pszMessage, -1, knCodePage1252);
    clErr.AddUserMessageNoFormat(csMessage.pszGet());
  }
  CNAError::g_AddDebugInfo(&clErr, knSource, nPosition);
  const std::int32_t nCode = static_cast<std::int32_t>(nNumber);
  clErr.AddInfo(EIT_BASECODE, &nCode);
  if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, &clErr, this);
  return bMessage ? 1 : 0;
}

int CMySQLConnection::_bLoadClientLibrary(CNAError* error) {
  if (!CNAFunctionLoader::g_bInitNative(error, &m_csClientLibrary,
                                        m_csClientLibraryWanted.pszGet(), 0))
    return 0;
  if (__mysql_next_result != &DefaultError_mysql_next_result) gbUseNextResult = 1;
  const char* pszVersion = nullptr;
  if (!_bGuard(error, knPosClientInfo, [&] { pszVersion = __mysql_get_client_info(); }))
    return 0;
  m_csClientVersion.SetANSIEx(pszVersion, -1, knCodePage1252);
  // Digits up to the first non-digit make the major number, those up to
  // the second the minor one ("10.4.7": 10 and 4).
  m_nClientVersionMajor = 0;
  m_nClientVersionMinor = 0;
  std::int32_t* apn[2] = {&m_nClientVersionMajor, &m_nClientVersionMinor};
  const char* p = pszVersion != nullptr ? pszVersion : "";
  for (std::int32_t* pn : apn) {
    for (; *p >= '0' && *p <= '9'; ++p) *pn = *pn * 10 + (*p - '0');
    if (*p == 0) break;
    ++p;
  }
  return 1;
}

int CMySQLConnection::bOpen(CNAError* error) {
  if (m_bOpen) return 1;
  _InitCodePageFromTN();
  m_nDataBaseCodePage = static_cast<std::int32_t>(knCodePage1252);
  if (!CNAFunctionLoader::g_bLoaded() && !_bLoadClientLibrary(error)) return 0;

  // A handle left by an earlier failed opening is not reused.
  m_pMySQL = nullptr;
  st_mysql* pMySQL = nullptr;
  if (!_bGuard(error, knPosInit, [&] { pMySQL = __mysql_init(nullptr); })) {
    if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource, knPosInitFailed,
                                               this, knErrInit);
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

  const unsigned int nCodePage = static_cast<unsigned int>(m_nDataBaseCodePage);
  // Any SSL text asks for an encrypted connection; never connect in clear
  // when one was asked for and cannot be set up.
  const wchar_t* apszSSL[5] = {NullIfEmpty(m_csSSLKey), NullIfEmpty(m_csSSLCert),
                               NullIfEmpty(m_csSSLCA), NullIfEmpty(m_csSSLCAPath),
                               NullIfEmpty(m_csSSLCipher)};
  bool bSSL = false;
  for (const wchar_t* psz : apszSSL) bSSL = bSSL || psz != nullptr;
  bool bOk = true;
  if (bSSL) {
    if (__mysql_ssl_set == &DefaultError_mysql_ssl_set) {
      if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, knSource, knPosSSLMissing, this,
                                            knErrNoSSL, m_csClientVersion.pszGet());
      bOk = false;
    } else {
      const CText8 clKey(apszSSL[0], nCodePage), clCert(apszSSL[1], nCodePage),
          clCA(apszSSL[2], nCodePage), clCAPath(apszSSL[3], nCodePage),
          clCipher(apszSSL[4], nCodePage);
      my_bool nResult = 1;
      const bool bCalled = _bGuard(error, knPosSSL, [&] {
        nResult = __mysql_ssl_set(m_pMySQL, clKey.psz(), clCert.psz(), clCA.psz(),
                                  clCAPath.psz(), clCipher.psz());
      });
      if (!bCalled || nResult != 0) {
        if (bCalled) _bRecordServerError(error, knPosSSLRefused);
        if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource,
                                                   knPosSSLFailed, this, knErrConnect);
        bOk = false;
      }
    }
  }

  if (bOk) {
    CTString csSocket;
    const int bSocket = bGetUnixSocket(&csSocket);
    const CText8 clServer(pszGetDataBase(), nCodePage), clUser(pszGetUserName(), nCodePage),
        clPassword(pszGetPassword(), nCodePage), clDatabase(pszGetDefaultDataBaseEx(), nCodePage),
        clSocket(bSocket ? NullIfEmpty(csSocket) : nullptr, nCodePage);
    const unsigned int nPort = static_cast<unsigned int>(nGetPort());
    unsigned long nFlags = static_cast<unsigned long>(static_cast<unsigned int>(nGetClientFlag())) |
                           knClientFoundRows;
    const bool bClient41 = m_nClientVersionMajor > 4 ||
                           (m_nClientVersionMajor == 4 && m_nClientVersionMinor >= 1);
    if (gbUseNextResult && bClient41) nFlags |= knClientMultiStatements;
    st_mysql* pConnected = nullptr;
    bOk = _bGuard(error, knPosConnect, [&] {
      pConnected = __mysql_real_connect(m_pMySQL, clServer.psz(), clUser.psz(), clPassword.psz(),
                                        clDatabase.psz(), nPort, clSocket.psz(), nFlags);
    });
    if (bOk && pConnected == nullptr) {
      _bRecordServerError(error, knPosConnectRefused);
      if (error != nullptr) error->AddErrorFirst(NA_ERRORTYPE_GENERIC, knSource,
                                                 knPosConnectFailed, this, knErrConnect);
      bOk = false;
    }
  }
  if (bOk) {
    m_bOpen = 1;
    const char* pszServerVersion = nullptr;
    bOk = _bGuard(error, knPosServerInfo,
                  [&] { pszServerVersion = __mysql_get_server_info(m_pMySQL); });
    if (bOk) {
      m_csServerVersion.SetANSIEx(pszServerVersion, -1, nCodePage);
      bOk = _bDecomposeServerVersion(error) != 0;
    }
    if (!bOk) {
      bClose(nullptr);
      return 0;
    }
    // The connection speaks code page 1252: the switch to UTF-8 is not
    // made here, so Unicode support is off for this connection.
    m_nUnicodeSupport = 0;
    return 1;
  }
  // A failed opening frees its handle: the next opening makes a new one.
  _bGuard(nullptr, knPosClose, [&] { __mysql_close(m_pMySQL); });
  m_pMySQL = nullptr;
  return 0;
}

int CMySQLConnection::bClose(CNAError* error) {
  if (!m_bOpen) return 1;
  const bool bOk = _bGuard(error, knPosClose, [&] { __mysql_close(m_pMySQL); });
  m_bOpen = 0;
  m_pMySQL = nullptr;
  return bOk ? 1 : 0;
}
