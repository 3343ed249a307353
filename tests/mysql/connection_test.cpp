// The MariaDB/MySQL connection without a server: what its construction sets,
// how it reads its keys, and how a client library that cannot serve it
// makes the opening fail.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CMySQLConnection.h"
#include "CNAError.h"
#include "CNAFunctionLoader.h"
#include "nativeaccess/support/TestConnection.h"

namespace {

TEST(mysqlConnection, IsKindFiveWithBackquotes) {
  kxtest::TestHostDescription host;
  CMySQLConnection cnx(L"id", &host);
  EXPECT_EQ(cnx.eGetDataSource(), DATASOURCE_MARIADB);
  CTString out;
  cnx.bFormatItemName(nullptr, L"my table", &out);
  EXPECT_STREQ(out.pszGet(), L"`my table`");
  EXPECT_EQ(cnx.bIsOpen(), 0);
  // Closing a connection that is not open asks nothing of the client.
  EXPECT_EQ(cnx.bClose(nullptr), 1);
}

// The connection with the lock's text caught before it would run.
class LockTextConnection : public CMySQLConnection {
 public:
  using CMySQLConnection::CMySQLConnection;
  int bExecuteQueryIgnoreResult(CNAError* /*error*/, const wchar_t* text) override {
    vecSent.emplace_back(text);
    return 1;
  }
  std::vector<std::wstring> vecSent;
};

// The lock's text names the table only as an identifier: plain, dotted and
// blank names quoted piece by piece, a quoted name as it is, and a hostile
// name kept inside its identifier.
TEST(mysqlConnection, LockTextQuotesTheTableName) {
  const struct {
    const wchar_t* pszName;
    const wchar_t* pszSent;
  } rows[] = {
      {L"t", L"SELECT * FROM `t` FOR UPDATE"},
      {L"db.t", L"SELECT * FROM `db`.`t` FOR UPDATE"},
      {L"`db`.`t`", L"SELECT * FROM `db`.`t` FOR UPDATE"},
      {L"my table", L"SELECT * FROM `my table` FOR UPDATE"},
      {L"t; DROP TABLE u", L"SELECT * FROM `t; DROP TABLE u` FOR UPDATE"},
      {L"`t` ; DROP TABLE u; -- ", L"SELECT * FROM ```t`` ; DROP TABLE u; -- ` FOR UPDATE"},
      {L"db.t; DROP TABLE u; -- ", L"SELECT * FROM `db`.`t; DROP TABLE u; -- ` FOR UPDATE"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.pszName)));
    kxtest::TestHostDescription host;
    LockTextConnection cnx(L"id", &host);
    CNAError error;
    EXPECT_EQ(cnx.bSQLBloque(&error, row.pszName), 1);
    EXPECT_EQ(cnx.vecSent, std::vector<std::wstring>{row.pszSent});
  }
}

TEST(mysqlConnection, ReadsPortFlagAndSocketKeys) {
  struct Row {
    const wchar_t* extended;
    int port;
    int flag;
    int socketGiven;
    const wchar_t* socket;
  } const rows[] = {
      {nullptr, 0, 0, 0, L""},
      {L"Server Port=3307;Client Flag=32", 3307, 32, 0, L""},
      {L"Server Port=0x10", 0, 0, 0, L""},
      {L"Server Port=abc;Unix Socket=/tmp/s.sock", 0, 0, 1, L"/tmp/s.sock"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.extended != nullptr ? testing::PrintToString(std::wstring(row.extended))
                                         : std::string("no keys"));
    kxtest::TestHostDescription host;
    host.pszExtendedInfo = row.extended;
    CMySQLConnection cnx(L"id", &host);
    EXPECT_EQ(cnx.nGetPort(), row.port);
    EXPECT_EQ(cnx.nGetClientFlag(), row.flag);
    CTString socket;
    EXPECT_EQ(cnx.bGetUnixSocket(&socket), row.socketGiven);
    EXPECT_STREQ(socket.pszGet(), row.socket);
  }
}

TEST(mysqlConnection, UnloadableClientLibraryFailsWithError27) {
  ASSERT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
  kxtest::TestHostDescription host;
  host.pszExtendedInfo = L"KX CLIENT LIBRARY=/nonexistent/dir/libnothing.so";
  CMySQLConnection cnx(L"id", &host);
  CNAError error;
  EXPECT_EQ(cnx.bOpen(&error), 0);
  EXPECT_EQ(cnx.bIsOpen(), 0);
  EXPECT_EQ(error.nGetUserErrorCode(), 27u);
  CNAFunctionLoader::g_Term();
}

// A loader that reports a library loaded while every client function is
// still on its stub, as after a binding stopped at a missing function.
class UnboundLoader : public CNAFunctionLoader {
 public:
  UnboundLoader() { m_hLibrary = dlopen(nullptr, RTLD_NOW); }
};

TEST(mysqlConnection, StubThrowingInGuardGivesError37) {
  ASSERT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
  CNAFunctionLoader::g_pclNAFunctionLoader = new UnboundLoader();
  ASSERT_EQ(CNAFunctionLoader::g_bLoaded(), 1);
  kxtest::TestHostDescription host;
  host.pszDataSource = L"127.0.0.1";
  CMySQLConnection cnx(L"id", &host);
  CNAError error;
  EXPECT_EQ(cnx.bOpen(&error), 0);
  EXPECT_EQ(cnx.bIsOpen(), 0);
  // The opening's failure (78) comes first, the guard's 37 under it.
  EXPECT_EQ(error.pclGetXError()->nGetUserErrorCode(), 78u);
  EXPECT_EQ(error.nGetUserErrorCode(), 37u);
  EXPECT_NE(std::wstring(error.pszGetError()).find(L"mysql_init"), std::wstring::npos)
      << testing::PrintToString(std::wstring(error.pszGetError()));
  CNAFunctionLoader::g_Term();
  EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
}

}  // namespace
