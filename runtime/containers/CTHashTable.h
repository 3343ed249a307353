// Typed faces of the chained hash table CHashBase.
//
// CTHashTable<TValeur, TCle> keeps pairs {key, value} in CHashBase's buckets.
// Both are stored in the base's pointer-sized words, so each must be an
// integral, enum or pointer type no wider than a pointer. Keys are not
// copied: a pointer key (a text, for the string tables) must stay valid and
// unchanged while its pair is in the table; that is the caller's duty.
//
// The base form hashes a key by its own bits and compares keys with ==.
// CTHashTableTi<TValeur> is keyed by wide texts compared without regard to
// case (wcscasecmp) and hashed by dwHashValTi; CTHashTableT<TValeur> is its
// case-sensitive twin (wcscmp, dwHashValT). A null text key is the empty
// text.
//
// As in CHashBase, Ajoute never looks for an existing key (an add always
// adds, duplicates included), and bRecherche / bSupprime act on the first
// match from the head of the key's bucket.
#pragma once

#include <cstdint>
#include <cwchar>
#include <type_traits>

#include "CHashBase.h"
#include "HashValues.h"

template <class TValeur, class TCle>
class CTHashTable : public CHashBase {
  static_assert(std::is_integral<TValeur>::value || std::is_enum<TValeur>::value ||
                    std::is_pointer<TValeur>::value,
                "values are kept in a pointer-sized word");
  static_assert(std::is_integral<TCle>::value || std::is_enum<TCle>::value ||
                    std::is_pointer<TCle>::value,
                "keys are kept in a pointer-sized word");
  static_assert(sizeof(TValeur) <= sizeof(void*) && sizeof(TCle) <= sizeof(void*),
                "no wider than a pointer");

 public:
  // Empty table of nBuckets buckets (see CHashBase).
  explicit CTHashTable(int nBuckets) : CHashBase(nBuckets) {}
  ~CTHashTable() override = default;

  // Adds the pair (no duplicate check). False when the table has no bucket
  // or memory is short.
  bool Ajoute(TCle key, TValeur value) { return CHashBase::Ajoute(_pMot(key), _pMot(value)); }

  // The value of the first pair whose key equals `key` into *pValue (when
  // given). False, *pValue untouched, when there is none.
  bool bRecherche(TCle key, TValeur* pValue) {
    void* pMot = nullptr;
    if (!CHashBase::bRecherche(_pMot(key), &pMot, nullptr)) return false;
    if (pValue != nullptr) *pValue = _Valeur<TValeur>(pMot);
    return true;
  }
  bool bRecherche(TCle key, TValeur* pValue) const {
    void* pMot = nullptr;
    if (!CHashBase::bRechercheConst(_pMot(key), &pMot, nullptr)) return false;
    if (pValue != nullptr) *pValue = _Valeur<TValeur>(pMot);
    return true;
  }

  // Removes the pair bRecherche finds; false when there is none.
  bool bSupprime(TCle key) { return CHashBase::bSupprime(_pMot(key)); }

  using CHashBase::SupprimeTout;

 protected:
  unsigned int vdwHashVal(const void* pKey) const override {
    const auto n = reinterpret_cast<std::uintptr_t>(pKey);
    return static_cast<unsigned int>(n ^ (static_cast<std::uint64_t>(n) >> 32));
  }
  int vbEgal(const void* pStoredKey, const void* pKey) const override { return pStoredKey == pKey; }

 private:
  template <class T>
  static void* _pMot(T v) {
    if constexpr (std::is_pointer<T>::value) {
      return const_cast<void*>(reinterpret_cast<const void*>(v));
    } else {
      return reinterpret_cast<void*>(static_cast<std::intptr_t>(v));
    }
  }
  template <class T>
  static T _Valeur(const void* pMot) {
    if constexpr (std::is_pointer<T>::value) {
      return reinterpret_cast<T>(const_cast<void*>(pMot));
    } else {
      return static_cast<T>(reinterpret_cast<std::intptr_t>(pMot));
    }
  }
};

// Wide-text keys, case ignored.
template <class TValeur>
class CTHashTableTi : public CTHashTable<TValeur, const wchar_t*> {
 public:
  explicit CTHashTableTi(int nBuckets) : CTHashTable<TValeur, const wchar_t*>(nBuckets) {}

 protected:
  unsigned int vdwHashVal(const void* pKey) const override {
    return dwHashValTi(static_cast<const wchar_t*>(pKey));
  }
  // Texts equal without regard to case have the same length (case maps one
  // character to one), so the lengths reject most keys before the compare.
  int vbEgal(const void* pStoredKey, const void* pKey) const override {
    const wchar_t* pszA = _psz(pStoredKey);
    const wchar_t* pszB = _psz(pKey);
    return std::wcslen(pszA) == std::wcslen(pszB) && wcscasecmp(pszA, pszB) == 0;
  }

 private:
  static const wchar_t* _psz(const void* p) { return p != nullptr ? static_cast<const wchar_t*>(p) : L""; }
};

// Wide-text keys, case-sensitive.
template <class TValeur>
class CTHashTableT : public CTHashTable<TValeur, const wchar_t*> {
 public:
  explicit CTHashTableT(int nBuckets) : CTHashTable<TValeur, const wchar_t*>(nBuckets) {}

 protected:
  unsigned int vdwHashVal(const void* pKey) const override {
    return dwHashValT(static_cast<const wchar_t*>(pKey));
  }
  int vbEgal(const void* pStoredKey, const void* pKey) const override {
    return std::wcscmp(_psz(pStoredKey), _psz(pKey)) == 0;
  }

 private:
  static const wchar_t* _psz(const void* p) { return p != nullptr ? static_cast<const wchar_t*>(p) : L""; }
};
