// Date-time value of the runtime: calendar date plus milliseconds of the
// day, its calendar arithmetic and its digit texts.
//
// CDateTimeBase is a plain 8-byte value without constructors or virtual
// operations, so that typed values, records and keys can hold it inline and
// copy it bytewise: day (1-31), month (1-12), year (1-9999) and the
// milliseconds since midnight (0-86399999). The empty value is all zero.
// The first four bytes read as one little-endian word year << 16 |
// month << 8 | day, which orders dates chronologically. CDateTime is the
// same value with a constructor that makes it empty.
//
// The value holds whatever its writer stored: Set and the unchecked readers
// (FromString, DepuisBinaire, __SetPartieHeure) store what the digits say,
// so every operation takes any 8 bytes without undefined behaviour. Only
// nDepuisBinaireValide checks a text; the modifiers and shifts check their
// own inputs and refuse (false, value unchanged) rather than store a date
// outside years 1 to 9999.
//
// Calendar: Julian before 15 October 1582, Gregorian from that day on; the
// leap rule (__nBissextile) treats every year divisible by 4 before 1583 as
// leap. The day number counts days with 1 January 1800 as day 1; it is the
// astronomical Julian day number minus 2378496, so it runs without gap
// across the change of calendar (4 October 1582 is followed by 15 October;
// the dates 5 to 14 October 1582, which never existed, count as 15 October).
// 1 January 0001 is day -657072 and 31 December 9999 day 2994988.
//
// Texts:
//   date-time text  YYYYMMDDHHMMSSmmm, 17 digits, zero-padded
//   date text       YYYYMMDD;  time text  HHMMSSmmm
//   readable text   "%d-%d-%d %d:%d:%d,%d" (year, month, day, hour, minute,
//                   second, millisecond), unpadded
// A value whose fields exceed their ranges formats to more digits (up to 22);
// every writer still writes at most the nominal length of its form.
//
// Results: 0 done, 110 invalid date, 111 invalid time; the shared-string
// forms pass on the allocator's codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "CDureeBase.h"
#include "CTNBIN.h"
#include "CTString.h"
#include "CXYString.h"
#include "WinTime.h"

class CDateTimeBase {
 public:
  std::uint8_t m_byJour;    // day of the month; 0 when empty
  std::uint8_t m_byMois;    // month; 0 when empty
  std::uint16_t m_wAnnee;   // year; 0 when empty
  std::uint32_t m_dwHeure;  // milliseconds since midnight

  // ---- Calendar --------------------------------------------------------

  // Days of each month, January first, in a common and in a leap year.
  static const std::uint8_t ms_pbyNbJoursMois[12];
  static const std::uint8_t ms_pbyNbJoursMoisBissextile[12];

  // Defaults of the typed values' date and time kinds (the default date and
  // time texts); null means no default. Not owned: whoever sets them keeps
  // the texts alive.
  static const wchar_t* ms_pcszValeurInitDate;
  static const wchar_t* ms_pcszValeurInitTime;

  // 1 for a leap year, else 0: divisible by 4, and from 1583 on not by 100
  // unless by 400.
  static int __nBissextile(int year);
  // Length of the month (1-12) in that year; 0 for any other month.
  static int s_nGetNbJourMois(int month, int year);

  // The date lies in years 1-9999, month 1-12, day 1 to the month's length.
  bool bDateValide() const;

  // Day number of a date, computed without checks (any field values give a
  // number; only a valid date gives a meaningful one).
  static int s_nDateVersEntier(int year, int month, int day);
  // Day number of this date, without checks.
  int nVersEntier() const;
  // Day number into *n; false (nothing written) when the date is not valid.
  bool __bDateVersEntier(int* n) const;
  // The date of day number n (time unchanged); false and no change when it
  // falls outside years 1 to 9999.
  bool __bEntierVersDate(long n);

  // Astronomical Julian day number of the date (15 October 1582 is 2299161,
  // 4 October 1582 2299160); 5-14 October 1582 count as 15 October.
  int nVersJourJulien() const;
  // 0 Sunday, 1 Monday ... 6 Saturday.
  int nGetJourDeLaSemaine() const;
  // 1-based day of the year: days since 1 January of the same year, plus 1.
  int nGetJourDansAnnee() const;
  // ISO 8601 week date: year and week of the Thursday of the same week,
  // weekday 1 Monday to 7 Sunday. The first days of year 1 belong to week
  // 53 of year 0. For a valid date.
  void VersISO8601YWD(int& year, int& week, int& weekday) const;

  // ---- Setting and reading fields ----------------------------------------

  // Stores without checks; time = hour x 3600000 + minute x 60000 + second x
  // 1000 + ms, computed in 64 bits and kept modulo 2^32.
  void Set(int year, int month, int day, int hour, int minute, int second, int ms);

  // Year 1-9999, month 1-12, day 1-31; false and no change outside. Then
  // the day is clipped to the month's length when day, month and year are
  // all non-zero.
  bool bModifieAnnee(int year);
  bool bModifieMois(int month);
  bool bModifieJour(int day);
  // Hour 0-23, minute 0-59, second 0-59: replaces that part of the time and
  // keeps the others, milliseconds included; false and no change outside.
  bool bModifieHeure(int hour);
  bool bModifieMinute(int minute);
  bool bModifieSeconde(int second);
  // Clips the day to the length of the month when day, month and year are
  // all non-zero; returns the day.
  int __nRectifieFinMois();

  // The empty value (all zero).
  void InitDate();
  // Year, month, day, hour, minute, second through the modifiers above, in
  // that order (a refused field keeps its former value, unreported), then
  // the milliseconds. False only when the milliseconds exceed 999 (they are
  // then left as they were) or st is null.
  bool InitDate(const SYSTEMTIME* st);
  // InitDate from the local and from the UTC clock.
  bool InitDateCourante();
  bool InitDateCouranteUTC();
  // Year, month, day, hour, minute, second and milliseconds into *st (the
  // day of week is left alone); returns 0.
  int nVersSysteme(SYSTEMTIME* st) const;

  // ---- Comparing ---------------------------------------------------------

  // -1, 0 or 1 by date, then time.
  static int nCompare(const CDateTimeBase& a, const CDateTimeBase& b);
  // -1, 0 or 1 by date only.
  static int s_nCompareDateSeule(const CDateTimeBase& a, const CDateTimeBase& b);
  // Texts compared over the length of the shorter (a text that is a prefix
  // of the other compares equal): both empty 0, only a empty -1, only b
  // empty 1; a null text is empty. Result -1, 0 or 1.
  static int nCompareDate(const wchar_t* a, const wchar_t* b);
  static int nCompareHeure(const wchar_t* a, const wchar_t* b);
  // a's date-time text compared with `text` by nCompareDate.
  static int nCompare(const CDateTimeBase& a, const wchar_t* text);

  // ---- Arithmetic ----------------------------------------------------------
  // Every shift refuses (false, value unchanged) a result outside years 1 to
  // 9999, and computes in 64 bits.

  // Shifts the date by n days, time unchanged. An empty date stays empty
  // (true); any other must be valid (bDateValide), else false.
  bool bDecaleJour(long n);
  // Shifts by n months (the month must be 1-12, the year 1-9999), clipping
  // the day to the length of the resulting month.
  bool bDecaleMois(long n);
  // Shifts by n years (the year must be 1-9999), clipping the day.
  bool bDecaleAnnee(long n);
  // Shifts date and time by ms milliseconds: whole days through bDecaleJour,
  // the rest on the time with a borrow or carry of one day. When the day
  // shift is refused nothing changes.
  bool bDecaleMilli(long ms);

  // *d = (day number of a - day number of b) x 86400000 + time of a - time
  // of b. 110 (d unchanged) when either date is not valid, else 0.
  static int nCalculeDuree(const CDateTimeBase& a, const CDateTimeBase& b, CDureeBase* d);
  // *days = day number of a - day number of b; false (unchanged) when either
  // date is not valid.
  static bool bCalculeDiffJour(const CDateTimeBase& a, const CDateTimeBase& b, int* days);

  // ---- Texts ---------------------------------------------------------------

  // The first `size` characters of the date-time text (at most 17), then a
  // NUL: the buffer holds size + 1 characters (18 for the whole text).
  // Nothing for a null buffer.
  template <typename T>
  void VersChaine(T* buffer, unsigned long size) const;
  // The whole 17-digit text.
  void VersChaine(CTString* out) const;
  CTString VersChaine() const;
  int nVersChaine(CXYString<wchar_t>* out) const;
  // A new copy from STR_pszCreate, which the caller frees with STR_Delete;
  // null when the memory is refused.
  wchar_t* pszCreeChaine() const;
  // The readable text "year-month-day hour:minute:second,ms", unpadded.
  CTString VersChaineFormate() const;

  // The first min(n, 8) characters of YYYYMMDD (resp. min(n, 9) of
  // HHMMSSmmm), then a NUL: the buffer holds min(n, 8) + 1 (min(n, 9) + 1)
  // characters. Returns 0; a null buffer or negative n writes nothing.
  template <typename T>
  int nVersDate(T* buffer, int n) const;
  template <typename T>
  int nVersHeure(T* buffer, int n) const;

  // The 17-digit text as 17 bytes in *out. The option word is accepted for
  // the callers and changes nothing.
  int nVersBinaire(CTNBIN* out, unsigned int nOption) const;
  // Reads the first bytes of the buffer (at most 17, never past its length)
  // as FromString reads a text. The option word changes nothing.
  void DepuisBinaire(const CTNBIN* in, unsigned int nOption);
  // The same with checks: 110 when the date part is invalid
  // (__bSetPartieDateValide), 111 when the text has 9 or more characters and
  // the time part is invalid (__bSetPartieHeureValide); the value changes
  // only on 0. A text of 8 characters gives midnight.
  int nDepuisBinaireValide(const CTNBIN* in, unsigned int nOption);

  // Unchecked reading of a date-time text: year from characters 0-3, month
  // 4-5, day 6-7 (nGetPropDateTime, no padding); time 0 unless the text has
  // at least 9 characters, then __SetPartieHeure from character 8. A null
  // text gives the empty value.
  template <typename T>
  void FromString(const T* text);
  // Unchecked time of day from a text HHMMSS[mmm]: hour from characters
  // 0-1, minute 2-3, second 4-5, milliseconds from 6-8 read with padding
  // (one digit x 100, two x 10); when that gives 0, two digits with padding
  // x 10, then one digit x 100. The date is kept.
  template <typename T>
  void __SetPartieHeure(const T* text);

  // Checked date part: at least 8 characters, the first 8 digits, year at
  // most 9999, month 1-12, day 1 to the month's length. Sets the date (time
  // kept) and returns true; false and no change otherwise.
  template <typename T>
  bool __bSetPartieDateValide(const T* text);
  // Checked time part: empty (or null) is midnight; 1, 3 or 5 characters are
  // refused; the first digits (at most 9) are read, a non-digit among the
  // first 6 characters is refused and one at 6 to 8 ends the digits there.
  // Pairs give hour, minute, second (missing pairs 0); 9 digits give the
  // milliseconds 6-8, 8 digits digits 6-7 x 10, 7 digits digit 6 x 100.
  // Refused when hour > 23, minute > 59 or second > 59. Sets the time (date
  // kept) and returns true; false and no change otherwise.
  template <typename T>
  bool __bSetPartieHeureValide(const T* text);

  // The number in characters offset to offset + length - 1 of the text, read
  // as strtol reads it (base 10, the first non-digit ends it) but never
  // beyond the field. 0 for a null or empty text, or a negative offset or
  // length. When the text ends before offset + length: 0 unless bPartial is
  // set and the text goes past offset, in which case the available
  // characters are read and the number multiplied by 10 for each missing
  // one ("5" for three digits gives 500). Results beyond the int range are
  // clamped.
  template <typename T>
  static int nGetPropDateTime(const T* text, int offset, int length, bool bPartial);
  // Writes value right-aligned and zero-padded into characters offset to
  // offset + length - 1 when offset + length <= end (only its last `length`
  // characters when it needs more); otherwise fills offset to end - 1 with
  // '0'. In both cases a NUL at end, so the buffer holds end + 1
  // characters. Nothing at all for a null buffer or a negative end; a
  // negative offset or length writes only the NUL.
  template <typename T>
  static void SetPropDateTime(T* buffer, int offset, int length, long value, int end);

  // Fills *st from a date text YYYYMMDD (resp. a time text HHMMSSmmm, the
  // milliseconds read with padding); every other field 0. Returns 0; a null
  // st is left alone, a null text gives zeros.
  static int nDateVersSysteme(const wchar_t* text, SYSTEMTIME* st);
  static int nHeureVersSysteme(const wchar_t* text, SYSTEMTIME* st);

  // The packed date word year << 16 | month << 8 | day.
  std::uint32_t dwGetDate() const {
    return static_cast<std::uint32_t>(m_wAnnee) << 16 | static_cast<std::uint32_t>(m_byMois) << 8 |
           m_byJour;
  }
  // The date is all zero.
  bool bDateVide() const { return m_byJour == 0 && m_byMois == 0 && m_wAnnee == 0; }
};

// The value form: a CDateTimeBase that starts empty.
class CDateTime : public CDateTimeBase {
 public:
  CDateTime() : CDateTimeBase{0, 0, 0, 0} {}
  CDateTime(const CDateTimeBase& other) : CDateTimeBase(other) {}
};

static_assert(sizeof(CDateTimeBase) == 8, "a date-time is 8 bytes");
static_assert(sizeof(CDateTime) == 8, "CDateTime adds no data");
static_assert(std::is_trivial_v<CDateTimeBase>, "copied bytewise, held in unions");
static_assert(std::is_trivially_copyable_v<CDateTime>, "copied bytewise");
static_assert(std::is_standard_layout_v<CDateTimeBase>, "fixed layout");
static_assert(offsetof(CDateTimeBase, m_byJour) == 0, "day in byte 0");
static_assert(offsetof(CDateTimeBase, m_byMois) == 1, "month in byte 1");
static_assert(offsetof(CDateTimeBase, m_wAnnee) == 2, "year in bytes 2-3");
static_assert(offsetof(CDateTimeBase, m_dwHeure) == 4, "time in bytes 4-7");
