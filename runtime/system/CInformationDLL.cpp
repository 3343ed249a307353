#include "CInformationDLL.h"

std::int32_t CInformationDLL::ms_nCodeProduitExecution = 0;
std::int32_t CInformationDLL::ms_nLangueInterne = 12;
const wchar_t* CInformationDLL::ms_pszNomProduit = L"Korvex";
std::uint64_t CInformationDLL::ms_dwOptions = 0;
std::int32_t CInformationDLL::ms_nCodeProduitReel = 0;
ILibShop* CInformationDLL::ms_piLibShop = nullptr;
std::uint32_t CInformationDLL::ms_dwVersionActive = 20;
IGlobalFactory* CInformationDLL::ms_piGlobalFactory = nullptr;
ICollecteurTopo* CInformationDLL::ms_piCollecteurTopo = nullptr;
IInfoLocale* CInformationDLL::ms_piInfoLocale = nullptr;
std::int32_t* CInformationDLL::ms_pbMultithread = nullptr;
IInformationComposante* CInformationDLL::ms_piInformationComposante = nullptr;

IStrMemAlloc* CInformationModule::ms_piStrMemAlloc = nullptr;

void CInformationDLL::ResetDefaults() {
  ms_nCodeProduitExecution = 0;
  ms_nLangueInterne = 12;
  ms_pszNomProduit = L"Korvex";
  ms_dwOptions = 0;
  ms_nCodeProduitReel = 0;
  ms_piLibShop = nullptr;
  ms_dwVersionActive = 20;
  ms_piGlobalFactory = nullptr;
  ms_piCollecteurTopo = nullptr;
  ms_piInfoLocale = nullptr;
  ms_pbMultithread = nullptr;
  ms_piInformationComposante = nullptr;
  CInformationModule::ms_piStrMemAlloc = nullptr;
}
