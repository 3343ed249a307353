// Handler families of the shared texts: DSTRW (16, CXYString<wchar_t>) and
// DSTRA (19, CXYString<char>).
//
// The value area holds one handle (8 bytes at offset 0): the data pointer of
// a shared block, or null for the empty text. The value owns one reference
// of that block. The area may sit at 4 mod 8, so the handle is only ever
// read and written with memcpy (tGet/Put); the CXYString operations run on
// a local object that borrows the reference for the time of the call
// (Attach/Detach), so the block rules (exclusive before change, failed
// change keeps the text) are the shared strings' own.
#include <cstring>
#include <cwchar>

#include "AnyHandlers.h"
#include "CXYString.h"
#include "SharedStringBlock.h"
#include "StrFunctions.h"

// 16-bit units to wide characters, shared with the PSTRW family
// (CAny_TNPSTR.cpp): a high surrogate followed within the count by a low one
// gives one character; any other unit is widened as it is. Reads exactly
// nCount units. With a null `out` only counts. Returns the characters.
long AnyText_nDecodeUTF16(const unsigned short* pUtf16, int nCount, wchar_t* out);

long AnyText_nDecodeUTF16(const unsigned short* pUtf16, int nCount, wchar_t* out) {
  long m = 0;
  int i = 0;
  while (i < nCount) {
    const unsigned int u = pUtf16[i];
    unsigned int c = u;
    int nUsed = 1;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < nCount) {
      const unsigned int low = pUtf16[i + 1];
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        nUsed = 2;
      }
    }
    if (out != nullptr) out[m] = static_cast<wchar_t>(c);
    ++m;
    i += nUsed;
  }
  return m;
}

namespace {

// Largest character count a setter accepts.
constexpr std::size_t knMaxUnits = 0x7FFFFEFF;

template <typename T>
T* Handle(const CAny_Intern* h) {
  return h->tGet<T*>();
}
template <typename T>
void PutHandle(CAny_Intern* h, T* p) {
  h->Put<T*>(p);
}

std::size_t nTextLength(const char* p) { return std::strlen(p); }
std::size_t nTextLength(const wchar_t* p) { return std::wcslen(p); }

// The code page of the "ANSI" setters without one: the locale's current
// one, 1252 when the runtime gave no locale.
unsigned int nCurrentCodePage() {
  const int n = STR_nGetCurrentCodePage();
  return n == 0 ? 1252u : static_cast<unsigned int>(n);
}

// ---- What both widths share ---------------------------------------------

template <typename T>
void Release(CAny_Intern* h) {
  void* p = Handle<T>(h);
  SharedBlock::Release(&p);
  PutHandle<T>(h, nullptr);
  AnyBase::Release(h);
}

// Takes one reference of the handle stored at p (p: the address of a handle,
// at any alignment); the own handle given again changes nothing.
template <typename T>
void SetValue(CAny_Intern* h, const void* p) {
  if (p == nullptr) return;
  T* pNew;
  std::memcpy(&pNew, p, sizeof pNew);
  void* pOld = Handle<T>(h);
  if (pNew == pOld) return;
  SharedBlock::AddRef(pNew);
  SharedBlock::Release(&pOld);
  PutHandle<T>(h, pNew);
}

// nUnits characters of p; the low 32 bits all ones: up to the terminator.
template <typename T>
void SetText(CAny_Intern* h, const T* p, std::size_t nUnits) {
  std::size_t n = 0;
  if (p != nullptr) n = (nUnits & 0xFFFFFFFFu) == 0xFFFFFFFFu ? nTextLength(p) : nUnits;
  if (n > knMaxUnits) return;  // refused, the text stays
  CXYString<T> s;
  s.Attach(Handle<T>(h));
  PutHandle<T>(h, nullptr);
  // Empty or null text empties; an exclusive block is reused or grown, a
  // shared one replaced; a refused allocation keeps the former text.
  s.nAffecte(p, static_cast<long>(n));
  PutHandle<T>(h, s.Detach());
}

template <typename T>
void Duplique(CAny_Intern* h, CAny* pTarget, unsigned short wCode) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  // The reference is held across the target's change of type, in case the
  // target owns this value (an element of its table).
  T* pOwn = Handle<T>(h);
  SharedBlock::AddRef(pOwn);
  pTarget->__SetType(wCode, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, &pOwn);
  void* pHeld = pOwn;
  SharedBlock::Release(&pHeld);
  AnyBase::CopyFlags(h, pTarget);
}

// Shares the text into the handle at out; what out held is released.
template <typename T>
int nFillBuffer(CAny_Intern* h, void* out) {
  T* pOwn = Handle<T>(h);
  void* pOld;
  std::memcpy(&pOld, out, sizeof pOld);
  SharedBlock::AddRef(pOwn);
  SharedBlock::Release(&pOld);
  std::memcpy(out, &pOwn, sizeof pOwn);
  return ANY_OK;
}

// Text with its terminator: (length + 1) characters, in bytes.
template <typename T>
int nGetDataSize(CAny_Intern* h, std::size_t* pn) {
  *pn = SharedBlock::nGetLength(Handle<T>(h)) + sizeof(T);
  return ANY_OK;
}

template <typename T>
int nGetDataAdr(CAny_Intern* h, void** pp) {
  T* p = Handle<T>(h);
  *pp = p != nullptr ? static_cast<void*>(p) : const_cast<T*>(CXYStringBase<T>::ChaineVide);
  return ANY_OK;
}

template <typename T>
int nFillDataBuffer(CAny_Intern* h, void* out) {
  const T* p = Handle<T>(h);
  const std::size_t n = SharedBlock::nGetLength(p);
  if (n != 0) std::memcpy(out, p, n);
  const T zero = 0;
  std::memcpy(static_cast<unsigned char*>(out) + n, &zero, sizeof zero);
  return ANY_OK;
}

template <typename T>
int nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) {
  *pn = SharedBlock::nGetLength(Handle<T>(h));
  return ANY_OK;
}

template <typename T>
int nFillUtilDataBuffer(CAny_Intern* h, void* out) {
  const T* p = Handle<T>(h);
  const std::size_t n = SharedBlock::nGetLength(p);
  if (n != 0) std::memcpy(out, p, n);
  return ANY_OK;
}

template <typename T>
int nGetText(CAny_Intern* h, const T** pp) {
  const T* p = Handle<T>(h);
  *pp = p != nullptr ? p : CXYStringBase<T>::ChaineVide;
  return ANY_OK;
}

template <typename T>
int nGetSTRLEN(CAny_Intern* h, std::size_t* pn) {
  *pn = SharedBlock::nGetLength(Handle<T>(h)) / sizeof(T);
  return ANY_OK;
}

// ---- DSTRW --------------------------------------------------------------

void W_Release(CAny_Intern* h) { Release<wchar_t>(h); }
void W_Duplique(CAny_Intern* h, CAny* pTarget) { Duplique<wchar_t>(h, pTarget, ANY_DSTRW); }
int W_nFillBuffer(CAny_Intern* h, void* p) { return nFillBuffer<wchar_t>(h, p); }
int W_nGetDataSize(CAny_Intern* h, std::size_t* pn) { return nGetDataSize<wchar_t>(h, pn); }
int W_nGetDataAdr(CAny_Intern* h, void** pp) { return nGetDataAdr<wchar_t>(h, pp); }
int W_nFillDataBuffer(CAny_Intern* h, void* p) { return nFillDataBuffer<wchar_t>(h, p); }
void W_SetValue(CAny_Intern* h, const void* p) { SetValue<wchar_t>(h, p); }
// len is in bytes.
void W_SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  SetText<wchar_t>(h, static_cast<const wchar_t*>(p), n / sizeof(wchar_t));
}
int W_nGetPCWSTR(CAny_Intern* h, const wchar_t** pp) { return nGetText<wchar_t>(h, pp); }
int W_nGetSTRLEN(CAny_Intern* h, std::size_t* pn) { return nGetSTRLEN<wchar_t>(h, pn); }
int W_nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) { return nGetUtilDataSize<wchar_t>(h, pn); }
int W_nFillUtilDataBuffer(CAny_Intern* h, void* p) { return nFillUtilDataBuffer<wchar_t>(h, p); }

// nBytes of 8-bit text of code page nCodePage converted into a shared wide
// string; all ones: up to the terminator. The former text is kept when the
// conversion is refused.
void W_SetConverted(CAny_Intern* h, unsigned int nCodePage, const char* p, std::size_t nBytes) {
  long n;
  if (p == nullptr || nBytes == 0) {
    n = 0;
  } else if ((nBytes & 0xFFFFFFFFu) == 0xFFFFFFFFu) {
    n = -1;
  } else if (nBytes > knMaxUnits) {
    return;
  } else {
    n = static_cast<long>(nBytes);
  }
  CXYString<wchar_t> s;
  if (n != 0 && s.__nConversion(p, n, 0, nCodePage) != 0) return;
  CXYString<wchar_t> old;
  old.Attach(Handle<wchar_t>(h));
  PutHandle<wchar_t>(h, s.Detach());
}

// The whole text and its terminator, which becomes a character of the value.
std::size_t nWithTerminator(const void* p) {
  return p != nullptr ? std::strlen(static_cast<const char*>(p)) + 1 : 0;
}

void W_SetFromANSI(CAny_Intern* h, const void* p) {
  W_SetConverted(h, nCurrentCodePage(), static_cast<const char*>(p), nWithTerminator(p));
}
void W_SetFromANSILen(CAny_Intern* h, const void* p, std::size_t n) {
  W_SetConverted(h, nCurrentCodePage(), static_cast<const char*>(p), n);
}
void W_SetFromANSI_CP(CAny_Intern* h, int nCodePage, const void* p) {
  W_SetConverted(h, static_cast<unsigned int>(nCodePage), static_cast<const char*>(p),
                 nWithTerminator(p));
}
void W_SetFromANSI_CPLen(CAny_Intern* h, int nCodePage, const void* p, std::size_t n) {
  W_SetConverted(h, static_cast<unsigned int>(nCodePage), static_cast<const char*>(p), n);
}

const STAnyTable kstDSTRW = {
    W_Release,           W_Release,          W_Duplique,         AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, W_nFillBuffer,      W_nGetDataSize,     W_nGetDataAdr,
    W_nFillDataBuffer,   W_SetValue,         W_SetValueLen,      AnyBase::nGetPCASTR,
    W_nGetPCWSTR,        W_nGetSTRLEN,       AnyBase::bIsPositive, W_nGetUtilDataSize,
    W_nFillUtilDataBuffer, AnyBase::nIncremente, AnyBase::nDecremente, W_SetFromANSI,
    W_SetFromANSILen,    AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen, W_SetFromANSI_CP,
    W_SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP, AnyBase::SetFromUNICODE_CPLen,
    AnyBase::SetValueOption,
    nullptr,             nullptr,            nullptr,
};

// ---- DSTRA --------------------------------------------------------------

void A_Release(CAny_Intern* h) { Release<char>(h); }
void A_Duplique(CAny_Intern* h, CAny* pTarget) { Duplique<char>(h, pTarget, ANY_DSTRA); }
int A_nFillBuffer(CAny_Intern* h, void* p) { return nFillBuffer<char>(h, p); }
int A_nGetDataSize(CAny_Intern* h, std::size_t* pn) { return nGetDataSize<char>(h, pn); }
int A_nGetDataAdr(CAny_Intern* h, void** pp) { return nGetDataAdr<char>(h, pp); }
int A_nFillDataBuffer(CAny_Intern* h, void* p) { return nFillDataBuffer<char>(h, p); }
void A_SetValue(CAny_Intern* h, const void* p) { SetValue<char>(h, p); }
void A_SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  SetText<char>(h, static_cast<const char*>(p), n);
}
int A_nGetPCASTR(CAny_Intern* h, const char** pp) { return nGetText<char>(h, pp); }
int A_nGetSTRLEN(CAny_Intern* h, std::size_t* pn) { return nGetSTRLEN<char>(h, pn); }
int A_nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) { return nGetUtilDataSize<char>(h, pn); }
int A_nFillUtilDataBuffer(CAny_Intern* h, void* p) { return nFillUtilDataBuffer<char>(h, p); }

const STAnyTable kstDSTRA = {
    A_Release,           A_Release,          A_Duplique,         AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, A_nFillBuffer,      A_nGetDataSize,     A_nGetDataAdr,
    A_nFillDataBuffer,   A_SetValue,         A_SetValueLen,      A_nGetPCASTR,
    AnyBase::nGetPCWSTR, A_nGetSTRLEN,       AnyBase::bIsPositive, A_nGetUtilDataSize,
    A_nFillUtilDataBuffer, AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,
    AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,
    AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,
    AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,
    nullptr,             nullptr,            nullptr,
};

// Both start with no string.
void InitNoString(CAny_Intern* h, unsigned short) { h->Put<void*>(nullptr); }

}  // namespace

const STAnyFamily CAny_TNDSTRW::ms_stFamily = {&kstDSTRW, &InitNoString};
const STAnyFamily CAny_TNDSTRA::ms_stFamily = {&kstDSTRA, &InitNoString};

void CAny_TNDSTRW::s_SetFromUTF16(CAny* pAny, const unsigned short* pUtf16, int nCount) {
  if (pAny == nullptr) return;
  if (pAny->nGetTypeCode() != ANY_DSTRW) pAny->__SetType(ANY_DSTRW, 0);
  CAny_Intern* h = &pAny->m_clIntern;
  CXYString<wchar_t> s;
  s.Attach(Handle<wchar_t>(h));
  PutHandle<wchar_t>(h, nullptr);
  if (nCount < 1 || pUtf16 == nullptr) {
    s.ReleaseDynStr();
  } else {
    // Only the nCount units given are read: a record item has no terminator.
    const long m = AnyText_nDecodeUTF16(pUtf16, nCount, nullptr);
    if (s.__nPrepareModification(m) == 0) {
      AnyText_nDecodeUTF16(pUtf16, nCount, s.pGetData());
      s.nSetLength(static_cast<int>(m));
    }
  }
  PutHandle<wchar_t>(h, s.Detach());
}
