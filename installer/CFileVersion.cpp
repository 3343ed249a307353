#include "CFileVersion.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "StrFunctions.h"

namespace {

// Blocks of this size or smaller are not real blocks (a mark mentioned in
// code or text, say) and are passed over.
constexpr std::size_t knMinBlock = 34;

const std::uint8_t* pbyFind(const std::uint8_t* pbyFrom, const std::uint8_t* pbyEnd,
                            const char* pszMark) {
  const std::size_t nMark = std::strlen(pszMark);
  if (pbyFrom >= pbyEnd || static_cast<std::size_t>(pbyEnd - pbyFrom) < nMark) return nullptr;
  return static_cast<const std::uint8_t*>(
      memmem(pbyFrom, static_cast<std::size_t>(pbyEnd - pbyFrom), pszMark, nMark));
}

// Case folding of code page 1252 letters: ASCII, and the Latin-1 range
// where lower case sits 0x20 above upper case (0xD7 and 0xF7 are signs).
std::uint8_t byFold(std::uint8_t by) {
  if (by >= 'a' && by <= 'z') return static_cast<std::uint8_t>(by - 0x20);
  if (by >= 0xE0 && by <= 0xFE && by != 0xF7) return static_cast<std::uint8_t>(by - 0x20);
  return by;
}

class CMapping {
 public:
  explicit CMapping(const char* pszPath) {
    const int fd = ::open(pszPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (p != MAP_FAILED) {
        m_p = static_cast<const std::uint8_t*>(p);
        m_n = static_cast<std::size_t>(st.st_size);
      }
    }
    ::close(fd);
  }
  ~CMapping() {
    if (m_p != nullptr) ::munmap(const_cast<std::uint8_t*>(m_p), m_n);
  }
  CMapping(const CMapping&) = delete;
  CMapping& operator=(const CMapping&) = delete;
  const std::uint8_t* p() const { return m_p; }
  std::size_t n() const { return m_n; }

 private:
  const std::uint8_t* m_p = nullptr;
  std::size_t m_n = 0;
};

}  // namespace

CFileVersion::~CFileVersion() = default;

bool CFileVersion::bLoad(const char* pszPath) {
  return _bLoad(pszPath, "VersionInfoMarkStart", "VersionInfoMarkEnd");
}

bool CFileVersion::_bLoad(const char* pszPath, const char* pszStartMark, const char* pszEndMark) {
  m_abyBlock.clear();
  if (pszPath == nullptr) return false;
  const CMapping clMap(pszPath);
  if (clMap.p() == nullptr) return false;
  const std::uint8_t* const pbyEnd = clMap.p() + clMap.n();
  const std::size_t nStart = std::strlen(pszStartMark);
  const std::uint8_t* pbyFrom = clMap.p();
  for (;;) {
    const std::uint8_t* pbyStart = pbyFind(pbyFrom, pbyEnd, pszStartMark);
    if (pbyStart == nullptr) return false;
    // The mark and the byte after it; a mark at the very end has no block.
    if (static_cast<std::size_t>(pbyEnd - pbyStart) < nStart + 1) return false;
    const std::uint8_t* pbyData = pbyStart + nStart + 1;
    const std::uint8_t* pbyStop = pbyFind(pbyData, pbyEnd, pszEndMark);
    if (pbyStop == nullptr) return false;
    if (static_cast<std::size_t>(pbyStop - pbyData) > knMinBlock) {
      m_abyBlock.assign(pbyData, pbyStop);
      return true;
    }
    pbyFrom = pbyData;
  }
}

bool CFileVersion::__bGetValue(const char* pszKey, const std::uint8_t** ppValue,
                               std::uint32_t* pdwLength) const {
  const std::size_t nKey = std::strlen(pszKey);
  const std::size_t nBlock = m_abyBlock.size();
  const std::uint8_t* pby = m_abyBlock.data();
  for (std::size_t i = 0; i + nKey < nBlock; ++i) {
    if (pby[i + nKey] != 0) continue;
    std::size_t k = 0;
    while (k < nKey && byFold(pby[i + k]) == byFold(static_cast<std::uint8_t>(pszKey[k]))) ++k;
    if (k != nKey) continue;
    const std::size_t nValue = i + nKey + 1;
    const void* pNul = std::memchr(pby + nValue, 0, nBlock - nValue);
    const std::size_t nEnd = pNul != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(pNul) - pby) : nBlock;
    *ppValue = pby + nValue;
    *pdwLength = static_cast<std::uint32_t>(nEnd - nValue);
    return true;
  }
  return false;
}

bool CFileVersion::bGetBinaryValue(const wchar_t* pszKey, const void** ppData,
                                   std::uint32_t* pdwLength) const {
  if (pszKey == nullptr || m_abyBlock.empty()) return false;
  std::string sKey;
  for (const wchar_t* p = pszKey; *p != L'\0'; ++p) sKey += STR_ToCP1252(*p, '?', nullptr);
  const std::uint8_t* pbyValue = nullptr;
  std::uint32_t dwLength = 0;
  if (!__bGetValue(sKey.c_str(), &pbyValue, &dwLength)) return false;
  if (ppData != nullptr) *ppData = pbyValue;
  if (pdwLength != nullptr) *pdwLength = dwLength;
  return true;
}

bool CFileVersion::bGetStringValue(const wchar_t* pszKey, CTString& clText) const {
  const void* pData = nullptr;
  std::uint32_t dwLength = 0;
  if (!bGetBinaryValue(pszKey, &pData, &dwLength)) return false;
  std::wstring s(dwLength, L'\0');
  if (dwLength != 0)
    STR_CP1252ToWideChar(static_cast<const char*>(pData), static_cast<long>(dwLength), &s[0],
                         static_cast<long>(dwLength));
  clText.Set(s.c_str(), static_cast<unsigned long>(dwLength));
  return true;
}

bool CFileRessource::bLoad(const char* pszPath) {
  return _bLoad(pszPath, "ResourceInfoMarkStart", "ResourceInfoMarkEnd");
}

bool CFileRessource::bLoadResource(std::uint32_t nId, const void** ppData,
                                   std::uint32_t* pdwLength) const {
  const std::wstring sKey = L"\\Resource\\" + std::to_wstring(nId);
  return bGetBinaryValue(sKey.c_str(), ppData, pdwLength);
}
