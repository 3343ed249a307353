#include "CNAFilterSave.h"

#include "CNAFilter.h"

CNAFilterSave::CNAFilterSave(CNAFilter* filter) { SetFilter(filter); }

CNAFilterSave::CNAFilterSave(const CNAFilterSave& other) { Copy(other); }

CNAFilterSave& CNAFilterSave::operator=(const CNAFilterSave& other) {
  Copy(other);
  return *this;
}

CNAFilterSave::~CNAFilterSave() {
  if (m_pclFilter != nullptr) m_pclFilter->nRelease();
}

void CNAFilterSave::SetFilter(CNAFilter* filter) {
  if (filter != nullptr) filter->AddRef();
  CNAFilter* pclOld = m_pclFilter;
  m_pclFilter = filter;
  m_bActive = filter != nullptr && filter->bIsFilterActive() ? 1 : 0;
  if (pclOld != nullptr) pclOld->nRelease();
}

void CNAFilterSave::Copy(const CNAFilterSave& other) {
  if (&other == this) return;
  if (other.m_pclFilter != nullptr) other.m_pclFilter->AddRef();
  CNAFilter* pclOld = m_pclFilter;
  m_pclFilter = other.m_pclFilter;
  m_bActive = other.m_bActive;
  if (pclOld != nullptr) pclOld->nRelease();
}

int CNAFilterSave::bFilterEquals(const CNAFilter* filter) const {
  const int bGivenActive = filter != nullptr && filter->bIsFilterActive() ? 1 : 0;
  if ((m_bActive != 0 ? 1 : 0) != bGivenActive) return 0;
  if (!bGivenActive) return 1;
  return CNAFilter::g_bEqualsFilter(m_pclFilter, filter);
}
