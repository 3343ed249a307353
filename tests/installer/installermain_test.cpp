// The installation's runtime check: the directory from the configuration
// is read whole, normalised, and refused when it does not fit the paths;
// the runtime library is named bare when it is missing. These steps come
// before anything is opened or written, so they run as any user.
#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <string>

#include "CTString.h"
#include "CXYString.h"
#include "InstallerMain.h"
#include "InstallerMessages.h"
#include "MyModuleInfo.h"
#include "UnicodeConversion.h"
#include "support/DeployArchive.h"
#include "support/ZipMaker.h"
#include "support/InstalledStrMemAlloc.h"

namespace {

using deploytest::sNarrow;
using deploytest::sWide;

// Message 4977 as the installer shows it: the name, then the system's text.
std::string sRuntimeCheck(const std::string& name, int nErrno) {
  CTString sSystem;
  sSystem.SetANSIEx(std::strerror(nErrno), -1, 1252);
  const CTString s = sGetRES(4977, sWide(name).c_str(), sSystem.pszGet());
  return sNarrow(s.pszGet());
}

class InstallerRuntimeCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.bOk()); }

  // bDoInstall with BINPATH = binPath; its standard error in *psError.
  bool bRun(const std::string& binPath, std::string* psError) {
    EXPECT_TRUE(m_dir.bWrite("SILTRA.conf", "[DEFAULT]\nBINPATH=" + binPath + "\n"));
    testing::internal::CaptureStderr();
    const bool bOk = bDoInstall(sWide(m_dir.sPath("SILTRA.conf")).c_str());
    *psError = testing::internal::GetCapturedStderr();
    return bOk;
  }

  CInstalledStrMemAlloc m_alloc;
  zipmaker::ZipMakerDir m_dir;
};

TEST_F(InstallerRuntimeCheck, DirectoryOverTheLimitIsRefusedWholeNotCut) {
  std::string sError;
  // 300 characters: read whole (not cut at 260) and refused as it is.
  const std::string sLong = "/opt/" + std::string(295, 'x');
  EXPECT_FALSE(bRun(sLong, &sError));
  EXPECT_EQ(sRuntimeCheck(sLong + "/", ENAMETOOLONG), sError);

  // 260 characters without the final "/" become 261.
  const std::string s260 = "/" + std::string(259, 'y');
  EXPECT_FALSE(bRun(s260, &sError));
  EXPECT_EQ(sRuntimeCheck(s260 + "/", ENAMETOOLONG), sError);

  // 259 characters and the "/" fit, but not with the library's name.
  std::string s259;
  while (s259.size() < 259) s259 += "/" + std::string(std::min<std::size_t>(258 - s259.size(), 50), 'z');
  ASSERT_EQ(259u, s259.size());
  EXPECT_FALSE(bRun(s259, &sError));
  EXPECT_EQ(sRuntimeCheck("kx200vm64.so", ENAMETOOLONG), sError);

  // 247 characters, the "/" and "kx200vm64.so" make 260: the check goes
  // on to the library, which is not there.
  std::string s247;
  while (s247.size() < 247) s247 += "/" + std::string(std::min<std::size_t>(246 - s247.size(), 50), 'w');
  ASSERT_EQ(247u, s247.size());
  EXPECT_FALSE(bRun(s247, &sError));
  EXPECT_EQ(sRuntimeCheck("kx200vm64.so", ENOENT), sError);
}

TEST_F(InstallerRuntimeCheck, MissingValueAndMissingLibrary) {
  std::string sError;
  EXPECT_FALSE(bRun("", &sError));
  CXYString<wchar_t> sNoValue;
  ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, 4976, &sNoValue));
  EXPECT_EQ(sNarrow(sNoValue.pszGet()), sError);

  // An existing directory without the library: the bare name is shown,
  // written with backslashes and without the final "/" all the same.
  std::string sBackslashed = m_dir.sDir();
  for (char& c : sBackslashed)
    if (c == '/') c = '\\';
  EXPECT_FALSE(bRun(sBackslashed, &sError));
  EXPECT_EQ(sRuntimeCheck("kx200vm64.so", ENOENT), sError);
}

}  // namespace
