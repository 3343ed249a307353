// The handler family of BUFFER: memory the value borrows, never owns.
//
// The value area holds the pointer (offset 0) and a 64-bit length in bytes
// (offset 8). The memory stays its owner's: the owner keeps it alive and
// unchanged in size as long as a value (or a copy of it: copies borrow the
// same memory) refers to it; release frees nothing.
#include <cstdint>
#include <cstring>

#include "AnyHandlers.h"

namespace {

constexpr std::size_t knPointerAt = 0;
constexpr std::size_t knLengthAt = sizeof(void*);

const unsigned char* pGetPointer(const CAny_Intern* h) { return h->tGet<const unsigned char*>(knPointerAt); }
std::uint64_t nGetLength(const CAny_Intern* h) { return h->tGet<std::uint64_t>(knLengthAt); }

void Store(CAny_Intern* h, const void* p, std::uint64_t n) {
  h->Put(p, knPointerAt);
  h->Put(n, knLengthAt);
}

// The target borrows the same memory; its flags are replaced by this value's
// two.
void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || &pTarget->m_clIntern == h) return;
  pTarget->__SetType(static_cast<unsigned short>(h->m_wType & 0xFF), 0);
  pTarget->pstTable()->pfnSetValueLen(&pTarget->m_clIntern, pGetPointer(h),
                                      static_cast<std::size_t>(nGetLength(h)));
  AnyBase::CopyFlags(h, pTarget);
}

// The value form is the pointer.
int nGetSize(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = sizeof(void*);
  return ANY_OK;
}
int nGetAdr(CAny_Intern* h, void** pp) {
  if (pp != nullptr) *pp = h->m_abyValue + knPointerAt;
  return ANY_OK;
}
int nFillBuffer(CAny_Intern* h, void* p) {
  if (p == nullptr) return ANY_ERR_IMPOSSIBLE;
  std::memcpy(p, h->m_abyValue + knPointerAt, sizeof(void*));
  return ANY_OK;
}

// The data form is the borrowed bytes.
int nGetDataSize(CAny_Intern* h, std::size_t* pn) {
  if (pn != nullptr) *pn = static_cast<std::size_t>(nGetLength(h));
  return ANY_OK;
}
int nGetDataAdr(CAny_Intern* h, void** pp) {
  if (pp != nullptr) *pp = const_cast<unsigned char*>(pGetPointer(h));
  return ANY_OK;
}
int nFillDataBuffer(CAny_Intern* h, void* p) {
  const unsigned char* pData = pGetPointer(h);
  const std::uint64_t n = nGetLength(h);
  if (n == 0) return ANY_OK;
  if (p == nullptr || pData == nullptr) return ANY_ERR_IMPOSSIBLE;
  std::memcpy(p, pData, static_cast<std::size_t>(n));
  return ANY_OK;
}

// A pointer alone borrows no bytes yet.
void SetValue(CAny_Intern* h, const void* p) { Store(h, p, 0); }
void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) { Store(h, p, n); }

void Init(CAny_Intern* h, unsigned short) { Store(h, nullptr, 0); }

constexpr STAnyTable kstTable = {
    AnyBase::Release,               // destroy: nothing is owned
    AnyBase::Release,               // release
    Duplique,                       // Duplique
    nGetSize,                       // nGetSize
    nGetAdr,                        // nGetAdr
    nFillBuffer,                    // nFillBuffer
    nGetDataSize,                   // nGetDataSize
    nGetDataAdr,                    // nGetDataAdr
    nFillDataBuffer,                // nFillDataBuffer
    SetValue,                       // SetValue
    SetValueLen,                    // SetValue(p, len)
    AnyBase::nGetPCASTR,            // nGetPCASTR
    AnyBase::nGetPCWSTR,            // nGetPCWSTR
    AnyBase::nGetSTRLEN,            // nGetSTRLEN
    AnyBase::bIsPositive,           // bIsPositive
    nGetDataSize,                   // nGetUtilDataSize
    nFillDataBuffer,                // nFillUtilDataBuffer
    AnyBase::nIncremente,           // nIncremente
    AnyBase::nDecremente,           // nDecremente
    AnyBase::SetFromANSI,           // SetValueFromANSI
    AnyBase::SetFromANSILen,        // SetValueFromANSI(p, len)
    AnyBase::SetFromUNICODE,        // SetValueFromUNICODE
    AnyBase::SetFromUNICODELen,     // SetValueFromUNICODE(p, len)
    AnyBase::SetFromANSI_CP,        // SetValueFromANSI_CP
    AnyBase::SetFromANSI_CPLen,     // SetValueFromANSI_CP(cp, p, len)
    AnyBase::SetFromUNICODE_CP,     // SetValueFromUNICODE_CP
    AnyBase::SetFromUNICODE_CPLen,  // SetValueFromUNICODE_CP(cp, p, len)
    AnyBase::SetValueOption,        // SetValueOption
    nullptr,                        // owned strings only
    nullptr,
    nullptr,
};

}  // namespace

const STAnyFamily CAny_TNBUFFER::ms_stFamily = {&kstTable, Init};
