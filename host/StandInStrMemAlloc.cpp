#include "StandInStrMemAlloc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct STHeader {
  std::uint32_t dwFlags;
  std::uint32_t nRefCount;
  std::uint32_t nCapacity;
  std::uint32_t nLength;
};
static_assert(sizeof(STHeader) == 16, "the header is 16 bytes");

constexpr std::size_t kTerminatorRoom = 4;

STHeader* pHeaderOf(const void* pData) {
  return reinterpret_cast<STHeader*>(
      const_cast<unsigned char*>(static_cast<const unsigned char*>(pData)) - sizeof(STHeader));
}

[[noreturn]] void Abort(const char* pszWhat, const void* pData) {
  std::fprintf(stderr, "stand-in string allocator: %s (%p)\n", pszWhat, pData);
  std::abort();
}

}  // namespace

int CStandInStrMemAlloc::vnGetVersionIStrMemAlloc() {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_anCalls[SLOT_VERSION];
  return m_nVersion;
}

int CStandInStrMemAlloc::vnAllocStrMem(void** ppData, std::uint32_t nBytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_anCalls[SLOT_ALLOC];
  m_dwLastFlags = 0;
  return _nAlloc(ppData, nBytes);
}

int CStandInStrMemAlloc::vnReallocStrMem(void** ppData, std::uint32_t nBytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_anCalls[SLOT_REALLOC];
  m_dwLastFlags = 0;
  return _nRealloc(ppData, nBytes);
}

void CStandInStrMemAlloc::vReleaseStrMem(void* pData) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_anCalls[SLOT_RELEASE];
  _CheckLive(pData, "release of a block it did not give out");
  if (pHeaderOf(pData)->nRefCount != 0) Abort("release of a block still referenced", pData);
  m_setLive.erase(pData);
  std::free(pHeaderOf(pData));
}

int CStandInStrMemAlloc::vnAllocStrMemEx(void** ppData, std::uint32_t nBytes,
                                         std::uint32_t nFlags) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_nVersion < 2) Abort("slot 4 called on a version 1 allocator", nullptr);
  ++m_anCalls[SLOT_ALLOC_EX];
  m_dwLastFlags = nFlags;
  return _nAlloc(ppData, nBytes);
}

int CStandInStrMemAlloc::vnReallocStrMemEx(void** ppData, std::uint32_t nBytes,
                                           std::uint32_t nFlags) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_nVersion < 2) Abort("slot 5 called on a version 1 allocator", nullptr);
  ++m_anCalls[SLOT_REALLOC_EX];
  m_dwLastFlags = nFlags;
  return _nRealloc(ppData, nBytes);
}

bool CStandInStrMemAlloc::_bFailNow(int* pnCode) {
  if (m_nFailCount <= 0) return false;
  --m_nFailCount;
  *pnCode = m_nFailCode;
  return true;
}

void CStandInStrMemAlloc::_CheckLive(const void* pData, const char* pszWhat) const {
  if (pData == nullptr || m_setLive.count(pData) == 0) Abort(pszWhat, pData);
}

int CStandInStrMemAlloc::_nAlloc(void** ppData, std::uint32_t nBytes) {
  int nCode = 0;
  if (_bFailNow(&nCode)) return nCode;
  auto* h = static_cast<STHeader*>(
      std::malloc(sizeof(STHeader) + static_cast<std::size_t>(nBytes) + kTerminatorRoom));
  if (h == nullptr) return kDefaultFailure;
  h->dwFlags = 0;
  h->nRefCount = 1;
  h->nCapacity = nBytes;
  h->nLength = 0;
  unsigned char* pData = reinterpret_cast<unsigned char*>(h + 1);
  std::memset(pData + nBytes, 0, kTerminatorRoom);
  m_setLive.insert(pData);
  *ppData = pData;
  return 0;
}

int CStandInStrMemAlloc::_nRealloc(void** ppData, std::uint32_t nBytes) {
  void* pOld = *ppData;
  _CheckLive(pOld, "growth of a block it did not give out");
  const STHeader* hOld = pHeaderOf(pOld);
  if (hOld->nRefCount != 1) Abort("growth of a shared block", pOld);
  int nCode = 0;
  if (_bFailNow(&nCode)) return nCode;
  const std::uint32_t nCapacity = nBytes > hOld->nCapacity ? nBytes : hOld->nCapacity;
  auto* h = static_cast<STHeader*>(
      std::malloc(sizeof(STHeader) + static_cast<std::size_t>(nCapacity) + kTerminatorRoom));
  if (h == nullptr) return kDefaultFailure;
  *h = *hOld;
  h->nCapacity = nCapacity;
  unsigned char* pData = reinterpret_cast<unsigned char*>(h + 1);
  const std::uint32_t nKeep = hOld->nLength < hOld->nCapacity ? hOld->nLength : hOld->nCapacity;
  std::memcpy(pData, pOld, nKeep);
  std::memset(pData + nCapacity, 0, kTerminatorRoom);
  m_setLive.erase(pOld);
  std::free(pHeaderOf(pOld));
  m_setLive.insert(pData);
  *ppData = pData;
  return 0;
}

void CStandInStrMemAlloc::SetVersion(int nVersion) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nVersion = nVersion;
}

void CStandInStrMemAlloc::FailNextCalls(int k, int nCode) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nFailCount = k;
  m_nFailCode = nCode;
}

std::size_t CStandInStrMemAlloc::nGetLiveBlocks() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_setLive.size();
}

int CStandInStrMemAlloc::nGetCalls(eSLOT slot) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return slot >= 0 && slot < SLOT_COUNT ? m_anCalls[slot] : 0;
}

int CStandInStrMemAlloc::nGetAllocationCalls() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_anCalls[SLOT_ALLOC] + m_anCalls[SLOT_REALLOC] + m_anCalls[SLOT_ALLOC_EX] +
         m_anCalls[SLOT_REALLOC_EX];
}

void CStandInStrMemAlloc::ResetCalls() {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (int& n : m_anCalls) n = 0;
}

std::uint32_t CStandInStrMemAlloc::dwGetLastFlags() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_dwLastFlags;
}

bool CStandInStrMemAlloc::bIsLive(const void* pData) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_setLive.count(pData) != 0;
}
