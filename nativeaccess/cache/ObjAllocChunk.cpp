// The blocks behind the object pools' chunks. Kept apart from the pool's own
// code so that the only allocation a pool makes goes through one function
// that the test programs can replace when they link.
#include "CTObjAlloc.h"

#include "XMalloc.h"

void* ObjAlloc_pNewChunk(std::size_t size) { return XMALLOC_pNew_(size); }

void ObjAlloc_DelChunk(void* block) { XMALLOC_Del_(block); }
