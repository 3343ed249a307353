// The built mdbdeploy, run as root end to end: a throwaway configuration in
// a private mount namespace (the child sees /etc through an overlay whose
// writable layer is a tmpfs of its own, so the machine's /etc is never
// touched and runs side by side do not meet), a copy of the program beside
// a test archive, and a runtime directory holding a kx200vm64.so of a
// chosen owner, group and mode.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "RootRequirement.h"
#include "CTString.h"
#include "CXYString.h"
#include "support/DeployArchive.h"
#include "InstallerMessages.h"
#include "MyModuleInfo.h"
#include "TestSupport.h"
#include "UnicodeConversion.h"
#include "support/InstalledStrMemAlloc.h"

namespace {

using deploytest::Listing;
using deploytest::sNarrow;
using deploytest::sWide;

using deploytest::stDeployEntry;

constexpr char kszConfDir[] = "/etc/Velmora/SILTRA/20.0";
constexpr char kszConf[] = "/etc/Velmora/SILTRA/20.0/SILTRA.conf";

// The runtime library's owner, group and mode, which every file receives,
// and the runtime directory's own, which it keeps.
constexpr uid_t knLibOwner = 4321;
constexpr gid_t knLibGroup = 4322;
constexpr mode_t knLibMode = 0754;
constexpr uid_t knDirOwner = 1234;
constexpr gid_t knDirGroup = 1235;
constexpr mode_t knDirMode = 0751;

// Child exit code when the mount namespace cannot be had.
constexpr int knNoNamespace = 197;

std::string sMessage(unsigned nId) {
  CXYString<wchar_t> text;
  EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, nId, &text)) << nId;
  return sNarrow(text.pszGet());
}

std::string sSystemText(int nErrno) {
  CTString s;
  s.SetANSIEx(std::strerror(nErrno), -1, 1252);
  return sNarrow(s.pszGet());
}

bool bWriteAll(int fd, const std::string& bytes) {
  std::size_t nDone = 0;
  while (nDone < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + nDone, bytes.size() - nDone);
    if (n <= 0) return false;
    nDone += static_cast<std::size_t>(n);
  }
  return true;
}

bool bMakeConfigIn(const std::string& config) {
  mkdir("/etc/Velmora", 0755);
  mkdir("/etc/Velmora/SILTRA", 0755);
  mkdir(kszConfDir, 0755);
  const int fd = open(kszConf, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool bOk = bWriteAll(fd, config);
  return close(fd) == 0 && bOk;
}

// In a forked child: a private mount namespace in which /etc is an overlay
// of the real one, its writable layer a tmpfs mounted at `layer` (an empty
// directory). False when the system refuses any step.
bool bPrivateEtc(const std::string& layer) {
  if (unshare(CLONE_NEWNS) != 0) return false;
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  if (mount("tmpfs", layer.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "mode=0700") != 0) return false;
  const std::string sUpper = layer + "/upper";
  const std::string sWork = layer + "/work";
  if (mkdir(sUpper.c_str(), 0755) != 0 || mkdir(sWork.c_str(), 0700) != 0) return false;
  const std::string sOptions = "lowerdir=/etc,upperdir=" + sUpper + ",workdir=" + sWork;
  return mount("overlay", "/etc", "overlay", 0, sOptions.c_str()) == 0;
}

struct stRun {
  int nStatus = -1;  // exit status, -1 when it did not exit
  std::string sError;
};

class MdbdeployRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    KX_NEED_ROOT("installing as the runtime's owner needs root");
    m_sProgramSource = kxtest::MdbdeployPath();
    ASSERT_FALSE(m_sProgramSource.empty()) << "mdbdeploy is not built";
    ASSERT_TRUE(m_dir.bOk());
    // Reachable by uid 65534: the directory and the program copy.
    ASSERT_EQ(0, chmod(m_dir.sDir().c_str(), 0755));
    m_sProg = m_dir.sPath("prog");
    m_sRun = m_dir.sPath("run");
    m_sOutside = m_dir.sPath("outside");
    ASSERT_EQ(0, mkdir(m_sProg.c_str(), 0755));
    ASSERT_EQ(0, mkdir(m_sRun.c_str(), 0700));
    ASSERT_EQ(0, mkdir(m_sOutside.c_str(), 0755));
    ASSERT_TRUE(m_dir.bWrite(m_sProg + "/mdbdeploy", m_dir.sRead(m_sProgramSource)));
    ASSERT_EQ(0, chmod((m_sProg + "/mdbdeploy").c_str(), 0755));
    ASSERT_EQ(0, chown(m_sRun.c_str(), knDirOwner, knDirGroup));
    ASSERT_EQ(0, chmod(m_sRun.c_str(), knDirMode));
    const std::string sLib = m_sRun + "/kx200vm64.so";
    ASSERT_TRUE(m_dir.bWrite(sLib, "runtime"));
    ASSERT_EQ(0, chown(sLib.c_str(), knLibOwner, knLibGroup));
    ASSERT_EQ(0, chmod(sLib.c_str(), knLibMode));

    m_sLayer = m_dir.sPath("etc-layer");
    ASSERT_EQ(0, mkdir(m_sLayer.c_str(), 0700));
    // A system that gives no private mount namespace or overlay runs
    // nothing: skipped, or failed where root tests are required.
    const pid_t pid = fork();
    if (pid == 0) _exit(bPrivateEtc(m_sLayer) ? 0 : knNoNamespace);
    int nWait = 0;
    ASSERT_EQ(pid, waitpid(pid, &nWait, 0));
    if (!WIFEXITED(nWait) || WEXITSTATUS(nWait) != 0) {
      if (kxtest::bRootRequired()) FAIL() << "no private mount namespace with an overlay over /etc";
      GTEST_SKIP() << "no private mount namespace with an overlay over /etc";
    }
  }

  bool bArchive(const std::vector<stDeployEntry>& entries) {
    return deploytest::bMakeDeployArchive(m_dir, m_sProg + "/mdbdeploy.zip", entries);
  }

  std::string sConfig(const std::string& binPath) const {
    return "[DEFAULT]\nBINPATH=" + binPath + "\n";
  }

  // Runs the program copy with `config` as the platform's configuration
  // (none when empty), as root or, with bNobody, as uid/gid 65534.
  stRun Run(const std::string& config, bool bNobody = false) {
    stRun r;
    int aPipe[2];
    if (pipe2(aPipe, O_CLOEXEC) != 0) return r;
    const std::string sProgram = m_sProg + "/mdbdeploy";
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(aPipe[1], 2);
      if (!bPrivateEtc(m_sLayer) || (!config.empty() && !bMakeConfigIn(config))) _exit(knNoNamespace);
      if (bNobody) {
        execl("/usr/bin/setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
              sProgram.c_str(), static_cast<char*>(nullptr));
      } else {
        execl(sProgram.c_str(), "mdbdeploy", static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    close(aPipe[1]);
    if (pid < 0) {
      close(aPipe[0]);
      return r;
    }
    char acBuffer[4096];
    ssize_t n;
    while ((n = read(aPipe[0], acBuffer, sizeof acBuffer)) > 0) r.sError.append(acBuffer, static_cast<std::size_t>(n));
    close(aPipe[0]);
    int nWait = 0;
    waitpid(pid, &nWait, 0);
    if (WIFEXITED(nWait)) r.nStatus = WEXITSTATUS(nWait);
    return r;
  }

  // Run with the configuration in the child's private /etc.
  stRun RunConfigured(const std::string& config, bool bNobody = false) {
    stRun r = Run(config, bNobody);
    EXPECT_NE(knNoNamespace, r.nStatus) << "the private /etc was refused";
    return r;
  }

  std::string sFailedText() const { return sMessage(7994) + "\n\n"; }

  // Every entry of the runtime directory but the library has its owner,
  // group and mode; the directory keeps its own.
  void ExpectLibraryStamp(const std::string& path) {
    struct stat st;
    ASSERT_EQ(0, lstat(path.c_str(), &st)) << path;
    EXPECT_EQ(knLibOwner, st.st_uid) << path;
    EXPECT_EQ(knLibGroup, st.st_gid) << path;
    EXPECT_EQ(knLibMode, st.st_mode & 07777) << path;
  }
  void ExpectTargetKept() {
    struct stat st;
    ASSERT_EQ(0, lstat(m_sRun.c_str(), &st));
    EXPECT_EQ(knDirOwner, st.st_uid);
    EXPECT_EQ(knDirGroup, st.st_gid);
    EXPECT_EQ(knDirMode, st.st_mode & 07777);
  }

  CInstalledStrMemAlloc m_alloc;
  zipmaker::ZipMakerDir m_dir;
  std::string m_sProgramSource;
  std::string m_sProg;
  std::string m_sRun;
  std::string m_sOutside;
  std::string m_sLayer;  // mount point of the child's tmpfs for /etc's overlay
};

TEST_F(MdbdeployRoot, InstallsEveryFileWithTheLibrarysOwnerGroupAndMode) {
  ASSERT_TRUE(bArchive({{"kx200maria64.so", std::string(100000, 'm'), deploytest::knFileAttributes, true},
                        {"share\\doc\\readme.txt", "read me"},
                        {"share/empty.txt", ""}}));
  const stRun r = RunConfigured(sConfig(m_sRun + "/"));
  EXPECT_EQ(0, r.nStatus);
  EXPECT_EQ(sMessage(7993) + "\n\n", r.sError);
  EXPECT_EQ(std::string(100000, 'm'), m_dir.sRead(m_sRun + "/kx200maria64.so"));
  EXPECT_EQ("read me", m_dir.sRead(m_sRun + "/share/doc/readme.txt"));
  for (const char* pszFile : {"/kx200maria64.so", "/share/doc/readme.txt", "/share/empty.txt"})
    ExpectLibraryStamp(m_sRun + pszFile);
  ExpectTargetKept();
  EXPECT_EQ((std::set<std::string>{"kx200vm64.so", "kx200maria64.so", "share"}), Listing(m_sRun));
  // The configuration stayed in the child's namespace.
  struct stat st;
  EXPECT_NE(0, lstat(kszConf, &st));
}

TEST_F(MdbdeployRoot, BinPathWithBackslashesAndWithoutFinalSlashNamesTheSameDirectory) {
  ASSERT_TRUE(bArchive({{"f.txt", "f"}}));
  std::string sBackslashed = m_sRun;
  for (char& c : sBackslashed)
    if (c == '/') c = '\\';
  for (const std::string& binPath : {m_sRun, sBackslashed}) {
    SCOPED_TRACE(binPath);
    unlink((m_sRun + "/f.txt").c_str());
    const stRun r = RunConfigured(sConfig(binPath));
    EXPECT_EQ(0, r.nStatus) << r.sError;
    EXPECT_EQ(sMessage(7993) + "\n\n", r.sError);
    EXPECT_EQ("f", m_dir.sRead(m_sRun + "/f.txt"));
  }
}

TEST_F(MdbdeployRoot, ArchiveOfDirectoriesOnlySucceedsAndInstallsNothing) {
  ASSERT_TRUE(bArchive({{"d1/", ""}, {"d1/d2/", ""}}));
  const stRun r = RunConfigured(sConfig(m_sRun));
  EXPECT_EQ(0, r.nStatus);
  EXPECT_EQ(sMessage(7993) + "\n\n", r.sError);
  EXPECT_EQ((std::set<std::string>{"kx200vm64.so"}), Listing(m_sRun));
}

TEST_F(MdbdeployRoot, NotRootShowsOnlyTheRootMessage) {
  ASSERT_TRUE(bArchive({{"f.txt", "f"}}));
  const stRun r = RunConfigured(sConfig(m_sRun), true);
  EXPECT_EQ(255, r.nStatus);
  EXPECT_EQ(sMessage(4219) + "\n\n", r.sError);
  EXPECT_EQ((std::set<std::string>{"kx200vm64.so"}), Listing(m_sRun));
}

TEST_F(MdbdeployRoot, RuntimeCheckFailuresNameWhatIsMissing) {
  ASSERT_TRUE(bArchive({{"f.txt", "f"}}));
  // A BINPATH too long for the paths is refused whole, not cut.
  const std::string sLong = m_sRun + "/" + std::string(300, 'L');
  stRun r = RunConfigured(sConfig(sLong));
  EXPECT_EQ(255, r.nStatus);
  const CTString sTooLong =
      sGetRES(4977, sWide(sLong + "/").c_str(), sWide(sSystemText(ENAMETOOLONG)).c_str());
  EXPECT_EQ(sNarrow(sTooLong.pszGet()) + sFailedText(), r.sError);

  // No configuration value.
  r = RunConfigured("[DEFAULT]\nOTHER=1\n");
  EXPECT_EQ(255, r.nStatus);
  EXPECT_EQ(sMessage(4976) + sFailedText(), r.sError);

  // The library is named bare.
  ASSERT_EQ(0, unlink((m_sRun + "/kx200vm64.so").c_str()));
  r = RunConfigured(sConfig(m_sRun));
  EXPECT_EQ(255, r.nStatus);
  const CTString sMissing = sGetRES(4977, L"kx200vm64.so", sWide(sSystemText(ENOENT)).c_str());
  EXPECT_EQ(sNarrow(sMissing.pszGet()) + sFailedText(), r.sError);
  EXPECT_TRUE(Listing(m_sRun).empty());
}

// One hostile archive: how the runtime directory is prepared, the entries,
// the status expected, and what must hold afterwards.
struct stHostile {
  const char* pszLabel;
  std::vector<stDeployEntry> entries;
  std::function<void(const std::string& run, const std::string& outside)> fnPrepare;
  int nStatus;
  std::function<void(const std::string& run, const std::string& outside)> fnCheck;
};

TEST_F(MdbdeployRoot, HostileArchivesWriteNothingOutsideTheTarget) {
  const std::string sAbs = "/kx-mdbdeploy-abs-" + std::to_string(getpid());
  // Names that would land beside the runtime directory, or one level above
  // the test's directory.
  const std::string sEscaped = "kx-escaped-" + std::to_string(getpid());
  const std::string sParentOfDir = m_dir.sDir().substr(0, m_dir.sDir().rfind('/'));
  const std::vector<stHostile> kaCases = {
      {"parent", {{"ok.txt", "ok"}, {"../" + sEscaped, "evil"}}, nullptr, 255, nullptr},
      {"backslash parent", {{"..\\..\\" + sEscaped, "evil"}}, nullptr, 255, nullptr},
      {"absolute", {{sAbs, "evil"}}, nullptr, 255,
       [&](const std::string&, const std::string&) {
         struct stat st;
         EXPECT_NE(0, lstat(sAbs.c_str(), &st));
       }},
      {"drive", {{"C:x", "evil"}}, nullptr, 255, nullptr},
      {"linked parent",
       {{"sub/x", "evil"}},
       [](const std::string& run, const std::string& outside) {
         ASSERT_EQ(0, symlink(outside.c_str(), (run + "/sub").c_str()));
       },
       255, nullptr},
      {"link at destination",
       {{"lib.so", "new"}},
       [&](const std::string& run, const std::string& outside) {
         ASSERT_TRUE(m_dir.bWrite(outside + "/victim", "victim"));
         ASSERT_EQ(0, symlink((outside + "/victim").c_str(), (run + "/lib.so").c_str()));
       },
       0,
       [&](const std::string& run, const std::string& outside) {
         EXPECT_EQ("victim", m_dir.sRead(outside + "/victim"));
         EXPECT_EQ("new", m_dir.sRead(run + "/lib.so"));
         ExpectLibraryStamp(run + "/lib.so");
       }},
      {"hard link at destination",
       {{"lib.so", "new"}},
       [&](const std::string& run, const std::string& outside) {
         ASSERT_TRUE(m_dir.bWrite(outside + "/victim", "victim"));
         ASSERT_EQ(0, link((outside + "/victim").c_str(), (run + "/lib.so").c_str()));
       },
       0,
       [&](const std::string& run, const std::string& outside) {
         EXPECT_EQ("victim", m_dir.sRead(outside + "/victim"));
         struct stat st;
         ASSERT_EQ(0, lstat((outside + "/victim").c_str(), &st));
         EXPECT_EQ(1u, st.st_nlink);
         EXPECT_NE(knLibOwner, st.st_uid);
         EXPECT_EQ("new", m_dir.sRead(run + "/lib.so"));
       }},
      {"link where a directory goes",
       {{"d", "", deploytest::knDirectoryAttributes}},
       [](const std::string& run, const std::string& outside) {
         ASSERT_EQ(0, mkdir((outside + "/dir").c_str(), 0700));
         ASSERT_EQ(0, symlink((outside + "/dir").c_str(), (run + "/d").c_str()));
       },
       255,
       [](const std::string&, const std::string& outside) {
         struct stat st;
         ASSERT_EQ(0, lstat((outside + "/dir").c_str(), &st));
         EXPECT_EQ(0700u, st.st_mode & 07777);
         EXPECT_EQ(0u, st.st_uid);
       }},
      {"case twins",
       {{"Lib.so", "upper and longer"}, {"lib.so", "lower"}},
       nullptr,
       0,
       [&](const std::string& run, const std::string&) {
         EXPECT_EQ("upper and longer", m_dir.sRead(run + "/Lib.so"));
         EXPECT_EQ("lower", m_dir.sRead(run + "/lib.so"));
       }},
  };

  for (const stHostile& c : kaCases) {
    SCOPED_TRACE(c.pszLabel);
    // A fresh runtime directory and outside directory for each archive.
    ASSERT_EQ(0, m_dir.nShell("find run outside -mindepth 1 ! -name kx200vm64.so -delete"));
    if (c.fnPrepare) c.fnPrepare(m_sRun, m_sOutside);
    const std::set<std::string> outsideBefore = Listing(m_sOutside);
    const std::set<std::string> runBefore = Listing(m_sRun);
    ASSERT_TRUE(bArchive(c.entries));
    const stRun r = RunConfigured(sConfig(m_sRun));
    EXPECT_EQ(c.nStatus, r.nStatus) << r.sError;
    const std::string sEnd = c.nStatus == 0 ? sMessage(7993) + "\n\n" : sFailedText();
    ASSERT_GE(r.sError.size(), sEnd.size());
    EXPECT_EQ(sEnd, r.sError.substr(r.sError.size() - sEnd.size())) << r.sError;
    EXPECT_EQ(outsideBefore, Listing(m_sOutside));
    EXPECT_EQ((std::set<std::string>{"mdbdeploy", "mdbdeploy.zip"}), Listing(m_sProg));
    EXPECT_EQ((std::set<std::string>{"etc-layer", "outside", "prog", "run"}), Listing(m_dir.sDir()));
    struct stat st;
    EXPECT_NE(0, lstat((sParentOfDir + "/" + sEscaped).c_str(), &st));
    // Nothing of a refused archive is installed.
    if (c.nStatus != 0) {
      EXPECT_EQ(runBefore, Listing(m_sRun));
    }
    if (c.fnCheck) c.fnCheck(m_sRun, m_sOutside);
  }
}

TEST_F(MdbdeployRoot, CorruptEntryAfterGoodOnesLeavesTheOldInstallationWhole) {
  const std::string sOldLib = "installed library bytes";
  const std::string sOldFirst = "installed first library";
  ASSERT_TRUE(m_dir.bWrite(m_sRun + "/lib.so", sOldLib));
  ASSERT_TRUE(m_dir.bWrite(m_sRun + "/first.so", sOldFirst));
  struct stat stBefore;
  ASSERT_EQ(0, lstat((m_sRun + "/first.so").c_str(), &stBefore));
  ASSERT_TRUE(bArchive({{"first.so", "new first library", deploytest::knFileAttributes, true},
                        {"share/doc/readme.txt", "read me"},
                        {"lib.so", "REPLACEMENT-REPLACEMENT"},
                        {"after.so", "after"}}));
  ASSERT_TRUE(deploytest::bCorruptStoredData(m_dir, m_sProg + "/mdbdeploy.zip", "REPLACEMENT"));
  const stRun r = RunConfigured(sConfig(m_sRun));
  EXPECT_EQ(255, r.nStatus);
  // Result 30 has no user text: only the final message.
  EXPECT_EQ(sFailedText(), r.sError);
  // The good entries before the corrupt one are not installed either: the
  // old files are byte-identical with their owner and mode, and neither a
  // temporary file nor a directory of the run is left.
  EXPECT_EQ(sOldLib, m_dir.sRead(m_sRun + "/lib.so"));
  EXPECT_EQ(sOldFirst, m_dir.sRead(m_sRun + "/first.so"));
  struct stat stAfter;
  ASSERT_EQ(0, lstat((m_sRun + "/first.so").c_str(), &stAfter));
  EXPECT_EQ(stBefore.st_ino, stAfter.st_ino);
  EXPECT_EQ(stBefore.st_uid, stAfter.st_uid);
  EXPECT_EQ(stBefore.st_mode, stAfter.st_mode);
  EXPECT_EQ((std::set<std::string>{"first.so", "kx200vm64.so", "lib.so"}), Listing(m_sRun));
  ExpectTargetKept();
}

TEST_F(MdbdeployRoot, ArchiveOfDataFromStandardInputInstallsAndItsBrokenZip64RecordIsRefused) {
  // zip writes ZIP64 end records beside ordinary end values when it reads
  // the data from a pipe.
  const std::string sArchive = m_sProg + "/mdbdeploy.zip";
  ASSERT_EQ(0, m_dir.nShell("printf 'a\\n' | zip -q -X " + zipmaker::sQuote(sArchive) + " -"));
  stRun r = RunConfigured(sConfig(m_sRun));
  EXPECT_EQ(0, r.nStatus) << r.sError;
  EXPECT_EQ(sMessage(7993) + "\n\n", r.sError);
  EXPECT_EQ("a\n", m_dir.sRead(m_sRun + "/-"));
  ExpectLibraryStamp(m_sRun + "/-");
  ExpectTargetKept();

  // The same archive with garbage where its ZIP64 end record goes.
  ASSERT_EQ(0, m_dir.nPython("import sys\n"
                             "data = bytearray(open(sys.argv[1], 'rb').read())\n"
                             "at = data.rfind(b'PK\\x06\\x06')\n"
                             "assert at > 0\n"
                             "data[at:at + 4] = b'JUNK'\n"
                             "open(sys.argv[1], 'wb').write(bytes(data))\n",
                             {sArchive}));
  const auto before = Listing(m_sRun);
  r = RunConfigured(sConfig(m_sRun));
  EXPECT_EQ(255, r.nStatus);
  EXPECT_EQ(sFailedText(), r.sError.substr(r.sError.size() - std::min(r.sError.size(), sFailedText().size())));
  EXPECT_EQ("a\n", m_dir.sRead(m_sRun + "/-"));
  EXPECT_EQ(before, Listing(m_sRun));
}

}  // namespace
