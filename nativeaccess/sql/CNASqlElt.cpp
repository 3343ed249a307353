#include "CNASqlElt.h"

int CNASqlElt::pfnCmpELT(const void* a, const void* b) {
  const CNASqlElt* pA = *static_cast<const CNASqlElt* const*>(a);
  const CNASqlElt* pB = *static_cast<const CNASqlElt* const*>(b);
  if (pA->m_nStart < pB->m_nStart) return -1;
  return pA->m_nStart > pB->m_nStart ? 1 : 0;
}
