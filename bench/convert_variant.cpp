// Cost of the read path of fetched values: server texts handed to bound
// value holders (bSetValueDB), as the statement hands every field of a row,
// into the items of a record.
//
// 1,000,000 rows of INT, BIGINT, DOUBLE, DECIMAL(12,2), ASCII and accented
// UTF-8 VARCHAR(50) (into 8-bit and into Unicode items), DATE and
// DATETIME(6) texts (as the statement hands them: dates without '-'), in
// Unicode mode (server code page 65001) at runtime code pages 1252 and 932.
// For each kind it prints the nanoseconds per value beside a floor (memcpy
// of the text, strtoll/strtod, a hand-written date parse) and the heap
// allocations per row made by the library itself; those made inside the
// stand-in runtime (its number parse, its decimals and strings) are counted
// apart. malloc is interposed to count; build Release for figures.
//
// Usage: convert_variant [rows]
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "CInformationDLL.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNAItemDescription.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"

// ---- Allocation counting ------------------------------------------------------

namespace {
thread_local int tl_nInRuntime = 0;
std::uint64_t gnLibraryAllocs = 0;
std::uint64_t gnRuntimeAllocs = 0;
bool gbCounting = false;

inline void CountAlloc() {
  if (!gbCounting) return;
  if (tl_nInRuntime > 0)
    ++gnRuntimeAllocs;
  else
    ++gnLibraryAllocs;
}
}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t n) {
  CountAlloc();
  return __libc_malloc(n);
}
void* calloc(std::size_t a, std::size_t b) {
  CountAlloc();
  return __libc_calloc(a, b);
}
void* realloc(void* p, std::size_t n) {
  CountAlloc();
  return __libc_realloc(p, n);
}
}
constexpr bool kbCounting = true;
#else
constexpr bool kbCounting = false;
#endif

namespace {

// The runtime's conversion, marked so that its allocations count apart.
PFN_CONVDEPEXT gpfnRuntimeConv = nullptr;
int CountedConv(const void* pSource, unsigned int nSourceType, void* pTarget, unsigned int nTargetType,
                unsigned int nFlags, const STOCAW* pstOptions) {
  ++tl_nInRuntime;
  const int n = gpfnRuntimeConv(pSource, nSourceType, pTarget, nTargetType, nFlags, pstOptions);
  --tl_nInRuntime;
  return n;
}

// A connection of the bench: the code pages are all it gives.
class BenchConnection : public CNAConnectionDescription {
 public:
  BenchConnection(int nRuntime, int nServer) : CNAConnectionDescription(L"bench", nullptr) {
    m_nApplicationCodePage = nRuntime;
    m_nDataBaseCodePage = nServer;
  }
  int bOpen(CNAError*) override { return 1; }
  int bIsOpen() override { return 1; }
  int bClose(CNAError*) override { return 1; }
  void _InitXQ2NativeType() override {}
};

struct Kind {
  const char* pszName;
  eNA_ITEMTYPE eType;
  std::uint32_t nSize;
  int nInt, nDec;
  int nFloor;  // 0 memcpy, 1 strtoll, 2 strtod, 3 date parse
  std::vector<std::string> asTexts;
};

std::vector<std::string> Texts(const char* pszKind) {
  std::vector<std::string> a;
  for (int i = 0; i < 1024; ++i) {
    char sz[64];
    const std::string k(pszKind);
    if (k == "INT") std::snprintf(sz, sizeof sz, "%d", i * 7919 - 400000);
    else if (k == "BIGINT") std::snprintf(sz, sizeof sz, "%lld", 9000000000000LL + i * 104729LL);
    else if (k == "DOUBLE") std::snprintf(sz, sizeof sz, "%.6g", i * 3.14159 - 17.5);
    else if (k == "DECIMAL") std::snprintf(sz, sizeof sz, "%d.%02d", i * 37 - 5000, i % 100);
    else if (k == "ASCII") std::snprintf(sz, sizeof sz, "customer name %04d, main street", i);
    else if (k == "ACCENT") std::snprintf(sz, sizeof sz, "Ren\xC3\xA9 M\xC3\xBCller %04d, \xC3\xA9t\xC3\xA9 \xE2\x82\xAC", i);
    else if (k == "DATE") std::snprintf(sz, sizeof sz, "2024%02d%02d", i % 12 + 1, i % 28 + 1);
    else std::snprintf(sz, sizeof sz, "2024%02d%02d %02d:%02d:%02d.%06d", i % 12 + 1, i % 28 + 1, i % 24, i % 60,
                       (i * 7) % 60, i * 977 % 1000000);
    a.push_back(sz);
  }
  return a;
}

volatile std::int64_t gnSink = 0;

double FloorNs(const Kind& k, long nRows) {
  unsigned char aby[256];
  const auto t0 = std::chrono::steady_clock::now();
  for (long r = 0; r < nRows; ++r) {
    const std::string& s = k.asTexts[static_cast<std::size_t>(r) & 1023];
    switch (k.nFloor) {
      case 0: {
        const std::size_t n = s.size() < k.nSize - 1 ? s.size() : k.nSize - 1;
        std::memcpy(aby, s.data(), n);
        std::memset(aby + n, 0, k.nSize - n);
        gnSink += aby[0];
        break;
      }
      case 1: gnSink += std::strtoll(s.c_str(), nullptr, 10); break;
      case 2: gnSink += static_cast<std::int64_t>(std::strtod(s.c_str(), nullptr)); break;
      default: {
        const char* p = s.c_str();
        int n = 0;
        for (int i = 0; i < 8; ++i) n = n * 10 + (p[i] - '0');
        if (s.size() > 9) {
          for (int i : {9, 10, 12, 13, 15, 16, 18, 19, 20}) n += p[i] - '0';
        }
        gnSink += n;
        break;
      }
    }
  }
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(nRows);
}

void Run(int nRuntime, long nRows) {
  BenchConnection* pclCnx = new BenchConnection(nRuntime, 65001);
  pclCnx->AddRef();
  std::vector<Kind> aKinds = {
      {"INT", NA_IT_I4, 4, 0, 0, 1, Texts("INT")},
      {"BIGINT", NA_IT_I8, 8, 0, 0, 1, Texts("BIGINT")},
      {"DOUBLE", NA_IT_R8, 8, 0, 0, 2, Texts("DOUBLE")},
      {"DECIMAL(12,2)", NA_IT_DECIMAL, 6, 10, 2, 2, Texts("DECIMAL")},
      {"VARCHAR ascii", NA_IT_TEXTE, 51, 0, 0, 0, Texts("ASCII")},
      {"VARCHAR accented", NA_IT_TEXTE, 51, 0, 0, 0, Texts("ACCENT")},
      {"VARCHAR ascii (Unicode item)", NA_IT_UNICODE, 102, 0, 0, 0, Texts("ASCII")},
      {"VARCHAR accented (Unicode item)", NA_IT_UNICODE, 102, 0, 0, 0, Texts("ACCENT")},
      {"DATE", NA_IT_DATE8, 9, 0, 0, 3, Texts("DATE")},
      {"DATETIME(6)", NA_IT_DATETIME, 8, 0, 0, 3, Texts("DATETIME")},
  };
  std::printf("\nRuntime code page %d, server code page 65001, %ld rows\n", nRuntime, nRows);
  std::printf("%-34s %10s %10s %14s %14s\n", "kind", "ns/value", "floor ns", "lib allocs/row",
              "runtime allocs");
  std::vector<unsigned char> abyRecord(512);
  for (const Kind& k : aKinds) {
    CNAItemDescription* pclItem = new CNAItemDescription;
    pclItem->AddRef();
    pclItem->bInit(L"ITEM", L"", L"", 1, k.nSize, k.eType, 0, 0, 0, k.nInt, k.nDec);
    CNAConvertVariant* pclValue = new CNAConvertVariant(nullptr, pclCnx);
    pclValue->AddRef();
    pclValue->bInitTypeVariant(NAVT_BOUND, abyRecord.data(), k.nSize, 0);
    pclValue->SetItemDesc(pclItem, pclItem);
    // One warm-up pass: converters, the runtime's first allocations.
    for (int i = 0; i < 2048; ++i) {
      const std::string& s = k.asTexts[static_cast<std::size_t>(i) & 1023];
      pclValue->bSetValueDB(s.data(), static_cast<unsigned long>(s.size()), 65001);
    }
    gnLibraryAllocs = gnRuntimeAllocs = 0;
    gbCounting = true;
    const auto t0 = std::chrono::steady_clock::now();
    for (long r = 0; r < nRows; ++r) {
      const std::string& s = k.asTexts[static_cast<std::size_t>(r) & 1023];
      pclValue->bSetValueDB(s.data(), static_cast<unsigned long>(s.size()), 65001);
    }
    const auto t1 = std::chrono::steady_clock::now();
    gbCounting = false;
    const double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(nRows);
    const double dFloor = FloorNs(k, nRows);
    if (kbCounting)
      std::printf("%-34s %10.1f %10.1f %14.3f %14.3f\n", k.pszName, ns, dFloor,
                  static_cast<double>(gnLibraryAllocs) / static_cast<double>(nRows),
                  static_cast<double>(gnRuntimeAllocs) / static_cast<double>(nRows));
    else
      std::printf("%-34s %10.1f %10.1f %14s %14s\n", k.pszName, ns, dFloor, "n/a", "n/a");
    pclValue->nRelease();
    pclItem->nRelease();
  }
  pclCnx->nRelease();
}

}  // namespace

int main(int argc, char** argv) {
  const long nRows = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (nRows < 1) {
    std::fprintf(stderr, "usage: convert_variant [rows]\n");
    return 2;
  }
  StandInVm vm(KX_STANDIN_VM_PATH);
  CInformationModule::ms_piStrMemAlloc = reinterpret_cast<IStrMemAlloc*>(vm.GetItem(13));
  if (bInitTNConvFromVM(vm.hModule(), 2, 2) != 1) {
    std::fprintf(stderr, "the stand-in runtime could not be bound\n");
    return 1;
  }
  gpfnRuntimeConv = gpfnConvDepExt;
  gpfnConvDepExt = CountedConv;
  if (!kbCounting) std::printf("(sanitizer build: allocations are not counted)\n");
  Run(1252, nRows);
  Run(932, nRows);
  return 0;
}
