// CFileVersion / CFileRessource: the key/value block a file carries between
// two marks, copied out of the file once so that lookups need no file.
//
// The block is a run of NUL-terminated code page 1252 texts: a key, then its
// value. bLoad maps the file read-only, takes the first marked block of more
// than 34 bytes (shorter ones are passed over), keeps a copy and unmaps the
// file. Every lookup works on that copy only: the addresses handed out by
// bGetBinaryValue point into it and stay valid until the next bLoad or the
// destruction of the object. No lock: an object belongs to one thread at a
// time.
#pragma once

#include <cstdint>
#include <vector>

#include "CTString.h"

class CFileVersion {
 public:
  CFileVersion() = default;
  virtual ~CFileVersion();

  // The block between "VersionInfoMarkStart" and "VersionInfoMarkEnd". Any
  // block kept before is dropped first. False (no block) when the file
  // cannot be read, is empty, or holds no block of more than 34 bytes.
  virtual bool bLoad(const char* pszPath);

  // The value of the key (converted to code page 1252, compared without
  // regard to case), converted from code page 1252. False (text untouched)
  // when there is no block or no such key.
  bool bGetStringValue(const wchar_t* pszKey, CTString& clText) const;
  // The value's address inside the kept block and its length in bytes (up
  // to its NUL, or to the end of the block for a last value without one).
  bool bGetBinaryValue(const wchar_t* pszKey, const void** ppData,
                       std::uint32_t* pdwLength) const;

  bool bIsLoaded() const { return !m_abyBlock.empty(); }

 protected:
  // Maps the file and keeps the first block of more than 34 bytes found
  // after a start mark (and the byte that follows it) and before the next
  // end mark. Mark searches never leave the mapping.
  bool _bLoad(const char* pszPath, const char* pszStartMark, const char* pszEndMark);
  // Tries every position of the block as the start of a NUL-terminated key
  // equal to `pszKey` (8-bit, without regard to case); on a match the value
  // is what follows that key's NUL, read within the block only.
  bool __bGetValue(const char* pszKey, const std::uint8_t** ppValue, std::uint32_t* pdwLength) const;

  std::vector<std::uint8_t> m_abyBlock;
};

class CFileRessource : public CFileVersion {
 public:
  // The block between "ResourceInfoMarkStart" and "ResourceInfoMarkEnd".
  bool bLoad(const char* pszPath) override;
  // bGetBinaryValue of the key "\Resource\<id>".
  bool bLoadResource(std::uint32_t nId, const void** ppData, std::uint32_t* pdwLength) const;
};
