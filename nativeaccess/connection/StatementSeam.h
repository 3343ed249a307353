// Where a connection gets the driver-level statement for its own SQL text
// (bExecuteQueryNoResult, bGetRequestedValue).
//
// The process's driver supplies them through its SQL face; until the driver
// installs itself as the factory, or a test installs one, there is no
// statement and the connection's simple statements answer false.
//
// The factory returns a new statement whose internal count is 0 (the caller
// takes the first reference), or null; a failure may be recorded in the
// error object (which may be null). Installing and calling happen under the
// driver's process-wide lock.
#pragma once

#include <functional>

class CNAConnectionDescription;
class CNAError;
class CNAStatementSQL;

using NAStatementFactory = std::function<CNAStatementSQL*(CNAConnectionDescription*, CNAError*)>;

// A new statement for `connection` from the installed factory; null when
// none is installed or it gives none.
CNAStatementSQL* kxna_pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error);

// Installs `factory` (an empty one removes it) and returns the one it
// replaces.
NAStatementFactory kxna_SetStatementFactory(NAStatementFactory factory);
