#include "CSimpleBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/HugeAllocation.h"

TEST(CSimpleBuffer, SetSizeGardeOuJette) {
  CSimpleBuffer buffer;
  EXPECT_EQ(buffer.pGetData(), nullptr);
  buffer.SetSize(8);
  ASSERT_NE(buffer.pGetData(), nullptr);
  std::memcpy(buffer.pGetData(), "abcdefgh", 8);
  unsigned char* avant = buffer.pGetData();
  buffer.SetSize(8);  // unchanged size: same block, same bytes
  EXPECT_EQ(buffer.pGetData(), avant);
  EXPECT_EQ(std::memcmp(buffer.pGetData(), "abcdefgh", 8), 0);
  buffer.SetSize(4);
  EXPECT_EQ(buffer.nGetSize(), 4u);
  buffer.SetSize(0);
  EXPECT_EQ(buffer.pGetData(), nullptr);
  EXPECT_EQ(buffer.nGetSize(), 0u);
}

TEST(CSimpleBuffer, Copies) {
  const CSimpleBuffer source("hello", 5);
  ASSERT_EQ(source.nGetSize(), 5u);
  CSimpleBuffer copie(&source);
  EXPECT_NE(copie.pGetData(), source.pGetData());
  EXPECT_EQ(std::memcmp(copie.pGetData(), "hello", 5), 0);
  const CSimpleBuffer deNul(static_cast<const CSimpleBuffer*>(nullptr));
  EXPECT_EQ(deNul.nGetSize(), 0u);
  const CSimpleBuffer taille(16ul);
  EXPECT_EQ(taille.nGetSize(), 16u);

  // Bytes of the own block, for a new size: read before the block goes.
  copie.CopyBuffer(copie.pGetData() + 1, 3);
  ASSERT_EQ(copie.nGetSize(), 3u);
  EXPECT_EQ(std::memcmp(copie.pGetData(), "ell", 3), 0);
  copie.CopyBuffer(copie.pGetData(), 3);
  EXPECT_EQ(std::memcmp(copie.pGetData(), "ell", 3), 0);
}

namespace {
// Sees every size change through the virtual slot.
class CBufferCompte : public CSimpleBuffer {
 public:
  void SetSize(unsigned long nSize) override {
    ++nAppels;
    CSimpleBuffer::SetSize(nSize);
  }
  int nAppels = 0;
};
}  // namespace

TEST(CSimpleBuffer, CopyBufferPasseParLeSlot) {
  CBufferCompte buffer;
  buffer.CopyBuffer("xy", 2);
  EXPECT_EQ(buffer.nAppels, 1);
  EXPECT_EQ(std::memcmp(buffer.pGetData(), "xy", 2), 0);
}

// A block that cannot be had leaves the buffer empty, and nothing is copied.
TEST(CSimpleBuffer, AllocationImpossible) {
  RunWhereHugeAllocationsFail([] {
    CSimpleBuffer buffer("abc", 3);
    buffer.SetSize(kTailleImpossible);
    EXPECT_EQ(buffer.pGetData(), nullptr);
    EXPECT_EQ(buffer.nGetSize(), 0u);
    static const unsigned char octets[4] = {1, 2, 3, 4};
    buffer.CopyBuffer(octets, kTailleImpossible);  // would read far beyond octets
    EXPECT_EQ(buffer.nGetSize(), 0u);
    const CSimpleBuffer enorme(kTailleImpossible);
    EXPECT_EQ(enorme.pGetData(), nullptr);
    EXPECT_EQ(enorme.nGetSize(), 0u);
  });
}
