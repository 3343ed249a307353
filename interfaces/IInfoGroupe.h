// IInfoGroupe: one item of a parsed query's GROUP BY clause. The parser's
// items are borrowed from its SELECT part; the library keeps copies of its
// own (CInfoGroupe) behind the same interface.
//
// Slots 0 to 6 answer the item's seven values, then the destructor pair.
// Texts stay owned by the object.
#pragma once

#include "ISQLParserInformation.h"

class IInfoGroupe {
 public:
  virtual const wchar_t* pszGetAlias() = 0;              // 0: alias as written
  virtual int bIsAvecTable() = 0;                        // 1: names a table
  virtual const wchar_t* pszGetNomTable() = 0;           // 2
  virtual const wchar_t* pszGetNomRubrique() = 0;        // 3
  virtual stSQLPOSITION stGetPosition() = 0;             // 4: item's text
  virtual const wchar_t* pszGetNomFichier() = 0;         // 5: file name
  virtual const wchar_t* pszGetNomRubriqueAlias() = 0;   // 6: item alias
  virtual ~IInfoGroupe() = default;                      // 7, 8
};
