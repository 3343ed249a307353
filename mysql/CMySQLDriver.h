// CMySQLDriver: the MariaDB/MySQL driver, the concrete driver the library's
// entry hands to the runtime.
//
// For now it supplies what the generic driver cannot: its connection
// factory (slot 59 gives a CMySQLConnection) and its value 100. The
// statement factory (slot 49) and the SQL face (slot 61) give null until
// the driver's statements exist; the generic layer reports that as out of
// memory.
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

  // Slot 49: null (the driver's statements are not provided yet).
  CNAStatement* pclAllocStatement(CNADataAccess* access, CNAConnectionDescription* cnx,
                                  CNAError* error) override;
  // Slot 59: a new CMySQLConnection (counts 0) reading `cnx`; null when it
  // cannot be allocated.
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                           INAConnectionDescription* cnx) override;
  // Slot 61: null (no SQL face yet).
  CNADriverSQL* _pclAllocDriverSQL(CNAError* error) override;

  // The module end of this driver: the connection class's end step
  // (CMySQLConnection::g_TermNativeLibrary), then the generic module end
  // (CNADriver::g_NATermModule).
  static void g_NATermModule();

  // The driver's value.
  static constexpr std::int64_t knDriverValue = 100;
};
