#include "CHashBase.h"

#include <climits>
#include <new>

#include "CXMath.h"
#include "XMalloc.h"

CHashBase::CHashBase(int nBuckets) {
  if (nBuckets > 0) {
    m_pclBuckets = _pclNouvellesListes(nBuckets);
    if (m_pclBuckets != nullptr) m_nNbBuckets = nBuckets;
  }
}

CHashBase::~CHashBase() { _DetruitListes(m_pclBuckets, m_nNbBuckets); }

CListeDeBuffer* CHashBase::_pclNouvellesListes(int nNb) {
  if (nNb < 1) return nullptr;
  auto* pclListes = static_cast<CListeDeBuffer*>(XMALLOC_pNew_(static_cast<std::size_t>(nNb) * sizeof(CListeDeBuffer)));
  if (pclListes == nullptr) return nullptr;
  for (int i = 0; i < nNb; ++i) new (&pclListes[i]) CListeDeBuffer(static_cast<int>(sizeof(stENTREE)));
  return pclListes;
}

void CHashBase::_DetruitListes(CListeDeBuffer* pclListes, int nNb) {
  if (pclListes == nullptr) return;
  for (int i = 0; i < nNb; ++i) pclListes[i].~CListeDeBuffer();
  XMALLOC_Del_(pclListes);
}

CListeDeBuffer& CHashBase::_Liste(const void* pKey) const {
  return m_pclBuckets[vdwHashVal(pKey) % static_cast<unsigned int>(m_nNbBuckets)];
}

long long CHashBase::_llPremierDesA(long long n) {
  if (n < 0) n = 0;
  while (!CXMath::bEstPremier(static_cast<std::uint64_t>(n))) ++n;
  return n;
}

void CHashBase::SetNiveau(int nGrow, int nShrink) {
  m_nFacteurPlus = nGrow;
  m_nFacteurMoins = nShrink;
}

bool CHashBase::Ajoute(void* pKey, void* pValue) {
  if (m_nNbBuckets < 1) return false;
  const stENTREE stEntree = {pKey, pValue};
  if (!_Liste(pKey).Ajoute(&stEntree, 1)) return false;
  ++m_nNbElements;
  return true;
}

bool CHashBase::AjouteDYN(void* pKey, void* pValue) {
  _RedimentionneTablePlus();
  return Ajoute(pKey, pValue);
}

bool CHashBase::bRecherche(const void* pKey, void** ppValue, void** ppStoredKey) {
  if (m_nNbBuckets < 1) return false;
  CListeDeBuffer& clListe = _Liste(pKey);
  for (auto* p = static_cast<stENTREE*>(clListe.pVaSurNumero(0)); p != nullptr;
       p = static_cast<stENTREE*>(clListe.pVaSuivant())) {
    if (vbEgal(p->pKey, pKey)) {
      if (ppValue != nullptr) *ppValue = p->pValue;
      if (ppStoredKey != nullptr) *ppStoredKey = p->pKey;
      return true;
    }
  }
  return false;
}

bool CHashBase::bRechercheConst(const void* pKey, void** ppValue, void** ppStoredKey) const {
  if (m_nNbBuckets < 1) return false;
  CEtatListe clCurseur(_Liste(pKey));
  for (auto* p = static_cast<stENTREE*>(clCurseur.pVaSurNumero(0)); p != nullptr;
       p = static_cast<stENTREE*>(clCurseur.pVaSuivant())) {
    if (vbEgal(p->pKey, pKey)) {
      if (ppValue != nullptr) *ppValue = p->pValue;
      if (ppStoredKey != nullptr) *ppStoredKey = p->pKey;
      return true;
    }
  }
  return false;
}

bool CHashBase::bSupprime(const void* pKey) {
  if (!bRecherche(pKey, nullptr, nullptr)) return false;
  _Liste(pKey).SupprimeCourant();
  --m_nNbElements;
  return true;
}

bool CHashBase::bSupprimeDYN(const void* pKey) {
  if (!bSupprime(pKey)) return false;
  _RedimentionneTableMoins();
  return true;
}

void CHashBase::SupprimeTout() {
  for (int i = 0; i < m_nNbBuckets; ++i) m_pclBuckets[i].SupprimeTout();
  m_nNbElements = 0;
}

void CHashBase::SupprimeCourant(int* pnBucket, void** ppValue, void** ppKey) {
  int nBucket = *pnBucket < 0 ? 0 : *pnBucket;
  for (; nBucket < m_nNbBuckets; ++nBucket) {
    CListeDeBuffer& clListe = m_pclBuckets[nBucket];
    auto* p = static_cast<stENTREE*>(clListe.pVaSurNumero(0));
    if (p == nullptr) continue;
    if (ppValue != nullptr) *ppValue = p->pValue;
    if (ppKey != nullptr) *ppKey = p->pKey;
    clListe.SupprimeCourant();
    --m_nNbElements;
    *pnBucket = nBucket;
    return;
  }
  if (ppValue != nullptr) *ppValue = nullptr;
  if (ppKey != nullptr) *ppKey = nullptr;
  *pnBucket = m_nNbBuckets;
}

void CHashBase::RedimensionneTable(int n) {
  if (n < 1 || n == m_nNbBuckets) return;
  CListeDeBuffer* pclListes = _pclNouvellesListes(n);
  if (pclListes == nullptr) return;
  // The entries are copied, in the order in which SupprimeCourant from
  // bucket 0 would hand them over, and the old lists go only once every
  // copy is made: a node that cannot be allocated leaves the table as it
  // was.
  for (int b = 0; b < m_nNbBuckets; ++b) {
    CEtatListe clCurseur(m_pclBuckets[b]);
    for (auto* p = static_cast<stENTREE*>(clCurseur.pVaSurNumero(0)); p != nullptr;
         p = static_cast<stENTREE*>(clCurseur.pVaSuivant())) {
      CListeDeBuffer& clCible = pclListes[vdwHashVal(p->pKey) % static_cast<unsigned int>(n)];
      if (!clCible.Ajoute(p, 1)) {
        _DetruitListes(pclListes, n);
        return;
      }
    }
  }
  _DetruitListes(m_pclBuckets, m_nNbBuckets);
  m_pclBuckets = pclListes;
  m_nNbBuckets = n;
}

void CHashBase::_RedimentionneTablePlus() {
  if (static_cast<long long>(m_nNbElements) < static_cast<long long>(m_nFacteurPlus) * m_nNbBuckets) return;
  const long long llNouveau = _llPremierDesA(2LL * m_nNbBuckets);
  if (llNouveau <= INT_MAX) RedimensionneTable(static_cast<int>(llNouveau));
}

void CHashBase::_RedimentionneTableMoins() {
  if (static_cast<long long>(m_nNbElements) >= static_cast<long long>(m_nFacteurMoins) * m_nNbBuckets) return;
  long long llNouveau = _llPremierDesA(m_nNbBuckets / 2);
  if (llNouveau < 43) llNouveau = 43;
  RedimensionneTable(static_cast<int>(llNouveau));
}
