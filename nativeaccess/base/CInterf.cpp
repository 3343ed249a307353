#include "CInterf.h"

CInterf::~CInterf() = default;

int CInterf::_NotToBeCalled() { return 0; }

std::uint32_t CInterf::nRelease() {
  if (m_nInternalCount == 0) return 0;
  const std::uint32_t nLeft = --m_nInternalCount;
  if (nLeft == 0) _DeleteIfUnreferenced();
  return nLeft;
}

void CInterf::_DeleteIfUnreferenced() {
  if (m_nInternalCount == 0 && m_nExternalCount == 0) delete this;
}
