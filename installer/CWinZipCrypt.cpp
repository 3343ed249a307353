// CWinZip: the traditional PKWARE encryption (both directions) and the
// writer-side helpers (DOS date-times, header sizes, ANSI/OEM names).
#include <sys/stat.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "CDiskFile.h"
#include "CWinZip.h"
#include "CodePageTables.h"
#include "WinTime.h"

namespace {

inline std::uint32_t dwCrcStep(std::uint32_t dwCrc, unsigned char c) {
  static const z_crc_t* const pTable = get_crc_table();
  return (dwCrc >> 8) ^ static_cast<std::uint32_t>(pTable[(dwCrc ^ c) & 0xFF]);
}

}  // namespace

// ---- Traditional encryption ------------------------------------------------

void CWinZip::_UpdateKeys(unsigned char c) {
  m_adwKeys[0] = dwCrcStep(m_adwKeys[0], c);
  m_adwKeys[1] = (m_adwKeys[1] + (m_adwKeys[0] & 0xFF)) * 134775813u + 1;
  m_adwKeys[2] = dwCrcStep(m_adwKeys[2], static_cast<unsigned char>(m_adwKeys[1] >> 24));
}

unsigned char CWinZip::_byKeyByte() const {
  const std::uint32_t t = (m_adwKeys[2] & 0xFFFF) | 2;
  return static_cast<unsigned char>(((t * (t ^ 1)) >> 8) & 0xFF);
}

void CWinZip::CryptInitKeys() {
  m_adwKeys[0] = 0x12345678u;
  m_adwKeys[1] = 0x23456789u;
  m_adwKeys[2] = 0x34567890u;
  for (const wchar_t* p = m_sPassword.pszGet(); *p != 0; ++p)
    _UpdateKeys(static_cast<unsigned char>(static_cast<std::uint32_t>(*p) & 0xFF));
}

void CWinZip::CryptDecrypt(unsigned char* pbyBuffer, unsigned nSize) {
  for (unsigned i = 0; i < nSize; ++i) {
    const unsigned char byPlain = static_cast<unsigned char>(pbyBuffer[i] ^ _byKeyByte());
    _UpdateKeys(byPlain);
    pbyBuffer[i] = byPlain;
  }
}

void CWinZip::CryptEncrypt(unsigned char* pbyBuffer, unsigned nSize) {
  for (unsigned i = 0; i < nSize; ++i) {
    const unsigned char byKey = _byKeyByte();
    _UpdateKeys(pbyBuffer[i]);
    pbyBuffer[i] = static_cast<unsigned char>(pbyBuffer[i] ^ byKey);
  }
}

bool CWinZip::bCryptCheckHeader(const unsigned char abyHeader[12], unsigned char byCheck) {
  CryptInitKeys();
  unsigned char abyPlain[12];
  std::memcpy(abyPlain, abyHeader, sizeof abyPlain);
  CryptDecrypt(abyPlain, sizeof abyPlain);
  return abyPlain[11] == byCheck;
}

void CWinZip::CryptMakeHeader(unsigned char abyHeader[12], std::uint32_t dwCheck) {
  CryptInitKeys();
  std::srand(GetTickCount());
  for (int i = 0; i < 10; ++i) {
    const int r = std::rand();
    abyHeader[i] = static_cast<unsigned char>((r & 0x3FC0) != 0 ? r >> 6 : r);
  }
  abyHeader[10] = static_cast<unsigned char>((dwCheck >> 16) & 0xFF);
  abyHeader[11] = static_cast<unsigned char>((dwCheck >> 24) & 0xFF);
  CryptEncrypt(abyHeader, 12);
}

unsigned char CWinZip::byCryptCheckByte(const _stFICZIP& stFile) {
  return static_cast<unsigned char>((stFile.wFlags & 0x8) != 0 ? (stFile.dwDosDate >> 8) & 0xFF
                                                               : (stFile.dwCrc >> 24) & 0xFF);
}

// ---- DOS date-times ----------------------------------------------------------

std::uint32_t CWinZip::dwDosDateTime(int nYear, int nMonth0, int nDay, int nHours, int nMinutes,
                                     int nSeconds) {
  // Years after 1980 are full years; 80 or less are taken as they stand;
  // anything between counts from 1900.
  const int nY = nYear > 1980 ? nYear - 1980 : (nYear <= 80 ? nYear : nYear - 80);
  const std::uint32_t dwDate = (static_cast<std::uint32_t>(nY) << 9) |
                               (static_cast<std::uint32_t>(nMonth0 + 1) << 5) |
                               static_cast<std::uint32_t>(nDay);
  return (dwDate << 16) | (static_cast<std::uint32_t>(nHours) << 11) |
         (static_cast<std::uint32_t>(nMinutes) << 5) | static_cast<std::uint32_t>(nSeconds / 2);
}

std::uint32_t CWinZip::dwDosDateTimeFromTime(std::time_t tTime) {
  if (tTime < 0) return 0;
  struct tm stTm;
  if (localtime_r(&tTime, &stTm) == nullptr) return 0;
  return dwDosDateTime(stTm.tm_year + 1900, stTm.tm_mon, stTm.tm_mday, stTm.tm_hour, stTm.tm_min,
                       stTm.tm_sec);
}

std::uint32_t CWinZip::dwFileDosDateTime(const wchar_t* pszPath) {
  struct stat stInfo;
  if (pszPath == nullptr || CDiskFile::Unix_stat(pszPath, &stInfo) != 0) return 0;
  return dwDosDateTimeFromTime(stInfo.st_mtime);
}

// ---- Header sizes ------------------------------------------------------------

bool CWinZip::bNeedsZip64(const _stFICZIP& stFile) const {
  return m_bZip64Headers || stFile.llUncompressedSize > 0xFFFFFFFFu ||
         stFile.llCompressedSize > 0xFFFFFFFFu || stFile.llOffsetLocal > 0xFFFFFFFFu;
}

std::uint64_t CWinZip::llLocalHeaderSize(const _stFICZIP& stFile) const {
  // Local ZIP64 block: tag, size and the two sizes.
  return 30u + stFile.wNameLength + (bNeedsZip64(stFile) ? 20u : 0u) + (stFile.bCrypte ? 12u : 0u);
}

std::uint64_t CWinZip::llCentralHeaderSize(const _stFICZIP& stFile) const {
  // Central ZIP64 block: tag, size, the two sizes and the offset.
  return 46u + static_cast<std::uint64_t>(stFile.wNameLength) + stFile.wExtraLength +
         stFile.wCommentLength + (bNeedsZip64(stFile) ? 28u : 0u);
}

// ---- ANSI / OEM names --------------------------------------------------------

void CWinZip::AnsiToOem(char* pszName, unsigned nSize) const {
  if (!m_bForeignNames || pszName == nullptr) return;
  for (unsigned i = 0; i < nSize; ++i)
    if (static_cast<unsigned char>(pszName[i]) != 0x80) CharToOemBuffA(pszName + i, pszName + i, 1);
}

void CWinZip::OemToAnsi(char* pszName, unsigned nSize) const {
  if (!m_bForeignNames || pszName == nullptr) return;
  for (unsigned i = 0; i < nSize; ++i)
    if (static_cast<unsigned char>(pszName[i]) != 0x80) OemToCharBuffA(pszName + i, pszName + i, 1);
}
