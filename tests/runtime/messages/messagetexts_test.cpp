// The library's message texts against the argument signatures recorded in
// its message files, runtime/messages/*.msg ("#sig <id> "<letters>"" right
// before each message): a text whose conversions do not match what its callers pass
// would crash the process that formats it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CTString.h"
#include "DllResLoader.h"
#include "DllResources.h"
#include "FormatWin.h"
#include "MessageSignatures.h"
#include "MyModuleInfo.h"

namespace {

// The signatures of every message file packed into the library's block.
STSignatures ReadSignatures() {
  STSignatures st;
  std::string sDir = __FILE__;
  sDir = sDir.substr(0, sDir.rfind("/tests/")) + "/runtime/messages";
  std::vector<std::string> aFiles;
  for (const auto& entry : std::filesystem::directory_iterator(sDir))
    if (entry.path().extension() == ".msg") aFiles.push_back(entry.path().string());
  std::sort(aFiles.begin(), aFiles.end());
  for (const std::string& sFile : aFiles) {
    ReadSignatureFile(sFile, st);
    if (!st.sError.empty()) break;
  }
  return st;
}

const STSignatures& Signatures() {
  static const STSignatures st = ReadSignatures();
  return st;
}

// Message identifiers that code formats: those of the user-error table and
// the out-of-memory message.
std::set<std::uint32_t> FormattedIds() {
  std::set<std::uint32_t> setIds{25193};
  for (const _stErrorDef& st : gstErrorDef76) setIds.insert(st.nMessageId);
  return setIds;
}

constexpr wchar_t kszWideSample[] = L"W\u00E9de";
constexpr char kszNarrowSample[] = "narrow";
// One digit reads the same in every base a text may print it in.
constexpr int knIntSample = 7;
constexpr long long kllSample = 7;

// Formats message nId with one sample argument of the right type per letter.
template <typename... A>
bool FormatWithSamples(std::uint32_t nId, const std::string& sSig, std::size_t i, CTString* pclOut,
                       A... args) {
  if (i == sSig.size()) return DLLRES_bFormatMessage(&gstMyModuleInfo76, nId, pclOut, args...);
  if constexpr (sizeof...(A) < 5) {
    switch (sSig[i]) {
      case 's': return FormatWithSamples(nId, sSig, i + 1, pclOut, args..., kszWideSample);
      case 'S': return FormatWithSamples(nId, sSig, i + 1, pclOut, args..., kszNarrowSample);
      case 'd': return FormatWithSamples(nId, sSig, i + 1, pclOut, args..., knIntSample);
      case 'l': return FormatWithSamples(nId, sSig, i + 1, pclOut, args..., kllSample);
      default: break;
    }
  }
  ADD_FAILURE() << "message " << nId << ": signature \"" << sSig
                << "\" is beyond what this test can pass (at most 5 arguments of s, S, d, l)";
  return false;
}

TEST(messagetexts, SignatureLinesAreWellFormed) {
  EXPECT_EQ(Signatures().sError, "");
  EXPECT_FALSE(Signatures().mapSig.empty());
}

TEST(messagetexts, EveryFormattedMessageHasASignature) {
  for (std::uint32_t nId : FormattedIds())
    EXPECT_EQ(Signatures().mapSig.count(nId), 1u) << "message " << nId << " has no #sig line";
}

TEST(messagetexts, StoredTextsUseExactlyTheirSignature) {
  for (const auto& [nId, sSig] : Signatures().mapSig) {
    SCOPED_TRACE(nId);
    CTString clText;
    ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo76, nId, &clText));
    EXPECT_GT(clText.nTaille(), 0);
    EXPECT_EQ(SignatureOf(clText.pszGet()), sSig) << "text: " << testing::PrintToString(std::wstring(clText.pszGet()));
  }
}

TEST(messagetexts, TextsFormatWithSampleArguments) {
  const std::wstring sInt = std::to_wstring(knIntSample);
  for (const auto& [nId, sSig] : Signatures().mapSig) {
    SCOPED_TRACE(nId);
    CTString clOut;
    ASSERT_TRUE(FormatWithSamples(nId, sSig, 0, &clOut));
    const std::wstring sOut = clOut.pszGet();
    EXPECT_FALSE(sOut.empty());
    if (sSig.find('s') != std::string::npos) {
      EXPECT_NE(sOut.find(kszWideSample), std::wstring::npos) << testing::PrintToString(sOut);
    }
    if (sSig.find('S') != std::string::npos) {
      EXPECT_NE(sOut.find(L"narrow"), std::wstring::npos) << testing::PrintToString(sOut);
    }
    if (sSig.find_first_of("dl") != std::string::npos) {
      EXPECT_NE(sOut.find(sInt), std::wstring::npos) << testing::PrintToString(sOut);
    }
  }
}

// The reader of the check itself: what it must accept and refuse.
TEST(messagetexts, SignatureReader) {
  struct {
    const wchar_t* pszText;
    const char* pszSig;
  } const aCases[] = {
      {L"no conversion, 100%% sure", ""},
      {L"%s and %ls", "ss"},
      {L"%S and %hs and %hS", "SSS"},
      {L"%lS", "s"},
      {L"%d %u %x %i %I32d", "ddddd"},
      {L"%I64d %lld", "ll"},
      {L"%p", "p"},
      {L"%-10s %.3s", "!!"},
      {L"%*d", "*"},
      {L"%1$s", "*"},
      {L"%ld %c %f", "???"},
  };
  for (const auto& c : aCases) EXPECT_EQ(SignatureOf(c.pszText), c.pszSig) << testing::PrintToString(std::wstring(c.pszText));
}

}  // namespace
