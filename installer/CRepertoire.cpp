#include "CRepertoire.h"

#include "LittleEndian.h"

#include <cwchar>

#include "IXStream.h"
#include "WinTime.h"

CRepertoire::CRepertoire() : m_tabEntrees(knPasTable), m_hashNoms(knNbBuckets) {}

CRepertoire::~CRepertoire() = default;

const CRepEntree* CRepertoire::pclGetEntree(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_tabEntrees.nGetNbElements()) return nullptr;
  return &m_tabEntrees[nIndex];
}

void CRepertoire::_Reconstruit() {
  m_hashNoms.SupprimeTout();
  m_nNbTotal = m_tabEntrees.nGetNbElements();
  m_nNbReels = 0;
  for (int i = 0; i < m_nNbTotal; ++i) {
    const CRepEntree& clEntree = m_tabEntrees[i];
    if (!clEntree.bEstUnFichierFactice()) ++m_nNbReels;
    m_hashNoms.Ajoute(clEntree.pszNom(), i);
  }
}

bool CRepertoire::_bAjouteEntree(const CRepEntree& clEntree) {
  const int nCapacite = m_tabEntrees.nGetNbAlloues();
  const void* pAvant = m_tabEntrees.pGetBuffer();
  const int nIndex = m_tabEntrees.Ajoute(clEntree);
  if (nIndex < 0) return false;
  ++m_nNbTotal;
  if (!clEntree.bEstUnFichierFactice()) ++m_nNbReels;
  // The hash's keys point into the table: when its block moved they are all
  // stale.
  if (m_tabEntrees.nGetNbAlloues() != nCapacite || m_tabEntrees.pGetBuffer() != pAvant) {
    _Reconstruit();
  } else {
    m_hashNoms.Ajoute(m_tabEntrees[nIndex].pszNom(), nIndex);
  }
  return true;
}

bool CRepertoire::bAjouteEntree(const wchar_t* pszRepertoire, const wchar_t* pszNom, std::int64_t llTailleOriginale,
                                std::int64_t llTailleCompresse, const CDiskFile::_stXFILETIME& stCreation,
                                const CDiskFile::_stXFILETIME& stModif, const CDiskFile::_stXFILETIME& stAcces,
                                std::uint32_t dwAttributs, int bCrypte, const wchar_t* pszMotDePasse) {
  CRepEntree clEntree;
  const wchar_t* pszR = pszRepertoire != nullptr ? pszRepertoire : L"";
  const wchar_t* pszN = pszNom != nullptr ? pszNom : L"";
  if (llTailleOriginale == 0 && llTailleCompresse == 0 && wcscasecmp(pszR, pszN) == 0) {
    if (!clEntree.bConstruit(pszNom, pszRepertoire, 0)) return false;
  } else {
    clEntree.bConstruit(pszNom, llTailleOriginale, llTailleCompresse, stCreation, stModif, stAcces, dwAttributs,
                        bCrypte, 0, 0);
  }
  clEntree.SetCrypte(bCrypte, CRepEntree::knTypeCryptage, pszMotDePasse);
  return _bAjouteEntree(clEntree);
}

bool CRepertoire::bAjouteEntree(const wchar_t* pszChemin, const wchar_t* pszNom, int nAvecTaille, int bCrypte,
                                const wchar_t* pszMotDePasse) {
  CRepEntree clEntree;
  clEntree.bConstruit(pszChemin, pszNom, nAvecTaille);
  clEntree.SetCrypte(bCrypte, CRepEntree::knTypeCryptage, pszMotDePasse);
  return _bAjouteEntree(clEntree);
}

bool CRepertoire::bCreeEntree(const wchar_t* pszNom, std::int64_t llTailleCompresse, std::int64_t llTailleOriginale,
                              std::uint32_t dwAttributs, int bCrypte, const wchar_t* pszMotDePasse) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  const CDiskFile::_stXFILETIME stMaintenant = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, 0};
  CRepEntree clEntree;
  clEntree.bConstruit(pszNom, llTailleOriginale, llTailleCompresse, stMaintenant, stMaintenant, stMaintenant,
                      dwAttributs, bCrypte, 0, 0);
  clEntree.SetCrypte(bCrypte, CRepEntree::knTypeCryptage, pszMotDePasse);
  return _bAjouteEntree(clEntree);
}

long CRepertoire::lRang(const wchar_t* pszNom) const {
  int nIndex = -1;
  if (!m_hashNoms.bRecherche(pszNom != nullptr ? pszNom : L"", &nIndex)) return -1;
  return nIndex;
}

bool CRepertoire::bChangeChemin(int nIndex, const wchar_t* pszNom) {
  if (nIndex < 0 || nIndex >= m_tabEntrees.nGetNbElements()) return false;
  // Removing the old key by name could take the pair of another entry whose
  // name differs only in case; rebuilding keeps every other index right.
  m_tabEntrees[nIndex].SetNom(pszNom);
  _Reconstruit();
  return true;
}

void CRepertoire::SupprimeElement(int nIndex) {
  if (nIndex < 0 || nIndex >= m_tabEntrees.nGetNbElements()) return;
  m_tabEntrees.Supprime(nIndex, 1);
  _Reconstruit();
}

void CRepertoire::ForceRepVideAlaFin() {
  for (int i = m_tabEntrees.nGetNbElements() - 1; i >= 1; --i) {
    if (!m_tabEntrees[i].bEstUnFichierFactice()) continue;
    const CRepEntree clCopie = m_tabEntrees[i];
    if (m_tabEntrees.Ajoute(clCopie) < 0) break;
    m_tabEntrees.Supprime(i, 1);
  }
  _Reconstruit();
}

void CRepertoire::Vide() {
  m_hashNoms.SupprimeTout();
  m_tabEntrees.SupprimeToutEtLibere();
  m_nNbTotal = 0;
  m_nNbReels = 0;
}

bool CRepertoire::bLit(IXStream* pFichier) {
  Vide();
  if (pFichier == nullptr) return false;
  unsigned char aby[4];
  if (!CRepEntree::bLitExact(pFichier, aby, 4)) return false;
  const std::uint32_t dwNombre = kx_le::Get32(aby);
  bool bOk = true;
  for (std::uint32_t i = 0; i < dwNombre; ++i) {
    CRepEntree clEntree;
    if (!clEntree.bLit(pFichier) || m_tabEntrees.Ajoute(clEntree) < 0) {
      bOk = false;
      break;
    }
  }
  _Reconstruit();
  return bOk;
}

int CRepertoire::eEcrit(IXStream* pFichier) const {
  if (pFichier == nullptr) return 5;
  const auto dwNombre = static_cast<std::uint32_t>(m_tabEntrees.nGetNbElements());
  const unsigned char aby[4] = {static_cast<unsigned char>(dwNombre), static_cast<unsigned char>(dwNombre >> 8),
                                static_cast<unsigned char>(dwNombre >> 16), static_cast<unsigned char>(dwNombre >> 24)};
  unsigned nEcrit = 0;
  if (!pFichier->bWrite(aby, 4, &nEcrit) || nEcrit != 4) return 5;
  for (int i = 0; i < m_tabEntrees.nGetNbElements(); ++i) {
    const int nResultat = m_tabEntrees[i].eEcrit(pFichier);
    if (nResultat != 0) return nResultat;
  }
  return 0;
}

std::uint32_t CRepertoire::dwTaille() const {
  std::uint32_t dw = 4;
  for (int i = 0; i < m_tabEntrees.nGetNbElements(); ++i) dw += m_tabEntrees[i].dwTailleRecord();
  return dw;
}
