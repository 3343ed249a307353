// Placeholder of the statement's full record cache, for the table cache,
// until the statement reads the remaining rows of its parse itself: the
// statement's record cache once every row is in it, else none (the table
// cache then keeps its parsing statement and tries again later).
#include "CNARecordCache.h"
#include "CNAStatement.h"

CNARecordCache* CNAStatement::pclGetFullRecordCache() {
  if (m_pclRecordCache == nullptr || !m_pclRecordCache->bFetchComplete()) return nullptr;
  return m_pclRecordCache;
}
