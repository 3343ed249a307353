// The statement core makes its searches: an inactive search of the
// statement's error object, which a statement's reads then consult.
#include <gtest/gtest.h>

#include "CNARecherche.h"
#include "support/StatementFixture.h"

namespace {

TEST(search_statement, AllocGivesAnInactiveSearch) {
  kxtest::StatementEnv env;
  CNARecherche* pclSearch = env.st->pclAllocRecherche();
  ASSERT_NE(nullptr, pclSearch);
  pclSearch->AddRef();
  EXPECT_EQ(0, pclSearch->bIsActive());
  EXPECT_EQ(env.error, pclSearch->pclGetError());
  EXPECT_EQ(static_cast<CNAConnectionDescription*>(env.cnx), pclSearch->pclGetCnx());
  // Usable at once: a search on the key writes its equality.
  CAny v;
  v.SetI4(30);
  ASSERT_TRUE(pclSearch->bSetRecherche(env.record, env.key, &v, NA_PARSE_NEXT, 1, 0));
  CNACommand* pclCommand = env.access->pclAllocCommand(env.error);
  ASSERT_NE(nullptr, pclCommand);
  pclCommand->AddRef();
  EXPECT_TRUE(pclSearch->bGetSQL(pclCommand, nullptr, env.record));
  EXPECT_EQ(1, pclSearch->nGetNbParameter());
  EXPECT_EQ(1, static_cast<int>(pclCommand->nGetParameterNbr()));
  pclCommand->nRelease();
  pclSearch->nRelease();
}

}  // namespace
