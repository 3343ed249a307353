// The fixed-size object pool: slot layout and alignment, chunk bookkeeping,
// the release rule, and reservation ahead of a shortage.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "CTObjAlloc.h"
#include "FailingChunk.h"

// The wrapper behind FailingChunks (see FailingChunk.h).
namespace {
thread_local bool t_bFailing = false;
thread_local long t_nSkip = 0;
thread_local long t_nRefused = 0;
thread_local long t_nRequests = 0;
}  // namespace

extern "C" void* __real__Z18ObjAlloc_pNewChunkm(std::size_t n);

extern "C" void* __wrap__Z18ObjAlloc_pNewChunkm(std::size_t n) {
  ++t_nRequests;
  if (t_bFailing) {
    if (t_nSkip == 0) {
      ++t_nRefused;
      return nullptr;
    }
    --t_nSkip;
  }
  return __real__Z18ObjAlloc_pNewChunkm(n);
}

FailingChunks::FailingChunks(long nSkip) {
  t_bFailing = true;
  t_nSkip = nSkip;
  t_nRefused = 0;
}

FailingChunks::~FailingChunks() { t_bFailing = false; }

long FailingChunks::nRefused() const { return t_nRefused; }

long nChunkRequests() { return t_nRequests; }

namespace {

struct SPoolCase {
  std::uint64_t nObjectSize;
  std::uint32_t nPerChunk;
};

class objalloc_Sizes : public ::testing::TestWithParam<SPoolCase> {};

// Every object of two chunks' worth is 8-aligned, writable over its whole
// size without touching another, and the chunk bookkeeping follows.
TEST_P(objalloc_Sizes, SlotsAreAlignedDistinctAndCounted) {
  const SPoolCase& tc = GetParam();
  CTObjAlloc<unsigned char> pool(tc.nObjectSize);
  EXPECT_EQ(pool.nGetObjectsPerChunk(), tc.nPerChunk);
  const std::uint32_t n = tc.nPerChunk * 2 + 1;
  std::vector<unsigned char*> objects;
  for (std::uint32_t i = 0; i < n; ++i) {
    unsigned char* p = pool.pAlloc();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u);
    std::memset(p, static_cast<int>(i & 0xFF), tc.nObjectSize);
    objects.push_back(p);
  }
  EXPECT_EQ(pool.nGetChunkCount(), 3u);
  EXPECT_EQ(pool.nGetLiveCount(), n);
  for (std::uint32_t i = 0; i < n; ++i)
    for (std::uint64_t b = 0; b < tc.nObjectSize; ++b)
      ASSERT_EQ(objects[i][b], static_cast<unsigned char>(i & 0xFF)) << "object " << i << " byte " << b;
  std::set<unsigned char*> distinct(objects.begin(), objects.end());
  EXPECT_EQ(distinct.size(), objects.size());
  for (unsigned char* p : objects) pool.Free(p);
  // Wholly free chunks go back, except the one left to serve from.
  EXPECT_EQ(pool.nGetLiveCount(), 0u);
  EXPECT_EQ(pool.nGetChunkCount(), 1u);
  EXPECT_EQ(pool.nGetFreeSlots(), tc.nPerChunk);
}

INSTANTIATE_TEST_SUITE_P(objalloc, objalloc_Sizes,
                         ::testing::Values(SPoolCase{1, 455}, SPoolCase{13, 195}, SPoolCase{24, 128},
                                           SPoolCase{700, 5}, SPoolCase{5000, 2}));

// A slot freed from a full chunk is the next one served, and a chunk that
// empties while another still serves goes back at once.
TEST(objalloc_Pool, FreedSlotsAreReusedAndEmptyChunksReleased) {
  CTObjAlloc<unsigned char> pool(2000);  // 2 per chunk
  unsigned char* a = pool.pAlloc();
  unsigned char* b = pool.pAlloc();
  unsigned char* c = pool.pAlloc();  // second chunk
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(pool.nGetChunkCount(), 2u);
  pool.Free(a);
  EXPECT_EQ(pool.pAlloc(), a);
  pool.Free(c);  // the second chunk empties but is the only one with room: kept
  EXPECT_EQ(pool.nGetChunkCount(), 2u);
  pool.Free(a);  // the first has room again but still a live object
  EXPECT_EQ(pool.nGetChunkCount(), 2u);
  pool.Free(b);  // the first empties while the second can serve: released
  EXPECT_EQ(pool.nGetChunkCount(), 1u);
  EXPECT_EQ(pool.pAlloc(), c);
  pool.Free(c);
  EXPECT_EQ(pool.nGetLiveCount(), 0u);
}

// After bReserve(n), n allocations succeed with every chunk request refused;
// a reservation that cannot be met answers false and leaves what it got.
TEST(objalloc_Pool, ReservationHoldsThroughAShortage) {
  CTObjAlloc<unsigned char> pool(100);  // 37 per chunk
  ASSERT_TRUE(pool.bReserve(80));
  EXPECT_GE(pool.nGetFreeSlots(), 80u);
  EXPECT_EQ(pool.nGetChunkCount(), 3u);
  std::vector<unsigned char*> objects;
  {
    FailingChunks failing;
    for (int i = 0; i < 80; ++i) {
      objects.push_back(pool.pAlloc());
      ASSERT_NE(objects.back(), nullptr) << i;
    }
    EXPECT_EQ(failing.nRefused(), 0);
    EXPECT_FALSE(pool.bReserve(200));
    EXPECT_GT(failing.nRefused(), 0);
    EXPECT_EQ(pool.nGetChunkCount(), 3u);
  }
  {
    FailingChunks failing(1);  // one more chunk, then none
    EXPECT_FALSE(pool.bReserve(100));
    EXPECT_EQ(pool.nGetChunkCount(), 4u);
    EXPECT_EQ(pool.nGetFreeSlots(), 4u * 37u - 80u);
  }
  for (unsigned char* p : objects) pool.Free(p);
  EXPECT_EQ(pool.nGetLiveCount(), 0u);
}

// An uninitialised pool serves nothing.
TEST(objalloc_Pool, ZeroSizeServesNothing) {
  CTObjAlloc<unsigned char> pool;
  EXPECT_EQ(pool.pAlloc(), nullptr);
  EXPECT_FALSE(pool.bReserve(1));
  EXPECT_TRUE(pool.bReserve(0));
}

}  // namespace
