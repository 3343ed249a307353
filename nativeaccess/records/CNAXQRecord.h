// CNAXQRecord: one record in the platform's native record layout, the form
// in which the platform's database engine and the library exchange records.
// The runtime reads and writes records through a pointer to its buffer; the
// statements fill it column by column, the columns read and write single
// items, the record layouts own a current and an original record, the saved
// record values keep copies and the record caches keep its raw image.
//
// Buffer (one block of total size T bytes, owned by the record):
//   - the NULL-flag field, F bytes: F = 0 for a flag-bit count n of 0, else
//     ((n - 1) >> 3) + 1. n is the number of items physically present in
//     the record. Bit i belongs to the item of physical index i, in byte
//     i >> 3 under the mask 0x80 >> (i & 7); set means the item holds a
//     value, clear means NULL. A physical index of all ones uses bit 0. A
//     bit at or past n does not exist: setting it does nothing and reading
//     it answers "defined" (such an item cannot be NULL).
//   - the value area, the data source's disk record size: element k of an
//     item starts at nGetOffset(0) + k x nGetItemSize() and is
//     nGetItemSize() (S) bytes long; the whole item is nGetTotalSize() bytes.
//     An array item has one flag bit for all its elements.
//
// Storage by item type, within an element of S bytes:
//   - TEXTE, DATE6, HEURE, DATE8: 8-bit text read up to its first NUL, never
//     past S bytes nor past a non-zero source length; the rest of the
//     element zero, its last byte 0 whatever was copied (S - 1 characters
//     kept).
//   - UNICODE: UTF-16 from wide text of 4-byte characters (length in bytes);
//     at most S / 2 units, a character above U+FFFF as a surrogate pair that
//     is never cut in half (it is left out when one unit of room remains);
//     an invalid character becomes '?'. The rest zero; a text filling all
//     S / 2 units has no terminator.
//   - BINAIRE: a 16-bit length L = min(source length, S - 2, 65535), L bytes,
//     zeros.
//   - MEMOTEXTE, MEMOBINAIRE, MEMOUNICODE: an 8-byte marker, all ones for a
//     NULL memo, zero for a defined one; the memo's content lives elsewhere.
//   - DECIMAL: the native form of the platform's decimal at the item's
//     precision (integer + decimal part) and scale (decimal part); written
//     and read only when S holds mg_PToN(precision) bytes.
//   - every other type: min(source length, S) bytes of the host's binary
//     form, the rest zero.
// A null source or a source length of 0 (below 4 for UNICODE) writes S zero
// bytes, except in the text row where a length of 0 means "up to the NUL".
//
// Every access checks that the element lies inside the value area: an item
// that spans past it is neither read nor written (false, null).
//
// Serialised form (little-endian, packed): u32 T, u32 flag-bit count, u32 F,
// then the T bytes of the buffer: T + 12 bytes, the value area at F + 12.
// The record caches keep the shorter raw image instead: the T bytes alone
// (CTSimpleTableHooks<CNAXQRecord> below), read back only into a record of
// the same T.
//
// References: an internal count for the library's holders (AddRef,
// nRelease) and an external one for the runtime's (ExternalAddRef,
// nExternalRelease), both 0 at construction. The record deletes itself when
// a release brings one count to 0 while the other is 0. Not thread-safe:
// used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CRefTraits.h"
#include "CTSimpleTable.h"
#include "ItemTypes.h"

class CAny;
class INADataSourceDescription;
class INAItemDescription;

// How bInit fills a new record.
enum eINITTYPE : int {
  // Every byte 0: every item NULL.
  NA_INITTYPE_EMPTY = 0,
  // Every item (composite keys aside) gets its description's default value.
  NA_INITTYPE_DEFAULTVALUES = 1,
};

class CNAXQRecord {
 public:
  // Sizes 0, no buffer, counts 0.
  CNAXQRecord();
  CNAXQRecord(const CNAXQRecord&) = delete;
  CNAXQRecord& operator=(const CNAXQRecord&) = delete;

  // ---- Overridable operations, in the order of the runtime's table -------
  // Each forwards to the operation of the same name without the v.
  virtual ~CNAXQRecord();
  virtual CNAXQRecord* vpclGetClone() const;
  virtual void vSetValues(const unsigned char* pbyValues, unsigned long nLength);
  virtual unsigned char* vpbyGetItemValue(const INAItemDescription* piItem, int nIndex);
  virtual const unsigned char* vpbyGetItemValue(const INAItemDescription* piItem, int nIndex) const;
  virtual bool vSetItemValue(const INAItemDescription* piItem, const void* pData, unsigned long nLength,
                             unsigned int nIndex);
  virtual bool vSetItemValue(const INAItemDescription* piItem, const CAny* pclValue, unsigned int nIndex);
  virtual bool vGetItemValue(CAny* pclValue, const INAItemDescription* piItem, int nIndex) const;
  virtual bool vGetItemValue(void* pDestination, const INAItemDescription* piItem, int nIndex) const;
  virtual void vSetItemValueDefined(const INAItemDescription* piItem, int bDefined, unsigned int nIndex);
  virtual int vbItemValueDefined(const INAItemDescription* piItem, unsigned int nIndex) const;

  // ---- Counts ----------------------------------------------------------
  void AddRef() { ++m_nInternalCount; }
  // One internal reference less (nothing at 0); answers the new count. The
  // record may be gone afterwards.
  std::uint32_t nRelease();
  void ExternalAddRef() { ++m_nExternalCount; }
  std::uint32_t nExternalRelease();
  std::uint32_t nGetInternalCount() const { return m_nInternalCount; }
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }

  // ---- Sizing ------------------------------------------------------------
  // Sizes the record for the data source: values size nGetDiskRecordSize(),
  // flag-bit count nGetNumItemPhysicallyInFic(), a zeroed buffer. With
  // NA_INITTYPE_DEFAULTVALUES every item that is no composite key takes its
  // default value per element (pclGetDefaultValue): stored when there is
  // one that is neither NULL nor of type 0 and the item is no memo, else
  // the element is set NULL; a default that does not convert leaves the
  // element NULL. Each item taken with piNAGetItem is given back. False,
  // and the record as it was, for a null description, sizes beyond 32 bits
  // or a refused allocation.
  bool bInit(INADataSourceDescription* piSource, eINITTYPE eInit);

  // The value area, the flag field (the buffer's start), their sizes.
  unsigned char* pbyGetValues() { return m_pbyValues; }
  const unsigned char* pbyGetValues() const { return m_pbyValues; }
  unsigned char* pbyGetNullValuesFlags() { return m_pbyFlags; }
  const unsigned char* pbyGetNullValuesFlags() const { return m_pbyFlags; }
  std::uint32_t nGetFlagFieldSize() const { return m_nTailleFlags; }
  std::uint32_t nGetFlagBitCount() const { return m_nNbBitsFlags; }
  std::uint32_t nGetTotalSize() const { return m_nTailleBuffer; }
  std::uint32_t nGetValuesSize() const { return m_nTailleBuffer - m_nTailleFlags; }

  // ---- Items ---------------------------------------------------------------
  // Address of element nIndex, or of the whole item for a negative index;
  // null when it does not lie inside the value area (or piItem is null).
  unsigned char* pbyGetItemValue(const INAItemDescription* piItem, int nIndex);
  const unsigned char* pbyGetItemValue(const INAItemDescription* piItem, int nIndex) const;

  // Copies element nIndex (the whole item for a negative index) raw into
  // pDestination, which holds that many bytes. False, nothing copied, when
  // it lies outside the value area.
  bool GetItemValue(void* pDestination, const INAItemDescription* piItem, int nIndex) const;
  // Reads element nIndex into *pclValue, typed as the item's platform type
  // T: BINAIRE its L bytes (L clamped to S - 2) as type 28; DECIMAL type 13
  // at the item's precision and scale; UNICODE and MEMOUNICODE the UTF-16
  // units up to the first zero unit (at most S / 2) as type 16; 8-bit text
  // types the bytes up to the first NUL (at most S); wide text types the
  // 4-byte characters up to the first NUL (at most S / 4); other types the S
  // raw bytes. NULL and 0x400 flags cleared. The NULL flag of the record is
  // not looked at. False (the value untouched) outside the value area, for
  // a decimal that S cannot hold or that cannot be made or read.
  bool GetItemValue(CAny* pclValue, const INAItemDescription* piItem, int nIndex) const;
  // The reading above over any bytes: nSize bytes at p holding one element
  // of item type eType, of nPrecision digits with nScale decimals (decimals
  // only). Nothing past nSize is read. Also for the components of a
  // composite key, whose bytes lie in a key rather than in a record.
  static bool s_bDecodeValue(CAny* pclValue, const unsigned char* p, std::uint32_t nSize, eNA_ITEMTYPE eType,
                             int nPrecision, int nScale);

  // Stores nLength bytes of raw data into element nIndex by the storage
  // rules above, then marks the item defined (a memo then holds the zero
  // marker). False, nothing written, outside the value area.
  bool SetItemValue(const INAItemDescription* piItem, const void* pData, unsigned long nLength,
                    unsigned int nIndex);
  // Converts and stores a typed value into element nIndex:
  //   1. NULL or type 0: the element is set NULL (true).
  //   2. HEURE given a date-time: its time as the 8-bit digits HHMMSSCCC;
  //      DATE8 given a date-time: its date as YYYYMMDD; stored as text.
  //   3. a value of the item's platform type is stored directly;
  //   4. DATE8 or HEURE given 8-bit text stores the text directly;
  //   5. otherwise a copy is cast (nCastTo; wide text to type 17 goes
  //      through type 18) and stored directly.
  // Directly: DECIMAL by its native form at the item's precision and scale,
  // every other type by the value's data bytes and size. A cast or decimal
  // that fails stores nothing: false, the element and the flag unchanged.
  bool SetItemValue(const INAItemDescription* piItem, const CAny* pclValue, unsigned int nIndex);

  // Sets (bDefined non-zero) or clears the item's flag bit. Clearing also
  // zero-fills element nIndex of a non-memo item and writes the all-ones
  // marker into a memo; setting writes the zero marker into a memo and
  // leaves other items' bytes alone.
  void SetItemValueDefined(const INAItemDescription* piItem, int bDefined, unsigned int nIndex);
  // The same for nCount items at once, item i with the flag bit pnBits[i]
  // (all ones: bit 0) and element 0; null items are skipped.
  void SetTabItemValueDefined(const INAItemDescription* const* ppiItems, unsigned int nCount,
                              const unsigned int* pnBits, const int* pbDefined);
  // 1 when the item's flag bit is set (or it has none), 0 when NULL; the
  // index is not used (one bit per item).
  int bItemValueDefined(const INAItemDescription* piItem, unsigned int nIndex) const;

  // ---- Whole record ----------------------------------------------------
  // Copies min(nLength, values size) bytes into the value area from its
  // start, then marks every item defined (every flag byte 0xFF).
  void SetValues(const unsigned char* pbyValues, unsigned long nLength);
  // Copies the other record's buffer over this one's. False, nothing
  // copied, unless both have the same total and flag field sizes.
  bool Copy(const CNAXQRecord* pclOther);
  // A new record with the same sizes and a copy of the buffer, counts 0;
  // null when memory runs out.
  CNAXQRecord* pclGetClone() const;
  // The other record exists, has the same total and flag field sizes and
  // byte-for-byte the same buffer.
  bool bEquals(const CNAXQRecord* pclOther) const;

  // ---- Serialised form -------------------------------------------------
  std::uint32_t nGetSerializeSize() const { return m_nTailleBuffer + 12; }
  std::uint32_t nGetSerializeValuesOffset() const { return m_nTailleFlags + 12; }
  // Writes the serialised form; false, nothing written, when nSize is below
  // nGetSerializeSize() or pbyDestination is null.
  bool Serialize(unsigned char* pbyDestination, unsigned long nSize) const;
  // Reads a serialised form of nSize bytes. Refused (false, the record as
  // it was) for fewer than 12 bytes or than 12 + T, a flag field size that
  // the flag-bit count does not give, a T below it, or a refused
  // allocation. An unchanged T keeps the record's buffer (holders bound into
  // it stay valid); another T gets a new buffer.
  bool Deserialize(const unsigned char* pbySource, unsigned long nSize);

 private:
  friend struct CTSimpleTableHooks<CNAXQRecord>;

  // Element nIndex of the item (the whole item for a negative index) in
  // the value area: its address and length, or null when it does not lie
  // inside the value area.
  unsigned char* _pbyElement(const INAItemDescription* piItem, long long nIndex, std::uint32_t* pnSize) const;
  // The flag bit of a physical index; false when the record has no such bit.
  bool _bFlagBit(std::uint32_t nPhysical, std::uint32_t* pnBit) const;
  void _SetFlag(std::uint32_t nPhysical, bool bDefined);
  // The element's part of SetItemValueDefined.
  void _SetElementDefined(const INAItemDescription* piItem, bool bDefined, unsigned int nIndex);
  // Default values of one item (bInit).
  void _SetDefaultValues(INAItemDescription* piItem);
  // Stores a value of the item's platform type (DECIMAL at the item's
  // digits); false when nothing could be stored.
  bool _bSetDirect(const INAItemDescription* piItem, const CAny* pclValue, unsigned int nIndex);

  std::uint32_t m_nInternalCount = 0;
  std::uint32_t m_nExternalCount = 0;
  // Total size T: flag field and value area.
  std::uint32_t m_nTailleBuffer = 0;
  // The buffer (XMALLOC_pNew_), null until sized.
  unsigned char* m_pBuffer = nullptr;
  std::uint32_t m_nNbBitsFlags = 0;
  unsigned char* m_pbyValues = nullptr;
  std::uint32_t m_nTailleFlags = 0;
  unsigned char* m_pbyFlags = nullptr;
};

// The record caches keep a record as its raw image: T bytes, read back only
// into a record of the same T.
template <>
struct CTSimpleTableHooks<CNAXQRecord>
    : CTSimpleTableRawHooks<CNAXQRecord, &CNAXQRecord::m_nTailleBuffer, &CNAXQRecord::m_pBuffer> {};

// Reference containers hold records by their internal count.
template <>
struct CRefTraits<CNAXQRecord> {
  static void _AddRef(CNAXQRecord* p) { p->AddRef(); }
  static void _Release(CNAXQRecord* p) { p->nRelease(); }
};

// Converts *pclValue in place to the platform type wType for piItem and
// answers the conversion's result (up to 99: success). An HEURE item asked
// for a date-time from 8-bit text (type 18 or 19) reads the text as a time
// of day HHMMSS[CCC] on the empty date (result 0, flags cleared); every
// other case is the runtime's cast with option 1.
int nCastTo(CAny* pclValue, unsigned short wType, const INAItemDescription* piItem);
