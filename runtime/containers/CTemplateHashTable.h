// CTemplateHashTable<K, V, Comp>: an open hash of keys to values, with
// element chains, for tables that are filled and then searched (the ZIP
// engine's name index).
//
// Comp gives `static std::uint32_t dwHash(const K&)` and
// `static bool bEqual(const K&, const K&)`; keys that are equal must hash
// equally.
//
// Layout: an array of buckets (index + 1 of the first element of the chain,
// 0 for none) and an array of elements (key, value, index + 1 of the next
// element of the chain). The bucket count is a prime of the runtime's prime
// ladder (CHashTableBounce::g__ToutPretToutChaud), first the first one above
// 13 (17), and the element capacity is half of it. A new key goes to the
// head of its chain; no key is checked for a duplicate, so of equal keys
// the one added last is found. When no free element remains, the table
// takes the next prime of the ladder, half of it as capacity, and rehashes
// every element, keeping the order of equal keys.
//
// Ownership: the table holds copies of the keys and values (K and V are
// copy-assignable and default-constructible); RemoveAll drops them all.
// Threads: one table belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <new>

#include "CHashTableBounce.h"

template <class K, class V, class Comp>
class CTemplateHashTable {
 public:
  // Empty at its first size (storage made on the first add).
  CTemplateHashTable() = default;
  ~CTemplateHashTable() { _Free(); }
  CTemplateHashTable(const CTemplateHashTable&) = delete;
  CTemplateHashTable& operator=(const CTemplateHashTable&) = delete;

  // Adds the pair at the head of its chain. False when the table is at the
  // top of the ladder and full, or memory is refused (nothing changed).
  bool bAdd(const K& key, const V& value) {
    if (m_nCount >= m_nCapacity && !_bGrow()) return false;
    stELEMENT& e = m_pElements[m_nCount];
    e.key = key;
    e.value = value;
    const std::uint32_t b = Comp::dwHash(key) % m_nBuckets;
    e.nNext = m_pnBuckets[b];
    m_pnBuckets[b] = ++m_nCount;
    return true;
  }

  // The value of the last key added that equals `key`: true and *pValue
  // (when given), or false.
  bool bLookup(const K& key, V* pValue) const {
    if (m_nCount == 0) return false;
    for (std::uint32_t i = m_pnBuckets[Comp::dwHash(key) % m_nBuckets]; i != 0;
         i = m_pElements[i - 1].nNext) {
      if (Comp::bEqual(m_pElements[i - 1].key, key)) {
        if (pValue != nullptr) *pValue = m_pElements[i - 1].value;
        return true;
      }
    }
    return false;
  }

  // Drops every element; the table is back at its first size.
  void RemoveAll() { _Free(); }

  std::uint32_t nGetCount() const { return m_nCount; }
  std::uint32_t nGetBucketCount() const {
    return m_nBuckets != 0 ? m_nBuckets : CHashTableBounce::g__ToutPretToutChaud[_nFirstLevel()];
  }
  std::uint32_t nGetCapacity() const { return nGetBucketCount() / 2; }

 private:
  struct stELEMENT {
    K key;
    V value{};
    std::uint32_t nNext = 0;
  };

  // First level of the ladder whose prime is above 13.
  static int _nFirstLevel() {
    int n = 0;
    while (n + 1 < CHashTableBounce::nNB_NIVEAUX && CHashTableBounce::g__ToutPretToutChaud[n] <= 13)
      ++n;
    return n;
  }

  // The next level (the first at the start); elements keep their indices,
  // every chain is rebuilt from the oldest element to the newest, so the
  // newest of equal keys stays first.
  bool _bGrow() {
    const int nLevel = m_pElements == nullptr ? _nFirstLevel() : m_nLevel + 1;
    if (nLevel >= CHashTableBounce::nNB_NIVEAUX) return false;
    const std::uint32_t nBuckets = CHashTableBounce::g__ToutPretToutChaud[nLevel];
    const std::uint32_t nCapacity = nBuckets / 2;
    std::uint32_t* pnBuckets = new (std::nothrow) std::uint32_t[nBuckets]();
    if (pnBuckets == nullptr) return false;
    stELEMENT* pElements = new (std::nothrow) stELEMENT[nCapacity];
    if (pElements == nullptr) {
      delete[] pnBuckets;
      return false;
    }
    for (std::uint32_t i = 0; i < m_nCount; ++i) {
      pElements[i].key = m_pElements[i].key;
      pElements[i].value = m_pElements[i].value;
      const std::uint32_t b = Comp::dwHash(pElements[i].key) % nBuckets;
      pElements[i].nNext = pnBuckets[b];
      pnBuckets[b] = i + 1;
    }
    delete[] m_pElements;
    delete[] m_pnBuckets;
    m_pElements = pElements;
    m_pnBuckets = pnBuckets;
    m_nBuckets = nBuckets;
    m_nCapacity = nCapacity;
    m_nLevel = nLevel;
    return true;
  }

  void _Free() {
    delete[] m_pElements;
    delete[] m_pnBuckets;
    m_pElements = nullptr;
    m_pnBuckets = nullptr;
    m_nBuckets = 0;
    m_nCapacity = 0;
    m_nCount = 0;
    m_nLevel = 0;
  }

  stELEMENT* m_pElements = nullptr;
  std::uint32_t* m_pnBuckets = nullptr;
  std::uint32_t m_nBuckets = 0;
  std::uint32_t m_nCapacity = 0;
  std::uint32_t m_nCount = 0;
  int m_nLevel = 0;
};
