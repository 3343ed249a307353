#include "support/DiskFileTestDirectory.h"
#include "CXFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CKXFile.h"
#include "CXError.h"

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A stream that tells when it is destroyed and can be made to fail its size.
class CProbeStream : public IXStream {
 public:
  explicit CProbeStream(bool* pbDestroyed) : m_pbDestroyed(pbDestroyed) {}
  ~CProbeStream() override { *m_pbDestroyed = true; }
  void Close() override {}
  eACCESS veGetAccess() override { return XACCESS_READWRITE; }
  std::int64_t oGetSize() override { return -1; }
  std::int64_t oGetOffset() override { return 0; }
  std::uint32_t nCount() const { return m_dwRefCount.load(); }

 private:
  bool* m_pbDestroyed;
};

// A fresh directory, removed with all it holds; the current directory is put
// back after each test.
class CXFileTest : public DiskFileTestDirectory {
 protected:
  std::string Path(const char* name) const { return m_sBase + "/" + name; }
};

// Slot of a virtual member under the Itanium C++ ABI: a pointer to it holds
// 1 + its byte offset in the virtual table; -1 when it is not virtual.
template <typename C, typename F>
long SlotOf(F C::*pmf) {
  struct STMemberPointer {
    std::uintptr_t nPtr;
    std::ptrdiff_t nAdj;
  } st;
  static_assert(sizeof(pmf) == sizeof(st), "Itanium member-function pointer");
  std::memcpy(&st, &pmf, sizeof(st));
  if ((st.nPtr & 1) == 0) return -1;
  return static_cast<long>((st.nPtr - 1) / sizeof(void*));
}

// Slots counted from 0; the two destructors take 0 and 1.
TEST(CXFileSlots, OperationsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&CXFile::bOpen), 2);
  EXPECT_EQ(SlotOf(&CXFile::Close), 3);
  EXPECT_EQ(SlotOf(static_cast<bool (CXFile::*)(std::int64_t, const void*, unsigned, unsigned*)>(
                &CXFile::bWrite)),
            5);
  EXPECT_EQ(SlotOf(static_cast<bool (CXFile::*)(void*, unsigned, unsigned*)>(&CXFile::bRead)), 8);
  EXPECT_EQ(SlotOf(static_cast<bool (CXFile::*)(const wchar_t*, va_list)>(
                &CXFile::bWriteStringList)),
            18);
  EXPECT_EQ(SlotOf(&CXFile::bExtract), 21);
  EXPECT_EQ(SlotOf(&CXFile::pclGetXError), 29);
  EXPECT_EQ(SlotOf(&CXFile::_FreeStream), 30);
  EXPECT_EQ(SlotOf(&CXFile::__xpclAllocDiskFile), 31);
  EXPECT_EQ(SlotOf(&CXFile::veGetAccess), 34);
  EXPECT_EQ(SlotOf(&CXFile::vReserved47), 46);  // 47 slots in all
  EXPECT_EQ(SlotOf(&CKXFile::bReadHeader), 47);  // the header operations follow
  EXPECT_EQ(SlotOf(&CKXFile::bWriteHeaderEx), 49);
}

TEST_F(CXFileTest, WithoutAStreamEveryCallAnswersFailure) {
  CXFile clFile;
  char sz[8] = "x";
  wchar_t wsz[8] = L"x";
  int bTruncated = 0;
  unsigned n = 7;
  EXPECT_EQ(clFile.pszGetName(), nullptr);
  EXPECT_FALSE(clFile.bIsOpen());
  EXPECT_EQ(clFile.pclGetXError(), nullptr);
  EXPECT_EQ(clFile._pclGetXError(), nullptr);
  EXPECT_EQ(clFile.veGetAccess(), XACCESS_DEFAULT);
  EXPECT_EQ(clFile.oGetSize(), -1);
  EXPECT_EQ(clFile.oGetSizeFast(), -1);
  EXPECT_EQ(clFile.oGetOffset(), -1);
  EXPECT_EQ(clFile.piGetStream(), nullptr);
  EXPECT_FALSE(clFile.bRead(sz, 1, &n));
  EXPECT_FALSE(clFile.bWrite(sz, 1, &n));
  EXPECT_FALSE(clFile.bSeek(0, XSEEK_BEGIN));
  EXPECT_FALSE(clFile.bReopen(XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE));
  EXPECT_FALSE(clFile.bWriteString("%d", 1));
  EXPECT_FALSE(clFile.bWriteString(L"%d", 1));
  EXPECT_FALSE(clFile.bReadLine(sz, 8, &bTruncated, 0));
  EXPECT_FALSE(clFile.bReadLineUNICODE(wsz, 8, &bTruncated));
  EXPECT_FALSE(clFile.bWriteLine(L"a"));
  clFile.Close();
  EXPECT_EQ(clFile.pszGetName(), nullptr);  // Close made no stream
}

TEST_F(CXFileTest, OpenedByNameOwnsItsStreamAndWritesWideLines) {
  const std::string path = Path("line.bin");
  {
    CXFile clFile;
    ASSERT_TRUE(clFile.bOpen(Widen(path).c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE,
                             XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
    EXPECT_EQ(clFile.piGetStream(), nullptr);  // created here: not handed out
    EXPECT_TRUE(clFile.bIsOpen());
    EXPECT_NE(clFile.pclGetXError(), nullptr);
    EXPECT_EQ(std::wstring(clFile.pszGetName()), Widen(path));
    EXPECT_TRUE(clFile.bWriteLine(L"a"));
    EXPECT_TRUE(clFile.bWriteString("<%d>", 42));
    EXPECT_EQ(clFile.oGetSize(), 12 + 4);
  }
  const std::string expected("a\0\0\0\r\0\0\0\n\0\0\0<42>", 16);
  EXPECT_EQ(ReadAll(path), expected);
}

TEST_F(CXFileTest, SharedStreamOutlivesTheFile) {
  bool bDestroyed = false;
  auto* pclStream = new CProbeStream(&bDestroyed);
  pclStream->dwAddRef();
  {
    CXFile clFile(pclStream);
    EXPECT_EQ(clFile.piGetStream(), pclStream);
    EXPECT_EQ(pclStream->nCount(), 2u);
  }
  EXPECT_FALSE(bDestroyed);
  EXPECT_EQ(pclStream->nCount(), 1u);
  pclStream->dwRelease();
  EXPECT_TRUE(bDestroyed);
}

TEST_F(CXFileTest, SetStreamWithTheHeldStreamKeepsIt) {
  bool bDestroyed = false;
  auto* pclStream = new CProbeStream(&bDestroyed);
  {
    CXFile clFile;
    clFile.SetStream(pclStream);  // the file holds the only reference
    clFile.SetStream(clFile.piGetStream());
    ASSERT_FALSE(bDestroyed);
    EXPECT_EQ(clFile.piGetStream(), pclStream);
    EXPECT_EQ(pclStream->nCount(), 1u);
  }
  EXPECT_TRUE(bDestroyed);
}

TEST_F(CXFileTest, SetStreamReleasesTheFormerStream) {
  bool bFirstDestroyed = false;
  bool bSecondDestroyed = false;
  CXFile clFile(new CProbeStream(&bFirstDestroyed));
  clFile.SetStream(new CProbeStream(&bSecondDestroyed));
  EXPECT_TRUE(bFirstDestroyed);
  EXPECT_FALSE(bSecondDestroyed);
  clFile.SetStream(nullptr);
  EXPECT_TRUE(bSecondDestroyed);
  EXPECT_FALSE(clFile.bIsOpen());
}

TEST_F(CXFileTest, CreatedStreamIsKeptUntilTheFileGoes) {
  CXFile clFile;
  ASSERT_TRUE(clFile.bSetNameForError(L"shown name"));
  EXPECT_NE(clFile.pclGetXError(), nullptr);
  EXPECT_EQ(clFile.piGetStream(), nullptr);
  EXPECT_FALSE(clFile.bIsOpen());
  CXError* pclError = clFile.pclGetXError();
  EXPECT_TRUE(clFile.bCreateStream());
  EXPECT_EQ(clFile.pclGetXError(), pclError);  // the same stream
}

TEST_F(CXFileTest, ExtractCopiesFromThePositionAndStopsAfterTheCopiedBytes) {
  const std::string source = Path("source.bin");
  std::string bytes(150000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  WriteAll(source, bytes);

  struct STCase {
    std::int64_t oStart;
    std::int64_t n;
    std::size_t nExpected;
  };
  const STCase astCases[] = {
      {10, 100000, 100000},  // across the 64 KiB buffer
      {10, -1, 149990},      // up to the end
      {140000, 70000, 10000},  // more than is left: to the end
      {5, 0, 0},
  };
  for (const STCase& st : astCases) {
    SCOPED_TRACE(st.n);
    const std::string target = Path("target.bin");
    CXFile clSource;
    CXFile clTarget;
    ASSERT_TRUE(clSource.bOpen(Widen(source).c_str(), XACCESS_READ, XSHARE_NONE, XCREATE_OPEN,
                               XFLAG_NONE, nullptr));
    ASSERT_TRUE(clTarget.bOpen(Widen(target).c_str(), XACCESS_WRITE, XSHARE_NONE,
                               XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
    ASSERT_TRUE(clSource.bSeek(st.oStart, XSEEK_BEGIN));
    EXPECT_TRUE(clSource.bExtract(&clTarget, st.n));
    EXPECT_EQ(clSource.oGetOffset(), st.oStart + static_cast<std::int64_t>(st.nExpected));
    clTarget.Close();
    EXPECT_EQ(ReadAll(target), bytes.substr(static_cast<std::size_t>(st.oStart), st.nExpected));
  }
}

TEST_F(CXFileTest, ExtractToTheEndFailsWithoutASize) {
  bool bDestroyed = false;
  CXFile clSource(new CProbeStream(&bDestroyed));
  CXFile clTarget;
  EXPECT_FALSE(clSource.bExtract(&clTarget, -1));
  EXPECT_FALSE(clSource.bExtract(nullptr, 10));
}

}  // namespace
