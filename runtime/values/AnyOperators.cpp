// Operators on typed values through the runtime's bound operators, and the
// debugging text of a value.
#include "AnyOperators.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "AnyHandlers.h"
#include "AnyRuntime.h"
#include "CTString.h"

namespace {

constexpr int knLastSuccess = 99;

// The int form: NULL first, then the binding, then the runtime with the
// caller's answer (or a local one, negated, for the three negated forms).
int nComparison(PFN_OPCOMPARE pfn, const CAny& a, const CAny& b, int* pnAnswer, unsigned int nOptions,
                bool bNegate) {
  if (a.bIsNull() || b.bIsNull()) return ANY_ERR_NULL;
  if (pfn == nullptr) return ANY_ERR_IMPOSSIBLE;
  if (!bNegate) return pfn(a.pbyValue(), a.wGetType(), b.pbyValue(), b.wGetType(), pnAnswer, nOptions, 0);
  int nLocal = 0;
  const int nResult = pfn(a.pbyValue(), a.wGetType(), b.pbyValue(), b.wGetType(), &nLocal, nOptions, 0);
  if (pnAnswer != nullptr) *pnAnswer = nLocal == 0 ? 1 : 0;
  return nResult;
}

// The CAny form: the int form into a local answer, then the answer value
// set whatever the result (but not for a NULL operand).
int nComparisonAny(PFN_OPCOMPARE pfn, const CAny& a, const CAny& b, CAny* pAnswer, unsigned int nOptions,
                   bool bNegate, bool bOrder) {
  if (a.bIsNull() || b.bIsNull()) return ANY_ERR_NULL;
  int nLocal = 0;
  const int nResult = nComparison(pfn, a, b, &nLocal, nOptions, bNegate);
  if (pAnswer != nullptr) {
    if (bOrder)
      pAnswer->SetI4(nLocal);
    else
      pAnswer->SetBOOL(nLocal != 0 ? 1 : 0);
  }
  return nResult;
}

// Arithmetic: the runtime's 40 bytes moved into the result.
int nArithmetic(PFN_OPARITH pfn, const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  if (pfn == nullptr || pResult == nullptr) return ANY_ERR_IMPOSSIBLE;
  const bool bNull = a.bIsNull() || b.bIsNull();
  unsigned char abyResult[knAnyValueSize] = {};
  unsigned short wResultType = 0;
  const int nResult = pfn(a.pbyValue(), a.nGetTypeCode(), b.pbyValue(), b.nGetTypeCode(), abyResult,
                          &wResultType, nOptions, 0);
  if (nResult > knLastSuccess) return nResult;
  pResult->__TransfertValeurInterne(wResultType, abyResult);
  pResult->ClearFlags();
  if (bNull) pResult->SetNull();
  return nResult;
}

}  // namespace

#define KX_ANY_COMPARISON(name, global, negate)                                         \
  int name(const CAny& a, const CAny& b, int* pnAnswer, unsigned int nOptions) {       \
    return nComparison(global, a, b, pnAnswer, nOptions, negate);                      \
  }                                                                                    \
  int name(const CAny& a, const CAny& b, CAny* pAnswer, unsigned int nOptions) {       \
    return nComparisonAny(global, a, b, pAnswer, nOptions, negate, false);             \
  }
KX_ANY_COMPARISON(nPresqueEgal, gpfnPresqueEgalEx, false)
KX_ANY_COMPARISON(nSoupleEgal, gpfnSoupleEgalEx, false)
KX_ANY_COMPARISON(nCommencePar, gpfnCommenceParEx, false)
KX_ANY_COMPARISON(nCommenceParSouple, gpfnCommenceParSoupleEx, false)
KX_ANY_COMPARISON(nCommenceParTresSouple, gpfnCommenceParTresSoupleEx, false)
KX_ANY_COMPARISON(nContient, gpfnContientEx, false)
KX_ANY_COMPARISON(nContientSouple, gpfnContientSoupleEx, false)
KX_ANY_COMPARISON(nContientTresSouple, gpfnContientTresSoupleEx, false)
KX_ANY_COMPARISON(nTerminePar, gpfnTermineParEx, false)
KX_ANY_COMPARISON(nTermineParSouple, gpfnTermineParSoupleEx, false)
KX_ANY_COMPARISON(nTermineParTresSouple, gpfnTermineParTresSoupleEx, false)
KX_ANY_COMPARISON(nEgalite, gpfnEgaliteEx, false)
KX_ANY_COMPARISON(nDifferent, gpfnEgaliteEx, true)
KX_ANY_COMPARISON(nSuperieur, gpfnSuperieurEx, false)
KX_ANY_COMPARISON(nSupEgal, gpfnInferieurEx, true)
KX_ANY_COMPARISON(nInferieur, gpfnInferieurEx, false)
KX_ANY_COMPARISON(nInfEgal, gpfnSuperieurEx, true)
KX_ANY_COMPARISON(nAnd, gpfnETLogiqueEx, false)
KX_ANY_COMPARISON(nOr, gpfnOULogiqueEx, false)
#undef KX_ANY_COMPARISON

int nCompare(const CAny& a, const CAny& b, int* pnAnswer, unsigned int nOptions) {
  return nComparison(gpfnComparaisonEx, a, b, pnAnswer, nOptions, false);
}

int nCompare(const CAny& a, const CAny& b, CAny* pAnswer) {
  return nComparisonAny(gpfnComparaisonEx, a, b, pAnswer, 0, false, true);
}

int nCompare(const CAny* pa, const CAny* pb, int* pnAnswer, unsigned int nOptions) {
  if (pa == nullptr || pb == nullptr) return ANY_ERR_NULL;
  return nCompare(*pa, *pb, pnAnswer, nOptions);
}

int nEgalite(const CAny* pa, const CAny* pb, int* pnAnswer, unsigned int nOptions) {
  if (pa == nullptr || pb == nullptr) return ANY_ERR_NULL;
  return nEgalite(*pa, *pb, pnAnswer, nOptions);
}

int nNot(const CAny& a, int* pnAnswer, unsigned int nOptions) {
  if (a.bIsNull()) return ANY_ERR_NULL;
  const PFN_OPNOT pfn = gpfnNONLogiqueEx;
  if (pfn == nullptr) return ANY_ERR_IMPOSSIBLE;
  return pfn(a.pbyValue(), a.wGetType(), pnAnswer, nOptions, 0);
}

int nNot(const CAny& a, CAny* pAnswer, unsigned int nOptions) {
  if (a.bIsNull()) return ANY_ERR_NULL;
  int nLocal = 0;
  const int nResult = nNot(a, &nLocal, nOptions);
  if (pAnswer != nullptr) pAnswer->SetBOOL(nLocal != 0 ? 1 : 0);
  return nResult;
}

int nNegatif(const CAny& a, CAny* pResult, unsigned int nOptions) {
  const PFN_OPNEG pfn = gpfnNegationEx;
  if (pfn == nullptr || pResult == nullptr) return ANY_ERR_IMPOSSIBLE;
  if (pResult == &a) {
    // The result is retyped before the runtime reads the operand.
    const CAny clOperand(a);
    return nNegatif(clOperand, pResult, nOptions);
  }
  const bool bNull = a.bIsNull();
  pResult->__SetType(a.nGetTypeCode(), 0);
  unsigned short wResultType = a.nGetTypeCode();
  const int nResult = pfn(a.pbyValue(), a.nGetTypeCode(), pResult->pbyValue(), &wResultType, nOptions, 0);
  if (nResult > knLastSuccess) return nResult;
  if (wResultType != pResult->nGetTypeCode()) {
    // The value area is the runtime's output now: the handler changes
    // without releasing it as the old type's.
    unsigned char abyOutput[knAnyValueSize];
    std::memcpy(abyOutput, pResult->pbyValue(), sizeof abyOutput);
    pResult->m_clIntern.SetTable(&CAny_Intern::ms_stTable);
    pResult->m_clIntern.m_wType = 0;
    pResult->__TransfertValeurInterne(wResultType, abyOutput);
  }
  pResult->ClearFlags();
  if (bNull) pResult->SetNull();
  return nResult;
}

int nPositif(const CAny& a, CAny* pResult, unsigned int) {
  if (pResult != nullptr) *pResult = a;
  return ANY_OK;
}

int nAjoute(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArithmetic(gpfnAdditionEx, a, b, pResult, nOptions);
}
int nAjouteEx(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArithmetic(gpfnAdditionEx, a, b, pResult, nOptions);
}
int nSoustrait(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArithmetic(gpfnSoustractionEx, a, b, pResult, nOptions);
}
int nMultiplie(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArithmetic(gpfnMultiplicationEx, a, b, pResult, nOptions);
}
int nDivise(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArithmetic(gpfnDivisionEx, a, b, pResult, nOptions);
}
int nModulo(const CAny& a, const CAny& b, CAny* pResult, unsigned int nOptions) {
  return nArithmetic(gpfnModuloEx, a, b, pResult, nOptions);
}

// The result moves in as the arithmetic's does: what a owned is released
// once and the runtime's pointers become a's (copying them in would keep a
// reference nobody drops, or read a pointer as text).
int nIncrementeNumerique(CAny* pa, const CAny& b) {
  return pa != nullptr ? nArithmetic(gpfnAdditionEx, *pa, b, pa, 0) : ANY_ERR_IMPOSSIBLE;
}
int nDecrementeNumerique(CAny* pa, const CAny& b) {
  return pa != nullptr ? nArithmetic(gpfnSoustractionEx, *pa, b, pa, 0) : ANY_ERR_IMPOSSIBLE;
}

// ---- Debugging text ------------------------------------------------------

namespace {

constexpr std::size_t knDetailBytes = 500;

void Append(std::wstring* ps, const char* pszAscii) {
  for (const char* p = pszAscii; *p != 0; ++p) ps->push_back(static_cast<wchar_t>(*p));
}

int nBuildString(std::wstring* ps, const CAny* pv, const wchar_t* pszPrefix, int bDetail) {
  if (pszPrefix != nullptr) *ps = pszPrefix;
  if (pv == nullptr) {
    Append(ps, "<NULL>");
    return ANY_OK;
  }
  const CAny& v = *pv;
  if (v.nGetTypeCode() == 0) {
    Append(ps, "<Empty>");
    return ANY_OK;
  }
  std::size_t nDataSize = 0;
  if (bDetail != 0) {
    if (v.nGetDataSize(&nDataSize) != ANY_OK) nDataSize = 0;
    char szDetail[64];
    std::snprintf(szDetail, sizeof szDetail, "Type=%d, Len=%d, Value=", v.nGetTypeCode(),
                  static_cast<int>(nDataSize));
    Append(ps, szDetail);
  }
  if (v.bIsNull()) {
    Append(ps, "<NULL>");
    return ANY_OK;
  }
  CAny clText(v);
  const int nCast = clText.__nCastTo(ANY_PSTRW, nullptr, 1);
  const wchar_t* pszText = nullptr;
  if (nCast > knLastSuccess) {
    Append(ps, "<ERROR>");
    return nCast;
  }
  if (clText.bIsNull()) {
    Append(ps, "<ERROR>");
    return ANY_ERR_NULL;
  }
  if (clText.nGetTypeCode() != ANY_PSTRW || clText.nGetPCWSTR(&pszText) != ANY_OK) {
    Append(ps, "<ERROR>");
    return ANY_ERR_IMPOSSIBLE;
  }
  ps->append(pszText);
  void* pData = nullptr;
  if (bDetail != 0 && v.nGetDataAdr(&pData) == ANY_OK && pData != nullptr &&
      v.nGetDataSize(&nDataSize) == ANY_OK) {
    Append(ps, ", Value(binary)=");
    if (nDataSize > knDetailBytes) {
      Append(ps, "(first 500 bytes only) ");
      nDataSize = knDetailBytes;
    }
    const unsigned char* pby = static_cast<const unsigned char*>(pData);
    for (std::size_t i = 0; i < nDataSize; ++i) {
      char szByte[4];
      std::snprintf(szByte, sizeof szByte, "%02X", pby[i]);
      Append(ps, szByte);
    }
  }
  return ANY_OK;
}

}  // namespace

int nGetString(CXYString<wchar_t>* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail) {
  std::wstring s;
  const int nResult = nBuildString(&s, pv, pszPrefix, bDetail);
  if (pOut != nullptr) pOut->nAffecte(s.c_str(), static_cast<long>(s.size()));
  return nResult;
}

int nGetString(CXYString<wchar_t>* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail) {
  return nGetString(pOut, &v, pszPrefix, bDetail);
}

int nGetString(CTString* pOut, const CAny* pv, const wchar_t* pszPrefix, int bDetail) {
  CXYString<wchar_t> clText;
  const int nResult = nGetString(&clText, pv, pszPrefix, bDetail);
  if (pOut != nullptr) pOut->Set(clText);
  return nResult;
}

int nGetString(CTString* pOut, const CAny& v, const wchar_t* pszPrefix, int bDetail) {
  return nGetString(pOut, &v, pszPrefix, bDetail);
}
