// The library's own start and end, and its four C entry points.
//
// The platform's runtime drives the library through four exports (C
// linkage, listed in the library's version script):
// - bDLLCompatible(kind, version, out): the version handshake of one runtime
//   component (kind 7: database-engine host, kind 28: SQL runtime). For those
//   two kinds the component's version is recorded (CNADriver::s_nID_KXXQ or
//   s_nID_KXSQL), 32 is written to *out (unless out is null) and the answer
//   is 1 when the version is above 31, else 0. Any other kind: 0, nothing
//   recorded or written.
// - bInitLibrary(module): counted start (gnNbInitialisation); the first call
//   runs CNADriver::g_NAInitModule, later ones only count. Always 1.
// - piQueryInterface(unused): a new concrete driver with external count 1
//   (the caller's reference) and its error object, recorded as
//   CNADriver::s_pclDriver. Every call makes a new driver; an earlier one
//   lives on with its holders. When the driver cannot be made (or gets no
//   error object) the memory is given back, nothing is recorded and the
//   answer is null (there is no error object yet to say why: null means
//   out of memory). Null also when no concrete driver is linked.
// - TermLibrary(): the concrete driver's module end (the generic one when no
//   concrete driver is linked). It neither reads nor resets the start count
//   and does not release the recorded driver. Always 1.
// They take no lock: the runtime calls them from one thread when it loads
// and unloads the library, and no driver operation may run during or after
// TermLibrary. No exception leaves them (CNABoundary.h): an exception ends
// the call with its failure answer (bInitLibrary and TermLibrary: 1).
//
#pragma once

#include <cstdint>

#include "CMainCommun.h"

class CNADriver;
class INADriver;

// The concrete driver the entry points make and end. The concrete driver's
// module registers its two functions while the library loads (a static
// initialiser), so the generic layer does not name it. `pfnNew` gives a new
// driver with counts 0 or null without memory; `pfnTermModule` is the
// concrete module end, which ends with CNADriver::g_NATermModule.
using PFN_NANewDriver = CNADriver* (*)();
using PFN_NATermModule = void (*)();
// Records both; the last registration wins. Always true (for use in an
// initialiser).
bool NA_bRegisterConcreteDriver(PFN_NANewDriver pfnNew, PFN_NATermModule pfnTermModule);

// Number of bInitLibrary calls; never decremented.
extern std::int32_t gnNbInitialisation;

extern "C" {
__attribute__((visibility("default"))) int bDLLCompatible(int nKind, std::uint32_t nVersion,
                                                          std::uint32_t* pnOwnVersion);
__attribute__((visibility("default"))) int bInitLibrary(void* hModule);
__attribute__((visibility("default"))) INADriver* piQueryInterface(int nUnused);
__attribute__((visibility("default"))) int TermLibrary();
}
