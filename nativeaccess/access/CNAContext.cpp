#include "CNAContext.h"

CNAContext::CNAContext() : m_tabDataAccess(4) {}

CNAContext::~CNAContext() = default;

bool CNAContext::bAddDataAccess(CNADataAccess* access) { return m_tabDataAccess.Ajoute(access) >= 0; }

std::uint32_t CNAContext::nGetDataAccessCount() {
  return static_cast<std::uint32_t>(m_tabDataAccess.nGetNbElements());
}

void CNAContext::CloseAllDataAccess() { m_tabDataAccess.SupprimeTout(); }
