// Whole files and texts with a byte-order mark (shared strings need the
// stand-in string allocator).
#include <gtest/gtest.h>

#include <string>

#include "CDiskFile.h"
#include "CTNBIN.h"
#include "CXError.h"
#include "CXYString.h"
#include "support/DiskFileTestDirectory.h"
#include "support/SharedStringFixture.h"

namespace {

class FileSystemText : public SharedStringTest {
 protected:
  void SetUp() override {
    SharedStringTest::SetUp();
    m_directory.SetUp();
  }
  void TearDown() override {
    m_directory.TearDown();
    SharedStringTest::TearDown();
  }

  // The fixture's directory, driven by hand beside the allocator fixture.
  struct Directory : DiskFileTestDirectory {
    void SetUp() override { DiskFileTestDirectory::SetUp(); }
    void TearDown() override { DiskFileTestDirectory::TearDown(); }
    void TestBody() override {}
    using DiskFileTestDirectory::WriteFile;
  } m_directory;
};

TEST_F(FileSystemText, ByteOrderMarks) {
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring text;
    CDiskFile::etxType eType;
  };
  const Case cases[] = {
      {"UTF-16 little-endian",
       std::string("\xFF\xFE"
                   "a\0\xE9\0",
                   6),
       L"a\u00e9", CDiskFile::TXT_UTF16},
      {"UTF-16 big-endian", std::string("\xFE\xFF\0a\x65\xE5", 6), L"a\u65e5",
       CDiskFile::TXT_UTF16},
      {"UTF-16, trailing odd byte",
       std::string("\xFF\xFE"
                   "a\0b\0c",
                   7),
       L"ab", CDiskFile::TXT_UTF16},
      {"UTF-8 mark", "\xEF\xBB\xBFx\xC3\xA9", L"x\u00e9", CDiskFile::TXT_UTF8},
      {"UTF-8 without mark", "y\xC3\xA9", L"y\u00e9", CDiskFile::TXT_UTF8},
      {"code page", "z\xE9\x80", L"z\u00e9\u20ac", CDiskFile::TXT_CODEPAGE},
      {"empty", "", L"", CDiskFile::TXT_UTF8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_directory.WriteFile("text", c.bytes);
    CXYString<wchar_t> text;
    CDiskFile::etxType eType = static_cast<CDiskFile::etxType>(-1);
    ASSERT_TRUE(CDiskFile::bChargeTexteBOM(text, L"text", 1252, &eType));
    EXPECT_EQ(std::wstring(text.pszGet()), c.text);
    EXPECT_EQ(eType, c.eType);
  }
  CXYString<wchar_t> text;
  EXPECT_FALSE(CDiskFile::bChargeTexteBOM(text, L"missing", 1252, nullptr));
}

TEST_F(FileSystemText, WholeFile) {
  const std::string bytes("bin\0ary", 7);
  m_directory.WriteFile("f", bytes);
  CTNBIN buffer;
  CXError error(&gstMyModuleInfo76);
  ASSERT_TRUE(CDiskFile::bChargeFichier(buffer, L"f", &error));
  ASSERT_EQ(buffer.nGetTailleUtile(), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.pGetData()), 7), bytes);
  EXPECT_FALSE(CDiskFile::bChargeFichier(buffer, L"missing", &error));
  EXPECT_EQ(error.nGetErrorId(0), 28139u);
}

}  // namespace
