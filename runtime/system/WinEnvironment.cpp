#include "WinEnvironment.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "CDiskFile.h"
#include "StrGetLine.h"
#include "UnicodeConversion.h"
#include "XMalloc.h"

namespace {

// The UTF-8 form of a wide text in a heap block of its own; null for a null
// text or when memory is short.
class CUTF8Text {
 public:
  explicit CUTF8Text(const wchar_t* wide) {
    if (wide == nullptr) return;
    const long n = UTF8ByteLen(wide) + 1;
    m_psz = static_cast<char*>(XMALLOC_pNew_(static_cast<std::size_t>(n)));
    if (m_psz != nullptr) WideToUTF8(m_psz, n, wide);
  }
  ~CUTF8Text() { XMALLOC_Del_(m_psz); }
  CUTF8Text(const CUTF8Text&) = delete;
  CUTF8Text& operator=(const CUTF8Text&) = delete;
  const char* psz() const { return m_psz; }

 private:
  char* m_psz = nullptr;
};

// The target of /proc/self/exe in a heap block (XMALLOC_Del_), or the text
// of the first line of /proc/self/maps from its first "/"; null when
// neither can be read.
char* pszRunningExecutable() {
  for (std::size_t nSize = 256; nSize <= 65536; nSize *= 2) {
    auto* psz = static_cast<char*>(XMALLOC_pNew_(nSize));
    if (psz == nullptr) return nullptr;
    const ssize_t n = readlink("/proc/self/exe", psz, nSize);
    if (n >= 0 && static_cast<std::size_t>(n) < nSize) {
      psz[n] = 0;
      return psz;
    }
    XMALLOC_Del_(psz);
    if (n < 0) break;
  }
  FILE* maps = fopen("/proc/self/maps", "re");
  if (maps == nullptr) return nullptr;
  char* pszLine = nullptr;
  std::size_t nCapacity = 0;
  const long n = STRG_nGetLine<char>(&pszLine, &nCapacity, maps);
  fclose(maps);
  const char* pszSlash = n > 0 ? std::strchr(pszLine, '/') : nullptr;
  if (pszSlash == nullptr) {
    XMALLOC_Del_(pszLine);
    return nullptr;
  }
  const std::size_t nStart = static_cast<std::size_t>(pszSlash - pszLine);
  std::size_t nLength = std::strcspn(pszSlash, "\r\n");
  std::memmove(pszLine, pszLine + nStart, nLength);
  pszLine[nLength] = 0;
  return pszLine;
}

}  // namespace

unsigned int GetEnvironmentVariableW(const wchar_t* name, wchar_t* buf, unsigned int size) {
  const CUTF8Text stName(name);
  if (stName.psz() == nullptr) return 0;
  const char* pszValue = getenv(stName.psz());
  if (pszValue == nullptr) return 0;
  const long nLength = UTF8ToWideLen(pszValue);
  if (buf != nullptr && size > 0) UTF8ToWide(buf, static_cast<long>(size), pszValue);
  const auto n = static_cast<unsigned int>(nLength);
  return size > n ? n : n + 1;
}

unsigned int GetEnvironmentVariableA(const char* name, char* buf, unsigned int size) {
  if (name == nullptr) return 0;
  const char* pszValue = getenv(name);
  if (pszValue == nullptr) return 0;
  const std::size_t nLength = std::strlen(pszValue);
  if (buf != nullptr && size > 0) {
    const std::size_t nCopy = nLength < size ? nLength : size - 1;
    std::memcpy(buf, pszValue, nCopy);
    buf[nCopy] = 0;
  }
  const auto n = static_cast<unsigned int>(nLength);
  return size > n ? n : n + 1;
}

bool SetEnvironmentVariable(const wchar_t* name, const wchar_t* value) {
  const CUTF8Text stName(name);
  if (stName.psz() == nullptr) return false;
  if (value == nullptr) return unsetenv(stName.psz()) == 0;
  const CUTF8Text stValue(value);
  if (stValue.psz() == nullptr) return false;
  return setenv(stName.psz(), stValue.psz(), 1) == 0;
}

bool GetModuleFileNameW(void* /*module*/, wchar_t* buf, unsigned int size) {
  if (buf == nullptr || size == 0) return false;
  buf[0] = 0;
  char* pszPath = pszRunningExecutable();
  if (pszPath == nullptr) return false;
  const long nLength = UTF8ToWideLen(pszPath);
  UTF8ToWide(buf, static_cast<long>(size), pszPath);
  XMALLOC_Del_(pszPath);
  return nLength < static_cast<long>(size);
}

bool GetModuleFileNameA(void* /*module*/, char* buf, unsigned int size) {
  if (buf == nullptr || size == 0) return false;
  buf[0] = 0;
  char* pszPath = pszRunningExecutable();
  if (pszPath == nullptr) return false;
  const std::size_t nLength = std::strlen(pszPath);
  const std::size_t nCopy = nLength < size ? nLength : size - 1;
  std::memcpy(buf, pszPath, nCopy);
  buf[nCopy] = 0;
  XMALLOC_Del_(pszPath);
  return nLength < size;
}

bool SetCurrentDirectoryW(const wchar_t* path) { return CDiskFile::Unix_chdir(path) == 0; }

bool SetCurrentDirectoryA(const char* path) { return path != nullptr && chdir(path) == 0; }

bool makepath(wchar_t* out, const wchar_t* /*drive*/, const wchar_t* dir, const wchar_t* name,
              const wchar_t* ext, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  if (capacity > MAKEPATH_MAX) capacity = MAKEPATH_MAX;
  const std::size_t nDir = dir != nullptr ? std::wcslen(dir) : 0;
  const bool bSlash = nDir > 0 && dir[nDir - 1] != L'/';
  const std::size_t nName = name != nullptr ? std::wcslen(name) : 0;
  const std::size_t nExt = nName > 0 && ext != nullptr ? std::wcslen(ext) : 0;
  const bool bDot = nExt > 0 && ext[0] != L'.';
  const std::size_t nTotal = nDir + (bSlash ? 1 : 0) + nName + (bDot ? 1 : 0) + nExt;
  if (nTotal + 1 > capacity) {
    out[0] = 0;
    return false;
  }
  wchar_t* p = out;
  if (nDir > 0) std::wmemcpy(p, dir, nDir);
  p += nDir;
  if (bSlash) *p++ = L'/';
  if (nName > 0) std::wmemcpy(p, name, nName);
  p += nName;
  if (bDot) *p++ = L'.';
  if (nExt > 0) std::wmemcpy(p, ext, nExt);
  p += nExt;
  *p = 0;
  return true;
}

bool GetVersionEx(OSVERSIONINFO* info) {
  if (info == nullptr) return false;
  const std::uint32_t nSize = info->dwOSVersionInfoSize;
  std::memset(info, 0, sizeof(*info));
  info->dwOSVersionInfoSize = nSize;
  info->dwPlatformId = VER_PLATFORM_LINUX;
  struct utsname name;
  return uname(&name) == 0;
}

std::uint16_t GetSystemDefaultLangID() { return 2048; }

std::uint16_t GetUserDefaultLangID() { return 2048; }

int GetStdHandle(int kind) {
  switch (kind) {
    case -10:
      return 0;
    case -11:
      return 1;
    case -12:
      return 2;
    default:
      return -1;
  }
}

void OutputDebugString(const wchar_t* text) {
  const CUTF8Text stText(text);
  if (stText.psz() != nullptr) fputs(stText.psz(), stderr);
}
