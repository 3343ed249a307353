// CTString: buffer management, assignment, queries and in-place editing.
// Formatting lives in CTStringFormat.cpp, fields in CTStringFields.cpp and
// the replace-all worker in CTStringRemplace.cpp.
#include "CTString.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <limits>

#include "CXYString.h"
#include "CodePage.h"
#include "NumberText.h"
#include "StrFunctions.h"

namespace {

// Character copies through memcpy/memmove, which the address sanitizer
// checks (the wide-character forms of the C library it does not).
inline void Copie(wchar_t* dst, const wchar_t* src, std::size_t n) {
  if (n != 0) std::memcpy(dst, src, n * sizeof(wchar_t));
}
inline void Deplace(wchar_t* dst, const wchar_t* src, std::size_t n) {
  if (n != 0) std::memmove(dst, src, n * sizeof(wchar_t));
}

const wchar_t g_szVide[1] = {0};
const wchar_t g_szPoints[] = L"...";

// Characters a buffer may hold: no object is larger than PTRDIFF_MAX bytes.
constexpr unsigned long kMaxCaracteres =
    static_cast<unsigned long>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(wchar_t) - 1;

unsigned long Longueur(const wchar_t* text) { return text != nullptr ? std::wcslen(text) : 0; }

// Longest prefix UTF-8 form of a temporary-name prefix: 5 bytes are kept.
constexpr int kPrefixeTempnam = 5;

bool bEstRepertoire(const char* path) {
  struct stat st;
  return path != nullptr && path[0] != 0 && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The name tempnam(NULL, prefix) gives, without the C library's tempnam
// (whose use the linker flags): the directory is $TMPDIR when it is one,
// else /tmp; then the prefix ("file" when empty) and six random letters or
// digits, a name that does not exist yet. Nothing is created: as with
// tempnam, the caller creates the file. Null (errno set) when no directory
// or no free name is found. The result comes from malloc.
char* pszNomTemporaire(const char* prefix) {
  const char* dir = ::secure_getenv("TMPDIR");
  if (!bEstRepertoire(dir)) dir = P_tmpdir;
  if (!bEstRepertoire(dir)) dir = "/tmp";
  if (!bEstRepertoire(dir)) {
    errno = ENOENT;
    return nullptr;
  }
  std::size_t nDir = std::strlen(dir);
  while (nDir > 1 && dir[nDir - 1] == '/') --nDir;
  if (prefix == nullptr || prefix[0] == 0) prefix = "file";
  const std::size_t nPrefix = std::strlen(prefix);
  const std::size_t nTotal = nDir + 1 + nPrefix + 6 + 1;
  char* name = static_cast<char*>(std::malloc(nTotal));
  if (name == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  std::snprintf(name, nTotal, "%.*s/%sXXXXXX", static_cast<int>(nDir), dir, prefix);
  char* const x = name + nTotal - 7;
  static const char kLettres[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < TMP_MAX; ++attempt) {
    unsigned char random[6];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      const unsigned long v = static_cast<unsigned long>(::clock()) ^
                              (static_cast<unsigned long>(::getpid()) << 16) ^
                              static_cast<unsigned long>(attempt) * 2654435761u;
      for (int i = 0; i < 6; ++i) random[i] = static_cast<unsigned char>(v >> (5 * i));
    }
    for (int i = 0; i < 6; ++i) x[i] = kLettres[random[i] % (sizeof kLettres - 1)];
    struct stat st;
    if (::lstat(name, &st) != 0 && errno == ENOENT) return name;
  }
  std::free(name);
  errno = EEXIST;
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Buffer
// ---------------------------------------------------------------------------

bool CTString::__bInterne(const wchar_t* p, unsigned long len) const {
  if (m_pszBuffer == nullptr || p == nullptr) return false;
  const std::less_equal<const wchar_t*> le;
  return le(m_pszBuffer, p) && le(p, m_pszBuffer + len);
}

void CTString::__Adopte(wchar_t* buffer) {
  wchar_t* old = m_pszBuffer;
  m_pszBuffer = buffer;
  std::free(old);
}

bool CTString::__bResize(unsigned long n) {
  if (n > kMaxCaracteres) return false;
  void* p = std::realloc(m_pszBuffer, (static_cast<std::size_t>(n) + 1) * sizeof(wchar_t));
  if (p == nullptr) return false;
  m_pszBuffer = static_cast<wchar_t*>(p);
  return true;
}

void CTString::__Ajuste() {
  if (m_pszBuffer == nullptr) return;
  __bResize(std::wcslen(m_pszBuffer));  // a refused shrink keeps the text as it is
}

bool CTString::__bAssemble(const stMorceau* runs, int count) {
  unsigned long total = 0;
  for (int i = 0; i < count; ++i) {
    if (runs[i].n > kMaxCaracteres - total) return false;
    total += runs[i].n;
  }
  auto* buffer =
      static_cast<wchar_t*>(std::malloc((static_cast<std::size_t>(total) + 1) * sizeof(wchar_t)));
  if (buffer == nullptr) return false;
  wchar_t* out = buffer;
  for (int i = 0; i < count; ++i) {
    if (runs[i].n != 0) Copie(out, runs[i].p, runs[i].n);
    out += runs[i].n;
  }
  *out = 0;
  __Adopte(buffer);
  return true;
}

bool CTString::__bRemplaceZone(unsigned long len, unsigned long pos, unsigned long n,
                               const wchar_t* src, unsigned long count) {
  // The zone must lie inside the text: the tail's length is len - pos - n.
  if (len > kMaxCaracteres || pos > len || n > len - pos) return false;
  if (count != 0 && __bInterne(src, len)) {
    // The source would move or be overwritten: build a new buffer instead.
    const stMorceau runs[3] = {
        {m_pszBuffer, pos}, {src, count}, {m_pszBuffer + pos + n, len - pos - n}};
    return __bAssemble(runs, 3);
  }
  if (count > kMaxCaracteres - (len - n)) return false;
  const unsigned long total = len - n + count;
  const unsigned long reste = len - pos - n;
  if (total > len || m_pszBuffer == nullptr) {
    if (!__bResize(total)) return false;
    Deplace(m_pszBuffer + pos + count, m_pszBuffer + pos + n, reste);
  } else if (total < len) {
    Deplace(m_pszBuffer + pos + count, m_pszBuffer + pos + n, reste);
  }
  if (count != 0) Copie(m_pszBuffer + pos, src, count);
  m_pszBuffer[total] = 0;
  if (total < len) __bResize(total);  // a refused shrink keeps the larger buffer
  return true;
}

// ---------------------------------------------------------------------------
// Construction and assignment
// ---------------------------------------------------------------------------

CTString::CTString(const wchar_t* text) { Set(text); }

CTString::CTString(const CTString& other) { Set(other.m_pszBuffer); }

CTString::CTString(const wchar_t* text, long n) { Set(text, static_cast<unsigned long>(n)); }

CTString::CTString(const char* text) { SetANSIEx(text, -1, 1252); }

CTString::CTString(const wchar_t* a, const wchar_t* b, const wchar_t* c) { Set(a, b, c); }

CTString::~CTString() { std::free(m_pszBuffer); }

void CTString::Set(const wchar_t* text) {
  if (text == nullptr || *text == 0) {
    Vide();
    return;
  }
  if (text == m_pszBuffer) return;
  const unsigned long len = std::wcslen(text);
  const unsigned long current = Longueur(m_pszBuffer);
  if (m_pszBuffer != nullptr && len == current) {
    // Same length: no allocation (a source inside the buffer can only be the
    // buffer itself, handled above).
    Deplace(m_pszBuffer, text, len);
    return;
  }
  __bRemplaceZone(current, 0, current, text, len);
}

CTString& CTString::operator=(const wchar_t* text) {
  Set(text);
  return *this;
}

CTString& CTString::operator=(wchar_t* text) {
  Set(static_cast<const wchar_t*>(text));
  return *this;
}

CTString& CTString::operator=(const CTString& other) {
  if (this != &other) Set(other.m_pszBuffer);
  return *this;
}

void CTString::SetUNICODE(const wchar_t* text) { Set(text); }

void CTString::Set(const CXYString<wchar_t>& text) { Set(text.pszGet()); }

void CTString::Set(const CXYString<wchar_t>* text) {
  if (text == nullptr) {
    Vide();
    return;
  }
  Set(text->pszGet());
}

void CTString::Set(const wchar_t* text, unsigned long n) {
  if (text == nullptr) {
    Vide();
    return;
  }
  // Never read past n characters: the source need not be terminated there.
  const unsigned long len = ::wcsnlen(text, n);
  const unsigned long current = Longueur(m_pszBuffer);
  if (m_pszBuffer == nullptr) {
    if (!__bResize(len)) return;
    Copie(m_pszBuffer, text, len);
    m_pszBuffer[len] = 0;
    return;
  }
  __bRemplaceZone(current, 0, current, text, len);
}

void CTString::SetFromBinary(const wchar_t* data, unsigned long n) {
  if (data == nullptr) {
    Vide();
    return;
  }
  const stMorceau run = {data, n};
  __bAssemble(&run, 1);
}

void CTString::Set(const wchar_t* a, const wchar_t* b, const wchar_t* c) {
  const unsigned long la = Longueur(a);
  const unsigned long lb = Longueur(b);
  const unsigned long lc = Longueur(c);
  if (la + lb + lc == 0) {
    Vide();
    return;
  }
  const unsigned long current = Longueur(m_pszBuffer);
  const bool interne = __bInterne(a, current) || __bInterne(b, current) || __bInterne(c, current);
  if (!interne && m_pszBuffer != nullptr && la + lb + lc == current) {
    if (la != 0) Copie(m_pszBuffer, a, la);
    if (lb != 0) Copie(m_pszBuffer + la, b, lb);
    if (lc != 0) Copie(m_pszBuffer + la + lb, c, lc);
    return;
  }
  const stMorceau runs[3] = {{a, la}, {b, lb}, {c, lc}};
  __bAssemble(runs, 3);
}

void CTString::Set(wchar_t c) {
  if (c == 0) {
    Vide();
    return;
  }
  const stMorceau run = {&c, 1};
  __bAssemble(&run, 1);
}

CTString& CTString::operator=(wchar_t c) {
  Set(c);
  return *this;
}

void CTString::SetANSIEx(const char* text, int len, unsigned codePage) {
  if (text == nullptr) {
    Vide();
    return;
  }
  // Only the given bytes, and none past a NUL met before them.
  const std::size_t bytes =
      len < 0 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(len));
  if (bytes == 0 || bytes > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    Vide();
    return;
  }
  const int source = static_cast<int>(bytes);
  const int needed = MultiByteToWideChar(codePage, 0, text, source, nullptr, 0);
  if (needed <= 0) {
    Vide();
    return;
  }
  auto* buffer = static_cast<wchar_t*>(
      std::malloc((static_cast<std::size_t>(needed) + 1) * sizeof(wchar_t)));
  if (buffer == nullptr) return;
  const int written = MultiByteToWideChar(codePage, 0, text, source, buffer, needed);
  if (written <= 0) {
    std::free(buffer);
    Vide();
    return;
  }
  buffer[written] = 0;
  __Adopte(buffer);
}

void CTString::SetI4(int value) {
  wchar_t text[24];
  itow(value, text, 10);
  Set(text);
}

void CTString::SetI8(long value) {
  wchar_t text[24];
  ltow(value, text, 10);
  Set(text);
}

void CTString::SetStandard(const wchar_t* text) {
  if (text == nullptr || *text == 0) {
    Vide();
    return;
  }
  // Mapping may lengthen the text: size it first, map into a new buffer
  // (the text may be the own buffer, which stays untouched until then).
  const int size = STR_nGetMapStringLenEx(STR_FLAG_UPPER | STR_FLAG_NOACCENT, text, -1);
  if (size <= 1) {
    Vide();
    return;
  }
  auto* buffer =
      static_cast<wchar_t*>(std::malloc(static_cast<std::size_t>(size) * sizeof(wchar_t)));
  if (buffer == nullptr) return;
  STR_nMapStringEx(STR_FLAG_UPPER | STR_FLAG_NOACCENT, buffer, size, text, -1);
  __Adopte(buffer);
  __Ajuste();
}

void CTString::SetBuffer(wchar_t* buffer) {
  if (buffer == m_pszBuffer) return;
  __Adopte(buffer);
}

void CTString::Transfert(CTString& other) {
  if (&other == this) return;
  __Adopte(other.m_pszBuffer);
  other.m_pszBuffer = nullptr;
}

void CTString::Vide() {
  std::free(m_pszBuffer);
  m_pszBuffer = nullptr;
}

void CTString::FichierTemporaire(const wchar_t* prefix) {
  // Only the first 5 bytes of the prefix are kept: cut it ourselves at a
  // character boundary so that the name stays valid UTF-8.
  char utf8[kPrefixeTempnam + 1] = {};
  int used = 0;
  for (const wchar_t* p = prefix; p != nullptr && *p != 0; ++p) {
    char one[8];
    const int n = WideCharToMultiByte(CP_UTF8, 0, p, 1, one, sizeof one, nullptr, nullptr);
    if (n <= 0 || used + n > kPrefixeTempnam) break;
    std::memcpy(utf8 + used, one, static_cast<std::size_t>(n));
    used += n;
  }
  utf8[used] = 0;
  char* name = pszNomTemporaire(used != 0 ? utf8 : nullptr);
  if (name == nullptr) {
    Vide();
    return;
  }
  // The name is UTF-8 (the prefix and the directory alike).
  wchar_t* buffer = nullptr;
  const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
  if (needed > 0) {
    buffer = static_cast<wchar_t*>(
        std::malloc(static_cast<std::size_t>(needed) * sizeof(wchar_t)));
    if (buffer != nullptr &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, buffer, needed) != needed) {
      std::free(buffer);
      buffer = nullptr;
    }
  }
  std::free(name);
  if (buffer == nullptr) {
    Vide();
    return;
  }
  buffer[needed - 1] = 0;
  __Adopte(buffer);
}

// ---------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------

const wchar_t* CTString::pszGet() const { return m_pszBuffer != nullptr ? m_pszBuffer : g_szVide; }

long CTString::nTaille() const { return static_cast<long>(Longueur(m_pszBuffer)); }

wchar_t CTString::cGetChar(long i) const {
  if (m_pszBuffer == nullptr || i < 0) return 0;
  const auto index = static_cast<unsigned long>(i);
  // Within the text when no NUL comes before index i.
  if (::wcsnlen(m_pszBuffer, index) != index) return 0;
  return m_pszBuffer[index];
}

void CTString::SetChar(long i, wchar_t c) {
  if (m_pszBuffer == nullptr || i < 0) return;
  const auto index = static_cast<unsigned long>(i);
  if (::wcsnlen(m_pszBuffer, index + 1) != index + 1) return;
  m_pszBuffer[index] = c;
}

bool CTString::bEstEgal(const wchar_t* text) const {
  if (text == nullptr) return false;
  return std::wcscmp(pszGet(), text) == 0;
}

bool CTString::operator==(const CTString& other) const {
  return std::wcscmp(pszGet(), other.pszGet()) == 0;
}

bool CTString::operator!=(const CTString& other) const { return !(*this == other); }

bool CTString::bEstEgalI(const wchar_t* text) const {
  if (text == nullptr) return false;
  if (*pszGet() == 0 || *text == 0) return *pszGet() == 0 && *text == 0;
  return STR_nUpCompareW(pszGet(), text, STR_FLAG_NOACCENT) == 0;
}

bool CTString::bEstEgalI(const CTString& other) const { return bEstEgalI(other.pszGet()); }

bool CTString::bCommencePar(const wchar_t* t) const {
  const unsigned long lt = Longueur(t);
  if (lt == 0) return true;
  if (lt > Longueur(m_pszBuffer)) return false;
  return std::wcsncmp(m_pszBuffer, t, lt) == 0;
}

bool CTString::bTerminePar(const wchar_t* t) const {
  const unsigned long lt = Longueur(t);
  if (lt == 0) return true;
  const unsigned long len = Longueur(m_pszBuffer);
  if (lt > len) return false;
  return std::wcscmp(m_pszBuffer + len - lt, t) == 0;
}

bool CTString::bCommenceParI(const wchar_t* t) const {
  const unsigned long lt = Longueur(t);
  if (lt == 0) return true;
  return clGauche(static_cast<long>(lt)).bEstEgalI(t);
}

bool CTString::bTermineParI(const wchar_t* t) const {
  const unsigned long lt = Longueur(t);
  if (lt == 0) return true;
  return clDroite(static_cast<long>(lt)).bEstEgalI(t);
}

bool CTString::bTerminePar(wchar_t c) const {
  const unsigned long len = Longueur(m_pszBuffer);
  return len != 0 && m_pszBuffer[len - 1] == c;
}

long CTString::nPos(const wchar_t* t, long from) const {
  if (m_pszBuffer == nullptr || t == nullptr || from < 0) return -1;
  const auto start = static_cast<unsigned long>(from);
  if (::wcsnlen(m_pszBuffer, start) != start) return -1;  // from past the end
  const wchar_t* hit = std::wcsstr(m_pszBuffer + start, t);
  return hit != nullptr ? static_cast<long>(hit - m_pszBuffer) : -1;
}

long CTString::nPos(wchar_t c, long from) const {
  if (m_pszBuffer == nullptr || c == 0 || from < 0) return -1;
  const auto start = static_cast<unsigned long>(from);
  if (::wcsnlen(m_pszBuffer, start) != start) return -1;
  const wchar_t* hit = std::wcschr(m_pszBuffer + start, c);
  return hit != nullptr ? static_cast<long>(hit - m_pszBuffer) : -1;
}

long CTString::nRPos(const wchar_t* t) const {
  if (m_pszBuffer == nullptr || t == nullptr || *t == 0) return -1;
  long last = -1;
  // Each search starts one character after the previous hit: overlapping
  // occurrences count.
  for (const wchar_t* hit = std::wcsstr(m_pszBuffer, t); hit != nullptr;
       hit = std::wcsstr(hit + 1, t)) {
    last = static_cast<long>(hit - m_pszBuffer);
  }
  return last;
}

long CTString::nRPos(wchar_t c) const {
  if (m_pszBuffer == nullptr || c == 0) return -1;
  const wchar_t* hit = std::wcsrchr(m_pszBuffer, c);
  return hit != nullptr ? static_cast<long>(hit - m_pszBuffer) : -1;
}

long CTString::nUpPos(const wchar_t* t, long from) const {
  if (m_pszBuffer == nullptr || t == nullptr || from < 0) return -1;
  const long len = nTaille();
  const auto lt = static_cast<long>(std::wcslen(t));
  if (len == 0 || len - from - lt < 0) return -1;
  for (long i = from; i + lt <= len; ++i) {
    long k = 0;
    while (k < lt && std::towupper(static_cast<wint_t>(m_pszBuffer[i + k])) ==
                         std::towupper(static_cast<wint_t>(t[k]))) {
      ++k;
    }
    if (k == lt) return i;
  }
  return -1;
}

long CTString::nPosParmi(const wchar_t* set) const {
  if (m_pszBuffer == nullptr || set == nullptr || *set == 0) return -1;
  const std::size_t i = std::wcscspn(m_pszBuffer, set);
  return m_pszBuffer[i] != 0 ? static_cast<long>(i) : -1;
}

long CTString::nNbOcc(const wchar_t* t) const {
  if (m_pszBuffer == nullptr || t == nullptr || *t == 0) return 0;
  const std::size_t lt = std::wcslen(t);
  long count = 0;
  // Each search resumes after the previous hit's end: no overlap.
  for (const wchar_t* hit = std::wcsstr(m_pszBuffer, t); hit != nullptr;
       hit = std::wcsstr(hit + lt, t)) {
    ++count;
  }
  return count;
}

CTString CTString::clGauche(long n) const { return clMilieu(0, n); }

CTString CTString::clDroite(long n) const {
  CTString result;
  const auto len = static_cast<long>(Longueur(m_pszBuffer));
  if (n <= 0 || len == 0) return result;
  result.Set(m_pszBuffer + len - std::min(n, len));
  return result;
}

CTString CTString::clMilieu(long pos, long n) const {
  CTString result;
  const auto len = static_cast<long>(Longueur(m_pszBuffer));
  if (len == 0 || pos < 0 || pos > len || n < 0) return result;
  result.Set(m_pszBuffer + pos, static_cast<unsigned long>(std::min(n, len - pos)));
  return result;
}

CTString CTString::clMilieu(long pos) const {
  CTString result;
  const auto len = static_cast<long>(Longueur(m_pszBuffer));
  if (pos < 0 || pos > len) return result;
  result.Set(m_pszBuffer + pos);
  return result;
}

CTString CTString::clExclu(const wchar_t* set) const {
  CTString result;
  if (m_pszBuffer == nullptr) return result;
  result.Set(m_pszBuffer, std::wcscspn(m_pszBuffer, set != nullptr ? set : g_szVide));
  if (result.nTaille() == 0) result.Vide();
  return result;
}

CTString CTString::clContientUniquement(const wchar_t* set) const {
  CTString result;
  if (m_pszBuffer == nullptr) return result;
  result.Set(m_pszBuffer, std::wcsspn(m_pszBuffer, set != nullptr ? set : g_szVide));
  if (result.nTaille() == 0) result.Vide();
  return result;
}

long CTString::nVal(int base, int start, int count) const {
  const auto len = static_cast<long>(Longueur(m_pszBuffer));
  if (len == 0 || start < 0 || start > len || count < -1) return 0;
  const long end = count == -1 ? len : std::min<long>(len, static_cast<long>(start) + count);
  // Unsigned arithmetic: the value wraps without undefined behaviour.
  std::uint64_t value = 0;
  for (long i = start; i < end; ++i) {
    const wchar_t c = m_pszBuffer[i];
    int digit;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (c >= L'a' && c <= L'z') {
      digit = c - L'a' + 10;
    } else if (c >= L'A' && c <= L'Z') {
      digit = c - L'A' + 10;
    } else {
      break;
    }
    if (digit >= base) break;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  return static_cast<long>(value);
}

CTString CTString::operator+(const wchar_t* text) const {
  CTString result;
  result.Set(m_pszBuffer, text, nullptr);
  return result;
}

// ---------------------------------------------------------------------------
// Editing
// ---------------------------------------------------------------------------

void CTString::Add(wchar_t c) {
  if (c == 0) return;
  const unsigned long len = Longueur(m_pszBuffer);
  __bRemplaceZone(len, len, 0, &c, 1);
}

void CTString::Insert(wchar_t c) {
  if (c == 0) return;
  __bRemplaceZone(Longueur(m_pszBuffer), 0, 0, &c, 1);
}

void CTString::Add(const wchar_t* t, int n) {
  if (t == nullptr) return;
  if (n >= 1 && t[n - 1] == 0) --n;
  if (n < 1) return;
  const unsigned long len = Longueur(m_pszBuffer);
  __bRemplaceZone(len, len, 0, t, static_cast<unsigned long>(n));
}

void CTString::Add(const wchar_t* t) {
  const unsigned long lt = Longueur(t);
  if (lt == 0) return;
  const unsigned long len = Longueur(m_pszBuffer);
  __bRemplaceZone(len, len, 0, t, lt);
}

void CTString::Add(const CXYString<wchar_t>& t) { Add(t.pszGet()); }

void CTString::Add(const CXYString<wchar_t>* t) {
  if (t != nullptr) Add(t->pszGet());
}

void CTString::Add(const wchar_t* a, const wchar_t* b, const wchar_t* c) {
  if (m_pszBuffer == nullptr || *m_pszBuffer == 0) {
    Set(a, b, c);
    return;
  }
  const stMorceau runs[4] = {
      {m_pszBuffer, Longueur(m_pszBuffer)}, {a, Longueur(a)}, {b, Longueur(b)}, {c, Longueur(c)}};
  if (runs[1].n + runs[2].n + runs[3].n == 0) return;
  __bAssemble(runs, 4);
}

void CTString::AddI4(int value) {
  wchar_t text[24];
  itow(value, text, 10);
  Add(text);
}

void CTString::AddI8(long value) {
  wchar_t text[24];
  ltow(value, text, 10);
  Add(text);
}

void CTString::Insert(const wchar_t* t, int n, int pos) {
  if (t == nullptr || *t == 0 || n < -1 || pos < 0) return;
  const unsigned long count =
      n == -1 ? std::wcslen(t) : ::wcsnlen(t, static_cast<unsigned long>(n));
  if (count == 0) return;
  const unsigned long len = Longueur(m_pszBuffer);
  const unsigned long at = std::min(static_cast<unsigned long>(pos), len);
  __bRemplaceZone(len, at, 0, t, count);
}

void CTString::Remplace(long pos, long n, const wchar_t* t) {
  const unsigned long len = Longueur(m_pszBuffer);
  if (len == 0 || pos < 0 || n < 0 || static_cast<unsigned long>(pos) > len) return;
  const auto at = static_cast<unsigned long>(pos);
  const unsigned long removed = std::min(static_cast<unsigned long>(n), len - at);
  __bRemplaceZone(len, at, removed, t, Longueur(t));
}

void CTString::Remplace(const wchar_t* find, const wchar_t* repl, long from) {
  __Remplace(find, repl, 0, from);
}

void CTString::RemplaceI(const wchar_t* find, const wchar_t* repl, long from) {
  __Remplace(find, repl, 1, from);
}

void CTString::Remplace(wchar_t a, wchar_t b, long from) {
  if (m_pszBuffer == nullptr || a == 0 || from < 0) return;
  const unsigned long len = std::wcslen(m_pszBuffer);
  if (static_cast<unsigned long>(from) > len) return;
  for (unsigned long i = static_cast<unsigned long>(from); i < len; ++i) {
    if (m_pszBuffer[i] == a) m_pszBuffer[i] = b;
  }
}

void CTString::Insecable() { Remplace(L' ', static_cast<wchar_t>(0xA0), 0); }

void CTString::Tronque(long n) {
  if (m_pszBuffer == nullptr || n < 0) return;
  const auto cut = static_cast<unsigned long>(n);
  if (::wcsnlen(m_pszBuffer, cut) != cut) return;  // n beyond the length
  if (m_pszBuffer[cut] == 0) return;
  m_pszBuffer[cut] = 0;
  __Ajuste();
}

void CTString::TronqueDebut(long n) {
  if (m_pszBuffer == nullptr || n <= 0) return;
  const unsigned long len = std::wcslen(m_pszBuffer);
  if (static_cast<unsigned long>(n) > len) return;
  __bRemplaceZone(len, 0, static_cast<unsigned long>(n), nullptr, 0);
}

void CTString::Coupe(long pos, long n) {
  const unsigned long len = Longueur(m_pszBuffer);
  if (pos < 0 || n <= 0 || static_cast<unsigned long>(pos) > len) return;
  const auto at = static_cast<unsigned long>(pos);
  __bRemplaceZone(len, at, std::min(static_cast<unsigned long>(n), len - at), nullptr, 0);
}

void CTString::SansEspace() {
  if (m_pszBuffer == nullptr) return;
  unsigned long len = std::wcslen(m_pszBuffer);
  const unsigned long before = len;
  while (len > 0 && m_pszBuffer[len - 1] == L' ') --len;
  if (len == before) return;
  m_pszBuffer[len] = 0;
  __Ajuste();
}

void CTString::Trim() {
  if (m_pszBuffer == nullptr) return;
  STR_SuppressSideSpaces(m_pszBuffer);
  __Ajuste();
}

void CTString::Trim(wchar_t c) {
  if (m_pszBuffer == nullptr) return;
  STR_SuppressSideCar(m_pszBuffer, c);
  __Ajuste();
}

void CTString::RTrim(wchar_t c) {
  if (m_pszBuffer == nullptr) return;
  STR_SuppressRightCar(m_pszBuffer, c);
  __Ajuste();
}

void CTString::LTrim(wchar_t c) {
  if (m_pszBuffer == nullptr) return;
  STR_SuppressLeftCar(m_pszBuffer, c);
  __Ajuste();
}

void CTString::Majuscule() {
  if (m_pszBuffer != nullptr) STR_ToUpper(m_pszBuffer);
}

void CTString::Minuscule() {
  if (m_pszBuffer != nullptr) STR_ToLower(m_pszBuffer);
}

void CTString::SansAccent() {
  if (m_pszBuffer == nullptr) return;
  for (wchar_t* p = m_pszBuffer; *p != 0; ++p) {
    wchar_t mapped = 0;
    // A character the locale maps to nothing stays as it was.
    if (STR_nMapCharEx(STR_FLAG_NOACCENT, &mapped, *p) > 0 && mapped != 0) *p = mapped;
  }
}

void CTString::MapStringEx(unsigned flags) {
  if (m_pszBuffer == nullptr || *m_pszBuffer == 0) return;
  // Mapping may lengthen the text: size it, then map into a new buffer.
  const int size = STR_nGetMapStringLenEx(flags, m_pszBuffer, -1);
  if (size < 1) return;
  auto* buffer =
      static_cast<wchar_t*>(std::malloc(static_cast<std::size_t>(size) * sizeof(wchar_t)));
  if (buffer == nullptr) return;
  STR_nMapStringEx(flags, buffer, size, m_pszBuffer, -1);
  __Adopte(buffer);
  __Ajuste();
}

void CTString::Renverse() {
  if (m_pszBuffer == nullptr) return;
  std::reverse(m_pszBuffer, m_pszBuffer + std::wcslen(m_pszBuffer));
}

void CTString::Complete(long n, wchar_t c) {
  if (n < 0) return;
  const unsigned long len = Longueur(m_pszBuffer);
  const auto size = static_cast<unsigned long>(n);
  if (size == len && m_pszBuffer != nullptr) return;
  if (!__bResize(size)) return;
  for (unsigned long i = len; i < size; ++i) m_pszBuffer[i] = c;
  m_pszBuffer[size] = 0;
}

void CTString::Ellipse(const wchar_t* text, unsigned long max, eELLIPSISPOSITION where) {
  const unsigned long len = Longueur(text);
  if (len == 0) {
    Vide();
    return;
  }
  if (max >= len) {
    Set(text);
    return;
  }
  if (max < 3) {
    Vide();
    return;
  }
  const unsigned long keep = max - 3;
  switch (where) {
    case ELLIPSIS_FIN: {
      const stMorceau runs[2] = {{text, keep}, {g_szPoints, 3}};
      __bAssemble(runs, 2);
      return;
    }
    case ELLIPSIS_MILIEU: {
      const unsigned long tail = (max - 2) / 2;
      const stMorceau runs[3] = {{text, keep / 2}, {g_szPoints, 3}, {text + len - tail, tail}};
      __bAssemble(runs, 3);
      return;
    }
    case ELLIPSIS_DEBUT: {
      const stMorceau runs[2] = {{g_szPoints, 3}, {text + len - keep, keep}};
      __bAssemble(runs, 2);
      return;
    }
  }
  Vide();
}
