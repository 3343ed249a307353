// Extraction speed of the installer against unzip.
//
// Makes two archives with `zip` in a private temporary directory: one
// deflated file of about 256 MiB of compressible text, and 10,000 files of
// 1 to 8 KiB in 100 subfolders. After one warm-up run of each, it times at
// least 5 runs on each archive of the installer's extraction (eOuvreArchive,
// then bInstall into a fresh directory through the safe path) and of
// `unzip -qq -o -d`, and prints both medians and their ratio
// (installer / unzip: below 1.0 the installer is faster).
//
// Usage: zip_extract_bench [runs (>= 5)] [size of the big file in MiB]
// The temporary directory lies under $TMPDIR (or /tmp) and is removed at the
// end. No root is needed: files get the current user's owner and group.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CDataExtractor.h"
#include "CInformationDLL.h"
#include "CStrMemAlloc.h"
#include "DllResources.h"
#include "UnicodeConversion.h"

extern char** environ;

namespace {

int nRunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int nStatus = 0;
  if (waitpid(pid, &nStatus, 0) != pid) return -1;
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

int nShell(const std::string& command) { return nRunProgram({"/bin/sh", "-c", command}); }

std::wstring sWide(const std::string& text) {
  std::wstring out(text.size() + 1, L'\0');
  out.resize(static_cast<std::size_t>(UTF8ToWide(&out[0], static_cast<long>(out.size()), text.c_str())));
  return out;
}

// Deterministic pseudo-random numbers.
struct stRandom {
  std::uint64_t qw = 0x243F6A8885A308D3ULL;
  std::uint32_t Next() {
    qw = qw * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(qw >> 33);
  }
};

const char* const kaWords[] = {"runtime", "archive", "deflate", "window", "record", "entry",
                               "directory", "library", "server", "install", "owner", "group",
                               "mode", "table", "index", "stream", "buffer", "header"};

// Text lines of words and numbers: compresses about 4 to 1 like source text.
std::string sText(stRandom& rnd, std::size_t nBytes) {
  std::string out;
  out.reserve(nBytes + 128);
  while (out.size() < nBytes) {
    const unsigned nWords = 4 + rnd.Next() % 9;
    for (unsigned i = 0; i < nWords; ++i) {
      out += kaWords[rnd.Next() % (sizeof kaWords / sizeof kaWords[0])];
      out += ' ';
    }
    out += std::to_string(rnd.Next() % 100000);
    out += '\n';
  }
  out.resize(nBytes);
  return out;
}

bool bWriteFile(const std::string& path, const std::string& bytes) {
  FILE* pf = std::fopen(path.c_str(), "wb");
  if (pf == nullptr) return false;
  const bool bOk = std::fwrite(bytes.data(), 1, bytes.size(), pf) == bytes.size();
  return std::fclose(pf) == 0 && bOk;
}

double dSeconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double dMedian(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One installer run: open, then install into `out` (not existing yet).
bool bInstallerRun(const std::string& archive, const std::string& out, double* pdSeconds) {
  const auto t0 = std::chrono::steady_clock::now();
  bool bOk;
  {
    CDataExtractor clExtractor;
    clExtractor.m_bTrace = 0;
    bOk = clExtractor.eOuvreArchive(sWide(archive).c_str(), 0, 0) == 0 &&
          clExtractor.bInstall(sWide(out + "/").c_str(), S_IFDIR | 0755, getuid(), getgid(),
                               S_IFREG | 0644, getuid(), getgid());
  }
  *pdSeconds = dSeconds(t0, std::chrono::steady_clock::now());
  return bOk;
}

bool bUnzipRun(const std::string& archive, const std::string& out, double* pdSeconds) {
  const auto t0 = std::chrono::steady_clock::now();
  const bool bOk = nRunProgram({"unzip", "-qq", "-o", "-d", out, archive}) == 0;
  *pdSeconds = dSeconds(t0, std::chrono::steady_clock::now());
  return bOk;
}

bool bMeasure(const char* pszLabel, const std::string& work, const std::string& archive, int nRuns) {
  std::vector<double> installer;
  std::vector<double> unzip;
  const std::string sOut = work + "/out";
  for (int i = -1; i < nRuns; ++i) {  // run -1 is the warm-up
    double dInstaller = 0;
    double dUnzip = 0;
    // Alternate which goes first, so that neither always meets a cache the
    // other warmed.
    for (int k = 0; k < 2; ++k) {
      const bool bInstallerTurn = ((i + k) % 2) == 0;
      nShell("rm -rf '" + sOut + "' && sync");
      const bool bOk = bInstallerTurn ? bInstallerRun(archive, sOut, &dInstaller)
                                      : bUnzipRun(archive, sOut, &dUnzip);
      if (!bOk) {
        std::fprintf(stderr, "%s: %s run failed\n", pszLabel, bInstallerTurn ? "installer" : "unzip");
        return false;
      }
    }
    if (i >= 0) {
      installer.push_back(dInstaller);
      unzip.push_back(dUnzip);
    }
  }
  nShell("rm -rf '" + sOut + "'");
  const double dI = dMedian(installer);
  const double dU = dMedian(unzip);
  std::printf("%-28s installer median %8.3f s   unzip median %8.3f s   ratio %.3f\n", pszLabel, dI,
              dU, dI / dU);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int nRuns = std::max(5, argc > 1 ? std::atoi(argv[1]) : 5);
  const long nBigMiB = argc > 2 ? std::max(1L, std::atol(argv[2])) : 256;

  DLLRES_bInit();
  CInformationModule::ms_piStrMemAlloc = CStrMemAlloc::s_pclInit();

  const char* pszTmp = std::getenv("TMPDIR");
  std::string sWork = (pszTmp != nullptr && *pszTmp != 0) ? pszTmp : "/tmp";
  sWork += "/zip_extract_bench.XXXXXX";
  if (mkdtemp(&sWork[0]) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }

  int nStatus = 0;
  stRandom rnd;
  // The big file: about nBigMiB MiB of text, deflated.
  mkdir((sWork + "/big").c_str(), 0755);
  {
    FILE* pf = std::fopen((sWork + "/big/big.txt").c_str(), "wb");
    for (long i = 0; pf != nullptr && i < nBigMiB * 16; ++i) {
      const std::string s = sText(rnd, 65536);
      std::fwrite(s.data(), 1, s.size(), pf);
    }
    if (pf == nullptr || std::fclose(pf) != 0) nStatus = 1;
  }
  // 10,000 files of 1 to 8 KiB in 100 subfolders.
  mkdir((sWork + "/many").c_str(), 0755);
  for (int d = 0; d < 100 && nStatus == 0; ++d) {
    const std::string sDir = sWork + "/many/folder" + std::to_string(d);
    mkdir(sDir.c_str(), 0755);
    for (int f = 0; f < 100 && nStatus == 0; ++f) {
      const std::size_t nSize = 1024 + rnd.Next() % (7 * 1024 + 1);
      if (!bWriteFile(sDir + "/file" + std::to_string(f) + ".txt", sText(rnd, nSize))) nStatus = 1;
    }
  }
  if (nStatus == 0 &&
      (nShell("cd '" + sWork + "/big' && zip -q -6 ../big.zip big.txt") != 0 ||
       nShell("cd '" + sWork + "/many' && zip -q -6 -r ../many.zip .") != 0)) {
    std::fprintf(stderr, "zip failed\n");
    nStatus = 1;
  }
  nShell("rm -rf '" + sWork + "/big' '" + sWork + "/many'");

  if (nStatus == 0) {
    std::printf("%d runs after one warm-up; ratio = installer / unzip\n", nRuns);
    const std::string sBigLabel = std::to_string(nBigMiB) + " MiB text, deflated";
    if (!bMeasure(sBigLabel.c_str(), sWork, sWork + "/big.zip", nRuns)) nStatus = 1;
    if (!bMeasure("10,000 files of 1-8 KiB", sWork, sWork + "/many.zip", nRuns)) nStatus = 1;
  }
  nShell("rm -rf '" + sWork + "'");

  CInformationModule::ms_piStrMemAlloc = nullptr;
  CStrMemAlloc::s_Term();
  DLLRES_Term();
  return nStatus;
}
