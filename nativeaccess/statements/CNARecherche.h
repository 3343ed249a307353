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
// What is built: searches on one item that is not a composite key (exact or
// generic, by value, or of the record's current row by an item: equality on
// the item when it is unique, else on the record's unique key), conditions
// added one by one, the continuation trees of such searches (a key that is
// not unique or may be NULL continues by (key, unique key) in tuple order),
// and the writing of the current tree. A search on a composite key, or of a
// record that has no unique key with a value, builds no tree and is
// inactive (the statement then reads without a condition). A filter is not
// combined yet: filters are never active.
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
  // `filter` is not combined yet (filters are never active).
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
  // generic (a prefix). True, and a search that can build no equality is
  // inactive; false with user error 38 on a composite key, whose searches
  // are not provided.
  int bSetRecherche(CNARecord* record, INAItemDescription* item, const CAny* value, eNA_PARSEDIRECTION direction,
                    int exact, int unused);
  // Search of the record's current row by `item`: equality on the record's
  // values; `noContinue` non-zero skips the continuation trees. `keys` may
  // be null. True, inactive when nothing can be built; false with user
  // error 38 on a composite key.
  int bRechercheEnreg(CNARecord* record, INAItemDescription* item, eNA_PARSEDIRECTION direction, int noContinue,
                      const CRefArray<CNAColumn>* keys);
  // Joins a leaf (item `op` value; generic when `generic`; a filter
  // condition when `filterCondition`) by `join` to each of the three trees.
  // An inactive search starts from empty trees. State 1, the equality tree
  // current. Always true (a leaf that cannot be made is left out).
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
  // minimum pattern is no amount).
  static void s_SetAnyToMin(CAny* value);
  static void s_SetAnyToMax(CAny* value);
  // An exact text value shorter than 100 characters ending in the highest
  // character (0xFF for 8-bit text, U+FFFF for wide text) loses it and
  // becomes a prefix: true. Nothing on an empty value.
  static int _bGenericSearchDueTohValMax(CNAColumn* column, CAny* value);
  // Whether a text value ends in a NUL unit (false on an empty value).
  static int _bTermineParCaract0(const CAny* value);
  // Whether the record's current row names a unique value of `column`.
  static int s_bUniqueWithValue(CNAColumn* column);

 protected:
  // Releases the three trees and the current one.
  void _ReleaseTrees();
  // True (user error 38 added, search inactive) when `item` is a composite
  // key of the record: those searches are not provided.
  int _bRefuseComposedKey(CNARecord* record, INAItemDescription* item);
  // The leaf builder of every search and filter: the condition `item` `op`
  // `value` under `options` (0x1 generic, 0x2 a record search, 0x4 a filter
  // bound, 0x8 values from the record, 0x40 / 0x80 the lower / upper bound
  // of a filter; the leaf flags follow them), over `keys` when given.
  // Counts 0; null when nothing can be built (no column, always true, no
  // bound).
  CNAExpression* _pclAddExpression(CNARecord* record, INAItemDescription* item, eNAOperator op,
                                   const CAny* value, unsigned int options, const CRefArray<CNAColumn>* keys);
  // The leaf of one item (not a composite key) with `op`, the value given
  // (or the column's current value when `fromRecord`), `flags` (0x1
  // generic). Counts 0; null when nothing can be built.
  CNAExpression* _pclAddItemLeaf(CNARecord* record, INAItemDescription* item, eNAOperator op,
                                 const CAny* value, unsigned int flags, int fromRecord);
  // ---- Composite key values --------------------------------------------------------
  // Splits the composite key buffer `key` (its bytes: the components one
  // after the other in key order, each at its key width) into one value per
  // component of `components`, appended to `values` in key order. With
  // `partial` (a generic search or a filter bound) a component the buffer
  // only partly holds becomes a prefix, or, as a lone minimum or maximum
  // marker, the smallest or largest value of its type with *minMarker or
  // *maxMarker set (either may be null); otherwise the list ends before it.
  // Nothing is read past the buffer. False when `key` holds no bytes or a
  // value cannot be made (what was made stays in `values`).
  static int _GetComponentValue(const CRefArray<CNAColumn>* components, const CAny* key, int partial,
                                std::vector<CAny>* values, int* minMarker, int* maxMarker);
  // The components' current values from the record, in key order.
  static int _GetComponentValueFromRecord(const CRefArray<CNAColumn>* components, std::vector<CAny>* values);
  // The equality of a record search: on the item when it is unique and
  // has a value, else on the record's unique not-NULL key.
  CNAExpression* _pclAddRecordEquality(CNARecord* record, INAItemDescription* item, const CRefArray<CNAColumn>* keys);
  // A variant holding `value` for `column`; counts 1 for the caller.
  CNAConvertVariant* _pclNewVariant(CNAColumn* column, const CAny* value);
  // tree = tree join leaf (the leaf alone when the tree is empty).
  void _AddExpression(CNAExpression** tree, CNAExpression* leaf, eNAOperator join);
  // (columns) after (op 5) or before (op 6) the record's values, tuple
  // order, each column turned when it sorts descending; counts 1.
  CNAExpression* _pclRecordPath(CNARecord* record, CNAColumn* const* columns, int count, eNAOperator op);
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
