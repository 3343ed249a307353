// Item types with their names and maps, the layer's counted root, and the
// defines that bind a column or a named value.
#include <gtest/gtest.h>

#include <string>

#include "CInterf.h"
#include "CNAColumn.h"
#include "CNAConvertVariant.h"
#include "CNADefine.h"
#include "CRefArray.h"
#include "ItemTypes.h"

namespace {

struct stItemRow {
  unsigned nItem;
  const wchar_t* pszName;
  unsigned short wCode;
};

TEST(itemtype, NamesAndCodesOfEveryItemType) {
  const stItemRow kaRows[] = {
      {0, L"NA_IT_EMPTY", 0},          {1, L"NA_IT_IDAUTO", 9},         {2, L"NA_IT_TEXTE", 19},
      {3, L"NA_IT_I2", 7},             {4, L"NA_IT_I1", 6},             {5, L"NA_IT_I4", 8},
      {6, L"NA_IT_R4", 11},            {7, L"NA_IT_R8", 12},            {8, L"Type inconnu", 0},
      {9, L"NA_IT_UI2", 3},            {10, L"NA_IT_DATE6", 128},       {11, L"NA_IT_HEURE", 129},
      {12, L"NA_IT_UI1", 2},           {13, L"NA_IT_REELTURBO", 12},    {14, L"NA_IT_DATE8", 128},
      {15, L"NA_IT_MEMOTEXTE", 19},    {16, L"NA_IT_MEMOBINAIRE4", 28}, {17, L"NA_IT_MONETAIRE", 10},
      {18, L"NA_IT_MEMOBINAIRE", 28},  {19, L"NA_IT_I8", 9},            {20, L"NA_IT_UI8", 5},
      {21, L"NA_IT_IMAGE", 19},        {22, L"NA_IT_UI4", 4},           {23, L"NA_IT_BINAIRE", 28},
      {24, L"NA_IT_DATETIME", 26},     {25, L"NA_IT_TIMELENGHT", 27},   {26, L"NA_IT_CHAR", 17},
      {27, L"NA_IT_BOOLEEN", 1},       {28, L"NA_IT_IDAUTO4", 8},       {29, L"NA_IT_UNICODE", 16},
      {30, L"NA_IT_MEMOUNICODE", 16},  {31, L"NA_IT_DECIMAL", 13},      {32, L"Type inconnu", 0},
      {40, L"Type inconnu", 0},        {0xFFFFFFFFu, L"Type inconnu", 0}};
  for (const stItemRow& r : kaRows) {
    SCOPED_TRACE(r.nItem);
    const auto e = static_cast<eNA_ITEMTYPE>(r.nItem);
    EXPECT_STREQ(r.pszName, g_pszGetNAItemTypeName(e));
    EXPECT_EQ(r.wCode, ConverteItemToTNType(e, 12345));
  }
}

TEST(itemtype, ReverseMapPicksOneItemTypePerCode) {
  const std::pair<unsigned short, unsigned> kaRows[] = {
      {0, 0},   {1, 27},  {2, 12},  {3, 9},   {4, 22},  {5, 20},  {6, 4},   {7, 3},   {8, 5},
      {9, 19},  {10, 17}, {11, 6},  {12, 7},  {13, 31}, {14, 22}, {15, 0},  {16, 30}, {17, 26},
      {18, 2},  {19, 15}, {20, 0},  {23, 0},  {24, 14}, {25, 11}, {26, 24}, {27, 25}, {28, 18},
      {29, 0},  {80, 0},  {81, 29}, {110, 29}, {111, 0}, {128, 14}, {129, 11}, {130, 0}, {65535, 0}};
  for (const auto& r : kaRows) {
    SCOPED_TRACE(r.first);
    EXPECT_EQ(r.second, static_cast<unsigned>(ConvertTNTypeToeItem(r.first)));
  }
  EXPECT_TRUE(bIsTextUnicode(NA_IT_UNICODE) && bIsTextUnicode(NA_IT_MEMOUNICODE));
  EXPECT_FALSE(bIsTextUnicode(NA_IT_TEXTE));
  EXPECT_TRUE(bIsTextAnsi(NA_IT_TEXTE) && bIsTextAnsi(NA_IT_MEMOTEXTE));
  EXPECT_FALSE(bIsTextAnsi(NA_IT_CHAR));
  for (unsigned n = 0; n < 40; ++n) {
    const auto e = static_cast<eNA_ITEMTYPE>(n);
    EXPECT_EQ(bIsTextAW(e), bIsTextAnsi(e) || bIsTextUnicode(e)) << n;
  }
  EXPECT_EQ(0, Alloc_bDump(L"x", 1));
  EXPECT_EQ(0, Alloc_bMarque());
  EXPECT_EQ(0, Alloc_nTailleTotale());
}

// Objects that count their destructions.
int gnDestroyed = 0;

class CCounted : public CInterf {
 public:
  ~CCounted() override { ++gnDestroyed; }
  // The runtime's references, as an interface subclass keeps them.
  void ExternalAddRef() { ++m_nExternalCount; }
  void ExternalRelease() {
    if (m_nExternalCount == 0) return;
    --m_nExternalCount;
    _DeleteIfUnreferenced();
  }
};

TEST(itemtype, CountedRootDeletesOnlyWhenBothCountsAreZero) {
  gnDestroyed = 0;
  auto* p = new CCounted;
  EXPECT_EQ(0u, p->nRelease());  // nothing to give back: nothing happens
  EXPECT_EQ(0, p->_NotToBeCalled());
  p->AddRef();
  p->ExternalAddRef();
  EXPECT_EQ(0u, p->nRelease());
  EXPECT_EQ(0, gnDestroyed);  // the runtime still holds it
  p->ExternalRelease();
  EXPECT_EQ(1, gnDestroyed);

  auto* q = new CCounted;
  q->AddRef();
  q->AddRef();
  EXPECT_EQ(1u, q->nRelease());
  EXPECT_EQ(0u, q->nRelease());
  EXPECT_EQ(2, gnDestroyed);
}

class CTestVariant : public CNAConvertVariant {
 public:
  ~CTestVariant() override { ++gnDestroyed; }
};

class CTestColumn : public CNAColumn {
 public:
  explicit CTestColumn(CNAConvertVariant* pclValue) : CNAColumn(nullptr, nullptr), m_pclValue(pclValue) {}
  ~CTestColumn() override { ++gnDestroyed; }
  CNAConvertVariant* pclGetNAValue() override { return m_pclValue; }

 private:
  CNAConvertVariant* m_pclValue;
};

TEST(itemtype, DefinesHoldTheirColumnAndValueAndGiveThemBack) {
  gnDestroyed = 0;
  auto* pclValue = new CTestVariant;
  pclValue->AddRef();  // the column's own reference on its value
  auto* pclColumn = new CTestColumn(pclValue);
  pclColumn->AddRef();  // the test's reference
  {
    CRefArray<CNADefine> aDefines(4);
    auto* pclByColumn = new CNADefine(pclColumn);
    EXPECT_EQ(2u, pclColumn->nGetInternalCount());
    EXPECT_EQ(2u, pclValue->nGetInternalCount());
    EXPECT_STREQ(L"", pclByColumn->pszGetName());  // a column without description
    EXPECT_EQ(nullptr, pclByColumn->pclGetCnx());
    EXPECT_EQ(0, pclByColumn->bIsCursor());
    aDefines.Ajoute(pclByColumn);
    auto* pclByName = new CNADefine(L"p1", pclValue);
    EXPECT_STREQ(L"p1", pclByName->pszGetName());
    EXPECT_EQ(3u, pclValue->nGetInternalCount());
    aDefines.Ajoute(pclByName);
    auto* pclEmpty = new CNADefine(static_cast<CNAColumn*>(nullptr));
    EXPECT_STREQ(L"", pclEmpty->pszGetName());
    EXPECT_EQ(nullptr, pclEmpty->pclGetColumn());
    aDefines.Ajoute(pclEmpty);
  }
  // The array released the defines, which gave back their references.
  EXPECT_EQ(1u, pclColumn->nGetInternalCount());
  EXPECT_EQ(1u, pclValue->nGetInternalCount());
  EXPECT_EQ(0, gnDestroyed);
  pclColumn->nRelease();
  pclValue->nRelease();
  EXPECT_EQ(2, gnDestroyed);
}

}  // namespace
