#include "WinTime.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <utime.h>

#include <cerrno>

#include "CDiskFile.h"

namespace {

constexpr std::int64_t kUnitsPerSecond = 10000000;

// Seconds since 1970 (rounded towards minus infinity, so that times before
// 1970 keep a fraction in [0, 1 s)) and the 100-ns fraction of a FILETIME.
void SplitFileTime(const FILETIME& ft, std::int64_t* seconds, std::int64_t* fraction) {
  // Split the unsigned count first: any 64-bit FILETIME, even one past
  // 2^63, then gives seconds that fit without overflow.
  const std::uint64_t n = FileTimeToUInt64(ft);
  constexpr std::uint64_t kUnits = static_cast<std::uint64_t>(kUnitsPerSecond);
  constexpr std::int64_t kEpochSeconds = FILETIME_UNIX_EPOCH / kUnitsPerSecond;
  static_assert(FILETIME_UNIX_EPOCH % kUnitsPerSecond == 0, "the epoch is a whole second");
  *seconds = static_cast<std::int64_t>(n / kUnits) - kEpochSeconds;
  *fraction = static_cast<std::int64_t>(n % kUnits);
}

FILETIME MakeFileTime(std::int64_t seconds, std::int64_t fraction) {
  // Unsigned arithmetic: a time FILETIME cannot hold wraps instead of being
  // undefined behaviour.
  return UInt64ToFileTime(static_cast<std::uint64_t>(seconds) *
                              static_cast<std::uint64_t>(kUnitsPerSecond) +
                          static_cast<std::uint64_t>(fraction) +
                          static_cast<std::uint64_t>(FILETIME_UNIX_EPOCH));
}

}  // namespace

void TmToSystemTime(const struct tm& tm, unsigned milliseconds, SYSTEMTIME* st) {
  // Widen before adding: a far time_t can leave tm_year near INT_MAX.
  st->wYear = static_cast<std::uint16_t>(static_cast<long>(tm.tm_year) + 1900);
  st->wMonth = static_cast<std::uint16_t>(static_cast<long>(tm.tm_mon) + 1);
  st->wDayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
  st->wDay = static_cast<std::uint16_t>(tm.tm_mday);
  st->wHour = static_cast<std::uint16_t>(tm.tm_hour);
  st->wMinute = static_cast<std::uint16_t>(tm.tm_min);
  st->wSecond = static_cast<std::uint16_t>(tm.tm_sec);
  st->wMilliseconds = static_cast<std::uint16_t>(milliseconds);
}

struct tm SystemTimeToTm(const SYSTEMTIME& st) {
  struct tm tm = {};
  tm.tm_year = st.wYear - 1900;
  tm.tm_mon = st.wMonth - 1;
  tm.tm_mday = st.wDay;
  tm.tm_hour = st.wHour;
  tm.tm_min = st.wMinute;
  tm.tm_sec = st.wSecond;
  tm.tm_isdst = -1;
  return tm;
}


std::uint64_t FileTimeToUInt64(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME UInt64ToFileTime(std::uint64_t n) {
  return FILETIME{static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n >> 32)};
}

void TimeToFileTime(time_t t, FILETIME* ft) { *ft = MakeFileTime(t, 0); }

bool GetFileTime(int fd, FILETIME* creation, FILETIME* access, FILETIME* write) {
  struct stat info;
  if (fstat(fd, &info) != 0) return false;
  if (creation != nullptr) TimeToFileTime(info.st_ctime, creation);
  if (access != nullptr) TimeToFileTime(info.st_atime, access);
  if (write != nullptr) TimeToFileTime(info.st_mtime, write);
  return true;
}

bool SetFileTime(const wchar_t* path, const FILETIME* /*creation*/, const FILETIME* access,
                 const FILETIME* write) {
  if (access == nullptr && write == nullptr) return true;
  struct utimbuf times = {};
  if (access == nullptr || write == nullptr) {
    struct stat info;
    if (CDiskFile::Unix_lstat(path, &info) != 0) return false;
    times.actime = info.st_atime;
    times.modtime = info.st_mtime;
  }
  std::int64_t seconds = 0;
  std::int64_t fraction = 0;
  if (access != nullptr) {
    SplitFileTime(*access, &seconds, &fraction);
    times.actime = static_cast<time_t>(seconds);
  }
  if (write != nullptr) {
    SplitFileTime(*write, &seconds, &fraction);
    times.modtime = static_cast<time_t>(seconds);
  }
  return CDiskFile::Unix_utime(path, &times) == 0;
}

bool FileTimeToLocalFileTime(const FILETIME* in, FILETIME* out) {
  std::int64_t seconds = 0;
  std::int64_t fraction = 0;
  SplitFileTime(*in, &seconds, &fraction);
  const time_t t = static_cast<time_t>(seconds);
  struct tm local;
  if (localtime_r(&t, &local) == nullptr) return false;
  *out = MakeFileTime(timegm(&local), fraction);
  return true;
}

bool LocalFileTimeToFileTime(const FILETIME* in, FILETIME* out) {
  std::int64_t seconds = 0;
  std::int64_t fraction = 0;
  SplitFileTime(*in, &seconds, &fraction);
  const time_t t = static_cast<time_t>(seconds);
  struct tm fields;
  if (gmtime_r(&t, &fields) == nullptr) return false;
  fields.tm_isdst = -1;
  errno = 0;
  const time_t utc = mktime(&fields);
  if (utc == static_cast<time_t>(-1) && errno != 0) return false;
  *out = MakeFileTime(utc, fraction);
  return true;
}

bool SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  struct tm tm = SystemTimeToTm(*st);
  tm.tm_isdst = 0;
  errno = 0;
  const time_t t = timegm(&tm);
  if (t == static_cast<time_t>(-1) && errno != 0) return false;
  TimeToFileTime(t, ft);
  return true;
}

bool FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  std::int64_t seconds = 0;
  std::int64_t fraction = 0;
  SplitFileTime(*ft, &seconds, &fraction);
  const time_t t = static_cast<time_t>(seconds);
  struct tm tm;
  if (gmtime_r(&t, &tm) == nullptr) return false;
  if (tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 0xFFFF) return false;
  TmToSystemTime(tm, 0, st);
  return true;
}

void GetSystemTimeAsFileTime(FILETIME* ft) {
  struct timeval now;
  gettimeofday(&now, nullptr);
  *ft = MakeFileTime(now.tv_sec, static_cast<std::int64_t>(now.tv_usec) * 10);
}

void GetLocalTime(SYSTEMTIME* st) {
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm tm;
  localtime_r(&now.tv_sec, &tm);
  TmToSystemTime(tm, static_cast<unsigned>(now.tv_usec / 1000), st);
}

void GetSystemTime(SYSTEMTIME* st) {
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm tm;
  gmtime_r(&now.tv_sec, &tm);
  TmToSystemTime(tm, static_cast<unsigned>(now.tv_usec / 1000), st);
}

bool SetLocalTime(const SYSTEMTIME* st) {
  struct tm tm = SystemTimeToTm(*st);
  errno = 0;
  const time_t t = mktime(&tm);
  if (t == static_cast<time_t>(-1) && errno != 0) return false;
  struct timeval value;
  value.tv_sec = t;
  value.tv_usec = static_cast<suseconds_t>(st->wMilliseconds % 1000) * 1000;
  return settimeofday(&value, nullptr) == 0;
}

std::uint32_t GetTickCount() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                                    static_cast<std::uint64_t>(now.tv_usec) / 1000);
}

__time32_t _time32(__time32_t* out) {
  const __time32_t t = static_cast<__time32_t>(time(nullptr));
  if (out != nullptr) *out = t;
  return t;
}

struct tm* _localtime32(const __time32_t* t) {
  if (t == nullptr) return nullptr;
  const time_t wide = *t;
  return localtime(&wide);
}

char* _ctime32(const __time32_t* t) {
  if (t == nullptr) return nullptr;
  const time_t wide = *t;
  return ctime(&wide);
}
