// CHashBase: the older chained hash table, kept with the string hash
// functions (HashValues.h) for the code that still builds on it.
//
// Entries are pairs of words {key, value} owned by the caller, kept in one
// CListeDeBuffer per bucket; an entry goes into the list of bucket
// hash(key) mod bucket count. A derived class supplies the hash of a key and
// the equality test of a stored key and a key (non-zero when equal).
//
// Nothing looks for an existing key: an add always adds, and a lookup
// returns the first match from the head of its bucket's list. Adds go in
// before the list's current entry: the cursor rests on the last entry added
// or found in that list, or where a removal left it.
//
// Resizing: AjouteDYN first grows the table to the first prime at or above
// twice the bucket count when the count has reached grow factor x bucket
// count; bSupprimeDYN afterwards shrinks it to the first prime at or above
// half the bucket count, but at least 43, when the count has fallen below
// shrink factor x bucket count. The factors are 3 and 1 unless SetNiveau
// says otherwise. A table with no bucket holds nothing, finds nothing and
// removes nothing; AjouteDYN first gives it 1 bucket (the first prime at or
// above 0, 1 counting as prime).
//
// Virtual operations, in slot order: destructor, the hash, the equality
// test.
#pragma once

#include "CListeDeBuffer.h"

class CHashBase {
 public:
  // Empty table of nBuckets buckets (none when nBuckets is 0 or less);
  // factors 3 and 1.
  explicit CHashBase(int nBuckets);
  // Frees the lists; keys and values are the caller's.
  virtual ~CHashBase();

  CHashBase(const CHashBase&) = delete;
  CHashBase& operator=(const CHashBase&) = delete;

  // Sets the grow and shrink factors.
  void SetNiveau(int nGrow, int nShrink);

  // Adds the entry to its bucket's list, before the current entry; count +
  // 1. False (nothing added) when there is no bucket or no memory.
  bool Ajoute(void* pKey, void* pValue);
  // Grows the table when needed (see the header comment), then Ajoute.
  bool AjouteDYN(void* pKey, void* pValue);

  // First entry from the head of the bucket's list whose key equals pKey:
  // its value and stored key (each out-pointer may be null). bRecherche
  // leaves the list's current entry on the match; bRechercheConst walks a
  // copy of the list's cursor and leaves the table untouched.
  bool bRecherche(const void* pKey, void** ppValue, void** ppStoredKey);
  bool bRechercheConst(const void* pKey, void** ppValue, void** ppStoredKey) const;

  // Removes the entry bRecherche finds; count - 1. False when absent.
  bool bSupprime(const void* pKey);
  // bSupprime, then shrinks the table when needed (see the header comment).
  bool bSupprimeDYN(const void* pKey);

  // Empties every list; count 0. The bucket count stays.
  void SupprimeTout();

  // Removes the head entry of the first non-empty bucket from *pnBucket on
  // and returns it (*pnBucket becomes that bucket); when every bucket from
  // there on is empty, *ppValue and *ppKey get null and *pnBucket the
  // bucket count. Out-pointers other than pnBucket may be null.
  void SupprimeCourant(int* pnBucket, void** ppValue, void** ppKey);

  // Rehashes every entry into n buckets (in bucket order, each entry going
  // in before the current entry of its new list); the count is kept.
  // Nothing when n < 1, n equals the bucket count, or memory is short (then
  // the table stays as it was).
  void RedimensionneTable(int n);

  int nGetNbBuckets() const { return m_nNbBuckets; }
  int nGetNbElements() const { return m_nNbElements; }

 protected:
  // Hash of a key, and whether a stored key equals a key (non-zero when
  // equal).
  virtual unsigned int vdwHashVal(const void* pKey) const = 0;
  virtual int vbEgal(const void* pStoredKey, const void* pKey) const = 0;

  void _RedimentionneTablePlus();
  void _RedimentionneTableMoins();

  struct stENTREE {
    void* pKey;
    void* pValue;
  };

  int m_nFacteurPlus = 3;
  int m_nFacteurMoins = 1;
  int m_nNbBuckets = 0;
  CListeDeBuffer* m_pclBuckets = nullptr;
  int m_nNbElements = 0;

 private:
  // nNb empty lists, null when memory is short (or nNb < 1).
  static CListeDeBuffer* _pclNouvellesListes(int nNb);
  static void _DetruitListes(CListeDeBuffer* pclListes, int nNb);
  // The list of pKey's bucket; the table has buckets.
  CListeDeBuffer& _Liste(const void* pKey) const;
  // First prime at or above n.
  static long long _llPremierDesA(long long n);
};
