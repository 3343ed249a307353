// The handler families of the inline numbers: BOOL, the signed and unsigned
// integers of 8 to 64 bits, UIX, the two floating-point kinds and the
// currency (CMoney, 10 bytes).
//
// Each value lives at the start of the value area, read and written with
// memcpy (a value may sit at 4 mod 8). The families own nothing: release is
// the base one, and a copy copies the bytes of the value.
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "AnyHandlers.h"
#include "CMoney.h"

namespace {

// ---- Operations common to every inline number --------------------------

// The value's code and bytes into the target, the target's flags replaced by
// this value's two.
void DupliqueInline(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || &pTarget->m_clIntern == h) return;
  pTarget->__SetType(static_cast<unsigned short>(h->m_wType & 0xFF), 0);
  pTarget->pstTable()->pfnSetValue(&pTarget->m_clIntern, h->m_abyValue);
  AnyBase::CopyFlags(h, pTarget);
}

template <std::size_t W>
struct Inline {
  static int nGetSize(CAny_Intern*, std::size_t* pn) {
    if (pn != nullptr) *pn = W;
    return ANY_OK;
  }
  static int nGetAdr(CAny_Intern* h, void** pp) {
    if (pp != nullptr) *pp = h->m_abyValue;
    return ANY_OK;
  }
  static int nFill(CAny_Intern* h, void* p) {
    if (p == nullptr) return ANY_ERR_IMPOSSIBLE;
    std::memcpy(p, h->m_abyValue, W);
    return ANY_OK;
  }
  // A null source gives the zero value rather than a read through null.
  static void SetValue(CAny_Intern* h, const void* p) {
    if (p == nullptr)
      std::memset(h->m_abyValue, 0, W);
    else
      std::memcpy(h->m_abyValue, p, W);
  }
  // At most the value's width is read; what the source lacks is zero.
  static void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
    std::memset(h->m_abyValue, 0, W);
    if (p != nullptr) std::memcpy(h->m_abyValue, p, n < W ? n : W);
  }
  static void Init(CAny_Intern* h, unsigned short) { std::memset(h->m_abyValue, 0, W); }
};

// Every slot of an inline number's table; only the sign test and the two
// steps differ between the families.
template <std::size_t W>
constexpr STAnyTable InlineTable(bool (*pfnIsPositive)(CAny_Intern*), int (*pfnIncremente)(CAny_Intern*),
                                 int (*pfnDecremente)(CAny_Intern*)) {
  return STAnyTable{
      AnyBase::Release,          // destroy
      AnyBase::Release,          // release
      DupliqueInline,            // Duplique
      Inline<W>::nGetSize,       // nGetSize
      Inline<W>::nGetAdr,        // nGetAdr
      Inline<W>::nFill,          // nFillBuffer
      Inline<W>::nGetSize,       // nGetDataSize
      Inline<W>::nGetAdr,        // nGetDataAdr
      Inline<W>::nFill,          // nFillDataBuffer
      Inline<W>::SetValue,       // SetValue
      Inline<W>::SetValueLen,    // SetValue(p, len)
      AnyBase::nGetPCASTR,       // nGetPCASTR
      AnyBase::nGetPCWSTR,       // nGetPCWSTR
      AnyBase::nGetSTRLEN,       // nGetSTRLEN
      pfnIsPositive,             // bIsPositive
      Inline<W>::nGetSize,       // nGetUtilDataSize
      Inline<W>::nFill,          // nFillUtilDataBuffer
      pfnIncremente,             // nIncremente
      pfnDecremente,             // nDecremente
      AnyBase::SetFromANSI,      // SetValueFromANSI
      AnyBase::SetFromANSILen,   // SetValueFromANSI(p, len)
      AnyBase::SetFromUNICODE,   // SetValueFromUNICODE
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
}

// ---- Sign tests --------------------------------------------------------

template <typename T>
bool bNotNegative(CAny_Intern* h) {
  // Written as "not below" so that a NaN counts as positive.
  return !(h->tGet<T>() < static_cast<T>(0));
}

// The sign bit of the 80-bit amount is the top bit of its last word.
bool bIsPositiveCY(CAny_Intern* h) { return (h->tGet<CMoney>().m_awMot[4] & 0x8000u) == 0; }

// ---- Steps of one ------------------------------------------------------

// Signed integers: the step is done on the unsigned bits so that the wrap at
// the ends of the range is defined; bReport says whether leaving the range
// is reported (1) or silent (I8).
template <typename T, int nStep, bool bReport>
int nStepSigned(CAny_Intern* h) {
  using U = std::make_unsigned_t<T>;
  const T tOld = h->tGet<T>();
  const U u = h->tGet<U>();
  h->Put(static_cast<U>(nStep > 0 ? u + 1u : u - 1u));
  if (!bReport) return ANY_OK;
  const T tEdge = nStep > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
  return tOld == tEdge ? 1 : ANY_OK;
}

// UI1, UI2, UI4: a wrap-around is reported.
template <typename U, int nStep>
int nStepUnsigned(CAny_Intern* h) {
  const U u = h->tGet<U>();
  const U uNew = static_cast<U>(nStep > 0 ? u + 1u : u - 1u);
  h->Put(uNew);
  const U uEdge = nStep > 0 ? std::numeric_limits<U>::max() : 0;
  return u == uEdge ? 1 : ANY_OK;
}

// UI8 reports the top bit of the new value.
template <int nStep>
int nStepUI8(CAny_Intern* h) {
  const std::uint64_t u = h->tGet<std::uint64_t>();
  const std::uint64_t uNew = nStep > 0 ? u + 1u : u - 1u;
  h->Put(uNew);
  return static_cast<int>(uNew >> 63);
}

// UIX wraps silently.
template <int nStep>
int nStepUIX(CAny_Intern* h) {
  const std::uint64_t u = h->tGet<std::uint64_t>();
  h->Put(static_cast<std::uint64_t>(nStep > 0 ? u + 1u : u - 1u));
  return ANY_OK;
}

template <int nStep>
int nStepR8(CAny_Intern* h) {
  h->Put(h->tGet<double>() + nStep);
  return ANY_OK;
}

// R4 steps in double precision and reports a result beyond the float range;
// such a result is stored as the infinity of its sign, which is what the
// narrowing would give, without converting an out-of-range double.
template <int nStep>
int nStepR4(CAny_Intern* h) {
  const double d = static_cast<double>(h->tGet<float>()) + nStep;
  constexpr double dMax = static_cast<double>(FLT_MAX);
  float f;
  int nResult = ANY_OK;
  if (d > dMax) {
    f = std::numeric_limits<float>::infinity();
    nResult = 1;
  } else if (d < -dMax) {
    f = -std::numeric_limits<float>::infinity();
    nResult = 1;
  } else {
    f = static_cast<float>(d);
  }
  h->Put(f);
  return nResult;
}

// The currency steps through a double; an amount the way back refuses is
// reported and the value kept.
template <int nStep>
int nStepCY(CAny_Intern* h) {
  const CMoney m = h->tGet<CMoney>();
  CMoney mNew = m;
  if (pstDoubleVersMonetaire(&mNew, dMonetaireVersDouble(&m) + nStep) == nullptr) return 1;
  h->Put(mNew);
  return ANY_OK;
}

// ---- The tables --------------------------------------------------------

constexpr STAnyTable kstBOOL = InlineTable<4>(AnyBase::bIsPositive, AnyBase::nIncremente, AnyBase::nDecremente);
constexpr STAnyTable kstUI1 =
    InlineTable<1>(AnyBase::bIsPositive, nStepUnsigned<std::uint8_t, 1>, nStepUnsigned<std::uint8_t, -1>);
constexpr STAnyTable kstUI2 =
    InlineTable<2>(AnyBase::bIsPositive, nStepUnsigned<std::uint16_t, 1>, nStepUnsigned<std::uint16_t, -1>);
constexpr STAnyTable kstUI4 =
    InlineTable<4>(AnyBase::bIsPositive, nStepUnsigned<std::uint32_t, 1>, nStepUnsigned<std::uint32_t, -1>);
constexpr STAnyTable kstUI8 = InlineTable<8>(AnyBase::bIsPositive, nStepUI8<1>, nStepUI8<-1>);
constexpr STAnyTable kstI1 = InlineTable<1>(bNotNegative<std::int8_t>, nStepSigned<std::int8_t, 1, true>,
                                            nStepSigned<std::int8_t, -1, true>);
constexpr STAnyTable kstI2 = InlineTable<2>(bNotNegative<std::int16_t>, nStepSigned<std::int16_t, 1, true>,
                                            nStepSigned<std::int16_t, -1, true>);
constexpr STAnyTable kstI4 = InlineTable<4>(bNotNegative<std::int32_t>, nStepSigned<std::int32_t, 1, true>,
                                            nStepSigned<std::int32_t, -1, true>);
constexpr STAnyTable kstI8 = InlineTable<8>(bNotNegative<std::int64_t>, nStepSigned<std::int64_t, 1, false>,
                                            nStepSigned<std::int64_t, -1, false>);
constexpr STAnyTable kstUIX = InlineTable<8>(AnyBase::bIsPositive, nStepUIX<1>, nStepUIX<-1>);
constexpr STAnyTable kstR4 = InlineTable<4>(bNotNegative<float>, nStepR4<1>, nStepR4<-1>);
constexpr STAnyTable kstR8 = InlineTable<8>(bNotNegative<double>, nStepR8<1>, nStepR8<-1>);
constexpr STAnyTable kstCY = InlineTable<sizeof(CMoney)>(bIsPositiveCY, nStepCY<1>, nStepCY<-1>);

}  // namespace

const STAnyFamily CAny_TNBOOL::ms_stFamily = {&kstBOOL, Inline<4>::Init};
const STAnyFamily CAny_TNUI1::ms_stFamily = {&kstUI1, Inline<1>::Init};
const STAnyFamily CAny_TNUI2::ms_stFamily = {&kstUI2, Inline<2>::Init};
const STAnyFamily CAny_TNUI4::ms_stFamily = {&kstUI4, Inline<4>::Init};
const STAnyFamily CAny_TNUI8::ms_stFamily = {&kstUI8, Inline<8>::Init};
const STAnyFamily CAny_TNI1::ms_stFamily = {&kstI1, Inline<1>::Init};
const STAnyFamily CAny_TNI2::ms_stFamily = {&kstI2, Inline<2>::Init};
const STAnyFamily CAny_TNI4::ms_stFamily = {&kstI4, Inline<4>::Init};
const STAnyFamily CAny_TNI8::ms_stFamily = {&kstI8, Inline<8>::Init};
const STAnyFamily CAny_TNUIX::ms_stFamily = {&kstUIX, Inline<8>::Init};
const STAnyFamily CAny_TNR4::ms_stFamily = {&kstR4, Inline<4>::Init};
const STAnyFamily CAny_TNR8::ms_stFamily = {&kstR8, Inline<8>::Init};
const STAnyFamily CAny_TNCY::ms_stFamily = {&kstCY, Inline<sizeof(CMoney)>::Init};
