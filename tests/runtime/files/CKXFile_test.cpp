#include "support/DiskFileTestDirectory.h"
#include "CKXFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

std::string U16(std::uint16_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v)) + U16(v >> 16); }

// A product header as it stands on disk, written out byte by byte.
std::string Header(std::uint32_t type, std::uint32_t size = 20, std::uint8_t product = 30,
                   std::uint16_t format = 9, const std::string& signature = std::string("VLM\0", 4)) {
  std::string bytes = signature + U32(size) + U32(type) + U16(0x1234);
  bytes += static_cast<char>(20);
  bytes += static_cast<char>(product);
  return bytes + U16(format) + U16(0x5678);
}

// Sets the product code written in new headers for the length of a test.
class CCodeProduit {
 public:
  explicit CCodeProduit(std::uint8_t by) : m_bySaved(CKXFile::ms_byCodeProduitCourant) {
    CKXFile::ms_byCodeProduitCourant = by;
  }
  ~CCodeProduit() { CKXFile::ms_byCodeProduitCourant = m_bySaved; }

 private:
  std::uint8_t m_bySaved;
};

// A stream whose writes report one byte fewer than asked.
class CShortWriteStream : public IXStream {
 public:
  void Close() override {}
  eACCESS veGetAccess() override { return XACCESS_WRITE; }
  bool bWrite(const void*, unsigned n, unsigned* pnWritten) override {
    if (pnWritten != nullptr) *pnWritten = n - 1;
    return true;
  }
  const wchar_t* pszGetName() override { return L"/short/write"; }
};

class CKXFileTest : public DiskFileTestDirectory {
 protected:
  std::string Path(const char* name) const { return m_sBase + "/" + name; }
};

TEST_F(CKXFileTest, CreatingWritesTheHeaderFieldByField) {
  CCodeProduit clCode(30);
  const std::string path = Path("new.kx");
  CKXFile clFile(0x20001);
  ASSERT_TRUE(clFile.bOpen(Widen(path).c_str(), static_cast<eFORMAT>(7), XACCESS_READWRITE,
                           XSHARE_EXCLUSIVE, XCREATE_TRUNCATE, XFLAG_NONE));
  EXPECT_EQ(clFile.dwGetIdFichier(), 2u);  // the family is written as 2
  EXPECT_EQ(clFile.byGetCodeProduit(), 30);
  EXPECT_EQ(clFile.dwGetTailleEntete(), 20u);
  clFile.Close();
  const std::string expected = std::string("VLM\0", 4) + U32(20) + U32(2) + U16(0) +
                               std::string{20, 30} + U16(7) + U16(0);
  EXPECT_EQ(ReadAll(path), expected);
}

TEST_F(CKXFileTest, WriteHeaderAtAnOffsetAdvancesIt) {
  const std::string path = Path("offset.kx");
  WriteAll(path, "0123456");
  CKXFile clFile(0x30001);
  ASSERT_TRUE(clFile.CXFile::bOpen(Widen(path).c_str(), XACCESS_READWRITE, XSHARE_NONE,
                                   XCREATE_OPEN, XFLAG_NONE, nullptr));
  std::int64_t oOffset = 7;
  _stENTETE_FICHIER_KORVEX stHeader;
  ASSERT_TRUE(clFile.bWriteHeaderEx(&oOffset, &stHeader));
  EXPECT_EQ(oOffset, 27);
  EXPECT_EQ(stHeader.dwSignature, CKXFile::kdwSignature);
  EXPECT_EQ(stHeader.dwIdFichier, 0x30001u);
  oOffset = 7;
  CKXFile clReader(0x30001);
  ASSERT_TRUE(clReader.CXFile::bOpen(Widen(path).c_str(), XACCESS_READ, XSHARE_NONE,
                                     XCREATE_OPEN, XFLAG_NONE, nullptr));
  EXPECT_TRUE(clReader.bReadHeader(&oOffset));
  EXPECT_EQ(oOffset, 27);
  EXPECT_EQ(ReadAll(path).substr(0, 7), "0123456");
}

TEST_F(CKXFileTest, OpenOrCreateReadsAnExistingHeaderAndWritesANewOne) {
  const std::string existing = Path("existing.kx");
  const std::string original = Header(8);
  WriteAll(existing, original);
  CKXFile clOld(0x20001);
  ASSERT_TRUE(clOld.bOpen(Widen(existing).c_str(), XFORMAT_DEFAULT, XACCESS_READWRITE,
                          XSHARE_EXCLUSIVE, XCREATE_OPENORCREATE, XFLAG_NONE));
  EXPECT_EQ(clOld.dwGetIdFichier(), 8u);
  EXPECT_EQ(clOld.wGetFormat(), 9);
  EXPECT_EQ(clOld.wGetReserve12(), 0x1234);
  clOld.Close();
  EXPECT_EQ(ReadAll(existing), original);

  const std::string created = Path("created.kx");
  CKXFile clNew(0x40001);
  ASSERT_TRUE(clNew.bOpen(Widen(created).c_str(), XFORMAT_DEFAULT, XACCESS_READWRITE,
                          XSHARE_EXCLUSIVE, XCREATE_OPENORCREATE, XFLAG_NONE));
  clNew.Close();
  EXPECT_EQ(ReadAll(created).size(), 20u);
  EXPECT_EQ(CKXFile::dwIdFichierInconnu(Widen(created).c_str()), 0x40001u);
}

TEST_F(CKXFileTest, ReopenWritesOrReadsByTheCreateMode) {
  const std::string path = Path("reopen.kx");
  WriteAll(path, Header(5, 20) + "payload");
  CKXFile clFile(5);
  ASSERT_TRUE(clFile.bOpen(Widen(path).c_str(), XFORMAT_DEFAULT, XACCESS_READWRITE,
                           XSHARE_EXCLUSIVE, XCREATE_OPEN, XFLAG_NONE));
  ASSERT_TRUE(clFile.bReopen(XFORMAT_DEFAULT, XACCESS_READ, XSHARE_SHARED, XCREATE_OPEN,
                             XFLAG_NONE));
  EXPECT_EQ(ReadAll(path).size(), 27u);
  ASSERT_TRUE(clFile.bReopen(static_cast<eFORMAT>(3), XACCESS_READWRITE, XSHARE_EXCLUSIVE,
                             XCREATE_TRUNCATE, XFLAG_NONE));
  clFile.Close();
  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(16, 2), U16(3));
}

TEST_F(CKXFileTest, ReadingChecksTheHeader) {
  struct STCase {
    const char* pszName;
    std::string bytes;
    std::uint32_t dwAsked;
    unsigned nError;       // 0: accepted
    std::uint32_t dwType;  // type afterwards when accepted
    std::int64_t oEnd;     // offset after the header when accepted
  };
  const STCase astCases[] = {
      {"size 32", Header(5, 32) + std::string(12, 'x'), 5, 0, 5, 32},
      {"any type", Header(77), 0, 0, 77, 20},
      {"family 2", Header(2), 0x20001, 0, 2, 20},
      {"family 8", Header(8), 0x20001, 0, 8, 20},
      {"family 258", Header(258), 0x20001, 0, 258, 20},
      {"family 259", Header(259), 0x20001, 0, 259, 20},
      {"family itself", Header(0x20001), 0x20001, 0, 0x20001, 20},
      {"family against 3", Header(3), 0x20001, 28259, 0, 0},
      {"other type", Header(6), 5, 28259, 0, 0},
      {"size 19", Header(5, 19), 5, 28011, 0, 0},
      {"signature", Header(5, 20, 30, 9, "VLN" + std::string(1, '\0')), 5, 28555, 0, 0},
      {"10 bytes", Header(5).substr(0, 10), 0, 28011, 0, 0},
      {"19 bytes", Header(5).substr(0, 19), 5, 28011, 0, 0},
      {"3 bytes", "VLM", 0, 28555, 0, 0},
      {"empty", "", 0, 28555, 0, 0},
  };
  for (const STCase& st : astCases) {
    SCOPED_TRACE(st.pszName);
    const std::string path = Path("read.kx");
    WriteAll(path, st.bytes);
    CKXFile clFile(st.dwAsked);
    const bool bOk = clFile.bOpen(Widen(path).c_str(), XFORMAT_DEFAULT, XACCESS_READ,
                                  XSHARE_SHARED, XCREATE_OPEN, XFLAG_NONE);
    CXError* pclError = clFile.pclGetXError();
    ASSERT_NE(pclError, nullptr);
    if (st.nError == 0) {
      ASSERT_TRUE(bOk);
      EXPECT_EQ(clFile.dwGetIdFichier(), st.dwType);
      std::int64_t oOffset = 0;
      EXPECT_TRUE(clFile.bReadHeader(&oOffset));
      EXPECT_EQ(oOffset, st.oEnd);
      continue;
    }
    EXPECT_FALSE(bOk);
    EXPECT_FALSE(clFile.bIsOpen());  // closed after a refused header
    EXPECT_EQ(pclError->eGetErrorLevel(), ERRORLEVEL_ERROR);
    EXPECT_EQ(pclError->dwGetSystemErrorCode(), 0u);
    ASSERT_GE(pclError->nNumErrorId(), 1);
    EXPECT_EQ(pclError->nGetErrorId(0), st.nError);
    void* pValue = nullptr;
    ASSERT_TRUE(pclError->bGetInfo(EIT_SRCFILE, &pValue));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(pValue)), Widen(path));
  }
}

TEST_F(CKXFileTest, WrongSignatureNamesBothSignatures) {
  const std::string path = Path("bad.kx");
  WriteAll(path, Header(5, 20, 30, 9, "ABC" + std::string(1, '\0')));
  CKXFile clFile;
  ASSERT_FALSE(clFile.bOpen(Widen(path).c_str(), XFORMAT_DEFAULT, XACCESS_READ, XSHARE_NONE,
                            XCREATE_OPEN, XFLAG_NONE));
  const std::wstring debug = clFile.pclGetXError()->pszGetDebugMessage();
  EXPECT_NE(debug.find(L"##(CKXFile)-Signature geree=<5065814>, signature lue=<4407873>##"),
            std::wstring::npos)
      << std::string(debug.begin(), debug.end());
  const std::wstring user = clFile.pclGetXError()->pszGetUserMessage();
  EXPECT_NE(user.find(L"20.0"), std::wstring::npos);
  EXPECT_NE(user.find(Widen(path)), std::wstring::npos);
}

TEST_F(CKXFileTest, ShortHeaderWriteIsReported) {
  CKXFile clFile(4);
  clFile.SetStream(new CShortWriteStream());
  std::int64_t oOffset = 0;
  EXPECT_FALSE(clFile.bWriteHeader(&oOffset));
  EXPECT_EQ(oOffset, 0);
  CXError* pclError = clFile.pclGetXError();
  EXPECT_EQ(pclError->eGetErrorLevel(), ERRORLEVEL_ERROR);
  ASSERT_GE(pclError->nNumErrorId(), 1);
  EXPECT_EQ(pclError->nGetErrorId(0), 28009u);
  EXPECT_NE(std::wstring(pclError->pszGetDebugMessage()).find(L"A ecrire=<20>, ecrit=<19>"),
            std::wstring::npos);
}

TEST_F(CKXFileTest, StaticReadersOfTypeAndProduct) {
  const std::string good = Path("good.kx");
  const std::string unsigned_ = Path("unsigned.kx");
  const std::string shortFile = Path("short.kx");
  WriteAll(good, Header(0x70003, 20, 15));
  WriteAll(unsigned_, Header(0x70003, 20, 9, 0, "XYZ" + std::string(1, '\0')));
  WriteAll(shortFile, Header(0x70003).substr(0, 10));
  const std::wstring missing = Widen(Path("missing.kx"));

  EXPECT_EQ(CKXFile::dwIdFichierInconnu(Widen(good).c_str()), 0x70003u);
  EXPECT_EQ(CKXFile::dwIdFichierInconnu(Widen(unsigned_).c_str()), 0u);
  EXPECT_EQ(CKXFile::dwIdFichierInconnu(Widen(shortFile).c_str()), 0u);
  EXPECT_EQ(CKXFile::dwIdFichierInconnu(missing.c_str()), 0xFFFFFFFFu);

  EXPECT_EQ(CKXFile::byGetCodeProduit(Widen(good).c_str()), 15);
  EXPECT_EQ(CKXFile::byGetCodeProduit(Widen(unsigned_).c_str()), 9);  // no signature check
  EXPECT_EQ(CKXFile::byGetCodeProduit(Widen(shortFile).c_str()), 0);
  EXPECT_EQ(CKXFile::byGetCodeProduit(missing.c_str()), 0);
}

TEST(CKXFileIds, KnownTypesProjectsAndProductNames) {
  const std::pair<std::uint32_t, bool> astKnown[] = {
      {0, false},        {1, true},          {0x10007, true},   {0x10008, false},
      {0x60001, true},   {0x60002, false},   {0x70000, false},  {0x70006, true},
      {0x70007, false},  {0x80002, true},    {0x90001, false},  {0xA0001, true},
      {0xB0005, true},   {0xC0006, false},   {0xD0004, true},   {0xE0003, true},
      {0xF0002, true},   {0x100002, true},   {0x110005, true},  {0x110006, false},
      {0x120001, true},  {0x130001, true},   {0x140001, false}, {0x150001, false},
      {0x160001, true},  {0x160002, false},  {0xFFFFFFFF, false},
  };
  for (const auto& st : astKnown) EXPECT_EQ(CKXFile::bIdReconnu(st.first), st.second) << st.first;

  const std::pair<std::uint32_t, bool> astProjet[] = {
      {1, true}, {0x101, true}, {0x1001, true}, {0x10001, true}, {2, false}, {0x20001, false},
  };
  for (const auto& st : astProjet) EXPECT_EQ(CKXFile::s_bIsProjet(st.first), st.second);

  EXPECT_STREQ(CKXFile::s_pszVerNomProduit(6), L"Quenlor");
  EXPECT_STREQ(CKXFile::s_pszVerNomProduit(15), L"Ambrel");
  EXPECT_STREQ(CKXFile::s_pszVerNomProduit(20), L"Dosmire");
  EXPECT_STREQ(CKXFile::s_pszVerNomProduit(30), L"Siltra");
  EXPECT_STREQ(CKXFile::s_pszVerNomProduit(0), L"Korvex");
  EXPECT_STREQ(CKXFile::s_pszVerNomProduit(255), L"Korvex");
}

}  // namespace
