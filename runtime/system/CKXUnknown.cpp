#include "CKXUnknown.h"

CKXUnknown::~CKXUnknown() = default;

std::uint32_t CKXUnknown::dwRelease() {
  // acq_rel: the holder that deletes sees every write the other holders made
  // before they released.
  const std::uint32_t dwCount = m_dwRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (dwCount == 0) delete this;
  return dwCount;
}

std::uint32_t CKXUnknown::dwAddRef() {
  return m_dwRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}
