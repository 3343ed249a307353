// The stand-in runtime's 30 operators: comparison and matching that agree
// with its conversions, logic, arithmetic and negation. The rules are in
// StandInControl.h.
#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

#include "CAny.h"
#include "CXYString.h"
#include "StandInValues.h"

namespace {

using int128 = __int128;
using uint128 = unsigned __int128;

constexpr unsigned int kCodePage = 1252;
constexpr int kImpossible = 105;
constexpr int kOutOfRange = 115;
constexpr int kDivisionByZero = 120;

const int128 kMoneyMax = (static_cast<int128>(1) << 79) - 1;

uint128 Pow10(int n) {
  uint128 u = 1;
  for (int i = 0; i < n; ++i) u *= 10;
  return u;
}
uint128 Magnitude(int128 v) {
  return v < 0 ? static_cast<uint128>(0) - static_cast<uint128>(v) : static_cast<uint128>(v);
}
const uint128 kDecimalMax = Pow10(38) - 1;

template <typename T>
void Write(void* p, const T& t) {
  std::memcpy(p, &t, sizeof t);
}
template <typename T>
T Read(const void* p) {
  T t;
  std::memcpy(&t, p, sizeof t);
  return t;
}

bool bIsText(unsigned int n) {
  return n == ANY_DSTRW || n == ANY_CARA || n == ANY_PSTRA || n == ANY_DSTRA || n == ANY_CARW || n == ANY_PSTRW;
}
bool bIsDate(unsigned int n) {
  return n == ANY_DATEW || n == ANY_TIMEW || n == ANY_DATETIME || n == ANY_DATEA || n == ANY_TIMEA;
}
bool bIsNumber(unsigned int n) { return (n >= ANY_BOOL && n <= ANY_I8_ALIAS) || n == ANY_DUREE; }
bool bIsInteger(unsigned int n) { return bIsNumber(n) && n != ANY_CY && n != ANY_R4 && n != ANY_R8 && n != ANY_DECIMAL; }
bool bIsComparable(unsigned int n) { return bIsText(n) || bIsDate(n) || bIsNumber(n) || n == ANY_BIN; }

bool bIsNumberValue(const STStandInValue& st) {
  return st.eKind == STStandInValue::KIND_INT || st.eKind == STStandInValue::KIND_REAL ||
         st.eKind == STStandInValue::KIND_DECIMAL;
}

double RealOf(const STStandInValue& st) {
  if (st.eKind == STStandInValue::KIND_REAL) return st.dValue;
  if (st.eKind == STStandInValue::KIND_INT) return static_cast<double>(st.nValue);
  return std::wcstod(StandIn_sFormatDecimal(st.nValue, st.nScale, L'.').c_str(), nullptr);
}

int Sign(int128 n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); }

int CompareNumbers(const STStandInValue& a, const STStandInValue& b) {
  if (a.eKind == STStandInValue::KIND_REAL || b.eKind == STStandInValue::KIND_REAL) {
    const double da = RealOf(a);
    const double db = RealOf(b);
    return da < db ? -1 : (da > db ? 1 : 0);
  }
  const int sa = a.eKind == STStandInValue::KIND_DECIMAL ? a.nScale : 0;
  const int sb = b.eKind == STStandInValue::KIND_DECIMAL ? b.nScale : 0;
  int128 va = a.nValue;
  int128 vb = b.nValue;
  // Brought to one scale; a value too large for it is larger than any
  // value of the other.
  if (sa < sb) {
    if (!StandIn_bRescaleDecimal(va, sa, sb, &va)) return Sign(a.nValue);
  } else if (sb < sa) {
    if (!StandIn_bRescaleDecimal(vb, sb, sa, &vb)) return -Sign(b.nValue);
  }
  return va < vb ? -1 : (va > vb ? 1 : 0);
}

int Texts(const STStandInValue& a, const STStandInValue& b, std::wstring* psa, std::wstring* psb) {
  const int n = StandIn_nValueToText(a, kCodePage, psa);
  if (n > 99) return n;
  return StandIn_nValueToText(b, kCodePage, psb);
}

int CompareTexts(const std::wstring& a, const std::wstring& b) {
  const int n = a.compare(b);
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

// The three-way order of two values: numbers as numbers, texts as texts,
// a number and a text as numbers when the text reads as one (else as
// texts), binary byte by byte.
int Order(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB, int* pnOrder) {
  const unsigned int ca = nTypeA & 0xFF;
  const unsigned int cb = nTypeB & 0xFF;
  if (!bIsComparable(ca) || !bIsComparable(cb)) return kImpossible;
  STStandInValue a;
  STStandInValue b;
  int n = StandIn_nReadValue(pA, ca, &a);
  if (n == 0) n = StandIn_nReadValue(pB, cb, &b);
  if (n != 0) return n;
  if (bIsNumberValue(a) && bIsNumberValue(b)) {
    *pnOrder = CompareNumbers(a, b);
    return 0;
  }
  if (ca == ANY_BIN || cb == ANY_BIN) {
    if ((ca == ANY_BIN || a.eKind == STStandInValue::KIND_BYTES) &&
        (cb == ANY_BIN || b.eKind == STStandInValue::KIND_BYTES)) {
      const int nBytes = a.sBytes.compare(b.sBytes);
      *pnOrder = nBytes < 0 ? -1 : (nBytes > 0 ? 1 : 0);
      return 0;
    }
    return kImpossible;
  }
  if (bIsNumberValue(a) != bIsNumberValue(b)) {
    STStandInValue na;
    STStandInValue nb;
    if (StandIn_nValueToNumber(a, kCodePage, &na) == 0 && StandIn_nValueToNumber(b, kCodePage, &nb) == 0) {
      *pnOrder = CompareNumbers(na, nb);
      return 0;
    }
  }
  std::wstring sa;
  std::wstring sb;
  n = Texts(a, b, &sa, &sb);
  if (n > 99) return n;
  *pnOrder = CompareTexts(sa, sb);
  return 0;
}

// Folding of the lenient matches: level 1 ignores case; level 2 also
// accents, and keeps only letters and digits.
wchar_t FoldCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 32);
  return c;
}
wchar_t FoldAccent(wchar_t c) {
  static const wchar_t* const pszFrom = L"\u00E0\u00E1\u00E2\u00E3\u00E4\u00E5\u00E7\u00E8\u00E9\u00EA\u00EB"
                                        L"\u00EC\u00ED\u00EE\u00EF\u00F1\u00F2\u00F3\u00F4\u00F5\u00F6\u00F8"
                                        L"\u00F9\u00FA\u00FB\u00FC\u00FD\u00FF";
  static const wchar_t* const pszTo = L"aaaaaaceeeeiiiinoooooouuuuyy";
  const wchar_t* p = std::wcschr(pszFrom, c);
  return p != nullptr && c != 0 ? pszTo[p - pszFrom] : c;
}
std::wstring Fold(const std::wstring& s, int nLevel) {
  if (nLevel == 0) return s;
  std::wstring sOut;
  for (wchar_t c : s) {
    c = FoldCase(c);
    if (nLevel >= 2) {
      c = FoldAccent(c);
      const bool bKeep = (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || (c >= 0xDF && c != 0xF7);
      if (!bKeep) continue;
    }
    sOut += c;
  }
  return sOut;
}

enum eMATCH { MATCH_START, MATCH_CONTAIN, MATCH_END, MATCH_EQUAL };

int Match(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB, int* pnAnswer,
          eMATCH eMatch, int nLevel) {
  if (pnAnswer == nullptr) return kImpossible;
  const unsigned int ca = nTypeA & 0xFF;
  const unsigned int cb = nTypeB & 0xFF;
  if (!bIsComparable(ca) || !bIsComparable(cb)) return kImpossible;
  STStandInValue a;
  STStandInValue b;
  int n = StandIn_nReadValue(pA, ca, &a);
  if (n == 0) n = StandIn_nReadValue(pB, cb, &b);
  if (n != 0) return n;
  std::wstring sa;
  std::wstring sb;
  n = Texts(a, b, &sa, &sb);
  if (n > 99) return n;
  sa = Fold(sa, nLevel);
  sb = Fold(sb, nLevel);
  switch (eMatch) {
    case MATCH_START:
      *pnAnswer = sa.compare(0, sb.size(), sb) == 0 && sa.size() >= sb.size() ? 1 : 0;
      break;
    case MATCH_CONTAIN:
      *pnAnswer = sa.find(sb) != std::wstring::npos ? 1 : 0;
      break;
    case MATCH_END:
      *pnAnswer = sa.size() >= sb.size() && sa.compare(sa.size() - sb.size(), sb.size(), sb) == 0 ? 1 : 0;
      break;
    case MATCH_EQUAL:
      *pnAnswer = sa == sb ? 1 : 0;
      break;
  }
  return 0;
}

// Equality of two numbers, or of two values at a lenient level.
int LenientEqual(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB, int* pnAnswer,
                 int nLevel, bool bNear) {
  if (pnAnswer == nullptr) return kImpossible;
  STStandInValue a;
  STStandInValue b;
  int n = StandIn_nReadValue(pA, nTypeA & 0xFF, &a);
  if (n == 0) n = StandIn_nReadValue(pB, nTypeB & 0xFF, &b);
  if (n != 0) return n;
  if (bIsNumberValue(a) && bIsNumberValue(b)) {
    if (bNear && (a.eKind == STStandInValue::KIND_REAL || b.eKind == STStandInValue::KIND_REAL)) {
      const double da = RealOf(a);
      const double db = RealOf(b);
      const double dScale = std::fmax(1.0, std::fmax(std::fabs(da), std::fabs(db)));
      *pnAnswer = std::fabs(da - db) <= 1e-6 * dScale ? 1 : 0;
    } else {
      *pnAnswer = CompareNumbers(a, b) == 0 ? 1 : 0;
    }
    return 0;
  }
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_EQUAL, nLevel);
}

// Truth of a value: a number (or a text that reads as one) that is not 0,
// another text that is not empty.
int Truth(const void* pA, unsigned int nTypeA, bool* pb) {
  const unsigned int ca = nTypeA & 0xFF;
  if (!bIsComparable(ca) || ca == ANY_BIN) return kImpossible;
  STStandInValue a;
  const int n = StandIn_nReadValue(pA, ca, &a);
  if (n != 0) return n;
  STStandInValue na;
  if (StandIn_nValueToNumber(a, kCodePage, &na) == 0) {
    *pb = na.eKind == STStandInValue::KIND_REAL ? na.dValue != 0 : na.nValue != 0;
    return 0;
  }
  std::wstring s;
  const int nText = StandIn_nValueToText(a, kCodePage, &s);
  if (nText > 99) return nText;
  *pb = !s.empty();
  return 0;
}

enum eARITH { ARITH_ADD, ARITH_SUB, ARITH_MUL, ARITH_DIV, ARITH_MOD };

// The code of an operation's result, 0 when not possible.
unsigned short ResultType(eARITH eOp, unsigned int nTypeA, unsigned int nTypeB) {
  const unsigned int ca = nTypeA & 0xFF;
  const unsigned int cb = nTypeB & 0xFF;
  if (eOp == ARITH_ADD && (bIsText(ca) || bIsText(cb)) && (bIsText(ca) || bIsNumber(ca) || bIsDate(ca)) &&
      (bIsText(cb) || bIsNumber(cb) || bIsDate(cb)))
    return ANY_DSTRW;
  if (!bIsNumber(ca) || !bIsNumber(cb) || ca == ANY_DUREE || cb == ANY_DUREE) return 0;
  if (ca == ANY_R4 || ca == ANY_R8 || cb == ANY_R4 || cb == ANY_R8) return ANY_R8;
  if (ca == ANY_DECIMAL || cb == ANY_DECIMAL) return ANY_DECIMAL;
  if (ca == ANY_CY || cb == ANY_CY) return ANY_CY;
  return eOp == ARITH_DIV ? ANY_R8 : ANY_I8;
}

// The decimal (value, scale) of a number.
void DecimalOf(const STStandInValue& st, int128* pn, int* pnScale) {
  *pn = st.nValue;
  *pnScale = st.eKind == STStandInValue::KIND_DECIMAL ? st.nScale : 0;
}

bool bMultiply(int128 a, int128 b, int128* pr) {
  const uint128 ua = Magnitude(a);
  const uint128 ub = Magnitude(b);
  const uint128 uMax = (static_cast<uint128>(1) << 127) - 1;
  if (ua != 0 && ub > uMax / ua) return false;
  const int128 r = static_cast<int128>(ua * ub);
  *pr = (a < 0) != (b < 0) ? -r : r;
  return true;
}

// Decimal arithmetic on (value, scale) pairs; the result at *pnScale.
int DecimalArith(eARITH eOp, int128 a, int sa, int128 b, int sb, int128* pr, int* pnScale) {
  if ((eOp == ARITH_DIV || eOp == ARITH_MOD) && b == 0) return kDivisionByZero;
  if (eOp == ARITH_MUL) {
    int128 r = 0;
    if (!bMultiply(a, b, &r)) return kOutOfRange;
    int s = sa + sb;
    // Decimals beyond 38, and beyond what 38 digits can hold, are rounded off.
    while ((s > 38 || Magnitude(r) > kDecimalMax) && s > 0) {
      const bool bUp = Magnitude(r % 10) >= 5;  // half away from zero
      const bool bNegative = r < 0;
      r /= 10;
      if (bUp) r += bNegative ? -1 : 1;
      --s;
    }
    if (Magnitude(r) > kDecimalMax) return kOutOfRange;
    *pr = r;
    *pnScale = s;
    return 0;
  }
  if (eOp == ARITH_DIV) {
    // As many decimals as the operands' plus 10, fewer when the dividend
    // would not fit.
    for (int s = std::min(38, std::max(sa, sb) + 10); s >= 0; --s) {
      const int e = s - sa + sb;
      if (e < 0) break;
      if (e > 38 || Magnitude(a) > kDecimalMax / Pow10(e)) continue;
      const int128 n = a * static_cast<int128>(Pow10(e));
      int128 q = n / b;
      const int128 rest = n % b;
      if (Magnitude(rest) * 2 >= Magnitude(b)) q += (n < 0) != (b < 0) ? -1 : 1;
      if (Magnitude(q) > kDecimalMax) return kOutOfRange;
      *pr = q;
      *pnScale = s;
      return 0;
    }
    return kOutOfRange;
  }
  const int s = std::max(sa, sb);
  if (!StandIn_bRescaleDecimal(a, sa, s, &a) || !StandIn_bRescaleDecimal(b, sb, s, &b)) return kOutOfRange;
  const int128 r = eOp == ARITH_ADD ? a + b : (eOp == ARITH_SUB ? a - b : a % b);
  if (Magnitude(r) > kDecimalMax) return kOutOfRange;
  *pr = r;
  *pnScale = s;
  return 0;
}

int WriteDecimalResult(int128 v, int nScale, void* pResult) {
  IVMFactory* piFactory = StandIn_pGetDecimalFactory();
  IDecimal* piDecimal = piFactory->piCreateDecimal(0);
  if (piDecimal == nullptr) return kImpossible;
  if (!StandIn_bWriteDecimal(piDecimal, v, 38, nScale)) {
    piFactory->ReleaseDecimal(piDecimal);
    return kOutOfRange;
  }
  Write(pResult, piDecimal);
  return 0;
}

void WriteMoney(int128 v, void* p) {
  auto* pby = static_cast<unsigned char*>(p);
  uint128 u = static_cast<uint128>(v);
  for (int i = 0; i < 10; ++i, u >>= 8) pby[i] = static_cast<unsigned char>(u & 0xFF);
}

int Arith(eARITH eOp, const void* pA, unsigned int nCodeA, const void* pB, unsigned int nCodeB, void* pResult,
          unsigned short* pwResultType) {
  if (pResult == nullptr || pwResultType == nullptr) return kImpossible;
  const unsigned short wType = ResultType(eOp, nCodeA, nCodeB);
  if (wType == 0) return kImpossible;
  STStandInValue a;
  STStandInValue b;
  int n = StandIn_nReadValue(pA, nCodeA & 0xFF, &a);
  if (n == 0) n = StandIn_nReadValue(pB, nCodeB & 0xFF, &b);
  if (n != 0) return n;
  unsigned char abyResult[knAnyValueSize] = {};
  switch (wType) {
    case ANY_DSTRW: {
      std::wstring sa;
      std::wstring sb;
      n = Texts(a, b, &sa, &sb);
      if (n > 99) return n;
      sa += sb;
      CXYString<wchar_t> cl;
      if (!sa.empty()) {
        n = cl.nAffecte(sa.data(), static_cast<long>(sa.size()));
        if (n != 0) return n;
      }
      Write(abyResult, cl.Detach());
      break;
    }
    case ANY_R8: {
      const double da = RealOf(a);
      const double db = RealOf(b);
      if ((eOp == ARITH_DIV || eOp == ARITH_MOD) && db == 0) return kDivisionByZero;
      double d = 0;
      switch (eOp) {
        case ARITH_ADD: d = da + db; break;
        case ARITH_SUB: d = da - db; break;
        case ARITH_MUL: d = da * db; break;
        case ARITH_DIV: d = da / db; break;
        case ARITH_MOD: d = std::fmod(da, db); break;
      }
      Write(abyResult, d);
      break;
    }
    case ANY_DECIMAL: {
      int128 va = 0, vb = 0, r = 0;
      int sa = 0, sb = 0, s = 0;
      DecimalOf(a, &va, &sa);
      DecimalOf(b, &vb, &sb);
      n = DecimalArith(eOp, va, sa, vb, sb, &r, &s);
      if (n != 0) return n;
      n = WriteDecimalResult(r, s, abyResult);
      if (n != 0) return n;
      break;
    }
    case ANY_CY: {
      // Raw amounts (10^6 per unit); an integer operand is scaled first.
      int128 ra = a.eKind == STStandInValue::KIND_DECIMAL ? a.nValue : a.nValue * 1000000;
      int128 rb = b.eKind == STStandInValue::KIND_DECIMAL ? b.nValue : b.nValue * 1000000;
      int128 r = 0;
      if ((eOp == ARITH_DIV || eOp == ARITH_MOD) && rb == 0) return kDivisionByZero;
      switch (eOp) {
        case ARITH_ADD: r = ra + rb; break;
        case ARITH_SUB: r = ra - rb; break;
        case ARITH_MUL:
          if (!bMultiply(ra, rb, &r)) return kOutOfRange;
          r /= 1000000;
          break;
        case ARITH_DIV: r = ra * 1000000 / rb; break;
        case ARITH_MOD: r = ra % rb; break;
      }
      if (r > kMoneyMax || r < -kMoneyMax) return kOutOfRange;
      WriteMoney(r, abyResult);
      break;
    }
    case ANY_I8: {
      int128 r = 0;
      if (eOp == ARITH_MOD && b.nValue == 0) return kDivisionByZero;
      switch (eOp) {
        case ARITH_ADD: r = a.nValue + b.nValue; break;
        case ARITH_SUB: r = a.nValue - b.nValue; break;
        case ARITH_MUL:
          if (!bMultiply(a.nValue, b.nValue, &r)) return kOutOfRange;
          break;
        case ARITH_MOD: r = a.nValue % b.nValue; break;
        case ARITH_DIV: break;  // real division: ResultType gives R8
      }
      if (r >= std::numeric_limits<std::int64_t>::min() && r <= std::numeric_limits<std::int64_t>::max()) {
        Write(abyResult, static_cast<std::int64_t>(r));
      } else if (r >= 0 && r <= static_cast<int128>(std::numeric_limits<std::uint64_t>::max())) {
        Write(abyResult, static_cast<std::uint64_t>(r));
        std::memcpy(pResult, abyResult, sizeof abyResult);
        *pwResultType = ANY_UI8;
        return 0;
      } else {
        return kOutOfRange;
      }
      break;
    }
    default:
      return kImpossible;
  }
  std::memcpy(pResult, abyResult, sizeof abyResult);
  *pwResultType = wType;
  return 0;
}

}  // namespace

// ---- Type queries ------------------------------------------------------------

int StandIn_bCanCompareEx(unsigned int nTypeA, unsigned int nTypeB) {
  const unsigned int ca = nTypeA & 0xFF;
  const unsigned int cb = nTypeB & 0xFF;
  if (!bIsComparable(ca) || !bIsComparable(cb)) return 0;
  return (ca == ANY_BIN) == (cb == ANY_BIN) || bIsText(ca) || bIsText(cb) ? 1 : 0;
}
int StandIn_wAjouteEx(unsigned int a, unsigned int b) { return ResultType(ARITH_ADD, a, b); }
int StandIn_wSoustraitEx(unsigned int a, unsigned int b) { return ResultType(ARITH_SUB, a, b); }
int StandIn_wMultiplieEx(unsigned int a, unsigned int b) { return ResultType(ARITH_MUL, a, b); }
int StandIn_wDiviseEx(unsigned int a, unsigned int b) { return ResultType(ARITH_DIV, a, b); }
int StandIn_wModuloEx(unsigned int a, unsigned int b) { return ResultType(ARITH_MOD, a, b); }

// ---- Comparison, matching, logic ---------------------------------------------

#define KX_STANDIN_COMPARE_ARGS                                                            \
  const void *pA, unsigned int nTypeA, const void *pB, unsigned int nTypeB, int *pnAnswer, \
      unsigned int /*nOptions*/, int /*nZero*/

namespace {
int OrderAnswer(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB, int* pnAnswer,
                int (*pfn)(int)) {
  if (pnAnswer == nullptr) return kImpossible;
  int nOrder = 0;
  const int n = Order(pA, nTypeA, pB, nTypeB, &nOrder);
  if (n != 0) return n;
  *pnAnswer = pfn(nOrder);
  return 0;
}
}  // namespace

int StandIn_nComparaisonEx(KX_STANDIN_COMPARE_ARGS) {
  return OrderAnswer(pA, nTypeA, pB, nTypeB, pnAnswer, [](int n) { return n; });
}
int StandIn_nEgaliteEx(KX_STANDIN_COMPARE_ARGS) {
  return OrderAnswer(pA, nTypeA, pB, nTypeB, pnAnswer, [](int n) { return n == 0 ? 1 : 0; });
}
int StandIn_nSuperieurEx(KX_STANDIN_COMPARE_ARGS) {
  return OrderAnswer(pA, nTypeA, pB, nTypeB, pnAnswer, [](int n) { return n > 0 ? 1 : 0; });
}
int StandIn_nInferieurEx(KX_STANDIN_COMPARE_ARGS) {
  return OrderAnswer(pA, nTypeA, pB, nTypeB, pnAnswer, [](int n) { return n < 0 ? 1 : 0; });
}
int StandIn_nPresqueEgalEx(KX_STANDIN_COMPARE_ARGS) {
  return LenientEqual(pA, nTypeA, pB, nTypeB, pnAnswer, 2, true);
}
int StandIn_nSoupleEgalEx(KX_STANDIN_COMPARE_ARGS) {
  return LenientEqual(pA, nTypeA, pB, nTypeB, pnAnswer, 1, false);
}
int StandIn_nCommenceParEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_START, 0);
}
int StandIn_nCommenceParSoupleEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_START, 1);
}
int StandIn_nCommenceParTresSoupleEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_START, 2);
}
int StandIn_nContientEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_CONTAIN, 0);
}
int StandIn_nContientSoupleEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_CONTAIN, 1);
}
int StandIn_nContientTresSoupleEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_CONTAIN, 2);
}
int StandIn_nTermineParEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_END, 0);
}
int StandIn_nTermineParSoupleEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_END, 1);
}
int StandIn_nTermineParTresSoupleEx(KX_STANDIN_COMPARE_ARGS) {
  return Match(pA, nTypeA, pB, nTypeB, pnAnswer, MATCH_END, 2);
}
int StandIn_nETLogiqueEx(KX_STANDIN_COMPARE_ARGS) {
  if (pnAnswer == nullptr) return kImpossible;
  bool ba = false, bb = false;
  int n = Truth(pA, nTypeA, &ba);
  if (n == 0) n = Truth(pB, nTypeB, &bb);
  if (n != 0) return n;
  *pnAnswer = ba && bb ? 1 : 0;
  return 0;
}
int StandIn_nOULogiqueEx(KX_STANDIN_COMPARE_ARGS) {
  if (pnAnswer == nullptr) return kImpossible;
  bool ba = false, bb = false;
  int n = Truth(pA, nTypeA, &ba);
  if (n == 0) n = Truth(pB, nTypeB, &bb);
  if (n != 0) return n;
  *pnAnswer = ba || bb ? 1 : 0;
  return 0;
}
#undef KX_STANDIN_COMPARE_ARGS

int StandIn_nNONLogiqueEx(const void* pA, unsigned int nTypeA, int* pnAnswer, unsigned int /*nOptions*/,
                          int /*nZero*/) {
  if (pnAnswer == nullptr) return kImpossible;
  bool b = false;
  const int n = Truth(pA, nTypeA, &b);
  if (n != 0) return n;
  *pnAnswer = b ? 0 : 1;
  return 0;
}

// ---- Arithmetic ----------------------------------------------------------------

#define KX_STANDIN_ARITH(name, op)                                                                   \
  int StandIn_##name(const void* pA, unsigned int nCodeA, const void* pB, unsigned int nCodeB,        \
                     void* pResult, unsigned short* pwResultType, unsigned int /*nOptions*/, int /*nZero*/) { \
    return Arith(op, pA, nCodeA, pB, nCodeB, pResult, pwResultType);                                  \
  }
KX_STANDIN_ARITH(nAdditionEx, ARITH_ADD)
KX_STANDIN_ARITH(nSoustractionEx, ARITH_SUB)
KX_STANDIN_ARITH(nMultiplicationEx, ARITH_MUL)
KX_STANDIN_ARITH(nDivisionEx, ARITH_DIV)
KX_STANDIN_ARITH(nModuloEx, ARITH_MOD)
#undef KX_STANDIN_ARITH

int StandIn_nNegationEx(const void* pA, unsigned int nCodeA, void* pTarget, unsigned short* pwResultType,
                        unsigned int /*nOptions*/, int /*nZero*/) {
  if (pA == nullptr || pTarget == nullptr || pwResultType == nullptr) return kImpossible;
  const unsigned int ca = nCodeA & 0xFF;
  if (ca == ANY_DECIMAL) {
    // Negated inside the object the caller's value already holds.
    auto* piSource = Read<IDecimal*>(pA);
    auto* piTarget = Read<IDecimal*>(pTarget);
    if (piTarget == nullptr) return kImpossible;
    int128 v = 0;
    int nPrecision = 38;
    int nScale = 0;
    if (piSource != nullptr && !StandIn_bReadDecimal(piSource, &v, &nPrecision, &nScale)) return kImpossible;
    if (!StandIn_bWriteDecimal(piTarget, -v, nPrecision, nScale)) return kImpossible;
    *pwResultType = ANY_DECIMAL;
    return 0;
  }
  if (!bIsNumber(ca)) return kImpossible;
  STStandInValue a;
  const int n = StandIn_nReadValue(pA, ca, &a);
  if (n != 0) return n;
  switch (ca) {
    case ANY_R4:
      Write(pTarget, static_cast<float>(-a.dValue));
      break;
    case ANY_R8:
      Write(pTarget, -a.dValue);
      break;
    case ANY_CY:
      // The minimum pattern has no opposite.
      if (-a.nValue > kMoneyMax) return kOutOfRange;
      WriteMoney(-a.nValue, pTarget);
      break;
    case ANY_I1:
      if (-a.nValue > std::numeric_limits<std::int8_t>::max()) return kOutOfRange;
      Write(pTarget, static_cast<std::int8_t>(-a.nValue));
      break;
    case ANY_I2:
      if (-a.nValue > std::numeric_limits<std::int16_t>::max()) return kOutOfRange;
      Write(pTarget, static_cast<std::int16_t>(-a.nValue));
      break;
    case ANY_I4:
      if (-a.nValue > std::numeric_limits<std::int32_t>::max()) return kOutOfRange;
      Write(pTarget, static_cast<std::int32_t>(-a.nValue));
      break;
    default: {
      // 64-bit signed kinds keep their code; unsigned kinds and BOOL become I8.
      if (-a.nValue > std::numeric_limits<std::int64_t>::max() ||
          -a.nValue < std::numeric_limits<std::int64_t>::min())
        return kOutOfRange;
      Write(pTarget, static_cast<std::int64_t>(-a.nValue));
      *pwResultType = bIsInteger(ca) && ca != ANY_I8 && ca != ANY_I8_ALIAS && ca != ANY_DUREE
                          ? static_cast<unsigned short>(ANY_I8)
                          : static_cast<unsigned short>(ca == ANY_I8_ALIAS ? static_cast<unsigned int>(ANY_I8) : ca);
      return 0;
    }
  }
  *pwResultType = static_cast<unsigned short>(ca);
  return 0;
}
