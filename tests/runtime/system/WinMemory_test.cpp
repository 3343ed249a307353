#include "WinMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <malloc.h>

#include <cstring>

namespace {

bool bAllBytes(const void* p, std::size_t n, unsigned char value) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i)
    if (b[i] != value) return false;
  return true;
}

TEST(WinMemory, GlobalBlocks) {
  auto* p = static_cast<unsigned char*>(GlobalAlloc(GMEM_ZEROINIT, 100));
  ASSERT_NE(nullptr, p);
  EXPECT_TRUE(bAllBytes(p, 100, 0));
  EXPECT_EQ(p, GlobalLock(p));
  std::memset(p, 0xAB, 100);

  EXPECT_EQ(p, GlobalReAlloc(p, 5000, GMEM_MODIFY));  // left as it is
  p = static_cast<unsigned char*>(GlobalReAlloc(p, 5000, 0));
  ASSERT_NE(nullptr, p);
  EXPECT_TRUE(bAllBytes(p, 100, 0xAB));
  // Zeroing on a resize keeps the content and clears only what is gained.
  std::memset(p, 0xCD, 5000);
  p = static_cast<unsigned char*>(GlobalReAlloc(p, 300, GMEM_ZEROINIT));
  ASSERT_NE(nullptr, p);
  EXPECT_TRUE(bAllBytes(p, 300, 0xCD));
  const std::size_t nHeld = malloc_usable_size(p);  // what the block had room for
  ASSERT_LT(nHeld, 70000u);
  p = static_cast<unsigned char*>(GlobalReAlloc(p, 70000, GMEM_ZEROINIT));
  ASSERT_NE(nullptr, p);
  EXPECT_TRUE(bAllBytes(p, 300, 0xCD));
  EXPECT_TRUE(bAllBytes(p + nHeld, 70000 - nHeld, 0));

  EXPECT_EQ(nullptr, GlobalFree(p));
  EXPECT_EQ(nullptr, GlobalFree(nullptr));
}

TEST(WinMemory, HeapBlocksAreAlignedAndSized) {
  for (std::size_t size : {0, 1, 15, 16, 17, 100, 4096}) {
    SCOPED_TRACE(size);
    void* p = HeapAlloc(nullptr, HEAP_ZERO_MEMORY, size);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(p) % 16);
    std::uint32_t word;
    std::memcpy(&word, static_cast<unsigned char*>(p) - 4, 4);
    EXPECT_EQ(size, word);
    EXPECT_TRUE(bAllBytes(p, size, 0));
    EXPECT_TRUE(HeapFree(nullptr, 0, p));
  }
  EXPECT_TRUE(HeapFree(nullptr, 0, nullptr));
}

TEST(WinMemory, HeapResizeZeroesOnlyTheBytesAdded) {
  auto* p = static_cast<unsigned char*>(HeapAlloc(nullptr, 0, 40));
  ASSERT_NE(nullptr, p);
  std::memset(p, 0xCD, 40);
  p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 1000));
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(p) % 16);
  EXPECT_TRUE(bAllBytes(p, 40, 0xCD));
  EXPECT_TRUE(bAllBytes(p + 40, 960, 0));
  p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 10));
  ASSERT_NE(nullptr, p);
  std::uint32_t word;
  std::memcpy(&word, p - 4, 4);
  EXPECT_EQ(10u, word);
  EXPECT_TRUE(bAllBytes(p, 10, 0xCD));
  // Growing again from 10 zeroes from byte 10 on.
  std::memset(p, 0xEE, 10);
  p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 50));
  ASSERT_NE(nullptr, p);
  EXPECT_TRUE(bAllBytes(p, 10, 0xEE));
  EXPECT_TRUE(bAllBytes(p + 10, 40, 0));
  HeapFree(nullptr, 0, p);
}

// Sizes the 32-bit size word cannot hold are refused, never wrapped.
TEST(WinMemory, HeapRefusesSizesOfFourGigabytes) {
  const std::size_t nHuge = std::size_t{1} << 32;
  EXPECT_EQ(nullptr, HeapAlloc(nullptr, 0, nHuge));
  try {
    HeapAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, nHuge + 16);
    ADD_FAILURE() << "no exception";
  } catch (const CHeapException& e) {
    EXPECT_EQ(0xC0000017u, e.dwGetCode());
  }
  void* p = HeapAlloc(nullptr, 0, 8);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(nullptr, HeapReAlloc(nullptr, 0, p, nHuge));
  EXPECT_THROW(HeapReAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, p, nHuge), CHeapException);
  std::uint32_t word;
  std::memcpy(&word, static_cast<unsigned char*>(p) - 4, 4);
  EXPECT_EQ(8u, word);  // the block is untouched
  HeapFree(nullptr, 0, p);
  EXPECT_EQ(nullptr, HeapReAlloc(nullptr, 0, nullptr, 8));
}

MEMORYSTATUSEX StatusFromText(const char* text) {
  FILE* f = fmemopen(const_cast<char*>(text), std::strlen(text), "r");
  MEMORYSTATUSEX st;
  std::memset(&st, 0x5A, sizeof(st));
  MemoryStatusFromMemInfo(f, &st);
  fclose(f);
  return st;
}

TEST(WinMemory, MemInfoText) {
  const MEMORYSTATUSEX current = StatusFromText(
      "MemTotal:        1000000 kB\n"
      "MemFree:          200000 kB\n"
      "MemAvailable:     900000 kB\n"
      "Buffers:           50000 kB\n"
      "Cached:           250000 kB\n"
      "SwapCached:         7777 kB\n"
      "SwapTotal:        500000 kB\n"
      "SwapFree:         400000 kB\n");
  EXPECT_EQ(40u, current.dwLength);
  EXPECT_EQ(1024000000u, current.ullTotalPhys);
  EXPECT_EQ(512000000u, current.ullAvailPhys);  // free + buffers + cached
  EXPECT_EQ(512000000u, current.ullTotalPageFile);
  EXPECT_EQ(409600000u, current.ullAvailPageFile);
  // (1024 + 512 - 409.6 - 512) / 15.36
  EXPECT_EQ(40u, current.dwMemoryLoad);

  const MEMORYSTATUSEX older = StatusFromText(
      "        total:    used:    free:  shared: buffers:  cached:\n"
      "Mem:  1000 400 600 0 100 200\n"
      "Swap: 500 100 400\n");
  EXPECT_EQ(1000u, older.ullTotalPhys);
  EXPECT_EQ(900u, older.ullAvailPhys);
  EXPECT_EQ(500u, older.ullTotalPageFile);
  EXPECT_EQ(400u, older.ullAvailPageFile);
  EXPECT_EQ(13u, older.dwMemoryLoad);  // 200 / 15

  // Without the total the load is not computed; a tiny total has no divisor.
  EXPECT_EQ(0u, StatusFromText("MemFree: 10 kB\nSwapTotal: 100 kB\n").dwMemoryLoad);
  EXPECT_EQ(0u, StatusFromText("Mem: 50 0 0 0 0 0\n").dwMemoryLoad);
}

TEST(WinMemory, OlderRecordSaturates) {
  MEMORYSTATUSEX in = {};
  in.dwLength = 40;
  in.dwMemoryLoad = 37;
  in.ullTotalPhys = std::uint64_t{5} << 30;
  in.ullAvailPhys = 0xFFFFFFFFu;
  in.ullTotalPageFile = std::uint64_t{1} << 32;
  in.ullAvailPageFile = 123;
  MEMORYSTATUS out;
  MemoryStatusExToMemoryStatus(in, &out);
  EXPECT_EQ(24u, out.dwLength);
  EXPECT_EQ(37u, out.dwMemoryLoad);
  EXPECT_EQ(0xFFFFFFFFu, out.dwTotalPhys);
  EXPECT_EQ(0xFFFFFFFFu, out.dwAvailPhys);
  EXPECT_EQ(0xFFFFFFFFu, out.dwTotalPageFile);
  EXPECT_EQ(123u, out.dwAvailPageFile);
}

TEST(WinMemory, MachineStatus) {
  MEMORYSTATUSEX st;
  GlobalMemoryStatusEx(&st);
  EXPECT_EQ(40u, st.dwLength);
  EXPECT_GT(st.ullTotalPhys, 0u);
  EXPECT_LE(st.ullAvailPhys, st.ullTotalPhys);
  EXPECT_LE(st.dwMemoryLoad, 100u);
  MEMORYSTATUS older;
  GlobalMemoryStatus(&older);
  EXPECT_EQ(24u, older.dwLength);
  EXPECT_GT(older.dwTotalPhys, 0u);
}

}  // namespace
