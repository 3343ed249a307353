#include "CHashTableBounce.h"

#include <cstddef>
#include <cstring>

#include "StrFunctions.h"
#include "XMalloc.h"

const std::uint32_t CHashTableBounce::g__ToutPretToutChaud[CHashTableBounce::nNB_NIVEAUX] = {
    17u,        53u,        97u,        193u,       389u,       769u,        1543u,       3079u,
    6151u,      12289u,     24593u,     49157u,     98317u,     196613u,     393241u,     786433u,
    1572869u,   3145739u,   6291469u,   12582917u,  25165843u,  50331653u,   100663319u,  201326611u,
    402653189u, 805306457u, 1610612741u, 3221225473u, 4294967291u};

namespace {

constexpr unsigned kFLAGS_LOGIQUE = STR_FLAG_UPPER | STR_FLAG_NOACCENT;

// A bucket array of n words, all 0; null when it cannot be allocated.
std::uint32_t* NouveauxBuckets(std::uint32_t n) {
  const std::size_t nOctets = static_cast<std::size_t>(n) * sizeof(std::uint32_t);
  auto* p = static_cast<std::uint32_t*>(XMALLOC_pNew_(nOctets));
  if (p != nullptr) std::memset(p, 0, nOctets);
  return p;
}

}  // namespace

int _nHTBDefaultCompare(const void* pKey1, const void* pKey2) { return pKey1 == pKey2 ? 0 : 1; }

unsigned int _dwHTBDefaultHashVal(const void* pKey) {
  return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(pKey));
}

CHashTableBounce::CHashTableBounce(unsigned int nSize) { __Init(nSize, false); }

CHashTableBounce::~CHashTableBounce() {
  XMALLOC_Del_(m_pstElements);
  XMALLOC_Del_(m_pdwBuckets);
}

void CHashTableBounce::SetCmp(PFHTBCOMPARE pfCompare) { m_pfCompare = pfCompare; }
void CHashTableBounce::SetHashVal(PFHTBHASHVAL pfHashVal) { m_pfHashVal = pfHashVal; }
PFHTBCOMPARE CHashTableBounce::pfGetCmp() { return m_pfCompare; }
PFHTBHASHVAL CHashTableBounce::pfGetHashVal() { return m_pfHashVal; }
unsigned int CHashTableBounce::dwGetNumElement() { return m_dwNbElements; }

void CHashTableBounce::__Init(unsigned int nSize, bool bReset) {
  if (bReset) {
    m_dwNbElements = 0;
    m_nNiveau = 0;
  }
  XMALLOC_Del_(m_pstElements);
  XMALLOC_Del_(m_pdwBuckets);
  m_pstElements = nullptr;
  m_pdwBuckets = nullptr;
  m_dwCapacite = 0;
  m_dwNbBuckets = 0;
  m_dwLibre = 0;

  int nNiveau = m_nNiveau;
  while (nNiveau < nNB_NIVEAUX && _dwCapacite(nNiveau) < nSize) ++nNiveau;
  if (nNiveau >= nNB_NIVEAUX) return;  // more than the table can ever hold

  const std::uint32_t dwCapacite = _dwCapacite(nNiveau);
  auto* pstElements =
      static_cast<stELEMENT*>(XMALLOC_pNew_(static_cast<std::size_t>(dwCapacite) * sizeof(stELEMENT)));
  std::uint32_t* pdwBuckets = pstElements != nullptr ? NouveauxBuckets(g__ToutPretToutChaud[nNiveau]) : nullptr;
  if (pdwBuckets == nullptr) {
    XMALLOC_Del_(pstElements);
    return;
  }
  for (std::uint32_t i = 0; i < dwCapacite; ++i) {
    pstElements[i].pKey = nullptr;
    pstElements[i].pValue = nullptr;
    pstElements[i].dwPrecedent = kLIBRE;
    pstElements[i].dwSuivant = i + 1 < dwCapacite ? i + 2 : 0;
  }
  m_pstElements = pstElements;
  m_pdwBuckets = pdwBuckets;
  m_dwCapacite = dwCapacite;
  m_dwNbBuckets = g__ToutPretToutChaud[nNiveau];
  m_dwLibre = 1;
  m_nNiveau = nNiveau;
}

std::uint32_t CHashTableBounce::_dwTrouve(const void* pKey) const {
  if (m_pdwBuckets == nullptr || m_dwNbElements == 0 || m_pfHashVal == nullptr || m_pfCompare == nullptr) return 0;
  std::uint32_t i = m_pdwBuckets[m_pfHashVal(pKey) % m_dwNbBuckets];
  while (i != 0 && m_pfCompare(pKey, m_pstElements[i - 1].pKey) != 0) i = m_pstElements[i - 1].dwSuivant;
  return i;
}

void CHashTableBounce::_Libere(std::uint32_t dwIndex) {
  stELEMENT& e = m_pstElements[dwIndex - 1];
  if (e.dwPrecedent != 0)
    m_pstElements[e.dwPrecedent - 1].dwSuivant = e.dwSuivant;
  else
    m_pdwBuckets[m_pfHashVal(e.pKey) % m_dwNbBuckets] = e.dwSuivant;
  if (e.dwSuivant != 0) m_pstElements[e.dwSuivant - 1].dwPrecedent = e.dwPrecedent;
  e.dwPrecedent = kLIBRE;
  e.dwSuivant = m_dwLibre;
  m_dwLibre = dwIndex;
  --m_dwNbElements;
}

bool CHashTableBounce::bAddElement(void* pKey, void* pValue) {
  if (m_pdwBuckets == nullptr || m_pfHashVal == nullptr) return false;
  if (m_dwLibre == 0 && !__bGrow()) return false;
  const std::uint32_t i = m_dwLibre;
  stELEMENT& e = m_pstElements[i - 1];
  m_dwLibre = e.dwSuivant;
  std::uint32_t& dwBucket = m_pdwBuckets[m_pfHashVal(pKey) % m_dwNbBuckets];
  e.pKey = pKey;
  e.pValue = pValue;
  e.dwPrecedent = 0;
  e.dwSuivant = dwBucket;
  if (dwBucket != 0) m_pstElements[dwBucket - 1].dwPrecedent = i;
  dwBucket = i;
  ++m_dwNbElements;
  return true;
}

bool CHashTableBounce::bGetElement(const void* pKey, void** ppValue, void** ppStoredKey) {
  if (m_dwNbElements == 0) return false;
  const std::uint32_t i = _dwTrouve(pKey);
  if (i == 0) return false;
  if (ppValue != nullptr) *ppValue = m_pstElements[i - 1].pValue;
  if (ppStoredKey != nullptr) *ppStoredKey = m_pstElements[i - 1].pKey;
  return true;
}

void** CHashTableBounce::pGetElement(const void* pKey) {
  const std::uint32_t i = _dwTrouve(pKey);
  return i != 0 ? &m_pstElements[i - 1].pValue : nullptr;
}

bool CHashTableBounce::bDeleteElement(const void* pKey, void** ppValue, void** ppStoredKey) {
  const std::uint32_t i = _dwTrouve(pKey);
  if (i == 0) return false;
  if (ppValue != nullptr) *ppValue = m_pstElements[i - 1].pValue;
  if (ppStoredKey != nullptr) *ppStoredKey = m_pstElements[i - 1].pKey;
  _Libere(i);
  // The element is out whatever the shrink does: a failed shrink only keeps
  // the table at its level.
  if (m_dwNbParcours == 0 && m_nNiveau > 0 && m_dwNbElements < g__ToutPretToutChaud[m_nNiveau - 1] / 4)
    __bReduce();
  return true;
}

bool CHashTableBounce::bDeleteElementValue(const void* pKey, const void* pValue, void** ppStoredKey) {
  if (m_pdwBuckets == nullptr || m_dwNbElements == 0 || m_pfHashVal == nullptr || m_pfCompare == nullptr) return false;
  std::uint32_t i = m_pdwBuckets[m_pfHashVal(pKey) % m_dwNbBuckets];
  while (i != 0 && (m_pstElements[i - 1].pValue != pValue || m_pfCompare(pKey, m_pstElements[i - 1].pKey) != 0))
    i = m_pstElements[i - 1].dwSuivant;
  if (i == 0) return false;
  if (ppStoredKey != nullptr) *ppStoredKey = m_pstElements[i - 1].pKey;
  _Libere(i);
  if (m_dwNbParcours == 0 && m_nNiveau > 0 && m_dwNbElements < g__ToutPretToutChaud[m_nNiveau - 1] / 4)
    __bReduce();
  return true;
}

bool CHashTableBounce::bParseTable(unsigned int* pCursor, int bDelete, void** ppValue, void** ppKey) {
  if (pCursor == nullptr) return false;
  if (*pCursor == 0) ++m_dwNbParcours;
  std::uint32_t i = *pCursor;
  while (i < m_dwCapacite && m_pstElements[i].dwPrecedent == kLIBRE) ++i;
  if (i >= m_dwCapacite) {
    if (m_dwNbParcours > 0) --m_dwNbParcours;
    return false;
  }
  if (ppValue != nullptr) *ppValue = m_pstElements[i].pValue;
  if (ppKey != nullptr) *ppKey = m_pstElements[i].pKey;
  if (bDelete) _Libere(i + 1);
  *pCursor = i + 1;
  return true;
}

void CHashTableBounce::StopParsing() {
  if (m_dwNbParcours > 0) --m_dwNbParcours;
}

bool CHashTableBounce::bParseSetElement(unsigned int nCursor, void* pValue, void** ppOldValue) {
  if (nCursor == 0 || nCursor - 1 >= m_dwCapacite) return false;
  stELEMENT& e = m_pstElements[nCursor - 1];
  if (e.dwPrecedent == kLIBRE) return false;
  if (ppOldValue != nullptr) *ppOldValue = e.pValue;
  e.pValue = pValue;
  return true;
}

bool CHashTableBounce::bParseSetKey(unsigned int nCursor, void* pKey, void** ppOldKey) {
  if (nCursor == 0 || nCursor - 1 >= m_dwCapacite) return false;
  stELEMENT& e = m_pstElements[nCursor - 1];
  if (e.dwPrecedent == kLIBRE) return false;
  if (ppOldKey != nullptr) *ppOldKey = e.pKey;
  e.pKey = pKey;
  return true;
}

void CHashTableBounce::DeleteAll(unsigned int nSize) {
  if (m_dwNbElements > 0 || m_pdwBuckets == nullptr) __Init(nSize != 0 ? nSize : 7, true);
}

bool CHashTableBounce::__bGrow() {
  if (m_pdwBuckets == nullptr || m_nNiveau + 1 >= nNB_NIVEAUX) return false;
  const int nNiveau = m_nNiveau + 1;
  const std::uint32_t dwNbBuckets = g__ToutPretToutChaud[nNiveau];
  const std::uint32_t dwCapacite = _dwCapacite(nNiveau);

  std::uint32_t* pdwBuckets = NouveauxBuckets(dwNbBuckets);
  if (pdwBuckets == nullptr) return false;
  auto* pstElements = static_cast<stELEMENT*>(
      XMALLOC_pResize_(m_pstElements, static_cast<std::size_t>(dwCapacite) * sizeof(stELEMENT)));
  if (pstElements == nullptr) {
    XMALLOC_Del_(pdwBuckets);
    return false;
  }
  m_pstElements = pstElements;

  // The new records go on the free list in order, ahead of any free record
  // left below them.
  for (std::uint32_t i = m_dwCapacite; i < dwCapacite; ++i) {
    pstElements[i].pKey = nullptr;
    pstElements[i].pValue = nullptr;
    pstElements[i].dwPrecedent = kLIBRE;
    pstElements[i].dwSuivant = i + 1 < dwCapacite ? i + 2 : m_dwLibre;
  }
  if (dwCapacite > m_dwCapacite) m_dwLibre = m_dwCapacite + 1;

  __RehashElement(pdwBuckets, dwNbBuckets);
  XMALLOC_Del_(m_pdwBuckets);
  m_pdwBuckets = pdwBuckets;
  m_dwNbBuckets = dwNbBuckets;
  m_dwCapacite = dwCapacite;
  m_nNiveau = nNiveau;
  return true;
}

bool CHashTableBounce::__bReduce() {
  if (m_pdwBuckets == nullptr || m_nNiveau == 0) return false;
  int nNiveau = m_nNiveau - 1;
  while (nNiveau > 0 && m_dwNbElements < g__ToutPretToutChaud[nNiveau - 1] / 2) --nNiveau;
  const std::uint32_t dwNbBuckets = g__ToutPretToutChaud[nNiveau];
  const std::uint32_t dwCapacite = _dwCapacite(nNiveau);

  std::uint32_t* pdwBuckets = NouveauxBuckets(dwNbBuckets);
  if (pdwBuckets == nullptr) return false;

  __Compact(dwCapacite);
  // A smaller block that cannot be had leaves the larger one, which holds
  // the same records.
  auto* pstElements = static_cast<stELEMENT*>(
      XMALLOC_pResize_(m_pstElements, static_cast<std::size_t>(dwCapacite) * sizeof(stELEMENT)));
  if (pstElements != nullptr) m_pstElements = pstElements;

  __RehashElement(pdwBuckets, dwNbBuckets);
  XMALLOC_Del_(m_pdwBuckets);
  m_pdwBuckets = pdwBuckets;
  m_dwNbBuckets = dwNbBuckets;
  m_dwCapacite = dwCapacite;
  m_nNiveau = nNiveau;
  return true;
}

void CHashTableBounce::__RehashElement(std::uint32_t* pdwNewBuckets, std::uint32_t nNewBuckets) {
  // Each old chain is walked from its tail and every element pushed at the
  // head of its new bucket: elements with equal keys share an old chain, so
  // the most recent of them stays in front.
  for (std::uint32_t b = 0; b < m_dwNbBuckets; ++b) {
    std::uint32_t i = m_pdwBuckets[b];
    if (i == 0) continue;
    while (m_pstElements[i - 1].dwSuivant != 0) i = m_pstElements[i - 1].dwSuivant;
    while (i != 0) {
      stELEMENT& e = m_pstElements[i - 1];
      const std::uint32_t dwPrecedent = e.dwPrecedent;
      std::uint32_t& dwBucket = pdwNewBuckets[m_pfHashVal(e.pKey) % nNewBuckets];
      e.dwPrecedent = 0;
      e.dwSuivant = dwBucket;
      if (dwBucket != 0) m_pstElements[dwBucket - 1].dwPrecedent = i;
      dwBucket = i;
      i = dwPrecedent;
    }
  }
}

void CHashTableBounce::__Compact(std::uint32_t nNewCapacity) {
  std::uint32_t dwCible = 1;  // candidate free record below the new capacity (1-based)
  for (std::uint32_t s = m_dwCapacite; s > nNewCapacity; --s) {
    if (m_pstElements[s - 1].dwPrecedent == kLIBRE) continue;
    while (dwCible <= nNewCapacity && m_pstElements[dwCible - 1].dwPrecedent != kLIBRE) ++dwCible;
    if (dwCible > nNewCapacity) break;  // count >= nNewCapacity: the caller's fault
    stELEMENT& e = m_pstElements[dwCible - 1];
    e = m_pstElements[s - 1];
    if (e.dwPrecedent != 0)
      m_pstElements[e.dwPrecedent - 1].dwSuivant = dwCible;
    else
      m_pdwBuckets[m_pfHashVal(e.pKey) % m_dwNbBuckets] = dwCible;
    if (e.dwSuivant != 0) m_pstElements[e.dwSuivant - 1].dwPrecedent = dwCible;
    m_pstElements[s - 1].dwPrecedent = kLIBRE;
    ++dwCible;
  }
  m_dwLibre = 0;
  for (std::uint32_t i = 1; i <= nNewCapacity && i <= m_dwCapacite; ++i) {
    if (m_pstElements[i - 1].dwPrecedent != kLIBRE) continue;
    m_pstElements[i - 1].dwSuivant = m_dwLibre;
    m_dwLibre = i;
  }
}

int CHashTableBounce::nStringLogiqueCompare(const void* pKey1, const void* pKey2) {
  return STR_nCompareW(static_cast<const wchar_t*>(pKey1), static_cast<const wchar_t*>(pKey2), kFLAGS_LOGIQUE);
}

unsigned int CHashTableBounce::dwStringLogiqueHashVal(const void* pKey) {
  const auto* pszKey = static_cast<const wchar_t*>(pKey);
  if (pszKey == nullptr || *pszKey == 0) return 0;

  // Mapping may lengthen the text: the buffer is sized by the map itself.
  const int nTaille = STR_nGetMapStringLenEx(kFLAGS_LOGIQUE, pszKey, -1);
  if (nTaille <= 1) return 0;
  constexpr int kPILE = 1023 / static_cast<int>(sizeof(wchar_t));
  wchar_t szPile[kPILE];
  wchar_t* pszMap = nTaille <= kPILE ? szPile
                                     : static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(nTaille) * sizeof(wchar_t)));
  std::uint32_t dwSomme = 0;
  if (pszMap == nullptr) {
    // No room for the whole text: map it one character at a time, which
    // gives the same sum whenever no character maps to several.
    for (const wchar_t* p = pszKey; *p != 0; ++p) {
      wchar_t c = 0;
      STR_nMapCharEx(kFLAGS_LOGIQUE, &c, *p);
      dwSomme += static_cast<std::uint32_t>(c);
    }
    return dwSomme;
  }
  const int nMap = STR_nMapStringEx(kFLAGS_LOGIQUE, pszMap, nTaille, pszKey, -1);
  for (int i = 0; i < nMap; ++i) dwSomme += static_cast<std::uint32_t>(pszMap[i]);
  if (pszMap != szPile) XMALLOC_Del_(pszMap);
  return dwSomme;
}
