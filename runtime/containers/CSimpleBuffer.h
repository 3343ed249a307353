// CSimpleBuffer: an owned block of bytes whose size is set as a whole (the
// byte streams and the record layer use it as a work buffer).
//
// The block comes from XMALLOC_pNew_ and goes back through XMALLOC_Del_; the
// data pointer is null exactly when the size is 0. Changing the size
// discards the contents. When a block cannot be allocated the buffer is
// left empty (size 0), never with a size that has no block behind it.
//
// CSimpleConstBufferBase and CSimpleBufferBase are the non-polymorphic
// bases that hold the data pointer and the size: the first reads them, the
// second also gives write access to the bytes.
#pragma once

#include <cstdint>

class CSimpleConstBufferBase {
 public:
  const unsigned char* pGetData() const { return m_pData; }
  std::uint64_t nGetSize() const { return m_nSize; }

 protected:
  CSimpleConstBufferBase() = default;
  ~CSimpleConstBufferBase() = default;

  unsigned char* m_pData = nullptr;
  std::uint64_t m_nSize = 0;
};

class CSimpleBufferBase : public CSimpleConstBufferBase {
 public:
  using CSimpleConstBufferBase::pGetData;
  unsigned char* pGetData() { return m_pData; }

 protected:
  CSimpleBufferBase() = default;
  ~CSimpleBufferBase() = default;
};

class CSimpleBuffer : public CSimpleBufferBase {
 public:
  // Empty buffer.
  CSimpleBuffer() = default;
  // A block of nSize bytes (contents undefined).
  explicit CSimpleBuffer(unsigned long nSize);
  // A copy of nSize bytes at pData.
  CSimpleBuffer(const void* pData, unsigned long nSize);
  // A copy of other's bytes; empty for null.
  explicit CSimpleBuffer(const CSimpleBuffer* other);
  CSimpleBuffer(const CSimpleBuffer&) = delete;
  CSimpleBuffer& operator=(const CSimpleBuffer&) = delete;
  // Frees the block.
  virtual ~CSimpleBuffer();

  // Nothing when the size is unchanged; otherwise the old block is freed
  // (its contents are lost) and a block of the new size allocated (none for
  // 0). When that fails the buffer is empty.
  virtual void SetSize(unsigned long nSize);

  // SetSize(nSize) through the virtual slot, then a copy of nSize bytes from
  // pData; the bytes may lie in this buffer's own block. When the block
  // cannot be had, nothing is copied and the buffer is empty.
  void CopyBuffer(const void* pData, unsigned long nSize);
};
