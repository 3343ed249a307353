// The read-ahead stream between the ZIP engine and the archive file: every
// read gives the source's bytes at the position, whether it lies in the
// block in memory, crosses its end, is larger than a block, or runs past
// the end of the source.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "CMemoryStream.h"
#include "CReadAheadStream.h"

namespace {

class ReadAheadStream : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 rnd(7);
    m_sBytes.resize(CReadAheadStream::knBlockSize * 2 + 12345);
    for (char& c : m_sBytes) c = static_cast<char>(rnd());
    ASSERT_TRUE(m_clSource.bAssociate(&m_sBytes[0], static_cast<std::uint32_t>(m_sBytes.size())));
    ASSERT_TRUE(m_clSource.bOpen(L"source", XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr));
  }

  // Reads n bytes at `at` through the stream; *pnGot gets the count.
  std::string sReadAt(std::int64_t at, unsigned n, unsigned* pnGot) {
    std::string out(n, '\0');
    EXPECT_TRUE(m_clStream.bSeek(at, XSEEK_BEGIN));
    EXPECT_TRUE(m_clStream.bRead(&out[0], n, pnGot));
    out.resize(*pnGot);
    return out;
  }

  std::string m_sBytes;
  CMemoryStream m_clSource;
  CReadAheadStream m_clStream{&m_clSource};
};

TEST_F(ReadAheadStream, EveryReadGivesTheSourceBytes) {
  const std::int64_t nSize = static_cast<std::int64_t>(m_sBytes.size());
  const unsigned nBlock = CReadAheadStream::knBlockSize;
  struct stRead {
    std::int64_t llAt;
    unsigned n;
  };
  const stRead kaReads[] = {
      {0, 30},                      // fills a block
      {30, 100},                    // inside it
      {nBlock - 10, 40},            // crosses its end
      {5, 20},                      // back before the block now held
      {1000, nBlock + 7},           // larger than a block: straight from the source
      {nBlock * 2, 12345},          // the last bytes exactly
      {nSize - 100, 500},           // past the end: a short count
      {nSize, 10},                  // at the end: nothing
      {nSize + 50, 10},             // beyond it: nothing
  };
  for (const stRead& r : kaReads) {
    SCOPED_TRACE(r.llAt);
    unsigned nGot = 99;
    const std::string s = sReadAt(r.llAt, r.n, &nGot);
    const std::int64_t llExpected = std::max<std::int64_t>(0, std::min<std::int64_t>(r.n, nSize - r.llAt));
    ASSERT_EQ(llExpected, static_cast<std::int64_t>(nGot));
    if (nGot > 0) {
      EXPECT_EQ(m_sBytes.substr(static_cast<std::size_t>(r.llAt), nGot), s);
    }
    EXPECT_EQ(r.llAt + nGot, m_clStream.oGetOffset());
  }
}

TEST_F(ReadAheadStream, SeeksAndExactReads) {
  const std::int64_t nSize = static_cast<std::int64_t>(m_sBytes.size());
  EXPECT_EQ(nSize, m_clStream.oGetSize());
  ASSERT_TRUE(m_clStream.bSeek(-4, XSEEK_END));
  char ac[8] = {};
  // Without a count the read must be whole: 4 bytes are left, not 8.
  EXPECT_FALSE(m_clStream.bRead(ac, 8, nullptr));
  ASSERT_TRUE(m_clStream.bSeek(-4, XSEEK_END));
  EXPECT_TRUE(m_clStream.bRead(ac, 4, nullptr));
  EXPECT_EQ(m_sBytes.substr(m_sBytes.size() - 4), std::string(ac, 4));
  ASSERT_TRUE(m_clStream.bSeek(-nSize, XSEEK_CURRENT));
  EXPECT_EQ(0, m_clStream.oGetOffset());
  EXPECT_FALSE(m_clStream.bSeek(-1, XSEEK_CURRENT));
  EXPECT_FALSE(m_clStream.bWrite(ac, 1, nullptr));
}

TEST_F(ReadAheadStream, InvalidateDropsWhatTheBlockHeld) {
  unsigned nGot = 0;
  ASSERT_EQ(m_sBytes.substr(0, 16), sReadAt(0, 16, &nGot));
  // The source changes, as when the facade opens another archive.
  m_sBytes[0] = static_cast<char>(m_sBytes[0] ^ 0x55);
  m_clStream.Invalidate();
  EXPECT_EQ(m_sBytes.substr(0, 16), sReadAt(0, 16, &nGot));
}

}  // namespace
