// The handler families of the one-character texts: CARA (an 8-bit character)
// and CARW (a 4-byte wide character), each followed by its terminator in the
// value area so that the character reads as a text of its own.
//
// Setting from text of the other width converts one character: CARW takes
// 8-bit text through the code page (1252 unless one is given), CARA takes
// wide text the same way. Setting from 16-bit units (CAny_TNCARW::
// s_SetFromUTF16) reads only the units it is given.
#include <cstring>

#include "AnyHandlers.h"
#include "CodePage.h"

namespace {

// The code page of the setters that name none.
constexpr unsigned knDefaultCodePage = 1252;

// The value's code and character into the target, the target's flags
// replaced by this value's two.
void Duplique(CAny_Intern* h, CAny* pTarget) {
  if (pTarget == nullptr || &pTarget->m_clIntern == h) return;
  pTarget->__SetType(static_cast<unsigned short>(h->m_wType & 0xFF), 0);
  pTarget->pstTable()->pfnSetValue(&pTarget->m_clIntern, h->m_abyValue);
  AnyBase::CopyFlags(h, pTarget);
}

int nGetAdr(CAny_Intern* h, void** pp) {
  if (pp != nullptr) *pp = h->m_abyValue;
  return ANY_OK;
}

// The text length of either kind is its one character.
int nGetSTRLEN(CAny_Intern*, std::size_t* pn) {
  if (pn != nullptr) *pn = 1;
  return ANY_OK;
}

// One character of its width (1 or 4 bytes), with the terminator after it.
template <std::size_t W>
struct Char {
  static int nGetSize(CAny_Intern*, std::size_t* pn) {
    if (pn != nullptr) *pn = W;
    return ANY_OK;
  }
  // The fills copy the character only: every size of the kind is one
  // character, so a buffer sized by them has no room for a terminator.
  static int nFill(CAny_Intern* h, void* p) {
    if (p == nullptr) return ANY_ERR_IMPOSSIBLE;
    std::memcpy(p, h->m_abyValue, W);
    return ANY_OK;
  }
  static void Init(CAny_Intern* h, unsigned short) { std::memset(h->m_abyValue, 0, 2 * W); }
  static void SetValue(CAny_Intern* h, const void* p) {
    std::memset(h->m_abyValue, 0, 2 * W);
    if (p != nullptr) std::memcpy(h->m_abyValue, p, W);
  }
  static void SetValueLen(CAny_Intern* h, const void* p, std::size_t n) {
    std::memset(h->m_abyValue, 0, 2 * W);
    if (p != nullptr) std::memcpy(h->m_abyValue, p, n < W ? n : W);
  }
};

// ---- CARA ----------------------------------------------------------------

int nGetPCASTR(CAny_Intern* h, const char** pp) {
  if (pp != nullptr) *pp = reinterpret_cast<const char*>(h->m_abyValue);
  return ANY_OK;
}

// The first wide character of p in the code page; one that takes more than
// one byte there (or none) becomes '?', as an unrepresentable one does.
void SetCharFromWide(CAny_Intern* h, unsigned nCodePage, const void* p) {
  wchar_t c = 0;
  if (p != nullptr) std::memcpy(&c, p, sizeof c);
  char ch = 0;
  if (c != 0) {
    char ab[8];
    ch = WideCharToMultiByte(nCodePage, 0, &c, 1, ab, sizeof ab, nullptr, nullptr) == 1 ? ab[0] : '?';
  }
  std::memset(h->m_abyValue, 0, 2);
  h->Put(ch);
}

void CARA_SetFromUNICODE(CAny_Intern* h, const void* p) { SetCharFromWide(h, knDefaultCodePage, p); }
// One character is taken whatever the length says, as with a code page.
void CARA_SetFromUNICODELen(CAny_Intern* h, const void* p, std::size_t) {
  SetCharFromWide(h, knDefaultCodePage, p);
}
void CARA_SetFromUNICODE_CP(CAny_Intern* h, int nCodePage, const void* p) {
  SetCharFromWide(h, static_cast<unsigned>(nCodePage), p);
}
void CARA_SetFromUNICODE_CPLen(CAny_Intern* h, int nCodePage, const void* p, std::size_t) {
  SetCharFromWide(h, static_cast<unsigned>(nCodePage), p);
}

constexpr STAnyTable kstCARA = {
    AnyBase::Release,           // destroy
    AnyBase::Release,           // release
    Duplique,                   // Duplique
    Char<1>::nGetSize,          // nGetSize
    nGetAdr,                    // nGetAdr
    Char<1>::nFill,             // nFillBuffer
    Char<1>::nGetSize,          // nGetDataSize
    nGetAdr,                    // nGetDataAdr
    Char<1>::nFill,             // nFillDataBuffer
    Char<1>::SetValue,          // SetValue
    Char<1>::SetValueLen,       // SetValue(p, len)
    nGetPCASTR,                 // nGetPCASTR
    AnyBase::nGetPCWSTR,        // nGetPCWSTR
    nGetSTRLEN,                 // nGetSTRLEN
    AnyBase::bIsPositive,       // bIsPositive
    Char<1>::nGetSize,          // nGetUtilDataSize
    Char<1>::nFill,             // nFillUtilDataBuffer
    AnyBase::nIncremente,       // nIncremente
    AnyBase::nDecremente,       // nDecremente
    AnyBase::SetFromANSI,       // SetValueFromANSI
    AnyBase::SetFromANSILen,    // SetValueFromANSI(p, len)
    CARA_SetFromUNICODE,        // SetValueFromUNICODE
    CARA_SetFromUNICODELen,     // SetValueFromUNICODE(p, len)
    AnyBase::SetFromANSI_CP,    // SetValueFromANSI_CP
    AnyBase::SetFromANSI_CPLen, // SetValueFromANSI_CP(cp, p, len)
    CARA_SetFromUNICODE_CP,     // SetValueFromUNICODE_CP
    CARA_SetFromUNICODE_CPLen,  // SetValueFromUNICODE_CP(cp, p, len)
    AnyBase::SetValueOption,    // SetValueOption
    nullptr,                    // owned strings only
    nullptr,
    nullptr,
};

// ---- CARW ----------------------------------------------------------------

int nGetPCWSTR(CAny_Intern* h, const wchar_t** pp) {
  // The value area lies 16 bytes into a 4-aligned value: aligned for wchar_t.
  if (pp != nullptr) *pp = reinterpret_cast<const wchar_t*>(h->m_abyValue);
  return ANY_OK;
}

void PutWide(CAny_Intern* h, wchar_t c) {
  h->Put(c);
  h->Put(wchar_t{0}, sizeof(wchar_t));
}

// The first character of the 8-bit text p in the code page. A character of
// several bytes (UTF-8, double-byte pages) is found by widening the shortest
// start of the text that gives one; nothing convertible gives '?'.
void SetCharFromAnsi(CAny_Intern* h, unsigned nCodePage, const void* p) {
  const char* psz = static_cast<const char*>(p);
  wchar_t c = 0;
  if (psz != nullptr && psz[0] != 0) {
    c = L'?';
    constexpr int knMaxBytes = 4;
    const int nAvail = static_cast<int>(strnlen(psz, knMaxBytes));
    for (int n = 1; n <= nAvail; ++n) {
      wchar_t aw[knMaxBytes];
      if (MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, psz, n, aw, knMaxBytes) >= 1) {
        c = aw[0];
        break;
      }
    }
  }
  PutWide(h, c);
}

void CARW_SetFromANSI(CAny_Intern* h, const void* p) { SetCharFromAnsi(h, knDefaultCodePage, p); }
void CARW_SetFromANSILen(CAny_Intern* h, const void* p, std::size_t) {
  SetCharFromAnsi(h, knDefaultCodePage, p);
}
void CARW_SetFromANSI_CP(CAny_Intern* h, int nCodePage, const void* p) {
  SetCharFromAnsi(h, static_cast<unsigned>(nCodePage), p);
}
void CARW_SetFromANSI_CPLen(CAny_Intern* h, int nCodePage, const void* p, std::size_t) {
  SetCharFromAnsi(h, static_cast<unsigned>(nCodePage), p);
}

constexpr STAnyTable kstCARW = {
    AnyBase::Release,               // destroy
    AnyBase::Release,               // release
    Duplique,                       // Duplique
    Char<sizeof(wchar_t)>::nGetSize,     // nGetSize
    nGetAdr,                        // nGetAdr
    Char<sizeof(wchar_t)>::nFill,        // nFillBuffer
    Char<sizeof(wchar_t)>::nGetSize,     // nGetDataSize
    nGetAdr,                        // nGetDataAdr
    Char<sizeof(wchar_t)>::nFill,        // nFillDataBuffer
    Char<sizeof(wchar_t)>::SetValue,     // SetValue
    Char<sizeof(wchar_t)>::SetValueLen,  // SetValue(p, len)
    AnyBase::nGetPCASTR,            // nGetPCASTR
    nGetPCWSTR,                     // nGetPCWSTR
    nGetSTRLEN,                     // nGetSTRLEN
    AnyBase::bIsPositive,           // bIsPositive
    Char<sizeof(wchar_t)>::nGetSize,     // nGetUtilDataSize
    Char<sizeof(wchar_t)>::nFill,        // nFillUtilDataBuffer
    AnyBase::nIncremente,           // nIncremente
    AnyBase::nDecremente,           // nDecremente
    CARW_SetFromANSI,               // SetValueFromANSI
    CARW_SetFromANSILen,            // SetValueFromANSI(p, len)
    AnyBase::SetFromUNICODE,        // SetValueFromUNICODE
    AnyBase::SetFromUNICODELen,     // SetValueFromUNICODE(p, len)
    CARW_SetFromANSI_CP,            // SetValueFromANSI_CP
    CARW_SetFromANSI_CPLen,         // SetValueFromANSI_CP(cp, p, len)
    AnyBase::SetFromUNICODE_CP,     // SetValueFromUNICODE_CP
    AnyBase::SetFromUNICODE_CPLen,  // SetValueFromUNICODE_CP(cp, p, len)
    AnyBase::SetValueOption,        // SetValueOption
    nullptr,                        // owned strings only
    nullptr,
    nullptr,
};

}  // namespace

const STAnyFamily CAny_TNCARA::ms_stFamily = {&kstCARA, Char<1>::Init};
const STAnyFamily CAny_TNCARW::ms_stFamily = {&kstCARW, Char<sizeof(wchar_t)>::Init};

void CAny_TNCARW::s_SetFromUTF16(CAny* pAny, const unsigned short* pUtf16, int nCount) {
  if (pAny == nullptr || pUtf16 == nullptr || nCount < 1) return;
  // Only units within the count are read: a full record item carries no
  // terminator after its last unit.
  wchar_t c = pUtf16[0];
  if (pUtf16[0] >= 0xD800 && pUtf16[0] <= 0xDBFF && nCount >= 2 && pUtf16[1] >= 0xDC00 &&
      pUtf16[1] <= 0xDFFF)
    c = static_cast<wchar_t>(0x10000 + ((pUtf16[0] - 0xD800) << 10) + (pUtf16[1] - 0xDC00));
  pAny->__SetType(ANY_CARW, 0);
  PutWide(&pAny->m_clIntern, c);
  pAny->ClearFlags();
}
