#include "StrGetLine.h"

#include <cerrno>
#include <cstdint>
#include <type_traits>

#include "XMalloc.h"

namespace {

constexpr std::size_t kLineStep = 256;

// One unit of the file, as an unsigned value; false at end of file (a
// partial unit counts as end of file).
template <typename TUnit>
bool bReadUnit(FILE* file, unsigned long* value) {
  if constexpr (sizeof(TUnit) == 1) {
    const int c = getc(file);
    if (c == EOF) return false;
    *value = static_cast<unsigned char>(c);
    return true;
  } else {
    using TRaw = std::conditional_t<sizeof(TUnit) == 2, std::uint16_t, std::uint32_t>;
    TRaw raw = 0;
    if (fread(&raw, sizeof(raw), 1, file) != 1) return false;
    *value = raw;
    return true;
  }
}

template <typename TUnit, typename TChar>
long nGetLine(TChar** ppBuffer, std::size_t* pnCapacity, FILE* file) {
  static_assert((std::is_same_v<TUnit, char> && std::is_same_v<TChar, char>) ||
                    (!std::is_same_v<TUnit, char> && std::is_same_v<TChar, wchar_t>),
                "8-bit lines go into char buffers, 16- and 32-bit lines into wchar_t buffers");
  if (ppBuffer == nullptr || pnCapacity == nullptr || file == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (*ppBuffer == nullptr) *pnCapacity = 0;
  std::size_t n = 0;
  unsigned long value = 0;
  bool bAny = false;
  while (bReadUnit<TUnit>(file, &value)) {
    bAny = true;
    // Room for this unit and the terminator.
    if (n + 2 > *pnCapacity) {
      const std::size_t nNew = *pnCapacity + kLineStep;
      void* p = XMALLOC_pResize_(*ppBuffer, nNew * sizeof(TChar));
      if (p == nullptr) {
        errno = ENOMEM;
        return -1;
      }
      *ppBuffer = static_cast<TChar*>(p);
      *pnCapacity = nNew;
    }
    (*ppBuffer)[n++] = static_cast<TChar>(value);
    if (value == '\n') break;
  }
  if (!bAny) return -1;
  (*ppBuffer)[n] = 0;
  return static_cast<long>(n);
}

}  // namespace

template <typename TUnit, typename TChar>
long STRG_nGetLine(TChar** ppBuffer, std::size_t* pnCapacity, FILE* file) {
  return nGetLine<TUnit, TChar>(ppBuffer, pnCapacity, file);
}

template <typename TUnit>
long STRG_nGetChar(FILE* file) {
  unsigned long value = 0;
  if (file == nullptr || !bReadUnit<TUnit>(file, &value)) return -1;
  return static_cast<long>(value);
}

template __attribute__((visibility("default"))) long STRG_nGetLine<char, char>(
    char** ppBuffer, std::size_t* pnCapacity, FILE* file);
template __attribute__((visibility("default"))) long STRG_nGetLine<char16_t, wchar_t>(
    wchar_t** ppBuffer, std::size_t* pnCapacity, FILE* file);
template __attribute__((visibility("default"))) long STRG_nGetLine<wchar_t, wchar_t>(
    wchar_t** ppBuffer, std::size_t* pnCapacity, FILE* file);

template __attribute__((visibility("default"))) long STRG_nGetChar<char>(FILE* file);
template __attribute__((visibility("default"))) long STRG_nGetChar<char16_t>(FILE* file);
template __attribute__((visibility("default"))) long STRG_nGetChar<wchar_t>(FILE* file);
