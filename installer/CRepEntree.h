// CRepEntree: one entry of an archive directory (CRepertoire): its name,
// sizes, three local times, attributes and, for an encrypted entry, the
// encryption kind and the MD5 digest of its password.
//
// Every field is plain data (fixed arrays and integers): the directory keeps
// its entries in a CTTableau, which copies them byte by byte and never runs
// a constructor or destructor on them. The destructor is virtual but
// releases nothing, so an entry copied bytewise into the table (its virtual
// table pointer included) is a complete entry, and one left without its
// destructor run leaks nothing. Keep it so: no member that owns memory.
//
// Serialised record (little-endian; bLit reads one, eEcrit writes one):
//   u32 record length (this field included) = name bytes + 59
//   u32 uncompressed size, u32 compressed size (low 32 bits)
//   3 x u64 FILETIME: creation, modification, access (UTC, from the local
//       calendar fields)
//   u32 attributes
//   name in code page 1252, a zero byte, the reserved byte, the encryption
//   kind byte and the 16 digest bytes.
#pragma once

#include <cstdint>

#include "CDiskFile.h"

class IXStream;

class CRepEntree {
 public:
  // Longest name kept, in characters (the buffer holds one more).
  static constexpr int knMaxNom = 260;
  // Fixed part of a record before the name, and the record's size besides
  // the name bytes.
  static constexpr std::uint32_t knEnteteRecord = 40;
  static constexpr std::uint32_t knSurplusRecord = 59;
  // Longest name, in bytes, bLit accepts in a record; with the fixed part
  // and the trailer (zero byte, two bytes, digest) the longest record.
  static constexpr std::uint32_t knMaxNomRecord = 1024;
  static constexpr std::uint32_t knMaxRecord = knEnteteRecord + knMaxNomRecord + 19;
  // Encryption kind of every encrypted entry made here.
  static constexpr std::uint8_t knTypeCryptage = 2;

  // Empty name, every field 0.
  CRepEntree();
  virtual ~CRepEntree();

  // Every field from the values (the name cut to 260 characters; null is
  // empty); the digest is cleared. True.
  bool bConstruit(const wchar_t* pszNom, std::int64_t llTailleOriginale, std::int64_t llTailleCompresse,
                  const CDiskFile::_stXFILETIME& stCreation, const CDiskFile::_stXFILETIME& stModif,
                  const CDiskFile::_stXFILETIME& stAcces, std::uint32_t dwAttributs, int bCrypte,
                  std::uint8_t byReserve, std::uint8_t byTypeCryptage);
  // An entry from the file (or directory) at pszChemin, named pszNom:
  // compressed size = nAvecTaille; uncompressed size = the file's size when
  // nAvecTaille is not 0, else 0; attributes from the file (0 when they
  // cannot be read); the times cleared, then, when the attributes were read,
  // taken from the file. Encryption fields cleared. True when the file
  // opened and its times were read.
  bool bConstruit(const wchar_t* pszChemin, const wchar_t* pszNom, int nAvecTaille);

  // Encrypted: flag set, kind = byTypeCryptage, digest of pszMotDePasse.
  // Not encrypted: flag clear, kind 0, digest all zero. The reserved byte
  // is kept.
  void SetCrypte(int bCrypte, std::uint8_t byTypeCryptage, const wchar_t* pszMotDePasse);
  // True when the digest of pszMotDePasse equals the stored one; false for
  // an entry whose digest is all zero (not encrypted).
  bool bMdpOK(const wchar_t* pszMotDePasse) const;
  // The MD5 of the password's bytes (PasswordToBytes: code page 1252 when
  // the text survives it, else UTF-16 little-endian; null: no bytes).
  static void CalculeEmpreinte(const wchar_t* pszMotDePasse, std::uint8_t abyEmpreinte[16]);

  // A placeholder: compressed size 0 and a name that is empty or ends
  // with "/".
  bool bEstUnFichierFactice() const;

  // Reads one record from the stream's position. False when a field cannot
  // be read, the record length is below 40 or above 40 + 1024 + 19, or a
  // name's zero byte is not followed by exactly 18 bytes. The name is cut to
  // 260 characters. A record whose name part holds no zero byte is all name
  // and keeps the entry's reserved byte, kind and digest as they were. The
  // encrypted flag follows the kind (set when it is not 0). On failure the
  // entry holds whatever was read.
  bool bLit(IXStream* pFichier);
  // Writes one record at the stream's position: 0; 1 (nothing written) when
  // the name converted to code page 1252 holds a "?"; 5 when a time does not
  // convert or a write fails.
  int eEcrit(IXStream* pFichier) const;
  // Bytes of the record eEcrit writes.
  std::uint32_t dwTailleRecord() const;

  // Reads exactly n bytes from the stream's position, whatever each read
  // delivers; false at the end of the stream or on a read failure.
  static bool bLitExact(IXStream* pFichier, void* pBuffer, unsigned n);

  // The name cut to 260 characters (null is empty).
  void SetNom(const wchar_t* pszNom);

  const wchar_t* pszNom() const { return m_szNom; }
  std::int64_t llTailleOriginale() const { return m_llTailleOriginale; }
  std::int64_t llTailleCompresse() const { return m_llTailleCompresse; }
  const CDiskFile::_stXFILETIME& stCreation() const { return m_stCreation; }
  const CDiskFile::_stXFILETIME& stModif() const { return m_stModif; }
  const CDiskFile::_stXFILETIME& stAcces() const { return m_stAcces; }
  std::uint32_t dwAttributs() const { return m_dwAttributs; }
  bool bCrypte() const { return m_bCrypte != 0; }
  std::uint8_t byReserve() const { return m_byReserve; }
  std::uint8_t byTypeCryptage() const { return m_byTypeCryptage; }
  const std::uint8_t* pbyEmpreinte() const { return m_abyEmpreinte; }

 private:
  wchar_t m_szNom[knMaxNom + 1];
  std::int64_t m_llTailleOriginale;
  std::int64_t m_llTailleCompresse;
  CDiskFile::_stXFILETIME m_stCreation;
  CDiskFile::_stXFILETIME m_stModif;
  CDiskFile::_stXFILETIME m_stAcces;
  std::uint32_t m_dwAttributs;
  int m_bCrypte;
  std::uint8_t m_byReserve;
  std::uint8_t m_byTypeCryptage;
  std::uint8_t m_abyEmpreinte[16];
};
