// Times the command builder on the texts a browse and a write build: the
// continuation SELECT of a 20-column table on a 3-column key (six
// parameters and a row limit) and a 20-value INSERT carrying a 1 MiB, then
// a 2 MiB, binary. Each build starts from a fresh command, as a statement
// builds one per request; a second request of a built text is timed too.
//
// Usage: command_build [iterations]   (default 20000 for the SELECT)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAConnectionDescription.h"
#include "CNAConvertVariant.h"
#include "CNAParameter.h"
#include "CInformationDLL.h"
#include "StandInStrMemAlloc.h"

namespace {

// A MariaDB-kind connection that is never opened: the generic literal
// writer (quotes doubled, binaries as X'..'), UTF-8 statement text.
class BenchConnection : public CNAConnectionDescription {
 public:
  BenchConnection() : CNAConnectionDescription(L"bench", nullptr) {
    m_eDataSource = DATASOURCE_MARIADB;
    m_nDataBaseCodePage = 65001;
    m_nApplicationCodePage = 1252;
    m_csBinaryPrefix.Set(L"X'");
    m_csBinarySuffix.Set(L"'");
  }
  int bOpen(CNAError*) override { return 1; }
  int bIsOpen() override { return 1; }
  int bClose(CNAError*) override { return 1; }
  void _InitXQ2NativeType() override {}
};

using Clock = std::chrono::steady_clock;

double Micro(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void AddValue(CNACommand* c, CNAConnectionDescription* cnx, unsigned short type, const void* data, std::size_t n) {
  CNAConvertVariant* v = new CNAConvertVariant(nullptr, cnx);
  v->AddRef();
  v->InitTypeVariantAny(type);
  if (type == ANY_BIN)
    v->bSetValue(static_cast<const unsigned char*>(data), static_cast<unsigned long>(n));
  else
    v->bSetValue(static_cast<const wchar_t*>(data), static_cast<unsigned long>(n));
  CNAParameter* p = new CNAParameter(v, static_cast<unsigned long>(c->nGetOriginalLength()), 0, nullptr);
  p->AddRef();
  c->bAddParameter(p);
  p->nRelease();
  v->nRelease();
}

void AddText(CNACommand* c, CNAConnectionDescription* cnx, const wchar_t* psz) {
  AddValue(c, cnx, ANY_DSTRW, psz, std::wcslen(psz));
}

CNACommand* BuildSelect(CNAConnectionDescription* cnx) {
  CNACommand* c = pclAllocCommand(nullptr, cnx);
  c->AddRef();
  std::wstring s = L"SELECT ";
  for (int i = 1; i <= 20; ++i) s += (i > 1 ? L",`col" : L"`col") + std::to_wstring(i) + L"`";
  s += L" FROM `customer` WHERE (`k1`>";
  c->bComplete(s.c_str());
  AddText(c, cnx, L"Dupont");
  c->bComplete(L") OR (`k1`=");
  AddText(c, cnx, L"Dupont");
  c->bComplete(L" AND `k2`>");
  AddText(c, cnx, L"Jean-Fran\u00e7ois");
  c->bComplete(L") OR (`k1`=");
  AddText(c, cnx, L"Dupont");
  c->bComplete(L" AND `k2`=");
  AddText(c, cnx, L"Jean-Fran\u00e7ois");
  c->bComplete(L" AND `k3`>");
  AddText(c, cnx, L"O'Neil");
  c->bComplete(L") ORDER BY `k1`,`k2`,`k3`");
  c->SetRecordLimit(20);
  return c;
}

CNACommand* BuildInsert(CNAConnectionDescription* cnx, const std::vector<unsigned char>& blob) {
  CNACommand* c = pclAllocCommand(nullptr, cnx);
  c->AddRef();
  std::wstring s = L"INSERT INTO `customer` (";
  for (int i = 1; i <= 20; ++i) s += (i > 1 ? L",`col" : L"`col") + std::to_wstring(i) + L"`";
  s += L") VALUES (";
  c->bComplete(s.c_str());
  for (int i = 1; i <= 19; ++i) {
    AddText(c, cnx, (L"value " + std::to_wstring(i)).c_str());
    c->bComplete(L",");
  }
  AddValue(c, cnx, ANY_BIN, blob.data(), blob.size());
  c->bComplete(L")");
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  const int nIterations = argc > 1 ? std::atoi(argv[1]) : 20000;
  // Texts of values live in the runtime's string memory.
  static CStandInStrMemAlloc s_clAlloc;
  CInformationModule::ms_piStrMemAlloc = &s_clAlloc;
  BenchConnection* cnx = new BenchConnection();
  cnx->AddRef();

  // The continuation SELECT.
  std::size_t nBytes = 0;
  Clock::duration dAppend{};
  Clock::duration dBuild{};
  Clock::duration dCached{};
  for (int i = 0; i < nIterations; ++i) {
    const Clock::time_point t0 = Clock::now();
    CNACommand* c = BuildSelect(cnx);
    const Clock::time_point t1 = Clock::now();
    const char* psz = c->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
    const Clock::time_point t2 = Clock::now();
    const char* pszAgain = c->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
    const Clock::time_point t3 = Clock::now();
    if (psz == nullptr || pszAgain == nullptr) {
      std::fprintf(stderr, "the SELECT did not build\n");
      return 1;
    }
    nBytes = std::strlen(psz);
    dAppend += t1 - t0;
    dBuild += t2 - t1;
    dCached += t3 - t2;
    c->nRelease();
  }
  std::printf("continuation SELECT (%d runs, %zu bytes): append %.2f us, build %.2f us, cached request %.3f us\n",
              nIterations, nBytes, Micro(dAppend) / nIterations, Micro(dBuild) / nIterations,
              Micro(dCached) / nIterations);

  // The INSERT with a 1 MiB, then a 2 MiB binary.
  for (const std::size_t nSize : {std::size_t{1} << 20, std::size_t{2} << 20}) {
    std::vector<unsigned char> blob(nSize);
    for (std::size_t i = 0; i < nSize; ++i) blob[i] = static_cast<unsigned char>(i * 131u + 7u);
    const int nRuns = 20;
    Clock::duration dInsert{};
    std::size_t nLength = 0;
    for (int i = 0; i < nRuns; ++i) {
      CNACommand* c = BuildInsert(cnx, blob);
      const Clock::time_point t0 = Clock::now();
      const char* psz = c->pszGetFormatedSQLA(PARAMTYPECONV_ALL);
      dInsert += Clock::now() - t0;
      if (psz == nullptr) {
        std::fprintf(stderr, "the INSERT did not build\n");
        return 1;
      }
      nLength = std::strlen(psz);
      c->nRelease();
      if (nLength < 2 * nSize) {
        std::fprintf(stderr, "the binary literal is missing\n");
        return 1;
      }
    }
    std::printf("INSERT, 20 values, %zu KiB binary (%d runs, %zu bytes): build %.2f ms\n", nSize >> 10, nRuns,
                nLength, Micro(dInsert) / nRuns / 1000.0);
  }
  cnx->nRelease();
  return 0;
}
