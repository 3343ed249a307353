// IInfoInsertion: one inserted column of an INSERT with its value.
// Borrowed from the parser's SELECT part (its slot 18). All operations are
// open (the runtime's table places none the library calls).
#pragma once

#include "ISQLParserInformation.h"

class IExpOpExpression;

class IInfoInsertion {
 public:
  // 0: the table name as written; 1: the column's name.
  virtual const wchar_t* pszGetNomTable() = 0;
  virtual const wchar_t* pszGetNomRubrique() = 0;
  // 2: the column name's text in the column list.
  virtual stSQLPOSITION stGetColonnePosition() = 0;
  // 3: the value expression (owned by the caller, slot 1).
  virtual IExpOpExpression* piGetValeur() = 0;
  // 4: the value's text in the VALUES list.
  virtual stSQLPOSITION stGetValeurPosition() = 0;

 protected:
  ~IInfoInsertion() = default;
};
