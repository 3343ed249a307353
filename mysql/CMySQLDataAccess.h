// CMySQLDataAccess: the data access of the MariaDB/MySQL driver. It is the
// generic data access (CNADataAccess) with one answer of its own: a table's
// records are counted by the server (a COUNT query), so counting a table
// needs no full read; a query keeps the generic answer (its statement
// counts its rows, see CMySQLStatement::bGetNbEnr).
//
// Ownership and threads: those of CNADataAccess (a CInterf made with
// counts 0 by the driver's factory; used under the driver's process-wide
// lock).
#pragma once

#include "CNADataAccess.h"

class CMySQLDataAccess : public CNADataAccess {
 public:
  // The generic construction (see CNADataAccess).
  CMySQLDataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection, CNAError* error);
  ~CMySQLDataAccess() override;

  // On a query the generic answer (*needParse = 1); on a table
  // *needParse = 0. 1; a null `needParse` is left alone.
  int bNbEnrNeedParse(int* needParse, const wchar_t* key) override;
};
KX_CINTERF_REF_TRAITS(CMySQLDataAccess)
