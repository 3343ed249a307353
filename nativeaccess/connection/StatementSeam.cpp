#include "StatementSeam.h"

#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNADriverSQL.h"
#include "CNAError.h"

CNAStatementSQL* kxna_pclAllocStatementSQL(CNAConnectionDescription* connection, CNAError* error) {
  CNADriverLock clLock;
  CNADriver* pclDriver = CNADriver::s_pclDriver;
  if (pclDriver == nullptr) return nullptr;
  CNADriverSQL* pclSQL = pclDriver->pclGetDriverSQL();
  if (pclSQL == nullptr) {
    if (error != nullptr) error->pclGetXError()->SetErrorNoMemory();
    return nullptr;
  }
  return pclSQL->pclAllocStatementSQL(connection, error);
}
