// The stand-in for the platform's runtime module: a shared object of its own,
// so that a library looking up "Execution" in the runtime's module handle
// finds this one and not its own.
//
// Information items answer settable values. The defaults are distinct and
// non-null; pointer items point at real objects of this module (the product
// name is a real wide text, the multithreading flag a real int), so a
// library may read through them. Items 12 and 13 answer the stand-in locale
// and the stand-in string allocator, objects of this module that a test
// controls through the StandIn_* functions below.
//
// StandIn_LoadString plays the runtime's string loader that the runtime
// installs in a module with CommandeComposante command 2: it answers the texts
// set with StandIn_SetString.
//
// It also exports the runtime's value functions under their names: the
// conversion pair, the proxy query and the 30 operators (StandInValues.h,
// rules in StandInControl.h). The shared strings they make come from this
// module's string allocator, the one it gives as item 13, so the library
// that receives them releases them into the same allocator. Two variants
// are built from this source: KX_STANDIN_WITHOUT_FIN_AND_MODULO leaves out
// "FinConversion" and "nModuloEx", KX_STANDIN_WITHOUT_PROXY "pQueryProxy".
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CInformationDLL.h"
#include "IGlobalFactory.h"
#include "KxExecution.h"
#include "StandInControl.h"
#include "StandInLocale.h"
#include "StandInStrMemAlloc.h"
#include "StandInValues.h"

#define KX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class CStandInGlobalFactory final : public IGlobalFactory {
 public:
  int vnGetLevel() override {
    ++m_nCalls;
    return m_nLevel;
  }
  int m_nLevel = 2;
  int m_nCalls = 0;
};

struct STOpaque {
  char szName[32];
};

const wchar_t gszProductName[] = L"Korvex stand-in";
std::int32_t gnMultithread = 1;
STOpaque gstLibShop{"library shop"};
STOpaque gstTopology{"topology collector"};
STOpaque gstComponents{"component information"};
CStandInGlobalFactory gclFactory;
CStandInLocale gclLocale;
// Defined before gstInit below, which resets it: same file, so constructed
// first. It outlives every block only if the library releases its strings
// before the module is unloaded.
CStandInStrMemAlloc gclStrMemAlloc;

struct STState {
  std::int64_t anItems[16] = {};
  bool bFactoryPresent = false;
  std::int64_t nCallStackAnswer = 1;
  std::vector<STStandInMessage> aMessages;
  std::map<unsigned int, std::wstring> mapTexts;  // the string loader's texts
  bool bNeverTerminate = false;
  int nLoadStringCalls = 0;
};

STState gst;
std::mutex gMutex;

std::int64_t AsItem(const void* p) { return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(p)); }

void ResetLocked() {
  gst = STState{};
  gst.anItems[kx::ITEM_PRODUCT_CODE] = 101;
  gst.anItems[kx::ITEM_INTERNAL_LANGUAGE] = 102;
  gst.anItems[kx::ITEM_PRODUCT_NAME] = AsItem(gszProductName);
  gst.anItems[kx::ITEM_OPTIONS] = 0x1000000104LL;
  gst.anItems[kx::ITEM_REAL_PRODUCT_CODE] = 105;
  gst.anItems[kx::ITEM_USES_NET] = 106;
  gst.anItems[kx::ITEM_LIB_SHOP] = AsItem(&gstLibShop);
  gst.anItems[kx::ITEM_ACTIVE_VERSION] = 25;
  gst.anItems[kx::ITEM_TOPOLOGY_COLLECTOR] = AsItem(&gstTopology);
  gst.anItems[kx::ITEM_SMARTPHONE_MODE] = 111;
  gst.anItems[kx::ITEM_LOCALE] = AsItem(static_cast<IInfoLocale*>(&gclLocale));
  gst.anItems[kx::ITEM_STRING_ALLOCATOR] = AsItem(static_cast<IStrMemAlloc*>(&gclStrMemAlloc));
  gst.anItems[kx::ITEM_MULTITHREAD_FLAG] = AsItem(&gnMultithread);
  gst.anItems[kx::ITEM_COMPONENT_INFORMATION] = AsItem(&gstComponents);
  gst.bFactoryPresent = true;
  gclFactory = CStandInGlobalFactory{};
  gclLocale.Reset();
  // Blocks still live stay counted: they exist whatever the settings.
  gclStrMemAlloc.SetVersion(2);
  gclStrMemAlloc.FailNextCalls(0);
  gclStrMemAlloc.ResetCalls();
  StandIn_SetDecimalSeparator(L'.');
  StandIn_FailNextDecimals(0);
}

struct STInit {
  STInit() {
    // This module's own copy of the shared strings takes its blocks from
    // the allocator it hands out as item 13.
    CInformationModule::ms_piStrMemAlloc = &gclStrMemAlloc;
    ResetLocked();
  }
} gstInit;

}  // namespace

KX_EXPORT std::int64_t Execution(unsigned int nMessage, std::int64_t nParam) {
  std::lock_guard<std::mutex> lock(gMutex);
  STStandInMessage st{};
  st.nMessage = nMessage;
  st.nParam = nParam;
  std::int64_t nAnswer = 0;
  switch (nMessage) {
    case kx::MSG_VM_INFORMATION:
      if (nParam == kx::ITEM_GLOBAL_FACTORY)
        nAnswer = gst.bFactoryPresent ? AsItem(static_cast<IGlobalFactory*>(&gclFactory)) : 0;
      else if (nParam >= 1 && nParam <= 15)
        nAnswer = gst.anItems[nParam];
      break;
    case kx::MSG_VM_CALL_STACK: {
      const auto* pst = reinterpret_cast<const kx::STCallStackRequest*>(static_cast<std::intptr_t>(nParam));
      if (pst != nullptr) {
        st.n1 = pst->n1;
        st.n3 = pst->n3;
        st.n4 = pst->n4;
        if (pst->psz != nullptr) std::wcsncpy(st.szText, pst->psz, 127);
      }
      nAnswer = gst.nCallStackAnswer;
      break;
    }
    case kx::MSG_VM_END_NOTICE:
      nAnswer = 1;
      break;
    default:
      break;
  }
  st.nAnswer = nAnswer;
  gst.aMessages.push_back(st);
  return nAnswer;
}

KX_EXPORT void StandIn_Reset() {
  std::lock_guard<std::mutex> lock(gMutex);
  ResetLocked();
}

KX_EXPORT void StandIn_SetItem(int nItem, std::int64_t nValue) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (nItem >= 1 && nItem <= 15) gst.anItems[nItem] = nValue;
}

KX_EXPORT std::int64_t StandIn_GetItem(int nItem) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (nItem == kx::ITEM_GLOBAL_FACTORY)
    return gst.bFactoryPresent ? AsItem(static_cast<IGlobalFactory*>(&gclFactory)) : 0;
  return nItem >= 1 && nItem <= 15 ? gst.anItems[nItem] : 0;
}

KX_EXPORT void StandIn_SetGlobalFactory(int bPresent, int nLevel) {
  std::lock_guard<std::mutex> lock(gMutex);
  gst.bFactoryPresent = bPresent != 0;
  gclFactory.m_nLevel = nLevel;
}

KX_EXPORT int StandIn_GetGlobalFactoryCalls() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gclFactory.m_nCalls;
}

KX_EXPORT void StandIn_SetCallStackAnswer(std::int64_t nAnswer) {
  std::lock_guard<std::mutex> lock(gMutex);
  gst.nCallStackAnswer = nAnswer;
}

KX_EXPORT int StandIn_GetMessageCount() {
  std::lock_guard<std::mutex> lock(gMutex);
  return static_cast<int>(gst.aMessages.size());
}

KX_EXPORT int StandIn_GetMessage(int nIndex, STStandInMessage* pstOut) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (nIndex < 0 || static_cast<size_t>(nIndex) >= gst.aMessages.size()) return 0;
  *pstOut = gst.aMessages[static_cast<size_t>(nIndex)];
  return 1;
}

KX_EXPORT void StandIn_SetLocaleInfo(int nCharset, int nCodePage, unsigned int nLCID) {
  std::lock_guard<std::mutex> lock(gMutex);
  gclLocale.SetLocaleInfo(nCharset, nCodePage, nLCID);
}

KX_EXPORT int StandIn_GetLiveStrBlocks() {
  return static_cast<int>(gclStrMemAlloc.nGetLiveBlocks());
}

KX_EXPORT int StandIn_GetStrAllocCalls() { return gclStrMemAlloc.nGetAllocationCalls(); }

KX_EXPORT void StandIn_FailNextStrAllocs(int k, int nCode) { gclStrMemAlloc.FailNextCalls(k, nCode); }

KX_EXPORT void StandIn_SetStrMemAllocVersion(int nVersion) { gclStrMemAlloc.SetVersion(nVersion); }

KX_EXPORT int StandIn_LoadString(unsigned int nId, wchar_t* pszBuffer, int nCapacity) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gst.nLoadStringCalls;
  const auto it = gst.mapTexts.find(nId);
  if (it == gst.mapTexts.end()) return 0;
  const std::wstring& sText = it->second;
  const int nLength = static_cast<int>(sText.size());
  const int nCopied = nCapacity < 0 ? 0 : (nLength < nCapacity ? nLength : nCapacity);
  if (nCopied > 0) std::wmemcpy(pszBuffer, sText.data(), static_cast<size_t>(nCopied));
  if (nLength < nCapacity && !gst.bNeverTerminate) pszBuffer[nLength] = 0;
  return nLength;
}

KX_EXPORT void StandIn_SetString(unsigned int nId, const wchar_t* pszText) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (pszText == nullptr)
    gst.mapTexts.erase(nId);
  else
    gst.mapTexts[nId] = pszText;
}

KX_EXPORT void StandIn_SetStringNeverTerminated(int bNever) {
  std::lock_guard<std::mutex> lock(gMutex);
  gst.bNeverTerminate = bNever != 0;
}

KX_EXPORT int StandIn_GetLoadStringCalls() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gst.nLoadStringCalls;
}

KX_EXPORT void StandIn_SetNumberSeparator(wchar_t cSeparator) { StandIn_SetDecimalSeparator(cSeparator); }

KX_EXPORT int StandIn_GetLiveDecimals() { return StandIn_nGetLiveDecimals(); }

KX_EXPORT int StandIn_GetLivePointerTexts() { return StandIn_nGetLivePointerTexts(); }

KX_EXPORT void StandIn_FailNextDecimalCreations(int k) { StandIn_FailNextDecimals(k); }

// ---- The runtime's value functions ------------------------------------------

KX_EXPORT int nConversionDepassementExt(const void* pSource, unsigned int nSourceType, void* pTarget,
                                        unsigned int nTargetType, unsigned int nFlags,
                                        const STOCAW* pstOptions) {
  return StandIn_nConversion(pSource, nSourceType, pTarget, nTargetType, nFlags, pstOptions);
}

#ifndef KX_STANDIN_WITHOUT_FIN_AND_MODULO
KX_EXPORT void FinConversion(void* pTarget, unsigned int nTargetType) {
  StandIn_FinConversion(pTarget, nTargetType);
}
#endif

#ifndef KX_STANDIN_WITHOUT_PROXY
KX_EXPORT void* pQueryProxy(int nId) { return StandIn_pQueryProxy(nId); }
#endif

#define KX_STANDIN_EXPORT_TYPE(name) \
  KX_EXPORT int name(unsigned int nTypeA, unsigned int nTypeB) { return StandIn_##name(nTypeA, nTypeB); }
KX_STANDIN_TYPE_OPERATORS(KX_STANDIN_EXPORT_TYPE)
#undef KX_STANDIN_EXPORT_TYPE

#define KX_STANDIN_EXPORT_COMPARE(name)                                                                \
  KX_EXPORT int name(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB,         \
                     int* pnAnswer, unsigned int nOptions, int nZero) {                                \
    return StandIn_##name(pA, nTypeA, pB, nTypeB, pnAnswer, nOptions, nZero);                          \
  }
KX_STANDIN_COMPARE_OPERATORS(KX_STANDIN_EXPORT_COMPARE)
#undef KX_STANDIN_EXPORT_COMPARE

KX_EXPORT int nNONLogiqueEx(const void* pA, unsigned int nTypeA, int* pnAnswer, unsigned int nOptions,
                            int nZero) {
  return StandIn_nNONLogiqueEx(pA, nTypeA, pnAnswer, nOptions, nZero);
}

KX_EXPORT int nNegationEx(const void* pA, unsigned int nCodeA, void* pTarget, unsigned short* pwResultType,
                          unsigned int nOptions, int nZero) {
  return StandIn_nNegationEx(pA, nCodeA, pTarget, pwResultType, nOptions, nZero);
}

#define KX_STANDIN_EXPORT_ARITH(name)                                                                  \
  KX_EXPORT int name(const void* pA, unsigned int nCodeA, const void* pB, unsigned int nCodeB,         \
                     void* pResult, unsigned short* pwResultType, unsigned int nOptions, int nZero) {  \
    return StandIn_##name(pA, nCodeA, pB, nCodeB, pResult, pwResultType, nOptions, nZero);             \
  }
KX_STANDIN_EXPORT_ARITH(nAdditionEx)
KX_STANDIN_EXPORT_ARITH(nSoustractionEx)
KX_STANDIN_EXPORT_ARITH(nMultiplicationEx)
KX_STANDIN_EXPORT_ARITH(nDivisionEx)
#ifndef KX_STANDIN_WITHOUT_FIN_AND_MODULO
KX_STANDIN_EXPORT_ARITH(nModuloEx)
#endif
#undef KX_STANDIN_EXPORT_ARITH
