// The memory block behind every shared string (CXYString) and binary buffer
// (CTNBIN), and the operations they all build on.
//
// A handle is a pointer to the first data byte, or null for the empty value.
// The block comes from the runtime's string allocator
// (CInformationModule::ms_piStrMemAlloc) and starts with a 16-byte header
// right before the data: flags, reference count, capacity in bytes and
// length in bytes. The allocator keeps 4 bytes after the capacity, so a
// 4-byte zero can always follow the data.
//
// Ownership: each holder of a handle owns one reference. The count changes
// only by locked add, so handles may be shared and released from several
// threads at once; the content is changed only by a holder that first made
// the block exclusive (count below 2).
//
// Sizes: no request reaches 0x7fffff00 units, and no block 0xFFFFFFFC bytes
// (the header holds 32-bit byte counts); both are refused with 108 before
// the allocator is called. Negative requests are refused with 108 as well.
#pragma once

#include <cstddef>
#include <cstdint>

struct STSharedBlockHeader {
  std::uint32_t dwFlags;     // bit 0: the data ends with the end marker
  std::uint32_t nRefCount;   // holders; locked add only
  std::uint32_t nCapacity;   // usable data bytes
  std::uint32_t nLength;     // data bytes in use
};

static_assert(sizeof(STSharedBlockHeader) == 16, "the header is 16 bytes");
static_assert(offsetof(STSharedBlockHeader, dwFlags) == 0, "flags at -16");
static_assert(offsetof(STSharedBlockHeader, nRefCount) == 4, "count at -12");
static_assert(offsetof(STSharedBlockHeader, nCapacity) == 8, "capacity at -8");
static_assert(offsetof(STSharedBlockHeader, nLength) == 12, "length at -4");

namespace SharedBlock {

// Result codes of the shared strings and buffers.
constexpr int kNoAllocator = 100;     // no allocator installed
constexpr int kNothingConverted = 105;
constexpr int kTooLarge = 108;

// First unit count refused, and the largest byte count a header can hold
// with the terminator room behind it.
constexpr std::uint64_t kMaxUnits = 0x7fffff00;
constexpr std::uint64_t kMaxBytes = 0xFFFFFFFC;

// Flags bit 0: the text ends with the all-ones end marker.
constexpr std::uint32_t kEndMarkerFlag = 1;

inline STSharedBlockHeader* pHeader(const void* data) {
  return reinterpret_cast<STSharedBlockHeader*>(
      const_cast<unsigned char*>(static_cast<const unsigned char*>(data)) -
      sizeof(STSharedBlockHeader));
}

// True when `units` units of `unitSize` bytes cannot be asked for: negative,
// 0x7fffff00 units or more, or more bytes than a header can count.
inline bool bTooLarge(std::int64_t units, std::size_t unitSize) {
  if (units < 0) return true;
  const std::uint64_t u = static_cast<std::uint64_t>(units);
  return u >= kMaxUnits || u * unitSize > kMaxBytes;
}

inline std::uint32_t nGetLength(const void* data) { return data ? pHeader(data)->nLength : 0; }
inline std::uint32_t nGetCapacity(const void* data) { return data ? pHeader(data)->nCapacity : 0; }
inline std::uint32_t dwGetFlags(const void* data) { return data ? pHeader(data)->dwFlags : 0; }

// Writes the 4-byte zero that follows the data.
void WriteTerminator(void* data);

// The count, read atomically.
std::uint32_t nGetRefCount(const void* data);

// One more holder; nothing for null.
void AddRef(void* data);

// Drops the caller's reference: the holder that takes the count from 1 to 0
// gives the block back to the allocator. *ppData becomes null.
void Release(void** ppData);

// A new block of at least nBytes (count 1, flags 0, length 0) into *ppData.
// 108 when nBytes exceeds kMaxBytes, 100 without an allocator, else the
// allocator's result; *ppData is left alone on failure.
int nAllocate(void** ppData, std::uint64_t nBytes, std::uint32_t nFlags);

// Makes *ppData exclusive with room for nBytes, the other fields as below:
// - null: a new block of nBytes (nothing when nBytes is 0);
// - exclusive: grown through the allocator when nBytes exceeds the capacity;
// - shared: a new block of nBytes receives min(length, nBytes) bytes and the
//   flags word, and then the old reference is dropped.
// On failure the handle, its reference and its content are unchanged.
int nPrepare(void** ppData, std::uint64_t nBytes, std::uint32_t nFlags);

// True when `p` points into the data of the block (capacity and terminator
// room included).
bool bInside(const void* p, const void* data);

// Where a source pointer that may lie inside a block will be after the
// block moved: the same offset in the new block. Pointers outside the old
// block's data are returned unchanged.
const void* pRebase(const void* source, const void* oldData, std::uint32_t oldCapacity,
                    const void* newData);

}  // namespace SharedBlock
