// The binding of the runtime's conversions and operators: looked up by name
// in the module the runtime hands over, stored only when all of a set are
// found, so that a refused or partial binding never leaves a mix of two
// modules' functions or a null one behind a bound flag.
#include <dlfcn.h>

#include "AnyRuntime.h"

PFN_CONVDEPEXT gpfnConvDepExt = nullptr;
PFN_FINCONV gpfnFinConv = nullptr;
void* ghConvVM = nullptr;
int gnVersionConvVM = 0;
int gnVersionCompatConvVM = 0;
IVMFactory* gpiVMFactory = nullptr;

PFN_OPANY gpfnCompareEx = nullptr;
PFN_OPANY gpfnGetTypeAjouteEx = nullptr;
PFN_OPANY gpfnGetTypeSoustraitEx = nullptr;
PFN_OPANY gpfnGetTypeMultiplieEx = nullptr;
PFN_OPANY gpfnGetTypeDiviseEx = nullptr;
PFN_OPANY gpfnGetTypeModuloEx = nullptr;
PFN_OPCOMPARE gpfnComparaisonEx = nullptr;
PFN_OPCOMPARE gpfnEgaliteEx = nullptr;
PFN_OPCOMPARE gpfnSuperieurEx = nullptr;
PFN_OPCOMPARE gpfnInferieurEx = nullptr;
PFN_OPCOMPARE gpfnPresqueEgalEx = nullptr;
PFN_OPCOMPARE gpfnSoupleEgalEx = nullptr;
PFN_OPCOMPARE gpfnCommenceParEx = nullptr;
PFN_OPCOMPARE gpfnCommenceParSoupleEx = nullptr;
PFN_OPCOMPARE gpfnCommenceParTresSoupleEx = nullptr;
PFN_OPCOMPARE gpfnContientEx = nullptr;
PFN_OPCOMPARE gpfnContientSoupleEx = nullptr;
PFN_OPCOMPARE gpfnContientTresSoupleEx = nullptr;
PFN_OPCOMPARE gpfnTermineParEx = nullptr;
PFN_OPCOMPARE gpfnTermineParSoupleEx = nullptr;
PFN_OPCOMPARE gpfnTermineParTresSoupleEx = nullptr;
PFN_OPCOMPARE gpfnETLogiqueEx = nullptr;
PFN_OPCOMPARE gpfnOULogiqueEx = nullptr;
PFN_OPNOT gpfnNONLogiqueEx = nullptr;
PFN_OPNEG gpfnNegationEx = nullptr;
PFN_OPARITH gpfnAdditionEx = nullptr;
PFN_OPARITH gpfnSoustractionEx = nullptr;
PFN_OPARITH gpfnMultiplicationEx = nullptr;
PFN_OPARITH gpfnDivisionEx = nullptr;
PFN_OPARITH gpfnModuloEx = nullptr;
void* ghCalcVM = nullptr;
int gnVersionCalcVM = 0;
int gnVersionCompatCalcVM = 0;

namespace {

// The versions the library understands.
bool bVersionAccepted(int nVersion, int nCompatLevel) { return nCompatLevel < 3 && nVersion >= 2; }

void* pLookUp(void* hModule, const char* pszName) {
  ::dlerror();
  return ::dlsym(hModule, pszName);
}

template <typename PFN>
void Store(PFN& pfnGlobal, void* p) {
  pfnGlobal = reinterpret_cast<PFN>(p);
}

struct STOperatorSlot {
  const char* pszName;
  void (*pfnStore)(void*);
};

// The 30 names in lookup order, each with the global it fills.
#define KX_OPERATOR(name, global) {name, [](void* p) { Store(global, p); }}
const STOperatorSlot kastOperators[] = {
    KX_OPERATOR("bCanCompareEx", gpfnCompareEx),
    KX_OPERATOR("wAjouteEx", gpfnGetTypeAjouteEx),
    KX_OPERATOR("wSoustraitEx", gpfnGetTypeSoustraitEx),
    KX_OPERATOR("wMultiplieEx", gpfnGetTypeMultiplieEx),
    KX_OPERATOR("wDiviseEx", gpfnGetTypeDiviseEx),
    KX_OPERATOR("wModuloEx", gpfnGetTypeModuloEx),
    KX_OPERATOR("nComparaisonEx", gpfnComparaisonEx),
    KX_OPERATOR("nEgaliteEx", gpfnEgaliteEx),
    KX_OPERATOR("nSuperieurEx", gpfnSuperieurEx),
    KX_OPERATOR("nInferieurEx", gpfnInferieurEx),
    KX_OPERATOR("nPresqueEgalEx", gpfnPresqueEgalEx),
    KX_OPERATOR("nSoupleEgalEx", gpfnSoupleEgalEx),
    KX_OPERATOR("nCommenceParEx", gpfnCommenceParEx),
    KX_OPERATOR("nCommenceParSoupleEx", gpfnCommenceParSoupleEx),
    KX_OPERATOR("nCommenceParTresSoupleEx", gpfnCommenceParTresSoupleEx),
    KX_OPERATOR("nContientEx", gpfnContientEx),
    KX_OPERATOR("nContientSoupleEx", gpfnContientSoupleEx),
    KX_OPERATOR("nContientTresSoupleEx", gpfnContientTresSoupleEx),
    KX_OPERATOR("nTermineParEx", gpfnTermineParEx),
    KX_OPERATOR("nTermineParSoupleEx", gpfnTermineParSoupleEx),
    KX_OPERATOR("nTermineParTresSoupleEx", gpfnTermineParTresSoupleEx),
    KX_OPERATOR("nETLogiqueEx", gpfnETLogiqueEx),
    KX_OPERATOR("nOULogiqueEx", gpfnOULogiqueEx),
    KX_OPERATOR("nNONLogiqueEx", gpfnNONLogiqueEx),
    KX_OPERATOR("nNegationEx", gpfnNegationEx),
    KX_OPERATOR("nAdditionEx", gpfnAdditionEx),
    KX_OPERATOR("nSoustractionEx", gpfnSoustractionEx),
    KX_OPERATOR("nMultiplicationEx", gpfnMultiplicationEx),
    KX_OPERATOR("nDivisionEx", gpfnDivisionEx),
    KX_OPERATOR("nModuloEx", gpfnModuloEx),
};
#undef KX_OPERATOR
static_assert(sizeof kastOperators / sizeof kastOperators[0] == 30, "the runtime's 30 operators");

}  // namespace

extern "C" int bInitTNConvFromVM(void* hModule, int nVersion, int nCompatLevel) {
  // A null module would make dlsym search the whole process.
  if (hModule == nullptr || !bVersionAccepted(nVersion, nCompatLevel)) return 0;
  void* pConv = pLookUp(hModule, "nConversionDepassementExt");
  void* pFin = pLookUp(hModule, "FinConversion");
  if (pConv == nullptr || pFin == nullptr) return 0;
  Store(gpfnConvDepExt, pConv);
  Store(gpfnFinConv, pFin);
  ghConvVM = hModule;
  gnVersionConvVM = nVersion;
  gnVersionCompatConvVM = nCompatLevel;
  // The conversions stand without the factory; only decimals need it.
  void* pQuery = pLookUp(hModule, "pQueryProxy");
  if (pQuery == nullptr) return 0;
  gpiVMFactory = static_cast<IVMFactory*>(reinterpret_cast<PFN_QUERYPROXY>(pQuery)(102));
  return 1;
}

extern "C" int bInitTNCalcFromVM(void* hModule, int nVersion, int nCompatLevel) {
  if (hModule == nullptr || !bVersionAccepted(nVersion, nCompatLevel)) return 0;
  void* apFound[sizeof kastOperators / sizeof kastOperators[0]];
  for (std::size_t i = 0; i < sizeof kastOperators / sizeof kastOperators[0]; ++i) {
    apFound[i] = pLookUp(hModule, kastOperators[i].pszName);
    if (apFound[i] == nullptr) return 0;
  }
  for (std::size_t i = 0; i < sizeof kastOperators / sizeof kastOperators[0]; ++i)
    kastOperators[i].pfnStore(apFound[i]);
  ghCalcVM = hModule;
  gnVersionCalcVM = nVersion;
  gnVersionCompatCalcVM = nCompatLevel;
  return 1;
}

namespace {

typedef int (*PFN_INITFROMVM)(void*, int, int);

bool bHandOn(void* hModule, const char* pszExport, void* hRecorded, int nVersion, int nCompatLevel) {
  if (hModule == nullptr) return true;
  void* p = pLookUp(hModule, pszExport);
  if (p == nullptr) return true;
  return reinterpret_cast<PFN_INITFROMVM>(p)(hRecorded, nVersion, nCompatLevel) != 0;
}

}  // namespace

bool bInitTNConvFromServeur_OBSOLETE(void* hModule) {
  return bHandOn(hModule, "bInitTNConvFromVM", ghConvVM, gnVersionConvVM, gnVersionCompatConvVM);
}

bool bInitTNCalcFromServeur(void* hModule) {
  return bHandOn(hModule, "bInitTNCalcFromVM", ghCalcVM, gnVersionCalcVM, gnVersionCompatCalcVM);
}
