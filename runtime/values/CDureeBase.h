// Duration of the runtime: a signed count of milliseconds, and its digit
// texts.
//
// CDureeBase is a plain 8-byte value without constructors or virtual
// operations, so that typed values and records can hold it inline and copy it
// bytewise; CDuree is the same value with a constructor that zeroes it.
//
// Texts (every field printed as an absolute value, "-" first for a negative
// duration):
//   thousandths  days, then HHMMSSmmm  ("%d%02d%02d%02d%03d"), e.g. 90061001
//                ms is "1010101001"
//   hundredths   days, then HHMMSScc; the magnitude is rounded to the nearest
//                10 ms (halves up) before it is split, so 59.995 s prints as
//                "000010000" and the last field always has two digits.
// Days are printed in full (up to 12 digits), so every int64 has a text,
// INT64_MIN included, and the thousandths text reads back to the same value.
//
// Results: 0 done, 112 a text too short, 115 a value outside the int64
// range; the shared-string forms pass on the allocator's codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "CTNBIN.h"
#include "CXYString.h"

class CDureeBase {
 public:
  // Milliseconds; negative for a negative duration.
  std::int64_t m_llDuree;

  // -1, 0 or 1 on the millisecond counts.
  static int nCompare(const CDureeBase& a, const CDureeBase& b);

  // Reads a thousandths text: an optional sign ("+", "-", or the full-width
  // U+FF0B, U+FF0D), then at least 10 characters; from the end 3 digits of
  // milliseconds, 2 of seconds, 2 of minutes, 2 of hours, and all characters
  // before them are the days. Each field is read as strtol reads it (the
  // first non-digit ends it). 112 when fewer than 10 characters follow the
  // sign (a null text counts as empty); 115 when the days or the total do
  // not fit in int64. The value changes only on 0.
  int nDepuisChaine(const wchar_t* text);
  // The same for a hundredths text: at least 9 characters, the last 2 are
  // hundredths of a second (times 10).
  int nDepuisChaineCentieme(const wchar_t* text);

  // The thousandths text into *out (nothing when out is null: 0).
  int nVersChaine(CXYString<wchar_t>* out) const;
  // The hundredths text into *out.
  int nVersChaineCentieme(CXYString<wchar_t>* out) const;
  // A new copy of the thousandths text from STR_pszCreate; the caller frees
  // it with STR_Delete. Null when the memory is refused.
  wchar_t* pszCreeChaine() const;

  // The thousandths text as 8-bit characters (no terminator) in *out. The
  // option word is accepted for the callers and changes nothing.
  int nVersBinaire(CTNBIN* out, unsigned int nOption) const;
  // The first bytes of the buffer (at most 24, never past its length; a null
  // or empty buffer reads as the empty text) widened to characters, then
  // nDepuisChaine. The option word changes nothing.
  int nDepuisBinaire(const CTNBIN* in, unsigned int nOption);

  // Characters, without the terminator, of the longest text (a sign, 12
  // digits of days and 9 more).
  static constexpr int kMaxTexte = 22;

 private:
  // Writes the text (thousandths, or hundredths when bCentieme) and its
  // terminator into out, which holds kMaxTexte + 1 characters; returns its
  // length.
  int nFormate(char* out, bool bCentieme) const;
  // nDepuisChaine and nDepuisChaineCentieme: nDigits characters after the
  // days, the last field nFraction digits worth nScale ms each.
  int nLit(const wchar_t* text, int nDigits, int nFraction, int nScale);
};

// The value form: a CDureeBase that starts at zero.
class CDuree : public CDureeBase {
 public:
  CDuree() : CDureeBase{0} {}
  explicit CDuree(std::int64_t llMilli) : CDureeBase{llMilli} {}
  CDuree(const CDureeBase& other) : CDureeBase(other) {}
};

static_assert(sizeof(CDureeBase) == 8, "a duration is 8 bytes");
static_assert(sizeof(CDuree) == 8, "CDuree adds no data");
static_assert(std::is_trivial_v<CDureeBase>, "copied bytewise, held in unions");
static_assert(std::is_trivially_copyable_v<CDuree>, "copied bytewise");
static_assert(std::is_standard_layout_v<CDureeBase>, "fixed layout");
static_assert(offsetof(CDureeBase, m_llDuree) == 0, "the count is the whole value");
