// The MariaDB/MySQL connection against the fixture's server: intact
// non-ASCII text in Unicode mode (65001) and in code page 1252, TLS for a
// user that requires it, creation of a missing database, escaping that
// holds under NO_BACKSLASH_ESCAPES, and server errors typed as the runtime
// expects. What arrived is read back over the test's own client connection.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "CInformationDLL.h"
#include "CMySQLConnection.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "CTStringConcatAW.h"
#include "CXError.h"
#include "MariaDbClient.h"
#include "StandInStrMemAlloc.h"
#include "TestSupport.h"
#include "mysql/support/LiveText.h"
#include "mysql/support/MariaDbLiveTest.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

using kxtest::Narrow;
using kxtest::WideFromUTF8;

class ProbeConnection : public CMySQLConnection {
 public:
  using CMySQLConnection::CMySQLConnection;
  int nCodePage() const { return m_nDataBaseCodePage; }
};

// The fixture's TLS user and keys on top of the live base.
class ServerLive : public kxtest::MariaDbLiveTest {
 protected:
  ServerLive() : MariaDbLiveTest("kxlive_") {}
  void SetUp() override {
    MariaDbLiveTest::SetUp();
    ASSERT_FALSE(m_c.sslUser.empty()) << "the fixture wrote no TLS user";
  }
  std::wstring SSLKeys() const {
    return L"SSL CA=" + WideFromUTF8(m_c.sslCA) + L";SSL Cert=" + WideFromUTF8(m_c.sslCert) +
           L";SSL Key=" + WideFromUTF8(m_c.sslKey);
  }
};

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Unicode mode ends in UTF-8: a CJK literal arrives as its UTF-8 bytes.
// Without Unicode support the connection speaks latin1 (code page 1252):
// "é" and "€" arrive as themselves, and a Latin-1 user name logs in.
TEST_F(ServerLive, TextArrivesIntactInBothModes) {
  Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY, t VARCHAR(20)) CHARACTER SET utf8mb4");
  {
    kxtest::TestHostDescription host;
    Describe(host, m_c.user, m_c.password, L"");
    ProbeConnection cnx(L"live", &host);
    CNAError error;
    ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
    EXPECT_EQ(cnx.nCodePage(), 65001);
    EXPECT_EQ(cnx.bExecuteQueryNoResult(
                  &error, (L"INSERT INTO " + W(m_sTable) + L" VALUES (1, '\u4e2d\u6587')").c_str()),
              1)
        << Narrow(error.pszGetError());
    // An escaped wide value goes the same way.
    CTStringConcatAW literal(CONCAT_CP_WIDE, 65001, 64);
    std::wstring value = L"\u00e9\u20ac'";
    ASSERT_EQ(cnx._bEscapeString(&error, &literal, 16, reinterpret_cast<unsigned char*>(&value[0]),
                                 value.size() * sizeof(wchar_t)),
              1);
    const std::wstring insert =
        L"INSERT INTO " + W(m_sTable) + L" VALUES (2, " + literal.pszGetW() + L")";
    EXPECT_EQ(cnx.bExecuteQueryNoResult(&error, insert.c_str()), 1) << Narrow(error.pszGetError());
  }
  EXPECT_EQ(Value("SELECT HEX(t) FROM " + m_sTable + " WHERE id = 1"), "E4B8ADE69687");
  EXPECT_EQ(Value("SELECT HEX(t) FROM " + m_sTable + " WHERE id = 2"), "C3A9E282AC27");
  {
    kxtest::TestHostDescription host;
    Describe(host, m_c.latin1User, m_c.latin1Password, L"KX Unicode Support=0");
    ProbeConnection cnx(L"live", &host);
    CNAError error;
    ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
    EXPECT_EQ(cnx.nCodePage(), 1252);
    EXPECT_EQ(cnx.bExecuteQueryNoResult(
                  &error, (L"INSERT INTO " + W(m_sTable) + L" VALUES (3, '\u00e9'), (4, '\u20ac')")
                              .c_str()),
              1)
        << Narrow(error.pszGetError());
  }
  EXPECT_EQ(Value("SELECT HEX(t) FROM " + m_sTable + " WHERE id = 3"), "C3A9");
  EXPECT_EQ(Value("SELECT HEX(t) FROM " + m_sTable + " WHERE id = 4"), "E282AC");
}

// A user created REQUIRE SSL logs in with the SSL keys, and only with them;
// bOpenCreate over TLS creates a missing database whose name needs
// delimiters and ends open in it with an empty error.
TEST_F(ServerLive, TlsUserAndDatabaseCreation) {
  const std::string database = "kxtest-new-" + std::to_string(getpid());
  Run("DROP DATABASE IF EXISTS `" + database + "`");
  {
    kxtest::TestHostDescription host;
    Describe(host, m_c.sslUser, m_c.sslPassword, L"");
    CMySQLConnection cnx(L"live", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1045u) << Narrow(error.pszGetError());
  }
  {
    kxtest::TestHostDescription host;
    Describe(host, m_c.sslUser, m_c.sslPassword,
             L"Initial Catalog=" + W(database) + L";" + SSLKeys());
    CMySQLConnection cnx(L"live", &host);
    CNAError error;
    EXPECT_EQ(cnx.bOpen(&error), 0);
    EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 79u);
    EXPECT_EQ(error.dwGetDataBaseErrorCode(), 1049u) << Narrow(error.pszGetError());
    CNAError created;
    ASSERT_EQ(cnx.bOpenCreate(&created), 1) << Narrow(created.pszGetError());
    EXPECT_EQ(created.eGetErrorType(), NA_ERRORTYPE_NONE) << Narrow(created.pszGetError());
    // The connection is in the new database: a table made there is found
    // there.
    EXPECT_EQ(cnx.bExecuteQueryNoResult(&created, L"CREATE TABLE here (a INT)"), 1)
        << Narrow(created.pszGetError());
  }
  EXPECT_EQ(Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                  database + "' AND TABLE_NAME = 'here'"),
            "1");
  Run("DROP DATABASE IF EXISTS `" + database + "`");
}

// With NO_BACKSLASH_ESCAPES in the session, quotes are doubled: a hostile
// value stays one literal and a byte value holding a NUL round-trips.
TEST_F(ServerLive, EscapingHoldsUnderNoBackslashEscapes) {
  Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY, name VARCHAR(40), b BLOB)");
  Run("INSERT INTO " + m_sTable + " VALUES (1, 'a', NULL), (2, 'b', NULL)");
  kxtest::TestHostDescription host;
  Describe(host, m_c.user, m_c.password, L"");
  CMySQLConnection cnx(L"live", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  ASSERT_EQ(cnx.bExecuteQueryNoResult(
                &error, L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"),
            1);
  auto escape = [&](unsigned short type, const std::string& bytes) {
    CTStringConcatAW out(CONCAT_CP_WIDE, 65001, 64);
    std::string copy = bytes;
    EXPECT_EQ(cnx._bEscapeString(&error, &out, type, reinterpret_cast<unsigned char*>(&copy[0]),
                                 copy.size()),
              1);
    return std::wstring(out.pszGetW());
  };
  EXPECT_EQ(escape(19, "O'Brien"), L"'O''Brien'");
  const std::wstring hostile = escape(19, "x' OR 1=1 -- ");
  EXPECT_EQ(cnx.bExecuteQueryNoResult(
                &error, (L"UPDATE " + W(m_sTable) + L" SET name = 'hit' WHERE name = " + hostile)
                            .c_str()),
            1)
      << Narrow(error.pszGetError());
  const std::wstring bytes = escape(0, std::string("a\0'b", 4));
  EXPECT_EQ(cnx.bExecuteQueryNoResult(
                &error, (L"UPDATE " + W(m_sTable) + L" SET b = " + bytes + L" WHERE id = 1").c_str()),
            1)
      << Narrow(error.pszGetError());
  EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE name = 'hit'"), "0");
  EXPECT_EQ(Value("SELECT HEX(b) FROM " + m_sTable + " WHERE id = 1"), "61002762");
  // Bytes outside ASCII survive the UTF-8 statement text.
  const std::wstring high = escape(0, std::string("\xFF\xFE\x80'\\", 5));
  EXPECT_EQ(cnx.bExecuteQueryNoResult(
                &error, (L"UPDATE " + W(m_sTable) + L" SET b = " + high + L" WHERE id = 2").c_str()),
            1)
      << Narrow(error.pszGetError());
  EXPECT_EQ(Value("SELECT HEX(b) FROM " + m_sTable + " WHERE id = 2"), "FFFE80275C");
}

// A client library without mysql_real_escape_string (its pointer on the
// loader's stub) on an open connection, in both SQL modes of the real
// server: a hostile text is written as one literal that selects no row
// and changes none; a text whose backslash the two modes read differently
// is refused and nothing is sent; a byte value holding one round-trips.
TEST_F(ServerLive, EscapingWithoutTheRealFunctionHoldsInBothModes) {
  Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY, name VARCHAR(40), b BLOB)");
  Run("INSERT INTO " + m_sTable + " VALUES (1, 'a', NULL), (2, 'b', NULL)");
  kxtest::TestHostDescription host;
  Describe(host, m_c.user, m_c.password, L"");
  CMySQLConnection cnx(L"live", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  const PFN_mysql_real_escape_string pfnReal = __mysql_real_escape_string;
  ASSERT_NE(pfnReal, &DefaultError_mysql_real_escape_string) << "the real client lacks it already";
  __mysql_real_escape_string = &DefaultError_mysql_real_escape_string;
  struct Restore {
    PFN_mysql_real_escape_string pfn;
    ~Restore() { __mysql_real_escape_string = pfn; }
  } restore{pfnReal};

  for (const bool bNoBackslash : {false, true}) {
    SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
    const std::string sMode = bNoBackslash ? "CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                                           : "REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')";
    // Both sessions read SQL by the same rules: the library's runs the
    // UPDATE, the test's own the SELECT.
    ASSERT_EQ(cnx.bExecuteQueryNoResult(&error, (L"SET SESSION sql_mode = " + W(sMode)).c_str()), 1)
        << Narrow(error.pszGetError());
    ASSERT_TRUE(Run("SET SESSION sql_mode = " + sMode));
    const struct {
      std::string text;
      bool refused;
    } rows[] = {{"x' OR 1=1 -- ", false}, {"\\' OR 1=1 -- ", true}, {"O'Brien", false}};
    for (const auto& row : rows) {
      SCOPED_TRACE(row.text);
      for (const unsigned short type : {static_cast<unsigned short>(19), static_cast<unsigned short>(16)}) {
        SCOPED_TRACE(type);
        std::string bytes = row.text;
        std::wstring wide = W(row.text);
        unsigned char* data = type == 16 ? reinterpret_cast<unsigned char*>(&wide[0])
                                         : reinterpret_cast<unsigned char*>(&bytes[0]);
        const unsigned long size = type == 16 ? wide.size() * sizeof(wchar_t) : bytes.size();
        CTStringConcatAW literal(CONCAT_CP_WIDE, 65001, 64);
        CNAError e;
        const int bWritten = cnx._bEscapeString(&e, &literal, type, data, size);
        if (row.refused) {
          EXPECT_EQ(bWritten, 0);
          EXPECT_EQ(std::wstring(literal.pszGetW()), L"");
          EXPECT_EQ(e.nGetUserErrorCode(), 37u);
          EXPECT_NE(std::wstring(e.pszGetError()).find(L"mysql_real_escape_string"), std::wstring::npos)
              << Narrow(e.pszGetError());
          continue;
        }
        ASSERT_EQ(bWritten, 1) << Narrow(e.pszGetError());
        const std::wstring sLiteral = literal.pszGetW();
        EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE name = " + Narrow(sLiteral.c_str())), "0")
            << Narrow(sLiteral.c_str());
        EXPECT_EQ(Value("SELECT " + Narrow(sLiteral.c_str())), row.text) << Narrow(sLiteral.c_str());
        ASSERT_EQ(cnx.bExecuteQueryNoResult(
                      &e, (L"UPDATE " + W(m_sTable) + L" SET name = 'hit' WHERE name = " + sLiteral).c_str()),
                  1)
            << Narrow(e.pszGetError());
        EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE name = 'hit'"), "0");
      }
    }
    // A byte value holding a backslash and a quote: written in hexadecimal.
    std::string bytes("a\\'b", 4);
    CTStringConcatAW literal(CONCAT_CP_WIDE, 65001, 64);
    ASSERT_EQ(cnx._bEscapeString(&error, &literal, 0, reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size()),
              1)
        << Narrow(error.pszGetError());
    ASSERT_EQ(cnx.bExecuteQueryNoResult(
                  &error, (L"UPDATE " + W(m_sTable) + L" SET b = " + literal.pszGetW() + L" WHERE id = 1").c_str()),
              1)
        << Narrow(error.pszGetError());
    EXPECT_EQ(Value("SELECT HEX(b) FROM " + m_sTable + " WHERE id = 1"), "615C2762");
  }
  EXPECT_EQ(Value("SELECT GROUP_CONCAT(name ORDER BY id) FROM " + m_sTable), "a,b");
}

// Server errors: the number as EIT_BASECODE, the server's message, the
// error type the runtime reads.
TEST_F(ServerLive, ServerErrorsAreTyped) {
  Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY, v INT NOT NULL) ENGINE=InnoDB");
  Run("INSERT INTO " + m_sTable + " VALUES (1, 1)");
  kxtest::TestHostDescription host;
  Describe(host, m_c.user, m_c.password, L"");
  CMySQLConnection cnx(L"live", &host);
  CNAError error;
  ASSERT_EQ(cnx.bOpen(&error), 1) << Narrow(error.pszGetError());
  ASSERT_EQ(cnx.bExecuteQueryNoResult(&error, L"SET SESSION innodb_lock_wait_timeout = 1"), 1);
  const struct {
    const char* name;
    std::wstring sql;
    unsigned number;
    eNA_ERRORTYPE type;
    const wchar_t* message;
  } rows[] = {
      {"duplicate", L"INSERT INTO " + W(m_sTable) + L" VALUES (1, 5)", 1062, NA_ERRORTYPE_DUPLICATE,
       L"Duplicate entry"},
      {"null", L"INSERT INTO " + W(m_sTable) + L" VALUES (7, NULL)", 1048, NA_ERRORTYPE_MANDATORY,
       L"cannot be null"},
      {"lock", L"UPDATE " + W(m_sTable) + L" SET v = 3 WHERE id = 1", 1205, NA_ERRORTYPE_LOCK,
       L"Lock wait timeout"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.number == 1205) {
      // A second connection holds the row.
      Run("BEGIN");
      Run("UPDATE " + m_sTable + " SET v = 2 WHERE id = 1");
    }
    CNAError e;
    EXPECT_EQ(cnx.bExecuteQueryNoResult(&e, row.sql.c_str()), 0);
    EXPECT_EQ(e.nGetUserErrorCode(), 22u);
    EXPECT_EQ(e.dwGetDataBaseErrorCode(), row.number) << Narrow(e.pszGetError());
    EXPECT_EQ(cnx.eGetNAErrorType(e.dwGetDataBaseErrorCode()), row.type);
    EXPECT_NE(std::wstring(e.pszGetError()).find(row.message), std::wstring::npos)
        << Narrow(e.pszGetError());
  }
  Run("ROLLBACK");
}

}  // namespace
