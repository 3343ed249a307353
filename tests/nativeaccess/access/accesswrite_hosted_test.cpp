// The data access's writes over the in-memory server: a read-only query
// refuses every write before any text is built; an INSERT whose identifier
// cannot be taken back answers false with its own error first and tells
// no one; an add without room for its save still addresses the added row
// on the next modify; the repair of a refused CREATE TABLE runs only for a
// column or row too long, and never on a connection without maxima.
#include <gtest/gtest.h>

#include <string>

#include "CNACommand.h"
#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "mysql/support/LiveText.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/SaveCount.h"
#include "support/WriteFixture.h"

namespace {

using kxtest::Narrow;
using kxtest::WriteEnv;

constexpr NA_WRITEPARSEFLAGS knNoFlags = static_cast<NA_WRITEPARSEFLAGS>(0);
constexpr eNA_LOCKTYPE knLock = NA_LOCKTYPE_NONE;

class accesswrite : public BoundRuntimeTest {};

// ITEM0 a unique I4 key, ITEM1 an I4; the record read with key 5.
struct KeyAndInt {
  CNAItemDescription* key;
  CNAItemDescription* n;
  explicit KeyAndInt(WriteEnv& env) {
    key = env.src.pclAdd(NA_IT_I4, 4, 1, CNAItemDescription::KEY_UNIQUE);
    key->SetNullable(0);
    n = env.src.pclAdd(NA_IT_I4, 4);
  }
};

TEST_F(accesswrite, ReadOnlyQueryRefusesEveryWriteBeforeAnyText) {
  WriteEnv env;
  KeyAndInt items(env);
  ASSERT_TRUE(env.Init());
  env.access->bOwnStatements = true;
  ASSERT_TRUE(env.SetI4(items.key, 5));
  ASSERT_TRUE(env.MarkRead());
  env.access->SetQuery(1);
  env.access->SetQueryMode(4);
  const char* names[] = {"add", "modify", "delete"};
  for (int op = 0; op < 3; ++op) {
    SCOPED_TRACE(names[op]);
    env.error->Reset();
    const int b = op == 0   ? env.access->bHAjoute(knNoFlags, knLock)
                  : op == 1 ? env.access->bHModifie(0, knNoFlags, knLock)
                            : env.access->bHSupprime(0, knLock);
    EXPECT_EQ(0, b);
    EXPECT_EQ(35u, env.nUserError());
    EXPECT_EQ(NA_ERRORTYPE_GENERIC, env.error->eGetErrorType());
  }
  EXPECT_TRUE(env.server.vecTexts.empty());
  // Not marked deleted by the refused delete.
  EXPECT_EQ(NA_RECORDSTATE_READ, env.record->pclGetCurrentRecordValue()->eGetRecordState());
}

// The row is written, but its identifier cannot be read back: false, user
// error 86 first, no save held, one INSERT sent.
TEST_F(accesswrite, InsertWhoseIdentifierIsLostAnswersFalseWithItsOwnError) {
  WriteEnv env;
  env.src.pclAdd(NA_IT_IDAUTO, 8);
  CNAItemDescription* text = env.src.pclAdd(NA_IT_TEXTE, 11);
  env.imported->pclAdd(L"ITEM0", NA_IT_IDAUTO, 8);
  ASSERT_TRUE(env.Init());
  env.access->bOwnStatements = true;
  ASSERT_TRUE(env.SetText(text, L"x"));
  env.access->pclIDAuto()->bMaxOk = false;
  EXPECT_EQ(0, env.access->bHAjoute(knNoFlags, knLock));
  ASSERT_EQ(1u, env.server.vecTexts.size());
  EXPECT_EQ(0u, env.server.vecTexts[0].find("INSERT INTO")) << env.server.vecTexts[0];
  // First: the reason of the identifier's loss follows it.
  EXPECT_EQ(86u, env.error->pclGetXError()->nGetUserErrorCode()) << Narrow(env.error->pszGetError());
  EXPECT_EQ(NA_ERRORTYPE_GENERIC, env.error->eGetErrorType());
  EXPECT_EQ(CNADataAccess::knNoRecordSave, env.access->nGetOriginalRecordSave());
  EXPECT_EQ(0, kxtest::nSavesHeld(env.access));
}

// Without a save store the add holds no save, yet the next modify
// addresses the added row, not the record read before.
TEST_F(accesswrite, AddWithoutRoomForItsSaveStillAddressesTheAddedRow) {
  WriteEnv env;
  KeyAndInt items(env);
  ASSERT_TRUE(env.Init());
  env.access->bOwnStatements = true;
  ASSERT_TRUE(env.SetI4(items.key, 5));
  ASSERT_TRUE(env.SetI4(items.n, 1));
  ASSERT_TRUE(env.MarkRead());
  env.access->_FreeSavedRecordCache();
  ASSERT_TRUE(env.SetI4(items.key, 7));
  ASSERT_TRUE(env.access->bHAjoute(knNoFlags, knLock)) << Narrow(env.error->pszGetError());
  EXPECT_EQ(CNADataAccess::knNoRecordSave, env.access->nGetOriginalRecordSave());
  ASSERT_TRUE(env.SetI4(items.n, 2));
  ASSERT_TRUE(env.access->bHModifie(0, knNoFlags, knLock)) << Narrow(env.error->pszGetError());
  ASSERT_EQ(2u, env.server.vecTexts.size());
  const std::string& update = env.server.vecTexts[1];
  EXPECT_NE(std::string::npos, update.find("WHERE `ITEM0`=7")) << update;
}

// A refused CREATE TABLE: rewritten and run only for a column or row too
// long on a connection with maxima; otherwise the error stays as it came.
TEST_F(accesswrite, CreateTableRepairedOnlyWhenTooLong) {
  struct Case {
    const char* name;
    std::uint32_t code;
    int kind;
    bool repaired;
  };
  const Case cases[] = {
      {"row too wide", 1118, 5, true},
      {"column too long", 1074, 5, true},
      {"connection lost", 2006, 5, false},
      {"no maxima", 1118, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteEnv env;
    KeyAndInt items(env);
    ASSERT_TRUE(env.Init());
    env.access->bOwnStatements = true;
  env.access->bOwnStatements = true;
    env.cnx->m_eDataSource = static_cast<eDATASOURCE>(c.kind);
    env.command->bComplete(L"CREATE TABLE t( a VARCHAR(300), b INT )");
    env.error->AddError(NA_ERRORTYPE_GENERIC, 3, 1, nullptr, 38u);
    env.error->SetDataBaseErrorCode(c.code);
    const int b = env.access->_bProcessError(env.command, env.st, NA_QUERY_CREATETABLE, knNoFlags);
    EXPECT_EQ(c.repaired ? 1 : 0, b);
    if (c.repaired) {
      ASSERT_EQ(1u, env.server.vecTexts.size());
      EXPECT_EQ("CREATE TABLE t( a " + Narrow(env.cnx->pszGetCLOBType()) + ", b INT )", env.server.vecTexts[0]);
      EXPECT_EQ(NA_ERRORTYPE_NONE, env.error->eGetErrorType());
    } else {
      EXPECT_TRUE(env.server.vecTexts.empty());
      EXPECT_EQ(c.code, env.error->dwGetDataBaseErrorCode());
      EXPECT_EQ(NA_ERRORTYPE_GENERIC, env.error->eGetErrorType());
    }
  }
}

}  // namespace
