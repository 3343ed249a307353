// CNASQLColumn: a column of a statement's result set, the kind of column the
// driver's column factory makes. The statement layer adds how such a column
// reads its value from the server (bSetValueFromDB); until then it is a
// plain column and answers as CNAColumn does.
//
// Ownership as CNAColumn's: counts start at 0, the first holder takes the
// first reference.
#pragma once

#include "CNAColumn.h"

class CNASQLColumn : public CNAColumn {
 public:
  using CNAColumn::CNAColumn;
};
KX_CINTERF_REF_TRAITS(CNASQLColumn)
