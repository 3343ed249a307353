// Reference-counted base of the objects that are shared by reference (the
// streams, the error object and others).
//
// A new object starts with count 0. Whoever keeps it calls dwAddRef(); each
// holder gives it back with dwRelease(), and the release that brings the count
// to 0 deletes the object through its virtual destructor, so an object whose
// count is in use must live on the heap (created with new). Releasing an
// object whose count is already 0 is a fault of the caller. The count changes
// only by atomic additions and subtractions, so holders on different threads
// may add and release concurrently.
//
// Virtual operations, in slot order: destructor, deleting destructor,
// dwRelease.
#pragma once

#include <atomic>
#include <cstdint>

class CKXUnknown {
 public:
  CKXUnknown() = default;
  // A copy is a new object: nobody holds it yet.
  CKXUnknown(const CKXUnknown&) : m_dwRefCount(0) {}
  // Assignment copies the content of derived classes; the holders of this
  // object stay its holders.
  CKXUnknown& operator=(const CKXUnknown&) { return *this; }
  virtual ~CKXUnknown();

  // Takes one reference away; deletes the object when none is left. Returns
  // the new count (0 means the object no longer exists).
  virtual std::uint32_t dwRelease();

  // Adds one reference; returns the new count.
  std::uint32_t dwAddRef();

 protected:
  std::atomic<std::uint32_t> m_dwRefCount{0};
};
