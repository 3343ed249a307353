#include "IntegerText.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace kxvalues {

namespace {

// 2^64 - 1 has 20 digits: a longer text (leading zeros included) is left to
// the cast.
constexpr std::size_t knMaxDigits = 20;

struct STRange {
  std::size_t nSize;
  bool bSigned;
  std::uint64_t nMaxPositive;  // largest magnitude of a value >= 0
};

bool bRangeOf(unsigned wCode, STRange* pst) {
  switch (wCode) {
    case 2: *pst = {1, false, std::numeric_limits<std::uint8_t>::max()}; return true;
    case 3: *pst = {2, false, std::numeric_limits<std::uint16_t>::max()}; return true;
    case 4: *pst = {4, false, std::numeric_limits<std::uint32_t>::max()}; return true;
    case 5:
    case 14: *pst = {8, false, std::numeric_limits<std::uint64_t>::max()}; return true;
    case 6: *pst = {1, true, static_cast<std::uint64_t>(std::numeric_limits<std::int8_t>::max())}; return true;
    case 7: *pst = {2, true, static_cast<std::uint64_t>(std::numeric_limits<std::int16_t>::max())}; return true;
    case 8: *pst = {4, true, static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())}; return true;
    case 9: *pst = {8, true, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())}; return true;
    default: return false;
  }
}

template <typename T>
void Put(void* pTarget, T v) {
  std::memcpy(pTarget, &v, sizeof v);
}

template <typename C>
bool bRead(const C* text, std::size_t n, unsigned wCode, void* pTarget) {
  STRange st;
  if (text == nullptr || n == 0 || !bRangeOf(wCode, &st)) return false;
  std::size_t i = 0;
  const bool bNegative = text[0] == C('-');
  if (bNegative) i = 1;
  if (i == n || n - i > knMaxDigits) return false;
  std::uint64_t u = 0;
  for (; i < n; ++i) {
    const C c = text[i];
    if (c < C('0') || c > C('9')) return false;
    const auto d = static_cast<std::uint64_t>(c - C('0'));
    if (u > (std::numeric_limits<std::uint64_t>::max() - d) / 10) return false;
    u = u * 10 + d;
  }
  // A negative value reaches one further than the positive maximum for a
  // signed type; an unsigned type takes only -0.
  const std::uint64_t nLimit = !bNegative ? st.nMaxPositive : st.bSigned ? st.nMaxPositive + 1 : 0;
  if (u > nLimit) return false;
  // Two's complement of the magnitude; the narrowing keeps the low bytes.
  const std::uint64_t nBits = bNegative ? 0 - u : u;
  switch (st.nSize) {
    case 1: Put(pTarget, static_cast<std::uint8_t>(nBits)); break;
    case 2: Put(pTarget, static_cast<std::uint16_t>(nBits)); break;
    case 4: Put(pTarget, static_cast<std::uint32_t>(nBits)); break;
    default: Put(pTarget, nBits); break;
  }
  return true;
}

}  // namespace

std::size_t nPlainIntegerSize(unsigned wCode) {
  STRange st;
  return bRangeOf(wCode, &st) ? st.nSize : 0;
}

bool bReadPlainInteger(const char* text, std::size_t n, unsigned wCode, void* pTarget) {
  return bRead(text, n, wCode, pTarget);
}

bool bReadPlainInteger(const wchar_t* text, std::size_t n, unsigned wCode, void* pTarget) {
  return bRead(text, n, wCode, pTarget);
}

}  // namespace kxvalues
