// The internal-error report: the error that the library builds when one of
// its own consistency checks fails, so that the runtime learns which check
// failed, on which table and item, and in which library version.
//
// The report is an error of this library's module (_CXErrorModule76) made
// of: the user error chosen by the check, formatted with its arguments; the
// names of the table and item that the failing operation worked on; the
// item EIT_NATIVECODE holding the user error code; and the debug line
//   IEKXMARIA=<site1>.<site2>\r\nModule=<KXMARIA>\r\nVersion=<20.0.10.0>
// whose two numbers identify the failing check. The caller hands the report
// on (to its native-access error) or drops it; nothing is kept here.
#pragma once

#include <cstdarg>

#include "CXError.h"

// A new report for the check at (nSite1, nSite2). The user error nCode of
// this library's table is set with the arguments that follow it (as
// SetUserError does); the names are recorded as AddInfoNames records them.
_CXErrorModule76 clInternalError(int nSite1, int nSite2, const wchar_t* pszTable,
                                 const wchar_t* pszItem, unsigned int nCode, ...);
_CXErrorModule76 clInternalErrorList(int nSite1, int nSite2, const wchar_t* pszTable,
                                     const wchar_t* pszItem, unsigned int nCode, va_list args);

// Records the names of the table and item an operation worked on: when the
// table name is present and not empty, item EIT_LOGICALTABLENAME becomes it
// and then, when the item name is present and not empty, EIT_ITEMNAME
// becomes that. An item name without a table name is not recorded. A null
// error does nothing.
void AddInfoNames(CXError* pclErr, const wchar_t* pszTable, const wchar_t* pszItem);

// Appends to the debug message of *pclErr the line that locates a failing
// check: "IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>" with the module word
// "KXMARIA", the two site numbers, "KXMARIA" again and the library's
// version. A null error does nothing.
void AddInternalErrorLocation(CXError* pclErr, int nSite1, int nSite2);
