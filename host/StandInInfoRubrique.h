// The stand-in SQL runtime's information on one output item of a query
// (IInfoRubrique), for tests: every answer is a field the test sets.
//
// Counting as the runtime's objects count: the 32-bit count sits at byte 8,
// right after the table pointer; a new item holds 1 (its creator's).
// InfoRubrique_AddRef raises it atomically, slot 2 lowers it and deletes
// the item at 0. The slots the library never calls abort the process.
#pragma once

#include <cstdint>
#include <string>

#include "IInfoRubrique.h"

class CStandInInfoRubrique final : public IInfoRubrique {
  // Must stay the first field: the runtime's count sits at byte 8.
  std::uint32_t m_nCount = 1;

 public:
  CStandInInfoRubrique();

  // Answers of the named slots (defaults: empty texts, 0, modifiable).
  std::wstring m_sNomTable;
  std::wstring m_sNom;
  std::wstring m_sNomRubrique;
  std::wstring m_sNomTableLogique;
  int m_bCalcul = 0;
  int m_nTypeCode = 0;
  int m_bModifiable = 1;
  int m_nTypeColonne = 0;
  std::uint32_t m_nTaille = 0;
  int m_nFonction = 0;

  // The count at byte 8, read atomically.
  std::uint32_t nGetCount() const;
  // Items alive now.
  static int s_nGetLive();

  std::uint32_t nRelease() override;
  const wchar_t* pszGetNomTable() override { return m_sNomTable.c_str(); }
  const wchar_t* pszGetNom() override { return m_sNom.c_str(); }
  const wchar_t* pszGetNomRubrique() override { return m_sNomRubrique.c_str(); }
  int bIsCalcul() override { return m_bCalcul; }
  int nGetTypeCode() override { return m_nTypeCode; }
  // No expression tree is kept: null.
  IExpOpExpression* piGetExpression() override { return nullptr; }
  const wchar_t* pszGetNomTableLogique() override { return m_sNomTableLogique.c_str(); }
  int bModifiable() override { return m_bModifiable; }
  int nGetTypeColonne() override { return m_nTypeColonne; }
  std::uint32_t nGetTaille() override { return m_nTaille; }
  int nGetFonction() override { return m_nFonction; }

#define KX_STANDIN_RUBRIQUE_RESERVED(n) void _Reserved##n() override;
  KX_STANDIN_RUBRIQUE_RESERVED(0) KX_STANDIN_RUBRIQUE_RESERVED(1) KX_STANDIN_RUBRIQUE_RESERVED(6)
  KX_STANDIN_RUBRIQUE_RESERVED(7) KX_STANDIN_RUBRIQUE_RESERVED(8) KX_STANDIN_RUBRIQUE_RESERVED(9)
  KX_STANDIN_RUBRIQUE_RESERVED(11) KX_STANDIN_RUBRIQUE_RESERVED(12) KX_STANDIN_RUBRIQUE_RESERVED(13)
  KX_STANDIN_RUBRIQUE_RESERVED(15) KX_STANDIN_RUBRIQUE_RESERVED(16) KX_STANDIN_RUBRIQUE_RESERVED(17)
  KX_STANDIN_RUBRIQUE_RESERVED(18) KX_STANDIN_RUBRIQUE_RESERVED(19) KX_STANDIN_RUBRIQUE_RESERVED(21)
#undef KX_STANDIN_RUBRIQUE_RESERVED

 private:
  ~CStandInInfoRubrique();
};
