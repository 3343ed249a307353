#include "CStrMemAlloc.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "CInformationDLL.h"

namespace {

// Bytes of a block besides its capacity: the 24-byte header and the room of
// the 4-byte terminator.
constexpr std::uint64_t knOverhead = sizeof(STStrMemBlockHeader) + 4;
constexpr std::uint64_t knMax32 = 0xFFFFFFFFu;

unsigned char* pDataOf(STStrMemBlockHeader* pBlock) {
  return reinterpret_cast<unsigned char*>(pBlock) + sizeof(STStrMemBlockHeader);
}

STStrMemBlockHeader* pBlockOf(void* pData) {
  return reinterpret_cast<STStrMemBlockHeader*>(static_cast<unsigned char*>(pData) -
                                                sizeof(STStrMemBlockHeader));
}

void WriteZero(unsigned char* p) {
  const std::uint32_t zero = 0;
  std::memcpy(p, &zero, sizeof zero);
}

// The capacity a request gets, or 0 when it does not fit the 32-bit header
// (a request never gets capacity 0 through a size class).
std::uint64_t nCapacityFor(std::uint32_t nBytes, std::uint32_t nFlags, std::uint64_t nCurrent) {
  if ((nFlags & CStrMemAlloc::kdwExactSize) != 0) return nBytes;
  return CStrMemAlloc::s_nSizeClass(nBytes, nCurrent);
}

}  // namespace

// ---------------------------------------------------------------- cache

CStrMemCache::~CStrMemCache() { FreeAll(); }

STStrMemBlockHeader** CStrMemCache::ppList(std::uint64_t nCapacity, std::uint32_t** ppnCount) {
  if (nCapacity == knSmallCapacity) {
    *ppnCount = &m_nSmall;
    return &m_pSmall;
  }
  if (nCapacity == knMediumCapacity) {
    *ppnCount = &m_nMedium;
    return &m_pMedium;
  }
  return nullptr;
}

STStrMemBlockHeader* CStrMemCache::pTake(std::uint64_t nCapacity) {
  std::uint32_t* pnCount = nullptr;
  STStrMemBlockHeader** ppHead = ppList(nCapacity, &pnCount);
  if (ppHead == nullptr || *ppHead == nullptr) return nullptr;
  STStrMemBlockHeader* pBlock = *ppHead;
  *ppHead = pBlock->pNext;
  --*pnCount;
  pBlock->pNext = nullptr;
  return pBlock;
}

bool CStrMemCache::bGive(STStrMemBlockHeader* pBlock) {
  std::uint32_t* pnCount = nullptr;
  STStrMemBlockHeader** ppHead = ppList(pBlock->stShared.nCapacity, &pnCount);
  if (ppHead == nullptr || *pnCount >= knMaxCached) return false;
  pBlock->pNext = *ppHead;
  *ppHead = pBlock;
  ++*pnCount;
  return true;
}

std::uint32_t CStrMemCache::nGetCount(std::uint32_t nCapacity) const {
  if (nCapacity == knSmallCapacity) return m_nSmall;
  if (nCapacity == knMediumCapacity) return m_nMedium;
  return 0;
}

void CStrMemCache::FreeAll() {
  for (STStrMemBlockHeader** ppHead : {&m_pSmall, &m_pMedium}) {
    while (*ppHead != nullptr) {
      STStrMemBlockHeader* pNext = (*ppHead)->pNext;
      std::free(*ppHead);
      *ppHead = pNext;
    }
  }
  m_nSmall = 0;
  m_nMedium = 0;
}

// ---------------------------------------------------------------- allocator

CStrMemAlloc* CStrMemAlloc::ms_pclAllocateur = nullptr;

CStrMemAlloc* CStrMemAlloc::s_pclInit() {
  if (ms_pclAllocateur == nullptr) ms_pclAllocateur = new (std::nothrow) CStrMemAlloc();
  return ms_pclAllocateur;
}

void CStrMemAlloc::s_Term() {
  CStrMemAlloc* pcl = ms_pclAllocateur;
  if (pcl == nullptr) return;
  if (CInformationModule::ms_piStrMemAlloc == static_cast<IStrMemAlloc*>(pcl))
    CInformationModule::ms_piStrMemAlloc = nullptr;
  ms_pclAllocateur = nullptr;
  delete pcl;
}

CStrMemAlloc::~CStrMemAlloc() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  FreeAll();
}

std::uint64_t CStrMemAlloc::s_nSizeClass(std::uint64_t nSize, std::uint64_t nCapacity) {
  if (nSize <= knSmallCapacity) return knSmallCapacity;
  if (nSize <= knMediumCapacity) return knMediumCapacity;
  // Unsigned on purpose: a request below the current capacity wraps to a
  // huge difference and gets twice its size.
  const std::uint64_t c = nCapacity;
  const std::uint64_t d = nSize - c;
  if (d < c / 10) return c + c / 5;
  if (d < c / 5) return c + c / 2;
  if (d < c / 2) return 2 * c;
  return 2 * nSize;
}

std::uint32_t CStrMemAlloc::nGetCachedBlocks(std::uint32_t nCapacity) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return nGetCount(nCapacity);
}

int CStrMemAlloc::vnGetVersionIStrMemAlloc() { return 2; }

int CStrMemAlloc::vnAllocStrMem(void** ppData, std::uint32_t nBytes) {
  return vnAllocStrMemEx(ppData, nBytes, 0);
}

int CStrMemAlloc::vnReallocStrMem(void** ppData, std::uint32_t nBytes) {
  return vnReallocStrMemEx(ppData, nBytes, 0);
}

int CStrMemAlloc::vnAllocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) {
  if (ppData == nullptr) return knNoMemory;
  const std::uint64_t nCapacity = nCapacityFor(nBytes, nFlags, 0);
  if (nCapacity > knMax32) return knNoMemory;

  STStrMemBlockHeader* pBlock = nullptr;
  if ((nFlags & kdwExactSize) == 0) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    pBlock = pTake(nCapacity);
  }
  if (pBlock == nullptr) {
    pBlock = static_cast<STStrMemBlockHeader*>(std::malloc(nCapacity + knOverhead));
    if (pBlock == nullptr) return knNoMemory;
  }
  pBlock->pNext = nullptr;
  pBlock->stShared.dwFlags = 0;
  pBlock->stShared.nRefCount = 1;
  pBlock->stShared.nCapacity = static_cast<std::uint32_t>(nCapacity);
  pBlock->stShared.nLength = 0;
  unsigned char* pData = pDataOf(pBlock);
  WriteZero(pData);
  WriteZero(pData + nCapacity);
  *ppData = pData;
  return 0;
}

int CStrMemAlloc::vnReallocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) {
  if (ppData == nullptr) return knNoMemory;
  if (*ppData == nullptr) return vnAllocStrMemEx(ppData, nBytes, nFlags);
  STStrMemBlockHeader* pOld = pBlockOf(*ppData);
  const std::uint64_t nCapacity = nCapacityFor(nBytes, nFlags, pOld->stShared.nCapacity);
  if (nCapacity > knMax32) return knNoMemory;

  STStrMemBlockHeader* pCached = nullptr;
  if ((nFlags & kdwExactSize) == 0) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    pCached = pTake(nCapacity);
  }
  if (pCached != nullptr) {
    // A cached block may be smaller than the old one (a request to shrink):
    // only what fits is kept.
    const std::uint32_t nKeep = pOld->stShared.nLength < nCapacity
                                    ? pOld->stShared.nLength
                                    : static_cast<std::uint32_t>(nCapacity);
    pCached->stShared.dwFlags = pOld->stShared.dwFlags;
    pCached->stShared.nRefCount = 1;
    pCached->stShared.nLength = nKeep;
    unsigned char* pData = pDataOf(pCached);
    if (nKeep != 0) std::memcpy(pData, *ppData, nKeep);
    WriteZero(pData + nCapacity);
    pOld->stShared.nRefCount = 0;
    vReleaseStrMem(*ppData);
    *ppData = pData;
    return 0;
  }

  void* pMoved = std::realloc(pOld, nCapacity + knOverhead);
  if (pMoved == nullptr) return knNoMemory;  // the old block stays valid
  STStrMemBlockHeader* pBlock = static_cast<STStrMemBlockHeader*>(pMoved);
  pBlock->stShared.nCapacity = static_cast<std::uint32_t>(nCapacity);
  if (pBlock->stShared.nLength > nCapacity)
    pBlock->stShared.nLength = static_cast<std::uint32_t>(nCapacity);
  unsigned char* pData = pDataOf(pBlock);
  WriteZero(pData + nCapacity);
  *ppData = pData;
  return 0;
}

void CStrMemAlloc::vReleaseStrMem(void* pData) {
  if (pData == nullptr) return;
  STStrMemBlockHeader* pBlock = pBlockOf(pData);
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (bGive(pBlock)) return;
  }
  std::free(pBlock);
}
