#include "CKXWinZip.h"

#include <cstdlib>
#include <cwchar>

#include "CMemoryStream.h"
#include "CTNBIN.h"
#include "IXStream.h"
#include "WinTime.h"

namespace {

constexpr int knTailleVolume = 1433600;
// Engine results the facade translates.
constexpr int knMoteurMotDePasse = 14;
// Bytes of the traditional encryption header counted in a compressed size.
constexpr std::int64_t knEnteteCryptage = 12;

}  // namespace

CKXWinZip::CKXWinZip() {
  m_nTailleVolume = knTailleVolume;
  m_clMoteur.SetStream(&m_clFichier);
}

CKXWinZip::~CKXWinZip() { Term(); }

bool CKXWinZip::_bFichierOuvert() {
  if (m_clFichier.bIsOpen()) return true;
  return m_clFichier.bOpen(m_sArchive.pszGet(), XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr);
}

_eKXzipResult CKXWinZip::eOuvreArchive(const wchar_t* pszChemin, unsigned dwFlags, std::int64_t llOffset) {
  Term();
  m_anIndexMoteur.clear();
  m_sArchive = pszChemin;
  m_nModeOuverture = static_cast<int>(dwFlags & 1u);
  if (!m_clFichier.bOpen(m_sArchive.pszGet(), XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    return _eResultat(KXZIP_ERR_OUVERTURE);
  }
  m_llOffsetArchive = llOffset;
  if (m_clMoteur.OuvreZip(m_sArchive.pszGet(), 0) != CWinZip::knOk) {
    m_clFichier.Close();
    return _eResultat(KXZIP_ERR_FORMAT);
  }
  m_bRepertoireLu = 1;
  return eLitRepertoireMono();
}

_eKXzipResult CKXWinZip::eLitRepertoireMono() {
  if (m_bRepertoireLu == 0) return _eResultat(KXZIP_ERR_NON_OUVERT);
  const bool bOuvert = !m_clFichier.bIsOpen();
  if (!_bFichierOuvert()) return _eResultat(KXZIP_ERR_CREATION);
  m_clRepertoire.Vide();
  m_anIndexMoteur.clear();
  _eKXzipResult eResultat = KXZIP_OK;
  for (int n = m_clMoteur.FirstFile(); n == CWinZip::knOk; n = m_clMoteur.NextFile()) {
    const _stFICZIP* pst = m_clMoteur.pstGetCurrentFile();
    const int nIndexMoteur = m_clMoteur.nGetCurrentIndex();
    if (pst == nullptr || nIndexMoteur < 0) continue;
    const CTString sNom(m_clMoteur.CurrentFile_szName());
    const wchar_t* pszNom = sNom.pszGet();
    const wchar_t* pszDernier = std::wcsrchr(pszNom, L'\\');
    const wchar_t* pszComposant = pszDernier != nullptr ? pszDernier + 1 : pszNom;
    if (*pszComposant == 0) continue;  // a directory entry
    CTString sRepertoire;
    if (pszDernier != nullptr) sRepertoire.Set(pszNom, static_cast<unsigned long>(pszDernier - pszNom));
    const CDiskFile::_stXFILETIME stDate = {
        static_cast<std::uint16_t>(pst->nAnnee),  static_cast<std::uint16_t>(pst->nMois),
        static_cast<std::uint16_t>(pst->nJour),   static_cast<std::uint16_t>(pst->nHeure),
        static_cast<std::uint16_t>(pst->nMinute), static_cast<std::uint16_t>(pst->nSeconde),
        0};
    auto llCompresse = static_cast<std::int64_t>(pst->llCompressedSize);
    if (pst->bCrypte) llCompresse = llCompresse > knEnteteCryptage ? llCompresse - knEnteteCryptage : 0;
    if (!m_clRepertoire.bAjouteEntree(sRepertoire.pszGet(), pszNom, static_cast<std::int64_t>(pst->llUncompressedSize),
                                      llCompresse, stDate, stDate, stDate, pst->dwExternalAttributes,
                                      pst->bCrypte ? 1 : 0, m_clMoteur.pszGetPassword())) {
      eResultat = KXZIP_ERR_MEMOIRE;
      break;
    }
    m_anIndexMoteur.push_back(nIndexMoteur);
  }
  if (bOuvert) m_clFichier.Close();
  return _eResultat(eResultat);
}

// ---- Locks ------------------------------------------------------------------

_eKXzipResult CKXWinZip::Lock(int bLock) {
  if (m_nModeOuverture != 0) return LockLectureEcritureOuvertEnLectureEcriture(bLock);
  return LockEcritureOuvertEnLecture(bLock);
}

_eKXzipResult CKXWinZip::LockEcritureOuvertEnLecture(int bLock) {
  if (bLock == 0) {
    m_clFichier.Close();
    return _eResultat(KXZIP_OK);
  }
  if (!m_clFichier.bOpen(m_sArchive.pszGet(), XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    return _eResultat(KXZIP_ERR_OUVERTURE);
  }
  m_nModeOuverture = 0;
  return _eResultat(KXZIP_OK);
}

_eKXzipResult CKXWinZip::LockLectureEcritureOuvertEnLectureEcriture(int bLock) {
  if (bLock == 0) {
    if (m_bVerrouille != 0) {
      m_clFichier.bUnlock(1, 1);
      m_clFichier.Close();
      m_bVerrouille = 0;
    }
    return _eResultat(KXZIP_OK);
  }
  if (!m_clFichier.bOpen(m_sArchive.pszGet(), XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr) &&
      !m_clFichier.bOpen(m_sArchive.pszGet(), XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    return _eResultat(KXZIP_ERR_OUVERTURE);
  }
  if (!m_clFichier.bLock(1, 1)) return _eResultat(KXZIP_ERR_CREATION);
  m_bVerrouille = 1;
  return _eResultat(KXZIP_OK);
}

// ---- Extraction ---------------------------------------------------------------

_eKXzipResult CKXWinZip::_eOuvreEntreeCourante() {
  const int n = m_clMoteur.OpenCurrentFileInZip();
  if (n == CWinZip::knOk) return KXZIP_OK;
  return n == knMoteurMotDePasse ? KXZIP_ERR_MOT_DE_PASSE : KXZIP_ERR_FORMAT;
}

_eKXzipResult CKXWinZip::_eOuvreEntreeParNom(const wchar_t* pszNom, unsigned dwFlags) {
  if (m_clMoteur.LocateFile(pszNom, (dwFlags & kdwCasseExacte) != 0 ? 1 : 0) != CWinZip::knOk) {
    return KXZIP_ERR_INTROUVABLE;
  }
  return _eOuvreEntreeCourante();
}

_eKXzipResult CKXWinZip::_eBoucleExtraction(IXStream* pDestination, std::int64_t llTaille, std::int64_t* pllProduit,
                                            std::int64_t* pllEcrit) {
  *pllProduit = 0;
  *pllEcrit = 0;
  auto* pbyTampon = static_cast<unsigned char*>(std::malloc(knTailleTampon));
  if (pbyTampon == nullptr) {
    m_clMoteur.CloseCurrentFileInZip(1);
    return KXZIP_ERR_MEMOIRE;
  }
  bool bOk = true;
  std::int64_t llProduit = 0;
  std::int64_t llEcrit = 0;
  for (;;) {
    unsigned nLu = 0;
    if (!m_clMoteur.bReadCurrentFileInZip(pbyTampon, knTailleTampon, &nLu)) {
      bOk = false;
      break;
    }
    if (nLu == 0) break;
    const std::int64_t llPlace = llTaille - llEcrit;
    const unsigned nAEcrire = llPlace < static_cast<std::int64_t>(nLu) ? static_cast<unsigned>(llPlace) : nLu;
    if (nAEcrire > 0) {
      unsigned nEcrit = 0;
      if (!pDestination->bWrite(pbyTampon, nAEcrire, &nEcrit) || nEcrit != nAEcrire) {
        bOk = false;
        break;
      }
      llEcrit += nAEcrire;
    }
    llProduit += nLu;
    // Data longer than declared is wrong whatever follows: no need to
    // inflate the rest.
    if (llProduit > llTaille) break;
  }
  const int nFermeture = m_clMoteur.CloseCurrentFileInZip(1);
  std::free(pbyTampon);
  *pllProduit = llProduit;
  *pllEcrit = llEcrit;
  if (!bOk) return KXZIP_ERR_DONNEES;
  if (llProduit == llTaille && nFermeture != CWinZip::knOk) return KXZIP_ERR_DONNEES;
  return KXZIP_OK;
}

_eKXzipResult CKXWinZip::eExtraitFichier(const wchar_t* pszNom, const wchar_t* pszDestination, int, void*, int,
                                         unsigned dwFlags) {
  if ((dwFlags & kdwSupprimeDestination) != 0 && pszDestination != nullptr && CDiskFile::bIsAFile(pszDestination)) {
    CDiskFile::bDelete(pszDestination, nullptr);
  }
  m_sDerniereDestination = pszDestination;
  if (m_bRepertoireLu == 0) return _eResultat(KXZIP_ERR_NON_OUVERT);
  const long lIndex = m_clRepertoire.lRang(pszNom);
  const CRepEntree* pclEntree = _pclEntree(static_cast<int>(lIndex));
  if (lIndex < 0 || pclEntree == nullptr) return _eResultat(KXZIP_ERR_OUVERTURE);
  // The directory does not change below: the entry stays valid.
  const std::int64_t llTaille = pclEntree->llTailleOriginale();
  const std::uint32_t dwAttributs = pclEntree->dwAttributs();

  CDiskFile clDestination;
  std::int64_t llProduit = 0;
  if (llTaille != 0) {
    if (!_bFichierOuvert()) return _eResultat(KXZIP_ERR_CREATION);
    const _eKXzipResult eOuverture = _eOuvreEntreeParNom(pszNom, dwFlags);
    if (eOuverture != KXZIP_OK) return _eResultat(eOuverture);
    if (!clDestination.bOpen(pszDestination, XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr)) {
      m_clMoteur.CloseCurrentFileInZip(1);
      return _eResultat(KXZIP_ERR_CREATION);
    }
    std::int64_t llEcrit = 0;
    const _eKXzipResult eBoucle = _eBoucleExtraction(&clDestination, llTaille, &llProduit, &llEcrit);
    if (eBoucle != KXZIP_OK) {
      clDestination.Close();
      return _eResultat(eBoucle);
    }
  } else if ((dwAttributs & kdwAttributRepertoire) == 0) {
    if (!clDestination.bOpen(pszDestination, XACCESS_READWRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE,
                             nullptr)) {
      return _eResultat(KXZIP_ERR_CREATION);
    }
  } else {
    if (!CDiskFile::bCreateDirectory(pszDestination, nullptr)) return _eResultat(KXZIP_ERR_CREATION);
    FILETIME ftAcces;
    FILETIME ftModif;
    if (!CDiskFile::bSystemTimeToFileTime(&pclEntree->stAcces(), &ftAcces) ||
        !CDiskFile::bSystemTimeToFileTime(&pclEntree->stModif(), &ftModif) ||
        !SetFileTime(pszDestination, nullptr, &ftAcces, &ftModif) ||
        !CDiskFile::bSetFileAttributes(pszDestination, static_cast<int>(dwAttributs), nullptr)) {
      return _eResultat(KXZIP_ERR_CREATION);
    }
    return _eResultat(KXZIP_OK);
  }
  clDestination.bSetTime(nullptr, &pclEntree->stAcces(), &pclEntree->stModif());
  clDestination.Close();
  CDiskFile::bSetFileAttributes(pszDestination, static_cast<int>(dwAttributs), nullptr);
  return _eResultat(llProduit == llTaille ? KXZIP_OK : KXZIP_ERR_FORMAT);
}

_eKXzipResult CKXWinZip::eExtraitFichier(const wchar_t* pszNom, CTNBIN& clBuffer, int, void*, int) {
  if (m_bRepertoireLu == 0) return _eResultat(KXZIP_ERR_NON_OUVERT);
  const CRepEntree* pclEntree = _pclEntree(static_cast<int>(m_clRepertoire.lRang(pszNom)));
  if (pclEntree == nullptr) return _eResultat(KXZIP_ERR_OUVERTURE);
  const std::int64_t llTaille = pclEntree->llTailleOriginale();
  if (llTaille < 0 || llTaille > 0xFFFFFFFFLL || clBuffer.nSetSize(static_cast<long>(llTaille)) != 0) {
    return _eResultat(KXZIP_ERR_MEMOIRE);
  }
  if (llTaille == 0) return _eResultat(KXZIP_OK);
  if (!_bFichierOuvert()) return _eResultat(KXZIP_ERR_CREATION);
  const _eKXzipResult eOuverture = _eOuvreEntreeParNom(pszNom, 0);
  if (eOuverture != KXZIP_OK) return _eResultat(eOuverture);
  CMemoryStream clFlux;
  if (clBuffer.pGetData() == nullptr ||
      !clFlux.bAssociate(clBuffer.pGetData(), static_cast<std::uint32_t>(llTaille))) {
    m_clMoteur.CloseCurrentFileInZip(1);
    return _eResultat(KXZIP_ERR_MEMOIRE);
  }
  if (!clFlux.bOpen(L"ZIP", XACCESS_WRITE, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    m_clMoteur.CloseCurrentFileInZip(1);
    return _eResultat(KXZIP_ERR_CREATION);
  }
  std::int64_t llProduit = 0;
  std::int64_t llEcrit = 0;
  _eKXzipResult eResultat = _eBoucleExtraction(&clFlux, llTaille, &llProduit, &llEcrit);
  clFlux.Close();
  if (eResultat == KXZIP_OK && llProduit != llTaille) eResultat = KXZIP_ERR_FORMAT;
  // Only the bytes really written are data.
  if (llEcrit < llTaille) clBuffer.Tronque(static_cast<long>(llEcrit));
  return _eResultat(eResultat);
}

_eKXzipResult CKXWinZip::eExtraitRangVersFlux(int nIndex, IXStream* pDestination, std::int64_t* pllEcrit) {
  if (pllEcrit != nullptr) *pllEcrit = 0;
  if (m_bRepertoireLu == 0) return _eResultat(KXZIP_ERR_NON_OUVERT);
  const CRepEntree* pclEntree = _pclEntree(nIndex);
  if (pclEntree == nullptr || nIndex >= static_cast<int>(m_anIndexMoteur.size())) {
    return _eResultat(KXZIP_ERR_OUVERTURE);
  }
  if (pDestination == nullptr || !_bFichierOuvert()) return _eResultat(KXZIP_ERR_CREATION);
  if (m_clMoteur.GoToEntry(m_anIndexMoteur[static_cast<std::size_t>(nIndex)]) != CWinZip::knOk) {
    return _eResultat(KXZIP_ERR_INTROUVABLE);
  }
  const _eKXzipResult eOuverture = _eOuvreEntreeCourante();
  if (eOuverture != KXZIP_OK) return _eResultat(eOuverture);
  const std::int64_t llTaille = pclEntree->llTailleOriginale();
  std::int64_t llProduit = 0;
  std::int64_t llEcrit = 0;
  _eKXzipResult eResultat = _eBoucleExtraction(pDestination, llTaille, &llProduit, &llEcrit);
  if (pllEcrit != nullptr) *pllEcrit = llEcrit;
  if (eResultat == KXZIP_OK && llProduit != llTaille) eResultat = KXZIP_ERR_FORMAT;
  return _eResultat(eResultat);
}

int CKXWinZip::nGetIndexMoteur(int nIndex) const {
  if (nIndex < 0 || nIndex >= static_cast<int>(m_anIndexMoteur.size())) return -1;
  return m_anIndexMoteur[static_cast<std::size_t>(nIndex)];
}

const _stFICZIP* CKXWinZip::pstGetFichierMoteur(int nIndex) const {
  const int nMoteur = nGetIndexMoteur(nIndex);
  return nMoteur >= 0 ? m_clMoteur.pstGetFile(nMoteur) : nullptr;
}

void CKXWinZip::ForceRepVideAlaFin() {
  // The engine indexes follow their entries: the same moves, by the same
  // rule, as the directory's.
  for (int i = m_clRepertoire.nGetNbTotal() - 1; i >= 1; --i) {
    if (static_cast<std::size_t>(i) >= m_anIndexMoteur.size()) continue;
    const CRepEntree* pcl = _pclEntree(i);
    if (pcl == nullptr || !pcl->bEstUnFichierFactice()) continue;
    const int nMoteur = m_anIndexMoteur[static_cast<std::size_t>(i)];
    m_anIndexMoteur.erase(m_anIndexMoteur.begin() + i);
    m_anIndexMoteur.push_back(nMoteur);
  }
  CKXZipBase::ForceRepVideAlaFin();
}

// ---- Engine settings -----------------------------------------------------------

_eKXzipResult CKXWinZip::eMotDePasse(const wchar_t* pszMotDePasse) {
  m_clMoteur.bSetPassword(pszMotDePasse);
  return _eResultat(KXZIP_OK);
}

_eKXzipResult CKXWinZip::eGetMotDePasse(CTString* pclTexte) {
  if (pclTexte != nullptr) pclTexte->Set(m_clMoteur.pszGetPassword());
  return _eResultat(KXZIP_OK);
}

_eKXzipResult CKXWinZip::eNiveauCompression(int nNiveau) {
  if (nNiveau > 9) return _eResultat(KXZIP_ERR_NIVEAU);
  m_clMoteur.SetCompressionLevel(nNiveau);
  return _eResultat(KXZIP_OK);
}

_eKXzipResult CKXWinZip::eGetNiveauCompression(int* pnNiveau) {
  if (pnNiveau != nullptr) *pnNiveau = m_clMoteur.nGetCompressionLevel();
  return _eResultat(KXZIP_OK);
}

int CKXWinZip::bEntete64Bits(int bActif) {
  const int bAvant = m_bEntete64Bits;
  m_bEntete64Bits = bActif;
  m_clMoteur.SetZip64Headers(bActif != 0);
  return bAvant;
}

void CKXWinZip::vSetNomFicUnicode(int bActif) { m_clMoteur.SetUnicodeNames(bActif != 0); }
