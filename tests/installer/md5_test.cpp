// MD5 digest: RFC 1321 vectors, block-boundary lengths checked against the
// system's md5sum, reset behaviour and whole-file digests.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../../installer/CMD5.h"
#include "CXError.h"

namespace {

std::string Hex(const unsigned char* p, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

std::string DigestWhole(const std::string& data) {
  CMD5 md5;
  md5.AddData(data.data(), static_cast<unsigned>(data.size()));
  unsigned char out[16];
  md5.FinalDigest(out);
  return Hex(out, 16);
}

// Fed one byte at a time from an odd address, so no step may rely on
// alignment or on whole blocks.
std::string DigestByteByByte(const std::string& data) {
  std::vector<unsigned char> copy(data.size() + 1);
  std::memcpy(copy.data() + 1, data.data(), data.size());
  CMD5 md5;
  for (std::size_t i = 0; i < data.size(); ++i) md5.AddData(copy.data() + 1 + i, 1);
  unsigned char out[16];
  md5.FinalDigest(out);
  return Hex(out, 16);
}

// Scratch directory removed with its files at the end of the test.
class TempDir {
 public:
  TempDir() {
    char templ[] = "/tmp/kxmd5_XXXXXX";
    const char* p = mkdtemp(templ);
    if (p != nullptr) m_path = p;
  }
  ~TempDir() {
    for (const std::string& f : m_files) unlink(f.c_str());
    if (!m_path.empty()) rmdir(m_path.c_str());
  }
  const std::string& Path() const { return m_path; }
  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = m_path + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return std::string();
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    m_files.push_back(path);
    return path;
  }

 private:
  std::string m_path;
  std::vector<std::string> m_files;
};

std::string Md5sumOf(const std::string& path) {
  const std::string command = "md5sum '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::string();
  char buffer[64] = {};
  const std::size_t n = std::fread(buffer, 1, 32, pipe);
  pclose(pipe);
  return std::string(buffer, n);
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(CMD5Test, Rfc1321VectorsWholeAndByteByByte) {
  const struct {
    const char* input;
    const char* digest;
  } kCases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(DigestWhole(c.input), c.digest);
    EXPECT_EQ(DigestByteByByte(c.input), c.digest);
  }
}

TEST(CMD5Test, BlockBoundaryLengthsMatchMd5sum) {
  TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  for (std::size_t n : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1024u, 3079u}) {
    SCOPED_TRACE(n);
    std::string data(n, '\0');
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    const std::string path = dir.Write("data" + std::to_string(n), data);
    ASSERT_FALSE(path.empty());
    const std::string expected = Md5sumOf(path);
    ASSERT_EQ(expected.size(), 32u) << "md5sum not available";
    EXPECT_EQ(DigestWhole(data), expected);
    EXPECT_EQ(DigestByteByByte(data), expected);

    // Uneven pieces straddling the 64-byte buffer.
    CMD5 md5;
    std::size_t pos = 0, step = 1;
    while (pos < n) {
      const std::size_t k = std::min(step, n - pos);
      md5.AddData(data.data() + pos, static_cast<unsigned>(k));
      pos += k;
      step = step * 3 % 97 + 1;
    }
    unsigned char out[16];
    md5.FinalDigest(out);
    EXPECT_EQ(Hex(out, 16), expected);

    // The same file through the runtime's stream, in 1024-byte reads.
    unsigned char fileDigest[16];
    _CXErrorModule76 error;
    EXPECT_TRUE(md5.bDigestFile(Wide(path).c_str(), fileDigest, &error));
    EXPECT_EQ(Hex(fileDigest, 16), expected);
  }
}

TEST(CMD5Test, FinalDigestAndResetLeaveObjectReset) {
  CMD5 md5;
  unsigned char out[16];
  md5.AddData("abc", 3);
  md5.FinalDigest(out);
  EXPECT_EQ(Hex(out, 16), "900150983cd24fb0d6963f7d28e17f72");
  md5.FinalDigest(out);
  EXPECT_EQ(Hex(out, 16), "d41d8cd98f00b204e9800998ecf8427e");

  md5.AddData("some bytes that must be forgotten", 33);
  md5.Reset();
  md5.AddData("a", 1);
  md5.FinalDigest(out);
  EXPECT_EQ(Hex(out, 16), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5.dwGetDigestSize(), 16u);
  EXPECT_EQ(md5.dwGetBlockSize(), 64u);
}

TEST(CMD5Test, CountedObjectGoesWithLastRelease) {
  IMessageDigest* digest = new CMD5();
  EXPECT_EQ(digest->AddRef(), 1u);
  EXPECT_EQ(digest->AddRef(), 2u);
  EXPECT_EQ(digest->Release(), 1u);
  EXPECT_EQ(digest->Release(), 0u);  // deleted here; the leak checker sees the rest
}

TEST(CMD5Test, DigestFileFailuresReportAtLevelTwo) {
  TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  unsigned char out[16];
  std::memset(out, 0xAA, sizeof out);
  CMD5 md5;

  // Missing file: the open fails.
  _CXErrorModule76 openError;
  EXPECT_FALSE(md5.bDigestFile(Wide(dir.Path() + "/missing").c_str(), out, &openError));
  EXPECT_EQ(openError.eGetErrorLevel(), ERRORLEVEL_WARNING);
  EXPECT_EQ(openError.nGetErrorId(0), 28139u);

  // A directory opens but its first read fails: no digest of nothing may be
  // passed off as the file's.
  _CXErrorModule76 readError;
  md5.AddData("pending", 7);
  EXPECT_FALSE(md5.bDigestFile(Wide(dir.Path()).c_str(), out, &readError));
  EXPECT_EQ(readError.eGetErrorLevel(), ERRORLEVEL_WARNING);
  EXPECT_EQ(readError.nGetErrorId(0), 28003u);
  EXPECT_EQ(readError.dwGetSystemErrorCode(), static_cast<std::uint32_t>(EISDIR));
  for (unsigned char b : out) EXPECT_EQ(b, 0xAA);

  // The failed call left the object reset.
  md5.FinalDigest(out);
  EXPECT_EQ(Hex(out, 16), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
