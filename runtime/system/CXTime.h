// CXTime: a date-time of the system services, the C library's broken-down
// time (struct tm) plus milliseconds, and its conversions between the forms
// the code base meets: SYSTEMTIME and FILETIME, time_t, packed DOS date and
// time, the runtime's CDateTime, the compact digit texts of the platform
// (YYYYMMDDHHMMSSCC and its parts), ODBC and SQL Server texts.
//
// The value is whatever its writer stored; nothing checks the fields except
// where an operation says so. The zero value (SetTo0, the default
// constructor, and the start of every text reader unless said otherwise) is
// year 0 (tm_year -1900), January, day 1, 00:00:00, day of week and day of
// year -1 (unknown), daylight-saving flag -1 (unknown), milliseconds 0.
//
// Calendar: Gregorian for every year (bBissextile, nGetDayInMonth); year 0
// is a leap year.
//
// Texts written: the digit forms always carry four year digits and two for
// each other field (year 999 gives "09990101"). When a field they print lies
// outside its range (year 0-9999, month 1-12, day 1-31, hour 0-23, minute
// 0-59, second 0-60, milliseconds 0-999) they write the empty text instead,
// so a pointer-only writer never writes more than its nominal length:
//   GetTNTime 9, GetTNDate 8, FormatToSQLServerTimeStamp 21,
//   FormatToOdbcTimeStamp 30, FormatToOdbcTime 18, FormatToOdbcDate 16
// characters, each followed by a NUL. A null buffer is left alone.
//
// Texts read: null texts are accepted everywhere (read as described per
// operation). The length-bound readers (bSetTNDateTime, bSetTNDate,
// bSetTNTime) check only the length and read each field's leading digits.
// The partial readers (Min and Max forms) also refuse a non-digit where a
// digit is read (the space at position 8 of a date-time aside) and a field
// out of range: month > 12, day > nGetDayInMonth, hour > 23, minute or
// second > 59; a month or day of 0 is read as January or 1. A reader that
// refuses returns false and leaves the zero value; the time-only partial
// readers (bSetTNTimeMin, bSetTNTimeMax) never touch the date fields and
// leave 00:00:00.000 instead.
//
// bInitLocalTime and bSetLocalTime set the machine's clock.
//
// The two operations on CDateTime (SetTime, GetTNDateTime) are built with
// the runtime's date values (values/CXTimeDateTime.cpp): only a program that
// links those values may call them.
//
// Objects belong to one thread at a time; the conversions through the local
// time zone use the C library's zone state (TZ).
#pragma once

#include <cstdint>
#include <ctime>

#include "WinTime.h"

class CTString;
class CDateTime;

class CXTime {
 public:
  // ---- Construction and setting -------------------------------------------
  // Each constructor has a SetTime twin with the same effect.

  // The zero value.
  CXTime();
  // Calendar fields: month 1-12 (<= 0 gives January), day (<= 0 gives 1);
  // day of week and day of year unknown, milliseconds 0; the other fields
  // are stored as given.
  CXTime(int year, int month, int day, int hour, int minute, int second, int isdst = -1);
  // Every field of st (day of week and milliseconds included), day of year
  // unknown. The pointer form gives the zero value for a null st.
  explicit CXTime(const SYSTEMTIME& st, int isdst = -1);
  CXTime(const SYSTEMTIME* st, int isdst);
  // Packed DOS date and time: seconds = 2 x bits 0-4 of the time, minutes
  // bits 5-10, hours bits 11-15; day = bits 0-4 of the date, month bits 5-8,
  // year 1980 + bits 9-15. Day of week and day of year unknown.
  CXTime(unsigned short dosDate, unsigned short dosTime, int isdst = -1);
  // The whole struct tm, milliseconds 0.
  explicit CXTime(const struct tm& tm);
  // Local time of a time_t (localtime_r); -1 or a failure gives the zero
  // value. Milliseconds 0.
  explicit CXTime(long t);
  // A FILETIME (UTC) converted to local time; a failed conversion gives the
  // zero value.
  explicit CXTime(const FILETIME& ft, int isdst = -1);
  virtual ~CXTime();

  CXTime& operator=(long t);

  void SetTo0();
  void SetTime(int year, int month, int day, int hour, int minute, int second, int isdst = -1);
  void SetTime(const SYSTEMTIME& st, int isdst = -1);
  void SetTime(const SYSTEMTIME* st, int isdst);
  void SetTime(unsigned short dosDate, unsigned short dosTime, int isdst = -1);
  void SetTime(const struct tm& tm);
  void SetTime(long t);
  void SetTime(const FILETIME& ft, int isdst = -1);
  // Zero value, then the date (month 0 stays January, day 0 becomes 1) and
  // hours, minutes, seconds and milliseconds of the value's time of day.
  void SetTime(const CDateTime& dt);
  // UTC fields of a time_t (gmtime_r); -1 or a failure gives the zero value.
  void SetUTCTime(long t);
  // Now, from the UTC or the local clock, with milliseconds; daylight-saving
  // flag and day of year unknown.
  void SetFromUTCTime();
  void SetFromLocalTime();

  // ---- Reading out ----------------------------------------------------------

  // Every field (day of week included, each cut to 16 bits); true.
  bool bGetAsSystemTime(SYSTEMTIME& st) const;
  // st from tm's fields, milliseconds 0.
  static void GetAsSystemTime(SYSTEMTIME& st, const struct tm& tm);
  // The fields taken as local time, turned into UTC (bLocalVersUTC) and
  // then into a FILETIME (whole seconds). The result is that of
  // bLocalVersUTC; ft is written only on success.
  bool bGetAsFileTime(FILETIME& ft) const;
  // Clears *dt (InitDate()), then sets it through a SYSTEMTIME with
  // CDateTimeBase::InitDate(SYSTEMTIME*), which keeps a field it refuses
  // (so that field stays empty). Nothing for a null dt.
  void GetTNDateTime(CDateTime* dt) const;

  // The fields as local time (mktime of a copy; the daylight-saving flag
  // chooses the offset, -1 lets the system decide); -1 when they cannot be
  // represented.
  long nGetTime32_t() const;
  // The fields taken as UTC (timegm of a copy; the daylight-saving flag
  // plays no part).
  long nGetTime32_t_UTC() const;
  static long s_nGetTime_t_UTC(const struct tm& tm);

  // local -> UTC: mktime of a copy then gmtime_r; UTC -> local: timegm of a
  // copy then localtime_r. The output is left alone when the step fails.
  static void Local2UTC(const struct tm& local, struct tm& utc);
  static void UTC2Local(const struct tm& utc, struct tm& local);

  // FILETIME = time_t x 10000000 + 116444736000000000 (wrapping at 64 bits);
  // the way back divides with truncation towards 0.
  static FILETIME UnixTimeToFileTime(long t);
  static long FileTimeToUnixTime(const FILETIME& ft);
  // UTC calendar fields to time_t and back (milliseconds ignored, resp. 0);
  // -1, resp. an all-zero SYSTEMTIME, when the conversion fails.
  static long SystemTimeToUnixTime(const SYSTEMTIME& st);
  static SYSTEMTIME UnixTimeToSystemTime(long t);

  // time(); the UTC clock into *st (when not null), returning the same
  // instant as Unix seconds; the local clock into *st.
  static long nGetCurrentTime();
  static long nGetCurrentTime(SYSTEMTIME* st);
  static void GetLocalTime(SYSTEMTIME* st);

  // Set the machine's clock (SetLocalTime; needs the privilege to do so):
  // from the fields (milliseconds not passed), or from *st. False on
  // failure or a null st.
  bool bInitLocalTime() const;
  static bool bSetLocalTime(SYSTEMTIME* st);

  // ---- Comparison -----------------------------------------------------------

  // The difference of the first differing field among year, month, day,
  // hours, minutes, seconds (a - b); 0 when they are all equal. A null
  // pointer sorts before any value.
  static int snCompare(const struct tm* a, const struct tm* b);
  // snCompare, then the milliseconds.
  bool operator>(const CXTime& other) const;
  bool operator>=(const CXTime& other) const;

  // ---- Texts written ----------------------------------------------------------

  // wcsftime of the fields into a buffer of 256 characters (the caller's, or
  // the string's); the empty text when wcsftime fails or the format is null.
  void Format(const wchar_t* format, wchar_t* buffer) const;
  void Format(const wchar_t* format, CTString& out) const;

  void GetTNTimeAAAAMMJJ_HHMMSS(CTString& out) const;    // YYYYMMDD HHMMSS
  void GetTNTimeHHMMSS(CTString& out) const;             // HHMMSS
  void GetTNTimeHHMM(CTString& out) const;               // HHMM
  void GetTNDate(CTString& out) const;                   // YYYYMMDD
  void GetTNTimeHHMMSSCCm(CTString& out) const;          // HHMMSSmmm
  void GetTNTimeAAAAMMJJHHMMSSCCm(CTString& out) const;  // YYYYMMDDHHMMSSmmm
  // HHMMSSmmm and YYYYMMDD into a buffer of at least 10, resp. 9 characters.
  void GetTNTime(wchar_t* buffer) const;
  void GetTNTime(char* buffer) const;
  void GetTNDate(wchar_t* buffer) const;
  void GetTNDate(char* buffer) const;
  // "YYYYMMDD HH:MM:SS.mmm" into at least 22 characters.
  void FormatToSQLServerTimeStamp(wchar_t* buffer) const;
  // "{ts 'YYYY-MM-DD HH:MM:SS.mmm'}" (31 characters with the NUL),
  // "{t 'HH:MM:SS.mmm'}" (19), "{d 'YYYY-MM-DD'}" (17).
  void FormatToOdbcTimeStamp(wchar_t* buffer) const;
  void FormatToOdbcTimeStamp(CTString& out) const;
  void FormatToOdbcTime(wchar_t* buffer) const;
  void FormatToOdbcTime(CTString& out) const;
  void FormatToOdbcDate(wchar_t* buffer) const;
  void FormatToOdbcDate(CTString& out) const;
  // "DD/MM/YYYY HH:MM:SS" and "DD/MM/YYYY HH:MM:SS,mmm".
  void GetTNTimeReadableSS(CTString& out) const;
  void GetTNTimeReadable(CTString& out) const;

  // ---- Texts read --------------------------------------------------------------

  // YYYYMMDDHHMMSSCC, at least 16 characters (fewer, or null: false); a
  // space at position 8 moves the time one character right. Month 0 gives
  // January, day 0 gives 1. The two digits after the seconds are hundredths
  // when the text ends after them (16 characters, 17 with the space); three
  // digits are milliseconds when the text has 17 characters (18 with the
  // space); any other length leaves milliseconds 0.
  bool bSetTNDateTime(const wchar_t* text, int isdst = -1);
  bool bSetTNDateTime(const char* text, int isdst = -1);
  // Exactly 8 characters YYYYMMDD (month and day as above); time 00:00.
  bool bSetTNDate(const wchar_t* text);
  // At least 4 characters HHMM; from 6 characters the seconds; exactly 8:
  // two digits of hundredths; 9 or more: three digits of milliseconds.
  bool bSetTNTime(const wchar_t* text);

  // Earliest instant of a partial time HH[MM[SS[mmm]]]: a missing digit of
  // a pair or of the milliseconds is 0 ("1" is 10:00, "12305" 12:30:50,
  // "1230451" 12:30:45.100), missing parts are 0, characters after the ninth
  // are not read; the empty (or null) text is 00:00. Sets the
  // daylight-saving flag and the time; the date fields are kept.
  bool bSetTNTimeMin(const wchar_t* text, int isdst = -1);
  // Earliest instant of a partial date-time: year from the first 4
  // characters (missing digits 0: "20" is 2000), from 5 characters the month
  // and from 7 the day (a lone digit is read with a 0 after it), from 9 the
  // time as bSetTNTimeMin reads it, from position 9 when position 8 holds a
  // space. The empty (or null) text is the zero value.
  bool bSetTNDateTimeMin(const wchar_t* text, int isdst = -1);
  // The first instant after every instant the partial text designates (an
  // exclusive upper bound): the last given digit is increased, dropping
  // trailing digits that already hold their highest value, and the rest is
  // completed as the Min form does. False for an empty text, a date-time
  // text of more than 17 digits (18 characters with the space; a longer text
  // is cut to 18 first), a time text longer than 9 characters, or when no
  // such instant exists ("9", "9999", the time "23"). A month or day given
  // as 00 counts as 01.
  bool bSetTNDateTimeMax(const wchar_t* text, int isdst = -1);
  bool bSetTNTimeMax(const wchar_t* text, int isdst = -1);

  // ---- Calendar -----------------------------------------------------------------

  // Gregorian: divisible by 4 and not by 100, or divisible by 400.
  static bool bBissextile(int year);
  // Length of month 1-12 of the year; -1 for any other month.
  static int nGetDayInMonth(int year, int month);
  // The same for the year in the text's first four characters and the month
  // in characters 5-6: a missing or non-digit character reads as 0, a lone
  // fifth character is read with a 0 after it, no month or month 0 is
  // January. A null text: false, resp. -1.
  static bool bBissextile(const wchar_t* text);
  static int nGetDayInMonth(const wchar_t* text);

  // ---- Data ---------------------------------------------------------------------

  struct tm m_stTime;
  std::int32_t m_nMilliseconds;
};

// UTC to local time: false when the year or the month is 0 or a step fails
// (SystemTimeToFileTime, FileTimeToLocalFileTime, FileTimeToSystemTime);
// the result has milliseconds 0. *local is written only on success.
bool bUTCVersLocal(SYSTEMTIME* utc, SYSTEMTIME* local);
// Local time to UTC: false when the year or the month is 0, or mktime of
// the fields (daylight saving left to the system) fails; otherwise gmtime_r
// gives every field of *utc (day of week included) and the milliseconds are
// copied. *utc is written only on success.
bool bLocalVersUTC(SYSTEMTIME* local, SYSTEMTIME* utc);
