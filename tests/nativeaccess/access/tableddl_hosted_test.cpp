// What a data access does around its table without a server: adopting the
// server's description (not-updatable marks, a query's calculated items
// retyped, unnamed items named, binary memos read as text), reporting a
// table that cannot be read, taking its alias name, naming generated
// indexes, and deleting a query's records one by one.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAContext.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "support/LayoutFixture.h"
#include "support/TestConnection.h"

namespace {

using kxtest::TestConnection;

std::wstring W(const wchar_t* p) { return p != nullptr ? p : L"(null)"; }

constexpr std::uint16_t kDup = CNAItemDescription::KEY_DUPLICATES | CNAItemDescription::KEY_ASCENDING;

// A description of the library's kind named Orders (orders_db on the
// server), holding one reference.
struct Source {
  CNADataSourceDescription* p;
  explicit Source(CNAError* error = nullptr) : p(new CNADataSourceDescription(nullptr, error)) {
    p->AddRef();
    p->SetLogicalName(L"Orders");
    p->SetDBName(L"orders_db");
  }
  ~Source() { p->nRelease(); }
  CNAItemDescription* Add(const wchar_t* name, eNA_ITEMTYPE type, std::uint32_t size, std::uint16_t keys = 0) {
    EXPECT_TRUE(p->bAddItem(name, L"", name, 1, size, type, 0xFFFFFFFFu, -1, keys, 0, 0));
    p->UpdateRecordSize();
    return p->pclGetItemNoRef(p->nGetNumItems() - 1);
  }
};

// The data access under test: the server's description it reads is the
// test's (none: it cannot be read, with `readError` reported when set);
// the reads and deletes of a query's records follow a script of records,
// each step logged.
class TableAccess : public CNADataAccess {
 public:
  using CNADataAccess::CNADataAccess;

  CNADataSourceDescription* pclGetDataSourceDescriptionFromDB(const wchar_t* table, int mode) override {
    vecLog.push_back(L"describe " + W(table) + L" " + std::to_wstring(mode));
    if (pclServer == nullptr) {
      if (readError != 0) pclGetError()->_SetDataBaseError(NA_ERRORTYPE_GENERIC, nullptr, 22, 1146, L"no such table", nullptr, nullptr);
      return nullptr;
    }
    pclServer->AddRef();
    return pclServer;
  }
  int bHLitxxx(const wchar_t* key, eNA_PARSEDIRECTION direction, int bRead, int lock, int* lockResult,
               unsigned int flags) override {
    vecLog.push_back((direction == NA_PARSE_FIRST ? L"first " : L"next ") + W(key) + L" " + std::to_wstring(bRead) +
                     std::to_wstring(lock) + std::to_wstring(flags));
    if (lockResult != nullptr) *lockResult = 0;
    if (direction == NA_PARSE_FIRST) nAt = 0;
    if (direction == NA_PARSE_NEXT) ++nAt;
    return 1;
  }
  int bHSupprime(long record, eNA_LOCKTYPE lock) override {
    vecLog.push_back(L"delete " + std::to_wstring(record) + L" " + std::to_wstring(lock));
    if (nDeletes++ == nFailingDelete) return 0;
    --nRecords;
    --nAt;  // the next record moves up
    return 1;
  }
  int bHEndehors(const wchar_t* /*key*/, int* out) override {
    *out = nAt >= nRecords ? 1 : 0;
    vecLog.push_back(*out ? L"out" : L"in");
    return 1;
  }

  CNADataSourceDescription* pclServer = nullptr;
  int readError = 0;
  int nRecords = 0;
  int nAt = 0;
  int nFailingDelete = -1;
  int nDeletes = 0;
  std::vector<std::wstring> vecLog;
};

struct Access {
  CNAError* error = new CNAError();
  TestConnection* cnx = new TestConnection();
  TableAccess* p = nullptr;
  explicit Access(INADataSourceDescription* declared) {
    error->AddRef();
    cnx->AddRef();
    p = new TableAccess(declared, cnx, error);
    p->AddRef();
  }
  ~Access() {
    p->nRelease();
    cnx->nRelease();
    error->nRelease();
  }
  TableAccess* operator->() const { return p; }
};

// ---- Adopting the server's description ----------------------------------------

// An item the server cannot update marks the access and the declared item
// of that name; the others stay updatable. Without a declared description
// of its own the access is marked all the same.
TEST(tableddl_import, ItemsTheServerCannotUpdateAreMarked) {
  Source declared;
  declared.Add(L"a", NA_IT_I4, 4);
  declared.Add(L"b", NA_IT_I4, 4);
  Source server;
  server.Add(L"a", NA_IT_I4, 4);
  server.Add(L"b", NA_IT_I4, 4)->SetNotUpdatable();
  {
    Access a(declared.p);
    EXPECT_EQ(0, a->bNotUpdatable());
    a->_SetImportedDataSourceDesc(server.p);
    EXPECT_EQ(1, a->bNotUpdatable());
    EXPECT_EQ(server.p, a->pclGetImportedDataSourceNoRef());
    EXPECT_EQ(1, declared.p->pclGetItemNoRef(0)->bUpdatable());
    EXPECT_EQ(0, declared.p->pclGetItemNoRef(1)->bUpdatable());
  }
  Access none(nullptr);
  none->_SetImportedDataSourceDesc(server.p);
  EXPECT_EQ(1, none->bNotUpdatable());
  EXPECT_EQ(2u, server.p->nGetRef()) << "held by the access";
}

// A query: a calculated item takes the type the server computes (the
// record then holds a value of that type), an item the runtime could not
// name takes the server's name at its place, and a binary memo of the
// server reads as the text memo declared.
TEST(tableddl_import, QueryItemsFollowTheServer) {
  kxtest::DriverScope<kxtest::PlainDriver> driver;  // the record layout's columns
  Source declared;
  CNAItemDescription* calc = declared.Add(L"calc", NA_IT_TEXTE, 11);
  calc->SetColumnKind(1);
  CNAItemDescription* plain = declared.Add(L"plain", NA_IT_TEXTE, 11);
  declared.Add(L"m", NA_IT_MEMOTEXTE, 8);
  declared.Add(L"Expr1", NA_IT_I4, 4);
  Source server;
  server.Add(L"calc", NA_IT_I4, 4);
  server.Add(L"plain", NA_IT_I4, 4);
  CNAItemDescription* memo = server.Add(L"m", NA_IT_MEMOBINAIRE, 8);
  server.Add(L"total", NA_IT_I4, 4);

  Access a(declared.p);
  a->SetQuery(1);
  ASSERT_TRUE(a->_bInitCurrentRecord()) << W(a.error->pszGetError());
  a->_SetImportedDataSourceDesc(server.p);
  EXPECT_EQ(NA_IT_I4, calc->eNAGetItemType());
  EXPECT_EQ(NA_IT_TEXTE, plain->eNAGetItemType()) << "only calculated items change";
  EXPECT_EQ(NA_IT_MEMOTEXTE, memo->eNAGetItemType());
  EXPECT_EQ(W(L"total"), W(declared.p->pclGetItemNoRef(3)->pszGetName()));
  EXPECT_EQ(W(L"total"), W(a->pclGetCurrentRecord()->pclGetColumnNoRef(3)->pszGetName()));
  EXPECT_EQ(0, a->bNotUpdatable());

  // The record was rebuilt for the new type: the column holds an integer.
  CNAColumn* column = a->pclGetCurrentRecord()->pclGetColumnNoRef(0);
  CAny value;
  value.SetI4(42);
  ASSERT_TRUE(column->bSetValue(&value, 0)) << W(a.error->pszGetError()) << column->eNAGetItemType();
  CAny read;
  ASSERT_TRUE(column->bGetCurrentValue(&read, 0));
  int n = 0;
  EXPECT_EQ(0, read.nGetINT(&n));
  EXPECT_EQ(42, n);
}

// ---- A table that cannot be read ----------------------------------------------

// Without an error recorded the missing table is user error 15 naming the
// logical table; after the server's own reason, that reason stays the
// error and the table's name is put first among the user's messages. An
// opening fails at level 2 either way.
TEST(tableddl_missing, TableThatCannotBeReadIsReportedByItsName) {
  Source declared;
  declared.Add(L"a", NA_IT_I4, 4);
  for (int readError : {0, 1}) {
    SCOPED_TRACE(readError);
    Access a(declared.p);
    a->readError = readError;
    int exists = 7;
    int compatible = 7;
    EXPECT_EQ(0, a->bFichierExiste(&exists, &compatible));
    EXPECT_EQ(0, exists);
    EXPECT_EQ(0, compatible);
    EXPECT_EQ((std::vector<std::wstring>{L"describe orders_db 1"}), a->vecLog);
    const std::wstring dump = W(a.error->pszGetError());
    EXPECT_NE(std::wstring::npos, dump.find(L"Orders cannot be opened.")) << dump;
    if (readError == 0) {
      EXPECT_EQ(15u, a.error->nGetUserErrorCode()) << dump;
    } else {
      EXPECT_EQ(1146u, a.error->dwGetDataBaseErrorCode()) << dump;
      EXPECT_LT(dump.find(L"Orders cannot be opened."), dump.find(L"no such table")) << dump;
    }
    a.error->Reset();
    EXPECT_EQ(0, a->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr));
    EXPECT_EQ(NAERRORLEVEL_WARNING, a.error->eGetErrorLevel());
    EXPECT_FALSE(a->bIsOpened());
  }
}

// A compatible table is checked once; an incompatible one is asked about
// again on the next opening.
TEST(tableddl_missing, OnlyAPositiveCheckIsRemembered) {
  kxtest::DriverScope<kxtest::PlainDriver> driver;  // the record layout's columns
  Source declared;
  declared.Add(L"a", NA_IT_I4, 4);
  declared.Add(L"b", NA_IT_I4, 4);
  Access a(declared.p);
  Source server(a.error);
  server.Add(L"a", NA_IT_I4, 4);
  a->pclServer = server.p;
  EXPECT_EQ(0, a->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr));
  EXPECT_EQ(20u, a.error->nGetUserErrorCode());
  server.Add(L"b", NA_IT_I4, 4);
  a.error->Reset();
  EXPECT_EQ(1, a->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr)) << W(a.error->pszGetError());
  a->bHFerme();
  EXPECT_EQ(1, a->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr));
  EXPECT_EQ(2u, a->vecLog.size());
}

// ---- Alias name ------------------------------------------------------------------

TEST(tableddl_alias, ContextsNextLogicalNameElseTheLogicalName) {
  Source declared;
  Source server;
  Access a(declared.p);
  a->pclServer = server.p;
  int exists = 0;
  a->bFichierExiste(&exists, nullptr);
  EXPECT_EQ(W(L"Orders"), W(a->pszGetAliasName()));
  CNAContext* context = new CNAContext();
  context->AddRef();
  a->SetContext(context);
  context->SetNextLogicalName(L"Orders2024");
  a->bFichierExiste(&exists, nullptr);
  EXPECT_EQ(W(L"Orders2024"), W(a->pszGetAliasName()));
  context->SetNextLogicalName(L"");
  a->bFichierExiste(&exists, nullptr);
  EXPECT_EQ(W(L"Orders"), W(a->pszGetAliasName()));
  a->SetContext(nullptr);
  context->nRelease();
}

// ---- Generated index names ---------------------------------------------------------

// "KXIDX", the seconds since 1970, then a counter of the process that
// grows by one per name: two names of one second differ.
TEST(tableddl_index, GeneratedNamesCountWithinASecond) {
  Access a(nullptr);
  CTString first;
  CTString second;
  std::time_t before = 0;
  std::time_t after = 0;
  do {
    before = std::time(nullptr);
    ASSERT_TRUE(a->_bGetGeneratedIndexName(nullptr, &first));
    ASSERT_TRUE(a->_bGetGeneratedIndexName(nullptr, &second));
    after = std::time(nullptr);
  } while (before != after);
  const std::wstring prefix = L"KXIDX" + std::to_wstring(static_cast<std::uint32_t>(before));
  const std::wstring one = W(first.pszGet());
  const std::wstring two = W(second.pszGet());
  ASSERT_EQ(0u, one.rfind(prefix, 0)) << one;
  ASSERT_EQ(0u, two.rfind(prefix, 0)) << two;
  EXPECT_EQ(std::stol(one.substr(prefix.size())) + 1, std::stol(two.substr(prefix.size()))) << one << " " << two;
}

// ---- Deleting a query's records ----------------------------------------------------

struct DeleteCase {
  int records;
  int failingDelete;  // the delete that fails, counted from 0 (-1: none)
  int result;
  std::vector<std::wstring> log;
};

// A query loses its records one by one on its best browse item: read the
// first, then delete and read the next until out of range; a failing step
// ends it with 0 (the level 2 of a failed operation). The access is left
// closed.
TEST(tableddl_deleteall, QueryRecordsGoOneByOne) {
  const std::wstring first = L"first k 110";
  const std::wstring next = L"next k 110";
  const std::wstring del = L"delete 0 1";
  const std::vector<DeleteCase> cases = {
      {0, -1, 1, {first, L"out"}},
      {2, -1, 1, {first, L"in", del, next, L"in", del, next, L"out"}},
      {3, 1, 0, {first, L"in", del, next, L"in", del}},
  };
  Source declared;
  declared.Add(L"v", NA_IT_I4, 4);
  declared.Add(L"k", NA_IT_I4, 4, kDup);
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.records);
    Access a(declared.p);
    a->SetQuery(1);
    a->SetOpened(1);
    a->nRecords = c.records;
    a->nFailingDelete = c.failingDelete;
    EXPECT_EQ(c.result, a->bSupprimeTout());
    EXPECT_EQ(c.log, a->vecLog);
    EXPECT_FALSE(a->bIsOpened());
    EXPECT_EQ(c.result ? NAERRORLEVEL_NONE : NAERRORLEVEL_WARNING, a.error->eGetErrorLevel());
  }
}

}  // namespace
