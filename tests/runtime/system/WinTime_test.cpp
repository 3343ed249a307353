#include "WinTime.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr std::uint64_t kSecond = 10000000;

// Sets TZ for the life of the object, then puts the former value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    const char* former = getenv("TZ");
    m_bHad = former != nullptr;
    if (m_bHad) m_former = former;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (m_bHad) {
      setenv("TZ", m_former.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool m_bHad = false;
  std::string m_former;
};

SYSTEMTIME Fields(int y, int mo, int d, int h, int mi, int s) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<std::uint16_t>(y);
  st.wMonth = static_cast<std::uint16_t>(mo);
  st.wDay = static_cast<std::uint16_t>(d);
  st.wHour = static_cast<std::uint16_t>(h);
  st.wMinute = static_cast<std::uint16_t>(mi);
  st.wSecond = static_cast<std::uint16_t>(s);
  return st;
}

TEST(WinTime, FileTimeToCalendarAndBack) {
  struct Row {
    std::uint64_t ft;
    int year, month, day, hour, minute, second, dayOfWeek;
  } rows[] = {
      {116444736000000000ULL, 1970, 1, 1, 0, 0, 0, 4},           // the Unix epoch, a Thursday
      {116444736000000000ULL - 1, 1969, 12, 31, 23, 59, 59, 3},  // a fraction before it
      {0, 1601, 1, 1, 0, 0, 0, 1},                               // a Monday
      {125911584000000000ULL + 12345, 2000, 1, 1, 0, 0, 0, 6},
      {126192384000000000ULL, 2000, 11, 21, 0, 0, 0, 2},
      {133536384000000000ULL + 3599 * kSecond, 2024, 2, 29, 0, 59, 59, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.ft);
    const FILETIME ft = UInt64ToFileTime(row.ft);
    SYSTEMTIME st;
    std::memset(&st, 0x5A, sizeof(st));
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(row.year, st.wYear);
    EXPECT_EQ(row.month, st.wMonth);
    EXPECT_EQ(row.day, st.wDay);
    EXPECT_EQ(row.hour, st.wHour);
    EXPECT_EQ(row.minute, st.wMinute);
    EXPECT_EQ(row.second, st.wSecond);
    EXPECT_EQ(row.dayOfWeek, st.wDayOfWeek);
    EXPECT_EQ(0, st.wMilliseconds);

    // Back: whole seconds, the fraction dropped; milliseconds are ignored.
    st.wMilliseconds = 999;
    st.wDayOfWeek = 0;
    FILETIME back;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &back));
    const std::int64_t n = static_cast<std::int64_t>(row.ft) - FILETIME_UNIX_EPOCH;
    const std::int64_t whole = (n - ((n % 10000000) + 10000000) % 10000000);
    EXPECT_EQ(static_cast<std::uint64_t>(whole + FILETIME_UNIX_EPOCH), FileTimeToUInt64(back));
  }
}

TEST(WinTime, UnixSecondsToFileTime) {
  FILETIME ft;
  TimeToFileTime(0, &ft);
  EXPECT_EQ(116444736000000000ULL, FileTimeToUInt64(ft));
  TimeToFileTime(1700000000, &ft);
  EXPECT_EQ(116444736000000000ULL + 1700000000ULL * kSecond, FileTimeToUInt64(ft));
  TimeToFileTime(-86400, &ft);
  EXPECT_EQ(116444736000000000ULL - 86400ULL * kSecond, FileTimeToUInt64(ft));
  EXPECT_EQ(FileTimeToUInt64(ft) & 0xFFFFFFFFu, ft.dwLowDateTime);
  EXPECT_EQ(FileTimeToUInt64(ft) >> 32, ft.dwHighDateTime);
}

// The offset is that of the instant converted, summer time included, and the
// fraction of a second survives both ways.
TEST(WinTime, LocalFileTimeFollowsTheZoneOfTheInstant) {
  ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
  struct Row {
    SYSTEMTIME utc;
    int localHour;
  } rows[] = {{Fields(2021, 1, 15, 12, 0, 0), 13}, {Fields(2021, 7, 15, 12, 0, 0), 14}};
  for (const Row& row : rows) {
    FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&row.utc, &utc));
    utc = UInt64ToFileTime(FileTimeToUInt64(utc) + 1234567);
    FILETIME local;
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(1234567u, (FileTimeToUInt64(local) - FILETIME_UNIX_EPOCH) % kSecond);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(row.localHour, st.wHour);
    EXPECT_EQ(row.utc.wDay, st.wDay);

    FILETIME back;
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(FileTimeToUInt64(utc), FileTimeToUInt64(back));
  }
}

TEST(WinTime, ClockReadings) {
  struct timeval before;
  gettimeofday(&before, nullptr);
  const std::uint32_t nTick = GetTickCount();
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  SYSTEMTIME utc;
  GetSystemTime(&utc);
  struct timeval after;
  gettimeofday(&after, nullptr);

  // GetTickCount is the wall clock in milliseconds, cut to 32 bits.
  const auto msBefore = static_cast<std::uint32_t>(before.tv_sec * 1000ULL + before.tv_usec / 1000);
  const auto msAfter = static_cast<std::uint32_t>(after.tv_sec * 1000ULL + after.tv_usec / 1000);
  EXPECT_LE(static_cast<std::uint32_t>(nTick - msBefore), msAfter - msBefore);

  // Now with microseconds.
  const std::uint64_t ftBefore = FILETIME_UNIX_EPOCH + before.tv_sec * kSecond +
                                 static_cast<std::uint64_t>(before.tv_usec) * 10;
  const std::uint64_t ftAfter =
      FILETIME_UNIX_EPOCH + after.tv_sec * kSecond + static_cast<std::uint64_t>(after.tv_usec) * 10;
  EXPECT_GE(FileTimeToUInt64(now), ftBefore);
  EXPECT_LE(FileTimeToUInt64(now), ftAfter);

  FILETIME fromFields;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &fromFields));
  EXPECT_LE(FileTimeToUInt64(fromFields) / kSecond, ftAfter / kSecond);
  EXPECT_GE(FileTimeToUInt64(fromFields) / kSecond, ftBefore / kSecond);
  EXPECT_LT(utc.wMilliseconds, 1000);

  // Local time is the same instant shown in the zone.
  ScopedTimeZone tz("UTC-5");
  SYSTEMTIME local;
  GetLocalTime(&local);
  FILETIME localAsUtc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localAsUtc));
  const std::int64_t shift = static_cast<std::int64_t>(FileTimeToUInt64(localAsUtc) / kSecond) -
                             static_cast<std::int64_t>(FileTimeToUInt64(fromFields) / kSecond);
  EXPECT_GE(shift, 5 * 3600);
  EXPECT_LE(shift, 5 * 3600 + 2);

  // And it advances with the wall clock.
  const std::uint32_t nStart = GetTickCount();
  usleep(200000);
  const std::uint32_t nElapsed = GetTickCount() - nStart;
  EXPECT_GE(nElapsed, 190u);
  EXPECT_LT(nElapsed, 2000u);
}

TEST(WinTime, FileTimesOfAFile) {
  char szDir[] = "/tmp/wintimeXXXXXX";
  ASSERT_NE(nullptr, mkdtemp(szDir));
  const std::string path = std::string(szDir) + "/f";
  const std::wstring wpath(path.begin(), path.end());
  const int fd = open(path.c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(fd, 0);

  FILETIME access, write;
  TimeToFileTime(1000000000, &access);
  TimeToFileTime(1200000000, &write);
  ASSERT_TRUE(SetFileTime(wpath.c_str(), nullptr, &access, &write));

  // Only the access time: the modification time stays.
  FILETIME access2;
  TimeToFileTime(1300000000, &access2);
  access2 = UInt64ToFileTime(FileTimeToUInt64(access2) + 5000000);  // fraction dropped
  ASSERT_TRUE(SetFileTime(wpath.c_str(), nullptr, &access2, nullptr));
  FILETIME c, a, w;
  ASSERT_TRUE(GetFileTime(fd, &c, &a, &w));
  FILETIME expected;
  TimeToFileTime(1300000000, &expected);
  EXPECT_EQ(FileTimeToUInt64(expected), FileTimeToUInt64(a));
  EXPECT_EQ(FileTimeToUInt64(write), FileTimeToUInt64(w));
  struct stat info;
  ASSERT_EQ(0, fstat(fd, &info));
  TimeToFileTime(info.st_ctime, &expected);
  EXPECT_EQ(FileTimeToUInt64(expected), FileTimeToUInt64(c));

  // Only the modification time: the access time stays.
  ASSERT_TRUE(SetFileTime(wpath.c_str(), nullptr, nullptr, &access));
  ASSERT_TRUE(GetFileTime(fd, nullptr, &a, &w));
  TimeToFileTime(1300000000, &expected);
  EXPECT_EQ(FileTimeToUInt64(expected), FileTimeToUInt64(a));
  EXPECT_EQ(FileTimeToUInt64(access), FileTimeToUInt64(w));

  // Neither: nothing to do, even for a missing file.
  EXPECT_TRUE(SetFileTime(L"/nonexistent/file", nullptr, nullptr, nullptr));
  EXPECT_FALSE(SetFileTime(L"/nonexistent/file", nullptr, &access, nullptr));
  EXPECT_FALSE(GetFileTime(-1, &c, &a, &w));

  close(fd);
  unlink(path.c_str());
  rmdir(szDir);
}

TEST(WinTime, ThirtyTwoBitTimes) {
  ScopedTimeZone tz("UTC0");
  const __time32_t t = 0;
  ASSERT_NE(nullptr, _ctime32(&t));
  EXPECT_STREQ("Thu Jan  1 00:00:00 1970\n", _ctime32(&t));
  const __time32_t t2 = 86400 * 365;
  const struct tm* tm = _localtime32(&t2);
  ASSERT_NE(nullptr, tm);
  EXPECT_EQ(71, tm->tm_year);
  EXPECT_EQ(nullptr, _localtime32(nullptr));

  __time32_t stored = 0;
  const __time32_t now = _time32(&stored);
  EXPECT_EQ(now, stored);
  EXPECT_LE(std::llabs(static_cast<long long>(now) - static_cast<long long>(time(nullptr))), 1);
}

// Times near the top of the 64-bit range split without signed overflow
// (UBSan would stop the test) and keep their sub-second part.
TEST(WinTime, FarFileTimesSplitWithoutOverflow) {
  for (std::uint64_t n : {0x8000000000000000ULL, 0x8000000000000000ULL + 1234567}) {
    SCOPED_TRACE(n);
    FILETIME ft{static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n >> 32)};
    FILETIME local{};
    FileTimeToLocalFileTime(&ft, &local);
    const std::uint64_t back =
        static_cast<std::uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime;
    EXPECT_EQ(back % 10000000, n % 10000000);
  }
}

}  // namespace
