// Operators on typed values: comparisons, text matching, logic and
// arithmetic, computed by the runtime's bound operators (AnyRuntime.h) under
// one NULL policy, and the debugging text of a value.
//
// - Comparison, matching and logic: 103 at once when an operand is NULL (a
//   null pointer counts as NULL), the answer untouched; 105 when the
//   operators are not bound; otherwise the runtime's result (above 99 a
//   failure). With a CAny answer the answer is set whatever the runtime
//   answered: I4 (the three-way order) for nCompare, BOOL for the others.
//   nDifferent, nSupEgal and nInfEgal negate the runtime's equality, "less
//   than" and "greater than", computed into a local answer that starts at
//   0, so a failure answers true beside its code.
// - Arithmetic computes on the stored values of NULL operands and marks the
//   result NULL; on a failure (above 99) the result is not touched.
// - nGetString never fails on its own: it writes "<ERROR>" and returns the
//   code of what failed.
#pragma once

#include "CAny.h"

class CTString;

#define KX_ANY_COMPARISON(name)                                                     \
  int name(const CAny& a, const CAny& b, int* pnAnswer, unsigned int nOptions);      \
  int name(const CAny& a, const CAny& b, CAny* pAnswer, unsigned int nOptions);
KX_ANY_COMPARISON(nPresqueEgal)
KX_ANY_COMPARISON(nSoupleEgal)
KX_ANY_COMPARISON(nCommencePar)
KX_ANY_COMPARISON(nCommenceParSouple)
KX_ANY_COMPARISON(nCommenceParTresSouple)
KX_ANY_COMPARISON(nContient)
KX_ANY_COMPARISON(nContientSouple)
KX_ANY_COMPARISON(nContientTresSouple)
KX_ANY_COMPARISON(nTerminePar)
KX_ANY_COMPARISON(nTermineParSouple)
KX_ANY_COMPARISON(nTermineParTresSouple)
KX_ANY_COMPARISON(nEgalite)
KX_ANY_COMPARISON(nDifferent)
KX_ANY_COMPARISON(nSuperieur)
KX_ANY_COMPARISON(nSupEgal)
KX_ANY_COMPARISON(nInferieur)
KX_ANY_COMPARISON(nInfEgal)
KX_ANY_COMPARISON(nAnd)
KX_ANY_COMPARISON(nOr)
#undef KX_ANY_COMPARISON

// Three-way order (below, equal, above zero).
int nCompare(const CAny& a, const CAny& b, int* pnAnswer, unsigned int nOptions);
// The order as an I4 value (options 0).
int nCompare(const CAny& a, const CAny& b, CAny* pAnswer);
// Pointer forms: a null pointer counts as a NULL operand.
int nCompare(const CAny* pa, const CAny* pb, int* pnAnswer, unsigned int nOptions);
int nEgalite(const CAny* pa, const CAny* pb, int* pnAnswer, unsigned int nOptions);

int nNot(const CAny& a, int* pnAnswer, unsigned int nOptions);
int nNot(const CAny& a, CAny* pAnswer, unsigned int nOptions);
// The runtime's negation written straight into the result.
int nNegatif(const CAny& a, CAny* pResult, unsigned int nOptions);
// A copy of a (the options are not used); 0.
int nPositif(const CAny& a, CAny* pResult, unsigned int nOptions);

int nAjoute(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nAjouteEx(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nSoustrait(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nMultiplie(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nDivise(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
int nModulo(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions);
// a += b, a -= b; a is untouched on a failure.
int nIncrementeNumerique(CAny* pa, const CAny& b);
int nDecrementeNumerique(CAny* pa, const CAny& b);

// The prefix, then "<Empty>", "<NULL>", the value's text or "<ERROR>"; with
// bDetail the type, the data size and (up to 500 bytes) the data in
// hexadecimal. The pointer forms give the prefix and "<NULL>" for null.
int nGetString(CXYString<wchar_t>* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail);
int nGetString(CXYString<wchar_t>* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail);
int nGetString(CTString* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail);
int nGetString(CTString* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail);
