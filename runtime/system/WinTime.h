// The Windows time types and functions the code base calls, on top of the
// system clock and calendar functions.
//
// FILETIME counts 100-nanosecond units since 1601-01-01 UTC; a Unix time t
// in seconds is t * 10000000 + 116444736000000000. Conversions from Unix
// seconds carry no fraction of a second. SYSTEMTIME is a calendar time
// (month 1-12, day of week 0 = Sunday).
//
// Nothing here allocates or keeps state between calls, except what the C
// library itself keeps for localtime, ctime and the time zone.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>

struct FILETIME {
  std::uint32_t dwLowDateTime;
  std::uint32_t dwHighDateTime;
};

struct SYSTEMTIME {
  std::uint16_t wYear;
  std::uint16_t wMonth;
  std::uint16_t wDayOfWeek;
  std::uint16_t wDay;
  std::uint16_t wHour;
  std::uint16_t wMinute;
  std::uint16_t wSecond;
  std::uint16_t wMilliseconds;
};

using __time32_t = std::int32_t;

// 100-nanosecond units between 1601-01-01 and 1970-01-01.
constexpr std::int64_t FILETIME_UNIX_EPOCH = 116444736000000000LL;

// The 64-bit count of a FILETIME, and back.
std::uint64_t FileTimeToUInt64(const FILETIME& ft);
FILETIME UInt64ToFileTime(std::uint64_t n);

// Unix seconds to FILETIME.
void TimeToFileTime(time_t t, FILETIME* ft);

// From fstat of `fd`: creation = status-change time, access and last write
// as their names say; a null out-parameter is skipped. False when fstat
// fails (nothing written).
bool GetFileTime(int fd, FILETIME* creation, FILETIME* access, FILETIME* write);

// Sets the access and modification times of `path` (whole seconds) with
// utime. A null time keeps the file's current value (read with lstat);
// both null: true without touching the file. `creation` is not used. False
// when lstat or utime fails.
bool SetFileTime(const wchar_t* path, const FILETIME* creation, const FILETIME* access,
                 const FILETIME* write);

// UTC to local time and back, shifted by the offset of the local time zone
// at that instant (localtime then timegm; gmtime then mktime with daylight
// saving left to the system). The fraction of a second is kept. False when
// the calendar functions fail; `out` may be `in`.
bool FileTimeToLocalFileTime(const FILETIME* in, FILETIME* out);
bool LocalFileTimeToFileTime(const FILETIME* in, FILETIME* out);

// Calendar fields between the C library's form and SYSTEMTIME, each field
// cut to 16 bits one way; the other way gives tm_isdst -1 (unknown).
void TmToSystemTime(const struct tm& tm, unsigned milliseconds, SYSTEMTIME* st);
struct tm SystemTimeToTm(const SYSTEMTIME& st);

// Calendar fields (UTC) to FILETIME through timegm: the day of week and the
// milliseconds are ignored, out-of-range fields normalise as timegm does.
// False only when timegm reports an overflow.
bool SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);

// FILETIME to UTC calendar fields through gmtime: day of week from the
// calendar, milliseconds 0. False when gmtime fails or the year does not
// fit in 16 bits (nothing written).
bool FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);

// Now as FILETIME, with the microseconds of the clock.
void GetSystemTimeAsFileTime(FILETIME* ft);

// Now as local or UTC calendar time; milliseconds = microseconds / 1000.
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTime(SYSTEMTIME* st);

// Sets the system clock to the local calendar time `st` (mktime, then
// settimeofday; needs the privilege to set the clock). False on failure.
bool SetLocalTime(const SYSTEMTIME* st);

// Milliseconds of the wall clock (seconds * 1000 + microseconds / 1000),
// cut to 32 bits. It follows changes of the clock: differences between two
// readings are elapsed time only while nobody sets the clock.
std::uint32_t GetTickCount();

// The system's time, localtime and ctime on 32-bit times. _localtime32 and
// _ctime32 return the C library's static storage (null for a null time).
__time32_t _time32(__time32_t* out);
struct tm* _localtime32(const __time32_t* t);
char* _ctime32(const __time32_t* t);
