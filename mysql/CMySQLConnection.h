// CMySQLConnection: the connection of the MariaDB/MySQL driver to one
// server.
//
// It is the MariaDB/MySQL form of CNAConnectionDescription: the base reads
// the runtime's description and its extended keys; this class turns them
// into client-library calls. The client library is loaded on the first
// opening in the process (CNAFunctionLoader, the library the key
// "KX CLIENT LIBRARY" names or the default one) and is called only through
// the loader's pointers, each call inside the client-call guard.
//
// Opening (bOpen, bOpenCreate): mysql_init, the character set (mysql_options
// "utf8" when a connection text needs Unicode, "latin1" for a code-page-1252
// connection), mysql_ssl_set when any SSL key is given, then
// mysql_real_connect with the description's data source (the server), user,
// password and default database, the port of "Server Port", the flags of
// "Client Flag" and the socket of "Unix Socket". Then the server version,
// and in Unicode mode "SET NAMES 'utf8mb4'", else 'utf8' (code page 65001;
// the session's character set is named in the connection's error lines);
// a server refusing both fails the opening. bOpenCreate also creates a
// missing database. Every failed opening records its error, closes
// its client handle and leaves the connection Closed without a handle.
//
// Every client call runs in a guard: a thrown CTString (the loader's stub
// for a function that was not bound throws its name) becomes user error 37
// naming it; any other exception user error 23 "MariaDB". The operation then
// fails. A crash inside the client library is a signal, not an exception: it
// ends the host process.
//
// Ownership: a CInterf (counted by the driver); owns its client handle,
// which lives from an opening's mysql_init to bClose (or to the failure of
// that opening). The destructor closes an open connection without an
// error object. No lock of its own: called under the driver's process-wide
// lock.
#pragma once

#include <cstdint>

#include "CNAConnectionDescription.h"

struct st_mysql;

class CMySQLConnection : public CNAConnectionDescription {
 public:
  // The base construction, then data-source kind 5 and the backquote as
  // both name delimiters. Closed, no client handle.
  CMySQLConnection(const wchar_t* name, INAConnectionDescription* description);
  // bClose(nullptr) when open.
  ~CMySQLConnection() override;

  // 1 when open afterwards (at once when already open); 0 with `error`
  // filled otherwise (the connection then holds no client handle).
  int bOpen(CNAError* error) override;
  // 1 while the server connection is open.
  int bIsOpen() override;
  // 1 when closed or not open; 0 when the client call failed (the
  // connection counts as closed all the same). The handle is gone after.
  int bClose(CNAError* error) override;
  // Always 1: the server sorts on long texts.
  int bSupportOrderByMemo() override;
  // As bOpen; when the server answers that the database does not exist,
  // creates it (under its delimited name) and ends connected to it with an
  // empty error object.
  int bOpenCreate(CNAError* error) override;
  // Runs "SELECT * FROM <table> FOR UPDATE" through
  // bExecuteQueryIgnoreResult, the name formatted as a table name first
  // (bFormatTableName: owner and database parts kept, a well-formed
  // quoted name unchanged); a name it refuses fails with its error and
  // nothing is sent.
  using CNAConnectionDescription::bSQLBloque;
  int bSQLBloque(CNAError* error, const wchar_t* table) override;
  // Records the client handle's last server error in `error`: user error 22
  // with the server and the number, the server's message as user text,
  // the number as EIT_BASECODE, the location line (source, position).
  // Number 0: nothing recorded, 1. 0 when the number or message could not
  // be read.
  int bInitError(CNAError* error, unsigned source, unsigned position) override;
  // 1062 gives 3 (duplicate), 1205 gives 2 (lock), 1048 gives 8
  // (mandatory); every other number 0.
  eNA_ERRORTYPE eGetNAErrorType(unsigned number) override;
  // Runs `text` (converted to the connection code page), frees any result
  // it made and, when several result sets are enabled, drains the later
  // ones; 0 with the server's error when a statement fails.
  int bExecuteQueryNoResult(CNAError* error, const wchar_t* text) override;
  // Runs `text` on a statement of the driver's SQL face and drops its rows
  // unread; 0 (out of memory) without a driver or face.
  int bExecuteQueryIgnoreResult(CNAError* error, const wchar_t* text) override;
  // Appends the quoted SQL literal of the value to *out: '' for size 0;
  // 8-bit texts (18, 19) up to their first NUL, wide texts (16, 110) up to
  // theirs, other types as `size` raw bytes. Escaped by the open
  // connection's rules (mysql_real_escape_string, which follows
  // NO_BACKSLASH_ESCAPES). Without them (not open, or a client library
  // without that function) only a form both modes read alike: quotes
  // doubled, the rest as it is; a byte value holding a backslash is then
  // written X'..', a text holding one is refused (user error 37 naming
  // mysql_real_escape_string, or 79 when not open) and nothing is
  // appended. A byte value with bytes outside ASCII, and a value that
  // would keep a raw NUL, is written X'..' in every case. 0 with user
  // error 12 when the buffer would pass the string limit.
  int _bEscapeString(CNAError* error, CTStringConcatAW* out, unsigned short type,
                     unsigned char* data, unsigned long size) override;
  // Replaces rows of the item-type map (built by the base on the first
  // type request, with its generic rows) by the server's type texts, some
  // by the server version of the open connection: texts with "%d" take the
  // item's size. Nothing when the map does not exist yet.
  void _InitXQ2NativeType() override;
  // *out = the name of a MYSQL_TYPE_* number, 1; an unknown number gives
  // "MYSQL_TYPE_NEWDECIMAL" and 0. A null out only answers.
  int bDBTypeToString(CTString* out, int type) const override;
  // The item type and record-buffer size of a result column from its
  // MYSQL_TYPE_* number, length in bytes (negative when past INT_MAX: a
  // memo), integer digits, decimals and character-set number. Texts of 1
  // to 65534 bytes stay texts (2 x (length + 1) bytes as UTF-16 for a
  // Unicode set, length + 1 otherwise), longer or unsized ones are memos.
  // Nothing for a null pointer.
  static void ConvertItemType(eNA_ITEMTYPE* type, unsigned* size, int fieldType, int length,
                              int digits, int decimals, unsigned charset);
  // 1 for the server's Unicode character-set numbers (a fixed list up to 98,
  // every number above).
  static int bCharsetUnicode(unsigned charset);

  // "Server Port" read as a decimal number; 0 when absent or not a number.
  int nGetPort();
  // "Client Flag" read as a decimal number; 0 when absent or not a number.
  int nGetClientFlag();
  // *out = the value of "Unix Socket"; 1 when the key is given.
  int bGetUnixSocket(CTString* out);

  // *code = the handle's last error number (0 first); 0 when the call
  // failed (guard error in `error`).
  int bGetLastError(CNAError* error, unsigned* code);

  // The loaded client is 4.1 or newer: by its version text, or because it
  // is Connector/C (whose 3.x numbering is its own, not the old client's).
  static int bClientVersionGreaterThan4_1();
  // Server 4.1 or newer.
  int bServerVersionGreaterThan4_1() const;
  // Server 4.1.2 or newer.
  int bServerVersionGreaterThan4_1_2() const;
  // Several statements a call and several result sets are on: the client
  // offers mysql_next_result and is 4.1 or newer.
  int bMultipleRecordsetEnabled() const;
  // The client handle of the open connection; null when not open.
  st_mysql* pGetClientHandle() const { return m_bOpen ? m_pMySQL : nullptr; }

  // The client library's side of the module end: nothing to do (the host
  // may share the client library, so its process-wide state is kept).
  static void g_TermNativeLibrary();

  // The client-call guard: runs `call` (one call into the client library);
  // true when it returned. When it threw: a CTString gives user error 37
  // with the text, anything else user error 23 "MariaDB" (into the
  // driver's error object when `error` is null, then the driver's
  // fatal-error hook); both with EIT_NATIVECODE and the location line
  // (101, nPosition); false.
  template <typename F>
  bool _bGuard(CNAError* error, int nPosition, F&& call) {
    try {
      call();
      return true;
    } catch (const CTString& csThrown) {
      _AddGuardError(error, knErrFunctionMissing, csThrown.pszGet(), nPosition);
    } catch (...) {
      _AddGuardError(error, knErrClientFailure, L"MariaDB", nPosition);
    }
    return false;
  }
  // The error of a guarded call that threw (see _bGuard).
  void _AddGuardError(CNAError* error, unsigned int nCode, const wchar_t* pszArgument,
                      int nPosition);

  // User errors of the module this class reports.
  static constexpr unsigned int knErrNoMemory = 12;
  static constexpr unsigned int knErrServer = 22;
  static constexpr unsigned int knErrClientFailure = 23;
  static constexpr unsigned int knErrFunctionMissing = 37;
  static constexpr unsigned int knErrNoSSL = 75;
  static constexpr unsigned int knErrCharset = 76;
  static constexpr unsigned int knErrInit = 78;
  static constexpr unsigned int knErrConnect = 79;
  // The source number of this class in the location lines of its errors.
  static constexpr int knSource = 101;

  // 1 while the loaded client library offers mysql_next_result; set again
  // after every load.
  static std::int32_t gbUseNextResult;
  // 1 while the loaded client library is Connector/C (it exports
  // mariadb_get_infov); set again after every load.
  static std::int32_t gbConnectorC;

 protected:
  int _bOpenCreate(CNAError* error, int bCreate);
  // Loads and binds the client library, then reads its version
  // (m_csClientVersion and the two numbers). False with `error` filled.
  int _bLoadClientLibrary(CNAError* error);
  int _bGetClientLibraryVersion(CNAError* error);
  // Unicode mode: asks for "utf8" when a connection text is not Latin-1.
  int _bProcessUnicodeCnxParameters(CNAError* error, int bSSL, const wchar_t* server,
                                    const wchar_t* user, const wchar_t* password,
                                    const wchar_t* database, const wchar_t* socket,
                                    const wchar_t* const ssl[5]);
  // A code-page-1252 connection asks for "latin1".
  int _bSetLatin1CharacterSet(CNAError* error);
  int _bSetSSLParameters(CNAError* error, const wchar_t* const ssl[5]);
  int _bOpenCreateDatabase(CNAError* error, int bCreate, const wchar_t* server,
                           const wchar_t* user, const wchar_t* password, const wchar_t* database,
                           const wchar_t* socket);
  int _bGetServerVersion(CNAError* error);
  // Appends X'<hexadecimal digits of the bytes>'.
  int _bAddHexadecimalLiteral(CNAError* error, CTStringConcatAW* out, const char* bytes,
                              unsigned long length);
  // Closes the handle of a failed opening (its error already recorded):
  // handle gone, flag cleared. Returns 0 for the caller's failure path.
  int _bFailOpen();
  // User error 79 first in `error` when no client handle is held (the call
  // never reaches the client library); true when a handle is held.
  bool _bCheckHandle(CNAError* error, int nPosition);
  std::int32_t m_bOpen = 0;
  st_mysql* m_pMySQL = nullptr;
};
