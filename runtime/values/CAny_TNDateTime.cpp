// The handler families of the inline date-time (CDateTimeBase: two 32-bit
// words) and duration (CDureeBase: a 64-bit count of milliseconds).
//
// Both are 8 bytes at the start of the value area, read and written with
// memcpy (a value may sit at 4 mod 8). They own nothing, have no sign test
// and no step of one (the base behaviours), and copy by bytes.
#include <cstring>

#include "AnyHandlers.h"
#include "CDateTimeBase.h"
#include "CDureeBase.h"

namespace {

constexpr std::size_t knWidth = 8;
static_assert(sizeof(CDateTimeBase) == knWidth, "a date-time is two 32-bit words");
static_assert(sizeof(CDureeBase) == knWidth, "a duration is 64 bits");

// The value's code and bytes into the target, the target's flags replaced by
// this value's two.
void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || &pTarget->m_clIntern == h) return;
  pTarget->__SetType(static_cast<unsigned short>(h->m_wType & 0xFF), 0);
  pTarget->pstTable()->pfnSetValue(&pTarget->m_clIntern, h->m_abyValue);
  AnyBase::CopyFlags(h, pTarget);
}

int nGetSize(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = knWidth;
  return ANY_OK;
}

int nGetAdr(CAny_Intern* h, void** pp) {
  if (pp != nullptr) *pp = h->m_abyValue;
  return ANY_OK;
}

int nFill(CAny_Intern* h, void* p) {
  if (p == nullptr) return ANY_ERR_IMPOSSIBLE;
  std::memcpy(p, h->m_abyValue, knWidth);
  return ANY_OK;
}

// A null source gives the empty value (all zero for both kinds).
void SetValue(CAny_Intern* h, const void* p) {
  if (p == nullptr)
    std::memset(h->m_abyValue, 0, knWidth);
  else
    std::memcpy(h->m_abyValue, p, knWidth);
}

// At most 8 bytes are read; what the source lacks is zero.
void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
  std::memset(h->m_abyValue, 0, knWidth);
  if (p != nullptr) std::memcpy(h->m_abyValue, p, n < knWidth ? n : knWidth);
}

void InitDateTime(CAny_Intern* h, unsigned short) {
  CDateTimeBase dt;
  dt.InitDate();
  h->Put(dt);
}

void InitDuree(CAny_Intern* h, unsigned short) { h->Put(CDureeBase{0}); }

// Both families share every slot; only their initial values differ.
constexpr STAnyTable kstTable = {
    AnyBase::Release,               // destroy
    AnyBase::Release,               // release
    Duplique,                       // Duplique
    nGetSize,                       // nGetSize
    nGetAdr,                        // nGetAdr
    nFill,                          // nFillBuffer
    nGetSize,                       // nGetDataSize
    nGetAdr,                        // nGetDataAdr
    nFill,                          // nFillDataBuffer
    SetValue,                       // SetValue
    SetValueLen,                    // SetValue(p, len)
    AnyBase::nGetPCASTR,            // nGetPCASTR
    AnyBase::nGetPCWSTR,            // nGetPCWSTR
    AnyBase::nGetSTRLEN,            // nGetSTRLEN
    AnyBase::bIsPositive,           // bIsPositive
    nGetSize,                       // nGetUtilDataSize
    nFill,                          // nFillUtilDataBuffer
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

const STAnyFamily CAny_TNDATETIME::ms_stFamily = {&kstTable, InitDateTime};
const STAnyFamily CAny_TNDUREE::ms_stFamily = {&kstTable, InitDuree};
