// Plain integer texts read by the library against the runtime's cast: for
// every integer type and the texts at and around its limits, the library
// either takes the text and gives exactly the cast's value, or leaves it to
// the cast; and a value holder fed a server text ends the same whichever way
// the text went.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAConvertVariant.h"
#include "IntegerText.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

struct IntType {
  unsigned short wCode;
  const char* pszMin;
  const char* pszMax;
  const char* pszBelowMin;
  const char* pszAboveMax;
};

const IntType kaTypes[] = {
    {ANY_UI1, "0", "255", "-1", "256"},
    {ANY_UI2, "0", "65535", "-1", "65536"},
    {ANY_UI4, "0", "4294967295", "-1", "4294967296"},
    {ANY_UI8, "0", "18446744073709551615", "-1", "18446744073709551616"},
    {ANY_UIX, "0", "18446744073709551615", "-1", "18446744073709551616"},
    {ANY_I1, "-128", "127", "-129", "128"},
    {ANY_I2, "-32768", "32767", "-32769", "32768"},
    {ANY_I4, "-2147483648", "2147483647", "-2147483649", "2147483648"},
    {ANY_I8, "-9223372036854775808", "9223372036854775807", "-9223372036854775809", "9223372036854775808"},
};

struct TextCase {
  std::string sText;
  bool bPlain;  // the library reads it itself
};

// The texts tried on every type: its own limits and those around them, then
// the common ones. A text is plain when it is '-'? digits within the type.
std::vector<TextCase> CasesFor(const IntType& type) {
  const bool bSigned = type.pszMin[0] == '-';
  return {
      {type.pszMin, true},
      {type.pszMax, true},
      {type.pszBelowMin, false},
      {type.pszAboveMax, false},
      {"0", true},
      {"-0", true},
      {"1", true},
      {"-1", bSigned},
      {"007", true},
      {"-007", bSigned},
      {"00000000000000000042", true},  // 20 digits
      {"000000000000000000042", false},  // 21 digits: left to the cast
      {"99999999999999999999", false},   // 20 digits beyond every type
      {"-99999999999999999999", false},
      {"", false},
      {"-", false},
      {"--1", false},
      {"1.0", false},
      {"1,5", false},
      {"1e3", false},
      {" 1", false},
      {"1 ", false},
      {"+1", false},
      {"1-", false},
      {"0x10", false},
      {"abc", false},
      {std::string("1\0" "2", 3), false},
  };
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The runtime's cast of the text to the type; the bytes start zero, as the
// holders' parse buffer does.
struct CastResult {
  int nResult;
  unsigned char aby[16];
};
CastResult Cast(const std::string& s, unsigned short wCode) {
  CastResult r{};
  const std::wstring w = Wide(s);
  r.nResult = CAny::__s_nCastTo(r.aby, w.c_str(), wCode, nullptr);
  return r;
}

std::string Label(const IntType& type, const std::string& s) {
  return "type " + std::to_string(type.wCode) + " text \"" + s + "\"";
}

class intparse : public BoundRuntimeTest {};

TEST_F(intparse, PlainTextsReadAsTheCastReadsThemAndOthersAreLeftToIt) {
  for (const IntType& type : kaTypes) {
    const std::size_t nSize = kxvalues::nPlainIntegerSize(type.wCode);
    ASSERT_GT(nSize, 0u) << type.wCode;
    for (const TextCase& c : CasesFor(type)) {
      SCOPED_TRACE(Label(type, c.sText));
      unsigned char abyA[16] = {};
      unsigned char abyW[16] = {};
      const bool bA = kxvalues::bReadPlainInteger(c.sText.data(), c.sText.size(), type.wCode, abyA);
      const std::wstring w = Wide(c.sText);
      const bool bW = kxvalues::bReadPlainInteger(w.data(), w.size(), type.wCode, abyW);
      EXPECT_EQ(c.bPlain, bA);
      EXPECT_EQ(bA, bW);
      EXPECT_EQ(0, std::memcmp(abyA, abyW, sizeof abyA));
      if (!bA) {
        // Refused: nothing written.
        EXPECT_EQ(std::string(16, '\0'), std::string(reinterpret_cast<char*>(abyA), 16));
        continue;
      }
      if (c.sText.find('\0') != std::string::npos) continue;
      const CastResult r = Cast(c.sText, type.wCode);
      EXPECT_LE(r.nResult, 99);
      EXPECT_EQ(0, std::memcmp(abyA, r.aby, nSize));
      EXPECT_EQ(std::string(16 - nSize, '\0'), std::string(reinterpret_cast<char*>(abyA) + nSize, 16 - nSize));
    }
  }
}

// The code page 1250 keeps digits ASCII too, but the library reads plain
// integers only in the server's own code pages (1252, UTF-8): a text in 1250
// takes the road every text took before, the runtime's cast.
constexpr unsigned knCastRoadCodePage = 1250;

// The holder's state a reader sees: its type word, size and bytes.
std::string State(const CNAConvertVariant& v) {
  CAny cl;
  const_cast<CNAConvertVariant&>(v).bGetValue(&cl);
  std::string s = std::to_string(cl.wGetType()) + ":" + std::to_string(v.nGetSize()) + ":";
  const auto* p = static_cast<const char*>(const_cast<CNAConvertVariant&>(v).pGetData());
  if (p != nullptr) s.append(p, v.nGetSize());
  return s;
}

TEST_F(intparse, HoldersEndTheSameWhicheverRoadTheServerTextTook) {
  for (const IntType& type : kaTypes) {
    for (const TextCase& c : CasesFor(type)) {
      if (c.sText.empty()) continue;  // an empty server value is no number
      SCOPED_TRACE(Label(type, c.sText));
      for (int nForm = 0; nForm < 3; ++nForm) {
        SCOPED_TRACE(nForm == 0 ? "8-bit text" : nForm == 1 ? "wide text" : "8-bit text into a value");
        // Bound holders over guarded bytes, as a column binds them; the
        // third form holds the value in itself.
        std::vector<unsigned char> abyFast(24, 0xEE);
        std::vector<unsigned char> abyCast(24, 0xEE);
        CNAConvertVariant clFast(nullptr, nullptr);
        CNAConvertVariant clCast(nullptr, nullptr);
        if (nForm < 2) {
          clFast.bInitTypeVariant(NAVT_BOUND, abyFast.data(), 8, type.wCode);
          clCast.bInitTypeVariant(NAVT_BOUND, abyCast.data(), 8, type.wCode);
        } else {
          clFast.InitTypeVariantAny(type.wCode, 0);
          clCast.InitTypeVariantAny(type.wCode, 0);
        }
        int nFast = 0;
        if (nForm == 1) {
          const std::wstring w = Wide(c.sText);
          nFast = clFast.bSetValueDB(w.c_str(), static_cast<unsigned long>(w.size()));
        } else {
          nFast = clFast.bSetValueDB(c.sText.data(), static_cast<unsigned long>(c.sText.size()), 65001);
        }
        const int nCast =
            clCast.bSetValueDB(c.sText.data(), static_cast<unsigned long>(c.sText.size()), knCastRoadCodePage);
        EXPECT_EQ(nCast, nFast);
        EXPECT_EQ(State(clCast), State(clFast));
        EXPECT_EQ(abyCast, abyFast);
      }
    }
  }
}

}  // namespace
