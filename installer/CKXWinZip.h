// CKXWinZip: the archive facade over the ZIP engine CWinZip, which reads
// through the facade's archive file (CDiskFile).
//
// Each directory entry remembers the engine table index it was made from,
// so eExtraitRangVersFlux extracts exactly that entry, even when two names
// differ only in case; eExtraitFichier keeps looking entries up by name
// (directory and engine both without regard to case by default).
//
// The extraction loop is shared by every form: it reads the open engine
// entry 32 KiB at a time and writes each piece sequentially (bWrite) to the
// destination stream, never more than the entry's uncompressed size in all,
// then closes the entry with its CRC-32 check.
//
// Lifecycle: constructed closed (volume size 1433600, engine stream = the
// archive file). eOuvreArchive opens; Term or the destructor closes.
#pragma once

#include <cstdint>
#include <vector>

#include "CKXZipBase.h"
#include "CWinZip.h"

class IXStream;

class CKXWinZip : public CKXZipBase {
 public:
  CKXWinZip();
  // Term.
  ~CKXWinZip() override;

  // Closes what was open (Term), remembers the path and the mode (bit 0 of
  // dwFlags), opens the archive file for reading (failure: 1), remembers
  // llOffset, opens the engine on it (failure: 3, the file closed again),
  // then reads the directory (eLitRepertoireMono).
  _eKXzipResult eOuvreArchive(const wchar_t* pszChemin, unsigned dwFlags, std::int64_t llOffset) override;
  // 1000 unless eOuvreArchive opened the engine; the file is opened again
  // for reading when it is closed (failure: 2) and closed afterwards. Every
  // engine entry whose name (with "\" as separator) has a last component
  // becomes a directory entry: folder part, full name, uncompressed size,
  // compressed size (less 12 when encrypted), the entry's DOS time as all
  // three times, external attributes, encrypted flag and the engine's
  // current password. 0, or 9 when an entry cannot be added.
  _eKXzipResult eLitRepertoireMono();

  _eKXzipResult Lock(int bLock) override;
  _eKXzipResult LockEcritureOuvertEnLecture(int bLock) override;
  _eKXzipResult LockLectureEcritureOuvertEnLectureEcriture(int bLock) override;

  _eKXzipResult eExtraitFichier(const wchar_t* pszNom, const wchar_t* pszDestination, int nCrc = 0,
                                void* hFenetre = nullptr, int nOption = 0, unsigned dwFlags = 0) override;
  _eKXzipResult eExtraitFichier(const wchar_t* pszNom, CTNBIN& clBuffer, int nCrc = 0, void* hFenetre = nullptr,
                                int nOption = 0) override;

  // Extracts the engine entry directory entry nIndex was made from into
  // pDestination (sequential writes from its current position; not closed
  // here). *pllEcrit (when given) gets the bytes written. Results: 1000 not
  // open; 1 index out of range; 2 no destination or the archive cannot be
  // reopened; 5 the engine has no such entry; 21 wrong password; 3 the local
  // header is incoherent or the data's size differs from the uncompressed
  // size; 9 memory; 30 read, inflate, write or CRC-32 failure. 0 only when
  // the bytes written equal the uncompressed size and the CRC-32 matched.
  _eKXzipResult eExtraitRangVersFlux(int nIndex, IXStream* pDestination, std::int64_t* pllEcrit);

  // The engine table index of directory entry nIndex, -1 out of range.
  int nGetIndexMoteur(int nIndex) const;
  // The engine's entry that directory entry nIndex was made from (valid
  // until the next eOuvreArchive), null out of range.
  const _stFICZIP* pstGetFichierMoteur(int nIndex) const;

  void ForceRepVideAlaFin() override;

  _eKXzipResult eMotDePasse(const wchar_t* pszMotDePasse) override;
  _eKXzipResult eGetMotDePasse(CTString* pclTexte) override;
  _eKXzipResult eNiveauCompression(int nNiveau) override;
  _eKXzipResult eGetNiveauCompression(int* pnNiveau) override;
  int bEntete64Bits(int bActif) override;
  void vSetNomFicUnicode(int bActif) override;

 protected:
  // The archive file open (opened for reading when closed); false when it
  // cannot be.
  bool _bFichierOuvert();
  // Locates pszNom in the engine and opens it: 0, 5, 21 or 3.
  _eKXzipResult _eOuvreEntreeParNom(const wchar_t* pszNom, unsigned dwFlags);
  // Opens the current engine entry: 0, 21 or 3.
  _eKXzipResult _eOuvreEntreeCourante();
  // The extraction loop on the open engine entry (closed on return). At
  // most llTaille bytes go to pDestination; *pllProduit gets every byte the
  // engine produced (reading stops once it passes llTaille), *pllEcrit the
  // bytes written. 0; 9 no buffer; 30 a read, inflate or write failure, or a
  // CRC-32 mismatch on data of exactly llTaille bytes (data of another size
  // is the caller's 3).
  _eKXzipResult _eBoucleExtraction(IXStream* pDestination, std::int64_t llTaille, std::int64_t* pllProduit,
                                   std::int64_t* pllEcrit);

  CWinZip m_clMoteur;
  // Engine table index of each directory entry.
  std::vector<int> m_anIndexMoteur;
};
