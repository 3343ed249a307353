// Item descriptions: the type rules (format to type, decimal sizes, type
// match), the answers the runtime reads (also by slot number), the two
// counts and the components, clones into another data source, and the
// description of a query's calculated column from the SQL runtime's item.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "support/TestConnection.h"
#include "CNADataSourceDescription.h"
#include "CNAItemDescription.h"
#include "CRefArray.h"
#include "IInfoRubrique.h"
#include "StandInInfoRubrique.h"

namespace {

// Descriptions that count themselves, so that a test can see every one go.
class CountedDescription : public CNAItemDescription {
 public:
  CountedDescription() { ++s_nLive; }
  static int s_nLive;

 protected:
  ~CountedDescription() override { --s_nLive; }
};
int CountedDescription::s_nLive = 0;

CNAItemDescription* AllocCounted(void*) { return new CountedDescription; }
CNAItemDescription* AllocNothing(void*) { return nullptr; }

// Every test makes its descriptions through the counting factory and checks
// that none is left at its end.
class itemdesc : public ::testing::Test {
 protected:
  void SetUp() override {
    CountedDescription::s_nLive = 0;
    CNAItemDescription::s_SetCloneFactory(AllocCounted, nullptr);
  }
  void TearDown() override {
    CNAItemDescription::s_SetCloneFactory(nullptr, nullptr);
    EXPECT_EQ(0, CountedDescription::s_nLive) << "a description was not given back";
  }

  // A new description with one internal reference (the test's).
  static CNAItemDescription* New(eNA_ITEMTYPE eType, std::uint32_t nSize, std::uint32_t nDimension = 1,
                                 const wchar_t* pszName = L"ITEM", std::uint16_t wKeyFlags = 0, int nInt = 0,
                                 int nDec = 0) {
    CNAItemDescription* p = AllocCounted(nullptr);
    p->AddRef();
    p->bInit(pszName, L"SRC", L"NAMEINSRC", nDimension, nSize, eType, 3, -1, wKeyFlags, nInt, nDec);
    return p;
  }
};

// A data source that hands out its items by name, each with an external
// reference, and says how many keys it has.
class TestDataSource : public CNADataSourceDescription {
 public:
  ~TestDataSource() override {
    for (auto& it : m_items) it.second->nRelease();
  }
  void Put(CNAItemDescription* p) {
    p->AddRef();
    m_items[p->pszGetName()] = p;
  }
  std::uint32_t nGetNumKeys() override { return m_nKeys; }
  CNAItemDescription* pclNAGetCorrespondingItem(const wchar_t* pszName) override {
    ++m_nLookups;
    auto it = m_items.find(pszName);
    if (it == m_items.end()) return nullptr;
    it->second->ExternalAddRef();
    return it->second;
  }
  std::uint32_t m_nKeys = 0;
  int m_nLookups = 0;
  std::map<std::wstring, CNAItemDescription*> m_items;
};

// ---- Types from formats and decimal sizes --------------------------------

TEST_F(itemdesc, TypeFromFormatByDigits) {
  struct Row {
    int a, b;
    eNA_ITEMTYPE e;
    std::uint32_t n;
  };
  const Row rows[] = {
      {2, 0, NA_IT_I1, 1},          {3, 0, NA_IT_I2, 2},          {4, 0, NA_IT_I2, 2},
      {5, 0, NA_IT_I4, 4},          {9, 0, NA_IT_I4, 4},          {10, 0, NA_IT_I8, 8},
      {19, 0, NA_IT_I8, 8},         {20, 0, NA_IT_DECIMAL, 9},    {10, 6, NA_IT_MONETAIRE, 10},
      {11, 6, NA_IT_DECIMAL, 8},    {30, 9, NA_IT_R8, 8},         {38, 0, NA_IT_DECIMAL, 16},
      {-1, 2, NA_IT_R8, 8},         {2, -1, NA_IT_R8, 8},         {0, 0, NA_IT_R8, 8},
      {0, 6, NA_IT_MONETAIRE, 10},  {10, 7, NA_IT_DECIMAL, 8},    {15, 2, NA_IT_DECIMAL, 8},
      {39, 0, NA_IT_R8, 8},         {0, 38, NA_IT_DECIMAL, 16},   {1, 38, NA_IT_R8, 8},
  };
  for (const Row& r : rows) {
    std::uint32_t n = 0;
    EXPECT_EQ(r.e, CNAItemDescription::s_GetTypeFromFormat(r.a, r.b, &n)) << r.a << "," << r.b;
    EXPECT_EQ(r.n, n) << r.a << "," << r.b;
  }
}

TEST_F(itemdesc, DecimalSizeFollowsItsFormulaAndStaysInBounds) {
  for (int p = 1; p <= 38; ++p) {
    // Smallest n with 10^p - 1 <= 2^(8n - 1) - 1, that is 8n - 1 >= p log2(10).
    const auto nExpected = static_cast<std::uint32_t>(std::ceil((p * std::log2(10.0) + 1) / 8));
    EXPECT_EQ(nExpected, CNAItemDescription::s_nGetDecimalSize(p)) << p;
  }
  const std::pair<int, std::uint32_t> pinned[] = {{2, 1}, {4, 2}, {6, 3}, {9, 4}, {18, 8}, {37, 16},
                                                  {38, 16}, {0, 0}, {39, 0}, {-1, 0}, {1000, 0}};
  for (const auto& [p, n] : pinned) EXPECT_EQ(n, CNAItemDescription::s_nGetDecimalSize(p)) << p;
}

TEST_F(itemdesc, DecimalInfoOfPlatformTypes) {
  struct Row {
    unsigned short w;
    bool bFound;
    int p, s;
  };
  const Row rows[] = {{1, true, 1, 0},   {2, true, 3, 0},   {6, true, 3, 0},    {3, true, 5, 0},
                      {7, true, 5, 0},   {4, true, 10, 0},  {8, true, 10, 0},   {14, true, 10, 0},
                      {5, true, 19, 0},  {9, true, 19, 0},  {27, true, 19, 0},  {10, true, 33, 5},
                      {0, false, 0, 0},  {11, false, 0, 0}, {13, false, 0, 0},  {28, false, 0, 0},
                      {129, false, 0, 0}};
  for (const Row& r : rows) {
    int p = -1, s = -1;
    EXPECT_EQ(r.bFound, CNAItemDescription::s_bGetDecimalInfo(r.w, &p, &s)) << r.w;
    EXPECT_EQ(r.p, p) << r.w;
    EXPECT_EQ(r.s, s) << r.w;
  }
}

TEST_F(itemdesc, EngineSizesAndAnsiTypes) {
  struct Row {
    eNA_ITEMTYPE e;
    std::uint32_t nSize;
    int nPrecision;
    std::uint32_t nExpected;
  };
  const Row rows[] = {{NA_IT_I8, 0, 0, 8},        {NA_IT_BOOLEEN, 0, 0, 1},   {NA_IT_IDAUTO4, 0, 0, 4},
                      {NA_IT_UI2, 0, 0, 2},       {NA_IT_MONETAIRE, 0, 0, 10}, {NA_IT_DATE8, 0, 0, 9},
                      {NA_IT_TEXTE, 50, 0, 51},   {NA_IT_BINAIRE, 50, 0, 52}, {NA_IT_UNICODE, 10, 0, 44},
                      {NA_IT_HEURE, 0, 0, 5},     {NA_IT_HEURE, 0, 3, 8},     {NA_IT_HEURE, 0, 9, 10},
                      {NA_IT_DECIMAL, 0, 0, 18},  {NA_IT_DECIMAL, 0, 17, 8},  {NA_IT_DATE6, 0, 0, 0},
                      {NA_IT_MEMOBINAIRE4, 0, 0, 0}, {static_cast<eNA_ITEMTYPE>(40), 5, 0, 0}};
  for (const Row& r : rows)
    EXPECT_EQ(r.nExpected, CNAItemDescription::s_nGetXQSize(r.e, r.nSize, r.nPrecision)) << r.e;

  eNA_ITEMTYPE e = NA_IT_UNICODE;
  std::uint32_t n = 42;
  CNAItemDescription::s_Type2Ansi(&e, &n);
  EXPECT_EQ(NA_IT_TEXTE, e);
  EXPECT_EQ(21u, n);
  e = NA_IT_MEMOUNICODE;
  CNAItemDescription::s_Type2Ansi(&e, &n);
  EXPECT_EQ(NA_IT_MEMOTEXTE, e);
  EXPECT_EQ(21u, n);
}

// ---- Initialisation and answers ------------------------------------------------

TEST_F(itemdesc, InitSettlesTypesSizesAndDefault) {
  struct Row {
    eNA_ITEMTYPE eIn;
    std::uint32_t nSizeIn;
    int nInt, nDec;
    eNA_ITEMTYPE eOut;
    std::uint32_t nSizeOut;
    int nIntOut, nDecOut;
    std::uint32_t dwProps;
  };
  const Row rows[] = {
      {NA_IT_EMPTY, 30, 0, 0, NA_IT_TEXTE, 1, 0, 0, 0},
      {NA_IT_DECIMAL, 16, 0, 0, NA_IT_R8, 8, 0, 0, 0},
      {NA_IT_DECIMAL, 16, 15, 2, NA_IT_DECIMAL, 16, 15, 2, 0},
      // Only the double answer retypes: 8 and 2 digits would fit a currency.
      {NA_IT_DECIMAL, 5, 8, 2, NA_IT_DECIMAL, 5, 8, 2, 0},
      {NA_IT_DECIMAL, 16, 30, 9, NA_IT_R8, 8, 0, 0, 0},
      {NA_IT_MEMOTEXTE, 100, 0, 0, NA_IT_MEMOTEXTE, 8, 0, 0, 0},
      {NA_IT_MEMOUNICODE, 100, 0, 0, NA_IT_MEMOUNICODE, 8, 0, 0, 0},
      {NA_IT_MEMOBINAIRE4, 100, 0, 0, NA_IT_MEMOBINAIRE4, 100, 0, 0, 0},
      {NA_IT_DATETIME, 8, 4, 3, NA_IT_DATETIME, 8, 0, 3, 0},
      {NA_IT_HEURE, 8, 4, 3, NA_IT_HEURE, 8, 0, 3, 0},
      {NA_IT_I4, 4, 4, 3, NA_IT_I4, 4, 0, 0, 0},
      {NA_IT_IDAUTO, 8, 0, 0, NA_IT_IDAUTO, 8, 0, 0, 3},
      {NA_IT_IDAUTO4, 4, 0, 0, NA_IT_IDAUTO4, 4, 0, 0, 3},
  };
  for (const Row& r : rows) {
    CNAItemDescription* p = New(r.eIn, r.nSizeIn, 1, L"X", 0, r.nInt, r.nDec);
    EXPECT_EQ(r.eOut, p->eNAGetItemType()) << r.eIn;
    EXPECT_EQ(r.nSizeOut, p->nGetItemSize()) << r.eIn;
    EXPECT_EQ(r.nIntOut, p->nGetIntegerPart()) << r.eIn;
    EXPECT_EQ(r.nDecOut, p->nGetDecimalPart()) << r.eIn;
    EXPECT_EQ(r.dwProps, p->dwGetProperties()) << r.eIn;
    const CAny* pDefault = p->pclGetDefaultValue(7);
    EXPECT_EQ(ConverteItemToTNType(r.eOut, 0), pDefault->nGetTypeCode()) << r.eIn;
    EXPECT_TRUE(pDefault->bIsNull()) << r.eIn;
    EXPECT_EQ(pDefault, p->pclGetDefaultValue(0));
    p->nRelease();
  }
}

TEST_F(itemdesc, PlainAnswersAndFixedAnswers) {
  CNAItemDescription* p = New(NA_IT_TEXTE, 21, 3, L"NOM");
  p->SetOffset(100);
  p->SetSubItemRecordIndice(7);
  p->SetExtendedInfo(L"ext");
  p->SetCaption(L"cap");
  p->SetDBType(L"varchar", 253);
  EXPECT_STREQ(L"NOM", p->pszGetName());
  EXPECT_STREQ(L"SRC", p->pszGetSourceName());
  EXPECT_STREQ(L"NAMEINSRC", p->pszGetNameInSource());
  EXPECT_STREQ(L"ext", p->pszGetExtendedInfo());
  EXPECT_STREQ(L"cap", p->pszGetCaption());
  EXPECT_STREQ(L"varchar", p->pszGetDBType());
  EXPECT_EQ(3u, p->nGetPhysicalIndice());
  EXPECT_EQ(63u, p->nGetTotalSize());
  EXPECT_EQ(142u, p->nGetOffset(2));
  EXPECT_EQ(9u, p->nGetSubItemRecordIndice(2));
  EXPECT_EQ(9u, p->nGetVersion());
  EXPECT_EQ(1u, p->nGetCompatSince());
  EXPECT_EQ(0xFFFFFFFFu, p->nGetNAVersion());
  EXPECT_EQ(0xFFFFFFFFu, p->nGetNACompatSince());
  EXPECT_EQ(nullptr, p->pszGetXBaseIndexPath());
  EXPECT_EQ(nullptr, p->pszGetXBaseKeyExpression());
  EXPECT_EQ(nullptr, p->pszGetUnicodeLocale());
  EXPECT_EQ(nullptr, p->piGetPrimaryLink());
  EXPECT_EQ(nullptr, p->piGetForeignLink(0));
  p->SetKeySize(12);
  p->SetComponentKeySize(1, 12);
  EXPECT_EQ(0u, p->nGetKeySize());
  EXPECT_EQ(0u, p->nGetComponentKeySize(1));
  EXPECT_EQ(0u, p->nGetNumForeignLink());
  EXPECT_TRUE(p->bLiteral());
  EXPECT_EQ(ANY_DSTRA, p->eGetItemTNType());

  // Fresh description: offset and sub-item base all ones.
  CNAItemDescription* q = AllocCounted(nullptr);
  q->AddRef();
  EXPECT_EQ(0xFFFFFFFFu, q->nGetOffset(0));
  EXPECT_EQ(0xFFFFFFFFu, q->nGetSubItemRecordIndice(0));
  EXPECT_STREQ(L"", q->pszGetName());
  q->nRelease();
  p->nRelease();
}

TEST_F(itemdesc, LogicalSizesNeverWrap) {
  struct Row {
    eNA_ITEMTYPE e;
    std::uint32_t nSize, nDim;
    std::uint16_t wKey;
    std::uint32_t nOne, nAll;
  };
  const Row rows[] = {
      {NA_IT_UNICODE, 22, 3, 0, 10, 30},   {NA_IT_UNICODE, 23, 3, 0, 10, 31},
      {NA_IT_TEXTE, 51, 2, 0, 50, 100},     {NA_IT_BINAIRE, 258, 2, 0, 256, 512},
      {NA_IT_BINAIRE, 20, 2, 0x1000, 20, 40}, {NA_IT_I4, 4, 3, 0, 4, 12},
      // Elements smaller than their terminator or prefix hold nothing.
      {NA_IT_TEXTE, 0, 2, 0, 0, 0},         {NA_IT_UNICODE, 1, 2, 0, 0, 0},
      {NA_IT_UNICODE, 0, 2, 0, 0, 0},       {NA_IT_BINAIRE, 1, 2, 0, 0, 0},
  };
  for (const Row& r : rows) {
    CNAItemDescription* p = New(r.e, r.nSize, r.nDim, L"X", r.wKey);
    EXPECT_EQ(r.nOne, p->nGetLogicalSize(0)) << r.e << "/" << r.nSize;
    EXPECT_EQ(r.nOne, p->nGetLogicalSize(1)) << r.e << "/" << r.nSize;
    EXPECT_EQ(r.nAll, p->nGetLogicalSize(-1)) << r.e << "/" << r.nSize;
    p->nRelease();
  }
}

TEST_F(itemdesc, TypeKindsByTable) {
  for (std::uint32_t t = 0; t <= 40; ++t) {
    const auto e = static_cast<eNA_ITEMTYPE>(t);
    CNAItemDescription* p = New(NA_IT_I4, 4);
    p->bChangeTypeMemo(e);
    const bool bNumeric = t == 1 || t == 3 || t == 4 || t == 5 || t == 6 || t == 7 || t == 9 || t == 12 ||
                          t == 13 || t == 17 || t == 19 || t == 20 || t == 22 || t == 25 || t == 27 ||
                          t == 28 || t == 31;
    EXPECT_EQ(bNumeric, p->bNumerical() != 0) << t;
    EXPECT_EQ(t == 15 || t == 18 || t == 30, p->bMemo() != 0) << t;
    EXPECT_EQ(t == 15 || t == 30, p->bMemoText() != 0) << t;
    EXPECT_EQ(t == 18, p->bMemoBinary() != 0) << t;
    EXPECT_EQ(p->bMemo(), CNAItemDescription::g_bIsMemo(e));
    p->nRelease();
  }
}

TEST_F(itemdesc, KeyFlagsAndProperties) {
  CNAItemDescription* p = New(NA_IT_I4, 4);
  EXPECT_FALSE(p->bIsKey(0));
  EXPECT_FALSE(p->bGetAscendant(0));
  p->bSetKey(2, CNAItemDescription::KEY_UNIQUE | CNAItemDescription::KEY_IGNOREACCENT);
  EXPECT_TRUE(p->bIsKey(0));
  EXPECT_TRUE(p->bUnique(0));
  EXPECT_FALSE(p->bPrimary(0));
  EXPECT_TRUE(p->bGetAscendant(0));
  EXPECT_TRUE(p->bGetIgnoreAccent(0));
  EXPECT_EQ(2, p->nGetKeyIndice());
  p->SetSensTri(1);
  EXPECT_TRUE(p->bGetDescendant(0));
  EXPECT_FALSE(p->bGetAscendant(0));
  p->SetSensTri(0);
  EXPECT_EQ(CNAItemDescription::KEY_ASCENDING, p->wGetKeyFlags() & 0x0C00);
  p->SetIgnoreCase(1);
  EXPECT_TRUE(p->bGetIgnoreCase(0));
  p->SetIgnoreCase(0);
  EXPECT_FALSE(p->bGetIgnoreCase(0));
  p->bSetKey(0, CNAItemDescription::KEY_PRIMARY);
  EXPECT_TRUE(p->bUnique(0));

  EXPECT_TRUE(p->bUpdatable());
  p->SetNotUpdatable();
  EXPECT_FALSE(p->bUpdatable());
  p->SetUpdatable(1);
  EXPECT_TRUE(p->bUpdatable());
  p->SetNullable(0);
  EXPECT_FALSE(p->vbConstraintNullAllowed());
  p->SetNullable(1);
  EXPECT_TRUE(p->vbConstraintNullAllowed());
  p->SetSpacePadding();
  p->SetVariableScale();
  EXPECT_TRUE(p->bSpacePadding());
  EXPECT_TRUE(p->bGetVariableScale());

  const std::pair<eNA_ITEMTYPE, eNA_ITEMTYPE> autos[] = {{NA_IT_I8, NA_IT_IDAUTO},
                                                         {NA_IT_UI8, NA_IT_IDAUTO},
                                                         {NA_IT_I4, NA_IT_IDAUTO4},
                                                         {NA_IT_UI4, NA_IT_IDAUTO4},
                                                         {NA_IT_I2, NA_IT_I2}};
  for (const auto& [eIn, eOut] : autos) {
    CNAItemDescription* q = New(eIn, 8);
    q->SetAutoIncrement();
    EXPECT_EQ(eOut, q->eNAGetItemType()) << eIn;
    EXPECT_TRUE(q->bAutoIncrement());
    q->nRelease();
  }
  p->nRelease();
}

TEST_F(itemdesc, DatabaseTypeNeedsACodeTheConnectionKnows) {
  class Refusing : public kxtest::TestConnection {
   public:
    int bDBTypeUnkwnownByDB(int nType) const override { return nType == 253; }
  };
  Refusing clRefusing;
  kxtest::TestConnection clPlain;
  CNAItemDescription* p = New(NA_IT_TEXTE, 21);
  EXPECT_EQ(NA_IT_EMPTY, p->eNAGetDBType(&clPlain));
  p->SetDBType(L"varchar", 253);
  EXPECT_EQ(NA_IT_TEXTE, p->eNAGetDBType(&clPlain));
  EXPECT_EQ(NA_IT_EMPTY, p->eNAGetDBType(&clRefusing));
  p->SetDBType(L"char", 254);
  EXPECT_EQ(NA_IT_TEXTE, p->eNAGetDBType(&clRefusing));
  p->nRelease();
}

// ---- Type match -------------------------------------------------------------

TEST_F(itemdesc, TypeMatchTable) {
  struct Side {
    eNA_ITEMTYPE e;
    std::uint32_t n;
    int nInt = 0;
    int nDec = 0;
  };
  struct Row {
    Side a, b;  // does b fit into a?
    int bAnsi, bLoose;
    bool bMatch;
  };
  const Row rows[] = {
      // Equal types.
      {{NA_IT_TEXTE, 21}, {NA_IT_TEXTE, 21}, 0, 0, true},
      {{NA_IT_TEXTE, 21}, {NA_IT_TEXTE, 22}, 0, 0, false},
      {{NA_IT_BINAIRE, 10}, {NA_IT_BINAIRE, 9}, 0, 0, true},
      {{NA_IT_HEURE, 7}, {NA_IT_HEURE, 9}, 0, 0, false},
      {{NA_IT_DECIMAL, 16, 15, 4}, {NA_IT_DECIMAL, 16, 15, 4}, 0, 0, true},
      {{NA_IT_DECIMAL, 16, 15, 4}, {NA_IT_DECIMAL, 16, 16, 2}, 0, 0, false},
      {{NA_IT_DECIMAL, 16, 15, 4}, {NA_IT_DECIMAL, 16, 10, 5}, 0, 0, false},
      {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 6}, 0, 0, false},
      {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 6}, 0, 1, true},
      {{NA_IT_I4, 4}, {NA_IT_I4, 4}, 0, 0, true},
      // Integers by precision and scale.
      {{NA_IT_I4, 4}, {NA_IT_I2, 2}, 0, 0, true},
      {{NA_IT_I2, 2}, {NA_IT_I4, 4}, 0, 0, false},
      {{NA_IT_I8, 8}, {NA_IT_UI4, 4}, 0, 0, true},
      {{NA_IT_I8, 8}, {NA_IT_MONETAIRE, 10}, 0, 0, false},
      {{NA_IT_MONETAIRE, 10}, {NA_IT_I8, 8}, 0, 0, true},
      {{NA_IT_I4, 4}, {NA_IT_BOOLEEN, 1}, 0, 0, true},
      {{NA_IT_I8, 8}, {NA_IT_R8, 8}, 0, 0, false},
      {{NA_IT_I8, 8}, {NA_IT_DECIMAL, 8, 5, 0}, 0, 0, false},
      {{NA_IT_BOOLEEN, 1}, {NA_IT_I1, 1}, 0, 0, false},
      // Reals, dates, memos, binaries.
      {{NA_IT_R8, 8}, {NA_IT_R4, 4}, 0, 0, true},
      {{NA_IT_R4, 4}, {NA_IT_R8, 8}, 0, 0, false},
      {{NA_IT_DATE6, 6}, {NA_IT_DATETIME, 8}, 0, 0, false},
      {{NA_IT_DATE6, 6}, {NA_IT_DATETIME, 8}, 0, 1, true},
      {{NA_IT_HEURE, 7}, {NA_IT_DATETIME, 8}, 0, 1, true},
      {{NA_IT_DATE8, 9}, {NA_IT_DATE6, 6}, 0, 0, true},
      {{NA_IT_DATE8, 9}, {NA_IT_DATETIME, 8}, 0, 0, false},
      {{NA_IT_DATE8, 9}, {NA_IT_DATETIME, 8}, 0, 1, true},
      {{NA_IT_DATETIME, 8}, {NA_IT_DATE8, 9}, 0, 0, true},
      {{NA_IT_DATETIME, 8}, {NA_IT_HEURE, 7}, 0, 0, true},
      {{NA_IT_MEMOTEXTE, 8}, {NA_IT_TEXTE, 200}, 0, 0, true},
      {{NA_IT_MEMOTEXTE, 8}, {NA_IT_IMAGE, 200}, 0, 0, true},
      {{NA_IT_MEMOTEXTE, 8}, {NA_IT_UNICODE, 200}, 0, 0, false},
      {{NA_IT_MEMOTEXTE, 8}, {NA_IT_UNICODE, 200}, 1, 0, true},
      {{NA_IT_MEMOBINAIRE, 8}, {NA_IT_BINAIRE, 200}, 0, 0, true},
      {{NA_IT_MEMOBINAIRE4, 8}, {NA_IT_BINAIRE, 200}, 0, 0, true},
      {{NA_IT_MEMOBINAIRE, 8}, {NA_IT_TEXTE, 200}, 0, 0, false},
      // Wide text.
      {{NA_IT_UNICODE, 10}, {NA_IT_TEXTE, 20}, 0, 0, true},
      {{NA_IT_UNICODE, 10}, {NA_IT_TEXTE, 21}, 0, 0, false},
      {{NA_IT_UNICODE, 42}, {NA_IT_TEXTE, 21}, 1, 0, true},
      {{NA_IT_UNICODE, 42}, {NA_IT_TEXTE, 22}, 1, 0, false},
      {{NA_IT_MEMOUNICODE, 8}, {NA_IT_UNICODE, 200}, 0, 0, true},
      {{NA_IT_MEMOUNICODE, 8}, {NA_IT_MEMOTEXTE, 8}, 0, 0, true},
      {{NA_IT_MEMOUNICODE, 8}, {NA_IT_BINAIRE, 8}, 0, 0, false},
      // Decimals take integers whose digits fit.
      {{NA_IT_DECIMAL, 16, 15, 4}, {NA_IT_I4, 4}, 0, 0, true},
      {{NA_IT_DECIMAL, 8, 6, 4}, {NA_IT_I4, 4}, 0, 0, true},
      {{NA_IT_DECIMAL, 8, 5, 4}, {NA_IT_I4, 4}, 0, 0, false},
      {{NA_IT_DECIMAL, 8, 5, 3}, {NA_IT_I8, 8}, 0, 0, false},
      {{NA_IT_DECIMAL, 16, 30, 4}, {NA_IT_MONETAIRE, 10}, 0, 0, false},
      {{NA_IT_DECIMAL, 16, 30, 5}, {NA_IT_MONETAIRE, 10}, 0, 0, true},
      {{NA_IT_DECIMAL, 16, 30, 5}, {NA_IT_R8, 8}, 0, 0, false},
      // Others never take a different type.
      {{NA_IT_CHAR, 1}, {NA_IT_TEXTE, 2}, 0, 0, false},
      {{NA_IT_IMAGE, 10}, {NA_IT_TEXTE, 2}, 0, 0, false},
  };
  for (const Row& r : rows) {
    CNAItemDescription* pa = New(r.a.e, r.a.n, 1, L"A", 0, r.a.nInt, r.a.nDec);
    CNAItemDescription* pb = New(r.b.e, r.b.n, 1, L"B", 0, r.b.nInt, r.b.nDec);
    EXPECT_EQ(r.bMatch, pa->bTypeMatch(pb, r.bAnsi, r.bLoose) != 0)
        << r.a.e << "/" << r.a.n << " <- " << r.b.e << "/" << r.b.n << " ansi " << r.bAnsi << " loose "
        << r.bLoose;
    pa->nRelease();
    pb->nRelease();
  }
  CNAItemDescription* p = New(NA_IT_TEXTE, 10);
  EXPECT_FALSE(p->bTypeMatch(nullptr, 0, 0));
  p->nRelease();
}

// ---- Counts -----------------------------------------------------------------------

TEST_F(itemdesc, ReleaseAtZeroDoesNothing) {
  CNAItemDescription* p = AllocCounted(nullptr);
  p->ExternalAddRef();
  // No internal reference: a stray internal release must not delete it.
  EXPECT_EQ(0u, p->nRelease());
  EXPECT_EQ(1, CountedDescription::s_nLive);
  EXPECT_EQ(1u, p->nGetExternalCount());
  EXPECT_EQ(0u, p->nExternalRelease());
  EXPECT_EQ(0, CountedDescription::s_nLive);

  p = AllocCounted(nullptr);
  p->AddRef();
  EXPECT_EQ(0u, p->nExternalRelease());
  EXPECT_EQ(1, CountedDescription::s_nLive);
  EXPECT_EQ(1u, p->nGetInternalCount());
  EXPECT_EQ(0u, p->nRelease());
}

TEST_F(itemdesc, AliveWhileTheRuntimeHoldsIt) {
  CNAItemDescription* p = New(NA_IT_TEXTE, 21);
  p->ExternalAddRef();
  EXPECT_EQ(0u, p->nRelease());  // the library lets go
  EXPECT_EQ(1, CountedDescription::s_nLive);
  EXPECT_STREQ(L"ITEM", p->pszGetName());
  p->ExternalAddRef();
  EXPECT_EQ(1u, p->nExternalRelease());
  EXPECT_EQ(0u, p->nExternalRelease());  // the runtime lets go
  EXPECT_EQ(0, CountedDescription::s_nLive);
}

TEST_F(itemdesc, HeldInsideAReferenceArrayByTheExternalCount) {
  CNAItemDescription* p = New(NA_IT_TEXTE, 21);
  auto* pArray = new CNARefArray<CNAItemDescription>(20);
  pArray->dwAddRef();
  ASSERT_EQ(0, pArray->Ajoute(p));
  EXPECT_EQ(1u, p->nGetExternalCount());
  EXPECT_EQ(0u, p->nRelease());
  EXPECT_EQ(1, CountedDescription::s_nLive);  // the array keeps it
  EXPECT_EQ(p, pArray->pGetAt(0));
  EXPECT_EQ(21u, pArray->pGetAt(0)->nGetItemSize());
  pArray->dwRelease();  // the last reference: the array and its element go
  EXPECT_EQ(0, CountedDescription::s_nLive);
}

// ---- Components ----------------------------------------------------------------

TEST_F(itemdesc, ComponentsAreOneBasedAndCounted) {
  CNAItemDescription* pKey = New(NA_IT_BINAIRE, 0, 1, L"KEY", CNAItemDescription::KEY_COMPOSED);
  CNAItemDescription* pA = New(NA_IT_TEXTE, 11, 1, L"A");
  CNAItemDescription* pB = New(NA_IT_UNICODE, 22, 1, L"B");
  CNAItemDescription* pOther = New(NA_IT_I4, 4, 1, L"O");
  EXPECT_FALSE(pKey->bAddComponent(nullptr));
  ASSERT_TRUE(pKey->bAddComponent(pA));
  ASSERT_TRUE(pKey->bAddComponent(pB));
  // A composite key grows by each component's logical size, twice for wide
  // text: 10 + 2 x 10.
  EXPECT_EQ(30u, pKey->nGetItemSize());
  EXPECT_EQ(30u, pKey->nGetLogicalSize(0));
  EXPECT_EQ(2u, pKey->nGetNumComponents());
  EXPECT_EQ(2u, pA->nGetInternalCount());

  for (std::uint32_t n : {0u, 3u, 0xFFFFFFFFu}) EXPECT_EQ(nullptr, pKey->piGetItemComponent(n)) << n;
  INAItemDescription* pi = pKey->piGetItemComponent(2);
  ASSERT_EQ(pB, pi);
  EXPECT_EQ(1u, pB->nGetExternalCount());
  EXPECT_EQ(0u, pi->nExternalRelease());

  EXPECT_TRUE(CNAItemDescription::bIsComponentOf(pKey, pA));
  EXPECT_FALSE(CNAItemDescription::bIsComponentOf(pKey, pOther));
  EXPECT_EQ(0u, pA->nGetExternalCount());
  EXPECT_EQ(0u, pB->nGetExternalCount());

  // A plain item does not grow.
  CNAItemDescription* pPlain = New(NA_IT_TEXTE, 5);
  pPlain->bAddComponent(pOther);
  EXPECT_EQ(5u, pPlain->nGetItemSize());

  pA->nRelease();
  pB->nRelease();
  pOther->nRelease();
  EXPECT_EQ(5, CountedDescription::s_nLive);  // held as components
  pKey->nRelease();
  pPlain->nRelease();
}

// ---- Clones --------------------------------------------------------------------

TEST_F(itemdesc, CloneCopiesAndReplacesComponentsByName) {
  TestDataSource clTarget;
  clTarget.m_nKeys = 4;
  CNAItemDescription* pTA = New(NA_IT_TEXTE, 11, 1, L"A");
  clTarget.Put(pTA);
  pTA->nRelease();

  CNAItemDescription* pKey = New(NA_IT_TEXTE, 0, 1, L"KEY", CNAItemDescription::KEY_COMPOSED |
                                                               CNAItemDescription::KEY_UNIQUE);
  CNAItemDescription* pA = New(NA_IT_TEXTE, 11, 1, L"A");
  CNAItemDescription* pMissing = New(NA_IT_I4, 4, 1, L"MISSING");
  pKey->bAddComponent(pA);
  pKey->bAddComponent(pMissing);
  pA->nRelease();
  pMissing->nRelease();
  pKey->SetOffset(40);
  pKey->SetCaption(L"cap");
  pKey->SetColumnKind(5);
  pKey->SetNullable(0);

  for (int nOptions : {0, 1, 2, 3}) {
    CNAItemDescription* pClone = pKey->pclGetCloneItemDescription(&clTarget, static_cast<eCLONEDESC>(nOptions));
    ASSERT_NE(nullptr, pClone);
    EXPECT_EQ(0u, pClone->nGetInternalCount());
    EXPECT_EQ(0u, pClone->nGetExternalCount());
    pClone->AddRef();
    EXPECT_STREQ(L"KEY", pClone->pszGetName());
    EXPECT_STREQ(L"cap", pClone->pszGetCaption());
    EXPECT_STREQ(L"SRC", pClone->pszGetSourceName());
    EXPECT_EQ(40u, pClone->nGetOffset(0));
    EXPECT_EQ(5, pClone->nGetColumnKind());
    EXPECT_FALSE(pClone->vbConstraintNullAllowed());
    EXPECT_EQ(4, pClone->nGetKeyIndice());
    // A key keeps its flags with either option.
    EXPECT_EQ(pKey->wGetKeyFlags(), pClone->wGetKeyFlags());
    EXPECT_EQ(pKey->nGetItemSize(), pClone->nGetItemSize());
    // Only the component the target has is taken, and it is the target's.
    ASSERT_EQ(1u, pClone->nGetNumComponents());
    INAItemDescription* pi = pClone->piGetItemComponent(1);
    EXPECT_EQ(pTA, pi);
    pi->nExternalRelease();
    EXPECT_EQ(2u, pTA->nGetInternalCount());
    EXPECT_EQ(0u, pTA->nGetExternalCount());  // the lookup's reference went back
    pClone->nRelease();
    EXPECT_EQ(1u, pTA->nGetInternalCount());
  }
  pKey->nRelease();
}

TEST_F(itemdesc, CloneOptionsOnPlainItems) {
  TestDataSource clTarget;
  struct Row {
    eNA_ITEMTYPE e;
    std::uint16_t wKeys;
    int nOptions;
    eNA_ITEMTYPE eOut;
    std::uint16_t wKeysOut;
    unsigned char nDefaultType;
    bool bDefaultNull;
  };
  const Row rows[] = {
      {NA_IT_I4, 0, 1, NA_IT_I4, 0x2800, ANY_I4, true},
      {NA_IT_I4, 0, 0, NA_IT_I4, 0, ANY_I4, true},
      {NA_IT_I4, 0x4000, 1, NA_IT_I4, 0x4000, ANY_I4, true},
      {NA_IT_MEMOTEXTE, 0, 1, NA_IT_MEMOTEXTE, 0, ANY_DSTRA, true},
      {NA_IT_MEMOUNICODE, 0, 1, NA_IT_MEMOUNICODE, 0, ANY_DSTRW, true},
      {NA_IT_MEMOBINAIRE, 0, 1, NA_IT_MEMOBINAIRE, 0x2800, ANY_BIN, true},
      {NA_IT_DATE8, 0, 2, NA_IT_TEXTE, 0, ANY_PSTRA, false},
      {NA_IT_DATETIME, 0, 2, NA_IT_TEXTE, 0, ANY_PSTRA, false},
      {NA_IT_DATETIME, 0, 3, NA_IT_TEXTE, 0x2800, ANY_PSTRA, false},
      {NA_IT_DATETIME, 0, 1, NA_IT_DATETIME, 0x2800, ANY_DATETIME, true},
      {NA_IT_DATE6, 0, 2, NA_IT_DATE6, 0, ANY_DATEA, true},
  };
  for (const Row& r : rows) {
    CNAItemDescription* p = New(r.e, 8, 1, L"X", r.wKeys);
    CNAItemDescription* pClone = p->pclGetCloneItemDescription(&clTarget, static_cast<eCLONEDESC>(r.nOptions));
    ASSERT_NE(nullptr, pClone);
    pClone->ExternalAddRef();
    EXPECT_EQ(r.eOut, pClone->eNAGetItemType()) << r.e << " options " << r.nOptions;
    EXPECT_EQ(r.wKeysOut, pClone->wGetKeyFlags()) << r.e << " options " << r.nOptions;
    EXPECT_EQ(r.nDefaultType, pClone->pclGetDefaultValue(0)->nGetTypeCode()) << r.e;
    EXPECT_EQ(r.bDefaultNull, pClone->pclGetDefaultValue(0)->bIsNull()) << r.e;
    EXPECT_EQ(0, pClone->nGetKeyIndice());
    pClone->nExternalRelease();
    p->nRelease();
  }
}

TEST_F(itemdesc, CloneWithoutFactoryAnswerIsNull) {
  CNAItemDescription* p = New(NA_IT_I4, 4);
  TestDataSource clTarget;
  CNAItemDescription::s_SetCloneFactory(AllocNothing, nullptr);
  EXPECT_EQ(nullptr, p->pclGetCloneItemDescription(&clTarget, NA_CLONEDESC_KEYALL));
  EXPECT_EQ(0, clTarget.m_nLookups);
  CNAItemDescription::s_SetCloneFactory(nullptr, nullptr);
  // The default factory makes plain descriptions.
  CNAItemDescription* pClone = p->pclGetCloneItemDescription(nullptr, NA_CLONEDESC_NONE);
  ASSERT_NE(nullptr, pClone);
  EXPECT_EQ(1, CountedDescription::s_nLive);  // not one of the counted kind
  EXPECT_EQ(NA_IT_I4, pClone->eNAGetItemType());
  pClone->AddRef();
  pClone->nRelease();
  p->nRelease();
}

// ---- Changing and completing types -------------------------------------------

TEST_F(itemdesc, ChangeTypeTakesTheSourceAndRetypesTheDefault) {
  struct Row {
    eNA_ITEMTYPE eSource;
    int bKeep;
    eNA_ITEMTYPE eOut;
    int nInt, nDec;
  };
  const Row rows[] = {{NA_IT_IDAUTO, 0, NA_IT_I8, 0, 0},       {NA_IT_IDAUTO, 1, NA_IT_IDAUTO, 0, 0},
                      {NA_IT_IDAUTO4, 0, NA_IT_I4, 0, 0},      {NA_IT_DECIMAL, 0, NA_IT_DECIMAL, 12, 4},
                      {NA_IT_DATETIME, 0, NA_IT_DATETIME, 0, 4}, {NA_IT_HEURE, 0, NA_IT_HEURE, 0, 4},
                      {NA_IT_TEXTE, 0, NA_IT_TEXTE, 0, 0}};
  for (const Row& r : rows) {
    CNAItemDescription* pSource = New(r.eSource, 17, 2, L"S", 0, 12, 4);
    pSource->SetIntegerPart(12);
    pSource->SetDBType(L"srctype", 77);
    CNAItemDescription* p = New(NA_IT_I2, 2);
    p->SetDBType(L"old", 5);
    ASSERT_TRUE(p->bChangeType(static_cast<INAItemDescription*>(pSource), r.bKeep));
    EXPECT_EQ(r.eOut, p->eNAGetItemType()) << r.eSource;
    EXPECT_EQ(pSource->nGetItemSize(), p->nGetItemSize());
    EXPECT_EQ(2u, p->nGetDimension());
    EXPECT_EQ(r.nInt, p->nGetIntegerPart()) << r.eSource;
    EXPECT_EQ(r.nDec, p->nGetDecimalPart()) << r.eSource;
    EXPECT_STREQ(L"srctype", p->pszGetDBType());
    EXPECT_EQ(0u, p->nGetDBTypeCode());
    // Without the runtime's conversions the default becomes an empty value
    // of the new platform type.
    EXPECT_EQ(ConverteItemToTNType(r.eOut, 0), p->pclGetDefaultValue(0)->nGetTypeCode()) << r.eSource;
    ASSERT_TRUE(p->bChangeType(pSource, r.bKeep));
    EXPECT_EQ(77u, p->nGetDBTypeCode());
    p->nRelease();
    pSource->nRelease();
  }
  CNAItemDescription* p = New(NA_IT_I2, 2);
  EXPECT_FALSE(p->bChangeType(static_cast<INAItemDescription*>(nullptr), 0));
  p->nRelease();
}

TEST_F(itemdesc, CompleteDescriptionRebuildsKeyFlags) {
  struct Row {
    std::uint16_t wSource;
    int bKeep;
    std::uint16_t wOut;
  };
  const Row rows[] = {
      {0x4000 | 0x0400 | 0x0080, 0, 0x2000 | 0x0400 | 0x0080},
      {0x4000 | 0x0040 | 0x0020, 1, 0x4000 | 0x0800 | 0x0040 | 0x0020},
      {0x8000, 1, 0x8000 | 0x4000 | 0x0800},
      {0x8000, 0, 0x8000 | 0x2000 | 0x0800},
      {0x2000, 1, 0x2000 | 0x0800},
      // A composite source loses its composite bit, as the rebuilt flags
      // carry only the listed answers.
      {0x1000 | 0x4000, 1, 0x4000 | 0x0800},
  };
  for (const Row& r : rows) {
    CNAItemDescription* pSource = New(NA_IT_I4, 4, 1, L"S", r.wSource);
    pSource->SetExtendedInfo(L"x");
    pSource->SetCaption(L"c");
    CNAItemDescription* p = New(NA_IT_I2, 2, 1, L"D");
    ASSERT_TRUE(p->bCompleteDescription(pSource, r.bKeep, 6));
    EXPECT_EQ(r.wOut, p->wGetKeyFlags()) << std::hex << r.wSource << " keep " << r.bKeep;
    EXPECT_EQ(6, p->nGetKeyIndice());
    EXPECT_STREQ(L"x", p->pszGetExtendedInfo());
    EXPECT_STREQ(L"c", p->pszGetCaption());
    EXPECT_STREQ(L"NAMEINSRC", p->pszGetNameInSource());
    p->nRelease();
    pSource->nRelease();
  }
  // A source that is no key leaves the flags and index alone.
  CNAItemDescription* pSource = New(NA_IT_I4, 4);
  CNAItemDescription* p = New(NA_IT_I2, 2, 1, L"D", CNAItemDescription::KEY_DUPLICATES);
  p->bSetKeyIndice(2);
  ASSERT_TRUE(p->bCompleteDescription(pSource, 1, 6));
  EXPECT_EQ(CNAItemDescription::KEY_DUPLICATES, p->wGetKeyFlags());
  EXPECT_EQ(2, p->nGetKeyIndice());
  EXPECT_FALSE(p->bCompleteDescription(nullptr, 1, 6));
  p->nRelease();
  pSource->nRelease();
}

TEST_F(itemdesc, CalculatedColumnFromTheParserItem) {
  struct Row {
    eNA_ITEMTYPE eIn;
    std::uint32_t nSizeIn;
    int nCode, nFunction;
    std::uint32_t nParserSize;
    eNA_ITEMTYPE eOut;
    std::uint32_t nSizeOut;
    unsigned char nDefaultType;
  };
  const Row rows[] = {
      // Codes 0 and 41 change only names and kind.
      {NA_IT_I4, 4, 0, 0, 99, NA_IT_I4, 4, ANY_I4},
      {NA_IT_I4, 4, 41, 0, 99, NA_IT_I4, 4, ANY_I4},
      // Functions 95 and 96 narrow wide text.
      {NA_IT_UNICODE, 42, 39, 95, 99, NA_IT_TEXTE, 21, ANY_PSTRW},
      {NA_IT_MEMOUNICODE, 8, 40, 96, 99, NA_IT_MEMOTEXTE, 8, ANY_PSTRW},
      {NA_IT_I4, 4, 7, 95, 99, NA_IT_I4, 4, ANY_I4},
      // Codes 29, 40 and 30 keep a text, wide text or binary as it is.
      {NA_IT_TEXTE, 51, 29, 0, 99, NA_IT_TEXTE, 51, ANY_DSTRA},
      {NA_IT_UNICODE, 42, 40, 0, 99, NA_IT_UNICODE, 42, ANY_DSTRW},
      {NA_IT_BINAIRE, 12, 30, 0, 99, NA_IT_BINAIRE, 12, ANY_BIN},
      // ... and make anything else their memo, 8 bytes.
      {NA_IT_I4, 4, 29, 0, 99, NA_IT_MEMOTEXTE, 8, ANY_DSTRA},
      {NA_IT_TEXTE, 51, 40, 0, 99, NA_IT_MEMOUNICODE, 8, ANY_DSTRW},
      {NA_IT_TEXTE, 51, 30, 0, 99, NA_IT_MEMOBINAIRE, 8, ANY_BIN},
      // Other codes: the code's type and the parser's size.
      {NA_IT_TEXTE, 51, 7, 0, 8, NA_IT_R8, 8, ANY_R8},
      {NA_IT_TEXTE, 51, 24, 0, 8, NA_IT_IDAUTO, 8, ANY_I8},
      {NA_IT_TEXTE, 51, 2, 0, 31, NA_IT_TEXTE, 31, ANY_DSTRA},
      {NA_IT_TEXTE, 51, 77, 0, 8, NA_IT_MEMOTEXTE, 8, ANY_DSTRA},
  };
  for (const Row& r : rows) {
    auto* pItem = new CStandInInfoRubrique;
    pItem->m_nTypeCode = r.nCode;
    pItem->m_nFonction = r.nFunction;
    pItem->m_nTaille = r.nParserSize;
    pItem->m_nTypeColonne = 3;
    CNAItemDescription* p = New(r.eIn, r.nSizeIn, 1, L"Expr1000");
    ASSERT_TRUE(p->bCompleteDescriptionCalcul(pItem));
    EXPECT_EQ(r.eOut, p->eNAGetItemType()) << r.eIn << " code " << r.nCode;
    EXPECT_EQ(r.nSizeOut, p->nGetItemSize()) << r.eIn << " code " << r.nCode;
    EXPECT_EQ(r.nDefaultType, p->pclGetDefaultValue(0)->nGetTypeCode()) << r.eIn << " code " << r.nCode;
    EXPECT_STREQ(L"Expr1000", p->pszGetNameInSource());
    EXPECT_STREQ(L"", p->pszGetSourceName());
    EXPECT_EQ(3, p->nGetColumnKind());
    EXPECT_EQ(1u, pItem->nGetCount());  // read without a reference
    EXPECT_EQ(0u, pItem->nRelease());
    p->nRelease();
  }
  // A decimal retyped loses its digits; one kept as decimal keeps them.
  for (int nCode : {41 - 1, 41}) {
    auto* pItem = new CStandInInfoRubrique;
    pItem->m_nTypeCode = nCode;
    pItem->m_nTaille = 8;
    CNAItemDescription* p = New(NA_IT_DECIMAL, 8, 1, L"D", 0, 12, 3);
    p->bCompleteDescriptionCalcul(pItem);
    EXPECT_EQ(nCode == 41 ? 12 : 0, p->nGetIntegerPart()) << nCode;
    EXPECT_EQ(nCode == 41 ? 3 : 0, p->nGetDecimalPart()) << nCode;
    pItem->nRelease();
    p->nRelease();
  }
  CNAItemDescription* p = New(NA_IT_I4, 4);
  EXPECT_FALSE(p->bCompleteDescriptionCalcul(nullptr));
  p->nRelease();
  EXPECT_EQ(0, CStandInInfoRubrique::s_nGetLive());
}

TEST_F(itemdesc, EngineCodeTable) {
  const std::pair<std::uint32_t, eNA_ITEMTYPE> rows[] = {
      {0, NA_IT_EMPTY},        {1, NA_IT_MEMOTEXTE}, {2, NA_IT_TEXTE},       {8, NA_IT_I2},
      {14, NA_IT_DATE8},       {17, NA_IT_MONETAIRE}, {18, NA_IT_MEMOBINAIRE}, {23, NA_IT_IMAGE},
      {24, NA_IT_IDAUTO},      {28, NA_IT_BINAIRE},   {29, NA_IT_MEMOTEXTE},  {30, NA_IT_MEMOBINAIRE},
      {33, NA_IT_I4},          {35, NA_IT_TIMELENGHT}, {38, NA_IT_IDAUTO4},   {39, NA_IT_UNICODE},
      {40, NA_IT_MEMOUNICODE}, {41, NA_IT_DECIMAL},  {42, NA_IT_MEMOTEXTE},  {0xFFFFFFFFu, NA_IT_MEMOTEXTE}};
  for (const auto& [nCode, e] : rows) EXPECT_EQ(e, CNADataSourceDescription::g_eGetNAItemType(nCode)) << nCode;
}

TEST_F(itemdesc, StandInItemCountsAtByteEight) {
  auto* pItem = new CStandInInfoRubrique;
  InfoRubrique_AddRef(pItem);
  InfoRubrique_AddRef(nullptr);
  EXPECT_EQ(2u, pItem->nGetCount());
  IInfoRubrique* pi = pItem;
  EXPECT_EQ(1u, pi->nRelease());
  EXPECT_EQ(1, CStandInInfoRubrique::s_nGetLive());
  EXPECT_EQ(0u, pi->nRelease());
  EXPECT_EQ(0, CStandInInfoRubrique::s_nGetLive());
}

TEST_F(itemdesc, DefaultValueIsCopiedUnlessItIsItsOwn) {
  CNAItemDescription* p = New(NA_IT_I4, 4);
  CAny v;
  v.SetI4(42);
  p->SetDefaultValue(&v, 0);
  int n = 0;
  ASSERT_EQ(ANY_OK, p->pclGetDefaultValue(0)->nGetINT(&n));
  EXPECT_EQ(42, n);
  EXPECT_FALSE(p->pclGetDefaultValue(0)->bIsNull());
  p->SetDefaultValue(p->pclGetDefaultValue(0), 0);
  ASSERT_EQ(ANY_OK, p->pclGetDefaultValue(0)->nGetINT(&n));
  EXPECT_EQ(42, n);
  p->nRelease();
}

// ---- The runtime's view -----------------------------------------------------------

template <typename R, typename... A>
R CallSlot(INAItemDescription* pi, int nSlot, A... args) {
  using Fn = R (*)(INAItemDescription*, A...);
  void** pVtbl = *reinterpret_cast<void***>(pi);
  return reinterpret_cast<Fn>(pVtbl[nSlot])(pi, args...);
}

TEST_F(itemdesc, SlotsAnswerAsTheRuntimeCallsThem) {
  CNAItemDescription* pKey = New(NA_IT_TEXTE, 0, 2, L"KEY",
                                 CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_UNIQUE |
                                     CNAItemDescription::KEY_IGNORECASE);
  CNAItemDescription* pA = New(NA_IT_TEXTE, 11, 1, L"A");
  pKey->bAddComponent(pA);
  pA->nRelease();
  pKey->SetOffset(16);
  pKey->SetCaption(L"cap");
  INAItemDescription* pi = pKey;

  EXPECT_EQ(9u, CallSlot<std::uint32_t>(pi, 0));
  EXPECT_EQ(1u, CallSlot<std::uint32_t>(pi, 1));
  EXPECT_EQ(0xFFFFFFFFu, CallSlot<std::uint32_t>(pi, 2));
  EXPECT_EQ(0xFFFFFFFFu, CallSlot<std::uint32_t>(pi, 3));
  CallSlot<void>(pi, 4);
  CallSlot<void>(pi, 5);
  EXPECT_EQ(1u, pKey->nGetExternalCount());
  EXPECT_EQ(0u, CallSlot<std::uint32_t>(pi, 6));
  EXPECT_STREQ(L"KEY", CallSlot<const wchar_t*>(pi, 7));
  EXPECT_EQ(2u, CallSlot<std::uint32_t>(pi, 8));
  EXPECT_EQ(10u, CallSlot<std::uint32_t>(pi, 9));
  EXPECT_EQ(9u, CallSlot<std::uint32_t>(pi, 10, 0));
  EXPECT_EQ(18u, CallSlot<std::uint32_t>(pi, 10, -1));
  EXPECT_EQ(20u, CallSlot<std::uint32_t>(pi, 11));
  EXPECT_EQ(NA_IT_TEXTE, CallSlot<eNA_ITEMTYPE>(pi, 12));
  EXPECT_EQ(3u, CallSlot<std::uint32_t>(pi, 13));
  EXPECT_EQ(1, CallSlot<int>(pi, 14, 0));
  EXPECT_EQ(0, CallSlot<int>(pi, 15));
  EXPECT_EQ(1, CallSlot<int>(pi, 19));
  EXPECT_EQ(-1, CallSlot<int>(pi, 20));
  EXPECT_EQ(1u, CallSlot<std::uint32_t>(pi, 21));
  EXPECT_EQ(0, CallSlot<int>(pi, 22, 0));
  EXPECT_EQ(1, CallSlot<int>(pi, 23, 0));
  EXPECT_EQ(1, CallSlot<int>(pi, 25, 0));
  EXPECT_EQ(1, CallSlot<int>(pi, 26, 0));
  EXPECT_EQ(1, CallSlot<int>(pi, 28, 0));
  EXPECT_EQ(0, CallSlot<int>(pi, 30, 0));
  INAItemDescription* piComponent = CallSlot<INAItemDescription*>(pi, 31, 1u);
  ASSERT_NE(nullptr, piComponent);
  EXPECT_STREQ(L"A", piComponent->pszGetName());
  piComponent->nExternalRelease();
  EXPECT_EQ(nullptr, CallSlot<INAItemDescription*>(pi, 31, 2u));
  EXPECT_EQ(26u, CallSlot<std::uint32_t>(pi, 32, 1));
  EXPECT_EQ(pKey->pclGetDefaultValue(0), CallSlot<CAny*>(pi, 34, 1));
  EXPECT_STREQ(L"cap", CallSlot<const wchar_t*>(pi, 36));
  EXPECT_EQ(nullptr, CallSlot<const wchar_t*>(pi, 38));
  EXPECT_STREQ(L"NAMEINSRC", CallSlot<const wchar_t*>(pi, 42));
  EXPECT_STREQ(L"SRC", CallSlot<const wchar_t*>(pi, 43));
  EXPECT_EQ(1, CallSlot<int>(pi, 48));
  CallSlot<void>(pi, 49, 0);
  EXPECT_FALSE(pKey->bUpdatable());
  EXPECT_EQ(1, CallSlot<int>(pi, 54));
  CallSlot<void>(pi, 57, 11);
  CallSlot<void>(pi, 58, 2);
  EXPECT_EQ(11, pKey->nGetIntegerPart());
  EXPECT_EQ(2, pKey->nGetDecimalPart());

  TestDataSource clTarget;
  CNAItemDescription* pClone = CallSlot<CNAItemDescription*>(pi, 59, static_cast<CNADataSourceDescription*>(&clTarget),
                                                             NA_CLONEDESC_KEYALL);
  ASSERT_NE(nullptr, pClone);
  EXPECT_STREQ(L"KEY", pClone->pszGetName());
  EXPECT_EQ(1, clTarget.m_nLookups);  // the component was looked up by name
  pClone->AddRef();
  pClone->nRelease();
  pKey->nRelease();
}

TEST_F(itemdesc, ColumnReadsItsNameThroughTheDescription) {
  CNAItemDescription* p = New(NA_IT_I4, 4, 1, L"COL");
  auto* pColumn = new CNAColumn(nullptr, p);
  pColumn->AddRef();
  EXPECT_STREQ(L"COL", pColumn->pszGetName());
  EXPECT_EQ(nullptr, pColumn->pclGetNAValue());
  EXPECT_EQ(p, pColumn->piGetItemDescription());
  pColumn->nRelease();
  auto* pBare = new CNAColumn(nullptr, nullptr);
  pBare->AddRef();
  EXPECT_STREQ(L"", pBare->pszGetName());
  pBare->nRelease();
  EXPECT_EQ(ANY_I4, ConverteItemToTNType(p));
  EXPECT_EQ(0, ConverteItemToTNType(static_cast<const INAItemDescription*>(nullptr)));
  p->nRelease();
}

}  // namespace
