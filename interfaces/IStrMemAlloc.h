// The runtime's string allocator (information item 13): the memory of the
// shared strings and binary buffers, so that a buffer crosses between the
// library and the runtime without a copy.
//
// A block starts with a 16-byte header right before the data pointer:
// u32 flags (-16), u32 reference count (-12), u32 capacity in bytes (-8),
// u32 length in bytes (-4); 4 zero bytes of room follow the capacity for the
// terminator. Slot order is fixed by the runtime; no other virtual member
// may be added (not even a destructor). Results are 0 or an error code.
#pragma once

#include <cstdint>

class IStrMemAlloc {
 public:
  // 0: interface version; below 2, slots 4 and 5 are absent.
  virtual int vnGetVersionIStrMemAlloc() = 0;
  // 1: a new block (count 1, capacity >= nBytes); *ppData receives its data.
  virtual int vnAllocStrMem(void** ppData, std::uint32_t nBytes) = 0;
  // 2: grows an exclusive block, keeping flags, length and content; may move.
  virtual int vnReallocStrMem(void** ppData, std::uint32_t nBytes) = 0;
  // 3: takes back a block whose count reached 0.
  virtual void vReleaseStrMem(void* pData) = 0;
  // 4, 5: as 1 and 2 with allocation flags (version 2 and later).
  virtual int vnAllocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) = 0;
  virtual int vnReallocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) = 0;

  // Version dispatch used by every allocation of the shared strings: the
  // flagged slot from version 2 on, else the plain one without the flags.
  int nAllocStrMem(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags);
  int nReallocStrMem(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags);
};
