// IInfoRubrique: the SQL runtime's information on one output item of a
// parsed query (a column, or a calculated expression). The library reads it
// to describe the query's result columns.
//
// The object belongs to the SQL runtime and is used by slot number; the
// slots the library calls are named below, the others are reserved so that
// the named ones sit where the runtime puts them. Slots 24 to 26 are open:
// the runtime's place for the column kind, the parsed size and the
// calculation's function code is not known, so they follow the known slots
// under names of their own, and so do 27 to 29 (positions and alias, with
// answers of "unknown" by default).
//
// Counting: a 32-bit reference count sits at byte 8 of the object (right
// after the table pointer). A holder takes a reference by incrementing it
// atomically (InfoRubrique_AddRef) and gives it back through slot 2, which
// may delete the object. Reading the answers takes no reference: texts stay
// owned by the object and valid while the caller's reference lasts.
#pragma once

#include <cstdint>

#include "ISQLParserInformation.h"

class IExpOpExpression;

class IInfoRubrique {
 public:
  virtual void _Reserved0() = 0;  // 0
  virtual void _Reserved1() = 0;  // 1
  // 2: gives back one reference; answers the count left (0: the object is
  // gone).
  virtual std::uint32_t nRelease() = 0;
  // 3: the table's name as the query writes it for the item.
  virtual const wchar_t* pszGetNomTable() = 0;
  // 4: the item's name in the result (its alias when it has one).
  virtual const wchar_t* pszGetNom() = 0;
  // 5: the item's column name without alias.
  virtual const wchar_t* pszGetNomRubrique() = 0;
  virtual void _Reserved6() = 0;
  virtual void _Reserved7() = 0;
  virtual void _Reserved8() = 0;
  virtual void _Reserved9() = 0;
  // 10: non-zero for a calculated item (an expression, not a plain column).
  virtual int bIsCalcul() = 0;
  virtual void _Reserved11() = 0;
  virtual void _Reserved12() = 0;
  virtual void _Reserved13() = 0;
  // 14: the item's engine type code (0 to 41 and beyond; 24 and 38 mark an
  // automatic identifier).
  virtual int nGetTypeCode() = 0;
  virtual void _Reserved15() = 0;
  virtual void _Reserved16() = 0;
  virtual void _Reserved17() = 0;
  virtual void _Reserved18() = 0;
  virtual void _Reserved19() = 0;
  // 20: the item's expression tree, owned by the caller (given back through
  // its slot 1); null when none.
  virtual IExpOpExpression* piGetExpression() = 0;
  virtual void _Reserved21() = 0;
  // 22: the item's logical table name.
  virtual const wchar_t* pszGetNomTableLogique() = 0;
  // 23: zero when the item cannot be modified.
  virtual int bModifiable() = 0;
  // 24 (open): the column kind the parser gives the item.
  virtual int nGetTypeColonne() = 0;
  // 25 (open): the size the parser gives the item's value, in bytes.
  virtual std::uint32_t nGetTaille() = 0;
  // 26 (open): the parser's function code of a calculated item (0: none).
  virtual int nGetFonction() = 0;
  // 27 (open): the item's text in the select list (its expression or
  // column, the alias excluded); {-1,-1} when unknown.
  virtual stSQLPOSITION stGetPosition() { return stSQLPOSITION{}; }
  // 28 (open): the alias's text ({-1,-1}: the item has no alias).
  virtual stSQLPOSITION stGetAliasPosition() { return stSQLPOSITION{}; }
  // 29 (open): the alias as written (empty: none).
  virtual const wchar_t* pszGetAlias() { return L""; }

 protected:
  ~IInfoRubrique() = default;
};

// Takes one reference on pi: an atomic increment of the 32-bit count at
// byte 8. Nothing for null.
inline void InfoRubrique_AddRef(IInfoRubrique* pi) {
  if (pi == nullptr) return;
  auto* pnCount = reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(pi) + 8);
  __atomic_add_fetch(pnCount, 1u, __ATOMIC_SEQ_CST);
}
