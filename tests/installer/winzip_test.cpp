// The ZIP engine: archives made at test time with zip and python's zipfile,
// some then altered byte by byte, read through a memory stream or a disk
// file. Covers the end-record search, stubs, ZIP64 (records and extra
// blocks), name conversion, the local header check, stored and deflated
// data with CRC-32, the traditional encryption, split archives, lookups,
// the guards against hostile headers, and a mutation loop.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "CDiskFile.h"
#include "CInformationDLL.h"
#include "CMemoryStream.h"
#include "CStrMemAlloc.h"
#include "CWinZip.h"
#include "support/ZipMaker.h"

using zipmaker::nGetU16;
using zipmaker::nGetU32;
using zipmaker::SetU16;
using zipmaker::SetU32;
using zipmaker::ZipMakerDir;

namespace {

constexpr unsigned kSigLocal = 0x04034b50;
constexpr unsigned kSigCentral = 0x02014b50;
constexpr unsigned kSigEnd = 0x06054b50;

// The shared strings of the name index need the string allocator; the
// engine is made after the guard and gone before it.
class AllocatorGuard {
 public:
  AllocatorGuard() : m_piSaved(CInformationModule::ms_piStrMemAlloc) {
    if (m_piSaved == nullptr) CInformationModule::ms_piStrMemAlloc = CStrMemAlloc::s_pclInit();
  }
  ~AllocatorGuard() {
    if (m_piSaved == nullptr) {
      CStrMemAlloc::s_Term();
      CInformationModule::ms_piStrMemAlloc = nullptr;
    }
  }

 private:
  IStrMemAlloc* m_piSaved;
};

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Compressible text of n bytes.
std::string Text(std::size_t n, unsigned seed) {
  std::string s;
  std::mt19937 rng(seed);
  while (s.size() < n) s += "line " + std::to_string(rng() % 1000) + " of the sample text\n";
  s.resize(n);
  return s;
}

std::string Random(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  std::mt19937 rng(seed);
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// One entry read back.
struct Read {
  int nOpen = -1;
  bool bRead = false;
  int nClose = -1;
  std::string data;
};

// An engine over archive bytes held in memory.
class MemZip {
 public:
  explicit MemZip(std::string bytes) : m_bytes(std::move(bytes)) {}
  int Open(const wchar_t* pszPassword = nullptr) {
    m_stream.Close();
    if (!m_stream.bAssociate(m_bytes.empty() ? nullptr : &m_bytes[0],
                             static_cast<std::uint32_t>(m_bytes.size())) ||
        !m_stream.bOpen(L"mem.zip", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr))
      return -1;
    m_zip.SetStream(&m_stream);
    const int n = m_zip.OuvreZip(L"mem.zip", 0);
    if (pszPassword != nullptr) m_zip.bSetPassword(pszPassword);
    return n;
  }
  // The current entry, read in blocks of nBlock bytes (at most nLimit).
  Read ReadCurrent(unsigned nBlock = 7000, std::size_t nLimit = 1u << 26) {
    Read r;
    r.nOpen = m_zip.OpenCurrentFileInZip();
    if (r.nOpen != 0) return r;
    std::vector<char> buffer(nBlock);
    r.bRead = true;
    for (;;) {
      unsigned n = 0;
      if (!m_zip.bReadCurrentFileInZip(buffer.data(), nBlock, &n)) {
        r.bRead = false;
        break;
      }
      if (n == 0 || r.data.size() > nLimit) break;
      r.data.append(buffer.data(), n);
    }
    r.nClose = m_zip.CloseCurrentFileInZip(1);
    return r;
  }
  Read ReadNamed(const std::string& name) {
    if (m_zip.LocateFile(W(name).c_str(), 1) != 0) return Read();
    return ReadCurrent();
  }
  std::vector<std::wstring> Names() {
    std::vector<std::wstring> v;
    for (int n = m_zip.FirstFile(); n == 0; n = m_zip.NextFile(0)) v.push_back(m_zip.pstGetCurrentFile()->szName);
    return v;
  }
  CWinZip& zip() { return m_zip; }
  std::string& bytes() { return m_bytes; }

 private:
  AllocatorGuard m_guard;
  std::string m_bytes;
  CMemoryStream m_stream;
  CWinZip m_zip;
};

// Offsets of the central and local headers of the entry named `name`.
struct Headers {
  std::size_t central = std::string::npos;
  std::size_t local = std::string::npos;
};
Headers FindHeaders(const std::string& zip, const std::string& name) {
  Headers h;
  for (std::size_t c : zipmaker::FindSignatures(zip, kSigCentral)) {
    const unsigned nName = nGetU16(zip, c + 28);
    if (c + 46 + nName <= zip.size() && zip.compare(c + 46, nName, name) == 0) {
      h.central = c;
      h.local = nGetU32(zip, c + 42);
    }
  }
  return h;
}

// Start of the entry's data (after the local name and extra).
std::size_t DataStart(const std::string& zip, const Headers& h) {
  return h.local + 30 + nGetU16(zip, h.local + 26) + nGetU16(zip, h.local + 28);
}

// Offset of the extra block `tag` in the extra field at `start` of
// `length` bytes; npos when absent.
std::size_t FindExtraBlock(const std::string& zip, std::size_t start, unsigned length, unsigned tag) {
  for (std::size_t p = start; p + 4 <= start + length; p += 4 + nGetU16(zip, p + 2))
    if (nGetU16(zip, p) == tag) return p;
  return std::string::npos;
}

// ---- Reader table ------------------------------------------------------------

struct ArchiveCase {
  const char* label;
  // Makes the archive in the directory and returns its bytes (empty: setup
  // failed).
  std::function<std::string(const ZipMakerDir&)> make;
  int nOpen;  // OuvreZip's result
  // Entries that must read back: name -> content (checked when nOpen is 0).
  std::vector<std::pair<std::string, std::string>> entries;
};

std::string MakeWithZip(const ZipMakerDir& d, const std::string& options,
                        const std::vector<std::pair<std::string, std::string>>& files) {
  std::string names;
  for (const auto& f : files) {
    if (!d.bWrite(f.first, f.second)) return "";
    names += " " + zipmaker::sQuote(f.first);
  }
  if (d.nZip(options + " a.zip" + names) != 0) return "";
  return d.sRead("a.zip");
}

// A python script writing sys.argv[1] with zipfile; `body` uses z.
std::string MakeWithPython(const ZipMakerDir& d, const std::string& body) {
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n" +
      body + "\nz.close()\n";
  if (d.nPython(script, {"p.zip"}) != 0) return "";
  return d.sRead("p.zip");
}

const std::string kSmall = "small text\n";
const std::string kText = Text(100000, 1);
const std::string kRandom = Random(40000, 2);

std::string WithComment(const ZipMakerDir& d, unsigned n) {
  return MakeWithPython(d, "z.writestr('c.txt', 'with comment')\nz.comment = b'k' * " +
                               std::to_string(n));
}

// Sets the u64 at `field` of the ZIP64 end record (empty stays empty).
std::string WithZip64Field(std::string a, std::size_t field, std::uint64_t value) {
  const std::size_t r = zipmaker::nFindLastSignature(a, 0x06064b50);
  if (a.empty() || r == std::string::npos) return std::string();
  SetU32(a, r + field, static_cast<unsigned>(value));
  SetU32(a, r + field + 4, static_cast<unsigned>(value >> 32));
  return a;
}

const std::vector<ArchiveCase>& Cases() {
  static const std::vector<ArchiveCase> v = {
      {"stored",
       [](const ZipMakerDir& d) {
         return MakeWithZip(d, "-0", {{"s.txt", kSmall}, {"t.txt", kText}, {"r.bin", kRandom}, {"e.txt", ""}});
       },
       0,
       {{"s.txt", kSmall}, {"t.txt", kText}, {"r.bin", kRandom}, {"e.txt", ""}}},
      {"deflated",
       [](const ZipMakerDir& d) {
         return MakeWithZip(d, "-9", {{"t.txt", kText}, {"r.bin", kRandom}, {"sub/s.txt", kSmall}});
       },
       0,
       {{"t.txt", kText}, {"r.bin", kRandom}, {"sub/s.txt", kSmall}}},
      // Comments put the signature on both sides of a 1024-byte window
      // boundary, as far back as the search reaches, and one byte beyond.
      {"comment 1001", [](const ZipMakerDir& d) { return WithComment(d, 1001); }, 0, {{"c.txt", "with comment"}}},
      {"comment 1003", [](const ZipMakerDir& d) { return WithComment(d, 1003); }, 0, {{"c.txt", "with comment"}}},
      {"comment 1004", [](const ZipMakerDir& d) { return WithComment(d, 1004); }, 0, {{"c.txt", "with comment"}}},
      {"comment 1005", [](const ZipMakerDir& d) { return WithComment(d, 1005); }, 0, {{"c.txt", "with comment"}}},
      {"comment 65000", [](const ZipMakerDir& d) { return WithComment(d, 65000); }, 0, {{"c.txt", "with comment"}}},
      {"comment 65513 (last reached)", [](const ZipMakerDir& d) { return WithComment(d, 65513); }, 0,
       {{"c.txt", "with comment"}}},
      {"comment 65514 (end record out of reach)", [](const ZipMakerDir& d) { return WithComment(d, 65514); }, 3,
       {}},
      {"stub before the archive",
       [](const ZipMakerDir& d) {
         const std::string a = MakeWithZip(d, "-9", {{"t.txt", kText}, {"s.txt", kSmall}});
         return a.empty() ? a : Random(5000, 3) + a;
       },
       0,
       {{"t.txt", kText}, {"s.txt", kSmall}}},
      {"zip -fz (ZIP64 block after other blocks)",
       [](const ZipMakerDir& d) { return MakeWithZip(d, "-fz", {{"t.txt", kText}, {"r.bin", kRandom}}); },
       0,
       {{"t.txt", kText}, {"r.bin", kRandom}}},
      {"zip -fz stored",
       [](const ZipMakerDir& d) { return MakeWithZip(d, "-fz -0", {{"s.txt", kSmall}, {"r.bin", kRandom}}); },
       0,
       {{"s.txt", kSmall}, {"r.bin", kRandom}}},
      {"stub before a zip -fz archive",
       [](const ZipMakerDir& d) {
         const std::string a = MakeWithZip(d, "-fz", {{"t.txt", kText}, {"s.txt", kSmall}});
         return a.empty() ? a : Random(4000, 6) + a;
       },
       0,
       {{"t.txt", kText}, {"s.txt", kSmall}}},
      {"python force_zip64",
       [](const ZipMakerDir& d) {
         return MakeWithPython(d,
                               "with z.open('t.txt', 'w', force_zip64=True) as f: f.write(b'x' * 70000)\n"
                               "with z.open('s.txt', 'w', force_zip64=True) as f: f.write(b'small text\\n')");
       },
       0,
       {{"t.txt", std::string(70000, 'x')}, {"s.txt", kSmall}}},
      // ZIP64 end-record values that do not fit: an offset that wraps, a
      // record size beyond its position, and a count no directory holds
      // (the table grows only with the headers really read).
      {"ZIP64 directory offset wraps",
       [](const ZipMakerDir& d) { return WithZip64Field(MakeWithZip(d, "-fz", {{"s.txt", kSmall}}), 48, ~0ull - 8); },
       3,
       {}},
      {"ZIP64 record size beyond its position",
       [](const ZipMakerDir& d) { return WithZip64Field(MakeWithZip(d, "-fz", {{"s.txt", kSmall}}), 4, 1ull << 62); },
       3,
       {}},
      {"ZIP64 count beyond the directory",
       [](const ZipMakerDir& d) {
         return WithZip64Field(MakeWithZip(d, "-fz", {{"s.txt", kSmall}}), 32, 0x7FFFFFFFFFFFFFFFull);
       },
       3,
       {}},
      {"empty archive", [](const ZipMakerDir& d) { return MakeWithPython(d, "pass"); }, 0, {}},
      {"not an archive", [](const ZipMakerDir&) { return Text(3000, 4); }, 3, {}},
      {"tiny file", [](const ZipMakerDir&) { return std::string("PK"); }, 3, {}},
      // The directory offset marked 0xFFFFFFFF but no locator before the
      // end record.
      {"offset 0xFFFFFFFF without locator",
       [](const ZipMakerDir& d) {
         std::string a = MakeWithZip(d, "-0", {{"s.txt", kSmall}});
         if (!a.empty()) SetU32(a, zipmaker::nFindLastSignature(a, kSigEnd) + 16, 0xFFFFFFFF);
         return a;
       },
       3,
       {}},
  };
  return v;
}

TEST(WinZipReader, ArchiveTable) {
  for (const ArchiveCase& c : Cases()) {
    SCOPED_TRACE(c.label);
    ZipMakerDir d;
    std::string bytes = c.make(d);
    ASSERT_FALSE(bytes.empty()) << "archive not made";
    MemZip z(bytes);
    ASSERT_EQ(z.Open(), c.nOpen);
    if (c.nOpen != 0) continue;
    EXPECT_EQ(z.zip().nGetNbEntries(), static_cast<int>(c.entries.size()));
    for (const auto& e : c.entries) {
      SCOPED_TRACE(e.first);
      const Read r = z.ReadNamed(e.first);
      EXPECT_EQ(r.nOpen, 0);
      EXPECT_TRUE(r.bRead);
      EXPECT_EQ(r.nClose, 0);
      EXPECT_TRUE(r.data == e.second) << "content differs, " << r.data.size() << " bytes read";
      // The declared sizes, not only the data: a size left at 0xFFFFFFFF
      // reads the same bytes but skips the CRC check.
      ASSERT_NE(z.zip().pstGetCurrentFile(), nullptr);
      EXPECT_EQ(z.zip().pstGetCurrentFile()->llUncompressedSize, e.second.size());
    }
  }
}

TEST(WinZipReader, CommentAndStubValues) {
  ZipMakerDir d;
  const std::string a = MakeWithPython(d, "z.writestr('c.txt', 'x')\nz.comment = b'caf\\xe9 ' * 5");
  ASSERT_FALSE(a.empty());
  MemZip z(Random(777, 5) + a);
  ASSERT_EQ(z.Open(), 0);
  EXPECT_STREQ(z.zip().pszGetComment(), L"café café café café café ");
  EXPECT_EQ(z.zip().llGetBaseOffset(), 777u);
}

// A memory stream that counts what it is asked to read.
class CountingStream : public CMemoryStream {
 public:
  using CMemoryStream::bRead;
  bool bRead(void* buffer, unsigned n, unsigned* pnRead) override {
    ++nReads;
    nLargest = n > nLargest ? n : nLargest;
    nTotal += n;
    return CMemoryStream::bRead(buffer, n, pnRead);
  }
  unsigned nReads = 0;
  unsigned nLargest = 0;
  std::uint64_t nTotal = 0;
};

// Without an end record the search reads the last 65,535 bytes in windows
// of at most 1028 bytes, each overlapping the next by 4, and no more.
TEST(WinZipReader, EndRecordSearchWindows) {
  AllocatorGuard guard;
  std::string bytes = Random(200000, 41);
  for (std::size_t p = 0; p + 4 <= bytes.size(); ++p)
    if (nGetU32(bytes, p) == kSigEnd) bytes[p] = 'x';
  // A signature just beyond the reach is not seen.
  SetU32(bytes, bytes.size() - 65535 - 1, kSigEnd);
  CountingStream stream;
  ASSERT_TRUE(stream.bAssociate(&bytes[0], static_cast<std::uint32_t>(bytes.size())));
  ASSERT_TRUE(stream.bOpen(L"m", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  CWinZip z;
  z.SetStream(&stream);
  EXPECT_EQ(z.OuvreZip(L"m", 0), CWinZip::knNotZip);
  EXPECT_LE(stream.nLargest, 1028u);
  EXPECT_EQ(stream.nReads, 64u) << "65,535 bytes in 1024-byte steps";
  EXPECT_EQ(stream.nTotal, 65535u + 63 * 4);
}

// Reading in blocks of every size gives the same bytes: the block size and
// the 16 KiB input buffer never line up.
TEST(WinZipReader, BlockSizesDoNotMatter) {
  ZipMakerDir d;
  MemZip z(MakeWithZip(d, "-6", {{"t.txt", kText}, {"r.bin", kRandom}}));
  ASSERT_EQ(z.Open(), 0);
  for (unsigned nBlock : {1u, 3u, 4096u, 16384u, 16385u, 1u << 20}) {
    for (const char* name : {"t.txt", "r.bin"}) {
      ASSERT_EQ(z.zip().LocateFile(W(name).c_str(), 1), 0);
      const Read r = z.ReadCurrent(nBlock);
      EXPECT_EQ(r.nClose, 0) << name << " block " << nBlock;
      EXPECT_TRUE(r.data == (std::string(name) == "t.txt" ? kText : kRandom)) << name << " block " << nBlock;
    }
  }
}

// Entry fields from the central header; times are local times.
TEST(WinZipReader, EntryFields) {
  const char* pszTz = getenv("TZ");
  const std::string sSavedTz = pszTz != nullptr ? pszTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  ZipMakerDir d;
  ASSERT_TRUE(d.bWrite("dir/f.txt", kText));
  ASSERT_EQ(d.nShell("touch -d '2021-03-04 05:06:08' dir/f.txt"), 0);
  ASSERT_EQ(d.nZip("-9 a.zip dir/f.txt"), 0);
  MemZip z(d.sRead("a.zip"));
  ASSERT_EQ(z.Open(), 0);
  ASSERT_EQ(z.zip().LocateFile(L"dir\\f.txt", 0), 0);
  const _stFICZIP* p = z.zip().pstGetCurrentFile();
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->szName, L"dir/f.txt");
  EXPECT_STREQ(z.zip().CurrentFile_szName(), L"dir\\f.txt");
  EXPECT_EQ(p->nAnnee, 2021);
  EXPECT_EQ(p->nMois, 3);
  EXPECT_EQ(p->nJour, 4);
  EXPECT_EQ(p->nHeure, 5);
  EXPECT_EQ(p->nMinute, 6);
  EXPECT_EQ(p->nSeconde, 8);
  EXPECT_EQ(p->wMethod, 8);
  EXPECT_EQ(p->llUncompressedSize, kText.size());
  EXPECT_EQ(p->wVersionMadeBy >> 8, 3) << "made on Unix: attributes as stored";
  EXPECT_EQ(p->dwExternalAttributes >> 16 & 0xF000, 0x8000u) << "regular file mode";
  if (pszTz != nullptr)
    setenv("TZ", sSavedTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

// ---- Altered archives ----------------------------------------------------------

struct AlterCase {
  const char* label;
  const char* name;  // the entry altered (and then read)
  // Alters the archive bytes given the entry's headers.
  std::function<void(std::string&, const Headers&)> alter;
  int nOpenZip;    // OuvreZip's result
  int nOpenEntry;  // OpenCurrentFileInZip's result (when the archive opens)
  int nClose;      // CloseCurrentFileInZip's result (when the entry opens)
};

TEST(WinZipReader, AlteredHeaders) {
  ZipMakerDir d;
  const std::string base = MakeWithZip(d, "-0", {{"X.txt", kSmall}, {"t.txt", kText}});
  ASSERT_FALSE(base.empty());
  ZipMakerDir d64;
  const std::string z64 = MakeWithZip(d64, "-0 -fz", {{"X.txt", kSmall}});
  ASSERT_FALSE(z64.empty());

  const std::vector<AlterCase> cases = {
      {"method 12", "X.txt",
       [](std::string& a, const Headers& h) {
         SetU16(a, h.central + 10, 12);
         SetU16(a, h.local + 8, 12);
       },
       0, 3, -1},
      {"local method differs", "X.txt", [](std::string& a, const Headers& h) { SetU16(a, h.local + 8, 8); }, 0,
       3, -1},
      {"stored byte changed", "X.txt", [](std::string& a, const Headers& h) { a[DataStart(a, h) + 2] ^= 1; },
       0, 0, 13},
      {"local name differs in case only", "X.txt", [](std::string& a, const Headers& h) { a[h.local + 30] = 'x'; },
       0, 0, 0},
      {"local name differs", "X.txt", [](std::string& a, const Headers& h) { a[h.local + 30] = 'Y'; }, 0, 3, -1},
      {"local CRC differs", "X.txt", [](std::string& a, const Headers& h) { a[h.local + 14] ^= 1; }, 0, 3, -1},
      {"local size differs", "X.txt", [](std::string& a, const Headers& h) { a[h.local + 22] ^= 1; }, 0, 3, -1},
      {"local signature broken", "X.txt", [](std::string& a, const Headers& h) { a[h.local] = 'Q'; }, 0, 3, -1},
      {"local offset past the end", "X.txt",
       [](std::string& a, const Headers& h) { SetU32(a, h.central + 42, 0x7FFFFF00); }, 0, 5, -1},
      // Name 0x82 without bit 11: code page 437's e acute.
      {"name byte 0x82, code page 437", "X.txt",
       [](std::string& a, const Headers& h) {
         a[h.central + 46] = '\x82';
         a[h.local + 30] = '\x82';
       },
       0, 0, 0},
      // The same byte with bit 11: not UTF-8, the header is unreadable.
      {"name byte 0x82 with bit 11", "X.txt",
       [](std::string& a, const Headers& h) {
         a[h.central + 46] = '\x82';
         SetU16(a, h.central + 8, nGetU16(a, h.central + 8) | 0x800);
       },
       3, -1, -1},
      {"NUL byte in the name", "X.txt", [](std::string& a, const Headers& h) { a[h.central + 47] = 0; }, 3, -1,
       -1},
      {"central signature broken", "X.txt", [](std::string& a, const Headers& h) { a[h.central + 1] = 0; }, 3,
       -1, -1},
  };
  const std::vector<AlterCase> z64cases = {
      // The ZIP64 block (after the time and owner blocks) claims more data
      // than the extra field holds.
      {"central ZIP64 block past the extra", "X.txt",
       [](std::string& a, const Headers& h) {
         const std::size_t x = FindExtraBlock(a, h.central + 46 + nGetU16(a, h.central + 28),
                                              nGetU16(a, h.central + 30), 1);
         ASSERT_NE(x, std::string::npos);
         ASSERT_GT(x, h.central + 46 + nGetU16(a, h.central + 28)) << "not the first block";
         SetU16(a, x + 2, nGetU16(a, x + 2) + 8);
       },
       3, -1, -1},
      {"local ZIP64 block past the extra", "X.txt",
       [](std::string& a, const Headers& h) {
         const std::size_t x = FindExtraBlock(a, h.local + 30 + nGetU16(a, h.local + 26), nGetU16(a, h.local + 28), 1);
         ASSERT_NE(x, std::string::npos);
         SetU16(a, x + 2, 200);
       },
       0, 3, -1},
      {"local ZIP64 block shorter than the sizes", "X.txt",
       [](std::string& a, const Headers& h) {
         const std::size_t x = FindExtraBlock(a, h.local + 30 + nGetU16(a, h.local + 26), nGetU16(a, h.local + 28), 1);
         ASSERT_NE(x, std::string::npos);
         SetU16(a, x, 0x9999);  // no tag-1 block any more: 0xFFFFFFFF stays the size
       },
       0, 3, -1},
      {"ZIP64 values as written", "X.txt", [](std::string&, const Headers&) {}, 0, 0, 0},
  };
  auto run = [](const std::string& source, const std::vector<AlterCase>& list) {
    for (const AlterCase& c : list) {
      SCOPED_TRACE(c.label);
      std::string a = source;
      const Headers h = FindHeaders(a, c.name);
      ASSERT_NE(h.central, std::string::npos);
      c.alter(a, h);
      MemZip z(a);
      ASSERT_EQ(z.Open(), c.nOpenZip);
      if (c.nOpenZip != 0) continue;
      ASSERT_EQ(z.zip().GoToEntry(0), 0);
      const Read r = z.ReadCurrent();
      EXPECT_EQ(r.nOpen, c.nOpenEntry);
      if (c.nOpenEntry == 0) {
        EXPECT_TRUE(r.bRead);
        EXPECT_EQ(r.nClose, c.nClose);
        EXPECT_EQ(r.data.size(), kSmall.size());
      }
    }
  };
  run(base, cases);
  run(z64, z64cases);
}

TEST(WinZipReader, NameConversion) {
  ZipMakerDir d;
  // Python writes a non-ASCII name as UTF-8 with bit 11.
  MemZip utf8(MakeWithPython(d, "z.writestr('\\u00e9t\\u00e9.txt', 'summer')"));
  ASSERT_EQ(utf8.Open(), 0);
  ASSERT_EQ(utf8.Names().size(), 1u);
  EXPECT_EQ(utf8.Names()[0], L"\u00e9t\u00e9.txt");
  ASSERT_EQ(utf8.zip().LocateFile(L"\u00e9T\u00e9.TXT", 0), 0);

  // Code page 437 without bit 11.
  std::string a = MakeWithZip(d, "-0", {{"X.txt", kSmall}});
  const Headers h = FindHeaders(a, "X.txt");
  a[h.central + 46] = '\x82';
  a[h.local + 30] = '\x82';
  MemZip oem(a);
  ASSERT_EQ(oem.Open(), 0);
  EXPECT_EQ(oem.Names(), std::vector<std::wstring>{L"\u00e9.txt"});

  // Names: 1023 bytes is the limit; 260 characters is the limit.
  for (const auto& c : std::vector<std::pair<std::string, int>>{
           {std::string(260, 'n'), 0}, {std::string(261, 'n'), 3}, {std::string(1100, 'n'), 3}}) {
    MemZip z(MakeWithPython(d, "z.writestr('" + c.first + "', 'x')"));
    EXPECT_EQ(z.Open(), c.second) << c.first.size() << "-byte name";
  }
  // 2-byte UTF-8 characters: 260 of them fit, in 520 bytes.
  MemZip wide(MakeWithPython(d, "z.writestr('\\u00e9' * 260, 'x')"));
  EXPECT_EQ(wide.Open(), 0);
}

// ---- Lookups -----------------------------------------------------------------

TEST(WinZipReader, Lookups) {
  ZipMakerDir d;
  MemZip z(MakeWithPython(d,
                          "z.writestr('Lib.so', 'first')\n"
                          "z.writestr('lib.so', 'second')\n"
                          "z.writestr('dir/file.txt', 'in dir')\n"
                          "for i in range(200): z.writestr('n%03d' % i, str(i))"));
  ASSERT_EQ(z.Open(), 0);
  ASSERT_EQ(z.zip().nGetNbEntries(), 203);
  struct LookupCase {
    const wchar_t* name;
    int bExact;
    int nResult;
    int nIndex;
  };
  const LookupCase cases[] = {
      {L"LIB.SO", 0, 0, 1},  // the later of two equal names
      {L"Lib.so", 1, 0, 1},  // the index answers first, whatever the case flag
      {L"dir\\file.txt", 0, 0, 2},
      {L"DIR/FILE.TXT", 1, 0, 2},
      {L"n000", 0, 0, 3},
      {L"N199", 0, 0, 202},
      {L"n200", 0, 5, -1},
      {L"", 0, 5, -1},
  };
  for (const LookupCase& c : cases) {
    z.zip().GoToEntry(0);
    EXPECT_EQ(z.zip().LocateFile(c.name, c.bExact), c.nResult) << c.name;
    if (c.nResult == 0) {
      EXPECT_EQ(z.zip().nGetCurrentIndex(), c.nIndex) << c.name;
    }
  }
  EXPECT_EQ(z.ReadNamed("lib.so").data, "second");
  // Each entry stays reachable by its index.
  ASSERT_EQ(z.zip().GoToEntry(0), 0);
  EXPECT_EQ(z.ReadCurrent().data, "first");
  EXPECT_EQ(z.zip().GoToEntry(203), CWinZip::knNoMoreEntry);
  EXPECT_EQ(z.zip().nGetCurrentIndex(), 0) << "an index out of range changes nothing";
  EXPECT_EQ(z.zip().GoToEntry(-1), CWinZip::knNoMoreEntry);

  // Walking the table, and its end.
  int nWalked = 0;
  for (int n = z.zip().FirstFile(); n == 0; n = z.zip().NextFile(0)) ++nWalked;
  EXPECT_EQ(nWalked, 203);
  EXPECT_EQ(z.zip().pstGetCurrentFile(), nullptr);
  EXPECT_STREQ(z.zip().CurrentFile_szName(), L"");
  EXPECT_EQ(z.zip().OpenCurrentFileInZip(), CWinZip::knNoCurrent);
}

// Without the string allocator the name index cannot hold its keys: lookups
// fall back to scanning the table.
TEST(WinZipReader, LookupsWithoutStringAllocator) {
  if (CInformationModule::ms_piStrMemAlloc != nullptr) GTEST_SKIP() << "an allocator is installed";
  ZipMakerDir d;
  std::string a = MakeWithZip(d, "-0", {{"dir/a.txt", "aaa"}, {"B.txt", "bbb"}});
  ASSERT_FALSE(a.empty());
  CMemoryStream stream;
  ASSERT_TRUE(stream.bAssociate(&a[0], static_cast<std::uint32_t>(a.size())));
  ASSERT_TRUE(stream.bOpen(L"m", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  CWinZip z;
  z.SetStream(&stream);
  ASSERT_EQ(z.OuvreZip(L"m", 0), 0);
  EXPECT_EQ(z.LocateFile(L"B.txt", 1), 0);
  EXPECT_EQ(z.nGetCurrentIndex(), 1);
  EXPECT_EQ(z.LocateFile(L"dir\\a.txt", 0), 0);
  EXPECT_EQ(z.nGetCurrentIndex(), 0);
  EXPECT_EQ(z.LocateFile(L"b.TXT", 1), CWinZip::knReadError) << "the scan compares exactly";
}

TEST(WinZipReader, SixtyFiveThousandEntries) {
  ZipMakerDir d;
  // Past 65,535 entries zipfile writes ZIP64 end records and clamped counts
  // but keeps the real directory offset.
  const std::string a =
      MakeWithPython(d, "for i in range(65536): z.writestr(zipfile.ZipInfo('e%05d' % i), b'')");
  ASSERT_FALSE(a.empty());
  {
    MemZip z(a);
    ASSERT_EQ(z.Open(), 0);
    EXPECT_EQ(z.zip().nGetNbEntries(), 65536);
    EXPECT_EQ(z.zip().llGetTotalEntries(), 65536u);
    ASSERT_EQ(z.zip().LocateFile(L"E65535", 0), 0);
    EXPECT_EQ(z.zip().nGetCurrentIndex(), 65535);
    EXPECT_EQ(z.ReadCurrent().nClose, 0);
    ASSERT_EQ(z.zip().LocateFile(L"e00000", 1), 0);
    EXPECT_EQ(z.zip().nGetCurrentIndex(), 0);
  }
  {
    // Behind a stub the locator's offset misses the ZIP64 record by the
    // stub's size; the record right before the locator is taken.
    MemZip z(Random(3000, 31) + a);
    ASSERT_EQ(z.Open(), 0);
    EXPECT_EQ(z.zip().nGetNbEntries(), 65536);
    EXPECT_EQ(z.zip().llGetBaseOffset(), 3000u);
  }
  {
    // The same without its ZIP64 records (56 + 20 bytes before the end
    // record): the counts say 0xFFFF, the directory holds every header.
    std::string b = a;
    const std::size_t e = zipmaker::nFindLastSignature(b, kSigEnd);
    ASSERT_GT(e, 76u);
    ASSERT_EQ(nGetU32(b, e - 20), 0x07064b50u);
    b.erase(e - 76, 76);
    MemZip z(b);
    ASSERT_EQ(z.Open(), 0);
    EXPECT_EQ(z.zip().nGetNbEntries(), 65536);
    // Exactly 65,535 entries with the plain count 0xFFFF: the last central
    // header goes, the directory shrinks by its size.
    const std::size_t last = zipmaker::nFindLastSignature(b, kSigCentral);
    const std::size_t lastSize = 46 + nGetU16(b, last + 28) + nGetU16(b, last + 30) + nGetU16(b, last + 32);
    b.erase(last, lastSize);
    const std::size_t e2 = zipmaker::nFindLastSignature(b, kSigEnd);
    SetU32(b, e2 + 12, static_cast<unsigned>(nGetU32(b, e2 + 12) - lastSize));
    MemZip exact(b);
    ASSERT_EQ(exact.Open(), 0);
    EXPECT_EQ(exact.zip().nGetNbEntries(), 65535);
  }
}

// ---- Passwords -----------------------------------------------------------------

TEST(WinZipReader, PasswordProtectedEntries) {
  ZipMakerDir d;
  const std::string a =
      MakeWithZip(d, "-P s3cret", {{"t.txt", kText}, {"r.bin", kRandom}, {"s.txt", kSmall}});
  ASSERT_FALSE(a.empty());
  MemZip z(a);
  ASSERT_EQ(z.Open(L"s3cret"), 0);
  EXPECT_STREQ(z.zip().pszGetPassword(), L"s3cret");
  for (const auto& e : std::vector<std::pair<std::string, std::string>>{
           {"t.txt", kText}, {"r.bin", kRandom}, {"s.txt", kSmall}}) {
    const Read r = z.ReadNamed(e.first);
    EXPECT_EQ(r.nOpen, 0) << e.first;
    EXPECT_EQ(r.nClose, 0) << e.first;
    EXPECT_TRUE(r.data == e.second) << e.first;
  }
  // A wrong password passes the check byte about once in 256 tries; it then
  // fails on the data. It never succeeds.
  std::set<int> seen;
  for (int i = 0; i < 600; ++i) {
    const std::wstring pw = L"wrong" + std::to_wstring(i);
    ASSERT_TRUE(z.zip().bSetPassword(pw.c_str()));
    ASSERT_EQ(z.zip().LocateFile(i % 2 == 0 ? L"t.txt" : L"r.bin", 1), 0);
    const Read r = z.ReadCurrent(65536);
    seen.insert(r.nOpen);
    if (r.nOpen == 0) {
      EXPECT_TRUE(!r.bRead || r.nClose == CWinZip::knCrcError) << "wrong password " << i << " succeeded";
    } else {
      EXPECT_EQ(r.nOpen, CWinZip::knBadPassword);
    }
  }
  EXPECT_TRUE(seen.count(CWinZip::knBadPassword));
  // An encrypted entry shorter than its 12-byte header.
  std::string b = a;
  const Headers h = FindHeaders(b, "s.txt");
  SetU32(b, h.central + 20, 5);
  MemZip shortened(b);
  ASSERT_EQ(shortened.Open(L"s3cret"), 0);
  ASSERT_EQ(shortened.zip().LocateFile(L"s.txt", 1), 0);
  EXPECT_EQ(shortened.zip().OpenCurrentFileInZip(), CWinZip::knNotZip);
}

TEST(WinZipReader, SetPassword) {
  AllocatorGuard guard;
  CWinZip z;
  EXPECT_TRUE(z.bSetPassword(L"abc"));
  EXPECT_STREQ(z.pszGetPassword(), L"abc");
  const wchar_t bad[] = {L'a', static_cast<wchar_t>(-5), 0};
  EXPECT_FALSE(z.bSetPassword(bad));
  EXPECT_STREQ(z.pszGetPassword(), L"");
  EXPECT_TRUE(z.bSetPassword(L"x"));
  EXPECT_TRUE(z.bSetPassword(nullptr));
  EXPECT_STREQ(z.pszGetPassword(), L"");
}

// Encryption checked against decryption and against unzip: an archive with
// one stored entry is written by hand, its data encrypted by the engine.
TEST(WinZipWriterSide, EncryptionRoundTrip) {
  AllocatorGuard guard;
  const std::string plain = Text(5000, 9);
  // The CRC the entry needs, from a stored archive zip makes.
  ZipMakerDir d;
  const std::string ref = MakeWithZip(d, "-0", {{"p.txt", plain}});
  ASSERT_FALSE(ref.empty());
  const std::uint32_t crc = nGetU32(ref, FindHeaders(ref, "p.txt").central + 16);

  CWinZip writer;
  ASSERT_TRUE(writer.bSetPassword(L"pa55w\u00f6rd"));
  unsigned char header[12];
  writer.CryptMakeHeader(header, crc);
  std::string data = plain;
  writer.CryptEncrypt(reinterpret_cast<unsigned char*>(&data[0]), static_cast<unsigned>(data.size()));
  EXPECT_NE(data, plain);

  // Back through the decryption.
  CWinZip reader;
  ASSERT_TRUE(reader.bSetPassword(L"pa55w\u00f6rd"));
  ASSERT_TRUE(reader.bCryptCheckHeader(header, static_cast<unsigned char>(crc >> 24)));
  std::string back = data;
  reader.CryptDecrypt(reinterpret_cast<unsigned char*>(&back[0]), static_cast<unsigned>(back.size()));
  EXPECT_TRUE(back == plain);
  // Another password does not give the text back.
  ASSERT_TRUE(reader.bSetPassword(L"pa55word"));
  reader.bCryptCheckHeader(header, static_cast<unsigned char>(crc >> 24));
  std::string other = data;
  reader.CryptDecrypt(reinterpret_cast<unsigned char*>(&other[0]), static_cast<unsigned>(other.size()));
  EXPECT_NE(other, plain);

  // The whole archive: local header, header + data, central header, end.
  const std::string name = "p.txt";
  const std::uint32_t nSize = static_cast<std::uint32_t>(plain.size());
  std::string local(30, '\0');
  SetU32(local, 0, kSigLocal);
  SetU16(local, 4, 20);
  SetU16(local, 6, 1);  // encrypted
  SetU32(local, 10, CWinZip::dwDosDateTime(2024, 5, 6, 7, 8, 10));
  SetU32(local, 14, crc);
  SetU32(local, 18, nSize + 12);
  SetU32(local, 22, nSize);
  SetU16(local, 26, static_cast<unsigned>(name.size()));
  std::string archive = local + name + std::string(reinterpret_cast<char*>(header), 12) + data;
  std::string central(46, '\0');
  SetU32(central, 0, kSigCentral);
  for (std::size_t i = 4; i < 30; ++i) central[i + 2] = local[i];
  SetU16(central, 4, 0x314);
  SetU32(central, 38, 0100644u << 16);
  const std::size_t nCentral = archive.size();
  archive += central + name;
  std::string end(22, '\0');
  SetU32(end, 0, kSigEnd);
  SetU16(end, 8, 1);
  SetU16(end, 10, 1);
  SetU32(end, 12, static_cast<unsigned>(46 + name.size()));
  SetU32(end, 16, static_cast<unsigned>(nCentral));
  archive += end;

  MemZip z(archive);
  ASSERT_EQ(z.Open(L"pa55w\u00f6rd"), 0);
  const Read r = z.ReadNamed("p.txt");
  EXPECT_EQ(r.nOpen, 0);
  EXPECT_EQ(r.nClose, 0);
  EXPECT_TRUE(r.data == plain);
  EXPECT_EQ(z.zip().pstGetCurrentFile()->nAnnee, 2024);
  EXPECT_EQ(z.zip().pstGetCurrentFile()->nMois, 6);

  // unzip reads it with the password's bytes (each character's low byte).
  ASSERT_TRUE(d.bWrite("h.zip", archive));
  std::string out;
  ASSERT_EQ(d.nShell("unzip -p -P $(printf 'pa55w\\366rd') h.zip p.txt", &out), 0);
  EXPECT_TRUE(out == plain);
}

// ---- Split archives ----------------------------------------------------------------

TEST(WinZipReader, SplitArchiveReadFromItsLastVolume) {
  ZipMakerDir d;
  ASSERT_TRUE(d.bWrite("r1.bin", Random(100000, 11)));
  ASSERT_TRUE(d.bWrite("r2.bin", Random(100000, 12)));
  ASSERT_TRUE(d.bWrite("s.txt", kSmall));
  ASSERT_EQ(d.nZip("-0 -s 64k a.zip r1.bin r2.bin s.txt"), 0);
  // Through a disk file, as the facade reads.
  AllocatorGuard guard;
  CDiskFile file;
  ASSERT_TRUE(file.bOpen(W(d.sPath("a.zip")).c_str(), XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE,
                         nullptr));
  CWinZip z;
  z.SetStream(&file);
  ASSERT_EQ(z.OuvreZip(W(d.sPath("a.zip")).c_str(), 0), 0);
  ASSERT_EQ(z.nGetNbEntries(), 3);
  ASSERT_GT(z.nGetCentralDirDisk(), 0u);
  int nOnLast = 0;
  int nElsewhere = 0;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(z.GoToEntry(i), 0);
    const _stFICZIP* p = z.pstGetCurrentFile();
    const int nOpen = z.OpenCurrentFileInZip();
    std::string data;
    bool bRead = nOpen == 0;
    while (bRead) {
      char buf[8192];
      unsigned n = 0;
      bRead = z.bReadCurrentFileInZip(buf, sizeof buf, &n);
      if (!bRead || n == 0) break;
      data.append(buf, n);
    }
    const int nClose = nOpen == 0 ? z.CloseCurrentFileInZip(1) : -1;
    if (p->dwDiskNumberStart == z.nGetCentralDirDisk()) {
      ++nOnLast;
      EXPECT_STREQ(z.CurrentFile_szExtZip(-1), L".zip");
      EXPECT_EQ(nOpen, 0);
      EXPECT_EQ(nClose, 0);
      EXPECT_TRUE(data == kSmall);
    } else {
      ++nElsewhere;
      wchar_t ext[8];
      swprintf(ext, 8, L".z%02u", p->dwDiskNumberStart + 1);
      EXPECT_STREQ(z.CurrentFile_szExtZip(-1), ext);
      EXPECT_FALSE(nOpen == 0 && bRead && nClose == 0) << "entry of another volume read with success";
    }
  }
  EXPECT_EQ(nOnLast, 1);
  EXPECT_EQ(nElsewhere, 2);
  EXPECT_STREQ(z.CurrentFile_szExtZip(0), L".z01");
  EXPECT_STREQ(z.CurrentFile_szExtZip(static_cast<int>(z.nGetCentralDirDisk())), L".zip");
  file.Close();

  EXPECT_TRUE(z.bFichierZip(W(d.sPath("a.zip")).c_str()));
  EXPECT_FALSE(z.bFichierZip(W(d.sPath("s.txt")).c_str()));
  EXPECT_FALSE(z.bFichierZip(W(d.sPath("missing.zip")).c_str()));
  EXPECT_EQ(z.nGetNbEntries(), 3) << "bFichierZip leaves the engine as it was";
}

// ---- Writer-side helpers ----------------------------------------------------------

TEST(WinZipWriterSide, DosDateTimes) {
  // 2026-12-10 17:30:58, month counted from 0.
  const std::uint32_t dw = CWinZip::dwDosDateTime(2026, 11, 10, 17, 30, 58);
  EXPECT_EQ(dw >> 25, 46u);
  EXPECT_EQ((dw >> 21) & 0xF, 12u);
  EXPECT_EQ((dw >> 16) & 0x1F, 10u);
  EXPECT_EQ((dw >> 11) & 0x1F, 17u);
  EXPECT_EQ((dw >> 5) & 0x3F, 30u);
  EXPECT_EQ(dw & 0x1F, 29u);
  // Years counted from 1900 and small years.
  EXPECT_EQ(CWinZip::dwDosDateTime(126, 11, 10, 17, 30, 58), dw);
  EXPECT_EQ(CWinZip::dwDosDateTime(46, 11, 10, 17, 30, 58), dw);

  const char* pszTz = getenv("TZ");
  const std::string sSavedTz = pszTz != nullptr ? pszTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  // 2026-12-10 17:30:58 UTC.
  EXPECT_EQ(CWinZip::dwDosDateTimeFromTime(1796923858), dw);
  EXPECT_EQ(CWinZip::dwDosDateTimeFromTime(-1), 0u);
  ZipMakerDir d;
  ASSERT_TRUE(d.bWrite("f", "x"));
  ASSERT_EQ(d.nShell("touch -d '2026-12-10 17:30:58' f"), 0);
  EXPECT_EQ(CWinZip::dwFileDosDateTime(W(d.sPath("f")).c_str()), dw);
  EXPECT_EQ(CWinZip::dwFileDosDateTime(W(d.sPath("missing")).c_str()), 0u);
  if (pszTz != nullptr)
    setenv("TZ", sSavedTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(WinZipWriterSide, HeaderSizesAndNames) {
  AllocatorGuard guard;
  CWinZip z;
  _stFICZIP st;
  std::memset(&st, 0, sizeof st);
  st.wNameLength = 10;
  st.wExtraLength = 9;
  st.wCommentLength = 4;
  EXPECT_EQ(z.llLocalHeaderSize(st), 40u);
  EXPECT_EQ(z.llCentralHeaderSize(st), 69u);
  st.bCrypte = true;
  st.llUncompressedSize = 0x100000000ull;
  EXPECT_EQ(z.llLocalHeaderSize(st), 40u + 20 + 12);
  EXPECT_EQ(z.llCentralHeaderSize(st), 69u + 28);
  st.llUncompressedSize = 1;
  st.bCrypte = false;
  z.SetZip64Headers(true);
  EXPECT_EQ(z.llLocalHeaderSize(st), 60u);
  z.SetZip64Headers(false);
  EXPECT_EQ(z.llLocalHeaderSize(st), 40u);

  // 1252 e acute is 437's 0x82; 0x80 stays as it is both ways.
  char name[] = "\xe9-\x80-a";
  z.AnsiToOem(name, 5);
  EXPECT_EQ(std::string(name), "\x82-\x80-a");
  z.OemToAnsi(name, 5);
  EXPECT_EQ(std::string(name), "\xe9-\x80-a");
  z.SetForeignNames(false);
  z.AnsiToOem(name, 5);
  EXPECT_EQ(std::string(name), "\xe9-\x80-a") << "no conversion without the foreign-names flag";
  // Every initialisation sets the flag again.
  z.OuvreZip(L"none", 0);
  EXPECT_TRUE(z.bGetForeignNames());
}

// ---- Mutation loop ----------------------------------------------------------------

// Hostile variants of valid archives: only result codes come back, reads
// stay within the declared sizes, and the sanitizers stay quiet.
TEST(WinZipReader, MutationsGiveResultCodesOnly) {
  ZipMakerDir d;
  std::vector<std::string> seeds = {
      MakeWithZip(d, "-9", {{"t.txt", Text(20000, 21)}, {"s.txt", kSmall}}),
      MakeWithZip(d, "-0 -P pw", {{"t.txt", Text(3000, 22)}, {"s.txt", kSmall}}),
      MakeWithZip(d, "-fz", {{"t.txt", Text(3000, 23)}}),
      MakeWithPython(d, "with z.open('t.txt', 'w', force_zip64=True) as f: f.write(b'y' * 3000)\n"
                        "z.writestr('s.txt', 'short')\nz.comment = b'comment'"),
  };
  for (const std::string& s : seeds) ASSERT_FALSE(s.empty());
  const std::set<int> allowed = {0, 3, 4, 5, 13, 14, 1002};
  std::mt19937 rng(20261210);
  int nOpened = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string a = seeds[rng() % seeds.size()];
    const std::vector<std::size_t> headers = [&] {
      std::vector<std::size_t> v;
      for (unsigned sig : {kSigLocal, kSigCentral, kSigEnd, 0x06064b50u, 0x07064b50u})
        for (std::size_t p : zipmaker::FindSignatures(a, sig)) v.push_back(p);
      return v;
    }();
    switch (rng() % 6) {
      case 0:  // truncation
        a.resize(1 + rng() % (a.size() - 1));
        break;
      case 1:  // random bytes in a header
      case 2: {
        const int nBytes = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < nBytes; ++i) {
          const std::size_t at = headers[rng() % headers.size()] + 4 + rng() % 60;
          if (at < a.size()) a[at] = static_cast<char>(rng());
        }
        break;
      }
      case 3: {  // a central name length out of bounds
        const std::vector<std::size_t> c = zipmaker::FindSignatures(a, kSigCentral);
        if (!c.empty()) SetU16(a, c[rng() % c.size()] + 28, 1000 + rng() % 64536);
        break;
      }
      case 4: {  // an extra block size or a size field changed
        const std::vector<std::size_t> c = zipmaker::FindSignatures(a, kSigCentral);
        if (c.empty()) break;
        const std::size_t h = c[rng() % c.size()];
        const std::size_t x = h + 46 + nGetU16(a, h + 28);
        if (nGetU16(a, h + 30) >= 4 && x + 4 <= a.size())
          SetU16(a, x + 2, rng() % 80);
        else
          SetU32(a, h + 20 + 4 * (rng() % 2), rng() % 16);
        break;
      }
      default:  // random bytes anywhere
        for (int i = 0; i < 8; ++i) a[rng() % a.size()] = static_cast<char>(rng());
        break;
    }
    MemZip z(a);
    const int nOpen = z.Open(L"pw");
    ASSERT_TRUE(allowed.count(nOpen)) << "round " << round << ": " << nOpen;
    if (nOpen != 0) continue;
    ++nOpened;
    for (int n = z.zip().FirstFile(); n == 0; n = z.zip().NextFile(0)) {
      const std::uint64_t llDeclared = z.zip().pstGetCurrentFile()->llUncompressedSize;
      const int nIndex = z.zip().nGetCurrentIndex();
      const Read r = z.ReadCurrent(4096, 1u << 20);
      ASSERT_TRUE(allowed.count(r.nOpen)) << "round " << round;
      if (r.nOpen == 0) {
        EXPECT_TRUE(allowed.count(r.nClose)) << "round " << round;
        EXPECT_LE(r.data.size(), llDeclared) << "round " << round;
      }
      z.zip().GoToEntry(nIndex);
    }
  }
  EXPECT_GT(nOpened, 100) << "the mutations should leave many archives readable";
}

}  // namespace
