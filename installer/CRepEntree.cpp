#include "CRepEntree.h"

#include "LittleEndian.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "CMD5.h"
#include "CodePage.h"
#include "IXStream.h"
#include "PasswordBytes.h"

namespace {

constexpr unsigned knCodePage = 1252;
// Bytes after a name's zero byte: reserved byte, kind, digest.
constexpr std::uint32_t knQueue = 18;

bool bEcritFileTime(std::uint8_t* p, const CDiskFile::_stXFILETIME& st) {
  FILETIME ft;
  if (!CDiskFile::bSystemTimeToFileTime(&st, &ft)) return false;
  kx_le::Put32(p, ft.dwLowDateTime);
  kx_le::Put32(p + 4, ft.dwHighDateTime);
  return true;
}

bool bLitFileTime(const std::uint8_t* p, CDiskFile::_stXFILETIME* pst) {
  FILETIME ft;
  ft.dwLowDateTime = kx_le::Get32(p);
  ft.dwHighDateTime = kx_le::Get32(p + 4);
  return CDiskFile::bFileTimeToSystemTime(ft, pst);
}

}  // namespace

bool CRepEntree::bLitExact(IXStream* pFichier, void* pBuffer, unsigned n) {
  auto* p = static_cast<unsigned char*>(pBuffer);
  while (n > 0) {
    unsigned nLu = 0;
    if (!pFichier->bRead(p, n, &nLu) || nLu == 0 || nLu > n) return false;
    p += nLu;
    n -= nLu;
  }
  return true;
}

CRepEntree::CRepEntree()
    : m_szNom{},
      m_llTailleOriginale(0),
      m_llTailleCompresse(0),
      m_stCreation{},
      m_stModif{},
      m_stAcces{},
      m_dwAttributs(0),
      m_bCrypte(0),
      m_byReserve(0),
      m_byTypeCryptage(0),
      m_abyEmpreinte{} {}

CRepEntree::~CRepEntree() = default;

void CRepEntree::SetNom(const wchar_t* pszNom) {
  std::size_t n = 0;
  if (pszNom != nullptr) {
    while (n < static_cast<std::size_t>(knMaxNom) && pszNom[n] != 0) ++n;
    std::wmemmove(m_szNom, pszNom, n);
  }
  m_szNom[n] = 0;
}

bool CRepEntree::bConstruit(const wchar_t* pszNom, std::int64_t llTailleOriginale, std::int64_t llTailleCompresse,
                            const CDiskFile::_stXFILETIME& stCreation, const CDiskFile::_stXFILETIME& stModif,
                            const CDiskFile::_stXFILETIME& stAcces, std::uint32_t dwAttributs, int bCrypte,
                            std::uint8_t byReserve, std::uint8_t byTypeCryptage) {
  SetNom(pszNom);
  m_llTailleOriginale = llTailleOriginale;
  m_llTailleCompresse = llTailleCompresse;
  m_stCreation = stCreation;
  m_stModif = stModif;
  m_stAcces = stAcces;
  m_dwAttributs = dwAttributs;
  m_bCrypte = bCrypte;
  m_byReserve = byReserve;
  m_byTypeCryptage = byTypeCryptage;
  std::memset(m_abyEmpreinte, 0, sizeof m_abyEmpreinte);
  return true;
}

bool CRepEntree::bConstruit(const wchar_t* pszChemin, const wchar_t* pszNom, int nAvecTaille) {
  SetNom(pszNom);
  m_llTailleCompresse = nAvecTaille;
  m_llTailleOriginale = 0;
  if (nAvecTaille != 0) {
    const std::int64_t llTaille = CDiskFile::s_oGetSize(pszChemin);
    if (llTaille > 0) m_llTailleOriginale = llTaille;
  }
  m_bCrypte = 0;
  m_byReserve = 0;
  m_byTypeCryptage = 0;
  std::memset(m_abyEmpreinte, 0, sizeof m_abyEmpreinte);
  m_stCreation = m_stModif = m_stAcces = CDiskFile::_stXFILETIME{};

  int nAttributs = 0;
  unsigned nErreur = 0;
  const bool bAttributs = CDiskFile::bGetFileAttributes(pszChemin, nAttributs, nErreur, nullptr);
  m_dwAttributs = static_cast<std::uint32_t>(nAttributs);
  if (!bAttributs) return false;

  CDiskFile clFichier;
  const eFLAG eFlag = (nAttributs & XFILE_ATTRIBUTE_DIRECTORY) != 0 ? XFLAG_DIRECTORY : XFLAG_NONE;
  if (!clFichier.bOpen(pszChemin, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, eFlag, nullptr)) return false;
  return clFichier.bGetTime(&m_stCreation, &m_stAcces, &m_stModif);
}

void CRepEntree::CalculeEmpreinte(const wchar_t* pszMotDePasse, std::uint8_t abyEmpreinte[16]) {
  const std::vector<unsigned char> aby = PasswordToBytes(pszMotDePasse);
  CMD5 clMD5;
  if (!aby.empty()) clMD5.AddData(aby.data(), static_cast<unsigned>(aby.size()));
  clMD5.FinalDigest(abyEmpreinte);
}

void CRepEntree::SetCrypte(int bCrypte, std::uint8_t byTypeCryptage, const wchar_t* pszMotDePasse) {
  m_bCrypte = bCrypte;
  if (bCrypte != 0) {
    m_byTypeCryptage = byTypeCryptage;
    CalculeEmpreinte(pszMotDePasse, m_abyEmpreinte);
  } else {
    m_byTypeCryptage = 0;
    std::memset(m_abyEmpreinte, 0, sizeof m_abyEmpreinte);
  }
}

bool CRepEntree::bMdpOK(const wchar_t* pszMotDePasse) const {
  static const std::uint8_t kabyZero[16] = {};
  if (std::memcmp(m_abyEmpreinte, kabyZero, sizeof kabyZero) == 0) return false;
  std::uint8_t aby[16];
  CalculeEmpreinte(pszMotDePasse, aby);
  return std::memcmp(aby, m_abyEmpreinte, sizeof aby) == 0;
}

bool CRepEntree::bEstUnFichierFactice() const {
  if (m_llTailleCompresse != 0) return false;
  const std::size_t n = std::wcslen(m_szNom);
  return n == 0 || m_szNom[n - 1] == L'/';
}

std::uint32_t CRepEntree::dwTailleRecord() const {
  return static_cast<std::uint32_t>(std::wcslen(m_szNom)) + knSurplusRecord;
}

int CRepEntree::eEcrit(IXStream* pFichier) const {
  if (pFichier == nullptr) return 5;
  // The name is converted first, so that a name the code page cannot hold
  // leaves nothing half written.
  const int nCars = static_cast<int>(std::wcslen(m_szNom));
  std::uint8_t abyRecord[knEnteteRecord + knMaxNom + 4 + knQueue];
  std::uint8_t* pbyNom = abyRecord + knEnteteRecord;
  int nOctets = 0;
  if (nCars > 0) {
    nOctets = WideCharToMultiByte(knCodePage, 0, m_szNom, nCars, reinterpret_cast<char*>(pbyNom), knMaxNom + 4,
                                  nullptr, nullptr);
    if (nOctets <= 0) return 1;
    if (std::memchr(pbyNom, '?', static_cast<std::size_t>(nOctets)) != nullptr) return 1;
  }
  const std::uint32_t dwLongueur = static_cast<std::uint32_t>(nOctets) + knSurplusRecord;
  kx_le::Put32(abyRecord, dwLongueur);
  kx_le::Put32(abyRecord + 4, static_cast<std::uint32_t>(m_llTailleOriginale));
  kx_le::Put32(abyRecord + 8, static_cast<std::uint32_t>(m_llTailleCompresse));
  if (!bEcritFileTime(abyRecord + 12, m_stCreation) || !bEcritFileTime(abyRecord + 20, m_stModif) ||
      !bEcritFileTime(abyRecord + 28, m_stAcces)) {
    return 5;
  }
  kx_le::Put32(abyRecord + 36, m_dwAttributs);
  std::uint8_t* pbyQueue = pbyNom + nOctets;
  pbyQueue[0] = 0;
  pbyQueue[1] = m_byReserve;
  pbyQueue[2] = m_byTypeCryptage;
  std::memcpy(pbyQueue + 3, m_abyEmpreinte, sizeof m_abyEmpreinte);
  unsigned nEcrit = 0;
  if (!pFichier->bWrite(abyRecord, dwLongueur, &nEcrit) || nEcrit != dwLongueur) return 5;
  return 0;
}

bool CRepEntree::bLit(IXStream* pFichier) {
  if (pFichier == nullptr) return false;
  std::uint8_t abyEntete[knEnteteRecord];
  if (!bLitExact(pFichier, abyEntete, 4)) return false;
  const std::uint32_t dwLongueur = kx_le::Get32(abyEntete);
  // The length is checked before anything is sized from it.
  if (dwLongueur < knEnteteRecord || dwLongueur > knMaxRecord) return false;
  if (!bLitExact(pFichier, abyEntete + 4, knEnteteRecord - 4)) return false;
  m_llTailleOriginale = kx_le::Get32(abyEntete + 4);
  m_llTailleCompresse = kx_le::Get32(abyEntete + 8);
  if (!bLitFileTime(abyEntete + 12, &m_stCreation) || !bLitFileTime(abyEntete + 20, &m_stModif) ||
      !bLitFileTime(abyEntete + 28, &m_stAcces)) {
    return false;
  }
  m_dwAttributs = kx_le::Get32(abyEntete + 36);

  const std::uint32_t nReste = dwLongueur - knEnteteRecord;
  std::uint8_t abyReste[knMaxRecord - knEnteteRecord];
  if (nReste > 0 && !bLitExact(pFichier, abyReste, nReste)) return false;
  const auto* pbyZero = static_cast<const std::uint8_t*>(std::memchr(abyReste, 0, nReste));
  std::uint32_t nNom = nReste;
  if (pbyZero != nullptr) {
    nNom = static_cast<std::uint32_t>(pbyZero - abyReste);
    if (nReste - nNom - 1 != knQueue) return false;
  }
  if (nNom > static_cast<std::uint32_t>(knMaxNom)) nNom = knMaxNom;
  int nCars = 0;
  if (nNom > 0) {
    nCars = MultiByteToWideChar(knCodePage, 0, reinterpret_cast<const char*>(abyReste), static_cast<int>(nNom),
                                m_szNom, knMaxNom);
    if (nCars <= 0) nCars = 0;
  }
  m_szNom[nCars] = 0;
  if (pbyZero != nullptr) {
    m_byReserve = pbyZero[1];
    m_byTypeCryptage = pbyZero[2];
    std::memcpy(m_abyEmpreinte, pbyZero + 3, sizeof m_abyEmpreinte);
    m_bCrypte = m_byTypeCryptage != 0 ? 1 : 0;
  }
  return true;
}
