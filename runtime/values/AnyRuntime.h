// The runtime's functions that typed values call: its general conversion and
// the release of a conversion's result, its factory of decimal objects, and
// its 30 operators. They are the runtime's own rules (number to text, text
// to date, comparisons, arithmetic), handed to the library by name when the
// runtime calls the exports bInitTNConvFromVM and bInitTNCalcFromVM.
//
// Binding: each export looks up all its names first and stores them, with
// the module, version and level, only when every one is found; a refused
// binding leaves an earlier one whole. Until a binding holds, every call
// that needs it answers 105 (never a call through null). A missing
// "pQueryProxy" keeps the conversion pair bound (the export answers 0);
// without a factory a DECIMAL holds no object and what needs one answers
// 105.
//
// The pointers are written at binding, which the runtime does before any
// value work and under the driver's process-wide lock, and only read after.
#pragma once

#include "CAny.h"

class IVMFactory;

extern "C" {
// source: a value area of sourceType (a wide text: pointer to its pointer,
// type 110); target: a 40-byte buffer receiving the value area of
// targetType. At most 99: converted; above 99: a failure code.
typedef int (*PFN_CONVDEPEXT)(const void* pSource, unsigned int nSourceType, void* pTarget,
                              unsigned int nTargetType, unsigned int nFlags, const STOCAW* pstOptions);
// Releases what a successful conversion left in the target.
typedef void (*PFN_FINCONV)(void* pTarget, unsigned int nTargetType);
typedef void* (*PFN_QUERYPROXY)(int nId);
// Comparison, matching, logic (type words passed whole).
typedef int (*PFN_OPCOMPARE)(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB,
                             int* pnAnswer, unsigned int nOptions, int nZero);
typedef int (*PFN_OPNOT)(const void* pA, unsigned int nTypeA, int* pnAnswer, unsigned int nOptions,
                         int nZero);
// Arithmetic: 40 bytes of the result's value area, its type.
typedef int (*PFN_OPARITH)(const void* pA, unsigned int nCodeA, const void* pB, unsigned int nCodeB,
                           void* pResult, unsigned short* pwResultType, unsigned int nOptions, int nZero);
typedef int (*PFN_OPNEG)(const void* pA, unsigned int nCodeA, void* pTarget, unsigned short* pwResultType,
                         unsigned int nOptions, int nZero);
// The six result-type queries (bound, not used).
typedef int (*PFN_OPANY)();
}

// The conversion binding.
extern PFN_CONVDEPEXT gpfnConvDepExt;
extern PFN_FINCONV gpfnFinConv;
extern void* ghConvVM;
extern int gnVersionConvVM;
extern int gnVersionCompatConvVM;
// The runtime's factory of decimal objects (null: none).
extern IVMFactory* gpiVMFactory;

// The operator binding, in the order the names are looked up (null until
// bound).
extern PFN_OPANY gpfnCompareEx;            // "bCanCompareEx"
extern PFN_OPANY gpfnGetTypeAjouteEx;      // "wAjouteEx"
extern PFN_OPANY gpfnGetTypeSoustraitEx;   // "wSoustraitEx"
extern PFN_OPANY gpfnGetTypeMultiplieEx;   // "wMultiplieEx"
extern PFN_OPANY gpfnGetTypeDiviseEx;      // "wDiviseEx"
extern PFN_OPANY gpfnGetTypeModuloEx;      // "wModuloEx"
extern PFN_OPCOMPARE gpfnComparaisonEx;    // "nComparaisonEx"
extern PFN_OPCOMPARE gpfnEgaliteEx;        // "nEgaliteEx"
extern PFN_OPCOMPARE gpfnSuperieurEx;      // "nSuperieurEx"
extern PFN_OPCOMPARE gpfnInferieurEx;      // "nInferieurEx"
extern PFN_OPCOMPARE gpfnPresqueEgalEx;    // "nPresqueEgalEx"
extern PFN_OPCOMPARE gpfnSoupleEgalEx;     // "nSoupleEgalEx"
extern PFN_OPCOMPARE gpfnCommenceParEx;    // "nCommenceParEx"
extern PFN_OPCOMPARE gpfnCommenceParSoupleEx;
extern PFN_OPCOMPARE gpfnCommenceParTresSoupleEx;
extern PFN_OPCOMPARE gpfnContientEx;
extern PFN_OPCOMPARE gpfnContientSoupleEx;
extern PFN_OPCOMPARE gpfnContientTresSoupleEx;
extern PFN_OPCOMPARE gpfnTermineParEx;
extern PFN_OPCOMPARE gpfnTermineParSoupleEx;
extern PFN_OPCOMPARE gpfnTermineParTresSoupleEx;
extern PFN_OPCOMPARE gpfnETLogiqueEx;      // "nETLogiqueEx"
extern PFN_OPCOMPARE gpfnOULogiqueEx;      // "nOULogiqueEx"
extern PFN_OPNOT gpfnNONLogiqueEx;         // "nNONLogiqueEx"
extern PFN_OPNEG gpfnNegationEx;           // "nNegationEx"
extern PFN_OPARITH gpfnAdditionEx;         // "nAdditionEx"
extern PFN_OPARITH gpfnSoustractionEx;     // "nSoustractionEx"
extern PFN_OPARITH gpfnMultiplicationEx;   // "nMultiplicationEx"
extern PFN_OPARITH gpfnDivisionEx;         // "nDivisionEx"
extern PFN_OPARITH gpfnModuloEx;           // "nModuloEx"
extern void* ghCalcVM;
extern int gnVersionCalcVM;
extern int gnVersionCompatCalcVM;

extern "C" {
// Exported: 1 when bound, 0 when refused (null module, version below 2,
// level 3 or more, a missing name).
__attribute__((visibility("default"))) int bInitTNConvFromVM(void* hModule, int nVersion, int nCompatLevel);
__attribute__((visibility("default"))) int bInitTNCalcFromVM(void* hModule, int nVersion, int nCompatLevel);
}
// Hands the recorded binding on to another module that exports the same
// function (true when it has none). Not exported.
bool bInitTNConvFromServeur_OBSOLETE(void* hModule);
bool bInitTNCalcFromServeur(void* hModule);
