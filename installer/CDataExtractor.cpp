#include "CDataExtractor.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>

#include "CDiskFile.h"
#include "CTNBIN.h"
#include "CTString.h"
#include "CXError.h"
#include "InstallerMain.h"
#include "InstallerMessages.h"
#include "MyModuleInfo.h"
#include "WinEnvironment.h"
#include "WinTime.h"

namespace {

constexpr unsigned knMsgStepFailed = 4903;
// Room for the program's path: enough to see a path that is too long whole.
constexpr unsigned knProgramPathRoom = 4096;

}  // namespace

CDataExtractor::CDataExtractor() : m_bTrace(0), m_clLecture(&m_clFichier) {
  m_clMoteur.SetStream(&m_clLecture);
}

CDataExtractor::~CDataExtractor() {
  m_clTree.Close();
  m_clMoteur.SetStream(&m_clFichier);
}

_eKXzipResult CDataExtractor::eOuvreArchive(const wchar_t* pszChemin, unsigned dwFlags, std::int64_t llOffset) {
  m_clLecture.Invalidate();
  m_bDerniereHeure = false;
  return CKXWinZip::eOuvreArchive(pszChemin, dwFlags, llOffset);
}

struct timespec CDataExtractor::_tsLocalTime(const CDiskFile::_stXFILETIME& stTime) {
  if (m_bDerniereHeure && std::memcmp(&stTime, &m_stDerniereHeure, sizeof stTime) == 0) return m_tsDerniereHeure;
  struct timespec ts = {0, UTIME_OMIT};
  FILETIME ft;
  if (CDiskFile::bSystemTimeToFileTime(&stTime, &ft)) {
    const std::int64_t llUnits = static_cast<std::int64_t>(FileTimeToUInt64(ft)) - FILETIME_UNIX_EPOCH;
    std::int64_t llSeconds = llUnits / 10000000;
    std::int64_t llRest = llUnits % 10000000;
    if (llRest < 0) {
      llRest += 10000000;
      --llSeconds;
    }
    ts.tv_sec = static_cast<time_t>(llSeconds);
    ts.tv_nsec = static_cast<long>(llRest * 100);
  }
  m_stDerniereHeure = stTime;
  m_tsDerniereHeure = ts;
  m_bDerniereHeure = true;
  return ts;
}

bool CDataExtractor::bInit(const wchar_t* pszBaseName) {
  wchar_t szProgram[knProgramPathRoom];
  szProgram[0] = 0;
  if (!GetModuleFileNameW(nullptr, szProgram, knProgramPathRoom)) {
    // Either the path filled the room (it is cut) or it could not be read.
    const int nErrno = std::wcslen(szProgram) + 1 >= knProgramPathRoom ? ENAMETOOLONG : ENOENT;
    _ShowError(szProgram, nErrno, nullptr);
    return false;
  }
  return bInitFrom(szProgram, pszBaseName);
}

bool CDataExtractor::bInitFrom(const wchar_t* pszProgramPath, const wchar_t* pszBaseName) {
  // 1. The program directory, with its final separator. A path that does
  //    not fit the 260-character buffers is refused, not cut.
  std::wstring sDirectory = pszProgramPath != nullptr ? pszProgramPath : L"";
  if (sDirectory.size() > XMAX_PATH) {
    _ShowError(sDirectory.c_str(), ENAMETOOLONG, nullptr);
    return false;
  }
  for (wchar_t& c : sDirectory)
    if (c == L'\\') c = L'/';
  const std::size_t nSlash = sDirectory.rfind(L'/');
  sDirectory.resize(nSlash == std::wstring::npos ? 0 : nSlash + 1);

  // 2. The archive beside it.
  wchar_t szArchive[XMAX_PATH_BUFFER];
  if (!CDiskFile::MakePath(szArchive, sDirectory.c_str(), pszBaseName, L"zip", XMAX_PATH_BUFFER)) {
    const std::wstring sWanted = sDirectory + (pszBaseName != nullptr ? pszBaseName : L"") + L".zip";
    _ShowError(sWanted.c_str(), ENAMETOOLONG, nullptr);
    return false;
  }

  // 3, 4. Opened read-only at offset 0, its directory read.
  errno = 0;
  const int nResult = static_cast<int>(eOuvreArchive(szArchive, 0, 0));
  _ShowErrorZIPSiBesoin(szArchive, errno, nResult);
  return nResult == 0;
}

bool CDataExtractor::bInstall(const wchar_t* pszTarget, mode_t dirMode, uid_t dirOwner,
                              gid_t dirGroup, mode_t fileMode, uid_t fileOwner, gid_t fileGroup) {
  const wchar_t* pszDir = pszTarget != nullptr ? pszTarget : L"";
  const int nEntries = static_cast<int>(dwNombreFichier());

  // Every name is checked before anything is written: a hostile entry
  // anywhere in the archive leaves the target untouched.
  for (int i = 0; i < nEntries; ++i) {
    const wchar_t* pszName = pszNomFichier(i);
    const eENTRYNAME eCheck = eCheckEntryName(pszDir, pszName);
    if (eCheck != ENTRYNAME_OK) {
      // Shown as the path it would have been written to, "/" separated.
      _ShowError(sEntryPath(pszName).c_str(), eCheck == ENTRYNAME_TOO_LONG ? ENAMETOOLONG : EINVAL,
                 nullptr);
      return false;
    }
  }

  // 1. The target, with its own owner, group and mode put back on it.
  CXError clError(&gstMyModuleInfo76);
  if (!CDiskFile::bCreateDirectory(pszDir, &clError) ||
      !CDiskFile::bSetFileOwnerAttributes(pszDir, dirOwner, dirGroup, dirMode, &clError)) {
    _ShowError(pszDir, static_cast<int>(clError.dwGetSystemErrorCode()), &clError);
    return false;
  }
  stSAFEFAILURE stFailure;
  if (!m_clTree.bOpen(pszDir, &stFailure)) {
    _ShowError(pszDir, stFailure.nErrno, nullptr);
    return false;
  }

  // 2. Every entry in directory order, each written and checked beside its
  // destination; the first failure ends the run and rolls it back, so the
  // installed files stay as they were.
  bool bOk = true;
  for (int i = 0; i < nEntries && bOk; ++i) bOk = _bInstalFile(pszDir, i, fileMode, fileOwner, fileGroup);

  // 3. Only then are they all put in place.
  if (bOk && !m_clTree.bCommit(&stFailure)) {
    _ShowError((std::wstring(pszDir) + stFailure.sPath).c_str(), stFailure.nErrno, nullptr);
    bOk = false;
  }
  m_clTree.Close();
  return bOk;
}

bool CDataExtractor::_bInstalFile(const wchar_t* pszTarget, int nIndex, mode_t mode, uid_t owner,
                                  gid_t group) {
  const wchar_t* pszName = pszNomFichier(nIndex);
  const std::wstring sPath = sEntryPath(pszName);

  stENTRYSTAMP stStamp;
  stStamp.tsAccess = _tsLocalTime(stftLitFtAcces(nIndex));
  stStamp.tsModification = _tsLocalTime(stftLitFtModif(nIndex));
  stStamp.nOwner = owner;
  stStamp.nGroup = group;
  stStamp.nMode = mode;

  const std::int64_t llSize = dwTailleOriginale(nIndex);
  stSAFEFAILURE stFailure;
  bool bOk;
  if (llSize == 0 && (dwLitAttribut(nIndex) & kdwAttributRepertoire) != 0) {
    bOk = m_clTree.bInstallDirectory(sPath, stStamp, &stFailure);
  } else {
    bOk = m_clTree.bInstallFile(
        sPath, llSize, stStamp,
        [this, nIndex](IXStream* pStream, std::int64_t* pllWritten) {
          return static_cast<int>(eExtraitRangVersFlux(nIndex, pStream, pllWritten));
        },
        &stFailure);
  }
  if (bOk) return true;

  if (stFailure.nArchiveResult != 0) {
    _Trace(stFailure.nArchiveResult);
    _ShowErrorZIPSiBesoin(pszName, stFailure.nErrno, stFailure.nArchiveResult);
  } else {
    const std::wstring sWhere = std::wstring(pszTarget != nullptr ? pszTarget : L"") + stFailure.sPath;
    _ShowError(sWhere.c_str(), stFailure.nErrno, nullptr);
  }
  return false;
}

void CDataExtractor::_Trace(int nResult) {
  if (!m_bTrace) return;
  const std::time_t tNow = std::time(nullptr);
  char szTime[64] = "";
  if (ctime_r(&tNow, szTime) != nullptr) std::fputs(szTime, stderr);
  std::fprintf(stderr, "Unzipping files failed whith error %d\r\n", nResult);
  std::fflush(stderr);
}

void CDataExtractor::_ShowError(const wchar_t* pszPath, int nSystemError, const CXError* pclError) {
  CTString sText = sGetRES(knMsgStepFailed, pszPath != nullptr ? pszPath : L"");
  if (pclError == nullptr || pclError->eGetErrorLevel() == ERRORLEVEL_NONE) {
    CTString sSystem;
    sSystem.SetANSIEx(std::strerror(nSystemError), -1, 65001);
    sText.Add(L"\r\n");
    sText.Add(sSystem.pszGet() != nullptr ? sSystem.pszGet() : L"");
  } else {
    sText.Add(L"\r\n");
    sText.Add(pclError->pszGetSystemErrorMessage());
    sText.Add(L"\r\n\r\n");
    sText.Add(pclError->pszGetUserMessage());
  }
  InstallerWriteError(sText.pszGet());
}

void CDataExtractor::_ShowErrorZIPSiBesoin(const wchar_t* pszName, int nSystemError, int nResult) {
  if (nResult == 0) return;
  CXError clError(&gstMyModuleInfo76);
  clError.SetUserError(&gstMyModuleInfo76, static_cast<unsigned>(nResult));
  // Codes without a user text show nothing; the run still fails.
  if (clError.nGetUserErrorCode() == 0) return;
  _ShowError(pszName, nSystemError, &clError);
}

bool CDataExtractor::bLoadLicense(CTString* pclText) {
  static const wchar_t kszLicense[] = L"license.txt";
  CTNBIN clBuffer;
  errno = 0;
  const int nResult = static_cast<int>(eExtraitFichier(kszLicense, clBuffer, 0, nullptr, 0));
  if (nResult != 0) {
    _ShowErrorZIPSiBesoin(kszLicense, errno, nResult);
    return false;
  }
  if (pclText != nullptr) {
    pclText->Vide();
    const std::uint32_t nSize = clBuffer.nGetTailleUtile();
    if (nSize > 0)
      pclText->SetANSIEx(reinterpret_cast<const char*>(clBuffer.pGetData()), static_cast<int>(nSize),
                         65001);
  }
  return true;
}
