// The MariaDB/MySQL connection on the fake client library: what reaches the
// client library at opening (port, flags, character set, SSL, socket), how
// the versions decide Unicode mode, how every failure is reported and
// releases its handle, how a missing database is created, and how values
// are escaped by the connection's rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CTStringConcatAW.h"
#include "CXError.h"
#include "support/FakeClientFixture.h"

namespace {

using kxtest::FakeClientTest;
using kxtest::Narrow;
using kxtest::ProbeConnection;
using kxtest::TestHostDescription;

std::string ConnectLine(const FakeClientScript& s) {
  const std::vector<std::string> vec = s.Lines("connect ");
  return vec.empty() ? std::string("<no connect>") : vec.back();
}

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

std::string ErrorText(CNAError& error) { return Narrow(error.pszGetError()); }

// ---------------------------------------------------------------------------
// What an opening sends
// ---------------------------------------------------------------------------

TEST_F(FakeClientTest, OpeningSendsPortFlagsSocketAndCharacterSet) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  struct Row {
    const wchar_t* keys;
    const char* port;
    const char* flags;
    const char* socket;
  } const rows[] = {
      // Client 5.0 with mysql_next_result: several statements a call.
      {L"", "port=0", "flags=0x10002", "socket=(null)"},
      {L"Server Port=3307;Client Flag=32", "port=3307", "flags=0x10022", "socket=(null)"},
      // Hexadecimal is not read.
      {L"Server Port=0x20;Client Flag=0x20", "port=0", "flags=0x10002", "socket=(null)"},
      // The socket path crosses in UTF-8.
      {L"Unix Socket=/tmp/caf\u00e9.sock", "port=0", "flags=0x10002",
       "socket=/tmp/caf\xC3\xA9.sock"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Narrow(row.keys));
    s->vecLog.clear();
    TestHostDescription host;
    Describe(host, row.keys);
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
    const std::string line = ConnectLine(*s);
    EXPECT_TRUE(Contains(line, " " + std::string(row.port) + " ")) << line;
    EXPECT_TRUE(Contains(line, row.flags)) << line;
    EXPECT_TRUE(Contains(line, row.socket)) << line;
    EXPECT_TRUE(Contains(line, "host=db.example user=kx db=kxtest")) << line;
    // Latin-1 texts: the connection names latin1 before connecting, then
    // switches to UTF-8.
    EXPECT_TRUE(Contains(line, "charset=latin1")) << line;
    EXPECT_EQ(s->Lines("options "), std::vector<std::string>{"options 7 latin1"});
    EXPECT_EQ(s->Lines("query "), std::vector<std::string>{"query SET NAMES 'utf8mb4'"});
    EXPECT_EQ(cnx.nCodePage(), 65001);
    EXPECT_EQ(cnx.nUnicode(), 1);
    EXPECT_TRUE(s->Lines("set_character_set").empty());
    // A second opening asks nothing of the client.
    const std::size_t nCalls = s->vecLog.size();
    EXPECT_EQ(cnx.bOpen(&error), 1);
    EXPECT_EQ(s->vecLog.size(), nCalls);
    EXPECT_EQ(cnx.bClose(&error), 1);
    EXPECT_FALSE(cnx.bHoldsHandle());
    EXPECT_EQ(s->nHandlesAlive, 0);
    EXPECT_EQ(s->nResultsAlive, 0);
  }
}

// The client's version text decides the 4.1 features; the server's decides
// Unicode mode. Each row loads the client again.
TEST_F(FakeClientTest, VersionsDecideFlagsAndUnicodeMode) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  struct Row {
    const char* client;
    const char* server;
    int major, minor;
    bool multi;    // 0x10000 asked and results drained
    bool unicode;  // "SET NAMES 'utf8mb4'" and code page 65001
    int server41, server412;
  } const rows[] = {
      {"3.23.58", "10.11.6-MariaDB", 3, 23, false, false, 1, 1},
      {"4.0.27", "10.11.6-MariaDB", 4, 0, false, false, 1, 1},
      {"4.1.22", "10.11.6-MariaDB", 4, 1, true, true, 1, 1},
      {"5.0.96", "10.11.6-MariaDB", 5, 0, true, true, 1, 1},
      {"10.4.7", "10.11.6-MariaDB", 10, 4, true, true, 1, 1},
      {"abc", "10.11.6-MariaDB", 0, 0, false, false, 1, 1},
      {"5.0.96", "4.0.27", 5, 0, true, false, 0, 0},
      {"5.0.96", "3.23.58", 5, 0, true, false, 0, 0},
      {"5.0.96", "4.1.1", 5, 0, true, true, 1, 0},
      {"5.0.96", "4.1.2", 5, 0, true, true, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.client) + " / " + row.server);
    CNAFunctionLoader::g_Term();
    s->sClientVersion = row.client;
    s->sServerVersion = row.server;
    s->vecLog.clear();
    TestHostDescription host;
    Describe(host, L"");
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
    EXPECT_EQ(CNAConnectionDescription::m_nClientVersionMajor, row.major);
    EXPECT_EQ(CNAConnectionDescription::m_nClientVersionMinor, row.minor);
    EXPECT_STREQ(Narrow(CNAConnectionDescription::m_csClientVersion.pszGet()).c_str(), row.client);
    EXPECT_EQ(CMySQLConnection::bClientVersionGreaterThan4_1(), row.multi ? 1 : 0);
    EXPECT_EQ(cnx.bMultipleRecordsetEnabled(), row.multi ? 1 : 0);
    EXPECT_EQ(Contains(ConnectLine(*s), "flags=0x10002"), row.multi) << ConnectLine(*s);
    EXPECT_EQ(cnx.bServerVersionGreaterThan4_1(), row.server41);
    EXPECT_EQ(cnx.bServerVersionGreaterThan4_1_2(), row.server412);
    EXPECT_EQ(!s->Lines("query SET NAMES 'utf8mb4'").empty(), row.unicode);
    EXPECT_EQ(cnx.nCodePage(), row.unicode ? 65001 : 1252);
    EXPECT_EQ(cnx.nUnicode(), row.unicode ? 1 : 0);
    // Whatever the mode, a code-page-1252 opening named latin1.
    EXPECT_TRUE(Contains(ConnectLine(*s), "charset=latin1")) << ConnectLine(*s);
  }
}

// A user name outside code page 1252 asks for the four-byte UTF-8 (so no
// character outside the basic plane is lost) and travels in UTF-8; a
// client library that does not know that name gets the three-byte one.
TEST_F(FakeClientTest, NonLatin1UserAsksForUtf8) {
  struct {
    const char* refused;
    std::vector<std::string> options;
    const char* charset;
  } const rows[] = {
      {"", {"options 7 utf8mb4"}, "charset=utf8mb4|"},
      {"utf8mb4", {"options 7 utf8mb4", "options 7 utf8"}, "charset=utf8|"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.charset);
    FakeClientScript* s = Load("full");
    ASSERT_NE(s, nullptr);
    s->sRefusedCharset = row.refused;
    TestHostDescription host;
    Describe(host, L"");
    host.pszUser = L"\u015Cimon";
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
    EXPECT_EQ(s->Lines("options "), row.options);
    EXPECT_TRUE(Contains(ConnectLine(*s), "user=\xC5\x9Cimon ")) << ConnectLine(*s);
    // The connect line ends with the character set (no SSL here).
    EXPECT_TRUE(Contains(ConnectLine(*s) + "|", row.charset)) << ConnectLine(*s);
    EXPECT_EQ(cnx.nCodePage(), 65001);
  }
}

// After connecting in Unicode mode the session is asked for the four-byte
// UTF-8, then, refused, for the three-byte one, which the connection's
// diagnosis names with what it costs. Both refused: the server would read
// the texts in its own default, so the opening fails with the server's
// error under 79 and its handle is released.
TEST_F(FakeClientTest, SessionCharacterSetIsCheckedAndNamed) {
  struct {
    const char* name;
    std::vector<std::string> refused;
    std::vector<std::string> queries;
    bool open;
    const wchar_t* charsetLine;  // in the diagnosis
  } const rows[] = {
      {"utf8mb4 taken", {}, {"query SET NAMES 'utf8mb4'"}, true, L"Charset: utf8mb4"},
      {"utf8 taken",
       {"SET NAMES 'utf8mb4'"},
       {"query SET NAMES 'utf8mb4'", "query SET NAMES 'utf8'"},
       true,
       L"Charset: utf8 (the server refused utf8mb4: characters outside the basic plane are not kept)"},
      {"both refused",
       {"SET NAMES 'utf8mb4'", "SET NAMES 'utf8'"},
       {"query SET NAMES 'utf8mb4'", "query SET NAMES 'utf8'"},
       false,
       nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeClientScript* s = Load("full");
    ASSERT_NE(s, nullptr);
    for (const std::string& sStatement : row.refused) s->mapFailingStatements[sStatement] = 1115;
    TestHostDescription host;
    Describe(host, L"");
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), row.open ? 1 : 0) << ErrorText(error);
    EXPECT_EQ(s->Lines("query "), row.queries);
    if (!row.open) {
      EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
      EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1115u) << ErrorText(error);
      EXPECT_TRUE(Contains(ErrorText(error), "SET NAMES 'utf8'")) << ErrorText(error);
      EXPECT_EQ(cnx.bIsOpen(), 0);
      EXPECT_FALSE(cnx.bHoldsHandle());
      EXPECT_EQ(s->nHandlesAlive, 0);
      continue;
    }
    EXPECT_EQ(cnx.nCodePage(), 65001);
    EXPECT_EQ(cnx.nUnicode(), 1);
    CNAError diagnosis;
    cnx.bDiagnose(&diagnosis, nullptr, L"kx", 0);
    const std::wstring sDebug = diagnosis.pclGetXError()->pszGetDebugMessage();
    EXPECT_NE(sDebug.find(row.charsetLine), std::wstring::npos) << Narrow(sDebug.c_str());
    EXPECT_EQ(cnx.bClose(&error), 1);
  }
}

// ---------------------------------------------------------------------------
// Failures: each reported, each handle released
// ---------------------------------------------------------------------------

TEST_F(FakeClientTest, InitReturningNullGives78) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  s->bInitReturnsNull = true;
  TestHostDescription host;
  Describe(host, L"");
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  EXPECT_EQ(cnx.bOpen(&error), 0);
  EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 78u);
  EXPECT_TRUE(Contains(ErrorText(error), "mysql_init returned NULL")) << ErrorText(error);
  EXPECT_TRUE(s->Lines("connect").empty());
}

TEST_F(FakeClientTest, FailedOpeningsReleaseTheirHandles) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"SSL Cipher=AES128-SHA");
  ProbeConnection cnx(L"id", &host);
  // Refused connections, a refused SSL set-up, a refused character set.
  s->vecConnectErrors = {2003, 1045, 2003};
  for (int i = 0; i < 3; ++i) {
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
    EXPECT_EQ(error.dwGetDataBaseErrorCode(), i == 1 ? 1045u : 2003u) << ErrorText(error);
    // The refusal's place, then the server error's.
    EXPECT_TRUE(Contains(ErrorText(error), "IEKXMARIA=101.23")) << ErrorText(error);
    EXPECT_TRUE(Contains(ErrorText(error), "IEKXMARIA=101.16")) << ErrorText(error);
    EXPECT_TRUE(Contains(ErrorText(error), "scripted connect failure")) << ErrorText(error);
    EXPECT_EQ(cnx.bIsOpen(), 0);
    EXPECT_FALSE(cnx.bHoldsHandle());
    EXPECT_EQ(s->nHandlesAlive, 0) << "attempt " << i;
  }
  s->nSslSetResult = 1;
  {
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
    EXPECT_EQ(s->nHandlesAlive, 0);
  }
  s->nSslSetResult = 0;
  s->nOptionsResult = 1;
  {
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 76u);
    EXPECT_TRUE(Contains(ErrorText(error), "5.0.96")) << ErrorText(error);
    EXPECT_EQ(s->nHandlesAlive, 0);
  }
  s->nOptionsResult = 0;
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
  EXPECT_EQ(s->nHandlesAlive, 1);
  EXPECT_EQ(s->Lines("init").size(), 6u);
  EXPECT_EQ(s->Lines("close").size(), 5u);
}

// Only "SSL Cipher": SSL is wanted, the four other texts arrive null.
TEST_F(FakeClientTest, CipherAloneAsksForSSL) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"SSL Cipher=AES128-SHA;SSL Mode=VERIFY_IDENTITY");
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
  EXPECT_EQ(s->Lines("ssl_set "),
            std::vector<std::string>{"ssl_set (null)|(null)|(null)|(null)|AES128-SHA"});
  EXPECT_TRUE(Contains(ConnectLine(*s), " ssl")) << ConnectLine(*s);
}

// ---------------------------------------------------------------------------
// Creating a missing database
// ---------------------------------------------------------------------------

TEST_F(FakeClientTest, OpenCreateMakesTheMissingDatabaseAndEndsOpen) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"Initial Catalog=kx-new;SSL CA=/etc/ca.pem");
  {
    // bOpen does not create it: 1049 under message 79.
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
    EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1049u);
    EXPECT_EQ(s->nHandlesAlive, 0);
    EXPECT_EQ(s->setDatabases.count("kx-new"), 0u);
  }
  s->vecLog.clear();
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpenCreate(&error), 1) << ErrorText(error);
  EXPECT_EQ(cnx.bIsOpen(), 1);
  EXPECT_EQ(error.eGetErrorType(), NA_ERRORTYPE_NONE) << ErrorText(error);
  EXPECT_EQ(s->setDatabases.count("kx-new"), 1u);
  const std::vector<std::string> connects = s->Lines("connect ");
  ASSERT_EQ(connects.size(), 2u);
  // The second connection, without a database, keeps the character set and
  // SSL of the first.
  EXPECT_TRUE(Contains(connects[1], "db=(null)")) << connects[1];
  EXPECT_TRUE(Contains(connects[1], "charset=latin1 ssl")) << connects[1];
  const std::vector<std::string> queries = s->Lines("query ");
  ASSERT_GE(queries.size(), 2u);
  EXPECT_EQ(queries[0], "query CREATE DATABASE `kx-new`");
  EXPECT_EQ(queries[1], "query USE `kx-new`");
  EXPECT_EQ(cnx.bClose(&error), 1);
  EXPECT_EQ(s->nHandlesAlive, 0);
}

TEST_F(FakeClientTest, OpenCreateFailureKeepsItsOwnError) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"Initial Catalog=kx-new");
  // The connection without a database is refused.
  {
    s->vecConnectErrors = {0, 1045};
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpenCreate(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
    EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1045u) << ErrorText(error);
    EXPECT_EQ(cnx.bIsOpen(), 0);
    EXPECT_EQ(s->nHandlesAlive, 0);
  }
  // The creation is refused.
  {
    s->mapFailingStatements["CREATE DATABASE `kx-new`"] = 1044;
    ProbeConnection cnx(L"id", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpenCreate(&error), 0);
    EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1044u) << ErrorText(error);
    EXPECT_EQ(cnx.bIsOpen(), 0);
    EXPECT_EQ(s->nHandlesAlive, 0);
  }
}

// ---------------------------------------------------------------------------
// Direct execution
// ---------------------------------------------------------------------------

TEST_F(FakeClientTest, QueryNoResultFreesResultsAndReportsLaterStatements) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"");
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  // Not open: refused before the client library.
  EXPECT_EQ(cnx.bExecuteQueryNoResult(&error, L"SELECT 1"), 0);
  EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
  EXPECT_TRUE(s->Lines("query").empty());
  CNAError err2;
  ASSERT_EQ(cnx.bOpen(&err2), 1) << ErrorText(err2);
  // No error left by the last call: nothing recorded, 1.
  EXPECT_EQ(cnx.bInitError(&err2, 101, 99), 1);
  EXPECT_EQ(err2.eGetErrorType(), NA_ERRORTYPE_NONE);
  EXPECT_EQ(cnx.bExecuteQueryNoResult(&err2, L"SELECT 1; SELECT 2; UPDATE t SET a=1"), 1)
      << ErrorText(err2);
  EXPECT_EQ(s->nResultsAlive, 0);
  s->mapFailingStatements["DELETE FROM t"] = 1451;
  CNAError err3;
  EXPECT_EQ(cnx.bExecuteQueryNoResult(&err3, L"SELECT 1; DELETE FROM t"), 0);
  EXPECT_EQ(err3.dwGetDataBaseErrorCode(), 1451u) << ErrorText(err3);
  EXPECT_EQ(err3.nGetUserErrorCode(), 22u);
  EXPECT_EQ(s->nResultsAlive, 0);
}

// ---------------------------------------------------------------------------
// Escaping
// ---------------------------------------------------------------------------

struct EscapeRow {
  const char* name;
  unsigned short type;
  std::string bytes;    // the value's bytes, for 8-bit texts and the rest
  std::wstring wide;    // the value, for types 16 and 110
  bool noBackslash;     // the server's NO_BACKSLASH_ESCAPES
  const char* expected; // the literal, as UTF-8
};

std::string Escaped(CMySQLConnection& cnx, const EscapeRow& row, CNAError& error) {
  CTStringConcatAW out(65001, 65001, 64);
  const bool bWide = row.type == 16 || row.type == 110;
  std::wstring wide = row.wide;
  std::string bytes = row.bytes;
  unsigned char* data = bWide ? reinterpret_cast<unsigned char*>(&wide[0])
                              : reinterpret_cast<unsigned char*>(&bytes[0]);
  const unsigned long size = bWide ? wide.size() * sizeof(wchar_t) : bytes.size();
  if (!cnx._bEscapeString(&error, &out, row.type, data, size)) return "<failed>";
  return std::string(out.pszGetA(), static_cast<std::size_t>(out.nGetLengthA()));
}

TEST_F(FakeClientTest, EscapingFollowsTheServersRules) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"");
  ProbeConnection cnx(L"id", &host);
  cnx.SetApplicationCodePage(1252);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
  ASSERT_EQ(cnx.nCodePage(), 65001);
  const EscapeRow rows[] = {
      {"empty text", 19, "", L"", false, "''"},
      {"empty bytes", 0, "", L"", true, "''"},
      {"quote", 19, "O'Brien", L"", false, "'O\\'Brien'"},
      {"quote, no backslash", 19, "O'Brien", L"", true, "'O''Brien'"},
      {"injection, no backslash", 19, "x' OR 1=1 -- ", L"", true, "'x'' OR 1=1 -- '"},
      {"NUL in bytes", 0, std::string("a\0b", 3), L"", false, "'a\\0b'"},
      {"NUL in bytes, no backslash", 0, std::string("a\0'", 3), L"", true, "X'610027'"},
      {"high bytes", 0, std::string("\xFF\0\x80", 3), L"", false, "X'FF0080'"},
      {"NUL in 8-bit text cuts it", 19, std::string("ab\0cd", 5), L"", true, "'ab'"},
      {"1252 text to UTF-8", 18, "caf\xE9", L"", false, "'caf\xC3\xA9'"},
      {"wide accented", 16, "", L"\u00e9t\u00e9 'x'", false, "'\xC3\xA9t\xC3\xA9 \\'x\\''"},
      {"wide cut at NUL", 110, "", std::wstring(L"ab\0cd", 5), false, "'ab'"},
  };
  for (const EscapeRow& row : rows) {
    SCOPED_TRACE(row.name);
    s->bNoBackslashEscapes = row.noBackslash;
    CNAError err;
    EXPECT_EQ(Escaped(cnx, row, err), row.expected) << ErrorText(err);
  }
  // The open connection escapes through the connection; the UTF-8 bytes
  // are what it sees.
  EXPECT_TRUE(s->Lines("escape ").empty());
  EXPECT_FALSE(s->Lines("real_escape \xC3\xA9t\xC3\xA9").empty());
  // Closed: the server's rules are not known, so only the form both modes
  // read alike; a text with a backslash is refused (79, no connection).
  cnx.bClose(&error);
  s->bNoBackslashEscapes = true;
  CNAError err;
  EXPECT_EQ(Escaped(cnx, {"closed", 19, "O'Brien", L"", true, ""}, err), "'O''Brien'");
  EXPECT_EQ(Escaped(cnx, {"closed, backslash", 19, "a\\b", L"", true, ""}, err), "<failed>");
  EXPECT_EQ(err.nGetUserErrorCode(), 79u);
  EXPECT_TRUE(s->Lines("escape ").empty());
}

TEST_F(FakeClientTest, EscapingInCodePage1252) {
  FakeClientScript* s = Load("full");
  ASSERT_NE(s, nullptr);
  TestHostDescription host;
  Describe(host, L"KX Unicode Support=0");
  ProbeConnection cnx(L"id", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << ErrorText(error);
  ASSERT_EQ(cnx.nCodePage(), 1252);
  EXPECT_TRUE(s->Lines("query SET NAMES").empty());
  const EscapeRow row = {"wide", 16, "", L"caf\u00e9", false, "'caf\xC3\xA9'"};
  CNAError err;
  EXPECT_EQ(Escaped(cnx, row, err), row.expected);
  // Escaped on its 1252 bytes.
  EXPECT_FALSE(s->Lines("real_escape caf\xE9").empty());
  const EscapeRow text = {"8-bit", 19, "caf\xE9", L"", false, "'caf\xC3\xA9'"};
  EXPECT_EQ(Escaped(cnx, text, err), text.expected);
}

}  // namespace
