// CNARecordMemo: the memo values of one record. A record buffer holds only
// an 8-byte marker per memo item; the values themselves live here, element
// i for the record's i-th memo item (or none).
//
// A reference-counted array (CKXUnknown) of value holders, each holding one
// internal reference on its holder. Created empty; elements are appended
// (empty ones first) up to the index that is set.
#pragma once

#include "CNAConvertVariant.h"
#include "CRefArray.h"

class CNARecordMemo : public CNARefArray<CNAConvertVariant> {
 public:
  CNARecordMemo() : CNARefArray<CNAConvertVariant>(8) {}
  ~CNARecordMemo() override;

  // Element `index`: an existing element copies the value (bCopyVariant)
  // and gives its result. Otherwise a clone of the value takes the index
  // (empty elements appended up to it first); a missing value puts no
  // element there and succeeds; a failed clone answers false, the set as it
  // was. A negative index answers false.
  bool bCopyMemoValue(int index, const CNAConvertVariant* value);
  // Puts `value` itself at `index` (empty elements appended up to it), with
  // one reference taken before the element it replaces is given back.
  // False (nothing changed) for a negative index or when the set cannot
  // grow.
  bool bShareMemoValue(int index, CNAConvertVariant* value);
  // Copies every element of `source` (none for a null source) into the
  // element of the same index, in order; the first failure stops the copy
  // (false). Elements of this set beyond the source's count are set NULL,
  // also after a failure.
  bool bCopyRecordMemo(const CNARecordMemo* source);
  // At least one element holds a value.
  bool bHasValue() const;

  // The same set, or every index below the larger count holding elements
  // equal by CNAVariant::g_bEqualsNAVariant (a missing set, index or
  // element counts as NULL).
  static bool g_bEqualsNARecordMemo(const CNARecordMemo* a, const CNARecordMemo* b);
};
