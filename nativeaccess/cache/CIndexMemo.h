// CIndexMemo: the client-side index of a memo column: the record numbers
// in a sorted array, compared through the memo values themselves.
//
// Order: records whose memo value is empty (none, NULL or no bytes) stand
// at the front (the front block) in the order they were added; the others
// follow in ascending order of their value bytes, equal values in the order
// they were added. Values compare as byte strings: unsigned, byte by byte
// over the shorter length, then the shorter first; an empty value is below
// any other.
//
// Positions are array indexes: the current position (-1 for none) and a
// removed flag telling that the entry at it was deleted. bSetCurrentPos
// reads a recordNumber other than -1 as an array position.
//
// The build reads every memo value once, copies the bytes into one arena
// and orders the array by one stable sort after reserving it; an insertion
// reads the values it compares from the cache (a binary search).
#pragma once

#include <cstddef>
#include <vector>

#include "CIndexItem.h"
#include "CTTableau.h"

class CNARecordValue;

class CIndexMemo : public CIndexItem {
 public:
  CIndexMemo(CNAError* error, CNARecordCache* cache, CNAColumn* column, CNAStatement* statement);
  ~CIndexMemo() override;

  bool bInit() override;
  // Reads the record's memo value from the cache (`value` is not used;
  // false when the entry cannot be read) and inserts the record number:
  // empty, at the end of the front block; else after the last equal value,
  // at the first greater one or at the end. A current position at or after
  // that place moves up by one.
  bool bInsertRecord(int recordNumber, CAny* value) override;
  // Removes the record number (found by a linear scan; absent: nothing).
  // A current position after it moves down by one; at it, the removed flag
  // is set. True.
  bool bDeleteRecord(int recordNumber, CAny* value) override;
  // First: with the statement's search value, the first record equal to it
  // or else the first greater one, plus step - 1; without, step - 1. Last:
  // with the search value, the last equal record or else the last smaller
  // one, minus step - 1; without, count - step. Next: current + step;
  // previous: current - step; other directions: the current position (none
  // when removed). A position inside the array becomes current (the removed
  // flag clears); outside, the record number stays -1.
  bool bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex) override;
  int nGetCurrentRecordId() override;
  int nGetRecordNbr() override { return m_tabRecords.nGetNbElements(); }
  int nGetPreviousRecordNbr() override { return m_nCurrent; }
  // -1: the array searched for the layout's original memo value (the last
  // equal one, else the first greater one; the count when none); *found
  // tells whether an equal one was met. 0 .. count - 1: that array position
  // (*found 1). Anything else: false.
  bool bSetCurrentPos(int recordNumber, int duplicateIndex, int* found) override;
  // The same bytes.
  bool bSameValue(CAny* first, CAny* second) override;

  // The front block's last index, -1 when it is empty.
  int nGetFrontEnd() const { return m_nFrontEnd; }
  // The record number at an array index (the caller checks the range).
  int nGetAt(int index) const { return m_tabRecords[index]; }
  bool bRemoved() const { return m_bRemoved; }

 private:
  struct SBytes {
    const unsigned char* p = nullptr;
    std::size_t n = 0;
  };
  static SBytes s_Bytes(const CAny* value);
  static int s_nCompare(const SBytes& a, const SBytes& b);
  // The memo value of the cached entry (valid until the next read); false
  // when the entry cannot be read.
  bool _bReadEntry(int recordNumber, SBytes* bytes);
  // The first index whose value is above `searched` (bUpper) or not below
  // it; false when a value cannot be read.
  bool _bBound(const SBytes& searched, bool bUpper, int* index);
  // The searched bytes copied into m_tabSearched (they must outlive reads
  // of the cache).
  SBytes _Keep(const SBytes& bytes);

  bool m_bRemoved = false;
  CTTableau<int> m_tabRecords{1};
  int m_nCurrent = -1;
  int m_nFrontEnd = -1;

  int m_nMemoIndex = -1;
  CNARecordValue* m_pclWork = nullptr;
  std::vector<unsigned char> m_tabSearched;
};
