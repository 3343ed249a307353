// The handler families of CAny: one constant table of functions per family
// of type codes (CAny_Intern for the empty value, CAny_TN<name> for the
// others), and the base behaviours they share.
//
// Contract of every family (what __SetType, the copies and the casts rely
// on):
// - Release (slots 0 and 1) frees exactly what the value owns, once, and
//   puts the base table back; the type word and value area are then the
//   empty value's concern (__SetType rewrites them).
// - Duplique(target): target->__SetType(own code, 0), the target's SetValue
//   from this value's form, the target's flags cleared, then this value's
//   0x100 and 0x400 copied (object families excepted: see their files).
// - Setters take the new content before releasing the old (the source may be
//   what the value holds), and a failed allocation keeps the old value.
// - Initialisation (what __SetType writes unless told not to) is the
//   family's pfnInit below, called with the full code.
#pragma once

#include "CAny.h"

// The per-family description __SetType uses.
struct STAnyFamily {
  const STAnyTable* pstTable;
  // Writes the initial value of the code into the value area (the area is
  // the family's own: it may hold anything before).
  void (*pfnInit)(CAny_Intern*, unsigned short wCode);
};

// The family of a type code (low byte); null for the empty value and for
// codes that have none (they give the empty value).
const STAnyFamily* pstAnyFamily(unsigned char nCode);

// Base behaviours (the empty value's table), for families to fill the
// slots they do not override.
namespace AnyBase {
void Release(CAny_Intern* h);
void Duplique(CAny_Intern* h, CAny* pTarget);
int nGetSize(CAny_Intern* h, std::size_t* pn);
int nGetAdr(CAny_Intern* h, void** pp);
int nFillBuffer(CAny_Intern* h, void* p);
int nGetDataSize(CAny_Intern* h, std::size_t* pn);
int nGetDataAdr(CAny_Intern* h, void** pp);
int nFillDataBuffer(CAny_Intern* h, void* p);
void SetValue(CAny_Intern* h, const void* p);
void SetValueLen(CAny_Intern* h, const void* p, std::size_t n);
int nGetPCASTR(CAny_Intern* h, const char** pp);
int nGetPCWSTR(CAny_Intern* h, const wchar_t** pp);
int nGetSTRLEN(CAny_Intern* h, std::size_t* pn);
bool bIsPositive(CAny_Intern* h);
int nGetUtilDataSize(CAny_Intern* h, std::size_t* pn);
int nFillUtilDataBuffer(CAny_Intern* h, void* p);
int nIncremente(CAny_Intern* h);
int nDecremente(CAny_Intern* h);
void SetFromANSI(CAny_Intern* h, const void* p);
void SetFromANSILen(CAny_Intern* h, const void* p, std::size_t n);
void SetFromUNICODE(CAny_Intern* h, const void* p);
void SetFromUNICODELen(CAny_Intern* h, const void* p, std::size_t n);
void SetFromANSI_CP(CAny_Intern* h, int nCodePage, const void* p);
void SetFromANSI_CPLen(CAny_Intern* h, int nCodePage, const void* p, std::size_t n);
void SetFromUNICODE_CP(CAny_Intern* h, int nCodePage, const void* p);
void SetFromUNICODE_CPLen(CAny_Intern* h, int nCodePage, const void* p, std::size_t n);
void SetValueOption(CAny_Intern* h, const void* p, std::size_t n, unsigned int nOption);
// For the families held by pointer or handle: the value form is 8 bytes,
// at the start of the value area.
int nGetPointerSize(CAny_Intern* h, std::size_t* pn);
int nGetValueAdr(CAny_Intern* h, void** pp);
// Flags after a Duplique: the target's cleared, the source's two copied.
void CopyFlags(const CAny_Intern* pSource, CAny* pTarget);
}  // namespace AnyBase

// The base table's slots in order, for a family table to start from:
//   STAnyTable t = kstAnyBaseSlots; then override.
// (Families define their tables as constants with every slot spelled out.)
#define KX_ANY_BASE_SLOTS                                                                       \
  AnyBase::Release, AnyBase::Release, AnyBase::Duplique, AnyBase::nGetSize, AnyBase::nGetAdr,   \
      AnyBase::nFillBuffer, AnyBase::nGetDataSize, AnyBase::nGetDataAdr, AnyBase::nFillDataBuffer, \
      AnyBase::SetValue, AnyBase::SetValueLen, AnyBase::nGetPCASTR, AnyBase::nGetPCWSTR,        \
      AnyBase::nGetSTRLEN, AnyBase::bIsPositive, AnyBase::nGetUtilDataSize,                     \
      AnyBase::nFillUtilDataBuffer, AnyBase::nIncremente, AnyBase::nDecremente,                 \
      AnyBase::SetFromANSI, AnyBase::SetFromANSILen, AnyBase::SetFromUNICODE,                   \
      AnyBase::SetFromUNICODELen, AnyBase::SetFromANSI_CP, AnyBase::SetFromANSI_CPLen,          \
      AnyBase::SetFromUNICODE_CP, AnyBase::SetFromUNICODE_CPLen, AnyBase::SetValueOption,       \
      nullptr, nullptr, nullptr

// The 34 families. Each class owns its table (ms_stFamily), defined in its
// own file (CAny_TN<name>.cpp) or in the file of its close family, with the
// functions of its slots.
#define KX_ANY_FAMILY(name)                 \
  struct name {                             \
    static const STAnyFamily ms_stFamily;   \
  };
KX_ANY_FAMILY(CAny_TNBOOL)
KX_ANY_FAMILY(CAny_TNUI1)
KX_ANY_FAMILY(CAny_TNUI2)
KX_ANY_FAMILY(CAny_TNUI4)
KX_ANY_FAMILY(CAny_TNUI8)
KX_ANY_FAMILY(CAny_TNI1)
KX_ANY_FAMILY(CAny_TNI2)
KX_ANY_FAMILY(CAny_TNI4)
KX_ANY_FAMILY(CAny_TNI8)
KX_ANY_FAMILY(CAny_TNCY)
KX_ANY_FAMILY(CAny_TNR4)
KX_ANY_FAMILY(CAny_TNR8)
KX_ANY_FAMILY(CAny_TNDECIMAL)
KX_ANY_FAMILY(CAny_TNUIX)
KX_ANY_FAMILY(CAny_TNCARA)
KX_ANY_FAMILY(CAny_TNPSTRA)
KX_ANY_FAMILY(CAny_TNDSTRA)
KX_ANY_FAMILY(CAny_TNDATEW)
KX_ANY_FAMILY(CAny_TNTIMEW)
KX_ANY_FAMILY(CAny_TNDATETIME)
KX_ANY_FAMILY(CAny_TNDUREE)
KX_ANY_FAMILY(CAny_TNBIN)
KX_ANY_FAMILY(CAny_TNBUFFER)
KX_ANY_FAMILY(CAny_TNMEMOIMG)
KX_ANY_FAMILY(CAny_TNCONVOYEUR)
KX_ANY_FAMILY(CAny_TNPOLICE)
KX_ANY_FAMILY(CAny_TNOBJET_BASE)
KX_ANY_FAMILY(CAny_TNDINO)
KX_ANY_FAMILY(CAny_TNDATEA)
KX_ANY_FAMILY(CAny_TNTIMEA)
#undef KX_ANY_FAMILY

// Families with setters of their own.
struct CAny_TNTABANY {
  static const STAnyFamily ms_stFamily;
  // Type 83 taking the record's array and count as they are (the value owns
  // them from now on).
  static void s_SetDirect(CAny* pAny, const STTabAny& st);
};
// 16-bit text with a count of units: only `nCount` units are read (a full
// record item has no terminator).
struct CAny_TNCARW {
  static const STAnyFamily ms_stFamily;
  // Its first character within the count; nothing for a count below 1.
  static void s_SetFromUTF16(CAny* pAny, const unsigned short* pUtf16, int nCount);
};
struct CAny_TNPSTRW {
  static const STAnyFamily ms_stFamily;
  // The value must be of type 110 without a string: an owned string of the
  // decoded characters; a count of 0 or less changes nothing.
  static void s_SetFromUTF16(CAny* pAny, const unsigned short* pUtf16, int nCount);
};
struct CAny_TNDSTRW {
  static const STAnyFamily ms_stFamily;
  // A count below 1 empties the value; else a private buffer holding the
  // decoded characters.
  static void s_SetFromUTF16(CAny* pAny, const unsigned short* pUtf16, int nCount);
};
