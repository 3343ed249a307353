#include "WinMisc.h"

#include <gtest/gtest.h>

#include <sys/time.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include <tuple>

#include "CXMath.h"
#include "WinUuid.h"

namespace {

TEST(CXMath, EstPremier) {
  // 1 counts as prime, as the hash tables expect.
  const std::set<unsigned> primes = {1,  2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37,
                                     41, 43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89, 97};
  for (unsigned n = 0; n < 100; ++n) EXPECT_EQ(primes.count(n) != 0, CXMath::bEstPremier(n)) << n;
  EXPECT_TRUE(CXMath::bEstPremier(1000003));
  EXPECT_FALSE(CXMath::bEstPremier(1000001));  // 101 * 9901
  EXPECT_FALSE(CXMath::bEstPremier(10403));    // 101 * 103
  EXPECT_TRUE(CXMath::bEstPremier(4294967291u));
  EXPECT_FALSE(CXMath::bEstPremier(65521ull * 65519ull));
  EXPECT_FALSE(CXMath::bEstPremier(25));
  EXPECT_FALSE(CXMath::bEstPremier(49));
}

TEST(WinMisc, ProductLanguages) {
  struct Row {
    std::uint16_t lang;
    ELangueProduit product;
  } rows[] = {{4, LANGUE_PRODUIT_CHINOIS},    {0x804, LANGUE_PRODUIT_CHINOIS},
              {12, LANGUE_PRODUIT_FRANCAIS},  {0x40C, LANGUE_PRODUIT_FRANCAIS},
              {9, LANGUE_PRODUIT_ANGLAIS},    {7, LANGUE_PRODUIT_ANGLAIS},
              {0, LANGUE_PRODUIT_ANGLAIS}};
  for (const Row& row : rows) EXPECT_EQ(row.product, LANG_To_ELangueProduit(row.lang)) << row.lang;
  const int back[][2] = {{0, 12}, {1, 9}, {2, 4}, {3, 9}, {-1, 9}};
  for (const auto& b : back) EXPECT_EQ(b[1], ELangueProduit_To_LANG(b[0])) << b[0];
  EXPECT_FALSE(bWindowsNT() || bWindowsXP() || bWindows2000() || bWindows2003() ||
               bWindowsVista() || bWindowsSeven() || bWindows8() || bWindowsSmartphone() ||
               bWindowsCE2002() || bIsWindows64());
}

TEST(WinMisc, AlphaNumericIgnoresTheLocale) {
  EXPECT_TRUE(LinuxIsCharAlphaNumericA('z'));
  EXPECT_TRUE(LinuxIsCharAlphaNumericA('\xE9'));
  EXPECT_TRUE(LinuxIsCharAlphaNumericA('\x8A'));
  EXPECT_FALSE(LinuxIsCharAlphaNumericA('\xD7'));
  EXPECT_FALSE(LinuxIsCharAlphaNumericA('_'));
  EXPECT_FALSE(LinuxIsCharAlphaNumericA('\0'));
}

std::uint64_t UuidTime(const UUID& u) {
  return (static_cast<std::uint64_t>(u.Data3 & 0x0FFF) << 48) |
         (static_cast<std::uint64_t>(u.Data2) << 32) | u.Data1;
}

TEST(WinUuid, TimeBasedIdentifiers) {
  struct timeval before;
  gettimeofday(&before, nullptr);
  constexpr int kCount = 2000;
  static UUID ids[kCount];
  for (UUID& id : ids) ASSERT_EQ(RPC_S_OK, UuidCreate(&id));
  struct timeval after;
  gettimeofday(&after, nullptr);

  const std::uint64_t tBefore =
      before.tv_sec * 10000000ULL + before.tv_usec * 10ULL + UUID_GREGORIAN_OFFSET;
  const std::uint64_t tAfter =
      after.tv_sec * 10000000ULL + after.tv_usec * 10ULL + UUID_GREGORIAN_OFFSET;
  // Many of them share a clock reading: the clock sequence keeps them apart.
  std::set<std::tuple<std::uint64_t, int>> seen;
  for (const UUID& id : ids) {
    EXPECT_EQ(0x1000, id.Data3 & 0xF000);  // version 1
    EXPECT_EQ(0x80, id.Data4[0] & 0xE0);   // variant bits, 13-bit sequence
    EXPECT_GE(UuidTime(id), tBefore);
    EXPECT_LE(UuidTime(id), tAfter);
    EXPECT_EQ(0, std::memcmp(ids[0].Data4 + 2, id.Data4 + 2, 6));  // one node
    seen.insert({UuidTime(id), (id.Data4[0] << 8) | id.Data4[1]});
  }
  EXPECT_EQ(static_cast<std::size_t>(kCount), seen.size());

  UUID copy = ids[5];
  EXPECT_TRUE(IsEqualGUID(copy, ids[5]));
  copy.Data4[7] ^= 1;
  EXPECT_FALSE(IsEqualGUID(copy, ids[5]));
  EXPECT_FALSE(IsEqualGUID(ids[0], ids[1]));
}

TEST(WinUuid, ThreadsNeverShareAnIdentifier) {
  constexpr int kThreads = 8;
  constexpr int kEach = 4000;
  std::vector<std::vector<UUID>> ids(kThreads, std::vector<UUID>(kEach));
  std::vector<std::thread> threads;
  for (auto& mine : ids)
    threads.emplace_back([&mine] {
      for (UUID& id : mine) UuidCreate(&id);
    });
  for (auto& t : threads) t.join();
  std::set<std::string> seen;
  for (const auto& mine : ids)
    for (const UUID& id : mine) seen.insert(std::string(reinterpret_cast<const char*>(&id), sizeof id));
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
