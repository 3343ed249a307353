// Date-times and durations in the runtime's shared strings and binary
// buffers.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "CTNBIN.h"
#include "CXYString.h"
#include "support/SharedStringFixture.h"

namespace {

using datetime_Hosted = SharedStringTest;

std::string Text(const CDateTimeBase& v) {
  char buffer[18];
  v.VersChaine(buffer, 17);
  return buffer;
}

std::string Narrow(const wchar_t* text) {
  std::string s;
  for (; text != nullptr && *text != 0; ++text) s += static_cast<char>(*text);
  return s;
}

std::string Bytes(const CTNBIN& b) {
  return b.pGetData()
             ? std::string(reinterpret_cast<const char*>(b.pGetData()), b.nGetTailleUtile())
             : std::string();
}

// A buffer of `length` bytes whose block goes on with more text after them,
// as a buffer cut down in place does: a reader that passes the length finds
// those bytes instead of a terminator.
CTNBIN Cut(const char* text, long length) {
  const long all = static_cast<long>(std::strlen(text));
  CTNBIN b(text, all);
  b.SetUtilSize(length);
  std::memcpy(b.pGetData() + length, text + length, static_cast<std::size_t>(all - length));
  return b;
}

CDateTimeBase Date(int year, int month, int day, std::uint32_t ms) {
  CDateTimeBase v;
  v.Set(year, month, day, 0, 0, 0, 0);
  v.m_dwHeure = ms;
  return v;
}

TEST_F(datetime_Hosted, BinaryReadersStopAtTheLength) {
  CTNBIN three = Cut("20230515123045123", 3);
  ASSERT_EQ(three.nGetTailleUtile(), 3u);
  ASSERT_EQ(three.pGetData()[3], '3');

  CDateTimeBase v = Date(1999, 9, 9, 9);
  v.DepuisBinaire(&three, 0);
  EXPECT_EQ(Text(v), "00000000000000000");
  v = Date(1999, 9, 9, 9);
  EXPECT_EQ(v.nDepuisBinaireValide(&three, 0), 110);
  EXPECT_EQ(Text(v), "19990909000000009");

  CTNBIN twelve = Cut("20230515123045123", 12);
  v.DepuisBinaire(&twelve, 0);
  EXPECT_EQ(Text(v), "20230515123000000");

  // At most 17 bytes of a longer buffer.
  CTNBIN longer("2023051512304512399", 19);
  v.DepuisBinaire(&longer, 0);
  EXPECT_EQ(Text(v), "20230515123045123");
  EXPECT_EQ(v.nDepuisBinaireValide(&longer, 0), 0);
  EXPECT_EQ(Text(v), "20230515123045123");

  v.DepuisBinaire(nullptr, 0);
  EXPECT_EQ(Text(v), "00000000000000000");
}

TEST_F(datetime_Hosted, CheckedBinaryReaderRefusesAndKeepsTheValue) {
  struct {
    const char* text;
    int rc;
    const char* expected;
  } rows[] = {
      {"20230515", 0, "20230515000000000"},
      {"2023051512304512", 0, "20230515123045120"},
      {"20230230", 110, "19990909000000009"},
      {"2023x515", 110, "19990909000000009"},
      {"202305152561", 111, "19990909000000009"},
      {"20230515123", 111, "19990909000000009"},
      {"", 110, "19990909000000009"},
  };
  for (const auto& r : rows) {
    CTNBIN b(r.text, static_cast<long>(std::strlen(r.text)));
    CDateTimeBase v = Date(1999, 9, 9, 9);
    EXPECT_EQ(v.nDepuisBinaireValide(&b, 0), r.rc) << r.text;
    EXPECT_EQ(Text(v), r.expected) << r.text;
  }
}

TEST_F(datetime_Hosted, WritersIntoSharedForms) {
  CDateTimeBase v = Date(2023, 5, 15, 3723004);
  CTNBIN b;
  EXPECT_EQ(v.nVersBinaire(&b, 0), 0);
  EXPECT_EQ(Bytes(b), "20230515010203004");
  CXYString<wchar_t> s;
  EXPECT_EQ(v.nVersChaine(&s), 0);
  EXPECT_EQ(Narrow(s.pszGet()), "20230515010203004");

  CDateTimeBase wild;
  wild.Set(65535, 255, 255, 1193, 2, 47, 295);
  EXPECT_EQ(wild.nVersBinaire(&b, 0), 0);
  EXPECT_EQ(Bytes(b), "65535255255119302");
  EXPECT_EQ(wild.nVersChaine(&s), 0);
  EXPECT_EQ(s.nGetLength(), 17);
}

// The hundredths are rounded on the whole magnitude, so 995 ms and more carry
// into the seconds and the text reads back to the rounded value.
TEST_F(datetime_Hosted, HundredthsRoundWithCarry) {
  struct {
    std::int64_t ms;
    const char* text;
    std::int64_t back;
  } rows[] = {
      {59995, "000010000", 60000},
      {-995, "-000000100", -1000},
      {59994, "000005999", 59990},
      {5, "000000001", 10},
      {-4, "-000000000", 0},
      {86399995, "100000000", 86400000},
      {90061001, "101010100", 90061000},
  };
  for (const auto& r : rows) {
    CDureeBase d{r.ms};
    CXYString<wchar_t> s;
    EXPECT_EQ(d.nVersChaineCentieme(&s), 0);
    EXPECT_EQ(Narrow(s.pszGet()), r.text) << r.ms;
    CDureeBase back{123};
    EXPECT_EQ(back.nDepuisChaineCentieme(s.pszGet()), 0) << r.text;
    EXPECT_EQ(back.m_llDuree, r.back) << r.text;
  }
}

TEST_F(datetime_Hosted, DurationThroughBuffersAndStrings) {
  CDureeBase d{90061001};
  CTNBIN b;
  EXPECT_EQ(d.nVersBinaire(&b, 0), 0);
  EXPECT_EQ(Bytes(b), "1010101001");
  CXYString<wchar_t> s;
  EXPECT_EQ(CDureeBase{INT64_MIN}.nVersChaine(&s), 0);
  EXPECT_EQ(Narrow(s.pszGet()), "-106751991167071255808");

  struct {
    CTNBIN in;
    int rc;
    std::int64_t ms;
  } rows[] = {
      {CTNBIN("1010101001", 10), 0, 90061001},
      {CTNBIN("0000000000000010101010015", 25), 0, 90061001},  // 24 bytes read
      {Cut("1010101001", 9), 112, 42},
      {CTNBIN(), 112, 42},
  };
  for (auto& r : rows) {
    CDureeBase back{42};
    EXPECT_EQ(back.nDepuisBinaire(&r.in, 0), r.rc) << Bytes(r.in);
    EXPECT_EQ(back.m_llDuree, r.ms) << Bytes(r.in);
  }
  CDureeBase back{42};
  EXPECT_EQ(back.nDepuisBinaire(nullptr, 0), 112);
}

}  // namespace
