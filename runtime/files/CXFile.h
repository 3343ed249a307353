// CXFile: the file object that higher layers hold.
//
// A CXFile owns or shares one byte stream (IXStream) and forwards every
// stream operation to it. Opened by name without a stream, it creates a disk
// file stream (CDiskFile) of its own; built on a given stream, or given one
// with SetStream, it shares that stream with whoever else holds it.
//
// Ownership: while the CXFile holds a stream it holds one reference on it
// (dwAddRef) and gives it back with dwRelease when it lets go (_FreeStream,
// SetStream, the destructor). A stream the CXFile created is therefore
// destroyed with the CXFile unless someone else took a reference on it.
//
// Results and failures are the stream's: the CXFile adds no failure of its
// own, and the error object is the stream's (pclGetXError). A forwarded
// operation called while no stream is held does nothing and answers false,
// -1 or null (pszGetName, pclGetXError, _pclGetXError), and veGetAccess -1.
//
// A CXFile belongs to one thread at a time.
//
// Virtual operations, in slot order: destructor, deleting destructor, bOpen,
// Close, bReopen, bWrite (at offset), bRead (at offset), bWrite, bRead,
// bSeek, oGetSize, oGetSizeFast, bFlush, bSetSize, bIncreaseSize,
// bWriteString (8-bit), bWriteStringList (8-bit), bWriteString (wide),
// bWriteStringList (wide), bReadLine (8-bit), bReadLine (wide), bExtract,
// bLockFile, bUnlockFile, bLock, bUnlock, pszGetName, oGetOffset, bIsOpen,
// pclGetXError, _FreeStream, __xpclAllocDiskFile, _pclGetXError,
// bReadLineUNICODE, veGetAccess, then twelve reserved slots (47 in all).
#pragma once

#include <cstdarg>
#include <cstdint>

#include "IXStream.h"

class CXError;

class CXFile {
 public:
  // No stream.
  CXFile();
  // Shares `piStream` (one reference taken; null: no stream). piGetStream
  // answers it.
  explicit CXFile(IXStream* piStream);
  CXFile(const CXFile&) = delete;
  CXFile& operator=(const CXFile&) = delete;
  // _FreeStream.
  virtual ~CXFile();

  // Without a stream, creates the default stream first (false when none can
  // be had); then the stream's bOpen with the same arguments.
  virtual bool bOpen(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                     eFLAG eFlag, int* pbCreated);
  // The stream's Close; nothing without a stream.
  virtual void Close();
  virtual bool bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);
  virtual bool bWrite(std::int64_t offset, const void* buffer, unsigned n, unsigned* pnWritten);
  virtual bool bRead(std::int64_t offset, void* buffer, unsigned n, unsigned* pnRead);
  virtual bool bWrite(const void* buffer, unsigned n, unsigned* pnWritten);
  virtual bool bRead(void* buffer, unsigned n, unsigned* pnRead);
  virtual bool bSeek(std::int64_t offset, eSEEK eOrigin);
  virtual std::int64_t oGetSize();
  virtual std::int64_t oGetSizeFast();
  virtual bool bFlush();
  virtual bool bSetSize(std::int64_t size, eGROW eGrow);
  virtual bool bIncreaseSize(std::int64_t n);
  // The variadic forms go through this object's own bWriteStringList.
  virtual bool bWriteString(const char* format, ...);
  virtual bool bWriteStringList(const char* format, va_list args);
  virtual bool bWriteString(const wchar_t* format, ...);
  virtual bool bWriteStringList(const wchar_t* format, va_list args);
  virtual bool bReadLine(char* buffer, int size, int* pbTruncated, unsigned flags);
  virtual bool bReadLine(wchar_t* buffer, int size, int* pbTruncated, unsigned flags);
  // Copies n bytes from the current position to `destination` (its
  // bWrite(buffer, n, null)); negative n copies up to the end, and fails when
  // the size cannot be had. Copies go through one 64 KiB heap buffer. This
  // object is left just after the copied bytes. True when n bytes were
  // copied or the end of the file came first; false when a read, a write or
  // the buffer fails (or there is no destination).
  virtual bool bExtract(CXFile* destination, std::int64_t n);
  virtual bool bLockFile(std::int64_t offset, std::int64_t length);
  virtual bool bUnlockFile(std::int64_t offset, std::int64_t length);
  virtual bool bLock(std::int64_t offset, std::int64_t length);
  virtual bool bUnlock(std::int64_t offset, std::int64_t length);
  virtual const wchar_t* pszGetName();
  virtual std::int64_t oGetOffset();
  virtual bool bIsOpen();
  virtual CXError* pclGetXError();
  // Releases the stream (dwRelease) and clears the pointer and the
  // created-here flag.
  virtual void _FreeStream();
  // A new disk file stream nobody holds yet (count 0); null when it cannot
  // be had.
  virtual IXStream* __xpclAllocDiskFile();
  virtual CXError* _pclGetXError();
  // The stream's wide bReadLine with flags 0.
  virtual bool bReadLineUNICODE(wchar_t* buffer, int size, int* pbTruncated);
  virtual eACCESS veGetAccess();

  // Reserved slots: they do nothing.
  virtual void vReserved36();
  virtual void vReserved37();
  virtual void vReserved38();
  virtual void vReserved39();
  virtual void vReserved40();
  virtual void vReserved41();
  virtual void vReserved42();
  virtual void vReserved43();
  virtual void vReserved44();
  virtual void vReserved45();
  virtual void vReserved46();
  virtual void vReserved47();

  // The stream held, but null when this CXFile created it itself.
  IXStream* piGetStream() const;
  // Holds `piStream` (null: none) as a shared stream: the new reference is
  // taken before the former stream is released, so giving the held stream
  // again keeps it alive. The created-here flag becomes 0.
  void SetStream(IXStream* piStream);
  // Creates the default stream as bOpen does, without opening it. True when
  // a stream is held afterwards (also one held before).
  bool bCreateStream();
  // Creates the default stream when there is none, then the stream's
  // vbSetNameForError(name).
  bool bSetNameForError(const wchar_t* name);
  // Writes the text's characters (4 bytes each, no terminating zero), then
  // the two wide characters CR LF (8 bytes), each with an exact bWrite;
  // stops at the first failing write. A null text writes CR LF alone.
  bool bWriteLine(const wchar_t* text);

 protected:
  IXStream* m_piStream;
  // 1 when this object created the stream itself.
  std::int32_t m_bStreamCreated;
};
