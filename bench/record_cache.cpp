// Benchmark of the record cache on the read path: append N records of about
// 100 bytes with record-values identifiers, look every identifier up, read
// every index back (bGetAt). The same three steps run on a baseline: a
// std::vector of byte strings indexed by a std::unordered_multimap from the
// bytes to the index.
//
// Prints rows per second for each step and each side, the ratio cache /
// baseline (above 1: the cache is faster), and the heap allocations per
// 1,000 rows of each step, counted by an interposed malloc (only in a build
// without sanitizers, whose own allocator takes malloc's place).
//
//   record_cache [rows]        (default 1000000)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CNARecordCache.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KX_BENCH_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KX_BENCH_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef KX_BENCH_COUNTS_ALLOCATIONS
#define KX_BENCH_COUNTS_ALLOCATIONS 1
#endif

static unsigned long long g_nAllocations = 0;

#if KX_BENCH_COUNTS_ALLOCATIONS
// Every allocation of the process (operator new included) goes through
// these; they count and hand over to the C library's allocator.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);

void* malloc(std::size_t n) {
  ++g_nAllocations;
  return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
  ++g_nAllocations;
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
  ++g_nAllocations;
  return __libc_realloc(p, n);
}
}
#endif

namespace {

constexpr std::uint32_t knFlagBits = 8;  // one flag byte
constexpr std::uint32_t knTotal = 100;   // flag byte + 99 value bytes

// The bytes of row i: the flag byte, the row number, then a pattern drawn
// from it, so that every row is distinct and the hash sees varied words.
void FillRow(unsigned char* p, std::uint64_t i) {
  p[0] = 0xFF;
  std::memcpy(p + 1, &i, 8);
  std::uint64_t x = i * 0x9E3779B97F4A7C15ull + 1;
  for (std::uint32_t k = 9; k < knTotal; ++k) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    p[k] = static_cast<unsigned char>(x);
  }
}

CNAXQRecord* NewRecord() {
  unsigned char form[12 + knTotal] = {};
  const std::uint32_t nFlags = 1;
  std::memcpy(form, &knTotal, 4);
  std::memcpy(form + 4, &knFlagBits, 4);
  std::memcpy(form + 8, &nFlags, 4);
  auto* r = new CNAXQRecord;
  r->AddRef();
  if (!r->Deserialize(form, sizeof form)) {
    std::fprintf(stderr, "record_cache: the record cannot be made\n");
    std::exit(1);
  }
  return r;
}

// A record value over a 100-byte record, with a record-values id over it.
CNARecordValue* NewValue() {
  auto* v = new CNARecordValue();
  v->AddRef();
  CNAXQRecord* r = NewRecord();
  v->bCopyNAXQRecord(r);
  r->nRelease();
  v->bShareRecordID(new CNARecordId_RecordValues(v));
  return v;
}

struct Step {
  double dSecondes = 0;
  unsigned long long nAllocations = 0;
};

template <class F>
Step Measure(F f) {
  const unsigned long long nAvant = g_nAllocations;
  const auto t0 = std::chrono::steady_clock::now();
  f();
  const auto t1 = std::chrono::steady_clock::now();
  Step s;
  s.dSecondes = std::chrono::duration<double>(t1 - t0).count();
  s.nAllocations = g_nAllocations - nAvant;
  return s;
}

void Fail(const char* what, std::uint64_t i) {
  std::fprintf(stderr, "record_cache: %s wrong at row %llu\n", what, static_cast<unsigned long long>(i));
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000ull;
  if (n == 0 || n > 100000000ull) {
    std::fprintf(stderr, "usage: record_cache [rows, 1 to 100000000]\n");
    return 2;
  }
  unsigned long long nSomme = 0;  // keeps the reads observable

  // The two sides run step by step in turn, so that each read step follows
  // the other side's and neither finds its data fresher in the caches.
  auto* cache = new CNARecordCache();
  cache->AddRef();
  CNARecordValue* value = NewValue();
  CNARecordValue* target = NewValue();
  unsigned char* pbyRow = value->pclGetNAXQRecord()->pbyGetNullValuesFlags();
  std::vector<std::string> lignes;
  std::unordered_multimap<std::string_view, std::uint64_t> index;
  unsigned char ligne[knTotal];
  unsigned char cible[knTotal];

  const Step cacheAjout = Measure([&] {
    for (std::uint64_t i = 0; i < n; ++i) {
      FillRow(pbyRow, i);
      if (cache->nAjoute(value) != static_cast<int>(i)) Fail("cache append", i);
    }
  });
  const Step baseAjout = Measure([&] {
    for (std::uint64_t i = 0; i < n; ++i) {
      FillRow(ligne, i);
      lignes.emplace_back(reinterpret_cast<const char*>(ligne), knTotal);
      index.emplace(std::string_view(lignes.back()), i);
    }
  });
  const Step cacheRecherche = Measure([&] {
    for (std::uint64_t i = 0; i < n; ++i) {
      FillRow(pbyRow, i);
      if (cache->nGetRecordIndice(value) != static_cast<int>(i)) Fail("cache lookup", i);
    }
  });
  // The views point into the strings' own blocks, which moving the strings
  // (when the vector grows) keeps.
  const Step baseRecherche = Measure([&] {
    for (std::uint64_t i = 0; i < n; ++i) {
      FillRow(ligne, i);
      const auto it = index.find(std::string_view(reinterpret_cast<const char*>(ligne), knTotal));
      if (it == index.end() || it->second != i) Fail("baseline lookup", i);
    }
  });
  const Step cacheLecture = Measure([&] {
    const unsigned char* p = target->pclGetNAXQRecord()->pbyGetNullValuesFlags();
    for (std::uint64_t i = 0; i < n; ++i) {
      if (!cache->bGetAt(target, static_cast<int>(i))) Fail("cache read", i);
      nSomme += p[1];
    }
  });
  const Step baseLecture = Measure([&] {
    for (std::uint64_t i = 0; i < n; ++i) {
      const std::string& s = lignes[i];
      if (s.size() != knTotal) Fail("baseline read", i);
      std::memcpy(cible, s.data(), s.size());
      nSomme += cible[1];
    }
  });
  target->nRelease();
  value->nRelease();
  cache->nRelease();

  // ---- Report -------------------------------------------------------------------
  std::printf("record_cache: %llu rows of %u bytes, record-values identifiers\n", static_cast<unsigned long long>(n),
              knTotal);
  std::printf("%-8s %16s %16s %8s %14s %14s\n", "step", "cache rows/s", "baseline rows/s", "ratio",
              "cache allocs", "base allocs");
  auto Ligne = [&](const char* nom, const Step& c, const Step& b) {
    const double rc = c.dSecondes > 0 ? static_cast<double>(n) / c.dSecondes : 0;
    const double rb = b.dSecondes > 0 ? static_cast<double>(n) / b.dSecondes : 0;
    if (KX_BENCH_COUNTS_ALLOCATIONS) {
      std::printf("%-8s %16.0f %16.0f %8.2f %14.3f %14.3f\n", nom, rc, rb, rb > 0 ? rc / rb : 0,
                  1000.0 * static_cast<double>(c.nAllocations) / static_cast<double>(n),
                  1000.0 * static_cast<double>(b.nAllocations) / static_cast<double>(n));
    } else {
      std::printf("%-8s %16.0f %16.0f %8.2f %14s %14s\n", nom, rc, rb, rb > 0 ? rc / rb : 0, "n/a", "n/a");
    }
  };
  Ligne("append", cacheAjout, baseAjout);
  Ligne("lookup", cacheRecherche, baseRecherche);
  Ligne("bGetAt", cacheLecture, baseLecture);
  std::printf("(allocations per 1,000 rows%s; checksum %llu)\n",
              KX_BENCH_COUNTS_ALLOCATIONS ? "" : " not counted in a sanitizer build", nSomme);
  return 0;
}
