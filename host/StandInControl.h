// Control of the stand-in runtime module (kxstandinvm.so) from a test or
// from kxhost.
//
// The stand-in plays the platform's runtime for a module under test: its
// exported "Execution" answers information requests (message 3053) with
// values set here and records every message it receives. StandInVm loads the
// module with dlopen and binds its control functions; the module stays
// loaded for the life of the object, so the handle can be handed to the
// library as the runtime's module.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// One message the stand-in received.
struct STStandInMessage {
  unsigned int nMessage;
  std::int64_t nParam;       // item number for 3053, raw parameter otherwise
  // Copy of the call-stack request for 3184.
  std::int32_t n1, n3, n4;
  wchar_t szText[128];
  std::int64_t nAnswer;      // what the stand-in answered
};

extern "C" {
using PFN_StandIn_Reset = void (*)();
using PFN_StandIn_SetItem = void (*)(int nItem, std::int64_t nValue);
using PFN_StandIn_GetItem = std::int64_t (*)(int nItem);
using PFN_StandIn_SetGlobalFactory = void (*)(int bPresent, int nLevel);
using PFN_StandIn_GetGlobalFactoryCalls = int (*)();
using PFN_StandIn_SetCallStackAnswer = void (*)(std::int64_t nAnswer);
using PFN_StandIn_GetMessageCount = int (*)();
using PFN_StandIn_GetMessage = int (*)(int nIndex, STStandInMessage* pstOut);
using PFN_StandIn_SetLocaleInfo = void (*)(int nCharset, int nCodePage, unsigned int nLCID);
using PFN_StandIn_GetLiveStrBlocks = int (*)();
using PFN_StandIn_GetStrAllocCalls = int (*)();
using PFN_StandIn_FailNextStrAllocs = void (*)(int k, int nCode);
using PFN_StandIn_SetStrMemAllocVersion = void (*)(int nVersion);
// The runtime's string loader: (identifier, buffer, capacity in characters)
// -> length of the whole text, 0 when it has none.
using PFN_StandIn_LoadString = int (*)(unsigned int nId, wchar_t* pszBuffer, int nCapacity);
using PFN_StandIn_SetString = void (*)(unsigned int nId, const wchar_t* pszText);
using PFN_StandIn_SetStringNeverTerminated = void (*)(int bNever);
using PFN_StandIn_GetLoadStringCalls = int (*)();
// A module's component command (CommandeComposante).
using PFN_CommandeComposante = std::int64_t (*)(unsigned int nCommand, void* pParam);
}

// Component commands the runtime sends to a module's CommandeComposante.
enum : unsigned int {
  STANDIN_COMMAND_SET_LOADSTRING = 2,  // parameter: the runtime's string loader
  STANDIN_COMMAND_LOADSTRING = 3,      // parameter: STStandInLoadStringRequest*
  STANDIN_COMMAND_UTILISATION = 4,     // parameter: a message identifier
};

// Request record of command 3, as the runtime lays it out.
struct STStandInLoadStringRequest {
  std::uint32_t nSize;      // 24
  std::uint32_t nId;
  wchar_t* pszBuffer;
  std::uint32_t nCapacity;  // characters
  std::uint32_t nResult;    // set by the module: characters loaded
};
static_assert(sizeof(STStandInLoadStringRequest) == 24);
static_assert(offsetof(STStandInLoadStringRequest, nResult) == 20);

class StandInVm {
 public:
  explicit StandInVm(const std::string& path) {
    m_hModule = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_hModule == nullptr) throw std::runtime_error(std::string("cannot load ") + dlerror());
    Bind(Reset, "StandIn_Reset");
    Bind(SetItem, "StandIn_SetItem");
    Bind(GetItem, "StandIn_GetItem");
    Bind(SetGlobalFactory, "StandIn_SetGlobalFactory");
    Bind(GetGlobalFactoryCalls, "StandIn_GetGlobalFactoryCalls");
    Bind(SetCallStackAnswer, "StandIn_SetCallStackAnswer");
    Bind(SetLocaleInfo, "StandIn_SetLocaleInfo");
    Bind(GetLiveStrBlocks, "StandIn_GetLiveStrBlocks");
    Bind(GetStrAllocCalls, "StandIn_GetStrAllocCalls");
    Bind(FailNextStrAllocs, "StandIn_FailNextStrAllocs");
    Bind(SetStrMemAllocVersion, "StandIn_SetStrMemAllocVersion");
    Bind(LoadString, "StandIn_LoadString");
    Bind(SetString, "StandIn_SetString");
    Bind(SetStringNeverTerminated, "StandIn_SetStringNeverTerminated");
    Bind(GetLoadStringCalls, "StandIn_GetLoadStringCalls");
    Bind(m_pfnCount, "StandIn_GetMessageCount");
    Bind(m_pfnGet, "StandIn_GetMessage");
  }
  ~StandInVm() { dlclose(m_hModule); }
  StandInVm(const StandInVm&) = delete;
  StandInVm& operator=(const StandInVm&) = delete;

  void* hModule() const { return m_hModule; }

  std::vector<STStandInMessage> Messages() const {
    std::vector<STStandInMessage> v(static_cast<size_t>(m_pfnCount()));
    for (size_t i = 0; i < v.size(); ++i) m_pfnGet(static_cast<int>(i), &v[i]);
    return v;
  }

  // Items asked with message 3053, in the order asked.
  std::vector<int> ItemsAsked() const {
    std::vector<int> v;
    for (const auto& st : Messages())
      if (st.nMessage == 3053) v.push_back(static_cast<int>(st.nParam));
    return v;
  }

  // How many times `nMessage` arrived.
  int Count(unsigned int nMessage) const {
    int n = 0;
    for (const auto& st : Messages()) n += st.nMessage == nMessage ? 1 : 0;
    return n;
  }

  PFN_StandIn_Reset Reset = nullptr;
  PFN_StandIn_SetItem SetItem = nullptr;
  PFN_StandIn_GetItem GetItem = nullptr;
  PFN_StandIn_SetGlobalFactory SetGlobalFactory = nullptr;
  PFN_StandIn_GetGlobalFactoryCalls GetGlobalFactoryCalls = nullptr;
  PFN_StandIn_SetCallStackAnswer SetCallStackAnswer = nullptr;
  // What the locale of item 12 reports as charset, code page and language
  // identifier; StandIn_Reset puts back 0, 1252 and 0x40C.
  PFN_StandIn_SetLocaleInfo SetLocaleInfo = nullptr;
  // The string allocator of item 13: blocks given out and not taken back;
  // calls that allocate or grow (slots 1, 2, 4, 5); the next k of those fail
  // with nCode (100 in the runtime); the version slot 0 answers (2, or 1).
  // StandIn_Reset puts back version 2, no failures and zero calls; live
  // blocks stay counted.
  PFN_StandIn_GetLiveStrBlocks GetLiveStrBlocks = nullptr;
  PFN_StandIn_GetStrAllocCalls GetStrAllocCalls = nullptr;
  PFN_StandIn_FailNextStrAllocs FailNextStrAllocs = nullptr;
  PFN_StandIn_SetStrMemAllocVersion SetStrMemAllocVersion = nullptr;
  // The runtime's string loader, to hand to a module with command 2. It
  // copies at most `capacity` characters of the text set for the identifier,
  // adds a NUL only when there is room (never in the never-terminated mode),
  // and returns the whole text's length (0 for an identifier without text).
  // SetString(id, null) removes a text; StandIn_Reset removes every text,
  // ends the never-terminated mode and zeroes the count of loader calls.
  PFN_StandIn_LoadString LoadString = nullptr;
  PFN_StandIn_SetString SetString = nullptr;
  PFN_StandIn_SetStringNeverTerminated SetStringNeverTerminated = nullptr;
  PFN_StandIn_GetLoadStringCalls GetLoadStringCalls = nullptr;

 private:
  template <typename F>
  void Bind(F& pfn, const char* name) {
    pfn = reinterpret_cast<F>(dlsym(m_hModule, name));
    if (pfn == nullptr) throw std::runtime_error(std::string("stand-in lacks ") + name);
  }

  void* m_hModule = nullptr;
  PFN_StandIn_GetMessageCount m_pfnCount = nullptr;
  PFN_StandIn_GetMessage m_pfnGet = nullptr;
};
