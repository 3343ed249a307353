// The archive facade on archives made at test time: opening and listing,
// extraction to files, memory and any stream (by directory index), sizes
// that do not match the data, passwords, the information text, the locks
// and the critical section.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "CKXWinZip.h"
#include "CMemoryStream.h"
#include "CTNBIN.h"
#include "support/InstalledStrMemAlloc.h"
#include "support/ZipMaker.h"

namespace {

using zipmaker::ZipMakerDir;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Narrow(const wchar_t* p) {
  std::string s;
  for (; p != nullptr && *p != 0; ++p) s.push_back(static_cast<char>(*p));
  return s;
}

// Compressible text of n bytes.
std::string Text(std::size_t n, char seed) {
  std::string s;
  for (std::size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i * 7 + seed) + " of the text\n";
  s.resize(n);
  return s;
}

// The archives are made once for the suite, with TZ fixed to UTC so that
// entry times read back as written; each test writes its own file names.
class KXWinZipTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* tz = std::getenv("TZ");
    s_hadTz = tz != nullptr;
    if (s_hadTz) s_tz = tz;
    setenv("TZ", "UTC", 1);
    tzset();
    s_dir = new ZipMakerDir;
    s_big = Text(200000, 'b');
    s_ready = s_dir->bOk() && s_dir->bWrite("src/a.txt", "hello") && s_dir->bWrite("src/empty.txt", "") &&
              s_dir->bWrite("src/dir/b.bin", s_big) &&
              s_dir->nShell("cd src && touch -d '2020-01-02 03:04:06' a.txt empty.txt dir dir/b.bin") == 0 &&
              s_dir->nShell("cd src && zip -q -X ../plain.zip a.txt empty.txt dir dir/b.bin") == 0 &&
              s_dir->nShell("cd src && zip -q -X -0 ../stored.zip a.txt empty.txt") == 0 &&
              s_dir->nShell("cd src && zip -q -X -P secret ../secret.zip a.txt dir/b.bin") == 0 &&
              s_dir->nPython("import zipfile\n"
                             "with zipfile.ZipFile('cases.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
                             "  z.writestr('Lib.so','upper case library')\n"
                             "  z.writestr('lib.so','lower')\n"
                             "with zipfile.ZipFile('one.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
                             "  z.write('src/dir/b.bin', 'big.txt')\n") == 0;
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
    if (s_hadTz) {
      setenv("TZ", s_tz.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void SetUp() override { ASSERT_TRUE(s_ready); }

  static std::wstring Path(const std::string& name) { return Wide(s_dir->sPath(name)); }

  // A copy of `from` in which the uncompressed size of the first entry
  // (local and central header) is `size`.
  static std::string WithDeclaredSize(const std::string& from, const std::string& to, unsigned size) {
    std::string bytes = s_dir->sRead(from);
    zipmaker::SetU32(bytes, 22, size);
    const std::size_t central = zipmaker::FindSignatures(bytes, 0x02014b50).at(0);
    zipmaker::SetU32(bytes, central + 24, size);
    EXPECT_TRUE(s_dir->bWrite(to, bytes));
    return to;
  }

  static ZipMakerDir* s_dir;
  static std::string s_big;
  static bool s_ready;
  static bool s_hadTz;
  static std::string s_tz;

  CInstalledStrMemAlloc m_allocator;
  const ZipMakerDir& m_dir = *s_dir;
  const std::string& m_big = s_big;
};

ZipMakerDir* KXWinZipTest::s_dir = nullptr;
std::string KXWinZipTest::s_big;
bool KXWinZipTest::s_ready = false;
bool KXWinZipTest::s_hadTz = false;
std::string KXWinZipTest::s_tz;

TEST_F(KXWinZipTest, OpensAndListsWithoutDirectoryEntries) {
  CKXWinZip zip;
  EXPECT_EQ(zip.eOuvreArchive(Path("missing.zip").c_str(), 1, 0), KXZIP_ERR_OUVERTURE);
  EXPECT_EQ(zip.eOuvreArchive(Path("src/a.txt").c_str(), 1, 0), KXZIP_ERR_FORMAT);
  EXPECT_EQ(zip.eGetDernierResultat(), KXZIP_ERR_FORMAT);

  ASSERT_EQ(zip.eOuvreArchive(Path("plain.zip").c_str(), 1, 0), KXZIP_OK);
  ASSERT_EQ(zip.dwNombreFichier(), 3u);
  const char* const names[] = {"a.txt", "empty.txt", "dir\\b.bin"};
  const std::int64_t sizes[] = {5, 0, 200000};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Narrow(zip.pszNomFichier(i)), names[i]);
    EXPECT_EQ(zip.dwTailleOriginale(i), sizes[i]);
    EXPECT_EQ(zip.stftLitFtModif(i).wYear, 2020);
    EXPECT_EQ(zip.stftLitFtCreation(i).wSecond, 6);
    EXPECT_EQ(zip.stftLitFtAcces(i).wHour, 3);
    EXPECT_FALSE(zip.bCrypte(i));
    EXPECT_EQ(zip.nGetIndexMoteur(i), i == 2 ? 3 : i);  // the engine's entry 2 is "dir/"
  }
  EXPECT_LT(zip.dwTailleCompresse(2), 200000);
  EXPECT_EQ(zip.lRangFichier(L"DIR\\B.BIN"), 2);
  EXPECT_EQ(zip.lRangFichier(L"dir"), -1);
  EXPECT_EQ(zip.pszNomFichier(3), nullptr);
  EXPECT_EQ(zip.nTypeZip(), -1);
  ASSERT_EQ(zip.LockEcritureOuvertEnLecture(0), KXZIP_OK);  // closes the archive file
  EXPECT_EQ(zip.eLitRepertoireMono(), KXZIP_OK);            // opened again for the read
  EXPECT_EQ(zip.dwNombreFichier(), 3u);

  zip.Term();
  EXPECT_EQ(zip.dwNombreFichier(), 0u);
  EXPECT_EQ(zip.eLitRepertoireMono(), KXZIP_ERR_NON_OUVERT);
}

TEST_F(KXWinZipTest, InformationText) {
  CKXWinZip zip;
  ASSERT_EQ(zip.eOuvreArchive(Path("stored.zip").c_str(), 1, 0), KXZIP_OK);
  CTString text;
  const std::string when = "20200102030406";
  ASSERT_EQ(zip.eGetInfoFichier(0, &text), KXZIP_OK);
  // Files zipped here carry the mode in the high half: S_IFREG sets bit 31.
  EXPECT_EQ(Narrow(text.pszGet()), "a.txt\t5\t5\t" + when + "\t" + when + "\t" + when + "\tH\tN");
  ASSERT_EQ(zip.eGetInfoFichier(1, &text), KXZIP_OK);
  EXPECT_EQ(Narrow(text.pszGet()), "empty.txt\t\t\t" + when + "\t" + when + "\t" + when + "\tH\tN");
  EXPECT_EQ(zip.eGetInfoFichier(2, &text), KXZIP_ERR_OUVERTURE);

  ASSERT_EQ(zip.eOuvreArchive(Path("secret.zip").c_str(), 1, 0), KXZIP_OK);
  ASSERT_EQ(zip.eGetInfoFichier(0, &text), KXZIP_OK);
  EXPECT_EQ(Narrow(text.pszGet()).substr(0, 11), "a.txt\t5\t5\t2");  // stored, the 12-byte header left out
  EXPECT_EQ(Narrow(text.pszGet()).back(), '+');
}

TEST_F(KXWinZipTest, ExtractsToFilesWithTimesAndEmptyEntries) {
  CKXWinZip zip;
  EXPECT_EQ(zip.eExtraitFichier(L"a.txt", Path("out.txt").c_str()), KXZIP_ERR_NON_OUVERT);
  ASSERT_EQ(zip.eOuvreArchive(Path("plain.zip").c_str(), 1, 0), KXZIP_OK);

  ASSERT_EQ(zip.eExtraitFichier(L"DIR\\b.bin", Path("out/b.bin").c_str()), KXZIP_ERR_CREATION);  // no parent
  ASSERT_EQ(zip.eExtraitFichier(L"dir\\b.bin", Path("b.bin").c_str()), KXZIP_OK);
  EXPECT_EQ(m_dir.sRead("b.bin"), m_big);
  EXPECT_EQ(Narrow(zip.pszGetDerniereDestination()), m_dir.sPath("b.bin"));
  struct stat st;
  ASSERT_EQ(stat(m_dir.sPath("b.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1577934246);

  // An empty entry over a non-empty file empties it.
  ASSERT_TRUE(m_dir.bWrite("full.txt", "previous content"));
  ASSERT_EQ(zip.eExtraitFichier(L"empty.txt", Path("full.txt").c_str()), KXZIP_OK);
  bool ok = false;
  EXPECT_EQ(m_dir.sRead("full.txt", &ok), "");
  EXPECT_TRUE(ok);

  // An unknown name leaves the destination as it was.
  ASSERT_TRUE(m_dir.bWrite("keep.txt", "keep me"));
  EXPECT_EQ(zip.eExtraitFichier(L"nothere.txt", Path("keep.txt").c_str()), KXZIP_ERR_OUVERTURE);
  EXPECT_EQ(m_dir.sRead("keep.txt"), "keep me");
  EXPECT_EQ(zip.eGetDernierResultat(), KXZIP_ERR_OUVERTURE);
}

TEST_F(KXWinZipTest, DeleteFlagUnlinksTheDestinationFirst) {
  CKXWinZip zip;
  ASSERT_EQ(zip.eOuvreArchive(Path("plain.zip").c_str(), 1, 0), KXZIP_OK);
  struct Case {
    const char* label;
    unsigned flags;
    const wchar_t* entry;
    _eKXzipResult result;
    bool destinationExists;
    const char* otherLink;  // content of the second name of the destination
  };
  const Case cases[] = {
      {"overwritten in place", 0, L"a.txt", KXZIP_OK, true, "hello"},
      {"deleted, then written", 0x40, L"a.txt", KXZIP_OK, true, "old data"},
      {"deleted before the lookup", 0x40, L"nothere", KXZIP_ERR_OUVERTURE, false, "old data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(m_dir.bWrite("other", "old data"));
    unlink(m_dir.sPath("dest").c_str());
    ASSERT_EQ(link(m_dir.sPath("other").c_str(), m_dir.sPath("dest").c_str()), 0);
    EXPECT_EQ(zip.eExtraitFichier(c.entry, Path("dest").c_str(), 0, nullptr, 0, c.flags), c.result);
    EXPECT_EQ(access(m_dir.sPath("dest").c_str(), F_OK) == 0, c.destinationExists);
    EXPECT_EQ(m_dir.sRead("other"), c.otherLink);
  }
}

TEST_F(KXWinZipTest, ExtractsIntoMemory) {
  CKXWinZip zip;
  CTNBIN buffer;
  EXPECT_EQ(zip.eExtraitFichier(L"a.txt", buffer), KXZIP_ERR_NON_OUVERT);
  ASSERT_EQ(zip.eOuvreArchive(Path("plain.zip").c_str(), 1, 0), KXZIP_OK);
  ASSERT_EQ(zip.eExtraitFichier(L"dir\\B.bin", buffer), KXZIP_OK);
  ASSERT_EQ(buffer.nGetTailleUtile(), m_big.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.pGetData()), buffer.nGetTailleUtile()), m_big);
  EXPECT_EQ(zip.eExtraitFichier(L"empty.txt", buffer), KXZIP_OK);
  EXPECT_EQ(buffer.nGetTailleUtile(), 0u);
  EXPECT_EQ(zip.eExtraitFichier(L"none", buffer), KXZIP_ERR_OUVERTURE);
}

TEST_F(KXWinZipTest, DataOfAnotherSizeThanDeclared) {
  // Complete deflate streams of 200000 bytes, declared 5 more and 5 fewer.
  // The engine never delivers more than the declared size: data cut there
  // fails its CRC-32.
  struct Case {
    const char* label;
    unsigned declared;
    std::int64_t written;
    _eKXzipResult result;
  };
  const Case cases[] = {{"shorter than declared", 200005, 200000, KXZIP_ERR_FORMAT},
                        {"longer than declared", 199995, 199995, KXZIP_ERR_DONNEES}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = WithDeclaredSize("one.zip", std::string("sized") + c.label[0] + ".zip", c.declared);
    CKXWinZip zip;
    ASSERT_EQ(zip.eOuvreArchive(Path(name).c_str(), 1, 0), KXZIP_OK);
    ASSERT_EQ(zip.dwTailleOriginale(0), c.declared);
    EXPECT_EQ(zip.eExtraitFichier(L"big.txt", Path("big.out").c_str()), c.result);
    EXPECT_EQ(m_dir.sRead("big.out").size(), static_cast<std::size_t>(c.written));
    CTNBIN buffer;
    EXPECT_EQ(zip.eExtraitFichier(L"big.txt", buffer), c.result);
    EXPECT_EQ(buffer.nGetTailleUtile(), static_cast<std::uint32_t>(c.written));
    CMemoryStream stream;
    ASSERT_TRUE(stream.bOpen(L"m", XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
    std::int64_t written = -1;
    EXPECT_EQ(zip.eExtraitRangVersFlux(0, &stream, &written), c.result);
    EXPECT_EQ(written, c.written);
  }
}

TEST_F(KXWinZipTest, Passwords) {
  CKXWinZip zip;
  ASSERT_EQ(zip.eOuvreArchive(Path("secret.zip").c_str(), 1, 0), KXZIP_OK);
  ASSERT_TRUE(zip.bCrypte(1));
  const wchar_t* const wrong[] = {nullptr, L"Secret", L"wrong"};
  for (const wchar_t* password : wrong) {
    SCOPED_TRACE(password != nullptr ? Narrow(password) : "none");
    ASSERT_EQ(zip.eMotDePasse(password), KXZIP_OK);
    // One header in 256 passes the check byte and fails on the data.
    const _eKXzipResult r = zip.eExtraitFichier(L"dir\\b.bin", Path("b.out").c_str());
    EXPECT_TRUE(r == KXZIP_ERR_MOT_DE_PASSE || r == KXZIP_ERR_DONNEES) << r;
    CMemoryStream stream;
    ASSERT_TRUE(stream.bOpen(L"m", XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
    const _eKXzipResult f = zip.eExtraitRangVersFlux(1, &stream, nullptr);
    EXPECT_TRUE(f == KXZIP_ERR_MOT_DE_PASSE || f == KXZIP_ERR_DONNEES) << f;
  }
  ASSERT_EQ(zip.eMotDePasse(L"secret"), KXZIP_OK);
  CTString text;
  ASSERT_EQ(zip.eGetMotDePasse(&text), KXZIP_OK);
  EXPECT_EQ(Narrow(text.pszGet()), "secret");
  ASSERT_EQ(zip.eExtraitFichier(L"dir\\b.bin", Path("b.out").c_str()), KXZIP_OK);
  EXPECT_EQ(m_dir.sRead("b.out"), m_big);
}

TEST_F(KXWinZipTest, ExtractsByDirectoryIndexIntoAnyStream) {
  CKXWinZip zip;
  CMemoryStream stream;
  ASSERT_TRUE(stream.bOpen(L"m", XACCESS_READWRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
  EXPECT_EQ(zip.eExtraitRangVersFlux(0, &stream, nullptr), KXZIP_ERR_NON_OUVERT);
  ASSERT_EQ(zip.eOuvreArchive(Path("cases.zip").c_str(), 1, 0), KXZIP_OK);
  ASSERT_EQ(zip.dwNombreFichier(), 2u);
  const char* const expected[] = {"upper case library", "lower"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    CMemoryStream out;
    ASSERT_TRUE(out.bOpen(L"m", XACCESS_READWRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
    std::int64_t written = -1;
    ASSERT_EQ(zip.eExtraitRangVersFlux(i, &out, &written), KXZIP_OK);
    EXPECT_EQ(written, static_cast<std::int64_t>(std::string(expected[i]).size()));
    EXPECT_EQ(std::string(static_cast<const char*>(out.pGetAddress()), out.oGetSize()), expected[i]);
  }
  // Into a file descriptor stream too, after what is already there.
  CDiskFile file;
  ASSERT_TRUE(file.bOpen(Path("flux.out").c_str(), XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
  ASSERT_TRUE(file.bWrite("> ", 2, nullptr));
  ASSERT_EQ(zip.eExtraitRangVersFlux(0, &file, nullptr), KXZIP_OK);
  file.Close();
  EXPECT_EQ(m_dir.sRead("flux.out"), "> upper case library");

  EXPECT_EQ(zip.eExtraitRangVersFlux(2, &stream, nullptr), KXZIP_ERR_OUVERTURE);
  EXPECT_EQ(zip.eExtraitRangVersFlux(-1, &stream, nullptr), KXZIP_ERR_OUVERTURE);
  EXPECT_EQ(zip.eExtraitRangVersFlux(0, nullptr, nullptr), KXZIP_ERR_CREATION);
}

TEST_F(KXWinZipTest, EngineSettings) {
  CKXWinZip zip;
  int level = -1;
  ASSERT_EQ(zip.eNiveauCompression(4), KXZIP_OK);
  EXPECT_EQ(zip.eNiveauCompression(10), KXZIP_ERR_NIVEAU);
  EXPECT_EQ(zip.eGetDernierResultat(), KXZIP_ERR_NIVEAU);
  ASSERT_EQ(zip.eGetNiveauCompression(&level), KXZIP_OK);
  EXPECT_EQ(level, 4);
  EXPECT_EQ(zip.eNiveauCompression(9), KXZIP_OK);
  EXPECT_EQ(zip.bEntete64Bits(1), 0);
  EXPECT_EQ(zip.bEntete64Bits(0), 1);
}

// Whether another open file description sees a write lock on `offset`.
bool LockedElsewhere(const std::string& path, off_t offset) {
  const int fd = open(path.c_str(), O_RDWR);
  if (fd < 0) return false;
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  const bool locked = fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  close(fd);
  return locked;
}

TEST_F(KXWinZipTest, LocksOneByteAtOffsetOne) {
  const std::string path = m_dir.sPath("plain.zip");
  CKXWinZip zip;
  ASSERT_EQ(zip.eOuvreArchive(Wide(path).c_str(), 1, 0), KXZIP_OK);
  ASSERT_EQ(zip.Lock(1), KXZIP_OK);
  EXPECT_TRUE(zip.bEstVerrouille());
  EXPECT_TRUE(LockedElsewhere(path, 1));
  EXPECT_FALSE(LockedElsewhere(path, 0));
  EXPECT_FALSE(LockedElsewhere(path, 2));
  // The archive still reads while locked.
  ASSERT_EQ(zip.eExtraitFichier(L"a.txt", Path("a.out").c_str()), KXZIP_OK);
  ASSERT_EQ(zip.Lock(0), KXZIP_OK);
  EXPECT_FALSE(zip.bEstVerrouille());
  EXPECT_FALSE(LockedElsewhere(path, 1));

  // Opened read-only: Lock opens for reading and locks nothing.
  CKXWinZip readOnly;
  ASSERT_EQ(readOnly.eOuvreArchive(Wide(path).c_str(), 0, 0), KXZIP_OK);
  EXPECT_EQ(readOnly.nGetModeOuverture(), 0);
  ASSERT_EQ(readOnly.Lock(1), KXZIP_OK);
  EXPECT_FALSE(readOnly.bEstVerrouille());
  EXPECT_FALSE(LockedElsewhere(path, 1));
  // Closed by Lock(0), the file is opened again for an extraction.
  ASSERT_EQ(readOnly.Lock(0), KXZIP_OK);
  EXPECT_EQ(readOnly.eExtraitFichier(L"a.txt", Path("a2.out").c_str()), KXZIP_OK);
}

TEST_F(KXWinZipTest, CriticalSectionIsRecursiveAndExclusive) {
  CKXWinZip zip;
  ASSERT_TRUE(zip.bDebutSectionCritique());
  ASSERT_TRUE(zip.bDebutSectionCritique());
  std::atomic<bool> entered{false};
  std::thread other([&] {
    zip.bDebutSectionCritique();
    entered = true;
    zip.FinSectionCritique();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered);
  zip.FinSectionCritique();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered);
  zip.FinSectionCritique();
  other.join();
  EXPECT_TRUE(entered);
}

}  // namespace
