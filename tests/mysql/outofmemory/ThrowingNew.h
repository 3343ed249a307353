// Shortages of the global operator new for the out-of-memory tests of the
// library's boundary. The program that links ThrowingNew.cpp replaces every
// form of the global operator new: while a ThrowingNew is alive on the
// calling thread, allocations are counted, and from the Nth on the throwing
// forms throw std::bad_alloc and the nothrow forms answer null. Outside such
// a scope (and on other threads) allocation is plain malloc.
//
// Because it replaces the global operator new, it belongs in a test program
// of its own.
#pragma once

class ThrowingNew {
 public:
  // The first `nSucceed` allocations of the scope succeed, every later one
  // fails.
  explicit ThrowingNew(long nSucceed);
  ~ThrowingNew();
  ThrowingNew(const ThrowingNew&) = delete;
  ThrowingNew& operator=(const ThrowingNew&) = delete;
  // Allocations asked in the scope so far, and how many failed.
  long nAsked() const;
  long nRefused() const;
};

// Suspends the failing for its own lifetime (for code of the test's stand-in
// platform that the library calls: its shortages are not the library's).
class ThrowingNewPause {
 public:
  ThrowingNewPause();
  ~ThrowingNewPause();
  ThrowingNewPause(const ThrowingNewPause&) = delete;
  ThrowingNewPause& operator=(const ThrowingNewPause&) = delete;

 private:
  bool m_bWasArmed;
};
