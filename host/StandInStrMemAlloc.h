// The stand-in runtime's string allocator (information item 13): blocks of
// the shared strings laid out as the runtime lays them out, with counters
// and fault injection for the tests.
//
// Blocks: a 16-byte header (flags 0, count 1, capacity = the bytes asked,
// length 0) before the data, and 4 zero bytes after the capacity. Growth
// always moves the block (a caller that keeps a stale pointer reads freed
// memory) and keeps flags, count, length and the bytes within the length.
//
// Checks: a pointer handed back that this allocator did not give out (or
// already took back), a growth of a block whose count is not 1 and a release
// of one whose count is not 0 abort the process with a message on standard
// error; so does a call to slot 4 or 5 while the version is set below 2
// (those slots do not exist for such a runtime).
//
// Thread-safe: one mutex guards the block set and the counters. Blocks still
// live when the object is destroyed are left alone, so the object should
// outlive every block it gave out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "IStrMemAlloc.h"

class CStandInStrMemAlloc final : public IStrMemAlloc {
 public:
  // Slot numbers, for nGetCalls.
  enum eSLOT { SLOT_VERSION = 0, SLOT_ALLOC, SLOT_REALLOC, SLOT_RELEASE, SLOT_ALLOC_EX,
               SLOT_REALLOC_EX, SLOT_COUNT };

  static constexpr int kDefaultFailure = 100;

  CStandInStrMemAlloc() = default;
  CStandInStrMemAlloc(const CStandInStrMemAlloc&) = delete;
  CStandInStrMemAlloc& operator=(const CStandInStrMemAlloc&) = delete;

  int vnGetVersionIStrMemAlloc() override;
  int vnAllocStrMem(void** ppData, std::uint32_t nBytes) override;
  int vnReallocStrMem(void** ppData, std::uint32_t nBytes) override;
  void vReleaseStrMem(void* pData) override;
  int vnAllocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) override;
  int vnReallocStrMemEx(void** ppData, std::uint32_t nBytes, std::uint32_t nFlags) override;

  // The version answered by slot 0 (2 unless set).
  void SetVersion(int nVersion);

  // The next k allocation or growth calls (slots 1, 2, 4, 5) fail with
  // `nCode` and change nothing.
  void FailNextCalls(int k, int nCode = kDefaultFailure);

  // Blocks given out and not yet taken back.
  std::size_t nGetLiveBlocks() const;

  // Calls of one slot, and of all the slots that allocate or grow (1, 2, 4,
  // 5), since construction or the last ResetCalls.
  int nGetCalls(eSLOT slot) const;
  int nGetAllocationCalls() const;
  void ResetCalls();

  // Flags of the last allocation or growth call (slots 4 and 5).
  std::uint32_t dwGetLastFlags() const;

  // True when `pData` is a live block of this allocator.
  bool bIsLive(const void* pData) const;

 private:
  int _nAlloc(void** ppData, std::uint32_t nBytes);
  int _nRealloc(void** ppData, std::uint32_t nBytes);
  bool _bFailNow(int* pnCode);
  void _CheckLive(const void* pData, const char* pszWhat) const;

  mutable std::mutex m_mutex;
  std::unordered_set<const void*> m_setLive;
  int m_nVersion = 2;
  int m_nFailCount = 0;
  int m_nFailCode = kDefaultFailure;
  int m_anCalls[SLOT_COUNT] = {};
  std::uint32_t m_dwLastFlags = 0;
};
