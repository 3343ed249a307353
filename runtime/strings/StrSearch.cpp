// Searching, bounded lengths, padding and trimming of NUL-terminated strings.

#include <cctype>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <strings.h>

#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

std::size_t Length(const char* s) { return std::strlen(s); }
std::size_t Length(const wchar_t* s) { return std::wcslen(s); }
std::size_t BoundedLength(const char* s, std::size_t max) { return strnlen(s, max); }
std::size_t BoundedLength(const wchar_t* s, std::size_t max) { return wcsnlen(s, max); }

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsSpace(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

// First occurrence of t (non-empty, tLength units) starting within the first
// n - tLength + 1 positions of s; `equal` compares tLength units and stops at
// a difference, s's NUL included.
template <typename T, typename Equal>
T* SearchWithin(const T* s, const T* t, long n, Equal equal) {
  if (s == nullptr) return nullptr;
  if (t == nullptr || *t == 0) return const_cast<T*>(s);
  const std::size_t tLength = Length(t);
  if (n < 0 || tLength > static_cast<std::size_t>(n)) return nullptr;
  const std::size_t last = static_cast<std::size_t>(n) - tLength;
  for (std::size_t i = 0; i <= last && s[i] != 0; ++i) {
    if (equal(s + i, t, tLength)) return const_cast<T*>(s + i);
  }
  return nullptr;
}

template <typename T>
T* LastOccurrence(const T* s, long from, const T* t) {
  if (s == nullptr || t == nullptr || from < 0) return nullptr;
  const std::size_t sLength = Length(s);
  const std::size_t tLength = Length(t);
  if (tLength > sLength) return nullptr;
  std::size_t i = sLength - tLength;
  if (static_cast<std::size_t>(from) < i) i = static_cast<std::size_t>(from);
  for (;; --i) {
    if (std::memcmp(s + i, t, tLength * sizeof(T)) == 0) return const_cast<T*>(s + i);
    if (i == 0) return nullptr;
  }
}

template <typename T>
T* LastChar(const T* s, long from, T c) {
  if (s == nullptr || from < 0) return nullptr;
  std::size_t i = Length(s);  // the NUL itself can be searched for
  if (static_cast<std::size_t>(from) < i) i = static_cast<std::size_t>(from);
  for (;; --i) {
    if (s[i] == c) return const_cast<T*>(s + i);
    if (i == 0) return nullptr;
  }
}

template <typename T>
void Complete(T* s, long size, T c) {
  if (s == nullptr || size < 1) return;
  const std::size_t end = static_cast<std::size_t>(size) - 1;
  for (std::size_t i = BoundedLength(s, end); i < end; ++i) s[i] = c;
  s[end] = 0;
}

template <typename T, typename Test>
T* TrimRight(T* s, Test test) {
  if (s == nullptr) return s;
  std::size_t length = Length(s);
  while (length > 0 && test(s[length - 1])) --length;
  s[length] = 0;
  return s;
}

template <typename T, typename Test>
T* TrimLeft(T* s, Test test) {
  if (s == nullptr) return s;
  std::size_t skip = 0;
  while (s[skip] != 0 && test(s[skip])) ++skip;
  if (skip > 0) std::memmove(s, s + skip, (Length(s + skip) + 1) * sizeof(T));
  return s;
}

template <typename T>
T* RemoveAllSpaces(T* s) {
  if (s == nullptr) return s;
  T* out = s;
  for (const T* p = s; *p != 0; ++p) {
    if (!IsSpace(*p)) *out++ = *p;
  }
  *out = 0;
  return s;
}

}  // namespace

wchar_t* STR_pszStrnstr(const wchar_t* s, const wchar_t* t, long n) {
  return SearchWithin(s, t, n, [](const wchar_t* a, const wchar_t* b, std::size_t k) {
    return std::wcsncmp(a, b, k) == 0;
  });
}

char* STR_strnstrA(const char* s, const char* t, long n) {
  return SearchWithin(s, t, n, [](const char* a, const char* b, std::size_t k) {
    return std::strncmp(a, b, k) == 0;
  });
}

char* STR_strnistrA(const char* s, const char* t, long n) {
  return SearchWithin(s, t, n, [](const char* a, const char* b, std::size_t k) {
    return strncasecmp(a, b, k) == 0;
  });
}

wchar_t* STR_StrIStr(const wchar_t* s, const wchar_t* t) {
  if (s == nullptr) return nullptr;
  if (t == nullptr || *t == 0) return const_cast<wchar_t*>(s);
  const std::size_t tLength = std::wcslen(t);
  for (const wchar_t* p = s; *p != 0; ++p) {
    if (wcsncasecmp(p, t, tLength) == 0) return const_cast<wchar_t*>(p);
  }
  return nullptr;
}

wchar_t* STR_pszUpStrstr(const wchar_t* s, const wchar_t* t) {
  if (s == nullptr) return nullptr;
  if (t == nullptr || *t == 0) return const_cast<wchar_t*>(s);
  const std::size_t sLength = std::wcslen(s);
  const std::size_t tLength = std::wcslen(t);
  if (tLength > sLength) return nullptr;
  // Each character is mapped once; the search then runs on the mapped forms.
  wchar_t* mapped = static_cast<wchar_t*>(XMALLOC_pNew_((sLength + tLength) * sizeof(wchar_t)));
  if (mapped == nullptr) return nullptr;
  wchar_t* ms = mapped;
  wchar_t* mt = mapped + sLength;
  for (std::size_t i = 0; i < sLength; ++i) STR_nMapCharEx(STR_FLAG_UPPER, &ms[i], s[i]);
  for (std::size_t i = 0; i < tLength; ++i) STR_nMapCharEx(STR_FLAG_UPPER, &mt[i], t[i]);
  const wchar_t* found = nullptr;
  for (std::size_t i = 0; i + tLength <= sLength && found == nullptr; ++i) {
    if (std::wmemcmp(ms + i, mt, tLength) == 0) found = s + i;
  }
  XMALLOC_Del_(mapped);
  return const_cast<wchar_t*>(found);
}

wchar_t* STRRSTRW(const wchar_t* s, long from, const wchar_t* t) { return LastOccurrence(s, from, t); }
wchar_t* STRRSTR(const wchar_t* s, long from, const wchar_t* t) { return LastOccurrence(s, from, t); }
char* STRRSTRA(const char* s, long from, const char* t) { return LastOccurrence(s, from, t); }

wchar_t* STRRPBRK(const wchar_t* s, const wchar_t* set) {
  if (s == nullptr || set == nullptr || *set == 0) return nullptr;
  for (std::size_t i = std::wcslen(s); i > 0; --i) {
    if (std::wcschr(set, s[i - 1]) != nullptr) return const_cast<wchar_t*>(s + i - 1);
  }
  return nullptr;
}

char* strrchr(const char* s, long from, int c) { return LastChar(s, from, static_cast<char>(c)); }
wchar_t* wcsrchr(const wchar_t* s, long from, wchar_t c) { return LastChar(s, from, c); }

long STR_nLenA(const char* s, long max) {
  if (s == nullptr || max < 1) return 0;
  return static_cast<long>(strnlen(s, static_cast<std::size_t>(max)));
}

long STR_nLenW(const wchar_t* s, long max) {
  if (s == nullptr || max < 1) return 0;
  return static_cast<long>(wcsnlen(s, static_cast<std::size_t>(max)));
}

long STR_nLen(const wchar_t* s, long max) { return STR_nLenW(s, max); }

void STR_Complete(char* s, long size, char c) { Complete(s, size, c); }
void STR_Complete(wchar_t* s, long size, wchar_t c) { Complete(s, size, c); }

char* STR_SuppressRightCar(char* s, char c) {
  return TrimRight(s, [c](char x) { return x == c; });
}
wchar_t* STR_SuppressRightCar(wchar_t* s, wchar_t c) {
  return TrimRight(s, [c](wchar_t x) { return x == c; });
}
char* STR_SuppressLeftCar(char* s, char c) {
  return TrimLeft(s, [c](char x) { return x == c; });
}
wchar_t* STR_SuppressLeftCar(wchar_t* s, wchar_t c) {
  return TrimLeft(s, [c](wchar_t x) { return x == c; });
}
wchar_t* STR_SuppressSideCar(wchar_t* s, wchar_t c) {
  return STR_SuppressLeftCar(STR_SuppressRightCar(s, c), c);
}

char* STR_SuppressRightSpaces(char* s) { return TrimRight(s, [](char x) { return IsSpace(x); }); }
wchar_t* STR_SuppressRightSpaces(wchar_t* s) {
  return TrimRight(s, [](wchar_t x) { return IsSpace(x); });
}
char* STR_SuppressLeftSpaces(char* s) { return TrimLeft(s, [](char x) { return IsSpace(x); }); }
wchar_t* STR_SuppressLeftSpaces(wchar_t* s) {
  return TrimLeft(s, [](wchar_t x) { return IsSpace(x); });
}
char* STR_SuppressSideSpaces(char* s) { return STR_SuppressLeftSpaces(STR_SuppressRightSpaces(s)); }
wchar_t* STR_SuppressSideSpaces(wchar_t* s) {
  return STR_SuppressLeftSpaces(STR_SuppressRightSpaces(s));
}
char* STR_SuppressAllSpacesA(char* s) { return RemoveAllSpaces(s); }
wchar_t* STR_SuppressAllSpacesW(wchar_t* s) { return RemoveAllSpaces(s); }
