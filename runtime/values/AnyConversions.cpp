// Conversions of a typed value through the runtime's bound conversion: the
// in-place cast, the text views and fills, the 8-bit text setter, and the two
// casts from an 8-byte binary.
#include <cstring>

#include "AnyRuntime.h"
#include "SharedStringBlock.h"
#include "StrFunctions.h"

namespace {

// The runtime's answer above 99 is a failure code, handed back as it is.
constexpr int knLastSuccess = 99;

// The code page of a conversion: the options' first field, else the
// runtime's current one (1252 when the runtime has given no locale).
unsigned int nCodePageOf(const STOCAW* pstOptions) {
  if (pstOptions != nullptr) return pstOptions->nCodePage;
  const int nCodePage = STR_nGetCurrentCodePage();
  return nCodePage != 0 ? static_cast<unsigned int>(nCodePage) : 1252u;
}

// Shares the string at `handle` into `out` (one more reference), dropping
// what `out` held.
template <typename T>
void ShareInto(T* handle, CXYString<T>& out) {
  CXYString<T> clHeld;
  clHeld.Attach(handle);
  out = clHeld;
  clHeld.Detach();
}

// The value's text without the runtime: its own string shared, or its
// characters copied; -1 when only a conversion can give it.
template <typename T>
int nFillStringOf(const CAny& any, CXYString<T>& out, unsigned short wStringType, const STOCAW* pstOptions);

template <>
int nFillStringOf<wchar_t>(const CAny& any, CXYString<wchar_t>& out, unsigned short wStringType,
                           const STOCAW*) {
  if (any.wGetType() == wStringType) {
    ShareInto(any.m_clIntern.tGet<wchar_t*>(), out);
    return ANY_OK;
  }
  const wchar_t* psz = nullptr;
  if (any.nGetPCWSTR(&psz) == ANY_OK) return out.nAffecte(psz);
  return -1;  // needs the runtime
}

template <>
int nFillStringOf<char>(const CAny& any, CXYString<char>& out, unsigned short wStringType,
                        const STOCAW*) {
  if (any.wGetType() == wStringType) {
    ShareInto(any.m_clIntern.tGet<char*>(), out);
    return ANY_OK;
  }
  const char* psz = nullptr;
  if (any.nGetPCASTR(&psz) == ANY_OK) return out.nAffecte(psz);
  return -1;
}

template <typename T>
int nFillString(const CAny& any, CXYString<T>& out, unsigned short wStringType, const STOCAW* pstOptions) {
  const int nDirect = nFillStringOf<T>(any, out, wStringType, pstOptions);
  if (nDirect >= 0) return nDirect;
  const PFN_CONVDEPEXT pfnConv = gpfnConvDepExt;
  if (pfnConv == nullptr) return ANY_ERR_IMPOSSIBLE;
  unsigned char abyTarget[knAnyValueSize] = {};
  const int nResult = pfnConv(any.pbyValue(), any.nGetTypeCode(), abyTarget, wStringType, 0, pstOptions);
  if (nResult > knLastSuccess) return nResult;
  // The produced string's reference becomes out's.
  T* handle;
  std::memcpy(&handle, abyTarget, sizeof handle);
  out.ReleaseDynStr();
  out.Attach(handle);
  return nResult;
}

}  // namespace

int CAny::__nCastTo(unsigned short wCode, const STOCAW* pstOptions, unsigned int nFlags) {
  if (nGetTypeCode() == (wCode & 0xFF)) return ANY_OK;
  const PFN_CONVDEPEXT pfnConv = gpfnConvDepExt;
  const PFN_FINCONV pfnFin = gpfnFinConv;
  if (pfnConv == nullptr || pfnFin == nullptr) return ANY_ERR_IMPOSSIBLE;
  // A decimal needs an object to take the result: without a factory the
  // value stays as it is.
  if ((wCode & 0xFF) == ANY_DECIMAL && gpiVMFactory == nullptr) return ANY_ERR_IMPOSSIBLE;

  unsigned char abyTarget[knAnyValueSize] = {};
  const int nResult = pfnConv(pbyValue(), nGetTypeCode(), abyTarget, wCode, nFlags, pstOptions);
  if (nResult > knLastSuccess) return nResult;

  const unsigned short wOldType = wGetType();
  __SetType(wCode, 0);
  const unsigned char nCode = static_cast<unsigned char>(wCode & 0xFF);
  if (nCode == ANY_PSTRA || nCode == ANY_PSTRW || nCode == ANY_DECIMAL) {
    // The conversion made a string or a decimal object: the value copies
    // or loads from it, and FinConversion gives it back.
    void* p;
    std::memcpy(&p, abyTarget, sizeof p);
    SetValue(p);
  } else {
    SetValue(abyTarget);
  }
  // A NULL value stays NULL after a cast, and keeps the runtime's mark.
  m_clIntern.m_wType = static_cast<unsigned short>((m_clIntern.m_wType & ANY_FLAGS_CLEAR) |
                                                   (wOldType & (ANY_FLAG_NULL | ANY_FLAG_RUNTIME)));
  pfnFin(abyTarget, wCode);
  return nResult;
}

int CAny::__s_nCastTo(void* pTarget, const wchar_t* pszText, unsigned short wCode, const STOCAW* pstOptions) {
  const PFN_CONVDEPEXT pfnConv = gpfnConvDepExt;
  if (pfnConv == nullptr) return ANY_ERR_IMPOSSIBLE;
  // A wide text goes as a pointer to its pointer, typed as an owned wide
  // string.
  return pfnConv(&pszText, ANY_PSTRW, pTarget, wCode, 1, pstOptions);
}

int CAny::__nCastToString(const wchar_t** ppsz, const STOCAW* pstOptions) {
  const wchar_t* psz = nullptr;
  if (nGetPCWSTR(&psz) == ANY_OK) {
    if (ppsz != nullptr) *ppsz = psz;
    return ANY_OK;
  }
  const int nResult = __nCastTo(ANY_DSTRW, pstOptions, 1);
  if (nResult == ANY_OK && nGetPCWSTR(&psz) == ANY_OK && ppsz != nullptr) *ppsz = psz;
  return nResult;
}

int CAny::__nCastToString(const char** ppsz, const STOCAW* pstOptions) {
  const char* psz = nullptr;
  if (nGetPCASTR(&psz) == ANY_OK) {
    if (ppsz != nullptr) *ppsz = psz;
    return ANY_OK;
  }
  const int nResult = __nCastTo(ANY_DSTRA, pstOptions, 1);
  if (nResult == ANY_OK && nGetPCASTR(&psz) == ANY_OK && ppsz != nullptr) *ppsz = psz;
  return nResult;
}

int CAny::__nFillString(CXYString<wchar_t>& out, const STOCAW* pstOptions) const {
  return nFillString(*this, out, ANY_DSTRW, pstOptions);
}

int CAny::__nFillString(CXYString<char>& out, const STOCAW* pstOptions) const {
  return nFillString(*this, out, ANY_DSTRA, pstOptions);
}

int CAny::__nSetString(const wchar_t* psz, int nLength, const STOCAW* pstOptions) {
  CXYString<char> clText;
  const int nResult = clText.__nConversion(psz, nLength, 0, nCodePageOf(pstOptions));
  if (nResult > knLastSuccess) return nResult;
  __SetType(ANY_DSTRA, 0);
  char* handle = clText.pGetData();
  SetValue(&handle);
  ClearFlags();
  return nResult;
}

namespace {

// BIN of exactly 8 bytes into an 8-byte inline type.
int nCastFromBin8(CAny* pAny, unsigned short wTarget) {
  if (pAny->nGetTypeCode() != ANY_BIN) return ANY_ERR_IMPOSSIBLE_104;
  const unsigned char* pbyData = pAny->m_clIntern.tGet<unsigned char*>();
  if (pbyData == nullptr || SharedBlock::nGetLength(pbyData) != 8) return ANY_ERR_IMPOSSIBLE_104;
  unsigned char aby[8];
  std::memcpy(aby, pbyData, sizeof aby);
  pAny->__SetType(wTarget, 0);
  pAny->SetValue(aby);
  pAny->ClearFlags();
  return ANY_OK;
}

}  // namespace

int CAny::nCastFrom_BIN_DUREE_To_DUREE() { return nCastFromBin8(this, ANY_DUREE); }

int CAny::nCastFrom_BIN_DATEHEURE_To_DATEHEURE() { return nCastFromBin8(this, ANY_DATETIME); }
