// Allocation wrappers: every heap block of the runtime foundation passes here
// (except the buffer of a CTString and the shared strings).
//
// A block from XMALLOC_pNew_ or XMALLOC_pResize_ is owned by the caller and
// goes back through XMALLOC_Del_.
#pragma once

#include <cstddef>

// malloc(size); null when the allocation fails.
void* XMALLOC_pNew_(std::size_t size);

// free(pointer); nothing for null.
void XMALLOC_Del_(void* pointer);

// Resizes a block; a null pointer allocates. Null means only that the
// allocation failed, and then `pointer` is still valid and still owned by
// the caller: a size of 0 keeps a one-byte block instead of freeing it.
void* XMALLOC_pResize_(void* pointer, std::size_t size);
