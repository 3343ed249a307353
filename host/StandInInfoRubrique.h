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

class CStandInExpression;

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
  // The parser stand-in's additions: the expression tree handed out by
  // slot 20 (a node of the parser stand-in; null: none), the open
  // positions and alias, and a switch that makes the name slots (3, 4, 5,
  // 22) throw, as a failing runtime would.
  CStandInExpression* m_piExpression = nullptr;
  stSQLPOSITION m_stPosition;
  stSQLPOSITION m_stAliasPosition;
  std::wstring m_sAlias;
  bool m_bThrowNames = false;
  // Set by the parser stand-in: the item's takes and give-backs go to its
  // ledger, and a give-back of the creator's own reference is recorded as
  // a fault instead of deleting the item.
  bool m_bLedger = false;

  // The count at byte 8, read atomically.
  std::uint32_t nGetCount() const;
  // Where the count lives (the parser stand-in's ledger reads it).
  const std::uint32_t* pnGetCountAddress() const { return &m_nCount; }
  // Items alive now.
  static int s_nGetLive();

  std::uint32_t nRelease() override;
  const wchar_t* pszGetNomTable() override;
  const wchar_t* pszGetNom() override;
  const wchar_t* pszGetNomRubrique() override;
  int bIsCalcul() override { return m_bCalcul; }
  int nGetTypeCode() override { return m_nTypeCode; }
  // The tree set in m_piExpression, handed to the caller (null: none).
  IExpOpExpression* piGetExpression() override;
  const wchar_t* pszGetNomTableLogique() override;
  int bModifiable() override { return m_bModifiable; }
  int nGetTypeColonne() override { return m_nTypeColonne; }
  std::uint32_t nGetTaille() override { return m_nTaille; }
  int nGetFonction() override { return m_nFonction; }
  stSQLPOSITION stGetPosition() override { return m_stPosition; }
  stSQLPOSITION stGetAliasPosition() override { return m_stAliasPosition; }
  const wchar_t* pszGetAlias() override { return m_sAlias.c_str(); }

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
