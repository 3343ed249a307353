// Shared, reference-counted binary buffer in the runtime's string memory:
// the value of the typed values' binary type, handed to and from the
// runtime without a copy.
//
// The object holds one handle: a pointer to the first data byte of a block
// laid out as SharedStringBlock.h describes, or null for the empty buffer
// (length 0, no memory). Copies share the block (count + 1); every change
// first makes the block exclusive, so other holders never see it. A 4-byte
// zero always follows the data, so the bytes can be read as text.
//
// Results are 0 or an error code: 108 for a negative size or one of
// 0x7fffff00 bytes or more (checked before the allocator is called), 100
// without an allocator, 105 for a conversion that yields nothing from a
// non-empty source; any other code is the allocator's. An operation that
// fails keeps the former buffer, except the conversions, which leave the
// buffer empty.
//
// Sources handed in as raw bytes may lie inside the own block.
#pragma once

#include <cstdint>

#include "SharedStringBlock.h"

struct STTabAny;

class CTNBIN {
 public:
  CTNBIN() = default;
  // Shares the other's block.
  CTNBIN(const CTNBIN& other);
  CTNBIN(CTNBIN&& other) noexcept;
  // A new block with a copy of n bytes (empty for n = 0, no bytes or a
  // refused size).
  CTNBIN(const void* bytes, long n);
  CTNBIN& operator=(const CTNBIN& other);
  CTNBIN& operator=(CTNBIN&& other) noexcept;
  ~CTNBIN() { ReleaseDynStr(); }

  unsigned char* pGetData() const { return m_pData; }
  std::uint32_t nGetTailleUtile() const { return SharedBlock::nGetLength(m_pData); }
  std::uint32_t nGetCapacity() const { return SharedBlock::nGetCapacity(m_pData); }
  std::uint32_t dwGetFlags() const { return SharedBlock::dwGetFlags(m_pData); }
  bool bEstVide() const { return nGetTailleUtile() == 0; }

  // Drops the reference (the last holder returns the block); empty after.
  void ReleaseDynStr() { SharedBlock::Release(reinterpret_cast<void**>(&m_pData)); }

  // Replaces the value with a new block of n bytes, length `count`, holding
  // `count` bytes of `source` when given. n = 0: empty. 108 when n is
  // negative or too large, or count is not within 0..n.
  int _nNew(long n, const void* source, long count, std::uint32_t flags = 0);

  // Writes `count` bytes of `source` at byte `at` (at most the length),
  // making the block exclusive and large enough; length = at + count.
  // Nothing when `source` is null.
  int __FillDynBin(const void* source, long count, long at);

  // For a fresh object: empty for n = 0 or no bytes, else a copy of n bytes.
  int nAssignInit(const void* bytes, long n);
  // For a fresh object: one byte per typed value of the array, each read as
  // a byte (CAny::nGetBYTE); an element that is no byte gives 115 and
  // nothing is allocated. Defined with the typed values, so that the
  // runtime foundation needs none.
  int nAssignInit(const STTabAny& stTab);

  // The value becomes n bytes (copied from `bytes` when given). n = 0:
  // empty. An exclusive block is reused, grown when n exceeds its
  // capacity; a shared one is replaced by a new block.
  int nAssign(const void* bytes, long n, std::uint32_t flags = 0);

  // Shares `other`, then keeps its first n bytes (-1: all, see Tronque).
  void Assign(const CTNBIN& other, long n = -1);
  void _Assign(const CTNBIN& other, long n = -1) { Assign(other, n); }

  // Takes `other`'s reference as it is; `other` becomes empty.
  void Take(CTNBIN& other);

  // Length n; content past the old length is undefined. A null buffer gets
  // a new block of n bytes.
  int nSetSize(long n, std::uint32_t flags = 0);

  // Capacity of at least n bytes. A null buffer gets a new block (length
  // 0); n within the capacity: nothing; else the block is made exclusive
  // and grown.
  int nSetMemorySize(long n, std::uint32_t flags = 0);

  // Sets the length field only (after the caller filled the bytes); ignored
  // for a null buffer or an n outside 0..capacity.
  void SetUtilSize(long n);

  // Keeps the first n bytes; nothing when n < 0 or n > length. Clears the
  // end-marker bit. A shared block is replaced by a new one (flags 0) and
  // the old one keeps its flags; when that allocation fails nothing changes.
  void Tronque(long n);

  // Appends n bytes. A shared block is first copied with its flags.
  int nConcat(const void* bytes, long n);

  // this = a + b. a null: shares b. flags bit 0 (a may be taken over): an
  // exclusive a gives its block (a becomes empty), a shared one is shared;
  // then b is appended (on failure a gets its block back). Otherwise b null
  // shares a, else a new block a + b whose end-marker bit is b's.
  int nConcatInit(CTNBIN& a, const CTNBIN& b, unsigned int flags);

  // Appends b after `separator`: only b when this is empty and bSkip is
  // set, when this already ends with the separator or b starts with it;
  // nothing when b is empty.
  int nConcatSeparateur(const CTNBIN& separator, const CTNBIN& b, int bSkip);

  // Replaces bytes [at, at + count) by `other`'s bytes; count is clipped to
  // the length. Nothing when the buffer is null, at >= length, or at or
  // count is negative, or when the memory is refused.
  void Remplace(long at, long count, const CTNBIN& other);

  // this = `other` repeated k times (empty when the product is 0 or k < 0).
  int nRepete(const CTNBIN& other, long k);

  // A copy of bytes [start, start + count) into `target`. Empty for
  // start < 0, start > length, count 0 or count < -1; count -1 or past the
  // end: up to the end.
  int nMilieu(CTNBIN& target, long start, long count) const;
  CTNBIN clMilieu(long start, long count) const;

  // First byte position at or after `from` where the n bytes occur; -1 when
  // from < 0, n < 1, the buffer is empty or from + n > length.
  long nPos(const void* bytes, long n, long from) const;

  // Prefix, suffix and containment; an empty `other` always matches.
  bool bCommencePar(const CTNBIN& other) const;
  bool bTerminePar(const CTNBIN& other) const;
  bool bContient(const CTNBIN& other) const;

  // Unsigned byte comparison of the common prefix; on an equal prefix the
  // shorter is smaller. -1, 0 or 1.
  static int nCompare(const CTNBIN& a, const CTNBIN& b);
  // At most n bytes; when n exceeds the shorter length, as above.
  static int nCompare(const CTNBIN& a, const CTNBIN& b, long n);

  // Wide text (count -1: up to the terminator) to bytes of `codePage`
  // through WideCharToMultiByte, with `extra` more bytes of room. Empty
  // input gives an empty buffer.
  int nAffecteToANSI(const wchar_t* wide, long count, unsigned int codePage,
                     unsigned int flags = 0, const char* defaultChar = nullptr,
                     int* usedDefault = nullptr, long extra = 0);
  // The same from a buffer of wide characters (4 bytes each), keeping its
  // end marker unless the code page is 65001.
  int nAffecteToANSI(const CTNBIN* wideBuffer, unsigned int codePage, unsigned int flags = 0,
                     const char* defaultChar = nullptr, int* usedDefault = nullptr,
                     long extra = 0);

  // 8-bit text (length -1: up to the terminator) to wide characters stored
  // as bytes, 4 per character.
  int nAffecteToUNICODE(const char* text, long length, unsigned int codePage,
                        unsigned int flags = 0);

 private:
  // Takes one reference of `block` in place of the own one.
  void _Attach(void* block);

  unsigned char* m_pData = nullptr;
};
