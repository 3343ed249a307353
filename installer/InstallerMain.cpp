#include "InstallerMain.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "CDataExtractor.h"
#include "CDiskFile.h"
#include "CInformationDLL.h"
#include "CStrMemAlloc.h"
#include "CTString.h"
#include "CXYString.h"
#include "CodePage.h"
#include "CommandLine.h"
#include "DllResources.h"
#include "InstallerMessages.h"
#include "ProfileString.h"
#include "SafeInstall.h"
#include "UnicodeConversion.h"
#include "WinProcess.h"

namespace {

constexpr unsigned knMsgNotRoot = 4219;
constexpr unsigned knMsgSucceeded = 7993;
constexpr unsigned knMsgFailed = 7994;
constexpr unsigned knMsgNoBinPath = 4976;
constexpr unsigned knMsgRuntimeCheck = 4977;

void OnChildSignal(int) {}

// The system's text of an error number, read as code page 1252.
CTString sSystemText1252(int nErrno) {
  CTString text;
  text.SetANSIEx(std::strerror(nErrno), -1, 1252);
  return text;
}

// Message nId loaded as it is (these texts take no argument and are never
// formatted, so a "%" stays a "%"), followed by `pszTail`.
void WriteMessage(unsigned nId, const wchar_t* pszTail) {
  CXYString<wchar_t> text;
  if (DLLRES_bLoadString(&gstMyModuleInfo76, nId, &text)) InstallerWriteError(text.pszGet());
  if (pszTail != nullptr) InstallerWriteError(pszTail);
}

// The runtime check failed on `pszName` with the system error nErrno.
void ShowRuntimeCheck(const wchar_t* pszName, int nErrno) {
  const CTString text = sGetRES(knMsgRuntimeCheck, pszName, sSystemText1252(nErrno).pszGet());
  InstallerWriteError(text.pszGet());
}

}  // namespace

void InstallerWriteError(const wchar_t* pszText) {
  if (pszText == nullptr || *pszText == 0) return;
  const std::string out = sToUTF8(pszText);
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

bool bDoInstall(const wchar_t* pszConfig) {
  // 1. The runtime directory from the configuration. The buffer is far
  //    larger than a path, so that a long value is seen whole and refused
  //    rather than cut to another directory.
  wchar_t szTarget[knBinPathBuffer + 1] = {};
  GetPrivateProfileString(L"DEFAULT", L"BINPATH", L"", szTarget, knBinPathBuffer, pszConfig);
  if (szTarget[0] == 0) {
    WriteMessage(knMsgNoBinPath, nullptr);
    return false;
  }

  // 2. As a directory: "\" read as "/", a final "/".
  if (!CDiskFile::DirectoryWithEndSlash(szTarget, knBinPathBuffer + 1) ||
      std::wcslen(szTarget) > XMAX_PATH) {
    ShowRuntimeCheck(szTarget, ENAMETOOLONG);
    return false;
  }

  // 3. The runtime library (named bare in the message).
  wchar_t szLibrary[XMAX_PATH_BUFFER];
  if (!CDiskFile::MakePath(szLibrary, szTarget, kszRuntimeLibrary, nullptr, XMAX_PATH_BUFFER)) {
    ShowRuntimeCheck(kszRuntimeLibrary, ENAMETOOLONG);
    return false;
  }
  struct stat stLibrary;
  if (CDiskFile::Unix_stat(szLibrary, &stLibrary) != 0) {
    ShowRuntimeCheck(kszRuntimeLibrary, errno);
    return false;
  }

  // 4. The directory itself.
  struct stat stTarget;
  if (CDiskFile::Unix_stat(szTarget, &stTarget) != 0) {
    ShowRuntimeCheck(szTarget, errno);
    return false;
  }

  // 5, 6. The archive beside the program, installed.
  CDataExtractor clExtractor;
  clExtractor.m_bTrace = 0;
  if (!clExtractor.bInit(L"mdbdeploy")) return false;
  return clExtractor.bInstall(szTarget, stTarget.st_mode, stTarget.st_uid, stTarget.st_gid,
                              stLibrary.st_mode, stLibrary.st_uid, stLibrary.st_gid);
}

int nInstallerMain(int argc, char** argv, const wchar_t* pszConfig) {
  // 1. Messages and the string allocator.
  DLLRES_bInit();
  CStrMemAlloc* pclAllocator = CStrMemAlloc::s_pclInit();
  CInformationModule::ms_piStrMemAlloc = pclAllocator;
  // 2, 3. Signals: SIGALRM interrupts system calls and does nothing; SIGCHLD
  //       does nothing.
  InitAlarmHandler(nullptr);
  std::signal(SIGCHLD, OnChildSignal);
  // 4, 5.
  SetLocaleUTF8();
  SetCommandLine(argc, argv);

  int nStatus = -1;
  if (::getuid() != 0) {
    // 6. Nothing is read or touched for anyone but root.
    WriteMessage(knMsgNotRoot, L"\n\n");
  } else {
    // 7.
    const bool bOk = bDoInstall(pszConfig);
    WriteMessage(bOk ? knMsgSucceeded : knMsgFailed, L"\n\n");
    nStatus = bOk ? 0 : -1;
  }

  // 8. Every string is gone by now: the allocator can end.
  CInformationModule::ms_piStrMemAlloc = nullptr;
  CStrMemAlloc::s_Term();
  DLLRES_Term();
  return nStatus;
}
