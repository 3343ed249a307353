// CNASQLColumn: a column of a record layout that reads its value from the
// server: the kind of column the driver's column factory makes (slot 50).
//
// bSetValueFromDB moves the value of the driver statement's current row,
// at the column's physical index, through the statement's
// bGetSQLColumnValue into the column's value holder: a bound holder writes
// the record directly; a memo's holder is a dynamic value shared with the
// current record value's memo set. The record's defined flag of the item
// then follows the value (set unless the value is NULL).
//
// Ownership as CNAColumn's: counts start at 0, the first holder takes the
// first reference.
#pragma once

#include "CNAColumn.h"

class CNASQLColumn : public CNAColumn {
 public:
  using CNAColumn::CNAColumn;

  // Reads the value of the statement's current row (the column's physical
  // index; `index`, the element, is 0 for every column the statement
  // reads). A memo is first marked not modified and its holder given the
  // item's platform type; when its read fails the memo becomes NULL and
  // the failure is returned. False without a holder, a statement or an
  // item, or when the read fails.
  int bSetValueFromDB(CNAStatement* statement, unsigned index) override;
};
KX_CINTERF_REF_TRAITS(CNASQLColumn)
