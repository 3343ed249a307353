#include "ThrowingNew.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool tlbArmed = false;
thread_local long tlnSucceed = 0;
thread_local long tlnAsked = 0;
thread_local long tlnRefused = 0;

// True when this allocation is to fail.
bool bFailNow() {
  if (!tlbArmed) return false;
  if (tlnAsked++ < tlnSucceed) return false;
  ++tlnRefused;
  return true;
}

void* pAllocate(std::size_t n) {
  if (bFailNow()) return nullptr;
  return std::malloc(n != 0 ? n : 1);
}

void* pAllocateAligned(std::size_t n, std::align_val_t a) {
  if (bFailNow()) return nullptr;
  const std::size_t nAlign = static_cast<std::size_t>(a);
  const std::size_t nRounded = ((n != 0 ? n : 1) + nAlign - 1) / nAlign * nAlign;
  return std::aligned_alloc(nAlign, nRounded);
}

}  // namespace

ThrowingNew::ThrowingNew(long nSucceed) {
  tlnSucceed = nSucceed;
  tlnAsked = 0;
  tlnRefused = 0;
  tlbArmed = true;
}

ThrowingNew::~ThrowingNew() { tlbArmed = false; }

long ThrowingNew::nAsked() const { return tlnAsked; }
long ThrowingNew::nRefused() const { return tlnRefused; }

ThrowingNewPause::ThrowingNewPause() : m_bWasArmed(tlbArmed) { tlbArmed = false; }
ThrowingNewPause::~ThrowingNewPause() { tlbArmed = m_bWasArmed; }

void* operator new(std::size_t n) {
  void* p = pAllocate(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) {
  void* p = pAllocate(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(std::size_t n, std::align_val_t a) {
  void* p = pAllocateAligned(n, a);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n, std::align_val_t a) {
  void* p = pAllocateAligned(n, a);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return pAllocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return pAllocate(n); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return pAllocateAligned(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return pAllocateAligned(n, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
