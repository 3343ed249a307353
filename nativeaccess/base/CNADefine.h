// CNADefine: a named value the SQL text builder binds into a query: a
// column (its name and its value object) or a name with a conversion
// variant. Defines are kept in a CRefArray<CNADefine>.
//
// Ownership: the define holds one internal reference on its column and one
// on its value, given back (value first, then column) when it goes.
#pragma once

#include "CInterf.h"
#include "CRefArray.h"
#include "CTString.h"

class CNAColumn;
class CNAConvertVariant;
class CNAConnectionDescription;

class CNADefine : public CInterf {
 public:
  // Everything empty.
  CNADefine();
  // The column and its value object (CNAColumn::pclGetNAValue), one
  // reference on each; a null column holds nothing, and a column without a
  // value object holds only the column.
  explicit CNADefine(CNAColumn* pclColumn);
  // A copy of the name, and one reference on the variant.
  CNADefine(const wchar_t* pszName, CNAConvertVariant* pclValue);
  ~CNADefine() override;

  // Not a cursor.
  virtual int bIsCursor();

  // The column's name when a column is held, else the define's own.
  const wchar_t* pszGetName() const;
  // The value's connection; null without a value.
  CNAConnectionDescription* pclGetCnx() const;

  CNAColumn* pclGetColumn() const { return m_pclColumn; }
  CNAConvertVariant* pclGetValue() const { return m_pclValue; }

 private:
  CNAColumn* m_pclColumn = nullptr;
  CTString m_sName;
  CNAConvertVariant* m_pclValue = nullptr;
};
KX_CINTERF_REF_TRAITS(CNADefine)
