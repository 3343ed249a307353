// Message-digest interface of the installer and its reference-counted base.
//
// IMessageDigest: a digest accumulates bytes with AddData, and FinalDigest
// writes the dwGetDigestSize() bytes of the digest of everything fed since the
// last reset, leaving the object reset (ready for a new message). Reset drops
// what was fed. A digest is usable as soon as it is constructed.
//
// bDigestFile digests a whole file through the runtime's disk stream; on any
// failure (open or read) it reports into the caller's error object at level 2
// and returns false, so a digest of part of a file is never reported.
//
// CMessageDigestBase: IMessageDigest plus the reference count of CKXUnknown;
// Release/AddRef forward to it, and the release that brings the count to 0
// deletes the object (so counted objects live on the heap).
//
// Virtual operations of IMessageDigest, in slot order: nGetVersion,
// nGetCompatSince, nGetDllNum, three empty slots, destructor, deleting
// destructor, Release, AddRef, pQueryProxy, AddData, FinalDigest, Reset,
// dwGetBlockSize, dwGetDigestSize, bHasKey, SetKey.
#pragma once

#include <cstdint>

#include "CKXUnknown.h"

class CXError;

class IMessageDigest {
 public:
  virtual int nGetVersion() { return 1; }
  virtual int nGetCompatSince() { return 1; }
  virtual int nGetDllNum() { return 76; }
  virtual void StdVersion_EmptySlot_1() {}
  virtual void StdVersion_EmptySlot_2() {}
  virtual void StdVersion_EmptySlot_3() {}
  virtual ~IMessageDigest() = default;
  // Removes one reference (deleting the object at 0); returns the new count.
  virtual std::uint32_t Release() = 0;
  // Adds one reference; returns the new count.
  virtual std::uint32_t AddRef() = 0;
  // No proxy is offered: always null.
  virtual void* pQueryProxy(unsigned /*nId*/) { return nullptr; }
  // Feeds `length` bytes (a null pointer is allowed with length 0).
  virtual void AddData(const void* data, unsigned length) = 0;
  // Writes dwGetDigestSize() bytes to `out`, then resets the object.
  virtual void FinalDigest(unsigned char* out) = 0;
  // Forgets every byte fed since the last reset.
  virtual void Reset() = 0;
  // Bytes of one block of the underlying function.
  virtual std::uint32_t dwGetBlockSize() { return 64; }
  virtual std::uint32_t dwGetDigestSize() = 0;
  // Keyed digests are not offered: false, and SetKey does nothing.
  virtual bool bHasKey() { return false; }
  virtual void SetKey(const void* /*key*/, unsigned /*length*/) {}

  // Digest of the whole file at `path` into `out` (dwGetDigestSize() bytes).
  // The object is reset first. When the file cannot be opened or one of its
  // reads fails, the stream's error is copied into `error` (when given) with
  // level 2, the object is left reset, `out` is untouched and the result is
  // false.
  bool bDigestFile(const wchar_t* path, unsigned char* out, CXError* error);
};

class CMessageDigestBase : public IMessageDigest, public CKXUnknown {
 public:
  CMessageDigestBase() = default;
  ~CMessageDigestBase() override = default;

  std::uint32_t Release() override { return dwRelease(); }
  std::uint32_t AddRef() override { return dwAddRef(); }
};
