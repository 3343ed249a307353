// Handler families of the values that hold a counted object of the runtime:
// - MEMOIMG (30, CTNMemoImage*), CONVOYEUR (50) and POLICE (65): an object
//   counted in the manner of CKXUnknown; the value owns one reference
//   (dwAddRef when set, dwRelease when released);
// - OBJET_BASE (108, and the object kinds 141 to 143, which keep their own
//   code in the type word) and DINO (111): an IRuntimeObject interface; the
//   value owns one reference (AddRef when set, Release when released).
//
// The value area holds the pointer (offset 0, read and written with memcpy),
// or null for no object. Setting takes the new reference before the old one
// is given back, so the held object given again survives even when this
// value has its last reference. A copy shares the object (one more
// reference); the object families' copies are plain 108 (from 141 to 143
// too) and 111, without the source's flags.
#include <cstring>

#include "AnyHandlers.h"
#include "CKXUnknown.h"
#include "CTNMemoImage.h"
#include "IRuntimeObject.h"

namespace {

// How a kind takes and gives back its reference.
struct CountedRefs {  // CKXUnknown: count at the second field, dwRelease
  using T = CKXUnknown;
  static void Add(T* p) { p->dwAddRef(); }
  static void Drop(T* p) { p->dwRelease(); }
};
struct ObjectRefs {  // IRuntimeObject: slots 0 and 1
  using T = IRuntimeObject;
  static void Add(T* p) { p->AddRef(); }
  static void Drop(T* p) { p->Release(); }
};

// The pointer (the reference stays the value's).
int nFillBuffer(CAny_Intern* h, void* out) {
  std::memcpy(out, h->m_abyValue, sizeof(void*));
  return ANY_OK;
}

void InitNone(CAny_Intern* h, unsigned short) { h->Put<void*>(nullptr); }

// The new reference first: the held object given again, with this value
// holding its last reference, must not go. `p` is the object (null: none).
template <class R>
void SetHeld(CAny_Intern* h, typename R::T* pNew) {
  typename R::T* pOld = h->tGet<typename R::T*>();
  if (pNew != nullptr) R::Add(pNew);
  h->Put<typename R::T*>(pNew);
  if (pOld != nullptr) R::Drop(pOld);
}
template <class R>
void SetValue(CAny_Intern* h, const void* p) {
  SetHeld<R>(h, static_cast<typename R::T*>(const_cast<void*>(p)));
}
template <class R>
void SetValueLen(CAny_Intern* h, const void* p, std::size_t) {
  SetValue<R>(h, p);
}
// The memo holder's counted base is taken through its own type.
void SetValueMemoImage(CAny_Intern* h, const void* p) {
  SetHeld<CountedRefs>(h, static_cast<CTNMemoImage*>(const_cast<void*>(p)));
}
void SetValueLenMemoImage(CAny_Intern* h, const void* p, std::size_t) { SetValueMemoImage(h, p); }

template <class R>
void ReleaseHeld(CAny_Intern* h) {
  typename R::T* p = h->tGet<typename R::T*>();
  h->Put<typename R::T*>(nullptr);
  if (p != nullptr) R::Drop(p);
  AnyBase::Release(h);
}

// A copy shares the object. A reference is held across the target's change
// of type, in case the target owns this value (an element of its table).
// The counted kinds copy the source's flags; the object kinds' copies are
// plain wCode (108 from 141 to 143 too) with flags cleared, so a NULL
// object value copies to a non-NULL one.
template <class R, unsigned short wCode, bool bCopyFlags>
void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  typename R::T* pOwn = h->tGet<typename R::T*>();
  if (pOwn != nullptr) R::Add(pOwn);
  pTarget->__SetType(wCode, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, pOwn);
  if (pOwn != nullptr) R::Drop(pOwn);
  if (bCopyFlags)
    AnyBase::CopyFlags(h, pTarget);
  else
    pTarget->ClearFlags();
}

template <class R>
constexpr STAnyTable Table(void (*pfnDuplique)(CAny_Intern*, CAny*),
                           void (*pfnSetValue)(CAny_Intern*, const void*),
                           void (*pfnSetValueLen)(CAny_Intern*, const void*, std::size_t)) {
  return STAnyTable{
      ReleaseHeld<R>,           ReleaseHeld<R>,         pfnDuplique,
      AnyBase::nGetPointerSize, AnyBase::nGetValueAdr,  nFillBuffer,
      AnyBase::nGetPointerSize, AnyBase::nGetValueAdr,  nFillBuffer,
      pfnSetValue,              pfnSetValueLen,         AnyBase::nGetPCASTR,
      AnyBase::nGetPCWSTR,      AnyBase::nGetSTRLEN,    AnyBase::bIsPositive,
      AnyBase::nGetPointerSize, nFillBuffer,            AnyBase::nIncremente,
      AnyBase::nDecremente,     AnyBase::SetFromANSI,   AnyBase::SetFromANSILen,
      AnyBase::SetFromUNICODE,  AnyBase::SetFromUNICODELen, AnyBase::SetFromANSI_CP,
      AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP, AnyBase::SetFromUNICODE_CPLen,
      AnyBase::SetValueOption,  nullptr,                nullptr,
      nullptr};
}

constexpr STAnyTable kstMEMOIMG = Table<CountedRefs>(Duplique<CountedRefs, ANY_MEMOIMG, true>,
                                                     SetValueMemoImage, SetValueLenMemoImage);
constexpr STAnyTable kstCONVOYEUR = Table<CountedRefs>(Duplique<CountedRefs, ANY_CONVOYEUR, true>,
                                                       SetValue<CountedRefs>, SetValueLen<CountedRefs>);
constexpr STAnyTable kstPOLICE = Table<CountedRefs>(Duplique<CountedRefs, ANY_POLICE, true>,
                                                    SetValue<CountedRefs>, SetValueLen<CountedRefs>);
constexpr STAnyTable kstOBJET_BASE = Table<ObjectRefs>(Duplique<ObjectRefs, ANY_OBJET_BASE, false>,
                                                       SetValue<ObjectRefs>, SetValueLen<ObjectRefs>);
constexpr STAnyTable kstDINO = Table<ObjectRefs>(Duplique<ObjectRefs, ANY_DINO, false>,
                                                 SetValue<ObjectRefs>, SetValueLen<ObjectRefs>);

}  // namespace

const STAnyFamily CAny_TNMEMOIMG::ms_stFamily = {&kstMEMOIMG, &InitNone};
const STAnyFamily CAny_TNCONVOYEUR::ms_stFamily = {&kstCONVOYEUR, &InitNone};
const STAnyFamily CAny_TNPOLICE::ms_stFamily = {&kstPOLICE, &InitNone};
const STAnyFamily CAny_TNOBJET_BASE::ms_stFamily = {&kstOBJET_BASE, &InitNone};
const STAnyFamily CAny_TNDINO::ms_stFamily = {&kstDINO, &InitNone};
