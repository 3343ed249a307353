// Control of the stand-in object runtime (kx200obj.so) from a test.
//
// The stand-in plays the platform's object runtime for MessageBox: its
// exported MessageBox_QT_W records each call and returns the answer set
// here (-1 meaning "no box shown"). StandInObj loads the module by the path
// given, with RTLD_NOW | RTLD_GLOBAL, binds its control functions and keeps
// it loaded for the life of the object; the module's soname is
// "kx200obj.so", so code that looks for that bare name with RTLD_NOLOAD
// finds it.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

// What the last MessageBox_QT_W call received (texts cut to 255 characters;
// a null text reads as empty and sets the flag).
struct STStandInObjCall {
  void* pWindow;
  wchar_t szText[256];
  wchar_t szCaption[256];
  unsigned int nType;
  int bTextNull;
  int bCaptionNull;
};

extern "C" {
using PFN_StandInObj_Reset = void (*)();
using PFN_StandInObj_SetAnswer = void (*)(int nAnswer);
using PFN_StandInObj_GetCallCount = int (*)();
using PFN_StandInObj_GetLastCall = int (*)(STStandInObjCall* pstOut);
}

class StandInObj {
 public:
  explicit StandInObj(const std::string& path) {
    m_hModule = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (m_hModule == nullptr) throw std::runtime_error(std::string("cannot load ") + dlerror());
    Bind(Reset, "StandInObj_Reset");
    Bind(SetAnswer, "StandInObj_SetAnswer");
    Bind(GetCallCount, "StandInObj_GetCallCount");
    Bind(GetLastCall, "StandInObj_GetLastCall");
  }
  ~StandInObj() { dlclose(m_hModule); }
  StandInObj(const StandInObj&) = delete;
  StandInObj& operator=(const StandInObj&) = delete;

  void* hModule() const { return m_hModule; }

  // Forgets the calls and sets the answer back to 1 (OK).
  PFN_StandInObj_Reset Reset = nullptr;
  // The answer of the next calls; -1 makes the caller fall back.
  PFN_StandInObj_SetAnswer SetAnswer = nullptr;
  PFN_StandInObj_GetCallCount GetCallCount = nullptr;
  // 0 when no call was made since the last reset, else 1 and *pstOut filled.
  PFN_StandInObj_GetLastCall GetLastCall = nullptr;

 private:
  template <typename F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(m_hModule, name));
    if (f == nullptr) throw std::runtime_error(std::string("missing ") + name);
  }

  void* m_hModule = nullptr;
};
