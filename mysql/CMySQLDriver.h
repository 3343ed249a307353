// CMySQLDriver: the MariaDB/MySQL driver, the concrete driver the library's
// entry hands to the runtime.
//
// It decides which concrete classes the generic driver gets from its
// factories (the connection, slot 59; the SQL face, slot 61), how the
// existence of a table is asked of the server, how a table or a query's
// rows are locked with SQL, what debug line a crash inside the client
// library adds, and how the module ends. Its default read block size is 100
// rows (the generic driver has no limit). Its data accesses, table
// statements and data-source descriptions are the driver's own
// (CMySQLDataAccess, CMySQLStatement, CMySQLDataSourceDescription).
//
// Loading the library registers this driver with the entry points
// (NA_bRegisterConcreteDriver), so piQueryInterface makes a CMySQLDriver and
// TermLibrary runs CMySQLDriver::g_NATermModule.
//
// Ownership and locking as CNADriver: counted, deleted by its last external
// release; every entry runs under the process-wide lock.
#pragma once

#include "CNADriver.h"

class CMySQLDriver : public CNADriver {
 public:
  // The generic construction, then the value 100. Counts 0, no error
  // object (the entry's bInitDriver makes it).
  CMySQLDriver();
  ~CMySQLDriver() override;

  // Slot 21: locks table `table` on the registered connection of `cnx`
  // ("SELECT * FROM <table> FOR UPDATE" through the SQL face, opening the
  // connection first when needed). Takes the lock, resets the driver's
  // error; user error 14 (5.1) when the connection is not registered.
  int bSQLBloqueTable(INAConnectionDescription* cnx, const wchar_t* table) override;
  // Slot 22: the same for the rows of the query `parser` analysed (its SQL
  // text followed by FOR UPDATE, the rows dropped); user error 14 (5.2)
  // when the connection is not registered. A failure is reported in the
  // SQL face's error object and, when that is another, in the driver's.
  int bSQLBloqueRequete(INAConnectionDescription* cnx, ISQLParserInformation* parser) override;

  // Slot 46: a new CMySQLDataSourceDescription (counts 0) on `cnx` and
  // `error`, so that a table is described from the server's catalogues;
  // null without memory.
  CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                          CNAError* error) override;
  // Slot 48: a new CMySQLDataAccess (counts 0) on `source`, `cnx` and
  // `error`; null without memory.
  CNADataAccess* pclAllocDataAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                    CNAError* error) override;
  // Slot 49: a new CMySQLStatement (counts 0) of `access` reporting into
  // `error` (its connection is the data access's; `cnx` is not read); null
  // without memory.
  CNAStatement* pclAllocStatement(CNADataAccess* access, CNAConnectionDescription* cnx,
                                  CNAError* error) override;
  // Slot 58: adds debug message 3355 to `error` with the client API
  // version this driver was written for ("3.23.52") and the loaded client
  // library's version text (empty without a connection). Nothing without
  // an error object.
  void OnFatalErrorAddDebugMessage(CNAError* error, CNAConnectionDescription* cnx) override;
  // Slot 59: a new CMySQLConnection (counts 0) reading `cnx`; null when it
  // cannot be allocated.
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                           INAConnectionDescription* cnx) override;
  // Slot 61: a new CMySQLDriverSQL (counts 0) on this driver and `error`;
  // null without memory.
  CNADriverSQL* _pclAllocDriverSQL(CNAError* error) override;
  // Slot 64: asks the server "SHOW COLUMNS FROM <name as the connection
  // formats it>" through the SQL face's internal execution (errors into
  // the driver's error object). Answered: *exists = 1, 1. The server has no
  // such table (1146): *exists = 0, 1, the server's error left in the
  // error object. Any other failure (a name that cannot be formatted, no
  // privilege, a lost server): *exists = 0, 0.
  int _bTableExists(int* exists, const wchar_t* name, CNAConnectionDescription* cnx) override;

  // The module end of this driver: the connection class's end step
  // (CMySQLConnection::g_TermNativeLibrary), then the generic module end
  // (CNADriver::g_NATermModule).
  static void g_NATermModule();

  // The driver's value (default read block size, rows).
  static constexpr std::int64_t knDriverValue = 100;
  // The client API version named by the fatal-error debug line.
  static constexpr const wchar_t* kszClientAPIVersion = L"3.23.52";
  // The server's "table does not exist".
  static constexpr std::uint32_t knErrNoSuchTable = 1146;
  // The location lines of the two locks.
  static constexpr int knLocationTableLock = 1;
  static constexpr int knLocationQueryLock = 2;
  // Debug message of a crash inside the client library.
  static constexpr unsigned int knMsgClientCrash = 3355;
};
