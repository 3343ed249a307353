#include "ProfileString.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "CodePage.h"
#include "NumberText.h"
#include "ProfileStringFile.h"
#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

bool IsNullOrEmpty(const wchar_t* text) { return text == nullptr || *text == L'\0'; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsLineEnd(wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\0'; }

const wchar_t* SkipBlanks(const wchar_t* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// ---------------------------------------------------------------------------
// Line matching. The reader and the writer find sections and keys through
// these alone, so that whatever one writes the other reads back.

// Line i as it is examined: without its leading blanks.
const wchar_t* Examined(const CProfileFile& file, std::size_t i) {
  return SkipBlanks(file.pszGetLine(i));
}

bool IsEmptyLine(const wchar_t* line) { return IsLineEnd(*line); }

bool IsSectionLine(const wchar_t* line) {
  return *line == L'[' && std::wcschr(line, L']') != nullptr;
}

// `line` begins with the n characters of `name`, case aside.
bool BeginsWith(const wchar_t* line, const wchar_t* name, std::size_t n) {
  return wcsnlen(line, n) == n &&
         STR_nNCompare(line, name, static_cast<long>(n), STR_FLAG_UPPER) == 0;
}

bool IsSection(const wchar_t* line, const wchar_t* section, std::size_t n) {
  return *line == L'[' && BeginsWith(line + 1, section, n) && line[1 + n] == L']';
}

// Where the value of `key` (n characters) begins on `line`, just after its
// "="; null when the line is not the key's.
const wchar_t* KeyValue(const wchar_t* line, const wchar_t* key, std::size_t n) {
  if (*line == L':' || !BeginsWith(line, key, n)) return nullptr;
  const wchar_t* p = SkipBlanks(line + n);
  return *p == L'=' ? p + 1 : nullptr;
}

// The key a listing shows for `line`: its first *length characters; false
// for a remark or a line without "=".
bool ListedKey(const wchar_t* line, std::size_t* length) {
  if (*line == L':') return false;
  const wchar_t* pEquals = std::wcschr(line, L'=');
  if (pEquals == nullptr) return false;
  std::size_t n = static_cast<std::size_t>(pEquals - line);
  while (n > 0 && IsBlank(line[n - 1])) --n;
  *length = n;
  return true;
}

// A section's lines: its section line and the first line after them (the
// next section line, or the line count).
struct stSection {
  std::size_t nLine;
  std::size_t nEnd;
};

bool FindSection(const CProfileFile& file, const wchar_t* section, stSection* found) {
  const std::size_t nName = std::wcslen(section);
  const std::size_t nLines = file.nGetLineCount();
  for (std::size_t i = 0; i < nLines; ++i) {
    if (!IsSection(Examined(file, i), section, nName)) continue;
    std::size_t nEnd = i + 1;
    while (nEnd < nLines && !IsSectionLine(Examined(file, nEnd))) ++nEnd;
    *found = stSection{i, nEnd};
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------

// Wide text that grows up to a limit of characters; what passes the limit is
// dropped. Its memory comes from XMALLOC; when it runs out the text stays as
// it was and bFailed() tells.
class CProfileText {
 public:
  explicit CProfileText(std::size_t limit = SIZE_MAX / sizeof(wchar_t) - 1) : m_nLimit(limit) {}
  ~CProfileText() { XMALLOC_Del_(m_p); }
  CProfileText(const CProfileText&) = delete;
  CProfileText& operator=(const CProfileText&) = delete;

  void Append(const wchar_t* text, std::size_t n) {
    if (n > m_nLimit - m_nLength) n = m_nLimit - m_nLength;
    if (n == 0 || m_bFailed) return;
    if (m_nLength + n > m_nCapacity) {
      std::size_t nNew = m_nCapacity < 128 ? 128 : m_nCapacity;
      while (nNew < m_nLength + n) nNew = nNew > m_nLimit / 2 ? m_nLimit : nNew * 2;
      void* pNew = XMALLOC_pResize_(m_p, nNew * sizeof(wchar_t));
      if (pNew == nullptr) {
        m_bFailed = true;
        return;
      }
      m_p = static_cast<wchar_t*>(pNew);
      m_nCapacity = nNew;
    }
    std::memcpy(m_p + m_nLength, text, n * sizeof(wchar_t));
    m_nLength += n;
  }
  void Append(const wchar_t* text) { Append(text, std::wcslen(text)); }

  // One item of a listing and its CR LF, while the limit (size - 1) is more
  // than the length so far; false when the listing must stop.
  bool bAppendItem(const wchar_t* item, std::size_t n) {
    if (m_nLimit <= m_nLength) return false;
    Append(item, n);
    Append(L"\r\n", 2);
    return true;
  }

  void Clear() { m_nLength = 0; }
  const wchar_t* p() const { return m_p; }
  std::size_t nGetLength() const { return m_nLength; }
  bool bFailed() const { return m_bFailed; }

 private:
  wchar_t* m_p = nullptr;
  std::size_t m_nLength = 0;
  std::size_t m_nCapacity = 0;
  std::size_t m_nLimit;
  bool m_bFailed = false;
};

// The home directory of the user's password entry; false without one.
bool GetPasswordHome(wchar_t* out, std::size_t capacity) {
  const struct passwd* pEntry = ::getpwuid(::getuid());
  if (pEntry == nullptr || pEntry->pw_dir == nullptr || *pEntry->pw_dir == '\0') return false;
  return MultiByteToWideChar(CP_UTF8, 0, pEntry->pw_dir, -1, out, static_cast<int>(capacity)) != 0;
}

bool HasSeparator(const wchar_t* name) {
  return std::wcschr(name, L'/') != nullptr || std::wcschr(name, L'\\') != nullptr;
}

// The path of `file` into `out` (PROFILE_PATH_MAX characters).
bool ProfilePath(const wchar_t* file, wchar_t* out) {
  if (IsNullOrEmpty(file)) return false;
  if (HasSeparator(file)) return bMakeProfilePath(file, nullptr, out);
  wchar_t szHome[PROFILE_PATH_MAX];
  return GetPasswordHome(szHome, PROFILE_PATH_MAX) && bMakeProfilePath(file, szHome, out);
}

// What the file says for section and key (see GetPrivateProfileStringW) into
// `out`; false when it says nothing and the default applies.
bool ReadFile(const wchar_t* path, const wchar_t* section, const wchar_t* key,
              CProfileText& out) {
  CProfileFile file;
  if (!file.bLoad(path, false)) return false;
  if (IsNullOrEmpty(section)) {
    for (std::size_t i = 0; i < file.nGetLineCount(); ++i) {
      const wchar_t* pLine = Examined(file, i);
      if (!IsSectionLine(pLine)) continue;
      const wchar_t* pName = pLine + 1;
      const auto nName = static_cast<std::size_t>(std::wcschr(pName, L']') - pName);
      if (!out.bAppendItem(pName, nName)) break;
    }
    return out.nGetLength() > 0;
  }
  stSection found;
  if (!FindSection(file, section, &found)) return false;
  if (IsNullOrEmpty(key)) {
    for (std::size_t i = found.nLine + 1; i < found.nEnd; ++i) {
      const wchar_t* pLine = Examined(file, i);
      std::size_t nKey = 0;
      if (ListedKey(pLine, &nKey) && !out.bAppendItem(pLine, nKey)) break;
    }
    return out.nGetLength() > 0;
  }
  const std::size_t nKey = std::wcslen(key);
  for (std::size_t i = found.nLine + 1; i < found.nEnd; ++i) {
    const wchar_t* pValue = KeyValue(Examined(file, i), key, nKey);
    if (pValue == nullptr) continue;
    pValue = SkipBlanks(pValue);
    std::size_t nValue = 0;
    while (!IsLineEnd(pValue[nValue])) ++nValue;
    out.Append(pValue, nValue);
    return true;
  }
  return false;
}

// The read of GetPrivateProfileStringW into `out`, default included.
void ReadProfile(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                 const wchar_t* file, CProfileText& out) {
  wchar_t szPath[PROFILE_PATH_MAX];
  if (ProfilePath(file, szPath) && ReadFile(szPath, section, key, out)) return;
  out.Clear();
  if (def != nullptr) out.Append(def);
}

// A text of code page 0 made wide, in a block of its own; null stays null.
class CWideArgument {
 public:
  explicit CWideArgument(const char* text) {
    if (text == nullptr) return;
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n > 0) {
      m_p = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(n) * sizeof(wchar_t)));
    }
    if (m_p == nullptr || MultiByteToWideChar(CP_ACP, 0, text, -1, m_p, n) != n) m_bOk = false;
  }
  ~CWideArgument() { XMALLOC_Del_(m_p); }
  CWideArgument(const CWideArgument&) = delete;
  CWideArgument& operator=(const CWideArgument&) = delete;

  const wchar_t* p() const { return m_p; }
  bool bOk() const { return m_bOk; }

 private:
  wchar_t* m_p = nullptr;
  bool m_bOk = true;
};

}  // namespace

bool bMakeProfilePath(const wchar_t* file, const wchar_t* home, wchar_t* out,
                      std::size_t capacity) {
  if (capacity > PROFILE_PATH_MAX) capacity = PROFILE_PATH_MAX;
  if (out == nullptr || capacity == 0) return false;
  out[0] = L'\0';
  if (IsNullOrEmpty(file)) return false;
  const std::size_t nFile = std::wcslen(file);
  std::size_t nPath = 0;
  if (HasSeparator(file)) {
    if (nFile >= capacity) return false;
  } else {
    if (IsNullOrEmpty(home)) return false;
    const std::size_t nHome = std::wcslen(home);
    if (nHome >= capacity || nFile >= capacity - nHome - 1) return false;
    std::wmemcpy(out, home, nHome);
    out[nHome] = L'/';
    nPath = nHome + 1;
  }
  std::wmemcpy(out + nPath, file, nFile);
  nPath += nFile;
  out[nPath] = L'\0';
  for (std::size_t i = 0; i < nPath; ++i) {
    if (out[i] == L'\\') out[i] = L'/';
  }
  return true;
}

bool bGetVLMCONFPath(wchar_t* out, std::size_t capacity) {
  if (capacity > PROFILE_PATH_MAX) capacity = PROFILE_PATH_MAX;
  if (out == nullptr || capacity == 0) return false;
  out[0] = L'\0';
  wchar_t szHome[PROFILE_PATH_MAX];
  return GetPasswordHome(szHome, PROFILE_PATH_MAX) &&
         bMakeProfilePath(L".VLM.conf", szHome, out, capacity);
}

unsigned int GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                      const wchar_t* def, wchar_t* buf, unsigned int size,
                                      const wchar_t* file) {
  if (buf == nullptr || size == 0) return 0;
  CProfileText text(size - 1);
  ReadProfile(section, key, def, file, text);
  const std::size_t n = text.nGetLength();
  if (n > 0) std::wmemcpy(buf, text.p(), n);
  buf[n] = L'\0';
  return static_cast<unsigned int>(n);
}

unsigned int GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                      char* buf, unsigned int size, const char* file) {
  if (buf == nullptr || size == 0) return 0;
  buf[0] = '\0';
  const CWideArgument wSection(section), wKey(key), wDefault(def), wFile(file);
  if (!wSection.bOk() || !wKey.bOk() || !wDefault.bOk() || !wFile.bOk()) return 0;
  // Code page 0 gives one byte per character, so size - 1 characters fit.
  CProfileText text(size - 1);
  ReadProfile(wSection.p(), wKey.p(), wDefault.p(), wFile.p(), text);
  int n = 0;
  if (text.nGetLength() > 0 && text.nGetLength() <= INT_MAX) {
    const unsigned int nRoom = size - 1 < INT_MAX ? size - 1 : INT_MAX;
    n = WideCharToMultiByte(CP_ACP, 0, text.p(), static_cast<int>(text.nGetLength()), buf,
                            static_cast<int>(nRoom), nullptr, nullptr);
  }
  buf[n] = '\0';
  return static_cast<unsigned int>(n);
}

int GetPrivateProfileInt(const wchar_t* section, const wchar_t* key, int def,
                         const wchar_t* file) {
  wchar_t szDefault[16];
  itow(def, szDefault, 10);
  wchar_t szValue[21];
  GetPrivateProfileStringW(section, key, szDefault, szValue, 21, file);
  return static_cast<int>(std::wcstol(szValue, nullptr, 10));
}

int WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                               const wchar_t* file) {
  if (IsNullOrEmpty(section)) return 0;
  wchar_t szPath[PROFILE_PATH_MAX];
  if (!ProfilePath(file, szPath)) return 0;
  CProfileFile profile;
  if (!profile.bLoad(szPath, true)) return 0;
  const std::size_t nLines = profile.nGetLineCount();
  stSection found;
  const bool bFound = FindSection(profile, section, &found);

  if (IsNullOrEmpty(key)) {
    if (!bFound) return 1;
    return profile.bReplace(profile.nGetLineOffset(found.nLine),
                            profile.nGetLineOffset(found.nEnd), L"", 0)
               ? 1
               : 0;
  }

  // The key's line: nothing when the value is null, so that replacing the
  // key's line removes it.
  CProfileText keyLine;
  if (value != nullptr) {
    keyLine.Append(key);
    keyLine.Append(L" = ", 3);
    keyLine.Append(value);
    keyLine.Append(L"\n", 1);
  }
  std::size_t nInsert = nLines;  // the line the key line goes before
  CProfileText text;
  if (bFound) {
    const std::size_t nKey = std::wcslen(key);
    bool bEmptySeen = false;
    for (std::size_t i = found.nLine + 1; i < found.nEnd; ++i) {
      const wchar_t* pLine = Examined(profile, i);
      if (KeyValue(pLine, key, nKey) != nullptr) {
        if (keyLine.bFailed()) return 0;
        return profile.bReplace(profile.nGetLineOffset(i), profile.nGetLineOffset(i + 1),
                                keyLine.p(), keyLine.nGetLength())
                   ? 1
                   : 0;
      }
      if (!bEmptySeen && IsEmptyLine(pLine)) {
        nInsert = i;
        bEmptySeen = true;
      }
    }
    if (value == nullptr) return 1;
    if (!bEmptySeen) nInsert = found.nEnd;
  } else if (value == nullptr) {
    return 1;
  }
  // A line appended after a last line without its line end would join it.
  if (nInsert == nLines && !profile.bEndsWithLineEnd()) text.Append(L"\n", 1);
  if (!bFound) {
    text.Append(L"[", 1);
    text.Append(section);
    text.Append(L"]\n", 2);
  }
  text.Append(keyLine.p(), keyLine.nGetLength());
  if (text.bFailed() || keyLine.bFailed()) return 0;
  const std::size_t nAt = profile.nGetLineOffset(nInsert);
  return profile.bReplace(nAt, nAt, text.p(), text.nGetLength()) ? 1 : 0;
}

int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file) {
  const CWideArgument wSection(section), wKey(key), wValue(value), wFile(file);
  if (!wSection.bOk() || !wKey.bOk() || !wValue.bOk() || !wFile.bOk()) return 0;
  return WritePrivateProfileStringW(wSection.p(), wKey.p(), wValue.p(), wFile.p());
}

unsigned int GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                              wchar_t* buf, unsigned int size) {
  wchar_t szPath[PROFILE_PATH_MAX];
  // Without a profile the read falls back on the default, as for a missing
  // file; the empty name gives exactly that.
  if (!bGetVLMCONFPath(szPath)) szPath[0] = L'\0';
  return GetPrivateProfileStringW(section, key, def, buf, size, szPath);
}

int GetProfileInt(const wchar_t* section, const wchar_t* key, int def) {
  wchar_t szPath[PROFILE_PATH_MAX];
  if (!bGetVLMCONFPath(szPath)) szPath[0] = L'\0';
  return GetPrivateProfileInt(section, key, def, szPath);
}

int WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  wchar_t szPath[PROFILE_PATH_MAX];
  if (!bGetVLMCONFPath(szPath)) return 0;
  return WritePrivateProfileStringW(section, key, value, szPath);
}
