#include "SharedStringBlock.h"

#include <cstring>

#include "CInformationDLL.h"

namespace SharedBlock {

void WriteTerminator(void* data) {
  if (data == nullptr) return;
  const std::uint32_t zero = 0;
  std::memcpy(static_cast<unsigned char*>(data) + pHeader(data)->nLength, &zero, sizeof zero);
}

std::uint32_t nGetRefCount(const void* data) {
  if (data == nullptr) return 0;
  return __atomic_load_n(&pHeader(data)->nRefCount, __ATOMIC_ACQUIRE);
}

void AddRef(void* data) {
  if (data != nullptr) __atomic_fetch_add(&pHeader(data)->nRefCount, 1u, __ATOMIC_ACQ_REL);
}

void Release(void** ppData) {
  void* data = *ppData;
  *ppData = nullptr;
  if (data == nullptr) return;
  if (__atomic_fetch_sub(&pHeader(data)->nRefCount, 1u, __ATOMIC_ACQ_REL) != 1) return;
  // The last holder. Without an allocator the block cannot go back anywhere.
  if (IStrMemAlloc* pi = CInformationModule::ms_piStrMemAlloc) pi->vReleaseStrMem(data);
}

int nAllocate(void** ppData, std::uint64_t nBytes, std::uint32_t nFlags) {
  if (nBytes > kMaxBytes) return kTooLarge;
  IStrMemAlloc* pi = CInformationModule::ms_piStrMemAlloc;
  if (pi == nullptr) return kNoAllocator;
  void* data = nullptr;
  const int n = pi->nAllocStrMem(&data, static_cast<std::uint32_t>(nBytes), nFlags);
  if (n != 0) return n;
  if (data == nullptr) return kNoAllocator;
  *ppData = data;
  return 0;
}

int nPrepare(void** ppData, std::uint64_t nBytes, std::uint32_t nFlags) {
  if (nBytes > kMaxBytes) return kTooLarge;
  void* data = *ppData;
  if (data == nullptr) return nBytes == 0 ? 0 : nAllocate(ppData, nBytes, nFlags);

  STSharedBlockHeader* old = pHeader(data);
  if (nGetRefCount(data) < 2) {
    if (nBytes <= old->nCapacity) return 0;
    IStrMemAlloc* pi = CInformationModule::ms_piStrMemAlloc;
    if (pi == nullptr) return kNoAllocator;
    void* moved = data;
    const int n = pi->nReallocStrMem(&moved, static_cast<std::uint32_t>(nBytes), nFlags);
    if (n != 0) return n;
    if (moved == nullptr) return kNoAllocator;
    *ppData = moved;
    return 0;
  }

  // Shared: the copy is made before the old reference is dropped, so a
  // refused allocation leaves the holder with its value.
  void* fresh = nullptr;
  const int n = nAllocate(&fresh, nBytes, nFlags);
  if (n != 0) return n;
  const std::uint32_t keep =
      old->nLength < nBytes ? old->nLength : static_cast<std::uint32_t>(nBytes);
  std::memcpy(fresh, data, keep);
  STSharedBlockHeader* h = pHeader(fresh);
  h->dwFlags = old->dwFlags;
  h->nLength = keep;
  WriteTerminator(fresh);
  Release(ppData);
  *ppData = fresh;
  return 0;
}

bool bInside(const void* p, const void* data) {
  if (p == nullptr || data == nullptr) return false;
  const auto s = reinterpret_cast<std::uintptr_t>(p);
  const auto o = reinterpret_cast<std::uintptr_t>(data);
  return s >= o && s < o + pHeader(data)->nCapacity + 4;
}

const void* pRebase(const void* source, const void* oldData, std::uint32_t oldCapacity,
                    const void* newData) {
  const auto s = reinterpret_cast<std::uintptr_t>(source);
  const auto o = reinterpret_cast<std::uintptr_t>(oldData);
  if (oldData == nullptr || source == nullptr || newData == nullptr || s < o ||
      s >= o + oldCapacity + 4)
    return source;
  return static_cast<const unsigned char*>(newData) + (s - o);
}

}  // namespace SharedBlock
