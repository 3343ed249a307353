// What the table-cache tests build on: a record layout of four columns (an
// I4, a UNICODE of 20 characters, a text of 10 characters, a text memo)
// over a record cache filled row by row through the columns, as a parse
// fills it; indexes made over that cache; the browse order of an index;
// and the writes of a table replayed on the cache and told to an index as
// the data access tells it (original record = the entry before the write,
// current record = the entry after it).
//
// Needs the runtime bound (BoundRuntimeTest) and a driver (DriverScope).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CAny.h"
#include "CNAColumn.h"
#include "CNARecord.h"
#include "CNARecordCache.h"
#include "CNARecordValue.h"
#include "CNATableCacheIndex.h"
#include "support/LayoutFixture.h"

namespace tablecache {

// One row; a missing memo or text is NULL.
struct Row {
  Row(int nI4 = 0, std::wstring sUni = L"", std::optional<std::string> sMemo = std::nullopt,
      std::optional<std::string> sText = std::nullopt)
      : i4(nI4), uni(std::move(sUni)), memo(std::move(sMemo)), text(std::move(sText)) {}
  int i4;
  std::wstring uni;
  std::optional<std::string> memo;
  std::optional<std::string> text;
};

inline void SetAnsi(CAny* v, const std::string& s) {
  v->__SetType(ANY_DSTRA, 0);
  v->SetValue(s.c_str(), s.size());
}

inline void SetWide(CAny* v, const std::wstring& s) {
  v->__SetType(ANY_DSTRW, 0);
  v->SetValue(s.c_str(), s.size() * sizeof(wchar_t));
}

// An index held for a scope (released at the end).
struct IndexRelease {
  void operator()(CNATableCacheIndex* p) const { p->dwRelease(); }
};
using IndexPtr = std::unique_ptr<CNATableCacheIndex, IndexRelease>;

class Rows {
 public:
  Rows() {
    i4 = src.pclAdd(NA_IT_I4, 4);
    uni = src.pclAdd(NA_IT_UNICODE, 42);
    text = src.pclAdd(NA_IT_TEXTE, 11);
    memo = src.pclAdd(NA_IT_MEMOTEXTE, 8);
    layout = std::make_unique<kxtest::Layout>(&src, cnx.get());
    EXPECT_TRUE(layout->bInitResult);
  }

  CNAColumn* col(INAItemDescription* pi) const { return layout->col(pi); }

  // The row into the layout's current record.
  void Set(const Row& r) {
    CAny v;
    v.SetI4(r.i4);
    ASSERT_TRUE(col(i4)->bSetValue(&v, 0));
    SetWide(&v, r.uni);
    ASSERT_TRUE(col(uni)->bSetValue(&v, 0));
    if (r.text) {
      SetAnsi(&v, *r.text);
      ASSERT_TRUE(col(text)->bSetValue(&v, 0));
    } else {
      ASSERT_TRUE(col(text)->bSetValueNULL());
    }
    if (r.memo) {
      SetAnsi(&v, *r.memo);
      ASSERT_TRUE(col(memo)->bSetValue(&v, 0));
    } else {
      ASSERT_TRUE(col(memo)->bSetValueNULL());
    }
  }

  // Appends the row to the cache as a parse does; its record number.
  int Add(const Row& r) {
    Set(r);
    const int n = cache->nAjoute((*layout)->pclGetCurrentRecordValue());
    EXPECT_GE(n, 0);
    return n;
  }

  // A new index over the cache on the item's column, built.
  IndexPtr Index(INAItemDescription* pi, CNAStatement* statement = nullptr) {
    auto* p = new CNATableCacheIndex(layout->error(), cache.get(), col(pi), statement);
    p->dwAddRef();
    IndexPtr index(p);
    EXPECT_TRUE(index->bInit());
    return index;
  }

  // The writes of a table, told to `index` afterwards.
  void Update(CNATableCacheIndex* index, int n, const Row& r) {
    ASSERT_TRUE(cache->bGetAt((*layout)->pclGetOriginalRecordValue(), n));
    ASSERT_TRUE(cache->bGetAt((*layout)->pclGetCurrentRecordValue(), n));
    Set(r);
    cache->Update(n, (*layout)->pclGetCurrentRecordValue());
    if (index != nullptr) index->OnNotifyOperation(NA_QUERY_UPDATE, n, 0);
  }
  int Insert(CNATableCacheIndex* index, const Row& r) {
    const int n = Add(r);
    if (index != nullptr) index->OnNotifyOperation(NA_QUERY_INSERT, n, 0);
    return n;
  }
  void Delete(CNATableCacheIndex* index, int n) {
    EXPECT_TRUE(cache->bGetAt((*layout)->pclGetOriginalRecordValue(), n));
    cache->SetRecordState(n, NA_RECORDSTATE_DELETED);
    if (index != nullptr) index->OnNotifyOperation(NA_QUERY_DELETE, n, 0);
  }
  // The original record made the cached entry (as after reading it).
  void ReadAsOriginal(int n) { ASSERT_TRUE(cache->bGetAt((*layout)->pclGetOriginalRecordValue(), n)); }

  kxtest::TestRecordSource src;
  INAItemDescription* i4 = nullptr;
  INAItemDescription* uni = nullptr;
  INAItemDescription* text = nullptr;
  INAItemDescription* memo = nullptr;
  kxtest::Held<kxtest::TestConnection> cnx;
  std::unique_ptr<kxtest::Layout> layout;
  kxtest::Held<CNARecordCache> cache;
};

// Record numbers from first to the end by next steps of 1.
inline std::vector<int> Forward(CNATableCacheIndex* index) {
  std::vector<int> order;
  int n = -1;
  EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_FIRST, 1, &n, nullptr));
  while (n >= 0 && order.size() <= 100000) {
    order.push_back(n);
    EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_NEXT, 1, &n, nullptr));
  }
  return order;
}

// Record numbers from last to the start by previous steps of 1.
inline std::vector<int> Backward(CNATableCacheIndex* index) {
  std::vector<int> order;
  int n = -1;
  EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_LAST, 1, &n, nullptr));
  while (n >= 0 && order.size() <= 100000) {
    order.push_back(n);
    EXPECT_TRUE(index->bGetRecordPosition(NA_PARSE_PREVIOUS, 1, &n, nullptr));
  }
  return order;
}

}  // namespace tablecache
