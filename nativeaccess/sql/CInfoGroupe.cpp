#include "CInfoGroupe.h"

CInfoGroupe::CInfoGroupe(IInfoGroupe* source) {
  if (source == nullptr) return;
  m_sAlias = source->pszGetAlias();
  m_bAvecTable = source->bIsAvecTable();
  m_sNomTable = source->pszGetNomTable();
  m_sNomRubrique = source->pszGetNomRubrique();
  m_stPosition = source->stGetPosition();
  m_sNomFichier = source->pszGetNomFichier();
  m_sNomRubriqueAlias = source->pszGetNomRubriqueAlias();
}

std::uint32_t CInfoGroupe::Release() {
  if (m_nCount == 0) return 0;
  const std::uint32_t n = --m_nCount;
  if (n == 0) delete this;
  return n;
}
