// The in-memory B+ tree against std::multimap on 1,000,000 random 8-byte
// keys with a 4-byte record number each: inserts, a bulk load, a full scan
// by single steps, random positioning by rank and searches by key. Prints
// nanoseconds per operation. Run by hand, on an optimised build:
//   membtree [count] [maximum]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <random>
#include <vector>

#include "CMemBTree.h"

namespace {

using Clock = std::chrono::steady_clock;

double NsPerOp(Clock::time_point start, std::uint64_t nOps) {
  const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  return nOps != 0 ? ns / static_cast<double>(nOps) : 0.0;
}

// Big-endian, so that memcmp orders the keys as numbers.
void StoreKey(unsigned char* p, std::uint64_t n) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(n >> (8 * (7 - i)));
}

int CompareRecordNumbers(const void* a, const void* b, std::size_t) {
  std::uint32_t x, y;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  return x < y ? -1 : (x > y ? 1 : 0);
}

void Report(const char* what, double nsTree, double nsMap) {
  if (nsMap > 0)
    std::printf("%-34s %10.1f ns/op   std::multimap %10.1f ns/op\n", what, nsTree, nsMap);
  else
    std::printf("%-34s %10.1f ns/op\n", what, nsTree);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t nCount = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  const int nMax = argc > 2 ? std::atoi(argv[2]) : 32;
  std::mt19937_64 rng(20261211);
  std::vector<std::uint64_t> numbers(nCount);
  std::vector<unsigned char> keys(static_cast<std::size_t>(nCount) * 8);
  std::vector<std::uint32_t> values(nCount);
  for (std::uint32_t i = 0; i < nCount; ++i) {
    numbers[i] = rng();
    StoreKey(&keys[static_cast<std::size_t>(i) * 8], numbers[i]);
    values[i] = i;
  }
  std::printf("%u random 8-byte keys, maximum %d keys per node\n", nCount, nMax);

  CMemBTree* pTree = CMemBTree::pclCreate(8, 4, nullptr, CompareRecordNumbers, nMax);
  if (pTree == nullptr) return 1;
  auto start = Clock::now();
  for (std::uint32_t i = 0; i < nCount; ++i)
    if (!pTree->bInsert(&keys[static_cast<std::size_t>(i) * 8], &values[i])) return 2;
  const double nsInsert = NsPerOp(start, nCount);

  std::multimap<std::uint64_t, std::uint32_t> map;
  start = Clock::now();
  for (std::uint32_t i = 0; i < nCount; ++i) map.emplace(numbers[i], values[i]);
  const double nsMapInsert = NsPerOp(start, nCount);
  Report("insert", nsInsert, nsMapInsert);

  CMemBTree* pBulk = CMemBTree::pclCreate(8, 4, nullptr, CompareRecordNumbers, nMax);
  if (pBulk == nullptr) return 1;
  start = Clock::now();
  if (!pBulk->bLoadBulk(keys.data(), values.data(), nCount)) return 3;
  Report("bulk load (per record)", NsPerOp(start, nCount), 0);
  if (pBulk->nGetNumRecord() != nCount) return 4;
  delete pBulk;

  // Full scan, one record per step.
  std::uint64_t nSum = 0;
  start = Clock::now();
  pTree->GotoFirstRecord();
  std::int64_t nMoved;
  std::uint32_t nSeen = 0;
  do {
    std::uint32_t v;
    std::memcpy(&v, pTree->pReadValue(), 4);
    nSum += v;
    ++nSeen;
  } while (pTree->bAdvance(1, nMoved, 0));
  const double nsScan = NsPerOp(start, nSeen);
  std::uint64_t nMapSum = 0;
  start = Clock::now();
  for (const auto& e : map) nMapSum += e.second;
  const double nsMapScan = NsPerOp(start, map.size());
  Report("scan by bAdvance(1)", nsScan, nsMapScan);
  if (nSeen != nCount || nSum != nMapSum) return 5;

  // Random ranks: one descent each in the tree; std::multimap can only walk
  // there, so it gets far fewer tries.
  std::vector<std::uint32_t> ranks(nCount);
  for (auto& r : ranks) r = static_cast<std::uint32_t>(rng() % nCount);
  start = Clock::now();
  for (std::uint32_t r : ranks) {
    pTree->MoveTo(r);
    std::uint32_t v;
    std::memcpy(&v, pTree->pReadValue(), 4);
    nSum += v;
  }
  const double nsMoveTo = NsPerOp(start, ranks.size());
  const std::uint32_t nMapTries = 200;
  start = Clock::now();
  for (std::uint32_t i = 0; i < nMapTries; ++i) nMapSum += std::next(map.begin(), ranks[i])->second;
  Report("MoveTo(random rank)", nsMoveTo, NsPerOp(start, nMapTries));

  // Searches of present keys.
  start = Clock::now();
  for (std::uint32_t i = 0; i < nCount; ++i) {
    const void* p = pTree->pSearch(&keys[static_cast<std::size_t>(ranks[i]) * 8], CMemBTree::SEARCH_EXACT);
    if (p == nullptr) return 6;
  }
  const double nsSearch = NsPerOp(start, nCount);
  start = Clock::now();
  for (std::uint32_t i = 0; i < nCount; ++i)
    if (map.find(numbers[ranks[i]]) == map.end()) return 6;
  Report("pSearch(present key, exact)", nsSearch, NsPerOp(start, nCount));

  std::printf("(checksums %llu %llu)\n", static_cast<unsigned long long>(nSum), static_cast<unsigned long long>(nMapSum));
  delete pTree;
  return 0;
}
