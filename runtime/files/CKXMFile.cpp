#include "CKXMFile.h"

#include "LittleEndian.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "CTString.h"
#include "CodePage.h"
#include "XMalloc.h"

namespace {

constexpr std::uint32_t knVersionUTF8 = 2;
constexpr unsigned knCodePageAnsi = 1252;

// Index entries decoded per read while the index loads.
constexpr unsigned knEntreesParLecture = 1024;

// Before the length of each text: one skipped byte, then the u32 length.
constexpr std::uint64_t knAvantTexte = 1 + 4;

}  // namespace

CKXMFile::CKXMFile()
    : CKXFile(0),
      m_dwTailleBloc(0),
      m_oPositionIndex(0),
      m_nEntrees(0),
      m_pstIndex(nullptr),
      m_dwVersion(0),
      m_nCodePage(CP_UTF8),
      m_bIndexTente(0) {}

CKXMFile::~CKXMFile() {
  XMALLOC_Del_(m_pstIndex);
  m_pstIndex = nullptr;
}

void CKXMFile::Purge() {
  XMALLOC_Del_(m_pstIndex);
  m_pstIndex = nullptr;
  m_nEntrees = 0;
  m_dwVersion = 0;
  m_dwTailleBloc = 0;
  m_oPositionIndex = 0;
  m_bIndexTente = 0;
}

int CKXMFile::__nCompareRessource(const void* a, const void* b) {
  const std::uint32_t nA = static_cast<const STOffsetRessource*>(a)->nId;
  const std::uint32_t nB = static_cast<const STOffsetRessource*>(b)->nId;
  if (nA > nB) return 1;
  if (nA < nB) return -1;
  return 0;
}

bool CKXMFile::bReadHeader(std::int64_t* pOffset) {
  // The index belongs to the header it was found by; a new header means a
  // new index.
  XMALLOC_Del_(m_pstIndex);
  m_pstIndex = nullptr;
  m_nEntrees = 0;
  m_bIndexTente = 0;

  std::int64_t oLocal = 0;
  std::int64_t* pOffsetUsed = pOffset != nullptr ? pOffset : &oLocal;
  if (!CKXFile::bReadHeader(pOffsetUsed)) return false;

  std::uint8_t aby[4];
  unsigned nRead = 0;
  if (!bRead(*pOffsetUsed, aby, sizeof aby, &nRead) || nRead < sizeof aby) return false;
  m_dwVersion = kx_le::Get32(aby);
  m_nCodePage = m_dwVersion < knVersionUTF8 ? knCodePageAnsi : CP_UTF8;
  *pOffsetUsed += 4;

  nRead = 0;
  if (!bRead(*pOffsetUsed, aby, sizeof aby, &nRead) || nRead < sizeof aby) return false;
  m_dwTailleBloc = kx_le::Get32(aby);
  *pOffsetUsed += 4;

  m_oPositionIndex = *pOffsetUsed + m_dwTailleBloc;
  return true;
}

bool CKXMFile::_bChargeIndex() {
  if (m_pstIndex != nullptr) return true;
  if (m_bIndexTente != 0) return false;
  m_bIndexTente = 1;

  const std::int64_t oSize = oGetSize();
  if (oSize < 0 || m_oPositionIndex < 0 || m_oPositionIndex > oSize) return false;
  const std::uint64_t nReste = static_cast<std::uint64_t>(oSize - m_oPositionIndex);
  if (nReste < 4) return false;
  if (!bSeek(m_oPositionIndex, XSEEK_BEGIN)) return false;
  std::uint8_t abyCount[4];
  if (!bRead(abyCount, sizeof abyCount, nullptr)) return false;
  const std::uint32_t nEntrees = kx_le::Get32(abyCount);
  // The entries must lie inside the file: this also bounds the allocation.
  const std::uint64_t nOctetsIndex = static_cast<std::uint64_t>(nEntrees) * knTailleEntree;
  if (nOctetsIndex > nReste - 4) return false;

  // At least one element, so that a loaded empty index is told apart from
  // none.
  const std::size_t nElements = nEntrees > 0 ? nEntrees : 1;
  auto* pstIndex =
      static_cast<STOffsetRessource*>(XMALLOC_pNew_(nElements * sizeof(STOffsetRessource)));
  if (pstIndex == nullptr) return false;

  std::uint8_t abyDisk[knEntreesParLecture * knTailleEntree];
  std::uint32_t nFait = 0;
  while (nFait < nEntrees) {
    const std::uint32_t nLot =
        nEntrees - nFait < knEntreesParLecture ? nEntrees - nFait : knEntreesParLecture;
    if (!bRead(abyDisk, nLot * knTailleEntree, nullptr)) {
      XMALLOC_Del_(pstIndex);
      return false;
    }
    for (std::uint32_t i = 0; i < nLot; ++i) {
      const std::uint8_t* p = abyDisk + i * knTailleEntree;
      pstIndex[nFait + i].nId = kx_le::Get32(p);
      pstIndex[nFait + i].oOffset = kx_le::Get64(p + 4);
    }
    nFait += nLot;
  }
  m_pstIndex = pstIndex;
  m_nEntrees = nEntrees;
  m_oPositionIndex += 4 + static_cast<std::int64_t>(nOctetsIndex);
  return true;
}

std::int64_t CKXMFile::__oGetOffsetRessource(std::uint32_t nId) {
  if (m_pstIndex == nullptr || m_nEntrees == 0) return 0;
  STOffsetRessource stKey;
  stKey.nId = nId;
  stKey.oOffset = 0;
  const auto* pstFound = static_cast<const STOffsetRessource*>(std::bsearch(
      &stKey, m_pstIndex, m_nEntrees, sizeof(STOffsetRessource), &__nCompareRessource));
  if (pstFound == nullptr) return 0;
  // The base is positive, so a found text never sits at 0.
  if (pstFound->oOffset > static_cast<std::uint64_t>(INT64_MAX - m_oPositionIndex)) return 0;
  return m_oPositionIndex + static_cast<std::int64_t>(pstFound->oOffset);
}

char* CKXMFile::_pszLoadBytes(std::uint32_t nId, std::uint32_t* pnLength) {
  if (!_bChargeIndex()) return nullptr;
  const std::int64_t oPosition = __oGetOffsetRessource(nId);
  if (oPosition <= 0) return nullptr;
  const std::int64_t oSize = oGetSize();
  if (oSize < 0 || oPosition > oSize) return nullptr;
  const std::uint64_t nReste = static_cast<std::uint64_t>(oSize - oPosition);
  if (nReste < knAvantTexte) return nullptr;

  if (!bSeek(oPosition + 1, XSEEK_BEGIN)) return nullptr;
  std::uint8_t abyLength[4];
  if (!bRead(abyLength, sizeof abyLength, nullptr)) return nullptr;
  const std::uint32_t nLength = kx_le::Get32(abyLength);
  if (nLength > nReste - knAvantTexte) return nullptr;

  auto* pszBytes = static_cast<char*>(XMALLOC_pNew_(static_cast<std::size_t>(nLength) + 1));
  if (pszBytes == nullptr) return nullptr;
  if (nLength > 0 && !bRead(pszBytes, nLength, nullptr)) {
    XMALLOC_Del_(pszBytes);
    return nullptr;
  }
  pszBytes[nLength] = '\0';
  *pnLength = nLength;
  return pszBytes;
}

bool CKXMFile::bLoadString(std::uint32_t nId, CTString* pclText) {
  if (pclText == nullptr) return false;
  std::uint32_t nLength = 0;
  char* pszBytes = _pszLoadBytes(nId, &nLength);
  if (pszBytes == nullptr) return false;
  // The block is terminated, so a length beyond int reads up to its end.
  pclText->SetANSIEx(pszBytes, nLength <= INT_MAX ? static_cast<int>(nLength) : -1, m_nCodePage);
  XMALLOC_Del_(pszBytes);
  return true;
}

int CKXMFile::nLoadString(std::uint32_t nId, wchar_t* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = L'\0';
  std::uint32_t nLength = 0;
  char* pszBytes = _pszLoadBytes(nId, &nLength);
  if (pszBytes == nullptr) return 0;
  if (nLength > INT_MAX) {
    XMALLOC_Del_(pszBytes);
    return 0;
  }
  const int nBytes = static_cast<int>(nLength);
  const int nCapacity = size - 1;
  // With no room for a character nothing is converted: a capacity of 0 would
  // ask the conversion for a count instead.
  if (nCapacity > 0 && nBytes > 0) {
    int nChars = 0;
    const int nNeeded = MultiByteToWideChar(m_nCodePage, 0, pszBytes, nBytes, nullptr, 0);
    if (nNeeded > 0 && nNeeded <= nCapacity) {
      nChars = MultiByteToWideChar(m_nCodePage, 0, pszBytes, nBytes, buffer, nCapacity);
    } else if (nNeeded > nCapacity) {
      // The conversion never writes a cut text: convert all of it aside and
      // keep what fits.
      auto* pszWide = static_cast<wchar_t*>(
          XMALLOC_pNew_(static_cast<std::size_t>(nNeeded) * sizeof(wchar_t)));
      if (pszWide == nullptr) {
        XMALLOC_Del_(pszBytes);
        return 0;
      }
      if (MultiByteToWideChar(m_nCodePage, 0, pszBytes, nBytes, pszWide, nNeeded) == nNeeded) {
        std::memcpy(buffer, pszWide, static_cast<std::size_t>(nCapacity) * sizeof(wchar_t));
        nChars = nCapacity;
      }
      XMALLOC_Del_(pszWide);
    }
    buffer[nChars] = L'\0';
  }
  XMALLOC_Del_(pszBytes);
  return nBytes;
}

bool CKXMFile::bVerifieFormat(const wchar_t* name) {
  const bool bOk =
      CKXFile::bOpen(name, XFORMAT_DEFAULT, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE) &&
      _bChargeIndex();
  Close();
  return bOk;
}
