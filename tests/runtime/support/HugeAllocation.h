// Failed allocations in tests, without a hook in the production code.
//
// A request of kTailleImpossible bytes lies far beyond the address space, so
// malloc answers null for it. Under AddressSanitizer such a request ends the
// program instead, unless the sanitizer's allocator_may_return_null option
// is set; RunWhereHugeAllocationsFail therefore runs the body, in a
// sanitizer build, in a copy of this test program started for the current
// test alone with that option added (the parent checks that the copy
// passed). Elsewhere the body runs in place.
#pragma once

#include <cstdint>
#include <functional>

inline constexpr std::uint64_t kTailleImpossible = std::uint64_t{1} << 56;

void RunWhereHugeAllocationsFail(const std::function<void()>& body);
