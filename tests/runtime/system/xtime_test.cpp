#include "CXTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "CDateTimeBase.h"
#include "CTString.h"

namespace {

// The value as YYYYMMDDHHMMSSmmm.
std::wstring Text(const CXTime& x) {
  CTString out;
  x.GetTNTimeAAAAMMJJHHMMSSCCm(out);
  return out.pszGet();
}

// A value on a date no reader would produce by itself, to see what the
// time-only readers keep.
CXTime Preset() {
  CXTime x(2023, 6, 15, 7, 8, 9);
  x.m_nMilliseconds = 321;
  return x;
}

enum eReader { DateTime, DateTimeMin, DateTimeMax, TimeMin, TimeMax, Date, Time };

bool Read(CXTime& x, eReader reader, const wchar_t* text) {
  switch (reader) {
    case DateTime:
      return x.bSetTNDateTime(text);
    case DateTimeMin:
      return x.bSetTNDateTimeMin(text);
    case DateTimeMax:
      return x.bSetTNDateTimeMax(text);
    case TimeMin:
      return x.bSetTNTimeMin(text);
    case TimeMax:
      return x.bSetTNTimeMax(text);
    case Date:
      return x.bSetTNDate(text);
    case Time:
      return x.bSetTNTime(text);
  }
  return false;
}

struct ReadRow {
  eReader reader;
  const wchar_t* text;
  bool ok;
  const wchar_t* expected;  // the value afterwards, YYYYMMDDHHMMSSmmm
};

void CheckReads(const ReadRow* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const ReadRow& r = rows[i];
    CXTime x = Preset();
    const bool ok = Read(x, r.reader, r.text);
    EXPECT_EQ(ok, r.ok) << "reader " << r.reader << " text " << (r.text ? r.text : L"(null)");
    EXPECT_EQ(Text(x), r.expected)
        << "reader " << r.reader << " text " << (r.text ? r.text : L"(null)");
  }
}

TEST(xtime, TextExamples) {
  const ReadRow rows[] = {
      {DateTime, L"2024022912304599", true, L"20240229123045990"},
      {DateTime, L"20240229 123045123", true, L"20240229123045123"},
      {DateTime, L"202402291230", false, L"00000101000000000"},
      {DateTimeMax, L"2023", true, L"20240101000000000"},
      {DateTimeMax, L"202309", true, L"20231001000000000"},
      {DateTimeMax, L"202312", true, L"20240101000000000"},
      {DateTimeMax, L"20230228", true, L"20230301000000000"},
      {DateTimeMax, L"2023022715", true, L"20230227160000000"},
      {TimeMax, L"12", true, L"20230615130000000"},
      {TimeMax, L"0959", true, L"20230615100000000"},
  };
  CheckReads(rows, sizeof rows / sizeof rows[0]);
}

TEST(xtime, OtherExamples) {
  const FILETIME epoch = CXTime::UnixTimeToFileTime(0);
  EXPECT_EQ(FileTimeToUInt64(epoch), 116444736000000000ULL);

  const CXTime dos(static_cast<unsigned short>(0x5821), static_cast<unsigned short>(0x6A3C));
  EXPECT_EQ(Text(dos), L"20240101131756000");

  CXTime odbc(2024, 3, 5, 7, 8, 9);
  odbc.m_nMilliseconds = 10;
  CTString ts;
  odbc.FormatToOdbcTimeStamp(ts);
  EXPECT_STREQ(ts.pszGet(), L"{ts '2024-03-05 07:08:09.010'}");

  SYSTEMTIME local = {};
  local.wMonth = 3;
  local.wDay = 5;
  SYSTEMTIME utc;
  std::memset(&utc, 0xAB, sizeof utc);
  SYSTEMTIME untouched = utc;
  EXPECT_FALSE(bLocalVersUTC(&local, &utc));
  EXPECT_EQ(std::memcmp(&utc, &untouched, sizeof utc), 0);
}

// The partial readers: digits and ranges are checked; month and day 0 read
// as January and 1; a refused text leaves the zero value (time readers: the
// date kept, 00:00:00.000).
TEST(xtime, MinMaxBounds) {
  const ReadRow rows[] = {
      {DateTimeMax, L"9", false, L"00000101000000000"},
      {DateTimeMax, L"9999", false, L"00000101000000000"},
      {DateTimeMax, L"9000", true, L"90010101000000000"},
      {DateTimeMin, L"9", true, L"90000101000000000"},
      {DateTimeMin, L"20", true, L"20000101000000000"},
      {DateTimeMax, L"20", true, L"21000101000000000"},
      {TimeMax, L"23", false, L"20230615000000000"},
      {TimeMax, L"2", false, L"20230615000000000"},
      {TimeMax, L"19", true, L"20230615200000000"},
      {DateTimeMin, L"2023a1", false, L"00000101000000000"},
      {DateTimeMax, L"20x3", false, L"00000101000000000"},
      {TimeMin, L"1a", false, L"20230615000000000"},
      {DateTimeMin, L"202313", false, L"00000101000000000"},
      {DateTimeMax, L"202313", false, L"00000101000000000"},
      {DateTimeMin, L"15000229", false, L"00000101000000000"},
      {DateTimeMax, L"15000229", false, L"00000101000000000"},
      {DateTimeMin, L"20000229", true, L"20000229000000000"},
      {DateTimeMin, L"2023023", false, L"00000101000000000"},
      {DateTimeMax, L"2023023", false, L"00000101000000000"},
      {DateTimeMax, L"2023021", true, L"20230220000000000"},
      {DateTimeMax, L"20230", true, L"20231001000000000"},
      {DateTimeMin, L"2023000012", true, L"20230101120000000"},
      {DateTimeMax, L"202300", true, L"20230201000000000"},
      {DateTimeMax, L"20230200", true, L"20230202000000000"},
      {DateTimeMax, L"2023013123", true, L"20230201000000000"},
      {DateTimeMax, L"20231231235959999", true, L"20240101000000000"},
      {DateTimeMax, L"20231231 235959998", true, L"20231231235959999"},
      {DateTimeMax, L"20231231 2359599981", true, L"20231231235959999"},
      {DateTimeMax, L"202312312359599981", false, L"00000101000000000"},
      {DateTimeMin, L"20240229 1230451", true, L"20240229123045100"},
      {DateTimeMin, L"20240229 24", false, L"00000101000000000"},
      {DateTimeMin, L"20240229-12", false, L"00000101000000000"},
      {DateTimeMin, L"", true, L"00000101000000000"},
      {DateTimeMin, nullptr, true, L"00000101000000000"},
      {DateTimeMax, L"", false, L"00000101000000000"},
      {TimeMin, L"1", true, L"20230615100000000"},
      {TimeMin, L"12305", true, L"20230615123050000"},
      {TimeMin, L"1230451", true, L"20230615123045100"},
      {TimeMin, L"", true, L"20230615000000000"},
      {TimeMin, L"1260", false, L"20230615000000000"},
      {TimeMin, L"3", false, L"20230615000000000"},
      {TimeMax, L"1234567890", false, L"20230615000000000"},
      {TimeMax, L"235959999", false, L"20230615000000000"},
      {TimeMax, nullptr, false, L"20230615000000000"},
  };
  CheckReads(rows, sizeof rows / sizeof rows[0]);
}

// The length-bound readers check lengths only.
TEST(xtime, LengthBoundReaders) {
  const ReadRow rows[] = {
      {DateTime, L"2024000012304512", true, L"20240101123045120"},
      {DateTime, L"20240229123045123", true, L"20240229123045123"},
      {DateTime, L"202402291230451234", true, L"20240229123045000"},
      {DateTime, nullptr, false, L"00000101000000000"},
      {Date, L"20240229", true, L"20240229000000000"},
      {Date, L"2024022", false, L"00000101000000000"},
      {Date, L"202402291", false, L"00000101000000000"},
      {Time, L"1230", true, L"00000101123000000"},
      {Time, L"12304512", true, L"00000101123045120"},
      {Time, L"123045123", true, L"00000101123045123"},
      {Time, L"123", false, L"00000101000000000"},
      {Time, nullptr, false, L"00000101000000000"},
  };
  CheckReads(rows, sizeof rows / sizeof rows[0]);

  CXTime x;
  EXPECT_TRUE(x.bSetTNDateTime("20240229 123045123", 1));
  EXPECT_EQ(Text(x), L"20240229123045123");
  EXPECT_EQ(x.m_stTime.tm_isdst, 1);
  EXPECT_FALSE(x.bSetTNDateTime(static_cast<const char*>(nullptr)));
}

// Four year digits always, so that date texts keep their length.
TEST(xtime, YearPrintsFourDigits) {
  CTString out;
  CXTime(999, 1, 1, 0, 0, 0).GetTNDate(out);
  EXPECT_STREQ(out.pszGet(), L"09990101");
  CXTime().GetTNDate(out);
  EXPECT_STREQ(out.pszGet(), L"00000101");
  EXPECT_EQ(Text(CXTime(999, 1, 1, 0, 0, 0)), L"09990101000000000");
  char date[9];
  CXTime(999, 12, 31, 0, 0, 0).GetTNDate(date);
  EXPECT_STREQ(date, "09991231");
}

TEST(xtime, TextsWritten) {
  CXTime x(2024, 3, 5, 7, 8, 9);
  x.m_nMilliseconds = 10;
  CTString out;
  struct Row {
    void (CXTime::*write)(CTString&) const;
    const wchar_t* expected;
  } rows[] = {
      {&CXTime::GetTNTimeAAAAMMJJ_HHMMSS, L"20240305 070809"},
      {&CXTime::GetTNTimeHHMMSS, L"070809"},
      {&CXTime::GetTNTimeHHMM, L"0708"},
      {&CXTime::GetTNDate, L"20240305"},
      {&CXTime::GetTNTimeHHMMSSCCm, L"070809010"},
      {&CXTime::GetTNTimeAAAAMMJJHHMMSSCCm, L"20240305070809010"},
      {&CXTime::FormatToOdbcTime, L"{t '07:08:09.010'}"},
      {&CXTime::FormatToOdbcDate, L"{d '2024-03-05'}"},
      {&CXTime::GetTNTimeReadableSS, L"05/03/2024 07:08:09"},
      {&CXTime::GetTNTimeReadable, L"05/03/2024 07:08:09,010"},
  };
  for (const Row& r : rows) {
    (x.*r.write)(out);
    EXPECT_STREQ(out.pszGet(), r.expected);
  }
  wchar_t wide[32];
  char narrow[16];
  x.GetTNTime(wide);
  EXPECT_STREQ(wide, L"070809010");
  x.GetTNTime(narrow);
  EXPECT_STREQ(narrow, "070809010");
  x.GetTNDate(wide);
  EXPECT_STREQ(wide, L"20240305");
  x.FormatToSQLServerTimeStamp(wide);
  EXPECT_STREQ(wide, L"20240305 07:08:09.010");
  x.FormatToOdbcDate(wide);
  EXPECT_STREQ(wide, L"{d '2024-03-05'}");

  x.Format(L"%Y-%m-%d %H.%M", wide);
  EXPECT_STREQ(wide, L"2024-03-05 07.08");
  x.Format(L"%d/%m", out);
  EXPECT_STREQ(out.pszGet(), L"05/03");
  x.Format(L"", out);
  EXPECT_STREQ(out.pszGet(), L"");
}

// The pointer-only writers write the empty text for a field out of range
// and never more than their nominal length plus the NUL.
TEST(xtime, PointerWritersStayInTheirLength) {
  struct Row {
    void (CXTime::*write)(wchar_t*) const;
    std::size_t length;
    bool hasDate;
  } rows[] = {
      {&CXTime::GetTNTime, 9, false},
      {&CXTime::GetTNDate, 8, true},
      {&CXTime::FormatToSQLServerTimeStamp, 21, true},
      {&CXTime::FormatToOdbcTimeStamp, 30, true},
      {&CXTime::FormatToOdbcTime, 18, false},
      {&CXTime::FormatToOdbcDate, 16, true},
  };
  CXTime big(9999, 12, 31, 23, 59, 59);
  big.m_nMilliseconds = 999;
  CXTime far(400000000000L);  // year 14000 or so
  CXTime wild;
  wild.m_stTime.tm_hour = 1193;
  wild.m_stTime.tm_mon = 254;
  wild.m_nMilliseconds = 123456;
  for (const Row& r : rows) {
    wchar_t buffer[40];
    for (wchar_t& c : buffer) c = L'#';
    (big.*r.write)(buffer);
    EXPECT_EQ(std::wcslen(buffer), r.length);
    EXPECT_EQ(buffer[r.length + 1], L'#');
    (far.*r.write)(buffer);
    EXPECT_EQ(std::wcslen(buffer), r.hasDate ? 0 : r.length);
    (wild.*r.write)(buffer);
    EXPECT_STREQ(buffer, L"");
  }
  char narrow[16];
  far.GetTNDate(narrow);
  EXPECT_STREQ(narrow, "");
  CTString out(L"old");
  far.GetTNTimeAAAAMMJJHHMMSSCCm(out);
  EXPECT_STREQ(out.pszGet(), L"");
}

TEST(xtime, Construction) {
  SYSTEMTIME st = {2024, 2, 4, 29, 12, 30, 45, 990};
  const CXTime fromSystem(st, 0);
  EXPECT_EQ(Text(fromSystem), L"20240229123045990");
  EXPECT_EQ(fromSystem.m_stTime.tm_wday, 4);
  EXPECT_EQ(fromSystem.m_stTime.tm_yday, -1);
  EXPECT_EQ(fromSystem.m_stTime.tm_isdst, 0);
  EXPECT_EQ(Text(CXTime(&st, -1)), L"20240229123045990");
  EXPECT_EQ(Text(CXTime(static_cast<const SYSTEMTIME*>(nullptr), -1)), L"00000101000000000");
  SYSTEMTIME back;
  EXPECT_TRUE(fromSystem.bGetAsSystemTime(back));
  EXPECT_EQ(std::memcmp(&back, &st, sizeof st), 0);

  EXPECT_EQ(Text(CXTime(2023, 0, -4, 1, 2, 3)), L"20230101010203000");

  CXTime x(2023, 5, 6, 7, 8, 9);
  x.SetTime(-1L);  // the failure mark of time_t
  EXPECT_EQ(Text(x), L"00000101000000000");
  EXPECT_EQ(x.m_stTime.tm_wday, -1);
  x.SetUTCTime(86400 * 365 + 3661);
  EXPECT_EQ(Text(x), L"19710101010101000");
  x.SetUTCTime(-1);
  EXPECT_EQ(Text(x), L"00000101000000000");

  struct tm fields = {};
  fields.tm_year = 100;
  fields.tm_mday = 2;
  fields.tm_isdst = 1;
  x.m_nMilliseconds = 5;
  x.SetTime(fields);
  EXPECT_EQ(Text(x), L"20000102000000000");
  EXPECT_EQ(x.m_stTime.tm_isdst, 1);
}

TEST(xtime, FileAndUnixTimes) {
  FILETIME ft = CXTime::UnixTimeToFileTime(-1);
  EXPECT_EQ(FileTimeToUInt64(ft), 116444736000000000ULL - 10000000ULL);
  // Truncation towards 0: a fraction of a second before 1970 is second 0.
  EXPECT_EQ(CXTime::FileTimeToUnixTime(UInt64ToFileTime(116444736000000000ULL - 1)), 0);
  EXPECT_EQ(CXTime::FileTimeToUnixTime(UInt64ToFileTime(116444736000000000ULL - 15000000ULL)),
            -1);
  const SYSTEMTIME st = {2024, 3, 0, 5, 7, 8, 9, 500};
  const long t = CXTime::SystemTimeToUnixTime(st);
  EXPECT_EQ(t, 1709622489L);
  const SYSTEMTIME back = CXTime::UnixTimeToSystemTime(t);
  EXPECT_EQ(back.wYear, 2024);
  EXPECT_EQ(back.wDay, 5);
  EXPECT_EQ(back.wSecond, 9);
  EXPECT_EQ(back.wDayOfWeek, 2);  // a Tuesday
  EXPECT_EQ(back.wMilliseconds, 0);
  EXPECT_EQ(CXTime::UnixTimeToSystemTime(-70000000000000L).wYear, 0);  // no 16-bit year
}

TEST(xtime, Comparison) {
  CXTime a(2024, 1, 1, 0, 0, 0);
  CXTime b(2023, 12, 31, 23, 59, 59);
  EXPECT_GT(CXTime::snCompare(&a.m_stTime, &b.m_stTime), 0);
  EXPECT_EQ(CXTime::snCompare(&b.m_stTime, &a.m_stTime), -1);  // the year decides
  EXPECT_EQ(CXTime::snCompare(&a.m_stTime, &a.m_stTime), 0);
  EXPECT_LT(CXTime::snCompare(nullptr, &a.m_stTime), 0);
  EXPECT_TRUE(a > b);
  EXPECT_FALSE(b > a);
  CXTime c = a;
  c.m_stTime.tm_wday = 5;  // not compared
  EXPECT_EQ(CXTime::snCompare(&a.m_stTime, &c.m_stTime), 0);
  c.m_nMilliseconds = 1;
  EXPECT_TRUE(c > a);
  EXPECT_FALSE(a > c);
  EXPECT_TRUE(c >= a);
  EXPECT_FALSE(a >= c);
  c.m_nMilliseconds = 0;
  EXPECT_TRUE(a >= c);
  EXPECT_FALSE(a > c);
  CXTime hugeYear;
  hugeYear.m_stTime.tm_year = INT32_MAX;
  CXTime tinyYear;
  tinyYear.m_stTime.tm_year = INT32_MIN;
  EXPECT_GT(CXTime::snCompare(&hugeYear.m_stTime, &tinyYear.m_stTime), 0);
}

TEST(xtime, GregorianCalendar) {
  struct Row {
    int year, month, days;
  } rows[] = {{2023, 2, 28}, {2024, 2, 29}, {1900, 2, 28}, {2000, 2, 29}, {1500, 2, 28},
              {0, 2, 29},    {2023, 1, 31}, {2023, 4, 30}, {2023, 12, 31}, {2023, 0, -1},
              {2023, 13, -1}};
  for (const Row& r : rows) {
    EXPECT_EQ(CXTime::nGetDayInMonth(r.year, r.month), r.days) << r.year << "-" << r.month;
  }
  EXPECT_FALSE(CXTime::bBissextile(1500));
  EXPECT_TRUE(CXTime::bBissextile(1600));

  struct TextRow {
    const wchar_t* text;
    bool leap;
    int days;
  } texts[] = {
      {L"2024", true, 31},        {L"202402", true, 29},     {L"20230215", false, 28},
      {L"20230", false, 31},      {L"20231", false, 31},     {L"20234", false, -1},
      {L"202", true, 31},         {L"2000", true, 31},       {L"", true, 31},
      {L"19x0", false, 31},       {L"190002", false, 28},
  };
  for (const TextRow& r : texts) {
    EXPECT_EQ(CXTime::bBissextile(r.text), r.leap) << r.text;
    EXPECT_EQ(CXTime::nGetDayInMonth(r.text), r.days) << r.text;
  }
  EXPECT_FALSE(CXTime::bBissextile(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(CXTime::nGetDayInMonth(static_cast<const wchar_t*>(nullptr)), -1);
}

TEST(xtime, DateTimeValue) {
  CDateTime dt;
  dt.Set(2024, 2, 29, 12, 30, 45, 990);
  CXTime x;
  x.SetTime(dt);
  EXPECT_EQ(Text(x), L"20240229123045990");

  CDateTime back;
  back.Set(2020, 5, 17, 1, 2, 3, 4);
  x.GetTNDateTime(&back);
  EXPECT_EQ(back.m_wAnnee, 2024);
  EXPECT_EQ(back.m_byMois, 2);
  EXPECT_EQ(back.m_byJour, 29);
  EXPECT_EQ(back.m_dwHeure, 45045990u);

  // A month the date value refuses leaves it empty, not the old month.
  back.Set(2020, 5, 17, 1, 2, 3, 4);
  CXTime bad(2024, 1, 10, 0, 0, 0);
  bad.m_stTime.tm_mon = 12;
  bad.GetTNDateTime(&back);
  EXPECT_EQ(back.m_byMois, 0);
  EXPECT_EQ(back.m_wAnnee, 2024);
  bad.GetTNDateTime(nullptr);

  CDateTime empty;
  x.SetTime(empty);
  EXPECT_EQ(Text(x), L"00000101000000000");
}

// Daylight saving under a fixed rule (central Europe, no tzdata needed).
class xtimeZone : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* former = getenv("TZ");
    m_bHad = former != nullptr;
    if (m_bHad) m_former = former;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
  void TearDown() override {
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

TEST_F(xtimeZone, UtcOfTheFieldsIsTimegm) {
  const CXTime values[] = {CXTime(2023, 1, 15, 12, 0, 0, -1), CXTime(2023, 7, 15, 12, 0, 0, -1),
                           CXTime(2023, 7, 15, 12, 0, 0, 1), CXTime(2023, 1, 15, 12, 0, 0, 1)};
  for (const CXTime& x : values) {
    struct tm copy = x.m_stTime;
    const long expected = timegm(&copy);
    EXPECT_EQ(x.nGetTime32_t_UTC(), expected) << "month " << x.m_stTime.tm_mon + 1 << " isdst "
                                              << x.m_stTime.tm_isdst;
    EXPECT_EQ(CXTime::s_nGetTime_t_UTC(x.m_stTime), expected);
  }
  // 15 July 2023 12:00 UTC.
  EXPECT_EQ(CXTime(2023, 7, 15, 12, 0, 0, -1).nGetTime32_t_UTC(), 1689422400L);
  // The same fields as local summer time are two hours earlier in UTC.
  EXPECT_EQ(CXTime(2023, 7, 15, 12, 0, 0, -1).nGetTime32_t(), 1689422400L - 7200);
}

TEST_F(xtimeZone, LocalAndUtc) {
  SYSTEMTIME local = {2023, 7, 0, 15, 12, 0, 0, 250};
  SYSTEMTIME utc;
  ASSERT_TRUE(bLocalVersUTC(&local, &utc));
  EXPECT_EQ(utc.wHour, 10);
  EXPECT_EQ(utc.wDayOfWeek, 6);  // a Saturday
  EXPECT_EQ(utc.wMilliseconds, 250);
  SYSTEMTIME again;
  ASSERT_TRUE(bUTCVersLocal(&utc, &again));
  EXPECT_EQ(again.wHour, 12);
  EXPECT_EQ(again.wDay, 15);
  SYSTEMTIME winter = {2023, 1, 0, 15, 12, 0, 0, 0};
  ASSERT_TRUE(bUTCVersLocal(&winter, &again));
  EXPECT_EQ(again.wHour, 13);
  SYSTEMTIME noMonth = {2023, 0, 0, 15, 12, 0, 0, 0};
  EXPECT_FALSE(bUTCVersLocal(&noMonth, &again));
  EXPECT_FALSE(bLocalVersUTC(&noMonth, &again));

  FILETIME ft;
  ASSERT_TRUE(CXTime(2023, 7, 15, 12, 0, 0).bGetAsFileTime(ft));
  EXPECT_EQ(CXTime::FileTimeToUnixTime(ft), 1689422400L - 7200);
  // And back: the FILETIME (UTC) becomes local fields again.
  EXPECT_EQ(Text(CXTime(ft)), L"20230715120000000");
  EXPECT_FALSE(CXTime().bGetAsFileTime(ft));  // year 0

  struct tm fields = CXTime(2023, 7, 15, 12, 0, 0).m_stTime;
  struct tm out = {};
  CXTime::Local2UTC(fields, out);
  EXPECT_EQ(out.tm_hour, 10);
  CXTime::UTC2Local(fields, out);
  EXPECT_EQ(out.tm_hour, 14);
  EXPECT_GT(out.tm_isdst, 0);

  CXTime fromTimeT(1689422400L);
  EXPECT_EQ(Text(fromTimeT), L"20230715140000000");
  fromTimeT = 1673784000L;  // 15 January 2023 12:00 UTC
  EXPECT_EQ(Text(fromTimeT), L"20230115130000000");
}

}  // namespace
