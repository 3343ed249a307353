// IXStream: the runtime's abstract byte stream.
//
// A stream is opened and closed, read and written sequentially or at an
// offset, seeked, sized, locked by byte ranges, read line by line and written
// with formatted text. Every operation that can fail answers false (or -1, or
// null) and leaves the description of the failure in the stream's own error
// object (pclGetXError), which the caller reads or copies; an operation that
// succeeds leaves that error at level 1 (no error).
//
// Ownership: a stream is shared by reference (CKXUnknown): each holder takes
// a reference with dwAddRef and gives it back with dwRelease; the last
// release destroys the stream, which releases its error object. The stream
// creates its error object (this library's module) and holds the only
// reference the stream itself needs.
//
// The base class answers "success, nothing done" for most operations: a
// stream overrides what it supports. Close and veGetAccess are pure.
//
// Threads: a stream belongs to one thread at a time; only the reference count
// is atomic.
//
// Virtual operations, in slot order: destructor, deleting destructor,
// dwRelease, bOpen, Close, bReopen, bWrite (at offset), bRead (at offset),
// bWrite, bRead, bSeek, oGetSize, oGetSizeFast, bFlush, bSetSize,
// bIncreaseSize, bWriteString (8-bit), bWriteStringList (8-bit),
// bWriteString (wide), bWriteStringList (wide), bReadLine (8-bit),
// bReadLine (wide), bExtract, bLockFile, bUnlockFile, bLock, bUnlock,
// pszGetName, oGetOffset, bIsOpen, pclGetXError, _pclGetXError,
// vbSetNameForError, veGetAccess, bGetVFSFileName, bLockFileEx, pszReadLine,
// bExtendFile, then fourteen reserved slots.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "CKXUnknown.h"

class CTString;
class CXError;

// Access asked of an open: the open(2) access flags. XACCESS_DEFAULT (all
// bits set) means none was given: the stream is opened for reading.
// veGetAccess answers the open(2) flags actually used (-1 when closed), which
// are of this type too.
enum eACCESS : int {
  XACCESS_READ = 0,
  XACCESS_WRITE = 1,
  XACCESS_READWRITE = 2,
  XACCESS_DEFAULT = -1,
};

// Lock taken on the whole file when it is opened (fcntl lock types).
enum eSHARE : int {
  XSHARE_SHARED = 0,     // shared (read) lock: others may read-lock too
  XSHARE_EXCLUSIVE = 1,  // exclusive (write) lock
  XSHARE_NONE = 2,       // no lock at all
};

// What an open does about the file's existence; any other value is added to
// the open(2) flags as it is.
enum eCREATE : int {
  XCREATE_OPEN = 0,             // the file must exist
  XCREATE_OPENORCREATE = 0x40,  // open, or create when missing (O_CREAT)
  XCREATE_TRUNCATE = 0x240,     // create, or empty an existing file (O_CREAT + O_TRUNC)
};

// Extra open flags.
enum eFLAG : int {
  XFLAG_NONE = 0,
  XFLAG_DIRECTORY = 0x10000,  // the name may be a directory (O_DIRECTORY)
};

// Origin of a seek (the lseek(2) values).
enum eSEEK : int {
  XSEEK_BEGIN = 0,
  XSEEK_CURRENT = 1,
  XSEEK_END = 2,
};

// How bSetSize reads its size.
enum eGROW : int {
  XGROW_ABSOLUTE = 0,  // the new size itself
  XGROW_FROM_END = 1,  // counted from the current end (the file grows by it)
};

// bReadLine flag: only CR LF ends a line; a lone CR is text.
constexpr unsigned XREADLINE_CRLF_ONLY = 0x1;

// Size of a chunk bReadLine reads, in characters.
constexpr int XREADLINE_CHUNK = 80;

class IXStream : public CKXUnknown {
 public:
  // Creates the error object (this library's module, one reference).
  IXStream();
  IXStream(const IXStream&) = delete;
  IXStream& operator=(const IXStream&) = delete;
  // Releases the error object.
  ~IXStream() override;

  // Opens `name` with the given access, whole-file lock and create mode;
  // *pbCreated (when given) becomes 1 when the file was created. Base: true.
  virtual bool bOpen(const wchar_t* name, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                     eFLAG eFlag, int* pbCreated);
  // Closes the stream (nothing when it is closed).
  virtual void Close() = 0;
  // Closes and opens the same file again with new modes. Base: true.
  virtual bool bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);
  // Positioned forms: when oGetOffset() differs from `offset`, seek there
  // first (its failure is the result), then the sequential form.
  virtual bool bWrite(std::int64_t offset, const void* buffer, unsigned n, unsigned* pnWritten);
  virtual bool bRead(std::int64_t offset, void* buffer, unsigned n, unsigned* pnRead);
  // Writes n bytes at the current position; *pnWritten (when given) gets the
  // bytes written. Base: true.
  virtual bool bWrite(const void* buffer, unsigned n, unsigned* pnWritten);
  // Reads up to n bytes. With pnRead a short read (end of file) is success;
  // without it the read must be exact. Base: true.
  virtual bool bRead(void* buffer, unsigned n, unsigned* pnRead);
  virtual bool bSeek(std::int64_t offset, eSEEK eOrigin);
  // Size in bytes, the position unchanged; -1 on failure. Base: 0.
  virtual std::int64_t oGetSize();
  // Size in bytes, leaving the position at the end; -1 on failure. Base: 0.
  virtual std::int64_t oGetSizeFast();
  virtual bool bFlush();
  // Sets the size (absolute or grown from the end); the position is left at
  // the new end. Base: true.
  virtual bool bSetSize(std::int64_t size, eGROW eGrow);
  // Grows the file by n bytes. Base: true.
  virtual bool bIncreaseSize(std::int64_t n);

  // Formats (printf; the wide form with the Windows meaning of the
  // conversions) and writes the whole text without its terminating zero; an
  // empty text writes nothing. The wide form writes 4-byte characters.
  virtual bool bWriteString(const char* format, ...);
  virtual bool bWriteStringList(const char* format, va_list args);
  virtual bool bWriteString(const wchar_t* format, ...);
  virtual bool bWriteStringList(const wchar_t* format, va_list args);

  // Reads one line into `buffer` of `size` characters (terminated, line end
  // removed). A line longer than size - 1 characters comes in pieces, each
  // with *pbTruncated = 1; the next call continues the line. False at end of
  // file (nothing read), on a read failure and for size < 2. `flags`:
  // XREADLINE_CRLF_ONLY. A line ends at CR LF, a lone CR or LF; the stream is
  // left at the start of the next line.
  virtual bool bReadLine(char* buffer, int size, int* pbTruncated, unsigned flags);
  // The same on 4-byte characters read straight from the file.
  virtual bool bReadLine(wchar_t* buffer, int size, int* pbTruncated, unsigned flags);

  // Copies n bytes from the current position to `destination` (negative n:
  // up to the end); the stream is left just after the copied bytes. Base:
  // true.
  virtual bool bExtract(IXStream* destination, std::int64_t n);

  // bLock / bUnlock reporting their failure in the error object. Base: true.
  virtual bool bLockFile(std::int64_t offset, std::int64_t length);
  virtual bool bUnlockFile(std::int64_t offset, std::int64_t length);
  // Non-blocking byte-range locks; a conflict leaves errno 0x80000000. They
  // report nothing in the error object. Base: true.
  virtual bool bLock(std::int64_t offset, std::int64_t length);
  virtual bool bUnlock(std::int64_t offset, std::int64_t length);

  // The stream's name (the full path for a disk file); base: null.
  virtual const wchar_t* pszGetName();
  // The current position; base: -1.
  virtual std::int64_t oGetOffset();
  virtual bool bIsOpen();
  // The stream's error object (it stays the stream's; take a reference to
  // keep it beyond the stream).
  virtual CXError* pclGetXError();
  virtual CXError* _pclGetXError();
  // The name that error messages quote (null: the stream's own name). False
  // when the copy cannot be had. Base: true.
  virtual bool vbSetNameForError(const wchar_t* name);
  // The open(2) flags of the open stream; -1 when closed.
  virtual eACCESS veGetAccess() = 0;
  // Base: false.
  virtual bool bGetVFSFileName(wchar_t* buffer);
  // Blocking lock (bLock true) of bytes 0 and 1, exclusive or shared, or their
  // unlock. Base: true.
  virtual bool bLockFileEx(bool bLock, bool bExclusive);
  // Reads one line of 4-byte characters into `buffer` of `size` characters;
  // a longer line goes on in *overflow and the result is then its text. The
  // line ends at `separator` when given, else at CR LF, CR or LF. Null at the
  // end of the file. Base: null.
  virtual const wchar_t* pszReadLine(wchar_t* buffer, int size, CTString* overflow,
                                     const wchar_t* separator);
  // Makes the file `size` bytes long, really allocated. Base: true.
  virtual bool bExtendFile(std::int64_t size);

  // Reserved slots: they do nothing.
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
  virtual void vReserved48();
  virtual void vReserved49();
  virtual void vReserved50();
  virtual void vReserved51();

 protected:
  CXError* m_pclError;
};
