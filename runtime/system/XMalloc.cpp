#include "XMalloc.h"

#include <cstdlib>

void* XMALLOC_pNew_(std::size_t size) { return std::malloc(size); }

void XMALLOC_Del_(void* pointer) {
  if (pointer != nullptr) std::free(pointer);
}

void* XMALLOC_pResize_(void* pointer, std::size_t size) {
  if (pointer == nullptr) return XMALLOC_pNew_(size);
  // realloc(p, 0) frees p and answers null, which every caller reads as a
  // failed allocation that left p alive: keep at least one byte instead.
  return std::realloc(pointer, size == 0 ? 1 : size);
}
