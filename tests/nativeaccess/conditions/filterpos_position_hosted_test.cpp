// Saved positions (CNAPosition): what they hold and give back (the
// statement, the saved records counted by the data access, the filter, the
// copy of the user search), and the user search itself (CNAUserSearch):
// its two states, the references on its item and the found test of a read
// record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CAny.h"
#include "CNAFilter.h"
#include "CNAPosition.h"
#include "CNAUserSearch.h"
#include "runtime/support/BoundRuntimeFixture.h"
#include "support/AnyValues.h"
#include "support/StatementFixture.h"

namespace {

using Env = kxtest::StatementEnv;
using kxtest::Ansi;
using kxtest::Int;

class filterpos_usersearch : public BoundRuntimeTest {};
class filterpos_position : public BoundRuntimeTest {};

// The I4 a value holds (-1 when it holds none).
int IntOf(const CAny* v) {
  if (v == nullptr || v->nGetTypeCode() != ANY_I4) return -1;
  int n = 0;
  std::memcpy(&n, v->pbyValue(), sizeof n);
  return n;
}

// Puts a row into the record's current values.
void SetRow(CNARecord* record, INAItemDescription* key, INAItemDescription* text, int k, const char* t) {
  const CAny vk = Int(k);
  const CAny vt = Ansi(t);
  ASSERT_TRUE(record->pclGetColumnNoRef(key)->bSetValue(&vk, 0));
  ASSERT_TRUE(record->pclGetColumnNoRef(text)->bSetValue(&vt, 0));
}

// ---------------------------------------------------------------------------
// CNAUserSearch
// ---------------------------------------------------------------------------

// Without a search every record is a found one; the search keeps nothing.
TEST_F(filterpos_usersearch, UnsetFindsEveryRecord) {
  Env env;
  SetRow(env.record, env.key, env.text, 30, "c");
  CNAUserSearch search;
  EXPECT_FALSE(search.bIsSet());
  EXPECT_EQ(nullptr, search.pclGetValue());
  EXPECT_TRUE(search.bGetHTrouve(env.record));
  EXPECT_TRUE(search.bGetHTrouve(nullptr));
  const CAny v = Int(31);
  search.SetUserSearch(env.key, &v, 0);
  EXPECT_FALSE(search.bGetHTrouve(env.record));
  search.CancelUserSearch();
  EXPECT_TRUE(search.bGetHTrouve(env.record));
  EXPECT_EQ(nullptr, search.pclGetValue());
  EXPECT_EQ(0u, search.nGetFlags());
}

// The searched value against the record's: exact, or by prefix with flag
// bit 0.
TEST_F(filterpos_usersearch, FoundTestExactAndGeneric) {
  Env env;
  SetRow(env.record, env.key, env.text, 30, "abc");
  struct Case {
    const char* pszName;
    bool bText;
    CAny value;
    unsigned nFlags;
    int bFound;
  };
  const std::vector<Case> cases = {
      {"key equal", false, Int(30), 0, 1},
      {"key different", false, Int(31), 0, 0},
      {"text equal", true, Ansi("abc"), 0, 1},
      {"text prefix, exact", true, Ansi("ab"), 0, 0},
      {"text prefix, generic", true, Ansi("ab"), CNAUserSearch::knFlagGeneric, 1},
      {"text equal, generic", true, Ansi("abc"), CNAUserSearch::knFlagGeneric, 1},
      {"text other prefix, generic", true, Ansi("abd"), CNAUserSearch::knFlagGeneric, 0},
      {"text longer, generic", true, Ansi("abcd"), CNAUserSearch::knFlagGeneric, 0},
  };
  CNAUserSearch search;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    search.SetUserSearch(c.bText ? env.text : env.key, &c.value, c.nFlags);
    EXPECT_EQ(c.bFound, search.bGetHTrouve(env.record));
  }
  // An item the record has no column for finds nothing (and reads nothing).
  kxtest::TestRecordSource other;
  CNAItemDescription* stranger = nullptr;
  for (int i = 0; i < 5; ++i) stranger = other.pclAdd(NA_IT_I4, 4);
  ASSERT_TRUE(stranger->bSetName(L"ELSEWHERE"));
  ASSERT_EQ(nullptr, env.record->pclGetColumnNoRef(stranger));
  const CAny v = Int(30);
  search.SetUserSearch(stranger, &v, 0);
  EXPECT_FALSE(search.bGetHTrouve(env.record));
  search.CancelUserSearch();
}

// The found test answers for the record it is given, also when layouts
// alternate (the column remembered for one layout is not another's).
TEST_F(filterpos_usersearch, FoundTestFollowsTheRecordGiven) {
  Env env;
  CNARecord* pclOther = new CNARecord(env.error, env.access);
  pclOther->AddRef();
  ASSERT_TRUE(pclOther->bInitRecord(&env.src, nullptr, env.cnx));
  SetRow(env.record, env.key, env.text, 30, "c");
  SetRow(pclOther, env.key, env.text, 40, "d");
  CNAUserSearch search;
  const CAny v = Int(40);
  search.SetUserSearch(env.key, &v, 0);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(search.bGetHTrouve(env.record));
    EXPECT_TRUE(search.bGetHTrouve(pclOther));
  }
  // A layout whose column is gone, then a new one: looked up again.
  pclOther->nRelease();
  pclOther = new CNARecord(env.error, env.access);
  pclOther->AddRef();
  ASSERT_TRUE(pclOther->bInitRecord(&env.src, nullptr, env.cnx));
  SetRow(pclOther, env.key, env.text, 40, "x");
  EXPECT_TRUE(search.bGetHTrouve(pclOther));
  SetRow(pclOther, env.key, env.text, 41, "x");
  EXPECT_FALSE(search.bGetHTrouve(pclOther));
  search.CancelUserSearch();
  pclOther->nRelease();
}

// Setting a search with the search's own value keeps that value (clearing
// first would lose it) and takes the new item and flags.
TEST_F(filterpos_usersearch, OwnValueIsKept) {
  Env env;
  CNAUserSearch search;
  const CAny v = Int(30);
  search.SetUserSearch(env.key, &v, 0);
  const std::uint32_t nKey = env.key->nGetExternalCount();
  const std::uint32_t nText = env.text->nGetExternalCount();
  search.SetUserSearch(env.text, search.pclGetValue(), CNAUserSearch::knFlagGeneric);
  EXPECT_EQ(env.text, search.piGetItemNoRef());
  EXPECT_EQ(CNAUserSearch::knFlagGeneric, search.nGetFlags());
  EXPECT_EQ(30, IntOf(search.pclGetValue()));
  EXPECT_EQ(nKey - 1, env.key->nGetExternalCount());
  EXPECT_EQ(nText + 1, env.text->nGetExternalCount());
  // Own value, null item: the search is cleared.
  search.SetUserSearch(nullptr, search.pclGetValue(), 1);
  EXPECT_FALSE(search.bIsSet());
  EXPECT_EQ(nullptr, search.pclGetValue());
  EXPECT_EQ(0u, search.nGetFlags());
  EXPECT_EQ(nText, env.text->nGetExternalCount());
}

// Each item is referenced once while it is the searched one: replacing,
// re-setting, copying and cancelling give back exactly what was taken.
TEST_F(filterpos_usersearch, ItemReferences) {
  Env env;
  const std::uint32_t nKey = env.key->nGetExternalCount();
  const std::uint32_t nText = env.text->nGetExternalCount();
  const CAny v = Int(30);
  const CAny t = Ansi("c");
  {
    CNAUserSearch search;
    search.SetUserSearch(env.key, &v, 0);
    EXPECT_EQ(nKey + 1, env.key->nGetExternalCount());
    search.SetUserSearch(env.key, &v, 0);  // the same item again
    EXPECT_EQ(nKey + 1, env.key->nGetExternalCount());
    search.SetUserSearch(env.text, &t, 1);  // a new search on a set one
    EXPECT_EQ(nKey, env.key->nGetExternalCount());
    EXPECT_EQ(nText + 1, env.text->nGetExternalCount());

    CNAUserSearch copy;
    copy.Copy(&search);
    EXPECT_EQ(nText + 2, env.text->nGetExternalCount());
    EXPECT_EQ(1u, copy.nGetFlags());
    copy.Copy(&copy);
    EXPECT_EQ(nText + 2, env.text->nGetExternalCount());
    EXPECT_TRUE(copy.bIsSet());

    // Copying an unset search clears the target and gives its item back.
    const CNAUserSearch unset;
    copy.Copy(&unset);
    EXPECT_FALSE(copy.bIsSet());
    EXPECT_EQ(nullptr, copy.pclGetValue());
    EXPECT_EQ(nText + 1, env.text->nGetExternalCount());
    copy.SetUserSearch(env.key, &v, 0);
    copy.Copy(nullptr);
    EXPECT_FALSE(copy.bIsSet());
    EXPECT_EQ(nKey, env.key->nGetExternalCount());

    // A null item sets nothing.
    copy.SetUserSearch(nullptr, &v, 1);
    EXPECT_FALSE(copy.bIsSet());
    EXPECT_EQ(0u, copy.nGetFlags());
  }
  // The destructor gives back what was held.
  EXPECT_EQ(nKey, env.key->nGetExternalCount());
  EXPECT_EQ(nText, env.text->nGetExternalCount());
}

// ---------------------------------------------------------------------------
// CNAPosition
// ---------------------------------------------------------------------------

TEST_F(filterpos_position, EmptyAtConstruction) {
  CNAPosition* p = new CNAPosition();
  p->AddRef();
  EXPECT_EQ(-1, p->nGetRowID());
  EXPECT_EQ(-1, p->nGetRecordSaveID());
  EXPECT_EQ(-1, p->nGetRecordSaveIDAfterAdd());
  EXPECT_EQ(nullptr, p->pclGetDataAccess());
  EXPECT_EQ(nullptr, p->pclGetStatement());
  EXPECT_FALSE(p->pclGetUserSearch()->bIsSet());
  EXPECT_EQ(nullptr, p->clGetFilterSave().pclGetFilterNoRef());
  EXPECT_STREQ(L"", p->pszGetItem());
  EXPECT_FALSE(p->bParametersSet());
  p->nRelease();
}

// The position holds its statement (one at a time) and gives it back.
TEST_F(filterpos_position, StatementReferences) {
  Env env;
  CNAStatement* pclSecond = new CNAStatement(env.access, env.error);
  pclSecond->AddRef();
  const std::uint32_t nFirst = env.st->nGetInternalCount();
  const std::uint32_t nSecond = pclSecond->nGetInternalCount();
  CNAPosition* p = new CNAPosition();
  p->AddRef();
  p->SetStatement(env.st);
  EXPECT_EQ(nFirst + 1, env.st->nGetInternalCount());
  EXPECT_EQ(env.access, p->pclGetDataAccess());
  CNAStatement* pclGot = p->pclGetStatement();
  EXPECT_EQ(env.st, pclGot);
  EXPECT_EQ(nFirst + 2, env.st->nGetInternalCount());
  pclGot->nRelease();
  p->SetStatement(env.st);  // the same one again
  EXPECT_EQ(nFirst + 1, env.st->nGetInternalCount());
  p->SetStatement(pclSecond);  // another: the first is given back
  EXPECT_EQ(nFirst, env.st->nGetInternalCount());
  EXPECT_EQ(nSecond + 1, pclSecond->nGetInternalCount());
  p->SetItem(L"ITEM0");
  EXPECT_STREQ(L"ITEM0", p->pszGetItem());
  p->nRelease();
  EXPECT_EQ(nSecond, pclSecond->nGetInternalCount());
  pclSecond->nRelease();
}

// The saved records: one reference per record the position names, taken
// through the data access, a replaced one given back, all given back with
// the position; the access's counts end where they started.
TEST_F(filterpos_position, SavedRecordReferences) {
  Env env;
  // Two records: the store keeps one slot per record.
  SetRow(env.record, env.key, env.text, 30, "c");
  const std::uint32_t nSave1 = env.access->nKeepCurrentRecordSave();
  SetRow(env.record, env.key, env.text, 31, "d");
  const std::uint32_t nSave2 = env.access->nKeepCurrentRecordSave();
  ASSERT_NE(CNADataAccess::knNoRecordSave, nSave1);
  ASSERT_NE(CNADataAccess::knNoRecordSave, nSave2);
  const int s1 = static_cast<int>(nSave1);
  const int s2 = static_cast<int>(nSave2);
  const int nAddRefs = env.access->nAddRefSaveCalls;
  const int nReleases = env.access->nReleaseSaveCalls;

  CNAPosition* p = new CNAPosition();
  p->AddRef();
  p->SetStatement(env.st);
  struct Step {
    const char* pszName;
    int nRow;
    int nSave;
    int nRefs1;
    int nRefs2;
  };
  const std::vector<Step> steps = {
      {"first save", 4, s1, 2, 1},
      {"the same save again", 4, s1, 2, 1},
      {"another save", 5, s2, 1, 2},
      {"no save", 6, -1, 1, 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.pszName);
    EXPECT_TRUE(p->bSetParameters(s.nRow, s.nSave, nullptr, 9));
    EXPECT_TRUE(p->bParametersSet());
    EXPECT_EQ(s.nRow, p->nGetRowID());
    EXPECT_EQ(s.nSave, p->nGetRecordSaveID());
    EXPECT_EQ(9, p->nGetExtra());
    EXPECT_EQ(s.nRefs1, env.access->nSaveRefs(nSave1));
    EXPECT_EQ(s.nRefs2, env.access->nSaveRefs(nSave2));
  }
  p->InvalidateRowID();
  EXPECT_EQ(-1, p->nGetRowID());

  // The save after an add: the same rules.
  p->SetRecordSaveID_VerrueHAjouteHLit(env.access, s1);
  EXPECT_EQ(s1, p->nGetRecordSaveIDAfterAdd());
  EXPECT_EQ(2, env.access->nSaveRefs(nSave1));
  p->SetRecordSaveID_VerrueHAjouteHLit(env.access, s2);
  EXPECT_EQ(1, env.access->nSaveRefs(nSave1));
  EXPECT_EQ(2, env.access->nSaveRefs(nSave2));
  EXPECT_TRUE(p->bSetParameters(7, s1, nullptr, 0));
  EXPECT_EQ(2, env.access->nSaveRefs(nSave1));

  p->nRelease();
  EXPECT_EQ(1, env.access->nSaveRefs(nSave1));
  EXPECT_EQ(1, env.access->nSaveRefs(nSave2));
  EXPECT_EQ(env.access->nAddRefSaveCalls - nAddRefs, env.access->nReleaseSaveCalls - nReleases);
  env.access->nReleaseRecordSave(nSave1);
  env.access->nReleaseRecordSave(nSave2);
  EXPECT_EQ(0, env.access->nSavesHeld());
}

// A statement of another data access: the saves held through the first
// one are given back there, none is given to the second.
TEST_F(filterpos_position, AnotherAccessGivesTheSavesBack) {
  Env first;
  Env second;
  SetRow(first.record, first.key, first.text, 30, "c");
  const std::uint32_t nSave = first.access->nKeepCurrentRecordSave();
  SetRow(first.record, first.key, first.text, 31, "d");
  const std::uint32_t nAfterAdd = first.access->nKeepCurrentRecordSave();
  CNAPosition* p = new CNAPosition();
  p->AddRef();
  p->SetStatement(first.st);
  EXPECT_TRUE(p->bSetParameters(1, static_cast<int>(nSave), nullptr, 0));
  p->SetRecordSaveID_VerrueHAjouteHLit(first.access, static_cast<int>(nAfterAdd));
  EXPECT_EQ(2, first.access->nSaveRefs(nSave));
  EXPECT_EQ(2, first.access->nSaveRefs(nAfterAdd));
  p->SetStatement(second.st);
  EXPECT_EQ(second.access, p->pclGetDataAccess());
  EXPECT_EQ(-1, p->nGetRecordSaveID());
  EXPECT_EQ(-1, p->nGetRecordSaveIDAfterAdd());
  EXPECT_EQ(1, first.access->nSaveRefs(nSave));
  EXPECT_EQ(1, first.access->nSaveRefs(nAfterAdd));
  p->nRelease();
  EXPECT_EQ(0, second.access->nReleaseSaveCalls);
  first.access->nReleaseRecordSave(nSave);
  first.access->nReleaseRecordSave(nAfterAdd);
  EXPECT_EQ(0, first.access->nSavesHeld());
}

// Without a data access no saved record is taken, nor given back.
TEST_F(filterpos_position, NoDataAccessTakesNothing) {
  Env env;
  SetRow(env.record, env.key, env.text, 30, "c");
  const std::uint32_t nSave = env.access->nKeepCurrentRecordSave();
  const int nAddRefs = env.access->nAddRefSaveCalls;
  const int nReleases = env.access->nReleaseSaveCalls;
  CNAPosition* p = new CNAPosition();
  p->AddRef();
  EXPECT_TRUE(p->bSetParameters(3, static_cast<int>(nSave), nullptr, 0));
  EXPECT_EQ(3, p->nGetRowID());
  EXPECT_EQ(-1, p->nGetRecordSaveID());
  p->SetRecordSaveID_VerrueHAjouteHLit(nullptr, static_cast<int>(nSave));
  EXPECT_EQ(-1, p->nGetRecordSaveIDAfterAdd());
  p->nRelease();
  EXPECT_EQ(nAddRefs, env.access->nAddRefSaveCalls);
  EXPECT_EQ(nReleases, env.access->nReleaseSaveCalls);
  EXPECT_EQ(1, env.access->nSaveRefs(nSave));
  env.access->nReleaseRecordSave(nSave);
}

// The position keeps a copy of the user search and the filter of its
// moment, and gives both back.
TEST_F(filterpos_position, KeepsUserSearchAndFilter) {
  Env env;
  const std::uint32_t nKey = env.key->nGetExternalCount();
  const CAny v = Int(30);
  env.st->pclGetUserSearch()->SetUserSearch(env.key, &v, 1);
  CNAFilter* pclFilter = env.st->pclAllocFilter();
  ASSERT_NE(nullptr, pclFilter);
  pclFilter->AddRef();
  pclFilter->ActivateFilter(1);

  CNAPosition* p = new CNAPosition();
  p->AddRef();
  p->SetStatement(env.st);
  EXPECT_TRUE(p->bKeepFilter(pclFilter));
  EXPECT_EQ(2u, pclFilter->nGetInternalCount());
  EXPECT_TRUE(p->clGetFilterSave().bIsActive());
  EXPECT_TRUE(p->bSetParameters(2, -1, env.st->pclGetUserSearch(), 0));
  EXPECT_EQ(nKey + 2, env.key->nGetExternalCount());
  EXPECT_EQ(env.key, p->pclGetUserSearch()->piGetItemNoRef());
  EXPECT_EQ(30, IntOf(p->pclGetUserSearch()->pclGetValue()));
  EXPECT_EQ(1u, p->pclGetUserSearch()->nGetFlags());
  // The statement's search goes on without the position's copy.
  env.st->pclGetUserSearch()->CancelUserSearch();
  EXPECT_EQ(nKey + 1, env.key->nGetExternalCount());
  EXPECT_EQ(30, IntOf(p->pclGetUserSearch()->pclGetValue()));

  p->nRelease();
  EXPECT_EQ(nKey, env.key->nGetExternalCount());
  EXPECT_EQ(1u, pclFilter->nGetInternalCount());
  pclFilter->nRelease();
}

}  // namespace
