// The installer's safe path: which entry names are refused, and what an
// installation does to links, hard links, corrupt data, directory entries and
// names that differ only in case. Everything runs as the current user with
// its own uid and gid (no root needed); archives are made at test time.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "CDataExtractor.h"
#include "CTString.h"
#include "CXYString.h"
#include "MyModuleInfo.h"
#include "support/DeployArchive.h"
#include "InstallerMessages.h"
#include "SafeInstall.h"
#include "UnicodeConversion.h"
#include "support/InstalledStrMemAlloc.h"

namespace {

using deploytest::Listing;
using deploytest::sNarrow;
using deploytest::sWide;

using deploytest::stDeployEntry;

// ---- Entry names ------------------------------------------------------------

struct stNameCase {
  const wchar_t* pszName;
  eENTRYNAME eExpected;
};

TEST(SafeInstallNames, RefusesEveryNameThatLeavesOrOverflowsTheTarget) {
  const wchar_t* const kszTarget = L"/opt/run/";  // 9 characters
  const std::wstring sFits(260 - 9, L'n');
  const std::wstring sTooLong(260 - 9 + 1, L'n');
  const stNameCase kaCases[] = {
      {L"../x", ENTRYNAME_COMPONENT},
      {L"..\\y", ENTRYNAME_COMPONENT},
      {L"..\\..\\etc\\cron.d\\x", ENTRYNAME_COMPONENT},
      {L"a/../../x", ENTRYNAME_COMPONENT},
      {L"a\\..", ENTRYNAME_COMPONENT},
      {L"./a", ENTRYNAME_COMPONENT},
      {L"a/./b", ENTRYNAME_COMPONENT},
      {L"a//b", ENTRYNAME_COMPONENT},
      {L"a\\\\b", ENTRYNAME_COMPONENT},
      {L"a/", ENTRYNAME_COMPONENT},
      {L"/abs", ENTRYNAME_ABSOLUTE},
      {L"\\abs", ENTRYNAME_ABSOLUTE},
      {L"C:x", ENTRYNAME_DRIVE},
      {L"c:\\x", ENTRYNAME_DRIVE},
      {L"", ENTRYNAME_EMPTY},
      {nullptr, ENTRYNAME_EMPTY},
      {sTooLong.c_str(), ENTRYNAME_TOO_LONG},
      {sFits.c_str(), ENTRYNAME_OK},
      {L"lib.so", ENTRYNAME_OK},
      {L"a\\b\\c.txt", ENTRYNAME_OK},
      {L"a/b/c.txt", ENTRYNAME_OK},
      {L"...", ENTRYNAME_OK},
      {L"..x", ENTRYNAME_OK},
      {L".hidden", ENTRYNAME_OK},
      {L"1:x", ENTRYNAME_OK},
      {L"a:b", ENTRYNAME_DRIVE},
      {L"ab:c", ENTRYNAME_OK},
  };
  for (const stNameCase& c : kaCases) {
    EXPECT_EQ(c.eExpected, eCheckEntryName(kszTarget, c.pszName))
        << (c.pszName != nullptr ? sNarrow(c.pszName) : std::string("(null)"));
  }
}

TEST(SafeInstallNames, CountsUtf8BytesAndNulCharacters) {
  // 255 four-byte characters are 1020 bytes; 256 are 1024, over 1023.
  const std::wstring sFits(255, L'\U0001F600');
  const std::wstring sOver(256, L'\U0001F600');
  EXPECT_EQ(ENTRYNAME_OK, eCheckEntryName(L"", sFits.c_str()));
  EXPECT_EQ(ENTRYNAME_TOO_LONG, eCheckEntryName(L"", sOver.c_str()));
  // A name said to have 3 characters that stops after 1 holds a NUL.
  const wchar_t kszWithNul[] = {L'a', 0, L'b', 0};
  EXPECT_EQ(ENTRYNAME_NUL, eCheckEntryName(L"/t/", kszWithNul, 3));
  EXPECT_EQ(ENTRYNAME_OK, eCheckEntryName(L"/t/", kszWithNul, 1));
}

// ---- Installations ------------------------------------------------------------

// Searchable, so that a directory entry given it stays usable without root.
constexpr mode_t knFileMode = S_IFREG | 0750;

// A private tree per test: <dir>/target/ is the runtime directory,
// <dir>/outside/ what no entry may reach.
class SafeInstallTree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.bOk());
    setenv("TZ", "UTC0", 1);
    tzset();
    m_sTarget = m_dir.sPath("target") + "/";
    m_sOutside = m_dir.sPath("outside");
    ASSERT_EQ(0, mkdir(m_sTarget.c_str(), 0755));
    ASSERT_EQ(0, mkdir(m_sOutside.c_str(), 0755));
  }

  // Makes the archive and installs it into the target as this user; the
  // standard error text in *psError.
  bool bInstall(const std::vector<stDeployEntry>& entries, std::string* psError = nullptr,
                const char* pszCorruptMarker = nullptr, int bTrace = 0) {
    if (!deploytest::bMakeDeployArchive(m_dir, "a.zip", entries)) {
      ADD_FAILURE() << "archive not made";
      return false;
    }
    if (pszCorruptMarker != nullptr && !deploytest::bCorruptStoredData(m_dir, "a.zip", pszCorruptMarker)) {
      ADD_FAILURE() << "archive not corrupted";
      return false;
    }
    CDataExtractor clExtractor;
    clExtractor.m_bTrace = bTrace;
    const int nOpen = static_cast<int>(clExtractor.eOuvreArchive(sWide(m_dir.sPath("a.zip")).c_str(), 0, 0));
    if (nOpen != 0) {
      ADD_FAILURE() << "archive not opened: " << nOpen;
      return false;
    }
    testing::internal::CaptureStderr();
    const bool bOk = clExtractor.bInstall(sWide(m_sTarget).c_str(), S_IFDIR | 0755, getuid(), getgid(),
                                          knFileMode, getuid(), getgid());
    const std::string sError = testing::internal::GetCapturedStderr();
    if (psError != nullptr) *psError = sError;
    return bOk;
  }

  // The text of a failed step on `path`, as the installer shows it first.
  static std::string sStepFailed(const std::string& path) {
    const CTString s = sGetRES(4903, sWide(path).c_str());
    return sNarrow(s.pszGet() != nullptr ? s.pszGet() : L"");
  }

  std::string sRead(const std::string& path) const { return m_dir.sRead(path); }

  CInstalledStrMemAlloc m_alloc;
  zipmaker::ZipMakerDir m_dir;
  std::string m_sTarget;
  std::string m_sOutside;
};

TEST_F(SafeInstallTree, InstallsNestedFilesWithModeTimesAndDefaultParents) {
  const mode_t nMask = umask(022);
  std::string sError;
  ASSERT_TRUE(bInstall({{"a\\b\\c.txt", "nested", deploytest::knFileAttributes, true},
                        {"top.txt", std::string(50000, 'q'), deploytest::knFileAttributes, true}},
                       &sError))
      << sError;
  umask(nMask);
  EXPECT_EQ("", sError);
  EXPECT_EQ("nested", sRead(m_sTarget + "a/b/c.txt"));
  EXPECT_EQ(std::string(50000, 'q'), sRead(m_sTarget + "top.txt"));

  struct stat st;
  ASSERT_EQ(0, lstat((m_sTarget + "a/b/c.txt").c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(0750u, st.st_mode & 07777);
  // 2020-05-17 10:20:30 in the fixed time zone.
  struct tm tmEntry = {};
  tmEntry.tm_year = 120;
  tmEntry.tm_mon = 4;
  tmEntry.tm_mday = 17;
  tmEntry.tm_hour = 10;
  tmEntry.tm_min = 20;
  tmEntry.tm_sec = 30;
  EXPECT_EQ(timegm(&tmEntry), st.st_mtime);
  // Created parents keep the system's default mode.
  ASSERT_EQ(0, lstat((m_sTarget + "a/b").c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0755u, st.st_mode & 07777);
  // No temporary file stays behind.
  EXPECT_EQ((std::set<std::string>{"a", "top.txt"}), Listing(m_sTarget));
}

TEST_F(SafeInstallTree, HostileNamesAreRefusedBeforeAnythingIsWritten) {
  const char* const kaHostile[] = {"../x", "..\\y", "/abs", "C:x", "a//b", "./a", "a/../../x"};
  for (const char* pszName : kaHostile) {
    SCOPED_TRACE(pszName);
    std::string sError;
    // The good entry comes first: it must not be installed either.
    EXPECT_FALSE(bInstall({{"good.txt", "good"}, {pszName, "evil"}}, &sError));
    std::string sShown = pszName;
    for (char& c : sShown)
      if (c == '\\') c = '/';
    EXPECT_EQ(0u, sError.find(sStepFailed(sShown))) << sError;
    EXPECT_TRUE(Listing(m_sTarget).empty());
    EXPECT_TRUE(Listing(m_sOutside).empty());
    EXPECT_EQ((std::set<std::string>{"a.zip", "outside", "target"}), Listing(m_dir.sDir()));
  }
}

TEST_F(SafeInstallTree, NameOverflowingTheTargetIsRefused) {
  const std::string sName(260 - m_sTarget.size() + 1, 'n');
  std::string sError;
  EXPECT_FALSE(bInstall({{sName, "x"}}, &sError));
  EXPECT_EQ(0u, sError.find(sStepFailed(sName))) << sError;
  EXPECT_TRUE(Listing(m_sTarget).empty());
}

TEST_F(SafeInstallTree, LinksAtTheDestinationAreReplacedNotWrittenThrough) {
  const std::string sVictim = m_sOutside + "/victim";
  const std::string sHard = m_sOutside + "/hard";
  ASSERT_TRUE(m_dir.bWrite(sVictim, "victim"));
  ASSERT_TRUE(m_dir.bWrite(sHard, "hard"));
  ASSERT_EQ(0, symlink(sVictim.c_str(), (m_sTarget + "soft.so").c_str()));
  ASSERT_EQ(0, link(sHard.c_str(), (m_sTarget + "hard.so").c_str()));

  std::string sError;
  ASSERT_TRUE(bInstall({{"soft.so", "new soft"}, {"hard.so", "new hard"}}, &sError)) << sError;
  EXPECT_EQ("victim", sRead(sVictim));
  EXPECT_EQ("hard", sRead(sHard));
  struct stat st;
  ASSERT_EQ(0, lstat(sHard.c_str(), &st));
  EXPECT_EQ(1u, st.st_nlink);
  ASSERT_EQ(0, lstat((m_sTarget + "soft.so").c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ("new soft", sRead(m_sTarget + "soft.so"));
  EXPECT_EQ("new hard", sRead(m_sTarget + "hard.so"));
}

TEST_F(SafeInstallTree, LinkedParentBelowTheTargetFailsTheStep) {
  ASSERT_EQ(0, symlink(m_sOutside.c_str(), (m_sTarget + "sub").c_str()));
  std::string sError;
  EXPECT_FALSE(bInstall({{"sub/x", "evil"}}, &sError));
  EXPECT_EQ(0u, sError.find(sStepFailed(m_sTarget + "sub"))) << sError;
  EXPECT_TRUE(Listing(m_sOutside).empty());
}

TEST_F(SafeInstallTree, CorruptEntryAfterGoodOnesLeavesTheOldInstallationWhole) {
  const std::string sOldFirst = "the installed first file";
  const std::string sOldLib = "the installed library, byte for byte";
  ASSERT_TRUE(m_dir.bWrite(m_sTarget + "first.txt", sOldFirst));
  ASSERT_TRUE(m_dir.bWrite(m_sTarget + "lib.so", sOldLib));
  ASSERT_EQ(0, mkdir((m_sTarget + "kept").c_str(), 0755));
  std::string sError;
  // The good entries come first, one in new directories and one in an
  // existing one; the corrupt one (stored, so its data lies in the archive
  // as written) fails on its CRC-32 and stops the run.
  EXPECT_FALSE(bInstall({{"first.txt", "new first"},
                         {"new\\deep\\x.txt", "new x"},
                         {"kept\\y.txt", "new y"},
                         {"newdir", "", deploytest::knDirectoryAttributes},
                         {"lib.so", "NEWDATA-NEWDATA-NEWDATA"},
                         {"last.txt", "last"}},
                        &sError, "NEWDATA", 1));
  // Nothing of the run stays: the old files byte-identical, no temporary,
  // no directory the run made; what was there before is kept.
  EXPECT_EQ(sOldFirst, sRead(m_sTarget + "first.txt"));
  EXPECT_EQ(sOldLib, sRead(m_sTarget + "lib.so"));
  EXPECT_EQ((std::set<std::string>{"first.txt", "kept", "lib.so"}), Listing(m_sTarget));
  EXPECT_TRUE(Listing(m_sTarget + "kept").empty());
  // Result 30 has no user text: only the trace line, which is asked for.
  const std::string sTrace = "Unzipping files failed whith error 30\r\n";
  ASSERT_GE(sError.size(), sTrace.size());
  EXPECT_EQ(sTrace, sError.substr(sError.size() - sTrace.size())) << sError;
  EXPECT_EQ(std::string::npos, sError.find(sStepFailed("lib.so")));
}

TEST_F(SafeInstallTree, FilesAreRenamedOnlyAfterEveryEntryIsChecked) {
  // A tree driven directly: staged files wait beside their destinations.
  ASSERT_TRUE(m_dir.bWrite(m_sTarget + "a.txt", "old a"));
  CSafeTree clTree;
  stSAFEFAILURE stFailure;
  ASSERT_TRUE(clTree.bOpen(sWide(m_sTarget).c_str(), &stFailure));
  stENTRYSTAMP stStamp;
  stStamp.tsAccess = {0, UTIME_OMIT};
  stStamp.tsModification = {0, UTIME_OMIT};
  stStamp.nOwner = getuid();
  stStamp.nGroup = getgid();
  stStamp.nMode = 0640;
  const auto fnWrite = [](const std::string& text) {
    return [text](IXStream* pStream, std::int64_t* pllWritten) {
      unsigned nWritten = 0;
      const bool bOk = pStream->bWrite(text.data(), static_cast<unsigned>(text.size()), &nWritten);
      *pllWritten = nWritten;
      return bOk ? 0 : 1;
    };
  };
  ASSERT_TRUE(clTree.bInstallFile(L"a.txt", 5, stStamp, fnWrite("new a"), &stFailure));
  ASSERT_TRUE(clTree.bInstallFile(L"d/b.txt", 5, stStamp, fnWrite("new b"), &stFailure));
  ASSERT_TRUE(clTree.bInstallDirectory(L"e", stStamp, &stFailure));
  EXPECT_EQ("old a", sRead(m_sTarget + "a.txt"));
  // a.txt, d, e and the temporary waiting to replace a.txt.
  EXPECT_EQ(4u, Listing(m_sTarget).size());
  EXPECT_EQ(2u, Listing(m_sTarget + "d").size() + Listing(m_sTarget + "e").size() + 1);

  ASSERT_TRUE(clTree.bCommit(&stFailure));
  EXPECT_EQ("new a", sRead(m_sTarget + "a.txt"));
  EXPECT_EQ("new b", sRead(m_sTarget + "d/b.txt"));
  EXPECT_EQ((std::set<std::string>{"a.txt", "d", "e"}), Listing(m_sTarget));
  struct stat st;
  ASSERT_EQ(0, lstat((m_sTarget + "e").c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);

  // After a commit there is nothing left to roll back.
  clTree.Close();
  EXPECT_EQ("new a", sRead(m_sTarget + "a.txt"));
  EXPECT_EQ((std::set<std::string>{"a.txt", "d", "e"}), Listing(m_sTarget));
}

TEST_F(SafeInstallTree, ArchiveResultWithAUserTextIsShownAfterTheName) {
  // Method 12 is not supported: result 3, whose user text is 28595.
  ASSERT_EQ(0, m_dir.nPython("import zipfile\n"
                             "with zipfile.ZipFile('a.zip', 'w', zipfile.ZIP_BZIP2) as z:\n"
                             "    z.writestr('packed.bin', b'x' * 1000)\n"));
  CDataExtractor clExtractor;
  clExtractor.m_bTrace = 0;
  ASSERT_EQ(0, static_cast<int>(clExtractor.eOuvreArchive(sWide(m_dir.sPath("a.zip")).c_str(), 0, 0)));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(clExtractor.bInstall(sWide(m_sTarget).c_str(), S_IFDIR | 0755, getuid(), getgid(), knFileMode,
                                    getuid(), getgid()));
  const std::string sError = testing::internal::GetCapturedStderr();
  CXYString<wchar_t> sText;
  ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, 28595, &sText));
  // The error holds no system message: an empty line stands for it.
  EXPECT_EQ(sStepFailed("packed.bin") + "\r\n\r\n\r\n" + sNarrow(sText.pszGet()), sError);
  EXPECT_TRUE(Listing(m_sTarget).empty());
}

TEST_F(SafeInstallTree, LicenseIsReadFromUtf8IntoMemory) {
  ASSERT_TRUE(deploytest::bMakeDeployArchive(m_dir, "a.zip", {{"license.txt", "Licence \xC3\xA9t\xC3\xA9"}}));
  CDataExtractor clExtractor;
  ASSERT_EQ(0, static_cast<int>(clExtractor.eOuvreArchive(sWide(m_dir.sPath("a.zip")).c_str(), 0, 0)));
  CTString sText;
  EXPECT_TRUE(clExtractor.bLoadLicense(&sText));
  EXPECT_STREQ(L"Licence \u00E9t\u00E9", sText.pszGet());
  // Nothing is written anywhere for it.
  EXPECT_EQ((std::set<std::string>{"a.zip", "outside", "target"}), Listing(m_dir.sDir()));

  ASSERT_TRUE(deploytest::bMakeDeployArchive(m_dir, "b.zip", {{"other.txt", "x"}}));
  ASSERT_EQ(0, static_cast<int>(clExtractor.eOuvreArchive(sWide(m_dir.sPath("b.zip")).c_str(), 0, 0)));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(clExtractor.bLoadLicense(&sText));
  const std::string sError = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0u, sError.find(sStepFailed("license.txt"))) << sError;
}

TEST_F(SafeInstallTree, DirectoryEntriesAreMadeButNeverThroughALink) {
  // A real directory is made, or accepted when it exists, and gets the
  // mode through its descriptor.
  ASSERT_EQ(0, mkdir((m_sTarget + "exists").c_str(), 0700));
  std::string sError;
  ASSERT_TRUE(bInstall({{"made", "", deploytest::knDirectoryAttributes},
                        {"exists", "", deploytest::knDirectoryAttributes},
                        {"made/in.txt", "in"}},
                       &sError))
      << sError;
  struct stat st;
  ASSERT_EQ(0, lstat((m_sTarget + "made").c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0750u, st.st_mode & 07777);
  ASSERT_EQ(0, lstat((m_sTarget + "exists").c_str(), &st));
  EXPECT_EQ(0750u, st.st_mode & 07777);
  EXPECT_EQ("in", sRead(m_sTarget + "made/in.txt"));

  // A link where the directory goes fails; the directory it names is left
  // as it was.
  const std::string sLinked = m_sOutside + "/dir";
  ASSERT_EQ(0, mkdir(sLinked.c_str(), 0700));
  ASSERT_EQ(0, symlink(sLinked.c_str(), (m_sTarget + "d").c_str()));
  EXPECT_FALSE(bInstall({{"d", "", deploytest::knDirectoryAttributes}}, &sError));
  EXPECT_EQ(0u, sError.find(sStepFailed(m_sTarget + "d"))) << sError;
  ASSERT_EQ(0, lstat(sLinked.c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 07777);
  EXPECT_TRUE(Listing(sLinked).empty());
}

TEST_F(SafeInstallTree, NamesDifferingOnlyInCaseEachGetTheirOwnData) {
  std::string sError;
  ASSERT_TRUE(bInstall({{"Lib.so", "upper case, longer data"}, {"lib.so", "lower"}}, &sError)) << sError;
  EXPECT_EQ("upper case, longer data", sRead(m_sTarget + "Lib.so"));
  EXPECT_EQ("lower", sRead(m_sTarget + "lib.so"));
}

TEST_F(SafeInstallTree, ZeroSizeEntriesReplaceAndCreateFiles) {
  ASSERT_TRUE(m_dir.bWrite(m_sTarget + "was-full.txt", "content"));
  std::string sError;
  ASSERT_TRUE(bInstall({{"was-full.txt", ""}, {"new-empty.txt", "", deploytest::knFileAttributes, true}},
                       &sError))
      << sError;
  struct stat st;
  ASSERT_EQ(0, lstat((m_sTarget + "was-full.txt").c_str(), &st));
  EXPECT_EQ(0, st.st_size);
  EXPECT_EQ(0750u, st.st_mode & 07777);
  ASSERT_EQ(0, lstat((m_sTarget + "new-empty.txt").c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(0, st.st_size);
  EXPECT_EQ((std::set<std::string>{"was-full.txt", "new-empty.txt"}), Listing(m_sTarget));
}

TEST_F(SafeInstallTree, ProgramPathOverTheLimitFailsInsteadOfBeingCut) {
  CDataExtractor clExtractor;
  clExtractor.m_bTrace = 0;
  // A real directory of 255 characters + "/mdbdeploy": the cut form would
  // name a different (existing) place.
  const std::string sLong = m_dir.sDir() + "/" + std::string(255 - m_dir.sDir().size() - 1, 'p');
  ASSERT_EQ(0, mkdir(sLong.c_str(), 0755));
  ASSERT_TRUE(deploytest::bMakeDeployArchive(m_dir, sLong + "/mdbdeploy.zip", {{"x", "x"}}));
  const std::string sProgram = sLong + "/mdbdeploy";
  ASSERT_GT(sProgram.size(), 260u);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(clExtractor.bInitFrom(sWide(sProgram).c_str(), L"mdbdeploy"));
  const std::string sError = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0u, sError.find(sStepFailed(sProgram))) << sError;

  // Within the limit the archive beside the program opens.
  const std::string sShort = m_dir.sDir() + "/mdbdeploy";
  ASSERT_TRUE(deploytest::bMakeDeployArchive(m_dir, "mdbdeploy.zip", {{"x", "x"}}));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(clExtractor.bInitFrom(sWide(sShort).c_str(), L"mdbdeploy"));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  EXPECT_EQ(1u, clExtractor.dwNombreFichier());
}

}  // namespace
