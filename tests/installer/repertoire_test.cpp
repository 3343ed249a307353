// The archive directory: its serialised form (written, read back, and
// hostile records refused), lookups by name without regard to case across
// table growth, password digests, sizes and the placeholder reordering.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <unistd.h>
#include <utime.h>

#include "CMemoryStream.h"
#include "CRepertoire.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// 2020-01-02 03:04:05, read as UTC (the tests fix TZ).
const CDiskFile::_stXFILETIME kT1 = {2020, 1, 2, 3, 4, 5, 0};
const CDiskFile::_stXFILETIME kT2 = {2021, 6, 7, 8, 9, 10, 0};
const CDiskFile::_stXFILETIME kT3 = {1999, 12, 31, 23, 59, 58, 0};
constexpr std::uint64_t kFileTimeT1 = 0x1d5c1194ac40080ULL;
constexpr std::uint64_t kFileTimeT2 = 0x1d75b746506d700ULL;
constexpr std::uint64_t kFileTimeT3 = 0x1bf53eb243c1300ULL;

class RepertoireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    m_hadTz = tz != nullptr;
    if (m_hadTz) m_tz = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (m_hadTz) {
      setenv("TZ", m_tz.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

  bool m_hadTz = false;
  std::string m_tz;
};

void PutU32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU64(Bytes& b, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A record whose length field says `declared` and whose part after the 40
// fixed bytes is `rest`.
Bytes Record(std::uint32_t declared, const Bytes& rest) {
  Bytes b;
  PutU32(b, declared);
  PutU32(b, 7);
  PutU32(b, 5);
  for (int i = 0; i < 3; ++i) PutU64(b, kFileTimeT1);
  PutU32(b, 0x81A4);
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

// Name bytes, the zero byte, then `trailer` bytes (reserved 0, kind 2, the
// rest 0xAB).
Bytes NameAndTrailer(const std::string& name, std::size_t trailer) {
  Bytes b(name.begin(), name.end());
  b.push_back(0);
  for (std::size_t i = 0; i < trailer; ++i) b.push_back(i == 0 ? 0 : i == 1 ? 2 : 0xAB);
  return b;
}

Bytes Directory(std::uint32_t count, const std::vector<Bytes>& records) {
  Bytes b;
  PutU32(b, count);
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  return b;
}

// Reads `bytes` as a serialised directory.
bool ReadDirectory(CRepertoire& dir, Bytes bytes) {
  CMemoryStream stream;
  std::uint8_t dummy = 0;
  if (!stream.bAssociate(bytes.empty() ? &dummy : bytes.data(), static_cast<std::uint32_t>(bytes.size())))
    return false;
  if (!stream.bOpen(L"dir", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) return false;
  return dir.bLit(&stream);
}

// Writes the directory; its result and the bytes written.
int WriteDirectory(const CRepertoire& dir, Bytes* out) {
  CMemoryStream stream;
  EXPECT_TRUE(stream.bOpen(L"dir", XACCESS_READWRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
  const int result = dir.eEcrit(&stream);
  const auto* p = static_cast<const std::uint8_t*>(stream.pGetAddress());
  out->assign(p, p + stream.oGetSize());
  return result;
}

bool SameTime(const CDiskFile::_stXFILETIME& a, const CDiskFile::_stXFILETIME& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool Add(CRepertoire& dir, const wchar_t* name, std::int64_t size, std::int64_t packed, int crypt = 0,
         const wchar_t* password = nullptr) {
  return dir.bAjouteEntree(L"", name, size, packed, kT1, kT2, kT3, 0x81A4, crypt, password);
}

TEST_F(RepertoireTest, WrittenDirectoryReadsBackFieldForField) {
  const std::wstring longName(300, L'n');
  CRepertoire dir;
  ASSERT_TRUE(dir.bAjouteEntree(L"", L"a", 0x100000005LL, 3, kT1, kT2, kT3, 0x800081A4u, 1, L"pw"));
  ASSERT_TRUE(Add(dir, L"dir\\caf\u00e9.txt", 12, 10));
  ASSERT_TRUE(Add(dir, longName.c_str(), 1, 1, 1, L"\u65e5\u672c"));
  ASSERT_TRUE(Add(dir, L"empty/", 0, 0));

  Bytes bytes;
  ASSERT_EQ(WriteDirectory(dir, &bytes), 0);
  ASSERT_EQ(bytes.size(), dir.dwTaille());
  ASSERT_EQ(dir.dwTaille(), 4u + (1 + 59) + (12 + 59) + (260 + 59) + (6 + 59));

  // The first record, byte for byte.
  Bytes first;
  PutU32(first, 4);  // count
  PutU32(first, 60);
  PutU32(first, 5);  // low 32 bits of the size
  PutU32(first, 3);
  PutU64(first, kFileTimeT1);
  PutU64(first, kFileTimeT2);
  PutU64(first, kFileTimeT3);
  PutU32(first, 0x800081A4u);
  first.push_back('a');
  first.push_back(0);
  first.push_back(0);  // reserved
  first.push_back(2);  // kind
  const std::uint8_t md5pw[16] = {0x8f, 0xe4, 0xc1, 0x14, 0x51, 0x28, 0x1c, 0x09,
                                  0x4a, 0x65, 0x78, 0xe6, 0xdd, 0xbf, 0x5e, 0xed};
  first.insert(first.end(), md5pw, md5pw + 16);
  ASSERT_GE(bytes.size(), first.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + first.size()), first);
  // The "é" is one code page 1252 byte.
  EXPECT_EQ(bytes[64 + 40 + 7], 0xE9);

  CRepertoire back;
  ASSERT_TRUE(ReadDirectory(back, bytes));
  ASSERT_EQ(back.nGetNbTotal(), 4);
  EXPECT_EQ(back.nGetNbReels(), 3);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const CRepEntree* a = dir.pclGetEntree(i);
    const CRepEntree* b = back.pclGetEntree(i);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(a->pszNom(), b->pszNom());
    EXPECT_EQ(a->llTailleOriginale() & 0xFFFFFFFF, b->llTailleOriginale());
    EXPECT_EQ(a->llTailleCompresse(), b->llTailleCompresse());
    EXPECT_TRUE(SameTime(b->stCreation(), kT1));
    EXPECT_TRUE(SameTime(b->stModif(), kT2));
    EXPECT_TRUE(SameTime(b->stAcces(), kT3));
    EXPECT_EQ(a->dwAttributs(), b->dwAttributs());
    EXPECT_EQ(a->bCrypte(), b->bCrypte());
    EXPECT_EQ(a->byTypeCryptage(), b->byTypeCryptage());
    EXPECT_EQ(std::memcmp(a->pbyEmpreinte(), b->pbyEmpreinte(), 16), 0);
  }
  EXPECT_EQ(std::wcslen(back.pclGetEntree(2)->pszNom()), 260u);
  EXPECT_TRUE(back.pclGetEntree(2)->bMdpOK(L"\u65e5\u672c"));
  EXPECT_EQ(back.lRang(L"DIR\\CAF\u00e9.TXT"), 1);

  // The same bytes again from what was read.
  Bytes again;
  ASSERT_EQ(WriteDirectory(back, &again), 0);
  EXPECT_EQ(again, bytes);
}

TEST_F(RepertoireTest, NameOutsideCodePage1252IsNotWritten) {
  CRepertoire dir;
  ASSERT_TRUE(Add(dir, L"ok", 1, 1));
  ASSERT_TRUE(Add(dir, L"\u65e5\u672c.txt", 1, 1));
  Bytes bytes;
  EXPECT_EQ(WriteDirectory(dir, &bytes), 1);
  // The count and the first record, nothing of the refused one.
  EXPECT_EQ(bytes.size(), 4u + 2 + 59);
}

TEST_F(RepertoireTest, HostileRecordsAreRefused) {
  const std::string name1024(1024, 'x');
  struct Case {
    const char* label;
    Bytes bytes;
    bool ok;
    int entries;  // read before the end
    const wchar_t* firstName;
  };
  const Case cases[] = {
      {"no count", Bytes{1, 0}, false, 0, nullptr},
      {"empty directory", Directory(0, {}), true, 0, nullptr},
      {"length 10", Directory(1, {Record(10, NameAndTrailer("a", 18))}), false, 0, nullptr},
      {"length 39", Directory(1, {Record(39, NameAndTrailer("a", 18))}), false, 0, nullptr},
      {"length 0x7fffffff", Directory(1, {Record(0x7fffffff, NameAndTrailer("a", 18))}), false, 0, nullptr},
      {"length 40 + 1024 + 20", Directory(1, {Record(1084, NameAndTrailer(name1024 + "y", 18))}), false, 0,
       nullptr},
      {"length 40 + 1024 + 19", Directory(1, {Record(1083, NameAndTrailer(name1024, 18))}), true, 1, nullptr},
      {"trailer 17 bytes", Directory(1, {Record(40 + 1 + 1 + 17, NameAndTrailer("a", 17))}), false, 0, nullptr},
      {"trailer 19 bytes", Directory(1, {Record(40 + 1 + 1 + 19, NameAndTrailer("a", 19))}), false, 0, nullptr},
      {"no zero byte: all name", Directory(1, {Record(43, Bytes{'a', 'b', 'c'})}), true, 1, L"abc"},
      {"length 40: empty name", Directory(1, {Record(40, Bytes{})}), true, 1, L""},
      {"record cut short", Directory(1, {Record(60, Bytes{'a', 0, 0})}), false, 0, nullptr},
      {"count above the records", Directory(3, {Record(60, NameAndTrailer("a", 18))}), false, 1, L"a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CRepertoire dir;
    EXPECT_EQ(ReadDirectory(dir, c.bytes), c.ok);
    EXPECT_EQ(dir.nGetNbTotal(), c.entries);
    if (c.firstName != nullptr) {
      ASSERT_NE(dir.pclGetEntree(0), nullptr);
      EXPECT_STREQ(dir.pclGetEntree(0)->pszNom(), c.firstName);
      EXPECT_EQ(dir.lRang(c.firstName), 0);
    }
  }
  // The longest record's name is cut to 260 characters; its trailer is read.
  CRepertoire dir;
  ASSERT_TRUE(ReadDirectory(dir, Directory(1, {Record(1083, NameAndTrailer(name1024, 18))})));
  EXPECT_EQ(std::wcslen(dir.pclGetEntree(0)->pszNom()), 260u);
  EXPECT_TRUE(dir.pclGetEntree(0)->bCrypte());
  EXPECT_EQ(dir.pclGetEntree(0)->pbyEmpreinte()[15], 0xAB);
}

TEST_F(RepertoireTest, LookupIgnoresCaseAndSurvivesGrowthAndChanges) {
  CRepertoire dir;
  ASSERT_TRUE(Add(dir, L"lib\\x.so", 1, 1));
  ASSERT_TRUE(Add(dir, L"Lib.so", 1, 1));
  ASSERT_TRUE(Add(dir, L"lib.so", 2, 2));
  EXPECT_EQ(dir.lRang(L"Lib\\X.so"), 0);
  EXPECT_EQ(dir.lRang(L"lib/x.so"), -1);
  EXPECT_EQ(dir.lRang(L"LIB.SO"), 2);  // of two equal names, the later
  EXPECT_FALSE(dir.bTrouve(L"missing"));

  // Past the table's first block every key must still point at live names.
  for (int i = 0; i < 2500; ++i) {
    const std::wstring name = L"f" + std::to_wstring(i);
    ASSERT_TRUE(Add(dir, name.c_str(), 1, 1));
  }
  EXPECT_EQ(dir.lRang(L"LIB\\X.SO"), 0);
  EXPECT_EQ(dir.lRang(L"F0"), 3);
  EXPECT_EQ(dir.lRang(L"f2499"), 2502);
  EXPECT_EQ(dir.nGetNbTotal(), 2503);

  // Renaming one of two names equal but for case keeps the other found.
  ASSERT_TRUE(dir.bChangeChemin(2, L"other.so"));
  EXPECT_EQ(dir.lRang(L"lib.so"), 1);
  EXPECT_EQ(dir.lRang(L"OTHER.so"), 2);
  EXPECT_FALSE(dir.bChangeChemin(2503, L"x"));

  dir.SupprimeElement(0);
  EXPECT_EQ(dir.lRang(L"lib\\x.so"), -1);
  EXPECT_EQ(dir.lRang(L"other.so"), 1);
  EXPECT_EQ(dir.lRang(L"f2499"), 2501);
  EXPECT_EQ(dir.nGetNbTotal(), 2502);

  dir.Vide();
  EXPECT_EQ(dir.nGetNbTotal(), 0);
  EXPECT_EQ(dir.lRang(L"other.so"), -1);
  EXPECT_EQ(dir.dwTaille(), 4u);
}

TEST_F(RepertoireTest, PasswordDigest) {
  struct Case {
    const char* label;
    int crypt;
    const wchar_t* set;
    const wchar_t* tried;
    bool ok;
  };
  const Case cases[] = {
      {"same password", 1, L"s\u00e9same", L"s\u00e9same", true},
      {"other password", 1, L"s\u00e9same", L"S\u00e9same", false},
      {"no password tried", 1, L"s\u00e9same", nullptr, false},
      {"outside 1252, same", 1, L"\u65e5\u672c", L"\u65e5\u672c", true},
      {"outside 1252, other", 1, L"\u65e5\u672c", L"\u65e5", false},
      {"null password digests no bytes", 1, nullptr, L"", true},
      {"not encrypted", 0, L"pw", L"pw", false},
      {"not encrypted, empty", 0, nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CRepEntree entry;
    entry.SetCrypte(c.crypt, 2, c.set);
    EXPECT_EQ(entry.bMdpOK(c.tried), c.ok);
    EXPECT_EQ(entry.byTypeCryptage(), c.crypt ? 2 : 0);
  }
  // The digest is MD5 of the code page 1252 bytes.
  CRepEntree entry;
  entry.SetCrypte(1, 2, L"caf\u00e9");
  const std::uint8_t md5[16] = {0x96, 0x1f, 0x50, 0xf6, 0x28, 0x22, 0x39, 0xd0,
                                0x9e, 0x48, 0xf8, 0x12, 0xc1, 0xca, 0x72, 0x76};
  EXPECT_EQ(std::memcmp(entry.pbyEmpreinte(), md5, 16), 0);
}

TEST_F(RepertoireTest, PlaceholdersMoveToTheEndAndCountsFollow) {
  CRepertoire dir;
  ASSERT_TRUE(dir.bCreeEntree(L"", 0, 0, 0, 0, nullptr));  // placeholder, first: never moved
  ASSERT_TRUE(Add(dir, L"a/", 0, 0));       // placeholder
  ASSERT_TRUE(Add(dir, L"x", 3, 3));
  ASSERT_TRUE(Add(dir, L"b/", 0, 0));       // placeholder
  ASSERT_TRUE(Add(dir, L"c/", 4, 4));       // has data: a real entry
  ASSERT_TRUE(Add(dir, L"y", 0, 0));        // empty file: a real entry
  EXPECT_EQ(dir.nGetNbTotal(), 6);
  EXPECT_EQ(dir.nGetNbReels(), 3);
  EXPECT_EQ(dir.dwTaille(), 4u + 6 * 59 + 0 + 2 + 1 + 2 + 2 + 1);

  dir.ForceRepVideAlaFin();
  const wchar_t* const expected[] = {L"", L"x", L"c/", L"y", L"b/", L"a/"};
  ASSERT_EQ(dir.nGetNbTotal(), 6);
  EXPECT_EQ(dir.nGetNbReels(), 3);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(dir.pclGetEntree(i)->pszNom(), expected[i]);
    EXPECT_EQ(dir.lRang(expected[i]), i);
  }

  // bCreeEntree: times are now, sizes in their order.
  CRepertoire made;
  const std::time_t before = std::time(nullptr);
  ASSERT_TRUE(made.bCreeEntree(L"new", 5, 9, 0, 1, L"pw"));
  const CRepEntree* e = made.pclGetEntree(0);
  EXPECT_EQ(e->llTailleCompresse(), 5);
  EXPECT_EQ(e->llTailleOriginale(), 9);
  EXPECT_TRUE(e->bMdpOK(L"pw"));
  struct tm tmNow;
  gmtime_r(&before, &tmNow);
  EXPECT_EQ(e->stModif().wYear, tmNow.tm_year + 1900);
  EXPECT_EQ(e->stModif().wMilliseconds, 0);
}

TEST_F(RepertoireTest, EntriesMadeFromFilesOnDisk) {
  char tmpl[] = "/tmp/kx-repertoire-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dirPath = tmpl;
  const std::string filePath = dirPath + "/f.bin";
  FILE* f = std::fopen(filePath.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("eleven byte", f);
  std::fclose(f);
  struct utimbuf times = {1577934245 + 60, 1577934245};  // access T1 + 1 min, modification T1
  ASSERT_EQ(utime(filePath.c_str(), &times), 0);
  const std::wstring wide(filePath.begin(), filePath.end());
  const std::wstring missing = wide + L".missing";

  CRepertoire dir;
  // Both sizes 0 and the folder equal to the name (case ignored): from disk.
  ASSERT_TRUE(dir.bAjouteEntree(wide.c_str(), wide.c_str(), 0, 0, kT2, kT2, kT2, 0, 1, L"pw"));
  const CRepEntree* e = dir.pclGetEntree(0);
  EXPECT_STREQ(e->pszNom(), wide.c_str());
  EXPECT_EQ(e->dwAttributs() & 0xF000u, 0x8000u);
  EXPECT_TRUE(SameTime(e->stModif(), kT1));
  EXPECT_EQ(e->stAcces().wMinute, kT1.wMinute + 1);
  EXPECT_EQ(e->llTailleOriginale(), 0);
  EXPECT_TRUE(e->bMdpOK(L"pw"));
  EXPECT_FALSE(dir.bAjouteEntree(missing.c_str(), missing.c_str(), 0, 0, kT2, kT2, kT2, 0, 0, nullptr));
  EXPECT_EQ(dir.nGetNbTotal(), 1);

  // With a size: the file's size, and the compressed size is the flag.
  ASSERT_TRUE(dir.bAjouteEntree(wide.c_str(), L"f.bin", 1, 0, nullptr));
  EXPECT_EQ(dir.pclGetEntree(1)->llTailleOriginale(), 11);
  EXPECT_EQ(dir.pclGetEntree(1)->llTailleCompresse(), 1);
  EXPECT_EQ(dir.lRang(L"F.BIN"), 1);
  CRepEntree none;
  EXPECT_FALSE(none.bConstruit(missing.c_str(), L"m", 1));
  EXPECT_EQ(none.stModif().wYear, 0);

  std::remove(filePath.c_str());
  rmdir(dirPath.c_str());
}

}  // namespace
