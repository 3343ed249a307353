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

// ---- Layout common to every object kind ---------------------------------

// The pointer (the reference stays the value's).
int nFillBuffer(CAny_Intern* h, void* out) {
  std::memcpy(out, h->m_abyValue, sizeof(void*));
  return ANY_OK;
}

void InitNone(CAny_Intern* h, unsigned short) { h->Put<void*>(nullptr); }

// ---- Objects counted as CKXUnknown --------------------------------------

CKXUnknown* Counted(const CAny_Intern* h) { return h->tGet<CKXUnknown*>(); }

void SetCounted(CAny_Intern* h, CKXUnknown* pNew) {
  CKXUnknown* pOld = Counted(h);
  if (pNew != nullptr) pNew->dwAddRef();
  h->Put<CKXUnknown*>(pNew);
  if (pOld != nullptr) pOld->dwRelease();
}

void ReleaseCounted(CAny_Intern* h) {
  CKXUnknown* p = Counted(h);
  h->Put<CKXUnknown*>(nullptr);
  if (p != nullptr) p->dwRelease();
  AnyBase::Release(h);
}

void DupliqueCounted(CAny_Intern* h, CAny* pTarget, unsigned short wCode) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  // A reference is held across the target's change of type, in case the
  // target owns this value (an element of its table).
  CKXUnknown* pOwn = Counted(h);
  if (pOwn != nullptr) pOwn->dwAddRef();
  pTarget->__SetType(wCode, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, pOwn);
  if (pOwn != nullptr) pOwn->dwRelease();
  AnyBase::CopyFlags(h, pTarget);
}

// p is the object (null: no object).
void SetValueCounted(CAny_Intern* h, const void* p) {
  SetCounted(h, static_cast<CKXUnknown*>(const_cast<void*>(p)));
}
// The memo holder's counted base is taken through its own type.
void SetValueMemoImage(CAny_Intern* h, const void* p) {
  CTNMemoImage* pcl = static_cast<CTNMemoImage*>(const_cast<void*>(p));
  SetCounted(h, pcl);
}
void SetValueLenCounted(CAny_Intern* h, const void* p, std::size_t) { SetValueCounted(h, p); }
void SetValueLenMemoImage(CAny_Intern* h, const void* p, std::size_t) {
  SetValueMemoImage(h, p);
}

void DupliqueMemoImage(CAny_Intern* h, CAny* pTarget) {
  DupliqueCounted(h, pTarget, ANY_MEMOIMG);
}
void DupliqueConvoyeur(CAny_Intern* h, CAny* pTarget) {
  DupliqueCounted(h, pTarget, ANY_CONVOYEUR);
}
void DupliquePolice(CAny_Intern* h, CAny* pTarget) { DupliqueCounted(h, pTarget, ANY_POLICE); }

#define KX_COUNTED_TABLE(name, duplique, setvalue, setvaluelen)                                \
  const STAnyTable name = {                                                                    \
      ReleaseCounted,   ReleaseCounted,    duplique,             AnyBase::nGetPointerSize, \
      AnyBase::nGetValueAdr, nFillBuffer,       AnyBase::nGetPointerSize, AnyBase::nGetValueAdr, \
      nFillBuffer,      setvalue,          setvaluelen,          AnyBase::nGetPCASTR,          \
      AnyBase::nGetPCWSTR, AnyBase::nGetSTRLEN, AnyBase::bIsPositive, AnyBase::nGetPointerSize, \
      nFillBuffer,      AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,     \
      AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,            \
      AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,         \
      AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,                                  \
      nullptr,          nullptr,           nullptr,                                            \
  };

KX_COUNTED_TABLE(kstMEMOIMG, DupliqueMemoImage, SetValueMemoImage, SetValueLenMemoImage)
KX_COUNTED_TABLE(kstCONVOYEUR, DupliqueConvoyeur, SetValueCounted, SetValueLenCounted)
KX_COUNTED_TABLE(kstPOLICE, DupliquePolice, SetValueCounted, SetValueLenCounted)
#undef KX_COUNTED_TABLE

// ---- Runtime interfaces -------------------------------------------------

IRuntimeObject* Object(const CAny_Intern* h) { return h->tGet<IRuntimeObject*>(); }

// The new reference first: the held object given again, with this value
// holding its last reference, must not go.
void SetValueObject(CAny_Intern* h, const void* p) {
  IRuntimeObject* piNew = static_cast<IRuntimeObject*>(const_cast<void*>(p));
  IRuntimeObject* piOld = Object(h);
  if (piNew != nullptr) piNew->AddRef();
  h->Put<IRuntimeObject*>(piNew);
  if (piOld != nullptr) piOld->Release();
}
void SetValueLenObject(CAny_Intern* h, const void* p, std::size_t) { SetValueObject(h, p); }

void ReleaseObject(CAny_Intern* h) {
  IRuntimeObject* pi = Object(h);
  h->Put<IRuntimeObject*>(nullptr);
  if (pi != nullptr) pi->Release();
  AnyBase::Release(h);
}

// Copies are plain wCode (108 from 141 to 143 too), flags cleared: a NULL
// object value copies to a non-NULL one.
void DupliqueObject(CAny_Intern* h, CAny* pTarget, unsigned short wCode) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  IRuntimeObject* piOwn = Object(h);
  if (piOwn != nullptr) piOwn->AddRef();
  pTarget->__SetType(wCode, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, piOwn);
  if (piOwn != nullptr) piOwn->Release();
  pTarget->ClearFlags();
}
void DupliqueObjetBase(CAny_Intern* h, CAny* pTarget) {
  DupliqueObject(h, pTarget, ANY_OBJET_BASE);
}
void DupliqueDino(CAny_Intern* h, CAny* pTarget) { DupliqueObject(h, pTarget, ANY_DINO); }

#define KX_OBJECT_TABLE(name, duplique)                                                        \
  const STAnyTable name = {                                                                    \
      ReleaseObject,    ReleaseObject,     duplique,             AnyBase::nGetPointerSize, \
      AnyBase::nGetValueAdr, nFillBuffer,       AnyBase::nGetPointerSize, AnyBase::nGetValueAdr, \
      nFillBuffer,      SetValueObject,    SetValueLenObject,    AnyBase::nGetPCASTR,          \
      AnyBase::nGetPCWSTR, AnyBase::nGetSTRLEN, AnyBase::bIsPositive, AnyBase::nGetPointerSize, \
      nFillBuffer,      AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,     \
      AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,            \
      AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,         \
      AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,                                  \
      nullptr,          nullptr,           nullptr,                                            \
  };

KX_OBJECT_TABLE(kstOBJET_BASE, DupliqueObjetBase)
KX_OBJECT_TABLE(kstDINO, DupliqueDino)
#undef KX_OBJECT_TABLE

}  // namespace

const STAnyFamily CAny_TNMEMOIMG::ms_stFamily = {&kstMEMOIMG, &InitNone};
const STAnyFamily CAny_TNCONVOYEUR::ms_stFamily = {&kstCONVOYEUR, &InitNone};
const STAnyFamily CAny_TNPOLICE::ms_stFamily = {&kstPOLICE, &InitNone};
const STAnyFamily CAny_TNOBJET_BASE::ms_stFamily = {&kstOBJET_BASE, &InitNone};
const STAnyFamily CAny_TNDINO::ms_stFamily = {&kstDINO, &InitNone};
