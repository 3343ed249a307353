// SlotOf: the place of a virtual operation in its class's table, for the
// tests that pin an interface's slot order (Itanium C++ ABI: a pointer to a
// virtual member holds 1 + its byte offset in the table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kxtest {

template <class F>
std::size_t SlotOf(F pmf) {
  static_assert(sizeof(F) == 2 * sizeof(std::uintptr_t), "two-word member pointer");
  std::uintptr_t tWords[2];
  std::memcpy(tWords, &pmf, sizeof(pmf));
  return (tWords[0] - 1) / sizeof(void*);
}

}  // namespace kxtest
