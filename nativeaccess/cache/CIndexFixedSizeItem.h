// CIndexFixedSizeItem: the client-side index of a column whose values
// convert to fixed-size sortable keys: a counted B+ tree (CMemBTree) of
// (key, record number).
//
// Keys: CConvertKey::nConvertKeyAndGetSize of the column's value as the
// column's host type, key options 10240 (none of the text options: 8-bit
// text orders by its bytes, wide text by its 16-bit units as stored), the
// column's integer and decimal digits, written into the one zero-filled key
// buffer and compared by memcmp. A NULL keys as the empty text cast to the
// column's type (zeros where that cast fails).
// Key size: CXQConvertKey::nCalculateKeySize of the host type and the
// logical size L, except wide texts (item types 20 and 21), whose 4-byte
// characters the key writer takes as pairs of 16-bit units: they are sized
// for 2L, so that all L characters and the final zero unit fit (sized for
// L, only about L/2 characters would, and longer values sharing them would
// key equal).
// Values: the record number, 4 bytes, compared as unsigned 32-bit numbers,
// so that the records of one key follow in cache (fetch) order at any
// count.
//
// Per row nothing is allocated beyond the tree's pooled nodes and what the
// key conversion makes (its temporary copy; a decimal's decimal object):
// the item, type, key size and digits are resolved once in bInit, and one
// work record value, one value and the key buffers are reused.
//
// Next and previous step the tree's iterator; duplicate counts are computed
// only when asked and never for a key with one record.
#pragma once

#include <cstdint>

#include "CAny.h"
#include "CIndexItem.h"

class CMemBTree;
class CNARecordValue;
class INAItemDescription;

class CIndexFixedSizeItem : public CIndexItem {
 public:
  CIndexFixedSizeItem(CNAError* error, CNARecordCache* cache, CNAColumn* column, CNAStatement* statement);
  // Frees the tree and the buffers, gives back the work value.
  ~CIndexFixedSizeItem() override;

  // False (no memory reported) when the tree or a buffer cannot be had,
  // false for a column whose type has no key form or whose entry cannot be
  // read.
  bool bInit() override;
  // Keys `value`, or the cached entry's column value without one (false
  // when it cannot be read), and adds (key, record number). False when the
  // pair is there already or memory is short.
  bool bInsertRecord(int recordNumber, CAny* value) override;
  // Removes (key of `value`, record number). When that pair is absent the
  // record number is removed wherever it stands (a walk of the tree, on
  // that path only), so that no record is ever indexed twice. True.
  bool bDeleteRecord(int recordNumber, CAny* value) override;
  // First: with the statement's search value, the first record of the
  // searched key or of the first greater key, else the first record; then
  // step - 1 records on. Last: with the search value, the last record of
  // the key or of the greatest smaller key, else the last record; then
  // step - 1 back. Next / previous: step records on / back. Any other
  // direction: -1.
  bool bGetRecordPosition(int direction, int step, int* recordNumber, int* duplicateIndex) override;
  int nGetCurrentRecordId() override;
  int nGetRecordNbr() override;
  int nGetPreviousRecordNbr() override;
  // recordNumber given: the iterator on (key, record number) or where it
  // would go; *found tells whether it is there. recordNumber -1: search of
  // the key (absent: found 0, the iterator on the first greater key);
  // among duplicates the first whose entry equals the layout's original
  // record value, then duplicateIndex steps on while entries stay equal
  // (meeting another first: found 0, back to where the steps began).
  bool bSetCurrentPos(int recordNumber, int duplicateIndex, int* found) override;
  bool bSameValue(CAny* first, CAny* second) override;

  std::uint64_t nGetKeySize() const { return m_nKeySize; }
  const CMemBTree* pclGetTree() const { return m_pclTree; }
  // The key `value` makes, into the key buffer (valid until the next call).
  const unsigned char* pbyMakeKey(const CAny* value);

 private:
  // The column's value of the cached entry into m_clValue; false when the
  // entry cannot be read.
  bool _bReadEntryValue(int recordNumber);
  // Duplicates of the same key before the iterator whose entries equal its
  // record's entry; the iterator comes back.
  int _nCountEqualBefore(int recordNumber);
  // Keeps the iterator's record (false when it is on none); the restore
  // goes back to it, or to where it would stand when it is gone.
  bool _bSavePosition();
  void _RestorePosition();
  bool _bOnKey(const unsigned char* key) const;

  CMemBTree* m_pclTree = nullptr;
  std::uint64_t m_nKeySize = 0;
  unsigned char* m_pbyKey = nullptr;
  // Second key buffer: a key kept while the first one is rebuilt, or the
  // saved position's key.
  unsigned char* m_pbySaved = nullptr;
  std::uint32_t m_nSavedValue = 0;

  INAItemDescription* m_piItem = nullptr;
  unsigned short m_wType = 0;
  int m_nIntegerDigits = 0;
  int m_nDecimalDigits = 0;
  CNARecordValue* m_pclWork = nullptr;
  CAny m_clValue;
};
