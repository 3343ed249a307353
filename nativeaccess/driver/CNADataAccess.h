// CNADataAccess: one context's access to one table (its statements, its
// current record). Declared here as the driver's factory makes it; the
// data-access layer completes it.
//
// Ownership: a CInterf; counts start at 0, the first holder takes the first
// reference. It keeps the pointers it is given without taking references:
// its owner (the context) keeps them alive.
#pragma once

#include "CInterf.h"

class CNAConnectionDescription;
class CNAError;
class INADataSourceDescription;

class CNADataAccess : public CInterf {
 public:
  CNADataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection,
                CNAError* error)
      : m_piDataSource(source), m_pclConnection(connection), m_pclError(error) {}
  ~CNADataAccess() override;

  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }

 private:
  INADataSourceDescription* m_piDataSource;
  CNAConnectionDescription* m_pclConnection;
  CNAError* m_pclError;
};
KX_CINTERF_REF_TRAITS(CNADataAccess)
