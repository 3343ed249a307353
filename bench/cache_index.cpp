// The table cache's client-side indexes over a full record cache of
// 200,000 rows: an I4 column (random values with duplicates) and a UNICODE
// column of 50 characters (random texts of 10 to 50 characters sharing
// prefixes). For each, the index is built over the cache (every entry read
// and keyed, then loaded into the tree) and browsed from first to the end
// by next steps of one. Prints nanoseconds per row and rows per second.
// Run by hand, on an optimised build:
//   cache_index [rows]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "AnyRuntime.h"
#include "CAny.h"
#include "CInformationDLL.h"
#include "CNAColumn.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNATableCacheIndex.h"
#include "CNAXQRecord.h"
#include "IStrMemAlloc.h"
#include "StandInControl.h"
#include "TestSource.h"

namespace {

using Clock = std::chrono::steady_clock;

// Two items laid out one after the other, as the runtime lays them out.
class BenchSource : public kxtest::TestSource {
 public:
  ~BenchSource() override {
    for (CNAItemDescription* p : m_tabItems) p->nRelease();
  }
  CNAItemDescription* pclAdd(eNA_ITEMTYPE eType, std::uint32_t nSize) {
    auto* p = new CNAItemDescription;
    p->AddRef();
    const std::wstring sName = L"ITEM" + std::to_wstring(m_tabItems.size());
    p->bInit(sName.c_str(), L"SRC", sName.c_str(), 1, nSize, eType, static_cast<std::uint32_t>(m_tabItems.size()),
             -1, 0, 0, 0);
    p->SetOffset(m_nSize);
    m_nSize += p->nGetTotalSize();
    m_tabItems.push_back(p);
    return p;
  }
  std::uint32_t nGetDiskRecordSize() override { return m_nSize; }
  std::uint32_t nGetNumItems() override { return static_cast<std::uint32_t>(m_tabItems.size()); }
  std::uint32_t nGetNumItemPhysicallyInFic() override { return nGetNumItems(); }
  INAItemDescription* piNAGetItem(std::uint32_t n) override {
    if (n >= m_tabItems.size()) return nullptr;
    m_tabItems[n]->ExternalAddRef();
    return m_tabItems[n];
  }

 private:
  std::vector<CNAItemDescription*> m_tabItems;
  std::uint32_t m_nSize = 0;
};

double Ns(Clock::time_point start) { return std::chrono::duration<double, std::nano>(Clock::now() - start).count(); }

void Report(const char* what, double ns, long nRows) {
  std::printf("%-28s %10.1f ns/row %14.0f rows/s\n", what, ns / static_cast<double>(nRows),
              static_cast<double>(nRows) * 1e9 / ns);
}

// Builds an index on `item` over the cache and browses it to the end.
bool Measure(const char* name, CNAError* error, CNARecordCache* cache, INAItemDescription* item, long nRows) {
  auto* pclColumn = new CNAColumn(error, item);
  pclColumn->AddRef();
  auto* pclIndex = new CNATableCacheIndex(error, cache, pclColumn, nullptr);
  pclIndex->dwAddRef();
  Clock::time_point t = Clock::now();
  const bool bBuilt = pclIndex->bInit();
  const double nsBuild = Ns(t);
  long nSeen = 0;
  t = Clock::now();
  int n = -1;
  pclIndex->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, nullptr);
  while (n >= 0) {
    ++nSeen;
    pclIndex->bGetRecordPosition(NA_PARSE_NEXT, 1, &n, nullptr);
  }
  const double nsBrowse = Ns(t);
  pclIndex->dwRelease();
  pclColumn->nRelease();
  if (!bBuilt || nSeen != nRows) {
    std::fprintf(stderr, "%s: index %s, %ld rows browsed of %ld\n", name, bBuilt ? "built" : "not built", nSeen,
                 nRows);
    return false;
  }
  std::printf("%s\n", name);
  Report("  build", nsBuild, nRows);
  Report("  browse (next by 1)", nsBrowse, nRows);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const long nRows = argc > 1 ? std::atol(argv[1]) : 200000;
  if (nRows < 1 || nRows > 100000000) {
    std::fprintf(stderr, "usage: cache_index [rows]\n");
    return 2;
  }
  StandInVm vm(KX_STANDIN_VM_PATH);
  CInformationModule::ms_piStrMemAlloc = reinterpret_cast<IStrMemAlloc*>(vm.GetItem(13));
  if (bInitTNConvFromVM(vm.hModule(), 2, 2) != 1) {
    std::fprintf(stderr, "the stand-in runtime could not be bound\n");
    return 1;
  }
  bool bOk = true;
  {
    BenchSource src;
    CNAItemDescription* piI4 = src.pclAdd(NA_IT_I4, 4);
    CNAItemDescription* piText = src.pclAdd(NA_IT_UNICODE, 2 * 50 + 2);  // VARCHAR(50)
    auto* pclError = new CNAError;
    pclError->AddRef();
    auto* pclRecord = new CNAXQRecord;
    pclRecord->AddRef();
    if (!pclRecord->bInit(&src, NA_INITTYPE_EMPTY)) {
      std::fprintf(stderr, "the record could not be made\n");
      return 1;
    }
    auto* pclValue = new CNARecordValue(pclError);
    pclValue->AddRef();
    pclValue->bCopyNAXQRecord(pclRecord);
    auto* pclCache = new CNARecordCache;
    pclCache->AddRef();

    std::mt19937 rng(20261211);
    const std::wstring prefixes[] = {L"", L"customer ", L"customer order ", L"zz"};
    CAny v;
    std::wstring s;
    const Clock::time_point t = Clock::now();
    for (long i = 0; i < nRows; ++i) {
      v.SetI4(static_cast<int>(rng() % 50000));
      pclValue->pclGetNAXQRecord()->SetItemValue(piI4, &v, 0);
      s = prefixes[rng() % 4];
      const std::size_t nLength = 10 + rng() % 41;
      while (s.size() < nLength) s += static_cast<wchar_t>(L'a' + rng() % 26 + (rng() % 8 == 0 ? 0xC0 : 0));
      v.__SetType(ANY_DSTRW, 0);
      v.SetValue(s.c_str(), s.size() * sizeof(wchar_t));
      pclValue->pclGetNAXQRecord()->SetItemValue(piText, &v, 0);
      if (pclCache->nAjoute(pclValue) < 0) {
        std::fprintf(stderr, "row %ld could not be cached\n", i);
        return 1;
      }
    }
    std::printf("%ld cached rows (filled in %.0f ms)\n", nRows, Ns(t) / 1e6);
    bOk = Measure("I4", pclError, pclCache, piI4, nRows) && bOk;
    bOk = Measure("UNICODE VARCHAR(50)", pclError, pclCache, piText, nRows) && bOk;

    pclCache->nRelease();
    pclValue->nRelease();
    pclRecord->nRelease();
    pclError->nRelease();
  }
  return bOk ? 0 : 1;
}
