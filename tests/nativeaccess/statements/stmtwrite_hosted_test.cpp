// The write texts of a statement: INSERT of the current record, UPDATE and
// DELETE of the record last read, CREATE TABLE from the layout, the
// correction of a CREATE whose character columns are too long, and what the
// record takes back after an INSERT or UPDATE.
//
// Texts are checked as the server would get them (literals written by a
// kind-5 test connection in UTF-8), with the number of values the command
// holds as parameters: a value written into the text itself would show as
// a parameter missing. The live tests send the same forms to the server.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNACommand.h"
#include "CNAConvertVariant.h"
#include "CNADataAccess.h"
#include "CNAIDAuto.h"
#include "CNARecordId.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "CNAStatement.h"
#include "mysql/support/LiveText.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/WriteFixture.h"

namespace {

using kxtest::Narrow;
using kxtest::WriteEnv;

constexpr NA_WRITEPARSEFLAGS Flags(std::uint32_t n) { return static_cast<NA_WRITEPARSEFLAGS>(n); }

// The items of most cases: ITEM0 a unique I4 key, ITEM1 a text, ITEM2 an I4.
struct KeyTextInt {
  CNAItemDescription* key;
  CNAItemDescription* text;
  CNAItemDescription* n;
  explicit KeyTextInt(WriteEnv& env) {
    key = env.src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
    key->SetNullable(0);
    text = env.src.pclAdd(NA_IT_TEXTE, 11);
    n = env.src.pclAdd(NA_IT_I4, 4);
  }
  // Key 5, text "a", n 9, read.
  void Read(WriteEnv& env) const {
    env.SetI4(key, 5);
    env.SetText(text, L"a");
    env.SetI4(n, 9);
    env.MarkRead();
  }
};

class stmtwrite : public BoundRuntimeTest {};

// ---------------------------------------------------------------------------
// INSERT
// ---------------------------------------------------------------------------

struct InsertCase {
  const char* name;
  // Adds the items (and the server's items) before the layout is made.
  std::function<void(WriteEnv&)> items;
  std::uint32_t flags;
  const char* sql;
  int parameters;
  int newIds;  // identifiers asked of the data access
};

// Items of the INSERT cases.
void IdAndText(WriteEnv& env, bool serverFillsId) {
  env.src.pclAdd(NA_IT_IDAUTO, 8);
  env.src.pclAdd(NA_IT_TEXTE, 11);
  if (serverFillsId) env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
}
void IntAndText(WriteEnv& env) {
  env.src.pclAdd(NA_IT_I4, 4);
  env.src.pclAdd(NA_IT_TEXTE, 11);
}

TEST_F(stmtwrite, InsertTexts) {
  const InsertCase aCases[] = {
      {"every value a parameter", IntAndText, 0, "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 5 , 'a''b' )", 2, 0},
      {"identifier the server fills is left out", [](WriteEnv& env) { IdAndText(env, true); }, 0,
       "INSERT INTO `t` (`ITEM1`) VALUES ( 'a''b' )", 1, 0},
      {"identifier the server does not fill takes a new one", [](WriteEnv& env) { IdAndText(env, false); }, 0,
       "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 100 , 'a''b' )", 2, 1},
      {"0x100 writes the record's identifier", [](WriteEnv& env) { IdAndText(env, true); }, 0x100,
       "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 5 , 'a''b' )", 2, 0},
      {"0x400 writes the record's identifier", [](WriteEnv& env) { IdAndText(env, false); }, 0x400,
       "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 5 , 'a''b' )", 2, 0},
      {"0x200 asks a new identifier the server would fill", [](WriteEnv& env) { IdAndText(env, true); }, 0x200,
       "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 100 , 'a''b' )", 2, 1},
      {"a column that cannot be updated is left out",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_I4, 4);
         env.src.pclAdd(NA_IT_TEXTE, 11)->SetNotUpdatable();
       },
       0, "INSERT INTO `t` (`ITEM0`) VALUES ( 5 )", 1, 0},
      {"a composite key is not a column",
       [](WriteEnv& env) {
         IntAndText(env);
         auto* key = env.src.pclAdd(NA_IT_BINAIRE, 0, 1,
                                    CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_UNIQUE);
         env.src.nItemsInRecord -= 1;
         key->SetPhysicalIndice(0xFFFFFFFFu);
         key->bAddComponent(env.src.pclItem(1));
       },
       0, "INSERT INTO `t` (`ITEM0`,`ITEM1`) VALUES ( 5 , 'a''b' )", 2, 0},
      {"only an identifier the server fills: its default",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_IDAUTO, 8);
         env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
       },
       0, "INSERT INTO `t` VALUES ( DEFAULT )", 0, 0},
      {"an identifier and a generated column: empty lists",
       [](WriteEnv& env) {
         IdAndText(env, true);
         env.imported->pclAdd(L"ITEM1", NA_IT_TEXTE, 11)->SetNotUpdatable();
       },
       0, "INSERT INTO `t` () VALUES ()", 0, 0},
      {"an identifier and an updatable column: the column is listed",
       [](WriteEnv& env) {
         IdAndText(env, true);
         env.imported->pclAdd(L"ITEM1", NA_IT_TEXTE, 11);
       },
       0, "INSERT INTO `t` (`ITEM1`) VALUES ( 'a''b' )", 1, 0},
  };
  for (const InsertCase& c : aCases) {
    SCOPED_TRACE(c.name);
    WriteEnv env;
    c.items(env);
    ASSERT_TRUE(env.Init());
    // The first column holds 5, the second (when a text) "a'b".
    CNAColumn* pclFirst = env.record->pclGetColumnNoRef(0);
    if (pclFirst->bIsIdAuto())
      env.SetI8(env.src.pclItem(0), 5);
    else
      env.SetI4(env.src.pclItem(0), 5);
    if (env.src.nGetNumItems() > 1 && env.src.pclItem(1)->eNAGetItemType() == NA_IT_TEXTE)
      env.SetText(env.src.pclItem(1), L"a'b");
    ASSERT_TRUE(env.st->bBuildQueryINSERT(env.command, Flags(c.flags))) << Narrow(env.error->pszGetError());
    EXPECT_EQ(c.sql, env.Sql());
    EXPECT_EQ(c.parameters, env.command->nGetParameterNbr());
    EXPECT_EQ(c.newIds, env.access->nNewIds);
    EXPECT_EQ(CNACommand::QUERY_INSERT, env.command->nGetQueryType());
    EXPECT_EQ(env.command, env.st->pclGetCommandNoRef());
  }
}

// Without name quotes the table's default form still has its blank.
TEST_F(stmtwrite, InsertOfDefaultsWithoutQuotes) {
  for (int nColumns : {1, 2}) {
    SCOPED_TRACE(nColumns);
    WriteEnv env;
    env.cnx->SetKind(DATASOURCE_DEFAULT);
    env.src.pclAdd(NA_IT_IDAUTO, 8);
    env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
    if (nColumns == 2) {
      env.src.pclAdd(NA_IT_I4, 4);
      env.imported->pclAdd(L"ITEM1", NA_IT_I4, 4)->SetNotUpdatable();
    }
    ASSERT_TRUE(env.Init());
    ASSERT_TRUE(env.st->bBuildQueryINSERT(env.command, Flags(0)));
    // Only a kind-5 server takes the empty lists.
    EXPECT_EQ(L"INSERT INTO t VALUES ( DEFAULT )", env.Raw());
  }
}

// The record keeps what the server will hold: a value the connection
// stores as NULL (an empty text when empty texts are NULL) is NULL in the
// record after the INSERT is built, written column or not.
TEST_F(stmtwrite, InsertMarksNullEquivalentValuesInTheRecord) {
  WriteEnv env;
  env.cnx->SetEmptyAsNullMode(1);
  auto* n = env.src.pclAdd(NA_IT_I4, 4);
  auto* text = env.src.pclAdd(NA_IT_TEXTE, 11);
  auto* fixed = env.src.pclAdd(NA_IT_TEXTE, 11);
  fixed->SetNotUpdatable();
  ASSERT_TRUE(env.Init());
  env.SetI4(n, 1);
  env.SetText(text, L"");
  env.SetText(fixed, L"");
  CNAXQRecord* pclBuffer = env.record->pclGetNAXQRecord();
  ASSERT_EQ(1, pclBuffer->bItemValueDefined(text, 0));
  ASSERT_EQ(1, pclBuffer->bItemValueDefined(fixed, 0));
  ASSERT_TRUE(env.st->bBuildQueryINSERT(env.command, Flags(0))) << Narrow(env.error->pszGetError());
  EXPECT_EQ(1, pclBuffer->bItemValueDefined(n, 0));
  EXPECT_EQ(0, pclBuffer->bItemValueDefined(text, 0));
  EXPECT_EQ(0, pclBuffer->bItemValueDefined(fixed, 0));
}

TEST_F(stmtwrite, InsertNewIdentifierFailureFails) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_IDAUTO, 8);
  env.src.pclAdd(NA_IT_TEXTE, 11);
  ASSERT_TRUE(env.Init(false));
  env.access->bNewIdOk = false;
  EXPECT_FALSE(env.st->bBuildQueryINSERT(env.command, Flags(0)));
  EXPECT_EQ(1, env.access->nNewIds);
  EXPECT_NE(NA_ERRORTYPE_NONE, env.error->eGetErrorType());
}

// On a query of one table the write names that table and the columns'
// original names; the first updatable column carries an INSERT that
// would list nothing.
TEST_F(stmtwrite, InsertOnAQueryOfOneTable) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_IDAUTO, 8);
  auto* calc = env.src.pclAdd(NA_IT_I4, 4);
  calc->SetColumnKind(1);
  env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
  ASSERT_TRUE(env.Init());
  env.access->SetQuery(1);
  env.access->sSourceTable = L"`src`";
  env.SetI4(calc, 3);
  ASSERT_TRUE(env.st->bBuildQueryINSERT(env.command, Flags(0))) << Narrow(env.error->pszGetError());
  EXPECT_EQ("INSERT INTO `src` (`ITEM1`) VALUES ( 3 )", env.Sql());
}

TEST_F(stmtwrite, WritesOnAQueryOfSeveralTablesAreRefused) {
  const std::function<int(CNAStatement*, CNACommand*)> aBuilds[] = {
      [](CNAStatement* st, CNACommand* c) { return st->bBuildQueryINSERT(c, Flags(0)); },
      [](CNAStatement* st, CNACommand* c) { return st->bBuildQueryUPDATE(c, Flags(0)); },
      [](CNAStatement* st, CNACommand* c) { return st->bBuildQueryDELETE(c, Flags(0)); },
  };
  for (const auto& build : aBuilds) {
    WriteEnv env;
    KeyTextInt items(env);
    ASSERT_TRUE(env.Init());
    items.Read(env);
    env.SetText(items.text, L"b");
    env.access->SetQuery(1);
    env.access->bSeveralTables = true;
    EXPECT_FALSE(build(env.st, env.command));
    EXPECT_EQ(8u, env.nUserError());
    EXPECT_EQ(NA_ERRORTYPE_UNAVAILABLE, env.error->eGetErrorType());
  }
}

// ---------------------------------------------------------------------------
// UPDATE and DELETE
// ---------------------------------------------------------------------------

struct UpdateCase {
  const char* name;
  std::function<void(WriteEnv&, const KeyTextInt&)> change;
  std::uint32_t flags;
  const char* sql;
  int parameters;
};

TEST_F(stmtwrite, UpdateTexts) {
  const UpdateCase aCases[] = {
      {"only the modified column, addressed as read",
       [](WriteEnv& env, const KeyTextInt& i) { env.SetText(i.text, L"b"); }, 0,
       "UPDATE `t` SET `ITEM1` = 'b' WHERE `ITEM0`=5", 2},
      {"two modified columns",
       [](WriteEnv& env, const KeyTextInt& i) {
         env.SetText(i.text, L"b");
         env.SetI4(i.n, 10);
       },
       0, "UPDATE `t` SET `ITEM1` = 'b' , `ITEM2` = 10 WHERE `ITEM0`=5", 3},
      {"a new key value addresses the row by the old one",
       [](WriteEnv& env, const KeyTextInt& i) { env.SetI4(i.key, 6); }, 0,
       "UPDATE `t` SET `ITEM0` = 6 WHERE `ITEM0`=5", 2},
      {"quotes and pattern signs are values",
       [](WriteEnv& env, const KeyTextInt& i) { env.SetText(i.text, L"'%_"); }, 0,
       "UPDATE `t` SET `ITEM1` = '''%_' WHERE `ITEM0`=5", 2},
      {"a value set back to NULL",
       [](WriteEnv& env, const KeyTextInt& i) { env.col(i.n)->bSetValueNULL(); }, 0,
       "UPDATE `t` SET `ITEM2` = NULL WHERE `ITEM0`=5", 2},
  };
  for (const UpdateCase& c : aCases) {
    SCOPED_TRACE(c.name);
    WriteEnv env;
    KeyTextInt items(env);
    ASSERT_TRUE(env.Init());
    items.Read(env);
    c.change(env, items);
    const int nKeyBefore = env.nI4(items.key);
    ASSERT_TRUE(env.st->bBuildQueryUPDATE(env.command, Flags(c.flags))) << Narrow(env.error->pszGetError());
    EXPECT_EQ(c.sql, env.Sql());
    EXPECT_EQ(c.parameters, env.command->nGetParameterNbr());
    EXPECT_EQ(CNACommand::QUERY_UPDATE, env.command->nGetQueryType());
    // The values being written are in the record again.
    EXPECT_EQ(nKeyBefore, env.nI4(items.key));
  }
}

TEST_F(stmtwrite, UpdateOfTheIdentifier) {
  for (std::uint32_t nFlags : {0u, 0x100u}) {
    SCOPED_TRACE(nFlags);
    WriteEnv env;
    auto* id = env.src.pclAdd(NA_IT_IDAUTO, 8, 1, CNAItemDescription::KEY_UNIQUE);
    id->SetNullable(0);
    auto* text = env.src.pclAdd(NA_IT_TEXTE, 11);
    env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
    env.imported->pclAdd(L"ITEM1", NA_IT_TEXTE, 11);
    env.src.pclBest = id;
    ASSERT_TRUE(env.Init());
    env.SetI8(id, 7);
    env.SetText(text, L"a");
    env.MarkRead();
    env.SetI8(id, 8);
    env.SetText(text, L"b");
    ASSERT_TRUE(env.st->bBuildQueryUPDATE(env.command, Flags(nFlags))) << Narrow(env.error->pszGetError());
    // The server's identifier is written only when the flags ask it.
    EXPECT_EQ(nFlags == 0 ? "UPDATE `t` SET `ITEM1` = 'b' WHERE `ITEM0`=7"
                          : "UPDATE `t` SET `ITEM0` = 8 , `ITEM1` = 'b' WHERE `ITEM0`=7",
              env.Sql());
    EXPECT_EQ(0, env.access->nNewIds);
  }
}

// An UPDATE that changes nothing is an empty command: it executes without
// a word to the server.
TEST_F(stmtwrite, UpdateOfNothingSendsNothing) {
  WriteEnv env;
  KeyTextInt items(env);
  ASSERT_TRUE(env.Init());
  items.Read(env);
  ASSERT_TRUE(env.st->bBuildQueryUPDATE(env.command, Flags(0)));
  EXPECT_TRUE(env.command->bIsEmpty());
  EXPECT_EQ(0, env.command->nGetParameterNbr());
  EXPECT_TRUE(env.st->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT));
  EXPECT_TRUE(env.server.vecTexts.empty());
  EXPECT_EQ(0, env.server.nExecutions);
}

TEST_F(stmtwrite, DeleteText) {
  WriteEnv env;
  KeyTextInt items(env);
  ASSERT_TRUE(env.Init());
  items.Read(env);
  // What the record holds now does not matter: the row as read goes.
  env.SetI4(items.key, 99);
  ASSERT_TRUE(env.st->bBuildQueryDELETE(env.command, Flags(0))) << Narrow(env.error->pszGetError());
  EXPECT_EQ("DELETE FROM `t` WHERE `ITEM0`=5", env.Sql());
  EXPECT_EQ(1, env.command->nGetParameterNbr());
  EXPECT_EQ(CNACommand::QUERY_DELETE, env.command->nGetQueryType());
  EXPECT_EQ(99, env.nI4(items.key));
}

// A record read through a server row identifier is addressed by it, as a
// parameter.
TEST_F(stmtwrite, DeleteByRowIdentifier) {
  WriteEnv env;
  KeyTextInt items(env);
  ASSERT_TRUE(env.Init());
  items.Read(env);
  CNAConvertVariant* pclHolder = env.scope.pclGet()->pclAllocVariant(env.error, env.cnx);
  ASSERT_NE(nullptr, pclHolder);
  pclHolder->AddRef();
  pclHolder->InitTypeVariantAny(ANY_I8);
  CAny v;
  v.SetI8(42);
  ASSERT_TRUE(pclHolder->bSetValue(&v));
  CNARecordId* pclId = new CNARecordId_RowId(pclHolder);
  ASSERT_TRUE(env.record->pclGetOriginalRecordValue()->bShareRecordID(pclId));
  ASSERT_TRUE(env.st->bBuildQueryDELETE(env.command, Flags(0))) << Narrow(env.error->pszGetError());
  EXPECT_EQ("DELETE FROM `t` WHERE  ROWID=42", env.Sql());
  EXPECT_EQ(1, env.command->nGetParameterNbr());
  pclHolder->nRelease();
}

// Without a record read, or without a value that addresses one row, no
// UPDATE or DELETE is built (it would write to every row): user error 7,
// the record as it was.
TEST_F(stmtwrite, UpdateAndDeleteNeedTheRowAsRead) {
  const std::function<int(CNAStatement*, CNACommand*)> aBuilds[] = {
      [](CNAStatement* st, CNACommand* c) { return st->bBuildQueryUPDATE(c, Flags(0)); },
      [](CNAStatement* st, CNACommand* c) { return st->bBuildQueryDELETE(c, Flags(0)); },
  };
  for (bool bRead : {false, true}) {
    for (const auto& build : aBuilds) {
      SCOPED_TRACE(bRead ? "no unique key" : "nothing read");
      WriteEnv env;
      // Without a unique key when read: nothing addresses a single row.
      auto* n = env.src.pclAdd(NA_IT_I4, 4);
      auto* text = env.src.pclAdd(NA_IT_TEXTE, 11);
      ASSERT_TRUE(env.Init());
      env.SetI4(n, 1);
      env.SetText(text, L"a");
      if (bRead) env.MarkRead();
      env.SetI4(n, 2);
      EXPECT_FALSE(build(env.st, env.command));
      EXPECT_EQ(7u, env.nUserError());
      EXPECT_EQ(2, env.nI4(n));
    }
  }
}

// ---------------------------------------------------------------------------
// After an INSERT or UPDATE
// ---------------------------------------------------------------------------

TEST_F(stmtwrite, IdentifierAfterInsert) {
  struct Case {
    const char* name;
    std::uint32_t flags;
    bool identifier;  // the record has one
    bool noObject;    // the data access gives no identifier object
    bool maxOk;
    int result;
    std::int64_t stored;
    int maxCalls;
  } aCases[] = {
      {"the largest value goes into the record", 0, true, false, true, 1, 41, 1},
      {"0x100 keeps the record's value", 0x100, true, false, true, 1, 7, 0},
      {"0x400 keeps the record's value", 0x400, true, false, true, 1, 7, 0},
      {"a record without identifier has nothing to take", 0, false, false, true, 1, 0, 0},
      {"a failed reading fails", 0, true, false, false, 0, 7, 1},
      {"no identifier object fails", 0, true, true, true, 0, 7, 0},
  };
  for (const Case& c : aCases) {
    SCOPED_TRACE(c.name);
    WriteEnv env;
    auto* first = env.src.pclAdd(c.identifier ? NA_IT_IDAUTO : NA_IT_I8, 8);
    env.src.pclAdd(NA_IT_TEXTE, 11);
    ASSERT_TRUE(env.Init());
    env.SetI8(first, 7);
    env.access->pclIDAuto()->llMax = 41;
    env.access->pclIDAuto()->bMaxOk = c.maxOk;
    env.access->bNoIDAuto = c.noObject;
    EXPECT_EQ(c.result, env.st->bUpdateRecordAfterInsert(NA_QUERY_INSERT, static_cast<int>(c.flags)));
    EXPECT_EQ(c.identifier ? c.stored : 7, env.llI8(first));
    EXPECT_EQ(c.maxCalls, env.access->pclIDAuto()->nMaxCalls);
    if (!c.result) {
      EXPECT_NE(NA_ERRORTYPE_NONE, env.error->eGetErrorType());
    }
  }
}

// With RETURNING the INSERT returns the identifier and the record takes
// the value of the result.
TEST_F(stmtwrite, IdentifierReturnedByTheInsert) {
  WriteEnv env;
  env.cnx->bReturning = true;
  auto* id = env.src.pclAdd(NA_IT_IDAUTO, 8);
  auto* text = env.src.pclAdd(NA_IT_TEXTE, 11);
  env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
  ASSERT_TRUE(env.Init());
  env.SetText(text, L"x");
  ASSERT_TRUE(env.st->bBuildQueryINSERT(env.command, Flags(0)));
  EXPECT_EQ("INSERT INTO `t` (`ITEM1`) VALUES ( 'x' ) RETURNING `ITEM0`", env.Sql());
  env.rows = {{std::string("77")}};
  ASSERT_TRUE(env.st->bExecute(NA_WRITEPARSE_NONE, NA_ST_DIRECT)) << Narrow(env.error->pszGetError());
  ASSERT_TRUE(env.st->bUpdateRecordAfterInsert(NA_QUERY_INSERT, 0)) << Narrow(env.error->pszGetError());
  EXPECT_EQ(77, env.llI8(id));
  EXPECT_EQ(0, env.access->pclIDAuto()->nMaxCalls);
}

TEST_F(stmtwrite, IdentifierAfterUpdateIsTheOneRead) {
  for (std::uint32_t nFlags : {0u, 0x100u, 0x400u}) {
    SCOPED_TRACE(nFlags);
    WriteEnv env;
    auto* id = env.src.pclAdd(NA_IT_IDAUTO, 8);
    env.src.pclAdd(NA_IT_TEXTE, 11);
    ASSERT_TRUE(env.Init());
    env.SetI8(id, 7);
    env.MarkRead();
    env.SetI8(id, 99);
    EXPECT_TRUE(env.st->bUpdateRecordAfterUpdate(NA_QUERY_UPDATE, static_cast<int>(nFlags)));
    EXPECT_EQ(nFlags == 0 ? 7 : 99, env.llI8(id));
  }
}

// What the generic data access answers the write texts: the identifier
// object made once and kept, no new identifier needed without an
// identifier column, one table on a table, an item's table as the server
// names it.
TEST_F(stmtwrite, GenericDataAccessAnswers) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_I4, 4);
  ASSERT_TRUE(env.Init());
  CNADataAccess* pclGeneric = new CNADataAccess(&env.src, env.cnx, env.error);
  pclGeneric->AddRef();
  pclGeneric->SetCurrentRecord(env.record);
  CNAIDAuto* pclFirst = pclGeneric->pclGetIDAuto();
  CNAIDAuto* pclSecond = pclGeneric->pclGetIDAuto();
  ASSERT_NE(nullptr, pclFirst);
  EXPECT_EQ(pclFirst, pclSecond);
  // The access keeps one reference, each caller has its own.
  EXPECT_EQ(3u, pclFirst->nGetInternalCount());
  pclSecond->nRelease();
  pclFirst->nRelease();
  EXPECT_TRUE(pclGeneric->bSetNewAutoId());
  EXPECT_FALSE(pclGeneric->bSourceIsQueryOnMultipleTables());
  CTString cs;
  pclGeneric->_GetDBSourceName(env.src.pclItem(0), &cs, 1);
  EXPECT_EQ(std::wstring(L"`SRC`"), cs.pszGet());
  pclGeneric->_GetDBSourceName(env.src.pclItem(0), &cs, 0);
  EXPECT_EQ(std::wstring(L"SRC"), cs.pszGet());
  pclGeneric->nRelease();
}

// ---------------------------------------------------------------------------
// CREATE TABLE
// ---------------------------------------------------------------------------

// The CREATE texts of two layouts: each column's type and constraint, the
// composite key left to the server's indexes.
TEST_F(stmtwrite, CreateTexts) {
  struct Case {
    const char* name;
    std::function<void(WriteEnv&)> items;
    const char* sql;
  } aCases[] = {
      {"an identifier, unique, not NULL and plain columns",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_IDAUTO, 8);
         auto* unique = env.src.pclAdd(NA_IT_TEXTE, 11, 1, CNAItemDescription::KEY_UNIQUE);
         unique->SetNullable(0);
         env.src.pclAdd(NA_IT_I4, 4)->SetNullable(0);
         env.src.pclAdd(NA_IT_TEXTE, 21, 1, CNAItemDescription::KEY_UNIQUE);
         env.src.pclAdd(NA_IT_I4, 4);
         auto* key = env.src.pclAdd(NA_IT_BINAIRE, 0, 1,
                                    CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_UNIQUE);
         env.src.nItemsInRecord -= 1;
         key->SetPhysicalIndice(0xFFFFFFFFu);
         key->bAddComponent(unique);
       },
       "CREATE TABLE `t`( `ITEM0` NUMERIC(19,0)  PRIMARY KEY , `ITEM1` VARCHAR(10)  UNIQUE  NOT NULL , "
       "`ITEM2` INTEGER  NOT NULL , `ITEM3` VARCHAR(20)  UNIQUE , `ITEM4` INTEGER )"},
      {"a primary key item",
       [](WriteEnv& env) {
         env.src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_PRIMARY);
         env.src.pclAdd(NA_IT_TEXTE, 11);
       },
       "CREATE TABLE `t`( `ITEM0` INTEGER  PRIMARY KEY , `ITEM1` VARCHAR(10) )"},
  };
  for (const Case& c : aCases) {
    SCOPED_TRACE(c.name);
    WriteEnv env;
    c.items(env);
    ASSERT_TRUE(env.Init());
    // Whatever the command held goes.
    env.command->bComplete(L"left over");
    ASSERT_TRUE(env.st->bBuildQueryCREATE(env.command)) << Narrow(env.error->pszGetError());
    EXPECT_EQ(c.sql, env.Sql());
    EXPECT_EQ(0, env.command->nGetParameterNbr());
    EXPECT_EQ(CNACommand::QUERY_CREATE, env.command->nGetQueryType());
  }
}

// A column whose type the connection refuses ends the list: the text is
// closed all the same and the build fails with the connection's reason.
TEST_F(stmtwrite, CreateStopsAtARefusedType) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_I4, 4);
  env.src.pclAdd(NA_IT_UNICODE, 22);
  env.src.pclAdd(NA_IT_I4, 4);
  env.cnx->m_bUnicodeTypesAllowed = 0;
  ASSERT_TRUE(env.Init());
  EXPECT_FALSE(env.st->bBuildQueryCREATE(env.command));
  EXPECT_EQ(L"CREATE TABLE `t`( `ITEM0` INTEGER )", env.Raw());
  EXPECT_EQ(46u, env.nUserError());
}

TEST_F(stmtwrite, AutoCorrectVarcharMax) {
  struct Case {
    const char* name;
    const wchar_t* create;
    const wchar_t* type;
    long long maximum;
    const wchar_t* replacement;
    int result;
    const wchar_t* out;
  } aCases[] = {
      {"a long column becomes the replacement", L"CREATE TABLE t( `a` VARCHAR(300), `b` VARCHAR(20) )", L"VARCHAR",
       255, L"LONGTEXT", 1, L"CREATE TABLE t( `a` LONGTEXT, `b` VARCHAR(20) )"},
      {"every long column", L"CREATE TABLE t( `a` VARCHAR(300), `b` VARCHAR(256) NOT NULL )", L"VARCHAR", 255,
       L"TEXT", 1, L"CREATE TABLE t( `a` TEXT, `b` TEXT NOT NULL )"},
      {"the maximum itself stays", L"CREATE TABLE t( `a` VARCHAR(255) )", L"VARCHAR", 255, L"LONGTEXT", 0, L""},
      {"the type name in any case", L"CREATE TABLE t( `a` varchar(300) )", L"VARCHAR", 255, L"LONGTEXT", 1,
       L"CREATE TABLE t( `a` LONGTEXT )"},
      {"another type ending in the name is not it", L"CREATE TABLE t( `a` NVARCHAR(300) )", L"VARCHAR", 255,
       L"LONGTEXT", 0, L""},
      {"the longer name has its own pass", L"CREATE TABLE t( `a` NVARCHAR(300), `b` VARCHAR(300) )", L"NVARCHAR",
       255, L"NTEXT", 1, L"CREATE TABLE t( `a` NTEXT, `b` VARCHAR(300) )"},
      {"a quoted name is not a type", L"CREATE TABLE t( `VARCHAR(300)` INT )", L"VARCHAR", 255, L"LONGTEXT", 0,
       L""},
      {"a length that overflows counts as over", L"CREATE TABLE t( `a` VARCHAR(99999999999999999999999) )",
       L"VARCHAR", 255, L"LONGTEXT", 1, L"CREATE TABLE t( `a` LONGTEXT )"},
      {"a text cut after the digits", L"CREATE TABLE t( `a` VARCHAR(300", L"VARCHAR", 255, L"LONGTEXT", 0, L""},
      {"a text cut after the bracket", L"CREATE TABLE t( `a` VARCHAR(", L"VARCHAR", 255, L"LONGTEXT", 0, L""},
      {"a text ending in the name", L"VARCHAR", L"VARCHAR", 255, L"LONGTEXT", 0, L""},
      {"no digits", L"CREATE TABLE t( `a` VARCHAR(n) )", L"VARCHAR", 255, L"LONGTEXT", 0, L""},
      {"an empty replacement drops the type", L"ALTER x VARCHAR(300) y", L"VARCHAR", 255, L"", 1, L"ALTER x  y"},
      {"no maximum known", L"CREATE TABLE t( `a` VARCHAR(300) )", L"VARCHAR", -1, L"LONGTEXT", 0, L""},
  };
  for (const Case& c : aCases) {
    SCOPED_TRACE(c.name);
    CTString out(L"stale");
    EXPECT_EQ(c.result, CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&out, c.create, c.type, c.maximum,
                                                                          c.replacement));
    EXPECT_EQ(std::wstring(c.out), out.pszGet());
  }
}

}  // namespace
