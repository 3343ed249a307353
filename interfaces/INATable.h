// INATable: one table (or executed query) as the runtime receives it from
// the driver (piGetTable, the query executions).
//
// The runtime calls these operations by slot number: INAVersion's five
// (0 to 4), then the references and the last error. The table layer adds
// the database functions after them in their fixed order; no slot may move.
// There is no virtual destructor: the runtime ends its use of a table only
// through nExternalRelease.
//
// References: the runtime holds a table through ExternalAddRef and gives it
// back with nExternalRelease, which answers the new count; the table goes
// when that count and the library's own are both 0. The error answered
// stays owned by the table's driver.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class INAContext;
class INAError;

class INATable : public INAVersion {
 public:
  // 5, 6: the runtime's (external) reference.
  virtual void ExternalAddRef() = 0;
  virtual std::uint32_t nExternalRelease() = 0;
  // 7: the error of the table's last operation in `context`.
  virtual INAError* piGetLastError(INAContext* context) = 0;

 protected:
  ~INATable() = default;
};
