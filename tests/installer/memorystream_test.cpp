// The memory stream: opening by state, access and create mode; reads and
// writes within the block; seeks that never leave it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CMemoryStream.h"

namespace {

enum class Setup { Fresh, Associated, ClosedAfterAssociation, OpenOwn };

struct OpenCase {
  const char* name;
  Setup setup;
  int access;
  int create;
  bool opened;
  int created;    // -1: untouched
  bool canRead;
  bool canWrite;
  int veAccess;
};

const OpenCase kOpenCases[] = {
    {"fresh open-existing", Setup::Fresh, 2, XCREATE_OPEN, false, -1, false, false, -1},
    {"fresh create read", Setup::Fresh, 0, XCREATE_TRUNCATE, true, 1, true, false, 0},
    {"fresh create write", Setup::Fresh, 1, XCREATE_TRUNCATE, true, 1, false, true, 1},
    {"fresh create rw", Setup::Fresh, 2, XCREATE_TRUNCATE, true, 1, true, true, 2},
    {"fresh bad access", Setup::Fresh, 3, XCREATE_TRUNCATE, false, -1, false, false, -1},
    {"fresh open-or-create", Setup::Fresh, 2, XCREATE_OPENORCREATE, false, -1, false, false, -1},
    {"associated read", Setup::Associated, 0, XCREATE_OPEN, true, 0, true, false, 0},
    {"associated write", Setup::Associated, 1, XCREATE_OPEN, true, 0, false, true, 1},
    {"associated rw", Setup::Associated, 2, XCREATE_OPEN, true, 0, true, true, 2},
    {"associated bad access", Setup::Associated, -1, XCREATE_OPEN, false, -1, false, false, -1},
    {"associated bad create", Setup::Associated, 2, XCREATE_OPENORCREATE, false, -1, false, false, -1},
    {"associated then closed", Setup::ClosedAfterAssociation, 2, XCREATE_OPEN, false, -1, false, false, -1},
    {"own memory reopened empty", Setup::OpenOwn, 0, XCREATE_TRUNCATE, true, 1, true, false, 0},
};

TEST(MemoryStreamTest, OpenReadWriteByStateAccessAndCreate) {
  for (const OpenCase& c : kOpenCases) {
    SCOPED_TRACE(c.name);
    unsigned char block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CMemoryStream s;
    switch (c.setup) {
      case Setup::Fresh: break;
      case Setup::Associated: ASSERT_TRUE(s.bAssociate(block, sizeof block)); break;
      case Setup::ClosedAfterAssociation:
        ASSERT_TRUE(s.bAssociate(block, sizeof block));
        ASSERT_TRUE(s.bOpen(L"m", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
        s.Close();
        break;
      case Setup::OpenOwn:
        ASSERT_TRUE(s.bOpen(L"m", XACCESS_WRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, nullptr));
        ASSERT_TRUE(s.bWrite("abc", 3, nullptr));
        break;
    }
    int created = -1;
    EXPECT_EQ(s.bOpen(L"name", static_cast<eACCESS>(c.access), XSHARE_NONE,
                      static_cast<eCREATE>(c.create), XFLAG_NONE, &created),
              c.opened);
    EXPECT_EQ(s.bIsOpen(), c.opened);
    EXPECT_EQ(created, c.created);
    EXPECT_EQ(std::wstring(s.pszGetName()), L"name");
    EXPECT_EQ(static_cast<int>(s.veGetAccess()), c.veAccess);

    unsigned n = 99;
    EXPECT_EQ(s.bWrite("z", 1, &n), c.canWrite);
    EXPECT_EQ(n, c.canWrite ? 1u : 0u);
    if (c.opened) {
      EXPECT_TRUE(s.bSeek(0, XSEEK_BEGIN));
    }
    unsigned char byte = 0;
    n = 99;
    EXPECT_EQ(s.bRead(&byte, 1, &n), c.canRead);
    if (c.canRead && c.canWrite) {
      EXPECT_EQ(byte, 'z');
    }
    if (c.canRead && !c.canWrite && c.setup == Setup::Associated) {
      EXPECT_EQ(byte, 1);
    }
    if (!c.canRead) {
      EXPECT_EQ(n, 0u);
    }
    if (c.setup != Setup::Fresh && c.setup != Setup::OpenOwn && !c.canWrite) {
      EXPECT_EQ(block[0], 1) << "the caller's block was written";
    }
  }
}

TEST(MemoryStreamTest, AssociateOnlyWhenClosed) {
  unsigned char a[4] = {}, b[4] = {};
  CMemoryStream s;
  ASSERT_TRUE(s.bAssociate(a, sizeof a));
  EXPECT_FALSE(s.bAssociate(b, sizeof b));
  ASSERT_TRUE(s.bOpen(L"m", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_FALSE(s.bAssociate(b, sizeof b));
  EXPECT_FALSE(s.bSetAutoExpandMode(true)) << "the caller's block never grows";
  s.Close();
  EXPECT_EQ(static_cast<int>(s.veGetAccess()), -1);
  EXPECT_TRUE(s.bAssociate(b, sizeof b));
  EXPECT_EQ(s.pGetAddress(), b);
  EXPECT_EQ(s.oGetSize(), 4);
  EXPECT_EQ(s.oGetOffset(), 0);
}

class AssociatedBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(m_block, '.', sizeof m_block);
    ASSERT_TRUE(m_s.bAssociate(m_block, 8));
    ASSERT_TRUE(m_s.bOpen(L"m", XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  }
  // Two guard bytes after the 8 the stream sees.
  char m_block[10];
  CMemoryStream m_s;
};

TEST_F(AssociatedBlock, WritePastTheEndIsAllOrNothingWithoutACount) {
  EXPECT_FALSE(m_s.bWrite("0123456789", 10, nullptr));
  EXPECT_EQ(m_s.oGetOffset(), 0);
  EXPECT_EQ(std::string(m_block, 10), "..........");

  unsigned n = 0;
  EXPECT_TRUE(m_s.bWrite("0123456789", 10, &n));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(m_s.oGetOffset(), 8);
  EXPECT_EQ(m_s.oGetSize(), 8);
  EXPECT_EQ(std::string(m_block, 10), "01234567..");
}

TEST_F(AssociatedBlock, ReadPastTheEndIsAllOrNothingWithoutACount) {
  std::memcpy(m_block, "abcdefgh", 8);
  ASSERT_TRUE(m_s.bSeek(5, XSEEK_BEGIN));
  char out[8] = {};
  EXPECT_FALSE(m_s.bRead(out, 4, nullptr));
  EXPECT_EQ(m_s.oGetOffset(), 5);
  unsigned n = 0;
  EXPECT_TRUE(m_s.bRead(out, 4, &n));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::string(out, 3), "fgh");
  EXPECT_TRUE(m_s.bRead(out, 4, &n));
  EXPECT_EQ(n, 0u);
}

// Every mode; the position starts at 3 in the 8-byte block.
TEST_F(AssociatedBlock, SeekTargetsInsideTheBlockAndRefusals) {
  struct Case {
    std::int64_t offset;
    int mode;
    bool ok;
    std::int64_t position;  // after the call
  };
  const Case cases[] = {
      {5, XSEEK_BEGIN, true, 5},    {8, XSEEK_BEGIN, true, 8},    {9, XSEEK_BEGIN, false, 3},
      {-1, XSEEK_BEGIN, false, 3},  {2, XSEEK_CURRENT, true, 5},  {-3, XSEEK_CURRENT, true, 0},
      {-4, XSEEK_CURRENT, false, 3}, {6, XSEEK_CURRENT, false, 3}, {0, XSEEK_END, true, 8},
      {-2, XSEEK_END, true, 6},     {2, XSEEK_END, true, 6},      {8, XSEEK_END, true, 0},
      {9, XSEEK_END, false, 3},     {-9, XSEEK_END, false, 3},    {7, 5, true, 0},
      {INT64_MAX, XSEEK_CURRENT, false, 3}, {INT64_MIN, XSEEK_CURRENT, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " mode " << c.mode);
    ASSERT_TRUE(m_s.bSeek(3, XSEEK_BEGIN));
    EXPECT_EQ(m_s.bSeek(c.offset, static_cast<eSEEK>(c.mode)), c.ok);
    EXPECT_EQ(m_s.oGetOffset(), c.position);
    EXPECT_EQ(m_s.oGetSize(), 8);
  }
}

class OwnMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_s.bOpen(L"own", XACCESS_READWRITE, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE,
                          nullptr));
  }
  std::string Content() {
    return std::string(static_cast<const char*>(m_s.pGetAddress()),
                       static_cast<std::size_t>(m_s.oGetSize()));
  }
  CMemoryStream m_s;
};

TEST_F(OwnMemory, WritesGrowByTheMissingBytesWhateverTheMode) {
  EXPECT_TRUE(m_s.bWrite("hello", 5, nullptr));
  ASSERT_TRUE(m_s.bSeek(3, XSEEK_BEGIN));
  unsigned n = 0;
  EXPECT_TRUE(m_s.bWrite("LO world", 8, &n));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(m_s.oGetSize(), 11);
  EXPECT_EQ(Content(), "helLO world");
}

TEST_F(OwnMemory, SeekPastTheEndGrowsExactlyToTheTargetWithZeros) {
  ASSERT_TRUE(m_s.bWrite("abcdef", 6, nullptr));
  ASSERT_TRUE(m_s.bSeek(4, XSEEK_BEGIN));
  EXPECT_FALSE(m_s.bSeek(10, XSEEK_BEGIN)) << "no growth while automatic growth is off";
  EXPECT_EQ(m_s.oGetOffset(), 4);

  ASSERT_TRUE(m_s.bSetAutoExpandMode(true));
  EXPECT_TRUE(m_s.bSeek(6, XSEEK_CURRENT));  // target 10 from position 4
  EXPECT_EQ(m_s.oGetOffset(), 10);
  EXPECT_EQ(m_s.oGetSize(), 10);
  EXPECT_EQ(Content(), std::string("abcdef\0\0\0\0", 10));

  EXPECT_FALSE(m_s.bSeek(-11, XSEEK_CURRENT)) << "growth never allows a target before 0";
  EXPECT_FALSE(m_s.bSeek(-1, XSEEK_BEGIN));
  EXPECT_FALSE(m_s.bSeek(11, XSEEK_END));
  EXPECT_EQ(m_s.oGetOffset(), 10);
  EXPECT_FALSE(m_s.bSeek(0x100000000LL, XSEEK_BEGIN)) << "no growth past the 32-bit size";
  EXPECT_EQ(m_s.oGetSize(), 10);

  ASSERT_TRUE(m_s.bSetAutoExpandMode(false));
  EXPECT_FALSE(m_s.bSeek(12, XSEEK_BEGIN));
  m_s.Close();
  EXPECT_FALSE(m_s.bSetAutoExpandMode(true));
  EXPECT_EQ(Content(), std::string("abcdef\0\0\0\0", 10)) << "the memory stays after Close";
}

TEST_F(OwnMemory, DeleteMemoryAndReopenLeaveAnEmptyStream) {
  ASSERT_TRUE(m_s.bWrite("abc", 3, nullptr));
  m_s.__DeleteMemory();
  EXPECT_EQ(m_s.pGetAddress(), nullptr);
  EXPECT_EQ(m_s.oGetSize(), 0);
  EXPECT_EQ(m_s.oGetOffset(), 0);
  ASSERT_TRUE(m_s.bWrite("xy", 2, nullptr)) << "still open on its own memory";
  EXPECT_EQ(Content(), "xy");
  int created = 0;
  ASSERT_TRUE(m_s.bOpen(L"own", XACCESS_READ, XSHARE_NONE, XCREATE_TRUNCATE, XFLAG_NONE, &created));
  EXPECT_EQ(created, 1);
  EXPECT_EQ(m_s.oGetSize(), 0);
  char c = 0;
  EXPECT_FALSE(m_s.bRead(&c, 1, nullptr));
}

}  // namespace
