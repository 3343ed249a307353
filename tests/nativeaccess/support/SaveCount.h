// The saves a data access's store still holds references on, for the tests
// that check every save is given back.
#pragma once

#include "CNADataAccess.h"
#include "CNARecordCache.h"

namespace kxtest {

inline int nSavesHeld(const CNADataAccess* access) {
  const CNARecordCachePosition* pclStore = access != nullptr ? access->pclGetRecordSavesNoRef() : nullptr;
  if (pclStore == nullptr) return 0;
  int nHeld = 0;
  for (int i = 0; i < pclStore->nGetCount(); ++i)
    if (pclStore->nGetRecordSaveCount(i) > 0) ++nHeld;
  return nHeld;
}

}  // namespace kxtest
