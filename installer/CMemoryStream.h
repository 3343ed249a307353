// A stream (IXStream) over one block of memory: either a caller's block,
// associated with bAssociate and never freed or grown here, or memory the
// stream allocates itself (opened with create XCREATE_TRUNCATE), which grows
// as it is written and is freed by the destructor, __DeleteMemory, a new
// bAssociate or a new truncating bOpen.
//
// States: 0 closed, 1 associated with a caller's block, 2 open on its own
// memory, 3 open on the associated block. Reads and writes need state 2 or 3
// and the matching access. The size is 32-bit: no growth passes 0xFFFFFFFF.
//
// Reads and writes without a count are all or nothing; with a count they do
// what fits and report it. A stream that owns its memory grows on write
// whatever the automatic-growth mode; a seek past the end grows it only with
// that mode on (bSetAutoExpandMode), the new bytes zero-filled. No seek lands
// before the block.
//
// No lock: a stream belongs to one thread at a time.
#pragma once

#include <cstdint>

#include "CTString.h"
#include "IXStream.h"

class CMemoryStream : public IXStream {
 public:
  // Flag bits.
  static constexpr std::uint32_t kdwRead = 0x1;
  static constexpr std::uint32_t kdwWrite = 0x2;
  static constexpr std::uint32_t kdwOnAssociated = 0x4;  // opened on an associated block
  static constexpr std::uint32_t kdwOwnsMemory = 0x8;
  static constexpr std::uint32_t kdwAutoExpand = 0x10;

  // States.
  enum eSTATE : int { STATE_CLOSED = 0, STATE_ASSOCIATED = 1, STATE_OWN = 2, STATE_OPEN_ASSOCIATED = 3 };

  CMemoryStream() = default;
  // Frees the memory the stream owns.
  ~CMemoryStream() override;

  using IXStream::bRead;
  using IXStream::bWrite;

  // Sets the name, then: access 0 read, 1 write, 2 read-write (any other:
  // false). XCREATE_TRUNCATE frees owned memory and opens on new, empty
  // memory of the stream's own (state 2, *pbCreated = 1). XCREATE_OPEN opens
  // the associated block (state 1 or 3 before; else false), *pbCreated = 0.
  // Any other create: false. The position is at the start; automatic growth
  // is off. `eShare` and `eFlag` are not used.
  bool bOpen(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
             int* pbCreated) override;
  // State 0; the memory stays (owned memory until the destructor or a new
  // truncating open).
  void Close() override;
  // Writes at the position (see the file comment); *pnWritten gets the bytes
  // written (0 on failure).
  bool bWrite(const void* buffer, unsigned n, unsigned* pnWritten) override;
  // Reads from the position; *pnRead gets the bytes read (0 on failure).
  bool bRead(void* buffer, unsigned n, unsigned* pnRead) override;
  // Mode 0 from the start, 1 from the position, 2 from the end (an offset of
  // 0 or less goes to size + offset, a positive one to size - offset); any
  // other mode puts the position at 0 and succeeds. A target below 0 is
  // refused, and one past the size unless automatic growth is on; a refused
  // seek leaves the position unchanged.
  bool bSeek(std::int64_t offset, eSEEK eOrigin) override;
  // The block's size (the position unchanged by both).
  std::int64_t oGetSize() override;
  std::int64_t oGetSizeFast() override;
  const wchar_t* pszGetName() override;
  // Position less address.
  std::int64_t oGetOffset() override;
  // State 2 or 3.
  bool bIsOpen() override;
  // 2 read-write, 0 read, 1 write, -1 none (closed).
  eACCESS veGetAccess() override;

  // Takes the caller's block of nSize bytes (not owned; it must outlive the
  // use), position at its start, state 1. False unless the state is 0; owned
  // memory is freed first.
  virtual bool bAssociate(void* pBlock, std::uint32_t nSize);
  // The block's address (null when there is none).
  virtual void* pGetAddress();
  // Frees the memory the stream owns (nothing for a caller's block); the
  // stream is left with no block, still owning its memory, so a write on a
  // stream open on its own memory allocates anew.
  virtual void __DeleteMemory();

  // Sets or clears automatic growth on seeks; only for a stream in a
  // non-zero state that owns its memory (else false).
  bool bSetAutoExpandMode(bool bOn);

 private:
  // Makes owned memory nNewSize bytes (> the size), zero-filling the new
  // bytes when asked; false when the size passes 32 bits or memory is
  // refused (nothing changed then).
  bool bGrow(std::uint64_t nNewSize, bool bZeroFill);
  std::uint32_t nRemaining() const;

  int m_nState = STATE_CLOSED;
  std::uint32_t m_dwFlags = 0;
  unsigned char* m_pbyAddress = nullptr;
  unsigned char* m_pbyPosition = nullptr;
  std::uint32_t m_nSize = 0;
  CTString m_sName;
};
