#include "CBaseExecutionDLL.h"

#include <new>
#include <dlfcn.h>

#include "CInformationDLL.h"
#include "CNABoundary.h"
#include "IGlobalFactory.h"

CBaseExecutionDLL* gpclExecutionDLL76 = nullptr;
unsigned int CBaseExecutionDLL::ms_nNbInitialisation = 0;

int CBaseExecutionDLL::vbInitialiseDLL() { return 1; }
void CBaseExecutionDLL::vSetUtilisation(unsigned int, unsigned int) {}
void CBaseExecutionDLL::vTermineDLL() {}
void CBaseExecutionDLL::vChangeLangue() {}
void CBaseExecutionDLL::vDesactiveApplication() {}
void CBaseExecutionDLL::vReactiveApplication() {}
int CBaseExecutionDLL::vbInitialiseTypeDINO(CXError*) { return 1; }
int CBaseExecutionDLL::vbDumpMemoire(IDumpMemoire*) { return 0; }

namespace {

template <typename T>
T* AsPointer(std::int64_t n) {
  return reinterpret_cast<T*>(static_cast<std::intptr_t>(n));
}

}  // namespace

std::int64_t CBaseExecutionDLL::_nAskVM(int nItem) const {
  if (m_pfnExecutionVM == nullptr) return 0;
  return m_pfnExecutionVM(kx::MSG_VM_INFORMATION, nItem);
}

bool CBaseExecutionDLL::_bInitialiseCommun(kx::HMODULE hModule) {
  m_hModuleVM = hModule;
  m_pfnExecutionVM = reinterpret_cast<kx::PFN_EXECUTION_VM>(dlsym(hModule, "Execution"));
  if (m_pfnExecutionVM == nullptr) return false;
  CInformationDLL::ms_piGlobalFactory = AsPointer<IGlobalFactory>(_nAskVM(kx::ITEM_GLOBAL_FACTORY));
  CInformationDLL::ms_piCollecteurTopo =
      AsPointer<ICollecteurTopo>(_nAskVM(kx::ITEM_TOPOLOGY_COLLECTOR));
  CInformationDLL::ms_piInfoLocale = AsPointer<IInfoLocale>(_nAskVM(kx::ITEM_LOCALE));
  CInformationModule::ms_piStrMemAlloc =
      AsPointer<IStrMemAlloc>(_nAskVM(kx::ITEM_STRING_ALLOCATOR));
  CInformationDLL::ms_piInformationComposante =
      AsPointer<IInformationComposante>(_nAskVM(kx::ITEM_COMPONENT_INFORMATION));
  return true;
}

int CBaseExecutionDLL::_nInitialise(kx::HMODULE hModule, ILibShop* piLibShop) {
  if (hModule != nullptr) {
    if (!_bInitialiseCommun(hModule)) return 0;
    CInformationDLL::ms_piLibShop =
        piLibShop != nullptr ? piLibShop : AsPointer<ILibShop>(_nAskVM(kx::ITEM_LIB_SHOP));
    CInformationDLL::ms_nCodeProduitExecution =
        static_cast<std::int32_t>(_nAskVM(kx::ITEM_PRODUCT_CODE));
    CInformationDLL::ms_nCodeProduitReel =
        static_cast<std::int32_t>(_nAskVM(kx::ITEM_REAL_PRODUCT_CODE));
    CInformationDLL::ms_nLangueInterne =
        static_cast<std::int32_t>(_nAskVM(kx::ITEM_INTERNAL_LANGUAGE));
    CInformationDLL::ms_pszNomProduit = AsPointer<const wchar_t>(_nAskVM(kx::ITEM_PRODUCT_NAME));
    CInformationDLL::ms_dwOptions = static_cast<std::uint64_t>(_nAskVM(kx::ITEM_OPTIONS));
    const auto dwVersion = static_cast<std::uint32_t>(_nAskVM(kx::ITEM_ACTIVE_VERSION));
    if (dwVersion > CInformationDLL::ms_dwVersionActive)
      CInformationDLL::ms_dwVersionActive = dwVersion;
    CInformationDLL::ms_pbMultithread = AsPointer<std::int32_t>(_nAskVM(kx::ITEM_MULTITHREAD_FLAG));
  }
  return vbInitialiseDLL();
}

std::int64_t CBaseExecutionDLL::s_nExecution(unsigned int nMessage, void* pParam) {
  CBaseExecutionDLL* const pcl = gpclExecutionDLL76;
  switch (nMessage) {
    case kx::MSG_INITIALISE: {
      const auto* pstRecord = static_cast<const kx::STInitialiseRecord*>(pParam);
      // Without its record the message cannot be honoured: refuse it rather
      // than read through a null pointer.
      if (pstRecord == nullptr) return 0;
      if (gpclExecutionDLL76 == nullptr) {
        // The runtime's process must survive a shortage: refuse the message.
        gpclExecutionDLL76 = new (std::nothrow) CBaseExecutionDLL();
        if (gpclExecutionDLL76 == nullptr) return 0;
        ILibShop* piLibShop = pstRecord->nSize > 15 ? pstRecord->piLibShop : nullptr;
        if (gpclExecutionDLL76->_nInitialise(pstRecord->hModule, piLibShop) == 0) return 0;
      }
      gpclExecutionDLL76->vSetUtilisation(pstRecord->nUsage1, pstRecord->nUsage2);
      ++ms_nNbInitialisation;
      return 1;
    }
    case kx::MSG_TERMINATE:
      if (ms_nNbInitialisation != 0 && --ms_nNbInitialisation != 0) return 1;
      if (pcl != nullptr) {
        pcl->m_nSansNotificationFin = 1;
        pcl->vTermineDLL();
        delete pcl;
        gpclExecutionDLL76 = nullptr;
      }
      return 1;
    case kx::MSG_LOCALE:
      CInformationDLL::ms_piInfoLocale = static_cast<IInfoLocale*>(pParam);
      return 1;
    case kx::MSG_CHANGE_LANGUAGE:
      if (pcl != nullptr) pcl->vChangeLangue();
      return 1;
    case kx::MSG_INIT_TYPES: {
      IGlobalFactory* piFactory = CInformationDLL::ms_piGlobalFactory;
      if (piFactory == nullptr || piFactory->vnGetLevel() <= 1) return 1;
      if (pcl == nullptr || pcl->vbInitialiseTypeDINO(static_cast<CXError*>(pParam)) == 0) return 2;
      return 1;
    }
    case kx::MSG_MEMORY_DUMP:
      if (pcl == nullptr) return 0;
      return pcl->vbDumpMemoire(static_cast<IDumpMemoire*>(pParam)) != 0 ? 1 : 0;
    case kx::MSG_DEACTIVATE:
      if (pcl != nullptr) pcl->vDesactiveApplication();
      return 1;
    case kx::MSG_REACTIVATE:
      if (pcl != nullptr) pcl->vReactiveApplication();
      return 1;
    default:
      return 0;
  }
}

kx::HMODULE CBaseExecutionDLL::s_hGetHinstanceVM() {
  return gpclExecutionDLL76 != nullptr ? gpclExecutionDLL76->m_hModuleVM : nullptr;
}

void CBaseExecutionDLL::s_InitLibShopMoiMeme() {
  if (CInformationDLL::ms_piLibShop != nullptr || gpclExecutionDLL76 == nullptr) return;
  CInformationDLL::ms_piLibShop =
      AsPointer<ILibShop>(gpclExecutionDLL76->_nAskVM(kx::ITEM_LIB_SHOP));
}

int CBaseExecutionDLL::s_bRemplitPileC(int n1, wchar_t* psz, int n3, int n4) {
  if (gpclExecutionDLL76 == nullptr || gpclExecutionDLL76->m_pfnExecutionVM == nullptr) return 0;
  kx::STCallStackRequest stRequest{n1, psz, n3, n4};
  const std::int64_t nAnswer = gpclExecutionDLL76->m_pfnExecutionVM(
      kx::MSG_VM_CALL_STACK, reinterpret_cast<std::intptr_t>(&stRequest));
  return nAnswer != 0 ? 1 : 0;
}

std::int64_t CBaseExecutionDLL::_bUtiliseNET() {
  return gpclExecutionDLL76 != nullptr ? gpclExecutionDLL76->_nAskVM(kx::ITEM_USES_NET) : 0;
}

std::int64_t CBaseExecutionDLL::s_eGetModeSmartphone() {
  return gpclExecutionDLL76 != nullptr ? gpclExecutionDLL76->_nAskVM(kx::ITEM_SMARTPHONE_MODE)
                                       : 0;
}

int CBaseExecutionDLL::s_bInitialiseMoiMeme(kx::HMODULE hModule) {
  if (gpclExecutionDLL76 != nullptr) return 1;
  gpclExecutionDLL76 = new (std::nothrow) CBaseExecutionDLL();
  if (gpclExecutionDLL76 == nullptr) return 0;
  if (hModule != nullptr && !gpclExecutionDLL76->_bInitialiseCommun(hModule)) return 0;
  if (gpclExecutionDLL76->vbInitialiseDLL() == 0) return 0;
  gpclExecutionDLL76->m_nSansNotificationFin = 1;
  return 1;
}

void CBaseExecutionDLL::s_TermineMoiMeme() {
  delete gpclExecutionDLL76;
  gpclExecutionDLL76 = nullptr;
}

void CBaseExecutionDLL::s_TermineDLL() {
  CBaseExecutionDLL* const pcl = gpclExecutionDLL76;
  if (pcl == nullptr || pcl->m_nSansNotificationFin != 0 || pcl->m_pfnExecutionVM == nullptr)
    return;
  pcl->m_pfnExecutionVM(kx::MSG_VM_END_NOTICE, 0);
  delete pcl;
  gpclExecutionDLL76 = nullptr;
}

extern "C" std::int64_t Execution(unsigned int nMessage, void* pParam) {
  return NA_tBoundary<std::int64_t>(nullptr, NA_BOUNDARY_CATCH, 0, [&]() -> std::int64_t {
    return CBaseExecutionDLL::s_nExecution(nMessage, pParam);
  });
}
