// The installer's string allocator: the memory of the shared strings
// (CXYString, CTNBIN) in a program that runs without the platform's runtime.
//
// CStrMemAlloc answers the runtime's IStrMemAlloc interface (version 2) and
// is installed by the program as CInformationModule::ms_piStrMemAlloc. Every
// block is one malloc of capacity + 28 bytes laid out as
//   -24  pointer to the next block (only while the block waits in the cache)
//   -16  u32 flags            (0 for a new block, kept on growth)
//   -12  u32 reference count  (1 for a new block)
//    -8  u32 capacity in bytes
//    -4  u32 length in bytes  (0 for a new block)
//     0  capacity data bytes, then 4 bytes of room for the terminator;
// the last 16 header bytes are exactly what the shared strings read.
//
// Size classes (flags bit 0 clear): up to 100 bytes give capacity 100, 101
// to 996 give 996, larger requests follow the growth rule of s_nSizeClass.
// With flags bit 0 set the capacity is the exact size asked for and the cache
// is not used. Released blocks of capacity 100 or 996 wait in a cache, at most
// 20 of each, and are handed out again before malloc is asked.
//
// Results of the allocation slots: 0, or 100 when the memory is refused
// (also for a size class that does not fit in 32 bits); on failure the
// caller's pointer and its block are unchanged.
//
// Threads: any thread may call; a recursive mutex guards the cache. The
// reference counts are the string classes' business (locked adds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "IStrMemAlloc.h"
#include "SharedStringBlock.h"

// What precedes the data of a block: the cache link, then the header the
// shared strings read.
struct STStrMemBlockHeader {
  STStrMemBlockHeader* pNext;    // next cached block (cache only)
  STSharedBlockHeader stShared;  // flags, count, capacity, length
};

static_assert(sizeof(STStrMemBlockHeader) == 24, "the block header is 24 bytes");
static_assert(offsetof(STStrMemBlockHeader, pNext) == 0, "cache link at -24");
static_assert(offsetof(STStrMemBlockHeader, stShared) + offsetof(STSharedBlockHeader, dwFlags) ==
                  24 - 16,
              "flags at -16");
static_assert(offsetof(STStrMemBlockHeader, stShared) + offsetof(STSharedBlockHeader, nRefCount) ==
                  24 - 12,
              "count at -12");
static_assert(offsetof(STStrMemBlockHeader, stShared) + offsetof(STSharedBlockHeader, nCapacity) ==
                  24 - 8,
              "capacity at -8");
static_assert(offsetof(STStrMemBlockHeader, stShared) + offsetof(STSharedBlockHeader, nLength) ==
                  24 - 4,
              "length at -4");

// Two free lists of blocks, one of capacity 100 and one of capacity 996, at
// most knMaxCached blocks each. The cache owns the blocks it holds and frees
// them when destroyed. It has no lock: its owner serialises the calls.
class CStrMemCache {
 public:
  static constexpr std::uint32_t knSmallCapacity = 100;
  static constexpr std::uint32_t knMediumCapacity = 996;
  static constexpr std::uint32_t knMaxCached = 20;

  CStrMemCache() = default;
  CStrMemCache(const CStrMemCache&) = delete;
  CStrMemCache& operator=(const CStrMemCache&) = delete;
  // Frees every cached block.
  virtual ~CStrMemCache();

  // A cached block of exactly this capacity (its link cleared), or null when
  // the capacity is not cached or its list is empty.
  STStrMemBlockHeader* pTake(std::uint64_t nCapacity);
  // Keeps the block when its capacity is 100 or 996 and its list holds fewer
  // than 20 blocks (true); otherwise the caller keeps it (false).
  bool bGive(STStrMemBlockHeader* pBlock);
  // Blocks waiting in the list of this capacity (0 for another capacity).
  std::uint32_t nGetCount(std::uint32_t nCapacity) const;
  // Frees every cached block.
  void FreeAll();

 private:
  STStrMemBlockHeader** ppList(std::uint64_t nCapacity, std::uint32_t** ppnCount);

  STStrMemBlockHeader* m_pSmall = nullptr;
  std::uint32_t m_nSmall = 0;
  STStrMemBlockHeader* m_pMedium = nullptr;
  std::uint32_t m_nMedium = 0;
};

class CStrMemAlloc : public CStrMemCache, public IStrMemAlloc {
 public:
  static constexpr int knNoMemory = 100;
  // Flags bit 0: the exact size, no size class and no cache.
  static constexpr std::uint32_t kdwExactSize = 1;

  // Creates the process's allocator (or returns the one already made) and
  // records it in ms_pclAllocateur. It is not installed: the program puts
  // the result in CInformationModule::ms_piStrMemAlloc. Null when the memory
  // is refused.
  static CStrMemAlloc* s_pclInit();
  // Destroys the recorded allocator: every cached block is freed. Blocks
  // still held by strings are not: every string must be gone first. When the
  // allocator is still installed, the installation is cleared.
  static void s_Term();
  static CStrMemAlloc* ms_pclAllocateur;

  // The capacity given for a request of nSize bytes to a block of current
  // capacity nCapacity (0 for a new block): 100 up to 100 bytes, 996 up to
  // 996; above, with d = nSize - nCapacity in unsigned arithmetic:
  // d < c/10 gives c + c/5, d < c/5 gives c + c/2, d < c/2 gives 2c, else
  // 2 * nSize (so a new large block, or one asked to shrink, gets 2 * nSize).
  static std::uint64_t s_nSizeClass(std::uint64_t nSize, std::uint64_t nCapacity);

  CStrMemAlloc() = default;
  ~CStrMemAlloc() override;

  // Cached blocks of one capacity, read under the lock.
  std::uint32_t nGetCachedBlocks(std::uint32_t nCapacity);

  // IStrMemAlloc (see the file comment).
  int vnGetVersionIStrMemAlloc() override;
  int vnAllocStrMem(void** ppData, std::uint32_t nBytes) override;
  int vnReallocStrMem(void** ppData, std::uint32_t nBytes) override;
  // Caches or frees the block; nothing for null.
  void vReleaseStrMem(void* pData) override;
  int vnAllocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) override;
  // Grows (or shrinks) the block to the capacity of the request: into a
  // cached block of that class when there is one (flags and min(length,
  // capacity) bytes copied, the old block released), else by realloc. The
  // length never exceeds the new capacity.
  int vnReallocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) override;

 private:
  std::recursive_mutex m_mutex;
};
