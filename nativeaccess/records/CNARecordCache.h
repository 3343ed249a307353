// CNARecordCache: every record a statement has read from the server, in
// fetch order, so that reading forwards and backwards, returning to a saved
// position and counting are served from memory. The cache follows the
// writes done through the table (an added record is appended or put first,
// a modified one rewritten, a deleted one marked and then skipped).
//
// CNARecordCachePosition: a record cache used as a pool of saved records
// (saved positions of a data access, the record a statement last read):
// one reference count per slot (entry), slots whose count fell to 0 are
// reused.
//
// An entry, addressed by its index (0-based), is:
//   - the record bytes: the raw image of a CNAXQRecord buffer (its total
//     size, no header), in the record table;
//   - the serialised record identifier, in the id table;
//   - the memo set (CNARecordMemo) or none, in the memo table (which may be
//     shorter than the entries: a missing slot means none);
//   - the state (eNA_RECORDSTATE; 128 deleted, skipping tests bit 7).
// Record bytes and ids are packed into large buffers (CNABufferTable) that
// never move before the cache is cleared: a record-values identifier stored
// in the id table points at its entry's record bytes, and the id index
// (CNARecordIdHash) points at the stored id bytes. A placeholder entry (a
// row a read skipped over) holds neither.
//
// Invariants kept by every operation: the record, id and state tables have
// one element per entry; the deleted count equals the number of entries in
// state 128; the id index holds at most one element per entry index, and
// the index it gives is that of the entry whose id it keys (also after
// insertions and removals, and with identical rows).
//
// The append path allocates nothing per row: the record bytes and the id
// (28 bytes for record-values ids, built on the stack) are written straight
// into the packed buffers; the template value and the scratch buffer are
// made once and reused. Reading gives no empty memo set to a slot that has
// none.
//
// Counting: CInterf (the creator holds the first reference). Virtual
// operations, in slot order after the two destructors and _NotToBeCalled:
// SetGrowStep, nAjoute, Supprime, SupprimeTout, _nAjoute, _Insere.
// Indexes are signed: a negative index is outside the cache everywhere.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CNARecordId.h"
#include "CNARecordIdHash.h"
#include "CNARecordMemo.h"
#include "CNARecordValue.h"
#include "CNAXQRecord.h"
#include "CRefArray.h"
#include "CTSimpleTable.h"
#include "CTTableau.h"
#include "NARecordTypes.h"

class CNARecordCache : public CInterf {
 public:
  // Flags.
  static constexpr std::uint32_t knCACHING = 1;   // caching active
  static constexpr std::uint32_t knCOMPLETE = 8;  // every row of the result is here

  // Caching active, not complete, empty; buffers of up to 2 MiB sized for
  // 500 entries.
  CNARecordCache();
  // Clears the cache (SupprimeTout), then gives the template value back.
  ~CNARecordCache() override;

  // A non-zero step becomes the memo table's grow step and the entry
  // estimate of both buffer tables; a non-zero size their largest buffer.
  virtual void SetGrowStep(int step, int size);
  // Appends an entry (through _nAjoute) and answers its index; a null value
  // appends a placeholder (state 128). -1 when nothing could be appended.
  virtual int nAjoute(const CNARecordValue* value);
  // Removes the entry: its id leaves the index and every index above it
  // moves down by one. Nothing for an index outside the cache.
  virtual void Supprime(int index);
  // Empties the cache: complete flag, index (back to 7 elements), buffers,
  // memo sets, states, deleted count. The caching flag, the identifier kind
  // and its callbacks, the template value and the scratch buffer stay.
  virtual void SupprimeTout();
  virtual int _nAjoute(const CNARecordValue* value);
  // Inserts at 0 <= position < count (later entries move up, so do their
  // indexes in the id index); answers the position, -1 when out of range.
  virtual int _Insere(const CNARecordValue* value, int position);

  // Puts an entry at `position`: beyond the end, placeholders are appended
  // (nAjoute of null) until the count reaches it, stopping as soon as one
  // is refused (then -1); at the end it is appended, else inserted.
  // Answers the entry's index or -1.
  int Insere(const CNARecordValue* value, int position);
  // Rewrites the entry at `index` (nothing outside the cache). A null value
  // makes it a placeholder in state 128 (its id stays in the index). Else
  // its old id leaves the index, the new record bytes and id replace the
  // old ones (in place for equal lengths, as fresh elements otherwise), the
  // memo values the value carries are copied into the entry's set and the
  // state is set; the new id enters the index.
  void Update(int index, const CNARecordValue* value);

  // Copies the entry into `value` (which, without record buffer, first
  // takes the template's with copy flags 5): the record bytes only when
  // their length equals the value's record size; the id read back unless
  // it is a record-values id; the memo values as copying the entry's set
  // (none: an empty one) leaves them. False for an index outside the cache,
  // an entry without record bytes, another record size, or an id that
  // cannot be read back.
  bool bGetAt(CNARecordValue* value, int index);
  bool bGetAt(CNARecordValue* value, CNARecordId* id);
  // The index of the newest entry with this id, -1 when none (also for an
  // id of another kind than the cache's or before any id was stored).
  int nGetRecordIndice(CNARecordId* id);
  int nGetRecordIndice(const CNARecordValue* value);

  // The index reached from `position` in `direction` by `step` entries,
  // skipping deleted ones (entries at or past the end count as not
  // deleted); first starts before the first entry, last after the last.
  // Computed in 64 bits, answered saturated to the int range; -1 for any
  // negative result. May lie beyond the end.
  int nGetPosition(int position, eNA_PARSEDIRECTION direction, int step) const;
  // Whether the row at `index` must still be fetched: always while caching
  // is off; never for a negative index; past the end unless complete;
  // inside, exactly for placeholders.
  bool bMustFetch(int index) const;
  bool bEndehors(int index) const { return index < 0 || index >= nGetCount(); }
  // Sets the complete flag, only while caching is active.
  void SetFetchComplete();
  // Turns caching on or off (the flag only).
  void SetCachingActive(int active);
  bool bCachingActive() const { return (m_nFlags & knCACHING) != 0; }
  bool bFetchComplete() const { return (m_nFlags & knCOMPLETE) != 0; }

  // State of an entry (0 outside the cache); setting keeps the deleted
  // count right and does nothing outside the cache.
  eNA_RECORDSTATE eGetRecordState(int index) const;
  void SetRecordState(int index, eNA_RECORDSTATE state);
  // By id: the entry's index, or -1 (nothing set).
  int nSetRecordState(CNARecordId* id, eNA_RECORDSTATE state);
  bool _bRecordDeleted(int index) const { return (eGetRecordState(index) & 0x80) != 0; }
  bool bRecordInCache(int index) const { return m_tabRecords.pGetDonnees(index) != nullptr; }
  bool bMemoInCache(int index) const { return m_tabMemos.pGetAt(index) != nullptr; }
  // Copies the entry's memo set into `memo`; nothing when memo is null or
  // holds no value, or the entry has no set.
  void RestaureMemo(int index, CNARecordMemo* memo);

  // The entry (loaded into the template value) compared with `value` by
  // CNARecordValue::bEquals(value, withMemos); false when it cannot be
  // loaded.
  bool bEquals(int index, const CNARecordValue* value, int withMemos);
  // Two entries compared the same way.
  bool bEquals(int index1, int index2, int withMemos);

  // Keeps the cache in step with a write: insert (3) puts newValue first
  // (first non-zero, answer 0) or appends it (answer its index); update (2)
  // rewrites the entry of oldValue's id with newValue; delete (4) marks
  // that entry deleted (once). Answers the index concerned, -1 when the
  // entry is not found. `count` is not used.
  int nOnNotifyOperation(eNAQUERYTYPE kind, const CNARecordValue* newValue, const CNARecordValue* oldValue,
                         unsigned int count, int first);

  int nGetCount() const { return m_tabStates.nGetNbElements(); }
  int nGetDeletedCount() const { return m_nDeleted; }
  eNA_RECORDIDTYPE eGetRecordIdType() const { return m_eIdType; }
  const CNARecordValue* pclGetTemplate() const { return m_pclTemplate; }

 protected:
  enum class eStore { Append, Insert, Replace };

  // The identifier kind (first id stored) and the template value (made by
  // an append, re-made by any store of another record size).
  void _NoteValue(const CNARecordValue* value, bool bCreateTemplate);
  // Pads the memo table up to `index`, gives the slot a set when it has
  // none and copies `source`'s values into it; the slot's set, or null when
  // memory is short.
  CNARecordMemo* _pclSetMemo(int index, const CNARecordMemo* source);
  // Stores the value's id for entry `index` (built over the entry's record
  // bytes for record-values ids) and enters it into the index.
  bool _bStoreId(int index, const CNARecordValue* value, eStore how);
  // Takes the entry's id out of the index (by its bytes, or by a walk for a
  // placeholder that kept its old id there).
  void _RemoveIdFromHash(int index);
  // Serialises the id into the scratch buffer; null when it cannot.
  const unsigned char* _pbySerialise(CNARecordId* id);

  std::uint32_t m_nFlags = knCACHING;
  CNABufferTable<CNAXQRecord> m_tabRecords;
  CNARefArray<CNARecordMemo> m_tabMemos;
  CTTableau<eNA_RECORDSTATE> m_tabStates;
  int m_nDeleted = 0;
  eNA_RECORDIDTYPE m_eIdType = NA_RECORDID_NONE;
  CNABufferTable<CNARecordId> m_tabIds;
  CNARecordIdHash m_clHash;
  unsigned char* m_pbyScratch = nullptr;
  unsigned long m_nScratch = 0;
  CNARecordValue* m_pclTemplate = nullptr;
  // Placeholders made by Update(index, null) whose old id is still in the
  // index: only while there are some must a removal walk the index.
  int m_nStaleIds = 0;
};
KX_CINTERF_REF_TRAITS(CNARecordCache)

class CNARecordCachePosition : public CNARecordCache {
 public:
  CNARecordCachePosition();
  ~CNARecordCachePosition() override;

  // Also the reference table's grow step.
  void SetGrowStep(int step, int size) override;
  // A position store appends only through nKeepRecordSave: -1.
  int nAjoute(const CNARecordValue* value) override;
  // Slots are never removed: nothing.
  void Supprime(int index) override;
  // Also empties the reference table; no slot is free.
  void SupprimeTout() override;
  // Also appends a count of 0.
  int _nAjoute(const CNARecordValue* value) override;
  // Nothing: -1.
  int _Insere(const CNARecordValue* value, int position) override;

  // The slot that keeps `value`: the slot of its id when saved already
  // (nothing refreshed, no reference taken); else the lowest free slot
  // (count 0), rewritten with the value; else a new slot. -1 for a value
  // without id, or when nothing could be stored.
  int nKeepRecordSave(const CNARecordValue* value);
  // One more reference on the slot (nothing outside the store).
  void AddRefRecordSave(int slot);
  // One reference less; answers the count left. At 0 the slot's id leaves
  // the index and the slot may be reused. Outside the store, or at count
  // 0, nothing changes and the answer is 0.
  int nReleaseRecordSave(int slot);
  int nGetRecordSaveCount(int slot) const;

 private:
  CTTableau<int> m_tabRefs;
  int m_nFirstFree = -1;
};
KX_CINTERF_REF_TRAITS(CNARecordCachePosition)
