// CTObjAlloc: a pool of fixed-size objects carved out of chunks of about one
// page, for the nodes and duplicate buckets of the in-memory B+ tree.
//
// A chunk is one block: a header {free count, free-list head, next chunk,
// previous chunk, owning pool} followed by slots of 8 + object size bytes
// (rounded up to a multiple of 8, so that every object is 8-byte aligned and
// may hold pointers and 64-bit fields). The first 8 bytes of a slot hold the
// owning chunk while the object is live and the free-list link while it is
// free. Chunks with free slots are listed apart from full ones; the first
// chunk with free slots serves allocations.
//
// Ownership: every object handed out belongs to the pool until it is given
// back with Free; destroying the pool releases every chunk, live objects
// included (their contents are never finalised: they are plain bytes).
//
// Reservation: bReserve(n) makes sure that the next n allocations cannot
// fail, by adding chunks until at least n slots are free. A caller that must
// not be left half-done (an insertion into the tree) reserves first and only
// then changes anything.
//
// Chunk blocks come from ObjAlloc_pNewChunk and go back through
// ObjAlloc_DelChunk (ObjAllocChunk.cpp, a file of its own so that a test
// program can interpose on them at link time).
#pragma once

#include <cstddef>
#include <cstdint>

// A new block of `size` bytes for a pool's chunk; null when it cannot be had.
void* ObjAlloc_pNewChunk(std::size_t size);
// Gives back a block from ObjAlloc_pNewChunk.
void ObjAlloc_DelChunk(void* block);

class CObjAllocBase {
 public:
  // Bytes a slot costs beyond its object.
  static constexpr std::uint32_t mg_nSpaceCostPerObj = 8;

  // A pool that serves nothing until Init gives it an object size.
  CObjAllocBase() = default;
  explicit CObjAllocBase(std::uint64_t nObjectSize) { Init(nObjectSize); }
  CObjAllocBase(const CObjAllocBase&) = delete;
  CObjAllocBase& operator=(const CObjAllocBase&) = delete;
  // Releases every chunk.
  ~CObjAllocBase();

  // Releases every chunk, then sets the object size; objects per chunk =
  // 4096 / (object size + 8), at least 2. A size of 0 leaves the pool unusable
  // (every allocation fails).
  void Init(std::uint64_t nObjectSize);
  // Releases every chunk (every live object is gone); the size stays.
  void Reset();

  // A slot of object-size bytes (contents undefined), 8-byte aligned; null
  // when no chunk can be made.
  void* pAllocRaw();
  // Gives back a slot of this pool; nothing for null.
  void FreeRaw(void* pObject);
  // At least nCount free slots, adding chunks as needed; false when a chunk
  // cannot be made (the chunks already added stay, free).
  bool bReserve(std::uint32_t nCount);

  std::uint64_t nGetObjectSize() const { return m_nObjectSize; }
  std::uint32_t nGetObjectsPerChunk() const { return m_nObjPerChunk; }
  std::uint32_t nGetChunkCount() const { return m_nChunkCount; }
  std::uint64_t nGetLiveCount() const { return m_nLiveCount; }
  std::uint64_t nGetFreeSlots() const { return m_nFreeSlots; }

 private:
  struct SChunk {
    std::uint32_t nFree;
    void* pFreeHead;  // the first free slot
    SChunk* pNext;
    SChunk* pPrev;
    CObjAllocBase* pOwner;
  };

  bool _bAddChunk();
  static void _Unlink(SChunk*& pHead, SChunk* pChunk);
  static void _PushFront(SChunk*& pHead, SChunk* pChunk);
  static void _ReleaseList(SChunk*& pHead);
  std::size_t _nStride() const;

  std::uint32_t m_nObjPerChunk = 0;
  SChunk* m_pFull = nullptr;      // chunks without a free slot
  SChunk* m_pPartial = nullptr;   // chunks with free slots; the first serves
  std::uint32_t m_nChunkCount = 0;
  std::uint64_t m_nLiveCount = 0;
  std::uint64_t m_nObjectSize = 0;
  std::uint64_t m_nFreeSlots = 0;  // free slots over every chunk
};

// The typed face of a pool: objects of type T (a plain header type whose
// variable-length tail follows it; the object size is the whole).
template <class T>
class CTObjAlloc : public CObjAllocBase {
 public:
  CTObjAlloc() = default;
  explicit CTObjAlloc(std::uint64_t nObjectSize) : CObjAllocBase(nObjectSize) {}

  // An object of the pool's size, its bytes undefined; null on failure.
  T* pAlloc() { return static_cast<T*>(pAllocRaw()); }
  // Gives back an object of this pool; nothing for null.
  void Free(T* pObject) { FreeRaw(pObject); }
};
