// Reference-counting rules of the objects that the reference containers
// (CRefArray, CNARefArray and the reference hash tables) hold.
//
// A container that keeps a pointer calls _AddRef(p) when the pointer goes in
// and _Release(p) when it comes out. Both skip a null pointer, so containers
// may store nulls. What taking and giving back a reference means depends on
// the element type and is chosen at compile time through CRefTraits<T>:
//
//  - classes derived from CKXUnknown: dwAddRef() (an atomic add) to take,
//    dwRelease() to give back (the last release deletes the object);
//  - any other type needs a rule of its own, given next to that type by a
//    specialisation, without touching this file:
//
//      template <> struct CRefTraits<CNAColumn> {
//        static void _AddRef(CNAColumn* p) { ... }
//        static void _Release(CNAColumn* p) { ... }
//      };
//
//    or, for a whole family, a partial specialisation on the second
//    parameter:
//
//      template <class T>
//      struct CRefTraits<T, std::enable_if_t<std::is_base_of_v<CInterf, T>>> {
//        ...
//      };
//
//    The specialisation must be visible wherever a container of that type
//    is used; a type without one fails to compile at the first use.
//
// A rule's members are called only with non-null pointers.
#pragma once

#include <type_traits>

#include "CKXUnknown.h"

template <class>
inline constexpr bool kxRefTraitsMissing = false;

template <class T, class Enable = void>
struct CRefTraits {
  static_assert(kxRefTraitsMissing<T>,
                "no reference-counting rule for this element type: specialise CRefTraits<T>");
  static void _AddRef(T*) {}
  static void _Release(T*) {}
};

// Objects with the CKXUnknown base count with their own atomic counter.
template <class T>
struct CRefTraits<T, std::enable_if_t<std::is_base_of_v<CKXUnknown, T>>> {
  static void _AddRef(T* p) { p->dwAddRef(); }
  static void _Release(T* p) { p->dwRelease(); }
};

// Takes one reference on p through its type's rule; nothing for null.
template <class T>
inline void _AddRef(T* p) {
  if (p != nullptr) CRefTraits<T>::_AddRef(p);
}

// Gives back one reference on p through its type's rule; nothing for null.
// The object may be gone afterwards.
template <class T>
inline void _Release(T* p) {
  if (p != nullptr) CRefTraits<T>::_Release(p);
}
