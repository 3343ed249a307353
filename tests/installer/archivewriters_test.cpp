// The installer against unzip, archive by archive: every way common writers
// make an archive (Info-ZIP zip's options, data from standard input, a stub
// in front, python's zipfile seekable or not, with ZIP64 or without) installs
// the very tree `unzip -o -d` extracts; and an archive that `unzip -t`
// rejects is refused with the old installation left as it was. The archives
// are made at test time by support/make_writer_archives.sh, which the fuzz
// target's seed corpus uses too.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "CDataExtractor.h"
#include "TestSupport.h"
#include "support/DeployArchive.h"
#include "support/InstalledStrMemAlloc.h"

namespace {

using deploytest::Listing;
using deploytest::sWide;
using zipmaker::sQuote;

// A file's bytes as its size and FNV-1a digest: compared as exactly as the
// bytes, and short enough to show when they differ.
std::string sDigest(const std::string& data) {
  std::uint64_t qw = 0xcbf29ce484222325ULL;
  for (unsigned char c : data) qw = (qw ^ c) * 0x100000001b3ULL;
  char acText[64];
  std::snprintf(acText, sizeof acText, "file, %zu bytes, %016llx", data.size(),
                static_cast<unsigned long long>(qw));
  return acText;
}

// What a directory holds, recursively: relative path to "dir" or to the
// file's digest.
std::map<std::string, std::string> Tree(const std::string& root, const std::string& relative = "") {
  std::map<std::string, std::string> tree;
  const std::string sDir = relative.empty() ? root : root + "/" + relative;
  for (const std::string& name : Listing(sDir)) {
    const std::string sRelative = relative.empty() ? name : relative + "/" + name;
    const std::string sPath = root + "/" + sRelative;
    struct stat st;
    if (lstat(sPath.c_str(), &st) != 0) {
      tree[sRelative] = "unreadable";
    } else if (S_ISDIR(st.st_mode)) {
      tree[sRelative] = "dir";
      for (const auto& entry : Tree(root, sRelative)) tree.insert(entry);
    } else if (S_ISREG(st.st_mode)) {
      std::string sData;
      if (FILE* pFile = std::fopen(sPath.c_str(), "rbe")) {
        char acBuffer[65536];
        std::size_t n;
        while ((n = std::fread(acBuffer, 1, sizeof acBuffer, pFile)) > 0) sData.append(acBuffer, n);
        std::fclose(pFile);
      }
      tree[sRelative] = sDigest(sData);
    } else {
      tree[sRelative] = "other";
    }
  }
  return tree;
}

// Installs `archive` into `target` (an existing directory) as mdbdeploy
// does: 0 when installed, the archive's result code when it is not opened,
// -1 when the install fails.
int nInstall(const std::string& archive, const std::string& target) {
  CDataExtractor clExtractor;
  clExtractor.m_bTrace = 0;
  const int nOpen = static_cast<int>(clExtractor.eOuvreArchive(sWide(archive).c_str(), 0, 0));
  if (nOpen != 0) return nOpen;
  testing::internal::CaptureStderr();
  const bool bOk = clExtractor.bInstall(sWide(target + "/").c_str(), S_IFDIR | 0755, getuid(), getgid(),
                                        S_IFREG | 0644, getuid(), getgid());
  testing::internal::GetCapturedStderr();
  return bOk ? 0 : -1;
}

class ArchiveWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.bOk());
    if (!zipmaker::bHasProgram("zip") || !zipmaker::bHasProgram("unzip"))
      FAIL() << "zip and unzip are needed (./test.sh installs them)";
    m_sArchives = m_dir.sPath("archives");
    ASSERT_EQ(0, mkdir(m_sArchives.c_str(), 0755));
    const std::string sScript = kxtest::SourcePath("tests/installer/support/make_writer_archives.sh");
    ASSERT_EQ(0, m_dir.nShell(sQuote(sScript) + " " + sQuote(m_sArchives) + " 2>&1"));
  }

  CInstalledStrMemAlloc m_alloc;
  zipmaker::ZipMakerDir m_dir;
  std::string m_sArchives;
};

TEST_F(ArchiveWriters, EveryArchiveUnzipReadsInstallsTheTreeUnzipExtracts) {
  // The rows the script makes; a row it stops making, or a new one not
  // listed here, fails the test.
  const std::set<std::string> kaWriters = {
      "w-zip-r.zip",        "w-zip-0.zip",          "w-zip-1.zip",
      "w-zip-9.zip",        "w-zip-fz.zip",         "w-zip-D.zip",
      "w-zip-comment.zip",  "w-zip-list.zip",       "w-zip-stdin-short.zip",
      "w-zip-stdin-300k.zip", "w-zip-stub.zip",     "w-zip-stub-A.zip",
      "w-py-stored.zip",    "w-py-deflated.zip",    "w-py-zip64.zip",
      "w-py-unseekable.zip", "w-py-unseekable-zip64.zip"};
  std::set<std::string> made;
  for (const std::string& name : Listing(m_sArchives))
    if (name.compare(0, 2, "w-") == 0) made.insert(name);
  EXPECT_EQ(kaWriters, made);

  for (const std::string& name : kaWriters) {
    SCOPED_TRACE(name);
    const std::string sArchive = m_sArchives + "/" + name;
    const std::string sByUnzip = m_dir.sPath("unzip-" + name);
    const std::string sByInstaller = m_dir.sPath("installer-" + name);
    // 0, or 1 for a warning (bytes in front of the archive).
    const int nUnzip = m_dir.nShell("unzip -qq -o -d " + sQuote(sByUnzip) + " " + sQuote(sArchive) + " 2>&1");
    ASSERT_TRUE(nUnzip == 0 || nUnzip == 1) << "unzip: " << nUnzip;
    ASSERT_EQ(0, mkdir(sByInstaller.c_str(), 0755));
    EXPECT_EQ(0, nInstall(sArchive, sByInstaller));
    const auto byUnzip = Tree(sByUnzip);
    EXPECT_FALSE(byUnzip.empty());
    EXPECT_EQ(byUnzip, Tree(sByInstaller));
  }
}

TEST_F(ArchiveWriters, BrokenArchivesAreRefusedAndTheOldInstallationStays) {
  // r-: unzip -t rejects them; n-: unzip cuts the name at the NUL and reads
  // it, the installer refuses a name it cannot keep whole.
  const std::set<std::string> kaBroken = {
      "r-sizes-disagree.zip",  "r-bad-crc.zip",          "r-count-too-high.zip",
      "r-truncated-directory.zip", "r-locator-past-end.zip", "r-zip64-record-garbage.zip",
      "r-zip64-record-contradicts.zip", "n-nul-in-name.zip"};
  std::set<std::string> made;
  for (const std::string& name : Listing(m_sArchives))
    if (name.compare(0, 2, "r-") == 0 || name.compare(0, 2, "n-") == 0) made.insert(name);
  EXPECT_EQ(kaBroken, made);

  const std::string sTarget = m_dir.sPath("target");
  ASSERT_EQ(0, mkdir(sTarget.c_str(), 0755));
  ASSERT_TRUE(m_dir.bWrite(sTarget + "/a.txt", "old alpha"));
  ASSERT_TRUE(m_dir.bWrite(sTarget + "/-", "old dash"));
  ASSERT_TRUE(m_dir.bWrite(sTarget + "/sub/b.txt", "old bravo"));
  const auto before = Tree(sTarget);
  for (const std::string& name : kaBroken) {
    SCOPED_TRACE(name);
    const std::string sArchive = m_sArchives + "/" + name;
    const int nTest = m_dir.nShell("unzip -tqq " + sQuote(sArchive) + " >/dev/null 2>&1");
    if (name[0] == 'r') {
      EXPECT_GE(nTest, 2) << "unzip -t reads it";
    }
    const int nResult = nInstall(sArchive, sTarget);
    EXPECT_NE(0, nResult);
    // Broken ZIP64 end records: not a ZIP archive (3), as for a broken
    // classic one.
    if (name.compare(0, 7, "r-zip64") == 0 || name.compare(0, 9, "r-locator") == 0) {
      EXPECT_EQ(3, nResult);
    }
    EXPECT_EQ(before, Tree(sTarget));
  }
}

}  // namespace
