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
// call, no draining, escaping with backslashes.
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
  CTStringConcatAW out(65001, 65001, 16);
  char value[] = "O'Brien";
  ASSERT_EQ(cnx._bEscapeString(&error, &out, 19, reinterpret_cast<unsigned char*>(value), 7), 1);
  EXPECT_STREQ(out.pszGetA(), "'O\\'Brien'");
  EXPECT_EQ(s->Lines("escape ").size(), 1u);
}

}  // namespace
