// The word-keyed hash table: sizes and the level ladder, equal keys, parses,
// the string callbacks, the string hash sums, and failed allocations while
// growing and shrinking.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "BuiltinLocale.h"
#include "CHashTableBounce.h"
#include "HashValues.h"
#include "support/HugeAllocation.h"
#include "support/RecordingLocale.h"

extern char** environ;

namespace {

void* Mot(std::uintptr_t n) { return reinterpret_cast<void*>(n); }
std::uintptr_t Nombre(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// The table with its level in view.
class CTable : public CHashTableBounce {
 public:
  explicit CTable(unsigned int nSize, PFHTBHASHVAL pfHash = _dwHTBDefaultHashVal) : CHashTableBounce(nSize) {
    SetCmp(_nHTBDefaultCompare);
    SetHashVal(pfHash);
  }
  int nNiveau() const { return m_nNiveau; }
  unsigned nBuckets() const { return m_dwNbBuckets; }
  unsigned nCapacite() const { return m_dwCapacite; }

  bool bAjoute(std::uintptr_t k, std::uintptr_t v) { return bAddElement(Mot(k), Mot(v)); }
  // The value found for k, 0 when absent.
  std::uintptr_t nTrouve(std::uintptr_t k) {
    void* v = nullptr;
    return bGetElement(Mot(k), &v, nullptr) ? Nombre(v) : 0;
  }
  std::uintptr_t nSupprime(std::uintptr_t k) {
    void* v = nullptr;
    return bDeleteElement(Mot(k), &v, nullptr) ? Nombre(v) : 0;
  }
};

unsigned HashEnSept(const void* k) { return static_cast<unsigned>(Nombre(k) % 7); }
unsigned HashMelange(const void* k) { return static_cast<unsigned>(Nombre(k) * 2654435761u); }

TEST(HashTableBounce, SizesAreElementCounts) {
  const struct {
    unsigned nSize, nBuckets, nCapacite;
  } rows[] = {{0, 17, 8}, {7, 17, 8}, {8, 17, 8}, {9, 53, 26}, {26, 53, 26}, {27, 97, 48}, {1000, 3079, 1539}};
  for (const auto& row : rows) {
    CTable t(row.nSize);
    EXPECT_EQ(t.nBuckets(), row.nBuckets) << row.nSize;
    EXPECT_EQ(t.nCapacite(), row.nCapacite) << row.nSize;
  }
}

TEST(HashTableBounce, GrowsWhenFullAndShrinksBelowAQuarterOfTheLowerLevel) {
  CTable t(7);
  for (std::uintptr_t k = 1; k <= 8; ++k) ASSERT_TRUE(t.bAjoute(k, k + 1000));
  EXPECT_EQ(t.nBuckets(), 17u);
  ASSERT_TRUE(t.bAjoute(9, 1009));
  EXPECT_EQ(t.nBuckets(), 53u);
  EXPECT_EQ(t.nCapacite(), 26u);
  for (std::uintptr_t k = 1; k <= 9; ++k) EXPECT_EQ(t.nTrouve(k), k + 1000) << k;

  for (std::uintptr_t k = 10; k <= 27; ++k) ASSERT_TRUE(t.bAjoute(k, k + 1000));
  ASSERT_EQ(t.nNiveau(), 2);
  // Level 2 holds on down to 13 elements (53 / 4), then the table moves to
  // the lowest level whose capacity exceeds the count.
  std::uintptr_t k = 1;
  while (t.dwGetNumElement() > 13) {
    ASSERT_EQ(t.nSupprime(k), k + 1000);
    ++k;
  }
  EXPECT_EQ(t.nNiveau(), 2);
  ASSERT_EQ(t.nSupprime(k), k + 1000);
  ++k;
  EXPECT_EQ(t.nNiveau(), 1);
  while (t.dwGetNumElement() > 4) {
    ASSERT_EQ(t.nSupprime(k), k + 1000);
    ++k;
  }
  EXPECT_EQ(t.nNiveau(), 1);
  ASSERT_EQ(t.nSupprime(k), k + 1000);
  ++k;
  EXPECT_EQ(t.nNiveau(), 0);
  EXPECT_EQ(t.nBuckets(), 17u);
  for (std::uintptr_t r = k; r <= 27; ++r) EXPECT_EQ(t.nTrouve(r), r + 1000) << r;
  for (std::uintptr_t r = 1; r < k; ++r) EXPECT_EQ(t.nTrouve(r), 0u) << r;
}

// A newer element with an equal key that sits in a lower record than the
// older one (it reused a freed record) stays in front after a rehash.
TEST(HashTableBounce, EqualKeysNewestFirstAlsoAfterRehash) {
  CTable t(7);
  for (std::uintptr_t k = 1; k <= 6; ++k) ASSERT_TRUE(t.bAjoute(k, k));
  ASSERT_TRUE(t.bAjoute(50, 501));  // record 7
  ASSERT_EQ(t.nSupprime(1), 1u);    // frees record 1
  ASSERT_TRUE(t.bAjoute(50, 502));  // takes record 1
  EXPECT_EQ(t.nTrouve(50), 502u);
  for (std::uintptr_t k = 10; k <= 12; ++k) ASSERT_TRUE(t.bAjoute(k, k));
  ASSERT_EQ(t.nNiveau(), 1);
  EXPECT_EQ(t.nTrouve(50), 502u);
  EXPECT_EQ(t.nSupprime(50), 502u);
  EXPECT_EQ(t.nSupprime(50), 501u);
  EXPECT_EQ(t.nSupprime(50), 0u);
}

// Random adds, finds and removals (also inside parses) against a model, over
// many grow and shrink thresholds, with few distinct keys so that equal keys
// abound, and with a hash that crowds every key into seven chains.
TEST(HashTableBounce, RandomRunAgainstAModel) {
  for (PFHTBHASHVAL pfHash : {HashMelange, HashEnSept}) {
    CTable t(7, pfHash);
    std::map<std::uintptr_t, std::vector<std::uintptr_t>> modele;  // values, oldest first
    std::size_t nModele = 0;
    std::mt19937 alea(20240611);
    std::uintptr_t nValeur = 1;
    const std::size_t cibles[] = {300, 2, 120, 0, 700, 40, 60, 1, 250, 0};
    int nNiveauMax = 0;

    auto verifieTout = [&] {
      std::map<std::uintptr_t, std::vector<std::uintptr_t>> vu;
      unsigned nCurseur = 0;
      void* k = nullptr;
      void* v = nullptr;
      while (t.bParseTable(&nCurseur, 0, &v, &k)) vu[Nombre(k)].push_back(Nombre(v));
      std::size_t nVus = 0;
      for (auto& [cle, valeurs] : vu) {
        nVus += valeurs.size();
        auto attendu = modele[cle];
        std::sort(valeurs.begin(), valeurs.end());
        std::sort(attendu.begin(), attendu.end());
        ASSERT_EQ(valeurs, attendu) << cle;
      }
      ASSERT_EQ(nVus, nModele);
      ASSERT_EQ(t.dwGetNumElement(), nModele);
    };

    for (std::size_t cible : cibles) {
      for (int pas = 0; pas < 6000 && nModele != cible; ++pas) {
        const bool bCroit = nModele < cible;
        const unsigned tirage = alea() % 1000;
        std::uintptr_t cle = 1 + alea() % 97;
        if (!bCroit && nModele > 0 && alea() % 4 != 0) {
          // Mostly keys that are there while the table is to shrink.
          std::size_t n = alea() % nModele;
          for (auto& [c, vs] : modele) {
            if (n < vs.size()) {
              cle = c;
              break;
            }
            n -= vs.size();
          }
        }
        auto& valeurs = modele[cle];
        if (tirage < (bCroit ? 700u : 250u)) {
          ASSERT_TRUE(t.bAjoute(cle, nValeur));
          valeurs.push_back(nValeur++);
          ++nModele;
        } else if (tirage < 950) {
          const std::uintptr_t attendu = valeurs.empty() ? 0 : valeurs.back();
          ASSERT_EQ(t.nSupprime(cle), attendu) << cle;
          if (valeurs.empty()) continue;
          valeurs.pop_back();
          --nModele;
          // After a removal outside a parse the table is never below a
          // quarter of the lower level.
          if (t.nNiveau() > 0) {
            ASSERT_GE(t.dwGetNumElement(), CHashTableBounce::g__ToutPretToutChaud[t.nNiveau() - 1] / 4);
          }
        } else if (tirage < 997) {
          ASSERT_EQ(t.nTrouve(cle), valeurs.empty() ? 0 : valeurs.back()) << cle;
        } else {
          // A parse that removes every other element it meets.
          const int nNiveau = t.nNiveau();
          unsigned nCurseur = 0;
          void* k = nullptr;
          void* v = nullptr;
          int bRetire = static_cast<int>(alea() % 2);
          while (t.bParseTable(&nCurseur, bRetire, &v, &k)) {
            if (bRetire) {
              auto& vs = modele[Nombre(k)];
              auto it = std::find(vs.begin(), vs.end(), Nombre(v));
              ASSERT_NE(it, vs.end());
              vs.erase(it);
              --nModele;
            }
            bRetire = !bRetire;
          }
          ASSERT_EQ(t.nNiveau(), nNiveau);  // no shrink during a parse
        }
        ASSERT_LE(t.dwGetNumElement(), t.nCapacite());
        nNiveauMax = std::max(nNiveauMax, t.nNiveau());
      }
      verifieTout();
      for (auto& [cle, valeurs] : modele) ASSERT_EQ(t.nTrouve(cle), valeurs.empty() ? 0 : valeurs.back()) << cle;
    }
    EXPECT_GE(nNiveauMax, 5);
  }
}

// Of several elements with equal keys, removal by key and value takes the
// one holding that value and leaves the others in their order; a value not
// under that key removes nothing.
TEST(HashTableBounce, DeleteByKeyAndValueAlongTheChain) {
  CTable t(7, HashEnSept);
  // Keys 3 and 10 share a bucket; three elements have key 3.
  ASSERT_TRUE(t.bAjoute(3, 100));
  ASSERT_TRUE(t.bAjoute(10, 200));
  ASSERT_TRUE(t.bAjoute(3, 101));
  ASSERT_TRUE(t.bAjoute(3, 102));
  EXPECT_FALSE(t.bDeleteElementValue(Mot(3), Mot(200)));
  EXPECT_FALSE(t.bDeleteElementValue(Mot(17), Mot(100)));
  void* pCle = nullptr;
  EXPECT_TRUE(t.bDeleteElementValue(Mot(3), Mot(101), &pCle));
  EXPECT_EQ(Nombre(pCle), 3u);
  EXPECT_EQ(t.dwGetNumElement(), 3u);
  EXPECT_EQ(t.nSupprime(3), 102u);
  EXPECT_EQ(t.nSupprime(3), 100u);
  EXPECT_EQ(t.nSupprime(3), 0u);
  EXPECT_EQ(t.nTrouve(10), 200u);
  EXPECT_TRUE(t.bDeleteElementValue(Mot(10), Mot(200)));
  EXPECT_EQ(t.dwGetNumElement(), 0u);
  EXPECT_FALSE(t.bDeleteElementValue(Mot(10), Mot(200)));

  // Removing by value shrinks the table as bDeleteElement does.
  CTable g(7, HashMelange);
  for (std::uintptr_t k = 1; k <= 40; ++k) ASSERT_TRUE(g.bAjoute(k, k));
  const int nHaut = g.nNiveau();
  for (std::uintptr_t k = 1; k <= 38; ++k) ASSERT_TRUE(g.bDeleteElementValue(Mot(k), Mot(k)));
  EXPECT_LT(g.nNiveau(), nHaut);
  EXPECT_EQ(g.nTrouve(39), 39u);
  EXPECT_EQ(g.nTrouve(40), 40u);
}

TEST(HashTableBounce, ParsesRemoveWithoutShrinkingAndAnOpenParseBlocksShrinking) {
  CTable t(7);
  for (std::uintptr_t k = 1; k <= 30; ++k) ASSERT_TRUE(t.bAjoute(k, k + 100));
  ASSERT_EQ(t.nNiveau(), 2);

  // Removing everything in a parse leaves the table at its level.
  unsigned nCurseur = 0;
  void* v = nullptr;
  int nVus = 0;
  while (t.bParseTable(&nCurseur, 1, &v, nullptr)) {
    ++nVus;
    EXPECT_EQ(t.nNiveau(), 2);
  }
  EXPECT_EQ(nVus, 30);
  EXPECT_EQ(t.dwGetNumElement(), 0u);
  EXPECT_FALSE(t.bGetElement(Mot(5), nullptr, nullptr));
  EXPECT_EQ(t.nNiveau(), 2);
  // DeleteAll keeps the size of an empty table and resets a filled one.
  t.DeleteAll(0);
  EXPECT_EQ(t.nNiveau(), 2);
  for (std::uintptr_t k = 1; k <= 30; ++k) ASSERT_TRUE(t.bAjoute(k, k + 100));
  ASSERT_EQ(t.nNiveau(), 2);

  // An abandoned parse holds the level until StopParsing.
  nCurseur = 0;
  ASSERT_TRUE(t.bParseTable(&nCurseur, 0, nullptr, nullptr));
  for (std::uintptr_t k = 1; k <= 26; ++k) ASSERT_EQ(t.nSupprime(k), k + 100);
  EXPECT_EQ(t.nNiveau(), 2);
  t.StopParsing();
  ASSERT_EQ(t.nSupprime(27), 127u);
  EXPECT_EQ(t.nNiveau(), 0);
  for (std::uintptr_t k = 28; k <= 30; ++k) EXPECT_EQ(t.nTrouve(k), k + 100);

  t.DeleteAll(0);
  EXPECT_EQ(t.dwGetNumElement(), 0u);
  EXPECT_EQ(t.nBuckets(), 17u);
}

TEST(HashTableBounce, ParseSetElementAndKey) {
  CTable t(7);
  t.SetCmp(CHashTableBounce::nStringLogiqueCompare);
  t.SetHashVal(CHashTableBounce::dwStringLogiqueHashVal);
  wchar_t cleA[] = L"abc";
  wchar_t cleB[] = L"ABC";
  ASSERT_TRUE(t.bAddElement(cleA, Mot(1)));
  ASSERT_TRUE(t.bAddElement(const_cast<wchar_t*>(L"autre"), Mot(2)));

  unsigned nCurseur = 0;
  void* k = nullptr;
  while (t.bParseTable(&nCurseur, 0, nullptr, &k) && k != cleA) {
  }
  ASSERT_EQ(k, cleA);
  void* ancien = nullptr;
  EXPECT_TRUE(t.bParseSetElement(nCurseur, Mot(7), &ancien));
  EXPECT_EQ(Nombre(ancien), 1u);
  EXPECT_TRUE(t.bParseSetKey(nCurseur, cleB, &ancien));  // equal under the callbacks: no rehash needed
  EXPECT_EQ(ancien, cleA);
  t.StopParsing();
  EXPECT_FALSE(t.bParseSetElement(0, Mot(9), nullptr));
  EXPECT_FALSE(t.bParseSetElement(t.nCapacite() + 1, Mot(9), nullptr));
  EXPECT_FALSE(t.bParseSetElement(t.nCapacite(), Mot(9), nullptr));  // a free record

  void* stocke = nullptr;
  void* valeur = nullptr;
  ASSERT_TRUE(t.bGetElement(L"Abc", &valeur, &stocke));
  EXPECT_EQ(Nombre(valeur), 7u);
  EXPECT_EQ(stocke, cleB);
  EXPECT_EQ(*t.pGetElement(L"aBC"), Mot(7));
  EXPECT_EQ(t.pGetElement(L"abcd"), nullptr);
}

TEST(HashTableBounce, TableWithoutStorageHoldsNothingUntilDeleteAll) {
  CTable t(0xFFFFFFFFu);  // more than the top level holds
  EXPECT_EQ(t.nBuckets(), 0u);
  EXPECT_FALSE(t.bAjoute(1, 1));
  EXPECT_EQ(t.dwGetNumElement(), 0u);
  EXPECT_FALSE(t.bGetElement(Mot(1), nullptr, nullptr));
  EXPECT_EQ(t.pGetElement(Mot(1)), nullptr);
  EXPECT_FALSE(t.bDeleteElement(Mot(1), nullptr, nullptr));
  unsigned nCurseur = 0;
  EXPECT_FALSE(t.bParseTable(&nCurseur, 0, nullptr, nullptr));
  t.DeleteAll(0);
  EXPECT_EQ(t.nBuckets(), 17u);
  EXPECT_TRUE(t.bAjoute(1, 5));
  EXPECT_EQ(t.nTrouve(1), 5u);
}

TEST(HashTableBounce, StringCallbacksIgnoreCaseAndAccents) {
  const wchar_t* egaux[] = {L"Connexion", L"CONNEXION", L"connéxion", L"CONNÉXION"};
  for (const wchar_t* s : egaux) {
    EXPECT_EQ(CHashTableBounce::nStringLogiqueCompare(s, egaux[0]), 0);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(s), CHashTableBounce::dwStringLogiqueHashVal(egaux[0]));
  }
  EXPECT_NE(CHashTableBounce::nStringLogiqueCompare(L"Connexion", L"Connexions"), 0);
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L"ab"), static_cast<unsigned>(L'A' + L'B'));
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L""), 0u);
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(nullptr), 0u);

  // Beyond 255 characters the mapped text no longer fits on the stack.
  const std::wstring longue(600, L'é');
  const std::wstring longueMaj(600, L'E');
  EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(longue.c_str()), 600u * L'E');
  EXPECT_EQ(CHashTableBounce::nStringLogiqueCompare(longue.c_str(), longueMaj.c_str()), 0);
}

// A locale whose map writes "SS" for 'ß': mapped text is longer than its
// source.
class CLocaleQuiAllonge : public CBuiltinLocale {
 public:
  int vnMapW(unsigned int nLCID, unsigned int nFlags, wchar_t* pDst, int nDstSize, const wchar_t* pSrc,
             int nSrcLen) override {
    std::wstring sortie;
    for (int i = 0; nSrcLen < 0 ? pSrc[i] != 0 : i < nSrcLen; ++i) {
      if (pSrc[i] == L'ß') {
        sortie += L"SS";
        continue;
      }
      wchar_t c = 0;
      CBuiltinLocale::vnMapW(nLCID, nFlags, &c, 1, &pSrc[i], 1);
      sortie += c;
    }
    if (pDst == nullptr || nDstSize <= 0) return static_cast<int>(sortie.size());
    const int n = std::min(nDstSize, static_cast<int>(sortie.size()));
    std::copy(sortie.begin(), sortie.begin() + n, pDst);
    return n;
  }
};

TEST(HashTableBounce, StringHashSizesTheMappedText) {
  CLocaleQuiAllonge locale;
  CInstalledLocale installe(&locale);
  for (int n : {1, 200, 400}) {
    std::wstring court, long_;
    for (int i = 0; i < n; ++i) court += L"straße", long_ += L"STRASSE";
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(court.c_str()),
              CHashTableBounce::dwStringLogiqueHashVal(long_.c_str()))
        << n;
  }
}

TEST(HashValues, SumsOfCharacterCodes) {
  EXPECT_EQ(dwHashValT(L"aB"), static_cast<unsigned>(L'a' + L'B'));
  EXPECT_EQ(dwHashValTi(L"aB"), static_cast<unsigned>(L'A' + L'B'));
  EXPECT_EQ(dwHashValTi(L"Ab"), dwHashValTi(L"aB"));
  EXPECT_EQ(dwHashValTA("aB"), static_cast<unsigned>('a' + 'B'));
  EXPECT_EQ(dwHashValTiA("aB"), static_cast<unsigned>('A' + 'B'));
  // Bytes count as signed chars: 0xE9 adds -23.
  EXPECT_EQ(dwHashValTA("\xE9"), static_cast<unsigned>(-23));
  EXPECT_EQ(dwHashValTA("a\xE9"), static_cast<unsigned>('a' - 23));
  EXPECT_EQ(dwHashValTiA("a\xE9"), static_cast<unsigned>('A' - 23));
  for (auto f : {dwHashValT, dwHashValTi}) {
    EXPECT_EQ(f(nullptr), 0u);
    EXPECT_EQ(f(L""), 0u);
  }
  for (auto f : {dwHashValTA, dwHashValTiA}) {
    EXPECT_EQ(f(nullptr), 0u);
    EXPECT_EQ(f(""), 0u);
  }
}

// ---------------------------------------------------------------------------
// Failed allocations while growing and shrinking.
//
// The allocations are made to fail by lowering the address-space limit
// (RLIMIT_AS) to what the process already maps, or a little more, around
// the one call under test. That needs a process of its own: a fresh copy of
// this program runs the test alone, with the sanitizer's allocator allowed
// to answer null (it ends the program otherwise) and with glibc mapping
// every large block on its own (so that no free space already in its heap
// can serve one).
// ---------------------------------------------------------------------------

constexpr char kCopie[] = "KX_HASHTABLE_ALLOCATION_COPY";

void RelanceDansUneCopie() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filtre = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string var(*e);
    if (var.rfind("ASAN_OPTIONS=", 0) == 0 || var.rfind("GTEST_", 0) == 0 || var.rfind("GLIBC_TUNABLES=", 0) == 0 ||
        var.rfind(kCopie, 0) == 0)
      continue;
    env.push_back(var);
  }
  const char* asan = std::getenv("ASAN_OPTIONS");
  env.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr && *asan != 0 ? std::string(asan) + ":" : "") +
                "allocator_may_return_null=1");
  env.push_back("GLIBC_TUNABLES=glibc.malloc.mmap_threshold=65536");
  env.push_back(std::string(kCopie) + "=1");
  std::vector<char*> envp;
  for (std::string& var : env) envp.push_back(var.data());
  envp.push_back(nullptr);
  std::string programme = "/proc/self/exe";
  std::vector<char*> argv{programme.data(), const_cast<char*>(filtre.c_str()), nullptr};

  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, programme.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
  int status = 0;
  for (int n = 0; n < 2400; ++n) {  // two minutes at most
    const pid_t fini = waitpid(pid, &status, WNOHANG);
    if (fini == pid) break;
    ASSERT_EQ(fini, 0);
    usleep(50000);
  }
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the copy did not end";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the copy failed (its output is above)";
}

std::uint64_t TailleVirtuelle() {
  std::uint64_t nKo = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char ligne[256];
    while (std::fgets(ligne, sizeof ligne, f) != nullptr)
      if (std::strncmp(ligne, "VmSize:", 7) == 0) nKo = std::strtoull(ligne + 7, nullptr, 10);
    std::fclose(f);
  }
  return nKo * 1024;
}

// Allows the process nMarge more bytes of address space than it maps now,
// for the object's lifetime.
class CLimite {
 public:
  explicit CLimite(std::uint64_t nMarge) {
    getrlimit(RLIMIT_AS, &m_ancienne);
    rlimit nouvelle = m_ancienne;
    nouvelle.rlim_cur = TailleVirtuelle() + nMarge;
    m_bPosee = setrlimit(RLIMIT_AS, &nouvelle) == 0;
  }
  ~CLimite() { setrlimit(RLIMIT_AS, &m_ancienne); }
  bool bPosee() const { return m_bPosee; }

 private:
  rlimit m_ancienne{};
  bool m_bPosee = false;
};

TEST(HashTableBounce, FailedGrowAndShrinkCommitNothing) {
  if (kbThreadSanitizerBuild) GTEST_SKIP() << "no address-space limit under ThreadSanitizer";
  if (std::getenv(kCopie) == nullptr) {
    RelanceDansUneCopie();
    return;
  }
  constexpr unsigned kPlein = 393216;  // capacity of level 15
  CTable t(kPlein);
  ASSERT_EQ(t.nNiveau(), 15);
  for (std::uintptr_t k = 1; k <= kPlein; ++k) ASSERT_TRUE(t.bAjoute(k, k + 7));
  auto tousLa = [&](std::uintptr_t nPremier, std::uintptr_t nDernier) {
    for (std::uintptr_t k = nPremier; k <= nDernier; ++k)
      if (t.nTrouve(k) != k + 7) return false;
    return true;
  };

  // Growing to level 16 needs 6.3 MB of buckets and 18.9 MB of records:
  // first nothing can be had, then only the buckets.
  for (std::uint64_t nMarge : {std::uint64_t{0}, std::uint64_t{8} << 20}) {
    bool bAjoute = true;
    {
      CLimite limite(nMarge);
      ASSERT_TRUE(limite.bPosee());
      bAjoute = t.bAjoute(kPlein + 1, kPlein + 8);
    }
    EXPECT_FALSE(bAjoute) << nMarge;
    EXPECT_EQ(t.nNiveau(), 15);
    EXPECT_EQ(t.dwGetNumElement(), kPlein);
    EXPECT_EQ(t.nTrouve(kPlein + 1), 0u);
    EXPECT_TRUE(tousLa(1, kPlein));
  }
  ASSERT_TRUE(t.bAjoute(kPlein + 1, kPlein + 8));
  ASSERT_EQ(t.nNiveau(), 16);

  // Level 16 holds on down to 196608 elements; the removal below that
  // shrinks to level 14 (1.6 MB of buckets), which cannot be had: the
  // element is out all the same and the table stays at level 16.
  std::uintptr_t k = 1;
  while (t.dwGetNumElement() > 196608) {
    ASSERT_EQ(t.nSupprime(k), k + 7);
    ++k;
  }
  ASSERT_EQ(t.nNiveau(), 16);
  bool bSupprime = false;
  {
    CLimite limite(0);
    ASSERT_TRUE(limite.bPosee());
    bSupprime = t.bDeleteElement(Mot(k), nullptr, nullptr);
  }
  EXPECT_TRUE(bSupprime);
  EXPECT_EQ(t.nNiveau(), 16);
  EXPECT_EQ(t.nTrouve(k), 0u);
  ++k;
  EXPECT_TRUE(tousLa(k, kPlein + 1));

  ASSERT_EQ(t.nSupprime(k), k + 7);
  ++k;
  EXPECT_EQ(t.nNiveau(), 14);
  EXPECT_TRUE(tousLa(k, kPlein + 1));
  EXPECT_EQ(t.dwGetNumElement(), kPlein + 2 - k);
}

}  // namespace
