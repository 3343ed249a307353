// The handler families of the date and time texts held inline: DATEA and
// TIMEA (8-bit characters), DATEW and TIMEW (4-byte wide characters). A date
// keeps at most 8 characters (YYYYMMDD), a time at most 9 (HHMMSSmmm), each
// terminated right after its last character; the rest of the text's room is
// kept zero, so the value area never shows a former text.
//
// Initial values come from the runtime's defaults
// (CDateTimeBase::ms_pcszValeurInitDate / ms_pcszValeurInitTime): a date
// takes at most their first 8 characters; a time at most 9, padded on the
// right with '0' to exactly 9.
//
// Setting from text of the other width converts the whole text (or the
// length given) in code page 1252 and keeps the first 8 or 9 characters.
#include <cstring>
#include <cwchar>
#include <string>

#include "AnyHandlers.h"
#include "CDateTimeBase.h"
#include "CodePage.h"

namespace {

// The code page of the text setters.
constexpr unsigned knDefaultCodePage = 1252;
constexpr std::size_t knDateChars = 8;
constexpr std::size_t knTimeChars = 9;
// The conversions count in int: a longer text is converted up to this many
// units (far more than a date or time keeps anyway).
constexpr std::size_t knMaxConverted = 0x7FFFFEFF;

// Characters of a terminated text, at most nMax; a null text has none. The
// text is read a character at a time with memcpy, whatever its alignment.
template <typename C>
std::size_t nTextLen(const void* p, std::size_t nMax) {
  if (p == nullptr) return 0;
  const unsigned char* pby = static_cast<const unsigned char*>(p);
  std::size_t n = 0;
  for (; n < nMax; ++n) {
    C c;
    std::memcpy(&c, pby + n * sizeof(C), sizeof c);
    if (c == 0) break;
  }
  return n;
}

// The value's code and text into the target, the target's flags replaced by
// this value's two.
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

// The default text of a date or time, as the family's characters.
std::wstring InitialText(bool bTime) {
  const wchar_t* pszDefault =
      bTime ? CDateTimeBase::ms_pcszValeurInitTime : CDateTimeBase::ms_pcszValeurInitDate;
  const std::size_t nMax = bTime ? knTimeChars : knDateChars;
  std::wstring s(pszDefault != nullptr ? pszDefault : L"", 0,
                 pszDefault != nullptr ? wcsnlen(pszDefault, nMax) : 0);
  if (bTime) s.resize(knTimeChars, L'0');
  return s;
}

// One family per character type C and text length N (8 or 9).
template <typename C, std::size_t N>
struct Text {
  static constexpr std::size_t knRoom = (N + 1) * sizeof(C);
  static_assert(knRoom <= knAnyValueSize, "the text and its terminator fit the value area");

  // n characters of p (n at most N) become the text.
  static void Store(CAny_Intern* h, const void* p, std::size_t n) {
    std::memset(h->m_abyValue, 0, knRoom);
    if (n > 0) std::memcpy(h->m_abyValue, p, n * sizeof(C));
  }
  static std::size_t nLength(const CAny_Intern* h) { return nTextLen<C>(h->m_abyValue, N); }

  // Value form: the N characters' room; data form: that and a terminator.
  static int nGetSize(CAny_Intern*, std::size_t* pn) {
    if (pn != nullptr) *pn = N * sizeof(C);
    return ANY_OK;
  }
  static int nGetDataSize(CAny_Intern*, std::size_t* pn) {
    if (pn != nullptr) *pn = knRoom;
    return ANY_OK;
  }
  // A date's useful data is its full 8 characters, a time's its text.
  static int nGetUtilDataSize(CAny_Intern* h, std::size_t* pn) {
    if (pn != nullptr) *pn = (N == knDateChars ? N : nLength(h)) * sizeof(C);
    return ANY_OK;
  }
  static int nFillBuffer(CAny_Intern* h, void* p) {
    if (p == nullptr) return ANY_ERR_IMPOSSIBLE;
    std::memcpy(p, h->m_abyValue, N * sizeof(C));
    return ANY_OK;
  }
  // The text and its terminator: never more than the useful size plus one
  // character, nor more than the data size.
  static int nFillText(CAny_Intern* h, void* p) {
    if (p == nullptr) return ANY_ERR_IMPOSSIBLE;
    std::memcpy(p, h->m_abyValue, (nLength(h) + 1) * sizeof(C));
    return ANY_OK;
  }
  static void SetValue(CAny_Intern* h, const void* p) { Store(h, p, nTextLen<C>(p, N)); }
  // len is in bytes; at most len / sizeof(C) characters are read, up to N.
  static void SetValueLen(CAny_Intern* h, const void* p, std::size_t nBytes) {
    const std::size_t nChars = nBytes / sizeof(C);
    Store(h, p, nTextLen<C>(p, nChars < N ? nChars : N));
  }
  static void Init(CAny_Intern* h, unsigned short) {
    const std::wstring s = InitialText(N == knTimeChars);
    if constexpr (sizeof(C) == sizeof(wchar_t)) {
      Store(h, s.data(), s.size());
    } else {
      // The defaults are digits: one byte each in the code page.
      char ab[N + 1] = {};
      const int nBytes = s.empty() ? 0
                                   : WideCharToMultiByte(knDefaultCodePage, 0, s.data(),
                                                         static_cast<int>(s.size()), ab, N, nullptr, nullptr);
      Store(h, ab, nTextLen<char>(ab, static_cast<std::size_t>(nBytes)));
    }
  }
};

// ---- 8-bit texts: DATEA, TIMEA ---------------------------------------------

int nGetPCASTR(CAny_Intern* h, const char** pp) {
  if (pp != nullptr) *pp = reinterpret_cast<const char*>(h->m_abyValue);
  return ANY_OK;
}

template <typename C, std::size_t N>
int nGetSTRLEN(CAny_Intern* h, std::size_t* pn) {
  if (pn != nullptr) *pn = Text<C, N>::nLength(h);
  return ANY_OK;
}

// nChars wide characters of p, converted whole, of which the first N stay.
template <std::size_t N>
void StoreFromWide(CAny_Intern* h, const void* p, std::size_t nChars) {
  std::wstring sWide(nChars, L'\0');
  if (nChars > 0) std::memcpy(&sWide[0], p, nChars * sizeof(wchar_t));
  std::string s;
  const int nLen = static_cast<int>(nChars);
  const int nNeed = nChars == 0 ? 0
                                : WideCharToMultiByte(knDefaultCodePage, 0, sWide.data(), nLen, nullptr, 0,
                                                      nullptr, nullptr);
  if (nNeed > 0) {
    s.resize(static_cast<std::size_t>(nNeed));
    const int nDone =
        WideCharToMultiByte(knDefaultCodePage, 0, sWide.data(), nLen, &s[0], nNeed, nullptr, nullptr);
    s.resize(nDone > 0 ? static_cast<std::size_t>(nDone) : 0);
  }
  Text<char, N>::Store(h, s.data(), nTextLen<char>(s.data(), s.size() < N ? s.size() : N));
}

// The whole wide text.
template <std::size_t N>
void SetFromUNICODE(CAny_Intern* h, const void* p) {
  StoreFromWide<N>(h, p, nTextLen<wchar_t>(p, knMaxConverted));
}
// len bytes of wide text (len / 4 characters, up to a terminator), converted
// rather than copied as bytes: the raw bytes of wide text are no 8-bit text.
template <std::size_t N>
void SetFromUNICODELen(CAny_Intern* h, const void* p, std::size_t nBytes) {
  const std::size_t nChars = nBytes / sizeof(wchar_t);
  StoreFromWide<N>(h, p, nTextLen<wchar_t>(p, nChars < knMaxConverted ? nChars : knMaxConverted));
}

template <std::size_t N>
constexpr STAnyTable AnsiTable() {
  using T = Text<char, N>;
  return STAnyTable{
      AnyBase::Release,               // destroy
      AnyBase::Release,               // release
      Duplique,                       // Duplique
      T::nGetSize,                    // nGetSize
      nGetAdr,                        // nGetAdr
      T::nFillBuffer,                 // nFillBuffer
      T::nGetDataSize,                // nGetDataSize
      nGetAdr,                        // nGetDataAdr
      T::nFillText,                   // nFillDataBuffer
      T::SetValue,                    // SetValue
      T::SetValueLen,                 // SetValue(p, len)
      nGetPCASTR,                     // nGetPCASTR
      AnyBase::nGetPCWSTR,            // nGetPCWSTR
      nGetSTRLEN<char, N>,            // nGetSTRLEN
      AnyBase::bIsPositive,           // bIsPositive
      T::nGetUtilDataSize,            // nGetUtilDataSize
      T::nFillText,                   // nFillUtilDataBuffer
      AnyBase::nIncremente,           // nIncremente
      AnyBase::nDecremente,           // nDecremente
      AnyBase::SetFromANSI,           // SetValueFromANSI
      AnyBase::SetFromANSILen,        // SetValueFromANSI(p, len)
      SetFromUNICODE<N>,              // SetValueFromUNICODE
      SetFromUNICODELen<N>,           // SetValueFromUNICODE(p, len)
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

// ---- Wide texts: DATEW, TIMEW ------------------------------------------------

int nGetPCWSTR(CAny_Intern* h, const wchar_t** pp) {
  // The value area lies 16 bytes into a 4-aligned value: aligned for wchar_t.
  if (pp != nullptr) *pp = reinterpret_cast<const wchar_t*>(h->m_abyValue);
  return ANY_OK;
}

// nBytes of 8-bit text, converted whole, of which the first N characters
// stay.
template <std::size_t N>
void StoreFromAnsi(CAny_Intern* h, const char* p, std::size_t nBytes) {
  std::wstring s;
  const int nLen = static_cast<int>(nBytes);
  const int nNeed = nBytes == 0 ? 0 : MultiByteToWideChar(knDefaultCodePage, 0, p, nLen, nullptr, 0);
  if (nNeed > 0) {
    s.resize(static_cast<std::size_t>(nNeed));
    const int nDone = MultiByteToWideChar(knDefaultCodePage, 0, p, nLen, &s[0], nNeed);
    s.resize(nDone > 0 ? static_cast<std::size_t>(nDone) : 0);
  }
  Text<wchar_t, N>::Store(h, s.data(), nTextLen<wchar_t>(s.data(), s.size() < N ? s.size() : N));
}

template <std::size_t N>
void SetFromANSI(CAny_Intern* h, const void* p) {
  const char* psz = static_cast<const char*>(p);
  StoreFromAnsi<N>(h, psz, psz != nullptr ? strnlen(psz, knMaxConverted) : 0);
}
// len bytes, or fewer when the text ends before them.
template <std::size_t N>
void SetFromANSILen(CAny_Intern* h, const void* p, std::size_t nBytes) {
  const char* psz = static_cast<const char*>(p);
  StoreFromAnsi<N>(h, psz, psz != nullptr ? strnlen(psz, nBytes < knMaxConverted ? nBytes : knMaxConverted) : 0);
}

template <std::size_t N>
constexpr STAnyTable WideTable() {
  using T = Text<wchar_t, N>;
  return STAnyTable{
      AnyBase::Release,               // destroy
      AnyBase::Release,               // release
      Duplique,                       // Duplique
      T::nGetSize,                    // nGetSize
      nGetAdr,                        // nGetAdr
      T::nFillBuffer,                 // nFillBuffer
      T::nGetDataSize,                // nGetDataSize
      nGetAdr,                        // nGetDataAdr
      T::nFillText,                   // nFillDataBuffer
      T::SetValue,                    // SetValue
      T::SetValueLen,                 // SetValue(p, len)
      AnyBase::nGetPCASTR,            // nGetPCASTR
      nGetPCWSTR,                     // nGetPCWSTR
      nGetSTRLEN<wchar_t, N>,         // nGetSTRLEN
      AnyBase::bIsPositive,           // bIsPositive
      T::nGetUtilDataSize,            // nGetUtilDataSize
      T::nFillText,                   // nFillUtilDataBuffer
      AnyBase::nIncremente,           // nIncremente
      AnyBase::nDecremente,           // nDecremente
      SetFromANSI<N>,                 // SetValueFromANSI
      SetFromANSILen<N>,              // SetValueFromANSI(p, len)
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
}

constexpr STAnyTable kstDATEA = AnsiTable<knDateChars>();
constexpr STAnyTable kstTIMEA = AnsiTable<knTimeChars>();
constexpr STAnyTable kstDATEW = WideTable<knDateChars>();
constexpr STAnyTable kstTIMEW = WideTable<knTimeChars>();

}  // namespace

const STAnyFamily CAny_TNDATEA::ms_stFamily = {&kstDATEA, Text<char, knDateChars>::Init};
const STAnyFamily CAny_TNTIMEA::ms_stFamily = {&kstTIMEA, Text<char, knTimeChars>::Init};
const STAnyFamily CAny_TNDATEW::ms_stFamily = {&kstDATEW, Text<wchar_t, knDateChars>::Init};
const STAnyFamily CAny_TNTIMEW::ms_stFamily = {&kstTIMEW, Text<wchar_t, knTimeChars>::Init};
