#include "support/DiskFileTestDirectory.h"
#include "CKXMFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "CTString.h"

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string U16(std::uint16_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v)) + U16(v >> 16); }
std::string U64(std::uint64_t v) {
  return U32(static_cast<std::uint32_t>(v)) + U32(static_cast<std::uint32_t>(v >> 32));
}

// A message-string file written out byte by byte.
struct STMessageFile {
  std::uint32_t dwVersion = 2;
  std::uint32_t dwHeaderSize = 20;
  std::string block = "blk";
  std::vector<std::pair<std::uint32_t, std::uint64_t>> entries;
  std::string texts;
  bool bCountGiven = false;
  std::uint32_t nCount = 0;

  // A text with its true length; entries must come in identifier order.
  STMessageFile& Add(std::uint32_t id, const std::string& text) {
    return AddRaw(id, static_cast<std::uint32_t>(text.size()), text);
  }
  // A text whose length field says `length`.
  STMessageFile& AddRaw(std::uint32_t id, std::uint32_t length, const std::string& text) {
    entries.emplace_back(id, texts.size());
    texts += '\x7F';
    texts += U32(length) + text;
    return *this;
  }
  STMessageFile& Count(std::uint32_t n) {
    bCountGiven = true;
    nCount = n;
    return *this;
  }
  std::string Bytes() const {
    std::string bytes = std::string("VLM\0", 4) + U32(dwHeaderSize) + U32(0x50001) + U16(0);
    bytes += static_cast<char>(20);
    bytes += static_cast<char>(0);
    bytes += U16(0) + U16(0);
    bytes += std::string(dwHeaderSize > 20 ? dwHeaderSize - 20 : 0, 'h');
    bytes += U32(dwVersion) + U32(static_cast<std::uint32_t>(block.size())) + block;
    bytes += U32(bCountGiven ? nCount : static_cast<std::uint32_t>(entries.size()));
    for (const auto& st : entries) bytes += U32(st.first) + U64(st.second);
    return bytes + texts;
  }
};

class CKXMFileTest : public DiskFileTestDirectory {
 protected:
  void SetUp() override {
    DiskFileTestDirectory::SetUp();
    m_base = m_sBase;
    m_path = m_base + "/messages.msg";
    m_wpath = Widen(m_path);
  }
  bool bOpen(CKXMFile& clFile) {
    return clFile.bOpen(m_wpath.c_str(), XFORMAT_DEFAULT, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN,
                        XFLAG_NONE);
  }
  std::wstring Load(CKXMFile& clFile, std::uint32_t id) {
    CTString clText;
    if (!clFile.bLoadString(id, &clText)) return L"<none>";
    return clText.pszGet();
  }

  std::string m_base;
  std::string m_path;
  std::wstring m_wpath;
};

TEST_F(CKXMFileTest, EachFileVersionChoosesTheCodePage) {
  struct STCase {
    std::uint32_t dwVersion;
    std::string bytes;
    unsigned nCodePage;
  };
  const STCase astCases[] = {
      {1, "caf\xE9", 1252},
      {2, "caf\xC3\xA9", 65001},
      {0, "caf\xE9", 1252},
      {7, "caf\xC3\xA9", 65001},
  };
  CKXMFile clFile;  // one object for every file: the code page follows each
  EXPECT_EQ(clFile.nGetCodePage(), 65001u);
  for (const STCase& st : astCases) {
    SCOPED_TRACE(st.dwVersion);
    STMessageFile stFile;
    stFile.dwVersion = st.dwVersion;
    WriteAll(m_path, stFile.Add(4, st.bytes).Bytes());
    ASSERT_TRUE(bOpen(clFile));
    EXPECT_EQ(clFile.nGetCodePage(), st.nCodePage);
    EXPECT_EQ(Load(clFile, 4), L"caf\u00e9");
    wchar_t wsz[16];
    EXPECT_EQ(clFile.nLoadString(4, wsz, 16), static_cast<int>(st.bytes.size()));
    EXPECT_STREQ(wsz, L"caf\u00e9");
    clFile.Close();
    clFile.Purge();
    EXPECT_EQ(clFile.nGetCodePage(), st.nCodePage);  // Purge keeps it
  }
}

TEST_F(CKXMFileTest, LookupSearchesIdentifiersAsUnsigned) {
  const std::pair<std::uint32_t, const char*> astTexts[] = {
      {3, "three"}, {10, "ten"}, {0x7FFFFFFF, "max"}, {0x80000000, "high"}, {0xFFFFFFFE, "top"},
  };
  const std::uint32_t anMissing[] = {0, 2, 4, 11, 0x7FFFFFFE, 0x80000001, 0xFFFFFFFF};
  for (std::uint32_t dwHeaderSize : {20u, 32u}) {
    SCOPED_TRACE(dwHeaderSize);
    STMessageFile stFile;
    stFile.dwHeaderSize = dwHeaderSize;
    for (const auto& st : astTexts) stFile.Add(st.first, st.second);
    WriteAll(m_path, stFile.Bytes());
    CKXMFile clFile;
    ASSERT_TRUE(bOpen(clFile));
    for (const auto& st : astTexts) EXPECT_EQ(Load(clFile, st.first), Widen(st.second));
    for (std::uint32_t id : anMissing) {
      EXPECT_EQ(Load(clFile, id), L"<none>") << id;
      wchar_t wsz[8] = L"x";
      EXPECT_EQ(clFile.nLoadString(id, wsz, 8), 0) << id;
      EXPECT_STREQ(wsz, L"");
    }
    EXPECT_EQ(clFile.nGetNbEntree(), 5u);
  }
}

TEST_F(CKXMFileTest, EmptyIndexLoadsAndFindsNothing) {
  WriteAll(m_path, STMessageFile().Bytes());
  CKXMFile clFile;
  EXPECT_TRUE(clFile.bVerifieFormat(m_wpath.c_str()));
  EXPECT_FALSE(clFile.bIsOpen());
  ASSERT_TRUE(bOpen(clFile));
  EXPECT_EQ(Load(clFile, 0), L"<none>");
  EXPECT_EQ(Load(clFile, 1), L"<none>");
}

TEST_F(CKXMFileTest, LoadStringIntoABuffer) {
  STMessageFile stFile;
  WriteAll(m_path, stFile.Add(1, "hello").Add(2, "h\xC3\xA9llo").Add(3, "").Bytes());
  CKXMFile clFile;
  ASSERT_TRUE(bOpen(clFile));
  struct STCase {
    std::uint32_t id;
    int nSize;
    const wchar_t* pszText;  // null: the buffer is left as it was
    int nResult;
  };
  const STCase astCases[] = {
      {1, 100, L"hello", 5}, {1, 6, L"hello", 5},  {1, 5, L"hell", 5},
      {1, 3, L"he", 5},      {1, 1, L"", 5},       {1, 0, nullptr, 0},
      {1, -4, nullptr, 0},   {2, 3, L"h\u00e9", 6}, {2, 10, L"h\u00e9llo", 6},
      {3, 10, L"", 0},
  };
  for (const STCase& st : astCases) {
    SCOPED_TRACE(testing::Message() << st.id << " size " << st.nSize);
    wchar_t wsz[100] = L"untouched";
    EXPECT_EQ(clFile.nLoadString(st.id, wsz, st.nSize), st.nResult);
    EXPECT_STREQ(wsz, st.pszText != nullptr ? st.pszText : L"untouched");
  }
  wchar_t wszOne[1] = {L'x'};  // exactly one character: nothing may go past it
  EXPECT_EQ(clFile.nLoadString(2, wszOne, 1), 6);
  EXPECT_EQ(wszOne[0], L'\0');
  EXPECT_EQ(clFile.nLoadString(1, nullptr, 10), 0);
  EXPECT_FALSE(clFile.bLoadString(1, nullptr));
}

TEST_F(CKXMFileTest, CountsAndLengthsBeyondTheFileFail) {
  struct STCase {
    const char* pszName;
    STMessageFile stFile;
  };
  std::vector<STCase> astCases;
  astCases.push_back({"length 0xFFFFFFFF", STMessageFile().Add(1, "ab").AddRaw(2, 0xFFFFFFFF, "xyz")});
  astCases.push_back({"length one past the end", STMessageFile().Add(1, "ab").AddRaw(2, 4, "xyz")});
  // 12 x 0x15555556 wraps to 8 in 32 bits: one entry and a bit.
  astCases.push_back({"huge count", STMessageFile().Add(2, "ab").Count(0x15555556)});
  astCases.push_back({"count one too many", STMessageFile().Add(1, "ab").Add(2, "cd").Count(3)});
  {
    STMessageFile st;
    st.Add(1, "ab").Add(2, "cd");
    st.entries[1].second = 1000;
    astCases.push_back({"offset past the end", st});
  }
  {
    STMessageFile st;
    st.Add(1, "ab").Add(2, "cd");
    st.entries[1].second = 0xFFFFFFFFFFFFFFF0ull;
    astCases.push_back({"offset overflowing", st});
  }
  {
    STMessageFile st;
    st.Add(1, "ab").Add(2, "cd");
    st.entries[1].second = st.texts.size() - 3;  // the length field runs off the end
    astCases.push_back({"length field cut", st});
  }
  for (const STCase& st : astCases) {
    SCOPED_TRACE(st.pszName);
    WriteAll(m_path, st.stFile.Bytes());
    CKXMFile clFile;
    ASSERT_TRUE(bOpen(clFile));
    EXPECT_EQ(Load(clFile, 2), L"<none>");
    wchar_t wsz[8] = L"x";
    EXPECT_EQ(clFile.nLoadString(2, wsz, 8), 0);
    EXPECT_STREQ(wsz, L"");
  }
}

TEST_F(CKXMFileTest, BlockLengthBeyondTheFileFailsTheIndex) {
  STMessageFile stFile;
  stFile.Add(1, "ab");
  std::string bytes = stFile.Bytes();
  bytes.replace(24, 4, U32(0xFFFFFFF0));  // the block length after the version
  WriteAll(m_path, bytes);
  CKXMFile clFile;
  EXPECT_FALSE(clFile.bVerifieFormat(m_wpath.c_str()));
}

TEST_F(CKXMFileTest, FailedIndexLoadIsNotRetriedUntilReopened) {
  WriteAll(m_path, STMessageFile().Add(1, "one").Count(9).Bytes());
  CKXMFile clFile;
  ASSERT_TRUE(bOpen(clFile));
  EXPECT_EQ(Load(clFile, 1), L"<none>");
  // The same file, now sound: the open stream sees it, the object does not
  // look again.
  WriteAll(m_path, STMessageFile().Add(1, "one").Bytes());
  EXPECT_EQ(Load(clFile, 1), L"<none>");
  clFile.Close();
  clFile.Purge();
  ASSERT_TRUE(bOpen(clFile));
  EXPECT_EQ(Load(clFile, 1), L"one");
}

TEST_F(CKXMFileTest, VerifyFormatOpensLoadsAndCloses) {
  CKXMFile clFile;
  WriteAll(m_path, STMessageFile().Add(1, "one").Bytes());
  EXPECT_TRUE(clFile.bVerifieFormat(m_wpath.c_str()));
  EXPECT_FALSE(clFile.bIsOpen());

  const std::string sound = STMessageFile().Add(1, "one").Bytes();
  const std::pair<const char*, std::string> astBad[] = {
      {"signature", "VLX" + sound.substr(3)},
      {"no version", sound.substr(0, 22)},
      {"no block length", sound.substr(0, 26)},
      {"index cut", sound.substr(0, sound.size() - 10 - 8)},
  };
  for (const auto& st : astBad) {
    SCOPED_TRACE(st.first);
    WriteAll(m_path, st.second);
    CKXMFile clOther;
    EXPECT_FALSE(clOther.bVerifieFormat(m_wpath.c_str()));
    EXPECT_FALSE(clOther.bIsOpen());
  }
  CKXMFile clMissing;
  EXPECT_FALSE(clMissing.bVerifieFormat(Widen(m_base + "/missing.msg").c_str()));
}

TEST(CKXMFileCompare, IdentifiersCompareAsUnsigned) {
  const std::pair<std::uint32_t, std::uint32_t> astPairs[] = {
      {1, 2}, {2, 1}, {5, 5}, {0x80000000, 1}, {1, 0xFFFFFFFF}, {0xFFFFFFFF, 0xFFFFFFFF},
  };
  for (const auto& st : astPairs) {
    const STOffsetRessource a{st.first, 0};
    const STOffsetRessource b{st.second, 99};
    const int nExpected = st.first > st.second ? 1 : (st.first < st.second ? -1 : 0);
    EXPECT_EQ(CKXMFile::__nCompareRessource(&a, &b), nExpected) << st.first << " " << st.second;
  }
}

}  // namespace
