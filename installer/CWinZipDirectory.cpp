// CWinZip: end-record search, ZIP64 end records, central headers and the
// local header check.
#include <cstring>

#include "LittleEndian.h"
#include <cwchar>
#include <cwctype>
#include <new>

#include "CWinZip.h"
#include "CodePage.h"
#include "IXStream.h"

namespace {

constexpr std::uint32_t kdwSigEnd = 0x06054b50;
constexpr std::uint32_t kdwSigLocator = 0x07064b50;
constexpr std::uint32_t kdwSigZip64End = 0x06064b50;
constexpr std::uint32_t kdwSigCentral = 0x02014b50;
constexpr std::uint32_t kdwSigLocal = 0x04034b50;

constexpr std::uint64_t kllMax32 = 0xFFFFFFFFu;
constexpr std::uint64_t kllMaxPosition = 0x7FFFFFFFFFFFFFFFull;

// The end record lies at most this far from the end of the file (its
// comment length is a u16).
constexpr std::uint64_t kllSearchReach = 0xFFFF;
constexpr unsigned knSearchStep = 1024;

constexpr unsigned knEndRecordSize = 22;
constexpr unsigned knLocatorSize = 20;
constexpr unsigned knZip64EndSize = 56;
constexpr unsigned knCentralSize = 46;
constexpr unsigned knLocalSize = 30;

// a + b into *pllSum; false when it passes a stream position.
inline bool bAdd(std::uint64_t a, std::uint64_t b, std::uint64_t* pllSum) {
  if (a > kllMaxPosition || b > kllMaxPosition - a) return false;
  *pllSum = a + b;
  return true;
}

// The ZIP64 extended-information block (tag 1) of an extra field: true with
// its data and size, false when there is none. *pbBroken becomes true when
// a block runs past the field (the walk ends there).
bool bFindZip64Block(const unsigned char* pbyExtra, unsigned nLength, const unsigned char** ppbyData,
                     unsigned* pnSize, bool* pbBroken) {
  *pbBroken = false;
  unsigned n = 0;
  while (pbyExtra != nullptr && n + 4 <= nLength) {
    const unsigned nTag = kx_le::Get16(pbyExtra + n);
    const unsigned nSize = kx_le::Get16(pbyExtra + n + 2);
    if (nSize > nLength - n - 4) {
      *pbBroken = true;
      return false;
    }
    if (nTag == 1) {
      *ppbyData = pbyExtra + n + 4;
      *pnSize = nSize;
      return true;
    }
    n += 4 + nSize;
  }
  return false;
}

// Names compared as the index compares them.
bool bSameNameNoCase(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    if (std::towupper(static_cast<wint_t>(*a)) != std::towupper(static_cast<wint_t>(*b))) return false;
    if (*a == 0) return true;
  }
}

}  // namespace

bool CWinZip::_bReadAt(IXStream* pStream, std::uint64_t llPosition, void* pBuffer, unsigned nSize) {
  if (pStream == nullptr || llPosition > kllMaxPosition) return false;
  if (!pStream->bSeek(static_cast<std::int64_t>(llPosition), XSEEK_BEGIN)) return false;
  unsigned nRead = 0;
  return pStream->bRead(pBuffer, nSize, &nRead) && nRead == nSize;
}

int CWinZip::_SearchCentralDir(IXStream* pStream, std::uint64_t* pllPosition) {
  if (pStream == nullptr) return knNotZip;
  const std::int64_t llSize = pStream->oGetSize();
  if (llSize < 4) return knNotZip;
  const std::uint64_t llFileSize = static_cast<std::uint64_t>(llSize);
  const std::uint64_t llLowest = llFileSize - (llFileSize < kllSearchReach ? llFileSize : kllSearchReach);
  unsigned char abyWindow[knSearchStep + 4];
  // Windows from the end backwards: each covers 1024 new bytes and the
  // first 4 bytes of the window after it, so a signature cut by a window
  // boundary is still seen whole.
  for (std::uint64_t llEnd = llFileSize; llEnd > llLowest;) {
    const std::uint64_t llStart = llEnd - llLowest > knSearchStep ? llEnd - knSearchStep : llLowest;
    const std::uint64_t llReadEnd = llEnd + 4 < llFileSize ? llEnd + 4 : llFileSize;
    const unsigned nRead = static_cast<unsigned>(llReadEnd - llStart);
    if (!_bReadAt(pStream, llStart, abyWindow, nRead)) return knNotZip;
    for (unsigned i = nRead >= 4 ? nRead - 3 : 0; i-- > 0;) {
      if (kx_le::Get32(abyWindow + i) == kdwSigEnd) {
        *pllPosition = llStart + i;
        return knOk;
      }
    }
    llEnd = llStart;
  }
  return knNotZip;
}

int CWinZip::_nReadZip64(std::uint64_t* pllEntriesThisDisk, std::uint64_t* pllTotal,
                         std::uint64_t* pllSize, std::uint64_t* pllOffset,
                         std::uint64_t* pllEndPosition) {
  if (m_llEndRecordPosition < knLocatorSize) return knNotZip;
  if (!m_pStream->bSeek(static_cast<std::int64_t>(m_llEndRecordPosition - knLocatorSize), XSEEK_BEGIN))
    return knNotZip;
  unsigned nRead = 0;
  if (!m_pStream->bRead(m_abyHeader, knLocatorSize, &nRead) || nRead != knLocatorSize)
    return knReadError;
  if (kx_le::Get32(m_abyHeader) != kdwSigLocator) return knNotZip;
  const std::uint64_t llRecord = kx_le::Get64(m_abyHeader + 8);
  // The record lies before the locator, at the offset or (bytes in front
  // of the archive) further on: an offset from which no record fits before
  // the locator is a broken locator, refused.
  const std::uint64_t llLocator = m_llEndRecordPosition - knLocatorSize;
  if (llRecord > llLocator || llLocator - llRecord < knZip64EndSize) return knNotZip;
  if (!m_pStream->bSeek(static_cast<std::int64_t>(llRecord), XSEEK_BEGIN)) return knNotZip;
  if (!m_pStream->bRead(m_abyHeader, knZip64EndSize, &nRead) || nRead != knZip64EndSize)
    return knReadError;
  if (kx_le::Get32(m_abyHeader) != kdwSigZip64End) {
    // The locator's offset does not count the bytes before the archive (a
    // stub): a record of the usual size right before the locator serves.
    if (!_bReadAt(m_pStream, llLocator - knZip64EndSize, m_abyHeader, knZip64EndSize) ||
        kx_le::Get32(m_abyHeader) != kdwSigZip64End || kx_le::Get64(m_abyHeader + 4) != knZip64EndSize - 12)
      return knNotZip;
  }
  // The record is taken to end right before the locator: its start is where
  // the archive's data ends.
  const std::uint64_t llRecordSize = kx_le::Get64(m_abyHeader + 4);
  if (llRecordSize > kllMaxPosition || m_llEndRecordPosition < llRecordSize + 32) return knNotZip;
  *pllEntriesThisDisk = kx_le::Get64(m_abyHeader + 24);
  *pllTotal = kx_le::Get64(m_abyHeader + 32);
  *pllSize = kx_le::Get64(m_abyHeader + 40);
  *pllOffset = kx_le::Get64(m_abyHeader + 48);
  *pllEndPosition = m_llEndRecordPosition - llRecordSize - 32;
  return knOk;
}

int CWinZip::_ReadEndRecords() {
  if (!_bReadAt(m_pStream, m_llEndRecordPosition, m_abyHeader, knEndRecordSize)) return knReadError;
  m_nDisk = kx_le::Get16(m_abyHeader + 4);
  m_nDiskCentralDir = kx_le::Get16(m_abyHeader + 6);
  m_llEntriesThisDisk = kx_le::Get16(m_abyHeader + 8);
  m_llTotalEntries = kx_le::Get16(m_abyHeader + 10);
  m_llCentralDirSize = kx_le::Get32(m_abyHeader + 12);
  m_llCentralDirOffset = kx_le::Get32(m_abyHeader + 16);
  m_nCommentLength = kx_le::Get16(m_abyHeader + 20);
  if (m_nCommentLength > 0) {
    // A comment cut by the end of the file keeps what is there.
    unsigned char* pbyComment = new (std::nothrow) unsigned char[m_nCommentLength];
    if (pbyComment != nullptr) {
      unsigned nRead = 0;
      if (m_pStream->bRead(pbyComment, m_nCommentLength, &nRead) && nRead > 0)
        m_sComment.SetANSIEx(reinterpret_cast<const char*>(pbyComment), static_cast<int>(nRead), 1252);
      delete[] pbyComment;
    }
  }

  // ZIP64 records are read when a classic field is saturated, and also when
  // a ZIP64 locator lies right before the end record: a writer that did not
  // know the sizes in advance (data from a pipe) adds them beside ordinary
  // classic values, and their 76 bytes must not be taken for a stub.
  std::uint64_t llEndPosition = m_llEndRecordPosition;
  const bool bOffsetMarked = m_llCentralDirOffset == kllMax32;
  const bool bCountMarked = m_llTotalEntries == 0xFFFF || m_llEntriesThisDisk == 0xFFFF;
  unsigned char abyLocator[4];
  const bool bLocator = m_llEndRecordPosition >= knLocatorSize &&
                        _bReadAt(m_pStream, m_llEndRecordPosition - knLocatorSize, abyLocator, 4) &&
                        kx_le::Get32(abyLocator) == kdwSigLocator;
  if (bLocator || bOffsetMarked || bCountMarked || m_llCentralDirSize == kllMax32) {
    std::uint64_t llEntries = 0, llTotal = 0, llSize = 0, llOffset = 0, llEnd = 0;
    const int nResult = _nReadZip64(&llEntries, &llTotal, &llSize, &llOffset, &llEnd);
    if (nResult == knOk) {
      // A classic field that is not saturated must agree with the record
      // (in its low bits, for a writer that cut a large count): a record
      // that contradicts it is refused, never preferred or guessed around.
      const bool bCoherent =
          (m_llEntriesThisDisk == 0xFFFF || m_llEntriesThisDisk == (llEntries & 0xFFFF)) &&
          (m_llTotalEntries == 0xFFFF || m_llTotalEntries == (llTotal & 0xFFFF)) &&
          (m_llCentralDirSize == kllMax32 || m_llCentralDirSize == (llSize & kllMax32)) &&
          (m_llCentralDirOffset == kllMax32 || m_llCentralDirOffset == (llOffset & kllMax32));
      if (!bCoherent) return knNotZip;
      m_llEntriesThisDisk = llEntries;
      m_llTotalEntries = llTotal;
      m_llCentralDirSize = llSize;
      m_llCentralDirOffset = llOffset;
      llEndPosition = llEnd;
    } else if (bOffsetMarked || bLocator) {
      return nResult;
    } else if (bCountMarked) {
      // Counts clamped by a writer that added no ZIP64 records: the
      // directory itself says how many headers there are.
      m_bReadOn = true;
    }
  }

  std::uint64_t llDirectoryEnd = 0;
  if (!bAdd(m_llCentralDirOffset, m_llCentralDirSize, &llDirectoryEnd) ||
      llEndPosition < llDirectoryEnd)
    return knNotZip;
  m_llBaseOffset = llEndPosition - llDirectoryEnd;
  return knOk;
}

int CWinZip::_ChargeRepertoire() {
  // A directory of size 0: an empty archive.
  if (m_llCentralDirSize == 0) return knOk;
  const std::uint64_t llDirectoryEnd = m_llCentralDirOffset + m_llCentralDirSize;
  m_llFirstCentralPosition = m_llCentralDirOffset;
  std::uint64_t llPosition = m_llCentralDirOffset;
  std::uint64_t llRead = 0;
  for (;;) {
    if (llRead >= m_llTotalEntries && !(m_bReadOn && llPosition < llDirectoryEnd)) return knOk;
    if (m_tabFichiers.nGetNbElements() == 0x7FFFFFFF) return knNotZip;
    m_llCentralPosition = llPosition;
    _stFICZIP stFile;
    std::uint64_t llHeaderSize = 0;
    if (!_bGetInfoFile(&stFile, &llHeaderSize)) return llRead >= m_llTotalEntries ? knOk : knNotZip;
    if (!_bAjouteEntree(&stFile)) return knReadError;
    llPosition += llHeaderSize;
    ++llRead;
  }
}

bool CWinZip::_bConvertName(const unsigned char* pbyName, unsigned nLength, bool bUtf8,
                            wchar_t* pszOut) {
  pszOut[0] = 0;
  if (nLength == 0) return true;
  if (std::memchr(pbyName, 0, nLength) != nullptr) return false;
  const unsigned nCodePage = bUtf8 ? CP_UTF8 : CP_OEMCP;
  const char* pszBytes = reinterpret_cast<const char*>(pbyName);
  const int nNeeded = MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, pszBytes,
                                          static_cast<int>(nLength), nullptr, 0);
  if (nNeeded <= 0 || nNeeded > knMaxNameChars) return false;
  const int nDone = MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, pszBytes,
                                        static_cast<int>(nLength), pszOut, knMaxNameChars);
  if (nDone != nNeeded) return false;
  pszOut[nDone] = 0;
  return std::wcslen(pszOut) == static_cast<std::size_t>(nDone);
}

bool CWinZip::_bGetInfoFile(_stFICZIP* pstFile, std::uint64_t* pllHeaderSize) {
  std::memset(pstFile, 0, sizeof *pstFile);
  std::uint64_t llPosition = 0;
  if (!bAdd(m_llBaseOffset, m_llCentralPosition, &llPosition) ||
      !_bReadAt(m_pStream, llPosition, m_abyHeader, knCentralSize) ||
      kx_le::Get32(m_abyHeader) != kdwSigCentral)
    return false;

  _stFICZIP& st = *pstFile;
  st.wVersionMadeBy = kx_le::Get16(m_abyHeader + 4);
  st.wVersionNeeded = kx_le::Get16(m_abyHeader + 6);
  st.wFlags = kx_le::Get16(m_abyHeader + 8);
  st.wMethod = kx_le::Get16(m_abyHeader + 10);
  st.dwDosDate = kx_le::Get32(m_abyHeader + 12);
  st.dwCrc = kx_le::Get32(m_abyHeader + 16);
  st.llCompressedSize = kx_le::Get32(m_abyHeader + 20);
  st.llUncompressedSize = kx_le::Get32(m_abyHeader + 24);
  st.wNameLength = kx_le::Get16(m_abyHeader + 28);
  st.wExtraLength = kx_le::Get16(m_abyHeader + 30);
  st.wCommentLength = kx_le::Get16(m_abyHeader + 32);
  st.dwDiskNumberStart = kx_le::Get16(m_abyHeader + 34);
  st.wInternalAttributes = kx_le::Get16(m_abyHeader + 36);
  st.dwExternalAttributes = kx_le::Get32(m_abyHeader + 38);
  st.llOffsetLocal = kx_le::Get32(m_abyHeader + 42);
  st.bCrypte = (st.wFlags & 0x1) != 0;
  st.bUtf8 = (st.wFlags & 0x800) != 0;
  st.nSeconde = static_cast<int>((st.dwDosDate & 0x1F) * 2);
  st.nMinute = static_cast<int>((st.dwDosDate >> 5) & 0x3F);
  st.nHeure = static_cast<int>((st.dwDosDate >> 11) & 0x1F);
  st.nJour = static_cast<int>((st.dwDosDate >> 16) & 0x1F);
  st.nMois = static_cast<int>((st.dwDosDate >> 21) & 0x0F);
  st.nAnnee = static_cast<int>((st.dwDosDate >> 25) + 1980);
  // Attributes of an archive not made on Unix get the default mode bits.
  if ((st.wVersionMadeBy >> 8) != 3) st.dwExternalAttributes += 438;

  if (st.wNameLength > knMaxNameBytes) return false;
  const std::uint64_t llName = llPosition + knCentralSize;
  unsigned char abyName[knMaxNameBytes + 1];
  wchar_t szName[knMaxNameChars + 1];
  if (st.wNameLength > 0 && !_bReadAt(m_pStream, llName, abyName, st.wNameLength)) return false;
  if (!_bConvertName(abyName, st.wNameLength, st.bUtf8, szName)) return false;

  unsigned char* pbyExtra = nullptr;
  if (st.wExtraLength > 0) {
    pbyExtra = new (std::nothrow) unsigned char[st.wExtraLength];
    if (pbyExtra == nullptr || !_bReadAt(m_pStream, llName + st.wNameLength, pbyExtra, st.wExtraLength)) {
      delete[] pbyExtra;
      return false;
    }
  }

  if (st.wVersionNeeded == 45 || st.llUncompressedSize == kllMax32 ||
      st.llOffsetLocal == kllMax32 || st.llCompressedSize == kllMax32) {
    const unsigned char* pbyData = nullptr;
    unsigned nSize = 0;
    bool bBroken = false;
    if (bFindZip64Block(pbyExtra, st.wExtraLength, &pbyData, &nSize, &bBroken)) {
      // The values present are handed out in order to the fields marked
      // 0xFFFFFFFF; a missing value leaves its field as it is.
      std::uint64_t allValues[3];
      unsigned nValues = 0;
      for (; nValues < 3 && nSize >= (nValues + 1) * 8; ++nValues)
        allValues[nValues] = kx_le::Get64(pbyData + nValues * 8);
      unsigned nNext = 0;
      std::uint64_t* apllFields[3] = {&st.llUncompressedSize, &st.llCompressedSize, &st.llOffsetLocal};
      for (std::uint64_t* pll : apllFields) {
        if (*pll != kllMax32) continue;
        if (nNext < nValues) *pll = allValues[nNext];
        ++nNext;
      }
      if (nSize >= 28) st.dwDiskNumberStart = kx_le::Get32(pbyData + 24);
    } else if (bBroken) {
      delete[] pbyExtra;
      return false;
    }
  }

  wchar_t szComment[knMaxNameChars + 1];
  szComment[0] = 0;
  if (st.wCommentLength > 0) {
    // The comment is informative: read as much as the kept characters need
    // (one byte each in code page 437), cut at a NUL byte.
    const unsigned nBytes = st.wCommentLength < knMaxNameChars ? st.wCommentLength : knMaxNameChars;
    unsigned char abyComment[knMaxNameChars];
    if (_bReadAt(m_pStream, llName + st.wNameLength + st.wExtraLength, abyComment, nBytes)) {
      const void* pNul = std::memchr(abyComment, 0, nBytes);
      const unsigned nKept =
          pNul != nullptr ? static_cast<unsigned>(static_cast<const unsigned char*>(pNul) - abyComment) : nBytes;
      if (!_bConvertName(abyComment, nKept, false, szComment)) szComment[0] = 0;
    }
  }

  // Most entries have no comment: they share one empty text.
  const std::size_t nNameChars = std::wcslen(szName) + 1;
  const std::size_t nCommentChars = std::wcslen(szComment) + 1;
  wchar_t* pszName = new (std::nothrow) wchar_t[nNameChars];
  wchar_t* pszComment = nCommentChars > 1 ? new (std::nothrow) wchar_t[nCommentChars] : nullptr;
  if (pszName == nullptr || (nCommentChars > 1 && pszComment == nullptr)) {
    delete[] pszName;
    delete[] pszComment;
    delete[] pbyExtra;
    return false;
  }
  std::wmemcpy(pszName, szName, nNameChars);
  if (pszComment != nullptr) std::wmemcpy(pszComment, szComment, nCommentChars);
  st.szName = pszName;
  st.szComment = pszComment != nullptr ? pszComment : s_szVide;
  st.pbyExtra = pbyExtra;
  st.llOffsetLocalInit = st.llOffsetLocal;
  *pllHeaderSize = static_cast<std::uint64_t>(knCentralSize) + st.wNameLength + st.wExtraLength +
                   st.wCommentLength;
  return true;
}

int CWinZip::_CheckCurrentFileCoherencyHeader(std::uint64_t* pllDataStart) {
  _stFICZIP& st = m_tabFichiers[m_nCurrent];
  std::uint64_t llLocal = 0;
  if (!bAdd(m_llBaseOffset, st.llOffsetLocal, &llLocal) ||
      !_bReadAt(m_pStream, llLocal, m_abyHeader, knLocalSize))
    return knReadError;
  if (kx_le::Get32(m_abyHeader) != kdwSigLocal) return knNotZip;
  const unsigned nVersionNeeded = kx_le::Get16(m_abyHeader + 4);
  const unsigned nFlags = kx_le::Get16(m_abyHeader + 6);
  const unsigned nMethod = kx_le::Get16(m_abyHeader + 8);
  const std::uint32_t dwCrc = kx_le::Get32(m_abyHeader + 14);
  std::uint64_t llCompressed = kx_le::Get32(m_abyHeader + 18);
  std::uint64_t llUncompressed = kx_le::Get32(m_abyHeader + 22);
  const unsigned nNameLength = kx_le::Get16(m_abyHeader + 26);
  const unsigned nExtraLength = kx_le::Get16(m_abyHeader + 28);
  const bool bDescriptor = (nFlags & 0x8) != 0;

  if (nMethod != st.wMethod || (nMethod != 0 && nMethod != 8)) return knNotZip;
  if (!bDescriptor && dwCrc != st.dwCrc) return knNotZip;
  if (nNameLength != st.wNameLength) return knNotZip;

  const std::uint64_t llName = llLocal + knLocalSize;
  unsigned char abyName[knMaxNameBytes + 1];
  wchar_t szName[knMaxNameChars + 1];
  if (nNameLength > 0 && !_bReadAt(m_pStream, llName, abyName, nNameLength)) return knNotZip;
  if (!_bConvertName(abyName, nNameLength, (nFlags & 0x800) != 0, szName) ||
      !bSameNameNoCase(szName, st.szName))
    return knNotZip;

  const std::uint64_t llExtra = llName + nNameLength;
  if (nExtraLength > 0) {
    unsigned char* pbyExtra = new (std::nothrow) unsigned char[nExtraLength];
    if (pbyExtra == nullptr || !_bReadAt(m_pStream, llExtra, pbyExtra, nExtraLength)) {
      delete[] pbyExtra;
      return knNotZip;
    }
    if (nVersionNeeded == 45 || llUncompressed == kllMax32 || llCompressed == kllMax32) {
      const unsigned char* pbyData = nullptr;
      unsigned nSize = 0;
      bool bBroken = false;
      if (bFindZip64Block(pbyExtra, nExtraLength, &pbyData, &nSize, &bBroken)) {
        if (llUncompressed == kllMax32 && nSize >= 8) {
          llUncompressed = kx_le::Get64(pbyData);
          if (nSize >= 16) llCompressed = kx_le::Get64(pbyData + 8);
        }
      } else if (bBroken) {
        delete[] pbyExtra;
        return knNotZip;
      }
    }
    delete[] pbyExtra;
  }

  std::uint64_t llData = llExtra + nExtraLength;
  if (st.bCrypte) {
    if (!_bReadAt(m_pStream, llData, st.abyCryptHeader, 12)) return knNotZip;
    llData += 12;
  }

  const bool bCompressedOk = llCompressed == st.llCompressedSize || bDescriptor || nVersionNeeded == 45;
  const bool bUncompressedOk = llUncompressed == st.llUncompressedSize || bDescriptor;
  if (!bCompressedOk || !bUncompressedOk) return knNotZip;

  // The entry's data must lie within stream positions.
  std::uint64_t llDataEnd = 0;
  if (!bAdd(llData, st.llCompressedSize, &llDataEnd)) return knNotZip;
  m_llLocalExtraPosition = llExtra;
  m_nLocalExtraLength = nExtraLength;
  *pllDataStart = llData;
  return knOk;
}
