// CNARecordValue: what the layer keeps of one row: its record buffer
// (CNAXQRecord), its memo values (CNARecordMemo), its record identifier
// (CNARecordId) and its state. The record caches store and hand out record
// values; the data access passes them to its add and modify operations.
//
// Ownership: the value holds one reference on each part it has (the record
// by its internal count, the memo set and the identifier through
// CKXUnknown) and one on its error object, where failures (out of memory)
// are reported. Itself counted as a CInterf (counts 0 at construction).
//
// Copies are made part by part under copy flags (eCOPYFLAGS): the record
// buffer, then the memo values, then the identifier, in this order, because
// a record-values identifier takes the buffer of the value it belongs to.
// The state is always copied.
//
// Virtual operations, in slot order: destructor, deleting destructor,
// _NotToBeCalled.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "NARecordTypes.h"

class CAny;
class CNAConvertVariant;
class CNAError;
class CNARecordId;
class CNARecordMemo;
class CNAXQRecord;
class INAItemDescription;

enum eCOPYFLAGS : std::int32_t {
  NA_COPY_RECORD = 1,
  NA_COPY_MEMO = 2,
  NA_COPY_RECORDID = 4,
  NA_COPY_ALL = 7,
};

class CNARecordValue : public CInterf {
 public:
  // Counts 0; no record, memo set or identifier; state 0. Holds `error`, or
  // without one a new error object from the driver's factory (a plain one
  // when no driver exists).
  explicit CNARecordValue(CNAError* error = nullptr);
  // Gives back the identifier, the memo set and the record, in this order,
  // then the error object.
  ~CNARecordValue() override;

  // ---- Record buffer ----------------------------------------------------
  // With a record held, the other's bytes are copied over it
  // (CNAXQRecord::Copy, which refuses another layout: false); else the
  // value takes a clone (out of memory: error set, false). A null record
  // answers false.
  bool bCopyNAXQRecord(const CNAXQRecord* record);
  CNAXQRecord* pclGetNAXQRecord() const { return m_pclRecord; }

  // ---- Memo values --------------------------------------------------------
  // Neither this value's set nor `source` holding a value: the held set is
  // given back; true. Otherwise a set is created when none is held and
  // filled by bCopyRecordMemo (failure: out of memory, false).
  bool bCopyTabMemoValue(const CNARecordMemo* source);
  // Holds `memo` (one reference, taken before the held set is given back);
  // a missing set or one without value leaves none. True.
  bool bShareTabMemoValue(CNARecordMemo* memo);
  // A clone of `value` (null: none) put at the index by bShareMemoValue;
  // out of memory: false.
  bool bCopyMemoValue(unsigned int index, CNAConvertVariant* value);
  // Puts `value` itself at the index (the set created when none, empty
  // elements appended up to the index), one reference taken. False only
  // for an index beyond the int range or when memory runs out.
  bool bShareMemoValue(int index, CNAConvertVariant* value);
  // Element `index` of the memo set, with one reference for the caller
  // (given back with nRelease), or without; none without set, for a
  // negative index or one at or past the count.
  CNAConvertVariant* pclGetMemoValue(int index) const;
  CNAConvertVariant* pclGetMemoValueNoRef(int index) const;
  // The element's value; NULL without set or element. True.
  bool bGetMemoValue(CAny* out, int index) const;
  CNARecordMemo* pclGetTabMemo() const { return m_pclMemo; }

  // The item's value from the record when defined there, else NULL (also
  // without record). True.
  bool bGetItemValue(CAny* out, INAItemDescription* item) const;

  // ---- Identifier ---------------------------------------------------------
  // Holds `id` (one reference, taken before the held one is given back;
  // none allowed). True.
  bool bShareRecordID(CNARecordId* id);
  // With an id held: its bCopy with this value and `source`; else the value
  // holds source's clone for this value (out of memory: false). A null
  // source gives back the held id; true.
  bool bCopyRecordID(CNARecordId* source);
  CNARecordId* pclGetRecordId() const { return m_pclRecordId; }

  // ---- State ----------------------------------------------------------------
  eNA_RECORDSTATE eGetRecordState() const { return m_eState; }
  void SetRecordState(eNA_RECORDSTATE state) { m_eState = state; }

  // ---- Whole value ------------------------------------------------------------
  // The state, then under the flags the record (1), the memo values (2)
  // and the identifier (4); the first failure answers false (what was
  // copied stays). A null source answers false.
  bool bCopyRecordValue(const CNARecordValue* source, eCOPYFLAGS flags);
  // A new value (counts 0) with the same error object, filled by
  // bCopyRecordValue; null when it cannot be made or filled.
  CNARecordValue* pclGetClone(eCOPYFLAGS flags) const;
  // Both records equal (CNAXQRecord::bEquals); with withMemos the memo sets
  // too (CNARecordMemo::g_bEqualsNARecordMemo).
  bool bEquals(const CNARecordValue* other, int withMemos) const;

  CNAError* pclGetError() const { return m_pclError; }

 private:
  void _SetNoMemory();

  CNAError* m_pclError = nullptr;
  CNAXQRecord* m_pclRecord = nullptr;
  CNARecordMemo* m_pclMemo = nullptr;
  CNARecordId* m_pclRecordId = nullptr;
  eNA_RECORDSTATE m_eState = NA_RECORDSTATE_READ;
};
KX_CINTERF_REF_TRAITS(CNARecordValue)
