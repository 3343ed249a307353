// The stand-in runtime's value services, for tests and for the stand-in
// module (kxstandinvm.so), which exports them under the runtime's names:
// its decimal objects and their factory, counted objects of the two kinds a
// typed value holds, and live counts of each, so that a test can check that
// nothing it made is left.
//
// Decimals: up to 38 digits, value held as an __int128 unscaled integer with
// a precision (1 to 38) and a scale (0 to precision); the factory's create
// (argument 0) gives 0 at precision 38, scale 0. Native form: mg_PToN(p)
// bytes, two's complement, least significant first. Data form (18 bytes):
// the 16-byte unscaled value little-endian, then precision, then scale. Key
// form (32 bytes), byte-comparable across precisions and scales: the
// magnitude's integer part (16 bytes, big-endian, top bit set for a value of
// 0 or more) then its fraction scaled to 38 decimals (16 bytes, big-endian);
// a negative value's two parts are complemented, so that a larger magnitude
// sorts first. Rescaling (slots 4 and 24) rounds half away from zero; a value
// that no longer fits the precision fails with 115 and changes nothing.
// Invalid digits (precision outside 1 to 38, scale outside 0 to precision)
// or a null address fail with 105. Reserved slots abort the process.
#pragma once

#include <cstdint>
#include <string>

#include "CKXUnknown.h"
#include "IDecimal.h"
#include "IRuntimeObject.h"

// The process-wide factory (never null) and the decimals alive now.
IVMFactory* StandIn_pGetDecimalFactory();
int StandIn_nGetLiveDecimals();
// The next k creations through the factory answer null (a shortage).
void StandIn_FailNextDecimals(int k);
// A decimal's value and digits (tests): unscaled value, precision, scale.
bool StandIn_bReadDecimal(IDecimal* piDecimal, __int128* pValue, int* pnPrecision, int* pnScale);
bool StandIn_bWriteDecimal(IDecimal* piDecimal, __int128 value, int nPrecision, int nScale);

// Decimal arithmetic shared by the conversions and operators.
// Unscaled `value` at nFromScale written at nToScale into *pResult, rounded
// half away from zero; false when it would exceed 38 digits.
bool StandIn_bRescaleDecimal(__int128 value, int nFromScale, int nToScale, __int128* pResult);
// Decimal text: optional spaces, an optional sign, digits with at most one
// "." or "," and at most 38 significant digits, optional spaces. Gives the
// unscaled value, its digits (at least 1) and decimals; false for anything else.
bool StandIn_bParseDecimal(const wchar_t* psz, __int128* pValue, int* pnPrecision, int* pnScale);
// The text of an unscaled value: "-" when negative, at least one digit
// before the separator, exactly nScale digits after it.
std::wstring StandIn_sFormatDecimal(__int128 value, int nScale, wchar_t cSeparator);

// A counted object in the manner of CKXUnknown (count at the second field,
// dwRelease at slot 2): made with a count of 1; deleted at 0.
class CStandInCounted : public CKXUnknown {
 public:
  CStandInCounted();
  ~CStandInCounted() override;
  static int s_nGetLive();
};

// A runtime object behind an interface (add-reference, release, processing
// interface at slots 0, 1, 49): made with a count of 1; deleted at 0. Its
// processing interface is a fixed non-null address of its own.
class CStandInObject final : public IRuntimeObject {
 public:
  CStandInObject();
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  void* piGetTraitement() override;
  std::uint32_t nGetCount() const { return m_nCount; }
  static int s_nGetLive();
  // Slots 2 to 48 are never called by the library: they abort.
#define KX_STANDIN_RESERVED(n) void _Reserved##n() override;
  KX_STANDIN_RESERVED(2) KX_STANDIN_RESERVED(3) KX_STANDIN_RESERVED(4) KX_STANDIN_RESERVED(5)
  KX_STANDIN_RESERVED(6) KX_STANDIN_RESERVED(7) KX_STANDIN_RESERVED(8) KX_STANDIN_RESERVED(9)
  KX_STANDIN_RESERVED(10) KX_STANDIN_RESERVED(11) KX_STANDIN_RESERVED(12) KX_STANDIN_RESERVED(13)
  KX_STANDIN_RESERVED(14) KX_STANDIN_RESERVED(15) KX_STANDIN_RESERVED(16) KX_STANDIN_RESERVED(17)
  KX_STANDIN_RESERVED(18) KX_STANDIN_RESERVED(19) KX_STANDIN_RESERVED(20) KX_STANDIN_RESERVED(21)
  KX_STANDIN_RESERVED(22) KX_STANDIN_RESERVED(23) KX_STANDIN_RESERVED(24) KX_STANDIN_RESERVED(25)
  KX_STANDIN_RESERVED(26) KX_STANDIN_RESERVED(27) KX_STANDIN_RESERVED(28) KX_STANDIN_RESERVED(29)
  KX_STANDIN_RESERVED(30) KX_STANDIN_RESERVED(31) KX_STANDIN_RESERVED(32) KX_STANDIN_RESERVED(33)
  KX_STANDIN_RESERVED(34) KX_STANDIN_RESERVED(35) KX_STANDIN_RESERVED(36) KX_STANDIN_RESERVED(37)
  KX_STANDIN_RESERVED(38) KX_STANDIN_RESERVED(39) KX_STANDIN_RESERVED(40) KX_STANDIN_RESERVED(41)
  KX_STANDIN_RESERVED(42) KX_STANDIN_RESERVED(43) KX_STANDIN_RESERVED(44) KX_STANDIN_RESERVED(45)
  KX_STANDIN_RESERVED(46) KX_STANDIN_RESERVED(47) KX_STANDIN_RESERVED(48)
#undef KX_STANDIN_RESERVED

 private:
  ~CStandInObject() = default;
  std::uint32_t m_nCount = 1;
  unsigned char m_byTraitement = 0;
};

// ---- The runtime functions the stand-in module exports ----------------------
// They are defined here, in plain C++ names, so that a test may call them in
// its own process; the module (StandInRuntime.cpp) exports each under the
// runtime's name. Their rules are documented in StandInControl.h.

struct STOCAW;

// "nConversionDepassementExt": the value-area form of nSourceType at
// pSource written as the value-area form of nTargetType at pTarget (only
// that form's width). 0 done; above 99 a failure, pTarget untouched.
int StandIn_nConversion(const void* pSource, unsigned int nSourceType, void* pTarget,
                        unsigned int nTargetType, unsigned int nFlags, const STOCAW* pstOptions);
// "FinConversion": releases the reference a successful conversion left in
// pTarget (handles, pointer texts, decimals); nothing for inline forms.
void StandIn_FinConversion(void* pTarget, unsigned int nTargetType);
// "pQueryProxy": 102 gives the decimal factory, other identifiers null.
void* StandIn_pQueryProxy(int nId);
// The separator number-to-text conversions write ('.' by default).
void StandIn_SetDecimalSeparator(wchar_t cSeparator);
wchar_t StandIn_cGetDecimalSeparator();
// Pointer texts (results of type 18 and 110) made and not yet released.
int StandIn_nGetLivePointerTexts();

// The operators, with the runtime's signatures.
#define KX_STANDIN_TYPE_OPERATORS(X) \
  X(bCanCompareEx) X(wAjouteEx) X(wSoustraitEx) X(wMultiplieEx) X(wDiviseEx) X(wModuloEx)
#define KX_STANDIN_COMPARE_OPERATORS(X)                                                        \
  X(nComparaisonEx) X(nEgaliteEx) X(nSuperieurEx) X(nInferieurEx) X(nPresqueEgalEx)           \
  X(nSoupleEgalEx) X(nCommenceParEx) X(nCommenceParSoupleEx) X(nCommenceParTresSoupleEx)      \
  X(nContientEx) X(nContientSoupleEx) X(nContientTresSoupleEx) X(nTermineParEx)               \
  X(nTermineParSoupleEx) X(nTermineParTresSoupleEx) X(nETLogiqueEx) X(nOULogiqueEx)
#define KX_STANDIN_ARITHMETIC_OPERATORS(X) \
  X(nAdditionEx) X(nSoustractionEx) X(nMultiplicationEx) X(nDivisionEx) X(nModuloEx)

// Type queries: the code of the result of the operation on values of the
// two types (type words, flags ignored), 0 when it is not possible;
// bCanCompareEx answers 1 or 0.
#define KX_STANDIN_DECLARE(name) int StandIn_##name(unsigned int nTypeA, unsigned int nTypeB);
KX_STANDIN_TYPE_OPERATORS(KX_STANDIN_DECLARE)
#undef KX_STANDIN_DECLARE
// Comparison, matching and logic: *pnAnswer receives the three-way order
// (nComparaisonEx: -1, 0, 1) or the truth value (1 or 0).
#define KX_STANDIN_DECLARE(name)                                                          \
  int StandIn_##name(const void* pA, unsigned int nTypeA, const void* pB, unsigned int nTypeB, \
                     int* pnAnswer, unsigned int nOptions, int nZero);
KX_STANDIN_COMPARE_OPERATORS(KX_STANDIN_DECLARE)
#undef KX_STANDIN_DECLARE
int StandIn_nNONLogiqueEx(const void* pA, unsigned int nTypeA, int* pnAnswer, unsigned int nOptions,
                          int nZero);
// Arithmetic: 40 bytes of the result's value area at pResult (zeroed past
// the form's width), its code at *pwResultType.
#define KX_STANDIN_DECLARE(name)                                                              \
  int StandIn_##name(const void* pA, unsigned int nCodeA, const void* pB, unsigned int nCodeB, \
                     void* pResult, unsigned short* pwResultType, unsigned int nOptions, int nZero);
KX_STANDIN_ARITHMETIC_OPERATORS(KX_STANDIN_DECLARE)
#undef KX_STANDIN_DECLARE
// Negation into the value area pTarget, which holds an initialised value of
// nCodeA's type.
int StandIn_nNegationEx(const void* pA, unsigned int nCodeA, void* pTarget, unsigned short* pwResultType,
                        unsigned int nOptions, int nZero);

// ---- What the conversions and operators share ------------------------------
// A value read from its value-area form, in one of the stand-in's working
// kinds.
struct STStandInValue {
  enum eKIND { KIND_INT, KIND_REAL, KIND_DECIMAL, KIND_TEXT, KIND_BYTES };
  eKIND eKind = KIND_INT;
  __int128 nValue = 0;   // KIND_INT; KIND_DECIMAL: unscaled
  int nScale = 0;        // KIND_DECIMAL
  double dValue = 0;     // KIND_REAL
  std::wstring sText;    // KIND_TEXT
  std::string sBytes;    // KIND_BYTES: binary, or 8-bit text when bEightBitText
  bool bEightBitText = false;
  bool bDateText = false;  // digit text of a date, time or date-time
  unsigned int nCode = 0;  // the source's type code
};
// Reads the value-area form of nCode (flags ignored); 105 for a kind it has
// no reading for.
int StandIn_nReadValue(const void* pSource, unsigned int nCode, STStandInValue* pst);
// The value as wide text (numbers with the current separator; 8-bit text
// and binary decoded with nCodePage).
int StandIn_nValueToText(const STStandInValue& st, unsigned int nCodePage, std::wstring* ps);
// The value as a number (KIND_INT, KIND_REAL or KIND_DECIMAL); 105 for a
// text that is not a number, or binary.
int StandIn_nValueToNumber(const STStandInValue& st, unsigned int nCodePage, STStandInValue* pNumber);
