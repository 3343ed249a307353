// CInterf: the reference-counted root of the native-access layer's objects
// (connections, tables, data accesses, statements, columns, defines ...).
//
// Two counts: the internal one for references held by the library's own
// objects (AddRef, nRelease), the external one for references the runtime
// holds through the interfaces (kept by the subclasses that cross the
// boundary). An object is deleted when its internal count falls to 0 while
// the external one is 0 too; a release at internal count 0 does nothing.
// Counts are plain integers, changed only under the driver's process-wide
// lock.
#pragma once

#include <cstdint>

#include "CRefTraits.h"

class CInterf {
 public:
  CInterf() = default;
  CInterf(const CInterf&) = delete;
  CInterf& operator=(const CInterf&) = delete;
  virtual ~CInterf();
  // Reserved: answers 0.
  virtual int _NotToBeCalled();

  // One more internal reference.
  void AddRef() { ++m_nInternalCount; }
  // One internal reference less; the object may be gone afterwards. Returns
  // the new internal count (0 also when there was none to give back).
  std::uint32_t nRelease();

  std::uint32_t nGetInternalCount() const { return m_nInternalCount; }
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }

 protected:
  // For the subclasses the runtime holds: deletes the object when both
  // counts are 0 (after an external release).
  void _DeleteIfUnreferenced();

  std::uint32_t m_nInternalCount = 0;
  std::uint32_t m_nExternalCount = 0;
};

// Reference containers hold CInterf objects by their internal count.
#define KX_CINTERF_REF_TRAITS(T)                   \
  template <>                                      \
  struct CRefTraits<T> {                           \
    static void _AddRef(T* p) { p->AddRef(); }     \
    static void _Release(T* p) { p->nRelease(); }  \
  };
