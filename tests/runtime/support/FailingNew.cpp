#include "support/FailingNew.h"

#include <cstddef>
#include <new>

namespace {
thread_local bool t_bActive = false;
thread_local int t_nSkip = 0;
thread_local int t_nRefused = 0;
}  // namespace

extern "C" void* __real__ZnwmRKSt9nothrow_t(std::size_t n, const std::nothrow_t& tag);

extern "C" void* __wrap__ZnwmRKSt9nothrow_t(std::size_t n, const std::nothrow_t& tag) {
  if (t_bActive) {
    if (t_nSkip == 0) {
      ++t_nRefused;
      return nullptr;
    }
    --t_nSkip;
  }
  return __real__ZnwmRKSt9nothrow_t(n, tag);
}

FailingNothrowNew::FailingNothrowNew(int nSkip) {
  t_bActive = true;
  t_nSkip = nSkip;
  t_nRefused = 0;
}

FailingNothrowNew::~FailingNothrowNew() { t_bActive = false; }

int FailingNothrowNew::nRefused() const { return t_nRefused; }
