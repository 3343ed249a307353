// Scope holders of counted references, for code that gives a reference
// back on every way out of a function:
// - CNAAdopted<T> adopts a reference the caller already owns (an object a
//   factory handed over) and gives it back (nRelease) when the scope ends;
// - CNAHeld<T> takes a reference of its own (AddRef) at construction and
//   gives it back the same way, so the object outlives the scope's work even
//   when that work drops every other reference;
// - CNAHeldItem adopts the external reference an item description was
//   handed out with and gives it back (nExternalRelease).
// A null pointer is held as nothing. None can be copied.
#pragma once

#include "INAItemDescription.h"

template <class T>
class CNAAdopted {
 public:
  explicit CNAAdopted(T* p) : m_p(p) {}
  ~CNAAdopted() {
    if (m_p != nullptr) m_p->nRelease();
  }
  CNAAdopted(const CNAAdopted&) = delete;
  CNAAdopted& operator=(const CNAAdopted&) = delete;

 private:
  T* m_p;
};

template <class T>
class CNAHeld : public CNAAdopted<T> {
 public:
  explicit CNAHeld(T* p) : CNAAdopted<T>(p) {
    if (p != nullptr) p->AddRef();
  }
};

class CNAHeldItem {
 public:
  explicit CNAHeldItem(INAItemDescription* p) : p(p) {}
  ~CNAHeldItem() {
    if (p != nullptr) p->nExternalRelease();
  }
  CNAHeldItem(const CNAHeldItem&) = delete;
  CNAHeldItem& operator=(const CNAHeldItem&) = delete;

  INAItemDescription* const p;
};
