// How descriptions are filled: from the server's catalogues (through the
// SQL face of a test driver), from a statement's result columns, completed
// from a query's parser information (built from its text by the stand-in
// parser, whose ledger shows every reference given back); then cloned and
// compared with another description.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNADataAccess.h"
#include "CNADataSourceDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CSQLParserInfo.h"
#include "CXYStringConcat.h"
#include "StandInParserBuilder.h"
#include "support/ColumnStatement.h"
#include "support/TestDriver.h"

namespace {

using Builder = CStandInParserBuilder;
using kxtest::ColumnSpec;
using kxtest::ColumnStatement;

std::wstring W(const wchar_t* p) { return p != nullptr ? p : L"(null)"; }

void Append(CXYStringConcat<wchar_t>* out, const std::wstring& s) { out->Add(s.c_str(), static_cast<long>(s.size())); }

// A description whose catalogues the test scripts: each row of the column
// catalogue adds the listed columns; the index catalogue makes sKey a
// unique key. Its index query may announce another column count.
class ScriptedSource : public CNADataSourceDescription {
 public:
  ScriptedSource(CNAError* error, kxtest::StatementScript* script) : CNADataSourceDescription(nullptr, error),
                                                                    m_pstScript(script) {}
  std::vector<std::wstring> vecColumns;
  std::wstring sKey;
  int nIndexColumns = 1;
  int nIndexReads = 0;

 protected:
  int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* out) override {
    Append(out, L"SHOW COLUMNS FROM " + W(pszGetDBTableName()));
    return 1;
  }
  int _bInitItemFromQueryShowColumns(CNAStatementSQL* statement) override {
    while (statement->bFetch(0) && !statement->bNoCurrentRow())
      for (const std::wstring& s : vecColumns)
        if (!bAddItem(s.c_str(), pszGetDBTableName(), s.c_str(), 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0)) return 0;
    return 1;
  }
  int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* out) override {
    m_pstScript->nColumnCount = nIndexColumns;
    Append(out, L"SHOW INDEX FROM " + W(pszGetDBTableName()));
    return 1;
  }
  int _bInitKeysFromQueryShowIndex(CNAStatementSQL* /*statement*/) override {
    ++nIndexReads;
    if (!sKey.empty()) _bSetKeyType(sKey.c_str(), 0x4800);
    return 1;
  }

 private:
  kxtest::StatementScript* m_pstScript;
};

class na_description_roads : public ::testing::Test {
 protected:
  void SetUp() override {
    CStandInParserLedger::Reset();
    m_pclError = new CNAError;
    m_pclError->AddRef();
  }
  void TearDown() override {
    m_pclError->nRelease();
    EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
  }
  CNADataSourceDescription* New() {
    auto* p = new CNADataSourceDescription(nullptr, m_pclError);
    p->AddRef();
    return p;
  }
  std::wstring Dump() { return W(m_pclError->StringDump().pszGet()); }
  // Completes `d` from the builder's query.
  int Complete(Builder& b, CNADataSourceDescription* d) {
    auto* pclInfo = new CSQLParserInfo(m_pclError, b.pi(), nullptr, 0);
    pclInfo->AddRef();
    const int n = d->bCompleteDescription(pclInfo);
    pclInfo->nRelease();
    return n;
  }
  CNAItemDescription* Item(CNADataSourceDescription* d, const wchar_t* name) { return d->pclNAGetItemNoRef(name, 2); }

  CNAError* m_pclError = nullptr;
};

// ---- From the server's catalogues ------------------------------------------------------

// Without a driver's SQL face, or through the generic hooks, a table
// cannot be read: not available, never a failure without a reason.
TEST_F(na_description_roads, TheGenericDescriptionCannotReadATable) {
  for (bool bDriver : {false, true}) {
    std::unique_ptr<kxtest::DriverScope> scope(bDriver ? new kxtest::DriverScope : nullptr);
    CNADataSourceDescription* d = New();
    EXPECT_EQ(0, d->bInitDataSourceDescriptionFromDB(L"t", 0));
    EXPECT_EQ(L"t", W(d->pszGetLogicalName()));
    EXPECT_EQ(L"t", W(d->pszGetDBTableName()));
    EXPECT_EQ(NA_ERRORTYPE_UNAVAILABLE, m_pclError->eGetErrorType()) << bDriver;
    EXPECT_EQ(38u, m_pclError->nGetUserErrorCode()) << bDriver;
    if (bDriver) {
      EXPECT_TRUE(scope->pclGet()->stScript.vecTexts.empty()) << "no query text, nothing sent";
    }
    m_pclError->Reset();
    d->nRelease();
  }
}

TEST_F(na_description_roads, CatalogueReadings) {
  struct Row {
    const char* pszCase;
    std::vector<std::wstring> vecColumns;
    int nIndexColumns;
    bool bFailColumns;
    int nAnswer;
    std::size_t nTexts;
    unsigned nError;
    int nIndexReads;
  };
  const Row rows[] = {
      {"columns and an index", {L"ID", L"NAME"}, 1, false, 1, 2, 0, 1},
      {"an index catalogue without result set", {L"ID"}, 0, false, 1, 2, 0, 0},
      {"no column: no such table", {}, 1, false, 0, 1, 30, 0},
      {"the column query fails", {L"ID"}, 1, true, 0, 1, 0, 0},
  };
  for (const Row& r : rows) {
    kxtest::DriverScope scope;
    kxtest::StatementScript& script = scope.pclGet()->stScript;
    script.nColumnCount = 1;
    if (r.bFailColumns) script.FailNext();
    auto* d = new ScriptedSource(m_pclError, &script);
    d->AddRef();
    d->vecColumns = r.vecColumns;
    d->sKey = L"ID";
    d->nIndexColumns = r.nIndexColumns;
    EXPECT_EQ(r.nAnswer, d->bInitDataSourceDescriptionFromDB(L"Cust", 0)) << r.pszCase;
    ASSERT_EQ(r.nTexts, script.vecTexts.size()) << r.pszCase;
    EXPECT_EQ(L"SHOW COLUMNS FROM Cust", script.vecTexts[0]) << r.pszCase;
    if (r.nTexts > 1) {
      EXPECT_EQ(L"SHOW INDEX FROM Cust", script.vecTexts[1]) << r.pszCase;
    }
    EXPECT_EQ(r.vecColumns.size() * (r.bFailColumns ? 0 : 1), d->nGetNumItems()) << r.pszCase;
    EXPECT_EQ(r.nIndexReads, d->nIndexReads) << r.pszCase;
    if (r.nError != 0) {
      EXPECT_EQ(r.nError, m_pclError->nGetUserErrorCode()) << r.pszCase;
      EXPECT_EQ(L"Cust", W(m_pclError->pszGetLogicalTableName())) << r.pszCase;
      EXPECT_NE(std::wstring::npos, Dump().find(L"IEKXMARIA=8.3")) << Dump();
    }
    EXPECT_EQ(0, script.nAlive) << r.pszCase << ": every statement given back";
    if (r.nAnswer && r.nIndexReads) {
      CNAItemDescription* pId = Item(d, L"ID");
      EXPECT_EQ(0x4800, pId->wGetKeyFlags());
      // The road leaves the layout to the clone.
      EXPECT_EQ(0xFFFFFFFFu, Item(d, L"NAME")->nGetOffset(0));
      EXPECT_EQ(0u, d->nGetDiskRecordSize());
      CNADataSourceDescription* c = d->pclGetCloneDataSourceDescription(NA_CLONEDESC_NONE);
      ASSERT_NE(nullptr, c);
      c->AddRef();
      EXPECT_EQ(8u, c->nGetDiskRecordSize());
      EXPECT_EQ(4u, Item(c, L"NAME")->nGetOffset(0));
      c->nRelease();
    }
    m_pclError->Reset();
    d->nRelease();
  }
}

// ---- From a statement's result columns -----------------------------------------------------

TEST_F(na_description_roads, AResultIsDescribedFromItsColumns) {
  std::vector<ColumnSpec> cols(4);
  cols[0].sName = L"id";
  cols[0].wKeyFlags = 0xC800;
  cols[0].sSourceTable = L"cust";
  cols[0].sNameInSource = L"cust_id";
  cols[0].sDBType = L"int";
  cols[0].nNativeType = 3;
  cols[1].sName = L"name";
  cols[1].eType = NA_IT_TEXTE;
  cols[1].nSize = 21;
  cols[2].sName = L"code";
  cols[2].wKeyFlags = 0x2800;
  cols[3].sName = L"";
  auto* s1 = new ColumnStatement(cols);
  s1->AddRef();
  auto* s2 = new ColumnStatement({});
  s2->AddRef();

  CNADataSourceDescription* d1 = New();
  ASSERT_EQ(1, d1->bInitDataSourceDescriptionFromStatement(s1));
  CNADataSourceDescription* d2 = New();
  ASSERT_EQ(1, d2->bInitDataSourceDescriptionFromStatement(s2));
  EXPECT_EQ(0u, d2->nGetNumItems());
  const std::wstring sName1 = W(d1->pszGetLogicalName());
  EXPECT_FALSE(sName1.empty());
  EXPECT_EQ(std::wstring::npos, sName1.find_first_not_of(L"0123456789")) << sName1;
  EXPECT_NE(sName1, W(d2->pszGetLogicalName())) << "each result has a name of its own";
  EXPECT_EQ(sName1, W(d1->pszGetDBTableName()));

  ASSERT_EQ(4u, d1->nGetNumItems());
  CNAItemDescription* pId = d1->pclGetItemNoRef(0);
  EXPECT_EQ(L"cust", W(pId->pszGetSourceName()));
  EXPECT_EQ(L"cust_id", W(pId->pszGetNameInSource()));
  EXPECT_EQ(L"int", W(pId->pszGetDBType()));
  EXPECT_EQ(3u, pId->nGetDBTypeCode());
  EXPECT_EQ(0, pId->nGetKeyIndice());
  CNAItemDescription* pName = d1->pclGetItemNoRef(1);
  EXPECT_EQ(sName1, W(pName->pszGetSourceName())) << "no source table: the description's name";
  EXPECT_EQ(L"name", W(pName->pszGetNameInSource()));
  EXPECT_EQ(-1, pName->nGetKeyIndice());
  EXPECT_EQ(1, d1->pclGetItemNoRef(2)->nGetKeyIndice()) << "the running count of key columns";
  EXPECT_EQ(L"Expr1000", W(d1->pclGetItemNoRef(3)->pszGetName())) << "named from the value count, 0 until the layout";
  EXPECT_EQ(2u, d1->nGetNumKeys());
  EXPECT_EQ(33u, d1->nGetDiskRecordSize()) << "the layout is computed";

  // A description named before keeps its name.
  CNADataSourceDescription* d3 = New();
  d3->SetLogicalName(L"Named");
  ASSERT_EQ(1, d3->bInitDataSourceDescriptionFromStatement(s1));
  EXPECT_EQ(L"Named", W(d3->pszGetLogicalName()));
  d1->nRelease();
  d2->nRelease();
  d3->nRelease();
  s1->nRelease();
  s2->nRelease();
}

// The column is described before an item is made: a column that cannot be
// leaves no item behind.
TEST_F(na_description_roads, AColumnThatCannotBeDescribedLeavesNoItem) {
  std::vector<ColumnSpec> cols(2);
  cols[0].sName = L"a";
  cols[1].sName = L"b";
  auto* s = new ColumnStatement(cols);
  s->AddRef();
  s->bFailColumns = true;
  kxtest::DriverScope scope;
  CNADataSourceDescription* d = New();
  EXPECT_EQ(0, d->bInitDataSourceDescriptionFromStatement(s));
  EXPECT_EQ(0u, d->nGetNumItems());
  EXPECT_EQ(0, scope.pclGet()->nItemsMade) << "no item made for a column that is not there";
  EXPECT_EQ(0, d->bInitDataSourceDescriptionFromStatement(nullptr));
  d->nRelease();
  s->nRelease();
}

TEST_F(na_description_roads, AnItemThatCannotBeMadeIsOutOfMemory) {
  std::vector<ColumnSpec> cols(1);
  cols[0].sName = L"a";
  auto* s = new ColumnStatement(cols);
  s->AddRef();
  kxtest::DriverScope scope;
  scope.pclGet()->bNoItem = true;
  CNADataSourceDescription* d = New();
  EXPECT_EQ(0, d->bInitDataSourceDescriptionFromStatement(s));
  EXPECT_EQ(12u, m_pclError->dwGetSystemErrorCode()) << "the no-memory error";
  EXPECT_EQ(0, d->bAddItem(L"x", L"", L"x", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0));
  d->nRelease();
  s->nRelease();
}

// The data access describes a result through the description.
TEST_F(na_description_roads, TheDataAccessDescribesAResultThroughTheDescription) {
  std::vector<ColumnSpec> cols(2);
  cols[0].sName = L"a";
  cols[1].sName = L"b";
  auto* s = new ColumnStatement(cols);
  s->AddRef();
  auto* access = new CNADataAccess(nullptr, nullptr, m_pclError);
  access->AddRef();
  CNADataSourceDescription* d = New();
  EXPECT_EQ(1, access->bInitDataSourceFromResult(d, s));
  EXPECT_EQ(2u, d->nGetNumItems());
  EXPECT_EQ(0, access->bInitDataSourceFromResult(d, nullptr));
  EXPECT_EQ(38u, m_pclError->nGetUserErrorCode());
  d->nRelease();
  access->nRelease();
  s->nRelease();
}

// ---- Completed from a query's parser information ----------------------------------------------

// One table or a join: a primary, unique source stays so with one table and
// becomes a key with duplicates with two.
TEST_F(na_description_roads, KeyFlagsOfNewItemsFollowTheNumberOfTables) {
  struct Row {
    bool bJoin;
    std::uint16_t wFlags;
  };
  for (const Row& r : {Row{false, 0xC800}, Row{true, 0x2800}}) {
    Builder b(r.bJoin ? L"SELECT t.id, u.name FROM t JOIN u ON t.id = u.id" : L"SELECT t.id, u.name FROM t");
    CStandInInfoRubrique* id = b.Column(L"t.id", L"t", L"id");
    CStandInInfoRubrique* name = b.Column(L"u.name", L"t", L"name");
    b.From(L"t", nullptr, L"t_db");
    if (r.bJoin) b.From(L"u");
    CStandInItemDescription* pid = b.Describe(id, NA_IT_I4);
    pid->m_nSize = 4;
    pid->m_bPrimary = pid->m_bUnique = 1;
    b.Describe(name, NA_IT_TEXTE)->m_nSize = 21;
    CNADataSourceDescription* d = New();
    ASSERT_EQ(1, Complete(b, d));
    ASSERT_EQ(2u, d->nGetNumItems());
    CNAItemDescription* pId = d->pclGetItemNoRef(0);
    EXPECT_EQ(L"id", W(pId->pszGetName()));
    EXPECT_EQ(r.wFlags, pId->wGetKeyFlags()) << r.bJoin;
    EXPECT_EQ(0, pId->nGetKeyIndice());
    EXPECT_EQ(L"t_db", W(pId->pszGetDBTableName()));
    EXPECT_EQ(0, pId->nGetColumnKind());
    CNAItemDescription* pName = d->pclGetItemNoRef(1);
    EXPECT_EQ(0, pName->wGetKeyFlags());
    EXPECT_EQ(NA_IT_TEXTE, pName->eNAGetItemType());
    EXPECT_EQ(1u, d->nGetNumKeys());
    EXPECT_EQ(25u, d->nGetDiskRecordSize()) << "the layout is computed";
    d->nRelease();
  }
}

TEST_F(na_description_roads, NamesAndDatabaseTablesOfNewItems) {
  Builder b(L"SELECT a AS x, b, u.c FROM t, v AS u");
  CStandInInfoRubrique* a = b.Column(L"a", L"t", L"a", L"x");
  CStandInInfoRubrique* bb = b.Column(L"b", L"v", L"b");
  CStandInInfoRubrique* c = b.Column(L"u.c", L"u", L"c", nullptr, L"v");
  b.From(L"t", nullptr, L"t_db");
  CStandInInfoFrom* v = b.From(L"v", L"u");
  v->m_pclSource->m_sDBTable = L"v_desc";
  b.Describe(a, NA_IT_I4);
  b.Describe(bb, NA_IT_I4);
  b.Describe(c, NA_IT_I4);
  CNADataSourceDescription* d = New();
  ASSERT_EQ(1, Complete(b, d));
  ASSERT_EQ(3u, d->nGetNumItems());
  EXPECT_EQ(L"x", W(d->pclGetItemNoRef(0)->pszGetName())) << "the alias names the item";
  EXPECT_EQ(L"a", W(d->pclGetItemNoRef(0)->pszGetNameInSource()));
  EXPECT_EQ(L"t_db", W(d->pclGetItemNoRef(0)->pszGetDBTableName())) << "the physical name";
  EXPECT_EQ(L"v_desc", W(d->pclGetItemNoRef(1)->pszGetDBTableName())) << "no physical name: the table's description";
  EXPECT_EQ(L"v", W(d->pclGetItemNoRef(2)->pszGetDBTableName())) << "reached by an alias: the table's name";
  d->nRelease();
}

TEST_F(na_description_roads, ACalculatedItemTakesItsEngineType) {
  Builder b(L"SELECT price * 2 AS c FROM t");
  CAny two;
  two.SetI4(2);
  CStandInInfoRubrique* c = b.Calculated(b.Op(3, {b.Item(L"price", L"", L"price"), b.Literal(L"2", two)}), L"c");
  c->m_nTypeCode = 42;
  c->m_nTypeColonne = 1;
  c->m_nTaille = 10;
  b.From(L"t");
  CNADataSourceDescription* d = New();
  ASSERT_EQ(1, Complete(b, d));
  ASSERT_EQ(1u, d->nGetNumItems());
  CNAItemDescription* p = d->pclGetItemNoRef(0);
  EXPECT_EQ(L"c", W(p->pszGetName()));
  EXPECT_EQ(NA_IT_MEMOTEXTE, p->eNAGetItemType());
  EXPECT_EQ(1, p->nGetColumnKind());
  EXPECT_EQ(1u, d->nGetNumMemos());
  EXPECT_EQ(0u, d->nGetNumKeys());
  d->nRelease();
}

// The ORDER BY names select-list positions: after a composite-key source
// added no item, positions and items differ; a position that names no item
// is passed over.
TEST_F(na_description_roads, OrderByFollowsThePositionsAfterASkippedCompositeKey) {
  struct Row {
    const wchar_t* pszText;
    std::vector<std::pair<const wchar_t*, int>> vecOrder;  // fragment, position
    const wchar_t* pszBest;
    std::uint16_t wFlagsA, wFlagsB;
  };
  const Row rows[] = {
      {L"SELECT k, a, b FROM t ORDER BY b DESC, a, 7", {{L"b", 2}, {L"a", 1}, {L"7", 7}}, L"b", 0x0800, 0x0400},
      {L"SELECT k, a, b FROM t ORDER BY k, b DESC", {{L"k", 0}, {L"b", 2}}, L"a", 0, 0x0400},
      {L"SELECT k, a, b FROM t ORDER BY 9 DESC", {{L"9", 9}}, L"a", 0, 0},
  };
  for (const Row& r : rows) {
    Builder b(r.pszText);
    CStandInInfoRubrique* k = b.Column(L"k", L"t", L"k");
    CStandInInfoRubrique* a = b.Column(L"a", L"t", L"a");
    CStandInInfoRubrique* bb = b.Column(L"b", L"t", L"b");
    b.From(L"t");
    CStandInItemDescription* pk = b.Describe(k, NA_IT_BINAIRE);
    pk->m_bComposed = pk->m_bUnique = 1;
    b.Describe(a, NA_IT_I4);
    b.Describe(bb, NA_IT_I4);
    for (const auto& o : r.vecOrder) b.OrderBy(o.first, o.second);
    CNADataSourceDescription* d = New();
    ASSERT_EQ(1, Complete(b, d));
    ASSERT_EQ(2u, d->nGetNumItems()) << "the composite key adds nothing";
    EXPECT_EQ(r.wFlagsA, Item(d, L"a")->wGetKeyFlags()) << W(r.pszText);
    EXPECT_EQ(r.wFlagsB, Item(d, L"b")->wGetKeyFlags()) << W(r.pszText);
    INAItemDescription* pi = d->piGetBestParseItemDesc();
    EXPECT_EQ(W(r.pszBest), W(pi != nullptr ? pi->pszGetName() : nullptr)) << W(r.pszText);
    if (pi != nullptr) pi->nExternalRelease();
    d->nRelease();
  }
}

// Items described from the result columns are completed in place; the
// select list's items beyond them are added.
TEST_F(na_description_roads, ExistingItemsAreCompletedInPlace) {
  CNADataSourceDescription* d = New();
  d->bAddItem(L"a", L"", L"a", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0x2800, 0, 0);
  d->bAddItem(L"b", L"", L"b", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0x2800, 0, 0);
  d->bAddItem(L"m", L"", L"m", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);
  d->bAddItem(L"n", L"", L"n", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);

  Builder b(L"SELECT a, b, m, n, c FROM t");
  CStandInInfoRubrique* a = b.Column(L"a", L"t", L"a");
  CStandInInfoRubrique* bb = b.Column(L"b", L"t", L"b");
  CStandInInfoRubrique* m = b.Column(L"m", L"t", L"m");
  CStandInInfoRubrique* n = b.Column(L"n", L"t", L"n");
  CStandInInfoRubrique* c = b.Column(L"c", L"t", L"c");
  b.From(L"t", nullptr, L"t_db");
  CStandInItemDescription* pa = b.Describe(a, NA_IT_I4);
  pa->m_bPrimary = pa->m_bUnique = 1;
  b.Describe(bb, NA_IT_I4);
  b.Describe(m, NA_IT_MEMOTEXTE);
  CStandInItemDescription* pn = b.Describe(n, NA_IT_I4);
  pn->m_bDuplicates = 1;
  b.Describe(c, NA_IT_TEXTE)->m_nSize = 11;
  ASSERT_EQ(1, Complete(b, d));

  ASSERT_EQ(5u, d->nGetNumItems());
  EXPECT_EQ(0xC800, Item(d, L"a")->wGetKeyFlags());
  EXPECT_EQ(0, Item(d, L"a")->nGetKeyIndice()) << "a key keeps its place among the keys";
  EXPECT_EQ(1, Item(d, L"b")->nGetKeyIndice());
  EXPECT_EQ(L"t_db", W(Item(d, L"b")->pszGetDBTableName()));
  ASSERT_EQ(3u, d->nGetNumKeys());
  EXPECT_EQ(Item(d, L"n"), d->pclGetKeyNoRef(2)) << "a new key is appended";
  EXPECT_EQ(2, Item(d, L"n")->nGetKeyIndice());
  ASSERT_EQ(1u, d->nGetNumMemos());
  EXPECT_EQ(Item(d, L"m"), d->pclGetMemoNoRef(0)) << "a new memo is filed";
  EXPECT_EQ(L"c", W(d->pclGetItemNoRef(4)->pszGetName()));
  d->nRelease();
}

TEST_F(na_description_roads, WithoutASelectThereIsNothingToComplete) {
  CNADataSourceDescription* d = New();
  auto* pclInfo = new CSQLParserInfo();
  pclInfo->AddRef();
  EXPECT_EQ(1, d->bCompleteDescription(pclInfo));
  EXPECT_EQ(0u, d->nGetNumItems());
  pclInfo->nRelease();
  d->nRelease();
}

// ---- Clone and compatibility ---------------------------------------------------------------------

TEST_F(na_description_roads, ClonesByMode) {
  CNADataSourceDescription* d = New();
  d->SetLogicalName(L"Cust");
  d->SetDBName(L"cust_db");
  d->bAddItem(L"ID", L"", L"ID", 1, 4, NA_IT_IDAUTO4, 0xFFFFFFFFu, -1, 0xC800, 0, 0);
  d->bAddItem(L"NAME", L"", L"NAME", 1, 21, NA_IT_TEXTE, 0xFFFFFFFFu, -1, 0, 0, 0);
  d->bAddItem(L"NOTE", L"", L"NOTE", 1, 8, NA_IT_MEMOTEXTE, 0xFFFFFFFFu, -1, 0, 0, 0);
  d->bAddItem(L"BORN", L"", L"BORN", 1, 8, NA_IT_DATE8, 0xFFFFFFFFu, -1, 0, 0, 0);
  d->bAddItem(L"K", L"", L"K", 1, 0, NA_IT_BINAIRE, 0xFFFFFFFFu, -1, 0x1800, 0, 0);
  CNAItemDescription* pK = Item(d, L"K");
  d->_bAddItemComponent(pK, L"ID");
  d->_bAddItemComponent(pK, L"NAME");
  ASSERT_EQ(1, d->_SetBestParseItem(L"NAME"));

  struct Row {
    CNAItemDescription::eCLONEDESC eMode;
    const wchar_t* pszKeys;
    eNA_ITEMTYPE eBorn;
  };
  const Row rows[] = {
      {NA_CLONEDESC_NONE, L"ID|K|", NA_IT_DATE8},
      {NA_CLONEDESC_KEYALL, L"ID|NAME|BORN|K|", NA_IT_DATE8},
      {NA_CLONEDESC_DATEASTEXT, L"ID|K|", NA_IT_TEXTE},
      {static_cast<CNAItemDescription::eCLONEDESC>(3), L"ID|NAME|BORN|K|", NA_IT_TEXTE},
  };
  for (const Row& r : rows) {
    CNADataSourceDescription* c = d->pclGetCloneDataSourceDescription(r.eMode);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(0u, c->nGetRef()) << "no reference for the caller";
    EXPECT_EQ(0u, c->nGetExternalRef());
    c->AddRef();
    EXPECT_EQ(L"Cust", W(c->pszGetLogicalName()));
    EXPECT_EQ(L"cust_db", W(c->pszGetDBTableName()));
    std::wstring sKeys;
    for (std::uint32_t i = 0; i < c->nGetNumKeys(); ++i) sKeys += W(c->pclGetKeyNoRef(i)->pszGetName()) + L"|";
    EXPECT_EQ(W(r.pszKeys), sKeys) << r.eMode;
    EXPECT_EQ(1u, c->nGetNumMemos()) << "NOTE stays a memo only";
    EXPECT_EQ(r.eBorn, Item(c, L"BORN")->eNAGetItemType()) << r.eMode;
    CNAItemDescription* pCK = Item(c, L"K");
    ASSERT_EQ(2u, pCK->nGetNumComponents());
    INAItemDescription* piComponent = pCK->piGetItemComponent(2);
    EXPECT_EQ(static_cast<INAItemDescription*>(Item(c, L"NAME")), piComponent) << "found again in the clone";
    piComponent->nExternalRelease();
    INAItemDescription* piBest = c->piGetBestParseItemDesc();
    EXPECT_EQ(static_cast<INAItemDescription*>(Item(c, L"NAME")), piBest) << "the best item carried over";
    piBest->nExternalRelease();
    EXPECT_EQ(d->nGetMemoryRecordSize(), 0u);
    EXPECT_EQ(4u + 21u + 8u + 8u, c->nGetDiskRecordSize()) << "the clone computes its layout";
    c->nRelease();
  }
  d->nRelease();
}

TEST_F(na_description_roads, CompatibilityComparesNamesOnly) {
  CNADataSourceDescription* d = New();
  d->SetLogicalName(L"Cust");
  d->bAddItem(L"a", L"", L"a", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);
  d->bAddItem(L"b", L"", L"b", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);
  d->bAddItem(L"extra", L"", L"extra", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);

  CNADataSourceDescription* other = New();
  other->bAddItem(L"A", L"", L"A", 1, 21, NA_IT_TEXTE, 0xFFFFFFFFu, -1, 0xC800, 0, 0);
  other->bAddItem(L"B ", L"", L"B ", 1, 8, NA_IT_R8, 0xFFFFFFFFu, -1, 0, 0, 0);
  other->bAddItem(L"K", L"", L"K", 1, 0, NA_IT_BINAIRE, 0xFFFFFFFFu, -1, 0x1800, 0, 0);
  EXPECT_EQ(1, d->bAreDescriptionCompatible(other));
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pclError->eGetErrorType());

  other->bAddItem(L"D", L"", L"D", 1, 4, NA_IT_I4, 0xFFFFFFFFu, -1, 0, 0, 0);
  EXPECT_EQ(0, d->bAreDescriptionCompatible(other));
  EXPECT_EQ(20u, m_pclError->nGetUserErrorCode());
  EXPECT_EQ(L"Cust", W(m_pclError->pszGetLogicalTableName()));
  EXPECT_NE(std::wstring::npos, Dump().find(L"no item D")) << Dump();
  EXPECT_NE(std::wstring::npos, Dump().find(L"IEKXMARIA=8.1")) << Dump();
  for (std::uint32_t i = 0; i < other->nGetNumItems(); ++i)
    EXPECT_EQ(other->pclGetItemNoRef(i)->bIsKey(-1) ? 2u : 1u, other->pclGetItemNoRef(i)->nGetExternalCount())
        << "every item handed out came back";
  other->nRelease();
  d->nRelease();
}

}  // namespace
