#include "WinMemory.h"

#include <sys/sysinfo.h>

#include <malloc.h>

#include <cstring>
#include <mutex>
#include <ctime>

#include "StrGetLine.h"
#include "XMalloc.h"

static_assert(sizeof(MEMORYSTATUSEX) == 40, "the record is 40 bytes");
static_assert(sizeof(MEMORYSTATUS) == 24, "the older record is 24 bytes");

namespace {

// A heap block: this header, then the caller's bytes. The size word lies
// just before the caller's pointer; the header keeps the pointer 16-byte
// aligned.
constexpr std::size_t kHeapHeader = 16;
constexpr std::size_t kHeapMaxSize = std::size_t{1} << 32;

unsigned char* pbyHeapBase(void* p) { return static_cast<unsigned char*>(p) - kHeapHeader; }

std::uint32_t dwHeapSize(void* p) {
  std::uint32_t n;
  std::memcpy(&n, static_cast<unsigned char*>(p) - sizeof(n), sizeof(n));
  return n;
}

void* pHeapUser(void* base, std::size_t size) {
  auto* p = static_cast<unsigned char*>(base) + kHeapHeader;
  const auto n = static_cast<std::uint32_t>(size);
  std::memcpy(p - sizeof(n), &n, sizeof(n));
  return p;
}

void* pHeapFailure(unsigned int flags) {
  if ((flags & HEAP_GENERATE_EXCEPTIONS) != 0) throw CHeapException();
  return nullptr;
}

std::uint32_t dwSaturate(std::uint64_t n) {
  return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(n);
}

// The last reading of the memory state, kept for a second; callers on
// several threads share it under the mutex.
std::mutex g_mtxMemoryStatus;
MEMORYSTATUSEX g_stMemoryStatus = {};
time_t g_tMemoryStatus = static_cast<time_t>(-1);

void ReadMemoryStatus(MEMORYSTATUSEX* status) {
  if (FILE* meminfo = fopen("/proc/meminfo", "re")) {
    MemoryStatusFromMemInfo(meminfo, status);
    fclose(meminfo);
    return;
  }
  std::memset(status, 0, sizeof(*status));
  status->dwLength = sizeof(MEMORYSTATUSEX);
  struct sysinfo info;
  if (sysinfo(&info) == 0) {
    const std::uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
    status->ullTotalPhys = info.totalram * unit;
    status->ullAvailPhys = (info.freeram + info.bufferram) * unit;
    status->ullTotalPageFile = info.totalswap * unit;
    status->ullAvailPageFile = info.freeswap * unit;
    return;
  }
  status->ullTotalPhys = status->ullAvailPhys = 16777216;
  status->ullTotalPageFile = status->ullAvailPageFile = 16777216;
}

}  // namespace

void* GlobalAlloc(unsigned int flags, std::size_t size) {
  void* p = XMALLOC_pNew_(size);
  if (p != nullptr && (flags & GMEM_ZEROINIT) != 0) std::memset(p, 0, size);
  return p;
}

void* GlobalReAlloc(void* p, std::size_t size, unsigned int flags) {
  if ((flags & GMEM_MODIFY) != 0) return p;
  // Zeroing on a resize clears only what the block gains: wiping the whole
  // block would destroy the content the caller is resizing to keep.
  const std::size_t nOld = p != nullptr ? malloc_usable_size(p) : 0;
  void* pNew = XMALLOC_pResize_(p, size);
  if (pNew != nullptr && (flags & GMEM_ZEROINIT) != 0 && size > nOld)
    std::memset(static_cast<char*>(pNew) + nOld, 0, size - nOld);
  return pNew;
}

void* GlobalFree(void* p) {
  if (p != nullptr) XMALLOC_Del_(p);
  return nullptr;
}

void* GlobalLock(void* p) { return p; }

bool GlobalUnlock(void* /*p*/) { return false; }

void* HeapAlloc(void* /*heap*/, unsigned int flags, std::size_t size) {
  if (size >= kHeapMaxSize) return pHeapFailure(flags);
  void* base = XMALLOC_pNew_(kHeapHeader + size);
  if (base == nullptr) return pHeapFailure(flags);
  void* p = pHeapUser(base, size);
  if ((flags & HEAP_ZERO_MEMORY) != 0) std::memset(p, 0, size);
  return p;
}

void* HeapReAlloc(void* /*heap*/, unsigned int flags, void* p, std::size_t size) {
  if (p == nullptr || size >= kHeapMaxSize) return pHeapFailure(flags);
  const std::size_t nOld = dwHeapSize(p);
  void* base = XMALLOC_pResize_(pbyHeapBase(p), kHeapHeader + size);
  if (base == nullptr) return pHeapFailure(flags);
  void* pNew = pHeapUser(base, size);
  if ((flags & HEAP_ZERO_MEMORY) != 0 && size > nOld)
    std::memset(static_cast<unsigned char*>(pNew) + nOld, 0, size - nOld);
  return pNew;
}

bool HeapFree(void* /*heap*/, unsigned int /*flags*/, void* p) {
  if (p != nullptr) XMALLOC_Del_(pbyHeapBase(p));
  return true;
}

void MemoryStatusFromMemInfo(FILE* meminfo, MEMORYSTATUSEX* status) {
  unsigned long long total = 0, free = 0, buffers = 0, cached = 0, swapTotal = 0, swapFree = 0;
  bool bTotal = false;
  char* pszLine = nullptr;
  std::size_t nCapacity = 0;
  while (STRG_nGetLine<char>(&pszLine, &nCapacity, meminfo) >= 0) {
    unsigned long long v[6];
    if (std::sscanf(pszLine, "MemTotal: %llu", &v[0]) == 1) {
      total = v[0] * 1024;
      bTotal = true;
    } else if (std::sscanf(pszLine, "MemFree: %llu", &v[0]) == 1) {
      free = v[0] * 1024;
    } else if (std::sscanf(pszLine, "Buffers: %llu", &v[0]) == 1) {
      buffers = v[0] * 1024;
    } else if (std::sscanf(pszLine, "Cached: %llu", &v[0]) == 1) {
      cached = v[0] * 1024;
    } else if (std::sscanf(pszLine, "SwapTotal: %llu", &v[0]) == 1) {
      swapTotal = v[0] * 1024;
    } else if (std::sscanf(pszLine, "SwapFree: %llu", &v[0]) == 1) {
      swapFree = v[0] * 1024;
    } else if (std::sscanf(pszLine, "Mem: %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2],
                           &v[3], &v[4], &v[5]) == 6) {
      total = v[0];
      free = v[2];
      buffers = v[4];
      cached = v[5];
      bTotal = true;
    } else if (std::sscanf(pszLine, "Swap: %llu %llu %llu", &v[0], &v[1], &v[2]) == 3) {
      swapTotal = v[0];
      swapFree = v[2];
    }
  }
  XMALLOC_Del_(pszLine);

  std::memset(status, 0, sizeof(*status));
  status->dwLength = sizeof(MEMORYSTATUSEX);
  status->ullTotalPhys = total;
  status->ullAvailPhys = free + buffers + cached;
  status->ullTotalPageFile = swapTotal;
  status->ullAvailPageFile = swapFree;
  if (bTotal) {
    const unsigned long long divisor = (total + swapTotal) / 100;
    const unsigned long long unavailable = swapFree + status->ullAvailPhys;
    if (divisor != 0 && total + swapTotal > unavailable)
      status->dwMemoryLoad = dwSaturate((total + swapTotal - unavailable) / divisor);
  }
}

void MemoryStatusExToMemoryStatus(const MEMORYSTATUSEX& in, MEMORYSTATUS* out) {
  out->dwLength = sizeof(MEMORYSTATUS);
  out->dwMemoryLoad = in.dwMemoryLoad;
  out->dwTotalPhys = dwSaturate(in.ullTotalPhys);
  out->dwAvailPhys = dwSaturate(in.ullAvailPhys);
  out->dwTotalPageFile = dwSaturate(in.ullTotalPageFile);
  out->dwAvailPageFile = dwSaturate(in.ullAvailPageFile);
}

void GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
  const time_t now = time(nullptr);
  std::lock_guard<std::mutex> lock(g_mtxMemoryStatus);
  if (now != g_tMemoryStatus) {
    ReadMemoryStatus(&g_stMemoryStatus);
    g_tMemoryStatus = now;
  }
  *status = g_stMemoryStatus;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  MEMORYSTATUSEX stEx;
  GlobalMemoryStatusEx(&stEx);
  MemoryStatusExToMemoryStatus(stEx, status);
}

void ZeroMemory(void* p, std::size_t n) {
  if (n != 0) std::memset(p, 0, n);
}
