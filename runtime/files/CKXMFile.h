// CKXMFile: a message-string file, texts addressed by a 32-bit identifier.
//
// File layout, little-endian:
//   the product header (CKXFile, any type; its size field says where the
//       next part begins)
//   u32 version: below 2 the texts are in code page 1252, else UTF-8
//   u32 L, then L bytes that the reader skips
//   u32 N, then N index entries of 12 packed bytes, sorted by identifier
//       ascending (unsigned): u32 identifier, u64 offset of the text counted
//       from the end of the index
//   the texts: at its offset each has one byte that the reader skips, a u32
//       length in bytes, then that many bytes (no terminating zero)
//
// Opening the file (CKXFile::bOpen) reads the header through bReadHeader,
// which also takes the version and the code page. The index is loaded on the
// first lookup, once: a failed load is not tried again until Purge. Each text
// is read alone, on demand, by binary search of its identifier.
//
// Every count and length read from the file is checked against the file's
// size (computed in 64 bits) before it is used: a file that lies about them
// makes the lookup fail, never reads past a buffer. Lookups report nothing of
// their own (a missing identifier and a failing read look alike); header and
// read failures are in the stream's error object.
//
// The object owns its index; it belongs to one thread at a time.
#pragma once

#include <cstdint>

#include "CKXFile.h"

class CTString;

// One index entry, as decoded from its 12 bytes on disk.
struct STOffsetRessource {
  std::uint32_t nId;
  std::uint64_t oOffset;
};

class CKXMFile : public CKXFile {
 public:
  // Size of an index entry on disk.
  static constexpr unsigned knTailleEntree = 12;

  // No stream, type 0 (any), no index, code page 65001.
  CKXMFile();
  // Frees the index.
  ~CKXMFile() override;

  // Opens the file for reading without a lock, loads the index and closes
  // the file again in every case; true when the open and the load succeeded.
  bool bVerifieFormat(const wchar_t* name);
  // The text of `nId` converted from the file's code page into *pclText.
  // False (the text unchanged) when it cannot be had.
  bool bLoadString(std::uint32_t nId, CTString* pclText);
  // The text of `nId` converted into `buffer`, at most size - 1 characters,
  // always terminated when size > 0; returns the text's length in bytes as
  // stored in the file. 0 on any failure, for a null buffer and for size <= 0.
  int nLoadString(std::uint32_t nId, wchar_t* buffer, int size);

  // CKXFile::bReadHeader, then the version (the code page follows from it:
  // 1252 below 2, else 65001) and the skipped block's length; the index
  // stands after that block. An index loaded for an earlier header is
  // dropped. *pOffset ends after the block's length.
  bool bReadHeader(std::int64_t* pOffset) override;

  // Forgets the index and the header values (count, version, block length,
  // index position, entries, the load-attempted flag); the code page stays.
  void Purge();

  // Compares two STOffsetRessource by identifier, as unsigned numbers: 0
  // equal, 1 when a is greater, -1 when smaller.
  static int __nCompareRessource(const void* a, const void* b);

  std::uint32_t dwGetVersion() const { return m_dwVersion; }
  unsigned nGetCodePage() const { return m_nCodePage; }
  std::uint32_t nGetNbEntree() const { return m_nEntrees; }

 protected:
  // Loads the index once (see the class comment).
  bool _bChargeIndex();
  // Position of the text of `nId` in the file; 0 when the identifier is not
  // in the index or its offset lies outside the file.
  std::int64_t __oGetOffsetRessource(std::uint32_t nId);
  // The stored bytes of the text of `nId`, with a terminating zero, in a
  // block from XMALLOC_pNew_ that the caller frees; its length in
  // *pnLength. Null when it cannot be had.
  char* _pszLoadBytes(std::uint32_t nId, std::uint32_t* pnLength);

  std::uint32_t m_dwTailleBloc;
  // Where the index count stands; once the index is loaded, the end of the
  // index (the base of the text offsets).
  std::int64_t m_oPositionIndex;
  std::uint32_t m_nEntrees;
  STOffsetRessource* m_pstIndex;
  std::uint32_t m_dwVersion;
  std::uint32_t m_nCodePage;
  std::uint32_t m_bIndexTente;
};
