// Packed message blocks: the packer, the lookup with its per-block index,
// and the unpacker, on packed texts and on records written by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "CDataCompressor.h"
#include "CResAnsi76.h"
#include "CTString.h"
#include "CodePage.h"
#include "DllResources.h"
#include "support/MessagesTestBlock.h"
#include "XMalloc.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The two payload bytes of three digits.
Bytes Pair(int d0, int d1, int d2) {
  const unsigned v = static_cast<unsigned>(d0 * 1600 + d1 * 40 + d2);
  return {static_cast<unsigned char>(v / 255 + 1), static_cast<unsigned char>(v % 255 + 1)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& b : parts) out.insert(out.end(), b.begin(), b.end());
  return out;
}

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return L"";
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

class MessagesPacking : public ::testing::Test {
 protected:
  void SetUp() override { CTestLoader::Uninstall(); }
};

// ---------------------------------------------------------------------------
// Packer, lookup and unpacker together

struct STText {
  const char* pszName;
  std::string sUtf8;
  std::wstring sWide;
};

std::vector<STText> RoundTripTexts() {
  return {
      {"empty", "", L""},
      {"one digit, one byte", "a", L"a"},
      {"two digits, padded pair", "ab", L"ab"},
      {"one pair", "abc", L"abc"},
      {"plain", "Connexion impossible au serveur.", L"Connexion impossible au serveur."},
      {"format", "Table %s: %d rows (%S) [x=1]\r\n", L"Table %s: %d rows (%S) [x=1]\r\n"},
      {"accents lock table 3", "éèàçêôùîâ § 10 € « guillemets » ’",
       L"éèàçêôùîâ § 10 € « guillemets » ’"},
      {"table 0 slots 30 and 31 under table 3", "éé-\néé", L"éé-\néé"},
      {"table 0 slots 30 and 31 as current", "--\n\n", L"--\n\n"},
      {"table 2 slots 30 and 31", "a~b$c~~$$|", L"a~b$c~~$$|"},
      {"escapes inside table 3", "éΩé", L"éΩé"},
      {"escape runs", "Über Ωmega 漢字 😀", L"Über Ωmega 漢字 😀"},
      {"control bytes", "\x01\x02x\x7f", L"\x01\x02x\x7f"},
      {"escape run ends the text", "aЖ", L"aЖ"},
      {"escape byte ends the text", "a\x01", L"a\x01"},
      {"runs longer than 255 bytes", std::string(300, '\x7f'), std::wstring(300, L'\x7f')},
      {"singular and plural", "un fichier\n§\n%d fichiers", L"un fichier\n§\n%d fichiers"},
  };
}

TEST_F(MessagesPacking, EveryTextComesBackThroughLookupAndUnpacking) {
  const std::vector<STText> aTexts = RoundTripTexts();
  std::vector<CMessagePacker::STMessage> aMessages;
  for (std::size_t i = 0; i < aTexts.size(); ++i)
    aMessages.push_back({static_cast<std::uint32_t>(100 + 10 * i), static_cast<std::uint32_t>(i % 4),
                         aTexts[i].sUtf8, false});
  auto pBlock = CTestBlock::Packed(aMessages);
  ASSERT_NE(pBlock, nullptr);
  const _stMyModuleInfo* pstModule = pBlock->Module();

  for (std::size_t i = 0; i < aTexts.size(); ++i) {
    SCOPED_TRACE(aTexts[i].pszName);
    const std::uint32_t nId = aMessages[i].nId;
    STRessourceModule st;
    ASSERT_TRUE(pBlock->bLookup(nId, &st));
    EXPECT_EQ(st.nUsage, i % 4);
    EXPECT_EQ(st.nEncoding, CDataCompressor::ENCODING_UTF8);

    wchar_t* psz = CDataCompressor::s_pszDeCompress(&st);
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(std::wstring(psz), aTexts[i].sWide);
    XMALLOC_Del_(psz);

    CTString cl;
    if (aTexts[i].sWide.empty()) {
      EXPECT_TRUE(DLLRES_bLoadString(pstModule, nId, &cl));
      EXPECT_EQ(cl.nTaille(), 0);
      continue;
    }
    ASSERT_TRUE(DLLRES_bLoadString(pstModule, nId, &cl));
    EXPECT_EQ(std::wstring(cl.pszGet()), aTexts[i].sWide);

    // Exactly enough room, then one slot too few: cut and terminated.
    const std::uint32_t nLength = static_cast<std::uint32_t>(aTexts[i].sWide.size());
    std::vector<wchar_t> aBuffer(nLength + 1, L'#');
    EXPECT_EQ(DLLRES_nLoadString(pstModule, nId, aBuffer.data(), nLength + 1),
              static_cast<int>(nLength));
    EXPECT_EQ(std::wstring(aBuffer.data()), aTexts[i].sWide);
    std::vector<wchar_t> aShort(nLength, L'#');
    EXPECT_EQ(DLLRES_nLoadString(pstModule, nId, aShort.data(), nLength), static_cast<int>(nLength) - 1);
    EXPECT_EQ(std::wstring(aShort.data()), aTexts[i].sWide.substr(0, nLength - 1));
  }
}

TEST_F(MessagesPacking, OnlyStoredIdentifiersAreFoundOnTheirLow16Bits) {
  auto pBlock = CTestBlock::Packed({{10, 1, "ten", false}, {30, 2, "thirty", false}});
  ASSERT_NE(pBlock, nullptr);
  STRessourceModule st;
  for (std::uint32_t nId : {0u, 9u, 11u, 20u, 29u, 31u, 65535u}) {
    EXPECT_FALSE(pBlock->bLookup(nId, &st)) << nId;
    EXPECT_EQ(st.nUsage, 0xFFFFFFFFu) << nId;
  }
  ASSERT_TRUE(pBlock->bLookup(30 + 65536, &st));
  EXPECT_EQ(st.nUsage, 2u);
  EXPECT_EQ(DLLRES_nGetUtilisation(pBlock->Module(), 20), -1);
  EXPECT_EQ(DLLRES_nGetUtilisation(pBlock->Module(), 10), 1);
  wchar_t sz[8] = L"keep";
  EXPECT_EQ(DLLRES_nLoadString(pBlock->Module(), 20, sz, 8), 0);
  EXPECT_EQ(std::wstring(sz), L"keep");
  CTString cl(L"keep");
  EXPECT_FALSE(DLLRES_bLoadString(pBlock->Module(), 20, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"keep");
}

TEST_F(MessagesPacking, EachBlockHasItsOwnIndex) {
  auto pFirst = CTestBlock::Packed({{3355, 0, "first", false}});
  auto pSecond = CTestBlock::Packed({{5, 0, "a"}, {3355, 3, "second", false}});
  ASSERT_NE(pFirst, nullptr);
  ASSERT_NE(pSecond, nullptr);
  CTString cl;
  ASSERT_TRUE(DLLRES_bLoadString(pFirst->Module(), 3355, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"first");
  ASSERT_TRUE(DLLRES_bLoadString(pSecond->Module(), 3355, &cl));
  EXPECT_EQ(std::wstring(cl.pszGet()), L"second");
  EXPECT_EQ(CResAnsi76::s_nGetRecordCount(pFirst->Index()), 1u);
  EXPECT_EQ(CResAnsi76::s_nGetRecordCount(pSecond->Index()), 2u);
  // The library's own block knows none of the test identifiers.
  STRessourceModule st;
  st.nId = 5;
  EXPECT_FALSE(bGetResAnsi76(&st));
}

// ---------------------------------------------------------------------------
// Records written by hand

struct STHandMade {
  const char* pszName;
  Bytes aPayload;
  std::string sExpected;  // unpacked bytes
  int nResult;
};

TEST_F(MessagesPacking, HandMadePayloadsFollowTheCode) {
  const std::vector<STHandMade> aCases = {
      {"shift then current table", Pair(1, 8, 9), "Ab", 0},
      {"lone last byte is one digit", {9}, "a", 0},
      {"escape byte after the pair, then the pair's last digit", Cat({Pair(3, 38, 8), {'Q'}}), "Qa", 0},
      {"escape run under table 3, then a lone digit", Cat({Pair(7, 39, 4), {3, 'x', 'y', 'z', 10}}),
       "xyzb", 0},
      {"two escapes of one pair take their bytes in turn", Cat({Pair(7, 38, 38), {'1', '2'}}), "12", 0},
      {"shift to 0 under table 3: 38 is a character", Pair(7, 0, 38), "-", 0},
      {"38 and 39 outside the escape states", Pair(2, 38, 39), "$\n", 0},
      {"lock does not end a pending shift", Pair(1, 4, 8), "A", 0},
      {"digit 40: pair value 64000", {251, 251}, "", 4},
      {"largest pair value is no digit", {255, 255}, "", 4},
      {"zero first byte", {0, 5}, "", 4},
      {"zero second byte", {5, 0}, "", 4},
      {"lone byte above 40", Cat({Pair(8, 8, 8), {41}}), "aaa", 4},
      {"lone zero byte", Cat({Pair(8, 8, 8), {0}}), "aaa", 4},
      {"hole of table 3", Pair(7, 3, 38), "", 4},
      {"escape byte missing", Pair(3, 38, 8), "", 5},
      {"escape count missing", Pair(3, 39, 8), "", 5},
      {"escape run too short", Cat({Pair(3, 39, 8), {5, 'a', 'b'}}), "", 5},
  };
  for (const STHandMade& c : aCases) {
    SCOPED_TRACE(c.pszName);
    CDataCompressor cl;
    unsigned char aby[16];
    std::memset(aby, '#', sizeof(aby));
    std::uint32_t nLength = 99;
    EXPECT_EQ(cl.nDeCompress(c.aPayload.data(), static_cast<std::uint32_t>(c.aPayload.size()), aby,
                             sizeof(aby), &nLength),
              c.nResult);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(aby)), c.sExpected);
    EXPECT_EQ(nLength, c.sExpected.size());

    // In a block: a record that does not decode loads nothing.
    Bytes aBlock;
    AppendRawRecord(aBlock, 7, 0, c.aPayload);
    aBlock.insert(aBlock.end(), {0, 0});
    CTestBlock clBlock(aBlock);
    wchar_t sz[16];
    CTString clText(L"keep");
    if (c.nResult == 0) {
      EXPECT_EQ(DLLRES_nLoadString(clBlock.Module(), 7, sz, 16), static_cast<int>(c.sExpected.size()));
      EXPECT_TRUE(DLLRES_bLoadString(clBlock.Module(), 7, &clText));
    } else {
      EXPECT_EQ(DLLRES_nLoadString(clBlock.Module(), 7, sz, 16), 0);
      EXPECT_FALSE(DLLRES_bLoadString(clBlock.Module(), 7, &clText));
      EXPECT_EQ(std::wstring(clText.pszGet()), L"keep");
      STRessourceModule st;
      ASSERT_TRUE(clBlock.bLookup(7, &st));
      int nCapacity = 16;
      EXPECT_EQ(CDataCompressor::s_nDeCompress(sz, &nCapacity, &st), c.nResult);
      EXPECT_EQ(nCapacity, -1);
      EXPECT_EQ(CDataCompressor::s_pszDeCompress(&st), nullptr);
    }
  }
}

TEST_F(MessagesPacking, UnpackingCutsToTheCapacityAndCountsTheRest) {
  const Bytes aPayload = CMessagePacker::s_Pack("abcdef");
  CDataCompressor cl;
  for (std::uint32_t nCapacity : {0u, 1u, 3u, 6u, 7u}) {
    SCOPED_TRACE(nCapacity);
    std::vector<unsigned char> aOut(nCapacity + 1, '#');
    std::uint32_t nLength = 0;
    const int nResult = cl.nDeCompress(aPayload.data(), static_cast<std::uint32_t>(aPayload.size()),
                                       aOut.data(), nCapacity, &nLength);
    EXPECT_EQ(nLength, 6u);
    EXPECT_EQ(nResult, nCapacity > 6 ? 0 : 2);
    if (nCapacity == 0) {
      EXPECT_EQ(aOut[0], '#');
    } else {
      const std::size_t nStored = nCapacity > 6 ? 6 : nCapacity - 1;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(aOut.data())), std::string("abcdef", nStored));
    }
    EXPECT_EQ(aOut[nCapacity], '#');  // nothing past the capacity
  }
}

TEST_F(MessagesPacking, WideUnpackingByEncoding) {
  // UTF-16 units, surrogates kept as two characters.
  const unsigned short anUnits[] = {0x41, 0xE9, 0x20AC, 0xD834, 0xDD1E};
  std::string sUtf16(reinterpret_cast<const char*>(anUnits), sizeof(anUnits));
  Bytes aBlock;
  AppendRawRecord(aBlock, 1, 0x40 | 2, CMessagePacker::s_Pack(sUtf16));
  AppendRawRecord(aBlock, 2, 0, CMessagePacker::s_Pack("abcdef"));
  aBlock.push_back(0);
  aBlock.push_back(0);
  CTestBlock clBlock(aBlock);
  const std::wstring sWide16 = {0x41, 0xE9, 0x20AC, 0xD834, 0xDD1E};

  STRessourceModule st16;
  ASSERT_TRUE(clBlock.bLookup(1, &st16));
  EXPECT_EQ(st16.nEncoding, CDataCompressor::ENCODING_UTF16);
  EXPECT_EQ(st16.nUsage, 2u);
  STRessourceModule st8;
  ASSERT_TRUE(clBlock.bLookup(2, &st8));

  struct STCase {
    const STRessourceModule* pst;
    std::wstring sText;
  };
  for (const STCase& c : {STCase{&st16, sWide16}, STCase{&st8, L"abcdef"}}) {
    const int nLength = static_cast<int>(c.sText.size());
    wchar_t sz[16];
    int nCapacity = 16;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(sz, &nCapacity, c.pst), 0);
    EXPECT_EQ(nCapacity, nLength);
    EXPECT_EQ(std::wstring(sz), c.sText);
    // Cut: the last slot holds the NUL, the capacity argument the length needed.
    std::vector<wchar_t> aShort(3, L'#');
    nCapacity = 3;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(aShort.data(), &nCapacity, c.pst), 2);
    EXPECT_EQ(nCapacity, nLength);
    EXPECT_EQ(std::wstring(aShort.data()), c.sText.substr(0, 2));
  }

  STRessourceModule stBad = st8;
  stBad.nEncoding = 3;
  wchar_t sz[16];
  int nCapacity = 16;
  EXPECT_EQ(CDataCompressor::s_nDeCompress(sz, &nCapacity, &stBad), 4);
  EXPECT_EQ(nCapacity, -1);
  EXPECT_EQ(CDataCompressor::s_pszDeCompress(&stBad), nullptr);
}

// ---------------------------------------------------------------------------
// The walk that builds a block's index

TEST_F(MessagesPacking, TheWalkStopsAtABlocksEndOrAFaultyRecord) {
  const Bytes aA = CMessagePacker::s_Pack("a");
  struct STCase {
    const char* pszName;
    Bytes aBlock;
    std::uint32_t nMaxRecords;
    std::uint32_t nRecords;
  };
  auto Block = [&](std::initializer_list<std::function<void(Bytes&)>> parts) {
    Bytes b;
    for (const auto& f : parts) f(b);
    return b;
  };
  auto Rec = [&](std::uint32_t nId, std::uint32_t nLength = 0, std::uint32_t nPacked = 0xFFFFFFFF) {
    return std::function<void(Bytes&)>(
        [=](Bytes& b) { AppendRawRecord(b, nId, 0, aA, nLength, nPacked); });
  };
  auto End = std::function<void(Bytes&)>([](Bytes& b) {
    b.push_back(0);
    b.push_back(0);
  });
  const std::vector<STCase> aCases = {
      {"zero length ends it", Block({Rec(10), Rec(20), End, Rec(30)}), 8, 2},
      {"no end marker: the block's end", Block({Rec(10), Rec(20)}), 8, 2},
      {"a length below 7", Block({Rec(10), Rec(20, 6), Rec(30)}), 8, 1},
      {"a record past the block's end", Block({Rec(10), Rec(20, 200)}), 8, 1},
      {"a payload past its record", Block({Rec(10), Rec(20, 0, 5), End}), 8, 1},
      {"a lone byte at the end", Block({Rec(10), [](Bytes& b) { b.push_back(9); }}), 8, 1},
      {"the offset table is full", Block({Rec(10), Rec(20), Rec(30), End}), 2, 2},
      {"an empty block", Block({End}), 8, 0},
      {"no bytes at all", Bytes{}, 8, 0},
  };
  for (const STCase& c : aCases) {
    SCOPED_TRACE(c.pszName);
    CTestBlock clBlock(c.aBlock, c.nMaxRecords);
    EXPECT_EQ(CResAnsi76::s_nGetRecordCount(clBlock.Index()), c.nRecords);
    STRessourceModule st;
    EXPECT_EQ(clBlock.bLookup(10, &st), c.nRecords >= 1);
    EXPECT_EQ(clBlock.bLookup(20, &st), c.nRecords >= 2);
    EXPECT_FALSE(clBlock.bLookup(30, &st));
    wchar_t sz[4];
    EXPECT_EQ(DLLRES_nLoadString(clBlock.Module(), 10, sz, 4), c.nRecords >= 1 ? 1 : 0);
  }
}

// ---------------------------------------------------------------------------
// The message file and the library's own block

TEST_F(MessagesPacking, MessageFileSyntax) {
  std::istringstream in(
      "# comment\n"
      "\n"
      "  7 1 a\\nb\\s\\t\\\\\\u{A7}\\u{1F600}   \n"
      "8\t3\t  leading blanks go  \n"
      "9 0\n");
  std::vector<CMessagePacker::STMessage> aMessages;
  std::string sError;
  ASSERT_TRUE(CMessagePacker::s_bParse(in, aMessages, sError)) << sError;
  ASSERT_EQ(aMessages.size(), 3u);
  EXPECT_EQ(aMessages[0].nId, 7u);
  EXPECT_EQ(aMessages[0].nUsage, 1u);
  EXPECT_EQ(aMessages[0].sBytes, "a\nb \t\\\xC2\xA7\xF0\x9F\x98\x80");
  EXPECT_EQ(aMessages[1].sBytes, "leading blanks go");
  EXPECT_EQ(aMessages[1].nUsage, 3u);
  EXPECT_EQ(aMessages[2].sBytes, "");

  for (const char* pszBad : {"5 0 a\n5 0 b\n", "6 0 a\n5 0 b\n", "65536 0 a\n", "5 4 a\n", "5 0 \\q\n",
                             "5 0 \\u{D800}\n", "5 0 \\u{}\n", "5 0 \xC3\n", "5 0 \xC0\x80\n", "x 0 a\n",
                             "5\n5 0 a\n", "5x 0 a\n"}) {
    std::istringstream bad(pszBad);
    EXPECT_FALSE(CMessagePacker::s_bParse(bad, aMessages, sError)) << pszBad;
    EXPECT_EQ(sError.rfind("line ", 0), 0u) << sError;
  }
}

TEST_F(MessagesPacking, TheLibraryBlockHoldsEveryTextOfItsMessageFiles) {
  std::string sDir = __FILE__;
  sDir = sDir.substr(0, sDir.rfind("/tests/")) + "/runtime/messages";
  std::vector<CMessagePacker::STMessage> aMessages;
  for (const auto& entry : std::filesystem::directory_iterator(sDir)) {
    if (entry.path().extension() != ".msg") continue;
    std::ifstream in(entry.path());
    ASSERT_TRUE(in) << entry.path();
    std::vector<CMessagePacker::STMessage> aFile;
    std::string sError;
    ASSERT_TRUE(CMessagePacker::s_bParse(in, aFile, sError)) << entry.path() << " " << sError;
    aMessages.insert(aMessages.end(), aFile.begin(), aFile.end());
  }
  ASSERT_FALSE(aMessages.empty());
  EXPECT_EQ(CResAnsi76::s_nGetRecordCount(CResAnsi76::m_stRessource), aMessages.size());
  EXPECT_EQ(std::memcmp(_pbyBufferRes76 - (sizeof(kszResBlockStart) - 1), kszResBlockStart,
                        sizeof(kszResBlockStart) - 1),
            0);
  for (const CMessagePacker::STMessage& m : aMessages) {
    SCOPED_TRACE(m.nId);
    STRessourceModule st;
    st.nId = m.nId;
    ASSERT_TRUE(bGetResAnsi76(&st));
    EXPECT_EQ(st.nUsage, m.nUsage);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo76, m.nId), static_cast<int>(m.nUsage));
    CTString cl;
    ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, m.nId, &cl));
    EXPECT_EQ(std::wstring(cl.pszGet()), FromUtf8(m.sBytes));
  }
}

}  // namespace
