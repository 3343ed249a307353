#include "XMalloc.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Callers keep their block when a resize answers null, so a resize to 0 must
// not free it: freeing whichever block the caller holds afterwards is a
// single free (the sanitizer reports a double free otherwise).
TEST(XMalloc, ResizeToZeroKeepsAValidBlock) {
  void* block = XMALLOC_pNew_(16);
  ASSERT_NE(block, nullptr);
  void* resized = XMALLOC_pResize_(block, 0);
  EXPECT_NE(resized, nullptr);
  XMALLOC_Del_(resized != nullptr ? resized : block);
}

TEST(XMalloc, ResizeOfNullAllocatesAndResizeKeepsContent) {
  char* block = static_cast<char*>(XMALLOC_pResize_(nullptr, 32));
  ASSERT_NE(block, nullptr);
  std::memset(block, 'x', 32);  // all 32 bytes are usable
  block = static_cast<char*>(XMALLOC_pResize_(block, 4096));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 32; ++i) ASSERT_EQ(block[i], 'x') << i;
  block[4095] = 'y';
  XMALLOC_Del_(block);
  XMALLOC_Del_(nullptr);  // no effect, no fault
}

}  // namespace
