// The installer's string allocator installed for the length of a test, as
// mdbdeploy installs it at start: the shared strings (CXYString) of the
// runtime code need a process allocator and the installer has no platform
// runtime to hand one over.
#pragma once

#include "CInformationDLL.h"
#include "CStrMemAlloc.h"

// Creates the allocator and installs it; the destructor uninstalls it and
// ends it (every shared string made meanwhile must be gone by then).
class CInstalledStrMemAlloc {
 public:
  CInstalledStrMemAlloc() : m_piSaved(CInformationModule::ms_piStrMemAlloc) {
    CInformationModule::ms_piStrMemAlloc = CStrMemAlloc::s_pclInit();
  }
  ~CInstalledStrMemAlloc() {
    CInformationModule::ms_piStrMemAlloc = m_piSaved;
    CStrMemAlloc::s_Term();
  }
  CInstalledStrMemAlloc(const CInstalledStrMemAlloc&) = delete;
  CInstalledStrMemAlloc& operator=(const CInstalledStrMemAlloc&) = delete;

 private:
  IStrMemAlloc* m_piSaved;
};
