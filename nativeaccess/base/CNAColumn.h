// CNAColumn: one column of a table or query, described by an item
// description and carrying its value object. Declared here for the defines;
// the records layer completes it (values, conversions).
//
// The column keeps the description it is given and reads the item's name
// through it; the error object is borrowed. Both outlive the column.
#pragma once

#include "CInterf.h"

class CNAError;
class CNAConvertVariant;
class INAItemDescription;

class CNAColumn : public CInterf {
 public:
  CNAColumn(CNAError* pclError, INAItemDescription* piDescription);
  ~CNAColumn() override;

  // The item's name (its description's); empty without a description.
  const wchar_t* pszGetName() const;
  // The column's value object; none here (the records layer gives one).
  virtual CNAConvertVariant* pclGetNAValue();
  // Sets `variant` up for this column's values: of platform type `type`, or
  // the item's when 0, sized for one element (0 for a memo), with the
  // column's description attached. False (nothing changed) without a
  // variant.
  virtual int bInitVariant_NV_Any(CNAError* error, CNAConvertVariant* variant, unsigned short type);

  INAItemDescription* piGetItemDescription() const { return m_piDescription; }
  CNAError* pclGetError() const { return m_pclError; }

 private:
  CNAError* m_pclError;
  INAItemDescription* m_piDescription;
};
KX_CINTERF_REF_TRAITS(CNAColumn)
