// Fuzz target of the archive readers and of the installer's own path: each
// input is opened as a ZIP archive through a memory stream and every entry
// is read (at most about 1 MiB of output per input), then the same bytes are
// read as a serialised archive directory, then installed the way mdbdeploy
// installs: written to a file, opened by the installer's archive facade, its
// names checked, its entries staged and committed (or rolled back) into a
// fresh directory. Only result codes may come back: no crash, leak or
// sanitizer finding; and the install writes nothing outside its target,
// leaves no temporary file, and a failed install leaves the target empty.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "CDataExtractor.h"
#include "CInformationDLL.h"
#include "CMemoryStream.h"
#include "CRepertoire.h"
#include "CStrMemAlloc.h"
#include "CWinZip.h"
#include "DllResources.h"
#include "support/DeployArchive.h"

namespace {

constexpr std::size_t knOutputBudget = 1 << 20;
// Inputs whose entries declare more than this are not installed (disk).
constexpr std::int64_t knInstallBudget = 1 << 20;
constexpr unsigned knInstallEntries = 256;

// Opens a read-only memory stream on a copy of the input.
bool bOpenOn(CMemoryStream& clStream, std::vector<unsigned char>& aCopy) {
  if (!clStream.bAssociate(aCopy.empty() ? nullptr : aCopy.data(),
                           static_cast<std::uint32_t>(aCopy.size())))
    return false;
  int bCreated = 0;
  return clStream.bOpen(L"fuzz", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, &bCreated);
}

void ReadArchive(const std::uint8_t* pbyData, std::size_t nSize) {
  std::vector<unsigned char> aCopy(pbyData, pbyData + nSize);
  CMemoryStream clStream;
  if (!bOpenOn(clStream, aCopy)) return;
  CWinZip clZip;
  clZip.SetStream(&clStream);
  if (clZip.OuvreZip(L"fuzz.zip", 0) != 0) return;
  std::size_t nBudget = knOutputBudget;
  unsigned char abyBuffer[16384];
  for (int i = 0; i < clZip.nGetNbEntries() && nBudget > 0; ++i) {
    if (clZip.GoToEntry(i) != 0 || clZip.OpenCurrentFileInZip() != 0) continue;
    unsigned nProduced = 0;
    while (nBudget > 0 && clZip.bReadCurrentFileInZip(abyBuffer, sizeof abyBuffer, &nProduced) &&
           nProduced > 0)
      nBudget -= nProduced < nBudget ? nProduced : nBudget;
    clZip.CloseCurrentFileInZip(1);
  }
  // Lookups by name walk the hash and the table.
  if (clZip.FirstFile() == 0) clZip.LocateFile(clZip.CurrentFile_szName(), 0);
}

void ReadDirectory(const std::uint8_t* pbyData, std::size_t nSize) {
  std::vector<unsigned char> aCopy(pbyData, pbyData + nSize);
  CMemoryStream clStream;
  if (!bOpenOn(clStream, aCopy)) return;
  CRepertoire clDirectory;
  clDirectory.bLit(&clStream);
}

using deploytest::Listing;
using deploytest::sWide;

// Walks `dir`: aborts on a temporary file of the installer, counts entries,
// removes everything below it when bRemove.
std::size_t nWalk(const std::string& dir, bool bRemove) {
  std::size_t nCount = 0;
  for (const std::string& name : Listing(dir)) {
    if (name.compare(0, 11, ".mdbdeploy-") == 0) {
      std::fprintf(stderr, "temporary file left behind: %s/%s\n", dir.c_str(), name.c_str());
      std::abort();
    }
    const std::string sPath = dir + "/" + name;
    struct stat st;
    if (lstat(sPath.c_str(), &st) != 0) continue;
    ++nCount;
    if (S_ISDIR(st.st_mode)) {
      // Entries get mode bits from the installer: make them walkable again.
      chmod(sPath.c_str(), 0700);
      nCount += nWalk(sPath, bRemove);
      if (bRemove) rmdir(sPath.c_str());
    } else if (bRemove) {
      unlink(sPath.c_str());
    }
  }
  return nCount;
}

std::string gsRoot;

void Install(const std::uint8_t* pbyData, std::size_t nSize) {
  // A fresh directory: <work>/a.zip and <work>/target/ only; <work> is
  // made once and removed at exit.
  static const std::string& sRoot = [] {
    const char* pszTmp = std::getenv("TMPDIR");
    gsRoot = std::string(pszTmp != nullptr && *pszTmp != 0 ? pszTmp : "/tmp") + "/zip_fuzz_XXXXXX";
    if (mkdtemp(&gsRoot[0]) == nullptr) std::abort();
    std::atexit([] { rmdir(gsRoot.c_str()); });
    return std::cref(gsRoot);
  }().get();
  const std::string sArchive = sRoot + "/a.zip";
  const std::string sTarget = sRoot + "/target";
  if (mkdir(sTarget.c_str(), 0700) != 0) std::abort();
  if (FILE* pFile = std::fopen(sArchive.c_str(), "wbe")) {
    const bool bWritten = std::fwrite(pbyData, 1, nSize, pFile) == nSize;
    if (std::fclose(pFile) != 0 || !bWritten) std::abort();
  }

  bool bInstalled = false;
  bool bTried = false;
  {
    CDataExtractor clExtractor;
    if (clExtractor.eOuvreArchive(sWide(sArchive).c_str(), 0, 0) == 0) {
      std::int64_t llDeclared = 0;
      const unsigned nEntries = clExtractor.dwNombreFichier();
      for (unsigned i = 0; i < nEntries && llDeclared <= knInstallBudget; ++i) {
        const std::int64_t llSize = clExtractor.dwTailleOriginale(static_cast<int>(i));
        llDeclared += llSize < 0 ? knInstallBudget + 1 : llSize;
      }
      if (nEntries <= knInstallEntries && llDeclared <= knInstallBudget) {
        bTried = true;
        bInstalled = clExtractor.bInstall(sWide(sTarget + "/").c_str(), S_IFDIR | 0700, getuid(),
                                          getgid(), S_IFREG | 0600, getuid(), getgid());
      }
    }
  }

  // Nothing beside the archive and the target; a failed run leaves the
  // target as it was (empty).
  const std::set<std::string> aRoot = Listing(sRoot);
  if (aRoot.size() != 2) {
    std::fprintf(stderr, "written outside the target: %zu names in %s\n", aRoot.size(), sRoot.c_str());
    std::abort();
  }
  const std::size_t nInTarget = nWalk(sTarget, true);
  if (bTried && !bInstalled && nInTarget != 0) {
    std::fprintf(stderr, "a failed install left %zu names in the target\n", nInTarget);
    std::abort();
  }
  chmod(sTarget.c_str(), 0700);
  if (rmdir(sTarget.c_str()) != 0 || unlink(sArchive.c_str()) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyData, std::size_t nSize) {
  // The installer's string allocator, as mdbdeploy installs it.
  static CStrMemAlloc* const pclAllocator = [] {
    DLLRES_bInit();
    CStrMemAlloc* pcl = CStrMemAlloc::s_pclInit();
    CInformationModule::ms_piStrMemAlloc = pcl;
    return pcl;
  }();
  if (pclAllocator == nullptr) return 0;
  ReadArchive(pbyData, nSize);
  ReadDirectory(pbyData, nSize);
  Install(pbyData, nSize);
  return 0;
}
