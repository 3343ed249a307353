// The connection on variants of the fake client library that lack an
// optional function: what it reports, and how it does without.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CTStringConcatAW.h"
#include "support/FakeClientFixture.h"

namespace {

using kxtest::FakeClientTest;
using kxtest::Narrow;
using kxtest::ProbeConnection;
using kxtest::TestHostDescription;

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

// Without mysql_options: a text needing Unicode is refused with 76; Latin-1
// texts connect and a 1252 connection names latin1 by statement.
TEST_F(FakeClientTest, WithoutOptionsNonLatin1Gives76AndLatin1SetsNames) {
  FakeClientScript* s = Load("noopt");
  ASSERT_NE(s, nullptr);
  {
    TestHostDescription host;
    Describe(host, L"");
    host.pszUser = L"\u015Cimon";
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 76u);
    EXPECT_TRUE(Contains(Narrow(error.pszGetError()), "5.0.96")) << Narrow(error.pszGetError());
    EXPECT_TRUE(s->Lines("connect").empty());
    EXPECT_EQ(s->nHandlesAlive, 0);
  }
  {
    TestHostDescription host;
    Describe(host, L"KX Unicode Support=0");
    host.pszUser = L"Ren\u00e9";
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
    EXPECT_EQ(s->Lines("query "), std::vector<std::string>{"query SET NAMES latin1"});
    EXPECT_EQ(cnx.nCodePage(), 1252);
  }
}

// Without mysql_ssl_set: SSL asked for by the cipher alone gives 75 with the
// client version, and no connection in clear.
TEST_F(FakeClientTest, WithoutSslSetCipherGives75) {
  FakeClientScript* s = Load("nossl");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"SSL Cipher=AES128-SHA");
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  EXPECT_EQ(cnx.bOpen(&error), 0);
  EXPECT_EQ(error.nGetUserErrorCode(), 75u);
  EXPECT_TRUE(Contains(Narrow(error.pszGetError()), "5.0.96")) << Narrow(error.pszGetError());
  EXPECT_TRUE(s->Lines("connect").empty());
  EXPECT_EQ(s->nHandlesAlive, 0);
}

// Without mysql_next_result (and mysql_real_escape_string): one statement a
// call, no draining; texts are written in the one form both SQL modes read
// alike (quotes doubled), whatever mode the server is in; a text holding a
// backslash is refused with 37 naming the missing function and nothing is
// written; a byte value holding one is written in hexadecimal.
TEST_F(FakeClientTest, WithoutNextResultNoMultiStatements) {
  FakeClientScript* s = Load("nonext");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"Client Flag=32");
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  EXPECT_EQ(CMySQLConnection::gbUseNextResult, 0);
  EXPECT_EQ(cnx.bMultipleRecordsetEnabled(), 0);
  EXPECT_TRUE(Contains(s->Lines("connect ").back(), "flags=0x22")) << s->Lines("connect ").back();
  EXPECT_EQ(cnx.bExecuteQueryNoResult(&error, L"SELECT 1"), 1) << Narrow(error.pszGetError());
  EXPECT_EQ(s->nResultsAlive, 0);
  const struct {
    unsigned short type;
    std::string value;
    const char* literal;  // null: refused
  } rows[] = {
      {19, "O'Brien", "'O''Brien'"},
      {19, "x' OR 1=1 -- ", "'x'' OR 1=1 -- '"},
      {19, "\\' OR 1=1 -- ", nullptr},
      {0, "\\' OR 1=1 -- ", "X'5C27204F5220313D31202D2D20'"},
      {0, "a\"\n\x1A'", "'a\"\n\x1A'''"},
  };
  for (const bool bNoBackslash : {false, true}) {
    s->bNoBackslashEscapes = bNoBackslash;
    for (const auto& row : rows) {
      SCOPED_TRACE(row.value + (bNoBackslash ? " (NO_BACKSLASH_ESCAPES)" : ""));
      CTStringConcatAW out(65001, 65001, 16);
      std::string value = row.value;
      CNAError e;
      const int bWritten = cnx._bEscapeString(&e, &out, row.type, reinterpret_cast<unsigned char*>(&value[0]),
                                              value.size());
      if (row.literal == nullptr) {
        EXPECT_EQ(bWritten, 0);
        EXPECT_EQ(out.nGetLengthA(), 0);
        EXPECT_EQ(e.nGetUserErrorCode(), 37u);
        EXPECT_TRUE(Contains(Narrow(e.pszGetError()), "mysql_real_escape_string")) << Narrow(e.pszGetError());
      } else {
        EXPECT_EQ(bWritten, 1) << Narrow(e.pszGetError());
        EXPECT_STREQ(out.pszGetA(), row.literal);
      }
    }
  }
  // The client's backslash escaping is never used.
  EXPECT_TRUE(s->Lines("escape ").empty());
}

}  // namespace
