// DescribingMySQLDriver: the MariaDB driver with the server's table
// descriptions behind its slot 46 (CMySQLDataSourceDescription), for the
// live tests whose lists or results are described (composite keys of the
// link records, a statement's result handed to the SQL runtime).
#pragma once

#include <new>

#include "CMySQLDataSourceDescription.h"
#include "CMySQLDriver.h"

namespace kxtest {

class DescribingMySQLDriver : public CMySQLDriver {
 public:
  CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* cnx,
                                                          CNAError* error) override {
    return new (std::nothrow) CMySQLDataSourceDescription(cnx, error);
  }
};

}  // namespace kxtest
