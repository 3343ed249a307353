#include "IStrMemAlloc.h"

// Runtimes before version 2 have no slots 4 and 5: calling them would jump
// past the end of their table, so the version is asked every time.
int IStrMemAlloc::nAllocStrMem(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) {
  if (vnGetVersionIStrMemAlloc() >= 2) return vnAllocStrMemEx(ppData, nBytes, nFlags);
  return vnAllocStrMem(ppData, nBytes);
}

int IStrMemAlloc::nReallocStrMem(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) {
  if (vnGetVersionIStrMemAlloc() >= 2) return vnReallocStrMemEx(ppData, nBytes, nFlags);
  return vnReallocStrMem(ppData, nBytes);
}
