// Typed values (CAny) the tests search, filter and store with: an I4, a
// NULL, an 8-bit dynamic text and a wide (UTF-32) dynamic text. Each is a
// new value owned by the caller.
//
// Hosted only: the texts need the stand-in runtime's string allocator.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "CAny.h"

namespace kxtest {

inline CAny Int(int n) {
  CAny v;
  v.SetI4(n);
  return v;
}

// A NULL I4.
inline CAny Null() {
  CAny v;
  v.SetI4(0);
  v.SetNull(true);
  return v;
}

// The `n` bytes at `s` (NULs included) as an 8-bit text.
inline CAny Ansi(const char* s, std::size_t n) {
  CAny v;
  v.__SetType(ANY_DSTRA, 0);
  v.SetValue(s, n);
  return v;
}
inline CAny Ansi(const char* s) { return Ansi(s, std::strlen(s)); }

inline CAny Wide(const std::wstring& s) {
  CAny v;
  v.__SetType(ANY_DSTRW, 0);
  v.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
  return v;
}

}  // namespace kxtest
