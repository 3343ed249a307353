// Handler families of the owned texts: PSTRA (18, char*) and PSTRW (110,
// wchar_t*).
//
// The value area holds one pointer (8 bytes at offset 0, read and written
// with memcpy): a NUL-terminated string that the value owns, made by the
// STR_pszCreate functions and freed by STR_DeleteA / STR_DeleteW, or null
// for no string. A null or empty source gives no string. Every setter makes
// the new string before freeing the old one, so the value's own text (or a
// part of it) may be given again, and a refused allocation keeps the old
// string. Both tables add the owned-string slots 28 to 30.
#include <cstring>
#include <cwchar>

#include "AnyHandlers.h"
#include "StrFunctions.h"
#include "UnicodeConversion.h"

// Defined with the shared texts (CAny_TNDSTR.cpp): 16-bit units to wide
// characters, surrogate pairs within the count combined, exactly nCount
// units read; a null `out` only counts.
long AnyText_nDecodeUTF16(const unsigned short* pUtf16, int nCount, wchar_t* out);

namespace {

// Largest character count a setter accepts.
constexpr std::size_t knMaxUnits = 0x7FFFFEFF;

template <typename T>
T* Text(const CAny_Intern* h) {
  return h->tGet<T*>();
}

std::size_t nTextLength(const char* p) { return std::strlen(p); }
std::size_t nTextLength(const wchar_t* p) { return std::wcslen(p); }
std::size_t nTextLength(const char* p, std::size_t nMax) { return strnlen(p, nMax); }
std::size_t nTextLength(const wchar_t* p, std::size_t nMax) { return wcsnlen(p, nMax); }

// A block of n + 1 zeroed characters; null when refused.
template <typename T>
T* pNewZeroed(std::size_t n);
template <>
char* pNewZeroed<char>(std::size_t n) {
  char* p = STR_pszCreateA(static_cast<long>(n));
  if (p != nullptr) std::memset(p, 0, n + 1);
  return p;
}
template <>
wchar_t* pNewZeroed<wchar_t>(std::size_t n) {
  wchar_t* p = STR_pszCreateW(static_cast<long>(n));
  if (p != nullptr) std::memset(p, 0, (n + 1) * sizeof(wchar_t));
  return p;
}

void Free(char* p) { STR_DeleteA(p); }
void Free(wchar_t* p) { STR_DeleteW(p); }

// Replaces the owned string by pNew (null: no string), freeing the old one.
template <typename T>
void Replace(CAny_Intern* h, T* pNew) {
  T* pOld = Text<T>(h);
  h->Put<T*>(pNew);
  if (pOld != pNew) Free(pOld);
}

// At most nMax characters of p; null or empty gives no string. False when
// the copy could not be made (the value is then unchanged).
template <typename T>
bool bCreateStr(CAny_Intern* h, const T* p, std::size_t nMax) {
  const std::size_t n = p != nullptr ? nTextLength(p, nMax) : 0;
  if (n > knMaxUnits) return false;
  T* pNew = nullptr;
  if (n != 0) {
    pNew = pNewZeroed<T>(n);
    if (pNew == nullptr) return false;
    std::memcpy(pNew, p, n * sizeof(T));
  }
  Replace<T>(h, pNew);
  return true;
}

// ---- What both widths share ---------------------------------------------

template <typename T>
void Release(CAny_Intern* h) {
  Free(Text<T>(h));
  h->Put<T*>(nullptr);
  AnyBase::Release(h);
}

template <typename T>
void Duplique(CAny_Intern* h, CAny* pTarget, unsigned short wCode) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  pTarget->__SetType(wCode, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, Text<T>(h));
  AnyBase::CopyFlags(h, pTarget);
}

// The value form: the pointer itself (the string stays the value's).
template <typename T>
int nFillBuffer(CAny_Intern* h, void* out) {
  T* p = Text<T>(h);
  std::memcpy(out, &p, sizeof p);
  return ANY_OK;
}

template <typename T>
std::size_t nLength(const CAny_Intern* h) {
  const T* p = Text<T>(h);
  return p != nullptr ? nTextLength(p) : 0;
}

template <typename T>
int nGetDataSize(CAny_Intern* h, std::size_t* pn) {
  *pn = (nLength<T>(h) + 1) * sizeof(T);
  return ANY_OK;
}

template <typename T>
int nGetDataAdr(CAny_Intern* h, void** pp) {
  static const T kEmpty[1] = {0};
  T* p = Text<T>(h);
  *pp = p != nullptr ? static_cast<void*>(p) : const_cast<T*>(kEmpty);
  return ANY_OK;
}

template <typename T>
int nFillDataBuffer(CAny_Intern* h, void* out) {
  const std::size_t n = nLength<T>(h);
  if (n != 0) std::memcpy(out, Text<T>(h), n * sizeof(T));
  const T zero = 0;
  std::memcpy(static_cast<unsigned char*>(out) + n * sizeof(T), &zero, sizeof zero);
  return ANY_OK;
}

template <typename T>
int nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) {
  *pn = nLength<T>(h) * sizeof(T);
  return ANY_OK;
}

// Exactly the useful size reported above: a caller that sized its buffer
// from nGetUtilDataSize gets no terminator written past it.
template <typename T>
int nFillUtilDataBuffer(CAny_Intern* h, void* out) {
  const std::size_t n = nLength<T>(h);
  if (n != 0) std::memcpy(out, Text<T>(h), n * sizeof(T));
  return ANY_OK;
}

template <typename T>
int nGetText(CAny_Intern* h, const T** pp) {
  static const T kEmpty[1] = {0};
  const T* p = Text<T>(h);
  *pp = p != nullptr ? p : kEmpty;
  return ANY_OK;
}

template <typename T>
int nGetSTRLEN(CAny_Intern* h, std::size_t* pn) {
  *pn = nLength<T>(h);
  return ANY_OK;
}

template <typename T>
void SetValue(CAny_Intern* h, const void* p) {
  bCreateStr<T>(h, static_cast<const T*>(p), static_cast<std::size_t>(-1));
}

// nChars characters: option bit 0 gives a zeroed string of that many
// characters holding at most that many of p (p may be null); otherwise at
// most nChars characters of p, as SetValue(p, len).
template <typename T>
void SetValueOption(CAny_Intern* h, const T* p, std::size_t nChars, unsigned int nOption) {
  if ((nOption & 1u) == 0) {
    bCreateStr<T>(h, p, nChars);
    return;
  }
  if (nChars > knMaxUnits) return;
  T* pNew = pNewZeroed<T>(nChars);
  if (pNew == nullptr) return;
  if (p != nullptr) std::memcpy(pNew, p, nTextLength(p, nChars) * sizeof(T));
  Replace<T>(h, pNew);
}

template <typename T>
void DeleteStr(CAny_Intern* h) {
  Free(Text<T>(h));
  h->Put<T*>(nullptr);
}

// ---- PSTRA --------------------------------------------------------------

void A_Release(CAny_Intern* h) { Release<char>(h); }
void A_Duplique(CAny_Intern* h, CAny* pTarget) { Duplique<char>(h, pTarget, ANY_PSTRA); }
int A_nFillBuffer(CAny_Intern* h, void* p) { return nFillBuffer<char>(h, p); }
int A_nGetDataSize(CAny_Intern* h, std::size_t* pn) { return nGetDataSize<char>(h, pn); }
int A_nGetDataAdr(CAny_Intern* h, void** pp) { return nGetDataAdr<char>(h, pp); }
int A_nFillDataBuffer(CAny_Intern* h, void* p) { return nFillDataBuffer<char>(h, p); }
void A_SetValue(CAny_Intern* h, const void* p) { SetValue<char>(h, p); }
void A_SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  bCreateStr<char>(h, static_cast<const char*>(p), n);
}
int A_nGetPCASTR(CAny_Intern* h, const char** pp) { return nGetText<char>(h, pp); }
int A_nGetSTRLEN(CAny_Intern* h, std::size_t* pn) { return nGetSTRLEN<char>(h, pn); }
int A_nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) { return nGetUtilDataSize<char>(h, pn); }
int A_nFillUtilDataBuffer(CAny_Intern* h, void* p) { return nFillUtilDataBuffer<char>(h, p); }
void A_SetValueOption(CAny_Intern* h, const void* p, std::size_t n, unsigned int nOption) {
  SetValueOption<char>(h, static_cast<const char*>(p), n, nOption);
}
void A_CreateStr(CAny_Intern* h, const void* p) { A_SetValue(h, p); }
void A_CreateStrLen(CAny_Intern* h, const void* p, std::size_t n) { A_SetValueLen(h, p, n); }
void A_DeleteStr(CAny_Intern* h) { DeleteStr<char>(h); }

const STAnyTable kstPSTRA = {
    A_Release,           A_Release,          A_Duplique,         AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, A_nFillBuffer,      A_nGetDataSize,     A_nGetDataAdr,
    A_nFillDataBuffer,   A_SetValue,         A_SetValueLen,      A_nGetPCASTR,
    AnyBase::nGetPCWSTR, A_nGetSTRLEN,       AnyBase::bIsPositive, A_nGetUtilDataSize,
    A_nFillUtilDataBuffer, AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,
    AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,
    AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,
    AnyBase::SetFromUNICODE_CPLen, A_SetValueOption,
    A_CreateStr,         A_CreateStrLen,     A_DeleteStr,
};

// ---- PSTRW --------------------------------------------------------------

void W_Release(CAny_Intern* h) { Release<wchar_t>(h); }
void W_Duplique(CAny_Intern* h, CAny* pTarget) { Duplique<wchar_t>(h, pTarget, ANY_PSTRW); }
int W_nFillBuffer(CAny_Intern* h, void* p) { return nFillBuffer<wchar_t>(h, p); }
int W_nGetDataSize(CAny_Intern* h, std::size_t* pn) { return nGetDataSize<wchar_t>(h, pn); }
int W_nGetDataAdr(CAny_Intern* h, void** pp) { return nGetDataAdr<wchar_t>(h, pp); }
int W_nFillDataBuffer(CAny_Intern* h, void* p) { return nFillDataBuffer<wchar_t>(h, p); }
void W_SetValue(CAny_Intern* h, const void* p) { SetValue<wchar_t>(h, p); }
// len is in bytes.
void W_SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  bCreateStr<wchar_t>(h, static_cast<const wchar_t*>(p), n / sizeof(wchar_t));
}
int W_nGetPCWSTR(CAny_Intern* h, const wchar_t** pp) { return nGetText<wchar_t>(h, pp); }
int W_nGetSTRLEN(CAny_Intern* h, std::size_t* pn) { return nGetSTRLEN<wchar_t>(h, pn); }
int W_nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) { return nGetUtilDataSize<wchar_t>(h, pn); }
int W_nFillUtilDataBuffer(CAny_Intern* h, void* p) { return nFillUtilDataBuffer<wchar_t>(h, p); }
// len is in bytes, as for SetValue(p, len).
void W_SetValueOption(CAny_Intern* h, const void* p, std::size_t n, unsigned int nOption) {
  SetValueOption<wchar_t>(h, static_cast<const wchar_t*>(p), n / sizeof(wchar_t), nOption);
}
void W_CreateStr(CAny_Intern* h, const void* p) { W_SetValue(h, p); }
// Slot 29 counts characters.
void W_CreateStrLen(CAny_Intern* h, const void* p, std::size_t n) {
  bCreateStr<wchar_t>(h, static_cast<const wchar_t*>(p), n);
}
void W_DeleteStr(CAny_Intern* h) { DeleteStr<wchar_t>(h); }

// nBytes of 8-bit text of nCodePage converted into an owned wide string
// (all ones: up to the terminator); null text or no bytes: no string.
void W_SetConverted(CAny_Intern* h, unsigned int nCodePage, const char* p, std::size_t nBytes) {
  if (p == nullptr || nBytes == 0) {
    Replace<wchar_t>(h, nullptr);
    return;
  }
  long n;
  if ((nBytes & 0xFFFFFFFFu) == 0xFFFFFFFFu) {
    n = -1;
  } else if (nBytes > knMaxUnits) {
    return;
  } else {
    n = static_cast<long>(nBytes);
  }
  wchar_t* pNew = pszCSTR2XSTR(p, n, nCodePage);
  if (pNew == nullptr) return;
  if (pNew[0] == 0) {
    STR_DeleteW(pNew);
    pNew = nullptr;
  }
  Replace<wchar_t>(h, pNew);
}

std::size_t nLengthOf(const void* p) {
  return p != nullptr ? std::strlen(static_cast<const char*>(p)) : 0;
}

void W_SetFromANSI(CAny_Intern* h, const void* p) {
  W_SetConverted(h, 1252, static_cast<const char*>(p), nLengthOf(p));
}
void W_SetFromANSILen(CAny_Intern* h, const void* p, std::size_t n) {
  W_SetConverted(h, 1252, static_cast<const char*>(p), n);
}
void W_SetFromANSI_CP(CAny_Intern* h, int nCodePage, const void* p) {
  W_SetConverted(h, static_cast<unsigned int>(nCodePage), static_cast<const char*>(p),
                 nLengthOf(p));
}
void W_SetFromANSI_CPLen(CAny_Intern* h, int nCodePage, const void* p, std::size_t n) {
  W_SetConverted(h, static_cast<unsigned int>(nCodePage), static_cast<const char*>(p), n);
}

const STAnyTable kstPSTRW = {
    W_Release,           W_Release,          W_Duplique,         AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, W_nFillBuffer,      W_nGetDataSize,     W_nGetDataAdr,
    W_nFillDataBuffer,   W_SetValue,         W_SetValueLen,      AnyBase::nGetPCASTR,
    W_nGetPCWSTR,        W_nGetSTRLEN,       AnyBase::bIsPositive, W_nGetUtilDataSize,
    W_nFillUtilDataBuffer, AnyBase::nIncremente, AnyBase::nDecremente, W_SetFromANSI,
    W_SetFromANSILen,    AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen, W_SetFromANSI_CP,
    W_SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP, AnyBase::SetFromUNICODE_CPLen,
    W_SetValueOption,
    W_CreateStr,         W_CreateStrLen,     W_DeleteStr,
};

// Both start with no string.
void InitNoString(CAny_Intern* h, unsigned short) { h->Put<void*>(nullptr); }

}  // namespace

const STAnyFamily CAny_TNPSTRA::ms_stFamily = {&kstPSTRA, &InitNoString};
const STAnyFamily CAny_TNPSTRW::ms_stFamily = {&kstPSTRW, &InitNoString};

void CAny_TNPSTRW::s_SetFromUTF16(CAny* pAny, const unsigned short* pUtf16, int nCount) {
  if (pAny == nullptr || pUtf16 == nullptr || nCount <= 0) return;
  if (pAny->nGetTypeCode() != ANY_PSTRW) pAny->__SetType(ANY_PSTRW, 0);
  // Only the nCount units given are read: a record item has no terminator.
  const long m = AnyText_nDecodeUTF16(pUtf16, nCount, nullptr);
  wchar_t* pNew = pNewZeroed<wchar_t>(static_cast<std::size_t>(m));
  if (pNew == nullptr) return;
  AnyText_nDecodeUTF16(pUtf16, nCount, pNew);
  pNew[m] = 0;
  Replace<wchar_t>(&pAny->m_clIntern, pNew);
}
