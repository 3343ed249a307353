#include "CNAStatementSQL.h"

CNAStatementSQL::~CNAStatementSQL() = default;

int CNAStatementSQL::bExecuteDirect(const wchar_t* /*text*/, CTabValParser* /*parameters*/,
                                    NA_WRITEPARSEFLAGS /*flags*/) {
  return 0;
}

int CNAStatementSQL::bGetRequestedValue(CAny* /*out*/, int /*column*/, const wchar_t* /*query*/) {
  return 0;
}

int CNAStatementSQL::bGetColumnNbr(int* count, unsigned int /*flags*/) {
  if (count != nullptr) *count = 0;
  return 1;
}
