// IInfoAffectation: one assignment of an UPDATE's SET list. Borrowed from
// the parser's SELECT part (its slot 17). All operations are open (the
// runtime's table places none the library calls).
#pragma once

#include "ISQLParserInformation.h"

class IExpOpExpression;

class IInfoAffectation {
 public:
  // 0: the assigned column as an item node (owned by the caller, slot 1).
  virtual IExpOpExpression* piGetColonne() = 0;
  // 1: the value expression (owned by the caller, slot 1).
  virtual IExpOpExpression* piGetValeur() = 0;
  // 2: the whole assignment's text ("col = value").
  virtual stSQLPOSITION stGetPosition() = 0;

 protected:
  ~IInfoAffectation() = default;
};
