// CInfoGroupe: the library's own copy of one GROUP BY item of a parsed
// query. The parser's GROUP BY items are only borrowed from its SELECT
// part, so CSQLParserInfo copies the seven values here and answers them
// through the parser's own interface for as long as it needs them.
//
// Counting: a plain 32-bit count (the copies are used under the driver's
// process-wide lock and never leave the library); a new copy holds 0, the
// holder takes one with AddRef, and the Release that brings it to 0
// deletes the copy.
#pragma once

#include <cstdint>

#include "CTString.h"
#include "IInfoGroupe.h"

class CInfoGroupe : public IInfoGroupe {
 public:
  // Copies the seven values of `source` (null: all empty).
  explicit CInfoGroupe(IInfoGroupe* source);
  ~CInfoGroupe() override = default;
  CInfoGroupe(const CInfoGroupe&) = delete;
  CInfoGroupe& operator=(const CInfoGroupe&) = delete;

  const wchar_t* pszGetAlias() override { return m_sAlias.pszGet(); }
  int bIsAvecTable() override { return m_bAvecTable; }
  const wchar_t* pszGetNomTable() override { return m_sNomTable.pszGet(); }
  const wchar_t* pszGetNomRubrique() override { return m_sNomRubrique.pszGet(); }
  stSQLPOSITION stGetPosition() override { return m_stPosition; }
  const wchar_t* pszGetNomFichier() override { return m_sNomFichier.pszGet(); }
  const wchar_t* pszGetNomRubriqueAlias() override { return m_sNomRubriqueAlias.pszGet(); }

  void AddRef() { ++m_nCount; }
  // One reference less; deletes the copy at 0. Answers the count left.
  std::uint32_t Release();

 private:
  std::uint32_t m_nCount = 0;
  CTString m_sAlias;
  std::int32_t m_bAvecTable = 0;
  CTString m_sNomTable;
  CTString m_sNomRubrique;
  stSQLPOSITION m_stPosition;
  CTString m_sNomFichier;
  CTString m_sNomRubriqueAlias;
};
