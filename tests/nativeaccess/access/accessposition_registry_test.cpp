// Saved positions of a data access without a server: identifiers shared by
// every data access and never wrapping, the registry (free twice, restore
// of an unknown or freed identifier, close), comparisons that need no
// record, the current position of a browse never started and the record
// numbers of a layer that has none.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

#include "CNADataAccess.h"
#include "CNAError.h"
#include "support/CountingAccess.h"

// Every heap block that grows goes through this wrapper in the unit test
// program (linked with --wrap); it refuses while a FailingGrowth is alive.
extern "C" void* __real__Z16XMALLOC_pResize_Pvm(void* pointer, std::size_t size);
namespace {
thread_local int tl_nFailingGrowth = 0;
}
extern "C" void* __wrap__Z16XMALLOC_pResize_Pvm(void* pointer, std::size_t size) {
  if (tl_nFailingGrowth > 0) return nullptr;
  return __real__Z16XMALLOC_pResize_Pvm(pointer, size);
}

namespace {

using kxtest::CountingAccess;

struct FailingGrowth {
  FailingGrowth() { ++tl_nFailingGrowth; }
  ~FailingGrowth() { --tl_nFailingGrowth; }
};

// A data access without description reporting into its own error object.
struct Access {
  CNAError* error = new CNAError();
  CountingAccess* p = nullptr;
  Access() {
    error->AddRef();
    p = new CountingAccess(nullptr, nullptr, error);
    p->AddRef();
  }
  ~Access() {
    p->bHFerme();
    p->nRelease();
    error->nRelease();
  }
  CountingAccess* operator->() const { return p; }
};

// Puts the process's identifier counter back after a test moved it.
struct CounterKept {
  int n = CNADataAccess::ms_nPositionID;
  ~CounterKept() { CNADataAccess::ms_nPositionID = n; }
};

TEST(accessposition_registry, IdentifiersAreSharedAcrossDataAccessesAndNeverWrap) {
  CounterKept kept;
  Access a;
  Access b;
  int n1 = 0;
  int n2 = 0;
  ASSERT_EQ(1, a->bHSauvePosition(&n1, L"id", 0)) << a.error->pszGetError();
  ASSERT_EQ(1, b->bHSauvePosition(&n2, L"k", 0)) << b.error->pszGetError();
  EXPECT_EQ(n1 + 1, n2);
  EXPECT_EQ(n2 + 1, CNADataAccess::ms_nPositionID);
  EXPECT_EQ(1u, a->nGetPositionCount());

  // The last identifier is never handed out: nothing registered, nothing
  // consumed, a report that says why.
  CNADataAccess::ms_nPositionID = INT_MAX;
  int nLast = 77;
  EXPECT_EQ(0, a->bHSauvePosition(&nLast, L"id", 0));
  EXPECT_EQ(77, nLast);
  EXPECT_EQ(INT_MAX, CNADataAccess::ms_nPositionID);
  EXPECT_EQ(1u, a->nGetPositionCount());
  EXPECT_EQ(87u, a.error->nGetUserErrorCode());
  EXPECT_NE(std::wstring::npos, std::wstring(a.error->pszGetError()).find(L"No further position"));
}

// A position the statement cannot keep is not registered, consumes no
// identifier and leaves *position as it was.
TEST(accessposition_registry, SaveTheStatementCannotKeepLeavesNoTrace) {
  Access a;
  int n = 0;
  // The registry grows first and keeps its room while these stay.
  for (int i = 0; i < 9; ++i) ASSERT_EQ(1, a->bHSauvePosition(&n, L"id", 0));
  // Saves on k until its statement's table of positions has to grow.
  int nKept = 0;
  int nNext = 0;
  int nOut = -99;
  {
    FailingGrowth failing;
    for (; nKept < 250; ++nKept) {
      nNext = CNADataAccess::ms_nPositionID;
      if (!a->bHSauvePosition(&nOut, L"k", 0)) break;
      nOut = -99;
    }
  }
  ASSERT_LT(nKept, 250);
  EXPECT_EQ(-99, nOut);
  EXPECT_EQ(nNext, CNADataAccess::ms_nPositionID);
  EXPECT_EQ(static_cast<std::uint32_t>(9 + nKept), a->nGetPositionCount());
  EXPECT_EQ(0, a->bHRetourPosition(nNext, nullptr, 1, 0));
  // The next save takes that identifier.
  ASSERT_EQ(1, a->bHSauvePosition(&nOut, L"k", 0));
  EXPECT_EQ(nNext, nOut);
}

TEST(accessposition_registry, RestoreFreeAndCloseKeepTheRegistryRight) {
  Access a;
  int n = 0;
  ASSERT_EQ(1, a->bHSauvePosition(&n, L"id", 0)) << a.error->pszGetError();
  CNAStatement* pclStatement = a->_pclFindStatement(L"id");
  ASSERT_NE(nullptr, pclStatement);
  // The registry and the statement hold the position.
  CNAPosition* pclPosition = pclStatement->pclGetSavedPosition(n);
  ASSERT_NE(nullptr, pclPosition);
  EXPECT_EQ(3u, pclPosition->nGetInternalCount());
  pclPosition->nRelease();

  // Kept: the item comes back, the position stays.
  wchar_t szItem[255];
  std::wmemset(szItem, L'#', 255);
  EXPECT_EQ(1, a->bHRetourPosition(n, szItem, 1, 0)) << a.error->pszGetError();
  EXPECT_STREQ(L"id", szItem);
  EXPECT_EQ(1u, a->nGetPositionCount());
  // A null item buffer is skipped; not kept: freed, also in the statement.
  EXPECT_EQ(1, a->bHRetourPosition(n, nullptr, 0, 0));
  EXPECT_EQ(0u, a->nGetPositionCount());
  EXPECT_EQ(nullptr, pclStatement->pclGetSavedPosition(n));
  EXPECT_EQ(NA_ERRORTYPE_NONE, a.error->eGetErrorType());

  EXPECT_EQ(0, a->bHRetourPosition(n, szItem, 1, 0));
  EXPECT_EQ(11u, a.error->nGetUserErrorCode());
  EXPECT_EQ(1, a->bHLiberePosition(n));
  EXPECT_EQ(1, a->bHLiberePosition(-5));
  pclStatement->nRelease();

  // Close frees what is left, statements and positions alike (the
  // sanitizer's leak check sees a cycle left behind).
  ASSERT_EQ(1, a->bHSauvePosition(&n, L"id", 0));
  ASSERT_EQ(1, a->bHSauvePosition(&n, L"k", 0));
  EXPECT_EQ(2u, a->nGetPositionCount());
  a->bHFerme();
  EXPECT_EQ(0u, a->nGetPositionCount());
  EXPECT_EQ(0u, a->nGetStatementCount());
}

TEST(accessposition_registry, ArgumentsThatNameNothingAreRefused) {
  struct Case {
    const char* what;
    int (*call)(CNADataAccess*);
    unsigned int code;
  };
  const Case cases[] = {
      {"save without item", [](CNADataAccess* p) { int n = 0; return p->bHSauvePosition(&n, nullptr, 0); }, 7},
      {"save without identifier", [](CNADataAccess* p) { return p->bHSauvePosition(nullptr, L"id", 0); }, 7},
      {"compare unknown first", [](CNADataAccess* p) { int s = 9; return p->bCompareTablePosition(-3, -4, &s); }, 11},
      {"record number 5", [](CNADataAccess* p) { unsigned int s = 9; return p->bGetRecNumState(5, &s); }, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Access a;
    const int nBefore = CNADataAccess::ms_nPositionID;
    EXPECT_EQ(0, c.call(a.p));
    EXPECT_EQ(c.code, a.error->nGetUserErrorCode());
    EXPECT_EQ(nBefore, CNADataAccess::ms_nPositionID);
    EXPECT_EQ(0u, a->nGetPositionCount());
  }
}

TEST(accessposition_registry, AnswersThatNeedNoRecord) {
  Access a;
  // Equal identifiers are the same position, even one never saved.
  int nSame = 0;
  EXPECT_EQ(1, a->bCompareTablePosition(-8, -8, &nSame));
  EXPECT_EQ(1, nSame);
  // A missing second position.
  int n = 0;
  ASSERT_EQ(1, a->bHSauvePosition(&n, L"id", 0));
  nSame = 5;
  EXPECT_EQ(0, a->bCompareTablePosition(n, n + 1000, &nSame));
  EXPECT_EQ(11u, a.error->nGetUserErrorCode());
  a.error->Reset();

  // A browse never started has no current position.
  for (const wchar_t* item : {L"never", L"id", static_cast<const wchar_t*>(nullptr)}) {
    int nPerMille = 0;
    EXPECT_EQ(0, a->bHPositionCourante(&nPerMille, item, 0));
    EXPECT_EQ(-1, nPerMille);
    EXPECT_EQ(7u, a.error->nGetUserErrorCode());
    a.error->Reset();
  }

  // Record 0 only; without a record layout the state is left as it was.
  unsigned int nState = 42;
  EXPECT_EQ(1, a->bGetRecNumState(0, &nState));
  EXPECT_EQ(42u, nState);
  EXPECT_EQ(0, a->bGetRecNumState(-1, &nState));
  EXPECT_EQ(42u, nState);
  EXPECT_EQ(0, a->llGetRecNum());
}

}  // namespace
