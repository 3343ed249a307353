// Saved positions of the driver's data access on a table of the fixture's
// server: a save, moves and a restore that bring the browse and the
// current record back, the filter restored with its position, comparisons
// by row and through the unique best browse item across browses, the item
// name handed back, the per-mille position, and the record state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CAny.h"
#include "CNARecord.h"
#include "CNARecordValue.h"
#include "CNAStatement.h"
#include "nativeaccess/support/AnyValues.h"
#include "nativeaccess/support/SmallTableLive.h"

namespace {

using kxtest::Int;
using kxtest::Narrow;

class accessposition_live : public kxtest::SmallTableLive {
 protected:
  accessposition_live() : SmallTableLive("kxpos_") {}

  int Save(const wchar_t* item) {
    int n = -7;
    EXPECT_EQ(1, p()->bHSauvePosition(&n, item, 0)) << Narrow(m_pError->pszGetError());
    return n;
  }
  int Same(int first, int second) {
    int nSame = -1;
    EXPECT_EQ(1, p()->bCompareTablePosition(first, second, &nSame)) << Narrow(m_pError->pszGetError());
    return nSame;
  }
};

TEST_F(accessposition_live, RestoreBringsTheBrowseAndTheRecordBack) {
  EXPECT_EQ(1, Read(L"k", NA_PARSE_FIRST));
  for (int i = 0; i < 5; ++i) Read(L"k", NA_PARSE_NEXT);
  const int nSavedId = m_access.nCurrentInt(m_pId);
  ASSERT_EQ(6, nSavedId);
  const int n = Save(L"k");
  EXPECT_EQ(n + 1, CNADataAccess::ms_nPositionID);
  // Elsewhere, on another key too.
  EXPECT_EQ(20, Read(L"k", NA_PARSE_LAST));
  EXPECT_EQ(1, Read(L"id", NA_PARSE_FIRST));

  wchar_t szItem[255];
  ASSERT_EQ(1, p()->bHRetourPosition(n, szItem, 1, 0)) << Narrow(m_pError->pszGetError());
  EXPECT_STREQ(L"k", szItem);
  EXPECT_EQ(nSavedId, m_access.nCurrentInt(m_pId));
  EXPECT_EQ(m_access.pclStatement(L"k"), p()->pclGetCurrentStatement());
  unsigned int nState = 99;
  EXPECT_EQ(1, p()->bGetRecNumState(0, &nState));
  EXPECT_EQ(0u, nState);
  // The browse goes on from the restored record.
  EXPECT_EQ(7, Read(L"k", NA_PARSE_NEXT));
  EXPECT_EQ(1, p()->bHRetourPosition(n, szItem, 0, 0));
  EXPECT_EQ(nSavedId, m_access.nCurrentInt(m_pId));
  EXPECT_EQ(5, Read(L"k", NA_PARSE_PREVIOUS));
  // Freed by the restore that did not keep it.
  EXPECT_EQ(0u, p()->nGetPositionCount());
  EXPECT_EQ(0, p()->bHRetourPosition(n, szItem, 0, 0));
  EXPECT_EQ(11u, m_pError->nGetUserErrorCode());
}

TEST_F(accessposition_live, FilterComesBackWithModeBitZero) {
  const CAny two = Int(2);
  ASSERT_EQ(1, p()->bHFiltre(L"k", &two, 1, &two, 1, nullptr));
  EXPECT_EQ(9, Read(L"k", NA_PARSE_FIRST));
  EXPECT_EQ(10, Read(L"k", NA_PARSE_NEXT));
  const int n = Save(L"k");
  // Another filter replaces it.
  const CAny three = Int(3);
  ASSERT_EQ(1, p()->bHFiltre(L"id", nullptr, 0, &three, 1, nullptr));
  CNAFilter* pclOther = p()->pclGetLatestFilterNoRef();
  wchar_t szItem[255];
  ASSERT_EQ(1, p()->bHRetourPosition(n, szItem, 1, 1)) << Narrow(m_pError->pszGetError());
  // The position's filter is the latest one again: switched on, the browse
  // goes on under it from the restored record.
  EXPECT_NE(pclOther, p()->pclGetLatestFilterNoRef());
  EXPECT_EQ(10, m_access.nCurrentInt(m_pId));
  EXPECT_EQ(1, p()->bHActiveFiltre(L"k"));
  EXPECT_EQ(11, Read(L"k", NA_PARSE_NEXT));
  EXPECT_EQ(12, Read(L"k", NA_PARSE_NEXT));
  EXPECT_EQ(0, Read(L"k", NA_PARSE_NEXT));
  // Without bit 0 the latest filter stays what it is.
  CNAFilter* pclLatest = p()->pclGetLatestFilterNoRef();
  ASSERT_EQ(1, p()->bHRetourPosition(n, szItem, 0, 0));
  EXPECT_EQ(pclLatest, p()->pclGetLatestFilterNoRef());
}

TEST_F(accessposition_live, ComparisonsByRowAndByTheUniqueBestItem) {
  EXPECT_EQ(1, Read(L"id", NA_PARSE_FIRST));
  const int nId1 = Save(L"id");
  const int nId1Again = Save(L"id");
  EXPECT_EQ(2, Read(L"id", NA_PARSE_NEXT));
  const int nId2 = Save(L"id");
  // The same browse: by row.
  EXPECT_EQ(1, Same(nId1, nId1Again));
  EXPECT_EQ(0, Same(nId1, nId2));
  // Another browse (d descending: a row of d = 6 first) through the saved
  // records' id.
  const int nFirstD = Read(L"d", NA_PARSE_FIRST);
  EXPECT_EQ(6, nFirstD % 7);
  const int nD6 = Save(L"d");
  Read(L"k", NA_PARSE_FIRST);
  const int nK1 = Save(L"k");
  EXPECT_EQ(1, Same(nId1, nK1));
  EXPECT_EQ(0, Same(nId2, nK1));
  EXPECT_EQ(0, Same(nD6, nK1));

  // The same record on two browses shares its saved copy.
  EXPECT_EQ(20, Read(L"k", NA_PARSE_LAST));
  const int nK20 = Save(L"k");
  EXPECT_EQ(20, Read(L"id", NA_PARSE_LAST));
  const int nId20 = Save(L"id");
  EXPECT_EQ(1, Same(nK20, nId20));
  EXPECT_EQ(19, Read(L"id", NA_PARSE_PREVIOUS));
  const int nId19 = Save(L"id");

  // With u, NULL on rows 19 and 20, as the best browse item: one NULL is
  // different, two NULLs decide nothing.
  m_table->SetBestParseItem(m_pU);
  EXPECT_EQ(0, Same(nK20, nId1));
  EXPECT_EQ(0, Same(nK20, nId19));
  // A best browse item that is not unique decides nothing: rows 1 and 2
  // share k = 0 and still are not the same record.
  m_table->SetBestParseItem(m_pK);
  EXPECT_EQ(0, Same(nId2, nK1));
  m_table->SetBestParseItem(m_pId);
  EXPECT_EQ(0, Same(nId2, nK1));
  EXPECT_EQ(NA_ERRORTYPE_NONE, m_pError->eGetErrorType());
}

TEST_F(accessposition_live, LongItemNameComesBackCutAndPerMillePosition) {
  const std::wstring sLong(300, L'x');
  // A statement for a name the table does not know can still hold a
  // position (nothing was read on it).
  const int n = Save(sLong.c_str());
  wchar_t szItem[300];
  std::wmemset(szItem, L'#', 300);
  ASSERT_EQ(1, p()->bHRetourPosition(n, szItem, 0, 0)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(std::wstring(254, L'x'), std::wstring(szItem));
  EXPECT_EQ(L'#', szItem[255]);

  int nPerMille = 0;
  EXPECT_EQ(0, p()->bHPositionCourante(&nPerMille, L"k", 0));
  EXPECT_EQ(-1, nPerMille);
  EXPECT_EQ(7u, m_pError->nGetUserErrorCode());
  m_pError->Reset();
  EXPECT_EQ(1, Read(L"id", NA_PARSE_FIRST));
  for (int i = 0; i < 4; ++i) Read(L"id", NA_PARSE_NEXT);
  ASSERT_EQ(1, p()->bHPositionCourante(&nPerMille, L"id", 0)) << Narrow(m_pError->pszGetError());
  EXPECT_EQ(250, nPerMille);  // the fifth of twenty
}

TEST_F(accessposition_live, ClosingFreesEveryPosition) {
  EXPECT_EQ(1, Read(L"id", NA_PARSE_FIRST));
  Save(L"id");
  Save(L"k");
  EXPECT_EQ(2u, p()->nGetPositionCount());
  EXPECT_EQ(1, p()->bHFerme());
  EXPECT_EQ(0u, p()->nGetPositionCount());
  EXPECT_EQ(0u, p()->nGetStatementCount());
  EXPECT_EQ(0, m_access.nSavesHeld());
}

}  // namespace
