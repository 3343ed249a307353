#include "support/HugeAllocation.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KX_TEST_SANITIZER_OPTIONS "ASAN_OPTIONS"
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_TEST_SANITIZER_OPTIONS "ASAN_OPTIONS"
#endif
#endif
#if !defined(KX_TEST_SANITIZER_OPTIONS) && defined(KX_TEST_TSAN)
#define KX_TEST_SANITIZER_OPTIONS "TSAN_OPTIONS"
#endif

extern char** environ;

namespace {
constexpr const char kMarque[] = "KX_HUGE_ALLOCATIONS_FAIL";
}

void RunWhereHugeAllocationsFail(const std::function<void()>& body) {
#ifndef KX_TEST_SANITIZER_OPTIONS
  body();
#else
  if (std::getenv(kMarque) != nullptr) {
    body();
    return;
  }
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  ASSERT_NE(info, nullptr);
  const std::string filtre = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();

  // The copy gets this environment, minus what would make it skip the test
  // or write over the parent's reports, plus the option and the mark.
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string var(*e);
    if (var.rfind(KX_TEST_SANITIZER_OPTIONS "=", 0) == 0 || var.rfind("GTEST_", 0) == 0 ||
        var.rfind(kMarque, 0) == 0)
      continue;
    env.push_back(var);
  }
  const char* options = std::getenv(KX_TEST_SANITIZER_OPTIONS);
  env.push_back(std::string(KX_TEST_SANITIZER_OPTIONS "=") +
                (options != nullptr && *options != '\0' ? std::string(options) + ":" : "") +
                "allocator_may_return_null=1");
  env.push_back(std::string(kMarque) + "=1");
  std::vector<char*> envp;
  for (std::string& var : env) envp.push_back(var.data());
  envp.push_back(nullptr);

  std::string programme = "/proc/self/exe";
  std::vector<char*> argv{programme.data(), const_cast<char*>(filtre.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), envp.data()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test failed in the copy started with allocator_may_return_null=1 (its output is above)";
#endif
}
