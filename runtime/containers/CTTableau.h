// Typed dynamic arrays over CTableauDeBuffer.
//
// CTTableau<T> keeps elements of type T, copied bytewise (T's constructors
// and destructor never run): T must be a plain type or a pointer.
// CTTableauPtr<T> keeps T* and never owns the pointees: destroying or
// emptying it frees only the pointer storage.
//
// The arrays that hold references (CRefArray, CNARefArray) are in
// CRefArray.h; the rules by which they count references (_AddRef, _Release,
// CRefTraits<T>) are in CRefTraits.h, included here for the containers that
// build on these arrays.
#pragma once

#include "CRefTraits.h"
#include "CTableauDeBuffer.h"

template <class T>
class CTTableau : public CTableauDeBuffer {
 public:
  explicit CTTableau(int nPas, int nMarge = 0) : CTableauDeBuffer(static_cast<int>(sizeof(T)), nPas, nMarge) {}

  using CTableauDeBuffer::Initialise;
  // The untyped Initialise with a typed element.
  virtual void Initialise(const T& e, int n) { CTableauDeBuffer::Initialise(&e, n); }

  // Typed forms of the base's operations (same contracts).
  int Ajoute(const T& e) { return CTableauDeBuffer::Ajoute(&e); }
  int Insere(const T& e, int i) { return CTableauDeBuffer::Insere(&e, i); }
  void SetAt(const T& e, int i) { CTableauDeBuffer::SetAt(&e, i); }
  int Etend(int i, const T& e, const T& fill) { return CTableauDeBuffer::Etend(i, &e, &fill); }

  // Element i; 0 <= i < count is the caller's duty.
  T& operator[](int i) { return pGetTab()[i]; }
  const T& operator[](int i) const { return pGetTab()[i]; }
  // The elements as a C array (null without storage).
  T* pGetTab() { return reinterpret_cast<T*>(m_pBuffer); }
  const T* pGetTab() const { return reinterpret_cast<const T*>(m_pBuffer); }
};

template <class T>
class CTTableauPtr : public CTTableau<T*> {
 public:
  explicit CTTableauPtr(int nPas, int nMarge = 0) : CTTableau<T*>(nPas, nMarge) {}
};
