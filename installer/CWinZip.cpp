// CWinZip: opening, the entry table and its index, locating, and reading an
// entry's data (stored or deflated) with its CRC-32.
#include "CWinZip.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "CDiskFile.h"
#include "IXStream.h"

namespace {

// Growth step of the entry table.
constexpr int knTableStep = 30;
// From this many entries on, the table grows by half its size (in whole
// steps): growing a large directory by 30 entries at a time would copy it
// over and over.
constexpr int knGeometricFrom = 16 * knTableStep;

inline z_stream* pZ(void* p) { return static_cast<z_stream*>(p); }

}  // namespace

// ---- Name index ------------------------------------------------------------

std::uint32_t CHashCompStringI::dwHash(const CXYString<wchar_t>& key) {
  std::uint32_t dwHash = 5381;
  for (const wchar_t* p = key.pszGet(); *p != 0; ++p)
    dwHash = dwHash * 33 + static_cast<std::uint32_t>(std::towupper(static_cast<wint_t>(*p)));
  return dwHash;
}

bool CHashCompStringI::bEqual(const CXYString<wchar_t>& a, const CXYString<wchar_t>& b) {
  const wchar_t* pa = a.pszGet();
  const wchar_t* pb = b.pszGet();
  for (;; ++pa, ++pb) {
    if (std::towupper(static_cast<wint_t>(*pa)) != std::towupper(static_cast<wint_t>(*pb))) return false;
    if (*pa == 0) return true;
  }
}

// ---- Life ------------------------------------------------------------------

CWinZip::CWinZip() : m_tabFichiers(knTableStep) { _Init(); }

CWinZip::~CWinZip() {
  CloseCurrentFileInZip(1);
  _FreeEntries();
  delete pZ(m_pZStream);
  delete[] m_pbyReadBuffer;
}

void CWinZip::SetStream(IXStream* pStream) { m_pStream = pStream; }

const wchar_t CWinZip::s_szVide[1] = {0};

void CWinZip::_FreeEntryBlocks(_stFICZIP* pstFile) {
  delete[] pstFile->szName;
  if (pstFile->szComment != s_szVide) delete[] pstFile->szComment;
  delete[] pstFile->pbyExtra;
  pstFile->szName = nullptr;
  pstFile->szComment = nullptr;
  pstFile->pbyExtra = nullptr;
}

void CWinZip::_FreeEntries() {
  for (int i = 0; i < m_tabFichiers.nGetNbElements(); ++i) {
    _stFICZIP& st = m_tabFichiers[i];
    _FreeEntryBlocks(&st);
  }
  m_tabFichiers.SupprimeToutEtLibere();
  m_hashNoms.RemoveAll();
  m_bHashOk = true;
  m_nCurrent = -1;
}

void CWinZip::_Init() {
  CloseCurrentFileInZip(1);
  _FreeEntries();
  m_nDisk = 0;
  m_nDiskCentralDir = 0;
  m_llEntriesThisDisk = 0;
  m_llTotalEntries = 0;
  m_llCentralDirSize = 0;
  m_llCentralDirOffset = 0;
  m_nCommentLength = 0;
  m_sComment.Vide();
  m_llEndRecordPosition = 0;
  m_llBaseOffset = 0;
  m_llCentralPosition = 0;
  m_llFirstCentralPosition = 0;
  m_bReadOn = false;
  m_sPassword.Vide();
  m_adwKeys[0] = m_adwKeys[1] = m_adwKeys[2] = 0;
  m_sCurrentName.Vide();
  m_sPath.Vide();
  m_sExtZip.Vide();
  m_bForeignNames = true;
  m_nCompressionLevel = 6;
}

bool CWinZip::_bAjouteEntree(_stFICZIP* pstFile) {
  const int nCount = m_tabFichiers.nGetNbElements();
  if (nCount >= knGeometricFrom && nCount == m_tabFichiers.nGetNbAlloues())
    m_tabFichiers.AgranditMemoire(nCount / 2);
  const int nIndex = m_tabFichiers.Ajoute(*pstFile);
  if (nIndex < 0) {
    _FreeEntryBlocks(pstFile);
    return false;
  }
  if (m_bHashOk) {
    const CXYString<wchar_t> sKey(pstFile->szName);
    if ((sKey.bEstVide() && pstFile->szName[0] != 0) || !m_hashNoms.bAdd(sKey, nIndex)) {
      // An index that misses an entry would find an older equal name:
      // lookups scan the table instead.
      m_hashNoms.RemoveAll();
      m_bHashOk = false;
    }
  }
  return true;
}

// ---- Opening ---------------------------------------------------------------

int CWinZip::OuvreZip(const wchar_t* pszPath, int /*nReserved*/) {
  _Init();
  m_sPath = pszPath;
  if (m_pStream == nullptr) return knReadError;
  std::uint64_t llPosition = 0;
  if (_SearchCentralDir(m_pStream, &llPosition) != knOk) return knNotZip;
  m_llEndRecordPosition = llPosition;
  const int nResult = _ReadEndRecords();
  if (nResult != knOk) return nResult;
  return _ChargeRepertoire();
}

bool CWinZip::bFichierZip(const wchar_t* pszPath) {
  if (pszPath == nullptr) return false;
  CDiskFile clFile;
  if (!clFile.bOpen(pszPath, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) return false;
  std::uint64_t llPosition = 0;
  const bool bFound = _SearchCentralDir(&clFile, &llPosition) == knOk;
  clFile.Close();
  return bFound;
}

// ---- Entries ---------------------------------------------------------------

int CWinZip::FirstFile() { return GoToEntry(0) == knOk ? knOk : (m_nCurrent = -1, knNoMoreEntry); }

int CWinZip::NextFile(int /*nReserved*/) {
  if (m_nCurrent < 0 || m_nCurrent + 1 >= m_tabFichiers.nGetNbElements()) {
    m_nCurrent = -1;
    return knNoMoreEntry;
  }
  ++m_nCurrent;
  return knOk;
}

int CWinZip::nGetNbEntries() const { return m_tabFichiers.nGetNbElements(); }

int CWinZip::GoToEntry(int nIndex) {
  if (nIndex < 0 || nIndex >= m_tabFichiers.nGetNbElements()) return knNoMoreEntry;
  m_nCurrent = nIndex;
  return knOk;
}

int CWinZip::nGetCurrentIndex() const { return m_nCurrent; }

const _stFICZIP* CWinZip::pstGetCurrentFile() const { return pstGetFile(m_nCurrent); }

const _stFICZIP* CWinZip::pstGetFile(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_tabFichiers.nGetNbElements()) return nullptr;
  return &m_tabFichiers[nIndex];
}

const wchar_t* CWinZip::CurrentFile_szName() {
  const _stFICZIP* pst = pstGetCurrentFile();
  if (pst == nullptr) {
    m_sCurrentName.Vide();
  } else {
    std::wstring s(pst->szName);
    for (wchar_t& c : s)
      if (c == L'/') c = L'\\';
    m_sCurrentName = s.c_str();
  }
  return m_sCurrentName.pszGet();
}

int CWinZip::_nLocateScan(const wchar_t* pszName, int bExactCase) const {
  for (int i = 0; i < m_tabFichiers.nGetNbElements(); ++i) {
    const wchar_t* pszEntry = m_tabFichiers[i].szName;
    if (bExactCase ? std::wcscmp(pszEntry, pszName) == 0 : CDiskFile::bSameFileName(pszEntry, pszName))
      return i;
  }
  return -1;
}

int CWinZip::LocateFile(const wchar_t* pszName, int bExactCase) {
  if (pszName == nullptr) return knReadError;
  std::wstring s(pszName);
  for (wchar_t& c : s)
    if (c == L'\\') c = L'/';
  if (m_bHashOk && m_hashNoms.nGetCount() > 0) {
    const CXYString<wchar_t> sKey(s.c_str());
    int nIndex = -1;
    if ((!sKey.bEstVide() || s.empty()) && m_hashNoms.bLookup(sKey, &nIndex)) {
      m_nCurrent = nIndex;
      return knOk;
    }
  }
  int nIndex = _nLocateScan(s.c_str(), bExactCase);
  if (nIndex < 0) {
    for (wchar_t& c : s)
      if (c == L'/') c = L'\\';
    nIndex = _nLocateScan(s.c_str(), bExactCase);
  }
  if (nIndex < 0) return knReadError;
  m_nCurrent = nIndex;
  return knOk;
}

const wchar_t* CWinZip::CurrentFile_szExtZip(int nVolume) {
  // The volume to name by its number; -1 names the volume holding the
  // central directory (".zip").
  long nDisk = -1;
  if (nVolume == -1) {
    const _stFICZIP* pst = pstGetCurrentFile();
    if (pst != nullptr && pst->dwDiskNumberStart != m_nDiskCentralDir) nDisk = static_cast<long>(pst->dwDiskNumberStart);
  } else if (nVolume < static_cast<long>(m_nDiskCentralDir)) {
    nDisk = nVolume;
  }
  wchar_t szExt[32];
  if (nDisk == -1)
    std::swprintf(szExt, 32, L".zip");
  else
    std::swprintf(szExt, 32, L".z%02ld", nDisk + 1);
  m_sExtZip = szExt;
  return m_sExtZip.pszGet();
}

// ---- Password --------------------------------------------------------------

bool CWinZip::bSetPassword(const wchar_t* pszPassword) {
  m_sPassword.Vide();
  if (pszPassword == nullptr) return true;
  for (const wchar_t* p = pszPassword; *p != 0; ++p)
    if (*p < 1) return false;
  m_sPassword = pszPassword;
  return true;
}

const wchar_t* CWinZip::pszGetPassword() const { return m_sPassword.pszGet(); }

// ---- Reading an entry ------------------------------------------------------

int CWinZip::OpenCurrentFileInZip() {
  if (pstGetCurrentFile() == nullptr) return knNoCurrent;
  if (m_bFichierOuvert) CloseCurrentFileInZip(1);
  std::uint64_t llDataStart = 0;
  const int nResult = _CheckCurrentFileCoherencyHeader(&llDataStart);
  if (nResult != knOk) return nResult;
  const _stFICZIP& st = m_tabFichiers[m_nCurrent];

  m_nInputAvailable = 0;
  m_nInputOffset = 0;
  m_llConsumed = 0;
  m_bStreamEnded = false;
  m_bInflateInit = false;
  m_bCrypted = st.bCrypte;
  if (m_bCrypted) {
    // The 12-byte header is part of the compressed size.
    if (st.llCompressedSize < 12) return knNotZip;
    if (!bCryptCheckHeader(st.abyCryptHeader, byCryptCheckByte(st))) return knBadPassword;
  }
  if (m_pbyReadBuffer == nullptr) {
    m_pbyReadBuffer = new (std::nothrow) unsigned char[knReadBufferSize];
    if (m_pbyReadBuffer == nullptr) return knReadError;
  }
  m_dwCrcExpected = st.dwCrc;
  m_dwCrc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
  m_nMethod = st.wMethod;
  if (m_nMethod == 8) {
    if (m_pZStream == nullptr) {
      m_pZStream = new (std::nothrow) z_stream;
      if (m_pZStream == nullptr) return knReadError;
    }
    z_stream* pz = pZ(m_pZStream);
    std::memset(pz, 0, sizeof *pz);
    if (inflateInit2(pz, -MAX_WBITS) != Z_OK) return knReadError;
    m_bInflateInit = true;
  }
  m_llRemainingCompressed = st.llCompressedSize - (m_bCrypted ? 12 : 0);
  m_llRemainingUncompressed = st.llUncompressedSize;
  m_llDataStart = llDataStart;
  m_bFichierOuvert = true;
  return knOk;
}

bool CWinZip::bReadCurrentFileInZip(void* pBuffer, unsigned nSize, unsigned* pnProduced) {
  if (pnProduced != nullptr) *pnProduced = 0;
  if (!m_bFichierOuvert || (pBuffer == nullptr && nSize > 0)) return false;
  if (nSize > m_llRemainingUncompressed) nSize = static_cast<unsigned>(m_llRemainingUncompressed);
  unsigned char* pbyOut = static_cast<unsigned char*>(pBuffer);
  unsigned nProduced = 0;
  while (nProduced < nSize && !m_bStreamEnded) {
    if (m_nInputAvailable == 0 && m_llRemainingCompressed > 0) {
      const unsigned nWanted = m_llRemainingCompressed < knReadBufferSize
                                   ? static_cast<unsigned>(m_llRemainingCompressed)
                                   : knReadBufferSize;
      unsigned nRead = 0;
      const std::uint64_t llAt = m_llDataStart + m_llConsumed;
      if (llAt > 0x7FFFFFFFFFFFFFFFull ||
          !m_pStream->bSeek(static_cast<std::int64_t>(llAt), XSEEK_BEGIN) ||
          !m_pStream->bRead(m_pbyReadBuffer, nWanted, &nRead) || nRead == 0 || nRead > nWanted)
        return false;
      if (m_bCrypted) CryptDecrypt(m_pbyReadBuffer, nRead);
      m_llConsumed += nRead;
      m_llRemainingCompressed -= nRead;
      m_nInputAvailable = nRead;
      m_nInputOffset = 0;
    }
    unsigned nDone = 0;
    if (m_nMethod == 0) {
      if (m_nInputAvailable == 0) break;  // stored data exhausted
      nDone = m_nInputAvailable < nSize - nProduced ? m_nInputAvailable : nSize - nProduced;
      std::memcpy(pbyOut + nProduced, m_pbyReadBuffer + m_nInputOffset, nDone);
      m_nInputOffset += nDone;
      m_nInputAvailable -= nDone;
    } else {
      z_stream* pz = pZ(m_pZStream);
      pz->next_in = m_pbyReadBuffer + m_nInputOffset;
      pz->avail_in = m_nInputAvailable;
      pz->next_out = pbyOut + nProduced;
      pz->avail_out = nSize - nProduced;
      const int nErr = inflate(pz, Z_SYNC_FLUSH);
      m_nInputOffset += m_nInputAvailable - pz->avail_in;
      m_nInputAvailable = pz->avail_in;
      nDone = (nSize - nProduced) - pz->avail_out;
      if (nErr == Z_STREAM_END) {
        m_bStreamEnded = true;
      } else if (nErr != Z_OK) {
        return false;
      }
    }
    m_dwCrc = static_cast<std::uint32_t>(crc32(m_dwCrc, pbyOut + nProduced, nDone));
    m_llRemainingUncompressed -= nDone;
    nProduced += nDone;
  }
  if (pnProduced != nullptr) *pnProduced = nProduced;
  return true;
}

int CWinZip::CloseCurrentFileInZip(int /*nCheck*/) {
  if (!m_bFichierOuvert) return knOk;
  int nResult = knOk;
  if (m_llRemainingUncompressed == 0 && m_dwCrc != m_dwCrcExpected) nResult = knCrcError;
  if (m_bInflateInit) inflateEnd(pZ(m_pZStream));
  m_bInflateInit = false;
  m_bFichierOuvert = false;
  m_nInputAvailable = 0;
  return nResult;
}
