// The library's entry points and the module state they set up.
#include <new>

#include "LibraryEntry.h"
#include "CNABoundary.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAFunctionLoader.h"

std::int32_t gnNbInitialisation = 0;

void* CNADriver::s_hDllHandle = nullptr;
std::uint32_t CNADriver::s_nID_KXXQ = 0;
std::uint32_t CNADriver::s_nID_KXSQL = 0;

namespace {

// Kinds of the runtime components that announce their interface version.
constexpr int knKindDatabaseEngineHost = 7;
constexpr int knKindSQLRuntime = 28;
// The version this library announces, and the lowest component version it
// works with.
constexpr std::uint32_t knOwnVersion = 32;
constexpr std::uint32_t knLowestAccepted = 32;

// Zero-initialised before any static initialiser runs, so a registration
// made while the library loads is never overwritten.
PFN_NANewDriver gpfnNewDriver = nullptr;
PFN_NATermModule gpfnTermModule = nullptr;

}  // namespace

bool NA_bRegisterConcreteDriver(PFN_NANewDriver pfnNew, PFN_NATermModule pfnTermModule) {
  gpfnNewDriver = pfnNew;
  gpfnTermModule = pfnTermModule;
  return true;
}

void CNADriver::g_NAInitModule(void* hModule) {
  s_hDllHandle = hModule;
  CMainCommun::bInitLibraryCommon(hModule);
  // A handshake made before the start is forgotten.
  s_nID_KXXQ = 0;
  s_nID_KXSQL = 0;
  CNADriverLock::s_bCreate();
}

void CNADriver::g_NATermModule() {
  CNADriverLock::s_Destroy();
  CNAFunctionLoader::g_Term();
  CMainCommun::bTermLibraryCommon();
}

extern "C" {

int bDLLCompatible(int nKind, std::uint32_t nVersion, std::uint32_t* pnOwnVersion) {
  return NA_tBoundary<int>(nullptr, NA_BOUNDARY_CATCH, 0, [&]() -> int {
    std::uint32_t* pnRecorded = nullptr;
    if (nKind == knKindDatabaseEngineHost) {
      pnRecorded = &CNADriver::s_nID_KXXQ;
    } else if (nKind == knKindSQLRuntime) {
      pnRecorded = &CNADriver::s_nID_KXSQL;
    } else {
      return 0;
    }
    // Recorded and answered even when refused, so the component can tell
    // which side is too old.
    *pnRecorded = nVersion;
    if (pnOwnVersion != nullptr) *pnOwnVersion = knOwnVersion;
    return nVersion >= knLowestAccepted ? 1 : 0;
  });
}

int bInitLibrary(void* hModule) {
  // No failure answer exists: a start cut short by an exception still
  // answers 1, and the first driver entry finds what is missing.
  return NA_tBoundary<int>(nullptr, NA_BOUNDARY_CATCH, 1, [&]() -> int {
    ++gnNbInitialisation;
    if (gnNbInitialisation > 1) return 1;
    CNADriver::g_NAInitModule(hModule);
    return 1;
  });
}

INADriver* piQueryInterface(int /*nUnused*/) {
  return NA_tBoundary<INADriver*>(nullptr, NA_BOUNDARY_CATCH, nullptr, [&]() -> INADriver* {
    if (gpfnNewDriver == nullptr) return nullptr;
    CNADriver* pclDriver = gpfnNewDriver();
    if (pclDriver == nullptr) return nullptr;
    // The error object is made before the driver is handed out, so a
    // driver without one is never recorded: it goes back at once.
    if (!pclDriver->bInitDriver()) {
      delete pclDriver;
      return nullptr;
    }
    CNADriver::s_pclDriver = pclDriver;
    pclDriver->ExternalAddRef();
    return pclDriver;
  });
}

int TermLibrary() {
  return NA_tBoundary<int>(nullptr, NA_BOUNDARY_CATCH, 1, [&]() -> int {
    if (gpfnTermModule != nullptr) {
      gpfnTermModule();
    } else {
      CNADriver::g_NATermModule();
    }
    return 1;
  });
}

}  // extern "C"
