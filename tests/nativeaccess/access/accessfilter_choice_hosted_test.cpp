// The item a condition's filter runs on, chosen from the condition's
// operands (item references, a table prefix dropped) against the table's
// description; the caller's 255-character buffer; and the next-operation
// check against the table cache.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CAny.h"
#include "AnyHandlers.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "StandInParserBuilder.h"
#include "support/AnyValues.h"
#include "support/BrowseTable.h"
#include "support/CountingAccess.h"

namespace {

using kxtest::CountingAccess;

// An operand naming an item (type code 110).
CAny ItemRef(const std::wstring& text) {
  std::vector<unsigned short> units(text.begin(), text.end());
  CAny v;
  CAny_TNPSTRW::s_SetFromUTF16(&v, units.data(), static_cast<int>(units.size()));
  return v;
}

class accessfilter_choice : public ::testing::Test {
 protected:
  void SetUp() override {
    m_table = std::make_unique<kxtest::BrowseTable>(L"t");
    CNAItemDescription* pId =
        m_table->pclAdd(L"id", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_PRIMARY);
    m_table->pclAdd(L"uk", NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE);
    m_table->pclAdd(L"k", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    m_table->pclAdd(L"k2", NA_IT_I4, 4, CNAItemDescription::KEY_DUPLICATES);
    m_table->pclAdd(L"plain", NA_IT_I4, 4);
    m_table->pclAdd(L"memo", NA_IT_MEMOTEXTE, 8);
    m_table->pclAdd(std::wstring(254, L'a').c_str(), NA_IT_I4, 4);
    m_table->pclAdd(std::wstring(255, L'b').c_str(), NA_IT_I4, 4, CNAItemDescription::KEY_UNIQUE);
    m_table->SetBestParseItem(pId);
    m_error->AddRef();
    m_access = new CountingAccess(m_table.get(), nullptr, m_error);
    m_access->AddRef();
  }
  void TearDown() override {
    m_access->nRelease();
    m_error->nRelease();
    m_table.reset();
  }

  // The item chosen for a condition with these operands; "!" and the
  // error code when none is.
  std::wstring Choose(const std::vector<CAny>& operands, bool withParser = true) {
    std::unique_ptr<CStandInParserBuilder> cond(CStandInParserBuilder::pclCondition(L"x"));
    cond->p()->m_tabConditionOperands = operands;
    wchar_t szItem[255];
    std::wmemset(szItem, L'#', 255);
    m_error->Reset();
    if (!m_access->bFindBestItem(withParser ? cond->pi() : nullptr, szItem)) {
      // Nothing written on failure.
      EXPECT_EQ(L'#', szItem[0]);
      return L"!" + std::to_wstring(m_error->nGetUserErrorCode());
    }
    return szItem;
  }

  std::unique_ptr<kxtest::BrowseTable> m_table;
  CNAError* m_error = new CNAError();
  CountingAccess* m_access = nullptr;
};

TEST_F(accessfilter_choice, BestItemForTheOperands) {
  CAny nullRef = ItemRef(L"k");
  nullRef.SetNull();
  struct Case {
    const char* what;
    std::vector<CAny> operands;
    std::wstring chosen;
  };
  const Case cases[] = {
      {"no operand: the best browse item", {}, L"id"},
      {"a plain item, then a unique key met later", {ItemRef(L"T.plain"), ItemRef(L"T.uk")}, L"uk"},
      {"the first plain item is not examined, a later key with duplicates wins",
       {ItemRef(L"uk"), ItemRef(L"k"), ItemRef(L"k2")},
       L"k"},
      {"only the first plain item", {ItemRef(L"plain"), ItemRef(L"memo")}, L"plain"},
      {"a memo is never the first plain item", {ItemRef(L"memo"), ItemRef(L"k2")}, L"k2"},
      {"nothing the table knows: the best browse item",
       {ItemRef(L"T.nothing"), kxtest::Int(4), ItemRef(L"T."), nullRef},
       L"id"},
      {"a 254-character name fits", {ItemRef(std::wstring(254, L'a'))}, std::wstring(254, L'a')},
      {"a 255-character name does not", {ItemRef(L"plain"), ItemRef(std::wstring(255, L'b'))}, L"!17"},
  };
  CStandInParserLedger::Reset();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.chosen, Choose(c.operands));
  }
  EXPECT_EQ(L"id", Choose({ItemRef(L"k")}, false));
  EXPECT_EQ("", CStandInParserLedger::sUnbalanced());
}

TEST_F(accessfilter_choice, NoItemToChooseFiltersNothing) {
  m_table->SetBestParseItem(nullptr);
  EXPECT_EQ(L"!17", Choose({}));
  wchar_t szItem[255] = L"keep";
  m_error->Reset();
  EXPECT_EQ(0, m_access->bHFiltre(static_cast<ISQLParserInformation*>(nullptr), szItem));
  EXPECT_STREQ(L"keep", szItem);
  EXPECT_EQ(17u, m_error->nGetUserErrorCode());
  EXPECT_EQ(0u, m_access->nGetStatementCount());
  // No buffer, no item: refused the same way.
  m_error->Reset();
  EXPECT_EQ(0, m_access->bHFiltre(static_cast<ISQLParserInformation*>(nullptr), nullptr));
  EXPECT_EQ(17u, m_error->nGetUserErrorCode());
  m_error->Reset();
  EXPECT_EQ(0, m_access->bHFiltre(nullptr, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_EQ(17u, m_error->nGetUserErrorCode());
  EXPECT_EQ(nullptr, m_access->pclGetLatestFilterNoRef());
}

TEST_F(accessfilter_choice, SwitchesOnUnknownItemsAndTheAutomaticFilterChangeNothing) {
  EXPECT_EQ(1, m_access->bHDesactiveFiltre(L"never"));
  EXPECT_EQ(1, m_access->bHActiveFiltre(L"never"));
  EXPECT_EQ(1, m_access->bSetFiltreAuto(1, L"t", L"f", nullptr));
  m_access->SetFiltreAuto(1);
  EXPECT_EQ(0u, m_access->nGetStatementCount());
  EXPECT_EQ(nullptr, m_access->pclGetLatestFilterNoRef());
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_error->eGetErrorType());
}

TEST_F(accessfilter_choice, NextOperationNeedsACompleteTableCache) {
  // No table cache: every operation is served.
  for (int op : {0, 1, 2, 3, 7}) {
    EXPECT_EQ(1, m_access->bSetNextOperation(op)) << op;
    EXPECT_EQ(op, m_access->eGetNextOperation());
  }
  // A table cache that holds no full cache yet.
  ASSERT_EQ(1, m_access->_bCreateNewTableCache(nullptr));
  EXPECT_EQ(1, m_access->bSetNextOperation(7));
  EXPECT_EQ(0, m_access->bSetNextOperation(1));
  EXPECT_EQ(55u, m_error->nGetUserErrorCode());
  EXPECT_EQ(0, m_access->bSetNextOperation(3));
  // An error held already keeps its code; the reason goes in front of it.
  m_error->Reset();
  m_access->_bNotAvailable(1);
  EXPECT_EQ(0, m_access->bSetNextOperation(3));
  EXPECT_EQ(38u, m_error->nGetUserErrorCode());
  const std::wstring text = m_error->pszGetError();
  const std::size_t nCache = text.find(L"whole table in the cache");
  ASSERT_NE(std::wstring::npos, nCache) << text;
  m_access->_FreeTableCache();
}

}  // namespace
