// Hash tables that hold one reference on every stored object.
//
// CRefHashTable<K, V> maps word-sized keys K (integers, enumerations or
// pointers) to pointers V to reference-counted objects, over a
// CHashTableBounce that it hides: no value goes in or out except through the
// operations below, which keep the references right. The counting rule of
// each value type comes from CRefTraits<T> (_AddRef / _Release,
// CRefTraits.h); null values are stored and skipped by both hooks. Keys are
// equal when their words are equal and hash to the low 32 bits of the word.
//
// References:
// - The table takes one reference on each value it stores and gives it back
//   when the value leaves the table, except when the value is handed to the
//   caller on its way out: then the caller receives that reference.
// - bGetElement hands out the value with a new reference taken for the
//   caller. bParseTable without removal lends the value (no reference
//   taken): it stays valid while it stays in the table.
// - The table releases a value only after the element is out of the table,
//   so a release that reaches back into the table finds it consistent.
//
// Equal keys: adds never look for an equal key, so several elements may
// share one; lookups and removals meet the most recently added first.
// bReplaceElement is the form that keeps one element per key.
//
// CNARefHashTable<K, V> is the same table under a type of its own for the
// native-access layer (not reference-counted itself).
//
// CRefStringHashTable<V> takes wide-string keys compared and hashed without
// regard to case or accents (STR flags 3: "Connexion", "CONNEXION" and
// "connéxion" are one key). It stores its own heap copy of every key, made
// on add and freed when the element leaves, and it remembers the last key
// found (its own copy) and value, so that looking the same key up again
// does not hash it. That memory is forgotten on every add (a newer equal key
// must win) and whenever the remembered element leaves the table by any
// path.
//
// Every table is created for 7 elements unless told otherwise and belongs to
// one thread at a time (the library's tables are used under the driver's
// lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "CHashTableBounce.h"
#include "CRefTraits.h"
#include "XMalloc.h"

template <class K, class V>
class CRefHashTable : protected CHashTableBounce {
  static_assert(std::is_pointer_v<V>, "the values of a reference table are pointers");
  static_assert((std::is_integral_v<K> || std::is_enum_v<K> || std::is_pointer_v<K>) && sizeof(K) <= sizeof(void*),
                "the keys of a reference table are word-sized integers, enumerations or pointers");

  // The untyped operations of the table underneath stay out of reach: named
  // here, privately, so that the typed ones below overload them instead of
  // hiding them unnoticed.
  using CHashTableBounce::bAddElement;
  using CHashTableBounce::bDeleteElement;
  using CHashTableBounce::bGetElement;
  using CHashTableBounce::bParseTable;

 public:
  explicit CRefHashTable(unsigned int nSize = 7) : CHashTableBounce(nSize) {
    SetCmp(_nHTBDefaultCompare);
    SetHashVal(_dwHTBDefaultHashVal);
  }
  // Releases every value left in the table.
  ~CRefHashTable() override { _Vide(); }

  // Elements in the table.
  unsigned int dwGetNumElement() override { return CHashTableBounce::dwGetNumElement(); }

  // Adds key -> value with one reference taken on value, without looking
  // for an equal key. False, with nothing taken, when the table cannot
  // grow (or, for a string table, the key cannot be copied).
  bool bAddElement(K key, V value) {
    void* pvMot = nullptr;
    if (!_vbStoreKey(key, &pvMot)) return false;
    const bool bOk = CHashTableBounce::bAddElement(pvMot, _MotValeur(value));
    if (bOk)
      _AddRef(value);
    else
      _vbFreeKey(pvMot);
    _vForget(nullptr);
    return bOk;
  }

  // Keeps one element for key: the most recent element with an equal key,
  // if any, leaves the table (its value released, its key copy freed), then
  // key -> value is added with one reference taken on value. Replacing a
  // value with itself keeps it alive. False, with nothing changed, when the
  // key cannot be copied or (no element having left) the table cannot grow.
  bool bReplaceElement(K key, V value) {
    void* pvMot = nullptr;
    if (!_vbStoreKey(key, &pvMot)) return false;
    void* pvAncien = nullptr;
    void* pvAncienMot = nullptr;
    const bool bAncien = CHashTableBounce::bDeleteElement(_Mot(key), &pvAncien, &pvAncienMot);
    if (bAncien) {
      _vForget(pvAncienMot);
      _vbFreeKey(pvAncienMot);
    }
    // A removal leaves a free record behind, so this add cannot fail then.
    const bool bOk = CHashTableBounce::bAddElement(pvMot, _MotValeur(value));
    if (bOk)
      _AddRef(value);
    else
      _vbFreeKey(pvMot);
    _vForget(nullptr);
    if (bAncien) _Release(static_cast<V>(pvAncien));
    return bOk;
  }

  // Finds the most recent element whose key equals key. *pValue receives
  // its value with a new reference for the caller; *pStoredKey the key as
  // the table stores it (a string table's own copy: valid while the element
  // stays). Each out-pointer may be null; without pValue no reference is
  // taken.
  bool bGetElement(K key, V* pValue = nullptr, K* pStoredKey = nullptr) {
    void* pvValeur = nullptr;
    void* pvMot = nullptr;
    if (!_vbGetCached(key, &pvValeur, &pvMot)) {
      if (!CHashTableBounce::bGetElement(_Mot(key), &pvValeur, &pvMot)) return false;
      _vSetCache(pvMot, pvValeur);
    }
    if (pValue != nullptr) {
      *pValue = static_cast<V>(pvValeur);
      _AddRef(*pValue);
    }
    if (pStoredKey != nullptr) *pStoredKey = _Cle(pvMot);
    return true;
  }

  // Takes the most recent element whose key equals key out of the table.
  // With pValue the value's reference goes to the caller through *pValue;
  // without it the table releases the value. A key copy of the table is
  // freed (then *pStoredKey gets null); other keys come back as stored.
  // False when no element matches.
  bool bDeleteElement(K key, V* pValue = nullptr, K* pStoredKey = nullptr) {
    void* pvValeur = nullptr;
    void* pvMot = nullptr;
    if (!CHashTableBounce::bDeleteElement(_Mot(key), &pvValeur, &pvMot)) return false;
    _Sortie(pvValeur, pvMot, pValue, pStoredKey);
    return true;
  }

  // Walks the table in record order (see CHashTableBounce::bParseTable:
  // *pCursor = 0 starts, false at the end). Without bRemove the value is
  // lent and the key is the stored one. With bRemove each element returned
  // leaves the table as with bDeleteElement: the value's reference goes to
  // the caller through *pValue, or is released when pValue is null, and a
  // key copy of the table is freed (*pKey gets null). The table does not
  // shrink during a parse; call StopParsing when abandoning one.
  bool bParseTable(unsigned int* pCursor, int bRemove, V* pValue = nullptr, K* pKey = nullptr) {
    void* pvValeur = nullptr;
    void* pvMot = nullptr;
    if (!CHashTableBounce::bParseTable(pCursor, bRemove, &pvValeur, &pvMot)) return false;
    if (bRemove) {
      _Sortie(pvValeur, pvMot, pValue, pKey);
    } else {
      if (pValue != nullptr) *pValue = static_cast<V>(pvValeur);
      if (pKey != nullptr) *pKey = _Cle(pvMot);
    }
    return true;
  }
  void StopParsing() override { CHashTableBounce::StopParsing(); }

  // Releases every value, frees every key copy, and sizes the empty table
  // for nSize elements (7 when 0).
  void DeleteAll(unsigned int nSize = 7) override {
    _Vide();
    __Init(nSize != 0 ? nSize : 7, true);
  }

 protected:
  static void* _Mot(K key) {
    if constexpr (std::is_pointer_v<K>)
      return const_cast<void*>(static_cast<const void*>(key));
    else
      return reinterpret_cast<void*>(static_cast<std::uintptr_t>(key));
  }
  static void* _MotValeur(V value) { return const_cast<void*>(static_cast<const void*>(value)); }
  static K _Cle(void* pvMot) {
    if constexpr (std::is_pointer_v<K>)
      return static_cast<K>(pvMot);
    else
      return static_cast<K>(reinterpret_cast<std::uintptr_t>(pvMot));
  }

  // Key ownership: the word stored for a key being added (false when it
  // cannot be made), and the freeing of a stored word when its element
  // leaves (true when the word was the table's own and is gone).
  virtual bool _vbStoreKey(K key, void** ppvMot) {
    *ppvMot = _Mot(key);
    return true;
  }
  virtual bool _vbFreeKey(void* /*pvMot*/) { return false; }
  // The lookup memory: a hit for key, the element just found, and the
  // element with this stored word leaving (null: forget in any case).
  virtual bool _vbGetCached(K /*key*/, void** /*ppvValeur*/, void** /*ppvMot*/) { return false; }
  virtual void _vSetCache(void* /*pvMot*/, void* /*pvValeur*/) {}
  virtual void _vForget(const void* /*pvMot*/) {}

  // Takes every element out, releasing its value and freeing its key copy.
  // Releases may add or remove elements; the walk repeats until none is
  // left.
  void _Vide() {
    while (CHashTableBounce::dwGetNumElement() > 0) {
      unsigned int nCurseur = 0;
      while (bParseTable(&nCurseur, 1)) {
      }
    }
    _vForget(nullptr);
  }

 private:
  // An element that left the table: forget it, free its key copy, hand the
  // value (and its reference) to the caller or release it.
  void _Sortie(void* pvValeur, void* pvMot, V* pValue, K* pKey) {
    _vForget(pvMot);
    const bool bLibere = _vbFreeKey(pvMot);
    if (pKey != nullptr) *pKey = bLibere ? K{} : _Cle(pvMot);
    if (pValue != nullptr)
      *pValue = static_cast<V>(pvValeur);
    else
      _Release(static_cast<V>(pvValeur));
  }
};

template <class K, class V>
class CNARefHashTable : public CRefHashTable<K, V> {
 public:
  explicit CNARefHashTable(unsigned int nSize = 7) : CRefHashTable<K, V>(nSize) {}
};

template <class V>
class CRefStringHashTable : public CRefHashTable<wchar_t*, V> {
  using Base = CRefHashTable<wchar_t*, V>;

 public:
  explicit CRefStringHashTable(unsigned int nSize = 7) : Base(nSize) {
    this->SetCmp(CHashTableBounce::nStringLogiqueCompare);
    this->SetHashVal(CHashTableBounce::dwStringLogiqueHashVal);
  }
  // Releases every value and frees every key copy (while this class's own
  // key handling is still in place).
  ~CRefStringHashTable() override { this->_Vide(); }

  // The operations of CRefHashTable with the key as a constant string (a
  // null key reads as the empty key); keys handed back point to the table's
  // own copies.
  bool bAddElement(const wchar_t* pszKey, V value) { return Base::bAddElement(const_cast<wchar_t*>(pszKey), value); }
  bool bReplaceElement(const wchar_t* pszKey, V value) {
    return Base::bReplaceElement(const_cast<wchar_t*>(pszKey), value);
  }
  bool bGetElement(const wchar_t* pszKey, V* pValue = nullptr, const wchar_t** ppszStoredKey = nullptr) {
    wchar_t* pszStocke = nullptr;
    if (!Base::bGetElement(const_cast<wchar_t*>(pszKey), pValue, &pszStocke)) return false;
    if (ppszStoredKey != nullptr) *ppszStoredKey = pszStocke;
    return true;
  }
  bool bDeleteElement(const wchar_t* pszKey, V* pValue = nullptr, const wchar_t** ppszStoredKey = nullptr) {
    wchar_t* pszStocke = nullptr;
    if (!Base::bDeleteElement(const_cast<wchar_t*>(pszKey), pValue, &pszStocke)) return false;
    if (ppszStoredKey != nullptr) *ppszStoredKey = pszStocke;
    return true;
  }
  bool bParseTable(unsigned int* pCursor, int bRemove, V* pValue = nullptr, const wchar_t** ppszKey = nullptr) {
    wchar_t* pszCle = nullptr;
    if (!Base::bParseTable(pCursor, bRemove, pValue, &pszCle)) return false;
    if (ppszKey != nullptr) *ppszKey = pszCle;
    return true;
  }

 protected:
  bool _vbStoreKey(wchar_t* pszKey, void** ppvMot) override {
    const std::size_t nLongueur = pszKey != nullptr ? std::wcslen(pszKey) : 0;
    auto* pszCopie = static_cast<wchar_t*>(XMALLOC_pNew_((nLongueur + 1) * sizeof(wchar_t)));
    if (pszCopie == nullptr) return false;
    if (nLongueur > 0) std::memcpy(pszCopie, pszKey, nLongueur * sizeof(wchar_t));
    pszCopie[nLongueur] = 0;
    *ppvMot = pszCopie;
    return true;
  }
  bool _vbFreeKey(void* pvMot) override {
    XMALLOC_Del_(pvMot);
    return true;
  }
  bool _vbGetCached(wchar_t* pszKey, void** ppvValeur, void** ppvMot) override {
    if (m_pvDerniereCle == nullptr || CHashTableBounce::nStringLogiqueCompare(pszKey, m_pvDerniereCle) != 0)
      return false;
    *ppvValeur = m_pvDerniereValeur;
    *ppvMot = m_pvDerniereCle;
    return true;
  }
  void _vSetCache(void* pvMot, void* pvValeur) override {
    m_pvDerniereCle = pvMot;
    m_pvDerniereValeur = pvValeur;
  }
  void _vForget(const void* pvMot) override {
    if (pvMot == nullptr || pvMot == m_pvDerniereCle) {
      m_pvDerniereCle = nullptr;
      m_pvDerniereValeur = nullptr;
    }
  }

 private:
  // The table's own copy of the last key found (null: nothing remembered)
  // and its value.
  void* m_pvDerniereCle = nullptr;
  void* m_pvDerniereValeur = nullptr;
};
