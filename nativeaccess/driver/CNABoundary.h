// The boundary guard: the one place where an exception stops on its way out
// of the library.
//
// The runtime calls the library as C code does: an exception that leaves an
// exported function or an interface slot ends the runtime's process, and the
// caller's own check ("null means out of memory") never runs. Every exported
// function and every slot the runtime calls therefore runs its work through
// NA_tBoundary (or NA_Boundary for a slot without a result):
// - with NA_BOUNDARY_LOCK the process-wide recursive lock (CNADriverLock) is
//   held for the whole call, the handler included, so that the error object
//   is written under the same lock as the work; with NA_BOUNDARY_RESET the
//   error object is then reset before the work (the two together are the
//   discipline of a driver entry: NA_BOUNDARY_ENTRY);
// - an exception out of the work is caught whatever it is: a CTString (the
//   client library's placeholder for a function it lacks throws its name)
//   adds user error 37 with that text to `error`, as the client-call guard
//   does; anything else (std::bad_alloc from a standard string or container,
//   or an exception of unknown kind) makes the out-of-memory error the
//   error's main error;
// - the answer is then `failure` (nothing for the void form).
// `error` may be null: the exception is then only stopped. The guard itself
// never throws. Objects the work had made and not yet handed over must be
// held by owners that give them back on unwinding; the guard frees nothing.
#pragma once

#include <utility>

#include "CNADriverLock.h"

class CNAError;

enum eNA_BOUNDARY : unsigned int {
  NA_BOUNDARY_CATCH = 0,  // only the catching (the caller holds what it needs)
  NA_BOUNDARY_LOCK = 1,   // the process-wide lock around the call
  NA_BOUNDARY_RESET = 2,  // the error object reset before the work
  NA_BOUNDARY_ENTRY = NA_BOUNDARY_LOCK | NA_BOUNDARY_RESET,
};

// Records the exception being handled in `error` as described above. Only
// to be called from inside a handler. Never throws.
void NA_ReportBoundaryException(CNAError* error) noexcept;
// Resets `error` (nothing when null).
void NA_ResetBoundaryError(CNAError* error) noexcept;

namespace na_boundary {

// The lock of a guarded call: taken when asked for (and when the lock
// exists), given back when the call is done.
class CHeldLock {
 public:
  explicit CHeldLock(unsigned int flags)
      : m_bLocked((flags & NA_BOUNDARY_LOCK) != 0 && CNADriverLock::s_bLock()) {}
  ~CHeldLock() {
    if (m_bLocked) CNADriverLock::s_Unlock();
  }
  CHeldLock(const CHeldLock&) = delete;
  CHeldLock& operator=(const CHeldLock&) = delete;

 private:
  bool m_bLocked;
};

}  // namespace na_boundary

// Runs `release` when its scope ends, however it ends (an exception
// included): the reference a lookup handed to an entry goes back even when
// the entry's work throws.
template <typename F>
class CNAOnExit {
 public:
  explicit CNAOnExit(F release) : m_release(std::move(release)) {}
  ~CNAOnExit() { m_release(); }
  CNAOnExit(const CNAOnExit&) = delete;
  CNAOnExit& operator=(const CNAOnExit&) = delete;

 private:
  F m_release;
};

// Runs work() and answers its result; `failure` when it threw.
template <typename R, typename F>
R NA_tBoundary(CNAError* error, unsigned int flags, R failure, F&& work) noexcept {
  const na_boundary::CHeldLock clLock(flags);
  try {
    if ((flags & NA_BOUNDARY_RESET) != 0) NA_ResetBoundaryError(error);
    return std::forward<F>(work)();
  } catch (...) {
    NA_ReportBoundaryException(error);
  }
  return failure;
}

// The same for a slot without a result.
template <typename F>
void NA_Boundary(CNAError* error, unsigned int flags, F&& work) noexcept {
  const na_boundary::CHeldLock clLock(flags);
  try {
    if ((flags & NA_BOUNDARY_RESET) != 0) NA_ResetBoundaryError(error);
    std::forward<F>(work)();
  } catch (...) {
    NA_ReportBoundaryException(error);
  }
}
