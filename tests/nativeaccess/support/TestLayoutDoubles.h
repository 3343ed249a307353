// Doubles for tests of columns and record layouts:
//
// - TestImportedSource: the server's description of a table, as the record
//   layout matches it: items added by the test (held internally), found by
//   pclNAGetItem by name without regard to case (bit 0 of the mode cuts
//   trailing blanks). Counts its lookups.
// - TestOrderConnection: a test connection whose ORDER BY limit
//   (nGetOrderByMaxExpressionNbr) the test sets.
// - TestInfoRubrique: one ORDER BY entry of a parsed query: its result
//   name; every other answer empty.
//
// None needs the stand-in library.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "CNADataSourceDescription.h"
#include "CNAItemDescription.h"
#include "IInfoRubrique.h"
#include "TestConnection.h"

namespace kxtest {

class TestImportedSource : public CNADataSourceDescription {
 public:
  TestImportedSource() = default;
  ~TestImportedSource() override;

  // A new item named `name` of the type, held by the source; returned for
  // further settings.
  CNAItemDescription* pclAdd(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size);
  CNAItemDescription* pclNAGetItem(const wchar_t* pszName, int nMode) override;

  int nLookups = 0;

 private:
  std::vector<CNAItemDescription*> m_tabItems;
};

class TestOrderConnection : public TestConnection {
 public:
  explicit TestOrderConnection(int limit = INT_MAX) : nOrderByLimit(limit) {}
  int nGetOrderByMaxExpressionNbr() override { return nOrderByLimit; }
  int nOrderByLimit;
};

class TestInfoRubrique : public IInfoRubrique {
 public:
  explicit TestInfoRubrique(const wchar_t* name) : sName(name) {}
  virtual ~TestInfoRubrique() = default;
  void _Reserved0() override {}
  void _Reserved1() override {}
  std::uint32_t nRelease() override { return 1; }
  const wchar_t* pszGetNomTable() override { return L""; }
  const wchar_t* pszGetNom() override { return sName.c_str(); }
  const wchar_t* pszGetNomRubrique() override { return sName.c_str(); }
  void _Reserved6() override {}
  void _Reserved7() override {}
  void _Reserved8() override {}
  void _Reserved9() override {}
  int bIsCalcul() override { return 0; }
  void _Reserved11() override {}
  void _Reserved12() override {}
  void _Reserved13() override {}
  int nGetTypeCode() override { return 0; }
  void _Reserved15() override {}
  void _Reserved16() override {}
  void _Reserved17() override {}
  void _Reserved18() override {}
  void _Reserved19() override {}
  IExpOpExpression* piGetExpression() override { return nullptr; }
  void _Reserved21() override {}
  const wchar_t* pszGetNomTableLogique() override { return L""; }
  int bModifiable() override { return 1; }
  int nGetTypeColonne() override { return 0; }
  std::uint32_t nGetTaille() override { return 0; }
  int nGetFonction() override { return 0; }

  std::wstring sName;
};

}  // namespace kxtest
