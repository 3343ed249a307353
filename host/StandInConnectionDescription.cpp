#include "StandInConnectionDescription.h"

#include <cstdio>
#include <cstdlib>

namespace {

void DefaultMisuseReporter(const char* pszWhat) {
  std::fprintf(stderr, "stand-in connection description misused: %s\n", pszWhat);
  std::abort();
}

CStandInConnectionDescription::PFN_MISUSE& rpfnReporter() {
  static CStandInConnectionDescription::PFN_MISUSE s_pfn = DefaultMisuseReporter;
  return s_pfn;
}

[[noreturn]] void NeverCalled(const char* pszSlot) {
  std::fprintf(stderr, "stand-in connection description: slot %s is never called\n", pszSlot);
  std::abort();
}

}  // namespace

CStandInConnectionDescription::PFN_MISUSE CStandInConnectionDescription::s_SetMisuseReporter(
    PFN_MISUSE pfn) {
  PFN_MISUSE pfnOld = rpfnReporter();
  rpfnReporter() = pfn != nullptr ? pfn : DefaultMisuseReporter;
  return pfnOld;
}

void CStandInConnectionDescription::_Misuse(const char* pszWhat) {
  ++m_nMisuses;
  rpfnReporter()(pszWhat);
}

std::uint32_t CStandInConnectionDescription::nGetCompatSince() { NeverCalled("1"); }
std::uint32_t CStandInConnectionDescription::nGetNAVersion() { NeverCalled("2"); }
std::uint32_t CStandInConnectionDescription::nGetNACompatSince() { NeverCalled("3"); }
void CStandInConnectionDescription::NAVersion_EmptySlot_3() { NeverCalled("4"); }
void CStandInConnectionDescription::EmptySlot20() { NeverCalled("20"); }
void CStandInConnectionDescription::EmptySlot23() { NeverCalled("23"); }
void CStandInConnectionDescription::EmptySlot24() { NeverCalled("24"); }

std::uint32_t CStandInConnectionDescription::nExternalRelease() {
  if (m_nExternalCount == 0) {
    _Misuse("external reference released that was never taken");
    return 0;
  }
  return --m_nExternalCount;
}

const stNAConnectionObject* CStandInConnectionDescription::pstGetConnectionObject() {
  if (!m_osConnectionName) return nullptr;
  m_stConnectionObject.pszName = m_osConnectionName->c_str();
  return &m_stConnectionObject;
}

std::int64_t CStandInConnectionDescription::llGetCacheSize() {
  ++m_nCacheSizeQueries;
  // Descriptions of version 3 or less have no slot 22.
  if (m_nVersion <= 3) _Misuse("cache size (slot 22) asked of a description of version 3 or less");
  return m_llCacheSize;
}
