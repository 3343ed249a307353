// Arrays of pointers that hold one reference on every stored object.
//
// CRefArray<T> takes a reference (_AddRef, CRefTraits.h) on each non-null
// pointer it stores and gives it back (_Release) when the pointer leaves:
// on removal, on SupprimeTout and on destruction, which release from the
// last element to the first. Null pointers are stored like any other and
// skipped by both hooks. The pointer storage is a CTTableauPtr<T>, hidden
// so that no pointer goes in or out without its reference.
//
// CNARefArray<T> is a CRefArray<T> that is itself reference-counted through
// its CKXUnknown base: whoever keeps it calls dwAddRef, the last dwRelease
// deletes it (and so releases its elements).
#pragma once

#include "CKXUnknown.h"
#include "CTTableau.h"

template <class T>
class CRefArray : protected CTTableauPtr<T> {
  using Base = CTTableauPtr<T>;

 public:
  explicit CRefArray(int nPas, int nMarge = 0) : Base(nPas, nMarge) {}
  ~CRefArray() override { SupprimeTout(); }

  // Same behaviour as the base's: storage cut down to the count.
  void Compacter() override { Base::Compacter(); }

  // Appends p with one reference taken on it. Returns its index, or -1 when
  // the array could not grow; then no reference is taken.
  int Ajoute(T* p) {
    if (!_bPlace()) return -1;
    _AddRef(p);
    return Base::Ajoute(p);
  }
  // Inserts p at i (0 <= i <= count) with one reference taken on it.
  // Returns i, or -1 (nothing taken) when i is out of range or the array
  // could not grow.
  int Insere(T* p, int i) {
    if (i < 0 || i > this->m_nNbElements || !_bPlace()) return -1;
    _AddRef(p);
    return Base::Insere(p, i);
  }
  // Removes n elements from i, releasing each (the last first); later
  // elements move down. Nothing when the run does not lie within the count.
  void Supprime(int i, int n = 1) {
    if (n <= 0 || i < 0 || static_cast<long>(i) + n > this->m_nNbElements) return;
    for (int k = i + n - 1; k >= i; --k) _Release((*this)[k]);
    Base::Supprime(i, n);
  }
  // Releases and removes the elements one by one, from the last to the
  // first; the storage stays.
  void SupprimeTout() {
    while (this->m_nNbElements > 0) {
      _Release((*this)[this->m_nNbElements - 1]);
      Base::SupprimeDernier(1);
    }
  }

  // Element i (no reference taken); null when i is not below the count.
  T* pGetAt(int i) const { return i >= 0 && i < this->m_nNbElements ? Base::operator[](i) : nullptr; }
  // Element i; 0 <= i < count is the caller's duty.
  T* operator[](int i) const { return Base::operator[](i); }

  using Base::AgranditMemoire;
  using Base::AlloueMemoire;
  using Base::nGetNbAlloues;
  using Base::nGetNbElements;
  using Base::nGetPas;
  using Base::SetPas;

 private:
  // Room for one more element, so that a reference taken is never left
  // behind by a failed growth.
  bool _bPlace() {
    if (this->m_nNbElements < this->m_nNbAlloues) return true;
    this->Agrandir();
    return this->m_nNbElements < this->m_nNbAlloues;
  }
};

template <class T>
class CNARefArray : public CRefArray<T>, public CKXUnknown {
 public:
  explicit CNARefArray(int nPas, int nMarge = 0) : CRefArray<T>(nPas, nMarge) {}
  ~CNARefArray() override = default;
};
