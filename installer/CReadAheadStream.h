// CReadAheadStream: a read-only stream (IXStream) that reads another stream
// in large blocks and serves small reads from memory.
//
// The ZIP engine reads an archive in many small pieces (a 30-byte local
// header, then the name, the extra field, then the data in 16 KiB pieces),
// each a seek and a read of the archive file. Put between the engine and the
// file, this stream turns them into one positioned read of the source per
// block (knBlockSize bytes): the seeks only move a position kept here, and
// reads that lie in the block in memory cost no system call.
//
// Contract:
// - The source is borrowed (not owned, never opened or closed here); it
//   must outlive every read. Its content is taken as unchanging while a
//   block is held: Invalidate drops the block (call it whenever the source
//   is opened on another file).
// - bSeek moves the position only (any origin; the end is the source's
//   oGetSize); a negative position is refused. bRead reads from the
//   position: with pnRead a short count at the end of the source is
//   success, without it the read must be exact. A read of a block or more
//   goes straight to the source.
// - Writes, size changes and locks are refused. A failure of the source is
//   copied into this stream's error object.
//
// One thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "IXStream.h"

class CReadAheadStream : public IXStream {
 public:
  static constexpr unsigned knBlockSize = 256 * 1024;

  // `pSource`: the stream read from (not owned; may be null until set).
  explicit CReadAheadStream(IXStream* pSource = nullptr);
  ~CReadAheadStream() override;

  using IXStream::bRead;
  using IXStream::bWrite;

  void SetSource(IXStream* pSource);
  IXStream* pGetSource() const { return m_pSource; }
  // Drops the block in memory; the position is kept.
  void Invalidate();

  bool bRead(void* buffer, unsigned n, unsigned* pnRead) override;
  bool bSeek(std::int64_t offset, eSEEK eOrigin) override;
  std::int64_t oGetOffset() override { return m_llPosition; }
  std::int64_t oGetSize() override;
  bool bWrite(const void* buffer, unsigned n, unsigned* pnWritten) override;
  bool bSetSize(std::int64_t size, eGROW eGrow) override;
  bool bLock(std::int64_t offset, std::int64_t length) override;
  // Drops the block and the position (the source is not closed).
  void Close() override;
  // The source's state.
  bool bIsOpen() override;
  eACCESS veGetAccess() override;

 private:
  bool _bFail(int nErrno);
  // Copies the source's error (or errno) and answers false.
  bool _bSourceFailed();

  IXStream* m_pSource;
  std::unique_ptr<unsigned char[]> m_pBlock;
  std::int64_t m_llBlockStart = 0;
  unsigned m_nBlockLength = 0;
  std::int64_t m_llPosition = 0;
};
