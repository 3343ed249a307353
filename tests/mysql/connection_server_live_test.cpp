// The MariaDB/MySQL connection against the fixture's server: intact
// non-ASCII text in Unicode mode (65001) and in code page 1252, TLS for a
// user that requires it, creation of a missing database, escaping that
// holds under NO_BACKSLASH_ESCAPES, and server errors typed as the runtime
// expects. What arrived is read back over the test's own client connection.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
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
  // The test's table of the escaping tests, rows (1, 'a') and (2, 'b')
  // with their byte column empty, and the library's connection (open, on
  // m_host) that writes into it.
  std::unique_ptr<CMySQLConnection> CreateNamedRowsAndConnect() {
    Run("CREATE TABLE " + m_sTable + " (id INT PRIMARY KEY, name VARCHAR(40), b BLOB)");
    Run("INSERT INTO " + m_sTable + " VALUES (1, 'a', NULL), (2, 'b', NULL)");
    Describe(m_host, m_c.user, m_c.password, L"");
    auto pCnx = std::make_unique<CMySQLConnection>(L"live", &m_host);
    CNAError error;
    EXPECT_EQ(pCnx->bOpen(&error), 1) << Narrow(error.pszGetError());
    return pCnx;
  }
  kxtest::TestHostDescription m_host;
  // Runs `text` on `cnx`; false (and a failed test) when it fails.
  static bool Execute(CMySQLConnection& cnx, const std::wstring& text) {
    CNAError error;
    const bool b = cnx.bExecuteQueryNoResult(&error, text.c_str()) != 0;
    EXPECT_TRUE(b) << Narrow(text.c_str()) << ": " << Narrow(error.pszGetError());
    return b;
  }
  // The byte literal written into row `id` through `cnx`; the row's bytes
  // as the server then holds them, in hexadecimal.
  std::string StoredBytes(CMySQLConnection& cnx, const std::wstring& literal, int id);
};

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string ServerLive::StoredBytes(CMySQLConnection& cnx, const std::wstring& literal, int id) {
  Execute(cnx, L"UPDATE " + W(m_sTable) + L" SET b = " + literal + L" WHERE id = " + std::to_wstring(id));
  return Value("SELECT HEX(b) FROM " + m_sTable + " WHERE id = " + std::to_string(id));
}

// The literal `cnx` writes for the `size` bytes of a value of `type` at
// `data`; *written its answer, `error` its error.
std::wstring Literal(CMySQLConnection& cnx, CNAError* error, unsigned short type, const void* data,
                     unsigned long size, int* written) {
  std::string copy(static_cast<const char*>(data), size);
  CTStringConcatAW out(CONCAT_CP_WIDE, 65001, 64);
  *written = cnx._bEscapeString(error, &out, type, reinterpret_cast<unsigned char*>(&copy[0]), size);
  return out.pszGetW();
}

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
  const std::unique_ptr<CMySQLConnection> pCnx = CreateNamedRowsAndConnect();
  ASSERT_EQ(pCnx->bIsOpen(), 1);
  CMySQLConnection& cnx = *pCnx;
  CNAError error;
  ASSERT_TRUE(Execute(cnx, L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"));
  auto escape = [&](unsigned short type, const std::string& bytes) {
    int bWritten = 0;
    const std::wstring s = Literal(cnx, &error, type, bytes.data(), bytes.size(), &bWritten);
    EXPECT_EQ(bWritten, 1);
    return s;
  };
  EXPECT_EQ(escape(19, "O'Brien"), L"'O''Brien'");
  const std::wstring hostile = escape(19, "x' OR 1=1 -- ");
  Execute(cnx, L"UPDATE " + W(m_sTable) + L" SET name = 'hit' WHERE name = " + hostile);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE name = 'hit'"), "0");
  EXPECT_EQ(StoredBytes(cnx, escape(0, std::string("a\0'b", 4)), 1), "61002762");
  // Bytes outside ASCII survive the UTF-8 statement text.
  EXPECT_EQ(StoredBytes(cnx, escape(0, std::string("\xFF\xFE\x80'\\", 5)), 2), "FFFE80275C");
}

// A client library without mysql_real_escape_string (its pointer on the
// loader's stub) on an open connection, in both SQL modes of the real
// server: a hostile text is written as one literal that selects no row
// and changes none; a text whose backslash the two modes read differently
// is refused and nothing is sent; a byte value holding one round-trips.
TEST_F(ServerLive, EscapingWithoutTheRealFunctionHoldsInBothModes) {
  const std::unique_ptr<CMySQLConnection> pCnx = CreateNamedRowsAndConnect();
  ASSERT_EQ(pCnx->bIsOpen(), 1);
  CMySQLConnection& cnx = *pCnx;
  CNAError error;
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
    ASSERT_TRUE(Execute(cnx, L"SET SESSION sql_mode = " + W(sMode)));
    ASSERT_TRUE(Run("SET SESSION sql_mode = " + sMode));
    const struct {
      std::string text;
      bool refused;
    } rows[] = {{"x' OR 1=1 -- ", false}, {"\\' OR 1=1 -- ", true}, {"O'Brien", false}};
    for (const auto& row : rows) {
      SCOPED_TRACE(row.text);
      const std::wstring wide = W(row.text);
      for (const bool bWide : {false, true}) {
        SCOPED_TRACE(bWide ? "wide" : "8-bit");
        CNAError e;
        int bWritten = 0;
        const std::wstring sLiteral =
            bWide ? Literal(cnx, &e, 16, wide.data(), wide.size() * sizeof(wchar_t), &bWritten)
                  : Literal(cnx, &e, 19, row.text.data(), row.text.size(), &bWritten);
        if (row.refused) {
          EXPECT_EQ(bWritten, 0);
          EXPECT_EQ(sLiteral, L"");
          EXPECT_EQ(e.nGetUserErrorCode(), 37u);
          EXPECT_NE(std::wstring(e.pszGetError()).find(L"mysql_real_escape_string"), std::wstring::npos)
              << Narrow(e.pszGetError());
          continue;
        }
        ASSERT_EQ(bWritten, 1) << Narrow(e.pszGetError());
        const std::string sNarrow = Narrow(sLiteral.c_str());
        EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE name = " + sNarrow), "0") << sNarrow;
        EXPECT_EQ(Value("SELECT " + sNarrow), row.text) << sNarrow;
        ASSERT_TRUE(Execute(cnx, L"UPDATE " + W(m_sTable) + L" SET name = 'hit' WHERE name = " + sLiteral));
        EXPECT_EQ(Value("SELECT COUNT(*) FROM " + m_sTable + " WHERE name = 'hit'"), "0");
      }
    }
    // A byte value holding a backslash and a quote: written in hexadecimal.
    int bWritten = 0;
    const std::wstring sBytes = Literal(cnx, &error, 0, "a\\'b", 4, &bWritten);
    ASSERT_EQ(bWritten, 1) << Narrow(error.pszGetError());
    EXPECT_EQ(StoredBytes(cnx, sBytes, 1), "615C2762");
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
