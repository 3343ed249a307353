// CNAUserSearch: the search the program set on a statement with the
// platform's search function (which item, which value, compared exactly or
// as a prefix). The statement keeps one as its current user search and asks
// it, for each record it reads, whether the record is a found one; a saved
// position keeps a copy so that returning to the position restores it.
//
// States: no search (item null, flags 0, value empty) and search set (item
// not null). SetUserSearch and Copy of a set search lead to the set state;
// CancelUserSearch and Copy of an unset search to the unset one.
//
// Ownership: a plain object held by value (statement, position); it is not
// copyable (Copy makes the references explicit). While a search is set it
// holds one external reference on the item (ExternalAddRef /
// nExternalRelease) and one internal reference on the record column it found
// last for that item, so that reading rows of the same layout finds the
// column without a lookup.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CAny.h"

class CNAColumn;
class CNARecord;
class INAItemDescription;

class CNAUserSearch {
 public:
  // Bit of the flags: the record's value is compared by prefix.
  static constexpr unsigned int knFlagGeneric = 0x1;

  // No search; empty value; flags 0.
  CNAUserSearch() = default;
  CNAUserSearch(const CNAUserSearch&) = delete;
  CNAUserSearch& operator=(const CNAUserSearch&) = delete;
  // Gives back the item's external reference (when set) and the column.
  virtual ~CNAUserSearch();

  // Clears the current search, then keeps `item` (external reference taken;
  // null leaves the search unset), a copy of `value` (its type, then its
  // content; an absent value is an empty one; this search's own value is
  // kept as it is) and `flags`.
  void SetUserSearch(INAItemDescription* item, const CAny* value, unsigned int flags);
  // Gives back the item's reference and forgets it; the value becomes an
  // empty value without type; flags 0.
  void CancelUserSearch();
  // `other` set: SetUserSearch with its item, value and flags; otherwise
  // (unset or null) CancelUserSearch. Copying itself changes nothing.
  void Copy(const CNAUserSearch* other);
  // True when no search is set; otherwise whether the record's column of
  // the item holds the searched value (by prefix with the generic flag).
  // False when the record is null or has no column for the item.
  int bGetHTrouve(CNARecord* record);

  int bIsSet() const { return m_piItem != nullptr ? 1 : 0; }
  INAItemDescription* piGetItemNoRef() const { return m_piItem; }
  unsigned int nGetFlags() const { return m_nFlags; }
  // The searched value while a search is set, else null (the table cache
  // positions its indexes on it).
  const CAny* pclGetValue() const { return m_piItem != nullptr ? &m_clValue : nullptr; }

 private:
  // The column of the item in `record`: the one found last when `record`
  // still holds it at the same place, else looked up (and remembered).
  CNAColumn* _pclGetColumn(CNARecord* record);
  void _ForgetColumn();

  CAny m_clValue;
  std::uint32_t m_nFlags = 0;
  INAItemDescription* m_piItem = nullptr;
  // The column found last and its index in its record (internal reference).
  CNAColumn* m_pclColumn = nullptr;
  int m_nColumnIndex = -1;
};
