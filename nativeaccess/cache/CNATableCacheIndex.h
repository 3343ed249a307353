// CNATableCacheIndex: the client-side index one statement browses the
// table cache by: the full record cache ordered by one column (the
// statement's current key). It makes the index item fitting the column (a
// memo index for a memo column, a fixed-size index otherwise), passes the
// statement's moves to it and keeps it in step with the writes done
// through the table (OnNotifyOperation).
//
// Ownership: reference-counted (CKXUnknown; its maker holds the first
// reference). It holds a reference on the error object, the record cache
// and the column, owns its item, and keeps the statement without a
// reference (the statement owns the index).
//
// Not thread-safe: used under the library's process-wide lock.
#pragma once

#include "CKXUnknown.h"
#include "NARecordTypes.h"

class CIndexItem;
class CNAColumn;
class CNAError;
class CNARecordCache;
class CNAStatement;

class CNATableCacheIndex : public CKXUnknown {
 public:
  // References the error object, the cache and the column (each may be
  // null); no item until bInit.
  CNATableCacheIndex(CNAError* error, CNARecordCache* cache, CNAColumn* column, CNAStatement* statement);
  // Deletes the item, then gives back the column, the cache and the error.
  ~CNATableCacheIndex() override;

  // Makes the item (CIndexMemo for a memo column, else
  // CIndexFixedSizeItem) and builds it over the cache. False when the item
  // cannot be made (no memory reported) or its build fails.
  bool bInit();

  // Passed to the item: see CIndexItem. Without item: false, -1, 0, 0 and
  // false (*found 0).
  bool bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex);
  int nGetCurrentRecordId();
  int nGetRecordNbr();
  int nGetPreviousRecordNbr();
  bool bSetCurrentPos(int recordNumber, int duplicateIndex, int* found);

  // Keeps the index in step with a write done through the table; kind
  // update (2), insert (3) or delete (4); `flags` is not used.
  // - A record number below 0 or past the cache's count changes nothing
  //   (a delete outside a complete cache comes with -1).
  // - The old value (update, delete) is the column's value in the
  //   layout's original record value (the record as read before the
  //   write): the memo value for a memo column, else the item value; the
  //   new value (update, insert) the column's current value. A value that
  //   cannot be read changes nothing.
  // - An update whose old and new values index alike (same key; a memo's
  //   same bytes) changes nothing.
  // - Update and delete remove (record number, old value); update and
  //   insert then add (record number, new value).
  void OnNotifyOperation(eNAQUERYTYPE kind, int recordNumber, unsigned int flags);

  CIndexItem* pclGetItem() const { return m_pclItem; }
  CNARecordCache* pclGetRecordCache() const { return m_pclCache; }
  CNAColumn* pclGetColumn() const { return m_pclColumn; }
  CNAStatement* pclGetStatement() const { return m_pclStatement; }

 private:
  CNAError* m_pclError = nullptr;
  CNARecordCache* m_pclCache = nullptr;
  CIndexItem* m_pclItem = nullptr;
  CNAColumn* m_pclColumn = nullptr;
  CNAStatement* m_pclStatement = nullptr;
};
