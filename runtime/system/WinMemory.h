// Windows memory functions: global blocks, heap blocks and the memory
// status of the machine.
//
// Every block comes from the XMALLOC_* wrappers and belongs to the caller,
// who gives it back through the matching free function of its family
// (GlobalFree for Global* blocks, HeapFree for Heap* blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>

constexpr unsigned int GMEM_ZEROINIT = 0x40;
constexpr unsigned int GMEM_MODIFY = 0x80;
constexpr unsigned int HEAP_GENERATE_EXCEPTIONS = 0x4;
constexpr unsigned int HEAP_ZERO_MEMORY = 0x8;
constexpr std::uint32_t STATUS_NO_MEMORY = 0xC0000017;

// A block of `size` bytes; GMEM_ZEROINIT zeroes it. Null when memory is
// short.
void* GlobalAlloc(unsigned int flags, std::size_t size);

// GMEM_MODIFY: `p` unchanged. Otherwise the block resized (XMALLOC_pResize_:
// on failure null, and `p` stays valid and owned by the caller); with
// GMEM_ZEROINIT the bytes the block gains are zeroed; its content is kept.
void* GlobalReAlloc(void* p, std::size_t size, unsigned int flags);

// Frees the block (null is ignored); returns null.
void* GlobalFree(void* p);

// `p` itself: blocks never move while held.
void* GlobalLock(void* p);
// Nothing to undo; false, as for a block that is no longer locked.
bool GlobalUnlock(void* p);

// The failure of a heap allocation made with HEAP_GENERATE_EXCEPTIONS; its
// code is STATUS_NO_MEMORY.
class CHeapException : public std::bad_alloc {
 public:
  std::uint32_t dwGetCode() const { return STATUS_NO_MEMORY; }
  const char* what() const noexcept override { return "heap allocation failed (0xC0000017)"; }
};

// Heap blocks: the returned pointer is 16-byte aligned and has the block's
// size as a 32-bit word just before it. `heap` is not used. Sizes of 2^32
// bytes or more are refused.
// HeapAlloc: a block of `size` bytes, zeroed with HEAP_ZERO_MEMORY. On
// failure null, or CHeapException with HEAP_GENERATE_EXCEPTIONS.
void* HeapAlloc(void* heap, unsigned int flags, std::size_t size);
// HeapReAlloc: the block of `p` resized, its content kept; with
// HEAP_ZERO_MEMORY the bytes added are zeroed. On failure (also for a null
// `p`) null, or CHeapException with HEAP_GENERATE_EXCEPTIONS, and `p` stays
// valid.
void* HeapReAlloc(void* heap, unsigned int flags, void* p, std::size_t size);
// HeapFree: frees the block of `p` (null is ignored); true.
bool HeapFree(void* heap, unsigned int flags, void* p);

// Memory status: sizes in bytes, the load in percent.
struct MEMORYSTATUSEX {
  std::uint32_t dwLength;  // 40
  std::uint32_t dwMemoryLoad;
  std::uint64_t ullTotalPhys;
  std::uint64_t ullAvailPhys;
  std::uint64_t ullTotalPageFile;  // swap
  std::uint64_t ullAvailPageFile;
};

// The older record: the four sizes saturate at 0xFFFFFFFF.
struct MEMORYSTATUS {
  std::uint32_t dwLength;  // 24
  std::uint32_t dwMemoryLoad;
  std::uint32_t dwTotalPhys;
  std::uint32_t dwAvailPhys;
  std::uint32_t dwTotalPageFile;
  std::uint32_t dwAvailPageFile;
};

// Fills the record from "/proc/meminfo", read at most once per second
// (within one second of the clock the previous values are given again);
// without it from sysinfo (load 0); when that fails too every size is
// 16777216 and the load 0. Process-wide, unlocked: call from one thread.
void GlobalMemoryStatusEx(MEMORYSTATUSEX* status);
// The same in the older record.
void GlobalMemoryStatus(MEMORYSTATUS* status);

// The record from a text in the form of /proc/meminfo: "MemTotal:",
// "MemFree:", "Buffers:", "Cached:", "SwapTotal:", "SwapFree:" in kilobytes
// (or the older "Mem:" and "Swap:" lines in bytes); the available memory is
// free + buffers + cached; load = (total + swap total - swap free -
// available) / ((total + swap total) / 100), computed only when the total is
// given (0 otherwise, and when that divisor is 0). Missing values are 0.
void MemoryStatusFromMemInfo(FILE* meminfo, MEMORYSTATUSEX* status);

// The older record from the newer one, each size cut at 0xFFFFFFFF.
void MemoryStatusExToMemoryStatus(const MEMORYSTATUSEX& in, MEMORYSTATUS* out);

// memset(p, 0, n).
void ZeroMemory(void* p, std::size_t n);
