// The host's interfaces as the library calls them, by slot number, on the
// stand-in platform's objects: the context's two identifiers, the SQL
// runtime's compatibility check, a query's execution context, and the
// runtime's own declaration of a table (items, keys, memos, components),
// with every reference handed out given back.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "StandInQueryExecution.h"
#include "StandInSQLParser.h"
#include "nativeaccess/support/SlotCall.h"
#include "nativeaccess/support/TestRuntimeObjects.h"

namespace {

using kxtest::Slot;

std::wstring W(const wchar_t* p) { return p != nullptr ? p : L"(null)"; }

class host_interfaces : public testing::Test {
 protected:
  void SetUp() override { CStandInParserLedger::Reset(); }
  void TearDown() override { EXPECT_EQ("", CStandInParserLedger::sUnbalanced()); }
};

// Both identifiers are full 64-bit numbers, at slots 8 and 9.
TEST_F(host_interfaces, ContextAnswersBothIdentifiersAtTheirSlots) {
  kxtest::TestContext context;
  context.SetNumber(0x1234567890ull);
  context.SetDataNumber(0xFEDCBA0987654321ull);
  void* p = static_cast<INAContext*>(&context);
  EXPECT_EQ(0x1234567890ull, (Slot<std::uint64_t>(p, 8)));
  EXPECT_EQ(0xFEDCBA0987654321ull, (Slot<std::uint64_t>(p, 9)));
}

// Slot 34: the answer follows the runtime's version unless a test forces
// it; the version is written either way and each call is counted.
TEST_F(host_interfaces, CompatibilityCheckIsScriptedAndCounted) {
  const struct {
    int nForced;
    std::uint32_t nRuntime;
    int nKind, nVersion;
    int nAnswer;
  } rows[] = {
      {-1, 32, 76, 32, 1},  // the stand-in as it comes
      {-1, 40, 76, 32, 1},  // a newer runtime
      {-1, 31, 76, 32, 0},  // an older one refuses version 32
      {-1, 32, 75, 32, 0},  // another kind of component
      {0, 40, 76, 32, 0},   // forced refusal
      {1, 20, 76, 32, 1},   // forced acceptance; the old version is still written
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.nForced << " " << row.nRuntime << " " << row.nKind);
    CStandInSQLParser parser;
    parser.m_nCompatibilityAnswer = row.nForced;
    parser.m_nRuntimeVersion = row.nRuntime;
    std::uint32_t nVersion = 0;
    void* p = static_cast<ISQLParserInformation*>(&parser);
    EXPECT_EQ(row.nAnswer, (Slot<int>(p, 34, row.nKind, row.nVersion, &nVersion)));
    EXPECT_EQ(row.nRuntime, nVersion);
    EXPECT_EQ(row.nAnswer, (Slot<int>(p, 34, row.nKind, row.nVersion, static_cast<std::uint32_t*>(nullptr))));
    EXPECT_EQ(2, parser.m_nCompatibilityCalls);
    EXPECT_EQ(row.nKind, parser.m_nCompatibilityKind);
    EXPECT_EQ(row.nVersion, parser.m_nCompatibilityVersion);
  }
}

// Slots 0 and 1 of a query's execution context: the flags, and the browse
// item as the test names it (none is null, an empty name stays empty).
TEST_F(host_interfaces, QueryExecutionAnswersFlagsAndBrowseItem) {
  CStandInQueryExecution exec;
  const void* p = static_cast<const INAQueryExecution*>(&exec);
  void* pv = const_cast<void*>(p);
  exec.m_nWriteParseFlags = 0x110000u;
  EXPECT_EQ(0x110000u, (Slot<std::uint32_t>(pv, 0)));
  EXPECT_EQ(nullptr, (Slot<const wchar_t*>(pv, 1)));
  exec.SetParseItem(L"");
  EXPECT_EQ(L"", W(Slot<const wchar_t*>(pv, 1)));
  exec.SetParseItem(L"NAME");
  EXPECT_EQ(L"NAME", W(Slot<const wchar_t*>(pv, 1)));
  EXPECT_EQ(1, exec.m_nFlagCalls);
  EXPECT_EQ(3, exec.m_nItemCalls);
}

// The runtime's own declaration of a table from rows: items by index and
// by name, keys and memos in item order, a composite key's components,
// sizes; out-of-range indexes give null and take nothing; every reference
// handed out is counted and comes back.
TEST_F(host_interfaces, DeclaredTableAnswersItemsKeysAndMemos) {
  CStandInDataSource source(L"orders", L"orders_db");
  ASSERT_TRUE(source.Declare({
      {L"ID", 28, 4, 1, 0x8800, {}, 0},
      {L"B ", 2, 11, 1, 0, {}, 1},
      {L"NOTE", 15, 8, 1, 0, {}, 1},
      {L"K", 23, 15, 1, 0x5800, {L"ID", L"B "}, 1},
      {L"TAB", 5, 4, 3, 0x2400, {}, 0},
  }));
  void* p = static_cast<INADataSourceDescription*>(&source);
  EXPECT_EQ(L"orders", W(Slot<const wchar_t*>(p, 7)));
  EXPECT_EQ(L"orders_db", W(Slot<const wchar_t*>(p, 21)));
  EXPECT_EQ(4u + 11 + 8 + 12, (Slot<std::uint32_t>(p, 10)));
  EXPECT_EQ(4u + 11 + 8 + 15 + 12, (Slot<std::uint32_t>(p, 11)));
  EXPECT_EQ(5u, (Slot<std::uint32_t>(p, 12)));
  EXPECT_EQ(3u, (Slot<std::uint32_t>(p, 13)));
  EXPECT_EQ(1u, (Slot<std::uint32_t>(p, 14)));

  const struct {
    int nSlot;
    std::uint32_t nIndex;
    const wchar_t* pszName;  // null: no item
  } rows[] = {
      {17, 0, L"ID"}, {17, 1, L"B "}, {17, 4, L"TAB"}, {17, 5, nullptr}, {17, 0xFFFFFFFFu, nullptr},
      {18, 0, L"ID"}, {18, 1, L"K"},  {18, 2, L"TAB"}, {18, 3, nullptr},
      {19, 0, L"NOTE"}, {19, 1, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.nSlot << " " << row.nIndex);
    auto* piItem = Slot<INAItemDescription*>(p, row.nSlot, row.nIndex);
    if (row.pszName == nullptr) {
      EXPECT_EQ(nullptr, piItem);
      continue;
    }
    ASSERT_NE(nullptr, piItem);
    EXPECT_EQ(row.pszName, W(piItem->pszGetName()));
    piItem->nExternalRelease();
  }

  // By name: case ignored, the trailing blank part of the name.
  auto* piB = Slot<INAItemDescription*>(p, 16, L"b ");
  ASSERT_NE(nullptr, piB);
  EXPECT_EQ(1u, piB->nGetPhysicalIndice());
  EXPECT_EQ(-1, piB->nGetKeyIndice());
  EXPECT_EQ(1, piB->vbConstraintNullAllowed());
  piB->nExternalRelease();
  EXPECT_EQ(nullptr, (Slot<INAItemDescription*>(p, 16, L"b")));

  // The composite key: flags, key index, components 1-based.
  auto* piK = Slot<INAItemDescription*>(p, 18, std::uint32_t{1});
  ASSERT_NE(nullptr, piK);
  EXPECT_EQ(1, piK->bIsComposedKey(0));
  EXPECT_EQ(1, piK->bUnique(0));
  EXPECT_EQ(0, piK->bPrimary(0));
  EXPECT_EQ(1, piK->nGetKeyIndice());
  EXPECT_EQ(0x5800, source.pclGetItemNoRef(L"K")->wGetKeyFlags());
  ASSERT_EQ(2u, piK->nGetNumComponents());
  INAItemDescription* piC = piK->piGetItemComponent(2);
  ASSERT_NE(nullptr, piC);
  EXPECT_EQ(L"B ", W(piC->pszGetName()));
  piC->nExternalRelease();
  EXPECT_EQ(nullptr, piK->piGetItemComponent(0));
  EXPECT_EQ(nullptr, piK->piGetItemComponent(3));
  piK->nExternalRelease();

  // A descending key with duplicates of dimension 3, NOT NULL.
  const CStandInItemDescription* pclTab = source.pclGetItemNoRef(L"TAB");
  EXPECT_EQ(0x2400, pclTab->wGetKeyFlags());
  EXPECT_EQ(1, pclTab->bGetDescendant(0));
  EXPECT_EQ(12u, pclTab->nGetTotalSize());
  EXPECT_EQ(0, pclTab->vbConstraintNullAllowed());

  EXPECT_EQ(nullptr, (Slot<INAItemDescription*>(p, 22)));
  EXPECT_EQ(10, CStandInParserLedger::nTakes(eParserCount::ItemDescription));
}

// A composite that names no row declares nothing.
TEST_F(host_interfaces, DeclarationWithUnknownComponentAddsNothing) {
  CStandInDataSource source(L"t");
  EXPECT_FALSE(source.Declare({{L"A", 5, 4}, {L"K", 23, 4, 1, 0x3800, {L"A", L"Z"}}}));
  EXPECT_EQ(0u, source.nGetNumItems());
  EXPECT_EQ(nullptr, source.piNAGetItem(L"A"));
}

// A release too many on a declared item is recorded, not hidden.
TEST_F(host_interfaces, OneGiveBackTooManyOnADeclaredItemIsAFault) {
  CStandInDataSource source(L"t");
  ASSERT_TRUE(source.Declare({{L"A", 5, 4}}));
  INAItemDescription* pi = source.piNAGetItem(0u);
  ASSERT_NE(nullptr, pi);
  EXPECT_EQ(0u, pi->nExternalRelease());
  EXPECT_EQ(0u, pi->nExternalRelease());
  EXPECT_EQ(1, CStandInParserLedger::nFaults());
  CStandInParserLedger::Reset();
}

}  // namespace
