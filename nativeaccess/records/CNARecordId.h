// Record identifiers: what finds a fetched row again (the record caches,
// saved positions, a statement that re-reads or locks a row).
//
// CNARecordId is the abstract identifier; two kinds exist:
//   - CNARecordId_RowId (kind 3): the value of a server row-identifier
//     column, held in a value holder (CNAConvertVariant);
//   - CNARecordId_RecordValues (kind 1): the whole content of a row's record
//     buffer, by address and size (no reference held: it is valid while the
//     owning record value keeps its record and memo set).
//
// Identifiers are compared, hashed, cloned, turned into text and serialised
// into the fixed-size entries of a record cache's id table. Serialised forms
// are little-endian, packed, and sit at any address inside the cache's
// buffers: every field is read and written with memcpy.
//
//   row identifier   u32 hash | u32 L (holder's size) | L data bytes,
//                    then zeros up to the entry's size
//                    (nGetSerializedSize() = 8 + max(capacity, size))
//   record values    u32 hash | u64 size S | u64 buffer address |
//                    u64 memo set address (0 for none); 28 bytes, meaningful
//                    only inside the process that wrote it
//
// The hash is stored once, as the first word, and the caches' hash tables
// read it back (g_dwPtrHashVal) instead of hashing again. Equality of live
// identifiers (bEqualRecordId) is the identity test; the static compares
// order serialised forms bytewise, shorter first, and are what the caches'
// hash tables resolve collisions with.
//
// Counting: CKXUnknown (a new identifier has count 0; the last dwRelease
// deletes it). Virtual operations, in slot order: destructor, deleting
// destructor, dwRelease, then those declared below in their order.
#pragma once

#include <cstdint>

#include "CKXUnknown.h"
#include "CXYString.h"
#include "NARecordTypes.h"

class CHashTableBounce;
class CNAConvertVariant;
class CNARecordMemo;
class CNARecordValue;

class CNARecordId : public CKXUnknown {
 public:
  ~CNARecordId() override;

  virtual eNA_RECORDIDTYPE eGetRecordIdType() const = 0;
  // A new identifier of the same kind for recordValue (count 0); null when
  // memory runs out.
  virtual CNARecordId* pclGetClone(const CNARecordValue* recordValue) = 0;
  // The identity test (false for another kind or a null other).
  virtual bool bEqualRecordId(CNARecordId* other) = 0;
  // Takes the identity of `other` (row ids) or of recordValue (record
  // values); false when it cannot.
  virtual bool bCopy(const CNARecordValue* recordValue, CNARecordId* other) = 0;
  // Bytes the serialised form needs.
  virtual unsigned long nGetSerializedSize() const = 0;
  // Writes the serialised form into the nSize bytes at destination. False,
  // nothing written, when nSize is below what the form needs or destination
  // is null.
  virtual bool Serialize(unsigned char* destination, unsigned long nSize) const = 0;
  // Reads a serialised form of nSize bytes. False, the identifier as it
  // was, when the bytes cannot hold the form they announce.
  virtual bool DeSerialize(const unsigned char* source, unsigned long nSize) = 0;
  virtual std::uint32_t dwGetHashVal() const = 0;
  // The identifier as text after `text` (see each kind).
  virtual void RecordIdToString(CXYString<wchar_t>* out, const wchar_t* text, int option) const = 0;
  // Installs the kind's compare and g_dwPtrHashVal as the table's
  // callbacks (keys: serialised forms).
  virtual void SetHashTableFct_SerializedObject(CHashTableBounce* table) const = 0;

  // The hash stored at the start of a serialised identifier.
  static unsigned int g_dwPtrHashVal(const void* serialised);
  // The identifiers' block hash: the unsigned little-endian 32-bit words of
  // the n bytes, then each of the 0 to 3 remaining bytes, summed; low 32
  // bits.
  static std::uint32_t g_dwHashBlock(const unsigned char* data, std::uint64_t n);
};

class CNARecordId_RowId : public CNARecordId {
 public:
  // Count 0; takes an internal reference on the holder (may be null: an
  // identifier without value, of size 0).
  explicit CNARecordId_RowId(CNAConvertVariant* holder);
  // Gives the holder's internal reference back.
  ~CNARecordId_RowId() override;

  eNA_RECORDIDTYPE eGetRecordIdType() const override { return NA_RECORDID_ROWID; }
  // A new identifier over a clone of the holder; null when the clone fails.
  CNARecordId* pclGetClone(const CNARecordValue* recordValue) override;
  // Same kind, and the holders equal by value (across types).
  bool bEqualRecordId(CNARecordId* other) override;
  // The holder copies the other row identifier's holder; false for another
  // kind or without holders. The record value is not used.
  bool bCopy(const CNARecordValue* recordValue, CNARecordId* other) override;
  // 8 + the larger of the holder's buffer capacity and its size: the entry
  // is sized for the largest value of the holder.
  unsigned long nGetSerializedSize() const override;
  // hash, L, the L data bytes, zeros up to nSize.
  bool Serialize(unsigned char* destination, unsigned long nSize) const override;
  // Refuses fewer than 8 bytes and an L beyond nSize - 8; else the holder
  // takes the L bytes as raw data (bSetValue).
  bool DeSerialize(const unsigned char* source, unsigned long nSize) override;
  // The low 32 bits of the holder's nChecksum32 (0 without holder).
  std::uint32_t dwGetHashVal() const override;
  // The holder's value as text, `text` first (CNAVariant::GetString).
  void RecordIdToString(CXYString<wchar_t>* out, const wchar_t* text, int option) const override;
  void SetHashTableFct_SerializedObject(CHashTableBounce* table) const override;

  CNAConvertVariant* pclGetVariant() const { return m_pclVariant; }

  // Orders two serialised row identifiers: the common data bytes as
  // unsigned bytes, then the shorter first; 0 when equal.
  static int g_nCompare_CNARecordId_RowId(const void* a, const void* b);

 private:
  CNAConvertVariant* m_pclVariant;
};

class CNARecordId_RecordValues : public CNARecordId {
 public:
  // Over the value's record buffer (address, total size) and memo set; none
  // of them when the value has none (or for a null value).
  explicit CNARecordId_RecordValues(const CNARecordValue* value);
  CNARecordId_RecordValues(const unsigned char* buffer, std::uint64_t size, const CNARecordMemo* memo);
  ~CNARecordId_RecordValues() override;

  eNA_RECORDIDTYPE eGetRecordIdType() const override { return NA_RECORDID_RECORDVALUES; }
  // A new identifier over recordValue's buffer and memo set.
  CNARecordId* pclGetClone(const CNARecordValue* recordValue) override;
  // Same kind, same size and byte-for-byte the same buffer (size 0: equal).
  // Memo values are not compared.
  bool bEqualRecordId(CNARecordId* other) override;
  // Takes recordValue's buffer, size and memo set; `other` is not read.
  bool bCopy(const CNARecordValue* recordValue, CNARecordId* other) override;
  unsigned long nGetSerializedSize() const override { return knSerializedSize; }
  bool Serialize(unsigned char* destination, unsigned long nSize) const override;
  bool DeSerialize(const unsigned char* source, unsigned long nSize) override;
  // The block hash of the S buffer bytes.
  std::uint32_t dwGetHashVal() const override;
  // `text` (nothing for none), then "record values (S bytes)".
  void RecordIdToString(CXYString<wchar_t>* out, const wchar_t* text, int option) const override;
  void SetHashTableFct_SerializedObject(CHashTableBounce* table) const override;

  const unsigned char* pbyGetBuffer() const { return m_pbyBuffer; }
  std::uint64_t nGetSize() const { return m_nSize; }
  const CNARecordMemo* pclGetMemo() const { return m_pclMemo; }

  // Orders two serialised record-values identifiers: by buffer size first,
  // then the buffers (through their stored addresses) as unsigned bytes; 0
  // when equal. Never reads past either buffer.
  static int g_nCompare_CNARecordId_RecordValues(const void* a, const void* b);

  static constexpr unsigned long knSerializedSize = 28;

 private:
  const unsigned char* m_pbyBuffer;
  std::uint64_t m_nSize;
  const CNARecordMemo* m_pclMemo;
};
