// Shortages of the nothrow operator new in tests, without a hook in the
// production code: the runtime's test programs are linked with
// --wrap=_ZnwmRKSt9nothrow_t, so every `new (std::nothrow)` of the code under
// test goes through a wrapper that fails while a FailingNothrowNew is alive
// on the calling thread.
#pragma once

class FailingNothrowNew {
 public:
  // The next `nSkip` nothrow allocations succeed, every later one fails.
  explicit FailingNothrowNew(int nSkip = 0);
  ~FailingNothrowNew();
  FailingNothrowNew(const FailingNothrowNew&) = delete;
  FailingNothrowNew& operator=(const FailingNothrowNew&) = delete;
  // How many allocations were refused.
  int nRefused() const;
};
