// Handler family of the runtime's decimals: DECIMAL (13).
//
// The value area holds one IDecimal pointer (offset 0, read and written with
// memcpy). The value owns that object: it is made by the runtime's factory
// (gpiVMFactory, create with argument 0) when the type is set, and given
// back to the same factory when the value releases it. Without a factory
// the value holds no object: every operation that needs one answers 105 (or
// changes nothing) and release has nothing to give back.
#include <cstring>

#include "AnyHandlers.h"
#include "AnyRuntime.h"
#include "IDecimal.h"

namespace {

// Size of the data form (slot 5 of the decimal).
constexpr std::size_t knDataSize = 18;

IDecimal* Decimal(const CAny_Intern* h) { return h->tGet<IDecimal*>(); }

void Release(CAny_Intern* h) {
  IDecimal* pi = Decimal(h);
  h->Put<IDecimal*>(nullptr);
  if (pi != nullptr && gpiVMFactory != nullptr) gpiVMFactory->ReleaseDecimal(pi);
  AnyBase::Release(h);
}

// The target gets its own decimal (made by its change of type) loaded from
// this one.
void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  pTarget->__SetType(ANY_DECIMAL, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, Decimal(h));
  AnyBase::CopyFlags(h, pTarget);
}

// The object pointer (the object stays the value's).
int nFillBuffer(CAny_Intern* h, void* out) {
  IDecimal* pi = Decimal(h);
  std::memcpy(out, &pi, sizeof pi);
  return ANY_OK;
}

int nGetDataSize(CAny_Intern*, std::size_t* pn) {
  *pn = knDataSize;
  return ANY_OK;
}

int nGetDataAdr(CAny_Intern*, void** pp) {
  *pp = nullptr;
  return ANY_ERR_IMPOSSIBLE;
}

// The 18-byte data form.
int nFillDataBuffer(CAny_Intern* h, void* out) {
  IDecimal* pi = Decimal(h);
  if (pi == nullptr) return ANY_ERR_IMPOSSIBLE;
  return pi->nGetData18(out);
}

// p is a decimal object: this value's object takes its value.
void SetValue(CAny_Intern* h, const void* p) {
  IDecimal* pi = Decimal(h);
  if (pi == nullptr || p == nullptr || p == pi) return;
  pi->nSetFromDecimal(static_cast<IDecimal*>(const_cast<void*>(p)));
}

// p is the decimal's bytes (its 18-byte data form for n = 18).
void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  IDecimal* pi = Decimal(h);
  if (pi == nullptr || p == nullptr) return;
  pi->nSetFromBytes(p, n);
}

// The sign test answers 0 for zero and positive values.
bool bIsPositive(CAny_Intern* h) {
  IDecimal* pi = Decimal(h);
  return pi == nullptr || pi->nGetSign() == 0;
}

const STAnyTable kstDECIMAL = {
    Release,          Release,           Duplique,             AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, nFillBuffer,       nGetDataSize,         nGetDataAdr,
    nFillDataBuffer,  SetValue,          SetValueLen,          AnyBase::nGetPCASTR,
    AnyBase::nGetPCWSTR, AnyBase::nGetSTRLEN, bIsPositive,     nGetDataSize,
    nFillDataBuffer,  AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,
    AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,
    AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,
    AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,
    nullptr,          nullptr,           nullptr,
};

// A new decimal (0 at the factory's default digits); none without a factory
// or when the factory has none to give.
void Init(CAny_Intern* h, unsigned short) {
  IDecimal* pi = gpiVMFactory != nullptr ? gpiVMFactory->piCreateDecimal(0) : nullptr;
  h->Put<IDecimal*>(pi);
}

}  // namespace

const STAnyFamily CAny_TNDECIMAL::ms_stFamily = {&kstDECIMAL, &Init};
