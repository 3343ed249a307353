// kxhost: drives kx200maria64.so as the platform's runtime would, with the
// stand-in runtime module in the runtime's place, and prints each step.
//
// Usage: kxhost [path-to-kx200maria64.so]
//               [--host H] [--port P] [--socket S] [--user U]
//               [--password W] [--database D]
//               [--sql TEXT]... [--table-list FLAGS]
// Without a library path the library and the stand-in are taken from the
// directory of this program. With a host or a socket the driver opens (and
// closes) a connection to that server; without, those steps are skipped.
// On an open connection kxhost creates a table of its own over a session of
// the client library (kxhost_t<pid>, dropped at the end) and asks the
// driver whether it and a missing table exist (bTableExists, slot 26): the
// answers print as "1 1" and "1 0" (answer, existence). Then it drives the
// main road through the table interface (KxHostMainRoad.h) and, with --sql
// or --table-list, the driver's SQL face as the SQL runtime does
// (KxHostSQLRuntime.h).
//
// Exit status: 0 when every step answered as expected, 1 when a step of the
// library failed, 2 when only the connection was refused, 64 on a bad
// command line. The password, and the driver's identification of the
// connection (which contains it), are never printed.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "INADriver.h"
#include "INAError.h"
#include "KxExecution.h"
#include "KxHostConnection.h"
#include "KxHostMainRoad.h"
#include "KxHostSQLRuntime.h"
#include "KxHostSession.h"
#include "KxHostText.h"
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

// Reads the command line; false (with a message) on an unknown option or a
// missing value.
bool ParseArguments(int argc, char** argv, std::string& sLibrary, STServer& stServer, STKxHostSQL& stSQL) {
  for (int i = 1; i < argc; ++i) {
    const std::string sArg = argv[i];
    if (sArg.rfind("--", 0) != 0) {
      if (!sLibrary.empty()) {
        std::fprintf(stderr, "kxhost: more than one library given\n");
        return false;
      }
      sLibrary = sArg;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "kxhost: %s needs a value\n", sArg.c_str());
      return false;
    }
    const std::string sValue = argv[++i];
    if (sArg == "--host") {
      stServer.sHost = sValue;
    } else if (sArg == "--port") {
      char* pszEnd = nullptr;
      const unsigned long n = std::strtoul(sValue.c_str(), &pszEnd, 10);
      if (sValue.empty() || *pszEnd != 0 || n > 65535) {
        std::fprintf(stderr, "kxhost: bad port %s\n", sValue.c_str());
        return false;
      }
      stServer.nPort = static_cast<unsigned int>(n);
    } else if (sArg == "--socket") {
      stServer.sSocket = sValue;
    } else if (sArg == "--user") {
      stServer.sUser = sValue;
    } else if (sArg == "--password") {
      stServer.sPassword = sValue;
    } else if (sArg == "--database") {
      stServer.sDatabase = sValue;
    } else if (bool bBad = false; bKxHostSQLOption(sArg, sValue, &stSQL, &bBad)) {
      if (bBad) {
        std::fprintf(stderr, "kxhost: bad value for %s: %s\n", sArg.c_str(), sValue.c_str());
        return false;
      }
    } else {
      std::fprintf(stderr, "kxhost: unknown option %s\n", sArg.c_str());
      return false;
    }
  }
  return true;
}

// Prints the driver's last error text, masked.
void PrintDriverError(INADriver* piDriver, const std::string& sPassword) {
  INAError* piError = piDriver->piGetLastError();
  const wchar_t* psz = piError != nullptr ? piError->pszGetError() : nullptr;
  std::printf("   error: %s\n",
              psz != nullptr && *psz != 0 ? Masked(Utf8(psz), sPassword).c_str() : "(no text)");
}

// The path of the client library this process maps, from /proc/self/maps;
// empty when none is mapped.
std::string MappedClientLibrary() {
  std::ifstream in("/proc/self/maps");
  std::string sLine;
  while (std::getline(in, sLine)) {
    const size_t nSlash = sLine.find('/');
    if (nSlash == std::string::npos) continue;
    const std::string sPath = sLine.substr(nSlash);
    const size_t nName = sPath.rfind('/');
    if (sPath.compare(nName + 1, 10, "libmariadb") == 0) return sPath;
  }
  return std::string();
}

// Keeps the client library mapped to the end of the process: the module end
// unloads it, and its one-time set-up must stay visible to the leak checker.
// Only a library already loaded is pinned (RTLD_NOLOAD).
bool PinClientLibrary(const std::string& sPath) {
  void* h = dlopen(sPath.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  if (h == nullptr) return false;
  dlclose(h);
  return true;
}

// Narrow ASCII text as a wide one.
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Asks the driver whether a table kxhost created and a missing one exist;
// prints both answers ("<answer> <existence>"). False when an answer is not
// the expected one or the set-up failed.
bool CheckTableExists(INADriver* piDriver, INAConnectionDescription* piConnection,
                      const STServer& stServer) {
  const std::string sTable = "kxhost_t" + std::to_string(getpid());
  const std::string sMissing = "kxhost_missing_t" + std::to_string(getpid());
  CKxHostSession clSession;
  std::string sFailure;
  if (!clSession.bConnect(stServer, &sFailure) ||
      !clSession.bExecute("CREATE TABLE IF NOT EXISTS " + sTable + " (id INT PRIMARY KEY)", &sFailure)) {
    std::printf("-> set-up of bTableExists failed: %s\n", Masked(sFailure, stServer.sPassword).c_str());
    return false;
  }
  std::printf("-> set-up: table %s created\n", sTable.c_str());
  bool bExpected = true;
  const struct {
    std::string sName;
    const char* pszWhat;
    int nExists;
  } astCases[] = {{sTable, "the table kxhost created", 1}, {sMissing, "a missing table", 0}};
  for (const auto& stCase : astCases) {
    int nExists = -1;
    const std::wstring sName = Wide(stCase.sName);
    const int nAnswer = piDriver->bTableExists(&nExists, sName.c_str(), piConnection);
    std::printf("-> bTableExists (slot 26), %s: %d %d\n", stCase.pszWhat, nAnswer, nExists);
    if (nAnswer != 1 || nExists != stCase.nExists) {
      PrintDriverError(piDriver, stServer.sPassword);
      bExpected = false;
    }
  }
  if (!clSession.bExecute("DROP TABLE IF EXISTS " + sTable, &sFailure)) {
    std::printf("-> dropping %s failed: %s\n", sTable.c_str(), Masked(sFailure, stServer.sPassword).c_str());
    bExpected = false;
  }
  return bExpected;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = ProgramDirectory();
  std::string libraryPath;
  STServer stServer;
  STKxHostSQL stSQL;
  if (!ParseArguments(argc, argv, libraryPath, stServer, stSQL)) {
    std::fprintf(stderr,
                 "usage: kxhost [library] [--host H] [--port P] [--socket S] [--user U] "
                 "[--password W] [--database D] [--sql TEXT]... [--table-list FLAGS]\n");
    return 64;
  }
  if (libraryPath.empty()) libraryPath = dir + "/kx200maria64.so";
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
  using PFN_bDLLCompatible = int (*)(int, std::uint32_t, std::uint32_t*);
  using PFN_bInitLibrary = int (*)(void*);
  using PFN_piQueryInterface = INADriver* (*)(int);
  using PFN_TermLibrary = int (*)();
  auto pfnDLLCompatible = reinterpret_cast<PFN_bDLLCompatible>(dlsym(hLibrary, "bDLLCompatible"));
  auto pfnInitLibrary = reinterpret_cast<PFN_bInitLibrary>(dlsym(hLibrary, "bInitLibrary"));
  auto pfnQueryInterface =
      reinterpret_cast<PFN_piQueryInterface>(dlsym(hLibrary, "piQueryInterface"));
  auto pfnTermLibrary = reinterpret_cast<PFN_TermLibrary>(dlsym(hLibrary, "TermLibrary"));
  if (pfnDLLCompatible == nullptr || pfnInitLibrary == nullptr || pfnQueryInterface == nullptr ||
      pfnTermLibrary == nullptr) {
    std::fprintf(stderr, "kxhost: the library lacks one of its four entry points\n");
    return 1;
  }

  int nStatus = 0;
  try {
    StandInVm vm(standInPath);
    std::printf("kxhost: stand-in runtime %s\n", standInPath.c_str());
    size_t nSeen = 0;

    int nAnswer = pfnInitLibrary(vm.hModule());
    std::printf("-> bInitLibrary: %d\n", nAnswer);
    PrintReceived(vm, nSeen);
    if (nAnswer != 1) nStatus = 1;

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

    // The version handshakes of the database-engine host (7) and the SQL
    // runtime (28): both at version 32.
    for (int nKind : {7, 28}) {
      std::uint32_t nOwn = 0;
      nAnswer = pfnDLLCompatible(nKind, 32, &nOwn);
      std::printf("-> bDLLCompatible(%d, 32): %d, library version %u\n", nKind, nAnswer, nOwn);
      if (nAnswer != 1) nStatus = 1;
    }

    INADriver* piDriver = pfnQueryInterface(0);
    std::printf("-> piQueryInterface: %s\n", piDriver != nullptr ? "a driver" : "null");
    if (piDriver == nullptr) {
      nStatus = 1;
    } else {
      std::printf("-> driver versions (slots 0-3): %d %d %d %d\n",
                  static_cast<std::int32_t>(piDriver->nGetVersion()),
                  static_cast<std::int32_t>(piDriver->nGetCompatSince()),
                  static_cast<std::int32_t>(piDriver->nGetNAVersion()),
                  static_cast<std::int32_t>(piDriver->nGetNACompatSince()));
      // The runtime's library shop is the one item 7 answers; kxhost has no
      // runtime data to give.
      nAnswer = piDriver->bSetVMAndLibShop(
          reinterpret_cast<ILibShop*>(vm.GetItem(kx::ITEM_LIB_SHOP)), nullptr);
      std::printf("-> bSetVMAndLibShop: %d\n", nAnswer);
      if (nAnswer != 1) nStatus = 1;
      CKxHostXQ clXQ;
      nAnswer = piDriver->bSetXQ(&clXQ);
      std::printf("-> bSetXQ: %d\n", nAnswer);
      if (nAnswer != 1) nStatus = 1;

      CKxHostConnection clConnection;
      if (!stServer.bGiven()) {
        std::printf("-> no server given: bOpenConnection and bCloseConnection skipped\n");
      } else {
        clConnection.Set(stServer.sHost, stServer.nPort, stServer.sSocket, stServer.sUser,
                         stServer.sPassword, stServer.sDatabase);
        std::printf("-> server %s port %u socket %s user %s database %s\n",
                    stServer.sHost.empty() ? "(none)" : stServer.sHost.c_str(), stServer.nPort,
                    stServer.sSocket.empty() ? "(none)" : stServer.sSocket.c_str(),
                    stServer.sUser.empty() ? "(none)" : stServer.sUser.c_str(),
                    stServer.sDatabase.empty() ? "(none)" : stServer.sDatabase.c_str());
        nAnswer = piDriver->bOpenConnection(&clConnection);
        std::printf("-> bOpenConnection: %d\n", nAnswer);
        if (nAnswer != 1) {
          PrintDriverError(piDriver, stServer.sPassword);
          if (nStatus == 0) nStatus = 2;
        } else {
          // The diagnosis of the open connection: its error describes the
          // connection (client version, client library, code pages).
          nAnswer = piDriver->bHConnexionDiagnose(nullptr, &clConnection, L"kxhost", 0);
          std::printf("-> bHConnexionDiagnose: %d\n", nAnswer);
          PrintDriverError(piDriver, stServer.sPassword);
          if (!CheckTableExists(piDriver, &clConnection, stServer)) nStatus = 1;
          // The main road: a table of kxhost's read through the table
          // interface, on a connection of its own.
          if (!RunMainRoad(piDriver, stServer)) nStatus = 1;
          if (stSQL.bGiven() &&
              !bKxHostRunSQL(piDriver, &clConnection, stSQL,
                             reinterpret_cast<void*>(vm.GetItem(kx::ITEM_STRING_ALLOCATOR)),
                             [&](const wchar_t* psz) { return Masked(Utf8(psz), stServer.sPassword); }))
            nStatus = 1;
        }
        const std::string sClient = MappedClientLibrary();
        if (sClient.empty()) {
          std::printf("-> client library mapped: none\n");
        } else {
          std::printf("-> client library mapped: %s\n", sClient.c_str());
          if (!PinClientLibrary(sClient)) {
            std::printf("   could not keep it loaded: %s\n", dlerror());
            nStatus = 1;
          }
        }
        nAnswer = piDriver->bCloseConnection(&clConnection);
        std::printf("-> bCloseConnection: %d\n", nAnswer);
        if (nAnswer != 1) {
          PrintDriverError(piDriver, stServer.sPassword);
          nStatus = 1;
        }
      }
      const std::uint32_t nLeft = piDriver->nExternalRelease();
      std::printf("-> nExternalRelease: %u\n", nLeft);
      if (nLeft != 0) nStatus = 1;
      if (clConnection.nGetExternalCount() != 0) {
        std::printf("   the driver still holds %u reference(s) on the connection description\n",
                    clConnection.nGetExternalCount());
        nStatus = 1;
      }
    }
    PrintReceived(vm, nSeen);

    // The module end replaces the terminate message: the library ends its
    // common part and tells the runtime (3052).
    nAnswer = pfnTermLibrary();
    std::printf("-> TermLibrary: %d\n", nAnswer);
    PrintReceived(vm, nSeen);
    if (nAnswer != 1) nStatus = 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kxhost: %s\n", e.what());
    nStatus = 1;
  }
  dlclose(hLibrary);
  std::printf("kxhost: %s\n", nStatus == 0   ? "done"
                             : nStatus == 2 ? "done, the connection was refused"
                                            : "failed");
  return nStatus;
}
