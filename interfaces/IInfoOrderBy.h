// IInfoOrderBy: one item of a parsed query's ORDER BY clause.
//
// Used by slot number. Counted at byte 8 like the parser information
// (SQLParser_AddRef takes a reference, slot 2 gives it back). Slots 5 to 8
// are open (this library's names after the runtime's known slots).
#pragma once

#include <cstdint>

#include "ISQLParserInformation.h"

class IInfoOrderBy {
 public:
  virtual void _Reserved0() = 0;  // 0
  virtual void _Reserved1() = 0;  // 1
  // 2: gives back one reference; answers the count left (0: gone).
  virtual std::uint32_t nRelease() = 0;
  virtual void _Reserved3() = 0;  // 3
  // 4: index of the output item it sorts by (may lie outside the list).
  virtual int nGetIndiceRubrique() = 0;
  // 5 (open): the item's text in the query, direction word excluded.
  virtual stSQLPOSITION stGetPosition() = 0;
  // 6 (open): 0 ascending, 1 descending.
  virtual int nGetDirection() = 0;
  // 7 (open): how the parser ties the item: 1 to a plain output item
  // (written by that item's alias or name), 2 to an output position
  // (written by number when the server allows it), 0 not at all (copied
  // from the query text).
  virtual int nGetLien() = 0;
  // 8 (open): the item as the parser spells it.
  virtual const wchar_t* pszGetTexte() = 0;

 protected:
  ~IInfoOrderBy() = default;
};
