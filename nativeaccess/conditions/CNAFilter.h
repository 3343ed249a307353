// CNAFilter: the platform's filter on a table or query: an interval on one
// item (each bound included or not), possibly joined with a condition the
// SQL parser analysed. A statement joins its active filter with its search
// when it writes the WHERE clause (CNARecherche::bGetSQL).
//
// A filter is a search (CNARecherche) whose equality tree is the filter's
// condition and whose state tells whether it is active (0 inactive). The
// condition survives deactivation; bSetFilter never changes the state,
// ActivateFilter alone does.
//
// Ownership: a CInterf made with counts 0 (the maker takes the first
// reference); references as CNARecherche's.
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CNARecherche.h"

class CAny;
class CNAConnectionDescription;
class CNAError;
class CNARecord;
class INAItemDescription;
class ISQLParserInformation;

class CNAFilter : public CNARecherche {
 public:
  // Flags of bSetFilter, passed on to the leaf builder with the bounds.
  // The leaves are marked lower / upper bound (knOptLowerBound /
  // knOptUpperBound); swapped bounds are in the item's value order already
  // and are built with knOptNoTurn, so that the column's descending sort
  // does not turn them a second time.
  static constexpr unsigned int knFlagGeneric = 0x1;      // the bounds are prefixes
  static constexpr unsigned int knFlagBound = 0x4;        // added by bSetFilter to every bound
  static constexpr unsigned int knFlagFromRecord = 0x8;   // an equality on the item's current value

  // As CNARecherche's constructors.
  CNAFilter() = default;
  CNAFilter(CNAError* error, CNAConnectionDescription* cnx) : CNARecherche(error, cnx) {}
  ~CNAFilter() override;

  // ---- Virtual operations, in slot order after CNARecherche's own ------------
  // pclCloneFilter().
  CNARecherche* pclClone() const override;
  // A new empty CNAFilter over this filter's error object and connection
  // (counts 0).
  CNARecherche* _pclAllocRecherche() const override;
  // A copy as CNARecherche::pclClone makes it (a CNAFilter sharing the
  // trees), counts 0; null when memory runs out.
  virtual CNAFilter* pclCloneFilter() const;

  // Builds the filter's condition on `item` of `record`:
  //   lower bound: item >= min (> when `minIncluded` is 0),
  //   upper bound: item <= max (< when `maxIncluded` is 0),
  // on an item sorted descending with both bounds given the two are swapped
  // first (each keeping its inclusion). Equal bounds, both included, give
  // the single equality item = min; with `flags` 0x8 an absent upper bound
  // makes the lower leaf an equality on the item's current value in the
  // record (built even without a minimum). The bounds are ANDed, and a
  // parser condition (may be null) is ANDed to their right. NULL rows sort
  // first: an included lower end at 0 or '' on a column that may hold NULL
  // selects them (its leaf adds IS NULL, or holds for every row), so the
  // upper leaf becomes (upper OR item IS NULL) and the filter as a whole
  // lets them through. A bound whose
  // leaf cannot be made (no column, always true, no bound) is left out;
  // with no leaf and no condition the filter holds no tree. The state is
  // not changed. True; false only when memory runs out for the condition's
  // leaf or a joining node: the filter then holds no tree rather than a
  // part of its condition, which would let through rows it must hold back.
  int bSetFilter(CNARecord* record, INAItemDescription* item, const CAny* min, int minIncluded, const CAny* max,
                 int maxIncluded, ISQLParserInformation* parser, int flags);
  // Non-zero: Activate(); zero: Desactivate().
  void ActivateFilter(int active);
  int bIsFilterActive() const { return m_nState != 0 ? 1 : 0; }
  // The same object, or equal as searches (bEqualsSearch).
  int bEqualsFilter(const CNAFilter* other) const;
  // One of them null: true when the other is null or inactive; otherwise
  // bEqualsFilter.
  static int g_bEqualsFilter(const CNAFilter* first, const CNAFilter* second);
  // Nothing to reset: true.
  int _bResetFilter() { return 1; }
  // The filter's condition without a reference (null without one).
  CNAExpression* pclGetFilterTreeNoRef() const { return m_pclEqual; }
};
KX_CINTERF_REF_TRAITS(CNAFilter)
