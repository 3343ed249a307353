// BrowseDriver: the MariaDB driver as tests run it, except that its
// data-access factory hands out a BrowseAccess for a table described by a
// BrowseTable, so that tests and the layers above reach the browsing access
// the way they reach any data access: through the process's driver.
//
// pclAllocDataAccess(source, connection, error): a new BrowseAccess (counts
// 0, the caller takes the first reference; bInit not yet called) when
// `source` is a BrowseTable, which must outlive the access; any other
// source gets the MariaDB driver's own data access. Header only.
#pragma once

#include "BrowseAccess.h"
#include "CMySQLDriver.h"

namespace kxtest {

class BrowseDriver : public CMySQLDriver {
 public:
  // How many browsing accesses it has handed out.
  int nBrowseAccesses = 0;

  CNADataAccess* pclAllocDataAccess(INADataSourceDescription* source, CNAConnectionDescription* cnx,
                                    CNAError* error) override {
    auto* pclTable = dynamic_cast<BrowseTable*>(source);
    if (pclTable == nullptr) return CMySQLDriver::pclAllocDataAccess(source, cnx, error);
    ++nBrowseAccesses;
    return new BrowseAccess(pclTable, cnx, error);
  }
};

}  // namespace kxtest
