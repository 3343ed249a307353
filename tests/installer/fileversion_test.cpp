// Marked key/value blocks taken from a file: which block is kept, lookups
// that stay inside it, and the resource form.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CFileVersion.h"

namespace {

using namespace std::string_literals;

class fileversion : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!m_sPath.empty()) ::unlink(m_sPath.c_str());
  }
  const char* Write(const std::string& sContent) {
    if (m_sPath.empty()) {
      char szTemplate[] = "/tmp/fileversionXXXXXX";
      const int fd = ::mkstemp(szTemplate);
      if (fd >= 0) ::close(fd);
      m_sPath = szTemplate;
    }
    FILE* f = std::fopen(m_sPath.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(sContent.data(), 1, sContent.size(), f);
      std::fclose(f);
    }
    return m_sPath.c_str();
  }
  std::string m_sPath;
};

// A block of exactly n bytes: "Key\0" then a value padded to the size.
std::string Block(std::size_t n) {
  std::string s = "Key\0"s;
  s += std::string(n - s.size(), 'v');
  return s;
}

TEST_F(fileversion, OnlyBlocksOfMoreThan34BytesAreKept) {
  CFileVersion cl;
  EXPECT_FALSE(cl.bLoad(Write("VersionInfoMarkStart_" + Block(34) + "VersionInfoMarkEnd")));
  EXPECT_FALSE(cl.bIsLoaded());
  EXPECT_TRUE(cl.bLoad(Write("VersionInfoMarkStart_" + Block(35) + "VersionInfoMarkEnd")));
  const void* p = nullptr;
  std::uint32_t n = 0;
  ASSERT_TRUE(cl.bGetBinaryValue(L"key", &p, &n));
  EXPECT_EQ(n, 31u);  // a last value without a NUL ends with the block

  // A short block is passed over for the next one.
  ASSERT_TRUE(cl.bLoad(Write("xxVersionInfoMarkStart_A\0B\0VersionInfoMarkEnd"s +
                             "VersionInfoMarkStart_" + "Name\0"s + "Caf\xE9"s + "\0"s +
                             std::string(30, 'p') + "VersionInfoMarkEnd")));
  CTString cl1252;
  ASSERT_TRUE(cl.bGetStringValue(L"NAME", cl1252));
  EXPECT_STREQ(cl1252.pszGet(), L"Caf\u00E9");
  EXPECT_FALSE(cl.bGetStringValue(L"A", cl1252));
  EXPECT_FALSE(cl.bGetStringValue(L"missing", cl1252));
}

TEST_F(fileversion, FilesWithoutAUsableBlockGiveFalse) {
  CFileVersion cl;
  const std::string cases[] = {
      "",
      "no marks at all",
      "VersionInfoMarkStart",  // start mark at the very end
      "VersionInfoMarkStart_" + Block(40),  // no end mark
      "VersionInfoMarkEnd" + Block(40) + "VersionInfoMarkStart",
  };
  for (const std::string& s : cases) {
    // A loaded object drops its old block on any new load.
    ASSERT_TRUE(cl.bLoad(Write("VersionInfoMarkStart_" + Block(40) + "VersionInfoMarkEnd")));
    EXPECT_FALSE(cl.bLoad(Write(s))) << s;
    EXPECT_FALSE(cl.bGetBinaryValue(L"Key", nullptr, nullptr)) << s;
  }
  EXPECT_FALSE(cl.bLoad("/nonexistent/dir/file"));
}

TEST_F(fileversion, ResourcesByIdentifier) {
  CFileRessource cl;
  const std::string sBlock = "\\Resource\\7\0"s + "seven\0"s + "\\Resource\\17\0"s + "x\0"s +
                             std::string(20, 'p');
  // Version marks do not count for a resource file.
  EXPECT_FALSE(cl.bLoad(Write("VersionInfoMarkStart_" + sBlock + "VersionInfoMarkEnd")));
  ASSERT_TRUE(cl.bLoad(Write("ResourceInfoMarkStart_" + sBlock + "ResourceInfoMarkEnd")));
  const void* p = nullptr;
  std::uint32_t n = 0;
  ASSERT_TRUE(cl.bLoadResource(7, &p, &n));
  EXPECT_EQ(std::string(static_cast<const char*>(p), n), "seven");
  ASSERT_TRUE(cl.bLoadResource(17, &p, &n));
  EXPECT_EQ(std::string(static_cast<const char*>(p), n), "x");
  EXPECT_FALSE(cl.bLoadResource(8, &p, &n));
}

}  // namespace
