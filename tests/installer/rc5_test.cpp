// RC5 cipher family: published vectors (halves swapped), round trips of every
// length, chaining, refused round counts, unkeyed objects, key derivation and
// the password bytes shared with the archive directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../../installer/CCrypt.h"
#include "../../installer/PasswordBytes.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string Hex(const unsigned char* p, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

Bytes Pattern(std::size_t n, unsigned seed) {
  Bytes b(n);
  unsigned v = seed;
  for (auto& c : b) {
    v = v * 1103515245u + 12345u;
    c = static_cast<unsigned char>(v >> 16);
  }
  return b;
}

TEST(CCryptRC5Test, PublishedVectorsWithHalvesSwapped) {
  CCryptRC5 rc5;  // 12 rounds
  unsigned char zeroKey[16] = {};
  unsigned char block[8] = {};
  rc5.Crypt(block, 8, zeroKey);
  EXPECT_EQ(Hex(block, 8), "154b8f6d21a5dbee");

  const unsigned char key[16] = {0x91, 0x5F, 0x46, 0x19, 0xBE, 0x41, 0xB2, 0x51,
                                 0x63, 0x55, 0xA5, 0x01, 0x10, 0xA9, 0xCE, 0x91};
  rc5.Crypt(block, 8, key);
  EXPECT_EQ(Hex(block, 8), "5b2b8952f7c013ac");
  rc5.Uncrypt(block, 8, nullptr);
  EXPECT_EQ(Hex(block, 8), "154b8f6d21a5dbee");
}

TEST(CCryptRC5Test, RoundTripsEveryLengthAndRoundCount) {
  for (int rounds : {1, 12, 255}) {
    CCryptRC5 rc5(rounds);
    ASSERT_TRUE(rc5.bSetPasswordAnsi("secret"));
    for (std::size_t n = 0; n <= 40; ++n) {
      SCOPED_TRACE(testing::Message() << "rounds " << rounds << " length " << n);
      const Bytes plain = Pattern(n, static_cast<unsigned>(n * 7 + rounds));
      // Odd address: words are never read through a cast.
      Bytes buffer(n + 1);
      if (n > 0) std::memcpy(buffer.data() + 1, plain.data(), n);
      rc5.Crypt(buffer.data() + 1, static_cast<unsigned>(n), nullptr);
      const Bytes cipher(buffer.begin() + 1, buffer.end());
      if (n > 0) {
        EXPECT_NE(cipher, plain);
      }
      // Tail bytes are enciphered too, not passed through.
      for (std::size_t i = n / 8 * 8; i < n; ++i) {
        Bytes other = plain;
        other[i] ^= 0x01;
        rc5.Crypt(other.data(), static_cast<unsigned>(n), nullptr);
        EXPECT_NE(other[i] ^ cipher[i], 0x01) << "tail byte " << i;
      }
      rc5.Uncrypt(buffer.data() + 1, static_cast<unsigned>(n), nullptr);
      EXPECT_EQ(Bytes(buffer.begin() + 1, buffer.end()), plain);
    }
  }
}

TEST(CCryptRC5Test, BlocksAndTailAreChained) {
  CCryptRC5 rc5;
  ASSERT_TRUE(rc5.bSetPassword(L"chain"));
  Bytes data(21, 0x5A);  // two equal blocks, then five equal tail bytes
  rc5.Crypt(data.data(), 21, nullptr);
  EXPECT_NE(Bytes(data.begin(), data.begin() + 8), Bytes(data.begin() + 8, data.begin() + 16));
  bool bTailAllEqual = true;
  for (int i = 17; i < 21; ++i) bTailAllEqual = bTailAllEqual && data[i] == data[16];
  EXPECT_FALSE(bTailAllEqual);
}

TEST(CCryptRC5Test, KeyLengthsAreCutOrZeroPadded) {
  const Bytes plain = Pattern(19, 3);
  auto cipherWith = [&](const void* key, unsigned length) {
    CCryptRC5 rc5;
    EXPECT_TRUE(rc5.bSetCryptKey(key, length));
    Bytes data = plain;
    rc5.Crypt(data.data(), static_cast<unsigned>(data.size()), nullptr);
    return data;
  };
  const Bytes long20 = Pattern(20, 9);
  EXPECT_EQ(cipherWith(long20.data(), 20), cipherWith(long20.data(), 16));
  Bytes padded(16, 0);
  std::memcpy(padded.data(), long20.data(), 5);
  EXPECT_EQ(cipherWith(long20.data(), 5), cipherWith(padded.data(), 16));
  EXPECT_NE(cipherWith(long20.data(), 5), cipherWith(long20.data(), 16));
}

TEST(CCryptRC5Test, UnkeyedOrBadRoundCountLeavesDataUnchanged) {
  const Bytes plain = Pattern(27, 5);
  const unsigned char key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

  CCryptRC5 never;
  Bytes data = plain;
  never.Crypt(data.data(), 27, nullptr);
  EXPECT_EQ(data, plain);
  never.Uncrypt(data.data(), 27, nullptr);
  EXPECT_EQ(data, plain);

  for (int rounds : {0, -1, 256}) {
    SCOPED_TRACE(rounds);
    CCryptRC5 bad(rounds);
    EXPECT_FALSE(bad.bSetCryptKey(key));
    EXPECT_FALSE(bad.bSetCryptKey(key, 7));
    EXPECT_FALSE(bad.bSetPassword(L"pw"));
    EXPECT_FALSE(bad.bSetPasswordAnsi("pw"));
    EXPECT_FALSE(bad.bIsKeyed());
    Bytes badData = plain;
    bad.Crypt(badData.data(), 27, key);
    EXPECT_EQ(badData, plain);
    bad.Uncrypt(badData.data(), 27, key);
    EXPECT_EQ(badData, plain);
  }
}

TEST(CCryptRC5Test, PasswordBytesFollowCodePage1252ElseUtf16) {
  const struct {
    const wchar_t* password;
    const char* hex;
  } kCases[] = {
      {L"abc", "616263"},
      {L"\u00e9", "e9"},
      {L"\u20ac", "80"},
      {L"\u0100", "0001"},
      {L"a\U0001F600", "61003dd800de"},
      {L"", ""},
      {nullptr, ""},
  };
  for (const auto& c : kCases) {
    const Bytes b = PasswordToBytes(c.password);
    EXPECT_EQ(Hex(b.data(), b.size()), c.hex);
  }
}

TEST(CCryptRC5Test, KeyDerivationIsStable) {
  CCryptRC5 rc5;
  unsigned char key[16];
  unsigned char other[16];

  // The wide password goes through the same bytes as the 8-bit one.
  rc5.BuildCryptKey(key, L"abc");
  rc5.BuildCryptKeyAnsi(other, "abc");
  EXPECT_EQ(Hex(key, 16), Hex(other, 16));
  rc5.BuildCryptKey(key, nullptr);
  rc5.BuildCryptKeyBinary(other, nullptr, 0);
  EXPECT_EQ(Hex(key, 16), Hex(other, 16));

  // Derived keys key stored data: they must never change (values checked once
  // against a separate implementation of the hash). Lengths 59, 60 and
  // 61 cover the byte count overwriting the 0x01 marker and a second block.
  const std::string sixty(60, 'x');
  const struct {
    std::string input;
    const char* key;
  } kPins[] = {
      {"", "43e586e76b1784b1ccf51d08e0233ada"},
      {"abc", "25b370d0124b636e1113592b0eceda24"},
      {std::string(59, 'x'), "b927bcf11ff1c00a5a5a198a84668655"},
      {sixty, "edf1ecadb71509c57d3726838d4b1813"},
      {std::string(61, 'x'), "6667601aeb2fc52a154bc266f840de82"},
  };
  for (const auto& p : kPins) {
    SCOPED_TRACE(p.input.size());
    rc5.BuildCryptKeyBinary(key, p.input.data(), static_cast<unsigned>(p.input.size()));
    EXPECT_EQ(Hex(key, 16), p.key);
  }

  // A password keys the object to the key it derives.
  ASSERT_TRUE(rc5.bSetPassword(L"abc"));
  Bytes a = Pattern(13, 1);
  rc5.Crypt(a.data(), 13, nullptr);
  CCryptRC5 byKey;
  rc5.BuildCryptKeyAnsi(key, "abc");
  Bytes b = Pattern(13, 1);
  byKey.Crypt(b.data(), 13, key);
  EXPECT_EQ(a, b);
}

}  // namespace
