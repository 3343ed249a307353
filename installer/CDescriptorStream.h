// CDescriptorStream: a write-only stream (IXStream) over a file descriptor
// that belongs to somebody else.
//
// The installer extracts an archive entry into a temporary file it has
// opened itself (openat with O_EXCL in the destination's directory); the
// archive facade writes through any IXStream, so this stream hands the
// facade's sequential writes to that descriptor and counts them.
//
// Contract:
// - The descriptor is borrowed: the stream never closes it (Close and the
//   destructor only forget it). The caller keeps it open while the stream
//   is used and closes it afterwards.
// - Only the sequential bWrite is supported; it writes every byte or fails
//   (a short write of the system is continued, EINTR retried). Reads, seeks,
//   size changes and locks are refused (false, EBADF in the error object),
//   so that nothing can move the file position behind the count.
// - A failure leaves level 3 and the system error in the stream's error
//   object, and errno set to the cause.
// - llGetWritten counts the bytes written since construction.
//
// One thread at a time.
#pragma once

#include <cstdint>

#include "IXStream.h"

class CDescriptorStream : public IXStream {
 public:
  // `fd`: an open descriptor with write access (not owned); -1 gives a
  // closed stream on which every write fails.
  explicit CDescriptorStream(int fd);
  // Forgets the descriptor; never closes it.
  ~CDescriptorStream() override;

  using IXStream::bRead;
  using IXStream::bWrite;

  // Writes all n bytes at the descriptor's position; *pnWritten (when
  // given) gets n on success, the bytes actually written on failure.
  bool bWrite(const void* buffer, unsigned n, unsigned* pnWritten) override;
  // Refused: the stream only writes.
  bool bRead(void* buffer, unsigned n, unsigned* pnRead) override;
  bool bSeek(std::int64_t offset, eSEEK eOrigin) override;
  bool bSetSize(std::int64_t size, eGROW eGrow) override;
  bool bLock(std::int64_t offset, std::int64_t length) override;
  // Forgets the descriptor (not closed): later writes fail.
  void Close() override;
  // XACCESS_WRITE while a descriptor is held, else -1.
  eACCESS veGetAccess() override;
  bool bIsOpen() override;
  // Bytes written so far (the stream starts at 0 whatever the descriptor's
  // own position).
  std::int64_t oGetOffset() override;
  std::int64_t llGetWritten() const { return m_llWritten; }

 private:
  // Level 3 and the system error nErrno in the stream's error; errno set.
  bool _bFail(int nErrno);

  int m_hFile;
  std::int64_t m_llWritten = 0;
};
