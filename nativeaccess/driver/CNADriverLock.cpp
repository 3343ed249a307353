#include "CNADriverLock.h"

#include <pthread.h>

#include <atomic>

namespace {

pthread_mutex_t g_stDriverCriticalSection;
// Set once the mutex is initialised, cleared before it is destroyed.
std::atomic<bool> g_bDriverCriticalSectionExists{false};

}  // namespace

bool CNADriverLock::s_bCreate() {
  if (g_bDriverCriticalSectionExists.load()) return true;
  pthread_mutexattr_t stAttr;
  if (pthread_mutexattr_init(&stAttr) != 0) return false;
  bool bOk = pthread_mutexattr_settype(&stAttr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
             pthread_mutex_init(&g_stDriverCriticalSection, &stAttr) == 0;
  pthread_mutexattr_destroy(&stAttr);
  if (bOk) g_bDriverCriticalSectionExists.store(true);
  return bOk;
}

void CNADriverLock::s_Destroy() {
  if (!g_bDriverCriticalSectionExists.exchange(false)) return;
  pthread_mutex_destroy(&g_stDriverCriticalSection);
}

bool CNADriverLock::s_bExists() { return g_bDriverCriticalSectionExists.load(); }

bool CNADriverLock::s_bLock() {
  if (!g_bDriverCriticalSectionExists.load()) return false;
  return pthread_mutex_lock(&g_stDriverCriticalSection) == 0;
}

bool CNADriverLock::s_bTryLock() {
  if (!g_bDriverCriticalSectionExists.load()) return false;
  return pthread_mutex_trylock(&g_stDriverCriticalSection) == 0;
}

void CNADriverLock::s_Unlock() {
  if (!g_bDriverCriticalSectionExists.load()) return;
  pthread_mutex_unlock(&g_stDriverCriticalSection);
}
