// Handler family of the shared binary buffers: BIN (28, CTNBIN handle).
//
// The value area holds one handle (8 bytes at offset 0, read and written
// with memcpy since the area may sit at 4 mod 8): the data pointer of a
// shared block laid out as SharedStringBlock.h describes, or null for no
// buffer. The value owns one reference of that block. A CTNBIN object is
// exactly its handle, so "the CTNBIN at p" is read as a handle at p.
#include <cstring>

#include "AnyHandlers.h"
#include "SharedStringBlock.h"

namespace {

// Largest byte count SetValue(p, len) accepts.
constexpr std::size_t knMaxBytes = 0x7FFFFEFF;

unsigned char* Handle(const CAny_Intern* h) { return h->tGet<unsigned char*>(); }
void PutHandle(CAny_Intern* h, unsigned char* p) { h->Put<unsigned char*>(p); }

void Release(CAny_Intern* h) {
  void* p = Handle(h);
  SharedBlock::Release(&p);
  PutHandle(h, nullptr);
  AnyBase::Release(h);
}

void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || pTarget == h->pclAny()) return;
  // The reference is held across the target's change of type, in case the
  // target owns this value (an element of its table).
  unsigned char* pOwn = Handle(h);
  SharedBlock::AddRef(pOwn);
  pTarget->__SetType(ANY_BIN, 0);
  CAny_Intern* t = &pTarget->m_clIntern;
  t->pstTable()->pfnSetValue(t, &pOwn);
  void* pHeld = pOwn;
  SharedBlock::Release(&pHeld);
  AnyBase::CopyFlags(h, pTarget);
}

// Shares the buffer into the CTNBIN at out; what out held is released.
int nFillBuffer(CAny_Intern* h, void* out) {
  unsigned char* pOwn = Handle(h);
  void* pOld;
  std::memcpy(&pOld, out, sizeof pOld);
  SharedBlock::AddRef(pOwn);
  SharedBlock::Release(&pOld);
  std::memcpy(out, &pOwn, sizeof pOwn);
  return ANY_OK;
}

int nGetDataSize(CAny_Intern* h, std::size_t* pn) {
  *pn = SharedBlock::nGetLength(Handle(h));
  return ANY_OK;
}

int nGetDataAdr(CAny_Intern* h, void** pp) {
  static unsigned char s_byEmpty = 0;
  unsigned char* p = Handle(h);
  *pp = p != nullptr ? p : &s_byEmpty;
  return ANY_OK;
}

int nFillDataBuffer(CAny_Intern* h, void* out) {
  const unsigned char* p = Handle(h);
  const std::size_t n = SharedBlock::nGetLength(p);
  if (n != 0) std::memcpy(out, p, n);
  return ANY_OK;
}

// Shares the CTNBIN at p; the own handle given again changes nothing.
void SetValue(CAny_Intern* h, const void* p) {
  if (p == nullptr) return;
  unsigned char* pNew;
  std::memcpy(&pNew, p, sizeof pNew);
  void* pOld = Handle(h);
  if (pNew == pOld) return;
  SharedBlock::AddRef(pNew);
  SharedBlock::Release(&pOld);
  PutHandle(h, pNew);
}

// A new buffer holding a copy of n bytes of p (which may lie in the own
// buffer); n = 0 or no bytes: no buffer. A refused size or allocation keeps
// the former buffer.
void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  void* pNew = nullptr;
  if (p != nullptr && n != 0) {
    if (n > knMaxBytes) return;
    if (SharedBlock::nAllocate(&pNew, n, 0) != 0) return;
    std::memcpy(pNew, p, n);
    SharedBlock::pHeader(pNew)->nLength = static_cast<std::uint32_t>(n);
    SharedBlock::WriteTerminator(pNew);
  }
  void* pOld = Handle(h);
  PutHandle(h, static_cast<unsigned char*>(pNew));
  SharedBlock::Release(&pOld);
}

const STAnyTable kstBIN = {
    Release,          Release,           Duplique,             AnyBase::nGetPointerSize,
    AnyBase::nGetValueAdr, nFillBuffer,       nGetDataSize,         nGetDataAdr,
    nFillDataBuffer,  SetValue,          SetValueLen,          AnyBase::nGetPCASTR,
    AnyBase::nGetPCWSTR, AnyBase::nGetSTRLEN, AnyBase::bIsPositive, nGetDataSize,
    nFillDataBuffer,  AnyBase::nIncremente, AnyBase::nDecremente, AnyBase::SetFromANSI,
    AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE, AnyBase::SetFromUNICODELen,
    AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen, AnyBase::SetFromUNICODE_CP,
    AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,
    nullptr,          nullptr,           nullptr,
};

void Init(CAny_Intern* h, unsigned short) { PutHandle(h, nullptr); }

}  // namespace

const STAnyFamily CAny_TNBIN::ms_stFamily = {&kstBIN, &Init};
