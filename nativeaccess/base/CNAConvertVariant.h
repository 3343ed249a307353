// CNAConvertVariant: a value of the native-access layer that converts
// between the record's native form and the runtime's typed values. Declared
// here for the defines; the records layer completes it.
#pragma once

#include "CInterf.h"

class CNAConnection;

class CNAConvertVariant : public CInterf {
 public:
  ~CNAConvertVariant() override;
  // The connection the value belongs to; none here.
  virtual CNAConnection* pclGetCnx();
};
KX_CINTERF_REF_TRAITS(CNAConvertVariant)
