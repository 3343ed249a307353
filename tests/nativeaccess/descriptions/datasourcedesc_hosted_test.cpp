// The data-source description as a container: its two counts, the names
// it gives items, where items and keys go, the record layout, the best
// browse item, its lookups (by name through the runtime's locale, by index,
// by database column) and what the runtime reaches by slot number.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CNADataSourceDescription.h"
#include "CNAError.h"
#include "CNAItemDescription.h"

namespace {

std::wstring W(const wchar_t* p) { return p != nullptr ? p : L"(null)"; }

// Calls slot n of obj's table as the runtime does.
template <class R, class... A>
R Slot(void* obj, int n, A... args) {
  void** table = *reinterpret_cast<void***>(obj);
  using Fn = R (*)(void*, A...);
  return reinterpret_cast<Fn>(table[n])(obj, args...);
}

// An item description of an older interface version: it cannot say
// whether it accepts NULL.
class OldItem : public CNAItemDescription {
 public:
  std::uint32_t nGetVersion() override { return 8; }
};

class na_description : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pclError = new CNAError;
    m_pclError->AddRef();
    m_pclDesc = new CNADataSourceDescription(nullptr, m_pclError);
    m_pclDesc->AddRef();
    m_pclDesc->SetLogicalName(L"Orders");
    m_pclDesc->SetDBName(L"orders_db");
  }
  void TearDown() override {
    m_pclDesc->nRelease();
    EXPECT_EQ(1u, m_pclError->nGetHolderCount()) << "the description gave its error reference back";
    m_pclError->nRelease();
  }

  // Adds an item by bAddItem: physical and key index -1 (the next ones).
  CNAItemDescription* Add(const wchar_t* name, eNA_ITEMTYPE type = NA_IT_I4, std::uint32_t size = 4,
                          std::uint16_t keyFlags = 0, std::uint32_t dimension = 1) {
    EXPECT_TRUE(m_pclDesc->bAddItem(name, L"src", name, dimension, size, type, 0xFFFFFFFFu, -1, keyFlags, 0, 0));
    return m_pclDesc->pclGetItemNoRef(m_pclDesc->nGetNumItems() - 1);
  }
  std::wstring Dump() { return W(m_pclError->StringDump().pszGet()); }
  std::wstring Names() {
    std::wstring s;
    for (std::uint32_t i = 0; i < m_pclDesc->nGetNumItems(); ++i)
      s += W(m_pclDesc->pclGetItemNoRef(i)->pszGetName()) + L"|";
    return s;
  }

  CNAError* m_pclError = nullptr;
  CNADataSourceDescription* m_pclDesc = nullptr;
};

// ---- Counts --------------------------------------------------------------------

TEST_F(na_description, BothCountsKeepItAndAReleaseAtZeroChangesNothing) {
  auto* p = new CNADataSourceDescription(nullptr, m_pclError);
  EXPECT_EQ(3u, m_pclError->nGetHolderCount()) << "the test's, the fixture's description's and this one's";
  EXPECT_EQ(0u, p->nRelease());
  EXPECT_EQ(0u, p->nExternalRelease());
  p->AddRef();
  p->ExternalAddRef();
  EXPECT_EQ(0u, p->nRelease()) << "the runtime still holds it";
  EXPECT_EQ(1u, p->nGetExternalRef());
  EXPECT_EQ(0u, p->nExternalRelease()) << "the last release deletes it (ASan checks)";
  EXPECT_EQ(2u, m_pclError->nGetHolderCount());
}

// ---- Names and places -------------------------------------------------------------

TEST_F(na_description, UnnamedItemsAndRepeatedNamesGetNamesOfTheirOwn) {
  Add(L"");
  Add(L"");
  Add(L"");
  EXPECT_EQ(L"Expr1000|Expr10002|Expr10003|", Names()) << "the value count only grows in UpdateRecordSize";
  m_pclDesc->UpdateRecordSize();
  Add(L"");
  Add(L"Price");
  Add(L"Price");
  Add(L"Price");
  EXPECT_EQ(L"Expr1000|Expr10002|Expr10003|Expr1003|Price|Price2|Price3|", Names());
}

TEST_F(na_description, IndexZeroGoesFirstAndRenumbersTheOthers) {
  Add(L"A", NA_IT_I4, 4, 0x2800);
  Add(L"B", NA_IT_I4, 4, 0x2800);
  ASSERT_TRUE(m_pclDesc->bAddItem(L"C", L"", L"C", 1, 4, NA_IT_I4, 0, 0, 0x4800, 0, 0));
  ASSERT_TRUE(m_pclDesc->bAddItem(L"D", L"", L"D", 1, 4, NA_IT_I4, 7, 5, 0x2800, 0, 0));
  EXPECT_EQ(L"C|A|B|D|", Names());
  const std::uint32_t anPhysical[] = {0, 1, 2, 7};
  for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(anPhysical[i], m_pclDesc->pclGetItemNoRef(i)->nGetPhysicalIndice());
  const wchar_t* apszKeys[] = {L"C", L"A", L"B", L"D"};
  const int anKeys[] = {0, 1, 2, 5};
  ASSERT_EQ(4u, m_pclDesc->nGetNumKeys());
  for (std::uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(W(apszKeys[i]), W(m_pclDesc->pclGetKeyNoRef(i)->pszGetName()));
    EXPECT_EQ(anKeys[i], m_pclDesc->pclGetKeyNoRef(i)->nGetKeyIndice());
  }
}

TEST_F(na_description, LayoutCountsCompositeKeysInMemoryOnly) {
  CNAItemDescription* pA = Add(L"A", NA_IT_I4, 4, 0, 3);
  CNAItemDescription* pK = Add(L"K", NA_IT_BINAIRE, 12, 0x1800);
  Add(L"Memo", NA_IT_MEMOTEXTE, 8);
  m_pclDesc->UpdateRecordSize();
  EXPECT_EQ(20u, m_pclDesc->nGetDiskRecordSize());
  EXPECT_EQ(32u, m_pclDesc->nGetMemoryRecordSize());
  EXPECT_EQ(5u, m_pclDesc->nGetValueCount());
  EXPECT_EQ(0u, pA->nGetOffset(0));
  EXPECT_EQ(12u, pK->nGetOffset(0));
  EXPECT_EQ(0u, pA->nGetSubItemRecordIndice(0));
  EXPECT_EQ(3u, pK->nGetSubItemRecordIndice(0));
  EXPECT_EQ(1u, m_pclDesc->nGetNumKeys());
  EXPECT_EQ(1u, m_pclDesc->nGetNumMemos());
}

// ---- Lookups ---------------------------------------------------------------------------

TEST_F(na_description, NamesCompareThroughTheLocaleAndModeBitZeroCutsTrailingBlanks) {
  CNAItemDescription* pBlank = Add(L"price ", NA_IT_I4, 4, 0x2800);
  CNAItemDescription* pUpper = Add(L"PRICE", NA_IT_I4, 4, 0x2800);
  CNAItemDescription* pCafe = Add(L"caf\u00e9");
  EXPECT_EQ(pUpper, m_pclDesc->pclNAGetItemNoRef(L"price", 2)) << "mode 2: the blank makes them differ";
  EXPECT_EQ(pBlank, m_pclDesc->pclNAGetItemNoRef(L"price ", 2));
  EXPECT_EQ(pBlank, m_pclDesc->pclNAGetItemNoRef(L"PRICE", 3)) << "mode 3: the first of the two";
  EXPECT_EQ(pBlank, m_pclDesc->pclNAGetItemNoRef(L"Price   ", 3));
  EXPECT_EQ(pCafe, m_pclDesc->pclNAGetItemNoRef(L"CAFE", 2)) << "case and accents ignored";
  EXPECT_EQ(nullptr, m_pclDesc->pclNAGetItemNoRef(L"caf", 2));
  EXPECT_EQ(nullptr, m_pclDesc->pclNAGetItemNoRef(nullptr, 2));

  INAItemDescription* piKey = m_pclDesc->piNAGetKey(L"PRICE");
  EXPECT_EQ(static_cast<INAItemDescription*>(pBlank), piKey) << "keys by name cut the blanks";
  EXPECT_EQ(3u, pBlank->nGetExternalCount()) << "the items', the keys' and the caller's";
  piKey->nExternalRelease();
  EXPECT_EQ(nullptr, m_pclDesc->piNAGetKey(L"caf\u00e9")) << "an item that is no key";

  INAItemDescription* piItem = m_pclDesc->piNAGetItem(L"PRICE");
  EXPECT_EQ(static_cast<INAItemDescription*>(pUpper), piItem) << "the runtime's lookup is mode 2";
  piItem->nExternalRelease();
}

// An index at or beyond the count answers null and takes nothing.
TEST_F(na_description, IndexOperationsCheckTheIndex) {
  CNAItemDescription* pA = Add(L"A", NA_IT_I4, 4, 0x2800);
  CNAItemDescription* pM = Add(L"M", NA_IT_MEMOTEXTE, 8);
  struct Row {
    const char* pszWhat;
    INAItemDescription* (*pfn)(CNADataSourceDescription*, std::uint32_t);
    CNAItemDescription* pFirst;
    std::uint32_t nCount;
  };
  const Row rows[] = {
      {"item", [](CNADataSourceDescription* d, std::uint32_t n) { return d->piNAGetItem(n); }, pA, 2},
      {"key", [](CNADataSourceDescription* d, std::uint32_t n) { return d->piNAGetKey(n); }, pA, 1},
      {"memo", [](CNADataSourceDescription* d, std::uint32_t n) { return d->piNAGetMemo(n); }, pM, 1},
  };
  for (const Row& r : rows) {
    INAItemDescription* pi = r.pfn(m_pclDesc, 0);
    EXPECT_EQ(static_cast<INAItemDescription*>(r.pFirst), pi) << r.pszWhat;
    if (pi != nullptr) pi->nExternalRelease();
    for (std::uint32_t n : {r.nCount, r.nCount + 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
      EXPECT_EQ(nullptr, r.pfn(m_pclDesc, n)) << r.pszWhat << " " << n;
  }
  EXPECT_EQ(2u, pA->nGetExternalCount()) << "the items and keys hold it, nobody else";
  EXPECT_EQ(2u, pM->nGetExternalCount());
}

TEST_F(na_description, AnUnknownNameIsErrorTwentySixAndLeavesTheBestItem) {
  CNAItemDescription* pA = Add(L"A");
  Add(L"B");
  m_pclDesc->_SetBestParseItem(pA);
  EXPECT_EQ(nullptr, m_pclDesc->pclNAGetCorrespondingItem(L"Nope"));
  EXPECT_EQ(26u, m_pclError->nGetUserErrorCode());
  EXPECT_EQ(NA_ERRORTYPE_GENERIC, m_pclError->eGetErrorType());
  EXPECT_EQ(L"orders_db", W(m_pclError->pszGetLogicalTableName()));
  EXPECT_EQ(L"Nope", W(m_pclError->pszGetItemName()));
  EXPECT_NE(std::wstring::npos, Dump().find(L"IEKXMARIA=8.2")) << Dump();
  m_pclError->Reset();

  EXPECT_EQ(0, m_pclDesc->_SetBestParseItem(L"Nope"));
  EXPECT_EQ(26u, m_pclError->nGetUserErrorCode());
  INAItemDescription* pi = m_pclDesc->piGetBestParseItemDesc();
  EXPECT_EQ(static_cast<INAItemDescription*>(pA), pi) << "the cache stays";
  pi->nExternalRelease();
  EXPECT_EQ(1, m_pclDesc->_SetBestParseItem(L"b"));
  pi = m_pclDesc->piGetBestParseItemDesc();
  EXPECT_EQ(L"B", W(pi->pszGetName()));
  pi->nExternalRelease();
  EXPECT_EQ(1u, pA->nGetExternalCount()) << "the cache gave A back";
}

TEST_F(na_description, ItemByDatabaseColumnIndex) {
  CNAItemDescription* pB = Add(L"B");
  Add(L"C");
  EXPECT_EQ(-1, pB->nGetDBColumnIndex());
  EXPECT_EQ(nullptr, m_pclDesc->pclNAGetItemByPhysicalIndiceDB(0)) << "no index assigned yet";
  pB->SetDBColumnIndex(4);
  CNAItemDescription* p = m_pclDesc->pclNAGetItemByPhysicalIndiceDB(4);
  EXPECT_EQ(pB, p);
  EXPECT_EQ(2u, pB->nGetExternalCount());
  if (p != nullptr) p->nExternalRelease();
  EXPECT_EQ(nullptr, m_pclDesc->pclNAGetItemByPhysicalIndiceDB(0xFFFFFFFFu));
}

// ---- Keys and components ---------------------------------------------------------------

TEST_F(na_description, MakingKeys) {
  CNAItemDescription* pId = Add(L"ID", NA_IT_IDAUTO4, 4, 0x8800);
  CNAItemDescription* pU = Add(L"U", NA_IT_I4, 4, 0x4800);
  CNAItemDescription* pN = Add(L"N");
  EXPECT_EQ(1, m_pclDesc->_bSetKeyType(pId, 0x2800));
  EXPECT_EQ(0x8800, pId->wGetKeyFlags()) << "a primary key stays as it is";
  EXPECT_EQ(1, m_pclDesc->_bSetKeyType(1, 0x2800));
  EXPECT_EQ(0x2800, pU->wGetKeyFlags());
  EXPECT_EQ(1, pU->nGetKeyIndice()) << "a key keeps its index";
  EXPECT_EQ(1, m_pclDesc->_bSetKeyType(L"n", 0x4800));
  EXPECT_EQ(2, pN->nGetKeyIndice()) << "a new key takes the next index";
  EXPECT_EQ(3u, m_pclDesc->nGetNumKeys());
  EXPECT_EQ(pN, m_pclDesc->pclGetKeyNoRef(2));
  for (int n : {-1, -2147483647 - 1, 3})
    EXPECT_EQ(0, m_pclDesc->_bSetKeyType(n, 0x2800)) << n;
  EXPECT_EQ(0, m_pclDesc->_bSetKeyType(L"Nope", 0x2800));
  EXPECT_EQ(26u, m_pclError->nGetUserErrorCode());
  EXPECT_EQ(0, m_pclDesc->_bSetKeyType(static_cast<CNAItemDescription*>(nullptr), 0x2800));
  EXPECT_EQ(3u, m_pclDesc->nGetNumKeys());
}

TEST_F(na_description, CompositeKeyComponentsByIndexAndName) {
  Add(L"A", NA_IT_I4, 4);
  Add(L"B", NA_IT_I2, 2);
  CNAItemDescription* pK = Add(L"K", NA_IT_BINAIRE, 0, 0x1800);
  EXPECT_EQ(1, m_pclDesc->_bAddItemComponent(pK, 0));
  EXPECT_EQ(1, m_pclDesc->_bAddItemComponent(pK, L"b"));
  EXPECT_EQ(0, m_pclDesc->_bAddItemComponent(pK, 9));
  EXPECT_EQ(0, m_pclDesc->_bAddItemComponent(pK, -1));
  EXPECT_EQ(0, m_pclDesc->_bAddItemComponent(pK, L"Nope"));
  EXPECT_EQ(0, m_pclDesc->_bAddItemComponent(nullptr, 0));
  EXPECT_EQ(2u, pK->nGetNumComponents());
  EXPECT_EQ(6u, pK->nGetItemSize());
}

// ---- Best browse item ------------------------------------------------------------------

TEST_F(na_description, BestBrowseItem) {
  struct ItemRow {
    const wchar_t* pszName;
    std::uint16_t wFlags;
    eNA_ITEMTYPE eType;
    bool bNotNull;
    bool bOld;
  };
  struct Row {
    const char* pszCase;
    std::vector<ItemRow> vecItems;
    const wchar_t* pszBest;  // null: none
  };
  const Row rows[] = {
      {"primary wins",
       {{L"u1", 0x4800, NA_IT_I4, false, false}, {L"u2", 0x4800, NA_IT_I4, true, false},
        {L"p", 0xC800, NA_IT_I4, true, false}},
       L"p"},
      {"a strong unique key replaces a weak one",
       {{L"u1", 0x4800, NA_IT_I4, false, false}, {L"u2", 0x4800, NA_IT_I4, true, false}},
       L"u2"},
      {"the first strong unique key stays",
       {{L"u1", 0x4800, NA_IT_I4, true, false}, {L"u2", 0x4800, NA_IT_I4, true, false}},
       L"u1"},
      {"duplicates only: the first key",
       {{L"n", 0, NA_IT_I4, false, false}, {L"d1", 0x2800, NA_IT_I4, false, false},
        {L"d2", 0x2800, NA_IT_I4, false, false}},
       L"d1"},
      {"an older identifier key is strong",
       {{L"u1", 0x4800, NA_IT_I4, false, false}, {L"u2", 0x4800, NA_IT_IDAUTO4, false, true}},
       L"u2"},
      {"an older key that is no identifier is not",
       {{L"u1", 0x4800, NA_IT_I4, false, false}, {L"u2", 0x4800, NA_IT_I4, true, true}},
       L"u1"},
      {"no keys: the first item that is no memo",
       {{L"m", 0, NA_IT_MEMOTEXTE, false, false}, {L"t", 0, NA_IT_TEXTE, false, false}},
       L"t"},
      {"only memos: the first", {{L"m1", 0, NA_IT_MEMOTEXTE, false, false}, {L"m2", 0, NA_IT_MEMOBINAIRE, false, false}}, L"m1"},
      {"no items", {}, nullptr},
  };
  for (const Row& r : rows) {
    auto* pDesc = new CNADataSourceDescription(nullptr, m_pclError);
    pDesc->AddRef();
    for (const ItemRow& s : r.vecItems) {
      CNAItemDescription* p = s.bOld ? new OldItem : new CNAItemDescription;
      p->AddRef();
      p->bInit(s.pszName, L"", s.pszName, 1, 4, s.eType, 0xFFFFFFFFu, -1, s.wFlags, 0, 0);
      p->SetNullable(s.bNotNull ? 0 : 1);
      pDesc->_AddItem(p);
      p->nRelease();
    }
    INAItemDescription* pi = pDesc->piGetBestParseItemDesc();
    EXPECT_EQ(W(r.pszBest), W(pi != nullptr ? pi->pszGetName() : nullptr)) << r.pszCase;
    if (pi != nullptr) {
      INAItemDescription* piAgain = pDesc->piGetBestParseItemDesc();
      EXPECT_EQ(pi, piAgain) << r.pszCase << ": cached";
      piAgain->nExternalRelease();
      pi->nExternalRelease();
    }
    pDesc->nRelease();
  }
}

// ---- The runtime's slots ---------------------------------------------------------------

TEST_F(na_description, TheRuntimeReachesTheOperationsByTheirSlots) {
  CNAItemDescription* pA = Add(L"A", NA_IT_I4, 4, 0x2800);
  CNAItemDescription* pM = Add(L"M", NA_IT_MEMOTEXTE, 8);
  void* pv = static_cast<INADataSourceDescription*>(m_pclDesc);
  EXPECT_EQ(2u, Slot<std::uint32_t>(pv, 12));
  EXPECT_EQ(1u, Slot<std::uint32_t>(pv, 13));
  EXPECT_EQ(1u, Slot<std::uint32_t>(pv, 14));
  struct Row {
    int nSlot;
    std::uint32_t nIndex;
    CNAItemDescription* pExpected;
  };
  const Row rows[] = {{17, 1, pM}, {17, 2, nullptr}, {18, 0, pA}, {18, 1, nullptr}, {19, 0, pM}, {19, 1, nullptr}};
  for (const Row& r : rows) {
    auto* pi = Slot<INAItemDescription*>(pv, r.nSlot, r.nIndex);
    EXPECT_EQ(static_cast<INAItemDescription*>(r.pExpected), pi) << r.nSlot << " " << r.nIndex;
    if (pi != nullptr) Slot<std::uint32_t>(pi, 6);
  }
  auto* pi = Slot<INAItemDescription*>(pv, 16, L"a");
  EXPECT_EQ(static_cast<INAItemDescription*>(pA), pi);
  if (pi != nullptr) Slot<std::uint32_t>(pi, 6);
  EXPECT_EQ(nullptr, (Slot<INAItemDescription*>(pv, 16, L"Nope")));
  EXPECT_EQ(L"orders_db", W(Slot<const wchar_t*>(pv, 21)));
  EXPECT_EQ(L"Orders", W(Slot<const wchar_t*>(pv, 7)));
  EXPECT_EQ(L"Orders", W(Slot<const wchar_t*>(pv, 8)));
  EXPECT_EQ(2u, pA->nGetExternalCount()) << "every reference handed out came back";
  EXPECT_EQ(2u, pM->nGetExternalCount());
}

TEST_F(na_description, EngineTypeCodes) {
  EXPECT_EQ(NA_IT_I2, CNADataSourceDescription::g_eGetNAItemType(8));
  EXPECT_EQ(NA_IT_I2, CNADataSourceDescription::g_eGetNAItemType(3));
  EXPECT_EQ(NA_IT_DECIMAL, CNADataSourceDescription::g_eGetNAItemType(41));
  EXPECT_EQ(NA_IT_MEMOTEXTE, CNADataSourceDescription::g_eGetNAItemType(42));
  EXPECT_EQ(NA_IT_MEMOTEXTE, CNADataSourceDescription::g_eGetNAItemType(static_cast<std::uint32_t>(-5)));
}

}  // namespace
