#include "TestRuntimeObjects.h"

#include <cstdlib>

namespace kxtest {

namespace {
constexpr unsigned int knObjects = 64;
}  // namespace

TestContext* FakeContext(unsigned int n) {
  static TestContext s_tContexts[knObjects];
  static const bool s_bNumbered = [] {
    for (unsigned int i = 0; i < knObjects; ++i) s_tContexts[i].nNumber = s_tContexts[i].nDataNumber = 0x1000 + 16 * i;
    return true;
  }();
  (void)s_bNumbered;
  if (n >= knObjects) std::abort();
  return &s_tContexts[n];
}

TestSource* FakeSource(unsigned int n) {
  static TestSource s_tSources[knObjects];
  if (n >= knObjects) std::abort();
  return &s_tSources[n];
}

}  // namespace kxtest
