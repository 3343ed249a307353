// Calls an operation of an interface object by its slot number, as the
// runtime does: Slot<R>(object, n, args...) calls entry n of the object's
// table with the object and the arguments, and answers what it returns.
// For the tests that check an interface's operations sit at their slots.
//
// Needs no stand-in library.
#pragma once

namespace kxtest {

template <class R, class... A>
R Slot(void* object, int n, A... args) {
  void** table = *reinterpret_cast<void***>(object);
  using Fn = R (*)(void*, A...);
  return reinterpret_cast<Fn>(table[n])(object, args...);
}

}  // namespace kxtest
