#include "CTObjAlloc.h"

#include <cstring>

namespace {

constexpr std::size_t kChunkBytes = 4096;

std::size_t nRoundUp8(std::uint64_t n) { return static_cast<std::size_t>((n + 7) & ~std::uint64_t{7}); }

// The header is padded to 8 bytes so that the slots after it stay aligned.
std::size_t nHeaderBytes(std::size_t nHeader) { return nRoundUp8(nHeader); }

void* pLoadPtr(const void* p) {
  void* v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void StorePtr(void* p, const void* v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

CObjAllocBase::~CObjAllocBase() { Reset(); }

void CObjAllocBase::Init(std::uint64_t nObjectSize) {
  Reset();
  m_nObjectSize = nObjectSize;
  if (nObjectSize == 0) {
    m_nObjPerChunk = 0;
    return;
  }
  std::uint64_t n = kChunkBytes / (nObjectSize + mg_nSpaceCostPerObj);
  m_nObjPerChunk = static_cast<std::uint32_t>(n < 2 ? 2 : (n > 0xFFFFFFFFu ? 0xFFFFFFFFu : n));
}

std::size_t CObjAllocBase::_nStride() const { return nRoundUp8(m_nObjectSize + mg_nSpaceCostPerObj); }

void CObjAllocBase::_ReleaseList(SChunk*& pHead) {
  while (pHead != nullptr) {
    SChunk* pNext = pHead->pNext;
    ObjAlloc_DelChunk(pHead);
    pHead = pNext;
  }
}

void CObjAllocBase::Reset() {
  _ReleaseList(m_pFull);
  _ReleaseList(m_pPartial);
  m_nChunkCount = 0;
  m_nLiveCount = 0;
  m_nFreeSlots = 0;
}

void CObjAllocBase::_Unlink(SChunk*& pHead, SChunk* pChunk) {
  if (pChunk->pPrev != nullptr)
    pChunk->pPrev->pNext = pChunk->pNext;
  else
    pHead = pChunk->pNext;
  if (pChunk->pNext != nullptr) pChunk->pNext->pPrev = pChunk->pPrev;
  pChunk->pNext = pChunk->pPrev = nullptr;
}

void CObjAllocBase::_PushFront(SChunk*& pHead, SChunk* pChunk) {
  pChunk->pPrev = nullptr;
  pChunk->pNext = pHead;
  if (pHead != nullptr) pHead->pPrev = pChunk;
  pHead = pChunk;
}

bool CObjAllocBase::_bAddChunk() {
  if (m_nObjPerChunk == 0) return false;
  const std::size_t nStride = _nStride();
  const std::size_t nHeader = nHeaderBytes(sizeof(SChunk));
  // A pool of absurd object size would overflow the block size.
  if (nStride == 0 || m_nObjPerChunk > (SIZE_MAX - nHeader) / nStride) return false;
  void* pBlock = ObjAlloc_pNewChunk(nHeader + nStride * m_nObjPerChunk);
  if (pBlock == nullptr) return false;
  auto* pChunk = static_cast<SChunk*>(pBlock);
  pChunk->nFree = m_nObjPerChunk;
  pChunk->pOwner = this;
  unsigned char* pSlots = static_cast<unsigned char*>(pBlock) + nHeader;
  // Free list in address order: slot i links to slot i + 1.
  for (std::uint32_t i = 0; i < m_nObjPerChunk; ++i) {
    void* pLink = i + 1 < m_nObjPerChunk ? pSlots + (i + 1) * nStride : nullptr;
    StorePtr(pSlots + i * nStride, pLink);
  }
  pChunk->pFreeHead = pSlots;
  _PushFront(m_pPartial, pChunk);
  ++m_nChunkCount;
  m_nFreeSlots += m_nObjPerChunk;
  return true;
}

bool CObjAllocBase::bReserve(std::uint32_t nCount) {
  while (m_nFreeSlots < nCount)
    if (!_bAddChunk()) return false;
  return true;
}

void* CObjAllocBase::pAllocRaw() {
  if (m_pPartial == nullptr && !_bAddChunk()) return nullptr;
  SChunk* pChunk = m_pPartial;
  auto* pSlot = static_cast<unsigned char*>(pChunk->pFreeHead);
  pChunk->pFreeHead = pLoadPtr(pSlot);
  StorePtr(pSlot, pChunk);
  --pChunk->nFree;
  --m_nFreeSlots;
  ++m_nLiveCount;
  if (pChunk->nFree == 0) {
    _Unlink(m_pPartial, pChunk);
    _PushFront(m_pFull, pChunk);
  }
  return pSlot + mg_nSpaceCostPerObj;
}

void CObjAllocBase::FreeRaw(void* pObject) {
  if (pObject == nullptr) return;
  unsigned char* pSlot = static_cast<unsigned char*>(pObject) - mg_nSpaceCostPerObj;
  auto* pChunk = static_cast<SChunk*>(pLoadPtr(pSlot));
  const bool bWasFull = pChunk->nFree == 0;
  StorePtr(pSlot, pChunk->pFreeHead);
  pChunk->pFreeHead = pSlot;
  ++pChunk->nFree;
  ++m_nFreeSlots;
  --m_nLiveCount;
  if (bWasFull) {
    _Unlink(m_pFull, pChunk);
    _PushFront(m_pPartial, pChunk);
  }
  // A wholly free chunk goes back, unless it is all the pool has to serve
  // from: keeping one avoids a release and a new block on every
  // allocation that follows a free.
  if (pChunk->nFree == m_nObjPerChunk && !(m_pPartial == pChunk && pChunk->pNext == nullptr)) {
    _Unlink(m_pPartial, pChunk);
    m_nFreeSlots -= m_nObjPerChunk;
    --m_nChunkCount;
    ObjAlloc_DelChunk(pChunk);
  }
}
