// The message loader: loading of message texts by identifier, first through
// the platform runtime's string loader when the runtime has installed one,
// then from the module's own packed block; and the export CommandeComposante
// through which the runtime installs its loader and asks the library for
// texts.
//
// These functions are kept apart (DllResLoader.cpp) from the rest of the
// message functions (DllResources.h) because they are the piece that a
// program without the platform's runtime, such as the installer, replaces by
// a loader that reads its own block only.
//
// The runtime's loader is one process-wide pointer, null until command 2
// installs it; nothing here takes a lock (the runtime installs it during its
// start-up, before any text is asked for).
#pragma once

#include <atomic>

#include <cstddef>
#include <cstdint>

#include "MyModuleInfo.h"

class CTString;

// The runtime's string loader: copies text `nId` into `pszBuffer`, which
// holds `nCapacity` characters, and returns the length of the whole text, 0
// when it has none. It may return more than the capacity and need not
// terminate the buffer.
using PFN_LOADSTRINGKXM = int (*)(unsigned int nId, wchar_t* pszBuffer, int nCapacity);

// The runtime's loader, or null. Atomic: the runtime may hand it over while
// its other threads already load texts; readers take one load and call that.
extern std::atomic<PFN_LOADSTRINGKXM> gpfnLoadStringKXM;

// Commands of CommandeComposante.
enum : unsigned int {
  COMMANDE_SET_LOADSTRING = 2,  // parameter: the runtime's loader (null uninstalls)
  COMMANDE_LOADSTRING = 3,      // parameter: STCommandeLoadString*
  COMMANDE_UTILISATION = 4,     // parameter: a message identifier
};

// Request record of command 3 (24 bytes).
struct STCommandeLoadString {
  std::uint32_t nSize;      // size of the record: 24
  std::uint32_t nId;        // message identifier
  wchar_t* pszBuffer;       // caller's buffer
  std::uint32_t nCapacity;  // characters it holds
  std::uint32_t nResult;    // set by the command: characters loaded
};
static_assert(sizeof(STCommandeLoadString) == 24);
static_assert(offsetof(STCommandeLoadString, pszBuffer) == 8);
static_assert(offsetof(STCommandeLoadString, nCapacity) == 16);
static_assert(offsetof(STCommandeLoadString, nResult) == 20);

using PFN_COMMANDECOMPOSANTE = std::int64_t (*)(unsigned int nCommand, void* pParam);

extern "C" {
// The library's component command:
// - 2: installs `pParam` as the runtime's loader; returns 1.
// - 3: `pParam` is a STCommandeLoadString. A null record or one whose size is
//   below 24 is left untouched and 0 returned; otherwise the text of the
//   library's module is loaded with DLLRES_nLoadString into the record's
//   buffer, the count is stored in its result field and returned.
// - 4: `pParam` holds an identifier; returns DLLRES_nGetUtilisation for it
//   in the library's module (-1 when unknown).
// - Any other command: 0, nothing changes.
__attribute__((visibility("default"))) std::int64_t CommandeComposante(unsigned int nCommand,
                                                                       void* pParam);
}

// The runtime's loader called as it is: its full count (which may exceed the
// capacity). 0 when no loader is installed.
int KXM_nLoadString(unsigned int nId, wchar_t* pszBuffer, int nCapacity);

// Text `nId` through the runtime's loader into *pclText: asked first with
// capacity 256; when the loader reports more than 256 characters it is asked
// again with the reported count as capacity. Each buffer has one zeroed slot
// beyond its capacity, so an unterminated answer is still read safely; the
// string takes at most the capacity's characters. False (string unchanged)
// when no loader is installed, the string is null, a buffer is refused or a
// call answers 0 (or less).
bool KXM_bLoadString(unsigned int nId, CTString* pclText);

// Text `nId` of `pstModule` into `pszBuffer` (nCapacity characters).
// - Null buffer or capacity 0: 0 at once, nothing called.
// - The runtime's loader, when installed, is asked first: a positive count
//   is kept; a count at or above the capacity is cut: the buffer is
//   terminated at capacity - 1 and that is returned. A shorter count is
//   terminated at the count.
// - Otherwise the module's block: unknown identifier (or a module without
//   block): 0; the text unpacked: its length, or capacity - 1 when it was
//   cut (the buffer then ends with a NUL in its last slot); a record that
//   does not decode: 0.
int DLLRES_nLoadString(const _stMyModuleInfo* pstModule, unsigned int nId, wchar_t* pszBuffer,
                       std::uint32_t nCapacity);

// Text `nId` into *pclText: the runtime's loader first (KXM_bLoadString),
// then the module's block. False (string unchanged) when neither has the
// text, the record does not decode, or the string is null.
bool DLLRES_bLoadString(const _stMyModuleInfo* pstModule, unsigned int nId, CTString* pclText);
