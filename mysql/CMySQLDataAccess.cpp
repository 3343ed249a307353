// CMySQLDataAccess: when counting the records of the data access needs a
// full read.
#include "CMySQLDataAccess.h"

CMySQLDataAccess::CMySQLDataAccess(INADataSourceDescription* source, CNAConnectionDescription* connection,
                                   CNAError* error)
    : CNADataAccess(source, connection, error) {}

CMySQLDataAccess::~CMySQLDataAccess() = default;

int CMySQLDataAccess::bNbEnrNeedParse(int* needParse, const wchar_t* key) {
  if (bIsQuery()) return CNADataAccess::bNbEnrNeedParse(needParse, key);
  // A table: the server's COUNT answers.
  if (needParse != nullptr) *needParse = 0;
  return 1;
}
