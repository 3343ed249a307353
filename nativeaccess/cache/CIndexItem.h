// CIndexItem: the common face of a client-side index over a full record
// cache (CNARecordCache): the records of the cache ordered by one column's
// value, so that a statement browsing the table cache moves, searches and
// counts without the server. Two kinds implement it: CIndexFixedSizeItem
// (byte-comparable keys in a B+ tree) and CIndexMemo (a sorted array of
// record numbers for memo columns).
//
// A record number is an entry index of the full cache; the cache only
// appends, rewrites in place and marks deleted, so record numbers never
// move while the index lives.
//
// Ownership: the item keeps plain pointers to the error object, the record
// cache, the column and the statement; its owner (CNATableCacheIndex) holds
// the references and outlives it.
//
// Positions: a record number out is -1 when there is no record there; an
// empty index answers every position request with -1 and true.
//
// Virtual operations, in slot order after the two destructors: bInit,
// bInsertRecord, bDeleteRecord, bGetRecordPosition, nGetCurrentRecordId,
// nGetRecordNbr, nGetPreviousRecordNbr, bSetCurrentPos; then bSameValue.
//
// Not thread-safe: used under the library's process-wide lock.
#pragma once

#include "NARecordTypes.h"

class CAny;
class CNAColumn;
class CNAError;
class CNARecordCache;
class CNAStatement;

class CIndexItem {
 public:
  CIndexItem(CNAError* error, CNARecordCache* cache, CNAColumn* column, CNAStatement* statement)
      : m_pclError(error), m_pclCache(cache), m_pclColumn(column), m_pclStatement(statement) {}
  CIndexItem(const CIndexItem&) = delete;
  CIndexItem& operator=(const CIndexItem&) = delete;
  virtual ~CIndexItem() = default;

  // Once per item (a second call answers false). Resolves what every row
  // needs (item, type, key size, digits) and adds every entry of the cache
  // in state 0, in entry order; entries in any other state (deleted ones
  // included) stay out. The first failure ends the build and is the
  // answer.
  virtual bool bInit() = 0;
  // Adds the record. `value` is the column's value when the caller holds it
  // (the fixed-size index keys it; null: read from the cached entry).
  virtual bool bInsertRecord(int recordNumber, CAny* value) = 0;
  // Removes the record; `value` is the column's value it was indexed under.
  // True in every case (a record already absent is not an error).
  virtual bool bDeleteRecord(int recordNumber, CAny* value) = 0;
  // Moves by `direction` (eNA_PARSEDIRECTION) and `step`; *recordNumber
  // receives the record reached or -1 (a move that cannot be made in
  // full), *duplicateIndex (when not null) the number of equal entries of
  // the same key before it. False only when a value cannot be read.
  virtual bool bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex) = 0;
  // The record at the current position, -1 when none.
  virtual int nGetCurrentRecordId() = 0;
  // The number of records indexed.
  virtual int nGetRecordNbr() = 0;
  // The number of records before the current position.
  virtual int nGetPreviousRecordNbr() = 0;
  // Sets the current position from the column's original value: a record
  // number (fixed-size) or an array position (memo) when not -1, else a
  // search (see the kinds). *found is set on every path (0 on failure).
  virtual bool bSetCurrentPos(int recordNumber, int duplicateIndex, int* found) = 0;

  // Whether two values of the column would be indexed alike (the same key;
  // for memos the same bytes), so that an update between them changes
  // nothing in the index.
  virtual bool bSameValue(CAny* first, CAny* second) = 0;

  CNARecordCache* pclGetRecordCache() const { return m_pclCache; }
  CNAColumn* pclGetColumn() const { return m_pclColumn; }

 protected:
  // The statement's search value, null when its user search is not set.
  const CAny* _pclGetSearchValue() const;
  // No memory, on the error object.
  void _SetNoMemory() const;

  CNAError* m_pclError;
  CNARecordCache* m_pclCache;
  CNAColumn* m_pclColumn;
  CNAStatement* m_pclStatement;
};
