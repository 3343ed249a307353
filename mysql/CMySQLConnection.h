// CMySQLConnection: the connection of the MariaDB/MySQL driver to one
// server.
//
// It is the MariaDB/MySQL form of CNAConnectionDescription: the base reads
// the runtime's description and its extended keys; this class turns them
// into client-library calls. The client library is loaded on the first
// opening in the process (CNAFunctionLoader, the library the key
// "KX CLIENT LIBRARY" names or the default one) and is called only through
// the loader's pointers.
//
// Opening: mysql_init, then mysql_real_connect with the description's data
// source (the server), user, password and default database, the port of
// the key "Server Port" and the socket of the key "Unix Socket". The SSL
// keys are passed through mysql_ssl_set when any is given. A refused
// connection records the server's error number and message in the error and
// frees its client handle.
//
// Every client call runs in a guard: a thrown CTString (the loader's stub
// for a function that was not bound throws its name) becomes user error 37
// naming it; any other exception user error 23. The operation then fails.
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
  // connection counts as closed all the same).
  int bClose(CNAError* error) override;
  // Nothing yet: the item-type map stays empty.
  void _InitXQ2NativeType() override;

  // "Server Port" read as a decimal number; 0 when absent or not a number.
  int nGetPort();
  // "Client Flag" read as a decimal number; 0 when absent or not a number.
  int nGetClientFlag();
  // *out = the value of "Unix Socket"; 1 when the key is given.
  int bGetUnixSocket(CTString* out);

  // The client library's side of the module end: nothing to do.
  static void g_TermNativeLibrary();

  // 1 once a loaded client library offers mysql_next_result; never reset.
  static std::int32_t gbUseNextResult;

 protected:
  // Loads and binds the client library, then reads its version
  // (m_csClientVersion and the two numbers). False with `error` filled.
  int _bLoadClientLibrary(CNAError* error);
  // Records the client handle's last server error in `error` (user error
  // 22 with the server and the number, the server's message as user text,
  // the number as database code). False when the number could not be read.
  int _bRecordServerError(CNAError* error, int nPosition);
  // Builds the error of a guarded call that threw: user error 37 naming
  // the thrown text, or 23 for anything else.
  void _AddGuardError(CNAError* error, unsigned int nCode, const wchar_t* pszArgument,
                      int nPosition);
  // Runs `call`; false (with the guard's error) when it threw.
  template <typename F>
  bool _bGuard(CNAError* error, int nPosition, F&& call);

  std::int32_t m_bOpen = 0;
  st_mysql* m_pMySQL = nullptr;
};
