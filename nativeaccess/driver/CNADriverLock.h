// CNADriverLock: the one process-wide recursive mutex of the native-access
// layer, and the scope guard through which every public entry takes it.
//
// The mutex is created once by the library's initialisation (s_bCreate) and
// destroyed by its termination (s_Destroy). It is recursive because entries
// call lower layers that lock again. While no mutex exists (before the
// first creation, after destruction) locking, unlocking and destroying do
// nothing, so an object released after the library ended does not touch a
// destroyed mutex.
//
// The guard locks in its constructor and unlocks in its destructor: every
// way out of the scope, an exception included, gives the mutex back, and
// the exception passes unchanged. A guard made while no mutex existed
// unlocks nothing, even if a mutex is created meanwhile.
#pragma once

class CNADriverLock {
 public:
  CNADriverLock() : m_bLocked(s_bLock()) {}
  ~CNADriverLock() {
    if (m_bLocked) s_Unlock();
  }
  CNADriverLock(const CNADriverLock&) = delete;
  CNADriverLock& operator=(const CNADriverLock&) = delete;

  // Creates the recursive mutex when none exists. True when one exists
  // afterwards.
  static bool s_bCreate();
  // Destroys the mutex; nothing when none exists. The caller must hold no
  // lock on it.
  static void s_Destroy();
  // Whether the mutex exists.
  static bool s_bExists();
  // Takes the mutex (again, when this thread holds it). False, doing
  // nothing, when no mutex exists.
  static bool s_bLock();
  // Takes the mutex only when it is free or already this thread's. False
  // when another thread holds it or no mutex exists.
  static bool s_bTryLock();
  // Gives one hold back; nothing when no mutex exists.
  static void s_Unlock();

 private:
  bool m_bLocked;
};
