// CNARecordIdHash: the id index of a record cache: serialised record
// identifiers (keys: addresses of the identifiers' bytes inside the cache's
// id table) to entry indexes (values). A thin face over a CHashTableBounce
// created for 7 elements: it takes no reference on anything, its values are
// plain indexes (0 and up).
//
// Keys are compared and hashed by the callbacks the first stored identifier
// installs (CNARecordId::SetHashTableFct_SerializedObject through
// pclGetTable); until then the table refuses adds and finds nothing. The
// key bytes must stay where they are while the element is in the index
// (the id table never moves them before it is emptied).
//
// Equal keys may be stored several times (identical rows): a lookup finds
// the newest; removal names the key and the index, so that only the entry's
// own element leaves.
#pragma once

#include "CHashTableBounce.h"

class CNARecordIdHash {
 public:
  CNARecordIdHash() : m_clTable(7) {}
  CNARecordIdHash(const CNARecordIdHash&) = delete;
  CNARecordIdHash& operator=(const CNARecordIdHash&) = delete;

  // The table, for installing the callbacks.
  CHashTableBounce* pclGetTable() { return &m_clTable; }
  bool bReady() { return m_clTable.pfGetCmp() != nullptr && m_clTable.pfGetHashVal() != nullptr; }

  // Adds (key, index); false when the table refuses (no callbacks, full).
  bool bAdd(const void* key, int index);
  // The index of the newest element whose key equals `key`; -1 when none.
  int nFind(const void* key);
  // Removes the element of `key` that holds `index`; false when none.
  bool bRemove(const void* key, int index);
  // Removes the element that holds `index`, whatever its key, by walking
  // the whole table (for entries whose key bytes are no longer known).
  // False when none holds it.
  bool bRemoveIndex(int index);
  // Every index at or above `from` moves by `delta` (a walk of the table).
  void Shift(int from, int delta);
  // Empties the table (back to its first size); the callbacks stay.
  void DeleteAll() { m_clTable.DeleteAll(7); }
  unsigned int nGetCount() { return m_clTable.dwGetNumElement(); }

 private:
  static void* _Mot(int index);
  static int _nIndex(const void* mot);

  CHashTableBounce m_clTable;
};
