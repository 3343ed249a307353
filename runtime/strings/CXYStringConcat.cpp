#include "CXYStringConcat.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <type_traits>
#include <utility>

#include "CodePage.h"
#include "NumberText.h"
#include "StrFunctions.h"
#include "UnicodeConversion.h"
#include "XMalloc.h"

namespace {

// The conversion functions count in int; a longer input (or one whose
// reserved output would not fit an int) converts nothing.
constexpr long kMaxConversionInput = (INT_MAX - 16) / 4;

template <typename T>
std::uint64_t Longueur(const T* text) {
  if constexpr (std::is_same_v<T, char>) {
    return std::strlen(text);
  } else {
    return std::wcslen(text);
  }
}

}  // namespace

template <typename T>
CXYStringConcat<T>::CXYStringConcat(std::uint64_t step) : m_nStep(step == 0 ? 1 : step) {}

template <typename T>
CXYStringConcat<T>::~CXYStringConcat() {
  XMALLOC_Del_(m_pData);
}

// ---- Reading ----------------------------------------------------------------

template <typename T>
const T* CXYStringConcat<T>::pszGet() const {
  static const T empty[1] = {0};
  return (m_pData == nullptr || m_nLength == 0) ? empty : m_pData;
}

template <typename T>
T CXYStringConcat<T>::cGetChar(long i) const {
  if (i < 0 || static_cast<std::uint64_t>(i) >= m_nLength) return 0;
  return m_pData[i];
}

template <typename T>
long CXYStringConcat<T>::_nFind(const T* text, std::uint64_t n, std::uint64_t from) const {
  if (text == nullptr || m_nLength == 0 || from >= m_nLength) return -1;
  if (n == 0) return static_cast<long>(from);
  if (n > m_nLength - from) return -1;
  const T* begin = m_pData;
  const T* end = begin + m_nLength;
  const T* hit = std::search(begin + from, end, text, text + n);
  return hit == end ? -1 : static_cast<long>(hit - m_pData);
}

template <typename T>
long CXYStringConcat<T>::nPos(const T* text, long from) const {
  if (text == nullptr) return -1;
  return _nFind(text, Longueur(text), from < 0 ? 0 : static_cast<std::uint64_t>(from));
}

template <typename T>
long CXYStringConcat<T>::nPos(T c, long from) const {
  if (c == 0 || m_nLength == 0) return -1;
  const std::uint64_t start = from < 0 ? 0 : static_cast<std::uint64_t>(from);
  if (start >= m_nLength) return -1;
  const T* begin = m_pData;
  const T* end = begin + m_nLength;
  const T* hit = std::find(begin + start, end, c);
  return hit == end ? -1 : static_cast<long>(hit - m_pData);
}

template <typename T>
bool CXYStringConcat<T>::bEstEgal(const T* text) const {
  if (text == nullptr) return false;
  const std::uint64_t n = Longueur(text);
  if (n != m_nLength) return false;
  return n == 0 || std::equal(text, text + n, m_pData);
}

// ---- Growth -------------------------------------------------------------------

template <typename T>
bool CXYStringConcat<T>::_AugmenteTaille(std::uint64_t needed) {
  if (needed <= m_nCapacity && (m_pData != nullptr || needed == 0)) return true;
  std::uint64_t capacity = 0;
  std::uint64_t slots = 0;
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(needed / m_nStep + 1, m_nStep, &capacity) ||
      __builtin_add_overflow(capacity, 1, &slots) ||
      __builtin_mul_overflow(slots, sizeof(T), &bytes) ||
      bytes > static_cast<std::uint64_t>(PTRDIFF_MAX)) {
    return false;
  }
  auto* block = static_cast<T*>(XMALLOC_pResize_(m_pData, bytes));
  if (block == nullptr) return false;
  if (m_pData == nullptr) block[0] = 0;
  m_pData = block;
  m_nCapacity = capacity;
  return true;
}

template <typename T>
bool CXYStringConcat<T>::_bInterne(const T* p) const {
  if (m_pData == nullptr || p == nullptr) return false;
  const auto a = reinterpret_cast<std::uintptr_t>(p);
  const auto lo = reinterpret_cast<std::uintptr_t>(m_pData);
  const auto hi = reinterpret_cast<std::uintptr_t>(m_pData + m_nCapacity);
  return a >= lo && a <= hi;
}

// ---- Appending ----------------------------------------------------------------

template <typename T>
void CXYStringConcat<T>::Add(const T* text, long n) {
  if (text == nullptr || n < 1) return;
  const auto count = static_cast<std::uint64_t>(n);
  if (count > UINT64_MAX - m_nLength) return;
  if (_bInterne(text)) {
    // The block may move: keep the source's place, not its address.
    const std::ptrdiff_t offset = text - m_pData;
    if (!_AugmenteTaille(m_nLength + count)) return;
    text = m_pData + offset;
  } else if (!_AugmenteTaille(m_nLength + count)) {
    return;
  }
  std::memmove(m_pData + m_nLength, text, count * sizeof(T));
  m_nLength += count;
  _Termine();
}

template <typename T>
void CXYStringConcat<T>::_AddAscii(const char* digits) {
  const std::uint64_t n = std::strlen(digits);
  if (n == 0 || !_AugmenteTaille(m_nLength + n)) return;
  for (std::uint64_t i = 0; i < n; ++i) {
    m_pData[m_nLength + i] = static_cast<T>(static_cast<unsigned char>(digits[i]));
  }
  m_nLength += n;
  _Termine();
}

// Reserves `reserve` units after the text and lets `convert(out, slots)`
// write there; slots counts the reserved units plus the terminator's. The
// result is kept when it is at least 1 and within the reserve.
template <typename T>
template <typename F>
void CXYStringConcat<T>::_AddConverti(std::uint64_t reserve, F convert) {
  if (reserve == 0 || reserve > UINT64_MAX - m_nLength - 1) return;
  if (!_AugmenteTaille(m_nLength + reserve)) return;
  const long written = convert(m_pData + m_nLength, static_cast<long>(reserve + 1));
  if (written > 0 && static_cast<std::uint64_t>(written) <= reserve) {
    m_nLength += static_cast<std::uint64_t>(written);
  }
  // A conversion that failed may have written over the terminator.
  _Termine();
}

template <typename T>
void CXYStringConcat<T>::AddAnsi(const char* text, long n, unsigned codePage) {
  if (text == nullptr || n < 1) return;
  if constexpr (std::is_same_v<T, char>) {
    (void)codePage;
    Add(text, n);
  } else {
    if (n > kMaxConversionInput) return;
    const int len = static_cast<int>(n);
    // Every code page gives at most one character per byte.
    const std::uint64_t before = m_nLength;
    _AddConverti(static_cast<std::uint64_t>(n), [&](void* out, long slots) -> long {
      return MultiByteToWideChar(codePage, 0, text, len, static_cast<wchar_t*>(out),
                                 static_cast<int>(slots - 1));
    });
    if (m_nLength != before) return;
    const int needed = MultiByteToWideChar(codePage, 0, text, len, nullptr, 0);
    if (needed > len) {
      _AddConverti(static_cast<std::uint64_t>(needed), [&](void* out, long slots) -> long {
        return MultiByteToWideChar(codePage, 0, text, len, static_cast<wchar_t*>(out),
                                   static_cast<int>(slots - 1));
      });
    }
  }
}

template <typename T>
void CXYStringConcat<T>::AddWide(const wchar_t* text, long n, unsigned codePage) {
  if (text == nullptr || n < 1) return;
  if constexpr (std::is_same_v<T, wchar_t>) {
    (void)codePage;
    Add(text, n);
  } else {
    if (n > kMaxConversionInput) return;
    const int len = static_cast<int>(n);
    const std::uint64_t before = m_nLength;
    const std::uint64_t guess = 4 * static_cast<std::uint64_t>(n);
    _AddConverti(guess, [&](void* out, long slots) -> long {
      return WideCharToMultiByte(codePage, 0, text, len, static_cast<char*>(out),
                                 static_cast<int>(slots - 1), nullptr, nullptr);
    });
    if (m_nLength != before) return;
    // Code pages with shift sequences may need more than 4 bytes a character.
    const int needed = WideCharToMultiByte(codePage, 0, text, len, nullptr, 0, nullptr, nullptr);
    if (needed > 0 && static_cast<std::uint64_t>(needed) > guess) {
      _AddConverti(static_cast<std::uint64_t>(needed), [&](void* out, long slots) -> long {
        return WideCharToMultiByte(codePage, 0, text, len, static_cast<char*>(out),
                                   static_cast<int>(slots - 1), nullptr, nullptr);
      });
    }
  }
}

template <typename T>
void CXYStringConcat<T>::AddAnsiToUTF8(const char* text, long n, unsigned codePage) {
  if (text == nullptr || n < 1) return;
  if constexpr (std::is_same_v<T, char>) {
    if (n > kMaxConversionInput) return;
    // MultiByteToUTF8 keeps the last of its slots for the terminator and
    // fills the rest with zeros: the terminator's slot is that last one.
    _AddConverti(4 * static_cast<std::uint64_t>(n), [&](void* out, long slots) -> long {
      return MultiByteToUTF8(codePage, text, n, static_cast<char*>(out), slots);
    });
  } else {
    (void)codePage;
    _AddFromUTF8(text, n, CP_UTF8);
  }
}

template <typename T>
long CXYStringConcat<T>::_nUTF8ToX(const char* text, long n, T* out, long capacity,
                                   unsigned codePage) {
  if (text == nullptr || out == nullptr || n < 1 || capacity < 1 || n > kMaxConversionInput) {
    return 0;
  }
  if constexpr (std::is_same_v<T, wchar_t>) {
    (void)codePage;
    const int room = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
    return MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(n), out, room);
  } else {
    if (codePage == CP_UTF8) {
      if (n > capacity - 1) return 0;
      std::memcpy(out, text, static_cast<std::size_t>(n));
      return n;
    }
    return UTF8ToMultiByte(codePage, text, n, out, capacity);
  }
}

template <typename T>
void CXYStringConcat<T>::_AddFromUTF8(const char* text, long n, unsigned codePage) {
  if (text == nullptr || n < 1) return;
  if constexpr (std::is_same_v<T, char>) {
    if (codePage == CP_UTF8) {
      Add(text, n);
      return;
    }
    if (n > kMaxConversionInput) return;
    // A character never takes more bytes in a code page than 4 per UTF-8
    // byte, shift sequences included; the slack covers a closing one.
    _AddConverti(4 * static_cast<std::uint64_t>(n) + 7, [&](void* out, long slots) -> long {
      return _nUTF8ToX(text, n, static_cast<char*>(out), slots, codePage);
    });
  } else {
    if (n > kMaxConversionInput) return;
    _AddConverti(static_cast<std::uint64_t>(n), [&](void* out, long slots) -> long {
      return _nUTF8ToX(text, n, static_cast<wchar_t*>(out), slots - 1, codePage);
    });
  }
}

template <typename T>
void CXYStringConcat<T>::_AddPrefix0(T* digits, long width) {
  if (digits == nullptr) return;
  const std::uint64_t len = Longueur(digits);
  if (width <= 0 || static_cast<std::uint64_t>(width) <= len) return;
  const std::uint64_t shift = static_cast<std::uint64_t>(width) - len;
  std::memmove(digits + shift, digits, (len + 1) * sizeof(T));
  std::fill(digits, digits + shift, static_cast<T>('0'));
}

template <typename T>
void CXYStringConcat<T>::AddNumber(long value, int width) {
  char digits[32];
  i64toa(value, digits, 10);
  const std::uint64_t len = std::strlen(digits);
  // Only a positive value shorter than the width is padded; a longer one is
  // written whole, never cut to the width.
  const bool pad = width != -1 && value >= 1 && static_cast<long>(len) < width;
  const std::uint64_t total = pad ? static_cast<std::uint64_t>(width) : len;
  if (total > UINT64_MAX - m_nLength || !_AugmenteTaille(m_nLength + total)) return;
  T* out = m_pData + m_nLength;
  for (std::uint64_t i = 0; i <= len; ++i) {
    out[i] = static_cast<T>(static_cast<unsigned char>(digits[i]));
  }
  if (pad) _AddPrefix0(out, width);
  m_nLength += total;
  _Termine();
}

template <typename T>
void CXYStringConcat<T>::AddNumber(int value, int width) {
  AddNumber(static_cast<long>(value), width);
}

template <typename T>
void CXYStringConcat<T>::AddNumberHexa(unsigned char value) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(value));
  _AddAscii(digits);
}

template <typename T>
void CXYStringConcat<T>::AddNumberHexa(unsigned short value) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(value));
  _AddAscii(digits);
}

template <typename T>
void CXYStringConcat<T>::AddNumberHexa(unsigned int value) {
  char digits[12];
  std::snprintf(digits, sizeof digits, "%08X", value);
  _AddAscii(digits);
}

template <typename T>
void CXYStringConcat<T>::AddNumberHexa(unsigned long value) {
  char digits[20];
  std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(value));
  _AddAscii(digits);
}

template <typename T>
void CXYStringConcat<T>::AddNumberBinary(unsigned char value, int mostSignificantFirst) {
  char digits[9];
  for (int i = 0; i < 8; ++i) {
    const int bit = mostSignificantFirst ? 7 - i : i;
    digits[i] = ((value >> bit) & 1) ? '1' : '0';
  }
  digits[8] = 0;
  _AddAscii(digits);
}

// ---- Changing in place ----------------------------------------------------------

template <typename T>
void CXYStringConcat<T>::SetLength(std::uint64_t n) {
  if (n >= m_nLength) return;
  m_nLength = n;
  _Termine();
}

template <typename T>
void CXYStringConcat<T>::Majuscule() {
  if (m_nLength == 0) return;
  STR_ToUpperBuff(m_pData, static_cast<long>(m_nLength));
}

template <typename T>
void CXYStringConcat<T>::_Remplace(std::uint64_t at, std::uint64_t count, const T* src,
                                   std::uint64_t n) {
  if (src == nullptr) n = 0;
  at = std::min(at, m_nLength);
  count = std::min(count, m_nLength - at);
  if (count == 0 && n == 0) return;
  if (n > 0 && _bInterne(src)) {
    // The source moves with the text: work from a copy.
    auto* copy = static_cast<T*>(XMALLOC_pNew_(n * sizeof(T)));
    if (copy == nullptr) return;
    std::memcpy(copy, src, n * sizeof(T));
    _Remplace(at, count, copy, n);
    XMALLOC_Del_(copy);
    return;
  }
  const std::uint64_t kept = m_nLength - count;
  if (n > UINT64_MAX - kept) return;
  const std::uint64_t newLength = kept + n;
  if (!_AugmenteTaille(newLength)) return;
  const std::uint64_t tail = m_nLength - at - count;
  if (tail > 0) std::memmove(m_pData + at + n, m_pData + at + count, tail * sizeof(T));
  if (n > 0) std::memcpy(m_pData + at, src, n * sizeof(T));
  m_nLength = newLength;
  _Termine();
}

template <typename T>
void CXYStringConcat<T>::_Echange(CXYStringConcat& other) {
  std::swap(m_pData, other.m_pData);
  std::swap(m_nLength, other.m_nLength);
  std::swap(m_nCapacity, other.m_nCapacity);
  std::swap(m_nStep, other.m_nStep);
}

template class CXYStringConcat<char>;
template class CXYStringConcat<wchar_t>;
