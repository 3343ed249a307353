// Lifecycle messages exchanged between the platform's runtime and a module it
// loads, and the records that travel with them.
//
// The runtime calls the module's exported `Execution(message, parameter)`; the
// module calls the runtime's own exported "Execution" (found by name in the
// runtime's module) to ask for information items, to request a call stack and
// to announce its end. Both sides include this header, so the numbers and the
// record layouts are defined once.
#pragma once

#include <cstddef>
#include <cstdint>

class ILibShop;

namespace kx {

// Module handle as handed over by the runtime: what dlopen returned for it.
using HMODULE = void*;

// The runtime's own "Execution": (message, parameter) -> answer.
using PFN_EXECUTION_VM = std::int64_t (*)(unsigned int nMessage, std::int64_t nParam);

// The module's export `Execution`: (message, parameter) -> 0, 1 or 2.
using PFN_EXECUTION_DLL = std::int64_t (*)(unsigned int nMessage, void* pParam);

// Messages the runtime sends to a module.
enum : unsigned int {
  MSG_INITIALISE = 3985,
  MSG_TERMINATE = 4875,
  MSG_LOCALE = 4878,
  MSG_CHANGE_LANGUAGE = 4879,
  MSG_INIT_TYPES = 4963,
  MSG_MEMORY_DUMP = 5238,
  MSG_DEACTIVATE = 5684,
  MSG_REACTIVATE = 5864,
};

// Messages a module sends to the runtime.
enum : unsigned int {
  MSG_VM_END_NOTICE = 3052,   // parameter 0: the module ends
  MSG_VM_INFORMATION = 3053,  // parameter: an item number below
  MSG_VM_CALL_STACK = 3184,   // parameter: STCallStackRequest*
};

// Information items asked with MSG_VM_INFORMATION.
enum : int {
  ITEM_PRODUCT_CODE = 1,
  ITEM_INTERNAL_LANGUAGE = 2,
  ITEM_PRODUCT_NAME = 3,
  ITEM_OPTIONS = 4,
  ITEM_REAL_PRODUCT_CODE = 5,
  ITEM_USES_NET = 6,
  ITEM_LIB_SHOP = 7,
  ITEM_ACTIVE_VERSION = 8,
  ITEM_GLOBAL_FACTORY = 9,
  ITEM_TOPOLOGY_COLLECTOR = 10,
  ITEM_SMARTPHONE_MODE = 11,
  ITEM_LOCALE = 12,
  ITEM_STRING_ALLOCATOR = 13,
  ITEM_MULTITHREAD_FLAG = 14,
  ITEM_COMPONENT_INFORMATION = 15,
};

// Parameter of MSG_INITIALISE. `piLibShop` is read only when `nSize` > 15.
struct STInitialiseRecord {
  std::uint64_t nSize;
  HMODULE hModule;
  std::uint32_t nUsage1;
  std::uint32_t nUsage2;
  ILibShop* piLibShop;
};
static_assert(offsetof(STInitialiseRecord, hModule) == 8);
static_assert(offsetof(STInitialiseRecord, nUsage1) == 16);
static_assert(offsetof(STInitialiseRecord, nUsage2) == 20);
static_assert(offsetof(STInitialiseRecord, piLibShop) == 24);

// Parameter of MSG_VM_CALL_STACK: the four arguments of the request in order.
struct STCallStackRequest {
  std::int32_t n1;
  const wchar_t* psz;
  std::int32_t n3;
  std::int32_t n4;
};
static_assert(offsetof(STCallStackRequest, psz) == 8);
static_assert(offsetof(STCallStackRequest, n3) == 16);
static_assert(offsetof(STCallStackRequest, n4) == 20);

}  // namespace kx
