// CRepertoire: the in-memory directory of an archive, a table of entries
// (CRepEntree) with a hash from entry name to index, looked up without
// regard to case; and its serialised form (u32 count, then one record per
// entry, see CRepEntree.h).
//
// The table grows by 1024 entries. The hash's keys are the names inside the
// table's own entries, so whenever entries move (the table grows, an entry is
// removed or moved) the whole hash is rebuilt from the table; between such
// moves a new entry's name is added with its index. Of two names equal
// without regard to case, lRang finds the later entry.
//
// Counts: the total number of entries, and the number of real entries
// (those that are not placeholders, CRepEntree::bEstUnFichierFactice).
//
// No lock: a directory belongs to one thread at a time (the archive facade
// offers its critical section to callers that share one).
#pragma once

#include <cstdint>

#include "CDiskFile.h"
#include "CRepEntree.h"
#include "CTHashTable.h"
#include "CTTableau.h"

class IXStream;

class CRepertoire {
 public:
  static constexpr int knPasTable = 1024;
  static constexpr int knNbBuckets = 43;

  // Empty directory.
  CRepertoire();
  virtual ~CRepertoire();
  CRepertoire(const CRepertoire&) = delete;
  CRepertoire& operator=(const CRepertoire&) = delete;

  // When both sizes are 0 and pszRepertoire equals pszNom without regard to
  // case, the entry is made from the file on disk named pszNom
  // (CRepEntree::bConstruit(pszNom, pszRepertoire, 0); false, nothing added,
  // when that fails); otherwise from the values (reserved byte 0). Then
  // SetCrypte(bCrypte, 2, pszMotDePasse) and the entry is appended. False
  // when it could not be appended.
  bool bAjouteEntree(const wchar_t* pszRepertoire, const wchar_t* pszNom, std::int64_t llTailleOriginale,
                     std::int64_t llTailleCompresse, const CDiskFile::_stXFILETIME& stCreation,
                     const CDiskFile::_stXFILETIME& stModif, const CDiskFile::_stXFILETIME& stAcces,
                     std::uint32_t dwAttributs, int bCrypte, const wchar_t* pszMotDePasse);
  // An entry from the file at pszChemin named pszNom (CRepEntree::bConstruit
  // with nAvecTaille), then SetCrypte(bCrypte, 2, pszMotDePasse), appended
  // whether or not the file could be read. False when it could not be
  // appended.
  bool bAjouteEntree(const wchar_t* pszChemin, const wchar_t* pszNom, int nAvecTaille, int bCrypte,
                     const wchar_t* pszMotDePasse);
  // An entry whose three times are the current local time (milliseconds 0),
  // then SetCrypte(bCrypte, 2, pszMotDePasse), appended.
  bool bCreeEntree(const wchar_t* pszNom, std::int64_t llTailleCompresse, std::int64_t llTailleOriginale,
                   std::uint32_t dwAttributs, int bCrypte, const wchar_t* pszMotDePasse);

  // Index of the entry named pszNom (case ignored), or -1.
  long lRang(const wchar_t* pszNom) const;
  bool bTrouve(const wchar_t* pszNom) const { return lRang(pszNom) >= 0; }

  // Renames entry nIndex (name cut to 260 characters); its index stays.
  // False for an index out of range.
  bool bChangeChemin(int nIndex, const wchar_t* pszNom);
  // Removes entry nIndex (later entries move down by one); nothing for an
  // index out of range.
  void SupprimeElement(int nIndex);
  // Each placeholder entry, scanning from the last entry down to the
  // second, is moved to the end (so the first entry never moves, and the
  // placeholders end up in reverse order of their former places).
  void ForceRepVideAlaFin();
  // No entries, counts 0, hash empty.
  void Vide();

  // Reads a serialised directory from the stream's position, replacing the
  // entries: u32 count (false when 4 bytes cannot be read), then that many
  // records (false at the first one that fails; the entries read before it
  // stay). The table is never sized from the declared count.
  bool bLit(IXStream* pFichier);
  // Writes the count (failure: 5), then every record; the first non-zero
  // record result (1 or 5) ends the writing and is returned.
  int eEcrit(IXStream* pFichier) const;
  // Bytes eEcrit writes: 4 + for each entry its name length + 59.
  std::uint32_t dwTaille() const;

  int nGetNbTotal() const { return m_nNbTotal; }
  int nGetNbReels() const { return m_nNbReels; }
  // Entry nIndex, null out of range. Valid until the directory changes.
  const CRepEntree* pclGetEntree(int nIndex) const;

 private:
  // Appends a copy of the entry and indexes it. False when the table cannot
  // grow.
  bool _bAjouteEntree(const CRepEntree& clEntree);
  // The hash and both counts again from the table.
  void _Reconstruit();

  CTTableau<CRepEntree> m_tabEntrees;
  int m_nNbTotal = 0;
  int m_nNbReels = 0;
  CTHashTableTi<int> m_hashNoms;
};
