// CColumnNullValueExcluded: the set of columns for which a search condition
// excludes NULL values, combined by AND and OR as the condition's tree is
// walked. Each entry is a column and its NULL-values-selected flag; a column
// that is not in the set counts as having NULL values selected.
//
// Columns are not referenced: they belong to the record layout, which
// outlives the set.
#pragma once

#include "CTTableau.h"

class CNAColumn;

// The operators of a condition; only AND matters here (every other one
// combines as OR).
enum eNAOperator : int {
  NA_OPERATOR_OR = 1,
  NA_OPERATOR_AND = 2,
};

class CColumnNullValueExcluded {
 public:
  CColumnNullValueExcluded();
  ~CColumnNullValueExcluded();
  CColumnNullValueExcluded(const CColumnNullValueExcluded&) = delete;
  CColumnNullValueExcluded& operator=(const CColumnNullValueExcluded&) = delete;

  // The column's flag; true when the column is not in the set.
  int bColumnValuesNullSelected(const CNAColumn* column) const;
  // The same for the first column whose original name equals `name`
  // without regard to case.
  int bColumnValuesNullSelected(const wchar_t* name) const;
  // Empties the set.
  void Reset();
  // One column: present, its flag becomes flag AND nullSelected under AND,
  // flag OR nullSelected otherwise; absent, it is added with flag 0 only
  // under AND with nullSelected false. True.
  int bCombineColumnValuesNullSelected(eNAOperator op, CNAColumn* column, int nullSelected);
  // Another set: none under operator 1 empties this set, none under any
  // other operator changes nothing; otherwise each of its entries combines
  // as one column. True.
  int bCombineColumnValuesNullSelected(eNAOperator op, const CColumnNullValueExcluded* other);
  // Appends every entry of `other` (its flag inverted with invert). True.
  int bCopyColumnValuesNullSelected(const CColumnNullValueExcluded* other, int invert);

  int nGetCount() const { return m_tabColumns.nGetNbElements(); }

 private:
  int _nFind(const CNAColumn* column) const;

  CTTableau<CNAColumn*> m_tabColumns;
  CTTableau<int> m_tabNullSelected;
};
