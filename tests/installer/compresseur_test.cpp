// The compressor frame: header lengths by kind, and the stored kind's copy
// in both directions with its capacity and declared-length checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "CCompresseurBase.h"

namespace {

// The stored kind in both slots, as a real compressor falls back to it.
class CStored : public CCompresseurBase {
 protected:
  std::uint32_t _vdwCompresse() override { return _dwCompresseCopie(); }
  std::uint32_t _vdwDecompresse() override { return _dwDecompresseCopie(); }
};

using Bytes = std::vector<std::uint8_t>;

TEST(compresseurHeader, LengthsByKind) {
  CStored cl;
  const Bytes stored = {0, 0x34, 0x12, 0, 0};
  const Bytes packed2 = {2, 10, 0, 0, 0, 0x00, 0x01, 0, 0, 0, 0};
  const Bytes packed4 = {4, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
  const Bytes other = {1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0};
  EXPECT_EQ(cl.vdwTailleEntree(stored.data()), 0x1234u + 5);
  EXPECT_EQ(cl.dwTailleDecompression(stored.data()), 0x1234u);
  EXPECT_EQ(cl.vdwTailleEntree(packed2.data()), 10u + 11);
  EXPECT_EQ(cl.dwTailleDecompression(packed2.data()), 0x100u);
  EXPECT_EQ(cl.vdwTailleEntree(packed4.data()), 1u + 11);
  EXPECT_EQ(cl.dwTailleDecompression(packed4.data()), 0xFFFFFFFFu);
  EXPECT_EQ(cl.vdwTailleEntree(other.data()), 0xFFFFFFFFu);
  EXPECT_EQ(cl.dwTailleDecompression(other.data()), 0xFFFFFFFFu);
  EXPECT_EQ(cl.dwTailleBufferCompression(0), 7u);
  EXPECT_EQ(cl.dwTailleBufferCompression(100), 107u);
}

TEST(compresseurStored, RoundTripAndCapacity) {
  CStored cl;
  const Bytes in = {'a', 'b', 'c', 0, 0xFF};
  Bytes block(cl.dwTailleBufferCompression(5), 0xEE);

  // One byte short of length + 5: nothing written.
  EXPECT_EQ(cl.dwCompression(in.data(), 5, block.data(), 9), 0u);
  EXPECT_EQ(block[0], 0xEE);

  ASSERT_EQ(cl.dwCompression(in.data(), 5, block.data(), 10), 10u);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 10),
            (Bytes{0, 5, 0, 0, 0, 'a', 'b', 'c', 0, 0xFF}));
  EXPECT_EQ(cl.vdwTailleEntree(block.data()), 10u);

  Bytes out(5, 0xEE);
  EXPECT_EQ(cl.dwDecompression(block.data(), 10, out.data(), 4), 0u);  // output too small
  EXPECT_EQ(out, Bytes(5, 0xEE));
  ASSERT_EQ(cl.dwDecompression(block.data(), 10, out.data(), 5), 5u);
  EXPECT_EQ(out, in);

  // An empty input is a 5-byte block.
  EXPECT_EQ(cl.dwCompression(nullptr, 0, block.data(), 5), 5u);
  EXPECT_EQ(cl.dwTailleDecompression(block.data()), 0u);
}

TEST(compresseurStored, DecompressionTrustsNoHeaderBeyondTheInput) {
  CStored cl;
  Bytes out(64, 0xEE);
  struct Case {
    const char* name;
    Bytes block;
  };
  const Case cases[] = {
      {"declares more than it holds", {0, 4, 0, 0, 0, 'a', 'b', 'c'}},
      {"declares near 4 GiB", {0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
      {"shorter than the header", {0, 1, 0, 0}},
      {"another kind", {2, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 'x'}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cl.dwDecompression(c.block.data(), static_cast<std::uint32_t>(c.block.size()),
                                 out.data(), 64),
              0u)
        << c.name;
    EXPECT_EQ(out, Bytes(64, 0xEE)) << c.name;
  }
  // Extra bytes after the declared data are left alone.
  const Bytes longer = {0, 2, 0, 0, 0, 'x', 'y', 'z'};
  EXPECT_EQ(cl.dwDecompression(longer.data(), 8, out.data(), 64), 2u);
  EXPECT_EQ(out[0], 'x');
  EXPECT_EQ(out[1], 'y');
  EXPECT_EQ(out[2], 0xEE);
}

}  // namespace
