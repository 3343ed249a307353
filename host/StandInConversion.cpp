// The stand-in runtime's conversions between value-area forms, the release
// of their results and its proxy query. The rules are in StandInControl.h.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <new>

#include "CAny.h"
#include "CDateTimeBase.h"
#include "CDureeBase.h"
#include "CMoney.h"
#include "CTNBIN.h"
#include "CXYString.h"
#include "SharedStringBlock.h"
#include "StandInValues.h"

namespace {

using int128 = __int128;
using uint128 = unsigned __int128;

constexpr unsigned int kDefaultCodePage = 1252;
constexpr int kImpossible = 105;
constexpr int kOutOfRange = 115;
constexpr int kDecimalFactoryId = 102;

std::atomic<wchar_t> gcSeparator{L'.'};
std::atomic<int> gnLivePointerTexts{0};

template <typename T>
T Read(const void* p) {
  T t;
  std::memcpy(&t, p, sizeof t);
  return t;
}
template <typename T>
void Write(void* p, const T& t) {
  std::memcpy(p, &t, sizeof t);
}

uint128 Pow10(int n) {
  uint128 u = 1;
  for (int i = 0; i < n; ++i) u *= 10;
  return u;
}

// Largest magnitude of a currency amount, raw (2^79 - 1).
const int128 kMoneyMax = (static_cast<int128>(1) << 79) - 1;

int128 MoneyToRaw(const void* p) {
  const auto* pby = static_cast<const unsigned char*>(p);
  uint128 u = 0;
  for (int i = 9; i >= 0; --i) u = u << 8 | pby[i];
  if ((pby[9] & 0x80) != 0) u |= ~static_cast<uint128>(0) << 80;
  return static_cast<int128>(u);
}

void RawToMoney(int128 v, void* p) {
  auto* pby = static_cast<unsigned char*>(p);
  uint128 u = static_cast<uint128>(v);
  for (int i = 0; i < 10; ++i, u >>= 8) pby[i] = static_cast<unsigned char>(u & 0xFF);
}

unsigned int CodePageOf(const STOCAW* pstOptions) {
  return pstOptions != nullptr && pstOptions->nCodePage != 0 ? pstOptions->nCodePage : kDefaultCodePage;
}

std::wstring Widen(const std::string& s, unsigned int nCodePage) {
  if (s.empty()) return std::wstring();
  CXYString<wchar_t> clWide;
  if (clWide.__nConversion(s.data(), static_cast<long>(s.size()), 0, nCodePage) != 0) return std::wstring();
  return std::wstring(clWide.pszGet(), static_cast<std::size_t>(clWide.nGetLength()));
}

int Narrow(const std::wstring& s, unsigned int nCodePage, std::string* pOut) {
  pOut->clear();
  if (s.empty()) return 0;
  CXYString<char> clNarrow;
  const int n = clNarrow.__nConversion(s.data(), static_cast<long>(s.size()), 0, nCodePage);
  if (n != 0) return n;
  pOut->assign(clNarrow.pszGet(), static_cast<std::size_t>(clNarrow.nGetLength()));
  return 0;
}

// Text of a double: the shortest of 15 to 17 significant digits (6 to 9 for
// a float) that reads back to the same value.
std::wstring RealText(double d, bool bFloat) {
  char sz[64];
  for (int nDigits = bFloat ? 6 : 15; nDigits <= (bFloat ? 9 : 17); ++nDigits) {
    std::snprintf(sz, sizeof sz, "%.*g", nDigits, d);
    const double dBack = std::strtod(sz, nullptr);
    if (bFloat ? static_cast<float>(dBack) == static_cast<float>(d) : dBack == d) break;
  }
  std::wstring s;
  for (const char* p = sz; *p != 0; ++p) s += *p == '.' ? gcSeparator.load() : static_cast<wchar_t>(*p);
  return s;
}

std::wstring IntText(int128 n) {
  uint128 u = n < 0 ? static_cast<uint128>(0) - static_cast<uint128>(n) : static_cast<uint128>(n);
  std::wstring s;
  do {
    s.insert(s.begin(), static_cast<wchar_t>(L'0' + static_cast<int>(u % 10)));
    u /= 10;
  } while (u != 0);
  if (n < 0) s.insert(s.begin(), L'-');
  return s;
}

// Digits of n, zero-padded to nWidth.
std::wstring Digits(unsigned long n, int nWidth) {
  wchar_t sz[32];
  std::swprintf(sz, 32, L"%0*lu", nWidth, n);
  return sz;
}

// Reads a number text: an integer (at most 38 digits), a decimal (with "."
// or ","), else a floating text strtod reads whole. Blanks around are
// skipped; an empty text is 0.
int ParseNumber(const std::wstring& sText, STStandInValue* pNumber) {
  std::size_t nStart = sText.find_first_not_of(L' ');
  if (nStart == std::wstring::npos) {
    pNumber->eKind = STStandInValue::KIND_INT;
    pNumber->nValue = 0;
    return 0;
  }
  const std::size_t nEnd = sText.find_last_not_of(L' ');
  const std::wstring s = sText.substr(nStart, nEnd - nStart + 1);
  int128 v = 0;
  int nPrecision = 0;
  int nScale = 0;
  if (StandIn_bParseDecimal(s.c_str(), &v, &nPrecision, &nScale)) {
    pNumber->eKind = nScale == 0 && s.find_first_of(L".,") == std::wstring::npos ? STStandInValue::KIND_INT
                                                                                  : STStandInValue::KIND_DECIMAL;
    pNumber->nValue = v;
    pNumber->nScale = nScale;
    return 0;
  }
  std::string sNarrow;
  for (wchar_t c : s) {
    if (c > 0x7F) return kImpossible;
    sNarrow += c == L',' ? '.' : static_cast<char>(c);
  }
  char* pEnd = nullptr;
  const double d = std::strtod(sNarrow.c_str(), &pEnd);
  if (pEnd == sNarrow.c_str() || *pEnd != 0 || std::isnan(d)) return kImpossible;
  pNumber->eKind = STStandInValue::KIND_REAL;
  pNumber->dValue = d;
  return 0;
}

// The integer part (toward zero) of a number; false for a real that is not
// finite or beyond 128 bits.
bool bIntegerPart(const STStandInValue& st, int128* pn) {
  switch (st.eKind) {
    case STStandInValue::KIND_INT:
      *pn = st.nValue;
      return true;
    case STStandInValue::KIND_DECIMAL:
      *pn = st.nValue / static_cast<int128>(Pow10(st.nScale));
      return true;
    case STStandInValue::KIND_REAL: {
      if (!std::isfinite(st.dValue) || std::fabs(st.dValue) >= 1e37) return false;
      *pn = static_cast<int128>(std::trunc(st.dValue));
      return true;
    }
    default:
      return false;
  }
}

double RealOf(const STStandInValue& st) {
  switch (st.eKind) {
    case STStandInValue::KIND_INT:
      return static_cast<double>(st.nValue);
    case STStandInValue::KIND_DECIMAL: {
      const std::wstring s = StandIn_sFormatDecimal(st.nValue, st.nScale, L'.');
      return std::wcstod(s.c_str(), nullptr);
    }
    default:
      return st.dValue;
  }
}

// A number as unscaled value at nScale decimals (rounded half away from
// zero); false when it does not fit 38 digits.
bool bDecimalAt(const STStandInValue& st, int nScale, int128* pn) {
  switch (st.eKind) {
    case STStandInValue::KIND_INT:
      return StandIn_bRescaleDecimal(st.nValue, 0, nScale, pn);
    case STStandInValue::KIND_DECIMAL:
      return StandIn_bRescaleDecimal(st.nValue, st.nScale, nScale, pn);
    case STStandInValue::KIND_REAL: {
      if (!std::isfinite(st.dValue) || std::fabs(st.dValue) >= 1e37) return false;
      char sz[128];
      std::snprintf(sz, sizeof sz, "%.*f", nScale, st.dValue);
      wchar_t szWide[128];
      std::mbstowcs(szWide, sz, 128);
      int nPrecision = 0;
      int nRead = 0;
      return StandIn_bParseDecimal(szWide, pn, &nPrecision, &nRead) &&
             StandIn_bRescaleDecimal(*pn, nRead, nScale, pn);
    }
    default:
      return false;
  }
}

// A number as a decimal of its own scale (a real through its shortest text).
bool bAsDecimal(const STStandInValue& st, int128* pn, int* pnScale) {
  if (st.eKind == STStandInValue::KIND_REAL) {
    if (!std::isfinite(st.dValue)) return false;
    char sz[64];
    std::snprintf(sz, sizeof sz, "%.17g", st.dValue);
    for (int nDigits = 15; nDigits <= 17; ++nDigits) {
      std::snprintf(sz, sizeof sz, "%.*g", nDigits, st.dValue);
      if (std::strtod(sz, nullptr) == st.dValue) break;
    }
    if (std::strchr(sz, 'e') != nullptr) {
      // Exponent form: the plain digits of the value, at most 38 of them.
      if (std::fabs(st.dValue) >= 1e37) return false;
      std::snprintf(sz, sizeof sz, "%.*f", std::fabs(st.dValue) < 1 ? 30 : 0, st.dValue);
    }
    wchar_t szWide[128];
    std::mbstowcs(szWide, sz, 128);
    int nPrecision = 0;
    return StandIn_bParseDecimal(szWide, pn, &nPrecision, pnScale);
  }
  *pnScale = st.eKind == STStandInValue::KIND_DECIMAL ? st.nScale : 0;
  *pn = st.nValue;
  return st.eKind != STStandInValue::KIND_TEXT && st.eKind != STStandInValue::KIND_BYTES;
}

template <typename T>
int WriteInteger(const STStandInValue& st, void* pTarget) {
  int128 n = 0;
  if (!bIntegerPart(st, &n)) return kOutOfRange;
  if (n < static_cast<int128>(std::numeric_limits<T>::min()) ||
      n > static_cast<int128>(std::numeric_limits<T>::max()))
    return kOutOfRange;
  Write(pTarget, static_cast<T>(n));
  return 0;
}

// Writes a number in the inline form of a numeric code.
int WriteNumber(const STStandInValue& st, unsigned int nTarget, void* pTarget) {
  switch (nTarget) {
    case ANY_BOOL: {
      const bool bTrue = st.eKind == STStandInValue::KIND_REAL ? st.dValue != 0 : st.nValue != 0;
      Write<std::int32_t>(pTarget, bTrue ? 1 : 0);
      return 0;
    }
    case ANY_UI1: return WriteInteger<std::uint8_t>(st, pTarget);
    case ANY_UI2: return WriteInteger<std::uint16_t>(st, pTarget);
    case ANY_UI4: return WriteInteger<std::uint32_t>(st, pTarget);
    case ANY_UI8:
    case ANY_UIX: return WriteInteger<std::uint64_t>(st, pTarget);
    case ANY_I1: return WriteInteger<std::int8_t>(st, pTarget);
    case ANY_I2: return WriteInteger<std::int16_t>(st, pTarget);
    case ANY_I4: return WriteInteger<std::int32_t>(st, pTarget);
    case ANY_I8:
    case ANY_I8_ALIAS:
    case ANY_DUREE: return WriteInteger<std::int64_t>(st, pTarget);
    case ANY_CY: {
      int128 n = 0;
      if (!bDecimalAt(st, 6, &n) || n > kMoneyMax || n < -kMoneyMax) return kOutOfRange;
      unsigned char aby[10];
      RawToMoney(n, aby);
      std::memcpy(pTarget, aby, sizeof aby);
      return 0;
    }
    case ANY_R4: {
      const double d = RealOf(st);
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return kOutOfRange;
      Write(pTarget, static_cast<float>(d));
      return 0;
    }
    case ANY_R8:
      Write(pTarget, RealOf(st));
      return 0;
    case ANY_DECIMAL: {
      int128 n = 0;
      int nScale = 0;
      if (!bAsDecimal(st, &n, &nScale)) return kOutOfRange;
      IVMFactory* piFactory = StandIn_pGetDecimalFactory();
      IDecimal* piDecimal = piFactory->piCreateDecimal(0);
      if (piDecimal == nullptr) return kImpossible;
      if (!StandIn_bWriteDecimal(piDecimal, n, 38, nScale)) {
        piFactory->ReleaseDecimal(piDecimal);
        return kOutOfRange;
      }
      Write(pTarget, piDecimal);
      return 0;
    }
    default:
      return kImpossible;
  }
}

bool bIsNumericTarget(unsigned int n) {
  return (n >= ANY_BOOL && n <= ANY_I8_ALIAS) || n == ANY_DUREE;
}

bool bAllDigits(const std::wstring& s) {
  for (wchar_t c : s)
    if (c < L'0' || c > L'9') return false;
  return true;
}

// The 8 date digits or the 9 time digits of a digit text: a date-time text
// (17 digits) gives its part; a date text gives itself; a time text of up
// to 9 digits is padded with zero digits.
int DatePart(const std::wstring& s, bool bTime, std::wstring* pOut) {
  if (!bAllDigits(s)) return kImpossible;
  if (s.size() == 17) {
    *pOut = bTime ? s.substr(8) : s.substr(0, 8);
    return 0;
  }
  if (!bTime) {
    if (s.size() != 8 && !s.empty()) return kImpossible;
    *pOut = s;
    return 0;
  }
  if (s.size() > 9) return kImpossible;
  *pOut = s + std::wstring(9 - s.size(), L'0');
  return 0;
}

template <typename T>
void WriteInlineText(const std::wstring& s, std::size_t nChars, void* pTarget) {
  T at[10] = {};
  for (std::size_t i = 0; i < s.size() && i < nChars; ++i) at[i] = static_cast<T>(s[i]);
  std::memcpy(pTarget, at, (nChars + 1) * sizeof(T));
}

void* NewPointerText(const void* pData, std::size_t nBytes, std::size_t nUnit) {
  auto* p = static_cast<unsigned char*>(std::malloc(nBytes + nUnit));
  if (p == nullptr) return nullptr;
  if (nBytes != 0) std::memcpy(p, pData, nBytes);
  std::memset(p + nBytes, 0, nUnit);
  gnLivePointerTexts.fetch_add(1);
  return p;
}

int WriteText(const STStandInValue& st, unsigned int nTarget, unsigned int nCodePage, void* pTarget) {
  // 8-bit targets take 8-bit text and binary byte for byte.
  std::string sBytes;
  const bool bNarrowTarget = nTarget == ANY_DSTRA || nTarget == ANY_PSTRA || nTarget == ANY_CARA ||
                             nTarget == ANY_BIN;
  if (nTarget == ANY_BIN && st.eKind != STStandInValue::KIND_BYTES &&
      (st.eKind != STStandInValue::KIND_TEXT || st.bDateText))
    return kImpossible;
  std::wstring sWide;
  if (bNarrowTarget && st.eKind == STStandInValue::KIND_BYTES) {
    sBytes = st.sBytes;
  } else {
    const int n = StandIn_nValueToText(st, nCodePage, &sWide);
    if (n > 99) return n;
    if (bNarrowTarget) {
      const int nNarrow = Narrow(sWide, nCodePage, &sBytes);
      if (nNarrow != 0) return nNarrow;
    }
  }
  switch (nTarget) {
    case ANY_DSTRW: {
      CXYString<wchar_t> cl;
      if (!sWide.empty()) {
        const int n = cl.nAffecte(sWide.data(), static_cast<long>(sWide.size()));
        if (n != 0) return n;
      }
      Write(pTarget, cl.Detach());
      return 0;
    }
    case ANY_DSTRA: {
      CXYString<char> cl;
      if (!sBytes.empty()) {
        const int n = cl.nAffecte(sBytes.data(), static_cast<long>(sBytes.size()));
        if (n != 0) return n;
      }
      Write(pTarget, cl.Detach());
      return 0;
    }
    case ANY_BIN: {
      CTNBIN cl;
      if (!sBytes.empty()) {
        const int n = cl._nNew(static_cast<long>(sBytes.size()), sBytes.data(), static_cast<long>(sBytes.size()));
        if (n != 0) return n;
      }
      // The handle's reference passes to the target: take one, let cl drop its own.
      unsigned char* pHandle = cl.pGetData();
      if (pHandle != nullptr) SharedBlock::AddRef(pHandle);
      Write(pTarget, pHandle);
      return 0;
    }
    case ANY_PSTRA: {
      void* p = NewPointerText(sBytes.data(), sBytes.size(), 1);
      if (p == nullptr) return kImpossible;
      Write(pTarget, p);
      return 0;
    }
    case ANY_PSTRW: {
      void* p = NewPointerText(sWide.data(), sWide.size() * sizeof(wchar_t), sizeof(wchar_t));
      if (p == nullptr) return kImpossible;
      Write(pTarget, p);
      return 0;
    }
    case ANY_CARA:
      Write(pTarget, sBytes.empty() ? '\0' : sBytes[0]);
      return 0;
    case ANY_CARW:
      Write(pTarget, sWide.empty() ? L'\0' : sWide[0]);
      return 0;
    default:
      return kImpossible;
  }
}

int WriteDate(const STStandInValue& st, unsigned int nTarget, unsigned int nCodePage, void* pTarget) {
  if (st.eKind != STStandInValue::KIND_TEXT && st.eKind != STStandInValue::KIND_BYTES) return kImpossible;
  if (st.eKind == STStandInValue::KIND_BYTES && !st.bEightBitText) return kImpossible;
  std::wstring s;
  const int n = StandIn_nValueToText(st, nCodePage, &s);
  if (n > 99) return n;
  std::wstring sPart;
  switch (nTarget) {
    case ANY_DATEA:
    case ANY_DATEW: {
      const int nPart = DatePart(s, false, &sPart);
      if (nPart != 0) return nPart;
      if (nTarget == ANY_DATEA)
        WriteInlineText<char>(sPart, 8, pTarget);
      else
        WriteInlineText<wchar_t>(sPart, 8, pTarget);
      return 0;
    }
    case ANY_TIMEA:
    case ANY_TIMEW: {
      const int nPart = DatePart(s, true, &sPart);
      if (nPart != 0) return nPart;
      if (nTarget == ANY_TIMEA)
        WriteInlineText<char>(sPart, 9, pTarget);
      else
        WriteInlineText<wchar_t>(sPart, 9, pTarget);
      return 0;
    }
    case ANY_DATETIME: {
      if (!bAllDigits(s) || (s.size() != 17 && s.size() != 8)) return kImpossible;
      auto Field = [&s](std::size_t at, std::size_t len) {
        return static_cast<unsigned>(std::wcstoul(s.substr(at, len).c_str(), nullptr, 10));
      };
      CDateTimeBase dt{};
      dt.m_wAnnee = static_cast<std::uint16_t>(Field(0, 4));
      dt.m_byMois = static_cast<std::uint8_t>(Field(4, 2));
      dt.m_byJour = static_cast<std::uint8_t>(Field(6, 2));
      dt.m_dwHeure = s.size() == 17 ? Field(8, 2) * 3600000u + Field(10, 2) * 60000u + Field(12, 2) * 1000u +
                                          Field(14, 3)
                                    : 0;
      std::memcpy(pTarget, &dt, sizeof dt);
      return 0;
    }
    default:
      return kImpossible;
  }
}

}  // namespace

// ---- What the operators share ----------------------------------------------

int StandIn_nReadValue(const void* pSource, unsigned int nCode, STStandInValue* pst) {
  *pst = STStandInValue{};
  nCode &= 0xFF;
  pst->nCode = nCode;
  if (pSource == nullptr) return kImpossible;
  auto Int = [pst](int128 n) {
    pst->eKind = STStandInValue::KIND_INT;
    pst->nValue = n;
    return 0;
  };
  auto Text = [pst](std::wstring s, bool bDate) {
    pst->eKind = STStandInValue::KIND_TEXT;
    pst->sText = std::move(s);
    pst->bDateText = bDate;
    return 0;
  };
  auto Bytes = [pst](std::string s, bool bText, bool bDate) {
    pst->eKind = STStandInValue::KIND_BYTES;
    pst->sBytes = std::move(s);
    pst->bEightBitText = bText;
    pst->bDateText = bDate;
    return 0;
  };
  auto InlineText = [](const auto* p, std::size_t nMax) {
    std::wstring s;
    for (std::size_t i = 0; i < nMax; ++i) {
      const auto c = Read<std::remove_cv_t<std::remove_pointer_t<decltype(p)>>>(p + i);
      if (c == 0) break;
      s += static_cast<wchar_t>(static_cast<std::make_unsigned_t<decltype(c)>>(c));
    }
    return s;
  };
  switch (nCode) {
    case ANY_BOOL: return Int(Read<std::int32_t>(pSource) != 0 ? 1 : 0);
    case ANY_UI1: return Int(Read<std::uint8_t>(pSource));
    case ANY_UI2: return Int(Read<std::uint16_t>(pSource));
    case ANY_UI4: return Int(Read<std::uint32_t>(pSource));
    case ANY_UI8:
    case ANY_UIX: return Int(Read<std::uint64_t>(pSource));
    case ANY_I1: return Int(Read<std::int8_t>(pSource));
    case ANY_I2: return Int(Read<std::int16_t>(pSource));
    case ANY_I4: return Int(Read<std::int32_t>(pSource));
    case ANY_I8:
    case ANY_I8_ALIAS:
    case ANY_DUREE: return Int(Read<std::int64_t>(pSource));
    case ANY_CY:
      pst->eKind = STStandInValue::KIND_DECIMAL;
      pst->nValue = MoneyToRaw(pSource);
      pst->nScale = 6;
      return 0;
    case ANY_R4:
      pst->eKind = STStandInValue::KIND_REAL;
      pst->dValue = Read<float>(pSource);
      return 0;
    case ANY_R8:
      pst->eKind = STStandInValue::KIND_REAL;
      pst->dValue = Read<double>(pSource);
      return 0;
    case ANY_DECIMAL: {
      auto* piDecimal = Read<IDecimal*>(pSource);
      pst->eKind = STStandInValue::KIND_DECIMAL;
      if (piDecimal == nullptr) return 0;
      int nPrecision = 0;
      return StandIn_bReadDecimal(piDecimal, &pst->nValue, &nPrecision, &pst->nScale) ? 0 : kImpossible;
    }
    case ANY_DSTRW: {
      const auto* p = Read<const wchar_t*>(pSource);
      return Text(p == nullptr ? std::wstring() : std::wstring(p, SharedBlock::nGetLength(p) / sizeof(wchar_t)),
                  false);
    }
    case ANY_PSTRW: {
      const auto* p = Read<const wchar_t*>(pSource);
      return Text(p == nullptr ? std::wstring() : std::wstring(p), false);
    }
    case ANY_CARW: return Text(InlineText(static_cast<const wchar_t*>(pSource), 1), false);
    case ANY_DSTRA: {
      const auto* p = Read<const char*>(pSource);
      return Bytes(p == nullptr ? std::string() : std::string(p, SharedBlock::nGetLength(p)), true, false);
    }
    case ANY_PSTRA: {
      const auto* p = Read<const char*>(pSource);
      return Bytes(p == nullptr ? std::string() : std::string(p), true, false);
    }
    case ANY_CARA: {
      const char c = Read<char>(pSource);
      return Bytes(c == 0 ? std::string() : std::string(1, c), true, false);
    }
    case ANY_BIN: {
      const auto* p = Read<const char*>(pSource);
      return Bytes(p == nullptr ? std::string() : std::string(p, SharedBlock::nGetLength(p)), false, false);
    }
    case ANY_DATEW: return Text(InlineText(static_cast<const wchar_t*>(pSource), 8), true);
    case ANY_TIMEW: return Text(InlineText(static_cast<const wchar_t*>(pSource), 9), true);
    case ANY_DATEA: return Text(InlineText(static_cast<const char*>(pSource), 8), true);
    case ANY_TIMEA: return Text(InlineText(static_cast<const char*>(pSource), 9), true);
    case ANY_DATETIME: {
      const auto dt = Read<CDateTimeBase>(pSource);
      const unsigned long nMs = dt.m_dwHeure;
      return Text(Digits(dt.m_wAnnee, 4) + Digits(dt.m_byMois, 2) + Digits(dt.m_byJour, 2) +
                      Digits(nMs / 3600000, 2) + Digits(nMs / 60000 % 60, 2) + Digits(nMs / 1000 % 60, 2) +
                      Digits(nMs % 1000, 3),
                  true);
    }
    default:
      return kImpossible;
  }
}

int StandIn_nValueToText(const STStandInValue& st, unsigned int nCodePage, std::wstring* ps) {
  const wchar_t cSeparator = gcSeparator.load();
  switch (st.eKind) {
    case STStandInValue::KIND_INT:
      *ps = IntText(st.nValue);
      return 0;
    case STStandInValue::KIND_REAL:
      *ps = RealText(st.dValue, st.nCode == ANY_R4);
      return 0;
    case STStandInValue::KIND_DECIMAL: {
      *ps = StandIn_sFormatDecimal(st.nValue, st.nScale, cSeparator);
      if (st.nCode == ANY_CY && st.nScale > 0) {
        // Currency drops its trailing zero decimals ("12.5", "7").
        while (ps->back() == L'0') ps->pop_back();
        if (ps->back() == cSeparator) ps->pop_back();
      }
      return 0;
    }
    case STStandInValue::KIND_TEXT:
      *ps = st.sText;
      return 0;
    case STStandInValue::KIND_BYTES:
      *ps = Widen(st.sBytes, nCodePage);
      return 0;
  }
  return kImpossible;
}

int StandIn_nValueToNumber(const STStandInValue& st, unsigned int nCodePage, STStandInValue* pNumber) {
  if (st.eKind == STStandInValue::KIND_INT || st.eKind == STStandInValue::KIND_REAL ||
      st.eKind == STStandInValue::KIND_DECIMAL) {
    *pNumber = st;
    return 0;
  }
  if (st.eKind == STStandInValue::KIND_BYTES && !st.bEightBitText) return kImpossible;
  std::wstring s;
  const int n = StandIn_nValueToText(st, nCodePage, &s);
  if (n > 99) return n;
  *pNumber = STStandInValue{};
  pNumber->nCode = 0;
  return ParseNumber(s, pNumber);
}

// ---- The exported functions --------------------------------------------------

int StandIn_nConversion(const void* pSource, unsigned int nSourceType, void* pTarget, unsigned int nTargetType,
                        unsigned int /*nFlags*/, const STOCAW* pstOptions) {
  if (pTarget == nullptr) return kImpossible;
  const unsigned int nTarget = nTargetType & 0xFF;
  const unsigned int nCodePage = CodePageOf(pstOptions);
  STStandInValue st;
  const int nRead = StandIn_nReadValue(pSource, nSourceType, &st);
  if (nRead != 0) return nRead;
  if (bIsNumericTarget(nTarget)) {
    STStandInValue stNumber;
    const int n = StandIn_nValueToNumber(st, nCodePage, &stNumber);
    if (n != 0) return n;
    return WriteNumber(stNumber, nTarget, pTarget);
  }
  switch (nTarget) {
    case ANY_DSTRW:
    case ANY_DSTRA:
    case ANY_PSTRA:
    case ANY_PSTRW:
    case ANY_CARA:
    case ANY_CARW:
    case ANY_BIN:
      return WriteText(st, nTarget, nCodePage, pTarget);
    case ANY_DATEA:
    case ANY_DATEW:
    case ANY_TIMEA:
    case ANY_TIMEW:
    case ANY_DATETIME:
      return WriteDate(st, nTarget, nCodePage, pTarget);
    default:
      return kImpossible;
  }
}

void StandIn_FinConversion(void* pTarget, unsigned int nTargetType) {
  if (pTarget == nullptr) return;
  switch (nTargetType & 0xFF) {
    case ANY_DSTRW:
    case ANY_DSTRA:
    case ANY_BIN: {
      void* pHandle = Read<void*>(pTarget);
      if (pHandle != nullptr) SharedBlock::Release(&pHandle);
      Write<void*>(pTarget, nullptr);
      break;
    }
    case ANY_PSTRA:
    case ANY_PSTRW: {
      void* p = Read<void*>(pTarget);
      if (p != nullptr) {
        std::free(p);
        gnLivePointerTexts.fetch_sub(1);
      }
      Write<void*>(pTarget, nullptr);
      break;
    }
    case ANY_DECIMAL: {
      auto* piDecimal = Read<IDecimal*>(pTarget);
      if (piDecimal != nullptr) StandIn_pGetDecimalFactory()->ReleaseDecimal(piDecimal);
      Write<void*>(pTarget, nullptr);
      break;
    }
    default:
      break;
  }
}

void* StandIn_pQueryProxy(int nId) {
  return nId == kDecimalFactoryId ? static_cast<void*>(StandIn_pGetDecimalFactory()) : nullptr;
}

void StandIn_SetDecimalSeparator(wchar_t cSeparator) { gcSeparator.store(cSeparator); }

wchar_t StandIn_cGetDecimalSeparator() { return gcSeparator.load(); }

int StandIn_nGetLivePointerTexts() { return gnLivePointerTexts.load(); }
