// CHashTableBounce: the hash table of word-sized keys and values under the
// driver's registries, the per-context tables and the record cache's id
// index.
//
// Keys and values are pointer-sized words owned by the caller; the table
// never looks into a key except through the two callbacks the owner
// installs with SetCmp (0 means "equal") and SetHashVal. Both must be set
// before the first add; a table without a hash callback refuses adds, and
// an empty table answers lookups without calling either.
//
// Layout: one array of element records (key, value, 1-based previous and
// next links) with a free list threaded through the unused records, and one
// array of buckets, each the 1-based index of the first record of its chain
// (0 for an empty bucket). The bucket count always comes from a fixed ladder
// of 29 primes (level 0 to 28: 17, 53, 97, ... 4294967291) and the record
// capacity is half of it, rounded down, so the table is at most half full.
// A size handed to the constructor or to DeleteAll is an element count: the
// lowest level whose capacity is at least that count is taken (7 gives 17
// buckets and 8 records).
//
// Growing and shrinking:
// - An add that finds no free record moves the table one level up. The level
//   never passes 28; an add that would need it fails.
// - A removal shrinks the table (to the lowest level whose capacity exceeds
//   the count) once the count falls below a quarter of the next lower
//   level's bucket count, but never while a parse is under way: a parse that
//   was abandoned without StopParsing keeps the table from shrinking.
// - Both commit nothing until the new arrays exist: a failed growth leaves
//   the table exactly as it was (the add answers false), and a failed
//   shrink leaves it at its level (the removal, which is done, still
//   answers true).
// - Records keep their indices while growing; shrinking moves records from
//   above the new capacity into free records below it.
//
// Equal keys: an add never looks for an equal key, so several elements may
// share one. A lookup or removal meets the most recently added of them
// first, also after the table has grown or shrunk.
//
// A table whose arrays could not be allocated (or that was asked for more
// elements than the top level holds) has no storage: it holds nothing,
// finds nothing and refuses adds until DeleteAll gives it storage again.
//
// Virtual operations, in slot order: destructor, SetCmp, SetHashVal,
// dwGetNumElement, bAddElement, bDeleteElement, bGetElement, bParseTable,
// StopParsing, pGetElement, __bGrow, __bReduce, __RehashElement, __Compact,
// pfGetCmp, pfGetHashVal, DeleteAll, bParseSetElement, bParseSetKey. The
// table calls its own __bGrow, __bReduce, __RehashElement and __Compact
// through these slots. bDeleteElementValue is not virtual, so the slots stay
// as listed.
#pragma once

#include <cstdint>

// Compare callback: 0 when the keys are equal.
typedef int (*PFHTBCOMPARE)(const void* pKey1, const void* pKey2);
// Hash callback: any 32-bit value; equal keys must hash equally.
typedef unsigned int (*PFHTBHASHVAL)(const void* pKey);

// Default callbacks of the typed tables: keys are equal when their words
// are equal (0, else 1); the hash is the low 32 bits of the key word.
int _nHTBDefaultCompare(const void* pKey1, const void* pKey2);
unsigned int _dwHTBDefaultHashVal(const void* pKey);

class CHashTableBounce {
 public:
  // The bucket counts of the 29 levels.
  static constexpr int nNB_NIVEAUX = 29;
  static const std::uint32_t g__ToutPretToutChaud[nNB_NIVEAUX];

  // Empty table sized for nSize elements (see the header comment);
  // callbacks unset.
  explicit CHashTableBounce(unsigned int nSize);
  // Frees both arrays; keys and values are the caller's and are not
  // touched.
  virtual ~CHashTableBounce();

  CHashTableBounce(const CHashTableBounce&) = delete;
  CHashTableBounce& operator=(const CHashTableBounce&) = delete;

  virtual void SetCmp(PFHTBCOMPARE pfCompare);
  virtual void SetHashVal(PFHTBHASHVAL pfHashVal);
  // Elements in use.
  virtual unsigned int dwGetNumElement();

  // Adds the pair without looking for an equal key; it is found before
  // every older element with an equal key. False when the table is full and
  // cannot grow (then nothing changed), has no storage or no hash callback.
  virtual bool bAddElement(void* pKey, void* pValue);
  // Removes the most recent element whose key equals pKey and hands back its
  // value and stored key (each out-pointer may be null). True once the
  // element is out, also when the shrink that may follow fails; false when
  // no element matches.
  virtual bool bDeleteElement(const void* pKey, void** ppValue, void** ppStoredKey);
  // Removes the most recent element whose key equals pKey and whose value
  // word is pValue, walking only pKey's chain: of several elements with
  // equal keys, the one that belongs to this value leaves, the others stay.
  // Its stored key goes to *ppStoredKey (may be null). True once the
  // element is out (a shrink may follow as after bDeleteElement); false when
  // no element matches.
  bool bDeleteElementValue(const void* pKey, const void* pValue, void** ppStoredKey = nullptr);
  // Finds the most recent element whose key equals pKey: its value and
  // stored key (each out-pointer may be null). False at once on an empty
  // table.
  virtual bool bGetElement(const void* pKey, void** ppValue, void** ppStoredKey);

  // Iteration in record order. *pCursor = 0 starts a parse (the parse count
  // goes up). Each call returns the next element in use from record
  // *pCursor on, with its value and key (each out-pointer may be null), and
  // sets *pCursor past it; with bDelete the element is also removed (the
  // table never shrinks during a parse, so records keep their indices and
  // the cursor stays valid). At the end the parse count goes down and the
  // result is false. Elements added during a parse may or may not be met.
  virtual bool bParseTable(unsigned int* pCursor, int bDelete, void** ppValue, void** ppKey);
  // Ends a parse abandoned before its end.
  virtual void StopParsing();

  // Address of the stored value word of the most recent element whose key
  // equals pKey, null when absent. Valid until the table next changes.
  virtual void** pGetElement(const void* pKey);

 protected:
  // One level up: the new arrays are made first, then the records keep
  // their places, the new ones join the free list and every chain is
  // rebuilt. False, with nothing changed, at level 28 or when an
  // allocation fails.
  virtual bool __bGrow();
  // Down to the lowest level whose capacity exceeds the count (see the
  // header comment). Nothing changes when the new bucket array cannot be
  // allocated. Returns whether the table shrank.
  virtual bool __bReduce();
  // Links every element in use into pdwNewBuckets (nNewBuckets buckets, all
  // 0 on entry), walking the chains of the current buckets so that elements
  // with equal keys keep their order.
  virtual void __RehashElement(std::uint32_t* pdwNewBuckets, std::uint32_t nNewBuckets);
  // Moves the elements in use at indices at or above nNewCapacity, from the
  // highest down, into the lowest free records below it, keeping the chains
  // whole; then the free records below nNewCapacity form the free list (the
  // highest free index at its head). The count must be below nNewCapacity.
  virtual void __Compact(std::uint32_t nNewCapacity);

 public:
  virtual PFHTBCOMPARE pfGetCmp();
  virtual PFHTBHASHVAL pfGetHashVal();

  // Empties the table and sizes it for nSize elements (7 when 0) when it
  // holds elements or has no storage; an empty table with storage keeps its
  // size. Keys and values are not touched.
  virtual void DeleteAll(unsigned int nSize);

  // Replace the value (the key) of the element that bParseTable last
  // returned with this cursor; the old word goes to *ppOld (may be null).
  // False when cursor - 1 is not below the capacity (cursor 0 included) or
  // that record is free. The key is replaced without rehashing: the new key
  // must compare and hash like the old one.
  virtual bool bParseSetElement(unsigned int nCursor, void* pValue, void** ppOldValue);
  virtual bool bParseSetKey(unsigned int nCursor, void* pKey, void** ppOldKey);

  // Wide-string keys, case and accents ignored (STR flags 3): the compare
  // is STR_nCompareW(a, b, 3); the hash sums the characters of the key
  // mapped with flags 3, so keys that compare equal hash equally. A null
  // key reads as the empty key.
  static int nStringLogiqueCompare(const void* pKey1, const void* pKey2);
  static unsigned int dwStringLogiqueHashVal(const void* pKey);

 protected:
  // One element record.
  struct stELEMENT {
    void* pKey;
    void* pValue;
    std::uint32_t dwPrecedent;  // 1-based; 0 first of its chain; kLIBRE free record
    std::uint32_t dwSuivant;    // 1-based next of the chain, or of the free list; 0 none
  };
  static constexpr std::uint32_t kLIBRE = 0xFFFFFFFFu;

  // With bReset: count and level 0, both arrays freed. Then the first level
  // from the current one whose capacity is at least nSize is taken and both
  // arrays are made, all records free and chained in order, all buckets
  // empty; when either allocation fails (or nSize is beyond the top level)
  // the table is left without storage.
  void __Init(unsigned int nSize, bool bReset);

  // Capacity (records) of a level.
  static std::uint32_t _dwCapacite(int nNiveau) { return g__ToutPretToutChaud[nNiveau] / 2; }
  // 1-based index of the most recent element whose key equals pKey, 0 when
  // none.
  std::uint32_t _dwTrouve(const void* pKey) const;
  // Unlinks element dwIndex (1-based) from its chain and puts it on the
  // free list; count - 1.
  void _Libere(std::uint32_t dwIndex);

  stELEMENT* m_pstElements = nullptr;
  std::uint32_t m_dwCapacite = 0;
  std::uint32_t m_dwLibre = 0;  // 1-based head of the free list, 0 when full
  std::uint32_t* m_pdwBuckets = nullptr;
  std::uint32_t m_dwNbBuckets = 0;
  std::uint32_t m_dwNbElements = 0;
  std::uint32_t m_dwNbParcours = 0;
  PFHTBCOMPARE m_pfCompare = nullptr;
  PFHTBHASHVAL m_pfHashVal = nullptr;
  int m_nNiveau = 0;
};
