// IInfoFrom: one table of a parsed query's FROM clause.
//
// Used by slot number. Counted at byte 8 like the parser information
// (SQLParser_AddRef takes a reference, slot 2 gives it back). Slots 5 to 7
// are open (this library's names after the runtime's known slots).
#pragma once

#include <cstdint>

#include "ISQLParserInformation.h"

class IInfoFrom {
 public:
  virtual void _Reserved0() = 0;  // 0
  virtual void _Reserved1() = 0;  // 1
  // 2: gives back one reference; answers the count left (0: gone).
  virtual std::uint32_t nRelease() = 0;
  // 3, 4: the table's name as the query writes it; its alias (the name
  // itself when the query gives no alias).
  virtual const wchar_t* pszGetNomTable() = 0;
  virtual const wchar_t* pszGetAlias() = 0;
  // 5 (open): the table's whole text (name, "AS", alias) in the query.
  virtual stSQLPOSITION stGetPosition() = 0;
  // 6 (open): the name's text; 7 (open): the alias's text ({-1,-1}: none).
  virtual stSQLPOSITION stGetNomPosition() = 0;
  virtual stSQLPOSITION stGetAliasPosition() = 0;

 protected:
  ~IInfoFrom() = default;
};
