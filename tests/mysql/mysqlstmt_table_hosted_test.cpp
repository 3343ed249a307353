// The driver's table statement without a server: the CREATE TABLE texts
// (engine clause by server version, the AUTO_INCREMENT primary key of an
// identifier, a primary-key item's table clause, the generic constraints
// otherwise), a failed build left without engine clause, the count of a
// table sent as a COUNT query, and when its data access needs a full read
// to count; the driver's factories.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CMySQLDataAccess.h"
#include "CMySQLDriver.h"
#include "CMySQLStatement.h"
#include "CNACommand.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "mysql/support/LiveText.h"
#include "nativeaccess/support/WriteFixture.h"
#include "runtime/support/BoundRuntimeFixture.h"

namespace {

using kxtest::Narrow;
using kxtest::WriteEnv;

class mysqlstmtTable : public BoundRuntimeTest {};

// The write fixture's layout under the driver's statement (one reference
// held, given back at the end of the scope).
struct MySQLStatementOf {
  explicit MySQLStatementOf(WriteEnv& env) : st(new CMySQLStatement(env.access, env.error)) { st->AddRef(); }
  ~MySQLStatementOf() { st->nRelease(); }
  MySQLStatementOf(const MySQLStatementOf&) = delete;
  MySQLStatementOf& operator=(const MySQLStatementOf&) = delete;
  CMySQLStatement* st;
};

// Each layout's CREATE TABLE on servers of major versions 4, 5 and 10: the
// identifier (8 or 4 bytes) is the AUTO_INCREMENT primary key, a
// primary-key item gets the key as a clause of its own, the other items
// keep the generic constraints; the engine clause ends the text.
TEST_F(mysqlstmtTable, CreateTexts) {
  struct Case {
    const char* name;
    std::function<void(WriteEnv&)> items;
    const char* columns;  // the text before the engine clause
  } aCases[] = {
      {"an 8-byte identifier",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_IDAUTO, 8);
         env.src.pclAdd(NA_IT_TEXTE, 11);
       },
       "CREATE TABLE `t`( `ITEM0` NUMERIC(19,0)  NOT NULL AUTO_INCREMENT, PRIMARY KEY (`ITEM0`), "
       "`ITEM1` VARCHAR(10) )"},
      {"a 4-byte identifier after other items",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_I4, 4);
         env.src.pclAdd(NA_IT_IDAUTO4, 4);
       },
       "CREATE TABLE `t`( `ITEM0` INTEGER, `ITEM1` INTEGER  NOT NULL AUTO_INCREMENT, PRIMARY KEY (`ITEM1`) )"},
      {"a primary key, a unique item refusing NULL",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_PRIMARY);
         env.src.pclAdd(NA_IT_TEXTE, 11, 1, CNAItemDescription::KEY_UNIQUE)->SetNullable(0);
       },
       "CREATE TABLE `t`( `ITEM0` INTEGER , PRIMARY KEY (`ITEM0`), `ITEM1` VARCHAR(10)  UNIQUE  NOT NULL  )"},
  };
  struct Version {
    int major;
    const char* clause;
  } const aVersions[] = {{4, " Type=InnoDB"}, {5, " ENGINE=InnoDB"}, {10, " ENGINE=InnoDB"}};
  for (const Case& c : aCases) {
    for (const Version& v : aVersions) {
      SCOPED_TRACE(std::string(c.name) + ", server " + std::to_string(v.major));
      WriteEnv env;
      c.items(env);
      ASSERT_TRUE(env.Init());
      env.cnx->m_nServerMajor = v.major;
      MySQLStatementOf my(env);
      ASSERT_TRUE(my.st->bBuildQueryCREATE(env.command)) << Narrow(env.error->pszGetError());
      EXPECT_EQ(std::string(c.columns) + v.clause, env.Sql());
      EXPECT_EQ(CNACommand::QUERY_CREATE, env.command->nGetQueryType());
    }
  }
}

// A CREATE whose generic build fails (a type the connection refuses) gets
// no engine clause and fails with the build's reason.
TEST_F(mysqlstmtTable, FailedCreateGetsNoEngineClause) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_I4, 4);
  env.src.pclAdd(NA_IT_UNICODE, 22);
  env.cnx->m_bUnicodeTypesAllowed = 0;
  ASSERT_TRUE(env.Init());
  env.cnx->m_nServerMajor = 10;
  MySQLStatementOf my(env);
  EXPECT_FALSE(my.st->bBuildQueryCREATE(env.command));
  EXPECT_EQ(L"CREATE TABLE `t`( `ITEM0` INTEGER )", env.Raw());
  EXPECT_EQ(46u, env.nUserError());
}

// A table is counted by the server: one COUNT query, its value the count.
// On a query the driver statement must stream, which only the driver's own
// can: another fails the count with user error 38, the count unchanged.
TEST_F(mysqlstmtTable, TableCountIsACountQuery) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_PRIMARY);
  ASSERT_TRUE(env.Init());
  env.rows = {{std::string("250000")}};
  MySQLStatementOf my(env);
  long nCount = -7;
  ASSERT_TRUE(my.st->bGetNbEnr(&nCount, 0, 0)) << Narrow(env.error->pszGetError());
  EXPECT_EQ(250000, nCount);
  ASSERT_EQ(1u, env.server.vecTexts.size());
  EXPECT_EQ("SELECT COUNT(*) AS KXACCESNATIF_NBENR FROM `t`", env.server.vecTexts[0]);

  env.access->SetQuery(1);
  env.server.vecTexts.clear();
  nCount = -7;
  EXPECT_FALSE(my.st->bGetNbEnr(&nCount, 0, 0));
  EXPECT_EQ(-7, nCount);
  EXPECT_EQ(38u, env.nUserError());
  EXPECT_TRUE(env.server.vecTexts.empty());
}

// Counting a table needs no full read; a query keeps the generic answer.
TEST_F(mysqlstmtTable, CountNeedsAFullReadOnlyOnAQuery) {
  auto* access = new CMySQLDataAccess(nullptr, nullptr, nullptr);
  access->AddRef();
  int nNeed = -1;
  EXPECT_EQ(1, access->bNbEnrNeedParse(&nNeed, L"ITEM"));
  EXPECT_EQ(0, nNeed);
  access->SetQuery(1);
  EXPECT_EQ(1, access->bNbEnrNeedParse(&nNeed, L"ITEM"));
  EXPECT_EQ(1, nNeed);
  EXPECT_EQ(1, access->bNbEnrNeedParse(nullptr, nullptr));
  access->nRelease();
}

// The driver hands out its own data accesses and table statements.
TEST_F(mysqlstmtTable, DriverMakesItsOwnAccessesAndStatements) {
  CMySQLDriver driver;
  CNADataAccess* access = driver.pclAllocDataAccess(nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, access);
  access->AddRef();
  EXPECT_NE(nullptr, dynamic_cast<CMySQLDataAccess*>(access));
  CNAStatement* st = driver.pclAllocStatement(access, nullptr, nullptr);
  ASSERT_NE(nullptr, st);
  st->AddRef();
  EXPECT_NE(nullptr, dynamic_cast<CMySQLStatement*>(st));
  EXPECT_EQ(access, st->pclGetDataAccess());
  st->nRelease();
  access->nRelease();
}

}  // namespace
