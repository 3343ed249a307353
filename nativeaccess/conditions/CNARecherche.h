// CNARecherche: the search of one statement, and the writer of its WHERE
// condition.
//
// A search keeps three condition trees (CNAExpression): the equality
// itself, the continuation after it and the continuation before it, so that
// a browse that starts on the searched value can go on in either direction
// without building anything per row. The current tree is one of the three.
// While a tree writes its text the search stands in as the tree's parameter
// list (CNAExpressionParameters): after every bGetSQL the search holds
// exactly the parameters the command holds, in text order.
//
// What is built: searches by value on one item (exact or generic) or on a
// composite key (its buffer split into component values), searches of the
// record's current row (on the item when it is unique and has a value,
// else on the record's unique key, else on the record's key columns),
// conditions added one by one, the continuation trees (a key that is not
// unique or may be NULL continues in tuple order over the key and the
// columns that order the record after it, a descending component turned),
// filter bounds (a bound at the platform's minimum or maximum is no bound
// or a prefix), and the writing of the current tree joined with the
// statement's active filter.
//
// States: 0 inactive, 1 searching (the equality tree is current), 2
// continuing (the after or before tree is current).
//
// Ownership: a CInterf made with counts 0 (the maker takes the first
// reference). One reference on the error object, the connection, each tree
// and each parameter; the fetch item is not referenced (the layout outlives
// the search).
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>
#include <vector>

#include "CAny.h"
#include "CColumnNullValueExcluded.h"
#include "CInterf.h"
#include "CNAExpression.h"
#include "CNAExpressionParameters.h"
#include "CRefArray.h"
#include "CTString.h"
#include "ItemTypes.h"
#include "NARecordTypes.h"

class CNACommand;
class CNAColumn;
class CNAConnectionDescription;
class CNAError;
class CNAFilter;
class CNARecord;
class INAItemDescription;

class CNARecherche : public CInterf, public CNAExpressionParameters {
 public:
  // Options of the last search.
  static constexpr std::int32_t knOptGeneric = 0x1;       // the value is a prefix
  static constexpr std::int32_t knOptRecord = 0x2;        // a given record, by its unique key
  static constexpr std::int32_t knOptValueCount = 0x4;    // the values give the component count
  static constexpr std::int32_t knOptRecordSet = 0x8;     // set by bRechercheEnreg
  static constexpr std::int32_t knOptNoContinue = 0x10;   // no continuation trees
  // Options of the leaf builder (_pclAddExpression) beside the above, where
  // 0x4 means "a filter bound": 0x40 / 0x80 the lower / upper bound of a
  // filter, 0x200 the operator is in the column's value order already (a
  // descending sort does not turn it).
  static constexpr unsigned int knOptLowerBound = 0x40;
  static constexpr unsigned int knOptUpperBound = 0x80;
  static constexpr unsigned int knOptNoTurn = 0x200;

  // References on both (either may be null).
  CNARecherche(CNAError* error, CNAConnectionDescription* cnx);
  CNARecherche() : CNARecherche(nullptr, nullptr) {}
  // Releases the trees, the parameters, the connection and the error object.
  ~CNARecherche() override;

  // ---- Virtual operations, in slot order after CInterf's --------------------
  // Writes the WHERE condition (without " WHERE ") of the current tree into
  // `command`, after resetting it and releasing this search's parameters.
  // Nothing to write (inactive, no tree): true, command left empty. A tree
  // that folds to always false writes "0=1"; one that folds to always true
  // writes nothing. The tree's NULL selection is handed to the command when
  // it did not fold away. False when the text or the hand-over failed.
  // An active `filter` with a tree is ANDed before this search's tree
  // (alone when this search has none); its parameters are registered here.
  virtual int bGetSQL(CNACommand* command, CNAFilter* filter, CNARecord* record);
  // A copy sharing the error object, connection, trees and parameters
  // (references), with state, direction, found flag, options, marker and
  // searched value copied; the fetch item is not copied. Counts 0; null when
  // memory runs out.
  virtual CNARecherche* pclClone() const;
  // A new node over this search's error object (counts 0).
  virtual CNAExpression* pclAllocExpression();
  // A new empty search of the same class (counts 0).
  virtual CNARecherche* _pclAllocRecherche() const;

  // ---- Setting a search ---------------------------------------------------------
  // Search of `value` on `item`: exact when `exact` is non-zero, else
  // generic (a prefix). On a composite key `value` is the key buffer. True;
  // a search that can build no equality is inactive.
  int bSetRecherche(CNARecord* record, INAItemDescription* item, const CAny* value, eNA_PARSEDIRECTION direction,
                    int exact, int unused);
  // Search of the record's current row by `item`: equality on the record's
  // values; `noContinue` non-zero skips the continuation trees. `keys` may
  // be null. True, inactive when nothing can be built.
  int bRechercheEnreg(CNARecord* record, INAItemDescription* item, eNA_PARSEDIRECTION direction, int noContinue,
                      const CRefArray<CNAColumn>* keys);
  // Joins a leaf (item `op` value; generic when `generic`; a filter
  // condition when `filterCondition`) by `join` to each of the three trees.
  // A comparison that holds for every row joins as an always-true node (so
  // an OR with it selects every row). An inactive search starts from empty
  // trees. State 1, the equality tree current. Always true (a leaf that
  // cannot be made is left out).
  int bAddExpression(CNARecord* record, INAItemDescription* item, eNAOperator op, const CAny* value, int generic,
                     eNAOperator join, int filterCondition);

  // ---- Browsing -------------------------------------------------------------------
  // From state 1: state 2, the after tree current for direction 0, the
  // before tree otherwise. From any other state: state 1, the equality tree.
  // The direction is recorded. True.
  int bSetContinueParcours(eNA_PARSEDIRECTION direction);
  int bReviensParcoursPrecedent(eNA_PARSEDIRECTION direction);
  // State 1: true; state 2: true when `direction` differs from the one
  // recorded; otherwise false.
  int bPeutContinuerParcours(eNA_PARSEDIRECTION direction) const;

  void Activate() { m_nState = 1; }
  // State 0; the current tree is released.
  void Desactivate();
  void Cancel() { m_bFound = 1; }
  int bHTrouve() const { return m_nState == 1 ? 1 : m_bFound; }
  int bIsActive() const { return m_nState != 0 ? 1 : 0; }
  std::int32_t nGetState() const { return m_nState; }
  std::int32_t nGetOptions() const { return m_nOptions; }
  eNA_PARSEDIRECTION eGetDirection() const { return m_eDirection; }
  const CAny& clGetSearchedValue() const { return m_clValue; }

  // ---- Trees and comparisons ---------------------------------------------------------
  // The equality tree with a reference for the caller (null without one).
  CNAExpression* pclGetExpression() const;
  CNAExpression* pclGetCurrentNoRef() const { return m_pclCurrent; }
  CNAExpression* pclGetAfterNoRef() const { return m_pclAfter; }
  CNAExpression* pclGetBeforeNoRef() const { return m_pclBefore; }
  // Option 2 clear and the fetch item is a composite key.
  int bIsComposedKeySearch() const;
  // Same state, direction, options, fetch item name, searched value and
  // parameters (the trees are not compared).
  int bEqualsSearch(const CNARecherche* other) const;
  // A missing search equals a missing or inactive one.
  static int g_bEqualsSearch(const CNARecherche* first, const CNARecherche* second);

  // ---- Statics ----------------------------------------------------------------------
  // The smallest / largest value of `value`'s own type; other types are left
  // alone. A currency's smallest is the largest amount negated (the raw
  // minimum pattern is no amount); a decimal's are those of its own
  // precision and scale; a date-time's the empty one and 31 December 3000.
  static void s_SetAnyToMin(CAny* value);
  static void s_SetAnyToMax(CAny* value);
  // An exact text value shorter than 100 characters ending in the highest
  // character (0xFF for 8-bit text, U+FFFF for wide text) loses it and
  // becomes a prefix: true. Nothing on an empty value.
  static int _bGenericSearchDueTohValMax(CNAColumn* column, CAny* value);
  // Whether a text value ends in a NUL unit (false on an empty value).
  static int _bTermineParCaract0(const CAny* value);

 protected:
  // Releases the three trees and the current one.
  void _ReleaseTrees();
  // The common part of bSetRecherche and bRechercheEnreg: releases the
  // trees, records value, direction, options and fetch item, builds the
  // equality and (unless knOptNoContinue) the after and before trees.
  // True; inactive (state 0) when no equality can be built.
  int _bSetRecherche(CNARecord* record, INAItemDescription* item, const CAny* value, eNA_PARSEDIRECTION direction,
                     std::int32_t options, const CRefArray<CNAColumn>* keys);
  // The first of `keys` that is unique with a value, else the record's
  // unique key with a value (CNARecord::pclGetUniqueKeyNotNullNoRef).
  static CNAColumn* _pclGetUniqueKeyNotNullNoRef(CNARecord* record, const CRefArray<CNAColumn>* keys);
  // Writes the current tree, joined with `filter`'s when it is active and
  // has one (see bGetSQL).
  int _bWriteSQL(CNACommand* command, CNARecherche* filter, CNARecord* record);

  // ---- Building trees ------------------------------------------------------------
  // Every builder hands its node over with counts 0 (the caller takes the
  // first reference) and gives null when nothing can be built; a failure
  // halfway frees what was made.
  //
  // The leaf builder of every search and filter: the condition `item` `op`
  // `value` under `options` (0x1 generic, 0x2 a record search, 0x4 a filter
  // bound, 0x8 values from the record, 0x40 / 0x80 the lower / upper bound
  // of a filter, 0x200 no turn for a descending sort; the leaf flags follow
  // 0x1, 0x4, 0x40 and 0x80), over `keys` when given. One item gives one
  // leaf (or the two of a prefix bound); a composite key or a record search
  // gives the tree over several columns. Null when nothing can be built (no
  // column, always true, no bound, an operator other than 4 to 8 on several
  // columns).
  CNAExpression* _pclAddExpression(CNARecord* record, INAItemDescription* item, eNAOperator op,
                                   const CAny* value, unsigned int options, const CRefArray<CNAColumn>* keys);
  // The one-column case of _pclAddExpression on `column`.
  CNAExpression* _pclAddOneColumn(CNARecord* record, CNAColumn* column, eNAOperator op, const CAny* value,
                                  unsigned int options, unsigned int flags);
  // A bound on column `index` of `columns`. A prefix (flag 0x1) on a text or
  // date column, its operator taken in the column's value order (turned
  // here for a descending column): 5 becomes AND(column > value, column not
  // beginning with it), 8 OR(column < value, column beginning with it), 6
  // and 7 the plain comparison; a date prefix is compared by the first
  // instant of the period it names. Anything else: the single comparison.
  CNAExpression* _pclAddBorne(CNARecord* record, const CRefArray<CNAColumn>* columns,
                              const std::vector<CAny>* values, const CNAColumn* keyColumn, int index,
                              eNAOperator op, unsigned int flags, eNAOperator join);
  // The comparisons of columns `first` to `last` with their values (an
  // empty value past the end of `values`), joined to the right by `join`;
  // only the leaf of `last` keeps the generic flag. The operator is turned
  // for a descending column: component index + 1 of `keyColumn` when it
  // has that many, else the record's sort of the column.
  CNAExpression* _pclAddKeyExpression(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                      const std::vector<CAny>* values, const CNAColumn* keyColumn, int first,
                                      int last, eNAOperator op, unsigned int flags, eNAOperator join);
  // Key equality: as many components as values (generic search or option
  // 0x4) or as columns; without option 0x2 a component that alone
  // identifies the row (unique and not NULL, or unique with a value that is
  // no NULL) is the whole condition, unless it is the last of a generic
  // search; otherwise the AND of all, the last one generic when generic.
  CNAExpression* _pclAddKeyExpressionEq(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                        const std::vector<CAny>* values, const CNAColumn* keyColumn,
                                        unsigned int options, unsigned int flags);
  // Intervals in tuple order (operators 5 to 8) over a record's columns
  // (as many as values when generic, else all) or a composite key's
  // components (as many as values; with option 0x4 a last maximum marker
  // under 8 or minimum marker under 7 is dropped as an open end).
  CNAExpression* _pclAddKeyExpressionInfSupRecord(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                  const std::vector<CAny>* values, const CNAColumn* keyColumn,
                                                  eNAOperator op, unsigned int options, unsigned int flags);
  CNAExpression* _pclAddKeyExpressionInfSupCompositeKey(CNARecord* record, CNAColumn* key,
                                                        const std::vector<CAny>* values, eNAOperator op,
                                                        unsigned int options, unsigned int flags, int minMarker,
                                                        int maxMarker);
  // The first `count` columns compared in tuple order with `op`; null for
  // no column.
  CNAExpression* _pclAddKeyExpressionInfSup(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                            const std::vector<CAny>* values, const CNAColumn* keyColumn, int count,
                                            eNAOperator op, unsigned int flags);
  // Column `index` on: the strict comparison OR (equality AND the rest);
  // the last column alone with `op` (a prefix as _pclAddBorne). `nullSet`
  // (may be null) gathers the NULL selection of the columns so far: once
  // they complete a unique key that excludes NULL, operators 5 and 6 stop
  // at the strict comparison. `values` may be changed (a last value ending
  // in the highest character becomes a prefix under 8).
  CNAExpression* _pclAddKeyExpressionInfSupIndice(CNARecord* record, const CRefArray<CNAColumn>* columns,
                                                  std::vector<CAny>* values, const CNAColumn* keyColumn, int index,
                                                  int count, eNAOperator op, unsigned int flags,
                                                  CColumnNullValueExcluded* nullSet);
  // The columns of a record search on `column`: its components first when
  // it is a composite key (*compositeKey is then that key, else null), then
  // `keys` or the record's sort columns, without repeats (names compared
  // without regard to case), cut after the first unique column whose value
  // is not NULL or equivalent.
  static void _AddAllItem(CNARecord* record, CNAColumn* column, const CRefArray<CNAColumn>* keys,
                          CRefArray<CNAColumn>* out, CNAColumn** compositeKey);
  // Classifies a filter bound: *minimum / *maximum tell the platform's
  // lowest / highest marker (eCheckValue); a highest marker on a text value
  // loses its highest character and stays a bound (*valid) when a
  // character remains; a value that is neither marker is valid; a marker
  // is no bound. Any pointer but `value` may be null.
  static void _GetValue(const CNAColumn* column, CAny* value, int* valid, int* minimum, int* maximum);
  // ---- Composite key values --------------------------------------------------------
  // Splits the composite key buffer `key` (its bytes: the components one
  // after the other in key order, each at its key width) into one value per
  // component of `components`, appended to `values` in key order. With
  // `partial` (a generic search or a filter bound) a component the buffer
  // only partly holds becomes a prefix, or, as a lone minimum or maximum
  // marker, the smallest or largest value of its type with *minMarker or
  // *maxMarker set (either may be null); otherwise the list ends before it
  // unless its value is held whole (a text whose end is held, a binary
  // string whose stored length fits).
  // Nothing is read past the buffer. False when `key` holds no bytes or a
  // value cannot be made (what was made stays in `values`).
  static int _GetComponentValue(const CRefArray<CNAColumn>* components, const CAny* key, int partial,
                                std::vector<CAny>* values, int* minMarker, int* maxMarker);
  // The components' current values from the record, in key order.
  static int _GetComponentValueFromRecord(const CRefArray<CNAColumn>* components, std::vector<CAny>* values);
  // A variant for `column` holding `value` (NULL for an undefined or NULL
  // value), made by the driver for the column; with `keepText` it gets no
  // column and keeps the value's type. Counts 1 for the caller; null when
  // it cannot be made.
  CNAConvertVariant* _pclNewVariant(CNAColumn* column, const CAny* value, int keepText);
  // A leaf (op, column, value, flags) over this search's error object;
  // counts 0.
  CNAExpression* _pclNewLeaf(eNAOperator op, CNAColumn* column, CNAConvertVariant* value, unsigned int flags);
  // tree = tree join leaf (the leaf alone when the tree is empty).
  void _AddExpression(CNAExpression** tree, CNAExpression* leaf, eNAOperator join);
  // A clone of the equality rewritten for continuing with `op`; counts 1.
  CNAExpression* _pclContinuation(CNARecord* record, eNAOperator op);

  std::int32_t m_nState = 0;
  eNA_PARSEDIRECTION m_eDirection = static_cast<eNA_PARSEDIRECTION>(4);
  std::int32_t m_bFound = 0;
  std::int32_t m_nOptions = 0;
  CNAExpression* m_pclEqual = nullptr;
  CNAExpression* m_pclAfter = nullptr;
  CNAExpression* m_pclBefore = nullptr;
  CNAExpression* m_pclCurrent = nullptr;
  CTString m_sParameterMarker;
  CAny m_clValue;
  INAItemDescription* m_piFetchItem = nullptr;
};
KX_CINTERF_REF_TRAITS(CNARecherche)
