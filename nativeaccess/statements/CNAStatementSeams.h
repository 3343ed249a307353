// What a statement (CNAStatement) holds of the searches, filters and saved
// positions of a parse, as far as the statement itself needs them today.
//
// The condition layer (searches over the current record, filters, saved
// positions) replaces these placeholders with the real classes; until then:
// - CNAUserSearch: the user's search held by value in a statement and in a
//   position; it remembers the item, value and exactness it was given and
//   tells "found" for every record (no condition is evaluated yet).
// - CNAFilter: a counted object a statement creates on demand through
//   pclAllocFilter, which gives none for now: every filter is inactive.
//   (The search, CNARecherche, is the real class: CNARecherche.h.)
// - CNAFilterSave: the filter saved when a parse starts (by value); empty.
// - CNAPosition: a saved position, counted; kept in the statement's table
//   of saved positions; knows only its row identifier, which a statement
//   invalidates when its rows are gone.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CAny.h"  // table cache: the user search keeps its value
#include "CInterf.h"

class CAny;
class CNARecord;
class INAItemDescription;

class CNAUserSearch {
 public:
  // Remembers the search; the item is not referenced (the caller's item
  // outlives the search).
  void SetUserSearch(INAItemDescription* item, const CAny* value, int exact) {
    // table cache: the value is kept for the table cache's indexes.
    m_clValue = value != nullptr ? *value : CAny();
    m_piItem = item;
    m_bExact = exact;
    m_bActive = item != nullptr ? 1 : 0;
  }
  // Whether the current record matches: no condition is evaluated yet, so
  // every record matches.
  int bGetHTrouve(CNARecord* /*record*/) const { return 1; }
  void Copy(const CNAUserSearch* other) {
    if (other == nullptr) return;
    m_piItem = other->m_piItem;
    m_clValue = other->m_clValue;  // table cache: the value goes with it
    m_bExact = other->m_bExact;
    m_bActive = other->m_bActive;
  }
  void Cancel() {
    m_piItem = nullptr;
    m_bExact = 0;
    m_bActive = 0;
  }
  int bIsActive() const { return m_bActive; }
  // table cache: the searched value while the search is set (its item not
  // null); null otherwise.
  const CAny* pclGetValue() const { return m_bActive ? &m_clValue : nullptr; }

 private:
  CAny m_clValue;  // table cache: the searched value
  INAItemDescription* m_piItem = nullptr;
  std::int32_t m_bExact = 0;
  std::int32_t m_bActive = 0;
};

class CNAFilter : public CInterf {
 public:
  int bIsActive() const { return 0; }
};
KX_CINTERF_REF_TRAITS(CNAFilter)

class CNAFilterSave {
 public:
  void Clear() { m_bActive = 0; }
  // table cache: a copy of `filter` (none: no filter), and whether
  // `filter` equals the copy. Filters are never active yet, so only
  // activity is kept and compared.
  void Save(const CNAFilter* filter) { m_bActive = filter != nullptr && filter->bIsActive() ? 1 : 0; }
  int bFilterEquals(const CNAFilter* filter) const {
    return (filter != nullptr && filter->bIsActive() ? 1 : 0) == m_bActive;
  }
  int bIsActive() const { return m_bActive; }

 private:
  std::int32_t m_bActive = 0;
};

// The search of a statement is the real class.
#include "CNARecherche.h"

class CNAPosition : public CInterf {
 public:
  // The row the position was taken on, -1 when it no longer names one.
  std::int64_t llGetRowID() const { return m_llRowID; }
  void SetRowID(std::int64_t row) { m_llRowID = row; }
  void InvalidateRowID() { m_llRowID = -1; }

 private:
  std::int64_t m_llRowID = -1;
};
KX_CINTERF_REF_TRAITS(CNAPosition)
