// Root tests: they skip themselves when not run as root, except where the
// run demands them (KX_REQUIRE_ROOT=1, as CI sets it): there a root test that
// cannot run fails, so a green run always means they ran.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace kxtest {

inline bool bRootRequired() {
  const char* value = std::getenv("KX_REQUIRE_ROOT");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace kxtest

// In a test body (or a fixture's SetUp): skips, or fails under
// KX_REQUIRE_ROOT=1, unless the effective user is root.
#define KX_NEED_ROOT(why)                                                  \
  do {                                                                     \
    if (::geteuid() != 0) {                                                \
      if (::kxtest::bRootRequired()) FAIL() << (why) << ", and this run requires root tests"; \
      GTEST_SKIP() << (why);                                               \
    }                                                                      \
  } while (0)
