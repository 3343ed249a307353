// Counting doubles for the objects an error's information items hold: a
// reference-counted object (EIT_DATAACCESS) and an interface with add
// reference and release in slots 2 and 3 (EIT_EXCEPTIONDOTNET). Each keeps
// its count and how often it was released, so a test can check that every
// holder gave back exactly what it took.
#pragma once

#include <cstdint>

#include "CXError.h"

// A CKXUnknown whose holders can be counted. Create it with new and hold
// one reference yourself (Hold) so that the error's releases never delete
// it while the test looks at it; Drop gives that reference back.
class CCountedUnknown : public CKXUnknown {
 public:
  explicit CCountedUnknown(int* pnDestroyed = nullptr) : m_pnDestroyed(pnDestroyed) {}
  ~CCountedUnknown() override {
    if (m_pnDestroyed != nullptr) ++*m_pnDestroyed;
  }

  std::uint32_t dwRelease() override {
    ++m_nReleases;
    return CKXUnknown::dwRelease();
  }

  std::uint32_t nCount() const { return m_dwRefCount.load(); }
  int nReleases() const { return m_nReleases; }

  static CCountedUnknown* Hold(int* pnDestroyed = nullptr) {
    auto* p = new CCountedUnknown(pnDestroyed);
    p->dwAddRef();
    return p;
  }
  void Drop() { dwRelease(); }

 private:
  int* m_pnDestroyed;
  int m_nReleases = 0;
};

// The interface of EIT_EXCEPTIONDOTNET with counting slots 2 and 3.
class CExceptionDouble final : public IExceptionDotNet {
 public:
  ~CExceptionDouble() = default;
  void vQueryInterface() override {}
  void vReserved() override {}
  unsigned vnAddRef() override {
    ++m_nAddRefs;
    return static_cast<unsigned>(++m_nCount);
  }
  unsigned vnRelease() override {
    ++m_nReleases;
    return static_cast<unsigned>(--m_nCount);
  }

  int nCount() const { return m_nCount; }
  int nAddRefs() const { return m_nAddRefs; }
  int nReleases() const { return m_nReleases; }

 private:
  int m_nCount = 0;
  int m_nAddRefs = 0;
  int m_nReleases = 0;
};
