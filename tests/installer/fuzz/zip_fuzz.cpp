// Fuzz target of the archive readers: each input is opened as a ZIP archive
// through a memory stream and every entry is read (at most about 1 MiB of
// output per input), then the same bytes are read as a serialised archive
// directory. Only result codes may come back: no crash, leak or sanitizer
// finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "CInformationDLL.h"
#include "CMemoryStream.h"
#include "CRepertoire.h"
#include "CStrMemAlloc.h"
#include "CWinZip.h"

namespace {

constexpr std::size_t knOutputBudget = 1 << 20;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyData, std::size_t nSize) {
  // The installer's string allocator, as mdbdeploy installs it.
  static CStrMemAlloc* const pclAllocator = [] {
    CStrMemAlloc* pcl = CStrMemAlloc::s_pclInit();
    CInformationModule::ms_piStrMemAlloc = pcl;
    return pcl;
  }();
  if (pclAllocator == nullptr) return 0;
  ReadArchive(pbyData, nSize);
  ReadDirectory(pbyData, nSize);
  return 0;
}
