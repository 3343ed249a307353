// Currency: a fixed-point amount with exactly six decimals.
//
// A CMoney holds the amount times 10^6 as an 80-bit two's-complement integer
// ("raw" value) in five 16-bit words, least significant first; bit 15 of
// word 4 is the sign. Valid amounts lie within +-(2^79 - 1) raw, that is
// +-604462909807314587.353087. The one pattern outside, -2^79 (the "minimum
// pattern"), is only ever produced by SetMonetaireToMin and by the raw
// readers (pstChaineHexaVersMonetaire, NegMonetaire of it); every computing
// operation refuses it as a result, and accepts it as an operand.
//
// Every operation is a free function working in place on the CMoney the
// caller owns; none keeps a pointer. Operations that can fail return null
// (or false) and then leave the target unchanged. Pointers must not be null
// unless a function says otherwise. Results of the pointer-returning forms
// are their first argument.
#pragma once

#include <cstddef>

struct CMoney {
  unsigned short m_awMot[5];  // least significant word first
};
static_assert(sizeof(CMoney) == 10, "CMoney is stored as 10 bytes");
static_assert(alignof(CMoney) == 2, "CMoney has the alignment of its words");

// The value 1 (raw 1000000), the value -1 and raw 65536.
extern const CMoney gstMillion;
extern const CMoney gstMoinsMillion;
extern const CMoney gstVersLong;

// Room, terminator included, that every text writer below may use: the
// decimal text needs at most 27 characters, the hexadecimal one 21 and the
// octal one 28.
constexpr std::size_t MONETAIRE_TAILLE_CHAINE = 32;

// ---- Text -----------------------------------------------------------------

// Reads decimal text: blanks (U+0020) skipped, an optional sign ("-" or
// U+FF0D make it negative, "+" and U+FF0B are skipped), integer digits, then
// after a "." up to six decimals (further decimal digits are ignored, not
// rounded). The first other character ends the number; a text without
// digits, the empty text and a null text give 0. Null when the magnitude
// exceeds 2^79 - 1 raw (m unchanged).
CMoney* pstChaineVersMonetaire(CMoney* m, const wchar_t* text);

// Reads the raw pattern in hexadecimal, most significant digit first: blanks
// (U+0020) skipped, then the rest of the caller's text is upper-cased in
// place (towupper) and the first at most 20 hexadecimal digits at its start
// are taken, zero-extended to 80 bits; no digit gives 0. Never fails: every
// pattern is accepted.
CMoney* pstChaineHexaVersMonetaire(CMoney* m, wchar_t* text);

// Decimal text of m into `buffer` (MONETAIRE_TAILLE_CHAINE characters): "-"
// for a negative value, the integer digits (at least "0"), then "." and the
// decimals without trailing zeros, no "." when they are all zero ("12.5",
// "-0.000001", "7"). The minimum pattern prints as
// "-604462909807314587.353088". Returns `buffer`.
wchar_t* pszMonetaireVersChaineC(const CMoney* m, wchar_t* buffer);

// The raw pattern as upper-case hexadecimal of words 4 to 0, leading zeros
// removed, at least one digit (-1 raw is "FFFFFFFFFFFFFFFFFFFF"). Returns
// `buffer`.
wchar_t* pszMonetaireVersChaineHexa(const CMoney* m, wchar_t* buffer);

// The raw pattern in octal, its sign bit repeated as an 81st bit so that the
// top digit of a negative pattern is 6 or 7; leading zeros removed, at least
// one digit. Returns `buffer`.
wchar_t* pszMonetaireVersChaineOctale(const CMoney* m, wchar_t* buffer);

// Writes the 10-byte key of m into `key`: the pattern most significant byte
// first with that byte's top bit inverted, so that comparing keys byte by
// byte as unsigned bytes orders them as the values.
void MonetaireVersCleXQ(void* key, const CMoney* m);

// ---- Numbers in and out ----------------------------------------------------

// m = d, rounded to six decimals as "%.6f" does (to nearest, ties to even on
// the exact binary value). Null for NaN, an infinity or an amount outside
// the valid range (m unchanged).
CMoney* pstDoubleVersMonetaire(CMoney* m, double d);

// The amount closest to m as a double (the decimal text read by strtod in
// the "C" locale).
double dMonetaireVersDouble(const CMoney* m);

// m = the integer amount. The 64-bit forms give null for an amount beyond
// +-604462909807314587 (m unchanged); the 32-bit form cannot fail.
CMoney* pstInt32VersMonetaire(CMoney* m, int value);
CMoney* pstTresLongVersMonetaire(CMoney* m, long value);
CMoney* pstTresLongSansSigneVersMonetaire(CMoney* m, unsigned long value);

// The integer part of m, truncated toward zero, kept to its low 32 or 64
// bits (a negative amount gives its two's-complement bits to the unsigned
// form).
int lMonetaireVersInt32(const CMoney* m);
unsigned long lMonetaireVersTresLongSansSigne(const CMoney* m);

// *out = the integer part of m, truncated toward zero. The 32-bit form gives
// false, *out untouched, when it lies outside the int range; the signed
// 64-bit one always succeeds; the unsigned one stores the low 64 bits and
// succeeds (every integer part of the range fits in 64 bits).
bool bMonetaireVersInt32(const CMoney* m, int* out);
bool bMonetaireVersTresLong(const CMoney* m, long* out);
bool bMonetaireVersTresLongSansSigne(const CMoney* m, unsigned long* out);

// ---- Arithmetic ------------------------------------------------------------

// m = m + other, m - other; other may be m. Null when the result leaves the
// valid range (m unchanged).
CMoney* pstAddMonetaire(CMoney* m, const CMoney* other);
CMoney* pstSubMonetaire(CMoney* m, const CMoney* other);

// m = m x other (the amounts multiplied: raw product / 10^6) and
// m = m / other (raw m x 10^6 / other), both truncated toward zero and exact
// for every pair of operands. Null when the result leaves the valid range
// or, for the division, when other is 0 (m unchanged). other may be m.
CMoney* pstMulMonetaire(CMoney* m, const CMoney* other);
CMoney* pstDivMonetaire(CMoney* m, const CMoney* other);

// m = m + 1 or m - 1 (the amount, 10^6 raw); false and m unchanged when the
// result would leave the valid range.
bool bIncrementeMonetaire(CMoney* m);
bool bDecrementeMonetaire(CMoney* m);

// Two's-complement negation of the pattern (the minimum pattern stays as it
// is).
void NegMonetaire(CMoney* m);

// m = |m|; null for the minimum pattern, whose magnitude has no CMoney
// (m unchanged).
CMoney* pstAbsMonetaire(CMoney* m);

// Raw m = raw m x 10; false when the result leaves the valid range
// (m unchanged).
bool bMul10Monetaire(CMoney* m);

// Raw m = (|raw m| x w + (digit - '0')) with m's sign restored, for a digit
// '0' to '9'; false when that magnitude exceeds 2^79 - 1 or is negative
// (m unchanged).
bool bMulMonetaireWord(CMoney* m, unsigned short w, wchar_t digit);

// ---- Comparison ------------------------------------------------------------

// -1, 0 or 1 as a is below, equal to or above b. A null a ranks above
// everything (1, even when b is null too), a null b below everything (-1).
int nCmpMonetaire(const CMoney* a, const CMoney* b);

// -1, 0 or 1 as m is below, equal to or above the integer amount `value`; a
// null m ranks above everything.
int nCmpMonetaireEtInt32(const CMoney* m, int value);

// True when all five words are 0.
bool bMonetaireZero(const CMoney* m);

// The minimum pattern (word 4 = 0x8000, the others 0) and the largest value
// (word 4 = 0x7FFF, the others 0xFFFF).
void SetMonetaireToMin(CMoney* m);
void SetMonetaireToMax(CMoney* m);

// ---- Integer part, decimals and rounding -----------------------------------

// Floor: the largest integer amount not above m; null when that lies below
// the valid range (m unchanged).
CMoney* pstEntMonetaire(CMoney* m);

// The decimals of |m|: a non-negative amount below 1 (the digits after the
// point of the decimal text).
CMoney* pstDecMonetaire(CMoney* m);

// Rounds to n decimals (0 to 5), half away from zero. n above 5 or below 0
// leaves m unchanged and returns m. Null when the result leaves the valid
// range (m unchanged).
CMoney* pstArrMonetaire(CMoney* m, short n);

// Rounds to n decimals (0 to 5) toward minus infinity (Inf) or plus infinity
// (Sup). n above 5 or below 0 leaves m unchanged and returns m. Null when the
// result leaves the valid range (m unchanged).
CMoney* pstArrMonetaireInf(CMoney* m, short n);
CMoney* pstArrMonetaireSup(CMoney* m, short n);
