#include "CKXZipBase.h"

#include <cwchar>

CKXZipBase::CKXZipBase() = default;

CKXZipBase::~CKXZipBase() {
  m_clRepertoire.Vide();
  m_clFichier.Close();
}

unsigned CKXZipBase::dwNombreFichier() { return static_cast<unsigned>(m_clRepertoire.nGetNbReels()); }

int CKXZipBase::nTypeZip() { return m_nTypeZip; }

void CKXZipBase::ForceRepVideAlaFin() { m_clRepertoire.ForceRepVideAlaFin(); }

const wchar_t* CKXZipBase::pszNomFichier(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->pszNom() : nullptr;
}

std::int64_t CKXZipBase::dwTailleOriginale(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->llTailleOriginale() : 0;
}

std::int64_t CKXZipBase::dwTailleCompresse(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->llTailleCompresse() : 0;
}

CDiskFile::_stXFILETIME CKXZipBase::stftLitFtCreation(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->stCreation() : CDiskFile::_stXFILETIME{};
}

CDiskFile::_stXFILETIME CKXZipBase::stftLitFtAcces(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->stAcces() : CDiskFile::_stXFILETIME{};
}

CDiskFile::_stXFILETIME CKXZipBase::stftLitFtModif(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->stModif() : CDiskFile::_stXFILETIME{};
}

std::uint32_t CKXZipBase::dwLitAttribut(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr ? pcl->dwAttributs() : 0;
}

bool CKXZipBase::bCrypte(int nIndex) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  return pcl != nullptr && pcl->bCrypte();
}

long CKXZipBase::lRangFichier(const wchar_t* pszNom) { return m_clRepertoire.lRang(pszNom); }

void CKXZipBase::SetPourcentGlobal(unsigned nPourcent) { m_nPourcentGlobal = nPourcent; }

namespace {

void AjouteTaille(CTString* pclTexte, std::int64_t llTaille) {
  if (llTaille == 0) return;
  wchar_t sz[32];
  std::swprintf(sz, sizeof sz / sizeof sz[0], L"%lld", static_cast<long long>(llTaille));
  pclTexte->Add(sz);
}

void AjouteDate(CTString* pclTexte, const CDiskFile::_stXFILETIME& st) {
  wchar_t sz[64];
  std::swprintf(sz, sizeof sz / sizeof sz[0], L"%04i%02i%02i%02i%02i%02i", st.wYear, st.wMonth, st.wDay, st.wHour,
                st.wMinute, st.wSecond);
  pclTexte->Add(sz);
}

}  // namespace

_eKXzipResult CKXZipBase::eGetInfoFichier(int nIndex, CTString* pclTexte) {
  const CRepEntree* pcl = _pclEntree(nIndex);
  if (pcl == nullptr) return _eResultat(KXZIP_ERR_OUVERTURE);
  if (pclTexte == nullptr) return _eResultat(KXZIP_OK);
  pclTexte->Set(pcl->pszNom());
  pclTexte->Add(L'\t');
  AjouteTaille(pclTexte, pcl->llTailleOriginale());
  pclTexte->Add(L'\t');
  AjouteTaille(pclTexte, pcl->llTailleCompresse());
  pclTexte->Add(L'\t');
  AjouteDate(pclTexte, pcl->stCreation());
  pclTexte->Add(L'\t');
  AjouteDate(pclTexte, pcl->stModif());
  pclTexte->Add(L'\t');
  AjouteDate(pclTexte, pcl->stAcces());
  pclTexte->Add(L'\t');
  if ((pcl->dwAttributs() & 0x80000000u) != 0) pclTexte->Add(L'H');
  pclTexte->Add(L'\t');
  pclTexte->Add(pcl->bCrypte() ? L'+' : L'N');
  return _eResultat(KXZIP_OK);
}

bool CKXZipBase::bDebutSectionCritique() {
  m_mutexSection.lock();
  return true;
}

void CKXZipBase::FinSectionCritique() { m_mutexSection.unlock(); }

void CKXZipBase::Term() {
  m_clRepertoire.Vide();
  m_bRepertoireLu = 0;
  Lock(0);
  m_clFichier.Close();
}
