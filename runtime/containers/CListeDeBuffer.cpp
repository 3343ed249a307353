#include "CListeDeBuffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

void CEtatListe::VaSuivant() {
  if (m_pCourant == nullptr) return;
  m_pCourant = m_pCourant->pSuivant;
  ++m_nIndiceCourant;
}

void CEtatListe::VaPrecedent() {
  if (m_pCourant == nullptr) return;
  m_pCourant = m_pCourant->pPrecedent;
  --m_nIndiceCourant;
}

void* CEtatListe::pVaSuivant() {
  if (m_pCourant == nullptr || m_pCourant->pSuivant == nullptr) return nullptr;
  VaSuivant();
  return pCourant();
}

void* CEtatListe::pVaPrecedent() {
  if (m_pCourant == nullptr || m_pCourant->pPrecedent == nullptr) return nullptr;
  VaPrecedent();
  return pCourant();
}

void* CEtatListe::pVaSurNumero(int n) {
  if (n < 0 || n >= m_nNbElements) return nullptr;
  const long nDepuisTete = n;
  const long nDepuisQueue = static_cast<long>(m_nNbElements) - 1 - n;
  // A cursor off the list is no starting point.
  const long nDepuisCurseur =
      m_pCourant != nullptr ? std::labs(static_cast<long>(n) - m_nIndiceCourant) : LONG_MAX;

  CLinkedElement* node;
  if (nDepuisTete <= nDepuisCurseur && nDepuisTete <= nDepuisQueue) {
    node = m_pTete;
    for (long k = 0; k < nDepuisTete; ++k) node = node->pSuivant;
  } else if (nDepuisQueue <= nDepuisCurseur) {
    node = m_pQueue;
    for (long k = 0; k < nDepuisQueue; ++k) node = node->pPrecedent;
  } else if (n <= m_nIndiceCourant) {
    node = m_pCourant;
    for (long k = 0; k < nDepuisCurseur; ++k) node = node->pPrecedent;
  } else {
    node = m_pCourant;
    for (long k = 0; k < nDepuisCurseur; ++k) node = node->pSuivant;
  }
  m_pCourant = node;
  m_nIndiceCourant = n;
  return pCourant();
}

bool CListeDeBuffer::Ajoute(const void* element, int bAvant) {
  if (element == nullptr) return false;
  CLinkedElement* node =
      static_cast<CLinkedElement*>(std::malloc(sizeof(CLinkedElement) + static_cast<std::size_t>(m_nTailleElement)));
  if (node == nullptr) return false;
  std::memcpy(pGetElem(node), element, static_cast<std::size_t>(m_nTailleElement));
  node->pSuivant = node->pPrecedent = nullptr;

  if (m_pTete == nullptr) {
    m_pTete = m_pQueue = node;
    m_nIndiceCourant = 0;
  } else if (m_pCourant == nullptr) {
    // Cursor off one end: the node goes to that end.
    if (m_nIndiceCourant < 0) {
      node->pSuivant = m_pTete;
      m_pTete->pPrecedent = node;
      m_pTete = node;
      m_nIndiceCourant = 0;
    } else {
      node->pPrecedent = m_pQueue;
      m_pQueue->pSuivant = node;
      m_pQueue = node;
      m_nIndiceCourant = m_nNbElements;
    }
  } else if (bAvant != 0) {
    node->pSuivant = m_pCourant;
    node->pPrecedent = m_pCourant->pPrecedent;
    if (node->pPrecedent != nullptr)
      node->pPrecedent->pSuivant = node;
    else
      m_pTete = node;
    m_pCourant->pPrecedent = node;
  } else {
    node->pPrecedent = m_pCourant;
    node->pSuivant = m_pCourant->pSuivant;
    if (node->pSuivant != nullptr)
      node->pSuivant->pPrecedent = node;
    else
      m_pQueue = node;
    m_pCourant->pSuivant = node;
    ++m_nIndiceCourant;
  }
  m_pCourant = node;
  ++m_nNbElements;
  return true;
}

void CListeDeBuffer::SupprimeCourant() {
  CLinkedElement* node = m_pCourant;
  if (node == nullptr) return;
  if (node->pPrecedent != nullptr)
    node->pPrecedent->pSuivant = node->pSuivant;
  else
    m_pTete = node->pSuivant;
  if (node->pSuivant != nullptr)
    node->pSuivant->pPrecedent = node->pPrecedent;
  else
    m_pQueue = node->pPrecedent;
  if (node->pPrecedent != nullptr) {
    m_pCourant = node->pPrecedent;
    --m_nIndiceCourant;
  } else {
    m_pCourant = m_pTete;
  }
  std::free(node);
  if (--m_nNbElements == 0) m_nIndiceCourant = -1;
}

void CListeDeBuffer::SupprimeTout() {
  if (m_pTete == nullptr) return;
  for (CLinkedElement* node = m_pTete; node != nullptr;) {
    CLinkedElement* suivant = node->pSuivant;
    std::free(node);
    node = suivant;
  }
  m_pTete = m_pQueue = m_pCourant = nullptr;
  m_nNbElements = 0;
  m_nIndiceCourant = -1;
}

void CListeDeBuffer::ExtraitListe(CListeDeBuffer& source, CEtatListe& from, CEtatListe& to) {
  CLinkedElement* premier = from.m_pCourant;
  CLinkedElement* fin = to.m_pCourant;
  if (premier == nullptr || premier == fin || &source == this || source.m_nTailleElement != m_nTailleElement) return;

  // Walk the run; it must end at to's node (or at the end when that is
  // null), and we note whether the source's cursor lies inside it.
  int nLongueur = 0;
  bool bCurseurDedans = false;
  CLinkedElement* dernier = nullptr;
  for (CLinkedElement* node = premier; node != fin; node = node->pSuivant) {
    if (node == nullptr) return;  // to's node does not follow from's
    if (node == source.m_pCourant) bCurseurDedans = true;
    dernier = node;
    ++nLongueur;
  }
  const int nDebut = from.m_nIndiceCourant;

  SupprimeTout();

  // Unlink the run from the source.
  if (premier->pPrecedent != nullptr)
    premier->pPrecedent->pSuivant = fin;
  else
    source.m_pTete = fin;
  if (fin != nullptr)
    fin->pPrecedent = premier->pPrecedent;
  else
    source.m_pQueue = premier->pPrecedent;
  premier->pPrecedent = nullptr;
  dernier->pSuivant = nullptr;

  m_pTete = m_pCourant = premier;
  m_pQueue = dernier;
  m_nNbElements = nLongueur;
  m_nIndiceCourant = 0;

  source.m_nNbElements -= nLongueur;
  if (bCurseurDedans) {
    source.m_pCourant = fin;
    source.m_nIndiceCourant = nDebut;
  } else if (source.m_nIndiceCourant >= nDebut) {
    source.m_nIndiceCourant -= nLongueur;
  }
  if (source.m_nNbElements == 0) source.m_nIndiceCourant = -1;

  for (CEtatListe* etat : {&from, &to}) {
    if (etat == &source) continue;
    etat->m_pTete = source.m_pTete;
    etat->m_pQueue = source.m_pQueue;
    etat->m_nNbElements = source.m_nNbElements;
    etat->m_pCourant = fin;
    etat->m_nIndiceCourant = source.m_nNbElements == 0 ? -1 : nDebut;
  }
}
