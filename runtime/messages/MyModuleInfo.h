// Module descriptor: how a module's messages and user errors are addressed.
//
// Every message function (DLLRES_*) and every error object is given the
// descriptor of the module whose texts it wants. The descriptor is a static
// that never changes after start-up; its texts, table and callback belong to
// the module.
#pragma once

#include <cstddef>
#include <cstdint>

struct STRessourceModule;

// One row of a module's user-error table.
struct _stErrorDef {
  std::uint32_t nCode;       // user error code
  std::uint32_t nMessageId;  // message identifier of its text
  std::uint32_t nDetailId;
  std::uint32_t nLevel;
};

// Lookup of a message record in the module's packed message block: fills the
// request and answers true, or false for an unknown identifier.
using PFN_GETRESSOURCE = bool (*)(STRessourceModule* pstRequest);

struct _stMyModuleInfo {
  const _stErrorDef* pstErrorDef;   // user-error table, searched linearly
  std::size_t nErrorDef;            // rows in it
  std::uint32_t nModuleId;
  const wchar_t* pszModuleName;
  const wchar_t* pszModuleVersion;
  PFN_GETRESSOURCE pfnGetRessource;  // null: the module has no message block
};

// The library's user-error table (gstMyModuleInfo76.pstErrorDef): 85 rows,
// not sorted; the first row with a code wins.
constexpr std::size_t knErrorDef76 = 89;
extern const _stErrorDef gstErrorDef76[knErrorDef76];

// The library's descriptor: module 76, "kx200maria64.so", "20.0.10.0", its
// message block looked up by bGetResAnsi76.
extern const _stMyModuleInfo gstMyModuleInfo76;
