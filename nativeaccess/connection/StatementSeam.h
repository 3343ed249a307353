// Where a connection gets the driver-level statement for its own SQL text
// (bExecuteQueryNoResult, bGetRequestedValue): the process's driver makes
// it through its SQL face (CNADriverSQL::pclAllocStatementSQL), so that the
// concrete driver's statement class runs the text.
#pragma once

class CNAConnectionDescription;
class CNAError;
class CNAStatementSQL;

// A new statement for `connection` (internal count 0: the caller takes the
// first reference), made by the SQL face of CNADriver::s_pclDriver. Null
// when there is no process driver (nothing reported), when the driver has
// no SQL face (the out-of-memory error in `error`, which may be null), or
// when the face gives none (its reason in `error`). Takes the process-wide
// lock.
CNAStatementSQL* kxna_pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error);
