// Failed allocations in tests, without a hook in the production code.
//
// A request of kTailleImpossible bytes lies far beyond the address space, so
// malloc answers null for it. Under AddressSanitizer or ThreadSanitizer such
// a request ends the program instead, unless the sanitizer's
// allocator_may_return_null option is set; RunWhereHugeAllocationsFail
// therefore runs the body, in a sanitizer build, in a copy of this test
// program started for the current test alone with that option added (the
// parent checks that the copy passed). Elsewhere the body runs in place.
#pragma once

#include <cstdint>
#include <functional>

inline constexpr std::uint64_t kTailleImpossible = std::uint64_t{1} << 56;

#if defined(__SANITIZE_THREAD__)
#define KX_TEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KX_TEST_TSAN 1
#endif
#endif

// True in a ThreadSanitizer build: its shadow memory leaves no room for a
// lowered address-space limit, so tests built on one cannot run there.
#ifdef KX_TEST_TSAN
inline constexpr bool kbThreadSanitizerBuild = true;
#else
inline constexpr bool kbThreadSanitizerBuild = false;
#endif

void RunWhereHugeAllocationsFail(const std::function<void()>& body);
