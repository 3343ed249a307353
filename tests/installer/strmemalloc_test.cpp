// The installer's string allocator: size classes, the block cache, and the
// runtime's shared strings working over it from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CInformationDLL.h"
#include "CStrMemAlloc.h"
#include "CXYString.h"
#include "SharedStringBlock.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define KX_HAVE_LSAN 1
#endif

namespace {

std::uint32_t Capacity(void* p) { return SharedBlock::pHeader(p)->nCapacity; }

// A fresh allocator per test, destroyed through s_Term.
class StrMemAllocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pcl = CStrMemAlloc::s_pclInit();
    ASSERT_NE(m_pcl, nullptr);
  }
  void TearDown() override {
    CStrMemAlloc::s_Term();
    EXPECT_EQ(CStrMemAlloc::ms_pclAllocateur, nullptr);
  }
  CStrMemAlloc* m_pcl = nullptr;
};

TEST_F(StrMemAllocTest, NewBlockHeaderAndTerminators) {
  EXPECT_EQ(m_pcl->vnGetVersionIStrMemAlloc(), 2);
  void* p = nullptr;
  ASSERT_EQ(m_pcl->vnAllocStrMem(&p, 10), 0);
  const STSharedBlockHeader* h = SharedBlock::pHeader(p);
  EXPECT_EQ(h->dwFlags, 0u);
  EXPECT_EQ(h->nRefCount, 1u);
  EXPECT_EQ(h->nCapacity, 100u);
  EXPECT_EQ(h->nLength, 0u);
  std::uint32_t head = 1, tail = 1;
  std::memcpy(&head, p, 4);
  std::memcpy(&tail, static_cast<char*>(p) + 100, 4);
  EXPECT_EQ(head, 0u);
  EXPECT_EQ(tail, 0u);
  m_pcl->vReleaseStrMem(p);
  m_pcl->vReleaseStrMem(nullptr);  // nothing
  EXPECT_EQ(m_pcl->nGetCachedBlocks(100), 1u);
}

// Capacities of new blocks and of a block of capacity 1000 grown.
TEST_F(StrMemAllocTest, SizeClassTable) {
  struct Case {
    std::uint32_t current;  // 0: a new block
    std::uint32_t request;
    std::uint32_t capacity;
  };
  const Case cases[] = {
      {0, 1, 100},       {0, 100, 100},     {0, 101, 996},     {0, 500, 996},
      {0, 996, 996},     {0, 2000, 4000},   {1000, 1050, 1200}, {1000, 1150, 1500},
      {1000, 1400, 2000}, {1000, 1600, 3200}, {1000, 997, 1994},  // below the capacity: 2s
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.current << " -> " << c.request);
    void* p = nullptr;
    if (c.current == 0) {
      ASSERT_EQ(m_pcl->vnAllocStrMemEx(&p, c.request, 0), 0);
    } else {
      ASSERT_EQ(m_pcl->vnAllocStrMemEx(&p, c.current, CStrMemAlloc::kdwExactSize), 0);
      ASSERT_EQ(Capacity(p), c.current);
      std::memset(p, 'x', c.current);
      SharedBlock::pHeader(p)->nLength = c.current;
      SharedBlock::pHeader(p)->dwFlags = 0x5;
      ASSERT_EQ(m_pcl->vnReallocStrMemEx(&p, c.request, 0), 0);
      EXPECT_EQ(SharedBlock::pHeader(p)->dwFlags, 0x5u);
      EXPECT_EQ(SharedBlock::pHeader(p)->nLength, c.current);
      EXPECT_EQ(std::string(static_cast<char*>(p), c.current), std::string(c.current, 'x'));
    }
    EXPECT_EQ(Capacity(p), c.capacity);
    std::uint32_t tail = 1;
    std::memcpy(&tail, static_cast<char*>(p) + c.capacity, 4);
    EXPECT_EQ(tail, 0u);
    m_pcl->vReleaseStrMem(p);
  }
}

// A size class beyond 32 bits is refused and the caller's block survives.
TEST_F(StrMemAllocTest, SizeClassBeyond32BitsIsRefused) {
  void* p = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(m_pcl->vnAllocStrMemEx(&p, 0x90000000u, 0), 100);
  EXPECT_EQ(p, reinterpret_cast<void*>(0x1));

  ASSERT_EQ(m_pcl->vnAllocStrMemEx(&p, 2000, 0), 0);
  std::memcpy(p, "abc", 3);
  SharedBlock::pHeader(p)->nLength = 3;
  void* const before = p;
  EXPECT_EQ(m_pcl->vnReallocStrMemEx(&p, 0x90000000u, 0), 100);
  EXPECT_EQ(p, before);
  EXPECT_EQ(Capacity(p), 4000u);
  EXPECT_EQ(std::memcmp(p, "abc", 3), 0);
  m_pcl->vReleaseStrMem(p);
}

TEST_F(StrMemAllocTest, CacheKeepsTwentyBlocksPerClassAndFreesTheRest) {
  std::vector<void*> blocks(21);
  for (void*& p : blocks) ASSERT_EQ(m_pcl->vnAllocStrMem(&p, 50), 0);
  void* medium = nullptr;
  ASSERT_EQ(m_pcl->vnAllocStrMem(&medium, 500), 0);
  void* exact = nullptr;
  ASSERT_EQ(m_pcl->vnAllocStrMemEx(&exact, 100, CStrMemAlloc::kdwExactSize), 0);

  for (int i = 0; i < 20; ++i) m_pcl->vReleaseStrMem(blocks[i]);
  EXPECT_EQ(m_pcl->nGetCachedBlocks(100), 20u);
  m_pcl->vReleaseStrMem(blocks[20]);  // the 21st is freed
  EXPECT_EQ(m_pcl->nGetCachedBlocks(100), 20u);
  m_pcl->vReleaseStrMem(medium);
  EXPECT_EQ(m_pcl->nGetCachedBlocks(996), 1u);

  // An exact-size allocation never takes from the cache; a cached block is
  // handed out again, reset as new.
  EXPECT_EQ(m_pcl->nGetCachedBlocks(100), 20u);
  void* again = nullptr;
  ASSERT_EQ(m_pcl->vnAllocStrMem(&again, 3), 0);
  EXPECT_EQ(m_pcl->nGetCachedBlocks(100), 19u);
  EXPECT_EQ(SharedBlock::pHeader(again)->nRefCount, 1u);
  EXPECT_EQ(SharedBlock::pHeader(again)->nLength, 0u);
  m_pcl->vReleaseStrMem(again);
  m_pcl->vReleaseStrMem(exact);  // capacity 100 too: cached
  EXPECT_EQ(m_pcl->nGetCachedBlocks(100), 20u);
}

// Growth into a cached block of a smaller class keeps what fits.
TEST_F(StrMemAllocTest, CopyIntoCachedBlockKeepsWhatFits) {
  void* cached = nullptr;
  ASSERT_EQ(m_pcl->vnAllocStrMem(&cached, 996), 0);
  m_pcl->vReleaseStrMem(cached);
  ASSERT_EQ(m_pcl->nGetCachedBlocks(996), 1u);

  void* p = nullptr;
  ASSERT_EQ(m_pcl->vnAllocStrMemEx(&p, 2000, CStrMemAlloc::kdwExactSize), 0);
  for (int i = 0; i < 2000; ++i) static_cast<unsigned char*>(p)[i] = static_cast<unsigned char>(i);
  SharedBlock::pHeader(p)->nLength = 2000;
  SharedBlock::pHeader(p)->dwFlags = 1;
  ASSERT_EQ(m_pcl->vnReallocStrMemEx(&p, 500, 0), 0);
  EXPECT_EQ(p, cached);
  EXPECT_EQ(m_pcl->nGetCachedBlocks(996), 0u);
  EXPECT_EQ(Capacity(p), 996u);
  EXPECT_EQ(SharedBlock::pHeader(p)->nLength, 996u);
  EXPECT_EQ(SharedBlock::pHeader(p)->dwFlags, 1u);
  EXPECT_EQ(SharedBlock::pHeader(p)->nRefCount, 1u);
  for (int i = 0; i < 996; ++i)
    ASSERT_EQ(static_cast<unsigned char*>(p)[i], static_cast<unsigned char>(i)) << i;
  m_pcl->vReleaseStrMem(p);
}

// Counts the blocks given out through the installed interface and forwards
// to the allocator under test.
class CCountingAlloc final : public IStrMemAlloc {
 public:
  explicit CCountingAlloc(IStrMemAlloc* pi) : m_pi(pi) {}
  int vnGetVersionIStrMemAlloc() override { return m_pi->vnGetVersionIStrMemAlloc(); }
  int vnAllocStrMem(void** pp, std::uint32_t n) override { return Count(m_pi->vnAllocStrMem(pp, n)); }
  int vnReallocStrMem(void** pp, std::uint32_t n) override { return m_pi->vnReallocStrMem(pp, n); }
  void vReleaseStrMem(void* p) override {
    if (p != nullptr) --m_nLive;
    m_pi->vReleaseStrMem(p);
  }
  int vnAllocStrMemEx(void** pp, std::uint32_t n, std::uint32_t f) override {
    return Count(m_pi->vnAllocStrMemEx(pp, n, f));
  }
  int vnReallocStrMemEx(void** pp, std::uint32_t n, std::uint32_t f) override {
    return m_pi->vnReallocStrMemEx(pp, n, f);
  }
  std::atomic<long> m_nLive{0};

 private:
  int Count(int n) {
    if (n == 0) ++m_nLive;
    return n;
  }
  IStrMemAlloc* m_pi;
};

TEST_F(StrMemAllocTest, SharedStringsFromFourThreadsLeaveNothingBehind) {
  IStrMemAlloc* const piSaved = CInformationModule::ms_piStrMemAlloc;
  CCountingAlloc counting(m_pcl);
  CInformationModule::ms_piStrMemAlloc = &counting;

  CXYString<wchar_t> shared(L"shared between the threads");
  std::atomic<int> nBad{0};
  auto work = [&](int id) {
    for (int round = 0; round < 200; ++round) {
      CXYString<wchar_t> own;
      std::wstring expect;
      // Appends walk through both size classes and the growth rule.
      for (int k = 0; k < 40; ++k) {
        const std::wstring piece = L"t" + std::to_wstring(id) + L"r" + std::to_wstring(round);
        if (own.__FillDynStr(piece.c_str(), static_cast<long>(piece.size()), own.nGetLength()) != 0)
          ++nBad;
        expect += piece;
      }
      CXYString<wchar_t> copy(own);  // share
      CXYString<wchar_t> common(shared);
      if (copy.pGetData() != own.pGetData()) ++nBad;
      if (copy.nUnshare() != 0 || common.nUnshare() != 0) ++nBad;
      if (copy.pGetData() == own.pGetData() || common.pGetData() == shared.pGetData()) ++nBad;
      if (common.__FillDynStr(L"!", 1, common.nGetLength()) != 0) ++nBad;
      if (expect != copy.pszGet() || expect != own.pszGet()) ++nBad;
      if (std::wstring(common.pszGet()) != L"shared between the threads!") ++nBad;
      own.ReleaseDynStr();  // release; copy and common go at scope end
      CXYString<char> narrow("abc");
      if (narrow.__FillDynStr("defghijklmnopqrstuvwxyz", 23, 3) != 0) ++nBad;
      if (std::string(narrow.pszGet()) != "abcdefghijklmnopqrstuvwxyz") ++nBad;
    }
  };
  std::vector<std::thread> threads;
  for (int id = 0; id < 4; ++id) threads.emplace_back(work, id);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(nBad.load(), 0);
  EXPECT_EQ(std::wstring(shared.pszGet()), L"shared between the threads");
  shared.ReleaseDynStr();
  EXPECT_EQ(counting.m_nLive.load(), 0) << "a string block was not given back";
  EXPECT_GT(m_pcl->nGetCachedBlocks(100) + m_pcl->nGetCachedBlocks(996), 0u);

  // Uninstall, then end the allocator: the cached blocks go too.
  CInformationModule::ms_piStrMemAlloc = m_pcl;
  CStrMemAlloc::s_Term();
  EXPECT_EQ(CInformationModule::ms_piStrMemAlloc, nullptr) << "s_Term clears its installation";
  CInformationModule::ms_piStrMemAlloc = piSaved;
#ifdef KX_HAVE_LSAN
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "memory leaked";
#endif
  m_pcl = CStrMemAlloc::s_pclInit();  // for TearDown
}

TEST(StrMemAllocLifetime, InitReturnsTheRecordedAllocatorUntilTerm) {
  CStrMemAlloc* a = CStrMemAlloc::s_pclInit();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(CStrMemAlloc::s_pclInit(), a);
  EXPECT_EQ(CStrMemAlloc::ms_pclAllocateur, a);
  CStrMemAlloc::s_Term();
  EXPECT_EQ(CStrMemAlloc::ms_pclAllocateur, nullptr);
  CStrMemAlloc::s_Term();  // nothing left to end
}

}  // namespace
