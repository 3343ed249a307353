// CKXZipBase: the archive object the installer's extractor derives from.
// It opens an archive, reads its directory into a CRepertoire, answers
// questions about entries by index or by name and extracts one entry to a
// file or into memory; CKXWinZip (CKXWinZip.h) is the implementation over the
// ZIP engine CWinZip.
//
// Every operation returning _eKXzipResult also keeps that result as the
// object's last result (eGetDernierResultat); nothing is thrown.
//
// Ownership: the object owns its directory, its archive file (a CDiskFile
// member through which the engine reads; never handed out by reference
// count) and its mutex. Term, or the destruction of the implementation,
// empties the directory, drops a lock and closes the file.
//
// Threads: no operation locks by itself. Callers sharing one object bracket
// their use with bDebutSectionCritique / FinSectionCritique (a recursive
// mutex).
//
// Virtual operations, in slot order: destructor, deleting destructor,
// eOuvreArchive, Lock, LockEcritureOuvertEnLecture,
// LockLectureEcritureOuvertEnLectureEcriture, eExtraitFichier (file),
// eExtraitFichier (memory), dwNombreFichier, nTypeZip, ForceRepVideAlaFin,
// pszNomFichier, dwTailleOriginale, dwTailleCompresse, stftLitFtCreation,
// stftLitFtAcces, stftLitFtModif, dwLitAttribut, bCrypte, lRangFichier,
// eMotDePasse, eGetMotDePasse, eNiveauCompression, eGetNiveauCompression,
// bEntete64Bits, vSetNomFicUnicode, SetPourcentGlobal.
#pragma once

#include <cstdint>
#include <mutex>

#include "CDiskFile.h"
#include "CRepertoire.h"
#include "CTString.h"

class CTNBIN;

// Results of the archive operations (reading side).
enum _eKXzipResult : int {
  KXZIP_OK = 0,
  // The archive file cannot be opened; the entry is not in the directory;
  // an index past the end.
  KXZIP_ERR_OUVERTURE = 1,
  // The archive cannot be reopened; a destination (file, directory, memory
  // stream) cannot be created; a lock cannot be had.
  KXZIP_ERR_CREATION = 2,
  // Not a ZIP archive; the entry's local header is incoherent or cannot be
  // read; the extracted size differs from the entry's uncompressed size.
  KXZIP_ERR_FORMAT = 3,
  // The engine does not find the entry.
  KXZIP_ERR_INTROUVABLE = 5,
  // Memory: the extraction buffer, the caller's buffer or its association.
  KXZIP_ERR_MEMOIRE = 9,
  KXZIP_ERR_MOT_DE_PASSE = 21,
  // Compression level above 9.
  KXZIP_ERR_NIVEAU = 28,
  // Reading, decompressing or writing the data failed, or its CRC-32 is
  // wrong.
  KXZIP_ERR_DONNEES = 30,
  // The archive is not open (no directory read).
  KXZIP_ERR_NON_OUVERT = 1000,
};

class CKXZipBase {
 public:
  // eExtraitFichier flag bits.
  static constexpr unsigned kdwSupprimeDestination = 0x40;  // delete an existing destination file first
  static constexpr unsigned kdwCasseExacte = 0x8000;        // the engine's lookup respects case

  // Attribute bit of a directory entry.
  static constexpr std::uint32_t kdwAttributRepertoire = 0x4000;
  // Bytes the extraction loop reads from the engine at a time.
  static constexpr unsigned knTailleTampon = 32768;

  // Empty directory, read-write mode, type -1, no file open.
  CKXZipBase();
  // Closes the archive file and destroys the mutex; the implementation's
  // destructor has called Term already.
  virtual ~CKXZipBase();
  CKXZipBase(const CKXZipBase&) = delete;
  CKXZipBase& operator=(const CKXZipBase&) = delete;

  // Opens the archive at pszChemin (mode: bit 0 of dwFlags, 1 read-write)
  // and reads its directory. 0, 1 (file), 3 (not an archive), or what
  // reading the directory gives.
  virtual _eKXzipResult eOuvreArchive(const wchar_t* pszChemin, unsigned dwFlags, std::int64_t llOffset) = 0;

  // In read-write mode LockLectureEcritureOuvertEnLectureEcriture(bLock),
  // else LockEcritureOuvertEnLecture(bLock).
  virtual _eKXzipResult Lock(int bLock) = 0;
  // 1: opens the archive file for reading (failure: 1) and sets the mode to
  // read-only. 0: closes the file.
  virtual _eKXzipResult LockEcritureOuvertEnLecture(int bLock) = 0;
  // 1: opens the archive file for reading and writing (for reading when
  // that fails; failure: 1), takes a lock of one byte at offset 1 (refused:
  // 2, the file stays open) and marks the object locked. 0: when locked,
  // unlocks, closes and clears the mark.
  virtual _eKXzipResult LockLectureEcritureOuvertEnLectureEcriture(int bLock) = 0;

  // Extracts the entry named pszNom (the exact stored name, looked up
  // without regard to case) into the file pszDestination. With
  // kdwSupprimeDestination an existing destination file is deleted first
  // (before the lookup); without it, it is overwritten in place.
  // kdwCasseExacte makes the engine's lookup respect case. nCrc, hFenetre
  // and nOption serve the writing side and are not used here.
  // Results: 1000, 1 (not in the directory), 5, 21, 3, 2, 9, 30; 0 when the
  // bytes extracted equal the uncompressed size, else 3. The destination
  // gets the entry's access and modification times and its attributes
  // (CDiskFile::bSetFileAttributes). A failed extraction may leave a
  // partly written destination.
  virtual _eKXzipResult eExtraitFichier(const wchar_t* pszNom, const wchar_t* pszDestination, int nCrc = 0,
                                        void* hFenetre = nullptr, int nOption = 0, unsigned dwFlags = 0) = 0;
  // Extracts the entry named pszNom into clBuffer, sized to the entry's
  // uncompressed size (failure: 9; an entry of size 0 gives an empty buffer
  // and 0). Results as above; on a failure after the sizing the buffer
  // keeps only the bytes written.
  virtual _eKXzipResult eExtraitFichier(const wchar_t* pszNom, CTNBIN& clBuffer, int nCrc = 0,
                                        void* hFenetre = nullptr, int nOption = 0) = 0;

  // The directory's count of real entries.
  virtual unsigned dwNombreFichier();
  virtual int nTypeZip();
  // Moves placeholder entries to the end (CRepertoire::ForceRepVideAlaFin).
  virtual void ForceRepVideAlaFin();
  // By index (0 <= nIndex < the directory's total count; out of range: null,
  // 0, a zero time or false).
  virtual const wchar_t* pszNomFichier(int nIndex);
  virtual std::int64_t dwTailleOriginale(int nIndex);
  virtual std::int64_t dwTailleCompresse(int nIndex);
  virtual CDiskFile::_stXFILETIME stftLitFtCreation(int nIndex);
  virtual CDiskFile::_stXFILETIME stftLitFtAcces(int nIndex);
  virtual CDiskFile::_stXFILETIME stftLitFtModif(int nIndex);
  virtual std::uint32_t dwLitAttribut(int nIndex);
  virtual bool bCrypte(int nIndex);
  // The entry's index (name looked up without regard to case), or -1.
  virtual long lRangFichier(const wchar_t* pszNom);

  // The engine's password (0). eGetMotDePasse copies it into *pclTexte
  // (empty when none).
  virtual _eKXzipResult eMotDePasse(const wchar_t* pszMotDePasse) = 0;
  virtual _eKXzipResult eGetMotDePasse(CTString* pclTexte) = 0;
  // 28 for a level above 9 (the level kept), else the engine's level is set.
  virtual _eKXzipResult eNiveauCompression(int nNiveau) = 0;
  virtual _eKXzipResult eGetNiveauCompression(int* pnNiveau) = 0;
  // Sets the 64-bit headers flag (here and in the engine); the previous
  // value.
  virtual int bEntete64Bits(int bActif) = 0;
  // The engine's Unicode-names flag for writing.
  virtual void vSetNomFicUnicode(int bActif) = 0;
  virtual void SetPourcentGlobal(unsigned nPourcent);

  // 1 for an index out of range; otherwise *pclTexte = name TAB
  // uncompressed size TAB compressed size TAB creation TAB modification TAB
  // access TAB "H" or nothing (attribute bit 31) TAB "+" (encrypted) or "N".
  // Sizes in decimal, 0 as an empty field; times as YYYYMMDDhhmmss. 0.
  _eKXzipResult eGetInfoFichier(int nIndex, CTString* pclTexte);

  // Locks the recursive mutex; true.
  bool bDebutSectionCritique();
  void FinSectionCritique();

  // Empties the directory, Lock(0), closes the archive file.
  void Term();

  _eKXzipResult eGetDernierResultat() const { return m_eDernierResultat; }
  const wchar_t* pszGetDerniereDestination() const { return m_sDerniereDestination.pszGet(); }
  const wchar_t* pszGetArchive() const { return m_sArchive.pszGet(); }
  const CRepertoire& clGetRepertoire() const { return m_clRepertoire; }
  bool bEstVerrouille() const { return m_bVerrouille != 0; }
  int nGetModeOuverture() const { return m_nModeOuverture; }

 protected:
  // Keeps and returns the result.
  _eKXzipResult _eResultat(_eKXzipResult e) {
    m_eDernierResultat = e;
    return e;
  }
  _eKXzipResult _eResultat(int n) { return _eResultat(static_cast<_eKXzipResult>(n)); }
  // Entry nIndex of the directory, null out of range.
  const CRepEntree* _pclEntree(int nIndex) const { return m_clRepertoire.pclGetEntree(nIndex); }

  CTString m_sArchive;
  int m_bEntete64Bits = 0;
  int m_nModeOuverture = 1;
  int m_bRepertoireLu = 0;
  CRepertoire m_clRepertoire;
  int m_nTailleVolume = 0;
  int m_nReserve1 = 0;
  _eKXzipResult m_eDernierResultat = KXZIP_OK;
  CTString m_sDerniereDestination;
  CDiskFile m_clFichier;
  int m_bVerrouille = 0;
  std::int64_t m_llOffsetArchive = 0;
  int m_nReserve2 = 1;
  int m_nTypeZip = -1;
  unsigned m_nPourcentGlobal = 0;
  CTString m_sTexte;
  std::recursive_mutex m_mutexSection;
};
