// kxhost: drives kx200maria64.so as the platform's runtime would, with the
// stand-in runtime module in the runtime's place, and prints each step.
//
// Usage: kxhost [path-to-kx200maria64.so]
// Without an argument the library and the stand-in are taken from the
// directory of this program.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "KxExecution.h"
#include "StandInControl.h"

namespace {

std::string ProgramDirectory() {
  char sz[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", sz, sizeof(sz) - 1);
  if (n <= 0) return ".";
  std::string s(sz, static_cast<size_t>(n));
  const size_t nSlash = s.rfind('/');
  return nSlash == std::string::npos ? "." : s.substr(0, nSlash);
}

const char* ItemName(int nItem) {
  static const char* const apsz[] = {"",
                                     "product code",
                                     "internal language",
                                     "product name",
                                     "options",
                                     "real product code",
                                     "uses .NET",
                                     "library shop",
                                     "active version",
                                     "global factory",
                                     "topology collector",
                                     "smartphone mode",
                                     "locale",
                                     "string allocator",
                                     "multithreading flag",
                                     "component information"};
  return nItem >= 1 && nItem <= 15 ? apsz[nItem] : "?";
}

// UTF-8 form of a wide text, for printing.
std::string Utf8(const wchar_t* psz) {
  std::string s;
  for (; *psz != 0; ++psz) {
    const unsigned c = static_cast<unsigned>(*psz);
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | c >> 6);
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | c >> 12);
      s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | c >> 18);
      s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

// Asks the library for message `nId` with command 3 and prints the answer.
std::int64_t ShowLoadString(PFN_CommandeComposante pfnCommande, unsigned int nId, const char* pszFrom) {
  wchar_t szText[256];
  STStandInLoadStringRequest stRequest{};
  stRequest.nSize = sizeof(stRequest);
  stRequest.nId = nId;
  stRequest.pszBuffer = szText;
  stRequest.nCapacity = sizeof(szText) / sizeof(szText[0]);
  const std::int64_t n = pfnCommande(STANDIN_COMMAND_LOADSTRING, &stRequest);
  std::printf("-> load message %u (command 3): %lld", nId, static_cast<long long>(n));
  if (n > 0) std::printf(" \"%s\" (%s)", Utf8(szText).c_str(), pszFrom);
  std::printf("\n");
  return n;
}

// The runtime binds its value functions in the library: the conversions and
// the operators, through the library's two exports, with its module handle,
// version 2 and compatibility level 2. Prints the library's answer (0 with a
// note when the library lacks the export).
using PFN_BINDING = int (*)(void* hModule, int nVersion, int nCompatLevel);

int BindValueFunctions(void* hLibrary, void* hStandIn, const char* pszExport) {
  auto pfnBind = reinterpret_cast<PFN_BINDING>(dlsym(hLibrary, pszExport));
  if (pfnBind == nullptr) {
    std::printf("-> %s: 0 (the library does not export it)\n", pszExport);
    return 0;
  }
  const int n = pfnBind(hStandIn, 2, 2);
  std::printf("-> %s: %d\n", pszExport, n);
  return n;
}

// Prints what the runtime received since the last call.
void PrintReceived(const StandInVm& vm, size_t& nSeen) {
  const auto aMessages = vm.Messages();
  for (; nSeen < aMessages.size(); ++nSeen) {
    const STStandInMessage& st = aMessages[nSeen];
    if (st.nMessage == kx::MSG_VM_INFORMATION) {
      const int nItem = static_cast<int>(st.nParam);
      std::printf("   library asked item %2d (%s): answered %s\n", nItem, ItemName(nItem),
                  vm.GetItem(nItem) != 0 ? "a value" : "null");
    } else {
      std::printf("   runtime received message %u\n", st.nMessage);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = ProgramDirectory();
  const std::string libraryPath = argc > 1 ? argv[1] : dir + "/kx200maria64.so";
  const std::string standInPath = dir + "/kxstandinvm.so";

  void* hLibrary = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (hLibrary == nullptr) {
    std::fprintf(stderr, "kxhost: cannot load the library: %s\n", dlerror());
    return 1;
  }
  std::printf("kxhost: loaded %s\n", libraryPath.c_str());
  auto pfnExecution = reinterpret_cast<kx::PFN_EXECUTION_DLL>(dlsym(hLibrary, "Execution"));
  if (pfnExecution == nullptr) {
    std::fprintf(stderr, "kxhost: the library does not export Execution\n");
    return 1;
  }
  auto pfnCommande =
      reinterpret_cast<PFN_CommandeComposante>(dlsym(hLibrary, "CommandeComposante"));
  if (pfnCommande == nullptr) {
    std::fprintf(stderr, "kxhost: the library does not export CommandeComposante\n");
    return 1;
  }

  int nStatus = 0;
  try {
    StandInVm vm(standInPath);
    std::printf("kxhost: stand-in runtime %s\n", standInPath.c_str());
    size_t nSeen = 0;

    kx::STInitialiseRecord stRecord{};
    stRecord.nSize = sizeof(stRecord);
    stRecord.hModule = vm.hModule();
    stRecord.nUsage1 = 1;
    stRecord.nUsage2 = 0;
    stRecord.piLibShop = nullptr;
    std::int64_t n = pfnExecution(kx::MSG_INITIALISE, &stRecord);
    std::printf("-> initialise (%u): %lld\n", kx::MSG_INITIALISE, static_cast<long long>(n));
    PrintReceived(vm, nSeen);
    if (n != 1) nStatus = 1;

    n = pfnExecution(kx::MSG_LOCALE, reinterpret_cast<void*>(vm.GetItem(kx::ITEM_LOCALE)));
    std::printf("-> locale (%u): %lld\n", kx::MSG_LOCALE, static_cast<long long>(n));
    PrintReceived(vm, nSeen);

    BindValueFunctions(hLibrary, vm.hModule(), "bInitTNConvFromVM");
    BindValueFunctions(hLibrary, vm.hModule(), "bInitTNCalcFromVM");

    n = pfnExecution(kx::MSG_CHANGE_LANGUAGE, nullptr);
    std::printf("-> language change (%u): %lld\n", kx::MSG_CHANGE_LANGUAGE,
                static_cast<long long>(n));

    // The runtime hands the library its string loader, which is asked first
    // for every message; without a text there, the library's own block answers.
    constexpr unsigned int kMessage = 3355;
    vm.SetString(kMessage, L"Texte du message 3355 fourni par le runtime");
    n = pfnCommande(STANDIN_COMMAND_SET_LOADSTRING, reinterpret_cast<void*>(vm.LoadString));
    std::printf("-> install the runtime's string loader (command 2): %lld\n",
                static_cast<long long>(n));
    if (n != 1) nStatus = 1;
    if (ShowLoadString(pfnCommande, kMessage, "from the runtime's loader") <= 0) nStatus = 1;
    vm.SetString(kMessage, nullptr);
    if (ShowLoadString(pfnCommande, kMessage, "from the library's own messages") <= 0) nStatus = 1;

    n = pfnExecution(kx::MSG_TERMINATE, nullptr);
    std::printf("-> terminate (%u): %lld\n", kx::MSG_TERMINATE, static_cast<long long>(n));
    PrintReceived(vm, nSeen);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kxhost: %s\n", e.what());
    nStatus = 1;
  }
  dlclose(hLibrary);
  std::printf("kxhost: %s\n", nStatus == 0 ? "done" : "failed");
  return nStatus;
}
