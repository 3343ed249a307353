// Bounded copy and concatenation, and heap strings: creation, resizing,
// replacement and deletion.

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "StrFunctions.h"
#include "XMalloc.h"

namespace {

std::size_t Length(const char* s) { return s != nullptr ? std::strlen(s) : 0; }
std::size_t Length(const wchar_t* s) { return s != nullptr ? std::wcslen(s) : 0; }
std::size_t BoundedLength(const char* s, std::size_t max) { return strnlen(s, max); }
std::size_t BoundedLength(const wchar_t* s, std::size_t max) { return wcsnlen(s, max); }

// A block for n + 1 units, its first unit a NUL; null when n is negative or
// the byte count does not fit.
template <typename T>
T* Allocate(long n) {
  if (n < 0) return nullptr;
  const std::size_t units = static_cast<std::size_t>(n);
  if (units > SIZE_MAX / sizeof(T) - 1) return nullptr;
  T* p = static_cast<T*>(XMALLOC_pNew_((units + 1) * sizeof(T)));
  if (p != nullptr) p[0] = 0;
  return p;
}

template <typename T>
long Copy(T* dst, unsigned long dstSize, const T* src, long n) {
  if (dst == nullptr || dstSize == 0) return 0;
  std::size_t limit = dstSize - 1;
  if (n >= 0 && static_cast<unsigned long>(n) < limit) limit = static_cast<std::size_t>(n);
  const std::size_t length = src != nullptr ? BoundedLength(src, limit) : 0;
  // The source may lie inside the destination.
  if (length > 0) std::memmove(dst, src, length * sizeof(T));
  dst[length] = 0;
  return static_cast<long>(length);
}

template <typename T>
long Cat(T* dst, unsigned long dstSize, const T* src, long n) {
  if (dst == nullptr || dstSize == 0) return 0;
  const std::size_t length = BoundedLength(dst, dstSize);
  if (length + 1 >= dstSize) return 0;  // full, or no NUL inside the buffer
  return Copy(dst + length, dstSize - length, src, n);
}

template <typename T>
T* Duplicate(const T* text) {
  if (text == nullptr) return nullptr;
  const std::size_t length = Length(text);
  T* p = Allocate<T>(static_cast<long>(length));
  if (p != nullptr) std::memcpy(p, text, (length + 1) * sizeof(T));
  return p;
}

template <typename T>
T* Join(const T* const* parts, int count) {
  std::size_t lengths[3];
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) {
    lengths[i] = Length(parts[i]);
    total += lengths[i];
  }
  T* p = Allocate<T>(static_cast<long>(total));
  if (p == nullptr) return nullptr;
  T* q = p;
  for (int i = 0; i < count; ++i) {
    if (lengths[i] > 0) std::memcpy(q, parts[i], lengths[i] * sizeof(T));
    q += lengths[i];
  }
  *q = 0;
  return p;
}

wchar_t* PrefixW(long n, const wchar_t* text) {
  wchar_t* p = Allocate<wchar_t>(n);
  if (p == nullptr) return nullptr;
  std::wcsncpy(p, text != nullptr ? text : L"", static_cast<std::size_t>(n));
  p[n] = 0;
  return p;
}

char* PrefixA(long n, const char* text) {
  char* p = Allocate<char>(n);
  if (p == nullptr) return nullptr;
  std::strncpy(p, text != nullptr ? text : "", static_cast<std::size_t>(n));
  p[n] = 0;
  return p;
}

// A wide character read from an address that may not be aligned to 4 bytes.
wchar_t LoadUnaligned(const wchar_t* text, std::size_t index) {
  wchar_t c;
  std::memcpy(&c, reinterpret_cast<const char*>(text) + index * sizeof(wchar_t), sizeof c);
  return c;
}

bool IsAligned(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) % alignof(wchar_t) == 0;
}

}  // namespace

long STR_nCopyW(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n) {
  return Copy(dst, dstSize, src, n);
}
long STR_nCopy(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n) {
  return Copy(dst, dstSize, src, n);
}
long STR_nCopyA(char* dst, unsigned long dstSize, const char* src, long n) {
  return Copy(dst, dstSize, src, n);
}

long STR_nCatW(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n) {
  return Cat(dst, dstSize, src, n);
}
long STR_nCat(wchar_t* dst, unsigned long dstSize, const wchar_t* src, long n) {
  return Cat(dst, dstSize, src, n);
}
long STR_nCatA(char* dst, unsigned long dstSize, const char* src, long n) {
  return Cat(dst, dstSize, src, n);
}

long STR_nCut(char* dst, unsigned long dstSize, const char* src) {
  return Copy(dst, dstSize, src, -1);
}
long STR_nCut(wchar_t* dst, unsigned long dstSize, const wchar_t* src) {
  return Copy(dst, dstSize, src, -1);
}
long STR_nCatCut(wchar_t* dst, unsigned long dstSize, const wchar_t* src) {
  return Cat(dst, dstSize, src, -1);
}

template <typename T>
T* STRG_pszCreate(long n) {
  return Allocate<T>(n);
}

// The two forms the platform's runtime may call by their C++ names.
template __attribute__((visibility("default"))) wchar_t* STRG_pszCreate<wchar_t>(long n);
template __attribute__((visibility("default"))) char* STRG_pszCreate<char>(long n);

wchar_t* STR_pszCreateW(long n) { return Allocate<wchar_t>(n); }
wchar_t* STR_pszCreateW(int n) { return Allocate<wchar_t>(n); }
wchar_t* STR_pszCreate(long n) { return Allocate<wchar_t>(n); }
wchar_t* STR_pszCreate(int n) { return Allocate<wchar_t>(n); }
char* STR_pszCreateA(long n) { return Allocate<char>(n); }
char* STR_pszCreateA(int n) { return Allocate<char>(n); }

wchar_t* STR_pszCreateW(const wchar_t* text) { return Duplicate(text); }
wchar_t* STR_pszCreate(const wchar_t* text) { return Duplicate(text); }
char* STR_pszCreateA(const char* text) { return Duplicate(text); }

wchar_t* STR_pszCreateW(const wchar_t* a, const wchar_t* b) {
  const wchar_t* parts[2] = {a, b};
  return Join(parts, 2);
}

char* STR_pszCreateA(const char* a, const char* b) {
  const char* parts[2] = {a, b};
  return Join(parts, 2);
}

wchar_t* STR_pszCreateW(long n, const wchar_t* text) { return PrefixW(n, text); }
wchar_t* STR_pszCreateW(int n, const wchar_t* text) { return PrefixW(n, text); }
wchar_t* STR_pszCreate(long n, const wchar_t* text) { return PrefixW(n, text); }
wchar_t* STR_pszCreate(int n, const wchar_t* text) { return PrefixW(n, text); }
char* STR_pszCreateA(long n, const char* text) { return PrefixA(n, text); }
char* STR_pszCreateA(int n, const char* text) { return PrefixA(n, text); }

wchar_t* STR_pszCreateW_UNALIGNED(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  if (IsAligned(text)) return Duplicate(text);
  std::size_t length = 0;
  while (LoadUnaligned(text, length) != 0) ++length;
  wchar_t* p = Allocate<wchar_t>(static_cast<long>(length));
  if (p == nullptr) return nullptr;
  for (std::size_t i = 0; i < length; ++i) p[i] = LoadUnaligned(text, i);
  p[length] = 0;
  return p;
}

wchar_t* STR_pszCreateW_UNALIGNED(long n, const wchar_t* text) {
  if (text == nullptr || IsAligned(text)) return PrefixW(n, text);
  wchar_t* p = Allocate<wchar_t>(n);
  if (p == nullptr) return nullptr;
  long i = 0;
  for (; i < n; ++i) {
    p[i] = LoadUnaligned(text, static_cast<std::size_t>(i));
    if (p[i] == 0) break;
  }
  for (; i <= n; ++i) p[i] = 0;
  return p;
}

wchar_t* STR_pszConcat(const wchar_t* a, const wchar_t* b, const wchar_t* c) {
  const wchar_t* parts[3] = {a, b, c};
  return Join(parts, 3);
}

wchar_t* STR_pszConcatPoint(const wchar_t* a, const wchar_t* b) {
  const wchar_t* parts[3] = {a, L".", b};
  return Join(parts, 3);
}

bool STR_bRedefine(wchar_t** p, const wchar_t* text) {
  wchar_t* copy = nullptr;
  if (text != nullptr) {
    copy = Duplicate(text);
    if (copy == nullptr) return false;
  }
  STR_Delete(*p);
  *p = copy;
  return true;
}

bool STR_bResizeW(wchar_t** p, long n) {
  if (n < 0 || static_cast<std::size_t>(n) > SIZE_MAX / sizeof(wchar_t)) return false;
  void* resized = XMALLOC_pResize_(*p, static_cast<std::size_t>(n) * sizeof(wchar_t));
  if (resized == nullptr) return false;
  *p = static_cast<wchar_t*>(resized);
  return true;
}

bool STR_bResizeA(char** p, long n) {
  if (n < 0) return false;
  void* resized = XMALLOC_pResize_(*p, static_cast<std::size_t>(n));
  if (resized == nullptr) return false;
  *p = static_cast<char*>(resized);
  return true;
}

void STR_Delete(void* p) {
  if (p != nullptr) XMALLOC_Del_(p);
}
void STR_DeleteW(wchar_t* p) { STR_Delete(p); }
void STR_DeleteA(char* p) { STR_Delete(p); }

wchar_t* STR_RemplaceW(const wchar_t* text, const wchar_t* find, const wchar_t* repl) {
  if (text == nullptr || *text == 0 || find == nullptr || *find == 0) return nullptr;
  const std::size_t findLength = std::wcslen(find);
  const std::size_t replLength = Length(repl);
  std::size_t count = 0;
  for (const wchar_t* p = std::wcsstr(text, find); p != nullptr;
       p = std::wcsstr(p + findLength, find)) {
    ++count;
  }
  const std::size_t length = std::wcslen(text) - count * findLength + count * replLength;
  wchar_t* out = Allocate<wchar_t>(static_cast<long>(length));
  if (out == nullptr) return nullptr;
  wchar_t* q = out;
  const wchar_t* from = text;
  for (const wchar_t* p = std::wcsstr(from, find); p != nullptr; p = std::wcsstr(from, find)) {
    const std::size_t before = static_cast<std::size_t>(p - from);
    std::memcpy(q, from, before * sizeof(wchar_t));
    q += before;
    if (replLength > 0) std::memcpy(q, repl, replLength * sizeof(wchar_t));
    q += replLength;
    from = p + findLength;
  }
  const std::size_t rest = std::wcslen(from);
  std::memcpy(q, from, (rest + 1) * sizeof(wchar_t));
  return out;
}
